// Fuzz target for the resampler and the gradient and texture painters:
// random sizes, filters, rectangles and pieces. Images sit in exactly sized
// buffers, so any read or write outside them is caught by the sanitizers.
// Rows are padded to 4 bytes as in a device-independent bitmap, so 32-bit
// views have aligned rows and 24-bit ones the step Windows gives them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acFilters.h"
#include "acResample.h"
#include "sGradient.h"

namespace {

struct Reader {
    const std::uint8_t* P;
    std::size_t N;
    int Byte() {
        if (N == 0) return 0;
        --N;
        return *P++;
    }
    int Signed() { return static_cast<std::int8_t>(Byte()); }
};

std::ptrdiff_t RowBytes(int width, int bpp) {
    return (static_cast<std::ptrdiff_t>(width) * bpp + 3) & ~std::ptrdiff_t{3};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    const int sw = in.Byte() % 40, sh = in.Byte() % 40, dw = in.Byte() % 60, dh = in.Byte() % 60;
    const int filter = in.Byte() % 9 - 1;
    const int bpp = (in.Byte() & 1) ? 4 : 3;

    const std::ptrdiff_t srcStride = RowBytes(sw, bpp), dstStride = RowBytes(dw, bpp);
    std::vector<std::uint8_t> src(static_cast<std::size_t>(srcStride) * sh);
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(dstStride) * dh);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 37 + sw);
    // Bottom-up rows for the source, top-down for the target.
    const TacPixelView s{src.empty() ? nullptr : src.data() + (sh - 1) * srcStride, sw, sh, -srcStride, bpp};
    const TacPixelView d{dst.empty() ? nullptr : dst.data(), dw, dh, dstStride, bpp};
    try {
        ResamplePixels(s, d, filter);
    } catch (const EacResample&) {
        if (sw >= 2 && sh >= 2) __builtin_trap();
    }
    ResamplePixelsForPaint(s, d, filter);

    if (bpp == 4 && !dst.empty()) {
        const TacBits32 bmp{d.Row0, dw, dh, dstStride};
        TsGradArray arr(static_cast<std::size_t>(in.Byte() % 5));
        for (TsGradPie& p : arr) p = {in.Byte() * 0x10101, in.Byte(), in.Signed() % 120, in.Byte() % 4, 0};
        const TRect r(in.Signed(), in.Signed(), in.Signed(), in.Signed());
        PaintGradient(bmp, r, arr, in.Signed());
        const TRect tr(in.Signed() % 50, in.Signed() % 50, in.Signed() % 50, in.Signed() % 50);
        if (!src.empty()) {
            // The texture is the bottom-up source, whole or its left part.
            const TacBits32 master{s.Row0, 1 + in.Byte() % sw, sh, s.Stride};
            PaintGradientWithTexture(bmp, r, arr, in.Signed() * 3, tr, master);
        }
        const TacBits8 map{d.Row0, dw, dh, dstStride};
        BlurBitmap(map, in.Byte() % 40);
        LayGlowMap(bmp, map, in.Signed(), in.Signed(), in.Byte() * 0x10101);
    }
    return 0;
}
