// Frame geometry: nine-part cuts, frame metrics, caption-button places and
// scroll-bar parts.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "acFrameGeometry.h"
#include "acSkinImages.h"

namespace {

TsMaskData Mask(TRect r, SmallInt images, SmallInt maskType, SmallInt wl, SmallInt wt, SmallInt wr, SmallInt wb) {
    TsMaskData m;
    m.R = r;
    m.ImageCount = images;
    m.MaskType = maskType;
    m.WL = wl;
    m.WT = wt;
    m.WR = wr;
    m.WB = wb;
    return m;
}

}  // namespace

// ---- nine-part cut ----------------------------------------------------------

TEST(NinePartCut, MarginsFittedToSmallDestinations) {
    struct Case {
        const char* Name;
        TRect Margins;
        Integer Width, Height;
        TRect Fitted;
    };
    const Case cases[] = {
        {"room enough", TRect(5, 2, 5, 2), 20, 10, TRect(5, 2, 5, 2)},
        {"odd excess takes one more on the right", TRect(5, 5, 5, 5), 7, 7, TRect(4, 4, 3, 3)},
        {"excess of one: no overlap", TRect(5, 0, 4, 0), 8, 0, TRect(5, 0, 3, 0)},
        {"even excess on an odd width: no gap", TRect(5, 0, 4, 0), 7, 0, TRect(4, 0, 3, 0)},
        {"even excess on an odd height", TRect(0, 5, 0, 4), 0, 3, TRect(0, 2, 0, 1)},
        {"two by one", TRect(6, 6, 6, 6), 2, 1, TRect(1, 1, 1, 0)},
        {"side below 0 gives way to the other", TRect(3, 0, 9, 0), 4, 0, TRect(0, 0, 4, 0)},
        {"both sides within a width of 10", TRect(8, 0, 6, 0), 10, 0, TRect(6, 0, 4, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(FitNinePartMargins(c.Margins, c.Width, c.Height), c.Fitted);
    }
}

TEST(NinePartCut, SlicesOfTheStatesFrame) {
    // Three frames of 20 x 30 at (10, 20); margins 4, 5, 6, 7.
    const TsMaskData m = Mask(TRect(10, 20, 70, 50), 3, 0, 4, 5, 6, 7);
    const TacNineSlices s = MaskNineParts(m, 1, TRect(100, 200, 150, 240));
    ASSERT_TRUE(s.Valid);
    EXPECT_EQ(s.Margins, TRect(4, 5, 6, 7));
    const std::array<TRect, 9> src = {TRect(30, 20, 34, 25), TRect(34, 20, 44, 25), TRect(44, 20, 50, 25),
                                      TRect(30, 25, 34, 43), TRect(34, 25, 44, 43), TRect(44, 25, 50, 43),
                                      TRect(30, 43, 34, 50), TRect(34, 43, 44, 50), TRect(44, 43, 50, 50)};
    const std::array<TRect, 9> dst = {TRect(100, 200, 104, 205), TRect(104, 200, 144, 205), TRect(144, 200, 150, 205),
                                      TRect(100, 205, 104, 233), TRect(104, 205, 144, 233), TRect(144, 205, 150, 233),
                                      TRect(100, 233, 104, 240), TRect(104, 233, 144, 240), TRect(144, 233, 150, 240)};
    EXPECT_EQ(s.Src, src);
    EXPECT_EQ(s.Dst, dst);

    // A state beyond the last frame takes the last, a negative one the first.
    EXPECT_EQ(MaskNineParts(m, 9, TRect(0, 0, 50, 40)).Src[npTopLeft], TRect(50, 20, 54, 25));
    EXPECT_EQ(MaskNineParts(m, -1, TRect(0, 0, 50, 40)).Src[npTopLeft], TRect(10, 20, 14, 25));
}

TEST(NinePartCut, TooSmallOrBrokenCutsDrawNothingOrShrink) {
    const TsMaskData m = Mask(TRect(0, 0, 20, 20), 1, 0, 5, 5, 5, 5);
    EXPECT_FALSE(MaskNineParts(m, 0, TRect(0, 0, 1, 10)).Valid);
    EXPECT_FALSE(MaskNineParts(m, 0, TRect(0, 0, 10, 1)).Valid);
    EXPECT_FALSE(MaskNineParts(Mask(TRect(0, 0, 20, 20), 0, 0, 5, 5, 5, 5), 0, TRect(0, 0, 10, 10)).Valid);
    // Corners wider than the source frame leave a negative centre.
    EXPECT_FALSE(MaskNineParts(Mask(TRect(0, 0, 20, 20), 1, 0, 12, 2, 12, 2), 0, TRect(0, 0, 90, 90)).Valid);

    // Seven pixels wide: corners of 4 and 3, no top strip.
    const TacNineSlices s = MaskNineParts(m, 0, TRect(10, 0, 17, 30));
    ASSERT_TRUE(s.Valid);
    EXPECT_EQ(s.Dst[npTopLeft], TRect(10, 0, 14, 5));
    EXPECT_EQ(s.Dst[npTopRight], TRect(14, 0, 17, 5));
    EXPECT_TRUE(s.Dst[npTop].IsEmpty());
    EXPECT_EQ(s.Src[npTopRight], TRect(17, 0, 20, 5));   // the source corner shrinks the same way
    EXPECT_EQ(s.Src[npCentre], TRect(4, 5, 17, 15));

    // Negative widths count as 0.
    const TacNineSlices n = MaskNineParts(Mask(TRect(0, 0, 20, 20), 1, 0, -3, 2, 2, 2), 0, TRect(0, 0, 30, 30));
    EXPECT_EQ(n.Margins.Left, 0);
    EXPECT_TRUE(n.Dst[npLeft].IsEmpty());
}

TEST(NinePartCut, MaskedFrameIsTheImageRowOnly) {
    // Image row over mask row: frames are 10 wide and 15 high.
    const TsMaskData m = Mask(TRect(0, 0, 30, 30), 3, 1, 2, 2, 2, 2);
    EXPECT_EQ(MaskFrameRect(m, 2), TRect(20, 0, 30, 15));
    EXPECT_EQ(MaskNineParts(m, 2, TRect(0, 0, 40, 40)).Src[npBottomRight], TRect(28, 13, 30, 15));
}

TEST(ImageSlicesCut, ThinSidesMakeLShapedCorners) {
    // Margins 10, 8, 12, 6; strips 4, 3, 5, 2 thick.
    const TacImageSlices s =
        ImageSlices(TRect(0, 0, 40, 40), TRect(100, 100, 300, 200), TRect(10, 8, 12, 6), TRect(4, 3, 5, 2));
    const std::array<TacSlicePiece, 8> corners = {{
        {TRect(0, 0, 10, 3), TRect(100, 100, 110, 103)},   {TRect(0, 3, 4, 8), TRect(100, 103, 104, 108)},
        {TRect(28, 0, 40, 3), TRect(288, 100, 300, 103)},  {TRect(35, 3, 40, 8), TRect(295, 103, 300, 108)},
        {TRect(0, 38, 10, 40), TRect(100, 198, 110, 200)}, {TRect(0, 34, 4, 38), TRect(100, 194, 104, 198)},
        {TRect(28, 38, 40, 40), TRect(288, 198, 300, 200)}, {TRect(35, 34, 40, 38), TRect(295, 194, 300, 198)},
    }};
    const std::array<TacSlicePiece, 4> sides = {{
        {TRect(0, 8, 4, 34), TRect(100, 108, 104, 194)},
        {TRect(10, 0, 28, 3), TRect(110, 100, 288, 103)},
        {TRect(35, 8, 40, 34), TRect(295, 108, 300, 194)},
        {TRect(10, 38, 28, 40), TRect(110, 198, 288, 200)},
    }};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.Corners[i].Src, corners[i].Src);
        EXPECT_EQ(s.Corners[i].Dst, corners[i].Dst);
    }
    for (std::size_t i = 0; i < sides.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.Sides[i].Src, sides[i].Src);
        EXPECT_EQ(s.Sides[i].Dst, sides[i].Dst);
    }
    EXPECT_EQ(s.Centre.Src, TRect(10, 8, 28, 34));
    EXPECT_EQ(s.Centre.Dst, TRect(110, 108, 288, 194));
}

