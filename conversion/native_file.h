#pragma once

// Every call the conversion makes to the file system goes through this one
// class. It has two twins, native_file_posix.cpp and
// native_file_windows.cpp; everything above it is portable.
//
// Paths are UTF-8. Failures throw SystemCallError: the call, its path, and
// the system's own error (errno, or a Windows error code) or one of the
// program's refusals. What the call was part of, the caller says.
//
// The rules that keep a user's files safe are kept here:
// - Only regular files are read or written, and nothing is opened in a way
//   that could block: a FIFO or a device is refused, never waited on.
// - Nothing is written through a link: a file opened for writing that is a
//   symbolic link is refused, one with a second name (a hard link) is
//   refused too, or on POSIX replaced by a file of its own, and rename()
//   replaces a link itself, not its target.
// - A file open for writing is locked against every other process that
//   opens it for writing (POSIX: an advisory lock; Windows: share modes).
//   The lock is what makes one conversion per folder.
// - A new version of a file is never more open than the file it replaces.

#include "file_error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace tovik {

// A file's identity, whatever name it is opened by: device and inode, or
// volume serial number and file index.
struct FileId
{
    unsigned long long volume = 0;
    unsigned long long index = 0;
    bool operator==(const FileId &) const = default;
};

class NativeFile
{
public:
    NativeFile() = default;

    // An existing regular file, for reading. A link to one is followed.
    static NativeFile openToRead(const std::string &path);
    // A regular file for writing, created if missing but not emptied (see
    // truncate()), never through a link, and locked until closed. Another
    // process's lock on it fails at once: Refusal::InUseByConversion.
    static NativeFile openToWrite(const std::string &path);
    // A file for writing that did not exist before, never one reached
    // through a name already there; on Windows hidden when its name starts
    // with a dot, as it is on POSIX. When `replacing` names a regular file,
    // the new one takes its permissions (POSIX: its mode and group;
    // Windows: its access control list), and is never more open than it.
    static NativeFile createNew(const std::string &path, const std::string &replacing = {});

    bool isOpen() const noexcept { return native_.isOpen(); }
    FileId id() const noexcept { return id_; }
    const std::string &path() const noexcept { return path_; }

    // Up to `size` bytes; 0 at the end of the file.
    std::size_t read(char *data, std::size_t size);
    // All `size` bytes.
    void write(const char *data, std::size_t size);
    // Empties the file.
    void truncate();
    // Everything written is on the disk.
    void sync();
    // Closes, reporting a failed close; does nothing when not open. A file
    // destroyed open is closed without a word.
    void close();

    // Fails unless `path` is missing or a name that rename() could replace
    // without loss: a writable regular file or, on POSIX, a symbolic link.
    static void checkReplaceable(const std::string &path);
#ifdef _WIN32
    // Whether a name listed with these attributes and this reparse tag (as
    // FindFirstFileW gives them) is a link to something else: a symbolic
    // link, a junction, a mount point. A file that merely carries some
    // other reparse point, like a OneDrive placeholder in a synced Documents
    // folder, is the user's file itself, and is replaced like any other.
    static bool isLink(unsigned long attributes, unsigned long reparseTag);
#endif
    // Whether the name `path` is there, whatever it names.
    static bool exists(const std::string &path);
    // Moves `from` to `to`, replacing whatever `to` names (a link itself,
    // never its target). On Windows a file moved to a name with a leading
    // dot is hidden, and one moved from such a name to another shown.
    // Fails on `to`.
    static void rename(const std::string &from, const std::string &to);
    // Removes the name `path` (a link itself, never its target). Returns
    // false when there is no such name.
    static bool remove(const std::string &path);
    // Makes the names made and changed in the folder holding `path`
    // durable.
    static void syncFolder(const std::string &path);

    // Where a path with no folder of its own is looked for: the working
    // folder, absolute and in the system's own form (/home/ana/data,
    // C:\Users\ana\Documents), and whether it still exists. Nothing for a
    // path that names its folder.
    struct Folder
    {
        std::string path; // empty when even its name is lost
        bool gone = false;
    };
    static std::optional<Folder> folderOf(const std::string &path);

    // The system's own words for `error`, in the user's language.
    static std::string systemWords(std::error_code error);

    // A test seam in the way of SQLite's I/O error tests: `hook` is asked
    // before every call of the twin's table (system_call.h), as "sync
    // .CH1.txt.tovik-new" (a rename names both paths, and on Windows ends in
    // " through" when written through), and an error it returns fails the
    // call as the system would. An empty hook, the default, is never asked.
    static void setFaultHook(std::function<std::error_code(const std::string &call)> hook);

private:
    // Owns a descriptor, or a HANDLE; -1 is "not open" for both.
    class Native
    {
    public:
        explicit Native(std::intptr_t value = -1) noexcept
            : value_(value)
        {
        }
        Native(Native &&other) noexcept;
        Native &operator=(Native &&other) noexcept;
        ~Native();

        bool isOpen() const noexcept { return value_ != -1; }
        std::intptr_t get() const noexcept { return value_; }
        std::intptr_t release() noexcept;

    private:
        std::intptr_t value_;
    };

    NativeFile(Native native, FileId id, std::string path, bool writable)
        : native_(std::move(native))
        , id_(id)
        , path_(std::move(path))
        , writable_(writable)
    {
    }

    // The twin's own close, for a file closed without a word.
    static void closeQuietly(std::intptr_t native) noexcept;

    Native native_;
    FileId id_;
    std::string path_;
    bool writable_ = false;
};

} // namespace tovik
