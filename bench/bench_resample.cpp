// The filtered resampler against stb_image_resize on the same 32-bit images,
// scaled to 75 % (Mitchell-like filter 6 against stb's Mitchell, triangle
// filter 1 against stb's triangle). After the runs each pair's ratio
// (ours / stb) is printed; the outputs differ by design (see Verify).
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "acResample.h"

namespace {

struct Size { int W, H; };
constexpr Size kSizes[] = {{64, 24}, {800, 600}, {1920, 1080}};

struct Images {
    int W, H, DW, DH;
    std::vector<std::uint8_t> Src, Dst;
};

Images& ImagesFor(int index) {
    static std::map<int, Images> cache;
    auto it = cache.find(index);
    if (it != cache.end()) return it->second;
    const Size s = kSizes[index];
    Images img{s.W, s.H, s.W * 3 / 4, s.H * 3 / 4, {}, {}};
    img.Src.resize(static_cast<std::size_t>(s.W) * s.H * 4);
    // Shading with edges and a little grain, as skin images have (the work
    // does not depend on the values; the comparison of outputs does).
    std::uint32_t seed = 12345;
    for (int y = 0; y < s.H; ++y)
        for (int x = 0; x < s.W; ++x) {
            std::uint8_t* p = &img.Src[(static_cast<std::size_t>(y) * s.W + x) * 4];
            seed = seed * 1103515245u + 12345u;
            const int grain = static_cast<int>((seed >> 16) & 7);
            p[0] = static_cast<std::uint8_t>(x * 255 / s.W);
            p[1] = static_cast<std::uint8_t>(y * 255 / s.H);
            p[2] = static_cast<std::uint8_t>(((x / 16 + y / 16) & 1 ? 200 : 40) + grain);
            p[3] = static_cast<std::uint8_t>(255 - grain);
        }
    img.Dst.resize(static_cast<std::size_t>(img.DW) * img.DH * 4);
    return cache.emplace(index, std::move(img)).first->second;
}



void BM_Ours(benchmark::State& state) {
    Images& img = ImagesFor(static_cast<int>(state.range(0)));
    const int filter = static_cast<int>(state.range(1));
    const TacPixelView s{img.Src.data(), img.W, img.H, static_cast<std::ptrdiff_t>(img.W) * 4, 4};
    const TacPixelView d{img.Dst.data(), img.DW, img.DH, static_cast<std::ptrdiff_t>(img.DW) * 4, 4};
    for (auto _ : state) {
        CountedWork counted;
        ResamplePixels(s, d, filter);
        benchmark::DoNotOptimize(img.Dst.data());
    }
    state.SetItemsProcessed(state.iterations() * img.DW * img.DH);
}

void BM_Stb(benchmark::State& state) {
    Images& img = ImagesFor(static_cast<int>(state.range(0)));
    const stbir_filter filter = state.range(1) == 6 ? STBIR_FILTER_MITCHELL : STBIR_FILTER_TRIANGLE;
    for (auto _ : state) {
        CountedWork counted;
        stbir_resize_uint8_generic(img.Src.data(), img.W, img.H, 0, img.Dst.data(), img.DW, img.DH, 0, 4,
                                   STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_REFLECT, filter, STBIR_COLORSPACE_LINEAR,
                                   nullptr);
        benchmark::DoNotOptimize(img.Dst.data());
    }
    state.SetItemsProcessed(state.iterations() * img.DW * img.DH);
}

void Args(benchmark::internal::Benchmark* b) {
    for (int size = 0; size < 3; ++size)
        for (int filter : {1, 6}) b->Args({size, filter});
    FixedIterations(b);
}

BENCHMARK(BM_Ours)->Apply(Args);
BENCHMARK(BM_Stb)->Apply(Args);


// Resamples each image once both ways and prints how far apart the outputs
// are. They are not the same picture and are not meant to be: the engine's
// resampler places the centre of target pixel i at S * i / D (no half-pixel
// shift) and leaves its integer weights unnormalised, so a shrunk ramp
// ripples, while stb_image_resize centres pixels and normalises. The ratios
// compare the cost of the same filters over the same pixels, not equal
// outputs.
void Verify() {
    for (int size = 0; size < 3; ++size)
        for (int filter : {1, 6}) {
            Images& img = ImagesFor(size);
            const TacPixelView s{img.Src.data(), img.W, img.H, static_cast<std::ptrdiff_t>(img.W) * 4, 4};
            const TacPixelView d{img.Dst.data(), img.DW, img.DH, static_cast<std::ptrdiff_t>(img.DW) * 4, 4};
            ResamplePixels(s, d, filter);
            const std::vector<std::uint8_t> ours = img.Dst;
            stbir_resize_uint8_generic(img.Src.data(), img.W, img.H, 0, img.Dst.data(), img.DW, img.DH, 0, 4,
                                       STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_REFLECT,
                                       filter == 6 ? STBIR_FILTER_MITCHELL : STBIR_FILTER_TRIANGLE,
                                       STBIR_COLORSPACE_LINEAR, nullptr);
            int worst = 0;
            std::size_t differing = 0;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                const int diff = std::abs(int(ours[i]) - int(img.Dst[i]));
                worst = std::max(worst, diff);
                differing += diff != 0;
            }
            std::printf("check %4dx%-4d filter %d: outputs differ by design, by up to %d (%.1f %% of channels)\n",
                        kSizes[size].W, kSizes[size].H, filter, worst, 100.0 * double(differing) / double(ours.size()));
        }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Verify();
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        std::printf("ours / stb_image_resize (below 1 means faster), 75 %% scale (not equal outputs: see the checks):\n");
        for (int size = 0; size < 3; ++size)
            for (int filter : {1, 6}) {
                const std::string args = "/" + std::to_string(size) + "/" + std::to_string(filter);
                const auto ours = v.find("BM_Ours" + args), stb = v.find("BM_Stb" + args);
                if (ours == v.end() || stb == v.end() || stb->second <= 0) continue;
                std::printf("  %4dx%-4d filter %d (stb %s): %.2f\n", kSizes[size].W, kSizes[size].H, filter,
                            filter == 6 ? "Mitchell" : "triangle", ours->second / stb->second);
            }
    });
    benchmark::Shutdown();
    return 0;
}
