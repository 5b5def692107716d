// Unit acColorManager: converts rows of pixel samples from one layout (colour
// scheme, bits per sample, samples per pixel, byte order) into another,
// applying gamma on the way, and makes palettes. Used by the PNG decoder.
// Portable: no Windows header.
#pragma once

#include <cstdint>
#include <vector>

#include "SysUtils.h"

KES_DECLARE_EXCEPTION(EColorConversionError, Exception)

enum TColorScheme {
    csUnknown, csIndexed, csG, csGA, csRGB, csRGBA, csBGR, csBGRA,
    csCMY, csCMYK, csCIELab, csYCbCr, csPhotoYCC
};

// Conversion options, a set of bits.
enum TConvertOption : unsigned {
    coAlpha = 1u << 0,
    coApplyGamma = 1u << 1,
    coNeedByteSwap = 1u << 2,     // 16-bit samples are in the other byte order
    coLabByteRange = 1u << 3,
    coLabChromaOffset = 1u << 4,
};
using TConvertOptions = unsigned;

// The framework's pixel formats, in the same order (cast to TPixelFormat).
enum class TacPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

struct TacPaletteEntry {
    Byte Red = 0, Green = 0, Blue = 0;
    bool operator==(const TacPaletteEntry&) const = default;
};
using TacPalette = std::vector<TacPaletteEntry>;

class TColorManager : public TObject {
public:
    KES_CLASS_NAME(TColorManager)
    TColorManager();

    void SetSourceBitsPerSample(Byte value);
    void SetTargetBitsPerSample(Byte value);
    void SetSourceSamplesPerPixel(Byte value);
    void SetTargetSamplesPerPixel(Byte value);
    void SetSourceColorScheme(TColorScheme value);
    void SetTargetColorScheme(TColorScheme value);
    void SetSourceOptions(TConvertOptions value);
    void SetTargetOptions(TConvertOptions value);
    Byte SourceBitsPerSample() const { return FSourceBPS; }
    Byte TargetBitsPerSample() const { return FTargetBPS; }
    Byte SourceSamplesPerPixel() const { return FSourceSPP; }
    Byte TargetSamplesPerPixel() const { return FTargetSPP; }
    TColorScheme SourceColorScheme() const { return FSourceScheme; }
    TColorScheme TargetColorScheme() const { return FTargetScheme; }
    TConvertOptions SourceOptions() const { return FSourceOptions; }
    TConvertOptions TargetOptions() const { return FTargetOptions; }

    // Gamma of the data and of the display; non-positive values fall back
    // to 1 and 2.2.
    void SetGamma(double MainGamma, double DisplayGamma = 2.2);
    const Byte* GammaTable() const {
        if (!FGammaValid) BuildGammaTable();
        return FGammaTable;
    }

    // Index 0: the source layout, 1: the target layout.
    TacPixelFormat GetPixelFormat(int Index) const;

    // Converts Count target pixels. Mask bits, from 0x80 down and repeating
    // every 8 pixels, say which target pixels are written; Source holds only
    // the written pixels, in order, packed at the source depth.
    void ConvertRow(const void* Source, void* Target, Cardinal Count, Byte Mask);

    TacPalette CreateGrayscalePalette(bool MinimumIsWhite) const;
    // Format 0: interleaved 8-bit triples, 1: 8-bit quadruples, 2 and 3:
    // three 8-bit planes, 4 and 5: interleaved 16-bit triples and quadruples.
    // Data holds one pointer (three for the planar formats); ColorCount is
    // limited to 256.
    TacPalette CreateColorPalette(const void* const* Data, int Format, Cardinal ColorCount, bool BGROrder) const;

    [[noreturn]] static void Error(const String& Message);

    // Luma weights of red, green and blue for the YCbCr and PhotoYCC
    // converters (0.299, 0.587, 0.114 unless set).
    void SetYCbCrCoefficients(double Red, double Green, double Blue);

private:
    using TConversionMethod = void (TColorManager::*)(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);

    void ChooseConverter();
    TConversionMethod ChooseRGBConverter() const;
    TConversionMethod ChooseGreyConverter() const;
    void BuildYCbCrTables();
    void BuildGammaTable() const;
    unsigned ReadSample(const Byte* Row, Cardinal Index, Byte Bits) const;
    Byte Gamma(Byte Value) const { return (FTargetOptions & coApplyGamma) ? GammaTable()[Value] : Value; }
    // Gamma of an 8-bit palette value, whatever depth the table was made for.
    Byte PaletteGamma(unsigned Value) const;

    // The row converters: Count target pixels, Mask as for ConvertRow.
    void RowCopyIndexed(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    void RowIndexed(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    template <int SourceBits, int TargetBits, int SourceStep>
    void RowGrey(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    template <int SourceBits, int SourceSPP, int TargetSPP, bool SwapOrder, bool UseGamma>
    void RowRGB(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    void RowCMYK(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    void RowYCbCr(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    void RowCIELab(const Byte* Source, Byte* Target, Cardinal Count, Byte Mask);
    // Writes one red, green, blue (and alpha) pixel of an RGB-family target
    // of 8 (or, for L*a*b*, 16) bits per sample.
    void PutRGB(Byte* Target, Cardinal Index, unsigned Red, unsigned Green, unsigned Blue, unsigned Alpha) const;
    // The alpha that the extra sample of a CMYK, L*a*b* or YCbCr source
    // gives (opaque without one).
    unsigned ExtraAlpha(const Byte* Source, Cardinal Pixel, Cardinal ColourSamples) const;
    // The first Count samples of a source pixel as 8-bit values.
    void ReadSamples8(const Byte* Source, Cardinal Pixel, Cardinal Count, int* Samples) const;

    bool FChanged = true;
    Byte FSourceBPS = 8, FTargetBPS = 8;
    Byte FSourceSPP = 3, FTargetSPP = 3;
    double FMainGamma = 1, FDisplayGamma = 2.2;
    // The gamma table is made when first used; SetGamma records its range.
    mutable Byte FGammaTable[256] = {};
    mutable bool FGammaValid = false;
    unsigned FGammaMax = 255, FGammaScale = 255;
    double FYCbCrCoefficients[3] = {0.299, 0.587, 0.114};
    std::vector<int> FCrToRedTable, FCbToBlueTable, FCrToGreenTable, FCbToGreenTable;
    TColorScheme FSourceScheme = csRGB, FTargetScheme = csBGR;
    TConversionMethod FRowConversion = nullptr;
    TConvertOptions FSourceOptions = 0, FTargetOptions = 0;
    Byte FIndexMap[256] = {};   // source sample to target value, for the low-depth converter
};
