// The skin model: reading the skin ini into sections and global options, the
// look-ups by name, the mask metrics and the cached indexes.
#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>

#include "SysUtils.h"
#include "sStyleSimply.h"

namespace {

constexpr TColor SysWindow = static_cast<TColor>(0x80000005u);
constexpr TColor SysWindowRGB = 0x00ABCDEF;

TColor FakeColorToRGB(TColor c) { return c == SysWindow ? SysWindowRGB : (c < 0 ? 0 : c); }

// A model whose system colours and frame width come from the test.
struct Model : TacSkinModel {
    Model() {
        ColorToRGB = TacColorToRGBFunc::OfFunction(&FakeColorToRGB);
        SystemFrameWidth = 3;
    }
    const TsGeneralData& Section(StringView name) const {
        const Integer i = GetSkinIndex(name);
        if (i < 0) throw Exception(u"no section " + String(name));
        return gd[static_cast<std::size_t>(i)];
    }
    void AddMask(const String& section, const String& prop, TacImgType type = itisaBorder) {
        TsMaskData m;
        m.ClassName = section;
        m.PropertyName = prop;
        m.ImgType = type;
        ma.push_back(m);
    }
};

const char16_t* const SkinIni =
    u"; comment\r\n"
    u"[GLOBALINFO]\r\n"
    u"VERSION=7.52\r\n"
    u"AUTHOR=Someone\r\n"
    u"SHADOW1BLUR=2\r\n"
    u"BORDERWIDTH=oops\r\n"
    u"TITLEHEIGHT=24\r\n"
    u"MAXHEIGHT=0\r\n"
    u"AEROBLUR=5\r\n"
    u"SHADOW1TRANSPARENCY=250\r\n"
    u"[BASE]\r\n"
    u"COLOR=255\r\n"
    u"TCLEFT=-2147483643\r\n"
    u"hotcolor=65280\r\n"
    u"GRADIENTDATA=1;2;50;0;0\r\n"
    u"GRADIENTPERCENT=150\r\n"
    u"TRANSPARENCY=-4\r\n"
    u"IMAGEPERCENT=101\r\n"
    u"[CHILD]\r\n"
    u"PARENTCLASS=BASE\r\n"
    u"giveownfont=true\r\n"
    u"[ORPHAN]\r\n"
    u"GIVEOWNFONT=yes\r\n"
    u"TCLEFT=-2147483643\r\n"
    u"[ONESTATE]\r\n"
    u"STATES=1\r\n"
    u"COLOR=100\r\n"
    u"HOTCOLOR=200\r\n"
    u"GRADIENTDATA=x\r\n"
    u"GRADIENTPERCENT=50\r\n"
    u"[LOOPA]\r\n"
    u"PARENTCLASS=LOOPB\r\n"
    u"[LOOPB]\r\n"
    u"PARENTCLASS=LOOPA\r\n"
    u"[SELF]\r\n"
    u"PARENTCLASS=SELF\r\n"
    u"[Base]\r\n"
    u"COLOR=7\r\n";

class SkinIniTest : public ::testing::Test {
protected:
    void SetUp() override { m.LoadAllGeneralData(SkinIni); }
    Model m;
};

TEST_F(SkinIniTest, SectionsInFileOrderWithExactNames) {
    std::vector<String> names;
    for (const auto& d : m.gd) names.push_back(d.ClassName);
    EXPECT_EQ(names, (std::vector<String>{u"GLOBALINFO", u"BASE", u"CHILD", u"ORPHAN", u"ONESTATE", u"LOOPA", u"LOOPB",
                                          u"SELF", u"Base"}));
    EXPECT_EQ(m.GetSkinIndex(u"BASE"), 1);
    EXPECT_EQ(m.GetSkinIndex(u"Base"), 8);
    EXPECT_EQ(m.GetSkinIndex(u"base"), -1);
    EXPECT_EQ(m.GetSkinIndex(u""), -1);
    // Sections of different letter case keep their own keys.
    EXPECT_EQ(m.Section(u"Base").Color, 7);
    EXPECT_EQ(m.Section(u"BASE").Color, 255);
}

TEST_F(SkinIniTest, InheritanceAndDefaults) {
    const TsGeneralData& child = m.Section(u"CHILD");
    EXPECT_EQ(child.ParentClass, u"BASE");
    EXPECT_EQ(child.Color, 255);                 // from the parent
    EXPECT_EQ(child.FontColor.Left, SysWindowRGB);   // a parent's value is converted to RGB
    EXPECT_EQ(child.Props[1].Color, 65280);      // lower-case key in the parent
    ASSERT_EQ(child.GradientArray.size(), 1u);
    EXPECT_EQ(child.GradientPercent, 100);

    const TsGeneralData& orphan = m.Section(u"ORPHAN");
    EXPECT_EQ(orphan.Color, 0xFFFFFF);
    EXPECT_EQ(orphan.FontColor.Left, SysWindow);   // its own value is kept as written
    EXPECT_EQ(orphan.FontColor.Top, -1);
    EXPECT_EQ(orphan.States, 4);
    EXPECT_EQ(orphan.FadingIterations, 5);
    EXPECT_EQ(orphan.GradientData, u" ");
    EXPECT_EQ(orphan.GradientPercent, 0);
    EXPECT_TRUE(orphan.GradientArray.empty());
    EXPECT_EQ(orphan.Props[1].Color, 0xFFFFFF);   // HOTCOLOR default with 4 states
    EXPECT_EQ(orphan.Props[1].FontColor, (TsFontColor{0, -1, -1, -1, -1}));
}

TEST_F(SkinIniTest, BooleansOnlyOneOrTrueInAnyCase) {
    EXPECT_TRUE(m.Section(u"CHILD").GiveOwnFont);
    EXPECT_FALSE(m.Section(u"ORPHAN").GiveOwnFont);
    for (auto [text, expected] : std::vector<std::pair<const char16_t*, bool>>{
             {u"1", true}, {u"TRUE", true}, {u"true", true}, {u"tRuE", true}, {u"yes", false}, {u"0", false},
             {u"", false}, {u" 1", false}, {u"2", false}, {u"TRUE ", false}}) {
        EXPECT_EQ(acIniBool(text), expected) << StringToUtf8(text);
    }
}

TEST_F(SkinIniTest, FewerThanTwoStatesCopyTheNormalLook) {
    const TsGeneralData& d = m.Section(u"ONESTATE");
    EXPECT_EQ(d.States, 1);
    EXPECT_EQ(d.Props[1], d.Props[0]);
    EXPECT_EQ(d.Props[1].Color, 100);
    EXPECT_EQ(d.HotColor, 0);   // hot keys are not read
    EXPECT_EQ(d.GradientPercent, 0);   // one-character gradient text
    EXPECT_TRUE(d.GradientArray.empty());
}

TEST_F(SkinIniTest, StateLookFallsBackToNormalWithOneState) {
    struct Case {
        const char16_t* Section;
        Integer State;
        TColor Color;
    };
    // BASE has four states and a hot colour; ONESTATE one state and hot keys
    // that are not read.
    for (const Case& c : {Case{u"BASE", 0, 255}, Case{u"BASE", 1, 65280}, Case{u"BASE", 2, 65280},
                          Case{u"BASE", -1, 255}, Case{u"ONESTATE", 0, 100}, Case{u"ONESTATE", 1, 100},
                          Case{u"ONESTATE", 3, 100}}) {
        SCOPED_TRACE(StringToUtf8(c.Section) + " state " + std::to_string(c.State));
        EXPECT_EQ(StateProps(m.Section(c.Section), c.State).Color, c.Color);
    }
}

TEST(SectionStateLook, HotRecordOnlyWithMoreThanOneState) {
    TsGeneralData d;
    d.Props[0].Color = 1;
    d.Props[1].Color = 2;   // differs even where the loader would copy
    struct Case {
        Integer States, State, PropsIndex, Painted;
    };
    for (const Case& c : {Case{4, 0, 0, 0}, Case{4, 1, 1, 1}, Case{4, 2, 1, 2}, Case{4, 7, 1, 3}, Case{4, -1, 0, 0},
                          Case{2, 2, 1, 1}, Case{1, 1, 0, 0}, Case{0, 1, 0, 0}, Case{-3, 2, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "states " << c.States << " state " << c.State);
        d.States = c.States;
        EXPECT_EQ(StatePropsIndex(d, c.State), c.PropsIndex);
        EXPECT_EQ(StateProps(d, c.State).Color, c.PropsIndex + 1);
        EXPECT_EQ(SectionState(d, c.State), c.Painted);
    }
}

TEST_F(SkinIniTest, PercentagesClampedToWeights) {
    const TsGeneralData& d = m.Section(u"BASE");
    EXPECT_EQ(d.GradientPercent, 100);
    EXPECT_EQ(d.Transparency, 0);
    EXPECT_EQ(d.ImagePercent, 100);
    EXPECT_EQ(d.Props[0].GradientPercent, 100);
    EXPECT_EQ(m.SkinData->Shadow1Transparency, 100);
}

TEST_F(SkinIniTest, ParentCycleEndsWithTheDefault) {
    for (const char16_t* name : {u"LOOPA", u"LOOPB", u"SELF"}) {
        EXPECT_EQ(m.Section(name).Color, 0xFFFFFF) << StringToUtf8(name);
        EXPECT_EQ(m.Section(name).GlowCount, 0);
    }
    // The mask search stops too, and still finds what the chain holds.
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"LOOPA"), u"LOOPA", u"BORDERSMASK"), -1);
    m.AddMask(u"LOOPB", u"BORDERSMASK");
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"LOOPA"), u"LOOPA", u"BORDERSMASK"), 0);
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"SELF"), u"SELF", u"BORDERSMASK"), -1);
}

