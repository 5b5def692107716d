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
    const harness::ObjectCounts before = harness::RepeatMenus(driver, cycle, 5, 50);
    EXPECT_EQ(chosen.size(), 55u);
    // Timers of earlier tests firing inside the menu loops may take GDI
    // objects meanwhile; a menu lost per rebuild would add 25 USER objects.
    harness::ExpectObjectCountsFlat(before, [&] { cycle(50); }, "popup");
}

UINT EntryType(HMENU menu, UINT pos) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ::GetMenuItemInfoW(menu, pos, TRUE, &info);
    return info.fType;
}

TEST(MenuItems, EntriesFollowTheItemProperties) {
    TPopupMenu* m = New<TPopupMenu>(nullptr);
    auto add = [&](const char16_t* caption) {
        auto* item = New<TMenuItem>(m);
        item->SetCaption(caption);
        m->Items()->Add(item);
        return item;
    };
    TMenuItem* plain = add(u"Plain");
    TMenuItem* line = add(u"-");
    TMenuItem* column = add(u"Column");
    TMenuItem* bar = add(u"Bar");
    TMenuItem* radio = add(u"Radio");
    TMenuItem* hidden = add(u"Hidden");
    TMenuItem* keyed = add(u"Keyed");
    column->SetBreak(mbBreak);
    bar->SetBreak(mbBarBreak);
    radio->SetRadioItem(true);
    hidden->SetVisible(false);
    keyed->SetShortCut(TextToShortCut(u"Ctrl+K"));
    keyed->SetDefault(true);

    HMENU h = m->Handle();
    ASSERT_EQ(::GetMenuItemCount(h), 6) << "the invisible item is left out";
    EXPECT_EQ(EntryType(h, 0), UINT(MFT_STRING));
    EXPECT_EQ(EntryType(h, 1) & MFT_SEPARATOR, UINT(MFT_SEPARATOR));
    EXPECT_EQ(EntryType(h, 2) & (MFT_MENUBREAK | MFT_MENUBARBREAK), UINT(MFT_MENUBREAK));
    EXPECT_EQ(EntryType(h, 3) & (MFT_MENUBREAK | MFT_MENUBARBREAK), UINT(MFT_MENUBARBREAK));
    EXPECT_EQ(EntryType(h, 4) & MFT_RADIOCHECK, UINT(MFT_RADIOCHECK));
    EXPECT_EQ(MenuText(h, 5), u"Keyed\tCtrl+K");
    EXPECT_EQ(::GetMenuDefaultItem(h, TRUE, 0), 5u);
    EXPECT_EQ(keyed->MenuIndex(), 5);
    EXPECT_EQ(hidden->MenuIndex(), -1);

    // Checking a radio item unchecks the others of its group.
    TMenuItem* radio2 = add(u"Radio 2");
    radio2->SetRadioItem(true);
    radio->SetChecked(true);
    radio2->SetChecked(true);
    EXPECT_FALSE(radio->Checked());
    radio2->SetGroupIndex(1);
    radio->SetChecked(true);
    EXPECT_TRUE(radio2->Checked()) << "another group is left alone";

    // Owner drawing: every entry is owner-drawn, and the shortcut is the
    // item's to draw.
    m->SetOwnerDraw(true);
    h = m->Handle();
    for (UINT i = 0; i < UINT(::GetMenuItemCount(h)); ++i)
        EXPECT_EQ(EntryType(h, i) & MFT_OWNERDRAW, UINT(MFT_OWNERDRAW)) << i;
    EXPECT_EQ(EntryType(h, 1) & MFT_SEPARATOR, UINT(MFT_SEPARATOR)) << "an owner-drawn divider cannot be selected";
    EXPECT_EQ(MenuText(h, 5), u"Keyed");
    m->SetOwnerDraw(false);
    // One item with a handler of its own is owner-drawn on its own; the
    // built entry follows in place.
    h = m->Handle();
    plain->OnDrawItem = TMenuDrawItemEvent::OfFunction([](TObject*, TCanvas*, const TRect&, bool) {});
    plain->MenuChanged(false);
    EXPECT_EQ(m->Handle(), h);
    EXPECT_EQ(EntryType(h, 0) & MFT_OWNERDRAW, UINT(MFT_OWNERDRAW));
    EXPECT_EQ(EntryType(h, 1) & MFT_OWNERDRAW, 0u);
    (void)line;
    m->Free();
}

TEST(MenuItems, ShortCutTexts) {
    const struct {
        const char16_t* text;
        TShortCut key;
    } cases[] = {
        {u"Ctrl+K", TShortCut(scCtrl | 'K')},
        {u"Shift+Ctrl+F5", TShortCut(scShift | scCtrl | VK_F5)},
        {u"Alt+Enter", TShortCut(scAlt | VK_RETURN)},
        {u"Del", TShortCut(VK_DELETE)},
        {u"F12", TShortCut(VK_F12)},
        {u"7", TShortCut('7')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShortCutToText(c.key), c.text);
        EXPECT_EQ(TextToShortCut(c.text), c.key);
    }
    // Any case and order of the modifiers; nonsense names no key.
    EXPECT_EQ(TextToShortCut(u"ctrl+shift+k"), TShortCut(scShift | scCtrl | 'K'));
    for (const char16_t* bad : {u"", u"Ctrl+", u"Hyper+K", u"F25", u"Ctrl+Nothing", u"KK"})
        EXPECT_EQ(TextToShortCut(bad), 0) << std::u16string(bad).size();
    EXPECT_EQ(ShortCutToText(0), u"");
}

