// stb_image's implementation, compiled once for the framework's image
// classes and the skin engine's JPEG textures.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS (1 << 16)
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wunused-parameter"
#pragma clang diagnostic ignored "-Wunused-but-set-variable"
#pragma clang diagnostic ignored "-Wsign-compare"
#pragma clang diagnostic ignored "-Wimplicit-fallthrough"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#pragma clang diagnostic ignored "-Wtype-limits"
#else
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wtype-limits"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wduplicated-branches"
#endif
#include "StbImage.h"

#include <cstring>
#include <emmintrin.h>

namespace {

// The position of the next 0xFF byte from I on, or Size when there is none;
// sixteen bytes at a time (entropy-coded data is most of a JPEG).
std::size_t NextFF(const stbi_uc* Data, std::size_t I, std::size_t Size) {
    const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; I + 16 <= Size; I += 16) {
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + I)), ff));
        if (hits != 0) return I + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
    while (I < Size && Data[I] != 0xFF) ++I;
    return I;
}

}  // namespace

const char* JpegHuffmanFault(const stbi_uc* Data, std::size_t Size) {
    if (!Data || Size < 2 || Data[0] != 0xFF || Data[1] != 0xD8) return nullptr;
    // The tables defined so far (DC and AC, four slots each) and whether the
    // frame is progressive: a scan may only use tables defined before it.
    bool dcDefined[4] = {}, acDefined[4] = {};
    bool progressive = false;
    // Walk the markers as the decoder meets them: segments by their length,
    // entropy-coded data byte by byte (stuffed zeros, fill bytes and restart
    // markers are no segments).
    std::size_t i = 2;
    while (i + 1 < Size) {
        if (Data[i] != 0xFF) {
            i = NextFF(Data, i, Size);
            continue;
        }
        const stbi_uc marker = Data[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9 || i + 3 >= Size) return nullptr;   // end of image, or of the data
        const std::size_t length = std::size_t{Data[i + 2]} << 8 | Data[i + 3];
        if (length < 2) return nullptr;   // the decoder stops at such a segment
        const std::size_t end = i + 2 + length;
        if (marker == 0xC2) progressive = true;
        if (marker == 0xC4) {
            // Tables follow each other while the segment lasts: a class and
            // slot byte, sixteen counts, then as many symbols.
            for (std::size_t t = i + 4; t < end && t < Size;) {
                std::size_t symbols = 0;
                for (std::size_t k = 1; k <= 16 && t + k < Size; ++k) symbols += Data[t + k];
                if (symbols > 256) return "bad DHT header";
                const stbi_uc slot = Data[t];
                // A whole table marks its slot (the decoder refuses other classes and slots).
                if (t + 17 + symbols <= Size && (slot >> 4) <= 1 && (slot & 15) <= 3)
                    ((slot >> 4) == 0 ? dcDefined : acDefined)[slot & 15] = true;
                t += 17 + symbols;
            }
        }
        if (marker == 0xDA && i + 4 < Size) {
            // Start of scan: the count, a component and table byte per
            // component, then the spectral start and the approximation.
            const std::size_t count = Data[i + 4];
            const std::size_t tail = i + 5 + 2 * count;
            if (tail + 2 < Size && tail + 3 <= end) {
                const stbi_uc spectralStart = Data[tail], approximationHigh = Data[tail + 2] >> 4;
                // Baseline scans decode with both tables; progressive ones
                // with the DC table in a first DC scan, the AC table in an
                // AC scan, and none in a DC refinement.
                const bool usesDc = !progressive || (spectralStart == 0 && approximationHigh == 0);
                const bool usesAc = !progressive || spectralStart != 0;
                for (std::size_t c = 0; c < count; ++c) {
                    const stbi_uc tables = Data[i + 6 + 2 * c];
                    const unsigned dc = tables >> 4, ac = tables & 15;
                    if (dc > 3 || ac > 3) continue;   // the decoder refuses these itself
                    if ((usesDc && !dcDefined[dc]) || (usesAc && !acDefined[ac])) return "undefined Huffman table";
                }
            }
        }
        i = end;
    }
    return nullptr;
}

const char* PngChunkFault(const stbi_uc* Data, std::size_t Size) {
    static const stbi_uc signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!Data || Size < 8 || std::memcmp(Data, signature, 8) != 0) return nullptr;
    for (std::size_t i = 8; Size - i >= 8;) {
        const std::size_t length = std::size_t{Data[i]} << 24 | std::size_t{Data[i + 1]} << 16 |
                                   std::size_t{Data[i + 2]} << 8 | Data[i + 3];
        if (std::memcmp(Data + i + 4, "IEND", 4) == 0) return nullptr;
        if (length > Size - i - 8) return "chunk runs past the end";
        i += 8 + length;
        if (Size - i < 4) return nullptr;   // a missing checksum is read as 0
        i += 4;
    }
    return nullptr;
}

int StbInfoFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels) {
    if (Length > 0) {
        if (const char* fault = JpegHuffmanFault(Data, static_cast<std::size_t>(Length)))
            return stbi__err(fault, "Corrupt JPEG");
    }
    return stbi_info_from_memory(Data, Length, Width, Height, Channels);
}

namespace {
// The faults stb_image must not see: true (with stb's error set) when the
// data is refused before decoding.
bool RefusedBeforeDecoding(const stbi_uc* Data, int Length) {
    if (Length <= 0) return false;
    if (const char* fault = JpegHuffmanFault(Data, static_cast<std::size_t>(Length))) {
        stbi__err(fault, "Corrupt JPEG");
        return true;
    }
    if (const char* fault = PngChunkFault(Data, static_cast<std::size_t>(Length))) {
        stbi__err(fault, "Corrupt PNG");
        return true;
    }
    return false;
}
}  // namespace

stbi_uc* StbLoadFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels, int Wanted) {
    if (RefusedBeforeDecoding(Data, Length)) return nullptr;
    return stbi_load_from_memory(Data, Length, Width, Height, Channels, Wanted);
}

stbi_uc* StbLoadFromMemoryUpTo(const stbi_uc* Data, int Length, unsigned long long MaxPixels, int* Width, int* Height,
                               int* Channels, int Wanted) {
    if (RefusedBeforeDecoding(Data, Length)) return nullptr;
    if (!stbi_info_from_memory(Data, Length, Width, Height, Channels)) return nullptr;
    if (static_cast<unsigned long long>(*Width) * static_cast<unsigned long long>(*Height) > MaxPixels) {
        stbi__err("image too large", "Image too large");
        return nullptr;
    }
    return stbi_load_from_memory(Data, Length, Width, Height, Channels, Wanted);
}
