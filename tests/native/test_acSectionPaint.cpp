// The section painter over pixel views: composition of a section state's
// layers against a parent image or colour (checked against the test skin
// loaded through the skin model), the texture draw modes and what each
// leaves uncovered, the masked tiler, degenerate skin geometry that must
// neither loop nor divide by zero, patterns tiled from their decoded image,
// and the small routines (corner key runs, image slices, border strips,
// byte channels, the glyph frame choice).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "Classes.h"
#include "SkinImage.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "acSectionPaint.h"
#include "acSkinImages.h"
#include "sGradient.h"

namespace {

constexpr std::uint32_t kSentinel = 0xFF123456u;

TColor SameColour(TColor c) { return c; }
String Native(const std::filesystem::path& p) { return Utf8ToString(p.string()); }

// The test skin loaded through the skin model, with Common as ini text over it.
struct TestSkin {
    harness::TempFolder dir{"kes-section-"};
    TacSkinModel model;
    explicit TestSkin(const std::string& Common = {}) {
        skingen::WriteTestSkin(dir.Path());
        model.ColorToRGB = TacColorToRGBFunc::OfFunction(&SameColour);
        model.SystemFrameWidth = 4;
        if (!Common.empty()) model.CommonSections.SetText(Utf8ToString(Common));
        TStringList ini;
        ini.LoadFromFile(Native(dir.Path() / "Options.dat"));
        const String path = Native(dir.Path()) + Char(std::filesystem::path::preferred_separator);
        model.SkinData->SkinPath = path;
        model.LoadSkin(ini, TacFolderSource(path));
    }
    Integer Index(const char* Section) const { return model.GetSkinIndex(Utf8ToString(Section)); }
    const TsGeneralData& Section(const char* Name) const { return model.gd.at(static_cast<std::size_t>(Index(Name))); }
    TacSectionContext Ctx() const { return TacSectionContext{&model, nullptr, nullptr}; }
};

// A parent image whose pixels name their position.
TacImage32 NamedParent(int w, int h) {
    TacImage32 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = 0xFF000000u | static_cast<std::uint32_t>(x) << 8 | static_cast<std::uint32_t>(y);
    return img;
}

std::uint32_t Opaque(TColor c) { return OpaquePixel(c); }

}  // namespace

// ---- composition against the test skin -------------------------------------------

TEST(SectionPaint, FullyTransparentShowsTheParentOrItsColour) {
    TestSkin skin("[PANEL]\r\nTRANSPARENCY=100\r\nHOTTRANSPARENCY=100\r\n");
    const Integer panel = skin.Index("PANEL");
    ASSERT_GE(panel, 0);
    TacImage32 parent = NamedParent(60, 40);
    TacBits32 parentBits = parent.View();
    const TacParent ready{&parentBits, 7, 3, kNoColor, true};
    TacImage32 bmp(30, 20, kSentinel);
    // Bmp's origin lies at (7 + 2, 3 + 1) of the parent.
    PaintSectionBg(skin.Ctx(), panel, u"PANEL", ready, kNoColor, -1, -1, bmp.Bits(), TPoint(2, 1), TRect(4, 5, 30, 20), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 4 && y >= 5;
            ASSERT_EQ(bmp.At(x, y), inside ? parent.At(x + 9, y + 4) : kSentinel) << x << ',' << y;
        }

    TacImage32 plain(10, 10, kSentinel);
    const TacParent colour{nullptr, 0, 0, 0x336699, false};
    PaintSectionBg(skin.Ctx(), panel, u"PANEL", colour, kNoColor, -1, -1, plain.Bits(), TPoint(), TRect(0, 0, 10, 10), 1);
    EXPECT_EQ(plain.At(9, 9), Opaque(0x336699));
}

