#include "common/xBitmap.h"
#include "common/Exception.h"
#include "common/PackStream.h"
#include "support/ImageFiles.h"
#include "support/Raised.h"
#include "support/TestPaths.h"

#include <QDirIterator>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

class BitmapFiles : public testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return FFolder.path().toStdString() + "/" + name;
    }
    std::string Write(const std::string& name, const QByteArray& bytes) const {
        WriteFile(Path(name), bytes);
        return Path(name);
    }

private:
    QTemporaryDir FFolder;
};

QByteArray TransparentGif() {
    return ReadFile(FixturesDir + "images/transparent.gif");
}

// Runs `action` and gives the message of the Exception it raises ("" when none).
QImage Filled(int width, int height, QRgb colour, QImage::Format format = QImage::Format_ARGB32) {
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

} // namespace

TEST_F(BitmapFiles, TransparentGifBackgroundBecomesZeroAndTheRestOpaque) {
    // The fixture's transparent colour is magenta; its 4 x 3 pixels, row by row.
    const QRgb t = 0, r = 0xFFFF0000, g = 0xFF00FF00, b = 0xFF0000FF;
    const QRgb expected[3][4] = {{t, r, g, t}, {b, t, r, t}, {r, r, r, r}};
    for (const char* name : {"t.gif", "T.GIF", "t.Gif"}) {
        const QImage image = LoadImageFile(Write(name, TransparentGif()));
        ASSERT_EQ(image.size(), QSize(4, 3)) << name;
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(image.pixel(x, y), expected[y][x]) << name << " at " << x << "," << y;
    }
}

TEST_F(BitmapFiles, BmpOf24BitsIsOpaqueAnd32BitsKeepsItsAlpha) {
    QImage straight(2, 2, QImage::Format_ARGB32);
    straight.setPixel(0, 0, qRgba(255, 0, 0, 255));
    straight.setPixel(1, 0, qRgba(200, 100, 50, 128));
    straight.setPixel(0, 1, qRgba(10, 20, 30, 0));
    straight.setPixel(1, 1, qRgba(0, 0, 255, 64));

    const QImage opaque = LoadImageFile(
        Write("rgb.bmp", Encoded(straight.convertToFormat(QImage::Format_RGB32), "BMP")));
    ASSERT_EQ(opaque.size(), QSize(2, 2));
    EXPECT_EQ(opaque.pixel(1, 0), qRgb(200, 100, 50));
    EXPECT_EQ(opaque.pixel(0, 1), qRgb(10, 20, 30));

    for (bool topDown : {false, true}) {
        const QImage image = LoadImageFile(Write("argb.bmp", Bmp32(straight, topDown)));
        ASSERT_EQ(image.size(), QSize(2, 2));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(image.pixel(x, y), qPremultiply(straight.pixel(x, y)))
                    << "top-down " << topDown << " at " << x << "," << y;
    }
}

TEST_F(BitmapFiles, PngAlphaChannelIsKeptAndStoredPremultiplied) {
    QImage straight = Filled(3, 1, qRgba(200, 100, 50, 128));
    straight.setPixel(1, 0, qRgba(255, 255, 255, 255));
    straight.setPixel(2, 0, qRgba(90, 60, 30, 0));
    const QImage image = LoadImageFile(Write("alpha.png", Encoded(straight, "PNG")));
    EXPECT_EQ(image.pixel(0, 0), qRgba(100, 50, 25, 128));
    EXPECT_EQ(image.pixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(2, 0), 0u);
}

