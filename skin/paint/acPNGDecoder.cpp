// Unit acPNGDecoder: chunk walk, inflate, filters, Adam7 and row conversion.
// Portable.
#include "acPNGDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const char* const kInvalidFormat = "Cannot load image. Invalid or unexpected PNG image format.";
const char* const kCompressionScheme = "Cannot load image. The compression scheme is not supported for PNG files.";
const char* const kCRCError = "Cannot load image. CRC error found in PNG file.";
const char* const kInvalidPalette = "Cannot load image. Palette in PNG file is invalid.";
const char* const kInvalidColor = "Invalid color format in PNG file.";
const char* const kCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
const char* const kExtraData = "Cannot load image. Extra compressed data found in PNG file.";
const char* const kCompressionError = "Cannot load image. Compression error found in PNG file.";
const char* const kUnexpectedEnd = "Cannot load image. Unexpected end of PNG file.";
const char* const kTooLarge = "Cannot load image. The PNG image is too large.";
const char* const kLZ77Error = "LZ77 decompression error.";

const Byte kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

Cardinal BE32(const Byte* p) {
    return (Cardinal(p[0]) << 24) | (Cardinal(p[1]) << 16) | (Cardinal(p[2]) << 8) | p[3];
}
unsigned BE16(const Byte* p) { return (unsigned(p[0]) << 8) | p[1]; }

// Adam7: start column, start row, column step, row step, and the mask of the
// pixels of each group of 8 that the pass sets.
struct TPass { Cardinal Col, Row, ColStep, RowStep; Byte Mask; };
const TPass kPasses[7] = {
    {0, 0, 8, 8, 0x80}, {4, 0, 8, 8, 0x08}, {0, 4, 4, 8, 0x88}, {2, 0, 4, 4, 0x22},
    {0, 2, 2, 4, 0xAA}, {1, 0, 2, 2, 0x55}, {0, 1, 1, 2, 0xFF},
};

} // namespace

// ---- TLZ77Decoder -----------------------------------------------------------

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : FFlushMode(FlushMode), FAutoReset(AutoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
    if (FInitialized) inflateEnd(&FStream);   // nothing may escape a destructor
}

void TLZ77Decoder::DecodeInit() {
    FStream = z_stream{};
    if (inflateInit(&FStream) < 0) throw EGraphicCompression(AsciiToString(kLZ77Error));
    FInitialized = true;
}

void TLZ77Decoder::SkipChecksum() {
    if (FInitialized) inflateValidate(&FStream, 0);
}

void TLZ77Decoder::Decode(const Byte*& Source, Byte*& Dest, Cardinal PackedSize, Cardinal UnpackedSize) {
    FStream.next_in = const_cast<Byte*>(Source);
    FStream.avail_in = PackedSize;
    if (FAutoReset) {
        FZLibResult = inflateReset(&FStream);
        if (FZLibResult != Z_OK) return;
    }
    FStream.next_out = Dest;
    FStream.avail_out = UnpackedSize;
    FZLibResult = inflate(&FStream, FFlushMode);
    Source = FStream.next_in;
    Dest = FStream.next_out;
}

void TLZ77Decoder::DecodeEnd() {
    if (!FInitialized) return;
    FInitialized = false;
    if (inflateEnd(&FStream) < 0) throw EGraphicCompression(AsciiToString(kLZ77Error));
}

// ---- TPNGMemoryTarget -------------------------------------------------------

void TPNGMemoryTarget::BeginImage(const TPNGImageInfo& Info_) {
    Info = Info_;
    Stride = (static_cast<std::size_t>(Info.Width) * Info.BitsPerPixel + 7) / 8;
    // One row is filled pixel by pixel, the others copy it (or, for a
    // background of equal bytes, all are filled at once).
    std::vector<Byte> row(Stride, 0);
    for (Cardinal x = 0; x < Info.Width; ++x) {
        switch (Info.BitsPerPixel) {
        case 24: case 32: {
            Byte* p = row.data() + static_cast<std::size_t>(x) * (Info.BitsPerPixel / 8);
            p[0] = Byte(Info.Background); p[1] = Byte(Info.Background >> 8); p[2] = Byte(Info.Background >> 16);
            break;
        }
        case 8: row[x] = Byte(Info.Background); break;
        default: {
            unsigned bits = static_cast<unsigned>(Info.BitsPerPixel);
            std::size_t bit = static_cast<std::size_t>(x) * bits;
            unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
            row[bit / 8] = Byte(row[bit / 8] | ((Info.Background & ((1u << bits) - 1)) << shift));
        }
        }
    }
    const bool uniform = std::all_of(row.begin(), row.end(), [&](Byte b) { return b == row.front(); });
    Pixels.assign(Stride * Info.Height, uniform && Stride > 0 ? row.front() : Byte(0));
    if (!uniform)
        for (Cardinal y = 0; y < Info.Height; ++y) std::memcpy(ScanLine(y), row.data(), Stride);
}