TEST(SectionPaint, HalfTransparentColourMixesWithWhatLiesBehind) {
    TestSkin skin("[PANEL]\r\nTRANSPARENCY=50\r\n");
    const Integer panel = skin.Index("PANEL");
    const TColor c = skin.Section("PANEL").Color;
    // Over a parent colour alone: one fill with the half mix.
    TacImage32 bmp(8, 8, kSentinel);
    PaintSectionBg(skin.Ctx(), panel, u"", TacParent{nullptr, 0, 0, 0x204060, false}, kNoColor, -1, -1, bmp.Bits(),
                   TPoint(), TRect(0, 0, 8, 8), 0);
    EXPECT_EQ(bmp.At(3, 3), Opaque(BlendColors(0x204060, c, 0.5)));
    // Over a parent image: the colour blended onto the parent by the weight 127.
    TacImage32 parent = NamedParent(8, 8);
    TacBits32 pb = parent.View();
    TacImage32 over(8, 8, kSentinel);
    PaintSectionBg(skin.Ctx(), panel, u"", TacParent{&pb, 0, 0, kNoColor, true}, kNoColor, -1, -1, over.Bits(),
                   TPoint(), TRect(0, 0, 8, 8), 0);
    const std::uint32_t p = parent.At(5, 2), s = Opaque(c);
    for (int shift = 0; shift <= 16; shift += 8)
        EXPECT_EQ((over.At(5, 2) >> shift) & 0xFF,
                  static_cast<std::uint32_t>(SumMix((p >> shift) & 0xFF, (s >> shift) & 0xFF, 127)));
}

TEST(SectionPaint, GradientWithTextureTakesTheOnePass) {
    // A red-to-green gradient under the skin's flat texture: every pixel is
    // the texture's colour at weight 60 % over the gradient at 40 %, worked
    // out here channel by channel from the two known colours.
    TestSkin skin("[SCROLLBAR1H]\r\nGRADIENTPERCENT=40\r\nIMAGEPERCENT=60\r\nGRADIENTDATA=255;65280;100;0;0\r\n");
    const Integer bar = skin.Index("SCROLLBAR1H");
    const Integer texture = skin.model.GetMaskIndex(bar, u"SCROLLBAR1H", u"PATTERN");
    ASSERT_GE(texture, 0);
    TsMaskData& mask = skin.model.ma[static_cast<std::size_t>(texture)];
    ASSERT_EQ(mask.MaskType, 0);
    mask.DrawMode = tdmTile;   // the test skin stretches its textures
    const TacMaskSource src = MaskSourceOf(mask, skin.model.MasterBitmap.get());
    ASSERT_TRUE(src.Image.Valid());
    const std::uint32_t tex = src.Image.At(mask.R.Left, mask.R.Top);
    for (int y = mask.R.Top; y < mask.R.Bottom; ++y)
        for (int x = mask.R.Left; x < mask.R.Right; ++x) ASSERT_EQ(src.Image.At(x, y) & 0xFFFFFF, tex & 0xFFFFFF);
    const int h = 30;
    TacImage32 got(40, h);
    PaintSectionBg(skin.Ctx(), bar, u"SCROLLBAR1H", TacParent{}, kNoColor, -1, -1, got.Bits(), TPoint(),
                   TRect(0, 0, 40, h), 0);
    // The gradient's red falls and its green rises from row to row, blue stays 0.
    auto expected = [&](int shift, double gradient) {
        const double t = static_cast<double>((tex >> shift) & 0xFF);
        return 0.6 * t + 0.4 * gradient;
    };
    for (int y = 0; y < h; ++y) {
        const double along = static_cast<double>(y) / (h - 1);
        const std::uint32_t p = got.At(20, y);
        SCOPED_TRACE(y);
        // One step of the gradient and the rounding of each mix.
        const double slack = 0.4 * 255.0 / (h - 1) + 2;
        EXPECT_NEAR(static_cast<double>((p >> 16) & 0xFF), expected(16, 255 * (1 - along)), slack);
        EXPECT_NEAR(static_cast<double>((p >> 8) & 0xFF), expected(8, 255 * along), slack);
        EXPECT_NEAR(static_cast<double>(p & 0xFF), expected(0, 0), 2);
        EXPECT_EQ(got.At(0, y), got.At(39, y)) << "the rows are level";
    }
}

