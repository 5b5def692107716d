// Glyph and caption placement inside a button.
#include <gtest/gtest.h>

#include "acLayout.h"

namespace {

struct Case {
    const char* Name;
    Integer Flags, Spacing, Margin, Alignment, Layout;
    TRect Glyph, Text;
};

}  // namespace

TEST(GlyphTextLayout, PlacesGlyphAndCaptionByKindAndAlignment) {
    // Client 100 x 40 at (10, 20); glyph 16 x 16; caption 30 x 10.
    const TRect client(10, 20, 110, 60);
    const Case cases[] = {
        {"glyph then caption from the left", 0, 4, 5, 0, 1, Bounds(15, 32, 16, 16), Bounds(35, 35, 30, 10)},
        {"caption then glyph from the left", 0, 4, 5, 0, 0, Bounds(49, 32, 16, 16), Bounds(15, 35, 30, 10)},
        {"reading right to left swaps", 2, 4, 5, 0, 1, Bounds(49, 32, 16, 16), Bounds(15, 35, 30, 10)},
        {"to the right", 0, 4, 5, 1, 1, Bounds(55, 32, 16, 16), Bounds(75, 35, 30, 10)},
        {"centred", 0, 4, 5, 2, 1, Bounds(35, 32, 16, 16), Bounds(55, 35, 30, 10)},
        {"free space in three", 0, -1, -1, 0, 1, Bounds(28, 32, 16, 16), Bounds(62, 35, 30, 10)},
        {"glyph above caption", 0, 2, 5, 0, 3, Bounds(52, 26, 16, 16), Bounds(45, 44, 30, 10)},
        {"caption above glyph", 0, 2, 5, 0, 2, Bounds(52, 38, 16, 16), Bounds(45, 26, 30, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TRect glyph, text(0, 0, 30, 10);
        CalcGlyphTextLayout(client, TRect(), TSize{16, 16}, c.Flags, glyph, text, c.Spacing, c.Margin, c.Alignment,
                            c.Layout);
        EXPECT_EQ(glyph, c.Glyph);
        EXPECT_EQ(text, c.Text);
    }
}

TEST(GlyphTextLayout, NoCaptionMeansNoSpacingAndMarginsShrinkTheArea) {
    TRect glyph, text(0, 0, 0, 0);
    CalcGlyphTextLayout(TRect(0, 0, 40, 20), TRect(), TSize{10, 10}, 0, glyph, text, 8, 0, 2, 1);
    EXPECT_EQ(glyph, Bounds(15, 5, 10, 10));   // centred alone, the spacing dropped
    text = TRect(0, 0, 10, 4);
    CalcGlyphTextLayout(TRect(0, 0, 40, 20), TRect(4, 2, 4, 2), TSize{0, 0}, 0, glyph, text, 8, 0, 2, 1);
    EXPECT_EQ(text, Bounds(15, 8, 10, 4));
}

TEST(GlyphTextLayout, UnknownMarginOrSpacingKeepsThePairInside) {
    const TRect client(0, 0, 60, 20);
    for (Integer alignment : {0, 1, 2}) {
        for (auto [spacing, margin] : {std::pair{3, -1}, std::pair{-1, 4}, std::pair{-1, -1}}) {
            TRect glyph, text(0, 0, 20, 8);
            CalcGlyphTextLayout(client, TRect(), TSize{12, 12}, 0, glyph, text, spacing, margin, alignment, 1);
            EXPECT_GE(glyph.Left, 0);
            EXPECT_LE(text.Right, 60);
            EXPECT_LE(glyph.Right, text.Left);
        }
    }
}
