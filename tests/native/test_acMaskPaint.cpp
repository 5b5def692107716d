// Nine-part and glyph masks: the geometry of corners, tiled and stretched sides and the centre checked
// pixel by pixel against a source whose pixels name their own position, the
// draw-mode and frame rules, the mask rule of the copy kernels, degenerate
// skin geometry (which must neither loop nor read outside the image), the
// corner repaint and the disabled look; and the skin image's kept extras
// (decoded patterns, platform attachments).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "SkinImage.h"
#include "acFrameGeometry.h"
#include "acMaskPaint.h"

namespace {

constexpr std::uint32_t kSentinel = 0xFF123456u;

// A pixel that names the frame and its position in the frame.
constexpr std::uint32_t Named(int frame, int x, int y) {
    return 0xFF000000u | static_cast<std::uint32_t>(frame) << 16 | static_cast<std::uint32_t>(x) << 8 |
           static_cast<std::uint32_t>(y);
}
int FrameOf(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
int XOf(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
int YOf(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

// A master image holding Frames frames of FW x FH side by side at (Left,
// Top), each pixel named; with a mask part (all zero: show the image) below.
struct Skin {
    TacImage32 image;
    TsMaskData mask;
    Skin(int frames, int fw, int fh, int wl, int wt, int wr, int wb, int drawMode, int maskType = 0, int left = 2,
         int top = 1)
        : image(left + frames * fw + 3, top + fh * (maskType + 1) + 2, 0xFF0000FFu) {
        for (int f = 0; f < frames; ++f)
            for (int y = 0; y < fh; ++y)
                for (int x = 0; x < fw; ++x) {
                    image.At(left + f * fw + x, top + y) = Named(f, x, y);
                    if (maskType > 0) image.At(left + f * fw + x, top + fh + y) = 0;
                }
        mask.R = TRect(left, top, left + frames * fw, top + fh * (maskType + 1));
        mask.ImageCount = static_cast<SmallInt>(frames);
        mask.MaskType = static_cast<SmallInt>(maskType);
        mask.DrawMode = static_cast<SmallInt>(drawMode);
        mask.WL = static_cast<SmallInt>(wl), mask.WT = static_cast<SmallInt>(wt);
        mask.WR = static_cast<SmallInt>(wr), mask.WB = static_cast<SmallInt>(wb);
    }
    TacMaskSource Source() const { return MaskSourceOf(mask, &image); }
};

// The source position (within the frame) a tiled nine-part drawing takes
// for target offset c of extent n, with fitted borders a and b.
int TiledSource(int c, int n, int a, int b, int frame) {
    if (c < a) return c;
    if (c >= n - b) return frame - (n - c);
    return a + (c - a) % (frame - a - b);
}

TacImage32 Target(int w, int h, std::uint32_t fill = kSentinel) { return TacImage32(w, h, fill); }

}  // namespace

// ---- DrawSkinRect ---------------------------------------------------------------

// Every target pixel of a tiled drawing comes from the source position the
// nine-part rule names: corners 1:1, sides and centre tiled from their
// top-left, the last tile clipped; nothing is left unpainted.
TEST(DrawSkinRect, TiledGeometryPixelByPixel) {
    struct Case { int fw, fh, wl, wt, wr, wb, w, h; };
    const Case cases[] = {
        {10, 8, 3, 2, 2, 3, 23, 17},   // several tiles, clipped last ones
        {10, 8, 3, 2, 2, 3, 10, 8},    // the frame's own size
        {10, 8, 5, 4, 4, 3, 8, 7},     // borders wider than the target, odd excess
        {10, 8, 5, 4, 4, 3, 7, 6},     // even excess
        {9, 9, 0, 0, 0, 0, 20, 4},     // no borders: all centre
        {6, 6, 3, 3, 3, 3, 3, 3},      // corners only
    };
    for (const Case& c : cases) {
        Skin skin(1, c.fw, c.fh, c.wl, c.wt, c.wr, c.wb, dmCentre);
        TacImage32 bmp = Target(c.w + 2, c.h + 2);
        TacBlitter blit;
        DrawSkinRect(bmp.Bits(), TRect(1, 1, 1 + c.w, 1 + c.h), false, 0, skin.Source(), {}, blit);
        const TRect m = FitNinePartMargins(TRect(c.wl, c.wt, c.wr, c.wb), c.w, c.h);
        for (int y = 0; y < c.h + 2; ++y)
            for (int x = 0; x < c.w + 2; ++x) {
                const std::uint32_t p = bmp.At(x, y);
                if (x == 0 || y == 0 || x == c.w + 1 || y == c.h + 1) {
                    ASSERT_EQ(p, kSentinel) << "outside R at " << x << ',' << y;
                    continue;
                }
                ASSERT_NE(p, kSentinel) << "gap at " << x << ',' << y << " case " << c.w << 'x' << c.h;
                EXPECT_EQ(XOf(p), TiledSource(x - 1, c.w, m.Left, m.Right, c.fw)) << x << ',' << y << " case " << c.w;
                EXPECT_EQ(YOf(p), TiledSource(y - 1, c.h, m.Top, m.Bottom, c.fh)) << x << ',' << y << " case " << c.h;
            }
    }
}

// Stretched sides and centre: corners stay 1:1, each side spans its strip
// and samples only the source's side strip.
TEST(DrawSkinRect, StretchedSidesKeepCorners) {
    Skin skin(1, 9, 9, 3, 3, 3, 3, dmStretch | dmCentre);
    TacImage32 bmp = Target(30, 20);
    TacBlitter blit;
    DrawSkinRect(bmp.Bits(), TRect(0, 0, 30, 20), false, 0, skin.Source(), {}, blit);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const std::uint32_t p = bmp.At(x, y);
            const int wantZoneX = x < 3 ? 0 : (x >= 27 ? 2 : 1), wantZoneY = y < 3 ? 0 : (y >= 17 ? 2 : 1);
            const int zoneX = XOf(p) < 3 ? 0 : (XOf(p) >= 6 ? 2 : 1), zoneY = YOf(p) < 3 ? 0 : (YOf(p) >= 6 ? 2 : 1);
            ASSERT_EQ(zoneX, wantZoneX) << x << ',' << y;
            ASSERT_EQ(zoneY, wantZoneY) << x << ',' << y;
        }
    EXPECT_EQ(bmp.At(28, 18), Named(0, 7, 7));   // bottom-right corner 1:1
    EXPECT_EQ(bmp.At(3, 3), Named(0, 3, 3));     // centre begins at the source centre
}

TEST(DrawSkinRect, StatesDrawModesAndFrames) {
    struct Case { int drawMode, state; bool border, centre; int frame; };
    const Case cases[] = {
        {2, 0, false, false, 0},   // not drawn in state 0
        {2, 1, true, false, 1},
        {6, 0, false, false, 0},
        {6, 1, true, true, 1},     // +4: the centre is filled
        {4, 0, true, true, 0},
        {4, 7, true, true, 2},     // beyond the last frame: the last
        {4, -5, true, true, 0},    // below 0: the first
    };
    for (const Case& c : cases) {
        Skin skin(3, 6, 6, 2, 2, 2, 2, c.drawMode);
        TacImage32 bmp = Target(12, 12);
        TacBlitter blit;
        DrawSkinRect(bmp.Bits(), TRect(0, 0, 12, 12), false, c.state, skin.Source(), {}, blit);
        const std::uint32_t border = bmp.At(0, 0), centre = bmp.At(6, 6);
        EXPECT_EQ(border != kSentinel, c.border) << c.drawMode << '/' << c.state;
        EXPECT_EQ(centre != kSentinel, c.centre) << c.drawMode << '/' << c.state;
        if (c.border) {
            EXPECT_EQ(FrameOf(border), c.frame) << c.drawMode << '/' << c.state;
        }
    }
}

// A mask part: sides and centre mix over what the target holds and leave it
// under key pixels; corners take the parent under key pixels only when the
// parent is used and the mask's corners are laid over it.
TEST(DrawSkinRect, MaskPartAndCorners) {
    const TacImage32 parentImage(20, 20, 0xFF00AA00u);
    const TacBits32 parentBits = parentImage.View();
    const TacParent parent{&parentBits, 3, 4, kNoColor, true};
    // Key pixels of a masked corner over a ready parent without the opaque
    // rule are mixed like the rest, so the cases that leave them use a parent
    // that is not ready.
    struct Case { bool useParent; int cornerType; bool ready; std::uint32_t corner; };
    const Case cases[] = {{true, 1, true, 0xFF00AA00u}, {true, 0, false, kSentinel}, {false, 1, false, kSentinel}};
    for (const Case& c : cases) {
        TacParent under = parent;
        under.Ready = c.ready;
        Skin skin(1, 6, 6, 2, 2, 2, 2, dmCentre, 1, 0, 0);
        skin.mask.CornerType = static_cast<SmallInt>(c.cornerType);
        skin.image.At(0, 0) = kKeyPixel;          // a key corner pixel
        skin.image.At(2, 0) = kKeyPixel;          // a key pixel on the top side
        skin.image.At(3, 6) = 0x00808080u;        // the top side's mask at (3, 0): half
        TacImage32 bmp = Target(10, 10, 0xFF000000u | 200);
        bmp.At(0, 0) = kSentinel;
        TacBlitter blit;
        DrawSkinRect(bmp.Bits(), TRect(0, 0, 10, 10), c.useParent, 1, skin.Source(), under, blit);
        EXPECT_EQ(bmp.At(0, 0), c.corner) << c.useParent << c.cornerType;
        EXPECT_EQ(bmp.At(2, 0), 0xFF0000C8u);     // left as it was
        // mask 0x80 over blue 200: ((200 - s) * 128 + s * 256) shr 8 per channel
        const std::uint32_t s = Named(0, 3, 0);
        auto mix = [](int d, int sv) { return ((d - sv) * 128 + sv * 256) >> 8; };
        const std::uint32_t want = 0xFF000000u | static_cast<std::uint32_t>(mix(0, (s >> 16) & 0xFF)) << 16 |
                                   static_cast<std::uint32_t>(mix(0, (s >> 8) & 0xFF)) << 8 |
                                   static_cast<std::uint32_t>(mix(200, s & 0xFF));
        EXPECT_EQ(bmp.At(3, 0), want);
        EXPECT_EQ(bmp.At(5, 5), Named(0, 3, 3));   // mask 0 shows the image
    }
}

// Skin geometry that makes no drawing must return at once: no endless
// tiling, no division by zero, no read outside the image, no write outside
// the target.
TEST(DrawSkinRect, DegenerateGeometryDrawsNothingOrStaysInside) {
    struct Case { const char* what; int frames, maskType, wl, wr, drawMode; TRect r; TRect maskR; bool drawsSomething; };
    const Case cases[] = {
        {"no frames", 0, 0, 2, 2, 4, TRect(0, 0, 12, 12), TRect(2, 1, 14, 7), false},
        {"negative mask type", 1, -1, 2, 2, 4, TRect(0, 0, 12, 12), TRect(2, 1, 8, 7), false},
        {"one pixel wide", 1, 0, 2, 2, 4, TRect(3, 0, 4, 12), TRect(2, 1, 8, 7), false},
        {"empty side tiles", 1, 0, 3, 3, 4, TRect(0, 0, 40, 40), TRect(2, 1, 8, 7), true},
        {"borders wider than the frame", 1, 0, 9, 9, 4, TRect(0, 0, 40, 40), TRect(2, 1, 8, 7), false},
        {"mask rectangle beyond the image", 2, 0, 1, 1, 4, TRect(0, 0, 12, 12), TRect(2, 1, 400, 300), true},
        {"mask rectangle before the image", 1, 0, 1, 1, 4, TRect(0, 0, 12, 12), TRect(-50, -50, 5, 5), true},
        {"target far outside", 1, 0, 1, 1, 5, TRect(-100000, -100000, 100000, 3), TRect(2, 1, 8, 7), true},
        {"absurd target", 1, 0, 1, 1, 4, TRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), TRect(2, 1, 8, 7), false},
    };
    for (const Case& c : cases) {
        Skin skin(1, 6, 6, c.wl, 1, c.wr, 1, c.drawMode);
        skin.mask.ImageCount = static_cast<SmallInt>(c.frames);
        skin.mask.MaskType = static_cast<SmallInt>(c.maskType);
        skin.mask.R = c.maskR;
        TacImage32 bmp = Target(12, 12);
        TacBlitter blit;
        DrawSkinRect(bmp.Bits(), c.r, false, 0, skin.Source(), {}, blit);
        bool drawn = false;
        for (std::uint32_t p : bmp.Pixels()) drawn = drawn || p != kSentinel;
        EXPECT_EQ(drawn, c.drawsSomething) << c.what;
    }
}

// ---- StretchCopy32 ------------------------------------------------------------------

TEST(StretchCopy32, ThinStripsAndSinglePixels) {
    // A one-pixel-wide strip with a mask part, shrunk in height only: the
    // filtered path, which a 1-pixel source must not make raise.
    TacImage32 src(1, 20);
    for (int y = 0; y < 10; ++y) src.At(0, y) = 0xFF000000u | static_cast<std::uint32_t>(y * 20);
    TacImage32 bmp = Target(4, 8, 0xFF000000u);
    TacBlitter blit;
    EXPECT_NO_THROW(StretchCopy32(1, 0, 1, 5, false, 10, src.View(), bmp.Bits(), 0, 0, 1, 10, blit));
    for (int y = 0; y < 5; ++y) EXPECT_EQ(bmp.At(1, y), src.At(0, y * 10 / 5)) << y;
    EXPECT_EQ(bmp.At(1, 5), 0xFF000000u);

    // A 1 x 1 source with Smooth fills the target by the mask rule; a mask of
    // 255 draws nothing.
    TacImage32 one(3, 2, 0xFF0000FFu);
    one.At(0, 1) = 0;
    one.At(1, 1) = 0x00FFFFFFu;
    TacImage32 bmp2 = Target(6, 6, 0xFF000000u);
    StretchCopy32(0, 0, 3, 3, true, 1, one.View(), bmp2.Bits(), 0, 0, 1, 1, blit);   // mask 0 at (0, 1)
    EXPECT_EQ(bmp2.At(2, 2), 0xFF0000FFu);
    EXPECT_EQ(bmp2.At(3, 3), 0xFF000000u);
    StretchCopy32(3, 3, 3, 3, true, 1, one.View(), bmp2.Bits(), 1, 0, 1, 1, blit);   // mask 255 at (1, 1)
    EXPECT_EQ(bmp2.At(4, 4), 0xFF000000u);

    // A target bitmap under 2 x 2, and empty sizes: nothing.
    TacImage32 tiny = Target(1, 5);
    StretchCopy32(0, 0, 1, 5, false, 0, one.View(), tiny.Bits(), 0, 0, 1, 1, blit);
    EXPECT_EQ(tiny.At(0, 0), kSentinel);
    StretchCopy32(0, 0, 0, 5, false, 0, one.View(), bmp2.Bits(), 0, 0, 1, 1, blit);
    StretchCopy32(0, 0, 5, 5, false, 0, one.View(), bmp2.Bits(), 0, 0, -1, 1, blit);
    EXPECT_EQ(bmp2.At(0, 5), 0xFF000000u);
}

// The unfiltered stretch with a mask part (columns one to one, or stepped)
// against the per-pixel rule: target (x, y) takes source column
// sl + (x - X) * sw / W and row st + (y - Y) * sh / H through its mask.
TEST(StretchCopy32, MaskedNearestMatchesThePixelRule) {
    std::uint32_t seed = 7;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    TacImage32 src(23, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 23; ++x) src.At(x, y) = next();
    struct Case { int x, y, w, h, sx, sy, sw, sh; };
    const Case cases[] = {
        {2, 1, 17, 9, 3, 2, 17, 5},     // columns one to one, rows stretched
        {-5, 3, 40, 6, 1, 0, 7, 6},     // widened, cut on the left
        {4, -2, 9, 14, 0, 4, 13, 3},    // narrowed and heightened
        {0, 0, 31, 17, 5, 5, 1, 1},     // one pixel over everything
        {10, 10, 50, 50, 2, 2, 20, 9},  // running past the right and bottom
    };
    for (const Case& c : cases) {
        TacImage32 got(33, 19), want(33, 19);
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < 33; ++x) got.At(x, y) = want.At(x, y) = next();
        TacBlitter blit;
        StretchCopy32(c.x, c.y, c.w, c.h, false, 15, src.View(), got.Bits(), c.sx, c.sy, c.sw, c.sh, blit);
        for (int y = std::max(c.y, 0); y < std::min(c.y + c.h, 19); ++y)
            for (int x = std::max(c.x, 0); x < std::min(c.x + c.w, 33); ++x) {
                const int col = c.sx + (x - c.x) * c.sw / c.w, row = c.sy + (y - c.y) * c.sh / c.h;
                const std::uint32_t s = src.At(col, row), m = src.At(col, row + 15), d = want.At(x, y);
                std::uint32_t v = d & 0xFF000000u;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const int dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF, mc = (m >> shift) & 0xFF;
                    v |= static_cast<std::uint32_t>(((dc - sc) * mc + sc * 256) >> 8) << shift;
                }
                want.At(x, y) = v;
            }
        EXPECT_EQ(got, want) << "case at " << c.x << ',' << c.y << ' ' << c.w << 'x' << c.h;
    }
}

