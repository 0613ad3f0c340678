// The whole program: from starting the process to the main window shown and its card list
// filled (the program says "filled" when asked to by LOREWICK_QUIT_AFTER_FILL, then ends),
// offscreen, beside a bare Qt program that shows one window; and the peak resident memory
// of the run. Each run is a new process; it inherits the benchmark's private runtime and
// settings folders, so it meets no running instance.
#include "support/BenchData.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct TStartRun {
    double SecondsToFilled = -1; // from the spawn to the program saying "filled"
    long PeakKiB = -1;           // the peak resident memory of the whole run
};

// Starts the program with its standard output on a pipe, waits up to 30 seconds for it to
// say "filled", then for its end (a program that does neither in time is killed).
TStartRun Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen",
                                            "LOREWICK_QUIT_AFTER_FILL=1"};
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    TStartRun run;
    int output[2];
    if (pipe(output) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid;
    const bool spawned =
        posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (!spawned) {
        close(output[0]);
        return run;
    }
    pollfd ready{output[0], POLLIN, 0};
    char said[16] = {};
    if (poll(&ready, 1, 30000) == 1 && read(output[0], said, sizeof said - 1) > 0 &&
        std::string_view(said).substr(0, 6) == "filled")
        run.SecondsToFilled =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    close(output[0]);

    int status = 0;
    rusage usage{};
    for (int waited = 0; wait4(pid, &status, WNOHANG, &usage) == 0; ++waited) {
        if (waited == 30000)
            kill(pid, SIGKILL);
        usleep(1000);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.PeakKiB = usage.ru_maxrss;
    return run;
}

void Measure(benchmark::State& state, const std::vector<std::string>& arguments) {
    long peak = 0;
    for (auto _ : state) {
        const TStartRun run = Run(arguments);
        if (run.SecondsToFilled < 0 || run.PeakKiB < 0) {
            state.SkipWithError(
                ("did not fill its window and end within 30 s: " + arguments[0]).c_str());
            return;
        }
        state.SetIterationTime(run.SecondsToFilled);
        peak = run.PeakKiB;
    }
    state.counters["peak_KiB"] = double(peak);
}

void Start(benchmark::State& state) {
    Measure(state, {LOREWICK_EXECUTABLE, "-data", BenchDataDir()});
}

void StartFloor(benchmark::State& state) {
    Measure(state, {START_FLOOR_EXECUTABLE});
}

} // namespace

BENCHMARK(Start)->Name("Start")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(StartFloor)->Name("Start.floor")->Unit(benchmark::kMillisecond)->UseManualTime();
