// Gradients of skin sections: the gradient text of the keys GRADIENTDATA and
// HOTGRADIENTDATA parsed into pieces. Portable: no Windows header.
#pragma once

#include "sConst.h"

// Parses a gradient text into Arr (emptied first). The text is a list of
// tokens separated by ';' (runs of ';' count as one); every five tokens make
// one piece: Color1; Color2; Percent; Mode; an unused fifth. Leftover tokens
// that do not fill a piece are ignored. Colours below 0 become 0, Percent is
// clamped to 0..100. A token that is read and is not a decimal integer raises
// EConvertError; Arr is left empty then.
void PrepareGradientArray(const String& Data, TsGradArray& Arr);

// Painting gradients into 32-bit pixel rows (see acPixels.h). Every pixel
// written has alpha 255; R is clipped to the bitmap; an empty R, an empty
// array or an invalid bitmap paints nothing. The Win32 wrappers over TBitmap
// (which also paint mode 2 through the system's GradientFill) are in
// sAlphaGraph.h.

#include <array>

#include "Types.h"
#include "acPixels.h"

// Modes 0 (vertical pieces) and 1 (horizontal pieces); the Mode of the first
// piece decides, other modes paint nothing here. Offset moves the start of a
// vertical gradient down (never above R) and adds to the height that the
// pieces' shares are taken of.
void PaintGradient(const TacBits32& Bmp, TRect R, const TsGradArray& Arr, Integer Offset);

// The same mixed with a texture tiled from TextureRect of Master (an empty
// TextureRect means the whole of Master): every channel becomes
// G + ((T - G) * TextureWeight shr 8), with TextureWeight limited to 0..255
// (see PercentToWeight in acPixels.h). A texture of no pixels paints nothing.
void PaintGradientWithTexture(const TacBits32& Bmp, TRect R, const TsGradArray& Arr, Integer TextureWeight,
                              TRect TextureRect, const TacBits32& Master);

// Mode 2: the five vertices top-left, centre, top-right, bottom-right and
// bottom-left of R with the Color1 of pieces 0 to 4 (a missing piece repeats
// the previous colour; black without pieces), for the system's triangle fill
// of the triangles (0, 1, 2), (1, 2, 3), (0, 1, 4), (4, 1, 3).
struct TsGradVertex {
    Integer X = 0;
    Integer Y = 0;
    TColor Color = 0;
};
std::array<TsGradVertex, 5> GradientCornerVertices(const TRect& R, const TsGradArray& Arr);
