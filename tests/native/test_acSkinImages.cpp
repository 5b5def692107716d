// Skin images: the BMP reader (formats and bad files), the PNG and JPEG skin
// images, the image values of the skin ini, the image and pattern steps of a
// skin load (from a folder and from a packed skin), and hue and saturation.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "SysUtils.h"
#include "BmpDecoder.h"
#include "acFilters.h"
#include "acSkinImages.h"
#include "acSkinPack.h"
#include "acUtils.h"
#include "sStyleSimply.h"

#include "SkinImage.h"
#include "TestBytes.h"
#include "SkinModelCompare.h"

namespace {

using Bytes = std::vector<Byte>;
using Words = std::vector<std::uint32_t>;

using harness::Put16;
using harness::Put32;

// A BMP file: the headers are made from the fields, the pixel data is given
// as it is stored.
struct TBmp {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 1, Height = 1;
    std::uint32_t BitCount = 24, Compression = 0, ColorsUsed = 0;
    Words Palette;                 // 0x00RRGGBB
    std::vector<std::uint32_t> Masks;   // written after a 40-byte header, or inside a larger one
    Bytes Data;
    std::int64_t OffsetShift = 0;  // added to the pixel data offset

    Bytes File() const {
        Bytes h;
        if (HeaderSize == 12) {
            Put32(h, 12);
            Put16(h, std::uint32_t(Width));
            Put16(h, std::uint32_t(Height));
            Put16(h, 1);
            Put16(h, BitCount);
        } else {
            Put32(h, HeaderSize);
            Put32(h, std::uint32_t(Width));
            Put32(h, std::uint32_t(Height));
            Put16(h, 1);
            Put16(h, BitCount);
            Put32(h, Compression);
            Put32(h, std::uint32_t(Data.size()));
            Put32(h, 2835);
            Put32(h, 2835);
            Put32(h, ColorsUsed);
            Put32(h, 0);
            if (HeaderSize > 40) {
                for (std::size_t i = 0; i < 4; ++i) Put32(h, i < Masks.size() ? Masks[i] : 0);
                h.resize(HeaderSize, 0);
            } else {
                for (std::uint32_t m : Masks) Put32(h, m);
            }
        }
        for (std::uint32_t c : Palette) {
            h.push_back(Byte(c));
            h.push_back(Byte(c >> 8));
            h.push_back(Byte(c >> 16));
            if (HeaderSize != 12) h.push_back(0);
        }
        Bytes f{'B', 'M'};
        Put32(f, std::uint32_t(14 + h.size() + Data.size()));
        Put32(f, 0);
        Put32(f, std::uint32_t(14 + h.size() + OffsetShift));
        f.insert(f.end(), h.begin(), h.end());
        f.insert(f.end(), Data.begin(), Data.end());
        return f;
    }
};

// Rows of 24-bit pixels (0x00RRGGBB), top row first, stored bottom-up.
Bytes Rows24(int w, const Words& px, bool topDown = false) {
    const int h = static_cast<int>(px.size()) / w;
    Bytes d;
    for (int r = 0; r < h; ++r) {
        const int y = topDown ? r : h - 1 - r;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = px[static_cast<std::size_t>(y * w + x)];
            d.insert(d.end(), {Byte(c), Byte(c >> 8), Byte(c >> 16)});
        }
        while (d.size() % 4) d.push_back(0);
    }
    return d;
}

Bytes Bmp24(int w, const Words& px) {
    TBmp b;
    b.Width = w;
    b.Height = static_cast<int>(px.size()) / w;
    b.Data = Rows24(w, px);
    return b.File();
}

TacBMPImage Decode(const Bytes& f, std::uint64_t cap = acMaxImagePixels) { return DecodeBMP(f.data(), f.size(), cap); }

Words Opaque(Words rgb) {
    for (auto& c : rgb) c |= 0xFF000000u;
    return rgb;
}

// ---- BMP formats --------------------------------------------------------------

struct TBmpCase {
    const char* Name;
    TBmp Bmp;
    int Width, Height;
    Words Expected;
    bool HasAlpha;
};