TEST_F(BitmapFiles, PngTransparentColourGivesZeroExactlyWhereItsColourIs) {
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(255, 0, 255, 0), qRgb(255, 0, 255), qRgb(0, 128, 0)});
    const uchar indices[2][3] = {{0, 1, 2}, {2, 0, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            indexed.setPixel(x, y, indices[y][x]);
    const QImage image = LoadImageFile(Write("key.png", Encoded(indexed, "PNG")));
    const QRgb expected[2][3] = {{0, 0xFFFF00FF, 0xFF008000}, {0xFF008000, 0, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(image.pixel(x, y), expected[y][x]) << x << "," << y;
}

TEST_F(BitmapFiles, JpegIsAlwaysOpaque) {
    const QImage image =
        LoadImageFile(Write("photo.jpg", Encoded(Filled(8, 8, qRgba(0, 0, 200, 0)), "JPG", 100)));
    ASSERT_EQ(image.size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 255);
}

TEST_F(BitmapFiles, MissingFileGivesAnEmptyBitmapThatKeepsItsName) {
    const std::string path = Path("nowhere/W.gif");
    const TxBitmap bitmap(path);
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_EQ(const_cast<TxBitmap&>(bitmap).DC(), nullptr);
    EXPECT_EQ(bitmap.FileName(), path);
    EXPECT_EQ(MessageOf([&] { LoadImageFile(path); }), "File not found: " + path);
}

TEST_F(BitmapFiles, BitmapFromAFileHoldsItsPictureAndName) {
    const std::string path = Write("G.gif", TransparentGif());
    TxBitmap bitmap(path);
    EXPECT_FALSE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_NE(bitmap.DC(), nullptr);
    EXPECT_EQ(bitmap.FileName(), path);
    EXPECT_EQ(bitmap.Pixels()->pixel(1, 0), 0xFFFF0000u);
}

TEST_F(BitmapFiles, OtherExtensionsAreRefusedWithThePathUnchanged) {
    const QByteArray png = Encoded(Filled(2, 2, 0xFF00FF00), "PNG");
    for (const char* name : {"W.jpeg", "W", "W.tif", "W.png.txt", "sub.png/W", "W."}) {
        const std::string path = Write(name, png);
        EXPECT_EQ(MessageOf([&] { LoadImageFile(path); }), "Unsupported image format: " + path)
            << name;
        EXPECT_EQ(MessageOf([&] { TxBitmap bitmap(path); }), "Unsupported image format: " + path)
            << name;
    }
}

namespace {

// A PNG whose header claims `width` x `height` pixels, followed by no picture data.
QByteArray PngHeaderOnly(quint32 width, quint32 height) {
    QByteArray chunk("IHDR");
    char size[8];
    qToBigEndian(width, size);
    qToBigEndian(height, size + 4);
    chunk.append(size, 8);
    chunk.append("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, no interlace
    char field[4];
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    qToBigEndian(quint32(13), field);
    png.append(field, 4).append(chunk);
    qToBigEndian(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()))),
        field);
    return png.append(field, 4);
}

QByteArray Bmp32Claiming(qint32 width, qint32 height) {
    QByteArray bmp = Bmp32(Filled(2, 2, 0xFF102030));
    qToLittleEndian(width, bmp.data() + 18);
    qToLittleEndian(height, bmp.data() + 22);
    return bmp;
}

} // namespace

TEST_F(BitmapFiles, DamagedFilesRaiseAnErrorNamingTheFile) {
    const QByteArray png = Encoded(Filled(32, 32, 0xFF336699), "PNG");
    const QByteArray bmp24 = Encoded(Filled(32, 32, 0xFF336699, QImage::Format_RGB32), "BMP");
    const QByteArray bmp32 = Bmp32(Filled(32, 32, 0x80336699));
    const QByteArray gif = TransparentGif();
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"empty.png", QByteArray()},
        {"empty.gif", QByteArray()},
        {"empty.bmp", QByteArray()},
        {"empty.jpg", QByteArray()},
        {"half.png", png.left(png.size() / 2)},
        {"half.bmp", bmp24.left(bmp24.size() / 2)},
        {"half32.bmp", bmp32.left(bmp32.size() - 1)},
        {"cut.gif", gif.left(gif.size() - 4)},
        {"header.gif", gif.left(13)},
        {"gif-in.png", gif},
        {"png-in.gif", png},
        {"text.jpg", QByteArray("this is not a picture at all")},
        {"huge.png", PngHeaderOnly(100000, 100000)},
        {"huge.bmp", Bmp32Claiming(100000, 100000)},
        {"negative.bmp", Bmp32Claiming(-2, 2)},
        {"flat.bmp", Bmp32Claiming(2, 0)},
    };
    for (const auto& c : cases) {
        const std::string path = Write(c.Name, c.Bytes);
        const std::string message = MessageOf([&] { LoadImageFile(path); });
        EXPECT_NE(message.find(path), std::string::npos) << c.Name << ": " << message;
    }
}

