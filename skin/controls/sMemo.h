// A memo drawn from the skin's section ("EDIT"). While a skin is active its
// frame and scroll bars are painted by an edit adapter attached to its
// window, and it takes the section's colours; when the skin goes the adapter
// is released and the window is made anew with the plain look (text and
// settings kept). It carries a bound caption label (BoundLabel). Until a
// skin is loaded it looks and behaves like its plain counterpart.
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

    TsCtrlSkinData* SkinData() const { return FCommonData; }
    TsBoundLabel* BoundLabel() const { return FBoundLabel; }
    TsDisabledKind DisabledKind() const { return FDisabledKind; }
    void SetDisabledKind(TsDisabledKind Value);
    // The edit adapter while one is attached (nullptr otherwise).
    TacMainWnd* Adapter() const { return ListSW; }

    // After the window scrolled its caret into view (EM_SCROLLCARET), and
    // after it scrolled vertically (WM_VSCROLL), while skinned.
    TNotifyEvent OnScrollCaret;
    TNotifyEvent OnVScroll;

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;

private:
    TsCtrlSkinData* FCommonData = nullptr;
    TsDisabledKind FDisabledKind{dkBlended};
    TsBoundLabel* FBoundLabel = nullptr;
    TacMainWnd* ListSW = nullptr;
};

// Pieces the memo and the rich edit share.
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
