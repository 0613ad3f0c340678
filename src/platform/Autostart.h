#pragma once
#include <QString>

// The program's entry in the desktop's list of programs started at login:
// $XDG_CONFIG_HOME/autostart/Lorewick.desktop (default ~/.config). Its Exec line starts the
// program with the switch "/auto". Only the entry's presence counts; its content is never read.
namespace Autostart {

QString FolderPath();
QString EntryPath();

bool FolderExists();
bool EntryExists();
// Writes the entry atomically, creating the folder; fails with
// "Failed to set data for 'Lorewick'" when it cannot be written.
void WriteEntry(const QString& executablePath);
// Removes the entry; a missing entry is no error. Fails like WriteEntry when it stays.
void DeleteEntry();

// The Exec value that runs `executablePath` with "/auto", quoted and escaped for a desktop entry.
QString ExecLine(const QString& executablePath);

} // namespace Autostart
