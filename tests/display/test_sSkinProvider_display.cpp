// The skinned frame of a form on a real screen with the test skin: the
// border, the title and the close button reach the screen in the skin's
// colours, the corners are cut away, and the mouse over the close button
// makes it hot. The picture stays beside the test program
// (skinned-frame.bmp).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

TEST(SkinnedFrameDisplay, TheScreenShowsBorderTitleAndCloseButtonOfTheSkin) {
    std::random_device r;
    const fs::path root = fs::temp_directory_path() / ("kestrune-frame-display-" + std::to_string(r()));
    skingen::WriteTestSkin(root / "Test");
    auto* manager = New<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(root.u16string());
    manager->SetSkinName(u"Test");
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
                return cap.Pixel(1, cap.Height / 2) == Ref(skingen::TestMaskColour("FORM", "BORDERSMASK", state)) &&
                       cap.Pixel(beside, titleBottom - 1) == Ref(skingen::TestSectionColour("FORMTITLE", state)) &&
                       cap.Pixel(cap.Width / 3, titleBottom / 2) == Ref(skingen::TestSectionColour("CAPTION", state)) &&
                       cap.Pixel((c.Left + c.Right) / 2, (c.Top + c.Bottom) / 2) == close;
            },
            5000);
    };
    const COLORREF closeNormal = Ref(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 0));
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
    EXPECT_TRUE(frameShows(1, Ref(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 1))));
    ::SetCursorPos(wr.left + 10, wr.bottom + 40);
    harness::PumpUntilIdle(20, 500);

    form->Free();
    manager->Free();
    harness::PumpUntilIdle(10, 500);
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
