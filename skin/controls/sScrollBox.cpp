#include "sScrollBox.h"

#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "acMaskPaintWin.h"
#include "acPixels.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinDraw.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// Set while the box hands a wheel turn to the form's active control, so that
// the turn coming back up to the box is not handled again.
bool WheelGuard = false;

WPARAM ShiftStateToKeys(TShiftState Shift) {
    WPARAM keys = 0;
    if (Shift & ssShift) keys |= MK_SHIFT;
    if (Shift & ssCtrl) keys |= MK_CONTROL;
    if (Shift & ssLeft) keys |= MK_LBUTTON;
    if (Shift & ssRight) keys |= MK_RBUTTON;
    if (Shift & ssMiddle) keys |= MK_MBUTTON;
    return keys;
}

// The scroll message (WM_HSCROLL or WM_VSCROLL) and the scroll code that
// skin commands 51 and 52 carry in lParam. The skinned bars put the message
// in the high word; a message in the low word is taken as well.
struct ScrollNotice {
    UINT Msg = 0;
    Integer Code = -1;
};
ScrollNotice ScrollNoticeOf(LPARAM LParam) {
    const UINT hi = HIWORD(LParam), lo = LOWORD(LParam);
    if (hi == WM_HSCROLL || hi == WM_VSCROLL) return ScrollNotice{hi, static_cast<Integer>(lo)};
    if (lo == WM_HSCROLL || lo == WM_VSCROLL) return ScrollNotice{lo, static_cast<Integer>(hi)};
    return ScrollNotice{};
}

void EmptyCacheBmp(TsCommonData& sd) {
    if (sd.FCacheBmp && (sd.FCacheBmp->Width() != 0 || sd.FCacheBmp->Height() != 0)) sd.FCacheBmp->SetSize(0, 0);
}

bool CacheMissing(const TsCommonData& sd, Integer Width, Integer Height) {
    return !sd.FCacheBmp || sd.FCacheBmp->Width() != Width || sd.FCacheBmp->Height() != Height;
}

}  // namespace

TsScrollBox::TsScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
    FAutoFrameSize = false;
    FAutoMouseWheel = false;
    FCommonData = New<TsCommonData>(this, true);
    FCommonData->COC = COC_TsScrollBox;
    FControlStyle |= csAcceptsControls;
    FCanvas = new TControlCanvas(this);
    acTrackPos = 0;
    FWidth = 185;
    FHeight = 41;
    FAutoScroll = true;
    FBorderStyle = bsSingle;
}

TsScrollBox::~TsScrollBox() {
    FreeScrollWnd();
    FCommonData->Free();
    FCommonData = nullptr;
    delete FCanvas;
    FCanvas = nullptr;
}

void TsScrollBox::Loaded() {
    TScrollingWinControl::Loaded();
    FCommonData->Loaded();
}

void TsScrollBox::SetParent(TWinControl* AParent) {
    TScrollingWinControl::SetParent(AParent);
    if (AParent && FCommonData) FCommonData->Loaded();
}

void TsScrollBox::CreateParams(TCreateParams& Params) {
    TScrollingWinControl::CreateParams(Params);
    AddScrollBoxBorder(Params, FBorderStyle, Ctl3D());
}

void TsScrollBox::DestroyWnd() {
    FCanvas->FreeHandle();
    TScrollingWinControl::DestroyWnd();
}

void TsScrollBox::SetBorderStyle(TBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    RecreateWnd();
}

TacScrollWnd* TsScrollBox::ScrollWnd() const { return dynamic_cast<TacScrollWnd*>(ListSW); }

bool TsScrollBox::CachedWay() const {
    return (FCommonData->NeedsParentBG() && !FCommonData->CustomColor()) || static_cast<bool>(OnPaint);
}

bool TsScrollBox::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

void TsScrollBox::FreeScrollWnd() {
    if (!ListSW) return;
    TacMainWnd* adapter = ListSW;
    ListSW = nullptr;
    // A released adapter only needs freeing; an attached one gives the
    // window back first.
    ReleaseScrollWnd(HandleAllocated() ? FHandle : nullptr, true, false, adapter);
}

