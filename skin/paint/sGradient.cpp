#include "sGradient.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "Strings.h"
#include "SysUtils.h"
#include "acPixels.h"

namespace {

// The tokens of an 8-bit text separated by ';'; empty runs separate nothing.
std::vector<std::string_view> SplitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ';') ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ';') ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

Integer TokenToInt(std::string_view token) { return StrToInt(AnsiToString(token)); }

}  // namespace

void PrepareGradientArray(const String& Data, TsGradArray& Arr) {
    Arr.clear();
    if (Data.empty()) return;

    // The gradient text is 8-bit text in the skin's ini.
    const std::string bytes = StringToAnsi(Data);
    const std::vector<std::string_view> tokens = SplitTokens(bytes);
    const std::size_t count = tokens.size() / 5;

    TsGradArray pieces(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view* t = &tokens[k * 5];
        TsGradPie& pie = pieces[k];
        pie.Color1 = std::max<Integer>(0, TokenToInt(t[0]));
        pie.Color2 = std::max<Integer>(0, TokenToInt(t[1]));
        pie.Percent = std::clamp<Integer>(TokenToInt(t[2]), 0, 100);
        pie.Mode = TokenToInt(t[3]);
    }
    Arr = std::move(pieces);
}

// Painting --------------------------------------------------------------

namespace {

std::uint32_t ChannelOf(TColor c, int shift) { return (static_cast<std::uint32_t>(c) >> shift) & 0xFF; }

// The colours of one piece from Color1 to Color2 over Steps + 1 positions:
// one floating step per channel, rounded to nearest (halves to even) when
// written. Out gets 0xFFRRGGBB words.
void PieceColours(const TsGradPie& pie, int steps, std::uint32_t* out) {
    double c[3], d[3];
    for (int ch = 0; ch < 3; ++ch) {
        // TColor holds red in the low byte; the pixel word holds blue there.
        const double from = ChannelOf(pie.Color1, 8 * ch);
        const double to = ChannelOf(pie.Color2, 8 * ch);
        c[ch] = from;
        d[ch] = (to - from) / steps;
    }
    for (int i = 0; i <= steps; ++i) {
        std::uint32_t word = 0xFF000000u;
        for (int ch = 0; ch < 3; ++ch) {
            const auto v = static_cast<std::uint32_t>(std::clamp(std::nearbyint(c[ch]), 0.0, 255.0));
            word |= v << (16 - 8 * ch);
            c[ch] += d[ch];
        }
        out[i] = word;
    }
}

// Walks the pieces along one axis: the first starts at Start, piece k ends
// after Span(k) positions but no later than Last, the last piece at Last;
// each next piece starts where the previous ended. Calls Paint(piece, from,
// to) for every piece with at least two positions.
template <class SpanFn, class PaintFn>
void WalkPieces(const TsGradArray& Arr, int Start, int Last, SpanFn Span, PaintFn Paint) {
    int start = Start;
    const int n = static_cast<int>(Arr.size());
    for (int k = 0; k < n && start <= Last; ++k) {
        const std::int64_t end = k == n - 1 ? Last : std::min<std::int64_t>(start + Span(Arr[k]), Last);
        if (end <= start) {
            if (end == Last) break;   // clamped to the last position: nothing is left
            continue;                 // a piece of no extent
        }
        Paint(Arr[k], start, static_cast<int>(end));
        start = static_cast<int>(end);
    }
}

// R clipped to the bitmap; false when nothing is left to paint.
bool ClipToBitmap(const TacBits32& Bmp, TRect& R) {
    if (!Bmp.Valid()) return false;
    R.Left = std::max<Integer>(R.Left, 0);
    R.Top = std::max<Integer>(R.Top, 0);
    R.Right = std::min<Integer>(R.Right, Bmp.Width);
    R.Bottom = std::min<Integer>(R.Bottom, Bmp.Height);
    return !R.IsEmpty();
}

// A texture source: rectangle of Master that is tiled over R.
struct Texture {
    const TacBits32* Master = nullptr;
    Integer Left = 0, Top = 0, Width = 0, Height = 0;
    int Weight = 0;

    // Row y of the texture walked from x 0, one pixel per call.
    void MixRow(std::uint32_t* p, int Count, const std::uint32_t* Line, std::uint32_t Solid, int y) const {
        const std::uint32_t* row = Master->Row(Top + y % Height) + Left;
        int tx = 0;
        for (int x = 0; x < Count; ++x) {
            p[x] = MixWith(Line ? Line[x] : Solid, row[tx]);
            if (++tx == Width) tx = 0;
        }
    }
    std::uint32_t MixWith(std::uint32_t g, std::uint32_t t) const {
        std::uint32_t word = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const int gc = static_cast<int>((g >> shift) & 0xFF);
            const int tc = static_cast<int>((t >> shift) & 0xFF);
            word |= static_cast<std::uint32_t>(gc + (((tc - gc) * Weight) >> 8)) << shift;
        }
        return word;
    }
};

