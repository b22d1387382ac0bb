#pragma once

#include <stdexcept>
#include <string>
#include <vector>

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

    // Where the earlier version of a file is kept when, after this
    // failure, it could not be put back under its own name: the only copy
    // of it, for the user to find.
    const std::vector<std::string> &keptAside() const noexcept { return keptAside_; }
    void keepAside(std::string path) { keptAside_.push_back(std::move(path)); }

private:
    FileOperation operation_;
    std::string path_;
    std::string reason_;
    std::vector<std::string> keptAside_;
};

} // namespace tovik
