// Finding skins: the skin directory rules, the listing of a skins folder and
// the names a skin choice may take.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "TempFolder.h"
#include "sSkinFolders.h"

namespace fs = std::filesystem;

namespace {

String Join(const TStrings& list) {
    String text;
    for (int i = 0; i < list.Count(); ++i) text += (i ? u"|" : u"") + list.Get(i);
    return text;
}

class SkinsFolder : public ::testing::Test {
protected:
    void Folder(const char* name, bool withOptions) {
        fs::create_directories(FRoot / name);
        if (withOptions) std::ofstream(FRoot / name / "Options.dat") << "[GLOBALINFO]\r\n";
    }
    void File(const char* name) { std::ofstream(FRoot / name) << "x"; }
    String List(TacSkinTypes type) {
        TStringList names;
        names.Add(u"stale");
        ListSkinNames(FRoot.Path().u16string(), type, names);
        return Join(names);
    }
    harness::TempFolder FRoot{"kestrune-skins-"};
};

}  // namespace

TEST(SkinDirectory, ResolvesAgainstTheProgramFolder) {
    const String exe = u"C:\\Apps\\Kestrune\\";
    const struct {
        const char16_t* dir;
        const char16_t* full;
    } cases[] = {
        {u"Skins", u"C:\\Apps\\Kestrune\\Skins"},
        {u"\\Skins", u"C:\\Apps\\Kestrune\\\\Skins"},
        {u".\\Skins", u"C:\\Apps\\Kestrune\\Skins"},
        {u"./Skins", u"C:\\Apps\\Kestrune\\Skins"},
        {u"..\\Shared\\Skins", u"C:\\Apps\\Shared\\Skins"},
        {u"..", u"C:\\Apps\\"},
        {u"D:\\Skins", u"D:\\Skins"},
        {u"\\\\server\\share\\Skins", u"\\\\server\\share\\Skins"},
        {u"", u"C:\\Apps\\Kestrune\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveSkinDirectory(c.dir, exe), c.full) << StringToUtf8(c.dir);
}

TEST(SkinDirectory, ChoiceNamesAndSeparators) {
    EXPECT_EQ(CutPackedExtension(u"Glass.asz"), u"Glass");
    EXPECT_EQ(CutPackedExtension(u"Glass.ASZ"), u"Glass");
    EXPECT_EQ(CutPackedExtension(u"Glass.v2.asz"), u"Glass.v2");   // only the final ending goes
    EXPECT_EQ(CutPackedExtension(u".asz"), u".asz");
    EXPECT_EQ(CutPackedExtension(u"Glass"), u"Glass");

    EXPECT_EQ(WithClosingSeparator(u"C:\\Skins"), u"C:\\Skins\\");
    EXPECT_EQ(WithClosingSeparator(u"C:\\Skins\\"), u"C:\\Skins\\");

    for (const char16_t* good : {u"Glass", u"Glass.v2", u"a b"}) EXPECT_TRUE(IsPlainSkinName(good)) << StringToUtf8(good);
    for (const char16_t* bad : {u"", u"..", u"..\\x", u"a\\b", u"a/b", u"C:x", u"x..y"})
        EXPECT_FALSE(IsPlainSkinName(bad)) << StringToUtf8(bad);
}

TEST_F(SkinsFolder, ListsFoldersWithOptionsAndPackedFilesSortedWithoutCase) {
    Folder("beta", true);
    Folder("Empty", false);         // no Options.dat: not a skin
    Folder(".hidden", true);        // names beginning with "." are skipped
    File("Alpha.asz");
    File("GAMMA.ASZ");              // the ending in any letter case
    File("Delta.v2.asz");           // listed as the name it can be chosen by
    File(".dot.asz");
    File("notes.txt");
    File("Options.dat");

    EXPECT_EQ(List(TacSkinTypes::stAllSkins), u"Alpha|beta|Delta.v2|GAMMA");
    EXPECT_EQ(List(TacSkinTypes::stUnpacked), u"beta");
    EXPECT_EQ(List(TacSkinTypes::stPacked), u"Alpha|Delta.v2|GAMMA");
}

TEST_F(SkinsFolder, AFolderAndAPackedFileOfOneNameBothStay) {
    Folder("Glass", true);
    File("Glass.asz");
    EXPECT_EQ(List(TacSkinTypes::stAllSkins), u"Glass|Glass");
}

TEST_F(SkinsFolder, AMissingDirectoryListsNothing) {
    TStringList names;
    names.Add(u"stale");
    ListSkinNames((FRoot / "missing").u16string(), TacSkinTypes::stAllSkins, names);
    EXPECT_EQ(names.Count(), 0);
}
