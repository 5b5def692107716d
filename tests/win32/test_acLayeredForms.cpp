// Layered output and cover windows on real windows: what SetLayeredBitmap
// hands to the system (recorded), the transparency switch both ways, and the
// cover form's styles, place, snapshot and object counts.
#include <gtest/gtest.h>

#include <memory>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "acLayered.h"
#include "acLayeredForms.h"
#include "sGraphUtils.h"
#include "sVclUtils.h"

namespace {

DWORD StyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE)); }
DWORD ExStyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE)); }

class LayeredForms : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        if (!LayeredWindowsAvailable()) GTEST_SKIP() << "no layered windows";
    }
};

}  // namespace

TEST_F(LayeredForms, SetLayeredBitmapMakesTheWindowLayeredAndPushesTheBitmap) {
    harness::TestWindow window(60, 40, RGB(10, 20, 30), nullptr, WS_POPUP);
    const HWND wnd = window.Handle();
    ::SetWindowPos(wnd, nullptr, 100, 80, 60, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(30, 20));
    auto* px = static_cast<std::uint32_t*>(bmp->ScanLine(3));
    px[4] = 0x80402010;   // premultiplied, half transparent

    TacLayeredRecorder recorder;
    EXPECT_TRUE(SetLayeredBitmap(wnd, bmp.get(), 200));
    EXPECT_TRUE(ExStyleOf(wnd) & WS_EX_LAYERED);
    const TPoint at(140, 90);
    EXPECT_TRUE(SetLayeredBitmap(wnd, bmp.get(), 255, &at));
    // Without a bitmap: a clear image of the window's own size.
    EXPECT_TRUE(SetLayeredBitmap(wnd, nullptr, 255));

    const auto frames = recorder.FramesOf(wnd);
    ASSERT_EQ(frames.size(), 3u);
    const TacLayeredFrame& first = frames[0];
    EXPECT_FALSE(first.Moved);   // the window stays where it is
    EXPECT_EQ(first.Size.cx, 30);
    EXPECT_EQ(first.Size.cy, 20);
    EXPECT_EQ(first.Key, kNoLayeredKey);
    EXPECT_EQ(first.Flags, DWORD(ULW_ALPHA));
    EXPECT_EQ(first.Blend.BlendOp, AC_SRC_OVER);
    EXPECT_EQ(first.Blend.SourceConstantAlpha, 200);
    EXPECT_EQ(first.Blend.AlphaFormat, AC_SRC_ALPHA);
    EXPECT_EQ(first.Pixel(4, 3), 0x80402010u);
    EXPECT_EQ(first.Pixel(0, 0), 0u);
    EXPECT_TRUE(frames[1].Moved);
    EXPECT_EQ(frames[1].Pos.x, 140);
    EXPECT_EQ(frames[1].Pos.y, 90);
    RECT r;
    ::GetWindowRect(wnd, &r);
    EXPECT_EQ(r.left, 140);
    const TacLayeredFrame& clear = frames[2];
    EXPECT_EQ(clear.Size.cx, 30);   // the window took the bitmap's size before
    EXPECT_EQ(clear.Size.cy, 20);
    for (std::uint32_t p : clear.Pixels) ASSERT_EQ(p, 0u);

    // A bitmap without alpha is pushed opaque.
    TBitmap rgb(8, 8, pf24bit);
    rgb.Canvas()->Brush()->SetColor(clRed);
    rgb.Canvas()->FillRect(TRect(0, 0, 8, 8));
    EXPECT_TRUE(SetLayeredBitmap(wnd, &rgb, 255));
    ASSERT_EQ(recorder.FramesOf(wnd).size(), 4u);
    EXPECT_EQ(recorder.FramesOf(wnd)[3].Pixel(2, 2), 0xFFFF0000u);
    // Nothing for a window that is gone or an empty bitmap.
    TBitmap empty;
    EXPECT_FALSE(SetLayeredBitmap(wnd, &empty, 255));
    EXPECT_FALSE(SetLayeredBitmap(nullptr, bmp.get(), 255));
}

TEST_F(LayeredForms, MakeWindowTransparentBothWays) {
    harness::TestWindow window(50, 50, RGB(0, 0, 255));
    const HWND wnd = window.Handle();
    window.Show();
    EXPECT_TRUE(MakeWindowTransparent(wnd, true));
    EXPECT_TRUE(ExStyleOf(wnd) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(wnd, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 1);
    EXPECT_EQ(flags & LWA_ALPHA, DWORD(LWA_ALPHA));
    // Already layered: left alone.
    EXPECT_FALSE(MakeWindowTransparent(wnd, true));
    EXPECT_TRUE(ExStyleOf(wnd) & WS_EX_LAYERED);

    // Back: the layered style goes and the window is marked hidden without a redraw.
    EXPECT_FALSE(MakeWindowTransparent(wnd, false));
    EXPECT_FALSE(ExStyleOf(wnd) & WS_EX_LAYERED);
    EXPECT_FALSE(StyleOf(wnd) & WS_VISIBLE);
}

TEST_F(LayeredForms, ACoverFormHoldsASnapshotOfTheWindowAtItsPlaceWithoutTakingTheActivation) {
    harness::TestWindow window(80, 50, RGB(0, 200, 0), nullptr, WS_POPUP);
    const HWND wnd = window.Handle();
    ::SetWindowPos(wnd, nullptr, 120, 70, 80, 50, SWP_NOZORDER);
    window.Show();
    ::SetForegroundWindow(wnd);
    harness::PumpUntilIdle(10, 1000);
    const HWND active = ::GetActiveWindow();

    TacLayeredRecorder recorder;
    TForm* cover = MakeCoverForm(wnd);
    ASSERT_NE(cover, nullptr);
    const HWND cw = cover->Handle();
    EXPECT_EQ(cover->Tag, -98);
    EXPECT_EQ(cover->Owner(), nullptr);
    EXPECT_EQ(cover->BorderStyle, TFormBorderStyle::bsNone);
    const DWORD ex = ExStyleOf(cw);
    EXPECT_EQ(ex & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED),
              DWORD(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED));
    EXPECT_TRUE(::IsWindowVisible(cw));
    EXPECT_TRUE(cover->Visible());
    RECT r;
    ::GetWindowRect(cw, &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 70);
    EXPECT_EQ(r.right - r.left, 80);
    EXPECT_EQ(r.bottom - r.top, 50);
    EXPECT_EQ(::GetActiveWindow(), active);

    const auto frames = recorder.FramesOf(cw);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Blend.SourceConstantAlpha, 255);
    EXPECT_EQ(frames[0].Size.cx, 80);
    // Opaque everywhere.
    for (std::uint32_t p : frames[0].Pixels) ASSERT_EQ(p >> 24, 0xFFu);
    cover->Free();

    EXPECT_EQ(MakeCoverForm(nullptr), nullptr);
}

TEST_F(LayeredForms, CoverFormsLeaveTheObjectCountsFlat) {
    harness::TestWindow window(100, 60, RGB(200, 0, 0), nullptr, WS_POPUP);
    window.Show();
    harness::PumpUntilIdle(10, 1000);
    auto cycle = [&] {
        TForm* cover = MakeCoverForm(window.Handle());
        ASSERT_NE(cover, nullptr);
        cover->Free();
    };
    cycle();
    harness::PumpUntilIdle(5, 500);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int i = 0; i < 50; ++i) cycle();
    harness::PumpUntilIdle(5, 500);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
}
