#include "sSectionPaint.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "acMaskPaintWin.h"
#include "acSectionPaint.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"

String acGraphicSkipClass;

namespace {

struct BitmapFree {
    void operator()(TBitmap* b) const {
        if (b != nullptr) b->Free();
    }
};
using OwnedBitmap = std::unique_ptr<TBitmap, BitmapFree>;

// Four-corner gradients through the system's triangle fill (into a work
// bitmap of R's size, then laid into place); the others in pixels.
class TacGdiGradients : public TacGradientPainter {
public:
    void Paint(const TacBits32& Bmp, const TRect& R, const TsGradArray& Arr) override {
        if (Arr.empty() || Arr.front().Mode != 2) return TacGradientPainter::Paint(Bmp, R, Arr);
        const TRect r(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, Bmp.Width),
                      std::min(R.Bottom, Bmp.Height));
        if (r.IsEmpty()) return;
        OwnedBitmap work(CreateWorkBitmap(R.Width(), R.Height()));
        ::PaintGradient(work.get(), TRect(0, 0, R.Width(), R.Height()), Arr, 0);
        const TacBits32 w = Bits32Of(work.get());
        if (!w.Valid()) return;
        for (int y = r.Top; y < r.Bottom; ++y)
            std::memcpy(Bmp.Row(y) + r.Left, w.Row(y - R.Top) + (r.Left - R.Left),
                        static_cast<std::size_t>(r.Width()) * 4);
    }
};

TacGdiGradients gGradients;

// DC state saved on entry and given back on every way out.
class SavedDC {
public:
    explicit SavedDC(HDC DC) : FDC(DC), FState(::SaveDC(DC)) {}
    ~SavedDC() {
        if (FState != 0) ::RestoreDC(FDC, FState);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC FDC;
    int FState;
};

TacBits8 Bits8Of(TBitmap* Bmp) {
    TacBits8 v;
    if (Bmp == nullptr || Bmp->PixelFormat() != pf8bit || Bmp->Empty() || Bmp->Width() <= 0 || Bmp->Height() <= 0)
        return v;
    ::GdiFlush();
    v.Row0 = static_cast<std::uint8_t*>(Bmp->ScanLine(0));
    v.Stride = Bmp->Height() > 1 ? static_cast<std::uint8_t*>(Bmp->ScanLine(1)) - v.Row0 : -Bmp->RowBytes();
    v.Width = Bmp->Width();
    v.Height = Bmp->Height();
    return v;
}

void Changed(TBitmap* Bmp) {
    if (Bmp != nullptr) Bmp->Modified = true;
}

TColor ToRGB(TColor Color) { return Color == kNoColor ? kNoColor : ::ColorToRGB(Color); }

}  // namespace

bool acSectionContext(TsSkinManager*& Manager, TacSectionContext& Ctx) {
    if (Manager == nullptr) Manager = DefaultManager;
    Ctx = TacSectionContext{};
    if (Manager == nullptr) return false;
    Ctx.Model = &Manager->Model();
    Ctx.Gradients = &gGradients;
    return true;
}

TacParent acSectionParent(const TCacheInfo& CI, TacBits32& Holder) {
    TacParent p = acParentOf(CI, Holder);
    p.FillColor = ToRGB(CI.FillColor);
    return p;
}

void PaintSectionBg(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, TColor CustomColor,
                    Integer HotTexture, Integer Texture, TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset,
                    const TRect& R, Integer State) {
    TacSectionContext ctx;
    const TacBits32 bits = Bits32Of(Bmp);
    if (!acSectionContext(Manager, ctx) || !bits.Valid()) return;
    TacBits32 holder;
    ::PaintSectionBg(ctx, SkinIndex, SkinSection, acSectionParent(CI, holder), ToRGB(CustomColor), HotTexture, Texture,
                     bits, Offset, R, State);
    Changed(Bmp);
}

void PaintSection(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, Integer HotTexture,
                  Integer Texture, TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset, const TRect& R,
                  Integer State) {
    TacSectionContext ctx;
    const TacBits32 bits = Bits32Of(Bmp);
    if (!acSectionContext(Manager, ctx) || !bits.Valid()) return;
    TacBits32 holder;
    ::PaintSection(ctx, SkinIndex, SkinSection, acSectionParent(CI, holder), HotTexture, Texture, bits, Offset, R,
                   State);
    Changed(Bmp);
}

