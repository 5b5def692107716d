#include "sPanel.h"

#include "acPixels.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinDraw.h"
#include "sSkinManager.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

// The section a panel takes by default for its outer bevel; empty for a
// bevel without one.
String DefaultSectionOfBevel(TBevelCut Bevel) {
    switch (Bevel) {
    case bvNone: return u"CHECKBOX";
    case bvLowered: return u"PANEL_LOW";
    case bvRaised: return u"PANEL";
    default: return String();
    }
}

Integer BevelCount(TBevelCut Outer, TBevelCut Inner) { return (Outer != bvNone ? 1 : 0) + (Inner != bvNone ? 1 : 0); }

}  // namespace

TsPanel::TsPanel(TComponent* AOwner) : TPanel(AOwner) {
    FCommonData = New<TsCommonData>(this, true);
    FCommonData->COC = COC_TsPanel;
}

TsPanel::~TsPanel() { FCommonData->Free(); }

void TsPanel::AfterConstruction() {
    TPanel::AfterConstruction();
    FOldBevel = BevelOuter();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsPanel::Loaded() {
    TPanel::Loaded();
    FCommonData->Loaded();
    FOldBevel = BevelOuter();
}

bool TsPanel::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

bool TsPanel::CachedWay() const {
    return (FCommonData->NeedsParentBG() && !FCommonData->CustomColor()) || acAnimationSwitch;
}

void TsPanel::Paint() {
    TPanel::Paint();
    if (OnPaint && Showing()) OnPaint(this, FCanvas);
}

void TsPanel::PaintWindow(HDC DC) {
    if ((ControlState() & csPaintCopy) != 0 && FCommonData->Skinned())
        OurPaint(DC, true);
    else
        TPanel::PaintWindow(DC);
}

void TsPanel::WriteText(const TRect& R, TCanvas* aCanvas, HDC aDC) {
    if (!ShowCaption() || (!aCanvas && !aDC)) return;
    const String text = Caption();
    TCanvas temporary;
    if (!aCanvas) {
        temporary.SetHandle(aDC);
        temporary.Brush()->SetStyle(bsClear);
        aCanvas = &temporary;
    }
    aCanvas->SetFont(Font());
    Cardinal flags = GetTextAlignFlags(this, Alignment());
    if (VerticalAlignment() == taVerticalCenter) {
        TRect measured(R.Left, R.Top, R.Right, R.Top);
        DrawTextRect(aCanvas->Handle(), text, measured, flags | DT_CALCRECT | DT_WORDBREAK);
        const Integer h = measured.Height();
        const Integer top = (R.Height() - h) / 2 + BorderWidth();
        DrawSkinnedText(aCanvas, text, Enabled(), false, FCommonData, flags | DT_WORDBREAK,
                        TRect(R.Left, top, R.Right, top + h));
    } else {
        flags &= ~static_cast<Cardinal>(DT_VCENTER | DT_WORDBREAK);
        flags |= DT_SINGLELINE | (VerticalAlignment() == taAlignBottom ? DT_BOTTOM : DT_TOP);
        DrawSkinnedText(aCanvas, text, Enabled(), false, FCommonData, flags, R);
    }
    if (aCanvas == &temporary) temporary.SetHandle(nullptr);
}

void TsPanel::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    if (!sd.NeedsParentBG() && !acAnimationSwitch) return;
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    if (cache->Width() <= 0 || cache->Height() <= 0) return;
    PaintControlSectionOnParent(FCommonData, this, 0, cache, TPoint(0, 0), TRect(0, 0, Width(), Height()), true);
    WriteText(InnerRect(), cache->Canvas(), nullptr);
    if (OnPaint) OnPaint(this, cache->Canvas());
    sd.BGChanged = false;
}

void TsPanel::OurPaint(HDC DC, bool SendUpdated) {
    TsCommonData& sd = *FCommonData;
    if (!Showing() || !sd.Skinned()) return;
    HDC dc = DC;
    if (!dc) {
        if (!FCanvas->HandleAllocated()) return;
        dc = FCanvas->Handle();
    }
    if (CachedWay()) {
        sd.FUpdating = sd.GetUpdating();
        if (!sd.FUpdating) {
            const bool rebuild = sd.HalfVisible || sd.BGChanged;
            if (!sd.RepaintIfMoved()) {
                sd.HalfVisible = false;
            } else if (Parent()) {
                // Partly outside its parent: the part shown may change as it moves.
                const RECT client = Parent()->ClientRect();
                sd.HalfVisible = Left() < client.left || Top() < client.top || Left() + Width() > client.right ||
                                 Top() + Height() > client.bottom;
            }
            const bool rebuilt = rebuild && !sd.UrgentPainting;
            if (rebuilt) PrepareCache();
            const TRect all(0, 0, Width(), Height());
            CopyCacheExcludingControls(this, FCommonData, all, all, dc);
            if (rebuilt && sd.RepaintIfMoved())
                for (int i = 0; i < ControlCount(); ++i)
                    if (!dynamic_cast<TWinControl*>(Controls(i))) SendSkinCommandToControl(Controls(i), AC_SETBGCHANGED);
            PaintControlsTo(dc, this, TPoint(0, 0));
        }
    } else {
        DirectPaint(dc);
    }
    if (SendUpdated && (ControlState() & csPaintCopy) == 0) RefreshChildControls(this);
}

