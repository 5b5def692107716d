// Glow windows on real windows: the window's place and size round a control
// (whole and cut by its parent's edge), its styles, its place in the z-order
// and its transparency to the mouse, the frames it hands to the layered
// window (recorded), the identifiers of the glow list, and the glows the
// mouse handling of skinned controls makes and clears.
#include <gtest/gtest.h>

#include <filesystem>

#include "FrameworkEnvironment.h"
#include "GlowTestSkin.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TempFolder.h"
#include "SkinnedTestControl.h"
#include "acGlow.h"
#include "acLayered.h"
#include "sCommonDataWin.h"
#include "sGraphUtils.h"
#include "sFade.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// A panel with a skin state that runs the shared message handling.
using TGlowPanel = kestrune_test::TSkinnedTestControl;

RECT WindowRectOf(HWND wnd) {
    RECT r{};
    ::GetWindowRect(wnd, &r);
    return r;
}

// Position of a window in the z-order of the top-level windows (0 = top).
int ZIndex(HWND wnd) {
    int i = 0;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT), ++i)
        if (w == wnd) return i;
    return -1;
}

class GlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        acGlowInitialization();
        if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
        harness::WriteGlowTestSkin(skins.Path());
        manager = New<TsSkinManager>(Application);
        manager->SetSkinDirectory(skins.Path().u16string());
        manager->SetSkinName(u"G");
        ASSERT_TRUE(manager->SkinData()->Active);
        ASSERT_GE(manager->GetMaskIndex(u"GLOWY", u"GLOW0"), 0);
        form = New<TForm>(Application);
        form->BorderStyle = TFormBorderStyle::bsNone;
        form->SetBounds(150, 60, 300, 200);
        form->Show();
        harness::PumpUntilIdle(10, 500);
    }
    void TearDown() override {
        ClearGlows(true);
        if (form) form->Free();
        if (manager) manager->Free();
        harness::PumpUntilIdle(5, 500);
        acGlowFinalization();
    }
    Integer Show(TRect R, TRect Real, const char16_t* section = u"GLOWY", Integer margin = 4) {
        return ShowGlow(R, Real, section, manager, form->Handle(), 255, margin, u"GLOW");
    }
    TGlowPanel* AddPanel(TRect bounds) {
        auto* p = New<TGlowPanel>(form);
        p->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        p->SetParent(form);
        p->HandleNeeded();
        p->SkinData->SetSkinSection(u"GLOWY");
        return p;
    }

    harness::TempFolder skins{"kestrune-glow-"};
    TsSkinManager* manager = nullptr;
    TForm* form = nullptr;
};

TEST_F(GlowTest, TheWindowLiesRoundTheVisiblePartOfTheControl) {
    // A 100 x 30 control at (200, 100); glow mask borders 10.
    const TRect R{200, 100, 300, 130};
    struct Case {
        const char* Name;
        TRect Real;
        Integer Margin;
        RECT Expected;
    } cases[] = {
        {"whole, margin 4", {0, 0, 100, 30}, 4, {194, 94, 306, 136}},
        {"whole, margin 0", {0, 0, 100, 30}, 0, {190, 90, 310, 140}},
        {"cut on the right", {0, 0, 60, 30}, 4, {194, 94, 194 + 66, 136}},
        {"cut on the left", {40, 0, 100, 30}, 4, {240, 94, 306, 136}},
        {"cut at the bottom", {0, 0, 100, 20}, 4, {194, 94, 306, 94 + 26}},
        {"cut at the top", {0, 12, 100, 30}, 4, {194, 112, 306, 136}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TacLayeredRecorder rec;
        const Integer id = Show(R, c.Real, u"GLOWY", c.Margin);
        ASSERT_GE(id, 0);
        const HWND wnd = GlowWindow(id);
        ASSERT_NE(wnd, nullptr);
        const RECT r = WindowRectOf(wnd);
        EXPECT_EQ(r.left, c.Expected.left);
        EXPECT_EQ(r.top, c.Expected.top);
        EXPECT_EQ(r.right, c.Expected.right);
        EXPECT_EQ(r.bottom, c.Expected.bottom);
        const auto frames = rec.FramesOf(wnd);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].Pos.x, c.Expected.left);
        EXPECT_EQ(frames[0].Pos.y, c.Expected.top);
        EXPECT_EQ(frames[0].Size.cx, c.Expected.right - c.Expected.left);
        EXPECT_EQ(frames[0].Size.cy, c.Expected.bottom - c.Expected.top);
        HideGlow(id);
    }
}

