#include "common/PackStream.h"
#include "common/ExtUtils.h"
#include "support/Raised.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <zlib.h>

namespace {

std::string LittleEndian(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
            static_cast<char>(bits >> 24)};
}

// One zlib stream at level 9, made directly with zlib.
std::string Packed(const std::string& content) {
    uLongf length = compressBound(content.size());
    std::string packed(length, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
              reinterpret_cast<const Bytef*>(content.data()), content.size(), 9);
    packed.resize(length);
    return packed;
}

// One zlib stream of `megabytes` MiB of zero bytes, compressed piece by piece.
std::string PackedZeros(int megabytes) {
    z_stream stream{};
    deflateInit(&stream, 9);
    std::string zeros(1 << 20, '\0');
    std::string packed;
    char out[1 << 16];
    for (int i = 0; i < megabytes; ++i) {
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        const int flush = i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            packed.append(out, sizeof out - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return packed;
}

// The bytes of one archive entry, written out field by field.
std::string Entry(const std::string& name, const std::string& data) {
    return LittleEndian(static_cast<std::int32_t>(name.size())) + name +
           LittleEndian(static_cast<std::int32_t>(data.size())) + data;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadWhole(const std::string& fileName) {
    TPackFileStream stream(fileName, fmOpenRead);
    return stream.readAll().toStdString();
}

void WriteEntry(const std::string& fileName, const std::string& content) {
    TPackFileStream stream(fileName, fmCreate);
    stream.write(content.data(), static_cast<qint64>(content.size()));
    stream.Commit();
}

// A data folder "Data" in a temporary folder, whose "Images" is an archive file.
class PackStream : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FRoot.isValid());
        Data = FRoot.path().toStdString() + "/Data";
        Images = Data + "/Images";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Data)));
    }

    QTemporaryDir FRoot;
    std::string Data;
    std::string Images;
};

} // namespace

TEST_F(PackStream, ReadsAnEntryBelowTheDeepestExistingFolder) {
    WriteBytes(Images, Entry("w.gif", Packed("top")) + Entry("sub\\W.gif", Packed("nested")));
    struct Case {
        std::string fileName, entryName, content;
    };
    const std::vector<Case> cases = {
        {Images + "/w.gif", "w.gif", "top"},
        {Images + "/W.GIF", "W.GIF", "top"}, // names match without regard to case
        {Images + "/sub/W.gif", "sub\\W.gif", "nested"},
        {Images + "/SUB/w.gif", "SUB\\w.gif", "nested"},
        {Data + "/./x/../Images/w.gif", "w.gif", "top"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(PackFileExists(c.fileName)) << c.fileName;
        TPackFileStream stream(c.fileName, fmOpenRead);
        EXPECT_TRUE(stream.InPack());
        EXPECT_EQ(stream.Path(), Images);
        EXPECT_EQ(stream.EntryName(), c.entryName);
        EXPECT_EQ(stream.readAll().toStdString(), c.content);
        EXPECT_FALSE(stream.seek(100)) << "past the end of an entry opened for reading";
        EXPECT_EQ(stream.pos(), static_cast<qint64>(c.content.size()));
        ASSERT_TRUE(stream.seek(1));
        EXPECT_EQ(stream.read(2).toStdString(), c.content.substr(1, 2));
    }
    EXPECT_FALSE(PackFileExists(Images + "/sub/other.gif"));
    EXPECT_FALSE(PackFileExists(Images + "/W.gif/deeper"));
}

TEST_F(PackStream, APlainFileIsReadFromDisk) {
    WriteBytes(Data + "/W.gif", "plain");
    EXPECT_TRUE(PackFileExists(Data + "/W.gif"));
    TPackFileStream stream(Data + "/W.gif", fmOpenRead);
    EXPECT_FALSE(stream.InPack());
    EXPECT_EQ(stream.Path(), Data + "/W.gif");
    EXPECT_EQ(stream.readAll().toStdString(), "plain");
}

TEST_F(PackStream, MissingFilesAndEntriesFailClearly) {
    WriteBytes(Images, Entry("w.gif", Packed("top")));
    // The file's own folder exists: no archive is involved, the file is simply missing.
    EXPECT_FALSE(PackFileExists(Data + "/missing.gif"));
    EXPECT_THROW(TPackFileStream(Data + "/missing.gif", fmOpenRead), EFOpenError);
    // The archive lacks the entry.
    EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/sub/x.gif", fmOpenRead); }),
              "File " + Images + "\\sub\\x.gif not found");
    // No archive file at all.
    EXPECT_FALSE(PackFileExists(Data + "/Sounds/a.wav"));
    EXPECT_THROW(TPackFileStream(Data + "/Sounds/a.wav", fmOpenRead), EFOpenError);
    // A packed entry opened for reading and writing.
    EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/w.gif", fmOpenReadWrite); }),
              "Unsupported file open mode");
}