TEST_F(SkinIniTest, GlobalInfoOptions) {
    const TsSkinData& s = *m.SkinData;
    EXPECT_DOUBLE_EQ(s.Version, 7.52);
    EXPECT_EQ(s.Author, u"Someone");
    EXPECT_EQ(s.Shadow1Blur, 2);
    EXPECT_EQ(s.Shadow1Offset, 0);
    EXPECT_EQ(s.ExBorderWidth, 4);   // not a number: the default
    EXPECT_EQ(s.ExTitleHeight, 24);
    EXPECT_EQ(s.ExMaxHeight, 24);    // 0 means the title height
    EXPECT_EQ(s.ExContentOffs, 3);   // the system frame width
    EXPECT_TRUE(s.UseAeroBluring);
    // GLOBALINFO keeps no mask indexes of its own.
    EXPECT_EQ(m.Section(u"GLOBALINFO").BorderIndex, -1);
    EXPECT_EQ(m.Section(u"GLOBALINFO").TextureNormal, -1);
}

TEST(SkinIniLoad, DefaultsWithoutGlobalInfo) {
    Model m;
    m.LoadAllGeneralData(u"[A]\r\nCOLOR=1\r\n");
    const TsSkinData& s = *m.SkinData;
    EXPECT_EQ(s.Version, 0);
    EXPECT_EQ(s.Shadow1Blur, -1);
    EXPECT_EQ(s.ExBorderWidth, 4);
    EXPECT_EQ(s.ExTitleHeight, 30);
    EXPECT_EQ(s.ExMaxHeight, 30);
    EXPECT_EQ(s.ExContentOffs, 3);
    EXPECT_FALSE(s.UseAeroBluring);
    EXPECT_EQ(m.gd.size(), 1u);
}

