#include "xGraphics.h"

#include "common/Win1252.h"
#include "common/xBitmap.h"

#include <QTransform>
#include <cmath>

namespace {

// Maps the two corners of `rect` and rounds them to whole device pixels.
QRect MapCorners(const QTransform& transform, const QRect& rect) {
    const QPointF topLeft = transform.map(QPointF(rect.left(), rect.top()));
    const QPointF bottomRight =
        transform.map(QPointF(rect.left() + rect.width(), rect.top() + rect.height()));
    const int left = int(std::lround(topLeft.x())), top = int(std::lround(topLeft.y()));
    const int right = int(std::lround(bottomRight.x()));
    const int bottom = int(std::lround(bottomRight.y()));
    return QRect(left, top, right - left, bottom - top).normalized();
}

// Maps `logical` onto `device` (device coordinates of the painter) and clips to `logical`;
// with nothing to map to, everything is clipped away.
void SetUpMapping(QPainter& painter, const QRect& logical, const QRect& device,
                  Qt::ClipOperation clip) {
    painter.setWorldTransform(QTransform());
    if (logical.isEmpty() || device.isEmpty()) {
        painter.setClipRect(QRect(0, 0, 0, 0), clip);
        return;
    }
    painter.setWindow(logical);
    painter.setViewport(device);
    painter.setClipRect(logical, clip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Closes a bracket when the scope ends, also when drawing raises an error.
class TBracket {
public:
    explicit TBracket(TxGraphics& graphics) : FGraphics(graphics) { FGraphics.BeginDraw(); }
    ~TBracket() { FGraphics.EndDraw(); }
    TBracket(const TBracket&) = delete;
    TBracket& operator=(const TBracket&) = delete;

private:
    TxGraphics& FGraphics;
};

} // namespace

TxGraphics::TxGraphics(QPainter& dc, const QRect& rect, bool buffered, TScaleBitmap scaleBitmap)
    : FDC(dc), FLogicalRect(rect), FDeviceRect(MapCorners(dc.combinedTransform(), rect)),
      FScaleBitmap(std::move(scaleBitmap)) {
    if (buffered) {
        FBuffer = std::make_unique<TxBitmap>(FDeviceRect.width(), FDeviceRect.height(), 0);
        if (!FBuffer->Pixels()->isNull())
            FBufferPainter.begin(FBuffer->DC());
    }
}

TxGraphics::~TxGraphics() {
    Flush();
    // A bracket left open by an error elsewhere must not leave the painter in our mapping.
    while (FNesting > 0)
        EndDraw();
}

void TxGraphics::BeginDraw() {
    if (FNesting == 0) {
        FDC.save();
        SetUpMapping(FDC, FLogicalRect, FDeviceRect, Qt::IntersectClip);
        SetUpBuffer();
    }
    ++FNesting;
}

void TxGraphics::EndDraw() {
    if (--FNesting == 0)
        FDC.restore();
}

// The buffer gets the same mapping onto its own pixels; its state is not saved.
void TxGraphics::SetUpBuffer() {
    if (!FBufferPainter.isActive())
        return;
    const QRect bufferRect(0, 0, FBuffer->Width(), FBuffer->Height());
    SetUpMapping(FBufferPainter, FLogicalRect, bufferRect, Qt::ReplaceClip);
}

void TxGraphics::SetLogicalRect(int left, int top, int right, int bottom) {
    FLogicalRect = QRect(left, top, right - left, bottom - top);
}

void TxGraphics::SetLogicalSize(int width, int height) {
    SetLogicalRect(0, 0, width, height);
}

QPainter& TxGraphics::TargetDC() {
    return FBuffer ? FBufferPainter : FDC;
}

void TxGraphics::DrawBitmap(const TxBitmap& bitmap, const QRect& rect) {
    TBracket bracket(*this);
    QPainter& target = TargetDC();
    if (!target.isActive())
        return;
    const QRect device = MapCorners(target.deviceTransform(), rect);
    if (device.isEmpty())
        return;
    const TxBitmap& picture = FScaleBitmap(bitmap, device.width(), device.height());
    DrawAlpha(target, rect, picture, QRect(0, 0, picture.Width(), picture.Height()));
}

void TxGraphics::Flush() {
    if (!FBuffer)
        return;
    TBracket bracket(*this);
    if (FBufferPainter.isActive()) {
        FBufferPainter.end();
        // A plain copy of the buffer's pixels, transparent ones included.
        FDC.setCompositionMode(QPainter::CompositionMode_Source);
        FDC.drawImage(FLogicalRect, *FBuffer->Pixels());
    }
    FBuffer.reset();
}

void TxGraphics::ExtTextOut(QPainter& dc, int x, int y, unsigned options, const QRect* rect,
                            const char* text, int count, const int* dx) {
    dc.save();
    if (rect && (options & TextOpaque))
        dc.fillRect(*rect, dc.background());
    if (rect && (options & TextClipped))
        dc.setClipRect(*rect, Qt::IntersectClip);
    const QString characters = AnsiToQString(std::string_view(text, std::max(count, 0)));
    const int baseline = y + dc.fontMetrics().ascent();
    if (!dx) {
        dc.drawText(x, baseline, characters);
    } else {
        for (int i = 0; i < characters.size(); ++i) {
            dc.drawText(x, baseline, characters.mid(i, 1));
            x += dx[i];
        }
    }
    dc.restore();
}
