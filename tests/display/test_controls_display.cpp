// Controls on a real screen: a form with a panel, a button and a label shows,
// and a real mouse click on the button reaches its OnClick.
#include <gtest/gtest.h>

#include "ExtCtrls.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "StdCtrls.h"

namespace {

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

struct ClickCounter {
    int Count = 0;
    void Clicked(TObject*) { ++Count; }
};

// Moves the mouse to a point of the screen and clicks there, as a user would.
void ClickAt(POINT p) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = static_cast<LONG>((p.x * 65535LL + w / 2) / (w - 1));
        i.mi.dy = static_cast<LONG>((p.y * 65535LL + h / 2) / (h - 1));
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input[0], sizeof(INPUT));
    harness::PumpUntilIdle(30, 1000);
    ::SendInput(2, &input[1], sizeof(INPUT));
}

TEST(ControlsDisplay, FormWithPanelButtonAndLabelShowsAndTheButtonTakesARealClick) {
    const COLORREF panelColour = RGB(40, 170, 90);
    const COLORREF labelColour = RGB(200, 60, 160);
    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 320, 200);
    auto* panel = New<TPanel>(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 320, 80);
    panel->SetAlign(TAlign::alTop);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(static_cast<TColor>(panelColour));
    auto* button = New<TButton>(form);
    button->SetParent(panel);
    button->SetBounds(20, 20, 100, 30);
    button->SetCaption(u"Click me");
    auto* label = New<TLabel>(form);
    label->SetParent(form);
    label->SetAutoSize(false);
    label->SetBounds(20, 120, 120, 30);
    label->SetColor(static_cast<TColor>(labelColour));
    label->SetCaption(u"A label");
    ClickCounter clicks;
    button->OnClick = TNotifyEvent::Of<&ClickCounter::Clicked>(&clicks);
    form->Show();

    // The X server maps the window in its own time: look until it shows.
    harness::Capture cap;
    const bool shown = harness::PumpUntil(
        [&] {
            harness::PumpUntilIdle(20, 200);
            cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen, true);
            return cap.Count(panelColour) > 320 * 80 / 2 && cap.Count(labelColour) > 120 * 30 / 2;
        },
        10000);
    if (!shown) cap.SaveBmp(L"controls-display-failure.bmp");
    ASSERT_TRUE(shown) << "panel " << cap.Count(panelColour) << ", label " << cap.Count(labelColour);
    EXPECT_EQ(cap.Pixel(10, 10), panelColour);
    EXPECT_EQ(cap.Pixel(80, 135), labelColour);

    const POINT centre = button->ClientToScreen(POINT{button->Width() / 2, button->Height() / 2});
    EXPECT_EQ(::WindowFromPoint(centre), button->Handle());
    ClickAt(centre);
    EXPECT_TRUE(harness::PumpUntil([&] { return clicks.Count > 0; }, 5000));
    harness::PumpUntilIdle(50, 1000);
    EXPECT_EQ(clicks.Count, 1);

    form->Free();
    harness::PumpUntilIdle(10, 500);
}

}  // namespace