TEST_F(PackStream, AnEmptyArchiveHoldsNoEntries) {
    WriteBytes(Images, "");
    EXPECT_FALSE(PackFileExists(Images + "/W.gif"));
    EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/W.gif", fmOpenRead); }),
              "File " + Images + "\\W.gif not found");
}

TEST_F(PackStream, UndecompressibleDataExistsButFailsToOpen) {
    const std::string good = Packed("content");
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x55;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty data", ""},
        {"not zlib", "plain bytes, never compressed"},
        {"cut short", good.substr(0, good.size() - 3)},
        {"damaged", flipped},
    };
    for (const auto& [what, data] : cases) {
        WriteBytes(Images, Entry("W.gif", data));
        EXPECT_TRUE(PackFileExists(Images + "/W.gif")) << what;
        EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/W.gif", fmOpenRead); }), "Error")
            << what;
    }
}

// Less than a megabyte in the archive that would expand to 257 MiB: refused while it is
// decompressed, with an error naming the entry.
TEST_F(PackStream, AnEntryExpandingBeyondAnyPictureIsRefused) {
    const std::string packed = PackedZeros(257);
    ASSERT_LT(packed.size(), 1u << 20);
    WriteBytes(Images, Entry("W.gif", packed));
    EXPECT_TRUE(PackFileExists(Images + "/W.gif"));
    EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/W.gif", fmOpenRead); }),
              "File " + Images + "\\W.gif is too large");
}

TEST_F(PackStream, CorruptLengthsEndTheScanAsTheEndOfTheFileWould) {
    const std::string first = Entry("a.gif", Packed("a"));
    const std::string second = Entry("b.gif", Packed("b"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"negative name length", LittleEndian(-1) + "b.gif" + LittleEndian(1) + "x"},
        {"name length past the end", LittleEndian(0x7FFFFFFF) + "b.gif"},
        {"data length past the end", LittleEndian(5) + "b.gif" + LittleEndian(0x7FFFFFFF)},
        {"negative data length", LittleEndian(5) + "b.gif" + LittleEndian(-16) + Packed("b")},
        {"header cut short", second.substr(0, 2)},
        {"data cut short", second.substr(0, second.size() - 1)},
    };
    for (const auto& [what, tail] : cases) {
        WriteBytes(Images, first + tail);
        EXPECT_TRUE(PackFileExists(Images + "/a.gif")) << what;
        EXPECT_EQ(ReadWhole(Images + "/a.gif"), "a") << what;
        EXPECT_FALSE(PackFileExists(Images + "/b.gif")) << what;
        EXPECT_EQ(MessageOf([&] { TPackFileStream(Images + "/b.gif", fmOpenRead); }),
                  "File " + Images + "\\b.gif not found")
            << what;
    }
}

TEST_F(PackStream, WritingTwiceRetiresTheOlderEntry) {
    WriteEntry(Images + "/sub/W.gif", "first");
    WriteEntry(Images + "/a.gif", "other");
    WriteEntry(Images + "/sub/w.GIF", "second");
    const std::string expected = Entry(std::string(9, '\0'), Packed("first")) +
                                 Entry("a.gif", Packed("other")) +
                                 Entry("sub\\w.GIF", Packed("second"));
    EXPECT_EQ(ReadBytes(Images), expected);
    EXPECT_EQ(ReadWhole(Images + "/sub/W.gif"), "second");
    EXPECT_EQ(ReadWhole(Images + "/a.gif"), "other");
}

TEST_F(PackStream, EveryOlderEntryOfTheNameIsRetired) {
    // Two live entries of one name can only come from another writer; both retire.
    WriteBytes(Images, Entry("W.gif", Packed("1")) + Entry("w.gif", Packed("2")));
    WriteEntry(Images + "/W.gif", "3");
    EXPECT_EQ(ReadBytes(Images), Entry(std::string(5, '\0'), Packed("1")) +
                                     Entry(std::string(5, '\0'), Packed("2")) +
                                     Entry("W.gif", Packed("3")));
}

TEST_F(PackStream, WritingIntoACorruptArchiveKeepsWhatIsReadable) {
    const std::string readable = Entry("a.gif", Packed("a"));
    WriteBytes(Images, readable + LittleEndian(-7) + "garbage");
    WriteEntry(Images + "/b.gif", "b");
    EXPECT_EQ(ReadBytes(Images), readable + Entry("b.gif", Packed("b")));
    EXPECT_EQ(ReadWhole(Images + "/b.gif"), "b");
}

TEST_F(PackStream, ADestroyedWriterStillSavesItsEntry) {
    {
        TPackFileStream stream(Images + "/W.gif", fmCreate);
        EXPECT_TRUE(stream.InPack());
        stream.write("abcdef");
        stream.seek(2);
        EXPECT_EQ(stream.read(2), "cd"); // the entry is an ordinary stream while it is written
        stream.SetSize(4);
        EXPECT_EQ(stream.size(), 4);
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Images))) << "written on close";
    }
    EXPECT_EQ(ReadWhole(Images + "/W.gif"), "abcd");
}

