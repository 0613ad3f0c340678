#include "Lanczos.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double Lobes = 3.0;

double LanczosKernel(double x) {
    x = std::abs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= Lobes)
        return 0.0;
    const double px = std::numbers::pi * x;
    return Lobes * std::sin(px) * std::sin(px / Lobes) / (px * px);
}

// For every target position along one axis: the first source position it reads and the
// normalised weights of the source positions from there on.
struct TAxisFilter {
    std::vector<int> First;
    std::vector<int> Count;
    std::vector<int> Offset;
    std::vector<float> Weights;
};

TAxisFilter MakeAxisFilter(int sourceSize, int targetSize) {
    TAxisFilter filter;
    const double scale = double(sourceSize) / targetSize;
    // When shrinking, the kernel is widened so that every source pixel contributes.
    const double stretch = std::max(scale, 1.0);
    const double support = Lobes * stretch;
    std::vector<double> weights;
    for (int i = 0; i < targetSize; ++i) {
        const double center = (i + 0.5) * scale; // in source units, pixel j spans [j, j+1)
        const int first = std::max(0, int(std::floor(center - support)));
        const int last = std::min(sourceSize - 1, int(std::ceil(center + support)));
        weights.clear();
        double sum = 0;
        for (int j = first; j <= last; ++j) {
            weights.push_back(LanczosKernel((j + 0.5 - center) / stretch));
            sum += weights.back();
        }
        filter.First.push_back(first);
        filter.Count.push_back(int(weights.size()));
        filter.Offset.push_back(int(filter.Weights.size()));
        for (double w : weights)
            filter.Weights.push_back(float(w / sum));
    }
    return filter;
}

struct TAccumulator {
    float B = 0, G = 0, R = 0, A = 0;

    void Add(QRgb pixel, float weight) {
        B += weight * qBlue(pixel);
        G += weight * qGreen(pixel);
        R += weight * qRed(pixel);
        A += weight * qAlpha(pixel);
    }
    void Add(const TAccumulator& other, float weight) {
        B += weight * other.B;
        G += weight * other.G;
        R += weight * other.R;
        A += weight * other.A;
    }
    QRgb ToPremultiplied() const {
        const int alpha = std::clamp(int(std::lround(A)), 0, 255);
        auto channel = [alpha](float value) {
            return std::clamp(int(std::lround(value)), 0, alpha);
        };
        return qRgba(channel(R), channel(G), channel(B), alpha);
    }
};

} // namespace

void LanczosResample(const QImage& source, QImage& target) {
    const int sourceWidth = source.width(), sourceHeight = source.height();
    const int targetWidth = target.width(), targetHeight = target.height();
    if (sourceWidth == 0 || sourceHeight == 0 || targetWidth == 0 || targetHeight == 0)
        return;
    const TAxisFilter across = MakeAxisFilter(sourceWidth, targetWidth);
    const TAxisFilter down = MakeAxisFilter(sourceHeight, targetHeight);

    // Horizontal pass: every source row narrowed (or widened) to the target width.
    std::vector<TAccumulator> rows(size_t(sourceHeight) * targetWidth);
    for (int y = 0; y < sourceHeight; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        TAccumulator* out = &rows[size_t(y) * targetWidth];
        for (int x = 0; x < targetWidth; ++x) {
            const float* w = &across.Weights[across.Offset[x]];
            const QRgb* in = line + across.First[x];
            for (int k = 0; k < across.Count[x]; ++k)
                out[x].Add(in[k], w[k]);
        }
    }
    // Vertical pass: the rows combined into the target, row by row.
    std::vector<TAccumulator> sums(targetWidth);
    for (int y = 0; y < targetHeight; ++y) {
        std::fill(sums.begin(), sums.end(), TAccumulator());
        const float* w = &down.Weights[down.Offset[y]];
        for (int k = 0; k < down.Count[y]; ++k) {
            const TAccumulator* in = &rows[size_t(down.First[y] + k) * targetWidth];
            for (int x = 0; x < targetWidth; ++x)
                sums[x].Add(in[x], w[k]);
        }
        QRgb* line = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < targetWidth; ++x)
            line[x] = sums[x].ToPremultiplied();
    }
}
