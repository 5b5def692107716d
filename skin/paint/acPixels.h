// 32-bit pixel buffers as the painting code sees them: rows of 0xAARRGGBB
// words (bytes blue, green, red, alpha) with a signed row step, so top-down
// and bottom-up device-independent bitmaps look alike. Portable.
//
// The kernels below are the pixel loops of the work-bitmap routines. Every
// one of them clips to the buffers it is given and returns silently on bad
// geometry: no pixel outside a buffer is read or written, whatever the
// rectangles say. The TBitmap-level routines (sGraphUtils) only attach
// bitmaps and call these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Types.h"
#include "sConst.h"

struct TacBits32 {
    std::uint8_t* Row0 = nullptr;   // address of row 0
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;      // bytes from row y to row y + 1 (may be negative)

    bool Valid() const { return Row0 != nullptr && Width > 0 && Height > 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(Row0 + Stride * y); }
    std::uint32_t& At(int x, int y) const { return Row(y)[x]; }
    bool SameBuffer(const TacBits32& other) const { return Row0 == other.Row0 && Stride == other.Stride; }
};

// 24-bit rows (blue, green, red) with a signed row step.
struct TacBits24 {
    std::uint8_t* Row0 = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;

    bool Valid() const { return Row0 != nullptr && Width > 0 && Height > 0; }
    const std::uint8_t* Pixel(int x, int y) const { return Row0 + Stride * y + 3 * static_cast<std::ptrdiff_t>(x); }
};

// The key colour as a pixel word: fuchsia with alpha 0.
constexpr std::uint32_t kKeyPixel = 0x00FF00FFu;
// The tint colour of CopyAlphaImage that means "no tint".
constexpr TColor kNoTint = 0x1FFFFFFF;

// ---- arithmetic ----------------------------------------------------------

// The standard mix: w = 255 gives (almost) the source, 0 the destination.
constexpr int StdMix(int d, int s, int w) { return ((s - d) * w + d * 256) >> 8; }
// The fading form; Alpha is the weight of the destination.
constexpr int SumMix(int d, int s, int alpha) { return (d * alpha + s * (255 - alpha) + 127) >> 8; }
// Percentages (from skins or callers) are held to 0..100.
constexpr int ClampPercent(int p) { return p < 0 ? 0 : (p > 100 ? 100 : p); }
constexpr int PercentToWeight(int p) { return ClampPercent(p) * 255 / 100; }

constexpr std::uint32_t SwapRedBlue(std::uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}
constexpr TColor SwapRedBlue(TColor c) { return static_cast<TColor>(SwapRedBlue(static_cast<std::uint32_t>(c))); }
constexpr TColor ReverseRGB(TColor c) { return SwapRedBlue(c); }
// The opaque pixel word of an RGB colour.
constexpr std::uint32_t OpaquePixel(TColor c) {
    return (SwapRedBlue(static_cast<std::uint32_t>(c)) & 0x00FFFFFFu) | 0xFF000000u;
}

// Per channel (a * 127 + b * 129) shr 8; high byte 0.
TColor MixColorsHalfCore(TColor a, TColor b);
TColor MixColorsHalf(TColor a, TColor b);
// Per channel Round(x * a + (1 - x) * b), halves to even; high byte from A.
TColor BlendColors(TColor a, TColor b, double x);
void FillLongs(std::uint32_t* p, int count, std::uint32_t value);

// ---- fills ---------------------------------------------------------------

// Fills R (clipped) with Pixel as it is.
void FillPixels32(const TacBits32& bmp, TRect r, std::uint32_t pixel);
// Fills R (clipped) with the opaque pixel of Color.
void FillRect32(const TacBits32& bmp, const TRect& r, TColor color);
void FillAlphaRect(const TacBits32& bmp, TRect r, std::uint8_t value, bool skipKey);
// Color must already be an RGB colour; R's right and bottom are inclusive.
void BlendRectWithColor(const TacBits32& bmp, const TRect& r, int percent, TColor color);
void TintBitmap(const TacBits32& bmp, TColor color, double x);

// ---- blends and copies between buffers -----------------------------------

// The TacFastSum32 blend: destination rectangle Dst (X2/Y2 exclusive), source
// rows matched from the bottom edges, columns from the left edges.
struct TacSumRect {
    int DstX1 = 0, DstY1 = 0, DstX2 = 0, DstY2 = 0;
    int SrcX1 = 0, SrcY1 = 0, SrcX2 = 0, SrcY2 = 0;
};
void BlendBitmapsRect(const TacBits32& dst, const TacBits32& src, std::uint8_t alpha, const TacSumRect& r);
// Both at least 2 x 2 and of the same size, else nothing.
void FadeBitmapInto(const TacBits32& dst, const TacBits32& src, std::uint8_t value);
void BlendBitmapRect(const TacBits32& dst, const TacBits32& src, std::uint8_t value, TRect srcRect, TPoint dstPoint);
void BlendTransBitmap(const TacBits32& dst, int x, int y, const TacBits32& src, TRect srcRect, double factor,
                      TColor key);
// Mask may be null (then Value is the weight); every given buffer must have
// the same size.
void MixBitmapsByMask(const TacBits32& dst, const TacBits32& src1, const TacBits32& src2, const TacBits32* mask,
                      std::uint8_t value);
void CopyTransparentRect(const TacBits32& dst, const TacBits32& src, int x, int y, TRect srcRect, TColor key);
void DrawAlphaBitmapAt(const TacBits32& dst, const TacBits32& src, int x, int y, TColor key);
void DrawAlphaBitmapAt(const TacBits32& dst, const TacBits24& src, int x, int y, TColor key);

// The parent image under a control (the portable side of TCacheInfo).
struct TacParent {
    const TacBits32* Bmp = nullptr;   // null: no image
    int X = 0;
    int Y = 0;
    TColor FillColor = kNoColor;
    bool Ready = false;

    // The parent's word at (x + X, y + Y); false outside its image.
    bool Read(int x, int y, std::uint32_t& word) const;
};

void CopyThroughMask(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src, const TacParent& ci,
                     bool useParent);
void CopyMaskedRect(const TacBits32& dst, const TacBits32& src, int x, int y, TRect srcRect, TColor key,
                    const TacParent& ci, bool useParent);
// MaskOffset: the rows between an image row and its mask row (half the
// mask-data rectangle's height).
void CopyMaskedFromMaster(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src,
                          const TacParent& ci, bool opaque, int maskOffset);
void CopyAlphaImage(TRect dstRect, TRect srcRect, const TacBits32& dst, const TacBits32& src, const TacParent& ci,
                    bool useParent, TColor tintColor, int blendPercent, bool reflected);
void PaintRoundShadow(const TacBits32& bmp, const TRect& r, int percent, TColor color, int depth, int radius);