// ---- DrawGlyphMask ---------------------------------------------------------------------

TEST(DrawGlyphMask, NegativePositionsCutTheFrame) {
    struct Case { TPoint p; int wantX, wantY; };
    const Case cases[] = {{TPoint(-3, 0), 3, 0}, {TPoint(0, -2), 0, 2}, {TPoint(-1, -1), 1, 1}};
    for (const Case& c : cases) {
        Skin skin(2, 6, 5, 0, 0, 0, 0, 0);
        TacImage32 bmp = Target(8, 8);
        DrawGlyphMask(bmp.Bits(), c.p, 1, {}, skin.Source(), 1);
        EXPECT_EQ(bmp.At(0, 0), Named(1, c.wantX, c.wantY)) << c.p.X << ',' << c.p.Y;
        EXPECT_EQ(bmp.At(6 - c.wantX, 0), kSentinel) << "the frame's width less the cut";
    }
}

// Weights of a masked glyph: Mode 1 uses each channel's mask byte, any
// other Mode the red mask byte plus 100; the alpha grows by the red byte.
TEST(DrawGlyphMask, MaskedAndFaintWeights) {
    struct Case { std::uint32_t mask; int mode; std::uint32_t want; };
    // image 0x00C86432 over 0x80102030: per channel ((d - s) * w + s * 256) shr 8
    const Case cases[] = {
        {0x00000000u, 1, 0xFFC86432u},   // mask 0: the image, alpha full
        {0x00000000u, 0, 0xFF804931u},   // faint: weight 100
        {0x00808080u, 1, 0xBF6C4231u},   // half: alpha 128 + 127 * 127 div 255
        {0x00FFFFFFu, 1, 0x80102030u},   // mask 255: left as it was
        {0x009B0000u, 0, 0xB1102030u},   // faint weight 255 keeps the colour, the alpha still grows
    };
    for (const Case& c : cases) {
        TsMaskData mask;
        mask.Bmp = std::make_shared<TacImage32>(1, 2, 0x00C86432u);
        mask.Bmp->At(0, 1) = c.mask;
        mask.R = TRect(0, 0, 1, 2);
        mask.ImageCount = 1;
        mask.MaskType = 1;
        TacImage32 bmp = Target(2, 2, 0x80102030u);
        DrawGlyphMask(bmp.Bits(), TPoint(0, 0), 0, {}, MaskSourceOf(mask, nullptr), c.mode);
        EXPECT_EQ(bmp.At(0, 0), c.want) << std::hex << c.mask << " mode " << c.mode;
    }
    // A plain image from the master: Mode 1 copies, any other Mode blends by half.
    Skin plain(1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0);
    plain.image.At(0, 0) = 0xFF6400C8u;
    plain.image.At(1, 0) = kKeyPixel;
    for (int mode : {1, 2}) {
        TacImage32 bmp = Target(2, 2, 0xFF000000u);
        DrawGlyphMask(bmp.Bits(), TPoint(0, 0), 0, {}, plain.Source(), mode);
        EXPECT_EQ(bmp.At(0, 0), mode == 1 ? 0xFF6400C8u : 0xFF320064u) << mode;
        EXPECT_EQ(bmp.At(1, 0), 0xFF000000u) << "key pixel left, mode " << mode;
    }
}

