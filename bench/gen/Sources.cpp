#include "Sources.h"

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : separator) + part;
    return out;
}

// Some source lines carry stray spaces that the reader trims.
std::string Ragged(const std::string& line, std::size_t index) {
    return index % 53 == 0 ? line + "  " : index % 71 == 0 ? " " + line : line;
}

std::string OracleFile(const TCardPool& pool, int file, const std::string& eol) {
    std::string out = eol; // an empty line before the first record
    std::size_t n = 0;
    for (const TCard& card : pool.Cards) {
        if (card.OracleFile != file)
            continue;
        auto line = [&](const std::string& text) { out += Ragged(text, ++n) + eol; };
        line(card.Name);
        if (!card.Cost.empty())
            line(card.Cost);
        line(card.Type);
        if (card.Kind != TCard::Token) {
            if (!card.PowerToughness.empty())
                line(card.PowerToughness);
            for (const std::string& rule : card.Rules)
                line(rule);
        }
        out += eol;
        if (n % 17 == 0)
            out += eol; // records are sometimes two empty lines apart
    }
    return out;
}

std::string IndexFile(const TCardPool& pool) {
    std::string out;
    char section = 0;
    for (const TCard& card : pool.Cards) {
        if (card.Kind == TCard::Token)
            continue;
        char initial = char(std::toupper(static_cast<unsigned char>(card.Name[0])));
        if (initial != section) { // a one-letter heading, which the import skips
            section = initial;
            out += "\r\n" + std::string(1, section) + "\r\n";
        }
        std::string name = card.Kind == TCard::Split ? card.Left + "/" + card.Right : card.Name;
        out += name + ", " + Join(card.Entries, ", ") + "\r\n";
    }
    return out;
}

std::string SetList(const TCard& card) {
    std::vector<std::string> sets;
    for (const std::string& entry : card.Entries)
        sets.push_back(entry.substr(0, entry.find('-')));
    return Join(sets, ", ");
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

std::string SummaryFile(const TCardPool& pool) {
    std::string out = "<html>\r\n<head><title>Card Rulings</title></head>\r\n<body>\r\n"
                      "<h1>Rulings by card</h1>\r\n<table border=0>\r\n";
    for (const TCard& card : pool.Cards) {
        if (!card.InSummary)
            continue;
        std::string anchor =
            Escaped(card.Kind == TCard::Split ? HalfName(card, card.Left) : card.Name);
        out += "<tr><td><b><a name=\"" + anchor + "\">" + anchor +
               "</a></b></td><td>Type=" + card.SummaryType + "</td><td>Cost=" + card.Cost +
               "</td><td align=right>" + SetList(card) +
               "</td></tr><tr><td colspan=4>Text(Oracle 2004-0" +
               std::to_string(1 + card.Name.size() % 9) + "):</td></tr>\r\n" +
               "<tr><td colspan=4><ul>\r\n";
        for (const std::string& ruling : card.Rulings)
            out += "<li type=disc>" + ruling + "\r\n";
        out += "</ul></td></tr>\r\n";
    }
    return out + "</table>\r\n</body>\r\n</html>\r\n";
}

std::string Manifest(const TCardPool& pool) {
    std::size_t oracle = 0, index = 0, summary = 0;
    for (const TCard& card : pool.Cards) {
        std::size_t records = card.Kind == TCard::Split ? 2 : 1;
        oracle += records;
        index += card.Kind == TCard::Token ? 0 : records;
        summary += card.InSummary && card.Kind != TCard::Token ? 1 : 0;
    }
    return "cards=" + std::to_string(pool.Cards.size()) + "\n" +
           "oracle_records=" + std::to_string(oracle) + "\n" +
           "index_records=" + std::to_string(index) + "\n" +
           "summary_records=" + std::to_string(summary) + "\n" +
           "typical=" + pool.Cards[pool.TypicalCard].Name + "\n" +
           "longest=" + pool.Cards[pool.LongestCard].Name + "\n";
}

} // namespace

void WriteSources(const TCardPool& pool, const fs::path& dataDir) {
    WriteFile(dataDir / "oracle/ORT110-01-03.txt", OracleFile(pool, 0, "\r\n"));
    WriteFile(dataDir / "oracle/ORUnglued.txt", OracleFile(pool, 1, "\n"));
    WriteFile(dataDir / "oracle/ORPortal.txt", OracleFile(pool, 2, "\r"));
    WriteFile(dataDir / "cardindex/index.txt", IndexFile(pool));
    WriteFile(dataDir / "summary/rule-cards.html", SummaryFile(pool));
    WriteFile(dataDir / "manifest.txt", Manifest(pool));
}
