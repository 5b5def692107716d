// Unit acColorManager: row conversion and palettes. Portable.
#include "acColorManager.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool IsIndexLike(TColorScheme s) { return s == csIndexed || s == csG || s == csGA; }
bool HasAlpha(TColorScheme s) { return s == csGA || s == csRGBA || s == csBGRA; }
bool IsRGBFamily(TColorScheme s) { return s == csRGB || s == csRGBA || s == csBGR || s == csBGRA; }

unsigned ReadPacked(const Byte* Row, Cardinal Index, unsigned Bits) {
    std::size_t bit = static_cast<std::size_t>(Index) * Bits;
    unsigned shift = 8 - Bits - static_cast<unsigned>(bit % 8);
    return (Row[bit / 8] >> shift) & ((1u << Bits) - 1);
}

void WriteSample(Byte* Row, Cardinal Index, Byte Bits, unsigned Value) {
    switch (Bits) {
    case 8: Row[Index] = static_cast<Byte>(Value); return;
    case 16: {
        std::uint16_t v = static_cast<std::uint16_t>(Value);
        std::memcpy(Row + 2 * static_cast<std::size_t>(Index), &v, 2);
        return;
    }
    default: {
        // Packed samples, the first in the highest bits of each byte.
        std::size_t bit = static_cast<std::size_t>(Index) * Bits;
        Byte* p = Row + bit / 8;
        unsigned shift = 8 - Bits - static_cast<unsigned>(bit % 8);
        unsigned m = ((1u << Bits) - 1) << shift;
        *p = static_cast<Byte>((*p & ~m) | ((Value << shift) & m));
    }
    }
}

// The offset of the high byte of a 16-bit sample, given whether the source
// is in the other byte order than this machine's.
int HighByte(bool NeedByteSwap) { return (std::endian::native == std::endian::little) == NeedByteSwap ? 0 : 1; }

unsigned Read16(const Byte* p, int High) { return (unsigned(p[High]) << 8) | p[1 - High]; }

// A mask that sets every Step-th pixel from Start (all Adam7 masks do).
bool RegularMask(Byte Mask, Cardinal& Start, Cardinal& Step) {
    for (Cardinal step : {1u, 2u, 4u, 8u})
        for (Cardinal start = 0; start < step; ++start) {
            unsigned m = 0;
            for (Cardinal i = start; i < 8; i += step) m |= 0x80u >> i;
            if (m == Mask) {
                Start = start;
                Step = step;
                return true;
            }
        }
    return false;
}

// Calls Pixel(target index, source index) for every pixel the mask writes.
template <class F>
inline void ForEachPixel(Cardinal Count, Byte Mask, F&& Pixel) {
    if (Mask == 0xFF) {
        for (Cardinal i = 0; i < Count; ++i) Pixel(i, i);
        return;
    }
    Cardinal start = 0, step = 1, s = 0;
    if (RegularMask(Mask, start, step)) {
        for (Cardinal i = start; i < Count; i += step) Pixel(i, s++);
        return;
    }
    for (Cardinal i = 0; i < Count; ++i)
        if (Mask & (0x80u >> (i % 8))) Pixel(i, s++);
}

Byte ClampByte(int v) { return static_cast<Byte>(std::clamp(v, 0, 255)); }

// Whether Count bytes from A and from B share any byte.
bool Overlap(const Byte* A, const Byte* B, std::size_t Count) { return A < B + Count && B < A + Count; }

