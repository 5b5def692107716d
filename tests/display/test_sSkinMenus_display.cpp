// Skinned menus on a real screen with the test skin: a popped menu shows
// the popup background, the hot item after VK_DOWN, the divider and the
// caption item in the skin's colours, and its window loses the key
// corners; a nested popup keeps its own shape; a form's menu line is
// painted from the skin; many popups leave the object counts flat. The
// pictures stay beside the test program (skinned-popup*.bmp,
// skinned-menu-line.bmp).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "ProcessDriver.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

using harness::MenuTicker;
using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

std::wstring Beside(const wchar_t* name) { return (fs::path(harness::ModuleFolder()) / name).wstring(); }

// What a popup looked like while it was open.
struct Seen {
    HWND Wnd = nullptr;
    harness::Capture Cap;
    HRGN Rgn = nullptr;
    ~Seen() {
        if (Rgn) ::DeleteObject(Rgn);
    }
    void Take(HWND wnd) {
        Wnd = wnd;
        Cap = harness::CaptureWindow(wnd, harness::CaptureSource::Screen);
        if (!Rgn) Rgn = ::CreateRectRgn(0, 0, 0, 0);
        if (::GetWindowRgn(wnd, Rgn) == ERROR) {
            ::DeleteObject(Rgn);
            Rgn = nullptr;
        }
    }
    bool Inside(int x, int y) const { return Rgn && ::PtInRegion(Rgn, x, y); }
    // The four key corners are out of the region, the points beside them in.
    bool CornersCut() const {
        const int w = Cap.Width, h = Cap.Height, k = skingen::TestKeyCorner;
        return Rgn && !Inside(0, 0) && !Inside(w - 1, 0) && !Inside(0, h - 1) && !Inside(w - 1, h - 1) &&
               Inside(k, 0) && Inside(w - 1 - k, h - 1) && Inside(w / 2, h / 2);
    }
};


// The popup windows on the screen, first opened first.
std::vector<HWND> MenuWindows() {
    std::vector<HWND> found;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"#32768", nullptr))
        if (::IsWindowVisible(w)) found.push_back(w);
    std::reverse(found.begin(), found.end());
    return found;
}

TPopupMenu* SamplePopup(TsSkinManager* manager) {
    auto* menu = New<TPopupMenu>(Application);
    for (const char16_t* caption : {u"&Open", u"-", u"-Tools-", u"Gone", u"&Close"}) {
        auto* item = New<TMenuItem>(menu);
        item->SetCaption(caption);
        menu->Items()->Add(item);
    }
    menu->Items()->Items(3)->SetEnabled(false);
    manager->SkinableMenus()->HookPopupMenu(menu, true);
    return menu;
}

// Opens the menu, presses VK_DOWN and looks at the popup once it shows
// the hot colour (or after a few seconds).
void PopAndLook(TPopupMenu* menu, COLORREF hot, Seen& seen) {
    harness::MenuDriver driver({VK_DOWN});
    MenuTicker ticker([&](int tick) {
        const std::vector<HWND> wnds = MenuWindows();
        if (wnds.empty()) return tick > 20;
        seen.Take(wnds.front());
        return seen.Cap.Contains(hot) || tick > 20;
    });
    menu->Popup(200, 150);
    EXPECT_EQ(driver.Opened, 1);
}

TEST(SkinnedMenusDisplay, APoppedMenuShowsTheSkin) {
    const kestrune_test::TestSkinSession skin("kestrune-menu-display-");
    TsSkinManager* const manager = skin.Manager();
    TPopupMenu* menu = SamplePopup(manager);
    const COLORREF hot = TestRef(skingen::TestSectionColour("MENUITEM", 1));
    Seen seen;
    PopAndLook(menu, hot, seen);
    seen.Cap.SaveBmp(Beside(L"skinned-popup.bmp").c_str());
    ASSERT_FALSE(seen.Cap.Empty());
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestSectionColour("MAINMENU", 0)))) << "popup background";
    EXPECT_TRUE(seen.Cap.Contains(hot)) << "hot item after VK_DOWN";
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestMaskColour("MAINMENU", "BORDERSMASK", 0)))) << "border";
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestMaskColour("DIVIDERV", "BORDERSMASK", 0)))) << "divider";
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestSectionColour("MENUCAPTION", 0)))) << "caption item";
    EXPECT_TRUE(seen.CornersCut());

    // Shown again (a new window): the same background takes the new window.
    Seen again;
    PopAndLook(menu, hot, again);
    EXPECT_TRUE(again.Cap.Contains(hot));
    EXPECT_TRUE(again.CornersCut());
    EXPECT_EQ(MenuInfoCount(), 1u);
    menu->Free();
}

