// The skinned check box on a real screen with the test skin: its normal
// paint (no DC in wParam) reaches the screen, a real click toggles it and
// shows the checked mark, and the picture is kept in the build tree
// (skinned-checkbox.bmp beside the test program).
#include <gtest/gtest.h>

#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sCheckBox.h"
#include "sSkinManager.h"

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

void ClickAt(POINT p) {
    ::SetCursorPos(p.x, p.y);
    INPUT in[2] = {};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].type = INPUT_MOUSE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, in, sizeof(INPUT));
}

TEST(SkinnedCheckBoxDisplay, TheScreenShowsTheMarkAndARealClickTogglesIt) {
    const kestrune_test::TestSkinSession skin("kestrune-chk-display-");
    TsSkinManager* const manager = skin.Manager();
    ASSERT_TRUE(manager->SkinData()->Active);

    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 240, 80);
    auto* box = New<TsCheckBox>(form);
    box->SetParent(form);
    box->SetBounds(10, 10, 140, 24);
    box->SetCaption(u"win-1251 ->utf-8");
    form->Show();

    const TRect m = box->CheckRect();
    const POINT centre{box->Left() + (m.Left + m.Right) / 2, box->Top() + (m.Top + m.Bottom) / 2};
    auto markShows = [&](const char* mask, int frame, harness::Capture& cap) {
        const COLORREF want = TestRef(skingen::TestMaskColour("GLOBALINFO", mask, frame));
        return harness::PumpUntil(
            [&] {
                harness::PumpUntilIdle(20, 200);
                cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
                return cap.Pixel(centre.x, centre.y) == want;
            },
            5000);
    };
    harness::Capture cap;
    EXPECT_TRUE(markShows("BOXUNCHECKED", 0, cap)) << std::hex << cap.Pixel(centre.x, centre.y);

    // A real click: pressed on the way down, checked (and hot, the mouse
    // still above it) after the release.
    ClickAt(form->ClientToScreen(centre));
    EXPECT_TRUE(harness::PumpUntil([&] { return box->Checked(); }, 5000));
    EXPECT_TRUE(markShows("BOXCHECKED", 1, cap)) << std::hex << cap.Pixel(centre.x, centre.y);
    cap.SaveBmp((harness::ModuleFolder() + L"skinned-checkbox.bmp").c_str());

    form->Free();
}

}  // namespace
