#include "tovik_form.h"

#include "channel_conversion.h"
#include "failure_message.h"

#include <cstdlib>

namespace tovik {

void TovikForm::click(std::string_view control)
{
    if (control == "FileOpen")
        FileOpen_Click();
    else if (control == "Convert")
        Convert_Click();
    else if (control == "End")
        End_Click();
    else if (control == "Exit")
        Exit_Click();
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
