// The skinned push button on real windows with the test skin: which mask
// frame each look shows, the corners cut by the window region, the disabled
// blend, when the cached image is built again, clicks, and GDI use over
// repeated hover and press cycles. Pixels are read back through WM_PRINT.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "ImgList.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "sButton.h"
#include "sSkinManager.h"
#include "StdCtrls.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
COLORREF Frame(int frame) { return Ref(skingen::TestMaskColour("BUTTON", "BORDERSMASK", frame)); }
constexpr COLORREF kKey = RGB(0xFF, 0x00, 0xFF);

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

// The test skin has two states per section; the button gets a third, so
// that its pressed look shows a frame of its own.
void GiveButtonThreeStates(const fs::path& Options) {
    std::string text;
    {
        std::ifstream in(Options, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::size_t section = text.find("[BUTTON]");
    ASSERT_NE(section, std::string::npos);
    const std::size_t key = text.find("STATES=2", section);
    ASSERT_NE(key, std::string::npos);
    text[key + 7] = '3';
    std::ofstream(Options, std::ios::binary | std::ios::trunc) << text;
}

class SkinnedButton : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        // Three states, so that the pressed look has a frame of its own.
        GiveButtonThreeStates(root / "Test" / "Options.dat");
        ASSERT_NO_FATAL_FAILURE(LoadAndShow());
        button = AddButton(TRect(20, 20, 100, 46));
        other = AddButton(TRect(20, 80, 100, 106));
        harness::PumpUntilIdle(20, 1000);
    }
    TsButton* AddButton(TRect bounds) {
        auto* b = New<TsButton>(form);
        b->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        b->SetParent(form);
        b->OnClick = TNotifyEvent::Of<&SkinnedButton::Clicked>(this);
        return b;
    }
    void Clicked(TObject*) { ++clicks; }
    static harness::Capture Print(TWinControl* c) {
        harness::PumpUntilIdle(10, 500);
        return harness::CaptureWindow(c->Handle(), harness::CaptureSource::Print, true);
    }
    // A pixel of the top edge of the border, away from the key corners.
    static COLORREF Border(TWinControl* c) { return Print(c).Pixel(8, 1); }
    void Press(TsButton* b) {
        b->Perform(CM_MOUSEENTER, 0, 0);
        ::SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    }
    void SaveLooks() {
        button->SetCaption(u"Go!");
        other->SetFocus();
        harness::Capture normal = Print(button);
        button->Perform(CM_MOUSEENTER, 0, 0);
        harness::Capture hot = Print(button);
        Press(button);
        harness::Capture pressed = Print(button);
        Release(button);
        button->Perform(CM_MOUSELEAVE, 0, 0);
        harness::Capture sheet;
        sheet.Width = normal.Width * 3 + 8;
        sheet.Height = normal.Height;
        sheet.Pixels.assign(std::size_t(sheet.Width) * sheet.Height, 0xFFFFFF);
        int x0 = 0;
        for (const harness::Capture* c : {&normal, &hot, &pressed}) {
            for (int y = 0; y < c->Height; ++y)
                for (int x = 0; x < c->Width; ++x)
                    sheet.Pixels[std::size_t(y) * sheet.Width + x0 + x] = c->Pixels[std::size_t(y) * c->Width + x];
            x0 += c->Width + 4;
        }
        sheet.SaveBmp((std::wstring(harness::ModuleFolder()) + L"\\sbutton-looks.bmp").c_str());
    }
    // The test skin's masks keep their corners over the parent's image
    // (corner type 1); corner type 2 has the corners cut out of the window
    // by a region, as the skin loader gives the huge button.
    void CutCorners() {
        const Integer index = button->SkinData()->BorderIndex;
        ASSERT_TRUE(manager->IsValidImgIndex(index));
        const_cast<TsMaskData&>(manager->ma()[static_cast<std::size_t>(index)]).CornerType = 2;
        for (TsButton* b : {button, other}) SendSkinCommand(b->Handle(), AC_REFRESH, reinterpret_cast<LPARAM>(manager));
        harness::PumpUntilIdle(10, 500);
    }
    static bool HasRegion(TWinControl* c, POINT in, POINT out) {
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        const bool has = ::GetWindowRgn(c->Handle(), rgn) != ERROR && ::PtInRegion(rgn, in.x, in.y) &&
                         !::PtInRegion(rgn, out.x, out.y);
        ::DeleteObject(rgn);
        return has;
    }
    void Release(TsButton* b) { ::SendMessageW(b->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10)); }

