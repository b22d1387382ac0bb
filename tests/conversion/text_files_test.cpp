#include "text_files.h"
#include "working_directory.h"

#include <functional>
#include <string>
#include <vector>

using tovik::FileError;
using tovik::TextFieldReader;
using tovik::TextLineWriter;

namespace {

struct FieldCase
{
    const char *name;
    std::string bytes;
    std::vector<std::string> fields;
};

void PrintTo(const FieldCase &c, std::ostream *out)
{
    *out << c.name;
}

class FieldRules : public WorkingDirectoryTest, public ::testing::WithParamInterface<FieldCase>
{ };

std::vector<std::string> readAllFields(const std::string &path)
{
    TextFieldReader reader;
    reader.open(path);
    std::vector<std::string> fields;
    while (!reader.atEnd())
        fields.push_back(reader.readField());
    // Reading on at the end must neither fail nor move past it.
    EXPECT_EQ(reader.readField(), "");
    EXPECT_TRUE(reader.atEnd());
    return fields;
}

const std::string kBlockMinusOne(65535, '1');

} // namespace

TEST_P(FieldRules, ReadsTheFieldsOfAFile)
{
    writeFile("in.txt", GetParam().bytes);
    EXPECT_EQ(readAllFields("in.txt"), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
        TextFieldReader, FieldRules,
        ::testing::Values(
                FieldCase{"OneLine", "0123\r\n", {"0123"}},
                FieldCase{"Commas", "01,23\r\n", {"01", "23"}},
                FieldCase{"EmptyBetweenCommas", "01,,23", {"01", "", "23"}},
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
                FieldCase{"ByteOrderMarkSkipped",
                          "\xEF\xBB\xBF"
                          "0123\r\n",
                          {"0123"}},
                FieldCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", {}},
                FieldCase{"ByteOrderMarkLaterIsText", "0\xEF\xBB\xBF", {"0\xEF\xBB\xBF"}},
                FieldCase{"EmptyFile", "", {}},
                FieldCase{"NulByte",
                          std::string("0\0"
                                      "1\r\n",
                                      5),
                          {std::string("0\0"
                                       "1",
                                       3)}},
                FieldCase{"FieldAcrossBlocks",
                          kBlockMinusOne + "23,0\r\n",
                          {kBlockMinusOne + "23", "0"}},
                FieldCase{"LineEndAcrossBlocks", kBlockMinusOne + "\r\n2", {kBlockMinusOne, "2"}}),
        [](const auto &info) { return std::string(info.param.name); });

class TextFiles : public WorkingDirectoryTest
{ };

TEST_F(TextFiles, LongFieldIsCutPastTheLimitAndReadingGoesOn)
{
    writeFile("in.txt", "012345,\"678\",3");
    TextFieldReader reader;
    reader.open("in.txt");
    EXPECT_EQ(reader.readField(3), "0123");
    EXPECT_EQ(reader.readField(3), "45");
    EXPECT_EQ(reader.readField(3), "678");
    EXPECT_EQ(reader.readField(3), "3");
    EXPECT_TRUE(reader.atEnd());
}

TEST_F(TextFiles, WriterWritesEachValueThenCrLf)
{
    TextLineWriter writer;
    writer.create("out.txt");
    for (const char *value : {"0", "0", "0"})
        writer.writeLine(value);
    writer.close();
    writer.close(); // closing twice does nothing
    EXPECT_EQ(readFile("out.txt"), "0\r\n0\r\n0\r\n");
}

TEST_F(TextFiles, CreatingReplacesTheWholeFile)
{
    writeFile("out.txt", "a much longer earlier content\r\n");
    TextLineWriter writer;
    writer.create("out.txt");
    writer.writeLine("1");
    writer.close();
    EXPECT_EQ(readFile("out.txt"), "1\r\n");
}

TEST_F(TextFiles, WrittenLinesReadBackAcrossManyBlocks)
{
    std::string expected;
    {
        TextLineWriter writer;
        writer.create("out.txt");
        for (int i = 0; i < 100000; ++i) {
            const std::string value(1, static_cast<char>('0' + i % 4));
            writer.writeLine(value);
            expected += value + "\r\n";
        }
        writer.close();
    }
    EXPECT_EQ(readFile("out.txt"), expected);
}

TEST_F(TextFiles, FailuresNameOperationPathAndReason)
{
    std::filesystem::create_directory("folder");
    struct Case
    {
        const char *operation;
        std::string path;
        const char *reason;
        std::function<void()> act;
    };
    const std::vector<Case> cases{
            {"open", "missing.txt", "No such file or directory",
             [] { TextFieldReader().open("missing.txt"); }},
            {"open", "folder", "Is a directory", [] { TextFieldReader().open("folder"); }},
            {"create", "folder", "Is a directory", [] { TextLineWriter().create("folder"); }},
            {"create", "nowhere/out.txt", "No such file or directory",
             [] { TextLineWriter().create("nowhere/out.txt"); }},
            {"delete", "missing.txt", "No such file or directory",
             [] { tovik::deleteFile("missing.txt"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.operation + std::string(" ") + c.path);
        try {
            c.act();
            ADD_FAILURE() << "no failure reported";
        } catch (const FileError &error) {
            EXPECT_EQ(error.operation(), c.operation);
            EXPECT_EQ(error.path(), c.path);
            EXPECT_EQ(error.reason(), c.reason);
            EXPECT_EQ(std::string(error.what()),
                      "Cannot " + std::string(c.operation) + " \"" + c.path + "\": " + c.reason);
        }
    }
    EXPECT_FALSE(exists("nowhere"));
}

TEST_F(TextFiles, CreatingAFileThisProgramHasOpenFailsAndKeepsIt)
{
    writeFile("in.txt", "0123\r\n");
    std::filesystem::create_hard_link("in.txt", "alias.txt");
    TextFieldReader reader;
    reader.open("in.txt");
    for (const char *path : {"in.txt", "alias.txt"}) {
        TextLineWriter writer;
        try {
            writer.create(path);
            ADD_FAILURE() << path << ": no failure reported";
        } catch (const FileError &error) {
            EXPECT_EQ(error.reason(), "the file is already open in this program");
        }
    }
    EXPECT_EQ(reader.readField(), "0123");
    reader.close();
    EXPECT_EQ(readFile("in.txt"), "0123\r\n");

    TextLineWriter writer; // closed, so no longer in the way
    EXPECT_NO_THROW(writer.create("in.txt"));
}

TEST_F(TextFiles, WriteErrorSurfacesAtClose)
{
    TextLineWriter writer;
    writer.create("/dev/full");
    writer.writeLine("0");
    try {
        writer.close();
        ADD_FAILURE() << "a full device reported success";
    } catch (const FileError &error) {
        EXPECT_EQ(error.operation(), "write");
        EXPECT_EQ(error.reason(), "No space left on device");
    }
}
