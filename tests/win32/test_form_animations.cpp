// The form animations on real forms with the flat test skin: the fade of a
// caption button over its layered overlay, blend on moving, the minimize and
// restore animations, the picture of the whole form they show, the main-menu
// test of the frame and the taskbar targets.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "Menus.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acFormAnimTimers.h"
#include "acGlow.h"
#include "acLayered.h"
#include "ExtCtrls.h"
#include "sVclUtilsAnim.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// ---- tables without windows ---------------------------------------------------------

TEST(FormAnimationMaths, BlendOnMovingStep) {
    struct Case {
        Byte Target;
        Integer Time;
        Byte Step;
    } const cases[] = {
        {170, 12, 85},    // below 13 ms: all at once
        {0, 1, 255},
        {170, 120, 8},    // 85 / 10 = 8.5: halves to even
        {250, 24, 2},     // 5 / 2 = 2.5
        {248, 24, 4},     // 7 / 2 = 3.5
        {170, 1000, 1},   // 85 / 83.3 = 1.02
        {250, 1200, 1},   // 0.05 would never reach the target
        {255, 1000, 0},   // nothing to fade
    };
    for (const Case& c : cases)
        EXPECT_EQ(MoveBlendStep(c.Target, c.Time), c.Step) << int(c.Target) << " in " << c.Time << " ms";
}

TEST(FormAnimationMaths, TaskbarEdgeTargets) {
    struct Case {
        TRect Tray;
        Cardinal Position;
        TPoint Target;
    } const cases[] = {
        {TRect(0, 1040, 1920, 1080), tbpBottom, TPoint(500, 1040)},
        {TRect(-2, 1040, 1922, 1082), tbpBottom, TPoint(500, 1040)},
        {TRect(-10, 1040, 1920, 1080), tbpRight, TPoint(-10, 300)},
        {TRect(1880, 0, 1920, 1080), tbpRight, TPoint(1880, 300)},
        {TRect(0, 0, 40, 1080), tbpLeft, TPoint(40, 300)},
        {TRect(0, 0, 1920, 40), tbpTop, TPoint(500, 40)},
    };
    for (const Case& c : cases) {
        Cardinal position = 0;
        const TRect r = TaskbarEdgeTarget(c.Tray, 500, 300, position);
        EXPECT_EQ(position, c.Position) << c.Tray.Left << "," << c.Tray.Top;
        EXPECT_EQ(r.TopLeft(), c.Target) << c.Tray.Left << "," << c.Tray.Top;
        EXPECT_TRUE(r.IsEmpty());
    }
}

// ---- on a skinned form ---------------------------------------------------------------