// The first and third byte of each of Count pixels of Bpp (3 or 4) bytes
// trade places on the way from Src to Dst (which may be Src itself).
template <int Bpp>
void SwapFirstAndThird(const Byte* Src, Byte* Dst, Cardinal Count) {
    const std::size_t bytes = static_cast<std::size_t>(Count) * Bpp;
    std::size_t i = 0;
#ifdef __SSE2__
    auto load = [](const Byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    auto store = [](Byte* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); };
    if (Src != Dst && Overlap(Src, Dst, bytes)) {
        // Rows that lie partly on each other go pixel by pixel, in order.
    } else if constexpr (Bpp == 4) {
        // In each 32-bit pixel: rotate the first and third byte by 16 bits.
        const __m128i rb = _mm_set1_epi32(0x00FF00FF);
        for (; i + 16 <= bytes; i += 16) {
            const __m128i x = load(Src + i), y = _mm_and_si128(x, rb);
            store(Dst + i, _mm_or_si128(_mm_andnot_si128(rb, x),
                                        _mm_or_si128(_mm_slli_epi32(y, 16), _mm_srli_epi32(y, 16))));
        }
    } else if (Src != Dst) {
        // Byte j takes source byte j + 2, j or j - 2 by j mod 3: three loads
        // two bytes apart under masks whose pattern repeats every 48 bytes.
        // From the second pixel on (so j - 2 is inside the row) while the
        // load at j + 2 stays inside it.
        __m128i fromRight[3], keep[3], fromLeft[3];
        for (int v = 0; v < 3; ++v) {
            alignas(16) Byte r[16], k[16], l[16];
            for (int lane = 0; lane < 16; ++lane) {
                const int phase = (16 * v + lane) % 3;
                r[lane] = phase == 0 ? 0xFF : 0;
                k[lane] = phase == 1 ? 0xFF : 0;
                l[lane] = phase == 2 ? 0xFF : 0;
            }
            fromRight[v] = load(r);
            keep[v] = load(k);
            fromLeft[v] = load(l);
        }
        std::size_t j = 3;
        for (; j + 48 + 2 <= bytes; j += 48)
            for (int v = 0; v < 3; ++v) {
                const Byte* p = Src + j + 16 * v;
                store(Dst + j + 16 * v, _mm_or_si128(_mm_or_si128(_mm_and_si128(load(p + 2), fromRight[v]),
                                                                  _mm_and_si128(load(p), keep[v])),
                                                     _mm_and_si128(load(p - 2), fromLeft[v])));
            }
        if (j > 3) {
            // The first pixel, and the rest after the vectors.
            const Byte b0 = Src[0], b2 = Src[2];
            Dst[0] = b2;
            Dst[1] = Src[1];
            Dst[2] = b0;
            i = j;
        }
    }
#endif
    for (; i < bytes; i += Bpp) {
        const Byte b0 = Src[i], b2 = Src[i + 2];
        Dst[i] = b2;
        Dst[i + 1] = Src[i + 1];
        Dst[i + 2] = b0;
        if constexpr (Bpp == 4) Dst[i + 3] = Src[i + 3];
    }
}

} // namespace

TColorManager::TColorManager() { SetGamma(1, 2.2); }

void TColorManager::Error(const String& Message) { throw EColorConversionError(Message); }

