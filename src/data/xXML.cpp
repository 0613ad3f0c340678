#include "data/xXML.h"

#include "common/Exception.h"
#include "common/ExtUtils.h"
#include "common/Win1252.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

// Comments and processing instructions are kept as nodes; a document type declaration is
// skipped unread, so its entities are never expanded or fetched.
constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;
// How much of a long line a parse error shows on each side of the error position.
constexpr std::size_t SourceWindow = 120;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// Bytes held by pugixml for all documents. Signed: a block that was allocated before the
// counting began may be freed through it.
std::atomic<std::ptrdiff_t> LiveBytes{0};

void* CountedAllocate(std::size_t size) {
    if (static_cast<std::ptrdiff_t>(size) > static_cast<std::ptrdiff_t>(XMLMemoryLimit) - LiveBytes)
        return nullptr;
    void* block = std::malloc(size);
    if (block)
        LiveBytes += static_cast<std::ptrdiff_t>(malloc_usable_size(block));
    return block;
}

void CountedDeallocate(void* block) {
    if (!block)
        return;
    LiveBytes -= static_cast<std::ptrdiff_t>(malloc_usable_size(block));
    std::free(block);
}

// Most texts of the database are plain ASCII; those are copied as they stand.
std::string TextFromXML(const char* utf8) {
    const std::string_view text(utf8);
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? std::string(text) : Utf8ToAnsi(text);
}

[[noreturn]] void RaiseOutOfMemory() {
    throw Exception("Could not allocate memory");
}

template <class T> T Checked(T created) {
    if (!created)
        RaiseOutOfMemory();
    return created;
}

// Letters, digits and "_", "-", ".", ":", not starting with a digit, "-" or "."; any
// non-ASCII character counts as a letter.
bool IsXMLName(std::string_view name) {
    if (name.empty())
        return false;
    auto isNameChar = [](unsigned char c) {
        return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
    };
    const unsigned char first = static_cast<unsigned char>(name.front());
    if ((first >= '0' && first <= '9') || first == '-' || first == '.')
        return false;
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return isNameChar(static_cast<unsigned char>(c)); });
}

std::string XMLName(std::string_view name) {
    std::string utf8 = AnsiToUtf8(name);
    if (!IsXMLName(utf8))
        throw Exception("Invalid XML name: \"" + std::string(name) + "\"");
    return utf8;
}

pugi::xml_parse_result ResultOf(pugi::xml_parse_status status) {
    pugi::xml_parse_result result;
    result.status = status;
    result.offset = 0;
    return result;
}

// Reads the whole file into a buffer that the tree then owns and parses it in place.
pugi::xml_parse_result ReadAndParse(QFile& file, pugi::xml_document& tree) {
    if (!file.open(QIODevice::ReadOnly))
        return ResultOf(pugi::status_file_not_found);
    const qint64 size = file.size();
    // Allocated the parser's way, since the tree frees it.
    void* buffer =
        pugi::get_memory_allocation_function()(static_cast<std::size_t>(std::max<qint64>(size, 1)));
    if (!buffer)
        return ResultOf(pugi::status_out_of_memory);
    if (file.read(static_cast<char*>(buffer), size) != size) {
        pugi::get_memory_deallocation_function()(buffer);
        return ResultOf(pugi::status_io_error);
    }
    return tree.load_buffer_inplace_own(buffer, static_cast<std::size_t>(size), ParseOptions,
                                        pugi::encoding_auto);
}

// The file's text as the parser saw it (UTF-8), at least up to the error position and a
// window beyond it. In-place parsing alters the buffer, so the file is read again.
std::string ParsedTextAround(QFile& file, const pugi::xml_parse_result& result) {
    if (!file.seek(0))
        return {};
    QStringConverter::Encoding encoding;
    switch (result.encoding) {
    case pugi::encoding_utf16_le:
        encoding = QStringConverter::Utf16LE;
        break;
    case pugi::encoding_utf16_be:
        encoding = QStringConverter::Utf16BE;
        break;
    case pugi::encoding_utf32_le:
        encoding = QStringConverter::Utf32LE;
        break;
    case pugi::encoding_utf32_be:
        encoding = QStringConverter::Utf32BE;
        break;
    case pugi::encoding_latin1:
        encoding = QStringConverter::Latin1;
        break;
    default: {
        const QByteArray bytes = file.read(static_cast<qint64>(result.offset + SourceWindow + 1));
        return bytes.toStdString();
    }
    }
    // The parser converted the whole file to UTF-8, keeping a byte order mark as a character.
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(file.readAll());
    return text.toUtf8().toStdString();
}

