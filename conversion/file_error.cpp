#include "file_error.h"

#include <array>

namespace tovik {

const char *verbOf(FileOperation operation) noexcept
{
    static constexpr std::array kVerbs{"open",  "read",   "create", "write",
                                       "close", "delete", "replace"};
    return kVerbs[static_cast<std::size_t>(operation)];
}

FileError::FileError(FileOperation operation, std::string path, std::string reason)
    : std::runtime_error(verbOf(operation) + (" \"" + path + "\": " + reason))
    , operation_(operation)
    , path_(std::move(path))
    , reason_(std::move(reason))
{
}

} // namespace tovik
