#pragma once

// Replaces a set of files all together, or not at all.
//
// The new version of each file is written under a temporary name beside it
// ("CH1.txt" is written as ".CH1.txt.tovik-new"), and commit() puts them in
// place only once all are complete and on the disk. Until then, and after
// any failure, the old files stay exactly as they were and the temporary
// files are removed. A program killed midway leaves each file either old
// or new, never torn; what it leaves behind under the temporary names is
// replaced and removed by the next run.
//
// A file is replaced by renaming over it: a link there is replaced itself,
// never written through.

#include <string>
#include <vector>

namespace tovik {

class FileReplacement
{
public:
    // Fails at once for a path that could not be replaced (a folder, a
    // FIFO, a read-only file), before anything is written.
    explicit FileReplacement(std::vector<std::string> paths);
    // Unless committed, removes the temporary files of those handed out,
    // and any a killed run left under their names.
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Where to write the new version of `path`, one of those given.
    std::string newVersionOf(const std::string &path);
    void commit();

private:
    struct File
    {
        std::string path;
        bool handedOut = false;
        bool keptOld = false;
    };

    std::vector<File> files_;
    bool committed_ = false;
};

} // namespace tovik
