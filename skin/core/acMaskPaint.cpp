// Nine-part and glyph masks over pixel views. Every routine clips the skin's
// geometry to the image and every write to the target before touching a
// pixel; tiling steps of 0 or less are skipped, and tiles wholly outside the
// target are never visited.
#include "acMaskPaint.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "acFilters.h"
#include "acFrameGeometry.h"
#include "acPixelsSimd.h"
#include "acResample.h"

namespace {

using ll = long long;

// Coordinates and extents beyond this are no geometry anyone paints.
constexpr ll kLimit = ll{1} << 28;

constexpr int Ch(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFFu); }
constexpr std::uint32_t Put(int v, int shift) { return static_cast<std::uint32_t>(v & 0xFF) << shift; }
constexpr TColor kKeyColor = 0xFF00FF;

ll Span(int a, int b) { return std::max<ll>(ll{b} - a, 0); }

bool Sane(ll v) { return v >= -kLimit && v <= kLimit; }

// The mask rule: per colour channel the mask byte m is the weight of what
// lies below: d = ((d - s) * m + s * 256) shr 8. Alpha stays.
inline std::uint32_t MaskMix(std::uint32_t d, std::uint32_t s, std::uint32_t m) {
    // A mask of 0 shows the image exactly: the common case inside a frame.
    if ((m & 0x00FFFFFFu) == 0) return (d & 0xFF000000u) | (s & 0x00FFFFFFu);
    std::uint32_t v = d & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) v |= Put(StdMix(Ch(s, shift), Ch(d, shift), Ch(m, shift)), shift);
    return v;
}

// The mask rule over a row of N pixels, four at a time: it is the standard
// mix from the image toward what lies below, by the mask byte.
void MaskMixRow(std::uint32_t* D, const std::uint32_t* S, const std::uint32_t* M, int N) {
    using namespace acsimd;
    ForRow(
        N,
        [&](int i) {
            const V d = Load(D + i);
            Store(D + i, WithAlphaOf(StdMix(Load(S + i), d, Load(M + i)), d));
        },
        [&](int i) { D[i] = MaskMix(D[i], S[i], M[i]); });
}

// MaskMixRow with the image and mask pixels of target column i taken from
// column Columns[i] of the rows S and M.
void MaskMixGathered(std::uint32_t* D, const std::uint32_t* S, const std::uint32_t* M, const int* Columns, int N) {
    using namespace acsimd;
    auto gather = [&](const std::uint32_t* row, int i) {
        return _mm_set_epi32(static_cast<int>(row[Columns[i + 3]]), static_cast<int>(row[Columns[i + 2]]),
                             static_cast<int>(row[Columns[i + 1]]), static_cast<int>(row[Columns[i]]));
    };
    ForRow(
        N,
        [&](int i) {
            const V d = Load(D + i);
            Store(D + i, WithAlphaOf(StdMix(gather(S, i), d, gather(M, i)), d));
        },
        [&](int i) { D[i] = MaskMix(D[i], S[Columns[i]], M[Columns[i]]); });
}

// Clips a W x H block from (sx, sy) of a SrcW x SrcH source to (dx, dy) of
// Dst; false when nothing is left.
bool ClipBlock(const TacBits32& dst, ll srcW, ll srcH, int& dx, int& dy, int& sx, int& sy, ll w, ll h, int& outW,
               int& outH) {
    if (!dst.Valid() || srcW <= 0 || srcH <= 0) return false;
    ll DX = dx, DY = dy, SX = sx, SY = sy;
    auto clip = [](ll& d, ll& s, ll& n, ll dLimit, ll sLimit) {
        if (d < 0) { s -= d; n += d; d = 0; }
        if (s < 0) { d -= s; n += s; s = 0; }
        n = std::min({n, dLimit - d, sLimit - s});
    };
    clip(DX, SX, w, dst.Width, srcW);
    clip(DY, SY, h, dst.Height, srcH);
    if (w <= 0 || h <= 0) return false;
    dx = static_cast<int>(DX), dy = static_cast<int>(DY), sx = static_cast<int>(SX), sy = static_cast<int>(SY);
    outW = static_cast<int>(w), outH = static_cast<int>(h);
    return true;
}

