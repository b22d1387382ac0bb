// Nothing lost, nothing torn: a conversion failing at every step, at every
// step and all after it, and at every two steps of replacing the channels,
// in the way of SQLite's I/O error tests. After each, the next run finds
// the pair whole: both old or both new. A kill needs no test of its own: it
// leaves the folder as a step left it, and the next run finishes the switch
// with the same code that finishes one whose undoing failed, which the
// pairs reach.

#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#include <algorithm>
#include <cstdint>
#include <set>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using tovik::ConvertToChannels;
using tovik::NativeFile;

namespace {

// What the seam fails a call with: the system's own input/output error.
#ifdef _WIN32
const std::error_code kIoError(ERROR_IO_DEVICE, std::system_category());
#else
const std::error_code kIoError(EIO, std::generic_category());
#endif

// CH1.txt and CH2.txt, "none" for a file that is not there; new, those of
// in.txt, "0123,3210".
using Pair = std::pair<std::string, std::string>;
const Pair kOld{"old channel 1\r\n", "old channel 2\r\n"}, kNoOld{"none", "none"},
        kNew{"0\r\n0\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n", "0\r\n1\r\n0\r\n1\r\n1\r\n0\r\n1\r\n0\r\n"};

// The name the user knows a file by: ".CH1.txt.tovik-new" is CH1.txt.
std::string userName(const std::string &path)
{
    const std::string::size_type suffix = path.find(".tovik-");
    return path.starts_with('.') && suffix != std::string::npos ? path.substr(1, suffix - 1) : path;
}

class FileSafety : public WorkingDirectoryTest
{
protected:
    void SetUp() override
    {
        WorkingDirectoryTest::SetUp();
        writeFile("in.txt", "0123,3210");
        writeFile("long.txt", std::string(300001, '1'));
    }

    static std::string contentOf(const std::string &name) { return std::filesystem::exists(name) ? readFile(name) : "none"; }

    static Pair pair() { return {contentOf("CH1.txt"), contentOf("CH2.txt")}; }

    // The channels, each old one its owner's alone.
    static void place(const Pair &channels)
    {
        for (const auto &[name, content] : {Pair("CH1.txt", channels.first), {"CH2.txt", channels.second}}) {
            std::filesystem::remove(name);
            if (content == "none")
                continue;
            writeFile(name, content);
            std::filesystem::permissions(name, std::filesystem::perms(0600));
        }
    }

    // Converts in.txt with the calls numbered in `failing` failing, and with
    // every call from the `from`-th on, noting every call in calls_ and the
    // numbers of those failed in failed_. Each call also finds the
    // program's own files guarded.
    std::optional<tovik::ConversionFailure> convertFailing(std::set<std::size_t> failing,
                                                           std::size_t from = SIZE_MAX)
    {
        calls_.clear();
        failed_.clear();
        NativeFile::setFaultHook([=, this](const std::string &call) {
            calls_.push_back(call);
            expectOwnFilesGuarded(call);
            if (!failing.contains(calls_.size()) && calls_.size() < from)
                return std::error_code();
            failed_.insert(calls_.size());
            return kIoError;
        });
        auto failure = ConvertToChannels("in.txt");
        NativeFile::setFaultHook({});
        expectOwnFilesGuarded("the end");
        return failure;
    }

    // On Windows every name of the program's own is hidden, as the leading
    // dot hides it on POSIX; on POSIX no new version is more open than the
    // file it is to replace.
    static void expectOwnFilesGuarded(const std::string &when)
    {
        namespace fs = std::filesystem;
        for (const fs::directory_entry &entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
#ifdef _WIN32
            EXPECT_TRUE(!name.starts_with('.') || ::GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_HIDDEN)
                    << name << " at " << when;
#else
            if (name.ends_with(".tovik-new") && fs::exists(userName(name))) {
                EXPECT_EQ(fs::status(name).permissions() & ~fs::status(userName(name)).permissions(), fs::perms::none)
                        << name << " at " << when;
            }
#endif
        }
    }