void TsScrollBox::AttachScrollWnd() {
    if (!HandleAllocated()) return;
    AttachScrollAdapter(FCommonData, ListSW);
}

void TsScrollBox::RefreshBars() {
    if (TacScrollWnd* sw = ScrollWnd(); sw && !sw->Destroyed) RefreshScrollBars(sw, true);
}

void TsScrollBox::AlignControls(TControl* AControl, RECT& Rect) {
    TScrollingWinControl::AlignControls(AControl, Rect);
    if (FCommonData->Skinned() && !FCommonData->GetUpdating()) RefreshBars();
}

// ---------------------------------------------------------------------------
// Painting

void TsScrollBox::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    if (!cache || cache->Width() <= 0 || cache->Height() <= 0) return;
    PaintControlSectionOnParent(FCommonData, this, 0, cache, TPoint(0, 0), TRect(0, 0, Width(), Height()), true);
    sd.BGChanged = false;
    if (OnPaint) {
        cache->Canvas()->Lock();
        try {
            OnPaint(this, cache);
        } catch (...) {
            cache->Canvas()->Unlock();
            throw;
        }
        cache->Canvas()->Unlock();
    }
}

void TsScrollBox::Paint(HDC aDC, bool SendUpdated) {
    if (!HandleAllocated()) return;
    TsCommonData& sd = *FCommonData;
    const bool own = aDC == nullptr;
    const HDC dc = own ? ::GetDC(FHandle) : aDC;
    if (!dc) return;
    const Integer fw = FrameWidth();
    if (CachedWay()) {
        sd.FUpdating = sd.GetUpdating();
        if (!sd.FUpdating) {
            const bool rebuild = sd.HalfVisible || sd.BGChanged;
            if (sd.RepaintIfMoved()) {
                // Partly hidden: what shows may change as the box moves.
                RECT clip{};
                ::GetClipBox(dc, &clip);
                const RECT client = ClientRect();
                sd.HalfVisible = clip.left != 0 || clip.top != 0 || clip.right != client.right ||
                                 clip.bottom != client.bottom;
            } else {
                sd.HalfVisible = false;
            }
            if (rebuild || CacheMissing(sd, Width(), Height())) PrepareCache();
            if (!CacheMissing(sd, Width(), Height())) {
                const TRect inside(fw, fw, Width() - fw, Height() - fw);
                CopyCacheExcludingControls(this, FCommonData, inside, TRect(0, 0, inside.Width(), inside.Height()), dc);
            }
            PaintControlsTo(dc, this, TPoint(0, 0));
        }
    } else {
        DirectPaint(dc);
    }
    if (own) ::ReleaseDC(FHandle, dc);
    if (SendUpdated) RefreshChildControls(this);
}

void TsScrollBox::DirectPaint(HDC DC) {
    TsCommonData& sd = *FCommonData;
    TsSkinManager* manager = sd.SkinManager();
    if (!manager || !manager->IsValidSkinIndex(sd.SkinIndex)) return;
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(sd.SkinIndex)];
    sd.SetUpdating(false);
    const Integer fw = FrameWidth();
    const Integer b = sd.MaxBorderWidth();
    const TRect all(0, 0, Width(), Height());
    const int saved = ::SaveDC(DC);
    ExcludeGraphicChildren(DC, this, 0, 0);
    // The section is laid over the whole box, frame included: the client DC
    // shows it from (fw, fw) on.
    POINT origin{};
    ::GetWindowOrgEx(DC, &origin);
    ::SetWindowOrgEx(DC, origin.x + fw, origin.y + fw, nullptr);

    TColor parentColor;
    const TBackgroundInfo info = DirectBackground(this, FCommonData, parentColor);
    const Integer T = section.Transparency;
    TRect client = all;
    const TRect inner(b, b, Width() - b, Height() - b);
    if (!PaintOverParentImage(DC, this, FCommonData, info, T, parentColor)) {
        const TColor c = DirectFillColor(this, FCommonData, section.Color, T, parentColor);
        if (b > 0) {
            PaintSkinControl(DC, all, b, client, 0, FCommonData);
            if (inner.Width() > 0 && inner.Height() > 0) FillDC(DC, inner, c);
        } else {
            FillDC(DC, all, c);
        }
    }
    ::RestoreDC(DC, saved);
    PaintControlsTo(DC, this, TPoint(0, 0));
    // The direct way keeps no image.
    EmptyCacheBmp(sd);
}

