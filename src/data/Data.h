#pragma once
#include "common/HashList.h"
#include "data/xXML.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The card database: one entry per card identifier, gathering every record that the two
// database files hold for the card. Entries refer to the record elements of the loaded
// documents instead of copying the card texts; the documents live as long as the database.

// One record of a card. Copying it shares the node.
struct TDataValue {
    std::int32_t BaseIndex = 0; // 0: "Oracle", 1: "Card Summary"
    std::string Name;           // the decoded "name" attribute, possibly empty
    IXMLDOMNode Node;           // the record element
};
using TDataValueArray = std::vector<TDataValue>;

class TDataItem {
public:
    explicit TDataItem(std::string id) : FId(std::move(id)) {}

    // The identifier as the first record of the card spelled it.
    const std::string& Id() const { return FId; }
    std::int32_t ValueCount() const { return static_cast<std::int32_t>(FValues.size()); }
    // A copy of the value at `index`, 0 to ValueCount() - 1; raises outside that range.
    TDataValue Values(std::int32_t index) const;
    // The distinct non-empty names of the records, case ignored, in the order first met.
    std::vector<std::string> Names() const;
    // The first name, or the empty text when no record has one.
    std::string DisplayName() const;

    void AddValue(std::int32_t baseIndex, std::string name, IXMLDOMNode node);

private:
    // The names are those of the values, in the same order, so they are not kept twice:
    // a load then makes fewer copies, and the few names of a card are found by a short walk.
    std::string FId;
    TDataValueArray FValues;
};

// A loaded database file; its record list keeps the document alive.
struct TBase {
    std::string Name;
    IXMLDOMNodeList Records;
};

class TDatabase {
public:
    TDatabase() = default;
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    std::int32_t Count() const { return FItems.Count(); }
    // The entry at `index` in the hash list's order (neither alphabetical nor file order);
    // raises EListError "Item not found ($0...)" outside 0 to Count() - 1.
    TDataItem* Items(std::int32_t index) const { return FItems.Objects(index); }
    // The entry whose identifier equals `id` ignoring case, or null.
    TDataItem* FindItem(const std::string& id) const;

    // For the load: appends a base and files every record of it.
    void AddBase(std::string name, const IXMLDOMNodeList& records);
    // Files one record under its "id"; a node that is not an element, or has no "id" or an
    // empty one, is skipped.
    void AddRecord(std::int32_t baseIndex, const IXMLDOMNode& node);

private:
    // Declared before the entries so that destruction frees the entries first.
    std::vector<std::unique_ptr<TBase>> FBases;
    TStringHashList<TDataItem> FItems{false, 1024, true};
};

// The database, or null before LoadDatabase first ran.
TDatabase* Database();
// Creates the database and loads "oracle.xml" and then "cards_summary.xml" from DataDir(),
// once per process: the database is published before reading, so after an error it keeps
// what was loaded, and a later call does nothing. Errors propagate to the caller.
void LoadDatabase();
// Forgets the database so that the next LoadDatabase starts afresh. Tests only: entries
// handed out before are destroyed.
void ResetDatabaseForTesting();

// ---------------------------------------------------------------------------------------------
// Settings: the per-user settings file and the autostart entry.

// The program's four settings. Starting at login is not stored as a value: it is the presence
// of the autostart entry.
struct TSettings {
    bool AutoRun = true;
    std::string OpenShortCut = "Ctrl+`";
    std::string SearchShortCut = "Ctrl+Shift+`";
    bool UseInsInsShortCut = true;
};

void DefaultSettings(TSettings& settings);
// Reads the settings; when the file, one of its values or the autostart folder is missing,
// writes all of them back (so the first start enables starting at login). Fails with
// "Invalid data type for '<name>'" for a value of the wrong kind.
TSettings LoadSettings();
// Writes the three values and creates or deletes the autostart entry, whose command is this
// executable with "/auto". Fails with "Failed to set data for '<name>'".
void SaveSettings(const TSettings& settings);