// The copy size of two rectangles: the smaller of both, negative origins
// shifted, clipped to Dst and to SrcW x SrcH.
bool ClipPair(const TacBits32& dst, ll srcW, ll srcH, const TRect& dr, const TRect& sr, int& dx, int& dy, int& sx,
              int& sy, int& w, int& h) {
    dx = dr.Left, dy = dr.Top, sx = sr.Left, sy = sr.Top;
    return ClipBlock(dst, srcW, srcH, dx, dy, sx, sy, std::min(Span(dr.Left, dr.Right), Span(sr.Left, sr.Right)),
                     std::min(Span(dr.Top, dr.Bottom), Span(sr.Top, sr.Bottom)), w, h);
}

// The part of [a, b) that lies inside [0, limit).
void Visible(ll a, ll b, ll limit, ll& from, ll& to) {
    from = std::max<ll>(a, 0);
    to = std::min<ll>(b, limit);
}

TacPixelView ViewAt(const TacBits32& bits, int x, int y, int w, int h) {
    return {bits.Row0 + bits.Stride * y + 4 * static_cast<std::ptrdiff_t>(x), w, h, bits.Stride, 4};
}

TacPixelView ViewOf(TacImage32& image) {
    const TacBits32 bits = image.Bits();
    return {bits.Row0, bits.Width, bits.Height, bits.Stride, 4};
}

// The inclusive form of a rectangle; an edge at the lowest integer stays
// there (such a rectangle lies outside every image).
TRect Inclusive(const TRect& r) {
    constexpr int lowest = std::numeric_limits<int>::min();
    return TRect(r.Left, r.Top, r.Right == lowest ? lowest : r.Right - 1, r.Bottom == lowest ? lowest : r.Bottom - 1);
}

}  // namespace

// ---- the skin image ---------------------------------------------------------

int TacMaskSource::MaskOffset() const {
    if (Mask == nullptr || Mask->MaskType <= 0) return 0;
    return MaskFrameHeight(*Mask);
}

TRect TacMaskSource::Frame(int Index) const {
    if (!Valid() || Mask->ImageCount <= 0 || Mask->MaskType < 0) return {};
    const int fw = MaskFrameWidth(*Mask), fh = MaskFrameHeight(*Mask);
    if (fw <= 0 || fh <= 0) return {};
    const ll i = std::clamp<ll>(Index, 0, Mask->ImageCount - 1);
    const ll left = ll{Mask->R.Left} + i * fw, top = Mask->R.Top;
    const ll l = std::max<ll>(left, 0), t = std::max<ll>(top, 0);
    const ll r = std::min<ll>(left + fw, Image.Width), b = std::min<ll>(top + fh, ll{Image.Height} - MaskOffset());
    if (l >= r || t >= b) return {};
    return TRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b));
}

TacMaskSource MaskSourceOf(const TsMaskData& Mask, const TacImage32* Master) {
    TacMaskSource src;
    src.Mask = &Mask;
    src.OwnImage = Mask.Bmp != nullptr;
    const TacImage32* image = src.OwnImage ? Mask.Bmp.get() : Master;
    if (image != nullptr) src.Image = image->View();
    return src;
}

// ---- block transfers ----------------------------------------------------------

void TacBlitter::Copy(const TacBits32& Dst, int X, int Y, const TacBits32& Src, const TRect& SrcRect) {
    if (!Src.Valid()) return;
    int sx = SrcRect.Left, sy = SrcRect.Top, w, h;
    if (!ClipBlock(Dst, Src.Width, Src.Height, X, Y, sx, sy, Span(SrcRect.Left, SrcRect.Right),
                   Span(SrcRect.Top, SrcRect.Bottom), w, h))
        return;
    for (int j = 0; j < h; ++j) std::memmove(Dst.Row(Y + j) + X, Src.Row(sy + j) + sx, static_cast<std::size_t>(w) * 4);
}