static void CheckBPS(Byte value) {
    if (value != 1 && value != 2 && value != 4 && value != 8 && value != 16)
        TColorManager::Error(u"Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
}
static void CheckSPP(Byte value) {
    if (value < 1 || value > 4)
        TColorManager::Error(u"Sample count per pixel does not correspond to the given color scheme.");
}

void TColorManager::SetSourceBitsPerSample(Byte v) { CheckBPS(v); if (v != FSourceBPS) { FSourceBPS = v; FChanged = true; } }
void TColorManager::SetTargetBitsPerSample(Byte v) { CheckBPS(v); if (v != FTargetBPS) { FTargetBPS = v; FChanged = true; } }
void TColorManager::SetSourceSamplesPerPixel(Byte v) { CheckSPP(v); if (v != FSourceSPP) { FSourceSPP = v; FChanged = true; } }
void TColorManager::SetTargetSamplesPerPixel(Byte v) { CheckSPP(v); if (v != FTargetSPP) { FTargetSPP = v; FChanged = true; } }
void TColorManager::SetSourceColorScheme(TColorScheme v) { if (v != FSourceScheme) { FSourceScheme = v; FChanged = true; } }
void TColorManager::SetTargetColorScheme(TColorScheme v) { if (v != FTargetScheme) { FTargetScheme = v; FChanged = true; } }
void TColorManager::SetSourceOptions(TConvertOptions v) { if (v != FSourceOptions) { FSourceOptions = v; FChanged = true; } }
void TColorManager::SetTargetOptions(TConvertOptions v) { if (v != FTargetOptions) { FTargetOptions = v; FChanged = true; } }

void TColorManager::SetYCbCrCoefficients(double Red, double Green, double Blue) {
    FYCbCrCoefficients[0] = Red;
    FYCbCrCoefficients[1] = Green;
    FYCbCrCoefficients[2] = Blue;
    FChanged = true;
}

void TColorManager::SetGamma(double MainGamma, double DisplayGamma) {
    FMainGamma = MainGamma > 0 ? MainGamma : 1;
    FDisplayGamma = DisplayGamma > 0 ? DisplayGamma : 2.2;
    // The table has 256 entries whatever the depths say: a 16-bit target of
    // a low-depth source would otherwise ask for 65,536.
    FGammaMax = std::clamp(FSourceBPS < 8 ? (1u << FTargetBPS) - 1 : 255u, 1u, 255u);
    FGammaScale = FTargetBPS < 8 ? (1u << FTargetBPS) - 1 : 255;
    FGammaValid = false;
    FChanged = true;   // an identity table lets the converters skip it
}

void TColorManager::BuildGammaTable() const {
    std::memset(FGammaTable, 0, sizeof FGammaTable);
    double exponent = 1.0 / (FMainGamma * FDisplayGamma);
    if (exponent == 1.0 && FGammaMax == FGammaScale) {
        for (unsigned i = 0; i <= FGammaMax; ++i) FGammaTable[i] = static_cast<Byte>(i);
    } else {
        for (unsigned i = 0; i <= FGammaMax; ++i)
            FGammaTable[i] = static_cast<Byte>(std::nearbyint(std::pow(static_cast<double>(i) / FGammaMax, exponent) * FGammaScale));
    }
    FGammaValid = true;
}

TacPixelFormat TColorManager::GetPixelFormat(int Index) const {
    Byte spp = Index == 0 ? FSourceSPP : FTargetSPP;
    Byte bps = Index == 0 ? FSourceBPS : FTargetBPS;
    switch (spp) {
    case 1:
        if (bps == 1) return TacPixelFormat::pf1bit;
        if (bps >= 2 && bps <= 4) return TacPixelFormat::pf4bit;
        if (bps >= 8 && bps <= 16) return TacPixelFormat::pf8bit;
        break;
    case 3: return bps <= 5 ? TacPixelFormat::pf15bit : TacPixelFormat::pf24bit;
    case 4: if (bps >= 8) return TacPixelFormat::pf32bit; break;
    default: break;
    }
    return TacPixelFormat::pfCustom;
}

TColorManager::TConversionMethod TColorManager::ChooseGreyConverter() const {
    const bool ga = FSourceScheme == csGA;
    if (FSourceBPS == 8) {
        if (FTargetBPS == 8) return ga ? &TColorManager::RowGrey<8, 8, 2> : &TColorManager::RowGrey<8, 8, 1>;
        return ga ? &TColorManager::RowGrey<8, 16, 2> : &TColorManager::RowGrey<8, 16, 1>;
    }
    if (FTargetBPS == 8) return ga ? &TColorManager::RowGrey<16, 8, 2> : &TColorManager::RowGrey<16, 8, 1>;
    return ga ? &TColorManager::RowGrey<16, 16, 2> : &TColorManager::RowGrey<16, 16, 1>;
}

TColorManager::TConversionMethod TColorManager::ChooseRGBConverter() const {
    const bool srcAlpha = HasAlpha(FSourceScheme), dstAlpha = HasAlpha(FTargetScheme);
    const bool swap = (FSourceScheme == csBGR || FSourceScheme == csBGRA) != (FTargetScheme == csBGR || FTargetScheme == csBGRA);
    bool gamma = (FTargetOptions & coApplyGamma) != 0;
    if (gamma) {
        // An identity table is no work at all.
        const Byte* g = GammaTable();
        bool identity = true;
        for (unsigned i = 0; i < 256 && identity; ++i) identity = g[i] == i;
        gamma = !identity;
    }
    const int key = (FSourceBPS == 16 ? 16 : 0) | (srcAlpha ? 8 : 0) | (dstAlpha ? 4 : 0) | (swap ? 2 : 0) | (gamma ? 1 : 0);
#define KES_RGB(SB, SA, DA, SW, G) &TColorManager::RowRGB<SB, (SA) ? 4 : 3, (DA) ? 4 : 3, SW, G>
#define KES_RGB4(SB, SA, DA) KES_RGB(SB, SA, DA, false, false), KES_RGB(SB, SA, DA, false, true), \
                             KES_RGB(SB, SA, DA, true, false), KES_RGB(SB, SA, DA, true, true)
    static const TConversionMethod table[32] = {
        KES_RGB4(8, false, false), KES_RGB4(8, false, false) /* no alpha from nowhere: unused */,
        KES_RGB4(8, true, false), KES_RGB4(8, true, true),
        KES_RGB4(16, false, false), KES_RGB4(16, false, false) /* unused */,
        KES_RGB4(16, true, false), KES_RGB4(16, true, true),
    };
#undef KES_RGB4
#undef KES_RGB
    return table[key];
}

void TColorManager::ChooseConverter() {
    if (IsIndexLike(FSourceScheme) != (FTargetScheme == csIndexed || FTargetScheme == csG))
        Error(u"Conversion between indexed and non-indexed pixel formats is not supported.");
    FSourceOptions = HasAlpha(FSourceScheme) ? (FSourceOptions | coAlpha) : (FSourceOptions & ~coAlpha);
    FTargetOptions = HasAlpha(FTargetScheme) ? (FTargetOptions | coAlpha) : (FTargetOptions & ~coAlpha);
    const bool sb8or16 = FSourceBPS == 8 || FSourceBPS == 16;
    const bool tb8or16 = FTargetBPS == 8 || FTargetBPS == 16;
    const bool toRGB = IsRGBFamily(FTargetScheme);
    TConversionMethod c = nullptr;
    switch (FSourceScheme) {
    case csIndexed:
    case csG:
        if (FSourceScheme == csIndexed || (FSourceBPS < 16 && FTargetBPS < 16)) {
            // Indexes keep their value (limited to what the target holds);
            // grey samples are scaled to the new depth.
            const unsigned tmax = (1u << FTargetBPS) - 1, smax = (1u << std::min<unsigned>(FSourceBPS, 8)) - 1;
            for (unsigned v = 0; v < 256; ++v) {
                unsigned m = v & smax;
                FIndexMap[v] = static_cast<Byte>(FSourceScheme != csIndexed && FSourceBPS != FTargetBPS ? m * tmax / smax
                                                                                                    : std::min(m, tmax));
            }
            c = FSourceBPS == FTargetBPS && FSourceBPS <= 8 ? &TColorManager::RowCopyIndexed : &TColorManager::RowIndexed;
        } else if (FSourceBPS >= 8 && FTargetBPS >= 8) {
            c = ChooseGreyConverter();
        }
        break;
    case csGA:
        if (sb8or16 && tb8or16) c = ChooseGreyConverter();
        break;
    case csRGB: case csRGBA: case csBGR: case csBGRA:
        // A target with alpha needs a source with alpha; only 8 and 16 bits.
        if (toRGB && (!HasAlpha(FTargetScheme) || HasAlpha(FSourceScheme)) && sb8or16 && FTargetBPS == 8)
            c = ChooseRGBConverter();
        break;
    case csCMYK:
        if (toRGB && sb8or16 && FTargetBPS == 8 && FSourceSPP >= 4) c = &TColorManager::RowCMYK;
        break;
    case csYCbCr: case csPhotoYCC:
        if (toRGB && sb8or16 && FTargetBPS == 8 && FSourceSPP >= 3) {
            BuildYCbCrTables();
            c = &TColorManager::RowYCbCr;
        }
        break;
    case csCIELab:
        if (toRGB && FSourceBPS == 8 && tb8or16 && FSourceSPP >= 3) c = &TColorManager::RowCIELab;
        break;
    default: break;
    }
    if (!c) Error(u"Color conversion failed. Could not find a proper method.");
    FRowConversion = c;
    FChanged = false;
}

unsigned TColorManager::ReadSample(const Byte* Row, Cardinal Index, Byte Bits) const {
    switch (Bits) {
    case 8: return Row[Index];
    case 16: return Read16(Row + 2 * static_cast<std::size_t>(Index), HighByte(FSourceOptions & coNeedByteSwap));
    default: return ReadPacked(Row, Index, Bits);
    }
}

void TColorManager::ConvertRow(const void* Source, void* Target, Cardinal Count, Byte Mask) {
    if (FChanged) ChooseConverter();
    (this->*FRowConversion)(static_cast<const Byte*>(Source), static_cast<Byte*>(Target), Count, Mask);
}

// Same depth on both sides, 1 to 8 bits: the values are copied as they are.
void TColorManager::RowCopyIndexed(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    const unsigned bits = FSourceBPS;
    if (Mask == 0xFF) {
        const std::size_t totalBits = static_cast<std::size_t>(Count) * bits;
        std::memcpy(dst, src, totalBits / 8);
        if (unsigned rest = static_cast<unsigned>(totalBits % 8)) {
            // The last byte's bits after the row keep their value.
            const Byte keep = static_cast<Byte>(0xFFu >> rest);
            dst[totalBits / 8] = static_cast<Byte>((dst[totalBits / 8] & keep) | (src[totalBits / 8] & ~keep));
        }
        return;
    }
    if (bits == 8) {
        ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) { dst[i] = src[s]; });
        return;
    }
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) { WriteSample(dst, i, static_cast<Byte>(bits), ReadPacked(src, s, bits)); });
}

