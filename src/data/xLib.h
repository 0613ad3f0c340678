#pragma once
#include "common/HashList.h"
#include "common/xBitmap.h"
#include "common/xGraphics.h"
#include "data/xXML.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Where the program finds its shared resources: the folders it runs from and reads its data
// from, and the one factory of XML documents.

// The folder of the running executable, ending with "/".
std::string AppDir();
// The data folder, ending with "/": AppDir() + "Data/" unless SetDataDir chose another.
std::string DataDir();
// Makes `path` the data folder ("/" is appended when missing). For the "-data" switch and
// for tests; call it before anything reads data.
void SetDataDir(std::string_view path);

// A schema to register for a namespace before loading.
struct TNamespaceItem {
    std::string NamespaceURI;
    std::string SchemaLocation;
};
using TNamespaceArray = std::vector<TNamespaceItem>;

class TxFactory {
public:
    TxFactory() = default;
    TxFactory(const TxFactory&) = delete;
    TxFactory& operator=(const TxFactory&) = delete;

    // The bitmap of `fileName`, read on the first request and kept for the life of the
    // program (names differing only in case share one bitmap). A missing file gives an empty
    // bitmap, cached as well; errors reading an existing file propagate and cache nothing.
    const TxBitmap& GetBitmap(const std::string& fileName);
    // A copy of `bitmap` resampled to `width` x `height`, made once per file and size and
    // cached under the file name followed by "#width#height". Gives `bitmap` itself when it
    // has no file name, no picture, or is smaller than the size asked for in either direction
    // (a bitmap is never enlarged), and when a size is 0 or less; those answers are not cached.
    const TxBitmap& GetScaledBitmap(const TxBitmap& bitmap, int width, int height);
    // A painter for `rect` of `dc` that takes its scaled bitmaps from this cache.
    std::unique_ptr<TxGraphics> NewGraphics(QPainter& dc, const QRect& rect, bool buffered);
    // A bitmap of that size, every pixel `color`; not cached.
    std::unique_ptr<TxBitmap> NewBitmap(int width, int height, quint32 color);

    // Every bitmap the factory holds: file names and scaled-copy keys, case-insensitive.
    const TStringHashList<TxBitmap>& BitmapCache() const { return FBitmapCache; }

private:
    TStringHashList<TxBitmap> FBitmapCache{false, 256, true};
};

// The factory, created on the first call; it lives until the program ends.
TxFactory& Factory();

// A new, empty document with the standard settings.
void NewXMLDocument(IXMLDOMDocument2& document);
// Loads `fileName` into a new document with the standard settings. A missing or malformed
// file raises the "XML Parse Error (0x" Exception. Schema namespaces are not supported: any
// raise an Exception before the file is read.
void LoadXMLDocument(std::string_view fileName, bool validate, IXMLDOMDocument2& document,
                     const TNamespaceArray& namespaces = {});
