// The skin generator: the own skins name every looked-up section and mask,
// keep the author rules and use every image form; the packed copy holds the
// same files; the test skin's colours are distinct and its frames flat with
// key-colour corners; the resource images have their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <set>

#include "Classes.h"
#include "OwnSkins.h"
#include "Resources.h"
#include "SkinNames.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "acPNGDecoder.h"
#include "acSkinPack.h"
#include "sSkinFolders.h"

using namespace skingen;
namespace fs = std::filesystem;

namespace {

// A decoded image, 0xAARRGGBB, rows from the top.
struct Pixels {
    int W = 0, H = 0;
    std::vector<std::uint32_t> Px;
    std::uint32_t At(int x, int y) const { return Px[static_cast<std::size_t>(y) * W + x]; }
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The generator writes plain bottom-up BMPs of 24 or 32 bits.
Pixels ReadBmp(const std::vector<std::uint8_t>& b) {
    Pixels p;
    EXPECT_TRUE(b.size() > 54 && b[0] == 'B' && b[1] == 'M');
    p.W = static_cast<int>(Le32(b, 18));
    p.H = static_cast<int>(Le32(b, 22));
    const int bits = b[28] | (b[29] << 8);
    const std::size_t stride = (p.W * bits / 8 + 3) & ~3u, start = Le32(b, 10);
    EXPECT_EQ(b.size(), start + stride * p.H);
    for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x) {
            const std::size_t at = start + (p.H - 1 - y) * stride + x * (bits / 8);
            const std::uint32_t a = bits == 32 ? b[at + 3] : 255;
            p.Px.push_back((a << 24) | (b[at + 2] << 16) | (b[at + 1] << 8) | b[at]);
        }
    return p;
}

Pixels ReadPng(const std::vector<std::uint8_t>& bytes) {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    s.SetPosition(0);
    TPNGDecoder d;
    TPNGMemoryTarget t;
    d.LoadFromStream(s, t);
    EXPECT_EQ(t.Info.BitsPerPixel, 32);
    Pixels p;
    p.W = static_cast<int>(t.Info.Width);
    p.H = static_cast<int>(t.Info.Height);
    for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x) {
            const Byte* q = t.ScanLine(y) + x * 4;
            p.Px.push_back((static_cast<std::uint32_t>(q[3]) << 24) | (q[2] << 16) | (q[1] << 8) | q[0]);
        }
    return p;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
bool IsUpperName(const std::string& s) { return !s.empty() && Upper(s) == s; }

std::vector<SkinPackage> OwnSkins() {
    std::vector<SkinPackage> s;
    for (const Theme& t : OwnThemes()) s.push_back(BuildSkin(t));
    return s;
}

std::vector<SkinPackage> AllSkins() {
    auto s = OwnSkins();
    s.push_back(BuildTestSkin());
    return s;
}

int Num(const std::string& v, std::size_t pos1, std::size_t len) { return std::stoi(v.substr(pos1 - 1, len)); }

// Where a mask's pixels lie: its own file, or a rectangle of the master bitmap.
struct Located {
    Pixels Img;
    int X = 0, Y = 0, W = 0, H = 0, Frames = 1, MaskType = 0;
};

Located Locate(const SkinPackage& s, const Pixels& master, const std::string& value) {
    Located l;
    const char form = value[0];
    if (form == '@' || form == '^' || form == '~') {
        l.Img = master;
        l.X = Num(value, 2, 4);
        l.Y = Num(value, 7, 4);
        l.W = Num(value, 12, 4) - l.X;
        l.H = Num(value, 17, 4) - l.Y;
        if (form == '@') l.Frames = Num(value, 22, 1), l.MaskType = Num(value, 24, 1);
        if (form == '^') l.Frames = Num(value, 42, 1), l.MaskType = Num(value, 44, 1);
        return l;
    }
    const std::string name = form == '!' ? value.substr(1, value.find('!', 1) - 1) : value;
    const SkinFile* f = s.FindFile(name);
    if (!f) throw std::runtime_error("missing file " + name);
    l.Img = name.ends_with(".PNG") ? ReadPng(f->Data) : ReadBmp(f->Data);
    l.W = l.Img.W;
    l.H = l.Img.H;
    if (form == '!') {
        std::vector<std::string> fields;
        std::size_t at = 1;
        while (true) {
            const std::size_t next = value.find('!', at);
            fields.push_back(value.substr(at, next - at));
            if (next == std::string::npos) break;
            at = next + 1;
        }
        l.Frames = std::stoi(fields.at(1));
        l.MaskType = std::stoi(fields.at(2));
    } else {
        l.Frames = 3;
        l.MaskType = 1;
    }
    return l;
}

bool IsImageValue(const std::string& v) {
    const std::string u = Upper(v);
    return v[0] == '!' || v[0] == '@' || v[0] == '^' || v[0] == '~' || v.find('#') != std::string::npos ||
           u.find(".BMP") != std::string::npos || u.find(".JPG") != std::string::npos;
}

}  // namespace

