#include "acSBUtilsScroll.h"

#include <algorithm>
#include <memory>

#include "Forms.h"
#include "acMaskPaintWin.h"
#include "acScrollBarPaint.h"
#include "sGraphUtils.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

TacScrollTrackingState ScrollTrackingState;
bool ScrollRepaintLocked = false;

namespace {

constexpr LONG kScrollStyles = WS_HSCROLL | WS_VSCROLL;

TacScrollTrackingState& St() { return ScrollTrackingState; }

void ResetTracking() {
    TacScrollTrackingState& s = St();
    s.Wnd = nullptr;
    s.Bar = -1;
    s.ScrollMsg = 0;
    s.PressedPart = acSbNone;
    s.ShownPart = acSbNone;
    s.Timer = 0;
    s.ThumbSize = 0;
    s.ThumbStart = 0;
    s.BarRect = TRect();
    s.MouseOffset = 0;
    s.LastPos = 0;
}

void ResetHover() {
    TacScrollTrackingState& s = St();
    s.HoverWnd = nullptr;
    s.HoverBar = -1;
    s.HoverRect = TRect();
    s.HoverPart = acSbNone;
    s.PrevHoverPart = acSbNone;
    s.HoverTimer = 0;
}

TPoint ScreenPointOf(LPARAM LParam) {
    return TPoint{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
}

TPoint CursorPos() {
    POINT p{};
    ::GetCursorPos(&p);
    return TPoint{p.x, p.y};
}

// The layout of the window's bars in screen coordinates.
TacScrollFrame FrameOf(TacScrollWnd* A, HWND Handle) {
    TacScrollFrame f;
    RECT wr{};
    ::GetWindowRect(Handle, &wr);
    f.Window = TRect(wr.left, wr.top, wr.right, wr.bottom);
    f.EdgeLeft = A->cxLeftEdge;
    f.EdgeTop = A->cyTopEdge;
    f.EdgeRight = A->cxRightEdge;
    f.EdgeBottom = A->cyBottomEdge;
    f.HorzVisible = A->sBarHorz && A->sBarHorz->fScrollVisible;
    f.VertVisible = A->sBarVert && A->sBarVert->fScrollVisible;
    f.LeftScrollbar = A->fLeftScrollbar;
    f.HorzThickness = A->sBarHorz ? GetScrollMetric(A->sBarHorz, true, false) : 0;
    f.VertThickness = A->sBarVert ? GetScrollMetric(A->sBarVert, true, false) : 0;
    return f;
}

TRect BarRect(TacScrollWnd* A, HWND Handle, Integer Which) {
    TRect r;
    if (Which == 1)
        GetVScrollRect(A, Handle, r);
    else
        GetHScrollRect(A, Handle, r);
    // Extra buttons beside the bar take their room first.
    const TacScrollBar* b = A->Bar(Which);
    if (b != nullptr) {
        Integer& start = Which == 1 ? r.Top : r.Left;
        Integer& end = Which == 1 ? r.Bottom : r.Right;
        if (b->fButVisibleBefore) start += b->nButSizeBefore;
        if (b->fButVisibleAfter) end -= b->nButSizeAfter;
    }
    return r;
}

Integer ArrowLengthOf(TacScrollBar* B) { return GetScrollMetric(B, false, false); }

Integer PartAt(TacScrollWnd* A, HWND Handle, Integer Which, TPoint P) {
    TacScrollBar* b = A->Bar(Which);
    if (b == nullptr) return acSbNone;
    return ScrollBarPartAt(BarRect(A, Handle, Which), b->Vertical(), P, ArrowLengthOf(b), b->Values(),
                           b->nMinThumbSize);
}

bool PtIn(const TRect& R, TPoint P) { return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom; }

// The square between both bars lies at the bottom-right (bottom-left for a
// left bar) corner of a top-level parent's client area.
bool CornerAtParentCorner(TacScrollWnd* A, HWND Handle, const TRect& Corner) {
    HWND parent = ::GetParent(Handle);
    if (parent == nullptr || (::GetWindowLongW(parent, GWL_STYLE) & WS_CHILD) != 0) return false;
    RECT cr{};
    ::GetClientRect(parent, &cr);
    POINT corner{A->fLeftScrollbar ? cr.left : cr.right, cr.bottom};
    ::ClientToScreen(parent, &corner);
    return Corner.Bottom == corner.y && (A->fLeftScrollbar ? Corner.Left == corner.x : Corner.Right == corner.x);
}

// What lies under R (window coordinates) of the window: what the window
// reports with skin command 34, as a record whose origin is R's top-left.
TCacheInfo UnderOf(HWND Handle, const TRect& R) {
    TBackgroundInfo info;
    info.R = R;
    TCacheInfo ci;
    if (QueryWindowBackground(info, Handle, false)) {
        BackgroundToCacheInfo(info, ci);
        if (ci.Bmp != nullptr) {
            ci.X += R.Left;
            ci.Y += R.Top;
        }
    } else {
        ci.FillColor = GetWindowBgColor(Handle);
    }
    return ci;
}

// One bar into the window DC. DragThumb, when not -1, is the thumb start of a
// dragged thumb (from the bar's start).
void PaintBar(TacScrollWnd* A, HWND Handle, HDC DC, const TRect& Window, Integer Which, Integer DragThumb) {
    TacScrollBar* b = A->Bar(Which);
    const TacScrollTrackingState& s = St();
    if (b == nullptr || !b->fScrollVisible) return;
    const bool tracked = s.Wnd == Handle && s.Bar == Which;
    TsSkinManager* manager = A->SkinData ? A->SkinData->SkinManager() : A->SkinManager;
    if (!ScrollBarSkinned(manager, b->Vertical())) return;
    const TRect bar = BarRect(A, Handle, Which);
    if (bar.Width() <= 1 || bar.Height() <= 1) return;
    // A dragged thumb stays where the mouse holds it.
    if (A->fThumbTracking && tracked && DragThumb == -1)
        DragThumb = s.ThumbStart - (b->Vertical() ? s.BarRect.Top : s.BarRect.Left);

    TacScrollBarLook look;
    look.Vertical = b->Vertical();
    TControl* owner = A->OwnerControl();
    look.Enabled = ScrollBarEnabled(b) && (owner == nullptr || owner->Enabled());
    look.ArrowLength = ArrowLengthOf(b);
    look.MinThumbSize = b->nMinThumbSize;
    look.Info = b->Values();
    if (tracked) look.PressedPart = s.ShownPart;
    if (s.HoverWnd == Handle && s.HoverBar == Which) look.HotPart = s.HoverPart;
    look.ThumbStart = DragThumb;

    const TRect local(bar.Left - Window.Left, bar.Top - Window.Top, bar.Right - Window.Left,
                      bar.Bottom - Window.Top);
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(bar.Width(), bar.Height()));
    PaintScrollBarBitmap(manager, bmp.get(), UnderOf(Handle, local), look);
    ::BitBlt(DC, local.Left, local.Top, bar.Width(), bar.Height(), bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void PaintCorner(TacScrollWnd* A, HWND Handle, HDC DC, const TRect& Window) {
    const TRect corner = ScrollCornerRect(FrameOf(A, Handle));
    if (corner.IsEmpty()) return;
    const TRect local(corner.Left - Window.Left, corner.Top - Window.Top, corner.Right - Window.Left,
                      corner.Bottom - Window.Top);
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(corner.Width(), corner.Height()));
    const TCacheInfo under = UnderOf(Handle, local);
    FillFromUnder(bmp.get(), TRect(0, 0, corner.Width(), corner.Height()), under);
    TsSkinManager* manager = A->SkinData ? A->SkinData->SkinManager() : A->SkinManager;
    if (manager != nullptr && manager->SkinData() != nullptr && manager->SkinData()->Active &&
        CornerAtParentCorner(A, Handle, corner)) {
        const Integer grip = manager->ConstData().GripRightBottom;
        if (grip >= 0 && static_cast<std::size_t>(grip) < manager->ma().size()) {
            const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(grip)];
            const Integer w = MaskFrameWidth(mask), h = MaskFrameHeight(mask);
            if (w > 0 && h > 0) {
                TCacheInfo ci;
                ci.FillColor = under.FillColor;
                DrawGlyphMask(bmp.get(), TPoint{corner.Width() - w, corner.Height() - h}, 0, ci, mask, 1);
            }
        }
    }
    ::BitBlt(DC, local.Left, local.Top, corner.Width(), corner.Height(), bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

bool IsScrollPart(Integer Part) { return Part >= acSbLineBefore && Part <= acSbPageAfter; }

}  // namespace

// ---- TacScrollBar -------------------------------------------------------------

TacScrollValues TacScrollBar::Values() const {
    return TacScrollValues{ScrollInfo.nMin, ScrollInfo.nMax, static_cast<Integer>(ScrollInfo.nPage), ScrollInfo.nPos};
}

// ---- TacScrollWnd -------------------------------------------------------------

TacScrollWnd::TacScrollWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                           const String& SkinSection, bool Repaint)
    : TacMainWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {}

TacScrollWnd::~TacScrollWnd() {
    if (CtrlHandle != nullptr) {
        if (St().Wnd == CtrlHandle) CancelTracking(false);
        if (St().HoverWnd == CtrlHandle) {
            ::KillTimer(CtrlHandle, acScrollHoverTimer);
            ResetHover();
        }
    }
    delete sBarHorz;
    delete sBarVert;
    sBarHorz = nullptr;
    sBarVert = nullptr;
}

void TacScrollWnd::HookWindow(bool Repaint) { InitSkinScrollWnd(this, CtrlHandle, Repaint); }

bool TacScrollWnd::Shown::operator==(const Shown& o) const {
    for (int i = 0; i < 2; ++i) {
        const SCROLLINFO &a = Info[i], &b = o.Info[i];
        if (a.nMin != b.nMin || a.nMax != b.nMax || a.nPage != b.nPage || a.nPos != b.nPos || Flags[i] != o.Flags[i])
            return false;
    }
    return true;
}

bool TacScrollWnd::ReadScrollInfos() {
    if (sBarHorz == nullptr || sBarVert == nullptr) return false;
    Shown now;
    for (int i = 0; i < 2; ++i) {
        TacScrollBar* b = Bar(i);
        SCROLLINFO si{};
        si.cbSize = sizeof(si);
        si.fMask = SIF_ALL;
        if (!::GetScrollInfo(CtrlHandle, i == 1 ? SB_VERT : SB_HORZ, &si)) {
            si = SCROLLINFO{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_ALL;
        }
        b->ScrollInfo = si;
        // The system marks disabled arrows, not always the whole bar: the
        // arrow states tell which ends take no input.
        b->fScrollFlags &= static_cast<Word>(~(acSbDisableBefore | acSbDisableAfter));
        if (acGetScrollBarInfo != nullptr) {
            SCROLLBARINFO sbi{};
            sbi.cbSize = sizeof(sbi);
            if (acGetScrollBarInfo(CtrlHandle, i == 1 ? OBJID_VSCROLL : OBJID_HSCROLL, &sbi)) {
                if (sbi.rgstate[1] & STATE_SYSTEM_UNAVAILABLE) b->fScrollFlags |= acSbDisableBefore;
                if (sbi.rgstate[5] & STATE_SYSTEM_UNAVAILABLE) b->fScrollFlags |= acSbDisableAfter;
            }
        }
        now.Info[i] = si;
        now.Flags[i] = b->fScrollFlags;
    }
    // Compared with what was painted last, so that a reading in between (a
    // hit test) hides no change.
    FRead = now;
    return !(now == FShown);
}

void TacScrollWnd::NoteShown() { FShown = FRead; }

void TacScrollWnd::NcCalcSize(TMessage& Message) {
    const LONG style = ::GetWindowLongW(CtrlHandle, GWL_STYLE);
    RECT* r = Message.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(Message.LParam);
    if (r == nullptr) {
        CallPrevWndProc(Message);
        return;
    }
    const RECT window = *r;
    if (style & kScrollStyles) {
        // The system lays the window out without its bars; the adapter makes
        // their room itself.
        bPreventStyleChange = true;
        ::SetWindowLongW(CtrlHandle, GWL_STYLE, style & ~kScrollStyles);
        CallPrevWndProc(Message);
        ::SetWindowLongW(CtrlHandle, GWL_STYLE, style);
        bPreventStyleChange = false;
    } else {
        CallPrevWndProc(Message);
    }
    cxLeftEdge = r->left - window.left;
    cyTopEdge = r->top - window.top;
    cxRightEdge = window.right - r->right;
    cyBottomEdge = window.bottom - r->bottom;
    sBarHorz->fScrollFlags = static_cast<Word>((sBarHorz->fScrollFlags & ~acSbStyled) | ((style & WS_HSCROLL) ? acSbStyled : 0));
    sBarVert->fScrollFlags = static_cast<Word>((sBarVert->fScrollFlags & ~acSbStyled) | ((style & WS_VSCROLL) ? acSbStyled : 0));
    TacScrollFrame f = FrameOf(this, CtrlHandle);
    TRect client(r->left, r->top, r->right, r->bottom);
    ScrollBarsClientRect(client, f, (style & WS_HSCROLL) != 0, (style & WS_VSCROLL) != 0);
    sBarHorz->fScrollVisible = f.HorzVisible;
    sBarVert->fScrollVisible = f.VertVisible;
    *r = RECT{client.Left, client.Top, client.Right, client.Bottom};
}

void TacScrollWnd::NcHitTest(TMessage& Message) {
    const TPoint p = ScreenPointOf(Message.LParam);
    for (Integer which : {0, 1}) {
        TacScrollBar* b = Bar(which);
        if (!b->fScrollVisible) continue;
        if (PtIn(which == 1 ? [&] { TRect r; GetVScrollRect(this, CtrlHandle, r); return r; }()
                            : [&] { TRect r; GetHScrollRect(this, CtrlHandle, r); return r; }(),
                 p)) {
            ReadScrollInfos();
            Message.Result = ScrollBarEnabled(b) ? (which == 1 ? HTVSCROLL : HTHSCROLL) : HTNOWHERE;
            return;
        }
    }
    const TRect corner = ScrollCornerRect(FrameOf(this, CtrlHandle));
    if (!corner.IsEmpty() && PtIn(corner, p) && CornerAtParentCorner(this, CtrlHandle, corner)) {
        Message.Result = fLeftScrollbar ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
        return;
    }
    CallPrevWndProc(Message);
}

bool TacScrollWnd::NcLButtonDown(TMessage& Message) {
    const Integer which = Message.WParam == HTVSCROLL ? 1 : 0;
    TacScrollBar* b = Bar(which);
    ReadScrollInfos();
    const TPoint p = ScreenPointOf(Message.LParam);
    const Integer part = PartAt(this, CtrlHandle, which, p);
    if (part == acSbNone) return false;
    if ((part == acSbLineBefore && (b->fScrollFlags & acSbDisableBefore)) ||
        (part == acSbLineAfter && (b->fScrollFlags & acSbDisableAfter)))
        return true;
    if (!ScrollBarEnabled(b)) return true;
    // A press elsewhere may still be running: it ends first.
    if (St().Wnd != nullptr && St().Wnd != CtrlHandle) {
        if (TacScrollWnd* other = ScrollAdapterOf(St().Wnd)) other->CancelTracking(true);
    }
    TacScrollTrackingState& s = St();
    s.Wnd = CtrlHandle;
    s.Bar = which;
    s.ScrollMsg = which == 1 ? WM_VSCROLL : WM_HSCROLL;
    s.PressedPart = part;
    s.ShownPart = part;
    if (part == acSbThumb) {
        const TRect bar = BarRect(this, CtrlHandle, which);
        const Integer length = b->Vertical() ? bar.Height() : bar.Width();
        const Integer arrow = ArrowLengthOf(b);
        const TacThumb thumb = ScrollThumb(length, arrow, b->Values(), b->nMinThumbSize);
        s.ThumbSize = thumb.Size;
        s.ThumbStart = (b->Vertical() ? bar.Top : bar.Left) + arrow + thumb.Offset;
        s.BarRect = bar;
        s.MouseOffset = (b->Vertical() ? p.Y : p.X) - s.ThumbStart;
        s.LastPos = b->ScrollInfo.nPos;
        b->ScrollInfo.nTrackPos = b->ScrollInfo.nPos;
        fThumbTracking = true;
        ::SetCapture(CtrlHandle);
        RECT wr{};
        ::GetWindowRect(CtrlHandle, &wr);
        HDC dc = ::GetWindowDC(CtrlHandle);
        PaintBar(this, CtrlHandle, dc, TRect(wr.left, wr.top, wr.right, wr.bottom), which,
                 s.ThumbStart - (b->Vertical() ? bar.Top : bar.Left));
        ::ReleaseDC(CtrlHandle, dc);
    } else {
        ::SetCapture(CtrlHandle);
        PaintScrollBars(this, CtrlHandle, nullptr, -1);
        SendScrollCommand(CtrlHandle, s.ScrollMsg, part, 0);
        // The window may have ended the press meanwhile (a capture change).
        if (St().Wnd == CtrlHandle && St().PressedPart == part) {
            ::SetTimer(CtrlHandle, acScrollFirstRepeatTimer, acScrollFirstRepeatDelay, nullptr);
            St().Timer = acScrollFirstRepeatTimer;
        }
    }
    return true;
}

bool TacScrollWnd::MouseMove() {
    TacScrollTrackingState& s = St();
    if (s.Wnd != CtrlHandle || s.PressedPart == acSbNone || s.Bar < 0) return false;
    const Integer part = PartAt(this, CtrlHandle, s.Bar, CursorPos());
    const Integer shown = part == s.PressedPart ? s.PressedPart : acSbNone;
    if (shown != s.ShownPart) {
        s.ShownPart = shown;
        PaintScrollBars(this, CtrlHandle, nullptr, -1);
    }
    return true;
}

void TacScrollWnd::DragThumb(TPoint ScreenPos) {
    TacScrollTrackingState& s = St();
    TacScrollBar* b = Bar(s.Bar);
    if (b == nullptr) return;
    const bool vertical = b->Vertical();
    const Integer arrow = ArrowLengthOf(b);
    const Integer trackStart = (vertical ? s.BarRect.Top : s.BarRect.Left) + arrow;
    const Integer trackLength = (vertical ? s.BarRect.Height() : s.BarRect.Width()) - 2 * arrow;
    s.ThumbStart = DragThumbStart(vertical ? ScreenPos.Y : ScreenPos.X, s.MouseOffset, trackStart, trackLength,
                                  s.ThumbSize);
    const Integer pos = ThumbDragPosition(vertical, s.ThumbStart, trackStart, trackLength, s.ThumbSize, b->Values());
    if (pos != s.LastPos) {
        b->ScrollInfo.nTrackPos = pos;
        DontRepaint = true;
        SendScrollCommand(CtrlHandle, s.ScrollMsg, SB_THUMBTRACK, pos);
        DontRepaint = false;
        s.LastPos = pos;
    }
    // Painted after the window scrolled: the system draws its own bars (the
    // other one too) when the window sets its scroll information.
    if (St().Wnd != CtrlHandle || !fThumbTracking) return;
    ReadScrollInfos();
    PaintScrollBars(this, CtrlHandle, nullptr, s.ThumbStart - (vertical ? s.BarRect.Top : s.BarRect.Left));
}

void TacScrollWnd::Timer(TMessage& Message) {
    TacScrollTrackingState& s = St();
    const UINT_PTR id = Message.WParam;
    const bool repeat = s.Wnd == CtrlHandle && s.Timer != 0 && (id == acScrollFirstRepeatTimer || id == acScrollRepeatTimer);
    const bool hover = s.HoverWnd == CtrlHandle && s.HoverTimer != 0 && id == acScrollHoverTimer;
    if (!repeat && !hover) {
        // The window's own timer: it may have scrolled, and the system then
        // drew its own bars, so the refresh below still runs.
        CallPrevWndProc(Message);
    } else if (repeat && id == acScrollFirstRepeatTimer) {
        ::KillTimer(CtrlHandle, acScrollFirstRepeatTimer);
        ::SetTimer(CtrlHandle, acScrollRepeatTimer, acScrollRepeatDelay, nullptr);
        s.Timer = acScrollRepeatTimer;
    } else if (repeat) {
        MouseMove();
        if (s.ShownPart != acSbNone && s.ShownPart == s.PressedPart) {
            DontRepaint = true;
            SendScrollCommand(CtrlHandle, s.ScrollMsg, s.PressedPart, 0);
            DontRepaint = false;
        }
    } else if (!fThumbTracking) {
        const TPoint p = CursorPos();
        if (PtIn(s.HoverRect, p)) {
            const Integer part = PartAt(this, CtrlHandle, s.HoverBar, p);
            if (part != s.HoverPart) {
                s.PrevHoverPart = s.HoverPart;
                s.HoverPart = part;
                PaintScrollBars(this, CtrlHandle, nullptr, -1);
            }
        } else {
            ::KillTimer(CtrlHandle, acScrollHoverTimer);
            ResetHover();
            PaintScrollBars(this, CtrlHandle, nullptr, -1);
        }
    }
    if (repeat || hover) Message.Result = 0;
    if (!DontRepaint && !fThumbTracking) RefreshScrollBars(this, true);
}

void TacScrollWnd::NcMouseMove(TMessage& Message) {
    TacScrollTrackingState& s = St();
    const Integer which = Message.WParam == HTVSCROLL ? 1 : 0;
    if (s.HoverWnd != CtrlHandle || s.HoverBar != which) {
        if (s.HoverWnd != nullptr && s.HoverWnd != CtrlHandle) {
            HWND old = s.HoverWnd;
            ::KillTimer(old, acScrollHoverTimer);
            ResetHover();
            RedrawWndFrame(old, false);
        }
        s.HoverWnd = CtrlHandle;
        s.HoverBar = which;
        s.HoverPart = acSbNone;
        s.PrevHoverPart = acSbNone;
        s.HoverRect = BarRect(this, CtrlHandle, which);
        s.HoverTimer = ::SetTimer(CtrlHandle, acScrollHoverTimer, acScrollHoverDelay, nullptr) ? acScrollHoverTimer : 0;
        PaintScrollBars(this, CtrlHandle, nullptr, -1);
    }
    CallPrevWndProc(Message);
}

void TacScrollWnd::LButtonUp(TMessage& Message) {
    TacScrollTrackingState& s = St();
    if (s.Wnd != CtrlHandle || s.PressedPart == acSbNone) {
        CallPrevWndProc(Message);
        return;
    }
    const UINT msg = s.ScrollMsg;
    const Integer part = s.PressedPart;
    if (IsScrollPart(part) && s.Timer != 0) ::KillTimer(CtrlHandle, s.Timer);
    s.Timer = 0;
    Integer endPos = 0;
    if (fThumbTracking) {
        endPos = s.LastPos;
        SendScrollCommand(CtrlHandle, msg, SB_THUMBPOSITION, endPos);
        fThumbTracking = false;
    }
    SendScrollCommand(CtrlHandle, msg, SB_ENDSCROLL, endPos);
    DontRepaint = false;
    // The state is reset before the capture goes, so that the capture
    // change this causes finds nothing left to end.
    ResetTracking();
    if (::GetCapture() == CtrlHandle) ::ReleaseCapture();
    ReadScrollInfos();
    PaintScrollBars(this, CtrlHandle, nullptr, -1);
    TControl* owner = OwnerControl();
    if (owner != nullptr && (owner->ClassName() == u"TImageEnView" || owner->ClassName() == u"TImageEnVect")) {
        Message.Result = 0;
        return;
    }
    CallPrevWndProc(Message);
}

void TacScrollWnd::CancelTracking(bool TellWindow) {
    TacScrollTrackingState& s = St();
    if (s.Wnd != CtrlHandle) return;
    const bool pressed = s.PressedPart != acSbNone;
    const UINT msg = s.ScrollMsg;
    const Integer endPos = fThumbTracking ? s.LastPos : 0;
    if (s.Timer != 0) ::KillTimer(CtrlHandle, s.Timer);
    fThumbTracking = false;
    DontRepaint = false;
    ResetTracking();
    if (pressed && TellWindow) {
        // The window began a scroll and is told that it ended.
        SendScrollCommand(CtrlHandle, msg, SB_ENDSCROLL, endPos);
        if (::IsWindowVisible(CtrlHandle)) {
            ReadScrollInfos();
            PaintScrollBars(this, CtrlHandle, nullptr, -1);
        }
    }
}

void TacScrollWnd::acWndProc(TMessage& Message) {
    if (Destroyed) return;
    const UINT msg = Message.Msg;
    if (sBarHorz == nullptr || sBarVert == nullptr) {
        TacMainWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case WM_NCDESTROY:
    case WM_DESTROY: {
        CancelTracking(false);
        if (St().HoverWnd == CtrlHandle) {
            ::KillTimer(CtrlHandle, acScrollHoverTimer);
            ResetHover();
        }
        if (SkinData != nullptr && SkinData->GlowID >= 0) DropGlow(SkinData->GlowID);
        CallPrevWndProc(Message);
        if (Message.Result == 0 && msg == WM_NCDESTROY) {
            try {
                TacMainWnd* self = this;
                ReleaseScrollWnd(CtrlHandle, false, false, self);
            } catch (...) {
                // The window goes on being destroyed.
            }
        }
        return;
    }
    case WM_CONTEXTMENU:
    case WM_UPDATEUISTATE:
        TacMainWnd::acWndProc(Message);
        return;
    case WM_PRINT:
        // A control of our own prints itself, frame and skinned bars
        // included; only a bare window is made to paint into the DC.
        if (OwnerControl() != nullptr) {
            CallPrevWndProc(Message);
            return;
        }
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(Message.LParam) != CtrlHandle) CancelTracking(true);
        CallPrevWndProc(Message);
        return;
    case WM_CANCELMODE:
        if (St().Wnd == CtrlHandle) {
            CancelTracking(true);
            if (::GetCapture() == CtrlHandle) ::ReleaseCapture();
        }
        CallPrevWndProc(Message);
        return;
    default:
        break;
    }

    if (SkinData == nullptr || !SkinData->Skinned()) {
        if (msg == SkinCommandMessage && HIWORD(Message.WParam) == AC_SETNEWSKIN && SkinData != nullptr &&
            reinterpret_cast<TsSkinManager*>(Message.LParam) == SkinData->SkinManager())
            SkinData->UpdateIndexes();
        CallPrevWndProc(Message);
        return;
    }

    if (msg == SkinCommandMessage) {
        const bool ours = SkinData != nullptr && reinterpret_cast<TsSkinManager*>(Message.LParam) == SkinData->SkinManager();
        switch (HIWORD(Message.WParam)) {
        case AC_REFRESH:
            if (ours) {
                SkinData->UpdateIndexes();
                SkinData->BGChanged = true;
                if (::IsWindowVisible(CtrlHandle)) RedrawWndFrame(CtrlHandle, false);
            }
            CallPrevWndProc(Message);
            return;
        case AC_CTRLHANDLED:
            Message.Result = 1;
            return;
        case AC_SETUPDATING:
            SkinData->SetUpdating(LOWORD(Message.WParam) == 1);
            return;
        case AC_GETCONTROLCOLOR:
            CallPrevWndProc(Message);
            if (Message.Result == 0) Message.Result = static_cast<LRESULT>(SkinData->GetBGColor(0, CtrlHandle));
            return;
        case AC_GETBG: {
            CallPrevWndProc(Message);
            auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam);
            if (info != nullptr && info->BgType == 0) {
                SkinData->GetBGInfo(*info, 0, CtrlHandle);
                Message.Result = 1;
            }
            return;
        }
        case AC_GETSKINSTATE:
            Message.Result = reinterpret_cast<LRESULT>(SkinData);
            return;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(Application);
            return;
        default:
            TacMainWnd::acWndProc(Message);
            return;
        }
    }