// ---- copy kernels -------------------------------------------------------------------

TEST(CopyMasterRect, KeyPixelsByParentFillOrLeft) {
    TacImage32 src(2, 2, 0xFF00FF00u);
    src.At(0, 0) = kKeyPixel;
    src.At(1, 1) = 0x00404040u;   // mask of (1, 0)
    const TacImage32 parentImage(8, 8, 0xFFABCDEFu);
    const TacBits32 parentBits = parentImage.View();
    struct Case { TacParent parent; std::uint32_t key; };
    const Case cases[] = {
        {TacParent{&parentBits, 2, 2, kNoColor, true}, 0xFFABCDEFu},
        {TacParent{&parentBits, 2, 2, 0x0000FF, true}, 0xFFFF0000u},   // a fill colour wins
        {TacParent{nullptr, 0, 0, 0x0000FF, false}, 0xFFFF0000u},
        {TacParent{}, 0xFF101010u},
    };
    for (const Case& c : cases) {
        TacImage32 bmp = Target(3, 3, 0xFF101010u);
        CopyMasterRect(TRect(0, 0, 2, 1), TRect(0, 0, 2, 1), bmp.Bits(), src.View(), 1, c.parent);
        EXPECT_EQ(bmp.At(0, 0), c.key);
        EXPECT_EQ(bmp.At(1, 0), 0xFF04C304u);   // ((0x10 - s) * 0x40 + s * 256) shr 8
    }
}

