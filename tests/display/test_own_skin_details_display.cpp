// Details of our own skins on a real screen, in this process: a skinned form
// with a push button and its skinned system menu, under each skin the build
// ships. The title bar stays one even gradient behind the caption buttons;
// the button's ends match its middle between the corners; the system menu
// shows its dividers, an even icon column and the close command's cross.
// The pictures land beside the test program (own-skin-<skin>-<part>.bmp).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "OwnSkins.h"
#include "ProcessDriver.h"
#include "StdCtrls.h"
#include "TestSkinManager.h"
#include "sButton.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

using harness::MenuTicker;
using harness::Capture;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

int Distance(COLORREF a, COLORREF b) { return harness::ColourDistance(a, b); }


class OwnSkinDetails : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring skins = harness::ModuleFolder() + L"..\\app\\Skins";
        const std::string first = skingen::OwnThemes().front().Name;
        manager = kestrune_test::NewTestSkinManager(std::filesystem::path(skins), {},
                                                    String(first.begin(), first.end()).c_str());
        ASSERT_TRUE(manager->SkinData()->Active) << "the skins beside the program did not load";
        form = New<TForm>(Application);
        form->SetCaption(u"Own");
        form->SetBounds(120, 100, 440, 240);
        provider = New<TsSkinProvider>(form);
        button = New<TsButton>(form);
        button->SetBounds(24, 40, 150, 46);
        button->SetParent(form);
        button->SetCaption(u"Go!");
        // The focus rests on a plain button, so that the skinned one shows
        // its normal look.
        plain = New<TButton>(form);
        plain->SetBounds(24, 120, 90, 26);
        plain->SetParent(form);
        plain->SetCaption(u"Plain");
        form->Show();
        ::SetForegroundWindow(form->Handle());
        plain->SetFocus();
        harness::MoveMouseTo(POINT{1500, 1150});
        harness::PumpUntilIdle(50, 2000);
    }
    void TearDown() override {
        if (form) form->Free();
        form = nullptr;
        if (manager) manager->Free();
        manager = nullptr;
        harness::PumpUntilIdle(20, 500);
    }

    // Chooses the skin and waits until the window's picture stops changing.
    void Choose(const std::string& name) {
        manager->SetSkinName(String(name.begin(), name.end()));
        ASSERT_TRUE(manager->SkinData()->Active);
        ASSERT_EQ(provider->BorderForm, nullptr) << "the frame is drawn in the window itself here";
        Settled(form->Handle());
    }

    static Capture Settled(HWND wnd) {
        Capture last;
        for (int round = 0; round < 40; ++round) {
            harness::PumpUntilIdle(10, 300);
            Capture now = harness::CaptureWindow(wnd, harness::CaptureSource::Screen);
            if (!last.Empty() && harness::DifferingPixels(now, last, 0) == 0) return now;
            last = std::move(now);
        }
        return last;
    }

    static void Save(const Capture& shot, const std::string& skin, const wchar_t* part) {
        shot.SaveBmp((harness::ModuleFolder() + L"own-skin-" + std::wstring(skin.begin(), skin.end()) + L"-" + part +
                      L".bmp")
                         .c_str());
    }

    TsSkinManager* manager = nullptr;
    TForm* form = nullptr;
    TsSkinProvider* provider = nullptr;
    TsButton* button = nullptr;
    TButton* plain = nullptr;
};

// The title bar's gradient runs vertically only: in every row of the title,
// from the middle of the window to its right edge, each pixel outside the
// caption buttons has the colour of that row's middle pixel. A band drawn
// behind the buttons shows as a step where it begins and as a cap at its
// right end.
TEST_F(OwnSkinDetails, TheTitleBarIsEvenBehindTheCaptionButtons) {
    for (const skingen::Theme& theme : skingen::OwnThemes()) {
        SCOPED_TRACE(theme.Name);
        ASSERT_NO_FATAL_FAILURE(Choose(theme.Name));
        const Capture shot = Settled(form->Handle());
        Save(shot, theme.Name, L"title");
        const int titleBottom = SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true);
        std::vector<TRect> buttons;
        for (const TsCaptionButton* b : {&provider->ButtonClose, &provider->ButtonMax, &provider->ButtonMin})
            if (b->State >= 0) buttons.push_back(b->Rect);
        ASSERT_FALSE(buttons.empty()) << "no caption buttons";
        auto onButton = [&](int x, int y) {
            return std::any_of(buttons.begin(), buttons.end(), [&](const TRect& r) {
                return x >= r.Left - 1 && x <= r.Right && y >= r.Top - 1 && y <= r.Bottom;
            });
        };
        int uneven = 0;
        std::string first;
        for (int y = 1; y < titleBottom - 1; ++y) {
            const COLORREF middle = shot.Pixel(shot.Width / 2, y);
            for (int x = shot.Width / 2; x < shot.Width - 1; ++x) {
                if (onButton(x, y) || Distance(shot.Pixel(x, y), middle) <= 3) continue;
                if (uneven++ == 0)
                    first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") " + Hex(shot.Pixel(x, y)) +
                            ", row " + Hex(middle);
            }
        }
        EXPECT_EQ(uneven, 0) << "title pixels off their row's colour, the first at " << first;
    }
}

