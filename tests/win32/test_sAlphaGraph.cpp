// The TBitmap side of resampling, gradients and the glow map: formats,
// GradientFill corners and the palette of coverage maps, under Wine's GDI.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <memory>

#include "FrameworkEnvironment.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

std::uint32_t PixelAt(TBitmap& bmp, int x, int y) { return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x]; }

void Fill32(TBitmap& bmp, std::uint32_t word) {
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) static_cast<std::uint32_t*>(bmp.ScanLine(y))[x] = word;
}

int ChannelDistance(std::uint32_t a, TColor c) {
    const int r = static_cast<int>((a >> 16) & 0xFF) - (c & 0xFF);
    const int g = static_cast<int>((a >> 8) & 0xFF) - ((c >> 8) & 0xFF);
    const int b = static_cast<int>(a & 0xFF) - ((c >> 16) & 0xFF);
    return std::max({std::abs(r), std::abs(g), std::abs(b)});
}

TEST(AlphaGraphGradient, CornersThroughGradientFill) {
    TBitmap bmp(40, 30, pf32bit);
    const TsGradArray arr = {{0x0000FF, 0, 0, 2, 0}, {0x808080, 0, 0, 2, 0}, {0x00FF00, 0, 0, 2, 0},
                             {0xFF0000, 0, 0, 2, 0}, {0x00FFFF, 0, 0, 2, 0}};
    PaintGradient(&bmp, TRect(0, 0, 40, 30), arr, 0);
    struct Case { int x, y; TColor colour; };
    const Case cases[] = {{0, 0, 0x0000FF}, {20, 15, 0x808080}, {39, 0, 0x00FF00}, {39, 29, 0xFF0000}, {0, 29, 0x00FFFF}};
    for (const Case& c : cases)
        EXPECT_LE(ChannelDistance(PixelAt(bmp, c.x, c.y), c.colour), 24) << c.x << "," << c.y << " " << std::hex
                                                                         << PixelAt(bmp, c.x, c.y);
}

TEST(AlphaGraphGradient, OnlyThirtyTwoBitBitmaps) {
    for (TPixelFormat format : {pf24bit, pf8bit}) {
        TBitmap bmp(7, 5, format);
        const std::size_t bytes = static_cast<std::size_t>(bmp.RowBytes()) * 5;
        std::vector<std::uint8_t> before(static_cast<const std::uint8_t*>(bmp.ScanLine(4)),
                                         static_cast<const std::uint8_t*>(bmp.ScanLine(4)) + bytes);
        PaintGradient(&bmp, TRect(0, 0, 7, 5), {{255, 65280, 100, 0, 0}}, 0);
        PaintGradient(&bmp, TRect(0, 0, 7, 5), {{255, 65280, 100, 1, 0}}, 0);
        TBitmap master(4, 4, pf32bit);
        PaintGradientWithTexture(&bmp, TRect(0, 0, 7, 5), {{255, 65280, 100, 0, 0}}, 128, TRect(), &master);
        const std::vector<std::uint8_t> after(static_cast<const std::uint8_t*>(bmp.ScanLine(4)),
                                              static_cast<const std::uint8_t*>(bmp.ScanLine(4)) + bytes);
        EXPECT_EQ(before, after) << "format " << format;
    }
    TBitmap bmp(3, 4, pf32bit);
    PaintGradient(&bmp, TRect(0, 0, 3, 4), {{255, 255, 50, 0, 0}}, 0);
    EXPECT_EQ(PixelAt(bmp, 2, 3), 0xFFFF0000u);   // solid red
}

TEST(AlphaGraphStretch, FormatsAndSmallSources) {
    TBitmap src(4, 4, pf24bit), dst;
    std::memset(src.ScanLine(3), 0x40, static_cast<std::size_t>(src.RowBytes()) * 4);
    StretchBitmapFiltered(&src, &dst, 3, 1, 5);
    EXPECT_EQ(dst.Width(), 3);
    EXPECT_EQ(dst.Height(), 5);
    EXPECT_EQ(dst.PixelFormat(), pf24bit);
    EXPECT_NEAR(static_cast<const std::uint8_t*>(dst.ScanLine(2))[4], 0x40, 8);

    TBitmap thin(1, 3, pf32bit), out;
    Fill32(thin, 0xFF102030u);
    EXPECT_THROW(StretchBitmapFiltered(&thin, &out, 4, 3, 4), EacResample);
    EXPECT_EQ(out.Width(), 0) << "the target is unchanged";
    StretchBitmapForPaint(&thin, &out, 4, 3, 4);
    ASSERT_EQ(out.Width(), 4);
    EXPECT_EQ(PixelAt(out, 3, 3), 0xFF102030u);
}