class FormAnimations : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 300, 200));
        provider = New<TsSkinProvider>(form);
        harness::PumpUntilIdle(20, 1000);
        ASSERT_TRUE(provider->FDrawNonClientArea);
    }
    void TearDown() override {
        // Parked mouse: away from every test window.
        ::SetCursorPos(0, 0);
        kestrune_test::TestSkinForm::TearDown();
    }
    HWND Wnd() const { return form->Handle(); }
    bool Layered() const { return (::GetWindowLongW(Wnd(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }
    TacMinTimer* MinTimer() const { return dynamic_cast<TacMinTimer*>(provider->FormTimer); }
    // The screen centre of a caption button.
    POINT ButtonCentre(const TsCaptionButton& Btn) const {
        RECT wr{};
        ::GetWindowRect(Wnd(), &wr);
        return POINT{wr.left + (Btn.Rect.Left + Btn.Rect.Right) / 2, wr.top + (Btn.Rect.Top + Btn.Rect.Bottom) / 2};
    }
    static std::vector<int> Alphas(const std::vector<TacLayeredFrame>& Frames) {
        std::vector<int> r;
        for (const TacLayeredFrame& f : Frames) r.push_back(f.Blend.SourceConstantAlpha);
        return r;
    }

    TsSkinProvider* provider = nullptr;
};

// ---- caption-button fades

// A minimize ends with the button no longer hot and not repainted (the form
// is gone from the screen): its glow goes too, not to stay over the caption
// once the form is restored.
TEST_F(FormAnimations, AButtonNoLongerHotWithoutARepaintLosesItsGlow) {
    // The glows as the program's start-up sets them up.
    acGlowInitialization();
    struct Finish {
        ~Finish() { acGlowFinalization(); }
    } finish;
    // The test skin has the glow's mask; the glow is switched on here.
    manager->SkinData()->BIMinGlow = 5;
    manager->SkinData()->BIMinGlowMargin = 5;
    TsCaptionButton& min = provider->ButtonMin;
    provider->SetHotHT(HTCAPTIONBTN_MIN, true);
    ASSERT_GE(min.GlowID, 0) << "the hot minimize button shows no glow";
    EXPECT_EQ(GlowCount(), 1);
    provider->SetHotHT(0, false);
    EXPECT_EQ(min.State, 0);
    EXPECT_EQ(min.GlowID, -1);
    EXPECT_EQ(GlowCount(), 0);
}

TEST_F(FormAnimations, ButtonFadeInStepsUpToFullAndFadesOutToNothing) {
    TsCaptionButton& close = provider->ButtonClose;
    const POINT centre = ButtonCentre(close);
    ::SetCursorPos(centre.x, centre.y);
    TacLayeredRecorder recorder;
    close.State = 1;
    provider->StartBtnAnimation(close, 1, 10, true);
    TacSBAnimation* timer = close.Timer;
    ASSERT_NE(timer, nullptr);
    ASSERT_NE(timer->AForm, nullptr);
    const HWND overlay = timer->AForm->Handle();
    ASSERT_TRUE(harness::PumpUntil([&] { return timer->MaxIterations == -1; }, 3000));
    EXPECT_EQ(Alphas(recorder.FramesOf(overlay)), (std::vector<int>{25, 50, 75, 100, 125, 150, 175, 200, 225, 255}));

    // Layered, click-through, never activated, laid over the button.
    const auto ex = static_cast<DWORD>(::GetWindowLongW(overlay, GWL_EXSTYLE));
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE),
              static_cast<DWORD>(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE));
    EXPECT_TRUE(::IsWindowVisible(overlay));
    RECT or_{};
    ::GetWindowRect(overlay, &or_);
    EXPECT_TRUE(::PtInRect(&or_, centre));
    EXPECT_EQ(or_.right - or_.left, close.Rect.Width());
    EXPECT_EQ(::GetAncestor(::WindowFromPoint(centre), GA_ROOT), Wnd());
    // The skin has a glow for the hot close button: the overlay shows it.
    const TacLayeredFrame last = recorder.FramesOf(overlay).back();
    const auto glow = static_cast<std::uint32_t>(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSEGLOW0", 0));
    EXPECT_EQ(last.Pixel(last.Width / 2, last.Height / 2) & 0xFFFFFF, glow);

    // Back to normal: 250 down to 25, then the overlay goes.
    recorder.Frames.clear();
    close.State = 0;
    provider->StartBtnAnimation(close, 0, 10, false);
    ASSERT_TRUE(harness::PumpUntil([&] { return timer->CurrentState == -1; }, 3000));
    EXPECT_EQ(Alphas(recorder.FramesOf(overlay)), (std::vector<int>{250, 225, 200, 175, 150, 125, 100, 75, 50, 25}));
    EXPECT_EQ(timer->AForm, nullptr);
    EXPECT_FALSE(::IsWindow(overlay));
    EXPECT_FALSE(timer->Enabled());

    // KillAnimations frees the timer and clears the record.
    provider->KillAnimations();
    EXPECT_EQ(close.Timer, nullptr);
}

TEST_F(FormAnimations, OneIterationShowsThePlainHotButtonAtOnceWithoutTimer) {
    // Without glowing the overlay carries the hot glyph itself.
    manager->Effects()->SetAllowGlowing(false);
    TsCaptionButton& close = provider->ButtonClose;
    const POINT centre = ButtonCentre(close);
    ::SetCursorPos(centre.x, centre.y);
    const auto hot = static_cast<std::uint32_t>(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 1));
    for (Integer iterations : {1, 0}) {
        TacLayeredRecorder recorder;
        close.State = 1;
        provider->StartBtnAnimation(close, 1, iterations, true);
        ASSERT_NE(close.Timer, nullptr);
        EXPECT_FALSE(close.Timer->Enabled()) << iterations;
        ASSERT_NE(close.Timer->AForm, nullptr);
        const auto frames = recorder.FramesOf(close.Timer->AForm->Handle());
        EXPECT_EQ(Alphas(frames), std::vector<int>{255}) << iterations;
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0].Pixel(frames[0].Width / 2, frames[0].Height / 2), 0xFF000000u | hot) << iterations;
        provider->KillAnimations();
    }
}

