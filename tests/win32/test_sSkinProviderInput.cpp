// The skinned form at work without a screen: snapping to the work area, the
// messages the provider keeps from the form's own procedure, the limits of a
// maximized form, the title alone redrawn for a new caption, the inactive
// title, and the frame's mouse buttons and window commands (a caption button
// acts only on a release over the button that was pressed, with the capture
// held meanwhile; the click on the title icon waits for a second click that
// may close the form; commands are read without their low bits; the end of
// the session waits a bounded time; a stretched form moved takes its size
// back).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <utility>

#include "CheckedHeap.h"
#include "FormFreer.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "TestSkinManager.h"
#include "sFade.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using kestrune_test::TestRef;

TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

// Counts the messages that reach the procedure it replaced.
struct Spy {
    TWndMethod Saved;
    int Count = 0;
    void Install(TCustomForm* f) {
        Saved = f->WindowProc;
        f->WindowProc = TWndMethod::Of<&Spy::WndProc>(this);
    }
    void WndProc(TMessage& m) {
        if (m.Msg == WM_ENTERIDLE || m.Msg == 0xB04C || m.Msg == 0xBC4D || m.Msg == WM_INITMENUPOPUP ||
            m.Msg == WM_USER + 7)
            ++Count;
        Saved(m);
    }
};

// Notes a menu loop that runs on this thread while it lives, and ends
// it at once (the menu loop's message filter sees it; a timer keeps messages
// coming).
class MenuWatch {
public:
    MenuWatch() {
        Current = this;
        FHook = ::SetWindowsHookExW(WH_MSGFILTER, &MenuWatch::Filter, nullptr, ::GetCurrentThreadId());
        FTimer = ::SetTimer(nullptr, 0, 20, nullptr);
    }
    ~MenuWatch() {
        ::KillTimer(nullptr, FTimer);
        ::UnhookWindowsHookEx(FHook);
        Current = nullptr;
    }
    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;
    int Seen = 0;

private:
    static LRESULT CALLBACK Filter(int Code, WPARAM WParam, LPARAM LParam) {
        if (Code == MSGF_MENU && Current) {
            if (!Current->FInside) ++Current->Seen;
            Current->FInside = true;
            ::EndMenu();
        }
        return ::CallNextHookEx(nullptr, Code, WParam, LParam);
    }
    static inline MenuWatch* Current = nullptr;
    HHOOK FHook = nullptr;
    UINT_PTR FTimer = 0;
    bool FInside = false;   // one menu loop counts once
};

class FrameAtWork : public kestrune_test::TestSkinProviderForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 320, 220));
        form->SetCaption(u"Frame");
    }
    void TearDown() override {
        acBtnPressed = false;
        acSessionEnding = false;
        if (form && form->HandleAllocated() && ::GetCapture() == form->Handle()) ::ReleaseCapture();
        kestrune_test::TestSkinProviderForm::TearDown();
    }
    // The screen point of a point of the window.
    POINT Screen(TPoint p) const {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        return POINT{r.left + p.X, r.top + p.Y};
    }
    // The client point of a point of the window.
    POINT Client(TPoint p) const {
        POINT s = Screen(p);
        ::ScreenToClient(form->Handle(), &s);
        return s;
    }
    void Press(Integer Code, TPoint At) {
        const POINT s = Screen(At);
        ::SendMessageW(Wnd(), WM_NCLBUTTONDOWN, static_cast<WPARAM>(Code), MAKELPARAM(s.x, s.y));
    }
    int TitleBottom() const { return SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true); }
};

// ---- snapping --------------------------------------------------------------------------------

