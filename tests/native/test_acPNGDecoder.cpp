// The PNG decoder: images written here with zlib in every colour type, depth,
// filter and interlacing are decoded and compared with their samples (and,
// natively, with libpng's reading of the same file); crafted files hit every
// error path.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestBytes.h"
#include "acPNGDecoder.h"

#ifndef _WIN32
#include <png.h>
#endif

namespace {

using Bytes = std::vector<Byte>;
using harness::Put32BE;
using harness::PutPngChunk;

Bytes Deflate(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    out.resize(size);
    return out;
}

Bytes Ihdr(Cardinal w, Cardinal h, int depth, int type, int interlace = 0, int compression = 0) {
    Bytes d;
    Put32BE(d, w);
    Put32BE(d, h);
    d.insert(d.end(), {Byte(depth), Byte(type), Byte(compression), 0, Byte(interlace)});
    return d;
}

int SamplesOf(int type) { return type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1; }

// An image as samples, row by row (width * samples per pixel each).
struct TTestImage {
    Cardinal W = 1, H = 1;
    int Type = 0, Depth = 8;
    std::vector<std::vector<unsigned>> Rows;
};

TTestImage MakeImage(Cardinal w, Cardinal h, int type, int depth, unsigned seed = 1) {
    TTestImage img{w, h, type, depth, {}};
    unsigned max = depth == 16 ? 0xFFFF : (1u << depth) - 1;
    unsigned x = seed * 2654435761u + 12345;
    for (Cardinal y = 0; y < h; ++y) {
        std::vector<unsigned> row;
        for (Cardinal i = 0; i < w * SamplesOf(type); ++i) {
            x = x * 1103515245u + 12345u;
            row.push_back((x >> 8) & max);
        }
        img.Rows.push_back(row);
    }
    return img;
}

Bytes PackRow(const std::vector<unsigned>& samples, int depth) {
    Bytes out;
    if (depth >= 8) {
        for (unsigned s : samples) {
            if (depth == 16) out.push_back(Byte(s >> 8));
            out.push_back(Byte(s));
        }
        return out;
    }
    out.assign((samples.size() * depth + 7) / 8, 0);
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i * depth / 8] |= Byte(samples[i] << (8 - depth - (i * depth) % 8));
    return out;
}

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

Bytes FilterRow(int f, const Bytes& raw, const Bytes& prev, std::size_t bpp) {
    Bytes out{Byte(f)};
    for (std::size_t i = 0; i < raw.size(); ++i) {
        int a = i >= bpp ? raw[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
        int pred = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? Paeth(a, b, c) : 0;
        out.push_back(Byte(raw[i] - pred));
    }
    return out;
}

// The filtered, uncompressed image data; each row's filter is (row + pass) % 5.
Bytes RawData(const TTestImage& img, bool interlaced) {
    struct P { Cardinal c, r, cs, rs; };
    const P single[1] = {{0, 0, 1, 1}};
    const P adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    const P* passes = interlaced ? adam7 : single;
    int count = interlaced ? 7 : 1;
    int spp = SamplesOf(img.Type);
    std::size_t bpp = std::max<std::size_t>(1, std::size_t(spp) * img.Depth / 8);
    Bytes out;
    for (int p = 0; p < count; ++p) {
        const P& ps = passes[p];
        if (ps.c >= img.W || ps.r >= img.H) continue;
        Bytes prev;
        int n = 0;
        for (Cardinal y = ps.r; y < img.H; y += ps.rs, ++n) {
            std::vector<unsigned> samples;
            for (Cardinal x = ps.c; x < img.W; x += ps.cs)
                for (int k = 0; k < spp; ++k) samples.push_back(img.Rows[y][x * spp + k]);
            Bytes raw = PackRow(samples, img.Depth);
            if (prev.empty()) prev.assign(raw.size(), 0);
            Bytes f = FilterRow((n + p) % 5, raw, prev, bpp);
            out.insert(out.end(), f.begin(), f.end());
            prev = raw;
        }
    }
    return out;
}

Bytes Signature() { return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}; }

// The IDAT data split into chunks of at most Split bytes.
void AddIdat(Bytes& file, const Bytes& z, std::size_t split, const char* name = "IDAT") {
    for (std::size_t i = 0; i < z.size(); i += split)
        PutPngChunk(file, name, Bytes(z.begin() + i, z.begin() + std::min(z.size(), i + split)));
}

