#include "SkinImage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

namespace skingen {

namespace {

int Channel(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

Rgb MakeRgb(int r, int g, int b) {
    return static_cast<Rgb>((std::clamp(r, 0, 255) << 16) | (std::clamp(g, 0, 255) << 8) | std::clamp(b, 0, 255));
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::vector<std::uint8_t> EncodeBMP(const Image& img, int bits) {
    const int w = img.Width(), h = img.Height();
    const std::uint32_t stride = static_cast<std::uint32_t>((w * bits / 8 + 3) & ~3);
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(h);
    std::vector<std::uint8_t> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);   // BITMAPINFOHEADER
    Put32(out, static_cast<std::uint32_t>(w));
    Put32(out, static_cast<std::uint32_t>(h));   // bottom-up
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, 0);   // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < w; ++x) {
            const Argb p = img.At(x, y);
            out.push_back(static_cast<std::uint8_t>(BlueOf(p)));
            out.push_back(static_cast<std::uint8_t>(GreenOf(p)));
            out.push_back(static_cast<std::uint8_t>(RedOf(p)));
            if (bits == 32) out.push_back(static_cast<std::uint8_t>(AlphaOf(p)));
        }
        while (out.size() - start < stride) out.push_back(0);
    }
    return out;
}

}  // namespace

Rgb MixRgb(Rgb a, Rgb b, double t) {
    return MakeRgb(Channel(RedOf(a) + (RedOf(b) - RedOf(a)) * t), Channel(GreenOf(a) + (GreenOf(b) - GreenOf(a)) * t),
                   Channel(BlueOf(a) + (BlueOf(b) - BlueOf(a)) * t));
}
Rgb Lighter(Rgb c, double amount) { return MixRgb(c, 0xFFFFFF, amount); }
Rgb Darker(Rgb c, double amount) { return MixRgb(c, 0x000000, amount); }

Image::Image(int Width, int Height, Argb Fill)
    : FWidth(std::max(Width, 0)), FHeight(std::max(Height, 0)),
      FPixels(static_cast<std::size_t>(FWidth) * FHeight, Fill) {}

void Image::Blend(int x, int y, Rgb c, double a) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight || a <= 0) return;
    a = std::min(a, 1.0);
    Argb& d = At(x, y);
    const double da = AlphaOf(d) / 255.0;
    const double oa = a + da * (1 - a);
    if (oa <= 0) return;
    auto mix = [&](int s, int dd) { return Channel((s * a + dd * da * (1 - a)) / oa); };
    d = (static_cast<Argb>(Channel(oa * 255)) << 24) |
        MakeRgb(mix(RedOf(c), RedOf(d)), mix(GreenOf(c), GreenOf(d)), mix(BlueOf(c), BlueOf(d)));
}

void Image::Fill(Box b, Argb c) {
    for (int y = std::max(b.Y, 0); y < std::min(b.Y + b.H, FHeight); ++y)
        for (int x = std::max(b.X, 0); x < std::min(b.X + b.W, FWidth); ++x) At(x, y) = c;
}

void Image::FillVertical(Box b, Rgb Top, Rgb Bottom, double Alpha) {
    for (int y = b.Y; y < b.Y + b.H; ++y) {
        const Rgb c = MixRgb(Top, Bottom, b.H > 1 ? double(y - b.Y) / (b.H - 1) : 0);
        for (int x = b.X; x < b.X + b.W; ++x) Blend(x, y, c, Alpha);
    }
}

void Image::Copy(const Image& Src, int x, int y) {
    for (int sy = 0; sy < Src.Height(); ++sy)
        for (int sx = 0; sx < Src.Width(); ++sx) {
            const int dx = x + sx, dy = y + sy;
            if (dx >= 0 && dy >= 0 && dx < FWidth && dy < FHeight) At(dx, dy) = Src.At(sx, sy);
        }
}

void Image::Over(const Image& Src, int x, int y) {
    for (int sy = 0; sy < Src.Height(); ++sy)
        for (int sx = 0; sx < Src.Width(); ++sx) {
            const Argb p = Src.At(sx, sy);
            Blend(x + sx, y + sy, p & 0xFFFFFF, AlphaOf(p) / 255.0);
        }
}

Image Image::Crop(Box b) const {
    Image out(b.W, b.H);
    for (int y = 0; y < b.H; ++y)
        for (int x = 0; x < b.W; ++x) {
            const int sx = b.X + x, sy = b.Y + y;
            if (sx >= 0 && sy >= 0 && sx < FWidth && sy < FHeight) out.At(x, y) = At(sx, sy);
        }
    return out;
}

Image Image::Scaled(int Width, int Height) const {
    Image out(Width, Height);
    if (FWidth == 0 || FHeight == 0) return out;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) out.At(x, y) = At(x * FWidth / Width, y * FHeight / Height);
    return out;
}

void FillShape(Image& Img, Box Bounds, const Inside& Shape, const Paint& Colour, double Alpha) {
    constexpr int n = 4;
    for (int y = Bounds.Y; y < Bounds.Y + Bounds.H; ++y)
        for (int x = Bounds.X; x < Bounds.X + Bounds.W; ++x) {
            int hits = 0;
            double r = 0, g = 0, b = 0;
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) {
                    const double px = x + (sx + 0.5) / n, py = y + (sy + 0.5) / n;
                    if (!Shape(px, py)) continue;
                    ++hits;
                    const Rgb c = Colour(px, py);
                    r += RedOf(c);
                    g += GreenOf(c);
                    b += BlueOf(c);
                }
            if (hits == 0) continue;
            Img.Blend(x, y, MakeRgb(Channel(r / hits), Channel(g / hits), Channel(b / hits)),
                      Alpha * hits / double(n * n));
        }
}