TEST(SkinIniLoad, StrictKeysFailTheLoadAndKeepThePreviousSkin) {
    Model m;
    m.LoadAllGeneralData(u"[GLOBALINFO]\r\nAUTHOR=Old\r\n[A]\r\n");
    for (const char16_t* bad : {u"SHADOW1OFFSET=x", u"SHADOW1BLUR=", u"SHADOW1TRANSPARENCY=1.5", u"BICONCLOSEGLOW=a",
                                u"BICONCLOSEGLOWMARGIN=0x", u"BICONMAXGLOW=1 2", u"BICONMAXGLOWMARGIN=z",
                                u"BICONMINGLOW=-", u"biconminglowmargin=q"}) {
        SCOPED_TRACE(StringToUtf8(bad));
        const String ini = u"[GLOBALINFO]\r\nAUTHOR=New\r\n" + String(bad) + u"\r\n[B]\r\n[C]\r\n";
        EXPECT_THROW(m.LoadAllGeneralData(ini), EConvertError);
        EXPECT_EQ(m.SkinData->Author, u"Old");
        ASSERT_EQ(m.gd.size(), 2u);
        EXPECT_EQ(m.gd[1].ClassName, u"A");
    }
    // A bad gradient text fails the load the same way.
    EXPECT_THROW(m.LoadAllGeneralData(u"[B]\r\nGRADIENTDATA=a;b;c;d;e\r\n"), EConvertError);
    EXPECT_EQ(m.gd[1].ClassName, u"A");
}

TEST(SkinIniLoad, TextsWithoutSectionsAreRefusedAndKeepThePreviousSkin) {
    // Texts that give no section: empty, blank, keys without a section,
    // random bytes, an image file's bytes.
    std::mt19937 rng(20261211);
    auto bytes = [&](std::size_t n, std::string head) {
        while (head.size() < n) {
            const char c = static_cast<char>(rng() & 0xFF);
            head += c == '[' ? '(' : c;   // no section line by chance
        }
        return head;
    };
    const std::string texts[] = {
        "",
        "\r\n   \r\n\t\r\n",
        "; only a comment\r\nCOLOR=255\r\nPARENTCLASS=BUTTON\r\n",
        "[\r\n]\r\n[x\r\n",
        bytes(64 * 1024, ""),
        bytes(4096, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
    };
    Model m;
    m.LoadAllGeneralData(u"[GLOBALINFO]\r\nAUTHOR=Old\r\n[A]\r\n");
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.size());
        try {
            m.LoadAllGeneralData(AnsiToString(text));
            ADD_FAILURE() << "loaded";
        } catch (const EacSkinError& e) {
            EXPECT_NE(e.Message().find(u"Options.dat"), String::npos) << e.what();
            EXPECT_NE(e.Message().find(u"no section"), String::npos) << e.what();
        }
        EXPECT_EQ(m.SkinData->Author, u"Old");
        ASSERT_EQ(m.gd.size(), 2u);
        EXPECT_EQ(m.gd[1].ClassName, u"A");
    }
    // One section, even an empty one, is a skin.
    m.LoadAllGeneralData(u"garbage\r\n[B]\r\n");
    ASSERT_EQ(m.gd.size(), 1u);
    EXPECT_EQ(m.gd[0].ClassName, u"B");
}

TEST(SkinIniLoad, BadGradientNamesTheSectionAndKey) {
    Model m;
    try {
        m.LoadAllGeneralData(u"[A]\r\n[B]\r\nSTATES=2\r\nHOTGRADIENTDATA=1;2;x;0;0\r\n");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message().rfind(u"Skin section \"B\" key HOTGRADIENTDATA: ", 0), 0u) << e.what();
        EXPECT_NE(e.Message().find(u"'x'"), String::npos) << e.what();
    }
}

