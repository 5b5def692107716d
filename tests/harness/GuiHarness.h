// Helpers for tests that drive real windows: make windows, let the message
// queue run until nothing is left to do, and capture a window's pixels into
// a 32-bit top-down buffer that tests can read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "WinApi.h"

namespace harness {

// A top-level test window of a private class whose client area is filled with
// a solid colour on WM_PAINT (or painted by the given procedure when one is
// passed). Destroyed with the object.
class TestWindow {
public:
    TestWindow(int clientWidth, int clientHeight, COLORREF fill, WNDPROC proc = nullptr,
               DWORD style = WS_OVERLAPPEDWINDOW, DWORD exStyle = 0);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return FHandle; }
    void Show();

private:
    HWND FHandle = nullptr;
};

// A procedure for a TestWindow that stands as an unskinned parent: it fills
// its client area with the window's colour, also into a DC handed to it in
// WM_PAINT (how a child has its parent paint under it).
LRESULT CALLBACK ParentFillProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Dispatches queued messages until the queue has stayed empty for quietMs
// milliseconds in a row, or until timeoutMs has passed. Returns false on the
// time-out.
bool PumpUntilIdle(int quietMs = 100, int timeoutMs = 5000);

// Dispatches messages until the predicate holds or the time runs out.
template <class Pred>
bool PumpUntil(Pred pred, int timeoutMs = 5000) {
    const DWORD start = ::GetTickCount();
    while (!pred()) {
        if (static_cast<int>(::GetTickCount() - start) > timeoutMs) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// A captured image, 32 bits per pixel, rows top-down, bytes blue, green, red, x.
struct Capture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    // The pixel as a COLORREF (0x00BBGGRR); out-of-range coordinates give CLR_INVALID.
    COLORREF Pixel(int x, int y) const;
    // Number of pixels whose colour lies within tolerance of the colour in every channel.
    int Count(COLORREF colour, int tolerance = 0) const;
    bool Contains(COLORREF colour, int tolerance = 0) const { return Count(colour, tolerance) > 0; }
    // Writes the capture as a 24-bit BMP file (for looking at a failure).
    bool SaveBmp(const wchar_t* fileName) const;
};

enum class CaptureSource {
    Print,    // the window paints itself into a memory DC (PrintWindow / WM_PRINT)
    Screen,   // what the screen shows in the window's rectangle
};

// The largest difference of two colours in any channel.
int ColourDistance(COLORREF a, COLORREF b);
// Pixels that differ by more than the tolerance between two captures of the
// same size (all of them when the sizes differ).
int DifferingPixels(const Capture& a, const Capture& b, int tolerance = 8);

// Runs action once from a timer of the message loop (where the program
// opens its menus, so that their modal loops run as they do there) and
// dispatches until it has returned. False when it did not return within
// timeoutMs.
bool RunFromTimer(std::function<void()> action, int timeoutMs);

// Captures the whole window (frame included) or only its client area.
Capture CaptureWindow(HWND wnd, CaptureSource source, bool clientOnly = false);

// GDI objects in use by this process. Wine has no GetGuiResources; there the
// entries of its handle table are counted one by one.
unsigned GdiObjectUsage();
// USER objects (menus among them) in use. Wine answers GetGuiResources with
// 0; there, as for GDI objects, the highest handle index that a batch of new
// menus receives stands in for it.
unsigned UserObjectUsage();
// Windows of this process (top-level windows and all their descendants).
unsigned WindowCount();

// The objects this process uses, taken together before repeated work.
struct ObjectCounts {
    unsigned Gdi = 0;
    unsigned User = 0;
    unsigned Windows = 0;
};
ObjectCounts CountObjects();
// Test expectations that repeated work left the counts flat since before:
// the same windows; USER objects within 8 (the stand-in measure moves by a
// few with the handles other work frees meanwhile); GDI objects within 2.
// With again, GDI objects that grew more are measured once more after again
// has run: work left running by earlier tests may take objects meanwhile,
// such noise settles while a leak grows again. What names the work in the
// failure message.
void ExpectObjectCountsFlat(const ObjectCounts& before, const std::function<void()>& again, const char* what);

// The file of that name in the test program's folder: pictures saved for
// looking at land there, in the build tree.
std::wstring BesideProgram(const wchar_t* name);

}  // namespace harness
