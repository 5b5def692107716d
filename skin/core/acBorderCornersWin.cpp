// The repaint of a control's transparent border corners against its parent.
// Kept apart from the rest of the mask painter because it needs the skin
// state of a control.
#include "acMaskPaintWin.h"
#include "sCommonDataWin.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

void RepaintBorderCorners(TsCommonData* Data, Integer State) {
    if (Data == nullptr || Data->FCacheBmp == nullptr || Data->FOwnerControl == nullptr) return;
    TsSkinManager* manager = Data->SkinManager();
    if (manager == nullptr || Data->BorderIndex < 0 || Data->BorderIndex >= static_cast<Integer>(manager->ma().size()))
        return;
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(Data->BorderIndex)];
    TControl* control = Data->FOwnerControl;
    TBitmap* cache = Data->FCacheBmp;

    TBackgroundInfo info;
    info.R = TRect(0, 0, cache->Width(), cache->Height());
    if (control->Parent() != nullptr) {
        QueryControlBackground(info, control->Parent(), false);
    } else if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->HandleAllocated()) {
        QueryWindowBackground(info, ::GetParent(windowed->Handle()), false);
    } else {
        return;
    }
    TCacheInfo ci;
    BackgroundToCacheInfo(info, ci);
    if (ci.Ready) {
        ci.X += control->Left();
        ci.Y += control->Top();
    }
    TacBits32 parentBits;
    RepaintCornerKeys(Bits32Of(cache), MaskSourceOf(mask, acMaskImage(mask, manager)), State,
                      acParentOf(ci, parentBits));
    cache->Modified = true;
}