bool IsUtf8Lead(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

struct TErrorPlace {
    std::int32_t Line = 1;
    std::int32_t Pos = 1;
    std::string Source; // UTF-8
};

// Line and column (in characters) of `offset`, both from 1, and the line around it.
TErrorPlace LocateError(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    TErrorPlace place;
    std::size_t lineStart = text.starts_with(Utf8Bom) ? Utf8Bom.size() : 0;
    for (std::size_t i = lineStart; i < offset; ++i) {
        const bool lineEnd =
            text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
        if (lineEnd) {
            ++place.Line;
            lineStart = i + 1;
        }
    }
    lineStart = std::min(lineStart, offset);
    place.Pos = 1 + static_cast<std::int32_t>(
                        std::count_if(text.begin() + lineStart, text.begin() + offset, IsUtf8Lead));
    std::size_t lineEnd = text.find_first_of("\r\n", offset);
    if (lineEnd == std::string_view::npos)
        lineEnd = text.size();
    std::size_t from = offset - lineStart > SourceWindow ? offset - SourceWindow : lineStart;
    while (from < offset && !IsUtf8Lead(text[from]))
        ++from;
    std::size_t to = std::min(lineEnd, offset + SourceWindow);
    while (to > offset && to < text.size() && !IsUtf8Lead(text[to]))
        --to;
    place.Source = std::string(text.substr(from, to - from));
    return place;
}

IXMLDOMParseError DescribeParseError(QFile& file, std::string_view fileName,
                                     const pugi::xml_parse_result& result) {
    const std::int32_t code = static_cast<std::int32_t>(result.status);
    std::string url(fileName);
    const std::string reason = result.description();
    if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error)
        return IXMLDOMParseError(code, url, reason, "", 0, 0);
    const std::string text = ParsedTextAround(file, result);
    const TErrorPlace place = LocateError(text, static_cast<std::size_t>(result.offset));
    return IXMLDOMParseError(code, url, reason, Utf8ToAnsi(place.Source), place.Line, place.Pos);
}

// Writes straight through to the file (unbuffered) and notes a short write, which the file
// itself would not count as an error.
class TSaveFileWriter : public pugi::xml_writer {
public:
    explicit TSaveFileWriter(QSaveFile& file) : FFile(file) {}
    void write(const void* data, std::size_t size) override {
        if (!FFailed)
            FFailed = FFile.write(static_cast<const char*>(data), static_cast<qint64>(size)) !=
                      static_cast<qint64>(size);
    }
    bool Failed() const { return FFailed; }

private:
    QSaveFile& FFile;
    bool FFailed = false;
};

[[noreturn]] void RaiseSaveError(std::string_view fileName, const QString& reason) {
    throw Exception("Cannot save file \"" + std::string(fileName) + "\". " + QStringToAnsi(reason));
}

} // namespace

// The pugixml tree of a document. Nodes never leave it while the document lives, so every
// handle stays valid: new nodes wait in a hidden parking element until they are appended,
// a replaced root is parked, and a reload keeps the old tree aside.
class TXMLDocumentData {
public:
    std::unique_ptr<pugi::xml_document> Tree = std::make_unique<pugi::xml_document>();
    IXMLDOMParseError ParseError{0, "", "", "", 0, 0};

    pugi::xml_node Parking() {
        if (!FParking)
            FParking = Checked(Tree->append_child(pugi::node_element));
        return FParking;
    }
    bool IsParking(const pugi::xml_node& node) const { return FParking && node == FParking; }

    pugi::xml_node Root() const {
        for (pugi::xml_node child = Tree->first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element && !IsParking(child))
                return child;
        return {};
    }

    void StartAfresh() {
        if (Tree->first_child()) {
            FRetired.push_back(std::move(Tree));
            Tree = std::make_unique<pugi::xml_document>();
        }
        FParking = {};
    }

private:
    pugi::xml_node FParking;
    std::vector<std::unique_ptr<pugi::xml_document>> FRetired;
};

// --- IXMLDOMNode ---

