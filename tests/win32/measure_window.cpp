// Makes the program's window, as tovik.exe does but hidden, and prints the
// size of its client area, below the menu bar, then each control's font
// height, all in pixels at the system's resolution. Fonts are read here, in
// the window's own process: Wine passes no font handle to another one.
//
// Usage: measure_window    (exit status 1: no window)

#include "tovik.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

int main()
{
    // What the program's manifest declares: it draws at the monitor's
    // resolution itself.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    tovik::Tovik window;
    if (!window.create())
        return 1;
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    RECT client;
    GetClientRect(window.handle(), &client);
    std::printf("client: %ld x %ld\n", client.right, client.bottom);
    for (HWND child = GetWindow(window.handle(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        std::printf("font: %ld\n", font.lfHeight);
    }
}
