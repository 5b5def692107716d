#include "acResample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr float kRadius[kResampleFilterCount] = {0.51f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};

bool ValidFilter(int Filter) { return Filter >= 0 && Filter < kResampleFilterCount; }

// Mirrors an index at the ends of a line of Size entries, then holds it
// inside: a support wider than the line reaches past the mirror.
int MirrorIndex(int j, int Size) {
    if (j < 0) j = -j;
    else if (j >= Size) j = 2 * Size - 1 - j;
    return std::clamp(j, 0, Size - 1);
}

std::uint8_t ClampSum(std::int64_t sum) {
    if (sum < 0) return 0;
    if (sum >= 0xFF0001) return 255;
    return static_cast<std::uint8_t>(sum >> 16);
}

void CopyPixels(const TacPixelView& Src, const TacPixelView& Dst) {
    if (Src.Row0 == Dst.Row0) return;
    const std::size_t bytes = static_cast<std::size_t>(Src.Width) * Src.BytesPerPixel;
    for (int y = 0; y < Src.Height; ++y) std::memmove(Dst.Row(y), Src.Row(y), bytes);
}

// The horizontal pass mixes pixels of a row, the vertical one whole rows.
void HorizontalPass(const TacPixelView& Src, const TacPixelView& Dst, const TacContributions& c) {
    const int bpp = Src.BytesPerPixel;
    for (int y = 0; y < Dst.Height; ++y) {
        const std::uint8_t* s = Src.Row(y);
        std::uint8_t* d = Dst.Row(y);
        for (int x = 0; x < Dst.Width; ++x, d += bpp) {
            std::int64_t sum[4] = {0, 0, 0, 0};
            for (int k = c.First[x]; k < c.First[x + 1]; ++k) {
                const std::uint8_t* p = s + static_cast<std::ptrdiff_t>(c.Pairs[k].Index) * bpp;
                const int w = c.Pairs[k].Weight;
                for (int ch = 0; ch < bpp; ++ch) sum[ch] += static_cast<std::int64_t>(w) * p[ch];
            }
            for (int ch = 0; ch < bpp; ++ch) d[ch] = ClampSum(sum[ch]);
        }
    }
}

void VerticalPass(const TacPixelView& Src, const TacPixelView& Dst, const TacContributions& c) {
    const int bpp = Src.BytesPerPixel;
    const std::size_t lineBytes = static_cast<std::size_t>(Dst.Width) * bpp;
    std::vector<std::int64_t> sum(lineBytes);
    for (int y = 0; y < Dst.Height; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        for (int k = c.First[y]; k < c.First[y + 1]; ++k) {
            const std::uint8_t* s = Src.Row(c.Pairs[k].Index);
            const std::int64_t w = c.Pairs[k].Weight;
            for (std::size_t b = 0; b < lineBytes; ++b) sum[b] += w * s[b];
        }
        std::uint8_t* d = Dst.Row(y);
        for (std::size_t b = 0; b < lineBytes; ++b) d[b] = ClampSum(sum[b]);
    }
}

}  // namespace

float ResampleRadius(int Filter) { return ValidFilter(Filter) ? kRadius[Filter] : 0.0f; }

double ResampleWeight(int Filter, double x) {
    const double m = std::fabs(x);
    switch (Filter) {
    case 0:
        return (m <= 0.5 && x != -0.5) ? 1.0 : 0.0;
    case 1:
        return m < 1.0 ? 1.0 - m : 0.0;
    case 2:
        return m < 1.0 ? m * m * (2.0 * m - 3.0) + 1.0 : 0.0;
    case 3:
        if (m < 0.5) return 0.75 - m * m;
        return m < 1.5 ? 0.5 * (m - 1.5) * (m - 1.5) : 0.0;
    case 4:
        if (m < 1.0) return m * m * (m / 2.0 - 1.0) + 2.0 / 3.0;
        return m < 2.0 ? (2.0 - m) * (2.0 - m) * (2.0 - m) / 6.0 : 0.0;
    case 5:
        if (m == 0.0) return 1.0;
        return m < 3.0 ? std::sin(std::numbers::pi * m) * std::sin(m) / (std::numbers::pi * m * m) : 0.0;
    case 6:
        if (m < 1.0) return m * m * (7.0 / 6.0 * m - 2.0) + 8.0 / 9.0;
        return m < 2.0 ? m * m * (-7.0 / 18.0 * m + 2.0) - 10.0 / 3.0 * m + 16.0 / 9.0 : 0.0;
    default:
        return 0.0;
    }
}

