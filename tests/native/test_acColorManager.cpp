// Row conversion, gamma and palettes of TColorManager.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "acColorManager.h"

namespace {

std::string MessageOf(const std::function<void()>& f) {
    try { f(); } catch (const Exception& e) { return e.what(); }
    return "";
}

void SetLayout(TColorManager& cm, TColorScheme ss, int sbps, int sspp, TColorScheme ts, int tbps, int tspp) {
    cm.SetSourceColorScheme(ss); cm.SetSourceBitsPerSample(Byte(sbps)); cm.SetSourceSamplesPerPixel(Byte(sspp));
    cm.SetTargetColorScheme(ts); cm.SetTargetBitsPerSample(Byte(tbps)); cm.SetTargetSamplesPerPixel(Byte(tspp));
}

} // namespace

TEST(ColorManager, PixelFormatBySamplesAndDepth) {
    struct { int spp, bps; TacPixelFormat expected; } cases[] = {
        {1, 1, TacPixelFormat::pf1bit}, {1, 2, TacPixelFormat::pf4bit}, {1, 4, TacPixelFormat::pf4bit},
        {1, 8, TacPixelFormat::pf8bit}, {1, 16, TacPixelFormat::pf8bit}, {3, 4, TacPixelFormat::pf15bit},
        {3, 16, TacPixelFormat::pf24bit}, {4, 8, TacPixelFormat::pf32bit}, {4, 4, TacPixelFormat::pfCustom},
        {2, 8, TacPixelFormat::pfCustom},
    };
    for (auto& c : cases) {
        TColorManager cm;
        cm.SetTargetSamplesPerPixel(Byte(c.spp));
        cm.SetTargetBitsPerSample(Byte(c.bps));
        EXPECT_EQ(cm.GetPixelFormat(1), c.expected) << c.spp << " x " << c.bps;
    }
}

TEST(ColorManager, SettingErrorsKeepSettings) {
    TColorManager cm;
    EXPECT_EQ(MessageOf([&] { cm.SetSourceBitsPerSample(0); }), "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(MessageOf([&] { cm.SetTargetBitsPerSample(17); }), "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(MessageOf([&] { cm.SetTargetSamplesPerPixel(5); }), "Sample count per pixel does not correspond to the given color scheme.");
    EXPECT_EQ(cm.SourceBitsPerSample(), 8);
    EXPECT_EQ(cm.TargetSamplesPerPixel(), 3);

    Byte in[3] = {}, out[4] = {};
    SetLayout(cm, csRGB, 8, 3, csG, 8, 1);
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(in, out, 1, 0xFF); }), "Conversion between indexed and non-indexed pixel formats is not supported.");
    SetLayout(cm, csCMY, 8, 3, csBGR, 8, 3);
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(in, out, 1, 0xFF); }), "Color conversion failed. Could not find a proper method.");
    SetLayout(cm, csRGB, 8, 3, csBGRA, 8, 4);   // alpha from nowhere
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(in, out, 1, 0xFF); }), "Color conversion failed. Could not find a proper method.");
}

TEST(ColorManager, GammaTable) {
    TColorManager cm;
    cm.SetGamma(1, 1);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(cm.GammaTable()[i], i);
    cm.SetGamma(1, 2.2);
    EXPECT_EQ(cm.GammaTable()[128], std::lround(std::pow(128 / 255.0, 1 / 2.2) * 255));
    // A low-depth source with a 16-bit target stays within the 256 entries.
    SetLayout(cm, csG, 4, 1, csG, 16, 1);
    cm.SetGamma(1, 1);
    EXPECT_EQ(cm.GammaTable()[255], 255);
    EXPECT_EQ(cm.GammaTable()[0], 0);
}

TEST(ColorManager, RGBFamilyOrderDepthAlphaAndGamma) {
    TColorManager cm;
    // 16-bit RGBA in file byte order to BGRA.
    SetLayout(cm, csRGBA, 16, 4, csBGRA, 8, 4);
    cm.SetSourceOptions(coNeedByteSwap);
    const Byte in16[8] = {0xFF, 0xFF, 0x80, 0x80, 0x00, 0x10, 0x12, 0x34};
    Byte out[4] = {};
    cm.ConvertRow(in16, out, 1, 0xFF);
    EXPECT_EQ(out[0], 0x0010 * 255 / 65535);
    EXPECT_EQ(out[1], 0x8080 * 255 / 65535);
    EXPECT_EQ(out[2], 255);
    EXPECT_EQ(out[3], 0x1234 * 255 / 65535);
    // Alpha is dropped for a target without it; gamma reaches colour only.
    SetLayout(cm, csRGBA, 8, 4, csBGR, 8, 3);
    cm.SetSourceOptions(0);
    cm.SetGamma(1, 2.2);
    cm.SetTargetOptions(coApplyGamma);
    const Byte in8[8] = {10, 128, 250, 7, 1, 2, 3, 4};
    Byte out3[6] = {};
    cm.ConvertRow(in8, out3, 2, 0xFF);
    const Byte* g = cm.GammaTable();
    EXPECT_EQ(std::vector<Byte>(out3, out3 + 6), (std::vector<Byte>{g[250], g[128], g[10], g[3], g[2], g[1]}));
}

