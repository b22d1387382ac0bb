// Nothing lost, nothing torn: conversions failing at every step, and killed
// at random moments.

#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#include <algorithm>

#ifndef _WIN32
#include <chrono>
#include <random>
#include <set>
#include <system_error>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using tovik::ConvertToChannels;
using tovik::NativeFile;

namespace {

class FileSafety : public WorkingDirectoryTest
{
    // The seam disarmed, for the tests that run after in this process.
    void TearDown() override
    {
        NativeFile::failCall(0);
        WorkingDirectoryTest::TearDown();
    }
};

const std::string kOld1 = "old channel 1\r\n", kOld2 = "old channel 2\r\n";

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
            EXPECT_EQ(std::count(calls.begin(), calls.end(), call), 1) << call;
            return std::find(calls.begin(), calls.end(), call) - calls.begin();
        };
        EXPECT_LT(at("sync .CH1.txt.tovik-new"), at("rename CH1.txt"));
        EXPECT_LT(at("sync .CH2.txt.tovik-new"), at("rename CH1.txt"));
        EXPECT_LT(at("rename CH2.txt"), at("syncFolder CH1.txt"));
        EXPECT_EQ(readFile("CH1.txt"), "0\r\n0\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
        EXPECT_EQ(readFile("CH2.txt"), "0\r\n1\r\n0\r\n1\r\n1\r\n0\r\n1\r\n0\r\n");
    }
}

#ifndef _WIN32
// A child process converting in.txt, and how it ended: its exit status, or
// -1 when killed. On POSIX only: under Wine a kill lands in Wine's emulation
// of the Windows file calls, which makes the same POSIX calls as this
// program does here, so it would test Wine rather than this program.
pid_t convertInChild()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(ConvertToChannels("in.txt") ? 1 : 0);
    if (child < 0) // never to be handed to kill(), where -1 means every process
        throw std::system_error(errno, std::generic_category(), "fork");
    return child;
}

int statusOf(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileSafety, AKillAtAnyMomentLeavesEachChannelOldOrNew)
{
    writeFile("in.txt", std::string(300000, '1'));
    const std::string new1 = repeated("0\r\n", 300000), new2 = repeated("1\r\n", 300000);

    // Kill moments spread over the time one conversion takes here, start to end.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(statusOf(convertInChild()), 0);
    const auto span = std::chrono::steady_clock::now() - start;
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);

    for (int round = 0; round < 24; ++round) {
        writeFile("CH1.txt", kOld1);
        writeFile("CH2.txt", kOld2);
        const pid_t child = convertInChild();
        std::this_thread::sleep_for(span * std::uniform_real_distribution(0.0, 1.0)(random));
        ::kill(child, SIGKILL);
        statusOf(child);
        const std::string channel1 = readFile("CH1.txt"), channel2 = readFile("CH2.txt");
        EXPECT_TRUE(channel1 == kOld1 || channel1 == new1) << "CH1.txt torn in round " << round;
        EXPECT_TRUE(channel2 == kOld2 || channel2 == new2) << "CH2.txt torn in round " << round;
    }

    // The next run clears what the killed ones left. Names only: a failing
    // comparison of 900 kB texts would have GoogleTest diff them line by line.
    ASSERT_EQ(statusOf(convertInChild()), 0);
    std::set<std::string> names;
    for (const auto &[name, content] : folder())
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"CH1.txt", "CH2.txt", "in.txt"}));
}
#endif