void TsPanel::DirectPaint(HDC DC) {
    TsCommonData& sd = *FCommonData;
    TsSkinManager* manager = sd.SkinManager();
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(sd.SkinIndex)];
    sd.FUpdating = false;
    const Integer b = sd.MaxBorderWidth();
    const TRect all(0, 0, Width(), Height());
    const int saved = ::SaveDC(DC);
    ExcludeGraphicChildren(DC, this, 0, 0);

    // What lies under the panel.
    TColor parentColor;
    const TBackgroundInfo info = DirectBackground(this, FCommonData, parentColor);
    if (sd.FCacheBmp && (sd.FCacheBmp->Width() == 0 || sd.FCacheBmp->Height() == 0)) sd.FCacheBmp->SetSize(1, 1);

    const Integer T = section.Transparency;
    TRect client = all;
    if (!PaintOverParentImage(DC, this, FCommonData, info, T, parentColor)) {
        const TColor c = DirectFillColor(this, FCommonData, section.Color, T, parentColor);
        if (b > 0) {
            sd.InitCacheBmp();
            const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(sd.BorderIndex)];
            if (T == 100 && (mask.DrawMode & 4) != 0) {
                // The mask covers the whole panel: the cache is shown as it is.
                FillDC(sd.FCacheBmp->Canvas()->Handle(), all, c);
                PaintSkinControl(sd.FCacheBmp->Canvas()->Handle(), all, b, client, 0, FCommonData);
                ::BitBlt(DC, 0, 0, Width(), Height(), sd.FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
            } else {
                PaintSkinControl(DC, all, b, client, 0, FCommonData);
                const TRect inner(b, b, Width() - b, Height() - b);
                if (inner.Width() > 0 && inner.Height() > 0) FillDC(DC, inner, c);
            }
        } else {
            FillDC(DC, all, c);
        }
    }

    // The caption and the owner's drawing.
    TCanvas temporary;
    TCanvas* canvas = FCanvas;
    if (!FCanvas->HandleAllocated() || FCanvas->Handle() != DC) {
        temporary.SetHandle(DC);
        temporary.Brush()->SetStyle(bsClear);
        canvas = &temporary;
    }
    WriteText(InnerRect(), canvas, DC);
    if (OnPaint) OnPaint(this, canvas);
    if (canvas == &temporary) temporary.SetHandle(nullptr);
    sd.BGChanged = false;
    ::RestoreDC(DC, saved);
    PaintControlsTo(DC, this, TPoint(0, 0));
}

void TsPanel::BevelFollowsSection() {
    if (FOldBevel == BevelOuter()) return;
    const String oldDefault = DefaultSectionOfBevel(FOldBevel);
    const String newDefault = DefaultSectionOfBevel(BevelOuter());
    FOldBevel = BevelOuter();
    if (!oldDefault.empty() && !newDefault.empty() && FCommonData->SkinSection() == oldDefault)
        FCommonData->SetSkinSection(newDefault);
}