Bytes Palette(int entries) {
    Bytes p;
    for (int i = 0; i < entries; ++i) p.insert(p.end(), {Byte(i * 3), Byte(255 - i), Byte(i * 7)});
    return p;
}

Bytes WritePNG(const TTestImage& img, bool interlaced, std::size_t split = 1 << 20,
               const std::function<void(Bytes&)>& extra = nullptr) {
    Bytes f = Signature();
    PutPngChunk(f, "IHDR", Ihdr(img.W, img.H, img.Depth, img.Type, interlaced));
    if (extra) extra(f);
    if (img.Type == 3) PutPngChunk(f, "PLTE", Palette(1 << img.Depth));
    AddIdat(f, Deflate(RawData(img, interlaced)), split);
    PutPngChunk(f, "IEND", {});
    return f;
}

struct TDecoded {
    TPNGMemoryTarget Target;
    TImageProperties Props;
};

void Decode(const Bytes& file, TDecoded& out, std::uint64_t maxPixels = TPNGDecoder::DefaultMaxPixels,
            bool checkCRC = true) {
    TMemoryStream s;
    s.WriteBuffer(file.data(), static_cast<Integer>(file.size()));
    s.SetPosition(0);
    TPNGDecoder d;
    d.MaxPixels = maxPixels;
    d.CheckCRC = checkCRC;
    d.LoadFromStream(s, out.Target);
    out.Props = d.ImageProperties();
}

std::string DecodeError(const Bytes& file, std::uint64_t maxPixels = TPNGDecoder::DefaultMaxPixels) {
    TDecoded out;
    try { Decode(file, out, maxPixels); } catch (const Exception& e) { return e.what(); }
    return "";
}

// The pixel value at x of a packed row.
unsigned PixelAt(const TPNGMemoryTarget& t, Cardinal x, Cardinal y) {
    const Byte* row = const_cast<TPNGMemoryTarget&>(t).ScanLine(y);
    int bpp = t.Info.BitsPerPixel;
    if (bpp >= 24) {
        const Byte* p = row + x * (bpp / 8);
        return bpp == 32 ? (p[0] | p[1] << 8 | p[2] << 16 | unsigned(p[3]) << 24) : (p[0] | p[1] << 8 | p[2] << 16);
    }
    std::size_t bit = std::size_t(x) * bpp;
    return (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
}

unsigned To8(unsigned v, int depth) { return depth == 16 ? v * 255 / 65535 : v; }

// What a pixel of the samples must become.
unsigned Expected(const TTestImage& img, Cardinal x, Cardinal y) {
    const unsigned* s = &img.Rows[y][x * SamplesOf(img.Type)];
    switch (img.Type) {
    case 0: return img.Depth == 2 ? s[0] * 5 : To8(s[0], img.Depth);
    case 3: return s[0];
    case 4: return To8(s[0], img.Depth);
    case 2: return To8(s[2], img.Depth) | To8(s[1], img.Depth) << 8 | To8(s[0], img.Depth) << 16;
    default:
        return To8(s[2], img.Depth) | To8(s[1], img.Depth) << 8 | To8(s[0], img.Depth) << 16 | To8(s[3], img.Depth) << 24;
    }
}

#ifndef _WIN32
// libpng's samples of a file, one per byte (or per 16-bit value), de-interlaced.
struct TReader { const Bytes* file; std::size_t pos; };
std::vector<std::vector<unsigned>> LibPngSamples(const Bytes& file) {
    std::vector<std::vector<unsigned>> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    TReader reader{&file, 0};
    std::vector<Bytes> data;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return {};
    }
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, png_size_t n) {
        TReader* r = static_cast<TReader*>(png_get_io_ptr(p));
        if (r->pos + n > r->file->size()) png_error(p, "short");
        std::memcpy(out, r->file->data() + r->pos, n);
        r->pos += n;
    });
    png_read_info(png, info);
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    Cardinal h = png_get_image_height(png, info);
    std::size_t rowBytes = png_get_rowbytes(png, info);
    int depth = png_get_bit_depth(png, info);
    data.assign(h, Bytes(rowBytes));
    std::vector<png_bytep> ptrs;
    for (auto& r : data) ptrs.push_back(r.data());
    png_read_image(png, ptrs.data());
    png_destroy_read_struct(&png, &info, nullptr);
    for (auto& r : data) {
        std::vector<unsigned> samples;
        for (std::size_t i = 0; i < r.size(); i += depth == 16 ? 2 : 1)
            samples.push_back(depth == 16 ? (r[i] << 8 | r[i + 1]) : r[i]);
        rows.push_back(samples);
    }
    return rows;
}
#endif

} // namespace

