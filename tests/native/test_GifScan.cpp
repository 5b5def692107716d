// The GIF scan before the decoder: its frame count bounds the memory the
// picture pane lets the decoder take, so it must never be below the number
// of frames the decoder gives, for any cut of a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFindings.h"
#include "GifScan.h"
#include "StbImage.h"

// The committed finding is a GIF whose second image descriptor is cut off
// after its tag: the scan stopped there without counting it, the decoder
// read the rest as zeros and gave two frames.
TEST(GifScan, CountsEveryFrameTheDecoderGivesForEveryCutOfAFile) {
    const FuzzFinding* cut = FindFuzzFinding("picture", "gif-descriptor-cut-off.gif");
    ASSERT_NE(cut, nullptr);
    for (std::size_t size = 13; size <= cut->Size; ++size) {
        SCOPED_TRACE("the first " + std::to_string(size) + " bytes");
        std::vector<std::uint8_t> data(cut->Data, cut->Data + size);
        const TGifLayout layout = ScanGif(data.data(), data.size());
        int* delays = nullptr;
        int width = 0, height = 0, frames = 0, channels = 0;
        stbi_uc* pixels = stbi_load_gif_from_memory(data.data(), static_cast<int>(data.size()), &delays, &width,
                                                    &height, &frames, &channels, 4);
        if (pixels) {
            // The pane counts a file without descriptors as one frame.
            EXPECT_LE(static_cast<std::uint64_t>(frames), std::max<std::uint64_t>(layout.Frames, 1));
            stbi_image_free(delays);
            stbi_image_free(pixels);
        }
    }
    std::vector<std::uint8_t> whole(cut->Data, cut->Data + cut->Size);
    EXPECT_EQ(ScanGif(whole.data(), whole.size()).Frames, 2u);
}