void TacBlitter::Stretch(const TacBits32& Dst, const TRect& DstRect, const TacBits32& Src, const TRect& SrcRect) {
    if (!Dst.Valid() || !Src.Valid()) return;
    const ll sl = std::max(SrcRect.Left, 0), st = std::max(SrcRect.Top, 0);
    const ll sw = std::min<ll>(SrcRect.Right, Src.Width) - sl, sh = std::min<ll>(SrcRect.Bottom, Src.Height) - st;
    const ll dw = Span(DstRect.Left, DstRect.Right), dh = Span(DstRect.Top, DstRect.Bottom);
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    ll x0, x1, y0, y1;
    Visible(DstRect.Left, ll{DstRect.Left} + dw, Dst.Width, x0, x1);
    Visible(DstRect.Top, ll{DstRect.Top} + dh, Dst.Height, y0, y1);
    if (x0 >= x1 || y0 >= y1) return;
    std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
    for (ll x = x0; x < x1; ++x)
        columns[static_cast<std::size_t>(x - x0)] = static_cast<int>(sl + (x - DstRect.Left) * sw / dw);
    for (ll y = y0; y < y1; ++y) {
        const std::uint32_t* s = Src.Row(static_cast<int>(st + (y - DstRect.Top) * sh / dh));
        std::uint32_t* d = Dst.Row(static_cast<int>(y));
        for (ll x = x0; x < x1; ++x) d[x] = s[columns[static_cast<std::size_t>(x - x0)]];
    }
}

// ---- copy kernels -------------------------------------------------------------

void CopyMasterRect(const TRect& DstRect, const TRect& SrcRect, const TacBits32& Dst, const TacBits32& Src,
                    int MaskOffset, const TacParent& Parent) {
    if (!Src.Valid() || MaskOffset < 0) return;
    int dx, dy, sx, sy, w, h;
    if (!ClipPair(Dst, Src.Width, ll{Src.Height} - MaskOffset, DstRect, SrcRect, dx, dy, sx, sy, w, h)) return;
    const bool hasFill = Parent.FillColor != kNoColor;
    const bool fromParent = Parent.Ready && !hasFill;
    const std::uint32_t fill = OpaquePixel(Parent.FillColor);
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = Src.Row(sy + j) + sx;
        const std::uint32_t* m = Src.Row(sy + j + MaskOffset) + sx;
        std::uint32_t* d = Dst.Row(dy + j) + dx;
        for (int i = 0; i < w; ++i) {
            if (s[i] != kKeyPixel) {
                d[i] = MaskMix(d[i], s[i], m[i]);
            } else if (fromParent) {
                std::uint32_t word;
                if (Parent.Read(dx + i, dy + j, word)) d[i] = word | 0xFF000000u;
            } else if (hasFill) {
                d[i] = fill;
            }
        }
    }
}

