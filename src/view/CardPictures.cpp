#include "view/CardPictures.h"

#include "data/xLib.h"

#include <sstream>

TBitmapProxy::TBitmapProxy(const TxBitmap* source, bool ownsSource)
    : FSource(source), FOwnsSource(ownsSource), FWidth(source->Width()), FHeight(source->Height()) {
}

TBitmapProxy::~TBitmapProxy() {
    if (FOwnsSource)
        delete FSource;
}

void TBitmapProxy::Draw(QPainter& canvas, const QRect& rect) {
    const std::unique_ptr<TxGraphics> graphics = Factory().NewGraphics(canvas, rect, false);
    if (!FScaled)
        FScaled = &Factory().GetScaledBitmap(*FSource, FWidth, FHeight);
    graphics->DrawBitmap(*FScaled, rect);
}

bool TBitmapProxy::GetEmpty() const {
    return FSource->IsEmpty();
}

void TBitmapProxy::SetWidth(int value) {
    FWidth = value;
    FScaled = nullptr;
}

void TBitmapProxy::SetHeight(int value) {
    FHeight = value;
    FScaled = nullptr;
}

namespace {

// A database copied from elsewhere may name any file; only those below "Images" are pictures.
bool StaysBelowImages(const std::string& src) {
    std::istringstream parts(src);
    for (std::string part; std::getline(parts, part, '/');)
        if (part == "..")
            return false;
    return true;
}

} // namespace

std::unique_ptr<TGraphic> PictureNeeded(const std::string& src, int width, int height) {
    if (!StaysBelowImages(src))
        return nullptr;
    const TxBitmap& bitmap = Factory().GetBitmap(DataDir() + "Images/" + src);
    const TxBitmap& scaled = Factory().GetScaledBitmap(bitmap, width, height);
    return std::make_unique<TBitmapProxy>(&scaled, false);
}
