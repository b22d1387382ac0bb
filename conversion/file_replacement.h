#pragma once

// Replaces a set of files in one folder all together, or not at all, even
// when the program is killed or the power fails midway: SQLite's hot
// journal, made small.
//
// The new version of each file is written beside it under a name of its
// own, created afresh ("CH1.txt" is written as ".CH1.txt.tovik-new"), and
// put on the disk. commit() then makes those names durable and creates the
// commit record, ".CH1.txt.tovik-commit" beside the first file, also on the
// disk before anything else changes: from then on the new versions are the
// outcome. Each old file moves aside to its backup name
// (".CH1.txt.tovik-old") and its new version takes its place; once all are
// in place, and durably so, the backups go, and the record last.
//
// A kill or a power cut leaves the record to say which way to go:
// recover(), which the next run calls before anything else, finishes the
// switch when it finds the record. Without it the switch never began, or
// had ended with only its tidying cut short: the new versions go, and so
// does a backup whose new version holds its name; one whose name is free
// is the only copy of an old file, and goes back. A failure within
// commit() undoes every step it took and then removes the record, so the
// folder is as it was; if a step cannot be undone, or the record not
// removed, the switch is finished instead. A backup is never removed
// before every new version is in place: one that is still needed when
// commit() fails is noted in the failure (FileError::keptAside).
//
// A file is replaced by renaming over it: a link there is replaced itself,
// never written through, and no file is ever reached through a name that
// was already there.

#include "native_file.h"

#include <string>
#include <vector>

namespace tovik {

class FileReplacement
{
public:
    // Fails at once for a path that could not be replaced (a folder, a
    // FIFO, a read-only file), before anything is written.
    explicit FileReplacement(std::vector<std::string> paths);
    // Unless commit() began, removes the new versions handed out.
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Finishes or undoes what a killed run left of replacing these files,
    // and clears its names. Call it first, with the folder locked against
    // other runs.
    void recover();
    // Creates the new version of `path`, one of those given, under a name
    // of its own, with the permissions of the file it is to replace.
    NativeFile createNewVersionOf(const std::string &path);
    // Puts all the new versions in place, each complete and on the disk.
    void commit();

private:
    struct File
    {
        std::string path, newName, oldName;
        bool handedOut = false;
        bool movedAside = false; // the old file is under oldName
        bool placed = false; // the new version is under path
    };

    bool undo() noexcept;
    void rollForward();
    void tidy() noexcept;

    std::vector<File> files_;
    std::string record_;
    bool switching_ = false;
};

} // namespace tovik