void StretchCopy32(int X, int Y, int W, int H, bool Smooth, int MaskOffset, const TacBits32& Src,
                   const TacBits32& Dst, int SrcX, int SrcY, int SrcW, int SrcH, TacBlitter& Blitter) {
    if (W <= 0 || H <= 0 || SrcW <= 0 || SrcH <= 0 || MaskOffset < 0) return;
    if (!Src.Valid() || !Dst.Valid() || Dst.Width < 2 || Dst.Height < 2) return;
    if (!Sane(X) || !Sane(Y) || W > kLimit || H > kLimit) return;
    // The source's image rows and their mask rows lie inside Src.
    const ll l = std::max(SrcX, 0), t = std::max(SrcY, 0);
    const ll r = std::min<ll>(ll{SrcX} + SrcW, Src.Width), b = std::min<ll>(ll{SrcY} + SrcH, ll{Src.Height} - MaskOffset);
    if (l >= r || t >= b) return;
    const int sl = static_cast<int>(l), st = static_cast<int>(t), sw = static_cast<int>(r - l),
              sh = static_cast<int>(b - t);
    if (MaskOffset == 0) {
        Blitter.Stretch(Dst, TRect(X, Y, X + W, Y + H), Src, TRect(sl, st, sl + sw, st + sh));
        return;
    }
    ll x0, x1, y0, y1;
    Visible(X, ll{X} + W, Dst.Width, x0, x1);
    Visible(Y, ll{Y} + H, Dst.Height, y0, y1);
    if (x0 >= x1 || y0 >= y1) return;
    if (sw == 1 && sh == 1 && Smooth) {
        const std::uint32_t s = Src.At(sl, st), m = Src.At(sl, st + MaskOffset);
        if ((m & 0x00FFFFFFu) == 0x00FFFFFFu) return;
        for (ll y = y0; y < y1; ++y)
            for (ll x = x0; x < x1; ++x) Dst.At(static_cast<int>(x), static_cast<int>(y)) =
                MaskMix(Dst.At(static_cast<int>(x), static_cast<int>(y)), s, m);
        return;
    }
    const bool filtered = Smooth || (W < sw && H == sh) || (H < sh && W == sw);
    if (!filtered) {
        // Each target pixel takes one image pixel and its mask pixel; the
        // source columns are worked out once.
        const int n = static_cast<int>(x1 - x0);
        if (W == sw) {
            // Columns one to one: the rows are read in place.
            const int from = sl + static_cast<int>(x0 - X);
            for (ll y = y0; y < y1; ++y) {
                const int row = st + static_cast<int>((y - Y) * sh / H);
                MaskMixRow(Dst.Row(static_cast<int>(y)) + x0, Src.Row(row) + from, Src.Row(row + MaskOffset) + from,
                           n);
            }
            return;
        }
        // The source column of each target column, stepped without division.
        std::vector<int> columns(static_cast<std::size_t>(n));
        {
            const ll start = (x0 - X) * sw;
            ll q = start / W, r = start % W;
            for (int i = 0; i < n; ++i) {
                columns[static_cast<std::size_t>(i)] = sl + static_cast<int>(q);
                for (r += sw; r >= W; r -= W) ++q;
            }
        }
        if (sh >= H) {
            // Every target row has a source row of its own.
            for (ll y = y0; y < y1; ++y) {
                const int row = st + static_cast<int>((y - Y) * sh / H);
                MaskMixGathered(Dst.Row(static_cast<int>(y)) + x0, Src.Row(row), Src.Row(row + MaskOffset),
                                columns.data(), n);
            }
            return;
        }
        // Source rows repeat: each is gathered once.
        std::vector<std::uint32_t> image(static_cast<std::size_t>(n)), mask(static_cast<std::size_t>(n));
        int gathered = -1;
        for (ll y = y0; y < y1; ++y) {
            const int row = st + static_cast<int>((y - Y) * sh / H);
            if (row != gathered) {
                const std::uint32_t* s = Src.Row(row);
                const std::uint32_t* m = Src.Row(row + MaskOffset);
                for (int i = 0; i < n; ++i) {
                    image[static_cast<std::size_t>(i)] = s[columns[static_cast<std::size_t>(i)]];
                    mask[static_cast<std::size_t>(i)] = m[columns[static_cast<std::size_t>(i)]];
                }
                gathered = row;
            }
            MaskMixRow(Dst.Row(static_cast<int>(y)) + x0, image.data(), mask.data(), n);
        }
        return;
    }
    if (static_cast<std::uint64_t>(W) * static_cast<std::uint64_t>(H) > acMaxImagePixels) return;
    TacImage32 image(W, H), mask(W, H);
    ResamplePixelsForPaint(ViewAt(Src, sl, st, sw, sh), ViewOf(image), 6);
    ResamplePixelsForPaint(ViewAt(Src, sl, st + MaskOffset, sw, sh), ViewOf(mask), 2);
    for (ll y = y0; y < y1; ++y)
        MaskMixRow(Dst.Row(static_cast<int>(y)) + x0, image.Row(static_cast<int>(y - Y)) + (x0 - X),
                   mask.Row(static_cast<int>(y - Y)) + (x0 - X), static_cast<int>(x1 - x0));
}

void CopyGlyphThroughMask(const TacBits32& Dst, int X, int Y, const TacBits32& Src, const TRect& SrcRect,
                          int MaskOffset, int Mode) {
    if (!Src.Valid() || MaskOffset < 0) return;
    if (MaskOffset == 0) {
        CopyTransparentRect(Dst, Src, X, Y, Inclusive(SrcRect), kKeyColor);
        return;
    }
    int sx = SrcRect.Left, sy = SrcRect.Top, w, h;
    if (!ClipBlock(Dst, Src.Width, ll{Src.Height} - MaskOffset, X, Y, sx, sy, Span(SrcRect.Left, SrcRect.Right),
                   Span(SrcRect.Top, SrcRect.Bottom), w, h))
        return;
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = Src.Row(sy + j) + sx;
        const std::uint32_t* m = Src.Row(sy + j + MaskOffset) + sx;
        std::uint32_t* d = Dst.Row(Y + j) + X;
        for (int i = 0; i < w; ++i) {
            if (s[i] == kKeyPixel) continue;
            const int e = Ch(m[i], 16);
            if (e >= 255) continue;
            const int faint = std::min(e + 100, 255);
            const int da = Ch(d[i], 24);
            std::uint32_t v = Put(da + (255 - e) * (255 - da) / 255, 24);
            for (int shift = 0; shift <= 16; shift += 8)
                v |= Put(StdMix(Ch(s[i], shift), Ch(d[i], shift), Mode == 1 ? Ch(m[i], shift) : faint), shift);
            d[i] = v;
        }
    }
}

