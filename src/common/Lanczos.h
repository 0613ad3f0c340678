#pragma once

class QImage;

// Resamples the whole of `source` onto the whole of `target` with a separable Lanczos-3
// filter, replacing every pixel of `target`. Both images are Format_ARGB32_Premultiplied;
// filtering premultiplied values keeps transparent pixels from bleeding their colour into
// their neighbours. The results are clamped to valid premultiplied pixels (alpha within
// 0..255, each colour at most its alpha), so the filter's negative lobes never leave a
// transparent area with a faint halo of stray values.
void LanczosResample(const QImage& source, QImage& target);
