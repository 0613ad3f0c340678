// A picture file saved by another tool. The first byte of the input chooses the extension
// (".bmp", ".gif", ".jpg", ".png"); the rest is the file. A picture that loads is scaled
// and composited the way a card page draws it.
#include "FuzzSupport.h"

#include "common/Exception.h"
#include "common/xBitmap.h"

#include <QPainter>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(true);
    return 0;
}

namespace {

constexpr const char* Extensions[] = {".bmp", ".gif", ".jpg", ".png"};
constexpr int MaxPixels = 4096 * 4096;

void DrawScaled(const TxBitmap& bitmap, int width, int height) {
    TxBitmap scaled(width, height, 0);
    StretchCopy(bitmap, scaled);
    QImage canvas(24, 24, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    DrawAlpha(painter, QRect(2, 3, width, height), scaled, QRect(0, 0, width, height));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return -1;
    const std::string fileName = WorkDir() + "picture" + Extensions[data[0] % 4];
    WriteFile(fileName, AsText(data + 1, size - 1));
    try {
        const TxBitmap bitmap(fileName);
        FUZZ_CHECK(!bitmap.IsEmpty(), "an existing picture file read as missing");
        const QImage& pixels = *bitmap.Pixels();
        FUZZ_CHECK(pixels.format() == QImage::Format_ARGB32_Premultiplied,
                   "a picture that is not premultiplied ARGB");
        FUZZ_CHECK(pixels.width() > 0 && pixels.height() > 0 &&
                       qint64(pixels.width()) * pixels.height() <= MaxPixels,
                   "a picture of no size or of a size that was to be refused");
        // Down to a size that depends on the picture, as a page asks for 16 x 16 and others.
        DrawScaled(bitmap, 1 + pixels.width() % 20, 1 + pixels.height() % 20);
    } catch (const Exception&) {
        // damaged, truncated or too large: an error naming the file is the answer
    }
    return 0;
}