TacContributions MakeContributions(int Src, int Dst, int Filter) {
    TacContributions c;
    if (Src < 1 || Dst < 1 || !ValidFilter(Filter)) return c;
    const double radius = kRadius[Filter];
    const double e = Dst < Src ? static_cast<double>(Dst) / Src : 1.0;
    const double w = radius / e;
    c.First.reserve(static_cast<std::size_t>(Dst) + 1);
    c.First.push_back(0);
    for (int i = 0; i < Dst; ++i) {
        const double centre = static_cast<double>(Src) * i / Dst;
        const int from = static_cast<int>(std::floor(centre - w));
        const int to = static_cast<int>(std::ceil(centre + w));
        for (int j = from; j <= to; ++j) {
            const double x = (centre - j) * e;
            if (std::fabs(x) >= radius) continue;
            const double t = ResampleWeight(Filter, x);
            if (t == 0.0) continue;
            c.Pairs.push_back({MirrorIndex(j, Src), static_cast<int>(std::nearbyint(t * e * 65536.0))});
        }
        c.First.push_back(static_cast<int>(c.Pairs.size()));
    }
    return c;
}

void ResamplePixels(const TacPixelView& Src, const TacPixelView& Dst, int Filter) {
    if (!Src.Valid() || !Dst.Valid() || Src.BytesPerPixel != Dst.BytesPerPixel || !ValidFilter(Filter)) return;
    if (Src.Width < 2 || Src.Height < 2) throw EacResample(u"Source bitmap is too small");
    if (Src.Width == Dst.Width && Src.Height == Dst.Height) {
        CopyPixels(Src, Dst);
        return;
    }
    const int bpp = Src.BytesPerPixel;
    // The horizontal pass goes into a work image Dst.Width wide and Src.Height high.
    const std::ptrdiff_t tmpStride = static_cast<std::ptrdiff_t>(Dst.Width) * bpp;
    std::vector<std::uint8_t> tmpBytes(static_cast<std::size_t>(tmpStride) * Src.Height);
    const TacPixelView tmp{tmpBytes.data(), Dst.Width, Src.Height, tmpStride, bpp};
    HorizontalPass(Src, tmp, MakeContributions(Src.Width, Dst.Width, Filter));
    VerticalPass(tmp, Dst, MakeContributions(Src.Height, Dst.Height, Filter));
}

void ResampleNearest(const TacPixelView& Src, const TacPixelView& Dst) {
    if (!Src.Valid() || !Dst.Valid() || Src.BytesPerPixel != Dst.BytesPerPixel) return;
    const int bpp = Src.BytesPerPixel;
    for (int y = 0; y < Dst.Height; ++y) {
        const std::uint8_t* s = Src.Row(static_cast<int>(static_cast<std::int64_t>(y) * Src.Height / Dst.Height));
        std::uint8_t* d = Dst.Row(y);
        for (int x = 0; x < Dst.Width; ++x) {
            const int sx = static_cast<int>(static_cast<std::int64_t>(x) * Src.Width / Dst.Width);
            std::memcpy(d + static_cast<std::ptrdiff_t>(x) * bpp, s + static_cast<std::ptrdiff_t>(sx) * bpp, bpp);
        }
    }
}

void ResamplePixelsForPaint(const TacPixelView& Src, const TacPixelView& Dst, int Filter) {
    if (Src.Valid() && (Src.Width < 2 || Src.Height < 2)) {
        ResampleNearest(Src, Dst);
        return;
    }
    ResamplePixels(Src, Dst, Filter);
}
