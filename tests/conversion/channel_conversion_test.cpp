#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <functional>
#include <optional>
#include <string>

using tovik::ConvertToChannels;

namespace {

// One CR LF line for each character of `bits`.
std::string lines(const std::string &bits)
{
    std::string out;
    for (char bit : bits)
        out += std::string(1, bit) + "\r\n";
    return out;
}

std::string repeated(const std::string &text, std::size_t count)
{
    std::string out;
    while (count-- > 0)
        out += text;
    return out;
}

// How a conversion ended, in a test's words: "converted", the limit it ran
// into, or the file operation that failed.
std::string outcome(const std::optional<tovik::ConversionFailure> &failure)
{
    using Kind = tovik::ConversionFailure::Kind;
    if (!failure)
        return "converted";
    switch (failure->kind) {
    case Kind::File:
        return failure->file->what();
    case Kind::FieldTooLong:
        return "field too long";
    case Kind::TooManySymbols:
        return "too many symbols";
    case Kind::OutOfMemory:
        return "out of memory";
    }
    return "?";
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
    // Compared by size first: a long mismatch is not worth a diff.
    const std::string channel1 = readFile("CH1.txt"), channel2 = readFile("CH2.txt");
    ASSERT_EQ(channel1.size(), GetParam().channel1.size() * 3);
    ASSERT_EQ(channel2.size(), GetParam().channel2.size() * 3);
    EXPECT_TRUE(channel1 == lines(GetParam().channel1)) << "CH1.txt differs";
    EXPECT_TRUE(channel2 == lines(GetParam().channel2)) << "CH2.txt differs";
    EXPECT_EQ(folder().count("Convert.txt"), 0);
}

INSTANTIATE_TEST_SUITE_P(
        ConvertToChannels, Conversion,
        ::testing::Values(
                ConversionCase{"OneLine", "0123\r\n", "0011", "0101"},
                ConversionCase{"TwoFields", "01,23", "0011", "0101"},
                ConversionCase{"WalkStopsAtFirstEmptyItem", "01\r\n\r\n23\r\n", "00", "01"},
                ConversionCase{"EmptyFile", "", "", ""},
                ConversionCase{"FirstLineEmpty", "\r\n0123\r\n", "", ""},
                ConversionCase{"Utf16", std::string("\xFF\xFE" "3\0\xE9\0" "1\0", 8), "1xx0",
                               "1xx1"},
                ConversionCase{"UnrecognisedSymbols", "0a3\r\n9,\xE9", "0x1xx", "0x1xx"},
                // Each of these used to come back from Convert.txt as a
                // delimiter or not at all, shifting every later symbol.
                ConversionCase{"CommaInQuotes", "\"0,1\"\r\n3", "0x01", "0x11"},
                ConversionCase{"QuoteInField", "0\"1\r\n3", "0x01", "0x11"},
                ConversionCase{"BlanksAndLineEndsInQuotes", "\"0 \t\r\n1\"\r\n2", "0xxxx01",
                               "0xxxx10"},
                ConversionCase{"NulByte", std::string("0\0" "3", 3), "0x1", "0x1"},
                ConversionCase{"999Items", repeated("3,", 999), repeated("1", 999),
                               repeated("1", 999)},
                ConversionCase{"1000Items", repeated("2\r\n", 1000), repeated("1", 1000),
                               repeated("0", 1000)},
                ConversionCase{"FieldsAfterThe1000thNeverRead",
                               repeated("1\r\n", 1000) + std::string(300001, '3'),
                               repeated("0", 1000), repeated("1", 1000)},
                ConversionCase{"299999Symbols", std::string(299999, '3'), repeated("1", 299999),
                               repeated("1", 299999)},
                ConversionCase{"300000SymbolsAndBlanks", " " + std::string(300000, '2') + " \t",
                               repeated("1", 300000), repeated("0", 300000)},
                ConversionCase{"300000SymbolsInTwoItems",
                               std::string(150000, '1') + "\n" + std::string(150000, '1'),
                               repeated("0", 300000), repeated("1", 300000)}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(Conversion, ReplacesOldFilesWhereverTheInputIs)
{
    for (const char *name : {"Convert.txt", "CH1.txt", "CH2.txt"})
        writeFile(name, "old, and longer than the new content\r\n");
    std::filesystem::create_directory("data");
    writeFile("data/in.txt", "2");
    ASSERT_EQ(outcome(ConvertToChannels((directory_ / "data/in.txt").string())), "converted");
    EXPECT_EQ(folder(), (std::map<std::string, std::string>{
                                {"CH1.txt", "1\r\n"}, {"CH2.txt", "0\r\n"}, {"data", "folder"}}));

    // The result may replace its own input.
    writeFile("CH1.txt", "3");
    ASSERT_EQ(outcome(ConvertToChannels("CH1.txt")), "converted");
    EXPECT_EQ(readFile("CH1.txt") + readFile("CH2.txt"), "1\r\n1\r\n");
}

#ifndef _WIN32
TEST_F(Conversion, ReplacesALinkButNeverWritesThroughIt)
{
    writeFile("in.txt", "2");
    writeFile("target.txt", "kept");
    std::filesystem::create_symlink("target.txt", "CH1.txt");
    ASSERT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
    EXPECT_EQ(folder(), (std::map<std::string, std::string>{{"CH1.txt", "1\r\n"},
                                                             {"CH2.txt", "0\r\n"},
                                                             {"in.txt", "2"},
                                                             {"target.txt", "kept"}}));
}
#endif

// Each failure says what failed, where and why, and the folder is as it was:
// Convert.txt aside where the conversion got as far as creating it.
TEST_F(Conversion, FailuresSayWhatFailedAndLoseNothing)
{
    const std::string kept = "0123\r\n";
    struct Case
    {
        const char *name;
        std::function<void()> arrange;
        std::string input, outcome;
        bool convertTxtTouched = false;
    };
    const Case cases[] = {
            {"missing input", [] {}, "missing.txt",
             "open \"missing.txt\": No such file or directory"},
            {"input a folder", [] { std::filesystem::create_directory("in"); }, "in",
             "open \"in\": it is not a regular file"},
#ifndef _WIN32
            {"input a FIFO", [] { ::mkfifo("fifo.txt", 0600); }, "fifo.txt",
             "open \"fifo.txt\": it is not a regular file"},
#endif
            {"input is Convert.txt", [&] { writeFile("Convert.txt", kept); }, "Convert.txt",
             "create \"Convert.txt\": it is already open in this program"},
            {"input is Convert.txt by another name",
             [&] {
                 writeFile("Convert.txt", kept);
                 std::filesystem::create_hard_link("Convert.txt", "alias.txt");
             },
             "alias.txt", "create \"Convert.txt\": it is already open in this program"},
#ifndef _WIN32
            {"Convert.txt a FIFO", [] { ::mkfifo("Convert.txt", 0600); }, "in.txt",
             "create \"Convert.txt\": it is not a regular file"},
            {"Convert.txt a link",
             [&] {
                 writeFile("target.txt", kept);
                 std::filesystem::create_symlink("target.txt", "Convert.txt");
             },
             "in.txt", "create \"Convert.txt\": it is a symbolic link"},
            {"CH1.txt a FIFO",
             [] {
                 std::filesystem::remove("CH1.txt");
                 ::mkfifo("CH1.txt", 0600);
             },
             "in.txt",
             "replace \"CH1.txt\": it is not a regular file"},
#endif
            {"CH2.txt a folder", [] { std::filesystem::create_directory("CH2.txt"); }, "in.txt",
             "replace \"CH2.txt\": it is not a regular file"},
            {"CH2.txt read-only",
             [&] {
                 writeFile("CH2.txt", kept);
                 std::filesystem::permissions("CH2.txt", std::filesystem::perms::owner_read
                                                                 | std::filesystem::perms::group_read
                                                                 | std::filesystem::perms::others_read);
             },
             "in.txt", "replace \"CH2.txt\": it is read-only"},
#ifndef _WIN32
            {"working directory gone",
             [] {
                 const auto gone = std::filesystem::absolute("gone");
                 std::filesystem::create_directory(gone);
                 std::filesystem::current_path(gone);
                 std::filesystem::remove(gone);
             },
             (directory_ / "working directory gone" / "in.txt").string(),
             "create \"Convert.txt\": No such file or directory"},
#endif
            {"a field of 300001 symbols",
             [] { writeFile("in.txt", std::string(300001, '1')); }, "in.txt", "field too long",
             true},
            {"an unused field of 300001 symbols",
             [] { writeFile("in.txt", "0\r\n\r\n" + std::string(300001, '1')); }, "in.txt",
             "field too long", true},
            {"300001 blanks", [] { writeFile("in.txt", std::string(300001, ' ') + "1"); },
             "in.txt", "field too long", true},
            {"a quoted field, then 8 GiB of nothing",
             [] {
                 writeFile("in.txt", "\"0123\"");
                 std::filesystem::resize_file("in.txt", 8ull << 30);
             },
             "in.txt", "field too long", true},
            {"300001 symbols in all",
             [] { writeFile("in.txt", std::string(300000, '1') + "\n1"); }, "in.txt",
             "too many symbols", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::current_path(directory_);
        std::filesystem::create_directory(c.name);
        std::filesystem::current_path(c.name);
        writeFile("in.txt", "0123");
        writeFile("CH1.txt", "old channel 1");
        c.arrange();
        auto before = folder();

        EXPECT_EQ(outcome(ConvertToChannels(c.input)), c.outcome);
        auto after = folder();
        if (c.convertTxtTouched) {
            before.erase("Convert.txt");
            after.erase("Convert.txt");
        }
        EXPECT_EQ(after, before);
    }
}

TEST_F(Conversion, OneConversionAtATimeInAFolder)
{
    writeFile("in.txt", "0123");
    // Another conversion holds Convert.txt open for writing.
    tovik::NativeFile other = tovik::NativeFile::openToWrite("Convert.txt");
    const auto before = folder();
    EXPECT_EQ(outcome(ConvertToChannels("in.txt")),
              "create \"Convert.txt\": it is in use by another conversion");
    EXPECT_EQ(folder(), before);
    other.close();
    EXPECT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
}
