// Work bitmaps and the TBitmap-level pixel routines: each attaches its
// bitmaps (flushing GDI first) and runs the portable kernel.
#include "sGraphUtils.h"

#include <memory>

TBitmap* CreateWorkBitmap(Integer width, Integer height) {
    auto* bmp = New<TBitmap>();
    bmp->SetPixelFormat(pf32bit);
    bmp->SetWidth(width);
    bmp->SetHeight(height);
    return bmp;
}

TBitmap* CreateBitmapLike(TBitmap* bmp) {
    auto* result = New<TBitmap>();
    if (bmp != nullptr) {
        result->SetPixelFormat(bmp->PixelFormat());
        result->SetSize(bmp->Width(), bmp->Height());
    }
    return result;
}

namespace {

// Row 0 and the step to row 1 of a bitmap with a handle (a one-row bitmap
// takes the bottom-up step the framework's DIBs have).
bool RowsOf(TBitmap* bmp, std::uint8_t*& row0, std::intptr_t& delta) {
    if (bmp == nullptr || bmp->Empty() || bmp->Width() <= 0 || bmp->Height() <= 0) return false;
    ::GdiFlush();
    row0 = static_cast<std::uint8_t*>(bmp->ScanLine(0));
    delta = bmp->Height() > 1 ? static_cast<std::uint8_t*>(bmp->ScanLine(1)) - row0 : -bmp->RowBytes();
    return true;
}

TacParent ParentOf(const TCacheInfo& ci, TacBits32& holder) {
    TacParent p;
    holder = Bits32Of(ci.Bmp);
    p.Bmp = holder.Valid() ? &holder : nullptr;
    p.X = ci.X;
    p.Y = ci.Y;
    p.FillColor = ci.FillColor;
    p.Ready = ci.Ready;
    return p;
}

void Changed(TBitmap* bmp) {
    if (bmp != nullptr) bmp->Modified = true;
}

}  // namespace

TacBits32 Bits32Of(TBitmap* bmp) {
    TacBits32 bits;
    if (bmp == nullptr || bmp->PixelFormat() != pf32bit) return bits;
    std::intptr_t delta = 0;
    if (!RowsOf(bmp, bits.Row0, delta)) return bits;
    bits.Width = bmp->Width();
    bits.Height = bmp->Height();
    bits.Stride = delta;
    return bits;
}

// ---- TacFast32 -------------------------------------------------------------

bool TacFast32::Attach(TBitmap* bmp) {
    const TacBits32 bits = Bits32Of(bmp);
    if (!bits.Valid() || bits.Height < 2) {
        FWidth = 0;
        return false;
    }
    FBitmap = bmp;
    FWidth = bits.Width;
    FHeight = bits.Height;
    FStart = bits.Row0;
    FDelta = bits.Stride;
    return true;
}

TacBits32 TacFast32::Bits() const {
    TacBits32 bits;
    if (FWidth <= 0 || FStart == nullptr) return bits;
    bits.Row0 = FStart;
    bits.Width = FWidth;
    bits.Height = FHeight;
    bits.Stride = FDelta;
    return bits;
}

void TacFast32::FillRect(const TRect& r, std::uint32_t& color) {
    color |= 0xFF000000u;
    FillPixels32(Bits(), r, color);
}

TColor TacFast32::GetPixel(Integer x, Integer y) const {
    const TacBits32 bits = Bits();
    if (!bits.Valid() || !bits.Contains(x, y)) return 0;
    return static_cast<TColor>(SwapRedBlue(bits.At(x, y)));
}

void TacFast32::SetPixel(Integer x, Integer y, TColor color) {
    const TacBits32 bits = Bits();
    if (!bits.Valid() || !bits.Contains(x, y)) return;
    bits.At(x, y) = SwapRedBlue(static_cast<std::uint32_t>(color));
}

// ---- TacFastSum32 ----------------------------------------------------------