TEST_F(FormAnimations, PressingJumpsToFullAndLeavingTheLitButtonTellsTheForm) {
    int leaves = 0;
    TsCaptionButton& close = provider->ButtonClose;
    const POINT centre = ButtonCentre(close);
    ::SetCursorPos(centre.x, centre.y);
    close.State = 1;
    provider->StartBtnAnimation(close, 1, 10, true);
    TacSBAnimation* timer = close.Timer;
    ASSERT_NE(timer, nullptr);
    // Pressed in the middle of the fade: full strength at once, pressed look.
    TacLayeredRecorder recorder;
    close.State = 2;
    provider->StartBtnAnimation(close, 2, 10, true);
    ASSERT_NE(timer->AForm, nullptr);
    const auto frames = recorder.FramesOf(timer->AForm->Handle());
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().Blend.SourceConstantAlpha, 255);
    const auto pressed = static_cast<std::uint32_t>(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 2));
    EXPECT_EQ(frames.front().Pixel(frames.front().Width / 2, frames.front().Height / 2) & 0xFFFFFF, pressed);

    // The mouse goes away while the button is lit: the form hears WM_MOUSELEAVE.
    TWndMethod saved = form->WindowProc;
    struct Spy {
        TWndMethod Saved;
        int* Count;
        void WndProc(TMessage& m) {
            if (m.Msg == WM_MOUSELEAVE) ++*Count;
            Saved(m);
        }
    } spy{saved, &leaves};
    form->WindowProc = TWndMethod::Of<&Spy::WndProc>(&spy);
    ::SetCursorPos(0, 0);
    EXPECT_TRUE(harness::PumpUntil([&] { return leaves > 0; }, 3000));
    EXPECT_FALSE(timer->Enabled());
    form->WindowProc = saved;
}

// ---- gates

TEST_F(FormAnimations, DisabledEffectsAndARunningBlendStartNothing) {
    manager->AnimEffects()->BlendOnMoving()->SetActive(false);
    manager->AnimEffects()->Minimizing()->SetActive(false);
    provider->StartBlendOnMoving();
    provider->StartMinimizeAnimation();
    EXPECT_EQ(provider->FormTimer, nullptr);
    EXPECT_EQ(provider->FormState & (FS_BLENDMOVING | FS_ANIMMINIMIZING), 0u);
    EXPECT_FALSE(provider->StartRestoreAnimation());   // nothing to restore from
    EXPECT_FALSE(Layered());

    manager->AnimEffects()->BlendOnMoving()->SetActive(true);
    provider->FormState |= FS_BLENDMOVING;
    provider->StartBlendOnMoving();
    EXPECT_EQ(provider->FormTimer, nullptr);
    provider->FormState &= ~FS_BLENDMOVING;
}

// ---- blend on moving

TEST_F(FormAnimations, MoveTimerLowersTheOpacityStepByStepToTheTarget) {
    auto* timer = New<TacMoveTimer>(provider);
    timer->FormHandle = Wnd();
    timer->BlendValue = 170;
    timer->BlendStep = 43;
    timer->SetEnabled(true);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        timer->TimeHandler();
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(::GetLayeredWindowAttributes(Wnd(), nullptr, &alpha, &flags));
        shown.push_back(alpha);
    }
    EXPECT_EQ(shown, (std::vector<int>{255, 212, 169, 169}));
    timer->Free();
    ::SetWindowLongW(Wnd(), GWL_EXSTYLE, ::GetWindowLongW(Wnd(), GWL_EXSTYLE) & ~WS_EX_LAYERED);
}

