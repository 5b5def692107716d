// Random rectangles, sizes, points and row steps (negative ones included)
// thrown at every copy, blend and fill kernel. Each image sits in its own
// exactly-sized heap block, so ASan reports any pixel read or written
// outside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "acPixels.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
        return v;
    }
    std::uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
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

struct Image {
    std::vector<std::uint32_t> words;
    TacBits32 bits;
    Image(Reader& in) {
        const int w = in.Byte() % 24, h = in.Byte() % 24;
        const int pad = in.Byte() % 3;   // extra words per row
        const bool bottomUp = in.Byte() & 1;
        const int pitch = w + pad;
        words.resize(static_cast<std::size_t>(pitch) * h);
        for (std::size_t i = 0; i < words.size(); ++i) words[i] = (i & 3) == 0 ? kKeyPixel : in.U32();
        if (words.empty()) return;
        bits.Width = w;
        bits.Height = h;
        auto* base = reinterpret_cast<std::uint8_t*>(words.data());
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(pitch) * 4;
        bits.Row0 = bottomUp ? base + stride * (h - 1) : base;
        bits.Stride = bottomUp ? -stride : stride;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    Image a(in), b(in), c(in), m(in);
    const int op = in.Byte() % 18;
    const TRect r1 = in.Rect(), r2 = in.Rect();
    const int x = in.Coord(), y = in.Coord();
    const std::uint8_t v = in.Byte();
    const TColor color = static_cast<TColor>(in.U32());
    const TacParent parent{(in.Byte() & 1) ? &c.bits : nullptr, in.Coord(), in.Coord(), color, (in.Byte() & 1) != 0};
    const bool flag = in.Byte() & 1;
    const int percent = in.Coord();
    switch (op) {
        case 0: FillRect32(a.bits, r1, color); break;
        case 1: FillAlphaRect(a.bits, r1, v, flag); break;
        case 2: BlendRectWithColor(a.bits, r1, percent, color); break;
        case 3: TintBitmap(a.bits, color, v / 255.0); break;
        case 4: BlendBitmapsRect(a.bits, b.bits, v, {r1.Left, r1.Top, r1.Right, r1.Bottom, r2.Left, r2.Top, r2.Right, r2.Bottom}); break;
        case 5: FadeBitmapInto(a.bits, b.bits, v); break;
        case 6: BlendBitmapRect(a.bits, b.bits, v, r1, TPoint(x, y)); break;
        case 7: BlendTransBitmap(a.bits, x, y, b.bits, r1, v / 255.0, color); break;
        case 8: MixBitmapsByMask(a.bits, b.bits, c.bits, flag ? &m.bits : nullptr, v); break;
        case 9: CopyTransparentRect(a.bits, b.bits, x, y, r1, color); break;
        case 10: DrawAlphaBitmapAt(a.bits, b.bits, x, y, color); break;
        case 11: CopyThroughMask(r1, r2, a.bits, b.bits, parent, flag); break;
        case 12: CopyMaskedRect(a.bits, b.bits, x, y, r1, color, parent, flag); break;
        case 13: CopyMaskedFromMaster(r1, r2, a.bits, b.bits, parent, flag, percent); break;
        case 14: CopyAlphaImage(r1, r2, a.bits, b.bits, parent, flag, (v & 1) ? kNoTint : color, percent, (v & 2) != 0); break;
        case 15: PaintRoundShadow(a.bits, r1, percent, color, x, y); break;
        case 16: FillPixels32(a.bits, r1, color); break;
        case 17: {
            // 24-bit source rows, padded to 4 bytes like a DIB.
            const int w = b.bits.Width, h = b.bits.Height;
            const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
            std::vector<std::uint8_t> rgb(stride * h, 0xFF);
            if (rgb.empty()) break;
            TacBits24 s{rgb.data(), w, h, static_cast<std::ptrdiff_t>(stride)};
            if (flag) {
                s.Row0 = rgb.data() + stride * (h - 1);
                s.Stride = -static_cast<std::ptrdiff_t>(stride);
            }
            DrawAlphaBitmapAt(a.bits, s, x, y, color);
            break;
        }
    }
    return 0;
}