// ---- every colour type and depth -------------------------------------------

struct TFormatCase { int Type, Depth, BitsPerPixel; TacPixelFormat Format; };

class PNGFormats : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(PNGFormats, DecodesLikeTheSamplesInEveryLayout) {
    const TFormatCase c = GetParam();
    struct { Cardinal w, h; bool interlaced; std::size_t split; } layouts[] = {
        {13, 11, false, 1 << 20}, {13, 11, true, 1 << 20}, {13, 11, true, 7}, {17, 5, false, 3},
        {1, 1, true, 1 << 20}, {3, 2, true, 1 << 20}, {9, 1, false, 1 << 20},
        {67, 9, false, 1 << 20}, {67, 9, true, 100},   // rows long enough for the whole-row loops
    };
    for (auto& l : layouts) {
        SCOPED_TRACE(testing::Message() << l.w << "x" << l.h << (l.interlaced ? " interlaced" : "") << " split " << l.split);
        TTestImage img = MakeImage(l.w, l.h, c.Type, c.Depth, l.w * 31 + l.h);
        Bytes file = WritePNG(img, l.interlaced, l.split);
#ifndef _WIN32
        ASSERT_EQ(LibPngSamples(file), img.Rows) << "the test's writer disagrees with libpng";
#endif
        TDecoded d;
        ASSERT_NO_THROW(Decode(file, d));
        ASSERT_EQ(d.Target.Info.BitsPerPixel, c.BitsPerPixel);
        EXPECT_EQ(d.Target.Info.PixelFormat, c.Format);
        EXPECT_EQ(d.Props.Interlaced, l.interlaced);
        for (Cardinal y = 0; y < l.h; ++y)
            for (Cardinal x = 0; x < l.w; ++x) {
                ASSERT_EQ(PixelAt(d.Target, x, y), Expected(img, x, y)) << "pixel " << x << "," << y;
            }
        if (c.BitsPerPixel <= 8) {
            EXPECT_EQ(d.Target.Info.Palette.size(), 1u << c.BitsPerPixel);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, PNGFormats, ::testing::Values(
    TFormatCase{0, 1, 1, TacPixelFormat::pf1bit}, TFormatCase{0, 2, 4, TacPixelFormat::pf4bit},
    TFormatCase{0, 4, 4, TacPixelFormat::pf4bit}, TFormatCase{0, 8, 8, TacPixelFormat::pf8bit},
    TFormatCase{0, 16, 8, TacPixelFormat::pf8bit}, TFormatCase{2, 8, 24, TacPixelFormat::pf24bit},
    TFormatCase{2, 16, 24, TacPixelFormat::pf24bit}, TFormatCase{3, 1, 1, TacPixelFormat::pf1bit},
    TFormatCase{3, 2, 4, TacPixelFormat::pf4bit}, TFormatCase{3, 4, 4, TacPixelFormat::pf4bit},
    TFormatCase{3, 8, 8, TacPixelFormat::pf8bit}, TFormatCase{4, 8, 8, TacPixelFormat::pf8bit},
    TFormatCase{4, 16, 8, TacPixelFormat::pf8bit}, TFormatCase{6, 8, 32, TacPixelFormat::pf32bit},
    TFormatCase{6, 16, 32, TacPixelFormat::pf32bit}),
    [](const ::testing::TestParamInfo<TFormatCase>& i) {
        return "Type" + std::to_string(i.param.Type) + "Depth" + std::to_string(i.param.Depth);
    });

// ---- crafted files -------------------------------------------------------------

TEST(PNGDecoder, CraftedFilesRaiseTheirMessages) {
    const TTestImage grey = MakeImage(4, 3, 0, 8);
    const Bytes z = Deflate(RawData(grey, false));
    auto file = [&](const std::function<void(Bytes&)>& body) {
        Bytes f = Signature();
        body(f);
        return f;
    };
    auto normal = [&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 8, 0)); };
    Bytes zExtra = z;
    zExtra.insert(zExtra.end(), {1, 2, 3});
    const Bytes raw = RawData(grey, false);
    Bytes zShort = Deflate(Bytes(raw.begin(), raw.begin() + 7));
    Bytes zBad = z;
    zBad[2] ^= 0xFF;
    zBad[3] ^= 0xFF;

