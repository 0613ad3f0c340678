#include "import/Import.h"

#include "common/ExtUtils.h"
#include "common/Win1252.h"
#include "data/xLib.h"

#include <vector>

namespace {

const std::string CR = "\r";
const std::string CRLF = "\r\n";

bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// The lines of a text as LoadTextFile gives it: every line, the last one included, ends with
// CR LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t end = text.find(CRLF); end != std::string_view::npos;
         end = text.find(CRLF, start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + CRLF.size();
    }
    return lines;
}

void SetAttribute(const IXMLDOMNode& element, std::string_view name, std::string_view value) {
    const IXMLDOMAttribute attribute = element.ownerDocument().createAttribute(name);
    attribute.setValue(value);
    element.attributes().setNamedItem(attribute);
}

// Appends an empty "card" element to `root` with its "id" and "name" attributes.
IXMLDOMNode AppendCard(const IXMLDOMNode& root, std::string_view identifierSource,
                       std::string_view displayName) {
    const IXMLDOMNode card = root.appendChild(root.ownerDocument().createElement("card"));
    SetAttribute(card, "id", MakeIdentifier(identifierSource));
    SetAttribute(card, "name", EscapeXML(displayName));
    return card;
}

void AppendCData(const IXMLDOMNode& element, std::string_view text) {
    element.appendChild(element.ownerDocument().createCDATASection(text));
}

// Reads an Oracle file line by line. Past the last line it gives empty lines.
class TLineReader {
public:
    explicit TLineReader(std::string_view text) : FLines(SplitLines(text)) {}

    std::string Next() {
        const size_t position = FPosition++;
        return position < FLines.size() ? std::string(Trim(FLines[position])) : std::string();
    }
    // Whether the line read last was a line of the file.
    bool LastWasLine() const { return FPosition <= FLines.size(); }
    // Whether the line read last was the file's last line, or the reader went past the end.
    bool AtEnd() const { return FPosition >= FLines.size(); }

private:
    std::vector<std::string_view> FLines;
    size_t FPosition = 0;
};

bool IsCreatureType(std::string_view type) {
    return type.starts_with("Creature") || type.starts_with("Artifact Creature");
}

std::string ConvertRules(std::string_view rules) {
    std::string result = ReplaceAll(rules, "(", "<i>(");
    result = ReplaceAll(result, ")", ")</i>");
    result = ReplaceAll(result, CRLF, "<br>");
    result = ReplaceAll(result, CR, "<br>");
    return ReplaceAll(result, "\n", "<br>");
}

// Whether the rest of an index line begins like the card's entries (a set code such as
// "4E-C" or "Promo"), which ends the name.
bool LooksLikeEntries(std::string_view rest) {
    const auto isDigitOrCapital = [](char c, char firstDigit) {
        return (c >= firstDigit && c <= '9') || (c >= 'A' && c <= 'Z');
    };
    const auto isOneOf = [](char c, std::string_view set) { return set.find(c) != set.npos; };
    return isDigitOrCapital(rest[0], '1') && (isDigitOrCapital(rest[1], '1') || rest[1] == 'r') &&
           (isDigitOrCapital(rest[2], '0') || isOneOf(rest[2], "-o")) &&
           (isDigitOrCapital(rest[3], '1') || isOneOf(rest[3], "-clmru"));
}

// Splits a trimmed index line into the card name and its entries. The name may itself hold
// commas: comma-separated tokens join it until the rest looks like entries. This walks the
// line once by position (a token at a time, as NextToken with "," would take them), so very
// long lines of many commas stay linear.
std::pair<std::string, std::string> SplitIndexLine(std::string_view line) {
    std::string name;
    size_t position = 0;
    for (;;) {
        while (position < line.size() && line[position] == ' ')
            ++position;
        const size_t tokenEnd = std::min(line.find(',', position), line.size());
        const std::string_view token = line.substr(position, tokenEnd - position);
        position = tokenEnd < line.size() ? tokenEnd + 1 : tokenEnd;
        if (name.empty())
            name = token;
        else
            name.append(", ").append(token);
        while (position < line.size() && IsTrimmed(line[position]))
            ++position;
        const std::string_view rest = line.substr(position);
        if (rest.size() < 4 || LooksLikeEntries(rest))
            return {std::string(Trim(name)), std::string(rest)};
    }
}

// The names that the comma splitting broke, put back together.
std::string RepairIndexName(std::string name) {
    name = ReplaceAll(name, " (Big Furry Monster) - 1", " (Big Furry Monster)");
    name = ReplaceAll(name, "100, 000", "100,000");
    return ReplaceAll(name, "1, 000", "1,000");
}

std::string FoldAccents(std::string text) {
    static const std::pair<const char*, const char*> folds[] = {
        {"\x92", "'"}, {"\xC6", "AE"}, {"\xE0", "a"}, {"\xE1", "a"}, {"\xE2", "a"},
        {"\xE9", "e"}, {"\xED", "i"},  {"\xF6", "o"}, {"\xFA", "u"}, {"\xFB", "u"},
    };
    for (const auto& [from, to] : folds)
        text = ReplaceAll(text, from, to);
    return text;
}