void IXMLDOMNode::CheckNotNull() const {
    if (!*this)
        throw Exception("The XML node is null");
}

DOMNodeType IXMLDOMNode::nodeType() const {
    CheckNotNull();
    if (FAttribute)
        return NodeAttribute;
    switch (FNode.type()) {
    case pugi::node_element:
        return NodeElement;
    case pugi::node_cdata:
        return NodeCDataSection;
    case pugi::node_comment:
        return NodeComment;
    case pugi::node_pi:
        return NodeProcessingInstruction;
    default:
        return NodeText;
    }
}

std::string IXMLDOMNode::nodeValue() const {
    CheckNotNull();
    return TextFromXML(FAttribute ? FAttribute.value() : FNode.value());
}

IXMLDOMNamedNodeMap IXMLDOMNode::attributes() const {
    CheckNotNull();
    if (FNode.type() != pugi::node_element)
        return {};
    return IXMLDOMNamedNodeMap(FDocument, FNode);
}

IXMLDOMNodeList IXMLDOMNode::childNodes() const {
    CheckNotNull();
    auto data = std::make_shared<IXMLDOMNodeList::TData>();
    data->Document = FDocument;
    for (pugi::xml_node child = FNode.first_child(); child; child = child.next_sibling())
        data->Nodes.push_back(child);
    return IXMLDOMNodeList(std::move(data));
}

IXMLDOMNode IXMLDOMNode::appendChild(const IXMLDOMNode& newChild) const {
    CheckNotNull();
    newChild.CheckNotNull();
    if (newChild.FDocument != FDocument)
        throw Exception("The node belongs to another XML document");
    pugi::xml_node parent = FNode; // a handle is const; the tree it points into is not
    if (FAttribute || newChild.FAttribute || !parent.append_move(newChild.FNode))
        throw Exception("The XML node cannot be inserted here");
    return newChild;
}

IXMLDOMDocument2 IXMLDOMNode::ownerDocument() const {
    CheckNotNull();
    return IXMLDOMDocument2(FDocument);
}

// --- IXMLDOMNodeList ---

std::int32_t IXMLDOMNodeList::length() const {
    if (!FData)
        throw Exception("The XML node list is null");
    return static_cast<std::int32_t>(FData->Nodes.size());
}

IXMLDOMNode IXMLDOMNodeList::item(std::int32_t index) const {
    if (index < 0 || index >= length())
        return {};
    return IXMLDOMNode(FData->Document, FData->Nodes[static_cast<std::size_t>(index)]);
}

// --- IXMLDOMAttribute ---

void IXMLDOMAttribute::CheckNotNull() const {
    if (!FState)
        throw Exception("The XML attribute is null");
}

void IXMLDOMAttribute::setValue(std::string_view value) const {
    CheckNotNull();
    std::string utf8 = AnsiToUtf8(value);
    if (!FState->Bound)
        FState->Value = std::move(utf8);
    else if (!FState->Bound.set_value(utf8.data(), utf8.size()))
        RaiseOutOfMemory();
}

// --- IXMLDOMNamedNodeMap ---

void IXMLDOMNamedNodeMap::CheckNotNull() const {
    if (!FElement)
        throw Exception("The XML attribute map is null");
}

IXMLDOMNode IXMLDOMNamedNodeMap::getNamedItem(std::string_view name) const {
    CheckNotNull();
    const pugi::xml_attribute found = FElement.attribute(AnsiToUtf8(name).c_str());
    if (!found)
        return {};
    return IXMLDOMNode(FDocument, found);
}

void IXMLDOMNamedNodeMap::setNamedItem(const IXMLDOMAttribute& attribute) const {
    CheckNotNull();
    attribute.CheckNotNull();
    if (attribute.FDocument != FDocument)
        throw Exception("The attribute belongs to another XML document");
    IXMLDOMAttribute::TState& state = *attribute.FState;
    if (state.Bound) {
        for (pugi::xml_attribute own : FElement.attributes())
            if (own == state.Bound)
                return;
        throw Exception("The attribute \"" + Utf8ToAnsi(state.Name) +
                        "\" already belongs to another element");
    }
    pugi::xml_node element = FElement;
    pugi::xml_attribute target = element.attribute(state.Name.c_str());
    if (!target)
        target = Checked(element.append_attribute(state.Name.c_str()));
    if (!target.set_value(state.Value.data(), state.Value.size()))
        RaiseOutOfMemory();
    state.Bound = target;
    state.Value.clear();
}

