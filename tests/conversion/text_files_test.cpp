#include "text_files.h"
#include "working_directory.h"

#include <string>
#include <vector>

using tovik::TextFieldReader;

namespace {

struct FieldCase
{
    const char *name;
    std::string bytes;
    std::vector<std::string> fields;
};

class FieldRules : public WorkingDirectoryTest, public ::testing::WithParamInterface<FieldCase>
{ };

const std::string kBlockLess1(65535, '1'); // the reader's block size less one
const std::string kBom = "\xEF\xBB\xBF";

} // namespace

TEST_P(FieldRules, ReadsTheFieldsOfAFile)
{
    writeFile("in.txt", GetParam().bytes);
    TextFieldReader reader;
    reader.open("in.txt");
    std::vector<std::string> fields;
    while (!reader.atEnd())
        fields.push_back(reader.readField());
    EXPECT_EQ(fields, GetParam().fields);
    EXPECT_EQ(reader.readField(), ""); // at the end, without moving past it
    EXPECT_TRUE(reader.atEnd());
}

INSTANTIATE_TEST_SUITE_P(
        TextFieldReader, FieldRules,
        ::testing::Values(
                FieldCase{"OneLine", "0123\r\n", {"0123"}},
                FieldCase{"Commas", "01,,23", {"01", "", "23"}},
                FieldCase{"Quoted", "\"0123\"\r\n", {"0123"}},
                FieldCase{"QuotedHoldsDelimiters", "\"0,1\r\n2\",3\r\n", {"0,1\r\n2", "3"}},
                FieldCase{"AfterClosingQuoteIgnored", "\"01\"xy,23\r\n", {"01", "23"}},
                FieldCase{"QuotedLines", "\"01\"\r\n\"23\"\r\n", {"01", "23"}},
                FieldCase{"UnclosedQuoteRunsToEnd", "\"01\r\n23", {"01\r\n23"}},
                FieldCase{"QuoteInsideUnquoted", "0\"1\r\n", {"0\"1"}},
                FieldCase{"EmptyLine", "01\r\n\r\n23\r\n", {"01", "", "23"}},
                FieldCase{"CarriageReturnsOnly", "01\r23\r", {"01", "23"}},
                FieldCase{"LineFeedsOnly", "01\n23\n", {"01", "23"}},
                FieldCase{"NoFinalLineEnd", "01\r\n23", {"01", "23"}},
                FieldCase{"BlanksAroundField", " \t01 \t,\t 23  \r\n", {"01", "23"}},
                FieldCase{"BlanksKeptInQuotes", "\" 01 \"\r\n", {" 01 "}},
                FieldCase{"ByteOrderMarkSkipped", kBom + "0123\r\n", {"0123"}},
                FieldCase{"ByteOrderMarkLaterIsText", "0" + kBom, {"0" + kBom}},
                FieldCase{"EmptyFile", "", {}},
                FieldCase{"NulByte", std::string("0\0\r\n", 4), {std::string("0\0", 2)}},
                FieldCase{"FieldAcrossBlocks", kBlockLess1 + "23,0", {kBlockLess1 + "23", "0"}},
                FieldCase{"CrLfAcrossBlocks", kBlockLess1 + "\r\n2", {kBlockLess1, "2"}}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(FieldRules, LongFieldIsCutPastTheLimit)
{
    writeFile("in.txt", "012345,\"678\",3");
    TextFieldReader reader;
    reader.open("in.txt");
    for (const char *expected : {"0123", "45", "678", "3"})
        EXPECT_EQ(reader.readField(3), expected);
    EXPECT_TRUE(reader.atEnd());
}