// The name of a split half: the half followed by " (left/right)".
std::string SplitHalfName(std::string_view half, std::string_view left, std::string_view right) {
    std::string name(half);
    name.append(" (").append(left).append("/").append(right).append(")");
    return name;
}

const std::string BlockStart = "<b><a name=\"";
const std::string BlockEnd = "</ul>";
const std::string ItemStart = "<li type=disc>";
const std::string LinkEnd = "\">";

// The item on one line: line breaks become spaces and runs of spaces one space.
std::string JoinItemLines(std::string_view item) {
    std::string result;
    result.reserve(item.size());
    for (char c : item) {
        if (c == '\r' || c == '\n')
            c = ' ';
        if (c == ' ' && !result.empty() && result.back() == ' ')
            continue;
        result += c;
    }
    return result;
}

// Points every link whose target begins with `marker` at the card identifier of
// `prefix` + its anchor. Anchors are read as the page writes them, escaped like the block
// names, so they are unescaped first and a link reaches the card of the same anchor. A link
// without a closing "\">" is left as it stands, and so is everything after it (no later
// link can be closed either).
std::string RewriteLinks(std::string_view item, std::string_view marker, std::string_view prefix) {
    std::string result;
    size_t position = 0;
    for (size_t link = item.find(marker); link != std::string_view::npos;
         link = item.find(marker, position)) {
        const size_t anchorStart = link + marker.size();
        const size_t anchorEnd = item.find(LinkEnd, anchorStart);
        if (anchorEnd == std::string_view::npos)
            break;
        std::string target(prefix);
        target += UnescapeXML(item.substr(anchorStart, anchorEnd - anchorStart));
        result.append(item.substr(position, link - position))
            .append("href=\"")
            .append(MakeIdentifier(target))
            .append(LinkEnd);
        position = anchorEnd + LinkEnd.size();
    }
    result.append(item.substr(position));
    return result;
}

std::string ConvertItem(std::string_view item) {
    std::string result = JoinItemLines(Trim(item));
    result = RewriteLinks(result, "href=\"#", "");
    return RewriteLinks(result, "href=\"rule-general.html#", "rule_");
}

std::vector<std::string> SummaryItems(std::string_view block) {
    std::vector<std::string> items;
    const size_t listEnd = block.size() - BlockEnd.size();
    for (size_t marker = block.find(ItemStart); marker != std::string_view::npos;) {
        const size_t start = marker + ItemStart.size();
        const size_t next = block.find(ItemStart, start);
        const size_t end = next != std::string_view::npos ? next : listEnd;
        items.push_back(ConvertItem(block.substr(start, end - start)));
        marker = next;
    }
    return items;
}

std::string Field(std::string_view block, std::string_view startMarker,
                  std::string_view endMarker) {
    return std::string(Trim(TextBetween(std::string(block), startMarker, endMarker, false)));
}

void AddSummaryRecord(const IXMLDOMNode& root, std::string_view block) {
    const std::string name = UnescapeXML(Field(block, BlockStart, LinkEnd));
    const std::string sets = Field(block, "</td><td align=right>", "</td></tr><tr>");
    const std::string type = Field(block, "</td><td>Type=", "</td><td>Cost=");
    const std::string textSource = Field(block, "<td colspan=4>Text(", "):");
    if (AnsiSameText(type, "token"))
        return;
    const std::vector<std::string> items = SummaryItems(block);

    const IXMLDOMNode card = AppendCard(root, name, name);
    SetAttribute(card, "sets", EscapeXML(sets));
    SetAttribute(card, "textsource", EscapeXML(textSource));
    if (items.empty())
        return;
    std::string fragment;
    for (const std::string& item : items)
        fragment.append("<p>").append(item).append("</p>");
    AppendCData(card, fragment);
}

// Builds one database file: a new document with a "table" root, filled by `convert`, saved
// over `fileName`.
void BuildDatabaseFile(const std::string& fileName,
                       const std::function<void(const IXMLDOMNode& root)>& convert,
                       const TFileSavedEvent& fileSaved) {
    IXMLDOMDocument2 document;
    NewXMLDocument(document);
    const IXMLDOMNode root = document.createElement("table");
    document.setDocumentElement(root);
    convert(root);
    document.save(fileName);
    if (fileSaved)
        fileSaved(fileName, root.childNodes().length());
}

} // namespace

void ImportDatabase(const TFileSavedEvent& fileSaved) {
    const std::string dataDir = DataDir();
    BuildDatabaseFile(
        dataDir + "oracle.xml",
        [&](const IXMLDOMNode& root) {
            ConvertOracleFile(dataDir + "oracle/ORT110-01-03.txt", root);
            ConvertOracleFile(dataDir + "oracle/ORUnglued.txt", root);
            ConvertOracleFile(dataDir + "oracle/ORPortal.txt", root);
        },
        fileSaved);
    BuildDatabaseFile(
        dataDir + "cards_index.xml",
        [&](const IXMLDOMNode& root) { ConvertIndexFile(dataDir + "cardindex/index.txt", root); },
        fileSaved);
    BuildDatabaseFile(
        dataDir + "cards_summary.xml",
        [&](const IXMLDOMNode& root) {
            ConvertSummaryFile(dataDir + "summary/rule-cards.html", root);
        },
        fileSaved);
}

