// The skinned scroll box on a real screen with the test skin: its frame as
// the window paints it (WM_NCPAINT), its inside and its vertical bar from the
// skin; without the skin the system's bar and frame again. The pictures land
// beside the test program (scrollbox-skinned.bmp, scrollbox-plain.bmp).
#include <gtest/gtest.h>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sPanel.h"
#include "sScrollBox.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using kestrune_test::TestRef;

bool IsOneOf(COLORREF c, std::initializer_list<COLORREF> set) {
    for (COLORREF s : set)
        if (c == s) return true;
    return false;
}

class ScrollBoxDisplay : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        acSBUtilsInitialization();
        WriteSkin();
        LoadAndShow();
        ::SetWindowPos(form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        box = New<TsScrollBox>(form);
        box->SetBounds(20, 20, 200, 150);
        box->SetParent(form);
        auto* distant = New<TsPanel>(form);
        distant->SetBounds(10, 500, 60, 40);
        distant->SetParent(box);
    }
    void TearDown() override {
        TestSkinForm::TearDown();
        acSBUtilsFinalization();
    }
    harness::Capture Settled() {
        harness::Capture last;
        for (int round = 0; round < 30; ++round) {
            harness::PumpUntilIdle(20, 300);
            harness::Capture now = harness::CaptureWindow(box->Handle(), harness::CaptureSource::Screen);
            if (!last.Empty() && harness::DifferingPixels(now, last, 0) == 0) return now;
            last = std::move(now);
        }
        return last;
    }
    TsScrollBox* box = nullptr;
};

}  // namespace

TEST_F(ScrollBoxDisplay, FrameInsideAndBarComeFromTheSkinAndGoWithIt) {
    const int cxv = ::GetSystemMetrics(SM_CXVSCROLL);
    const int arrow = ::GetSystemMetrics(SM_CYVSCROLL);
    const COLORREF mask = TestRef(skingen::TestMaskColour("PANEL_LOW", "BORDERSMASK", 0));
    const COLORREF inside = TestRef(skingen::TestSectionColour("PANEL_LOW", 0));
    // A point on the vertical bar's track below the thumb, in the window.
    const POINT track{200 - 2 - cxv / 2, 150 - 2 - arrow - 6};

    harness::Capture skinned = Settled();
    skinned.SaveBmp((harness::ModuleFolder() + L"scrollbox-skinned.bmp").c_str());
    ASSERT_NE(box->ScrollWnd(), nullptr);
    EXPECT_EQ(skinned.Pixel(0, 75), mask) << "the window frame";
    EXPECT_EQ(skinned.Pixel(3, 75), mask) << "the border's inner half";
    EXPECT_EQ(skinned.Pixel(60, 60), inside);
    const COLORREF bar = skinned.Pixel(track.x, track.y);
    EXPECT_TRUE(IsOneOf(bar, {TestRef(skingen::TestSectionColour("SCROLLBAR2V", 0)),
                              TestRef(skingen::TestMaskColour("SCROLLBAR2V", "PATTERN", 0))}))
        << std::hex << bar;

    manager->SetActive(false);
    harness::Capture plain = Settled();
    plain.SaveBmp((harness::ModuleFolder() + L"scrollbox-plain.bmp").c_str());
    EXPECT_NE(plain.Pixel(0, 75), mask);
    EXPECT_FALSE(plain.Contains(inside));
    EXPECT_FALSE(plain.Contains(bar)) << "the system's bar is back";

    manager->SetActive(true);
    harness::Capture again = Settled();
    EXPECT_EQ(again.Pixel(track.x, track.y), bar);
    EXPECT_EQ(again.Pixel(0, 75), mask);
    EXPECT_EQ(again.Pixel(60, 60), inside);
}