TPoint MaskCornerOrigin(const TsMaskData& Mask, int Kind) {
    const ll right = ll{Mask.R.Left} + MaskFrameWidth(Mask) - Mask.WR;
    const ll bottom = ll{Mask.R.Top} + MaskFrameHeight(Mask) - Mask.WB;
    auto fit = [](ll v) { return static_cast<int>(std::clamp<ll>(v, INT32_MIN, INT32_MAX)); };
    switch (Kind) {
    case 14: return TPoint(fit(right), Mask.R.Top);
    case 16: return TPoint(Mask.R.Left, fit(bottom));
    case 17: return TPoint(fit(right), fit(bottom));
    default: return TPoint(Mask.R.Left, Mask.R.Top);
    }
}

void CopyTransparentPixels(const TacBits32& Dst, const TacBits32& Src, const TRect& DstRect,
                           const TacBits32* MaskImage, TPoint MaskOrigin, TPoint SrcPoint) {
    if (!Dst.Valid() || !Src.Valid() || (MaskImage != nullptr && !MaskImage->Valid())) return;
    ll x0, x1, y0, y1;
    Visible(DstRect.Left, DstRect.Right, Dst.Width, x0, x1);
    Visible(DstRect.Top, DstRect.Bottom, Dst.Height, y0, y1);
    auto inside = [](const TacBits32& b, ll x, ll y) { return x >= 0 && y >= 0 && x < b.Width && y < b.Height; };
    for (ll y = y0; y < y1; ++y) {
        std::uint32_t* d = Dst.Row(static_cast<int>(y));
        const ll j = y - DstRect.Top;
        for (ll x = x0; x < x1; ++x) {
            const ll i = x - DstRect.Left;
            if (MaskImage != nullptr) {
                const ll mx = MaskOrigin.X + i, my = MaskOrigin.Y + j;
                if (!inside(*MaskImage, mx, my)) continue;
                if ((MaskImage->At(static_cast<int>(mx), static_cast<int>(my)) & 0x00FFFFFFu) != 0x00FF00FFu) continue;
            } else if (d[x] != kKeyPixel) {
                continue;
            }
            const ll sx = SrcPoint.X + i, sy = SrcPoint.Y + j;
            if (inside(Src, sx, sy)) d[x] = Src.At(static_cast<int>(sx), static_cast<int>(sy));
        }
    }
}

// ---- corners against the parent ------------------------------------------------

void FillCornerKey(const TacBits32& Cache, int X, int Y, int W, int H, const TacBits32& MaskImage, int SrcX,
                   int SrcY, const TacParent& Parent) {
    if (!MaskImage.Valid()) return;
    const bool fromImage = Parent.Ready && Parent.Bmp != nullptr && Parent.Bmp->Valid();
    if (!fromImage && Parent.FillColor == kNoColor) return;
    const std::uint32_t fill = OpaquePixel(Parent.FillColor);
    int w, h;
    if (!ClipBlock(Cache, MaskImage.Width, MaskImage.Height, X, Y, SrcX, SrcY, W, H, w, h)) return;
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* m = MaskImage.Row(SrcY + j) + SrcX;
        std::uint32_t* d = Cache.Row(Y + j) + X;
        for (int i = 0; i < w; ++i) {
            if (m[i] != kKeyPixel) continue;
            std::uint32_t word;
            if (!fromImage) d[i] = fill;
            else if (Parent.Read(X + i, Y + j, word)) d[i] = word | 0xFF000000u;
        }
    }
}

