// Pixel kernels of the work bitmaps. Every loop clips first, then runs over
// row addresses computed once per row.
#include "acPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "acPixelsSimd.h"

using namespace acsimd;

namespace {

constexpr int Ch(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFFu); }
constexpr std::uint32_t Put(int v, int shift) { return static_cast<std::uint32_t>(v & 0xFF) << shift; }
inline int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }
// Extent from A to B without overflow, held to 0..2^28.
inline int Span(int a, int b) { return static_cast<int>(std::clamp<long long>(static_cast<long long>(b) - a, 0, 1 << 28)); }

// Clips a copy of a W x H block from (sx, sy) of Src to (dx, dy) of Dst to
// both buffers; false when nothing is left.
bool ClipCopy(const TacBits32& dst, int srcW, int srcH, int& dx, int& dy, int& sx, int& sy, int& w, int& h) {
    if (!dst.Valid() || srcW <= 0 || srcH <= 0) return false;
    auto clip = [](int& d, int& s, int& n, int dLimit, int sLimit) {
        if (d < 0) { s -= d; n += d; d = 0; }
        if (s < 0) { d -= s; n += s; s = 0; }
        n = std::min({n, dLimit - d, sLimit - s});
    };
    // 64-bit free: every coordinate below is bounded by int ranges, but keep
    // absurd inputs out before they are added.
    constexpr int kLimit = 1 << 28;
    if (std::abs(static_cast<long long>(dx)) > kLimit || std::abs(static_cast<long long>(dy)) > kLimit ||
        std::abs(static_cast<long long>(sx)) > kLimit || std::abs(static_cast<long long>(sy)) > kLimit)
        return false;
    w = std::clamp(w, 0, kLimit);
    h = std::clamp(h, 0, kLimit);
    clip(dx, sx, w, dst.Width, srcW);
    clip(dy, sy, h, dst.Height, srcH);
    return w > 0 && h > 0 && dx < dst.Width && dy < dst.Height;
}

// A rectangle with exclusive edges clipped to a W x H buffer.
TRect ClipTo(TRect r, int w, int h) {
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, w);
    r.Bottom = std::min(r.Bottom, h);
    return r;
}

// Source rectangle whose right and bottom are inclusive, limited to the last
// column and row; a cut-off negative left or top edge is reported in cutX/cutY
// (64-bit: the cut of an edge at INT_MIN does not fit an int).
bool ClipInclusive(TRect& r, int w, int h, long long& cutX, long long& cutY) {
    cutX = r.Left < 0 ? -static_cast<long long>(r.Left) : 0;
    cutY = r.Top < 0 ? -static_cast<long long>(r.Top) : 0;
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, w - 1);
    r.Bottom = std::min(r.Bottom, h - 1);
    return r.Left <= r.Right && r.Top <= r.Bottom;
}

inline std::uint32_t MixColour(std::uint32_t d, std::uint32_t s, int w) {
    return (d & 0xFF000000u) | Put(StdMix(Ch(d, 0), Ch(s, 0), w), 0) | Put(StdMix(Ch(d, 8), Ch(s, 8), w), 8) |
           Put(StdMix(Ch(d, 16), Ch(s, 16), w), 16);
}

// Copy size of CopyThroughMask and its kin: the smaller of both rectangles,
// negative origins shifted, clipped to both bitmaps.
bool ClipRectPair(const TacBits32& dst, const TacBits32& src, const TRect& dstRect, const TRect& srcRect, int& dx,
                  int& dy, int& sx, int& sy, int& w, int& h) {
    if (!src.Valid()) return false;
    dx = dstRect.Left;
    dy = dstRect.Top;
    sx = srcRect.Left;
    sy = srcRect.Top;
    w = std::min(Span(dstRect.Left, dstRect.Right), Span(srcRect.Left, srcRect.Right));
    h = std::min(Span(dstRect.Top, dstRect.Bottom), Span(srcRect.Top, srcRect.Bottom));
    return ClipCopy(dst, src.Width, src.Height, dx, dy, sx, sy, w, h);
}

// True when the memory of the two buffers' rows may share bytes. The vector
// loops read four pixels before writing four, so they serve only buffers
// that are apart; overlapping ones run pixel by pixel in the stated order.
bool Overlap(const TacBits32& a, const TacBits32& b) {
    auto range = [](const TacBits32& x, std::uintptr_t& lo, std::uintptr_t& hi) {
        const auto first = reinterpret_cast<std::uintptr_t>(x.Row0);
        const auto last = reinterpret_cast<std::uintptr_t>(x.Row(x.Height - 1));
        lo = std::min(first, last);
        hi = std::max(first, last) + static_cast<std::uintptr_t>(x.Width) * 4;
    };
    std::uintptr_t aLo, aHi, bLo, bHi;
    range(a, aLo, aHi);
    range(b, bLo, bHi);
    return aLo < bHi && bLo < aHi;
}

