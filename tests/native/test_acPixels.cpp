// Pixel kernels of the work bitmaps: the arithmetic pinned by tables (the
// same tables run natively and under Wine), clipping against guarded
// buffers in both row orders, and the key, alpha and parent-image rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "acPixels.h"

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEFu;

// A W x H image inside a buffer with a guard frame of two pixels, top-down
// or bottom-up (negative stride).
class Img {
public:
    Img(int w, int h, std::uint32_t fill = 0, bool bottomUp = false) : w_(w), h_(h), pitch_(w + 4) {
        store_.assign(static_cast<std::size_t>(pitch_) * (h + 4), kGuard);
        bits.Width = w;
        bits.Height = h;
        const std::ptrdiff_t row = pitch_ * 4;
        auto* base = reinterpret_cast<std::uint8_t*>(store_.data()) + 2 * row + 8;
        bits.Row0 = bottomUp ? base + (h - 1) * row : base;
        bits.Stride = bottomUp ? -row : row;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) (*this)(x, y) = fill;
    }
    std::uint32_t& operator()(int x, int y) { return bits.At(x, y); }
    // True when nothing outside the image was written.
    bool GuardIntact() const {
        for (int y = 0; y < h_ + 4; ++y)
            for (int x = 0; x < pitch_; ++x) {
                const bool inside = y >= 2 && y < h_ + 2 && x >= 2 && x < w_ + 2;
                if (!inside && store_[static_cast<std::size_t>(y) * pitch_ + x] != kGuard) return false;
            }
        return true;
    }
    TacBits32 bits;

private:
    int w_, h_, pitch_;
    std::vector<std::uint32_t> store_;
};

// ---- arithmetic ------------------------------------------------------------

TEST(YourPixelsArithmetic, MixFormulas) {
    struct Case { int d, s, w, std, sum; };
    // std: ((s - d) * w + d * 256) shr 8; sum: (d * w + s * (255 - w) + 127) shr 8
    const Case cases[] = {
        {100, 200, 128, 150, 149}, {0, 255, 255, 254, 0},   {255, 0, 255, 0, 254}, {255, 0, 0, 255, 0},
        {0, 255, 0, 0, 254},       {200, 100, 64, 175, 125}, {17, 17, 200, 17, 17},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StdMix(c.d, c.s, c.w), c.std) << c.d << ' ' << c.s << ' ' << c.w;
        EXPECT_EQ(SumMix(c.d, c.s, c.w), c.sum) << c.d << ' ' << c.s << ' ' << c.w;
    }
}

TEST(YourPixelsArithmetic, PercentsAreClampedBeforeBecomingWeights) {
    const int cases[][2] = {{-20, 0}, {0, 0}, {50, 127}, {100, 255}, {150, 255}};
    for (const auto& c : cases) EXPECT_EQ(PercentToWeight(c[0]), c[1]) << c[0];
}

TEST(YourPixelsArithmetic, ColourRoutines) {
    EXPECT_EQ(SwapRedBlue(TColor(0x12345678)), TColor(0x12785634));
    EXPECT_EQ(ReverseRGB(TColor(0x00FF00FF)), TColor(0x00FF00FF));
    EXPECT_EQ(OpaquePixel(0x0000FF), 0xFFFF0000u);   // red as a pixel word
    EXPECT_EQ(MixColorsHalfCore(0xFFFFFF, 0xFFFFFF), 0xFFFFFF);
    EXPECT_EQ(MixColorsHalfCore(0, 0xFFFFFF), 0x808080);
    EXPECT_EQ(MixColorsHalf(0x7F000000 | 0xFF, 0x000000), 0x00007E);   // high byte 0
    // Round halves to even; the high byte comes from A.
    EXPECT_EQ(BlendColors(0x7F030201, 0x000000, 0.5), 0x7F020100);
    EXPECT_EQ(BlendColors(0x0000FF, 0x00FF00, 0.25), 0x00BF40);
    std::uint32_t words[4] = {1, 1, 1, 1};
    FillLongs(words, 3, 7);
    FillLongs(words, -1, 9);
    EXPECT_EQ(words[2], 7u);
    EXPECT_EQ(words[3], 1u);
}