TEST(CopyTransparentPixels, CornersOfTheMaskAndOwnKeys) {
    TsMaskData mask;
    mask.R = TRect(0, 0, 20, 10);
    mask.ImageCount = 2;   // frames of 10
    mask.WR = 3;
    mask.WB = 4;
    struct Case { int kind; TPoint origin; };
    const Case cases[] = {{13, TPoint(0, 0)}, {14, TPoint(7, 0)}, {16, TPoint(0, 6)}, {17, TPoint(7, 6)}, {0, TPoint(0, 0)}};
    for (const Case& c : cases) EXPECT_EQ(MaskCornerOrigin(mask, c.kind), c.origin) << c.kind;

    TacImage32 maskImage(20, 10, 0xFF000000u);
    maskImage.At(8, 7) = 0xFFFF00FFu;   // low 24 bits key: counts, whatever the alpha
    TacImage32 src(10, 10, 0xFF777777u);
    src.At(6, 6) = 0xFF111111u;
    TacImage32 dst = Target(10, 10);
    dst.At(2, 2) = kKeyPixel;
    const TacBits32 maskBits = maskImage.View();
    CopyTransparentPixels(dst.Bits(), src.View(), TRect(4, 4, 8, 8), &maskBits, MaskCornerOrigin(mask, 17),
                          TPoint(5, 5));
    EXPECT_EQ(dst.At(5, 5), 0xFF111111u);   // mask (8, 7) = origin (7, 6) + (1, 1); source (5, 5) + (1, 1)
    EXPECT_EQ(dst.At(4, 4), kSentinel);
    CopyTransparentPixels(dst.Bits(), src.View(), TRect(0, 0, 10, 10), nullptr, {}, TPoint(-2, -2));
    EXPECT_EQ(dst.At(2, 2), 0xFF777777u);   // its own key pixel, from source (0, 0)
    EXPECT_EQ(dst.At(1, 1), kSentinel);
}

