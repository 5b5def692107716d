// A memo drawn from the skin's section ("EDIT"). While a skin is active its
// frame and scroll bars are painted by an edit adapter attached to its
// window, and it takes the section's colours; when the skin goes the adapter
// is released and the window is made anew with the plain look (text and
// settings kept). It carries a bound caption label (BoundLabel). Until a
// skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"
#include "acEditPane.h"

class TsMemo : public TacEditPane<TMemo> {
public:
    KES_CLASS_NAME(TsMemo)
    explicit TsMemo(TComponent* AOwner);
    ~TsMemo() override;
    void AfterConstruction() override;

    // After the window scrolled its caret into view (EM_SCROLLCARET), and
    // after it scrolled vertically (WM_VSCROLL), while skinned.
    TNotifyEvent OnScrollCaret;
    TNotifyEvent OnVScroll;

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
};