TEST(AlphaGraphGlow, CoverageMapHasAGreyPaletteAndStaysWhite) {
    TBitmap* cache = nullptr;
    ASSERT_TRUE(PrepareGlowMap(cache, 9, 6));
    std::unique_ptr<TBitmap> owner(cache);
    EXPECT_EQ(cache->PixelFormat(), pf8bit);
    const std::vector<RGBQUAD> table = cache->ColorTable();
    ASSERT_EQ(table.size(), 256u);
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(table[i].rgbRed, i);
        EXPECT_EQ(table[i].rgbGreen, i);
        EXPECT_EQ(table[i].rgbBlue, i);
    }
    EXPECT_FALSE(PrepareGlowMap(cache, 9, 6)) << "a map of the right size is reused";
    BlurBitmap(cache, 5);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(static_cast<const std::uint8_t*>(cache->ScanLine(y))[x], 255);

    TBitmap bmp(4, 4, pf32bit);
    Fill32(bmp, 0xFF000000u);
    static_cast<std::uint8_t*>(cache->ScanLine(1))[1] = 0;
    LayGlowMap(&bmp, cache, 0, 0, 0x00FF00);
    EXPECT_EQ(PixelAt(bmp, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(bmp, 0, 0), 0xFF000000u);
}

TEST(AlphaGraphTile, TilesAndClipsToR) {
    TBitmap tile(2, 2, pf32bit);
    Fill32(tile, 0xFF0000FFu);
    static_cast<std::uint32_t*>(tile.ScanLine(0))[0] = 0xFFFF0000u;
    TBitmap bmp(6, 5, pf32bit);
    TileImage(bmp.Canvas(), TRect(1, 1, 6, 4), &tile);
    ::GdiFlush();
    EXPECT_EQ(PixelAt(bmp, 0, 0), 0u);
    EXPECT_EQ(PixelAt(bmp, 1, 1) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(PixelAt(bmp, 3, 3) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(PixelAt(bmp, 5, 3) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(PixelAt(bmp, 2, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(PixelAt(bmp, 1, 4), 0u);

    TBitmap empty;
    TileImage(bmp.Canvas(), TRect(0, 0, 6, 5), &empty);   // returns at once
}

TEST(AlphaGraphFont, MetricsOfTheStockFont) {
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_GT(GetFontTextHeight(font), 6);
    TSize size{1, 1};
    GetFontTextExtent(font, u"Kestrune", size);
    EXPECT_GT(size.cx, 0);
    GetFontTextExtent(font, u"", size);
    EXPECT_EQ(size.cx, 0);
}

}  // namespace

TEST(FramesAndDots, RectFrame3DDrawsNestedFramesAndCountsDown) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(10, 8);
    bmp.Canvas()->Brush()->SetColor(clWhite);
    bmp.Canvas()->FillRect(TRect(0, 0, 10, 8));
    Integer count = 2;
    DrawRectFrame3D(bmp.Canvas()->Handle(), TRect(0, 0, 10, 8), clRed, count, clBlue);
    EXPECT_EQ(count, 0);
    auto px = [&](int x, int y) { return bmp.Canvas()->Pixels(x, y); };
    EXPECT_EQ(px(0, 0), clRed);     // outer top-left
    EXPECT_EQ(px(5, 0), clRed);     // outer top
    EXPECT_EQ(px(9, 4), clBlue);    // outer right (right edge exclusive)
    EXPECT_EQ(px(4, 7), clBlue);    // outer bottom
    EXPECT_EQ(px(1, 1), clRed);     // inner frame
    EXPECT_EQ(px(8, 4), clBlue);
    EXPECT_EQ(px(4, 4), clWhite);   // inside both
    Integer none = 0;
    DrawRectFrame3D(bmp.Canvas()->Handle(), TRect(0, 0, 10, 8), clGreen, none, clGreen);
    EXPECT_EQ(none, 0);
    EXPECT_EQ(px(0, 0), clRed);
}

TEST(FramesAndDots, DottedFrameMarksEveryThirdPixel) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(12, 12);
    bmp.Canvas()->Brush()->SetColor(clWhite);
    bmp.Canvas()->FillRect(TRect(0, 0, 12, 12));
    DrawDottedFrame(bmp.Canvas(), TRect(1, 1, 10, 10), clBlack, clRed);
    auto px = [&](int x, int y) { return bmp.Canvas()->Pixels(x, y); };
    EXPECT_EQ(px(1, 1), clWhite);
    EXPECT_EQ(px(2, 1), clBlack);
    EXPECT_EQ(px(3, 1), clRed);
    EXPECT_EQ(px(6, 1), clRed);
    EXPECT_EQ(px(3, 10), clRed);    // bottom row is inclusive
    EXPECT_EQ(px(10, 3), clRed);    // right column is inclusive
    EXPECT_EQ(px(5, 5), clWhite);
    EXPECT_EQ(px(0, 0), clWhite);
}
