// The skinned menus: which items they take over and give back, how they
// measure, the popup backgrounds with their cut-outs (one set per popup),
// the menu-line handlers and the request for a popup window found late.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "WorkBitmaps.h"
#include "acSBUtils.h"
#include "sMemo.h"
#include "sMessages.h"
#include "sPanel.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sSkinProvider.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using kestrune_test::TestSkinSession;

// Handlers of the test's own, which hooking must leave alone.
struct Own {
    void Measure(TObject*, TCanvas*, Integer& w, Integer& h) { w = h = 5; }
    void Draw(TObject*, TCanvas*, const TRect&, TOwnerDrawState) {}
};

TMenuItem* AddItem(TMenuItem* parent, const char16_t* caption) {
    auto* item = New<TMenuItem>(parent->GetParentMenu());
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

TEST(SkinMenus, ItemKindsAndCaptionHeadings) {
    const struct {
        const char16_t* caption;
        TsMenuItemType type;
        const char16_t* heading;
    } cases[] = {
        {u"-", smDivider, u""},
        {u"--", smCaption, u""},
        {u"-Tools-", smCaption, u"Tools"},
        {u"--Tools--", smCaption, u"Tools"},
        {u"-Réglages ünd 日本 \U0001F600-", smCaption, u"Réglages ünd 日本 \U0001F600"},
        {u"-Two-Parts-", smCaption, u"Two"},
        {u"Open", smNormal, u"Open"},
        {u"-Open", smNormal, u"Open"},
        {u"", smNormal, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MenuItemTypeOf(c.caption), c.type) << std::u16string(c.caption).size();
        if (c.type == smCaption) {
            EXPECT_EQ(MenuCaptionText(c.caption), c.heading);
        }
    }
}

class SkinMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        session = std::make_unique<TestSkinSession>("kestrune-menus");
        menus = session->Manager()->SkinableMenus();
        ASSERT_NE(menus, nullptr);
    }
    void TearDown() override {
        for (TComponent* c : owned) c->Free();
        session.reset();
    }
    template <class T>
    T* Own(T* c) {
        owned.push_back(c);
        return c;
    }
    // A popup with the given captions.
    TPopupMenu* Popup(std::initializer_list<const char16_t*> captions) {
        auto* menu = Own(New<TPopupMenu>(nullptr));
        for (const char16_t* c : captions) AddItem(menu->Items(), c);
        return menu;
    }
    std::unique_ptr<TestSkinSession> session;
    TsSkinableMenus* menus = nullptr;
    std::vector<TComponent*> owned;
};

TEST_F(SkinMenusTest, HookingKeepsHandlersOfTheItemsOwn) {
    ::Own own;
    TPopupMenu* menu = Popup({u"Drawn", u"Measured", u"Plain"});
    TMenuItem* drawn = menu->Items()->Items(0);
    TMenuItem* measured = menu->Items()->Items(1);
    TMenuItem* plain = menu->Items()->Items(2);
    TMenuItem* sub = AddItem(plain, u"Sub");
    const auto ownDraw = TAdvancedMenuDrawItemEvent::Of<&::Own::Draw>(&own);
    const auto ownMeasure = TMenuMeasureItemEvent::Of<&::Own::Measure>(&own);
    drawn->OnAdvancedDrawItem = ownDraw;
    measured->OnMeasureItem = ownMeasure;
    const auto skinDraw = TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawItem>(menus);
    const auto skinMeasure = TMenuMeasureItemEvent::Of<&TsSkinableMenus::sMeasureItem>(menus);

    for (int round = 0; round < 2; ++round) {
        menus->HookPopupMenu(menu, true);
        EXPECT_TRUE(menu->OwnerDraw());
        EXPECT_TRUE(menu->MenuAnimation().Contains(maNone));
        EXPECT_TRUE(drawn->OnAdvancedDrawItem == ownDraw);
        EXPECT_TRUE(drawn->OnMeasureItem == skinMeasure);
        EXPECT_TRUE(measured->OnMeasureItem == ownMeasure);
        EXPECT_TRUE(measured->OnAdvancedDrawItem == skinDraw);
        EXPECT_TRUE(plain->OnAdvancedDrawItem == skinDraw);
        EXPECT_TRUE(sub->OnMeasureItem == skinMeasure) << "sub-items too";

        menus->HookPopupMenu(menu, false);
        EXPECT_FALSE(menu->OwnerDraw());
        EXPECT_FALSE(menu->MenuAnimation().Contains(maNone));
        EXPECT_TRUE(drawn->OnAdvancedDrawItem == ownDraw);
        EXPECT_TRUE(measured->OnMeasureItem == ownMeasure);
        EXPECT_FALSE(drawn->OnMeasureItem.Assigned());
        EXPECT_FALSE(measured->OnAdvancedDrawItem.Assigned());
        EXPECT_FALSE(plain->OnAdvancedDrawItem.Assigned() || plain->OnMeasureItem.Assigned());
        EXPECT_FALSE(sub->OnAdvancedDrawItem.Assigned());
    }

    // Without skinned popups a hooked popup menu stays drawn by the system.
    session->Manager()->SetSkinnedPopups(false);
    menus->HookPopupMenu(menu, true);
    EXPECT_FALSE(menu->OwnerDraw());
}

