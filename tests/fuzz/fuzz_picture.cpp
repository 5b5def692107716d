// Fuzz target for the picture pane's decoders: the file's bytes go through
// the JPEG, the PNG and the GIF decoding steps of the framework's image
// classes in turn, each refusing what does not start with its signature.
// The steps are those of the Decode functions in framework/Imaging.cpp (the
// guarded stb_image calls, the size check before decoding, the GIF scan and
// its repair), whose classes need Windows. The pixel cap is lower than the
// classes' own so that runs stay fast; what it refuses is refused the same
// way, only sooner. Decoded images must have the size the header gave, and
// a GIF no more frames than the scan counted (the cap relies on it).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "GifScan.h"
#include "StbImage.h"

namespace {

constexpr std::uint64_t MaxPixelBytes = std::uint64_t{1} << 23;

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};
using StbPixels = std::unique_ptr<stbi_uc, StbFree>;

bool StartsWith(const std::vector<stbi_uc>& data, const char* magic, std::size_t length) {
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

bool SizeFits(int width, int height, std::uint64_t frames) {
    return width > 0 && height > 0 &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 * (frames ? frames : 1) <=
               MaxPixelBytes;
}

// Reads every decoded byte, so that memory the decoder never wrote shows
// up under MemorySanitizer and a short buffer under ASan.
void Touch(const stbi_uc* pixels, std::size_t bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) sum += pixels[i];
    volatile unsigned sink = sum;
    (void)sink;
}

// JPEG and PNG: the size from the header, checked, then the pixels.
void DecodeStill(const std::vector<stbi_uc>& data) {
    const int length = static_cast<int>(data.size());
    int width = 0, height = 0, channels = 0;
    if (!StbInfoFromMemory(data.data(), length, &width, &height, &channels)) return;
    if (channels < 1 || channels > 4) __builtin_trap();
    if (!SizeFits(width, height, 1)) return;
    int w = 0, h = 0, c = 0;
    StbPixels pixels(StbLoadFromMemory(data.data(), length, &w, &h, &c, 4));
    if (!pixels) {
        if (!stbi_failure_reason()) __builtin_trap();   // a refusal always has a reason
        return;
    }
    if (w != width || h != height) __builtin_trap();
    Touch(pixels.get(), static_cast<std::size_t>(w) * h * 4);
}

void DecodeGif(const std::vector<stbi_uc>& original) {
    std::vector<stbi_uc> data = original;
    const TGifLayout layout = ScanGif(data.data(), data.size());
    if (!SizeFits(layout.Width, layout.Height, layout.Frames)) return;
    int* delays = nullptr;
    int width = 0, height = 0, frames = 0, channels = 0;
    StbPixels pixels(stbi_load_gif_from_memory(data.data(), static_cast<int>(data.size()), &delays, &width, &height,
                                               &frames, &channels, 4));
    StbPixels delayGuard(pixels ? reinterpret_cast<stbi_uc*>(delays) : nullptr);
    if (!pixels) return;
    if (frames <= 0 || width != layout.Width || height != layout.Height) __builtin_trap();
    if (static_cast<std::uint64_t>(frames) > (layout.Frames ? layout.Frames : 1)) __builtin_trap();
    Touch(pixels.get(), static_cast<std::size_t>(width) * height * 4 * static_cast<std::size_t>(frames));
    if (delays)
        for (int i = 0; i < frames; ++i) Touch(reinterpret_cast<const stbi_uc*>(&delays[i]), sizeof(int));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::vector<stbi_uc> data(bytes, bytes + size);
    if (StartsWith(data, "\xFF\xD8\xFF", 3) || StartsWith(data, "\x89PNG\r\n\x1A\n", 8)) DecodeStill(data);
    if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6)) DecodeGif(data);
    return 0;
}
