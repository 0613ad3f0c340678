#include "xBitmap.h"

#include "common/Exception.h"
#include "common/Lanczos.h"
#include "common/PackStream.h"
#include "common/Win1252.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QRect>
#include <QtEndian>
#include <cstring>

namespace {

// Larger pictures are refused before they are decoded: cost symbols are tiny, and a forged
// header must not make the program allocate gigabytes.
constexpr qint64 MaxPixels = 4096 * 4096;

enum class TImageKind { Bmp, Gif, Jpeg, Png };

struct TDecoder {
    const char* Extension;
    TImageKind Kind;
    const char* QtFormat;
};

constexpr TDecoder Decoders[] = {
    {".bmp", TImageKind::Bmp, "bmp"},
    {".gif", TImageKind::Gif, "gif"},
    {".jpg", TImageKind::Jpeg, "jpeg"},
    {".png", TImageKind::Png, "png"},
};

[[noreturn]] void RaiseDamaged(const std::string& fileName, const std::string& reason) {
    throw Exception("Cannot read image " + fileName + ": " + reason);
}

// The text from the last "." of the last path component on, lower-cased; empty when the
// component has no ".".
std::string ExtensionOf(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return AnsiLowerCase(fileName.substr(dot));
}

const TDecoder* DecoderFor(const std::string& fileName) {
    const std::string extension = ExtensionOf(fileName);
    for (const TDecoder& decoder : Decoders)
        if (extension == decoder.Extension)
            return &decoder;
    return nullptr;
}

// The whole file, read through a stream that is closed before decoding starts.
QByteArray ReadImageBytes(const std::string& fileName) {
    TPackFileStream stream(fileName, fmOpenRead);
    const qint64 size = stream.size();
    if (size > MaxPixels * 4 + 65536)
        RaiseDamaged(fileName, "the file is too large");
    QByteArray bytes(size, Qt::Uninitialized);
    if (stream.read(bytes.data(), size) != size)
        RaiseDamaged(fileName, "the file could not be read whole");
    return bytes;
}

// Header fields past the end of the file read as 0.
quint32 LittleEndian32(const QByteArray& bytes, qsizetype offset) {
    quint32 value = 0;
    if (offset >= 0 && offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.constData() + offset, 4);
    return qFromLittleEndian(value);
}
quint16 LittleEndian16(const QByteArray& bytes, qsizetype offset) {
    quint16 value = 0;
    if (offset >= 0 && offset + 2 <= bytes.size())
        std::memcpy(&value, bytes.constData() + offset, 2);
    return qFromLittleEndian(value);
}

// What the BMP headers say about the pixel array, when the file carries uncompressed pixels.
struct TBmpLayout {
    bool Uncompressed = false;
    int BitCount = 0;
    quint32 Compression = 0;
    qint64 Width = 0;
    qint64 Height = 0; // negative: rows from top to bottom
    qint64 DataOffset = 0;
    qint64 Stride = 0;
};

constexpr qsizetype BmpFileHeaderSize = 14;
constexpr quint32 BI_RGB = 0, BI_BITFIELDS = 3;

TBmpLayout ReadBmpLayout(const QByteArray& bytes) {
    TBmpLayout layout;
    if (bytes.size() < BmpFileHeaderSize + 40 || !bytes.startsWith("BM") ||
        LittleEndian32(bytes, BmpFileHeaderSize) < 40)
        return layout; // the decoder gives its own verdict on other headers
    layout.DataOffset = LittleEndian32(bytes, 10);
    layout.Width = qint32(LittleEndian32(bytes, 18));
    layout.Height = qint32(LittleEndian32(bytes, 22));
    layout.BitCount = LittleEndian16(bytes, 28);
    layout.Compression = LittleEndian32(bytes, 30);
    layout.Uncompressed = layout.Compression == BI_RGB || layout.Compression == BI_BITFIELDS;
    layout.Stride = (layout.Width * layout.BitCount + 31) / 32 * 4;
    return layout;
}

void CheckSize(const std::string& fileName, qint64 width, qint64 height) {
    if (width <= 0 || height <= 0)
        RaiseDamaged(fileName, "the picture has no size");
    if (width * height > MaxPixels)
        RaiseDamaged(fileName, "the picture is too large");
}

// A truncated uncompressed BMP would otherwise decode with its missing rows left black.
void CheckBmpComplete(const std::string& fileName, const TBmpLayout& layout,
                      const QByteArray& bytes) {
    if (!layout.Uncompressed)
        return;
    CheckSize(fileName, layout.Width, std::abs(layout.Height));
    if (layout.DataOffset + layout.Stride * std::abs(layout.Height) > bytes.size())
        RaiseDamaged(fileName, "the file is truncated");
}

// A 32-bit BI_RGB bitmap's fourth byte is its alpha, which the platform's decoder drops.
// The alpha is taken as straight (unmultiplied), like every other format's alpha.
QImage ReadBmp32(const TBmpLayout& layout, const QByteArray& bytes) {
    const int width = int(layout.Width), height = int(std::abs(layout.Height));
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const int fileRow = layout.Height > 0 ? height - 1 - y : y;
        const char* row = bytes.constData() + layout.DataOffset + fileRow * layout.Stride;
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qFromLittleEndian<quint32>(row + 4 * x);
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Walks a GIF's blocks up to the end of its first picture's data. The platform's decoder
// shows a picture cut short as far as it got; a cut file is an error here instead.
bool GifFirstFrameComplete(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    auto byteAt = [&](qsizetype i) { return quint8(bytes[i]); };
    auto colourTableSize = [](quint8 flags) -> qsizetype {
        return (flags & 0x80) ? 3 * (qsizetype(2) << (flags & 7)) : 0;
    };
    // Skips a chain of data sub-blocks; false when the file ends inside it.
    auto skipSubBlocks = [&](qsizetype& i) {
        while (i < size) {
            const quint8 length = byteAt(i++);
            if (length == 0)
                return true;
            i += length;
        }
        return false;
    };
    qsizetype i = 13;
    if (size < i)
        return false;
    i += colourTableSize(byteAt(10));
    while (i < size) {
        const quint8 block = byteAt(i++);
        if (block == 0x21) { // extension: label, then sub-blocks
            ++i;
            if (!skipSubBlocks(i))
                return false;
        } else if (block == 0x2C) { // picture: descriptor, colour table, code size, data
            if (i + 9 > size)
                return false;
            i += 9 + colourTableSize(byteAt(i + 8)) + 1;
            return skipSubBlocks(i);
        } else {
            return false;
        }
    }
    return false;
}

QImage DecodeWithQt(const std::string& fileName, QByteArray& bytes, const char* format) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (size.isValid())
        CheckSize(fileName, size.width(), size.height());
    QImage image;
    if (!reader.read(&image))
        RaiseDamaged(fileName, QStringToAnsi(reader.errorString()));
    CheckSize(fileName, image.width(), image.height());
    return image;
}

// The picture's colours, every pixel opaque.
QImage Opaque(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A monochrome image with the fully transparent positions of `image` set.
QImage TransparencyMask(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QImage mask(argb.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mask.fill(0);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) == 0)
                mask.setPixel(x, y, 1);
    }
    return mask;
}