TEST_F(SkinMenusTest, MenusOfTheApplicationFollowTheSkin) {
    // A popup of a form of the application is hooked when the skin is
    // announced and given back when the skin goes.
    TForm* form = Own(New<TForm>(Application));
    auto* menu = New<TPopupMenu>(form);
    AddItem(menu->Items(), u"One");
    menus->SetActive(false);
    session->Manager()->UpdateSkin(false);
    EXPECT_TRUE(menus->Active());
    EXPECT_TRUE(menu->OwnerDraw());
    EXPECT_TRUE(menu->Items()->Items(0)->OnAdvancedDrawItem.Assigned());
    session->Manager()->SetActive(false);
    EXPECT_FALSE(menus->Active());
    EXPECT_FALSE(menu->OwnerDraw());
    EXPECT_FALSE(menu->Items()->Items(0)->OnAdvancedDrawItem.Assigned());
}

TEST(SkinMenus, AManagerThatGoesTakesItsHandlersAlong) {
    // A popup of nobody's, hooked by hand: no walk of the application finds
    // it, yet its items must not keep handlers of a freed skinner.
    auto* menu = New<TPopupMenu>(nullptr);
    TMenuItem* item = AddItem(menu->Items(), u"One");
    TMenuItem* gone = AddItem(menu->Items(), u"Two");
    {
        TestSkinSession session("kestrune-menus-gone");
        session.Manager()->SkinableMenus()->HookPopupMenu(menu, true);
        EXPECT_TRUE(item->OnAdvancedDrawItem.Assigned());
        gone->Free();   // a freed item is skipped
    }
    EXPECT_FALSE(item->OnAdvancedDrawItem.Assigned() || item->OnMeasureItem.Assigned());
    menu->Free();
}

TEST_F(SkinMenusTest, MenuLineHandlers) {
    TForm* form = Own(New<TForm>(Application));
    auto* menu = New<TMainMenu>(form);
    ::Own own;
    TMenuItem* file = AddItem(menu->Items(), u"&File");
    TMenuItem* open = AddItem(file, u"Open");
    file->OnAdvancedDrawItem = TAdvancedMenuDrawItemEvent::Of<&::Own::Draw>(&own);
    const auto lineDraw = TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(menus);
    const auto lineMeasure = TMenuMeasureItemEvent::Of<&TsSkinableMenus::sMeasureLineItem>(menus);

    // Without skinned popups the line is left as it is.
    session->Manager()->SetSkinnedPopups(false);
    menus->InitMenuLine(menu, true);
    EXPECT_FALSE(menu->OwnerDraw());
    EXPECT_FALSE(file->OnAdvancedDrawItem == lineDraw);
    session->Manager()->SetSkinnedPopups(true);

    // The line's items take the line handlers whatever they had; the
    // items below them are popup items.
    menus->InitMenuLine(menu, true);
    EXPECT_TRUE(menu->OwnerDraw());
    EXPECT_TRUE(file->OnAdvancedDrawItem == lineDraw);
    EXPECT_TRUE(file->OnMeasureItem == lineMeasure);
    EXPECT_TRUE(menus->IsTopLine(file));
    EXPECT_FALSE(menus->IsTopLine(open));
    menus->HookItem(file, true);
    EXPECT_TRUE(file->OnAdvancedDrawItem == lineDraw) << "hooking skips the top line";
    EXPECT_TRUE(open->OnAdvancedDrawItem ==
                TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawItem>(menus));

    menus->InitMenuLine(menu, false);
    EXPECT_FALSE(menu->OwnerDraw());
    EXPECT_FALSE(file->OnAdvancedDrawItem.Assigned());
    menus->InitItem(file, true);
    EXPECT_TRUE(file->OnAdvancedDrawItem == lineDraw);
    menus->InitItem(file, false);
    EXPECT_FALSE(file->OnAdvancedDrawItem.Assigned() || file->OnMeasureItem.Assigned());
}

