#include "channel_conversion.h"
#include "working_directory.h"

#include <string>

using tovik::ConvertToChannels;
using tovik::kMaxItems;
using tovik::kMaxSymbols;

namespace {

// The expected content of a channel file: one line per character of bits.
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
    for (std::size_t i = 0; i < count; ++i)
        out += line;
    return out;
}

struct ConversionCase
{
    const char *name;
    std::string input;
    std::string channel1;
    std::string channel2;
};

void PrintTo(const ConversionCase &c, std::ostream *out)
{
    *out << c.name;
}

class Conversion : public WorkingDirectoryTest, public ::testing::WithParamInterface<ConversionCase>
{
protected:
    void expectConverted(const std::string &channel1, const std::string &channel2)
    {
        EXPECT_EQ(readFile("CH1.txt"), lines(channel1));
        EXPECT_EQ(readFile("CH2.txt"), lines(channel2));
        EXPECT_FALSE(exists("Convert.txt"));
    }

    void expectFailure(const std::string &operation, const std::string &path,
                       const std::string &reason)
    {
        const auto failure = ConvertToChannels("in.txt");
        ASSERT_TRUE(failure.has_value()) << "reported success";
        EXPECT_EQ(failure->operation(), operation);
        EXPECT_EQ(failure->path(), path);
        EXPECT_NE(failure->reason().find(reason), std::string::npos) << failure->reason();
    }
};

} // namespace

TEST_P(Conversion, SplitsEverySymbolIntoTwoChannels)
{
    writeFile("in.txt", GetParam().input);
    ASSERT_EQ(ConvertToChannels("in.txt"), std::nullopt);
    expectConverted(GetParam().channel1, GetParam().channel2);
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
                ConversionCase{"ByteOrderMark",
                               "\xEF\xBB\xBF"
                               "3210",
                               "1100", "1010"},
                ConversionCase{"UnrecognisedSymbols", "0a3\r\n9,\xE9", "0x1xx", "0x1xx"},
                // Each of these characters used to come back from the intermediate
                // file as a delimiter or not at all, shifting every later symbol.
                ConversionCase{"CommaInQuotes", "\"0,1\"\r\n3", "0x01", "0x11"},
                ConversionCase{"QuoteInField", "0\"1\r\n3", "0x01", "0x11"},
                ConversionCase{"BlanksAndLineEndsInQuotes", "\"0 \t\r\n1\"\r\n2", "0xxxx01",
                               "0xxxx10"},
                ConversionCase{"NulByte",
                               std::string("0\0"
                                           "3",
                                           3),
                               "0x1", "0x1"},
                ConversionCase{"AllThousandItems", repeated("2\r\n", kMaxItems),
                               repeated("1", kMaxItems), repeated("0", kMaxItems)},
                ConversionCase{"FieldsAfterTheThousandthNeverRead",
                               repeated("1\r\n", kMaxItems) + std::string(kMaxSymbols + 1, '3'),
                               repeated("0", kMaxItems), repeated("1", kMaxItems)},
                ConversionCase{"FewerThanAThousand", repeated("3,", kMaxItems - 1),
                               repeated("1", kMaxItems - 1), repeated("1", kMaxItems - 1)}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(Conversion, ReplacesStaleWorkingFiles)
{
    for (const char *name : {"Convert.txt", "CH1.txt", "CH2.txt"})
        writeFile(name, "stale content, longer than the new one\r\n1\r\n1\r\n1\r\n");
    writeFile("in.txt", "2");
    ASSERT_EQ(ConvertToChannels("in.txt"), std::nullopt);
    expectConverted("1", "0");
}

TEST_F(Conversion, WritesToTheWorkingDirectoryWhereverTheInputIs)
{
    std::filesystem::create_directory("data");
    writeFile("data/in.txt", "1");
    ASSERT_EQ(ConvertToChannels((directory() / "data/in.txt").string()), std::nullopt);
    expectConverted("0", "1");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 1);
}

TEST_F(Conversion, SymbolLimits)
{
    for (std::size_t count : {kMaxSymbols - 1, kMaxSymbols}) {
        SCOPED_TRACE(count);
        // In one item, and spread over two.
        for (const std::string &input :
             {std::string(count, '1'),
              std::string(count / 2, '1') + "\n" + std::string(count - count / 2, '1')}) {
            writeFile("in.txt", input);
            ASSERT_EQ(ConvertToChannels("in.txt"), std::nullopt);
            EXPECT_EQ(readFile("CH1.txt"), repeated("0\r\n", count));
            EXPECT_EQ(readFile("CH2.txt"), repeated("1\r\n", count));
        }
    }
}

TEST_F(Conversion, OversizeInputFailsAndConvertsNothing)
{
    const std::string half(kMaxSymbols / 2, '3');
    for (const std::string &input : {std::string(kMaxSymbols + 1, '3'), half + "\r\n" + half + "3",
                                     "0\r\n\r\n" + std::string(kMaxSymbols + 1, '3')}) {
        writeFile("in.txt", input);
        expectFailure("convert", "in.txt", "more than 300000 symbols");
        EXPECT_FALSE(exists("CH1.txt"));
        EXPECT_FALSE(exists("CH2.txt"));
    }
}

TEST_F(Conversion, MissingInputTouchesNoWorkingFile)
{
    writeFile("CH1.txt", "earlier\r\n");
    expectFailure("open", "in.txt", "No such file or directory");
    EXPECT_EQ(readFile("CH1.txt"), "earlier\r\n");
    EXPECT_FALSE(exists("CH2.txt"));
    EXPECT_FALSE(exists("Convert.txt"));
}

TEST_F(Conversion, InputThatIsAFolderFails)
{
    std::filesystem::create_directory("in.txt");
    expectFailure("open", "in.txt", "Is a directory");
    EXPECT_FALSE(exists("Convert.txt"));
}

TEST_F(Conversion, IntermediateFileAsInputFailsAndKeepsIt)
{
    writeFile("Convert.txt", "0123\r\n");
    const auto failure = ConvertToChannels("Convert.txt");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->operation(), "create");
    EXPECT_EQ(failure->path(), "Convert.txt");
    EXPECT_EQ(readFile("Convert.txt"), "0123\r\n");
    EXPECT_FALSE(exists("CH1.txt"));
}

TEST_F(Conversion, WorkingDirectoryGoneFails)
{
    writeFile("in.txt", "0123");
    const std::filesystem::path input = directory() / "in.txt";
    std::filesystem::create_directory("gone");
    std::filesystem::current_path("gone");
    std::filesystem::remove(directory() / "gone");
    const auto failure = ConvertToChannels(input.string());
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->operation(), "create");
    EXPECT_EQ(failure->path(), "Convert.txt");
}

TEST_F(Conversion, FullDiskIsAFailureNotSuccess)
{
    writeFile("in.txt", "0123");
    std::filesystem::create_symlink("/dev/full", "CH1.txt");
    expectFailure("write", "CH1.txt", "No space left on device");
    // What a failure leaves: the intermediate file stays, the other channel
    // keeps what was written to it.
    EXPECT_EQ(readFile("Convert.txt"), "0\r\n1\r\n2\r\n3\r\n");
    EXPECT_EQ(readFile("CH2.txt"), lines("0101"));
}