TEST_F(PackStream, ReadingLeavesTheArchiveUntouched) {
    const std::string bytes = Entry("a.gif", Packed("a")) + Entry("b.gif", "");
    WriteBytes(Images, bytes);
    const QString path = QString::fromStdString(Images);
    const QDateTime modified = QFileInfo(path).lastModified();
    EXPECT_TRUE(PackFileExists(Images + "/B.gif"));
    EXPECT_EQ(ReadWhole(Images + "/a.gif"), "a");
    EXPECT_THROW(ReadWhole(Images + "/b.gif"), EZDecompressionError);
    EXPECT_THROW(ReadWhole(Images + "/c.gif"), Exception);
    EXPECT_EQ(ReadBytes(Images), bytes);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
    EXPECT_EQ(QDir(QString::fromStdString(Data)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Images"});
}

TEST_F(PackStream, PlainFilesSupportEveryStreamOperation) {
    const std::string path = Data + "/plain.bin";
    {
        TPackFileStream stream(path, fmCreate);
        EXPECT_FALSE(stream.InPack());
        stream.write("0123456789");
        stream.SetSize(6);
        EXPECT_EQ(stream.size(), 6);
        EXPECT_EQ(stream.pos(), 6);
        stream.seek(1);
        EXPECT_EQ(stream.read(3), "123");
    }
    EXPECT_EQ(ReadBytes(path), "012345");
    {
        TPackFileStream stream(path, fmOpenReadWrite);
        stream.seek(4);
        stream.write("xy");
    }
    EXPECT_EQ(ReadBytes(path), "0123xy");
    {
        TPackFileStream stream(path, fmOpenRead);
        EXPECT_EQ(stream.write("zz", 2), -1); // read only
        EXPECT_TRUE(stream.seek(3));
        EXPECT_EQ(stream.readAll(), "3xy");
    }
    TPackFileStream(path, fmCreate).Commit(); // create truncates
    EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(PackStream, AnImageReaderDecodesAPackedPicture) {
    QImage picture(5, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 10, 10, 128));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    WriteEntry(Images + "/red.png", png.toStdString());

    TPackFileStream stream(Images + "/RED.PNG", fmOpenRead);
    QImageReader reader(&stream);
    const QImage decoded = reader.read();
    ASSERT_FALSE(decoded.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(decoded.size(), QSize(5, 3));
    EXPECT_EQ(decoded.pixel(4, 2), picture.pixel(4, 2));
}

TEST_F(PackStream, PackFolderWritesEveryFileInSortedOrder) {
    const std::string source = FRoot.path().toStdString() + "/source";
    QDir().mkpath(QString::fromStdString(source + "/sub/deep"));
    WriteBytes(source + "/b.gif", "b");
    WriteBytes(source + "/sub/W.gif", "w");
    WriteBytes(source + "/sub/deep/x.txt", "x");
    WriteBytes(source + "/A.gif", "a");
    WriteBytes(Images, Entry("old.gif", Packed("old"))); // replaced, not added to

    EXPECT_EQ(PackFolder(source, Images), 4);
    EXPECT_EQ(ReadBytes(Images), Entry("A.gif", Packed("a")) + Entry("b.gif", Packed("b")) +
                                     Entry("sub\\W.gif", Packed("w")) +
                                     Entry("sub\\deep\\x.txt", Packed("x")));
    EXPECT_EQ(ReadWhole(Images + "/sub/deep/x.txt"), "x");
    EXPECT_EQ(QDir(QString::fromStdString(Data)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Images"})
        << "no temporary file stays behind";
}

TEST_F(PackStream, PackFolderOfAnEmptyFolderMakesAnEmptyArchive) {
    const std::string source = FRoot.path().toStdString() + "/empty";
    QDir().mkpath(QString::fromStdString(source));
    const std::string archive = FRoot.path().toStdString() + "/out/new/Images";
    EXPECT_EQ(PackFolder(source, archive), 0);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(archive)).isFile());
    EXPECT_EQ(ReadBytes(archive), "");
}

TEST_F(PackStream, PackFolderFailureLeavesNoTraceAndTheTargetAlone) {
    const std::string source = FRoot.path().toStdString() + "/source";
    QDir().mkpath(QString::fromStdString(source));
    WriteBytes(source + "/a.gif", "a");
    QDir().mkpath(QString::fromStdString(Images + "/kept")); // a folder cannot be replaced
    EXPECT_THROW(PackFolder(source, Images), EFCreateError);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(Images + "/kept")).isDir());
    EXPECT_EQ(QDir(QString::fromStdString(Data)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Images"});
    EXPECT_THROW(PackFolder(source + "/none", Data + "/x"), EFOpenError);
}
