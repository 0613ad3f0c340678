// The whole program: from starting the process to the main window shown and its card list
// filled, offscreen, beside a bare Qt program that shows one window. Each run is a new
// process; it inherits the benchmark's private runtime and settings folders, so it meets
// no running instance.
#include "support/BenchData.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <pthread.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

// Runs the program to its end; returns its peak resident memory in KiB, or -1 when it
// fails or runs longer than 30 seconds (then it is killed).
long RunToEnd(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> environment = extraEnv;
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    sigset_t childEnded, previous;
    sigemptyset(&childEnded);
    sigaddset(&childEnded, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &childEnded, &previous);
    pid_t pid;
    long peak = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0) {
        const timespec limit{30, 0};
        if (sigtimedwait(&childEnded, nullptr, &limit) < 0)
            kill(pid, SIGKILL);
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            peak = usage.ru_maxrss;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return peak;
}

void Measure(benchmark::State& state, const std::vector<std::string>& arguments) {
    long peak = 0;
    for (auto _ : state) {
        peak = RunToEnd(arguments, {"QT_QPA_PLATFORM=offscreen", "LOREWICK_QUIT_AFTER_FILL=1"});
        if (peak < 0) {
            state.SkipWithError(("failed or did not end within 30 s: " + arguments[0]).c_str());
            return;
        }
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

BENCHMARK(Start)->Name("Start")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StartFloor)->Name("Start.floor")->Unit(benchmark::kMillisecond)->UseRealTime();
