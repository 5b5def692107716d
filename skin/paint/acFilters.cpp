#include "acFilters.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "acUtils.h"

namespace {

bool IsGrey(std::uint32_t w) { return ((w >> 16) & 0xFF) == ((w >> 8) & 0xFF) && ((w >> 8) & 0xFF) == (w & 0xFF); }

template <class Fn>
void ForEachPixel(const TacBits32& Bmp, Fn fn) {
    if (!Bmp.Valid()) return;
    for (int y = 0; y < Bmp.Height; ++y) {
        std::uint32_t* p = Bmp.Row(y);
        for (int x = 0; x < Bmp.Width; ++x) p[x] = fn(p[x]);
    }
}

std::uint32_t Grey(std::uint32_t w) {
    const std::uint32_t m = (((w >> 16) & 0xFF) + ((w >> 8) & 0xFF) + (w & 0xFF)) / 3;
    return (w & 0xFF000000u) | (m << 16) | (m << 8) | m;
}

// One blur pass over Count values Step bytes apart. Line holds the values
// as doubles with the first and the last repeated Size times beyond either
// end, so result j is the sum of Weights[i] * Line[j + 2 * Size - i] for i
// from 0 to 2 * Size: the products of the definition, added in its order.
// Two results are summed side by side in the two lanes of an SSE2 register
// (four in two registers), each lane with the same operations as alone.
void BlurLine(std::uint8_t* first, std::ptrdiff_t step, int count, const std::vector<double>& weights, int size,
              std::vector<double>& line) {
    double* pad = line.data();
    const double head = first[0], tail = first[step * (count - 1)];
    for (int i = 0; i < size; ++i) pad[i] = head;
    for (int i = 0; i < count; ++i) pad[size + i] = first[step * i];
    for (int i = 0; i < size; ++i) pad[size + count + i] = tail;
    const double* w = weights.data();
    const int taps = 2 * size + 1;
    // Rounded to nearest, halves to even (the default rounding of the
    // conversion), then limited to 0..255.
    auto store = [&](int j, __m128d sums) {
        const __m128i r = _mm_cvtpd_epi32(sums);
        first[step * j] = static_cast<std::uint8_t>(std::clamp(_mm_cvtsi128_si32(r), 0, 255));
        first[step * (j + 1)] = static_cast<std::uint8_t>(std::clamp(_mm_cvtsi128_si32(_mm_srli_si128(r, 4)), 0, 255));
    };
    int j = 0;
    for (; j + 4 <= count; j += 4) {
        const double* p = pad + j + 2 * size;
        __m128d a = _mm_setzero_pd(), b = _mm_setzero_pd();
        for (int i = 0; i < taps; ++i) {
            const __m128d k = _mm_set1_pd(w[i]);
            a = _mm_add_pd(a, _mm_mul_pd(k, _mm_loadu_pd(p - i)));
            b = _mm_add_pd(b, _mm_mul_pd(k, _mm_loadu_pd(p - i + 2)));
        }
        store(j, a);
        store(j + 2, b);
    }
    for (; j + 2 <= count; j += 2) {
        const double* p = pad + j + 2 * size;
        __m128d a = _mm_setzero_pd();
        for (int i = 0; i < taps; ++i) a = _mm_add_pd(a, _mm_mul_pd(_mm_set1_pd(w[i]), _mm_loadu_pd(p - i)));
        store(j, a);
    }
    for (; j < count; ++j) {
        const double* p = pad + j + 2 * size;
        double sum = 0;
        for (int i = 0; i < taps; ++i) sum += w[i] * p[-i];
        first[step * j] = static_cast<std::uint8_t>(std::clamp(_mm_cvtsd_si32(_mm_set_sd(sum)), 0, 255));
    }
}

}  // namespace

void GrayscaleBitmap(const TacBits32& Bmp) { ForEachPixel(Bmp, Grey); }

void GrayscaleBitmapExceptKey(const TacBits32& Bmp, std::uint32_t Key) {
    ForEachPixel(Bmp, [Key](std::uint32_t w) { return w == Key ? w : Grey(w); });
}

void ShiftBitmapHue(const TacBits32& Bmp, int Degrees) {
    ForEachPixel(Bmp, [Degrees](std::uint32_t w) { return w == kKeyPixel || IsGrey(w) ? w : RotateHueRGB(Degrees, w); });
}

void ChangeBitmapSaturation(const TacBits32& Bmp, int Amount) {
    ForEachPixel(Bmp, [Amount](std::uint32_t w) {
        return w == kKeyPixel || IsGrey(w) ? w : static_cast<std::uint32_t>(SaturateRGB(Amount, static_cast<TColor>(w)));
    });
}

