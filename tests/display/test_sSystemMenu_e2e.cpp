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

void Send(std::initializer_list<INPUT> inputs) {
    std::vector<INPUT> list(inputs);
    ::SendInput(static_cast<UINT>(list.size()), list.data(), sizeof(INPUT));
}

INPUT Mouse(DWORD flags) {
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dwFlags = flags;
    return i;
}

void Tap(WORD vk) {
    INPUT down{}, up{};
    down.type = up.type = INPUT_KEYBOARD;
    down.ki.wVk = up.ki.wVk = vk;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    Send({down, up});
    ::Sleep(100);
}

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

    // A window of the test's own takes the foreground and gives it back: a
    // form without a skin provider gets one when it is activated. Under Xvfb
    // the X focus may take the foreground back at once, so the switch is
    // tried until the other window held it for a moment.
    void ActivateAgain() {
        HWND other = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                                       nullptr, nullptr, nullptr);
        bool away = false;
        for (int attempt = 0; attempt < 5 && !away; ++attempt) {
            ::SetForegroundWindow(other);
            away = PumpUntil([&] { return ::GetForegroundWindow() == other; }, kStepMs);
            if (away) away = !PumpUntil([&] { return ::GetForegroundWindow() != other; }, 200);
        }
        EXPECT_TRUE(away) << "the program's window was never deactivated";
        ::SetForegroundWindow(FForm);
        EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == FForm; }, kStepMs));
        ::DestroyWindow(other);
    }

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
    ActivateAgain();
    const POINT title = CaptionPoint();
    ASSERT_GE(title.x, 0) << "no caption in the hit test";
    ASSERT_TRUE(harness::MoveMouseTo(title));
    Send({Mouse(MOUSEEVENTF_RIGHTDOWN), Mouse(MOUSEEVENTF_RIGHTUP)});
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
    Tap(VK_UP);
    Tap(VK_RETURN);
    DWORD code = 0;
    EXPECT_TRUE(FProgram.WaitForExit(kStepMs, code)) << "close did not end the program";
}

}  // namespace