TEST_F(FrameAtWork, ScreenSnapPullsAFormWithinTheBufferOntoTheWorkAreaEdges) {
    Attach();
    provider->SetScreenSnap(true);
    ASSERT_EQ(provider->SnapBuffer(), 10);
    const TRect w = GetFormWorkArea(form);
    const int width = form->Width(), height = form->Height();
    const int midX = w.Left + 100, midY = w.Top + 80;
    struct Case {
        const char* Name;
        int X, Y;          // where the form is moved
        int WantX, WantY;  // where it lands
    } cases[] = {
        {"9 from the left snaps", w.Left + 9, midY, w.Left, midY},
        {"10 from the left does not", w.Left + 10, midY, w.Left + 10, midY},
        {"9 from the top snaps", midX, w.Top + 9, midX, w.Top},
        {"10 from the top does not", midX, w.Top + 10, midX, w.Top + 10},
        {"9 from the right snaps", w.Right - width - 9, midY, w.Right - width, midY},
        {"10 from the right does not", w.Right - width - 10, midY, w.Right - width - 10, midY},
        {"9 from the bottom snaps", midX, w.Bottom - height - 9, midX, w.Bottom - height},
        {"beyond the left edge snaps back", w.Left - 9, midY, w.Left, midY},
    };
    for (const Case& c : cases) {
        ::SetWindowPos(Wnd(), nullptr, c.X, c.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r{};
        ::GetWindowRect(Wnd(), &r);
        EXPECT_EQ(r.left, c.WantX) << c.Name;
        EXPECT_EQ(r.top, c.WantY) << c.Name;
    }
    // Without ScreenSnap the form goes where it is put.
    provider->SetScreenSnap(false);
    ::SetWindowPos(Wnd(), nullptr, w.Left + 9, midY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(form->Left(), w.Left + 9);
}

// ---- what the form's own procedure never sees ------------------------------------------------------

TEST_F(FrameAtWork, IdleMenuAndPrivateMessagesNeverReachTheFormsProcedure) {
    Spy spy;
    spy.Install(form);   // before the provider: the procedure it passes on to
    Attach();
    for (UINT msg : {static_cast<UINT>(WM_ENTERIDLE), 0xB04Cu, 0xBC4Du})
        EXPECT_EQ(::SendMessageW(Wnd(), msg, 0, 0), 0) << std::hex << msg;
    EXPECT_EQ(spy.Count, 0);
    // A popup is prepared by the skinned menus and then reaches the form once.
    ::SendMessageW(Wnd(), WM_INITMENUPOPUP, 0, 0);
    EXPECT_EQ(spy.Count, 1);
    // Anything else goes on as before.
    ::SendMessageW(Wnd(), WM_USER + 7, 0, 0);
    EXPECT_EQ(spy.Count, 2);
    provider->Free();
    form->WindowProc = spy.Saved;
}

// ---- limits of a maximized form ---------------------------------------------------------------------

TEST_F(FrameAtWork, MaximizedLimitsOnlyForAFramedTopLevelForm) {
    Attach();
    const TRect work = GetFormWorkArea(form);
    const int a = SysBorderWidth(Wnd(), nullptr, false);
    MINMAXINFO framed{};
    ::SendMessageW(Wnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&framed));
    EXPECT_EQ(framed.ptMaxPosition.x, -a);
    EXPECT_EQ(framed.ptMaxPosition.y, -a);
    EXPECT_EQ(framed.ptMaxSize.x, work.Width() + 2 * a);
    EXPECT_EQ(framed.ptMaxSize.y, work.Height() + 2 * a);
    // A form without a frame keeps what it is given.
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    MINMAXINFO bare{};
    bare.ptMaxPosition = POINT{123, 45};
    bare.ptMaxSize = POINT{678, 90};
    ::SendMessageW(Wnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&bare));
    EXPECT_EQ(bare.ptMaxPosition.x, 123);
    EXPECT_EQ(bare.ptMaxSize.y, 90);
}

// ---- caption text and activation ----------------------------------------------------------------------

TEST_F(FrameAtWork, NewCaptionChangesOnlyTheTitleStripOfThePrintedFrame) {
    Attach();
    const unsigned windows = harness::WindowCount();
    // The picture of the settled form: two prints in a row agree.
    harness::Capture before = harness::CaptureWindow(Wnd(), harness::CaptureSource::Print);
    for (int i = 0; i < 10; ++i) {
        harness::PumpUntilIdle(20, 500);
        harness::Capture again = harness::CaptureWindow(Wnd(), harness::CaptureSource::Print);
        const bool settled = harness::DifferingPixels(before, again, 0) == 0;
        before = std::move(again);
        if (settled) break;
    }
    form->SetCaption(u"A much longer caption with WWW MMM");
    harness::PumpUntilIdle(20, 1000);
    const harness::Capture after = harness::CaptureWindow(Wnd(), harness::CaptureSource::Print);
    ASSERT_EQ(before.Width, after.Width);
    ASSERT_EQ(before.Height, after.Height);
    const int strip = TitleBottom();
    int inside = 0, outside = 0;
    for (int y = 0; y < after.Height; ++y)
        for (int x = 0; x < after.Width; ++x)
            if (before.Pixel(x, y) != after.Pixel(x, y)) ++(y < strip ? inside : outside);
    EXPECT_GT(inside, 0) << "the title shows the new text";
    EXPECT_EQ(outside, 0) << "nothing below the title changes";
    // The cover over the title went again, and the drawing is switched on.
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_EQ(provider->LockCount, 0);
}

