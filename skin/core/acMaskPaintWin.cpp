#include "acMaskPaintWin.h"

#include <cstring>

#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// The DIB section kept with a skin image.
class TacImageDIB : public TacImageAttachment {
public:
    explicit TacImageDIB(HBITMAP Bitmap) : Handle(Bitmap) {}
    ~TacImageDIB() override { ::DeleteObject(Handle); }
    TacImageDIB(const TacImageDIB&) = delete;
    TacImageDIB& operator=(const TacImageDIB&) = delete;
    HBITMAP Handle;
};

// Block transfers from one skin image into a framework bitmap with GDI. The
// source DC is made on the first transfer.
class TacGdiBlitter : public TacBlitter {
public:
    TacGdiBlitter(TBitmap* Dst, const TacImage32& Src) : FDst(Dst), FSrc(Src) {}
    ~TacGdiBlitter() override {
        if (FDC == nullptr) return;
        ::SelectObject(FDC, FOld);
        ::DeleteDC(FDC);
    }
    TacGdiBlitter(const TacGdiBlitter&) = delete;
    TacGdiBlitter& operator=(const TacGdiBlitter&) = delete;

    void Copy(const TacBits32& Dst, int X, int Y, const TacBits32& Src, const TRect& SrcRect) override {
        // The source rectangle is held inside the image (GDI reads nothing
        // beyond it); the target clips itself.
        TRect s = SrcRect;
        if (s.Left < 0) X -= s.Left, s.Left = 0;
        if (s.Top < 0) Y -= s.Top, s.Top = 0;
        s.Right = std::min(s.Right, FSrc.Width());
        s.Bottom = std::min(s.Bottom, FSrc.Height());
        if (s.Right <= s.Left || s.Bottom <= s.Top) return;
        if (!Open()) return TacBlitter::Copy(Dst, X, Y, Src, s);
        ::BitBlt(FDst->Canvas()->Handle(), X, Y, s.Width(), s.Height(), FDC, s.Left, s.Top, SRCCOPY);
        ::GdiFlush();
    }
    void Stretch(const TacBits32& Dst, const TRect& DstRect, const TacBits32& Src, const TRect& SrcRect) override {
        // Extents GDI cannot take go the portable way.
        constexpr Int64 kGdiLimit = Int64{1} << 26;
        const bool huge = Int64{DstRect.Right} - DstRect.Left > kGdiLimit ||
                          Int64{DstRect.Bottom} - DstRect.Top > kGdiLimit || DstRect.Left < -kGdiLimit ||
                          DstRect.Top < -kGdiLimit;
        if (huge || !Open()) return TacBlitter::Stretch(Dst, DstRect, Src, SrcRect);
        const HDC dc = FDst->Canvas()->Handle();
        const int mode = ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, DstRect.Left, DstRect.Top, DstRect.Width(), DstRect.Height(), FDC, SrcRect.Left, SrcRect.Top,
                     SrcRect.Width(), SrcRect.Height(), SRCCOPY);
        ::SetStretchBltMode(dc, mode);
        ::GdiFlush();
    }

private:
    bool Open() {
        if (FDC != nullptr) return true;
        const HBITMAP bitmap = acImageBitmap(FSrc);
        if (bitmap == nullptr) return false;
        FDC = ::CreateCompatibleDC(nullptr);
        if (FDC == nullptr) return false;
        FOld = ::SelectObject(FDC, bitmap);
        return true;
    }

    TBitmap* FDst;
    const TacImage32& FSrc;
    HDC FDC = nullptr;
    HGDIOBJ FOld = nullptr;
};

const TacImage32* ImageOf(const TsMaskData& Mask) { return acMaskImage(Mask, Mask.Manager); }

void Changed(TBitmap* Bmp) {
    if (Bmp != nullptr) Bmp->Modified = true;
}

}  // namespace

