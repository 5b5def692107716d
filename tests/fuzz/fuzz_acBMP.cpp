// Fuzz target for the BMP reader: any input must decode within its bounds or
// be refused with EInvalidGraphic, and the stored form the framework's bitmap
// copies must lie inside the input. The pixel cap is kept small so huge claimed
// sizes are refused before they allocate. Inputs that are JPEG data go
// through the JPEG reader as well.
#include <cstddef>
#include <cstdint>

#include "SysUtils.h"
#include "BmpDecoder.h"
#include "acSkinImages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint64_t cap = 1u << 20;
    bool small = false;
    try {
        const TacBMPImage img = DecodeBMP(data, size, cap);
        if (img.Width <= 0 || img.Height <= 0) __builtin_trap();
        if (static_cast<std::uint64_t>(img.Width) * static_cast<std::uint64_t>(img.Height) > cap) __builtin_trap();
        if (img.Pixels.size() != static_cast<std::size_t>(img.Width) * static_cast<std::size_t>(img.Height))
            __builtin_trap();
        small = true;
    } catch (const EInvalidGraphic&) {
    }
    try {
        const TacBMPLayout bmp = ReadBMPLayout(data, size);
        const std::uint64_t rows = static_cast<std::uint64_t>(bmp.Stride) * static_cast<std::uint64_t>(bmp.Height);
        if (bmp.Width < 0 || bmp.Height < 0) __builtin_trap();
        if (bmp.Width > 0 && bmp.Height > 0 && (bmp.PixelOffset > size || rows > size - bmp.PixelOffset))
            __builtin_trap();
        if (bmp.BitCount <= 8 && bmp.Palette.size() != (std::size_t{1} << bmp.BitCount)) __builtin_trap();
    } catch (const EInvalidGraphic&) {
    }
    // The skin-image form of the same bytes (key colour and alpha rules), for
    // images small enough to keep the runs fast.
    Integer w = 0, h = 0;
    if (!small && ReadJPEGSize(data, size, w, h)) small = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) <= cap;
    if (small || size < 2 || data[0] != 'B' || data[1] != 'M') {
        try {
            // The last byte picks the alpha rule of PNG images.
            const TacAlphaRule rule = size > 0 && (data[size - 1] & 1) ? TacAlphaRule::Newer : TacAlphaRule::Older;
            const TacImage32 img = DecodeSkinImage(data, size, rule);
            if (img.Pixels().size() != static_cast<std::size_t>(img.Width()) * static_cast<std::size_t>(img.Height()))
                __builtin_trap();
        } catch (const EInvalidGraphic&) {
        } catch (const EOutOfMemory&) {
        }
    }
    return 0;
}