// ---- corners against the parent ---------------------------------------------------------

TEST(RepaintCornerKeys, KeyCornersShowTheParent) {
    Skin skin(2, 6, 6, 2, 2, 2, 2, 0, 0, 0, 0);
    for (int f = 0; f < 2; ++f) {
        skin.image.At(f * 6 + 0, 0) = kKeyPixel;   // top-left
        skin.image.At(f * 6 + 5, 5) = kKeyPixel;   // bottom-right
    }
    TacImage32 parentImage(30, 30, 0);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) parentImage.At(x, y) = Named(9, x, y);
    const TacBits32 parentBits = parentImage.View();
    TacImage32 cache = Target(10, 8);
    RepaintCornerKeys(cache.Bits(), skin.Source(), 1, TacParent{&parentBits, 20, 3, kNoColor, true});
    EXPECT_EQ(cache.At(0, 0), Named(9, 20, 3));
    EXPECT_EQ(cache.At(9, 7), Named(9, 29, 10));
    EXPECT_EQ(cache.At(1, 0), kSentinel);   // not a key pixel of the mask
    EXPECT_EQ(cache.At(9, 0), kSentinel);
    // Parent pixels outside the parent's image leave the cache alone.
    TacImage32 shifted = Target(10, 8);
    RepaintCornerKeys(shifted.Bits(), skin.Source(), 1, TacParent{&parentBits, 21, 3, kNoColor, true});
    EXPECT_EQ(shifted.At(0, 0), Named(9, 21, 3));
    EXPECT_EQ(shifted.At(9, 7), kSentinel);
    // Without an image: the parent's colour.
    TacImage32 cache2 = Target(10, 8);
    RepaintCornerKeys(cache2.Bits(), skin.Source(), 0, TacParent{nullptr, 0, 0, 0x00FF00, false});
    EXPECT_EQ(cache2.At(0, 0), 0xFF00FF00u);
    EXPECT_EQ(cache2.At(9, 7), 0xFF00FF00u);
}