TEST(SkinGenerator, EverySkinNamesEveryLookedUpSectionAndMask) {
    for (const SkinPackage& s : AllSkins()) {
        SCOPED_TRACE(s.Name);
        const Pixels master = ReadBmp(s.FindFile("MASTER.BMP")->Data);
        for (const std::string& section : LookedUpSections()) EXPECT_NE(s.FindSection(section), nullptr) << section;
        for (const MaskName& m : LookedUpMasks()) {
            const std::string* v = s.Value(m.Section, m.Mask);
            ASSERT_NE(v, nullptr) << m.Section << "." << m.Mask;
            EXPECT_TRUE(IsImageValue(*v)) << *v;
            if (Upper(*v).ends_with(".JPG")) {
                EXPECT_NE(s.FindFile(*v), nullptr);
                continue;
            }
            const Located l = Locate(s, master, *v);
            EXPECT_EQ(l.Frames, m.Frames) << m.Section << "." << m.Mask;
            EXPECT_GT(l.W, 0);
            EXPECT_GT(l.H, 0);
            EXPECT_LE(l.X + l.W, l.Img.W);
            EXPECT_LE(l.Y + l.H, l.Img.H);
        }
    }
}

TEST(SkinGenerator, SkinsKeepTheAuthorRules) {
    for (const SkinPackage& s : AllSkins()) {
        SCOPED_TRACE(s.Name);
        ASSERT_NE(s.Value("GLOBALINFO", "VERSION"), nullptr);
        EXPECT_EQ(*s.Value("GLOBALINFO", "VERSION"), "7.6");
        for (const IniSection& section : s.Sections) {
            EXPECT_TRUE(IsUpperName(section.Name)) << section.Name;
            std::set<std::string> keys;
            for (const auto& [k, v] : section.Keys) {
                EXPECT_TRUE(IsUpperName(k)) << k;
                EXPECT_TRUE(keys.insert(k).second) << "twice: " << section.Name << "." << k;
            }
        }
        // Free texts never look like an image value.
        for (const char* k : {"AUTHOR", "DESCRIPTION"}) {
            const std::string* v = s.Value("GLOBALINFO", k);
            ASSERT_NE(v, nullptr);
            EXPECT_FALSE(IsImageValue(*v)) << *v;
            EXPECT_EQ(Upper(*v).find(".PNG"), std::string::npos);
        }
        // Fixed-position values have their exact lengths.
        for (const IniSection& section : s.Sections)
            for (const auto& [k, v] : section.Keys) {
                if (v[0] == '@') {
                    EXPECT_EQ(v.size(), 24u) << v;
                } else if (v[0] == '^') {
                    EXPECT_EQ(v.size(), 48u) << v;
                } else if (v[0] == '~') {
                    EXPECT_GE(v.size(), 25u) << v;
                }
            }
        // Every file name is upper case, and every transparent pixel of a
        // 32-bit image is exactly the key pixel, but for glows, which keep
        // their soft alpha.
        for (const SkinFile& f : s.Files) {
            SCOPED_TRACE(f.Name);
            EXPECT_TRUE(IsUpperName(f.Name));
            Pixels p;
            if (f.Name.ends_with(".PNG"))
                p = ReadPng(f.Data);
            else if (f.Name.ends_with(".BMP"))
                p = ReadBmp(f.Data);
            else
                continue;
            if (f.Name.find("GLOW") != std::string::npos) continue;
            for (std::uint32_t px : p.Px)
                if ((px >> 24) != 255) {
                    ASSERT_EQ(px, 0x00FF00FFu);
                }
        }
    }
}