TEST_F(GlowTest, TheFrameIsTheGlowMaskRoundAClearCentre) {
    TacLayeredRecorder rec;
    const Integer id = Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30});
    ASSERT_GE(id, 0);
    const auto frames = rec.FramesOf(GlowWindow(id));
    ASSERT_EQ(frames.size(), 1u);
    const TacLayeredFrame& f = frames[0];
    EXPECT_TRUE(f.Done);
    EXPECT_TRUE(f.Moved);
    EXPECT_EQ(f.Flags, static_cast<DWORD>(ULW_ALPHA));
    EXPECT_EQ(f.Key, 0u);
    EXPECT_EQ(f.SrcPos.x, 0);
    EXPECT_EQ(f.SrcPos.y, 0);
    EXPECT_EQ(f.Blend.BlendOp, AC_SRC_OVER);
    EXPECT_EQ(f.Blend.BlendFlags, 0);
    EXPECT_EQ(f.Blend.SourceConstantAlpha, 255);
    EXPECT_EQ(f.Blend.AlphaFormat, AC_SRC_ALPHA);
    ASSERT_EQ(f.Width, 112);
    ASSERT_EQ(f.Height, 42);
    // The mask's pixels as the skin holds them: the sides and corners
    // stretched round the control, the centre left clear.
    const std::uint32_t side = std::uint32_t{harness::kGlowSideAlpha} << 24 | harness::kGlowBlue;
    const std::uint32_t corner = std::uint32_t{harness::kGlowCornerAlpha} << 24 | harness::kGlowBlue;
    EXPECT_EQ(f.Pixel(50, 2), side);      // top side
    EXPECT_EQ(f.Pixel(2, 20), side);      // left side
    EXPECT_EQ(f.Pixel(109, 20), side);    // right side
    EXPECT_EQ(f.Pixel(50, 39), side);     // bottom side
    EXPECT_EQ(f.Pixel(2, 2), corner);
    EXPECT_EQ(f.Pixel(109, 39), corner);
    EXPECT_EQ(f.Pixel(56, 21), 0u);       // over the control: clear
    EXPECT_EQ(f.Pixel(10, 10), 0u);
}

TEST_F(GlowTest, TheWindowIsALayeredToolWindowThatLetsTheMouseThrough) {
    const HWND active = ::GetActiveWindow();
    const Integer id = Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30});
    const HWND wnd = GlowWindow(id);
    ASSERT_NE(wnd, nullptr);
    const auto ex = static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE));
    EXPECT_EQ(ex & 0x080800A0u, 0x080800A0u);   // layered, transparent, tool window, no activation
    EXPECT_EQ(ex & WS_EX_TOPMOST, 0u);
    const auto style = static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE));
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_EQ(::GetWindow(wnd, GW_OWNER), form->Handle());
    EXPECT_EQ(::GetActiveWindow(), active);   // showing it took no activation
    EXPECT_EQ(::SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(196, 96)), HTTRANSPARENT);
    // A point of the glow outside the control belongs to the form below.
    EXPECT_EQ(::WindowFromPoint(POINT{196, 96}), form->Handle());
}

