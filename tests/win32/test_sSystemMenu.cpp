// The provider's skinned system menu on real forms with the flat test skin:
// the items copied from the window's own system menu (texts, shortcuts,
// extra commands, engine texts where the window lacks a command), the
// visibility rules on the items, the skin chooser in columns of 20 and
// choosing a skin from it, both ways of dropping the menu (the skinned popup
// and the system's own menu with greyed items), and flat counts over many
// drops. Menus are driven from inside their loop by the keys a MenuDriver
// posts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FormFreer.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "sConstWin.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// The menu messages of a form reach a MenuDriver (the skinned menu is owned
// by the form's window, not by the application's).
struct MenuForwarder {
    TCustomForm* Form = nullptr;
    TWndMethod Saved;
    harness::MenuDriver* Driver = nullptr;
    std::vector<WPARAM> SysCommands;   // WM_SYSCOMMAND seen, in order
    MenuForwarder(TCustomForm* f, harness::MenuDriver* d) : Form(f), Saved(f->WindowProc), Driver(d) {
        f->WindowProc = TWndMethod::Of<&MenuForwarder::WndProc>(this);
    }
    ~MenuForwarder() {
        if (Form) Form->WindowProc = Saved;
    }
    MenuForwarder(const MenuForwarder&) = delete;
    MenuForwarder& operator=(const MenuForwarder&) = delete;
    void WndProc(TMessage& m) {
        if (Driver) Driver->Message(m.Msg, m.WParam, m.LParam);
        if (m.Msg == WM_SYSCOMMAND) SysCommands.push_back(m.WParam);
        Saved(m);
    }
};

String WindowMenuText(HMENU Menu, UINT Item, UINT Flags) {
    wchar_t text[256] = {};
    ::GetMenuStringW(Menu, Item, text, 256, Flags);
    return String(reinterpret_cast<const char16_t*>(text));
}

String BeforeTab(const String& s) { return s.substr(0, s.find(u'\t')); }

// The command ids of a built menu's entries, in order.
std::vector<UINT> BuiltIds(HMENU Menu) {
    std::vector<UINT> out;
    for (int i = 0, n = ::GetMenuItemCount(Menu); i < n; ++i) out.push_back(::GetMenuItemID(Menu, i));
    return out;
}

// The commands of the visible items of a menu: what its built menu shows.
std::vector<UINT> VisibleIds(TMenuItem* Root) {
    std::vector<UINT> out;
    for (Integer i = 0; i < Root->Count(); ++i)
        if (Root->Items(i)->Visible()) out.push_back(Root->Items(i)->Command());
    return out;
}

// A WM_SYSCOMMAND posted to the window (taken out of the queue).
bool TakePostedCommand(HWND Wnd, WPARAM& Command) {
    MSG msg{};
    if (!::PeekMessageW(&msg, Wnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) return false;
    Command = msg.wParam;
    return true;
}

class SystemMenu : public kestrune_test::TestSkinProviderForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        skingen::WriteTestSkin(root / "Test2");
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 320, 220));
        form->SetCaption(u"System menu");
    }
    void TearDown() override {
        if (form && form->HandleAllocated()) ::GetSystemMenu(form->Handle(), TRUE);
        kestrune_test::TestSkinProviderForm::TearDown();
    }
    HMENU WindowMenu() const { return TsSystemMenu::WindowMenu(form->Handle()); }
    // Drops the skinned menu with a driver that posts Keys; Look sees the
    // open menu.
    void Drop(std::vector<WPARAM> Keys, const std::function<void(HWND)>& Look = {}) {
        harness::MenuDriver driver(std::move(Keys), false);
        driver.OnOpen = Look;
        MenuForwarder forward(form, &driver);
        RECT r{};
        ::GetWindowRect(Wnd(), &r);
        provider->DropSysMenu(r.left + 10, r.top + 30);
        EXPECT_EQ(driver.Opened, 1);
        EXPECT_FALSE(driver.TimedOut);
    }
    // Skin folders that only list a name (no images): enough for the chooser.
    void AddListedSkins(int Count) {
        for (int i = 0; i < Count; ++i) {
            char name[16];
            std::snprintf(name, sizeof(name), "Skin%02d", i);
            fs::create_directories(root / name);
            fs::copy_file(root / "Test" / "Options.dat", root / name / "Options.dat");
        }
    }
};

