#include "native_file.h"

#include "system_call.h"

#include <utility>

// The parts both platforms share: owning the descriptor or handle, and the
// test seam, which costs a program that never sets it one test per call.

namespace tovik {

namespace {

std::function<std::error_code(const std::string &call)> faultHook;

} // namespace

NativeFile::Native::Native(Native &&other) noexcept
    : value_(other.release())
{
}

NativeFile::Native &NativeFile::Native::operator=(Native &&other) noexcept
{
    if (this != &other) {
        if (isOpen())
            closeQuietly(value_);
        value_ = other.release();
    }
    return *this;
}

NativeFile::Native::~Native()
{
    if (isOpen())
        closeQuietly(value_);
}

std::intptr_t NativeFile::Native::release() noexcept
{
    return std::exchange(value_, -1);
}

void NativeFile::setFaultHook(std::function<std::error_code(const std::string &call)> hook)
{
    faultHook = std::move(hook);
}

std::error_code seamFault(const char *call, const std::string &path)
{
    return faultHook ? faultHook(call + (' ' + path)) : std::error_code();
}

} // namespace tovik
