// The engine's PNG decoder (TPNGDecoder into a TPNGMemoryTarget) against
// libpng (classic API), libspng and stb_image on the same in-memory files,
// generated here with zlib: 200 small skin-like RGBA images, a large RGB
// image, the same image Adam7-interlaced, a 16-bit RGB image and an 8-bit
// palette image. The engine's decoder, libpng and libspng run with and
// without checking (chunk CRCs and the zlib stream's Adler-32); stb_image
// never checks. The summary lines per set give kestrune time / peer time,
// checked against checked and unchecked against unchecked (below 1 means
// faster); stb_image is compared with both.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <png.h>
#include <spng.h>
#include <zlib.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "acPNGDecoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// A minimal PNG writer.

void Put32(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

void Chunk(Bytes& out, const char* type, const Bytes& data) {
    Put32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
    Put32(out, std::uint32_t(crc));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Appends the filtered rows of a (sub-)image: raw rows of rowBytes each.
// The filter type cycles over the rows so all five are exercised.
void FilterRows(Bytes& out, const Bytes& raw, std::size_t rowBytes, std::size_t rows, std::size_t bpp, int& counter) {
    Bytes zero(rowBytes, 0);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t* cur = raw.data() + y * rowBytes;
        const std::uint8_t* prev = y ? raw.data() + (y - 1) * rowBytes : zero.data();
        const int f = counter++ % 5;
        out.push_back(std::uint8_t(f));
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= bpp ? cur[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
            int pred = 0;
            switch (f) {
            case 1: pred = a; break;
            case 2: pred = b; break;
            case 3: pred = (a + b) / 2; break;
            case 4: pred = Paeth(a, b, c); break;
            default: break;
            }
            out.push_back(std::uint8_t(cur[i] - pred));
        }
    }
}

// pixels: width*height*bpp bytes (bpp whole bytes per pixel, bit depth 8 or 16).
Bytes EncodePNG(const Bytes& pixels, int w, int h, int bitDepth, int colorType, int bpp, bool interlace,
                const Bytes& plte = {}) {
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    Put32(ihdr, std::uint32_t(w));
    Put32(ihdr, std::uint32_t(h));
    ihdr.push_back(std::uint8_t(bitDepth));
    ihdr.push_back(std::uint8_t(colorType));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(interlace ? 1 : 0);
    Chunk(out, "IHDR", ihdr);
    if (!plte.empty()) Chunk(out, "PLTE", plte);

    Bytes filtered;
    int counter = 0;
    if (!interlace) {
        FilterRows(filtered, pixels, std::size_t(w) * bpp, std::size_t(h), std::size_t(bpp), counter);
    } else {
        static const int sx[7] = {0, 4, 0, 2, 0, 1, 0}, sy[7] = {0, 0, 4, 0, 2, 0, 1};
        static const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
        for (int p = 0; p < 7; ++p) {
            const int pw = (w - sx[p] + dx[p] - 1) / dx[p], ph = (h - sy[p] + dy[p] - 1) / dy[p];
            if (pw <= 0 || ph <= 0) continue;
            Bytes sub(std::size_t(pw) * ph * bpp);
            for (int y = 0; y < ph; ++y)
                for (int x = 0; x < pw; ++x)
                    std::memcpy(&sub[(std::size_t(y) * pw + x) * bpp],
                                &pixels[(std::size_t(sy[p] + y * dy[p]) * w + sx[p] + x * dx[p]) * bpp], std::size_t(bpp));
            counter = 0;
            FilterRows(filtered, sub, std::size_t(pw) * bpp, std::size_t(ph), std::size_t(bpp), counter);
        }
    }
    uLongf zlen = compressBound(uLong(filtered.size()));
    Bytes z(zlen);
    if (compress2(z.data(), &zlen, filtered.data(), uLong(filtered.size()), 6) != Z_OK) std::abort();
    z.resize(zlen);
    // Split the data into IDAT chunks of at most 64 KiB, as encoders do.
    for (std::size_t off = 0; off < z.size(); off += 65536) {
        const std::size_t n = std::min<std::size_t>(65536, z.size() - off);
        Chunk(out, "IDAT", Bytes(z.begin() + std::ptrdiff_t(off), z.begin() + std::ptrdiff_t(off + n)));
    }
    Chunk(out, "IEND", {});
    return out;
}

// ---------------------------------------------------------------------------
// The image sets.

std::uint32_t Rand(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 16;
}

Bytes SmallSkin(int index) {
    const int n = 32;
    Bytes px(std::size_t(n) * n * 4);
    const int r0 = (index * 37) & 255, g0 = (index * 91) & 255, b0 = (index * 13) & 255;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * n + x) * 4];
            const bool border = x < 2 || y < 2 || x >= n - 2 || y >= n - 2;
            if (border) continue;   // fully transparent
            p[0] = std::uint8_t(r0 + y * 3);
            p[1] = std::uint8_t(g0 + x * 2);
            p[2] = std::uint8_t(b0 + (x + y));
            p[3] = (x == 2 || y == 2 || x == n - 3 || y == n - 3) ? 128 : 255;
        }
    return EncodePNG(px, n, n, 8, 6, 4, false);
}

