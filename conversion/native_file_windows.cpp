#include "native_file.h"

#include "wide_text.h"

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
// ways that do not say so ("Access is denied.").

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <initializer_list>

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
FileError failure(FileOperation operation, const std::string &path, DWORD code,
                  std::initializer_list<const std::wstring *> names = {})
{
    const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
            || (code == ERROR_ACCESS_DENIED
                && std::any_of(names.begin(), names.end(),
                               [](const std::wstring *name) { return heldByAnotherProgram(*name); }));
    if (held)
        return FileError(operation, path, Refusal::InUseByProgram);
    return FileError(operation, path, std::error_code(static_cast<int>(code), std::system_category()));
}

// The seam's fault, as the system reports one.
BOOL injected(std::error_code error)
{
    ::SetLastError(static_cast<DWORD>(error.value()));
    return FALSE;
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
        throw failure(operation, path, ERROR_FILE_NOT_FOUND);
    const std::wstring wide = widen(path);
    if (startsWith(wide, LR"(\\?\)"))
        return wide;

    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0)
            throw failure(operation, path, ::GetLastError());
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
        throw FileError(operation, path, Refusal::NotRegular);
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
BY_HANDLE_FILE_INFORMATION diskFileInfo(HANDLE handle, FileOperation operation,
                                        const std::string &path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        throw FileError(operation, path, Refusal::NotRegular);
    if (!::GetFileInformationByHandle(handle, &info))
        throw failure(operation, path, ::GetLastError());
    if (operation == FileOperation::Create && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        throw FileError(operation, path, Refusal::SymbolicLink);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw FileError(operation, path, Refusal::NotRegular);
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
    // folder rather than as "Access is denied".
    const std::wstring name = nativePath(path, FileOperation::Open);
    Native handle(nativeOf(::CreateFileW(name.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr)));
    if (!handle.isOpen())
        throw failure(FileOperation::Open, path, ::GetLastError());
    const BY_HANDLE_FILE_INFORMATION info
            = diskFileInfo(handleOf(handle.get()), FileOperation::Open, path);
    return NativeFile(std::move(handle), idOf(info), path, false);
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    if (const std::error_code fault = failsNow("create", path))
        throw FileError(FileOperation::Create, path, fault);
    const std::wstring name = nativePath(path, FileOperation::Create);
    // Looked at first so that a link or a folder is refused for what it is;
    // checked again on the handle, as the name may have changed meanwhile.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            throw FileError(FileOperation::Create, path, Refusal::SymbolicLink);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw FileError(FileOperation::Create, path, Refusal::NotRegular);
    } else if (const DWORD error = ::GetLastError(); !isMissing(error)) {
        throw failure(FileOperation::Create, path, error, {&name});
    }

    Native handle(nativeOf(::CreateFileW(
            name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE,
            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    if (!handle.isOpen()) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            throw failure(FileOperation::Create, path, error, {&name});
        const Native reader(nativeOf(::CreateFileW(
                name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, 0, nullptr)));
        const bool refusedReaders = !reader.isOpen() && ::GetLastError() == ERROR_SHARING_VIOLATION;
        throw FileError(FileOperation::Create, path,
                        refusedReaders ? Refusal::InUseByProgram : Refusal::InUseByConversion);
    }
    const BY_HANDLE_FILE_INFORMATION info
            = diskFileInfo(handleOf(handle.get()), FileOperation::Create, path);
    if (info.nNumberOfLinks > 1)
        throw FileError(FileOperation::Create, path, Refusal::HardLink);
    return NativeFile(std::move(handle), idOf(info), path, true);
}

NativeFile NativeFile::createNew(const std::string &path)
{
    if (const std::error_code fault = failsNow("create", path))
        throw FileError(FileOperation::Create, path, fault);
    const std::wstring name = nativePath(path, FileOperation::Create);
    Native handle(nativeOf(::CreateFileW(
            name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE,
            nullptr, CREATE_NEW, isDotName(path) ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL,
            nullptr)));
    if (!handle.isOpen())
        throw failure(FileOperation::Create, path, ::GetLastError(), {&name});
    const BY_HANDLE_FILE_INFORMATION info
            = diskFileInfo(handleOf(handle.get()), FileOperation::Create, path);
    return NativeFile(std::move(handle), idOf(info), path, true);
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    const std::error_code fault = failsNow("read", path_);
    DWORD count = 0;
    if (!(fault ? injected(fault)
                : ::ReadFile(handleOf(native_.get()), data,
                             static_cast<DWORD>(std::min(size, kMaxPiece)), &count, nullptr))) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return 0;
        throw failure(FileOperation::Read, path_, error);
    }
    return count;
}

void NativeFile::write(const char *data, std::size_t size)
{
    const std::error_code fault = failsNow("write", path_);
    while (size > 0) {
        DWORD count = 0;
        if (!(fault ? injected(fault)
                    : ::WriteFile(handleOf(native_.get()), data,
                                  static_cast<DWORD>(std::min(size, kMaxPiece)), &count, nullptr)))
            throw failure(FileOperation::Write, path_, ::GetLastError());
        if (count == 0)
            throw failure(FileOperation::Write, path_, ERROR_WRITE_FAULT);
        data += count;
        size -= count;
    }
}

void NativeFile::truncate()
{
    // The file's position stays where it is, as ftruncate leaves it.
    FILE_END_OF_FILE_INFO end{};
    const std::error_code fault = failsNow("truncate", path_);
    if (!(fault ? injected(fault)
                : ::SetFileInformationByHandle(handleOf(native_.get()), FileEndOfFileInfo, &end,
                                               sizeof end)))
        throw failure(FileOperation::Create, path_, ::GetLastError());
}

void NativeFile::sync()
{
    const std::error_code fault = failsNow("sync", path_);
    if (!(fault ? injected(fault) : ::FlushFileBuffers(handleOf(native_.get()))))
        throw failure(FileOperation::Write, path_, ::GetLastError());
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    const std::error_code fault = writable_ ? failsNow("close", path_) : std::error_code();
    const BOOL closed = ::CloseHandle(handleOf(native_.release()));
    if (!(fault ? injected(fault) : closed))
        throw failure(FileOperation::Close, path_, ::GetLastError());
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
        throw failure(FileOperation::Replace, path, error, {&name});
    }
    if (isLink(name))
        throw FileError(FileOperation::Replace, path, Refusal::SymbolicLink);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        throw FileError(FileOperation::Replace, path, Refusal::NotRegular);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw FileError(FileOperation::Replace, path, Refusal::ReadOnly);
}

