// The skinned panel, labels and progress bar on real windows with the test
// skin: the progress bar's pixels following the position, the panel's section, border, caption and bevel rule, the label's
// font colour and section, and the plain look coming back when the skin is
// removed. Pixels are read back through WM_PRINT.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "WorkBitmaps.h"
#include "acPixels.h"
#include "acProgressBar.h"
#include "sLabel.h"
#include "sPanel.h"
#include "TestSkinForm.h"
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// ---------------------------------------------------------------------------
// Controls on a form with the test skin

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
COLORREF Section(const char* name, int state = 0) { return Ref(skingen::TestSectionColour(name, state)); }
COLORREF Font(const char* name) { return Ref(skingen::TestFontColour(name, 0)); }
COLORREF Mask(const char* section, int frame = 0) {
    return Ref(skingen::TestMaskColour(section, "BORDERSMASK", frame));
}
COLORREF Plain(TColor c) { return static_cast<COLORREF>(::ColorToRGB(c)) & 0xFFFFFF; }

class SkinnedControlsTest : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override { WriteSkin(); }
    // Loads the test skin with Common over it, then shows a plain form.
    void Load(const std::string& Common = {}) { LoadAndShow(Common); }
    template <class T>
    T* Add(TWinControl* parent, TRect bounds) {
        T* c = New<T>(form);
        c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        c->SetParent(parent);
        return c;
    }
    static harness::Capture Print(TWinControl* c) {
        harness::PumpUntilIdle(10, 500);
        return harness::CaptureWindow(c->Handle(), harness::CaptureSource::Print, true);
    }
};

// ---------------------------------------------------------------------------
// Progress bar

class SkinnedProgressBar : public SkinnedControlsTest {};

TEST_F(SkinnedProgressBar, ThePositionMovesTheBarOnTheWindow) {
    Load();
    auto* bar = Add<TsProgressBar>(form, TRect(10, 10, 110, 26));
    EXPECT_EQ(bar->SkinData()->SkinSection(), u"GAUGE");
    ASSERT_TRUE(bar->SkinData()->Skinned());
    bar->SetPosition(0);
    harness::Capture cap = Print(bar);
    // Inside the gauge's border the bar's background shows everywhere.
    EXPECT_EQ(cap.Pixel(8, 8), Section("GAUGE"));
    EXPECT_EQ(cap.Pixel(92, 8), Section("GAUGE"));
    EXPECT_EQ(cap.Pixel(6, 1), Mask("GAUGE"));

    // PBM_SETPOS (through the setter) marks the cache stale: the next paint
    // shows the blocks, here the first five of ten.
    ::SendMessageW(bar->Handle(), WM_SETREDRAW, FALSE, 0);
    bar->SetPosition(50);
    EXPECT_TRUE(bar->SkinData()->BGChanged);
    ::SendMessageW(bar->Handle(), WM_SETREDRAW, TRUE, 0);
    cap = Print(bar);
    EXPECT_EQ(bar->FOldCount, 5);
    const COLORREF block = cap.Pixel(4, 8);
    EXPECT_TRUE(block == Section("PROGRESSH") || block == Mask("PROGRESSH")) << std::hex << block;
    EXPECT_EQ(cap.Pixel(40, 8), block);   // the fifth block
    EXPECT_EQ(cap.Pixel(49, 8), Section("GAUGE"));   // no sixth

    // The same on the screen's own path: a message straight to the window.
    ::SendMessageW(bar->Handle(), PBM_SETPOS, 100, 0);
    ::UpdateWindow(bar->Handle());
    cap = Print(bar);
    EXPECT_EQ(cap.Pixel(92, 8), block);   // the shortened block filling the last gap

    // Back to 50, then 51: the same count, so the cache is kept (a mark in it survives).
    bar->SetPosition(50);
    Print(bar);
    kestrune_test::Px(bar->SkinData()->FCacheBmp, 70, 8) = 0xFF123456u;
    bar->SetPosition(51);
    cap = Print(bar);
    EXPECT_EQ(cap.Pixel(70, 8), RGB(0x12, 0x34, 0x56));
    bar->SetPosition(60);
    cap = Print(bar);
    EXPECT_NE(cap.Pixel(70, 8), RGB(0x12, 0x34, 0x56));

    // A repaint with the current skin (command 3) draws the bar anew even
    // though the count is the same.
    kestrune_test::Px(bar->SkinData()->FCacheBmp, 70, 8) = 0xFF123456u;
    ::SendMessageW(bar->Handle(), SkinCommandMessage, MakeSkinWParam(AC_REFRESH), reinterpret_cast<LPARAM>(manager));
    EXPECT_NE(Print(bar).Pixel(70, 8), RGB(0x12, 0x34, 0x56));
}