TEST(SectionPaint, GradientShareMixedWithTheRestOfTheColour) {
    // A red-to-blue gradient at 30 % under the section's flat colour at 70 %.
    TestSkin skin("[PANEL]\r\nGRADIENTPERCENT=30\r\nGRADIENTDATA=255;16711680;100;0;0\r\n");
    const TsGeneralData& d = skin.Section("PANEL");
    const std::uint32_t colour = Opaque(d.Color);
    const int h = 30;
    TacImage32 got(20, h);
    PaintSectionBg(skin.Ctx(), skin.Index("PANEL"), u"PANEL", TacParent{}, kNoColor, -1, -1, got.Bits(), TPoint(),
                   TRect(0, 0, 20, h), 0);
    auto expected = [&](int shift, double gradient) {
        return 0.3 * gradient + 0.7 * static_cast<double>((colour >> shift) & 0xFF);
    };
    for (int y = 0; y < h; ++y) {
        const double along = static_cast<double>(y) / (h - 1);
        SCOPED_TRACE(y);
        const double slack = 0.3 * 255.0 / (h - 1) + 1;
        for (int x : {0, 10, 19}) {
            const std::uint32_t p = got.At(x, y);
            EXPECT_NEAR(static_cast<double>((p >> 16) & 0xFF), expected(16, 255 * (1 - along)), slack);
            EXPECT_NEAR(static_cast<double>((p >> 8) & 0xFF), expected(8, 0), 1);
            EXPECT_NEAR(static_cast<double>(p & 0xFF), expected(0, 255 * along), slack);
        }
    }
    // The ends are the gradient's own colours under the mix, exactly.
    auto exact = [&](int shift, int gradient) {
        return static_cast<std::uint32_t>(std::nearbyint(expected(shift, gradient)));
    };
    EXPECT_EQ((got.At(5, 0) >> 16) & 0xFF, exact(16, 255));
    EXPECT_EQ(got.At(5, 0) & 0xFF, exact(0, 0));
}

TEST(SectionPaint, StatesAboveTheLastPaintTheLastOne) {
    TestSkin skin;
    const Integer button = skin.Index("BUTTON");
    const TsGeneralData& d = skin.Section("BUTTON");
    ASSERT_EQ(d.States, 2);
    for (const auto& [state, colour] : {std::pair{0, d.Color}, std::pair{1, d.HotColor}, std::pair{7, d.HotColor},
                                        std::pair{-3, d.Color}}) {
        TacImage32 bmp(6, 6, kSentinel);
        PaintSectionBg(skin.Ctx(), button, u"BUTTON", TacParent{}, kNoColor, -1, -1, bmp.Bits(), TPoint(),
                       TRect(0, 0, 6, 6), state);
        EXPECT_EQ(bmp.At(2, 2), Opaque(colour)) << state;
    }
    // A custom colour wins over the section's.
    TacImage32 custom(6, 6);
    PaintSectionBg(skin.Ctx(), button, u"BUTTON", TacParent{}, 0x0A0B0C, -1, -1, custom.Bits(), TPoint(),
                   TRect(0, 0, 6, 6), 1);
    EXPECT_EQ(custom.At(5, 5), Opaque(0x0A0B0C));
}

TEST(SectionPaint, SectionWithBorderAndBadInput) {
    TestSkin skin;
    const Integer button = skin.Index("BUTTON");
    const TsGeneralData& d = skin.Section("BUTTON");
    ASSERT_GE(d.BorderIndex, 0);
    TacImage32 bmp(30, 20, kSentinel);
    PaintSection(skin.Ctx(), button, u"BUTTON", TacParent{}, -1, -1, bmp.Bits(), TPoint(), TRect(0, 0, 30, 20), 1);
    const auto frame = [](int f) { return 0xFF000000u | skingen::TestMaskColour("BUTTON", "BORDERSMASK", f); };
    EXPECT_EQ(bmp.At(15, 1), frame(1));                    // the border of the hot frame
    EXPECT_EQ(bmp.At(15, 10), Opaque(d.HotColor));         // the background inside
    EXPECT_EQ(bmp.At(0, 0), Opaque(d.HotColor));           // key corners show the background
    // Nothing for rectangles outside the bitmap, empty ones or a bad index.
    TacImage32 untouched(10, 10, kSentinel);
    for (const TRect& r : {TRect(-1, 0, 5, 5), TRect(0, 0, 11, 5), TRect(3, 3, 3, 9)})
        PaintSection(skin.Ctx(), button, u"BUTTON", TacParent{}, -1, -1, untouched.Bits(), TPoint(), r, 0);
    PaintSection(skin.Ctx(), 100000, u"BUTTON", TacParent{}, -1, -1, untouched.Bits(), TPoint(), TRect(0, 0, 5, 5), 0);
    PaintSectionBg(skin.Ctx(), -1, u"", TacParent{}, kNoColor, -1, -1, untouched.Bits(), TPoint(), TRect(0, 0, 5, 5), 0);
    EXPECT_EQ(untouched, TacImage32(10, 10, kSentinel));
}

