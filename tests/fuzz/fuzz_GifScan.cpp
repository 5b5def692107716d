// Fuzz target for the GIF scan that runs before the GIF decoder: the scan
// stays inside its input and gives sizes the header can hold, and the
// decoder, given the repaired data of an image small enough to keep the runs
// fast, reads and writes only inside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "GifScan.h"
#include "StbImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    const TGifLayout layout = ScanGif(bytes.data(), bytes.size());
    if (layout.Width < 0 || layout.Width > 0xFFFF || layout.Height < 0 || layout.Height > 0xFFFF) __builtin_trap();
    if (layout.Frames > size) __builtin_trap();
    if (layout.LoopCount < -1 || layout.LoopCount > 0xFFFF) __builtin_trap();

    if (size < 6 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0)) return 0;
    const std::uint64_t frames = layout.Frames ? layout.Frames : 1;
    if (layout.Width <= 0 || layout.Height <= 0 ||
        static_cast<std::uint64_t>(layout.Width) * static_cast<std::uint64_t>(layout.Height) * 4 * frames > (1u << 22))
        return 0;
    int* delays = nullptr;
    int width = 0, height = 0, count = 0, channels = 0;
    stbi_uc* pixels = stbi_load_gif_from_memory(bytes.data(), static_cast<int>(bytes.size()), &delays, &width, &height,
                                                &count, &channels, 4);
    if (pixels) {
        if (width <= 0 || height <= 0 || count <= 0) __builtin_trap();
        stbi_image_free(delays);
        stbi_image_free(pixels);
    }
    return 0;
}
