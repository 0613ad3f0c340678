#include "Pictures.h"
#include "CardPool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <stdexcept>
#include <zlib.h>

namespace {

const int Size = 32;

// A 3 by 5 block font: each row is three bits, the leftmost pixel in the highest bit.
const std::map<char, std::array<std::uint8_t, 5>>& Font() {
    static const std::map<char, std::array<std::uint8_t, 5>> font = {
        {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
        {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
        {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 2, 2, 2}}, {'8', {7, 5, 7, 5, 7}},
        {'9', {7, 5, 7, 1, 7}}, {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}},
        {'W', {5, 5, 5, 7, 5}}, {'U', {5, 5, 5, 5, 7}}, {'B', {6, 5, 6, 5, 6}},
        {'R', {6, 5, 6, 5, 5}}, {'G', {7, 4, 5, 5, 7}}, {'T', {7, 2, 2, 2, 2}},
        {'Q', {7, 5, 5, 7, 1}}, {'S', {7, 4, 7, 1, 7}}, {'C', {7, 4, 4, 4, 7}},
        {'A', {2, 5, 7, 5, 5}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}}};
    return font;
}

// Palette: 0 transparent, 1 ink, 2 rim, 3 onwards the disc colours.
const std::array<std::uint32_t, 8> Palette = {0xFFFFFF, 0x101010, 0x404040, 0xF4EBC0,
                                              0x3070D0, 0x8A8A8A, 0xD04030, 0x30A050};

std::uint8_t DiscColour(const std::string& symbol) {
    static const std::string colours = "WUBRG";
    std::size_t at = colours.find(symbol.empty() ? '?' : symbol[0]);
    if (symbol.size() == 1 && at != std::string::npos)
        return std::uint8_t(3 + at);
    return 5;
}

std::vector<std::uint8_t> DrawSymbol(const std::string& symbol) {
    std::vector<std::uint8_t> pixels(Size * Size, 0);
    const double centre = (Size - 1) / 2.0, radius = Size / 2.0 - 0.5;
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            double d = std::hypot(x - centre, y - centre);
            if (d <= radius)
                pixels[y * Size + x] = d > radius - 2 ? 2 : DiscColour(symbol);
        }
    std::string glyphs;
    for (char c : symbol)
        if (Font().count(c) && glyphs.size() < 3)
            glyphs += c;
    if (glyphs.empty())
        return pixels;
    const int scale = glyphs.size() == 1 ? 3 : 2, gap = scale;
    const int width = int(glyphs.size()) * 3 * scale + int(glyphs.size() - 1) * gap;
    const int left = (Size - width) / 2, top = (Size - 5 * scale) / 2;
    for (std::size_t g = 0; g < glyphs.size(); ++g) {
        const auto& rows = Font().at(glyphs[g]);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (rows[row] & (4 >> col))
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx) {
                            int x = left + int(g) * (3 * scale + gap) + col * scale + dx;
                            pixels[(top + row * scale + dy) * Size + x] = 1;
                        }
    }
    return pixels;
}

void PutWord(std::string& out, unsigned value) {
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

// LZW image data without compression: every pixel is written as its own 9-bit code, with a
// clear code often enough that the code width never grows.
std::string LzwData(const std::vector<std::uint8_t>& pixels) {
    const unsigned clear = 256, end = 257;
    std::string bytes;
    std::uint32_t buffer = 0;
    int bits = 0;
    auto emit = [&](unsigned code) {
        buffer |= code << bits;
        for (bits += 9; bits >= 8; bits -= 8, buffer >>= 8)
            bytes += char(buffer & 0xFF);
    };
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (i % 250 == 0)
            emit(clear);
        emit(pixels[i]);
    }
    emit(end);
    if (bits > 0)
        bytes += char(buffer & 0xFF);
    std::string blocks;
    for (std::size_t at = 0; at < bytes.size(); at += 255) {
        std::string block = bytes.substr(at, 255);
        blocks += char(block.size()) + block;
    }
    return blocks + '\0';
}

std::string ZlibStream(const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(size);
    return out;
}

void PutLong(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out += char((value >> shift) & 0xFF);
}

} // namespace

std::string SymbolGif(const std::string& symbol) {
    std::string gif = "GIF89a";
    PutWord(gif, Size);
    PutWord(gif, Size);
    gif += "\xF7"; // a global table of 256 colours
    gif += std::string("\0\0", 2);
    for (int i = 0; i < 256; ++i) {
        std::uint32_t rgb = i < int(Palette.size()) ? Palette[i] : 0;
        gif += char(rgb >> 16);
        gif += char((rgb >> 8) & 0xFF);
        gif += char(rgb & 0xFF);
    }
    gif += std::string("\x21\xF9\x04\x01\0\0\0\0", 8); // colour 0 is transparent
    gif += '\x2C';
    PutWord(gif, 0);
    PutWord(gif, 0);
    PutWord(gif, Size);
    PutWord(gif, Size);
    gif += '\0';
    gif += '\x08';
    return gif + LzwData(DrawSymbol(symbol)) + '\x3B';
}

std::vector<std::pair<std::string, std::string>> ImageFiles(std::size_t count) {
    std::vector<std::string> names;
    for (const std::string& symbol : CostSymbols())
        names.push_back(symbol);
    static const std::string letters = "ABCDEGQRSTUWXY";
    for (std::size_t i = 0; names.size() < count; ++i) // set and rarity marks
        names.push_back(std::string("set_") + letters[i % letters.size()] +
                        letters[(i / letters.size()) % letters.size()] + "_" +
                        std::to_string(i / (letters.size() * letters.size())));
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : names) {
        std::string marks = name.rfind("set_", 0) == 0 ? name.substr(4, 2) : name;
        files.emplace_back(name + ".gif", SymbolGif(marks));
    }
    return files;
}

void WritePackedArchive(const std::filesystem::path& archive,
                        const std::vector<std::pair<std::string, std::string>>& files) {
    std::string bytes;
    for (const auto& [name, content] : files) {
        std::string data = ZlibStream(content);
        PutLong(bytes, std::uint32_t(name.size()));
        bytes += name;
        PutLong(bytes, std::uint32_t(data.size()));
        bytes += data;
    }
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + archive.string());
}