TEST(ImageSlicesCut, WideSidesAndSmallSources) {
    // Side widths beyond the margins: whole corners, nothing left for the second block.
    const TacImageSlices s =
        ImageSlices(TRect(0, 0, 40, 40), TRect(0, 0, 90, 90), TRect(10, 8, 10, 8), TRect(20, 20, 20, 20));
    EXPECT_EQ(s.Corners[0].Dst, TRect(0, 0, 10, 8));
    EXPECT_TRUE(s.Corners[1].Dst.IsEmpty());
    EXPECT_EQ(s.Sides[0].Dst, TRect(0, 8, 10, 82));

    // A source no larger than its margins has sides of length 0.
    const TacImageSlices t =
        ImageSlices(TRect(0, 0, 20, 16), TRect(0, 0, 90, 90), TRect(10, 8, 10, 8), TRect(20, 20, 20, 20));
    EXPECT_EQ(t.Sides[0].Src.Height(), 0);
    EXPECT_EQ(t.Sides[1].Src.Width(), 0);
    EXPECT_TRUE(t.Centre.Src.IsEmpty());
}

// ---- frame metrics ----------------------------------------------------------

namespace {

constexpr Cardinal Sizeable = acWsCaption | acWsThickFrame;

TacFrameModel Frame(Cardinal style, bool border = true) {
    TacFrameModel f;
    f.Style = style;
    f.HaveBorder = border;
    f.System = {4, 3, 19, 15};
    return f;
}

}  // namespace

