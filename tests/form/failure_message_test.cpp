// Every way a conversion fails, the exact words the user reads, and the
// folder as it was: the system's reasons in its own words, the program's
// in its own, and a working file named with its folder; in English, and
// in each language the program speaks, chosen as the system chooses.

#include "failure_message.h"
#include "native_file.h"
#include "working_directory.h"

#include <array>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#endif

using tovik::ConvertToChannels;

namespace {

#ifdef _WIN32
const std::error_code kAccessDenied(ERROR_ACCESS_DENIED, std::system_category());
const std::string kDenied = "Access denied.";
#else
const std::error_code kAccessDenied(EACCES, std::generic_category());

// Sets the variables named, or unsets those given none, until it goes.
class Environment
{
public:
    Environment(std::initializer_list<std::pair<const char *, const char *>> values)
    {
        for (const auto &[name, value] : values) {
            const char *old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            value ? ::setenv(name, value, 1) : ::unsetenv(name);
        }
    }
    ~Environment()
    {
        for (const auto &[name, value] : saved_)
            value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }

private:
    std::vector<std::pair<const char *, std::optional<std::string>>> saved_;
};
#endif

// Makes `name` in the working directory what `what` says: "folder", "in
// use" (open for writing, as by another conversion), "read-only", on POSIX
// "fifo", "link to X" and "gone" (made the working directory, then removed),
// on Windows "held" (by a program that shares it with no one) and "pipe";
// or else the bytes it holds. `held` keeps open what must stay
// so.
void make(const std::string &name, const std::string &what, std::vector<std::shared_ptr<void>> &held)
{
    namespace fs = std::filesystem;
    std::error_code none;
    fs::remove(name, none);
    if (what == "folder")
        fs::create_directory(name);
    else if (what == "in use")
        held.push_back(std::make_shared<tovik::NativeFile>(tovik::NativeFile::openToWrite(name)));
#ifdef _WIN32
    else if (what == "held")
        held.emplace_back(::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr), ::CloseHandle);
    else if (what == "pipe")
        held.emplace_back(::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr), ::CloseHandle);
    else if (what.starts_with("hard link to "))
        fs::create_hard_link(what.substr(13), name);
#else
    else if (what == "fifo")
        ::mkfifo(name.c_str(), 0600);
    else if (what.starts_with("link to "))
        fs::create_symlink(what.substr(8), name);
    else if (what == "gone") {
        fs::create_directory(name);
        fs::current_path(name);
        fs::remove("../" + name);
    }
#endif
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

struct Case
{
    const char *name;
    std::string made = {}, what = {}, input, message;
    std::optional<std::string> convertTxt = std::nullopt;
    std::string failingCall = {}; // denied access, as in a folder the user may not write
    std::string madeAt = {}; // the call just before which `made` is made, rather than before the run
    std::string locale = "C.UTF-8"; // the user's, the language of the message
};

class FailureMessage : public WorkingDirectoryTest, public ::testing::WithParamInterface<Case>
{ };

using KeptAside = WorkingDirectoryTest;

const std::string kTooManyFields = R"(Cannot convert "in.txt": it holds more than 1000 fields, the most one conversion takes. )"
                                  R"(Put its symbols in fewer, longer fields, such as one line: a field holds up to 300000 symbols)";
const std::string kConverted = "0\r\n1\r\n2\r\n3\r\n";