TEST(SkinIniLoad, BlanksAroundSectionNamesKeysAndValuesAreIgnored) {
    // Each text gives PANEL no colour of its own and BUTTON the colour 255.
    const char16_t* const texts[] = {
        u"[PANEL]\r\n[BUTTON] \r\nCOLOR=255\r\n",
        u"[PANEL]\r\n  [ BUTTON ]\t\r\nCOLOR=255\r\n",
        u"[PANEL]\r\n[BUTTON]\r\n   COLOR=255\r\n",
        u"[PANEL]\r\n[BUTTON]\r\nCOLOR = 255\r\n",
        u"[PANEL]\r\n[BUTTON]\r\n\tCOLOR\t=\t255  \r\n",
        u"[PANEL]\r\n   \r\n  ; COLOR=1\r\n[BUTTON]\r\nCOLOR=255\r\n",
    };
    for (const char16_t* text : texts) {
        SCOPED_TRACE(StringToUtf8(text));
        Model m;
        m.LoadAllGeneralData(u"[GLOBALINFO]\r\nVERSION = 7.6\r\n BORDERMODE= 2\r\n" + String(text));
        std::vector<String> names;
        for (const auto& d : m.gd) names.push_back(d.ClassName);
        EXPECT_EQ(names, (std::vector<String>{u"GLOBALINFO", u"PANEL", u"BUTTON"}));
        EXPECT_EQ(m.Section(u"PANEL").Color, 0xFFFFFF);
        EXPECT_EQ(m.Section(u"BUTTON").Color, 255);
        EXPECT_DOUBLE_EQ(m.SkinData->Version, 7.6);
        EXPECT_EQ(m.SkinData->ExDrawMode, 2);
    }
}

TEST(SkinIniLoad, CheckVersionSeesTheNewOptionsAndMayStopTheLoad) {
    static double seen = -1;
    Model m;
    m.CheckVersion = TacCheckVersionEvent::OfFunction([](const TsSkinData& d) {
        seen = d.Version;
        if (d.Version > 7.99) throw Exception(u"too new");
    });
    m.LoadAllGeneralData(u"[GLOBALINFO]\r\nVERSION=7.5\r\n[A]\r\n");
    EXPECT_DOUBLE_EQ(seen, 7.5);
    EXPECT_THROW(m.LoadAllGeneralData(u"[GLOBALINFO]\r\nVERSION=9.1\r\n[B]\r\n"), Exception);
    EXPECT_DOUBLE_EQ(seen, 9.1);
    EXPECT_DOUBLE_EQ(m.SkinData->Version, 7.5);
    EXPECT_EQ(m.gd[1].ClassName, u"A");
}

TEST(SkinIniLoad, CommonSectionsOverrideAndAdd) {
    Model m;
    m.CommonSections.SetText(
        u"[BUTTON]\r\nCOLOR=5\r\n"
        u"[NEWCHILD]\r\nPARENTCLASS=button\r\nFONTCOLOR=9\r\n"
        u"[NEWALONE]\r\nGLOW=2\r\n");
    m.LoadAllGeneralData(
        u"[BUTTON]\r\nCOLOR=1\r\nFONTCOLOR=3\r\nSTATES=1\r\n"
        u"[EDIT]\r\n");
    const TsGeneralData& button = m.Section(u"BUTTON");
    EXPECT_EQ(button.Color, 5);
    EXPECT_EQ(button.FontColor.Color, 3);   // absent keys keep the base's value
    EXPECT_EQ(button.States, 1);            // read from the skin's ini
    EXPECT_EQ(button.Props[1], button.Props[0]);

    const TsGeneralData& child = m.Section(u"NEWCHILD");
    EXPECT_EQ(child.ParentClass, u"button");
    EXPECT_EQ(child.Color, 5);              // base (as overridden) found without regard to case
    EXPECT_EQ(child.GlowCount, 0);
    EXPECT_EQ(child.FontColor.Color, 9);
    EXPECT_EQ(child.States, 4);

    const TsGeneralData& alone = m.Section(u"NEWALONE");
    EXPECT_EQ(alone.GlowCount, 2);
    EXPECT_EQ(alone.Color, 0xFFFFFF);
    EXPECT_EQ(alone.Props[1].Color, 0xFFFFFF);
}

// --- inheritance at depth and in bulk ---------------------------------------

namespace {

// The processor time of the shortest of Runs loads of the text into a fresh
// model (a busy machine only ever slows a run down); the last model loaded
// stays in Into.
double SecondsToLoad(const String& text, int runs = 1, Model* into = nullptr) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        Model m;
        const std::clock_t start = std::clock();
        m.LoadAllGeneralData(text);
        m.InitConstantIndexes();
        best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
        if (into && i == runs - 1) {
            into->SkinData = std::move(m.SkinData);
            into->gd = std::move(m.gd);
        }
    }
    return best;
}

String Name(const char* prefix, int i) { return AnsiToString(prefix + std::to_string(i)); }

// D sections, each naming the one before it as its parent (or, without
// inheritance, a key the loader does not read, for the same text size).
String ChainText(int depth, bool inherit) {
    String text = u"[GLOBALINFO]\r\n[S0]\r\nCOLOR=255\r\nFONTCOLOR=65280\r\nGRADIENTDATA=1;2;50;0;0\r\n";
    for (int i = 1; i < depth; ++i) {
        text += u"[" + Name("S", i) + u"]\r\n" + (inherit ? u"PARENTCLASS=" : u"COMMENTARY=") + Name("S", i - 1) +
                u"\r\n";
        if (i == 1500) text += u"COLOR=7\r\n";
        if (i == 2000) text += u"GIVEOWNFONT=1\r\n";
    }
    return text;
}

// Count sections of about 100 bytes that all inherit from one base.
String ManyText(int count) {
    String text = u"[GLOBALINFO]\r\nVERSION=7.6\r\n[BASE]\r\nCOLOR=255\r\nGLOW=3\r\n";
    for (int i = 0; i < count; ++i)
        text += u"[" + Name("EXTRA", i) +
                u"]\r\nPARENTCLASS=BASE\r\nFONTCOLOR=16711680\r\nHOTCOLOR=255\r\nGRADIENTDATA=255;16711680;100;0;0\r\n";
    return text;
}

}  // namespace

