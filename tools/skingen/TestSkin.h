// The test skin: every looked-up section and mask in flat colours that tests
// can find again in captured pixels. Each section has its own colour and
// font colour per state (normal, hot), each frame of each mask its own flat
// colour, and every mask frame has key-colour corner pixels. No two of these
// colours are equal, none is the key colour, black or white.
#pragma once

#include <filesystem>
#include <string>

#include "SkinPackage.h"

namespace skingen {

// Section colours; State 0 is the normal, 1 the hot look. Colours are 0xRRGGBB.
Rgb TestSectionColour(const std::string& Section, int State);
Rgb TestFontColour(const std::string& Section, int State);
// The flat colour of one frame of a mask.
Rgb TestMaskColour(const std::string& Section, const std::string& Mask, int Frame);
// Size of one mask frame, and of the key-colour square in each of its corners.
constexpr int TestFrameSize = 12;
constexpr int TestKeyCorner = 2;
constexpr int TestBorderWidth = 4;

SkinPackage BuildTestSkin();
// Writes the test skin into Folder (Options.dat and its images).
void WriteTestSkin(const std::filesystem::path& Folder);

}  // namespace skingen
