// A database file from elsewhere: the XML load, the card database built from it (the same
// bytes stand as both database files, so every card has records in two bases) and the
// page text of every card.
#include "FuzzSupport.h"

#include "common/Exception.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "view/WInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(false);
    SetDataDir(WorkDir());
    return 0;
}

namespace {

void WalkDatabase() {
    const TDatabase* database = Database();
    FUZZ_CHECK(database, "the database is published before its files are read");
    for (std::int32_t i = 0; i < database->Count(); ++i) {
        const TDataItem* item = database->Items(i);
        FUZZ_CHECK(!item->Id().empty(), "a record without identifier was filed");
        FUZZ_CHECK(database->FindItem(item->Id()) == item, "an entry is not found by its id");
        FUZZ_CHECK(item->ValueCount() > 0, "an entry without records");
        const std::string name = item->DisplayName();
        FUZZ_CHECK(name.empty() == item->Names().empty(), "display name and names disagree");
        ComposePageText(item);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = AsText(data, size);
    WriteFile(DataDir() + "oracle.xml", bytes);
    WriteFile(DataDir() + "cards_summary.xml", bytes);

    IXMLDOMDocument2 document;
    try {
        LoadXMLDocument(DataDir() + "oracle.xml", true, document);
        FUZZ_CHECK(document.documentElement(), "a loaded document without root element");
    } catch (const Exception&) {
    }

    ResetDatabaseForTesting();
    try {
        LoadDatabase();
    } catch (const Exception&) {
        // A damaged file is an error; what was read before it stays usable.
    }
    WalkDatabase();
    ResetDatabaseForTesting();
    return 0;
}
