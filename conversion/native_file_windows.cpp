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
// Errors are the system's own, GetLastError() in std::system_category(),
// but for a file that another program holds open without sharing it: that
// is a refusal of its own, whichever call met it, as Windows words it in
// ways that do not say so ("Access is denied."). The system's words for an
// error are asked for in the user's language.
//
// A new version of a file is created with the access control list of the
// file it replaces, as ReplaceFileW keeps it: inherited entries come from
// the folder, which is the same one.
//
// What reaches the disk, and when: FlushFileBuffers puts a file's data
// there, and a rename is written through, so it is there when MoveFileExW
// returns. NTFS logs every change to a folder in one journal, in order, and
// a change written through is on the disk with all that was logged before
// it: a file created before a rename is there once the rename is. So a
// folder's sync has nothing left to do.

#include "system_call.h"
#include "wide_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace tovik {

namespace {

HANDLE handleOf(std::intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}

std::intptr_t nativeOf(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

SystemCallError refusal(const char *call, const std::string &path, Refusal why)
{
    return {call, path, why};
}

// Whether a program holds the file open without sharing it: then even a
// reader that shares everything and asks only to delete it is turned away.
bool heldByAnotherProgram(const std::wstring &name)
{
    const HANDLE probe = ::CreateFileW(
            name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// The system's error `code` on `path`; a denied access to one of `names`
// that another program holds is that program's doing.
SystemCallError failure(const char *call, const std::string &path, DWORD code,
                        std::initializer_list<const std::wstring *> names = {})
{
    const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
            || (code == ERROR_ACCESS_DENIED
                && std::any_of(names.begin(), names.end(),
                               [](const std::wstring *name) { return heldByAnotherProgram(*name); }));
    if (held)
        return refusal(call, path, Refusal::InUseByProgram);
    return {call, path, std::error_code(static_cast<int>(code), std::system_category())};
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
std::wstring nativePath(const std::string &path, const char *call)
{
    if (path.empty())
        throw failure(call, path, ERROR_FILE_NOT_FOUND);
    const std::wstring wide = widen(path);
    if (startsWith(wide, LR"(\\?\)"))
        return wide;

    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0)
            throw failure(call, path, ::GetLastError());
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
        throw refusal(call, path, Refusal::NotRegular);
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

// The identity of a freshly opened file, or the reason it is not a regular
// file on a disk. A reader follows links, so only a writer can meet one.
BY_HANDLE_FILE_INFORMATION diskFileInfo(HANDLE handle, const char *call, const std::string &path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        throw refusal(call, path, Refusal::NotRegular);
    if (!::GetFileInformationByHandle(handle, &info))
        throw failure(call, path, ::GetLastError());
    if (std::string_view(call) == "create" && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        throw refusal(call, path, Refusal::SymbolicLink);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw refusal(call, path, Refusal::NotRegular);
    return info;
}

// Whether the name is a link, as its folder lists it.
bool namesALink(const std::wstring &name)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return NativeFile::isLink(found.dwFileAttributes, found.dwReserved0);
}

bool isDotName(const std::string &path)
{
    const std::string::size_type start = path.find_last_of("/\\") + 1;
    return path.size() > start && path[start] == '.';
}

// Only the look of a file: a failure leaves it as it was.
void setHidden(const wchar_t *name, bool hidden)
{
    const DWORD attributes = ::GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD changed
            = hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~FILE_ATTRIBUTE_HIDDEN;
    if (changed != attributes)
        ::SetFileAttributesW(name, changed ? changed : FILE_ATTRIBUTE_NORMAL);
}

// The access control list of `name` alone, as GetNamedSecurityInfoW gives
// it, in a call that fails as the others do.
BOOL readAccessList(const wchar_t *name, PSECURITY_DESCRIPTOR *descriptor)
{
    const DWORD error = ::GetNamedSecurityInfoW(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                                nullptr, nullptr, nullptr, nullptr, descriptor);
    ::SetLastError(error);
    return error == ERROR_SUCCESS;
}

// A rename is on the disk when MoveFileExW returns: the switch of the
// channels rests on that, as on POSIX it rests on a sync of the folder.
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// MoveFileExW. A file moving from a name with a leading dot to one without
// is shown first, so that a kill between the two leaves nothing of the
// user's hidden, and hidden again if it stays where it was; one moving to
// such a name is hidden.
BOOL moveFile(const wchar_t *source, const wchar_t *target, DWORD flags, bool show, bool hide)
{
    if (show)
        setHidden(source, false);
    if (!::MoveFileExW(source, target, flags)) {
        const DWORD error = ::GetLastError();
        if (show)
            setHidden(source, true);
        ::SetLastError(error);
        return FALSE;
    }
    if (hide)
        setHidden(target, true);
    return TRUE;
}

// Every rename is written through already: the call is there so that the
// seam sees the same calls as on POSIX.
BOOL syncNothing()
{
    return TRUE;
}

// Every call that the test seam sees, under its name.
namespace calls {
const SystemCall create{"create", ::CreateFileW, INVALID_HANDLE_VALUE};
const SystemCall accessList{"accessList", readAccessList, FALSE};
const SystemCall read{"read", ::ReadFile, FALSE};
const SystemCall write{"write", ::WriteFile, FALSE};
const SystemCall truncate{"truncate", ::SetFileInformationByHandle, FALSE};
const SystemCall sync{"sync", ::FlushFileBuffers, FALSE};
// A handle is closed even when CloseHandle reports an error.
const SystemCall close{"close", ::CloseHandle, FALSE, OnFault::MakeAnyway};
const SystemCall rename{"rename", moveFile, FALSE};
const SystemCall remove{"remove", ::DeleteFileW, FALSE};
const SystemCall syncFolder{"syncFolder", syncNothing, FALSE};
} // namespace calls

// Reads and writes go in pieces a DWORD can count.
constexpr std::size_t kMaxPiece = 1u << 30;

} // namespace

void setLastSystemError(std::error_code error) noexcept
{
    ::SetLastError(static_cast<DWORD>(error.value()));
}

void NativeFile::closeQuietly(std::intptr_t native) noexcept
{
    ::CloseHandle(handleOf(native));
}

NativeFile NativeFile::openToRead(const std::string &path)
{
    // Backup semantics lets a folder be opened, so that it is refused as a
    // folder rather than as "Access is denied".
    const std::wstring name = nativePath(path, "open");
    Native handle(nativeOf(::CreateFileW(name.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr)));
    if (!handle.isOpen())
        throw failure("open", path, ::GetLastError());
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handleOf(handle.get()), "open", path);
    return NativeFile(std::move(handle), idOf(info), path, false);
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    const std::wstring name = nativePath(path, "create");
    // Looked at first so that a link or a folder is refused for what it is;
    // checked again on the handle, as the name may have changed meanwhile.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            throw refusal("create", path, Refusal::SymbolicLink);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw refusal("create", path, Refusal::NotRegular);
    } else if (const DWORD error = ::GetLastError(); !isMissing(error)) {
        throw failure("create", path, error, {&name});
    }

    Native handle(nativeOf(calls::create(
            path, name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    if (!handle.isOpen()) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            throw failure("create", path, error, {&name});
        const Native reader(nativeOf(::CreateFileW(
                name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, 0, nullptr)));
        const bool refusedReaders = !reader.isOpen() && ::GetLastError() == ERROR_SHARING_VIOLATION;
        throw refusal("create", path,
                      refusedReaders ? Refusal::InUseByProgram : Refusal::InUseByConversion);
    }
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handleOf(handle.get()), "create", path);
    if (info.nNumberOfLinks > 1)
        throw refusal("create", path, Refusal::HardLink);
    return NativeFile(std::move(handle), idOf(info), path, true);
}

NativeFile NativeFile::createNew(const std::string &path, const std::string &replacing)
{
    const std::wstring name = nativePath(path, "create");
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    std::unique_ptr<void, decltype(&::LocalFree)> accessList(nullptr, ::LocalFree);
    if (!replacing.empty()) {
        const std::wstring old = nativePath(replacing, "accessList");
        if (::GetFileAttributesW(old.c_str()) != INVALID_FILE_ATTRIBUTES) {
            PSECURITY_DESCRIPTOR descriptor = nullptr;
            if (!calls::accessList(replacing, old.c_str(), &descriptor))
                throw failure("accessList", replacing, ::GetLastError(), {&old});
            accessList.reset(descriptor);
            security.lpSecurityDescriptor = descriptor;
        }
    }
    Native handle(nativeOf(calls::create(
            path, name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_DELETE, &security, CREATE_NEW,
            isDotName(path) ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!handle.isOpen())
        throw failure("create", path, ::GetLastError(), {&name});
    const BY_HANDLE_FILE_INFORMATION info = diskFileInfo(handleOf(handle.get()), "create", path);
    return NativeFile(std::move(handle), idOf(info), path, true);
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    DWORD count = 0;
    if (!calls::read(path_, handleOf(native_.get()), data,
                     static_cast<DWORD>(std::min(size, kMaxPiece)), &count, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        throw failure("read", path_, error);
    }
    return count;
}

void NativeFile::write(const char *data, std::size_t size)
{
    while (size > 0) {
        DWORD count = 0;
        if (!calls::write(path_, handleOf(native_.get()), data,
                          static_cast<DWORD>(std::min(size, kMaxPiece)), &count, nullptr))
            throw failure("write", path_, ::GetLastError());
        if (count == 0)
            throw failure("write", path_, ERROR_WRITE_FAULT);
        data += count;
        size -= count;
    }
}

void NativeFile::truncate()
{
    // The file's position stays where it is, as ftruncate leaves it.
    FILE_END_OF_FILE_INFO end{};
    if (!calls::truncate(path_, handleOf(native_.get()), FileEndOfFileInfo, &end, sizeof end))
        throw failure("truncate", path_, ::GetLastError());
}

void NativeFile::sync()
{
    if (!calls::sync(path_, handleOf(native_.get())))
        throw failure("sync", path_, ::GetLastError());
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    // A file only read loses nothing by a failed close, so the seam does
    // not see it.
    const HANDLE handle = handleOf(native_.release());
    if (!(writable_ ? calls::close(path_, handle) : ::CloseHandle(handle)))
        throw failure("close", path_, ::GetLastError());
}

void NativeFile::checkReplaceable(const std::string &path)
{
    // Unlike POSIX, a link is not replaceable here: MoveFileExW cannot be
    // trusted to replace every kind of link without touching what it points
    // to.
    const std::wstring name = nativePath(path, "stat");
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (isMissing(error))
            return;
        throw failure("stat", path, error, {&name});
    }
    if (namesALink(name))
        throw refusal("stat", path, Refusal::SymbolicLink);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        throw refusal("stat", path, Refusal::NotRegular);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw refusal("stat", path, Refusal::ReadOnly);
}

bool NativeFile::isLink(unsigned long attributes, unsigned long reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag);
}

bool NativeFile::exists(const std::string &path)
{
    const std::wstring name = nativePath(path, "stat");
    if (::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (const DWORD error = ::GetLastError(); !isMissing(error))
        throw failure("stat", path, error, {&name});
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    const std::wstring source = nativePath(from, "rename");
    const std::wstring target = nativePath(to, "rename");
    // The seam is told whether the rename is written through, as what a
    // power cut leaves of it depends on that.
    const std::string seen
            = from + ' ' + to + (kMoveFlags & MOVEFILE_WRITE_THROUGH ? " through" : "");
    if (!calls::rename(seen, source.c_str(), target.c_str(), kMoveFlags,
                       isDotName(from) && !isDotName(to), isDotName(to) && !isDotName(from)))
        throw failure("rename", to, ::GetLastError(), {&source, &target});
}

bool NativeFile::remove(const std::string &path)
{
    const std::wstring name = nativePath(path, "remove");
    if (calls::remove(path, name.c_str()))
        return true;
    const DWORD error = ::GetLastError();
    if (isMissing(error))
        return false;
    throw failure("remove", path, error, {&name});
}

void NativeFile::syncFolder(const std::string &path)
{
    if (!calls::syncFolder(path))
        throw failure("syncFolder", path, ::GetLastError());
}

std::string NativeFile::systemWords(std::error_code error)
{
    if (error.category() != std::system_category())
        return error.message();
    wchar_t *buffer = nullptr;
    const DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                    | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t *>(&buffer), 0,
            nullptr);
    std::string words = narrow(std::wstring_view(buffer, buffer ? length : 0));
    ::LocalFree(buffer);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    return words.empty() ? "Windows error " + std::to_string(error.value()) : words;
}

std::optional<NativeFile::Folder> NativeFile::folderOf(const std::string &path)
{
    if (path.find_first_of("/\\:") != std::string::npos)
        return std::nullopt;
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return Folder{narrow(folder), false};
}

} // namespace tovik
