#include "CardPool.h"
#include "Random.h"

#include <algorithm>
#include <unordered_set>

namespace {

const char EmDash = '\x97';

// Invented words, made once per pool from syllables.
struct TVocabulary {
    std::vector<std::string> Adjectives, Nouns, Persons, Races, Keywords, RuleTopics, SetCodes;
};

bool IsForbiddenWord(const std::string& word) {
    // Words that would change how a source line is read.
    return word.find("Land") != std::string::npos || word.find("Token") != std::string::npos;
}

std::string MakeWord(TRandom& random, int minSyllables, int maxSyllables) {
    static const std::vector<std::string> onsets = {
        "b",  "br", "c", "cr", "d",  "dr", "f",  "fl", "g", "gl", "gr", "h",
        "k",  "kr", "l", "m",  "n",  "p",  "pr", "qu", "r", "s",  "sh", "sk",
        "sl", "st", "t", "th", "tr", "v",  "vr", "w",  "z", "",   ""};
    static const std::vector<std::string> vowels = {"a", "e",  "i",  "o",  "u",  "a",  "e",
                                                    "o", "ae", "ai", "ei", "ou", "ia", "y"};
    static const std::vector<std::string> codas = {"",  "",  "",   "n",  "r",  "l",  "th", "sk",
                                                   "x", "m", "nd", "rn", "ck", "st", "s"};
    std::string word;
    for (int n = random.Between(minSyllables, maxSyllables); n > 0; --n)
        word += random.Pick(onsets) + random.Pick(vowels);
    word += random.Pick(codas);
    word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
    return word;
}

std::vector<std::string> MakeWords(TRandom& random, std::size_t count, int minSyllables,
                                   int maxSyllables, std::unordered_set<std::string>& used,
                                   const std::vector<std::string>& suffixes = {}) {
    std::vector<std::string> words;
    while (words.size() < count) {
        std::string word = MakeWord(random, minSyllables, maxSyllables);
        if (!suffixes.empty())
            word += random.Pick(suffixes);
        if (word.size() < 3 || IsForbiddenWord(word) || !used.insert(word).second)
            continue;
        words.push_back(word);
    }
    return words;
}

TVocabulary MakeVocabulary(TRandom& random) {
    TVocabulary v;
    std::unordered_set<std::string> used;
    v.Adjectives = MakeWords(random, 500, 1, 2, used, {"", "en", "ish", "ic", "ed", ""});
    v.Nouns = MakeWords(random, 1500, 1, 3, used);
    v.Persons = MakeWords(random, 300, 2, 3, used);
    v.Races = MakeWords(random, 80, 1, 2, used);
    v.Keywords = MakeWords(random, 24, 1, 2, used, {"walk", "ward", "strike", "bind"});
    v.RuleTopics = MakeWords(random, 60, 2, 3, used);
    const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ123456789";
    std::unordered_set<std::string> codes;
    while (v.SetCodes.size() < 48) {
        std::string code = {chars[random.Next() % chars.size()], chars[random.Next() % 26]};
        if (codes.insert(code).second)
            v.SetCodes.push_back(code);
    }
    return v;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string LowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return text;
}

// A few names carry the accented letters of real card pools.
std::string Accented(TRandom& random, std::string name) {
    if (name.rfind("Ae", 0) == 0 && random.Chance(0.5))
        return '\xC6' + name.substr(2);
    static const std::vector<std::pair<char, std::vector<char>>> accents = {
        {'e', {'\xE9'}},
        {'a', {'\xE0', '\xE1', '\xE2'}},
        {'i', {'\xED'}},
        {'o', {'\xF6'}},
        {'u', {'\xFA', '\xFB'}}};
    const auto& [plain, marked] = random.Pick(accents);
    std::size_t at = name.find(plain, 1);
    if (at != std::string::npos)
        name[at] = random.Pick(marked);
    return name;
}

// Shared first words make long runs of names with one prefix, as in a real pool.
std::string MakeName(TRandom& random, const TVocabulary& v) {
    auto adjective = [&] { return v.Adjectives[random.Skewed(int(v.Adjectives.size()), 2.5)]; };
    auto noun = [&] { return random.Pick(v.Nouns); };
    auto person = [&] { return v.Persons[random.Skewed(int(v.Persons.size()), 2.0)]; };
    double p = random.Unit();
    std::string name;
    if (p < 0.30)
        name = adjective() + " " + noun();
    else if (p < 0.45)
        name = noun() + " " + noun();
    else if (p < 0.55)
        name = noun();
    else if (p < 0.65)
        name = noun() + (random.Chance(0.5) ? " of the " : " of ") + noun();
    else if (p < 0.73)
        name = person() + (random.Chance(0.9) ? "'s " : "\x92s ") + noun();
    else if (p < 0.80)
        name = adjective() + " " + adjective() + " " + noun();
    else if (p < 0.86)
        name = person() + ", the " + (random.Chance(0.5) ? adjective() : noun());
    else if (p < 0.91)
        name = noun() + "-" + Lower(noun()) + " " + noun();
    else if (p < 0.95)
        name = adjective() + " " + noun() + " of " + noun();
    else
        name = person() + " " + noun();
    return random.Chance(0.015) ? Accented(random, name) : name;
}

// The key under which two names would collide in the database.
std::string NameKey(const std::string& name) {
    std::string key;
    for (char c : Lower(name))
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            key += c;
    return key;
}

const std::vector<std::string> Colours = {"W", "U", "B", "R", "G"};

std::string MakeCost(TRandom& random, bool allowX) {
    std::string cost;
    if (allowX && random.Chance(0.05))
        cost += "{X}";
    int generic = random.Skewed(7, 1.6);
    int coloured = random.Skewed(4, 1.3);
    if (generic > 0 || coloured == 0)
        cost += "{" + std::to_string(generic) + "}";
    const std::string& colour = random.Pick(Colours);
    for (int i = 0; i < coloured; ++i)
        cost += "{" + (random.Chance(0.85) ? colour : random.Pick(Colours)) + "}";
    return cost;
}

// Fills a sentence pattern: $n noun, $a adjective, $p person or the card itself, $d small
// number, $c cost, $s colour, $k keyword, $r a rules topic.
class TText {
public:
    TText(TRandom& random, const TVocabulary& v, const std::string& self)
        : R(random), V(v), Self(self) {}

