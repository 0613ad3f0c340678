#pragma once
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QRect;

// The small abstract picture through which a card page draws its pictures. The page owns
// every picture inserted into it and destroys it with its document.
class TGraphic {
public:
    virtual ~TGraphic() = default;

    // Draws the picture scaled into `rect` (device coordinates of `canvas`).
    virtual void Draw(QPainter& canvas, const QRect& rect) = 0;
    virtual bool GetEmpty() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
};

// The page import's picture request for an "img" tag: the "src" text (empty when absent) and
// the "width" and "height" values (0 when absent or not a number). A null answer inserts
// nothing. Errors it raises end the page's import.
using TPictureRequest =
    std::function<std::unique_ptr<TGraphic>(const std::string& src, int width, int height)>;