TEST_F(SkinnedProgressBar, TheEndOfARangeNotFromZeroIsAlwaysDrawn) {
    Load();
    auto* bar = Add<TsProgressBar>(form, TRect(10, 10, 110, 26));
    Print(bar);   // the first paint makes the cache; counts are kept from then on
    bar->SetMin(10);
    bar->SetMax(1010);
    bar->SetPosition(1006);   // ten blocks already, no filling block yet
    harness::Capture cap = Print(bar);
    ASSERT_EQ(bar->FOldCount, 10);
    EXPECT_EQ(cap.Pixel(95, 8), Section("GAUGE"));
    bar->SetPosition(1010);   // still ten blocks, but the end: the last gap is filled
    cap = Print(bar);
    EXPECT_NE(cap.Pixel(95, 8), Section("GAUGE"));
}

TEST_F(SkinnedProgressBar, DegenerateBarsPaintOnlyTheirBackground) {
    Load();
    auto* flat = Add<TsProgressBar>(form, TRect(10, 10, 110, 12));   // 2 pixels high
    flat->SetPosition(50);
    auto* empty = Add<TsProgressBar>(form, TRect(10, 30, 110, 46));
    empty->SetMin(5);
    empty->SetMax(5);
    auto* tiny = Add<TsProgressBar>(form, TRect(10, 50, 13, 53));
    tiny->SetPosition(100);
    for (auto* b : {flat, empty, tiny}) {
        harness::Capture cap = Print(b);
        EXPECT_FALSE(cap.Empty());
    }
    harness::Capture cap = Print(empty);
    for (int x : {8, 50, 92}) EXPECT_EQ(cap.Pixel(x, 8), Section("GAUGE")) << x;
}

TEST_F(SkinnedProgressBar, TheMarqueeRunsAlongAVerticalBarsHeight) {
    Load();
    auto* bar = Add<TsProgressBar>(form, TRect(10, 10, 26, 210));
    bar->SetOrientation(pbVertical);
    bar->SetStyle(pbstMarquee);
    Print(bar);
    double highest = 0;
    bool wrapped = false;
    for (int i = 0; i < 80 && !wrapped; ++i) {
        const double before = bar->FMarqPos;
        bar->MarqueeStep(nullptr);
        highest = std::max(highest, bar->FMarqPos);
        wrapped = bar->FMarqPos < before;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_GT(highest, 100.0);   // far past the width of 16
    EXPECT_LT(highest, 200.0);

    // In the error state it turns at the end and again at the start.
    bar->SetState(pbsError);
    bar->FMarqPos = 0;
    bar->FOrient = 1;
    double lowest = 1e9;
    highest = 0;
    for (int i = 0; i < 120; ++i) {
        bar->MarqueeStep(nullptr);
        highest = std::max(highest, bar->FMarqPos);
        if (highest > 100) lowest = std::min(lowest, bar->FMarqPos);
    }
    EXPECT_GT(highest, 140.0);
    EXPECT_LT(highest, 160.0);
    EXPECT_LT(lowest, 10.0);

    // Without the skin the timer stops.
    bar->Timer->SetEnabled(true);
    manager->SetActive(false);
    bar->MarqueeStep(nullptr);
    EXPECT_FALSE(bar->Timer->Enabled());
}

TEST_F(SkinnedProgressBar, RemovingTheSkinGivesTheSystemBarBack) {
    Load();
    auto* bar = Add<TsProgressBar>(form, TRect(10, 10, 110, 26));
    bar->SetPosition(30);
    EXPECT_EQ(Print(bar).Pixel(92, 8), Section("GAUGE"));
    manager->SetActive(false);
    EXPECT_FALSE(bar->SkinData()->Skinned());
    harness::Capture cap = Print(bar);
    EXPECT_FALSE(cap.Contains(Section("GAUGE")));
    manager->SetActive(true);
    EXPECT_EQ(Print(bar).Pixel(92, 8), Section("GAUGE"));
}

// ---------------------------------------------------------------------------
// Panel

class SkinnedPanel : public SkinnedControlsTest {};

TEST_F(SkinnedPanel, SectionBorderAndCaptionComeFromTheSkin) {
    Load();
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 170, 90));
    auto* low = Add<TsPanel>(form, TRect(180, 10, 340, 90));
    low->SetBevelOuter(bvLowered);
    EXPECT_EQ(panel->SkinData()->SkinSection(), u"PANEL");
    EXPECT_EQ(low->SkinData()->SkinSection(), u"PANEL_LOW");

    panel->SetCaption(u"Caption");
    harness::Capture cap = Print(panel);
    EXPECT_EQ(cap.Pixel(2, 2), Section("PANEL"));
    EXPECT_EQ(cap.Pixel(157, 77), Section("PANEL"));
    EXPECT_TRUE(cap.Contains(Font("PANEL"))) << "the caption in the section's font colour";

    // PANEL_LOW has a 4-pixel border mask with key corners.
    cap = Print(low);
    EXPECT_EQ(cap.Pixel(1, 40), Mask("PANEL_LOW"));
    EXPECT_EQ(cap.Pixel(80, 2), Mask("PANEL_LOW"));
    EXPECT_EQ(cap.Pixel(80, 40), Section("PANEL_LOW"));
    EXPECT_EQ(cap.Pixel(0, 0), Plain(form->Color())) << "a key corner shows the parent";
    EXPECT_EQ(cap.Pixel(159, 79), Plain(form->Color()));

    // Without ShowCaption no text is drawn.
    panel->SetShowCaption(false);
    EXPECT_FALSE(Print(panel).Contains(Font("PANEL")));
}

