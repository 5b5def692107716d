// One skinned scroll bar painted into a work bitmap with the flat test skin:
// which section shows where along the bar, the states of arrows, thumb and
// track halves, a bar too short for a thumb, and the disabled blend.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <memory>

#include "FrameworkEnvironment.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acScrollBarPaint.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TColor Colour(skingen::Rgb c) { return static_cast<TColor>(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF)); }
TColor SectionColour(const char* s, int state = 0) { return Colour(skingen::TestSectionColour(s, state)); }
TColor MaskColour(const char* s, const char* m, int frame) { return Colour(skingen::TestMaskColour(s, m, frame)); }

// The pixel of a 32-bit work bitmap as an RGB colour.
TColor PixelOf(TBitmap* Bmp, int X, int Y) {
    const std::uint32_t w = static_cast<const std::uint32_t*>(Bmp->ScanLine(Y))[X];
    return static_cast<TColor>(RGB((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF));
}

class ScrollBarPaint : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        manager = kestrune_test::NewTestSkinManager(root);
        ASSERT_TRUE(manager->SkinData()->Active);
    }
    // A horizontal bar of 200 x 17 (or vertical 17 x 200) over a plain colour.
    std::unique_ptr<TBitmap> Paint(const TacScrollBarLook& Look, int Length = 200) {
        std::unique_ptr<TBitmap> bmp(Look.Vertical ? CreateWorkBitmap(17, Length) : CreateWorkBitmap(Length, 17));
        TCacheInfo under;
        under.FillColor = kUnder;
        PaintScrollBarBitmap(manager, bmp.get(), under, Look);
        return bmp;
    }
    static TacScrollBarLook Look(bool Vertical = false) {
        TacScrollBarLook l;
        l.Vertical = Vertical;
        l.ArrowLength = 17;
        l.Info = TacScrollValues{0, 99, 10, 45};   // thumb 92..109 on a bar of 200
        return l;
    }
    static constexpr TColor kUnder = static_cast<TColor>(0x204060);
};

// BarShare of the bar's colour over the rest of what lies under it.
TColor Mix(TColor Bar, TColor Under, double BarShare) {
    auto ch = [&](int shift) {
        const int b = (Bar >> shift) & 0xFF, u = (Under >> shift) & 0xFF;
        return static_cast<unsigned>(std::nearbyint(u + (b - u) * BarShare)) << shift;
    };
    return static_cast<TColor>(ch(0) | ch(8) | ch(16));
}

// Colours match within one step per channel (blends round differently).
bool Near(TColor a, TColor b) {
    for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d < -1 || d > 1) return false;
    }
    return true;
}

