// The skinned frame of a form on a real screen with the test skin: the
// border, the title and the close button reach the screen in the skin's
// colours, the corners are cut away, and the mouse over the close button
// makes it hot. The picture stays beside the test program
// (skinned-frame.bmp).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TEST(SkinnedFrameDisplay, TheScreenShowsBorderTitleAndCloseButtonOfTheSkin) {
    const kestrune_test::TestSkinSession skin("kestrune-frame-display-");
    TsSkinManager* const manager = skin.Manager();
    ASSERT_TRUE(manager->SkinData()->Active);

    auto* form = New<TForm>(Application);
    form->SetCaption(u"Skinned frame");
    form->SetBounds(120, 100, 360, 240);
    auto* provider = New<TsSkinProvider>(form);
    form->Show();
    ::SetForegroundWindow(form->Handle());

    const int titleBottom = SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true);
    const int beside = provider->TitleIconRect().Right + 1;
    harness::Capture cap;
    auto frameShows = [&](int state, COLORREF close) {
        return harness::PumpUntil(
            [&] {
                harness::PumpUntilIdle(20, 200);
                cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
                const TRect c = provider->ButtonClose.Rect;
                return cap.Pixel(1, cap.Height / 2) == TestRef(skingen::TestMaskColour("FORM", "BORDERSMASK", state)) &&
                       cap.Pixel(beside, titleBottom - 1) == TestRef(skingen::TestSectionColour("FORMTITLE", state)) &&
                       cap.Pixel(cap.Width / 3, titleBottom / 2) == TestRef(skingen::TestSectionColour("CAPTION", state)) &&
                       cap.Pixel((c.Left + c.Right) / 2, (c.Top + c.Bottom) / 2) == close;
            },
            5000);
    };
    const COLORREF closeNormal = TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 0));
    const bool shown = frameShows(1, closeNormal);
    cap.SaveBmp((fs::path(harness::ModuleFolder()) / L"skinned-frame.bmp").wstring().c_str());
    EXPECT_TRUE(shown) << "border " << std::hex << cap.Pixel(1, cap.Height / 2) << " title "
                       << cap.Pixel(beside, titleBottom - 1) << " close "
                       << cap.Pixel((provider->ButtonClose.Rect.Left + provider->ButtonClose.Rect.Right) / 2,
                                    (provider->ButtonClose.Rect.Top + provider->ButtonClose.Rect.Bottom) / 2);

    // The window region cuts the key-coloured corners.
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(::GetWindowRgn(form->Handle(), rgn), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn, 0, 0));
    EXPECT_TRUE(::PtInRegion(rgn, skingen::TestKeyCorner, 0));
    ::DeleteObject(rgn);

    // The real mouse over the close button makes it hot.
    const TRect c = provider->ButtonClose.Rect;
    RECT wr;
    ::GetWindowRect(form->Handle(), &wr);
    ::SetCursorPos(wr.left + (c.Left + c.Right) / 2, wr.top + (c.Top + c.Bottom) / 2);
    EXPECT_TRUE(frameShows(1, TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 1))));
    ::SetCursorPos(wr.left + 10, wr.bottom + 40);
    harness::PumpUntilIdle(20, 500);

    form->Free();
}

}  // namespace