TEST_F(SkinnedPanel, TheSectionFollowsTheOuterBevelOnlyWhileAtItsDefault) {
    Load();
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 170, 90));
    struct Step {
        TBevelCut Bevel;
        const char16_t* Section;
    };
    for (const Step& s : {Step{bvLowered, u"PANEL_LOW"}, Step{bvNone, u"CHECKBOX"}, Step{bvRaised, u"PANEL"},
                          Step{bvRaised, u"PANEL"}}) {
        panel->SetBevelOuter(s.Bevel);
        EXPECT_EQ(panel->SkinData()->SkinSection(), s.Section);
    }
    EXPECT_EQ(Print(panel).Pixel(80, 40), Section("PANEL"));
    // A section the user chose stays.
    panel->SkinData()->SetSkinSection(u"TOOLBAR");
    panel->SetBevelOuter(bvLowered);
    EXPECT_EQ(panel->SkinData()->SkinSection(), u"TOOLBAR");
    EXPECT_EQ(Print(panel).Pixel(80, 40), Section("TOOLBAR"));
}

TEST_F(SkinnedPanel, ATranslucentSectionPaintsThroughTheCache) {
    Load("[PANEL]\r\nTRANSPARENCY=50\r\n");
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 170, 90));
    ASSERT_TRUE(panel->CachedWay());
    harness::Capture cap = Print(panel);
    EXPECT_EQ(panel->SkinData()->FCacheBmp->Width(), 160);
    EXPECT_FALSE(panel->SkinData()->BGChanged);
    const COLORREF inside = cap.Pixel(80, 40);
    EXPECT_NE(inside, Section("PANEL"));
    EXPECT_NE(inside, Plain(form->Color()));
    // A new caption is part of the cached image: it must be rebuilt.
    panel->SetCaption(u"New caption");
    EXPECT_TRUE(panel->SkinData()->BGChanged);
    EXPECT_TRUE(Print(panel).Contains(Font("PANEL")));
}

