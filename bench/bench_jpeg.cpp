// The engine's JPEG reader (DecodeJPEGImage: the guarded stb_image into a
// 32-bit image) against libjpeg-turbo (Debian's, libjpeg API, accurate
// integer IDCT and smooth chroma upsampling, decoding straight to BGRA, the
// engine's pixel layout) on the same in-memory files, made here with
// libjpeg-turbo: a 1920 x 1080 photograph-like image with 4:2:0 chroma and
// a 512 x 512 texture without chroma subsampling. stb_image alone (the same
// build the engine links, asked for four channels) is timed too, to show
// what the engine adds around it.
//
// Before timing, each set is decoded once by both and compared pixel by
// pixel: stb_image and libjpeg-turbo round their IDCT, upsampling and colour
// conversion differently, so a channel may differ by a few levels; the
// program fails when any channel differs by more than kTolerance.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "StbImage.h"
#include "acSkinImages.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The largest difference of one channel between the engine's and
// libjpeg-turbo's output that counts as the same picture.
constexpr int kTolerance = 4;

Bytes EncodeJpeg(const Bytes& rgb, int w, int h, int quality, bool subsample) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    const int h0 = subsample ? 2 : 1;
    c.comp_info[0].h_samp_factor = h0;
    c.comp_info[0].v_samp_factor = h0;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[std::size_t(c.next_scanline) * w * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes file(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return file;
}

std::uint32_t Rand(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 16;
}

// Smooth shading, hard edges and some grain, as photographs and skin textures have.
Bytes Picture(int w, int h, std::uint32_t seed) {
    Bytes px(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * w + x) * 3];
            const int grain = int(Rand(seed) & 15) - 8;
            const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (h / 4) * (h / 4);
            const int r = x * 255 / w, g = y * 255 / h, b = ((x / 48 + y / 48) & 1) ? 190 : 60;
            p[0] = std::uint8_t(std::clamp((disc ? 255 - r : r) + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp(g + grain, 0, 255));
            p[2] = std::uint8_t(std::clamp((disc ? 230 : b) + grain, 0, 255));
        }
    return px;
}

struct JpegSet {
    const char* Name;
    int W, H;
    Bytes File;
};

std::vector<JpegSet>& Sets() {
    static std::vector<JpegSet> sets;
    if (sets.empty()) {
        sets.push_back({"photo", 1920, 1080, EncodeJpeg(Picture(1920, 1080, 5), 1920, 1080, 90, true)});
        sets.push_back({"texture", 512, 512, EncodeJpeg(Picture(512, 512, 9), 512, 512, 95, false)});
    }
    return sets;
}

// libjpeg-turbo's decode into a new buffer of 0xAARRGGBB words.
std::unique_ptr<std::uint32_t[]> DecodeTurbo(const Bytes& file, int& w, int& h) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&d);
    w = int(d.output_width);
    h = int(d.output_height);
    std::unique_ptr<std::uint32_t[]> out(new std::uint32_t[std::size_t(w) * h]);
    JSAMPROW rows[16];
    while (d.output_scanline < d.output_height) {
        const JDIMENSION first = d.output_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(16, d.output_height - first);
        for (JDIMENSION i = 0; i < n; ++i) rows[i] = reinterpret_cast<JSAMPROW>(out.get() + std::size_t(first + i) * w);
        jpeg_read_scanlines(&d, rows, n);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

enum Lib { kEngine, kStb, kTurbo };
const char* kLibNames[] = {"kestrune", "stb", "libjpeg-turbo"};

void BM_Decode(benchmark::State& state, std::size_t setIndex, Lib lib) {
    const JpegSet& set = Sets()[setIndex];
    for (auto _ : state) {
        CountedWork counted;
        std::uint32_t v = 0;
        if (lib == kEngine) {
            const TacImage32 img = DecodeJPEGImage(set.File.data(), set.File.size());
            v = img.At(img.Width() / 2, img.Height() / 2);
        } else if (lib == kStb) {
            int w = 0, h = 0, n = 0;
            stbi_uc* p = stbi_load_from_memory(set.File.data(), int(set.File.size()), &w, &h, &n, 4);
            v = p[std::size_t(w) * h * 2];
            stbi_image_free(p);
        } else {
            int w = 0, h = 0;
            const auto p = DecodeTurbo(set.File, w, h);
            v = p[std::size_t(w) * h / 2];
        }
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(set.W) * set.H);
}

// Compares the engine's output with libjpeg-turbo's once; exits on a
// difference beyond the tolerance.
void Verify() {
    for (const JpegSet& set : Sets()) {
        const TacImage32 ours = DecodeJPEGImage(set.File.data(), set.File.size());
        int w = 0, h = 0;
        const auto peer = DecodeTurbo(set.File, w, h);
        if (ours.Width() != w || ours.Height() != h) {
            std::fprintf(stderr, "check %s: sizes differ (%d x %d against %d x %d)\n", set.Name, int(ours.Width()),
                         int(ours.Height()), w, h);
            std::exit(1);
        }
        int worst = 0;
        std::size_t differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t a = ours.At(x, y), b = peer[std::size_t(y) * w + x];
                for (int shift = 0; shift < 32; shift += 8) {
                    const int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
                    worst = std::max(worst, d);
                    differing += d != 0;
                }
            }
        const double share = 100.0 * double(differing) / (4.0 * w * h);
        char what[96], note[48];
        std::snprintf(what, sizeof(what), "check jpeg %-8s %d x %d, %zu bytes", set.Name, w, h, set.File.size());
        std::snprintf(note, sizeof(note), "%.1f %% of channels differ", share);
        CheckOutputs(what, "libjpeg-turbo", worst, kTolerance, note);
    }
}

void RegisterAll() {
    for (std::size_t s = 0; s < Sets().size(); ++s)
        for (int lib = kEngine; lib <= kTurbo; ++lib)
            benchmark::RegisterBenchmark((std::string("BM_Jpeg_") + Sets()[s].Name + "/" + kLibNames[lib]).c_str(),
                                         [s, lib](benchmark::State& st) { BM_Decode(st, s, Lib(lib)); })
                ->Unit(benchmark::kMicrosecond)
                ->Apply(FixedIterations);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Verify();
    RegisterAll();
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        for (const JpegSet& set : Sets()) {
            auto t = [&](int lib) { return Measured(v, std::string("BM_Jpeg_") + set.Name + "/" + kLibNames[lib]); };
            const double turbo = t(kTurbo);
            std::printf("ratio jpeg %-8s kestrune / libjpeg-turbo %.2f   (stb_image alone / libjpeg-turbo %.2f)\n",
                        set.Name, turbo > 0 ? t(kEngine) / turbo : 0.0, turbo > 0 ? t(kStb) / turbo : 0.0);
        }
    });
    benchmark::Shutdown();
    return 0;
}
