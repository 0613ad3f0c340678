#pragma once
#include <string>
#include <string_view>
#include <vector>

class TDataItem;
class TDatabase;

// One row of the card list: the card's shown name (8-bit text), its sort key and the card.
struct TCardRow {
    std::string Text;
    std::string Key; // AnsiSortKey(Text)
    const TDataItem* Item = nullptr;
};

// Where a typed text moves the current row.
struct TSearchResult {
    bool Found = false;        // a row's name begins with the text
    bool MovesCurrent = false; // false: the current row stays where it is
    int Row = -1;              // the new current row when MovesCurrent; -1 leaves none current
};

// The rows of the card list, sorted by name, and the type-ahead search over them. Sort and
// search share one comparison, of sort keys (AnsiSortKey: case and accents ignored), so every
// name is found by each of its prefixes, typed with or without its accents.
class TCardList {
public:
    void Clear();
    void Reserve(int count);
    void Add(std::string text, const TDataItem* item);
    // Replaces the rows by one per database entry, in the database's order, unsorted.
    void Fill(const TDatabase& database);

    // Sorts the rows by sort key; rows with equal keys by name, then in their former order.
    // Returns, for each row's former position, its new one.
    std::vector<int> Sort();

    int Count() const { return static_cast<int>(FRows.size()); }
    const TCardRow& Row(int index) const { return FRows[index]; }
    // The position of the row of `item`, or -1.
    int IndexOf(const TDataItem* item) const;

    // On the sorted rows: the first row whose name begins with `text` (found); otherwise the
    // last row that sorts before `text`, or no row when `text` sorts before the first; when
    // every row sorts before `text`, or `text` is empty, the current row stays.
    TSearchResult Search(std::string_view text) const;

private:
    std::vector<TCardRow> FRows;
};