void TColorManager::RowIndexed(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    const Byte sb = FSourceBPS, tb = FTargetBPS;
    const unsigned tmax = (1u << tb) - 1;
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        unsigned v = ReadSample(src, s, sb);
        v = sb <= 8 ? FIndexMap[v] : std::min(v, tmax);
        WriteSample(dst, i, tb, v);
    });
}

template <int SourceBits, int TargetBits, int SourceStep>
void TColorManager::RowGrey(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    const int high = HighByte(FSourceOptions & coNeedByteSwap);
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        const Byte* p = src + static_cast<std::size_t>(s) * SourceStep * (SourceBits / 8);
        unsigned v = SourceBits == 8 ? p[0] : Read16(p, high);
        if constexpr (SourceBits == 16 && TargetBits == 8) v /= 257;        // × 255 div 65535
        if constexpr (SourceBits == 8 && TargetBits == 16) v *= 257;        // × 65535 div 255
        if constexpr (TargetBits == 8) {
            dst[i] = static_cast<Byte>(v);
        } else {
            std::uint16_t w = static_cast<std::uint16_t>(v);
            std::memcpy(dst + 2 * static_cast<std::size_t>(i), &w, 2);
        }
    });
}

template <int SourceBits, int SourceSPP, int TargetSPP, bool SwapOrder, bool UseGamma>
void TColorManager::RowRGB(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    constexpr int B = SourceBits / 8;
    if constexpr (SourceBits == 8 && SourceSPP == TargetSPP && SwapOrder && !UseGamma) {
        if (Mask == 0xFF) {
            SwapFirstAndThird<SourceSPP>(src, dst, Count);
            return;
        }
    }
    const Byte* g = UseGamma ? GammaTable() : nullptr;
    const int high = HighByte(FSourceOptions & coNeedByteSwap);
    auto sample = [&](const Byte* p) -> unsigned {
        if constexpr (SourceBits == 8) return p[0];
        else return Read16(p, high) / 257;   // × 255 div 65535
    };
    auto colour = [&](const Byte* p) -> Byte {
        if constexpr (UseGamma) return g[sample(p)];
        else return static_cast<Byte>(sample(p));
    };
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        const Byte* p = src + static_cast<std::size_t>(s) * (SourceSPP * B);
        Byte* q = dst + static_cast<std::size_t>(i) * TargetSPP;
        const Byte c0 = colour(p), c1 = colour(p + B), c2 = colour(p + 2 * B);
        q[0] = SwapOrder ? c2 : c0;
        q[1] = c1;
        q[2] = SwapOrder ? c0 : c2;
        if constexpr (TargetSPP == 4) q[3] = static_cast<Byte>(sample(p + 3 * B));
    });
}

