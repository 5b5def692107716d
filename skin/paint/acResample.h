// The filtered resampler and small compositing kernels over raw pixel rows.
// Portable: no Windows header. The Win32 wrappers over TBitmap live in
// sAlphaGraph.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "SysUtils.h"
#include "Types.h"

// Rows of 24-bit (blue, green, red) or 32-bit (blue, green, red, alpha)
// pixels with a signed row step.
struct TacPixelView {
    std::uint8_t* Row0 = nullptr;   // address of row 0
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;      // bytes from row y to row y + 1 (may be negative)
    int BytesPerPixel = 4;          // 3 or 4

    bool Valid() const {
        return Row0 != nullptr && Width > 0 && Height > 0 && (BytesPerPixel == 3 || BytesPerPixel == 4);
    }
    std::uint8_t* Row(int y) const { return Row0 + Stride * y; }
};

// Raised by the resampler for a source narrower or lower than 2 pixels.
KES_DECLARE_EXCEPTION(EacResample, Exception)

// The resampling filters by index (0 box, 1 triangle, 2 hermite, 3 bell,
// 4 B-spline, 5 Lanczos-like, 6 Mitchell).
constexpr int kResampleFilterCount = 7;
// The filter's support in source pixels at scale 1; 0 for an unknown index.
float ResampleRadius(int Filter);
// The filter's weight for the signed distance x (source minus sample
// position, in scaled pixels).
double ResampleWeight(int Filter, double x);

// The sources of one destination position: indexes into the source line and
// weights in 1/65536 units.
struct TacContribution {
    int Index;
    int Weight;
};
struct TacContributions {
    std::vector<int> First;               // Pairs[First[i] .. First[i + 1])
    std::vector<TacContribution> Pairs;   // belong to destination i
    int Count(int i) const { return First[i + 1] - First[i]; }
};
// The contribution lists of one pass from Src to Dst positions (both >= 1).
// Indexes outside the source are mirrored at its ends and then held inside
// it, however far the widened support reaches.
TacContributions MakeContributions(int Src, int Dst, int Filter);

// Resamples Src into Dst (the target size is Dst's) with the filter of that
// index; both views have the same BytesPerPixel. Same size copies. Raises
// EacResample "Source bitmap is too small" for a source under 2 x 2.
// Nothing for invalid views or an unknown filter.
void ResamplePixels(const TacPixelView& Src, const TacPixelView& Dst, int Filter);
// The same for painting code: a source under 2 x 2 is scaled by nearest
// neighbour instead of raising.
void ResamplePixelsForPaint(const TacPixelView& Src, const TacPixelView& Dst, int Filter);
// Nearest-neighbour scaling of Src into Dst (same BytesPerPixel).
void ResampleNearest(const TacPixelView& Src, const TacPixelView& Dst);
