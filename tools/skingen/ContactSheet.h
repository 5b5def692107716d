// A contact sheet of the own skins: one small mock window per skin, side by
// side, drawn from the skins' own images, for people to look at.
#pragma once

#include <vector>

#include "OwnSkins.h"

namespace skingen {

Image ContactSheet(const std::vector<Theme>& Themes, const std::vector<SkinPackage>& Skins);

}  // namespace skingen
