#include "common/PackStream.h"

#include "common/ExtUtils.h"
#include "common/Win1252.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

QString DiskName(const std::string& path) {
    return AnsiToQString(path);
}

std::string FullPath(const std::string& fileName) {
    return QStringToAnsi(QDir::cleanPath(QFileInfo(DiskName(fileName)).absoluteFilePath()));
}

// The path without its last component ("/" for a component just below the root).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
    return QFileInfo(DiskName(path)).isDir();
}

bool IsFile(const std::string& path) {
    const QFileInfo info(DiskName(path));
    return info.exists() && !info.isDir();
}

std::string Reason(const QFileDevice& file) {
    return QStringToAnsi(file.errorString());
}

struct TResolvedPath {
    bool InPack = false;
    std::string Path;
    std::string EntryName;
};

// A path that does not exist is taken apart below its deepest existing folder: the component
// just below that folder is the archive, everything after it the entry name.
TResolvedPath Resolve(const std::string& fileName, int mode) {
    TResolvedPath result;
    result.Path = FullPath(fileName);
    const bool exists = mode == fmCreate ? IsFolder(FolderOf(result.Path)) : IsFile(result.Path);
    if (exists)
        return result;

    std::string current = FolderOf(result.Path);
    std::string inner;
    std::string name = LastComponent(result.Path);
    while (!current.empty() && !IsFolder(current)) {
        if (!inner.empty())
            name = inner + "\\" + name;
        inner = LastComponent(current);
        current = FolderOf(current);
    }
    result.InPack = true;
    result.Path = current.ends_with('/') ? current + inner : current + "/" + inner;
    result.EntryName = name;
    return result;
}

struct TEntryHeader {
    qint64 NameOffset = 0;
    QByteArray Name;
    qint64 DataOffset = 0;
    qint32 DataLength = 0;
};

// Walks the entry headers of an archive from its start, skipping the data. A length that is
// negative or runs past the end of the file ends the walk, as the end of the file would, so
// nothing is ever read or allocated beyond what the file holds.
class TArchiveScanner {
public:
    explicit TArchiveScanner(QFileDevice& archive) : FArchive(archive), FSize(archive.size()) {
        FArchive.seek(0);
    }

    std::optional<TEntryHeader> Next() {
        TEntryHeader entry;
        qint32 nameLength;
        if (!ReadLength(nameLength))
            return std::nullopt;
        entry.NameOffset = FArchive.pos();
        entry.Name = FArchive.read(nameLength);
        if (entry.Name.size() != nameLength || !ReadLength(entry.DataLength))
            return std::nullopt;
        entry.DataOffset = FArchive.pos();
        if (!FArchive.seek(entry.DataOffset + entry.DataLength))
            return std::nullopt;
        return entry;
    }

private:
    bool ReadLength(qint32& length) {
        uchar bytes[4];
        if (FArchive.read(reinterpret_cast<char*>(bytes), 4) != 4)
            return false;
        length = qFromLittleEndian<qint32>(bytes);
        return length >= 0 && length <= FSize - FArchive.pos();
    }

    QFileDevice& FArchive;
    qint64 FSize;
};

bool NamesMatch(const QByteArray& storedName, const std::string& entryName) {
    return AnsiSameText(std::string_view(storedName.constData(), storedName.size()), entryName);
}

QByteArray LittleEndian(qint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray Compress(const QByteArray& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    QByteArray packed(static_cast<qsizetype>(length), '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
                  reinterpret_cast<const Bytef*>(data.constData()), static_cast<uLong>(data.size()),
                  9) != Z_OK)
        throw Exception("Error");
    packed.resize(static_cast<qsizetype>(length));
    return packed;
}

// An entry holds a picture; a forged one of a few kilobytes can expand a thousandfold, so
// larger contents are refused while they are decompressed instead of filling the memory.
constexpr qsizetype MaxEntrySize = qsizetype(256) << 20;

// The whole of one zlib stream; anything short of its proper end is an error.
QByteArray Decompress(const QByteArray& packed, const std::string& entryPath) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        throw EZDecompressionError();
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = static_cast<uInt>(packed.size());
    QByteArray result;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        const qsizetype used = result.size();
        if (used > MaxEntrySize)
            throw Exception("File " + entryPath + " is too large");
        const qsizetype chunk =
            std::min(std::max<qsizetype>(64 * 1024, used), MaxEntrySize + 1 - used);
        result.resize(used + chunk);
        stream.next_out = reinterpret_cast<Bytef*>(result.data() + used);
        stream.avail_out = static_cast<uInt>(chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            throw EZDecompressionError();
        result.resize(used + chunk - stream.avail_out);
    }
    return result;
}