// ---- TPNGDecoder ------------------------------------------------------------

void TPNGDecoder::Fail(const char* Message) const { throw EPNGInvalidGraphic(AsciiToString(Message)); }

void TPNGDecoder::Progress(TPNGProgressStage Stage, int Percent, const String& Message) {
    if (OnProgress) OnProgress(Stage, Percent, Message);
}

void TPNGDecoder::ReadExact(void* Buffer, std::size_t Count) {
    if (Count == 0) return;
    if (FStream->Read(Buffer, static_cast<Integer>(Count)) != static_cast<Integer>(Count)) Fail(kUnexpectedEnd);
}

void TPNGDecoder::ReadChunkHeader() {
    Byte raw[8];
    ReadExact(raw, 8);
    FHeader.Length = BE32(raw);
    std::memcpy(FHeader.ChunkType, raw + 4, 4);
    // No chunk is longer than the rest of the stream; checking here keeps
    // every later allocation within the file's size.
    if (FHeader.Length > 0x7FFFFFFFu || FHeader.Length > FStreamEnd - FStream->GetPosition()) Fail(kUnexpectedEnd);
    if (CheckCRC) FCurrentCRC = static_cast<Cardinal>(crc32(0, FHeader.ChunkType, 4));
}

void TPNGDecoder::LoadChunkData() {
    FRawBuffer.resize(FHeader.Length);
    ReadExact(FRawBuffer.data(), FHeader.Length);
    Byte crc[4];
    ReadExact(crc, 4);
    if (!CheckCRC) return;
    FCurrentCRC = static_cast<Cardinal>(crc32(FCurrentCRC, FRawBuffer.data(), FHeader.Length));
    if (FCurrentCRC != BE32(crc)) Fail(kCRCError);
}

void TPNGDecoder::SkipChunkData() {
    if (static_cast<Int64>(FHeader.Length) + 4 > FStreamEnd - FStream->GetPosition()) Fail(kUnexpectedEnd);
    FStream->Seek(static_cast<Int64>(FHeader.Length) + 4, TSeekOrigin::soCurrent);
}

bool TPNGDecoder::IsChunk(const char* Name) const {
    for (int i = 0; i < 4; ++i)
        if ((FHeader.ChunkType[i] & ~0x20) != (static_cast<Byte>(Name[i]) & ~0x20)) return false;
    return true;
}

