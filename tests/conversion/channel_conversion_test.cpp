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

// How a conversion ended, in a test's words: "converted", or what failed.
std::string outcome(const std::optional<tovik::ConversionFailure> &failure)
{
    using Kind = tovik::ConversionFailure::Kind;
    if (!failure)
        return "converted";
    if (failure->kind == Kind::File)
        return "failed on " + failure->file->path();
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
    const auto failure = ConvertToChannels("in.txt");
    ASSERT_TRUE(failure && failure->file);
    EXPECT_EQ(failure->file->refusal(), tovik::Refusal::HardLink);
    std::filesystem::remove("Convert.txt");
#endif
    EXPECT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
    EXPECT_EQ(folder(), (std::map<std::string, std::string>{{"CH1.txt", "1\r\n"},
                                                            {"CH2.txt", "0\r\n"},
                                                            {"in.txt", "2"},
                                                            {"precious.txt", "kept"}}));
}
