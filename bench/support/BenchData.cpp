#include "BenchData.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

std::string BenchDataDir() {
    const char* dir = std::getenv("LOREWICK_BENCH_DATA");
    if (!dir || !*dir) {
        std::fprintf(stderr, "Set LOREWICK_BENCH_DATA to a data folder made by bench/run.sh\n");
        std::exit(2);
    }
    std::string path = std::filesystem::absolute(dir).string();
    return path.back() == '/' ? path : path + "/";
}

const std::map<std::string, std::string>& BenchManifest() {
    static const std::map<std::string, std::string> manifest = [] {
        std::map<std::string, std::string> values;
        std::ifstream in(BenchDataDir() + "manifest.txt");
        for (std::string line; std::getline(in, line);) {
            auto equals = line.find('=');
            if (equals != std::string::npos)
                values[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return values;
    }();
    return manifest;
}

std::string ManifestValue(const std::string& key) {
    auto found = BenchManifest().find(key);
    if (found == BenchManifest().end()) {
        std::fprintf(stderr, "manifest.txt of the bench data has no \"%s\"\n", key.c_str());
        std::exit(2);
    }
    return found->second;
}

long ResidentKiB() {
    const std::string field = "VmRSS:";
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + field.size());
    return 0;
}

long long FileSize(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<long long>(size);
}