// Copies the entries an archive holds, retiring (zeroing the name of) every one that
// matches `entryName`. Bytes after the point where a scan would stop are unreachable and
// are not copied.
void CopyRetiring(QFile& archive, QSaveFile& target, const std::string& entryName) {
    TArchiveScanner scanner(archive);
    std::vector<TEntryHeader> entries;
    while (auto entry = scanner.Next())
        entries.push_back(std::move(*entry));
    for (const TEntryHeader& entry : entries) {
        const bool retire = NamesMatch(entry.Name, entryName);
        target.write(LittleEndian(static_cast<qint32>(entry.Name.size())));
        target.write(retire ? QByteArray(entry.Name.size(), '\0') : entry.Name);
        target.write(LittleEndian(entry.DataLength));
        archive.seek(entry.DataOffset);
        for (qint64 left = entry.DataLength; left > 0;) {
            const QByteArray chunk = archive.read(std::min<qint64>(left, 1 << 20));
            if (chunk.isEmpty())
                throw EFOpenError(QStringToAnsi(archive.fileName()), Reason(archive));
            target.write(chunk);
            left -= chunk.size();
        }
    }
}

} // namespace

bool PackFileExists(const std::string& fileName) {
    if (IsFile(fileName))
        return true;
    const TResolvedPath resolved = Resolve(fileName, fmOpenRead);
    if (!resolved.InPack || IsFolder(resolved.Path) || !IsFile(resolved.Path))
        return false;
    QFile archive(DiskName(resolved.Path));
    if (!archive.open(QIODevice::ReadOnly))
        return false;
    TArchiveScanner scanner(archive);
    while (auto entry = scanner.Next())
        if (NamesMatch(entry->Name, resolved.EntryName))
            return true;
    return false;
}

TPackFileStream::TPackFileStream(const std::string& fileName, int mode) {
    ResolvePath(fileName, mode);
    if (!FInPack) {
        OpenPlainFile(mode);
    } else {
        if (mode != fmOpenRead && mode != fmCreate)
            throw Exception("Unsupported file open mode");
        FOpenMode = mode;
        FInner = std::make_unique<QBuffer>();
        if (mode == fmOpenRead) {
            LoadEntry();
        } else {
            FInner->open(QIODevice::ReadWrite);
            FSavePending = true;
        }
    }
    QIODevice::open(FInner->openMode() | QIODevice::Unbuffered);
}

TPackFileStream::~TPackFileStream() {
    if (FSavePending) {
        try {
            SaveEntry();
        } catch (const Exception&) {
            // Nothing can report it from here; writers call Commit() to see failures.
        }
    }
}

void TPackFileStream::Commit() {
    if (FSavePending) {
        FSavePending = false;
        SaveEntry();
    }
    close();
    FInner->close();
}

void TPackFileStream::SetSize(qint64 size) {
    if (auto* file = dynamic_cast<QFile*>(FInner.get()))
        file->resize(size);
    else if (auto* buffer = dynamic_cast<QBuffer*>(FInner.get()))
        buffer->buffer().resize(size);
    if (pos() > size)
        seek(size);
}

qint64 TPackFileStream::size() const {
    return FInner->size();
}

bool TPackFileStream::seek(qint64 pos) {
    return FInner->seek(pos) && QIODevice::seek(pos);
}

qint64 TPackFileStream::readData(char* data, qint64 maxSize) {
    return FInner->read(data, maxSize);
}

qint64 TPackFileStream::writeData(const char* data, qint64 size) {
    return FInner->write(data, size);
}

void TPackFileStream::ResolvePath(const std::string& fileName, int mode) {
    TResolvedPath resolved = Resolve(fileName, mode);
    FInPack = resolved.InPack;
    FPath = std::move(resolved.Path);
    FEntryName = std::move(resolved.EntryName);
}

