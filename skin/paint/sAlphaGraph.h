// Win32 side of resampling, gradients, colour filters and the glow map:
// wrappers that attach TBitmap objects and run the portable kernels of
// acResample, sGradient and acFilters, plus the pieces bound to GDI (mode 2
// gradients through GradientFill, tiling, font metrics). Painting routines
// return silently on bad input.
#pragma once

#include "Graphics.h"
#include "acFilters.h"
#include "acResample.h"
#include "sGradient.h"

// Resamples Src into Dst of NewWidth x NewHeight with the filter of that
// index. Work format: 32-bit when Src is pf32bit, else 24-bit (Src is
// converted); Dst gets the size and the work format. NewHeight or NewWidth
// 0 or less, or an empty Src: nothing. Same size: Dst takes a copy. Raises
// EacResample "Source bitmap is too small" for a source under 2 x 2, Dst
// unchanged.
void StretchBitmapFiltered(TBitmap* Src, TBitmap* Dst, Integer NewWidth, Integer Filter, Integer NewHeight);
// The same for painting code: a source under 2 x 2 is scaled by nearest
// neighbour instead of raising.
void StretchBitmapForPaint(TBitmap* Src, TBitmap* Dst, Integer NewWidth, Integer Filter, Integer NewHeight);

// Gradients into 32-bit bitmaps (any other format: nothing). Mode 2 fills
// the four corner triangles with the system's GradientFill (nothing when
// msimg32 has none).
void PaintGradient(TBitmap* Bmp, const TRect& R, const TsGradArray& Arr, Integer Offset);
void PaintGradientWithTexture(TBitmap* Bmp, const TRect& R, const TsGradArray& Arr, Integer TextureWeight,
                              const TRect& TextureRect, TBitmap* MasterBmp);

// Colour filters on 32-bit bitmaps (any other format: nothing).
void GrayscaleBitmap(TBitmap* Bmp);
void GrayscaleBitmapExceptKey(TBitmap* Bmp, std::uint32_t Key);
void ShiftBitmapHue(TBitmap* Bmp, Integer Degrees);
void ChangeBitmapSaturation(TBitmap* Bmp, Integer Amount);

// Makes Cache (when null or of another size) an 8-bit coverage map of the
// size, with a grey palette (index i is grey i) and filled white (255).
// Returns true when it was (re)made, false when the old map is reused.
bool PrepareGlowMap(TBitmap*& Cache, Integer Width, Integer Height);
// Blurs an 8-bit map in place; other formats: nothing.
void BlurBitmap(TBitmap* Bmp8, Integer Radius);
// Lays an 8-bit map onto a 32-bit bitmap at (Left, Top) in Color.
void LayGlowMap(TBitmap* Bmp, TBitmap* Map8, Integer Left, Integer Top, TColor Color);

// Tiles Image over R of the canvas from R's top-left, clipped to R. Nothing
// for a null canvas or image, an empty image or an empty R.
void TileImage(TCanvas* Canvas, const TRect& R, TBitmap* Image);

// Count nested one-pixel frames inside R (right and bottom exclusive), each
// one pixel further in: left and top in LightColor, right and bottom in
// DarkColor. Count is counted down to 0.
void DrawRectFrame3D(HDC DC, const TRect& R, TColor LightColor, Integer& Count, TColor DarkColor);
// Along the four edges of R (right and bottom inclusive of R's last row and
// column) every third pixel becomes Color2 and the pixel before it Color1.
void DrawDottedFrame(TCanvas* Canvas, const TRect& R, TColor Color1, TColor Color2);

// Font metrics on the screen DC: the text height plus 6, and the extent of
// Text (0 x 0 when the system call fails).
Integer GetFontTextHeight(HFONT Font);
void GetFontTextExtent(HFONT Font, const String& Text, TSize& Size);
