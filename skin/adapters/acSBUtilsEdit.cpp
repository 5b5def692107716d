#include "acSBUtilsEdit.h"

#include <algorithm>

#include "Forms.h"
#include "TypInfo.h"
#include "acSBUtilsGrid.h"
#include "acSBUtilsListView.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// The control kind of list-view skin states.
constexpr Integer kListKind = 10;
// The framework's key notices.
constexpr UINT kKeyDownNotice = 0xBD00;
constexpr UINT kKeyUpNotice = 0xBD01;

bool WindowsSixOrLater() { return LOBYTE(LOWORD(::GetVersion())) >= 6; }

const TsGeneralData* SectionOfData(TsCommonData* Data) {
    if (Data == nullptr) return nullptr;
    TsSkinManager* m = Data->SkinManager();
    if (m == nullptr || !m->IsValidSkinIndex(Data->SkinIndex)) return nullptr;
    return &m->gd()[static_cast<std::size_t>(Data->SkinIndex)];
}

bool HasProp(TObject* Object, const char16_t* Name) { return Object && GetPropInfo(Object, Name) != nullptr; }

}  // namespace

// ---- TacEditWnd ---------------------------------------------------------------------

TacEditWnd::TacEditWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                       bool Repaint)
    : TacBaseWnd(AHandle, ASkinData, ASkinManager, SkinSection.empty() ? String(u"EDIT") : SkinSection, Repaint),
      FRepaintAtCreation(Repaint) {
    const String section = SkinSection.empty() ? String(u"EDIT") : SkinSection;
    if (SkinData->SkinSection() != section) SkinData->SetSkinSection(section);
    FClientRect = TRect(-1, 0, 0, 0);
}

TacEditWnd::~TacEditWnd() = default;

void TacEditWnd::AfterConstruction() {
    TacBaseWnd::AfterConstruction();
    // A grid keeps its own painting style.
    if (IsGridAdapter())
        if (TControl* control = OwnerControl()) control->SetControlStyle(OldCtrlStyle);
}

bool TacEditWnd::ThemeOffAtCreation(TsCommonData* ASkinData, const String& SkinSection) const {
    if (acSetWindowTheme == nullptr || IsGridAdapter()) return false;
    if (ClassName() == u"TacComboListWnd" && !FRepaintAtCreation) return false;
    if (SkinSection == u"DIALOG") return false;
    if (ASkinData == nullptr) return true;
    TControl* owner = ASkinData->OwnerControl();
    return (ASkinData->COC != kListKind || !WindowsSixOrLater()) && !HasProp(owner, u"UseXPThemes");
}

const TRect& TacEditWnd::ClientRect() {
    if (FClientRect.Left == -1) {
        RECT wr{}, cr{};
        ::GetWindowRect(CtrlHandle, &wr);
        ::GetClientRect(CtrlHandle, &cr);
        ::MapWindowPoints(CtrlHandle, nullptr, reinterpret_cast<POINT*>(&cr), 2);
        FClientRect = TRect(cr.left - wr.left, cr.top - wr.top, cr.right - wr.left, cr.bottom - wr.top);
    }
    return FClientRect;
}

void TacEditWnd::SaveStdParams() {
    TControl* owner = OwnerControl();
    if (owner == nullptr) return;
    StdColor = owner->Color();
    StdFontColor = owner->Font()->Color();
    if (HasProp(owner, u"FocusColor")) FocusColor = static_cast<TColor>(GetOrdProp(owner, u"FocusColor"));
}

void TacEditWnd::RestoreStdParams() {
    TacBaseWnd::RestoreStdParams();
    if (CtrlHandle && ::IsWindow(CtrlHandle) && ::IsWindowVisible(CtrlHandle))
        ::SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    TControl* owner = OwnerControl();
    if (owner == nullptr || owner->HasState(csDestroying)) return;
    owner->SetColor(StdColor);
    owner->Font()->SetColor(StdFontColor);
    if (HasProp(owner, u"FocusColor")) SetOrdProp(owner, u"FocusColor", static_cast<Int64>(FocusColor));
}

