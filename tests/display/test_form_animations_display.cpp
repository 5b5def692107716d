// The fade of a caption button on a real screen: the overlay laid over the
// hot close button shows the skin's glow for it at full strength, lets the
// mouse through to the form, and leaves the button's normal look behind once
// it has faded out. The picture stays beside the test program
// (button-overlay.bmp).
#include <gtest/gtest.h>

#include <filesystem>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acFormAnimTimers.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"
#include "sVclUtils.h"

namespace fs = std::filesystem;

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF ScreenPixel(POINT p) {
    const HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, p.x, p.y);
    ::ReleaseDC(nullptr, dc);
    return c;
}

bool ScreenShows(POINT p, COLORREF colour) {
    return harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            return harness::ColourDistance(ScreenPixel(p), colour) <= 6;
        },
        8000);
}

TEST(FormAnimationsDisplay, ButtonOverlayShowsTheGlowLetsTheMouseThroughAndGoes) {
    if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    const kestrune_test::TestSkinSession skin("kestrune-anim-display-");
    TsSkinManager* const manager = skin.Manager();
    ASSERT_TRUE(manager->SkinData()->Active);
    auto* form = New<TForm>(Application);
    form->SetCaption(u"Button fade");
    form->SetBounds(140, 120, 360, 240);
    auto* provider = New<TsSkinProvider>(form);
    form->Show();
    ::SetForegroundWindow(form->Handle());
    harness::PumpUntilIdle(50, 2000);

    TsCaptionButton& close = provider->ButtonClose;
    RECT wr{};
    ::GetWindowRect(form->Handle(), &wr);
    const POINT centre{wr.left + (close.Rect.Left + close.Rect.Right) / 2,
                       wr.top + (close.Rect.Top + close.Rect.Bottom) / 2};
    const COLORREF normal = TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 0));
    const COLORREF glow = TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSEGLOW0", 0));
    ASSERT_TRUE(ScreenShows(centre, normal));

    ::SetCursorPos(centre.x, centre.y);
    close.State = 1;
    provider->StartBtnAnimation(close, 1, 5, true);
    ASSERT_NE(close.Timer, nullptr);
    TacSBAnimation* timer = close.Timer;
    ASSERT_TRUE(harness::PumpUntil([&] { return timer->MaxIterations == -1; }, 3000));
    ASSERT_NE(timer->AForm, nullptr);
    const HWND overlay = timer->AForm->Handle();
    const bool lit = ScreenShows(centre, glow);
    const harness::Capture cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
    cap.SaveBmp((fs::path(harness::ModuleFolder()) / L"button-overlay.bmp").wstring().c_str());
    EXPECT_TRUE(lit) << std::hex << ScreenPixel(centre);
    EXPECT_TRUE(::IsWindowVisible(overlay));
    // Click-through: the point belongs to the form, not to the overlay.
    EXPECT_EQ(::GetAncestor(::WindowFromPoint(centre), GA_ROOT), form->Handle());

    // The mouse leaves; the button fades back to its normal look.
    ::SetCursorPos(wr.left + 10, wr.bottom + 40);
    harness::PumpUntilIdle(20, 500);
    provider->SetHotHT(0, true);   // what the frame does when the mouse leaves it
    provider->StartBtnAnimation(close, 0, 5, false);
    ASSERT_TRUE(harness::PumpUntil([&] { return timer->CurrentState == -1; }, 3000));
    EXPECT_FALSE(::IsWindow(overlay));
    EXPECT_TRUE(ScreenShows(centre, normal)) << std::hex << ScreenPixel(centre);

    form->Free();
    harness::PumpUntilIdle(20, 500);
}

}  // namespace
