#include "TestImages.h"

#include <algorithm>

#include "TestBytes.h"

namespace harness {

std::string MakeGif(int width, int height, const std::array<std::array<std::uint8_t, 3>, 4>& palette,
                    const std::vector<GifFrame>& frames, int loopCount) {
    std::string g = "GIF89a";
    Put16(g, static_cast<unsigned>(width));
    Put16(g, static_cast<unsigned>(height));
    g += static_cast<char>(0x81);   // global colour table of 2^(1+1) entries
    g += '\0';
    g += '\0';
    for (const auto& c : palette) g += {static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2])};
    if (loopCount >= 0) {
        g += "\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01";
        Put16(g, static_cast<unsigned>(loopCount));
        g += '\0';
    }
    for (const GifFrame& f : frames) {
        g += "\x21\xF9\x04";
        g += static_cast<char>((f.Disposal << 2) | (f.Transparent >= 0 ? 1 : 0));
        Put16(g, f.Delay);
        g += static_cast<char>(f.Transparent >= 0 ? f.Transparent : 0);
        g += '\0';
        g += '\x2C';
        Put16(g, 0);
        Put16(g, 0);
        Put16(g, static_cast<unsigned>(width));
        Put16(g, static_cast<unsigned>(height));
        g += '\0';
        g += '\x02';   // LZW minimum code size
        std::vector<unsigned> codes;
        for (std::uint8_t index : f.Indexes) {
            codes.push_back(4);   // clear
            codes.push_back(index);
        }
        codes.push_back(5);   // end of information
        std::string packed;
        std::uint32_t acc = 0;
        int bits = 0;
        for (unsigned code : codes) {
            acc |= code << bits;
            bits += 3;
            while (bits >= 8) {
                packed += static_cast<char>(acc & 0xFF);
                acc >>= 8;
                bits -= 8;
            }
        }
        if (bits > 0) packed += static_cast<char>(acc & 0xFF);
        for (std::size_t i = 0; i < packed.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, packed.size() - i);
            g += static_cast<char>(n);
            g += packed.substr(i, n);
        }
        g += '\0';
    }
    g += '\x3B';
    return g;
}

std::string MakeRgbPng(int width, int height, int bitDepth,
                       const std::function<std::array<std::uint16_t, 3>(int x, int y)>& colour) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';   // no filter
        for (int x = 0; x < width; ++x)
            for (const std::uint16_t sample : colour(x, y)) {
                if (bitDepth == 16) raw += static_cast<char>(sample >> 8);
                raw += static_cast<char>(sample & 0xFF);
            }
    }
    uLongf packedSize = ::compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
               static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    Put32BE(header, static_cast<std::uint32_t>(width));
    Put32BE(header, static_cast<std::uint32_t>(height));
    header += {static_cast<char>(bitDepth), 2, 0, 0, 0};   // truecolour, deflate, no filter kinds, no interlace
    PutPngChunk(png, "IHDR", header);
    PutPngChunk(png, "IDAT", packed);
    PutPngChunk(png, "IEND", std::string());
    return png;
}

}  // namespace harness
