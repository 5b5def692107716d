// Standard dialogs on a real screen with the test skin: a message box that
// asks for a place appears there, and the font dialog comes up skinned by
// the creation hook (its picture stays beside the test program,
// skinned-font-dialog.bmp; the frame is still the system's).
#include <gtest/gtest.h>

#include "DialogProbe.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkinManager.h"
#include "acDials.h"
#include "acMessageBox.h"
#include "acSBUtils.h"
#include "sMessages.h"
#include "sSkinManager.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// Waits for this thread's dialog, lets it settle, captures it from the
// screen and cancels it.
struct ScreenProbe {
    bool Skinned = false;
    harness::Capture Picture;
    harness::DialogProbe Probe{100, 8, [this](HWND Dialog) {
                                   Skinned = SendSkinCommand(Dialog, AC_CTRLHANDLED) == 1;
                                   Picture = harness::CaptureWindow(Dialog, harness::CaptureSource::Screen);
                               }};
};

class DialogsOnScreen : public ::testing::Test {
protected:
    void SetUp() override { acSBUtilsInitialization(); }
    kestrune_test::TestSkinSession skin{"kestrune-dialogs-display-"};
};

TEST_F(DialogsOnScreen, AMessageBoxAppearsAtTheAskedPlace) {
    ASSERT_TRUE(TsSkinManager::HookInstalled());
    ScreenProbe probe;
    ShowMessageDlgPos(u"Placed", u"At 100, 120", mtInformation, {mbOK, mbCancel}, 100, 120, 0);
    harness::PumpUntilIdle(20, 500);
    ASSERT_NE(probe.Probe.Dialog(), nullptr);
    EXPECT_TRUE(probe.Skinned);
    EXPECT_EQ(probe.Probe.Rect().left, 100);
    EXPECT_EQ(probe.Probe.Rect().top, 120);
}

TEST_F(DialogsOnScreen, TheFontDialogComesUpSkinnedAndGoesAway) {
    ScreenProbe probe;
    LOGFONTW lf{};
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = Application->Handle();
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS;
    const unsigned windows = harness::WindowCount();
    ::ChooseFontW(&cf);
    harness::PumpUntilIdle(20, 500);
    ASSERT_NE(probe.Probe.Dialog(), nullptr);
    EXPECT_TRUE(probe.Skinned);
    ASSERT_FALSE(probe.Picture.Empty());
    probe.Picture.SaveBmp(harness::BesideProgram(L"skinned-font-dialog.bmp").c_str());
    EXPECT_FALSE(::IsWindow(probe.Probe.Dialog()));
    EXPECT_EQ(harness::WindowCount(), windows);
    for (TacProvider* p : HookProviders()) EXPECT_EQ(p, nullptr);
}

}  // namespace
