// The framework's menus: the item tree and its rules, the system menu built
// from it (and given back when the tree changes), and popup menus driven by
// the keyboard from inside their modal loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// Hears the end of the components it watches.
class FreeProbe : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<TComponent*> Freed;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override {
        if (Operation == TOperation::opRemove) Freed.push_back(AComponent);
    }
};

String MenuText(HMENU menu, UINT pos) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, pos, text, 64, MF_BYPOSITION);
    const std::wstring w(text);
    return String(w.begin(), w.end());
}

// USER objects (menus among them) in use. Wine answers GetGuiResources with
// 0; there, as for GDI objects, the highest handle index that a batch of new
// menus receives stands in for it.
unsigned UserObjectUsage() {
    if (const DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return n;
    HMENU batch[16];
    unsigned highest = 0;
    for (HMENU& m : batch) {
        m = ::CreatePopupMenu();
        highest = std::max(highest, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m) & 0xFFFF));
    }
    for (HMENU m : batch) ::DestroyMenu(m);
    return highest;
}

class PopupMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = New<TPopupMenu>(nullptr);
        for (const char16_t* caption : {u"&One", u"&Two", u"T&hree"}) {
            auto* item = New<TMenuItem>(menu);
            item->SetCaption(caption);
            item->OnClick = TNotifyEvent::Of<&PopupMenuTest::Clicked>(this);
            menu->Items()->Add(item);
        }
    }
    void TearDown() override { FreeAndNil(menu); }
    void Clicked(TObject* Sender) { chosen.push_back(menu->Items()->IndexOf(static_cast<TMenuItem*>(Sender))); }

    TPopupMenu* menu = nullptr;
    std::vector<Integer> chosen;
};

TEST(MenuItems, TreeRulesAndOwnership) {
    FreeProbe probe(nullptr);
    TMenu* m = New<TMenu>(nullptr);
    TMenuItem* a = New<TMenuItem>(nullptr);
    TMenuItem* b = New<TMenuItem>(nullptr);
    TMenuItem* sub = New<TMenuItem>(nullptr);
    m->Items()->Add(a);
    m->Items()->Insert(0, b);
    a->Add(sub);
    EXPECT_EQ(m->Items()->Items(0), b);
    EXPECT_EQ(m->Items()->Items(1), a);
    EXPECT_EQ(sub->Parent(), a);
    EXPECT_EQ(sub->GetParentMenu(), m);
    EXPECT_NE(a->Command(), 0);
    EXPECT_NE(a->Command(), b->Command());
    EXPECT_EQ(m->FindItem(sub->Command()), sub);
    EXPECT_EQ(m->FindItem(0), nullptr);

    // Items that cannot go in.
    EXPECT_THROW(m->Items()->Add(sub), EMenuError);          // already in a menu
    EXPECT_THROW(sub->Add(a), EMenuError);                   // its own parent
    EXPECT_THROW(a->Add(a), EMenuError);
    EXPECT_THROW(m->Items()->Add(nullptr), EMenuError);
    EXPECT_THROW(b->Add(m->Items()), EMenuError);            // a menu's own item list
    TMenuItem* loose = New<TMenuItem>(nullptr);
    EXPECT_THROW(m->Items()->Insert(3, loose), EMenuError);
    EXPECT_THROW(m->Items()->Insert(-1, loose), EMenuError);
    EXPECT_THROW(m->Items()->Items(2), EMenuError);
    EXPECT_THROW(m->Items()->Remove(loose), EMenuError);
    EXPECT_EQ(m->Items()->Count(), 2);

    // Delete takes an item out without freeing it; it can go in elsewhere.
    m->Items()->Delete(0);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(b->GetParentMenu(), nullptr);
    sub->Add(b);
    EXPECT_EQ(b->GetParentMenu(), m);

    // A freed item leaves its parent; a freed menu frees its items with
    // everything below them.
    probe.FreeNotification(b);
    probe.FreeNotification(a);
    probe.FreeNotification(sub);
    b->Free();
    EXPECT_EQ(sub->Count(), 0);
    m->Free();
    EXPECT_EQ(probe.Freed, (std::vector<TComponent*>{b, sub, a}));
    loose->Free();
}

