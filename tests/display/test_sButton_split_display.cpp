// The skinned split button with its drop-down menu open on a real screen:
// the button shows its pressed frame while the menu hangs from its bottom
// left corner. The picture is kept beside the test program
// (split-button-menu.bmp).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "ProcessDriver.h"
#include "TestSkinForm.h"
#include "sButton.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF Ref(skingen::Rgb c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

class SplitButtonDisplay : public kestrune_test::TestSkinForm {};

TEST_F(SplitButtonDisplay, MenuHangsBelowThePressedButton) {
    ASSERT_NO_FATAL_FAILURE(WriteSkin());
    ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 240, 160));
    auto* button = New<TsButton>(form);
    button->SetBounds(20, 20, 100, 26);
    button->SetParent(form);
    button->SetCaption(u"Go!");
    button->SetStyle(bsSplitButton);
    auto* menu = New<TPopupMenu>(form);
    for (const char16_t* caption : {u"Fetch again", u"Fetch as text"}) {
        auto* item = New<TMenuItem>(form);
        item->SetCaption(caption);
        menu->Items()->Add(item);
    }
    menu->Items()->Items(1)->SetChecked(true);
    button->SetDropDownMenu(menu);
    harness::PumpUntilIdle(20, 1000);

    harness::MenuDriver driver({VK_ESCAPE});
    harness::Capture screen;
    RECT shot{};
    COLORREF border = CLR_INVALID;
    driver.OnOpen = [&](HWND menuWindow) {
        // The menu loop is waiting: let both windows paint, then read the
        // screen around them.
        ::UpdateWindow(menuWindow);
        ::UpdateWindow(button->Handle());
        ::GdiFlush();
        RECT formRect, menuRect;
        ::GetWindowRect(form->Handle(), &formRect);
        ::GetWindowRect(menuWindow, &menuRect);
        ::UnionRect(&shot, &formRect, &menuRect);
        screen = harness::CaptureWindow(::GetDesktopWindow(), harness::CaptureSource::Screen);
        const POINT at = button->ClientToScreen(POINT{8, 1});
        border = screen.Pixel(at.x, at.y);
    };
    ::SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(92, 13));
    ::SendMessageW(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(92, 13));
    ASSERT_EQ(driver.Opened, 1);
    EXPECT_FALSE(driver.TimedOut);
    ASSERT_FALSE(screen.Empty());

    harness::Capture picture;
    picture.Width = std::max(0, int(shot.right - shot.left));
    picture.Height = std::max(0, int(shot.bottom - shot.top));
    picture.Pixels.resize(std::size_t(picture.Width) * picture.Height);
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) {
            const int sx = shot.left + x, sy = shot.top + y;
            const bool inside = sx >= 0 && sy >= 0 && sx < screen.Width && sy < screen.Height;
            picture.Pixels[std::size_t(y) * picture.Width + x] =
                inside ? screen.Pixels[std::size_t(sy) * screen.Width + sx] : 0;
        }
    picture.SaveBmp((harness::ModuleFolder() + L"\\split-button-menu.bmp").c_str());

    EXPECT_EQ(border, Ref(skingen::TestMaskColour("BUTTON", "BORDERSMASK", 1)))
        << "the test skin's button has two states: pressed shows the last";
    const POINT bottomLeft = button->ClientToScreen(POINT{0, 26});
    EXPECT_EQ(driver.MenuRect.left, bottomLeft.x);
    EXPECT_EQ(driver.MenuRect.top, bottomLeft.y);
}

}  // namespace
