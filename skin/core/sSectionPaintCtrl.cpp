// The section of a skinned control's state: kept apart from the rest of the
// section painter because it needs the skin state of a control.
#include "acSectionPaint.h"
#include "sCommonDataWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// The colour a control with a custom colour paints: the form's colour for a
// form skinner (whose owner is the form), else the owner control's colour.
TColor CustomColorOf(const TsCommonData& Data) {
    if (!Data.FCustomColor) return kNoColor;
    TControl* control = Data.FOwnerControl;
    if (Data.FOwnerObject != nullptr && Data.FOwnerObject->ClassNameIs(u"TsSkinProvider"))
        if (auto* component = dynamic_cast<TComponent*>(Data.FOwnerObject))
            control = dynamic_cast<TControl*>(component->Owner());
    return control != nullptr ? ::ColorToRGB(control->Color()) : kNoColor;
}

struct Target {
    TsSkinManager* Manager = nullptr;
    TacSectionContext Ctx;
    TacBits32 Bits;
};

bool Prepare(TsCommonData* Data, TBitmap* Bmp, const TRect& R, Target& T) {
    if (Data == nullptr) return false;
    T.Manager = Data->SkinManager();
    if (!acSectionContext(T.Manager, T.Ctx) || !T.Ctx.Model->IsValidSkinIndex(Data->SkinIndex)) return false;
    T.Bits = Bits32Of(Bmp);
    return SectionRectFits(T.Bits, R);
}

}  // namespace

void PaintControlSectionBg(TsCommonData* Data, const TCacheInfo& CI, Integer State, TBitmap* Bmp, TPoint Offset,
                           const TRect& R) {
    if (Data == nullptr) return;
    TsSkinManager* manager = Data->SkinManager();
    if (manager == nullptr || !manager->IsValidSkinIndex(Data->SkinIndex)) return;
    const TsGeneralData& d = manager->gd()[static_cast<std::size_t>(Data->SkinIndex)];
    PaintSectionBg(Data->SkinIndex, Data->FSkinSection, CI, CustomColorOf(*Data), Data->HotTexture, Data->Texture,
                   manager, Bmp, Offset, R, SectionState(d, State));
}

void PaintControlSection(TsCommonData* Data, const TCacheInfo& CI, Integer State, TBitmap* Bmp, TPoint Offset,
                         const TRect& R, bool UseParent) {
    Target t;
    if (!Prepare(Data, Bmp, R, t)) return;
    PaintControlSectionBg(Data, CI, State, Bmp, Offset, R);
    t.Bits = Bits32Of(Bmp);
    PaintSectionCorners(t.Ctx, Data->SkinIndex, t.Bits, R, State);
    TacBits32 holder;
    const bool bordered =
        PaintSectionBorder(t.Ctx, Data->BorderIndex, t.Bits, R, State, acSectionParent(CI, holder), Offset, UseParent);
    Bmp->Modified = true;
    const TsGeneralData& d = t.Ctx.Model->gd[static_cast<std::size_t>(Data->SkinIndex)];
    if (!bordered && d.Props[State == 0 ? 0 : 1].Transparency != 0) return;
    if (Data->FHUEOffset != 0) ShiftBitmapHue(t.Bits, Data->FHUEOffset);
    if (Data->FSaturation != 0) ChangeBitmapSaturation(t.Bits, Data->FSaturation);
}

void PaintControlSectionOnParent(TsCommonData* Data, TControl* Control, Integer State, TBitmap* Bmp, TPoint Offset,
                                 const TRect& R, bool UseParent) {
    Target t;
    if (Control == nullptr || !Prepare(Data, Bmp, R, t)) return;
    TBackgroundInfo info;
    info.R = TRect(0, 0, Control->Width(), Control->Height());
    bool asked = false;
    if (Control->Parent() != nullptr) {
        QueryControlBackground(info, Control->Parent(), false);
        asked = true;
    } else if (auto* windowed = dynamic_cast<TWinControl*>(Control); windowed && windowed->HandleAllocated()) {
        QueryWindowBackground(info, ::GetParent(windowed->Handle()), false);
        asked = true;
    }
    TCacheInfo ci;
    if (asked) {
        BackgroundToCacheInfo(info, ci);
        if (ci.Ready) {
            ci.X += Control->Left();
            ci.Y += Control->Top();
        }
    }
    PaintControlSectionBg(Data, ci, State, Bmp, Offset, R);
    t.Bits = Bits32Of(Bmp);
    TacBits32 holder;
    PaintSectionBorder(t.Ctx, Data->BorderIndex, t.Bits, R, State, acSectionParent(ci, holder), Offset, UseParent);
    PaintSectionCorners(t.Ctx, Data->SkinIndex, t.Bits, R, State);
    Bmp->Modified = true;
}
