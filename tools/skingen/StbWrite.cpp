// PNG and JPEG output through stb_image_write (kept in its own file: the
// library is C code written for its own warning settings).
#include <cstring>
#include <stdexcept>

#include "SkinImage.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace skingen {

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<std::uint8_t> Rgba(const Image& Img, int channels) {
    std::vector<std::uint8_t> px;
    px.reserve(static_cast<std::size_t>(Img.Width()) * Img.Height() * channels);
    for (Argb p : Img.Pixels()) {
        px.push_back(static_cast<std::uint8_t>(RedOf(p)));
        px.push_back(static_cast<std::uint8_t>(GreenOf(p)));
        px.push_back(static_cast<std::uint8_t>(BlueOf(p)));
        if (channels == 4) px.push_back(static_cast<std::uint8_t>(AlphaOf(p)));
    }
    return px;
}

}  // namespace

std::vector<std::uint8_t> EncodePNG(const Image& Img) {
    std::vector<std::uint8_t> out;
    const auto px = Rgba(Img, 4);
    if (!stbi_write_png_to_func(&Append, &out, Img.Width(), Img.Height(), 4, px.data(), Img.Width() * 4))
        throw std::runtime_error("PNG encoding failed");
    return out;
}

std::vector<std::uint8_t> EncodeJPEG(const Image& Img, int Quality) {
    std::vector<std::uint8_t> out;
    const auto px = Rgba(Img, 3);
    if (!stbi_write_jpg_to_func(&Append, &out, Img.Width(), Img.Height(), 3, px.data(), Quality))
        throw std::runtime_error("JPEG encoding failed");
    return out;
}

}  // namespace skingen
