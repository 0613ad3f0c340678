// A card page as the database files hand it to the card window: imported into a text
// document with pictures, laid out and painted, every link resolvable to its target.
#include "FuzzSupport.h"

#include "common/Exception.h"
#include "common/xBitmap.h"
#include "view/CardPictures.h"
#include "view/PageImport.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(true);
    return 0;
}

namespace {

// A blank picture of the asked size, so drawing and scaling run without picture files.
std::unique_ptr<TGraphic> BlankPicture(const std::string&, int width, int height) {
    const int pictureWidth = std::clamp(width, 1, 64), pictureHeight = std::clamp(height, 1, 64);
    return std::make_unique<TBitmapProxy>(new TxBitmap(pictureWidth, pictureHeight, 0xFF336699),
                                          true);
}

void CheckLinks(const QTextDocument& document, const TPageImporter& importer) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (!format.isAnchor() || format.anchorHref().isEmpty())
                continue;
            bool number = false;
            const int jump = format.anchorHref().toInt(&number);
            FUZZ_CHECK(number && importer.LinkTarget(jump), "a link without its target");
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QTextDocument document;
    TPageImporter importer(document);
    importer.SetPictureRequest(BlankPicture);
    importer.Load(AsText(data, size));
    CheckLinks(document, importer);

    document.setTextWidth(320);
    QImage canvas(320, 240, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    document.drawContents(&painter, QRectF(0, 0, 320, 240));
    return 0;
}
