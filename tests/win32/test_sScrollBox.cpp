// The skinned scroll box on a real form with the test skin: its frame and
// background from the section in both ways of painting, the skinned bars
// while the skin is active and the system bars back without it, the image
// its children get under them, the wheel, the scroll notices of the skinned
// bars, its border styles, and object counts over repeated skin switches.
// Pixels are read back through WM_PRINT.
#include <gtest/gtest.h>

#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sPanel.h"
#include "sScrollBox.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using kestrune_test::TestRef;

COLORREF Section(const char* name, int state = 0) { return TestRef(skingen::TestSectionColour(name, state)); }
COLORREF Mask(const char* section, int frame = 0) { return TestRef(skingen::TestMaskColour(section, "BORDERSMASK", frame)); }
COLORREF Plain(TColor c) { return static_cast<COLORREF>(::ColorToRGB(c)) & 0xFFFFFF; }

LONG StyleOf(HWND wnd) { return ::GetWindowLongW(wnd, GWL_STYLE); }
LONG ExStyleOf(HWND wnd) { return ::GetWindowLongW(wnd, GWL_EXSTYLE); }

class SkinnedScrollBox : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        acSBUtilsInitialization();
        WriteSkin();
    }
    // The adapter unit goes as the program ends it: later tests start without it.
    void TearDown() override {
        TestSkinForm::TearDown();
        acSBUtilsFinalization();
    }
    // The test skin (with Common over it) and a shown form with a 200 x 150
    // box whose child lies far below: the vertical bar shows.
    void Load(const std::string& Common = {}) {
        LoadAndShow(Common);
        box = New<TsScrollBox>(form);
        box->SetBounds(20, 20, 200, 150);
        box->SetParent(form);
        box->VertScrollBar()->Increment = 13;
        distant = New<TsPanel>(form);
        distant->SetBounds(10, 500, 60, 40);
        distant->SetParent(box);
        harness::PumpUntilIdle(20, 1000);
    }
    static harness::Capture Print(TWinControl* c, bool clientOnly = false) {
        harness::PumpUntilIdle(10, 500);
        return harness::CaptureWindow(c->Handle(), harness::CaptureSource::Print, clientOnly);
    }
    HWND Wnd() { return box->Handle(); }
    bool HasSkinnedBars() { return AdapterOfWindow(Wnd()) != nullptr && box->ScrollWnd() != nullptr; }
    LRESULT Wheel(int Delta) {
        RECT r{};
        ::GetWindowRect(Wnd(), &r);
        return ::SendMessageW(Wnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, Delta), MAKELPARAM(r.left + 10, r.top + 10));
    }

    TsScrollBox* box = nullptr;
    TsPanel* distant = nullptr;
};

struct Counter {
    int Before = 0, After = 0;
    void CountBefore(TObject*) { ++Before; }
    void CountAfter(TObject*) { ++After; }
};

}  // namespace

