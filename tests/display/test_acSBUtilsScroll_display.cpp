// Skinned scroll bars of a plain multi-line EDIT on a real screen with the
// test skin: the bars show the skin's sections once the text overflows (the
// picture is kept beside the test program as skinned-scrollbars.bmp), an
// arrow held down with the real mouse repeats on its timers, and a thumb
// dragged with the real mouse sends SB_THUMBTRACK, SB_THUMBPOSITION and
// SB_ENDSCROLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sSkinManager.h"

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

struct Scroll {
    WORD Code;
    WORD Pos;
    DWORD Time;
};
std::vector<Scroll> gScrolls;
WNDPROC gEditProc = nullptr;

LRESULT CALLBACK Recorder(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_VSCROLL) gScrolls.push_back({LOWORD(WParam), HIWORD(WParam), ::GetTickCount()});
    return ::CallWindowProcW(gEditProc, Wnd, Msg, WParam, LParam);
}

std::wstring ManyLines(int Count) {
    std::wstring text;
    for (int i = 0; i < Count; ++i) text += L"line " + std::to_wstring(i) + L" " + std::wstring(70, L'w') + L"\r\n";
    return text;
}

class ScrollBarsDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        skin = std::make_unique<kestrune_test::TestSkinSession>("kestrune-sb-display-");
        manager = skin->Manager();
        ASSERT_TRUE(manager->SkinData()->Active);
        acSBUtilsInitialization();
        acScrollWndInitialization();
        gScrolls.clear();
        parent = std::make_unique<harness::TestWindow>(360, 260, RGB(0x30, 0x60, 0x90), nullptr, WS_POPUP);
        ::SetWindowPos(parent->Handle(), HWND_TOPMOST, 80, 80, 0, 0, SWP_NOSIZE);
        parent->Show();
        edit = ::CreateWindowExW(0, L"EDIT", L"short", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                 ES_MULTILINE | ES_NOHIDESEL, 20, 20, 260, 180, parent->Handle(), nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        gEditProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
        adapter = New<TacScrollWnd>(edit, nullptr, manager, u"EDIT", true);
        // The text overflows only now, after the adapter took the window.
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ManyLines(120).c_str()));
        ::SetForegroundWindow(parent->Handle());
        harness::PumpUntilIdle(100, 2000);
    }
    void TearDown() override {
        harness::LeftButton(false);
        harness::PumpUntilIdle(20, 500);
        if (adapter != nullptr) {
            TacMainWnd* a = adapter;
            ReleaseScrollWnd(edit, true, false, a);
        }
        if (edit != nullptr) ::DestroyWindow(edit);
        parent.reset();
        skin.reset();
    }
    TRect VBar() {
        TRect r;
        GetVScrollRect(adapter, edit, r);
        return r;
    }
    POINT OnVBar(int Along) {
        const TRect r = VBar();
        return POINT{(r.Left + r.Right) / 2, Along >= 0 ? r.Top + Along : r.Bottom + Along};
    }
    harness::Capture Screen() {
        harness::PumpUntilIdle(50, 1000);
        return harness::CaptureWindow(edit, harness::CaptureSource::Screen);
    }
    COLORREF At(const harness::Capture& C, POINT Screen) {
        const RECT wr = [&] { RECT r{}; ::GetWindowRect(edit, &r); return r; }();
        return C.Pixel(Screen.x - wr.left, Screen.y - wr.top);
    }

    std::unique_ptr<kestrune_test::TestSkinSession> skin;
    TsSkinManager* manager = nullptr;
    std::unique_ptr<harness::TestWindow> parent;
    HWND edit = nullptr;
    TacScrollWnd* adapter = nullptr;
};

TEST_F(ScrollBarsDisplay, OverflowingTextShowsSkinnedBars) {
    ASSERT_TRUE(adapter->sBarVert->fScrollVisible);
    ASSERT_TRUE(adapter->sBarHorz->fScrollVisible);
    const harness::Capture shot = Screen();
    shot.SaveBmp((harness::ModuleFolder() + L"skinned-scrollbars.bmp").c_str());
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    // The thumb is at the top; below it the second track section shows.
    const COLORREF track2 = At(shot, OnVBar(-arrow - 10));
    EXPECT_TRUE(track2 == TestRef(skingen::TestSectionColour("SCROLLBAR2V", 0)) ||
                track2 == TestRef(skingen::TestMaskColour("SCROLLBAR2V", "PATTERN", 0)))
        << std::hex << track2;
    // No system colour is left in the middle of the bar.
    EXPECT_NE(track2, ::GetSysColor(COLOR_SCROLLBAR));
    EXPECT_NE(track2, ::GetSysColor(COLOR_BTNFACE));

    // Typing at the end scrolls the window itself; the bar follows.
    ::SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
    const harness::Capture bottom = Screen();
    const COLORREF track1 = At(bottom, OnVBar(arrow + 10));
    EXPECT_TRUE(track1 == TestRef(skingen::TestSectionColour("SCROLLBAR1V", 0)) ||
                track1 == TestRef(skingen::TestMaskColour("SCROLLBAR1V", "PATTERN", 0)))
        << std::hex << track1;
}