TEST_F(SkinMenusTest, ItemsWithoutASkinToDrawOnAreDrawnPlain) {
    // The skinner hooks every main menu of the application; a form without
    // a skinned frame has no line image, and its items must still show.
    TForm* form = Own(New<TForm>(Application));
    auto* menu = New<TMainMenu>(form);
    TMenuItem* file = AddItem(menu->Items(), u"&File");
    form->SetMenu(menu);
    menus->InitItems(true);
    ASSERT_TRUE(file->OnAdvancedDrawItem ==
                TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(menus));
    TBitmap* bmp = CreateWorkBitmap(60, 20);
    HDC dc = bmp->Canvas()->Handle();
    const RECT all = {0, 0, 60, 20};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_MENU;
    dis.itemID = dis.itemData = file->Command();
    dis.hDC = dc;
    dis.rcItem = all;
    TMessage m{WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis), 0};
    ASSERT_TRUE(TMenu::DispatchMenuDraw(m));
    EXPECT_EQ(::GetPixel(dc, 1, 1), ::GetSysColor(COLOR_MENU));

    // A popup item left hooked while no skin is active shows too.
    TPopupMenu* popup = Popup({u"Open"});
    menus->HookPopupMenu(popup, true);
    session->Manager()->SetActive(false);
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    menus->sAdvancedDrawItem(popup->Items()->Items(0), bmp->Canvas(), TRect(0, 0, 60, 20), TOwnerDrawState{});
    EXPECT_EQ(::GetPixel(dc, 1, 1), ::GetSysColor(COLOR_MENU));
    bmp->Free();
}

TEST_F(SkinMenusTest, MeasuringByKind) {
    TPopupMenu* menu = Popup({u"-", u"-Heading-", u"Open", u"Open", u"Wide item"});
    menu->Items()->Items(3)->SetShortCut(TextToShortCut(u"Ctrl+O"));
    HDC dc = ::GetDC(nullptr);
    TCanvas canvas;
    canvas.SetHandle(dc);
    Integer w[5], h[5];
    for (int i = 0; i < 5; ++i) menus->sMeasureItem(menu->Items()->Items(i), &canvas, w[i], h[i]);
    const Integer th = [&] {
        LOGFONTW lf{};
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = sizeof(ncm);
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
        lf = ncm.lfMenuFont;
        HFONT f = ::CreateFontIndirectW(&lf);
        HGDIOBJ old = ::SelectObject(dc, f);
        SIZE s{};
        ::GetTextExtentPoint32W(dc, L"W", 1, &s);
        ::SelectObject(dc, old);
        ::DeleteObject(f);
        return static_cast<Integer>(std::nearbyint(s.cy * 1.25));
    }();
    canvas.SetHandle(nullptr);
    ::ReleaseDC(nullptr, dc);
    EXPECT_EQ(h[0], 2) << "a divider is 2 high";
    EXPECT_EQ(h[1], th + 2 * menus->Margin());
    EXPECT_EQ(h[2], std::max<Integer>(th, 16) + 2 * menus->Margin());
    EXPECT_GT(w[3], w[2]) << "the shortcut is measured";
    EXPECT_GT(w[4], w[2]);
    // No glyph: the 16-pixel icon column counts twice.
    EXPECT_GE(w[0], 2 * 16 + 3 * menus->Margin() + menus->Spacing());
}

// The cut-outs of a popup's background: the key runs of the border mask's
// corners at its own right and bottom edges.
void ExpectCutsOf(const TacMenuInfo& mi, int width, int height) {
    ASSERT_NE(mi.Bmp, nullptr);
    EXPECT_EQ(mi.Bmp->Width(), width);
    ASSERT_FALSE(mi.ArOR.empty());
    bool right = false, bottom = false;
    for (const TRect& r : mi.ArOR) {
        EXPECT_GE(r.Left, 0);
        EXPECT_LE(r.Right, width);
        EXPECT_LE(r.Bottom, height);
        if (r.Right == width) right = true;
        if (r.Bottom == height) bottom = true;
    }
    EXPECT_TRUE(right && bottom) << width << " x " << height;
}

