#include "native_file.h"

#include "system_call.h"

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

int openFile(const char *path, int flags, mode_t mode)
{
    return ::open(path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
}

// Every call that the test seam sees, under its name.
namespace calls {
const SystemCall create{"create", openFile, -1};
const SystemCall lock{"lock", ::flock, -1};
const SystemCall chown{"chown", ::fchown, -1};
const SystemCall chmod{"chmod", ::fchmod, -1};
const SystemCall read{"read", ::read, -1};
const SystemCall write{"write", ::write, -1};
const SystemCall truncate{"truncate", ::ftruncate, -1};
const SystemCall sync{"sync", ::fsync, -1};
// Linux releases the descriptor even when close reports an error.
const SystemCall close{"close", ::close, -1, OnFault::MakeAnyway};
const SystemCall rename{"rename", ::rename, -1};
const SystemCall remove{"remove", ::unlink, -1};
const SystemCall syncFolder{"syncFolder", ::fsync, -1};
} // namespace calls

SystemCallError failure(const char *call, const std::string &path)
{
    return {call, path, std::error_code(errno, std::generic_category())};
}

SystemCallError refusal(const char *call, const std::string &path, Refusal why)
{
    return {call, path, why};
}

FileId idOf(const Status &status)
{
    return {static_cast<unsigned long long>(status.st_dev),
            static_cast<unsigned long long>(status.st_ino)};
}

template<typename Call>
auto retrying(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

} // namespace

void setLastSystemError(std::error_code error) noexcept
{
    errno = error.value();
}

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
        throw failure("open", path);
    if (!S_ISREG(status.st_mode))
        throw refusal("open", path, Refusal::NotRegular);
    Native fd(retrying([&] { return openFile(path.c_str(), O_RDONLY, 0); }));
    if (!fd.isOpen() || ::fstat(static_cast<int>(fd.get()), &status) != 0)
        throw failure("open", path);
    if (!S_ISREG(status.st_mode))
        throw refusal("open", path, Refusal::NotRegular);
    return NativeFile(std::move(fd), idOf(status), path, false);
}

NativeFile NativeFile::openToWrite(const std::string &path)
{
    // The lock holder removes the name while still holding the lock, so a
    // lock taken on a file that has lost its name guards nothing: then the
    // name is opened afresh. Each round means another conversion came and
    // went meanwhile, so a few rounds are plenty.
    for (int round = 0; round < 16; ++round) {
        Status status{};
        if (::lstat(path.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode))
                throw refusal("create", path, Refusal::SymbolicLink);
            if (!S_ISREG(status.st_mode))
                throw refusal("create", path, Refusal::NotRegular);
        } else if (errno != ENOENT) {
            throw failure("create", path);
        }

        Native fd(retrying(
                [&] { return calls::create(path, path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW, 0666); }));
        const int descriptor = static_cast<int>(fd.get());
        if (!fd.isOpen()) {
            if (errno == ELOOP)
                throw refusal("create", path, Refusal::SymbolicLink);
            if (errno == ENXIO || errno == EISDIR)
                throw refusal("create", path, Refusal::NotRegular);
            throw failure("create", path);
        }
        if (::fstat(descriptor, &status) != 0)
            throw failure("create", path);
        if (!S_ISREG(status.st_mode))
            throw refusal("create", path, Refusal::NotRegular);

        if (retrying([&] { return calls::lock(path, descriptor, LOCK_EX | LOCK_NB); }) != 0)
            throw errno == EWOULDBLOCK ? refusal("create", path, Refusal::InUseByConversion)
                                       : failure("create", path);

        Status named{};
        if (::fstat(descriptor, &status) != 0)
            throw failure("create", path);
        if (status.st_nlink == 0 || ::lstat(path.c_str(), &named) != 0
            || idOf(named) != idOf(status))
            continue;
        // A file with another name is another file of the user's as well:
        // this name is given a file of its own, under the lock, so that
        // the other stays as it is.
        if (status.st_nlink > 1) {
            if (calls::remove(path, path.c_str()) != 0)
                throw failure("create", path);
            continue;
        }
        return NativeFile(std::move(fd), idOf(status), path, true);
    }
    throw refusal("create", path, Refusal::InUseByConversion);
}

