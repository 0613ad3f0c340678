#include "common/xGraphics.h"
#include "common/Exception.h"
#include "common/xBitmap.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

constexpr QRgb Ground = 0xFF808080;
constexpr QRgb Red = 0xFFFF0000;

// Stands in for the factory: records the device sizes asked for and answers with a plain
// copy of the bitmap's top-left colour at that size (kept alive here).
struct TScaler {
    std::vector<QSize> Requests;
    std::vector<std::unique_ptr<TxBitmap>> Copies;

    TScaleBitmap Function() {
        return [this](const TxBitmap& bitmap, int width, int height) -> const TxBitmap& {
            Requests.emplace_back(width, height);
            Copies.push_back(
                std::make_unique<TxBitmap>(width, height, bitmap.Pixels()->pixel(0, 0)));
            return *Copies.back();
        };
    }
};

class Painter : public testing::Test {
protected:
    Painter() : FCanvas(60, 60, QImage::Format_ARGB32_Premultiplied) {
        FCanvas.fill(Ground);
        FPainter.begin(&FCanvas);
    }

    // The device rectangle that holds `colour` (empty when no pixel does), after the
    // painter has finished.
    QRect AreaOf(QRgb colour) {
        if (FPainter.isActive())
            FPainter.end();
        QRect area;
        for (int y = 0; y < FCanvas.height(); ++y)
            for (int x = 0; x < FCanvas.width(); ++x)
                if (FCanvas.pixel(x, y) == colour)
                    area |= QRect(x, y, 1, 1);
        return area;
    }
    int CountOf(QRgb colour) {
        if (FPainter.isActive())
            FPainter.end();
        int count = 0;
        for (int y = 0; y < FCanvas.height(); ++y)
            for (int x = 0; x < FCanvas.width(); ++x)
                count += FCanvas.pixel(x, y) == colour;
        return count;
    }

    QImage FCanvas;
    QPainter FPainter;
    TScaler FScaler;
};

// What a painter's user can see of its state.
struct TPainterState {
    QTransform Transform;
    bool Clipping;
    QRegion Clip;
    QRect Window;
    QRect Viewport;
    QPainter::CompositionMode Mode;

    explicit TPainterState(const QPainter& p)
        : Transform(p.combinedTransform()), Clipping(p.hasClipping()), Clip(p.clipRegion()),
          Window(p.window()), Viewport(p.viewport()), Mode(p.compositionMode()) {}
    bool operator==(const TPainterState&) const = default;
};

} // namespace

TEST_F(Painter, DrawsOneToOneAtItsRectangle) {
    const TxBitmap bitmap(16, 16, Red);
    {
        TxGraphics graphics(FPainter, QRect(10, 10, 16, 16), false, FScaler.Function());
        EXPECT_EQ(graphics.DeviceRect(), QRect(10, 10, 16, 16));
        graphics.DrawBitmap(bitmap, QRect(10, 10, 16, 16));
    }
    EXPECT_EQ(FScaler.Requests, std::vector<QSize>{QSize(16, 16)});
    EXPECT_EQ(AreaOf(Red), QRect(10, 10, 16, 16));
    EXPECT_EQ(CountOf(Red), 16 * 16);
}

TEST_F(Painter, FollowsThePainterTransformOfItsCaller) {
    // As inside a scrolled text view: the caller's coordinates are translated.
    FPainter.translate(7, -3);
    const TxBitmap bitmap(64, 64, Red);
    TxGraphics graphics(FPainter, QRect(10, 10, 16, 16), false, FScaler.Function());
    EXPECT_EQ(graphics.DeviceRect(), QRect(17, 7, 16, 16));
    graphics.DrawBitmap(bitmap, QRect(10, 10, 16, 16));
    EXPECT_EQ(FScaler.Requests, std::vector<QSize>{QSize(16, 16)});
    EXPECT_EQ(AreaOf(Red), QRect(17, 7, 16, 16));
}

TEST_F(Painter, LogicalSizeIsStretchedOntoTheDeviceRectangle) {
    const TxBitmap bitmap(100, 100, Red);
    TxGraphics graphics(FPainter, QRect(5, 5, 50, 50), false, FScaler.Function());
    graphics.SetLogicalSize(100, 100);
    graphics.DrawBitmap(bitmap, QRect(0, 0, 100, 100));
    EXPECT_EQ(FScaler.Requests, std::vector<QSize>{QSize(50, 50)});
    EXPECT_EQ(AreaOf(Red), QRect(5, 5, 50, 50));
    EXPECT_EQ(CountOf(Red), 50 * 50);
}

TEST_F(Painter, StretchesXAndYIndependently) {
    const TxBitmap bitmap(8, 8, Red);
    TxGraphics graphics(FPainter, QRect(0, 0, 40, 10), false, FScaler.Function());
    graphics.SetLogicalRect(100, 100, 110, 110);
    graphics.DrawBitmap(bitmap, QRect(105, 100, 5, 5));
    EXPECT_EQ(FScaler.Requests, std::vector<QSize>{QSize(20, 5)});
    EXPECT_EQ(AreaOf(Red), QRect(20, 0, 20, 5));
}

