// A small skin for the glow tests, written into a folder: a form section, a
// section "GLOWY" whose glow mask "GLOW0" (G.BMP, 30 x 30, nine cells of
// 10 pixels) is translucent blue on its sides and corners and is drawn
// without its centre, and a section "NOMASK" that asks for a glow but has no
// mask for it. The skin is named "G".
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace harness {

// Colours of the glow image (straight alpha): blue 200 at alpha 128 on the
// sides, at alpha 64 in the corners.
constexpr std::uint8_t kGlowBlue = 200;
constexpr std::uint8_t kGlowSideAlpha = 128;
constexpr std::uint8_t kGlowCornerAlpha = 64;
// The form's colour in the skin (0x00BBGGRR): a light grey.
constexpr std::uint32_t kGlowFormColor = 0x00D0D0D0;

inline std::vector<char> GlowMaskBmp() {
    const int w = 30, h = 30;
    std::vector<char> out(54 + w * h * 4, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    out[26] = 1;
    out[28] = 32;
    put32(34, static_cast<std::uint32_t>(w * h * 4));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool midX = x >= 10 && x < 20, midY = y >= 10 && y < 20;
            const std::uint8_t a = midX && midY ? 0 : (midX || midY) ? kGlowSideAlpha : kGlowCornerAlpha;
            const std::size_t at = 54 + static_cast<std::size_t>(((h - 1 - y) * w + x) * 4);
            out[at] = static_cast<char>(a ? kGlowBlue : 0);
            out[at + 3] = static_cast<char>(a);
        }
    return out;
}

// Writes skin "G" into Folder / "G".
inline void WriteGlowTestSkin(const std::filesystem::path& Folder) {
    const auto dir = Folder / "G";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Options.dat", std::ios::binary)
        << "[GLOBALINFO]\r\nVERSION=7.5\r\nCOLOR=" << kGlowFormColor << "\r\n"
        << "[FORM]\r\nCOLOR=" << kGlowFormColor << "\r\n"
        << "[GLOWY]\r\nCOLOR=8421376\r\nHOTCOLOR=8421376\r\nGLOW=1\r\nGLOWMARGIN=4\r\n"
           "GLOW0=!G.BMP!1!0!0!10!10!10!10!1\r\n"
        << "[NOMASK]\r\nCOLOR=8421376\r\nGLOW=1\r\nGLOWMARGIN=4\r\n";
    const auto bmp = GlowMaskBmp();
    std::ofstream(dir / "G.BMP", std::ios::binary).write(bmp.data(), static_cast<std::streamsize>(bmp.size()));
}

}  // namespace harness