bool TPNGDecoder::ReadImageProperties(TStream& Stream, TImageProperties& P) {
    FStream = &Stream;
    FStreamEnd = Stream.GetSize();
    P = TImageProperties{};
    bool headerRead = false;
    try {
        Byte sig[8];
        ReadExact(sig, 8);
        if (std::memcmp(sig, kSignature, 8) != 0) return false;
        ReadChunkHeader();
        if (!IsChunk("IHDR") || FHeader.Length != 13) return false;
        Byte d[13 + 4];
        ReadExact(d, sizeof d);
        P.Width = BE32(d);
        P.Height = BE32(d + 4);
        if (P.Width == 0 || P.Height == 0 || P.Width > 0x7FFFFFFFu || P.Height > 0x7FFFFFFFu) return false;
        P.BitsPerSample = d[8];
        P.ColorType = d[9];
        switch (d[9]) {
        case 0: P.ColorScheme = csG; P.SamplesPerPixel = 1; break;
        case 2: P.ColorScheme = csRGB; P.SamplesPerPixel = 3; break;
        case 3: P.ColorScheme = csIndexed; P.SamplesPerPixel = 1; break;
        case 4: P.ColorScheme = csGA; P.SamplesPerPixel = 2; P.HasAlpha = true; break;
        case 6: P.ColorScheme = csRGBA; P.SamplesPerPixel = 4; P.HasAlpha = true; break;
        default: P.ColorScheme = csUnknown; P.SamplesPerPixel = 1; break;
        }
        P.BitsPerPixel = static_cast<Byte>(P.SamplesPerPixel * P.BitsPerSample);
        P.Compression = d[10] == 0 ? TCompressionType::ctLZ77 : TCompressionType::ctUnknown;
        P.FilterMode = d[11];
        if (d[12] > 1) return false;
        P.Interlaced = d[12] == 1;
        P.Options = ioBigEndian;
        headerRead = true;
        // A gAMA, if any, comes before the image data.
        for (;;) {
            ReadChunkHeader();
            if (IsChunk("IEND") || IsChunk("IDAT")) break;
            if (IsChunk("gAMA") && FHeader.Length >= 4) {
                Byte g[4];
                ReadExact(g, 4);
                P.FileGamma = BE32(g) / 100000.0;
                break;
            }
            SkipChunkData();
        }
    } catch (const Exception&) {
        // The header is what counts; a damaged tail is found when loading.
    }
    return headerRead;
}

void TPNGDecoder::SetupColorDepth() {
    const TImageProperties& P = FImageProperties;
    Byte depth = P.BitsPerSample;
    auto depthIn = [depth](std::initializer_list<int> allowed) {
        return std::find(allowed.begin(), allowed.end(), depth) != allowed.end();
    };
    TColorManager& cm = FColorManager;
    switch (P.ColorType) {
    case 0:
        if (!depthIn({1, 2, 4, 8, 16})) Fail(kInvalidColor);
        cm.SetSourceColorScheme(csG); cm.SetSourceSamplesPerPixel(1); cm.SetSourceBitsPerSample(depth);
        cm.SetTargetColorScheme(csG); cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(depth == 2 ? 4 : depth == 16 ? 8 : depth);
        FSourceBPP = (depth + 7u) / 8u;
        break;
    case 2: case 6: {
        if (!depthIn({8, 16})) Fail(kInvalidColor);
        bool alpha = P.ColorType == 6;
        cm.SetSourceColorScheme(alpha ? csRGBA : csRGB); cm.SetSourceSamplesPerPixel(alpha ? 4 : 3);
        cm.SetSourceBitsPerSample(depth);
        cm.SetTargetColorScheme(alpha ? csBGRA : csBGR); cm.SetTargetSamplesPerPixel(alpha ? 4 : 3);
        cm.SetTargetBitsPerSample(8);
        FSourceBPP = (alpha ? 4u : 3u) * depth / 8u;
        break;
    }
    case 3:
        if (!depthIn({1, 2, 4, 8})) Fail(kInvalidColor);
        cm.SetSourceColorScheme(csIndexed); cm.SetSourceSamplesPerPixel(1); cm.SetSourceBitsPerSample(depth);
        cm.SetTargetColorScheme(csIndexed); cm.SetTargetSamplesPerPixel(1);
        cm.SetTargetBitsPerSample(depth == 2 ? 4 : depth);
        FSourceBPP = 1;
        break;
    case 4:
        if (!depthIn({8, 16})) Fail(kInvalidColor);
        cm.SetSourceColorScheme(csGA); cm.SetSourceSamplesPerPixel(1); cm.SetSourceBitsPerSample(depth);
        cm.SetTargetColorScheme(csIndexed); cm.SetTargetSamplesPerPixel(1); cm.SetTargetBitsPerSample(8);
        FSourceBPP = 2u * depth / 8u;
        break;
    default: Fail(kInvalidColor);
    }
    FInfo.PixelFormat = cm.GetPixelFormat(1);
    FInfo.BitsPerPixel = cm.TargetSamplesPerPixel() == 1 ? cm.TargetBitsPerSample() : 8 * cm.TargetSamplesPerPixel();
    FDepthSetUp = true;
}

