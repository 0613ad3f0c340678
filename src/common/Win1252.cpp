#include "common/Win1252.h"

#include <array>

namespace {

// Unicode code points of the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return HighControls[byte - 0x80];
    return byte;
}

char FromUnicode(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<char>(code);
    for (size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == code)
            return static_cast<char>(0x80 + i);
    return '?';
}

// What each byte becomes in a sort key; bytes not listed keep their upper-case form.
struct SortFolds {
    std::array<const char*, 256> Fold{};
    SortFolds() {
        auto set = [this](int from, int to, const char* fold) {
            for (int c = from; c <= to; ++c)
                Fold[c] = fold;
        };
        set(0xC0, 0xC5, "A"), set(0xE0, 0xE5, "A"), set(0xC6, 0xC6, "AE"), set(0xE6, 0xE6, "AE");
        set(0xC7, 0xC7, "C"), set(0xE7, 0xE7, "C"), set(0xC8, 0xCB, "E"), set(0xE8, 0xEB, "E");
        set(0xCC, 0xCF, "I"), set(0xEC, 0xEF, "I"), set(0xD0, 0xD0, "D"), set(0xF0, 0xF0, "D");
        set(0xD1, 0xD1, "N"), set(0xF1, 0xF1, "N"), set(0xD2, 0xD6, "O"), set(0xF2, 0xF6, "O");
        set(0xD8, 0xD8, "O"), set(0xF8, 0xF8, "O"), set(0xD9, 0xDC, "U"), set(0xF9, 0xFC, "U");
        set(0xDD, 0xDD, "Y"), set(0xFD, 0xFD, "Y"), set(0xFF, 0xFF, "Y"), set(0x9F, 0x9F, "Y");
        set(0xDE, 0xDE, "TH"), set(0xFE, 0xFE, "TH"), set(0xDF, 0xDF, "SS");
        set(0x8A, 0x8A, "S"), set(0x9A, 0x9A, "S"), set(0x8C, 0x8C, "OE"), set(0x9C, 0x9C, "OE");
        set(0x8E, 0x8E, "Z"), set(0x9E, 0x9E, "Z");
        set(0x91, 0x92, "'"), set(0x93, 0x94, "\""), set(0x96, 0x97, "-");
    }
};

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `pos`; a malformed sequence yields U+FFFD and one byte.
char32_t NextUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || pos + extra > text.size())
        return 0xFFFD;
    char32_t code = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return 0xFFFD;
        code = (code << 6) | (next & 0x3F);
    }
    pos += extra;
    return code;
}

} // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 8);
    for (char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else
            AppendUtf8(out, ToUnicode(byte));
    }
    return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            out += utf8[pos++];
            continue;
        }
        out += FromUnicode(NextUtf8(utf8, pos));
    }
    return out;
}

QString AnsiToQString(std::string_view ansi) {
    QString out(static_cast<qsizetype>(ansi.size()), Qt::Uninitialized);
    QChar* data = out.data();
    for (size_t i = 0; i < ansi.size(); ++i)
        data[i] = QChar(static_cast<char16_t>(ToUnicode(static_cast<unsigned char>(ansi[i]))));
    return out;
}

std::string QStringToAnsi(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one character outside the code page, one "?"
        out += FromUnicode(c.unicode());
    }
    return out;
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AnsiUpperChar(c);
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AnsiLowerChar(c);
    return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    const auto& upper = AnsiCaseTables.Upper;
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int ca = upper[static_cast<unsigned char>(a[i])];
        const int cb = upper[static_cast<unsigned char>(b[i])];
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

bool AnsiStartsText(std::string_view prefix, std::string_view text) {
    return prefix.size() <= text.size() &&
           AnsiCompareText(prefix, text.substr(0, prefix.size())) == 0;
}

std::string AnsiSortKey(std::string_view text) {
    static const SortFolds folds;
    std::string key;
    key.reserve(text.size());
    for (char c : text) {
        if (const char* fold = folds.Fold[static_cast<unsigned char>(c)])
            key += fold;
        else
            key += AnsiUpperChar(c);
    }
    return key;
}