// ---- the disabled look ----------------------------------------------------------------------

TEST(ApplyDisabledKind, GreyFirstThenBlend) {
    struct Case { TsDisabledKind kind; std::uint32_t want; };
    // pixel (r 200, g 0, b 100) over a red parent colour
    const Case cases[] = {
        {TsDisabledKind{dkGrayed}, 0xFF646464u},
        {TsDisabledKind{dkBlended}, 0xFFE40032u},
        {TsDisabledKind{dkGrayed, dkBlended}, 0xFFB23232u},   // grey 100, then half red: not grey
        {TsDisabledKind{}, 0xFFC80064u},
    };
    for (const Case& c : cases) {
        TacImage32 bmp(3, 3, 0xFFC80064u);
        ApplyDisabledKind(bmp.Bits(), c.kind, {}, {}, 0x0000FF);
        EXPECT_EQ(bmp.At(1, 1), c.want) << c.kind.Bits();
    }
    // With a ready parent image the image under the control keeps 60 %.
    TacImage32 parentImage(10, 10, 0xFF000000u);
    parentImage.At(4, 5) = 0xFF0000FAu;
    parentImage.At(5, 5) = kKeyPixel;   // key pixels of the parent are left out
    const TacBits32 parentBits = parentImage.View();
    TacImage32 bmp(3, 3, 0xFF0000C8u);
    ApplyDisabledKind(bmp.Bits(), TsDisabledKind{dkBlended}, TPoint(1, 2), TacParent{&parentBits, 3, 3, kNoColor, true},
                      0);
    EXPECT_EQ(bmp.At(0, 0), 0xFF0000E6u);   // Round(250 - (250 - 200) * 0.4)
    EXPECT_EQ(bmp.At(1, 0), 0xFF0000C8u);
    EXPECT_EQ(bmp.At(2, 0), 0xFF000050u);   // Round(0 - (0 - 200) * 0.4)
}

// ---- what the skin image keeps ---------------------------------------------------------------

TEST(SkinImageExtras, AttachmentLivesWithTheImageOnly) {
    struct Counted : TacImageAttachment {
        int* alive;
        explicit Counted(int* a) : alive(a) { ++*alive; }
        ~Counted() override { --*alive; }
    };
    int alive = 0;
    {
        TacImage32 image(4, 4, 1);
        image.SetAttachment(std::make_unique<Counted>(&alive));
        const TacImage32 copy = image;
        EXPECT_EQ(copy.Attachment(), nullptr);   // copies start without one
        EXPECT_TRUE(copy == image);
        (void)image.View();
        EXPECT_NE(image.Attachment(), nullptr);   // reading keeps it
        (void)image.Bits();
        EXPECT_EQ(image.Attachment(), nullptr);   // a writable view drops it
        EXPECT_EQ(alive, 0);
        image.SetAttachment(std::make_unique<Counted>(&alive));
        EXPECT_EQ(alive, 1);
        const TacImage32 moved = std::move(image);   // the pixels move, and their copy with them
        EXPECT_NE(moved.Attachment(), nullptr);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);   // freed with the image
}

