// 32-bit pixel buffers as the painting code sees them: rows of 0xAARRGGBB
// words (bytes blue, green, red, alpha) with a signed row step, so top-down
// and bottom-up device-independent bitmaps look alike. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

struct TacBits32 {
    std::uint8_t* Row0 = nullptr;   // address of row 0
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;      // bytes from row y to row y + 1 (may be negative)

    bool Valid() const { return Row0 != nullptr && Width > 0 && Height > 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(Row0 + Stride * y); }
    std::uint32_t& At(int x, int y) const { return Row(y)[x]; }
};

// The key colour as a pixel word: fuchsia with alpha 0.
constexpr std::uint32_t kKeyPixel = 0x00FF00FFu;
