#include "OwnSkins.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "Drawing.h"
#include "SkinNames.h"

namespace skingen {

const std::vector<Theme>& OwnThemes() {
    static const std::vector<Theme> themes = {
        // A light, calm look: near-white surfaces, grey outlines, blue accents.
        {"Daylight", "Light grey surfaces with blue accents",
         0xECEEF1, 0xF5F6F8, 0xE3E6EA, 0x1E2329, 0x9AA1A9, 0xA7AFB9, 0x6F9FD8, 0x2F7BD8, 0xFFFFFF,
         0xFFFFFF, 0xE6E9ED, 0xFFFFFF, 0xEDF3FB, 0xD5DAE0, 0xFFFFFF, 0x1E2329, 0xF7F8FA, 0xE1E5EA,
         0x1E2329, 0xF0F1F3, 0xE9EBEE, 0x7C838B, 0xD9443A, 0xFBFBFC, 0xEEF0F2, 4, 0.8},
        // A dark look for night reading: charcoal surfaces, amber accents.
        {"Basalt", "Charcoal surfaces with amber accents",
         0x2B2E33, 0x30343A, 0x26292D, 0xE4E6EA, 0x7A7F87, 0x4A4F57, 0x8A7350, 0xE8A33D, 0x1C1D20,
         0x454950, 0x383B41, 0x50555D, 0x41454C, 0x2A2C30, 0x1F2124, 0xE4E6EA, 0x24272B, 0x1B1D20,
         0xF0F1F3, 0x2A2D31, 0x25282B, 0x8D929A, 0xC8473D, 0x25282C, 0x2E3136, 3, 0.12},
        // A coloured look: teal title bars, pale aqua surfaces, coral accents, round corners.
        {"Lagoon", "Teal title bars and pale aqua surfaces with coral accents",
         0xDFF2F1, 0xEAF8F7, 0xCFEAE8, 0x0F3B3E, 0x7FA5A6, 0x5FA8A5, 0xE98B72, 0xFF7A59, 0xFFFFFF,
         0xFFFFFF, 0xD2EEEB, 0xFFFDFB, 0xFFE6DD, 0xB3DCD8, 0xFBFFFE, 0x0F3B3E, 0x1FA39E, 0x127A77,
         0xFFFFFF, 0x8CC9C5, 0x79B8B4, 0xEAF7F6, 0xE5533D, 0xF4FBFB, 0xD8EFEE, 7, 0.6},
    };
    return themes;
}

ShipForm ShippedAs(const Theme& T) { return T.Name == "Basalt" ? ShipForm::Packed : ShipForm::Folder; }

void WriteShippedSkin(const SkinPackage& Skin, ShipForm Form, const std::filesystem::path& SkinsFolder) {
    const std::filesystem::path folder = SkinsFolder / Skin.Name, packed = SkinsFolder / (Skin.Name + ".asz");
    std::filesystem::remove_all(folder);
    std::filesystem::remove(packed);
    if (Form == ShipForm::Folder)
        WriteSkinFolder(Skin, folder);
    else
        WritePackedSkinFile(Skin, packed);
}

namespace {

using B = SkinBuilder::Borders;

// Corner cells hold the whole rounded corner; the middle cell is 6 pixels.
int Cell(double radius) { return std::max(3, static_cast<int>(std::ceil(radius)) + 2); }
B Even(int c) { return {c, c, c, c}; }

struct States {
    FrameLook Normal, Hot, Pressed, Extra;
};

// Outlines of push buttons: normal, hot, pressed, focused.
States ButtonLooks(const Theme& t) {
    States s;
    s.Normal = {t.Border, 1, 1, {}, 1, t.Gloss, 0, {}};
    s.Hot = {t.BorderHot, 1, 1, {}, 1, t.Gloss, 0, {}};
    s.Pressed = {t.Accent, 1, 1, {}, 1, 0, 0.18, {}};
    s.Extra = {t.Border, 1, 1, {}, 1, t.Gloss, 0, t.Accent};
    return s;
}

Image Frames(int w, int h, double r, const std::vector<FrameLook>& looks) {
    std::vector<Image> f;
    for (const FrameLook& l : looks) f.push_back(DrawFrame(w, h, r, l));
    return Strip(f);
}

// Outlines of push buttons. The pieces between the corners are tiled along
// the button, so every row of them must look the same: the top highlight
// and the pressed shade end with the top corner cells (Cell rows).
Image ButtonFrames(int w, int h, double r, int cell, const std::vector<FrameLook>& looks) {
    std::vector<Image> f;
    for (const FrameLook& l : looks) {
        FrameLook plain = l;
        plain.Highlight = 0;
        plain.Shade = 0;
        Image img = DrawFrame(w, h, r, l);
        img.Copy(DrawFrame(w, h, r, plain).Crop({0, cell, w, h - cell}), 0, cell);
        f.push_back(img);
    }
    return Strip(f);
}

// A flat fill, for images kept with key-colour transparency.
FrameLook Filled(FrameLook l, Rgb fill) {
    l.Fill = std::make_pair(fill, fill);
    return l;
}

Image Texture(int w, int h, Rgb base, Rgb line) {
    Image img(w, h, Opaque(base));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) % 4 == 0) img.Blend(x, y, line, 0.25);
    return img;
}

