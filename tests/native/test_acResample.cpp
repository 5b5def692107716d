// The filtered resampler: filter weights, contribution lists, the exact
// arithmetic of the passes, and the edges where the support reaches past
// the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "acResample.h"

namespace {

// A 32-bit image in a plain buffer.
struct Image {
    int W, H;
    std::vector<std::uint32_t> Px;
    Image(int w, int h, std::uint32_t fill = 0) : W(w), H(h), Px(static_cast<std::size_t>(w) * h, fill) {}
    TacPixelView View() {
        return {reinterpret_cast<std::uint8_t*>(Px.data()), W, H, static_cast<std::ptrdiff_t>(W) * 4, 4};
    }
    std::uint32_t& At(int x, int y) { return Px[static_cast<std::size_t>(y) * W + x]; }
};

// Two identical rows of grey values (so the vertical pass is the identity).
Image GreyRows(const std::vector<int>& values) {
    Image img(static_cast<int>(values.size()), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < img.W; ++x) img.At(x, y) = 0xFF000000u | 0x010101u * static_cast<std::uint32_t>(values[x]);
    return img;
}

std::vector<int> BlueOfRow(Image& img, int y) {
    std::vector<int> out;
    for (int x = 0; x < img.W; ++x) out.push_back(static_cast<int>(img.At(x, y) & 0xFF));
    return out;
}

TEST(ResampleWeights, FilterShapes) {
    struct Case { int filter; double x; double expected; };
    const Case cases[] = {
        {0, 0.5, 1.0}, {0, -0.5, 0.0}, {0, 0.6, 0.0},   // box: half a pixel on one side only
        {1, 0.25, 0.75}, {1, 1.0, 0.0},
        {2, 0.5, 0.5},
        {3, 0.0, 0.75}, {3, 1.0, 0.125},
        {4, 0.0, 2.0 / 3.0}, {4, 1.0, 1.0 / 6.0},
        {5, 0.0, 1.0}, {5, 1.0, 0.0},
        {6, 0.0, 8.0 / 9.0}, {6, 1.0, 1.0 / 18.0},
        {7, 0.0, 0.0},                                     // unknown filter
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ResampleWeight(c.filter, c.x), c.expected, 1e-12) << "filter " << c.filter << " at " << c.x;
    EXPECT_EQ(ResampleRadius(0), 0.51f);
}

TEST(ResampleContributions, DownscaleWidensTheSupport) {
    const TacContributions c = MakeContributions(200, 100, 1);
    ASSERT_EQ(c.First.size(), 101u);
    for (int i = 1; i < 99; ++i) {
        EXPECT_GE(c.Count(i), 3) << i;
        EXPECT_LE(c.Count(i), 4) << i;
    }
}

// Targets of one pixel (filters 3, 4, 6) and small sources with filter 5
// reach further than one mirror at the ends: every index stays in the source.
TEST(ResampleContributions, IndexesStayInsideTheSource) {
    for (int filter = 0; filter < kResampleFilterCount; ++filter)
        for (int src = 1; src <= 9; ++src)
            for (int dst : {1, 2, 3, src + 1, 4 * src}) {
                const TacContributions c = MakeContributions(src, dst, filter);
                for (const TacContribution& p : c.Pairs)
                    ASSERT_TRUE(p.Index >= 0 && p.Index < src)
                        << "filter " << filter << " " << src << "->" << dst << " index " << p.Index;
            }
}

// The passes' integer arithmetic, pinned by hand-computed rows.
TEST(ResamplePixels, ExactRows) {
    struct Case { std::vector<int> src; int width; int filter; std::vector<int> expected; };
    const Case cases[] = {
        {{0, 255}, 3, 1, {0, 170, 255}},              // weights 21845 / 43691, mirrored last index
        {{0, 100, 200, 255}, 2, 1, {50, 188}},        // scale 0.5: 16384, 32768, 16384
        {{10, 20, 30, 40}, 4, 3, {10, 20, 30, 40}},   // same size copies
    };
    for (const Case& c : cases) {
        Image src = GreyRows(c.src);
        Image dst(c.width, 2);
        ResamplePixels(src.View(), dst.View(), c.filter);
        EXPECT_EQ(BlueOfRow(dst, 0), c.expected);
        EXPECT_EQ(BlueOfRow(dst, 1), c.expected);
        EXPECT_EQ(dst.At(0, 0) >> 24, 255u) << "alpha is resampled too";
    }
}

TEST(ResamplePixels, OvershootIsLimitedTo255) {
    Image src = GreyRows({0, 0, 0, 255, 255, 255});
    Image dst(24, 2);
    ResamplePixels(src.View(), dst.View(), 6);
    const std::vector<int> row = BlueOfRow(dst, 0);
    for (int x = 14; x < 24; ++x) EXPECT_GE(row[x], 200) << "wrapped at " << x;
}

// The source sits inside a frame of guard pixels; a read past the source
// would make the result depend on the frame's colour.
TEST(ResamplePixels, WideSupportsReadOnlyTheSource) {
    struct Case { int filter; int size; int target; };
    const Case cases[] = {{3, 2, 1}, {3, 5, 1}, {4, 3, 1}, {6, 2, 1}, {6, 4, 1}, {5, 2, 3}, {5, 3, 2}, {5, 2, 9}};
    for (const Case& c : cases) {
        std::uint32_t results[2][2];
        for (int g = 0; g < 2; ++g) {
            const int pad = 8, full = c.size + 2 * pad;
            Image frame(full, full, g ? 0xFFFFFFFFu : 0u);
            for (int y = 0; y < c.size; ++y)
                for (int x = 0; x < c.size; ++x) frame.At(pad + x, pad + y) = 0xFF336699u ^ static_cast<std::uint32_t>(x * 8 + y);
            const TacPixelView src{reinterpret_cast<std::uint8_t*>(&frame.At(pad, pad)), c.size, c.size,
                                   static_cast<std::ptrdiff_t>(full) * 4, 4};
            Image dst(c.target, c.target);
            ResamplePixels(src, dst.View(), c.filter);
            results[g][0] = dst.At(0, 0);
            results[g][1] = dst.At(c.target - 1, c.target - 1);
        }
        EXPECT_EQ(results[0][0], results[1][0]) << "filter " << c.filter << " " << c.size << "->" << c.target;
        EXPECT_EQ(results[0][1], results[1][1]) << "filter " << c.filter << " " << c.size << "->" << c.target;
    }
}

TEST(ResamplePixels, SmallSourceRaisesForCallersAndFallsBackForPainting) {
    Image src(1, 3, 0xFF0000FFu);
    src.At(0, 2) = 0xFF00FF00u;
    Image dst(2, 6);
    try {
        ResamplePixels(src.View(), dst.View(), 1);
        FAIL() << "no exception";
    } catch (const EacResample& e) {
        EXPECT_EQ(e.Message(), u"Source bitmap is too small");
    }
    EXPECT_EQ(dst.At(0, 0), 0u) << "the target is left alone";

    ResamplePixelsForPaint(src.View(), dst.View(), 1);
    EXPECT_EQ(dst.At(1, 0), 0xFF0000FFu);
    EXPECT_EQ(dst.At(1, 5), 0xFF00FF00u);
}

TEST(ResamplePixels, TwentyFourBitRowsWithBottomUpStride) {
    // Two rows of three 3-byte pixels, padded to 12 bytes, stored bottom-up.
    std::vector<std::uint8_t> src(24, 0), dst(2 * 8, 0);
    for (int i = 0; i < 9; ++i) src[12 + i] = 200;   // row 0 (stored second)
    const TacPixelView s{src.data() + 12, 3, 2, -12, 3};
    const TacPixelView d{dst.data() + 8, 2, 2, -8, 3};
    ResamplePixels(s, d, 1);
    // Downscaled weights are not normalised: 72819 and 58254 in 1/65536 units.
    const int expected[6] = {222, 222, 222, 177, 177, 177};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(dst[8 + i], expected[i]) << i;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(dst[i], 0) << i;
    EXPECT_EQ(dst[6], 0);   // padding untouched
}

// The passes as the rule states them: 64-bit sums of weight x byte over the
// contribution lists, horizontal into a work image, then vertical.
std::vector<std::uint8_t> ReferenceResample(const TacPixelView& s, int dw, int dh, int filter) {
    const int bpp = s.BytesPerPixel;
    auto clampSum = [](std::int64_t v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v >= 0xFF0001 ? 255 : v >> 16); };
    const TacContributions h = MakeContributions(s.Width, dw, filter), v = MakeContributions(s.Height, dh, filter);
    std::vector<std::uint8_t> tmp(static_cast<std::size_t>(dw) * bpp * s.Height), out(static_cast<std::size_t>(dw) * bpp * dh);
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < dw; ++x)
            for (int ch = 0; ch < bpp; ++ch) {
                std::int64_t sum = 0;
                for (int k = h.First[x]; k < h.First[x + 1]; ++k)
                    sum += std::int64_t(h.Pairs[k].Weight) * s.Row(y)[h.Pairs[k].Index * bpp + ch];
                tmp[(static_cast<std::size_t>(y) * dw + x) * bpp + ch] = clampSum(sum);
            }
    const std::size_t line = static_cast<std::size_t>(dw) * bpp;
    for (int y = 0; y < dh; ++y)
        for (std::size_t b = 0; b < line; ++b) {
            std::int64_t sum = 0;
            for (int k = v.First[y]; k < v.First[y + 1]; ++k)
                sum += std::int64_t(v.Pairs[k].Weight) * tmp[v.Pairs[k].Index * line + b];
            out[y * line + b] = clampSum(sum);
        }
    return out;
}

