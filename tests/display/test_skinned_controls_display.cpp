// The skinned panel, label and progress bar on a real screen with the test
// skin: what the screen shows matches the sections, and the picture is kept
// in the build tree (skinned-controls.bmp beside the test program).
#include <gtest/gtest.h>

#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acProgressBar.h"
#include "sLabel.h"
#include "sPanel.h"
#include "sSkinManager.h"

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TEST(SkinnedControlsDisplay, PanelLabelAndProgressBarShowTheirSections) {
    const kestrune_test::TestSkinSession skin("kestrune-ctl-display-");
    TsSkinManager* const manager = skin.Manager();
    ASSERT_TRUE(manager->SkinData()->Active);

    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 320, 200);
    auto* panel = New<TsPanel>(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 320, 90);
    panel->SetCaption(u"Skinned panel");
    auto* low = New<TsPanel>(form);
    low->SetParent(form);
    low->SetBounds(10, 100, 300, 60);
    low->SetBevelOuter(bvLowered);
    auto* label = New<TsLabel>(form);
    label->SetParent(low);
    label->SetBounds(12, 10, 60, 16);
    label->SetCaption(u"skin");
    auto* bar = New<TsProgressBar>(form);
    bar->SetParent(form);
    bar->SetBounds(10, 172, 300, 16);
    bar->SetPosition(60);
    form->Show();

    const COLORREF panelColour = TestRef(skingen::TestSectionColour("PANEL", 0));
    const COLORREF lowColour = TestRef(skingen::TestSectionColour("PANEL_LOW", 0));
    const COLORREF gaugeColour = TestRef(skingen::TestSectionColour("GAUGE", 0));
    harness::Capture cap;
    const bool shown = harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
            return cap.Pixel(160, 80) == panelColour && cap.Pixel(160, 150) == lowColour &&
                   cap.Pixel(300, 180) == gaugeColour;
        },
        10000);
    cap.SaveBmp((harness::ModuleFolder() + L"skinned-controls.bmp").c_str());
    ASSERT_TRUE(shown) << std::hex << cap.Pixel(160, 80) << "/" << panelColour << " " << cap.Pixel(160, 150) << "/"
                       << lowColour << " " << cap.Pixel(300, 180) << "/" << gaugeColour;
    EXPECT_EQ(cap.Pixel(10, 130), TestRef(skingen::TestMaskColour("PANEL_LOW", "BORDERSMASK", 0)));
    EXPECT_TRUE(cap.Contains(TestRef(skingen::TestFontColour("PANEL", 0)))) << "the panel's caption";
    EXPECT_NE(cap.Pixel(14, 180), gaugeColour) << "the bar's first block";

    // A fetch moves the bar: the screen follows the position.
    bar->SetPosition(100);
    harness::PumpUntilIdle(20, 500);
    cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
    EXPECT_NE(cap.Pixel(300, 180), gaugeColour);

    form->Free();
}

}  // namespace
