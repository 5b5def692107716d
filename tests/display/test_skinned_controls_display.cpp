// The skinned panel, label and progress bar on a real screen with the test
// skin: what the screen shows matches the sections, and the picture is kept
// in the build tree (skinned-controls.bmp beside the test program).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "acProgressBar.h"
#include "sLabel.h"
#include "sPanel.h"
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

std::wstring BesideProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (fs::path(path).parent_path() / name).wstring();
}

TEST(SkinnedControlsDisplay, PanelLabelAndProgressBarShowTheirSections) {
    std::random_device r;
    const fs::path root = fs::temp_directory_path() / ("kestrune-ctl-display-" + std::to_string(r()));
    skingen::WriteTestSkin(root / "Test");
    auto* manager = New<TsSkinManager>(nullptr);
    manager->SetSkinDirectory(root.u16string());
    manager->SetSkinName(u"Test");
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

    const COLORREF panelColour = Ref(skingen::TestSectionColour("PANEL", 0));
    const COLORREF lowColour = Ref(skingen::TestSectionColour("PANEL_LOW", 0));
    const COLORREF gaugeColour = Ref(skingen::TestSectionColour("GAUGE", 0));
    harness::Capture cap;
    const bool shown = harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
            return cap.Pixel(160, 80) == panelColour && cap.Pixel(160, 150) == lowColour &&
                   cap.Pixel(300, 180) == gaugeColour;
        },
        10000);
    cap.SaveBmp(BesideProgram(L"skinned-controls.bmp").c_str());
    ASSERT_TRUE(shown) << std::hex << cap.Pixel(160, 80) << "/" << panelColour << " " << cap.Pixel(160, 150) << "/"
                       << lowColour << " " << cap.Pixel(300, 180) << "/" << gaugeColour;
    EXPECT_EQ(cap.Pixel(10, 130), Ref(skingen::TestMaskColour("PANEL_LOW", "BORDERSMASK", 0)));
    EXPECT_TRUE(cap.Contains(Ref(skingen::TestFontColour("PANEL", 0)))) << "the panel's caption";
    EXPECT_NE(cap.Pixel(14, 180), gaugeColour) << "the bar's first block";

    // A fetch moves the bar: the screen follows the position.
    bar->SetPosition(100);
    harness::PumpUntilIdle(20, 500);
    cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
    EXPECT_NE(cap.Pixel(300, 180), gaugeColour);

    form->Free();
    manager->Free();
    harness::PumpUntilIdle(10, 500);
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
