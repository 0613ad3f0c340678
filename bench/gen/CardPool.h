#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One synthetic card as the three sources describe it. Texts are Windows-1252 bytes.
struct TCard {
    enum TKind { Spell, Creature, Land, Token, Split };

    TKind Kind = Spell;
    std::string Name; // a split card: "Left // Right"
    std::string Left; // split cards only: the two halves
    std::string Right;
    std::string Cost;                 // empty for lands and tokens; split cards: "left // right"
    std::string Type;                 // split cards: "left // right"
    std::string PowerToughness;       // creatures only
    std::vector<std::string> Rules;   // lines; a split card has the line "//" between halves
    std::vector<std::string> Entries; // card index entries ("AB-C")
    std::string SummaryType;          // the type the rules summary shows
    std::vector<std::string> Rulings; // rules-summary items (markup, may hold CR LF)
    bool InSummary = false;           // has a block on the rules-summary page
    int OracleFile = 0;               // which of the three Oracle files holds it
};

struct TCardPool {
    std::vector<TCard> Cards;    // sorted by name, case-insensitively
    std::size_t TypicalCard = 0; // a creature with two rules lines and a few rulings
    std::size_t LongestCard = 0; // the card with the longest page
};

// Makes `count` cards with the shapes of a real card pool: shared name prefixes, about 5 %
// each of split cards, lands and tokens, 0 to 8 rules lines with reminder text and cost
// symbols, 1 to 12 index entries, and rulings for about 40 % of the cards.
TCardPool MakeCardPool(int count, std::uint64_t seed);

// The name a split card's half has in the database: "Left (Left/Right)".
std::string HalfName(const TCard& card, const std::string& half);

// The cost symbols the texts write in braces ("W" for {W}).
const std::vector<std::string>& CostSymbols();