void TPNGDecoder::LoadFromStream(TStream& Stream, TPNGTarget& Target) {
    FStream = &Stream;
    Int64 base = Stream.GetPosition();
    if (!ReadImageProperties(Stream, FImageProperties)) Fail(kInvalidFormat);
    Stream.SetPosition(base + 8);
    FInfo = TPNGImageInfo{};
    FInfo.Width = FImageProperties.Width;
    FInfo.Height = FImageProperties.Height;
    FDepthSetUp = false;
    FImageProperties.Options &= ~ioUseGamma;
    FColorManager.SetTargetOptions(0);
    FColorManager.SetSourceOptions(std::endian::native == std::endian::little ? TConvertOptions(coNeedByteSwap) : TConvertOptions(0));
    Progress(TPNGProgressStage::psStarting, 0, u"Preparing...");
    TLZ77Decoder decoder(Z_PARTIAL_FLUSH, false);
    try {
        ReadChunkHeader();
        LoadChunkData();   // IHDR again, now with its CRC
        if (FImageProperties.Compression != TCompressionType::ctLZ77) Fail(kCompressionScheme);
        if (static_cast<std::uint64_t>(FInfo.Width) * FInfo.Height > MaxPixels) Fail(kTooLarge);
        SetupColorDepth();
        FColorManager.SetGamma(1, 2.2);
        decoder.DecodeInit();
        if (!CheckCRC) decoder.SkipChecksum();
        FDecoder = &decoder;
        FInput = nullptr;
        FInputLeft = 0;
        FGreyBackground = FGreyTransparent = -1;
        FRGBTransparent.clear();
        bool imageDone = false;
        ReadChunkHeader();
        for (;;) {
            if (IsChunk("IDAT")) {
                if (!imageDone) {
                    LoadImageData(Target);   // stops at the chunk after the IDAT run
                    imageDone = true;
                    continue;
                }
                LoadChunkData();   // a stray later IDAT is checked and ignored
            } else if (IsChunk("IEND")) {
                break;
            } else if (IsChunk("PLTE")) {
                if (FHeader.Length % 3 != 0) Fail(kInvalidPalette);
                LoadChunkData();
                if (FImageProperties.ColorType == 3) {
                    const void* data[1] = {FRawBuffer.data()};
                    FInfo.Palette = FColorManager.CreateColorPalette(data, 0, FHeader.Length / 3, false);
                }
            } else if (IsChunk("gAMA")) {
                LoadChunkData();
                if (FRawBuffer.size() >= 4 && BE32(FRawBuffer.data()) > 0) {
                    FImageProperties.FileGamma = BE32(FRawBuffer.data()) / 100000.0;
                    FColorManager.SetGamma(FImageProperties.FileGamma, 2.2);
                    FColorManager.SetTargetOptions(FColorManager.TargetOptions() | coApplyGamma);
                    FImageProperties.Options |= ioUseGamma;
                }
            } else if (IsChunk("bKGD")) {
                LoadChunkData();
                ReadBackgroundOrTransparency(true);
            } else if (IsChunk("tRNS")) {
                LoadChunkData();
                ReadBackgroundOrTransparency(false);
            } else {
                if (!(FHeader.ChunkType[0] & 0x20)) Fail(kCriticalChunk);
                SkipChunkData();
            }
            ReadChunkHeader();
        }
        if (!imageDone) Fail(kInvalidFormat);
        FDecoder = nullptr;
        decoder.DecodeEnd();
    } catch (...) {
        FDecoder = nullptr;
        FRawBuffer.clear();
        FRawBuffer.shrink_to_fit();
        Progress(TPNGProgressStage::psEnding, 100, u"");
        throw;
    }
    FRawBuffer.clear();
    FRawBuffer.shrink_to_fit();
    Progress(TPNGProgressStage::psEnding, 100, u"");
}

// A grey sample of the file's depth as a pixel value of the target's depth.
int TPNGDecoder::GreyToTarget(unsigned Sample) const {
    unsigned depth = FImageProperties.BitsPerSample;
    if (depth == 16) return static_cast<int>(Sample * 255 / 65535);
    Sample &= (1u << depth) - 1;
    unsigned target = FColorManager.TargetBitsPerSample();
    return static_cast<int>(Sample * ((1u << target) - 1) / ((1u << depth) - 1));
}

