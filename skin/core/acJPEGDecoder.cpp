// The skin engine's JPEG reading (textures and patterns) through stb_image.
#include <emmintrin.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "StbImage.h"
#include "SysUtils.h"
#include "acSkinImages.h"

namespace {

int ClampSize(std::size_t Size) {
    return static_cast<int>(std::min<std::size_t>(Size, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

// Words of bytes red, green, blue, alpha (stb_image's order) become
// 0xAARRGGBB words with alpha 255 (a JPEG's pixels are opaque).
void SwapRedBlue(std::uint32_t* Words, std::size_t Count) {
    // Bytes 0 and 2 of a word are the low bytes of its two 16-bit halves:
    // they trade places where the word and its halves swapped differ.
    const __m128i low = _mm_set1_epi32(0x00FF00FF);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    auto swap = [&](__m128i v) {
        const __m128i halves = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        return _mm_or_si128(_mm_xor_si128(v, _mm_and_si128(_mm_xor_si128(v, halves), low)), opaque);
    };
    std::size_t i = 0;
    for (; i + 8 <= Count; i += 8) {
        __m128i* p = reinterpret_cast<__m128i*>(Words + i);
        const __m128i a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
        _mm_storeu_si128(p, swap(a));
        _mm_storeu_si128(p + 1, swap(b));
    }
    for (; i < Count; ++i) {
        const std::uint32_t w = Words[i];
        Words[i] = 0xFF000000u | (w & 0xFF00u) | (w & 0xFFu) << 16 | ((w >> 16) & 0xFFu);
    }
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
    if (!Data || Size < 2 || Data[0] != 0xFF || Data[1] != 0xD8)
        Invalid(Data && Size >= 2 ? stbi_failure_reason() : "no data");
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = StbLoadFromMemoryUpTo(Data, ClampSize(Size), acMaxImagePixels, &width, &height, &channels, 4);
    if (!pixels) {
        if (width > 0 && height > 0 &&
            static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > acMaxImagePixels)
            throw EInvalidGraphic(u"JPEG image is too large (" + IntToStr(width) + u" x " + IntToStr(height) + u")");
        Invalid(stbi_failure_reason());
    }
    // stb_image's red, green, blue and alpha bytes become 0xAARRGGBB words
    // in its own buffer, which the image then copies.
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::uint32_t* words = reinterpret_cast<std::uint32_t*>(pixels);
    SwapRedBlue(words, count);
    try {
        TacImage32 image(width, height, std::vector<std::uint32_t>(words, words + count));
        stbi_image_free(pixels);
        return image;
    } catch (...) {
        stbi_image_free(pixels);
        throw;
    }
}
