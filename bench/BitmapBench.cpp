// The bitmap cache and the packed archive the cost symbols come from: a symbol read and
// decoded for the first time and again from the cache, its 16 x 16 copy made and found again,
// and the existence test and reading of the last of the archive's 300 entries; beside the
// bare decoding, resampling, header scan and decompression.
#include "support/BenchData.h"

#include "common/PackStream.h"
#include "common/xBitmap.h"
#include "data/xLib.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string_view>
#include <zlib.h>

namespace {

std::string ArchivePath() {
    return BenchDataDir() + "Images";
}

std::string SymbolPath() {
    return ArchivePath() + "/W.gif";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(std::size_t(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0).read(bytes.data(), std::streamsize(bytes.size()));
    return bytes;
}

std::int32_t LengthAt(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(bytes[at + i])); };
    return std::int32_t(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
}

// Walks the entry headers of an archive read whole, one read of the file: the least work
// of finding an entry. Gives the entry's packed data, or nothing.
std::string_view FindEntry(const std::string& archive, const std::string& name) {
    for (std::size_t at = 0; at + 8 <= archive.size();) {
        const std::int32_t nameLength = LengthAt(archive, at);
        if (nameLength < 0 || at + 8 + std::size_t(nameLength) > archive.size())
            break;
        const std::string_view entryName(archive.data() + at + 4, std::size_t(nameLength));
        const std::int32_t dataLength = LengthAt(archive, at + 4 + std::size_t(nameLength));
        const std::size_t data = at + 8 + std::size_t(nameLength);
        if (dataLength < 0 || data + std::size_t(dataLength) > archive.size())
            break;
        if (entryName == name)
            return std::string_view(archive.data() + data, std::size_t(dataLength));
        at = data + std::size_t(dataLength);
    }
    return {};
}

std::string LastEntryName(const std::string& archive) {
    const std::string bytes = ReadFile(archive);
    std::string last;
    for (std::size_t at = 0; at + 8 <= bytes.size();) {
        const auto nameLength = std::size_t(LengthAt(bytes, at));
        last = bytes.substr(at + 4, nameLength);
        at += 8 + nameLength + std::size_t(LengthAt(bytes, at + 4 + nameLength));
    }
    return last;
}

QByteArray Decompressed(std::string_view packed) {
    QByteArray data(64 * 1024, Qt::Uninitialized);
    uLongf size = uLongf(data.size());
    uncompress(reinterpret_cast<Bytef*>(data.data()), &size,
               reinterpret_cast<const Bytef*>(packed.data()), uLong(packed.size()));
    data.resize(qsizetype(size));
    return data;
}

QByteArray SymbolBytes() {
    return Decompressed(FindEntry(ReadFile(ArchivePath()), "W.gif"));
}

void GetBitmapCold(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto factory = std::make_unique<TxFactory>();
        state.ResumeTiming();
        const TxBitmap& bitmap = factory->GetBitmap(SymbolPath());
        if (bitmap.IsEmpty())
            state.SkipWithError("the symbol W.gif was not found in the data folder's Images");
        state.PauseTiming();
        factory.reset();
        state.ResumeTiming();
    }
}

// Finding, decompressing and decoding the same GIF into a premultiplied surface.
void GetBitmapColdFloor(benchmark::State& state) {
    for (auto _ : state) {
        const QByteArray bytes = SymbolBytes();
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer, "gif");
        benchmark::DoNotOptimize(
            reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

void GetBitmapWarm(benchmark::State& state) {
    const std::string path = SymbolPath();
    Factory().GetBitmap(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(&Factory().GetBitmap(path));
}

void GetScaledBitmapCold(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto factory = std::make_unique<TxFactory>();
        const TxBitmap& bitmap = factory->GetBitmap(SymbolPath());
        state.ResumeTiming();
        benchmark::DoNotOptimize(&factory->GetScaledBitmap(bitmap, 16, 16));
        state.PauseTiming();
        factory.reset();
        state.ResumeTiming();
    }
}

// Qt's own smooth scaling of the same picture to the same size.
void GetScaledBitmapColdFloor(benchmark::State& state) {
    QImage source =
        QImage::fromData(SymbolBytes(), "gif").convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            source.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void GetScaledBitmapWarm(benchmark::State& state) {
    const TxBitmap& bitmap = Factory().GetBitmap(SymbolPath());
    Factory().GetScaledBitmap(bitmap, 16, 16);
    for (auto _ : state)
        benchmark::DoNotOptimize(&Factory().GetScaledBitmap(bitmap, 16, 16));
}

void PackFileExistsBench(benchmark::State& state) {
    const std::string path = ArchivePath() + "/" + LastEntryName(ArchivePath());
    for (auto _ : state)
        if (!PackFileExists(path))
            state.SkipWithError("the archive's last entry was not found");
}

void PackFileExistsFloor(benchmark::State& state) {
    const std::string name = LastEntryName(ArchivePath());
    for (auto _ : state)
        benchmark::DoNotOptimize(FindEntry(ReadFile(ArchivePath()), name));
}

void PackEntryRead(benchmark::State& state) {
    const std::string path = ArchivePath() + "/" + LastEntryName(ArchivePath());
    for (auto _ : state) {
        TPackFileStream stream(path, fmOpenRead);
        benchmark::DoNotOptimize(stream.readAll());
    }
}

void PackEntryReadFloor(benchmark::State& state) {
    const std::string name = LastEntryName(ArchivePath());
    for (auto _ : state)
        benchmark::DoNotOptimize(Decompressed(FindEntry(ReadFile(ArchivePath()), name)));
}

} // namespace

BENCHMARK(GetBitmapCold)->Name("GetBitmap/cold")->Unit(benchmark::kMicrosecond);
BENCHMARK(GetBitmapColdFloor)->Name("GetBitmap/cold.floor")->Unit(benchmark::kMicrosecond);
BENCHMARK(GetBitmapWarm)->Name("GetBitmap/warm")->Unit(benchmark::kMicrosecond);
BENCHMARK(GetScaledBitmapCold)->Name("GetScaledBitmap/cold")->Unit(benchmark::kMicrosecond);
BENCHMARK(GetScaledBitmapColdFloor)
    ->Name("GetScaledBitmap/cold.floor")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(GetScaledBitmapWarm)->Name("GetScaledBitmap/warm")->Unit(benchmark::kMicrosecond);
BENCHMARK(PackFileExistsBench)->Name("PackFileExists")->Unit(benchmark::kMicrosecond);
BENCHMARK(PackFileExistsFloor)->Name("PackFileExists.floor")->Unit(benchmark::kMicrosecond);
BENCHMARK(PackEntryRead)->Name("PackEntryRead")->Unit(benchmark::kMicrosecond);
BENCHMARK(PackEntryReadFloor)->Name("PackEntryRead.floor")->Unit(benchmark::kMicrosecond);
