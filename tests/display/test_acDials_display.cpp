// Standard dialogs on a real screen with the test skin: a message box that
// asks for a place appears there, and the font dialog comes up skinned by
// the creation hook (its picture stays beside the test program,
// skinned-font-dialog.bmp; the frame is still the system's).
#include <gtest/gtest.h>

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
    static inline HWND Dialog = nullptr;
    static inline int Seen = 0, Ticks = 0;
    static inline RECT Rect{};
    static inline harness::Capture Picture;
    static inline bool Skinned = false;
    static inline UINT_PTR Timer = 0;

    ScreenProbe() {
        Dialog = nullptr;
        Seen = Ticks = 0;
        Skinned = false;
        Picture = {};
        Timer = ::SetTimer(nullptr, 0, 100, &Tick);
    }
    ~ScreenProbe() {
        if (Timer) ::KillTimer(nullptr, Timer);
    }
    static BOOL CALLBACK Find(HWND wnd, LPARAM) {
        if (GetWndClassName(wnd) == u"#32770" && ::IsWindowVisible(wnd)) {
            Dialog = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ++Ticks;
        if (!Dialog) ::EnumThreadWindows(::GetCurrentThreadId(), &Find, 0);
        if (Dialog && ++Seen == 8) {
            ::GetWindowRect(Dialog, &Rect);
            Skinned = SendSkinCommand(Dialog, AC_CTRLHANDLED) == 1;
            Picture = harness::CaptureWindow(Dialog, harness::CaptureSource::Screen);
            ::PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
        }
        if (Ticks > 100 && Dialog) ::PostMessageW(Dialog, WM_CLOSE, 0, 0);
    }
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
    ASSERT_NE(ScreenProbe::Dialog, nullptr);
    EXPECT_TRUE(ScreenProbe::Skinned);
    EXPECT_EQ(ScreenProbe::Rect.left, 100);
    EXPECT_EQ(ScreenProbe::Rect.top, 120);
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
    ASSERT_NE(ScreenProbe::Dialog, nullptr);
    EXPECT_TRUE(ScreenProbe::Skinned);
    ASSERT_FALSE(ScreenProbe::Picture.Empty());
    ScreenProbe::Picture.SaveBmp(harness::BesideProgram(L"skinned-font-dialog.bmp").c_str());
    EXPECT_FALSE(::IsWindow(ScreenProbe::Dialog));
    EXPECT_EQ(harness::WindowCount(), windows);
    for (TacProvider* p : HookProviders()) EXPECT_EQ(p, nullptr);
}

}  // namespace