TEST(SkinGenerator, OwnSkinsUseEveryImageForm) {
    for (const SkinPackage& s : OwnSkins()) {
        SCOPED_TRACE(s.Name);
        std::set<std::string> forms;
        for (const IniSection& section : s.Sections)
            for (const auto& [k, v] : section.Keys) {
                if (k == "MASTERBITMAP") continue;
                if (v[0] == '@' || v[0] == '^' || v[0] == '~') forms.insert(v.substr(0, 1));
                else if (v[0] == '!' && v.find(".PNG!") != std::string::npos) forms.insert("!PNG");
                else if (v[0] == '!' && v.find(".BMP!") != std::string::npos) forms.insert("!BMP");
                else if (v.ends_with(".BMP")) forms.insert("BMP");
                else if (v.ends_with(".JPG")) forms.insert("JPG");
            }
        EXPECT_EQ(forms, (std::set<std::string>{"@", "^", "~", "!PNG", "!BMP", "BMP", "JPG"}));
    }
}

TEST(SkinGenerator, OwnSkinsLookClearlyDifferent) {
    const auto skins = OwnSkins();
    ASSERT_EQ(skins.size(), 3u);
    std::set<std::string> faces, titles, names;
    for (const SkinPackage& s : skins) {
        faces.insert(*s.Value("GLOBALINFO", "COLOR"));
        titles.insert(*s.Value("FORMTITLE", "GRADIENTDATA"));
        names.insert(s.Name);
    }
    EXPECT_EQ(faces.size(), 3u);
    EXPECT_EQ(titles.size(), 3u);
    EXPECT_EQ(names.size(), 3u);
}

TEST(SkinGenerator, PackedSkinHoldsTheSameFilesAsTheFolder) {
    const harness::TempFolder folder("kestrune-skingen-");
    const fs::path& dir = folder.Path();
    for (const SkinPackage& s : AllSkins()) {
        SCOPED_TRACE(s.Name);
        WriteSkinFolder(s, dir / s.Name);
        WritePackedSkinFile(s, dir / (s.Name + ".asz"));
        TacSkinConvertor* c = nullptr;
        LoadPackedSkinFile(AsciiToString((dir / (s.Name + ".asz")).string()), c, true);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(c->Options, nullptr);
        const std::string options = s.OptionsText();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->Options->Memory()), c->Options->GetSize()), options);
        ASSERT_EQ(c->Files.size(), s.Files.size());
        for (std::size_t i = 0; i < s.Files.size(); ++i) {
            EXPECT_EQ(c->Files[i].FileName, AsciiToString(s.Files[i].Name));
            const TMemoryStream& m = *c->Files[i].FileStream;
            EXPECT_TRUE(std::equal(s.Files[i].Data.begin(), s.Files[i].Data.end(), m.Memory(),
                                   m.Memory() + const_cast<TMemoryStream&>(m).GetSize()));
            EXPECT_TRUE(fs::exists(dir / s.Name / s.Files[i].Name));
        }
        EXPECT_TRUE(fs::exists(dir / s.Name / "Options.dat"));
        c->Free();
    }
}

