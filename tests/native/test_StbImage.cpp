// The JPEG guard in front of stb_image: Huffman tables whose code counts add
// up to more than 256 symbols, and scans that use tables never defined, are
// refused before the decoder sees them.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>
#include "FuzzFindings.h"
#include "SkinImage.h"
#include "StbImage.h"
#include "SysUtils.h"
#include "acSkinImages.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A DHT segment of one table with the given number of symbols: codes of 8
// bits, the ones past 255 of 9 bits (a valid code for up to 510 symbols).
Bytes HuffmanSegment(int symbols) {
    Bytes s = {0xFF, 0xC4};
    const int length = 2 + 1 + 16 + symbols;
    s.push_back(static_cast<std::uint8_t>(length >> 8));
    s.push_back(static_cast<std::uint8_t>(length & 0xFF));
    s.push_back(0x10);   // AC table 0
    for (int bits = 1; bits <= 16; ++bits) {
        const int count = bits == 8 ? std::min(symbols, 255) : bits == 9 ? std::max(symbols - 255, 0) : 0;
        s.push_back(static_cast<std::uint8_t>(count));
    }
    s.insert(s.end(), static_cast<std::size_t>(symbols), std::uint8_t{1});
    return s;
}

// A real JPEG with Extra inserted just before its end marker, after the
// entropy-coded data, where a progressive image has its later tables.
Bytes JpegWithTail(const Bytes& Extra) {
    Bytes jpg = skingen::EncodeJPEG(skingen::Image(16, 8, 0xFF336699u), 80);
    jpg.insert(jpg.end() - 2, Extra.begin(), Extra.end());
    return jpg;
}

}  // namespace

TEST(StbImageGuard, HuffmanTablesAreCheckedWhereverTheyStand) {
    struct Case {
        const char* name;
        Bytes data;
        bool fits;
    } cases[] = {
        {"a JPEG of our encoder", JpegWithTail({}), true},
        {"a later table of 256 symbols", JpegWithTail(HuffmanSegment(256)), true},
        {"a later table of 257 symbols", JpegWithTail(HuffmanSegment(257)), false},
        {"counts of 1020 in a ten-byte file", {0xFF, 0xD8, 0xFF, 0xC4, 0xC4, 0xC4, 0x00, 0x18, 0x18, 0xEC}, false},
        // FF 00 is a stuffed zero inside entropy-coded data, not a marker.
        {"a stuffed zero before C4", {0xFF, 0xD8, 0x12, 0xFF, 0x00, 0xC4, 0xFF, 0xFF, 0xFF, 0xFF}, true},
        // The second table of one segment is too large.
        {"a second table too large", [] {
             Bytes first = HuffmanSegment(2), second = HuffmanSegment(300);
             Bytes s = {0xFF, 0xD8};
             const std::size_t length = 2 + (first.size() - 4) + (second.size() - 4);
             first[2] = static_cast<std::uint8_t>(length >> 8);
             first[3] = static_cast<std::uint8_t>(length & 0xFF);
             s.insert(s.end(), first.begin(), first.end());
             s.insert(s.end(), second.begin() + 4, second.end());
             return s;
         }(), false},
        {"a table cut off by the end of the data", {0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x00, 0x10, 0xFF}, true},
        {"no JPEG", {0x89, 'P', 'N', 'G', 0xFF, 0xC4, 0xFF, 0xFF}, true},
        {"nothing", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JpegHuffmanTablesFit(c.data.data(), c.data.size()), c.fits);
        if (c.data.size() < 2 || c.data[0] != 0xFF) continue;
        Integer w = 0, h = 0;
        if (!c.fits) {
            EXPECT_FALSE(ReadJPEGSize(c.data.data(), c.data.size(), w, h));
            try {
                DecodeJPEGImage(c.data.data(), c.data.size());
                ADD_FAILURE() << "decoded";
            } catch (const EInvalidGraphic& e) {
                EXPECT_EQ(e.Message(), u"Invalid JPEG image: bad DHT header");
            }
        }
    }
    // Guarded or not, a sound JPEG decodes.
    const Bytes jpg = JpegWithTail(HuffmanSegment(256));
    const TacImage32 image = DecodeJPEGImage(jpg.data(), jpg.size());
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Height(), 8);
}

// The decoded words are 0xAARRGGBB, opaque, for every pixel (13 x 5 leaves a
// tail after whole groups of eight).
TEST(StbImageGuard, JpegPixelsComeOutOpaqueInTheImageOrder) {
    const Bytes jpg = skingen::EncodeJPEG(skingen::Image(13, 5, 0xFF3366CCu), 95);
    const TacImage32 image = DecodeJPEGImage(jpg.data(), jpg.size());
    ASSERT_EQ(image.Width(), 13);
    ASSERT_EQ(image.Height(), 5);
    for (std::uint32_t p : image.Pixels()) {
        EXPECT_EQ(p >> 24, 0xFFu);
        EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 0x33, 3) << std::hex << p;
        EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 0x66, 3) << std::hex << p;
        EXPECT_NEAR(static_cast<int>(p & 0xFF), 0xCC, 3) << std::hex << p;
    }
}

namespace {

// A progressive frame of one component and one scan whose table byte,
// spectral start and approximation byte are given; no DHT segment at all.
Bytes ProgressiveScan(std::uint8_t Tables, std::uint8_t SpectralStart, std::uint8_t Approximation) {
    return {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00,
            0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, Tables, SpectralStart, 0x00, Approximation,
            0x00, 0x00, 0xFF, 0xD9};
}

}  // namespace

