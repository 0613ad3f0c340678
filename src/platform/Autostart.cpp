#include "platform/Autostart.h"

#include "common/Exception.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

[[noreturn]] void FailToSet() {
    throw Exception("Failed to set data for 'Lorewick'");
}

// Inside a quoted argument of Exec, these four characters need a backslash.
QString QuoteArgument(const QString& argument) {
    QString quoted = "\"";
    for (QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// The escapes of every string value of a desktop entry; "%" is a field code in Exec.
QString EscapeValue(const QString& value) {
    QString escaped;
    for (QChar c : value) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '%')
            escaped += "%%";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

namespace Autostart {

QString FolderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart";
}

QString EntryPath() {
    return FolderPath() + "/Lorewick.desktop";
}

bool FolderExists() {
    return QDir(FolderPath()).exists();
}

bool EntryExists() {
    return QFile::exists(EntryPath());
}

QString ExecLine(const QString& executablePath) {
    return EscapeValue(QuoteArgument(executablePath) + " /auto");
}

void WriteEntry(const QString& executablePath) {
    const QString content = "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Lorewick\n"
                            "Comment=Card reference in the notification area\n"
                            "Exec=" +
                            ExecLine(executablePath) +
                            "\n"
                            "Terminal=false\n";
    QSaveFile file(EntryPath());
    if (!QDir().mkpath(FolderPath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(content.toUtf8()) < 0 || !file.commit())
        FailToSet();
}

void DeleteEntry() {
    QFile entry(EntryPath());
    if (entry.exists() && !entry.remove())
        FailToSet();
}

} // namespace Autostart
