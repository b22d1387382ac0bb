#pragma once

// What the form asks of the toolkit that draws it: each front-end (Qt,
// Win32) implements this, and TovikForm does the rest.

#include "layout.h"

#include <optional>
#include <string>

namespace tovik {

class FrontEnd
{
public:
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~FrontEnd() = default;

    // Shows the Open dialog, listing what `filter` names and taking an
    // existing file only; returns when it closes, with the path chosen
    // (UTF-8), or nothing on Cancel. The working directory stays as it is.
    virtual std::optional<std::string> showOpenDialog(const layout::FileFilter &filter) = 0;
    // A modal box with `text` exactly as given, caption "Plendor", no icon;
    // for YesNo, Yes is the default button.
    virtual Answer showMessage(const std::string &text, Buttons buttons) = 0;
    // Closes the window and ends the program with `status`; the command
    // that asks returns at once and nothing more of it runs.
    virtual void endProgram(int status) = 0;
};

} // namespace tovik