// Runs Block over groups of four pixels of a row of N when Simd is set,
// Pixel over the rest (and over everything when it is not).
template <class Block, class Pixel>
inline void RunRow(int n, bool simd, Block&& block, Pixel&& pixel) {
    if (simd)
        ForRow(n, block, pixel);
    else
        for (int i = 0; i < n; ++i) pixel(i);
}

// Pixel over each of the four pixels from I: the fallback of a group.
template <class Pixel>
inline void Four(int i, Pixel& pixel) {
    for (int k = 0; k < 4; ++k) pixel(i + k);
}

// Row by row over a source rectangle with inclusive edges placed at (X, Y)
// of Dst (see ClipInclusive); rows and columns outside Dst are left out.
// Fn(d, s, n, dx, dy) gets the first destination and source pixel of a
// row's run of N pixels and the destination position of the run.
template <class Fn>
void ForInclusiveRows(const TacBits32& dst, const TacBits32& src, long long x, long long y, const TRect& srcRect,
                      Fn&& fn) {
    // Source columns whose destination column x + (sx - Left) is inside Dst.
    const long long sx1 = std::max<long long>(srcRect.Left, srcRect.Left - x);
    const long long sx2 = std::min<long long>(srcRect.Right, srcRect.Left - x + dst.Width - 1);
    if (sx1 > sx2) return;
    const int n = static_cast<int>(sx2 - sx1 + 1);
    const int dx = static_cast<int>(x + (sx1 - srcRect.Left));
    for (int sy = srcRect.Top; sy <= srcRect.Bottom; ++sy) {
        const long long dy = y + (sy - srcRect.Top);
        if (dy < 0 || dy >= dst.Height) continue;
        fn(dst.Row(static_cast<int>(dy)) + dx, src.Row(sy) + sx1, n, dx, static_cast<int>(dy));
    }
}

// Exactness of the quotients by multiplication in acPixelsSimd.h over the
// ranges the kernels use (one check each, to stay within the compilers'
// evaluation limits).
constexpr bool Div255Exact() {
    for (unsigned x = 0; x <= 65535; ++x)
        if ((x * 0x8081u) >> 23 != x / 255) return false;
    return true;
}
constexpr bool Div100And300Exact() {
    for (unsigned x = 0; x <= 25500; ++x)
        if ((x * 5243u) >> 19 != x / 100 || (x * 55925u) >> 24 != x / 300) return false;
    return true;
}
constexpr bool Div3Exact() {
    for (unsigned x = 0; x <= 255; ++x)
        if (((x * 171u) & 0xFFFFu) >> 9 != x / 3) return false;
    return true;
}
static_assert(Div255Exact());
static_assert(Div100And300Exact());
static_assert(Div3Exact());

}  // namespace

// ---- arithmetic ----------------------------------------------------------

TColor MixColorsHalfCore(TColor a, TColor b) {
    const auto ua = static_cast<std::uint32_t>(a), ub = static_cast<std::uint32_t>(b);
    std::uint32_t r = 0;
    for (int shift = 0; shift <= 16; shift += 8) r |= Put((Ch(ua, shift) * 127 + Ch(ub, shift) * 129) >> 8, shift);
    return static_cast<TColor>(r);
}

TColor MixColorsHalf(TColor a, TColor b) { return MixColorsHalfCore(a, b); }

TColor BlendColors(TColor a, TColor b, double x) {
    const auto ua = static_cast<std::uint32_t>(a), ub = static_cast<std::uint32_t>(b);
    std::uint32_t r = ua & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8)
        r |= Put(RoundHalfEven(x * Ch(ua, shift) + (1 - x) * Ch(ub, shift)), shift);
    return static_cast<TColor>(r);
}

void FillLongs(std::uint32_t* p, int count, std::uint32_t value) {
    if (p == nullptr || count <= 0) return;
    const V v = Splat(value);
    ForRow(count, [&](int i) { Store(p + i, v); }, [&](int i) { p[i] = value; });
}

// ---- fills ---------------------------------------------------------------

void FillPixels32(const TacBits32& bmp, TRect r, std::uint32_t pixel) {
    if (!bmp.Valid()) return;
    r = ClipTo(r, bmp.Width, bmp.Height);
    if (r.IsEmpty()) return;
    for (int y = r.Top; y < r.Bottom; ++y) FillLongs(bmp.Row(y) + r.Left, r.Width(), pixel);
}