Bytes LargeRGBPixels(int w, int h) {
    Bytes px(std::size_t(w) * h * 3);
    std::uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * w + x) * 3];
            const std::uint32_t noise = Rand(seed) & 7;
            p[0] = std::uint8_t(x * 255 / w + noise);
            p[1] = std::uint8_t(y * 255 / h + noise);
            p[2] = std::uint8_t(((x / 64 + y / 64) & 1) ? 200 + noise : 40 + noise);
        }
    return px;
}

Bytes Deep16() {
    const int n = 512;
    Bytes px(std::size_t(n) * n * 6);
    std::uint32_t seed = 11;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::uint8_t* p = &px[(std::size_t(y) * n + x) * 6];
            const unsigned v[3] = {unsigned(x * 128 + (Rand(seed) & 63)), unsigned(y * 128 + (Rand(seed) & 63)),
                                   unsigned((x + y) * 64)};
            for (int c = 0; c < 3; ++c) {
                p[c * 2] = std::uint8_t(v[c] >> 8);
                p[c * 2 + 1] = std::uint8_t(v[c]);
            }
        }
    return EncodePNG(px, n, n, 16, 2, 6, false);
}

Bytes Palette8() {
    const int w = 800, h = 600;
    Bytes plte(256 * 3);
    for (int i = 0; i < 256; ++i) {
        plte[i * 3] = std::uint8_t(i);
        plte[i * 3 + 1] = std::uint8_t(255 - i);
        plte[i * 3 + 2] = std::uint8_t((i * 7) & 255);
    }
    Bytes px(std::size_t(w) * h);
    std::uint32_t seed = 3;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[std::size_t(y) * w + x] = std::uint8_t((x / 8 + y / 8) * 5 + ((Rand(seed) & 15) == 0 ? Rand(seed) : 0));
    return EncodePNG(px, w, h, 8, 3, 1, false, plte);
}

struct ImageSet {
    std::vector<Bytes> files;
    std::vector<std::unique_ptr<TMemoryStream>> streams;
    std::uint64_t pixels = 0;
    int channels = 3;   // what stb_image and the RGB(A) decoders are asked for
    bool palette = false;
    bool sixteen = false;
};

std::map<std::string, ImageSet>& Sets() {
    static std::map<std::string, ImageSet> sets;
    if (sets.empty()) {
        auto add = [&](const std::string& name, std::vector<Bytes> files, std::uint64_t px, int ch, bool pal, bool deep) {
            ImageSet& s = sets[name];
            s.files = std::move(files);
            s.pixels = px;
            s.channels = ch;
            s.palette = pal;
            s.sixteen = deep;
            for (const Bytes& f : s.files) {
                auto m = std::make_unique<TMemoryStream>();
                m->WriteBuffer(f.data(), Integer(f.size()));
                m->SetPosition(0);
                s.streams.push_back(std::move(m));
            }
        };
        std::vector<Bytes> small;
        for (int i = 0; i < 200; ++i) small.push_back(SmallSkin(i));
        add("small", std::move(small), 200ull * 32 * 32, 4, false, false);
        const Bytes large = LargeRGBPixels(1920, 1080);
        add("large", {EncodePNG(large, 1920, 1080, 8, 2, 3, false)}, 1920ull * 1080, 3, false, false);
        add("adam7", {EncodePNG(large, 1920, 1080, 8, 2, 3, true)}, 1920ull * 1080, 3, false, false);
        add("rgb16", {Deep16()}, 512ull * 512, 3, false, true);
        add("palette", {Palette8()}, 800ull * 600, 3, true, false);
    }
    return sets;
}

