#include "channel_conversion.h"
#include "native_file.h"
#include "working_directory.h"

#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#else
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace std::string_literals;
using tovik::ConvertToChannels;

namespace {

// How a conversion ended, in a test's words.
std::string outcome(const std::optional<tovik::ConversionFailure> &failure)
{
    const auto *error = failure ? std::get_if<tovik::FileError>(&*failure) : nullptr;
    return !failure ? "converted" : error ? "failed on " + error->path() : "refused";
}

// One CR LF line for each of `bits`.
std::string lines(const std::string &bits)
{
    std::string text;
    for (const char bit : bits)
        text += {bit, '\r', '\n'};
    return text;
}

#ifdef _WIN32
// The owner and the access control list of `name` as the security
// descriptor language writes them: ";WD)" ends an entry for Everyone. Wine
// keeps a file's list as its mode, which lets others in or not.
std::string accessList(const std::string &name)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    char *text = nullptr;
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    ::GetNamedSecurityInfoA(name.c_str(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr, &descriptor);
    ::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, what, &text, nullptr);
    const std::string list = text ? text : "";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return list;
}

// Makes `name` its owner's alone: with SetFileSecurity, as Wine's
// SetNamedSecurityInfo adds the folder's entries all the same.
void keepToOwner(const std::string &name)
{
    const std::string list = accessList(name);
    const std::string owner = list.substr(2, list.find("D:") - 2);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(("D:(A;;FA;;;" + owner + ")").c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    ::SetFileSecurityA(name.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
}
#endif

struct ConversionCase
{
    const char *name;
    std::string input, channel1, channel2;
};

class Conversion : public WorkingDirectoryTest, public ::testing::WithParamInterface<ConversionCase>
{ };

} // namespace

// Files of up to 900 kB: compared whole, without GoogleTest's diff of them.
TEST_P(Conversion, SplitsEverySymbolIntoTwoChannels)
{
    writeFile("in.txt", GetParam().input);
    ASSERT_EQ(outcome(ConvertToChannels("in.txt")), "converted");
    EXPECT_TRUE(readFile("CH1.txt") == lines(GetParam().channel1)) << "CH1.txt differs";
    EXPECT_TRUE(readFile("CH2.txt") == lines(GetParam().channel2)) << "CH2.txt differs";
    EXPECT_EQ(folder().count("Convert.txt"), 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(ConvertToChannels, Conversion, ::testing::Values(
        ConversionCase{"OneLine", "0123\r\n", "0011", "0101"},
        ConversionCase{"WalkStopsAtFirstEmptyItem", "01\r\n\r\n23\r\n", "00", "01"},
        ConversionCase{"FirstLineEmpty", "\r\n0123\r\n", "", ""},
        // Bytes a text mode would change or stop at: NUL, Ctrl-Z.
        ConversionCase{"UnrecognisedSymbols", "0a3\r\n9,\xE9\0\0321"s, "0x1xxxx0", "0x1xxxx1"},
        // Each of these used to come back from Convert.txt as a delimiter or not
        // at all, shifting every later symbol.
        ConversionCase{"DelimitersInsideItems", "\"0,1\" \r\n0\"1\r\n\"2 \t\r\n3\"", "0x00x01xxxx1", "0x10x10xxxx1"},
        ConversionCase{"1000Items", repeated("2\r\n", 1000), std::string(1000, '1'), std::string(1000, '0')},
        ConversionCase{"1000ItemsNoLastLineEnd", repeated("2,", 999) + "2", std::string(1000, '1'), std::string(1000, '0')},
        ConversionCase{"1000ItemsThenBlankLines", repeated("2\r\n", 1000) + " \t\r\n\r\n", std::string(1000, '1'), std::string(1000, '0')},
        // The field after the 1000th decides; nothing past it is read.
        ConversionCase{"1000ItemsThenAnEmptyQuotedField", repeated("1,", 1000) + "\"\"x," + std::string(300001, '3'),
                       std::string(1000, '0'), std::string(1000, '1')},
        ConversionCase{"8191SymbolsOnOneLine", repeated("0123", 2047) + "012\r\n", repeated("0011", 2047) + "001", repeated("0101", 2047) + "010"},
        ConversionCase{"300000SymbolsAndBlanks", " " + std::string(300000, '2') + " \t", std::string(300000, '1'), std::string(300000, '0')},
        ConversionCase{"300000SymbolsInTwoItems", std::string(150000, '1') + "\n" + std::string(150000, '1'), std::string(300000, '0'),
                       std::string(300000, '1')}),
        [](const auto &info) { return std::string(info.param.name); });
// clang-format on

// The channels land in the working folder, whatever folder the input is in,
// and replace what is there without writing through a link: a symbolic link
// is replaced itself, and the other name of a hard link, where a killed run
// left its temporary files or (on POSIX) in Convert.txt's place, stays as
// it was. On POSIX a file replaced keeps its mode and, where the user may
// give it one, its group; one new is made as any program makes a file. On
// Windows a name that carries a reparse point is a link only when its tag
// says so: a OneDrive placeholder's is not, and the file is replaced like
// any other. Wine makes no reparse points, so the tags are given.
TEST_F(Conversion, ReplacesOldFilesWhereverTheInputIs)
{
    const std::string old = "old, and longer than the new content\r\n";
    writeFile("kept.txt", "kept");
    auto expected = std::map<std::string, std::string>{
            {"CH1.txt", "1\r\n"}, {"CH2.txt", "0\r\n"}, {"d\xC3\xA1ta", "folder"}, {"kept.txt", "kept"}};
    writeFile("CH2.txt", old);
    for (const char *name : {".CH1.txt.tovik-new", ".CH2.txt.tovik-new"})
        std::filesystem::create_hard_link("kept.txt", name);
#ifdef _WIN32
    writeFile("Convert.txt", old);
    writeFile("CH1.txt", old);
    EXPECT_TRUE(tovik::NativeFile::isLink(FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK));
    EXPECT_TRUE(tovik::NativeFile::isLink(FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT));
    EXPECT_FALSE(tovik::NativeFile::isLink(FILE_ATTRIBUTE_REPARSE_POINT, 0x9000101A)); // IO_REPARSE_TAG_CLOUD_1
    EXPECT_FALSE(tovik::NativeFile::isLink(FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK)); // a tag without the attribute is noise
#else
    std::filesystem::create_hard_link("kept.txt", "Convert.txt");
    std::filesystem::create_symlink("kept.txt", "CH1.txt");
    std::filesystem::permissions("CH2.txt", std::filesystem::perms(0640));
    const gid_t group = ::getegid() + 1;
    const bool grouped = ::chown("CH2.txt", -1, group) == 0;
    const auto mode = [](const char *name) { return static_cast<int>(std::filesystem::status(name).permissions()); };
#endif
    // A UTF-8 name, and deeper than the 260 characters of an old Windows path.
    std::string input = utf8(directory_) + "/d\xC3\xA1ta";
    for (char c = 'a'; c < 'f'; ++c)
        input += "/" + std::string(50, c);
    std::filesystem::create_directories(std::filesystem::u8path(input));
    writeFile(std::filesystem::u8path(input += "/in.txt"), "2");

    ASSERT_EQ(outcome(ConvertToChannels(input)), "converted");
    EXPECT_EQ(folder(), expected);
#ifndef _WIN32
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(mode("CH1.txt"), 0666 & ~static_cast<int>(mask));
    EXPECT_EQ(mode("CH2.txt"), 0640);
    struct stat status{};
    EXPECT_EQ(::stat("CH2.txt", &status) == 0 ? status.st_gid : 0, grouped ? group : ::getegid());
#endif

    // The result may replace its own input.
    writeFile("CH1.txt", "3");
#ifdef _WIN32
    EXPECT_NE(accessList("CH1.txt").find(";WD)"), std::string::npos);
    keepToOwner("CH1.txt");
#else
    // A group that may not be given to the new file gets no access to it.
    std::filesystem::permissions("CH1.txt", std::filesystem::perms(0660));
    const bool regrouped = ::chown("CH1.txt", -1, group) == 0;
    tovik::NativeFile::setFaultHook([](const std::string &call) {
        return std::error_code(call.starts_with("chown") ? EPERM : 0, std::generic_category());
    });
#endif
    ASSERT_EQ(outcome(ConvertToChannels("CH1.txt")), "converted");
    EXPECT_EQ(readFile("CH1.txt") + readFile("CH2.txt"), "1\r\n1\r\n");
#ifdef _WIN32
    EXPECT_EQ(accessList("CH1.txt").find(";WD)"), std::string::npos) << accessList("CH1.txt");
#else
    EXPECT_EQ(mode("CH1.txt"), regrouped ? 0600 : 0660);
#endif
}
