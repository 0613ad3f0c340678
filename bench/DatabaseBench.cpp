// Loading the card database, beside pugixml parsing the same two files and walking their
// records.
#include "support/BenchData.h"

#include "data/Data.h"
#include "data/xLib.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <pugixml.hpp>

namespace {

// The resident memory the load adds, measured on the first load of the process, against the
// size of the two files it reads.
void LoadDatabaseMemory(benchmark::State& state) {
    SetDataDir(BenchDataDir());
    ResetDatabaseForTesting();
    long added = 0;
    for (auto _ : state) {
        const long before = ResidentKiB();
        LoadDatabase();
        added = ResidentKiB() - before;
    }
    const std::string dir = BenchDataDir();
    state.counters["resident_KiB"] = double(added);
    state.counters["files_KiB"] =
        double(FileSize(dir + "oracle.xml") + FileSize(dir + "cards_summary.xml")) / 1024;
}

void LoadDatabaseBench(benchmark::State& state) {
    SetDataDir(BenchDataDir());
    for (auto _ : state) {
        state.PauseTiming();
        ResetDatabaseForTesting();
        state.ResumeTiming();
        LoadDatabase();
    }
    state.counters["cards"] = Database() ? Database()->Count() : 0;
    if (!Database() || Database()->Count() < std::stoi(ManifestValue("cards")))
        state.SkipWithError("the database holds fewer cards than the generator made");
}

// Parse, then read "id" and "name" of every record: the least a load has to do.
void LoadDatabaseFloor(benchmark::State& state) {
    const std::string dir = BenchDataDir();
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const char* file : {"oracle.xml", "cards_summary.xml"}) {
            pugi::xml_document document;
            document.load_file((dir + file).c_str());
            for (pugi::xml_node record : document.document_element().children())
                bytes += std::strlen(record.attribute("id").value()) +
                         std::strlen(record.attribute("name").value());
        }
        benchmark::DoNotOptimize(bytes);
    }
}

} // namespace

// First, while nothing else has been loaded.
BENCHMARK(LoadDatabaseMemory)->Name("LoadDatabase.memory")->Iterations(1)->Repetitions(1);
BENCHMARK(LoadDatabaseBench)->Name("LoadDatabase")->Unit(benchmark::kMillisecond);
BENCHMARK(LoadDatabaseFloor)->Name("LoadDatabase.floor")->Unit(benchmark::kMillisecond);