void RepaintCornerKeys(const TacBits32& Cache, const TacMaskSource& Src, int State, const TacParent& Parent) {
    if (!Cache.Valid() || !Src.Valid()) return;
    const TRect f = Src.Frame(State);
    if (f.Right <= f.Left || f.Bottom <= f.Top) return;
    const TsMaskData& m = *Src.Mask;
    const int fw = f.Right - f.Left, fh = f.Bottom - f.Top;
    const int wl = std::clamp<int>(m.WL, 0, fw), wr = std::clamp<int>(m.WR, 0, fw);
    const int wt = std::clamp<int>(m.WT, 0, fh), wb = std::clamp<int>(m.WB, 0, fh);
    const int cw = Cache.Width, ch = Cache.Height;
    FillCornerKey(Cache, 0, 0, wl, wt, Src.Image, f.Left, f.Top, Parent);
    FillCornerKey(Cache, 0, ch - wb, wl, wb, Src.Image, f.Left, f.Bottom - wb, Parent);
    FillCornerKey(Cache, cw - wr, ch - wb, wr, wb, Src.Image, f.Right - wr, f.Bottom - wb, Parent);
    FillCornerKey(Cache, cw - wr, 0, wr, wt, Src.Image, f.Right - wr, f.Top, Parent);
}

// ---- the two drawing routines ----------------------------------------------------

void DrawSkinRect(const TacBits32& Bmp, const TRect& R, bool UseParent, int State, const TacMaskSource& Src,
                  const TacParent& Parent, TacBlitter& Blitter) {
    if (!Bmp.Valid() || !Src.Valid()) return;
    const TsMaskData& mask = *Src.Mask;
    if (State == 0 && (mask.DrawMode & dmNotInNormal) != 0) return;
    const ll rw = Span(R.Left, R.Right), rh = Span(R.Top, R.Bottom);
    if (rw < 2 || rh < 2) return;
    if (!Sane(R.Left) || !Sane(R.Top) || rw > kLimit || rh > kLimit) return;
    const TRect f = Src.Frame(State);
    if (f.Right <= f.Left || f.Bottom <= f.Top) return;
    const TRect margins = FitNinePartMargins(TRect(std::max<int>(mask.WL, 0), std::max<int>(mask.WT, 0),
                                                   std::max<int>(mask.WR, 0), std::max<int>(mask.WB, 0)),
                                             static_cast<int>(rw), static_cast<int>(rh));
    const TacNineSlices nine =
        NinePartSlices(f, TRect(R.Left, R.Top, R.Left + static_cast<int>(rw), R.Top + static_cast<int>(rh)), margins);
    if (!nine.Valid) return;

    const bool masked = mask.MaskType > 0;
    const int maskOffset = Src.MaskOffset();
    const bool cornerParent = UseParent && mask.CornerType > 0;
    const bool stretch = (mask.DrawMode & dmStretch) != 0;
    const TacParent below;   // sides and centre mix over what Bmp holds

    auto corner = [&](int x, int y, int w, int h, int sx, int sy) {
        if (w <= 0 || h <= 0) return;
        if (masked)
            CopyMaskedFromMaster(TRect(x, y, x + w, y + h), TRect(sx, sy, sx + w, sy + h), Bmp, Src.Image, Parent,
                                 cornerParent, maskOffset);
        else
            CopyMaskedRect(Bmp, Src.Image, x, y, TRect(sx, sy, sx + w - 1, sy + h - 1), kKeyColor, Parent,
                           cornerParent);
    };
    auto block = [&](int x, int y, int w, int h, int sx, int sy) {
        if (masked)
            CopyMaskedFromMaster(TRect(x, y, x + w, y + h), TRect(sx, sy, sx + w, sy + h), Bmp, Src.Image, below,
                                 false, maskOffset);
        else
            Blitter.Copy(Bmp, x, y, Src.Image, TRect(sx, sy, sx + w, sy + h));
    };
    // A side or the centre: Dst covered by the source piece S, stretched or
    // tiled from Dst's top-left with the last tiles clipped.
    auto cover = [&](const TRect& d, const TRect& s) {
        const int sw = s.Right - s.Left, sh = s.Bottom - s.Top;
        if (d.Right <= d.Left || d.Bottom <= d.Top || sw <= 0 || sh <= 0) return;
        if (stretch) {
            StretchCopy32(d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top, false, maskOffset, Src.Image, Bmp,
                          s.Left, s.Top, sw, sh, Blitter);
            return;
        }
        // Tiles wholly before the bitmap's left or top edge are skipped.
        const int x0 = d.Left < 0 ? d.Left + static_cast<int>(ll{-d.Left} / sw * sw) : d.Left;
        const int y0 = d.Top < 0 ? d.Top + static_cast<int>(ll{-d.Top} / sh * sh) : d.Top;
        for (ll y = y0; y < d.Bottom && y < Bmp.Height; y += sh)
            for (ll x = x0; x < d.Right && x < Bmp.Width; x += sw)
                block(static_cast<int>(x), static_cast<int>(y), static_cast<int>(std::min<ll>(sw, d.Right - x)),
                      static_cast<int>(std::min<ll>(sh, d.Bottom - y)), s.Left, s.Top);
    };

    for (int part : {npTopLeft, npTopRight, npBottomLeft, npBottomRight}) {
        const TRect& d = nine.Dst[part];
        corner(d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top, nine.Src[part].Left, nine.Src[part].Top);
    }
    for (int part : {npTop, npBottom, npLeft, npRight}) cover(nine.Dst[part], nine.Src[part]);
    if ((mask.DrawMode & dmCentre) != 0) cover(nine.Dst[npCentre], nine.Src[npCentre]);
}