void PaintSectionFast(Integer SkinIndex, Integer BorderIndex, Integer Texture, Integer HotTexture,
                      TsSkinManager* Manager, TBitmap* Bmp, TPoint Offset, const TRect& R, Integer State,
                      const TCacheInfo& CI, const String&) {
    TacSectionContext ctx;
    const TacBits32 bits = Bits32Of(Bmp);
    if (!acSectionContext(Manager, ctx) || !bits.Valid()) return;
    TacBits32 holder;
    ::PaintSectionFast(ctx, SkinIndex, BorderIndex, Texture, HotTexture, bits, Offset, R, State,
                       acSectionParent(CI, holder));
    Changed(Bmp);
}

void PaintSectionBgFast(Integer SkinIndex, Integer Texture, Integer HotTexture, TsSkinManager* Manager, TBitmap* Bmp,
                        TPoint Offset, const TRect& R, Integer State, const TCacheInfo& CI, const String&) {
    TacSectionContext ctx;
    const TacBits32 bits = Bits32Of(Bmp);
    if (!acSectionContext(Manager, ctx) || !bits.Valid()) return;
    TacBits32 holder;
    ::PaintSectionBgFast(ctx, SkinIndex, Texture, HotTexture, bits, Offset, R, State, acSectionParent(CI, holder));
    Changed(Bmp);
}

void PaintSectionToDC(Integer SkinIndex, const String& SkinSection, const TCacheInfo& CI, TsSkinManager* Manager,
                      HDC DC, TPoint Offset, const TRect& R, Integer State) {
    if (DC == nullptr || R.Left < 0 || R.Top < 0 || R.IsEmpty()) return;
    OwnedBitmap work(CreateWorkBitmap(R.Width(), R.Height()));
    PaintSection(SkinIndex, SkinSection, CI, -1, -1, Manager, work.get(), Offset, TRect(0, 0, R.Width(), R.Height()),
                 State);
    SavedDC saved(DC);
    ::BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

Integer PaintSectionByName(TBitmap* Bmp, const String& SectionName, const String& AltName, HDC SourceDC,
                           TColor FillColor, TPoint SourcePoint, TsSkinManager* Manager, Integer State) {
    if (Manager == nullptr) Manager = DefaultManager;
    if (Manager == nullptr) return -1;
    String name = SectionName;
    Integer index = Manager->GetSkinIndex(name);
    if (index < 0) {
        name = AltName;
        index = Manager->GetSkinIndex(name);
    }
    if (index < 0 || Bmp == nullptr || Bmp->Empty()) return index;
    TCacheInfo ci;
    if (SourceDC != nullptr) {
        ::BitBlt(Bmp->Canvas()->Handle(), 0, 0, Bmp->Width(), Bmp->Height(), SourceDC, SourcePoint.X, SourcePoint.Y,
                 SRCCOPY);
        ::GdiFlush();
        ci.Bmp = Bmp;
        ci.X = ci.Y = 0;
        ci.Ready = true;
    } else {
        ci.FillColor = FillColor;
    }
    PaintSection(index, name, ci, -1, -1, Manager, Bmp, TPoint(0, 0), TRect(0, 0, Bmp->Width(), Bmp->Height()), State);
    return index;
}

void AddMaskCornerRects(std::vector<TRect>& Rects, Integer Width, const TsMaskData& MaskData, bool Bottom,
                        Integer Y) {
    ::AddMaskCornerRects(Rects, Width, acMaskSource(MaskData), Bottom, Y);
}

void DrawImageSlices(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, const TRect& SrcRect, const TRect& Margins,
                     const TRect& SideWidths, const std::array<int, 4>& SideModes, Integer CentreMode,
                     bool DrawCentre) {
    TacBlitter pixels;
    ::DrawImageSlices(Bits32Of(Dst), Bits32Of(Src), DstRect, SrcRect, Margins, SideWidths, SideModes, CentreMode,
                      DrawCentre, pixels);
    Changed(Dst);
}

void PaintGlyph(TBitmap* Glyph, TBitmap* Dst, const TRect& R, bool Down, Integer Blend, Integer State,
                TsDisabledKind DisabledKind, bool Enabled, Integer NumGlyphs) {
    if (Glyph == nullptr || Glyph->Empty() || Glyph->Width() <= 0 || Glyph->Height() <= 0) return;
    if (!Bits32Of(Dst).Valid()) return;
    const bool fourBit = Glyph->PixelFormat() == pf4bit;
    OwnedBitmap glyph(New<TBitmap>());
    glyph->Assign(Glyph);
    glyph->SetPixelFormat(pf32bit);
    const TacBits32 g = Bits32Of(glyph.get());
    if (!g.Valid()) return;
    const int w = g.Width, h = g.Height;
    // The key colour read at a pixel: as a colour for the copy routines, as
    // the word itself for the blend.
    auto keyAt = [&](int x) { return static_cast<TColor>(SwapRedBlue(g.At(x, h - 1))); };
    auto wordAt = [&](int x) { return static_cast<TColor>(g.At(x, h - 1)); };
    const double factor = Blend / 100.0;
    if (NumGlyphs <= 1) {
        const TRect whole(0, 0, w - 1, h - 1);
        if (Enabled) {
            if (State != 0 || Blend < 1) DrawAlphaBitmapAt(Dst, glyph.get(), R.Left, R.Top, keyAt(0));
            else BlendTransBitmap(Dst, R.Left, R.Top, glyph.get(), whole, factor, kNoColor);
        } else {
            if (DisabledKind.Contains(dkGrayed)) GrayscaleBitmap(glyph.get());
            if (DisabledKind.Contains(dkBlended)) BlendTransBitmap(Dst, R.Left, R.Top, glyph.get(), whole, 0.5, wordAt(0));
            else DrawAlphaBitmapAt(Dst, glyph.get(), R.Left, R.Top, keyAt(0));
        }
        return;
    }
    const Integer index = GlyphFrameIndex(NumGlyphs, State, Down, Enabled, fourBit);
    const int fw = w / NumGlyphs;
    if (fw <= 0) return;
    const TRect frame(index * fw, 0, (index + 1) * fw - 1, h - 1);
    if (!Enabled && State == 0 && Blend > 0)
        BlendTransBitmap(Dst, R.Left, R.Top, glyph.get(), frame, factor, kNoColor);
    else
        CopyTransparentRect(Dst, glyph.get(), R.Left, R.Top, frame, keyAt(Enabled ? frame.Left : 0));
}

void FillSolidRect(HDC DC, const TRect& R, TColor Color) {
    if (DC == nullptr) return;
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Color)));
    if (brush == nullptr) return;
    {
        SavedDC saved(DC);
        const RECT r{R.Left, R.Top, R.Right, R.Bottom};
        ::FillRect(DC, &r, brush);
    }
    ::DeleteObject(brush);
}