// Watches the form's opacity from inside the system move loop and releases
// the mouse button once the form has faded to the target or below (or after
// a while).
struct MoveLoopWatch {
    static inline HWND Wnd = nullptr;
    static inline Byte Target = 0;
    static inline std::vector<int> Seen;
    static inline int Ticks = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        BYTE alpha = 0;
        DWORD flags = 0;
        if (::GetLayeredWindowAttributes(Wnd, nullptr, &alpha, &flags) && (Seen.empty() || Seen.back() != alpha))
            Seen.push_back(alpha);
        if (++Ticks == 200 || (!Seen.empty() && Seen.back() <= Target)) ::PostMessageW(Wnd, WM_LBUTTONUP, 0, 0);
    }
};

TEST_F(FormAnimations, BlendOnMovingFadesDuringTheMoveAndEndsWithTheFormInPlaceAndItsOwnLook) {
    TacBlendOnMoving* effect = manager->AnimEffects()->BlendOnMoving();
    effect->SetActive(true);
    effect->SetBlendValue(150);
    struct Case {
        bool AlphaBlend;
        Byte Alpha;
        Word Time;
        std::vector<int> Fade;   // opacities seen in the move loop
    } const cases[] = {
        {false, 255, 12, {255, 150}},                       // one step
        {false, 255, 48, {255, 229, 203, 177, 151, 125}},   // 105 / 4 = 26.25: 26 a step, past the target
        {true, 200, 12, {200, 95}},                         // from the form's own opacity
    };
    for (const Case& c : cases) {
        effect->SetTime(c.Time);
        form->SetAlphaBlendValue(c.Alpha);
        form->SetAlphaBlend(c.AlphaBlend);
        harness::PumpUntilIdle(20, 500);
        RECT before{};
        ::GetWindowRect(Wnd(), &before);
        MoveLoopWatch::Wnd = Wnd();
        MoveLoopWatch::Target = 150;
        MoveLoopWatch::Seen.clear();
        MoveLoopWatch::Ticks = 0;
        const UINT_PTR watch = ::SetTimer(nullptr, 0, 5, &MoveLoopWatch::Tick);
        provider->StartBlendOnMoving();
        ::KillTimer(nullptr, watch);
        EXPECT_EQ(MoveLoopWatch::Seen, c.Fade) << c.AlphaBlend << " " << c.Time;
        RECT after{};
        ::GetWindowRect(Wnd(), &after);
        EXPECT_TRUE(::EqualRect(&before, &after)) << c.AlphaBlend;
        EXPECT_EQ(provider->FormState & FS_BLENDMOVING, 0u);
        EXPECT_EQ(provider->FormTimer, nullptr);
        EXPECT_EQ(Layered(), c.AlphaBlend);
        if (c.AlphaBlend) {
            BYTE alpha = 0;
            DWORD flags = 0;
            ASSERT_TRUE(::GetLayeredWindowAttributes(Wnd(), nullptr, &alpha, &flags));
            EXPECT_EQ(alpha, c.Alpha);
        }
        harness::PumpUntilIdle(20, 500);
    }
    form->SetAlphaBlend(false);
}

// ---- minimize and restore

TEST_F(FormAnimations, MinimizingStepCountAndBlendStep) {
    TacMinimizing* effect = manager->AnimEffects()->Minimizing();
    struct Case {
        Word Time;
        Integer Steps;
        double Blend;
    } const cases[] = {{100, 6, 51.0}, {200, 13, 255.0 / 12}, {14, 1, 255.0}, {0, 1, 255.0}};
    for (const Case& c : cases) {
        effect->SetTime(c.Time);
        auto* timer = New<TacMinTimer>(provider);
        EXPECT_EQ(timer->StepCount, c.Steps) << c.Time;
        EXPECT_DOUBLE_EQ(timer->BlendStep, c.Blend) << c.Time;
        EXPECT_EQ(timer->Interval(), 15u);
        EXPECT_EQ(timer->CurrentAlpha, 255);
        timer->Free();
    }
}

