// A glow on a real screen with a compositor: the real mouse moves over a
// control whose section has a glow, the translucent glow shows round it (read
// back from the screen and saved as glow-display.bmp beside the test
// program), it stays while the mouse rests there, the mouse passes through
// it, and it goes when the mouse leaves.
#include <gtest/gtest.h>

#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GlowTestSkin.h"
#include "GuiHarness.h"
#include "TempFolder.h"
#include "SkinnedTestControl.h"
#include "acGlow.h"
#include "sCommonDataWin.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// A control with a skin state that runs the shared message handling.
using TGlowingControl = kestrune_test::TSkinnedTestControl;

void MoveMouseTo(POINT p) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((p.x * 65535LL + w / 2) / (w - 1));
    input.mi.dy = static_cast<LONG>((p.y * 65535LL + h / 2) / (h - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof(INPUT));
}

// Runs the application's own message loop (its idle work tells controls of
// the mouse) until the predicate holds or the time runs out.
template <class Pred>
bool RunUntil(Pred pred, int timeoutMs) {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 15, nullptr);   // wakes the loop's wait
    const DWORD start = ::GetTickCount();
    bool ok = pred();
    while (!ok && static_cast<int>(::GetTickCount() - start) < timeoutMs) {
        Application->HandleMessage();
        ok = pred();
    }
    ::KillTimer(nullptr, timer);
    return ok;
}

COLORREF ScreenPixel(POINT p) {
    const HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, p.x, p.y);
    ::ReleaseDC(nullptr, dc);
    return c;
}

bool Bluish(COLORREF c) { return GetBValue(c) > GetRValue(c) + 60 && GetBValue(c) > GetGValue(c) + 60; }

using harness::BesideProgram;

TEST(GlowDisplay, HoveringAControlShowsItsGlowAndLeavingTakesItAway) {
    acGlowInitialization();
    if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    harness::TempFolder skins("kestrune-glow-display-");
    harness::WriteGlowTestSkin(skins.Path());
    auto* manager = New<TsSkinManager>(Application);
    manager->SetSkinDirectory(skins.Path().u16string());
    manager->SetSkinName(u"G");
    ASSERT_TRUE(manager->SkinData()->Active);

    const COLORREF grey = RGB(208, 208, 208);
    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 320, 200);
    form->SetColor(static_cast<TColor>(grey));
    auto* control = New<TGlowingControl>(form);
    control->SetParent(form);
    control->SetBounds(110, 80, 100, 30);
    control->SetColor(static_cast<TColor>(RGB(40, 120, 40)));
    form->Show();
    control->SkinData->SetSkinSection(u"GLOWY");
    ASSERT_GE(control->SkinData->SkinIndex, 0);

    MoveMouseTo(POINT{20, 20});   // away from the form
    const POINT inBand{100 + 110 - 3, 100 + 80 + 15};   // left of the control, inside the glow
    ASSERT_TRUE(RunUntil([&] { return ScreenPixel(inBand) == grey; }, 10000))
        << std::hex << ScreenPixel(inBand);

    const POINT centre = control->ClientToScreen(POINT{50, 15});
    MoveMouseTo(centre);
    const bool glowing = RunUntil([&] { return control->SkinData->GlowID >= 0 && Bluish(ScreenPixel(inBand)); }, 10000);
    harness::Capture shot = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
    shot.SaveBmp(BesideProgram(L"glow-display.bmp").c_str());
    ASSERT_TRUE(glowing) << "glow " << control->SkinData->GlowID << ", pixel " << std::hex << ScreenPixel(inBand);

    // The glow shows all round the control and not over it.
    EXPECT_TRUE(Bluish(shot.Pixel(110 + 50, 80 - 3)));
    EXPECT_TRUE(Bluish(shot.Pixel(110 + 100 + 2, 80 + 15)));
    EXPECT_TRUE(Bluish(shot.Pixel(110 + 50, 80 + 30 + 2)));
    EXPECT_EQ(shot.Pixel(110 + 50, 80 + 15), RGB(40, 120, 40));
    EXPECT_EQ(shot.Pixel(110 - 20, 80 + 15), grey);

    // Resting on the control keeps the same glow: the glow window never
    // takes the mouse from the control, and the mouse passes through it.
    const Integer id = control->SkinData->GlowID;
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(control->SkinData->GlowID, id);
    EXPECT_EQ(GlowCount(), 1);
    EXPECT_EQ(::WindowFromPoint(centre), control->Handle());
    EXPECT_EQ(::WindowFromPoint(inBand), form->Handle());

    MoveMouseTo(POINT{20, 20});
    EXPECT_TRUE(RunUntil([&] { return GlowCount() == 0 && ScreenPixel(inBand) == grey; }, 10000))
        << std::hex << ScreenPixel(inBand);

    form->Free();
    manager->Free();
    harness::PumpUntilIdle(10, 500);
    acGlowFinalization();
}

}  // namespace