std::vector<TBmpCase> BmpCases() {
    std::vector<TBmpCase> cases;
    const Words pal4 = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    {   // 1 bit, 3 x 2: rows padded to 4 bytes, bottom-up
        TBmp b;
        b.Width = 3, b.Height = 2, b.BitCount = 1, b.Palette = {0x102030, 0xFFFFFF};
        b.Data = {0b01000000, 0, 0, 0, 0b10100000, 0, 0, 0};
        cases.push_back({"1 bit", b, 3, 2, Opaque({0xFFFFFF, 0x102030, 0xFFFFFF, 0x102030, 0xFFFFFF, 0x102030}), false});
    }
    {   // 4 bits with a short palette; index 5 lies past it and reads black
        TBmp b;
        b.Width = 3, b.Height = 1, b.BitCount = 4, b.ColorsUsed = 4, b.Palette = pal4;
        b.Data = {0x12, 0x50, 0, 0};
        cases.push_back({"4 bits", b, 3, 1, Opaque({0xFF0000, 0x00FF00, 0x000000}), false});
    }
    {
        TBmp b;
        b.Width = 2, b.Height = 2, b.BitCount = 8, b.ColorsUsed = 4, b.Palette = pal4;
        b.Data = {3, 2, 0, 0, 1, 0, 0, 0};
        cases.push_back({"8 bits", b, 2, 2, Opaque({0xFF0000, 0x000000, 0x0000FF, 0x00FF00}), false});
    }
    {   // 5-5-5
        TBmp b;
        b.Width = 2, b.Height = 1, b.BitCount = 16;
        b.Data = {0x00, 0x7C, 0x1F, 0x00};
        cases.push_back({"16 bits 555", b, 2, 1, Opaque({0xFF0000, 0x0000FF}), false});
    }
    {   // 5-6-5 bit fields after an info header
        TBmp b;
        b.Width = 2, b.Height = 1, b.BitCount = 16, b.Compression = 3, b.Masks = {0xF800, 0x07E0, 0x001F};
        b.Data = {0xE0, 0x07, 0x10, 0x84};   // pure green; (16, 32, 16) of (31, 63, 31)
        cases.push_back({"16 bits 565", b, 2, 1, Opaque({0x00FF00, 0x848284}), false});
    }
    {
        TBmp b;
        b.Width = 3, b.Height = 2;
        b.Data = Rows24(3, {1, 2, 3, 4, 5, 6});
        cases.push_back({"24 bits bottom-up", b, 3, 2, Opaque({1, 2, 3, 4, 5, 6}), false});
    }
    {
        TBmp b;
        b.Width = 3, b.Height = -2;
        b.Data = Rows24(3, {1, 2, 3, 4, 5, 6}, true);
        cases.push_back({"24 bits top-down", b, 3, 2, Opaque({1, 2, 3, 4, 5, 6}), false});
    }
    {   // alpha bytes all 0: opaque
        TBmp b;
        b.Width = 2, b.Height = 1, b.BitCount = 32;
        b.Data = {1, 2, 3, 0, 4, 5, 6, 0};
        cases.push_back({"32 bits without alpha", b, 2, 1, Opaque({0x030201, 0x060504}), false});
    }
    {
        TBmp b;
        b.Width = 2, b.Height = 1, b.BitCount = 32;
        b.Data = {1, 2, 3, 0x80, 0xFF, 0, 0xFF, 0};
        cases.push_back({"32 bits with alpha", b, 2, 1, {0x80030201, 0x00FF00FF}, true});
    }
    {   // a V4 header with an alpha mask, bytes R G B A
        TBmp b;
        b.HeaderSize = 108, b.Width = 1, b.Height = 1, b.BitCount = 32, b.Compression = 3;
        b.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
        b.Data = {0x11, 0x22, 0x33, 0x44};
        cases.push_back({"32 bits V4 bit fields", b, 1, 1, {0x44112233}, true});
    }
    {   // an OS/2 core header: 3-byte palette entries
        TBmp b;
        b.HeaderSize = 12, b.Width = 2, b.Height = 1, b.BitCount = 8, b.Palette.assign(256, 0);
        b.Palette[7] = 0xABCDEF;
        b.Data = {7, 0, 0, 0};
        cases.push_back({"core header", b, 2, 1, Opaque({0xABCDEF, 0}), false});
    }
    {   // RLE8: a run cut at the row end, a line break, a move, a literal run
        TBmp b;
        b.Width = 3, b.Height = 3, b.BitCount = 8, b.Compression = 1, b.ColorsUsed = 4, b.Palette = pal4;
        b.Data = {5, 1,  0, 0,  0, 2, 1, 0,  0, 3, 2, 3, 1, 0,  0, 1};
        // bottom row: 1 1 1; middle: (skip) 2 3 (the third pixel is cut); top: untouched
        cases.push_back({"RLE8", b, 3, 3,
                         Opaque({0, 0, 0, 0, 0x00FF00, 0x0000FF, 0xFF0000, 0xFF0000, 0xFF0000}), false});
    }
    {   // RLE4: runs alternate two indexes; a literal run of 3
        TBmp b;
        b.Width = 4, b.Height = 2, b.BitCount = 4, b.Compression = 2, b.ColorsUsed = 4, b.Palette = pal4;
        b.Data = {3, 0x12,  0, 0,  0, 3, 0x32, 0x10,  0, 1};
        cases.push_back({"RLE4", b, 4, 2,
                         Opaque({0x0000FF, 0x00FF00, 0xFF0000, 0, 0xFF0000, 0x00FF00, 0xFF0000, 0}), false});
    }
    return cases;
}

TEST(acBMPDecoder, ReadsEveryFormat) {
    for (const TBmpCase& c : BmpCases()) {
        SCOPED_TRACE(c.Name);
        const TacBMPImage img = Decode(c.Bmp.File());
        EXPECT_EQ(img.Width, c.Width);
        EXPECT_EQ(img.Height, c.Height);
        EXPECT_EQ(img.Pixels, c.Expected);
        EXPECT_EQ(img.HasAlpha, c.HasAlpha);
    }
}

TEST(acBMPDecoder, RefusesBadFiles) {
    auto base = [] {
        TBmp b;
        b.Width = 2, b.Height = 2;
        b.Data = Rows24(2, {1, 2, 3, 4});
        return b;
    };
    struct TBad {
        const char* Name;
        Bytes File;
    };
    std::vector<TBad> bad;
    bad.push_back({"empty", {}});
    {
        Bytes f = base().File();
        f[0] = 'X';
        bad.push_back({"no signature", f});
    }
    auto with = [&](const char* name, auto change) {
        TBmp b = base();
        change(b);
        bad.push_back({name, b.File()});
    };
    with("header size 20", [](TBmp& b) { b.HeaderSize = 20; });
    with("width 0", [](TBmp& b) { b.Width = 0; });
    with("negative width", [](TBmp& b) { b.Width = -2; });
    with("height 0", [](TBmp& b) { b.Height = 0; });
    with("height INT_MIN", [](TBmp& b) { b.Height = INT32_MIN; });
    with("over the pixel cap", [](TBmp& b) { b.Width = 1 << 16, b.Height = 1 << 16; });
    with("bit count 7", [](TBmp& b) { b.BitCount = 7; });
    with("RLE8 at 24 bits", [](TBmp& b) { b.Compression = 1; });
    with("JPEG compression", [](TBmp& b) { b.Compression = 4; });
    with("bit fields at 24 bits", [](TBmp& b) { b.Compression = 3, b.Masks = {0xFF, 0xFF00, 0xFF0000}; });
    with("pixel data cut short", [](TBmp& b) { b.Data.resize(b.Data.size() - 4); });
    with("offset past the end", [](TBmp& b) { b.OffsetShift = 1000; });
    with("palette missing", [](TBmp& b) { b.BitCount = 8, b.Data.clear(); });
    with("RLE top-down", [](TBmp& b) {
        b.BitCount = 8, b.Compression = 1, b.Height = -2, b.Palette = {0, 1}, b.ColorsUsed = 2, b.Data = {0, 1};
    });
    with("RLE literal past the end", [](TBmp& b) {
        b.BitCount = 8, b.Compression = 1, b.Palette = {0, 1}, b.ColorsUsed = 2, b.Data = {0, 200, 1, 1};
    });
    for (const TBad& b : bad) {
        SCOPED_TRACE(b.Name);
        EXPECT_THROW(Decode(b.File), EInvalidGraphic);
    }
    // A cap of its own: 4 pixels pass a cap of 4, not of 3.
    EXPECT_NO_THROW(Decode(base().File(), 4));
    EXPECT_THROW(Decode(base().File(), 3), EInvalidGraphic);
}