// ---- fills -----------------------------------------------------------------

TEST(YourPixelsFill, FillRect32ClipsInBothRowOrders) {
    for (bool bottomUp : {false, true}) {
        Img img(4, 3, 0, bottomUp);
        FillRect32(img.bits, TRect(-5, 1, 100, 100), 0x0000FF);
        EXPECT_TRUE(img.GuardIntact());
        EXPECT_EQ(img(0, 0), 0u);
        EXPECT_EQ(img(0, 1), 0xFFFF0000u);
        EXPECT_EQ(img(3, 2), 0xFFFF0000u);
        FillRect32(img.bits, TRect(2, 2, 2, 3), 0x00FF00);   // empty
        FillRect32(img.bits, TRect(4, 0, 9, 3), 0x00FF00);   // beside the image
        EXPECT_EQ(img(3, 2), 0xFFFF0000u);
        EXPECT_TRUE(img.GuardIntact());
    }
}

TEST(YourPixelsFill, FillAlphaRectSkipsOnlyTheKeyWord) {
    Img img(3, 1, 0x00112233);
    img(1, 0) = kKeyPixel;
    img(2, 0) = 0xFFFF00FF;   // fuchsia with alpha: not key
    FillAlphaRect(img.bits, TRect(0, -3, 9, 9), 0x80, true);
    EXPECT_EQ(img(0, 0), 0x80112233u);
    EXPECT_EQ(img(1, 0), kKeyPixel);
    EXPECT_EQ(img(2, 0), 0x80FF00FFu);
    FillAlphaRect(img.bits, TRect(0, 0, 3, 1), 0x40, false);
    EXPECT_EQ(img(1, 0), 0x40FF00FFu);
    EXPECT_TRUE(img.GuardIntact());
}

TEST(YourPixelsFill, BlendRectWithColorIncludesRightAndBottomEdges) {
    Img img(4, 4, 0x7F000000);
    // Percent weighs the existing pixel: 50 % of 0 and 0x03 is 1.5 -> 2, of 0x01 is 0.5 -> 0.
    BlendRectWithColor(img.bits, TRect(1, 1, 2, 2), 50, 0x030201);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool in = x >= 1 && x <= 2 && y >= 1 && y <= 2;
            EXPECT_EQ(img(x, y), in ? 0x7F000102u : 0x7F000000u) << x << ',' << y;
        }
    // The full rectangle covers everything; a percent above 100 keeps the pixels.
    BlendRectWithColor(img.bits, TRect(0, 0, 4, 4), 250, 0xFFFFFF);
    EXPECT_EQ(img(1, 1), 0x7F000102u);
    BlendRectWithColor(img.bits, TRect(-9, -9, 40, 40), 0, 0xFFFFFF);
    EXPECT_EQ(img(0, 0), 0x7FFFFFFFu);
    EXPECT_EQ(img(3, 3), 0x7FFFFFFFu);
    EXPECT_TRUE(img.GuardIntact());
}

TEST(YourPixelsFill, TintBitmapLeavesKeyAndAlpha) {
    Img img(2, 1, 0x40FF0000);
    img(1, 0) = kKeyPixel;
    TintBitmap(img.bits, 0x000000, 0.5);   // toward black by half: 127.5 -> 128
    EXPECT_EQ(img(0, 0), 0x40800000u);
    EXPECT_EQ(img(1, 0), kKeyPixel);
}

// ---- blends between buffers --------------------------------------------------

TEST(YourPixelsBlend, SumBlendMatchesRowsFromTheBottom) {
    Img dst(2, 4, 0);
    Img src(2, 4, 0, true);
    for (int y = 0; y < 4; ++y) src(0, y) = src(1, y) = 0x01010101u * (10 * (y + 1));
    // Destination rows 0..1 take source rows 2..3 (bottom edges 2 and 4 meet).
    BlendBitmapsRect(dst.bits, src.bits, 0, {0, 0, 2, 2, 0, 1, 2, 4});
    EXPECT_EQ(dst(0, 0), 0x1E1E1E1Eu);   // (30 * 255 + 127) shr 8 = 30
    EXPECT_EQ(dst(1, 1), 0x28282828u);
    EXPECT_EQ(dst(0, 2), 0u);
    EXPECT_TRUE(dst.GuardIntact());
}

