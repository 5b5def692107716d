// The constants unit at start-up: the engine's fixed texts come from the
// program's string table under their identifiers, and the default values are
// set.
#include <gtest/gtest.h>

#include <set>

#include "WinApi.h"
#include "sConstWin.h"

namespace {

struct ConstUnit : ::testing::Test {
    void SetUp() override { sConstInitialization(); }
    void TearDown() override { sConstInitialization(); }
};

}  // namespace

TEST_F(ConstUnit, FixedTextsComeFromTheStringTable) {
    const struct {
        TacText Text;
        unsigned Id;
        const char16_t* Expected;
    } cases[] = {
        {TacText::OK, 58992, u"OK"},
        {TacText::Help, 58990, u"&Help"},
        {TacText::Restore, 58981, u"Restore"},
        {TacText::Close, 58976, u"Close"},
        {TacText::Calculator, 58975, u"Calculator"},
        {TacText::FileOpen, 58970, u"File open"},
        {TacText::AvailSkins, 58964, u"Available skins"},
        {TacText::Internal, 58963, u"(internal)"},
        {TacText::ErrSetCount, 58962, u"Error setting %s.Count"},
        {TacText::ListBoxNotVirtual, 58961, u"Listbox (%s) style must be virtual in order to set Count"},
        {TacText::AddToCustomColors, 58960, u"Add to custom colors set"},
        {TacText::Color, 58956, u"Color"},
        {TacText::Decimal, 58952, u"Decimal - "},
        {TacText::SaveToFile, 58931, u"Save to file as..."},
        {TacText::Color2, 58930, u"Color"},
        {TacText::HintPreview, 58924, u"Preview of the future hint window"},
        {TacText::SelectDirectory, 58911, u"Select directory"},
        {TacText::Create, 58910, u"Create"},
        {TacText::InvalidDate, 58904, u"Invalid date"},
        {TacText::Root, 58903, u"Root :"},
        {TacText::SkinsDirectory, 58902, u"Directory with skins :"},
        {TacText::SelectSkin, 58901, u"Select skin"},
        {TacText::SkinPreview, 58900, u"Skin preview"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Id);
        EXPECT_EQ(acTextId(c.Text), c.Id);
        EXPECT_EQ(acText(c.Text), String(c.Expected));
    }
    // Every text has its own identifier and was found.
    std::set<unsigned> ids;
    for (int i = 0; i < acTextCount; ++i) {
        const auto text = static_cast<TacText>(i);
        ids.insert(acTextId(text));
        EXPECT_FALSE(acText(text).empty()) << acTextId(text);
    }
    EXPECT_EQ(ids.size(), 59u);
}

TEST_F(ConstUnit, StartUpSetsTheDefaultsAndShutDownClearsTheTexts) {
    EmptyCI.X = 5;
    EmptyCI.Ready = true;
    sConstInitialization();
    EXPECT_EQ(EmptyCI.Bmp, nullptr);
    EXPECT_EQ(EmptyCI.X, -99);
    EXPECT_EQ(EmptyCI.Y, -99);
    EXPECT_EQ(EmptyCI.FillColor, kNoColor);
    EXPECT_FALSE(EmptyCI.Ready);
    EXPECT_EQ(acDefScrollBtnWidth, GetSystemMetrics(SM_CXHSCROLL));
    sConstFinalization();
    EXPECT_TRUE(acText(TacText::OK).empty());
}
