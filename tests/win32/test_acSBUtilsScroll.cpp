// The scrolling adapter on a plain multi-line EDIT with the test skin: the
// client area left after the bars take their room, hit codes, presses on the
// arrows and pages, a thumb dragged by messages, skin command 51, the end of
// a press when the capture goes or the window dies, and flat GDI counts over
// repeated scrolling and attaching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkinForm.h"
#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sMessages.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// What the EDIT received of the adapter's scrolling, seen below the adapter.
struct Scroll {
    UINT Msg;
    WORD Code;
    WORD Pos;
    LPARAM LParam;
};
std::vector<Scroll> gScrolls;
bool gAnswerBeforeScroll = false;
WNDPROC gEditProc = nullptr;
// A timer of the window's own, on which it scrolls itself by ten lines.
constexpr UINT_PTR kOwnScrollTimer = 0x4B1D;

LRESULT CALLBACK Recorder(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_TIMER && WParam == kOwnScrollTimer) {
        ::CallWindowProcW(gEditProc, Wnd, EM_LINESCROLL, 0, 10);
        return 0;
    }
    if (Msg == WM_VSCROLL || Msg == WM_HSCROLL) gScrolls.push_back({Msg, LOWORD(WParam), HIWORD(WParam), LParam});
    if (Msg == SkinCommandMessage && HIWORD(WParam) == AC_BEFORESCROLL && gAnswerBeforeScroll) return 1;
    return ::CallWindowProcW(gEditProc, Wnd, Msg, WParam, LParam);
}

std::vector<WORD> Codes() {
    std::vector<WORD> c;
    for (const Scroll& s : gScrolls) c.push_back(s.Code);
    return c;
}

std::wstring ManyLines(int Count, int Width) {
    std::wstring text;
    for (int i = 0; i < Count; ++i) text += std::to_wstring(i) + L" " + std::wstring(static_cast<size_t>(Width), L'x') + L"\r\n";
    return text;
}

RECT ScreenRect(HWND Wnd) {
    RECT r{};
    ::GetWindowRect(Wnd, &r);
    return r;
}

class ScrollWnd : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        manager = kestrune_test::NewTestSkinManager(root);
        ASSERT_TRUE(manager->SkinData()->Active);
        acSBUtilsInitialization();
        acScrollWndInitialization();
        gScrolls.clear();
        gAnswerBeforeScroll = false;
        parent = std::make_unique<harness::TestWindow>(420, 320, RGB(0x30, 0x60, 0x90));
    }
    void TearDown() override {
        Release();
        if (edit != nullptr && ::IsWindow(edit)) ::DestroyWindow(edit);
        edit = nullptr;
        parent.reset();
        TestSkinForm::TearDown();
    }
    // A plain EDIT with Style's bars, holding Lines of text, with the
    // recorder below everything that attaches later.
    HWND MakeEdit(DWORD Style = WS_HSCROLL | WS_VSCROLL, int Lines = 100, int X = 10, int Y = 10, int W = 200,
                  int H = 150, DWORD ExStyle = 0) {
        edit = ::CreateWindowExW(ExStyle, L"EDIT", ManyLines(Lines, 60).c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_NOHIDESEL | Style, X, Y, W, H,
                                 parent->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        gEditProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
        return edit;
    }
    void Attach() {
        adapter = New<TacScrollWnd>(edit, nullptr, manager, u"EDIT", true);
        harness::PumpUntilIdle(10, 500);
    }
    void Release() {
        if (adapter == nullptr) return;
        TacMainWnd* a = adapter;
        ReleaseScrollWnd(edit, true, false, a);
        adapter = nullptr;
    }
    // A screen point on a bar: Along pixels from its start, in its middle across.
    POINT OnBar(bool Vertical, int Along) {
        TRect r;
        if (Vertical)
            GetVScrollRect(adapter, edit, r);
        else
            GetHScrollRect(adapter, edit, r);
        return Vertical ? POINT{(r.Left + r.Right) / 2, r.Top + Along} : POINT{r.Left + Along, (r.Top + r.Bottom) / 2};
    }
    TRect VBar() {
        TRect r;
        GetVScrollRect(adapter, edit, r);
        return r;
    }
    LRESULT HitTest(POINT P) { return ::SendMessageW(edit, WM_NCHITTEST, 0, MAKELPARAM(P.x, P.y)); }
    void PressAt(POINT P, WPARAM Hit = HTVSCROLL) { ::SendMessageW(edit, WM_NCLBUTTONDOWN, Hit, MAKELPARAM(P.x, P.y)); }
    // Mouse messages of the captured window come in client coordinates.
    void MouseTo(POINT Screen, UINT Msg = WM_MOUSEMOVE) {
        POINT c = Screen;
        ::ScreenToClient(edit, &c);
        ::SendMessageW(edit, Msg, Msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(c.x, c.y));
    }
    int VPos() { return ::GetScrollPos(edit, SB_VERT); }

    std::unique_ptr<harness::TestWindow> parent;
    HWND edit = nullptr;
    TacScrollWnd* adapter = nullptr;
};