TEST_F(SkinnedScrollBox, TheSkinBringsSkinnedBarsAndItsRemovalTheSystemOnes) {
    Load();
    EXPECT_EQ(box->SkinData()->SkinSection(), u"PANEL_LOW");
    ASSERT_TRUE(StyleOf(Wnd()) & WS_VSCROLL);
    ASSERT_TRUE(HasSkinnedBars());
    EXPECT_TRUE(box->ScrollWnd()->sBarVert->fScrollVisible);
    const int clientWidth = box->ClientWidth();

    // Removing the skin (command 2) frees the adapter; the system's bar takes
    // the same room, and the window keeps its scrolling.
    manager->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(AdapterOfWindow(Wnd()), nullptr);
    EXPECT_EQ(box->ScrollWnd(), nullptr);
    EXPECT_EQ(::GetPropW(Wnd(), acAdapterPropName), nullptr);
    EXPECT_TRUE(StyleOf(Wnd()) & WS_VSCROLL);
    EXPECT_EQ(box->ClientWidth(), clientWidth);
    ::SendMessageW(Wnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(box->VertScrollBar()->Position(), 13);
    EXPECT_FALSE(Print(box).Contains(Section("PANEL_LOW"))) << "the plain box";

    // The skin again (command 3) attaches new skinned bars.
    manager->SetActive(true);
    harness::PumpUntilIdle(10, 500);
    EXPECT_TRUE(HasSkinnedBars());
    EXPECT_EQ(box->ClientWidth(), clientWidth);
}

TEST_F(SkinnedScrollBox, FrameAndBackgroundComeFromTheSectionInBothWays) {
    struct Case {
        const char* Name;
        std::string Common;
        bool Cached;
    };
    const Case cases[] = {
        {"direct", "", false},
        {"cached", "[PANEL_LOW]\r\nTRANSPARENCY=40\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Load(c.Common);
        ASSERT_EQ(box->CachedWay(), c.Cached);
        const harness::Capture cap = Print(box);
        ASSERT_EQ(cap.Width, 200);
        // PANEL_LOW has a 4-pixel border mask with key-colour corners: the
        // 2-pixel window frame and 2 more pixels inside the client area.
        for (const int x : {0, 1, 2, 3}) EXPECT_EQ(cap.Pixel(x, 75), Mask("PANEL_LOW")) << "x " << x;
        EXPECT_EQ(cap.Pixel(100, 0), Mask("PANEL_LOW"));
        const COLORREF inside = cap.Pixel(60, 60);
        if (c.Cached) {
            EXPECT_NE(inside, Section("PANEL_LOW")) << "blended with the form under it";
            EXPECT_NE(inside, Plain(form->Color()));
            EXPECT_EQ(cap.Pixel(0, 0), Plain(form->Color())) << "a key corner shows the form";
            EXPECT_FALSE(box->SkinData()->BGChanged);
        } else {
            EXPECT_EQ(inside, Section("PANEL_LOW"));
            EXPECT_EQ(box->SkinData()->FCacheBmp->Width(), 0) << "the direct way keeps no image";
            // Its children still get the section's colour under them.
            TBackgroundInfo info;
            info.R = TRect(0, 0, 10, 10);
            EXPECT_EQ(SendSkinCommand(Wnd(), AC_GETBG, reinterpret_cast<LPARAM>(&info)), 1);
            EXPECT_EQ(info.BgType, btFill);
            EXPECT_EQ(static_cast<COLORREF>(::ColorToRGB(info.Color)), Section("PANEL_LOW"));
        }
        TearDown();
        acSBUtilsInitialization();
        WriteSkin();
    }
}

TEST_F(SkinnedScrollBox, TheFrameIsCopiedFromTheCachedImage) {
    Load("[PANEL_LOW]\r\nTRANSPARENCY=40\r\n");
    // Whatever OnPaint draws into the image shows in the frame as well.
    struct Painter {
        void Paint(TObject*, TBitmap* Bmp) {
            Bmp->Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(0x12, 0x34, 0x56)));
            Bmp->Canvas()->FillRect(TRect(0, 0, 1, Bmp->Height()));
        }
    } painter;
    box->OnPaint = TsPaintEvent::Of<&Painter::Paint>(&painter);
    box->SkinData()->BGChanged = true;
    const harness::Capture cap = Print(box);
    EXPECT_EQ(cap.Pixel(0, 75), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(cap.Pixel(1, 75), Mask("PANEL_LOW"));
    box->OnPaint = TsPaintEvent();
}

TEST_F(SkinnedScrollBox, ChildrenGetTheBoxesImageUnderThem) {
    // A fully transparent panel at the client's top-left shows what the box
    // gives it: the inner half of the box's border, then its inside.
    Load("[PANEL_LOW]\r\nTRANSPARENCY=40\r\n[PANEL]\r\nTRANSPARENCY=100\r\n");
    const harness::Capture boxCap = Print(box, true);
    auto* child = New<TsPanel>(form);
    child->SetBounds(0, 0, 40, 40);
    child->SetShowCaption(false);
    child->SetParent(box);
    const harness::Capture childCap = Print(child);
    for (const int xy : {0, 1, 2, 20}) {
        SCOPED_TRACE(xy);
        EXPECT_EQ(childCap.Pixel(xy, 20), boxCap.Pixel(xy, 20));
        EXPECT_EQ(childCap.Pixel(20, xy), boxCap.Pixel(20, xy));
    }
    EXPECT_EQ(childCap.Pixel(0, 20), Mask("PANEL_LOW")) << "the border's inner half, not a key corner";

    // The answer itself: the box's image, moved by the window frame.
    TBackgroundInfo info;
    info.R = TRect(0, 0, 10, 10);
    ASSERT_EQ(SendSkinCommand(Wnd(), AC_GETBG, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(info.BgType, btCache);
    EXPECT_EQ(info.Bmp, box->SkinData()->FCacheBmp);
    EXPECT_EQ(info.Offset.X, 2);
    EXPECT_EQ(info.Offset.Y, 2);
}

TEST_F(SkinnedScrollBox, TheWheelMovesByIncrement) {
    Load();
    Counter counter;
    box->OnBeforeScroll = TNotifyEvent::Of<&Counter::CountBefore>(&counter);
    box->OnAfterScroll = TNotifyEvent::Of<&Counter::CountAfter>(&counter);
    box->SetAutoMouseWheel(true);
    form->SetActiveControl(nullptr);
    struct Step {
        int Delta;
        int Position;
    };
    // Whole notches only (60 is none), down is a negative delta.
    for (const Step& s : {Step{-240, 26}, Step{-120, 39}, Step{60, 39}, Step{120, 26}, Step{1200, 0}}) {
        SCOPED_TRACE(s.Delta);
        EXPECT_NE(Wheel(s.Delta), 0);
        EXPECT_EQ(box->VertScrollBar()->Position(), s.Position);
        EXPECT_EQ(::GetScrollPos(Wnd(), SB_VERT), s.Position);
    }
    EXPECT_EQ(counter.Before, 5);
    EXPECT_EQ(counter.After, 5);

    // An active control that takes the wheel itself keeps the box still; one
    // that does not leaves it to the box.
    auto* inner = New<TScrollBox>(form);
    inner->SetBounds(0, 0, 100, 60);
    inner->SetParent(box);
    auto* tall = New<TPanel>(form);
    tall->SetBounds(0, 300, 10, 10);
    tall->SetParent(inner);
    auto* button = New<TButton>(form);
    button->SetBounds(230, 20, 60, 20);
    button->SetParent(form);
    harness::PumpUntilIdle(10, 500);
    form->SetActiveControl(inner);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 0);
    EXPECT_GT(inner->VertScrollBar()->Position(), 0);
    // An active control elsewhere gets the wheel, which rises to the form: a
    // plain form leaves the box still; the form skinner hands the turn to the
    // box under the pointer that asks for the wheel.
    form->SetActiveControl(button);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 0);
    auto* provider = New<TsSkinProvider>(form);
    harness::PumpUntilIdle(10, 500);
    RECT boxRect{};
    ::GetWindowRect(Wnd(), &boxRect);
    ASSERT_TRUE(::SetCursorPos(boxRect.left + 30, boxRect.top + 30));
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 13);
    ::SetCursorPos(boxRect.right + 200, boxRect.bottom + 200);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 13) << "the pointer is not over the box";
    ::SetCursorPos(boxRect.left + 30, boxRect.top + 30);
    box->SetAutoMouseWheel(false);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 13) << "the box does not ask for the wheel";
    box->SetAutoMouseWheel(true);
    provider->Free();
    harness::PumpUntilIdle(10, 500);
    // The box itself as the active control: the turn it hands itself comes
    // back unhandled, and the box scrolls once.
    form->SetActiveControl(box);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 26);

    // Without AutoMouseWheel the framework's wheel scrolls the system's lines.
    box->SetAutoMouseWheel(false);
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    form->SetActiveControl(nullptr);
    Wheel(-120);
    EXPECT_EQ(box->VertScrollBar()->Position(), 26 + 13 * static_cast<int>(lines));
    box->OnBeforeScroll = TNotifyEvent();
    box->OnAfterScroll = TNotifyEvent();
}

