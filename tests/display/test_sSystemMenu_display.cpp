// The skinned system menu under real input on a screen: a right click on the
// skinned title bar and Alt+Space open the skinned popup (not the system's
// menu), painted from the skin; clicking its close item closes the form, and
// choosing a skin in its chooser switches skins. The input comes from a
// second thread while the form's thread runs the menu loop. Pictures stay
// beside the test program (sysmenu-*.bmp).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The visible popup menu window, nullptr when none.
HWND OpenMenu() {
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

class SystemMenuDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        skin = std::make_unique<kestrune_test::TestSkinSession>("kestrune-sysmenu-");
        skingen::WriteTestSkin(skin->Root() / "Test2");
        ASSERT_TRUE(skin->Manager()->SkinData()->Active);
        form = New<TForm>(Application);
        form->SetCaption(u"System menu");
        form->SetBounds(200, 150, 360, 240);
        provider = New<TsSkinProvider>(form);
        provider->SetMakeSkinMenu(true);
        form->Show();
        ::SetForegroundWindow(form->Handle());
        harness::PumpUntilIdle(50, 2000);
    }
    void TearDown() override {
        if (HWND menu = OpenMenu()) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        if (form) form->Free();
        form = nullptr;
        harness::PumpUntilIdle(20, 500);
        skin.reset();
    }
    POINT CaptionPoint() const {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        const int title = SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true);
        return POINT{r.left + form->Width() / 3, r.top + title / 2};
    }
    // Waits on the input thread for the popup to show.
    static HWND WaitForMenu() {
        for (int i = 0; i < 100; ++i) {
            if (HWND menu = OpenMenu()) return menu;
            Sleep(30);
        }
        return nullptr;
    }

    std::unique_ptr<kestrune_test::TestSkinSession> skin;
    TForm* form = nullptr;
    TsSkinProvider* provider = nullptr;
};

TEST_F(SystemMenuDisplay, RightClickOpensTheSkinnedMenuAndCloseCloses) {
    std::atomic<HMENU> shown{nullptr};
    harness::Capture picture;
    std::atomic<bool> clicked{false};
    harness::RunInputThread([&] {
        harness::MoveMouseTo(CaptionPoint());
        harness::SendInputs({harness::MouseInput(MOUSEEVENTF_RIGHTDOWN), harness::MouseInput(MOUSEEVENTF_RIGHTUP)});
        HWND menu = WaitForMenu();
        if (!menu) return;
        Sleep(300);   // painted
        shown = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
        picture = harness::CaptureWindow(menu, harness::CaptureSource::Screen);
        // The close item is the last one.
        HMENU h = shown.load();
        RECT item{};
        if (!::GetMenuItemRect(nullptr, h, static_cast<UINT>(::GetMenuItemCount(h) - 1), &item)) return;
        harness::ClickAt(POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        clicked = true;
    });
    picture.SaveBmp((fs::path(harness::ModuleFolder()) / L"sysmenu-open.bmp").wstring().c_str());
    ASSERT_NE(shown.load(), nullptr) << "a menu opened";
    EXPECT_EQ(shown.load(), provider->SystemMenu->Items()->Handle()) << "the skinned menu";
    EXPECT_TRUE(picture.Contains(TestRef(skingen::TestSectionColour("MAINMENU", 0)), 2))
        << "the popup shows the skin's menu background";
    EXPECT_TRUE(clicked.load());
    EXPECT_TRUE(harness::PumpUntil([&] { return !form->Visible(); }, 3000)) << "close closed the form";
}

TEST_F(SystemMenuDisplay, AltSpaceOpensTheMenuAndTheChooserSwitchesSkins) {
    ASSERT_EQ(skin->Manager()->SkinName(), u"Test");
    std::atomic<HMENU> shown{nullptr};
    harness::RunInputThread([&] {
        harness::MoveMouseTo(POINT{20, 20});
        harness::SendInputs({harness::KeyInput(VK_MENU, false), harness::KeyInput(VK_SPACE, false), harness::KeyInput(VK_SPACE, true), harness::KeyInput(VK_MENU, true)});
        HWND menu = WaitForMenu();
        if (!menu) return;
        shown = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
        // The chooser is the first item; its submenu lists "Test", "Test2".
        harness::TapKey(VK_DOWN, 80);
        harness::TapKey(VK_RIGHT, 80);
        harness::TapKey(VK_DOWN, 80);
        harness::TapKey(VK_RETURN, 80);
    });
    ASSERT_NE(shown.load(), nullptr) << "a menu opened";
    EXPECT_EQ(shown.load(), provider->SystemMenu->Items()->Handle());
    EXPECT_TRUE(harness::PumpUntil([&] { return skin->Manager()->SkinName() == u"Test2"; }, 3000));
    EXPECT_TRUE(skin->Manager()->SkinData()->Active);
    EXPECT_TRUE(form->Visible());
}

}  // namespace
