#pragma once
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The program's XML documents: a small DOM over pugixml with the few operations the program
// uses, and the text rules the database files rest on.
//
// Every object is a handle: copying it copies a reference, and every handle to a node, list,
// attribute map or attribute keeps the whole document alive. A default-constructed handle is
// null (tests false); any operation on a null handle raises an Exception.
//
// Texts cross the boundary in Windows-1252 (names, values, file names); the documents hold
// UTF-8. Characters that Windows-1252 lacks become "?" on the way out.
//
// What is not here: schema and DTD validation (a document type declaration is skipped, its
// entities are neither fetched nor expanded), XPath, and live node lists.

class TXMLDocumentData; // the tree and its bookkeeping, shared by every handle into it
class IXMLDOMDocument2;
class IXMLDOMNamedNodeMap;
class IXMLDOMNodeList;

// The pugixml allocations of all documents together may not exceed this; a parse that would
// ends with the "Could not allocate memory" parse error instead of exhausting the machine.
inline constexpr std::size_t XMLMemoryLimit = std::size_t(512) << 20;

enum DOMNodeType : std::int32_t {
    NodeElement = 1,
    NodeAttribute = 2,
    NodeText = 3,
    NodeCDataSection = 4,
    NodeProcessingInstruction = 7,
    NodeComment = 8,
};

class IXMLDOMNode {
public:
    IXMLDOMNode() = default;
    explicit operator bool() const { return FNode || FAttribute; }
    // Handles are equal when they refer to the same node.
    friend bool operator==(const IXMLDOMNode& a, const IXMLDOMNode& b) {
        return a.FNode == b.FNode && a.FAttribute == b.FAttribute;
    }

    DOMNodeType nodeType() const;
    // The text of a CDATA section, text, comment or processing instruction, the value of an
    // attribute (its XML escapes resolved); empty for an element.
    std::string nodeValue() const;
    // The attributes of an element; a null map for every other kind of node.
    IXMLDOMNamedNodeMap attributes() const;
    // The children at the moment of the call, in document order.
    IXMLDOMNodeList childNodes() const;
    // Moves `newChild` (new, or elsewhere in the same document) to the end of this element's
    // children and returns it. Raises for a node of another document, an attribute, this
    // node or one of its ancestors, and for a parent that cannot have children.
    IXMLDOMNode appendChild(const IXMLDOMNode& newChild) const;
    IXMLDOMDocument2 ownerDocument() const;

private:
    friend class IXMLDOMDocument2;
    friend class IXMLDOMNamedNodeMap;
    friend class IXMLDOMNodeList;
    IXMLDOMNode(std::shared_ptr<TXMLDocumentData> document, pugi::xml_node node)
        : FDocument(std::move(document)), FNode(node) {}
    IXMLDOMNode(std::shared_ptr<TXMLDocumentData> document, pugi::xml_attribute attribute)
        : FDocument(std::move(document)), FAttribute(attribute) {}
    void CheckNotNull() const;

    std::shared_ptr<TXMLDocumentData> FDocument;
    pugi::xml_node FNode;
    pugi::xml_attribute FAttribute;
};

// A snapshot of a node's children, taken once, so `length` and `item` take constant time.
class IXMLDOMNodeList {
public:
    IXMLDOMNodeList() = default;
    explicit operator bool() const { return FData != nullptr; }

    std::int32_t length() const;
    // The child at `index` (from 0); null outside 0 to length() - 1.
    IXMLDOMNode item(std::int32_t index) const;

private:
    friend class IXMLDOMNode;
    struct TData {
        std::shared_ptr<TXMLDocumentData> Document;
        std::vector<pugi::xml_node> Nodes;
    };
    explicit IXMLDOMNodeList(std::shared_ptr<const TData> data) : FData(std::move(data)) {}
    std::shared_ptr<const TData> FData;
};

// An attribute made by createAttribute. Until setNamedItem puts it on an element it holds
// its value by itself; afterwards it is that element's attribute, and setValue changes it.
class IXMLDOMAttribute {
public:
    IXMLDOMAttribute() = default;
    explicit operator bool() const { return FState != nullptr; }

    // Stores the text as it stands; saving escapes it.
    void setValue(std::string_view value) const;

private:
    friend class IXMLDOMDocument2;
    friend class IXMLDOMNamedNodeMap;
    struct TState {
        std::string Name;  // UTF-8
        std::string Value; // UTF-8, while not on an element
        pugi::xml_attribute Bound;
    };
    IXMLDOMAttribute(std::shared_ptr<TXMLDocumentData> document, std::shared_ptr<TState> state)
        : FDocument(std::move(document)), FState(std::move(state)) {}
    void CheckNotNull() const;

    std::shared_ptr<TXMLDocumentData> FDocument;
    std::shared_ptr<TState> FState;
};

class IXMLDOMNamedNodeMap {
public:
    IXMLDOMNamedNodeMap() = default;
    explicit operator bool() const { return static_cast<bool>(FElement); }

