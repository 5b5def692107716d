// A fixture for tests of skinned controls on a real form: the flat test
// skin written into a temporary folder of its own, loaded by the default
// manager, and a plain form (no skinned frame) shown; all of it freed again, the folder too.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "Forms.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace kestrune_test {

class TestSkinForm : public ::testing::Test {
protected:
    // Writes the test skin into root / "Test"; no manager may exist yet.
    void WriteSkin() {
        ASSERT_EQ(DefaultManager, nullptr);
        std::random_device r;
        root = std::filesystem::temp_directory_path() /
               ("kestrune-skin-" + std::to_string(r()) + "-" + std::to_string(r()));
        skingen::WriteTestSkin(root / "Test");
    }
    // Loads the written skin with Common over it as the default manager and
    // shows a plain form of Width x Height.
    void LoadAndShow(const std::string& Common = {}, int Width = 360, int Height = 260) {
        manager = NewTestSkinManager(root, Common);
        ASSERT_EQ(DefaultManager, manager);
        ASSERT_TRUE(manager->SkinData()->Active);
        // The form keeps its plain frame: the window-creation hook leaves
        // forms alone.
        manager->SetSkinningRules({srStdDialogs, srThirdParty});
        form = New<TForm>(Application);
        form->SetBounds(40, 40, Width, Height);
        form->Show();
        harness::PumpUntilIdle(20, 1000);
    }
    void TearDown() override {
        if (form) form->Free();
        if (manager) manager->Free();
        form = nullptr;
        manager = nullptr;
        harness::PumpUntilIdle(10, 500);
        std::error_code ec;
        if (!root.empty()) std::filesystem::remove_all(root, ec);
        EXPECT_EQ(DefaultManager, nullptr);
    }

public:
    std::filesystem::path root;
    TsSkinManager* manager = nullptr;
    TForm* form = nullptr;
};

// The same with a skin provider given to the form by Attach.
class TestSkinProviderForm : public TestSkinForm {
protected:
    TsSkinProvider* Attach() {
        provider = New<TsSkinProvider>(form);
        harness::PumpUntilIdle(20, 1000);
        return provider;
    }
    HWND Wnd() const { return form->Handle(); }

public:
    TsSkinProvider* provider = nullptr;
};

}  // namespace kestrune_test