public:
    TsButton* button = nullptr;
    TsButton* other = nullptr;
    int clicks = 0;
};

TEST_F(SkinnedButton, EachLookShowsItsMaskFrame) {
    EXPECT_EQ(button->SkinData()->SkinSection(), u"BUTTON");
    ASSERT_TRUE(button->SkinData()->Skinned());
    EXPECT_EQ(button->CurrentState(), 0);
    EXPECT_EQ(Border(button), Frame(0));

    button->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(button->CurrentState(), 1);
    EXPECT_EQ(Border(button), Frame(1));
    button->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(Border(button), Frame(0));

    Press(button);
    EXPECT_EQ(button->CurrentState(), 2);
    EXPECT_EQ(Border(button), Frame(2));
    Release(button);
    button->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(clicks, 1);

    // Down keeps the pressed look without the mouse.
    button->SetDown(true);
    EXPECT_EQ(Border(button), Frame(2));
    button->SetDown(false);

    // Looked at by eye: the normal, hot and pressed buttons side by side.
    SaveLooks();
}

TEST_F(SkinnedButton, DefaultOrFocusedShowsTheActiveFrame) {
    other->SetFocus();
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(Border(other), Frame(1));
    EXPECT_EQ(Border(button), Frame(0));

    // The default button is active while no other button has the focus.
    button->SetDefault(true);
    EXPECT_EQ(Border(button), Frame(0));
    form->SetFocus();
    harness::PumpUntilIdle(10, 500);
    EXPECT_TRUE(button->IsFocused);
    EXPECT_EQ(Border(button), Frame(1));
    EXPECT_EQ(Border(other), Frame(0));

    button->SetFocus();
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(Border(button), Frame(1));
    // The window stays owner-drawn whatever the focus logic tells it.
    EXPECT_EQ(::GetWindowLongPtrW(button->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(::GetWindowLongPtrW(other->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

// A button that loses the focus without another framework control taking it
// stops looking focused: disabled while focused (the focus goes nowhere), or
// left for the edit field inside a combo box.
TEST_F(SkinnedButton, FocusLostToNoControlEndsTheFocusedLook) {
    auto* combo = New<TComboBox>(form);
    combo->SetParent(form);
    combo->SetBounds(120, 20, 100, 24);
    const HWND inner = ::FindWindowExW(combo->Handle(), nullptr, L"Edit", nullptr);
    ASSERT_NE(inner, nullptr);

    button->SetFocus();
    harness::PumpUntilIdle(10, 500);
    ASSERT_TRUE(button->IsFocused);
    button->SetEnabled(false);
    button->SetEnabled(true);
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(button->IsFocused);
    EXPECT_EQ(Border(button), Frame(0));

    button->SetFocus();
    harness::PumpUntilIdle(10, 500);
    ASSERT_TRUE(button->IsFocused);
    ::SetFocus(inner);
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(button->IsFocused);
    EXPECT_EQ(Border(button), Frame(0));
}

TEST_F(SkinnedButton, CornersShowTheParentNeverTheKeyColour) {
    const COLORREF parent =
        harness::CaptureWindow(form->Handle(), harness::CaptureSource::Print, true).Pixel(200, 200);
    auto cornersArePlain = [&](const char* what) {
        const harness::Capture cap = Print(button);
        for (auto [x, y] : {std::pair{0, 0}, {1, 1}, {79, 0}, {0, 25}, {79, 25}}) {
            EXPECT_NE(cap.Pixel(x, y), kKey) << what << " " << x << "," << y;
            EXPECT_EQ(cap.Pixel(x, y), parent) << what << " " << x << "," << y;
        }
        EXPECT_EQ(cap.Pixel(2, 2), Frame(0)) << what;   // just inside the key corner
    };
    // Corners over the parent's image: no window region.
    cornersArePlain("type 1");
    EXPECT_FALSE(HasRegion(button, {40, 12}, {0, 0}));

    // Corners cut out of the window.
    CutCorners();
    cornersArePlain("type 2");
    EXPECT_TRUE(HasRegion(button, {2, 2}, {0, 0}));
    EXPECT_TRUE(HasRegion(button, {40, 12}, {79, 25}));
    // Each look keeps its frame with the region in place.
    button->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(Border(button), Frame(1));
    button->Perform(CM_MOUSELEAVE, 0, 0);
    // A smaller button gets a region of its new size.
    button->SetBounds(20, 20, 60, 20);
    harness::PumpUntilIdle(10, 500);
    Print(button);
    EXPECT_TRUE(HasRegion(button, {57, 17}, {59, 19}));

    // Removing the skin removes the region at once, and the plain look returns.
    manager->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(HasRegion(button, {40, 12}, {0, 0}));
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(button->Handle(), rgn), ERROR);
    ::DeleteObject(rgn);
    EXPECT_NE(Border(button), Frame(0));
    // The plain look (themed or classic): no section colour left in the middle.
    const harness::Capture plain = Print(button);
    plain.SaveBmp((std::wstring(harness::ModuleFolder()) + L"\\sbutton-plain.bmp").c_str());
    EXPECT_NE(plain.Pixel(30, 10), Ref(skingen::TestSectionColour("BUTTON", 0)));
    EXPECT_NE(plain.Pixel(30, 10), Ref(skingen::TestSectionColour("BUTTON", 1)));
}

TEST_F(SkinnedButton, DisabledBlendsWithTheParent) {
    const COLORREF parent =
        harness::CaptureWindow(form->Handle(), harness::CaptureSource::Print, true).Pixel(200, 200);
    const COLORREF enabled = Border(button);
    ASSERT_EQ(enabled, Frame(0));
    // Enabled changes on every fetch ("Go!", "Stop"): the next paint shows it.
    button->SetEnabled(false);
    const COLORREF disabled = Border(button);
    // The form is plain (no cached image): the button is mixed half and
    // half with its colour.
    const COLORREF expected = RGB((GetRValue(enabled) + GetRValue(parent)) / 2, (GetGValue(enabled) + GetGValue(parent)) / 2,
                                  (GetBValue(enabled) + GetBValue(parent)) / 2);
    EXPECT_TRUE(Near(disabled, expected, 3)) << std::hex << disabled << " " << expected;
    button->SetEnabled(true);
    EXPECT_EQ(Border(button), Frame(0));
}

TEST_F(SkinnedButton, TheCacheIsBuiltOnlyWhenStale) {
    CutCorners();
    Print(button);
    const auto steady = [&] {
        harness::PumpUntilIdle(10, 500);
        return button->CacheBuilds();
    };
    int n = steady();
    EXPECT_FALSE(button->RegionChanged);
    // Plain paints only copy the cached image.
    for (int i = 0; i < 3; ++i) {
        ::InvalidateRect(button->Handle(), nullptr, TRUE);
        ::UpdateWindow(button->Handle());
    }
    EXPECT_EQ(steady(), n);

    const struct {
        const char* What;
        void (*Do)(SkinnedButton&);
    } changes[] = {
        {"command 3", [](SkinnedButton& t) {
             SendSkinCommand(t.button->Handle(), AC_REFRESH, reinterpret_cast<LPARAM>(t.manager));
         }},
        {"resize", [](SkinnedButton& t) { t.button->SetBounds(20, 20, 90, 30); }},
        {"focus", [](SkinnedButton& t) { t.button->SetFocus(); }},
        {"enabled", [](SkinnedButton& t) { t.button->SetEnabled(false); }},
        {"caption", [](SkinnedButton& t) { t.button->SetCaption(u"Stop"); }},
    };
    for (const auto& c : changes) {
        n = steady();
        c.Do(*this);
        ::UpdateWindow(button->Handle());
        EXPECT_EQ(steady(), n + 1) << c.What;
        EXPECT_FALSE(button->RegionChanged) << c.What;
        ::InvalidateRect(button->Handle(), nullptr, TRUE);
        ::UpdateWindow(button->Handle());
        EXPECT_EQ(steady(), n + 1) << c.What << " (a paint after it)";
    }
}

TEST_F(SkinnedButton, OneClickPerClickAndNoneWithoutAPress) {
    for (int i = 0; i < 3; ++i) {
        Press(button);
        Release(button);
    }
    EXPECT_EQ(clicks, 3);
    // A quick second press (the system reports it as a double click) is a
    // click too.
    ::SendMessageW(button->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    Release(button);
    EXPECT_EQ(clicks, 4);
    // A release that did not start on the button clicks nothing.
    Release(other);
    EXPECT_EQ(clicks, 4);
}

// While a press is painted the application shows no hints; its own choice
// comes back after the press, also when it had hints off.
struct HintWatch {
    TWndMethod Previous;
    std::vector<bool> Seen;
    void WndProc(TMessage& Message) {
        if (Message.Msg == WM_PAINT && Application) Seen.push_back(Application->ShowHint);
        Previous(Message);
    }
};

TEST_F(SkinnedButton, HintsAreOffWhileAPressIsPaintedAndComeBackAfter) {
    HintWatch watch;
    watch.Previous = button->WindowProc;
    button->WindowProc = TWndMethod::Of<&HintWatch::WndProc>(&watch);
    for (bool choice : {true, false}) {
        SCOPED_TRACE(choice ? "hints on" : "hints off");
        Application->ShowHint = choice;
        button->Perform(CM_MOUSEENTER, 0, 0);
        harness::PumpUntilIdle(10, 300);
        watch.Seen.clear();
        ::SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        EXPECT_EQ(Application->ShowHint, choice);
        Release(button);
        EXPECT_EQ(Application->ShowHint, choice);
        ASSERT_FALSE(watch.Seen.empty()) << "the press was not painted";
        EXPECT_FALSE(watch.Seen.front()) << "a hint could show over the press";
    }
    button->WindowProc = watch.Previous;
    Application->ShowHint = true;
}

TEST_F(SkinnedButton, GdiUseStaysFlatOverHoverAndPress) {
    auto cycle = [&] {
        Press(button);
        Print(button);
        Release(button);
        button->Perform(CM_MOUSELEAVE, 0, 0);
        SendSkinCommand(button->Handle(), AC_REFRESH, reinterpret_cast<LPARAM>(manager));
        Print(button);
    };
    CutCorners();
    for (int i = 0; i < 3; ++i) cycle();
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 40; ++i) cycle();
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);
}

// A split button with its drop-down menu: one item that counts its clicks.
class SplitButton : public SkinnedButton {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(SkinnedButton::SetUp());
        menu = New<TPopupMenu>(form);
        auto* item = New<TMenuItem>(form);
        item->SetCaption(u"Fetch again");
        item->OnClick = TNotifyEvent::Of<&SplitButton::Chosen>(this);
        menu->Items()->Add(item);
        button->SetStyle(bsSplitButton);
        button->SetDropDownMenu(menu);
        button->SetCaption(u"Go!");
    }
    void Chosen(TObject*) { ++chosen; }
    // A left press and release at x on the button, in the middle of its height.
    void PressAt(TsButton* b, int x) {
        ::SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 13));
        ::SendMessageW(b->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 13));
    }

    TPopupMenu* menu = nullptr;
    int chosen = 0;
};

