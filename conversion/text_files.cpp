#include "text_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovik {

namespace {

constexpr std::size_t kBlockSize = 1 << 16;

std::string systemReason(int error)
{
    return std::generic_category().message(error);
}

using FileStatus = struct stat;

FileId idOf(const FileStatus &status)
{
    return {static_cast<unsigned long long>(status.st_dev),
            static_cast<unsigned long long>(status.st_ino)};
}

// The files this program holds open, one entry per handle.
class OpenFileRecord
{
public:
    void add(FileId id)
    {
        std::lock_guard lock(mutex_);
        ids_.push_back(id);
    }
    void remove(FileId id)
    {
        std::lock_guard lock(mutex_);
        if (auto it = std::find(ids_.begin(), ids_.end(), id); it != ids_.end())
            ids_.erase(it);
    }
    bool contains(FileId id)
    {
        std::lock_guard lock(mutex_);
        return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
    }

private:
    std::mutex mutex_;
    std::vector<FileId> ids_;
};

OpenFileRecord &openFiles()
{
    static OpenFileRecord record;
    return record;
}

int openFile(const std::string &path, int flags)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

FileError::FileError(std::string operation, std::string path, std::string reason)
    : std::runtime_error("Cannot " + operation + " \"" + path + "\": " + reason)
    , operation_(std::move(operation))
    , path_(std::move(path))
    , reason_(std::move(reason))
{
}

void OpenFile::adopt(int fd, FileId id)
{
    release();
    fd_ = fd;
    id_ = id;
    openFiles().add(id);
}

int OpenFile::release() noexcept
{
    if (fd_ < 0)
        return 0;
    openFiles().remove(id_);
    // Linux releases the descriptor even when close reports an error, so
    // retrying after EINTR could close someone else's file.
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 || errno == EINTR ? 0 : errno;
}

// --- TextFieldReader -------------------------------------------------------

void TextFieldReader::open(const std::string &path)
{
    close();
    const int fd = openFile(path, O_RDONLY);
    if (fd < 0)
        throw FileError("open", path, systemReason(errno));
    FileStatus status{};
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw FileError("open", path, systemReason(error));
    }
    file_.adopt(fd, idOf(status));
    path_ = path;
    buffer_.resize(kBlockSize);
    pos_ = end_ = 0;

    static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    // A short first read cannot split the mark from a regular file, and a
    // pipe that does so only costs the mark showing up as text.
    if (fill() && end_ >= 3 && std::memcmp(buffer_.data(), kByteOrderMark, 3) == 0)
        pos_ = 3;
}

bool TextFieldReader::fill()
{
    if (!file_.isOpen())
        return false;
    ssize_t count;
    do
        count = ::read(file_.fd(), buffer_.data(), buffer_.size());
    while (count < 0 && errno == EINTR);
    if (count < 0)
        throw FileError("read", path_, systemReason(errno));
    pos_ = 0;
    end_ = static_cast<std::size_t>(count);
    return count > 0;
}

std::optional<char> TextFieldReader::peek()
{
    if (pos_ == end_ && !fill())
        return std::nullopt;
    return buffer_[pos_];
}

bool TextFieldReader::atEnd()
{
    return !peek();
}

void TextFieldReader::skipLineEnd()
{
    // The caller has seen CR or LF at the read position; CR LF is one line end.
    const char first = buffer_[pos_++];
    if (first == '\r' && peek() == '\n')
        ++pos_;
}

std::string TextFieldReader::readField(std::size_t maxLength)
{
    std::string field;
    const std::size_t cap = maxLength < std::string::npos ? maxLength + 1 : maxLength;
    const auto full = [&] { return field.size() >= cap; };

    std::optional<char> c = peek();
    while (c == ' ' || c == '\t') {
        ++pos_;
        c = peek();
    }

    if (c == '"') {
        ++pos_;
        while ((c = peek()) && *c != '"' && !full()) {
            field.push_back(*c);
            ++pos_;
        }
        if (full())
            return field;
        if (c)
            ++pos_; // the closing quote
        while ((c = peek()) && *c != ',' && *c != '\r' && *c != '\n')
            ++pos_;
    } else {
        // Copy runs of ordinary characters straight from the buffer.
        while (peek() && !full()) {
            const char *start = buffer_.data() + pos_;
            const char *stop = buffer_.data() + end_;
            const char *delimiter = std::find_if(
                    start, stop, [](char ch) { return ch == ',' || ch == '\r' || ch == '\n'; });
            const std::size_t take
                    = std::min(static_cast<std::size_t>(delimiter - start), cap - field.size());
            field.append(start, take);
            pos_ += take;
            if (pos_ < end_)
                break;
        }
        if (full())
            return field;
        c = peek();
        field.erase(field.find_last_not_of(" \t") + 1);
    }

    if (c == ',')
        ++pos_;
    else if (c == '\r' || c == '\n')
        skipLineEnd();
    return field;
}

void TextFieldReader::close() noexcept
{
    // Nothing was written, so a failing close loses nothing.
    file_.release();
    pos_ = end_ = 0;
}

// --- TextLineWriter --------------------------------------------------------

TextLineWriter::~TextLineWriter()
{
    if (!file_.isOpen())
        return;
    try {
        if (!failed_)
            flush();
    } catch (const FileError &) {
        // Already failing: the first error is the one reported.
    }
    file_.release();
}

void TextLineWriter::create(const std::string &path)
{
    close();
    // Opened without O_TRUNC: a file this program has open must be refused
    // before anything of it is lost.
    const int fd = openFile(path, O_WRONLY | O_CREAT);
    if (fd < 0)
        throw FileError("create", path, systemReason(errno));
    FileStatus status{};
    std::string reason;
    if (::fstat(fd, &status) != 0)
        reason = systemReason(errno);
    else if (openFiles().contains(idOf(status)))
        reason = "the file is already open in this program";
    else if (S_ISREG(status.st_mode) && ::ftruncate(fd, 0) != 0)
        reason = systemReason(errno);
    if (!reason.empty()) {
        ::close(fd);
        throw FileError("create", path, reason);
    }
    file_.adopt(fd, idOf(status));
    path_ = path;
    buffer_.resize(kBlockSize);
    used_ = 0;
    failed_ = false;
}

void TextLineWriter::writeLine(std::string_view text)
{
    constexpr std::string_view kLineEnd = "\r\n";
    for (std::string_view part : {text, kLineEnd}) {
        while (!part.empty()) {
            if (used_ == buffer_.size())
                flush();
            const std::size_t take = std::min(part.size(), buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, part.data(), take);
            used_ += take;
            part.remove_prefix(take);
        }
    }
}

void TextLineWriter::flush()
{
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t count = ::write(file_.fd(), buffer_.data() + done, used_ - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            failed_ = true;
            throw FileError("write", path_, systemReason(count < 0 ? errno : EIO));
        }
        done += static_cast<std::size_t>(count);
    }
    used_ = 0;
}

void TextLineWriter::close()
{
    if (!file_.isOpen())
        return;
    flush();
    if (const int error = file_.release())
        throw FileError("close", path_, systemReason(error));
}

void deleteFile(const std::string &path)
{
    if (::unlink(path.c_str()) != 0)
        throw FileError("delete", path, systemReason(errno));
}

} // namespace tovik