TEST_F(SkinnedPanel, RemovingTheSkinRestoresThePlainPanel) {
    Load();
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 170, 90));
    auto* child = Add<TsPanel>(panel, TRect(20, 20, 60, 60));
    child->SetBevelOuter(bvLowered);
    ASSERT_EQ(Print(panel).Pixel(80, 40), Section("PANEL"));
    manager->SetActive(false);
    for (auto* p : {panel, child}) {
        EXPECT_FALSE(p->SkinData()->Skinned());
        harness::Capture cap = Print(p);
        EXPECT_EQ(cap.Pixel(30, 30), Plain(clBtnFace));
        EXPECT_EQ(cap.Pixel(0, 10), Plain(p == panel ? clBtnHighlight : clBtnShadow)) << "the plain bevel";
        EXPECT_FALSE(cap.Contains(Section("PANEL")));
    }
    manager->SetActive(true);
    EXPECT_EQ(Print(panel).Pixel(80, 40), Section("PANEL"));
    EXPECT_EQ(Print(child).Pixel(30, 30), Section("PANEL_LOW"));
}

TEST_F(SkinnedPanel, RepeatedPaintingKeepsObjectCountsFlat) {
    Load("[PANEL]\r\nTRANSPARENCY=30\r\n");   // the cached way for the panel
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 200, 100));
    auto* low = Add<TsPanel>(form, TRect(10, 110, 200, 160));
    low->SetBevelOuter(bvLowered);
    auto* label = Add<TsLabel>(panel, TRect(10, 10, 100, 30));
    label->SetSkinSection(u"TOOLBAR");
    auto* bar = Add<TsProgressBar>(form, TRect(10, 170, 200, 186));
    auto round = [&](int i) {
        bar->SetPosition(i % 101);
        panel->SetCaption(i % 2 ? u"odd" : u"even");
        label->SetCaption(i % 2 ? u"1" : u"2");
        Print(panel);
        Print(low);
        Print(bar);
    };
    round(0);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int i = 1; i <= 40; ++i) round(i * 7);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
}

// Counts the panel and mouse events a control fires.
struct Events {
    int Paints = 0;
    TCanvas* LastCanvas = nullptr;
    int Enters = 0;
    int Leaves = 0;
    void Painted(TObject*, TCanvas* Canvas) {
        ++Paints;
        LastCanvas = Canvas;
    }
    void Entered(TObject*) { ++Enters; }
    void Left(TObject*) { ++Leaves; }
};

TEST_F(SkinnedPanel, OnPaintAndTheMouseEventsFireInEveryWay) {
    Load("[PANEL_LOW]\r\nTRANSPARENCY=50\r\n");
    auto* direct = Add<TsPanel>(form, TRect(10, 10, 110, 60));
    auto* cached = Add<TsPanel>(form, TRect(10, 70, 110, 120));
    cached->SetBevelOuter(bvLowered);
    ASSERT_FALSE(direct->CachedWay());
    ASSERT_TRUE(cached->CachedWay());
    Events d, c;
    direct->OnPaint = TPaintEvent::Of<&Events::Painted>(&d);
    cached->OnPaint = TPaintEvent::Of<&Events::Painted>(&c);
    Print(direct);
    Print(cached);
    EXPECT_GE(d.Paints, 1);
    EXPECT_GE(c.Paints, 1);
    EXPECT_EQ(c.LastCanvas, cached->SkinData()->FCacheBmp->Canvas()) << "the cached way paints on the cache";
    manager->SetActive(false);
    d.Paints = 0;
    Print(direct);
    EXPECT_GE(d.Paints, 1) << "without a skin too";

    // Enter and leave: the panel's own notices only, not those its children pass up.
    auto* label = Add<TsLabel>(direct, TRect(5, 5, 40, 20));
    Events l;
    direct->OnMouseEnter = TNotifyEvent::Of<&Events::Entered>(&d);
    direct->OnMouseLeave = TNotifyEvent::Of<&Events::Left>(&d);
    label->OnMouseEnter = TNotifyEvent::Of<&Events::Entered>(&l);
    label->OnMouseLeave = TNotifyEvent::Of<&Events::Left>(&l);
    label->Perform(CM_MOUSEENTER, 0, 0);
    label->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(l.Enters, 1);
    EXPECT_EQ(l.Leaves, 1);
    EXPECT_EQ(d.Enters, 0);
    direct->Perform(CM_MOUSEENTER, 0, 0);
    direct->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(d.Enters, 1);
    EXPECT_EQ(d.Leaves, 1);
}

