#include "converter_process.h"

#include "channel_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

ConverterProcess::~ConverterProcess()
{
    if (process_ != -1) {
        kill();
        wait();
    }
}

#ifdef _WIN32

namespace {

constexpr UINT kKilledStatus = 0xDEAD;

std::wstring widened(const std::string &text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      wide.data(), static_cast<int>(wide.size())));
    return wide;
}

} // namespace

ConverterProcess::ConverterProcess(const std::string &inputPath)
{
    wchar_t self[32768];
    ::GetModuleFileNameW(nullptr, self, 32768);
    std::wstring command
            = L"\"" + std::wstring(self) + L"\" --convert \"" + widened(inputPath) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
        ADD_FAILURE() << "cannot start a second process";
        return;
    }
    ::CloseHandle(started.hThread);
    process_ = reinterpret_cast<long long>(started.hProcess);
}

void ConverterProcess::kill()
{
    ::TerminateProcess(reinterpret_cast<HANDLE>(process_), kKilledStatus);
}

ConverterProcess::Status ConverterProcess::wait()
{
    const auto process = reinterpret_cast<HANDLE>(process_);
    DWORD status = Failed;
    if (process_ == -1 || ::WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0
        || !::GetExitCodeProcess(process, &status))
        return Failed;
    ::CloseHandle(process);
    process_ = -1;
    return status == kKilledStatus ? Killed : static_cast<Status>(status);
}

#else

ConverterProcess::ConverterProcess(const std::string &inputPath)
{
    char *argv[] = {const_cast<char *>("conversion_tests"), const_cast<char *>("--convert"),
                    const_cast<char *>(inputPath.c_str()), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) == 0)
        process_ = pid;
    else
        ADD_FAILURE() << "cannot start a second process";
}

void ConverterProcess::kill()
{
    ::kill(static_cast<pid_t>(process_), SIGKILL);
}

ConverterProcess::Status ConverterProcess::wait()
{
    int status = 0;
    if (process_ == -1 || ::waitpid(static_cast<pid_t>(process_), &status, 0) < 0)
        return Failed;
    process_ = -1;
    if (WIFSIGNALED(status))
        return Killed;
    return static_cast<Status>(WEXITSTATUS(status));
}

#endif

int ConverterProcess::convert(const char *inputPath)
{
    const auto failure = tovik::ConvertToChannels(inputPath);
    if (!failure)
        return Converted;
    const std::string what = failure->file ? failure->file->what() : "over a limit";
    if (what == "create \"Convert.txt\": it is in use by another conversion")
        return InUse;
    std::fprintf(stderr, "%s\n", what.c_str());
    return Failed;
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--convert")
        return ConverterProcess::convert(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