// ---- textures in an in-memory model ----------------------------------------------------

namespace {

// A model with one section and the masks a test adds.
struct MemoryModel {
    TacSkinModel model;
    MemoryModel() {
        TsGeneralData d;
        d.ClassName = u"SEC";
        d.States = 2;
        d.Color = 0x112233;
        d.HotColor = 0x445566;
        model.gd.push_back(d);
    }
    TsGeneralData& Sec() { return model.gd[0]; }
    // A plain texture of W x H whose pixels name their position, in its own image.
    Integer AddTexture(int w, int h, int drawMode, int maskType = 0, int imageCount = 1) {
        TsMaskData m;
        m.ClassName = u"SEC";
        m.PropertyName = u"PATTERN";
        const int rows = maskType > 0 ? h * (maskType + 1) : h;
        auto img = std::make_shared<TacImage32>(std::max(w * std::max(imageCount, 1), 1), std::max(rows, 1));
        for (int y = 0; y < img->Height(); ++y)
            for (int x = 0; x < img->Width(); ++x)
                img->At(x, y) = y < h ? 0xFF000000u | static_cast<std::uint32_t>(x) << 8 | static_cast<std::uint32_t>(y)
                                      : 0u;   // mask rows: show the image
        m.Bmp = img;
        m.R = TRect(0, 0, w * std::max(imageCount, 1), rows);
        m.ImageCount = static_cast<SmallInt>(imageCount);
        m.MaskType = static_cast<SmallInt>(maskType);
        m.DrawMode = static_cast<SmallInt>(drawMode);
        model.ma.push_back(m);
        return static_cast<Integer>(model.ma.size() - 1);
    }
    TacSectionContext Ctx() const { return TacSectionContext{&model, nullptr, nullptr}; }
};

int XOf(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
int YOf(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

}  // namespace

TEST(SectionTexture, DrawModesCoverTheirPartAndReportTheRest) {
    // A 4 x 3 texture over R = (2, 1, 13, 11) of a 16 x 12 bitmap.
    TacImage32 tex = NamedParent(4, 3);
    const TRect R(2, 1, 13, 11);
    struct Case {
        int mode;
        TRect covered;    // what the texture draws
        TRect uncovered;  // what it reports
        bool stretched;
    };
    const Case cases[] = {
        {tdmTile, R, TRect(), false},
        {tdmStretch, R, TRect(), true},
        {tdmTopRow, TRect(2, 1, 13, 4), TRect(2, 4, 13, 11), false},
        {tdmLeftColumn, TRect(2, 1, 6, 11), TRect(6, 1, 13, 11), false},
        {tdmStretchTopRow, TRect(2, 1, 13, 4), TRect(2, 4, 13, 11), true},
        {tdmStretchLeftColumn, TRect(2, 1, 6, 11), TRect(6, 1, 13, 11), true},
        {tdmBottomRow, TRect(2, 8, 13, 11), TRect(2, 1, 13, 8), false},
        {tdmRightColumn, TRect(9, 1, 13, 11), TRect(2, 1, 9, 11), false},
        {tdmWholeTiles, TRect(2, 1, 13, 10), TRect(), false},
        {8, TRect(), R, false},
    };
    TacBlitter blitter;
    for (const Case& c : cases) {
        TacImage32 bmp(16, 12, kSentinel);
        const TRect rest = DrawTexture(bmp.Bits(), R, tex.View(), TRect(0, 0, 4, 3), c.mode, blitter);
        EXPECT_EQ(rest.IsEmpty() ? TRect() : rest, c.uncovered) << "mode " << c.mode;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::uint32_t p = bmp.At(x, y);
                if (!c.covered.Contains(TPoint(x, y))) {
                    ASSERT_EQ(p, kSentinel) << "mode " << c.mode << " at " << x << ',' << y;
                } else if (!c.stretched) {
                    ASSERT_EQ(XOf(p), (x - c.covered.Left) % 4) << "mode " << c.mode << " at " << x << ',' << y;
                    ASSERT_EQ(YOf(p), (y - c.covered.Top) % 3) << "mode " << c.mode << " at " << x << ',' << y;
                } else {
                    ASSERT_NE(p, kSentinel);
                }
            }
    }
}

TEST(SectionTexture, ZeroSizedSourcesNeitherLoopNorDivide) {
    TacBlitter blitter;
    TacImage32 tex = NamedParent(4, 3);
    TacImage32 bmp(8, 8, kSentinel);
    for (const TRect& s : {TRect(0, 0, 0, 3), TRect(1, 1, 1, 1), TRect(5, 0, 9, 3), TRect(2, 2, 1, 1)})
        EXPECT_EQ(DrawTexture(bmp.Bits(), TRect(0, 0, 8, 8), tex.View(), s, tdmTile, blitter), TRect(0, 0, 8, 8));
    EXPECT_EQ(bmp, TacImage32(8, 8, kSentinel));

    // Sections whose textures have no frames, a negative mask type or no
    // size paint their colour where the texture would be.
    for (const auto& [w, h, maskType, count] : {std::tuple{0, 3, 0, 1}, std::tuple{4, 0, 1, 1}, std::tuple{4, 3, 1, 0},
                                              std::tuple{4, 3, -1, 1}, std::tuple{0, 0, 1, 1}}) {
        MemoryModel mm;
        const Integer t = mm.AddTexture(w, h, tdmTile, maskType, count);
        mm.Sec().ImagePercent = 100;
        mm.Sec().TextureNormal = t;
        for (const Integer given : {t, Integer{-1}}) {
            TacImage32 out(8, 8, kSentinel);
            PaintSectionBg(mm.Ctx(), 0, u"SEC", TacParent{}, kNoColor, -1, given, out.Bits(), TPoint(), TRect(0, 0, 8, 8), 0);
            EXPECT_EQ(out.At(7, 7), Opaque(0x112233)) << w << 'x' << h << " type " << maskType << " count " << count;
        }
        std::vector<TRect> rects;
        AddMaskCornerRects(rects, 20, MaskSourceOf(mm.model.ma[0], nullptr), true, 0);
        EXPECT_TRUE(rects.empty());
    }
}

TEST(SectionTexture, TopRowTextureLeavesTheRestInTheColour) {
    MemoryModel mm;
    mm.Sec().ImagePercent = 100;
    mm.Sec().TextureNormal = mm.AddTexture(5, 4, tdmTopRow);
    TacImage32 out(12, 10, kSentinel);
    PaintSectionBg(mm.Ctx(), 0, u"SEC", TacParent{}, kNoColor, -1, -1, out.Bits(), TPoint(), TRect(0, 0, 12, 10), 0);
    EXPECT_EQ(out.At(7, 3), 0xFF000000u | 2u << 8 | 3u);   // tile column 2, row 3
    for (int y = 4; y < 10; ++y) EXPECT_EQ(out.At(11, y), Opaque(0x112233)) << y;
}

TEST(SectionTexture, MaskedTilesGoThroughTheirMask) {
    // Whole tiles of 4 x 3 over 10 x 8: two columns and two rows; the strips
    // right of and below them take the parent image.
    MemoryModel mm;
    const Integer t = mm.AddTexture(4, 3, tdmWholeTiles, 1);
    TacImage32 parent = NamedParent(30, 30);
    TacBits32 pb = parent.View();
    const TacParent ready{&pb, 5, 6, kNoColor, true};
    TacImage32 out(10, 8, kSentinel);
    EXPECT_TRUE(DrawMaskedTexture(out.Bits(), TRect(0, 0, 10, 8), MaskSourceOf(mm.model.ma[static_cast<std::size_t>(t)], nullptr), ready));
    EXPECT_EQ(out.At(5, 4), 0xFF000000u | 1u << 8 | 1u);
    EXPECT_EQ(out.At(8, 2), parent.At(13, 8));
    EXPECT_EQ(out.At(3, 7), parent.At(8, 13));
    // Modes other than 0 and 10 draw nothing.
    mm.model.ma[static_cast<std::size_t>(t)].DrawMode = tdmTopRow;
    TacImage32 none(10, 8, kSentinel);
    EXPECT_FALSE(DrawMaskedTexture(none.Bits(), TRect(0, 0, 10, 8), MaskSourceOf(mm.model.ma[static_cast<std::size_t>(t)], nullptr), ready));
    EXPECT_EQ(none, TacImage32(10, 8, kSentinel));
}

TEST(SectionTexture, PatternsTileTheirDecodedImage) {
    MemoryModel mm;
    skingen::Image src(6, 5, 0xFF3060A0u);
    auto pattern = std::make_shared<TacJPEGPattern>();
    const std::vector<std::uint8_t> jpg = skingen::EncodeJPEG(src, 95);
    pattern->Data.assign(jpg.begin(), jpg.end());
    pattern->Width = 6;
    pattern->Height = 5;
    mm.model.pa.push_back(TsPatternData{pattern, u"SEC", u"PATTERN"});
    mm.Sec().ImagePercent = 100;
    const TacImage32& decoded = pattern->Image();
    for (int pass = 0; pass < 2; ++pass) {
        TacImage32 out(14, 12, kSentinel);
        PaintSectionBg(mm.Ctx(), 0, u"SEC", TacParent{}, kNoColor, -1, -1, out.Bits(), TPoint(), TRect(0, 0, 14, 12), 0);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 14; ++x) ASSERT_EQ(out.At(x, y), decoded.At(x % 6, y % 5)) << x << ',' << y;
    }
    EXPECT_EQ(&pattern->Image(), &decoded);
}

