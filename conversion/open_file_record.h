#pragma once

#include "native_file.h"

#include <optional>
#include <utility>

namespace tovik {

// The files this program has open right now, by identity. Before a writer
// empties a file it asks here, so that a file being read (by its own name,
// or by another name for the same file) is refused rather than lost.
class OpenFileRecord
{
public:
    // Keeps `id` in the record for as long as it lives.
    class Entry
    {
    public:
        Entry() = default;
        explicit Entry(FileId id);
        Entry(Entry &&other) noexcept
            : id_(std::exchange(other.id_, {}))
        {
        }
        Entry &operator=(Entry &&other) noexcept;
        ~Entry();

    private:
        void release() noexcept;

        std::optional<FileId> id_;
    };

    static bool contains(FileId id);
};

} // namespace tovik
