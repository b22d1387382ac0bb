// The Windows program: the window, shown as the starting shortcut asks, and
// the message loop, which hands keys to the dialog manager first so that the
// window's buttons answer Tab, Enter and Space as a dialog's do.

#include "tovik.h"

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    // Windows' own DLLs load others on demand (the Open dialog many), and
    // would look for them beside tovik.exe first: in a Downloads folder a
    // web page may have dropped a DLL of the same name there. Only System32
    // is searched from here on, before any window or dialog loads one.
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return EXIT_FAILURE;
    tovik::Tovik window;
    if (!window.create())
        return EXIT_FAILURE;
    ShowWindow(window.handle(), show);

    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return EXIT_FAILURE;
        if (window.handle() && IsDialogMessageW(window.handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The status endProgram gave, or 0 when the window was closed.
    return static_cast<int>(message.wParam);
}
