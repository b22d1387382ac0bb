#include "native_file.h"

#include <utility>

// The parts both platforms share: owning the descriptor or handle, and the
// test seam, which costs a program that never sets it one test per call.

namespace tovik {

namespace {

std::function<bool(const std::string &call)> faultHook;

} // namespace

NativeFile::NativeFile(NativeFile &&other) noexcept
    : native_(std::exchange(other.native_, -1))
    , id_(other.id_)
    , path_(std::move(other.path_))
    , writable_(other.writable_)
{
}

NativeFile &NativeFile::operator=(NativeFile &&other) noexcept
{
    if (this != &other) {
        if (isOpen())
            closeQuietly(native_);
        native_ = std::exchange(other.native_, -1);
        id_ = other.id_;
        path_ = std::move(other.path_);
        writable_ = other.writable_;
    }
    return *this;
}

NativeFile::~NativeFile()
{
    if (isOpen())
        closeQuietly(native_);
}

void NativeFile::setFaultHook(std::function<bool(const std::string &call)> hook)
{
    faultHook = std::move(hook);
}

bool NativeFile::failsNow(const char *call, const std::string &path)
{
    return faultHook && faultHook(call + (' ' + path));
}

} // namespace tovik