// --- IXMLDOMParseError ---

IXMLDOMParseError::IXMLDOMParseError(std::int32_t errorCode, std::string url, std::string reason,
                                     std::string srcText, std::int32_t line, std::int32_t linepos)
    : FData(std::make_shared<const TData>(TData{errorCode, std::move(url), std::move(reason),
                                                std::move(srcText), line, linepos})) {}

const IXMLDOMParseError::TData& IXMLDOMParseError::Data() const {
    if (!FData)
        throw Exception("The XML parse error is null");
    return *FData;
}

std::int32_t IXMLDOMParseError::errorCode() const {
    return Data().ErrorCode;
}
const std::string& IXMLDOMParseError::url() const {
    return Data().Url;
}
const std::string& IXMLDOMParseError::reason() const {
    return Data().Reason;
}
const std::string& IXMLDOMParseError::srcText() const {
    return Data().SrcText;
}
std::int32_t IXMLDOMParseError::line() const {
    return Data().Line;
}
std::int32_t IXMLDOMParseError::linepos() const {
    return Data().Linepos;
}

// --- IXMLDOMDocument2 ---

TXMLDocumentData& IXMLDOMDocument2::Data() const {
    if (!FData)
        throw Exception("The XML document is null");
    return *FData;
}

void IXMLDOMDocument2::setAsync(bool) const {
    Data();
}
void IXMLDOMDocument2::setValidateOnParse(bool) const {
    Data();
}
void IXMLDOMDocument2::setResolveExternals(bool) const {
    Data();
}

void IXMLDOMDocument2::setProperty(std::string_view name, std::string_view) const {
    Data();
    if (name != "SelectionLanguage")
        throw Exception("Unknown XML document property: " + std::string(name));
}

void IXMLDOMDocument2::setProperty(std::string_view name, bool) const {
    Data();
    if (name != "NewParser")
        throw Exception("Unknown XML document property: " + std::string(name));
}

bool IXMLDOMDocument2::load(std::string_view fileName) const {
    TXMLDocumentData& data = Data();
    data.StartAfresh();
    QFile file(AnsiToQString(fileName));
    const pugi::xml_parse_result result = ReadAndParse(file, *data.Tree);
    if (result) {
        data.ParseError = IXMLDOMParseError(0, std::string(fileName), "", "", 0, 0);
        return true;
    }
    data.Tree->reset(); // no partial tree; this also frees the memory a failed parse took
    data.ParseError = DescribeParseError(file, fileName, result);
    return false;
}

IXMLDOMParseError IXMLDOMDocument2::parseError() const {
    return Data().ParseError;
}

IXMLDOMNode IXMLDOMDocument2::documentElement() const {
    const pugi::xml_node root = Data().Root();
    if (!root)
        return {};
    return IXMLDOMNode(FData, root);
}

void IXMLDOMDocument2::setDocumentElement(const IXMLDOMNode& element) const {
    TXMLDocumentData& data = Data();
    element.CheckNotNull();
    if (element.FDocument != FData)
        throw Exception("The node belongs to another XML document");
    if (element.nodeType() != NodeElement)
        throw Exception("Only an element can be the document element");
    const pugi::xml_node oldRoot = data.Root();
    if (oldRoot == element.FNode)
        return;
    const bool moved = oldRoot ? data.Tree->insert_move_after(element.FNode, oldRoot)
                               : data.Tree->append_move(element.FNode);
    if (!moved || (oldRoot && !data.Parking().append_move(oldRoot)))
        throw Exception("The XML node cannot be inserted here");
}

IXMLDOMNode IXMLDOMDocument2::createElement(std::string_view tagName) const {
    TXMLDocumentData& data = Data();
    const std::string name = XMLName(tagName);
    pugi::xml_node element = Checked(data.Parking().append_child(pugi::node_element));
    if (!element.set_name(name.c_str()))
        RaiseOutOfMemory();
    return IXMLDOMNode(FData, element);
}

IXMLDOMAttribute IXMLDOMDocument2::createAttribute(std::string_view name) const {
    Data();
    auto state = std::make_shared<IXMLDOMAttribute::TState>();
    state->Name = XMLName(name);
    return IXMLDOMAttribute(FData, std::move(state));
}