TEST(SkinnedMenusDisplay, PicturesAndCheckMarks) {
    const kestrune_test::TestSkinSession skin("kestrune-menu-glyphs-");
    auto* menu = New<TPopupMenu>(Application);
    auto add = [&](const char16_t* caption) {
        auto* item = New<TMenuItem>(menu);
        item->SetCaption(caption);
        menu->Items()->Add(item);
        return item;
    };
    add(u"First");
    TMenuItem* pictured = add(u"Pictured");
    TMenuItem* checked = add(u"Checked");
    TMenuItem* radio = add(u"Radio");
    const COLORREF picture = RGB(0x12, 0x9A, 0x56);
    TBitmap* pic = pictured->Bitmap();
    pic->SetPixelFormat(pf24bit);
    pic->SetSize(16, 16);
    pic->Canvas()->Brush()->SetColor(static_cast<TColor>(picture));
    pic->Canvas()->FillRect(TRect(0, 0, 16, 16));
    checked->SetChecked(true);
    radio->SetRadioItem(true);
    radio->SetChecked(true);
    skin.Manager()->SkinableMenus()->HookPopupMenu(menu, true);
    Seen seen;
    PopAndLook(menu, TestRef(skingen::TestSectionColour("MENUITEM", 1)), seen);
    seen.Cap.SaveBmp(Beside(L"skinned-popup-glyphs.bmp").c_str());
    EXPECT_TRUE(seen.Cap.Contains(picture)) << "the item's picture";
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestMaskColour("GLOBALINFO", "CHECK", 0)))) << "check mark";
    EXPECT_TRUE(seen.Cap.Contains(TestRef(skingen::TestMaskColour("GLOBALINFO", "RADIOCHECKED", 0))))
        << "radio mark";
    menu->Free();
}

TEST(SkinnedMenusDisplay, WithoutADividerMaskTheDividerTakesTheBorderColour) {
    harness::TempFolder folder("kestrune-menu-divider-");
    skingen::WriteTestSkin(folder.Path() / "Test");
    // The skin without the divider's mask.
    const fs::path ini = folder.Path() / "Test" / "Options.dat";
    std::ifstream in(ini, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    std::string kept, line, section;
    std::istringstream lines(text.str());
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') section = line;
        if (section.rfind("[DIVIDERV]", 0) == 0 && line.rfind("BORDERSMASK", 0) == 0) continue;
        kept += line + "\n";
    }
    std::ofstream(ini, std::ios::binary) << kept;
    TsSkinManager* manager = kestrune_test::NewTestSkinManager(folder.Path());
    ASSERT_TRUE(manager->SkinData()->Active);
    ASSERT_LT(manager->GetMaskIndex(u"DIVIDERV", u"BORDERSMASK"), 0);
    TPopupMenu* menu = SamplePopup(manager);
    Seen seen;
    PopAndLook(menu, TestRef(skingen::TestSectionColour("MENUITEM", 1)), seen);
    seen.Cap.SaveBmp(Beside(L"skinned-popup-divider.bmp").c_str());
    TColor border = manager->SkinData()->BorderColor;
    if (border == static_cast<TColor>(0xFF00FF)) border = static_cast<TColor>(::GetSysColor(COLOR_BTNSHADOW));
    EXPECT_TRUE(seen.Cap.Contains(static_cast<COLORREF>(border)));
    menu->Free();
    manager->Free();
    harness::PumpUntilIdle(10, 500);
}