// The messages of a ready, skinned panel; True when the message is done.
bool TsPanel::PaintMessage(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    switch (Message.Msg) {
    case WM_SIZE: sd.BGChanged = true; return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: TPanel::WndProc(Message); return true;
    case WM_PAINT: {
        if (Visible() || HasState(csDesigning)) {
            PAINTSTRUCT ps{};
            const bool own = Message.WParam == 0;
            const HDC dc = own ? ::BeginPaint(Handle(), &ps) : reinterpret_cast<HDC>(Message.WParam);
            sd.FUpdating = sd.GetUpdating();
            if (!CachedWay() || sd.FUpdating) {
                if (!ParentBackground()) OurPaint(dc, true);
            } else {
                const int saved = ::SaveDC(dc);
                SetControlState(csCustomPaint, true);
                FCanvas->Lock();
                FCanvas->SetHandle(dc);
                try {
                    OurPaint(dc, true);
                } catch (...) {
                    FCanvas->SetHandle(nullptr);
                    FCanvas->Unlock();
                    SetControlState(csCustomPaint, false);
                    ::RestoreDC(dc, saved);
                    if (own) ::EndPaint(Handle(), &ps);
                    throw;
                }
                FCanvas->SetHandle(nullptr);
                FCanvas->Unlock();
                SetControlState(csCustomPaint, false);
                ::RestoreDC(dc, saved);
            }
            if (own) ::EndPaint(Handle(), &ps);
        }
        Message.Result = 0;
        return true;
    }
    case WM_ERASEBKGND: {
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (Message.WParam != static_cast<WPARAM>(Message.LParam)) {
            if (!CachedWay() && !sd.GetUpdating() && dc)
                OurPaint(dc, true);
            else if (HasState(csDesigning))
                TPanel::WndProc(Message);
        } else if (dc) {
            // A copy of the background (PaintTo): the cache or the colour.
            if (CachedWay()) {
                if (sd.BGChanged) PrepareCache();
                if (sd.FCacheBmp)
                    ::BitBlt(dc, 0, 0, Width(), Height(), sd.FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
            } else {
                FillDC(dc, TRect(0, 0, Width(), Height()), GetWindowBgColor(Handle()));
            }
        }
        Message.Result = 1;
        return true;
    }
    case WM_WINDOWPOSCHANGING: {
        const TsGeneralData& s = sd.SkinManager()->gd()[static_cast<std::size_t>(sd.SkinIndex)];
        if (s.Transparency != 0) sd.BGChanged = true;
        return false;
    }
    case WM_PRINT:
        sd.FUpdating = false;
        if (ControlIsReady(this)) {
            if (!CachedWay()) sd.InitCacheBmp();
            PrepareCache();
            OurPaint(reinterpret_cast<HDC>(Message.WParam), false);
        }
        return true;
    case CM_VISIBLECHANGED:
        sd.BGChanged = true;
        sd.FUpdating = false;
        TPanel::WndProc(Message);
        return true;
    case CM_COLORCHANGED:
        if (sd.CustomColor()) sd.BGChanged = true;
        return false;
    case CM_TEXTCHANGED:
        // The caption lives in the cached image too.
        sd.BGChanged = true;
        if (Parent()) Invalidate();
        return true;
    case CM_SHOWINGCHANGED:
        if (Visible()) sd.FUpdating = false;
        return false;
    default: return false;
    }
}

void TsPanel::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
        // Only the panel's own notice; children pass theirs up through it.
        if (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this)) {
            const TNotifyEvent& event = Message.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
            if (event) event(this);
        }
    }
    // Every Invalidate: a section still at the default of the old outer
    // bevel takes the default of the new one, also before the panel has a
    // window or a skin, so that a panel made in code keeps its section right.
    if (Message.Msg == CM_INVALIDATE && !HasState(csLoading | csDestroying)) BevelFollowsSection();
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            FControlStyle &= ~csOpaque;
            PassMessageToChildControls(this, Message);
            if (OwnManager(Message.LParam)) HandleCommonMessage(Message, FCommonData);
            return;
        case AC_REMOVESKIN:
            FControlStyle &= ~csOpaque;
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                Invalidate();
            }
            PassMessageToChildControls(this, Message);
            return;
        case AC_REFRESH:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                if (HandleAllocated() && ::IsWindowVisible(Handle()) && !HasState(csLoading)) {
                    ::InvalidateRect(Handle(), nullptr, TRUE);
                    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
                }
            }
            PassMessageToChildControls(this, Message);
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_GETBG: {
            auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam);
            if (!info || !sd.SkinManager() || !sd.SkinManager()->IsValidSkinIndex(sd.SkinIndex)) return;
            sd.GetBGInfo(*info, 0, nullptr);
            // A panel with a window frame: its children lie inside the bevels and border.
            if (ClientWidth() != Width() && info->BgType == btCache && !info->PleaseDraw) {
                const Integer grow = BevelWidth() * BevelCount(BevelOuter(), BevelInner()) + BorderWidth();
                info->Offset = TPoint(info->Offset.X + grow, info->Offset.Y + grow);
            }
            Message.Result = 1;
            return;
        }
        case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return;
        default: break;
        }
    }

    if (ControlIsReady(this) && sd.Skinned()) {
        if (Message.Msg == SkinCommandMessage) {
            switch (SkinCommandOf(Message.WParam)) {
            case AC_ENDPARENTUPDATE:
                if (sd.FUpdating) {
                    sd.FUpdating = false;
                    sd.FUpdating = sd.GetUpdating();
                    if (!sd.FUpdating)
                        ::RedrawWindow(Handle(), nullptr, nullptr,
                                       RDW_FRAME | RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
                }
                RefreshChildControls(this);
                return;
            case AC_ISBGCHANGED: {
                const bool sizeDiffers = !sd.FCacheBmp || sd.FCacheBmp->Width() != Width() ||
                                         sd.FCacheBmp->Height() != Height();
                Message.Result = sd.FUpdating || (sizeDiffers && sd.NeedsParentBG() && !sd.CustomColor()) ? 1 : 0;
                return;
            }
            default:
                if (HandleSkinCommand(Message, FCommonData)) return;
                break;
            }
        } else if (PaintMessage(Message)) {
            return;
        }
        if (HandleCommonMessage(Message, FCommonData)) return;
        TPanel::WndProc(Message);
        switch (Message.Msg) {
        case WM_SETFONT:
            if (!Caption().empty()) {
                sd.BGChanged = true;
                Repaint();
            }
            break;
        case CM_ENABLEDCHANGED: sd.Invalidate(); break;
        default: break;
        }
        return;
    }

    // Without a skin: the framework's panel, which also calls OnPaint.
    if (Message.Msg == WM_ERASEBKGND && OnPaint) {
        Message.Result = 1;
        return;
    }
    TPanel::WndProc(Message);
}

void sPanelInitialization() { RegisterSkinDataProp<TsPanel>(u"TsPanel"); }