void DrawGlyphMask(const TacBits32& Bmp, TPoint P, int State, const TacParent& Parent, const TacMaskSource& Src,
                   int Mode) {
    if (!Bmp.Valid() || !Src.Valid()) return;
    TRect f = Src.Frame(State);
    // Negative coordinates cut off the frame's left columns and top rows.
    ll x = P.X, y = P.Y;
    if (x < 0) f.Left = static_cast<int>(std::min<ll>(f.Left - x, f.Right)), x = 0;
    if (y < 0) f.Top = static_cast<int>(std::min<ll>(f.Top - y, f.Bottom)), y = 0;
    if (f.Right <= f.Left || f.Bottom <= f.Top) return;
    const int px = static_cast<int>(x), py = static_cast<int>(y);
    if (Src.OwnImage || Src.Mask->MaskType > 0)
        CopyGlyphThroughMask(Bmp, px, py, Src.Image, f, Src.MaskOffset(), Mode);
    else if (Mode == 1)
        CopyMaskedRect(Bmp, Src.Image, px, py, Inclusive(f), kKeyColor, Parent, true);
    else
        BlendTransBitmap(Bmp, px, py, Src.Image, Inclusive(f), 0.5, kKeyColor);
}

// ---- the disabled look ------------------------------------------------------------

void ApplyDisabledKind(const TacBits32& Bmp, TsDisabledKind Kind, TPoint Offset, const TacParent& Parent,
                       TColor FillColor) {
    if (!Bmp.Valid()) return;
    if (Kind.Contains(dkGrayed)) GrayscaleBitmap(Bmp);
    if (!Kind.Contains(dkBlended)) return;
    if (Parent.Ready && Parent.Bmp != nullptr && Parent.Bmp->Valid()) {
        const ll x = ll{Parent.X} + Offset.X, y = ll{Parent.Y} + Offset.Y;
        if (!Sane(x) || !Sane(y)) return;
        const int l = static_cast<int>(x), t = static_cast<int>(y);
        BlendTransBitmap(Bmp, 0, 0, *Parent.Bmp, TRect(l, t, l + Bmp.Width - 1, t + Bmp.Height - 1), 0.4,
                         kKeyColor);
    } else {
        BlendRectWithColor(Bmp, TRect(0, 0, Bmp.Width, Bmp.Height), 50, FillColor);
    }
}

// ---- a control's frame from its border mask ------------------------------------------

