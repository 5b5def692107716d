// Controls on a real screen: a form with a panel, a button and a label shows,
// a real mouse click on the button reaches its OnClick, and the application
// notices the pointer leaving its windows.
#include <gtest/gtest.h>

#include <thread>

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

// The pointer rests on a button, then, while the application's loop waits
// for a message, goes to where no window of the program lies: nothing else
// happens in the program, yet its idle work notices the leave within a
// moment (the system's leave tracking wakes the loop; a helper thread wakes
// it only after 8 s, ending a loop that would wait on).
TEST(ControlsDisplay, ThePointerLeavingTheProgramsWindowsIsNoticed) {
    auto* form = New<TForm>(Application);
    form->BorderStyle = TFormBorderStyle::bsNone;
    form->SetBounds(100, 100, 320, 200);
    auto* button = New<TButton>(form);
    button->SetParent(form);
    button->SetBounds(20, 20, 100, 30);
    form->Show();
    harness::PumpUntilIdle(50, 2000);

    auto moveTo = [](POINT p) {
        const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((p.x * 65535LL + w / 2) / (w - 1));
        input.mi.dy = static_cast<LONG>((p.y * 65535LL + h / 2) / (h - 1));
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(1, &input, sizeof(INPUT));
    };
    // When the idle work (run after the control under the pointer is
    // checked) first finds no control under the pointer.
    struct IdleWatch {
        DWORD LeftAt = 0;
        void OnIdle(TObject*, bool&) {
            if (LeftAt || Application->MouseControl()) return;
            LeftAt = ::GetTickCount();
            ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);   // the test's loop goes on
        }
    } watch;
    // The application's own loop, woken only by messages that come to it.
    auto runUntil = [](auto pred, DWORD timeoutMs) {
        const DWORD start = ::GetTickCount();
        while (!pred() && ::GetTickCount() - start < timeoutMs) Application->HandleMessage();
    };
    struct Waker {
        HANDLE Stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD Thread = ::GetCurrentThreadId();
        std::thread Worker;
        void Start(DWORD afterMs) {
            Worker = std::thread([this, afterMs] {
                if (::WaitForSingleObject(Stop, afterMs) == WAIT_TIMEOUT) ::PostThreadMessageW(Thread, WM_NULL, 0, 0);
            });
        }
        ~Waker() {
            ::SetEvent(Stop);
            if (Worker.joinable()) Worker.join();
            ::CloseHandle(Stop);
        }
    };

    moveTo(button->ClientToScreen(POINT{50, 15}));
    {
        Waker waker;
        waker.Start(8000);
        runUntil([&] { return Application->MouseControl() == button; }, 8000);
    }
    ASSERT_EQ(Application->MouseControl(), button);

    // The pointer leaves while the loop waits.
    const POINT outside{700, 600};
    ASSERT_NE(::WindowFromPoint(outside), form->Handle());
    Application->OnIdle = TIdleEvent::Of<&IdleWatch::OnIdle>(&watch);
    DWORD movedAt = 0;
    {
        Waker waker;
        waker.Start(8000);
        std::thread input([&] {
            ::Sleep(300);
            movedAt = ::GetTickCount();
            moveTo(outside);
        });
        runUntil([&] { return Application->MouseControl() == nullptr; }, 10000);
        input.join();
    }
    Application->OnIdle = TIdleEvent();
    EXPECT_EQ(Application->MouseControl(), nullptr);
    ASSERT_NE(watch.LeftAt, 0u);
    EXPECT_LT(watch.LeftAt - movedAt, 3000u) << "the leave was noticed only after " << watch.LeftAt - movedAt << " ms";

    form->Free();
    harness::PumpUntilIdle(10, 500);
}

}  // namespace