TEST_F(FormAnimations, MinimizeThenRestoreLeavesTheFormRestoredOpaqueWithItsRegion) {
    TacMinimizing* effect = manager->AnimEffects()->Minimizing();
    effect->SetActive(true);
    effect->SetTime(100);
    HRGN before = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(Wnd(), before), ERROR);
    RECT place{};
    ::GetWindowRect(Wnd(), &place);

    TacLayeredRecorder recorder;
    // Started the way the skin manager starts it on SC_MINIMIZE.
    static_cast<TacFormProvider*>(provider)->StartMinimizeAnimation();
    TacMinTimer* timer = MinTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(provider->fAnimating);
    EXPECT_TRUE(Layered());
    ASSERT_NE(timer->AnimForm, nullptr);
    const HWND anim = timer->AnimForm->Handle();
    ASSERT_TRUE(harness::PumpUntil([&] { return (provider->FormState & FS_ANIMMINIMIZING) == 0; }, 3000));
    // 255 less 51 a step; the last push hides the picture.
    std::vector<int> alphas = Alphas(recorder.FramesOf(anim));
    ASSERT_GE(alphas.size(), 5u);
    EXPECT_EQ(std::vector<int>(alphas.end() - 5, alphas.end()), (std::vector<int>{204, 153, 102, 51, 0}));
    EXPECT_FALSE(::IsWindowVisible(anim));
    EXPECT_TRUE(timer->Minimized);
    ::ShowWindow(Wnd(), SW_HIDE);

    recorder.Frames.clear();
    ASSERT_TRUE(provider->StartRestoreAnimation());
    EXPECT_FALSE(provider->StartRestoreAnimation());   // already restoring
    ASSERT_TRUE(harness::PumpUntil([&] { return (provider->FormState & FS_ANIMRESTORING) == 0; }, 3000));
    alphas = Alphas(recorder.FramesOf(anim));
    EXPECT_EQ(alphas, (std::vector<int>{51, 102, 153, 204, 255}));
    EXPECT_EQ(timer->AnimForm, nullptr);
    EXPECT_FALSE(::IsWindow(anim));
    EXPECT_FALSE(provider->fAnimating);
    EXPECT_TRUE(::IsWindowVisible(Wnd()));
    EXPECT_FALSE(::IsIconic(Wnd()));
    EXPECT_FALSE(Layered());
    RECT now{};
    ::GetWindowRect(Wnd(), &now);
    EXPECT_TRUE(::EqualRect(&place, &now));
    HRGN after = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(Wnd(), after), ERROR);
    EXPECT_TRUE(::EqualRgn(before, after));
    ::DeleteObject(before);
    ::DeleteObject(after);
}

TEST_F(FormAnimations, ShortMinimizingEndsAtTheFirstTickAndRestoringTurnsInTheMiddle) {
    TacMinimizing* effect = manager->AnimEffects()->Minimizing();
    effect->SetActive(true);
    effect->SetTime(10);
    provider->StartMinimizeAnimation();
    TacMinTimer* timer = MinTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->StepCount, 1);
    timer->SetEnabled(false);   // ticks by hand from here
    timer->TimeHandler();
    EXPECT_EQ(provider->FormState & FS_ANIMMINIMIZING, 0u);
    EXPECT_EQ(timer->CurrentAlpha, 0);
    EXPECT_FALSE(Layered());
    provider->KillAnimations();
    EXPECT_EQ(provider->FormTimer, nullptr);

    // A restore while still shrinking goes on from the current picture.
    effect->SetTime(100);
    provider->StartMinimizeAnimation();
    timer = MinTimer();
    ASSERT_NE(timer, nullptr);
    timer->SetEnabled(false);
    timer->TimeHandler();
    timer->TimeHandler();
    EXPECT_EQ(timer->CurrentAlpha, 153);
    const double width = timer->CurRight - timer->CurLeft;
    ASSERT_TRUE(provider->StartRestoreAnimation());
    timer->SetEnabled(false);
    timer->TimeHandler();
    EXPECT_EQ(timer->CurrentAlpha, 204);
    EXPECT_DOUBLE_EQ(timer->CurRight - timer->CurLeft, width + 2 * timer->DeltaW);
    timer->TimeHandler();
    EXPECT_EQ(provider->FormState & FS_ANIMRESTORING, 0u);
    EXPECT_FALSE(Layered());
    EXPECT_TRUE(::IsWindowVisible(Wnd()));
}

