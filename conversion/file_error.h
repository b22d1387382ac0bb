#pragma once

// Failures as data. NativeFile reports the system call that failed, on
// which path, and why (SystemCallError); the code that knows what the user
// asked for names that as the operation on the user's file (FileError), in
// one place each: reading the input, writing a file, replacing the
// channels. The words for the user are made from these at the window's
// edge.

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
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

// Why a file could not be used: the system's error (an errno, or a Windows
// error code), or else one of the program's own refusals.
struct FileReason
{
    FileReason(std::error_code error)
        : error(error)
    {
    }
    FileReason(Refusal refusal)
        : refusal(refusal)
    {
    }

    std::error_code error;
    std::optional<Refusal> refusal;
};

// A call of NativeFile's that failed: which call ("create", "rename"...,
// the names the test seam knows them by), on which path, and why.
class SystemCallError : public std::exception
{
public:
    SystemCallError(const char *call, std::string path, FileReason reason)
        : call_(call)
        , path_(std::move(path))
        , reason_(reason)
    {
    }

    const char *call() const noexcept { return call_; }
    const std::string &path() const noexcept { return path_; }
    const FileReason &reason() const noexcept { return reason_; }
    const char *what() const noexcept override { return "a system call failed"; }

private:
    const char *call_;
    std::string path_;
    FileReason reason_;
};

// A failed operation on one of the user's files: which, on which path, and
// why.
class FileError : public std::exception
{
public:
    FileError(FileOperation operation, std::string path, FileReason reason)
        : operation_(operation)
        , path_(std::move(path))
        , reason_(reason)
    {
    }

    FileOperation operation() const noexcept { return operation_; }
    const std::string &path() const noexcept { return path_; }
    // The system's error; none for a refusal of the program's own.
    std::error_code error() const noexcept { return reason_.error; }
    std::optional<Refusal> refusal() const noexcept { return reason_.refusal; }
    const char *what() const noexcept override { return "a file operation failed"; }

    // Where the earlier version of a file is kept when, after this
    // failure, it could not be put back under its own name: the only copy
    // of it, for the user to find.
    const std::vector<std::string> &keptAside() const noexcept { return keptAside_; }
    void keepAside(std::string path) { keptAside_.push_back(std::move(path)); }

private:
    FileOperation operation_;
    std::string path_;
    FileReason reason_;
    std::vector<std::string> keptAside_;
};

// Runs `step`, a part of `operation` on `path`: a system call failing in it
// fails as that operation, on that path.
template<typename Step>
decltype(auto) doing(FileOperation operation, const std::string &path, Step &&step)
{
    try {
        return step();
    } catch (const SystemCallError &failure) {
        throw FileError(operation, path, failure.reason());
    }
}

} // namespace tovik
