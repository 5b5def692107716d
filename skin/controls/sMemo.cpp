#include "sMemo.h"

#include "acSBUtils.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

constexpr Integer kMemoKind = 7;

bool OwnManager(TsCommonData* SkinData, LPARAM LParam) {
    return reinterpret_cast<TsSkinManager*>(LParam) == SkinData->SkinManager();
}

void RedrawWhole(TWinControl* Control) {
    if (Control->HandleAllocated() && ::IsWindowVisible(Control->Handle()))
        ::RedrawWindow(Control->Handle(), nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE);
}

// Attaches the adapter (when skinned). A pane's plain colours are the
// window colours (those the skin state gives back when the skin goes), also
// when the pane shows the skin's already: the adapter gives those back.
void AttachPaneAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter) {
    TacMainWnd* before = Adapter;
    AttachEditAdapter(SkinData, Adapter);
    if (Adapter == nullptr || Adapter == before) return;
    if (!SkinData->CustomColor()) Adapter->StdColor = clWindow;
    if (!SkinData->CustomFont()) Adapter->StdFontColor = clWindowText;
}

}  // namespace

void ReleaseEditPaneAdapter(TWinControl* /*Control*/, TacMainWnd*& Adapter) {
    if (Adapter == nullptr) return;
    TacMainWnd* adapter = Adapter;
    Adapter = nullptr;
    // Freed whole (procedure, look and theme given back); inside one of the
    // adapter's own messages that happens when the message returns.
    adapter->Free();
}

bool HandleEditPaneMessage(TWinControl* Control, TsCommonData* SkinData, TacMainWnd*& Adapter, TMessage& Message) {
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (OwnManager(SkinData, Message.LParam)) HandleCommonMessage(Message, SkinData);
            return true;
        case AC_REMOVESKIN:
            if (OwnManager(SkinData, Message.LParam) && !Control->HasState(csDestroying)) {
                ReleaseEditPaneAdapter(Control, Adapter);
                HandleCommonMessage(Message, SkinData);
                RedrawWhole(Control);
            }
            return true;
        case AC_REFRESH:
            if (OwnManager(SkinData, Message.LParam)) {
                AttachPaneAdapter(SkinData, Adapter);
                HandleCommonMessage(Message, SkinData);
                RedrawWhole(Control);
            }
            return true;
        case AC_CTRLHANDLED: Message.Result = 1; return true;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return true;
        default: return HandleCommonMessage(Message, SkinData);
        }
    }
    if (!ControlIsReady(Control) || !SkinData->Skinned()) return false;
    return HandleCommonMessage(Message, SkinData);
}

void EditPaneMessageHandled(TWinControl* Control, TsCommonData* SkinData, TacMainWnd*& Adapter,
                            const TMessage& Message) {
    if (Message.Msg == CM_SHOWINGCHANGED && Control->Showing() && SkinData->Skinned())
        AttachPaneAdapter(SkinData, Adapter);
}

// ---- TsMemo -----------------------------------------------------------------------------

TsMemo::TsMemo(TComponent* AOwner) : TMemo(AOwner) {
    FCommonData = New<TsCommonData>(this, true);
    FCommonData->COC = kMemoKind;
}

TsMemo::~TsMemo() {
    ReleaseEditPaneAdapter(this, ListSW);
    FCommonData->Free();
}

void TsMemo::AfterConstruction() {
    TMemo::AfterConstruction();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsMemo::Loaded() {
    TMemo::Loaded();
    FCommonData->Loaded();
    AttachPaneAdapter(FCommonData, ListSW);
}

void TsMemo::WndProc(TMessage& Message) {
    if (HandleEditPaneMessage(this, FCommonData, ListSW, Message)) return;
    TMemo::WndProc(Message);
    EditPaneMessageHandled(this, FCommonData, ListSW, Message);
}
