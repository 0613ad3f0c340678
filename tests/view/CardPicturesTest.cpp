#include "view/CardPictures.h"
#include "common/Exception.h"
#include "common/PackStream.h"
#include "data/xLib.h"
#include "support/ImageFiles.h"
#include "support/Raised.h"
#include "support/TestPaths.h"
#include "view/PageImport.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb White = 0xFFFFFFFF;

// 32 x 32: the left half opaque red, the right half transparent.
QByteArray HalfRedPng() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(0);
    QPainter(&image).fillRect(0, 0, 16, 32, QColor(Red));
    return Encoded(image, "PNG");
}

// A data folder of its own whose pictures lie in a folder "Images" or, packed, in an
// archive of that name.
class CardPictures : public testing::TestWithParam<bool> {
protected:
    CardPictures() : FOldDataDir(DataDir()) {
        const std::string data = FFolder.path().toStdString() + "/Data/";
        const std::string source =
            GetParam() ? FFolder.path().toStdString() + "/source/" : data + "Images/";
        WriteFile(source + "G.gif", ReadFile(SampleDir + "images/G.gif"));
        WriteFile(source + "2/W.gif", ReadFile(SampleDir + "images/2/W.gif"));
        WriteFile(source + "Half.png", HalfRedPng());
        WriteFile(source + "bad.gif", "GIF89a but nothing else");
        WriteFile(source + "X.tif", HalfRedPng());
        if (GetParam())
            PackFolder(source, data + "Images");
        SetDataDir(data);
    }
    ~CardPictures() override { SetDataDir(FOldDataDir); }

    // Removes a picture file from the folder, or empties the archive.
    void RemovePictures() {
        const QString images = QString::fromStdString(DataDir() + "Images");
        if (GetParam())
            WriteFile(DataDir() + "Images", QByteArray());
        else
            QDir(images).removeRecursively();
    }

    static QImage Canvas(int width, int height) {
        QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(White);
        return canvas;
    }

private:
    QTemporaryDir FFolder;
    std::string FOldDataDir;
};

} // namespace

TEST_P(CardPictures, SymbolPictureIsScaledToTheSizeAsked) {
    const auto picture = PictureNeeded("G.gif", 16, 16);
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->GetEmpty());
    EXPECT_EQ(picture->GetWidth(), 16);
    EXPECT_EQ(picture->GetHeight(), 16);
    const auto hybrid = PictureNeeded("2/W.gif", 16, 16);
    EXPECT_FALSE(hybrid->GetEmpty());
    EXPECT_EQ(hybrid->GetWidth(), 16);
    // Never enlarged, and no size keeps the picture's own.
    EXPECT_EQ(PictureNeeded("G.gif", 64, 64)->GetWidth(), 32);
    EXPECT_EQ(PictureNeeded("G.gif", 0, 0)->GetWidth(), 32);
}

TEST_P(CardPictures, EachPictureFileIsReadOnceForEveryPage) {
    const auto first = PictureNeeded("G.gif", 16, 16);
    const auto second = PictureNeeded("G.gif", 16, 16);
    RemovePictures();
    const auto later = PictureNeeded("G.gif", 16, 16);
    const TxBitmap* source = static_cast<TBitmapProxy&>(*first).Source();
    EXPECT_EQ(static_cast<TBitmapProxy&>(*second).Source(), source);
    EXPECT_EQ(static_cast<TBitmapProxy&>(*later).Source(), source);
    EXPECT_FALSE(later->GetEmpty());
}

TEST_P(CardPictures, MissingPictureIsEmptyAndDrawsNothing) {
    const auto picture = PictureNeeded("Nothing.gif", 16, 16);
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->GetEmpty());
    EXPECT_EQ(picture->GetWidth(), 0);
    picture->SetWidth(16);
    picture->SetHeight(16);
    QImage canvas = Canvas(16, 16);
    QPainter painter(&canvas);
    EXPECT_NO_THROW(picture->Draw(painter, QRect(0, 0, 16, 16)));
    painter.end();
    EXPECT_EQ(canvas, Canvas(16, 16));
}

TEST_P(CardPictures, PictureOutsideImagesIsNeverRead) {
    WriteFile(DataDir() + "outside.png", HalfRedPng());
    for (const char* src : {"../outside.png", "2/../../outside.png", "..", "2/../G.gif"})
        EXPECT_EQ(PictureNeeded(src, 16, 16), nullptr) << src;
    if (GetParam())
        return;
    // Dots within a name are ordinary.
    WriteFile(DataDir() + "Images/..G.gif", ReadFile(SampleDir + "images/G.gif"));
    EXPECT_FALSE(PictureNeeded("..G.gif", 16, 16)->GetEmpty());
}

