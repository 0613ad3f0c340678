#pragma once
#include "data/xXML.h"

#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

// One "card" record as a reader sees it: "name" is the value the parser returns (still
// escaped once), `CData` the texts of its CDATA children in order.
struct TRecord {
    std::string Id;
    std::string Name;
    std::vector<std::string> CData;
    std::vector<std::string> AttributeNames;

    std::string Attribute(const std::string& name) const;
    IXMLDOMNode Node;
};

std::vector<TRecord> RecordsOf(const IXMLDOMNode& root);
std::vector<TRecord> RecordsOfFile(const std::string& fileName);

void WriteFile(const std::string& fileName, const std::string& bytes);
std::string ReadFile(const std::string& fileName);

// Runs a converter on `source` (written to a temporary file) into a fresh "table" root.
using TConverter = std::function<void(const std::string& fileName, const IXMLDOMNode& root)>;
std::vector<TRecord> Convert(const TConverter& converter, const std::string& source);

// A data folder holding the five sources, filled from the sample or by the test.
class TDataFolder {
public:
    TDataFolder();
    ~TDataFolder();
    std::string Path() const; // ends with "/"
    void CopySample() const;
    void Write(const std::string& relativeName, const std::string& bytes) const;
    void Remove(const std::string& relativeName) const;

private:
    QTemporaryDir FDir;
    std::string FPreviousDataDir;
};
