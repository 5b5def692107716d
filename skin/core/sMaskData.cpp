#include "sMaskData.h"

#include <algorithm>
#include <cstdint>

const char16_t* const acThirdNames[acThirdKindCount] = {
    u"Edit",      u"Button",     u"BitBtn",      u"CheckBox",    u"ComboBox",   u"Grid",          u"GroupBox",
    u"ListView",  u"Panel",      u"TreeView",    u"wwEdit",      u"GridEh",     u"VirtualTree",   u"PageControl",
    u"TabControl", u"ToolBar",   u"StatusBar",   u"SpeedButton", u"ScrollControl", u"UpDownBtn"};

const char16_t* const acThirdDefaults[acThirdKindCount] = {
    u" ", u"TButton", u" ", u" ", u" ", u" ", u" ", u" ", u" ", u" ",
    u" ", u" ",       u" ", u" ", u" ", u" ", u" ", u" ", u" ", u" "};

Integer MaskFrameWidth(const TsMaskData& Mask) {
    if (Mask.ImageCount <= 0) return 0;
    const Int64 width = Int64{Mask.R.Right} - Mask.R.Left;
    if (width <= 0) return 0;
    return static_cast<Integer>(std::min<Int64>(width / Mask.ImageCount, INT32_MAX));
}

Integer MaskFrameHeight(const TsMaskData& Mask) {
    if (Mask.MaskType < 0) return 0;
    const Int64 height = Int64{Mask.R.Bottom} - Mask.R.Top;
    if (height <= 0) return 0;
    return static_cast<Integer>(std::min<Int64>(height / (Mask.MaskType + 1), INT32_MAX));
}
