#pragma once
#include <QString>
#include <cstdint>
#include <map>
#include <string>

// The per-user settings file, $XDG_CONFIG_HOME/Lorewick/Lorewick.conf (default ~/.config). It
// holds named values whose kind is written with them, so a value of the wrong kind is told
// apart from a missing one:
//     # Lorewick settings
//     OpenShortCut=s:Ctrl+`
//     UseInsInsShortCut=d:1
// "s:" is a string (UTF-8, with "\\", "\n" and "\r" escaped), "d:" a 32-bit integer in decimal.
// Texts are Windows-1252 inside the program. Values are set in memory and saved together: Save
// replaces the whole file atomically, so the file always holds one whole save.
//
// A file that cannot be read or parsed (garbage, a cut-off last line, bad UTF-8, a malformed
// integer) is moved aside as Lorewick.conf.bad, said once on standard error, and counts as no
// file, so the program starts with defaults and the user's file survives for inspection.
class TSettingsStore {
public:
    // The file of the current user.
    TSettingsStore();
    explicit TSettingsStore(QString path);

    static QString DefaultPath();
    const QString& Path() const { return FPath; }

    // Reads the file; false when there is none (or it was unusable and moved aside).
    bool Open();

    bool ValueExists(const std::string& name) const;
    // Fail with "Invalid data type for '<name>'" when the value is of another kind or missing.
    std::string ReadString(const std::string& name) const;
    int32_t ReadInteger(const std::string& name) const;
    void SetString(const std::string& name, const std::string& value);
    void SetInteger(const std::string& name, int32_t value);
    // Writes every value, creating the folder; fails with "Failed to set data for '<name>'",
    // naming the first value set since the last save, when the file cannot be written.
    void Save();

private:
    struct TValue {
        char Kind;        // 's', 'd', or another letter this program does not read
        std::string Text; // the value as it stands in the file, unescaped (UTF-8)
    };

    bool Parse(const QByteArray& content);
    QByteArray Serialize() const;
    bool SetAside();
    void Set(const std::string& name, TValue value);
    const std::string& TextOfKind(const std::string& name, char kind) const;

    QString FPath;
    std::map<std::string, TValue> FValues;
    bool FWritable = true; // false when an unusable file could not be moved aside
    std::string FFirstUnsaved;
};
