// The vectorised pixel kernels against plain per-pixel references of their
// rules, on random buffers: odd widths, padded and bottom-up rows, every
// weight, random rectangles reaching past the edges, key words and parent
// images (also the destination itself as the parent). Any difference in any
// byte of the buffers, guard columns included, fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "acPixels.h"

namespace {

using u32 = std::uint32_t;

struct Rng {
    std::mt19937 gen{20240611u};
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); }
    bool Chance(int oneIn) { return Int(0, oneIn - 1) == 0; }
    // Random words with plenty of key words, fuchsia with alpha and the
    // extreme alphas.
    u32 Word() {
        switch (Int(0, 9)) {
            case 0: return kKeyPixel;
            case 1: return 0xFFFF00FFu;
            case 2: return static_cast<u32>(gen()) | 0xFF000000u;
            case 3: return static_cast<u32>(gen()) & 0x00FFFFFFu;
            default: return static_cast<u32>(gen());
        }
    }
};

// A buffer with random row padding, row order and content; every byte of
// its storage (padding included) is compared.
struct Buf {
    std::vector<u32> store;
    TacBits32 bits;

    Buf(Rng& rng, int w, int h) {
        const int pitch = w + rng.Int(0, 3);
        store.resize(static_cast<std::size_t>(pitch) * h + 2);
        for (u32& v : store) v = rng.Word();
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(pitch) * 4;
        auto* base = reinterpret_cast<std::uint8_t*>(store.data() + 1);
        const bool bottomUp = rng.Chance(2);
        bits = {bottomUp ? base + (h - 1) * row : base, w, h, bottomUp ? -row : row};
    }
    // A copy views its own storage the same way.
    Buf(const Buf& o) : store(o.store), bits(o.bits) {
        bits.Row0 = reinterpret_cast<std::uint8_t*>(store.data()) + (o.bits.Row0 - Base(o));
    }
    Buf& operator=(const Buf&) = delete;
    static const std::uint8_t* Base(const Buf& b) { return reinterpret_cast<const std::uint8_t*>(b.store.data()); }
    u32& At(int x, int y) { return bits.At(x, y); }
};

int Size(Rng& rng, int largeOneIn = 8) { return rng.Chance(largeOneIn) ? rng.Int(40, 70) : rng.Int(1, 19); }
TRect RandomRect(Rng& rng, int w, int h) {
    const int l = rng.Int(-4, w + 2), t = rng.Int(-4, h + 2);
    return TRect(l, t, l + rng.Int(-1, w + 6), t + rng.Int(-1, h + 6));
}

