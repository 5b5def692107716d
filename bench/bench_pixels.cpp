// The fade and alpha-copy kernels against pixman on the same pictures:
// FadeBitmapInto of an opaque image against OVER of the same image as
// x8r8g8b8 through a solid mask of the fade weight (pixman's linear fade),
// and CopyAlphaImage of an image with straight alpha against OVER of the same
// image premultiplied (pixman's form of it). Before timing, each pair runs
// once on the same destination and the outputs are compared: the engine's
// fade weighs by 128 / 256 and its alpha mix divides by 256 where pixman
// divides by 255, so a channel may differ by up to kTolerance. Each size runs
// both in one process; the summary line per size gives kestrune / pixman
// time, and with scripts/bench --callgrind also instructions (below 1 means
// faster than pixman).
#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "acPixels.h"

namespace {

// The largest difference of one channel that counts as the same output.
constexpr int kTolerance = 2;

struct Inputs {
    int w, h;
    // opaque: the fade's source; straight and premultiplied: the alpha
    // copy's source in the engine's and in pixman's form.
    std::vector<std::uint32_t> opaque, straight, premultiplied, dst;
    TacBits32 opaqueBits, straightBits, dstBits;
    pixman_image_t* opaqueImg = nullptr;
    pixman_image_t* premultipliedImg = nullptr;
    pixman_image_t* dstImg = nullptr;
    pixman_image_t* mask = nullptr;

    Inputs(int width, int height)
        : w(width), h(height), opaque(std::size_t(width) * height), straight(opaque.size()),
          premultiplied(opaque.size()), dst(opaque.size(), 0xFF406080u) {
        std::uint32_t seed = 12345;
        for (std::size_t i = 0; i < opaque.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            const std::uint32_t a = seed >> 24, r = (seed >> 16) & 0xFF, g = (seed >> 8) & 0xFF, b = seed & 0xFF;
            opaque[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
            straight[i] = (a << 24) | (r << 16) | (g << 8) | b;
            auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            premultiplied[i] = (a << 24) | (pre(r) << 16) | (pre(g) << 8) | pre(b);
        }
        opaqueBits = {reinterpret_cast<std::uint8_t*>(opaque.data()), w, h, std::ptrdiff_t(w) * 4};
        straightBits = {reinterpret_cast<std::uint8_t*>(straight.data()), w, h, std::ptrdiff_t(w) * 4};
        dstBits = {reinterpret_cast<std::uint8_t*>(dst.data()), w, h, std::ptrdiff_t(w) * 4};
        opaqueImg = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, opaque.data(), w * 4);
        premultipliedImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, premultiplied.data(), w * 4);
        dstImg = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst.data(), w * 4);
        const pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
        mask = pixman_image_create_solid_fill(&half);
    }
    ~Inputs() {
        pixman_image_unref(opaqueImg);
        pixman_image_unref(premultipliedImg);
        pixman_image_unref(dstImg);
        pixman_image_unref(mask);
    }
    void Fade() { FadeBitmapInto(dstBits, opaqueBits, 128); }
    void PixmanFade() {
        pixman_image_composite32(PIXMAN_OP_OVER, opaqueImg, mask, dstImg, 0, 0, 0, 0, 0, 0, w, h);
    }
    void AlphaCopy() {
        const TRect r(0, 0, w, h);
        CopyAlphaImage(r, r, dstBits, straightBits, TacParent{}, false, kNoTint, 0, false);
    }
    void PixmanAlphaCopy() {
        pixman_image_composite32(PIXMAN_OP_OVER, premultipliedImg, nullptr, dstImg, 0, 0, 0, 0, 0, 0, w, h);
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
        in.Fade();
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_PixmanFade(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        in.PixmanFade();
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_AlphaCopy(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        in.AlphaCopy();
        benchmark::ClobberMemory();
    }
    Record(state, in.w, in.h);
}

void BM_PixmanAlphaCopy(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        CountedWork counted;
        in.PixmanAlphaCopy();
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


// Runs each pair once from the same destination and compares the results;
// exits when a channel differs by more than the tolerance.
void Verify() {
    Inputs in(64, 24);
    const std::vector<std::uint32_t> start = in.dst;
    auto run = [&](void (Inputs::*op)()) {
        in.dst = start;
        (in.*op)();
        return in.dst;
    };
    const struct {
        const char* name;
        void (Inputs::*ours)();
        void (Inputs::*peer)();
    } pairs[] = {{"fade", &Inputs::Fade, &Inputs::PixmanFade}, {"alpha-copy", &Inputs::AlphaCopy, &Inputs::PixmanAlphaCopy}};
    for (const auto& pair : pairs) {
        const std::vector<std::uint32_t> ours = run(pair.ours), peer = run(pair.peer);
        int worst = 0;
        for (std::size_t i = 0; i < ours.size(); ++i)
            for (int shift = 0; shift < 32; shift += 8)
                worst = std::max(worst, std::abs(int((ours[i] >> shift) & 0xFF) - int((peer[i] >> shift) & 0xFF)));
        char what[32];
        std::snprintf(what, sizeof(what), "check %-10s", pair.name);
        CheckOutputs(what, "pixman", worst, kTolerance);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Verify();
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