// Subtle paper grain for the form background (the skin's JPEG texture).
Image Paper(const Theme& t) {
    Image img(128, 128, Opaque(t.Texture));
    std::mt19937 rng(0x5EED);
    std::uniform_real_distribution<double> n(-1, 1);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double v = n(rng) * 5 + std::sin((x + y * 0.3) * 0.2) * 2;
            img.Blend(x, y, v > 0 ? 0xFFFFFF : 0x000000, std::abs(v) / 100);
        }
    return img;
}

// Check box, radio and menu marks: three frames (normal, hot, pressed).
Image Marks(const Theme& t, int size, bool radio, int kind /* 0 unchecked, 1 checked, 2 grayed */) {
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image img(size, size);
        const Box all{0, 0, size, size};
        const Rgb border = f == 0 ? t.Border : t.Accent;
        const Rgb back = f == 2 ? MixRgb(t.EditBack, t.Accent, 0.2) : f == 1 ? MixRgb(t.EditBack, t.Accent, 0.08) : t.EditBack;
        const double r = radio ? size / 2.0 : std::min(3.0, t.Radius * 0.6);
        const bool filled = kind == 1 && !radio;
        FillShape(img, all, RoundRect(0, 0, size, size, r), filled ? (f == 2 ? Darker(t.Accent, 0.15) : t.Accent) : back);
        FillShape(img, all, RoundRing(0, 0, size, size, r, 1), filled ? Darker(t.Accent, 0.1) : border);
        if (kind == 1 && radio) FillShape(img, all, Circle(size / 2.0, size / 2.0, size * 0.22), t.Accent);
        if (kind == 1 && !radio) DrawCheck(img, 0, 0, size, t.AccentText, std::max(1.6, size / 7.0));
        if (kind == 2) {
            if (radio)
                FillShape(img, all, Circle(size / 2.0, size / 2.0, size * 0.2), t.TextDisabled);
            else
                FillShape(img, all, RoundRect(size * 0.28, size * 0.28, size * 0.44, size * 0.44, 1), t.TextDisabled);
        }
        frames.push_back(img);
    }
    return Strip(frames);
}

// The menu's check mark alone.
Image MenuCheck(const Theme& t) {
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image img(14, 14);
        DrawCheck(img, 0, 0, 14, f == 0 ? t.Text : t.Accent, 2);
        frames.push_back(img);
    }
    return Strip(frames);
}

// Caption buttons: normal, hot, pressed.
Image CaptionButton(const Theme& t, int w, int h, CaptionGlyph g, bool close) {
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image img(w, h);
        const Box all{0, 0, w, h};
        Rgb glyph = t.TitleText;
        if (f > 0) {
            const Rgb back = close ? t.Close : MixRgb(t.TitleBottom, t.TitleText, 0.18);
            FillShape(img, all, RoundRect(0.5, 0.5, w - 1, h - 1, std::min(4, t.Radius)),
                      f == 2 ? Darker(back, 0.18) : back);
            if (close) glyph = 0xFFFFFF;
        }
        DrawCaptionGlyph(img, {0, 0, w, h}, g, glyph, h >= 18 ? 1.5 : 1.2);
        frames.push_back(img);
    }
    return Strip(frames);
}

Image ArrowGlyph(const Theme& t, int size, Dir d) {
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image img(size, size);
        DrawArrow(img, size / 2.0, size / 2.0, size * 0.7, d, f == 0 ? t.Text : f == 1 ? t.Accent : Darker(t.Accent, 0.2));
        frames.push_back(img);
    }
    return Strip(frames);
}

// Three short grip lines across the thumb of a scroll bar.
Image ThumbGrip(const Theme& t, bool vertical) {
    std::vector<Image> frames;
    for (int f = 0; f < 3; ++f) {
        Image img(8, 8);
        for (int i = 0; i < 3; ++i) {
            const double p = 1.5 + i * 2.5;
            Inside line = vertical ? Segment(1, p, 7, p, 1) : Segment(p, 1, p, 7, 1);
            FillShape(img, {0, 0, 8, 8}, line, f == 0 ? t.Border : t.Accent);
        }
        frames.push_back(img);
    }
    return Strip(frames);
}

// A nine-part frame strip whose left and right side cells (Cell wide, the
// rows between the top and bottom cells) repeat their last row: a look that
// changes down the sides (a highlight along the top half) would otherwise
// end in a step where the painter stretches the sides.
Image EvenSides(Image Frames, int FrameWidth, int Cell) {
    const int h = Frames.Height();
    if (h <= 2 * Cell) return Frames;
    for (int f = 0; f + FrameWidth <= Frames.Width(); f += FrameWidth)
        for (int y = Cell; y < h - Cell - 1; ++y)
            for (int x = 0; x < FrameWidth; ++x)
                if (x < Cell || x >= FrameWidth - Cell) Frames.At(f + x, y) = Frames.At(f + x, h - Cell - 1);
    return Frames;
}

