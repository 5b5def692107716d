// The static, push-button, size-grip and popup-menu window adapters on a
// real screen: a dialog-like window whose children are adapted (the default
// button hot, the button under the mouse hot, a disabled one faded, the
// static's section, the grip), and a skinned popup whose frame its window
// adapter paints. The pictures are kept beside the test program
// (adapted-dialog.bmp, adapted-popup.bmp).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "TestSkinForm.h"
#include "acDials.h"
#include "acSBUtilsMenu.h"
#include "acSBUtilsStatic.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sVclUtils.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using kestrune_test::TestRef;
COLORREF SectionRef(const char* Section, int State) { return TestRef(skingen::TestSectionColour(Section, State)); }
COLORREF MaskRef(const char* Section, const char* Mask, int Frame) {
    return TestRef(skingen::TestMaskColour(Section, Mask, Frame));
}

constexpr COLORREF kParentFill = RGB(0x30, 0x60, 0x90);

// The part R (screen) of a capture of the whole screen.
harness::Capture Cut(const harness::Capture& Screen, const RECT& R) {
    harness::Capture c;
    c.Width = std::max(0, int(R.right - R.left));
    c.Height = std::max(0, int(R.bottom - R.top));
    c.Pixels.resize(std::size_t(c.Width) * c.Height);
    for (int y = 0; y < c.Height; ++y)
        for (int x = 0; x < c.Width; ++x) {
            const int sx = R.left + x, sy = R.top + y;
            const bool inside = sx >= 0 && sy >= 0 && sx < Screen.Width && sy < Screen.Height;
            c.Pixels[std::size_t(y) * c.Width + x] = inside ? Screen.Pixels[std::size_t(sy) * Screen.Width + sx] : 0;
        }
    return c;
}

harness::Capture ScreenOf(HWND Wnd) {
    RECT r{};
    ::GetWindowRect(Wnd, &r);
    return Cut(harness::CaptureWindow(::GetDesktopWindow(), harness::CaptureSource::Screen), r);
}

// The menu adapters made at creation, as the window-creation hook makes them.
TsSkinManager* gManager = nullptr;
// Made before the hooks installed earlier see the window.
LRESULT CALLBACK CreationHook(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HCBT_CREATEWND) {
        const auto* cbt = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
        const HWND wnd = reinterpret_cast<HWND>(WParam);
        if (reinterpret_cast<ULONG_PTR>(cbt->lpcs->lpszClass) == 0x8000 && !SkinCommandAnswered(wnd, AC_CTRLHANDLED))
            if (TacMainWnd* a = CreateAdapter(u"TacMnuWnd", wnd, nullptr, gManager, u"MAINMENU", false))
                HookedMenuWindows().push_back(a);
    }
    return ::CallNextHookEx(nullptr, Code, WParam, LParam);
}

class AdaptersOnScreen : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 300, 200));
        gManager = manager;
        acSBUtilsInitialization();
        InitLayeredWindowEntryPoints();
    }
    void TearDown() override {
        for (TacMainWnd*& a : adapters) ReleaseMainWnd(a ? a->CtrlHandle : nullptr, true, false, a);
        adapters.clear();
        parent.reset();
        ClearMenuWindows();
        gManager = nullptr;
        TestSkinForm::TearDown();
    }
    HWND Child(const wchar_t* Class, const wchar_t* Text, DWORD Style, RECT R, const char16_t* Adapter,
               const char16_t* Section) {
        HWND w = ::CreateWindowExW(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, R.left, R.top, R.right - R.left,
                                   R.bottom - R.top, parent->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        adapters.push_back(CreateAdapter(Adapter, w, nullptr, manager, Section, true));
        return w;
    }

    std::unique_ptr<harness::TestWindow> parent;
    std::vector<TacMainWnd*> adapters;
};

}  // namespace