// Printed without a skin, the panel shows what its OnPaint draws over its colour.
struct MarkPainter {
    void Paint(TObject*, TCanvas* Canvas) {
        Canvas->Brush()->SetColor(static_cast<TColor>(RGB(0xC0, 0x20, 0x90)));
        Canvas->FillRect(TRect(5, 5, 25, 25));
    }
};

TEST_F(SkinnedPanel, PrintedWithoutASkinItShowsWhatOnPaintDraws) {
    Load();
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 110, 60));
    panel->SetBevelOuter(bvNone);
    panel->SetColor(static_cast<TColor>(RGB(0x10, 0x70, 0x30)));
    MarkPainter painter;
    panel->OnPaint = TPaintEvent::Of<&MarkPainter::Paint>(&painter);
    manager->SetActive(false);
    harness::PumpUntilIdle(10, 300);
    harness::Capture cap = Print(panel);
    EXPECT_EQ(cap.Pixel(10, 10), RGB(0xC0, 0x20, 0x90)) << "what OnPaint drew";
    EXPECT_EQ(cap.Pixel(60, 40), RGB(0x10, 0x70, 0x30)) << "the panel's colour";
}

// ---------------------------------------------------------------------------
// Labels

class SkinnedLabel : public SkinnedControlsTest {};

TEST_F(SkinnedLabel, TheFontColourComesFromTheParentsSection) {
    Load("[PANEL]\r\nGIVEOWNFONT=1\r\n");
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 200, 100));
    auto* label = Add<TsLabel>(panel, TRect(10, 10, 100, 30));
    label->SetCaption(u"Label text");
    harness::Capture cap = Print(panel);
    EXPECT_EQ(Plain(label->Font()->Color()), Font("PANEL"));
    EXPECT_TRUE(cap.Contains(Font("PANEL")));

    // A parent whose section gives no font: the skin's global font colour.
    auto* plain = Add<TsLabel>(form, TRect(10, 120, 100, 140));
    plain->SetCaption(u"Plain");
    Print(form);
    EXPECT_EQ(Plain(plain->Font()->Color()), Font("GLOBALINFO"));

    // Without UseSkinColor the label keeps its colour.
    auto* own = Add<TsLabel>(panel, TRect(10, 40, 100, 60));
    own->SetUseSkinColor(false);
    own->Font()->SetColor(static_cast<TColor>(RGB(1, 2, 3)));
    Print(panel);
    EXPECT_EQ(Plain(own->Font()->Color()), RGB(1, 2, 3));

    // A disabled label mixes its text 40 % into the background.
    label->SetEnabled(false);
    cap = Print(panel);
    const TColor mixed = BlendColors(static_cast<TColor>(Font("PANEL")), static_cast<TColor>(Section("PANEL")), 0.4);
    EXPECT_TRUE(cap.Contains(static_cast<COLORREF>(mixed) & 0xFFFFFF, 1));
    EXPECT_FALSE(cap.Contains(Font("PANEL")));

    // Removing the skin gives the window text colour back.
    manager->SetActive(false);
    EXPECT_EQ(label->Font()->Color(), clWindowText);
}

TEST_F(SkinnedLabel, ItsSectionIsPaintedBehindItForEveryIndexZeroIncluded) {
    Load();
    ASSERT_FALSE(manager->gd().empty());
    const String first = manager->gd()[0].ClassName;
    ASSERT_EQ(manager->GetSkinIndex(first), 0);
    auto* panel = Add<TsPanel>(form, TRect(10, 10, 200, 100));
    auto* label = Add<TsLabel>(panel, TRect(20, 20, 120, 50));
    label->SetAutoSize(false);
    label->SetBounds(20, 20, 100, 30);
    label->SetCaption(u"x");
    harness::Capture cap = Print(panel);
    EXPECT_EQ(cap.Pixel(110, 45), Section("PANEL")) << "no section: the label is transparent";

    const std::string name(first.begin(), first.end());
    label->SetSkinSection(first);
    cap = Print(panel);
    EXPECT_EQ(cap.Pixel(110, 45), Section(name.c_str()));
    label->SetSkinSection(u"TOOLBAR");
    cap = Print(panel);
    EXPECT_EQ(cap.Pixel(110, 45), Section("TOOLBAR"));
    EXPECT_EQ(Plain(label->Font()->Color()), Font("TOOLBAR"));
}

}  // namespace
