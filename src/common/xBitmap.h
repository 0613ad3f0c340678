#pragma once
#include <QImage>
#include <QtGlobal>
#include <optional>
#include <string>

class QPainter;
class QPaintDevice;
class QRect;

// A 32-bit picture with per-pixel alpha: read from a ".bmp", ".gif", ".jpg" or ".png" file
// (on disk or inside a packed archive standing in place of a folder), or made blank at a
// given size. Pixels are 0xAARRGGBB with the colours multiplied by their alpha
// (QImage::Format_ARGB32_Premultiplied), which is what compositing expects; 0 is a fully
// transparent pixel.
class TxBitmap {
public:
    // Reads `fileName` when it exists; a missing file gives an empty bitmap that still
    // carries the name. Errors of reading an existing file propagate.
    explicit TxBitmap(const std::string& fileName);
    // A surface of `width` x `height` pixels, each set to `fillColor`. A zero width or
    // height gives a bitmap that is not empty but holds no pixels.
    TxBitmap(int width, int height, quint32 fillColor);

    TxBitmap(const TxBitmap&) = delete;
    TxBitmap& operator=(const TxBitmap&) = delete;

    int Width() const;
    int Height() const;
    bool IsEmpty() const { return !FPixels; }
    // The surface that drawing reaches, null when the bitmap is empty.
    QPaintDevice* DC();
    const QImage* Pixels() const { return FPixels ? &*FPixels : nullptr; }
    QImage* Pixels() { return FPixels ? &*FPixels : nullptr; }
    // The path the bitmap was read from, as given; empty for a bitmap made by size.
    const std::string& FileName() const { return FFileName; }

private:
    std::optional<QImage> FPixels;
    std::string FFileName;
};

// Reads an image file into a new premultiplied surface. The decoder is chosen by the
// lower-cased extension before anything is opened. Raises "File not found: %s",
// "Unsupported image format: %s", or an error naming the file when it is damaged,
// truncated or too large to be a picture.
QImage LoadImageFile(const std::string& fileName);

// Resamples the whole of `source` onto the whole of `target` (Lanczos-3); `target` is
// cleared first. Does nothing when either bitmap is empty.
void StretchCopy(const TxBitmap& source, TxBitmap& target);

// Composites `sourceRect` of `bitmap` onto `destRect` of `dc`, stretched, source-over with
// the bitmap's own alpha. Draws nothing for an empty rectangle or an empty bitmap.
void DrawAlpha(QPainter& dc, const QRect& destRect, const TxBitmap& bitmap,
               const QRect& sourceRect);

// Makes every pixel of `surface` transparent (0) where `mask`, a monochrome image of the
// transparent positions, has a non-black pixel. Positions outside the mask stay as they are.
void ApplyMask(QImage& surface, const QImage& mask);