void MakeGaussKernel(TacGaussKernel& Kernel, double MaxData, double Granularity, double Radius) {
    Kernel.Weights.fill(0.0f);
    if (!(Radius > 0)) {
        Kernel.Weights[100] = 1.0f;
        Kernel.Size = 1;
        return;
    }
    float sum = 0;
    for (int i = -100; i <= 100; ++i) {
        const double q = i / Radius;
        Kernel.Weights[i + 100] = static_cast<float>(std::exp(-q * q / 2));
        sum += Kernel.Weights[i + 100];
    }
    for (float& w : Kernel.Weights) w /= sum;
    int n = 100;
    float tails = 0;
    const double limit = MaxData / (2 * Granularity);
    while (n > 1 && tails + 2 * Kernel.At(n) < limit) {
        tails += 2 * Kernel.At(n);
        --n;
    }
    Kernel.Size = n;
    sum = 0;
    for (int i = -n; i <= n; ++i) sum += Kernel.At(i);
    for (int i = -100; i <= 100; ++i) Kernel.Weights[i + 100] = (i < -n || i > n) ? 0.0f : Kernel.At(i) / sum;
}

void BlurBitmap(const TacBits8& Map, int Radius) {
    if (!Map.Valid()) return;
    TacGaussKernel k;
    MakeGaussKernel(k, 1, 255, Radius);
    std::vector<double> weights;
    for (int o = -k.Size; o <= k.Size; ++o) weights.push_back(static_cast<double>(k.At(o)));
    std::vector<double> line(static_cast<std::size_t>(std::max(Map.Width, Map.Height)) + 2 * k.Size);
    for (int y = 0; y < Map.Height; ++y) BlurLine(Map.Row(y), 1, Map.Width, weights, k.Size, line);
    for (int x = 0; x < Map.Width; ++x) BlurLine(Map.Row(0) + x, Map.Stride, Map.Height, weights, k.Size, line);
}

void LayGlowMap(const TacBits32& Bmp, const TacBits8& Map, int Left, int Top, TColor Color) {
    if (!Bmp.Valid() || !Map.Valid()) return;
    // Glow channels in the pixel's byte order: blue, green, red.
    const int glow[3] = {(Color >> 16) & 0xFF, (Color >> 8) & 0xFF, Color & 0xFF};
    for (int y = 0; y < Map.Height; ++y) {
        const std::int64_t by = std::int64_t{Top} + y;
        if (by < 0 || by >= Bmp.Height) continue;
        const std::uint8_t* m = Map.Row(y);
        std::uint8_t* row = reinterpret_cast<std::uint8_t*>(Bmp.Row(static_cast<int>(by)));
        for (int x = 0; x < Map.Width; ++x) {
            const std::int64_t bx = std::int64_t{Left} + x;
            const int v = m[x];
            if (v >= 255 || bx < 0 || bx >= Bmp.Width) continue;
            std::uint8_t* p = row + bx * 4;
            for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<std::uint8_t>(glow[ch] + v * (p[ch] - glow[ch]) / 255);
            p[3] = static_cast<std::uint8_t>(p[3] + (255 - v) * (255 - p[3]) / 255);
        }
    }
}

void LayTextInk(const TacBits32& Bmp, const TacBits32& Ink, int Left, int Top, TColor Color) {
    if (!Bmp.Valid() || !Ink.Valid()) return;
    const int colour[3] = {(Color >> 16) & 0xFF, (Color >> 8) & 0xFF, Color & 0xFF};
    // The part of Ink that falls inside Bmp.
    const std::int64_t x0 = std::max<std::int64_t>(0, -std::int64_t{Left});
    const std::int64_t y0 = std::max<std::int64_t>(0, -std::int64_t{Top});
    const std::int64_t x1 = std::min<std::int64_t>(Ink.Width, std::int64_t{Bmp.Width} - Left);
    const std::int64_t y1 = std::min<std::int64_t>(Ink.Height, std::int64_t{Bmp.Height} - Top);
    for (std::int64_t y = y0; y < y1; ++y) {
        const auto* ink = reinterpret_cast<const std::uint8_t*>(Ink.Row(static_cast<int>(y)));
        auto* row = reinterpret_cast<std::uint8_t*>(Bmp.Row(static_cast<int>(Top + y)));
        for (std::int64_t x = x0; x < x1; ++x) {
            const std::uint8_t* s = ink + x * 4;
            if (s[0] == 255 && s[1] == 255 && s[2] == 255) continue;
            std::uint8_t* p = row + (Left + x) * 4;
            for (int ch = 0; ch < 3; ++ch)
                p[ch] = static_cast<std::uint8_t>(p[ch] + (colour[ch] - p[ch]) * (255 - s[ch]) / 255);
            p[3] = 255;
        }
    }
}