IXMLDOMNode IXMLDOMDocument2::createCDATASection(std::string_view text) const {
    TXMLDocumentData& data = Data();
    const std::string utf8 = AnsiToUtf8(text);
    pugi::xml_node section = Checked(data.Parking().append_child(pugi::node_cdata));
    if (!section.set_value(utf8.data(), utf8.size()))
        RaiseOutOfMemory();
    return IXMLDOMNode(FData, section);
}

void IXMLDOMDocument2::save(std::string_view fileName) const {
    TXMLDocumentData& data = Data();
    QSaveFile file(AnsiToQString(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        RaiseSaveError(fileName, file.errorString());
    TSaveFileWriter writer(file);
    for (pugi::xml_node child = data.Tree->first_child(); child; child = child.next_sibling())
        if (!data.IsParking(child))
            child.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    if (writer.Failed()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("Not all of the file could be written.");
        file.cancelWriting(); // the temporary file goes, the old file stays
        RaiseSaveError(fileName, reason);
    }
    if (!file.commit())
        RaiseSaveError(fileName, file.errorString());
}

// --- operations ---

void LoadXMLLibrary() {
    static const bool installed = [] {
        pugi::set_memory_management_functions(CountedAllocate, CountedDeallocate);
        return true;
    }();
    (void)installed;
}

void CreateXMLDocument(IXMLDOMDocument2& document) {
    document = IXMLDOMDocument2();
    LoadXMLLibrary();
    document = IXMLDOMDocument2(std::make_shared<TXMLDocumentData>());
}

void CreateSchemaCache(IXMLDOMSchemaCollection2& cache) {
    cache = IXMLDOMSchemaCollection2();
}

std::string GetAttributeValue(const IXMLDOMNamedNodeMap& attributes, std::string_view name,
                              std::string_view defaultValue) {
    attributes.CheckNotNull();
    const pugi::xml_attribute found = attributes.FElement.attribute(AnsiToUtf8(name).c_str());
    return found ? TextFromXML(found.value()) : std::string(defaultValue);
}

std::string EscapeXML(std::string_view text) {
    std::string result = ReplaceAll(text, "&", "&amp;");
    result = ReplaceAll(result, "'", "&apos;");
    result = ReplaceAll(result, "\"", "&quot;");
    result = ReplaceAll(result, "<", "&lt;");
    result = ReplaceAll(result, ">", "&gt;");
    result = ReplaceAll(result, "\r\n", "&#xD;");
    result = ReplaceAll(result, "\n\r", "&#xD;");
    result = ReplaceAll(result, "\r", "&#xD;");
    result = ReplaceAll(result, "\n", "&#xD;");
    while (result.find("  ") != std::string::npos)
        result = ReplaceAll(result, "  ", " ");
    result = ReplaceAll(result, " &#xD;", "&#xD;");
    return ReplaceAll(result, "&#xD; ", "&#xD;");
}

std::string UnescapeXML(std::string_view text) {
    if (text.find('&') == std::string_view::npos) // every escape begins with "&"
        return std::string(text);
    std::string result = ReplaceAll(text, "&amp;", "&");
    result = ReplaceAll(result, "&apos;", "'");
    result = ReplaceAll(result, "&quot;", "\"");
    result = ReplaceAll(result, "&lt;", "<");
    result = ReplaceAll(result, "&gt;", ">");
    return ReplaceAll(result, "&#xD;", "\r\n");
}

std::string MakeIdentifier(std::string_view text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::string result;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            result += c;
        else if ((c == ' ' || c == '-' || c == '_') && (result.empty() || result.back() != '_'))
            result += '_'; // runs of separators collapse into one "_"
    }
    if (!result.empty() && result.front() >= '0' && result.front() <= '9')
        result.insert(result.begin(), '_');
    return result;
}

void CheckParseError(const IXMLDOMParseError& error) {
    if (!error || error.errorCode() == 0)
        return;
    char code[9];
    std::snprintf(code, sizeof code, "%08X", static_cast<std::uint32_t>(error.errorCode()));
    throw Exception("XML Parse Error (0x" + std::string(code) + "): " + error.url() + " [line " +
                    std::to_string(error.line()) + " pos " + std::to_string(error.linepos()) +
                    "]\r" + error.reason() + "\r\r" + error.srcText());
}