TEST_F(FrameAtWork, InactiveFrameDrawsItsTitleInStateZero) {
    Attach();
    const int beside = provider->TitleIconRect().Right + 1;
    const int y = TitleBottom() - 1;
    for (int state : {0, 1, 0}) {
        ::SendMessageW(Wnd(), WM_NCACTIVATE, static_cast<WPARAM>(state), 0);
        const harness::Capture cap = harness::CaptureWindow(Wnd(), harness::CaptureSource::Print);
        EXPECT_EQ(cap.Pixel(beside, y), TestRef(skingen::TestSectionColour("FORMTITLE", state))) << state;
        EXPECT_EQ(cap.Pixel(cap.Width / 3, y), TestRef(skingen::TestSectionColour("CAPTION", state))) << state;
        EXPECT_EQ(provider->FormActive, state == 1);
    }
    EXPECT_EQ(provider->LockCount, 0);
}

// ---- caption buttons ----------------------------------------------------------------------------------

// Where the button is released, and with what.
enum class Release { ClientUp, NCUp };

struct ReleaseCase {
    const char* Name;
    Integer Pressed;        // button pressed (0: none)
    Integer Over;           // button under the pointer at the release
    Release How;
    WPARAM WParam;          // the release's wParam (MK_ flags, or a hit code)
    bool DropCapture;       // the capture is lost between press and release
    bool Minimized, Closed; // what happens
};

