#pragma once

// The main window as both front-ends draw it: every control with its name,
// caption, place and font, the File menu, and the texts of the window's
// dialogs. Positions and sizes are in twips, 1440 to the inch, exactly as
// the window was designed; twips.h turns them into pixels.
//
// Names are the controls' own (`End` is the EXIT button); front-ends give
// every widget its name, so that tests and accessibility tools find it.

#include <array>
#include <string_view>

namespace tovik::layout {

struct Rect
{
    int left, top, width, height;
};

struct Font
{
    std::string_view face;
    double points;
    int weight; // 400 regular, 700 bold
    int charset; // 0 Western, 204 Cyrillic
};

inline constexpr std::string_view kWindowName = "Tovik";
inline constexpr std::string_view kWindowCaption = "Tovik";
// The client area, below the menu bar, and where it is placed at start.
inline constexpr Rect kClientArea{6780, 4815, 5280, 1515};
inline constexpr Font kWindowFont{"Arial", 8.25, 400, 204};
// The window and the notice take the desktop's menu colour; the notice's
// text the window-text colour.
inline constexpr int kBackgroundColour = 4; // COLOR_MENU
inline constexpr int kNoticeTextColour = 8; // COLOR_WINDOWTEXT

// Every control and menu item, as the form knows it: what a front-end
// hands TovikForm::click.
enum class ControlId { Copyright, End, Convert, FileSelect, FileOpen, Line, Exit };

enum class Kind { Label, Button };

struct Control
{
    ControlId id;
    std::string_view name;
    Kind kind;
    std::string_view caption;
    Rect rect;
    Font font;
};

// In tab order: the notice cannot take the focus, so it starts on EXIT.
// clang-format off
inline constexpr std::array kControls{
        Control{ControlId::Copyright, "Copyright", Kind::Label, "Copyright \u00A9 " TOVIK_COPYRIGHT_YEAR " Plendor",
                {360, 1080, 4695, 255}, {"MS Sans Serif", 8.25, 400, 204}},
        Control{ControlId::End, "End", Kind::Button, "EXIT", {3480, 120, 1335, 615}, {"Arial", 8.25, 700, 0}},
        Control{ControlId::Convert, "Convert", Kind::Button, "CONVERT", {480, 120, 2655, 615}, {"Arial", 8.25, 700, 204}},
};
// clang-format on

struct MenuItem
{
    ControlId id;
    std::string_view name;
    std::string_view caption; // "-" is a separator
};

inline constexpr MenuItem kFileMenu{ControlId::FileSelect, "FileSelect", "File"};
inline constexpr std::array kFileMenuItems{
        MenuItem{ControlId::FileOpen, "FileOpen", "Open File for converting"},
        MenuItem{ControlId::Line, "Line", "-"},
        MenuItem{ControlId::Exit, "Exit", "Exit"},
};

// The caption of every message box, and the texts of the boxes, spaces
// and all.
inline constexpr std::string_view kMessageCaption = "Plendor";
inline constexpr std::string_view kNoFileChosen = "Select File for converting";
inline constexpr std::string_view kConverted = "  Converted text saved in CH1.txt and CH2.txt   ";
inline constexpr std::string_view kExitQuestion = "        Do you want to finish?";

// The Open dialog's one filter entry, "Text file (*.txt)|*.txt|" as the
// common dialog has it: what the user reads, and the files it lists.
struct FileFilter
{
    std::string_view description;
    std::string_view pattern;
};

inline constexpr FileFilter kOpenFilter{"Text file (*.txt)", "*.txt"};

// Every length is a whole number of pixels at 96 dots per inch.
static_assert([] {
    const auto whole = [](const Rect &r) {
        return r.left % 15 == 0 && r.top % 15 == 0 && r.width % 15 == 0 && r.height % 15 == 0;
    };
    for (const Control &control : kControls) {
        if (!whole(control.rect))
            return false;
    }
    return whole(kClientArea);
}());

} // namespace tovik::layout