bool TacFastSum32::Attach(TBitmap* bmpSrc, TBitmap* bmpDst) {
    const TacBits32 src = Bits32Of(bmpSrc), dst = Bits32Of(bmpDst);
    if (!src.Valid() || !dst.Valid() || src.Width < 2 || src.Height < 2 || dst.Width < 2 || dst.Height < 2)
        return false;
    FBmpSrc = bmpSrc;
    FBmpDst = bmpDst;
    FWidthDst = std::min(src.Width, dst.Width);
    FHeightDst = std::min(src.Height, dst.Height);
    FStartSrc = src.Row0;
    FStartDst = dst.Row0;
    FDeltaSrc = src.Stride;
    FDeltaDst = dst.Stride;
    return true;
}

void TacFastSum32::BlendBitmapsRect() {
    if (FBmpSrc == nullptr || FBmpDst == nullptr) return;
    const TacBits32 src{FStartSrc, FBmpSrc->Width(), FBmpSrc->Height(), FDeltaSrc};
    const TacBits32 dst{FStartDst, FBmpDst->Width(), FBmpDst->Height(), FDeltaDst};
    ::BlendBitmapsRect(dst, src, Alpha, {DstX1, DstY1, DstX2, DstY2, SrcX1, SrcY1, SrcX2, SrcY2});
    Changed(FBmpDst);
}

// ---- fills -----------------------------------------------------------------

void FillRect32(TBitmap* bmp, const TRect& r, TColor color) {
    TacFast32 fast;
    std::uint32_t pixel = SwapRedBlue(static_cast<std::uint32_t>(color));
    if (fast.Attach(bmp)) {
        fast.FillRect(r, pixel);
    } else {
        // One row high: only R's row 0 matters.
        const TacBits32 bits = Bits32Of(bmp);
        if (bits.Valid() && bits.Height == 1 && r.Top == 0)
            FillPixels32(bits, TRect(r.Left, 0, r.Right, 1), pixel | 0xFF000000u);
    }
    Changed(bmp);
}

void FillAlphaRect(TBitmap* bmp, const TRect& r, Byte value, bool skipKey) {
    ::FillAlphaRect(Bits32Of(bmp), r, value, skipKey);
    Changed(bmp);
}

void BlendRectWithColor(TBitmap* bmp, const TRect& r, Integer percent, TColor color) {
    ::BlendRectWithColor(Bits32Of(bmp), r, percent, ColorToRGB(color));
    Changed(bmp);
}

void TintBitmap(TBitmap* bmp, TColor color, double x) {
    ::TintBitmap(Bits32Of(bmp), color, x);
    Changed(bmp);
}

// ---- copies and blends -----------------------------------------------------

void FadeBitmapInto(TBitmap* dst, TBitmap* src, Byte value) {
    if (dst == nullptr || src == nullptr || dst->Width() != src->Width() || dst->Height() != src->Height()) return;
    TacFastSum32 sum;
    if (!sum.Attach(src, dst)) return;
    sum.Alpha = value;
    sum.DstX2 = sum.SrcX2 = sum.FWidthDst;
    sum.DstY2 = sum.SrcY2 = sum.FHeightDst;
    sum.BlendBitmapsRect();
}

void BlendBitmapRect(TBitmap* dst, TBitmap* src, Byte value, const TRect& srcRect, TPoint dstPoint) {
    ::BlendBitmapRect(Bits32Of(dst), Bits32Of(src), value, srcRect, dstPoint);
    Changed(dst);
}

void BlendTransBitmap(TBitmap* dst, Integer x, Integer y, TBitmap* src, const TRect& srcRect, double factor,
                      TColor key) {
    ::BlendTransBitmap(Bits32Of(dst), x, y, Bits32Of(src), srcRect, factor, key);
    Changed(dst);
}

void MixBitmapsByMask(TBitmap* dst, TBitmap* src1, TBitmap* src2, TBitmap* mask, Byte value) {
    const TacBits32 maskBits = Bits32Of(mask);
    if (mask != nullptr && !maskBits.Valid()) return;
    ::MixBitmapsByMask(Bits32Of(dst), Bits32Of(src1), Bits32Of(src2), mask ? &maskBits : nullptr, value);
    Changed(dst);
}

