// Prints what the message box or dialog with the caption given shows, as a
// person reads it: its texts, its visible buttons in order with the default
// one marked, its check boxes with their state, and "icon" where it shows
// one, the text of each combo box that has one, and how many items each
// list holds; the controls of the pages inside it too, such as an
// installer's or the Open dialog's. X sees only the dialog's pixels, so
// the window tests run this beside the program, under the same Wine.
//
// Usage: read_message_box CAPTION    (exit status 1: no such dialog)

#include <windows.h>

#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

// UTF-8, as the Linux script reads it, in whatever language the box speaks.
static std::string utf8(const wchar_t *text)
{
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr),
                      '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                        nullptr);
    bytes.pop_back();
    return bytes;
}

static BOOL CALLBACK print(HWND child, LPARAM)
{
    if (!IsWindowVisible(child))
        return TRUE;
    wchar_t kind[16], text[1024];
    GetClassNameW(child, kind, 16);
    GetWindowTextW(child, text, 1024);
    const std::string words = utf8(text);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    const LONG button = style & BS_TYPEMASK;
    if (lstrcmpiW(kind, L"Button") == 0 && (button == BS_CHECKBOX || button == BS_AUTOCHECKBOX))
        std::printf("check box: %s (%s)\n", words.c_str(),
                    SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "clear");
    else if (lstrcmpiW(kind, L"Button") == 0)
        std::printf("button: %s%s\n", words.c_str(),
                    button == BS_DEFPUSHBUTTON ? " (default)" : "");
    // Wine keeps the icon's place in every box, empty when none.
    else if (lstrcmpiW(kind, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
        std::fputs(SendMessageW(child, STM_GETICON, 0, 0) ? "icon\n" : "", stdout);
    // Asked, as GetWindowText does not ask a window of another process.
    else if (lstrcmpiW(kind, L"ComboBox") == 0
             && SendMessageW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text)))
        std::printf("combo box: %s\n", utf8(text).c_str());
    else if (lstrcmpiW(kind, WC_LISTVIEWW) == 0)
        std::printf("list: %d items\n",
                    static_cast<int>(SendMessageW(child, LVM_GETITEMCOUNT, 0, 0)));
    else if (lstrcmpiW(kind, L"Static") == 0 && *text)
        std::printf("text: %s\n", words.c_str());
    return TRUE;
}

int wmain(int argc, wchar_t *argv[])
{
    if (argc != 2)
        return 1;
    HWND box = FindWindowW(L"#32770", argv[1]);
    // The Modern UI installer's inner pages add a blank to its caption.
    if (!box)
        box = FindWindowW(L"#32770", (std::wstring(argv[1]) + L' ').c_str());
    if (!box || !IsWindowVisible(box))
        return 1;
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    EnumChildWindows(box, print, 0);
    return 0;
}
