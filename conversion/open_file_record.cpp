#include "open_file_record.h"

#include <algorithm>
#include <vector>

namespace tovik {

namespace {

// One element for every open handle: a file open twice is in it twice.
std::vector<FileId> &openFiles()
{
    static std::vector<FileId> ids;
    return ids;
}

} // namespace

OpenFileRecord::Entry::Entry(FileId id)
    : id_(id)
{
    openFiles().push_back(id);
}

OpenFileRecord::Entry &OpenFileRecord::Entry::operator=(Entry &&other) noexcept
{
    if (this != &other) {
        release();
        id_ = std::exchange(other.id_, {});
    }
    return *this;
}

OpenFileRecord::Entry::~Entry()
{
    release();
}

void OpenFileRecord::Entry::release() noexcept
{
    if (!id_)
        return;
    std::vector<FileId> &ids = openFiles();
    ids.erase(std::find(ids.begin(), ids.end(), *id_));
    id_.reset();
}

bool OpenFileRecord::contains(FileId id)
{
    const std::vector<FileId> &ids = openFiles();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace tovik