TEST_F(GlowTest, TheGlowLiesJustAboveItsForm) {
    // Nothing above the form: the glow goes on top, not behind the form.
    Integer id = Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30});
    HWND wnd = GlowWindow(id);
    ASSERT_NE(wnd, nullptr);
    EXPECT_LT(ZIndex(wnd), ZIndex(form->Handle()));
    HideGlow(id);

    // Another window above the form: the glow goes between the two.
    auto* other = New<TForm>(Application);
    other->BorderStyle = TFormBorderStyle::bsNone;
    other->SetBounds(500, 400, 50, 50);
    other->Show();
    harness::PumpUntilIdle(10, 500);
    ::SetWindowPos(form->Handle(), other->Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_LT(ZIndex(other->Handle()), ZIndex(form->Handle()));
    id = Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30});
    wnd = GlowWindow(id);
    EXPECT_LT(ZIndex(wnd), ZIndex(form->Handle()));
    EXPECT_GT(ZIndex(wnd), ZIndex(other->Handle()));
    HideGlow(id);
    other->Free();

    // A child window given as the place: its form decides.
    TGlowPanel* child = AddPanel(TRect{20, 20, 120, 50});
    id = ShowGlow(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30}, u"GLOWY", manager, child->Handle(), 255, 4, u"GLOW");
    wnd = GlowWindow(id);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(::GetWindow(wnd, GW_OWNER), form->Handle());
    EXPECT_LT(ZIndex(wnd), ZIndex(form->Handle()));
    HideGlow(id);

    // A topmost window gets a topmost glow.
    harness::TestWindow top(200, 100, RGB(0, 0, 0), nullptr, WS_POPUP, WS_EX_TOPMOST);
    top.Show();
    ASSERT_TRUE(::GetWindowLongW(top.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    id = ShowGlow(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30}, u"GLOWY", manager, top.Handle(), 255, 4, u"GLOW");
    wnd = GlowWindow(id);
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_LT(ZIndex(wnd), ZIndex(top.Handle()));
    HideGlow(id);
}

TEST_F(GlowTest, NoGlowWithoutAMaskOrWithNothingVisible) {
    EXPECT_EQ(Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30}, u"NOMASK"), -1);
    EXPECT_EQ(Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30}, u"NOSUCHSECTION"), -1);
    // Cut to nothing by the parent's edge.
    EXPECT_EQ(Show(TRect{200, 100, 300, 130}, TRect{0, 0, 0, 30}), -1);
    EXPECT_EQ(GlowCount(), 0);
}

TEST_F(GlowTest, IdentifiersAreNeverReused) {
    const TRect R{200, 100, 300, 130}, Real{0, 0, 100, 30};
    const Integer a = Show(R, Real), b = Show(R, Real);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    HideGlow(a);
    EXPECT_EQ(GlowWindow(a), nullptr);
    EXPECT_NE(GlowWindow(b), nullptr);   // the other glow stays
    HideGlow(a);                         // twice: nothing
    HideGlow(-1);
    HideGlow(0x7FFFFFFF);
    EXPECT_EQ(GlowCount(), 1);
    ClearGlows(false);
    EXPECT_EQ(GlowCount(), 0);
    // A glow made after the list was cleared takes the first slot again, but
    // the identifiers of the cleared glows do not name it.
    const Integer c = Show(R, Real);
    ASSERT_GE(c, 0);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    HideGlow(a);
    HideGlow(b);
    EXPECT_NE(GlowWindow(c), nullptr);
    HideGlow(c);
    EXPECT_EQ(GlowCount(), 0);
}

TEST_F(GlowTest, ClearingWithRestoredWindowsFreesThemAtOnce) {
    const unsigned windows = harness::WindowCount();
    Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30});
    Show(TRect{10, 10, 50, 50}, TRect{0, 0, 40, 40});
    EXPECT_EQ(harness::WindowCount(), windows + 2);
    ClearGlows(true);
    EXPECT_EQ(harness::WindowCount(), windows);   // no message loop needed
    // Without restoring, the windows go off the screen at once and are freed
    // after their pending messages.
    const HWND wnd = GlowWindow(Show(TRect{200, 100, 300, 130}, TRect{0, 0, 100, 30}));
    ASSERT_NE(wnd, nullptr);
    ClearGlows(false);
    EXPECT_FALSE(::IsWindowVisible(wnd));
    harness::PumpUntil([&] { return !::IsWindow(wnd); }, 2000);
    EXPECT_FALSE(::IsWindow(wnd));
}

