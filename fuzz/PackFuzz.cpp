// A packed "Images" archive copied from elsewhere: every entry it holds is found and read
// (or refused with an error), and writing a new entry into it keeps every entry that could
// be read before, byte for byte.
#include "FuzzSupport.h"

#include "common/Exception.h"
#include "common/PackStream.h"
#include "common/Win1252.h"

#include <QtEndian>
#include <algorithm>
#include <optional>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(false);
    return 0;
}

namespace {

constexpr size_t MaxProbedEntries = 16;
const std::string NewEntry = "new\\entry.gif";

std::optional<qint32> LengthAt(std::string_view archive, size_t& position) {
    if (archive.size() - position < 4)
        return std::nullopt;
    const qint32 length = qFromLittleEndian<qint32>(archive.data() + position);
    position += 4;
    if (length < 0 || size_t(length) > archive.size() - position)
        return std::nullopt;
    return length;
}

// The live entry names, read straight from the bytes as the format lays them out.
std::vector<std::string> LiveNames(std::string_view archive) {
    std::vector<std::string> names;
    size_t position = 0;
    while (names.size() < MaxProbedEntries) {
        const auto nameLength = LengthAt(archive, position);
        if (!nameLength)
            break;
        const std::string name(archive.substr(position, size_t(*nameLength)));
        position += size_t(*nameLength);
        const auto dataLength = LengthAt(archive, position);
        if (!dataLength)
            break;
        position += size_t(*dataLength);
        if (name.find('\0') == std::string::npos && !name.empty())
            names.push_back(name);
    }
    return names;
}

// Entry names that a path can spell: folders of printable names, none of them "." or "..".
bool HasPath(const std::string& name) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find('\\', start), name.size());
        const std::string_view part = std::string_view(name).substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == name.size())
            break;
        start = end + 1;
    }
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return c == '/' || static_cast<unsigned char>(c) < 32; });
}

std::string PathOf(const std::string& entryName) {
    std::string path = WorkDir() + "Images/" + entryName;
    std::replace(path.begin() + WorkDir().size(), path.end(), '\\', '/');
    return path;
}

// The entry's content, or nothing when reading it raised an error.
std::optional<QByteArray> ReadEntry(const std::string& entryName) {
    try {
        TPackFileStream stream(PathOf(entryName), fmOpenRead);
        const QByteArray content = stream.readAll();
        FUZZ_CHECK(content.size() == stream.size(), "a read stopped short of the size");
        const qint64 middle = content.size() / 2;
        FUZZ_CHECK(stream.seek(middle) && stream.readAll() == content.mid(middle),
                   "a seek lost its place");
        return content;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = AsText(data, size);
    WriteFile(WorkDir() + "Images", bytes);

    std::vector<std::pair<std::string, std::optional<QByteArray>>> before;
    for (const std::string& name : LiveNames(bytes)) {
        if (!HasPath(name))
            continue;
        FUZZ_CHECK(PackFileExists(PathOf(name)), "an entry of the archive is not found: " + name);
        if (!AnsiSameText(name, NewEntry))
            before.emplace_back(name, ReadEntry(name));
    }

    const QByteArray payload(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        TPackFileStream stream(PathOf(NewEntry), fmCreate);
        stream.write(payload);
        stream.Commit();
    } catch (const Exception& error) {
        Fail("an entry could not be written into the archive: " + error.Message());
    }
    FUZZ_CHECK(ReadEntry(NewEntry) == payload, "the new entry does not read back");
    for (const auto& [name, content] : before)
        FUZZ_CHECK(ReadEntry(name) == content, "writing an entry changed the entry " + name);
    return 0;
}