class CaptionButtonRelease : public FrameAtWork, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(CaptionButtonRelease, ActsOnlyOverThePressedButton) {
    const ReleaseCase& c = GetParam();
    Attach();
    ASSERT_FALSE(provider->ButtonMin.Rect.IsEmpty());
    ASSERT_FALSE(provider->ButtonClose.Rect.IsEmpty());
    auto rectOf = [&](Integer code) {
        return code == HTCAPTIONBTN_MIN ? provider->ButtonMin.Rect : provider->ButtonClose.Rect;
    };
    if (c.Pressed) {
        Press(c.Pressed, Centre(rectOf(c.Pressed)));
        EXPECT_EQ(::GetCapture(), Wnd());
        EXPECT_EQ(c.Pressed == HTCAPTIONBTN_MIN ? provider->ButtonMin.State : provider->ButtonClose.State, 2);
    }
    if (c.DropCapture) ::ReleaseCapture();
    // A point off every button: the middle of the client area.
    const TPoint at = c.Over ? Centre(rectOf(c.Over)) : TPoint(form->Width() / 2, form->Height() / 2);
    if (c.How == Release::ClientUp) {
        const POINT p = Client(at);
        ::SendMessageW(Wnd(), WM_LBUTTONUP, c.WParam, MAKELPARAM(p.x, p.y));
    } else {
        const POINT p = Screen(at);
        ::SendMessageW(Wnd(), WM_NCLBUTTONUP, c.WParam, MAKELPARAM(p.x, p.y));
    }
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(::IsIconic(Wnd()) != FALSE, c.Minimized);
    EXPECT_EQ(!form->Visible(), c.Closed);
    // Every release ends the press.
    EXPECT_FALSE(acBtnPressed);
    EXPECT_EQ(provider->PressedHT, 0);
    EXPECT_NE(::GetCapture(), Wnd());
    EXPECT_NE(provider->ButtonMin.State, 2);
    EXPECT_NE(provider->ButtonClose.State, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptionButtonRelease,
    ::testing::Values(
        // The release in the client area carries key flags, not a hit code:
        // 0x14 (MK_CONTROL | MK_MBUTTON) is no "close", MK_CONTROL no "minimize".
        ReleaseCase{"MinPressedReleasedOverMinWithCloseLikeFlags", HTCAPTIONBTN_MIN, HTCAPTIONBTN_MIN,
                    Release::ClientUp, 0x14, false, true, false},
        ReleaseCase{"MinPressedReleasedOverCloseWithMinLikeFlags", HTCAPTIONBTN_MIN, HTCAPTIONBTN_CLOSE,
                    Release::ClientUp, MK_CONTROL, false, false, false},
        ReleaseCase{"NothingPressedClientReleaseWithMinLikeFlags", 0, HTCAPTIONBTN_MIN, Release::ClientUp, MK_CONTROL,
                    false, false, false},
        ReleaseCase{"ClosePressedReleasedOverMin", HTCAPTIONBTN_CLOSE, HTCAPTIONBTN_MIN, Release::NCUp,
                    HTCAPTIONBTN_MIN, false, false, false},
        ReleaseCase{"MinPressedReleasedOffTheButtonWithItsCode", HTCAPTIONBTN_MIN, 0, Release::NCUp, HTCAPTIONBTN_MIN,
                    false, false, false},
        ReleaseCase{"MinPressedCaptureLostThenReleasedOverMin", HTCAPTIONBTN_MIN, HTCAPTIONBTN_MIN, Release::NCUp,
                    HTCAPTIONBTN_MIN, true, false, false},
        ReleaseCase{"ClosePressedReleasedOverClose", HTCAPTIONBTN_CLOSE, HTCAPTIONBTN_CLOSE, Release::ClientUp, 0,
                    false, false, true},
        ReleaseCase{"MinPressedReleasedOverMinAsNonClient", HTCAPTIONBTN_MIN, HTCAPTIONBTN_MIN, Release::NCUp,
                    HTCAPTIONBTN_MIN, false, true, false}),
    [](const ::testing::TestParamInfo<ReleaseCase>& info) { return std::string(info.param.Name); });

TEST_F(FrameAtWork, CaptionDoubleClickMaximizesAndRestores) {
    Attach();
    const RECT normal = [&] {
        RECT r{};
        ::GetWindowRect(Wnd(), &r);
        return r;
    }();
    const POINT p = Screen(TPoint(form->Width() / 2, TitleBottom() / 2));
    ASSERT_EQ(provider->HitTest(TMessage{WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), 0}), HTCAPTION);
    ::SendMessageW(Wnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(::IsZoomed(Wnd()));
    ::SendMessageW(Wnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(p.x, p.y));
    EXPECT_FALSE(::IsZoomed(Wnd()));
    RECT r{};
    ::GetWindowRect(Wnd(), &r);
    EXPECT_EQ(r.left, normal.left);
    EXPECT_EQ(r.bottom - r.top, normal.bottom - normal.top);
}

// ---- the title icon's click ---------------------------------------------------------------------------

TEST_F(FrameAtWork, IconClickDropsNoMenuForAFormClosedWhileItWaits) {
    Attach();
    manager->SetSkinnedPopups(false);
    const TPoint icon = Centre(provider->TitleIconRect());
    const POINT s = Screen(icon);
    ASSERT_EQ(provider->HitTest(TMessage{WM_NCHITTEST, 0, MAKELPARAM(s.x, s.y), 0}), HTSYSMENU);
    {
        // A lone click: the system menu drops after the wait.
        MenuWatch watch;
        Press(HTSYSMENU, icon);
        harness::PumpUntilIdle(20, 500);
        EXPECT_EQ(watch.Seen, 1);
        EXPECT_TRUE(form->Visible());
    }
    {
        // The second click of a double click is already queued: it closes
        // the form during the wait, and no menu drops for a closed form.
        MenuWatch watch;
        ::PostMessageW(Wnd(), WM_NCLBUTTONDBLCLK, HTSYSMENU, MAKELPARAM(s.x, s.y));
        Press(HTSYSMENU, icon);
        harness::PumpUntilIdle(20, 500);
        EXPECT_EQ(watch.Seen, 0);
        EXPECT_FALSE(form->Visible());
    }
}

// After the wait the click must not read the provider its freed form took
// along (under the checking allocator a pointer made of freed memory crashes).
TEST_F(FrameAtWork, IconClickSurvivesTheFormFreedWhileItWaits) {
    Attach();
    manager->SetSkinnedPopups(false);
    const POINT s = Screen(Centre(provider->TitleIconRect()));
    // A posted message frees the form during the wait.
    harness::FormFreer freer(form);
    MenuWatch watch;
    freer.PostFree();
    ::SendMessageW(form->Handle(), WM_NCLBUTTONDOWN, HTSYSMENU, MAKELPARAM(s.x, s.y));
    harness::PumpUntilIdle(20, 500);
    EXPECT_EQ(freer.Form, nullptr);
    EXPECT_EQ(watch.Seen, 0);
    form = nullptr;
}

// The form's own procedure, below the provider, frees the form in the middle
// of one of the provider's messages: once its form is gone the provider
// touches nothing of itself (the checking allocator tells any write).
TEST_F(FrameAtWork, ProviderWritesNothingAfterItsFormIsFreedInItsMessage) {
    static constexpr UINT kFree = WM_USER + 77;
    struct Freer {
        TForm* Form;
        TWndMethod Saved;
        void WndProc(TMessage& m) {
            if (m.Msg != kFree) return Saved(m);
            TForm* f = Form;
            Form = nullptr;
            f->Free();
        }
    } freer{form, form->WindowProc};
    form->WindowProc = TWndMethod::Of<&Freer::WndProc>(&freer);
    Attach();
    ASSERT_EQ(harness::CheckFreedMemory(), "");
    ::SendMessageW(Wnd(), kFree, 0, 0);
    form = nullptr;
    provider = nullptr;
    EXPECT_EQ(freer.Form, nullptr);
    EXPECT_EQ(harness::CheckFreedMemory(), "");
}

// ---- window commands ---------------------------------------------------------------------------------

TEST_F(FrameAtWork, WindowCommandsAreReadWithoutTheirLowBits) {
    Attach();
    // A maximize from the caption (SC_MAXIMIZE | HTCAPTION) leaves no hot
    // maximize button behind.
    provider->SetHotHT(HTCAPTIONBTN_MAX, false);
    ASSERT_EQ(provider->ButtonMax.State, 1);
    ::SendMessageW(Wnd(), WM_SYSCOMMAND, SC_MAXIMIZE | HTCAPTION, 0);
    EXPECT_TRUE(::IsZoomed(Wnd()));
    EXPECT_EQ(provider->ButtonMax.State, 0);
    EXPECT_EQ(provider->CurrentHT, 0);
    // A minimize with its low bits set drops the cache.
    ::SendMessageW(Wnd(), WM_SYSCOMMAND, SC_MINIMIZE | 0x2, 0);
    EXPECT_TRUE(::IsIconic(Wnd()));
    ASSERT_NE(provider->SkinData()->FCacheBmp, nullptr);
    EXPECT_EQ(provider->SkinData()->FCacheBmp->Width(), 0);
    ::SendMessageW(Wnd(), WM_SYSCOMMAND, SC_RESTORE | HTCAPTION, 0);
    EXPECT_FALSE(::IsIconic(Wnd()));
}

TEST_F(FrameAtWork, SessionEndWaitsForRunningAnimationsAtMostTwoSeconds) {
    Attach();
    // A fade that never ends.
    auto* fade = New<TsFadeTimer>(nullptr);
    ASSERT_GT(LivingFadeTimers(), 0);
    const auto start = std::chrono::steady_clock::now();
    ::SendMessageW(Wnd(), WM_QUERYENDSESSION, 0, 0);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(acSessionEnding);
    EXPECT_GE(ms, 1900);
    EXPECT_LT(ms, 3000);
    fade->Free();
}

TEST_F(FrameAtWork, MovingAStretchedFormGivesBackItsSizeOnBothAxes) {
    Attach();
    const TRect w = GetFormWorkArea(form);
    // Stretched to the work area's height and width; its own place and size saved.
    ::SetWindowPos(Wnd(), nullptr, w.Left, w.Top, w.Width(), w.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    provider->NormalBounds = TRect(50, 60, 300, 200);   // left, top, width, height
    provider->FormState |= FS_FULLHEIGHT | FS_FULLWIDTH;
    // Dragged sideways by the caption: the height's top comes back too.
    ::SetWindowPos(Wnd(), nullptr, w.Left + 120, w.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r{};
    ::GetWindowRect(Wnd(), &r);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_EQ(r.left, w.Left + 120);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(provider->FormState & (FS_FULLHEIGHT | FS_FULLWIDTH), 0u);
}

}  // namespace