void TacEditWnd::SetSkinParams() {
    if (bPreventStyleChange || SkinData == nullptr) return;
    bPreventStyleChange = true;
    // The skin data is the owner control's: it outlives this adapter, which
    // a font change below may release.
    TsCommonData* const data = SkinData;
    data->SetUpdating(true);
    TacBaseWnd::SetSkinParams();
    if (const TsGeneralData* section = SectionOfData(SkinData)) {
        if (TControl* owner = OwnerControl()) {
            const Integer state = SkinData->ControlIsActive() && section->States > 1 ? 1 : 0;
            if (!SkinData->CustomColor()) {
                const TColor c = SkinData->GetBGColor(state, CtrlHandle);
                if (HasProp(owner, u"FocusColor")) {
                    if (static_cast<TColor>(GetOrdProp(owner, u"Color")) != c) SetOrdProp(owner, u"Color", c);
                    if (static_cast<TColor>(GetOrdProp(owner, u"FocusColor")) != c) SetOrdProp(owner, u"FocusColor", c);
                } else if (owner->Color() != c) {
                    owner->SetColor(c);
                }
            }
            if (!SkinData->CustomFont()) {
                const TColor fc = StateProps(*section, state).FontColor.Color;
                if (owner->Font()->Color() != fc) {
                    owner->Font()->SetColor(fc);
                    // The change may have released the adapter: the
                    // skin data still ends its update, nothing else is done.
                    if (Destroyed) {
                        data->SetUpdating(false);
                        bPreventStyleChange = false;
                        return;
                    }
                }
            }
        } else {
            if (!SkinData->CustomColor()) Color = DlgMode ? ColorToRGB(clWindow) : StateProps(*section, 0).Color;
            TsSkinManager* manager = SkinData->SkinManager();
            FrameColor = manager && manager->SkinData() ? manager->SkinData()->BorderColor : 0;
        }
        SkinData->BGChanged = true;
    } else {
        FrameColor = 0;
    }
    data->SetUpdating(false);
    bPreventStyleChange = false;
}

void TacEditWnd::RebuildCache() {
    if (!SkinData->BGChanged) {
        // The frame is kept, but what lies under its corners may have been
        // painted anew since (the parent takes a new skin after its
        // children, for one).
        if (!DlgMode) RepaintWndBorderCorners(SkinData, 0, this);
        return;
    }
    if (!ParamsChanged) SetSkinParams();
    if (Destroyed) return;
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    PaintWndCache(SkinData, CtrlHandle, DlgMode);
    if (!DlgMode) RepaintWndBorderCorners(SkinData, 0, this);
}

void TacEditWnd::CopyFrame(HDC DC) {
    TBitmap* cache = SkinData->FCacheBmp;
    if (DC == nullptr || cache == nullptr || cache->Width() <= 0 || cache->Height() <= 0) return;
    const Integer width = ClientRect().Top;
    CopyBorderStrips(DC, TRect(0, 0, cache->Width(), cache->Height()), cache->Canvas()->Handle(), TPoint{0, 0},
                     width);
}

bool TacEditWnd::EmptyClip(HDC DC) const {
    if (DC == nullptr || DC == SkinData->PrintDC) return false;
    RECT r{};
    return ::GetClipBox(DC, &r) == NULLREGION || ::IsRectEmpty(&r);
}

TRect TacEditWnd::PrintClipRect() {
    FClientRect.Left = -1;
    return ClientRect();
}