TEST(MenuItems, OwnerFreesItemsInAnyOrder) {
    // Items owned by a component and held in a menu of the same owner: the
    // owner frees the menu and the items in reverse order of creation, the
    // menu freeing the items it holds on the way. Each ends once.
    for (bool heldEarly : {true, false}) {
        FreeProbe probe(nullptr);
        TComponent* owner = New<TComponent>(nullptr);
        TMenuItem* early = New<TMenuItem>(owner);
        TPopupMenu* m = New<TPopupMenu>(owner);
        TMenuItem* late = New<TMenuItem>(owner);
        TMenuItem* child = New<TMenuItem>(owner);
        TMenuItem* held = heldEarly ? early : late;
        m->Items()->Add(held);
        held->Add(child);
        ASSERT_NE(m->Handle(), nullptr);
        for (TComponent* c : {static_cast<TComponent*>(early), static_cast<TComponent*>(m), static_cast<TComponent*>(late),
                              static_cast<TComponent*>(child)})
            probe.FreeNotification(c);
        owner->Free();
        EXPECT_EQ(probe.Freed.size(), 4u) << heldEarly;
        for (TComponent* c : probe.Freed) EXPECT_EQ(std::count(probe.Freed.begin(), probe.Freed.end(), c), 1);
    }
}

