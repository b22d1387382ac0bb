#include "channel_conversion.h"
#include "working_directory.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

using tovik::ConvertToChannels;
using tovik::kMaxItems;
using tovik::kMaxSymbols;

namespace {

// One CR LF line for each character of `bits`, or `count` times `line`.
std::string lines(const std::string &bits)
{
    std::string out;
    for (char bit : bits)
        out += std::string(1, bit) + "\r\n";
    return out;
}
std::string repeated(const std::string &line, std::size_t count)
{
    std::string out;
    while (count-- > 0)
        out += line;
    return out;
}

struct ConversionCase
{
    const char *name;
    std::string input, channel1, channel2;
};
const std::string kBom = "\xEF\xBB\xBF";
const std::string kNul(1, '\0');

class Conversion : public WorkingDirectoryTest, public ::testing::WithParamInterface<ConversionCase>
{ };

} // namespace

TEST_P(Conversion, SplitsEverySymbolIntoTwoChannels)
{
    writeFile("in.txt", GetParam().input);
    ASSERT_EQ(ConvertToChannels("in.txt"), std::nullopt);
    EXPECT_EQ(readFile("CH1.txt"), lines(GetParam().channel1));
    EXPECT_EQ(readFile("CH2.txt"), lines(GetParam().channel2));
    EXPECT_FALSE(exists("Convert.txt"));
}