void TPNGDecoder::ReadBackgroundOrTransparency(bool Background) {
    const Byte* d = FRawBuffer.data();
    std::size_t n = FRawBuffer.size();
    auto rgb = [&](int k) -> unsigned {
        unsigned v = BE16(d + 2 * k);
        return FImageProperties.BitsPerSample == 16 ? v * 255 / 65535 : (v & 0xFF);
    };
    // Short chunks are ignored: they are ancillary.
    switch (FImageProperties.ColorType) {
    case 0: case 4:
        if (n < 2) return;
        (Background ? FGreyBackground : FGreyTransparent) = GreyToTarget(BE16(d));
        if (!Background && FImageProperties.ColorType == 4) FGreyTransparent = -1;   // alpha says it all
        break;
    case 2: case 6:
        if (n < 6) return;
        if (Background) {
            FInfo.Background = (rgb(0) << 16) | (rgb(1) << 8) | rgb(2);
            FInfo.BackgroundColor = static_cast<TColor>(rgb(0) | (rgb(1) << 8) | (rgb(2) << 16));
        } else if (FImageProperties.ColorType == 2) {
            // Kept as samples: the key is the colour these samples become
            // once the gamma, whenever it is read, has been applied.
            FRGBTransparent.assign(d, d + 6);
        }
        break;
    case 3:
        if (Background) {
            // Only an index the pixels can hold counts.
            if (n >= 1 && d[0] < (1u << FImageProperties.BitsPerSample)) FGreyBackground = d[0];
        } else {
            FInfo.Transparency.assign(256, 255);
            std::copy_n(d, std::min<std::size_t>(n, 256), FInfo.Transparency.begin());
        }
        break;
    default: break;
    }
}

void TPNGDecoder::ReadRow(Byte* Row, std::size_t Count) {
    Byte* dst = Row;
    std::size_t left = Count;
    while (left > 0) {
        const Byte* inBefore = FInput;
        Byte* outBefore = dst;
        FDecoder->Decode(FInput, dst, FInputLeft, static_cast<Cardinal>(left));
        FInputLeft = FDecoder->AvailableInput();
        left = FDecoder->AvailableOutput();
        int r = FDecoder->ZLibResult();
        if (r == Z_STREAM_END) {
            if (left > 0 || FInputLeft > 0) Fail(kExtraData);
            break;
        }
        if (r != Z_OK && r != Z_BUF_ERROR) Fail(kCompressionError);
        if (left == 0) break;
        if (FInputLeft > 0) {
            if (FInput == inBefore && dst == outBefore) Fail(kCompressionError);
            continue;
        }
        if (!IsChunk("IDAT")) {
            // The data ran out: the rest of the row is zero, not what the
            // buffer held before.
            std::memset(dst, 0, left);
            break;
        }
        LoadChunkData();
        FInput = FRawBuffer.data();
        FInputLeft = static_cast<Cardinal>(FRawBuffer.size());
        ReadChunkHeader();
    }
}

