// Skinned scroll bars in a window's frame. A window with system scroll bars
// (an edit, a list, a memo, a scroll box, a dialog) keeps its own scrolling,
// but its bars are laid out, painted and operated by a scrolling adapter,
// TacScrollWnd: the system lays the window out as if it had no bars, the
// adapter takes their room itself, paints them from the skin's SCROLL*
// sections, answers hit tests and turns mouse input on them into the
// window's own WM_HSCROLL and WM_VSCROLL. The scroll position stays with the
// window (read and written through the system's scroll information).
//
// One interaction runs at a time in the whole program (ScrollTrackingState):
// an arrow or page part held down repeats on a timer (first after 300 ms,
// then every 55 ms) while the pointer stays on it; a dragged thumb sends
// SB_THUMBTRACK as it moves, SB_THUMBPOSITION and SB_ENDSCROLL at the
// release; a hovered bar is watched on a 20 ms timer. Losing the capture
// (WM_CAPTURECHANGED, WM_CANCELMODE) or the window (WM_NCDESTROY) ends the
// interaction. Win32, main thread only.
#pragma once

#include "acFrameGeometry.h"
#include "acSBUtils.h"

class TacScrollWnd;

// Timer ids of the scroll bars: the first repeat, the repeat, the hover watch.
constexpr UINT_PTR acScrollFirstRepeatTimer = 0xFFFD;
constexpr UINT_PTR acScrollRepeatTimer = 0xFFFE;
constexpr UINT_PTR acScrollHoverTimer = 0xFFF2;
constexpr UINT acScrollFirstRepeatDelay = 300;
constexpr UINT acScrollRepeatDelay = 55;
constexpr UINT acScrollHoverDelay = 20;

// Bits of TacScrollBar::fScrollFlags.
constexpr Word acSbDisableBefore = 1;    // the before-arrow is disabled
constexpr Word acSbDisableAfter = 2;     // the after-arrow is disabled
constexpr Word acSbNeedsRange = 4;       // the bar counts as enabled only with a scrollable range
constexpr Word acSbStyled = 8;           // the window style has the bar's style bit

// The state of one of a window's two bars.
class TacScrollBar : public TObject {
public:
    KES_CLASS_NAME(TacScrollBar)
    Word fScrollFlags = 0;
    bool fScrollVisible = false;
    SCROLLINFO ScrollInfo{};
    Integer nArrowLength = -1;   // negative n: -n times the default length
    Integer nArrowWidth = -1;    // negative n: -n times the system thickness
    Integer nButSizeBefore = 0, nButSizeAfter = 0;
    bool fButVisibleBefore = false, fButVisibleAfter = false;
    Word nBarType = 0;           // 0 horizontal, 1 vertical
    Word fFlatScrollbar = 0;
    Integer nMinThumbSize = 10;
    TacScrollWnd* sw = nullptr;

    bool Vertical() const { return nBarType == 1; }
    // The values of ScrollInfo the geometry reads.
    TacScrollValues Values() const;
};

class TacScrollWnd : public TacMainWnd {
public:
    KES_CLASS_NAME(TacScrollWnd)
    TacScrollWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                 bool Repaint = true);
    // Frees both bars first.
    ~TacScrollWnd() override;

    Word bars = 0;
    TacScrollBar* sBarHorz = nullptr;
    TacScrollBar* sBarVert = nullptr;
    bool fThumbTracking = false;
    bool fLeftScrollbar = false;
    Integer cxLeftEdge = 0, cxRightEdge = 0, cyTopEdge = 0, cyBottomEdge = 0;
    bool bPreventStyleChange = false;

    void acWndProc(TMessage& Message) override;

    // The bar of a code (0 horizontal, 1 vertical).
    TacScrollBar* Bar(Integer Which) const { return Which == 1 ? sBarVert : sBarHorz; }
    // Reads both bars' scroll information and arrow states again; true when
    // anything the bars show differs from what they were last painted with.
    bool ReadScrollInfos();
    // The bars were painted with what was read last.
    void NoteShown();