TEST(SkinGenerator, ShippedSkinsAreListedOnceEachInBothForms) {
    // Over the output of an earlier build that wrote every skin both ways.
    const harness::TempFolder folder("kestrune-shipped-");
    const fs::path& dir = folder.Path();
    const auto skins = OwnSkins();
    for (const SkinPackage& s : skins) {
        WriteSkinFolder(s, dir / s.Name);
        WritePackedSkinFile(s, dir / (s.Name + ".asz"));
    }
    for (std::size_t i = 0; i < skins.size(); ++i) WriteShippedSkin(skins[i], ShippedAs(OwnThemes()[i]), dir);
    auto list = [&](TacSkinTypes type) {
        TStringList names;
        ListSkinNames(Utf8ToString(dir.string()), type, names);
        return names.Text();
    };
    EXPECT_EQ(list(TacSkinTypes::stAllSkins), u"Basalt\r\nDaylight\r\nLagoon\r\n");
    EXPECT_NE(list(TacSkinTypes::stPacked), u"");
    EXPECT_NE(list(TacSkinTypes::stUnpacked), u"");
}

TEST(TestSkin, ColoursAreDistinctAndNeverKeyBlackOrWhite) {
    std::set<Rgb> seen;
    auto add = [&](Rgb c, const std::string& what) {
        EXPECT_TRUE(seen.insert(c).second) << "repeated colour for " << what;
        EXPECT_NE(c, KeyRgb);
        EXPECT_NE(c, 0u);
        EXPECT_NE(c, 0xFFFFFFu);
    };
    for (const std::string& s : LookedUpSections())
        for (int state = 0; state < 2; ++state) {
            add(TestSectionColour(s, state), s);
            add(TestFontColour(s, state), s + " font");
        }
    for (const MaskName& m : LookedUpMasks())
        for (int f = 0; f < m.Frames; ++f) add(TestMaskColour(m.Section, m.Mask, f), m.Section + "." + m.Mask);
    EXPECT_THROW(TestSectionColour("NOSUCHSECTION", 0), std::logic_error);
}

TEST(TestSkin, MaskFramesAreFlatWithKeyCorners) {
    const SkinPackage s = BuildTestSkin();
    const Pixels master = ReadBmp(s.FindFile("MASTER.BMP")->Data);
    for (const MaskName& m : LookedUpMasks()) {
        SCOPED_TRACE(m.Section + "." + m.Mask);
        const Located l = Locate(s, master, *s.Value(m.Section, m.Mask));
        const int fw = l.W / l.Frames, fh = l.H / (l.MaskType + 1);
        ASSERT_EQ(fw, TestFrameSize);
        ASSERT_EQ(fh, TestFrameSize);
        for (int f = 0; f < l.Frames; ++f) {
            const int x0 = l.X + f * fw, y0 = l.Y;
            const std::uint32_t flat = 0xFF000000u | TestMaskColour(m.Section, m.Mask, f);
            EXPECT_EQ(l.Img.At(x0 + fw / 2, y0 + fh / 2), flat);
            EXPECT_EQ(l.Img.At(x0 + TestKeyCorner, y0), flat);
            const std::uint32_t corner = m.Kind == MaskKind::Texture ? flat : 0x00FF00FFu;
            for (int dy : {0, fh - 1})
                for (int dx : {0, fw - 1}) EXPECT_EQ(l.Img.At(x0 + dx, y0 + dy), corner) << dx << "," << dy;
        }
    }
}

TEST(SkinGenerator, ResourceImagesHaveTheirNamesAndSizes) {
    const auto images = ResourceImages();
    std::vector<std::string> names;
    for (const ResourceImage& r : images) {
        names.push_back(r.Name);
        const Pixels p = ReadPng(EncodePNG(r.Img));
        if (r.Name.starts_with("acSHD")) {
            // A nine-part shadow: the centre is clear, the edge next to the window is shaded.
            EXPECT_EQ(p.W, p.H);
            EXPECT_EQ(p.At(p.W / 2, p.H / 2) >> 24, 0u);
            EXPECT_GT(p.At(ShadowMargin - 1, p.H / 2) >> 24, p.At(0, p.H / 2) >> 24);
        } else {
            EXPECT_EQ(p.W, 48);
            EXPECT_EQ(p.H, 16);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"acSHDA", "acSHDI", "SF", "SR", "SD", "SE", "SC"}));
}