namespace {

// The Paeth predictor with the standard's tie order (left, up, upper-left),
// in the form that needs no p itself: |p - a| = |b - c|, |p - b| = |a - c|.
inline unsigned Paeth(unsigned a, unsigned b, unsigned c) {
    int pa = std::abs(static_cast<int>(b) - static_cast<int>(c));
    int pb = std::abs(static_cast<int>(a) - static_cast<int>(c));
    int pc = std::abs(static_cast<int>(a) + static_cast<int>(b) - 2 * static_cast<int>(c));
    if (pb < pa) { pa = pb; a = b; }
    return pc < pa ? c : a;
}

// Byte-wise sum of four bytes at once (no carry between them).
inline std::uint32_t AddBytes(std::uint32_t x, std::uint32_t y) {
    return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}

#ifdef __SSE2__
// Sub, Average and Paeth one pixel at a time in the lanes of a vector, for
// pixels of 3, 4, 6 and 8 bytes. True when done (false: no such filter).
// Pixels move through general registers: a byte-wise copy through memory
// would stall on every load that follows the stores.
template <unsigned Bpp>
inline __m128i LoadPixel(const Byte* p) {
    if constexpr (Bpp == 8) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    } else if constexpr (Bpp == 6) {
        std::uint32_t lo;
        std::uint16_t hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 2);
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(lo)), _mm_cvtsi32_si128(hi));
    } else if constexpr (Bpp == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(static_cast<int>(v));
    } else {
        std::uint16_t lo;
        std::memcpy(&lo, p, 2);
        return _mm_cvtsi32_si128(static_cast<int>(lo | (std::uint32_t(p[2]) << 16)));
    }
}
template <unsigned Bpp>
inline void StorePixel(Byte* p, __m128i v) {
    if constexpr (Bpp == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    } else {
        const std::uint32_t lo = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
        if constexpr (Bpp == 6) {
            std::memcpy(p, &lo, 4);
            const std::uint16_t hi = static_cast<std::uint16_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
            std::memcpy(p + 4, &hi, 2);
        } else if constexpr (Bpp == 4) {
            std::memcpy(p, &lo, 4);
        } else {
            const std::uint16_t low = static_cast<std::uint16_t>(lo);
            std::memcpy(p, &low, 2);
            p[2] = static_cast<Byte>(lo >> 16);
        }
    }
}
inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }
inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <unsigned Bpp>
bool UnfilterVector(Byte Filter, Byte* Row, const Byte* Previous, std::size_t Count) {
    const std::size_t pixels = Count / Bpp;
    if (pixels * Bpp != Count) return false;
    const __m128i zero = _mm_setzero_si128();
    switch (Filter) {
    case 1: {
        __m128i a = zero;
        for (std::size_t i = 0; i < Count; i += Bpp) {
            a = _mm_add_epi8(LoadPixel<Bpp>(Row + i), a);
            StorePixel<Bpp>(Row + i, a);
        }
        return true;
    }
    case 3: {
        __m128i a = zero;
        const __m128i one = _mm_set1_epi8(1);
        for (std::size_t i = 0; i < Count; i += Bpp) {
            const __m128i b = LoadPixel<Bpp>(Previous + i);
            // The floor of the mean: avg rounds up, so take back the odd bit.
            const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
            a = _mm_add_epi8(LoadPixel<Bpp>(Row + i), mean);
            StorePixel<Bpp>(Row + i, a);
        }
        return true;
    }
    case 4: {
        __m128i a = zero, c = zero;   // left and upper left, 16-bit lanes
        for (std::size_t i = 0; i < Count; i += Bpp) {
            const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(Previous + i), zero);
            const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
            __m128i pa = Abs16(bc);
            const __m128i pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
            const __m128i useB = _mm_cmplt_epi16(pb, pa);
            __m128i pred = Select(useB, b, a);
            pa = _mm_min_epi16(pa, pb);
            pred = Select(_mm_cmplt_epi16(pc, pa), c, pred);
            const __m128i x = _mm_add_epi8(LoadPixel<Bpp>(Row + i), _mm_packus_epi16(pred, zero));
            StorePixel<Bpp>(Row + i, x);
            a = _mm_unpacklo_epi8(x, zero);
            c = b;
        }
        return true;
    }
    default: return false;
    }
}
#endif

// Sub, Average and Paeth for pixels of one byte, with the left and upper
// left bytes kept in registers (the row and the one above are not known
// apart to the compiler, so indexing would reload them). Sub adds sixteen
// bytes at a time as a running sum. True when done.
bool UnfilterBytes(Byte Filter, Byte* Row, const Byte* Previous, std::size_t Count) {
    if (Count == 0 || Filter < 1 || Filter == 2 || Filter > 4) return false;
    unsigned a = 0;
    std::size_t i = 0;
    switch (Filter) {
    case 1:
#ifdef __SSE2__
        {
            __m128i carry = _mm_setzero_si128();   // the last byte so far in every lane
            for (; i + 16 <= Count; i += 16) {
                __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + i));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 1));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
                x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
                x = _mm_add_epi8(x, carry);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + i), x);
                const __m128i high = _mm_shufflehi_epi16(_mm_unpackhi_epi8(x, x), 0xFF);
                carry = _mm_unpackhi_epi64(high, high);
            }
            if (i > 0) a = Row[i - 1];
        }
#endif
        for (; i < Count; ++i) Row[i] = Byte(a = Byte(Row[i] + a));
        return true;
    case 3:
        for (; i < Count; ++i) Row[i] = Byte(a = Byte(Row[i] + ((a + Previous[i]) >> 1)));
        return true;
    default: {
        unsigned c = 0;
        for (; i < Count; ++i) {
            const unsigned b = Previous[i];
            Row[i] = Byte(a = Byte(Row[i] + Paeth(a, b, c)));
            c = b;
        }
        return true;
    }
    }
}