TEST_F(FormAnimations, KillAnimationsGivesAHalfMinimizedFormItsLookBack) {
    manager->AnimEffects()->Minimizing()->SetActive(true);
    manager->AnimEffects()->Minimizing()->SetTime(1000);
    provider->StartMinimizeAnimation();
    ASSERT_NE(MinTimer(), nullptr);
    EXPECT_TRUE(Layered());
    provider->KillAnimations();
    EXPECT_EQ(provider->FormTimer, nullptr);
    EXPECT_FALSE(Layered());
    EXPECT_EQ(provider->FormState & (FS_ANIMMINIMIZING | FS_ANIMRESTORING), 0u);
    EXPECT_FALSE(provider->fAnimating);
}

TEST_F(FormAnimations, FreeingTheProviderInTheMiddleOfItsAnimations) {
    // The timers go with the provider's components before the provider's own
    // clean-up runs; nothing may be freed twice or left pointing at them.
    manager->AnimEffects()->Minimizing()->SetActive(true);
    manager->AnimEffects()->Minimizing()->SetTime(1000);
    TsCaptionButton& close = provider->ButtonClose;
    close.State = 1;
    provider->StartBtnAnimation(close, 1, 10, true);
    provider->StartMinimizeAnimation();
    ASSERT_NE(close.Timer, nullptr);
    ASSERT_NE(MinTimer(), nullptr);
    const HWND overlay = close.Timer->AForm->Handle();
    const HWND cover = MinTimer()->AnimForm->Handle();
    EXPECT_TRUE(Layered());
    provider->Free();
    provider = nullptr;
    harness::PumpUntilIdle(20, 500);
    // The overlay and the cover went with their timers; the form shows again.
    EXPECT_FALSE(::IsWindow(overlay));
    EXPECT_FALSE(::IsWindow(cover));
    EXPECT_FALSE(Layered());
}

TEST_F(FormAnimations, BottomTaskbarWithoutButtonTakesTheFormToItsTopEdge) {
    if (::FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "a real taskbar exists";
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Shell_TrayWnd";
    ::RegisterClassW(&wc);
    const int sw = ::GetSystemMetrics(SM_CXSCREEN);
    const int sh = ::GetSystemMetrics(SM_CYSCREEN);
    HWND tray = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, sh - 40, sw, 40, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(FindTaskbarButtonRect().IsEmpty());
    auto* timer = New<TacMinTimer>(provider);
    RECT wr{};
    ::GetWindowRect(Wnd(), &wr);
    EXPECT_EQ(timer->TBPosition, tbpBottom);
    EXPECT_EQ(timer->RectTo.TopLeft(), TPoint(wr.left + (wr.right - wr.left) / 2, sh - 40));
    EXPECT_DOUBLE_EQ(timer->DeltaY, double(sh - 40 - (wr.top + (wr.bottom - wr.top) / 2)) / timer->StepCount);
    timer->Free();
    ::DestroyWindow(tray);
    ::UnregisterClassW(L"Shell_TrayWnd", wc.hInstance);
}

TEST_F(FormAnimations, TaskbarButtonFoundThroughTheShellsToolBar) {
    if (::FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "a real taskbar exists";
    // A taskbar of our own: the shell's window chain with a real tool bar
    // whose second button stands for the program (its data points at the
    // program's taskbar window), the first for another one, the third hidden.
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    for (const wchar_t* cls : {L"Shell_TrayWnd", L"MSTaskSwWClass"}) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = inst;
        wc.lpszClassName = cls;
        ::RegisterClassW(&wc);
    }
    const int sh = ::GetSystemMetrics(SM_CYSCREEN);
    HWND tray = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE, 0, sh - 40, 800, 40,
                                  nullptr, nullptr, inst, nullptr);
    HWND rebar = ::CreateWindowExW(0, REBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 800, 40, tray, nullptr, inst,
                                   nullptr);
    HWND task = ::CreateWindowExW(0, L"MSTaskSwWClass", L"", WS_CHILD | WS_VISIBLE, 60, 0, 700, 40, rebar, nullptr,
                                  inst, nullptr);
    HWND bar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NODIVIDER, 10,
                                 2, 600, 36, task, nullptr, inst, nullptr);
    ASSERT_NE(bar, nullptr);
    ::SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    static HWND other = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
    static HWND ours = nullptr;
    ours = Application->Handle();
    TBBUTTON buttons[3] = {};
    for (int i = 0; i < 3; ++i) {
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = 100 + i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    buttons[0].dwData = reinterpret_cast<DWORD_PTR>(&other);
    buttons[1].dwData = reinterpret_cast<DWORD_PTR>(&ours);
    buttons[2].dwData = reinterpret_cast<DWORD_PTR>(&ours);
    buttons[2].fsState |= TBSTATE_HIDDEN;
    ::SendMessageW(bar, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(buttons));
    RECT item{};
    ASSERT_TRUE(::SendMessageW(bar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    ::MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&item), 2);

    EXPECT_EQ(FindTaskbarButtonRect(), TRect(item.left, item.top, item.right, item.bottom));
    // The minimize animation shrinks the form into that button.
    auto* timer = New<TacMinTimer>(provider);
    EXPECT_EQ(timer->RectTo, TRect(item.left, item.top, item.right, item.bottom));
    timer->Free();

    // A hidden button of ours is no target.
    ::SendMessageW(bar, TB_HIDEBUTTON, 101, TRUE);
    EXPECT_TRUE(FindTaskbarButtonRect().IsEmpty());

    ::DestroyWindow(tray);
    for (const wchar_t* cls : {L"Shell_TrayWnd", L"MSTaskSwWClass"}) ::UnregisterClassW(cls, inst);
}