void TacEditWnd::PrintClient(HDC DC) {
    const TRect client = PrintClipRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;
    const int saved = ::SaveDC(DC);
    ::IntersectClipRect(DC, client.Left, client.Top, client.Right, client.Bottom);
    POINT old{};
    ::OffsetViewportOrgEx(DC, client.Left, client.Top, &old);
    ::SendMessageW(CtrlHandle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
    ::SendMessageW(CtrlHandle, WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    ::SendMessageW(CtrlHandle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_OWNED);
    ::RestoreDC(DC, saved);
}

void TacEditWnd::PrintFrame(HDC DC) {
    if (Destroyed || DC == nullptr || SkinData == nullptr) return;
    const HDC oldPrint = SkinData->PrintDC;
    SkinData->PrintDC = DC;
    SkinData->SetUpdating(false);
    SkinData->BGChanged = true;
    RebuildCache();
    if (!Destroyed) {
        CopyFrame(DC);
        PaintScrollBars(this, CtrlHandle, DC, -1);
    }
    SkinData->PrintDC = oldPrint;
}

void TacEditWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacBaseWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    if (msg == SkinCommandMessage) {
        const bool own = Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager());
        switch (SkinCommandOf(Message.WParam)) {
        case AC_REFRESH:
            if (!own) break;
            TacBaseWnd::acWndProc(Message);
            if (!Destroyed) SetSkinParams();
            return;
        case AC_ENDPARENTUPDATE:
            if (SkinData->FUpdating) {
                SkinData->SetUpdating(false);
                SkinData->SetUpdating(SkinData->GetUpdating());
            }
            if (!SkinData->FUpdating)
                ::RedrawWindow(CtrlHandle, nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_PREPARECACHE:
            GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
            PaintWndCache(SkinData, CtrlHandle, DlgMode);
            RepaintWndBorderCorners(SkinData, 0, this);
            return;
        case AC_GETSKININDEX:
            if (Message.LParam != 0) {
                *reinterpret_cast<Integer*>(Message.LParam) = SkinData->SkinIndex;
                Message.Result = 1;
            }
            return;
        case AC_GETBG: {
            CallPrevWndProc(Message);
            auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam);
            if (info != nullptr && info->BgType == 0) {
                if (SkinData->CustomColor()) {
                    info->BgType = btFill;
                    TControl* owner = OwnerControl();
                    info->Color = owner ? ColorToRGB(owner->Color()) : Color;
                } else {
                    SkinData->GetBGInfo(*info, 0, CtrlHandle);
                }
                Message.Result = 1;
            }
            return;
        }
        case AC_BEFORESCROLL:
        case AC_AFTERSCROLL:
            if ((::GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) == 0) break;
            // The window scrolls without drawing; the whole of it is drawn
            // afterwards (its own scrolling would smear the left bar).
            if (SkinCommandOf(Message.WParam) == AC_BEFORESCROLL) {
                ::SendMessageW(CtrlHandle, WM_SETREDRAW, FALSE, 0);
            } else {
                ::SendMessageW(CtrlHandle, WM_SETREDRAW, TRUE, 0);
                ::InvalidateRect(CtrlHandle, nullptr, TRUE);
            }
            Message.Result = 0;
            return;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return;
        default: break;
        }
        TacBaseWnd::acWndProc(Message);
        return;
    }

    const bool visible = ::IsWindowVisible(CtrlHandle) != FALSE;
    switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        TacBaseWnd::acWndProc(Message);
        if (Destroyed) return;
        auto* control = dynamic_cast<TWinControl*>(OwnerControl());
        if (HasStateImages(SkinData) && control && control->CanFocus() && control->TabStop()) {
            SkinData->BGChanged = true;
            SkinData->FFocused = msg == WM_SETFOCUS;
            if (control->HandleAllocated()) ::SendMessageW(control->Handle(), WM_NCPAINT, 1, 0);
        }
        return;
    }
    case WM_PAINT: {
        if (!visible || bPreventStyleChange) break;
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (EmptyClip(dc)) return;
        if (SkinData->FUpdating || (ScrollRepaintLocked && (dc == nullptr || dc != SkinData->PrintDC))) {
            PAINTSTRUCT ps{};
            ::BeginPaint(CtrlHandle, &ps);
            ::EndPaint(CtrlHandle, &ps);
            Message.Result = 0;
            return;
        }
        PaintScrollBars(this, CtrlHandle, nullptr, -1);
        if (!ParamsChanged) SetSkinParams();
        if (Destroyed) return;
        break;
    }
    case WM_ERASEBKGND: {
        if (!visible || bPreventStyleChange) break;
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (EmptyClip(dc) || SkinData->FUpdating) return;
        if (!ParamsChanged) SetSkinParams();
        if (Destroyed) return;
        if (WindowsSixOrLater() && ScrollRepaintLocked && dc != SkinData->PrintDC) {
            Message.Result = 1;
            return;
        }
        break;
    }
    case WM_NCPAINT: {
        if (!visible || bPreventStyleChange) break;
        Message.Result = 0;
        if (ScrollRepaintLocked || SkinData->FUpdating) return;
        const HDC dc = ::GetWindowDC(CtrlHandle);
        if (dc == nullptr) return;
        RebuildCache();
        if (!Destroyed) {
            PaintScrollBars(this, CtrlHandle, dc, -1);
            CopyFrame(dc);
        }
        ::ReleaseDC(CtrlHandle, dc);
        return;
    }
    case WM_PRINT: {
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        // The window may leave the DC clipped to its client area.
        const int saved = dc ? ::SaveDC(dc) : 0;
        CallPrevWndProc(Message);
        if (saved) ::RestoreDC(dc, saved);
        if (Message.Result == 2 || Destroyed || dc == nullptr) return;
        const HDC oldPrint = SkinData->PrintDC;
        SkinData->PrintDC = dc;
        PrintFrame(dc);
        if (!Destroyed) PrintClient(dc);
        SkinData->PrintDC = oldPrint;
        // Not handed on: the base would print the client once more, over the
        // frame at the DC's origin.
        return;
    }
    case WM_NCCALCSIZE:
        FClientRect.Left = -1;
        break;
    case CM_FONTCHANGED:
        if (!SkinData->FUpdating) ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        break;
    default: break;
    }

    TacBaseWnd::acWndProc(Message);
    if (Destroyed) return;

    switch (msg) {
    case WM_SIZE:
        FClientRect.Left = -1;
        if (::IsWindowVisible(CtrlHandle)) ::SendMessageW(CtrlHandle, WM_NCPAINT, 1, 0);
        break;
    case WM_SETFONT:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_LBUTTONDOWN:
    case kKeyDownNotice:
    case kKeyUpNotice:
        if (!DontRepaint) RefreshScrollBars(this, true);
        break;
    case EM_REPLACESEL:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX: RefreshScrollBars(this, true); break;
    case LB_GETTOPINDEX:
        // A framework list box without items answers 0 for no top item.
        if (Message.Result == 0) {
            TControl* owner = OwnerControl();
            if (owner && owner->ClassName().find(u"ListBox") != String::npos &&
                ::SendMessageW(CtrlHandle, LB_GETCOUNT, 0, 0) == 0)
                Message.Result = -1;
        }
        break;
    case WM_MOUSEMOVE:
        if (::GetCapture() == CtrlHandle && !SkinData->FUpdating) RefreshScrollBars(this, true);
        break;
    default: break;
    }
}

