#include "acDialogWnd.h"

#include "acDials.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sStyleSimply.h"

namespace {

bool WindowsSixOrLater() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    return ::GetVersionExW(&info) && info.dwMajorVersion >= 6;
}

}  // namespace

TacDialogWnd::TacDialogWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                           const String& SkinSection, bool Repaint)
    : TacScrollWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {
    Initialized = false;
    RgnChanged = true;
    BorderStyle = acbsSingle;
    FFormActive = true;
    FWMPaintForbidden = WindowsSixOrLater();
    FCaptionSkinIndex = -1;
    TitleIndex = -1;
}

void TacDialogWnd::AfterConstruction() {
    TacScrollWnd::AfterConstruction();
    // Until the first non-client paint the dialog counts as updating: its
    // children wait for it before they paint over its background.
    if (SkinData) SkinData->SetUpdating(true);
}

void TacDialogWnd::InitParams() {
    dwStyle = static_cast<DWORD>(::GetWindowLongW(CtrlHandle, GWL_STYLE));
    dwExStyle = static_cast<DWORD>(::GetWindowLongW(CtrlHandle, GWL_EXSTYLE));
    if ((dwStyle & WS_POPUP) && (dwStyle & WS_CAPTION) != WS_CAPTION)
        BorderStyle = acbsNone;
    else if (dwStyle & WS_THICKFRAME)
        BorderStyle = acbsSizeable;
    else if (dwStyle & DS_MODALFRAME)
        BorderStyle = acbsDialog;
    else
        BorderStyle = acbsSizeable;
    if (dwExStyle & WS_EX_LAYERED)
        ::SetWindowLongW(CtrlHandle, GWL_EXSTYLE, static_cast<LONG>(dwExStyle & ~static_cast<DWORD>(WS_EX_LAYERED)));
}

void TacDialogWnd::AdaptChildren() {
    if (Provider) Provider->InitHwndControls(CtrlHandle);
}

void TacDialogWnd::ReleaseDialog(TMessage& Message) {
    CallPrevWndProc(Message);
    TacMainWnd* self = this;
    try {
        ReleaseScrollWnd(CtrlHandle, false, false, self);
    } catch (...) {
        // The dialog goes on being destroyed.
    }
    Destroyed = true;
    // The provider is freed once the dialog is gone and none of its
    // adapters is inside a call; the hook's next destruction may come late.
    ScheduleProviderRelease();
}

void TacDialogWnd::acWndProc(TMessage& Message) {
    if (Destroyed) {
        CallPrevWndProc(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_DESTROY:
        // The children go after this: the dialog stays adapted until its
        // window's last message.
        CallPrevWndProc(Message);
        return;
    case WM_NCDESTROY:
        ReleaseDialog(Message);
        return;
    case WM_INITDIALOG:
        CallPrevWndProc(Message);
        // The system places a message box while it initialises it: a
        // requested position holds only when applied afterwards.
        if (RequestedPos.X != -1 && RequestedPos.Y != -1)
            ::SetWindowPos(CtrlHandle, nullptr, RequestedPos.X, RequestedPos.Y, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        return;
    default: break;
    }

    if (SkinData == nullptr || SkinManager == nullptr || !SkinManager->Active()) {
        TacScrollWnd::acWndProc(Message);
        return;
    }

    if (Message.Msg == SkinCommandMessage) {
        const Word command = SkinCommandOf(Message.WParam);
        const bool ours = Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager());
        switch (command) {
        case AC_SETNEWSKIN:
            if (ours) {
                SkinData->UpdateIndexes();
                SkinData->BGChanged = true;
                FCaptionSkinIndex = SkinManager->GetSkinIndex(u"CAPTION");
                SendToChildWindows(CtrlHandle, Message);
            }
            return;
        case AC_REFRESH:
            if (ours) {
                SkinData->UpdateIndexes();
                SkinData->BGChanged = true;
                if (::IsWindowVisible(CtrlHandle))
                    ::RedrawWindow(CtrlHandle, nullptr, nullptr,
                                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            }
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_SETUPDATING:
            SkinData->SetUpdating(LOWORD(Message.WParam) == 1);
            if (SkinData->FUpdating) SkinData->BGChanged = true;
            break;
        case AC_ISBGCHANGED: Message.Result = SkinData->FUpdating ? 1 : 0; return;
        case AC_MUSTBEREPAINTED: {
            Message.Result = 0;
            if (SkinManager->IsValidSkinIndex(SkinData->SkinIndex)) {
                const TsGeneralData& s = SkinManager->gd()[static_cast<std::size_t>(SkinData->SkinIndex)];
                Message.Result = s.GradientPercent + s.ImagePercent > 0 ? 1 : 0;
            }
            return;
        }
        case AC_GETCONTROLCOLOR:
            Message.Result = static_cast<LRESULT>(static_cast<Cardinal>(SkinData->GetBGColor(0, CtrlHandle)));
            return;
        case AC_UPDATECHILDREN: AdaptChildren(); break;
        case AC_GETBG:
            if (Message.LParam != 0) {
                auto& info = *reinterpret_cast<TBackgroundInfo*>(Message.LParam);
                SkinData->GetBGInfo(info, 0, CtrlHandle);
                // The dialog keeps no image of itself yet (the system paints
                // it): an image answer without an image becomes the colour.
                if (info.BgType == btCache && (info.Bmp == nullptr || info.Bmp->Width() == 0)) {
                    info.BgType = btFill;
                    info.Bmp = nullptr;
                    info.Color = SkinData->GetBGColor(0, CtrlHandle);
                }
                Message.Result = 1;
            }
            return;
        default: break;
        }
        TacScrollWnd::acWndProc(Message);
        return;
    }

    switch (Message.Msg) {
    case WM_ERASEBKGND:
        if (!Initialized) {
            Initialized = true;
            AdaptChildren();
        }
        break;
    case WM_NCPAINT:
        if (::IsWindowVisible(CtrlHandle)) {
            AdaptChildren();
            TacScrollWnd::acWndProc(Message);
            if (!Destroyed && SkinData) SkinData->SetUpdating(false);
            return;
        }
        break;
    case WM_USER + 1:
        TacScrollWnd::acWndProc(Message);
        if (!Destroyed) AdaptChildren();
        return;
    case 0x52E:
        CallPrevWndProc(Message);
        if (!Destroyed) {
            AdaptChildren();
            RedrawWndFrame(CtrlHandle, false);
        }
        return;
    default: break;
    }
    TacScrollWnd::acWndProc(Message);
}
