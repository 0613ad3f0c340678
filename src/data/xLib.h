#pragma once
#include "data/xXML.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Where the program finds its shared resources: the folders it runs from and reads its data
// from, and the one factory of XML documents.

// The folder of the running executable, ending with "/".
std::string AppDir();
// The data folder, ending with "/": AppDir() + "Data/" unless SetDataDir chose another.
std::string DataDir();
// Makes `path` the data folder ("/" is appended when missing). For the "-data" switch and
// for tests; call it before anything reads data.
void SetDataDir(std::string_view path);

// A schema to register for a namespace before loading.
struct TNamespaceItem {
    std::string NamespaceURI;
    std::string SchemaLocation;
};
using TNamespaceArray = std::vector<TNamespaceItem>;

class TxFactory {
public:
    TxFactory() = default;
    TxFactory(const TxFactory&) = delete;
    TxFactory& operator=(const TxFactory&) = delete;
};

// The factory, created on the first call; it lives until the program ends.
TxFactory& Factory();

// A new, empty document with the standard settings.
void NewXMLDocument(IXMLDOMDocument2& document);
// Loads `fileName` into a new document with the standard settings. A missing or malformed
// file raises the "XML Parse Error (0x" Exception. Schema namespaces are not supported: any
// raise an Exception before the file is read.
void LoadXMLDocument(std::string_view fileName, bool validate, IXMLDOMDocument2& document,
                     const TNamespaceArray& namespaces = {});
