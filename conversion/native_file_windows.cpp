#include "native_file.h"

// The Windows twin of native_file_posix.cpp.
//
// Paths: UTF-8 in, UTF-16 out, always made absolute and given the prefix
// \\?\ so that a path longer than MAX_PATH works on every Windows 10 and
// later whatever its long-path setting, and a name is taken as it is spelt.
// GetFullPathNameW turns DOS device names (NUL, CON, COM1...) into paths
// under \\.\ which are refused before they are opened, as a FIFO is on
// POSIX.
//
// The lock: a file open for writing shares reading and deleting but not
// writing, so any second writer, in this process or another, fails at once
// with a sharing violation; readers share everything, so they never make a
// writer fail. Which holder caused a sharing violation is told apart by a
// reader's open: only a holder that shares no reading (another program)
// refuses that, a conversion never does. Share modes are checked as the name
// is opened, so the POSIX twin's second look at the name is not needed.
// For the same reason a file with a second name (a hard link) is refused
// rather than given a file of its own: the name could only be removed with
// the lock let go.
//
// A leading dot hides a name on POSIX; the program's own files that carry
// one (temporary files, backups) get the hidden attribute here, for as long
// as they have such a name.
//
// Errors are worded as on POSIX: the common codes become errno values worded
// like glibc. Microsoft's C runtime words a few errno values its own way
// ("Improper link"), so those few are spelt here; the rest come from
// std::generic_category(). A code with no errno twin keeps the system's own
// words (FormatMessageW).

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <string>
#include <system_error>
#include <utility>

namespace tovik {

namespace {

const char *const kLink = "it is a symbolic link";
const char *const kNotRegular = "it is not a regular file";
const char *const kOtherProgram = "it is in use by another program";
const char *const kOtherConversion = "it is in use by another conversion";
const char *const kOtherName = "it has another name, a hard link";

int errnoOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_PRIVILEGE_NOT_HELD:
        return EPERM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_TOO_MANY_LINKS:
        return EMLINK;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_NO_UNICODE_TRANSLATION:
        return EILSEQ;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return 0;
    }
}

std::string systemWords(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length
            = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring words(buffer ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!words.empty() && (iswspace(words.back()) || words.back() == L'.'))
        words.pop_back();
    if (words.empty())
        return "Windows error " + std::to_string(code);
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()), text.data(),
                          size, nullptr, nullptr);
    return text;
}

std::string reasonFor(DWORD code)
{
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
        return kOtherProgram;
    switch (const int error = errnoOf(code)) {
    case 0:
        return systemWords(code);
    case EXDEV:
        return "Invalid cross-device link";
    case ENOMEM:
        return "Cannot allocate memory";
    case EBUSY:
        return "Device or resource busy";
    case ENAMETOOLONG:
        return "File name too long";
    case EILSEQ:
        return "Invalid or incomplete multibyte or wide character";
    default:
        return std::generic_category().message(error);
    }
}

[[noreturn]] void fail(FileOperation operation, const std::string &path, DWORD code)
{
    throw FileError(operation, path, reasonFor(code));
}

[[noreturn]] void fail(FileOperation operation, const std::string &path, const char *reason)
{
    throw FileError(operation, path, reason);
}

bool isMissing(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool startsWith(const std::wstring &text, const wchar_t *prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The name as CreateFileW and friends take it.
std::wstring nativePath(const std::string &path, FileOperation operation)
{
    if (path.empty())
        fail(operation, path, ERROR_FILE_NOT_FOUND);
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                           static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0)
        fail(operation, path, ::GetLastError());
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                          wide.data(), size);
    if (startsWith(wide, LR"(\\?\)"))
        return wide;

    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0)
            fail(operation, path, ::GetLastError());
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (startsWith(full, LR"(\\.\)")) {
        // \\.\C:\name is a file all the same; anything else there is a device.
        if (full.size() > 6 && full[5] == L':' && full[6] == L'\\')
            return LR"(\\?\)" + full.substr(4);
        fail(operation, path, kNotRegular);
    }
    if (startsWith(full, LR"(\\)"))
        return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