TEST(SkinImageExtras, PatternDecodedOnce) {
    TacJPEGPattern good;
    const std::vector<std::uint8_t> jpg = skingen::EncodeJPEG(skingen::Image(40, 30, 0xFF707070u), 50);
    good.Data.assign(jpg.begin(), jpg.end());
    const TacImage32& first = good.Image();
    EXPECT_EQ(first.Width(), 40);
    EXPECT_EQ(&good.Image(), &first);   // kept, not decoded again

    TacJPEGPattern bad;
    bad.Data = {0xFF, 0xD8, 0xFF, 0x00};
    EXPECT_THROW(bad.Image(), Exception);
    EXPECT_TRUE(bad.Image().Empty());   // remembered: no second decode, no second error
}

// ---- DrawBorderMask and CopyMaskPiece ---------------------------------------------

// Borders wider than the target are fitted so that corners never overlap;
// each column comes from the corner it belongs to, sides tiled in between.
TEST(DrawBorderMask, FittedBordersAndTiledSides) {
    struct Case { int w, wl, wr, left, right; };
    const Case cases[] = {
        {10, 8, 6, 6, 4},   // excess 4: two from each
        {7, 5, 4, 4, 3},    // even excess: one from each
        {8, 5, 4, 5, 3},    // odd excess: the right takes width - left
        {30, 3, 2, 3, 2},   // no excess: tiled centre columns
    };
    for (const Case& c : cases) {
        Skin skin(1, 12, 6, c.wl, 2, c.wr, 2, 0);
        TacImage32 bmp = Target(c.w, 6);
        TacBlitter blit;
        DrawBorderMask(bmp.Bits(), false, 0, skin.Source(), nullptr, blit);
        for (int x = 0; x < c.w; ++x) {
            const std::uint32_t top = bmp.At(x, 0);
            ASSERT_NE(top, kSentinel) << "gap at " << x << " width " << c.w;
            int want;
            if (x < c.left) want = x;
            else if (x >= c.w - c.right) want = 12 - (c.w - x);
            else want = TiledSource(x, c.w, c.left, c.right, 12);
            EXPECT_EQ(XOf(top), want) << "column " << x << " width " << c.w;
        }
        // The centre (rows 2..3) is left: no Transparent.
        if (c.w > c.left + c.right) {
            EXPECT_EQ(bmp.At(c.left, 2), kSentinel);
        }
    }
}

// States beyond the last draw the last; ImageCount 0 takes the whole image
// as one cell; the centre only with Transparent and DrawMode bit 4;
// stretched sides sample only the side strip.
TEST(DrawBorderMask, StatesCountsCentreAndStretch) {
    TacBlitter blit;
    {
        Skin skin(3, 6, 6, 2, 2, 2, 2, 0);
        TacImage32 bmp = Target(8, 8);
        DrawBorderMask(bmp.Bits(), false, 7, skin.Source(), nullptr, blit);
        EXPECT_EQ(bmp.At(0, 0), Named(2, 0, 0));
        DrawBorderMask(bmp.Bits(), false, -3, skin.Source(), nullptr, blit);
        EXPECT_EQ(bmp.At(0, 0), Named(0, 0, 0));
    }
    {
        Skin skin(1, 6, 6, 2, 2, 2, 2, dmCentre, 0, 0, 0);
        skin.mask.ImageCount = 0;
        skin.mask.R = TRect(0, 0, 1, 1);   // replaced by the whole image
        TacImage32 bmp = Target(9, 11);
        DrawBorderMask(bmp.Bits(), true, 0, skin.Source(), nullptr, blit);
        EXPECT_EQ(bmp.At(0, 0), Named(0, 0, 0));
        // The whole image is 9 x 8: its right corner lies on the image's
        // background columns.
        EXPECT_EQ(bmp.At(8, 0), skin.image.At(8, 0));
        EXPECT_NE(bmp.At(4, 4), kSentinel);   // centre drawn
    }
    for (const bool transparent : {false, true})
        for (const int mode : {0, dmCentre}) {
            Skin skin(1, 6, 6, 2, 2, 2, 2, mode);
            TacImage32 bmp = Target(10, 10);
            DrawBorderMask(bmp.Bits(), transparent, 0, skin.Source(), nullptr, blit);
            EXPECT_EQ(bmp.At(5, 5) != kSentinel, transparent && mode == dmCentre) << transparent << ' ' << mode;
        }
    {
        Skin skin(1, 9, 9, 3, 3, 3, 3, dmStretch);
        TacImage32 bmp = Target(40, 9);
        DrawBorderMask(bmp.Bits(), false, 0, skin.Source(), nullptr, blit);
        for (int x = 3; x < 37; ++x) {
            EXPECT_GE(XOf(bmp.At(x, 0)), 3) << x;
            EXPECT_LT(XOf(bmp.At(x, 0)), 6) << x;
        }
        EXPECT_EQ(bmp.At(39, 8), Named(0, 8, 8));
    }
    {
        Skin skin(1, 6, 6, 2, 2, 2, 2, 0);
        TacImage32 one = Target(1, 5), flat = Target(5, 1);
        DrawBorderMask(one.Bits(), true, 0, skin.Source(), nullptr, blit);
        DrawBorderMask(flat.Bits(), true, 0, skin.Source(), nullptr, blit);
        EXPECT_EQ(one.At(0, 0), kSentinel);
        EXPECT_EQ(flat.At(0, 0), kSentinel);
    }
}

