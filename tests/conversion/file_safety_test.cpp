// Nothing lost, nothing torn, nothing mixed: conversions failing at every
// step, killed at random moments, and run two at once in one folder.

#include "channel_conversion.h"
#include "converter_process.h"
#include "native_file.h"
#include "working_directory.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <thread>

using tovik::ConvertToChannels;
using tovik::NativeFile;

namespace {

class FileSafety : public WorkingDirectoryTest
{ };

const std::string kOld1 = "old channel 1\r\n";
const std::string kOld2 = "old channel 2\r\n";

std::string repeated(const std::string &text, std::size_t count)
{
    std::string out;
    while (count-- > 0)
        out += text;
    return out;
}

} // namespace

// Every write, sync, close, rename and link of a conversion is made to fail
// in turn, in the way of SQLite's I/O error tests. Whichever it is, the
// conversion reports that very failure, and the folder is as it was,
// Convert.txt aside: CH1.txt and CH2.txt old (or still missing), and no
// temporary file left. The run that fails nothing shows the order of the
// calls: both new files are on the disk before either replaces the old one.
TEST_F(FileSafety, AFailureAtAnyStepLosesNothing)
{
    for (const bool oldChannels : {true, false}) {
        SCOPED_TRACE(oldChannels ? "replacing old channels" : "no channels yet");
        std::filesystem::remove("CH1.txt");
        std::filesystem::remove("CH2.txt");
        writeFile("in.txt", "0123,3210");
        if (oldChannels) {
            writeFile("CH1.txt", kOld1);
            writeFile("CH2.txt", kOld2);
        }
        auto before = folder();
        before.erase("Convert.txt");

        unsigned k = 1;
        for (;; ++k) {
            NativeFile::failCall(k);
            const auto failure = ConvertToChannels("in.txt");
            if (!failure)
                break;
            const std::string call = NativeFile::countedCalls().at(k - 1);
            ASSERT_TRUE(failure->file) << "failing " << call;
            EXPECT_EQ(failure->file->path(), call.substr(call.find(' ') + 1)) << "failing " << call;
            EXPECT_EQ(failure->file->reason(), "Input/output error") << "failing " << call;
            auto after = folder();
            after.erase("Convert.txt");
            EXPECT_EQ(after, before) << "after failing " << call;
        }
        const std::vector<std::string> calls = NativeFile::countedCalls();
        EXPECT_EQ(k, calls.size() + 1) << "a call that was never failed";
        const auto at = [&](const std::string &call) {
            const auto found = std::find(calls.begin(), calls.end(), call);
            EXPECT_NE(found, calls.end()) << call;
            return found - calls.begin();
        };
        EXPECT_LT(at("sync .CH1.txt.tovik-new"), at("rename CH1.txt"));
        EXPECT_LT(at("sync .CH2.txt.tovik-new"), at("rename CH1.txt"));
        EXPECT_LT(at("rename CH2.txt"), at("syncFolder CH1.txt"));
        EXPECT_EQ(readFile("CH1.txt"), "0\r\n0\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        EXPECT_EQ(readFile("CH2.txt"), "0\r\n1\r\n0\r\n1\r\n1\r\n0\r\n1\r\n0\r\n");
    }
}

TEST_F(FileSafety, AKillAtAnyMomentLeavesEachChannelOldOrNew)
{
    writeFile("in.txt", std::string(300000, '1'));
    const std::string new1 = repeated("0\r\n", 300000), new2 = repeated("1\r\n", 300000);

    // Kill moments spread over the time one conversion takes here, start to end.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(ConverterProcess("in.txt").wait(), ConverterProcess::Converted);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> moment(0, span.count());

    int replaced = 0;
    for (int round = 0; round < 24; ++round) {
        writeFile("CH1.txt", kOld1);
        writeFile("CH2.txt", kOld2);
        ConverterProcess converter("in.txt");
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        converter.kill();
        converter.wait();
        const std::string channel1 = readFile("CH1.txt"), channel2 = readFile("CH2.txt");
        EXPECT_TRUE(channel1 == kOld1 || channel1 == new1) << "CH1.txt torn in round " << round;
        EXPECT_TRUE(channel2 == kOld2 || channel2 == new2) << "CH2.txt torn in round " << round;
        replaced += channel1 == new1;
    }
    RecordProperty("rounds that got as far as replacing CH1.txt", replaced);

    ASSERT_EQ(ConverterProcess("in.txt").wait(), ConverterProcess::Converted);
    std::set<std::string> names;
    for (const auto &[name, content] : folder())
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"CH1.txt", "CH2.txt", "in.txt"}));
}

TEST_F(FileSafety, TwoConversionsAtOnceNeverMix)
{
    writeFile("zeros.txt", std::string(300000, '0'));
    writeFile("threes.txt", std::string(300000, '3'));
    const std::string zeros = repeated("0\r\n", 300000), ones = repeated("1\r\n", 300000);

    int refused = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ConverterProcess first("zeros.txt"), second("threes.txt");
        const auto firstEnded = first.wait(), secondEnded = second.wait();
        for (const auto ended : {firstEnded, secondEnded})
            ASSERT_TRUE(ended == ConverterProcess::Converted || ended == ConverterProcess::InUse);
        // In turn, the later result stands; at once, the second is refused.
        const std::string channel1 = readFile("CH1.txt"), channel2 = readFile("CH2.txt");
        const bool fromFirst = channel1 == zeros && channel2 == zeros;
        const bool fromSecond = channel1 == ones && channel2 == ones;
        EXPECT_TRUE((fromFirst && firstEnded == ConverterProcess::Converted)
                    || (fromSecond && secondEnded == ConverterProcess::Converted));
        refused += firstEnded == ConverterProcess::InUse || secondEnded == ConverterProcess::InUse;
    }
    RecordProperty("rounds where one was refused", refused);
}
