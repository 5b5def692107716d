// The skin engine's JPEG reading (textures and patterns) through stb_image.
#include <limits>

#include "StbImage.h"
#include "SysUtils.h"
#include "acSkinImages.h"

namespace {

int ClampSize(std::size_t Size) {
    return static_cast<int>(std::min<std::size_t>(Size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

[[noreturn]] void Invalid(const char* reason) {
    throw EInvalidGraphic(u"Invalid JPEG image: " + AsciiToString(reason && *reason ? reason : "unknown error"));
}

}  // namespace

bool ReadJPEGSize(const Byte* Data, std::size_t Size, Integer& Width, Integer& Height) {
    if (!Data || Size < 2 || Data[0] != 0xFF || Data[1] != 0xD8) return false;
    int w = 0, h = 0, channels = 0;
    if (!StbInfoFromMemory(Data, ClampSize(Size), &w, &h, &channels) || w <= 0 || h <= 0) return false;
    Width = w;
    Height = h;
    return true;
}

TacImage32 DecodeJPEGImage(const Byte* Data, std::size_t Size) {
    Integer w = 0, h = 0;
    if (!ReadJPEGSize(Data, Size, w, h)) Invalid(Data && Size >= 2 ? stbi_failure_reason() : "no data");
    if (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > acMaxImagePixels)
        throw EInvalidGraphic(u"JPEG image is too large (" + IntToStr(w) + u" x " + IntToStr(h) + u")");
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = StbLoadFromMemory(Data, ClampSize(Size), &width, &height, &channels, 4);
    if (!pixels) Invalid(stbi_failure_reason());
    TacImage32 image;
    try {
        image = TacImage32(width, height);
    } catch (...) {
        stbi_image_free(pixels);
        throw;
    }
    const stbi_uc* p = pixels;
    for (Integer y = 0; y < height; ++y) {
        std::uint32_t* row = image.Row(y);
        for (Integer x = 0; x < width; ++x, p += 4)
            row[x] = 0xFF000000u | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    stbi_image_free(pixels);
    return image;
}