TEST(StretchCopy, ShrinksTheWholeSourceKeepingTransparentPartsTransparent) {
    // Left half opaque red, right half transparent, a blue 4 x 4 corner at the bottom right.
    TxBitmap source(64, 64, 0);
    QPainter painter(source.DC());
    painter.fillRect(0, 0, 32, 64, QColor(255, 0, 0));
    painter.fillRect(60, 60, 4, 4, QColor(0, 0, 255));
    painter.end();
    TxBitmap target(16, 16, 0xFF00FF00);
    StretchCopy(source, target);

    const QImage& out = *target.Pixels();
    for (int y = 0; y < 14; ++y) {
        EXPECT_EQ(out.pixel(2, y), 0xFFFF0000u) << y;
        EXPECT_EQ(out.pixel(13, y), 0u) << y;
    }
    EXPECT_GT(qBlue(out.pixel(15, 15)), 100);
    EXPECT_EQ(qRed(out.pixel(15, 15)), 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb p = out.pixel(x, y);
            ASSERT_LE(std::max({qRed(p), qGreen(p), qBlue(p)}), qAlpha(p)) << x << "," << y;
        }
}

TEST(StretchCopy, PlainColourStaysThatColourAtAnySize) {
    const QRgb colour = qPremultiply(qRgba(90, 180, 30, 200));
    const QSize cases[][2] = {{{64, 64}, {16, 16}}, {{16, 16}, {16, 16}}, {{3, 3}, {7, 5}},
                              {{1, 1}, {5, 5}},     {{100, 1}, {7, 3}},   {{5, 40}, {1, 1}}};
    for (const auto& c : cases) {
        const TxBitmap source(c[0].width(), c[0].height(), colour);
        TxBitmap target(c[1].width(), c[1].height(), 0);
        StretchCopy(source, target);
        for (int y = 0; y < target.Height(); ++y)
            for (int x = 0; x < target.Width(); ++x)
                ASSERT_EQ(target.Pixels()->pixel(x, y), colour)
                    << c[0].width() << "x" << c[0].height() << " to " << x << "," << y;
    }
}

TEST(StretchCopy, EmptyBitmapOnEitherSideChangesNothing) {
    const TxBitmap empty("/nonexistent/x.gif");
    TxBitmap target(4, 4, 0xFF123456);
    StretchCopy(empty, target);
    EXPECT_EQ(target.Pixels()->pixel(1, 1), 0xFF123456u);
    TxBitmap emptyTarget("/nonexistent/y.gif");
    StretchCopy(target, emptyTarget);
    EXPECT_TRUE(emptyTarget.IsEmpty());
}

TEST(DrawAlpha, CompositesPremultipliedPixelsOverTheBackground) {
    // Opaque red, half-transparent white, and transparent.
    QImage straight = Filled(3, 1, qRgba(255, 0, 0, 255));
    straight.setPixel(1, 0, qRgba(255, 255, 255, 128));
    straight.setPixel(2, 0, qRgba(255, 255, 255, 0));
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/edge.png";
    WriteFile(path, Encoded(straight, "PNG"));
    const TxBitmap bitmap(path);

    QImage canvas = Filled(5, 1, qRgb(0, 0, 0), QImage::Format_RGB32);
    QPainter painter(&canvas);
    DrawAlpha(painter, QRect(1, 0, 3, 1), bitmap, QRect(0, 0, 3, 1));
    DrawAlpha(painter, QRect(4, 0, 0, 1), bitmap, QRect(0, 0, 3, 1));
    DrawAlpha(painter, QRect(0, 0, 1, 1), TxBitmap("/nonexistent/z.png"), QRect(0, 0, 1, 1));
    painter.end();

    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(255, 0, 0));
    // Half-transparent white over black is mid grey, not white.
    EXPECT_NEAR(qRed(canvas.pixel(2, 0)), 128, 1);
    EXPECT_EQ(canvas.pixel(3, 0), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(4, 0), qRgb(0, 0, 0));
}