// The client area in screen coordinates.
RECT ClientOnScreen(HWND Wnd) {
    RECT c{};
    ::GetClientRect(Wnd, &c);
    ::MapWindowPoints(Wnd, nullptr, reinterpret_cast<POINT*>(&c), 2);
    return c;
}

TEST_F(ScrollWnd, AttachingMakesRoomForTheBarsItDraws) {
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYHSCROLL);
    struct Case {
        const char* Name;
        DWORD Style, ExStyle;
        bool Horz, Vert;
    };
    const Case cases[] = {
        {"both bars", WS_HSCROLL | WS_VSCROLL, 0, true, true},
        {"vertical only", WS_VSCROLL, 0, false, true},
        {"horizontal only", WS_HSCROLL, 0, true, false},
        {"no bars", 0, 0, false, false},
        {"vertical bar on the left", WS_VSCROLL, WS_EX_LEFTSCROLLBAR, false, true},
        {"client edge", WS_HSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        MakeEdit(c.Style, 100, 10, 10, 200, 150, c.ExStyle);
        RECT system = ClientOnScreen(edit);
        // Without the system's bars the client would be larger by theirs.
        Attach();
        const RECT client = ClientOnScreen(edit);
        // The bars take the room the system's took, no more and no less.
        EXPECT_EQ(client.left, system.left);
        EXPECT_EQ(client.top, system.top);
        EXPECT_EQ(client.right, system.right);
        EXPECT_EQ(client.bottom, system.bottom);
        EXPECT_EQ(adapter->sBarHorz->fScrollVisible, c.Horz);
        EXPECT_EQ(adapter->sBarVert->fScrollVisible, c.Vert);
        TRect h, v;
        GetHScrollRect(adapter, edit, h);
        GetVScrollRect(adapter, edit, v);
        if (c.Vert) {
            EXPECT_EQ(v.Width(), cx);
            EXPECT_EQ(c.ExStyle == WS_EX_LEFTSCROLLBAR ? v.Right : v.Left,
                      c.ExStyle == WS_EX_LEFTSCROLLBAR ? client.left : client.right);
            EXPECT_EQ(v.Top, client.top);
            EXPECT_EQ(v.Bottom, client.bottom);
        }
        if (c.Horz) {
            EXPECT_EQ(h.Height(), cy);
            EXPECT_EQ(h.Top, client.bottom);
            EXPECT_EQ(h.Left, client.left);
            EXPECT_EQ(h.Right, client.right);
        }
        // Released, the system lays the window out with its own bars again.
        Release();
        ::SetWindowPos(edit, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
        system = ClientOnScreen(edit);
        EXPECT_EQ(system.right, client.right);
        EXPECT_EQ(system.bottom, client.bottom);
        ::DestroyWindow(edit);
        edit = nullptr;
    }

    // The room is the adapter's own: a bar twice as thick takes twice the room.
    MakeEdit();
    const RECT system = ClientOnScreen(edit);
    Attach();
    adapter->sBarVert->nArrowWidth = -2;
    RedrawWndFrame(edit, true);
    const RECT thick = ClientOnScreen(edit);
    EXPECT_EQ(thick.right, system.right - cx);
    EXPECT_EQ(thick.bottom, system.bottom);
}

TEST_F(ScrollWnd, HitCodes) {
    // Placed at the bottom-right corner of its top-level parent's client area.
    RECT pc{};
    ::GetClientRect(parent->Handle(), &pc);
    MakeEdit(WS_HSCROLL | WS_VSCROLL, 100, pc.right - 200, pc.bottom - 150);
    Attach();
    const RECT wr = ScreenRect(edit);
    const int border = ::GetSystemMetrics(SM_CXBORDER);
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYHSCROLL);
    EXPECT_EQ(HitTest(OnBar(true, 40)), HTVSCROLL);
    EXPECT_EQ(HitTest(OnBar(false, 40)), HTHSCROLL);
    EXPECT_EQ(HitTest(POINT{wr.right - border - cx / 2, wr.bottom - border - cy / 2}), HTBOTTOMRIGHT);
    EXPECT_EQ(HitTest(POINT{wr.left + 50, wr.top + 50}), HTCLIENT);

    // A disabled bar takes no input.
    ::EnableScrollBar(edit, SB_VERT, ESB_DISABLE_BOTH);
    EXPECT_EQ(HitTest(OnBar(true, 40)), HTNOWHERE);
    ::EnableScrollBar(edit, SB_VERT, ESB_ENABLE_BOTH);
    EXPECT_EQ(HitTest(OnBar(true, 40)), HTVSCROLL);

    // Away from the parent's corner the square is nothing of the bars.
    ::MoveWindow(edit, 10, 10, 200, 150, TRUE);
    const RECT moved = ScreenRect(edit);
    EXPECT_NE(HitTest(POINT{moved.right - border - cx / 2, moved.bottom - border - cy / 2}), HTBOTTOMRIGHT);
}