void CopyMaskPiece(const TacBits32& Bmp, const TRect& DstRect, TPoint SrcPos, bool CheckKey, const TacMaskSource& Src,
                   std::vector<TRect>* KeyRuns) {
    if (!Bmp.Valid() || !Src.Valid()) return;
    const int maskOffset = Src.MaskOffset();
    int dx = DstRect.Left, dy = DstRect.Top, sx = SrcPos.X, sy = SrcPos.Y, w, h;
    if (!ClipBlock(Bmp, Src.Image.Width, ll{Src.Image.Height} - maskOffset, dx, dy, sx, sy,
                   Span(DstRect.Left, DstRect.Right), Span(DstRect.Top, DstRect.Bottom), w, h))
        return;
    const TacBits32& img = Src.Image;
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = img.Row(sy + j) + sx;
        const std::uint32_t* m = maskOffset > 0 ? img.Row(sy + j + maskOffset) + sx : nullptr;
        std::uint32_t* d = Bmp.Row(dy + j) + dx;
        int run = -1;   // start of the current run of key pixels
        for (int i = 0; i <= w; ++i) {
            const bool key = i < w && CheckKey && (s[i] & 0x00FFFFFFu) == kKeyColor;
            if (key) {
                if (run < 0) run = i;
                continue;
            }
            if (run >= 0) {
                if (KeyRuns != nullptr) KeyRuns->push_back(TRect(dx + run, dy + j, dx + i, dy + j + 1));
                run = -1;
            }
            if (i == w) break;
            d[i] = m != nullptr ? MaskMix(d[i], s[i], m[i]) : s[i];
        }
    }
}

void DrawBorderMask(const TacBits32& Bmp, bool Transparent, int State, const TacMaskSource& Src,
                    std::vector<TRect>* KeyRuns, TacBlitter& Blitter) {
    if (!Bmp.Valid() || Bmp.Width < 2 || Bmp.Height < 2 || !Src.Valid() || Src.Mask->MaskType < 0) return;
    // Without frames the whole image is one cell.
    TsMaskData mask = *Src.Mask;
    if (mask.ImageCount < 1) {
        mask.ImageCount = 1;
        mask.R = TRect(0, 0, Src.Image.Width, Src.Image.Height);
    }
    TacMaskSource src = Src;
    src.Mask = &mask;
    const TRect cell = src.Frame(State);
    if (cell.Right <= cell.Left || cell.Bottom <= cell.Top) return;
    const TRect margins = FitNinePartMargins(TRect(std::max<int>(mask.WL, 0), std::max<int>(mask.WT, 0),
                                                   std::max<int>(mask.WR, 0), std::max<int>(mask.WB, 0)),
                                             Bmp.Width, Bmp.Height);
    const TacNineSlices nine = NinePartSlices(cell, TRect(0, 0, Bmp.Width, Bmp.Height), margins);
    const bool stretch = (mask.DrawMode & dmStretch) != 0;
    const int maskOffset = src.MaskOffset();

    auto corner = [&](int part) {
        const TRect& d = nine.Dst[part];
        CopyMaskPiece(Bmp, d, TPoint(nine.Src[part].Left, nine.Src[part].Top), true, src, KeyRuns);
    };
    // A side or the centre, tiled from its start with the last pieces cut,
    // or stretched; a source piece of no size is left out.
    auto cover = [&](int part) {
        const TRect& d = nine.Dst[part];
        const TRect& s = nine.Src[part];
        const int sw = s.Right - s.Left, sh = s.Bottom - s.Top;
        if (d.Right <= d.Left || d.Bottom <= d.Top || sw <= 0 || sh <= 0) return;
        if (stretch) {
            StretchCopy32(d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top, false, maskOffset, src.Image, Bmp, s.Left,
                          s.Top, sw, sh, Blitter);
            return;
        }
        for (ll y = d.Top; y < d.Bottom; y += sh)
            for (ll x = d.Left; x < d.Right; x += sw)
                CopyMaskPiece(Bmp,
                              TRect(static_cast<int>(x), static_cast<int>(y),
                                    static_cast<int>(std::min<ll>(x + sw, d.Right)),
                                    static_cast<int>(std::min<ll>(y + sh, d.Bottom))),
                              TPoint(s.Left, s.Top), false, src, nullptr);
    };
    corner(npTopLeft);
    corner(npBottomLeft);
    cover(npLeft);
    cover(npTop);
    cover(npBottom);
    cover(npRight);
    corner(npTopRight);
    corner(npBottomRight);
    if (Transparent && (mask.DrawMode & dmCentre) != 0) cover(npCentre);
}
