#include "app/CardList.h"

#include "common/Win1252.h"
#include "data/Data.h"

#include <algorithm>
#include <numeric>

void TCardList::Clear() {
    FRows.clear();
}

void TCardList::Reserve(int count) {
    FRows.reserve(count);
}

void TCardList::Add(std::string text, const TDataItem* item) {
    std::string key = AnsiSortKey(text);
    FRows.push_back({std::move(text), std::move(key), item});
}

void TCardList::Fill(const TDatabase& database) {
    const int count = database.Count();
    Clear();
    Reserve(count);
    for (int k = 0; k < count; ++k) {
        const TDataItem* item = database.Items(k);
        Add(item->DisplayName(), item);
    }
}

std::vector<int> TCardList::Sort() {
    std::vector<int> order(FRows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        if (const int byKey = FRows[a].Key.compare(FRows[b].Key))
            return byKey < 0;
        return AnsiCompareText(FRows[a].Text, FRows[b].Text) < 0;
    });
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
    const std::string key = AnsiSortKey(text);
    // Each row's first key.size() key characters, in row order, never decrease; the walk from
    // the top stops at the first row whose prefix does not sort below the text, found here by
    // halving.
    const auto stop = std::partition_point(FRows.begin(), FRows.end(), [&key](const TCardRow& row) {
        return std::string_view(row.Key).substr(0, key.size()) < key;
    });
    if (stop == FRows.end())
        return {};
    const int row = static_cast<int>(stop - FRows.begin());
    if (stop->Key.starts_with(key))
        return {true, true, row};
    return {false, true, row - 1};
}
