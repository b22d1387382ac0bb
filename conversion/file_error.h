#pragma once

#include <stdexcept>
#include <string>

namespace tovik {

// What the program was doing to a file when it failed, as the user would
// put it: CH1.txt is "replaced" even though that takes a rename.
enum class FileOperation { Open, Read, Create, Write, Close, Delete, Replace };

// The operation as a verb: "open", "read", "create"...
const char *verbOf(FileOperation operation) noexcept;

// A failed file operation: which, on which path, and the system's reason in
// words ("No such file or directory"), worded alike on every platform. The
// words for the user are made from these at the window's edge; what() is
// for logs and test failures.
class FileError : public std::runtime_error
{
public:
    FileError(FileOperation operation, std::string path, std::string reason);

    FileOperation operation() const noexcept { return operation_; }
    const std::string &path() const noexcept { return path_; }
    const std::string &reason() const noexcept { return reason_; }

private:
    FileOperation operation_;
    std::string path_;
    std::string reason_;
};

} // namespace tovik
