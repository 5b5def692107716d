#include "GifScan.h"

#include <cstring>

TGifLayout ScanGif(std::uint8_t* Data, std::size_t Size) {
    TGifLayout layout;
    std::uint8_t* d = Data;
    const std::size_t n = Size;
    if (n < 13) return layout;
    layout.Width = d[6] | (d[7] << 8);
    layout.Height = d[8] | (d[9] << 8);
    std::size_t pos = 13;
    if (d[10] & 0x80) pos += std::size_t{3} << ((d[10] & 7) + 1);
    auto skipSubBlocks = [&](std::size_t& p) {
        while (p < n) {
            const std::uint8_t length = d[p++];
            if (length == 0) return true;
            p += length;
        }
        return false;
    };
    while (pos < n) {
        const std::uint8_t tag = d[pos++];
        if (tag == 0x21) {
            if (pos >= n) break;
            const std::uint8_t label = d[pos++];
            if (label == 0xF9 && pos < n && d[pos] != 4) {
                pos += 1 + std::size_t{d[pos]};
                continue;
            }
            if (label == 0xF9 && pos + 2 <= n) {
                std::uint8_t& packed = d[pos + 1];
                if (((packed >> 2) & 7) == 3) packed = static_cast<std::uint8_t>((packed & ~0x1C) | (2 << 2));
            } else if (label == 0xFF && pos + 16 <= n && d[pos] == 11 &&
                       (std::memcmp(d + pos + 1, "NETSCAPE2.0", 11) == 0 ||
                        std::memcmp(d + pos + 1, "ANIMEXTS1.0", 11) == 0) &&
                       d[pos + 12] >= 3 && d[pos + 13] == 1) {
                layout.LoopCount = d[pos + 14] | (d[pos + 15] << 8);
            }
            if (!skipSubBlocks(pos)) break;
        } else if (tag == 0x2C) {
            // The decoder reads a descriptor cut off by the end as zeros and
            // still makes a frame of it, so it counts too.
            ++layout.Frames;
            if (pos + 10 > n) break;
            const std::uint8_t flags = d[pos + 8];
            pos += 9;
            if (flags & 0x80) pos += std::size_t{3} << ((flags & 7) + 1);
            ++pos;   // LZW minimum code size
            if (!skipSubBlocks(pos)) break;
        } else {
            break;   // the trailer, or something the decoder will complain about
        }
    }
    return layout;
}
