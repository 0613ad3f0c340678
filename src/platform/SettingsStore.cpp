#include "platform/SettingsStore.h"

#include "common/Exception.h"
#include "common/Win1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace {

// Settings are a few short lines; anything larger is not ours.
constexpr qint64 MaxFileSize = 64 * 1024;

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

bool IsValidName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsNameChar);
}

bool IsValidUtf8(std::string_view text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = decoder(QByteArrayView(text.data(), text.size()));
    return !decoder.hasError();
}

bool Unescape(std::string_view escaped, std::string& text) {
    text.clear();
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            text += escaped[i];
            continue;
        }
        if (++i == escaped.size())
            return false;
        switch (escaped[i]) {
        case '\\':
            text += '\\';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::string Escape(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A DWORD read as a signed 32-bit number: -2147483648 to 4294967295 are accepted.
bool ParseInteger(std::string_view text, int32_t& value) {
    int64_t wide = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, wide);
    if (error != std::errc() || stop != end || wide < INT32_MIN || wide > UINT32_MAX)
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(wide));
    return true;
}

[[noreturn]] void Fail(const char* format, const std::string& name) {
    std::string message(format);
    message.replace(message.find("%s"), 2, name);
    throw Exception(message);
}

} // namespace

TSettingsStore::TSettingsStore() : TSettingsStore(DefaultPath()) {}

TSettingsStore::TSettingsStore(QString path) : FPath(std::move(path)) {}

QString TSettingsStore::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Lorewick/Lorewick.conf";
}

bool TSettingsStore::Open() {
    FValues.clear();
    FWritable = true;
    QFile file(FPath);
    if (!file.exists())
        return false;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.read(MaxFileSize + 1);
        if (content.size() <= MaxFileSize && Parse(content))
            return true;
    }
    FValues.clear();
    FWritable = SetAside();
    return false;
}

bool TSettingsStore::Parse(const QByteArray& content) {
    if (!content.isEmpty() && !content.endsWith('\n'))
        return false; // cut off in the middle of a line
    std::string_view rest(content.constData(), content.size());
    while (!rest.empty()) {
        std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(line.size() + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        // Name=k:text
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.size() < equals + 3 || line[equals + 2] != ':')
            return false;
        const std::string_view name = line.substr(0, equals);
        const char kind = line[equals + 1];
        const std::string_view data = line.substr(equals + 3);
        if (!IsValidName(name) || !std::isalpha(static_cast<unsigned char>(kind)) ||
            !IsValidUtf8(data) || data.find('\0') != data.npos)
            return false;
        TValue value{kind, std::string(data)};
        int32_t integer = 0;
        if (kind == 's' && !Unescape(data, value.Text))
            return false;
        if (kind == 'd' && !ParseInteger(data, integer))
            return false;
        FValues[std::string(name)] = std::move(value);
    }
    return true;
}

QByteArray TSettingsStore::Serialize() const {
    std::string content = "# Lorewick settings\n";
    for (const auto& [name, value] : FValues)
        content += name + '=' + value.Kind + ':' +
                   (value.Kind == 's' ? Escape(value.Text) : value.Text) + '\n';
    return QByteArray::fromStdString(content);
}

bool TSettingsStore::SetAside() {
    const QString badPath = FPath + ".bad";
    QFile::remove(badPath);
    const bool moved = QFile::rename(FPath, badPath);
    std::fprintf(stderr, "Lorewick: the settings file %s is unusable; %s, defaults are used.\n",
                 qPrintable(FPath),
                 moved ? qPrintable("kept as " + badPath) : "it could not be moved aside");
    return moved;
}

bool TSettingsStore::ValueExists(const std::string& name) const {
    return FValues.contains(name);
}

const std::string& TSettingsStore::TextOfKind(const std::string& name, char kind) const {
    const auto found = FValues.find(name);
    if (found == FValues.end() || found->second.Kind != kind)
        Fail("Invalid data type for '%s'", name);
    return found->second.Text;
}

std::string TSettingsStore::ReadString(const std::string& name) const {
    return Utf8ToAnsi(TextOfKind(name, 's'));
}

int32_t TSettingsStore::ReadInteger(const std::string& name) const {
    int32_t value = 0;
    ParseInteger(TextOfKind(name, 'd'), value); // checked when the file was read
    return value;
}

void TSettingsStore::SetString(const std::string& name, const std::string& value) {
    Set(name, {'s', AnsiToUtf8(value)});
}

void TSettingsStore::SetInteger(const std::string& name, int32_t value) {
    Set(name, {'d', std::to_string(value)});
}

void TSettingsStore::Set(const std::string& name, TValue value) {
    FValues[name] = std::move(value);
    if (FFirstUnsaved.empty())
        FFirstUnsaved = name;
}

void TSettingsStore::Save() {
    QSaveFile file(FPath);
    const bool written = FWritable && QDir().mkpath(QFileInfo(FPath).absolutePath()) &&
                         file.open(QIODevice::WriteOnly) && file.write(Serialize()) >= 0 &&
                         file.commit();
    if (!written)
        Fail("Failed to set data for '%s'", FFirstUnsaved);
    FFirstUnsaved.clear();
}
