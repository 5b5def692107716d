// Colour filters over 32-bit pixel rows, the Gaussian blur of 8-bit coverage
// maps and the glow laid from such a map. Portable: no Windows header; the
// Win32 wrappers over TBitmap are in sAlphaGraph.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "acPixels.h"
#include "sConst.h"

// Rows of 8-bit values with a signed row step: a coverage map where 255
// means no ink and 0 full ink.
struct TacBits8 {
    std::uint8_t* Row0 = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;

    bool Valid() const { return Row0 != nullptr && Width > 0 && Height > 0; }
    std::uint8_t* Row(int y) const { return Row0 + Stride * y; }
};

// Blue, green and red of every pixel become (r + g + b) div 3; alpha stays.
void GrayscaleBitmap(const TacBits32& Bmp);
// The same, leaving out pixels whose whole word equals Key.
void GrayscaleBitmapExceptKey(const TacBits32& Bmp, std::uint32_t Key);
// Every pixel that is neither the key pixel nor grey (red, green and blue
// all equal) gets its hue turned by Degrees; alpha stays.
void ShiftBitmapHue(const TacBits32& Bmp, int Degrees);
// The same selection, saturated by Amount percent (negative amounts pull the
// channels toward their grey average). The colour operations on one value are
// RotateHueRGB and SaturateRGB of acUtils.h.
void ChangeBitmapSaturation(const TacBits32& Bmp, int Amount);

// Gaussian weights for the offsets -100..100; only -Size..Size are used.
struct TacGaussKernel {
    std::array<float, 201> Weights{};
    int Size = 1;
    float At(int Offset) const { return Weights[static_cast<std::size_t>(Offset + 100)]; }
};
// w(i) = exp(-(i / Radius)^2 / 2), normalised; Size shrinks from 100 while
// the cut tails stay below MaxData / (2 * Granularity), never below 1; the
// used weights are normalised again. A Radius of 0 or less gives the kernel
// that keeps every value (Size 1, weights 0, 1, 0).
void MakeGaussKernel(TacGaussKernel& Kernel, double MaxData, double Granularity, double Radius);
// Blurs the map in place, rows then columns, indexes held inside the map,
// each result rounded to nearest (halves to even) and limited to 0..255.
void BlurBitmap(const TacBits8& Map, int Radius);

// Lays a blurred coverage map onto Bmp with its top-left at (Left, Top):
// every map value v below 255 that falls inside Bmp turns the pixel's
// channels c into k + v * (c - k) div 255 (k the channel of Color, a TColor
// with red in the low byte) and its alpha a into a + (255 - v) * (255 - a) div 255.
void LayGlowMap(const TacBits32& Bmp, const TacBits8& Map, int Left, int Top, TColor Color);

// Lays Color onto Bmp at (Left, Top) through Ink, black text rendered on
// white: 255 minus each of an Ink pixel's blue, green and red is that
// channel's coverage d, and a pixel with any coverage that falls inside Bmp
// gets c + (k - c) * d div 255 per channel (k the channel of Color, a TColor
// with red in the low byte) and alpha 255. Pixels without coverage stay.
void LayTextInk(const TacBits32& Bmp, const TacBits32& Ink, int Left, int Top, TColor Color);