TEST(MenuItems, HandleCarriesItemsAndFollowsChanges) {
    TMenu* m = New<TMenu>(nullptr);
    TMenuItem* open = New<TMenuItem>(m);
    TMenuItem* recent = New<TMenuItem>(m);
    TMenuItem* first = New<TMenuItem>(m);
    open->SetCaption(u"&Open");
    recent->SetCaption(u"Recent");
    first->SetCaption(u"first.txt");
    open->SetChecked(true);
    recent->SetEnabled(false);
    m->Items()->Add(open);
    m->Items()->Add(recent);
    recent->Add(first);

    HMENU h = m->Handle();
    ASSERT_TRUE(::IsMenu(h));
    EXPECT_EQ(m->Handle(), h) << "kept while nothing changes";
    ASSERT_EQ(::GetMenuItemCount(h), 2);
    EXPECT_EQ(MenuText(h, 0), u"&Open");
    EXPECT_EQ(::GetMenuItemID(h, 0), open->Command());
    EXPECT_EQ(::GetMenuState(h, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED | MF_DISABLED), UINT(MF_CHECKED));
    EXPECT_EQ(::GetMenuState(h, 1, MF_BYPOSITION) & MF_GRAYED, UINT(MF_GRAYED));
    HMENU sub = ::GetSubMenu(h, 1);
    ASSERT_EQ(sub, recent->Handle());
    EXPECT_EQ(MenuText(sub, 0), u"first.txt");

    // Caption, enabled and checked reach the built menu at once.
    open->SetChecked(false);
    open->SetEnabled(false);
    recent->SetEnabled(true);
    first->SetCaption(u"second.txt");
    EXPECT_EQ(m->Handle(), h);
    EXPECT_EQ(::GetMenuState(h, 0, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED), UINT(MF_GRAYED));
    EXPECT_EQ(::GetMenuState(h, 1, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_EQ(MenuText(sub, 0), u"second.txt");

    // A change of shape builds the menu anew and destroys the old one with
    // its submenus.
    TMenuItem* added = New<TMenuItem>(m);
    added->SetCaption(u"Exit");
    m->Items()->Add(added);
    EXPECT_FALSE(::IsMenu(h));
    EXPECT_FALSE(::IsMenu(sub));
    h = m->Handle();
    EXPECT_EQ(::GetMenuItemCount(h), 3);
    EXPECT_EQ(MenuText(h, 2), u"Exit");
    recent->Delete(0);
    EXPECT_FALSE(::IsMenu(h));
    h = m->Handle();
    EXPECT_EQ(::GetSubMenu(h, 1), nullptr) << "an item without items opens no submenu";

    first->Free();
    m->Free();
    EXPECT_FALSE(::IsMenu(h)) << "freeing the menu destroys its handle";
}

TEST_F(PopupMenuTest, KeyboardChoiceRunsTheItem) {
    struct Case {
        std::vector<WPARAM> keys;
        std::vector<Integer> chosen;
    };
    const Case cases[] = {
        {{VK_DOWN, VK_RETURN}, {0}},
        {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, {2}},
        {{VK_ESCAPE}, {}},
        {{VK_DOWN, VK_ESCAPE}, {}},
        {{'H'}, {2}},   // the item's accelerator
    };
    for (const Case& c : cases) {
        chosen.clear();
        harness::MenuDriver driver(c.keys);
        menu->Popup(120, 90);
        EXPECT_FALSE(driver.TimedOut);
        EXPECT_EQ(driver.Opened, 1);
        EXPECT_EQ(chosen, c.chosen) << "keys " << c.keys.size();
        EXPECT_EQ(driver.MenuRect.left, 120);
        EXPECT_EQ(driver.MenuRect.top, 90);
    }
    EXPECT_EQ(menu->PopupPoint().x, 120);
    EXPECT_EQ(menu->PopupPoint().y, 90);
}

TEST_F(PopupMenuTest, DisabledOrUnknownItemRunsNothing) {
    menu->Items()->Items(0)->SetEnabled(false);
    EXPECT_TRUE(menu->DispatchCommand(menu->Items()->Items(0)->Command()));
    auto* gone = New<TMenuItem>(nullptr);
    const Word unknown = gone->Command();
    gone->Free();
    EXPECT_FALSE(menu->DispatchCommand(unknown));
    EXPECT_FALSE(menu->DispatchCommand(0));
    EXPECT_TRUE(chosen.empty());
}

TEST_F(PopupMenuTest, OnPopupRunsFirstAndMayFillTheMenu) {
    // OnPopup runs before the menu shows, and an item it adds is shown.
    struct Filler {
        TPopupMenu* menu;
        bool ran = false;
        void Popup(TObject* Sender) {
            ran = true;
            ASSERT_EQ(Sender, menu);
            auto* item = New<TMenuItem>(menu);
            item->SetCaption(u"Added");
            menu->Items()->Add(item);
        }
    } filler{menu};
    menu->OnPopup = TNotifyEvent::Of<&Filler::Popup>(&filler);
    harness::MenuDriver driver;
    int countWhenShown = -1;
    driver.OnOpen = [&](HWND) { countWhenShown = ::GetMenuItemCount(menu->Handle()); };
    menu->Popup(50, 50);
    EXPECT_TRUE(filler.ran);
    EXPECT_EQ(countWhenShown, 4);

    // An empty menu shows nothing but still tells OnPopup.
    TPopupMenu* empty = New<TPopupMenu>(nullptr);
    bool told = false;
    struct Teller {
        bool* told;
        void Popup(TObject*) { *told = true; }
    } teller{&told};
    empty->OnPopup = TNotifyEvent::Of<&Teller::Popup>(&teller);
    harness::MenuDriver none;
    empty->Popup(10, 10);
    EXPECT_TRUE(told);
    EXPECT_EQ(none.Opened, 0);
    empty->Free();
}

// The owner window set on the menu receives its messages; a destroyed one
// gives way to the application's window.
LRESULT CALLBACK OwnerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
harness::MenuDriver* ownerDriver = nullptr;
LRESULT CALLBACK OwnerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ownerDriver) ownerDriver->Message(msg, wParam, lParam);
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

TEST_F(PopupMenuTest, OwnerWindowGetsTheMessages) {
    harness::MenuDriver appDriver({VK_ESCAPE});
    harness::MenuDriver ownDriver({VK_DOWN, VK_RETURN}, false);
    ownerDriver = &ownDriver;
    {
        harness::TestWindow owner(100, 100, RGB(255, 255, 255), &OwnerProc);
        menu->SetWindowHandle(owner.Handle());
        EXPECT_EQ(menu->WindowHandle(), owner.Handle());
        menu->Popup(30, 30);
        EXPECT_EQ(ownDriver.Opened, 1);
        EXPECT_EQ(appDriver.Opened, 0);
        EXPECT_EQ(chosen, std::vector<Integer>{0});
    }
    ownerDriver = nullptr;
    EXPECT_EQ(menu->WindowHandle(), Application->Handle());
    menu->Popup(30, 30);
    EXPECT_EQ(appDriver.Opened, 1);
}

TEST_F(PopupMenuTest, RepeatedPopupsKeepCountsFlat) {
    harness::MenuDriver driver({VK_DOWN, VK_RETURN});
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) {
            menu->Popup(40, 40);
            // Every other round the menu changes shape and is built anew.
            if (i % 2) {
                auto* item = New<TMenuItem>(menu);
                menu->Items()->Add(item);
                item->Free();
            }
        }
        harness::PumpUntilIdle(10, 500);
    };
    cycle(5);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned user = UserObjectUsage();
    const unsigned windows = harness::WindowCount();
    cycle(50);
    EXPECT_EQ(driver.Opened, 55);
    EXPECT_FALSE(driver.TimedOut);
    EXPECT_EQ(chosen.size(), 55u);
    // Work left running by earlier tests (timers firing inside the menu
    // loops) may take GDI objects meanwhile; a leak grows again with the
    // next popups, such noise does not.
    const unsigned gdiAfter = harness::GdiObjectUsage();
    if (gdiAfter > gdi + 2) {
        cycle(50);
        EXPECT_LE(harness::GdiObjectUsage(), gdiAfter + 2) << "GDI objects grow with every popup";
    }
    // The stand-in measure moves by a few with the handles that other work
    // frees meanwhile; a menu lost per rebuild would add 25.
    EXPECT_LE(UserObjectUsage(), user + 8);
    EXPECT_EQ(harness::WindowCount(), windows);
}

}  // namespace