TEST(ColorManager, MaskWritesOnlyItsPixels) {
    TColorManager cm;
    SetLayout(cm, csG, 8, 1, csG, 8, 1);
    const Byte in[5] = {1, 2, 3, 4, 5};
    std::vector<Byte> out(10, 0xEE);
    cm.ConvertRow(in, out.data(), 10, 0xAA);
    EXPECT_EQ(out, (std::vector<Byte>{1, 0xEE, 2, 0xEE, 3, 0xEE, 4, 0xEE, 5, 0xEE}));
    // Packed pixels: pass mask 0x08 of a 1-bit row writes pixel 4 only.
    SetLayout(cm, csIndexed, 1, 1, csIndexed, 1, 1);
    const Byte one = 0x80;
    Byte packed[2] = {0x00, 0xFF};
    cm.ConvertRow(&one, packed, 16, 0x08);
    EXPECT_EQ(packed[0], 0x08);
    EXPECT_EQ(packed[1], 0xF7);   // pixel 12 cleared by the second source pixel (0)
}

TEST(ColorManager, LowDepthGreyIsScaledIndexesAreNot) {
    TColorManager cm;
    const Byte in = 0x1B;   // 2-bit samples 0, 1, 2, 3
    Byte out[2] = {};
    SetLayout(cm, csG, 2, 1, csG, 4, 1);
    cm.ConvertRow(&in, out, 4, 0xFF);
    EXPECT_EQ(out[0], 0x05);
    EXPECT_EQ(out[1], 0xAF);
    SetLayout(cm, csIndexed, 2, 1, csIndexed, 4, 1);
    cm.ConvertRow(&in, out, 4, 0xFF);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x23);
    // Grey plus alpha: the alpha sample is skipped; 16 bits are scaled.
    SetLayout(cm, csGA, 16, 1, csIndexed, 8, 1);
    cm.SetSourceOptions(coNeedByteSwap);
    const Byte ga[8] = {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80, 0xFF, 0xFF};
    cm.ConvertRow(ga, out, 2, 0xFF);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 0x8080 * 255 / 65535);
}