TEST(YourPixelsBlend, FadeNeedsEqualSizesOfTwoByTwo) {
    Img dst(2, 2, 0x646464C8), src(2, 2, 0xC8C8C864);
    FadeBitmapInto(dst.bits, src.bits, 128);
    EXPECT_EQ(dst(1, 1), 0x95959596u);   // 100 over 200 at 128 -> 149; 200 over 100 -> 150
    Img wide(3, 2, 5), one(2, 1, 5), oneSrc(2, 1, 9);
    FadeBitmapInto(wide.bits, src.bits, 0);
    FadeBitmapInto(one.bits, oneSrc.bits, 0);
    EXPECT_EQ(wide(0, 0), 5u);
    EXPECT_EQ(one(0, 0), 5u);
}

TEST(YourPixelsBlend, BlendBitmapRectShiftsNegativePointsAndClips) {
    Img dst(3, 3, 0), src(4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src(x, y) = static_cast<std::uint32_t>(10 * y + x);
    // Alpha 0: byte 0 gets (s * 255 + 127) >> 8, which is s for these small values.
    BlendBitmapRect(dst.bits, src.bits, 0, TRect(0, 0, 4, 4), TPoint(-1, -2));
    EXPECT_EQ(dst(0, 0), 21u);
    EXPECT_EQ(dst(2, 1), 33u);
    EXPECT_EQ(dst(0, 2), 0u);
    BlendBitmapRect(dst.bits, src.bits, 0, TRect(0, 0, 4, 4), TPoint(3, 0));   // point outside
    EXPECT_TRUE(dst.GuardIntact());
}

TEST(YourPixelsBlend, BlendTransBitmapSkipsKeyAndKeepsAlpha) {
    Img dst(3, 2, 0x11000000), src(3, 2, 0x22C86432);
    src(1, 0) = kKeyPixel;
    // Inclusive source edges: (0,0)-(1,0) is two pixels; a negative left edge
    // moves the destination with it.
    BlendTransBitmap(dst.bits, 0, 0, src.bits, TRect(-1, 0, 1, 0), 0.25, 0x00FF00FF);
    EXPECT_EQ(dst(0, 0), 0x11000000u);
    EXPECT_EQ(dst(1, 0), 0x11964B26u);   // 200*.75=150, 100*.75=75, 50*.75=37.5->38
    EXPECT_EQ(dst(2, 0), 0x11000000u);   // key
    EXPECT_EQ(dst(1, 1), 0x11000000u);
    BlendTransBitmap(dst.bits, 2, 1, src.bits, TRect(0, 0, 99, 99), 0.0, 0);
    EXPECT_EQ(dst(2, 1), 0x11C86432u);
    EXPECT_TRUE(dst.GuardIntact());
}

// The cut of an edge at INT_MIN is 2^31: source column and row 0 land 2^31
// past the given point, here (1, 1).
TEST(YourPixelsBlend, BlendTransBitmapCutsEdgesAtTheIntLimit) {
    constexpr int kMin = std::numeric_limits<int>::min();
    Img dst(3, 3, 0x11000000), src(3, 3, 0x22C86432);
    BlendTransBitmap(dst.bits, kMin + 1, kMin + 1, src.bits, TRect(kMin, kMin, 0, 0), 0.0, 0);
    EXPECT_EQ(dst(1, 1), 0x11C86432u);
    EXPECT_EQ(dst(0, 0), 0x11000000u);
    EXPECT_EQ(dst(2, 2), 0x11000000u);
    EXPECT_TRUE(dst.GuardIntact());
}

TEST(YourPixelsBlend, MixBitmapsByMaskChecksEveryBitmap) {
    Img dst(2, 2, 0x7F000000), a(2, 2, 0x00FFFFFF), b(2, 2, 0), mask(2, 2, 0x00FF8000);
    MixBitmapsByMask(dst.bits, a.bits, b.bits, &mask.bits, 0);
    EXPECT_EQ(dst(1, 1), 0x7FFE7F00u);   // per channel mask weight, alpha kept
    MixBitmapsByMask(dst.bits, a.bits, b.bits, nullptr, 128);
    EXPECT_EQ(dst(0, 0), 0x7F7F7F7Fu);
    // A smaller destination or mask is refused, not overrun.
    Img small(1, 1, 3), smallMask(1, 2, 0);
    MixBitmapsByMask(small.bits, a.bits, b.bits, nullptr, 128);
    MixBitmapsByMask(dst.bits, a.bits, b.bits, &smallMask.bits, 128);
    EXPECT_EQ(small(0, 0), 3u);
    EXPECT_TRUE(small.GuardIntact());
    EXPECT_EQ(dst(0, 0), 0x7F7F7F7Fu);
}

// ---- copies ----------------------------------------------------------------

TEST(YourPixelsCopy, CopyTransparentRectInclusiveEdgesAndKey) {
    Img dst(3, 3, 0), src(3, 3, 0x44332211);
    src(0, 0) = 0x000000FFu;   // the key 0xFF0000 as a word
    CopyTransparentRect(dst.bits, src.bits, 1, 1, TRect(0, 0, 1, 5), 0xFF0000);
    EXPECT_EQ(dst(1, 1), 0u);
    EXPECT_EQ(dst(2, 1), 0x44332211u);
    EXPECT_EQ(dst(2, 2), 0x44332211u);
    EXPECT_EQ(dst(0, 1), 0u);
    EXPECT_TRUE(dst.GuardIntact());
}

TEST(YourPixelsCopy, DrawAlphaBitmapAtMakesOpaqueAndCutsNegativeOrigins) {
    Img dst(2, 2, 0), src(2, 2, 0x00123456);
    src(1, 1) = 0x00FF00FFu;
    src(0, 1) = 0x77FF00FFu;   // high byte differs: copied
    DrawAlphaBitmapAt(dst.bits, src.bits, -1, 0, 0xFF00FF);
    EXPECT_EQ(dst(0, 0), 0xFF123456u);
    EXPECT_EQ(dst(0, 1), 0u);
    EXPECT_EQ(dst(1, 0), 0u);
    DrawAlphaBitmapAt(dst.bits, src.bits, 0, 0, 0xFF00FF);
    EXPECT_EQ(dst(0, 1), 0xFFFF00FFu);
    std::uint8_t rgb[2 * 3] = {1, 2, 3, 0xFF, 0, 0xFF};
    TacBits24 s24{rgb, 2, 1, 8};
    Img d2(2, 1, 0);
    DrawAlphaBitmapAt(d2.bits, s24, 0, 0, 0xFF00FF);
    EXPECT_EQ(d2(0, 0), 0xFF030201u);
    EXPECT_EQ(d2(1, 0), 0u);
    EXPECT_TRUE(dst.GuardIntact());

    // A negative Y cuts off the source's top rows; what passes the right and
    // bottom edges is left out.
    Img d3(2, 2, 0), tall(3, 3, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) tall(x, y) = 0x00000010u * static_cast<std::uint32_t>(y * 3 + x + 1);
    DrawAlphaBitmapAt(d3.bits, tall.bits, 1, -2, 0xFF00FF);
    EXPECT_EQ(d3(1, 0), 0xFF000070u);   // source (0, 2)
    EXPECT_EQ(d3(0, 0), 0u);
    EXPECT_EQ(d3(1, 1), 0u);
    EXPECT_TRUE(d3.GuardIntact());
}

TEST(YourPixelsCopy, CopyThroughMaskAccumulatesAlpha) {
    Img dst(2, 1, 0x80000000), src(2, 1, 0x80FF0000);
    src(1, 0) = 0x00FF0000;   // alpha 0: nothing changes, alpha included
    CopyThroughMask(TRect(0, 0, 2, 1), TRect(0, 0, 2, 1), dst.bits, src.bits, TacParent{}, false);
    EXPECT_EQ(dst(0, 0), 0xBF7F0000u);   // alpha 128 + 128 * 127 div 255 = 191
    EXPECT_EQ(dst(1, 0), 0x80000000u);
    // Ready with a parent: key pixels take the parent opaque, inside only.
    Img parent(1, 1, 0x00ABCDEF);
    const TacParent ci{&parent.bits, -1, 0, kNoColor, true};
    src(0, 0) = src(1, 0) = kKeyPixel;
    CopyThroughMask(TRect(0, 0, 2, 1), TRect(0, 0, 2, 1), dst.bits, src.bits, ci, true);
    EXPECT_EQ(dst(0, 0), 0xBF7F0000u);   // parent (-1, 0): outside
    EXPECT_EQ(dst(1, 0), 0xFFABCDEFu);
}

TEST(YourPixelsCopy, CopyMaskedRectCases) {
    Img parent(4, 1, 0x00C0C0C0);
    struct Case {
        const char* name;
        TacParent ci;
        bool useParent;
        std::uint32_t keyResult, plainResult;
    };
    const Case cases[] = {
        {"parent", {&parent.bits, 1, 0, kNoColor, true}, true, 0xFFC0C0C0u, 0xFF010203u},
        {"ready", {&parent.bits, 1, 0, kNoColor, true}, false, 0x5Au, 0x00010203u},
        {"fill", {nullptr, 0, 0, 0x0000FF, false}, false, 0xFFFF0000u, 0x00010203u},
        {"no fill colour", {nullptr, 0, 0, kNoColor, false}, true, 0x5Au, 0x00010203u},
    };
    for (const Case& c : cases) {
        Img dst(2, 1, 0x5A), src(2, 1, 0x00010203);
        src(0, 0) = kKeyPixel;
        CopyMaskedRect(dst.bits, src.bits, 0, 0, TRect(0, 0, 1, 0), 0xFF00FF, c.ci, c.useParent);
        EXPECT_EQ(dst(0, 0), c.keyResult) << c.name;
        EXPECT_EQ(dst(1, 0), c.plainResult) << c.name;
    }
    // Into the parent image itself the key words stay.
    Img self(2, 1, 0x5A), src(2, 1, kKeyPixel);
    CopyMaskedRect(self.bits, src.bits, 0, 0, TRect(0, 0, 1, 0), 0xFF00FF, {&self.bits, 0, 0, kNoColor, true}, true);
    EXPECT_EQ(self(0, 0), 0x5Au);
    // Key pixels far outside the parent image are skipped.
    Img dst(2, 1, 0x5A);
    CopyMaskedRect(dst.bits, src.bits, 0, 0, TRect(0, 0, 1, 0), 0xFF00FF, {&parent.bits, 1000, -7, kNoColor, true},
                   true);
    EXPECT_EQ(dst(0, 0), 0x5Au);
}

TEST(YourPixelsCopy, CopyMaskedFromMasterMixesByTheLowerHalf) {
    // A 1 x 4 master: rows 0..1 image, rows 2..3 mask.
    Img src(1, 4, 0);
    src(0, 0) = 0x00FF8040;
    src(0, 1) = kKeyPixel;
    src(0, 2) = 0x00008000;   // mask of row 0: weight of the background, 0 (image) but green 128
    src(0, 3) = 0;
    Img parent(1, 2, 0x00111111);
    struct Case {
        bool ready, opaque;
        TColor fill;
        std::uint32_t row0, row1;
    };
    const Case cases[] = {
        {true, true, kNoColor, 0xFFFF4040u, 0xFF111111u},
        {true, false, kNoColor, 0x22FF4040u, 0x22FF00FFu},
        {false, true, 0x0000FF, 0x22FF4040u, 0x00FF0000u},
        {false, false, 0x0000FF, 0x22FF4040u, 0x22000000u | 0x0},
    };
    for (const Case& c : cases) {
        Img dst(1, 2, 0x22000000 | 0x0);
        if (!c.ready && !c.opaque) dst(0, 1) = 0x22000000;
        CopyMaskedFromMaster(TRect(0, 0, 1, 2), TRect(0, 0, 1, 2), dst.bits, src.bits,
                             {&parent.bits, 0, 0, c.fill, c.ready}, c.opaque, 2);
        EXPECT_EQ(dst(0, 0), c.row0) << c.ready << c.opaque;
        EXPECT_EQ(dst(0, 1), c.row1) << c.ready << c.opaque;
    }
}

TEST(YourPixelsAlphaImage, WeightsAndAlpha) {
    struct Case {
        const char* name;
        std::uint32_t src;
        int percent;
        std::uint32_t result;
    };
    const Case cases[] = {
        {"opaque", 0xFFC86432, 0, 0xFFC76331},
        {"alpha 0 keeps colour, raises alpha", 0x40C86432 & 0x00FFFFFF, 0, 0x40000000},
        {"half percent", 0xFFC86432, 50, 0x40633118},
        {"percent above 100 is 100", 0xFFC86432, 180, 0x40000000},
        {"negative percent is 0", 0xFFC86432, -30, 0xFFC76331},
    };
    for (const Case& c : cases) {
        Img dst(1, 1, 0x40000000), src(1, 1, c.src);
        CopyAlphaImage(TRect(0, 0, 1, 1), TRect(0, 0, 1, 1), dst.bits, src.bits, TacParent{}, false, kNoTint,
                       c.percent, false);
        EXPECT_EQ(dst(0, 0), c.result) << c.name;
    }
}

TEST(YourPixelsAlphaImage, TintAndKeyPixels) {
    Img dst(2, 1, 0), src(2, 1, 0xFF3060C0);   // grey (0x30+0x60+0xC0)/3 = 0x70
    src(1, 0) = kKeyPixel;
    Img parent(1, 1, 0x00ABCDEF);
    // Tint red (0x0000FF): red target 0x70, green and blue 0.
    CopyAlphaImage(TRect(0, 0, 2, 1), TRect(0, 0, 2, 1), dst.bits, src.bits, {&parent.bits, 0, 0, kNoColor, true}, true,
                   0x0000FF, 0, false);
    EXPECT_EQ(dst(0, 0), 0x006F0000u);
    EXPECT_EQ(dst(1, 0), 0u);   // parent (1, 0) lies outside the parent image
}

TEST(YourPixelsAlphaImage, ReflectionReadsOnlyTheSourceRectangle) {
    // Source rows 0..3 opaque white above a 2-row rectangle of black at rows 4..5.
    Img src(1, 8, 0xFFFFFFFF);
    src(0, 4) = src(0, 5) = 0xFF000000;
    Img dst(1, 10, 0x00606060);
    CopyAlphaImage(TRect(0, 0, 1, 2), TRect(0, 4, 1, 6), dst.bits, src.bits, TacParent{}, false, kNoTint, 0, true);
    EXPECT_EQ(dst(0, 0), 0xFF000000u);
    EXPECT_EQ(dst(0, 2), 0x00606060u);
    // Row 3 (Bottom + 1) mirrors source row Bottom - 2 = 4 at fade 255: weight
    // 255 * (255 div 3) div 255 = 85 toward black. Further rows would need
    // source rows above the rectangle.
    EXPECT_EQ(dst(0, 3), 0x00404040u);
    for (int y = 4; y < 10; ++y) EXPECT_EQ(dst(0, y), 0x00606060u) << y;
    EXPECT_TRUE(dst.GuardIntact());
    EXPECT_TRUE(src.GuardIntact());
}

TEST(YourPixelsShadow, RoundShadowStaysInsideAndDarkensTheMiddle) {
    Img img(12, 12, 0xFFFFFFFF, true);
    PaintRoundShadow(img.bits, TRect(-2, 2, 10, 14), 0, 0x000000, 3, 2);
    EXPECT_TRUE(img.GuardIntact());
    EXPECT_EQ(img(11, 5), 0xFFFFFFFFu);   // outside R
    EXPECT_EQ(img(5, 1), 0xFFFFFFFFu);
    // Middle: inset 3 of 3 steps with G 0 has grey Round(255 / 4 * 1) = 64.
    EXPECT_EQ(img(3, 8), 0xFF3F3F3Fu);
    // The edge of R has the white mask: the standard mix at 255 (255 -> 254).
    EXPECT_EQ(img(4, 2), 0xFFFEFEFEu);
    Img plain(4, 4, 0x00FFFFFF);
    PaintRoundShadow(plain.bits, TRect(0, 0, 4, 4), 100, 0x000000, 5, 0);   // 100 %: all white
    EXPECT_EQ(plain(1, 1), 0x00FEFEFEu);
}

}  // namespace