// Each row runs in a folder holding in.txt ("0123"), an old CH1.txt and a
// Convert.txt left by an earlier run; `%` in a message is that folder. Past
// a limit, or once the channels are written, Convert.txt keeps what the
// conversion wrote to it; else the folder is as it was.
// clang-format off
const Case kCases[] = {
    {"InputIsAFolder", "in", "folder", "in", R"(Cannot open "in" in %: it is not a regular file)"},
    {"InputIsConvertTxt", "", "", "Convert.txt", R"(Cannot create "Convert.txt" in %: it is the file being converted)"},
    {"ConvertTxtInUse", "Convert.txt", "in use", "in.txt", R"(Cannot create "Convert.txt" in %: it is in use by another conversion)"},
    {"ChannelIsAFolder", "CH2.txt", "folder", "in.txt", R"(Cannot replace "CH2.txt" in %: it is not a regular file)"},
    {"ChannelReadOnly", "CH2.txt", "read-only", "in.txt", R"(Cannot replace "CH2.txt" in %: it is read-only)"},
    {.name = "ChannelReadOnlyInRussian", .made = "CH2.txt", .what = "read-only", .input = "in.txt", .message = R"(Не удаётся заменить "CH2.txt" в %: файл доступен только для чтения)", .locale = "ru_RU.UTF-8"},
    {.name = "TooManySymbolsInGerman", .made = "in.txt", .what = std::string(300000, '1') + "\n1", .input = "in.txt", .message = R"("in.txt" kann nicht konvertiert werden: Die Felder enthalten zusammen mehr als 300000 Symbole, mehr als eine Konvertierung verarbeitet)", .convertTxt = "", .locale = "de_DE.UTF-8"},
    {"FieldTooLong", "in.txt", std::string(300001, '1'), "in.txt", R"(Cannot convert "in.txt": a field holds more than 300000 characters, the most one conversion takes)", ""},
    {"TooManySymbols", "in.txt", std::string(300000, '1') + "\n1", "in.txt", R"(Cannot convert "in.txt": its items hold more than 300000 symbols, the most one conversion takes)", ""},
    // A pattern of 8191 symbols, one a line, comma-separated, or in rows of 8;
    // and a 1001st field of one unrecognised character.
    {"PatternOneALine", "in.txt", repeated("3\r\n", 8191), "in.txt", kTooManyFields, ""},
    {"PatternCommaSeparated", "in.txt", repeated("3,", 8190) + "3", "in.txt", kTooManyFields, ""},
    {"PatternInRowsOf8", "in.txt", repeated("0,1,2,3,3,2,1,0\r\n", 1023) + "0,1,2,3,3,2,1", "in.txt", kTooManyFields, ""},
    {"QuotedFieldAfterThe1000th", "in.txt", repeated("3\r\n", 1000) + "\"x\"", "in.txt", kTooManyFields, ""},
    {"TextAfterQuote", "in.txt", "0,\"12\" 3\r\n\r\n\"3\"x", "in.txt", R"(Cannot convert "in.txt": field 2 goes on after its closing quote, and that text would be lost)", ""},
#ifdef _WIN32
    {"MissingInput", "", "", "missing.txt", R"(Cannot open "missing.txt" in %: File not found.)"},
    {"DeviceName", "", "", "NUL", R"(Cannot open "NUL" in %: it is not a regular file)"},
    {"Pipe", R"(\\.\pipe\tovik-test)", "pipe", R"(\\.\pipe\tovik-test)", R"(Cannot open "\\.\pipe\tovik-test": it is not a regular file)"},
    {"InputHeld", "in.txt", "held", "in.txt", R"(Cannot open "in.txt" in %: it is in use by another program)"},
    {"ConvertTxtHeld", "Convert.txt", "held", "in.txt", R"(Cannot create "Convert.txt" in %: it is in use by another program)"},
    {"ChannelHeld", "CH2.txt", "held", "in.txt", R"(Cannot replace "CH2.txt" in %: it is in use by another program)", kConverted},
    {"ConvertTxtHardLink", "Convert.txt", "hard link to in.txt", "in.txt", R"(Cannot create "Convert.txt" in %: it is a second name of another file (a hard link))"},
    {"CreateDenied", "", "", "in.txt", R"(Cannot create "Convert.txt" in %: )" + kDenied, {}, "create Convert.txt"},
    {"WriteDenied", "", "", "in.txt", R"(Cannot write "Convert.txt" in %: )" + kDenied, "", "write Convert.txt"},
    {"ReadDenied", "", "", "in.txt", R"(Cannot read "in.txt" in %: )" + kDenied, {}, "read in.txt"},
    // The access control list that the new CH1.txt is to take on cannot be read.
    {"AccessListDenied", "", "", "in.txt", R"(Cannot replace "CH1.txt" in %: )" + kDenied, kConverted, "accessList CH1.txt"},
    // The system's reason in the user's language too: ctest runs these as a Russian and a German user.
    {.name = "CreateDeniedInRussian", .input = "in.txt", .message = R"(Не удаётся создать "Convert.txt" в %: Доступ запрещён.)", .failingCall = "create Convert.txt", .locale = "ru_RU.UTF-8"},
    {.name = "CreateDeniedInGerman", .input = "in.txt", .message = R"("Convert.txt" in % kann nicht erstellt werden: Zugriff verweigert.)", .failingCall = "create Convert.txt", .locale = "de_DE.UTF-8"},
    // A temporary file of the same name, as a crash leaves one, is never written into.
    {"StaleTemporaryFile", ".CH1.txt.tovik-new", "stale", "in.txt", R"(Cannot replace "CH1.txt" in %: File exists.)", kConverted, "", "create .CH1.txt.tovik-new"},
#else
    {"MissingInput", "", "", "missing.txt", R"(Cannot open "missing.txt" in %: No such file or directory)"},
    {"CreateDenied", "", "", "in.txt", R"(Cannot create "Convert.txt" in %: Permission denied)", {}, "create Convert.txt"},
    {"WriteDenied", "", "", "in.txt", R"(Cannot write "Convert.txt" in %: Permission denied)", "", "write Convert.txt"},
    {"ReadDenied", "", "", "in.txt", R"(Cannot read "in.txt" in %: Permission denied)", {}, "read in.txt"},
    // The mode that the new CH1.txt is to take on cannot be given.
    {"ModeDenied", "", "", "in.txt", R"(Cannot replace "CH1.txt" in %: Permission denied)", kConverted, "chmod .CH1.txt.tovik-new"},
    {"StaleTemporaryFile", ".CH1.txt.tovik-new", "stale", "in.txt", R"(Cannot replace "CH1.txt" in %: File exists)", kConverted, "", "create .CH1.txt.tovik-new"},
    {"DeviceInput", "", "", "/dev/null", R"(Cannot open "/dev/null": it is not a regular file)"},
    {"FifoInput", "fifo.txt", "fifo", "fifo.txt", R"(Cannot open "fifo.txt" in %: it is not a regular file)"},
    {"ConvertTxtFifo", "Convert.txt", "fifo", "in.txt", R"(Cannot create "Convert.txt" in %: it is not a regular file)"},
    {"ConvertTxtSymbolicLink", "Convert.txt", "link to in.txt", "in.txt", R"(Cannot create "Convert.txt" in %: it is a symbolic link)"},
    {"ChannelFifo", "CH1.txt", "fifo", "in.txt", R"(Cannot replace "CH1.txt" in %: it is not a regular file)"},
    {"FolderGone", "gone", "gone", "../in.txt", R"(Cannot create "Convert.txt" in %/gone: the folder no longer exists)"},
#endif
};
// clang-format on

} // namespace

