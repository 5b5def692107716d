// The fade and alpha-copy kernels against pixman on the same buffers:
// FadeBitmapInto against OVER with a solid mask of the fade weight, and
// CopyAlphaImage against OVER of the per-pixel alpha source. Each size runs
// both in one process; the summary line per size gives kestrune / pixman
// time, and with scripts/bench --callgrind also instructions (below 1 means
// faster than pixman).
#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <pixman.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "acPixels.h"

namespace {

struct Inputs {
    int w, h;
    std::vector<std::uint32_t> src, dst;
    TacBits32 srcBits, dstBits;
    pixman_image_t* srcImg = nullptr;
    pixman_image_t* dstImg = nullptr;
    pixman_image_t* mask = nullptr;

    Inputs(int width, int height) : w(width), h(height), src(std::size_t(width) * height), dst(src.size()) {
        std::uint32_t seed = 12345;
        for (auto& p : src) {
            seed = seed * 1664525u + 1013904223u;
            // Premultiplied-safe values: colour bytes not above alpha, so
            // pixman sees valid input.
            const std::uint32_t a = seed >> 24;
            const std::uint32_t c = a ? (seed >> 8) % (a + 1) : 0;
            p = (a << 24) | (c << 16) | (c << 8) | c;
        }
        for (auto& p : dst) p = 0xFF406080u;
        srcBits = {reinterpret_cast<std::uint8_t*>(src.data()), w, h, std::ptrdiff_t(w) * 4};
        dstBits = {reinterpret_cast<std::uint8_t*>(dst.data()), w, h, std::ptrdiff_t(w) * 4};
        srcImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, src.data(), w * 4);
        dstImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst.data(), w * 4);
        const pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
        mask = pixman_image_create_solid_fill(&half);
    }
    ~Inputs() {
        pixman_image_unref(srcImg);
        pixman_image_unref(dstImg);
        pixman_image_unref(mask);
    }
};

Inputs& InputsFor(int w, int h) {
    static std::map<std::pair<int, int>, Inputs*> cache;
    auto& slot = cache[{w, h}];
    if (!slot) slot = new Inputs(w, h);
    return *slot;
}

void Record(benchmark::State& state, int w, int h) {
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

void BM_Fade(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        FadeBitmapInto(in.dstBits, in.srcBits, 128);
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_PixmanFade(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        pixman_image_composite32(PIXMAN_OP_OVER, in.srcImg, in.mask, in.dstImg, 0, 0, 0, 0, 0, 0, in.w, in.h);
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_AlphaCopy(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    const TRect r(0, 0, in.w, in.h);
    for (auto _ : state) {
        CountedWork counted;
        CopyAlphaImage(r, r, in.dstBits, in.srcBits, TacParent{}, false, kNoTint, 0, false);
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_PixmanAlphaCopy(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        pixman_image_composite32(PIXMAN_OP_OVER, in.srcImg, nullptr, in.dstImg, 0, 0, 0, 0, 0, 0, in.w, in.h);
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({64, 24})->Args({800, 600})->Args({1920, 1080});
    FixedIterations(b);
}

BENCHMARK(BM_Fade)->Apply(Sizes);
BENCHMARK(BM_PixmanFade)->Apply(Sizes);
BENCHMARK(BM_AlphaCopy)->Apply(Sizes);
BENCHMARK(BM_PixmanAlphaCopy)->Apply(Sizes);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        for (const char* size : {"64/24", "800/600", "1920/1080"}) {
            auto t = [&](const char* name) { return Measured(v, std::string(name) + "/" + size); };
            const double fade = t("BM_Fade"), pFade = t("BM_PixmanFade");
            const double alpha = t("BM_AlphaCopy"), pAlpha = t("BM_PixmanAlphaCopy");
            std::printf("ratio %-10s fade/pixman %.2f   alpha-copy/pixman %.2f\n", size, pFade > 0 ? fade / pFade : 0.0,
                        pAlpha > 0 ? alpha / pAlpha : 0.0);
        }
    });
    benchmark::Shutdown();
    return 0;
}
