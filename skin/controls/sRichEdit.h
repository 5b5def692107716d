// A rich edit drawn from the skin's section ("EDIT"). While a skin is active
// its frame and scroll bars are painted by an edit adapter attached to its
// window, and it takes the section's colours; when the skin goes the adapter
// is released and the plain look comes back. Until a skin is loaded it looks
// and behaves like its plain counterpart.
#pragma once

#include "ComCtrls.h"
#include "sCommonDataWin.h"

class TacMainWnd;

class TsRichEdit : public TRichEdit {
public:
    KES_CLASS_NAME(TsRichEdit)
    explicit TsRichEdit(TComponent* AOwner);
    ~TsRichEdit() override;
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