void FillRect32(const TacBits32& bmp, const TRect& r, TColor color) { FillPixels32(bmp, r, OpaquePixel(color)); }

void FillAlphaRect(const TacBits32& bmp, TRect r, std::uint8_t value, bool skipKey) {
    if (!bmp.Valid()) return;
    r = ClipTo(r, bmp.Width, bmp.Height);
    if (r.IsEmpty()) return;
    const std::uint32_t a = static_cast<std::uint32_t>(value) << 24;
    const V av = Splat(a);
    for (int y = r.Top; y < r.Bottom; ++y) {
        std::uint32_t* row = bmp.Row(y) + r.Left;
        ForRow(
            r.Width(),
            [&](int i) {
                const V p = Load(row + i), v = WithAlphaOf(p, av);
                Store(row + i, skipKey ? Select(WordsEqual(p, kKeyPixel), p, v) : v);
            },
            [&](int i) {
                if (!(skipKey && row[i] == kKeyPixel)) row[i] = (row[i] & 0x00FFFFFFu) | a;
            });
    }
}

void BlendRectWithColor(const TacBits32& bmp, const TRect& r, int percent, TColor color) {
    if (!bmp.Valid()) return;
    const double g = ClampPercent(percent) / 100.0;
    const auto c = SwapRedBlue(static_cast<std::uint32_t>(color));
    const int x1 = std::max(r.Left, 0), x2 = std::min(r.Right, bmp.Width - 1);
    const int y1 = std::max(r.Top, 0), y2 = std::min(r.Bottom, bmp.Height - 1);
    for (int y = y1; y <= y2; ++y) {
        std::uint32_t* row = bmp.Row(y);
        for (int x = x1; x <= x2; ++x) {
            std::uint32_t v = row[x] & 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8)
                v |= Put(RoundHalfEven(g * Ch(row[x], shift) + (1 - g) * Ch(c, shift)), shift);
            row[x] = v;
        }
    }
}

void TintBitmap(const TacBits32& bmp, TColor color, double x) {
    if (!bmp.Valid()) return;
    const auto c = SwapRedBlue(static_cast<std::uint32_t>(color));
    for (int y = 0; y < bmp.Height; ++y) {
        std::uint32_t* row = bmp.Row(y);
        for (int i = 0; i < bmp.Width; ++i) {
            if (row[i] == kKeyPixel) continue;
            std::uint32_t v = row[i] & 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8)
                v |= Put(RoundHalfEven(x * (Ch(row[i], shift) - Ch(c, shift)) + Ch(c, shift)), shift);
            row[i] = v;
        }
    }
}

// ---- blends and copies ---------------------------------------------------

void BlendBitmapsRect(const TacBits32& dst, const TacBits32& src, std::uint8_t alpha, const TacSumRect& r) {
    if (!dst.Valid() || !src.Valid()) return;
    // Destination rows and columns whose source pixel lies outside Src are
    // left out, as are those outside Dst.
    const long long offX = static_cast<long long>(r.SrcX1) - r.DstX1;
    const long long offY = static_cast<long long>(r.SrcY2) - r.DstY2;
    const long long x1 = std::max<long long>({r.DstX1, 0, -offX});
    const long long x2 = std::min<long long>({r.DstX2, dst.Width, src.Width - offX});
    const long long y1 = std::max<long long>({r.DstY1, 0, -offY});
    const long long y2 = std::min<long long>({r.DstY2, dst.Height, src.Height - offY});
    if (x1 >= x2 || y1 >= y2) return;
    const int a = alpha;
    if (!Overlap(dst, src)) {
        // Separate buffers: the order of the pixels does not matter.
        const int n = static_cast<int>(x2 - x1);
        for (long long y = y2 - 1; y >= y1; --y) {
            std::uint32_t* d = dst.Row(static_cast<int>(y)) + x1;
            const std::uint32_t* s = src.Row(static_cast<int>(y + offY)) + (x1 + offX);
            ForRow(
                n, [&](int i) { Store(d + i, SumMix(Load(d + i), Load(s + i), a)); },
                [&](int i) {
                    std::uint32_t v = 0;
                    for (int shift = 0; shift <= 24; shift += 8) v |= Put(SumMix(Ch(d[i], shift), Ch(s[i], shift), a), shift);
                    d[i] = v;
                });
        }
        return;
    }
    // One buffer (or overlapping views): bytes from the bottom row up and
    // from right to left, so every source byte is read in that order.
    for (long long y = y2 - 1; y >= y1; --y) {
        auto* d = reinterpret_cast<std::uint8_t*>(dst.Row(static_cast<int>(y)));
        const auto* s = reinterpret_cast<const std::uint8_t*>(src.Row(static_cast<int>(y + offY)));
        for (long long i = x2 * 4 - 1; i >= x1 * 4; --i)
            d[i] = static_cast<std::uint8_t>(SumMix(d[i], s[i + offX * 4], a));
    }
}