TEST(SkinIniAtScale, AChainThreeThousandDeepLoadsInLinearTime) {
    // S0 <- S1 <- ... <- S2999 (about 90 KB): S0 gives the colours, S1500 a
    // colour of its own, S2000 a text key. Resolving a chain section by
    // section and key by key took thousands of times as long as loading the
    // same number of sections without inheritance; now about as long.
    const int depth = 3000;
    Model m;
    const double chain = SecondsToLoad(ChainText(depth, true), 1, &m);
    const double flat = SecondsToLoad(ChainText(depth, false), 2);
    EXPECT_LT(chain, 10 * flat + 0.05) << chain << " s against " << flat << " s";
    ASSERT_EQ(m.gd.size(), static_cast<std::size_t>(depth + 1));
    EXPECT_EQ(m.Section(u"S1499").Color, 255);
    EXPECT_EQ(m.Section(u"S1500").Color, 7);
    EXPECT_EQ(m.Section(u"S2999").Color, 7);
    EXPECT_EQ(m.Section(u"S2999").FontColor.Color, 65280);
    EXPECT_EQ(m.Section(u"S2999").GradientArray.size(), 1u);
    EXPECT_FALSE(m.Section(u"S1999").GiveOwnFont);
    EXPECT_TRUE(m.Section(u"S2999").GiveOwnFont);
    EXPECT_EQ(m.Section(u"S2999").ParentClass, u"S2998");

    // A mask of the root is every section's through the chain.
    m.AddMask(u"S0", u"BORDERSMASK");
    m.AddMask(u"S2500", u"PATTERN", itisaTexture);
    m.InitMaskIndexes();
    EXPECT_EQ(m.Section(u"S2999").BorderIndex, 0);
    EXPECT_EQ(m.Section(u"S2999").TextureNormal, 1);
    EXPECT_EQ(m.Section(u"S2499").TextureNormal, -1);
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"S2999"), u"S2999", u"BORDERSMASK"), 0);
}

TEST(SkinIniAtScale, ALongCycleEndsWithWhatItHolds) {
    // C0 <- C1 <- ... <- C2999 <- C0: only C10 has a colour, which every
    // section of the cycle finds going round it; T0 <- T1 lead into it.
    const int length = 3000;
    String text;
    for (int i = 0; i < length; ++i) {
        text += u"[" + Name("C", i) + u"]\r\nPARENTCLASS=" + Name("C", (i + length - 1) % length) + u"\r\n";
        if (i == 10) text += u"COLOR=99\r\n";
    }
    text += u"[T0]\r\nPARENTCLASS=C5\r\n[T1]\r\nPARENTCLASS=T0\r\n";
    Model m;
    const double cycle = SecondsToLoad(text, 1, &m);
    const double flat = SecondsToLoad(ChainText(length, false), 2);
    EXPECT_LT(cycle, 10 * flat + 0.05) << cycle << " s against " << flat << " s";
    for (const char16_t* name : {u"C10", u"C11", u"C2999", u"C0", u"C9", u"T0", u"T1"})
        EXPECT_EQ(m.Section(name).Color, 99) << StringToUtf8(name);
    // Without any value in the cycle, the default.
    Model none;
    none.LoadAllGeneralData(u"[A]\r\nPARENTCLASS=B\r\n[B]\r\nPARENTCLASS=A\r\n");
    EXPECT_EQ(none.Section(u"A").Color, 0xFFFFFF);
}

TEST(SkinIniAtScale, TwentyThousandSectionsLoadInLinearTime) {
    // About 2 MB of sections: ten times the sections of the smaller text
    // take about ten times as long (a hundred times as long when the work
    // grew with the square of the sections; the bound leaves room for the
    // larger text's fresh memory).
    Model m;
    const double many = SecondsToLoad(ManyText(20000), 1, &m);
    const double tenth = SecondsToLoad(ManyText(2000), 3);
    EXPECT_LT(many, 40 * tenth + 0.05) << many << " s against " << tenth << " s";
    ASSERT_EQ(m.gd.size(), 20002u);
    const TsGeneralData& last = m.Section(u"EXTRA19999");
    EXPECT_EQ(last.Color, 255);
    EXPECT_EQ(last.GlowCount, 3);
    EXPECT_EQ(last.FontColor.Color, 16711680);
    EXPECT_EQ(m.GetSkinIndex(u"EXTRA19999"), 20001);
}