// The outline of one half of a scroll bar's track: the end where it meets
// the other half (at the thumb) is open, so two halves side by side show
// one track without a line between them. Size x Size frames.
Image OpenTrackFrames(int Size, const std::vector<FrameLook>& Looks, bool Vertical, bool OpenAtStart) {
    std::vector<Image> frames;
    const int extra = 4;
    for (const FrameLook& l : Looks) {
        const Image whole = Vertical ? DrawFrame(Size, Size + extra, 0, l) : DrawFrame(Size + extra, Size, 0, l);
        const int skip = OpenAtStart ? extra : 0;
        frames.push_back(whole.Crop(Vertical ? Box{0, skip, Size, Size} : Box{skip, 0, Size, Size}));
    }
    return Strip(frames);
}

Image Grip(const Theme& t, int w, int h, bool triangle) {
    Image img(w, h);
    for (int y = 1; y + 2 <= h; y += 3)
        for (int x = 1; x + 2 <= w; x += 3)
            if (!triangle || x + y >= w - 2) {
                img.Fill({x, y, 2, 2}, Opaque(t.Border));
                img.Blend(x + 1, y + 1, 0xFFFFFF, 0.3);
            }
    return img;
}

Image Thumb(const Theme& t, int w, int h) {
    std::vector<Image> frames;
    const States s = ButtonLooks(t);
    for (const FrameLook* l : {&s.Normal, &s.Hot, &s.Pressed}) {
        FrameLook look = *l;
        look.Fill = std::make_pair(l == &s.Normal ? t.ButtonTop : t.ButtonHotTop,
                                   l == &s.Pressed ? t.ButtonPressed : t.ButtonBottom);
        frames.push_back(DrawFrame(w, h, std::min(w, h) / 2.5, look));
    }
    return Strip(frames);
}

Image Ticks(const Theme& t, int w, int h) {
    return Strip({Image(w, h, Opaque(t.Border)), Image(w, h, Opaque(t.Accent))});
}

// The image behind the caption buttons (active, inactive). It is laid over
// the title from left of the buttons to the frame's right edge, so anything
// it showed would stand out of the title's gradient as a band with a step
// at its start and a cap over the frame: it is clear, and the title shows.
// It is tiled, as a stretched one squeezed into a low title lets its key
// colour through (see the push buttons).
Image ClearTitleBar(int size) { return Strip({Image(size, size), Image(size, size)}); }

void SectionColours(SkinBuilder& b, Rgb colour, Rgb hot, Rgb font, Rgb hotFont) {
    b.Colour("COLOR", colour);
    b.Colour("FONTCOLOR", font);
    b.Colour("HOTCOLOR", hot);
    b.Colour("HOTFONTCOLOR", hotFont);
}

void VerticalGradient(SkinBuilder& b, Rgb top, Rgb bottom, Rgb hotTop, Rgb hotBottom) {
    b.Gradient("GRADIENTDATA", {{top, bottom, 100}});
    b.Key("GRADIENTPERCENT", 100);
    b.Gradient("HOTGRADIENTDATA", {{hotTop, hotBottom, 100}});
    b.Key("HOTGRADIENTPERCENT", 100);
}

}  // namespace