const TacImage32* acMaskImage(const TsMaskData& Mask, TsSkinManager* Manager) {
    if (Mask.Bmp) return Mask.Bmp.get();
    return Manager != nullptr ? Manager->MasterBitmap().get() : nullptr;
}

TacParent acParentOf(const TCacheInfo& CI, TacBits32& Holder) {
    Holder = Bits32Of(CI.Bmp);
    return TacParent{Holder.Valid() ? &Holder : nullptr, CI.X, CI.Y, CI.FillColor, CI.Ready};
}

HBITMAP acImageBitmap(const TacImage32& Image) {
    if (Image.Empty()) return nullptr;
    if (auto* kept = dynamic_cast<TacImageDIB*>(Image.Attachment())) return kept->Handle;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Image.Width();
    info.bmiHeader.biHeight = -Image.Height();   // top-down, like the image
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) ::DeleteObject(bitmap);
        return nullptr;
    }
    std::memcpy(bits, Image.Pixels().data(), Image.Pixels().size() * sizeof(std::uint32_t));
    Image.SetAttachment(std::make_unique<TacImageDIB>(bitmap));
    return bitmap;
}

TacMaskSource acMaskSource(const TsMaskData& Mask) { return MaskSourceOf(Mask, ImageOf(Mask)); }

void DrawSkinRect(TBitmap* Bmp, const TRect& R, bool UseParent, Integer State, const TsMaskData& MaskData,
                  const TCacheInfo& CI) {
    if (MaskData.Manager == nullptr) return;
    const TacImage32* image = ImageOf(MaskData);
    const TacBits32 dst = Bits32Of(Bmp);
    if (image == nullptr || !dst.Valid()) return;
    TacBits32 parentBits;
    TacGdiBlitter blitter(Bmp, *image);
    ::DrawSkinRect(dst, R, UseParent, State, acMaskSource(MaskData), acParentOf(CI, parentBits), blitter);
    Changed(Bmp);
}

void DrawGlyphMask(TBitmap* Bmp, TPoint Point, Integer State, const TCacheInfo& CI, const TsMaskData& MaskData,
                   Integer Mode) {
    // An own image needs no manager; the master bitmap does.
    if (!MaskData.Bmp && MaskData.Manager == nullptr) return;
    TacBits32 parentBits;
    ::DrawGlyphMask(Bits32Of(Bmp), Point, State, acParentOf(CI, parentBits), acMaskSource(MaskData), Mode);
    Changed(Bmp);
}

void CopyMasterRect(const TRect& DstRect, const TRect& SrcRect, TBitmap* Dst, const TsMaskData& MaskData,
                    const TCacheInfo& CI) {
    const TacMaskSource src = acMaskSource(MaskData);
    if (!src.Valid()) return;
    TacBits32 parentBits;
    ::CopyMasterRect(DstRect, SrcRect, Bits32Of(Dst), src.Image, src.MaskOffset(), acParentOf(CI, parentBits));
    Changed(Dst);
}

void StretchCopy32(Integer X, Integer Y, Integer W, Integer H, bool Smooth, Integer MaskOffset, const TacImage32& Src,
                   TBitmap* Dst, Integer SrcX, Integer SrcY, Integer SrcW, Integer SrcH) {
    const TacBits32 dst = Bits32Of(Dst);
    if (!dst.Valid()) return;
    TacGdiBlitter blitter(Dst, Src);
    ::StretchCopy32(X, Y, W, H, Smooth, MaskOffset, Src.View(), dst, SrcX, SrcY, SrcW, SrcH, blitter);
    Changed(Dst);
}

