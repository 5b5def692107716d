// The GUI harness on a real display: the window's colour shows on the screen
// and in the capture taken from it.
#include <gtest/gtest.h>

#include "GuiHarness.h"

TEST(GuiHarnessDisplay, ScreenCaptureFindsThePaintedColour) {
    const COLORREF colour = RGB(201, 17, 160);
    harness::TestWindow wnd(160, 100, colour, nullptr, WS_POPUP | WS_BORDER, WS_EX_TOPMOST);
    ASSERT_NE(wnd.Handle(), nullptr);
    wnd.Show();
    harness::Capture cap;
    // The X server maps and exposes the window asynchronously: look until it shows.
    const bool shown = harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            cap = harness::CaptureWindow(wnd.Handle(), harness::CaptureSource::Screen, true);
            return cap.Count(colour) == 160 * 100;
        },
        10000);
    if (!shown) cap.SaveBmp(L"harness-display-failure.bmp");
    ASSERT_TRUE(shown) << "only " << cap.Count(colour) << " pixels show the colour";
    EXPECT_EQ(cap.Pixel(80, 50), colour);

    harness::Capture printed = harness::CaptureWindow(wnd.Handle(), harness::CaptureSource::Print, true);
    EXPECT_EQ(printed.Count(colour), 160 * 100);
}
