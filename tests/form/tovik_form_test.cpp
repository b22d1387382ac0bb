// The four commands, once for every front-end, against a fake that answers
// the dialogs in turn as a person would, and notes what the window shows.

#include "tovik_form.h"
#include "working_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using tovik::FrontEnd;

namespace {

// Takes the answers in turn, and notes what the window would show.
class FakeFrontEnd : public FrontEnd
{
public:
    std::vector<std::string> answers; // a path, "" to cancel, or "Ok", "Yes", "No"
    std::vector<std::string> seen;

    std::optional<std::string> showOpenDialog(const tovik::layout::FileFilter &filter) override
    {
        seen.push_back("Open " + std::string(filter.description) + " for "
                       + std::string(filter.pattern));
        const std::string answer = next();
        return answer.empty() ? std::nullopt : std::optional(answer);
    }

    Answer showMessage(const std::string &text, Buttons buttons) override
    {
        seen.push_back(text + (buttons == Buttons::Ok ? " [Ok]" : " [Yes No]"));
        const std::string answer = next();
        return answer == "Yes" ? Answer::Yes : answer == "No" ? Answer::No : Answer::Ok;
    }

    void endProgram(int status) override { seen.push_back("end " + std::to_string(status)); }

private:
    // A dialog nobody expected shows in `seen`, and is cancelled.
    std::string next()
    {
        if (answers.empty())
            return "";
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

struct Row
{
    const char *name;
    std::vector<tovik::layout::ControlId> steps; // controls used, in turn
    std::vector<std::string> answers;
    std::vector<std::string> seen; // a conversion among them where kDone is
};

const char *const kOpen = "Open Text file (*.txt) for *.txt";
const char *const kNoChoice = "Select File for converting [Ok]";
const char *const kDone = "  Converted text saved in CH1.txt and CH2.txt    [Ok]";
const char *const kFinish = "        Do you want to finish? [Yes No]";

class Commands : public WorkingDirectoryTest, public ::testing::WithParamInterface<Row>
{
protected:
    void SetUp() override
    {
        WorkingDirectoryTest::SetUp();
        writeFile("in.txt", "0123");
        writeFile("big.txt", std::string(300001, '1'));
    }
};

} // namespace

TEST_P(Commands, DoWhatTheUserAsked)
{
    FakeFrontEnd frontEnd;
    frontEnd.answers = GetParam().answers;
    tovik::TovikForm form(frontEnd);
    for (const tovik::layout::ControlId step : GetParam().steps)
        form.click(step);
    EXPECT_EQ(frontEnd.seen, GetParam().seen);
    auto files = folder();
    files.erase("big.txt");
    if (std::ranges::count(GetParam().seen, kDone) != 0) {
        EXPECT_EQ(files["CH1.txt"] + files["CH2.txt"], "0\r\n0\r\n1\r\n1\r\n0\r\n1\r\n0\r\n1\r\n");
    } else {
        files.erase("Convert.txt"); // begun by a conversion refused past a limit
        EXPECT_EQ(files, (std::map<std::string, std::string>{{"in.txt", "0123"}}));
    }
}

using enum tovik::layout::ControlId;

// clang-format off
INSTANTIATE_TEST_SUITE_P(TovikForm, Commands, ::testing::Values(
        Row{"NoChoiceIsAskedFor", {Convert, FileOpen, Convert}, {"Ok", "", "Ok"}, {kNoChoice, kOpen, kNoChoice}},
        Row{"CancelAndExitNoKeepTheChoice", {FileOpen, FileOpen, Exit, Convert}, {"in.txt", "", "No", "Ok"},
            {kOpen, kOpen, kFinish, kDone, "end 0"}},
        Row{"FailureIsReportedThenEnds", {FileOpen, Convert}, {"big.txt", "Ok"},
            {kOpen, "Cannot convert \"big.txt\": a field holds more than 300000 characters, the most one conversion takes [Ok]", "end 1"}},
        Row{"ExitYesEnds", {Exit}, {"Yes"}, {kFinish, "end 0"}},
        Row{"EndEndsAtOnce", {FileOpen, End}, {"in.txt"}, {kOpen, "end 0"}},
        Row{"OthersDoNothing", {Copyright, FileSelect, Line}, {}, {}}),
        [](const auto &info) { return std::string(info.param.name); });
// clang-format on
