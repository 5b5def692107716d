// A skin in memory (its ini text and its files) and the helper that builds
// one: sections and keys in order, images in the master bitmap ("@", "^",
// "~" values) or in files of their own ("!" values, ".BMP" names, JPEG
// textures). Writes the skin as a folder and as a packed ".asz" file.
// Portable: no Windows header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "SkinImage.h"

namespace skingen {

struct SkinFile {
    std::string Name;   // upper case, as the ini names it
    std::vector<std::uint8_t> Data;
};

struct IniSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;
};

struct SkinPackage {
    std::string Name;   // the folder name and the name of the ".asz" file
    std::vector<IniSection> Sections;
    std::vector<SkinFile> Files;
    // Images for the contact sheet, by section and key, as drawn (soft alpha).
    std::vector<std::pair<std::string, Image>> Previews;

    std::string OptionsText() const;   // "Options.dat", CR LF lines
    const IniSection* FindSection(const std::string& Name) const;
    const std::string* Value(const std::string& Section, const std::string& Key) const;
    const SkinFile* FindFile(const std::string& Name) const;
};

// Writes Folder/Options.dat and every file (the folder is made when missing).
void WriteSkinFolder(const SkinPackage& Skin, const std::filesystem::path& Folder);
// Writes the packed skin: "Options.dat" first, then the files in order.
void WritePackedSkinFile(const SkinPackage& Skin, const std::filesystem::path& File);
std::vector<std::uint8_t> PackSkin(const SkinPackage& Skin);
void WriteBytes(const std::filesystem::path& File, const std::vector<std::uint8_t>& Bytes);

// How an image is stored.
enum class Store {
    MasterGlyph,     // "@": in the master bitmap, image row and mask row
    MasterBorder,    // "^": in the master bitmap, image row and mask row
    MasterTexture,   // "~": in the master bitmap, opaque
    OwnPNG,          // "!NAME.PNG!...": own 32-bit PNG, key-colour transparency
    OwnAlphaPNG,     // "!NAME.PNG!...": own 32-bit PNG keeping its soft alpha (glows)
    OwnBMP,          // "!NAME.BMP!...": own 24-bit BMP, key-colour transparency
    PlainBMP,        // "NAME.BMP": own 24-bit BMP, three frames over their mask row
};

// WL, WT, WR, WB of a nine-part mask.
struct MaskBorders {
    int L = 0, T = 0, R = 0, B = 0;
};

class SkinBuilder {
public:
    explicit SkinBuilder(std::string Name);

    void Section(const std::string& Name);
    void Key(const std::string& Key, const std::string& Value);
    void Key(const std::string& Key, long long Value);
    void Colour(const std::string& Key, Rgb Value);   // as a TColor number
    // A vertical gradient text: pieces of (from, to, percent).
    void Gradient(const std::string& Key, const std::vector<std::tuple<Rgb, Rgb, int>>& Pieces, int Mode = 0);

    // Adds an image of the current section under Key. Img holds Frames
    // states side by side (with soft alpha); Borders are WL, WT, WR, WB of a
    // nine-part mask. Own files are named SECTION_KEY.PNG (or .BMP).
    using Borders = MaskBorders;
    void Mask(const std::string& Key, const Image& Img, int Frames, Store How, Borders B = {}, int DrawMode = 1);
    // A JPEG texture (the pattern step), named SECTION_KEY.JPG.
    void Jpeg(const std::string& Key, const Image& Img, int Quality = 90);

    // Lays out the master bitmap (32-bit BMP, "MASTER.BMP") and returns the skin.
    SkinPackage Finish();

private:
    Box Place(const Image& Img);
    std::string OwnName(const std::string& Key, const char* Ext) const;

    SkinPackage FSkin;
    std::vector<std::pair<Box, Image>> FMaster;
    int FShelfX = 0, FShelfY = 0, FShelfH = 0;
    static constexpr int MasterWidth = 512;
};

// Fixed-width decimal fields of the master-bitmap values.
std::string Digits(int Value, int Width);

}  // namespace skingen
