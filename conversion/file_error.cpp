#include "file_error.h"

#include <array>

namespace tovik {

namespace {

std::string describe(FileOperation operation, const std::string &path, const std::string &reason)
{
    static constexpr std::array kVerbs{"open",  "read",   "create", "write",
                                       "close", "delete", "replace"};
    return std::string(kVerbs[static_cast<std::size_t>(operation)]) + " \"" + path
            + "\": " + reason;
}

} // namespace

FileError::FileError(FileOperation operation, std::string path, std::string reason)
    : std::runtime_error(describe(operation, path, reason))
    , operation_(operation)
    , path_(std::move(path))
    , reason_(std::move(reason))
{
}

} // namespace tovik
