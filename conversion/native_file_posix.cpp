#include "native_file.h"

#include <cerrno>
#include <climits>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {

using Status = struct stat;

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

// The seam's fault, as the system reports one.
int injected(std::error_code error)
{
    errno = error.value();
    return -1;
}

FileId idOf(const Status &status)
{
    return {static_cast<unsigned long long>(status.st_dev),
            static_cast<unsigned long long>(status.st_ino)};
}

int openRetrying(const std::string &path, int flags)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

void NativeFile::closeQuietly(std::intptr_t native) noexcept
{
    ::close(static_cast<int>(native));
}

NativeFile NativeFile::openToRead(const std::string &path)
{
    // Looked at before it is opened, so that a FIFO or a device is never
    // opened at all; checked again after, as the name may have changed.
    Status status{};
    if (::stat(path.c_str(), &status) != 0)
        throw FileError(FileOperation::Open, path, lastError());
    if (!S_ISREG(status.st_mode))
        throw FileError(FileOperation::Open, path, Refusal::NotRegular);
    Native fd(openRetrying(path, O_RDONLY));
    if (!fd.isOpen() || ::fstat(static_cast<int>(fd.get()), &status) != 0)
        throw FileError(FileOperation::Open, path, lastError());
    if (!S_ISREG(status.st_mode))
        throw FileError(FileOperation::Open, path, Refusal::NotRegular);
    return NativeFile(std::move(fd), idOf(status), path, false);
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    if (const std::error_code fault = failsNow("create", path))
        throw FileError(FileOperation::Create, path, fault);
    const auto refuse = [&](Refusal refusal) { return FileError(FileOperation::Create, path, refusal); };
    const auto fail = [&] { return FileError(FileOperation::Create, path, lastError()); };
    // The lock holder removes the name while still holding the lock, so a
    // lock taken on a file that has lost its name guards nothing: then the
    // name is opened afresh. Each round means another conversion came and
    // went meanwhile, so a few rounds are plenty.
    for (int round = 0; round < 16; ++round) {
        Status status{};
        if (::lstat(path.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode))
                throw refuse(Refusal::SymbolicLink);
            if (!S_ISREG(status.st_mode))
                throw refuse(Refusal::NotRegular);
        } else if (errno != ENOENT) {
            throw fail();
        }

        Native fd(openRetrying(path, O_WRONLY | O_CREAT | O_NOFOLLOW));
        const int descriptor = static_cast<int>(fd.get());
        if (!fd.isOpen()) {
            if (errno == ELOOP)
                throw refuse(Refusal::SymbolicLink);
            if (errno == ENXIO || errno == EISDIR)
                throw refuse(Refusal::NotRegular);
            throw fail();
        }
        if (::fstat(descriptor, &status) != 0)
            throw fail();
        if (!S_ISREG(status.st_mode))
            throw refuse(Refusal::NotRegular);

        int locked;
        do
            locked = ::flock(descriptor, LOCK_EX | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0)
            throw errno == EWOULDBLOCK ? refuse(Refusal::InUseByConversion) : fail();

        Status named{};
        if (::fstat(descriptor, &status) != 0)
            throw fail();
        if (status.st_nlink == 0 || ::lstat(path.c_str(), &named) != 0
            || idOf(named) != idOf(status))
            continue;
        // A file with another name is another file of the user's as well:
        // this name is given a file of its own, under the lock, so that
        // the other stays as it is.
        if (status.st_nlink > 1) {
            if (::unlink(path.c_str()) != 0)
                throw fail();
            continue;
        }
        return NativeFile(std::move(fd), idOf(status), path, true);
    }
    throw refuse(Refusal::InUseByConversion);
}

