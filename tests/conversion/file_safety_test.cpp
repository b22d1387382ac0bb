// Nothing lost, nothing torn: a conversion failing at every step, at every
// step and all after it, and at every two steps of replacing the channels,
// in the way of SQLite's I/O error tests; and the power cut at every step.
// After each, the next run finds the pair whole: both old or both new. A
// kill needs no test of its own: it leaves the folder as a step left it,
// and the next run finishes the switch with the same code that finishes one
// whose undoing failed, which the pairs reach.

#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using tovik::ConvertToChannels;
using tovik::NativeFile;

namespace {

// What the seam fails a call with: the system's own input/output error;
// and whose rules the disk keeps to when the power fails (PowerCut).
#ifdef _WIN32
const std::error_code kIoError(ERROR_IO_DEVICE, std::system_category());
constexpr bool kNtfs = true;
#else
const std::error_code kIoError(EIO, std::generic_category());
constexpr bool kNtfs = false;
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

// What a power cut leaves on the disk, as SQLite's crash-test file system
// and leveldb's FaultInjectionTestEnv see it: a file keeps its bytes only
// if it was synced after its last write, and is empty otherwise. Of the
// folder's changes since it was last synced, POSIX lets any be lost, but
// none survives without the change that made its name. NTFS journals them,
// so what survives is the oldest of them, up to any point; and a rename
// written through survives with all before it.
class PowerCut
{
public:
    // A folder: each name and its bytes.
    using Image = std::map<std::string, std::string>;

    // From the working folder as it is, all of it on the disk.
    explicit PowerCut(const Image &folder)
    {
        for (const auto &[name, bytes] : folder) {
            changes_.push_back({{}, name, live_[name] = bytes_.size(), -1, true});
            bytes_.push_back(bytes);
        }
    }

    // Told each call the seam sees, before it is made.
    void see(const std::string &call)
    {
        std::istringstream words(call);
        std::string verb, path, to, through;
        words >> verb >> path >> to >> through;
        if (verb == "create" && !live_.contains(path)) {
            changes_.push_back({{}, path, live_[path] = bytes_.size(), -1});
            bytes_.emplace_back();
        } else if (verb == "rename" || (verb == "remove" && live_.contains(path))) {
            int maker = -1;
            for (std::size_t i = 0; i < changes_.size(); ++i)
                maker = changes_[i].to == path ? static_cast<int>(i) : maker;
            changes_.push_back({path, to, live_.at(path), maker});
            if (!to.empty())
                live_[to] = live_.at(path);
            live_.erase(path);
        } else if (verb == "write" || verb == "truncate") {
            bytes_[live_.at(path)].clear();
        } else if (verb == "sync") {
            bytes_[live_.at(path)] = readFile(path);
        }
        for (Change &change : changes_)
            change.kept = change.kept || (verb == "syncFolder" && !kNtfs) || through == "through";
    }

    // Adds every folder a cut now may leave.
    void cut(std::set<Image> &images) const
    {
        // Each bit of `mask` keeps one of the changes not yet kept. NTFS
        // keeps the oldest of them; POSIX any, each with its name's maker.
        const auto free = std::ranges::count(changes_, false, &Change::kept);
        for (std::size_t mask = 0; mask >> free == 0; ++mask) {
            std::vector<bool> kept;
            std::size_t bit = 0;
            for (const Change &change : changes_)
                kept.push_back(change.kept || (mask >> bit++ & 1));
            bool possible = !kNtfs || (mask & (mask + 1)) == 0;
            std::map<std::string, std::size_t> names;
            for (std::size_t i = 0; i < changes_.size(); ++i) {
                if (!kept[i])
                    continue;
                possible = possible && (changes_[i].maker < 0 || kept[changes_[i].maker]);
                names.erase(changes_[i].from);
                if (!changes_[i].to.empty())
                    names[changes_[i].to] = changes_[i].file;
            }
            Image image;
            for (const auto &[name, file] : names)
                image[name] = bytes_[file];
            if (possible)
                images.insert(image);
        }
    }

    // Makes `image` the working folder.
    static void restore(const Image &image)
    {
        for (const auto &entry : std::filesystem::directory_iterator("."))
            std::filesystem::remove(entry.path());
        for (const auto &[name, bytes] : image) {
            writeFile(name, bytes);
#ifdef _WIN32
            if (name.starts_with('.'))
                ::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
        }
    }

private:
    // A name made (from nothing), moved, or removed (to nothing), and the
    // change that made the name it moves or removes.
    struct Change
    {
        std::string from, to;
        std::size_t file;
        int maker;
        bool kept = false;
    };

    std::map<std::string, std::size_t> live_;
    std::vector<std::string> bytes_; // of each file, as on the disk
    std::vector<Change> changes_;
};

class FileSafety : public WorkingDirectoryTest
{
protected:
    void SetUp() override
    {
        WorkingDirectoryTest::SetUp();
        writeFile("in.txt", "0123,3210");
        writeFile("refused.txt", "\"0\"1");
        writeFile("other.txt", "other");
    }

    static std::string contentOf(const std::string &name) { return std::filesystem::exists(name) ? readFile(name) : "none"; }

    static Pair pair() { return {contentOf("CH1.txt"), contentOf("CH2.txt")}; }

