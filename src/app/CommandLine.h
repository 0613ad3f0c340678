#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The program's command-line modes: work that the executable does without a window, without
// the single-instance check and without touching the settings.
//
// `arguments` is the whole command line as QCoreApplication::arguments() gives it: the first
// element is the program and is never read as a switch. Build it from argv
// (QString::fromLocal8Bit) when no application object exists yet.
//
//   -import               import the sources in the data folder into its database files
//   -print TEXT           print the card whose name begins with TEXT, as plain text
//   -pack FOLDER ARCHIVE  pack every file below FOLDER into the packed archive ARCHIVE
//   -help                 print the usage
//   -data DIR             (any mode, the window too) use DIR as the data folder
//
// A switch is written after "-", "/" or "\", in any letter case.

// True when one of the arguments after the program is `name` written as a switch.
// An argument without a switch prefix never counts.
bool HasSwitch(const QStringList& arguments, const QString& name);

// The argument that follows the switch `name`, or nullopt when the switch is absent or
// nothing follows it.
std::optional<QString> SwitchValue(const QStringList& arguments, const QString& name);

// Applies "-data DIR": makes DIR (absolute, ending with "/") the data folder through
// SetDataDir. Does nothing without the switch; applying it again changes nothing.
void ApplyDataSwitch(const QStringList& arguments);

// Applies "-data" (in every case, so also for the window), then runs the mode the arguments
// ask for and returns its exit status: 0 done, 1 the mode failed (its message is on standard
// error), 2 a switch lacks its value. Returns nullopt when the arguments ask for the window.
// Call it first thing in main, before any application object exists: no mode needs a
// display, and none checks for a running instance or touches the settings.
std::optional<int> RunCommandLineMode(const QStringList& arguments);
