#pragma once
#include "view/Graphic.h"

#include <memory>
#include <string>

class TxBitmap;

// A card page's picture: draws a bitmap of the factory's cache at the size the page gives
// it, through a painter, with a copy scaled to that size fetched at the first drawing and
// dropped whenever the size changes. An empty bitmap (a missing picture file) draws nothing.
class TBitmapProxy : public TGraphic {
public:
    // Width and height start as the bitmap's own. With `ownsSource` the proxy destroys the
    // bitmap with itself; the page's pictures borrow theirs from the cache.
    TBitmapProxy(const TxBitmap* source, bool ownsSource);
    ~TBitmapProxy() override;

    TBitmapProxy(const TBitmapProxy&) = delete;
    TBitmapProxy& operator=(const TBitmapProxy&) = delete;

    void Draw(QPainter& canvas, const QRect& rect) override;
    bool GetEmpty() const override;
    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int value) override;
    void SetHeight(int value) override;

    const TxBitmap* Source() const { return FSource; }

private:
    const TxBitmap* FSource;
    const TxBitmap* FScaled = nullptr; // the cache's, fetched at the first drawing
    bool FOwnsSource;
    int FWidth;
    int FHeight;
};

// The card page's picture request: the bitmap of `src` in the folder "Images" of the data
// folder (or the packed archive standing in its place), read once for the life of the
// program, scaled to `width` x `height` where that makes it smaller. A missing file gives an
// empty picture; a damaged or unsupported one raises its error. A `src` with a ".." part
// gives no picture at all, so no file outside "Images" is ever read.
std::unique_ptr<TGraphic> PictureNeeded(const std::string& src, int width, int height);
