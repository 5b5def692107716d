// The skinned progress bar's geometry as tables: bar rectangles, block
// sizes, how many blocks a bar holds and shows, where they lie, the filling
// block of a full bar, the marquee and its wrap, and degenerate bars (2
// pixels high, an empty or reversed range) that must not divide by zero.
#include <gtest/gtest.h>

#include "acProgressGeometry.h"

namespace {

TacProgressModel Bar(Integer W, Integer H, Integer Min, Integer Max, Integer Pos, bool Vertical = false,
                     bool Smooth = false) {
    TacProgressModel m;
    m.Width = W;
    m.Height = H;
    m.Min = Min;
    m.Max = Max;
    m.Position = Pos;
    m.Vertical = Vertical;
    m.Smooth = Smooth;
    return m;
}

TEST(ProgressGeometry, BarRectanglesBlockSizesAndCounts) {
    struct Case {
        const char* Name;
        TacProgressModel M;
        TRect BarRect;
        Integer BlockLength, Capacity, Count;
    };
    auto bordered = Bar(104, 20, 0, 100, 50);
    bordered.BorderWidth = 2;
    const Case cases[] = {
        // 14 pixels thick: blocks of N(9.24) - 2 = 7; (98 - 2) / 9 = 10 of them.
        {"half of ten blocks", Bar(100, 16, 0, 100, 50), TRect(1, 1, 50, 15), 7, 10, 5},
        {"51 rounds to the same count", Bar(100, 16, 0, 100, 51), TRect(1, 1, 51, 15), 7, 10, 5},
        {"full", Bar(100, 16, 0, 100, 100), TRect(1, 1, 99, 15), 7, 10, 10},
        {"empty", Bar(100, 16, 0, 100, 0), TRect(1, 1, 1, 15), 7, 10, 0},
        {"range not from 0", Bar(100, 16, 10, 20, 15), TRect(1, 1, 50, 15), 7, 10, 5},
        {"range not from 0, at its end", Bar(100, 16, 10, 20, 20), TRect(1, 1, 99, 15), 7, 10, 10},
        // N(5.5) is 6: halves go to the even neighbour.
        {"border inside the frame", bordered, TRect(3, 3, 52, 17), 7, 11, 6},
        {"smooth at half ends at a + half the inner width", Bar(102, 16, 0, 100, 50, false, true),
         TRect(1, 1, 51, 15), 50, 1, 0},
        {"vertical from the bottom", Bar(16, 102, 0, 100, 25, true), TRect(1, 76, 15, 101), 7, 10, 2},
        {"vertical full", Bar(16, 102, 0, 100, 100, true), TRect(1, 1, 15, 101), 7, 10, 10},
        // Degenerate bars: no division by zero, nothing to draw.
        {"two pixels high", Bar(100, 2, 0, 100, 50), TRect(1, 1, 50, 1), -2, 0, 0},
        {"Min equal to Max", Bar(100, 16, 5, 5, 5), TRect(1, 1, 99, 15), 7, 10, 0},
        {"Max below Min", Bar(100, 16, 10, 0, 5), TRect(1, 1, 50, 15), 7, 10, 0},
        {"zero size", Bar(0, 0, 0, 100, 50), TRect(1, 1, 0, -1), -3, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(acProgressBarRect(c.M), c.BarRect);
        EXPECT_EQ(acProgressBlockLength(c.M), c.BlockLength);
        EXPECT_EQ(acProgressBlockCapacity(c.M), c.Capacity);
        EXPECT_EQ(acProgressBlockCount(c.M), c.Count);
    }
    for (const auto& m : {Bar(100, 2, 0, 100, 50), Bar(100, 16, 5, 5, 5), Bar(100, 16, 10, 0, 5), Bar(0, 0, 0, 100, 50),
                          Bar(3, 3, 0, 100, 100)})
        EXPECT_TRUE(acProgressBlocks(m).empty());
}

TEST(ProgressGeometry, BlocksLieInARowAndAFullBarFillsItsLastGap) {
    // Ten 7-pixel blocks, 2 pixels apart: (98 - 2 - 70) / 9 = 2.
    const auto half = acProgressBlocks(Bar(100, 16, 0, 100, 50));
    ASSERT_EQ(half.size(), 5u);
    for (std::size_t i = 0; i < half.size(); ++i)
        EXPECT_EQ(half[i], TRect(1 + 9 * static_cast<Integer>(i), 1, 8 + 9 * static_cast<Integer>(i), 15)) << i;

    // Full: the last block ends at 89; the 10 pixels left get a shortened block after the gap.
    const auto full = acProgressBlocks(Bar(100, 16, 0, 100, 100));
    ASSERT_EQ(full.size(), 11u);
    EXPECT_EQ(full[9], TRect(82, 1, 89, 15));
    EXPECT_EQ(full[10], TRect(91, 1, 99, 15));
    // The same at the end of a range that does not start at 0.
    EXPECT_EQ(acProgressBlocks(Bar(100, 16, 10, 20, 20)), full);

    // Vertical: upward from the bottom.
    const auto up = acProgressBlocks(Bar(16, 102, 0, 100, 25, true));
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(up[0], TRect(1, 94, 15, 101));
    EXPECT_EQ(up[1].Bottom, up[0].Top - 3);   // gaps of (100 - 2 - 70) / 9

    // Smooth: one block as long as the bar.
    const auto smooth = acProgressBlocks(Bar(102, 16, 0, 100, 50, false, true));
    ASSERT_EQ(smooth.size(), 1u);
    EXPECT_EQ(smooth[0], TRect(1, 1, 51, 15));
}

TEST(ProgressGeometry, MarqueeBlocksWrapAroundTheBarsOwnLength) {
    TacProgressModel m = Bar(200, 16, 0, 100, 0);
    m.Marquee = true;
    m.MarqPos = 10;
    EXPECT_EQ(acProgressBarRect(m), TRect(11, 1, 51, 15));
    EXPECT_EQ(acProgressBlockSize(m).cx, 9);
    EXPECT_EQ(acProgressBlockSize(m).cy, 14);
    auto blocks = acProgressBlocks(m);
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[4], TRect(51, 1, 60, 15));
    // Near the end the last blocks start again at the left.
    m.MarqPos = 170;
    blocks = acProgressBlocks(m);
    EXPECT_EQ(blocks[2].Left, 191);
    EXPECT_EQ(blocks[3].Left, 201 - 200);

    // Vertical: upward from the bottom, wrapping by the height, not the width.
    TacProgressModel v = Bar(16, 60, 0, 100, 0, true);
    v.Marquee = true;
    v.MarqPos = 30;
    EXPECT_EQ(acProgressBarRect(v), TRect(1, -10, 15, 30));
    blocks = acProgressBlocks(v);
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[0], TRect(1, 21, 15, 30));
    EXPECT_EQ(blocks[2], TRect(1, 1, 15, 10));
    EXPECT_EQ(blocks[3], TRect(1, 51, 15, 60));
    EXPECT_EQ(blocks[4], TRect(1, 41, 15, 50));
}

}  // namespace
