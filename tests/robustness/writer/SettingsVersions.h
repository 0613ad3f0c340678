#pragma once
#include "data/Data.h"

#include <string>

// The two sets of settings the writer saves in turn. Long shortcut texts make each write
// take long enough to be cut by a kill; together they stay well below the store's size limit.
inline TSettings SettingsVersion(int version) {
    const char fill = version == 0 ? 'o' : 'n';
    TSettings settings;
    settings.AutoRun = version != 0;
    settings.OpenShortCut = "Ctrl+" + std::string(15000, fill);
    settings.SearchShortCut = "Shift+" + std::string(15000, fill);
    settings.UseInsInsShortCut = version != 0;
    return settings;
}