TEST(ColorManager, Palettes) {
    TColorManager cm;
    cm.SetTargetSamplesPerPixel(1);
    cm.SetTargetBitsPerSample(4);
    TacPalette grey = cm.CreateGrayscalePalette(false);
    ASSERT_EQ(grey.size(), 16u);
    EXPECT_EQ(grey[1], (TacPaletteEntry{17, 17, 17}));
    EXPECT_EQ(grey[15], (TacPaletteEntry{255, 255, 255}));
    EXPECT_EQ(cm.CreateGrayscalePalette(true)[0], (TacPaletteEntry{255, 255, 255}));
    cm.SetTargetBitsPerSample(16);   // never more than 256 entries
    EXPECT_EQ(cm.CreateGrayscalePalette(false).size(), 256u);

    const Byte rgb[6] = {1, 2, 3, 4, 5, 6};
    const void* data[1] = {rgb};
    EXPECT_EQ(cm.CreateColorPalette(data, 0, 2, false), (TacPalette{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(cm.CreateColorPalette(data, 0, 1, true), (TacPalette{{3, 2, 1}}));
    const Byte rgb16[6] = {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80};
    data[0] = rgb16;
    cm.SetSourceOptions(coNeedByteSwap);
    EXPECT_EQ(cm.CreateColorPalette(data, 4, 1, false), (TacPalette{{255, 0, Byte(0x8080 * 255 / 65535)}}));
    const Byte r[1] = {9}, gr[1] = {8}, b[1] = {7};
    const void* planes[3] = {r, gr, b};
    EXPECT_EQ(cm.CreateColorPalette(planes, 2, 1, false), (TacPalette{{9, 8, 7}}));
}

// ---- the other source schemes, as tables of single pixels ---------------------

namespace {

struct TPixelCase {
    const char* Name;
    TColorScheme Source;
    int SourceBits, SourceSamples;
    TConvertOptions Options;
    std::vector<Byte> In;
    TColorScheme Target;
    int TargetBits;
    std::vector<unsigned> Out;   // the target's samples, in its order
};

std::vector<unsigned> ConvertOne(const TPixelCase& c) {
    TColorManager cm;
    const int spp = (c.Target == csRGBA || c.Target == csBGRA) ? 4 : 3;
    SetLayout(cm, c.Source, c.SourceBits, c.SourceSamples, c.Target, c.TargetBits, spp);
    cm.SetSourceOptions(c.Options);
    std::vector<Byte> out(8, 0xEE);
    cm.ConvertRow(c.In.data(), out.data(), 1, 0xFF);
    std::vector<unsigned> samples;
    for (int k = 0; k < spp; ++k) {
        if (c.TargetBits == 16) {
            std::uint16_t v;
            std::memcpy(&v, out.data() + 2 * k, 2);
            samples.push_back(v);
        } else {
            samples.push_back(out[k]);
        }
    }
    return samples;
}

// 16-bit samples as the file holds them (high byte first), with the option
// that says this machine needs them swapped.
const TConvertOptions kBigEndian = std::endian::native == std::endian::little ? TConvertOptions(coNeedByteSwap) : 0;

} // namespace

TEST(ColorManager, CMYKYCbCrPhotoYCCAndLabToRGB) {
    const TPixelCase cases[] = {
        {"CMYK white", csCMYK, 8, 4, 0, {0, 0, 0, 0}, csRGB, 8, {255, 255, 255}},
        {"CMYK cyan", csCMYK, 8, 4, 0, {255, 0, 0, 0}, csRGB, 8, {0, 255, 255}},
        {"CMYK mixed, BGR order", csCMYK, 8, 4, 0, {128, 64, 0, 51}, csBGR, 8, {204, 152, 101}},
        {"CMYK full black", csCMYK, 8, 4, 0, {10, 200, 90, 255}, csRGB, 8, {0, 0, 0}},
        {"CMYK 16-bit", csCMYK, 16, 4, kBigEndian, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, csRGB, 8, {0, 255, 255}},
        {"CMYK opaque alpha", csCMYK, 8, 4, 0, {0, 0, 0, 0}, csBGRA, 8, {255, 255, 255, 255}},
        {"YCbCr grey", csYCbCr, 8, 3, 0, {128, 128, 128}, csRGB, 8, {128, 128, 128}},
        {"YCbCr red-ish", csYCbCr, 8, 3, 0, {100, 128, 200}, csRGB, 8, {201, 49, 100}},
        {"YCbCr clamped", csYCbCr, 8, 3, 0, {250, 128, 255}, csBGR, 8, {250, 159, 255}},
        {"YCbCr low", csYCbCr, 8, 3, 0, {30, 60, 90}, csRGB, 8, {0, 80, 0}},
        {"YCbCr alpha sample", csYCbCr, 8, 4, 0, {128, 128, 128, 77}, csRGBA, 8, {128, 128, 128, 77}},
        {"PhotoYCC neutral", csPhotoYCC, 8, 3, 0, {100, 156, 137}, csRGB, 8, {100, 100, 100}},
        {"PhotoYCC blue-ish", csPhotoYCC, 8, 3, 0, {100, 200, 137}, csRGB, 8, {100, 85, 178}},
        {"Lab white, signed", csCIELab, 8, 3, 0, {100, 0, 0}, csRGB, 8, {255, 255, 255}},
        {"Lab black", csCIELab, 8, 3, 0, {0, 0, 0}, csRGB, 8, {0, 0, 0}},
        {"Lab colour, signed", csCIELab, 8, 3, 0, {50, 40, 0xEC}, csRGB, 8, {99, 27, 81}},
        {"Lab byte range, offset", csCIELab, 8, 3, coLabByteRange | coLabChromaOffset, {200, 100, 200}, csBGR, 8, {10, 156, 120}},
        {"Lab white, 16-bit target", csCIELab, 8, 3, coLabByteRange | coLabChromaOffset, {255, 128, 128}, csRGB, 16, {65469, 65535, 65535}},
        {"Lab alpha sample", csCIELab, 8, 4, 0, {0, 0, 0, 9}, csBGRA, 8, {0, 0, 0, 9}},
    };
    for (const TPixelCase& c : cases) EXPECT_EQ(ConvertOne(c), c.Out) << c.Name;

    TColorManager cm;
    Byte in[8] = {}, out[8] = {};
    SetLayout(cm, csCMYK, 8, 3, csRGB, 8, 3);   // CMYK needs its four samples
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(in, out, 1, 0xFF); }), "Color conversion failed. Could not find a proper method.");
    SetLayout(cm, csCIELab, 16, 3, csRGB, 8, 3);
    EXPECT_EQ(MessageOf([&] { cm.ConvertRow(in, out, 1, 0xFF); }), "Color conversion failed. Could not find a proper method.");
}