TEST_P(FailureMessage, SaysWhatFailedWhereAndWhyAndLosesNothing)
{
    const Case &c = GetParam();
#ifdef _WIN32
    // Windows tells a process its user's language once, as it starts.
    wchar_t user[LOCALE_NAME_MAX_LENGTH];
    ::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), user,
                       LOCALE_NAME_MAX_LENGTH, 0);
    const std::string language = c.locale.starts_with("C.") ? "en" : c.locale.substr(0, 2);
    if (std::wstring(user).substr(0, 2) != std::wstring(language.begin(), language.end()))
        GTEST_SKIP() << "for a user whose language is " << c.locale;
#else
    const Environment user{{"LANGUAGE", nullptr}, {"LC_ALL", c.locale.c_str()}};
#endif
    std::vector<std::shared_ptr<void>> held;
    writeFile("in.txt", "0123");
    writeFile("CH1.txt", "old channel 1");
    writeFile("Convert.txt", "left by an earlier run");
    if (!c.made.empty() && c.madeAt.empty())
        make(c.made, c.what, held);
    auto before = folder();
    tovik::NativeFile::setFaultHook([&](const std::string &call) {
        if (call == c.madeAt)
            make(c.made, c.what, held);
        return call == c.failingCall ? kAccessDenied : std::error_code();
    });
    const auto failure = ConvertToChannels(c.input);
    tovik::NativeFile::setFaultHook({});
    std::string expected = c.message;
    if (const auto at = expected.find('%'); at != std::string::npos)
        expected.replace(at, 1, utf8(directory_));
    EXPECT_EQ(failure ? tovik::failureMessage(*failure, c.input) : "converted", expected);

    auto after = folder();
    EXPECT_EQ(after["Convert.txt"], c.convertTxt.value_or(before["Convert.txt"]));
    before.erase("Convert.txt");
    after.erase("Convert.txt");
    EXPECT_TRUE(after == before) << "the folder changed";
}

