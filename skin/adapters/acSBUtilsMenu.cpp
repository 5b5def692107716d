#include "acSBUtilsMenu.h"

#include <algorithm>

#include "Forms.h"
#include "acDials.h"
#include "acUtilsWin.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sVclUtils.h"

namespace {

// The width of the frame the system draws round the items of a popup.
constexpr Integer kMenuFrame = 3;

// Guards the layering of a window being shown against re-entry.
bool gLayering = false;

void SetLayered(HWND Wnd, bool Layered, Byte Alpha) {
    const LONG_PTR ex = ::GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
    if (!Layered) {
        if ((ex & WS_EX_LAYERED) != 0) ::SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        return;
    }
    if (acSetLayeredWindowAttributes == nullptr) return;
    if ((ex & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    acSetLayeredWindowAttributes(Wnd, 0, Alpha, LWA_ALPHA);
}

TsSkinableMenus* MenusOf(TsSkinManager* Manager) { return Manager != nullptr ? Manager->SkinableMenus() : nullptr; }

}  // namespace

TacMnuWnd::TacMnuWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                     bool Repaint)
    : TacScrollWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {
    RgnChanged = 0;
    Shown = false;
}

void TacMnuWnd::PrepareCache() {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    if (SkinData == nullptr || !SkinData->BGChanged) return;
    SkinData->InitCacheBmp();
    TBitmap* cache = SkinData->FCacheBmp;
    const Integer w = std::max(0, WndSize.cx), h = std::max(0, WndSize.cy);
    cache->SetSize(w, h);
    if (w > 0 && h > 0) {
        const TPoint offset{WndRect.Left - ParentRect.Left, WndRect.Top - ParentRect.Top};
        PaintControlSection(SkinData, TCacheInfo{}, 0, cache, offset, TRect(0, 0, w, h), true);
        RepaintWndBorderCorners(SkinData, 0, this);
    }
    SkinData->BGChanged = false;
}

void TacMnuWnd::WindowGone(TMessage& Message) {
    if (Destroyed) {
        // The window was given back already: its own handling, or the
        // system's when nothing is left below.
        if (OldProc != nullptr || OldWndProc)
            CallPrevWndProc(Message);
        else
            Message.Result = ::DefWindowProcW(CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    CallPrevWndProc(Message);
    try {
        TacMainWnd* self = this;
        ReleaseScrollWnd(CtrlHandle, false, false, self);
    } catch (...) {
        // The window goes on being destroyed.
    }
    Destroyed = true;
    RgnChanged = 0;
    ClearMenuInfos();
    bool othersLive = false;
    {
        // Copied: a repainted window may change the list.
        const std::vector<TacMainWnd*> windows = HookedMenuWindows();
        for (TacMainWnd* other : windows) {
            if (other == nullptr || other == this || other->Destroyed) continue;
            othersLive = true;
            ::RedrawWindow(other->CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
        }
    }
    // The last menu window gone: the hook's list is emptied (this adapter is
    // freed once this message has returned).
    if (!othersLive) ClearMenuWindows();
    acMenusSkinning = false;
}

void TacMnuWnd::EraseBackground(TMessage& Message) {
    PrepareCache();
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const bool ownDC = dc == nullptr;
    if (ownDC) dc = ::GetDC(CtrlHandle);
    if (dc != nullptr && SkinData->FCacheBmp != nullptr) {
        // The client lies inside the system's frame.
        ::BitBlt(dc, 0, 0, std::max(0, WndSize.cx - 2 * kMenuFrame), std::max(0, WndSize.cy - 2 * kMenuFrame),
                 SkinData->FCacheBmp->Canvas()->Handle(), kMenuFrame, kMenuFrame, SRCCOPY);
    }
    if (ownDC && dc != nullptr) ::ReleaseDC(CtrlHandle, dc);
    RgnChanged = 0;
    Message.Result = 1;
}

void TacMnuWnd::PositionChanging(TMessage& Message) {
    TacScrollWnd::acWndProc(Message);
    if (Destroyed || gLayering || Message.LParam == 0) return;
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    if ((pos->flags & SWP_NOREDRAW) != 0) return;
    if ((pos->flags & SWP_SHOWWINDOW) != 0 && !::IsWindowVisible(CtrlHandle)) {
        // Shown only once its frame is painted.
        gLayering = true;
        SetLayered(CtrlHandle, true, 0);
        gLayering = false;
        FHiddenUntilPainted = true;
    }
}

void TacMnuWnd::NcPaint(TMessage& Message) {
    TsSkinableMenus* menus = MenusOf(SkinManager != nullptr ? SkinManager : DefaultManager);
    if (menus == nullptr || !menus->Active()) {
        TacScrollWnd::acWndProc(Message);
        // A window kept hidden for its skinned frame is shown as it is.
        if (FHiddenUntilPainted) SetLayered(CtrlHandle, false, 255);
        FHiddenUntilPainted = false;
        Shown = true;
        return;
    }
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    const Integer w = WndSize.cx, h = WndSize.cy;
    // The popup's own background when it fits the window, else the section.
    const TacMenuInfo info = menus->GetMenuInfo(nullptr, 0, 0, CtrlHandle);
    TBitmap* source = info.Bmp;
    if (source == nullptr || source->Width() != w || source->Height() != h) {
        PrepareCache();
        source = SkinData->FCacheBmp;
    }
    if (source != nullptr && w > 0 && h > 0) {
        if (HDC dc = ::GetWindowDC(CtrlHandle)) {
            CopyBorderStrips(dc, TRect(0, 0, w, h), source->Canvas()->Handle(), TPoint{0, 0}, kMenuFrame);
            ::ReleaseDC(CtrlHandle, dc);
        }
    }
    if (!Shown && AeroEnabledQuery != nullptr && AeroEnabledQuery())
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    TsSkinManager* manager = SkinManager != nullptr ? SkinManager : DefaultManager;
    const Byte alpha = manager != nullptr && manager->MenuSupport() != nullptr ? manager->MenuSupport()->AlphaBlend : 255;
    SetLayered(CtrlHandle, alpha != 255, alpha);
    FHiddenUntilPainted = false;
    Shown = true;
    Message.Result = 0;
}

void TacMnuWnd::acWndProc(TMessage& Message) {
    const UINT msg = Message.Msg;
    switch (msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: WindowGone(Message); return;
    case WM_TIMER: CallPrevWndProc(Message); return;
    default: break;
    }
    if (msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_SETUPDATING:
            // To a menu window: whether its region was changed for a border.
            Message.Result = RgnChanged;
            return;
        case AC_BEFOREMENUBORDER:
            if (::IsWindowVisible(CtrlHandle)) RgnChanged = 1;
            return;
        case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return;
        default: break;
        }
    }
    // Skinned painting only while a skinned popup is open.
    // (A window kept transparent for its frame has it painted in any case.)
    const bool skinning = acMenusSkinning || (msg == WM_NCPAINT && FHiddenUntilPainted);
    if (!skinning || Destroyed || SkinData == nullptr) {
        TacScrollWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case WM_ERASEBKGND: EraseBackground(Message); return;
    case WM_WINDOWPOSCHANGING: PositionChanging(Message); return;
    case WM_NCPAINT: NcPaint(Message); return;
    default: TacScrollWnd::acWndProc(Message); return;
    }
}

void acMenuWndInitialization() { RegisterAdapterClass<TacMnuWnd>(u"TacMnuWnd"); }