TEST_P(CardPictures, DamagedOrUnsupportedPictureRaisesItsError) {
    const std::string bad = DataDir() + "Images/bad.gif";
    EXPECT_NE(MessageOf([] { PictureNeeded("bad.gif", 16, 16); }).find(bad), std::string::npos);
    EXPECT_EQ(MessageOf([] { PictureNeeded("X.tif", 16, 16); }),
              "Unsupported image format: " + DataDir() + "Images/X.tif");
}

TEST_P(CardPictures, ProxyDrawsItsBitmapScaledIntoTheRectangle) {
    const auto picture = PictureNeeded("Half.png", 16, 16);
    QImage canvas = Canvas(30, 30);
    QPainter painter(&canvas);
    painter.translate(4, 2);
    picture->Draw(painter, QRect(6, 8, 16, 16));
    painter.end();
    // The red half lands at x 10..17, y 10..25; the transparent half leaves the ground.
    EXPECT_EQ(canvas.pixel(11, 12), Red);
    EXPECT_EQ(canvas.pixel(13, 23), Red);
    EXPECT_EQ(canvas.pixel(24, 12), White);
    EXPECT_EQ(canvas.pixel(9, 12), White);
    EXPECT_EQ(canvas.pixel(11, 9), White);
    EXPECT_EQ(canvas.pixel(11, 26), White);
}

TEST_P(CardPictures, SizeChangeFetchesANewScaledCopyAtTheNextDrawing) {
    const std::string path = DataDir() + "Images/Half.png";
    TBitmapProxy picture(&Factory().GetBitmap(path), false);
    EXPECT_EQ(picture.GetWidth(), 32);
    picture.SetWidth(16);
    picture.SetHeight(16);
    QImage canvas = Canvas(40, 40);
    QPainter painter(&canvas);
    picture.Draw(painter, QRect(0, 0, 16, 16));
    TxBitmap* copy;
    EXPECT_TRUE(Factory().BitmapCache().TryGetObject(path + "#16#16", copy));
    EXPECT_FALSE(Factory().BitmapCache().TryGetObject(path + "#20#16", copy));

    picture.SetWidth(20);
    EXPECT_EQ(picture.GetWidth(), 20);
    EXPECT_EQ(picture.GetHeight(), 16);
    picture.Draw(painter, QRect(0, 20, 20, 16));
    painter.end();
    EXPECT_TRUE(Factory().BitmapCache().TryGetObject(path + "#20#16", copy));
    EXPECT_EQ(canvas.pixel(4, 28), Red);
    EXPECT_EQ(canvas.pixel(17, 28), White);
}

TEST_P(CardPictures, PageShowsItsSymbolsFromTheCache) {
    QTextDocument document;
    TPageImporter importer(document);
    importer.SetPictureRequest(PictureNeeded);
    const std::string symbol = "<img src=\"Half.png\" width=16 height=16 vshift=-3>";
    importer.Load("<div>" + symbol + " and " + symbol + "<br></div>");
    RemovePictures();
    QTextDocument later;
    TPageImporter laterImporter(later);
    laterImporter.SetPictureRequest(PictureNeeded);
    laterImporter.Load("<div>" + symbol + "<br></div>");

    QImage canvas = Canvas(200, 60);
    QPainter painter(&canvas);
    document.drawContents(&painter);
    painter.translate(0, 30);
    later.drawContents(&painter);
    painter.end();
    // Three pictures, each a red 8 x 16 half on the ground.
    std::vector<QRect> pictures;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const QRect pixel(x, y, 1, 1);
            if (canvas.pixel(x, y) != Red)
                continue;
            auto near = std::find_if(pictures.begin(), pictures.end(), [&](const QRect& r) {
                return r.adjusted(-2, -2, 2, 2).intersects(pixel);
            });
            if (near == pictures.end())
                pictures.push_back(pixel);
            else
                *near |= pixel;
        }
    ASSERT_EQ(pictures.size(), 3u);
    for (const QRect& picture : pictures) {
        EXPECT_EQ(picture.height(), 16);
        EXPECT_NEAR(picture.width(), 8, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(FolderOrArchive, CardPictures, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Packed" : "Folder";
                         });
