// Kestrune's own skins: three descriptions (a light, a dark and a coloured
// look) and the drawing that turns a description into a skin.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "SkinPackage.h"

namespace skingen {

// The look of one skin. Colours are 0xRRGGBB.
struct Theme {
    std::string Name;          // folder and packed-file name
    std::string Description;   // plain words only (no file names)
    Rgb Face, FaceTop, FaceBottom;                  // window background gradient
    Rgb Text, TextDisabled;
    Rgb Border, BorderHot;                          // control outlines
    Rgb Accent, AccentText;                         // selection, focus, progress, checked marks
    Rgb ButtonTop, ButtonBottom, ButtonHotTop, ButtonHotBottom, ButtonPressed;
    Rgb EditBack, EditText;
    Rgb TitleTop, TitleBottom, TitleText;           // active title bar
    Rgb TitleInactiveTop, TitleInactiveBottom, TitleInactiveText;
    Rgb Close;                                      // hot close button
    Rgb MenuBack;
    Rgb Texture;                                    // base of the JPEG paper texture
    int Radius;                                     // corner radius of controls
    double Gloss;                                   // strength of the top highlight (0..1)
};

const std::vector<Theme>& OwnThemes();
SkinPackage BuildSkin(const Theme& T);

// How a skin ships in the program's Skins folder: each once, some as a
// folder and some as a packed ".asz" file, so that both forms are in use.
enum class ShipForm { Folder, Packed };
ShipForm ShippedAs(const Theme& T);
// Writes the skin into SkinsFolder in the given form, removing the other
// form of the same name left from an earlier build.
void WriteShippedSkin(const SkinPackage& Skin, ShipForm Form, const std::filesystem::path& SkinsFolder);

}  // namespace skingen
