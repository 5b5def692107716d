// Random skin masks (image sizes, rectangles partly or wholly outside the
// image, frame counts and mask types of any sign, border widths, draw
// modes), random states, targets and destination rectangles thrown at the
// nine-part, frame and glyph painters and their kernels, and at the texture
// tilers, image slices, corner key runs and border strips of the section
// painter. Every image sits in its
// own exactly-sized heap block, top-down or bottom-up, so ASan reports any
// pixel read or written outside it; an endless tiling loop shows as a
// timeout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acMaskPaint.h"
#include "acSectionPaint.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }
    int Signed() { return static_cast<std::int8_t>(Byte()); }
    // Mostly small values around the images, sometimes extreme ones.
    int Coord() {
        const std::uint8_t sel = Byte();
        if (sel < 8) return static_cast<int>(U32());
        return static_cast<int>(Byte()) - 64;
    }
    TRect Rect() {
        const int l = Coord(), t = Coord(), r = Coord(), b = Coord();
        return TRect(l, t, r, b);
    }
};

// A W x H image filled from a small generator: a share of key pixels, the
// rest random words (mask rows included).
struct Image {
    std::vector<std::uint32_t> words;
    TacBits32 bits;
    Image(Reader& in, int maxSide) {
        const int w = in.Byte() % (maxSide + 1), h = in.Byte() % (maxSide + 1);
        const bool bottomUp = in.Byte() & 1;
        std::uint32_t seed = in.U32() | 1u;
        const std::uint8_t keyShare = in.Byte();
        words.resize(static_cast<std::size_t>(w) * h);
        for (std::uint32_t& word : words) {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            word = (seed & 0xFF) < keyShare ? kKeyPixel : seed;
        }
        if (words.empty()) return;
        bits.Width = w;
        bits.Height = h;
        auto* base = reinterpret_cast<std::uint8_t*>(words.data());
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(w) * 4;
        bits.Row0 = bottomUp ? base + stride * (h - 1) : base;
        bits.Stride = bottomUp ? -stride : stride;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    Image skin(in, 48);
    TsMaskData mask;
    mask.R = in.Rect();
    mask.ImageCount = static_cast<SmallInt>(in.Signed());
    mask.MaskType = static_cast<SmallInt>(in.Signed() % 4);
    mask.WL = static_cast<SmallInt>(in.Signed());
    mask.WT = static_cast<SmallInt>(in.Signed());
    mask.WR = static_cast<SmallInt>(in.Signed());
    mask.WB = static_cast<SmallInt>(in.Signed());
    mask.DrawMode = static_cast<SmallInt>(in.Byte());
    mask.CornerType = static_cast<SmallInt>(in.Byte() % 3);
    const TacMaskSource src{skin.bits, &mask, (in.Byte() & 1) != 0};

    Image target(in, 64), under(in, 64);
    const TRect r = in.Rect();
    const int state = in.Signed();
    const int flags = in.Byte();
    const TacParent parent{(flags & 2) ? &under.bits : nullptr, in.Coord(), in.Coord(),
                           (flags & 4) ? static_cast<TColor>(in.U32() & 0xFFFFFF) : kNoColor, (flags & 8) != 0};
    const int mode = in.Byte() % 3;
    TacBlitter blitter;

    switch (in.Byte() % 14) {
        case 0: DrawSkinRect(target.bits, r, (flags & 1) != 0, state, src, parent, blitter); break;
        case 1: DrawGlyphMask(target.bits, TPoint(r.Left, r.Top), state, parent, src, mode); break;
        case 2: CopyMasterRect(r, in.Rect(), target.bits, skin.bits, in.Signed(), parent); break;
        case 3: {
            // Sizes kept small: the filtered path makes W x H work images.
            const int w = in.Byte() % 80, h = in.Byte() % 80;
            StretchCopy32(r.Left, r.Top, w, h, (flags & 1) != 0, in.Signed(), skin.bits, target.bits, in.Coord(),
                          in.Coord(), in.Coord(), in.Coord(), blitter);
            break;
        }
        case 4: CopyGlyphThroughMask(target.bits, r.Left, r.Top, skin.bits, in.Rect(), in.Signed(), mode); break;
        case 5: {
            const TPoint origin = MaskCornerOrigin(mask, in.Byte() % 20);
            CopyTransparentPixels(target.bits, under.bits, r, (flags & 1) ? &skin.bits : nullptr, origin,
                                  TPoint(in.Coord(), in.Coord()));
            break;
        }
        case 6: RepaintCornerKeys(target.bits, src, state, parent); break;
        case 7: {
            TsDisabledKind kind;
            if (flags & 16) kind.Include(dkGrayed);
            if (flags & 32) kind.Include(dkBlended);
            ApplyDisabledKind(target.bits, kind, TPoint(r.Left, r.Top), parent, static_cast<TColor>(in.U32() & 0xFFFFFF));
            break;
        }
        case 8: DrawTexture(target.bits, r, skin.bits, in.Rect(), in.Byte() % 12, blitter); break;
        case 9: DrawMaskedTexture(target.bits, r, src, parent); break;
        case 10: {
            const TRect margins = in.Rect(), sides = in.Rect();
            DrawImageSlices(target.bits, skin.bits, r, in.Rect(), margins, sides,
                            {flags & 1, (flags >> 1) & 1, (flags >> 2) & 1, (flags >> 3) & 1}, mode & 1,
                            (flags & 16) != 0, blitter);
            break;
        }
        case 11: {
            std::vector<TRect> rects;
            AddMaskCornerRects(rects, in.Coord(), src, (flags & 1) != 0, in.Coord());
            FillBorderStrips(target.bits, r, in.Signed(), in.Signed(), in.Signed(), in.Signed(), 0x123456);
            break;
        }
        case 12: {
            std::vector<TRect> keys;
            DrawBorderMask(target.bits, (flags & 1) != 0, state, src, (flags & 2) ? &keys : nullptr, blitter);
            break;
        }
        case 13: {
            std::vector<TRect> keys;
            CopyMaskPiece(target.bits, r, TPoint(in.Coord(), in.Coord()), (flags & 1) != 0, src, &keys);
            break;
        }
    }
    return 0;
}