TEST_F(AdaptersOnScreen, DialogChildrenShowTheirLooks) {
    parent = std::make_unique<harness::TestWindow>(360, 160, kParentFill, &harness::ParentFillProc);
    parent->Show();
    HWND label = Child(L"STATIC", L"File name:", SS_LEFT, RECT{16, 16, 200, 36}, u"TacStaticWnd", u"CHECKBOX");
    HWND open = Child(L"BUTTON", L"Open", BS_DEFPUSHBUTTON, RECT{16, 60, 106, 90}, u"TacBtnWnd", u"BUTTON");
    HWND cancel = Child(L"BUTTON", L"Cancel", BS_PUSHBUTTON, RECT{120, 60, 210, 90}, u"TacBtnWnd", u"BUTTON");
    HWND help = Child(L"BUTTON", L"Help", BS_PUSHBUTTON | WS_DISABLED, RECT{224, 60, 314, 90}, u"TacBtnWnd",
                      u"BUTTON");
    HWND grip = Child(L"SCROLLBAR", L"", SBS_SIZEGRIP, RECT{340, 140, 360, 160}, u"TacSizerWnd", u"CHECKBOX");
    ::SetForegroundWindow(parent->Handle());
    // The real pointer over the Cancel button.
    RECT c{};
    ::GetWindowRect(cancel, &c);
    ::SetCursorPos(c.left + 10, c.top + 10);
    harness::PumpUntil([&] { return manager->ActiveControl() == cancel; }, 2000);
    ::RedrawWindow(parent->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    harness::PumpUntilIdle(20, 1000);
    const harness::Capture shot = ScreenOf(parent->Handle());
    shot.SaveBmp(harness::BesideProgram(L"adapted-dialog.bmp").c_str());

    auto at = [&](HWND Wnd, int X, int Y) {
        RECT w{}, p{};
        ::GetWindowRect(Wnd, &w);
        ::GetWindowRect(parent->Handle(), &p);
        return shot.Pixel(w.left - p.left + X, w.top - p.top + Y);
    };
    auto mix = [](COLORREF A, COLORREF B) {
        auto ch = [](int a, int b) { return (a * 6 + b * 4 + 5) / 10; };
        return RGB(ch(GetRValue(A), GetRValue(B)), ch(GetGValue(A), GetGValue(B)), ch(GetBValue(A), GetBValue(B)));
    };
    EXPECT_EQ(at(label, 180, 2), SectionRef("CHECKBOX", 0));
    EXPECT_EQ(at(open, 8, 8), SectionRef("BUTTON", 1)) << "the default button is not hot";
    EXPECT_EQ(at(cancel, 8, 8), SectionRef("BUTTON", 1)) << "the button under the mouse is not hot";
    const COLORREF global = static_cast<COLORREF>(ColorToRGB(manager->GetGlobalColor()));
    EXPECT_LE(harness::ColourDistance(at(help, 8, 8), mix(SectionRef("BUTTON", 0), global)), 1);
    EXPECT_EQ(at(grip, 14, 14), MaskRef("GLOBALINFO", "GRIPIMAGE", 0));
    EXPECT_EQ(at(grip, 1, 1), kParentFill);
}

TEST_F(AdaptersOnScreen, SkinnedPopupShowsItsFrame) {
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    auto* popup = New<TPopupMenu>(form);
    for (const char16_t* caption : {u"Open", u"-", u"Save as", u"Close"}) {
        auto* item = New<TMenuItem>(popup);
        item->SetCaption(caption);
        popup->Items()->Add(item);
    }
    manager->SkinableMenus()->HookPopupMenu(popup, true);

    harness::MenuDriver driver({VK_ESCAPE});
    harness::Capture shot;
    bool layered = true;
    driver.OnOpen = [&](HWND Wnd) {
        ::UpdateWindow(Wnd);
        ::GdiFlush();
        harness::PumpUntilIdle(20, 300);
        layered = (::GetWindowLongPtrW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        shot = ScreenOf(Wnd);
    };
    EXPECT_TRUE(harness::RunFromTimer([=] { popup->Popup(120, 120); }, 6000));
    ::UnhookWindowsHookEx(hook);
    ASSERT_EQ(driver.Opened, 1);
    ASSERT_FALSE(shot.Empty());
    shot.SaveBmp(harness::BesideProgram(L"adapted-popup.bmp").c_str());
    EXPECT_FALSE(layered);
    // The frame the system would draw is the skin's border on every side.
    const COLORREF border = MaskRef("MAINMENU", "BORDERSMASK", 0);
    EXPECT_EQ(shot.Pixel(1, shot.Height / 2), border);
    EXPECT_EQ(shot.Pixel(shot.Width - 2, shot.Height / 2), border);
    EXPECT_EQ(shot.Pixel(shot.Width / 2, 1), border);
    EXPECT_EQ(shot.Pixel(shot.Width / 2, shot.Height - 2), border);
}