// The readers resolve inheritance once per key for all sections; on random
// parent structures (chains, cycles, self-parents, missing parents,
// repeated section names) they give what following each section's chain
// key by key gives.
TEST(SkinIniAtScale, ResolvedInheritanceMatchesFollowingEachChain) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const int n = 1 + static_cast<int>(rng() % 60);
        struct Sec {
            String parent;       // empty: no PARENTCLASS key
            String color;        // empty: no COLOR key
            String gradient;     // empty: no GRADIENTDATA key
        };
        std::vector<Sec> secs(static_cast<std::size_t>(n));
        String text;
        for (int i = 0; i < n; ++i) {
            Sec& s = secs[static_cast<std::size_t>(i)];
            switch (rng() % 6) {
            case 0: break;
            case 1: s.parent = Name("N", i); break;   // itself
            case 2: s.parent = u"MISSING"; break;
            case 3: s.parent = u"?"; break;
            default: s.parent = Name("N", static_cast<int>(rng() % static_cast<unsigned>(n)));
            }
            switch (rng() % 5) {
            case 0: s.color = IntToStr(static_cast<Int64>(rng() % 1000)); break;
            case 1: s.color = u"abc"; break;   // not a number: as if missing
            case 2: s.color = u"-1"; break;    // cannot be told from missing
            default: break;
            }
            switch (rng() % 4) {
            case 0: s.gradient = u"?"; break;   // as if missing
            case 1: s.gradient = u"1;2;" + IntToStr(static_cast<Int64>(rng() % 100)) + u";0;0"; break;
            default: break;
            }
            text += u"[" + Name("N", i) + u"]\r\n";
            if (!s.parent.empty()) text += u"parentclass=" + s.parent + u"\r\n";
            if (!s.color.empty()) text += u"Color=" + s.color + u"\r\n";
            if (!s.gradient.empty()) text += u"GRADIENTDATA=" + s.gradient + u"\r\n";
            // A later section of the same name is not read.
            if (rng() % 8 == 0) text += u"[" + Name("N", i) + u"]\r\nCOLOR=5\r\nPARENTCLASS=N0\r\n";
        }
        auto chain = [&](int i) {
            std::vector<int> c{i};
            for (;;) {
                const String& p = secs[static_cast<std::size_t>(c.back())].parent;
                if (p.empty() || p == u"?" || p == Name("N", c.back()) || p.rfind(u"N", 0) != 0) break;
                const int next = std::stoi(StringToUtf8(p.substr(1)));
                if (std::find(c.begin(), c.end(), next) != c.end()) break;
                c.push_back(next);
            }
            return c;
        };
        Model m;
        m.LoadAllGeneralData(text);
        for (int i = 0; i < n; ++i) {
            const std::vector<int> c = chain(i);
            TColor color = 0xFFFFFF;
            for (int k : c) {
                const Integer v = StrToIntDef(secs[static_cast<std::size_t>(k)].color, -1);
                if (v != -1) {
                    color = v;
                    break;
                }
            }
            String gradient = u" ";
            for (int k : c) {
                const String& g = secs[static_cast<std::size_t>(k)].gradient;
                if (!g.empty() && g != u"?") {
                    gradient = g;
                    break;
                }
            }
            const TsGeneralData& d = m.Section(Name("N", i));
            EXPECT_EQ(d.Color, color) << i;
            EXPECT_EQ(d.GradientData, gradient) << i;
        }
        // The masks of the whole skin at once agree with the look-up of one.
        for (int i = 0; i < n; i += 3) m.AddMask(Name("N", i), u"BORDERSMASK");
        m.InitConstantIndexes();
        for (std::size_t i = 0; i < m.gd.size(); ++i)
            EXPECT_EQ(m.gd[i].BorderIndex,
                      m.GetMaskIndex(static_cast<Integer>(i), m.gd[i].ClassName, u"BORDERSMASK")) << i;
    }
}

// --- look-ups ---------------------------------------------------------------

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.LoadAllGeneralData(
            u"[GLOBALINFO]\r\n[BUTTON]\r\n[TOOLBUTTON]\r\nPARENTCLASS=BUTTON\r\n[EDIT]\r\n[DEEP]\r\nPARENTCLASS=TOOLBUTTON\r\n");
        m.AddMask(u"BUTTON", u"BORDERSMASK");                 // 0
        m.AddMask(u"BUTTON", u"PATTERN", itisaTexture);       // 1
        m.AddMask(u"EDIT", u"PATTERN", itisaGlyph);           // 2
        m.AddMask(u"button", u"GLYPHMASK");                   // 3
        m.AddMask(u"GLOBALINFO", u"BORDERSMASK");             // 4
        m.pa.push_back({nullptr, u"BUTTON", u"PATTERN"});
        m.InitMaskIndexes();
    }
    Model m;
};

TEST_F(LookupTest, MasksTexturesAndPatternsThroughTheParentChain) {
    const Integer tool = m.GetSkinIndex(u"TOOLBUTTON"), deep = m.GetSkinIndex(u"DEEP");
    EXPECT_EQ(m.GetMaskIndex(tool, u"TOOLBUTTON", u"BORDERSMASK"), 0);
    EXPECT_EQ(m.GetMaskIndex(deep, u"DEEP", u"BORDERSMASK"), 0);
    EXPECT_EQ(m.GetMaskIndex(u"TOOLBUTTON", u"BORDERSMASK"), -1);   // no parent retry
    EXPECT_EQ(m.GetMaskIndex(u"BUTTON", u"BORDERSMASK"), 0);
    EXPECT_EQ(m.GetMaskIndex(u"", u"BORDERSMASK"), -1);
    EXPECT_EQ(m.GetMaskIndex(tool, u"", u"BORDERSMASK"), -1);
    // Exact letter case.
    EXPECT_EQ(m.GetMaskIndex(tool, u"TOOLBUTTON", u"bordersmask"), -1);
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"BUTTON"), u"BUTTON", u"GLYPHMASK"), -1);
    EXPECT_EQ(m.GetMaskIndex(u"button", u"GLYPHMASK"), 3);
    // Textures only match texture images.
    EXPECT_EQ(m.GetTextureIndex(deep, u"DEEP", u"PATTERN"), 1);
    EXPECT_EQ(m.GetTextureIndex(m.GetSkinIndex(u"EDIT"), u"EDIT", u"PATTERN"), -1);
    EXPECT_EQ(m.GetPatternIndex(deep, u"DEEP", u"PATTERN"), 0);
    EXPECT_EQ(m.GetPatternIndex(deep, u"DEEP", u"HOTPATTERN"), -1);

    const TsGeneralData& d = m.Section(u"DEEP");
    EXPECT_EQ(d.BorderIndex, 0);
    EXPECT_EQ(d.TextureNormal, 1);
    EXPECT_EQ(d.ImgTL, -1);
    EXPECT_EQ(m.Section(u"EDIT").BorderIndex, -1);
    EXPECT_EQ(m.Section(u"GLOBALINFO").BorderIndex, -1);   // skipped, though a mask exists
}

