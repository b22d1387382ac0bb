// Prints what the message box with the caption given shows, as a person
// reads it: its text, its visible buttons in order with the default one
// marked, and "icon" if it shows one. X sees only the box's pixels, so the
// window tests run this beside the program, under the same Wine.
//
// Usage: read_message_box CAPTION    (exit status 1: no such box)

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search
{
    const wchar_t *caption;
    HWND box = nullptr;
};

std::wstring textOf(HWND window)
{
    std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
    text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
    return text;
}

void print(const char *label, const std::wstring &text, const char *note = "")
{
    std::string utf8(
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    std::printf("%s: %s%s\n", label, utf8.c_str(), note);
}

BOOL CALLBACK findBox(HWND window, LPARAM lParam)
{
    auto *search = reinterpret_cast<Search *>(lParam);
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    if (IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0
        && textOf(window) == search->caption) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK describe(HWND child, LPARAM)
{
    if (!IsWindowVisible(child))
        return TRUE;
    wchar_t className[16];
    GetClassNameW(child, className, 16);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(className, L"Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            // Wine keeps the icon's place in every box, empty when none.
            if (SendMessageW(child, STM_GETICON, 0, 0))
                std::printf("icon\n");
        } else if (!textOf(child).empty())
            print("text", textOf(child));
    } else if (_wcsicmp(className, L"Button") == 0) {
        print("button", textOf(child),
              (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? " (default)" : "");
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t *argv[])
{
    if (argc != 2) {
        std::fputs("usage: read_message_box CAPTION\n", stderr);
        return 2;
    }
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    Search search{argv[1]};
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) {
        std::fprintf(stderr, "read_message_box: no message box captioned %ls\n", argv[1]);
        return 1;
    }
    EnumChildWindows(search.box, describe, 0);
    return 0;
}