// WM_NCPAINT of a skinned box with a border.
void TsScrollBox::PaintFrame() {
    TsCommonData& sd = *FCommonData;
    const Integer fw = FrameWidth();
    const TRect all(0, 0, Width(), Height());
    if (CachedWay()) {
        sd.FUpdating = sd.GetUpdating();
        if (!ControlIsReady(this) || sd.FUpdating) return;
        if (sd.BGChanged || CacheMissing(sd, Width(), Height())) PrepareCache();
        if (CacheMissing(sd, Width(), Height())) return;
        RepaintBorderCorners(FCommonData, 0);
        const HDC dc = ::GetWindowDC(FHandle);
        if (!dc) return;
        CopyBorderStrips(dc, all, sd.FCacheBmp->Canvas()->Handle(), TPoint(0, 0), fw);
        ::ReleaseDC(FHandle, dc);
    } else {
        const HDC dc = ::GetWindowDC(FHandle);
        if (!dc) return;
        TRect client = all;
        PaintSkinControl(dc, all, fw, client, 0, FCommonData);
        ::ReleaseDC(FHandle, dc);
        EmptyCacheBmp(sd);
    }
}

// WM_PRINT of a skinned box: the frame from the cache, the skinned bars, then
// the client area at its place.
void TsScrollBox::PrintBox(HDC DC, LPARAM Flags) {
    TsCommonData& sd = *FCommonData;
    sd.SetUpdating(false);
    if (!ControlIsReady(this) || !DC) return;
    const Integer fw = FrameWidth();
    PrepareCache();
    const int saved = ::SaveDC(DC);
    // Without the frame the DC's origin is the client area's.
    if (Flags & PRF_NONCLIENT) {
        if (!CacheMissing(sd, Width(), Height()))
            CopyBorderStrips(DC, TRect(0, 0, Width(), Height()), sd.FCacheBmp->Canvas()->Handle(), TPoint(0, 0), fw);
        if (TacScrollWnd* sw = ScrollWnd(); sw && !sw->Destroyed) PaintScrollBars(sw, FHandle, DC, -1);
        ::OffsetViewportOrgEx(DC, fw, fw, nullptr);
    }
    if (Flags & PRF_CLIENT) {
        const RECT client = ClientRect();
        ::IntersectClipRect(DC, 0, 0, client.right, client.bottom);
        sd.HalfVisible = false;
        Paint(DC, true);
    }
    ::RestoreDC(DC, saved);
}

// ---------------------------------------------------------------------------
// Scrolling

void TsScrollBox::BeforeScroll(LPARAM LParam) {
    if (OnBeforeScroll) OnBeforeScroll(this);
    const ScrollNotice n = ScrollNoticeOf(LParam);
    if (n.Msg == 0) return;
    acTrackPos = (n.Msg == WM_HSCROLL ? HorzScrollBar() : VertScrollBar())->Position();
    if (CachedWay() && n.Code == SB_THUMBTRACK && HandleAllocated()) ::SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
}

