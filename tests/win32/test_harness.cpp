// The GUI harness itself, without a screen: a window paints itself into a
// memory DC and the capture shows its colour.
#include <gtest/gtest.h>

#include <vector>

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

// Count tests stand on this: the figure follows objects made and freed one
// by one, whatever slots of the handle table they take.
TEST(GuiHarness, GdiObjectUsageCountsLiveObjectsExactly) {
    const unsigned start = harness::GdiObjectUsage();
    std::vector<HGDIOBJ> made;
    for (int i = 0; i < 40; ++i) made.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    EXPECT_EQ(harness::GdiObjectUsage(), start + 40);
    // Free every other one: holes in the table, the count still exact.
    for (std::size_t i = 0; i < made.size(); i += 2) ::DeleteObject(made[i]);
    EXPECT_EQ(harness::GdiObjectUsage(), start + 20);
    for (std::size_t i = 1; i < made.size(); i += 2) ::DeleteObject(made[i]);
    EXPECT_EQ(harness::GdiObjectUsage(), start);
}
