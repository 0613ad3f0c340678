// Saves the two settings versions in turn, with the autostart entry written and deleted
// with them, until it is killed. The kill tests start it with XDG_CONFIG_HOME set.
#include "SettingsVersions.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::puts("writing");
    std::fflush(stdout);
    for (unsigned round = 0;; ++round)
        SaveSettings(SettingsVersion(int(round % 2)));
}
