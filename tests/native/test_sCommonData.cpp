// The control kinds of the skin-state object: kind sets and default sections.
#include <gtest/gtest.h>

#include "Strings.h"
#include "sCommonData.h"

TEST(SCommonDataKinds, KindSets) {
    // Kinds at and beside every range edge; kinds outside 0..255 are in no set.
    struct Case {
        Integer kind;
        bool edit, noHot, noGlow;
    };
    const Case cases[] = {
        {-1, false, false, false},  {0, false, false, false},   {1, false, false, false},
        {2, true, false, false},    {18, true, false, false},   {19, false, true, false},
        {20, false, false, false},  {40, false, false, false},  {41, true, false, false},
        {42, false, false, false},  {50, false, false, false},  {51, false, true, true},
        {52, false, true, true},    {53, false, true, false},   {54, false, true, true},
        {55, false, true, false},   {56, false, true, true},    {60, false, true, true},
        {61, false, true, false},   {67, false, true, false},   {68, false, true, true},
        {69, false, true, false},   {72, false, true, false},   {73, false, true, true},
        {74, false, true, true},    {75, false, false, false},  {76, true, false, false},
        {84, true, false, false},   {85, false, false, false},  {92, false, false, false},
        {95, false, false, false},  {96, true, false, false},   {97, false, false, false},
        {109, false, false, false}, {110, false, true, true},   {111, false, false, false},
        {130, false, false, false}, {131, true, false, false},  {140, true, false, false},
        {141, false, true, true},   {142, false, true, false},  {143, false, true, true},
        {150, false, true, false},  {151, false, true, true},   {152, false, true, false},
        {160, false, true, false},  {161, false, true, true},   {162, false, false, false},
        {225, false, false, false}, {226, false, false, true},  {227, false, false, false},
        {255, false, false, false}, {256, false, false, false}, {256 + 19, false, false, false},
        {256 + 51, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsEditKind(c.kind), c.edit) << c.kind;
        EXPECT_EQ(IsNoHotKind(c.kind), c.noHot) << c.kind;
        EXPECT_EQ(IsNoGlowKind(c.kind), c.noGlow) << c.kind;
    }
}

TEST(SCommonDataKinds, CommonGlowLeavesOutKindsWithoutGlowAndTheButtons) {
    struct Case {
        Integer kind;
        bool shows;
    };
    const Case cases[] = {
        {0, true},    {2, true},   {51, false}, {53, true},  {91, true},  {92, false}, {93, false},
        {94, false},  {95, true},  {161, false}, {226, false}, {227, true}, {300, true}, {-5, true},
    };
    for (const Case& c : cases) EXPECT_EQ(ShowsCommonGlow(c.kind), c.shows) << c.kind;
}

TEST(SCommonDataKinds, DefaultSectionOfKind) {
    // Every row of the table at its edges and beside them; kinds without a row
    // take the owner's class name.
    const String owner = u"TsOwner";
    struct Case {
        Integer kind;
        const char16_t* section;
    };
    const Case cases[] = {
        {-1, u"TsOwner"},       {0, u"TsOwner"},         {1, u"TsOwner"},      {2, u"EDIT"},
        {8, u"EDIT"},           {9, u"TsOwner"},         {10, u"EDIT"},        {11, u"COMBOBOX"},
        {18, u"COMBOBOX"},      {19, u"BAR"},            {20, u"BARTITLE"},    {21, u"TsOwner"},
        {31, u"TsOwner"},       {32, u"CHECKBOX"},       {33, u"RADIOBUTTON"}, {34, u"TsOwner"},
        {40, u"TsOwner"},       {41, u"EDIT"},           {42, u"TsOwner"},     {50, u"TsOwner"},
        {51, u"PANEL"},         {52, u"PANEL_LOW"},      {53, u"TOOLBAR"},     {54, u"TOOLBAR"},
        {55, u"TsOwner"},       {56, u"DRAGBAR"},        {57, u"TABSHEET"},    {58, u"PANEL_LOW"},
        {59, u"PANEL"},         {60, u"TOOLBAR"},        {61, u"TsOwner"},     {68, u"PANEL"},
        {73, u"PANEL"},         {74, u"GROUPBOX"},       {75, u"SPLITTER"},    {76, u"EDIT"},
        {77, u"TsOwner"},       {78, u"EDIT"},           {79, u"TsOwner"},     {80, u"TsOwner"},
        {81, u"COMBOBOX"},      {82, u"COMBOBOX"},       {83, u"EDIT"},        {85, u"EDIT"},
        {86, u"TsOwner"},       {91, u"TsOwner"},        {92, u"SPEEDBUTTON"}, {93, u"BUTTON"},
        {94, u"BUTTON"},        {95, u"SPEEDBUTTON"},    {96, u"EDIT"},        {97, u"TsOwner"},
        {98, u"TOOLBUTTON"},    {99, u"TsOwner"},        {130, u"TsOwner"},    {131, u"EDIT"},
        {132, u"TsOwner"},      {139, u"TsOwner"},       {140, u"EDIT"},       {141, u"PAGECONTROL"},
        {142, u"TsOwner"},      {143, u"PAGECONTROL"},   {151, u"STATUSBAR"},  {152, u"CHECKBOX"},
        {153, u"TsOwner"},      {161, u"GAUGE"},         {165, u"TRACKBAR"},   {166, u"TsOwner"},
        {224, u"TsOwner"},      {226, u"GROUPBOX"},      {227, u"EDIT"},       {228, u"TsOwner"},
        {256 + 2, u"TsOwner"},
    };
    for (const Case& c : cases) EXPECT_EQ(DefaultSectionOfKind(c.kind, owner), c.section) << c.kind;
}

TEST(SCommonDataKinds, KindsOfTheSkinnedControls) {
    // The kinds the skinned objects set, with the section each takes when none is given.
    struct Case {
        Integer kind;
        const char16_t* section;
        bool edit, noHot;
    };
    const Case cases[] = {
        {COC_TsCustomComboBox, u"EDIT", true, false},   {COC_TsMemo, u"EDIT", true, false},
        {COC_TsRichEdit, u"EDIT", true, false},         {COC_TacListViewWnd, u"EDIT", true, false},
        {COC_TsCheckBox, u"CHECKBOX", false, false},    {COC_TsPanel, u"PANEL", false, true},
        {COC_TsScrollBox, u"PANEL_LOW", false, true},   {COC_TsButton, u"BUTTON", false, false},
        {COC_TsProgressBar, u"GAUGE", false, true},     {COC_TsSkinProvider, u"TsSkinProvider", false, false},
        {COC_TsFrameAdapter, u"GROUPBOX", false, false}, {COC_TacAdapterItem, u"EDIT", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultSectionOfKind(c.kind, u"TsSkinProvider"), c.section) << c.kind;
        EXPECT_EQ(IsEditKind(c.kind), c.edit) << c.kind;
        EXPECT_EQ(IsNoHotKind(c.kind), c.noHot) << c.kind;
    }
}
