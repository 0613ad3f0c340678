#include "data/xLib.h"

#include "common/Exception.h"
#include "common/Win1252.h"

#include <filesystem>
#include <system_error>

namespace {

// /proc/self/exe names the executable also before (and without) a Qt application object.
std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "./";
    return Utf8ToAnsi(executable.parent_path().native()) + "/";
}

std::string WithTrailingSlash(std::string_view path) {
    std::string result(path);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

std::string& DataDirValue() {
    static std::string dataDir = AppDir() + "Data/";
    return dataDir;
}

std::unique_ptr<TxFactory>& FactoryInstance() {
    static std::unique_ptr<TxFactory> instance;
    return instance;
}

} // namespace

std::string AppDir() {
    static const std::string appDir = ExecutableFolder();
    return appDir;
}

std::string DataDir() {
    return DataDirValue();
}

void SetDataDir(std::string_view path) {
    DataDirValue() = WithTrailingSlash(path);
}

TxFactory& Factory() {
    std::unique_ptr<TxFactory>& instance = FactoryInstance();
    if (!instance)
        instance = std::make_unique<TxFactory>();
    return *instance;
}

void NewXMLDocument(IXMLDOMDocument2& document) {
    CreateXMLDocument(document);
    document.setProperty("SelectionLanguage", "XPath");
    document.setProperty("NewParser", true);
}

void LoadXMLDocument(std::string_view fileName, bool validate, IXMLDOMDocument2& document,
                     const TNamespaceArray& namespaces) {
    CreateXMLDocument(document);
    document.setAsync(false);
    document.setValidateOnParse(validate);
    document.setResolveExternals(true);
    document.setProperty("SelectionLanguage", "XPath");
    document.setProperty("NewParser", true);
    if (!namespaces.empty()) {
        IXMLDOMSchemaCollection2 cache;
        CreateSchemaCache(cache);
        if (!cache)
            throw Exception("XML schemas are not supported: cannot validate \"" +
                            std::string(fileName) + "\" against " +
                            namespaces.front().SchemaLocation);
    }
    if (!document.load(fileName))
        CheckParseError(document.parseError());
}

const TxBitmap& TxFactory::GetBitmap(const std::string& fileName) {
    TxBitmap* bitmap;
    if (FBitmapCache.TryGetObject(fileName, bitmap))
        return *bitmap;
    auto loaded = std::make_unique<TxBitmap>(fileName);
    FBitmapCache.Add(fileName, loaded.get());
    return *loaded.release();
}

const TxBitmap& TxFactory::GetScaledBitmap(const TxBitmap& bitmap, int width, int height) {
    if (bitmap.FileName().empty())
        return bitmap;
    const std::string key =
        bitmap.FileName() + "#" + std::to_string(width) + "#" + std::to_string(height);
    TxBitmap* scaled;
    if (FBitmapCache.TryGetObject(key, scaled))
        return *scaled;
    // Never enlarged; and a size of nothing gives no copy either (a picture without a size
    // keeps its own instead of vanishing).
    if (bitmap.IsEmpty() || width > bitmap.Width() || height > bitmap.Height() || width <= 0 ||
        height <= 0)
        return bitmap;
    auto copy = NewBitmap(width, height, 0);
    StretchCopy(bitmap, *copy);
    FBitmapCache.Add(key, copy.get());
    return *copy.release();
}

std::unique_ptr<TxGraphics> TxFactory::NewGraphics(QPainter& dc, const QRect& rect, bool buffered) {
    return std::make_unique<TxGraphics>(
        dc, rect, buffered,
        [this](const TxBitmap& bitmap, int width, int height) -> const TxBitmap& {
            return GetScaledBitmap(bitmap, width, height);
        });
}

std::unique_ptr<TxBitmap> TxFactory::NewBitmap(int width, int height, quint32 color) {
    return std::make_unique<TxBitmap>(width, height, color);
}
