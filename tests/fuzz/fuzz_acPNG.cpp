// Fuzz target for the PNG decoder: each input is decoded as a PNG file.
// Failures must come as the framework's exceptions; the image size is capped
// so that memory stays bounded whatever the header claims. The first byte
// chooses whether checksums are checked (unchecked, the fuzzer reaches the
// image data without having to get every CRC right).
#include <cstddef>
#include <cstdint>

#include "acPNGDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    TMemoryStream stream;
    stream.WriteBuffer(data + 1, static_cast<Integer>(size - 1));
    stream.SetPosition(0);
    TPNGDecoder decoder;
    decoder.MaxPixels = 1u << 20;
    decoder.CheckCRC = (data[0] & 1) != 0;
    TPNGMemoryTarget target;
    try {
        decoder.LoadFromStream(stream, target);
        const TPNGImageInfo& info = target.Info;
        if (static_cast<std::uint64_t>(info.Width) * info.Height > decoder.MaxPixels) __builtin_trap();
        if (info.BitsPerPixel <= 8 && info.Palette.size() != (std::size_t(1) << info.BitsPerPixel)) __builtin_trap();
    } catch (const Exception&) {
    }
    return 0;
}