    // The channels, each old one its owner's alone; on POSIX, Convert.txt
    // as a second name of other.txt.
    static void place(const Pair &channels)
    {
        for (const auto &[name, content] : {Pair("CH1.txt", channels.first), {"CH2.txt", channels.second}}) {
            std::filesystem::remove(name);
            if (content == "none")
                continue;
            writeFile(name, content);
            std::filesystem::permissions(name, std::filesystem::perms(0600));
        }
#ifndef _WIN32
        std::filesystem::remove("Convert.txt");
        std::filesystem::create_hard_link("other.txt", "Convert.txt");
#endif
    }

    // Converts `input` with the calls numbered in `failing` failing, and
    // with every call from the `from`-th on, noting every call in calls_ and
    // the numbers of those failed in failed_, and showing the others to
    // disk_, if set, after noting in cuts_ what a power cut before each may
    // leave. Each call also finds the program's own files guarded.
    std::optional<tovik::ConversionFailure> convertFailing(std::set<std::size_t> failing,
                                                           std::size_t from = SIZE_MAX,
                                                           const std::string &input = "in.txt")
    {
        calls_.clear();
        failed_.clear();
        NativeFile::setFaultHook([=, this](const std::string &call) {
            calls_.push_back(call);
            expectOwnFilesGuarded(call);
            const bool fails = failing.contains(calls_.size()) || calls_.size() >= from;
            if (disk_) {
                disk_->cut(cuts_);
                if (!fails)
                    disk_->see(call);
            }
            if (!fails)
                return std::error_code();
            failed_.insert(calls_.size());
            return kIoError;
        });
        auto failure = ConvertToChannels(input);
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
            std::string verb, path;
            std::istringstream(call) >> verb >> path;
            files.insert(userName(path));
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

    // The next run, on an input that it refuses: what it leaves of the
    // channels is what it made of what it found.
    void expectNextRunFindsAWholePair(const Pair &old)
    {
        const auto failure = convertFailing({}, SIZE_MAX, "refused.txt");
        ASSERT_TRUE(failure && std::holds_alternative<tovik::TextAfterQuote>(*failure))
                << "the next run did not stop at its input";
        EXPECT_TRUE(pair() == old || pair() == kNew) << pair().first << " and " << pair().second;
        EXPECT_EQ(contentOf("other.txt"), "other");
        for (const auto &[name, content] : folder())
            EXPECT_EQ(userName(name), name) << "left behind";
    }

    std::vector<std::string> calls_;
    std::set<std::size_t> failed_;
    std::optional<PowerCut> disk_;
    std::set<PowerCut::Image> cuts_;
};

} // namespace

// Every call that changes a file fails in turn; then it and every call after
// it, as on a disk gone bad, where an old file that cannot be put back must
// be kept aside and named; and with each of those that replace the
// channels, every single call after it, its undoing included. A single
// failure leaves the folder as it was, Convert.txt aside, but for two steps
// after the new pair is in place: removing Convert.txt, which fails the
// conversion all the same, and removing a backup or the record, which is no
// failure, as the next run removes what stays.
//
// And the power cut after every call of the conversion that fails nothing
// and of those failing once, the disk keeping what the model above allows;
// and again after every call of the next run, which makes the pair whole,
// and of the run after it, which converts. The pair is whole, and new once
// a conversion said so.
TEST_F(FileSafety, FailuresAndPowerCutsLoseNothing)
{
    // A folder a cut may leave, and the pairs it may come back as: the old
    // one or the new, or only the new.
    std::set<std::pair<PowerCut::Image, Pair>> cut, checked;
    const auto noteCuts = [&](const Pair &old, bool saved) {
        std::set<PowerCut::Image> after;
        disk_->cut(after);
        for (const auto &image : cuts_)
            cut.emplace(image, old);
        for (const auto &image : after)
            cut.emplace(image, saved ? kNew : old);
        cuts_.clear();
        disk_.reset();
    };
    for (const Pair &old : {kOld, kNoOld}) {
        SCOPED_TRACE(old == kOld ? "replacing old channels" : "no channels yet");
        place(old);
        disk_.emplace(folder());
        ASSERT_FALSE(convertFailing({}));
        noteCuts(old, true);
        const std::vector<std::string> calls = calls_;
        // Counted from 1, the folder's sync that begins replacing the channels.
        const auto record = std::ranges::find(calls, "create .CH1.txt.tovik-commit");
        const auto replacing = static_cast<std::size_t>(record - calls.begin());

        for (std::size_t k = 1; k <= calls.size(); ++k) {
            place(old);
            auto before = folder();
            disk_.emplace(before);
            const auto failure = convertFailing({k});
            noteCuts(old, !failure);
            const std::size_t steps = calls_.size();
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
            for (std::size_t m = k + 1; k >= replacing && m <= steps; ++m) {
                place(old);
                expectNothingLost(convertFailing({k, m}), old);
                expectNextRunFindsAWholePair(old);
            }
            place(old);
            expectNothingLost(convertFailing({}, k), old);
            expectNextRunFindsAWholePair(old);
        }
    }
    while (!cut.empty()) {
        const auto state = cut.extract(cut.begin()).value();
        const auto &[image, old] = state;
        std::string names;
        for (const auto &[name, bytes] : image)
            names += ' ' + name + (bytes.empty() ? " (empty)" : "");
        SCOPED_TRACE("a cut leaving" + names);
        if (!checked.insert(state).second)
            continue;
        PowerCut::restore(image);
        disk_.emplace(folder());
        expectNextRunFindsAWholePair(old);
        ASSERT_FALSE(convertFailing({})) << "the run after it";
        EXPECT_EQ(pair(), kNew);
        noteCuts(old, true);
    }
}
