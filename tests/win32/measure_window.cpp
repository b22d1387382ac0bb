// Makes the program's window, as tovik.exe does but hidden, and prints
// whether its frame is fixed or can be resized or maximised, the size of its
// client area, below the menu bar, then each control's font height, all in
// pixels at the system's resolution; then, for each DPI
// given, the same once the window is told it moved to a monitor of that
// resolution. Fonts are read here, in the window's own process: Wine passes
// no font handle to another one.
//
// Usage: measure_window [DPI...]    (exit status 1: no window)

#include "tovik.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // What the program's manifest declares: it draws at the monitor's
    // resolution itself.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    tovik::Tovik window;
    if (!window.create())
        return 1;
    // Lines for a Linux script: LF, not the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    const HWND handle = window.handle();
    UINT dpi = GetDpiForWindow(handle);
    for (int next = 1;; ++next) {
        const LONG style = GetWindowLongW(handle, GWL_STYLE);
        std::printf("%s frame\n", style & (WS_THICKFRAME | WS_MAXIMIZEBOX) ? "resizable" : "fixed");
        // The client area that the frame holds at the window's resolution:
        // Wine, unlike Windows, draws the frame's edges at the system's.
        RECT frame, edges{};
        GetWindowRect(handle, &frame);
        AdjustWindowRectExForDpi(&edges, style, TRUE, GetWindowLongW(handle, GWL_EXSTYLE), dpi);
        std::printf("client: %ld x %ld\n", frame.right - frame.left - (edges.right - edges.left),
                    frame.bottom - frame.top - (edges.bottom - edges.top));
        for (HWND child = GetWindow(handle, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font,
                       &font);
            std::printf("font: %ld\n", font.lfHeight);
        }
        if (next == argc)
            return 0;
        // As Windows tells a window moved to a monitor of another resolution,
        // suggesting the frame's place.
        dpi = static_cast<UINT>(std::atoi(argv[next]));
        SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    }
}