TEST(MenuItems, AnimationFlags) {
    EXPECT_EQ(MenuAnimationFlags({}), 0u);
    EXPECT_EQ(MenuAnimationFlags({maNone, maLeftToRight}), UINT(TPM_NOANIMATION));
    EXPECT_EQ(MenuAnimationFlags({maLeftToRight, maBottomToTop}), UINT(TPM_HORPOSANIMATION | TPM_VERNEGANIMATION));
    EXPECT_EQ(OwnerDrawStateFromBits(ODS_SELECTED | ODS_DEFAULT | 0x400),
              (TOwnerDrawState{odSelected, odDefault, odReserved1}));
    EXPECT_EQ(OwnerDrawStateToBits({odNoAccel, odComboBoxEdit}), UINT(ODS_NOACCEL | ODS_COMBOBOXEDIT));
}

// Records what the owner-draw handlers are asked.
struct DrawLog {
    int measured = 0;
    std::vector<std::pair<String, TOwnerDrawState>> drawn;
    bool canvasHadDC = true;
    void Measure(TObject*, TCanvas* c, Integer& w, Integer& h) {
        ++measured;
        canvasHadDC = canvasHadDC && c && c->HandleAllocated();
        w = 90;
        h = 21;
    }
    void Draw(TObject* s, TCanvas* c, const TRect& r, TOwnerDrawState st) {
        canvasHadDC = canvasHadDC && c && c->HandleAllocated();
        drawn.emplace_back(static_cast<TMenuItem*>(s)->Caption(), st);
        const RECT fill = {r.Left, r.Top, r.Right, r.Bottom};
        ::FillRect(c->Handle(), &fill, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
};

TEST_F(PopupMenuTest, OwnerDrawnItemsMeasureAndDrawThemselves) {
    DrawLog log;
    for (Integer i = 0; i < menu->Items()->Count(); ++i) {
        TMenuItem* item = menu->Items()->Items(i);
        item->OnMeasureItem = TMenuMeasureItemEvent::Of<&DrawLog::Measure>(&log);
        item->OnAdvancedDrawItem = TAdvancedMenuDrawItemEvent::Of<&DrawLog::Draw>(&log);
    }
    menu->Items()->Items(2)->SetEnabled(false);
    menu->SetOwnerDraw(true);
    harness::MenuDriver driver({VK_DOWN, VK_ESCAPE});
    RECT shown{};
    driver.OnOpen = [&](HWND wnd) { ::GetClientRect(wnd, &shown); };
    menu->Popup(60, 60);
    EXPECT_EQ(driver.Opened, 1);
    EXPECT_EQ(log.measured, 3);
    EXPECT_TRUE(log.canvasHadDC);
    // The items measured 21 high each.
    EXPECT_GE(shown.bottom - shown.top, 3 * 21);
    ASSERT_GE(log.drawn.size(), 3u);
    bool selectedFirst = false, grayedThird = false;
    for (const auto& [caption, state] : log.drawn) {
        if (caption == u"&One" && state.Contains(odSelected)) selectedFirst = true;
        if (caption == u"T&hree" && state.Contains(odGrayed)) grayedThird = true;
    }
    EXPECT_TRUE(selectedFirst) << "VK_DOWN draws the first item selected";
    EXPECT_TRUE(grayedThird);
}

TEST_F(PopupMenuTest, OwnerDrawnItemsKeepTheirAccelerators) {
    DrawLog log;
    for (Integer i = 0; i < menu->Items()->Count(); ++i)
        menu->Items()->Items(i)->OnMeasureItem = TMenuMeasureItemEvent::Of<&DrawLog::Measure>(&log);
    menu->SetOwnerDraw(true);
    auto* twin = New<TMenuItem>(menu);
    twin->SetCaption(u"&Twin");
    twin->OnClick = menu->Items()->Items(0)->OnClick;
    menu->Items()->Add(twin);
    const struct {
        std::vector<WPARAM> keys;
        std::vector<Integer> chosen;
    } cases[] = {
        {{'H'}, {2}},   // one item has it: chosen at once
        {{'O'}, {0}},
        {{'Z', VK_ESCAPE}, {}},
    };
    for (const auto& c : cases) {
        chosen.clear();
        harness::MenuDriver driver(c.keys);
        menu->Popup(60, 60);
        EXPECT_FALSE(driver.TimedOut);
        EXPECT_EQ(chosen, c.chosen) << c.keys.size() << " keys, first " << c.keys.front();
    }

    // The answer itself (Wine reads the entries' texts before it asks, so
    // the popup above may not have needed it): one match runs, several are
    // stepped through from the highlighted entry on.
    HMENU h = menu->Handle();
    auto ask = [&](WPARAM key, HMENU m) {
        TMessage msg{WM_MENUCHAR, key, reinterpret_cast<LPARAM>(m), 0};
        return TMenu::DispatchMenuChar(msg) ? msg.Result : LRESULT(-1);
    };
    EXPECT_EQ(ask('h', h), MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(ask('T', h), MAKELRESULT(1, MNC_SELECT));
    auto hilite = [&](UINT pos, bool on) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        ::GetMenuItemInfoW(h, pos, TRUE, &info);
        info.fState = on ? info.fState | MFS_HILITE : info.fState & ~MFS_HILITE;
        ::SetMenuItemInfoW(h, pos, TRUE, &info);
    };
    hilite(1, true);
    EXPECT_EQ(ask('T', h), MAKELRESULT(3, MNC_SELECT));
    hilite(1, false);
    hilite(3, true);
    EXPECT_EQ(ask('T', h), MAKELRESULT(1, MNC_SELECT)) << "wraps round";
    EXPECT_EQ(ask('Z', h), LRESULT(-1));
    HMENU foreign = ::CreatePopupMenu();
    ::AppendMenuW(foreign, MF_STRING, 1, L"&Hello");
    EXPECT_EQ(ask('H', foreign), LRESULT(-1)) << "not one of ours";
    ::DestroyMenu(foreign);
}

TEST(MenuItems, OwnerDrawMessagesFindOnlyLiveItems) {
    DrawLog log;
    auto* item = New<TMenuItem>(nullptr);
    item->OnMeasureItem = TMenuMeasureItemEvent::Of<&DrawLog::Measure>(&log);
    MEASUREITEMSTRUCT mis = {};
    mis.CtlType = ODT_MENU;
    mis.itemID = item->Command();
    mis.itemData = item->Command();
    TMessage m{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis), 0};
    EXPECT_TRUE(TMenu::DispatchMenuMeasure(m));
    EXPECT_EQ(mis.itemWidth, 90u);
    EXPECT_EQ(log.measured, 1);
    // A control's message, a stranger's item data and a freed item are not ours.
    mis.CtlType = ODT_LISTBOX;
    EXPECT_FALSE(TMenu::DispatchMenuMeasure(m));
    mis.CtlType = ODT_MENU;
    mis.itemData = reinterpret_cast<ULONG_PTR>(item);
    EXPECT_FALSE(TMenu::DispatchMenuMeasure(m));
    mis.itemData = item->Command();
    item->Free();
    EXPECT_FALSE(TMenu::DispatchMenuMeasure(m));
    EXPECT_EQ(log.measured, 1);
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_MENU;
    dis.itemID = dis.itemData = mis.itemData;
    dis.hDC = ::GetDC(nullptr);
    TMessage d{WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis), 0};
    EXPECT_FALSE(TMenu::DispatchMenuDraw(d));
    ::ReleaseDC(nullptr, dis.hDC);
}