    const std::string invalid = "Cannot load image. Invalid or unexpected PNG image format.";
    const std::string end = "Cannot load image. Unexpected end of PNG file.";
    struct { const char* name; Bytes data; std::string message; } cases[] = {
        {"bad signature", Bytes{0x89, 'P', 'N', 'G', 0, 0, 0, 0}, invalid},
        {"no IHDR first", file([&](Bytes& f) { PutPngChunk(f, "gAMA", {0, 0, 0, 1}); }), invalid},
        {"IHDR of 12 bytes", file([&](Bytes& f) { Bytes h = Ihdr(4, 3, 8, 0); h.pop_back(); PutPngChunk(f, "IHDR", h); }), invalid},
        {"IHDR of 14 bytes", file([&](Bytes& f) { Bytes h = Ihdr(4, 3, 8, 0); h.push_back(0); PutPngChunk(f, "IHDR", h); }), invalid},
        {"zero width", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(0, 3, 8, 0)); }), invalid},
        {"no IDAT", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IEND", {}); }), invalid},
        {"compression 1", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 8, 0, 0, 1)); }),
         "Cannot load image. The compression scheme is not supported for PNG files."},
        {"IHDR CRC", file([&](Bytes& f) { normal(f); f.back() ^= 1; PutPngChunk(f, "IEND", {}); }),
         "Cannot load image. CRC error found in PNG file."},
        {"IDAT CRC", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", z); f.back() ^= 1; PutPngChunk(f, "IEND", {}); }),
         "Cannot load image. CRC error found in PNG file."},
        {"PLTE of 767", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 8, 3)); PutPngChunk(f, "PLTE", Bytes(767)); }),
         "Cannot load image. Palette in PNG file is invalid."},
        {"RGB depth 4", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 4, 2)); }), "Invalid color format in PNG file."},
        {"colour type 5", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 8, 5)); }), "Invalid color format in PNG file."},
        {"indexed depth 16", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(4, 3, 16, 3)); }), "Invalid color format in PNG file."},
        {"critical chunk", file([&](Bytes& f) { normal(f); PutPngChunk(f, "ABCD", {}); }),
         "Cannot load PNG image. Unexpected but critical chunk detected."},
        {"data after stream end", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", zExtra); PutPngChunk(f, "IEND", {}); }),
         "Cannot load image. Extra compressed data found in PNG file."},
        {"stream ends early", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", zShort); PutPngChunk(f, "IEND", {}); }),
         "Cannot load image. Extra compressed data found in PNG file."},
        {"corrupt deflate", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", zBad); PutPngChunk(f, "IEND", {}); }),
         "Cannot load image. Compression error found in PNG file."},
        {"ends before IEND", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", z); }), end},
        {"ends inside a chunk", file([&](Bytes& f) { normal(f); PutPngChunk(f, "IDAT", z); f.resize(f.size() - 5); }), end},
        {"huge chunk length", file([&](Bytes& f) { normal(f); Put32BE(f, 0x7FFFFFF0u); f.insert(f.end(), {'t', 'E', 'X', 't', 0}); }), end},
        {"too many pixels", file([&](Bytes& f) { PutPngChunk(f, "IHDR", Ihdr(100000, 100000, 8, 6)); }),
         "Cannot load image. The PNG image is too large."},
    };
    for (auto& c : cases) EXPECT_EQ(DecodeError(c.data), c.message) << c.name;
}

