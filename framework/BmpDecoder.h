// The reader of BMP files. It takes a whole file in memory ("BM" file
// header, then a core, info, V4 or V5 header) and gives 32-bit pixels, or
// (for the framework's bitmap) the stored form of the pixels as it is. Every size, offset, count and run is checked before it
// is used; bad data raises EInvalidGraphic with the reason. Portable: no
// Windows header.
//
// Formats: 1, 4 and 8 bits with a palette (also run-length coded, RLE8 and
// RLE4), 16 bits (5-5-5 or bit fields), 24 bits, 32 bits (plain or bit
// fields); rows bottom-up or (uncompressed only) top-down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "SysUtils.h"

struct TacBMPImage {
    int Width = 0;
    int Height = 0;
    // 0xAARRGGBB words, top row first. Without alpha every alpha byte is 255.
    std::vector<std::uint32_t> Pixels;
    // The file carries alpha: a 32-bit image (plain, or bit fields with an
    // alpha mask) with at least one non-zero alpha value. A 32-bit image whose
    // alpha values are all 0 counts as opaque.
    bool HasAlpha = false;
    int BitCount = 0;   // bits per pixel of the file
};

// Images with more pixels than MaxPixels are refused before anything is
// allocated. Pixels a run-length coded image leaves out are opaque black.
TacBMPImage DecodeBMP(const std::uint8_t* Data, std::size_t Size, std::uint64_t MaxPixels);

// Whether the file's header gives a width or a height of 0. False for data
// that is no BMP file; a header that is cut short raises EInvalidGraphic.
bool BMPHasNoPixels(const std::uint8_t* Data, std::size_t Size);

// The stored form of a plain or bit-field BMP file, checked against the file,
// for a bitmap that keeps the file's own pixel format: the rows are the
// file's bytes from PixelOffset on, Stride bytes apart, bottom row first
// unless TopDown. Stricter than DecodeBMP: header sizes 12, 40, 52, 56, 108
// and 124 only, one plane, no run-length coding, at most 256 colours; the
// whole last row with its padding must be present.
struct TacBMPLayout {
    int Width = 0;    // 0 or more
    int Height = 0;   // 0 or more
    bool TopDown = false;
    int BitCount = 0;
    bool BitFields = false;
    // Red, green and blue of 16- and 32-bit pixels (the default ones for
    // plain files).
    std::uint32_t Masks[3] = {0, 0, 0};
    // 1 << BitCount entries 0x00RRGGBB for 1, 4 and 8 bits (the ones the file
    // leaves out are black); else empty.
    std::vector<std::uint32_t> Palette;
    std::size_t PixelOffset = 0;
    std::size_t Stride = 0;   // 0 for an image without pixels
};
TacBMPLayout ReadBMPLayout(const std::uint8_t* Data, std::size_t Size);