void FadeBitmapInto(const TacBits32& dst, const TacBits32& src, std::uint8_t value) {
    if (!dst.Valid() || !src.Valid() || dst.Width != src.Width || dst.Height != src.Height) return;
    if (dst.Width < 2 || dst.Height < 2) return;
    BlendBitmapsRect(dst, src, value, {0, 0, dst.Width, dst.Height, 0, 0, src.Width, src.Height});
}

void BlendBitmapRect(const TacBits32& dst, const TacBits32& src, std::uint8_t value, TRect srcRect, TPoint dstPoint) {
    if (!dst.Valid() || !src.Valid()) return;
    if (dst.Width < 2 || dst.Height < 2 || src.Width < 2 || src.Height < 2) return;
    int dx = dstPoint.X, dy = dstPoint.Y, sx = srcRect.Left, sy = srcRect.Top;
    int w = Span(srcRect.Left, srcRect.Right), h = Span(srcRect.Top, srcRect.Bottom);
    if (!ClipCopy(dst, src.Width, src.Height, dx, dy, sx, sy, w, h)) return;
    BlendBitmapsRect(dst, src, value, {dx, dy, dx + w, dy + h, sx, sy, sx + w, sy + h});
}

void BlendTransBitmap(const TacBits32& dst, int x, int y, const TacBits32& src, TRect srcRect, double factor,
                      TColor key) {
    if (!dst.Valid() || !src.Valid()) return;
    long long cutX = 0, cutY = 0;
    if (!ClipInclusive(srcRect, src.Width, src.Height, cutX, cutY)) return;
    const auto k = static_cast<std::uint32_t>(key);
    ForInclusiveRows(dst, src, x + cutX, y + cutY, srcRect,
                     [&](std::uint32_t* d, const std::uint32_t* s, int n, int, int) {
                         for (int i = 0; i < n; ++i) {
                             if (s[i] == k) continue;
                             std::uint32_t v = d[i] & 0xFF000000u;
                             for (int shift = 0; shift <= 16; shift += 8) {
                                 const int sc = Ch(s[i], shift), dc = Ch(d[i], shift);
                                 v |= Put(RoundHalfEven(sc - (sc - dc) * factor), shift);
                             }
                             d[i] = v;
                         }
                     });
}

void MixBitmapsByMask(const TacBits32& dst, const TacBits32& src1, const TacBits32& src2, const TacBits32* mask,
                      std::uint8_t value) {
    if (!dst.Valid() || !src1.Valid() || !src2.Valid()) return;
    auto sameSize = [&](const TacBits32& b) { return b.Width == dst.Width && b.Height == dst.Height; };
    if (!sameSize(src1) || !sameSize(src2)) return;
    if (mask != nullptr && (!mask->Valid() || !sameSize(*mask))) return;
    // Every pixel reads only its own position, so a source that is the
    // destination itself is fine for the vector loop; other overlaps are not.
    auto apart = [&](const TacBits32& b) { return b.SameBuffer(dst) || !Overlap(b, dst); };
    const bool simd = apart(src1) && apart(src2) && (mask == nullptr || apart(*mask));
    const V valueWeights = Splat(0x01010101u * value);
    for (int y = 0; y < dst.Height; ++y) {
        std::uint32_t* d = dst.Row(y);
        const std::uint32_t* a = src1.Row(y);
        const std::uint32_t* b = src2.Row(y);
        const std::uint32_t* m = mask ? mask->Row(y) : nullptr;
        RunRow(
            dst.Width, simd,
            [&](int x) {
                const V w = m ? Load(m + x) : valueWeights;
                Store(d + x, WithAlphaOf(StdMix(Load(b + x), Load(a + x), w), Load(d + x)));
            },
            [&](int x) {
                std::uint32_t v = d[x] & 0xFF000000u;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int w = m ? Ch(m[x], shift) : value;
                    v |= Put(StdMix(Ch(b[x], shift), Ch(a[x], shift), w), shift);
                }
                d[x] = v;
            });
    }
}

void CopyTransparentRect(const TacBits32& dst, const TacBits32& src, int x, int y, TRect srcRect, TColor key) {
    if (!dst.Valid() || !src.Valid()) return;
    long long cutX = 0, cutY = 0;
    if (!ClipInclusive(srcRect, src.Width, src.Height, cutX, cutY)) return;
    const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key));
    const bool simd = !Overlap(dst, src);
    ForInclusiveRows(dst, src, x, y, srcRect, [&](std::uint32_t* d, const std::uint32_t* s, int n, int, int) {
        RunRow(
            n, simd,
            [&](int i) {
                const V sv = Load(s + i);
                Store(d + i, Select(WordsEqual(sv, k), Load(d + i), sv));
            },
            [&](int i) {
                if (s[i] != k) d[i] = s[i];
            });
    });
}