TEST(FrameMetrics, BordersAndCaptionsByStyleAndSkin) {
    struct Case {
        const char* Name;
        TacFrameModel Frame;
        Integer SkinWidth, SysWidth, SkinHeight, SkinCaption, SysCaption, SkinBorderWidth, Diff;
    };
    TacFrameModel own = Frame(Sizeable);
    own.FormBorderWidth = 2;
    own.ExBorderWidth = 6;
    own.ExTitleHeight = 30;
    TacFrameModel tool = Frame(Sizeable);
    tool.ToolWindow = true;
    TacFrameModel toolMin = tool;
    toolMin.Minimized = true;
    TacFrameModel ext = Frame(Sizeable);
    ext.BorderWindow = true;
    ext.ExBorderWidth = 6;
    ext.ExTitleHeight = 30;
    TacFrameModel extNoWidth = ext;
    extNoWidth.ExBorderWidth = 0;
    TacFrameModel low = ext;
    low.ExTitleHeight = 20;
    low.SysExHeight = true;
    TacFrameModel none = Frame(0, false);
    TacFrameModel noneMin = none;
    noneMin.Minimized = true;
    const Case cases[] = {
        {"sizeable, skin values unused", own, 4, 4, 4, 19, 19, 6, 0},
        {"dialog frame", Frame(acWsCaption), 3, 3, 3, 19, 19, 3, 0},
        {"tool window", tool, 4, 4, 4, 15, 15, 4, 0},
        {"minimized tool window", toolMin, 4, 4, 4, 19, 19, 4, 0},
        {"border window", ext, 6, 4, 0, 30, 19, 6, 2},
        {"border window, no skin width", extNoWidth, 4, 4, 0, 30, 19, 4, 0},
        {"title too low when maximized", low, 6, 4, 0, 23, 23, 6, 2},
        {"no border", none, 0, 0, 0, 0, 0, 0, 0},
        {"no border, minimized", noneMin, 0, 0, 0, 19, 19, 0, 0},
        {"thin border without caption", Frame(acWsBorder), 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SysBorderWidth(c.Frame, true), c.SkinWidth);
        EXPECT_EQ(SysBorderWidth(c.Frame, false), c.SysWidth);
        EXPECT_EQ(SysBorderHeight(c.Frame, true), c.SkinHeight);
        EXPECT_EQ(CaptionHeight(c.Frame, true), c.SkinCaption);
        EXPECT_EQ(CaptionHeight(c.Frame, false), c.SysCaption);
        EXPECT_EQ(BorderWidth(c.Frame, true), c.SkinBorderWidth);
        EXPECT_EQ(BorderHeight(c.Frame, true), c.SkinHeight + c.Frame.FormBorderWidth);
        EXPECT_EQ(ExtBorderDiff(c.Frame), c.Diff);
    }
}