void CopyTransparentPixels(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, Integer Kind, TsSkinManager* Manager,
                           Integer MaskIndex, TPoint SrcPoint) {
    const TacBits32 dst = Bits32Of(Dst), src = Bits32Of(Src);
    if (MaskIndex < 0) {
        ::CopyTransparentPixels(dst, src, DstRect, nullptr, {}, SrcPoint);
    } else {
        if (Manager == nullptr || MaskIndex >= static_cast<Integer>(Manager->ma().size())) return;
        const TsMaskData& mask = Manager->ma()[static_cast<std::size_t>(MaskIndex)];
        const TacImage32* image = acMaskImage(mask, Manager);
        if (image == nullptr) return;
        const TacBits32 maskBits = image->View();
        ::CopyTransparentPixels(dst, src, DstRect, &maskBits, MaskCornerOrigin(mask, Kind), SrcPoint);
    }
    Changed(Dst);
}

void ApplyDisabledKind(TBitmap* Bmp, TsDisabledKind DisabledKind, TControl* Control, TPoint Offset,
                       const TCacheInfo& CI) {
    const TacBits32 bits = Bits32Of(Bmp);
    if (!bits.Valid()) return;
    TColor fill = CI.FillColor;
    if (DisabledKind.Contains(dkBlended) && !CI.Ready && fill == kNoColor) fill = GetControlBgColor(Control);
    TacBits32 parentBits;
    ::ApplyDisabledKind(bits, DisabledKind, Offset, acParentOf(CI, parentBits), ::ColorToRGB(fill));
    Changed(Bmp);
}

void acCutRects(HRGN Rgn, const std::vector<TRect>& Rects) {
    if (Rgn == nullptr || Rects.empty()) return;
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + Rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(Rects.size());
    header->nRgnSize = static_cast<DWORD>(Rects.size() * sizeof(RECT));
    RECT bounds{Rects[0].Left, Rects[0].Top, Rects[0].Right, Rects[0].Bottom};
    auto* rects = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < Rects.size(); ++i) {
        const TRect& r = Rects[i];
        rects[i] = RECT{r.Left, r.Top, r.Right, r.Bottom};
        bounds.left = std::min<LONG>(bounds.left, r.Left);
        bounds.top = std::min<LONG>(bounds.top, r.Top);
        bounds.right = std::max<LONG>(bounds.right, r.Right);
        bounds.bottom = std::max<LONG>(bounds.bottom, r.Bottom);
    }
    header->rcBound = bounds;
    const HRGN cut = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
    if (cut == nullptr) {
        // One rectangle at a time when the system refuses the whole list.
        for (const TRect& r : Rects) {
            const HRGN one = ::CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
            if (one == nullptr) continue;
            ::CombineRgn(Rgn, Rgn, one, RGN_DIFF);
            ::DeleteObject(one);
        }
        return;
    }
    ::CombineRgn(Rgn, Rgn, cut, RGN_DIFF);
    ::DeleteObject(cut);
}

void DrawBorderMask(TBitmap* Bmp, HRGN Rgn, bool Transparent, Integer State, const TsMaskData& Mask) {
    if (Mask.Manager == nullptr) return;
    const TacImage32* image = ImageOf(Mask);
    const TacBits32 dst = Bits32Of(Bmp);
    if (image == nullptr || !dst.Valid()) return;
    std::vector<TRect> keys;
    TacGdiBlitter blitter(Bmp, *image);
    ::DrawBorderMask(dst, Transparent, State, acMaskSource(Mask), Rgn != nullptr ? &keys : nullptr, blitter);
    acCutRects(Rgn, keys);
    Changed(Bmp);
}

void CopyMaskPiece(TBitmap* Bmp, const TRect& DstRect, TPoint SrcPos, bool CheckKey, const TsMaskData& Mask,
                   HRGN Rgn) {
    const TacMaskSource src = acMaskSource(Mask);
    const TacBits32 dst = Bits32Of(Bmp);
    if (!src.Valid() || !dst.Valid()) return;
    std::vector<TRect> keys;
    ::CopyMaskPiece(dst, DstRect, SrcPos, CheckKey, src, Rgn != nullptr ? &keys : nullptr);
    acCutRects(Rgn, keys);
    Changed(Bmp);
}
