#include "acAlphaPixels.h"

namespace {

constexpr std::uint32_t Premultiplied(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    const std::uint32_t b = (p & 0xFFu) * a / 255, g = ((p >> 8) & 0xFFu) * a / 255, r = ((p >> 16) & 0xFFu) * a / 255;
    return a << 24 | r << 16 | g << 8 | b;
}

template <class F>
void ForEachPixel(const TacBits32& Bmp, F&& Fn) {
    if (!Bmp.Valid()) return;
    for (int y = 0; y < Bmp.Height; ++y) {
        std::uint32_t* row = Bmp.Row(y);
        for (int x = 0; x < Bmp.Width; ++x) Fn(row[x]);
    }
}

}  // namespace

void ClearTransparentWhite(const TacBits32& Bmp) {
    ForEachPixel(Bmp, [](std::uint32_t& p) {
        if (p == 0x00FFFFFFu) p = 0;
    });
}

void PremultiplyAlpha(const TacBits32& Bmp) {
    ForEachPixel(Bmp, [](std::uint32_t& p) { p = Premultiplied(p); });
}

bool MakeAlphaFromKey(const TacBits32& Bmp) {
    if (!Bmp.Valid()) return false;
    for (int y = 0; y < Bmp.Height; ++y) {
        const std::uint32_t* row = Bmp.Row(y);
        for (int x = 0; x < Bmp.Width; ++x)
            if ((row[x] >> 24) != 0) return false;
    }
    const std::uint32_t key = Bmp.At(0, Bmp.Height - 1);
    ForEachPixel(Bmp, [key](std::uint32_t& p) {
        if (p != key) p |= 0xFF000000u;
    });
    return true;
}

TacAlphaRule AlphaRuleFor(double Version) { return Version <= 7.45 ? TacAlphaRule::Older : TacAlphaRule::Newer; }

void PrepareSkinAlpha(const TacBits32& Bmp, TacAlphaRule Rule) {
    ForEachPixel(Bmp, [Rule](std::uint32_t& p) {
        const std::uint32_t a = p >> 24;
        if (a == 0)
            p = kKeyPixel;
        else if (a != 255 && Rule == TacAlphaRule::Newer)
            p = Premultiplied(p);
    });
}

void PrepareShadowAlpha(const TacBits32& Bmp, bool Premultiplied_) {
    ForEachPixel(Bmp, [Premultiplied_](std::uint32_t& p) {
        if ((p >> 24) == 0)
            p = 0;
        else if (!Premultiplied_)
            p = Premultiplied(p);
    });
}