protected:
    void HookWindow(bool Repaint) override;

private:
    friend void InitSkinScrollWnd(TacScrollWnd* Adapter, HWND Handle, bool Repaint);
    void NcCalcSize(TMessage& Message);
    void NcHitTest(TMessage& Message);
    bool NcLButtonDown(TMessage& Message);
    void Timer(TMessage& Message);
    bool MouseMove();
    void LButtonUp(TMessage& Message);
    void NcMouseMove(TMessage& Message);
    void DragThumb(TPoint ScreenPos);
    // The tracking of this window ends without a button-up.
    void CancelTracking(bool TellWindow);
    // What the bars show, to notice a change the window made itself.
    struct Shown {
        SCROLLINFO Info[2]{};
        Word Flags[2]{};
        bool operator==(const Shown& o) const;
    } FShown, FRead;
};

// The one scroll-bar interaction in progress in the program.
struct TacScrollTrackingState {
    HWND Wnd = nullptr;            // the tracking window
    Integer Bar = -1;              // 0 horizontal, 1 vertical, -1 none
    UINT ScrollMsg = 0;            // WM_HSCROLL or WM_VSCROLL
    Integer PressedPart = acSbNone;
    Integer ShownPart = acSbNone;  // the part shown pressed
    UINT_PTR Timer = 0;            // the repeat timer running
    // Hover.
    HWND HoverWnd = nullptr;
    Integer HoverBar = -1;
    TRect HoverRect{0, 0, 0, 0};   // screen
    Integer HoverPart = acSbNone;
    Integer PrevHoverPart = acSbNone;
    UINT_PTR HoverTimer = 0;
    // Thumb drag.
    Integer ThumbSize = 0;
    Integer ThumbStart = 0;        // screen coordinate along the bar
    TRect BarRect{0, 0, 0, 0};     // screen
    Integer MouseOffset = 0;       // from the thumb start to the mouse
    Integer LastPos = 0;
};
extern TacScrollTrackingState ScrollTrackingState;
// Suppresses the repainting of RefreshScrollBars.
extern bool ScrollRepaintLocked;

// Makes both bars, reads their state and hooks the window; with Repaint the
// frame is recomputed at once.
void InitSkinScrollWnd(TacScrollWnd* Adapter, HWND Handle, bool Repaint);
// Gives the window of a scrolling adapter back (see ReleaseMainWnd): the
// bars are freed and the frame recomputed; with FreeIt the adapter is freed
// and the variable set to nullptr.
void ReleaseScrollWnd(HWND Handle, bool FreeIt, bool Redraw, TacMainWnd*& Adapter);
// Re-reads both bars after the window scrolled and repaints them.
void RefreshScrollBars(TacScrollWnd* Adapter, bool Repaint);
// A bar's thickness (Across) or arrow length from the system metrics (and,
// with UseSkin, the skin's arrow image).
Integer GetScrollMetric(TacScrollBar* Bar, bool Across, bool UseSkin);
// The bars' rectangles in screen coordinates.
void GetHScrollRect(TacScrollWnd* Adapter, HWND Handle, TRect& R);
void GetVScrollRect(TacScrollWnd* Adapter, HWND Handle, TRect& R);
// Whether a bar takes input.
bool ScrollBarEnabled(TacScrollBar* Bar);
// Sends the window a scroll message with the skin commands 51 and 52 around
// it; SB_THUMBTRACK also writes the position into the bar.
void SendScrollCommand(HWND Handle, UINT ScrollMsg, Integer Code, Integer Pos);
// Paints the visible bars and the corner between them into DC (the window's
// DC when nullptr); ThumbPos, when not -1, is the tracked bar's thumb start.
void PaintScrollBars(TacScrollWnd* Adapter, HWND Handle, HDC DC, Integer ThumbPos);
// The adapter of a window when it is a scrolling one, else nullptr.
TacScrollWnd* ScrollAdapterOf(HWND Wnd);
// Registers "TacScrollWnd" with the adapter factory (once).
void acScrollWndInitialization();
