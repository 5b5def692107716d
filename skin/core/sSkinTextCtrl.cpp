// Captions of skinned controls: the control's skin state picks the section,
// its hue and saturation and its cache for the glow.
#include "Controls.h"
#include "sCommonDataWin.h"
#include "sSkinManager.h"
#include "sSkinText.h"

namespace {

// The section whose colours the caption takes: a graphic control, or one of
// the kinds 32 (check box), 33 and 74, with the parent's font uses its
// parent's section when its own is transparent in that state.
Integer CaptionSection(TsCommonData* Data, TsSkinManager* Manager, Integer State) {
    Integer index = Data->SkinIndex;
    TControl* control = Data->FOwnerControl;
    if (control == nullptr || !Manager->IsValidSkinIndex(index)) return index;
    const bool graphic = dynamic_cast<TWinControl*>(control) == nullptr;
    const bool textKind = Data->COC == COC_TsCheckBox || Data->COC == 33 || Data->COC == 74;
    if ((graphic || textKind) && control->ParentFont() && control->Parent() != nullptr &&
        Manager->gd()[static_cast<std::size_t>(index)].Props[State].Transparency > 0)
        index = GetParentSkinIndex(control, index, Manager, State);
    return index;
}

}  // namespace

void DrawSkinnedText(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, TsCommonData* Data,
                     Cardinal Flags, const TRect& R) {
    DrawSkinnedTextCore(Canvas, Text, Enabled, Hot, Data, Flags, R);
}

void DrawSkinnedTextCore(TCanvas* Canvas, const String& Text, bool Enabled, bool Hot, TsCommonData* Data,
                         Cardinal Flags, const TRect& R) {
    if (Text.empty() || Canvas == nullptr || Data == nullptr) return;
    TacCaptionSkin skin;
    skin.Manager = Data->SkinManager();
    skin.Skinned = skin.Manager != nullptr && Data->Skinned();
    skin.CustomFont = Data->FCustomFont;
    skin.HueOffset = Data->FHUEOffset;
    skin.Saturation = Data->FSaturation;
    skin.CacheBmp = Data->FCacheBmp;
    if (skin.Skinned) {
        if (Hot && Data->SkinIndex == skin.Manager->ConstData().IndexWebBtn)
            Canvas->Font()->SetStyle(Canvas->Font()->Style() + TFontStyles{fsUnderline});
        skin.SkinIndex = CaptionSection(Data, skin.Manager, Hot ? 1 : 0);
    }
    DrawCaption(Canvas, Text, Enabled, Hot, skin, Flags, R);
}
