#include "native_file.h"

// The parts both platforms share: the test seam, which costs a program that
// never sets it one test of a flag per call.

namespace tovik {

namespace {

bool counting = false;
unsigned failingCall = 0;
std::vector<std::string> callsCounted;
std::optional<FileError> failureMade;

} // namespace

void NativeFile::failCall(unsigned k)
{
    counting = true;
    failingCall = k;
    callsCounted.clear();
    failureMade.reset();
}

const std::vector<std::string> &NativeFile::countedCalls()
{
    return callsCounted;
}

std::optional<FileError> NativeFile::injectedFailure()
{
    return failureMade;
}

void NativeFile::countCall(const char *call, FileOperation operation, const std::string &path)
{
    if (!counting)
        return;
    callsCounted.push_back(call + (' ' + path));
    if (callsCounted.size() != failingCall)
        return;
    failureMade.emplace(operation, path, "Input/output error");
    throw *failureMade;
}

} // namespace tovik
