// Alpha helpers of the alpha image list and of the skin loader, on 32-bit
// pixel buffers (0xAARRGGBB words). Portable.
#pragma once

#include <cstdint>

#include "acPixels.h"

// Every fully transparent white pixel (word 0x00FFFFFF) becomes 0.
void ClearTransparentWhite(const TacBits32& Bmp);
// Each colour byte becomes byte * alpha div 255; the alpha byte stays.
void PremultiplyAlpha(const TacBits32& Bmp);
// When no pixel has an alpha byte (all are 0), every pixel that differs from
// the bottom-left pixel gets alpha 255. Returns whether it did so.
bool MakeAlphaFromKey(const TacBits32& Bmp);

// How a skin's PNG images keep their alpha when they are loaded, by the
// skin's version.
//   Older (version 7.45 or lower): alpha 0 becomes the key word 0x00FF00FF;
//     every other pixel keeps its colour and its alpha as stored, so the key
//     painters show it as the skin's author saw it and alpha-aware painting
//     still finds its coverage.
//   Newer (above 7.45): alpha 0 becomes the key word as well; translucent
//     pixels keep their alpha with their colours multiplied by it, the form
//     the layered windows (glows, shadows) take as it is.
// Opaque pixels are never changed.
enum class TacAlphaRule { Older, Newer };
TacAlphaRule AlphaRuleFor(double Version);
void PrepareSkinAlpha(const TacBits32& Bmp, TacAlphaRule Rule);

// The alpha of a shadow template for the border window: transparent pixels
// (key words included) become 0, translucent ones are multiplied by their
// alpha unless they already are (Premultiplied: the template is a frame of a
// mask loaded by the newer rule).
void PrepareShadowAlpha(const TacBits32& Bmp, bool Premultiplied);
