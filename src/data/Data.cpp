#include "data/Data.h"

#include "common/Exception.h"
#include "common/Win1252.h"
#include "data/xLib.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

struct TBaseFile {
    const char* Name;
    const char* FileName;
};

// In load order; the position is the base index.
constexpr TBaseFile BaseFiles[] = {
    {"Oracle", "oracle.xml"},
    {"Card Summary", "cards_summary.xml"},
};

std::unique_ptr<TDatabase>& DatabaseInstance() {
    static std::unique_ptr<TDatabase> instance;
    return instance;
}

} // namespace

TDataValue TDataItem::Values(std::int32_t index) const {
    if (index < 0 || index >= ValueCount())
        throw Exception("Value index out of range (" + std::to_string(index) + ")");
    return FValues[static_cast<std::size_t>(index)];
}

std::vector<std::string> TDataItem::Names() const {
    std::vector<std::string> names;
    for (const TDataValue& value : FValues) {
        const bool known = value.Name.empty() ||
                           std::any_of(names.begin(), names.end(),
                                       [&](auto& name) { return AnsiSameText(name, value.Name); });
        if (!known)
            names.push_back(value.Name);
    }
    return names;
}

std::string TDataItem::DisplayName() const {
    for (const TDataValue& value : FValues)
        if (!value.Name.empty())
            return value.Name;
    return {};
}

void TDataItem::AddValue(std::int32_t baseIndex, std::string name, IXMLDOMNode node) {
    FValues.push_back(TDataValue{baseIndex, std::move(name), std::move(node)});
}

TDataItem* TDatabase::FindItem(const std::string& id) const {
    TDataItem* item = nullptr;
    FItems.TryGetObject(id, item);
    return item;
}

void TDatabase::AddBase(std::string name, const IXMLDOMNodeList& records) {
    FBases.push_back(std::make_unique<TBase>(TBase{std::move(name), records}));
    const auto baseIndex = static_cast<std::int32_t>(FBases.size() - 1);
    const std::int32_t count = records.length();
    for (std::int32_t i = 0; i < count; ++i)
        AddRecord(baseIndex, records.item(i));
}

void TDatabase::AddRecord(std::int32_t baseIndex, const IXMLDOMNode& node) {
    if (node.nodeType() != NodeElement) // text, a comment or a processing instruction
        return;
    const IXMLDOMNamedNodeMap attributes = node.attributes();
    std::string id = GetAttributeValue(attributes, "id", "");
    if (id.empty())
        return;
    std::string name = GetAttributeValue(attributes, "name", "");
    if (name.find('&') != std::string::npos) // every escape begins with "&"
        name = UnescapeXML(name);
    TDataItem* item = FindItem(id);
    if (!item) {
        auto created = std::make_unique<TDataItem>(std::move(id));
        item = FItems.Add(created->Id(), created.get());
        created.release(); // the list owns it now
    }
    item->AddValue(baseIndex, std::move(name), node);
}

TDatabase* Database() {
    return DatabaseInstance().get();
}

void LoadDatabase() {
    std::unique_ptr<TDatabase>& instance = DatabaseInstance();
    if (instance)
        return;
    instance = std::make_unique<TDatabase>();
    for (const TBaseFile& base : BaseFiles) {
        IXMLDOMDocument2 document;
        LoadXMLDocument(DataDir() + base.FileName, true, document);
        instance->AddBase(base.Name, document.documentElement().childNodes());
    }
}

void ResetDatabaseForTesting() {
    DatabaseInstance().reset();
}

// ---------------------------------------------------------------------------------------------
// Settings

namespace {

const std::string OpenShortCutValue = "OpenShortCut";
const std::string SearchShortCutValue = "SearchShortCut";
const std::string UseInsInsShortCutValue = "UseInsInsShortCut";

} // namespace

void DefaultSettings(TSettings& settings) {
    settings = TSettings();
}

TSettings LoadSettings() {
    TSettings settings;
    DefaultSettings(settings);
    bool complete = true;
    TSettingsStore store;
    if (store.Open()) {
        if (store.ValueExists(OpenShortCutValue))
            settings.OpenShortCut = store.ReadString(OpenShortCutValue);
        else
            complete = false;
        if (store.ValueExists(SearchShortCutValue))
            settings.SearchShortCut = store.ReadString(SearchShortCutValue);
        else
            complete = false;
        if (store.ValueExists(UseInsInsShortCutValue))
            settings.UseInsInsShortCut = store.ReadInteger(UseInsInsShortCutValue) != 0;
        else
            complete = false;
        // Without an autostart folder the entry's absence says nothing: keep the default.
        if (Autostart::FolderExists())
            settings.AutoRun = Autostart::EntryExists();
        else
            complete = false;
    } else {
        complete = false;
    }
    if (!complete)
        SaveSettings(settings);
    return settings;
}

void SaveSettings(const TSettings& settings) {
    TSettingsStore store;
    store.Open(); // keeps values this version does not know
    store.SetString(OpenShortCutValue, settings.OpenShortCut);
    store.SetString(SearchShortCutValue, settings.SearchShortCut);
    store.SetInteger(UseInsInsShortCutValue, settings.UseInsInsShortCut ? 1 : 0);
    store.Save(); // the three values in one step
    if (settings.AutoRun)
        Autostart::WriteEntry(QCoreApplication::applicationFilePath());
    else
        Autostart::DeleteEntry();
}