const char* kSetNames[] = {"small", "large", "adam7", "rgb16", "palette"};

// ---------------------------------------------------------------------------
// The decoders. Each returns a byte of the output so nothing is optimised away.

std::uint8_t DecodeOurs(TMemoryStream& stream, bool checkCrc) {
    stream.SetPosition(0);
    TPNGDecoder decoder;
    decoder.CheckCRC = checkCrc;
    TPNGMemoryTarget target;
    decoder.LoadFromStream(stream, target);
    return target.Pixels.empty() ? 0 : target.Pixels[target.Pixels.size() / 2];
}

struct PngReadState {
    const std::uint8_t* data;
    std::size_t size, pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (s->pos + n > s->size) png_error(png, "read past end");
    std::memcpy(out, s->data + s->pos, n);
    s->pos += n;
}

// Runs the libpng decode; false on error. Kept apart from the buffers so no
// local is live across setjmp.
bool LibpngDecode(png_structp png, png_infop info, PngReadState* state, Bytes* out, std::vector<png_bytep>* rows,
                  bool checkCrc) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (!checkCrc) {
        png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    }
    png_set_read_fn(png, state, PngRead);
    png_read_info(png, info);
    if (png_get_bit_depth(png, info) == 16) png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    out->resize(rowBytes * h);
    rows->resize(h);
    for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = out->data() + rowBytes * y;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

std::uint8_t DecodeLibpng(const Bytes& file, bool checkCrc) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngReadState state{file.data(), file.size(), 0};
    Bytes out;
    std::vector<png_bytep> rows;
    const bool ok = LibpngDecode(png, info, &state, &out, &rows, checkCrc);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) std::abort();
    return out[out.size() / 2];
}

std::uint8_t DecodeSpng(const Bytes& file, bool checkCrc, const ImageSet& set) {
    spng_ctx* ctx = spng_ctx_new(checkCrc ? 0 : SPNG_CTX_IGNORE_ADLER32);
    if (!checkCrc) spng_set_crc_action(ctx, SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_png_buffer(ctx, file.data(), file.size());
    // Palette images stay indexed, like the engine's target; the others
    // become 8-bit RGB(A).
    const int fmt = set.palette ? SPNG_FMT_PNG : (set.channels == 4 ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8);
    std::size_t size = 0;
    if (spng_decoded_image_size(ctx, fmt, &size)) std::abort();
    Bytes out(size);
    if (spng_decode_image(ctx, out.data(), size, fmt, 0)) std::abort();
    spng_ctx_free(ctx);
    return out[size / 2];
}

std::uint8_t DecodeStb(const Bytes& file, int channels) {
    int w = 0, h = 0, n = 0;
    stbi_uc* p = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, channels);
    if (!p) std::abort();
    const std::uint8_t v = p[std::size_t(w) * h * channels / 2];
    stbi_image_free(p);
    return v;
}

// ---------------------------------------------------------------------------

enum Lib { kOurs, kOursNoCrc, kLibpng, kLibpngNoCrc, kSpng, kSpngNoCrc, kStb };