NativeFile NativeFile::createNew(const std::string &path, const std::string &replacing)
{
    // Made for its owner alone, then given the group and the mode of the
    // file it replaces; a group that the user may not give a file gets no
    // access to it, rather than another group getting that group's.
    Status old{};
    const bool inherits
            = !replacing.empty() && ::lstat(replacing.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // O_EXCL follows no link: whatever has the name already, it fails.
    Native fd(retrying([&] {
        return calls::create(path, path.c_str(), O_WRONLY | O_CREAT | O_EXCL, inherits ? 0600 : 0666);
    }));
    const int descriptor = static_cast<int>(fd.get());
    Status status{};
    if (!fd.isOpen() || ::fstat(descriptor, &status) != 0)
        throw failure("create", path);
    if (inherits) {
        mode_t mode = old.st_mode & 0777;
        if (old.st_gid != status.st_gid && calls::chown(path, descriptor, -1, old.st_gid) != 0) {
            if (errno != EPERM)
                throw failure("chown", path);
            mode &= ~mode_t{070};
        }
        if (calls::chmod(path, descriptor, mode) != 0)
            throw failure("chmod", path);
    }
    return NativeFile(std::move(fd), idOf(status), path, true);
}

std::size_t NativeFile::read(char *data, std::size_t size)
{
    const int fd = static_cast<int>(native_.get());
    const ssize_t count = retrying([&] { return calls::read(path_, fd, data, size); });
    if (count < 0)
        throw failure("read", path_);
    return static_cast<std::size_t>(count);
}

void NativeFile::write(const char *data, std::size_t size)
{
    const int fd = static_cast<int>(native_.get());
    while (size > 0) {
        const ssize_t count = retrying([&] { return calls::write(path_, fd, data, size); });
        if (count < 0)
            throw failure("write", path_);
        if (count == 0)
            throw SystemCallError("write", path_, std::make_error_code(std::errc::io_error));
        data += count;
        size -= static_cast<std::size_t>(count);
    }
}

void NativeFile::truncate()
{
    if (calls::truncate(path_, static_cast<int>(native_.get()), 0) != 0)
        throw failure("truncate", path_);
}

void NativeFile::sync()
{
    if (calls::sync(path_, static_cast<int>(native_.get())) != 0)
        throw failure("sync", path_);
}

void NativeFile::close()
{
    if (!isOpen())
        return;
    // Never retried, as the descriptor is released whatever the outcome: a
    // second close could close a file opened meanwhile. A file only read
    // loses nothing by a failed close, so the seam does not see it.
    const int fd = static_cast<int>(native_.release());
    if ((writable_ ? calls::close(path_, fd) : ::close(fd)) != 0 && errno != EINTR)
        throw failure("close", path_);
}

void NativeFile::checkReplaceable(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return;
        throw failure("stat", path);
    }
    if (S_ISLNK(status.st_mode))
        return;
    if (!S_ISREG(status.st_mode))
        throw refusal("stat", path, Refusal::NotRegular);
    // The mode, not access(): a file its owner made read-only is one the
    // user wants kept, even from a program that could write it anyway.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw refusal("stat", path, Refusal::ReadOnly);
}

bool NativeFile::exists(const std::string &path)
{
    Status status{};
    if (::lstat(path.c_str(), &status) == 0)
        return true;
    if (errno != ENOENT)
        throw failure("stat", path);
    return false;
}

void NativeFile::rename(const std::string &from, const std::string &to)
{
    if (calls::rename(from + ' ' + to, from.c_str(), to.c_str()) != 0)
        throw failure("rename", to);
}

bool NativeFile::remove(const std::string &path)
{
    if (calls::remove(path, path.c_str()) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    throw failure("remove", path);
}

void NativeFile::syncFolder(const std::string &path)
{
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const Native fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isOpen() || calls::syncFolder(path, static_cast<int>(fd.get())) != 0)
        throw failure("syncFolder", path);
}

std::string NativeFile::systemWords(std::error_code error)
{
    return error.message();
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