// Modes 0 and 1, with or without a texture. R is clipped already.
void PaintPieces(const TacBits32& Bmp, const TRect& R, const TsGradArray& Arr, Integer Offset, const Texture* Tex) {
    const int width = R.Width();
    std::vector<std::uint32_t> colours;
    // Writes Count pixels of Line (or a solid colour) into row y from R.Left.
    auto writeRow = [&](int y, const std::uint32_t* line, std::uint32_t solid) {
        std::uint32_t* p = Bmp.Row(y) + R.Left;
        if (Tex != nullptr)
            Tex->MixRow(p, width, line, solid, y - R.Top);
        else if (line != nullptr)
            std::copy(line, line + width, p);
        else
            FillLongs(p, width, solid);
    };

    if (Arr.front().Mode == 0) {
        const int start = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{R.Top} + Offset, R.Top, R.Bottom));
        const std::int64_t total = std::int64_t{Offset} + R.Height();
        WalkPieces(Arr, start, R.Bottom - 1, [&](const TsGradPie& p) { return total * p.Percent / 100; },
                   [&](const TsGradPie& pie, int from, int to) {
                       colours.resize(static_cast<std::size_t>(to - from) + 1);
                       PieceColours(pie, to - from, colours.data());
                       for (int y = from; y <= to; ++y) writeRow(y, nullptr, colours[y - from]);
                   });
    } else if (Arr.front().Mode == 1) {
        std::vector<std::uint32_t> line(static_cast<std::size_t>(width), 0xFF000000u);
        bool any = false;
        WalkPieces(Arr, R.Left, R.Right - 1,
                   [&](const TsGradPie& p) {
                       return static_cast<std::int64_t>(std::nearbyint(static_cast<double>(p.Percent) * width / 100.0));
                   },
                   [&](const TsGradPie& pie, int from, int to) {
                       PieceColours(pie, to - from, line.data() + (from - R.Left));
                       any = true;
                   });
        if (!any) return;
        if (Tex) {
            for (int y = R.Top; y < R.Bottom; ++y) writeRow(y, line.data(), 0);
        } else {
            // The first row once, then copied down.
            writeRow(R.Top, line.data(), 0);
            for (int y = R.Top + 1; y < R.Bottom; ++y)
                std::copy(line.begin(), line.end(), Bmp.Row(y) + R.Left);
        }
    }
}

}  // namespace

void PaintGradient(const TacBits32& Bmp, TRect R, const TsGradArray& Arr, Integer Offset) {
    if (Arr.empty() || !ClipToBitmap(Bmp, R)) return;
    PaintPieces(Bmp, R, Arr, Offset, nullptr);
}

void PaintGradientWithTexture(const TacBits32& Bmp, TRect R, const TsGradArray& Arr, Integer TextureWeight,
                              TRect TextureRect, const TacBits32& Master) {
    if (Arr.empty() || !Master.Valid() || !ClipToBitmap(Bmp, R)) return;
    if (TextureRect.IsEmpty()) TextureRect = TRect(0, 0, Master.Width, Master.Height);
    if (TextureRect.Left < 0 || TextureRect.Top < 0) return;
    Texture tex;
    tex.Master = &Master;
    tex.Left = TextureRect.Left;
    tex.Top = TextureRect.Top;
    // The texture keeps at least one pixel inside the master image.
    tex.Width = TextureRect.Width();
    if (std::int64_t{tex.Left} + tex.Width >= Master.Width) tex.Width = Master.Width - tex.Left - 1;
    tex.Height = TextureRect.Height();
    if (std::int64_t{tex.Top} + tex.Height >= Master.Height) tex.Height = Master.Height - tex.Top - 1;
    if (tex.Width <= 0 || tex.Height <= 0) return;
    tex.Weight = std::clamp<Integer>(TextureWeight, 0, 255);
    PaintPieces(Bmp, R, Arr, 0, &tex);
}

std::array<TsGradVertex, 5> GradientCornerVertices(const TRect& R, const TsGradArray& Arr) {
    const TPoint at[5] = {{R.Left, R.Top},
                          {R.Left + R.Width() / 2, R.Top + R.Height() / 2},
                          {R.Right, R.Top},
                          {R.Right, R.Bottom},
                          {R.Left, R.Bottom}};
    std::array<TsGradVertex, 5> v{};
    TColor colour = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i < Arr.size()) colour = Arr[i].Color1;
        v[i] = {at[i].X, at[i].Y, colour};
    }
    return v;
}