TEST(DrawAlpha, TransparentGifDrawsOnlyItsSymbol) {
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/W.gif";
    WriteFile(path, TransparentGif());
    const TxBitmap bitmap(path);
    for (QRgb background : {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(12, 200, 99)}) {
        QImage canvas = Filled(4, 3, background, QImage::Format_RGB32);
        QPainter painter(&canvas);
        DrawAlpha(painter, QRect(0, 0, 4, 3), bitmap, QRect(0, 0, 4, 3));
        painter.end();
        EXPECT_EQ(canvas.pixel(0, 0), background);
        EXPECT_EQ(canvas.pixel(1, 1), background);
        EXPECT_EQ(canvas.pixel(1, 0), qRgb(255, 0, 0));
        EXPECT_EQ(canvas.pixel(0, 1), qRgb(0, 0, 255));
    }
}

TEST(ApplyMask, ClearsMaskedPixelsAndLeavesThoseOutsideTheMask) {
    QImage surface = Filled(3, 2, 0xFF445566, QImage::Format_ARGB32_Premultiplied);
    QImage mask(2, 1, QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mask.fill(0);
    mask.setPixel(1, 0, 1);
    ApplyMask(surface, mask);
    EXPECT_EQ(surface.pixel(0, 0), 0xFF445566u);
    EXPECT_EQ(surface.pixel(1, 0), 0u);
    EXPECT_EQ(surface.pixel(2, 0), 0xFF445566u);
    EXPECT_EQ(surface.pixel(1, 1), 0xFF445566u);
}

TEST(SampleSymbols, EveryPictureIsAnOpaqueDiscOnATransparentGround) {
    int count = 0;
    QDirIterator it(QString::fromStdString(SampleDir + "images"), {"*.gif"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const std::string path = it.next().toStdString();
        const QImage image = LoadImageFile(path);
        ASSERT_GE(image.width(), 16) << path;
        EXPECT_EQ(image.width(), image.height()) << path;
        const int last = image.width() - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
            EXPECT_EQ(image.pixel(corner), 0u) << path;
        EXPECT_EQ(qAlpha(image.pixel(last / 2, last / 2)), 255) << path;
        ++count;
    }
    EXPECT_GT(count, 0);
}

TEST_F(BitmapFiles, PictureInsideAPackedArchiveIsReadByItsPath) {
    WriteFile(Path("folder/sub/W.gif"), TransparentGif());
    ASSERT_EQ(PackFolder(Path("folder"), Path("Images")), 1);
    const TxBitmap bitmap(Path("Images/SUB/w.gif"));
    ASSERT_FALSE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Pixels()->pixel(1, 0), 0xFFFF0000u);
    EXPECT_EQ(bitmap.Pixels()->pixel(0, 0), 0u);
    EXPECT_TRUE(TxBitmap(Path("Images/sub/U.gif")).IsEmpty());
}

TEST(SampleSymbols, EverySymbolOfTheSampleTextsHasItsPicture) {
    const QRegularExpression symbol("\\{([^{}]+)\\}");
    QDirIterator it(QString::fromStdString(SampleDir), {"*.txt", "*.html"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString text = QString::fromLatin1(ReadFile(it.next().toStdString()));
        for (const QRegularExpressionMatch& match : symbol.globalMatch(text)) {
            const std::string path = SampleDir + "images/" + match.captured(1).toStdString();
            EXPECT_FALSE(TxBitmap(path + ".gif").IsEmpty())
                << path << " in " << it.filePath().toStdString();
        }
    }
}
