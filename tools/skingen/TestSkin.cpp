#include "TestSkin.h"

#include <stdexcept>

#include "Drawing.h"
#include "SkinNames.h"

namespace skingen {

namespace {

// Colour number n spread over a 12-level lattice per channel (10, 30, ...,
// 230): 1728 distinct colours, neighbours far apart, never the key colour,
// black or white.
Rgb Lattice(int n) {
    constexpr int levels = 12, count = levels * levels * levels;
    if (n < 0 || n >= count) throw std::logic_error("the test skin ran out of colours");
    const int k = static_cast<int>((static_cast<long long>(n) * 1013) % count);
    const int r = k % levels, g = (k / levels) % levels, b = k / (levels * levels);
    return static_cast<Rgb>(((10 + 20 * r) << 16) | ((10 + 20 * g) << 8) | (10 + 20 * b));
}

int SectionNumber(const std::string& Section) {
    const auto& s = LookedUpSections();
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == Section) return static_cast<int>(i);
    throw std::logic_error("not a looked-up section: " + Section);
}

int MaskColourBase(const std::string& Section, const std::string& Mask, int Frame) {
    int n = static_cast<int>(LookedUpSections().size()) * 4;   // after the section and font colours
    for (const MaskName& m : LookedUpMasks()) {
        if (m.Section == Section && m.Mask == Mask) {
            if (Frame < 0 || Frame >= m.Frames) throw std::logic_error("no such frame");
            return n + Frame;
        }
        n += m.Frames;
    }
    throw std::logic_error("not a looked-up mask: " + Section + "." + Mask);
}

}  // namespace

Rgb TestSectionColour(const std::string& Section, int State) { return Lattice(SectionNumber(Section) * 4 + (State ? 1 : 0)); }
Rgb TestFontColour(const std::string& Section, int State) { return Lattice(SectionNumber(Section) * 4 + 2 + (State ? 1 : 0)); }
Rgb TestMaskColour(const std::string& Section, const std::string& Mask, int Frame) {
    return Lattice(MaskColourBase(Section, Mask, Frame));
}

SkinPackage BuildTestSkin() {
    SkinBuilder b("TESTSKIN");
    for (const std::string& s : LookedUpSections()) {
        b.Section(s);
        if (s == "GLOBALINFO") {
            b.Key("VERSION", "7.6");
            b.Key("AUTHOR", "Kestrune tests");
            b.Key("DESCRIPTION", "Flat colours for pixel checks");
            b.Key("MASTERBITMAP", "MASTER.BMP");
        }
        b.Key("STATES", 2);
        b.Colour("COLOR", TestSectionColour(s, 0));
        b.Colour("HOTCOLOR", TestSectionColour(s, 1));
        b.Colour("FONTCOLOR", TestFontColour(s, 0));
        b.Colour("HOTFONTCOLOR", TestFontColour(s, 1));
        for (const MaskName& m : LookedUpMasks()) {
            if (m.Section != s) continue;
            const int f = TestFrameSize, k = TestKeyCorner;
            Image img(f * m.Frames, f);
            for (int i = 0; i < m.Frames; ++i) {
                img.Fill({i * f, 0, f, f}, Opaque(TestMaskColour(m.Section, m.Mask, i)));
                if (m.Kind == MaskKind::Texture) continue;
                for (int cx : {i * f, i * f + f - k})
                    for (int cy : {0, f - k}) img.Fill({cx, cy, k, k}, KeyPixel);
            }
            const int w = TestBorderWidth;
            // Borders and textures in files of their own, glyphs in the master bitmap.
            if (m.Kind == MaskKind::Glyph)
                b.Mask(m.Mask, img, m.Frames, Store::MasterGlyph);
            else if (m.Kind == MaskKind::Texture)
                b.Mask(m.Mask, img, 1, Store::MasterTexture);
            else
                b.Mask(m.Mask, img, m.Frames, Store::OwnPNG, {w, w, w, w});
        }
    }
    return b.Finish();
}

void WriteTestSkin(const std::filesystem::path& Folder) { WriteSkinFolder(BuildTestSkin(), Folder); }

}  // namespace skingen
