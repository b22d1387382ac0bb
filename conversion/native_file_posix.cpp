#include "native_file.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {

using Status = struct stat;

[[noreturn]] void fail(FileOperation operation, const std::string &path, int error)
{
    throw FileError(operation, path, std::generic_category().message(error));
}

[[noreturn]] void fail(FileOperation operation, const std::string &path, const char *reason)
{
    throw FileError(operation, path, reason);
}

FileId idOf(const Status &status)
{
    return {static_cast<unsigned long long>(status.st_dev),
            static_cast<unsigned long long>(status.st_ino)};
}

// The seam's fault, as the system reports one.
int injectedError()
{
    errno = EIO;
    return -1;
}

int openRetrying(const std::string &path, int flags)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Owns a descriptor until it is handed on, so that every early exit closes it.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

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
        fail(FileOperation::Open, path, errno);
    if (!S_ISREG(status.st_mode))
        fail(FileOperation::Open, path, "it is not a regular file");
    Descriptor fd(openRetrying(path, O_RDONLY));
    if (fd.get() < 0)
        fail(FileOperation::Open, path, errno);
    if (::fstat(fd.get(), &status) != 0)
        fail(FileOperation::Open, path, errno);
    if (!S_ISREG(status.st_mode))
        fail(FileOperation::Open, path, "it is not a regular file");

    NativeFile file;
    file.native_ = fd.release();
    file.id_ = idOf(status);
    file.path_ = path;
    return file;
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    if (failsNow("create", path))
        fail(FileOperation::Create, path, EIO);
    // The lock holder removes the name while still holding the lock, so a
    // lock taken on a file that has lost its name guards nothing: then the
    // name is opened afresh. Each round means another conversion came and
    // went meanwhile, so a few rounds are plenty.
    for (int round = 0; round < 16; ++round) {
        Status status{};
        if (::lstat(path.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode))
                fail(FileOperation::Create, path, "it is a symbolic link");
            if (!S_ISREG(status.st_mode))
                fail(FileOperation::Create, path, "it is not a regular file");
        } else if (errno != ENOENT) {
            fail(FileOperation::Create, path, errno);
        }

        Descriptor fd(openRetrying(path, O_WRONLY | O_CREAT | O_NOFOLLOW));
        if (fd.get() < 0) {
            if (errno == ELOOP)
                fail(FileOperation::Create, path, "it is a symbolic link");
            if (errno == ENXIO || errno == EISDIR)
                fail(FileOperation::Create, path, "it is not a regular file");
            fail(FileOperation::Create, path, errno);
        }
        if (::fstat(fd.get(), &status) != 0)
            fail(FileOperation::Create, path, errno);
        if (!S_ISREG(status.st_mode))
            fail(FileOperation::Create, path, "it is not a regular file");

        int locked;
        do
            locked = ::flock(fd.get(), LOCK_EX | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            if (errno == EWOULDBLOCK)
                fail(FileOperation::Create, path, "it is in use by another conversion");
            fail(FileOperation::Create, path, errno);
        }

        Status named{};
        if (::fstat(fd.get(), &status) != 0)
            fail(FileOperation::Create, path, errno);
        if (status.st_nlink == 0 || ::lstat(path.c_str(), &named) != 0
            || idOf(named) != idOf(status))
            continue;
        // A file with another name is another file of the user's as well:
        // this name is given a file of its own, under the lock, so that
        // the other stays as it is.
        if (status.st_nlink > 1) {
            if (::unlink(path.c_str()) != 0)
                fail(FileOperation::Create, path, errno);
            continue;
        }

        NativeFile file;
        file.native_ = fd.release();
        file.id_ = idOf(status);
        file.path_ = path;
        file.writable_ = true;
        return file;
    }
    fail(FileOperation::Create, path, "it is in use by another conversion");
}

NativeFile NativeFile::createNew(const std::string &path)
{
    if (failsNow("create", path))
        fail(FileOperation::Create, path, EIO);
    // O_EXCL follows no link: whatever has the name already, it fails.
    Descriptor fd(openRetrying(path, O_WRONLY | O_CREAT | O_EXCL));
    Status status{};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0)
        fail(FileOperation::Create, path, errno);

    NativeFile file;
    file.native_ = fd.release();
    file.id_ = idOf(status);
    file.path_ = path;
    file.writable_ = true;
    return file;
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    ssize_t count;
    do
        count = ::read(static_cast<int>(native_), data, size);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        fail(FileOperation::Read, path_, errno);
    return static_cast<std::size_t>(count);
}

void NativeFile::write(const char *data, std::size_t size)
{
    const bool failing = failsNow("write", path_);
    while (size > 0) {
        const ssize_t count
                = failing ? injectedError() : ::write(static_cast<int>(native_), data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            fail(FileOperation::Write, path_, count < 0 ? errno : EIO);
        data += count;
        size -= static_cast<std::size_t>(count);
    }
}

void NativeFile::truncate()
{
    if ((failsNow("truncate", path_) ? injectedError() : ::ftruncate(static_cast<int>(native_), 0))
        != 0)
        fail(FileOperation::Create, path_, errno);
}

void NativeFile::sync()
{
    if ((failsNow("sync", path_) ? injectedError() : ::fsync(static_cast<int>(native_))) != 0)
        fail(FileOperation::Write, path_, errno);
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    const int fd = static_cast<int>(std::exchange(native_, -1));
    const bool failing = writable_ && failsNow("close", path_);
    // Linux releases the descriptor even when close reports an error, so
    // it is never retried: that could close a file opened meanwhile.
    const int closed = ::close(fd);
    if ((failing ? injectedError() : closed) != 0 && errno != EINTR)
        fail(FileOperation::Close, path_, errno);
}

void NativeFile::checkReplaceable(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return;
        fail(FileOperation::Replace, path, errno);
    }
    if (S_ISLNK(status.st_mode))
        return;
    if (!S_ISREG(status.st_mode))
        fail(FileOperation::Replace, path, "it is not a regular file");
    // The mode, not access(): a file its owner made read-only is one the
    // user wants kept, even from a program that could write it anyway.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        fail(FileOperation::Replace, path, "it is read-only");
}

bool NativeFile::exists(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) == 0)
        return true;
    if (errno != ENOENT)
        fail(FileOperation::Replace, path, errno);
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    if ((failsNow("rename", to) ? injectedError() : ::rename(from.c_str(), to.c_str())) != 0)
        fail(FileOperation::Replace, to, errno);
}

bool NativeFile::remove(const std::string &path)
{
    if ((failsNow("remove", path) ? injectedError() : ::unlink(path.c_str())) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    fail(FileOperation::Delete, path, errno);
}

void NativeFile::syncFolder(const std::string &path)
{
    const bool failing = failsNow("syncFolder", path);
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || (failing ? injectedError() : ::fsync(fd.get())) != 0)
        fail(FileOperation::Replace, path, errno);
}

} // namespace tovik