    std::string Fill(const std::string& pattern) {
        std::string out;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] != '$' || i + 1 == pattern.size()) {
                out += pattern[i];
                continue;
            }
            switch (pattern[++i]) {
            case 'n':
                out += Lower(R.Pick(V.Nouns));
                break;
            case 'a':
                out += Lower(R.Pick(V.Adjectives));
                break;
            case 'p':
                out += R.Chance(0.6) ? Self : R.Pick(V.Persons);
                break;
            case 'd':
                out += std::to_string(R.Between(1, 5));
                break;
            case 'c':
                out += MakeCost(R, false);
                break;
            case 's':
                out += "{" + R.Pick(Colours) + "}";
                break;
            case 'k':
                out += R.Pick(V.Keywords);
                break;
            case 'r':
                out += R.Pick(V.RuleTopics) + " " + R.Pick(V.RuleTopics);
                break;
            default:
                out += pattern[i];
            }
        }
        return out;
    }

    std::string Effect() {
        static const std::vector<std::string> patterns = {
            "Target $n gets +$d/+$d until end of turn.",
            "Draw $d cards, then discard a card.",
            "$p deals $d damage to target $n or player.",
            "Return target $n to its keeper's hand.",
            "Each opponent loses $d embers.",
            "Put a $d/$d $a $n token into play.",
            "Destroy target $a $n.",
            "You gain $d life.",
            "Search your library for a $n card, reveal it and put it into your hand.",
            "Tap target $n. It stays tapped during its keeper's next untap step.",
            "Whenever a $n comes into play, you may pay $c. If you do, draw a card.",
            "Counter target $a spell unless its caster pays $c.",
            "Prevent the next $d damage that would be dealt to target $n this turn.",
            "Each player sacrifices a $n."};
        return Fill(R.Pick(patterns));
    }

    std::string Reminder() {
        static const std::vector<std::string> patterns = {
            "($p can't be blocked except by $a $ns.)",
            "($a $ns can't attack the turn they come into play.)",
            "(Tap an untapped $n you control: Add $s.)",
            "(If it would leave play, exile it instead (it can't return).)",
            "(This ability works only once each turn.)"};
        return Fill(R.Pick(patterns));
    }

    std::string Line(TCard::TKind kind) {
        double p = R.Unit();
        if (kind == TCard::Land)
            return p < 0.6 ? Fill("{T}: Add $s to your mana pool.") : Fill("$c, {T}: ") + Effect();
        if (kind == TCard::Creature && p < 0.35)
            return R.Chance(0.5) ? Fill("$k ") + Reminder() : Fill("$k, $k");
        if (p < 0.55)
            return Effect() + (R.Chance(0.3) ? " " + Reminder() : "");
        if (p < 0.75)
            return Fill("$c: ") + Effect();
        if (p < 0.9)
            return Fill("When $p comes into play, ") + LowerFirst(Effect());
        return Fill("At the beginning of your upkeep, sacrifice $p unless you pay $c.");
    }

    std::vector<std::string> Lines(TCard::TKind kind, int count) {
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i)
            lines.push_back(Line(kind));
        return lines;
    }

    // A ruling item as the summary page writes it: markup, links, and long items spread
    // over several lines.
    std::string Ruling(const std::vector<std::string>& names) {
        static const std::vector<std::string> patterns = {
            "If $p leaves play before its ability resolves, the $n still gets $d embers.",
            "$p's ability triggers only once each turn, even if several $ns come into play at "
            "the same time.",
            "The $n token is <i>$a</i> and $d/$d.",
            "You can pay $c more than once; each payment gives one more $n.",
            "Paying {T} is part of the cost, so a tapped $n can't use this ability.",
            "<b>Note:</b> this is a change from the earlier wording of the $a $n.",
            "This counts as a <a href=\"rule-general.html#$r\">$r</a>, so the $n may respond.",
            "The $n is chosen when the ability resolves, not when it is put on the stack."};
        std::string item = Fill(R.Pick(patterns));
        if (R.Chance(0.35)) {
            const std::string& other = R.Pick(names);
            item += " See <a href=\"#" + other + "\">" + other + "</a> for how the two " +
                    Fill("$ns interact.");
        }
        if (R.Chance(0.25))
            item += " " + Fill(R.Pick(patterns));
        return Wrapped(item);
    }

