#pragma once

// Sequential text files: everything the conversion reads or writes goes
// through these two handles.
//
// TextFieldReader reads a file as a sequence of fields. A field ends at a
// comma or a line end (CR, LF or CRLF, one delimiter each) or at the end of
// the file; spaces and tabs before a field are skipped and those at the end
// of an unquoted field are dropped. A field that starts with a double quote
// runs to the next double quote, delimiters included; whatever follows the
// closing quote up to the next delimiter is ignored, and a quote that is
// never closed runs to the end of the file. A UTF-8 byte-order mark at the
// very start of a file is skipped.
//
// TextLineWriter writes one value per line, as it stands, each followed by
// CR LF. Creating a file empties it, unless that file is open in this
// program right now: with no sharing locks on this platform we keep our own
// record of open files, by device and inode.
//
// Both work in large blocks and report every failure as a FileError that
// names the operation, the path and the system's reason. Handles close on
// destruction; close() reports errors that destruction would swallow.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tovik {

class FileError : public std::runtime_error
{
public:
    FileError(std::string operation, std::string path, std::string reason);

    // The verb that failed: "open", "read", "create", "write", "close",
    // "delete" or "convert".
    const std::string &operation() const noexcept { return operation_; }
    const std::string &path() const noexcept { return path_; }
    const std::string &reason() const noexcept { return reason_; }

private:
    std::string operation_;
    std::string path_;
    std::string reason_;
};

// An open file's identity, for the record of files open in this program.
struct FileId
{
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileId &) const = default;
};

class OpenFile
{
public:
    OpenFile() = default;
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    ~OpenFile() { release(); }

    bool isOpen() const noexcept { return fd_ >= 0; }
    int fd() const noexcept { return fd_; }
    // Takes ownership of fd and enters it in the record of open files.
    void adopt(int fd, FileId id);
    // Closes the descriptor; returns the errno of a failed close, or 0.
    int release() noexcept;

private:
    int fd_ = -1;
    FileId id_;
};

class TextFieldReader
{
public:
    void open(const std::string &path);
    bool atEnd();
    // Returns the next field and moves past it and its delimiter; the empty
    // field at the end of the file. A field longer than maxLength comes back
    // cut to maxLength + 1 characters, with the read position left inside
    // it, so that no input can make it collect without bound.
    std::string readField(std::size_t maxLength = std::string::npos);
    void close() noexcept;

private:
    std::optional<char> peek();
    void skipLineEnd();
    bool fill();

    OpenFile file_;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

class TextLineWriter
{
public:
    // An unclosed writer is one a failure left behind: it keeps what was
    // written so far and closes without a word.
    ~TextLineWriter();

    void create(const std::string &path);
    void writeLine(std::string_view text);
    void close();

private:
    void flush();

    OpenFile file_;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

void deleteFile(const std::string &path);

} // namespace tovik
