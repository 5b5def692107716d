#include "Drawing.h"

#include <algorithm>
#include <cmath>

namespace skingen {

Image Strip(const std::vector<Image>& Frames) {
    int w = 0;
    for (const Image& f : Frames) w += f.Width();
    Image out(w, Frames.empty() ? 0 : Frames.front().Height());
    int x = 0;
    for (const Image& f : Frames) {
        out.Copy(f, x, 0);
        x += f.Width();
    }
    return out;
}

Image Transposed(const Image& Img) {
    Image out(Img.Height(), Img.Width());
    for (int y = 0; y < Img.Height(); ++y)
        for (int x = 0; x < Img.Width(); ++x) out.At(y, x) = Img.At(x, y);
    return out;
}

Image FlippedV(const Image& Img) {
    Image out(Img.Width(), Img.Height());
    for (int y = 0; y < Img.Height(); ++y)
        for (int x = 0; x < Img.Width(); ++x) out.At(x, Img.Height() - 1 - y) = Img.At(x, y);
    return out;
}

Image FlippedH(const Image& Img) {
    Image out(Img.Width(), Img.Height());
    for (int y = 0; y < Img.Height(); ++y)
        for (int x = 0; x < Img.Width(); ++x) out.At(Img.Width() - 1 - x, y) = Img.At(x, y);
    return out;
}

Image DrawFrame(int W, int H, double Radius, const FrameLook& L) {
    Image img(W, H);
    const Box all{0, 0, W, H};
    if (L.Fill)
        FillShape(img, all, RoundRect(0, 0, W, H, Radius), Vertical(0, H, L.Fill->first, L.Fill->second), L.FillAlpha);
    const double b = L.BorderWidth;
    if (L.Highlight > 0) {
        Inside ring = RoundRing(b, b, W - 2 * b, H - 2 * b, std::max(0.0, Radius - b), 1);
        FillShape(img, all, [ring, H](double x, double y) { return y < H * 0.5 && ring(x, y); }, 0xFFFFFF,
                  L.Highlight);
    }
    if (L.Shade > 0) {
        Inside ring = RoundRing(b, b, W - 2 * b, H - 2 * b, std::max(0.0, Radius - b), 1.5);
        FillShape(img, all, [ring, H](double x, double y) { return y < H * 0.4 && ring(x, y); }, 0x000000, L.Shade);
    }
    if (L.Focus) FillShape(img, all, RoundRing(b, b, W - 2 * b, H - 2 * b, std::max(0.0, Radius - b), 1.2), *L.Focus, 0.9);
    FillShape(img, all, RoundRing(0, 0, W, H, Radius, b), L.Border, L.BorderAlpha);
    return img;
}

Image DrawTabFrame(int W, int H, double Radius, const FrameLook& L) {
    // A frame taller than the tab, cut at the bottom: the tab opens towards its page.
    const int extra = static_cast<int>(std::ceil(Radius)) + 2;
    Image tall = DrawFrame(W, H + extra, Radius, L);
    return tall.Crop({0, 0, W, H});
}

void DrawCheck(Image& Img, double x, double y, double S, Rgb Colour, double Thickness) {
    const Box all{0, 0, Img.Width(), Img.Height()};
    const double ax = x + S * 0.18, ay = y + S * 0.52, bx = x + S * 0.42, by = y + S * 0.76, cx = x + S * 0.84,
                 cy = y + S * 0.26;
    FillShape(Img, all, Union(Segment(ax, ay, bx, by, Thickness), Segment(bx, by, cx, cy, Thickness)), Colour);
}

void DrawArrow(Image& Img, double cx, double cy, double S, Dir D, Rgb Colour) {
    const double h = S / 2, q = S / 4;
    std::vector<std::pair<double, double>> p;
    switch (D) {
        case Dir::Up: p = {{cx - h, cy + q}, {cx + h, cy + q}, {cx, cy - q}}; break;
        case Dir::Down: p = {{cx - h, cy - q}, {cx + h, cy - q}, {cx, cy + q}}; break;
        case Dir::Left: p = {{cx + q, cy - h}, {cx + q, cy + h}, {cx - q, cy}}; break;
        case Dir::Right: p = {{cx - q, cy - h}, {cx - q, cy + h}, {cx + q, cy}}; break;
    }
    FillShape(Img, {0, 0, Img.Width(), Img.Height()}, Polygon(p), Colour);
}

void DrawCaptionGlyph(Image& Img, Box A, CaptionGlyph G, Rgb Colour, double T) {
    const Box all{0, 0, Img.Width(), Img.Height()};
    const double s = std::min(A.W, A.H) * 0.42;
    const double cx = A.X + A.W / 2.0, cy = A.Y + A.H / 2.0;
    const double l = cx - s / 2, t = cy - s / 2, r = cx + s / 2, b = cy + s / 2;
    switch (G) {
        case CaptionGlyph::Close:
            FillShape(Img, all, Union(Segment(l, t, r, b, T), Segment(l, b, r, t, T)), Colour);
            break;
        case CaptionGlyph::Max:
            FillShape(Img, all, RoundRing(l, t, s, s, 1, T * 0.8), Colour);
            FillShape(Img, all, RoundRect(l, t, s, T * 1.3, 0.5), Colour);
            break;
        case CaptionGlyph::Min:
            FillShape(Img, all, RoundRect(l, b - T, s, T, T / 2), Colour);
            break;
        case CaptionGlyph::Norm: {
            const double k = s * 0.72, d = s - k;
            FillShape(Img, all, RoundRing(l + d, t, k, k, 1, T * 0.8), Colour);
            Inside front = RoundRing(l, t + d, k, k, 1, T * 0.8);
            Inside back = RoundRect(l + T * 0.8, t + d + T * 0.8, k - 1.6 * T, k - 1.6 * T, 0);
            // The front window hides the back one where they overlap.
            for (int y = A.Y; y < A.Y + A.H; ++y)
                for (int x = A.X; x < A.X + A.W; ++x)
                    if (back(x + 0.5, y + 0.5)) Img.At(x, y) = Img.At(x, y) & 0x00FFFFFF;
            FillShape(Img, all, front, Colour);
            break;
        }
        case CaptionGlyph::Help: {
            const double rr = s * 0.3;
            Inside arc = [=](double x, double y) {
                const double dx = x - cx, dy = y - (t + rr);
                const double d = std::sqrt(dx * dx + dy * dy);
                return std::abs(d - rr) <= T / 2 && !(dx < 0 && dy > 0);
            };
            FillShape(Img, all, Union(arc, Segment(cx, t + 2 * rr, cx, b - T * 1.6, T)), Colour);
            FillShape(Img, all, Circle(cx, b - T * 0.3, T * 0.65), Colour);
            break;
        }
    }
}

Image DrawGlow(int W, int H, int Margin, Rgb Colour, double Strength) {
    Image img(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double dx = std::max({Margin - (x + 0.5), (x + 0.5) - (W - Margin), 0.0});
            const double dy = std::max({Margin - (y + 0.5), (y + 0.5) - (H - Margin), 0.0});
            const double d = std::sqrt(dx * dx + dy * dy) / std::max(Margin, 1);
            if (d >= 1) continue;
            const double a = Strength * (1 - d) * (1 - d);
            img.Blend(x, y, Colour, a);
        }
    return img;
}

}  // namespace skingen