SkinPackage BuildSkin(const Theme& t) {
    SkinBuilder b(t.Name);
    const double r = t.Radius;
    const int c = Cell(r);
    const int fw = 2 * c + 6;   // frame width and height of the outline masks
    const States btn = ButtonLooks(t);

    // ---------------------------------------------------------------- global
    b.Section("GLOBALINFO");
    b.Key("VERSION", "7.6");
    b.Key("AUTHOR", "Kestrune");
    b.Key("DESCRIPTION", t.Description);
    b.Key("MASTERBITMAP", "MASTER.BMP");
    SectionColours(b, t.Face, t.EditBack, t.Text, t.EditText);
    b.Colour("SHADOW1COLOR", Darker(t.Face, 0.5));
    b.Key("SHADOW1OFFSET", "0");
    b.Key("SHADOW1BLUR", "-1");
    b.Key("SHADOW1TRANSPARENCY", "0");
    b.Key("BORDERWIDTH", 4);
    b.Key("TITLEHEIGHT", 28);
    b.Key("MAXHEIGHT", 24);
    b.Key("FORMOFFSET", 4);
    b.Key("ALIGNOFFSET", 0);
    b.Key("CENTEROFFSET", 0);
    b.Key("BORDERMODE", 0);
    b.Colour("BORDERCOLOR", t.Border);
    b.Key("BISPACE", 2);
    b.Key("BIVALIGN", 0);
    b.Key("BIRIGHT", 4);
    b.Key("BILEFT", 4);
    b.Key("BITOP", 4);
    b.Key("BIKEEPHUE", 1);
    for (const char* k : {"BICONCLOSEGLOW", "BICONMAXGLOW", "BICONMINGLOW"}) b.Key(k, "5");
    for (const char* k : {"BICONCLOSEGLOWMARGIN", "BICONMAXGLOWMARGIN", "BICONMINGLOWMARGIN"}) b.Key(k, "5");
    b.Key("AEROBLUR", 0);
    b.Colour("EXTSHADOW", Darker(t.Face, 0.6));

    // Marks of check boxes and radio buttons.
    const char* marks[] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED", "RADIOGRAYED"};
    for (int i = 0; i < 6; ++i) b.Mask(marks[i], Marks(t, 15, i >= 3, i % 3), 3, Store::MasterGlyph);
    const char* small[] = {"SMALLUNCHECKED", "SMALLCHECKED", "SMALLGRAYED"};
    for (int i = 0; i < 3; ++i) b.Mask(small[i], Marks(t, 11, false, i), 3, Store::MasterGlyph);
    b.Mask("CHECK", MenuCheck(t), 3, Store::MasterGlyph);
    b.Mask("GRIPIMAGE", Grip(t, 12, 12, true), 1, Store::MasterGlyph);
    b.Mask("GRIPHORZ", Grip(t, 12, 6, false), 1, Store::MasterGlyph);
    b.Mask("GRIPVERT", Grip(t, 6, 12, false), 1, Store::MasterGlyph);

    // Caption buttons and their glows.
    struct Cap {
        const char* Name;
        int W, H;
        CaptionGlyph G;
        bool Close;
    };
    const Cap caps[] = {{"BICONCLOSE", 34, 21, CaptionGlyph::Close, true},
                        {"BICLOSEALONE", 34, 21, CaptionGlyph::Close, true},
                        {"BICONMAX", 28, 21, CaptionGlyph::Max, false},
                        {"BICONMIN", 28, 21, CaptionGlyph::Min, false},
                        {"BICONNORM", 28, 21, CaptionGlyph::Norm, false},
                        {"BICONHELP", 28, 21, CaptionGlyph::Help, false},
                        {"SICONCLOSE", 22, 16, CaptionGlyph::Close, true},
                        {"SICONMAX", 18, 16, CaptionGlyph::Max, false},
                        {"SICONMIN", 18, 16, CaptionGlyph::Min, false},
                        {"SICONNORM", 18, 16, CaptionGlyph::Norm, false},
                        {"SICONHELP", 18, 16, CaptionGlyph::Help, false},
                        {"TITLEBUTTON", 28, 21, CaptionGlyph::Help, false}};
    for (const Cap& cap : caps) {
        Image img = CaptionButton(t, cap.W, cap.H, cap.G, cap.Close);
        if (std::string(cap.Name) == "TITLEBUTTON") {
            // A user button: the frame only, the program draws its glyph.
            img = Strip({Image(cap.W, cap.H), CaptionButton(t, cap.W, cap.H, cap.G, false).Crop({cap.W, 0, cap.W, cap.H}),
                         CaptionButton(t, cap.W, cap.H, cap.G, false).Crop({2 * cap.W, 0, cap.W, cap.H})});
            for (int f = 1; f < 3; ++f) {
                // Clear the glyph of the hot and pressed frames, keep their backgrounds.
                Image plain = CaptionButton(t, cap.W, cap.H, CaptionGlyph::Min, false).Crop({f * cap.W, 0, cap.W, cap.H});
                img.Copy(plain, f * cap.W, 0);
            }
        }
        b.Mask(cap.Name, img, 3, Store::MasterGlyph);
    }
    for (const Cap& cap : caps) {
        const std::string name = cap.Name;
        if (std::find(GlowingCaptionButtons().begin(), GlowingCaptionButtons().end(), name) ==
            GlowingCaptionButtons().end())
            continue;
        const int m = 5;
        b.Mask(name + "GLOW0", DrawGlow(cap.W + 2 * m, cap.H + 2 * m, m + 2, cap.Close ? t.Close : t.Accent, 0.55), 1,
               Store::MasterGlyph);
    }
    // The frame of extended borders (active, inactive): a key-colour margin, then the outline.
    {
        const int m = 4, w = 2 * (m + 6) + 6;
        std::vector<Image> f;
        for (Rgb line : {t.Border, MixRgb(t.Border, t.Face, 0.5)}) {
            Image img(w, w);
            img.Fill({m, m, w - 2 * m, w - 2 * m}, Opaque(line));
            img.Fill({m + 1, m + 1, w - 2 * m - 2, w - 2 * m - 2}, Opaque(t.Face));
            f.push_back(img);
        }
        b.Mask("EXBORDER", Strip(f), 2, Store::OwnPNG, {m + 6, m + 6, m + 6, m + 6});
    }

    // ----------------------------------------------------------- forms
    b.Section("FORM");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    VerticalGradient(b, t.FaceTop, t.FaceBottom, t.FaceTop, t.FaceBottom);
    b.Key("IMAGEPERCENT", 12);
    b.Key("HOTIMAGEPERCENT", 12);
    {
        // Window frame: active and inactive, opaque with its outer corners keyed.
        std::vector<Image> f;
        for (Rgb line : {t.Border, MixRgb(t.Border, t.Face, 0.5)}) {
            FrameLook l{line, 1, 1, std::make_pair(t.Face, t.Face), 1, 0, 0, {}};
            f.push_back(DrawFrame(16, 16, 0, l));
        }
        b.Mask("BORDERSMASK", Strip(f), 2, Store::OwnPNG, {4, 4, 4, 4});
        b.Mask("TITLEBAR", ClearTitleBar(fw), 2, Store::MasterBorder, Even(c), 0);
        b.Jpeg("PATTERN", Paper(t));
    }
    b.Section("FORMTITLE");
    SectionColours(b, t.TitleTop, t.TitleTop, t.TitleText, t.TitleText);
    VerticalGradient(b, t.TitleTop, t.TitleBottom, t.TitleTop, t.TitleBottom);
    b.Section("CAPTION");
    b.Key("PARENTCLASS", "FORMTITLE");
    b.Section("DIALOG");
    b.Key("PARENTCLASS", "FORM");
    {
        std::vector<Image> f;
        for (Rgb line : {t.Border, MixRgb(t.Border, t.Face, 0.5)}) {
            FrameLook l{line, 1, 1, std::make_pair(t.Face, t.Face), 1, 0, 0, {}};
            f.push_back(DrawFrame(16, 16, 0, l));
        }
        b.Mask("BORDERSMASK", Strip(f), 2, Store::OwnPNG, {4, 4, 4, 4});
        b.Mask("TITLEBAR", ClearTitleBar(fw), 2, Store::MasterBorder, Even(c), 0);
    }
    b.Section("DIALOGTITLE");
    b.Key("PARENTCLASS", "FORMTITLE");
    b.Section("MDIAREA");
    SectionColours(b, Darker(t.Face, 0.08), Darker(t.Face, 0.08), t.Text, t.Text);

    // ----------------------------------------------------------- menus
    b.Section("MAINMENU");
    SectionColours(b, t.MenuBack, t.MenuBack, t.Text, t.Text);
    b.Mask("BORDERSMASK", DrawFrame(12, 12, 0, {t.Border, 1, 1, std::make_pair(t.MenuBack, t.MenuBack), 1, 0, 0, {}}), 1,
           Store::OwnPNG, {3, 3, 3, 3});
    b.Section("MENUITEM");
    SectionColours(b, t.MenuBack, MixRgb(t.MenuBack, t.Accent, 0.18), t.Text, t.Text);
    // A normal item shows the popup's background, icon column included.
    b.Key("TRANSPARENCY", 100);
    b.Key("HOTTRANSPARENCY", 0);
    b.Mask("BORDERSMASK",
           Frames(fw, fw, r, {{t.MenuBack, 0, 1, {}, 1, 0, 0, {}}, {t.Accent, 0.7, 1, {}, 1, 0, 0, {}}}), 2,
           Store::MasterBorder, Even(c), 0);   // tiled, as the push buttons
    b.Section("MENULINE");
    SectionColours(b, t.Face, MixRgb(t.Face, t.Accent, 0.15), t.Text, t.Text);
    b.Section("MENUCAPTION");
    SectionColours(b, Darker(t.MenuBack, 0.05), Darker(t.MenuBack, 0.05), t.TextDisabled, t.TextDisabled);
    b.Section("DIVIDERV");
    SectionColours(b, t.MenuBack, t.MenuBack, t.Text, t.Text);
    {
        // A divider item is two pixels high: the line is its top row.
        Image line(8, 2, Opaque(t.MenuBack));
        line.Fill({0, 0, 8, 1}, Opaque(MixRgb(t.Border, t.MenuBack, 0.3)));
        b.Mask("BORDERSMASK", line, 1, Store::OwnBMP, {1, 1, 1, 1});
    }
    b.Section("ICOLINE");
    SectionColours(b, Darker(t.MenuBack, 0.04), Darker(t.MenuBack, 0.04), t.Text, t.Text);
    b.Section("EXTRALINE");
    SectionColours(b, t.Accent, t.Accent, t.AccentText, t.AccentText);
    VerticalGradient(b, t.Accent, Darker(t.Accent, 0.25), t.Accent, Darker(t.Accent, 0.25));
    b.Section("SELECTION");
    SectionColours(b, MixRgb(t.EditBack, t.Accent, 0.35), t.Accent, t.EditText, t.AccentText);

    // ----------------------------------------------------------- buttons
    auto pushButton = [&](const char* name, bool focusFrame) {
        b.Section(name);
        SectionColours(b, t.ButtonBottom, t.ButtonHotBottom, t.Text, t.Text);
        VerticalGradient(b, t.ButtonTop, t.ButtonBottom, t.ButtonHotTop, t.ButtonHotBottom);
        b.Key("SHOWFOCUS", 1);
        b.Key("FADINGENABLED", "1");
        b.Key("FADINGITERATIONS", 4);
        std::vector<FrameLook> looks = {btn.Normal, btn.Hot, btn.Pressed};
        if (focusFrame) looks.push_back(btn.Extra);
        // Tiled: a button lower than the outline would squeeze a stretched
        // side through the filtered resampler, whose weights do not add up
        // to one, and the image would show through the mask there.
        b.Mask("BORDERSMASK", ButtonFrames(fw, fw, r, c, looks), static_cast<int>(looks.size()), Store::MasterBorder,
               Even(c), 0);
    };
    pushButton("BUTTON", true);
    {
        // A soft halo round hot buttons, drawn behind them in nine parts.
        const int m = 8;
        b.Key("GLOW", 1);
        b.Key("GLOWMARGIN", 3);
        b.Mask("GLOW0", DrawGlow(2 * m + 4, 2 * m + 4, m, t.Accent, 0.45), 1, Store::OwnAlphaPNG, {m, m, m, m});
    }
    pushButton("SPEEDBUTTON", true);
    auto flatButton = [&](const char* name) {
        b.Section(name);
        SectionColours(b, t.Face, MixRgb(t.Face, t.Accent, 0.12), t.Text, t.Text);
        b.Key("TRANSPARENCY", 100);
        b.Key("HOTTRANSPARENCY", 0);
        b.Mask("BORDERSMASK",
               Frames(fw, fw, r, {{t.Border, 0, 1, {}, 1, 0, 0, {}}, {t.BorderHot, 1, 1, {}, 1, t.Gloss * 0.5, 0, {}},
                                  {t.Accent, 1, 1, {}, 1, 0, 0.15, {}}}),
               3, Store::MasterBorder, Even(c));
    };
    flatButton("TOOLBUTTON");
    flatButton("SPEEDBUTTON_SMALL");
    flatButton("UPDOWNBTN");
    b.Section("WEBBUTTON");
    SectionColours(b, t.Face, t.Face, t.Accent, Darker(t.Accent, 0.2));
    b.Key("TRANSPARENCY", 100);
    b.Key("HOTTRANSPARENCY", 100);
    b.Section("CHECKBOX");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    b.Key("TRANSPARENCY", 100);
    b.Key("HOTTRANSPARENCY", 100);
    b.Key("SHOWFOCUS", 1);
    b.Section("RADIOBUTTON");
    b.Key("PARENTCLASS", "CHECKBOX");

    // ----------------------------------------------------------- edits and lists
    const std::vector<FrameLook> editLooks = {{t.Border, 1, 1, {}, 1, 0, 0, {}}, {t.Accent, 1, 1, {}, 1, 0, 0, t.Accent}};
    b.Section("EDIT");
    SectionColours(b, t.EditBack, t.EditBack, t.EditText, t.EditText);
    b.Mask("BORDERSMASK", Frames(fw, fw, std::min(r, 4.0), editLooks), 2, Store::MasterBorder, Even(Cell(std::min(r, 4.0))));
    b.Section("COMBOBOX");
    SectionColours(b, t.EditBack, t.EditBack, t.EditText, t.EditText);
    b.Mask("BORDERSMASK", Frames(fw, fw, std::min(r, 4.0), editLooks), 2, Store::MasterBorder, Even(Cell(std::min(r, 4.0))));
    b.Mask("GLYPHMASK", ArrowGlyph(t, 9, Dir::Down), 3, Store::MasterGlyph);
    b.Section("COMBOBTN");
    SectionColours(b, t.ButtonBottom, t.ButtonHotBottom, t.Text, t.Text);
    VerticalGradient(b, t.ButtonTop, t.ButtonBottom, t.ButtonHotTop, t.ButtonHotBottom);
    b.Mask("BORDERSMASK",
           Frames(fw, fw, std::min(r, 3.0), {{t.Border, 0.35, 1, {}, 1, t.Gloss * 0.6, 0, {}},
                                             {t.BorderHot, 0.8, 1, {}, 1, t.Gloss * 0.6, 0, {}},
                                             {t.Accent, 1, 1, {}, 1, 0, 0.15, {}}}),
           3, Store::MasterBorder, Even(Cell(std::min(r, 3.0))));
    b.Mask("PATTERN", Texture(16, 16, t.ButtonBottom, t.ButtonTop), 1, Store::MasterTexture);
    b.Mask("HOTPATTERN", Texture(16, 16, t.ButtonHotBottom, t.ButtonHotTop), 1, Store::MasterTexture);
    b.Section("COLHEADER");
    SectionColours(b, t.ButtonBottom, t.ButtonHotBottom, t.Text, t.Text);
    VerticalGradient(b, t.ButtonTop, t.ButtonBottom, t.ButtonHotTop, t.ButtonHotBottom);
    b.Mask("BORDERSMASK",
           Frames(8, 8, 0, {{t.Border, 0.6, 1, {}, 1, t.Gloss * 0.5, 0, {}}, {t.BorderHot, 1, 1, {}, 1, t.Gloss * 0.5, 0, {}},
                            {t.Accent, 1, 1, {}, 1, 0, 0.15, {}}}),
           3, Store::MasterBorder, {2, 2, 2, 2});

    // ----------------------------------------------------------- panels and bars
    b.Section("PANEL");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    VerticalGradient(b, t.FaceTop, t.FaceBottom, t.FaceTop, t.FaceBottom);
    b.Section("PANEL_LOW");
    SectionColours(b, Darker(t.Face, 0.03), Darker(t.Face, 0.03), t.Text, t.Text);
    b.Mask("BORDERSMASK",
           DrawFrame(12, 12, 0, {t.Border, 1, 1, std::make_pair(Darker(t.Face, 0.03), Darker(t.Face, 0.03)), 1, 0, 0.12, {}}),
           1, Store::OwnPNG, {2, 2, 2, 2});
    b.Section("GROUPBOX");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    b.Key("TRANSPARENCY", 100);
    b.Mask("BORDERSMASK", DrawFrame(fw, fw, r, Filled({t.Border, 1, 1, {}, 1, 0, 0, {}}, t.Face)), 1, Store::OwnPNG, Even(c));
    b.Section("TOOLBAR");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    VerticalGradient(b, t.FaceTop, t.FaceBottom, t.FaceTop, t.FaceBottom);
    {
        Image bar(8, 8, Opaque(t.Face));
        bar.Fill({0, 7, 8, 1}, Opaque(MixRgb(t.Border, t.Face, 0.4)));
        b.Mask("BORDERSMASK", bar, 1, Store::OwnBMP, {1, 1, 1, 1});
    }
    b.Section("BAR");
    b.Key("PARENTCLASS", "TOOLBAR");
    b.Section("BARTITLE");
    SectionColours(b, t.TitleBottom, t.TitleTop, t.TitleText, t.TitleText);
    VerticalGradient(b, t.TitleTop, t.TitleBottom, t.TitleTop, t.TitleBottom);
    b.Section("DRAGBAR");
    b.Key("PARENTCLASS", "BARTITLE");
    b.Section("SPLITTER");
    SectionColours(b, t.Face, MixRgb(t.Face, t.Accent, 0.3), t.Text, t.Text);
    b.Section("STATUSBAR");
    SectionColours(b, t.FaceBottom, t.FaceBottom, t.Text, t.Text);
    VerticalGradient(b, t.FaceBottom, Darker(t.FaceBottom, 0.04), t.FaceBottom, Darker(t.FaceBottom, 0.04));
    {
        Image bar(8, 8, Opaque(t.FaceBottom));
        bar.Fill({0, 0, 8, 1}, Opaque(MixRgb(t.Border, t.Face, 0.4)));
        b.Mask("BORDERSMASK", bar, 1, Store::OwnPNG, {1, 1, 1, 1});
        b.Mask("STATUSPANELMASK",
               DrawFrame(10, 10, 0, {MixRgb(t.Border, t.Face, 0.4), 1, 1, std::make_pair(t.FaceBottom, t.FaceBottom), 1, 0, 0, {}}),
               1, Store::OwnPNG, {2, 2, 2, 2});
    }
    b.Section("DIVIDER");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    {
        Image line(3, 8, Opaque(t.Face));
        line.Fill({1, 0, 1, 8}, Opaque(MixRgb(t.Border, t.Face, 0.3)));
        b.Mask("BORDERSMASK", line, 1, Store::OwnBMP, {1, 1, 1, 1});
    }

    // ----------------------------------------------------------- pages and tabs
    b.Section("TABSHEET");
    SectionColours(b, t.FaceTop, t.FaceTop, t.Text, t.Text);
    b.Section("PAGECONTROL");
    SectionColours(b, t.FaceTop, t.FaceTop, t.Text, t.Text);
    b.Mask("BORDERSMASK", DrawFrame(fw, fw, std::min(r, 3.0), Filled({t.Border, 1, 1, {}, 1, 0, 0, {}}, t.FaceTop)), 1,
           Store::OwnPNG, Even(Cell(std::min(r, 3.0))));
    for (const char* s : {"PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT"}) {
        b.Section(s);
        b.Key("PARENTCLASS", "PAGECONTROL");
    }
    {
        const int tw = 2 * c + 6, th = c + 8;
        std::vector<Image> top;
        for (const FrameLook& l : {FrameLook{t.Border, 1, 1, {}, 1, t.Gloss * 0.5, 0, {}},
                                   FrameLook{t.BorderHot, 1, 1, {}, 1, t.Gloss * 0.5, 0, {}},
                                   FrameLook{t.Border, 1, 1, {}, 1, 0, 0, {}}}) {
            Image tab = DrawTabFrame(tw, th, r, l);
            top.push_back(tab);
        }
        // The selected tab (third frame) wears an accent line along its outer edge.
        FillShape(top[2], {0, 0, tw, th}, RoundRect(c / 2.0, 1, tw - c, 2, 1), t.Accent);
        auto each = [&](Image (*f)(const Image&)) {
            std::vector<Image> out;
            for (const Image& i : top) out.push_back(f(i));
            return Strip(out);
        };
        const Image left = each(&Transposed);
        std::vector<Image> rightFrames;
        for (const Image& i : top) rightFrames.push_back(FlippedH(Transposed(i)));
        const struct {
            const char* Name;
            Image Img;
            B Cut;
        } tabs[] = {{"TABTOP", Strip(top), {c, c, c, 2}},
                    {"TABBOTTOM", each(&FlippedV), {c, 2, c, c}},
                    {"TABLEFT", left, {c, c, 2, c}},
                    {"TABRIGHT", Strip(rightFrames), {2, c, c, c}}};
        for (const auto& tab : tabs) {
            b.Section(tab.Name);
            SectionColours(b, t.FaceBottom, t.FaceTop, t.Text, t.Text);
            VerticalGradient(b, t.FaceTop, t.FaceBottom, t.FaceTop, t.FaceTop);
            b.Mask("BORDERSMASK", tab.Img, 3, Store::MasterBorder, tab.Cut);
        }
    }

    // ----------------------------------------------------------- progress and track bars
    b.Section("GAUGE");
    SectionColours(b, Darker(t.EditBack, 0.04), Darker(t.EditBack, 0.04), t.Text, t.Text);
    b.Mask("BORDERSMASK",
           Frames(9, 6, 2, {{t.Border, 1, 1, {}, 1, 0, 0.1, {}}, {t.BorderHot, 1, 1, {}, 1, 0, 0.1, {}},
                            {t.Accent, 1, 1, {}, 1, 0, 0.1, {}}}),
           3, Store::PlainBMP);
    for (const char* s : {"PROGRESSH", "PROGRESSV"}) {
        b.Section(s);
        SectionColours(b, t.Accent, t.Accent, t.AccentText, t.AccentText);
        VerticalGradient(b, Lighter(t.Accent, 0.25), Darker(t.Accent, 0.1), Lighter(t.Accent, 0.25), Darker(t.Accent, 0.1));
        b.Mask("BORDERSMASK", DrawFrame(8, 8, 2, {Darker(t.Accent, 0.2), 1, 1, {}, 1, 0.35, 0, {}}), 1, Store::MasterBorder,
               {3, 3, 3, 3});
    }
    b.Section("TRACKBAR");
    SectionColours(b, t.Face, t.Face, t.Text, t.Text);
    b.Key("TRANSPARENCY", 100);
    b.Mask("SLIDERCHANNEL",
           Frames(10, 6, 2.5, {{t.Border, 1, 1, std::make_pair(Darker(t.Face, 0.1), Darker(t.Face, 0.05)), 1, 0, 0, {}},
                               {t.Accent, 1, 1, std::make_pair(Darker(t.Face, 0.1), Darker(t.Face, 0.05)), 1, 0, 0, {}}}),
           2, Store::MasterBorder, {3, 2, 3, 2});
    b.Mask("SLIDERMASK", Thumb(t, 11, 19), 3, Store::MasterGlyph);
    b.Mask("SLIDERVMASK", Thumb(t, 19, 11), 3, Store::MasterGlyph);
    b.Mask("TICKHORZ", Ticks(t, 1, 4), 2, Store::MasterGlyph);
    b.Mask("TICKVERT", Ticks(t, 4, 1), 2, Store::MasterGlyph);

    // ----------------------------------------------------------- scroll bars
    const double sr = std::min(r, 4.0);
    const int sc = Cell(sr);
    const struct {
        const char* Name;
        Dir D;
    } arrows[] = {{"SCROLLBTNTOP", Dir::Up}, {"SCROLLBTNBOTTOM", Dir::Down}, {"SCROLLBTNLEFT", Dir::Left}, {"SCROLLBTNRIGHT", Dir::Right}};
    for (const auto& a : arrows) {
        b.Section(a.Name);
        SectionColours(b, t.Face, MixRgb(t.Face, t.Accent, 0.12), t.Text, t.Accent);
        b.Mask("BORDERSMASK",
               Frames(2 * sc + 4, 2 * sc + 4, sr, {{t.Border, 0, 1, {}, 1, 0, 0, {}}, {t.BorderHot, 0.8, 1, {}, 1, 0, 0, {}},
                                                   {t.Accent, 1, 1, {}, 1, 0, 0.12, {}}}),
               3, Store::MasterBorder, Even(sc), 3 /* stretched; no outline in the normal state */);
        b.Mask("GLYPHMASK", ArrowGlyph(t, 9, a.D), 3, Store::MasterGlyph);
        b.Mask("PATTERN", Texture(8, 8, t.Face, t.Border), 1, Store::MasterTexture);
        b.Mask("HOTPATTERN", Texture(8, 8, MixRgb(t.Face, t.Accent, 0.12), t.Accent), 1, Store::MasterTexture);
    }
    for (const char* s : {"SCROLLSLIDERH", "SCROLLSLIDERV"}) {
        b.Section(s);
        SectionColours(b, t.ButtonBottom, t.ButtonHotBottom, t.Text, t.Text);
        VerticalGradient(b, t.ButtonTop, t.ButtonBottom, t.ButtonHotTop, t.ButtonHotBottom);
        b.Mask("BORDERSMASK", EvenSides(Frames(2 * sc + 4, 2 * sc + 4, sr, {btn.Normal, btn.Hot, btn.Pressed}), 2 * sc + 4, sc),
               3, Store::MasterBorder, Even(sc));
        b.Mask("GLYPHMASK", ThumbGrip(t, std::string(s) == "SCROLLSLIDERV"), 3, Store::MasterGlyph);
        b.Mask("PATTERN", Texture(8, 8, t.ButtonBottom, t.ButtonTop), 1, Store::MasterTexture);
        b.Mask("HOTPATTERN", Texture(8, 8, t.ButtonHotBottom, t.ButtonHotTop), 1, Store::MasterTexture);
    }
    for (const char* s : {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"}) {
        b.Section(s);
        const Rgb track = MixRgb(t.Face, t.EditBack, 0.5);
        SectionColours(b, track, MixRgb(track, t.Accent, 0.15), t.Text, t.Text);
        // The first half ("...1...") is open at its end, the second at its
        // start; the open end has no cells, the closed one one-pixel cells.
        const std::string name = s;
        const bool vertical = name.back() == 'V', first = name.find('1') != std::string::npos;
        const B cut = vertical ? (first ? B{2, 1, 2, 0} : B{2, 0, 2, 1}) : (first ? B{1, 2, 0, 2} : B{0, 2, 1, 2});
        b.Mask("BORDERSMASK",
               OpenTrackFrames(8, {{t.Border, 0.25, 1, {}, 1, 0, 0, {}}, {t.Accent, 0.5, 1, {}, 1, 0, 0, {}}}, vertical, !first),
               2, Store::MasterBorder, cut);
        b.Mask("PATTERN", Texture(8, 8, track, t.Border), 1, Store::MasterTexture);
        b.Mask("HOTPATTERN", Texture(8, 8, MixRgb(track, t.Accent, 0.15), t.Accent), 1, Store::MasterTexture);
    }
    return b.Finish();
}

}  // namespace skingen
