// Painting gradients into 32-bit rows: piece boundaries, colour steps,
// clipping, the texture mix, and the corner vertices of mode 2.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "acResample.h"
#include "sGradient.h"

namespace {

constexpr std::uint32_t kGuard = 0x12345678u;

// A bitmap inside a two-pixel frame of guard words: anything written outside
// the bitmap shows in the frame.
struct Framed {
    static constexpr int kPad = 2;
    int W, H, FullW;
    std::vector<std::uint32_t> Px;
    Framed(int w, int h) : W(w), H(h), FullW(w + 2 * kPad), Px(static_cast<std::size_t>(FullW) * (h + 2 * kPad), kGuard) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) At(x, y) = 0;
    }
    std::uint32_t& At(int x, int y) { return Px[static_cast<std::size_t>(y + kPad) * FullW + x + kPad]; }
    TacBits32 Bits() { return {reinterpret_cast<std::uint8_t*>(&At(0, 0)), W, H, static_cast<std::ptrdiff_t>(FullW) * 4}; }
    bool FrameIntact() {
        int guards = 0;
        for (std::uint32_t p : Px) guards += p == kGuard;
        return guards == static_cast<int>(Px.size()) - W * H;
    }
};

// TColor (red in the low byte) as the pixel word painted for it.
std::uint32_t Word(TColor c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TsGradPie Pie(TColor c1, TColor c2, int percent, int mode) { return {c1, c2, percent, mode, 0}; }

TEST(GradientVertical, TwoPiecesShareTheBoundaryRow) {
    Framed bmp(4, 10);
    const TsGradArray arr = {Pie(0x0000FF, 0x000080, 50, 0), Pie(0x00FF00, 0xFF0000, 50, 0)};
    PaintGradient(bmp.Bits(), TRect(0, 0, 4, 10), arr, 0);
    EXPECT_EQ(bmp.At(0, 0), Word(0x0000FF));   // first row: Color1 of piece 0
    EXPECT_EQ(bmp.At(3, 4), Word(0x000099));   // 255 - 4 * 25.4, rounded; Color2 only at row 5
    EXPECT_EQ(bmp.At(2, 5), Word(0x00FF00));   // shared row painted again by piece 1
    EXPECT_EQ(bmp.At(1, 9), Word(0xFF0000));   // last row: Color2 of the last piece
    EXPECT_TRUE(bmp.FrameIntact());
}

// Colour steps are floating and written rounded, halves to even.
TEST(GradientVertical, StepsRoundHalvesToEven) {
    struct Case { int to; std::vector<int> rows; };
    const Case cases[] = {{1, {0, 0, 1}}, {3, {0, 2, 3}}, {5, {0, 2, 5}}, {7, {0, 4, 7}}};
    for (const Case& c : cases) {
        Framed bmp(1, 3);
        PaintGradient(bmp.Bits(), TRect(0, 0, 1, 3), {Pie(0, c.to, 100, 0)}, 0);
        for (int y = 0; y < 3; ++y) EXPECT_EQ(static_cast<int>((bmp.At(0, y) >> 16) & 0xFF), c.rows[y]) << c.to << " row " << y;
    }
}

TEST(GradientHorizontal, HalfPiecesOnOddWidths) {
    // round(50 * width / 100): 4.5 -> 4, 5.5 -> 6. Before the boundary the
    // first piece has nearly reached its Color2 (0x20).
    struct Case { int width; int boundary; std::uint32_t before; };
    for (const Case c : {Case{9, 4, 0x1C}, Case{11, 6, 0x1D}, Case{10, 5, 0x1D}}) {
        Framed bmp(c.width, 3);
        const TsGradArray arr = {Pie(0x000010, 0x000020, 50, 1), Pie(0x0000F0, 0x0000FF, 50, 1)};
        PaintGradient(bmp.Bits(), TRect(0, 0, c.width, 3), arr, 0);
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(bmp.At(0, y), Word(0x000010)) << c.width;
            EXPECT_EQ(bmp.At(c.boundary - 1, y), 0xFF000000u | c.before << 16) << c.width;
            EXPECT_EQ(bmp.At(c.boundary, y), Word(0x0000F0)) << c.width;
            EXPECT_EQ(bmp.At(c.width - 1, y), Word(0x0000FF)) << c.width;
        }
        EXPECT_TRUE(bmp.FrameIntact());
    }
}

TEST(GradientPaint, ClipsToTheBitmapAndStartsNoHigherThanR) {
    const TsGradArray vertical = {Pie(0x0000FF, 0xFF0000, 100, 0)};
    struct Case { TRect r; int offset; };
    const Case cases[] = {
        {TRect(-3, -3, 9, 9), 0}, {TRect(1, 1, 3, 4), -5}, {TRect(0, 0, 5, 5), -100},
        {TRect(0, 0, 5, 5), 3}, {TRect(0, 0, 5, 5), 100}, {TRect(2, 2, 2, 5), 0},
    };
    for (const Case& c : cases) {
        Framed bmp(5, 5);
        PaintGradient(bmp.Bits(), c.r, vertical, c.offset);
        EXPECT_TRUE(bmp.FrameIntact()) << c.r.Left << "," << c.r.Top << " offset " << c.offset;
    }
    Framed bmp(5, 5);
    PaintGradient(bmp.Bits(), TRect(1, 1, 3, 4), vertical, -5);
    EXPECT_EQ(bmp.At(1, 0), 0u) << "row above R";
    EXPECT_EQ(bmp.At(1, 1), Word(0x0000FF));
    EXPECT_EQ(bmp.At(2, 3), Word(0xFF0000));
}

