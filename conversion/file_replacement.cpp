#include "file_replacement.h"

#include "native_file.h"

#include <algorithm>
#include <stdexcept>

namespace tovik {

namespace {

// Beside the file, hidden, and named for this program so that no file of
// the user's is ever taken for one of them.
std::string besideWithSuffix(const std::string &path, const char *suffix)
{
    const std::string::size_type slash = path.find_last_of('/') + 1;
    return path.substr(0, slash) + '.' + path.substr(slash) + suffix;
}

// Every step of replacing a file fails as replacing that file, whatever
// name the step was on.
template<typename Step>
decltype(auto) replacing(const std::string &path, Step step)
{
    return doing(FileOperation::Replace, path, step);
}

// Whether `step` went through, for a step whose failure is no failure of
// the switch.
template<typename Step>
bool quietly(Step step) noexcept
{
    try {
        step();
        return true;
    } catch (const SystemCallError &) {
        return false;
    }
}

bool removeQuietly(const std::string &path) noexcept
{
    return quietly([&] { NativeFile::remove(path); });
}

} // namespace

FileReplacement::FileReplacement(std::vector<std::string> paths)
    : record_(besideWithSuffix(paths.at(0), ".tovik-commit"))
{
    for (std::string &path : paths) {
        replacing(path, [&] { NativeFile::checkReplaceable(path); });
        files_.push_back({path, besideWithSuffix(path, ".tovik-new"),
                          besideWithSuffix(path, ".tovik-old")});
    }
}

FileReplacement::~FileReplacement()
{
    if (switching_)
        return;
    for (const File &file : files_) {
        if (file.handedOut)
            removeQuietly(file.newName);
    }
}

void FileReplacement::recover()
{
    const std::string &first = files_.front().path;
    bool committed = false;
    replacing(first, [&] { committed = NativeFile::exists(record_); });
    if (committed) {
        rollForward();
    } else {
        // The switch never began, or ended with only its tidying left. A
        // backup is dropped where its new version holds the name, and goes
        // back where the name is free.
        for (const File &file : files_) {
            replacing(file.path, [&] {
                NativeFile::remove(file.newName);
                if (!NativeFile::exists(file.oldName))
                    return;
                if (NativeFile::exists(file.path))
                    NativeFile::remove(file.oldName);
                else
                    NativeFile::rename(file.oldName, file.path);
            });
        }
    }
    // What this run and the one before it left is on the disk before any
    // new version is made: a record whose removal a power cut lost would
    // otherwise speak for new versions not yet written.
    replacing(first, [&] { NativeFile::syncFolder(first); });
}

NativeFile FileReplacement::createNewVersionOf(const std::string &path)
{
    const auto file = std::find_if(files_.begin(), files_.end(),
                                   [&](const File &f) { return f.path == path; });
    if (file == files_.end())
        throw std::invalid_argument("not a file being replaced: " + path);
    file->handedOut = true;
    return replacing(path, [&] { return NativeFile::createNew(file->newName, path); });
}

void FileReplacement::commit()
{
    const std::string &first = files_.front().path;
    // The new versions' names reach the disk before the record saying that
    // they are complete.
    replacing(first, [&] { NativeFile::syncFolder(first); });
    switching_ = true;
    try {
        // And the record reaches the disk before any name it speaks for
        // changes: a power cut may keep a rename and lose a folder change
        // made before it.
        replacing(first, [&] {
            NativeFile::createNew(record_).close();
            NativeFile::syncFolder(first);
        });
        for (File &file : files_) {
            replacing(file.path, [&] {
                if (NativeFile::exists(file.path)) {
                    NativeFile::rename(file.path, file.oldName);
                    file.movedAside = true;
                }
                NativeFile::rename(file.newName, file.path);
                file.placed = true;
            });
        }
        replacing(first, [&] { NativeFile::syncFolder(first); });
    } catch (FileError &failure) {
        if (undo() && removeQuietly(record_)) {
            // The new versions go once the record's removal is on the disk:
            // a record that a power cut kept would roll forward what is left
            // of them. Else the next run removes them.
            if (quietly([&] { NativeFile::syncFolder(first); })) {
                for (const File &file : files_)
                    removeQuietly(file.newName);
            }
            throw;
        }
        // The record stays, and with it the new versions as the outcome.
        try {
            rollForward();
            return;
        } catch (const FileError &) {
            for (const File &file : files_) {
                if (file.movedAside)
                    failure.keepAside(file.oldName);
            }
        }
        throw;
    }
    tidy();
}

// Back to where the switch began: the old files under their names, the
// new versions under theirs, the record still there. The new versions are
// back under their names, on the disk, before any old file takes its name
// back: a power cut that kept the old file's move and lost the new
// version's would lose a new version that the record still speaks for.
bool FileReplacement::undo() noexcept
{
    const std::string &first = files_.front().path;
    return quietly([&] {
        for (File &file : files_) {
            if (file.placed)
                NativeFile::rename(file.path, file.newName);
            file.placed = false;
        }
        NativeFile::syncFolder(first);
        for (File &file : files_) {
            if (file.movedAside)
                NativeFile::rename(file.oldName, file.path);
            file.movedAside = false;
        }
    });
}

void FileReplacement::rollForward()
{
    const std::string &first = files_.front().path;
    for (const File &file : files_) {
        replacing(file.path, [&] {
            if (NativeFile::exists(file.newName))
                NativeFile::rename(file.newName, file.path);
        });
    }
    replacing(first, [&] { NativeFile::syncFolder(first); });
    tidy();
}

// The backups go before the record, which has the next run remove any
// that stay.
void FileReplacement::tidy() noexcept
{
    bool tidied = true;
    for (const File &file : files_)
        tidied = removeQuietly(file.oldName) && tidied;
    if (tidied)
        removeQuietly(record_);
}

} // namespace tovik
