#include "view/PageImport.h"
#include "common/Win1252.h"
#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QPainter>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>

// Owns the pictures of one document and draws them as inline objects.
class TPictureStore : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    TGraphic* Keep(std::unique_ptr<TGraphic> picture) {
        FPictures.push_back(std::move(picture));
        return FPictures.back().get();
    }

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
        const TGraphic* picture = TPageImporter::Picture(format);
        if (!picture)
            return {};
        return QSizeF(std::max(0, picture->GetWidth()), std::max(0, picture->GetHeight()));
    }

    // The layout puts an object's bottom on the baseline; the shift moves it from there,
    // a negative value downwards.
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        TGraphic* picture = TPageImporter::Picture(format);
        if (!picture)
            return;
        const int shift = format.intProperty(PageFormat::PictureShift);
        picture->Draw(*painter, rect.translated(0, -shift).toRect());
    }

private:
    std::vector<std::unique_ptr<TGraphic>> FPictures;
};

namespace {

const QString BodyFont = QStringLiteral("Times New Roman");
constexpr qreal BodyFontSize = 12;
const QString FixedFont = QStringLiteral("Courier New");
constexpr qreal FixedFontSize = 10;
constexpr int MaxPictureExtent = 32767;

enum class TTag {
    Bold,
    Italic,
    Underline,
    Strike,
    Br,
    P,
    Div,
    Hr,
    A,
    Img,
    Font,
    Center,
    Heading,
    Ul,
    Ol,
    Li,
    Table,
    Tr,
    Cell,
    Pre,
    Hidden
};

std::optional<TTag> TagOf(const std::string& name) {
    static const std::unordered_map<std::string, TTag> tags = {
        {"b", TTag::Bold},       {"strong", TTag::Bold},   {"i", TTag::Italic},
        {"em", TTag::Italic},    {"u", TTag::Underline},   {"strike", TTag::Strike},
        {"br", TTag::Br},        {"p", TTag::P},           {"div", TTag::Div},
        {"hr", TTag::Hr},        {"a", TTag::A},           {"img", TTag::Img},
        {"font", TTag::Font},    {"center", TTag::Center}, {"h1", TTag::Heading},
        {"h2", TTag::Heading},   {"h3", TTag::Heading},    {"h4", TTag::Heading},
        {"h5", TTag::Heading},   {"h6", TTag::Heading},    {"ul", TTag::Ul},
        {"ol", TTag::Ol},        {"li", TTag::Li},         {"table", TTag::Table},
        {"tr", TTag::Tr},        {"td", TTag::Cell},       {"th", TTag::Cell},
        {"pre", TTag::Pre},      {"title", TTag::Hidden},  {"script", TTag::Hidden},
        {"style", TTag::Hidden}, {"noembed", TTag::Hidden}};
    const auto found = tags.find(name);
    if (found == tags.end())
        return std::nullopt;
    return found->second;
}

// The HTML 4 Latin-1 names, codes 161 to 255 in order.
constexpr const char* Latin1Names[] = {
    "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",
    "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",
    "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",
    "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute",
    "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave",
    "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde",
    "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
    "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

std::optional<char32_t> NamedCharacter(std::string_view name) {
    static const std::unordered_map<std::string_view, char32_t> names = [] {
        std::unordered_map<std::string_view, char32_t> table = {
            {"quot", '"'}, {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"nbsp", ' '}};
        char32_t code = 161;
        for (const char* latin1 : Latin1Names)
            table.emplace(latin1, code++);
        return table;
    }();
    const auto found = names.find(name);
    if (found == names.end())
        return std::nullopt;
    return found->second;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiAlnum(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c);
}
bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool IsCollapsedSpace(QChar c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

// A character reference starting at `amp`: the named ones above, or a decimal or
// hexadecimal code. Gives the character and the length of the reference.
std::optional<std::pair<char32_t, size_t>> CharacterReference(std::string_view text, size_t amp) {
    constexpr size_t LongestReference = 10;
    size_t end = amp + 1;
    while (end < text.size() && end - amp <= LongestReference && text[end] != ';' &&
           (IsAsciiAlnum(text[end]) || (end == amp + 1 && text[end] == '#')))
        ++end;
    if (end >= text.size() || text[end] != ';' || end == amp + 1)
        return std::nullopt;
    const std::string_view name = text.substr(amp + 1, end - amp - 1);
    const size_t length = end - amp + 1;
    if (name[0] != '#') {
        if (const auto named = NamedCharacter(name))
            return std::pair{*named, length};
        return std::nullopt;
    }
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string_view digits = name.substr(hex ? 2 : 1);
    unsigned code = 0;
    const auto [last, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    const bool valid = !digits.empty() && error == std::errc() &&
                       last == digits.data() + digits.size() && code > 0 && code <= 0x10FFFF &&
                       !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid)
        return std::nullopt;
    return std::pair{char32_t(code), length};
}

// Decodes the character references of an 8-bit text; anything that is not a reference
// stays as it is.
QString DecodeText(std::string_view text) {
    QString decoded;
    size_t start = 0;
    for (size_t amp = text.find('&'); amp != std::string_view::npos;
         amp = text.find('&', amp + 1)) {
        const auto reference = CharacterReference(text, amp);
        if (!reference)
            continue;
        decoded += AnsiToQString(text.substr(start, amp - start));
        const char32_t code = reference->first;
        decoded += QString::fromUcs4(&code, 1);
        start = amp + reference->second;
        amp = start - 1;
    }
    decoded += AnsiToQString(text.substr(start));
    return decoded;
}

// Whole-number attribute values; anything else (empty, a unit, overflow) is not a number.
std::optional<int> DecimalValue(std::string_view text) {
    while (!text.empty() && IsHtmlSpace(text.front()))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || last != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct TTagToken {
    std::string Name; // lower case
    bool End = false;
    std::vector<std::pair<std::string, std::string>> Attributes; // names in lower case

    const std::string* Attribute(std::string_view name) const {
        for (const auto& [key, value] : Attributes)
            if (key == name)
                return &value;
        return nullptr;
    }
};

// Reads the attributes between a tag's name and its closing ">". A quoted value that
// is not closed runs to the end of the tag; the first of two equal names counts.
void ReadAttributes(std::string_view tag, TTagToken& token) {
    size_t p = 0;
    while (p < tag.size()) {
        while (p < tag.size() && (IsHtmlSpace(tag[p]) || tag[p] == '/'))
            ++p;
        const size_t nameStart = p;
        while (p < tag.size() && !IsHtmlSpace(tag[p]) && tag[p] != '=' && tag[p] != '/')
            ++p;
        if (p == nameStart)
            break;
        std::string name = AsciiLower(tag.substr(nameStart, p - nameStart));
        while (p < tag.size() && IsHtmlSpace(tag[p]))
            ++p;
        std::string_view value;
        if (p < tag.size() && tag[p] == '=') {
            ++p;
            while (p < tag.size() && IsHtmlSpace(tag[p]))
                ++p;
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                const size_t close = tag.find(tag[p], p + 1);
                const size_t end = close == std::string_view::npos ? tag.size() : close;
                value = tag.substr(p + 1, end - p - 1);
                p = end + 1;
            } else {
                const size_t valueStart = p;
                while (p < tag.size() && !IsHtmlSpace(tag[p]))
                    ++p;
                value = tag.substr(valueStart, p - valueStart);
            }
        }
        if (!token.Attribute(name))
            token.Attributes.emplace_back(std::move(name), QStringToAnsi(DecodeText(value)));
    }
}

struct TTextStyle {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strike = false;
    bool Preformatted = false;
    QString Family = BodyFont;
    qreal PointSize = BodyFontSize;
    QColor Color = Qt::black;
};

// What a start tag changed, kept to be given back at its end tag.
struct TSaved {
    TTextStyle Style;
    Qt::Alignment Alignment;
};

// "size" of "font": 1 to 7, or relative to 3 with a sign.
qreal FontSizeOf(std::string_view value, qreal current) {
    static constexpr qreal Points[] = {8, 10, 12, 14, 18, 24, 36};
    const bool relative = value.starts_with('+') || value.starts_with('-');
    const std::optional<int> number = DecimalValue(relative ? value.substr(1) : value);
    if (!number)
        return current;
    // Wide enough that a relative size at the ends of the int range cannot overflow.
    const qint64 size =
        relative ? 3 + (value[0] == '-' ? -qint64(*number) : qint64(*number)) : qint64(*number);
    return Points[std::clamp<qint64>(size, 1, 7) - 1];
}

std::optional<Qt::Alignment> AlignmentOf(const std::string* value) {
    if (!value)
        return std::nullopt;
    const std::string lower = AsciiLower(*value);
    if (lower == "left")
        return Qt::AlignLeft;
    if (lower == "right")
        return Qt::AlignRight;
    if (lower == "center")
        return Qt::AlignHCenter;
    return std::nullopt;
}

// One load: walks the page once and builds the document through a cursor.
class TPageBuilder {
public:
    TPageBuilder(QTextDocument& document, TPictureStore& pictures, const TPictureRequest& request,
                 std::vector<std::string>& linkTargets, std::string_view page)
        : FCursor(&document), FPictures(pictures), FRequest(request), FLinkTargets(linkTargets),
          FPage(page) {}

    void Run() {
        FCursor.setBlockFormat(BlockFormat());
        FCursor.setBlockCharFormat(CharFormat());
        size_t textStart = 0;
        size_t lt = FPage.find('<');
        while (lt != std::string_view::npos) {
            const size_t next = Markup(lt, textStart);
            textStart = next ? next : textStart;
            lt = FPage.find('<', next ? next : lt + 1);
        }
        Text(FPage.substr(textStart));
    }

private:
    // Handles the markup at `lt` when there is some (after the text before it) and gives
    // the position after it; 0 when the "<" is plain text.
    size_t Markup(size_t lt, size_t textStart) {
        const std::string_view rest = FPage.substr(lt);
        if (rest.starts_with("<!--")) {
            Text(FPage.substr(textStart, lt - textStart));
            const size_t close = FPage.find("-->", lt + 4);
            return close == std::string_view::npos ? FPage.size() : close + 3;
        }
        const bool declaration = rest.size() > 1 && (rest[1] == '!' || rest[1] == '?');
        const bool end = rest.size() > 2 && rest[1] == '/' && IsAsciiLetter(rest[2]);
        const bool start = rest.size() > 1 && IsAsciiLetter(rest[1]);
        if (!declaration && !end && !start)
            return 0;
        const size_t gt = NextGreaterThan(lt);
        if (gt == std::string_view::npos)
            return 0;
        Text(FPage.substr(textStart, lt - textStart));
        if (declaration)
            return gt + 1;

        TTagToken token;
        token.End = end;
        const size_t nameStart = lt + (end ? 2 : 1);
        size_t nameEnd = nameStart;
        while (nameEnd < gt && IsAsciiAlnum(FPage[nameEnd]))
            ++nameEnd;
        token.Name = AsciiLower(FPage.substr(nameStart, nameEnd - nameStart));
        if (!end)
            ReadAttributes(FPage.substr(nameEnd, gt - nameEnd), token);
        const std::optional<TTag> tag = TagOf(token.Name);
        if (!tag)
            return gt + 1; // unknown tags are dropped, their text stays
        if (*tag == TTag::Hidden)
            return end ? gt + 1 : SkipHiddenContent(token.Name, gt + 1);
        if (end)
            EndTag(*tag, token);
        else
            StartTag(*tag, token);
        return gt + 1;
    }

    // Each search goes on from where the last one stopped, so a page full of "<" without
    // ">" is still read in one pass.
    size_t NextGreaterThan(size_t from) {
        if (FNoGreaterThanFrom <= from)
            return std::string_view::npos;
        if (FGreaterThan == std::string_view::npos || FGreaterThan < from) {
            FGreaterThan = FPage.find('>', from);
            if (FGreaterThan == std::string_view::npos)
                FNoGreaterThanFrom = from;
        }
        return FGreaterThan;
    }

    // The content of "title", "script", "style" and "noembed" runs to the matching end tag,
    // or to the end of the page.
    size_t SkipHiddenContent(const std::string& name, size_t from) {
        for (size_t lt = FPage.find("</", from); lt != std::string_view::npos;
             lt = FPage.find("</", lt + 2)) {
            const std::string_view candidate = FPage.substr(lt + 2, name.size());
            const size_t after = lt + 2 + name.size();
            if (AsciiLower(candidate) == name &&
                (after >= FPage.size() || !IsAsciiAlnum(FPage[after]))) {
                const size_t gt = FPage.find('>', after);
                return gt == std::string_view::npos ? FPage.size() : gt + 1;
            }
        }
        return FPage.size();
    }

    void StartTag(TTag tag, const TTagToken& token) {
        switch (tag) {
        case TTag::Bold:
            FStyle.Bold = true;
            break;
        case TTag::Italic:
            FStyle.Italic = true;
            break;
        case TTag::Underline:
            FStyle.Underline = true;
            break;
        case TTag::Strike:
            FStyle.Strike = true;
            break;
        case TTag::Br:
            NewParagraph();
            break;
        case TTag::P:
            Save(tag);
            StartParagraph();
            if (const auto alignment = AlignmentOf(token.Attribute("align")))
                SetAlignment(*alignment);
            break;
        case TTag::Div:
            Save(tag);
            if (const auto alignment = AlignmentOf(token.Attribute("align")))
                SetAlignment(*alignment);
            break;
        case TTag::Center:
            Save(tag);
            StartParagraph();
            SetAlignment(Qt::AlignHCenter);
            break;
        case TTag::Hr:
            Rule();
            break;
        case TTag::A:
            Anchor(token);
            break;
        case TTag::Img:
            Picture(token);
            break;
        case TTag::Font:
            Font(token);
            break;
        case TTag::Heading:
            Heading(token.Name);
            break;
        case TTag::Ul:
        case TTag::Ol:
            FLists.push_back(tag == TTag::Ol ? 1 : 0);
            StartParagraph();
            break;
        case TTag::Li:
            ListItem();
            break;
        case TTag::Table:
        case TTag::Tr:
            StartParagraph();
            break;
        case TTag::Cell:
            if (!FBlockEmpty)
                Insert(QStringLiteral("\t"));
            break;
        case TTag::Pre:
            Save(tag);
            StartParagraph();
            FStyle.Preformatted = true;
            FStyle.Family = FixedFont;
            FStyle.PointSize = FixedFontSize;
            break;
        case TTag::Hidden:
            break;
        }
    }

    void EndTag(TTag tag, const TTagToken& token) {
        switch (tag) {
        case TTag::Bold:
            FStyle.Bold = false;
            break;
        case TTag::Italic:
            FStyle.Italic = false;
            break;
        case TTag::Underline:
            FStyle.Underline = false;
            break;
        case TTag::Strike:
            FStyle.Strike = false;
            break;
        case TTag::P:
        case TTag::Div:
            if (const auto saved = Restore(tag))
                SetAlignment(saved->Alignment);
            if (tag == TTag::Div)
                FDropSpace = true;
            break;
        case TTag::Center:
            if (const auto saved = Restore(tag))
                SetAlignment(saved->Alignment);
            StartParagraph();
            break;
        case TTag::A:
            EndLink();
            break;
        case TTag::Font:
            if (const auto saved = Restore(tag)) {
                FStyle.Family = saved->Style.Family;
                FStyle.PointSize = saved->Style.PointSize;
                FStyle.Color = saved->Style.Color;
            }
            break;
        case TTag::Heading:
            if (const auto saved = Restore(tag, token.Name)) {
                FStyle.Bold = saved->Style.Bold;
                FStyle.PointSize = saved->Style.PointSize;
                StartParagraph();
            }
            break;
        case TTag::Ul:
        case TTag::Ol:
            if (!FLists.empty())
                FLists.pop_back();
            StartParagraph();
            break;
        case TTag::Table:
        case TTag::Tr:
            StartParagraph();
            break;
        case TTag::Pre:
            if (const auto saved = Restore(tag)) {
                FStyle.Preformatted = saved->Style.Preformatted;
                FStyle.Family = saved->Style.Family;
                FStyle.PointSize = saved->Style.PointSize;
                StartParagraph();
            }
            break;
        default:
            break;
        }
    }

    // Start tags whose end tag gives something back keep it on a stack of their own name,
    // so an end tag finds its start tag in constant time however deep the nesting.
    void Save(TTag tag, const std::string& name = {}) {
        FSaved[SaveKey(tag, name)].push_back({FStyle, FAlignment});
    }

    std::optional<TSaved> Restore(TTag tag, const std::string& name = {}) {
        auto& stack = FSaved[SaveKey(tag, name)];
        if (stack.empty())
            return std::nullopt;
        TSaved saved = stack.back();
        stack.pop_back();
        return saved;
    }

    static std::string SaveKey(TTag tag, const std::string& name) {
        return std::to_string(int(tag)) + name;
    }

    // Inside an open link another "a" is ignored together with its end tag.
    void Anchor(const TTagToken& token) {
        const std::string* href = token.Attribute("href");
        if (const std::string* name = token.Attribute("name"); name && !href)
            FPendingAnchors << AnsiToQString(*name);
        if (FLink) {
            ++FNestedAnchors;
        } else if (href) {
            FLink = int(FLinkTargets.size());
            FLinkTargets.push_back(*href);
        }
    }

    // The link style replaced the text style, which the link never changed, so the style
    // from before the link is in force again.
    void EndLink() {
        if (FNestedAnchors > 0)
            --FNestedAnchors;
        else
            FLink.reset();
    }

    void Picture(const TTagToken& token) {
        if (!FRequest)
            return;
        const std::string* src = token.Attribute("src");
        const std::string* width = token.Attribute("width");
        const std::string* height = token.Attribute("height");
        const auto numberOf = [](const std::string* value) -> std::optional<int> {
            return value ? DecimalValue(*value) : std::nullopt;
        };
        std::unique_ptr<TGraphic> graphic = FRequest(
            src ? *src : std::string(), numberOf(width).value_or(0), numberOf(height).value_or(0));
        if (!graphic)
            return;
        // A negative size would give the layout a negative box: keep the picture's own.
        // Sizes and shifts are bounded so that no coordinate of the page can overflow.
        if (const auto value = numberOf(width); value && *value >= 0)
            graphic->SetWidth(std::min(*value, MaxPictureExtent));
        if (const auto value = numberOf(height); value && *value >= 0)
            graphic->SetHeight(std::min(*value, MaxPictureExtent));
        const std::string* vshift = token.Attribute("vshift");
        const int shift = std::clamp(vshift ? DecimalValue(*vshift).value_or(0) : 0,
                                     -MaxPictureExtent, MaxPictureExtent);

        QTextCharFormat format = ContentFormat();
        format.setObjectType(PageFormat::PictureObject);
        format.setProperty(PageFormat::PictureSource, AnsiToQString(src ? *src : std::string()));
        format.setProperty(PageFormat::PictureShift, shift);
        TGraphic* kept = FPictures.Keep(std::move(graphic));
        format.setProperty(PageFormat::PictureProperty,
                           QVariant::fromValue(reinterpret_cast<quintptr>(kept)));
        FCursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
        FBlockEmpty = false;
        FDropSpace = false;
    }

    void Font(const TTagToken& token) {
        Save(TTag::Font);
        if (const std::string* face = token.Attribute("face"); face && !face->empty())
            FStyle.Family = AnsiToQString(face->substr(0, face->find(',')));
        if (const std::string* size = token.Attribute("size"))
            FStyle.PointSize = FontSizeOf(*size, FStyle.PointSize);
        if (const std::string* color = token.Attribute("color")) {
            const QColor named = QColor::fromString(AnsiToQString(*color));
            if (named.isValid())
                FStyle.Color = named;
        }
    }

    void Heading(const std::string& name) {
        static constexpr qreal Points[] = {24, 18, 14, 12, 10, 8};
        Save(TTag::Heading, name);
        StartParagraph();
        FStyle.Bold = true;
        FStyle.PointSize = Points[name[1] - '1'];
    }

    void ListItem() {
        StartParagraph();
        QTextBlockFormat format = FCursor.blockFormat();
        format.setIndent(int(FLists.size()));
        FCursor.setBlockFormat(format);
        if (!FLists.empty() && FLists.back() > 0)
            Insert(QString::number(FLists.back()++) + QStringLiteral(". "));
        else
            Insert(QStringLiteral("\u2022 "));
        FDropSpace = true;
    }

    void Text(std::string_view raw) {
        if (raw.empty())
            return;
        QString text = DecodeText(raw);
        if (FStyle.Preformatted) {
            PreformattedText(text);
            return;
        }
        QString collapsed;
        collapsed.reserve(text.size());
        for (const QChar c : text) {
            if (!IsCollapsedSpace(c))
                collapsed += c;
            else if (!(collapsed.isEmpty() ? FDropSpace : collapsed.back() == ' '))
                collapsed += ' ';
        }
        if (collapsed.isEmpty())
            return;
        Insert(collapsed);
        FDropSpace = collapsed.back() == ' ';
    }

    // Inside "pre" spaces stay and every line end starts a new paragraph.
    void PreformattedText(const QString& text) {
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool lineEnd = i < text.size() && (text[i] == '\r' || text[i] == '\n');
            if (i < text.size() && !lineEnd)
                continue;
            if (i > start)
                Insert(text.mid(start, i - start));
            if (lineEnd) {
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
                NewParagraph();
            }
            start = i + 1;
        }
    }

    void Insert(const QString& text) {
        FCursor.insertText(text, ContentFormat());
        FBlockEmpty = false;
    }

    QTextCharFormat CharFormat() {
        QTextCharFormat format;
        format.setFontFamilies({FStyle.Family});
        format.setFontPointSize(FStyle.PointSize);
        if (FLink) {
            format.setForeground(QColor(Qt::blue));
            format.setFontUnderline(true);
            format.setAnchor(true);
            format.setAnchorHref(QString::number(*FLink));
        } else {
            format.setForeground(FStyle.Color);
            format.setFontWeight(FStyle.Bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(FStyle.Italic);
            format.setFontUnderline(FStyle.Underline);
            format.setFontStrikeOut(FStyle.Strike);
        }
        return format;
    }

    // Named anchors mark the next character or picture.
    QTextCharFormat ContentFormat() {
        QTextCharFormat format = CharFormat();
        if (!FPendingAnchors.isEmpty()) {
            format.setAnchorNames(FPendingAnchors);
            FPendingAnchors.clear();
        }
        return format;
    }

    QTextBlockFormat BlockFormat() const {
        QTextBlockFormat format;
        format.setAlignment(FAlignment);
        return format;
    }

    // Ends the current line; what follows starts a new paragraph, also after an empty one.
    void NewParagraph() {
        FCursor.insertBlock(BlockFormat(), CharFormat());
        FBlockEmpty = true;
        FDropSpace = true;
    }

    // Makes what follows start a paragraph, without leaving an empty one behind.
    void StartParagraph() {
        if (!FBlockEmpty)
            NewParagraph();
        FDropSpace = true;
    }

    void SetAlignment(Qt::Alignment alignment) {
        FAlignment = alignment;
        if (FBlockEmpty)
            FCursor.setBlockFormat(BlockFormat());
    }

    // A rule is an empty paragraph of its own that draws a line across the page.
    void Rule() {
        StartParagraph();
        QTextBlockFormat rule = BlockFormat();
        rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                         QTextLength(QTextLength::PercentageLength, 100));
        FCursor.setBlockFormat(rule);
        FBlockEmpty = false;
        NewParagraph();
    }

    QTextCursor FCursor;
    TPictureStore& FPictures;
    const TPictureRequest& FRequest;
    std::vector<std::string>& FLinkTargets;
    std::string_view FPage;

    TTextStyle FStyle;
    Qt::Alignment FAlignment = Qt::AlignLeft;
    std::optional<int> FLink;
    int FNestedAnchors = 0;
    QStringList FPendingAnchors;
    std::vector<int> FLists; // per open list: the next number, 0 for bullets
    std::unordered_map<std::string, std::vector<TSaved>> FSaved;
    bool FBlockEmpty = true;
    bool FDropSpace = true;
    size_t FGreaterThan = std::string_view::npos;
    size_t FNoGreaterThanFrom = std::string_view::npos;
};

// Closes the document's edit step also when a picture request fails part-way.
class TEditBlock {
public:
    explicit TEditBlock(QTextDocument& document) : FCursor(&document) { FCursor.beginEditBlock(); }
    ~TEditBlock() { FCursor.endEditBlock(); }

private:
    QTextCursor FCursor;
};

} // namespace

TPageImporter::TPageImporter(QTextDocument& document) : FDocument(document) {}

TPageImporter::~TPageImporter() = default;

void TPageImporter::Load(std::string_view page) {
    FDocument.clear();
    FLinkTargets.clear();
    delete FPictures; // after the clear, no character refers to the old pictures
    FPictures = new TPictureStore(&FDocument);
    FDocument.documentLayout()->registerHandler(PageFormat::PictureObject, FPictures);
    FDocument.setUndoRedoEnabled(false);
    QFont body(BodyFont);
    body.setPointSizeF(BodyFontSize);
    FDocument.setDefaultFont(body);

    TEditBlock edit(FDocument);
    TPageBuilder(FDocument, *FPictures, FRequest, FLinkTargets, page).Run();
}

const std::string* TPageImporter::LinkTarget(int jump) const {
    if (jump < 0 || jump >= int(FLinkTargets.size()))
        return nullptr;
    return &FLinkTargets[size_t(jump)];
}

TGraphic* TPageImporter::Picture(const QTextFormat& format) {
    if (format.objectType() != PageFormat::PictureObject)
        return nullptr;
    return reinterpret_cast<TGraphic*>(
        format.property(PageFormat::PictureProperty).value<quintptr>());
}

#include "PageImport.moc"