FileId idOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {info.dwVolumeSerialNumber,
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Owns a handle until it is handed on, so that every early exit closes it.
class Handle
{
public:
    explicit Handle(HANDLE handle)
        : handle_(handle)
    {
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (valid())
            ::CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

// The identity of a freshly opened file, or the reason it is not a regular
// file on a disk. A reader follows links, so only a writer can meet one.
BY_HANDLE_FILE_INFORMATION diskFileInfo(const Handle &handle, FileOperation operation,
                                        const std::string &path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK)
        fail(operation, path, kNotRegular);
    if (!::GetFileInformationByHandle(handle.get(), &info))
        fail(operation, path, ::GetLastError());
    if (operation == FileOperation::Create
        && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        fail(operation, path, kLink);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        fail(operation, path, kNotRegular);
    return info;
}

// Whether the name is a link to something else (a symbolic link, a junction,
// a mount point), as opposed to a file that merely carries a reparse point,
// like a OneDrive placeholder in a synced Documents folder, which is the
// user's file itself and is replaced like any other.
bool isLink(const std::wstring &name)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            && IsReparseTagNameSurrogate(found.dwReserved0);
}

bool isDotName(const std::string &path)
{
    const std::string::size_type start = path.find_last_of("/\\") + 1;
    return path.size() > start && path[start] == '.';
}

// Only the look of a file: a failure leaves it as it was.
void setHidden(const std::wstring &name, bool hidden)
{
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD changed
            = hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~FILE_ATTRIBUTE_HIDDEN;
    if (changed != attributes)
        ::SetFileAttributesW(name.c_str(), changed ? changed : FILE_ATTRIBUTE_NORMAL);
}

// The seam's fault, as the system reports one.
BOOL injectedError()
{
    ::SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

HANDLE handleOf(std::intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}

// Reads and writes go in pieces a DWORD can count.
constexpr std::size_t kMaxPiece = 1u << 30;

} // namespace

void NativeFile::closeQuietly(std::intptr_t native) noexcept
{
    ::CloseHandle(handleOf(native));
}

NativeFile NativeFile::openToRead(const std::string &path)
{
    // Backup semantics lets a folder be opened, so that it is refused as a
    // folder rather than as "Permission denied".
    const std::wstring name = nativePath(path, FileOperation::Open);
    Handle handle(::CreateFileW(name.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid())
        fail(FileOperation::Open, path, ::GetLastError());
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handle, FileOperation::Open, path);

    NativeFile file;
    file.native_ = reinterpret_cast<std::intptr_t>(handle.release());
    file.id_ = idOf(info);
    file.path_ = path;
    return file;
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    if (failsNow("create", path))
        fail(FileOperation::Create, path, ERROR_IO_DEVICE);
    const std::wstring name = nativePath(path, FileOperation::Create);
    // Looked at first so that a link or a folder is refused for what it is;
    // checked again on the handle, as the name may have changed meanwhile.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            fail(FileOperation::Create, path, kLink);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            fail(FileOperation::Create, path, kNotRegular);
    } else if (const DWORD error = ::GetLastError(); !isMissing(error)) {
        fail(FileOperation::Create, path, error);
    }

    Handle handle(::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle.valid()) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            fail(FileOperation::Create, path, error);
        Handle reader(::CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        const bool refusedReaders = !reader.valid() && ::GetLastError() == ERROR_SHARING_VIOLATION;
        fail(FileOperation::Create, path, refusedReaders ? kOtherProgram : kOtherConversion);
    }
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handle, FileOperation::Create, path);
    if (info.nNumberOfLinks > 1)
        fail(FileOperation::Create, path, kOtherName);

    NativeFile file;
    file.native_ = reinterpret_cast<std::intptr_t>(handle.release());
    file.id_ = idOf(info);
    file.path_ = path;
    file.writable_ = true;
    return file;
}

NativeFile NativeFile::createNew(const std::string &path)
{
    if (failsNow("create", path))
        fail(FileOperation::Create, path, ERROR_IO_DEVICE);
    const std::wstring name = nativePath(path, FileOperation::Create);
    Handle handle(::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                isDotName(path) ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!handle.valid())
        fail(FileOperation::Create, path, ::GetLastError());
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handle, FileOperation::Create, path);

    NativeFile file;
    file.native_ = reinterpret_cast<std::intptr_t>(handle.release());
    file.id_ = idOf(info);
    file.path_ = path;
    file.writable_ = true;
    return file;
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    DWORD count = 0;
    if (!::ReadFile(handleOf(native_), data, static_cast<DWORD>(std::min(size, kMaxPiece)), &count,
                    nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        fail(FileOperation::Read, path_, error);
    }
    return count;
}