TEST(ColorManager, SixteenBitIndexesAndGreyWithByteSwap) {
    struct { const char* name; TColorScheme scheme; int sb, tb; std::vector<Byte> in; std::vector<unsigned> out; } cases[] = {
        {"indexed 16 to 16", csIndexed, 16, 16, {0x12, 0x34, 0x00, 0x07}, {0x1234, 7}},
        {"indexed 16 to 8 keeps or limits", csIndexed, 16, 8, {0x01, 0x2C, 0x00, 0x07}, {255, 7}},
        {"indexed 8 to 16", csIndexed, 8, 16, {200, 3}, {200, 3}},
        {"grey 8 to 16", csG, 8, 16, {0x80, 0xFF}, {0x8080, 0xFFFF}},
        {"grey 16 to 16", csG, 16, 16, {0x12, 0x34, 0xAB, 0xCD}, {0x1234, 0xABCD}},
        {"grey 16 to 8", csG, 16, 8, {0x80, 0x80, 0x01, 0x01}, {0x80, 0x01}},
    };
    for (auto& c : cases) {
        TColorManager cm;
        SetLayout(cm, c.scheme, c.sb, 1, c.scheme == csG ? csG : csIndexed, c.tb, 1);
        cm.SetSourceOptions(kBigEndian);
        std::vector<Byte> out(4, 0);
        cm.ConvertRow(c.in.data(), out.data(), 2, 0xFF);
        std::vector<unsigned> got;
        for (int i = 0; i < 2; ++i) {
            std::uint16_t v;
            std::memcpy(&v, out.data() + 2 * i, 2);
            got.push_back(c.tb == 16 ? v : out[i]);
        }
        EXPECT_EQ(got, c.out) << c.name;
    }
}

TEST(ColorManager, EveryMaskShapeMatchesThePixelByPixelRule) {
    // Regular masks (all pixels, the Adam7 ones) and an irregular one, over
    // the converters with dedicated loops; 37 pixels leave a partial group.
    struct { TColorScheme ss; int sbps, sspp; TColorScheme ts; int tspp; TConvertOptions options; } layouts[] = {
        {csRGBA, 8, 4, csBGRA, 4, 0}, {csRGB, 8, 3, csBGR, 3, 0}, {csRGBA, 16, 4, csBGR, 3, kBigEndian},
        {csRGB, 8, 3, csRGB, 3, coApplyGamma}, {csG, 8, 1, csG, 1, 0}, {csGA, 8, 2, csIndexed, 1, 0},
    };
    const Cardinal count = 37;
    for (auto& l : layouts) {
        const int sourceBytes = l.sspp * l.sbps / 8;
        std::vector<Byte> in(count * sourceBytes);
        for (std::size_t i = 0; i < in.size(); ++i) in[i] = Byte(i * 7 + 3);
        for (Byte mask : {Byte(0xFF), Byte(0x80), Byte(0x08), Byte(0x88), Byte(0x22), Byte(0xAA), Byte(0x55), Byte(0xC1)}) {
            TColorManager cm;
            SetLayout(cm, l.ss, l.sbps, l.sspp, l.ts, 8, l.tspp);
            cm.SetSourceOptions(l.options & ~coApplyGamma);
            cm.SetTargetOptions(l.options & coApplyGamma);
            std::vector<Byte> out(count * l.tspp, 0xEE);
            cm.ConvertRow(in.data(), out.data(), count, mask);
            // Each written pixel is what converting its source alone gives.
            Cardinal s = 0;
            for (Cardinal i = 0; i < count; ++i) {
                std::vector<Byte> expected(l.tspp, 0xEE);
                if (mask & (0x80u >> (i % 8))) cm.ConvertRow(in.data() + s++ * sourceBytes, expected.data(), 1, 0xFF);
                ASSERT_EQ(std::vector<Byte>(out.begin() + i * l.tspp, out.begin() + (i + 1) * l.tspp), expected)
                    << "scheme " << l.ss << " mask " << int(mask) << " pixel " << i;
            }
        }
    }
    // A packed row copied whole keeps the bits after its last pixel.
    TColorManager cm;
    SetLayout(cm, csIndexed, 1, 1, csIndexed, 1, 1);
    const Byte zero = 0;
    Byte packed = 0xFF;
    cm.ConvertRow(&zero, &packed, 3, 0xFF);
    EXPECT_EQ(packed, 0x1F);
}