TEST_F(SkinMenusTest, EachPopupKeepsItsOwnBackgroundAndShape) {
    TPopupMenu* small = Popup({u"One", u"Two"});
    TPopupMenu* large = Popup({u"Three"});
    TMenuItem* nested = AddItem(large->Items()->Items(0), u"Nested");
    const TacMenuInfo a = menus->GetMenuInfo(small->Items()->Items(1), 120, 80);
    const TacMenuInfo b = menus->GetMenuInfo(nested, 200, 150);
    EXPECT_EQ(MenuInfoCount(), 2u);
    // Each popup is found again by any of its items, with its own cut-outs.
    const TacMenuInfo a2 = menus->GetMenuInfo(small->Items()->Items(0), 0, 0);
    EXPECT_EQ(a2.Bmp, a.Bmp);
    ExpectCutsOf(a2, 120, 80);
    ExpectCutsOf(menus->GetMenuInfo(nested, 0, 0), 200, 150);
    EXPECT_NE(a.ArOR, b.ArOR);
    EXPECT_EQ(MenuInfoCount(), 2u);

    // The background: the "MAINMENU" colour inside its border.
    const COLORREF fill = kestrune_test::TestRef(skingen::TestSectionColour("MAINMENU", 0));
    EXPECT_EQ(::GetPixel(a.Bmp->Canvas()->Handle(), 60, 40), fill);
    // The test skin's border mask gives no width of its own: 3.
    EXPECT_EQ(menus->GetSkinBorderWidth(), 3);

    // A freed popup's entry is not found again for a new item that happens
    // to take its place.
    small->Free();
    owned.erase(std::find(owned.begin(), owned.end(), small));
    TPopupMenu* again = Popup({u"New"});
    EXPECT_EQ(menus->GetMenuInfo(again->Items()->Items(0), 0, 0).Bmp, nullptr);

    // A new skin starts without cached backgrounds.
    session->Manager()->UpdateSkin(false);
    EXPECT_EQ(MenuInfoCount(), 0u);
    EXPECT_EQ(menus->GetMenuInfo(nested, 0, 0).Bmp, nullptr);
}

TEST_F(SkinMenusTest, ExtraLine) {
    session->Manager()->MenuSupport()->UseExtraLine = true;
    TPopupMenu* menu = Popup({u"One"});
    const TacMenuInfo mi = menus->GetMenuInfo(menu->Items()->Items(0), 150, 60);
    EXPECT_TRUE(mi.HaveExtraLine);
    EXPECT_EQ(menus->ExtraWidth(mi), 32);
    const COLORREF line = kestrune_test::TestRef(skingen::TestSectionColour("EXTRALINE", 0));
    EXPECT_EQ(::GetPixel(mi.Bmp->Canvas()->Handle(), skingen::TestBorderWidth + 1, 55 - skingen::TestBorderWidth), line);

    // The skin chooser never shows it; an event may hide it.
    TPopupMenu* chooser = Popup({u"Available skins"});
    chooser->Items()->Items(0)->SetName(u"SkinSelectItem");
    EXPECT_FALSE(menus->GetMenuInfo(chooser->Items()->Items(0), 150, 60).HaveExtraLine);
    struct Hider {
        int asked = 0;
        void Ask(TMenuItem*, String&, String&, TBitmap*&, bool& visible) {
            ++asked;
            visible = false;
        }
    } hider;
    session->Manager()->OnGetPopupLineData = TacGetExtraLineData::Of<&Hider::Ask>(&hider);
    TPopupMenu* hidden = Popup({u"Two"});
    EXPECT_FALSE(menus->GetMenuInfo(hidden->Items()->Items(0), 150, 60).HaveExtraLine);
    EXPECT_EQ(hider.asked, 1);
    session->Manager()->OnGetPopupLineData = nullptr;
}

// A right click over a skinned control, a control with an adapted window
// or a skinned form: its popup menu is hooked before it opens.
struct PopupSeen {
    TPopupMenu* Menu = nullptr;
    int Popups = 0;
    bool OwnerDrawn = false;
    void OnPopup(TObject*) {
        ++Popups;
        OwnerDrawn = Menu->OwnerDraw();
    }
};

