// The program's own resource images: the shadow templates of extended
// borders ("acSHDA" for the active, "acSHDI" for the inactive form) and the
// five 48 x 16 strips "SF", "SR", "SD", "SE", "SC" of the engine's image list.
#pragma once

#include <string>
#include <vector>

#include "SkinImage.h"

namespace skingen {

struct ResourceImage {
    std::string Name;   // the RCDATA name; the file is Name + ".png"
    Image Img;
};

// Shadow templates are nine-part images with this margin on every side.
constexpr int ShadowMargin = 9;
std::vector<ResourceImage> ResourceImages();

}  // namespace skingen