TEST_F(ScrollBarsDisplay, HoveredArrowLightsUpUntilThePointerLeaves) {
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    const POINT down = OnVBar(-arrow / 2);
    ::SetCursorPos(down.x, down.y);
    harness::PumpUntil([&] { return ScrollTrackingState.HoverPart == acSbLineAfter; }, 4000);
    EXPECT_EQ(ScrollTrackingState.HoverWnd, edit);
    EXPECT_EQ(ScrollTrackingState.HoverBar, 1);
    EXPECT_EQ(ScrollTrackingState.HoverPart, acSbLineAfter);
    // The glyph in the arrow's middle shows its hot frame.
    EXPECT_EQ(At(Screen(), down), TestRef(skingen::TestMaskColour("SCROLLBTNBOTTOM", "GLYPHMASK", 1)));

    RECT wr{};
    ::GetWindowRect(parent->Handle(), &wr);
    ::SetCursorPos(wr.left + 5, wr.top + 5);
    harness::PumpUntil([] { return ScrollTrackingState.HoverWnd == nullptr; }, 4000);
    EXPECT_EQ(ScrollTrackingState.HoverWnd, nullptr);
    EXPECT_EQ(At(Screen(), down), TestRef(skingen::TestMaskColour("SCROLLBTNBOTTOM", "GLYPHMASK", 0)));
}

TEST_F(ScrollBarsDisplay, HeldArrowRepeatsOnItsTimers) {
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    const POINT down = OnVBar(-arrow / 2);
    ::SetCursorPos(down.x, down.y);
    harness::PumpUntilIdle(30, 500);
    gScrolls.clear();
    harness::LeftButton(true);
    harness::PumpUntil([] { return gScrolls.size() >= 8; }, 5000);
    // One step at once, the next after the first delay, then the shorter
    // repeat. A busy machine only stretches the gaps.
    ASSERT_GE(gScrolls.size(), 8u);
    for (const Scroll& s : gScrolls) EXPECT_EQ(s.Code, SB_LINEDOWN);
    EXPECT_GE(gScrolls[1].Time - gScrolls[0].Time, 280u);
    std::vector<DWORD> gaps;
    for (size_t i = 2; i < gScrolls.size(); ++i) gaps.push_back(gScrolls[i].Time - gScrolls[i - 1].Time);
    std::sort(gaps.begin(), gaps.end());
    // Single gaps jitter with the message queue; their middle one does not.
    EXPECT_GE(gaps[gaps.size() / 2], 45u);
    EXPECT_LT(gaps[gaps.size() / 2], 200u);

    // Off the arrow the steps pause without ending the press.
    const POINT away = OnVBar(arrow * 3);
    ::SetCursorPos(away.x, away.y);
    harness::PumpUntil([] { return false; }, 300);
    const size_t paused = gScrolls.size();
    harness::PumpUntil([] { return false; }, 400);
    EXPECT_EQ(gScrolls.size(), paused);
    EXPECT_EQ(ScrollTrackingState.Wnd, edit);

    ::SetCursorPos(down.x, down.y);
    harness::PumpUntil([&] { return gScrolls.size() > paused; }, 3000);
    EXPECT_GT(gScrolls.size(), paused);
    harness::LeftButton(false);
    harness::PumpUntilIdle(30, 500);
    EXPECT_EQ(gScrolls.back().Code, SB_ENDSCROLL);
    EXPECT_EQ(ScrollTrackingState.Wnd, nullptr);
}

TEST_F(ScrollBarsDisplay, RealDragSendsTrackPositionAndEnd) {
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    const POINT grab = OnVBar(arrow + 4);
    ::SetCursorPos(grab.x, grab.y);
    harness::PumpUntilIdle(30, 500);
    gScrolls.clear();
    harness::LeftButton(true);
    harness::PumpUntilIdle(30, 500);
    ASSERT_TRUE(adapter->fThumbTracking);
    for (int dy = 10; dy <= 60; dy += 10) {
        ::SetCursorPos(grab.x, grab.y + dy);
        harness::PumpUntilIdle(20, 500);
    }
    const harness::Capture dragging = Screen();
    dragging.SaveBmp((harness::ModuleFolder() + L"skinned-scrollbars-drag.bmp").c_str());
    // The window set its scroll information for both bars while it scrolled;
    // the other bar stays skinned too.
    TRect h;
    GetHScrollRect(adapter, edit, h);
    EXPECT_EQ(At(dragging, POINT{(h.Left + h.Right) / 2 + 30, (h.Top + h.Bottom) / 2}),
              TestRef(skingen::TestSectionColour("SCROLLBAR2H", 0)));
    harness::LeftButton(false);
    harness::PumpUntilIdle(30, 500);
    ASSERT_GE(gScrolls.size(), 3u);
    EXPECT_EQ(gScrolls.front().Code, SB_THUMBTRACK);
    EXPECT_EQ(gScrolls[gScrolls.size() - 2].Code, SB_THUMBPOSITION);
    EXPECT_EQ(gScrolls.back().Code, SB_ENDSCROLL);
    EXPECT_GT(::GetScrollPos(edit, SB_VERT), 0);
    EXPECT_EQ(gScrolls[gScrolls.size() - 2].Pos, ::GetScrollPos(edit, SB_VERT));
    EXPECT_FALSE(adapter->fThumbTracking);
}

}  // namespace
