// The own skins and the test skin load through the skin model, from their
// folder and from their packed file, with identical results; every fixed
// index and every looked-up section and mask resolves.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "Classes.h"
#include "OwnSkins.h"
#include "SkinModelCompare.h"
#include "SkinNames.h"
#include "Strings.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "acSkinImages.h"
#include "acSkinPack.h"
#include "sStyleSimply.h"

using namespace skingen;
namespace fs = std::filesystem;

namespace {

TColor SameColour(TColor c) { return c; }

struct LoadedModel : TacSkinModel {
    LoadedModel() {
        ColorToRGB = TacColorToRGBFunc::OfFunction(&SameColour);
        SystemFrameWidth = 4;
    }
};

String Native(const fs::path& p) { return Utf8ToString(p.string()); }

void LoadFromFolder(const fs::path& folder, TacSkinModel& model) {
    TStringList ini;
    ini.LoadFromFile(Native(folder / "Options.dat"));
    const String path = Native(folder) + Char(fs::path::preferred_separator);
    model.SkinData->SkinPath = path;
    TacFolderSource source(path);
    model.LoadSkin(ini, source);
}

void LoadFromPacked(const fs::path& file, TacSkinModel& model) {
    TacSkinConvertor* c = nullptr;
    LoadPackedSkinFile(Native(file), c, true);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->Options, nullptr);
    TStringList ini;
    c->Options->SetPosition(0);
    ini.LoadFromStream(*c->Options);
    TacPackedSource source(*c);
    model.LoadSkin(ini, source);
    c->Free();
}