// Undoes one filter over a row of Count bytes with Bpp bytes per pixel
// (a constant for the common sizes, so the loops compile tight).
template <unsigned Bpp>
void Unfilter(Byte Filter, Byte* Row, const Byte* Previous, std::size_t Count, std::size_t bpp = Bpp) {
    if constexpr (Bpp != 0) bpp = Bpp;
#ifdef __SSE2__
    if constexpr (Bpp == 3 || Bpp == 4 || Bpp == 6 || Bpp == 8)
        if (UnfilterVector<Bpp>(Filter, Row, Previous, Count)) return;
#endif
    const std::size_t first = std::min(bpp, Count);
    if constexpr (Bpp == 1) {
        if (UnfilterBytes(Filter, Row, Previous, Count)) return;
    }
    switch (Filter) {
    case 1:
        if constexpr (Bpp == 4) {
            std::uint32_t left = 0;
            std::size_t i = 4;
            if (Count >= 4) {
                std::memcpy(&left, Row, 4);
                for (; i + 4 <= Count; i += 4) {
                    std::uint32_t x;
                    std::memcpy(&x, Row + i, 4);
                    left = AddBytes(x, left);
                    std::memcpy(Row + i, &left, 4);
                }
            }
            for (; i < Count; ++i) Row[i] = Byte(Row[i] + Row[i - 4]);
        } else {
            for (std::size_t i = bpp; i < Count; ++i) Row[i] = Byte(Row[i] + Row[i - bpp]);
        }
        break;
    case 2: {
        std::size_t i = 0;
#ifdef __SSE2__
        for (; i + 16 <= Count; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + i),
                             _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + i)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(Previous + i))));
#endif
        for (; i < Count; ++i) Row[i] = Byte(Row[i] + Previous[i]);
        break;
    }
    case 3:
        for (std::size_t i = 0; i < first; ++i) Row[i] = Byte(Row[i] + (Previous[i] >> 1));
        for (std::size_t i = bpp; i < Count; ++i)
            Row[i] = Byte(Row[i] + ((unsigned(Row[i - bpp]) + Previous[i]) >> 1));   // the sum needs 9 bits
        break;
    case 4:
        // No left pixel: the predictor is the byte above.
        for (std::size_t i = 0; i < first; ++i) Row[i] = Byte(Row[i] + Previous[i]);
        for (std::size_t i = bpp; i < Count; ++i)
            Row[i] = Byte(Row[i] + Paeth(Row[i - bpp], Previous[i], Previous[i - bpp]));
        break;
    default: break;   // 0, and unknown types, leave the row as it is
    }
}

} // namespace

void TPNGDecoder::ApplyFilter(Byte Filter, Byte* Row, const Byte* Previous, std::size_t Count) const {
    switch (FSourceBPP) {
    case 1: Unfilter<1>(Filter, Row, Previous, Count); break;
    case 2: Unfilter<2>(Filter, Row, Previous, Count); break;
    case 3: Unfilter<3>(Filter, Row, Previous, Count); break;
    case 4: Unfilter<4>(Filter, Row, Previous, Count); break;
    case 6: Unfilter<6>(Filter, Row, Previous, Count); break;
    case 8: Unfilter<8>(Filter, Row, Previous, Count); break;
    default: Unfilter<0>(Filter, Row, Previous, Count, FSourceBPP); break;
    }
}

