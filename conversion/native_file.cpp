#include "native_file.h"

// The parts both platforms share: the test seam.

namespace tovik {

namespace {

unsigned failingCall = 0;
unsigned callsCounted = 0;
std::optional<FileError> failureMade;

} // namespace

void NativeFile::failCall(unsigned k)
{
    failingCall = k;
    callsCounted = 0;
    failureMade.reset();
}

unsigned NativeFile::countedCalls()
{
    return callsCounted;
}

std::optional<FileError> NativeFile::injectedFailure()
{
    return failureMade;
}

void NativeFile::countCall(FileOperation operation, const std::string &path)
{
    if (++callsCounted != failingCall)
        return;
    failureMade.emplace(operation, path, "Input/output error");
    throw *failureMade;
}

} // namespace tovik
