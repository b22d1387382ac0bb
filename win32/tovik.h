#pragma once

// The program's only window on Windows, drawn with plain Win32 controls from
// the shared layout: the twin of qt/tovik.h. The commands are TovikForm's;
// this window draws, answers the form's three requests (the Open dialog, a
// message box, the end of the program) and follows the monitor's resolution.
//
// Every control and menu item has a command id made from its
// layout::ControlId, which WM_COMMAND hands back to the form.
//
// The keyboard is the dialog manager's, through IsDialogMessageW in the
// message loop: Tab moves between the buttons, Space presses the focused
// one. Enter presses the focused button too, because the window names it
// as its default whenever the dialog manager asks (DM_GETDEFID); at rest no
// button is the default. With no button focused, Enter sends IDOK, and Esc
// always sends IDCANCEL: neither is any control's id, so both do nothing.
//
// Geometry is in twips, turned into pixels at the window's own DPI: the
// manifest declares per-monitor awareness (v2), so on WM_DPICHANGED the
// window takes its new size, re-places every control and makes its fonts
// again for the new resolution.
//
// endProgram destroys the window; WM_DESTROY posts the quit message that
// carries the exit status out of the message loop to wWinMain's return.

#include "base_window.h"
#include "front_end.h"
#include "tovik_form.h"

#include <array>
#include <memory>
#include <type_traits>

namespace tovik {

class Tovik : public BaseWindow<Tovik>, private FrontEnd
{
public:
    Tovik();
    Tovik(const Tovik &) = delete;
    Tovik &operator=(const Tovik &) = delete;

    // Creates the window, hidden, at the stored place on the screen.
    bool create();

private:
    friend class BaseWindow<Tovik>;

    struct FontDeleter
    {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool createControls();
    // Sizes the window around the client area, places the controls and
    // gives them fonts, all at `dpi`; the frame's top left corner stays.
    void layOut(UINT dpi, POINT frameOrigin);
    LRESULT defaultButton() const;

    std::optional<std::string> showOpenDialog(const layout::FileFilter &filter) override;
    Answer showMessage(const std::string &text, Buttons buttons) override;
    void endProgram(int status) override;

    TovikForm form_;
    std::array<HWND, layout::kControls.size()> controls_{};
    std::array<Font, layout::kControls.size()> fonts_;
    Font windowFont_;
    HWND focus_ = nullptr; // the control to give the focus back to
    int exitStatus_ = 0;
};

} // namespace tovik
