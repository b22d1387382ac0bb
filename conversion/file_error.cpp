#include "file_error.h"

namespace tovik {

FileError::FileError(FileOperation operation, std::string path, std::error_code error)
    : operation_(operation)
    , path_(std::move(path))
    , error_(error)
{
}

FileError::FileError(FileOperation operation, std::string path, Refusal refusal)
    : operation_(operation)
    , path_(std::move(path))
    , refusal_(refusal)
{
}

FileError::FileError(FileOperation operation, std::string path, const FileError &cause)
    : operation_(operation)
    , path_(std::move(path))
    , error_(cause.error_)
    , refusal_(cause.refusal_)
{
}

} // namespace tovik