TEST_F(GlowTest, AGlowOutlivingItsFormIsStillHiddenSafely) {
    auto* other = New<TForm>(Application);
    other->BorderStyle = TFormBorderStyle::bsNone;
    other->SetBounds(500, 300, 100, 60);
    other->Show();
    const Integer id = ShowGlow(TRect{510, 310, 560, 330}, TRect{0, 0, 50, 20}, u"GLOWY", manager, other->Handle(), 255,
                                4, u"GLOW");
    const HWND wnd = GlowWindow(id);
    ASSERT_NE(wnd, nullptr);
    other->Free();   // the system takes the owned glow window with its form
    EXPECT_FALSE(::IsWindow(wnd));
    EXPECT_EQ(GlowWindow(id), nullptr);
    EXPECT_EQ(GlowCount(), 1);
    HideGlow(id);
    EXPECT_EQ(GlowCount(), 0);
    harness::PumpUntilIdle(5, 300);
}

TEST_F(GlowTest, AControlHasOneGlowAndAStaleIdentifierHidesNoOtherGlow) {
    TGlowPanel* a = AddPanel(TRect{20, 20, 120, 50});
    TGlowPanel* b = AddPanel(TRect{20, 100, 120, 130});
    ASSERT_GE(a->SkinData->SkinIndex, 0);
    a->Perform(CM_MOUSEENTER, 0, 0);
    ASSERT_GE(a->SkinData->GlowID, 0);
    a->Perform(CM_MOUSEENTER, 0, 0);   // a second enter keeps one glow
    EXPECT_EQ(GlowCount(), 1);
    const RECT ar = WindowRectOf(a->Handle());
    const RECT gr = WindowRectOf(GlowWindow(a->SkinData->GlowID));
    EXPECT_EQ(gr.left, ar.left - 6);
    EXPECT_EQ(gr.top, ar.top - 6);

    a->Perform(CM_MOUSELEAVE, 0, 0);   // leaving clears every glow; a keeps its old identifier
    EXPECT_EQ(GlowCount(), 0);
    b->Perform(CM_MOUSEENTER, 0, 0);
    ASSERT_GE(b->SkinData->GlowID, 0);
    ::SendMessageW(a->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 30));   // a size hides a's glow
    EXPECT_EQ(a->SkinData->GlowID, -1);
    EXPECT_EQ(GlowCount(), 1);
    EXPECT_NE(GlowWindow(b->SkinData->GlowID), nullptr);
    b->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(GlowCount(), 0);
}

// A look change (faded or not) takes the glow along: a halved change (a
// press) hides it, a full one shows it again while the mouse is over.
TEST_F(GlowTest, TheGlowFollowsALookChange) {
    TGlowPanel* a = AddPanel(TRect{20, 20, 120, 50});
    a->Perform(CM_MOUSEENTER, 0, 0);
    ASSERT_GE(a->SkinData->GlowID, 0);
    TsFadeTimer* timer = nullptr;
    for (bool allowFade : {false, true}) {
        SCOPED_TRACE(allowFade ? "may fade" : "without fade");
        DoChangePaint(timer, a->SkinData, true, allowFade, fdDown);
        EXPECT_EQ(a->SkinData->GlowID, -1) << "the glow stayed over a press";
        EXPECT_EQ(GlowCount(), 0);
        DoChangePaint(timer, a->SkinData, false, allowFade, fdUp);
        EXPECT_GE(a->SkinData->GlowID, 0) << "the glow did not come back";
        EXPECT_EQ(GlowCount(), 1);
    }
    StopFading(timer, a->SkinData);
    a->Perform(CM_MOUSELEAVE, 0, 0);
}

TEST_F(GlowTest, AControlHalfOutsideItsParentHasItsGlowCutThere) {
    // The form is 300 wide; the control reaches 50 pixels past its right edge.
    TGlowPanel* p = AddPanel(TRect{250, 20, 350, 50});
    p->Perform(CM_MOUSEENTER, 0, 0);
    ASSERT_GE(p->SkinData->GlowID, 0);
    const RECT pr = WindowRectOf(p->Handle());
    const RECT gr = WindowRectOf(GlowWindow(p->SkinData->GlowID));
    const RECT fr = WindowRectOf(form->Handle());
    EXPECT_EQ(gr.left, pr.left - 6);
    EXPECT_EQ(gr.top, pr.top - 6);
    EXPECT_EQ(gr.right, fr.right);   // the glow ends where the control leaves the form
    EXPECT_EQ(gr.bottom, pr.bottom + 6);
    p->Perform(CM_MOUSELEAVE, 0, 0);
}