void DrawAlphaBitmapAt(const TacBits32& dst, const TacBits32& src, int x, int y, TColor key) {
    if (!src.Valid()) return;
    int sx = 0, sy = 0, w = src.Width, h = src.Height;
    if (!ClipCopy(dst, src.Width, src.Height, x, y, sx, sy, w, h)) return;
    const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key));
    const bool simd = !Overlap(dst, src);
    const V opaque = Splat(0xFF000000u);
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = src.Row(sy + j) + sx;
        std::uint32_t* d = dst.Row(y + j) + x;
        RunRow(
            w, simd,
            [&](int i) {
                const V sv = Load(s + i);
                Store(d + i, Select(WordsEqual(sv, k), Load(d + i), _mm_or_si128(sv, opaque)));
            },
            [&](int i) {
                if (s[i] != k) d[i] = s[i] | 0xFF000000u;
            });
    }
}

void DrawAlphaBitmapAt(const TacBits32& dst, const TacBits24& src, int x, int y, TColor key) {
    if (!src.Valid()) return;
    int sx = 0, sy = 0, w = src.Width, h = src.Height;
    if (!ClipCopy(dst, src.Width, src.Height, x, y, sx, sy, w, h)) return;
    const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key));
    for (int j = 0; j < h; ++j) {
        std::uint32_t* d = dst.Row(y + j) + x;
        for (int i = 0; i < w; ++i) {
            const std::uint8_t* p = src.Pixel(sx + i, sy + j);
            const std::uint32_t v = p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
            if (v != k) d[i] = v | 0xFF000000u;
        }
    }
}

bool TacParent::Read(int x, int y, std::uint32_t& word) const {
    if (Bmp == nullptr || !Bmp->Valid()) return false;
    const long long px = static_cast<long long>(x) + X, py = static_cast<long long>(y) + Y;
    if (px < 0 || py < 0 || px >= Bmp->Width || py >= Bmp->Height) return false;
    word = Bmp->At(static_cast<int>(px), static_cast<int>(py));
    return true;
}

void CopyThroughMask(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src, const TacParent& ci,
                     bool useParent) {
    int dx, dy, sx, sy, w, h;
    if (!ClipRectPair(dst, src, dstRect, srcRect, dx, dy, sx, sy, w, h)) return;
    const bool fromParent = ci.Ready && useParent;
    const bool simd = !Overlap(dst, src);
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = src.Row(sy + j) + sx;
        std::uint32_t* d = dst.Row(dy + j) + dx;
        auto pixel = [&](int i) {
            std::uint32_t word;
            if (fromParent && s[i] == kKeyPixel && ci.Read(dx + i, dy + j, word)) {
                d[i] = word | 0xFF000000u;
                return;
            }
            // Alpha 0 leaves the whole pixel as it is, the alpha included.
            const int a = Ch(s[i], 24), da = Ch(d[i], 24);
            d[i] = (MixColour(d[i], s[i], a) & 0x00FFFFFFu) | Put(da + a * (255 - da) / 255, 24);
        };
        RunRow(
            w, simd,
            [&](int i) {
                const V sv = Load(s + i);
                if (fromParent && Any(WordsEqual(sv, kKeyPixel))) return Four(i, pixel);
                const V dv = Load(d + i), a = AlphaOf(sv), da = AlphaOf(dv);
                const V grown = _mm_add_epi32(da, Div255(Mul16(a, _mm_sub_epi32(Splat(255), da))));
                Store(d + i, WithAlphaOf(StdMix(dv, sv, SpreadByte(a)), _mm_slli_epi32(grown, 24)));
            },
            pixel);
    }
}

