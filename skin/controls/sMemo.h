// A memo drawn from the skin's section ("EDIT"). While a skin is active its
// frame and scroll bars are painted by an edit adapter attached to its
// window, and it takes the section's colours; when the skin goes the adapter
// is released and the plain look comes back. Until a skin is loaded it looks
// and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"
#include "sCommonDataWin.h"

class TacMainWnd;

class TsMemo : public TMemo {
public:
    KES_CLASS_NAME(TsMemo)
    explicit TsMemo(TComponent* AOwner);
    ~TsMemo() override;
    void AfterConstruction() override;

    TsCommonData* SkinData() const { return FCommonData; }
    // The edit adapter while one is attached (nullptr otherwise).
    TacMainWnd* Adapter() const { return ListSW; }

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;

private:
    TsCommonData* FCommonData = nullptr;
    TacMainWnd* ListSW = nullptr;
};

// The skin handling the memo and the rich edit share: the skin commands
// (the adapter attached when a skin is painted, released when it goes) and,
// while skinned, the shared preprocessing. True when the message was
// answered; otherwise the control's own handling follows.
bool HandleEditPaneMessage(TWinControl* Control, TsCommonData* SkinData, TacMainWnd*& Adapter, TMessage& Message);
// After the control's own handling: a control that becomes showing while
// skinned gets its adapter.
void EditPaneMessageHandled(TWinControl* Control, TsCommonData* SkinData, TacMainWnd*& Adapter,
                            const TMessage& Message);
// Frees the adapter: the window gets its procedure, look and theme back (when
// inside one of the adapter's own messages, as that message returns).
void ReleaseEditPaneAdapter(TWinControl* Control, TacMainWnd*& Adapter);