    switch (msg) {
    case WM_NCCALCSIZE:
        NcCalcSize(Message);
        return;
    case WM_NCHITTEST:
        NcHitTest(Message);
        return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if ((Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) && NcLButtonDown(Message)) {
            Message.Result = 0;
            return;
        }
        CallPrevWndProc(Message);
        return;
    case WM_TIMER:
        Timer(Message);
        return;
    case WM_MOUSEMOVE:
        if (fThumbTracking && St().Wnd == CtrlHandle) {
            POINT p{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
            ::ClientToScreen(CtrlHandle, &p);
            DragThumb(TPoint{p.x, p.y});
            Message.Result = 0;
            return;
        }
        if (MouseMove()) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCMOUSEMOVE:
        if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) {
            NcMouseMove(Message);
            return;
        }
        break;
    case WM_LBUTTONUP:
        LButtonUp(Message);
        return;
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
        if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_SYSCOMMAND:
        if (Message.WParam == 0xF077) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_STYLECHANGED:
        if (bPreventStyleChange) {
            Message.Result = 0;
            return;
        }
        if (Message.WParam == static_cast<WPARAM>(GWL_EXSTYLE))
            fLeftScrollbar = (::GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
        break;
    case WM_STYLECHANGING:
        if (bPreventStyleChange) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCPAINT:
        // The system's frame first: its painting draws the system bars,
        // which the skinned ones then cover.
        CallPrevWndProc(Message);
        if (::IsWindowVisible(CtrlHandle) && !SkinData->GetUpdating() && !DontRepaint) {
            ReadScrollInfos();
            PaintScrollBars(this, CtrlHandle, nullptr, -1);
        }
        return;
    case WM_SIZE:
        SkinData->BGChanged = true;
        break;
    default:
        break;
    }

    TacMainWnd::acWndProc(Message);

    // The window may have changed its scroll information meanwhile, and the
    // system then draws its own bar at once: the skinned one goes back over it.
    switch (msg) {
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (!DontRepaint || msg == WM_SETFOCUS || msg == WM_KILLFOCUS) RefreshScrollBars(this, true);
        return;
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_NCACTIVATE:
    case WM_WINDOWPOSCHANGED:
    default:
        if (!Destroyed && !DontRepaint && sBarHorz != nullptr && ReadScrollInfos() &&
            ::IsWindowVisible(CtrlHandle))
            PaintScrollBars(this, CtrlHandle, nullptr, -1);
        return;
    }
}

// ---- routines -------------------------------------------------------------------

void InitSkinScrollWnd(TacScrollWnd* Adapter, HWND Handle, bool Repaint) {
    if (Adapter == nullptr) return;
    Adapter->DontRepaint = false;
    Adapter->CtrlHandle = Handle;
    if (Adapter->sBarHorz == nullptr) Adapter->sBarHorz = new TacScrollBar();
    if (Adapter->sBarVert == nullptr) Adapter->sBarVert = new TacScrollBar();
    const LONG style = ::GetWindowLongW(Handle, GWL_STYLE);
    for (Integer i : {0, 1}) {
        TacScrollBar* b = Adapter->Bar(i);
        b->sw = Adapter;
        b->nBarType = static_cast<Word>(i);
        b->fFlatScrollbar = 0;
        b->nArrowLength = -1;
        b->nArrowWidth = -1;
        b->fScrollFlags = (style & (i == 1 ? WS_VSCROLL : WS_HSCROLL)) ? acSbStyled : 0;
        b->nMinThumbSize = 10;
    }
    Adapter->ReadScrollInfos();
    Adapter->fLeftScrollbar = (::GetWindowLongW(Handle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
    Adapter->bPreventStyleChange = false;
    HookAdapterWnd(Adapter, Handle);
    if (Repaint) RedrawWndFrame(Handle, true);
}

void ReleaseScrollWnd(HWND Handle, bool FreeIt, bool Redraw, TacMainWnd*& Adapter) {
    if (Adapter == nullptr) return;
    auto* sw = dynamic_cast<TacScrollWnd*>(Adapter);
    if (!Adapter->Destroyed) {
        if (sw != nullptr) {
            if (St().Wnd == Handle) ResetTracking();
            if (St().HoverWnd == Handle) {
                ::KillTimer(Handle, acScrollHoverTimer);
                ResetHover();
            }
            sw->fThumbTracking = false;
        }
        // One rule for every window: the procedure goes back only while the
        // adapter's is still the window's.
        Adapter->UnhookWindow();
        Adapter->RestoreStdParams();
        Adapter->GiveThemeBack();
        if (sw != nullptr) {
            delete sw->sBarHorz;
            delete sw->sBarVert;
            sw->sBarHorz = nullptr;
            sw->sBarVert = nullptr;
        }
        if (Handle != nullptr && ::IsWindow(Handle) && ::IsWindowVisible(Handle)) RedrawWndFrame(Handle, Redraw);
        Adapter->Destroyed = true;
    }
    if (FreeIt) {
        Adapter->Free();
        Adapter = nullptr;
    }
}

void RefreshScrollBars(TacScrollWnd* Adapter, bool Repaint) {
    if (Adapter == nullptr || Adapter->Destroyed || Adapter->sBarHorz == nullptr) return;
    if (!::IsWindowVisible(Adapter->CtrlHandle)) return;
    if (Adapter->SkinData != nullptr && Adapter->SkinData->GetUpdating()) return;
    Adapter->ReadScrollInfos();
    if (Repaint && !ScrollRepaintLocked) PaintScrollBars(Adapter, Adapter->CtrlHandle, nullptr, -1);
}

Integer GetScrollMetric(TacScrollBar* Bar, bool Across, bool UseSkin) {
    if (Bar == nullptr) return 0;
    TacScrollMetricModel m;
    m.Vertical = Bar->Vertical();
    m.ArrowLength = Bar->nArrowLength;
    m.ArrowWidth = Bar->nArrowWidth;
    m.CXHScroll = ::GetSystemMetrics(SM_CXHSCROLL);
    m.CYHScroll = ::GetSystemMetrics(SM_CYHSCROLL);
    m.CXVScroll = ::GetSystemMetrics(SM_CXVSCROLL);
    if (UseSkin && Bar->sw != nullptr) {
        TsSkinManager* manager = Bar->sw->SkinData ? Bar->sw->SkinData->SkinManager() : Bar->sw->SkinManager;
        m.SkinArrowLength = SkinScrollArrowLength(manager, Bar->Vertical());
    }
    return GetScrollMetric(m, Across, UseSkin);
}

void GetHScrollRect(TacScrollWnd* Adapter, HWND Handle, TRect& R) { R = GetHScrollRect(FrameOf(Adapter, Handle)); }

void GetVScrollRect(TacScrollWnd* Adapter, HWND Handle, TRect& R) { R = GetVScrollRect(FrameOf(Adapter, Handle)); }

bool ScrollBarEnabled(TacScrollBar* Bar) {
    if (Bar == nullptr || Bar->sw == nullptr) return false;
    const HWND h = Bar->sw->CtrlHandle;
    if (acGetScrollBarInfo == nullptr)
        return (::GetWindowLongW(h, GWL_STYLE) & (Bar->Vertical() ? WS_VSCROLL : WS_HSCROLL)) != 0;
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof(sbi);
    if (!acGetScrollBarInfo(h, Bar->Vertical() ? OBJID_VSCROLL : OBJID_HSCROLL, &sbi)) return false;
    if ((Bar->fScrollFlags & (acSbDisableBefore | acSbDisableAfter)) == (acSbDisableBefore | acSbDisableAfter))
        return false;
    const SCROLLINFO& si = Bar->ScrollInfo;
    if ((Bar->fScrollFlags & acSbNeedsRange) &&
        !(si.nMax >= static_cast<int>(si.nPage) && si.nMin < si.nMax && si.nMax != 0))
        return false;
    return (sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
}

void SendScrollCommand(HWND Handle, UINT ScrollMsg, Integer Code, Integer Pos) {
    LPARAM lParam = MAKELPARAM(Code, ScrollMsg);
    const LRESULT answer = ::SendMessageW(Handle, SkinCommandMessage, MAKEWPARAM(0, AC_BEFORESCROLL), lParam);
    if (answer != 1) {
        const int bar = ScrollMsg == WM_VSCROLL ? SB_VERT : SB_HORZ;
        SCROLLINFO si{};
        si.cbSize = sizeof(si);
        si.fMask = SIF_ALL;
        ::GetScrollInfo(Handle, bar, &si);
        if (Code == SB_THUMBTRACK) {
            si.fMask = SIF_POS;
            si.nPos = Pos;
            ::SetScrollInfo(Handle, bar, &si, FALSE);
        }
        lParam = 0;
    } else {
        lParam = Pos;
    }
    ::SendMessageW(Handle, ScrollMsg, MAKEWPARAM(Code, std::min(Pos, 0xFFFF)), lParam);
    ::SendMessageW(Handle, SkinCommandMessage, MAKEWPARAM(0, AC_AFTERSCROLL), MAKELPARAM(Code, ScrollMsg));
}

void PaintScrollBars(TacScrollWnd* Adapter, HWND Handle, HDC DC, Integer ThumbPos) {
    if (Adapter == nullptr || Adapter->Destroyed || Adapter->sBarHorz == nullptr || Handle == nullptr) return;
    TsCommonData* data = Adapter->SkinData;
    if (data == nullptr || data->GetUpdating()) return;
    TControl* owner = Adapter->OwnerControl();
    if (owner != nullptr && owner->HasState(csCreating)) return;
    if (!::IsWindowVisible(Handle) && !(owner != nullptr && owner->Visible())) return;
    if (data->BGChanged) ::SendMessageW(Handle, SkinCommandMessage, MAKEWPARAM(0, AC_PREPARECACHE), 0);
    HDC dc = DC != nullptr ? DC : ::GetWindowDC(Handle);
    if (dc == nullptr) return;
    Adapter->ReadScrollInfos();
    RECT wr{};
    ::GetWindowRect(Handle, &wr);
    const TRect window(wr.left, wr.top, wr.right, wr.bottom);
    const TacScrollTrackingState& s = ScrollTrackingState;
    for (Integer which : {0, 1}) {
        Integer thumb = -1;
        if (ThumbPos != -1 && s.Wnd == Handle && s.Bar == which) thumb = ThumbPos;
        PaintBar(Adapter, Handle, dc, window, which, thumb);
    }
    PaintCorner(Adapter, Handle, dc, window);
    Adapter->NoteShown();
    if (DC == nullptr) ::ReleaseDC(Handle, dc);
}

TacScrollWnd* ScrollAdapterOf(HWND Wnd) { return dynamic_cast<TacScrollWnd*>(AdapterOfWindow(Wnd)); }

void acScrollWndInitialization() {
    if (FindAdapterClass(u"TacScrollWnd") == nullptr) RegisterAdapterClass<TacScrollWnd>(u"TacScrollWnd");
}