void TPNGDecoder::LoadImageData(TPNGTarget& Target) {
    Progress(TPNGProgressStage::psRunning, 0, u"Transfering...");
    if (!FDepthSetUp) SetupColorDepth();
    const TImageProperties& P = FImageProperties;
    const Cardinal W = P.Width, H = P.Height;
    if (FInfo.BitsPerPixel <= 8) {
        std::size_t entries = std::size_t(1) << FInfo.BitsPerPixel;
        if (P.ColorType == 3) {
            // Every pixel value has an entry, however short the PLTE was.
            FInfo.Palette.resize(entries);
        } else {
            FInfo.Palette = FColorManager.CreateGrayscalePalette(false);
        }
        auto colourOf = [&](int index) {
            const TacPaletteEntry& e = FInfo.Palette[static_cast<std::size_t>(index) % FInfo.Palette.size()];
            return static_cast<TColor>(e.Red | (e.Green << 8) | (e.Blue << 16));
        };
        if (FGreyBackground >= 0) {
            FInfo.Background = static_cast<Cardinal>(FGreyBackground);
            FInfo.BackgroundColor = colourOf(FGreyBackground);
        } else {
            // White, or the palette's nearest thing to it for grey images.
            FInfo.Background = P.ColorType == 3 ? 0 : static_cast<Cardinal>(entries - 1);
            FInfo.BackgroundColor = P.ColorType == 3 ? colourOf(0) : 0xFFFFFF;
        }
        if (FGreyTransparent >= 0) FInfo.TransparentColor = colourOf(FGreyTransparent);
    } else {
        if (FInfo.BackgroundColor == 0xFFFFFF) FInfo.Background = 0xFFFFFF;
        if (!FRGBTransparent.empty()) {
            // The key goes through the same conversion as the pixels, so a
            // keyed pixel matches it whatever the gamma.
            Byte samples[6], bgr[3];
            if (P.BitsPerSample == 16)
                std::copy_n(FRGBTransparent.begin(), 6, samples);
            else
                for (int k = 0; k < 3; ++k) samples[k] = FRGBTransparent[2 * k + 1];   // the low bytes
            FColorManager.ConvertRow(samples, bgr, 1, 0xFF);
            FInfo.TransparentColor = static_cast<TColor>(bgr[2] | (bgr[1] << 8) | (bgr[0] << 16));
        }
    }
    const unsigned depth = P.BitsPerSample;
    const std::uint64_t samples = depth == 16 ? FSourceBPP / 2 : FSourceBPP;
    auto rowBytes = [&](std::uint64_t columns) {
        std::uint64_t n = (columns * depth + 7) / 8 * samples;
        if (n > 0x7FFFFFF0u) Fail(kTooLarge);
        return static_cast<std::size_t>(n);
    };
    const std::size_t full = rowBytes(W);
    // Only now, with every size known to fit, is the target allocated.
    Target.BeginImage(FInfo);

    std::vector<Byte> a(full + 1, 0), b(full + 1, 0);
    Byte* cur = a.data();
    Byte* prev = b.data();
    std::uint64_t totalRows = H, doneRows = 0;
    int lastPercent = 0;
    auto oneRow = [&](std::size_t n, Cardinal y, Byte mask) {
        ReadRow(cur, n + 1);
        ApplyFilter(cur[0], cur + 1, prev + 1, n);
        FColorManager.ConvertRow(cur + 1, Target.ScanLine(y), W, mask);
        std::swap(cur, prev);
        ++doneRows;
        if (OnProgress) {
            // Reported when the percentage changes, not for every row.
            int percent = static_cast<int>(doneRows * 100 / std::max<std::uint64_t>(totalRows, 1));
            if (percent != lastPercent) Progress(TPNGProgressStage::psRunning, lastPercent = percent, u"");
        }
    };
    if (!P.Interlaced) {
        for (Cardinal y = 0; y < H; ++y) oneRow(full, y, 0xFF);
    } else {
        totalRows = 0;
        for (const TPass& pass : kPasses)
            if (pass.Col < W && pass.Row < H) totalRows += (H + pass.RowStep - pass.Row - 1) / pass.RowStep;
        for (const TPass& pass : kPasses) {
            if (pass.Col >= W || pass.Row >= H) continue;
            std::size_t n = rowBytes((W + pass.ColStep - pass.Col - 1) / pass.ColStep);
            // Each pass starts over: its first row has no row above it.
            std::fill_n(prev, n + 1, Byte(0));
            for (Cardinal y = pass.Row; y < H; y += pass.RowStep) {
                oneRow(n, y, pass.Mask);
                if (H - y <= pass.RowStep) break;   // no wrap-around near 2^32
            }
        }
    }
    // The rest of the IDAT run is read (and checked) but not needed.
    while (IsChunk("IDAT")) {
        LoadChunkData();
        ReadChunkHeader();
    }
}