TEST(PNGDecoder, UncheckedDecodingIgnoresBadChecksumsOnly) {
    const TTestImage img = MakeImage(21, 6, 6, 8, 5);
    const Bytes good = WritePNG(img, false, 40);
    // Every CRC flipped, and the zlib stream's Adler-32 too (its last four
    // bytes, inside the last IDAT's data).
    Bytes bad = good;
    std::size_t pos = 8;
    std::size_t lastIdatEnd = 0;
    while (pos + 12 <= bad.size()) {
        const Cardinal length = (Cardinal(bad[pos]) << 24) | (Cardinal(bad[pos + 1]) << 16) | (Cardinal(bad[pos + 2]) << 8) | bad[pos + 3];
        if (std::memcmp(&bad[pos + 4], "IDAT", 4) == 0) lastIdatEnd = pos + 8 + length;
        bad[pos + 8 + length] ^= 0x5A;
        pos += 12 + length;
    }
    bad[lastIdatEnd - 1] ^= 0x01;
    EXPECT_EQ(DecodeError(bad), "Cannot load image. CRC error found in PNG file.");
    TDecoded checked, unchecked;
    ASSERT_NO_THROW(Decode(good, checked));
    ASSERT_NO_THROW(Decode(bad, unchecked, TPNGDecoder::DefaultMaxPixels, false));
    EXPECT_EQ(unchecked.Target.Pixels, checked.Target.Pixels);
    // Broken data is still found without the checks.
    Bytes broken = Signature();
    PutPngChunk(broken, "IHDR", Ihdr(21, 6, 8, 6));
    Bytes z = Deflate(RawData(img, false));
    z[3] ^= 0xFF;
    z[4] ^= 0xFF;
    AddIdat(broken, z, 1 << 20);
    PutPngChunk(broken, "IEND", {});
    TDecoded out;
    try {
        Decode(broken, out, TPNGDecoder::DefaultMaxPixels, false);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot load image. Compression error found in PNG file.");
    }
}

TEST(PNGDecoder, RowSizeBeyond32BitsIsRefusedBeforeAllocating) {
    Bytes f = Signature();
    PutPngChunk(f, "IHDR", Ihdr(0x7FFFFFFF, 1, 16, 6));
    PutPngChunk(f, "IDAT", Deflate(Bytes(16)));
    PutPngChunk(f, "IEND", {});
    EXPECT_EQ(DecodeError(f, ~0ull), "Cannot load image. The PNG image is too large.");
}

TEST(PNGDecoder, ChunkNamesCompareWithoutCase) {
    TTestImage img = MakeImage(5, 4, 0, 8);
    Bytes f = Signature();
    PutPngChunk(f, "IHDR", Ihdr(5, 4, 8, 0));
    PutPngChunk(f, "abcd", {1, 2, 3});           // unknown ancillary: skipped
    AddIdat(f, Deflate(RawData(img, false)), 9, "idat");
    PutPngChunk(f, "iend", {});
    TDecoded d;
    ASSERT_NO_THROW(Decode(f, d));
    for (Cardinal y = 0; y < 4; ++y)
        for (Cardinal x = 0; x < 5; ++x) ASSERT_EQ(PixelAt(d.Target, x, y), img.Rows[y][x]);
}

// ---- ancillary chunks ------------------------------------------------------------

TEST(PNGDecoder, BackgroundAndTransparencyAreScaledToTheTarget) {
    struct { int type, depth; Bytes value; Cardinal background; TColor colour; } cases[] = {
        {0, 1, {0, 1}, 1, 0xFFFFFF},
        {0, 2, {0, 1}, 5, 0x555555},
        {0, 4, {0, 3}, 3, 0x333333},
        {0, 8, {0, 200}, 200, 0xC8C8C8},
        {0, 16, {0x80, 0x80}, 128, 0x808080},
        {2, 16, {0xFF, 0xFF, 0, 0, 0x80, 0x80}, 0xFF0080, 0x8000FF},
        {2, 8, {0, 1, 0, 2, 0, 3}, 0x010203, 0x030201},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " depth " << c.depth);
        TTestImage img = MakeImage(3, 2, c.type, c.depth);
        TDecoded d;
        ASSERT_NO_THROW(Decode(WritePNG(img, false, 1 << 20, [&](Bytes& f) {
            PutPngChunk(f, "bKGD", c.value);
            PutPngChunk(f, "tRNS", c.value);
        }), d));
        EXPECT_EQ(d.Target.Info.Background, c.background);
        EXPECT_EQ(d.Target.Info.BackgroundColor, c.colour);
        EXPECT_EQ(d.Target.Info.TransparentColor, c.colour);
    }
}