// ---- the picture of the whole form

TEST_F(FormAnimations, CopyFormCacheIsAnOpaquePictureOfTheFrame) {
    harness::PumpUntilIdle(20, 500);
    TBitmap* cache = provider->SkinData()->FCacheBmp;
    ASSERT_NE(cache, nullptr);
    ASSERT_FALSE(cache->Empty());
    TBitmap* copy = provider->CopyFormCache(false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Width(), cache->Width());
    EXPECT_EQ(copy->Height(), cache->Height());
    const TacBits32 bits = Bits32Of(copy);
    ASSERT_TRUE(bits.Valid());
    int notOpaque = 0;
    for (int y = 0; y < bits.Height; ++y)
        for (int x = 0; x < bits.Width; ++x)
            if ((bits.At(x, y) >> 24) != 255) ++notOpaque;
    EXPECT_EQ(notOpaque, 0);
    // The close button and the title are where the frame has them.
    const TRect c = provider->ButtonClose.Rect;
    EXPECT_EQ(bits.At((c.Left + c.Right) / 2, (c.Top + c.Bottom) / 2) & 0xFFFFFF,
              static_cast<std::uint32_t>(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 0)));
    copy->Free();

    copy = provider->CopyFormCache(true);
    ASSERT_NE(copy, nullptr);
    copy->Free();
    EXPECT_EQ(provider->SkinData()->FCacheBmp, nullptr);
    EXPECT_EQ(provider->CopyFormCache(false), nullptr);
    // The next paint makes the cache again.
    ::RedrawWindow(Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    harness::PumpUntilIdle(20, 500);
    EXPECT_NE(provider->SkinData()->FCacheBmp, nullptr);
}

TEST_F(FormAnimations, WholeFormPictureHoldsTheWindowedChildrenAndAHiddenChildShowsTheBackground) {
    // A plain panel in a colour of its own, at (30, 20) of the client area,
    // with a second one inside it.
    auto* panel = New<TPanel>(form);
    panel->SetBevelOuter(bvNone);
    panel->SetShowCaption(false);
    panel->SetParentBackground(false);
    panel->SetColor(static_cast<TColor>(0x0000C0));
    panel->SetBounds(30, 20, 80, 60);
    panel->SetParent(form);
    auto* inner = New<TPanel>(form);
    inner->SetBevelOuter(bvNone);
    inner->SetShowCaption(false);
    inner->SetParentBackground(false);
    inner->SetColor(static_cast<TColor>(0xC00000));
    inner->SetBounds(40, 30, 20, 20);
    inner->SetParent(panel);
    harness::PumpUntilIdle(20, 500);

    TBitmap* copy = provider->CopyFormCache(false);
    ASSERT_NE(copy, nullptr);
    const TacBits32 bits = Bits32Of(copy);
    const Integer ox = provider->OffsetX();
    const Integer oy = provider->OffsetY();
    EXPECT_EQ(bits.At(ox + 35, oy + 25), 0xFFC00000u);        // the panel (red as 0xAARRGGBB)
    EXPECT_EQ(bits.At(ox + 30 + 45, oy + 20 + 35), 0xFF0000C0u);   // the inner panel
    // The client background as the form prints it.
    const harness::Capture printed = harness::CaptureWindow(Wnd(), harness::CaptureSource::Print);
    const COLORREF bg = printed.Pixel(ox + 200, oy + 100);
    const std::uint32_t client = 0xFF000000u | (GetRValue(bg) << 16) | (GetGValue(bg) << 8) | GetBValue(bg);
    EXPECT_EQ(bits.At(ox + 200, oy + 100), client);
    copy->Free();

    // Hidden, without a provider of its own: the form's background in its place.
    panel->SetVisible(false);
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(80, 60));
    PaintFormTo(bmp.get(), panel, 0, 0, nullptr);
    ::GdiFlush();
    EXPECT_EQ(Bits32Of(bmp.get()).At(10, 10) & 0xFFFFFF, client & 0xFFFFFF);
    panel->Free();
}