constexpr int Ch(u32 c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
constexpr u32 Put(int v, int shift) { return static_cast<u32>(v & 0xFF) << shift; }
// The standard mix of the three colour bytes; alpha from D.
u32 Mix(u32 d, u32 s, int w) {
    u32 v = d & 0xFF000000u;
    for (int sh = 0; sh <= 16; sh += 8) v |= Put(((Ch(s, sh) - Ch(d, sh)) * w + Ch(d, sh) * 256) >> 8, sh);
    return v;
}

// The pairs of a copy of the smaller of both rectangles, each pair skipped
// when either pixel is outside its buffer. Reports the clipped block.
struct Block { int dx = 0, dy = 0, sx = 0, sy = 0, w = 0, h = 0; };
bool PairBlock(const TacBits32& dst, const TacBits32& src, const TRect& dr, const TRect& sr, Block& b) {
    const int w = std::max(0, std::min(dr.Right - dr.Left, sr.Right - sr.Left));
    const int h = std::max(0, std::min(dr.Bottom - dr.Top, sr.Bottom - sr.Top));
    const int i1 = std::max({0, -dr.Left, -sr.Left}), i2 = std::min({w, dst.Width - dr.Left, src.Width - sr.Left});
    const int j1 = std::max({0, -dr.Top, -sr.Top}), j2 = std::min({h, dst.Height - dr.Top, src.Height - sr.Top});
    if (i1 >= i2 || j1 >= j2) return false;
    b = {dr.Left + i1, dr.Top + j1, sr.Left + i1, sr.Top + j1, i2 - i1, j2 - j1};
    return true;
}

bool ParentRead(const TacParent& ci, int x, int y, u32& word) {
    if (ci.Bmp == nullptr || !ci.Bmp->Contains(x + ci.X, y + ci.Y)) return false;
    word = ci.Bmp->At(x + ci.X, y + ci.Y);
    return true;
}

// A random parent: its own buffer or (one time in four) the destination.
struct Parent {
    Buf own;
    TacParent ci;
    Parent(Rng& rng, const TacBits32& dst) : own(rng, Size(rng), Size(rng)) {
        ci.Bmp = rng.Chance(4) ? &dst : &own.bits;
        ci.X = rng.Int(-5, 5);
        ci.Y = rng.Int(-5, 5);
        ci.FillColor = rng.Chance(3) ? kNoColor : static_cast<TColor>(rng.gen() & 0xFFFFFF);
        ci.Ready = rng.Chance(2);
    }
};

// Runs Kernel and Reference on equal copies of the buffers and compares
// all of them.
template <class Kernel, class Reference>
void Compare(std::vector<Buf> bufs, Kernel&& kernel, Reference&& reference, const char* what, int round) {
    std::vector<Buf> expected = bufs;
    kernel(bufs[0].bits, bufs);
    reference(expected[0].bits, expected);
    for (std::size_t i = 0; i < bufs.size(); ++i) {
        const auto diff = std::mismatch(bufs[i].store.begin(), bufs[i].store.end(), expected[i].store.begin());
        ASSERT_TRUE(diff.first == bufs[i].store.end())
            << what << " round " << round << " buffer " << i << " word " << (diff.first - bufs[i].store.begin())
            << ": " << std::hex << *diff.first << " instead of " << *diff.second;
    }
}

TEST(PixelsDifferential, SumBlendEveryWeightAndRectangle) {
    Rng rng;
    for (int round = 0; round < 1024; ++round) {
        const int a = round % 256;
        const int w = Size(rng), h = Size(rng) + 1;
        std::vector<Buf> bufs{Buf(rng, w, h), Buf(rng, w, h)};
        // 0 fade, 1 rectangle, 2 rectangle within one buffer, 3 rectangle from
        // a second view of the same buffer that starts some rows further on
        const int kind = round / 256;
        const int shift = kind == 3 ? rng.Int(1, h - 1) : 0;
        TacSumRect r{0, 0, w, h, 0, 0, w, h};
        if (kind > 0) {
            const TRect d = RandomRect(rng, w, h), s = RandomRect(rng, w, h - shift);
            r = {d.Left, d.Top, d.Right, d.Bottom, s.Left, s.Top, s.Right, s.Bottom};
        }
        auto sourceOf = [&](TacBits32& dst, std::vector<Buf>& v) {
            if (kind == 2) return dst;
            if (kind < 2) return v[1].bits;
            TacBits32 view = dst;
            view.Row0 = reinterpret_cast<std::uint8_t*>(dst.Row(shift));
            view.Height = h - shift;
            return view;
        };
        auto run = [&](TacBits32& dst, std::vector<Buf>& v) {
            const TacBits32 src = sourceOf(dst, v);
            if (kind == 0) FadeBitmapInto(dst, src, static_cast<std::uint8_t>(a));
            else BlendBitmapsRect(dst, src, static_cast<std::uint8_t>(a), r);
        };
        auto ref = [&](TacBits32& dst, std::vector<Buf>& v) {
            const TacBits32 src = sourceOf(dst, v);
            if (kind == 0 && (w < 2 || h < 2)) return;
            for (int y = r.DstY2 - 1; y >= r.DstY1; --y)
                for (int x = r.DstX2 - 1; x >= r.DstX1; --x) {
                    const int sx = x - r.DstX1 + r.SrcX1, sy = y - r.DstY2 + r.SrcY2;
                    if (!dst.Contains(x, y) || !src.Contains(sx, sy)) continue;
                    auto* d = reinterpret_cast<std::uint8_t*>(&dst.At(x, y));
                    const auto* s = reinterpret_cast<const std::uint8_t*>(&src.At(sx, sy));
                    for (int b = 3; b >= 0; --b) d[b] = static_cast<std::uint8_t>((d[b] * a + s[b] * (255 - a) + 127) >> 8);
                }
        };
        Compare(bufs, run, ref, "sum blend", round);
    }
}

TEST(PixelsDifferential, AlphaImageEveryPercentWithMirror) {
    Rng rng;
    for (int round = 0; round < 600; ++round) {
        const int sw = Size(rng), sh = Size(rng, 12), dw = Size(rng), dh = Size(rng, 12) + rng.Int(0, 12);
        std::vector<Buf> bufs{Buf(rng, dw, dh), Buf(rng, sw, sh)};
        Parent parent(rng, bufs[0].bits);
        const int percent = round < 202 ? round / 2 : rng.Int(-10, 110);
        const bool useParent = rng.Chance(2), reflected = rng.Chance(2);
        const TRect dr = RandomRect(rng, dw, dh), sr = RandomRect(rng, sw, sh);
        auto run = [&](TacBits32& dst, std::vector<Buf>& v) {
            TacParent ci = parent.ci;
            if (ci.Bmp != &parent.own.bits) ci.Bmp = &dst;
            CopyAlphaImage(dr, sr, dst, v[1].bits, ci, useParent, kNoTint, percent, reflected);
        };
        auto ref = [&](TacBits32& dst, std::vector<Buf>& v) {
            const TacBits32& src = v[1].bits;
            TacParent ci = parent.ci;
            if (ci.Bmp != &parent.own.bits) ci.Bmp = &dst;
            Block b;
            if (!PairBlock(dst, src, dr, sr, b)) return;
            const int p = std::clamp(percent, 0, 100);
            for (int j = 0; j < b.h; ++j)
                for (int i = 0; i < b.w; ++i) {
                    const u32 s = src.At(b.sx + i, b.sy + j);
                    u32& d = dst.At(b.dx + i, b.dy + j);
                    u32 word;
                    if (s == kKeyPixel) {
                        if (useParent && ci.Ready && ParentRead(ci, b.dx + i, b.dy + j, word)) d = word;
                        continue;
                    }
                    const int a = Ch(s, 24);
                    if (p == 0) d = (Mix(d, s, a) & 0x00FFFFFF) | Put(std::max(a, Ch(d, 24)), 24);
                    else d = Mix(d, s, (100 - p) * a / 100);
                }
            if (!reflected) return;
            const int half = src.Height / 2;
            const int n = std::min(half, dst.Height - (b.dy + b.h) - 1);
            for (int k = 1; k <= n; ++k) {
                const int srow = b.sy + b.h - k - 1, fade = 255 - (k - 1) * (255 / half);
                if (srow < b.sy || fade <= 0) break;
                for (int i = 0; i < b.w; ++i) {
                    const u32 s = src.At(b.sx + i, srow);
                    if (s == kKeyPixel) continue;
                    const int a = Ch(s, 24);
                    const int wgt = p != 0 ? ((100 - p) * a / 300) * fade / 255 : fade * (a / 3) / 255;
                    dst.At(b.dx + i, b.dy + b.h + k) = Mix(dst.At(b.dx + i, b.dy + b.h + k), s, wgt);
                }
            }
        };
        Compare(bufs, run, ref, "alpha image", round);
    }
}

TEST(PixelsDifferential, ThroughMaskAndMaster) {
    Rng rng;
    for (int round = 0; round < 800; ++round) {
        const int sw = Size(rng), sh = Size(rng), dw = Size(rng), dh = Size(rng);
        std::vector<Buf> bufs{Buf(rng, dw, dh), Buf(rng, sw, sh)};
        Parent parent(rng, bufs[0].bits);
        const bool flag = rng.Chance(2);
        const int maskOffset = rng.Int(-3, sh + 1);
        const TRect dr = RandomRect(rng, dw, dh), sr = RandomRect(rng, sw, sh);
        const bool master = round % 2 == 1;
        auto parentFor = [&](TacBits32& dst) {
            TacParent ci = parent.ci;
            if (ci.Bmp != &parent.own.bits) ci.Bmp = &dst;
            return ci;
        };
        auto run = [&](TacBits32& dst, std::vector<Buf>& v) {
            if (master) CopyMaskedFromMaster(dr, sr, dst, v[1].bits, parentFor(dst), flag, maskOffset);
            else CopyThroughMask(dr, sr, dst, v[1].bits, parentFor(dst), flag);
        };
        auto ref = [&](TacBits32& dst, std::vector<Buf>& v) {
            const TacBits32& src = v[1].bits;
            const TacParent ci = parentFor(dst);
            Block b;
            if (!PairBlock(dst, src, dr, sr, b)) return;
            for (int j = 0; j < b.h; ++j)
                for (int i = 0; i < b.w; ++i) {
                    const int x = b.dx + i, y = b.dy + j;
                    const u32 s = src.At(b.sx + i, b.sy + j);
                    u32& d = dst.At(x, y);
                    u32 word;
                    if (!master) {
                        if (ci.Ready && flag && s == kKeyPixel && ParentRead(ci, x, y, word)) {
                            d = word | 0xFF000000u;
                            continue;
                        }
                        const int a = Ch(s, 24), da = Ch(d, 24);
                        d = (Mix(d, s, a) & 0x00FFFFFF) | Put(a != 0 ? da + a * (255 - da) / 255 : da, 24);
                        continue;
                    }
                    const bool opaque = flag;
                    if (s == kKeyPixel && !(ci.Ready && !opaque)) {
                        if (ci.Ready) {
                            if (ParentRead(ci, x, y, word)) d = word | 0xFF000000u;
                        } else if (opaque && ci.FillColor != kNoColor) {
                            d = SwapRedBlue(static_cast<u32>(ci.FillColor));
                        }
                        continue;
                    }
                    const u32 m = src.At(b.sx + i, std::clamp(b.sy + j + maskOffset, 0, src.Height - 1));
                    u32 out = (ci.Ready && opaque) ? 0xFF000000u : (d & 0xFF000000u);
                    for (int sh8 = 0; sh8 <= 16; sh8 += 8)
                        out |= Put(((Ch(d, sh8) - Ch(s, sh8)) * Ch(m, sh8) + Ch(s, sh8) * 256) >> 8, sh8);
                    d = out;
                }
        };
        Compare(bufs, run, ref, master ? "masked from master" : "through mask", round);
    }
}

TEST(PixelsDifferential, KeyColourCopies) {
    Rng rng;
    for (int round = 0; round < 900; ++round) {
        const int sw = Size(rng), sh = Size(rng), dw = Size(rng), dh = Size(rng);
        std::vector<Buf> bufs{Buf(rng, dw, dh), Buf(rng, sw, sh)};
        Parent parent(rng, bufs[0].bits);
        const bool useParent = rng.Chance(2);
        const int x = rng.Int(-6, dw + 2), y = rng.Int(-6, dh + 2);
        const TRect sr = RandomRect(rng, sw, sh);
        const TColor key = rng.Chance(2) ? 0xFF00FF : SwapRedBlue(static_cast<TColor>(bufs[1].At(0, 0)));
        const int kind = round % 3;   // 0 masked rect, 1 transparent rect, 2 alpha bitmap
        auto parentFor = [&](TacBits32& dst) {
            TacParent ci = parent.ci;
            if (ci.Bmp != &parent.own.bits) ci.Bmp = &dst;
            return ci;
        };
        auto run = [&](TacBits32& dst, std::vector<Buf>& v) {
            if (kind == 0) CopyMaskedRect(dst, v[1].bits, x, y, sr, key, parentFor(dst), useParent);
            else if (kind == 1) CopyTransparentRect(dst, v[1].bits, x, y, sr, key);
            else DrawAlphaBitmapAt(dst, v[1].bits, x, y, key);
        };
        auto ref = [&](TacBits32& dst, std::vector<Buf>& v) {
            const TacBits32& src = v[1].bits;
            const TacParent ci = parentFor(dst);
            const u32 k = SwapRedBlue(static_cast<u32>(key));
            TRect r = kind == 2 ? TRect(0, 0, src.Width - 1, src.Height - 1)
                                : TRect(std::max(sr.Left, 0), std::max(sr.Top, 0), std::min(sr.Right, src.Width - 1),
                                        std::min(sr.Bottom, src.Height - 1));
            const bool parentCase = useParent && ci.Ready && ci.Bmp != nullptr;
            const bool intoParent = parentCase && ci.Bmp->SameBuffer(dst);
            for (int sy = r.Top; sy <= r.Bottom; ++sy)
                for (int sx = r.Left; sx <= r.Right; ++sx) {
                    const int dx = x + sx - r.Left, dy = y + sy - r.Top;
                    if (!dst.Contains(dx, dy)) continue;
                    const u32 s = src.At(sx, sy);
                    u32& d = dst.At(dx, dy);
                    u32 word;
                    if (kind == 1) {
                        if (s != k) d = s;
                    } else if (kind == 2) {
                        if (s != k) d = s | 0xFF000000u;
                    } else if (parentCase) {
                        if (s != k) d = s | 0xFF000000u;
                        else if (!intoParent && ParentRead(ci, dx, dy, word)) d = word | 0xFF000000u;
                    } else if (s != k) {
                        d = s;
                    } else if (!ci.Ready && ci.FillColor != kNoColor) {
                        d = OpaquePixel(ci.FillColor);
                    }
                }
        };
        Compare(bufs, run, ref, "key copy", round);
    }
}

TEST(PixelsDifferential, FillsAndMaskMix) {
    Rng rng;
    for (int round = 0; round < 768; ++round) {
        const int w = Size(rng), h = Size(rng);
        std::vector<Buf> bufs{Buf(rng, w, h), Buf(rng, w, h), Buf(rng, w, h), Buf(rng, w, h)};
        const TRect r = RandomRect(rng, w, h);
        const u32 word = rng.Word();
        const int value = round % 256;
        const bool flag = rng.Chance(2), sameAsDst = rng.Chance(4);
        const int kind = round % 3;   // 0 fill, 1 alpha fill, 2 mix by mask
        auto run = [&](TacBits32& dst, std::vector<Buf>& v) {
            if (kind == 0) FillPixels32(dst, r, word);
            else if (kind == 1) FillAlphaRect(dst, r, static_cast<std::uint8_t>(value), flag);
            else MixBitmapsByMask(dst, sameAsDst ? dst : v[1].bits, v[2].bits, flag ? &v[3].bits : nullptr,
                                  static_cast<std::uint8_t>(value));
        };
        auto ref = [&](TacBits32& dst, std::vector<Buf>& v) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    u32& d = dst.At(x, y);
                    const bool inR = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                    if (kind == 0 && inR) d = word;
                    if (kind == 1 && inR && !(flag && d == kKeyPixel)) d = (d & 0x00FFFFFF) | Put(value, 24);
                    if (kind != 2) continue;
                    const u32 a = sameAsDst ? d : v[1].At(x, y), b = v[2].At(x, y);
                    u32 out = d & 0xFF000000u;
                    for (int sh = 0; sh <= 16; sh += 8) {
                        const int m = flag ? Ch(v[3].At(x, y), sh) : value;
                        out |= Put(((Ch(a, sh) - Ch(b, sh)) * m + Ch(b, sh) * 256) >> 8, sh);
                    }
                    d = out;
                }
        };
        Compare(bufs, run, ref, "fill or mask mix", round);
    }
}

