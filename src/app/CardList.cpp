#include "app/CardList.h"

#include "common/Win1252.h"

#include <algorithm>
#include <numeric>

void TCardList::Clear() {
    FRows.clear();
}

void TCardList::Reserve(int count) {
    FRows.reserve(count);
}

void TCardList::Add(std::string text, const TDataItem* item) {
    FRows.push_back({std::move(text), item});
}

std::vector<int> TCardList::Sort() {
    // Each name folded once, then compared as plain bytes: the order of AnsiCompareText, which
    // the search uses, without folding every character again in every comparison. The folded
    // names lie end to end in one buffer.
    std::string folded;
    std::vector<std::size_t> starts;
    starts.reserve(FRows.size() + 1);
    for (const TCardRow& row : FRows) {
        starts.push_back(folded.size());
        folded += row.Text;
    }
    starts.push_back(folded.size());
    for (char& c : folded)
        c = AnsiUpperChar(c);
    const auto key = [&](int row) {
        return std::string_view(folded).substr(starts[row], starts[row + 1] - starts[row]);
    };
    std::vector<int> order(FRows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&key](int a, int b) { return key(a) < key(b); });
    std::vector<TCardRow> sorted;
    sorted.reserve(FRows.size());
    std::vector<int> newPosition(FRows.size());
    for (int position = 0; position < Count(); ++position) {
        newPosition[order[position]] = position;
        sorted.push_back(std::move(FRows[order[position]]));
    }
    FRows = std::move(sorted);
    return newPosition;
}

int TCardList::IndexOf(const TDataItem* item) const {
    const auto found = std::find_if(FRows.begin(), FRows.end(),
                                    [item](const TCardRow& row) { return row.Item == item; });
    return found == FRows.end() ? -1 : static_cast<int>(found - FRows.begin());
}

TSearchResult TCardList::Search(std::string_view text) const {
    if (text.empty())
        return {};
    // Each row's first text.size() characters, in row order, never decrease; the walk from the
    // top stops at the first row whose prefix does not sort below the text, found here by halving.
    const auto stop = std::partition_point(FRows.begin(), FRows.end(), [text](const TCardRow& row) {
        return AnsiCompareText(text, std::string_view(row.Text).substr(0, text.size())) > 0;
    });
    if (stop == FRows.end())
        return {};
    const int row = static_cast<int>(stop - FRows.begin());
    if (AnsiStartsText(text, stop->Text))
        return {true, true, row};
    return {false, true, row - 1};
}