// ---- small routines -------------------------------------------------------------------

TEST(SectionRoutines, CornerKeyRunsOfTheFirstFrame) {
    // Two frames of 6 x 4 (image part) with a mask part; key runs in the
    // first frame's corners, one outside the corner areas.
    TacImage32 img(12, 8, 0xFF808080u);
    for (int x : {0, 1, 2}) img.At(x, 0) = kKeyPixel;   // top-left run of 3 (WL 2 cuts it to 2)
    img.At(5, 0) = kKeyPixel;                            // top-right
    img.At(0, 3) = img.At(4, 3) = img.At(5, 3) = kKeyPixel;   // bottom row
    img.At(6, 0) = kKeyPixel;                            // the second frame: not read
    TsMaskData m;
    m.R = TRect(0, 0, 12, 8);
    m.ImageCount = 2;
    m.MaskType = 1;
    m.WL = 2, m.WT = 1, m.WR = 2, m.WB = 1;
    std::vector<TRect> rects;
    AddMaskCornerRects(rects, 50, MaskSourceOf(m, &img), false, 10);
    EXPECT_EQ(rects, (std::vector<TRect>{TRect(0, 10, 2, 11), TRect(49, 10, 50, 11)}));
    rects.clear();
    AddMaskCornerRects(rects, 50, MaskSourceOf(m, &img), true, 30);
    EXPECT_EQ(rects, (std::vector<TRect>{TRect(0, 30, 1, 31), TRect(48, 30, 50, 31)}));
}