TEST(acBMPDecoder, RunsAndMovesPastTheImageAreCut) {
    TBmp b;
    b.Width = 2, b.Height = 2, b.BitCount = 8, b.Compression = 1, b.ColorsUsed = 2, b.Palette = {0, 0xFFFFFF};
    // A run of 255 on a 2-pixel row, a literal run past the row, a move far
    // beyond the image, then more data that must be ignored.
    b.Data = {255, 1, 0, 0, 0, 4, 1, 1, 1, 1, 0, 2, 255, 255, 9, 1};
    const TacBMPImage img = Decode(b.File());
    EXPECT_EQ(img.Pixels, Opaque({0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
}

// ---- skin image decoders -------------------------------------------------------

TEST(acSkinImages, ImagesWithoutAlphaTurnFuchsiaIntoTheKey) {
    const Bytes f = Bmp24(3, {0xFF00FF, 0x123456, 0xFE00FF});
    const TacImage32 img = DecodeBMPImage(f.data(), f.size());
    EXPECT_EQ(img.Pixels(), (Words{kKeyPixel, 0xFF123456, 0xFFFE00FF}));

    // With alpha of its own the image is kept: opaque fuchsia is no key.
    TBmp b;
    b.Width = 2, b.BitCount = 32, b.Data = {0xFF, 0, 0xFF, 0xFF, 1, 2, 3, 0x40};
    const Bytes f32 = b.File();
    EXPECT_EQ(DecodeBMPImage(f32.data(), f32.size()).Pixels(), (Words{0xFFFF00FF, 0x40030201}));
}

TEST(acSkinImages, ImagesWhoseAlphaIsOpaqueEverywhereTurnFuchsiaIntoTheKey) {
    // Images with alpha, as other tools write them: fuchsia, a colour, and a
    // third pixel that is opaque, or half or wholly transparent.
    struct TCase {
        const char* Name;
        std::uint32_t Third;
        bool Png;
        Words Expected;
    };
    const TCase cases[] = {
        {"32-bit BMP, all opaque", 0xFF010203u, false, {kKeyPixel, 0xFF123456u, 0xFF010203u}},
        {"32-bit BMP, one pixel half transparent", 0x40010203u, false, {0xFFFF00FFu, 0xFF123456u, 0x40010203u}},
        {"RGBA PNG, all opaque", 0xFF010203u, true, {kKeyPixel, 0xFF123456u, 0xFF010203u}},
        {"RGBA PNG, one pixel transparent", 0x00010203u, true, {0xFFFF00FFu, 0xFF123456u, kKeyPixel}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        skingen::Image img(3, 1);
        img.At(0, 0) = 0xFFFF00FFu;
        img.At(1, 0) = 0xFF123456u;
        img.At(2, 0) = c.Third;
        const std::vector<std::uint8_t> file = c.Png ? skingen::EncodePNG(img) : skingen::EncodeBMP32(img);
        EXPECT_EQ(DecodeSkinImage(file.data(), file.size()).Pixels(), c.Expected);
    }
}

// A PNG file with 8-bit samples (colour type 2, 3 or 6), no filters.
Bytes Png(Cardinal w, Cardinal h, int type, const Bytes& samples, const Bytes& plte = {}, const Bytes& trns = {}) {
    using harness::Put32BE;
    Bytes file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&](const char* t, const Bytes& d) { harness::PutPngChunk(file, t, d); };
    Bytes ihdr;
    Put32BE(ihdr, w);
    Put32BE(ihdr, h);
    ihdr.insert(ihdr.end(), {8, Byte(type), 0, 0, 0});
    chunk("IHDR", ihdr);
    if (!plte.empty()) chunk("PLTE", plte);
    if (!trns.empty()) chunk("tRNS", trns);
    const std::size_t rowBytes = samples.size() / h;
    Bytes raw;
    for (Cardinal y = 0; y < h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), samples.begin() + long(y * rowBytes), samples.begin() + long((y + 1) * rowBytes));
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes z(size);
    compress(z.data(), &size, raw.data(), uLong(raw.size()));
    z.resize(size);
    chunk("IDAT", z);
    chunk("IEND", {});
    return file;
}

TEST(acSkinImages, PNGAlphaZeroIsTheKeyAndOtherPixelsKeepTheirAlpha) {
    struct TCase {
        const char* Name;
        Bytes File;
        Words Expected;
    };
    const TCase cases[] = {
        {"RGBA", Png(3, 1, 6, {10, 20, 30, 0, 10, 20, 30, 1, 255, 0, 255, 255}),
         {kKeyPixel, 0x010A141E, 0xFFFF00FF}},
        {"palette with tRNS", Png(2, 1, 3, {0, 1}, {1, 2, 3, 4, 5, 6}, {0, 128}), {kKeyPixel, 0x80040506}},
        {"RGB: fuchsia is the key", Png(2, 1, 2, {255, 0, 255, 1, 2, 3}), {kKeyPixel, 0xFF010203}},
        {"RGB with a transparent colour", Png(2, 1, 2, {1, 2, 3, 4, 5, 6}, {}, {0, 4, 0, 5, 0, 6}),
         {0xFF010203, kKeyPixel}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TacImage32 img = DecodeSkinImage(c.File.data(), c.File.size());
        EXPECT_EQ(img.Pixels(), c.Expected);
    }
    const Bytes broken = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    EXPECT_THROW(DecodeSkinImage(broken.data(), broken.size()), EInvalidGraphic);
    const Bytes unknown = {'G', 'I', 'F', '8'};
    EXPECT_THROW(DecodeSkinImage(unknown.data(), unknown.size()), EInvalidGraphic);
}

// A 4 x 1 glow: alpha 0, 64, 128 and 255 over one colour.
Bytes GradedPng() { return Png(4, 1, 6, {200, 100, 50, 0, 200, 100, 50, 64, 200, 100, 50, 128, 200, 100, 50, 255}); }

TEST(acSkinImages, GradedAlphaSurvivesByTheSkinsRule) {
    const Bytes file = GradedPng();
    // Older skins keep the stored colours; newer ones multiply them by alpha.
    EXPECT_EQ(DecodeSkinImage(file.data(), file.size(), TacAlphaRule::Older).Pixels(),
              (Words{kKeyPixel, 0x40C86432, 0x80C86432, 0xFFC86432}));
    EXPECT_EQ(DecodeSkinImage(file.data(), file.size(), TacAlphaRule::Newer).Pixels(),
              (Words{kKeyPixel, 0x4032190C, 0x80643219, 0xFFC86432}));
    EXPECT_EQ(AlphaRuleFor(7.45), TacAlphaRule::Older);
    EXPECT_EQ(AlphaRuleFor(7.0), TacAlphaRule::Older);
    EXPECT_EQ(AlphaRuleFor(7.46), TacAlphaRule::Newer);
    EXPECT_EQ(AlphaRuleFor(8.0), TacAlphaRule::Newer);
}

TEST(acAlphaPixels, HelpersOnBuffers) {
    auto run = [](Words px, int w, auto fn) {
        TacBits32 b{reinterpret_cast<std::uint8_t*>(px.data()), w, static_cast<int>(px.size()) / w,
                    static_cast<std::ptrdiff_t>(w) * 4};
        fn(b);
        return px;
    };
    // Transparent white becomes 0; white with any alpha stays.
    EXPECT_EQ(run({0x00FFFFFF, 0x01FFFFFF, 0x00FFFFFE}, 3, ClearTransparentWhite),
              (Words{0, 0x01FFFFFF, 0x00FFFFFE}));
    // byte * alpha div 255, truncated.
    EXPECT_EQ(run({0x80FF8001, 0xFF123456, 0x00FFFFFF}, 3, PremultiplyAlpha),
              (Words{0x80804000, 0xFF123456, 0}));
    // Alpha from the bottom-left key only when no pixel has alpha.
    EXPECT_EQ(run({0x00112233, 0x00FF00FF, 0x00FF00FF, 0x00445566}, 2,
                  [](const TacBits32& b) { EXPECT_TRUE(MakeAlphaFromKey(b)); }),
              (Words{0xFF112233, 0x00FF00FF, 0x00FF00FF, 0xFF445566}));
    EXPECT_EQ(run({0x00112233, 0x01FF00FF}, 2, [](const TacBits32& b) { EXPECT_FALSE(MakeAlphaFromKey(b)); }),
              (Words{0x00112233, 0x01FF00FF}));
    // Shadow templates: transparent (key words too) becomes 0, translucent is multiplied unless it was.
    EXPECT_EQ(run({kKeyPixel, 0x00123456, 0x80FF0000, 0xFF010203}, 4,
                  [](const TacBits32& b) { PrepareShadowAlpha(b, false); }),
              (Words{0, 0, 0x80800000, 0xFF010203}));
    EXPECT_EQ(run({kKeyPixel, 0x80FF0000}, 2, [](const TacBits32& b) { PrepareShadowAlpha(b, true); }),
              (Words{0, 0x80FF0000}));
    // Empty and invalid buffers are left alone.
    PremultiplyAlpha(TacBits32{});
    EXPECT_FALSE(MakeAlphaFromKey(TacBits32{}));
}

TEST(acSkinImages, ImageSizeCap) {
    EXPECT_THROW(TacImage32(1 << 13, 1 << 13), EOutOfMemory);
    EXPECT_TRUE(TacImage32(-5, 3).Empty());
}

// ---- image values ----------------------------------------------------------------

TEST(acSkinImages, ImageValueTable) {
    using F = TacImageForm;
    struct TCase {
        const char16_t* Value;
        double Version;
        F Form;
        TRect R;
        int Count, MaskType, ImgType, WL, WT, WR, WB, DrawMode, BorderWidth;
    };
    const TCase cases[] = {
        // "!": four fields leave the borders to the image; count 0 and mask type -1 are clamped
        {u"!a.BMP!2!1!0", 7.5, F::OwnImage, {}, 2, 1, 0, 0, 0, 0, 0, 1, 0},
        {u"!a.PNG!3!0!4!1!2!3!4!2", 7.5, F::OwnImage, {}, 3, 0, 4, 1, 2, 3, 4, 2, 0},
        {u"!a.BMP!0!-1!9", 7.5, F::OwnImage, {}, 1, 0, 4, 0, 0, 0, 0, 1, 0},
        {u"!a.BMP!x!y!z", 7.5, F::OwnImage, {}, 1, 0, 0, 0, 0, 0, 0, 1, 0},
        {u"!a.bmp!2!1", 7.5, F::None, {}, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        // "@": a glyph
        {u"@0010,0020,0030,0040,2,1", 7.5, F::MasterGlyph, {10, 20, 30, 40}, 2, 1, 2, 0, 0, 0, 0, 0, 0},
        {u"@0010,0020,0030,0040,0,0", 7.5, F::MasterGlyph, {10, 20, 30, 40}, 1, 0, 2, 0, 0, 0, 0, 0, 0},
        // "^": all borders from BorderWidth, or from the frame
        {u"^0000,0000,0060,0040,0000,0000,0000,0000,3,1,0,3", 7.5, F::MasterBorder, {0, 0, 60, 40}, 3, 1, 0, 3, 3, 3, 3, 0, 3},
        {u"^0000,0000,0060,0040,0000,0000,0000,0000,3,1,0,0", 7.5, F::MasterBorder, {0, 0, 60, 40}, 3, 1, 0, 6, 6, 6, 6, 0, 0},
        {u"^0000,0000,0060,0040,0001,0002,0003,0004,0,0,2,0", 7.5, F::MasterBorder, {0, 0, 60, 40}, 1, 0, 0, 1, 2, 3, 4, 2, 0},
        // below 7.4 a 1 x 1 centre cell sets bit 0 of the draw mode, others clear it
        {u"^0000,0000,0009,0006,0001,0001,0001,0001,3,1,0,0", 7.3, F::MasterBorder, {0, 0, 9, 6}, 3, 1, 0, 1, 1, 1, 1, 1, 0},
        {u"^0000,0000,0009,0006,0001,0001,0001,0001,3,1,0,0", 7.5, F::MasterBorder, {0, 0, 9, 6}, 3, 1, 0, 1, 1, 1, 1, 0, 0},
        {u"^0000,0000,0012,0006,0001,0001,0001,0001,3,1,3,0", 7.3, F::MasterBorder, {0, 0, 12, 6}, 3, 1, 0, 1, 1, 1, 1, 2, 0},
        // "~": the mask type only when the value is long enough
        {u"~0000,0000,0020,0020,01", 7.5, F::MasterTexture, {0, 0, 20, 20}, 1, 0, 1, 0, 0, 0, 0, 1, 0},
        {u"~0000,0000,0020,0020,02,1", 7.5, F::MasterTexture, {0, 0, 20, 20}, 1, 1, 1, 0, 0, 0, 0, 2, 0},
        // "#"
        {u"#(1,2,31,38)(3,1)", 7.5, F::MasterRect, {1, 2, 31, 38}, 3, 1, 0, 3, 6, 3, 6, 1, 0},
        {u"#(0,0,30,30)(0,-1,-2,2)", 7.5, F::MasterRect, {0, 0, 30, 30}, 1, 0, 0, 10, 10, 10, 10, 2, 0},
        {u"X#(0,0,30,30)(1,0,4)", 7.5, F::MasterRect, {0, 0, 30, 30}, 1, 0, 0, 4, 4, 4, 4, 1, 4},
        // blanks after the commas and inside the parentheses, as other tools write them
        {u"#(1, 2, 31, 38)(3, 1)", 7.5, F::MasterRect, {1, 2, 31, 38}, 3, 1, 0, 3, 6, 3, 6, 1, 0},
        {u"X# ( 0, 0, 30, 30 ) ( 1, 0, 4 )", 7.5, F::MasterRect, {0, 0, 30, 30}, 1, 0, 0, 4, 4, 4, 4, 1, 4},
        {u"#(0,\t0, 30,30) (2, 1, 0, 3)", 7.5, F::MasterRect, {0, 0, 30, 30}, 2, 1, 0, 5, 5, 5, 5, 3, 0},
        {u"#", 7.5, F::None, {}, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        // bitmap files
        {u"frame.bmp", 7.5, F::BitmapFile, {}, 3, 1, 0, 0, 0, 0, 0, 0, 0},
        {u"12345", 7.5, F::None, {}, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {u"", 7.5, F::None, {}, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Value));
        const TacImageValue v = ParseImageValue(c.Value, c.Version);
        ASSERT_EQ(v.Form, c.Form);
        if (c.Form == F::None) continue;
        const TsMaskData& m = v.Mask;
        EXPECT_EQ(m.R, c.R);
        EXPECT_EQ(m.ImageCount, c.Count);
        EXPECT_EQ(m.MaskType, c.MaskType);
        EXPECT_EQ(m.ImgType, c.ImgType);
        EXPECT_EQ((std::vector<int>{m.WL, m.WT, m.WR, m.WB}), (std::vector<int>{c.WL, c.WT, c.WR, c.WB}));
        EXPECT_EQ(m.DrawMode, c.DrawMode);
        EXPECT_EQ(m.BorderWidth, c.BorderWidth);
    }
    EXPECT_EQ(ParseImageValue(u"!sub\\a.BMP!1!0", 7.5).FileName, u"sub\\a.BMP");
}

TEST(acSkinImages, StrictFieldsThatAreNoNumbersFail) {
    const char16_t* const bad[] = {
        u"@00x0,0020,0030,0040,2,1",
        u"@0010",
        u"^0000,0000,0060,0040,0000,0000,0000,0000,3,1,x,0",
        u"^0000,0000,0060,0040",
        u"~0000,0000,0020,0020,zz",
        u"~0000,0000,0020,0020,01,q",
        u"#(0,0,1,1)(1,1,x)",
        u"#(0,0,1,1)(1,1,0,y)",
    };
    for (const char16_t* v : bad) {
        SCOPED_TRACE(StringToUtf8(v));
        EXPECT_THROW(ParseImageValue(v, 7.5), EConvertError);
    }
}

TEST(acSkinImages, CornerTypeScansTheFirstFrameCorners) {
    // Two frames of 4 x 4; fuchsia in the first frame's bottom-right corner.
    TacImage32 img(9, 5, 0xFF000000u);
    TsMaskData m;
    m.R = TRect(0, 0, 8, 4);
    m.ImageCount = 2;
    m.WL = m.WT = m.WR = m.WB = 1;
    EXPECT_EQ(MaskCornerType(m, img), 0);
    img.At(3, 3) = kKeyPixel;
    EXPECT_EQ(MaskCornerType(m, img), 1);
    img.At(3, 3) = 0xFF000000u;
    img.At(5, 0) = kKeyPixel;   // the second frame does not count
    EXPECT_EQ(MaskCornerType(m, img), 0);
    m.ClassName = u"BUTTON_HUGE";
    m.PropertyName = u"BORDERSMASK";
    EXPECT_EQ(MaskCornerType(m, img), 2);
    // A rectangle far outside the image reads nothing.
    TsMaskData far;
    far.R = TRect(1000, 1000, 2000, 2000);
    far.ImageCount = 1;
    far.WL = far.WT = far.WR = far.WB = 100;
    EXPECT_EQ(MaskCornerType(far, img), 0);
}

// ---- whole skins ------------------------------------------------------------------

namespace fs = std::filesystem;

struct TTempDir {
    fs::path Path;
    TTempDir() {
        Path = fs::temp_directory_path() /
               ("kes_skinimages_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    void Write(const std::string& name, const Bytes& data) const {
        std::ofstream f(Path / name, std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    String Folder() const { return Utf8ToString((Path.string() + "/")); }
};

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// A 24 x 12 master: grey, with fuchsia at (0, 0) and a red block at 16..23 x 0..7.
Bytes MasterBmp() {
    Words px(24 * 12, 0x808080);
    px[0] = 0xFF00FF;
    for (int y = 0; y < 8; ++y)
        for (int x = 16; x < 24; ++x) px[static_cast<std::size_t>(y * 24 + x)] = 0xFF0000;
    return Bmp24(24, px);
}

const char* const SkinIni =
    "[GLOBALINFO]\r\n"
    "VERSION=7.5\r\n"
    "MASTERBITMAP=master.bmp\r\n"
    "BIKEEPHUE=1\r\n"
    "BICONCLOSE=@0016,0000,0024,0008,1,0\r\n"
    "SHADOW1COLOR=255\r\n"
    "[BUTTON]\r\n"
    "COLOR=16711680\r\n"
    "BORDERSMASK=^0000,0000,0012,0006,0000,0000,0000,0000,2,0,0,0\r\n"
    "GLYPHMASK=@0000,0006,0008,0012,1,0\r\n"
    "PATTERN=~0000,0000,0008,0008,01\r\n"
    "OUTSIDE=^0020,0000,0060,0040,0001,0001,0001,0001,1,0,0,0\r\n"
    "GONE=@0100,0100,0200,0200,1,0\r\n"
    "[EDIT]\r\n"
    "BORDERSMASK=!edit.PNG!1!0\r\n"
    "HOTPATTERN=frame.bmp\r\n"
    "ZEROS=!edit.PNG!0!-1!0\r\n"
    "MISSING=!none.BMP!1!0\r\n"
    "TEXTURE=small.jpg\r\n";

struct TSkinFiles {
    std::vector<TacPackedEntry> Entries;
    void Add(const char* name, Bytes data) { Entries.push_back({AsciiToString(name), std::move(data)}); }
};

TSkinFiles TestSkin() {
    TSkinFiles s;
    s.Add("master.bmp", MasterBmp());
    s.Add("edit.PNG", Png(6, 3, 6, Bytes(6 * 3 * 4, 0x80)));
    s.Add("frame.bmp", Bmp24(9, Words(9 * 6, 0x00FF00)));
    // A tiny JPEG.
    s.Add("small.jpg", skingen::EncodeJPEG(skingen::Image(4, 4, 0xFF404040u), 50));
    return s;
}

TStringList IniLines(const char* text) {
    TStringList lines;
    lines.SetText(AsciiToString(text));
    return lines;
}


// Loads a skin from packed data made of the entries (with "Options.dat").
void LoadPacked(TacSkinModel& model, const TSkinFiles& files, const char* ini) {
    std::vector<TacPackedEntry> entries = files.Entries;
    entries.insert(entries.begin(), TacPackedEntry{u"Options.dat", Text(ini)});
    TacSkinConvertor* c = New<TacSkinConvertor>();
    c->PackedData = New<TMemoryStream>();
    WritePackedSkin(*c->PackedData, entries);
    c->PackedData->SetPosition(0);
    ExtractPackedData(c);
    ASSERT_TRUE(c && c->Options);
    TStringList lines;
    c->Options->SetPosition(0);
    lines.LoadFromStream(*c->Options);
    try {
        model.LoadSkin(lines, TacPackedSource(*c));
    } catch (...) {
        FreeAndNil(c);
        throw;
    }
    FreeAndNil(c);
}

const TsMaskData* FindMask(const TacSkinModel& m, StringView section, StringView prop) {
    for (const TsMaskData& d : m.ma)
        if (d.ClassName == section && d.PropertyName == prop) return &d;
    return nullptr;
}

TEST(acSkinImages, FolderAndPackedLoadsGiveTheSameModel) {
    const TTempDir dir;
    const TSkinFiles files = TestSkin();
    for (const TacPackedEntry& e : files.Entries) dir.Write(StringToUtf8(e.Name), e.Data);

    TacSkinModel folder;
    folder.LoadSkin(IniLines(SkinIni), TacFolderSource(dir.Folder()));
    TacSkinModel packed;
    LoadPacked(packed, files, SkinIni);
    ExpectSameSkinModels(folder, packed);

    // What the load made of the values.
    const TacSkinModel& m = folder;
    EXPECT_EQ(m.MasterBitmap->Width(), 24);
    EXPECT_EQ(m.MasterBitmap->At(0, 0), kKeyPixel);   // 24-bit fuchsia became the key
    EXPECT_EQ(m.MasterBitmap->At(1, 0), 0xFF808080u);
    const TsMaskData* border = FindMask(m, u"BUTTON", u"BORDERSMASK");
    ASSERT_TRUE(border);
    EXPECT_EQ(border->WL, 2);   // 12 div (2 * 3)
    EXPECT_EQ(border->CornerType, 1);   // the key pixel at (0, 0)
    const TsMaskData* outside = FindMask(m, u"BUTTON", u"OUTSIDE");
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->R, TRect(20, 0, 24, 12));   // cut to the master
    EXPECT_FALSE(FindMask(m, u"BUTTON", u"GONE"));   // wholly outside: dropped
    EXPECT_FALSE(FindMask(m, u"EDIT", u"MISSING"));
    const TsMaskData* edit = FindMask(m, u"EDIT", u"BORDERSMASK");
    ASSERT_TRUE(edit && edit->Bmp);
    EXPECT_EQ(edit->R, TRect(0, 0, 6, 3));
    EXPECT_EQ(edit->WL, 2);
    EXPECT_EQ(edit->WT, 1);
    EXPECT_EQ(edit->Bmp->At(0, 0), 0x80404040u);   // grey at half alpha, multiplied in (version 7.5)
    const TsMaskData* zeros = FindMask(m, u"EDIT", u"ZEROS");
    ASSERT_TRUE(zeros);
    EXPECT_EQ(zeros->ImageCount, 1);
    EXPECT_EQ(zeros->MaskType, 0);
    EXPECT_EQ(zeros->WL, 2);
    const TsMaskData* frame = FindMask(m, u"EDIT", u"HOTPATTERN");
    ASSERT_TRUE(frame && frame->Bmp);
    EXPECT_EQ(frame->WL, 1);   // 9 div 9
    EXPECT_EQ(frame->WT, 1);   // 6 div 6
    const TsMaskData* tex = FindMask(m, u"EDIT", u"TEXTURE");
    ASSERT_TRUE(tex && tex->Bmp);
    EXPECT_EQ(tex->ImgType, itisaTexture);
    EXPECT_EQ(tex->R, TRect(0, 0, 4, 4));
    const Integer button = m.GetSkinIndex(u"BUTTON");
    ASSERT_GE(button, 0);
    EXPECT_GE(m.gd[static_cast<std::size_t>(button)].BorderIndex, 0);
    EXPECT_GE(m.gd[static_cast<std::size_t>(button)].TextureNormal, 0);
}

TEST(acSkinImages, CommonSectionsAddBitmapsAndRectangles) {
    const TTempDir dir;
    const TSkinFiles files = TestSkin();
    for (const TacPackedEntry& e : files.Entries) dir.Write(StringToUtf8(e.Name), e.Data);
    TacSkinModel m;
    m.CommonSections.SetText(u"[MyPanel]\r\nBordersMask=frame.bmp\r\nGlyph=#(0,0,12,6)(2,0,1)\r\n"
                             u"[GLOBALINFO]\r\nX=frame.bmp\r\n");
    m.LoadSkin(IniLines(SkinIni), TacFolderSource(dir.Folder()));
    const TsMaskData* bmp = FindMask(m, u"MYPANEL", u"BORDERSMASK");
    ASSERT_TRUE(bmp && bmp->Bmp);
    EXPECT_EQ(bmp->ImageCount, 3);
    const TsMaskData* rect = FindMask(m, u"MYPANEL", u"GLYPH");
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->R, TRect(0, 0, 12, 6));
    EXPECT_EQ(rect->WL, 1);
    EXPECT_FALSE(FindMask(m, u"GLOBALINFO", u"X"));
}

TEST(acSkinImages, BrokenSkinsFailTheLoad) {
    const TTempDir dir;
    dir.Write("master.bmp", Text("BM not really"));
    dir.Write("OWN.PNG", Text("\x89PNG but broken"));
    dir.Write("paper.jpg", Text("not a JPEG"));
    // Each error names the section and key, and the file where there is one.
    struct Case {
        const char* ini;
        const char* className;
        const char16_t* start;
    };
    const Case cases[] = {
        {"[GLOBALINFO]\r\nMASTERBITMAP=master.bmp\r\n", "EInvalidGraphic",
         u"Skin section \"GLOBALINFO\" key MASTERBITMAP: Skin image \"master.bmp\": "},
        {"[A]\r\nX=@0000,00x0,0010,0010,1,0\r\n", "EConvertError",
         u"Skin section \"A\" key X: Image value \"@0000,00x0,0010,0010,1,0\": '00x0' at position 7 is not a valid "
         u"integer value"},
        {"[A]\r\n[Button]\r\nGlyph=!OWN.PNG!1!0\r\n", "EInvalidGraphic",
         u"Skin section \"Button\" key Glyph: Skin image \"OWN.PNG\": "},
        {"[FORM]\r\nPATTERN=paper.jpg\r\n", "EInvalidGraphic",
         u"Skin section \"FORM\" key PATTERN: Skin image \"paper.jpg\" is not a valid JPEG image"},
        // A text that gives no section is refused before any image is read.
        {"", "EacSkinError", u"The skin's option text (Options.dat) holds no section"},
        {"MASTERBITMAP=master.bmp\r\n", "EacSkinError", u"The skin's option text (Options.dat) holds no section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        TacSkinModel m;
        try {
            m.LoadSkin(IniLines(c.ini), TacFolderSource(dir.Folder()));
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(StringToUtf8(e.ClassName()), c.className);
            EXPECT_EQ(e.Message().rfind(c.start, 0), 0u) << e.what();
        }
    }
    // A skin without its master keeps an empty one and drops its masks.
    TacSkinModel empty;
    empty.LoadSkin(IniLines("[GLOBALINFO]\r\nMASTERBITMAP=gone.bmp\r\n[A]\r\nX=@0000,0000,0010,0010,1,0\r\n"),
                   TacFolderSource(dir.Folder()));
    ASSERT_TRUE(empty.MasterBitmap);
    EXPECT_TRUE(empty.MasterBitmap->Empty());
    EXPECT_TRUE(empty.ma.empty());
}

TEST(acSkinImages, BitmapsWithoutPixelsAddNothing) {
    // Bitmaps of width 0 and of height 0, as some tools write them, beside a
    // good one: the skin loads, and only the empty ones are missing.
    const TTempDir dir;
    for (const auto& [name, w, h] : {std::tuple{"NOWIDTH.BMP", 0, 4}, std::tuple{"noheight.bmp", 4, 0}}) {
        TBmp b;
        b.Width = w, b.Height = h;
        dir.Write(name, b.File());
    }
    dir.Write("frame.bmp", Bmp24(9, Words(9 * 6, 0x00FF00)));
    TacSkinModel m;
    ASSERT_NO_THROW(m.LoadSkin(IniLines("[GLOBALINFO]\r\nMASTERBITMAP=NOWIDTH.BMP\r\n"
                                        "[EDIT]\r\nA=!NOWIDTH.BMP!1!0\r\nB=noheight.bmp\r\nC=frame.bmp\r\n"),
                               TacFolderSource(dir.Folder())));
    EXPECT_TRUE(m.MasterBitmap && m.MasterBitmap->Empty());
    EXPECT_FALSE(FindMask(m, u"EDIT", u"A"));
    EXPECT_FALSE(FindMask(m, u"EDIT", u"B"));
    EXPECT_TRUE(FindMask(m, u"EDIT", u"C"));
}

TEST(acSkinImages, LargeJPEGsStayPatterns) {
    const TTempDir dir;
    for (const auto& [name, h] : {std::pair{"big.jpg", 900}, std::pair{"below.JPG", 899}}) {
        const std::vector<std::uint8_t> jpg = skingen::EncodeJPEG(skingen::Image(1000, h, 0xFF707070u), 10);
        dir.Write(name, Bytes(jpg.begin(), jpg.end()));
    }
    TacSkinModel m;
    m.LoadSkin(IniLines("[Form]\r\nPattern=big.jpg\r\nHotPattern=below.JPG\r\n"), TacFolderSource(dir.Folder()));
    ASSERT_EQ(m.pa.size(), 1u);
    EXPECT_EQ(m.pa[0].ClassName, u"FORM");
    EXPECT_EQ(m.pa[0].PropertyName, u"PATTERN");
    EXPECT_EQ(m.pa[0].Img->Width, 1000);
    EXPECT_EQ(m.pa[0].Img->Height, 900);
    const TacImage32 decoded = m.pa[0].Img->Decode();
    EXPECT_EQ(decoded.Height(), 900);
    EXPECT_EQ(decoded.At(5, 5) >> 24, 0xFFu);
    const TsMaskData* tex = FindMask(m, u"FORM", u"HOTPATTERN");
    ASSERT_TRUE(tex && tex->Bmp);
    EXPECT_EQ(tex->R, TRect(0, 0, 1000, 899));
    EXPECT_EQ(tex->ImgType, itisaTexture);
    EXPECT_EQ(m.GetPatternIndex(m.GetSkinIndex(u"Form"), u"Form", u"PATTERN"), -1);   // names are upper-cased
}

// ---- hue and saturation ----------------------------------------------------------

TEST(acSkinImages, HueAndSaturationReachImagesAndColours) {
    const TTempDir dir;
    const TSkinFiles files = TestSkin();
    for (const TacPackedEntry& e : files.Entries) dir.Write(StringToUtf8(e.Name), e.Data);
    TacSkinModel plain;
    plain.LoadSkin(IniLines(SkinIni), TacFolderSource(dir.Folder()));

    TacSkinModel hue;
    hue.HueOffset = 120;
    hue.LoadSkin(IniLines(SkinIni), TacFolderSource(dir.Folder()));
    const auto& button = hue.gd[static_cast<std::size_t>(hue.GetSkinIndex(u"BUTTON"))];
    EXPECT_EQ(button.Color, RotateColorHue(120, 0xFF0000));
    EXPECT_EQ(button.Props[0].Color, button.Color);
    EXPECT_EQ(button.FontColor.Left, -1);   // "none" stays
    EXPECT_EQ(hue.SkinData->Shadow1Color, RotateColorHue(120, 255));
    // The close button (red block) keeps its hue; the key and grey stay.
    EXPECT_EQ(hue.MasterBitmap->At(20, 4), 0xFFFF0000u);
    EXPECT_EQ(hue.MasterBitmap->At(0, 0), kKeyPixel);
    EXPECT_EQ(hue.MasterBitmap->At(1, 1), 0xFF808080u);

    // Without BIKEEPHUE the block turns; own bitmaps turn as well.
    const std::string ini = std::string(SkinIni).replace(std::string(SkinIni).find("BIKEEPHUE=1"), 11, "BIKEEPHUE=0");
    TacSkinModel all;
    all.HueOffset = 120;
    all.LoadSkin(IniLines(ini.c_str()), TacFolderSource(dir.Folder()));
    EXPECT_EQ(all.MasterBitmap->At(20, 4), 0xFF00FF00u);
    EXPECT_EQ(FindMask(all, u"EDIT", u"HOTPATTERN")->Bmp->At(0, 0), 0xFF0000FFu);

    TacSkinModel sat;
    sat.Saturation = 101 + 50;   // taken modulo 101
    sat.LoadSkin(IniLines(SkinIni), TacFolderSource(dir.Folder()));
    const auto& sb = sat.gd[static_cast<std::size_t>(sat.GetSkinIndex(u"BUTTON"))];
    EXPECT_EQ(sb.Color, SaturateColor(0xFF0000, 50));
    EXPECT_EQ(SaturateRGB(100, 0x6496C8), 0x3296FA);   // (100, 150, 200) -> (50, 150, 250)
    EXPECT_EQ(*FindMask(plain, u"EDIT", u"BORDERSMASK")->Bmp, *FindMask(sat, u"EDIT", u"BORDERSMASK")->Bmp);   // grey
}

TEST(acSkinImages, LoaderChoosesTheAlphaRuleByVersion) {
    for (const char* version : {"7.45", "7.5"}) {
        SCOPED_TRACE(version);
        TacSkinModel model;
        TSkinFiles files;
        files.Add("glow.PNG", GradedPng());
        const std::string ini = std::string("[GLOBALINFO]\r\nVERSION=") + version +
                                "\r\n[BUTTON]\r\nGLOW0=!glow.PNG!1!0!3!1!0!1!0\r\n";
        LoadPacked(model, files, ini.c_str());
        const TsMaskData* m = FindMask(model, u"BUTTON", u"GLOW0");
        ASSERT_NE(m, nullptr);
        ASSERT_TRUE(m->Bmp);
        const TacAlphaRule rule = std::string(version) == "7.45" ? TacAlphaRule::Older : TacAlphaRule::Newer;
        EXPECT_EQ(m->Bmp->Pixels(), DecodeSkinImage(GradedPng().data(), GradedPng().size(), rule).Pixels());
        EXPECT_EQ(m->Bmp->At(1, 0) >> 24, 64u);   // translucent, not turned solid
    }
}

}  // namespace