TEST_F(SkinMenusTest, ContextMenusAreHookedBeforeTheyOpen) {
    acSBUtilsInitialization();   // the adapter classes, given back at the end
    TForm* form = New<TForm>(Application);
    form->SetBounds(60, 60, 320, 220);
    New<TsSkinProvider>(form);
    auto* panel = New<TsPanel>(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 120, 80);
    auto* memo = New<TsMemo>(form);
    memo->SetParent(form);
    memo->SetBounds(140, 10, 150, 80);
    form->Show();
    harness::PumpUntilIdle(20, 1000);
    // A skin chosen after the memo exists gives its window the adapter.
    session->Manager()->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    session->Manager()->SetActive(true);
    harness::PumpUntilIdle(10, 500);
    ASSERT_NE(memo->Adapter(), nullptr) << "the memo's window is not adapted";
    struct Target {
        const char* Name;
        TWinControl* Control;
    };
    for (const Target& t : {Target{"skinned panel", panel}, Target{"memo with its adapter", memo}, Target{"skinned form", form}}) {
        SCOPED_TRACE(t.Name);
        TPopupMenu* menu = Popup({u"One", u"Two"});
        ASSERT_FALSE(menu->OwnerDraw());
        PopupSeen seen;
        seen.Menu = menu;
        menu->OnPopup = TNotifyEvent::Of<&PopupSeen::OnPopup>(&seen);
        t.Control->SetPopupMenu(menu);
        harness::MenuDriver driver;
        const POINT at = t.Control->ClientToScreen(POINT{5, 5});
        ::SendMessageW(t.Control->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(t.Control->Handle()),
                       MAKELPARAM(at.x, at.y));
        EXPECT_EQ(seen.Popups, 1);
        EXPECT_EQ(driver.Opened, 1);
        EXPECT_TRUE(seen.OwnerDrawn) << "opened without the skin";
        t.Control->SetPopupMenu(nullptr);
    }
    // A menu freed while a control names it is forgotten.
    TPopupMenu* gone = New<TPopupMenu>(nullptr);
    panel->SetPopupMenu(gone);
    gone->Free();
    EXPECT_EQ(panel->PopupMenu(), nullptr);
    form->Free();
    harness::PumpUntilIdle(10, 300);
    acSBUtilsFinalization();
}

TEST_F(SkinMenusTest, PopupWindowFoundLaterIsNamedByMenuAndPosition) {
    // An item drawn where its popup window is not known (a memory DC) asks
    // the application window to find it: with the popup's menu handle and
    // the item's position, never the item object.
    TPopupMenu* menu = Popup({u"One", u"Two"});
    menus->HookPopupMenu(menu, true);
    const HMENU shown = menu->Handle();   // a popup being drawn has its menu
    TMenuItem* two = menu->Items()->Items(1);
    HWND app = Application->Handle();
    MSG stale;
    while (::PeekMessageW(&stale, app, acMenuItemBorder, acMenuWindowBorder, PM_REMOVE)) {}
    TBitmap* bmp = CreateWorkBitmap(200, 60);
    menus->sAdvancedDrawItem(two, bmp->Canvas(), TRect(0, 20, 150, 40), TOwnerDrawState{});
    menus->sAdvancedDrawItem(two, bmp->Canvas(), TRect(0, 20, 150, 40), TOwnerDrawState{});
    MSG m;
    ASSERT_TRUE(::PeekMessageW(&m, app, acMenuItemBorder, acMenuItemBorder, PM_REMOVE));
    EXPECT_EQ(reinterpret_cast<HMENU>(m.wParam), shown);
    EXPECT_EQ(m.lParam, 1);
    EXPECT_FALSE(::PeekMessageW(&m, app, acMenuItemBorder, acMenuWindowBorder, PM_REMOVE)) << "one at a time";

    bmp->Free();

    // While the popup is open a request finds its window and cuts it to the
    // skin's shape; one for a menu gone meanwhile, a position the menu lacks
    // or a window that shows no menu finds nothing.
    harness::MenuDriver driver;
    HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
    int afterStrayRequests = -2, afterRequest = -2;
    driver.OnOpen = [&](HWND wnd) {
        ::SetWindowRgn(wnd, nullptr, FALSE);
        HMENU gone = ::CreatePopupMenu();
        ::DestroyMenu(gone);
        ::SendMessageW(app, acMenuItemBorder, reinterpret_cast<WPARAM>(gone), 0);
        ::SendMessageW(app, acMenuItemBorder, reinterpret_cast<WPARAM>(menu->Handle()), 7);
        ::SendMessageW(app, acMenuItemBorder, reinterpret_cast<WPARAM>(menu->Handle()), -1);
        ::SendMessageW(app, acMenuWindowBorder, 0, reinterpret_cast<LPARAM>(app));
        afterStrayRequests = ::GetWindowRgn(wnd, probe);
        ::SendMessageW(app, acMenuItemBorder, reinterpret_cast<WPARAM>(menu->Handle()), 1);
        afterRequest = ::GetWindowRgn(wnd, probe);
    };
    menu->Popup(100, 100);
    ::DeleteObject(probe);
    ASSERT_EQ(driver.Opened, 1);
    EXPECT_EQ(afterStrayRequests, ERROR) << "a stray request shaped the popup window";
    EXPECT_NE(afterRequest, ERROR) << "the request did not find the popup window";
}

}  // namespace
