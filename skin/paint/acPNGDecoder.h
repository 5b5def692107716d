// Unit acPNGDecoder: the portable core of the engine's PNG reader. It walks
// the chunks (checking every CRC it loads), inflates the image data through
// TLZ77Decoder, undoes the five row filters and Adam7 interlacing, and
// converts each row through TColorManager into the scan lines of a target
// that the caller provides (a bitmap on Windows, memory in the tests).
// Portable: no Windows header.
#pragma once

#include <zlib.h>

#include <functional>
#include <vector>

#include "Classes.h"
#include "acColorManager.h"
#include "sConst.h"

// Bad PNG data (the Win32 picture class raises it again as EInvalidGraphic).
KES_DECLARE_EXCEPTION(EPNGInvalidGraphic, Exception)
// The inflater could not be set up or ended.
KES_DECLARE_EXCEPTION(EGraphicCompression, Exception)

enum TImageOption : unsigned { ioBigEndian = 1u << 0, ioUseGamma = 1u << 1 };
using TImageOptions = unsigned;
enum class TCompressionType { ctUnknown, ctNone, ctLZ77 };

struct TImageProperties {
    TImageOptions Options = 0;
    Cardinal Width = 0, Height = 0;
    TColorScheme ColorScheme = csUnknown;
    Byte BitsPerSample = 0, SamplesPerPixel = 0, BitsPerPixel = 0;
    TCompressionType Compression = TCompressionType::ctUnknown;
    double FileGamma = 0;
    bool Interlaced = false, HasAlpha = false;
    Byte FilterMode = 0;
    Byte ColorType = 0;   // the IHDR colour type
};

// zlib's inflate over caller-given buffers.
class TLZ77Decoder : public TObject {
public:
    KES_CLASS_NAME(TLZ77Decoder)
    TLZ77Decoder(int FlushMode, bool AutoReset);
    ~TLZ77Decoder() override;   // ends the inflater quietly if still running

    void DecodeInit();   // EGraphicCompression "LZ77 decompression error."
    // Stops checking the zlib stream's own Adler-32 (after DecodeInit).
    void SkipChecksum();
    // Inflates from Source into Dest; both advance past what was used.
    void Decode(const Byte*& Source, Byte*& Dest, Cardinal PackedSize, Cardinal UnpackedSize);
    void DecodeEnd();    // EGraphicCompression "LZ77 decompression error."

    Cardinal AvailableInput() const { return FStream.avail_in; }
    Cardinal AvailableOutput() const { return FStream.avail_out; }
    int ZLibResult() const { return FZLibResult; }

private:
    z_stream FStream{};
    int FZLibResult = Z_OK;
    int FFlushMode;
    bool FAutoReset;
    bool FInitialized = false;
};

constexpr TColor kPNGNoColor = 0x1FFFFFFF;

// What the target learns before the rows come.
struct TPNGImageInfo {
    TacPixelFormat PixelFormat = TacPixelFormat::pfCustom;
    int BitsPerPixel = 0;               // 1, 4, 8, 24 or 32 (bytes blue, green, red[, alpha])
    Cardinal Width = 0, Height = 0;
    TacPalette Palette;                 // for 1, 4 and 8 bits: one entry for every pixel value
    std::vector<Byte> Transparency;     // alpha per palette index (indexed images), else empty
    TColor TransparentColor = kPNGNoColor;   // 0x00BBGGRR with 8-bit channels, or none
    // The pixel value the image is filled with before decoding: a palette
    // index for 1..8 bits, 0x00RRGGBB for 24 and 32 bits.
    Cardinal Background = 0;
    TColor BackgroundColor = 0xFFFFFF;  // the same as a colour, 0x00BBGGRR
};

// Where the rows go.
class TPNGTarget {
public:
    virtual ~TPNGTarget() = default;
    // Called once, at the first image data; the target sizes itself and
    // fills itself with Info.Background.
    virtual void BeginImage(const TPNGImageInfo& Info) = 0;
    // The row y (0 = top) of at least (Width * BitsPerPixel + 7) / 8 bytes.
    virtual Byte* ScanLine(Cardinal y) = 0;
};

// A target in memory, rows top-down and byte-aligned.
class TPNGMemoryTarget : public TPNGTarget {
public:
    void BeginImage(const TPNGImageInfo& Info) override;
    Byte* ScanLine(Cardinal y) override { return Pixels.data() + static_cast<std::size_t>(y) * Stride; }
    TPNGImageInfo Info;
    std::size_t Stride = 0;
    std::vector<Byte> Pixels;
};

enum class TPNGProgressStage { psStarting, psRunning, psEnding };
using TPNGProgressEvent = std::function<void(TPNGProgressStage Stage, int PercentDone, const String& Message)>;

class TPNGDecoder : public TObject {
public:
    KES_CLASS_NAME(TPNGDecoder)
    // Images with more pixels than this are refused (a 32-bit process could
    // not hold their bitmap anyway).
    static constexpr std::uint64_t DefaultMaxPixels = 1ull << 25;
    std::uint64_t MaxPixels = DefaultMaxPixels;
    // With false, the chunks' CRCs and the image data's Adler-32 are read
    // but not checked: faster, for data known to be intact.
    bool CheckCRC = true;
    TPNGProgressEvent OnProgress;

    // Reads the signature, IHDR and a gAMA; false when the stream does not
    // hold a PNG (or a zero-sized or malformed header). Restores nothing.
    bool ReadImageProperties(TStream& Stream, TImageProperties& Properties);
    // Decodes the PNG that begins at the stream's position into Target.
    void LoadFromStream(TStream& Stream, TPNGTarget& Target);

    const TImageProperties& ImageProperties() const { return FImageProperties; }
    TColorManager& ColorManager() { return FColorManager; }

private:
    struct TChunkHeader { Cardinal Length = 0; Byte ChunkType[4] = {}; };

    void ReadExact(void* Buffer, std::size_t Count);
    void ReadChunkHeader();
    void LoadChunkData();
    void SkipChunkData();
    bool IsChunk(const char* Name) const;
    void SetupColorDepth();
    void LoadImageData(TPNGTarget& Target);
    void ReadBackgroundOrTransparency(bool Background);
    int GreyToTarget(unsigned Sample) const;
    void ReadRow(Byte* Row, std::size_t Count);
    void ApplyFilter(Byte Filter, Byte* Row, const Byte* Previous, std::size_t Count) const;
    void Progress(TPNGProgressStage Stage, int Percent, const String& Message);
    [[noreturn]] void Fail(const char* Message) const;

    TColorManager FColorManager;
    TStream* FStream = nullptr;
    Int64 FStreamEnd = 0;
    TImageProperties FImageProperties;
    TLZ77Decoder* FDecoder = nullptr;
    std::vector<Byte> FRawBuffer;
    TChunkHeader FHeader;
    Cardinal FCurrentCRC = 0;
    Cardinal FSourceBPP = 1;
    bool FDepthSetUp = false;
    TPNGImageInfo FInfo;
    const Byte* FInput = nullptr;   // what the inflater has not yet used
    Cardinal FInputLeft = 0;
    int FGreyBackground = -1;       // bKGD / tRNS as pixel values of the target, -1 none
    int FGreyTransparent = -1;
    std::vector<Byte> FRGBTransparent;   // the tRNS samples of an RGB image, or empty
};
