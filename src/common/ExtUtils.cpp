#include "common/ExtUtils.h"

#include "common/Win1252.h"

#include <QFile>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

EFOpenError::EFOpenError(const std::string& fileName, const std::string& reason)
    : Exception("Cannot open file \"" + fileName + "\". " + reason) {}

EFCreateError::EFCreateError(const std::string& fileName, const std::string& reason)
    : Exception("Cannot create file \"" + fileName + "\". " + reason) {}

std::string LoadTextFile(const std::string& fileName) {
    QFile file(AnsiToQString(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(fileName, QStringToAnsi(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(fileName, QStringToAnsi(file.errorString()));

    std::string result;
    result.reserve(bytes.size() + bytes.size() / 16);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        result.append(bytes.constData() + lineStart, i - lineStart).append("\r\n");
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < bytes.size())
        result.append(bytes.constData() + lineStart, bytes.size() - lineStart).append("\r\n");
    return result;
}

std::string TextBetween(std::string text, std::string_view startMarker, std::string_view endMarker,
                        bool includeMarkers) {
    if (!startMarker.empty()) {
        const size_t start = text.find(startMarker);
        if (start != std::string::npos)
            text.erase(0, includeMarkers ? start : start + startMarker.size());
    }
    if (!endMarker.empty()) {
        const size_t end = text.find(endMarker);
        if (end == std::string::npos)
            return {};
        text.resize(includeMarkers ? end + endMarker.size() : end);
    }
    return text;
}

std::string ReplaceBetween(std::string text, std::string_view startMarker,
                           std::string_view endMarker, std::string_view newText,
                           bool includeMarkers) {
    std::string result;
    if (!startMarker.empty()) {
        const size_t start = text.find(startMarker);
        if (start != std::string::npos) {
            const size_t headLength = includeMarkers ? start : start + startMarker.size();
            result.assign(text, 0, headLength);
            text.erase(0, headLength);
        }
    }
    result += newText;
    if (!endMarker.empty()) {
        const size_t end = text.find(endMarker);
        if (end == std::string::npos)
            result += text;
        else
            result.append(text, includeMarkers ? end + endMarker.size() : end);
    }
    return result;
}

TCharSet CharSetOf(std::string_view text) {
    TCharSet set;
    for (unsigned char c : text)
        set.set(c);
    return set;
}

std::string NextQuotedToken(std::string& text, std::string_view delimiters, std::string_view quotes,
                            bool skipRepeated) {
    const TCharSet delimiterSet = CharSetOf(delimiters);
    const TCharSet quoteSet = CharSetOf(quotes);
    auto isDelimiter = [&](size_t i) {
        return i < text.size() && delimiterSet.test(static_cast<unsigned char>(text[i]));
    };
    auto skipSpaces = [&](size_t i) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        return i;
    };

    std::string quoteStack;
    const size_t start = skipSpaces(0);
    size_t i = start;
    for (; i < text.size(); ++i) {
        if (quoteStack.empty() && isDelimiter(i))
            break;
        const char c = text[i];
        if (quoteSet.test(static_cast<unsigned char>(c))) {
            if (!quoteStack.empty() && quoteStack.back() == c)
                quoteStack.pop_back();
            else
                quoteStack.push_back(c);
        }
    }
    std::string token = text.substr(start, i - start);

    i = skipSpaces(i);
    if (isDelimiter(i)) {
        ++i;
        while (skipRepeated && isDelimiter(i))
            ++i;
    }
    text.erase(0, i);
    return token;
}

std::string NextToken(std::string& text, std::string_view delimiters, bool skipRepeated) {
    return NextQuotedToken(text, delimiters, {}, skipRepeated);
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
    if (oldText.empty())
        return std::string(text);
    std::string result;
    size_t from = 0;
    for (size_t at; (at = text.find(oldText, from)) != std::string_view::npos;
         from = at + oldText.size())
        result.append(text, from, at - from).append(newText);
    result.append(text, from);
    return result;
}

namespace {

std::string& LogFileNameState() {
    static std::string name;
    return name;
}

} // namespace

std::string LogFileNameFor(const std::string& executablePath) {
    const size_t folderEnd = executablePath.find_last_of('/');
    const size_t nameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
    const size_t dot = executablePath.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return executablePath + ".log";
    return executablePath.substr(0, dot) + ".log";
}

void ResetLogFile(const std::string& executablePath) {
    std::string& state = LogFileNameState();
    state = LogFileNameFor(executablePath);
    // Opened without O_CREAT: only a log file that somebody placed there is emptied.
    const QByteArray path = QFile::encodeName(AnsiToQString(state));
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        state.clear();
        return;
    }
    ::close(fd);
}

void ResetLogFile() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        LogFileNameState().clear();
        return;
    }
    ResetLogFile(Utf8ToAnsi(exe.string()));
}

const std::string& LogFileName() {
    return LogFileNameState();
}