private:
    static std::string Wrapped(const std::string& item) {
        std::string out;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < item.size(); ++i) {
            if (item[i] == ' ' && i - lineStart > 72 && item.find('>', i) >= item.find('<', i)) {
                out += "\r\n  ";
                lineStart = i;
                continue;
            }
            out += item[i];
        }
        return out;
    }

    TRandom& R;
    const TVocabulary& V;
    std::string Self;
};

TCard::TKind PickKind(TRandom& random) {
    double p = random.Unit();
    if (p < 0.05)
        return TCard::Split;
    if (p < 0.10)
        return TCard::Land;
    if (p < 0.15)
        return TCard::Token;
    if (p < 0.55)
        return TCard::Creature;
    return TCard::Spell;
}

void MakeTypeAndBody(TRandom& random, const TVocabulary& v, TCard& card) {
    TText text(random, v, card.Kind == TCard::Split ? card.Left : card.Name);
    const std::string race = random.Pick(v.Races);
    switch (card.Kind) {
    case TCard::Creature: {
        double p = random.Unit();
        card.Type = p < 0.1    ? "Artifact Creature " + std::string(1, EmDash) + " " + race
                    : p < 0.13 ? "Legendary Creature " + std::string(1, EmDash) + " " + race
                               : "Creature " + std::string(1, EmDash) + " " + race + " " +
                                     random.Pick(v.Races);
        card.Cost = MakeCost(random, true);
        card.PowerToughness = random.Chance(0.03) ? "*/*"
                                                  : std::to_string(random.Between(0, 6)) + "/" +
                                                        std::to_string(random.Between(1, 7));
        card.Rules = text.Lines(card.Kind, random.Skewed(6, 1.5));
        card.SummaryType = "Creature";
        break;
    }
    case TCard::Land:
        card.Type = random.Chance(0.2)   ? "Basic Land " + std::string(1, EmDash) + " " + race
                    : random.Chance(0.2) ? "Legendary Land"
                                         : "Land";
        card.Rules = text.Lines(card.Kind, random.Between(0, 3));
        card.SummaryType = "Land";
        break;
    case TCard::Token:
        card.Type = "Token Creature " + std::string(1, EmDash) + " " + race;
        card.SummaryType = "Token";
        break;
    case TCard::Split: {
        card.Cost = MakeCost(random, false) + " // " + MakeCost(random, false);
        card.Type = random.Chance(0.5) ? "Instant // Instant" : "Sorcery // Sorcery";
        card.Rules = text.Lines(card.Kind, random.Between(1, 2));
        card.Rules.push_back("//");
        for (const std::string& line : text.Lines(card.Kind, random.Between(1, 2)))
            card.Rules.push_back(line);
        card.SummaryType = card.Type.substr(0, card.Type.find(' '));
        break;
    }
    case TCard::Spell: {
        static const std::vector<std::string> types = {
            "Instant",      "Sorcery",  "Enchantment",       "Enchant Creature",
            "Enchant Land", "Artifact", "Legendary Artifact"};
        card.Type = random.Pick(types);
        card.Cost = MakeCost(random, true);
        card.Rules = text.Lines(card.Kind, 1 + random.Skewed(4, 1.5));
        card.SummaryType = card.Type;
        break;
    }
    }
    if (card.Kind != TCard::Token && random.Chance(0.01)) // the few very long texts
        card.Rules = text.Lines(card.Kind, random.Between(6, 8));
}

