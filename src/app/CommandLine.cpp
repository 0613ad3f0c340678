#include "app/CommandLine.h"

#include "app/CardList.h"
#include "common/Exception.h"
#include "common/PackStream.h"
#include "common/Win1252.h"
#include "data/Data.h"
#include "data/xLib.h"
#include "import/Import.h"
#include "view/WInfo.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <functional>

namespace {

const char* const Usage =
    "Usage: lorewick [switches]\n"
    "\n"
    "Without a mode the main window starts (one per user).\n"
    "  -auto                 start hidden; the window opens with the hotkey or the tray icon\n"
    "  -debug                closing the main window ends the program\n"
    "  -search               ask the running instance to look up the selected text, as the\n"
    "                        search hotkey does\n"
    "\n"
    "Modes (no window):\n"
    "  -import               convert the sources in the data folder into its database files\n"
    "  -print TEXT           print the card whose name begins with TEXT\n"
    "  -pack FOLDER ARCHIVE  pack every file below FOLDER into the packed archive ARCHIVE\n"
    "  -help                 print this text\n"
    "\n"
    "In every mode, the window too:\n"
    "  -data DIR             use DIR as the data folder instead of \"Data\" beside the program\n"
    "\n"
    "Switches begin with \"-\", \"/\" or \"\\\" and ignore letter case.\n";

// The switch name of an argument ("/Import" gives "import"), or the empty text for an
// argument without a switch prefix.
QString SwitchName(const QString& argument) {
    if (argument.size() < 2 || !QStringLiteral("-/\\").contains(argument.front()))
        return {};
    return argument.mid(1).toLower();
}

// How many values follow a switch on the command line.
int ValueCount(const QString& name) {
    if (name == "pack")
        return 2;
    return name == "data" || name == "print" ? 1 : 0;
}

// The position of the switch `name` among the arguments after the program, or -1. The
// values of a switch are never read as switches, so "-data /import" names a folder.
qsizetype SwitchIndex(const QStringList& arguments, const QString& name) {
    const QString wanted = name.toLower();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString found = SwitchName(arguments[i]);
        if (found == wanted)
            return i;
        if (!found.isEmpty())
            i += ValueCount(found);
    }
    return -1;
}

// The values that follow the switch `name`, or nullopt when they are not all there.
std::optional<QStringList> SwitchValues(const QStringList& arguments, const QString& name) {
    const qsizetype at = SwitchIndex(arguments, name);
    const int count = ValueCount(name.toLower());
    if (at < 0 || at + count >= arguments.size())
        return std::nullopt;
    return arguments.mid(at + 1, count);
}

std::string ProgramText(const QString& argument) {
    return QStringToAnsi(argument);
}

// Output to the terminal is UTF-8; program text is Windows-1252.
void Print(std::FILE* stream, const std::string& ansiText) {
    std::fputs(AnsiToUtf8(ansiText).c_str(), stream);
}

int RunImport() {
    ImportDatabase([](const std::string& fileName, int recordCount) {
        Print(stdout, fileName + ": " + std::to_string(recordCount) + " records\n");
    });
    return 0;
}

// The page needs fonts, so it is laid out by a window-less application object when the
// program has none yet.
int RunPrint(const QString& text) {
    std::unique_ptr<QGuiApplication> application;
    int argc = 3;
    char program[] = "lorewick", platform[] = "-platform", offscreen[] = "offscreen";
    char* argv[] = {program, platform, offscreen, nullptr};
    if (!QCoreApplication::instance())
        application = std::make_unique<QGuiApplication>(argc, argv);

    LoadDatabase();
    const TDatabase* database = Database();
    TCardList cards;
    cards.Fill(*database);
    cards.Sort();

    const std::string wanted = ProgramText(text);
    const TSearchResult result = cards.Search(wanted);
    if (!result.Found) {
        Print(stderr, "No card name begins with \"" + wanted + "\".\n");
        return 1;
    }
    const TDataItem* item = cards.Row(result.Row).Item;
    Print(stdout, item->DisplayName() + "\n\n" + PagePlainText(item));
    return 0;
}

int RunPack(const QString& folder, const QString& archive) {
    const int entries = PackFolder(ProgramText(folder), ProgramText(archive));
    Print(stdout, ProgramText(archive) + ": " + std::to_string(entries) + " entries\n");
    return 0;
}

// Runs a mode; its errors end it with their message on standard error and status 1.
int Guarded(const std::function<int()>& mode) {
    try {
        return mode();
    } catch (const Exception& error) {
        Print(stderr, error.Message() + "\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    return 1;
}

int MissingValues(const QString& name) {
    Print(stderr, "The switch -" + ProgramText(name) + " is missing its value.\n\n");
    std::fputs(Usage, stderr);
    return 2;
}

} // namespace

bool HasSwitch(const QStringList& arguments, const QString& name) {
    return SwitchIndex(arguments, name) >= 0;
}

std::optional<QString> SwitchValue(const QStringList& arguments, const QString& name) {
    const qsizetype at = SwitchIndex(arguments, name);
    if (at < 0 || at + 1 >= arguments.size())
        return std::nullopt;
    return arguments[at + 1];
}

void ApplyDataSwitch(const QStringList& arguments) {
    if (const auto dir = SwitchValue(arguments, "data"))
        SetDataDir(ProgramText(QDir(*dir).absolutePath() + "/"));
}

std::optional<int> RunCommandLineMode(const QStringList& arguments) {
    ApplyDataSwitch(arguments);
    if (HasSwitch(arguments, "help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (HasSwitch(arguments, "data") && !SwitchValue(arguments, "data"))
        return MissingValues("data");
    if (HasSwitch(arguments, "import"))
        return Guarded(RunImport);
    if (HasSwitch(arguments, "print")) {
        const auto values = SwitchValues(arguments, "print");
        if (!values)
            return MissingValues("print");
        return Guarded([&] { return RunPrint(values->at(0)); });
    }
    if (HasSwitch(arguments, "pack")) {
        const auto values = SwitchValues(arguments, "pack");
        if (!values)
            return MissingValues("pack");
        return Guarded([&] { return RunPack(values->at(0), values->at(1)); });
    }
    return std::nullopt;
}