// With a gamma the pixels are corrected; the key of an RGB image is the
// colour its tRNS samples become, so the keyed pixels match it.
TEST(PNGDecoder, RgbTransparencyKeyIsCorrectedLikeThePixels) {
    for (int depth : {8, 16})
        for (bool gammaFirst : {true, false}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << (gammaFirst ? " gAMA first" : " tRNS first"));
            const unsigned unit = depth == 16 ? 257 : 1;
            TTestImage img{2, 1, 2, depth, {{100 * unit, 100 * unit, 100 * unit, 50 * unit, 60 * unit, 70 * unit}}};
            const Bytes trns = depth == 16 ? Bytes{100, 100, 100, 100, 100, 100} : Bytes{0, 100, 0, 100, 0, 100};
            TDecoded d;
            ASSERT_NO_THROW(Decode(WritePNG(img, false, 1 << 20, [&](Bytes& f) {
                if (gammaFirst) PutPngChunk(f, "gAMA", {0, 1, 0x86, 0xA0});
                PutPngChunk(f, "tRNS", trns);
                if (!gammaFirst) PutPngChunk(f, "gAMA", {0, 1, 0x86, 0xA0});
            }), d));
            EXPECT_EQ(PixelAt(d.Target, 0, 0), 0xA7A7A7u);
            EXPECT_EQ(d.Target.Info.TransparentColor, 0xA7A7A7);
            EXPECT_NE(PixelAt(d.Target, 1, 0), 0xA7A7A7u);
        }
}

TEST(PNGDecoder, ShortAncillaryChunksAreIgnored) {
    for (int type : {0, 2, 3}) {
        SCOPED_TRACE(type);
        TTestImage img = MakeImage(3, 2, type, 8);
        TDecoded d;
        ASSERT_NO_THROW(Decode(WritePNG(img, false, 1 << 20, [&](Bytes& f) {
            PutPngChunk(f, "gAMA", {0, 1});
            PutPngChunk(f, "bKGD", {});
            if (type != 3) PutPngChunk(f, "tRNS", {7});
        }), d));
        EXPECT_EQ(d.Target.Info.TransparentColor, kPNGNoColor);
        EXPECT_EQ(d.Props.Options & ioUseGamma, 0u);
    }
}

TEST(PNGDecoder, ShortPaletteCoversEveryIndex) {
    // Indexes 0..255 against a palette of two entries, a background index the
    // pixels cannot hold and a long tRNS.
    TTestImage img = MakeImage(16, 16, 3, 8);
    Bytes f = Signature();
    PutPngChunk(f, "IHDR", Ihdr(16, 16, 8, 3));
    PutPngChunk(f, "PLTE", Palette(2));
    PutPngChunk(f, "tRNS", Bytes(300, 9));
    PutPngChunk(f, "IDAT", Deflate(RawData(img, false)));
    PutPngChunk(f, "IEND", {});
    TDecoded d;
    ASSERT_NO_THROW(Decode(f, d));
    ASSERT_EQ(d.Target.Info.Palette.size(), 256u);
    EXPECT_EQ(d.Target.Info.Palette[1], (TacPaletteEntry{3, 254, 7}));
    EXPECT_EQ(d.Target.Info.Palette[200], (TacPaletteEntry{}));
    EXPECT_EQ(d.Target.Info.Transparency, Bytes(256, 9));

    TTestImage two = MakeImage(4, 1, 3, 2);
    Bytes g = WritePNG(two, false, 1 << 20, [](Bytes& out) { PutPngChunk(out, "bKGD", {200}); });
    ASSERT_NO_THROW(Decode(g, d));
    EXPECT_EQ(d.Target.Info.Background, 0u);
}

