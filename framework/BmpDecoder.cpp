#include "BmpDecoder.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr std::uint32_t kBlack = 0xFF000000u;

[[noreturn]] void Fail(const char16_t* Why) { throw EInvalidGraphic(String(u"Bitmap image is not valid: ") + Why); }

// Bounds-checked little-endian reads.
class TCursor {
public:
    TCursor(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}
    bool Has(std::uint64_t Offset, std::uint64_t Count) const { return Offset <= FSize && Count <= FSize - Offset; }
    std::uint32_t U8(std::uint64_t Offset) const { return Need(Offset, 1)[0]; }
    std::uint32_t U16(std::uint64_t Offset) const {
        const std::uint8_t* p = Need(Offset, 2);
        return p[0] | std::uint32_t{p[1]} << 8;
    }
    std::uint32_t U32(std::uint64_t Offset) const {
        const std::uint8_t* p = Need(Offset, 4);
        return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    }
    std::int32_t I32(std::uint64_t Offset) const { return static_cast<std::int32_t>(U32(Offset)); }
    const std::uint8_t* Need(std::uint64_t Offset, std::uint64_t Count) const {
        if (!Has(Offset, Count)) Fail(u"the file is truncated");
        return FData + Offset;
    }
    std::size_t Size() const { return FSize; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
};

// One channel of a bit-field pixel, scaled to 0..255.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint64_t Max = 0;

    explicit TChannel(std::uint32_t mask = 0) : Mask(mask) {
        if (!mask) return;
        Shift = std::countr_zero(mask);
        Max = mask >> Shift;
    }
    std::uint32_t Get(std::uint32_t Pixel) const {
        if (!Max) return 0;
        const std::uint64_t v = (Pixel & Mask) >> Shift;
        return static_cast<std::uint32_t>((v * 255 + Max / 2) / Max);
    }
};

struct THeader {
    std::uint32_t HeaderSize = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0;   // negative: rows top-down
    std::uint32_t BitCount = 0;
    std::uint32_t Planes = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t ColorsUsed = 0;
    std::uint32_t Masks[4] = {0, 0, 0, 0};   // red, green, blue, alpha
    bool HaveMasks = false;
    bool Core = false;
};

// The palette as opaque pixel words; an index past its end reads black.
struct TPalette {
    std::vector<std::uint32_t> Colors;
    std::uint32_t operator[](std::uint32_t Index) const { return Index < Colors.size() ? Colors[Index] : kBlack; }
};

THeader ReadHeader(const TCursor& c, std::uint64_t& After) {
    THeader h;
    h.HeaderSize = c.U32(14);
    if (h.HeaderSize == 12) {
        h.Core = true;
        h.Width = c.U16(18);
        h.Height = c.U16(20);
        h.Planes = c.U16(22);
        h.BitCount = c.U16(24);
    } else if (h.HeaderSize >= 40 && h.HeaderSize <= 1024) {
        c.Need(14, h.HeaderSize);
        h.Width = c.I32(18);
        h.Height = c.I32(22);
        h.Planes = c.U16(26);
        h.BitCount = c.U16(28);
        h.Compression = c.U32(30);
        h.ColorsUsed = c.U32(46);
        if (h.HeaderSize >= 52) {
            for (int i = 0; i < 3; ++i) h.Masks[i] = c.U32(54 + 4 * static_cast<std::uint64_t>(i));
            h.HaveMasks = true;
        }
        if (h.HeaderSize >= 56) h.Masks[3] = c.U32(66);
    } else {
        Fail(u"unknown header size");
    }
    After = 14 + std::uint64_t{h.HeaderSize};
    // An info header keeps its masks after it.
    if (h.HeaderSize == 40 && (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS)) {
        const int n = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
        for (int i = 0; i < n; ++i) h.Masks[i] = c.U32(After + 4 * static_cast<std::uint64_t>(i));
        After += 4 * static_cast<std::uint64_t>(n);
        h.HaveMasks = true;
    }
    return h;
}

void CheckFormat(const THeader& h) {
    switch (h.Compression) {
    case BI_RGB:
        if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 && h.BitCount != 24 &&
            h.BitCount != 32)
            Fail(u"unsupported bit count");
        break;
    case BI_RLE8:
        if (h.BitCount != 8) Fail(u"RLE8 needs 8 bits per pixel");
        break;
    case BI_RLE4:
        if (h.BitCount != 4) Fail(u"RLE4 needs 4 bits per pixel");
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32) Fail(u"bit fields need 16 or 32 bits per pixel");
        break;
    default: Fail(u"unsupported compression");
    }
}