void FillShape(Image& Img, Box Bounds, const Inside& Shape, Rgb Colour, double Alpha) {
    FillShape(Img, Bounds, Shape, [Colour](double, double) { return Colour; }, Alpha);
}

Inside RoundRect(double x, double y, double w, double h, double r) {
    r = std::max(0.0, std::min(r, std::min(w, h) / 2));
    return [=](double px, double py) {
        if (px < x || py < y || px > x + w || py > y + h) return false;
        const double cx = std::clamp(px, x + r, x + w - r), cy = std::clamp(py, y + r, y + h - r);
        const double dx = px - cx, dy = py - cy;
        return dx * dx + dy * dy <= r * r + 1e-9;
    };
}

Inside RoundRing(double x, double y, double w, double h, double r, double Thickness) {
    Inside outer = RoundRect(x, y, w, h, r);
    Inside inner = RoundRect(x + Thickness, y + Thickness, w - 2 * Thickness, h - 2 * Thickness,
                             std::max(0.0, r - Thickness));
    return [=](double px, double py) { return outer(px, py) && !inner(px, py); };
}

Inside Circle(double cx, double cy, double r) {
    return [=](double px, double py) { return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r; };
}

Inside Segment(double x0, double y0, double x1, double y1, double Thickness) {
    return [=](double px, double py) {
        const double vx = x1 - x0, vy = y1 - y0;
        const double len2 = vx * vx + vy * vy;
        double t = len2 > 0 ? ((px - x0) * vx + (py - y0) * vy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double dx = px - (x0 + t * vx), dy = py - (y0 + t * vy);
        return dx * dx + dy * dy <= Thickness * Thickness / 4;
    };
}

Inside Polygon(std::vector<std::pair<double, double>> Points) {
    return [pts = std::move(Points)](double px, double py) {
        bool in = false;
        for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const auto [xi, yi] = pts[i];
            const auto [xj, yj] = pts[j];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    };
}

Inside Union(Inside a, Inside b) {
    return [=](double px, double py) { return a(px, py) || b(px, py); };
}

Paint Vertical(double Top, double Bottom, Rgb From, Rgb To) {
    return [=](double, double py) {
        const double t = Bottom > Top ? std::clamp((py - Top) / (Bottom - Top), 0.0, 1.0) : 0;
        return MixRgb(From, To, t);
    };
}

std::vector<std::uint8_t> EncodeBMP24(const Image& Img) { return EncodeBMP(Img, 24); }
std::vector<std::uint8_t> EncodeBMP32(const Image& Img) { return EncodeBMP(Img, 32); }

Image Keyed(const Image& Img) {
    Image out(Img.Width(), Img.Height());
    for (int y = 0; y < Img.Height(); ++y)
        for (int x = 0; x < Img.Width(); ++x) {
            const Argb p = Img.At(x, y);
            out.At(x, y) = AlphaOf(p) < 128 ? KeyPixel : Opaque(p);
        }
    return out;
}

Image WithMaskRow(const Image& Img) {
    const int w = Img.Width(), h = Img.Height();
    // The clear pixels reached from the image's edge through clear pixels
    // (side by side, not across corners) lie outside the shape: they are the
    // key pixels that show the parent. Clear pixels enclosed by the shape
    // show what the control painted below through their mask instead.
    std::vector<char> outside(static_cast<std::size_t>(w) * h, 0);
    std::vector<std::pair<int, int>> todo;
    auto reach = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        char& o = outside[static_cast<std::size_t>(y) * w + x];
        if (o || AlphaOf(Img.At(x, y)) != 0) return;
        o = 1;
        todo.emplace_back(x, y);
    };
    for (int x = 0; x < w; ++x) reach(x, 0), reach(x, h - 1);
    for (int y = 0; y < h; ++y) reach(0, y), reach(w - 1, y);
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        reach(x - 1, y), reach(x + 1, y), reach(x, y - 1), reach(x, y + 1);
    }
    Image out(w, h * 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Argb p = Img.At(x, y);
            const int a = AlphaOf(p);
            out.At(x, y) = a != 0 ? Opaque(p) : outside[static_cast<std::size_t>(y) * w + x] ? KeyPixel : Opaque(0);
            const int m = 255 - a;
            out.At(x, y + h) = Opaque(static_cast<Rgb>((m << 16) | (m << 8) | m));
        }
    return out;
}

void DrawMasked(Image& Dest, const Image& Masked, Box Src, int x, int y) {
    const int half = Masked.Height() / 2;
    for (int sy = 0; sy < Src.H; ++sy)
        for (int sx = 0; sx < Src.W; ++sx) {
            const Argb p = Masked.At(Src.X + sx, Src.Y + sy);
            const int m = BlueOf(Masked.At(Src.X + sx, Src.Y + sy + half));
            if (p == KeyPixel) continue;
            Dest.Blend(x + sx, y + sy, p & 0xFFFFFF, (255 - m) / 255.0);
        }
}

}  // namespace skingen
