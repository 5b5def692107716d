#include "ContactSheet.h"

#include <stdexcept>

namespace skingen {

namespace {

const Image& Preview(const SkinPackage& s, const std::string& name) {
    for (const auto& [n, img] : s.Previews)
        if (n == name) return img;
    throw std::logic_error("no preview " + name);
}

// Draws frame f of a nine-part image (Frames side by side, corner cells of
// size Cut) over Dest at Box d: corners as they are, sides and centre stretched.
void Nine(Image& Dest, const Image& Src, int Frames, int f, int Cut, Box d) {
    const int fw = Src.Width() / Frames, fh = Src.Height(), x0 = f * fw;
    const int sx[4] = {0, Cut, fw - Cut, fw}, sy[4] = {0, Cut, fh - Cut, fh};
    const int dx[4] = {0, Cut, d.W - Cut, d.W}, dy[4] = {0, Cut, d.H - Cut, d.H};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const Box s{x0 + sx[i], sy[j], sx[i + 1] - sx[i], sy[j + 1] - sy[j]};
            const int w = dx[i + 1] - dx[i], h = dy[j + 1] - dy[j];
            if (s.W <= 0 || s.H <= 0 || w <= 0 || h <= 0) continue;
            Dest.Over(Src.Crop(s).Scaled(w, h), d.X + dx[i], d.Y + dy[j]);
        }
}

void Frame(Image& Dest, const Image& Src, int Frames, int f, int x, int y, int scale = 1) {
    const int fw = Src.Width() / Frames;
    Image one = Src.Crop({f * fw, 0, fw, Src.Height()});
    Dest.Over(one.Scaled(fw * scale, one.Height() * scale), x, y);
}

int CornerCell(int radius) { return std::max(3, radius + 2); }

Image Panel(const Theme& t, const SkinPackage& s) {
    constexpr int W = 420, H = 300;
    Image img(W, H, Opaque(t.Border));
    const int c = CornerCell(t.Radius);
    // Window: frame, title bar, caption buttons.
    img.FillVertical({1, 1, W - 2, H - 2}, t.FaceTop, t.FaceBottom);
    img.FillVertical({1, 1, W - 2, 28}, t.TitleTop, t.TitleBottom);
    int bx = W - 6;
    for (const char* n : {"BICONCLOSE", "BICONMAX", "BICONMIN"}) {
        const Image& cap = Preview(s, std::string("GLOBALINFO.") + n);
        bx -= cap.Width() / 3 + 2;
        Frame(img, cap, 3, std::string(n) == "BICONMIN" ? 1 : 0, bx, 4);
    }
    // Push buttons: normal, hot, pressed, focused.
    const Image& button = Preview(s, "BUTTON.BORDERSMASK");
    for (int f = 0; f < 4; ++f) {
        const Box b{12 + f * 100, 44, 90, 26};
        img.FillVertical(b, f == 1 ? t.ButtonHotTop : t.ButtonTop, f == 1 ? t.ButtonHotBottom : f == 2 ? t.ButtonPressed : t.ButtonBottom);
        Nine(img, button, 4, f, c, b);
    }
    // Edits: normal and focused.
    const Image& edit = Preview(s, "EDIT.BORDERSMASK");
    const int ec = CornerCell(std::min(t.Radius, 4));
    for (int f = 0; f < 2; ++f) {
        const Box b{12 + f * 200, 84, 190, 24};
        img.Fill(b, Opaque(t.EditBack));
        Nine(img, edit, 2, f, ec, b);
    }
    // Check boxes and radio buttons, twice their size.
    int x = 12;
    for (const char* n : {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED", "RADIOGRAYED"}) {
        Frame(img, Preview(s, std::string("GLOBALINFO.") + n), 3, 0, x, 120, 2);
        x += 40;
    }
    Frame(img, Preview(s, "GLOBALINFO.BOXCHECKED"), 3, 1, x, 120, 2);
    // Tabs over a page.
    const Image& tab = Preview(s, "TABTOP.BORDERSMASK");
    const Image& page = Preview(s, "PAGECONTROL.BORDERSMASK");
    Nine(img, page, 1, 0, CornerCell(std::min(t.Radius, 3)), {12, 186, 260, 60});
    for (int f = 0; f < 3; ++f) {
        const int frame = f == 0 ? 2 : f == 1 ? 0 : 1;
        const Box b{14 + f * 84, 162, 80, 25};
        img.FillVertical(b, t.FaceTop, frame == 2 ? t.FaceTop : t.FaceBottom);
        Nine(img, tab, 3, frame, c, b);
    }
    // A scroll bar: buttons, track, thumb.
    const Image& arrowL = Preview(s, "SCROLLBTNLEFT.GLYPHMASK");
    const Image& arrowR = Preview(s, "SCROLLBTNRIGHT.GLYPHMASK");
    const Image& thumb = Preview(s, "SCROLLSLIDERH.BORDERSMASK");
    const Image& grip = Preview(s, "SCROLLSLIDERH.GLYPHMASK");
    const int sc = CornerCell(std::min(t.Radius, 4));
    img.Fill({290, 186, 118, 17}, Opaque(MixRgb(t.Face, t.EditBack, 0.5)));
    Frame(img, arrowL, 3, 0, 294, 190);
    Frame(img, arrowR, 3, 1, 395, 190);
    img.FillVertical({330, 187, 40, 15}, t.ButtonHotTop, t.ButtonHotBottom);
    Nine(img, thumb, 3, 1, sc, {330, 187, 40, 15});
    Frame(img, grip, 3, 1, 346, 190);
    // A progress bar at 60 %.
    const Image& progress = Preview(s, "PROGRESSH.BORDERSMASK");
    img.Fill({290, 220, 118, 14}, Opaque(Darker(t.EditBack, 0.04)));
    img.FillVertical({290, 220, 70, 14}, Lighter(t.Accent, 0.25), Darker(t.Accent, 0.1));
    Nine(img, progress, 1, 0, 3, {290, 220, 70, 14});
    // Glows of the caption buttons and the track bar's thumbs.
    x = 12;
    for (const char* n : {"BICONCLOSEGLOW0", "BICONMAXGLOW0"}) {
        const Image& g = Preview(s, std::string("GLOBALINFO.") + n);
        img.FillVertical({x, 256, g.Width(), g.Height()}, t.TitleTop, t.TitleBottom);
        Frame(img, g, 1, 0, x, 256);
        x += g.Width() + 8;
    }
    for (int f = 0; f < 3; ++f) Frame(img, Preview(s, "TRACKBAR.SLIDERMASK"), 3, f, 200 + f * 20, 258);
    Frame(img, Preview(s, "COMBOBOX.GLYPHMASK"), 3, 0, 280, 262, 2);
    return img;
}

}  // namespace

Image ContactSheet(const std::vector<Theme>& Themes, const std::vector<SkinPackage>& Skins) {
    constexpr int W = 420, H = 300, Gap = 16;
    const int n = static_cast<int>(Skins.size());
    Image sheet(Gap + n * (W + Gap), H + 2 * Gap, Opaque(0x808890));
    for (int i = 0; i < n; ++i) sheet.Copy(Panel(Themes[i], Skins[i]), Gap + i * (W + Gap), Gap);
    return sheet;
}

}  // namespace skingen
