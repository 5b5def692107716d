// The main window on a real screen, in this process: with one of our skins
// chosen, its buttons, check box, panels and progress bar show the skin; a
// second skin repaints them at once; switching the skin off gives back the
// plain look pixel for pixel. The pictures land beside the test program
// (mainform-skin-<step>.bmp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "OwnSkins.h"
#include "ProcessDriver.h"
#include "Unit1.h"
#include "sMessages.h"

namespace {

using harness::Capture;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

struct Part {
    const char* Name;
    TWinControl* Control;
};

class MainFormSkinDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        form = New<TForm1>(Application);
        form->SetBounds(40, 40, form->Width(), form->Height());
        form->Show();
        // The focus stays on a plain button in every look, so that no caret
        // blinks in the captures and "Go!" keeps its normal look.
        form->Button3->SetFocus();
        parts = {{"Go!", form->sButton1},       {"Stop", form->sButton2},   {"load", form->sButton3},
                 {"check box", form->sCheckBox1}, {"top panel", form->sPanel1}, {"bottom panel", form->sPanel2},
                 {"progress bar", form->sProgressBar1}};
        const std::wstring skins = harness::ModuleFolder() + L"..\\app\\Skins";
        form->sSkinManager1->SetSkinDirectory(String(skins.begin(), skins.end()));
    }
    void TearDown() override {
        form->Free();
        harness::PumpUntilIdle(5, 500);
    }

    // What the screen shows of each part once painting has settled.
    std::vector<Capture> Settled() {
        std::vector<Capture> last;
        for (int round = 0; round < 40; ++round) {
            harness::PumpUntilIdle(10, 300);
            std::vector<Capture> now;
            for (const Part& p : parts)
                now.push_back(harness::CaptureWindow(p.Control->Handle(), harness::CaptureSource::Screen));
            bool same = !last.empty();
            for (std::size_t i = 0; same && i < now.size(); ++i) same = harness::DifferingPixels(now[i], last[i], 0) == 0;
            if (same) return now;
            last = std::move(now);
        }
        return last;
    }

    void Save(const wchar_t* step) {
        harness::PumpUntilIdle(10, 300);
        harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen)
            .SaveBmp((harness::ModuleFolder() + L"mainform-skin-" + step + L".bmp").c_str());
    }

    TForm1* form = nullptr;
    std::vector<Part> parts;
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(MainFormSkinDisplay, ChosenSkinsRepaintTheControlsAndSwitchingOffRestoresThePlainLook) {
    const std::vector<Capture> plain = Settled();
    Save(L"plain");

    const auto& themes = skingen::OwnThemes();
    ASSERT_GE(themes.size(), 2u);
    std::vector<Capture> previous = plain;
    for (std::size_t t = 0; t < 2; ++t) {
        const std::string& name = themes[t].Name;
        SCOPED_TRACE(name);
        form->sSkinManager1->SetSkinName(String(name.begin(), name.end()));
        ASSERT_TRUE(form->sSkinManager1->SkinData()->Active) << "the skin did not load";
        const std::vector<Capture> skinned = Settled();
        Save(Wide(name).c_str());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const Capture& c = skinned[i];
            // The bottom panel is mostly covered by the panes.
            EXPECT_GT(harness::DifferingPixels(c, plain[i]), 150)
                << parts[i].Name << " looks as it does without a skin";
            if (t > 0) {
                EXPECT_GT(harness::DifferingPixels(c, previous[i]), 20)
                    << parts[i].Name << " did not change with the second skin";
            }
        }
        previous = skinned;
    }

    form->sSkinManager1->SetActive(false);
    const std::vector<Capture> restored = Settled();
    Save(L"restored");
    for (std::size_t i = 0; i < parts.size(); ++i)
        EXPECT_EQ(harness::DifferingPixels(restored[i], plain[i], 0), 0)
            << parts[i].Name << " does not look as it did before the skin";
}

// With its frame skinned (the window-creation hook gives the window a skin
// provider when it is activated again), 200 skin switches leave the
// program's GDI objects and windows as they were after the first round.
TEST_F(MainFormSkinDisplay, TwoHundredSwitchesWithTheSkinnedFrameKeepCountsFlat) {
    const auto& themes = skingen::OwnThemes();
    std::vector<String> names;
    for (const auto& t : themes) names.emplace_back(t.Name.begin(), t.Name.end());
    form->sSkinManager1->SetSkinName(names[0]);
    ASSERT_TRUE(form->sSkinManager1->SkinData()->Active);
    auto* other = New<TForm>(Application);
    other->SetBounds(900, 40, 100, 80);
    other->Show();
    harness::PumpUntilIdle(10, 300);
    other->Free();
    ::SetActiveWindow(form->Handle());
    harness::PumpUntilIdle(10, 300);
    ASSERT_EQ(SendSkinCommand(form->Handle(), AC_CTRLHANDLED), 1) << "the main window has no skin provider";

    for (const String& name : names) form->sSkinManager1->SetSkinName(name);
    harness::PumpUntilIdle(10, 300);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int n = 0; n < 200; ++n) {
        form->sSkinManager1->SetSkinName(names[static_cast<std::size_t>(n) % names.size()]);
        if (n % 20 == 0) harness::PumpUntilIdle(5, 100);
    }
    harness::PumpUntilIdle(10, 300);
    Save(L"after-200-switches");
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 8);
    EXPECT_EQ(harness::WindowCount(), windows);
}

}  // namespace