void CopyMaskedRect(const TacBits32& dst, const TacBits32& src, int x, int y, TRect srcRect, TColor key,
                    const TacParent& ci, bool useParent) {
    if (!dst.Valid() || !src.Valid()) return;
    long long cutX = 0, cutY = 0;
    if (!ClipInclusive(srcRect, src.Width, src.Height, cutX, cutY)) return;
    const std::uint32_t k = SwapRedBlue(static_cast<std::uint32_t>(key));
    const bool parentCase = useParent && ci.Ready && ci.Bmp != nullptr && ci.Bmp->Valid();
    const bool intoParent = parentCase && ci.Bmp->SameBuffer(dst);
    const bool hasFill = !ci.Ready && ci.FillColor != kNoColor;
    const std::uint32_t fill = OpaquePixel(ci.FillColor);
    const bool simd = !Overlap(dst, src);
    const V opaque = Splat(0xFF000000u), fillv = Splat(fill);
    ForInclusiveRows(dst, src, x, y, srcRect, [&](std::uint32_t* d, const std::uint32_t* s, int n, int dx, int dy) {
        auto pixel = [&](int i) {
            const bool isKey = s[i] == k;
            if (parentCase) {
                std::uint32_t word;
                if (!isKey) d[i] = s[i] | 0xFF000000u;
                else if (!intoParent && ci.Read(dx + i, dy, word)) d[i] = word | 0xFF000000u;
            } else if (!isKey) {
                d[i] = s[i];
            } else if (hasFill) {
                d[i] = fill;
            }
        };
        RunRow(
            n, simd,
            [&](int i) {
                const V sv = Load(s + i), isKey = WordsEqual(sv, k);
                if (parentCase) {
                    if (!intoParent && Any(isKey)) return Four(i, pixel);
                    Store(d + i, Select(isKey, Load(d + i), _mm_or_si128(sv, opaque)));
                } else {
                    Store(d + i, Select(isKey, hasFill ? fillv : Load(d + i), sv));
                }
            },
            pixel);
    });
}

void CopyMaskedFromMaster(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src,
                          const TacParent& ci, bool opaque, int maskOffset) {
    int dx, dy, sx, sy, w, h;
    if (!ClipRectPair(dst, src, dstRect, srcRect, dx, dy, sx, sy, w, h)) return;
    const bool hasFill = ci.FillColor != kNoColor;
    const std::uint32_t fill = SwapRedBlue(static_cast<std::uint32_t>(ci.FillColor));
    // Key words are mixed like the others only when the parent is ready and
    // the copy is not opaque; else they take the parent, the fill or stay.
    const bool keyMixed = ci.Ready && !opaque;
    const bool forceOpaque = ci.Ready && opaque;
    const bool simd = !Overlap(dst, src);
    const bool parentApart = forceOpaque && ci.Bmp != nullptr && ci.Bmp->Valid() && !Overlap(dst, *ci.Bmp);
    const V opaqueAlpha = Splat(0xFF000000u), fillv = Splat(fill);
    for (int j = 0; j < h; ++j) {
        const long long my = std::clamp<long long>(static_cast<long long>(sy) + j + maskOffset, 0, src.Height - 1);
        const std::uint32_t* s = src.Row(sy + j) + sx;
        const std::uint32_t* m = src.Row(static_cast<int>(my)) + sx;
        std::uint32_t* d = dst.Row(dy + j) + dx;
        // The parent's row under this one and the columns i of it that lie
        // inside the parent's image (none without one).
        const std::uint32_t* parentRow = nullptr;
        long long parentFrom = 0, parentTo = 0;
        if (parentApart) {
            const long long py = static_cast<long long>(dy) + j + ci.Y;
            const long long px = static_cast<long long>(dx) + ci.X;
            if (py >= 0 && py < ci.Bmp->Height) {
                parentRow = ci.Bmp->Row(static_cast<int>(py));
                parentFrom = std::max<long long>(-px, 0);
                parentTo = std::min<long long>(ci.Bmp->Width - px, w);
                parentRow += px;
            }
        }
        auto pixel = [&](int i) {
            if (s[i] == kKeyPixel && !keyMixed) {
                std::uint32_t word;
                if (ci.Ready) {   // and opaque
                    if (ci.Read(dx + i, dy + j, word)) d[i] = word | 0xFF000000u;
                } else if (opaque && hasFill) {
                    d[i] = fill;
                }
                return;
            }
            std::uint32_t v = forceOpaque ? 0xFF000000u : (d[i] & 0xFF000000u);
            for (int shift = 0; shift <= 16; shift += 8)
                v |= Put(StdMix(Ch(s[i], shift), Ch(d[i], shift), Ch(m[i], shift)), shift);
            d[i] = v;
        };
        RunRow(
            w, simd,
            [&](int i) {
                const V sv = Load(s + i), isKey = WordsEqual(sv, kKeyPixel);
                if (ci.Ready && !keyMixed && Any(isKey)) {
                    // Key words show the parent, made opaque.
                    if (parentRow == nullptr || i < parentFrom || i + 4 > parentTo) return Four(i, pixel);
                    const V mixed = WithAlphaOf(StdMix(sv, Load(d + i), Load(m + i)), opaqueAlpha);
                    Store(d + i, Select(isKey, _mm_or_si128(Load(parentRow + i), opaqueAlpha), mixed));
                    return;
                }
                const V dv = Load(d + i);
                V v = WithAlphaOf(StdMix(sv, dv, Load(m + i)), forceOpaque ? opaqueAlpha : dv);
                if (!keyMixed) v = Select(isKey, (opaque && hasFill) ? fillv : dv, v);
                Store(d + i, v);
            },
            pixel);
    }
}

