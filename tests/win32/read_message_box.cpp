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

int main(int argc, char *argv[])
{
    const HWND box = argc == 2 ? FindWindowA("#32770", argv[1]) : nullptr;
    if (!box || !IsWindowVisible(box))
        return 1;
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char kind[16], text[1024];
        GetClassNameA(child, kind, sizeof kind);
        GetWindowTextA(child, text, sizeof text);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (!IsWindowVisible(child))
            continue;
        if (lstrcmpiA(kind, "Button") == 0)
            std::printf("button: %s%s\n", text,
                        (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? " (default)" : "");
        // Wine keeps the icon's place in every box, empty when none.
        else if (lstrcmpiA(kind, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            std::fputs(SendMessageA(child, STM_GETICON, 0, 0) ? "icon\n" : "", stdout);
        else if (lstrcmpiA(kind, "Static") == 0 && *text)
            std::printf("text: %s\n", text);
    }
}
