// Work bitmaps and the blending and copying routines on them: TBitmap-level
// wrappers that attach the bitmaps and run the portable kernels of acPixels.
// Every routine returns silently on bad geometry and never writes outside
// its bitmaps.
#pragma once

#include <cstdint>

#include "Graphics.h"
#include "acPixels.h"
#include "sConst.h"

// A new 32-bit DIB of the given size; the caller frees it.
TBitmap* CreateWorkBitmap(Integer width, Integer height);
// A new bitmap with the size and pixel format of Bmp; the caller frees it.
TBitmap* CreateBitmapLike(TBitmap* bmp);

// The portable view of a 32-bit bitmap (invalid for other formats, empty
// bitmaps and null).
TacBits32 Bits32Of(TBitmap* bmp);

// Direct access to one 32-bit bitmap.
class TacFast32 : public TObject {
public:
    KES_CLASS_NAME(TacFast32)
    TBitmap* FBitmap = nullptr;
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::intptr_t FDelta = 0;        // bytes from row 0 to row 1
    std::uint8_t* FStart = nullptr;  // row 0
    Integer FLength = 0;
    Integer DstStart = 0;

    // False (and FWidth 0) for bitmaps less than 2 rows high or without columns.
    bool Attach(TBitmap* bmp);
    // Fills R, clipped to the bitmap, with Color (a pixel word) made opaque;
    // Color keeps the alpha it was given.
    void FillRect(const TRect& r, std::uint32_t& color);
    // One pixel as a TColor (red and blue exchanged, high byte kept); 0 and
    // nothing outside the bitmap.
    TColor GetPixel(Integer x, Integer y) const;
    void SetPixel(Integer x, Integer y, TColor color);

    TacBits32 Bits() const;
};

// Blends a source bitmap into a destination bitmap over a rectangle.
class TacFastSum32 : public TObject {
public:
    KES_CLASS_NAME(TacFastSum32)
    TBitmap* FBmpSrc = nullptr;
    TBitmap* FBmpDst = nullptr;
    Integer FWidthDst = 0;
    Integer FHeightDst = 0;
    std::uint8_t* FStartSrc = nullptr;
    std::uint8_t* FStartDst = nullptr;
    std::intptr_t FDeltaSrc = 0;
    std::intptr_t FDeltaDst = 0;
    Byte Alpha = 0;   // weight of the destination
    Integer DstX1 = 0, DstY1 = 0, DstX2 = 0, DstY2 = 0;
    Integer SrcX1 = 0, SrcY1 = 0, SrcX2 = 0, SrcY2 = 0;

    bool Attach(TBitmap* bmpSrc, TBitmap* bmpDst);
    // dst = (dst * Alpha + src * (255 - Alpha) + 127) shr 8 over
    // DstX1..DstX2-1, DstY1..DstY2-1, rows matched from the bottom.
    void BlendBitmapsRect();
};

// Fills
void FillRect32(TBitmap* bmp, const TRect& r, TColor color);
void FillAlphaRect(TBitmap* bmp, const TRect& r, Byte value, bool skipKey = false);
void BlendRectWithColor(TBitmap* bmp, const TRect& r, Integer percent, TColor color);
void TintBitmap(TBitmap* bmp, TColor color, double x);

// Copies and blends between bitmaps
void FadeBitmapInto(TBitmap* dst, TBitmap* src, Byte value);
void BlendBitmapRect(TBitmap* dst, TBitmap* src, Byte value, const TRect& srcRect, TPoint dstPoint);
void BlendTransBitmap(TBitmap* dst, Integer x, Integer y, TBitmap* src, const TRect& srcRect, double factor,
                      TColor key);
void MixBitmapsByMask(TBitmap* dst, TBitmap* src1, TBitmap* src2, TBitmap* mask, Byte value);
void CopyTransparentRect(TBitmap* dst, TBitmap* src, Integer x, Integer y, const TRect& srcRect, TColor key);
void DrawAlphaBitmapAt(TBitmap* dst, TBitmap* src, Integer x, Integer y, TColor key);
void CopyThroughMask(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                     bool useParent);
void CopyMaskedRect(TBitmap* dst, TBitmap* src, Integer x, Integer y, const TRect& srcRect, TColor key,
                    const TCacheInfo& ci, bool useParent);
// MaskRect: the mask-data rectangle of the skin image (image over mask).
void CopyMaskedFromMaster(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src,
                          const TCacheInfo& ci, bool opaque, const TRect& maskRect);
void CopyAlphaImage(const TRect& dstRect, const TRect& srcRect, TBitmap* dst, TBitmap* src, const TCacheInfo& ci,
                    bool useParent, TColor tintColor = kNoTint, Integer blendPercent = 0, bool reflected = false);
void PaintRoundShadow(TBitmap* bmp, const TRect& r, Integer percent, TColor color, Integer depth, Integer radius);

// A small solid arrow of Color in R, set pixel by pixel: kind 8 points down
// (rows 7, 5, 3 and 1 pixels wide), kind 4 points right (columns 7, 5, 3 and
// 1 pixels high), centred in R; other kinds draw nothing.
void DrawSmallArrow(TCanvas* Canvas, TColor Color, const TRect& R, Integer Kind);
