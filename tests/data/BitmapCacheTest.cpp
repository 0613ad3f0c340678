#include "common/Exception.h"
#include "common/PackStream.h"
#include "data/xLib.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Red = 0xFFFF0000;

// 32 x 32: the left half opaque red, the right half transparent.
QByteArray HalfRedPng(int size = 32) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(0);
    QPainter(&image).fillRect(0, 0, size / 2, size, QColor(Red));
    return Encoded(image, "PNG");
}

class BitmapCache : public testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return FFolder.path().toStdString() + "/" + name;
    }
    std::string Write(const std::string& name, const QByteArray& bytes) const {
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    bool Cached(const std::string& key) const {
        TxBitmap* bitmap;
        return Factory().BitmapCache().TryGetObject(key, bitmap);
    }

private:
    QTemporaryDir FFolder;
};

} // namespace

TEST_F(BitmapCache, SameNameInAnyCaseGivesTheSameBitmapReadOnce) {
    const std::string path =
        Write("Images/G.gif", ReadFile(FixturesDir + "images/transparent.gif"));
    const TxBitmap& first = Factory().GetBitmap(path);
    ASSERT_FALSE(first.IsEmpty());
    // The file changes on disk; the cache does not read it again.
    WriteFile(path, HalfRedPng());
    EXPECT_EQ(&Factory().GetBitmap(path), &first);
    EXPECT_EQ(&Factory().GetBitmap(Path("IMAGES/g.GIF")), &first);
    EXPECT_EQ(first.Width(), 4);
    EXPECT_EQ(first.FileName(), path);
}

TEST_F(BitmapCache, MissingFileIsCachedEmptyAndNeverScaled) {
    const std::string path = Path("Images/W.gif");
    const TxBitmap& missing = Factory().GetBitmap(path);
    EXPECT_TRUE(missing.IsEmpty());
    EXPECT_EQ(missing.FileName(), path);
    // Not looked for again, even once the file exists.
    Write("Images/W.gif", HalfRedPng());
    EXPECT_EQ(&Factory().GetBitmap(path), &missing);
    EXPECT_TRUE(Factory().GetBitmap(path).IsEmpty());
    EXPECT_EQ(&Factory().GetScaledBitmap(missing, 16, 16), &missing);
    EXPECT_FALSE(Cached(path + "#16#16"));
}

TEST_F(BitmapCache, ScaledCopiesAreMadeOnceNeverEnlargedNorEmpty) {
    const std::string path = Write("half.png", HalfRedPng());
    const TxBitmap& source = Factory().GetBitmap(path);

    const TxBitmap& small = Factory().GetScaledBitmap(source, 16, 16);
    ASSERT_NE(&small, &source);
    EXPECT_EQ(small.Width(), 16);
    EXPECT_EQ(small.Height(), 16);
    EXPECT_EQ(small.Pixels()->pixel(2, 8), Red);
    EXPECT_EQ(small.Pixels()->pixel(13, 8), 0u);
    EXPECT_TRUE(small.FileName().empty());
    EXPECT_EQ(&Factory().GetScaledBitmap(source, 16, 16), &small);
    EXPECT_TRUE(Cached(path + "#16#16"));

    const struct {
        int Width, Height;
    } kept[] = {{33, 16}, {16, 33}, {64, 64}, {0, 16}, {16, 0}, {-1, -1}};
    for (const auto& size : kept) {
        EXPECT_EQ(&Factory().GetScaledBitmap(source, size.Width, size.Height), &source);
        EXPECT_FALSE(
            Cached(path + "#" + std::to_string(size.Width) + "#" + std::to_string(size.Height)));
    }

    const TxBitmap& same = Factory().GetScaledBitmap(source, 32, 32);
    EXPECT_NE(&same, &source);
    EXPECT_EQ(*same.Pixels(), *source.Pixels());
    EXPECT_EQ(&Factory().GetScaledBitmap(source, 32, 32), &same);
}

TEST_F(BitmapCache, NewBitmapIsFilledUncachedAndNeverScaled) {
    const int count = Factory().BitmapCache().Count();
    const auto bitmap = Factory().NewBitmap(8, 4, 0x80402010);
    EXPECT_EQ(bitmap->Width(), 8);
    EXPECT_EQ(bitmap->Height(), 4);
    EXPECT_EQ(bitmap->Pixels()->pixel(7, 3), 0x80402010u);
    EXPECT_EQ(&Factory().GetScaledBitmap(*bitmap, 2, 2), bitmap.get());
    EXPECT_EQ(Factory().BitmapCache().Count(), count);
}

TEST_F(BitmapCache, DamagedFileRaisesEachTimeAndCachesNothing) {
    const std::string path = Write("bad.png", HalfRedPng().left(40));
    EXPECT_THROW(Factory().GetBitmap(path), Exception);
    EXPECT_FALSE(Cached(path));
    EXPECT_THROW(Factory().GetBitmap(path), Exception);
    const std::string odd = Write("odd.tif", HalfRedPng());
    EXPECT_THROW(Factory().GetBitmap(odd), Exception);
    EXPECT_FALSE(Cached(odd));
}

TEST_F(BitmapCache, ReadsFromAFolderOrFromAPackedArchiveInItsPlace) {
    for (bool packed : {false, true}) {
        // The pictures' folder, or the folder that a packed archive of that name replaces.
        const std::string images = Path(packed ? "packed/Images" : "plain/Images");
        const std::string folder = packed ? Path("source") : images;
        WriteFile(folder + "/G.gif", ReadFile(FixturesDir + "images/transparent.gif"));
        WriteFile(folder + "/2/W.png", HalfRedPng());
        if (packed) {
            ASSERT_EQ(PackFolder(folder, images), 2);
        }

        const TxBitmap& g = Factory().GetBitmap(images + "/G.gif");
        ASSERT_EQ(g.Width(), 4) << packed;
        EXPECT_EQ(g.Pixels()->pixel(0, 0), 0u);
        EXPECT_EQ(g.Pixels()->pixel(1, 0), Red);
        const TxBitmap& w = Factory().GetBitmap(images + "/2/W.png");
        EXPECT_EQ(Factory().GetScaledBitmap(w, 16, 16).Pixels()->pixel(2, 2), Red) << packed;
        EXPECT_TRUE(Factory().GetBitmap(images + "/U.gif").IsEmpty()) << packed;
    }
}

TEST_F(BitmapCache, PainterDrawsAFileBitmapThroughItsScaledCopy) {
    const std::string path = Write("big.png", HalfRedPng(64));
    const TxBitmap& source = Factory().GetBitmap(path);
    QImage canvas(40, 40, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0xFF808080);
    QPainter painter(&canvas);
    Factory()
        .NewGraphics(painter, QRect(10, 10, 16, 16), false)
        ->DrawBitmap(source, QRect(10, 10, 16, 16));
    painter.end();
    EXPECT_TRUE(Cached(path + "#16#16"));
    EXPECT_EQ(canvas.pixel(11, 12), Red);
    EXPECT_EQ(canvas.pixel(13, 12), Red);
    EXPECT_EQ(canvas.pixel(24, 12), 0xFF808080u);
    EXPECT_EQ(canvas.pixel(9, 12), 0xFF808080u);
    EXPECT_EQ(canvas.pixel(11, 26), 0xFF808080u);
}