TEST(FrameMetrics, IconAndButtonSizes) {
    const std::pair<Integer, Integer> icons[] = {{-101, 16}, {-100, 1}, {8, 1}, {9, 8}, {16, 8}, {17, 16}};
    for (auto [height, size] : icons) EXPECT_EQ(IconSizeFor(height), size) << height;

    EXPECT_EQ(CaptionButtonWidth(nullptr), 21);
    EXPECT_EQ(CaptionButtonHeight(nullptr), 21);
    TsMaskData m = Mask(TRect(0, 0, 60, 42), 3, 1, 0, 0, 0, 0);
    EXPECT_EQ(CaptionButtonWidth(&m), 20);
    EXPECT_EQ(CaptionButtonHeight(&m), 21);
    m.Bmp = std::make_shared<TacImage32>(90, 42);   // an own image is divided among the frames
    EXPECT_EQ(CaptionButtonWidth(&m), 30);

    // Frame counts and heights a broken skin may give: no division by zero,
    // no negative size.
    for (SmallInt frames : {SmallInt(0), SmallInt(-2)}) {
        TsMaskData broken = Mask(TRect(0, 0, 60, 42), frames, -1, 0, 0, 0, 0);
        EXPECT_EQ(CaptionButtonWidth(&broken), 0) << frames;
        EXPECT_EQ(CaptionButtonHeight(&broken), 0) << frames;
        broken.Bmp = std::make_shared<TacImage32>(90, 42);
        EXPECT_EQ(CaptionButtonWidth(&broken), 90) << frames;
    }
}

// ---- caption buttons --------------------------------------------------------

namespace {

TacCaptionModel Caption() {
    TacCaptionModel m;
    m.Frame = Frame(Sizeable);
    m.CaptionWidth = 300;
    m.NormalBorderStyle = true;
    m.BISpacing = 2;
    m.BIRightMargin = 3;
    m.ButtonHeight = 18;
    m.SystemButtons = m.CloseImage = m.VisibleMax = m.VisibleMin = m.HelpIcon = m.HelpImage = true;
    m.CloseWidth = 25;
    m.MaxWidth = m.MinWidth = 20;
    m.HelpWidth = 16;
    m.TitleButtons = {{true, 22}, {false, 30}, {true, 21}};
    return m;
}

}  // namespace

TEST(CaptionButtons, PlacedFromTheRightAndFoundByTheHitTest) {
    const TacCaptionModel m = Caption();
    const TacCaptionButtons b = PlaceCaptionButtons(m);
    EXPECT_EQ(b.Close, TRect(268, 2, 293, 20));
    EXPECT_EQ(b.Max, TRect(246, 2, 266, 20));
    EXPECT_EQ(b.Min, TRect(224, 2, 244, 20));
    EXPECT_EQ(b.Help, TRect(200, 2, 216, 20));   // 6 further left
    ASSERT_EQ(b.Title.size(), 3u);
    EXPECT_EQ(b.Title[0], TRect(168, 2, 190, 20));   // 8 further left
    EXPECT_TRUE(b.Title[1].IsEmpty());
    EXPECT_EQ(b.Title[2], TRect(145, 2, 166, 20));
    EXPECT_EQ(TitleButtonsWidth(m), 145);

    const std::pair<TPoint, Integer> hits[] = {{{270, 5}, 1}, {{250, 5}, 2}, {{230, 5}, 3},
                                               {{205, 5}, 4}, {{170, 5}, 5}, {{150, 5}, 6},
                                               {{218, 5}, 0}, {{270, 20}, 0}, {{100, 5}, 0}};
    for (auto [p, ordinal] : hits) EXPECT_EQ(CaptionButtonAt(m, b, p), ordinal) << p.X << ", " << p.Y;
}