void TColorManager::PutRGB(Byte* dst, Cardinal Index, unsigned Red, unsigned Green, unsigned Blue, unsigned Alpha) const {
    const bool bgr = FTargetScheme == csBGR || FTargetScheme == csBGRA;
    const Cardinal spp = HasAlpha(FTargetScheme) ? 4 : 3;
    const unsigned v[4] = {bgr ? Blue : Red, Green, bgr ? Red : Blue, Alpha};
    for (Cardinal k = 0; k < spp; ++k) WriteSample(dst, Index * spp + k, FTargetBPS, v[k]);
}

unsigned TColorManager::ExtraAlpha(const Byte* src, Cardinal Pixel, Cardinal ColourSamples) const {
    const unsigned opaque = (1u << FTargetBPS) - 1;
    if (FSourceSPP <= ColourSamples) return opaque;
    unsigned a = ReadSample(src, Pixel * FSourceSPP + ColourSamples, FSourceBPS);
    if (FSourceBPS == FTargetBPS) return a;
    return FSourceBPS == 16 ? a / 257 : a * 257;
}

void TColorManager::ReadSamples8(const Byte* src, Cardinal Pixel, Cardinal Count, int* Samples) const {
    for (Cardinal k = 0; k < Count; ++k) {
        const unsigned v = ReadSample(src, Pixel * FSourceSPP + k, FSourceBPS);
        Samples[k] = static_cast<int>(FSourceBPS == 16 ? v / 257 : v);
    }
}

