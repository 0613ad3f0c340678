#pragma once
#include "view/Graphic.h"
#include <QPointer>
#include <QTextFormat>
#include <string>
#include <string_view>
#include <vector>

class QTextDocument;
class TPictureStore;

// Object type and format properties of the page's pictures. A picture is one object
// character whose format points at the `TGraphic` the document owns.
namespace PageFormat {
constexpr int PictureObject = QTextFormat::UserObject + 1;
constexpr int PictureProperty = QTextFormat::UserProperty + 1; // TGraphic*, as quintptr
constexpr int PictureSource = QTextFormat::UserProperty + 2;   // the "src" text
constexpr int PictureShift = QTextFormat::UserProperty + 3;    // "vshift" in pixels
} // namespace PageFormat

// Renders the card page's HTML dialect into a QTextDocument: character styles, paragraphs
// and their alignment, rules, links, named anchors and inline pictures. The walk is one
// pass over the text with explicit stacks, so deep nesting or a huge page costs linear time.
//
// Links carry their jump number, in decimal, as their anchor address; `LinkTarget` gives the
// "href" text recorded for it.
class TPageImporter {
public:
    explicit TPageImporter(QTextDocument& document);
    ~TPageImporter();
    TPageImporter(const TPageImporter&) = delete;
    TPageImporter& operator=(const TPageImporter&) = delete;

    // Asked for the picture of every "img"; without one no picture is inserted.
    void SetPictureRequest(TPictureRequest request) { FRequest = std::move(request); }

    // Empties the document and its styles, then renders `page` (Windows-1252) into it.
    // An error of the picture request ends the load; what was rendered so far stays.
    void Load(std::string_view page);

    // The "href" text of link `jump`, or null when there is no such link.
    const std::string* LinkTarget(int jump) const;

    // The picture an object format points at, or null for any other format.
    static TGraphic* Picture(const QTextFormat& format);

private:
    QTextDocument& FDocument;
    TPictureRequest FRequest;
    std::vector<std::string> FLinkTargets;
    QPointer<TPictureStore> FPictures; // a child of the document, so it dies with it
};
