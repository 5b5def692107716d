// Layered output and cover windows on a real screen with a compositor: a
// bitmap pushed into a layered window shows over what lies below with its
// alpha, and a cover form keeps showing a window's picture at its place
// after the window itself has gone (saved as cover-display.bmp beside the
// test program), without taking the activation.
#include <gtest/gtest.h>

#include <memory>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "acLayeredForms.h"
#include "sGraphUtils.h"
#include "sVclUtils.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

COLORREF ScreenPixel(int x, int y) {
    const HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(nullptr, dc);
    return c;
}

// Pumps until the screen shows the colour at (x, y) (within a tolerance).
bool ScreenShows(int x, int y, COLORREF colour, int tolerance = 6) {
    return harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            return harness::ColourDistance(ScreenPixel(x, y), colour) <= tolerance;
        },
        8000);
}

}  // namespace

TEST(LayeredFormsDisplay, ALayeredBitmapShowsWithItsAlphaOverWhatLiesBelow) {
    if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    const COLORREF red = RGB(200, 0, 0);
    harness::TestWindow below(120, 80, red, nullptr, WS_POPUP);
    ::SetWindowPos(below.Handle(), nullptr, 300, 300, 120, 80, SWP_NOZORDER | SWP_NOACTIVATE);
    below.Show();
    ASSERT_TRUE(ScreenShows(330, 340, red));

    // Left half opaque blue, right half blue at half alpha (premultiplied).
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(120, 80));
    for (int y = 0; y < 80; ++y) {
        auto* row = static_cast<std::uint32_t*>(bmp->ScanLine(y));
        for (int x = 0; x < 120; ++x) row[x] = x < 60 ? 0xFF0000FFu : 0x80000080u;
    }
    auto* overlay = New<TForm>(nullptr);
    overlay->BorderStyle = TFormBorderStyle::bsNone;
    overlay->ExtraExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    overlay->SetFormStyle(TFormStyle::fsStayOnTop);
    overlay->SetBounds(300, 300, 120, 80);
    overlay->HandleNeeded();
    const TPoint at(300, 300);
    ASSERT_TRUE(SetLayeredBitmap(overlay->Handle(), bmp.get(), 255, &at));
    overlay->ShowNoActivate();

    EXPECT_TRUE(ScreenShows(330, 340, RGB(0, 0, 255)));
    // Half of the red stays under half of the blue.
    EXPECT_TRUE(ScreenShows(390, 340, RGB(100, 0, 128), 8)) << std::hex << ScreenPixel(390, 340);

    // The constant alpha weighs the whole image: the opaque half at half alpha.
    ASSERT_TRUE(SetLayeredBitmap(overlay->Handle(), bmp.get(), 128));
    EXPECT_TRUE(ScreenShows(330, 340, RGB(100, 0, 128), 8)) << std::hex << ScreenPixel(330, 340);
    overlay->Free();
}

TEST(LayeredFormsDisplay, ACoverFormShowsTheWindowsPictureAtItsPlaceAfterTheWindowHasGone) {
    if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    // A window of two colours: green with a yellow band on its left.
    struct Painter {
        static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_PAINT) {
                PAINTSTRUCT ps;
                const HDC dc = ::BeginPaint(wnd, &ps);
                RECT r;
                ::GetClientRect(wnd, &r);
                HBRUSH green = ::CreateSolidBrush(RGB(0, 160, 0));
                HBRUSH yellow = ::CreateSolidBrush(RGB(230, 230, 0));
                ::FillRect(dc, &r, green);
                r.right = 40;
                ::FillRect(dc, &r, yellow);
                ::DeleteObject(green);
                ::DeleteObject(yellow);
                ::EndPaint(wnd, &ps);
                return 0;
            }
            return ::DefWindowProcW(wnd, msg, wParam, lParam);
        }
    };
    auto* active = New<TForm>(Application);
    active->SetBounds(700, 500, 200, 120);
    active->Show();
    harness::PumpUntil([&] { return ::GetActiveWindow() == active->Handle(); }, 3000);

    harness::TestWindow window(160, 100, RGB(0, 0, 0), &Painter::Proc, WS_POPUP);
    ::SetWindowPos(window.Handle(), HWND_TOPMOST, 200, 150, 160, 100, SWP_NOACTIVATE);
    ::ShowWindow(window.Handle(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(ScreenShows(300, 200, RGB(0, 160, 0)));
    ASSERT_TRUE(ScreenShows(210, 200, RGB(230, 230, 0)));
    const HWND activeBefore = ::GetActiveWindow();

    TForm* cover = MakeCoverForm(window.Handle());
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->Tag, -98);
    ::ShowWindow(window.Handle(), SW_HIDE);
    harness::PumpUntilIdle(50, 1000);
    // The picture stays, at the window's place.
    EXPECT_TRUE(ScreenShows(300, 200, RGB(0, 160, 0)));
    EXPECT_TRUE(ScreenShows(210, 200, RGB(230, 230, 0)));
    EXPECT_TRUE(ScreenShows(241, 200, RGB(0, 160, 0)));
    EXPECT_EQ(::GetActiveWindow(), activeBefore);
    EXPECT_NE(::GetForegroundWindow(), cover->Handle());
    const harness::Capture shot = harness::CaptureWindow(cover->Handle(), harness::CaptureSource::Screen);
    shot.SaveBmp((harness::ModuleFolder() + L"cover-display.bmp").c_str());
    EXPECT_GE(shot.Count(RGB(0, 160, 0), 6), 120 * 100 * 9 / 10);
    EXPECT_GE(shot.Count(RGB(230, 230, 0), 6), 40 * 100 * 9 / 10);

    cover->Free();
    harness::PumpUntilIdle(50, 1000);
    EXPECT_TRUE(harness::PumpUntil([] { return harness::ColourDistance(ScreenPixel(300, 200), RGB(0, 160, 0)) > 30; }, 5000));
    active->Free();
}

TEST(LayeredFormsDisplay, ADoubleBufferedFormShowsItsBackgroundAndOnPaint) {
    struct Probe : TObject {
        void Paint(TObject* Sender) {
            auto* form = static_cast<TCustomForm*>(Sender);
            form->Canvas()->Brush()->SetColor(clBlue);
            form->Canvas()->FillRect(TRect(10, 10, 50, 50));
        }
    } probe;
    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(500, 100, 120, 90);
    form->SetColor(clWhite);
    form->DoubleBuffered = true;
    form->OnPaint = TNotifyEvent::Of<&Probe::Paint>(&probe);
    form->SetFormStyle(TFormStyle::fsStayOnTop);
    form->ShowNoActivate();
    EXPECT_TRUE(ScreenShows(530, 130, RGB(0, 0, 255)));
    EXPECT_TRUE(ScreenShows(600, 170, RGB(255, 255, 255)));
    form->Free();
}
