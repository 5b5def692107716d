// The Gaussian blur of text glows (BlurBitmap: the kernel of MakeGaussKernel,
// rows then columns, edges held) against pixman's separable-convolution
// filter with the same kernel on an 8-bit image: one composite with the
// kernel along the rows and a single tap down the columns, then one the other
// way round, both with padded edges, so pixman does the same two passes of
// the same taps. pixman holds the weights in 16.16 fixed point and sums
// integers where the engine sums doubles, and it works on four channels of
// every pixel (an 8-bit image is widened to 32 bits), so the outputs may
// differ by a level; the check before timing allows kTolerance.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "acFilters.h"

namespace {

// The largest difference of one value between the engine's blur and pixman's
// that counts as the same picture.
constexpr int kTolerance = 1;

struct Case {
    int W, H, Radius;
};
// A line of glowing text at a small and a middle radius, and a large glow
// whose kernel has all 201 taps.
constexpr Case kCases[] = {{320, 48, 3}, {320, 64, 10}, {480, 240, 60}};

// A coverage map of text-like strokes: 255 no ink, 0 full ink.
std::vector<std::uint8_t> TextMap(const Case& c) {
    std::vector<std::uint8_t> m(std::size_t(c.W) * c.H, 255);
    std::uint32_t seed = 99;
    for (int y = c.H / 4; y < c.H * 3 / 4; ++y)
        for (int x = c.W / 16; x < c.W * 15 / 16; ++x) {
            seed = seed * 1664525u + 1013904223u;
            if ((x / 3 + y / 5) % 4 == 0 || (seed >> 28) == 0) m[std::size_t(y) * c.W + x] = std::uint8_t(seed >> 29);
        }
    return m;
}

TacBits8 View(std::vector<std::uint8_t>& m, const Case& c) { return TacBits8{m.data(), c.W, c.H, c.W}; }

// pixman's two passes; Src stays, the result lands in Dst (Tmp between).
struct PixmanBlur {
    std::vector<pixman_fixed_t> Rows, Columns;
    PixmanBlur(const TacGaussKernel& k) {
        const int n = 2 * k.Size + 1;
        // width, height, phase bits for x and y, then the x and the y weights;
        // pixel x - Size + i takes the weight the engine gives offset Size - i.
        auto params = [&](bool alongRows) {
            std::vector<pixman_fixed_t> p = {pixman_int_to_fixed(alongRows ? n : 1), pixman_int_to_fixed(alongRows ? 1 : n),
                                             0, 0};
            if (!alongRows) p.push_back(pixman_fixed_1);
            for (int i = 0; i < n; ++i) p.push_back(pixman_double_to_fixed(double(k.At(k.Size - i))));
            if (alongRows) p.push_back(pixman_fixed_1);
            return p;
        };
        Rows = params(true);
        Columns = params(false);
    }
    void Pass(pixman_image_t* src, pixman_image_t* dst, const std::vector<pixman_fixed_t>& p, int w, int h) const {
        pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, p.data(), int(p.size()));
        pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
    }
};

struct Inputs {
    Case C;
    TacGaussKernel Kernel;
    std::vector<std::uint8_t> Source, Work, Tmp;
    pixman_image_t *SrcImg, *TmpImg, *DstImg;
    explicit Inputs(const Case& c) : C(c), Source(TextMap(c)), Work(Source), Tmp(Source.size()) {
        MakeGaussKernel(Kernel, 1, 255, c.Radius);
        SrcImg = pixman_image_create_bits(PIXMAN_a8, c.W, c.H, reinterpret_cast<std::uint32_t*>(Source.data()), c.W);
        TmpImg = pixman_image_create_bits(PIXMAN_a8, c.W, c.H, reinterpret_cast<std::uint32_t*>(Tmp.data()), c.W);
        DstImg = pixman_image_create_bits(PIXMAN_a8, c.W, c.H, reinterpret_cast<std::uint32_t*>(Work.data()), c.W);
    }
};

Inputs& InputsFor(int index) {
    static std::map<int, Inputs*> cache;
    Inputs*& slot = cache[index];
    if (!slot) slot = new Inputs(kCases[index]);
    return *slot;
}

// Rows of 4-byte aligned width keep pixman's row stride equal to the map's.
static_assert(kCases[0].W % 4 == 0 && kCases[1].W % 4 == 0 && kCases[2].W % 4 == 0);

void BM_Blur(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)));
    for (auto _ : state) {
        in.Work = in.Source;   // outside the counted work: the blur works in place
        CountedWork counted;
        BlurBitmap(View(in.Work, in.C), in.C.Radius);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(in.C.W) * in.C.H);
}

void BM_PixmanBlur(benchmark::State& state) {
    Inputs& in = InputsFor(int(state.range(0)));
    const PixmanBlur blur(in.Kernel);
    for (auto _ : state) {
        CountedWork counted;
        blur.Pass(in.SrcImg, in.TmpImg, blur.Rows, in.C.W, in.C.H);
        blur.Pass(in.TmpImg, in.DstImg, blur.Columns, in.C.W, in.C.H);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(in.C.W) * in.C.H);
}

void Cases(benchmark::internal::Benchmark* b) {
    for (int i = 0; i < int(std::size(kCases)); ++i) b->Arg(i);
    FixedIterations(b);
}

BENCHMARK(BM_Blur)->Apply(Cases);
BENCHMARK(BM_PixmanBlur)->Apply(Cases);

// Blurs each case once both ways and compares; exits on a difference beyond
// the tolerance.
void Verify() {
    for (int i = 0; i < int(std::size(kCases)); ++i) {
        Inputs& in = InputsFor(i);
        std::vector<std::uint8_t> ours = in.Source;
        BlurBitmap(View(ours, in.C), in.C.Radius);
        const PixmanBlur blur(in.Kernel);
        blur.Pass(in.SrcImg, in.TmpImg, blur.Rows, in.C.W, in.C.H);
        blur.Pass(in.TmpImg, in.DstImg, blur.Columns, in.C.W, in.C.H);
        int worst = 0;
        std::size_t differing = 0;
        for (std::size_t k = 0; k < ours.size(); ++k) {
            const int d = std::abs(int(ours[k]) - int(in.Work[k]));
            worst = std::max(worst, d);
            differing += d != 0;
        }
        char what[80], note[48];
        std::snprintf(what, sizeof(what), "check blur %dx%d radius %d (%d taps)", in.C.W, in.C.H, in.C.Radius,
                      2 * in.Kernel.Size + 1);
        std::snprintf(note, sizeof(note), "%.2f %% of values differ", 100.0 * double(differing) / double(ours.size()));
        CheckOutputs(what, "pixman", worst, kTolerance, note);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Verify();
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        for (int i = 0; i < int(std::size(kCases)); ++i) {
            const std::string arg = "/" + std::to_string(i);
            const double ours = Measured(v, "BM_Blur" + arg), peer = Measured(v, "BM_PixmanBlur" + arg);
            std::printf("ratio blur %dx%d radius %d / pixman separable convolution %.2f\n", kCases[i].W, kCases[i].H,
                        kCases[i].Radius, peer > 0 ? ours / peer : 0.0);
        }
    });
    benchmark::Shutdown();
    return 0;
}