// The shadow's mask is read back with two probes (white pixels toward black
// and black pixels toward white), then a random image must come out as the
// standard mix with that mask.
TEST(PixelsDifferential, RoundShadowIsTheMaskMix) {
    Rng rng;
    for (int round = 0; round < 120; ++round) {
        const int w = Size(rng), h = Size(rng);
        const TRect r = RandomRect(rng, w, h);
        const int percent = rng.Int(0, 100), depth = rng.Int(0, 6), radius = rng.Int(0, 6);
        const TColor colour = static_cast<TColor>(rng.gen() & 0xFFFFFF);
        Buf white(rng, w, h), black(rng, w, h), img(rng, w, h);
        std::vector<u32> before;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                white.At(x, y) = 0xFFFFFFFFu;
                black.At(x, y) = 0xFF000000u;
                before.push_back(img.At(x, y));
            }
        PaintRoundShadow(white.bits, r, percent, 0x000000, depth, radius);
        PaintRoundShadow(black.bits, r, percent, 0xFFFFFF, depth, radius);
        PaintRoundShadow(img.bits, r, percent, colour, depth, radius);
        const u32 c = SwapRedBlue(static_cast<u32>(colour));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // White gives m - 1 (0 for m 0); black gives 255 for m 0.
                const int probe = Ch(white.At(x, y), 0);
                const int m = probe == 0 && Ch(black.At(x, y), 0) == 255 ? 0 : probe + 1;
                const bool inR = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                const u32 old = before[static_cast<std::size_t>(y) * w + x];
                u32 want = old;
                if (inR) {
                    want = old & 0xFF000000u;
                    for (int sh = 0; sh <= 16; sh += 8)
                        want |= Put(((Ch(old, sh) - Ch(c, sh)) * m + Ch(c, sh) * 256) >> 8, sh);
                }
                ASSERT_EQ(img.At(x, y), want) << "round " << round << " at " << x << ',' << y;
            }
    }
}

}  // namespace