INSTANTIATE_TEST_SUITE_P(
        ConvertToChannels, Conversion,
        ::testing::Values(
                ConversionCase{"OneLine", "0123\r\n", "0011", "0101"},
                ConversionCase{"TwoLines", "01\r\n23\r\n", "0011", "0101"},
                ConversionCase{"TwoFields", "01,23", "0011", "0101"},
                ConversionCase{"WalkStopsAtFirstEmptyItem", "01\r\n\r\n23\r\n", "00", "01"},
                ConversionCase{"EmptyFile", "", "", ""},
                ConversionCase{"FirstLineEmpty", "\r\n0123\r\n", "", ""},
                ConversionCase{"ByteOrderMark", kBom + "3210", "1100", "1010"},
                ConversionCase{"UnrecognisedSymbols", "0a3\r\n9,\xE9", "0x1xx", "0x1xx"},
                // Each of these used to come back from Convert.txt as a
                // delimiter or not at all, shifting every later symbol.
                ConversionCase{"CommaInQuotes", "\"0,1\"\r\n3", "0x01", "0x11"},
                ConversionCase{"QuoteInField", "0\"1\r\n3", "0x01", "0x11"},
                ConversionCase{"BlanksAndLineEndsInQuotes", "\"0 \t\r\n1\"\r\n2", "0xxxx01",
                               "0xxxx10"},
                ConversionCase{"NulByte", "0" + kNul + "3", "0x1", "0x1"},
                ConversionCase{"FewerThanAThousandItems", repeated("3,", kMaxItems - 1),
                               repeated("1", kMaxItems - 1), repeated("1", kMaxItems - 1)},
                ConversionCase{"MostSymbolsLess1", std::string(kMaxSymbols - 1, '3'),
                               repeated("1", kMaxSymbols - 1), repeated("1", kMaxSymbols - 1)},
                ConversionCase{"MostSymbols", std::string(kMaxSymbols, '2'),
                               repeated("1", kMaxSymbols), repeated("0", kMaxSymbols)},
                ConversionCase{"MostSymbolsInTwoItems",
                               std::string(kMaxSymbols / 2, '1') + "\n"
                                       + std::string(kMaxSymbols / 2, '1'),
                               repeated("0", kMaxSymbols), repeated("1", kMaxSymbols)},
                ConversionCase{"AllThousandItems", repeated("2\r\n", kMaxItems),
                               repeated("1", kMaxItems), repeated("0", kMaxItems)},
                ConversionCase{"FieldsAfterTheThousandthNeverRead",
                               repeated("1\r\n", kMaxItems) + std::string(kMaxSymbols + 1, '3'),
                               repeated("0", kMaxItems), repeated("1", kMaxItems)}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(Conversion, ReplacesStaleFilesInTheWorkingDirectoryWhereverTheInputIs)
{
    for (const char *name : {"Convert.txt", "CH1.txt", "CH2.txt"})
        writeFile(name, "stale, and longer than the new content\r\n");
    std::filesystem::create_directory("data");
    writeFile("data/in.txt", "2");
    ASSERT_EQ(ConvertToChannels((directory_ / "data/in.txt").string()), std::nullopt);
    EXPECT_EQ(readFile("CH1.txt"), "1\r\n");
    EXPECT_EQ(readFile("CH2.txt"), "0\r\n");
    EXPECT_FALSE(exists("Convert.txt"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 1);
}

TEST_F(Conversion, FailuresSayWhatFailedAndLeaveFilesAsTheyWere)
{
    const std::string kept = "0123\r\n";
    const auto tooMany = [](const char *what) {
        return "Cannot convert \"in.txt\": " + std::string(what)
                + " more than 300000 symbols, the most one conversion takes";
    };
    struct Case
    {
        const char *name;
        std::function<void()> arrange;
        std::string input, message;
        std::map<std::string, std::optional<std::string>> after; // nullopt: no such file
    };
    const Case cases[] = {
            {"missing input",
             [&] { writeFile("CH1.txt", kept); },
             "missing.txt",
             "Cannot open \"missing.txt\": No such file or directory",
             {{"CH1.txt", kept}, {"CH2.txt", {}}, {"Convert.txt", {}}}},
            {"input is Convert.txt",
             [&] { writeFile("Convert.txt", kept); },
             "Convert.txt",
             "Cannot create \"Convert.txt\": the file is already open in this program",
             {{"Convert.txt", kept}, {"CH1.txt", {}}}},
            {"input is Convert.txt by another name",
             [&] {
                 writeFile("Convert.txt", kept);
                 std::filesystem::create_hard_link("Convert.txt", "alias.txt");
             },
             "alias.txt",
             "Cannot create \"Convert.txt\": the file is already open in this program",
             {{"alias.txt", kept}}},
            {"disk full",
             [] { std::filesystem::create_symlink("/dev/full", "CH1.txt"); },
             "in.txt",
             "Cannot write \"CH1.txt\": No space left on device",
             // Convert.txt is not deleted; CH2.txt keeps what was written to it.
             {{"Convert.txt", lines("0123")}, {"CH2.txt", lines("0101")}}},
            {"working directory gone",
             [] {
                 const auto gone = std::filesystem::absolute("gone");
                 std::filesystem::create_directory(gone);
                 std::filesystem::current_path(gone);
                 std::filesystem::remove(gone);
             },
             (directory_ / "in.txt").string(),
             "Cannot create \"Convert.txt\": No such file or directory",
             {}},
            {"item too long",
             [] { writeFile("in.txt", std::string(kMaxSymbols + 1, '1')); },
             "in.txt",
             tooMany("an item holds"),
             {{"CH1.txt", {}}}},
            {"unused item too long",
             [] { writeFile("in.txt", "0\r\n\r\n" + std::string(kMaxSymbols + 1, '1')); },
             "in.txt",
             tooMany("an item holds"),
             {{"CH1.txt", {}}}},
            {"too many symbols in all",
             [] { writeFile("in.txt", std::string(kMaxSymbols, '1') + "\n1"); },
             "in.txt",
             tooMany("its items hold"),
             {{"CH1.txt", {}}}},
    };
    writeFile("in.txt", "0123");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directory(directory_ / c.name);
        std::filesystem::current_path(directory_ / c.name);
        writeFile("in.txt", "0123");
        c.arrange();
        const auto failure = ConvertToChannels(c.input);
        ASSERT_TRUE(failure.has_value()) << "reported success";
        EXPECT_EQ(failure->what(), c.message);
        for (const auto &[file, content] : c.after)
            EXPECT_EQ(exists(file) ? std::optional(readFile(file)) : std::nullopt, content) << file;
    }
    // The failed conversion closed the input: it no longer stands in the way.
    std::filesystem::current_path(directory_ / "input is Convert.txt");
    EXPECT_EQ(ConvertToChannels("in.txt"), std::nullopt);
}