namespace {

// One pixel of CopyAlphaImage toward Target (the source or its tint) by W.
inline std::uint32_t MoveToward(std::uint32_t d, std::uint32_t target, int w) { return MixColour(d, target, w); }

std::uint32_t TintTarget(std::uint32_t s, TColor tint) {
    const int grey = (Ch(s, 0) + Ch(s, 8) + Ch(s, 16)) / 3;
    const auto t = static_cast<std::uint32_t>(tint);
    // The tint is 0x00BBGGRR; pixel channel at shift 0 is blue.
    auto channel = [&](int tintShift) { return std::min(255, RoundHalfEven(grey * (Ch(t, tintShift) / 255.0))); };
    return Put(channel(16), 0) | Put(channel(8), 8) | Put(channel(0), 16);
}

}  // namespace

void CopyAlphaImage(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src, const TacParent& ci,
                    bool useParent, TColor tintColor, int blendPercent, bool reflected) {
    int dx, dy, sx, sy, w, h;
    if (!ClipRectPair(dst, src, dstRect, srcRect, dx, dy, sx, sy, w, h)) return;
    const int p = ClampPercent(blendPercent);
    const bool tinted = tintColor != kNoTint;
    const bool fromParent = useParent && ci.Ready;
    // The tint's targets are floating values: that path runs pixel by pixel.
    const bool simd = !tinted && !Overlap(dst, src);
    const V keep = Splat16(100 - p);
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = src.Row(sy + j) + sx;
        std::uint32_t* d = dst.Row(dy + j) + dx;
        auto pixel = [&](int i) {
            if (s[i] == kKeyPixel) {
                std::uint32_t word;
                if (fromParent && ci.Read(dx + i, dy + j, word)) d[i] = word;
                return;
            }
            const int a = Ch(s[i], 24);
            const int wgt = p == 0 ? a : (100 - p) * a / 100;
            const std::uint32_t target = tinted ? TintTarget(s[i], tintColor) : s[i];
            std::uint32_t v = MoveToward(d[i], target, wgt);
            if (!tinted && p == 0) v = (v & 0x00FFFFFFu) | Put(std::max(Ch(d[i], 24), a), 24);
            d[i] = v;
        };
        // A key word has alpha 0: weight 0 and the larger alpha leave the
        // pixel as it is, so only the parent case treats keys apart.
        if (simd && p == 0 && !fromParent) {
            // The common case, eight pixels a step.
            int i = 0;
            for (; i + 8 <= w; i += 8) {
                Store(d + i, AlphaOver(Load(d + i), Load(s + i)));
                Store(d + i + 4, AlphaOver(Load(d + i + 4), Load(s + i + 4)));
            }
            if (i + 4 <= w) {
                Store(d + i, AlphaOver(Load(d + i), Load(s + i)));
                i += 4;
            }
            for (; i < w; ++i) pixel(i);
            continue;
        }
        RunRow(
            w, simd,
            [&](int i) {
                const V sv = Load(s + i);
                if (fromParent && Any(WordsEqual(sv, kKeyPixel))) return Four(i, pixel);
                const V dv = Load(d + i);
                if (p == 0)
                    Store(d + i, AlphaOver(dv, sv));
                else
                    Store(d + i, WithAlphaOf(StdMix(dv, sv, SpreadByte(Div100(Mul16(AlphaOf(sv), keep)))), dv));
            },
            pixel);
    }
    if (!reflected) return;
    // The mirror below the copied rectangle reads only rows of the copied
    // source block.
    const int half = src.Height / 2;
    int n = std::min(half, dst.Height - (dy + h) - 1);
    if (n < 1 || half < 1) return;
    const int step = 255 / half;
    const int srcBottom = sy + h;
    const bool simdMirror = !Overlap(dst, src);
    for (int k = 1; k <= n; ++k) {
        const int srow = srcBottom - k - 1;
        if (srow < sy) break;
        const int fade = 255 - (k - 1) * step;
        if (fade <= 0) break;
        const std::uint32_t* s = src.Row(srow) + sx;
        std::uint32_t* d = dst.Row(dy + h + k) + dx;
        const V fadev = Splat16(fade);
        // Key words (alpha 0) get weight 0 and stay.
        RunRow(
            w, simdMirror,
            [&](int i) {
                const V sv = Load(s + i), a = AlphaOf(sv);
                const V part = p != 0 ? Div300(Mul16(a, keep)) : Div3(a);
                const V dv = Load(d + i);
                Store(d + i, WithAlphaOf(StdMix(dv, sv, SpreadByte(Div255(Mul16(part, fadev)))), dv));
            },
            [&](int i) {
                if (s[i] == kKeyPixel) return;
                const int a = Ch(s[i], 24);
                int wgt = p != 0 ? ((100 - p) * a / 300) * fade / 255 : fade * (a / 3) / 255;
                wgt = std::max(wgt, 0);
                d[i] = MixColour(d[i], s[i], wgt);
            });
    }
}

