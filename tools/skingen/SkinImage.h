// Images of the skin generator: a small 32-bit canvas with anti-aliased
// shapes and gradients, and the encoders of the skin's file formats (BMP,
// PNG, JPEG). Portable: no Windows header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skingen {

// Pixels are 0xAARRGGBB words with straight (not premultiplied) alpha.
using Argb = std::uint32_t;
// Colours of the descriptions are 0xRRGGBB.
using Rgb = std::uint32_t;

// The transparent pixel of the skin's 32-bit images.
constexpr Argb KeyPixel = 0x00FF00FF;
// The same colour as a plain RGB value (24-bit images).
constexpr Rgb KeyRgb = 0xFF00FF;

constexpr Argb Opaque(Rgb c) { return 0xFF000000u | (c & 0xFFFFFFu); }
constexpr int RedOf(Argb c) { return (c >> 16) & 0xFF; }
constexpr int GreenOf(Argb c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(Argb c) { return c & 0xFF; }
constexpr int AlphaOf(Argb c) { return (c >> 24) & 0xFF; }
// The colour of an ini value: blue in bits 16-23, red in bits 0-7.
constexpr std::int32_t ToTColor(Rgb c) {
    return static_cast<std::int32_t>(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
}

Rgb MixRgb(Rgb a, Rgb b, double t);   // t = 0 gives a, 1 gives b
Rgb Lighter(Rgb c, double amount);    // towards white
Rgb Darker(Rgb c, double amount);     // towards black

struct Box {
    int X = 0, Y = 0, W = 0, H = 0;
};

class Image {
public:
    Image() = default;
    Image(int Width, int Height, Argb Fill = 0);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    Argb& At(int x, int y) { return FPixels[static_cast<std::size_t>(y) * FWidth + x]; }
    Argb At(int x, int y) const { return FPixels[static_cast<std::size_t>(y) * FWidth + x]; }
    const std::vector<Argb>& Pixels() const { return FPixels; }

    // Source-over of colour c with coverage a (0..1); pixels outside are ignored.
    void Blend(int x, int y, Rgb c, double a);
    void Fill(Box b, Argb c);   // replaces the pixels
    void FillVertical(Box b, Rgb Top, Rgb Bottom, double Alpha = 1);   // blends
    // Copies (replaces) or blends another image at (x, y).
    void Copy(const Image& Src, int x, int y);
    void Over(const Image& Src, int x, int y);
    Image Crop(Box b) const;
    // Nearest-neighbour resize.
    Image Scaled(int Width, int Height) const;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<Argb> FPixels;
};

// Anti-aliased shapes (4 x 4 samples a pixel). Coordinates are in pixels; a
// pixel's centre lies at (x + 0.5, y + 0.5).
using Inside = std::function<bool(double x, double y)>;
// Colour per sample; may vary over the shape (gradients).
using Paint = std::function<Rgb(double x, double y)>;
void FillShape(Image& Img, Box Bounds, const Inside& Shape, const Paint& Colour, double Alpha = 1);
void FillShape(Image& Img, Box Bounds, const Inside& Shape, Rgb Colour, double Alpha = 1);

Inside RoundRect(double x, double y, double w, double h, double r);
// The ring between a rounded rectangle and the same one shrunk by Thickness.
Inside RoundRing(double x, double y, double w, double h, double r, double Thickness);
Inside Circle(double cx, double cy, double r);
Inside Segment(double x0, double y0, double x1, double y1, double Thickness);
Inside Polygon(std::vector<std::pair<double, double>> Points);
Inside Union(Inside a, Inside b);
Paint Vertical(double Top, double Bottom, Rgb From, Rgb To);

// Encoders. BMP: bottom-up, 24-bit (alpha dropped) or 32-bit (alpha kept).
// PNG: 32-bit RGBA. JPEG: alpha dropped.
std::vector<std::uint8_t> EncodeBMP24(const Image& Img);
std::vector<std::uint8_t> EncodeBMP32(const Image& Img);
std::vector<std::uint8_t> EncodePNG(const Image& Img);
std::vector<std::uint8_t> EncodeJPEG(const Image& Img, int Quality);

// The skin's transparency conventions, from an image with soft alpha:
// - Keyed: pixels of alpha below 128 become the key pixel 0x00FF00FF, the
//   others opaque.
// - WithMaskRow: the image above its mask (twice the height); the image row
//   holds the colours, the mask row the grey level 255 - alpha (0 shows the
//   image, 255 keeps what lies below). Clear pixels reached from the edge
//   through clear pixels are the key pixel (the parent shows there); clear
//   pixels the shape encloses are black under a mask of 255.
Image Keyed(const Image& Img);
Image WithMaskRow(const Image& Img);
// Composes an image with a mask row (as made by WithMaskRow) over Dest at (x, y).
void DrawMasked(Image& Dest, const Image& Masked, Box Src, int x, int y);

}  // namespace skingen
