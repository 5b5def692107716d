// The popup-menu window adapter on real menu windows ("#32768"), made at
// their creation as the window-creation hook makes it: it answers the skin
// commands of a menu window, lives through the menu's closing, empties the
// hook's list when the last menu window goes, and leaves no object behind
// over repeated menus.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "TestSkinForm.h"
#include "Menus.h"
#include "acDials.h"
#include "acSBUtilsMenu.h"
#include "sSkinMenus.h"
#include "sVclUtils.h"
#include "sMessages.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TsSkinManager* gManager = nullptr;

// What a menu window looked like when its frame was first to be painted.
struct FirstFramePaint {
    HWND Wnd = nullptr;
    bool Seen = false;
    bool Layered = false;
    BYTE Alpha = 255;
} gFirstFrame;

// Sees every message before the window procedure does.
LRESULT CALLBACK BeforeProcedure(int Code, WPARAM WParam, LPARAM LParam) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(LParam);
    if (Code == HC_ACTION && m->message == WM_NCPAINT && m->hwnd == gFirstFrame.Wnd && !gFirstFrame.Seen) {
        gFirstFrame.Seen = true;
        gFirstFrame.Layered = (::GetWindowLongPtrW(m->hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        DWORD flags = 0;
        if (gFirstFrame.Layered) ::GetLayeredWindowAttributes(m->hwnd, nullptr, &gFirstFrame.Alpha, &flags);
    }
    return ::CallNextHookEx(nullptr, Code, WParam, LParam);
}
harness::MenuDriver* gDriver = nullptr;

// As the window-creation hook does: a menu adapter for every popup-menu
// window created (the class is the atom 0x8000).
// Made before the hooks installed earlier see the window, so that the
// adapter is this test's even where the manager's own hook is in place.
LRESULT CALLBACK CreationHook(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HCBT_CREATEWND) {
        const auto* cbt = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
        const auto cls = reinterpret_cast<ULONG_PTR>(cbt->lpcs->lpszClass);
        const HWND wnd = reinterpret_cast<HWND>(WParam);
        if (cls == 0x8000 && !SkinCommandAnswered(wnd, AC_CTRLHANDLED)) {
            if (TacMainWnd* a = CreateAdapter(u"TacMnuWnd", wnd, nullptr, gManager, u"MAINMENU", false))
                HookedMenuWindows().push_back(a);
            if (gFirstFrame.Wnd == nullptr) gFirstFrame.Wnd = wnd;
        }
    }
    return ::CallNextHookEx(nullptr, Code, WParam, LParam);
}

LRESULT CALLBACK OwnerProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (gDriver != nullptr) gDriver->Message(Msg, WParam, LParam);
    return ::DefWindowProcW(Wnd, Msg, WParam, LParam);
}

class MenuWindowAdapter : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        manager = kestrune_test::NewTestSkinManager(root);
        ASSERT_TRUE(manager->SkinData()->Active);
        gManager = manager;
        acSBUtilsInitialization();
        // The layered-window entry points the menu windows use.
        InitLayeredWindowEntryPoints();
        gFirstFrame = {};
        owner = std::make_unique<harness::TestWindow>(300, 200, RGB(0x30, 0x60, 0x90), &OwnerProc);
        owner->Show();
        hook = ::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        menu = ::CreatePopupMenu();
        for (const wchar_t* item : {L"Open", L"Save", L"Close"})
            ::AppendMenuW(menu, MF_STRING, ::GetMenuItemCount(menu) + 100, item);
        harness::PumpUntilIdle(10, 500);
    }
    void TearDown() override {
        if (hook) ::UnhookWindowsHookEx(hook);
        if (menu) ::DestroyMenu(menu);
        ClearMenuWindows();
        owner.reset();
        gManager = nullptr;
        TestSkinForm::TearDown();
    }
    // Opens the menu from a timer of the message loop and closes it with
    // Escape once it waits for input; OnOpen looks at it meanwhile.
    void PopFromTimer(std::function<void(HWND)> OnOpen) {
        harness::MenuDriver driver({VK_ESCAPE}, false);
        driver.OnOpen = std::move(OnOpen);
        gDriver = &driver;
        const HWND popupOwner = owner->Handle();
        const HMENU popup = menu;
        EXPECT_TRUE(harness::RunFromTimer(
            [=] { ::TrackPopupMenu(popup, TPM_RETURNCMD, 60, 60, 0, popupOwner, nullptr); }, 5000));
        harness::PumpUntilIdle(10, 300);
        gDriver = nullptr;
        EXPECT_EQ(driver.Opened, 1);
        EXPECT_FALSE(driver.TimedOut);
    }

    std::unique_ptr<harness::TestWindow> owner;
    HHOOK hook = nullptr;
    HMENU menu = nullptr;
};

}  // namespace

