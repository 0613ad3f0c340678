#pragma once
#include <map>
#include <string>

// The data folder the benchmarks run on: $LOREWICK_BENCH_DATA, made by lorewick-gen and
// imported by bench/run.sh. Ends with "/". Exits with a message when it is not set.
std::string BenchDataDir();

// "manifest.txt" of that folder: the card count, the record counts the import should make,
// and the names of the typical and the longest card.
const std::map<std::string, std::string>& BenchManifest();
std::string ManifestValue(const std::string& key);

// The process's resident memory now (VmRSS), in KiB.
long ResidentKiB();

// The size of a file in bytes, 0 when it does not exist.
long long FileSize(const std::string& path);
