#pragma once
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtEndian>
#include <stdexcept>
#include <string>

// Image files made by the tests themselves: Qt's encoders where they write what a test
// needs, hand-made bytes where they do not (Qt writes no 32-bit BI_RGB bitmap).

inline QByteArray Encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        throw std::runtime_error(std::string("cannot encode ") + format);
    return bytes;
}

// A 32-bit BI_RGB bitmap of the straight (unmultiplied) pixels of `image`, its alpha in the
// fourth byte of each pixel; rows bottom-up as usual, or top-down (negative height).
inline QByteArray Bmp32(const QImage& image, bool topDown = false) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int width = argb.width(), height = argb.height();
    const quint32 dataSize = quint32(width * height * 4);
    QByteArray bytes(54, '\0');
    auto put32 = [&](int offset, quint32 value) { qToLittleEndian(value, bytes.data() + offset); };
    auto put16 = [&](int offset, quint16 value) { qToLittleEndian(value, bytes.data() + offset); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 54 + dataSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(topDown ? -height : height));
    put16(26, 1);
    put16(28, 32);
    put32(30, 0); // BI_RGB
    put32(34, dataSize);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            char pixel[4];
            qToLittleEndian(quint32(argb.pixel(x, y)), pixel);
            bytes.append(pixel, 4);
        }
    }
    return bytes;
}

inline void WriteFile(const std::string& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path);
}

inline QByteArray ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path);
    return file.readAll();
}