TEST(PNGDecoder, GammaGoesThroughTheColourManager) {
    TTestImage img = MakeImage(4, 2, 2, 8);
    TDecoded d;
    ASSERT_NO_THROW(Decode(WritePNG(img, false, 1 << 20, [](Bytes& f) { PutPngChunk(f, "gAMA", {0, 1, 0x86, 0xA0}); }), d));
    EXPECT_DOUBLE_EQ(d.Props.FileGamma, 1.0);
    EXPECT_NE(d.Props.Options & ioUseGamma, 0u);
    auto g = [](unsigned v) { return unsigned(std::lround(std::pow(v / 255.0, 1 / 2.2) * 255)); };
    const unsigned* s = &img.Rows[1][3 * 3];
    EXPECT_EQ(PixelAt(d.Target, 3, 1), g(s[2]) | g(s[1]) << 8 | g(s[0]) << 16);
}

TEST(PNGDecoder, DataEndingMidImageLeavesZerosNotStaleBytes) {
    // Rows 0 and 1 complete, row 2 has one byte; the zlib stream is flushed
    // but never ended, so the row ends short without an error.
    Bytes raw = {0, 10, 20, 30, 40, 0, 50, 60, 70, 80, 0, 7};
    z_stream zs{};
    deflateInit(&zs, 9);
    Bytes out(256);
    zs.next_in = raw.data();
    zs.avail_in = static_cast<uInt>(raw.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_SYNC_FLUSH);
    out.resize(out.size() - zs.avail_out);
    deflateEnd(&zs);
    Bytes f = Signature();
    PutPngChunk(f, "IHDR", Ihdr(4, 3, 8, 0));
    PutPngChunk(f, "IDAT", out);
    PutPngChunk(f, "IEND", {});
    TDecoded d;
    ASSERT_NO_THROW(Decode(f, d));
    const Byte* row2 = d.Target.ScanLine(2);
    EXPECT_EQ(Bytes(row2, row2 + 4), (Bytes{7, 0, 0, 0}));
}

TEST(PNGDecoder, ReadImagePropertiesAndProgress) {
    TTestImage img = MakeImage(6, 5, 6, 16);
    Bytes f = Signature();
    f.insert(f.begin(), {'x', 'y'});   // the PNG starts at the stream's position
    Bytes png = WritePNG(img, true, 1 << 20, [](Bytes& out) { PutPngChunk(out, "gAMA", {0, 0, 0xB1, 0x8F}); });
    Bytes all = {'x', 'y'};
    all.insert(all.end(), png.begin(), png.end());
    TMemoryStream s;
    s.WriteBuffer(all.data(), static_cast<Integer>(all.size()));
    s.SetPosition(2);
    TPNGDecoder dec;
    std::vector<TPNGProgressStage> stages;
    std::vector<String> texts;
    dec.OnProgress = [&](TPNGProgressStage st, int, const String& m) { stages.push_back(st); if (!m.empty()) texts.push_back(m); };
    TPNGMemoryTarget t;
    ASSERT_NO_THROW(dec.LoadFromStream(s, t));
    const TImageProperties& p = dec.ImageProperties();
    EXPECT_EQ(p.Width, 6u);
    EXPECT_EQ(p.Height, 5u);
    EXPECT_EQ(p.ColorScheme, csRGBA);
    EXPECT_EQ(p.BitsPerSample, 16);
    EXPECT_TRUE(p.HasAlpha);
    EXPECT_TRUE(p.Interlaced);
    EXPECT_NEAR(p.FileGamma, 0.45455, 1e-9);
    EXPECT_EQ(p.Compression, TCompressionType::ctLZ77);
    ASSERT_GE(stages.size(), 3u);
    EXPECT_EQ(stages.front(), TPNGProgressStage::psStarting);
    EXPECT_EQ(stages.back(), TPNGProgressStage::psEnding);
    EXPECT_EQ(texts, (std::vector<String>{u"Preparing...", u"Transfering..."}));
}

TEST(LZ77Decoder, EndsQuietlyWhenDestroyedRunning) {
    Bytes z = Deflate(Bytes{1, 2, 3});
    TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
    d.DecodeInit();
    Byte out[3] = {};
    const Byte* in = z.data();
    Byte* o = out;
    d.Decode(in, o, static_cast<Cardinal>(z.size()), 3);
    EXPECT_EQ(d.ZLibResult(), Z_STREAM_END);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(o, out + 3);
    TLZ77Decoder running(Z_PARTIAL_FLUSH, true);
    running.DecodeInit();   // destroyed without DecodeEnd
}
