// The file layer's promises, on whichever system this is built for: the same
// tests pass against native_file_posix.cpp and native_file_windows.cpp. Cases
// that exist on one system only are compiled there only.

#include "native_file.h"
#include "working_directory.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using tovik::FileError;
using tovik::FileOperation;
using tovik::NativeFile;

namespace {

class NativeFileTest : public WorkingDirectoryTest
{
protected:
    void TearDown() override
    {
        NativeFile::failCall(0);
        WorkingDirectoryTest::TearDown();
    }
};

std::optional<FileError> failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const FileError &error) {
        return error;
    }
    return std::nullopt;
}

std::string readAll(NativeFile &file)
{
    std::string bytes;
    char piece[3]; // smaller than the files: reads come back in pieces
    while (const std::size_t count = file.read(piece, sizeof piece))
        bytes.append(piece, count);
    return bytes;
}

void writeAll(const std::string &path, const std::string &bytes)
{
    NativeFile file = NativeFile::openToWrite(path);
    file.truncate();
    file.write(bytes.data(), bytes.size());
    file.close();
}

#ifdef _WIN32
const char *const kDevice = "NUL";

// Holds `path` open as a program that shares it with no one, until released.
std::shared_ptr<void> holdWithoutSharing(const wchar_t *path)
{
    const HANDLE handle = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << ::GetLastError();
    return {handle, ::CloseHandle};
}
#else
const char *const kDevice = "/dev/null";
#endif

} // namespace

TEST_F(NativeFileTest, WritesAndReadsBackEveryByteAsItIs)
{
    // Line ends, Ctrl-Z and NUL are what a text mode would change.
    const char raw[] = "0\r\n1\n\x1a\0\xff\r";
    const std::string bytes(raw, sizeof raw - 1);
    NativeFile writer = NativeFile::openToWrite("Convert.txt");
    writer.write(bytes.data(), 4);
    writer.write(bytes.data() + 4, bytes.size() - 4);
    writer.sync();
    writer.close();
    EXPECT_FALSE(writer.isOpen());

    NativeFile reader = NativeFile::openToRead("Convert.txt");
    EXPECT_EQ(readAll(reader), bytes);
    EXPECT_EQ(readFile("Convert.txt"), bytes);
}

TEST_F(NativeFileTest, OpenToWriteCreatesButOnlyTruncateEmpties)
{
    writeFile("CH1.txt", "user's data");
    NativeFile::openToWrite("CH1.txt").close();
    EXPECT_EQ(readFile("CH1.txt"), "user's data");

    writeAll("CH1.txt", "0\r\n");
    EXPECT_EQ(readFile("CH1.txt"), "0\r\n");

    NativeFile::openToWrite("new.txt").close();
    EXPECT_TRUE(std::filesystem::exists("new.txt"));
}

TEST_F(NativeFileTest, NamesAreUtf8)
{
    const std::string name = "Kanal \xC3\xBC \xD0\xB6 \xE2\x82\xAC.txt";
    writeAll(name, "0\r\n");
    const std::u8string listed
            = std::filesystem::directory_iterator(".")->path().filename().u8string();
    EXPECT_EQ(std::string(listed.begin(), listed.end()), name);

    NativeFile reader = NativeFile::openToRead(name);
    EXPECT_EQ(readAll(reader), "0\r\n");
}

TEST_F(NativeFileTest, KnowsAFileByAnyOfItsNames)
{
    writeFile("Convert.txt", "0");
    writeFile("other.txt", "0");
    ASSERT_TRUE(NativeFile::link("Convert.txt", "alias.txt"));
    EXPECT_FALSE(NativeFile::link("missing.txt", "alias2.txt"));

    const NativeFile writer = NativeFile::openToWrite("Convert.txt");
    EXPECT_TRUE(NativeFile::openToRead("alias.txt").id() == writer.id());
    EXPECT_FALSE(NativeFile::openToRead("other.txt").id() == writer.id());
}

