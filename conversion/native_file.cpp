#include "native_file.h"

#include <utility>

// The parts both platforms share: owning the descriptor or handle, and the
// test seam, which costs a program that never sets it one test of a flag per
// call.

namespace tovik {

namespace {

bool counting = false;
unsigned failingCall = 0;
std::vector<std::string> callsCounted;

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

void NativeFile::failCall(unsigned k)
{
    counting = true;
    failingCall = k;
    callsCounted.clear();
}

const std::vector<std::string> &NativeFile::countedCalls()
{
    return callsCounted;
}

bool NativeFile::failsNow(const char *call, const std::string &path)
{
    if (!counting)
        return false;
    callsCounted.push_back(call + (' ' + path));
    return callsCounted.size() == failingCall;
}

} // namespace tovik
