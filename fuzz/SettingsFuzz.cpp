// A settings file edited by hand or damaged: the store either reads it or keeps it aside
// whole; loading the settings gives values that the file then holds, or the one error for
// a value of the wrong kind.
#include "FuzzSupport.h"

#include "common/Exception.h"
#include "data/Data.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", (WorkDir() + "config").c_str(), 1);
    StartQt(false);
    return 0;
}

namespace {

const std::string Names[] = {"OpenShortCut", "SearchShortCut", "UseInsInsShortCut"};

bool IsWrongKindError(const Exception& error) {
    return error.Message().starts_with("Invalid data type for '");
}

std::string FilePath() {
    return QFile::encodeName(TSettingsStore::DefaultPath()).toStdString();
}

// A fresh configuration folder holding only the settings file.
void PlaceSettingsFile(std::string_view content) {
    ClearWorkDir();
    QDir().mkpath(QFileInfo(TSettingsStore::DefaultPath()).absolutePath());
    WriteFile(FilePath(), content);
}

// Reading the file alone: usable, or moved aside byte for byte.
void CheckStore(std::string_view content) {
    TSettingsStore store;
    if (!store.Open()) {
        FUZZ_CHECK(!FileExists(FilePath()), "an unusable settings file was left in place");
        FUZZ_CHECK(ReadFile(FilePath() + ".bad") == content, "the unusable file was not kept");
        return;
    }
    for (const std::string& name : Names) {
        if (!store.ValueExists(name))
            continue;
        try {
            name == "UseInsInsShortCut" ? (void)store.ReadInteger(name)
                                        : (void)store.ReadString(name);
        } catch (const Exception& error) {
            FUZZ_CHECK(IsWrongKindError(error), "a read failed with: " + error.Message());
        }
    }
}

void CheckLoadedSettings() {
    TSettings settings;
    try {
        settings = LoadSettings();
    } catch (const Exception& error) {
        FUZZ_CHECK(IsWrongKindError(error), "loading failed with: " + error.Message());
        return;
    }
    TSettingsStore store;
    FUZZ_CHECK(store.Open(), "the settings written by the load do not read back");
    FUZZ_CHECK(store.ReadString("OpenShortCut") == settings.OpenShortCut &&
                   store.ReadString("SearchShortCut") == settings.SearchShortCut &&
                   (store.ReadInteger("UseInsInsShortCut") != 0) == settings.UseInsInsShortCut,
               "the settings in force differ from the file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content = AsText(data, size);
    PlaceSettingsFile(content);
    CheckStore(content);
    PlaceSettingsFile(content);
    CheckLoadedSettings();
    return 0;
}