TEST_F(SkinnedScrollBox, ScrollsOfTheSkinnedBarsAreAnnouncedAndRedrawOnAgain) {
    for (const bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "cached" : "direct");
        Load(cached ? "[PANEL_LOW]\r\nTRANSPARENCY=40\r\n" : "");
        ASSERT_EQ(box->CachedWay(), cached);
        Counter counter;
        box->OnBeforeScroll = TNotifyEvent::Of<&Counter::CountBefore>(&counter);
        box->OnAfterScroll = TNotifyEvent::Of<&Counter::CountAfter>(&counter);
        SendScrollCommand(Wnd(), WM_VSCROLL, SB_LINEDOWN, 0);
        EXPECT_EQ(box->VertScrollBar()->Position(), 13);
        EXPECT_EQ(box->acTrackPos, 0) << "the position when the scroll began";
        // A dragged thumb: drawing is held back while it moves, and allowed
        // again once the move is done.
        SendScrollCommand(Wnd(), WM_VSCROLL, SB_THUMBTRACK, 50);
        EXPECT_EQ(box->VertScrollBar()->Position(), 50);
        EXPECT_EQ(box->acTrackPos, 13);
        EXPECT_TRUE(::IsWindowVisible(Wnd())) << "redrawing is on again";
        EXPECT_EQ(counter.Before, 2);
        EXPECT_EQ(counter.After, 2);
        box->OnBeforeScroll = TNotifyEvent();
        box->OnAfterScroll = TNotifyEvent();
        TearDown();
        acSBUtilsInitialization();
        WriteSkin();
    }
}

