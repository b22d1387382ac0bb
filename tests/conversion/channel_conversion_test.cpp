#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using namespace std::string_literals;
using tovik::ConvertToChannels;

namespace {

// How a conversion ended, in a test's words: "converted", the limit it ran
// into, or the file operation that failed.
std::string outcome(const std::optional<tovik::ConversionFailure> &failure)
{
    using Kind = tovik::ConversionFailure::Kind;
    if (!failure)
        return "converted";
    if (failure->kind == Kind::File)
        return failure->file->what();
    return failure->kind == Kind::FieldTooLong     ? "field too long"
            : failure->kind == Kind::TooManySymbols ? "too many symbols"
                                                    : "out of memory";
}

// Where a channel file differs from one CR LF line for each of `bits`: the
// first line that does, rather than a diff of two large files.
std::string differenceFrom(const std::string &bits, const std::string &file)
{
    for (std::size_t line = 0; line < bits.size(); ++line) {
        const std::string expected = {bits[line], '\r', '\n'};
        if (file.compare(3 * line, 3, expected) != 0)
            return "line " + std::to_string(line + 1) + " is \"" + file.substr(3 * line, 3)
                    + "\", not " + bits[line];
    }
    return file.size() == 3 * bits.size() ? ""
                                          : "more than " + std::to_string(bits.size()) + " lines";
}

struct ConversionCase
{
    const char *name;
    std::string input, channel1, channel2;
};

class Conversion : public WorkingDirectoryTest, public ::testing::WithParamInterface<ConversionCase>
{ };

} // namespace

TEST_P(Conversion, SplitsEverySymbolIntoTwoChannels)
{
    writeFile("in.txt", GetParam().input);
    ASSERT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
    EXPECT_EQ(differenceFrom(GetParam().channel1, readFile("CH1.txt")), "") << "CH1.txt";
    EXPECT_EQ(differenceFrom(GetParam().channel2, readFile("CH2.txt")), "") << "CH2.txt";
    EXPECT_EQ(folder().count("Convert.txt"), 0);
}

INSTANTIATE_TEST_SUITE_P(
        ConvertToChannels, Conversion,
        ::testing::Values(
                ConversionCase{"OneLine", "0123\r\n", "0011", "0101"},
                ConversionCase{"WalkStopsAtFirstEmptyItem", "01\r\n\r\n23\r\n", "00", "01"},
                ConversionCase{"FirstLineEmpty", "\r\n0123\r\n", "", ""},
                // Bytes a text mode would change or stop at: NUL, Ctrl-Z.
                ConversionCase{"UnrecognisedSymbols", "0a3\r\n9,\xE9\0\0321"s, "0x1xxxx0",
                               "0x1xxxx1"},
                // Each of these used to come back from Convert.txt as a delimiter or not
                // at all, shifting every later symbol.
                ConversionCase{"DelimitersInsideItems", "\"0,1\"\r\n0\"1\r\n\"2 \t\r\n3\"",
                               "0x00x01xxxx1", "0x10x10xxxx1"},
                ConversionCase{"1000Items", repeated("2\r\n", 1000), std::string(1000, '1'),
                               std::string(1000, '0')},
                ConversionCase{"FieldsAfterThe1000thNeverRead",
                               repeated("1,", 1000) + std::string(300001, '3'),
                               std::string(1000, '0'), std::string(1000, '1')},
                ConversionCase{"300000SymbolsAndBlanks", " " + std::string(300000, '2') + " \t",
                               std::string(300000, '1'), std::string(300000, '0')},
                ConversionCase{"300000SymbolsInTwoItems",
                               std::string(150000, '1') + "\n" + std::string(150000, '1'),
                               std::string(300000, '0'), std::string(300000, '1')}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(Conversion, ReplacesOldFilesWhereverTheInputIs)
{
    const std::string old = "old, and longer than the new content\r\n";
    auto expected = std::map<std::string, std::string>{
            {"CH1.txt", "1\r\n"}, {"CH2.txt", "0\r\n"}, {"d\xC3\xA1ta", "folder"}};
    writeFile("Convert.txt", old);
    writeFile("CH2.txt", old);
#ifdef _WIN32
    writeFile("CH1.txt", old);
#else
    // A link is replaced, never written through.
    writeFile("target.txt", expected["target.txt"] = "kept");
    std::filesystem::create_symlink("target.txt", "CH1.txt");
#endif
    // A UTF-8 name, and deeper than the 260 characters of an old Windows path.
    std::string input = utf8(directory_) + "/d\xC3\xA1ta";
    for (char c = 'a'; c < 'f'; ++c)
        input += "/" + std::string(50, c);
    std::filesystem::create_directories(std::filesystem::u8path(input));
    writeFile(std::filesystem::u8path(input += "/in.txt"), "2");

    ASSERT_EQ(outcome(ConvertToChannels(input)), "converted");
    EXPECT_EQ(folder(), expected);

    // The result may replace its own input.
    writeFile("CH1.txt", "3");
    ASSERT_EQ(outcome(ConvertToChannels("CH1.txt")), "converted");
    EXPECT_EQ(readFile("CH1.txt") + readFile("CH2.txt"), "1\r\n1\r\n");
}

// A second name of another file (a hard link) is never written through:
// the other file stays as it was. Convert.txt with such a name is given a
// file of its own, or on Windows refused; a temporary name is removed.
TEST_F(Conversion, NeverWritesThroughAHardLink)
{
    writeFile("in.txt", "2");
    writeFile("precious.txt", "kept");
    for (const char *name : {"Convert.txt", ".CH1.txt.tovik-new", ".CH2.txt.tovik-new"})
        std::filesystem::create_hard_link("precious.txt", name);
#ifdef _WIN32
    EXPECT_EQ(outcome(ConvertToChannels("in.txt")),
              "create \"Convert.txt\": it has another name, a hard link");
    std::filesystem::remove("Convert.txt");
#endif
    EXPECT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
    EXPECT_EQ(folder(), (std::map<std::string, std::string>{{"CH1.txt", "1\r\n"},
                                                            {"CH2.txt", "0\r\n"},
                                                            {"in.txt", "2"},
                                                            {"precious.txt", "kept"}}));
}

// Makes `name` in the working directory what `what` says: "folder", "fifo",
// "link to X", "read-only", "in use" (open for writing, as
// by another conversion), "gone" (made the working directory, then removed),
// on Windows "held" (by a program that shares it with no one) and "pipe", or
// else the bytes it holds. `held` keeps open what must
// stay so.
void make(const std::string &name, const std::string &what,
          std::vector<std::shared_ptr<void>> &held)
{
    namespace fs = std::filesystem;
    std::error_code none;
    fs::remove(name, none);
    if (what == "folder")
        fs::create_directory(name);
#ifdef _WIN32
    else if (what == "held")
        held.emplace_back(::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_ALWAYS, 0, nullptr),
                          ::CloseHandle);
    else if (what == "pipe")
        held.emplace_back(::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0,
                                             0, 0, nullptr),
                          ::CloseHandle);
#else
    else if (what == "fifo")
        ::mkfifo(name.c_str(), 0600);
    else if (what.starts_with("link to "))
        fs::create_symlink(what.substr(8), name);
    else if (what == "gone") { // the working directory, removed
        fs::create_directory(name);
        fs::current_path(name);
        fs::remove("../" + name);
    }
#endif
    else if (what == "in use")
        held.push_back(std::make_shared<tovik::NativeFile>(tovik::NativeFile::openToWrite(name)));
    else
        std::ofstream(name, std::ios::binary) << what;
    if (what == "read-only") {
        fs::permissions(name, fs::perms::owner_read);
        // Writable again after, as Windows removes no read-only file.
        held.emplace_back(nullptr, [name](void *) {
            fs::permissions(name, fs::perms::owner_write, fs::perm_options::add);
        });
    }
}

