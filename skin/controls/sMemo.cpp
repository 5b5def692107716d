#include "sMemo.h"

#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace acEditPane {

bool OwnManager(TsCommonData* SkinData, LPARAM LParam) {
    return reinterpret_cast<TsSkinManager*>(LParam) == SkinData->SkinManager();
}

void RedrawWhole(TWinControl* Control) {
    if (Control->HandleAllocated() && ::IsWindowVisible(Control->Handle()))
        ::RedrawWindow(Control->Handle(), nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
}

void AttachAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter) {
    // An adapter its window's end released is replaced (perhaps at the same
    // address): only a live one counts as the one there was.
    const bool had = Adapter != nullptr && !Adapter->Destroyed;
    AttachEditAdapter(SkinData, Adapter);
    if (Adapter == nullptr || had) return;
    if (!SkinData->CustomColor()) Adapter->StdColor = clWindow;
    if (!SkinData->CustomFont()) Adapter->StdFontColor = clWindowText;
}

void ReleaseAdapter(TacMainWnd*& Adapter) {
    if (Adapter == nullptr) return;
    TacMainWnd* adapter = Adapter;
    Adapter = nullptr;
    adapter->Free();
}

}  // namespace acEditPane

using namespace acEditPane;

TsMemo::TsMemo(TComponent* AOwner) : TacEditPane<TMemo>(AOwner) {
    FControlStyle &= ~csOpaque;
    MakeSkinParts(COC_TsMemo);
}

TsMemo::~TsMemo() { FreeSkinParts(); }

void TsMemo::AfterConstruction() {
    TMemo::AfterConstruction();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsMemo::Loaded() {
    TMemo::Loaded();
    FCommonData->Loaded();
    AttachAdapter(FCommonData, ListSW);
}

void TsMemo::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    if (Message.Msg == CM_FONTCHANGED && Showing()) RedrawWhole(this);
    if (Message.Msg == SkinCommandMessage) {
        if (AnswerPaneCommand(Message)) return;
        switch (SkinCommandOf(Message.WParam)) {
        case AC_REFRESH:
            if (OwnManager(FCommonData, Message.LParam)) {
                AttachAdapter(FCommonData, ListSW);
                HandleCommonMessage(Message, FCommonData);
                RedrawWhole(this);
            }
            return;
        default:
            if (HandleCommonMessage(Message, FCommonData)) return;
            TMemo::WndProc(Message);
            return;
        }
    }
    if (!ControlIsReady(this) || !FCommonData->Skinned()) {
        TMemo::WndProc(Message);
        BoundLabelMessage(FBoundLabel, Message, FDisabledKind);
        return;
    }
    switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // The adapter repaints the frame; the shared steps have nothing to add.
        TMemo::WndProc(Message);
        return;
    case WM_PAINT:
        if (FCommonData->Updating()) {
            if (HandleAllocated()) ::ValidateRect(Handle(), nullptr);
            Message.Result = 0;
            return;
        }
        TMemo::WndProc(Message);
        return;
    default: break;
    }
    if (HandleCommonMessage(Message, FCommonData)) return;
    TMemo::WndProc(Message);
    switch (Message.Msg) {
    case WM_SETFONT:
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED: FCommonData->Invalidate(); break;
    case EM_SCROLLCARET:
        if (OnScrollCaret) OnScrollCaret(this);
        break;
    case WM_VSCROLL:
        if (OnVScroll) OnVScroll(this);
        break;
    case CM_TEXTCHANGED:
    case CM_CHANGED:
        if (auto* bars = dynamic_cast<TacScrollWnd*>(ListSW)) RefreshScrollBars(bars, true);
        break;
    case CM_SHOWINGCHANGED:
        if (Showing()) AttachAdapter(FCommonData, ListSW);
        break;
    default: break;
    }
    BoundLabelMessage(FBoundLabel, Message, FDisabledKind);
}