// The vector passes (32-bit pixels) and the plain ones (24-bit) against the
// reference on random images: every filter, up and down in each direction,
// padded and bottom-up rows; the padding must stay as it was.
TEST(ResamplePixels, MatchesTheReferenceSums) {
    std::mt19937 gen(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int round = 0; round < 300; ++round) {
        const int filter = round % kResampleFilterCount, bpp = round % 3 == 0 ? 3 : 4;
        const int sw = pick(2, 40), sh = pick(2, 40), dw = pick(1, 60), dh = pick(1, 60);
        const std::ptrdiff_t srcPitch = sw * bpp + pick(0, 5), dstPitch = dw * bpp + pick(0, 5);
        std::vector<std::uint8_t> src(static_cast<std::size_t>(srcPitch) * sh), dst(static_cast<std::size_t>(dstPitch) * dh);
        for (auto& b : src) b = static_cast<std::uint8_t>(pick(0, 3) == 0 ? pick(0, 1) * 255 : pick(0, 255));
        for (auto& b : dst) b = 0xA5;
        const bool bottomUp = round % 2 == 1;
        const TacPixelView s{bottomUp ? src.data() + (sh - 1) * srcPitch : src.data(), sw, sh,
                             bottomUp ? -srcPitch : srcPitch, bpp};
        const TacPixelView d{dst.data(), dw, dh, dstPitch, bpp};
        ResamplePixels(s, d, filter);
        if (sw == dw && sh == dh) continue;
        const std::vector<std::uint8_t> expected = ReferenceResample(s, dw, dh, filter);
        for (int y = 0; y < dh; ++y) {
            const std::uint8_t* row = dst.data() + y * dstPitch;
            ASSERT_TRUE(std::equal(row, row + dw * bpp, expected.data() + static_cast<std::size_t>(y) * dw * bpp))
                << "filter " << filter << " bpp " << bpp << " " << sw << "x" << sh << " -> " << dw << "x" << dh << " row " << y;
            ASSERT_TRUE(std::all_of(row + dw * bpp, row + dstPitch, [](std::uint8_t b) { return b == 0xA5; }));
        }
    }
}

}  // namespace
