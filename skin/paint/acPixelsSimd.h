// SSE2 building blocks of the pixel kernels (the sources of the pixel and
// mask painters only, never a public header). A vector
// holds four 0xAARRGGBB words; the mixes widen bytes to 16-bit lanes, where
// every intermediate value of the formulas stays below 65536, so the unsigned
// lane arithmetic gives exactly the integer results of the scalar forms.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace acsimd {

using V = __m128i;

inline V Load(const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
inline void Store(std::uint32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
inline V Splat(std::uint32_t w) { return _mm_set1_epi32(static_cast<int>(w)); }
inline V Splat16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
// Mask ? A : B, bit by bit.
inline V Select(V mask, V a, V b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
// All ones in the words equal to W.
inline V WordsEqual(V v, std::uint32_t w) { return _mm_cmpeq_epi32(v, Splat(w)); }
inline bool Any(V mask) { return _mm_movemask_epi8(mask) != 0; }
// The alpha byte of A with the colour bytes of Colour.
inline V WithAlphaOf(V colour, V a) { return Select(Splat(0xFF000000u), a, colour); }
// Each word's alpha byte as a 32-bit value 0..255.
inline V AlphaOf(V v) { return _mm_srli_epi32(v, 24); }
// A 32-bit value 0..255 per word copied into all four bytes of the word.
inline V SpreadByte(V b) {
    b = _mm_or_si128(b, _mm_slli_epi32(b, 8));
    return _mm_or_si128(b, _mm_slli_epi32(b, 16));
}

// Exact unsigned quotients of 16-bit lanes by multiplication (the ranges
// below are where the multipliers are exact; checked exhaustively at compile
// time in acPixels.cpp).
inline V Div255(V x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, Splat16(0x8081)), 7); }   // x <= 65535
inline V Div100(V x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, Splat16(5243)), 3); }     // x <= 25500
inline V Div300(V x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, Splat16(55925)), 8); }    // x <= 25500
inline V Div3(V x) { return _mm_srli_epi16(_mm_mullo_epi16(x, Splat16(171)), 9); }        // x <= 255
inline V Mul16(V a, V b) { return _mm_mullo_epi16(a, b); }

// (d * wd + s * ws + bias) >> 8 per byte, with the weights of the low two
// and the high two pixels in 16-bit lanes. The caller keeps the sum below
// 65536.
inline V WeightedSum(V d, V s, V wdLo, V wsLo, V wdHi, V wsHi, V bias) {
    const V zero = _mm_setzero_si128();
    auto half = [&](V d16, V s16, V wd, V ws) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(d16, wd), _mm_mullo_epi16(s16, ws)), bias), 8);
    };
    const V lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), wdLo, wsLo);
    const V hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), wdHi, wsHi);
    return _mm_packus_epi16(lo, hi);
}

// The standard mix ((s - d) * w + d * 256) >> 8 of every byte, that is
// d + floor((s - d) * w / 256): (s - d) * 128 and w * 2 fit signed 16-bit
// lanes, and the high half of their product is that floor, exactly.
// W holds the weight of each byte (0..255) in the matching byte.
inline V StdMix(V d, V s, V w) {
    const V zero = _mm_setzero_si128();
    auto half = [](V d16, V s16, V w16) {
        return _mm_add_epi16(d16, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(s16, d16), 7), _mm_slli_epi16(w16, 1)));
    };
    const V lo = half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(w, zero));
    const V hi = half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(w, zero));
    return _mm_packus_epi16(lo, hi);
}

// Each pixel's alpha lane copied into all four 16-bit lanes of that pixel
// (two pixels of bytes widened to 16 bits).
inline V AlphaLanes(V px16) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(px16, 0xFF), 0xFF); }

// The standard mix on 16-bit lanes, as in StdMix.
inline V StdMix16(V d16, V s16, V w16) {
    return _mm_add_epi16(d16, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(s16, d16), 7), _mm_add_epi16(w16, w16)));
}

// Four pixels of S over D by S's alpha a: each colour byte the standard mix
// by a, the alpha byte the larger of both. The mix of two bytes lies between
// them, so the larger alpha is the larger of the mixed one and both.
inline V AlphaOver(V d, V s) {
    const V zero = _mm_setzero_si128();
    const V s0 = _mm_unpacklo_epi8(s, zero), s1 = _mm_unpackhi_epi8(s, zero);
    const V lo = StdMix16(_mm_unpacklo_epi8(d, zero), s0, AlphaLanes(s0));
    const V hi = StdMix16(_mm_unpackhi_epi8(d, zero), s1, AlphaLanes(s1));
    return _mm_max_epu8(_mm_packus_epi16(lo, hi), _mm_and_si128(_mm_max_epu8(d, s), Splat(0xFF000000u)));
}

// The fading mix (d * a + s * (255 - a) + 127) >> 8 of every byte with one
// weight a for the destination.
inline V SumMix(V d, V s, int a) {
    const V wd = Splat16(a), ws = Splat16(255 - a);
    return WeightedSum(d, s, wd, ws, wd, ws, Splat16(127));
}

// Runs Block(i) over the whole groups of four pixels of a row of N and
// Pixel(i) over the rest.
template <class Block, class Pixel>
inline void ForRow(int n, Block&& block, Pixel&& pixel) {
    int i = 0;
    for (; i + 4 <= n; i += 4) block(i);
    for (; i < n; ++i) pixel(i);
}

}  // namespace acsimd
