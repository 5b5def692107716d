// The sections and masks that the engine looks up by name for the program's
// window, its controls, the adapters of its standard dialogs, its menus and
// its caption buttons. Every skin the generator writes provides all of them
// (a mask may come from the section's PARENTCLASS), and the tests check that
// each resolves in a loaded skin. Keep this the one list.
#pragma once

#include <string>
#include <vector>

namespace skingen {

// The kind of image a mask is, which decides how it is drawn.
enum class MaskKind {
    Border,    // nine-part frame, one frame per state
    Glyph,     // small image, states side by side, with its mask row
    Texture,   // tiled pattern ("PATTERN", "HOTPATTERN")
};

struct MaskName {
    std::string Section;
    std::string Mask;
    MaskKind Kind;
    int Frames;   // states side by side
};

const std::vector<std::string>& LookedUpSections();
const std::vector<MaskName>& LookedUpMasks();
// The caption-button images of "GLOBALINFO" that have a glow mask (the
// image's name followed by "GLOW0").
const std::vector<std::string>& GlowingCaptionButtons();

}  // namespace skingen