NativeFile NativeFile::createNew(const std::string &path)
{
    if (const std::error_code fault = failsNow("create", path))
        throw FileError(FileOperation::Create, path, fault);
    // O_EXCL follows no link: whatever has the name already, it fails.
    Native fd(openRetrying(path, O_WRONLY | O_CREAT | O_EXCL));
    Status status{};
    if (!fd.isOpen() || ::fstat(static_cast<int>(fd.get()), &status) != 0)
        throw FileError(FileOperation::Create, path, lastError());
    return NativeFile(std::move(fd), idOf(status), path, true);
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    const std::error_code fault = failsNow("read", path_);
    ssize_t count;
    do
        count = fault ? injected(fault) : ::read(static_cast<int>(native_.get()), data, size);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        throw FileError(FileOperation::Read, path_, lastError());
    return static_cast<std::size_t>(count);
}

void NativeFile::write(const char *data, std::size_t size)
{
    const std::error_code fault = failsNow("write", path_);
    while (size > 0) {
        const ssize_t count = fault ? injected(fault)
                                    : ::write(static_cast<int>(native_.get()), data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw FileError(FileOperation::Write, path_,
                            count < 0 ? lastError() : std::make_error_code(std::errc::io_error));
        data += count;
        size -= static_cast<std::size_t>(count);
    }
}

void NativeFile::truncate()
{
    const std::error_code fault = failsNow("truncate", path_);
    if ((fault ? injected(fault) : ::ftruncate(static_cast<int>(native_.get()), 0)) != 0)
        throw FileError(FileOperation::Create, path_, lastError());
}

void NativeFile::sync()
{
    const std::error_code fault = failsNow("sync", path_);
    if ((fault ? injected(fault) : ::fsync(static_cast<int>(native_.get()))) != 0)
        throw FileError(FileOperation::Write, path_, lastError());
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    const std::error_code fault = writable_ ? failsNow("close", path_) : std::error_code();
    // Linux releases the descriptor even when close reports an error, so
    // it is never retried: that could close a file opened meanwhile.
    const int closed = ::close(static_cast<int>(native_.release()));
    if ((fault ? injected(fault) : closed) != 0 && errno != EINTR)
        throw FileError(FileOperation::Close, path_, lastError());
}

void NativeFile::checkReplaceable(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return;
        throw FileError(FileOperation::Replace, path, lastError());
    }
    if (S_ISLNK(status.st_mode))
        return;
    if (!S_ISREG(status.st_mode))
        throw FileError(FileOperation::Replace, path, Refusal::NotRegular);
    // The mode, not access(): a file its owner made read-only is one the
    // user wants kept, even from a program that could write it anyway.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw FileError(FileOperation::Replace, path, Refusal::ReadOnly);
}

bool NativeFile::exists(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) == 0)
        return true;
    if (errno != ENOENT)
        throw FileError(FileOperation::Replace, path, lastError());
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    const std::error_code fault = failsNow("rename", to);
    if ((fault ? injected(fault) : ::rename(from.c_str(), to.c_str())) != 0)
        throw FileError(FileOperation::Replace, to, lastError());
}

bool NativeFile::remove(const std::string &path)
{
    const std::error_code fault = failsNow("remove", path);
    if ((fault ? injected(fault) : ::unlink(path.c_str())) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    throw FileError(FileOperation::Delete, path, lastError());
}

void NativeFile::syncFolder(const std::string &path)
{
    const std::error_code fault = failsNow("syncFolder", path);
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const Native fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isOpen() || (fault ? injected(fault) : ::fsync(static_cast<int>(fd.get()))) != 0)
        throw FileError(FileOperation::Replace, path, lastError());
}

std::optional<NativeFile::Folder> NativeFile::folderOf(const std::string &path)
{
    if (path.find('/') != std::string::npos)
        return std::nullopt;
    char name[PATH_MAX];
    if (::getcwd(name, sizeof name))
        return Folder{name, false};
    if (errno != ENOENT)
        return Folder{};
    // Linux still knows the name of a working folder that was removed.
    const ssize_t length = ::readlink("/proc/self/cwd", name, sizeof name);
    std::string_view known(name, length > 0 ? static_cast<std::size_t>(length) : 0);
    if (!known.ends_with(" (deleted)"))
        known = {};
    known.remove_suffix(known.empty() ? 0 : std::string_view(" (deleted)").size());
    return Folder{std::string(known), true};
}

} // namespace tovik