TEST_F(SplitButton, ArrowPartOpensTheMenuBelowTheButtonPressed) {
    harness::MenuDriver driver({VK_ESCAPE});
    bool droppedWhileOpen = false;
    Integer stateWhileOpen = -1;
    COLORREF borderWhileOpen = CLR_INVALID;
    driver.OnOpen = [&](HWND) {
        droppedWhileOpen = button->DroppedDown;
        stateWhileOpen = button->CurrentState();
        borderWhileOpen = harness::CaptureWindow(button->Handle(), harness::CaptureSource::Print, true).Pixel(8, 1);
    };
    PressAt(button, 80 - 8);
    EXPECT_FALSE(driver.TimedOut);
    ASSERT_EQ(driver.Opened, 1);
    EXPECT_TRUE(droppedWhileOpen);
    EXPECT_EQ(stateWhileOpen, 2);
    EXPECT_EQ(borderWhileOpen, Frame(2)) << "the pressed look while the menu is open";
    const POINT bottomLeft = button->ClientToScreen(POINT{0, 26});
    EXPECT_EQ(driver.MenuRect.left, bottomLeft.x);
    EXPECT_EQ(driver.MenuRect.top, bottomLeft.y);
    // Closed: the pressed look is gone (the press gave the button the
    // focus, so it shows the active look), and neither the press nor the
    // release that follows it clicked the button.
    EXPECT_FALSE(button->DroppedDown);
    EXPECT_EQ(button->CurrentState(), 1);
    EXPECT_EQ(Border(button), Frame(1));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(chosen, 0);

    // An item chosen from the menu runs, and still no click of the button.
    driver.Keys = {VK_DOWN, VK_RETURN};
    PressAt(button, 80 - 1);
    EXPECT_EQ(driver.Opened, 2);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(SplitButton, OnlyTheArrowPartOfASplitButtonWithAMenuDropsDown) {
    TPopupMenu* empty = New<TPopupMenu>(form);
    struct Case {
        const char* what;
        TButtonStyle style;
        TPopupMenu* dropDown;
        int x;
        bool opens;
        bool clicks;
    };
    const Case cases[] = {
        {"arrow part", bsSplitButton, menu, 80 - 16, true, false},
        {"left of the arrow part", bsSplitButton, menu, 80 - 17, false, true},
        {"main part", bsSplitButton, menu, 10, false, true},
        {"split button without a menu", bsSplitButton, nullptr, 80 - 8, false, true},
        {"push button with a menu", bsPushButton, menu, 80 - 8, false, true},
        // Nothing to show: the press still belongs to the drop-down part.
        {"arrow part, empty menu", bsSplitButton, empty, 80 - 8, false, false},
    };
    harness::MenuDriver driver({VK_ESCAPE});
    for (const Case& c : cases) {
        const int opened = driver.Opened;
        const int clicked = clicks;
        button->SetStyle(c.style);
        button->SetDropDownMenu(c.dropDown);
        PressAt(button, c.x);
        EXPECT_EQ(driver.Opened - opened, c.opens ? 1 : 0) << c.what;
        EXPECT_EQ(clicks - clicked, c.clicks ? 1 : 0) << c.what;
        EXPECT_FALSE(button->DroppedDown) << c.what;
    }
    // A freed menu is forgotten: the arrow part clicks.
    button->SetStyle(bsSplitButton);
    button->SetDropDownMenu(menu);
    menu->Free();
    EXPECT_EQ(button->DropDownMenu(), nullptr);
    const int opened = driver.Opened;
    PressAt(button, 80 - 8);
    EXPECT_EQ(driver.Opened, opened);
    EXPECT_EQ(clicks, 5);
}

TEST_F(SplitButton, CountsStayFlatOverRepeatedDropDowns) {
    harness::MenuDriver driver({VK_DOWN, VK_RETURN});
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) PressAt(button, 80 - 8);
        harness::PumpUntilIdle(10, 500);
    };
    cycle(3);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    cycle(50);
    EXPECT_FALSE(driver.TimedOut);
    EXPECT_EQ(chosen, 53);
    EXPECT_EQ(clicks, 0);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
}

