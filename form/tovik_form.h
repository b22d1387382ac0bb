#pragma once

// The main window's four command procedures, each named after its control
// and event, and the one state that outlives a command: the path chosen in
// the last Open dialog (the common dialog's FileName). Written once against
// FrontEnd, so that every window behaves alike.

#include "front_end.h"

#include <string>

namespace tovik {

class TovikForm
{
public:
    explicit TovikForm(FrontEnd &frontEnd)
        : frontEnd_(frontEnd)
    {
    }

    // File > Open File for converting: choose the input. Cancel keeps the
    // earlier choice.
    void FileOpen_Click();
    // CONVERT: convert the chosen file, report, and end the program; with
    // no file chosen, only ask for one.
    void Convert_Click();
    // EXIT: end at once.
    void End_Click();
    // File > Exit: end after asking.
    void Exit_Click();

    // Runs the procedure of `control`; one without a procedure does
    // nothing.
    void click(layout::ControlId control);

    const std::string &fileName() const { return fileName_; }

private:
    FrontEnd &frontEnd_;
    std::string fileName_;
};

} // namespace tovik
