#include "sRichEdit.h"

#include "sMemo.h"

namespace {

constexpr Integer kRichEditKind = 7;

}  // namespace

TsRichEdit::TsRichEdit(TComponent* AOwner) : TRichEdit(AOwner) {
    FCommonData = New<TsCommonData>(this, true);
    FCommonData->COC = kRichEditKind;
}

TsRichEdit::~TsRichEdit() {
    ReleaseEditPaneAdapter(this, ListSW);
    FCommonData->Free();
}

void TsRichEdit::AfterConstruction() {
    TRichEdit::AfterConstruction();
    FCommonData->SetDefaultSection();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsRichEdit::Loaded() {
    TRichEdit::Loaded();
    FCommonData->Loaded();
}

void TsRichEdit::WndProc(TMessage& Message) {
    if (HandleEditPaneMessage(this, FCommonData, ListSW, Message)) return;
    TRichEdit::WndProc(Message);
    EditPaneMessageHandled(this, FCommonData, ListSW, Message);
}
