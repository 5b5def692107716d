#include <algorithm>

#include "sCommonDataWin.h"
#include "sLabel.h"

namespace {

TAlignment AlignmentOfLayout(TsCaptionLayout Layout) {
    switch (Layout) {
    case sclLeft:
    case sclTopRight:
    case sclBottomRight: return taRightJustify;
    case sclTopCenter:
    case sclBottomCenter: return taCenter;
    default: return taLeftJustify;
    }
}

}  // namespace

TsBoundLabel::TsBoundLabel(TObject* /*AOwner*/, TsCommonData* CommonData) : FCommonData(CommonData) {
    FFont = New<TFont>();
}

TsBoundLabel::~TsBoundLabel() {
    if (FTheLabel) {
        TsEditLabel* label = FTheLabel;
        FTheLabel = nullptr;
        label->BoundLabel = nullptr;
        label->Free();
    }
    FActive = false;
    FFont->Free();
}

TControl* TsBoundLabel::BoundControl() const { return FCommonData ? FCommonData->OwnerControl() : nullptr; }

void TsBoundLabel::SetActive(bool Value) {
    if (Value == FActive) return;
    if (!Value) {
        if (FTheLabel) {
            TsEditLabel* label = FTheLabel;
            FTheLabel = nullptr;
            label->Free();
        }
        FActive = false;
        return;
    }
    auto* control = dynamic_cast<TWinControl*>(BoundControl());
    if (!control) return;
    FActive = true;
    if (!FTheLabel) FTheLabel = New<TsEditLabel>(control, this);
    FTheLabel->SetVisible(false);
    FTheLabel->SetParent(control->Parent());
    FTheLabel->SetFocusControl(control);
    FTheLabel->SetAlignment(AlignmentOfLayout(FLayout));
    FTheLabel->SetName(control->Name() + u"Label");
    if (FText.empty()) FText = control->Name();
    FTheLabel->SetCaption(FText);
    FTheLabel->SetVisible(control->Visible() || FTheLabel->HasState(csDesigning));
    FTheLabel->SetEnabled(control->Enabled());
    AlignLabel();
}

void TsBoundLabel::SetCaption(const String& Value) {
    if (FText == Value) return;
    FText = Value;
    if (FActive && FTheLabel) {
        FTheLabel->SetCaption(FText);
        AlignLabel();
    }
}

void TsBoundLabel::SetLayout(TsCaptionLayout Value) {
    FLayout = Value;
    if (FTheLabel) FTheLabel->SetAlignment(AlignmentOfLayout(Value));
    if (FActive) AlignLabel();
}

void TsBoundLabel::SetIndent(Integer Value) {
    FIndent = Value;
    if (FActive) AlignLabel();
}

void TsBoundLabel::SetMaxWidth(Integer Value) {
    FMaxWidth = Value;
    if (FActive) AlignLabel();
}

TFont* TsBoundLabel::Font() const { return FTheLabel ? FTheLabel->Font() : FFont; }

void TsBoundLabel::SetFont(TFont* Value) {
    if (!FTheLabel) return;
    FTheLabel->Font()->Assign(Value);
    if (TControl* control = BoundControl()) FTheLabel->SetParent(control->Parent());
    AlignLabel();
}

bool TsBoundLabel::UseSkinColor() const { return FTheLabel ? FTheLabel->UseSkinColor() : true; }

void TsBoundLabel::SetUseSkinColor(bool Value) {
    if (FTheLabel) FTheLabel->SetUseSkinColor(Value);
}

void TsBoundLabel::AlignLabel() {
    TsEditLabel* L = FTheLabel;
    TControl* C = BoundControl();
    if (!L || !C || !L->Visible()) return;
    // The size first (a width limit wraps the text and makes the label at
    // least as high as the control), then the place from that final size.
    L->SetAutoSize(false);
    L->SetWordWrap(FMaxWidth != 0);
    if (FMaxWidth != 0) L->SetWidth(FMaxWidth);
    L->SetAutoSize(true);
    if (FMaxWidth != 0) {
        const int textHeight = L->Height();
        L->SetAutoSize(false);
        L->SetBounds(L->Left(), L->Top(), FMaxWidth, std::max(textHeight, C->Height()));
    }
    const int w = L->Width(), h = L->Height();
    int left = C->Left(), top = C->Top();
    switch (FLayout) {
    case sclLeft:
        left = C->Left() - w - FIndent - 4;
        top = C->Top() + (C->Height() - h) / 2;
        break;
    case sclTopLeft: top = C->Top() - h - FIndent; break;
    case sclTopCenter:
        left = C->Left() + (C->Width() - w) / 2;
        top = C->Top() - h - FIndent;
        break;
    case sclTopRight:
        left = C->Left() + C->Width() - w;
        top = C->Top() - h - FIndent;
        break;
    case sclLeftTop:
        left = C->Left() - w - FIndent - 4;
        top = C->Top() + 3;
        break;
    case sclBottomLeft: top = C->Top() + C->Height() + FIndent; break;
    case sclBottomCenter:
        left = C->Left() + (C->Width() - w) / 2;
        top = C->Top() + C->Height() + FIndent;
        break;
    case sclBottomRight:
        left = C->Left() + C->Width() - w;
        top = C->Top() + C->Height() + FIndent;
        break;
    }
    L->SetBounds(left, top, w, h);
    L->SetParent(C->Parent());
}

void BoundLabelMessage(TsBoundLabel* BoundLabel, const TMessage& Message, TsDisabledKind DisabledKind) {
    if (!BoundLabel) return;
    TsEditLabel* label = BoundLabel->TheLabel();
    TControl* control = BoundLabel->BoundControl();
    switch (Message.Msg) {
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED: BoundLabel->AlignLabel(); break;
    case CM_VISIBLECHANGED:
        if (label && control) label->SetVisible(control->Visible());
        BoundLabel->AlignLabel();
        break;
    case CM_ENABLEDCHANGED:
        if (label && control) label->SetEnabled(control->Enabled() || !DisabledKind.Contains(dkBlended));
        BoundLabel->AlignLabel();
        break;
    case CM_BIDIMODECHANGED: BoundLabel->AlignLabel(); break;
    default: break;
    }
}
