// Start-up time of the program against a bare Qt main window: from starting
// the process until its window has been shown and painted, offscreen.
//
// Both probes are started the same way and report the moment their window
// is exposed through the same hook (startup_probe_hook.cpp). The program's
// probe is built from qt/main.cpp itself with the window library, the
// others from the same main() with a bare QMainWindow, with and without one
// line of text. Each iteration starts all of them, the program in turns
// first and last, so that drifting load falls on all alike.

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Seconds from spawning `probe` until it reports its window shown.
double secondsToShown(const char *probe)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    char *argv[] = {const_cast<char *>(probe), nullptr};
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = ::posix_spawn(&pid, probe, &actions, nullptr, argv, environ);
    ::close(pipeEnds[1]);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        throw std::runtime_error(std::string(probe) + ": " + std::strerror(spawned));
    }

    char shown = 0;
    const ssize_t got = ::read(pipeEnds[0], &shown, 1);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (got != 1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string(probe) + " did not report its window shown");
    return elapsed.count();
}

void BM_StartupUntilShown(benchmark::State &state)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    double program = 0;
    double bare = 0;
    double text = 0;
    try {
        // Once each beforehand, so that all find the caches warm.
        secondsToShown(TOVIK_STARTUP_PROBE);
        secondsToShown(BARE_STARTUP_PROBE);
        secondsToShown(TEXT_STARTUP_PROBE);
        bool programFirst = false;
        for (auto _ : state) {
            programFirst = !programFirst;
            if (programFirst)
                program += secondsToShown(TOVIK_STARTUP_PROBE);
            bare += secondsToShown(BARE_STARTUP_PROBE);
            text += secondsToShown(TEXT_STARTUP_PROBE);
            if (!programFirst)
                program += secondsToShown(TOVIK_STARTUP_PROBE);
        }
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["tovik_ms"] = program / runs * 1e3;
    state.counters["bare_ms"] = bare / runs * 1e3;
    state.counters["ratio"] = program / bare;
    state.counters["text_ms"] = text / runs * 1e3;
    state.counters["ratio_to_text"] = program / text;
}
BENCHMARK(BM_StartupUntilShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

} // namespace
