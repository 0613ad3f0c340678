// The database import of the whole synthetic pool, beside reading its sources.
#include "support/BenchData.h"

#include "common/ExtUtils.h"
#include "data/xLib.h"
#include "import/Import.h"

#include <benchmark/benchmark.h>
#include <map>

namespace {

const char* const Sources[] = {"oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt",
                               "oracle/ORPortal.txt", "cardindex/index.txt",
                               "summary/rule-cards.html"};

// The counts the generator expects, keyed by the file the import saved.
std::map<std::string, std::string> ExpectedRecords() {
    const std::string dir = BenchDataDir();
    return {{dir + "oracle.xml", ManifestValue("oracle_records")},
            {dir + "cards_index.xml", ManifestValue("index_records")},
            {dir + "cards_summary.xml", ManifestValue("summary_records")}};
}

void Import(benchmark::State& state) {
    SetDataDir(BenchDataDir());
    const auto expected = ExpectedRecords();
    std::string mismatch;
    auto check = [&](const std::string& fileName, int records) {
        auto found = expected.find(fileName);
        if (found == expected.end() || found->second != std::to_string(records))
            mismatch = fileName + " has " + std::to_string(records) + " records";
    };
    for (auto _ : state)
        ImportDatabase(check);
    if (!mismatch.empty())
        state.SkipWithError(("the import disagrees with the generator: " + mismatch).c_str());
}

void ImportFloor(benchmark::State& state) {
    const std::string dir = BenchDataDir();
    for (auto _ : state)
        for (const char* source : Sources)
            benchmark::DoNotOptimize(LoadTextFile(dir + source));
}

} // namespace

BENCHMARK(Import)->Name("Import")->Unit(benchmark::kMillisecond);
BENCHMARK(ImportFloor)->Name("Import.floor")->Unit(benchmark::kMillisecond);