    // The attribute named `name`, or null when the element has none.
    IXMLDOMNode getNamedItem(std::string_view name) const;
    // Puts the attribute on the element, replacing the value of one of the same name.
    // Raises for an attribute of another document or one already on another element.
    void setNamedItem(const IXMLDOMAttribute& attribute) const;

private:
    friend class IXMLDOMNode;
    // Reads the value without making a node handle: it runs twice for each record of a load.
    friend std::string GetAttributeValue(const IXMLDOMNamedNodeMap& attributes,
                                         std::string_view name, std::string_view defaultValue);
    IXMLDOMNamedNodeMap(std::shared_ptr<TXMLDocumentData> document, pugi::xml_node element)
        : FDocument(std::move(document)), FElement(element) {}
    void CheckNotNull() const;

    std::shared_ptr<TXMLDocumentData> FDocument;
    pugi::xml_node FElement;
};

// What went wrong in the last load. `errorCode` is pugixml's parse status (0: no error);
// `line` and `linepos` count from 1 and are 0 when the file could not be read at all.
class IXMLDOMParseError {
public:
    IXMLDOMParseError() = default;
    IXMLDOMParseError(std::int32_t errorCode, std::string url, std::string reason,
                      std::string srcText, std::int32_t line, std::int32_t linepos);
    explicit operator bool() const { return FData != nullptr; }

    std::int32_t errorCode() const;
    const std::string& url() const;
    const std::string& reason() const;
    const std::string& srcText() const;
    std::int32_t line() const;
    std::int32_t linepos() const;

private:
    struct TData {
        std::int32_t ErrorCode;
        std::string Url, Reason, SrcText;
        std::int32_t Line, Linepos;
    };
    const TData& Data() const;
    std::shared_ptr<const TData> FData;
};

// No schema support here: every schema cache handle is null.
class IXMLDOMSchemaCollection2 {
public:
    explicit operator bool() const { return false; }
};

class IXMLDOMDocument2 {
public:
    IXMLDOMDocument2() = default;
    explicit operator bool() const { return FData != nullptr; }
    friend bool operator==(const IXMLDOMDocument2& a, const IXMLDOMDocument2& b) {
        return a.FData == b.FData;
    }

    // Accepted for the factory's standard settings. Loading is always synchronous, nothing
    // is validated and nothing external is fetched, whatever they say.
    void setAsync(bool value) const;
    void setValidateOnParse(bool value) const;
    void setResolveExternals(bool value) const;
    // Knows "SelectionLanguage" and "NewParser"; raises for any other name.
    void setProperty(std::string_view name, std::string_view value) const;
    void setProperty(std::string_view name, const char* value) const {
        setProperty(name, std::string_view(value)); // not the bool overload
    }
    void setProperty(std::string_view name, bool value) const;

    // Replaces the content with the file's. False when the file cannot be read or is not
    // well-formed; parseError() then says why and the document is empty.
    bool load(std::string_view fileName) const;
    IXMLDOMParseError parseError() const;

    // The root element, or null.
    IXMLDOMNode documentElement() const;
    // Makes `element` (of this document) the root; a previous root leaves the document.
    void setDocumentElement(const IXMLDOMNode& element) const;
    // New nodes belong to the document but stand nowhere until appended.
    IXMLDOMNode createElement(std::string_view tagName) const;
    IXMLDOMAttribute createAttribute(std::string_view name) const;
    IXMLDOMNode createCDATASection(std::string_view data) const;
    // Writes the document as UTF-8, without declaration and without whitespace between
    // elements, to a temporary file beside `fileName` that then replaces it: a failed save
    // leaves an existing file as it was. Raises an Exception on failure.
    void save(std::string_view fileName) const;

private:
    friend class IXMLDOMNode;
    friend void CreateXMLDocument(IXMLDOMDocument2& document);
    explicit IXMLDOMDocument2(std::shared_ptr<TXMLDocumentData> data) : FData(std::move(data)) {}
    TXMLDocumentData& Data() const;

    std::shared_ptr<TXMLDocumentData> FData;
};

// Prepares the parser (it is linked in; this sets up the memory limit). Called by the two
// creation operations.
void LoadXMLLibrary();
// A new, empty document.
void CreateXMLDocument(IXMLDOMDocument2& document);
// Always null: XML schemas are not supported.
void CreateSchemaCache(IXMLDOMSchemaCollection2& cache);

// The value of the attribute `name`, or `defaultValue` when there is none.
std::string GetAttributeValue(const IXMLDOMNamedNodeMap& attributes, std::string_view name,
                              std::string_view defaultValue);
// The escaping of display texts for attribute values: the five XML escapes, every line break
// as "&#xD;", runs of spaces as one, no space next to a line break.
std::string EscapeXML(std::string_view text);
// The reverse: the five escapes and "&#xD;" (as CR LF), "&amp;" first.
std::string UnescapeXML(std::string_view text);
// The card identifier of a name: "a"-"z", "0"-"9" and single "_" only.
std::string MakeIdentifier(std::string_view text);
// Raises the "XML Parse Error (0x..." Exception when `error` reports one.
void CheckParseError(const IXMLDOMParseError& error);
