// Colour filters, the Gaussian blur of coverage maps and the glow laid from
// such a map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "acFilters.h"

namespace {

struct Pixels {
    std::vector<std::uint32_t> Px;
    explicit Pixels(std::vector<std::uint32_t> px) : Px(std::move(px)) {}
    TacBits32 Bits() { return {reinterpret_cast<std::uint8_t*>(Px.data()), static_cast<int>(Px.size()), 1, 0}; }
};

struct Map8 {
    int W, H;
    std::vector<std::uint8_t> V;
    Map8(int w, int h, std::uint8_t fill) : W(w), H(h), V(static_cast<std::size_t>(w) * h, fill) {}
    TacBits8 Bits() { return {V.data(), W, H, W}; }
    std::uint8_t& At(int x, int y) { return V[static_cast<std::size_t>(y) * W + x]; }
};

TEST(ColourFilters, GreyKeepsAlphaAndTheKey) {
    Pixels p({0x80102030u, kKeyPixel, 0xFFFFFFFFu});
    GrayscaleBitmapExceptKey(p.Bits(), kKeyPixel);
    EXPECT_EQ(p.Px[0], 0x80202020u);   // (0x10 + 0x20 + 0x30) div 3
    EXPECT_EQ(p.Px[1], kKeyPixel);
    EXPECT_EQ(p.Px[2], 0xFFFFFFFFu);
    GrayscaleBitmap(p.Bits());
    EXPECT_EQ(p.Px[1], 0x00AAAAAAu);   // (255 + 0 + 255) div 3
}

TEST(ColourFilters, HueAndSaturation) {
    struct Case { std::uint32_t in; int hue; int saturation; std::uint32_t out; };
    const Case cases[] = {
        {0xFFFF0000u, 120, 0, 0xFF00FF00u},   // red to green
        {0x40FF0000u, 240, 0, 0x400000FFu},   // alpha kept
        {0xFF0000FFu, -120, 0, 0xFF00FF00u},
        {0xFF336699u, 360, 0, 0xFF336699u},
        {0xFF649600u | 0xC8u, 0, 100, 0xFF3296FAu},   // (100, 150, 200) -> (50, 150, 250)
        {0xFF649600u | 0xC8u, 0, -100, 0xFF969696u},  // pulled to the grey average
        {0xFF808080u, 90, 50, 0xFF808080u},   // grey stays
        {kKeyPixel, 90, 50, kKeyPixel},       // the key stays
    };
    for (const Case& c : cases) {
        Pixels p({c.in});
        if (c.hue) ShiftBitmapHue(p.Bits(), c.hue);
        if (c.saturation) ChangeBitmapSaturation(p.Bits(), c.saturation);
        EXPECT_EQ(p.Px[0], c.out) << std::hex << c.in << " " << std::dec << c.hue << " " << c.saturation;
    }
}

TEST(GaussKernel, SizeAndSum) {
    for (double radius : {0.0, -3.0, 0.1, 1.0, 5.0, 40.0}) {
        TacGaussKernel k;
        MakeGaussKernel(k, 1, 255, radius);
        EXPECT_GE(k.Size, 1) << radius;
        double sum = 0;
        for (int i = -k.Size; i <= k.Size; ++i) sum += k.At(i);
        EXPECT_NEAR(sum, 1.0, 1e-5) << radius;
        EXPECT_EQ(k.At(k.Size + (k.Size < 100)), 0.0f) << "weights past the size are cleared";
    }
    TacGaussKernel k;
    MakeGaussKernel(k, 1, 255, 0);
    EXPECT_EQ(k.At(0), 1.0f);
}

// Weights in single precision sum to a little under 1: truncating left a
// uniform white map at 254.
TEST(BlurBitmap, UniformMapsStayUniform) {
    for (int radius = 0; radius <= 30; ++radius)
        for (std::uint8_t v : {std::uint8_t{255}, std::uint8_t{0}, std::uint8_t{77}}) {
            Map8 m(13, 7, v);
            BlurBitmap(m.Bits(), radius);
            for (std::uint8_t got : m.V) ASSERT_EQ(got, v) << "radius " << radius;
        }
}

TEST(BlurBitmap, SpreadsADotSymmetrically) {
    Map8 m(15, 15, 255);
    m.At(7, 7) = 0;
    BlurBitmap(m.Bits(), 2);
    EXPECT_LT(m.At(7, 7), 255);
    EXPECT_LT(m.At(7, 7), m.At(8, 7));
    EXPECT_EQ(m.At(6, 7), m.At(8, 7));
    EXPECT_EQ(m.At(7, 5), m.At(5, 7));
    EXPECT_EQ(m.At(0, 0), 255);
}

// The blur by its definition: every value the sum of weight times the value
// at the offset, indexes held inside the line, added from offset -Size up,
// rounded to nearest (halves to even) and limited to 0..255; rows first.
void BlurByDefinition(Map8& m, int radius) {
    TacGaussKernel k;
    MakeGaussKernel(k, 1, 255, radius);
    auto pass = [&](int count, auto at) {
        std::vector<std::uint8_t> line(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) line[static_cast<std::size_t>(i)] = at(i);
        for (int j = 0; j < count; ++j) {
            double sum = 0;
            for (int o = -k.Size; o <= k.Size; ++o)
                sum += static_cast<double>(k.At(o)) * line[static_cast<std::size_t>(std::clamp(j - o, 0, count - 1))];
            at(j) = static_cast<std::uint8_t>(std::clamp(std::nearbyint(sum), 0.0, 255.0));
        }
    };
    for (int y = 0; y < m.H; ++y) pass(m.W, [&](int x) -> std::uint8_t& { return m.At(x, y); });
    for (int x = 0; x < m.W; ++x) pass(m.H, [&](int y) -> std::uint8_t& { return m.At(x, y); });
}

// Lines of every length up to nine (results are summed four, two and one at
// a time), kernels from one tap to all 201, and lines shorter than the
// kernel, where the held edge values carry most of the weight.
TEST(BlurBitmap, MatchesTheDefinitionExactly) {
    std::uint32_t seed = 7;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    for (int radius : {0, 1, 2, 5, 13, 60})
        for (int w = 1; w <= 9; ++w)
            for (int h : {1, 3, 8, 40}) {
                Map8 got(w, h, 255);
                for (std::uint8_t& v : got.V) v = static_cast<std::uint8_t>(next() % 3 == 0 ? 255 : next());
                Map8 want = got;
                BlurBitmap(got.Bits(), radius);
                BlurByDefinition(want, radius);
                ASSERT_EQ(got.V, want.V) << "radius " << radius << ", " << w << " x " << h;
            }
}

TEST(LayGlowMap, MixesTowardTheGlowAndClips) {
    std::vector<std::uint32_t> px(4, 0x80204060u);
    const TacBits32 bmp{reinterpret_cast<std::uint8_t*>(px.data()), 2, 2, 8};
    Map8 m(3, 3, 255);
    m.At(1, 1) = 0;     // full ink: the glow colour, opaque
    m.At(2, 1) = 100;   // partial
    m.At(0, 0) = 0;     // falls outside the bitmap
    LayGlowMap(bmp, m.Bits(), -1, -1, 0x0000FF);   // red glow (TColor)
    EXPECT_EQ(px[0], 0xFFFF0000u);
    // blue 0x60: 0 + 100 * 96 div 255 = 37; green 0x40: 25; red 0x20: 255 + 100 * (32 - 255) div 255 = 168;
    // alpha 0x80: 128 + 155 * 127 div 255 = 205.
    EXPECT_EQ(px[1], 0xCDA81925u);
    EXPECT_EQ(px[2], 0x80204060u);
    EXPECT_EQ(px[3], 0x80204060u);
}

TEST(LayTextInk, CoverageFromDarknessOpaqueAndClipped) {
    std::vector<std::uint32_t> px(4, 0x40204060u);
    const TacBits32 bmp{reinterpret_cast<std::uint8_t*>(px.data()), 2, 2, 8};
    // Black text on white: ink pixels in blue, green, red, alpha order.
    std::vector<std::uint32_t> ink = {0x00000000u, 0x00FFFFFFu, 0x00FFFFFFu,    // outside, then paper
                                      0x00FFFFFFu, 0x00000000u, 0x00FF7F00u};   // paper, full, partial
    const TacBits32 inkBits{reinterpret_cast<std::uint8_t*>(ink.data()), 3, 2, 12};
    LayTextInk(bmp, inkBits, -1, -1, 0x0000FF);   // red text (TColor)
    EXPECT_EQ(px[0], 0xFFFF0000u);                // full coverage: the text colour, opaque
    // Coverage per channel: blue 255, green 128, red 0.
    // blue 0x60 + (0 - 96) * 255 div 255 = 0; green 0x40 + (0 - 64) * 128 div 255 = 0x20; red unchanged.
    EXPECT_EQ(px[1], 0xFF202000u);
    EXPECT_EQ(px[2], 0x40204060u);
    EXPECT_EQ(px[3], 0x40204060u);
}

}  // namespace