void ConvertOracleFile(const std::string& fileName, const IXMLDOMNode& root) {
    const std::string text = LoadTextFile(fileName);
    TLineReader reader(text);
    std::string line = reader.Next();
    while (reader.LastWasLine()) {
        while (line.empty() && reader.LastWasLine())
            line = reader.Next();
        if (reader.AtEnd())
            break; // a record needs at least one more line
        const std::string name = line;
        const std::string second = reader.Next();
        line = reader.Next();

        std::string cost, type, powerToughness, rules;
        bool goesOn = true;
        if (Contains(second, "Land")) {
            type = second;
        } else if (Contains(second, "Token")) {
            type = second;
            goesOn = false;
        } else {
            cost = second;
            type = line;
            line = reader.Next();
        }
        if (goesOn) {
            if (IsCreatureType(type)) {
                powerToughness = line;
                line = reader.Next();
            }
            for (; !line.empty(); line = reader.Next())
                rules.append(rules.empty() ? "" : CR).append(line);
        }

        if (!Contains(name, "//")) {
            AddOracleRecord(root, name, cost, type, powerToughness, rules);
            continue;
        }
        const auto [left, right] = SplitPair(name, "//");
        const auto [leftCost, rightCost] = SplitPair(cost, "//");
        const auto [leftType, rightType] = SplitPair(type, "//");
        const auto [leftPT, rightPT] = SplitPair(powerToughness, "//");
        const auto [leftRules, rightRules] = SplitPair(rules, "//");
        AddOracleRecord(root, SplitHalfName(left, left, right), leftCost, leftType, leftPT,
                        leftRules);
        AddOracleRecord(root, SplitHalfName(right, left, right), rightCost, rightType, rightPT,
                        rightRules);
    }
}

void AddOracleRecord(const IXMLDOMNode& root, const std::string& name, const std::string& cost,
                     const std::string& type, const std::string& powerToughness,
                     const std::string& rules) {
    const IXMLDOMNode card = AppendCard(root, name, name);
    std::string fragment = "<b>" + name + "</b><br>" + CR;
    fragment.append(cost).append("<br>").append(CR);
    fragment.append(type).append("<br>").append(CR);
    fragment.append(powerToughness).append("<br>").append(CR);
    fragment.append(ConvertRules(rules));
    AppendCData(card, fragment);
}

std::pair<std::string, std::string> SplitPair(std::string_view text, std::string_view separator) {
    const size_t at = text.find(separator);
    if (at == std::string_view::npos)
        return {std::string(text), std::string()};
    return {std::string(Trim(text.substr(0, at))),
            std::string(Trim(text.substr(at + separator.size())))};
}

void ConvertIndexFile(const std::string& fileName, const IXMLDOMNode& root) {
    const std::string text = LoadTextFile(fileName);
    for (const std::string_view rawLine : SplitLines(text)) {
        const std::string_view line = Trim(rawLine);
        if (line.size() <= 1)
            continue;
        auto [name, entries] = SplitIndexLine(line);
        name = RepairIndexName(name);
        if (Contains(name, "(Big Furry Monster) - 2"))
            continue; // the card's first half gives its one record
        const std::string folded = FoldAccents(name);
        if (!Contains(name, "/")) {
            AddIndexRecord(root, folded, name, entries);
            continue;
        }
        const auto [foldedLeft, foldedRight] = SplitPair(folded, "/");
        const auto [left, right] = SplitPair(name, "/");
        AddIndexRecord(root, SplitHalfName(foldedLeft, foldedLeft, foldedRight),
                       SplitHalfName(left, left, right), entries);
        AddIndexRecord(root, SplitHalfName(foldedRight, foldedLeft, foldedRight),
                       SplitHalfName(right, left, right), entries);
    }
}

void AddIndexRecord(const IXMLDOMNode& root, const std::string& identifierSource,
                    const std::string& displayName, const std::string& entries) {
    AppendCData(AppendCard(root, identifierSource, displayName), entries);
}

void ConvertSummaryFile(const std::string& fileName, const IXMLDOMNode& root) {
    const std::string page = LoadTextFile(fileName);
    const std::string_view pageView = page;
    size_t searchPosition = 0;
    for (;;) {
        const size_t blockStart = page.find(BlockStart, searchPosition);
        if (blockStart == std::string::npos)
            break;
        const size_t blockEnd = page.find(BlockEnd, blockStart);
        if (blockEnd == std::string::npos)
            break;
        AddSummaryRecord(root,
                         pageView.substr(blockStart, blockEnd + BlockEnd.size() - blockStart));
        searchPosition = blockEnd + 1;
    }
}
