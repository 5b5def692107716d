// What the skinned memo and rich edit share: their skin data, bound caption
// label, disabled look and the edit adapter that paints their frame and
// scroll bars while a skin is active, and the steps that handle them.
#pragma once

#include "Controls.h"
#include "sCommonDataWin.h"

class TacMainWnd;

namespace acEditPane {
// The skin command came from the control's own manager.
bool OwnManager(TsCommonData* SkinData, LPARAM LParam);
// Attaches the edit adapter (when skinned). A pane's plain colours are the
// window colours, also when it shows the skin's already.
void AttachAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter);
// Frees the adapter: the window gets its procedure, look and theme back
// (when inside one of the adapter's own messages, as that message returns).
void ReleaseAdapter(TacMainWnd*& Adapter);
// Frame, background and client of a visible window redrawn.
void RedrawWhole(TWinControl* Control);
}  // namespace acEditPane

// An edit control (TBase) with the skin parts of a pane. The derived control
// makes them in its constructor (MakeSkinParts) and frees them in its
// destructor (FreeSkinParts), while the whole control still exists: freeing
// the adapter gives the window its procedure back and may reach the
// control's own message handling.
template <class TBase>
class TacEditPane : public TBase {
public:
    TsCtrlSkinData* SkinData() const { return FCommonData; }
    TsBoundLabel* BoundLabel() const { return FBoundLabel; }
    TsDisabledKind DisabledKind() const { return FDisabledKind; }
    void SetDisabledKind(TsDisabledKind Value) {
        if (FDisabledKind == Value) return;
        FDisabledKind = Value;
        FCommonData->Invalidate();
    }
    // The edit adapter while one is attached (nullptr otherwise).
    TacMainWnd* Adapter() const { return ListSW; }

protected:
    explicit TacEditPane(TComponent* AOwner) : TBase(AOwner) {}

    // Runs as the skin goes: after the skin data let it go, before the
    // window is made anew.
    virtual void SkinRemoved() {}

    // Answers the skin commands both panes answer alike: a new skin and the
    // skin's removal from their own manager, the question whether the control
    // handles itself, and the application. True when Message was one of them.
    bool AnswerPaneCommand(TMessage& Message) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (acEditPane::OwnManager(FCommonData, Message.LParam)) HandleCommonMessage(Message, FCommonData);
            return true;
        case AC_REMOVESKIN:
            if (acEditPane::OwnManager(FCommonData, Message.LParam) && !this->HasState(csDestroying)) {
                acEditPane::ReleaseAdapter(ListSW);
                HandleCommonMessage(Message, FCommonData);
                SkinRemoved();
                // The system look comes back whole with a new window (text,
                // selection and settings are kept by the framework).
                this->RecreateWnd();
            }
            return true;
        case AC_CTRLHANDLED: Message.Result = 1; return true;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return true;
        default: return false;
        }
    }

    void MakeSkinParts(Integer COC) {
        FCommonData = New<TsCtrlSkinData>(this, true);
        FCommonData->COC = COC;
        FBoundLabel = New<TsBoundLabel>(this, FCommonData);
    }
    void FreeSkinParts() {
        acEditPane::ReleaseAdapter(ListSW);
        FBoundLabel->Free();
        FBoundLabel = nullptr;
        FCommonData->Free();
    }

    TsCtrlSkinData* FCommonData = nullptr;
    TsDisabledKind FDisabledKind{dkBlended};
    TsBoundLabel* FBoundLabel = nullptr;
    TacMainWnd* ListSW = nullptr;
};