TEST(CaptionButtons, SpacingMissingImagesAndSmallButtons) {
    TacCaptionModel m = Caption();
    m.NormalBorderStyle = false;   // tool windows and dialogs: no spacing
    m.TitleButtons.clear();
    m.CloseImage = false;          // not placed, still counted by the hit test
    m.HelpImage = false;
    TacCaptionButtons b = PlaceCaptionButtons(m);
    EXPECT_FALSE(b.CloseShown);
    EXPECT_FALSE(b.HelpShown);
    EXPECT_EQ(b.Max, TRect(273, 2, 293, 20));
    EXPECT_EQ(b.Min, TRect(253, 2, 273, 20));
    EXPECT_EQ(CaptionButtonAt(m, b, TPoint{280, 5}), 2);
    EXPECT_EQ(TitleButtonsWidth(m), 3 + 25 + 20 + 20 + 16);

    m.NormalBorderStyle = true;
    m.ButtonHeight = 14;   // low buttons of a normal frame move 2 down
    b = PlaceCaptionButtons(m);
    EXPECT_EQ(b.Max.Top, 4 + 2);
    EXPECT_EQ(b.Max.Bottom, 6 + 14);
}

TEST(CaptionButtons, TopsWithBorderWindowAndAlignment) {
    TacCaptionModel m = Caption();
    m.Frame.BorderWindow = true;
    m.Frame.ExBorderWidth = 6;
    m.Frame.ExTitleHeight = 30;
    m.ExMaxHeight = 26;
    m.ExCenterOffs = 2;
    m.Shadow = TRect(8, 10, 8, 12);
    m.BITopMargin = 4;
    m.BorderFormOffsetY = 7;
    struct Case {
        const char* Name;
        bool Zoomed, Composition, Aligned;
        Integer Top;
    };
    const Case cases[] = {
        // (0 + 30 - 18) div 2 + 10 + 2
        {"centred", false, true, false, 18},
        // - 2, + (30 - 26 - 2) div 2 - 2, + 4 div 2
        {"centred, maximized", true, true, false, 17},
        {"aligned", false, true, true, 14},   // shadow top + top margin
        // frame 4 + shift (0 - (30 - 19 - 4)) + border window offset 7
        {"aligned, maximized", true, true, true, 4},
        {"aligned, maximized, no composition", true, false, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        m.Zoomed = c.Zoomed;
        m.Composition = c.Composition;
        m.BIVAlign = c.Aligned ? 1 : 0;
        EXPECT_EQ(CaptionButtonTop(m, true), c.Top);
    }
    m.BIVAlign = 1;
    m.Zoomed = false;
    EXPECT_EQ(CaptionButtonTop(m, false), 18);   // small glyphs stay centred

    TacCaptionModel plain = Caption();
    plain.BIVAlign = 1;
    EXPECT_EQ(CaptionButtonTop(plain, true), 0);
    plain.Zoomed = true;
    EXPECT_EQ(CaptionButtonTop(plain, true), 3);
}

TEST(CaptionButtons, MaximizedShift) {
    struct Case {
        const char* Name;
        bool BorderWindow;
        Integer DrawMode, MaxHeight, Shift;
    };
    const Case cases[] = {
        {"extended drawing", true, 1, 26, 0},   // 4 + 3 - (30 - 19 - 4)
        {"plain drawing", true, 0, 26, -7},
        {"equal heights", true, 1, 30, -4},
        {"no border window", false, 1, 26, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TacCaptionModel m = Caption();
        m.Frame.BorderWindow = c.BorderWindow;
        m.Frame.ExTitleHeight = 30;
        m.ExDrawMode = c.DrawMode;
        m.ExMaxHeight = c.MaxHeight;
        m.BITopMargin = 3;
        EXPECT_EQ(MaximizedButtonsShift(m), c.Shift);
    }
}

TEST(CaptionButtons, TitleIconPlace) {
    TacCaptionModel m = Caption();
    m.BILeftMargin = 2;
    EXPECT_EQ(TitleIconSize(m), (TSize{0, 0}));   // not shown
    m.IconVisible = true;
    // Left: frame 4 + margin 2; top: 4 div 2, then half of (4 + 19 - 2 - 16).
    EXPECT_EQ(TitleIconRect(m), TRect(6, 4, 22, 20));
    m.IconWidth = 20;   // a custom width, the automatic height
    EXPECT_EQ(TitleIconSize(m), (TSize{20, 16}));

    m.IconWidth = 0;
    m.Frame.BorderWindow = true;
    m.Frame.ExBorderWidth = 6;
    m.Frame.ExTitleHeight = 30;
    m.Shadow = TRect(8, 10, 8, 12);
    m.ExCenterOffs = 2;
    m.ExMaxHeight = 22;
    // Left 6 + 2 + 8; top 2 + 10, + (0 + 30 + 10 - 12 - 16) div 2, + 2.
    EXPECT_EQ(TitleIconRect(m), TRect(16, 20, 32, 36));
    m.Zoomed = true;   // + (30 - 22) div 2 - 2
    EXPECT_EQ(TitleIconRect(m), TRect(16, 22, 32, 38));
}

TEST(FrameMetrics, SizingZones) {
    // 200 x 100, frame 4, caption top offset 4.
    const std::pair<TPoint, Integer> cases[] = {
        {{100, 50}, 1},  {{100, 97}, 15}, {{100, 96}, 1},  {{100, 2}, 12}, {{2, 2}, 13},  {{2, 50}, 10},
        {{2, 98}, 16},   {{198, 2}, 14},  {{198, 50}, 11}, {{198, 98}, 17}, {{196, 50}, 1}, {{4, 50}, 1},
    };
    for (auto [p, code] : cases) EXPECT_EQ(FrameSizingHitCode(200, 100, 4, 4, p), code) << p.X << ", " << p.Y;
}

// ---- scroll bars ------------------------------------------------------------

TEST(ScrollBars, Metrics) {
    TacScrollMetricModel bar;
    bar.CXHScroll = 17;
    bar.CYHScroll = 16;
    bar.CXVScroll = 18;
    bar.SkinArrowLength = 21;
    EXPECT_EQ(GetScrollMetric(bar, true, true), 16);
    EXPECT_EQ(GetScrollMetric(bar, false, false), 17);
    EXPECT_EQ(GetScrollMetric(bar, false, true), 21);
    bar.Vertical = true;
    EXPECT_EQ(GetScrollMetric(bar, true, true), 18);
    bar.ArrowWidth = -2;
    bar.ArrowLength = -2;
    EXPECT_EQ(GetScrollMetric(bar, true, true), 36);
    EXPECT_EQ(GetScrollMetric(bar, false, true), 42);
    bar.SkinArrowLength = 10;   // never below the system's length
    EXPECT_EQ(GetScrollMetric(bar, false, true), 34);
    bar.ArrowWidth = 12;
    bar.ArrowLength = 9;
    EXPECT_EQ(GetScrollMetric(bar, true, true), 12);
    EXPECT_EQ(GetScrollMetric(bar, false, true), 9);
}

TEST(ScrollBars, ClientMakesRoomForTheBarsThatFit) {
    struct Case {
        const char* Name;
        TRect Client;
        bool Left;
        TRect Result;
        bool Horz, Vert;
    };
    const Case cases[] = {
        {"both", TRect(0, 0, 100, 50), false, TRect(0, 0, 82, 34), true, true},
        {"vertical on the left", TRect(0, 0, 100, 50), true, TRect(18, 0, 100, 34), true, true},
        {"too low for the horizontal bar", TRect(0, 0, 100, 10), false, TRect(0, 0, 82, 10), false, true},
        {"too narrow for the vertical bar", TRect(0, 0, 10, 50), false, TRect(0, 0, 10, 34), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TacScrollFrame f;
        f.HorzThickness = 16;
        f.VertThickness = 18;
        f.LeftScrollbar = c.Left;
        TRect client = c.Client;
        ScrollBarsClientRect(client, f, true, true);
        EXPECT_EQ(client, c.Result);
        EXPECT_EQ(f.HorzVisible, c.Horz);
        EXPECT_EQ(f.VertVisible, c.Vert);
    }
    TacScrollFrame f;
    f.HorzThickness = f.VertThickness = 16;
    TRect client(0, 0, 100, 50);
    ScrollBarsClientRect(client, f, false, false);   // no style bits: no bars
    EXPECT_EQ(client, TRect(0, 0, 100, 50));
    EXPECT_FALSE(f.HorzVisible || f.VertVisible);
}

TEST(ScrollBars, BarRectanglesAndCorner) {
    TacScrollFrame f;
    f.Window = TRect(100, 100, 300, 250);
    f.EdgeLeft = f.EdgeTop = f.EdgeRight = f.EdgeBottom = 2;
    f.HorzThickness = 16;
    f.VertThickness = 18;
    f.HorzVisible = f.VertVisible = true;
    EXPECT_EQ(GetHScrollRect(f), TRect(102, 232, 280, 248));
    EXPECT_EQ(GetVScrollRect(f), TRect(280, 102, 298, 232));
    EXPECT_EQ(ScrollCornerRect(f), TRect(280, 232, 298, 248));
    f.LeftScrollbar = true;
    EXPECT_EQ(GetHScrollRect(f), TRect(120, 232, 298, 248));
    EXPECT_EQ(GetVScrollRect(f), TRect(102, 102, 120, 232));
    EXPECT_EQ(ScrollCornerRect(f), TRect(102, 232, 120, 248));
    f.VertVisible = false;
    EXPECT_EQ(GetHScrollRect(f), TRect(102, 232, 298, 248));
    EXPECT_TRUE(ScrollCornerRect(f).IsEmpty());
}

TEST(ScrollBars, ThumbSizeAndOffset) {
    struct Case {
        const char* Name;
        TacScrollValues Info;
        Integer Size, Offset;
    };
    // A bar of 200 with arrows of 16: the track is 168.
    const Case cases[] = {
        {"at the start", {0, 99, 10, 0}, 17, 0},
        {"in the middle", {0, 99, 10, 45}, 17, 76},
        {"at the last position", {0, 99, 10, 90}, 17, 151},
        {"beyond the range", {0, 99, 10, 500}, 17, 151},
        {"no page: as long as an arrow", {0, 99, 0, 50}, 16, 77},
        {"never below the smallest thumb", {0, 9999, 1, 9999}, 10, 158},
        {"range too large to measure", {-2147483647 - 1, 2147483647, 10, 5}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TacThumb t = ScrollThumb(200, 16, c.Info, 10);
        EXPECT_EQ(t.Size, c.Size);
        EXPECT_EQ(t.Offset, c.Offset);
    }
}

TEST(ScrollBars, PartUnderThePoint) {
    const TacScrollValues info{0, 99, 10, 45};   // thumb 92..108
    const TRect horz(0, 0, 200, 16), vert(10, 20, 26, 220);
    struct Case {
        const char* Name;
        TRect Bar;
        bool Vertical;
        TPoint P;
        Integer Part;
    };
    const Case cases[] = {
        {"before-arrow", horz, false, {5, 8}, acSbLineBefore},
        {"after-arrow", horz, false, {195, 8}, acSbLineAfter},
        {"page before", horz, false, {50, 8}, acSbPageBefore},
        {"thumb", horz, false, {92, 8}, acSbThumb},
        {"page before, next to the thumb", horz, false, {91, 8}, acSbPageBefore},
        {"page after, next to the thumb", horz, false, {109, 8}, acSbPageAfter},
        {"page after", horz, false, {150, 8}, acSbPageAfter},
        {"below the bar", horz, false, {100, 16}, acSbNone},
        {"past the end", horz, false, {200, 8}, acSbNone},
        {"vertical arrow", vert, true, {18, 25}, acSbLineBefore},
        {"vertical thumb", vert, true, {18, 115}, acSbThumb},
        {"beside a vertical bar", vert, true, {5, 100}, acSbNone},
        {"short bar: half arrows", TRect(0, 0, 20, 16), false, {9, 8}, acSbLineBefore},
        {"short bar: second half", TRect(0, 0, 20, 16), false, {10, 8}, acSbLineAfter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ScrollBarPartAt(c.Bar, c.Vertical, c.P, 16, info, 10), c.Part);
    }
    // A thumb filling the track leaves no page or thumb part.
    EXPECT_EQ(ScrollBarPartAt(horz, false, TPoint{50, 8}, 16, TacScrollValues{0, 99, 100, 0}, 10), acSbNone);
}

TEST(ScrollBars, PaintedPieces) {
    const TacScrollValues info{0, 99, 10, 45};
    TacScrollBarParts p = ScrollBarParts(200, 16, false, 16, info, 10, true);
    EXPECT_EQ(p.Bar1, TRect(0, 0, 100, 16));   // up to the thumb centre
    EXPECT_EQ(p.Bar2, TRect(100, 0, 200, 16));
    EXPECT_EQ(p.ArrowBefore, TRect(0, 0, 16, 16));
    EXPECT_EQ(p.ArrowAfter, TRect(184, 0, 200, 16));
    EXPECT_TRUE(p.ThumbShown);
    EXPECT_EQ(p.Thumb, TRect(92, 0, 109, 16));

    p = ScrollBarParts(200, 18, true, 16, info, 10, true, 50);   // a dragged thumb
    EXPECT_EQ(p.Thumb, TRect(0, 50, 18, 67));
    EXPECT_EQ(p.Bar1, TRect(0, 0, 18, 58));

    EXPECT_FALSE(ScrollBarParts(200, 16, false, 16, info, 10, false).ThumbShown);

    p = ScrollBarParts(20, 16, false, 16, info, 10, true);   // shorter than two arrows
    EXPECT_FALSE(p.ThumbShown);
    EXPECT_EQ(p.ArrowBefore, TRect(0, 0, 10, 16));
    EXPECT_EQ(p.ArrowAfter, TRect(10, 0, 20, 16));
    EXPECT_EQ(p.Bar1, p.ArrowBefore);
    EXPECT_EQ(p.Bar2, p.ArrowAfter);
}

TEST(ScrollBars, ThumbDrag) {
    // Track 16..184, thumb 17.
    EXPECT_EQ(DragThumbStart(120, 5, 16, 168, 17), 115);
    EXPECT_EQ(DragThumbStart(10, 5, 16, 168, 17), 16);
    EXPECT_EQ(DragThumbStart(300, 5, 16, 168, 17), 167);

    const TacScrollValues info{0, 99, 10, 0};
    EXPECT_EQ(ThumbDragPosition(false, 91, 16, 168, 17, info), 45);
    EXPECT_EQ(ThumbDragPosition(false, 167, 16, 168, 17, info), 90);
    EXPECT_EQ(ThumbDragPosition(true, 91, 16, 168, 17, info), 45);
    EXPECT_EQ(ThumbDragPosition(false, 40, 16, 168, 17, TacScrollValues{5, 5, 0, 0}), 24);
}

TEST(ScrollBars, ThumbDragStaysInTheRange) {
    struct Case {
        const char* Name;
        bool Vertical;
        Integer ThumbStart, TrackLength, ThumbSize;
        TacScrollValues Info;
        Integer Pos;
    };
    // Track 16..184 unless given; the last position of 0..99 with a page of 10 is 90.
    const Case cases[] = {
        {"vertical thumb touching the end: the last position", true, 167, 168, 17, {0, 99, 10, 0}, 90},
        {"vertical, one pixel before the end", true, 166, 168, 17, {0, 99, 10, 0}, 90},
        {"horizontal, no page: never past the maximum", false, 174, 168, 10, {0, 99, 0, 0}, 99},
        {"vertical, no page", true, 174, 168, 10, {0, 99, 0, 0}, 99},
        {"thumb filling the track: no division by nothing", false, 16, 20, 20, {0, 99, 10, 0}, 0},
        {"thumb longer than the track", true, 16, 20, 30, {3, 99, 10, 0}, 3},
        {"page larger than the range", false, 40, 168, 17, {0, 99, 200, 0}, 0},
        {"offset range", false, 167, 168, 17, {100, 199, 10, 0}, 190},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ThumbDragPosition(c.Vertical, c.ThumbStart, 16, c.TrackLength, c.ThumbSize, c.Info), c.Pos);
    }
}

TEST(ScrollBars, ThumbWithoutStepsStaysAtTheStart) {
    // A page covering the whole range leaves nothing to divide the track by.
    EXPECT_EQ(ScrollThumb(200, 16, TacScrollValues{0, 99, 100, 50}, 10).Offset, 0);
    EXPECT_EQ(ScrollThumb(200, 16, TacScrollValues{0, 99, 150, 50}, 10).Offset, 0);
    // A bar shorter than its arrows: the offset never runs negative.
    EXPECT_EQ(ScrollThumb(20, 16, TacScrollValues{0, 99, 10, 50}, 10).Offset, 0);
}
