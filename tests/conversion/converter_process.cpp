#include "converter_process.h"

#include "channel_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ConverterProcess::ConverterProcess(const std::string &inputPath)
{
    const std::string self = "/proc/self/exe";
    char *argv[] = {const_cast<char *>("conversion_tests"), const_cast<char *>("--convert"),
                    const_cast<char *>(inputPath.c_str()), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) == 0)
        process_ = pid;
    else
        ADD_FAILURE() << "cannot start a second process";
}

ConverterProcess::~ConverterProcess()
{
    if (process_ >= 0) {
        kill();
        wait();
    }
}

void ConverterProcess::kill()
{
    ::kill(static_cast<pid_t>(process_), SIGKILL);
}

ConverterProcess::Status ConverterProcess::wait()
{
    int status = 0;
    if (process_ < 0 || ::waitpid(static_cast<pid_t>(process_), &status, 0) < 0)
        return Failed;
    process_ = -1;
    if (WIFSIGNALED(status))
        return Killed;
    return static_cast<Status>(WEXITSTATUS(status));
}

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
