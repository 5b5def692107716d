#include "acSBUtilsBaseWnd.h"

#include "sSkinManager.h"

void TacBaseWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacScrollWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    if (msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_REFRESH:
            if (Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager())) {
                TacScrollWnd::acWndProc(Message);
                if (!Destroyed && ::IsWindowVisible(CtrlHandle)) ::SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
                return;
            }
            break;
        case AC_PREPARECACHE:
            if (!DlgMode) PaintWndCache(SkinData, CtrlHandle, false);
            break;
        default: break;
        }
        TacScrollWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case acBaseWndSwallowedMessage: return;
    case WM_SIZE:
    case WM_EXITSIZEMOVE: SkinData->BGChanged = true; break;
    default: break;
    }
    TacScrollWnd::acWndProc(Message);
    if (Destroyed) return;
    switch (msg) {
    case WM_SIZE:
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (!DontRepaint) RefreshScrollBars(this, true);
        break;
    case WM_ENABLE:
    case CM_ENABLEDCHANGED:
        if (::IsWindowVisible(CtrlHandle)) ::SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
        break;
    default: break;
    }
}
