#include "native_file.h"

// The parts both platforms share: the test seam, which costs a program that
// never sets it one test of a flag per call.

namespace tovik {

namespace {

bool counting = false;
unsigned failingCall = 0;
std::vector<std::string> callsCounted;

} // namespace

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