TEST_F(SkinnedButton, CaptionAndGlyphFollowTheImageAlignment) {
    // No image and no caption: a caption rectangle 2 pixels wide in the middle.
    TRect r;
    button->CaptionRect(r);
    EXPECT_EQ(r, TRect(39, 13, 41, 13));
    EXPECT_EQ(button->GlyphRect(), TRect(0, 0, 0, 0));

    auto* images = New<TImageList>(form);
    images->SetSize(16, 16);
    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    images->AddIcon(icon);
    images->AddIcon(icon);
    ASSERT_EQ(images->Count(), 2);
    button->SetImages(images);
    button->SetImageIndex(0);
    const struct {
        TImageAlignment Alignment;
        TButtonStyle Style;
        TRect Glyph;
    } cases[] = {
        {iaLeft, bsPushButton, TRect(6, 5, 22, 21)},     {iaRight, bsPushButton, TRect(58, 5, 74, 21)},
        {iaTop, bsPushButton, TRect(32, 6, 48, 22)},     {iaBottom, bsPushButton, TRect(32, 4, 48, 20)},
        {iaCenter, bsPushButton, TRect(32, 5, 48, 21)},  {iaCenter, bsSplitButton, TRect(24, 5, 40, 21)},
        {iaRight, bsCommandLink, TRect(6, 6, 22, 22)},
    };
    for (const auto& c : cases) {
        button->SetImageAlignment(c.Alignment);
        button->SetStyle(c.Style);
        EXPECT_EQ(button->GlyphRect(), c.Glyph) << int(c.Alignment) << " " << int(c.Style);
    }
    button->SetStyle(bsPushButton);
    button->SetImageAlignment(iaLeft);
    button->CaptionRect(r);
    EXPECT_EQ(r.Left, 22);
    EXPECT_EQ(r.Right, 74);
    // The pressed look moves both by a pixel.
    button->SetDown(true);
    EXPECT_EQ(button->GlyphRect(), TRect(7, 6, 23, 22));
    button->CaptionRect(r);
    EXPECT_EQ(r.Left, 23);
    button->SetDown(false);

    // An index outside the list falls back to ImageIndex.
    button->SetDisabledImageIndex(1);
    button->SetHotImageIndex(7);
    button->SetEnabled(false);
    EXPECT_EQ(button->GlyphIndex(), 1);
    button->SetEnabled(true);
    button->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(button->GlyphIndex(), 0);
    button->Perform(CM_MOUSELEAVE, 0, 0);
    // The image is drawn into the button (the icon's pixels replace the section's).
    EXPECT_NE(Print(button).Pixel(14, 13), Print(other).Pixel(14, 13));
    images->Free();
    EXPECT_EQ(button->Images(), nullptr);
}

// The list lives from the unit's start-up to its shut-down: nested pairs
// make it once and free it once, and nothing is handed out after the end.
TEST(SkinnedButtonUnit, HookExcludedClassesLiveFromStartUpToShutDown) {
    sButtonInitialization();
    TStringList* list = HookExcludedClasses();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_TRUE(list->Sorted());
    EXPECT_EQ((*list)[0], u"TApplication");
    EXPECT_EQ((*list)[1], u"TfcPopup");
    sButtonInitialization();
    EXPECT_EQ(HookExcludedClasses(), list);
    sButtonFinalization();
    EXPECT_EQ(HookExcludedClasses(), list) << "freed while a start-up still holds it";
    sButtonFinalization();
    EXPECT_EQ(HookExcludedClasses(), nullptr);
    sButtonFinalization();   // one end too many changes nothing
    EXPECT_EQ(HookExcludedClasses(), nullptr);
}

}  // namespace
