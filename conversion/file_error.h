#pragma once

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tovik {

// What the program was doing to a file when it failed, as the user would
// put it: CH1.txt is "replaced" even though that takes a rename.
enum class FileOperation { Open, Read, Create, Write, Close, Delete, Replace };

// Why the program itself refuses a file, where the system would not.
enum class Refusal {
    NotRegular, // a folder, FIFO, device, socket or pipe
    SymbolicLink, // or, on Windows, a junction
    HardLink, // the file has another name too, which would change with it
    ReadOnly,
    InUseByConversion, // another conversion holds the folder
    InUseByProgram, // Windows: held open by a program that shares it with no one
    BeingConverted, // it is the input
    EndedEarly, // Convert.txt ended before its last symbol
};

// A failed file operation, as data: which operation, on which path, and
// why: the system's error (an errno, or a Windows error code) or one of the
// program's own refusals. The words for the user are made from these at
// the window's edge.
class FileError : public std::exception
{
public:
    FileError(FileOperation operation, std::string path, std::error_code error);
    FileError(FileOperation operation, std::string path, Refusal refusal);
    // The same reason, as the failure of another operation on another path.
    FileError(FileOperation operation, std::string path, const FileError &cause);

    FileOperation operation() const noexcept { return operation_; }
    const std::string &path() const noexcept { return path_; }
    // The system's error; none for a refusal of the program's own.
    std::error_code error() const noexcept { return error_; }
    std::optional<Refusal> refusal() const noexcept { return refusal_; }
    const char *what() const noexcept override { return "a file operation failed"; }

    // Where the earlier version of a file is kept when, after this
    // failure, it could not be put back under its own name: the only copy
    // of it, for the user to find.
    const std::vector<std::string> &keptAside() const noexcept { return keptAside_; }
    void keepAside(std::string path) { keptAside_.push_back(std::move(path)); }

private:
    FileOperation operation_;
    std::string path_;
    std::error_code error_;
    std::optional<Refusal> refusal_;
    std::vector<std::string> keptAside_;
};

} // namespace tovik
