// Kestrune's own system menu, end to end: with a skin chosen and the main
// window activated again (it gets its skin provider then), a right click on
// the skinned title bar opens the skinned popup (cut to the skin's shape,
// which the system's own menu is not), and choosing its last item, close,
// with the keyboard ends the program. Pictures stay beside the test program
// (kestrune-sysmenu-*.bmp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiHarness.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"

namespace {

using harness::PumpUntil;

constexpr int kStartMs = 60000;
constexpr int kStepMs = 10000;

// A visible popup menu window of the process, nullptr when none.
HWND MenuOf(DWORD processId) {
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == processId && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
}

class KestruneSystemMenu : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
        FSkinBox = harness::SkinBoxOf(FForm);
        ASSERT_NE(FSkinBox, nullptr);
        ::SetForegroundWindow(FForm);
    }
    void TearDown() override { FProgram.Kill(); }

    // A point of the title bar that the window's hit test calls the caption,
    // searched from the middle of the title row; (-1, -1) when none.
    POINT CaptionPoint() {
        RECT r;
        ::GetWindowRect(FForm, &r);
        for (int y = r.top + 4; y < r.top + 30; y += 2)
            for (int x = (r.left + r.right) / 2; x > r.left + 40; x -= 8) {
                DWORD_PTR answer = 0;
                ::SendMessageTimeoutW(FForm, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, kStepMs, &answer);
                if (static_cast<LRESULT>(answer) == HTCAPTION) return {x, y};
            }
        return {-1, -1};
    }

    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    HWND FSkinBox = nullptr;
};

TEST_F(KestruneSystemMenu, RightClickOnTheSkinnedTitleOpensTheSkinnedMenuAndCloseEndsTheProgram) {
    ASSERT_TRUE(harness::ChooseSkinAt(FSkinBox, 0, kStepMs));
    harness::ActivateAgain(FForm, kStepMs);
    const POINT title = CaptionPoint();
    ASSERT_GE(title.x, 0) << "no caption in the hit test";
    ASSERT_TRUE(harness::MoveMouseTo(title));
    harness::SendInputs({harness::MouseInput(MOUSEEVENTF_RIGHTDOWN), harness::MouseInput(MOUSEEVENTF_RIGHTUP)});
    HWND menu = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menu = MenuOf(FProgram.Id())) != nullptr; }, kStepMs)) << "no menu opened";
    // The skinned popup cuts its window to the skin's border shape.
    ASSERT_TRUE(PumpUntil(
        [&] {
            HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
            const int kind = ::GetWindowRgn(menu, rgn);
            ::DeleteObject(rgn);
            return kind != ERROR;
        },
        kStepMs))
        << "the popup has no region: the system's own menu";
    ::Sleep(300);
    harness::CaptureWindow(menu, harness::CaptureSource::Screen)
        .SaveBmp((harness::ModuleFolder() + L"kestrune-sysmenu-open.bmp").c_str());
    // The last item is close.
    harness::TapKey(VK_UP, 100);
    harness::TapKey(VK_RETURN, 100);
    DWORD code = 0;
    EXPECT_TRUE(FProgram.WaitForExit(kStepMs, code)) << "close did not end the program";
}

}  // namespace
