// The window-creation hook's forms: with a skin chosen, a form of the
// application that has no skin provider gets one made at run time when it is
// activated, unless it is one of the engine's own windows or the manager's
// rules leave forms alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acDials.h"
#include "sMessages.h"
#include "sSkinProvider.h"
#include "sStyleSimplyWin.h"

namespace {

class CreationHook : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        skingen::WriteTestSkin(folder.Path() / "Test");
        manager = kestrune_test::NewTestSkinManager(folder.Path());
        ASSERT_TRUE(manager->SkinData()->Active);
        ASSERT_TRUE(manager->IsDefault());
        ASSERT_TRUE(TsSkinManager::HookInstalled());
    }
    void TearDown() override {
        manager->Free();
        harness::PumpUntilIdle(5, 500);
    }
    TForm* ShownForm(std::intptr_t tag = 0) {
        auto* form = New<TForm>(Application);
        form->Tag = tag;
        form->SetBounds(60, 60, 240, 160);
        form->Show();
        ::SetActiveWindow(form->Handle());
        harness::PumpUntilIdle(10, 500);
        return form;
    }
    static std::size_t Slots() {
        const auto& list = HookProviders();
        return static_cast<std::size_t>(std::count_if(list.begin(), list.end(), [](TacProvider* p) { return p; }));
    }

    harness::TempFolder folder{"kestrune-hook-"};
    TsSkinManager* manager = nullptr;
};

TEST_F(CreationHook, AnActivatedFormGetsOneRunTimeProvider) {
    const std::size_t before = Slots();
    TForm* form = ShownForm();
    auto* provider = dynamic_cast<TsSkinProvider*>(GetFormProvider(form));
    ASSERT_NE(provider, nullptr) << "the activated form has no provider";
    EXPECT_EQ(provider->Form, form);
    EXPECT_EQ(provider->Owner(), form);
    EXPECT_EQ(SendSkinCommand(form->Handle(), AC_CTRLHANDLED), 1);
    EXPECT_EQ(Slots(), before + 1);

    // Activated again: still the one provider.
    TForm* other = ShownForm();
    ::SetActiveWindow(form->Handle());
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(GetFormProvider(form), provider);
    EXPECT_EQ(Slots(), before + 2);

    // The form takes its provider and the hook's slot with it.
    other->Free();
    form->Free();
    harness::PumpUntilIdle(5, 200);
    EXPECT_EQ(Slots(), before);
}

TEST_F(CreationHook, EngineWindowsAndFormsOutsideTheRulesStayPlain) {
    struct Case {
        const char* Name;
        std::intptr_t Tag;
        bool FormsRule;
    };
    for (const Case& c : {Case{"engine tag -98", -98, true}, Case{"tag -1 (all the bits of -98)", -1, true},
                          Case{"forms left alone by the rules", 0, false}}) {
        SCOPED_TRACE(c.Name);
        TacSkinningRules rules{srStdDialogs, srThirdParty};
        if (c.FormsRule) rules.Include(srStdForms);
        manager->SetSkinningRules(rules);
        TForm* form = ShownForm(c.Tag);
        EXPECT_EQ(GetFormProvider(form), nullptr);
        form->Free();
    }
    manager->SetSkinningRules({srStdForms, srStdDialogs, srThirdParty});
}

}  // namespace