void MakeEntries(TRandom& random, const TVocabulary& v, TCard& card) {
    static const std::vector<std::string> rarities = {"C", "C", "U", "R", "C1", "U2"};
    int count = 1 + random.Skewed(12, 2.2);
    std::unordered_set<std::string> sets;
    while (int(card.Entries.size()) < count) {
        std::string set = v.SetCodes[random.Skewed(int(v.SetCodes.size()), 1.5)];
        if (sets.insert(set).second)
            card.Entries.push_back(set + "-" + random.Pick(rarities));
    }
}

void MakeRulings(TRandom& random, const TVocabulary& v, TCard& card,
                 const std::vector<std::string>& names, int count) {
    TText text(random, v, card.Kind == TCard::Split ? card.Left : card.Name);
    card.Rulings.clear();
    for (int i = 0; i < count; ++i)
        card.Rulings.push_back(text.Ruling(names));
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

} // namespace

std::string HalfName(const TCard& card, const std::string& half) {
    return half + " (" + card.Left + "/" + card.Right + ")";
}

const std::vector<std::string>& CostSymbols() {
    static const std::vector<std::string> symbols = {
        "0",  "1",  "2",  "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13",
        "14", "15", "16", "X", "Y", "W", "U", "B", "R", "G", "T",  "Q",  "S",  "C"};
    return symbols;
}

TCardPool MakeCardPool(int count, std::uint64_t seed) {
    TRandom random(seed);
    TVocabulary v = MakeVocabulary(random);
    TCardPool pool;
    pool.Cards.reserve(count);
    std::unordered_set<std::string> keys;
    while (int(pool.Cards.size()) < count) {
        TCard card;
        card.Kind = PickKind(random);
        if (card.Kind == TCard::Split) {
            card.Left = random.Chance(0.5) ? random.Pick(v.Nouns) : MakeName(random, v);
            card.Right = random.Pick(v.Nouns);
            card.Name = card.Left + " // " + card.Right;
        } else {
            card.Name = MakeName(random, v);
        }
        if ((card.Kind == TCard::Split && card.Left == card.Right) ||
            !keys.insert(NameKey(card.Name)).second)
            continue;
        MakeTypeAndBody(random, v, card);
        if (card.Kind != TCard::Token)
            MakeEntries(random, v, card);
        double file = random.Unit();
        card.OracleFile = file < 0.93 ? 0 : file < 0.95 ? 1 : 2;
        pool.Cards.push_back(std::move(card));
    }
    // Rulings link to other cards, so they are made once every name exists; a split card's
    // rulings page names its left half as the database does.
    std::vector<std::string> names;
    for (const TCard& card : pool.Cards)
        names.push_back(card.Kind == TCard::Split ? HalfName(card, card.Left) : card.Name);
    for (TCard& card : pool.Cards) {
        card.InSummary = random.Chance(card.Kind == TCard::Token ? 0.05 : 0.47);
        if (card.InSummary && card.Kind != TCard::Token && random.Chance(0.86))
            MakeRulings(random, v, card, names, 1 + random.Skewed(10, 2.0));
    }
    // One card with the longest page: eight long rules lines and ten rulings.
    TCard& longest = pool.Cards[count / 2];
    if (longest.Kind == TCard::Split || longest.Kind == TCard::Token || !IsAscii(longest.Name)) {
        longest.Kind = TCard::Spell;
        longest.Name = "Longest Ledger of Everything";
        longest.Cost = "{3}{U}{U}";
        longest.Type = longest.SummaryType = "Enchantment";
        longest.Left.clear();
        longest.Right.clear();
        longest.PowerToughness.clear();
        longest.Entries = {"AA-R"};
    }
    TText text(random, v, longest.Name);
    longest.Rules.clear();
    while (longest.Rules.size() < 8)
        longest.Rules.push_back(text.Line(TCard::Spell) + " " + text.Effect() + " " +
                                text.Reminder());
    longest.InSummary = true;
    MakeRulings(random, v, longest, names, 10);
    for (std::string& ruling : longest.Rulings)
        ruling += " " + text.Ruling(names);
    const std::string longestName = longest.Name;

    std::sort(pool.Cards.begin(), pool.Cards.end(),
              [](const TCard& a, const TCard& b) { return Lower(a.Name) < Lower(b.Name); });
    for (std::size_t i = 0; i < pool.Cards.size(); ++i)
        if (pool.Cards[i].Name == longestName)
            pool.LongestCard = i;
    for (std::size_t k = 0; k < pool.Cards.size(); ++k) {
        std::size_t i = (pool.Cards.size() / 3 + k) % pool.Cards.size();
        const TCard& card = pool.Cards[i];
        if (card.Kind == TCard::Creature && card.Rules.size() == 2 && card.Rulings.size() >= 2 &&
            card.Rulings.size() <= 3 && IsAscii(card.Name)) {
            pool.TypicalCard = i;
            break;
        }
    }
    return pool;
}
