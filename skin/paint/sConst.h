// Shared value types of the skin engine: colours as the skin stores them and
// the parsed gradient pieces. Portable: no Windows header.
#pragma once

#include <cstdint>
#include <vector>

#include "System.h"

// 0x00BBGGRR, or a system colour 0x80000000 | index (the same type the
// framework's graphics use).
using TColor = std::int32_t;

// As a colour value 0xFF00FF means "no colour".
constexpr TColor kNoColor = 0xFF00FF;

// One piece of a gradient: the colours at its start and end, its share of the
// rectangle in percent (0..100) and its kind (0 vertical, 1 horizontal,
// 2 four-corner triangles). The fifth field is kept for the record's layout.
struct TsGradPie {
    TColor Color1 = 0;
    TColor Color2 = 0;
    Integer Percent = 0;
    Integer Mode = 0;
    Integer Reserved = 0;

    friend bool operator==(const TsGradPie&, const TsGradPie&) = default;
};

// The pieces in the order of the gradient text; the first piece's Mode
// decides the kind of the whole gradient.
using TsGradArray = std::vector<TsGradPie>;

class TBitmap;

// Where the image under a child lies: the parent's image, the child's
// top-left corner in it, and a fill colour when there is no image
// (kNoColor: none).
struct TCacheInfo {
    TBitmap* Bmp = nullptr;
    std::int32_t X = -99;
    std::int32_t Y = -99;
    TColor FillColor = kNoColor;
    bool Ready = false;
};