// Between its corners each end of a button shows what its middle shows in
// the same row (its vertical gradient), but for the outline itself: no
// dashes of a highlight squeezed or stretched into the ends. Both the
// program's button height and a taller one.
TEST_F(OwnSkinDetails, TheButtonEndsMatchItsMiddleBetweenTheCorners) {
    for (const skingen::Theme& theme : skingen::OwnThemes()) {
        SCOPED_TRACE(theme.Name);
        ASSERT_NO_FATAL_FAILURE(Choose(theme.Name));
        const int corner = std::max(3, theme.Radius + 2);   // the height of the outline's corner pieces
        for (int height : {22, 46}) {
            button->SetBounds(24, 40, 150, height);
            const Capture shot = Settled(button->Handle());
            Save(shot, theme.Name, height == 22 ? L"button" : L"button-tall");
            int off = 0;
            std::string first;
            for (int y = corner; y < shot.Height - corner; ++y)
                for (int x = 1; x < corner; ++x)
                    for (auto [at, middle] : {std::pair{x, corner + 2}, std::pair{shot.Width - 1 - x, shot.Width - 3 - corner}}) {
                        const COLORREF p = shot.Pixel(at, y), m = shot.Pixel(middle, y);
                        if (Distance(p, m) <= 4) continue;
                        if (off++ == 0)
                            first = "(" + std::to_string(at) + ", " + std::to_string(y) + ") " + Hex(p) +
                                    ", middle " + Hex(m) + ", height " + std::to_string(height);
                    }
            EXPECT_EQ(off, 0) << "the button's ends differ from its middle, the first at " << first;
        }
    }
}

// The system menu as it opens: the dividers show a line, the icon column is
// one colour from the first item to the last (no patches of the items'
// colour, no stray lines), and the close command shows a cross: ink at the
// middle of its mark, where an empty box shows none.
TEST_F(OwnSkinDetails, TheSystemMenuShowsDividersAnEvenIconColumnAndTheCloseCross) {
    for (const skingen::Theme& theme : skingen::OwnThemes()) {
        SCOPED_TRACE(theme.Name);
        ASSERT_NO_FATAL_FAILURE(Choose(theme.Name));
        Capture shot;
        RECT menuRect{};
        std::vector<RECT> items;
        std::vector<bool> dividers;
        harness::MenuDriver driver(std::vector<WPARAM>{});
        MenuTicker ticker([&](int tick) {
            HWND wnd = ::FindWindowW(L"#32768", nullptr);
            if (!wnd || !::IsWindowVisible(wnd)) return tick > 30;
            if (tick < 4) return false;   // painted by then
            HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(wnd, MN_GETHMENU, 0, 0));
            ::GetWindowRect(wnd, &menuRect);
            shot = harness::CaptureWindow(wnd, harness::CaptureSource::Screen);
            for (int i = 0, n = ::GetMenuItemCount(menu); i < n; ++i) {
                RECT r{};
                ::GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &r);
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_FTYPE;
                ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
                items.push_back(r);
                dividers.push_back((info.fType & MFT_SEPARATOR) != 0);
            }
            return true;
        });
        RECT wr{};
        ::GetWindowRect(form->Handle(), &wr);
        provider->DropSysMenu(wr.left + 40, wr.top + 10);
        harness::PumpUntilIdle(20, 500);
        Save(shot, theme.Name, L"sysmenu");
        ASSERT_FALSE(shot.Empty()) << "no menu opened";
        ASSERT_GE(items.size(), 3u);
        for (RECT& r : items) OffsetRect(&r, -menuRect.left, -menuRect.top);
        const COLORREF back = shot.Pixel(items.front().right - 4, items.front().top + 1);

        // The dividers: a line across most of the item.
        int dividerCount = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!dividers[i]) continue;
            ++dividerCount;
            const RECT& r = items[i];
            int longest = 0;
            for (int y = r.top; y < r.bottom; ++y) {
                int run = 0;
                for (int x = r.left; x < r.right; ++x)
                    if (Distance(shot.Pixel(x, y), back) > 12) longest = std::max(longest, ++run);
                    else run = 0;
            }
            EXPECT_GT(longest, (r.right - r.left) / 2) << "divider " << i << " shows no line";
        }
        EXPECT_GE(dividerCount, 1);

        // The icon column, right of the marks, from the first item to the last.
        const int column = items.front().left + 22;
        const COLORREF ico = shot.Pixel(column, items.front().top);
        int off = 0;
        std::string first;
        for (int y = items.front().top; y < items.back().bottom; ++y) {
            if (Distance(shot.Pixel(column, y), ico) <= 3) continue;
            if (off++ == 0) first = "y " + std::to_string(y) + " " + Hex(shot.Pixel(column, y)) + ", top " + Hex(ico);
        }
        EXPECT_EQ(off, 0) << "the icon column is uneven, first at " << first;

        // The close mark: the box around its ink, and ink at the box's middle.
        const RECT& close = items.back();
        const COLORREF closeBack = shot.Pixel(close.left + 1, (close.top + close.bottom) / 2);
        int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
        for (int y = close.top; y < close.bottom; ++y)
            for (int x = close.left + 2; x < close.left + 20; ++x)
                if (Distance(shot.Pixel(x, y), closeBack) > 60) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, left) << "the close command shows no mark";
        EXPECT_GE(right - left, 4);
        const COLORREF middle = shot.Pixel((left + right) / 2, (top + bottom) / 2);
        EXPECT_GT(Distance(middle, closeBack), 60)
            << "the close mark is hollow at its middle (" << Hex(middle) << "): a box, not a cross";
    }
}

}  // namespace