void TsScrollBox::AfterScroll(LPARAM LParam) {
    const ScrollNotice n = ScrollNoticeOf(LParam);
    if (n.Msg != 0 && HandleAllocated()) {
        const bool tracking = n.Code == SB_THUMBTRACK;
        if (CachedWay()) {
            if (!tracking) {
                ::RedrawWindow(FHandle, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
            } else {
                ::SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
                ::RedrawWindow(FHandle, nullptr, nullptr,
                               RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
            }
        } else if (tracking) {
            // Only the strip the move uncovered.
            const bool horizontal = n.Msg == WM_HSCROLL;
            const Integer moved = acTrackPos - (horizontal ? HorzScrollBar() : VertScrollBar())->Position();
            const RECT client = ClientRect();
            RECT strip = client;
            if (moved != 0) {
                if (horizontal) {
                    if (moved > 0)
                        strip.right = std::min<LONG>(client.right, moved);
                    else
                        strip.left = std::max<LONG>(0, client.right + moved);
                } else {
                    if (moved > 0)
                        strip.bottom = std::min<LONG>(client.bottom, moved);
                    else
                        strip.top = std::max<LONG>(0, client.bottom + moved);
                }
                ::RedrawWindow(FHandle, &strip, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
            }
        }
    }
    if (OnAfterScroll) OnAfterScroll(this);
}

bool TsScrollBox::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    if (!FAutoMouseWheel) return TScrollingWinControl::DoMouseWheel(Shift, WheelDelta, MousePos);
    if (WheelGuard) return false;
    TCustomForm* form = GetParentForm(this);
    if (!form) return true;
    TWinControl* active = form->ActiveControl();
    if (active && active->HandleAllocated()) {
        struct Guard {
            Guard() { WheelGuard = true; }
            ~Guard() { WheelGuard = false; }
        } guard;
        const LRESULT answer =
            ::SendMessageW(active->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(ShiftStateToKeys(Shift), WheelDelta),
                           MAKELPARAM(MousePos.X, MousePos.Y));
        RefreshBars();
        if (answer != 0) return true;
    }
    if (OnBeforeScroll) OnBeforeScroll(this);
    TControlScrollBar* bar = VertScrollBar();
    bar->SetPosition(bar->Position() - (WheelDelta / WHEEL_DELTA) * bar->Increment);
    if (OnAfterScroll) OnAfterScroll(this);
    return true;
}

// ---------------------------------------------------------------------------
// Messages

bool TsScrollBox::FirstSkinCommand(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    switch (SkinCommandOf(Message.WParam)) {
    case AC_SETNEWSKIN:
        PassMessageToChildControls(this, Message);
        if (OwnManager(Message.LParam)) HandleCommonMessage(Message, FCommonData);
        return true;
    case AC_REMOVESKIN:
        if (OwnManager(Message.LParam)) {
            FreeScrollWnd();
            if (HandleAllocated() && acUninitializeFlatSB) acUninitializeFlatSB(FHandle);
            HandleCommonMessage(Message, FCommonData);
            if (!HasState(csDestroying)) {
                sd.SkinIndex = -1;
                sd.BorderIndex = -1;
                FControlStyle &= ~csOpaque;
                if (HandleAllocated())
                    ::RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
            }
        }
        PassMessageToChildControls(this, Message);
        return true;
    case AC_REFRESH:
        if (OwnManager(Message.LParam)) {
            HandleCommonMessage(Message, FCommonData);
            const bool deferred = sd.GetUpdating() || acAnimationSwitch;
            if (HandleAllocated())
                ::RedrawWindow(FHandle, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | (deferred ? 0 : RDW_UPDATENOW));
            AttachScrollWnd();
            // Attaching the bars repaints the frame at once, which is left
            // out while an animation paints: the frame stays due for later.
            if (deferred && HandleAllocated()) ::RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        PassMessageToChildControls(this, Message);
        return true;
    case AC_ENDPARENTUPDATE:
        if (sd.FUpdating) {
            sd.FUpdating = false;
            if (HandleAllocated()) ::RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        } else {
            HandleSkinCommand(Message, FCommonData);
        }
        return true;
    case AC_CTRLHANDLED: Message.Result = 1; return true;
    case AC_PREPARING:
        if (HandleAllocated())
            ::RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
        return false;
    case AC_BEFORESCROLL:
        BeforeScroll(Message.LParam);
        Message.Result = 0;
        return true;
    case AC_AFTERSCROLL:
        AfterScroll(Message.LParam);
        Message.Result = 0;
        return true;
    case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return true;
    default: return false;
    }
}

bool TsScrollBox::SkinnedMessage(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_ISBGCHANGED: Message.Result = sd.NeedsParentBG() && sd.FUpdating ? 1 : 0; return true;
        case AC_GETBG: {
            Message.Result = 0;
            auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam);
            if (!sd.FCacheBmp || !info) return true;
            sd.GetBGInfo(*info, 0, nullptr);
            // The children lie inside the window frame.
            if (info->BgType == btCache && !info->PleaseDraw) {
                const Integer fw = FrameWidth();
                info->Offset = TPoint(info->Offset.X + fw, info->Offset.Y + fw);
            }
            Message.Result = 1;
            return true;
        }
        case AC_PREPARECACHE:
            if (sd.BGChanged) PrepareCache();
            return true;
        default: HandleSkinCommand(Message, FCommonData); return true;
        }
    }
    switch (Message.Msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        if (CachedWay()) {
            const bool own = Message.WParam == 0;
            const HDC dc = own ? ::BeginPaint(FHandle, &ps) : reinterpret_cast<HDC>(Message.WParam);
            Paint(dc, true);
            if (own) ::EndPaint(FHandle, &ps);
        } else {
            // The erase message paints the box; this one the graphic children.
            const bool own = Message.WParam == 0;
            if (own) ::InvalidateRect(FHandle, nullptr, TRUE);
            const HDC dc = own ? ::BeginPaint(FHandle, &ps) : reinterpret_cast<HDC>(Message.WParam);
            PaintControlsTo(dc, this, TPoint(0, 0));
            if (own) ::EndPaint(FHandle, &ps);
        }
        Message.Result = 0;
        return true;
    }
    case WM_NCPAINT:
        if (FBorderStyle == bsNone || !Visible()) return false;
        if (acAnimationSwitch) {
            Message.Result = 0;
            return true;
        }
        PaintFrame();
        Message.Result = 0;
        return true;
    case WM_ERASEBKGND: {
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        Message.Result = 1;
        if ((acAnimationSwitch && dc != sd.PrintDC) || !ControlIsReady(this)) return true;
        const TsGeneralData& section = sd.SkinManager()->gd()[static_cast<std::size_t>(sd.SkinIndex)];
        if (section.Transparency == 0 || (Parent() && (SendSkinCommandNoParam(Parent(), AC_CTRLSKINSTATE) & 1) != 0))
            Paint(dc, true);
        return true;
    }
    case WM_PRINT:
        PrintBox(reinterpret_cast<HDC>(Message.WParam), Message.LParam);
        Message.Result = 0;
        return true;
    case CM_VISIBLECHANGED: sd.BGChanged = true; return false;
    case CM_ENTER:
    case CM_EXIT:
        sd.BeginUpdate();
        try {
            TScrollingWinControl::WndProc(Message);
        } catch (...) {
            sd.EndUpdate(false);
            throw;
        }
        sd.EndUpdate(false);
        return true;
    default: return false;
    }
}

