#pragma once
#include <QPainter>
#include <QRect>
#include <functional>
#include <memory>

class TxBitmap;

// How a painter obtains `bitmap` scaled to `width` x `height` device pixels. The resource
// factory answers from its cache of scaled copies, giving the bitmap itself when it makes
// no copy (it never enlarges).
using TScaleBitmap = std::function<const TxBitmap&(const TxBitmap& bitmap, int width, int height)>;

// A short-lived painter bound to a QPainter and a rectangle on it. While a drawing bracket
// is open, its logical rectangle is mapped onto the rectangle's device pixels (stretched
// independently in x and y) and drawing is clipped to it. Optionally it draws into an
// off-screen buffer of the device size, copied to the painter by `Flush` (and so when the
// painter is destroyed). Outside brackets the QPainter is left exactly as it was given.
class TxGraphics {
public:
    // `rect` is in the current coordinates of `dc`; nothing is drawn and `dc` is not changed.
    TxGraphics(QPainter& dc, const QRect& rect, bool buffered, TScaleBitmap scaleBitmap);
    virtual ~TxGraphics();

    TxGraphics(const TxGraphics&) = delete;
    TxGraphics& operator=(const TxGraphics&) = delete;

    // Brackets nest; only the outermost pair sets up and restores the QPainter.
    void BeginDraw();
    void EndDraw();
    // Takes effect at the next outermost BeginDraw.
    void SetLogicalRect(int left, int top, int right, int bottom);
    void SetLogicalSize(int width, int height);

    // Where drawing goes: the buffer's painter when there is a buffer, else the QPainter.
    QPainter& TargetDC();
    // Draws `bitmap` into `rect` (logical coordinates): pre-scaled to the device size of
    // `rect` through the factory and composited with its own alpha.
    void DrawBitmap(const TxBitmap& bitmap, const QRect& rect);
    // Copies the buffer onto the logical rectangle of the QPainter and drops it; does
    // nothing for an unbuffered painter.
    void Flush();

    // Text output with the classic options: `rect` is filled with the background
    // (TextOpaque) and/or clips the text (TextClipped); (x, y) is the top left of the text;
    // `dx`, when given, holds the advance of each of the `count` characters. `text` is
    // Windows-1252.
    static constexpr unsigned TextOpaque = 2;
    static constexpr unsigned TextClipped = 4;
    virtual void ExtTextOut(QPainter& dc, int x, int y, unsigned options, const QRect* rect,
                            const char* text, int count, const int* dx);

    const QRect& LogicalRect() const { return FLogicalRect; }
    const QRect& DeviceRect() const { return FDeviceRect; }

private:
    void SetUpBuffer();

    QPainter& FDC;
    QRect FLogicalRect;
    QRect FDeviceRect;
    int FNesting = 0;
    std::unique_ptr<TxBitmap> FBuffer;
    QPainter FBufferPainter;
    TScaleBitmap FScaleBitmap;
};
