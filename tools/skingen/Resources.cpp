#include "Resources.h"

#include <cmath>

#include "Drawing.h"

namespace skingen {

namespace {

// A soft shadow around a transparent centre: alpha falls from the frame
// outwards over the margin.
Image Shadow(double Strength) {
    const int m = ShadowMargin, size = 2 * m + 14;
    Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = std::max({m - (x + 0.5), (x + 0.5) - (size - m), 0.0});
            const double dy = std::max({m - (y + 0.5), (y + 0.5) - (size - m), 0.0});
            if (dx == 0 && dy == 0) continue;   // the window itself covers the centre
            const double d = std::sqrt(dx * dx + dy * dy) / m;
            if (d >= 1) continue;
            img.At(x, y) = static_cast<Argb>(std::lround(255 * Strength * std::pow(1 - d, 2))) << 24;
        }
    return img;
}

// Three 16 x 16 frames (normal, hot, disabled) of one small symbol.
Image SmallStrip(int Symbol) {
    Image img(48, 16);
    const Rgb colours[3] = {0x3A6EA5, 0x2F8FE8, 0x9AA1A9};
    for (int f = 0; f < 3; ++f) {
        const Rgb c = colours[f];
        const double x = f * 16;
        const Box all{0, 0, 48, 16};
        switch (Symbol) {
            case 0:   // a folder
                FillShape(img, all, RoundRect(x + 1.5, 4, 13, 10, 1.5), c);
                FillShape(img, all, RoundRect(x + 1.5, 2.5, 6, 3, 1), c);
                FillShape(img, all, RoundRect(x + 2.5, 6, 11, 1, 0), 0xFFFFFF, 0.6);
                break;
            case 1:   // a circular arrow (refresh)
                FillShape(img, all,
                          [x](double px, double py) {
                              const double dx = px - (x + 8), dy = py - 8, d = std::sqrt(dx * dx + dy * dy);
                              return d >= 3.8 && d <= 5.8 && !(dx > 0 && dy < 0 && dx > -dy * 0.2);
                          },
                          c);
                FillShape(img, all, Polygon({{x + 9.5, 0.8}, {x + 14.5, 4}, {x + 9.5, 6.8}}), c);
                break;
            case 2:   // a document
                FillShape(img, all, Polygon({{x + 3, 1}, {x + 10, 1}, {x + 13, 4}, {x + 13, 15}, {x + 3, 15}}), c);
                for (int i = 0; i < 3; ++i) FillShape(img, all, RoundRect(x + 5, 6 + i * 2.5, 6, 1, 0), 0xFFFFFF, 0.8);
                break;
            case 3:   // a pencil (edit)
                FillShape(img, all, Segment(x + 3.5, 12.5, x + 12, 4, 3), c);
                FillShape(img, all, Polygon({{x + 1.5, 14.5}, {x + 2.2, 11}, {x + 5, 13.8}}), c);
                break;
            default:   // a cross (close)
                FillShape(img, all, Union(Segment(x + 4, 4, x + 12, 12, 2.2), Segment(x + 4, 12, x + 12, 4, 2.2)), c);
                break;
        }
    }
    return img;
}

}  // namespace

std::vector<ResourceImage> ResourceImages() {
    return {{"acSHDA", Shadow(0.45)}, {"acSHDI", Shadow(0.25)}, {"SF", SmallStrip(0)}, {"SR", SmallStrip(1)},
            {"SD", SmallStrip(2)},    {"SE", SmallStrip(3)},    {"SC", SmallStrip(4)}};
}

}  // namespace skingen
