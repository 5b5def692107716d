// A skin manager with the flat test skin of a folder chosen.
#pragma once

#include <filesystem>
#include <string>

#include "Classes.h"
#include "sSkinManager.h"

namespace kestrune_test {

// A new manager (owned by nobody) over the skin folder Root, with the ini
// text Common applied over its skins, and the skin Name chosen.
inline TsSkinManager* NewTestSkinManager(const std::filesystem::path& Root, const std::string& Common = {},
                                         const char16_t* Name = u"Test") {
    auto* manager = New<TsSkinManager>(nullptr);
    if (!Common.empty()) {
        TStringList common;
        common.SetText(Utf8ToString(Common));
        manager->SetCommonSections(common);
    }
    manager->SetSkinDirectory(Root.u16string());
    manager->SetSkinName(Name);
    return manager;
}

}  // namespace kestrune_test
