#include "file_replacement.h"

#include "native_file.h"

#include <algorithm>
#include <stdexcept>

namespace tovik {

namespace {

// Beside the file, hidden on POSIX, and named for this program so that no
// file of the user's is ever taken for one of them.
std::string besideWithSuffix(const std::string &path, const char *suffix)
{
    const std::string::size_type slash = path.find_last_of('/') + 1;
    return path.substr(0, slash) + '.' + path.substr(slash) + suffix;
}

std::string newName(const std::string &path)
{
    return besideWithSuffix(path, ".tovik-new");
}

std::string oldName(const std::string &path)
{
    return besideWithSuffix(path, ".tovik-old");
}

void removeQuietly(const std::string &path) noexcept
{
    try {
        NativeFile::remove(path);
    } catch (const FileError &) {
    }
}

} // namespace

FileReplacement::FileReplacement(std::vector<std::string> paths)
{
    for (std::string &path : paths) {
        NativeFile::checkReplaceable(path);
        files_.push_back({std::move(path)});
    }
}

FileReplacement::~FileReplacement()
{
    if (committed_)
        return;
    for (const File &file : files_) {
        if (file.handedOut) {
            removeQuietly(newName(file.path));
            removeQuietly(oldName(file.path));
        }
    }
}

std::string FileReplacement::newVersionOf(const std::string &path)
{
    const auto file = std::find_if(files_.begin(), files_.end(),
                                   [&](const File &f) { return f.path == path; });
    if (file == files_.end())
        throw std::invalid_argument("not a file being replaced: " + path);
    file->handedOut = true;
    return newName(path);
}

void FileReplacement::commit()
{
    // Each old file keeps a second name until all the new ones are in
    // place, so that a failure on the way can put it back.
    std::size_t placed = 0;
    try {
        for (File &file : files_) {
            NativeFile::remove(oldName(file.path)); // left by a killed run
            file.keptOld = NativeFile::link(file.path, oldName(file.path));
        }
        for (; placed < files_.size(); ++placed)
            NativeFile::rename(newName(files_[placed].path), files_[placed].path);
        NativeFile::syncFolder(files_.front().path);
    } catch (const FileError &) {
        for (std::size_t i = 0; i < files_.size(); ++i) {
            const File &file = files_[i];
            try {
                if (i < placed && file.keptOld)
                    NativeFile::rename(oldName(file.path), file.path);
                else if (i < placed)
                    NativeFile::remove(file.path);
            } catch (const FileError &) {
                // The first failure is the one reported.
            }
            removeQuietly(oldName(file.path));
        }
        throw;
    }
    committed_ = true;
    for (const File &file : files_)
        NativeFile::remove(oldName(file.path));
}

} // namespace tovik