QImage DecodeImage(const std::string& fileName, QByteArray& bytes, const TDecoder& decoder) {
    switch (decoder.Kind) {
    case TImageKind::Bmp: {
        const TBmpLayout layout = ReadBmpLayout(bytes);
        CheckBmpComplete(fileName, layout, bytes);
        if (layout.BitCount == 32 && layout.Compression == BI_RGB)
            return ReadBmp32(layout, bytes);
        const QImage image = DecodeWithQt(fileName, bytes, decoder.QtFormat);
        return image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                       : Opaque(image);
    }
    case TImageKind::Gif: {
        if (!GifFirstFrameComplete(bytes))
            RaiseDamaged(fileName, "the file is truncated or is no GIF picture");
        const QImage image = DecodeWithQt(fileName, bytes, decoder.QtFormat);
        QImage surface = Opaque(image);
        if (image.hasAlphaChannel())
            ApplyMask(surface, TransparencyMask(image));
        return surface;
    }
    case TImageKind::Jpeg:
        return Opaque(DecodeWithQt(fileName, bytes, decoder.QtFormat));
    case TImageKind::Png:
        // Both an alpha channel and a single transparent colour arrive as alpha; stored
        // premultiplied, a transparent pixel is 0 whatever colour it had.
        return DecodeWithQt(fileName, bytes, decoder.QtFormat)
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return {};
}

} // namespace

TxBitmap::TxBitmap(const std::string& fileName) : FFileName(fileName) {
    if (PackFileExists(fileName))
        FPixels = LoadImageFile(fileName);
}

TxBitmap::TxBitmap(int width, int height, quint32 fillColor)
    : FPixels(QImage(width, height, QImage::Format_ARGB32_Premultiplied)) {
    FPixels->fill(fillColor);
}

int TxBitmap::Width() const {
    return FPixels ? FPixels->width() : 0;
}

int TxBitmap::Height() const {
    return FPixels ? FPixels->height() : 0;
}

QPaintDevice* TxBitmap::DC() {
    return FPixels ? &*FPixels : nullptr;
}

QImage LoadImageFile(const std::string& fileName) {
    if (!PackFileExists(fileName))
        throw Exception("File not found: " + fileName);
    const TDecoder* decoder = DecoderFor(fileName);
    if (!decoder)
        throw Exception("Unsupported image format: " + fileName);
    QByteArray bytes = ReadImageBytes(fileName);
    return DecodeImage(fileName, bytes, *decoder);
}

void ApplyMask(QImage& surface, const QImage& mask) {
    const int width = std::min(surface.width(), mask.width());
    const int height = std::min(surface.height(), mask.height());
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = 0; x < width; ++x)
            if ((mask.pixel(x, y) & 0x00FFFFFF) != 0)
                line[x] = 0;
    }
}

void StretchCopy(const TxBitmap& source, TxBitmap& target) {
    if (source.IsEmpty() || target.IsEmpty())
        return;
    QImage& pixels = *target.Pixels();
    pixels.fill(0);
    LanczosResample(*source.Pixels(), pixels);
}

void DrawAlpha(QPainter& dc, const QRect& destRect, const TxBitmap& bitmap,
               const QRect& sourceRect) {
    if (destRect.width() == 0 || destRect.height() == 0 || bitmap.IsEmpty())
        return;
    const QPainter::CompositionMode mode = dc.compositionMode();
    dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
    dc.drawImage(destRect, *bitmap.Pixels(), sourceRect);
    dc.setCompositionMode(mode);
}
