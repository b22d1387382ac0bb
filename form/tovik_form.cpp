#include "tovik_form.h"

#include "channel_conversion.h"
#include "failure_message.h"

#include <cstdlib>

namespace tovik {

// Every control has its case: one left out fails the build (-Werror=switch).
void TovikForm::click(layout::ControlId control)
{
    using enum layout::ControlId;
    switch (control) {
    case FileOpen:
        return FileOpen_Click();
    case Convert:
        return Convert_Click();
    case End:
        return End_Click();
    case Exit:
        return Exit_Click();
    case Copyright:
    case FileSelect:
    case Line:
        return;
    }
}

void TovikForm::FileOpen_Click()
{
    if (auto chosen = frontEnd_.showOpenDialog(layout::kOpenFilter))
        fileName_ = std::move(*chosen);
}

void TovikForm::Convert_Click()
{
    if (fileName_.empty()) {
        frontEnd_.showMessage(std::string(layout::kNoFileChosen), FrontEnd::Buttons::Ok);
        return;
    }
    if (const auto failure = ConvertToChannels(fileName_)) {
        frontEnd_.showMessage(failureMessage(*failure, fileName_), FrontEnd::Buttons::Ok);
        frontEnd_.endProgram(EXIT_FAILURE);
        return;
    }
    frontEnd_.showMessage(std::string(layout::kConverted), FrontEnd::Buttons::Ok);
    frontEnd_.endProgram(EXIT_SUCCESS);
}

void TovikForm::End_Click()
{
    frontEnd_.endProgram(EXIT_SUCCESS);
}

void TovikForm::Exit_Click()
{
    if (frontEnd_.showMessage(std::string(layout::kExitQuestion), FrontEnd::Buttons::YesNo)
        == FrontEnd::Answer::Yes)
        frontEnd_.endProgram(EXIT_SUCCESS);
}

} // namespace tovik