INSTANTIATE_TEST_SUITE_P(ConvertToChannels, FailureMessage, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// An old file that could not be put back is named, so that the user can
// find the only copy of it.
TEST_F(KeptAside, TheMessageNamesTheOldFiles)
{
    tovik::FileError error(tovik::FileOperation::Replace, "CH2.txt", tovik::Refusal::InUseByProgram);
    const std::string failed = "Cannot replace \"CH2.txt\" in " + utf8(directory_) + ": it is in use by another program. ";
    error.keepAside(".CH1.txt.tovik-old");
    EXPECT_EQ(tovik::failureMessage(error, "in.txt"), failed + "The old file is kept as \".CH1.txt.tovik-old\".");
    error.keepAside(".CH2.txt.tovik-old");
    EXPECT_EQ(tovik::failureMessage(error, "in.txt"),
              failed + "The old files are kept as \".CH1.txt.tovik-old\" and \".CH2.txt.tovik-old\".");
}

#ifndef _WIN32
// The user's language as gettext reads it: LANGUAGE, a list, first, unless
// the locale of messages is C; that locale from LC_ALL, LC_MESSAGES, LANG.
TEST(UsersLanguage, IsTheOneGettextReads)
{
    const tovik::FileError error(tovik::FileOperation::Replace, "/in/CH1.txt",
                                 tovik::Refusal::ReadOnly);
    const char *const english = R"(Cannot replace "/in/CH1.txt": it is read-only)";
    const char *const russian
            = R"(Не удаётся заменить "/in/CH1.txt": файл доступен только для чтения)";
    const char *const german
            = R"("/in/CH1.txt" kann nicht ersetzt werden: Die Datei ist schreibgeschützt)";
    // LANGUAGE, LC_ALL, LC_MESSAGES, LANG, and the language of the message.
    const std::array<const char *, 5> rows[] = {
            {nullptr, nullptr, nullptr, nullptr, english},
            {nullptr, nullptr, nullptr, "ru_RU.UTF-8", russian},
            {nullptr, nullptr, "de_DE.UTF-8", "ru_RU.UTF-8", german},
            {nullptr, "ru_RU.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8", russian},
            {nullptr, nullptr, nullptr, "pt_BR.UTF-8", english},
            {"pt_BR:de_AT:ru", nullptr, nullptr, "ru_RU.UTF-8", german},
            {"en:ru", nullptr, nullptr, "ru_RU.UTF-8", english},
            {"ru", nullptr, nullptr, "C", english},
            {"ru", "C.UTF-8", nullptr, nullptr, russian},
            {"ru", nullptr, nullptr, nullptr, english},
    };
    for (const auto &[language, all, messages, lang, expected] : rows) {
        const Environment user{
                {"LANGUAGE", language}, {"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}};
        EXPECT_EQ(tovik::failureMessage(error, "in.txt"), expected)
                << "LANGUAGE=" << (language ? language : "") << " LC_ALL=" << (all ? all : "")
                << " LC_MESSAGES=" << (messages ? messages : "") << " LANG=" << (lang ? lang : "");
    }
}
#endif