TEST(SectionRoutines, ImageSlicesCornersSidesAndCentre) {
    // A 9 x 9 source with margins 3 and side widths 1: L-shaped corners, the
    // sides one pixel thick, the centre tiled; a side without source length
    // draws nothing.
    TacImage32 src = NamedParent(9, 9);
    TacImage32 dst(15, 13, kSentinel);
    TacBlitter blitter;
    DrawImageSlices(dst.Bits(), src.View(), TRect(0, 0, 15, 13), TRect(0, 0, 9, 9), TRect(3, 3, 3, 3), TRect(1, 1, 1, 1),
                    {0, 0, 0, 0}, 0, true, blitter);
    EXPECT_EQ(dst.At(2, 0), src.At(2, 0));       // top strip of the corner: the full margin
    EXPECT_EQ(dst.At(0, 2), src.At(0, 2));       // the rest: the side width
    EXPECT_EQ(dst.At(2, 2), kSentinel);          // the corner's hole
    EXPECT_EQ(dst.At(14, 12), src.At(8, 8));
    EXPECT_EQ(dst.At(0, 7), src.At(0, 3 + (7 - 3) % 3));   // left side tiled
    EXPECT_EQ(dst.At(7, 6), src.At(3 + (7 - 3) % 3, 3 + (6 - 3) % 3));   // centre tiled
    EXPECT_EQ(dst.At(1, 6), kSentinel);          // between the side strip and the centre

    TacImage32 flat(10, 10, kSentinel);
    DrawImageSlices(flat.Bits(), src.View(), TRect(0, 0, 10, 10), TRect(0, 0, 9, 6), TRect(3, 3, 3, 3), TRect(3, 3, 3, 3),
                    {1, 1, 1, 1}, 1, false, blitter);
    EXPECT_EQ(flat.At(0, 5), kSentinel);         // left side: no source rows between the corners
    EXPECT_NE(flat.At(5, 0), kSentinel);         // top side stretched

    // Source rectangles and widths far beyond the image are cut to it first.
    TacImage32 wild(15, 13, kSentinel);
    DrawImageSlices(wild.Bits(), src.View(), TRect(0, 0, 15, 13), TRect(-1862271015, 0, 625341580, 9),
                    TRect(3, 1 << 30, 3, 3), TRect(1, 1, 1, 1), {0, 0, 0, 0}, 0, true, blitter);
    EXPECT_EQ(wild.At(0, 12), src.At(0, 8));
}

