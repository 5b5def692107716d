// A rich edit drawn from the skin's section ("EDIT"). While a skin is active
// its frame and scroll bars are painted by an edit adapter attached to its
// window, and it takes the section's colours (its default text attributes
// too); when the skin goes the adapter is released and the window is made
// anew with the plain look (text and settings kept). Its text limit is raised
// whenever its window is made, so that long pages are never cut. It carries
// a bound caption label (BoundLabel).
#pragma once

#include "ComCtrls.h"
#include "acEditPane.h"

class TsRichEdit : public TacEditPane<TRichEdit> {
public:
    KES_CLASS_NAME(TsRichEdit)
    // The text limit of every window the control makes (unless MaxLength
    // sets one).
    static constexpr LPARAM TextLimit = 0x7FFFFFF0;

    explicit TsRichEdit(TComponent* AOwner);
    ~TsRichEdit() override;
    void AfterConstruction() override;

    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
    void SetTextLimit(int value) override;
    void SkinRemoved() override;

private:
    // WM_PRINT while skinned: frame, bars and text into DC.
    void PrintSkinned(HDC DC);
};
