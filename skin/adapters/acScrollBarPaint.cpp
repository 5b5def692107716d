#include "acScrollBarPaint.h"

#include <algorithm>
#include <memory>

#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"

namespace {

// The skin indexes one bar paints with.
struct BarSkin {
    Integer Track1 = -1, Track1Mask = -1, Track1BG = -1, Track1BGHot = -1;
    Integer Track2 = -1, Track2Mask = -1, Track2BG = -1, Track2BGHot = -1;
    Integer Btn[2] = {-1, -1}, BtnMask[2] = {-1, -1}, BtnBG[2] = {-1, -1}, BtnBGHot[2] = {-1, -1},
            BtnGlyph[2] = {-1, -1};
    Integer Slider = -1, SliderMask = -1, SliderBG = -1, SliderBGHot = -1, SliderGlyph = -1;
    const char16_t* Track1Name = u"";
    const char16_t* Track2Name = u"";
    const char16_t* BtnName[2] = {u"", u""};
    const char16_t* SliderName = u"";
};

BarSkin SkinOf(const TConstantSkinData& c, bool Vertical) {
    BarSkin s;
    if (Vertical) {
        s = BarSkin{c.IndexScrollBar1V, c.MaskScrollBar1V, c.BGScrollBar1V, c.BGHotScrollBar1V,
                    c.IndexScrollBar2V, c.MaskScrollBar2V, c.BGScrollBar2V, c.BGHotScrollBar2V,
                    {c.IndexScrollTop, c.IndexScrollBottom}, {c.MaskScrollTop, c.MaskScrollBottom},
                    {c.IndexBGScrollTop, c.IndexBGScrollBottom}, {c.IndexBGHotScrollTop, c.IndexBGHotScrollBottom},
                    {c.MaskArrowTop, c.MaskArrowBottom},
                    c.IndexSliderVert, c.MaskSliderVert, c.ScrollSliderBGVert, c.ScrollSliderBGHotVert,
                    c.MaskSliderGlyphVert,
                    u"SCROLLBAR1V", u"SCROLLBAR2V", {u"SCROLLBTNTOP", u"SCROLLBTNBOTTOM"}, u"SCROLLSLIDERV"};
    } else {
        s = BarSkin{c.IndexScrollBar1H, c.MaskScrollBar1H, c.BGScrollBar1H, c.BGHotScrollBar1H,
                    c.IndexScrollBar2H, c.MaskScrollBar2H, c.BGScrollBar2H, c.BGHotScrollBar2H,
                    {c.IndexScrollLeft, c.IndexScrollRight}, {c.MaskScrollLeft, c.MaskScrollRight},
                    {c.IndexBGScrollLeft, c.IndexBGScrollRight}, {c.IndexBGHotScrollLeft, c.IndexBGHotScrollRight},
                    {c.MaskArrowLeft, c.MaskArrowRight},
                    c.IndexSliderHorz, c.MaskSliderHorz, c.ScrollSliderBGHorz, c.ScrollSliderBGHotHorz,
                    c.MaskSliderGlyphHorz,
                    u"SCROLLBAR1H", u"SCROLLBAR2H", {u"SCROLLBTNLEFT", u"SCROLLBTNRIGHT"}, u"SCROLLSLIDERH"};
    }
    return s;
}

bool HasSkin(TsSkinManager* Manager) {
    return Manager != nullptr && !Manager->HasState(csDestroying) && Manager->SkinData() != nullptr &&
           Manager->SkinData()->Active;
}

const TsMaskData* MaskAt(TsSkinManager* Manager, Integer Index) {
    if (Index < 0 || static_cast<std::size_t>(Index) >= Manager->ma().size()) return nullptr;
    return &Manager->ma()[static_cast<std::size_t>(Index)];
}

// A section over R in State (held to the section's own states by the
// section painter); nothing for a section the skin lacks.
void PaintPiece(TsSkinManager* Manager, TBitmap* Bmp, const TCacheInfo& CI, Integer Index, Integer Mask,
                Integer BG, Integer BGHot, const char16_t* Name, const TRect& R, Integer State) {
    if (!Manager->IsValidSkinIndex(Index) || R.IsEmpty()) return;
    PaintSectionFast(Index, Mask, BG, BGHot, Manager, Bmp, TPoint{0, 0}, R, State, CI, String(Name));
}

// One frame of a glyph mask centred in R.
void PaintCentredGlyph(TsSkinManager* Manager, TBitmap* Bmp, const TCacheInfo& CI, Integer Glyph, const TRect& R,
                       Integer State) {
    const TsMaskData* mask = MaskAt(Manager, Glyph);
    if (mask == nullptr || R.IsEmpty()) return;
    const Integer w = MaskFrameWidth(*mask), h = MaskFrameHeight(*mask);
    if (w <= 0 || h <= 0) return;
    DrawGlyphMask(Bmp, TPoint{R.Left + (R.Width() - w) / 2, R.Top + (R.Height() - h) / 2}, State, CI, *mask, 1);
}

}  // namespace

Integer ScrollPartState(const TacScrollBarLook& Look, Integer Part) {
    switch (Part) {
    case acSbPageBefore:
    case acSbPageAfter:
        return Look.PressedPart == Part ? 2 : 0;
    default:
        if (Look.PressedPart == Part) return 2;
        return Look.HotPart == Part && Look.Enabled ? 1 : 0;
    }
}

bool ScrollBarSkinned(TsSkinManager* Manager, bool Vertical) {
    if (!HasSkin(Manager)) return false;
    const TConstantSkinData& c = Manager->ConstData();
    return Manager->IsValidSkinIndex(Vertical ? c.IndexScrollBar1V : c.IndexScrollBar1H);
}

