#pragma once
#include "data/xXML.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>

// The database import: builds "oracle.xml", "cards_index.xml" and "cards_summary.xml" in the
// data folder from the Oracle text files, the card index and the rulings page below it.
// Sources are Windows-1252 text; every conversion appends "card" records to the root element
// it is given. A missing source raises EFOpenError ("Cannot open file "%s". %s").

// Told after each database file is saved: its full name and how many records it holds.
using TFileSavedEvent = std::function<void(const std::string& fileName, int recordCount)>;

// Builds and saves the three files, in this order. Each file replaces the old one only once
// it is complete, so an error leaves every file not yet saved as it was.
void ImportDatabase(const TFileSavedEvent& fileSaved = {});

// One record per Oracle record of the file (two for a split card), in file order.
void ConvertOracleFile(const std::string& fileName, const IXMLDOMNode& root);
// Appends the record of one card (or split half) with its HTML fragment.
void AddOracleRecord(const IXMLDOMNode& root, const std::string& name, const std::string& cost,
                     const std::string& type, const std::string& powerToughness,
                     const std::string& rules);

// The text before and after the first `separator`, both trimmed; without the separator, the
// whole text and the empty text.
std::pair<std::string, std::string> SplitPair(std::string_view text, std::string_view separator);

// One record per card line of the index (two for a split entry), in line order.
void ConvertIndexFile(const std::string& fileName, const IXMLDOMNode& root);
void AddIndexRecord(const IXMLDOMNode& root, const std::string& identifierSource,
                    const std::string& displayName, const std::string& entries);

// One record per card block of the rulings page that is not a token, in page order.
void ConvertSummaryFile(const std::string& fileName, const IXMLDOMNode& root);