// The adapter of an open menu window answers that it is skinned and is an
// adapter that keeps the system theme; when the menu closes it lets go of
// the window, and the last menu window gone empties the hook's list.
TEST_F(MenuWindowAdapter, RealMenuWindowIsAdaptedAndOutlivesTheMenu) {
    HWND seen = nullptr;
    LRESULT skinned = 0;
    String adapterClass, section;
    PopFromTimer([&](HWND Wnd) {
        seen = Wnd;
        skinned = SendSkinCommand(Wnd, AC_CTRLHANDLED);
        if (TacMainWnd* a = AdapterOfWindow(Wnd)) {
            adapterClass = a->ClassName();
            section = a->SkinData->SkinSection();
        }
    });
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(skinned, 1);
    EXPECT_EQ(adapterClass, u"TacMnuWnd");
    EXPECT_EQ(section, u"MAINMENU");
    // Closed: the window is gone or at least no longer adapted, and the
    // hook's list was emptied (its adapters freed).
    EXPECT_TRUE(!::IsWindow(seen) || AdapterOfWindow(seen) == nullptr);
    EXPECT_TRUE(HookedMenuWindows().empty());
}

// A menu window answers skin command 8 with whether its region changed for
// a border about to be drawn (command 14 while it is visible).
TEST_F(MenuWindowAdapter, RegionChangeIsTold) {
    LRESULT before = -1, after = -1;
    PopFromTimer([&](HWND Wnd) {
        before = SendSkinCommand(Wnd, AC_SETUPDATING);
        SendSkinCommand(Wnd, AC_BEFOREMENUBORDER);
        after = SendSkinCommand(Wnd, AC_SETUPDATING);
    });
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 1);
}

// Many menus opened and closed leave no GDI object or window behind.
TEST_F(MenuWindowAdapter, RepeatedMenusKeepObjectCountsFlat) {
    for (int i = 0; i < 5; ++i) PopFromTimer(nullptr);
    const unsigned windows = harness::WindowCount();
    unsigned usage[3] = {harness::GdiObjectUsage(), 0, 0};
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 100; ++i) PopFromTimer(nullptr);
        usage[round] = harness::GdiObjectUsage();
    }
    EXPECT_LE(usage[2], usage[1] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_LE(usage[1], usage[0] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_TRUE(HookedMenuWindows().empty());
}

// A skinned popup (its items measured and drawn by the menu skinner): its
// window is kept transparent until its frame is painted, then shown
// opaque; the adapter knows it has been shown.
TEST_F(MenuWindowAdapter, SkinnedPopupIsShownOnlyWithItsFramePainted) {
    manager->SetSkinningRules({srStdDialogs, srThirdParty});
    auto* form = New<TForm>(Application);
    form->SetBounds(40, 40, 300, 200);
    form->Show();
    auto* popup = New<TPopupMenu>(form);
    for (const char16_t* caption : {u"Open", u"-", u"Save"}) {
        auto* item = New<TMenuItem>(popup);
        item->SetCaption(caption);
        popup->Items()->Add(item);
    }
    manager->SkinableMenus()->HookPopupMenu(popup, true);
    HHOOK before = ::SetWindowsHookExW(WH_CALLWNDPROC, &BeforeProcedure, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(before, nullptr);

    harness::MenuDriver driver({VK_ESCAPE});
    bool skinning = false, layeredWhenOpen = true, shown = false;
    driver.OnOpen = [&](HWND Wnd) {
        skinning = acMenusSkinning;
        layeredWhenOpen = (::GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        if (auto* a = dynamic_cast<TacMnuWnd*>(AdapterOfWindow(Wnd))) shown = a->Shown;
    };
    EXPECT_TRUE(harness::RunFromTimer([=] { popup->Popup(80, 80); }, 5000));
    harness::PumpUntilIdle(10, 300);
    ::UnhookWindowsHookEx(before);

    EXPECT_EQ(driver.Opened, 1);
    EXPECT_TRUE(skinning);
    ASSERT_TRUE(gFirstFrame.Seen);
    EXPECT_TRUE(gFirstFrame.Layered);
    EXPECT_EQ(gFirstFrame.Alpha, 0);
    EXPECT_FALSE(layeredWhenOpen);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(acMenusSkinning) << "the closed menu window leaves the flag set";
    EXPECT_EQ(MenuInfoCount(), 0u) << "the closed menu's background stays cached";
    form->Free();
}
