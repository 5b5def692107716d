// The GUI harness itself, without a screen: a window paints itself into a
// memory DC and the capture shows its colour.
#include <gtest/gtest.h>

#include "GuiHarness.h"

TEST(GuiHarness, PrintCaptureFindsThePaintedColour) {
    const COLORREF colour = RGB(12, 200, 34);
    harness::TestWindow wnd(120, 80, colour);
    ASSERT_NE(wnd.Handle(), nullptr);
    wnd.Show();
    harness::PumpUntilIdle();

    harness::Capture client = harness::CaptureWindow(wnd.Handle(), harness::CaptureSource::Print, true);
    ASSERT_EQ(client.Width, 120);
    ASSERT_EQ(client.Height, 80);
    EXPECT_EQ(client.Pixel(0, 0), colour);
    EXPECT_EQ(client.Pixel(119, 79), colour);
    EXPECT_EQ(client.Count(colour), 120 * 80);
    EXPECT_EQ(client.Pixel(120, 0), CLR_INVALID);
}

TEST(GuiHarness, PumpUntilRunsPostedMessages) {
    harness::TestWindow wnd(10, 10, RGB(0, 0, 0));
    bool seen = false;
    ::PostMessageW(wnd.Handle(), WM_NULL, 0, 0);
    EXPECT_TRUE(harness::PumpUntilIdle(20, 1000));
    EXPECT_TRUE(harness::PumpUntil([&] { return seen = true; }, 100));
    EXPECT_TRUE(seen);
}
