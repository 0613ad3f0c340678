// The main window's card list: filling and sorting it, and the type-ahead search that each
// keystroke runs, beside the same work on bare names; and a lookup, from the searched text
// to the card's page laid out in the docked card window.
#include "support/BenchData.h"

#include "app/Main.h"
#include "common/Win1252.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "view/WInfo.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <random>
#include <utility>

namespace {

TMainForm* TheForm = nullptr;

// One main window for all benchmarks of the process, shown (offscreen) like at start, so
// its first show has loaded the database and filled the list once. It goes before the
// application object does.
TMainForm& Form() {
    if (!TheForm) {
        SetDataDir(BenchDataDir());
        TheForm = new TMainForm();
        qAddPostRoutine([] { delete std::exchange(TheForm, nullptr); });
        TheForm->show();
        QApplication::processEvents();
    }
    return *TheForm;
}

std::vector<std::string> DisplayNames() {
    std::vector<std::string> names;
    for (int k = 0; k < Database()->Count(); ++k)
        names.push_back(Database()->Items(k)->DisplayName());
    return names;
}

// Every prefix of 1,000 names picked at random (seeded), in typing order.
std::vector<std::string> TypedPrefixes() {
    const std::vector<std::string> names = DisplayNames();
    std::mt19937 random(7);
    std::vector<std::string> prefixes;
    for (int i = 0; i < 1000; ++i) {
        const std::string& name = names[random() % names.size()];
        for (std::size_t length = 1; length <= name.size(); ++length)
            prefixes.push_back(name.substr(0, length));
    }
    return prefixes;
}

// The first fill of a new window, as at start: the database is loaded already, the list
// is empty, and the window is not laid out yet (the fill runs as it is first shown).
void FillList(benchmark::State& state) {
    Form();
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TMainForm>();
        state.ResumeTiming();
        form->FillList();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    // Each window gave the card windows up as it went; they belong to the shared one again.
    SetMainWindow(TheForm, [](const std::string& id) { TheForm->OpenCard(id); });
    state.counters["cards"] = Database()->Count();
}

void FillListFloor(benchmark::State& state) {
    Form();
    const std::vector<std::string> names = DisplayNames();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> sorted = names;
        state.ResumeTiming();
        std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
            return AnsiCompareText(a, b) < 0;
        });
        benchmark::DoNotOptimize(sorted.data());
    }
}

// Lets the windows repaint, untimed, as they do between two keystrokes or lookups; that
// also empties their regions to repaint, which would otherwise grow from one to the next.
void RepaintUntimed(benchmark::State& state) {
    state.PauseTiming();
    QApplication::processEvents();
    state.ResumeTiming();
}

void Search(benchmark::State& state) {
    TMainForm& form = Form();
    std::vector<QString> prefixes;
    for (const std::string& prefix : TypedPrefixes())
        prefixes.push_back(AnsiToQString(prefix));
    std::size_t next = 0, found = 0;
    for (auto _ : state) {
        found += form.Search(prefixes[next]);
        next = (next + 1) % prefixes.size();
        RepaintUntimed(state);
    }
    if (found == 0)
        state.SkipWithError("no typed prefix found its card");
}

// The search over the sorted names alone, without the list view.
void SearchFloor(benchmark::State& state) {
    Form();
    TCardList cards;
    for (const std::string& name : DisplayNames())
        cards.Add(name, nullptr);
    cards.Sort();
    const std::vector<std::string> prefixes = TypedPrefixes();
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cards.Search(prefixes[next]));
        next = (next + 1) % prefixes.size();
    }
}

// Cards looked up one after another, as the hotkey would: names picked at random (seeded).
std::vector<QString> LookUpNames() {
    const std::vector<std::string> names = DisplayNames();
    std::mt19937 random(11);
    std::vector<QString> picked;
    for (int i = 0; i < 100; ++i)
        picked.push_back(AnsiToQString(names[random() % names.size()]));
    return picked;
}

// Looks `name` up and lays the card window's page out; false when no window shows a card.
bool LookUpAndLayOut(TMainForm& form, const QString& name) {
    form.LookUp(name);
    TInfoForm* window = ReusableCardWindow();
    if (!window || !window->Item())
        return false;
    QTextDocument& page = *window->RichView()->document();
    benchmark::DoNotOptimize(page.documentLayout()->blockBoundingRect(page.lastBlock()));
    return true;
}

void LookUpCached(benchmark::State& state) {
    TMainForm& form = Form();
    const std::vector<QString> names = LookUpNames();
    for (const QString& name : names) // every picture read once before
        LookUpAndLayOut(form, name);
    std::size_t next = 0;
    for (auto _ : state) {
        if (!LookUpAndLayOut(form, names[next]))
            state.SkipWithError("a looked-up card was not shown");
        next = (next + 1) % names.size();
        RepaintUntimed(state);
    }
}

// Every lookup reads its pictures afresh: each one sees the data folder under a new path (a
// folder whose "Images" links to the real archive), so no picture is in the cache yet.
void LookUpUncached(benchmark::State& state) {
    TMainForm& form = Form();
    const std::vector<QString> names = LookUpNames();
    const std::filesystem::path root =
        std::filesystem::path(qgetenv("XDG_RUNTIME_DIR").data()) / "uncached";
    const int cachedBefore = Factory().BitmapCache().Count();
    std::size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        static int fresh = 0; // never the same path twice, also across repetitions
        const std::filesystem::path dir = root / std::to_string(fresh++);
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink(BenchDataDir() + "Images", dir / "Images");
        SetDataDir(dir.string());
        state.ResumeTiming();
        if (!LookUpAndLayOut(form, names[next % names.size()]))
            state.SkipWithError("a looked-up card was not shown");
        ++next;
        RepaintUntimed(state);
    }
    // Each picture read comes with its scaled copy: two cache entries.
    state.counters["pictures_read"] = benchmark::Counter(
        (Factory().BitmapCache().Count() - cachedBefore) / 2.0, benchmark::Counter::kAvgIterations);
    SetDataDir(BenchDataDir());
    std::filesystem::remove_all(root);
}

} // namespace

BENCHMARK(FillList)->Name("FillList")->Unit(benchmark::kMillisecond);
BENCHMARK(FillListFloor)->Name("FillList.floor")->Unit(benchmark::kMillisecond);
BENCHMARK(Search)->Name("Search")->Unit(benchmark::kMicrosecond);
BENCHMARK(SearchFloor)->Name("Search.floor")->Unit(benchmark::kMicrosecond);
BENCHMARK(LookUpCached)->Name("LookUp/cached")->Unit(benchmark::kMillisecond);
// Each run caches its pictures for good, so the runs are few.
BENCHMARK(LookUpUncached)->Name("LookUp/uncached")->Unit(benchmark::kMillisecond)->Iterations(100);