TEST_F(SkinnedScrollBox, BorderStylesMakeTheWindowAnewWithItsSkinnedBars) {
    Load();
    struct Case {
        TBorderStyle Style;
        bool Ctl3D;
        bool Edge, Border;
    };
    const Case cases[] = {
        {bsSingle, false, false, true},
        {bsSingle, true, true, false},
        {bsNone, true, false, false},
        {bsSingle, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.Style << " ctl3d " << c.Ctl3D);
        box->SetCtl3D(c.Ctl3D);
        box->SetBorderStyle(c.Style);
        harness::PumpUntilIdle(10, 500);
        EXPECT_EQ((ExStyleOf(Wnd()) & WS_EX_CLIENTEDGE) != 0, c.Edge);
        EXPECT_EQ((StyleOf(Wnd()) & WS_BORDER) != 0, c.Border);
        ASSERT_TRUE(HasSkinnedBars()) << "the new window has skinned bars too";
        EXPECT_EQ(box->ScrollWnd()->CtrlHandle, Wnd());
        EXPECT_TRUE(box->ScrollWnd()->sBarVert->fScrollVisible);
    }
}

TEST_F(SkinnedScrollBox, RepeatedSkinSwitchesKeepObjectCountsFlat) {
    Load();
    int i = 0;
    auto round = [&] {
        manager->SetActive(false);
        harness::PumpUntilIdle(5, 200);
        manager->SetActive(true);
        ::SendMessageW(Wnd(), WM_VSCROLL, (i++ & 1) ? SB_LINEUP : SB_LINEDOWN, 0);
        Print(box);
    };
    for (int warm = 0; warm < 5; ++warm) round();
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int n = 0; n < 30; ++n) round();
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_TRUE(HasSkinnedBars());
}

