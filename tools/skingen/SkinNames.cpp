#include "SkinNames.h"

namespace skingen {

const std::vector<std::string>& LookedUpSections() {
    static const std::vector<std::string> names = {
        // global options and the fixed indexes
        "GLOBALINFO",
        // forms, dialogs and their title bars
        "FORM", "FORMTITLE", "CAPTION", "DIALOG", "DIALOGTITLE", "MDIAREA",
        // menus
        "MAINMENU", "MENUITEM", "MENULINE", "MENUCAPTION", "DIVIDERV", "ICOLINE", "EXTRALINE", "SELECTION",
        // buttons
        "BUTTON", "SPEEDBUTTON", "SPEEDBUTTON_SMALL", "TOOLBUTTON", "UPDOWNBTN", "WEBBUTTON", "CHECKBOX",
        "RADIOBUTTON",
        // edits and lists
        "EDIT", "COMBOBOX", "COMBOBTN", "COLHEADER",
        // panels and bars
        "PANEL", "PANEL_LOW", "GROUPBOX", "TOOLBAR", "BAR", "BARTITLE", "DRAGBAR", "SPLITTER", "STATUSBAR",
        "DIVIDER",
        // page controls and tabs
        "TABSHEET", "PAGECONTROL", "PAGECONTROLBOTTOM", "PAGECONTROLLEFT", "PAGECONTROLRIGHT", "TABTOP",
        "TABBOTTOM", "TABLEFT", "TABRIGHT",
        // progress and track bars
        "GAUGE", "PROGRESSH", "PROGRESSV", "TRACKBAR",
        // scroll bars
        "SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT", "SCROLLBTNRIGHT", "SCROLLSLIDERH", "SCROLLSLIDERV",
        "SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V",
    };
    return names;
}

const std::vector<std::string>& GlowingCaptionButtons() {
    static const std::vector<std::string> names = {"BICONCLOSE", "BICLOSEALONE", "BICONMAX", "BICONMIN", "BICONNORM",
                                                   "SICONCLOSE", "SICONMAX", "SICONMIN", "SICONNORM"};
    return names;
}

const std::vector<MaskName>& LookedUpMasks() {
    static const std::vector<MaskName> names = [] {
        using K = MaskKind;
        std::vector<MaskName> m;
        const std::string g = "GLOBALINFO";
        // check and radio marks: unchecked, checked, grayed; frames normal, hot, pressed
        for (const char* n : {"BOXCHECKED", "BOXUNCHECKED", "BOXGRAYED", "RADIOCHECKED", "RADIOUNCHECKED",
                              "RADIOGRAYED", "SMALLCHECKED", "SMALLUNCHECKED", "SMALLGRAYED", "CHECK"})
            m.push_back({g, n, K::Glyph, 3});
        for (const char* n : {"GRIPIMAGE", "GRIPHORZ", "GRIPVERT"}) m.push_back({g, n, K::Glyph, 1});
        // caption buttons: normal, hot, pressed
        for (const char* n : {"BICONCLOSE", "BICLOSEALONE", "BICONMAX", "BICONMIN", "BICONNORM", "BICONHELP",
                              "SICONCLOSE", "SICONMAX", "SICONMIN", "SICONNORM", "SICONHELP", "TITLEBUTTON"})
            m.push_back({g, n, K::Glyph, 3});
        for (const std::string& n : GlowingCaptionButtons()) m.push_back({g, n + "GLOW0", K::Glyph, 1});
        // the frame of extended borders: active and inactive
        m.push_back({g, "EXBORDER", K::Border, 2});

        m.push_back({"FORM", "BORDERSMASK", K::Border, 2});
        m.push_back({"FORM", "TITLEBAR", K::Border, 2});
        m.push_back({"FORM", "PATTERN", K::Texture, 1});
        m.push_back({"DIALOG", "BORDERSMASK", K::Border, 2});
        m.push_back({"DIALOG", "TITLEBAR", K::Border, 2});
        m.push_back({"MAINMENU", "BORDERSMASK", K::Border, 1});
        m.push_back({"MENUITEM", "BORDERSMASK", K::Border, 2});
        m.push_back({"DIVIDERV", "BORDERSMASK", K::Border, 1});
        m.push_back({"BUTTON", "BORDERSMASK", K::Border, 4});
        m.push_back({"BUTTON", "GLOW0", K::Border, 1});   // the hot glow of the section's "GLOW" key
        m.push_back({"SPEEDBUTTON", "BORDERSMASK", K::Border, 4});
        m.push_back({"TOOLBUTTON", "BORDERSMASK", K::Border, 3});
        m.push_back({"SPEEDBUTTON_SMALL", "BORDERSMASK", K::Border, 3});
        m.push_back({"UPDOWNBTN", "BORDERSMASK", K::Border, 3});
        m.push_back({"EDIT", "BORDERSMASK", K::Border, 2});
        m.push_back({"COMBOBOX", "BORDERSMASK", K::Border, 2});
        m.push_back({"COMBOBOX", "GLYPHMASK", K::Glyph, 3});
        m.push_back({"COMBOBTN", "BORDERSMASK", K::Border, 3});
        m.push_back({"COMBOBTN", "PATTERN", K::Texture, 1});
        m.push_back({"COMBOBTN", "HOTPATTERN", K::Texture, 1});
        m.push_back({"COLHEADER", "BORDERSMASK", K::Border, 3});
        m.push_back({"PANEL_LOW", "BORDERSMASK", K::Border, 1});
        m.push_back({"GROUPBOX", "BORDERSMASK", K::Border, 1});
        m.push_back({"TOOLBAR", "BORDERSMASK", K::Border, 1});
        m.push_back({"STATUSBAR", "BORDERSMASK", K::Border, 1});
        m.push_back({"STATUSBAR", "STATUSPANELMASK", K::Border, 1});
        m.push_back({"DIVIDER", "BORDERSMASK", K::Border, 1});
        m.push_back({"PAGECONTROL", "BORDERSMASK", K::Border, 1});
        for (const char* s : {"TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"})
            m.push_back({s, "BORDERSMASK", K::Border, 3});
        m.push_back({"GAUGE", "BORDERSMASK", K::Border, 3});
        m.push_back({"PROGRESSH", "BORDERSMASK", K::Border, 1});
        m.push_back({"PROGRESSV", "BORDERSMASK", K::Border, 1});
        m.push_back({"TRACKBAR", "SLIDERCHANNEL", K::Border, 2});
        m.push_back({"TRACKBAR", "SLIDERMASK", K::Glyph, 3});
        m.push_back({"TRACKBAR", "SLIDERVMASK", K::Glyph, 3});
        m.push_back({"TRACKBAR", "TICKHORZ", K::Glyph, 2});
        m.push_back({"TRACKBAR", "TICKVERT", K::Glyph, 2});
        for (const char* s : {"SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT", "SCROLLBTNRIGHT"}) {
            m.push_back({s, "BORDERSMASK", K::Border, 3});
            m.push_back({s, "GLYPHMASK", K::Glyph, 3});
            m.push_back({s, "PATTERN", K::Texture, 1});
            m.push_back({s, "HOTPATTERN", K::Texture, 1});
        }
        for (const char* s : {"SCROLLSLIDERH", "SCROLLSLIDERV"}) {
            m.push_back({s, "BORDERSMASK", K::Border, 3});
            m.push_back({s, "GLYPHMASK", K::Glyph, 3});
            m.push_back({s, "PATTERN", K::Texture, 1});
            m.push_back({s, "HOTPATTERN", K::Texture, 1});
        }
        for (const char* s : {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"}) {
            m.push_back({s, "BORDERSMASK", K::Border, 2});
            m.push_back({s, "PATTERN", K::Texture, 1});
            m.push_back({s, "HOTPATTERN", K::Texture, 1});
        }
        return m;
    }();
    return names;
}

}  // namespace skingen
