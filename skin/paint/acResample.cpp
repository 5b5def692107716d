#include "acResample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
// These are the plain forms, for any list and pixel size.
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

// Bytes [From, To) of every destination row.
void VerticalPassBytes(const TacPixelView& Src, const TacPixelView& Dst, const TacContributions& c, std::size_t From,
                       std::size_t To) {
    for (int y = 0; y < Dst.Height; ++y) {
        std::uint8_t* d = Dst.Row(y);
        for (std::size_t b = From; b < To; ++b) {
            std::int64_t sum = 0;
            for (int k = c.First[y]; k < c.First[y + 1]; ++k)
                sum += static_cast<std::int64_t>(c.Pairs[k].Weight) * Src.Row(c.Pairs[k].Index)[b];
            d[b] = ClampSum(sum);
        }
    }
}

#ifdef __SSE2__
// The contributions of each destination position in twos, for the 16-bit
// multiply-adds: each weight fits a signed 16-bit lane (a larger one is
// split over entries with the same index) and an odd count is padded with a
// weight of 0. Each pair's two weights sit in one 32-bit word, the first in
// the low half. Valid only when no sum can leave 32 bits (Fits).
struct TacPairs {
    std::vector<int> First;                  // pairs of destination i: [First[i], First[i + 1])
    std::vector<int> IndexA, IndexB;         // per pair
    std::vector<std::int32_t> Weights;       // per pair
    bool Fits = true;
};

TacPairs MakePairs(const TacContributions& c) {
    TacPairs p;
    const int n = static_cast<int>(c.First.size()) - 1;
    p.First.reserve(c.First.size());
    p.First.push_back(0);
    std::vector<TacContribution> parts;
    for (int i = 0; i < n; ++i) {
        parts.clear();
        std::int64_t total = 0;
        for (int k = c.First[i]; k < c.First[i + 1]; ++k) {
            int w = c.Pairs[k].Weight;
            total += w < 0 ? -static_cast<std::int64_t>(w) : w;
            while (w > 32767 || w < -32767) {
                const int part = w > 0 ? 32767 : -32767;
                parts.push_back({c.Pairs[k].Index, part});
                w -= part;
            }
            parts.push_back({c.Pairs[k].Index, w});
        }
        // Every partial sum of weight x byte stays within the total of the
        // magnitudes x 255.
        if (total * 255 > 0x7FFFFFFF) p.Fits = false;
        if (parts.size() % 2 != 0) parts.push_back({parts.back().Index, 0});
        for (std::size_t k = 0; k < parts.size(); k += 2) {
            p.IndexA.push_back(parts[k].Index);
            p.IndexB.push_back(parts[k + 1].Index);
            p.Weights.push_back(static_cast<std::int32_t>(static_cast<std::uint16_t>(parts[k].Weight) |
                                                          (static_cast<std::uint32_t>(parts[k + 1].Weight) << 16)));
        }
        p.First.push_back(static_cast<int>(p.Weights.size()));
    }
    return p;
}

// 32-bit sums (>> 16) to bytes: negative ones give 0, 256 and more 255.
inline __m128i SumsToBytes(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_packus_epi16(_mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16)),
                            _mm_packs_epi32(_mm_srai_epi32(c, 16), _mm_srai_epi32(d, 16)));
}

inline __m128i Load4(const std::uint8_t* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

// Four-byte pixels: each pair of source pixels is interleaved channel by
// channel and multiplied with its two weights in one step.
void HorizontalPass4(const TacPixelView& Src, const TacPixelView& Dst, const TacPairs& p) {
    const __m128i zero = _mm_setzero_si128();
    for (int y = 0; y < Dst.Height; ++y) {
        const std::uint8_t* s = Src.Row(y);
        std::uint8_t* d = Dst.Row(y);
        for (int x = 0; x < Dst.Width; ++x) {
            __m128i sum = zero;
            for (int k = p.First[x]; k < p.First[x + 1]; ++k) {
                const __m128i a = Load4(s + static_cast<std::ptrdiff_t>(p.IndexA[k]) * 4);
                const __m128i b = Load4(s + static_cast<std::ptrdiff_t>(p.IndexB[k]) * 4);
                const __m128i ab = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), zero);
                sum = _mm_add_epi32(sum, _mm_madd_epi16(ab, _mm_set1_epi32(p.Weights[k])));
            }
            const std::int32_t px = _mm_cvtsi128_si32(SumsToBytes(sum, zero, zero, zero));
            std::memcpy(d + static_cast<std::ptrdiff_t>(x) * 4, &px, 4);
        }
    }
}

// Sixteen bytes of a row at a time; the bytes of two source rows are
// interleaved and multiplied with their two weights in one step. Returns the
// number of bytes done in each row.
std::size_t VerticalPass16(const TacPixelView& Src, const TacPixelView& Dst, const TacPairs& p, std::size_t LineBytes) {
    const std::size_t whole = LineBytes / 16 * 16;
    const __m128i zero = _mm_setzero_si128();
    std::vector<const std::uint8_t*> rowA, rowB;
    for (int y = 0; y < Dst.Height; ++y) {
        rowA.clear();
        rowB.clear();
        for (int k = p.First[y]; k < p.First[y + 1]; ++k) {
            rowA.push_back(Src.Row(p.IndexA[k]));
            rowB.push_back(Src.Row(p.IndexB[k]));
        }
        const std::int32_t* weights = p.Weights.data() + p.First[y];
        const std::size_t pairs = rowA.size();
        std::uint8_t* d = Dst.Row(y);
        for (std::size_t b = 0; b < whole; b += 16) {
            __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
            for (std::size_t k = 0; k < pairs; ++k) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowA[k] + b));
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowB[k] + b));
                const __m128i w = _mm_set1_epi32(weights[k]);
                const __m128i lo = _mm_unpacklo_epi8(a, c), hi = _mm_unpackhi_epi8(a, c);
                s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
                s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
                s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
                s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + b), SumsToBytes(s0, s1, s2, s3));
        }
    }
    return whole;
}
#endif

void ResamplePass(const TacPixelView& Src, const TacPixelView& Dst, const TacContributions& c, bool Horizontal) {
    const std::size_t lineBytes = static_cast<std::size_t>(Dst.Width) * Dst.BytesPerPixel;
    std::size_t done = 0;
#ifdef __SSE2__
    const TacPairs pairs = MakePairs(c);
    if (pairs.Fits) {
        if (Horizontal && Src.BytesPerPixel == 4) {
            HorizontalPass4(Src, Dst, pairs);
            return;
        }
        if (!Horizontal) done = VerticalPass16(Src, Dst, pairs, lineBytes);
    }
#endif
    if (Horizontal)
        HorizontalPass(Src, Dst, c);
    else if (done < lineBytes)
        VerticalPassBytes(Src, Dst, c, done, lineBytes);
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
    ResamplePass(Src, tmp, MakeContributions(Src.Width, Dst.Width, Filter), true);
    ResamplePass(tmp, Dst, MakeContributions(Src.Height, Dst.Height, Filter), false);
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