TEST_F(Painter, ClipsDrawingToItsLogicalRectangle) {
    const TxBitmap bitmap(16, 16, Red);
    TxGraphics graphics(FPainter, QRect(10, 10, 16, 16), false, FScaler.Function());
    graphics.DrawBitmap(bitmap, QRect(18, 18, 16, 16));
    EXPECT_EQ(AreaOf(Red), QRect(18, 18, 8, 8));
}

TEST_F(Painter, NestedBracketsRestoreThePainterOnlyAtTheOutermostEnd) {
    FPainter.translate(3, 4);
    const TPainterState before(FPainter);
    TxGraphics graphics(FPainter, QRect(10, 10, 16, 16), false, FScaler.Function());
    graphics.SetLogicalSize(100, 100);
    EXPECT_EQ(TPainterState(FPainter), before);

    graphics.BeginDraw();
    const TPainterState inside(FPainter);
    EXPECT_EQ(FPainter.window(), QRect(0, 0, 100, 100));
    EXPECT_EQ(FPainter.viewport(), QRect(13, 14, 16, 16));
    EXPECT_TRUE(FPainter.hasClipping());
    graphics.BeginDraw();
    graphics.EndDraw();
    EXPECT_EQ(TPainterState(FPainter), inside);
    graphics.DrawBitmap(TxBitmap(4, 4, Red), QRect(0, 0, 50, 50));
    EXPECT_EQ(TPainterState(FPainter), inside);
    graphics.EndDraw();
    EXPECT_EQ(TPainterState(FPainter), before);
}

TEST_F(Painter, UnbufferedPainterLeavesItsTargetAsItWas) {
    FPainter.setClipRect(QRect(0, 0, 40, 40));
    const TPainterState before(FPainter);
    {
        TxGraphics graphics(FPainter, QRect(10, 10, 16, 16), false, FScaler.Function());
        graphics.BeginDraw();
        graphics.EndDraw();
        graphics.Flush();
    }
    EXPECT_EQ(TPainterState(FPainter), before);
    EXPECT_EQ(CountOf(Ground), 60 * 60);
}

TEST_F(Painter, ErrorWhileDrawingStillRestoresThePainter) {
    const TPainterState before(FPainter);
    TxGraphics graphics(
        FPainter, QRect(10, 10, 16, 16), false,
        [](const TxBitmap&, int, int) -> const TxBitmap& { throw Exception("scaling failed"); });
    EXPECT_THROW(graphics.DrawBitmap(TxBitmap(4, 4, Red), QRect(10, 10, 16, 16)), Exception);
    EXPECT_EQ(TPainterState(FPainter), before);
}

TEST_F(Painter, EmptyBitmapDrawsNothing) {
    const TxBitmap empty("/nonexistent/W.gif");
    {
        TxGraphics graphics(
            FPainter, QRect(10, 10, 16, 16), false,
            [](const TxBitmap& bitmap, int, int) -> const TxBitmap& { return bitmap; });
        graphics.DrawBitmap(empty, QRect(10, 10, 16, 16));
    }
    EXPECT_EQ(CountOf(Ground), 60 * 60);
}

TEST_F(Painter, BufferedDrawingAppearsOnlyWhenFlushed) {
    const TxBitmap bitmap(8, 8, Red);
    auto graphics =
        std::make_unique<TxGraphics>(FPainter, QRect(20, 20, 20, 20), true, FScaler.Function());
    graphics->SetLogicalSize(10, 10);
    graphics->DrawBitmap(bitmap, QRect(0, 0, 5, 5));
    EXPECT_EQ(FScaler.Requests, std::vector<QSize>{QSize(10, 10)});
    FPainter.end();
    EXPECT_EQ(CountOf(Ground), 60 * 60);

    FPainter.begin(&FCanvas);
    graphics.reset();
    EXPECT_EQ(AreaOf(Red), QRect(20, 20, 10, 10));
    // The buffer is copied whole: its untouched pixels replace the ground as well.
    EXPECT_EQ(CountOf(Ground), 60 * 60 - 20 * 20);
}

TEST_F(Painter, ExtTextOutFillsAndClipsToItsRectangle) {
    TxGraphics graphics(FPainter, QRect(0, 0, 60, 60), false, FScaler.Function());
    FPainter.setBackground(QColor(0, 0, 255));
    FPainter.setPen(Red);
    FPainter.setFont(QFont("Liberation Sans", 20));
    const QRect box(10, 10, 12, 30);
    graphics.ExtTextOut(FPainter, 12, 12, TxGraphics::TextOpaque | TxGraphics::TextClipped, &box,
                        "MMMM", 4, nullptr);
    FPainter.end();
    int inkOutside = 0, inkInside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb p = FCanvas.pixel(x, y);
            if (box.contains(x, y))
                inkInside += qRed(p) > 0;
            else
                inkOutside += p != Ground;
        }
    EXPECT_GT(inkInside, 0);
    EXPECT_EQ(inkOutside, 0);
    EXPECT_EQ(FCanvas.pixel(10, 10), 0xFF0000FFu); // filled with the background
}