void CopyTransparentRect(TBitmap* dst, TBitmap* src, Integer x, Integer y, const TRect& srcRect, TColor key) {
    ::CopyTransparentRect(Bits32Of(dst), Bits32Of(src), x, y, srcRect, key);
    Changed(dst);
}

void DrawAlphaBitmapAt(TBitmap* dst, TBitmap* src, Integer x, Integer y, TColor key) {
    if (src == nullptr || src->Empty()) return;
    const TacBits32 d = Bits32Of(dst);
    if (!d.Valid()) return;
    if (src->PixelFormat() == pf32bit) {
        ::DrawAlphaBitmapAt(d, Bits32Of(src), x, y, key);
    } else {
        // Other formats are read as 24-bit values (from a converted copy, so
        // the caller's bitmap keeps its format).
        std::unique_ptr<TBitmap, void (*)(TBitmap*)> copy(New<TBitmap>(), [](TBitmap* b) { b->Free(); });
        copy->Assign(src);
        copy->SetPixelFormat(pf24bit);
        TacBits24 s;
        std::intptr_t delta = 0;
        if (!RowsOf(copy.get(), s.Row0, delta)) return;
        s.Width = copy->Width();
        s.Height = copy->Height();
        s.Stride = delta;
        ::DrawAlphaBitmapAt(d, s, x, y, key);
    }
    Changed(dst);
}

void CopyThroughMask(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                     bool useParent) {
    TacBits32 parent;
    ::CopyThroughMask(dstRect, srcRect, Bits32Of(dst), Bits32Of(src), ParentOf(ci, parent), useParent);
    Changed(dst);
}

void CopyMaskedRect(TBitmap* dst, TBitmap* src, Integer x, Integer y, const TRect& srcRect, TColor key,
                    const TCacheInfo& ci, bool useParent) {
    TacBits32 parent;
    ::CopyMaskedRect(Bits32Of(dst), Bits32Of(src), x, y, srcRect, key, ParentOf(ci, parent), useParent);
    Changed(dst);
}

void CopyMaskedFromMaster(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src,
                          const TCacheInfo& ci, bool opaque, const TRect& maskRect) {
    TacBits32 parent;
    ::CopyMaskedFromMaster(dstRect, srcRect, Bits32Of(dst), Bits32Of(src), ParentOf(ci, parent), opaque,
                           maskRect.Height() / 2);
    Changed(dst);
}

void CopyAlphaImage(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                    bool useParent, TColor tintColor, Integer blendPercent, bool reflected) {
    if (src == nullptr || dst == nullptr) return;
    if (src->PixelFormat() != pf32bit) src->SetPixelFormat(pf32bit);
    TacBits32 parent;
    ::CopyAlphaImage(dstRect, srcRect, Bits32Of(dst), Bits32Of(src), ParentOf(ci, parent), useParent, tintColor,
                     blendPercent, reflected);
    Changed(dst);
}

void PaintRoundShadow(TBitmap* bmp, const TRect& r, Integer percent, TColor color, Integer depth, Integer radius) {
    ::PaintRoundShadow(Bits32Of(bmp), r, percent, ColorToRGB(color), depth, radius);
    Changed(bmp);
}

void DrawSmallArrow(TCanvas* Canvas, TColor Color, const TRect& R, Integer Kind) {
    if (!Canvas || (Kind != 8 && Kind != 4)) return;
    // Four steps of 7, 5, 3 and 1 pixels: rows down for kind 8, columns to
    // the right for kind 4.
    if (Kind == 8) {
        const Integer x = R.Left + (R.Width() - 6) / 2, y = R.Top + (R.Height() - 3) / 2;
        for (Integer step = 0; step < 4; ++step)
            for (Integer i = step; i <= 6 - step; ++i) Canvas->SetPixels(x + i, y + step, Color);
    } else {
        const Integer x = R.Left + (R.Width() - 3) / 2, y = R.Top + (R.Height() - 6) / 2;
        for (Integer step = 0; step < 4; ++step)
            for (Integer i = step; i <= 6 - step; ++i) Canvas->SetPixels(x + step, y + i, Color);
    }
}