// ---- main menu

TEST_F(FormAnimations, SkinnableMainMenu) {
    struct Case {
        const char* Name;
        bool Menu;
        Integer Items;
        bool AutoMerge;
        TFormBorderStyle Style;
        bool Expected;
    } const cases[] = {
        {"no menu", false, 0, false, TFormBorderStyle::bsSizeable, false},
        {"empty menu", true, 0, false, TFormBorderStyle::bsSizeable, false},
        {"own items", true, 2, false, TFormBorderStyle::bsSizeable, true},
        {"auto-merged only", true, 2, true, TFormBorderStyle::bsSizeable, false},
        {"dialog", true, 2, false, TFormBorderStyle::bsDialog, false},
        {"single", true, 1, false, TFormBorderStyle::bsSingle, true},
    };
    for (const Case& c : cases) {
        TMainMenu* menu = nullptr;
        if (c.Menu) {
            menu = New<TMainMenu>(form);
            menu->SetAutoMerge(c.AutoMerge);
            for (Integer i = 0; i < c.Items; ++i) menu->Items()->Add(New<TMenuItem>(menu));
            form->SetMenu(menu);
        }
        form->BorderStyle = c.Style;
        EXPECT_EQ(provider->HasSkinnableMainMenu(), c.Expected) << c.Name;
        if (menu) menu->Free();
        EXPECT_EQ(form->Menu(), nullptr) << c.Name;
    }
    form->BorderStyle = TFormBorderStyle::bsSizeable;
}

// ---- objects stay flat

TEST_F(FormAnimations, RepeatedFadesAndMinimizeCyclesKeepObjectCountsFlat) {
    TacMinimizing* effect = manager->AnimEffects()->Minimizing();
    effect->SetActive(true);
    effect->SetTime(30);
    TsCaptionButton& close = provider->ButtonClose;
    const POINT centre = ButtonCentre(close);
    ::SetCursorPos(centre.x, centre.y);
    auto fade = [&] {
        close.State = 1;
        provider->StartBtnAnimation(close, 1, 3, true);
        harness::PumpUntil([&] { return close.Timer && close.Timer->MaxIterations == -1; }, 2000);
        close.State = 0;
        provider->StartBtnAnimation(close, 0, 3, false);
        harness::PumpUntil([&] { return close.Timer && close.Timer->CurrentState == -1; }, 2000);
        provider->KillAnimations();
    };
    auto cycle = [&] {
        provider->StartMinimizeAnimation();
        harness::PumpUntil([&] { return (provider->FormState & FS_ANIMMINIMIZING) == 0; }, 2000);
        provider->StartRestoreAnimation();
        harness::PumpUntil([&] { return (provider->FormState & FS_ANIMRESTORING) == 0; }, 2000);
    };
    fade();
    cycle();
    provider->KillAnimations();
    harness::PumpUntilIdle(20, 500);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 50; ++i) fade();
    for (int i = 0; i < 20; ++i) cycle();
    provider->KillAnimations();
    harness::PumpUntilIdle(20, 500);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 8);
    EXPECT_EQ(harness::WindowCount(), windows);
    if (user) {
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user + 2);
    }
    EXPECT_FALSE(Layered());
}

}  // namespace