void FillSolidFrame(HDC DC, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB, TColor Color) {
    if (DC == nullptr) return;
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Color)));
    if (brush == nullptr) return;
    {
        SavedDC saved(DC);
        for (const TRect& s : BorderStripRects(R, WL, WT, WR, WB)) {
            if (s.IsEmpty()) continue;
            const RECT r{s.Left, s.Top, s.Right, s.Bottom};
            ::FillRect(DC, &r, brush);
        }
    }
    ::DeleteObject(brush);
}

void FillBorderStrips(TBitmap* Bmp, const TRect& R, Integer WL, Integer WT, Integer WR, Integer WB, TColor Color) {
    ::FillBorderStrips(Bits32Of(Bmp), R, WL, WT, WR, WB, ::ColorToRGB(Color));
    Changed(Bmp);
}

void CopyBorderStrips(HDC DstDC, const TRect& R, HDC SrcDC, TPoint SrcPoint, Integer Width) {
    if (DstDC == nullptr || SrcDC == nullptr || Width <= 0) return;
    for (const TRect& s : BorderStripRects(R, Width, Width, Width, Width)) {
        if (s.IsEmpty()) continue;
        ::BitBlt(DstDC, s.Left, s.Top, s.Width(), s.Height(), SrcDC, SrcPoint.X + (s.Left - R.Left),
                 SrcPoint.Y + (s.Top - R.Top), SRCCOPY);
    }
}

void ExcludeGraphicChildren(HDC DC, TWinControl* Control, Integer Y, Integer X) {
    if (DC == nullptr || Control == nullptr) return;
    for (int i = 0; i < Control->ControlCount(); ++i) {
        TControl* child = Control->Controls(i);
        if (child == nullptr || !child->Visible() || dynamic_cast<TGraphicControl*>(child) == nullptr) continue;
        if (!acGraphicSkipClass.empty() && child->ClassName() == acGraphicSkipClass) continue;
        const RECT b = child->BoundsRect();
        ::ExcludeClipRect(DC, b.left + X, b.top + Y, b.right + X, b.bottom + Y);
    }
}

void CopyChannel(TBitmap* Bmp32, TBitmap* Bmp8, Integer Channel, bool ToEightBit) {
    ::CopyChannel(Bits32Of(Bmp32), Bits8Of(Bmp8), Channel, ToEightBit);
    Changed(ToEightBit ? Bmp8 : Bmp32);
}