TEST_F(LookupTest, StaleSectionIndexesAreChecked) {
    const Integer count = static_cast<Integer>(m.gd.size());
    for (Integer bad : {-1, -100, count, count + 7}) {
        EXPECT_EQ(m.GetMaskIndex(bad, u"BUTTON", u"BORDERSMASK"), -1) << bad;
        EXPECT_EQ(m.GetTextureIndex(bad, u"BUTTON", u"PATTERN"), -1) << bad;
        EXPECT_EQ(m.GetPatternIndex(bad, u"BUTTON", u"PATTERN"), -1) << bad;
        EXPECT_FALSE(m.IsValidSkinIndex(bad));
    }
    // An index of another section follows the named section's own parents.
    const Integer edit = m.GetSkinIndex(u"EDIT");
    EXPECT_EQ(m.GetMaskIndex(edit, u"TOOLBUTTON", u"BORDERSMASK"), 0);
    EXPECT_EQ(m.GetMaskIndex(m.GetSkinIndex(u"TOOLBUTTON"), u"EDIT", u"BORDERSMASK"), -1);
    EXPECT_EQ(m.GetMaskIndex(edit, u"MISSING", u"BORDERSMASK"), -1);

    EXPECT_TRUE(m.IsValidImgIndex(0));
    EXPECT_TRUE(m.IsValidImgIndex(4));
    EXPECT_FALSE(m.IsValidImgIndex(5));
    EXPECT_FALSE(m.IsValidImgIndex(-1));
    m.SkinData.reset();
    EXPECT_FALSE(m.IsValidSkinIndex(0));
}

// --- mask metrics -----------------------------------------------------------

struct MetricsCase {
    TRect R;
    SmallInt ImageCount, MaskType, BorderWidth, WL, WT, WR, WB;
    Integer FrameWidth, FrameHeight, Left, Top, Right, Bottom;
};

