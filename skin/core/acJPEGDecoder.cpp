// The skin engine's JPEG reading (textures and patterns) through stb_image.
// Its own private copy of the decoder (static functions only), so it links
// with or without the framework's image classes.
#include <limits>

#include "SysUtils.h"
#include "acSkinImages.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 16)
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wunused-parameter"
#pragma clang diagnostic ignored "-Wunused-but-set-variable"
#pragma clang diagnostic ignored "-Wsign-compare"
#pragma clang diagnostic ignored "-Wimplicit-fallthrough"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#pragma clang diagnostic ignored "-Wtype-limits"
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wtype-limits"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wduplicated-branches"
#endif
#include <stb_image.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#else
#pragma GCC diagnostic pop
#endif

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
    if (!stbi_info_from_memory(Data, ClampSize(Size), &w, &h, &channels) || w <= 0 || h <= 0) return false;
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
    stbi_uc* pixels = stbi_load_from_memory(Data, ClampSize(Size), &width, &height, &channels, 4);
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