// Each failure says what failed, where and why, and the folder is as it was;
// past a limit, but for Convert.txt, which the conversion had begun: empty.
TEST_F(Conversion, FailuresSayWhatFailedAndLoseNothing)
{
    // Convert.txt as the failure leaves it, when it is not as it was.
    struct Case
    {
        std::string made, what, input, outcome;
        std::optional<std::string> convertTxt = std::nullopt;
    };
    const std::string tooLong = std::string(300001, '1');
    const Case cases[] = {
            {"", "", "missing.txt", "open \"missing.txt\": No such file or directory"},
            {"in", "folder", "in", "open \"in\": it is not a regular file"},
            {"", "", "Convert.txt", "create \"Convert.txt\": it is the file being converted"},
            {"Convert.txt", "in use", "in.txt",
             "create \"Convert.txt\": it is in use by another conversion"},
            {"CH2.txt", "folder", "in.txt", "replace \"CH2.txt\": it is not a regular file"},
            {"CH2.txt", "read-only", "in.txt", "replace \"CH2.txt\": it is read-only"},
#ifdef _WIN32
            {"", "", "NUL", "open \"NUL\": it is not a regular file"},
            {"in.txt", "held", "in.txt", "open \"in.txt\": it is in use by another program"},
            {"Convert.txt", "held", "in.txt",
             "create \"Convert.txt\": it is in use by another program"},
            {"CH2.txt", "held", "in.txt", "replace \"CH2.txt\": it is in use by another program",
             "0\r\n1\r\n2\r\n3\r\n"},
            {R"(\\.\pipe\tovik-test)", "pipe", R"(\\.\pipe\tovik-test)",
             R"(open "\\.\pipe\tovik-test": it is not a regular file)"},
#else
            {"", "", "/dev/null", "open \"/dev/null\": it is not a regular file"},
            {"fifo.txt", "fifo", "fifo.txt", "open \"fifo.txt\": it is not a regular file"},
            {"Convert.txt", "fifo", "in.txt", "create \"Convert.txt\": it is not a regular file"},
            {"Convert.txt", "link to in.txt", "in.txt",
             "create \"Convert.txt\": it is a symbolic link"},
            {"CH1.txt", "fifo", "in.txt", "replace \"CH1.txt\": it is not a regular file"},
            {"gone", "gone", "../in.txt", "create \"Convert.txt\": No such file or directory"},
#endif
            {"in.txt", tooLong, "in.txt", "field too long", ""},
            {"in.txt", "0\r\n\r\n" + tooLong, "in.txt", "field too long", ""},
            {"in.txt", std::string(300000, '1') + "\n1", "in.txt", "too many symbols", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.made + " " + c.what.substr(0, 24) + ", input " + c.input);
        std::vector<std::shared_ptr<void>> held;
        std::filesystem::current_path(directory_);
        std::filesystem::create_directory(std::to_string(&c - cases));
        std::filesystem::current_path(std::to_string(&c - cases));
        writeFile("in.txt", "0123");
        writeFile("CH1.txt", "old channel 1");
        writeFile("Convert.txt", "left by an earlier run");
        if (!c.made.empty())
            make(c.made, c.what, held);
        auto before = folder();
        EXPECT_EQ(outcome(ConvertToChannels(c.input)), c.outcome);
        auto after = folder();
        EXPECT_EQ(after["Convert.txt"], c.convertTxt.value_or(before["Convert.txt"]));
        before.erase("Convert.txt");
        after.erase("Convert.txt");
        EXPECT_EQ(after, before);
    }
}