void TColorManager::RowCMYK(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        int c[4];
        ReadSamples8(src, s, 4, c);
        const int k = c[3];
        auto channel = [k](int colorant) { return ClampByte(colorant * k / 255 - colorant - k + 255); };
        PutRGB(dst, i, channel(c[0]), channel(c[1]), channel(c[2]), ExtraAlpha(src, s, 4));
    });
}

void TColorManager::BuildYCbCrTables() {
    const double r = FYCbCrCoefficients[0], g = FYCbCrCoefficients[1], b = FYCbCrCoefficients[2];
    const int o = FSourceScheme == csPhotoYCC ? 137 : 128, o2 = FSourceScheme == csPhotoYCC ? 156 : 128;
    FCrToRedTable.resize(256);
    FCbToBlueTable.resize(256);
    FCrToGreenTable.resize(256);
    FCbToGreenTable.resize(256);
    for (int i = 0; i < 256; ++i) {
        FCrToRedTable[i] = static_cast<int>(std::nearbyint((2 - 2 * r) * (i - o)));
        FCbToBlueTable[i] = static_cast<int>(std::nearbyint((2 - 2 * b) * (i - o2)));
        FCrToGreenTable[i] = g != 0 ? -static_cast<int>(std::nearbyint(r * (2 - 2 * r) / g * (i - o))) : 0;
        FCbToGreenTable[i] = g != 0 ? -static_cast<int>(std::nearbyint(b * (2 - 2 * b) / g * (i - o2))) : 0;
    }
}

// Samples in the order Y, Cb, Cr.
void TColorManager::RowYCbCr(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        int c[3];
        ReadSamples8(src, s, 3, c);
        const int y = c[0], cb = c[1], cr = c[2];
        PutRGB(dst, i, ClampByte(y + FCrToRedTable[cr]), ClampByte(y + FCbToGreenTable[cb] + FCrToGreenTable[cr]),
               ClampByte(y + FCbToBlueTable[cb]), ExtraAlpha(src, s, 3));
    });
}

