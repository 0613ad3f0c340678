#pragma once
#include "common/Exception.h"

#include <QIODevice>
#include <memory>
#include <string>

// Opens a file by its ordinary path whether it lies on disk or inside a packed archive: a
// single file standing where a folder would stand. If "Data/Images" is a file and not a
// folder, the path "Data/Images/sub/W.gif" names the entry "sub\W.gif" of that archive.
//
// An archive is a bare sequence of entries: NameLength (32-bit signed, little-endian), the
// name (Windows-1252, "\" between folders, no terminator; all zero bytes once retired),
// DataLength (32-bit signed, little-endian) and the content as one zlib stream (level 9).
// Names match without regard to case; the first live entry of a name is the entry. The scan
// ends quietly at a length that is negative or runs past the end of the file.
//
// File names are program text (Windows-1252) with "/" between folders.

// Packed data that zlib cannot decompress.
class EZDecompressionError : public Exception {
public:
    EZDecompressionError() : Exception("Error") {}
};

// The file open modes: the low bits choose the access, fmCreate creates or truncates.
constexpr int fmOpenRead = 0x0000;
constexpr int fmOpenWrite = 0x0001;
constexpr int fmOpenReadWrite = 0x0002;
constexpr int fmShareDenyWrite = 0x0020;
constexpr int fmCreate = 0xFFFF;

// True when the file exists on disk or as a live entry of a packed archive. Decompresses
// nothing and never raises for a missing or corrupt archive.
bool PackFileExists(const std::string& fileName);

// A random-access device over a plain file or over a packed entry held in memory. Reads,
// writes, seeks and size go to the inner file or memory buffer. Only fmOpenRead and fmCreate
// are supported for packed entries; a created entry reaches its archive on Commit() (or at
// destruction, where a failure cannot be reported).
class TPackFileStream : public QIODevice {
public:
    // Raises EFOpenError/EFCreateError when the file or archive cannot be opened, the
    // not-found message for an entry the archive lacks, EZDecompressionError for corrupt
    // packed data and "Unsupported file open mode" for a packed entry in another mode.
    TPackFileStream(const std::string& fileName, int mode);
    ~TPackFileStream() override;

    // Writes a created packed entry into its archive (replacing the archive file whole, so a
    // failure leaves the old archive as it was) and closes the stream. Raises on failure.
    // For any other stream it only closes.
    void Commit();
    void SetSize(qint64 size);

    bool InPack() const { return FInPack; }
    // The full path of the plain file, or of the archive for a packed entry.
    const std::string& Path() const { return FPath; }
    const std::string& EntryName() const { return FEntryName; }

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    void ResolvePath(const std::string& fileName, int mode);
    void OpenPlainFile(int mode);
    void LoadEntry();
    void SaveEntry();
    QByteArray ReadPackedEntry() const;
    void WritePackedEntry(const QByteArray& data) const;

    std::unique_ptr<QIODevice> FInner;
    bool FInPack = false;
    int FOpenMode = 0;
    std::string FPath;
    std::string FEntryName;
    bool FSavePending = false;
};

// Writes every file below `folder` (in sorted order of their relative names) as an entry of
// a new packed archive `archive`, which replaces any old file of that name only once it is
// complete. Entry names are relative to `folder` with "\" between folders. Returns the
// number of entries.
int PackFolder(const std::string& folder, const std::string& archive);
