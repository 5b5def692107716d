// Small helpers of the tests that paint into 32-bit work bitmaps: an owner
// that frees the bitmap, direct pixel access and a filled work bitmap.
#pragma once

#include <cstdint>

#include "Graphics.h"
#include "sGraphUtils.h"

namespace kestrune_test {

struct OwnedBitmap {
    explicit OwnedBitmap(TBitmap* b) : bmp(b) {}
    ~OwnedBitmap() { bmp->Free(); }
    OwnedBitmap(const OwnedBitmap&) = delete;
    OwnedBitmap& operator=(const OwnedBitmap&) = delete;
    TBitmap* operator->() const { return bmp; }
    TBitmap* bmp;
};

// The pixel word at (x, y) of a 32-bit bitmap.
inline std::uint32_t& Px(TBitmap* bmp, int x, int y) { return static_cast<std::uint32_t*>(bmp->ScanLine(y))[x]; }

// A new work bitmap with every pixel set to fill; the caller frees it.
inline TBitmap* FilledWorkBitmap(int w, int h, std::uint32_t fill) {
    TBitmap* bmp = CreateWorkBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Px(bmp, x, y) = fill;
    return bmp;
}

}  // namespace kestrune_test