void BM_Decode(benchmark::State& state, const char* setName, Lib lib) {
    ImageSet& set = Sets()[setName];
    for (auto _ : state) {
        CountedWork counted;
        unsigned acc = 0;
        for (std::size_t i = 0; i < set.files.size(); ++i) {
            switch (lib) {
            case kOurs: acc += DecodeOurs(*set.streams[i], true); break;
            case kOursNoCrc: acc += DecodeOurs(*set.streams[i], false); break;
            case kLibpng: acc += DecodeLibpng(set.files[i], true); break;
            case kLibpngNoCrc: acc += DecodeLibpng(set.files[i], false); break;
            case kSpng: acc += DecodeSpng(set.files[i], true, set); break;
            case kSpngNoCrc: acc += DecodeSpng(set.files[i], false, set); break;
            case kStb: acc += DecodeStb(set.files[i], set.channels); break;
            }
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(set.pixels));
}

const char* kLibNames[] = {"kestrune", "kestrune_nocrc", "libpng", "libpng_nocrc", "spng", "spng_nocrc", "stb"};

void RegisterAll() {
    for (const char* set : kSetNames)
        for (int lib = kOurs; lib <= kStb; ++lib)
            benchmark::RegisterBenchmark((std::string("BM_") + set + "/" + kLibNames[lib]).c_str(),
                                         [set, lib](benchmark::State& s) { BM_Decode(s, set, Lib(lib)); })
                ->Unit(benchmark::kMicrosecond)
                ->Apply(FixedIterations);
}

// Checks once that the engine's output matches stb_image (RGB(A) sets) or
// the indices (palette set), so the timings compare equal work.
void Verify() {
    for (const char* name : kSetNames) {
        ImageSet& set = Sets()[name];
        std::size_t bad = 0;
        for (std::size_t i = 0; i < set.files.size(); ++i) {
            set.streams[i]->SetPosition(0);
            TPNGDecoder decoder;
            TPNGMemoryTarget target;
            decoder.LoadFromStream(*set.streams[i], target);
            const int W = int(target.Info.Width), H = int(target.Info.Height), bpp = target.Info.BitsPerPixel;
            if (set.palette) {
                spng_ctx* ctx = spng_ctx_new(0);
                spng_set_png_buffer(ctx, set.files[i].data(), set.files[i].size());
                std::size_t size = 0;
                spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size);
                Bytes idx(size);
                spng_decode_image(ctx, idx.data(), size, SPNG_FMT_PNG, 0);
                spng_ctx_free(ctx);
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        if (bpp != 8 || target.ScanLine(Cardinal(y))[x] != idx[std::size_t(y) * W + x]) ++bad;
                continue;
            }
            int w = 0, h = 0, n = 0;
            stbi_uc* p = stbi_load_from_memory(set.files[i].data(), int(set.files[i].size()), &w, &h, &n, set.channels);
            const int ob = bpp / 8;
            for (int y = 0; y < H && y < h; ++y)
                for (int x = 0; x < W && x < w; ++x) {
                    const std::uint8_t* o = target.ScanLine(Cardinal(y)) + x * ob;
                    const stbi_uc* s = p + (std::size_t(y) * w + x) * set.channels;
                    if (set.channels == 4 && s[3] == 0) continue;   // colour of transparent pixels is free
                    for (int c = 0; c < 3; ++c)
                        if (std::abs(int(o[2 - c]) - int(s[c])) > (set.sixteen ? 1 : 0)) { ++bad; break; }
                }
            stbi_image_free(p);
        }
        if (bad != 0) {
            std::fprintf(stderr, "check %s: %zu pixel(s) differ from the peer's\n", name, bad);
            std::exit(1);
        }
        std::printf("check %-8s %zu file(s): outputs %s\n", name, set.files.size(),
                    set.palette ? "equal (indices, against libspng)"
                    : set.sixteen ? "within 1 of stb_image (16-bit channels cut to 8 bits)"
                                  : "equal to stb_image's (colour of transparent pixels aside)");
    }
}


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Verify();
    RegisterAll();
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        for (const char* set : kSetNames) {
            auto t = [&](int lib) { return Measured(v, std::string("BM_") + set + "/" + kLibNames[lib]); };
            auto ratio = [&](int ours, int lib) { return t(lib) > 0 ? t(ours) / t(lib) : 0.0; };
            // stb_image checks no CRC nor Adler-32 (its checked ratio gives it
            // less work) and expands a palette to RGB (more work).
            const char* stbNote = std::string(set) == "palette" ? "  (stb also expands the palette)" : "";
            std::printf("ratio %-8s checked:   /libpng %.2f   /spng %.2f   /stb %.2f (stb checks nothing)%s\n", set,
                        ratio(kOurs, kLibpng), ratio(kOurs, kSpng), ratio(kOurs, kStb), stbNote);
            std::printf("ratio %-8s unchecked: /libpng %.2f   /spng %.2f   /stb %.2f%s\n", set,
                        ratio(kOursNoCrc, kLibpngNoCrc), ratio(kOursNoCrc, kSpngNoCrc), ratio(kOursNoCrc, kStb), stbNote);
        }
    });
    benchmark::Shutdown();
    return 0;
}
