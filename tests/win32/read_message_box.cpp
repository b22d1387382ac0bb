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

static BOOL CALLBACK print(HWND child, LPARAM)
{
    if (!IsWindowVisible(child))
        return TRUE;
    char kind[16], text[1024];
    GetClassNameA(child, kind, sizeof kind);
    GetWindowTextA(child, text, sizeof text);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const LONG button = style & BS_TYPEMASK;
    if (lstrcmpiA(kind, "Button") == 0 && (button == BS_CHECKBOX || button == BS_AUTOCHECKBOX))
        std::printf("check box: %s (%s)\n", text,
                    SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "clear");
    else if (lstrcmpiA(kind, "Button") == 0)
        std::printf("button: %s%s\n", text, button == BS_DEFPUSHBUTTON ? " (default)" : "");
    // Wine keeps the icon's place in every box, empty when none.
    else if (lstrcmpiA(kind, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
        std::fputs(SendMessageA(child, STM_GETICON, 0, 0) ? "icon\n" : "", stdout);
    // Asked, as GetWindowText does not ask a window of another process.
    else if (lstrcmpiA(kind, "ComboBox") == 0
             && SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)))
        std::printf("combo box: %s\n", text);
    else if (lstrcmpiA(kind, WC_LISTVIEWA) == 0)
        std::printf("list: %d items\n",
                    static_cast<int>(SendMessageA(child, LVM_GETITEMCOUNT, 0, 0)));
    else if (lstrcmpiA(kind, "Static") == 0 && *text)
        std::printf("text: %s\n", text);
    return TRUE;
}

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 1;
    HWND box = FindWindowA("#32770", argv[1]);
    // The Modern UI installer's inner pages add a blank to its caption.
    if (!box)
        box = FindWindowA("#32770", (std::string(argv[1]) + ' ').c_str());
    if (!box || !IsWindowVisible(box))
        return 1;
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    EnumChildWindows(box, print, 0);
}