TEST(SkinnedMenusDisplay, NestedPopupsKeepTheirOwnShapes) {
    const kestrune_test::TestSkinSession skin("kestrune-menu-nested-");
    TsSkinManager* const manager = skin.Manager();
    auto* menu = New<TPopupMenu>(Application);
    auto* more = New<TMenuItem>(menu);
    more->SetCaption(u"More");
    menu->Items()->Add(more);
    auto* other = New<TMenuItem>(menu);
    other->SetCaption(u"Other item with a long caption");
    menu->Items()->Add(other);
    for (const char16_t* caption : {u"A", u"B", u"C", u"D", u"E"}) {
        auto* sub = New<TMenuItem>(menu);
        sub->SetCaption(caption);
        more->Add(sub);
    }
    manager->SkinableMenus()->HookPopupMenu(menu, true);

    Seen outer, inner;
    harness::MenuDriver driver({VK_DOWN, VK_RIGHT});
    MenuTicker ticker([&](int tick) {
        const std::vector<HWND> wnds = MenuWindows();
        if (wnds.size() < 2) return tick > 20;
        if (tick < 3) return false;
        // The outer popup's border drawn again after the inner one was
        // prepared (as the menu-window adapter does) keeps the outer shape.
        ::SendMessageW(Application->Handle(), acMenuWindowBorder, 0, reinterpret_cast<LPARAM>(wnds[0]));
        ::RedrawWindow(wnds[0], nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        harness::PumpUntilIdle(20, 200);
        outer.Take(wnds[0]);
        inner.Take(wnds[1]);
        return true;
    });
    menu->Popup(200, 150);
    outer.Cap.SaveBmp(Beside(L"skinned-popup-outer.bmp").c_str());
    inner.Cap.SaveBmp(Beside(L"skinned-popup-inner.bmp").c_str());
    ASSERT_NE(outer.Wnd, nullptr);
    ASSERT_NE(inner.Wnd, nullptr);
    EXPECT_NE(outer.Cap.Width, inner.Cap.Width);
    EXPECT_TRUE(outer.CornersCut()) << outer.Cap.Width << " x " << outer.Cap.Height;
    EXPECT_TRUE(inner.CornersCut()) << inner.Cap.Width << " x " << inner.Cap.Height;
    RECT box{};
    ASSERT_NE(::GetRgnBox(outer.Rgn, &box), ERROR);
    EXPECT_EQ(box.right, outer.Cap.Width);
    EXPECT_EQ(box.bottom, outer.Cap.Height);
    menu->Free();
}

TEST(SkinnedMenusDisplay, TheMenuLineOfAFormIsPaintedFromTheSkin) {
    const kestrune_test::TestSkinSession skin("kestrune-menu-line-");
    auto* form = New<TForm>(Application);
    form->SetCaption(u"Menu line");
    form->SetBounds(120, 100, 400, 260);
    auto* main = New<TMainMenu>(form);
    for (const char16_t* caption : {u"&File", u"&Edit", u"&Help"}) {
        auto* item = New<TMenuItem>(form);
        item->SetCaption(caption);
        main->Items()->Add(item);
        auto* sub = New<TMenuItem>(form);
        sub->SetCaption(u"Entry");
        item->Add(sub);
    }
    form->SetMenu(main);
    auto* provider = New<TsSkinProvider>(form);
    form->Show();
    ::SetForegroundWindow(form->Handle());
    const COLORREF line = TestRef(skingen::TestSectionColour("MENULINE", 0));
    const COLORREF item = TestRef(skingen::TestSectionColour("MENUITEM", 0));
    harness::Capture cap;
    const bool shown = harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
            return cap.Contains(line) && cap.Contains(item);
        },
        5000);
    cap.SaveBmp(Beside(L"skinned-menu-line.bmp").c_str());
    EXPECT_TRUE(shown);
    EXPECT_GT(provider->MenuHeight(), 0);
    EXPECT_TRUE(provider->MenuPresent());
    EXPECT_EQ(provider->GetLinesCount(), 1);

    // Opened from the keyboard, "File" is drawn selected in the line (by the
    // system's own owner-draw request) over the line's image, its popup below.
    RECT fileRect{};
    ASSERT_TRUE(::GetMenuItemRect(form->Handle(), ::GetMenu(form->Handle()), 0, &fileRect));
    RECT wr{};
    ::GetWindowRect(form->Handle(), &wr);
    const COLORREF selected = TestRef(skingen::TestSectionColour("MENUITEM", 1));
    harness::Capture open;
    MenuTicker ticker([&](int tick) {
        open = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
        return (MenuWindows().size() == 1 &&
                open.Pixel((fileRect.left + fileRect.right) / 2 - wr.left, (fileRect.top + fileRect.bottom) / 2 - wr.top) ==
                    selected) ||
               tick > 20;
    });
    ::PostMessageW(form->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 'f');
    harness::PumpUntilIdle(50, 4000);
    open.SaveBmp(Beside(L"skinned-menu-line-open.bmp").c_str());
    const int cx = (fileRect.left + fileRect.right) / 2 - wr.left, cy = (fileRect.top + fileRect.bottom) / 2 - wr.top;
    EXPECT_EQ(open.Pixel(cx, cy), selected) << std::hex << open.Pixel(cx, cy);
    EXPECT_EQ(open.Pixel(fileRect.right - wr.left + 200, cy), line) << "the rest of the line";

    // A narrow form wraps its line into rows, each counted; a minimized
    // form has none.
    for (const char16_t* caption : {u"&View", u"&Tools", u"&Window", u"&Options", u"&Extras"}) {
        auto* more = New<TMenuItem>(form);
        more->SetCaption(caption);
        main->Items()->Add(more);
    }
    form->SetWidth(170);
    harness::PumpUntilIdle(50, 1000);
    provider->FLinesCount = -1;
    EXPECT_GE(provider->GetLinesCount(), 2);
    cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
    cap.SaveBmp(Beside(L"skinned-menu-lines.bmp").c_str());
    ::ShowWindow(form->Handle(), SW_MINIMIZE);
    harness::PumpUntilIdle(50, 1000);
    provider->FLinesCount = -1;
    EXPECT_EQ(provider->GetLinesCount(), 0);
    form->Free();
}

TEST(SkinnedMenusDisplay, ManyPopupsLeaveTheCountsFlat) {
    const kestrune_test::TestSkinSession skin("kestrune-menu-counts-");
    TPopupMenu* menu = SamplePopup(skin.Manager());
    harness::MenuDriver driver({VK_DOWN, VK_ESCAPE});
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) menu->Popup(200, 150);
        harness::PumpUntilIdle(10, 500);
    };
    const harness::ObjectCounts before = harness::RepeatMenus(driver, cycle, 10, 200);
    harness::ExpectObjectCountsFlat(before, nullptr, "popup");
    EXPECT_EQ(MenuInfoCount(), 1u) << "one background for the one popup";
    menu->Free();
}

}  // namespace