// The skin's ini text as a person might write it by hand: blank lines and
// comments, blanks and tabs around section names, keys, "=" and values.
std::string HandEdited(const SkinPackage& s) {
    static const char* const heads[][2] = {{"[", "] "}, {"  [ ", " ]"}, {"\t[", "]\t"}};
    static const char* const keys[][3] = {{"  ", "=", ""}, {"", " = ", ""}, {"\t", "\t=\t", "  "}, {"", "= ", " "}};
    std::string out = "; edited by hand\r\n\r\n";
    std::size_t n = 0;
    for (const IniSection& section : s.Sections) {
        const auto& h = heads[n++ % std::size(heads)];
        out += h[0] + section.Name + h[1] + "\r\n  ; " + section.Name + "\r\n";
        for (const auto& [k, v] : section.Keys) {
            const auto& f = keys[n++ % std::size(keys)];
            out += f[0] + k + f[1] + v + f[2] + "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

void ExpectEveryNameResolves(const TacSkinModel& m) {
    for (const std::string& s : LookedUpSections()) EXPECT_GE(m.GetSkinIndex(AsciiToString(s)), 0) << s;
    for (const MaskName& n : LookedUpMasks()) {
        const String section = AsciiToString(n.Section), mask = AsciiToString(n.Mask);
        const Integer i = m.GetMaskIndex(m.GetSkinIndex(section), section, mask);
        ASSERT_GE(i, 0) << n.Section << "." << n.Mask;
        const TsMaskData& d = m.ma[static_cast<std::size_t>(i)];
        EXPECT_EQ(d.ImageCount, n.Frames) << n.Section << "." << n.Mask;
        EXPECT_GT(MaskFrameWidth(d), 0);
        EXPECT_GT(MaskFrameHeight(d), 0);
        if (n.Kind == MaskKind::Texture) {
            EXPECT_GE(m.GetTextureIndex(m.GetSkinIndex(section), section, mask), 0);
        }
    }
    const TConstantSkinData& c = m.ConstData;
    const int fixed[] = {
        c.IndexGLobalInfo, c.ExBorder, c.IndexTabTop, c.IndexTabBottom, c.IndexTabLeft, c.IndexTabRight, c.MaskTabTop,
        c.MaskTabBottom, c.MaskTabLeft, c.MaskTabRight, c.IndexScrollTop, c.IndexScrollBottom, c.IndexScrollLeft,
        c.IndexScrollRight, c.MaskScrollTop, c.MaskScrollBottom, c.MaskScrollLeft, c.MaskScrollRight,
        c.IndexBGScrollTop, c.IndexBGScrollBottom, c.IndexBGScrollLeft, c.IndexBGScrollRight, c.IndexBGHotScrollTop,
        c.IndexBGHotScrollBottom, c.IndexBGHotScrollLeft, c.IndexBGHotScrollRight, c.MaskArrowTop, c.MaskArrowBottom,
        c.MaskArrowLeft, c.MaskArrowRight, c.IndexSliderVert, c.IndexSliderHorz, c.MaskSliderVert, c.MaskSliderHorz,
        c.MaskSliderGlyphVert, c.MaskSliderGlyphHorz, c.ScrollSliderBGHorz, c.ScrollSliderBGHotHorz,
        c.ScrollSliderBGVert, c.ScrollSliderBGHotVert, c.IndexScrollBar1H, c.IndexScrollBar1V, c.IndexScrollBar2H,
        c.IndexScrollBar2V, c.MaskScrollBar1H, c.MaskScrollBar1V, c.MaskScrollBar2H, c.MaskScrollBar2V,
        c.BGScrollBar1H, c.BGScrollBar1V, c.BGScrollBar2H, c.BGScrollBar2V, c.BGHotScrollBar1H, c.BGHotScrollBar1V,
        c.BGHotScrollBar2H, c.BGHotScrollBar2V, c.CheckBoxChecked, c.CheckBoxUnChecked, c.CheckBoxGrayed,
        c.RadioButtonChecked, c.RadioButtonUnChecked, c.RadioButtonGrayed, c.SmallCheckBoxChecked,
        c.SmallCheckBoxUnChecked, c.SmallCheckBoxGrayed, c.ComboBtnIndex, c.ComboBtnBorder, c.ComboBtnBG,
        c.ComboBtnBGHot, c.ComboGlyph, c.GripRightBottom, c.GripHorizontal, c.GripVertical, c.IndexWebBtn};
    for (std::size_t i = 0; i < std::size(fixed); ++i) EXPECT_GE(fixed[i], 0) << "fixed index number " << i;
}

}  // namespace

TEST(OwnSkins, LoadFromFolderAndPackedFileAlike) {
    const harness::TempFolder folder("kestrune-ownskins-");
    const fs::path& dir = folder.Path();
    std::vector<SkinPackage> skins;
    for (const Theme& t : OwnThemes()) skins.push_back(BuildSkin(t));
    skins.push_back(BuildTestSkin());
    for (const SkinPackage& s : skins) {
        SCOPED_TRACE(s.Name);
        WriteSkinFolder(s, dir / s.Name);
        WritePackedSkinFile(s, dir / (s.Name + ".asz"));
        LoadedModel folder, packed;
        ASSERT_NO_THROW(LoadFromFolder(dir / s.Name, folder));
        ASSERT_NO_THROW(LoadFromPacked(dir / (s.Name + ".asz"), packed));
        EXPECT_EQ(folder.SkinData->Version, 7.6);
        ExpectEveryNameResolves(folder);
        ExpectSameSkinModels(folder, packed);
        // The images are all there: the masks' own files and the master bitmap.
        EXPECT_GT(folder.MasterBitmap->Width(), 0);
        for (const TsMaskData& m : folder.ma) {
            const TacImage32* img = m.Bmp ? m.Bmp.get() : folder.MasterBitmap.get();
            EXPECT_LE(m.R.Right, img->Width());
            EXPECT_LE(m.R.Bottom, img->Height());
        }
    }
}

TEST(OwnSkins, HandEditedTextsLoadAlike) {
    const harness::TempFolder folder("kestrune-handedit-");
    const fs::path& dir = folder.Path();
    std::vector<SkinPackage> skins = {BuildTestSkin(), BuildSkin(OwnThemes().front())};
    for (const SkinPackage& s : skins) {
        SCOPED_TRACE(s.Name);
        WriteSkinFolder(s, dir / s.Name);
        LoadedModel ours, edited;
        ASSERT_NO_THROW(LoadFromFolder(dir / s.Name, ours));
        TStringList ini;
        ini.SetText(AsciiToString(HandEdited(s)));
        const String path = Native(dir / s.Name) + Char(fs::path::preferred_separator);
        edited.SkinData->SkinPath = path;
        ASSERT_NO_THROW(edited.LoadSkin(ini, TacFolderSource(path)));
        ExpectEveryNameResolves(edited);
        ExpectSameSkinModels(ours, edited);
    }
}

TEST(TestSkin, LoadedMasksKeepTheirFlatColoursAndKeyCorners) {
    const harness::TempFolder folder("kestrune-testskin-");
    const fs::path& dir = folder.Path();
    WriteTestSkin(dir);
    LoadedModel m;
    LoadFromFolder(dir, m);
    for (const MaskName& n : LookedUpMasks()) {
        SCOPED_TRACE(n.Section + "." + n.Mask);
        const String section = AsciiToString(n.Section);
        const Integer i = m.GetMaskIndex(section, AsciiToString(n.Mask));
        ASSERT_GE(i, 0);
        const TsMaskData& d = m.ma[static_cast<std::size_t>(i)];
        const TacImage32& img = d.Bmp ? *d.Bmp : *m.MasterBitmap;
        const int fw = MaskFrameWidth(d);
        for (int f = 0; f < n.Frames; ++f) {
            const int x = d.R.Left + f * fw, y = d.R.Top;
            EXPECT_EQ(img.At(x + fw / 2, y + fw / 2) & 0xFFFFFF, TestMaskColour(n.Section, n.Mask, f));
            if (n.Kind != MaskKind::Texture) {
                EXPECT_EQ(img.At(x, y), 0x00FF00FFu);
            }
        }
        if (n.Kind == MaskKind::Border) {
            EXPECT_EQ(d.CornerType, 1);
        }
    }
    const Integer edit = m.GetSkinIndex(u"EDIT");
    ASSERT_GE(edit, 0);
    EXPECT_EQ(m.gd[edit].Props[0].Color, ToTColor(TestSectionColour("EDIT", 0)));
    EXPECT_EQ(m.gd[edit].Props[1].Color, ToTColor(TestSectionColour("EDIT", 1)));
    EXPECT_EQ(m.gd[edit].Props[1].FontColor.Color, ToTColor(TestFontColour("EDIT", 1)));
}