// Key pixels of a corner keep the destination and come back as runs, one
// rectangle per run in a row; the same colour on a side is copied.
TEST(DrawBorderMask, CornerKeysAreLeftAndReported) {
    Skin skin(1, 8, 8, 3, 3, 3, 3, 0);
    constexpr std::uint32_t key = 0xFFFF00FFu;
    auto at = [&](int x, int y) -> std::uint32_t& { return skin.image.At(2 + x, 1 + y); };
    at(0, 0) = at(1, 0) = at(2, 0) = key;   // top-left: a run of three
    at(0, 1) = key;                         // and one below it
    at(7, 7) = key;                         // bottom-right corner
    at(4, 0) = key;                         // top side
    TacImage32 bmp = Target(12, 10);
    std::vector<TRect> runs;
    TacBlitter blit;
    DrawBorderMask(bmp.Bits(), false, 0, skin.Source(), &runs, blit);
    EXPECT_EQ(bmp.At(0, 0), kSentinel);
    EXPECT_EQ(bmp.At(2, 0), kSentinel);
    EXPECT_EQ(bmp.At(0, 1), kSentinel);
    EXPECT_EQ(bmp.At(1, 1), Named(0, 1, 1));
    EXPECT_EQ(bmp.At(11, 9), kSentinel);
    EXPECT_EQ(bmp.At(4, 0), key);   // a side copies it as it is
    const std::vector<TRect> want = {TRect(0, 0, 3, 1), TRect(0, 1, 1, 2), TRect(11, 9, 12, 10)};
    ASSERT_EQ(runs.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(runs[i], want[i]) << i;
}

// With a mask part every channel is mixed by the mask rule, key image pixels
// are skipped only with CheckKey, and the copy never reads the mask rows as
// image rows.
TEST(CopyMaskPiece, MaskRuleKeysAndClipping) {
    Skin skin(1, 4, 2, 1, 1, 1, 1, 0, 1, 0, 0);
    skin.image.At(0, 0) = 0xFF204060u;
    skin.image.At(0, 2) = 0x00808080u;   // weight 128 of the destination
    skin.image.At(1, 0) = 0x00FF00FFu;   // key
    skin.image.At(1, 2) = 0;
    TacImage32 bmp = Target(4, 4, 0xFFA0A0A0u);
    std::vector<TRect> runs;
    CopyMaskPiece(bmp.Bits(), TRect(0, 0, 2, 1), TPoint(0, 0), true, skin.Source(), &runs);
    auto mix = [](int d, int s, int m) { return ((d - s) * m + s * 256) >> 8; };
    EXPECT_EQ(bmp.At(0, 0), 0xFF000000u | std::uint32_t(mix(0xA0, 0x20, 0x80)) << 16 |
                                std::uint32_t(mix(0xA0, 0x40, 0x80)) << 8 | std::uint32_t(mix(0xA0, 0x60, 0x80)));
    EXPECT_EQ(bmp.At(1, 0), 0xFFA0A0A0u);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], TRect(1, 0, 2, 1));
    // Without CheckKey the key colour goes through the mask rule too.
    CopyMaskPiece(bmp.Bits(), TRect(1, 0, 2, 1), TPoint(1, 0), false, skin.Source(), nullptr);
    EXPECT_EQ(bmp.At(1, 0) & 0x00FFFFFFu, 0x00FF00FFu);
    // Destinations and sources partly outside are clipped, and a mask row
    // is never read beyond the image.
    TacImage32 low = Target(4, 4);
    CopyMaskPiece(low.Bits(), TRect(0, 0, 4, 4), TPoint(0, 3), false, skin.Source(), nullptr);
    EXPECT_NE(low.At(0, 0), kSentinel);
    EXPECT_EQ(low.At(0, 1), kSentinel);   // row 3 only: its mask row 5 is the last
    CopyMaskPiece(low.Bits(), TRect(-3, -3, 2, 2), TPoint(-1, 5), false, skin.Source(), nullptr);
    CopyMaskPiece(low.Bits(), TRect(3, 3, 100, 100), TPoint(3, 0), false, skin.Source(), nullptr);
}