TEST_F(ScrollWnd, PressesOnArrowsAndPagesScrollOnceAndEndAtTheRelease) {
    MakeEdit();
    Attach();
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    const TRect v = VBar();
    struct Case {
        const char* Name;
        int Along;   // from the bar's top; negative from its bottom
        WORD Code;
    };
    const Case cases[] = {
        {"down arrow", -arrow / 2, SB_LINEDOWN},
        {"page below the thumb", -arrow - 5, SB_PAGEDOWN},
        {"up arrow", arrow / 2, SB_LINEUP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        gScrolls.clear();
        const POINT p = OnBar(true, c.Along >= 0 ? c.Along : v.Height() + c.Along);
        ::SetCursorPos(p.x, p.y);
        PressAt(p);
        ASSERT_EQ(Codes(), (std::vector<WORD>{c.Code}));
        EXPECT_EQ(ScrollTrackingState.Wnd, edit);
        EXPECT_EQ(::GetCapture(), edit);
        MouseTo(p, WM_LBUTTONUP);
        EXPECT_EQ(Codes(), (std::vector<WORD>{c.Code, SB_ENDSCROLL}));
        EXPECT_EQ(ScrollTrackingState.Wnd, nullptr);
        EXPECT_EQ(ScrollTrackingState.PressedPart, acSbNone);
        EXPECT_EQ(::GetCapture(), nullptr);
        for (const Scroll& s : gScrolls) EXPECT_EQ(s.Msg, static_cast<UINT>(WM_VSCROLL));
    }
    EXPECT_GT(VPos(), 0);
}

TEST_F(ScrollWnd, DraggedThumbTracksThenSetsThePositionAndEnds) {
    MakeEdit();
    Attach();
    const TRect v = VBar();
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    // The thumb sits at the top of the track.
    const POINT grab = OnBar(true, arrow + 3);
    ASSERT_EQ(ScrollBarPartAt(v, true, TPoint{grab.x, grab.y}, arrow, adapter->sBarVert->Values(), 10), acSbThumb);
    PressAt(grab);
    EXPECT_TRUE(adapter->fThumbTracking);
    EXPECT_TRUE(gScrolls.empty());
    MouseTo(POINT{grab.x, grab.y + 30});
    MouseTo(POINT{grab.x, grab.y + 60});
    // Far below the track: the last position, not one past it.
    MouseTo(POINT{grab.x, v.Bottom + 200});
    MouseTo(POINT{grab.x, v.Bottom + 200}, WM_LBUTTONUP);
    const std::vector<WORD> codes = Codes();
    ASSERT_GE(codes.size(), 5u);
    EXPECT_EQ(codes[0], SB_THUMBTRACK);
    EXPECT_EQ(codes[codes.size() - 3], SB_THUMBTRACK);
    EXPECT_EQ(codes[codes.size() - 2], SB_THUMBPOSITION);
    EXPECT_EQ(codes.back(), SB_ENDSCROLL);
    // Tracked positions grow and the last one is the window's last page.
    for (size_t i = 1; i + 2 < gScrolls.size(); ++i) EXPECT_GT(gScrolls[i].Pos, gScrolls[i - 1].Pos);
    SCROLLINFO si{sizeof(si), SIF_ALL};
    ::GetScrollInfo(edit, SB_VERT, &si);
    const int last = si.nMax - static_cast<int>(si.nPage) + 1;
    EXPECT_EQ(gScrolls[gScrolls.size() - 2].Pos, last);
    EXPECT_EQ(VPos(), last);
    EXPECT_FALSE(adapter->fThumbTracking);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(ScrollWnd, WindowAnsweringBeforeScrollGetsThePositionInLParam) {
    MakeEdit();
    Attach();
    const TRect v = VBar();
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    for (bool answers : {false, true}) {
        SCOPED_TRACE(answers ? "answers 51" : "does not answer 51");
        ::SendMessageW(edit, WM_VSCROLL, SB_TOP, 0);
        gAnswerBeforeScroll = answers;
        gScrolls.clear();
        const POINT grab = OnBar(true, arrow + 3);
        PressAt(grab);
        MouseTo(POINT{grab.x, grab.y + 40});
        ASSERT_FALSE(gScrolls.empty());
        const Scroll track = gScrolls.front();
        EXPECT_EQ(track.Code, SB_THUMBTRACK);
        EXPECT_EQ(track.LParam, answers ? static_cast<LPARAM>(track.Pos) : 0);
        // Only a window that does not answer has the position written into its bar.
        SCROLLINFO si{sizeof(si), SIF_ALL};
        ::GetScrollInfo(edit, SB_VERT, &si);
        if (!answers) {
            EXPECT_EQ(si.nPos, track.Pos);
        }
        MouseTo(POINT{grab.x, grab.y + 40}, WM_LBUTTONUP);
        (void)v;
    }
}

TEST_F(ScrollWnd, WindowScrollingOnItsOwnTimerHasItsBarsRefreshed) {
    parent->Show();   // hidden bars are not refreshed
    MakeEdit();
    Attach();
    ASSERT_EQ(adapter->sBarVert->ScrollInfo.nPos, 0);
    // Seen before any tracking or hover, and again while the hover watch runs.
    for (bool hovering : {false, true}) {
        SCOPED_TRACE(hovering ? "while hovering" : "idle");
        if (hovering) {
            const POINT p = OnBar(true, 40);
            ::SetCursorPos(p.x, p.y);
            ::SendMessageW(edit, WM_NCMOUSEMOVE, HTVSCROLL, MAKELPARAM(p.x, p.y));
            ASSERT_EQ(ScrollTrackingState.HoverWnd, edit);
        }
        const int before = VPos();
        ::SendMessageW(edit, WM_TIMER, kOwnScrollTimer, 0);
        ASSERT_GT(VPos(), before);
        // The bars show where the window scrolled to, not the old place.
        EXPECT_EQ(adapter->sBarVert->ScrollInfo.nPos, VPos());
    }
}

TEST_F(ScrollWnd, PressEndsWhenTheCaptureOrTheWindowGoes) {
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    struct Case {
        const char* Name;
        int Way;   // 0 WM_CANCELMODE, 1 another window takes the capture, 2 the window is destroyed
        bool Thumb;
    };
    const Case cases[] = {
        {"cancel mode during an arrow press", 0, false},
        {"capture taken during an arrow press", 1, false},
        {"capture taken during a thumb drag", 1, true},
        {"window destroyed during an arrow press", 2, false},
        {"window destroyed during a thumb drag", 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        gScrolls.clear();
        MakeEdit();
        Attach();
        const TRect v = VBar();
        const POINT p = c.Thumb ? OnBar(true, arrow + 3) : OnBar(true, v.Height() - arrow / 2);
        ::SetCursorPos(p.x, p.y);
        PressAt(p);
        ASSERT_EQ(ScrollTrackingState.Wnd, edit);
        if (c.Way == 0) ::SendMessageW(edit, WM_CANCELMODE, 0, 0);
        if (c.Way == 1) ::SetCapture(parent->Handle());
        if (c.Way == 2) {
            ::DestroyWindow(edit);
            edit = nullptr;   // the adapter let go of it; freeing it is left to Release
        }
        EXPECT_EQ(ScrollTrackingState.Wnd, nullptr);
        EXPECT_EQ(ScrollTrackingState.PressedPart, acSbNone);
        if (c.Way != 2) {
            EXPECT_FALSE(adapter->fThumbTracking);
            EXPECT_EQ(Codes().back(), SB_ENDSCROLL);
            // No repeat runs on: the position stays where it is.
            const size_t sent = gScrolls.size();
            harness::PumpUntilIdle(450, 1500);
            EXPECT_EQ(gScrolls.size(), sent);
        }
        ::ReleaseCapture();
        Release();
        if (edit != nullptr) ::DestroyWindow(edit);
        edit = nullptr;
    }
}

TEST_F(ScrollWnd, GdiAndWindowCountsStayFlatOverScrollingAndAttaching) {
    MakeEdit();
    Attach();
    const int arrow = ::GetSystemMetrics(SM_CXHSCROLL);
    auto work = [&] {
        for (int i = 0; i < 10; ++i) {
            const POINT down = OnBar(true, VBar().Height() - arrow / 2);
            ::SetCursorPos(down.x, down.y);
            PressAt(down);
            MouseTo(down, WM_LBUTTONUP);
        }
        const POINT grab = OnBar(true, arrow + 3);
        ::SendMessageW(edit, WM_VSCROLL, SB_TOP, 0);
        PressAt(grab);
        MouseTo(POINT{grab.x, grab.y + 50});
        MouseTo(POINT{grab.x, grab.y + 50}, WM_LBUTTONUP);
        ::SendMessageW(edit, WM_NCPAINT, 1, 0);
        Release();
        Attach();
    };
    work();   // first use makes what stays
    const unsigned gdi = harness::GdiObjectUsage(), windows = harness::WindowCount();
    for (int i = 0; i < 40; ++i) work();
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 4);
    EXPECT_EQ(harness::WindowCount(), windows);
}

}  // namespace
