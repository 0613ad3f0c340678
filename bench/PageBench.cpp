// A card's page: composing it from the card's records and importing it into the card
// window's view, laid out, for a typical card and for the longest one; beside laying out
// the same page as plain text.
#include "support/BenchData.h"

#include "common/Win1252.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "data/xXML.h"
#include "view/WInfo.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <benchmark/benchmark.h>

namespace {

const TDataItem* ManifestCard(const std::string& key) {
    SetDataDir(BenchDataDir());
    LoadDatabase();
    return Database()->FindItem(MakeIdentifier(ManifestValue(key)));
}

// Lays the whole document out, as the first paint of the page would.
void LayOut(QTextDocument& document) {
    benchmark::DoNotOptimize(document.documentLayout()->blockBoundingRect(document.lastBlock()));
}

// A card window sized like the docked one, shown offscreen.
TInfoForm& Window() {
    static TInfoForm* window = [] {
        auto* made = new TInfoForm("bench");
        made->resize(516, 434);
        made->show();
        QApplication::processEvents();
        qAddPostRoutine([] { delete window; });
        return made;
    }();
    return *window;
}

void ComposePage(benchmark::State& state, const char* card) {
    const TDataItem* item = ManifestCard(card);
    if (!item) {
        state.SkipWithError("the manifest's card is not in the database");
        return;
    }
    TInfoForm& window = Window();
    for (auto _ : state) {
        window.SetItem(item);
        LayOut(*window.RichView()->document());
    }
    state.counters["page_bytes"] = double(ComposePageText(item).size());
}

void ComposePageFloor(benchmark::State& state, const char* card) {
    const TDataItem* item = ManifestCard(card);
    if (!item) {
        state.SkipWithError("the manifest's card is not in the database");
        return;
    }
    const QTextDocument& view = *Window().RichView()->document();
    const QString text = AnsiToQString(PagePlainText(item));
    QTextDocument document;
    document.setDefaultFont(view.defaultFont());
    document.setTextWidth(view.textWidth());
    for (auto _ : state) {
        document.setPlainText(text);
        LayOut(document);
    }
}

} // namespace

BENCHMARK_CAPTURE(ComposePage, typical, "typical")
    ->Name("ComposePage/typical")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ComposePageFloor, typical, "typical")
    ->Name("ComposePage/typical.floor")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ComposePage, longest, "longest")
    ->Name("ComposePage/longest")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ComposePageFloor, longest, "longest")
    ->Name("ComposePage/longest.floor")
    ->Unit(benchmark::kMicrosecond);
