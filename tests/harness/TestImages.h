// Picture files that tests write themselves, byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace harness {

struct GifFrame {
    std::vector<std::uint8_t> Indexes;   // one per pixel of the whole canvas
    unsigned Delay = 0;                  // hundredths of a second
    int Transparent = -1;
    int Disposal = 1;
};

// A GIF with a global table of four colours (a loop count below 0 writes no
// loop extension). Each pixel code follows its own clear code, which keeps
// every LZW code three bits wide.
std::string MakeGif(int width, int height, const std::array<std::array<std::uint8_t, 3>, 4>& palette,
                    const std::vector<GifFrame>& frames, int loopCount = -1);

// A truecolour PNG without alpha (colour type 2) of 8 or 16 bits a sample;
// Colour gives each pixel's red, green and blue at that depth.
std::string MakeRgbPng(int width, int height, int bitDepth,
                       const std::function<std::array<std::uint16_t, 3>(int x, int y)>& colour);

}  // namespace harness