namespace {

// Fills the part of a rounded rectangle R (corner radius Radius, in mask
// coordinates) that lies in the mask window Win, which is stored row by row.
void FillRoundRectMask(std::vector<std::uint8_t>& mask, const TRect& win, const TRect& r, int radius,
                       std::uint8_t grey) {
    const int w = r.Width(), h = r.Height();
    if (w <= 0 || h <= 0) return;
    radius = std::clamp(radius, 0, std::min(w, h) / 2);
    const int y1 = std::max(r.Top, win.Top), y2 = std::min(r.Bottom, win.Bottom);
    for (int yy = y1; yy < y2; ++yy) {
        const int y = yy - r.Top;
        int inset = 0;
        if (radius > 0) {
            // Distance from the corner circle's centre row.
            const double cy = y < radius ? radius - y - 0.5 : (y >= h - radius ? y - (h - radius) + 0.5 : -1);
            if (cy >= 0)
                inset = static_cast<int>(
                    std::ceil(radius - std::sqrt(std::max(0.0, double(radius) * radius - cy * cy)) - 0.5));
        }
        const int x1 = std::max(r.Left + inset, win.Left), x2 = std::min(r.Right - inset, win.Right);
        std::uint8_t* row = &mask[static_cast<std::size_t>(yy - win.Top) * win.Width()];
        for (int x = x1; x < x2; ++x) row[x - win.Left] = grey;
    }
}

}  // namespace

void PaintRoundShadow(const TacBits32& bmp, const TRect& r, int percent, TColor color, int depth, int radius) {
    if (!bmp.Valid() || r.IsEmpty()) return;
    const TRect clipped = ClipTo(r, bmp.Width, bmp.Height);
    if (clipped.IsEmpty()) return;
    // Shadows larger than any window are bad geometry.
    constexpr long long kMaxSide = 1 << 15;
    if (static_cast<long long>(r.Right) - r.Left > kMaxSide || static_cast<long long>(r.Bottom) - r.Top > kMaxSide)
        return;
    const int w = r.Width(), h = r.Height();
    const int steps = std::max(0, std::min({w / 2, h / 2, depth}));
    const int corner = std::max(0, std::min({w / 2, h / 2, radius}));
    const int g = ClampPercent(percent) * 255 / 100;
    // The mask covers only the visible part of R: window = clipped part in
    // R's own coordinates. Outside the outer rounded rectangle the pixel is
    // kept (white).
    const TRect win(clipped.Left - r.Left, clipped.Top - r.Top, clipped.Right - r.Left, clipped.Bottom - r.Top);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(win.Width()) * win.Height(), 255);
    FillRoundRectMask(mask, win, TRect(0, 0, w, h), corner, 255);
    for (int i = 0; i < steps; ++i) {
        const int grey = g + RoundHalfEven((255.0 - g) / (steps + 1) * (steps - i));
        FillRoundRectMask(mask, win, TRect(i + 1, i + 1, w - i - 1, h - i - 1), corner, static_cast<std::uint8_t>(grey));
    }
    const auto c = SwapRedBlue(static_cast<std::uint32_t>(color));
    const V cv = Splat(c);
    for (int y = clipped.Top; y < clipped.Bottom; ++y) {
        std::uint32_t* row = bmp.Row(y) + clipped.Left;
        const std::uint8_t* m = &mask[static_cast<std::size_t>(y - clipped.Top) * win.Width()];
        ForRow(
            clipped.Width(),
            [&](int i) {
                std::uint32_t four;
                std::memcpy(&four, m + i, 4);
                const V zero = _mm_setzero_si128();
                const V mv = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero), zero);
                const V rv = Load(row + i);
                Store(row + i, WithAlphaOf(StdMix(cv, rv, SpreadByte(mv)), rv));
            },
            [&](int i) {
                const int mv = m[i];
                std::uint32_t v = row[i] & 0xFF000000u;
                for (int shift = 0; shift <= 16; shift += 8) v |= Put(StdMix(Ch(c, shift), Ch(row[i], shift), mv), shift);
                row[i] = v;
            });
    }
}
