#include "text_files.h"

#include <cerrno>
#include <system_error>

namespace tovik {

void deleteFile(const std::string &path)
{
    if (!NativeFile::remove(path))
        throw FileError(FileOperation::Delete, path, std::generic_category().message(ENOENT));
}

} // namespace tovik
