#include "sCommonData.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace {

struct TKindRange {
    Integer First;
    Integer Last;
};

// A set of kinds 0..255.
class TKindSet {
public:
    constexpr TKindSet(std::initializer_list<TKindRange> Ranges) {
        for (const TKindRange& r : Ranges)
            for (Integer k = r.First; k <= r.Last; ++k)
                FBits[static_cast<unsigned>(k) >> 6] |= std::uint64_t{1} << (k & 63);
    }
    constexpr bool Contains(Integer Kind) const {
        return Kind >= 0 && Kind <= 255 && ((FBits[static_cast<unsigned>(Kind) >> 6] >> (Kind & 63)) & 1) != 0;
    }

private:
    std::array<std::uint64_t, 4> FBits{};
};

constexpr TKindSet EditKinds{{2, 18}, {41, 41}, {76, 84}, {96, 96}, {131, 140}};
constexpr TKindSet NoHotKinds{{19, 19}, {51, 74}, {110, 110}, {141, 161}};
constexpr TKindSet NoGlowKinds{{51, 52}, {54, 54}, {56, 60}, {68, 68},   {73, 74},   {110, 110},
                               {141, 141}, {143, 143}, {151, 151}, {161, 161}, {226, 226}};

struct TKindSection {
    TKindRange Kinds;
    const char16_t* Section;
};

constexpr TKindSection KindSections[] = {
    {{2, 8}, u"EDIT"},          {{10, 10}, u"EDIT"},         {{41, 41}, u"EDIT"},         {{76, 76}, u"EDIT"},
    {{78, 78}, u"EDIT"},        {{83, 85}, u"EDIT"},         {{96, 96}, u"EDIT"},         {{131, 131}, u"EDIT"},
    {{140, 140}, u"EDIT"},      {{227, 227}, u"EDIT"},       {{11, 18}, u"COMBOBOX"},     {{81, 82}, u"COMBOBOX"},
    {{19, 19}, u"BAR"},         {{20, 20}, u"BARTITLE"},     {{32, 32}, u"CHECKBOX"},     {{152, 152}, u"CHECKBOX"},
    {{33, 33}, u"RADIOBUTTON"}, {{51, 51}, u"PANEL"},        {{59, 59}, u"PANEL"},        {{68, 68}, u"PANEL"},
    {{73, 73}, u"PANEL"},       {{52, 52}, u"PANEL_LOW"},    {{58, 58}, u"PANEL_LOW"},    {{53, 54}, u"TOOLBAR"},
    {{60, 60}, u"TOOLBAR"},     {{56, 56}, u"DRAGBAR"},      {{57, 57}, u"TABSHEET"},     {{74, 74}, u"GROUPBOX"},
    {{226, 226}, u"GROUPBOX"},  {{75, 75}, u"SPLITTER"},     {{92, 92}, u"SPEEDBUTTON"},  {{95, 95}, u"SPEEDBUTTON"},
    {{93, 94}, u"BUTTON"},      {{98, 98}, u"TOOLBUTTON"},   {{141, 141}, u"PAGECONTROL"}, {{143, 143}, u"PAGECONTROL"},
    {{151, 151}, u"STATUSBAR"}, {{161, 161}, u"GAUGE"},      {{165, 165}, u"TRACKBAR"},
};

}  // namespace

bool IsEditKind(Integer COC) { return EditKinds.Contains(COC); }
bool IsNoHotKind(Integer COC) { return NoHotKinds.Contains(COC); }
bool IsNoGlowKind(Integer COC) { return NoGlowKinds.Contains(COC); }
bool ShowsCommonGlow(Integer COC) { return !IsNoGlowKind(COC) && (COC < 92 || COC > 94); }

String DefaultSectionOfKind(Integer COC, const String& OwnerClassName) {
    for (const TKindSection& s : KindSections)
        if (COC >= s.Kinds.First && COC <= s.Kinds.Last) return s.Section;
    return OwnerClassName;
}