void NativeFile::write(const char *data, std::size_t size)
{
    const bool failing = failsNow("write", path_);
    while (size > 0) {
        DWORD count = 0;
        if (!(failing ? injectedError()
                      : ::WriteFile(handleOf(native_), data,
                                    static_cast<DWORD>(std::min(size, kMaxPiece)), &count,
                                    nullptr)))
            fail(FileOperation::Write, path_, ::GetLastError());
        if (count == 0)
            fail(FileOperation::Write, path_, ERROR_WRITE_FAULT);
        data += count;
        size -= count;
    }
}

void NativeFile::truncate()
{
    // The file's position stays where it is, as ftruncate leaves it.
    FILE_END_OF_FILE_INFO end{};
    if (!(failsNow("truncate", path_)
                  ? injectedError()
                  : ::SetFileInformationByHandle(handleOf(native_), FileEndOfFileInfo, &end,
                                                 sizeof end)))
        fail(FileOperation::Create, path_, ::GetLastError());
}

void NativeFile::sync()
{
    if (!(failsNow("sync", path_) ? injectedError() : ::FlushFileBuffers(handleOf(native_))))
        fail(FileOperation::Write, path_, ::GetLastError());
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    const HANDLE handle = handleOf(std::exchange(native_, -1));
    const bool failing = writable_ && failsNow("close", path_);
    const BOOL closed = ::CloseHandle(handle);
    if (!(failing ? injectedError() : closed))
        fail(FileOperation::Close, path_, ::GetLastError());
}

void NativeFile::checkReplaceable(const std::string &path)
{
    // Unlike POSIX, a link is not replaceable here: MoveFileExW cannot be
    // trusted to replace every kind of link without touching what it points
    // to.
    const std::wstring name = nativePath(path, FileOperation::Replace);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (isMissing(error))
            return;
        fail(FileOperation::Replace, path, error);
    }
    if (isLink(name))
        fail(FileOperation::Replace, path, kLink);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        fail(FileOperation::Replace, path, kNotRegular);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        fail(FileOperation::Replace, path, "it is read-only");
}

bool NativeFile::exists(const std::string &path)
{
    if (::GetFileAttributesW(nativePath(path, FileOperation::Replace).c_str())
        != INVALID_FILE_ATTRIBUTES)
        return true;
    if (const DWORD error = ::GetLastError(); !isMissing(error))
        fail(FileOperation::Replace, path, error);
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    const bool failing = failsNow("rename", to);
    const std::wstring source = nativePath(from, FileOperation::Replace);
    const std::wstring target = nativePath(to, FileOperation::Replace);
    // Shown before it takes a name of the user's, so that a kill between
    // the two leaves nothing of the user's hidden; hidden again if it
    // stays where it was.
    const bool shown = isDotName(from) && !isDotName(to);
    if (shown)
        setHidden(source, false);
    // Write-through: the rename is on the disk when this returns.
    if (!(failing ? injectedError()
                  : ::MoveFileExW(source.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        const DWORD error = ::GetLastError();
        if (shown)
            setHidden(source, true);
        fail(FileOperation::Replace, to, error);
    }
    if (isDotName(to) && !isDotName(from))
        setHidden(target, true);
}

bool NativeFile::remove(const std::string &path)
{
    if (failsNow("remove", path) ? injectedError()
                                 : ::DeleteFileW(nativePath(path, FileOperation::Delete).c_str()))
        return true;
    const DWORD error = ::GetLastError();
    if (isMissing(error))
        return false;
    fail(FileOperation::Delete, path, error);
}

void NativeFile::syncFolder(const std::string &path)
{
    // Every rename was written through already; the call is kept so that
    // the seam counts the same calls as on POSIX.
    if (failsNow("syncFolder", path) && !injectedError())
        fail(FileOperation::Replace, path, ::GetLastError());
}

} // namespace tovik