// 8-bit L*, a*, b*. L* is 0..100 itself, or spread over 0..255 with
// coLabByteRange; a* and b* are signed bytes, or offset by 128 with
// coLabChromaOffset. The reference white is X = Y = Z = 1.
void TColorManager::RowCIELab(const Byte* src, Byte* dst, Cardinal Count, Byte Mask) {
    const bool byteRange = (FSourceOptions & coLabByteRange) != 0, offset = (FSourceOptions & coLabChromaOffset) != 0;
    const double scale = FTargetBPS == 16 ? 65535.0 : 255.0;
    auto finv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
    auto out = [scale](double v) { return static_cast<unsigned>(std::clamp(std::nearbyint(v * scale), 0.0, scale)); };
    ForEachPixel(Count, Mask, [&](Cardinal i, Cardinal s) {
        const Byte* p = src + static_cast<std::size_t>(s) * FSourceSPP;
        const double L = byteRange ? p[0] * 100.0 / 255 : p[0];
        const double a = offset ? p[1] - 128.0 : static_cast<std::int8_t>(p[1]);
        const double b = offset ? p[2] - 128.0 : static_cast<std::int8_t>(p[2]);
        const double fy = (L + 16) / 116;
        const double X = finv(fy + a / 500), Y = finv(fy), Z = finv(fy - b / 200);
        PutRGB(dst, i, out(2.998 * X - 1.458 * Y - 0.541 * Z), out(-0.952 * X + 1.893 * Y + 0.059 * Z),
               out(0.099 * X - 0.198 * Y + 1.099 * Z), ExtraAlpha(src, s, 3));
    });
}

Byte TColorManager::PaletteGamma(unsigned Value) const {
    if (!(FTargetOptions & coApplyGamma)) return static_cast<Byte>(Value);
    double exponent = 1.0 / (FMainGamma * FDisplayGamma);
    return static_cast<Byte>(std::nearbyint(std::pow(std::min(Value, 255u) / 255.0, exponent) * 255));
}

TacPalette TColorManager::CreateGrayscalePalette(bool MinimumIsWhite) const {
    unsigned bits = std::min(static_cast<unsigned>(FTargetBPS) * FTargetSPP, 8u);
    unsigned entries = 1u << bits;
    TacPalette result(entries);
    unsigned step = entries > 1 ? 255 / (entries - 1) : 255;
    for (unsigned i = 0; i < entries; ++i) {
        Byte g = PaletteGamma(i * step);
        result[MinimumIsWhite ? entries - 1 - i : i] = {g, g, g};
    }
    return result;
}

TacPalette TColorManager::CreateColorPalette(const void* const* Data, int Format, Cardinal ColorCount, bool BGROrder) const {
    ColorCount = std::min<Cardinal>(ColorCount, 256);
    TacPalette result;
    if (!Data || !Data[0] || Format < 0 || Format > 5) return result;
    if ((Format == 2 || Format == 3) && (!Data[1] || !Data[2])) return result;
    result.resize(ColorCount);
    for (Cardinal i = 0; i < ColorCount; ++i) {
        Byte c[3];
        for (int k = 0; k < 3; ++k) {
            switch (Format) {
            case 0: c[k] = PaletteGamma(static_cast<const Byte*>(Data[0])[3 * i + k]); break;
            case 1: c[k] = PaletteGamma(static_cast<const Byte*>(Data[0])[4 * i + k]); break;
            case 2: case 3: c[k] = PaletteGamma(static_cast<const Byte*>(Data[k])[i]); break;
            default: {
                std::uint16_t v;
                std::memcpy(&v, static_cast<const Byte*>(Data[0]) + 2 * ((Format == 4 ? 3 : 4) * i + k), 2);
                if (FSourceOptions & coNeedByteSwap) v = static_cast<std::uint16_t>((v >> 8) | (v << 8));
                c[k] = PaletteGamma(v * 255u / 65535u);
            }
            }
        }
        result[i] = BGROrder ? TacPaletteEntry{c[2], c[1], c[0]} : TacPaletteEntry{c[0], c[1], c[2]};
    }
    return result;
}
