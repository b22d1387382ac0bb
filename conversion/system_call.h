#pragma once

// The twins' table of system calls, in the way of SQLite's aSyscall[]: every
// call that reads or changes a file or a folder, or locks one, is made
// through an entry that names it, so the test seam
// (NativeFile::setFaultHook) is asked in this one place, before the call,
// with that name and the call's path. Left out: looking at a name (stat,
// GetFileAttributesW), and on Windows the hidden attribute, which changes
// only how a file looks and whose failure is let pass.
// When the seam returns an error, the call fails as the system fails one:
// it returns `failed` with that error as errno or GetLastError(), and is
// not made, unless it frees what it is given whatever its outcome, as a
// close does.

#include <string>
#include <system_error>
#include <type_traits>

namespace tovik {

// The seam's error for `call` on `path`; none when no hook is set.
std::error_code seamFault(const char *call, const std::string &path);
// Sets the system's last error, as the twin's calls do: errno, or
// SetLastError().
void setLastSystemError(std::error_code error) noexcept;

// Whether a call the seam fails is made all the same.
enum class OnFault { Skip, MakeAnyway };

template<typename Result, typename... Args>
class SystemCall
{
public:
    SystemCall(const char *name, Result (*call)(Args...), std::type_identity_t<Result> failed,
               OnFault onFault = OnFault::Skip)
        : name_(name)
        , call_(call)
        , failed_(failed)
        , onFault_(onFault)
    {
    }

    Result operator()(const std::string &path, Args... args) const
    {
        const std::error_code fault = seamFault(name_, path);
        if (!fault)
            return call_(args...);
        if (onFault_ == OnFault::MakeAnyway)
            call_(args...);
        setLastSystemError(fault);
        return failed_;
    }

private:
    const char *name_;
    Result (*call_)(Args...);
    Result failed_;
    OnFault onFault_;
};

} // namespace tovik
