// Unit acColorManager: row conversion and palettes. Portable.
#include "acColorManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool IsIndexLike(TColorScheme s) { return s == csIndexed || s == csG || s == csGA; }
bool HasAlpha(TColorScheme s) { return s == csGA || s == csRGBA || s == csBGRA; }

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

void TColorManager::SetGamma(double MainGamma, double DisplayGamma) {
    FMainGamma = MainGamma > 0 ? MainGamma : 1;
    FDisplayGamma = DisplayGamma > 0 ? DisplayGamma : 2.2;
    // The table has 256 entries whatever the depths say: a 16-bit target of
    // a low-depth source would otherwise ask for 65,536.
    unsigned max = FSourceBPS < 8 ? (1u << FTargetBPS) - 1 : 255;
    max = std::clamp(max, 1u, 255u);
    unsigned scale = FTargetBPS < 8 ? (1u << FTargetBPS) - 1 : 255;
    double exponent = 1.0 / (FMainGamma * FDisplayGamma);
    std::memset(FGammaTable, 0, sizeof FGammaTable);
    for (unsigned i = 0; i <= max; ++i)
        FGammaTable[i] = static_cast<Byte>(std::nearbyint(std::pow(static_cast<double>(i) / max, exponent) * scale));
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

void TColorManager::ChooseConverter() {
    if (IsIndexLike(FSourceScheme) != (FTargetScheme == csIndexed || FTargetScheme == csG))
        Error(u"Conversion between indexed and non-indexed pixel formats is not supported.");
    FSourceOptions = HasAlpha(FSourceScheme) ? (FSourceOptions | coAlpha) : (FSourceOptions & ~coAlpha);
    FTargetOptions = HasAlpha(FTargetScheme) ? (FTargetOptions | coAlpha) : (FTargetOptions & ~coAlpha);
    TConverter c = TConverter::None;
    switch (FSourceScheme) {
    case csIndexed: c = TConverter::Indexed; break;
    case csG:
        if (FSourceBPS < 16 && FTargetBPS < 16) c = TConverter::Indexed;
        else if (FSourceBPS >= 8 && FTargetBPS >= 8) c = TConverter::Grey;
        break;
    case csGA:
        if ((FSourceBPS == 8 || FSourceBPS == 16) && (FTargetBPS == 8 || FTargetBPS == 16)) c = TConverter::Grey;
        break;
    case csRGB: case csRGBA: case csBGR: case csBGRA:
        // A target with alpha needs a source with alpha; only 8 and 16 bits.
        if ((FTargetScheme == csRGB || FTargetScheme == csRGBA || FTargetScheme == csBGR || FTargetScheme == csBGRA) &&
            (!HasAlpha(FTargetScheme) || HasAlpha(FSourceScheme)) &&
            (FSourceBPS == 8 || FSourceBPS == 16) && FTargetBPS == 8)
            c = TConverter::RGB;
        break;
    default: break;
    }
    if (c == TConverter::None) Error(u"Color conversion failed. Could not find a proper method.");
    FRowConversion = c;
    FChanged = false;
}

unsigned TColorManager::ReadSample(const Byte* Row, Cardinal Index, Byte Bits) const {
    switch (Bits) {
    case 8: return Row[Index];
    case 16: {
        std::uint16_t v;
        std::memcpy(&v, Row + 2 * static_cast<std::size_t>(Index), 2);
        if (FSourceOptions & coNeedByteSwap) v = static_cast<std::uint16_t>((v >> 8) | (v << 8));
        return v;
    }
    default: {
        std::size_t bit = static_cast<std::size_t>(Index) * Bits;
        unsigned shift = 8 - Bits - static_cast<unsigned>(bit % 8);
        return (Row[bit / 8] >> shift) & ((1u << Bits) - 1);
    }
    }
}

Byte TColorManager::To8(unsigned Value, Byte Bits) const {
    return Gamma(static_cast<Byte>(Bits == 16 ? Value * 255 / 65535 : Value));
}

void TColorManager::ConvertRow(const void* Source, void* Target, Cardinal Count, Byte Mask) {
    if (FChanged) ChooseConverter();
    const Byte* src = static_cast<const Byte*>(Source);
    Byte* dst = static_cast<Byte*>(Target);
    Cardinal s = 0;   // next source pixel
    for (Cardinal i = 0; i < Count; ++i) {
        if (!(Mask & (0x80u >> (i % 8)))) continue;
        switch (FRowConversion) {
        case TConverter::Indexed: {
            unsigned v = ReadSample(src, s, FSourceBPS);
            // Indexes keep their value; grey samples are scaled to the new depth.
            if (FSourceScheme != csIndexed && FSourceBPS != FTargetBPS)
                v = v * ((1u << FTargetBPS) - 1) / ((1u << FSourceBPS) - 1);
            else if (v >= (1u << FTargetBPS))
                v = (1u << FTargetBPS) - 1;
            WriteSample(dst, i, FTargetBPS, v);
            break;
        }
        case TConverter::Grey: {
            Cardinal step = FSourceScheme == csGA ? 2 : 1;
            unsigned v = ReadSample(src, s * step, FSourceBPS);
            if (FSourceBPS == 16 && FTargetBPS == 8) v = v * 255 / 65535;
            else if (FSourceBPS == 8 && FTargetBPS == 16) v = v * 65535 / 255;
            WriteSample(dst, i, FTargetBPS, v);
            break;
        }
        case TConverter::RGB: {
            bool srcBGR = FSourceScheme == csBGR || FSourceScheme == csBGRA;
            bool dstBGR = FTargetScheme == csBGR || FTargetScheme == csBGRA;
            Cardinal sspp = HasAlpha(FSourceScheme) ? 4 : 3, tspp = HasAlpha(FTargetScheme) ? 4 : 3;
            Byte c[3];
            for (Cardinal k = 0; k < 3; ++k) c[k] = To8(ReadSample(src, s * sspp + k, FSourceBPS), FSourceBPS);
            if (srcBGR != dstBGR) std::swap(c[0], c[2]);
            Byte* p = dst + static_cast<std::size_t>(i) * tspp;
            p[0] = c[0]; p[1] = c[1]; p[2] = c[2];
            if (tspp == 4) {
                unsigned a = ReadSample(src, s * sspp + 3, FSourceBPS);
                p[3] = static_cast<Byte>(FSourceBPS == 16 ? a * 255 / 65535 : a);
            }
            break;
        }
        case TConverter::None: break;
        }
        ++s;
    }
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