TEST_F(GlowTest, HoverCyclesLeaveTheObjectCountsFlat) {
    TGlowPanel* p = AddPanel(TRect{20, 20, 120, 50});
    auto cycle = [&] {
        p->Perform(CM_MOUSEENTER, 0, 0);
        ASSERT_GE(p->SkinData->GlowID, 0);
        p->Perform(CM_MOUSELEAVE, 0, 0);
        harness::PumpUntilIdle(0, 200);
    };
    for (int i = 0; i < 5; ++i) cycle();
    harness::PumpUntilIdle(10, 500);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 200; ++i) cycle();
    harness::PumpUntilIdle(10, 500);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
    if (user) {
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user + 2);
    }
    EXPECT_EQ(GlowCount(), 0);
}

}  // namespace

// The button glow of each of our own skins: a soft halo whose frame is a
// valid premultiplied image (no channel above its alpha, no key words)
// with light in it.
TEST(OwnSkinGlow, EverySkinsButtonGlowIsASoftPremultipliedHalo) {
    kestrune_test::EnsureFramework();
    acGlowInitialization();
    if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    const std::filesystem::path skins = std::filesystem::path(harness::ModuleFolder()) / L".." / L"app" / L"Skins";
    ASSERT_TRUE(std::filesystem::exists(skins)) << "the own skins are not built";
    auto* manager = New<TsSkinManager>(Application);
    manager->SetSkinDirectory(skins.u16string());
    TStringList names;
    manager->GetSkinNames(&names);
    ASSERT_GT(names.Count(), 0);
    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(150, 60, 300, 200);
    form->Show();
    for (int s = 0; s < names.Count(); ++s) {
        SCOPED_TRACE(StringToUtf8(names.Get(s)));
        manager->SetSkinName(names.Get(s));
        const Integer index = manager->GetSkinIndex(u"BUTTON");
        ASSERT_GE(index, 0);
        const Integer margin = manager->gd()[static_cast<std::size_t>(index)].GlowMargin;
        TacLayeredRecorder rec;
        const Integer id = ShowGlow(TRect{200, 100, 275, 125}, TRect{0, 0, 75, 25}, u"BUTTON", manager,
                                    form->Handle(), 255, margin, u"GLOW");
        ASSERT_GE(id, 0);
        const auto frames = rec.FramesOf(GlowWindow(id));
        ASSERT_EQ(frames.size(), 1u);
        const TacLayeredFrame& f = frames[0];
        int lit = 0, invalid = 0;
        for (const std::uint32_t p : f.Pixels) {
            const std::uint32_t a = p >> 24;
            if (a > 0) ++lit;
            for (int shift = 0; shift <= 16; shift += 8)
                if (((p >> shift) & 0xFF) > a) ++invalid;
        }
        EXPECT_GT(lit, f.Width * 2) << "no light in the glow";
        EXPECT_EQ(invalid, 0) << "colour above alpha";
        EXPECT_EQ(f.Pixel(f.Width / 2, f.Height / 2), 0u);   // over the button: clear
        // For a reviewer: the halo over a mid grey, beside the test program.
        TBitmap* look = CreateWorkBitmap(f.Width, f.Height);
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) {
                const std::uint32_t p = f.Pixel(x, y), a = p >> 24;
                std::uint32_t v = 0xFF000000u;
                for (int shift = 0; shift <= 16; shift += 8)
                    v |= (((p >> shift) & 0xFF) + 0x80 * (255 - a) / 255) << shift;
                static_cast<std::uint32_t*>(look->ScanLine(y))[x] = v;
            }
        look->SaveToFile((std::filesystem::path(harness::ModuleFolder()) /
                          (L"own-skin-glow-" + std::to_wstring(s) + L".bmp")).u16string());
        look->Free();
        ClearGlows(true);
    }
    form->Free();
    manager->Free();
    harness::PumpUntilIdle(5, 500);
    acGlowFinalization();
}
