// The skin model: reading the skin ini into sections and global options, the
// look-ups by name, the mask metrics and the cached indexes.
#include <gtest/gtest.h>

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
