// Building blocks the skins are drawn from: frames of nine-part masks,
// marks, arrows and caption-button glyphs. Portable.
#pragma once

#include <optional>
#include <vector>

#include "SkinImage.h"

namespace skingen {

enum class Dir { Up, Down, Left, Right };

// Frames side by side (all of the first frame's height).
Image Strip(const std::vector<Image>& Frames);
Image Transposed(const Image& Img);
Image FlippedV(const Image& Img);
Image FlippedH(const Image& Img);

// One frame of a rounded control outline. Without a fill the inside stays
// transparent (the section's own colours show there).
struct FrameLook {
    Rgb Border = 0;
    double BorderAlpha = 1;
    double BorderWidth = 1;
    std::optional<std::pair<Rgb, Rgb>> Fill;   // vertical gradient
    double FillAlpha = 1;
    double Highlight = 0;   // white line inside the top edge (alpha)
    double Shade = 0;       // dark line inside the top edge, a pressed look (alpha)
    std::optional<Rgb> Focus;   // a second ring inside the border
};
Image DrawFrame(int W, int H, double Radius, const FrameLook& Look);
// The frame with its top-side key corners only (tabs): the bottom row is
// open and has no border line.
Image DrawTabFrame(int W, int H, double Radius, const FrameLook& Look);

void DrawCheck(Image& Img, double x, double y, double Size, Rgb Colour, double Thickness);
void DrawArrow(Image& Img, double cx, double cy, double Size, Dir D, Rgb Colour);

enum class CaptionGlyph { Close, Max, Min, Norm, Help };
void DrawCaptionGlyph(Image& Img, Box Area, CaptionGlyph G, Rgb Colour, double Thickness);
// A soft glow: a rounded rectangle whose alpha falls off over Margin pixels.
Image DrawGlow(int W, int H, int Margin, Rgb Colour, double Strength);

}  // namespace skingen
