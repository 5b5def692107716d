// A skin manager with the flat test skin of a folder chosen.
#pragma once

#include <filesystem>
#include <string>

#include "Classes.h"
#include "GuiHarness.h"
#include "TempFolder.h"
#include "TestSkin.h"
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

// A colour of the test skin (0xRRGGBB) as the system's COLORREF.
inline COLORREF TestRef(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// The flat test skin written into a temporary folder of its own (named by
// Prefix) and chosen by a new manager. The manager goes first, then the
// folder, when the object goes.
class TestSkinSession {
public:
    explicit TestSkinSession(const std::string& Prefix) : FFolder(Prefix) {
        skingen::WriteTestSkin(FFolder.Path() / "Test");
        FManager = NewTestSkinManager(FFolder.Path());
    }
    ~TestSkinSession() {
        FManager->Free();
        harness::PumpUntilIdle(10, 500);
    }
    TestSkinSession(const TestSkinSession&) = delete;
    TestSkinSession& operator=(const TestSkinSession&) = delete;
    TsSkinManager* Manager() const { return FManager; }
    const std::filesystem::path& Root() const { return FFolder.Path(); }

private:
    harness::TempFolder FFolder;
    TsSkinManager* FManager = nullptr;
};

}  // namespace kestrune_test