TEST_F(ScrollBarPaint, PiecesAndTheirStates) {
    struct Probe {
        int Along, Across;
        TColor Colour;
    };
    struct Case {
        const char* Name;
        TacScrollBarLook Look;
        int Length;
        std::vector<Probe> Probes;
    };
    const TacScrollBarLook normal = Look();
    TacScrollBarLook hotAfter = Look(), pressedAfter = Look(), pageAfter = Look(), thumbPressed = Look(),
                     dragged = Look(), vertical = Look(true), hotThumb = Look();
    hotAfter.HotPart = acSbLineAfter;
    pressedAfter.PressedPart = acSbLineAfter;
    pressedAfter.HotPart = acSbLineAfter;
    pageAfter.PressedPart = acSbPageAfter;
    thumbPressed.PressedPart = acSbThumb;
    hotThumb.HotPart = acSbThumb;
    dragged.ThumbStart = 40;   // thumb 40..57, centre 48
    dragged.PressedPart = acSbThumb;
    vertical.PressedPart = acSbLineBefore;
    const TColor bar1 = SectionColour("SCROLLBAR1H"), bar2 = SectionColour("SCROLLBAR2H");
    const Case cases[] = {
        {"normal: track halves meet at the thumb centre",
         normal,
         200,
         {{1, 1, kUnder},   // the key corner of the arrow's border shows what lies under
          {8, 8, MaskColour("SCROLLBTNLEFT", "GLYPHMASK", 0)},
          {50, 8, bar1},
          {99, 1, MaskColour("SCROLLSLIDERH", "BORDERSMASK", 0)},
          {100, 8, MaskColour("SCROLLSLIDERH", "GLYPHMASK", 0)},
          {150, 8, bar2},
          {192, 8, MaskColour("SCROLLBTNRIGHT", "GLYPHMASK", 0)}}},
        {"hovered after-arrow", hotAfter, 200,
         {{192, 8, MaskColour("SCROLLBTNRIGHT", "GLYPHMASK", 1)}, {8, 8, MaskColour("SCROLLBTNLEFT", "GLYPHMASK", 0)}}},
        {"pressed after-arrow", pressedAfter, 200, {{192, 8, MaskColour("SCROLLBTNRIGHT", "GLYPHMASK", 2)}}},
        {"page after pressed", pageAfter, 200,
         {{150, 1, MaskColour("SCROLLBAR2H", "BORDERSMASK", 1)}, {50, 1, MaskColour("SCROLLBAR1H", "BORDERSMASK", 0)}}},
        {"thumb pressed", thumbPressed, 200, {{100, 8, MaskColour("SCROLLSLIDERH", "GLYPHMASK", 2)}}},
        {"thumb hovered", hotThumb, 200, {{100, 8, MaskColour("SCROLLSLIDERH", "GLYPHMASK", 1)}}},
        {"dragged thumb drawn where it is held", dragged, 200,
         {{48, 8, MaskColour("SCROLLSLIDERH", "GLYPHMASK", 2)}, {30, 8, bar1}, {80, 8, bar2}, {100, 8, bar2}}},
        {"vertical bar", vertical, 200,
         {{8, 8, MaskColour("SCROLLBTNTOP", "GLYPHMASK", 2)},
          {50, 8, SectionColour("SCROLLBAR1V")},
          {100, 8, MaskColour("SCROLLSLIDERV", "GLYPHMASK", 0)},
          {150, 8, SectionColour("SCROLLBAR2V")},
          {192, 8, MaskColour("SCROLLBTNBOTTOM", "GLYPHMASK", 0)}}},
        {"too short for a thumb: two half arrows", normal, 20,
         {{4, 8, MaskColour("SCROLLBTNLEFT", "GLYPHMASK", 0)}, {15, 8, MaskColour("SCROLLBTNRIGHT", "GLYPHMASK", 0)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto bmp = Paint(c.Look, c.Length);
        for (const Probe& p : c.Probes) {
            const int x = c.Look.Vertical ? p.Across : p.Along, y = c.Look.Vertical ? p.Along : p.Across;
            EXPECT_EQ(PixelOf(bmp.get(), x, y), p.Colour) << "at " << x << ", " << y;
        }
    }
}

TEST_F(ScrollBarPaint, ShortBarHasNoThumb) {
    auto bmp = Paint(Look(), 20);
    const TColor slider[] = {MaskColour("SCROLLSLIDERH", "GLYPHMASK", 0), MaskColour("SCROLLSLIDERH", "BORDERSMASK", 0)};
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 17; ++y)
            for (TColor s : slider) ASSERT_NE(PixelOf(bmp.get(), x, y), s) << x << ", " << y;
}

TEST_F(ScrollBarPaint, DisabledBarIsBlendedWithWhatLiesUnder) {
    TacScrollBarLook look = Look();
    look.Enabled = false;
    look.HotPart = acSbLineAfter;   // no hot look on a disabled bar
    // Over a plain colour: 60 percent of the bar stays.
    auto bmp = Paint(look);
    struct Probe {
        int X;
        TColor Bar;
    };
    const Probe probes[] = {
        {50, SectionColour("SCROLLBAR1H")},
        {150, SectionColour("SCROLLBAR2H")},
        {192, MaskColour("SCROLLBTNRIGHT", "GLYPHMASK", 0)},
    };
    for (const Probe& p : probes) EXPECT_TRUE(Near(PixelOf(bmp.get(), p.X, 8), Mix(p.Bar, kUnder, 0.6))) << p.X;
    // No thumb on a disabled bar.
    for (int x = 92; x < 109; ++x)
        for (TColor t : {MaskColour("SCROLLSLIDERH", "GLYPHMASK", 0), MaskColour("SCROLLSLIDERH", "BORDERSMASK", 0)})
            EXPECT_FALSE(Near(PixelOf(bmp.get(), x, 8), Mix(t, kUnder, 0.6))) << x;

    // Over an image: the image's pixels at the bar's place, 0.4 of the bar.
    std::unique_ptr<TBitmap> image(CreateWorkBitmap(300, 40));
    FillRect32(image.get(), TRect(0, 0, 300, 40), static_cast<TColor>(0x102030));
    FillRect32(image.get(), TRect(0, 0, 100, 40), static_cast<TColor>(0x0000FF));   // left of the bar
    std::unique_ptr<TBitmap> bar(CreateWorkBitmap(200, 17));
    TCacheInfo under;
    under.Bmp = image.get();
    under.X = 100;
    under.Y = 10;
    under.Ready = true;
    PaintScrollBarBitmap(manager, bar.get(), under, look);
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(PixelOf(bar.get(), p.X, 8), Mix(p.Bar, static_cast<TColor>(0x102030), 0.4))) << p.X;
}

TEST_F(ScrollBarPaint, NothingWithoutTheSkinsTrackSection) {
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(200, 17));
    FillRect32(bmp.get(), TRect(0, 0, 200, 17), static_cast<TColor>(0x0A0B0C));
    TCacheInfo under;
    under.FillColor = kUnder;
    PaintScrollBarBitmap(nullptr, bmp.get(), under, Look());
    EXPECT_EQ(PixelOf(bmp.get(), 50, 8), static_cast<TColor>(0x0A0B0C));
}

}  // namespace
