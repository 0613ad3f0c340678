#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What every fuzz target shares: a private folder for the files it writes, the Qt application
// object the units expect, and a stop that libFuzzer records as a crash with its input.

// Creates the application object (a QGuiApplication on the offscreen platform when `gui`,
// else a QCoreApplication). Call once, from LLVMFuzzerInitialize.
void StartQt(bool gui);

// A folder of this process, ending with "/", removed when the process ends normally.
const std::string& WorkDir();
// Empties WorkDir() so the next input starts from nothing.
void ClearWorkDir();

void WriteFile(const std::string& fileName, std::string_view bytes);
std::string ReadFile(const std::string& fileName);
bool FileExists(const std::string& fileName);

// The input as text.
inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Reports a broken promise of the code under test and stops, so the input is kept.
[[noreturn]] void Fail(const std::string& what);
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fail(what);                                                                            \
    } while (false)
