// The whole program: from starting the process to the main window shown and its card list
// filled, offscreen, beside a bare Qt program that shows one window. Each run is a new
// process with private runtime and settings folders, so it meets no running instance.
#include "support/BenchData.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

// Runs the program to its end; returns its peak resident memory in KiB, or -1 on failure.
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
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

// Private folders for one benchmark, so the program's single-instance socket and settings
// never meet a real instance.
std::vector<std::string> PrivateEnvironment() {
    static const std::string root = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lorewick-bench-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return std::string(made ? made : "/tmp");
    }();
    std::filesystem::create_directories(root + "/config");
    return {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + root,
            "XDG_CONFIG_HOME=" + root + "/config", "LOREWICK_QUIT_AFTER_FILL=1"};
}

void Measure(benchmark::State& state, const std::vector<std::string>& arguments) {
    long peak = 0;
    for (auto _ : state) {
        peak = RunToEnd(arguments, PrivateEnvironment());
        if (peak < 0) {
            state.SkipWithError(("could not run " + arguments[0]).c_str());
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