TEST(MainMenus, TheFormShowsItsMenuLine) {
    TForm* form = New<TForm>(Application);
    form->SetBounds(20, 20, 300, 200);
    TMainMenu* menu = New<TMainMenu>(form);
    auto* file = New<TMenuItem>(form);
    file->SetCaption(u"&File");
    menu->Items()->Add(file);
    int clicks = 0;
    struct Counter {
        int* n;
        void Click(TObject*) { ++*n; }
    } counter{&clicks};
    file->OnClick = TNotifyEvent::Of<&Counter::Click>(&counter);
    form->SetMenu(menu);
    HWND wnd = form->Handle();
    ASSERT_EQ(::GetMenu(wnd), menu->Handle());
    EXPECT_EQ(menu->WindowHandle(), wnd);

    // A new item: the bar is made anew and the window shows the new one.
    auto* edit = New<TMenuItem>(form);
    edit->SetCaption(u"&Edit");
    menu->Items()->Add(edit);
    HMENU bar = ::GetMenu(wnd);
    ASSERT_TRUE(::IsMenu(bar));
    EXPECT_EQ(bar, menu->Handle());
    EXPECT_EQ(::GetMenuItemCount(bar), 2);

    // A command of the menu line clicks its item.
    ::SendMessageW(wnd, WM_COMMAND, file->Command(), 0);
    EXPECT_EQ(clicks, 1);

    // The window going does not take the menu's handle with it.
    ::DestroyWindow(wnd);
    EXPECT_TRUE(::IsMenu(bar));
    EXPECT_EQ(menu->Handle(), bar);
    // A form without its menu shows none.
    wnd = form->Handle();
    EXPECT_EQ(::GetMenu(wnd), bar);
    form->SetMenu(nullptr);
    EXPECT_EQ(::GetMenu(wnd), nullptr);
    EXPECT_TRUE(::IsMenu(bar));
    form->SetMenu(menu);
    // The menu freed first: the window lets go of it.
    menu->Free();
    EXPECT_EQ(::GetMenu(wnd), nullptr);
    EXPECT_EQ(form->Menu(), nullptr);
    form->Free();
}

}  // namespace
