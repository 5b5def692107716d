// Captions of skinned controls: the control's skin state picks the section,
// its hue and saturation and its cache for the glow.
#include "Controls.h"
#include "acUtils.h"
#include "sAlphaGraph.h"
#include "sCommonDataWin.h"
#include "sSkinManager.h"
#include "sSkinText.h"

namespace {

// The DC's clip region, background mode and text colour and the canvas's
// brush style, given back when the caption is done.
class TCaptionDCState {
public:
    TCaptionDCState(TCanvas* Canvas, const TRect& R) : FCanvas(Canvas), FBrushStyle(Canvas->Brush()->Style()) {
        Canvas->Brush()->SetStyle(bsClear);
        FDC = Canvas->Handle();
        FClip = ::CreateRectRgn(0, 0, 0, 0);
        FHadClip = FClip && ::GetClipRgn(FDC, FClip) == 1;
        FBkMode = ::GetBkMode(FDC);
        FTextColor = ::GetTextColor(FDC);
        ::IntersectClipRect(FDC, R.Left, R.Top, R.Right, R.Bottom);
        ::SetBkMode(FDC, TRANSPARENT);
    }
    ~TCaptionDCState() {
        ::SelectClipRgn(FDC, FHadClip ? FClip : nullptr);
        if (FClip) ::DeleteObject(FClip);
        ::SetBkMode(FDC, FBkMode);
        ::SetTextColor(FDC, FTextColor);
        FCanvas->Brush()->SetStyle(FBrushStyle);
    }
    TCaptionDCState(const TCaptionDCState&) = delete;
    TCaptionDCState& operator=(const TCaptionDCState&) = delete;
    HDC DC() const { return FDC; }

private:
    TCanvas* FCanvas;
    TBrushStyle FBrushStyle;
    HDC FDC = nullptr;
    HRGN FClip = nullptr;
    bool FHadClip = false;
    int FBkMode = 0;
    COLORREF FTextColor = 0;
};

// The section whose colours the caption takes: a transparent graphic control
// (or static text, label or link kind) with the parent's font uses its
// parent's section.
Integer CaptionSection(TsCommonData* Data, TsSkinManager* Manager, Integer State) {
    Integer index = Data->SkinIndex;
    TControl* control = Data->FOwnerControl;
    if (control == nullptr || !Manager->IsValidSkinIndex(index)) return index;
    const bool graphic = dynamic_cast<TWinControl*>(control) == nullptr;
    const bool textKind = Data->COC == 32 || Data->COC == 33 || Data->COC == 74;
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
    TsSkinManager* manager = Data->SkinManager();
    const bool skinned = manager != nullptr && Data->Skinned();
    if (skinned && Hot && Data->SkinIndex == manager->ConstData().IndexWebBtn)
        Canvas->Font()->SetStyle(Canvas->Font()->Style() + TFontStyles{fsUnderline});

    TCaptionDCState state(Canvas, R);
    HDC dc = state.DC();
    auto drawOnce = [&](TColor colour, Integer dx, Integer dy) {
        TRect r = R;
        r.Offset(dx, dy);
        TacDCTextPass{dc, Text, Flags}(colour, r);
    };

    if (!skinned || Data->FCustomFont) {
        if (Enabled) {
            drawOnce(Canvas->Font()->Color(), 0, 0);
        } else {
            drawOnce(clBtnHighlight, 1, 1);
            drawOnce(clBtnShadow, 0, 0);
        }
        return;
    }

    const Integer s = Hot ? 1 : 0;
    const Integer index = CaptionSection(Data, manager, s);
    if (!manager->IsValidSkinIndex(index)) {
        drawOnce(Canvas->Font()->Color(), 0, 0);
        return;
    }
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(index)];
    const TsGenState& props = section.Props[static_cast<std::size_t>(s)];
    auto tint = [&](TColor c) { return SaturateColor(RotateColorHue(Data->FHUEOffset, c), Data->FSaturation); };

    if (!Enabled) {
        drawOnce(tint(BlendColors(section.FontColor.Color, manager->GetGlobalColor(), 0.4)), 0, 0);
        return;
    }
    if (Data->FCacheBmp != nullptr && props.GlowSize > 0) {
        TBitmap* map = nullptr;
        DrawBlurredText(Data->FCacheBmp, Text, R, map, tint(props.GlowColor), props.GlowSize, acContourAll, Flags);
        if (map) map->Free();
    }
    // The contours lie one pixel off R; the text itself, at R, is not clipped
    // by the drawing call.
    ForEachTextPass(
        props.FontColor, true, R,
        [&](TColor colour, const TRect& r) { TacDCTextPass{dc, Text, r == R ? Flags | DT_NOCLIP : Flags}(colour, r); },
        tint);
}