TEST(SectionRoutines, BorderStripsAndChannels) {
    const auto strips = BorderStripRects(TRect(10, 20, 50, 60), 1, 2, 3, 4);
    EXPECT_EQ(strips[0], TRect(10, 20, 50, 22));
    EXPECT_EQ(strips[1], TRect(10, 22, 11, 60));
    EXPECT_EQ(strips[2], TRect(11, 56, 50, 60));
    EXPECT_EQ(strips[3], TRect(47, 22, 50, 56));
    TacImage32 bmp(8, 8, kSentinel);
    FillBorderStrips(bmp.Bits(), TRect(1, 1, 7, 7), 1, 1, 1, 1, 0x0000FF);
    EXPECT_EQ(bmp.At(1, 4), 0xFFFF0000u);
    EXPECT_EQ(bmp.At(4, 4), kSentinel);

    TacImage32 px(3, 2, 0x11223344u);
    px.At(2, 1) = 0xA1B2C3D4u;
    std::uint8_t bytes[2][3] = {};
    const TacBits8 b8{&bytes[0][0], 3, 2, 3};
    CopyChannel(px.Bits(), b8, 2, true);
    EXPECT_EQ(bytes[1][2], 0xB2);
    EXPECT_EQ(bytes[0][0], 0x22);
    bytes[0][1] = 0x99;
    CopyChannel(px.Bits(), b8, 3, false);   // back into alpha
    EXPECT_EQ(px.At(1, 0), 0x99223344u);
    EXPECT_EQ(px.At(2, 1), 0xB2B2C3D4u);
    CopyChannel(px.Bits(), b8, 4, true);    // no such channel
    EXPECT_EQ(bytes[1][2], 0xB2);
}

TEST(SectionRoutines, GlyphFrameChoice) {
    struct Case {
        int numGlyphs, state;
        bool down, enabled, fourBit;
        int frame;
    };
    const Case cases[] = {
        {4, 2, true, true, false, 3},  {3, 2, true, true, false, 1}, {3, 2, false, true, false, 2},
        {4, 1, false, true, false, 1}, {4, 0, true, true, false, 0}, {4, 2, true, false, false, 0},
        {4, 1, false, true, true, 0},  {3, 2, true, true, true, 0},  {2, 2, true, true, false, 1},
        {2, 2, false, true, false, 1}, {1, 2, true, true, false, 0}, {0, 1, false, true, false, 0},
        {4, -2, false, true, false, 0}, {4, 5, false, true, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GlyphFrameIndex(c.numGlyphs, c.state, c.down, c.enabled, c.fourBit), c.frame)
            << c.numGlyphs << " glyphs, state " << c.state << " down " << c.down << " enabled " << c.enabled
            << " 4-bit " << c.fourBit;
}