Integer SkinScrollArrowLength(TsSkinManager* Manager, bool Vertical) {
    if (!HasSkin(Manager)) return 0;
    const TConstantSkinData& c = Manager->ConstData();
    // The skin asks for its own arrow length through the left button's flag.
    if (!Manager->IsValidSkinIndex(c.IndexScrollLeft) ||
        !Manager->gd()[static_cast<std::size_t>(c.IndexScrollLeft)].ReservedBoolean)
        return 0;
    if (MaskAt(Manager, c.MaskScrollLeft) == nullptr) return 0;
    // A mask without frames or rows measures 0 rather than dividing by nothing.
    if (Vertical) {
        const TsMaskData* top = MaskAt(Manager, c.MaskScrollTop);
        return top ? MaskFrameHeight(*top) : 0;
    }
    return MaskFrameWidth(*MaskAt(Manager, c.MaskScrollLeft));
}

void FillFromUnder(TBitmap* Bmp, const TRect& R, const TCacheInfo& Under) {
    if (Bmp == nullptr || R.IsEmpty()) return;
    if (Under.Ready && Under.Bmp != nullptr && !Under.Bmp->Empty()) {
        const TacBits32 dst = Bits32Of(Bmp), src = Bits32Of(Under.Bmp);
        if (dst.Valid() && src.Valid()) {
            for (Integer y = std::max(0, R.Top); y < std::min(R.Bottom, dst.Height); ++y) {
                std::uint32_t* d = dst.Row(y);
                const Integer sy = y + Under.Y;
                for (Integer x = std::max(0, R.Left); x < std::min(R.Right, dst.Width); ++x) {
                    const Integer sx = x + Under.X;
                    // Outside the image under the bar: its edge colour would
                    // be a guess, so the button face shows instead.
                    d[x] = src.Contains(sx, sy) ? src.Row(sy)[sx] : (ColorToRGB(clBtnFace) & 0xFFFFFF);
                }
            }
            Bmp->Modified = true;
            return;
        }
    }
    const TColor colour = Under.FillColor != kNoColor ? Under.FillColor : ColorToRGB(clBtnFace);
    FillRect32(Bmp, R, colour);
}

void PaintScrollBarBitmap(TsSkinManager* Manager, TBitmap* Bmp, const TCacheInfo& Under,
                          const TacScrollBarLook& Look) {
    if (Bmp == nullptr || Bmp->Empty() || !ScrollBarSkinned(Manager, Look.Vertical)) return;
    const Integer length = Look.Vertical ? Bmp->Height() : Bmp->Width();
    const Integer thickness = Look.Vertical ? Bmp->Width() : Bmp->Height();
    const TRect whole(0, 0, Bmp->Width(), Bmp->Height());

    // What lies under the bar, kept for the sections' transparent parts and
    // for the disabled look.
    std::unique_ptr<TBitmap> under(CreateWorkBitmap(Bmp->Width(), Bmp->Height()));
    FillFromUnder(under.get(), whole, Under);
    BitBlt(Bmp->Canvas()->Handle(), 0, 0, Bmp->Width(), Bmp->Height(), under->Canvas()->Handle(), 0, 0, SRCCOPY);
    TCacheInfo ci;
    ci.Bmp = under.get();
    ci.X = 0;
    ci.Y = 0;
    ci.Ready = true;

    const BarSkin s = SkinOf(Manager->ConstData(), Look.Vertical);
    const TacScrollBarParts parts = ScrollBarParts(length, thickness, Look.Vertical, Look.ArrowLength, Look.Info,
                                                   Look.MinThumbSize, Look.Enabled, Look.ThumbStart);
    const bool full = 2 * Int64{Look.ArrowLength} < length;
    PaintPiece(Manager, Bmp, ci, s.Track1, s.Track1Mask, s.Track1BG, s.Track1BGHot, s.Track1Name, parts.Bar1,
               full ? ScrollPartState(Look, acSbPageBefore) : 0);
    PaintPiece(Manager, Bmp, ci, s.Track2, s.Track2Mask, s.Track2BG, s.Track2BGHot, s.Track2Name, parts.Bar2,
               full ? ScrollPartState(Look, acSbPageAfter) : 0);
    const TRect arrows[2] = {parts.ArrowBefore, parts.ArrowAfter};
    for (int i = 0; i < 2; ++i) {
        const Integer state = ScrollPartState(Look, i == 0 ? acSbLineBefore : acSbLineAfter);
        PaintPiece(Manager, Bmp, ci, s.Btn[i], s.BtnMask[i], s.BtnBG[i], s.BtnBGHot[i], s.BtnName[i], arrows[i],
                   state);
        PaintCentredGlyph(Manager, Bmp, ci, s.BtnGlyph[i], arrows[i], state);
    }
    if (parts.ThumbShown) {
        const Integer state = ScrollPartState(Look, acSbThumb);
        PaintPiece(Manager, Bmp, ci, s.Slider, s.SliderMask, s.SliderBG, s.SliderBGHot, s.SliderName, parts.Thumb,
                   state);
        PaintCentredGlyph(Manager, Bmp, ci, s.SliderGlyph, parts.Thumb, state);
    }

    if (!Look.Enabled) {
        if (Under.Ready && Under.Bmp != nullptr)
            BlendTransBitmap(Bmp, 0, 0, under.get(), TRect(0, 0, Bmp->Width() - 1, Bmp->Height() - 1), 0.4,
                             static_cast<TColor>(0xFF00FF));
        else
            BlendRectWithColor(Bmp, TRect(0, 0, Bmp->Width() - 1, Bmp->Height() - 1), 60,
                               Under.FillColor != kNoColor ? Under.FillColor : ColorToRGB(clBtnFace));
    }
}