class MaskMetricsTest : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(MaskMetricsTest, FramesAndBorderWidths) {
    const MetricsCase& c = GetParam();
    TacSkinModel m;
    TsMaskData mask;
    mask.R = c.R;
    mask.ImageCount = c.ImageCount;
    mask.MaskType = c.MaskType;
    mask.BorderWidth = c.BorderWidth;
    mask.WL = c.WL;
    mask.WT = c.WT;
    mask.WR = c.WR;
    mask.WB = c.WB;
    m.ma.push_back(mask);
    EXPECT_EQ(MaskFrameWidth(mask), c.FrameWidth);
    EXPECT_EQ(MaskFrameHeight(mask), c.FrameHeight);
    EXPECT_EQ(m.MaskWidthTop(0), c.Top);
    EXPECT_EQ(m.MaskWidthBottom(0), c.Bottom);
    EXPECT_EQ(m.MaskWidthLeft(0), c.Left);   // turns an ImageCount of 0 into 1
    EXPECT_EQ(m.MaskWidthRight(0), c.Right);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskMetricsTest,
    ::testing::Values(
        //          R                 IC  MT  BW  WL WT WR WB   FW  FH  L   T   R   B
        MetricsCase{{0, 0, 90, 41}, 3, 1, 0, 0, 0, 0, 0, 30, 20, 30, 20, 30, 20},
        MetricsCase{{0, 0, 90, 41}, 3, 1, 0, 4, 5, 6, 7, 30, 20, 4, 5, 6, 7},
        MetricsCase{{0, 0, 90, 41}, 3, 1, 2, 0, 5, 0, 0, 30, 20, 2, 5, 2, 2},
        MetricsCase{{10, 10, 30, 40}, 1, 0, 0, 0, 0, 0, 0, 20, 30, 20, 30, 20, 30},
        MetricsCase{{0, 0, 60, 60}, 2, 2, 0, 0, 0, 0, 0, 30, 20, 30, 20, 30, 20},
        // No frames: nothing wide until MaskWidthLeft counts one.
        MetricsCase{{0, 0, 60, 60}, 0, 0, 0, 0, 0, 0, 0, 0, 60, 60, 60, 60, 60},
        // Negative counts and empty or inverted rectangles give 0, never a fault.
        MetricsCase{{0, 0, 60, 60}, -3, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        MetricsCase{{0, 0, 60, 60}, 2, -2, -5, -1, -1, -1, -1, 30, 0, 30, 0, 30, 0},
        MetricsCase{{50, 50, 10, 10}, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        MetricsCase{{-2147483647, 0, 2147483647, 10}, 1, 0, 0, 0, 0, 0, 0, 2147483647, 10, 2147483647, 10,
                    2147483647, 10}));

TEST(MaskMetrics, InvalidIndexesGiveZero) {
    TacSkinModel m;
    for (Integer i : {-1, 0, 5}) {
        EXPECT_EQ(m.MaskWidthLeft(i), 0);
        EXPECT_EQ(m.MaskWidthTop(i), 0);
        EXPECT_EQ(m.MaskWidthRight(i), 0);
        EXPECT_EQ(m.MaskWidthBottom(i), 0);
    }
}

// --- constant indexes ---------------------------------------------------------

TEST(ConstData, WithGlobalInfo) {
    Model m;
    m.LoadAllGeneralData(
        u"[GLOBALINFO]\r\n[TABBOTTOM]\r\n[SCROLLBTNTOP]\r\n[SCROLLSLIDERH]\r\n[COMBOBTN]\r\nPARENTCLASS=BUTTON\r\n"
        u"[BUTTON]\r\n[WEBBUTTON]\r\n[COMBOBOX]\r\n");
    m.AddMask(u"GLOBALINFO", u"BOXCHECKED");           // 0
    m.AddMask(u"GLOBALINFO", u"EXBORDER");             // 1
    m.AddMask(u"GLOBALINFO", u"GRIPIMAGE");            // 2
    m.AddMask(u"TABBOTTOM", u"BORDERSMASK");           // 3
    m.AddMask(u"SCROLLBTNTOP", u"GLYPHMASK");          // 4
    m.AddMask(u"SCROLLBTNTOP", u"PATTERN");            // 5
    m.AddMask(u"BUTTON", u"BORDERSMASK");              // 6
    m.AddMask(u"BUTTON", u"PATTERN", itisaTexture);    // 7
    m.AddMask(u"COMBOBOX", u"GLYPHMASK");              // 8
    m.AddMask(u"SCROLLSLIDERV", u"GLYPHMASK");         // 9: no such section
    m.AddMask(u"SCROLLSLIDERH", u"HOTPATTERN");        // 10
    m.InitConstantIndexes();
    const TConstantSkinData& c = m.ConstData;
    EXPECT_EQ(c.IndexGLobalInfo, 0);
    EXPECT_EQ(c.CheckBoxChecked, 0);
    EXPECT_EQ(c.CheckBoxUnChecked, -1);
    EXPECT_EQ(c.ExBorder, 1);
    EXPECT_EQ(c.GripRightBottom, 2);
    EXPECT_EQ(c.GripVertical, -1);
    // Each tab section's own mask, also while "TABTOP" is missing.
    EXPECT_EQ(c.IndexTabTop, -1);
    EXPECT_EQ(c.IndexTabBottom, 1);
    EXPECT_EQ(c.MaskTabBottom, 3);
    EXPECT_EQ(c.MaskTabTop, -1);
    EXPECT_EQ(c.IndexScrollTop, 2);
    EXPECT_EQ(c.MaskArrowTop, 4);
    EXPECT_EQ(c.IndexBGScrollTop, 5);
    EXPECT_EQ(c.IndexScrollBottom, -1);
    EXPECT_EQ(c.MaskSliderGlyphVert, -1);
    EXPECT_EQ(c.ScrollSliderBGHotHorz, 10);
    EXPECT_EQ(c.ComboBtnIndex, 4);
    EXPECT_EQ(c.ComboBtnBorder, -1);   // no parent retry
    EXPECT_EQ(c.ComboBtnBG, 7);        // texture of the parent
    EXPECT_EQ(c.ComboGlyph, 8);
    EXPECT_EQ(c.IndexWebBtn, 6);
    EXPECT_EQ(m.Section(u"COMBOBTN").BorderIndex, 6);
}

TEST(ConstData, WithoutGlobalInfoTheGlobalMasksAreMissing) {
    Model m;
    m.LoadAllGeneralData(u"[BUTTON]\r\n");
    for (const char16_t* prop : {u"BOXCHECKED", u"BOXUNCHECKED", u"BOXGRAYED", u"RADIOCHECKED", u"RADIOUNCHECKED",
                                 u"RADIOGRAYED", u"SMALLCHECKED", u"SMALLUNCHECKED", u"SMALLGRAYED", u"EXBORDER",
                                 u"GRIPIMAGE", u"GRIPHORZ", u"GRIPVERT"})
        m.AddMask(u"GLOBALINFO", prop);
    m.ConstData.CheckBoxChecked = 3;   // a value from an earlier skin
    m.InitConstantIndexes();
    const TConstantSkinData& c = m.ConstData;
    for (SmallInt v : {c.IndexGLobalInfo, c.CheckBoxChecked, c.CheckBoxUnChecked, c.CheckBoxGrayed,
                       c.RadioButtonChecked, c.RadioButtonUnChecked, c.RadioButtonGrayed, c.SmallCheckBoxChecked,
                       c.SmallCheckBoxUnChecked, c.SmallCheckBoxGrayed, c.ExBorder})
        EXPECT_EQ(v, -1);
    EXPECT_EQ(c.GripRightBottom, -1);
    EXPECT_EQ(c.GripHorizontal, -1);
    EXPECT_EQ(c.GripVertical, -1);
}

}  // namespace