TEST_F(NativeFileTest, AWriterLocksOutEveryOtherWriterButNoReader)
{
    NativeFile writer = NativeFile::openToWrite("Convert.txt");
    writer.write("01", 2);
    const auto failure = failureOf([] { NativeFile::openToWrite("Convert.txt"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->operation(), FileOperation::Create);
    EXPECT_EQ(failure->reason(), "it is in use by another conversion");

    NativeFile reader = NativeFile::openToRead("Convert.txt");
    EXPECT_EQ(readAll(reader), "01");
    writer.close();
    EXPECT_NO_THROW(NativeFile::openToWrite("Convert.txt")) << "with a reader still open";
}

TEST_F(NativeFileTest, RemovesAFileWhileItIsOpen)
{
    NativeFile writer = NativeFile::openToWrite("Convert.txt");
    writer.write("01", 2);
    NativeFile reader = NativeFile::openToRead("Convert.txt");
    EXPECT_TRUE(NativeFile::remove("Convert.txt"));
    EXPECT_EQ(readAll(reader), "01");
    reader.close();
    writer.close();
    EXPECT_FALSE(std::filesystem::exists("Convert.txt"));
    EXPECT_FALSE(NativeFile::remove("Convert.txt"));
}

TEST_F(NativeFileTest, RenameReplacesTheTarget)
{
    writeFile("Convert.txt", "new");
    writeFile("CH1.txt", "old");
    EXPECT_NO_THROW(NativeFile::checkReplaceable("CH1.txt"));
    EXPECT_NO_THROW(NativeFile::checkReplaceable("CH2.txt")) << "a missing name";

    NativeFile::rename("Convert.txt", "CH1.txt");
    NativeFile::syncFolder("CH1.txt");
    EXPECT_EQ(readFile("CH1.txt"), "new");
    EXPECT_FALSE(std::filesystem::exists("Convert.txt"));
}

TEST_F(NativeFileTest, FailuresSayWhatWhereAndWhy)
{
    struct Case
    {
        const char *name;
        // Makes the case, and keeps alive what must stay so while it fails.
        std::function<std::shared_ptr<void>()> arrange;
        std::function<void()> action;
        FileOperation operation;
        std::string path, reason;
    };
    const auto nothing = [] { return std::shared_ptr<void>(); };
    const auto folder = [] {
        std::filesystem::create_directory("folder");
        return std::shared_ptr<void>();
    };
#ifndef _WIN32
    const auto fifo = [] {
        EXPECT_EQ(::mkfifo("fifo", 0600), 0);
        return std::shared_ptr<void>();
    };
#endif
    const Case cases[] = {
            {"missing file", nothing, [] { NativeFile::openToRead("missing.txt"); },
             FileOperation::Open, "missing.txt", "No such file or directory"},
            {"missing folder", nothing, [] { NativeFile::openToWrite("missing/Convert.txt"); },
             FileOperation::Create, "missing/Convert.txt", "No such file or directory"},
            {"rename of a missing file", nothing,
             [] { NativeFile::rename("missing.txt", "CH1.txt"); }, FileOperation::Replace,
             "CH1.txt", "No such file or directory"},
            {"folder read", folder, [] { NativeFile::openToRead("folder"); }, FileOperation::Open,
             "folder", "it is not a regular file"},
            {"folder written", folder, [] { NativeFile::openToWrite("folder"); },
             FileOperation::Create, "folder", "it is not a regular file"},
            {"folder replaced", folder, [] { NativeFile::checkReplaceable("folder"); },
             FileOperation::Replace, "folder", "it is not a regular file"},
            {"device read", nothing, [] { NativeFile::openToRead(kDevice); }, FileOperation::Open,
             kDevice, "it is not a regular file"},
            {"device written", nothing, [] { NativeFile::openToWrite(kDevice); },
             FileOperation::Create, kDevice, "it is not a regular file"},
            {"read-only file replaced",
             [] {
                 // Made writable again afterwards: Windows deletes no read-only file.
                 namespace fs = std::filesystem;
                 writeFile("CH1.txt", "kept");
                 const fs::perms writable = fs::status("CH1.txt").permissions();
                 fs::permissions("CH1.txt",
                                 writable & ~fs::perms::owner_write & ~fs::perms::group_write
                                         & ~fs::perms::others_write);
                 return std::shared_ptr<void>(
                         nullptr, [writable](void *) { fs::permissions("CH1.txt", writable); });
             },
             [] { NativeFile::checkReplaceable("CH1.txt"); }, FileOperation::Replace, "CH1.txt",
             "it is read-only"},
#ifdef _WIN32
            {"file held without sharing, read", [] { return holdWithoutSharing(L"in.txt"); },
             [] { NativeFile::openToRead("in.txt"); }, FileOperation::Open, "in.txt",
             "it is in use by another program"},
            {"file held without sharing, written",
             [] { return holdWithoutSharing(L"Convert.txt"); },
             [] { NativeFile::openToWrite("Convert.txt"); }, FileOperation::Create, "Convert.txt",
             "it is in use by another program"},
            {"named pipe read",
             [] {
                 const HANDLE pipe = ::CreateNamedPipeW(LR"(\\.\pipe\tovik-native-file-test)",
                                                        PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0,
                                                        0, nullptr);
                 EXPECT_NE(pipe, INVALID_HANDLE_VALUE) << ::GetLastError();
                 return std::shared_ptr<void>(pipe, ::CloseHandle);
             },
             [] { NativeFile::openToRead(R"(\\.\pipe\tovik-native-file-test)"); },
             FileOperation::Open, R"(\\.\pipe\tovik-native-file-test)", "it is not a regular file"},
#else
            {"FIFO read", fifo, [] { NativeFile::openToRead("fifo"); }, FileOperation::Open, "fifo",
             "it is not a regular file"},
            {"FIFO written", fifo, [] { NativeFile::openToWrite("fifo"); }, FileOperation::Create,
             "fifo", "it is not a regular file"},
#endif
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directory(directory_ / c.name);
        std::filesystem::current_path(directory_ / c.name);
        const std::shared_ptr<void> kept = c.arrange();
        const auto failure = failureOf(c.action);
        ASSERT_TRUE(failure) << "no failure";
        EXPECT_EQ(failure->operation(), c.operation);
        EXPECT_EQ(failure->path(), c.path);
        EXPECT_EQ(failure->reason(), c.reason);
    }
}

TEST_F(NativeFileTest, SeamFailsEachCountedCallInTurn)
{
    const auto steps = [] {
        NativeFile file = NativeFile::openToWrite("Convert.txt");
        file.truncate();
        file.write("0", 1);
        file.write("1", 1);
        file.sync();
        file.close();
        NativeFile::openToRead("Convert.txt").close(); // not counted: not open for writing
        NativeFile::rename("Convert.txt", "CH1.txt");
        NativeFile::link("CH1.txt", "CH2.txt");
        NativeFile::syncFolder("CH1.txt");
    };
    const std::pair<FileOperation, std::string> counted[] = {
            {FileOperation::Write, "Convert.txt"}, {FileOperation::Write, "Convert.txt"},
            {FileOperation::Write, "Convert.txt"}, {FileOperation::Close, "Convert.txt"},
            {FileOperation::Replace, "CH1.txt"},   {FileOperation::Replace, "CH1.txt"},
            {FileOperation::Replace, "CH1.txt"},
    };
    NativeFile::failCall(0);
    steps();
    EXPECT_EQ(NativeFile::countedCalls(), std::size(counted));

    // Each round opens Convert.txt for writing again: a file left open by a
    // failed close would fail that round as "in use".
    for (unsigned k = 1; k <= std::size(counted); ++k) {
        SCOPED_TRACE(k);
        for (const char *name : {"Convert.txt", "CH1.txt", "CH2.txt"})
            std::filesystem::remove(name);
        NativeFile::failCall(k);
        const auto failure = failureOf(steps);
        ASSERT_TRUE(failure) << "no failure";
        EXPECT_EQ(failure->operation(), counted[k - 1].first);
        EXPECT_EQ(failure->path(), counted[k - 1].second);
        EXPECT_EQ(failure->reason(), "Input/output error");
        ASSERT_TRUE(NativeFile::injectedFailure());
        EXPECT_STREQ(NativeFile::injectedFailure()->what(), failure->what());
        EXPECT_EQ(NativeFile::countedCalls(), k);
    }
}

#ifdef _WIN32

TEST_F(NativeFileTest, WorksOnPathsLongerThanMaxPath)
{
    // The folders are made with the \\?\ prefix, as nothing else reaches
    // that deep on a Windows without long paths turned on.
    std::string path;
    std::wstring folder = LR"(\\?\)" + std::filesystem::current_path().wstring();
    for (char c = 'a'; c < 'g'; ++c) {
        path += std::string(50, c) + "/";
        folder += L"\\" + std::wstring(50, static_cast<wchar_t>(c));
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << ::GetLastError();
    }
    ASSERT_GT((std::filesystem::current_path() / path).wstring().size(), MAX_PATH);

    writeAll(path + "Convert.txt", "0\r\n");
    NativeFile::checkReplaceable(path + "CH1.txt");
    NativeFile::rename(path + "Convert.txt", path + "CH1.txt");
    NativeFile reader = NativeFile::openToRead(path + "CH1.txt");
    EXPECT_EQ(readAll(reader), "0\r\n");
    reader.close();
    EXPECT_TRUE(NativeFile::remove(path + "CH1.txt"));
    for (; folder.size() > 4 + std::filesystem::current_path().wstring().size();
         folder.resize(folder.rfind(L'\\')))
        EXPECT_TRUE(::RemoveDirectoryW(folder.c_str())) << ::GetLastError();
}

TEST_F(NativeFileTest, NeverWritesThroughAReparsePoint)
{
    writeFile("target.txt", "kept");
    ::CreateSymbolicLinkW(L"CH1.txt", L"target.txt", SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = ::GetFileAttributesW(L"CH1.txt");
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "no symbolic link could be made here (Windows needs Developer Mode or an "
                        "administrator; Wine 8 reports success but makes none)";

    const std::function<void()> actions[] = {[] { NativeFile::openToWrite("CH1.txt"); },
                                             [] { NativeFile::checkReplaceable("CH1.txt"); },
                                             [] { NativeFile::link("CH1.txt", "CH2.txt"); }};
    for (const auto &action : actions) {
        const auto failure = failureOf(action);
        ASSERT_TRUE(failure) << "no failure";
        EXPECT_EQ(failure->reason(), "it is a symbolic link");
    }
    EXPECT_EQ(readFile("target.txt"), "kept");
}

#else

TEST_F(NativeFileTest, NeverWritesThroughASymbolicLink)
{
    writeFile("target.txt", "kept");
    std::filesystem::create_symlink("target.txt", "CH1.txt");
    const auto failure = failureOf([] { NativeFile::openToWrite("CH1.txt"); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->reason(), "it is a symbolic link");

    // Replacing a link replaces the link, not its target.
    NativeFile::checkReplaceable("CH1.txt");
    writeFile("Convert.txt", "new");
    NativeFile::rename("Convert.txt", "CH1.txt");
    EXPECT_FALSE(std::filesystem::is_symlink("CH1.txt"));
    EXPECT_EQ(readFile("target.txt"), "kept");
}

#endif