void TsScrollBox::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == WM_NCHITTEST) {
        DefaultHandler(Message);
        return;
    }
    if (Message.Msg == CM_CTL3DCHANGED && NewStyleControls && FBorderStyle == bsSingle) RecreateWnd();
    if (Message.Msg == SkinCommandMessage && FirstSkinCommand(Message)) return;
    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
        // Only the box's own notice; children pass theirs up through it.
        if (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this)) {
            const TNotifyEvent& event = Message.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
            if (event) event(this);
        }
    }
    if (!ControlIsReady(this)) {
        TScrollingWinControl::WndProc(Message);
        return;
    }
    if (sd.Skinned() && SkinnedMessage(Message)) return;
    if (HandleCommonMessage(Message, FCommonData)) return;
    TScrollingWinControl::WndProc(Message);
    if (!sd.Skinned() || HasState(csDestroying)) return;
    switch (Message.Msg) {
    case WM_SIZE:
        if (HandleAllocated()) ::RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
        break;
    case WM_WINDOWPOSCHANGING:
    case WM_MOUSEWHEEL:
    case CM_CONTROLLISTCHANGE:
    case CM_CONTROLCHANGE:
    case CM_FOCUSCHANGED:
        if (!sd.GetUpdating() && AutoScroll()) RefreshBars();
        break;
    case WM_PARENTNOTIFY: {
        const UINT event = LOWORD(Message.WParam);
        if ((event == WM_CREATE || event == WM_DESTROY) && AutoScroll()) RefreshBars();
        break;
    }
    case CM_SHOWINGCHANGED: AttachScrollWnd(); break;
    default: break;
    }
}

void sScrollBoxInitialization() { RegisterSkinDataProp<TsScrollBox>(u"TsScrollBox"); }