TPalette ReadPalette(const TCursor& c, const THeader& h, std::uint64_t Start) {
    TPalette pal;
    if (h.BitCount > 8) return pal;
    const std::uint32_t full = 1u << h.BitCount;
    const std::uint32_t count = h.ColorsUsed == 0 || h.ColorsUsed > full ? full : h.ColorsUsed;
    const std::uint64_t entry = h.Core ? 3 : 4;
    const std::uint8_t* p = c.Need(Start, count * entry);
    pal.Colors.resize(count);
    for (std::uint32_t i = 0; i < count; ++i, p += entry)
        pal.Colors[i] = kBlack | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    return pal;
}

void DecodeRows(const TCursor& c, const THeader& h, const TPalette& pal, std::uint64_t Offset, TacBMPImage& img) {
    const int w = img.Width, ht = img.Height;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(w) * h.BitCount + 7) / 8;
    const std::uint64_t stride = (static_cast<std::uint64_t>(w) * h.BitCount + 31) / 32 * 4;
    // The last row may come without its padding.
    if (!c.Has(Offset, stride * static_cast<std::uint64_t>(ht - 1) + rowBytes)) Fail(u"the pixel data is cut short");

    std::uint32_t masks[4] = {h.Masks[0], h.Masks[1], h.Masks[2], h.Masks[3]};
    if (h.Compression == BI_RGB && h.BitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F, masks[3] = 0;
    } else if (h.Compression == BI_RGB && h.BitCount == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF, masks[3] = 0xFF000000;
    } else if (h.Compression == BI_RGB) {
        masks[3] = 0;
    }
    const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const bool withAlpha = masks[3] != 0 && h.BitCount == 32;

    for (int row = 0; row < ht; ++row) {
        const std::uint8_t* src = c.Need(Offset + stride * static_cast<std::uint64_t>(row), rowBytes);
        const int y = h.Height < 0 ? row : ht - 1 - row;
        std::uint32_t* dst = img.Pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        switch (h.BitCount) {
        case 1:
        case 4:
        case 8: {
            const unsigned bits = h.BitCount, perByte = 8 / bits, mask = (1u << bits) - 1;
            for (int x = 0; x < w; ++x) {
                const unsigned shift = 8 - bits * (static_cast<unsigned>(x) % perByte + 1);
                dst[x] = pal[(src[static_cast<unsigned>(x) / perByte] >> shift) & mask];
            }
            break;
        }
        case 24:
            for (int x = 0; x < w; ++x, src += 3)
                dst[x] = kBlack | std::uint32_t{src[2]} << 16 | std::uint32_t{src[1]} << 8 | src[0];
            break;
        default: {   // 16 and 32 bits through the masks
            const unsigned bytes = h.BitCount / 8;
            for (int x = 0; x < w; ++x, src += bytes) {
                std::uint32_t v = src[0] | std::uint32_t{src[1]} << 8;
                if (bytes == 4) v |= std::uint32_t{src[2]} << 16 | std::uint32_t{src[3]} << 24;
                const std::uint32_t a = withAlpha ? alpha.Get(v) : 255;
                dst[x] = a << 24 | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
            }
        }
        }
    }
    if (withAlpha) {
        img.HasAlpha = std::any_of(img.Pixels.begin(), img.Pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
        if (!img.HasAlpha)
            for (std::uint32_t& p : img.Pixels) p |= kBlack;
    }
}

// Run-length coded rows (always bottom-up). Runs past the end of a row are
// cut; a move or line break past the last row ends the image.
void DecodeRLE(const TCursor& c, const THeader& h, const TPalette& pal, std::uint64_t Offset, TacBMPImage& img) {
    const bool four = h.Compression == BI_RLE4;
    const std::int64_t w = img.Width, ht = img.Height;
    std::int64_t x = 0, y = 0;   // y counts from the bottom row
    std::uint64_t p = Offset;
    auto put = [&](std::uint32_t index) {
        if (x < w && y < ht)
            img.Pixels[static_cast<std::size_t>((ht - 1 - y) * w + x)] = pal[index];
        ++x;
    };
    while (y < ht) {
        if (!c.Has(p, 2)) break;   // the data ends without its end mark
        const std::uint32_t count = c.U8(p), value = c.U8(p + 1);
        p += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count && x < w; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            continue;
        }
        if (value == 0) {   // end of line
            x = 0;
            ++y;
        } else if (value == 1) {   // end of bitmap
            break;
        } else if (value == 2) {   // move
            const std::uint8_t* d = c.Need(p, 2);
            x += d[0];
            y += d[1];
            p += 2;
        } else {   // a literal run, padded to a 16-bit boundary
            const std::uint64_t bytes = four ? (value + 1) / 2 : value;
            const std::uint8_t* d = c.Need(p, bytes);
            for (std::uint32_t i = 0; i < value && x < w; ++i)
                put(four ? (i % 2 == 0 ? d[i / 2] >> 4 : d[i / 2] & 15) : d[i]);
            p += (bytes + 1) & ~std::uint64_t{1};
        }
    }
}

}  // namespace