// Pieces, textures and rectangles of no extent end or skip; nothing hangs
// or divides by zero.
TEST(GradientPaint, PiecesOfNoExtent) {
    Framed bmp(6, 6);
    const TsGradArray zeros = {Pie(0x0000FF, 0x0000FF, 0, 0), Pie(0x00FF00, 0x00FF00, 0, 0), Pie(0xFF0000, 0xFF0000, 0, 0)};
    PaintGradient(bmp.Bits(), TRect(0, 0, 6, 6), zeros, 0);
    EXPECT_EQ(bmp.At(0, 0), Word(0xFF0000)) << "empty pieces skipped, the last fills";
    TsGradArray horizontal = zeros;
    for (TsGradPie& p : horizontal) p.Mode = 1;
    PaintGradient(bmp.Bits(), TRect(2, 0, 3, 6), horizontal, 0);   // one column: nothing to step over
    PaintGradient(bmp.Bits(), TRect(0, 5, 6, 6), zeros, 0);        // one row
    PaintGradient(bmp.Bits(), TRect(0, 0, 6, 6), {Pie(1, 2, 50, 2)}, 0);   // mode 2 is the wrapper's
    PaintGradient(bmp.Bits(), TRect(0, 0, 6, 6), {Pie(1, 2, 50, 7)}, 0);
    EXPECT_EQ(bmp.At(2, 0), Word(0xFF0000));
    EXPECT_TRUE(bmp.FrameIntact());
}

// G + ((T - G) * w shr 8) with an arithmetic shift: negative differences
// round down.
TEST(GradientTexture, MixArithmetic) {
    struct Case { int g; int t; int weight; int expected; };
    const Case cases[] = {{200, 101, 1, 199}, {101, 200, 1, 101}, {0, 255, 255, 254}, {255, 0, 255, 0},
                          {200, 100, 128, 150}, {77, 200, 0, 77},  {77, 200, 300, 199}, {77, 200, -4, 77}};
    for (const Case& c : cases) {
        Framed master(3, 3);   // the last row and column are never used
        for (std::uint32_t& p : master.Px) p = 0xFF000000u | static_cast<std::uint32_t>(c.t) * 0x010101u;
        Framed bmp(2, 2);
        PaintGradientWithTexture(bmp.Bits(), TRect(0, 0, 2, 2), {Pie(c.g * 0x010101, c.g * 0x010101, 100, 0)}, c.weight,
                                 TRect(), master.Bits());
        EXPECT_EQ(bmp.At(1, 1), 0xFF000000u | static_cast<std::uint32_t>(c.expected) * 0x010101u)
            << c.g << " " << c.t << " " << c.weight;
    }
}

TEST(GradientTexture, TilesTheTextureRectangle) {
    Framed master(4, 3);
    const std::uint32_t colours[2] = {0xFF0000FFu, 0xFF00FF00u};
    const std::uint32_t mixed[2] = {0xFF0000FEu, 0xFF00FE00u};   // 255 * 255 shr 8
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) master.At(x, y) = colours[(x + y) % 2];
    Framed bmp(5, 3);
    // Columns 1..2 and rows 0..1 of the master, the texture at full weight.
    PaintGradientWithTexture(bmp.Bits(), TRect(0, 0, 5, 3), {Pie(0, 0, 100, 1)}, 255, TRect(1, 0, 3, 2), master.Bits());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bmp.At(x, y), mixed[(1 + x % 2 + y % 2) % 2]) << x << "," << y;
        }
    EXPECT_TRUE(bmp.FrameIntact());
}

TEST(GradientTexture, TexturesOfNoPixelsPaintNothing) {
    Framed master(3, 3);
    for (const TRect& tr : {TRect(2, 0, 3, 3), TRect(0, 2, 3, 3), TRect(-1, 0, 2, 2), TRect(5, 5, 9, 9)}) {
        Framed bmp(4, 4);
        PaintGradientWithTexture(bmp.Bits(), TRect(0, 0, 4, 4), {Pie(255, 255, 100, 0)}, 128, tr, master.Bits());
        EXPECT_EQ(bmp.At(0, 0), 0u) << tr.Left << "," << tr.Top;
    }
    Framed tiny(1, 1);
    Framed bmp(4, 4);
    PaintGradientWithTexture(bmp.Bits(), TRect(0, 0, 4, 4), {Pie(255, 255, 100, 1)}, 128, TRect(), tiny.Bits());
    EXPECT_EQ(bmp.At(0, 0), 0u);
}

TEST(GradientCorners, VerticesAndMissingPieces) {
    const TsGradArray arr = {Pie(1, 0, 0, 2), Pie(2, 0, 0, 2), Pie(3, 0, 0, 2)};
    const auto v = GradientCornerVertices(TRect(10, 20, 31, 41), arr);
    const TsGradVertex expected[5] = {{10, 20, 1}, {20, 30, 2}, {31, 20, 3}, {31, 41, 3}, {10, 41, 3}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(v[i].X, expected[i].X) << i;
        EXPECT_EQ(v[i].Y, expected[i].Y) << i;
        EXPECT_EQ(v[i].Color, expected[i].Color) << i;
    }
}

}  // namespace
