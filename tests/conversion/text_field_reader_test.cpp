#include "text_field_reader.h"
#include "working_directory.h"

#include <string>
#include <vector>

using namespace std::string_literals;
using tovik::TextFieldReader;

namespace {

struct FieldCase
{
    const char *name;
    std::string bytes;
    std::vector<std::string> fields; // "too long" for a field refused past the limit
    std::size_t limit = std::string::npos;
};

class FieldRules : public WorkingDirectoryTest, public ::testing::WithParamInterface<FieldCase>
{ };

const std::string kBlockLess1(65535, '1'); // the reader's block size less one
const std::string kBom = "\xEF\xBB\xBF";
// "0é,3" and a line end, with U+1F600 (a surrogate pair) in the second field.
const std::string kUtf16LE = "\xFF\xFE\x30\0\xE9\0,\0\x33\0\x3D\xD8\0\xDE\r\0\n\0"s;
const std::string kUtf16BE = "\xFE\xFF\0\x30\0\xE9\0,\0\x33\xD8\x3D\xDE\0\0\r\0\n"s;
const std::string kReplacement = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

TEST_P(FieldRules, ReadsTheFieldsOfAFile)
{
    writeFile("in.txt", GetParam().bytes);
    TextFieldReader reader;
    reader.open("in.txt");
    std::vector<std::string> fields;
    try {
        while (!reader.atEnd())
            fields.emplace_back(reader.readField(GetParam().limit));
        EXPECT_EQ(reader.readField(), ""); // at the end, without moving past it
        EXPECT_TRUE(reader.atEnd());
    } catch (const tovik::FieldTooLong &) {
        fields.emplace_back("too long");
    }
    EXPECT_EQ(fields, GetParam().fields);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(TextFieldReader, FieldRules, ::testing::Values(
        FieldCase{"OneLine", "0123\r\n", {"0123"}},
        FieldCase{"Commas", "01,,23", {"01", "", "23"}},
        FieldCase{"QuotedHoldsDelimiters", "\"0,1\r\n2\",3\r\n", {"0,1\r\n2", "3"}},
        FieldCase{"AfterClosingQuoteIgnored", "\"01\"xy,23\r\n", {"01", "23"}},
        FieldCase{"UnclosedQuoteRunsToEnd", "\"01\r\n23", {"01\r\n23"}},
        FieldCase{"EmptyLine", "01\r\n\r\n23\r\n", {"01", "", "23"}},
        FieldCase{"LoneCarriageReturnOrLineFeed", "01\r23\n4", {"01", "23", "4"}},
        FieldCase{"BlanksAroundField", "0 1 \t,\t 23  \r\n", {"0 1", "23"}},
        FieldCase{"BlanksKeptInQuotes", "\" 01 \"\r\n", {" 01 "}},
        FieldCase{"ByteOrderMarkSkipped", kBom + "0123\r\n", {"0123"}},
        FieldCase{"ByteOrderMarkOnly", kBom, {}},
        FieldCase{"ByteOrderMarkLaterIsText", "0" + kBom, {"0" + kBom}},
        FieldCase{"Utf16LittleEndianReadAsUtf8", kUtf16LE, {"0\xC3\xA9", "3\xF0\x9F\x98\x80"}},
        FieldCase{"Utf16BigEndianReadAsUtf8", kUtf16BE, {"0\xC3\xA9", "3\xF0\x9F\x98\x80"}},
        FieldCase{"Utf16MarkOnly", "\xFF\xFE", {}},
        // "0", a lone surrogate, "1" and half of "2".
        FieldCase{"Utf16BrokenBecomesReplacement", "\xFF\xFE\x30\0\x3D\xD8\x31\0\x32"s, {"0" + kReplacement + "1" + kReplacement}},
        FieldCase{"FieldAcrossBlocks", kBlockLess1 + "23,0", {kBlockLess1 + "23", "0"}},
        FieldCase{"CrLfAcrossBlocks", kBlockLess1 + "\r\n2", {kBlockLess1, "2"}},
        // A field, and each run of blanks or of text passed over around it, may
        // hold up to the limit (3 here) but no more: nothing makes the reader
        // collect or skip without bound.
        FieldCase{"UpToTheLimit", "012,   012   ,0 1,\"012\"abc", {"012", "012", "0 1", "012"}, 3},
        FieldCase{"FieldPastTheLimit", "0123,", {"too long"}, 3},
        FieldCase{"BlanksPastTheLimit", "    0,", {"too long"}, 3},
        FieldCase{"TrailingBlanksPastTheLimit", "012    ,", {"too long"}, 3},
        FieldCase{"InnerBlanksCount", "0  1,", {"too long"}, 3},
        FieldCase{"QuotedPastTheLimit", "\"0123\",", {"too long"}, 3},
        FieldCase{"TextAfterQuotePastTheLimit", "\"012\"abcd,", {"too long"}, 3}),
        [](const auto &info) { return std::string(info.param.name); });
// clang-format on