bool BMPHasNoPixels(const std::uint8_t* Data, std::size_t Size) {
    const TCursor c(Data, Size);
    if (!c.Has(0, 18) || Data[0] != 'B' || Data[1] != 'M') return false;
    std::uint64_t after = 0;
    const THeader h = ReadHeader(c, after);
    return h.Width == 0 || h.Height == 0;
}

TacBMPImage DecodeBMP(const std::uint8_t* Data, std::size_t Size, std::uint64_t MaxPixels) {
    const TCursor c(Data, Size);
    if (!c.Has(0, 18) || Data[0] != 'B' || Data[1] != 'M') Fail(u"no BMP file header");
    const std::uint64_t offBits = c.U32(10);
    std::uint64_t after = 0;
    const THeader h = ReadHeader(c, after);
    CheckFormat(h);
    if (h.Width <= 0 || h.Height == 0) Fail(u"the image has no pixels");
    if ((h.Compression == BI_RLE8 || h.Compression == BI_RLE4) && h.Height < 0)
        Fail(u"a run-length coded image cannot be stored top-down");
    const std::int64_t height = h.Height < 0 ? -h.Height : h.Height;
    if (h.Width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max() ||
        static_cast<std::uint64_t>(h.Width) * static_cast<std::uint64_t>(height) > MaxPixels)
        Fail(u"the image is too large");
    const TPalette pal = ReadPalette(c, h, after);
    if (h.BitCount <= 8 && pal.Colors.empty()) Fail(u"the palette is missing");
    if (offBits >= Size) Fail(u"the pixel data offset lies outside the file");

    TacBMPImage img;
    img.Width = static_cast<int>(h.Width);
    img.Height = static_cast<int>(height);
    img.BitCount = static_cast<int>(h.BitCount);
    img.Pixels.assign(static_cast<std::size_t>(h.Width) * static_cast<std::size_t>(height), kBlack);
    if (h.Compression == BI_RLE8 || h.Compression == BI_RLE4)
        DecodeRLE(c, h, pal, offBits, img);
    else
        DecodeRows(c, h, pal, offBits, img);
    return img;
}

TacBMPLayout ReadBMPLayout(const std::uint8_t* Data, std::size_t Size) {
    const TCursor c(Data, Size);
    if (c.U8(0) != 'B' || c.U8(1) != 'M') Fail(u"no BMP signature");
    const std::uint64_t offBits = c.U32(10);
    const std::uint32_t headerSize = c.U32(14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        Fail(u"unsupported header");
    std::uint64_t tableAt = 0;
    THeader h = ReadHeader(c, tableAt);
    if (h.Core) h.Height = static_cast<std::int16_t>(h.Height);
    if (h.Planes != 1) Fail(u"the plane count is not 1");
    if (h.Width < 0 || h.Height == std::numeric_limits<std::int32_t>::min()) Fail(u"bad size");
    const std::uint32_t bits = h.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) Fail(u"unsupported bit count");
    if (h.Compression != BI_RGB && !(h.Compression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        Fail(u"compressed bitmaps are not supported");

    TacBMPLayout L;
    L.Width = static_cast<int>(h.Width);
    L.TopDown = h.Height < 0;
    L.Height = static_cast<int>(L.TopDown ? -h.Height : h.Height);
    L.BitCount = static_cast<int>(bits);
    L.BitFields = h.Compression == BI_BITFIELDS;
    if (L.BitFields)
        std::copy(h.Masks, h.Masks + 3, L.Masks);
    else if (bits == 16)
        L.Masks[0] = 0x7C00, L.Masks[1] = 0x03E0, L.Masks[2] = 0x001F;
    else if (bits == 32)
        L.Masks[0] = 0xFF0000, L.Masks[1] = 0xFF00, L.Masks[2] = 0xFF;
    if (bits <= 8) {
        if (h.ColorsUsed > 256) Fail(u"too many colours");
        const std::uint32_t full = 1u << bits;
        const std::uint32_t count = h.ColorsUsed && h.ColorsUsed < full ? h.ColorsUsed : full;
        const TPalette pal = ReadPalette(c, h, tableAt);
        L.Palette.assign(full, 0);
        for (std::uint32_t i = 0; i < count; ++i) L.Palette[i] = pal.Colors[i] & 0xFFFFFFu;
        tableAt += std::uint64_t{count} * (h.Core ? 3 : 4);
    }
    L.PixelOffset = static_cast<std::size_t>(offBits ? offBits : tableAt);
    if (L.Width > 0 && L.Height > 0) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(L.Width) * bits + 31) / 32 * 4;
        const std::uint64_t bytes = stride * static_cast<std::uint64_t>(L.Height);
        if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            Fail(u"the image is too large");
        c.Need(L.PixelOffset, bytes);
        L.Stride = static_cast<std::size_t>(stride);
    }
    return L;
}