bool NativeFile::exists(const std::string &path)
{
    const std::wstring name = nativePath(path, FileOperation::Replace);
    if (::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (const DWORD error = ::GetLastError(); !isMissing(error))
        throw failure(FileOperation::Replace, path, error, {&name});
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    const std::error_code fault = failsNow("rename", to);
    const std::wstring source = nativePath(from, FileOperation::Replace);
    const std::wstring target = nativePath(to, FileOperation::Replace);
    // Shown before it takes a name of the user's, so that a kill between
    // the two leaves nothing of the user's hidden; hidden again if it
    // stays where it was.
    const bool shown = isDotName(from) && !isDotName(to);
    if (shown)
        setHidden(source, false);
    // Write-through: the rename is on the disk when this returns.
    if (!(fault ? injected(fault)
                : ::MoveFileExW(source.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        const DWORD error = ::GetLastError();
        if (shown)
            setHidden(source, true);
        throw failure(FileOperation::Replace, to, error, {&source, &target});
    }
    if (isDotName(to) && !isDotName(from))
        setHidden(target, true);
}

bool NativeFile::remove(const std::string &path)
{
    const std::error_code fault = failsNow("remove", path);
    const std::wstring name = nativePath(path, FileOperation::Delete);
    if (fault ? injected(fault) : ::DeleteFileW(name.c_str()))
        return true;
    const DWORD error = ::GetLastError();
    if (isMissing(error))
        return false;
    throw failure(FileOperation::Delete, path, error, {&name});
}

void NativeFile::syncFolder(const std::string &path)
{
    // Every rename was written through already; the call is kept so that
    // the seam counts the same calls as on POSIX.
    if (const std::error_code fault = failsNow("syncFolder", path))
        throw FileError(FileOperation::Replace, path, fault);
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