// ---- TacTreeViewWnd ---------------------------------------------------------------------

void TacTreeViewWnd::SetSkinParams() {
    ParamsChanged = true;
    TColor background;
    if (DlgMode) {
        background = ColorToRGB(clWindow);
    } else {
        const TsGeneralData* section = SectionOfData(SkinData);
        if (section == nullptr) return;
        const Integer state = section->States > 1 && SkinData->ControlIsActive() ? 1 : 0;
        background = StateProps(*section, state).Color;
        TControl* owner = OwnerControl();
        if (owner && !SkinData->CustomFont()) {
            const TColor fc = StateProps(*section, state).FontColor.Color;
            if (owner->Font()->Color() != fc) owner->Font()->SetColor(fc);
        }
    }
    TControl* owner = OwnerControl();
    if (SkinData->CustomColor() || (owner && owner->Color() == background)) return;
    ::SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(background)));
}

void TacTreeViewWnd::RestoreStdParams() {
    TacEditWnd::RestoreStdParams();
    if (CtrlHandle && ::IsWindow(CtrlHandle) && ::IsWindowVisible(CtrlHandle))
        ::SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindow)));
}

void TacTreeViewWnd::acWndProc(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND && !Destroyed && SkinData != nullptr && SkinData->Skinned()) {
        if (!SkinData->FUpdating) {
            RebuildCache();
            const TsGeneralData* section = SectionOfData(SkinData);
            const TColor fill = DlgMode || section == nullptr ? ColorToRGB(clWindow) : StateProps(*section, 0).Color;
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            const bool own = dc == nullptr;
            if (own) dc = ::GetDC(CtrlHandle);
            RECT r{};
            ::GetClientRect(CtrlHandle, &r);
            FillSolidRect(dc, TRect(r.left, r.top, r.right, r.bottom), fill);
            if (own) ::ReleaseDC(CtrlHandle, dc);
        }
        Message.Result = 0;
        return;
    }
    const UINT msg = Message.Msg;
    TacEditWnd::acWndProc(Message);
    if (msg == WM_LBUTTONUP && !Destroyed && ::GetCapture() == CtrlHandle) ::ReleaseCapture();
}

// ---- the unit ---------------------------------------------------------------------------

void acEditWndInitialization() {
    RegisterAdapterClass<TacEditWnd>(u"TacEditWnd");
    RegisterAdapterClass<TacListViewWnd>(u"TacListViewWnd");
    RegisterAdapterClass<TacGridWnd>(u"TacGridWnd");
    RegisterAdapterClass<TacTreeViewWnd>(u"TacTreeViewWnd");
}