void TPackFileStream::OpenPlainFile(int mode) {
    auto file = std::make_unique<QFile>(DiskName(FPath));
    if (mode == fmCreate) {
        if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate))
            throw EFCreateError(FPath, Reason(*file));
    } else {
        // Unlike creating, the other modes never make a missing file or truncate one.
        const int access = mode & 3;
        const QIODevice::OpenMode openMode = access == fmOpenRead    ? QIODevice::ReadOnly
                                             : access == fmOpenWrite ? QIODevice::WriteOnly
                                                                     : QIODevice::ReadWrite;
        if (!file->open(openMode | QIODevice::ExistingOnly))
            throw EFOpenError(FPath, Reason(*file));
    }
    FInner = std::move(file);
}

void TPackFileStream::LoadEntry() {
    auto* buffer = static_cast<QBuffer*>(FInner.get());
    buffer->setData(Decompress(ReadPackedEntry(), FPath + "\\" + FEntryName));
    buffer->open(QIODevice::ReadOnly);
}

void TPackFileStream::SaveEntry() {
    WritePackedEntry(Compress(static_cast<QBuffer*>(FInner.get())->data()));
}

QByteArray TPackFileStream::ReadPackedEntry() const {
    QFile archive(DiskName(FPath));
    if (!archive.open(QIODevice::ReadOnly))
        throw EFOpenError(FPath, Reason(archive));
    TArchiveScanner scanner(archive);
    while (auto entry = scanner.Next()) {
        if (!NamesMatch(entry->Name, FEntryName))
            continue;
        archive.seek(entry->DataOffset);
        const QByteArray data = archive.read(entry->DataLength);
        if (data.size() != entry->DataLength)
            throw EFOpenError(FPath, Reason(archive));
        return data;
    }
    throw Exception("File " + FPath + "\\" + FEntryName + " not found");
}

// The archive is rebuilt beside itself and renamed over the old one, so a failure part way
// leaves the old archive whole.
void TPackFileStream::WritePackedEntry(const QByteArray& data) const {
    if (data.size() > INT_MAX)
        throw Exception("File " + FPath + "\\" + FEntryName + " is too large");
    QSaveFile target(DiskName(FPath));
    if (!target.open(QIODevice::WriteOnly))
        throw EFCreateError(FPath, Reason(target));
    if (IsFile(FPath)) {
        QFile archive(DiskName(FPath));
        if (!archive.open(QIODevice::ReadOnly))
            throw EFOpenError(FPath, Reason(archive));
        CopyRetiring(archive, target, FEntryName);
    }
    target.write(LittleEndian(static_cast<qint32>(FEntryName.size())));
    target.write(FEntryName.data(), static_cast<qint64>(FEntryName.size()));
    target.write(LittleEndian(static_cast<qint32>(data.size())));
    target.write(data);
    if (!target.commit())
        throw EFCreateError(FPath, Reason(target));
}

int PackFolder(const std::string& folder, const std::string& archive) {
    const QDir root(DiskName(folder));
    if (!root.exists())
        throw EFOpenError(folder, "The folder does not exist.");
    std::vector<std::string> names;
    QDirIterator files(root.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString relative = root.relativeFilePath(files.next());
        const std::string name = QStringToAnsi(relative);
        if (AnsiToQString(name) != relative)
            throw EFOpenError(QStringToAnsi(files.filePath()),
                              "The name has characters outside Windows-1252.");
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());

    const std::string target = FullPath(archive);
    QDir().mkpath(DiskName(FolderOf(target)));
    const std::string temporary = target + "." + std::to_string(::getpid()) + ".packing";
    QFile start(DiskName(temporary));
    if (!start.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFCreateError(temporary, Reason(start));
    start.close();
    try {
        for (const std::string& name : names) {
            QFile source(DiskName(folder + "/" + name));
            if (!source.open(QIODevice::ReadOnly))
                throw EFOpenError(QStringToAnsi(source.fileName()), Reason(source));
            TPackFileStream entry(temporary + "/" + name, fmCreate);
            entry.write(source.readAll());
            entry.Commit();
        }
        // rename() replaces an old archive in one step.
        if (::rename(QFile::encodeName(DiskName(temporary)).constData(),
                     QFile::encodeName(DiskName(target)).constData()) != 0)
            throw EFCreateError(target, std::strerror(errno));
    } catch (...) {
        QFile::remove(DiskName(temporary));
        throw;
    }
    return static_cast<int>(names.size());
}