TEST(StbImageGuard, ScansMayUseOnlyDefinedTables) {
    // Our encoder's JPEG with its first scan component pointed at table slot
    // 3 of both classes, which no DHT segment defines.
    Bytes undefinedSlot = JpegWithTail({});
    for (std::size_t i = 2; i + 6 < undefinedSlot.size(); ++i) {
        if (undefinedSlot[i] == 0xFF && undefinedSlot[i + 1] == 0xDA) {
            undefinedSlot[i + 6] = 0x33;
            break;
        }
    }
    const struct {
        const char* name;
        Bytes data;
        const char* fault;
    } cases[] = {
        {"baseline scan with defined tables", JpegWithTail({}), nullptr},
        {"baseline scan with an undefined slot", undefinedSlot, "undefined Huffman table"},
        {"progressive first DC scan without a DC table", ProgressiveScan(0x00, 0, 0x00), "undefined Huffman table"},
        {"progressive DC refinement needs no table", ProgressiveScan(0x00, 0, 0x10), nullptr},
        {"progressive AC scan without an AC table", ProgressiveScan(0x00, 1, 0x00), "undefined Huffman table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* fault = JpegHuffmanFault(c.data.data(), c.data.size());
        EXPECT_EQ(fault ? std::string(fault) : std::string(), c.fault ? std::string(c.fault) : std::string());
        if (!c.fault) continue;
        try {
            DecodeJPEGImage(c.data.data(), c.data.size());
            ADD_FAILURE() << "decoded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), u"Invalid JPEG image: undefined Huffman table");
        }
    }
}

// Every committed finding of the picture readers' fuzz targets: once they
// drove the decoder into undefined behaviour (a JPEG scan that ends early
// ran the Huffman reader's bit count below zero). Under the sanitizers each
// must now decode to a whole picture or be refused as an invalid graphic.
TEST(StbImageGuard, CommittedFindingsDecodeOrAreRefused) {
    int replayed = 0;
    for (const FuzzFinding& finding : kFuzzFindings) {
        const std::string target = finding.Target;
        if (target != "acBMP" && target != "skinimages") continue;
        SCOPED_TRACE(finding.Name);
        ++replayed;
        Integer w = 0, h = 0;
        const bool sized = ReadJPEGSize(finding.Data, finding.Size, w, h);
        for (bool jpegReader : {true, false}) {
            try {
                const TacImage32 image = jpegReader ? DecodeJPEGImage(finding.Data, finding.Size)
                                                    : DecodeSkinImage(finding.Data, finding.Size);
                EXPECT_EQ(image.Pixels().size(), static_cast<std::size_t>(image.Width()) * image.Height());
                if (sized) {
                    EXPECT_EQ(image.Width(), w);
                    EXPECT_EQ(image.Height(), h);
                }
            } catch (const EInvalidGraphic& e) {
                EXPECT_FALSE(e.Message().empty());
            }
        }
    }
    EXPECT_GE(replayed, 1);
    // The JPEG of the bit-count fault is refused as the corrupt JPEG it is.
    const FuzzFinding* bits = FindFuzzFinding("acBMP", "jpeg-negative-code-bits.jpg");
    ASSERT_NE(bits, nullptr);
    try {
        DecodeJPEGImage(bits->Data, bits->Size);
        ADD_FAILURE() << "decoded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message().substr(0, 19), u"Invalid JPEG image:");
    }
}

namespace {

// Our encoder's PNG, with Edit applied to its bytes.
template <class F>
Bytes PngWith(F Edit) {
    Bytes png = skingen::EncodePNG(skingen::Image(7, 5, 0xFF336699u));
    Edit(png);
    return png;
}

}  // namespace

// A PNG's chunks must lie inside the data before the decoder sees it: it
// makes room for an image data chunk as large as the chunk claims before
// reading it. The committed finding is 243 bytes whose data chunk claims
// 1.5 GB; the decoder reserved that much and then found the data missing.
TEST(StbImageGuard, PngChunksMustLieInsideTheData) {
    const FuzzFinding* claim = FindFuzzFinding("picture", "png-idat-claims-1.5gb.png");
    ASSERT_NE(claim, nullptr);
    const std::size_t iend = 12;   // the end chunk: length, type and checksum
    // "cut inside the image data" loses the data chunk's checksum and three
    // bytes of its data.
    const struct {
        const char* name;
        Bytes data;
        const char* fault;
        bool decodes;
    } cases[] = {
        {"the finding", Bytes(claim->Data, claim->Data + claim->Size), "chunk runs past the end", false},
        {"a whole PNG", PngWith([](Bytes&) {}), nullptr, true},
        {"cut inside the image data", PngWith([&](Bytes& p) { p.resize(p.size() - iend - 7); }), "chunk runs past the end",
         false},
        {"without the end chunk", PngWith([&](Bytes& p) { p.resize(p.size() - iend); }), nullptr, false},
        {"bytes after the end chunk", PngWith([](Bytes& p) { p.insert(p.end(), {0x7F, 0xFF, 0xFF, 0xFF, 'I'}); }), nullptr,
         true},
        {"the end chunk's checksum missing", PngWith([](Bytes& p) { p.resize(p.size() - 4); }), nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* fault = PngChunkFault(c.data.data(), c.data.size());
        EXPECT_EQ(fault ? std::string(fault) : std::string(), c.fault ? std::string(c.fault) : std::string());
        int w = 0, h = 0, channels = 0;
        stbi_uc* pixels = StbLoadFromMemory(c.data.data(), static_cast<int>(c.data.size()), &w, &h, &channels, 4);
        EXPECT_EQ(pixels != nullptr, c.decodes);
        if (c.fault) {
            EXPECT_STREQ(stbi_failure_reason(), c.fault);
        }
        if (pixels) {
            EXPECT_EQ(w * 100 + h, 705);
        }
        stbi_image_free(pixels);
    }
}