    // The conversion that failed the calls in failed_ either succeeds, the
    // new pair in place, or reports one of those failures: for the last
    // step, removing Convert.txt, with the new pair in place, and otherwise
    // with each old file in its place or kept aside where it says. Where
    // there was none, there is nothing to lose: a disk failing from some
    // call on may leave a new one in place, which the next run pairs.
    void expectNothingLost(const std::optional<tovik::ConversionFailure> &failure, const Pair &old) const
    {
        std::string trace = "failing";
        std::set<std::string> files;
        for (std::size_t k : failed_) {
            const std::string &call = calls_.at(k - 1);
            trace += ' ' + call + ',';
            files.insert(userName(call.substr(call.find(' ') + 1)));
        }
        SCOPED_TRACE(trace);
        const auto *error = failure ? std::get_if<tovik::FileError>(&*failure) : nullptr;
        if (failure) {
            ASSERT_TRUE(error);
            EXPECT_TRUE(files.contains(userName(error->path()))) << error->path();
            EXPECT_EQ(error->error(), kIoError);
        }
        if (!failure || error->operation() == tovik::FileOperation::Delete) {
            EXPECT_EQ(pair(), kNew);
            return;
        }
        const auto &kept = error->keptAside();
        for (const auto &[name, content] : {Pair("CH1.txt", old.first), {"CH2.txt", old.second}}) {
            const std::string backup = "." + name + ".tovik-old";
            if (content != "none") {
                EXPECT_EQ(contentOf(std::ranges::count(kept, backup) ? backup : name), content) << name;
            }
        }
    }

    // The next run, on an input too long to convert: what it leaves of the
    // channels is what it made of what it found.
    static void expectNextRunFindsAWholePair(const Pair &old)
    {
        const auto failure = ConvertToChannels("long.txt");
        ASSERT_TRUE(failure && std::holds_alternative<tovik::LimitExceeded>(*failure))
                << "the next run did not stop at its input";
        EXPECT_TRUE(pair() == old || pair() == kNew) << pair().first << " and " << pair().second;
        for (const auto &[name, content] : folder())
            EXPECT_EQ(userName(name), name) << "left behind";
    }

    std::vector<std::string> calls_;
    std::set<std::size_t> failed_;
};

} // namespace

// Every call that changes a file fails in turn; then it and every call after
// it, as on a disk gone bad, where an old file that cannot be put back must
// be kept aside and named; and with each of those that replace the
// channels, every single call after it, its undoing included. A single
// failure leaves the folder as it was, Convert.txt aside, but for two steps
// after the new pair is in place: removing Convert.txt, which fails the
// conversion all the same, and removing a backup or the record, which is no
// failure, as the next run removes what stays. The run that fails nothing
// shows the order: both new files and their names are on the disk before
// the commit record, and the record before anything of the old is touched.
TEST_F(FileSafety, OneOrTwoFailuresLoseNothing)
{
    for (const Pair &old : {kOld, kNoOld}) {
        SCOPED_TRACE(old == kOld ? "replacing old channels" : "no channels yet");
        place(old);
        ASSERT_FALSE(convertFailing({}));
        const std::vector<std::string> calls = calls_;
        const auto at = [&](const std::string &call) {
            EXPECT_EQ(std::ranges::count(calls, call), 1) << call;
            return std::ranges::find(calls, call) - calls.begin();
        };
        const auto record = at("create .CH1.txt.tovik-commit");
        EXPECT_LT(at("sync .CH1.txt.tovik-new"), record);
        EXPECT_LT(at("sync .CH2.txt.tovik-new"), record);
        EXPECT_EQ(calls.at(record - 1), "syncFolder CH1.txt");
        EXPECT_EQ(calls.at(record + 2), old == kOld ? "rename .CH1.txt.tovik-old" : "rename CH1.txt");
        EXPECT_EQ(calls.at(at("remove .CH1.txt.tovik-old") - 1), "syncFolder CH1.txt");
        // Counted from 1, the folder's sync that begins replacing the channels.
        const auto replacing = static_cast<std::size_t>(record);

        for (std::size_t k = 1; k <= calls.size(); ++k) {
            place(old);
            auto before = folder();
            const auto failure = convertFailing({k});
            expectNothingLost(failure, old);
            if (!failure) {
                EXPECT_TRUE(calls[k - 1].starts_with("remove .CH")) << calls[k - 1] << " converted";
            } else if (std::get<tovik::FileError>(*failure).operation() != tovik::FileOperation::Delete) {
                auto after = folder();
                before.erase("Convert.txt");
                after.erase("Convert.txt");
                EXPECT_EQ(after, before) << "after failing " << calls[k - 1];
            }
            expectNextRunFindsAWholePair(old);
            for (std::size_t m = k + 1, steps = calls_.size(); k >= replacing && m <= steps; ++m) {
                place(old);
                expectNothingLost(convertFailing({k, m}), old);
                expectNextRunFindsAWholePair(old);
            }
            place(old);
            expectNothingLost(convertFailing({}, k), old);
            expectNextRunFindsAWholePair(old);
        }
    }
}