// ---- items ------------------------------------------------------------------------------------------

TEST_F(SystemMenu, ItemsAreCopiedFromTheWindowMenu) {
    Attach();
    TsSystemMenu* m = provider->SystemMenu;
    ASSERT_NE(m, nullptr);
    HMENU wm = WindowMenu();
    ASSERT_NE(wm, nullptr);
    struct Expect {
        const char16_t* Name;
        UINT Command;
        TMenuItem* Field;
    };
    const Expect order[] = {{u"acIR", SC_RESTORE, m->ItemRestore}, {u"acIM", SC_MOVE, m->ItemMove},
                            {u"acIS", SC_SIZE, m->ItemSize},       {u"acIN", SC_MINIMIZE, m->ItemMinimize},
                            {u"acIX", SC_MAXIMIZE, m->ItemMaximize}, {nullptr, 0, nullptr},
                            {u"acIC", SC_CLOSE, m->ItemClose}};
    ASSERT_EQ(m->Items()->Count(), 7);
    EXPECT_EQ(m->ExtItemsCount, 0);
    for (int i = 0; i < 7; ++i) {
        TMenuItem* item = m->Items()->Items(i);
        SCOPED_TRACE(i);
        if (!order[i].Name) {
            EXPECT_EQ(item->Caption(), u"-");
            continue;
        }
        EXPECT_EQ(item, order[i].Field);
        EXPECT_EQ(item->Name(), order[i].Name);
        EXPECT_EQ(item->Tag, static_cast<std::intptr_t>(order[i].Command));
        EXPECT_EQ(item->Caption(), BeforeTab(WindowMenuText(wm, order[i].Command, MF_BYCOMMAND)));
        EXPECT_EQ(item->Caption().find(u'\t'), String::npos);
    }
    // Close carries the shortcut written after its tab.
    const String close = WindowMenuText(wm, SC_CLOSE, MF_BYCOMMAND);
    ASSERT_NE(close.find(u'\t'), String::npos) << "the window's close entry names its key";
    EXPECT_EQ(m->ItemClose->ShortCut(), TextToShortCut(close.substr(close.find(u'\t') + 1)));
    EXPECT_NE(m->ItemClose->ShortCut(), 0);

    // Commands the window's menu lacks take the engine's texts; without
    // close in the window's menu the close item is hidden.
    ::DeleteMenu(wm, SC_MINIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(wm, SC_CLOSE, MF_BYCOMMAND);
    m->UpdateItems(true);
    EXPECT_EQ(m->ItemMinimize->Caption(), u"Minimize");
    EXPECT_EQ(m->ItemClose->Caption(), u"Close");
    EXPECT_EQ(m->ItemClose->ShortCut(), 0);
    EXPECT_FALSE(m->ItemClose->Visible());
    EXPECT_EQ(m->Items()->Count(), 7) << "a rebuild replaces the items";
}

TEST_F(SystemMenu, ExtraCommandSitsBetweenMaximizeAndCloseAndPostsItsId) {
    Attach();
    TsSystemMenu* m = provider->SystemMenu;
    // Added by the application after the provider made its items: the next
    // drop takes it in.
    HMENU wm = WindowMenu();
    ::AppendMenuW(wm, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(wm, MF_STRING, 0x0120, L"Extra\tCtrl+K");
    ::AppendMenuW(wm, MF_STRING, 0xF200, L"Not copied");   // a system command
    ::AppendMenuW(wm, MF_STRING, 0x0121, L"");               // no text
    std::vector<UINT> shown, expected;
    harness::MenuDriver driver({}, false);
    driver.OnOpen = [&](HWND menuWnd) {
        HMENU h = reinterpret_cast<HMENU>(::SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
        shown = BuiltIds(h);
        expected = VisibleIds(m->Items());
        // Up from nothing selects the last entry (close); the divider
        // before it cannot be selected, so the next Up is the extra command.
        driver.Keys = {VK_UP, VK_UP, VK_RETURN};
    };
    {
        MenuForwarder forward(form, &driver);
        provider->DropSysMenu(100, 100);
    }
    EXPECT_EQ(driver.Opened, 1);
    ASSERT_EQ(m->ExtItemsCount, 1);
    TMenuItem* extra = m->Items()->Items(6);
    EXPECT_EQ(extra->Caption(), u"Extra");
    EXPECT_EQ(extra->Tag, 0x0120);
    EXPECT_EQ(extra->ShortCut(), TShortCut(scCtrl | 'K'));
    EXPECT_EQ(m->Items()->Items(5)->Caption(), u"-");
    EXPECT_EQ(m->Items()->Items(7)->Caption(), u"-");
    EXPECT_EQ(m->Items()->Items(8), m->ItemClose);
    // The popup shows these items, and only them.
    EXPECT_EQ(shown, expected);
    EXPECT_NE(std::find(shown.begin(), shown.end(), extra->Command()), shown.end());
    // Choosing it posted its id to the form.
    WPARAM posted = 0;
    ASSERT_TRUE(TakePostedCommand(Wnd(), posted));
    EXPECT_EQ(posted, 0x0120u);
}

// ---- visibility -----------------------------------------------------------------------------------

TEST_F(SystemMenu, FormWithoutMaximizeHasNoMaximizeItem) {
    // Neither the item nor the button; the rest of the rules is a table
    // with the provider's tests.
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    Attach();
    TsSystemMenu* m = provider->SystemMenu;
    m->UpdateItems();
    EXPECT_FALSE(m->ItemMaximize->Visible());
    EXPECT_TRUE(m->ItemMinimize->Visible());
    EXPECT_TRUE(m->ItemMove->Visible());
    EXPECT_TRUE(m->ItemClose->Visible());
    provider->LayoutCaptionButtons();
    EXPECT_TRUE(provider->ButtonMax.Rect.IsEmpty());
    const std::vector<UINT> built = BuiltIds(m->Items()->Handle());
    EXPECT_EQ(std::find(built.begin(), built.end(), m->ItemMaximize->Command()), built.end())
        << "the hidden item is left out of the popup";
    EXPECT_EQ(built, VisibleIds(m->Items()));
}

TEST_F(SystemMenu, IconicToolWindowShowsMinimizeAndMaximize) {
    TForm* tool = New<TForm>(Application);
    tool->BorderStyle = TFormBorderStyle::bsToolWindow;
    tool->SetBounds(60, 60, 200, 120);
    tool->Show();
    harness::PumpUntilIdle(10, 500);
    auto* p = New<TsSkinProvider>(tool);
    harness::PumpUntilIdle(10, 500);
    TsSystemMenu* m = p->SystemMenu;
    ASSERT_NE(m, nullptr);
    m->UpdateItems();
    EXPECT_FALSE(m->ItemMinimize->Visible());
    EXPECT_FALSE(m->ItemMaximize->Visible());
    ::ShowWindow(tool->Handle(), SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(tool->Handle()));
    m->UpdateItems();
    EXPECT_TRUE(m->ItemMinimize->Visible());
    EXPECT_TRUE(m->ItemMaximize->Visible());
    // A tool window that is not the main form cannot be minimized again.
    EXPECT_FALSE(m->ItemMinimize->Enabled());
    EXPECT_TRUE(m->ItemRestore->Enabled());
    tool->Free();
}

TEST_F(SystemMenu, ClicksCarryOutTheirWindowCommands) {
    Attach();
    TsSystemMenu* m = provider->SystemMenu;
    HWND wnd = Wnd();
    m->ItemMaximize->Click();
    EXPECT_TRUE(::IsZoomed(wnd));
    EXPECT_FALSE(m->ItemMaximize->Enabled()) << "the items follow at once";
    EXPECT_TRUE(m->ItemRestore->Enabled());
    m->ItemRestore->Click();
    EXPECT_FALSE(::IsZoomed(wnd));
    EXPECT_TRUE(m->ItemMaximize->Enabled());
    m->ItemMinimize->Click();
    EXPECT_TRUE(::IsIconic(wnd));
    EXPECT_FALSE(provider->SkipAnimation) << "set only while the command runs";
    EXPECT_TRUE(m->ItemRestore->Enabled());
    ::ShowWindow(wnd, SW_RESTORE);
    harness::PumpUntilIdle(10, 500);
    m->ItemClose->Click();
    EXPECT_FALSE(form->Visible());
}

// ---- the skin chooser -------------------------------------------------------------------------------

TEST_F(SystemMenu, ChooserOf45SkinsBreaksColumnsAt20And40) {
    AddListedSkins(43);   // with "Test" and "Test2": 45 names
    Attach();
    provider->SetMakeSkinMenu(true);
    TsSystemMenu* m = provider->SystemMenu;
    std::vector<UINT> breaks;
    for (int round = 0; round < 2; ++round) {
        Drop({VK_ESCAPE}, [&](HWND) {
            breaks.clear();
            HMENU chooser = ::GetSubMenu(m->Items()->Handle(), 0);
            for (int i = 0, n = ::GetMenuItemCount(chooser); i < n; ++i) {
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_FTYPE;
                ::GetMenuItemInfoW(chooser, static_cast<UINT>(i), TRUE, &info);
                if (info.fType & MFT_MENUBREAK) breaks.push_back(static_cast<UINT>(i));
            }
        });
        SCOPED_TRACE(round);
        // A second drop replaces the chooser and its separator.
        ASSERT_EQ(m->Items()->Count(), 9);
        TMenuItem* chooser = m->Items()->Items(0);
        EXPECT_EQ(chooser->Name(), u"SkinSelectItem");
        EXPECT_EQ(chooser->Caption(), u"Available skins");
        EXPECT_EQ(m->Items()->Items(1)->Caption(), u"-");
        EXPECT_EQ(m->Items()->Items(2), m->ItemRestore);
        ASSERT_EQ(chooser->Count(), 45);
        int checked = 0;
        for (Integer i = 0; i < 45; ++i) {
            TMenuItem* item = chooser->Items(i);
            EXPECT_EQ(item->Name(), u"SkinSelectItem" + IntToStr(i));
            EXPECT_TRUE(item->RadioItem());
            EXPECT_EQ(item->Break(), (i == 20 || i == 40) ? mbBreak : mbNone) << i;
            if (item->Checked()) {
                ++checked;
                EXPECT_EQ(item->Caption(), u"Test");
            }
        }
        EXPECT_EQ(checked, 1);
        EXPECT_EQ(breaks, (std::vector<UINT>{20, 40}));
    }
    // Without MakeSkinMenu the chooser stays as it is (none is made).
    provider->SetMakeSkinMenu(false);
    m->UpdateItems(true);
    Drop({VK_ESCAPE});
    EXPECT_EQ(m->Items()->Items(0), m->ItemRestore);
}

TEST_F(SystemMenu, ChoosingASkinInTheChooserLoadsIt) {
    Attach();
    provider->SetMakeSkinMenu(true);
    // The chooser, its submenu, the second skin.
    Drop({VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(manager->SkinName(), u"Test2");
    EXPECT_TRUE(manager->SkinData()->Active);
    // The chooser ticks the new skin at the next drop.
    Drop({VK_ESCAPE});
    TMenuItem* chooser = provider->SystemMenu->Items()->Items(0);
    ASSERT_EQ(chooser->Count(), 2);
    EXPECT_FALSE(chooser->Items(0)->Checked());
    EXPECT_TRUE(chooser->Items(1)->Checked());
}

TEST_F(SystemMenu, ChosenSkinNameDropsAccelsAndEndsAfterInternal) {
    // A manager that is not active only stores the name it is given.
    auto* idle = New<TsSkinManager>(nullptr);
    idle->SetActive(false);
    Attach();
    provider->SkinData()->SetSkinManager(idle);
    TsSystemMenu* m = provider->SystemMenu;
    struct Case {
        const char16_t* Caption;
        const char16_t* Name;
    };
    const Case cases[] = {
        {u"Te&st2", u"Test2"},
        {u"&&Deep&", u"Deep"},
        {u"Stone (internal)", u"Stone (internal)"},
        {u"Stone (inte&rnal) copy", u"Stone (internal)"},
        {u"A (internal) B (internal)", u"A (internal)"},
    };
    auto* item = New<TMenuItem>(nullptr);
    for (const Case& c : cases) {
        item->SetCaption(c.Caption);
        m->SkinSelect(item);
        EXPECT_EQ(idle->SkinName(), c.Name) << String(c.Caption).size();
    }
    item->Free();
    provider->SkinData()->SetSkinManager(nullptr);
    idle->Free();
}

// ---- dropping the menu --------------------------------------------------------------------------------

TEST_F(SystemMenu, SkinnedDropShowsTheItemsAndCloseCloses) {
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    Attach();
    TsSystemMenu* m = provider->SystemMenu;
    HMENU shown = nullptr;
    bool ownerDrawn = false;
    Drop({VK_UP, VK_RETURN}, [&](HWND menuWnd) {
        shown = reinterpret_cast<HMENU>(::SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        ::GetMenuItemInfoW(shown, 0, TRUE, &info);
        ownerDrawn = (info.fType & MFT_OWNERDRAW) != 0;
    });
    EXPECT_EQ(shown, m->Items()->Handle()) << "the skinned menu, not the system's";
    EXPECT_TRUE(ownerDrawn) << "hooked for skinning";
    EXPECT_EQ(m->WindowHandle(), Application->Handle()) << "the owner window is reset";
    harness::PumpUntilIdle(20, 1000);
    EXPECT_FALSE(form->Visible()) << "close closed the form";
}

TEST_F(SystemMenu, SystemDropShowsTheWindowMenuAndPostsTheChoice) {
    form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
    Attach();
    manager->SetSkinnedPopups(false);
    UINT maxState = 0, closeState = 0;
    HMENU shown = nullptr;
    // The last entry of Wine's system menu is its own "About" command; up
    // twice selects close.
    const bool aboutLast = ::GetMenuItemID(WindowMenu(), ::GetMenuItemCount(WindowMenu()) - 1) != SC_CLOSE;
    std::vector<WPARAM> keys = aboutLast ? std::vector<WPARAM>{VK_UP, VK_UP, VK_RETURN}
                                         : std::vector<WPARAM>{VK_UP, VK_RETURN};
    Drop(keys, [&](HWND menuWnd) {
        shown = reinterpret_cast<HMENU>(::SendMessageW(menuWnd, MN_GETHMENU, 0, 0));
        maxState = ::GetMenuState(WindowMenu(), SC_MAXIMIZE, MF_BYCOMMAND);
        closeState = ::GetMenuState(WindowMenu(), SC_CLOSE, MF_BYCOMMAND);
    });
    EXPECT_EQ(shown, WindowMenu());
    EXPECT_TRUE(maxState & MF_GRAYED);
    EXPECT_FALSE(closeState & MF_GRAYED);
    WPARAM posted = 0;
    ASSERT_TRUE(TakePostedCommand(Wnd(), posted));
    EXPECT_EQ(posted, static_cast<WPARAM>(SC_CLOSE));
}

// After the menu loop the drop must not read the provider its freed form
// took along (under the checking allocator such a read crashes).
TEST_F(SystemMenu, FormFreedWhileTheMenuIsOpen) {
    Attach();
    provider->SetMakeSkinMenu(true);
    // A posted message frees the form while its menu runs.
    harness::FormFreer freer(form);
    harness::MenuDriver driver({}, false);
    driver.OnOpen = [&](HWND) { freer.PostFree(); };
    MenuForwarder* forward = new MenuForwarder(form, &driver);
    provider->DropSysMenu(80, 80);
    EXPECT_EQ(driver.Opened, 1);
    EXPECT_EQ(freer.Form, nullptr);
    form = nullptr;
    forward->Form = nullptr;
    delete forward;
    harness::PumpUntilIdle(20, 500);
}

TEST_F(SystemMenu, RepeatedDropsKeepCountsFlat) {
    Attach();
    provider->SetMakeSkinMenu(true);
    harness::MenuDriver driver({VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}, false);
    MenuForwarder forward(form, &driver);
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) provider->DropSysMenu(60, 60);
        harness::PumpUntilIdle(10, 500);
    };
    const harness::ObjectCounts before = harness::RepeatMenus(driver, cycle, 10, 200);
    harness::ExpectObjectCountsFlat(before, [&] { cycle(100); }, "drop");
}

}  // namespace
