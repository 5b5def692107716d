#include "GuiHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "ProcessDriver.h"

namespace harness {

namespace {

const wchar_t kTestClass[] = L"KestruneTestWindow";
const wchar_t kFillProp[] = L"KestruneTestFill";

LRESULT CALLBACK FillWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = msg == WM_PAINT ? ::BeginPaint(wnd, &ps) : reinterpret_cast<HDC>(wParam);
        RECT r;
        ::GetClientRect(wnd, &r);
        const auto fill = static_cast<COLORREF>(reinterpret_cast<std::uintptr_t>(::GetPropW(wnd, kFillProp)));
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(dc, &r, brush);
        ::DeleteObject(brush);
        if (msg == WM_PAINT) ::EndPaint(wnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        ::RemovePropW(wnd, kFillProp);
        break;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FillWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kTestClass;
    registered = ::RegisterClassExW(&wc) != 0;
}

int Channel(COLORREF c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

}  // namespace

TestWindow::TestWindow(int clientWidth, int clientHeight, COLORREF fill, WNDPROC proc, DWORD style, DWORD exStyle) {
    RegisterTestClass();
    RECT r = {0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    FHandle = ::CreateWindowExW(exStyle, kTestClass, L"Kestrune test", style, 40, 40, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (FHandle) {
        ::SetPropW(FHandle, kFillProp, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(fill)));
        if (proc) ::SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    }
}

TestWindow::~TestWindow() {
    if (FHandle && ::IsWindow(FHandle)) ::DestroyWindow(FHandle);
    PumpUntilIdle(10, 500);
}

void TestWindow::Show() {
    ::ShowWindow(FHandle, SW_SHOWNORMAL);
    ::SetForegroundWindow(FHandle);
    ::UpdateWindow(FHandle);
}

LRESULT CALLBACK ParentFillProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps{};
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : ::BeginPaint(wnd, &ps);
        RECT r{};
        ::GetClientRect(wnd, &r);
        const auto fill = static_cast<COLORREF>(reinterpret_cast<std::uintptr_t>(::GetPropW(wnd, kFillProp)));
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(dc, &r, brush);
        ::DeleteObject(brush);
        if (!wParam) ::EndPaint(wnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

namespace {
std::function<void()> gTimerAction;
bool gTimerDone = false;
VOID CALLBACK RunTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    gTimerAction();
    gTimerDone = true;
}
}  // namespace

bool RunFromTimer(std::function<void()> action, int timeoutMs) {
    gTimerAction = std::move(action);
    gTimerDone = false;
    ::SetTimer(nullptr, 0, 10, &RunTimerAction);
    return PumpUntil([] { return gTimerDone; }, timeoutMs);
}

bool PumpUntilIdle(int quietMs, int timeoutMs) {
    const DWORD start = ::GetTickCount();
    DWORD lastActivity = start;
    for (;;) {
        MSG msg;
        bool any = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const DWORD now = ::GetTickCount();
        if (any) lastActivity = now;
        if (static_cast<int>(now - lastActivity) >= quietMs) return true;
        if (static_cast<int>(now - start) >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

COLORREF Capture::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height) return CLR_INVALID;
    const std::uint32_t p = Pixels[static_cast<std::size_t>(y) * Width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Capture::Count(COLORREF colour, int tolerance) const {
    int n = 0;
    for (std::uint32_t p : Pixels) {
        const COLORREF c = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        if (std::abs(Channel(c, 0) - Channel(colour, 0)) <= tolerance &&
            std::abs(Channel(c, 8) - Channel(colour, 8)) <= tolerance &&
            std::abs(Channel(c, 16) - Channel(colour, 16)) <= tolerance)
            ++n;
    }
    return n;
}

bool Capture::SaveBmp(const wchar_t* fileName) const {
    if (Empty()) return false;
    const int rowBytes = (Width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = Width;
    ih.biHeight = Height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = static_cast<DWORD>(rowBytes * Height);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    HANDLE f = ::CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(f, &fh, sizeof(fh), &written, nullptr) && ::WriteFile(f, &ih, sizeof(ih), &written, nullptr);
    std::vector<BYTE> row(static_cast<std::size_t>(rowBytes));
    for (int y = Height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < Width; ++x) {
            const std::uint32_t p = Pixels[static_cast<std::size_t>(y) * Width + x];
            row[x * 3] = p & 0xFF;
            row[x * 3 + 1] = (p >> 8) & 0xFF;
            row[x * 3 + 2] = (p >> 16) & 0xFF;
        }
        ok = ::WriteFile(f, row.data(), static_cast<DWORD>(rowBytes), &written, nullptr) != 0;
    }
    ::CloseHandle(f);
    return ok;
}

namespace {

// A 32-bit top-down DIB selected into a memory DC.
struct DibCanvas {
    HDC Screen = nullptr;
    HDC Dc = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ Old = nullptr;
    const std::uint32_t* Bits = nullptr;

    DibCanvas(int w, int h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        Screen = ::GetDC(nullptr);
        Bitmap = ::CreateDIBSection(Screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        Dc = ::CreateCompatibleDC(Screen);
        if (Bitmap && Dc && bits) {
            Old = ::SelectObject(Dc, Bitmap);
            Bits = static_cast<const std::uint32_t*>(bits);
        }
    }
    ~DibCanvas() {
        if (Old) ::SelectObject(Dc, Old);
        if (Bitmap) ::DeleteObject(Bitmap);
        if (Dc) ::DeleteDC(Dc);
        ::ReleaseDC(nullptr, Screen);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;
};

}  // namespace

Capture CaptureWindow(HWND wnd, CaptureSource source, bool clientOnly) {
    Capture cap;
    RECT wr, cr;
    if (!::GetWindowRect(wnd, &wr) || !::GetClientRect(wnd, &cr)) return cap;
    POINT origin = {0, 0};
    ::ClientToScreen(wnd, &origin);
    const int w = clientOnly ? cr.right : wr.right - wr.left;
    const int h = clientOnly ? cr.bottom : wr.bottom - wr.top;
    if (w <= 0 || h <= 0) return cap;

    DibCanvas canvas(w, h);
    if (!canvas.Bits) return cap;
    if (source == CaptureSource::Print) {
        if (clientOnly) {
            // The client area alone, painted at the DC's origin.
            ::SendMessageW(wnd, WM_PRINT, reinterpret_cast<WPARAM>(canvas.Dc), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        } else if (!::PrintWindow(wnd, canvas.Dc, 0)) {
            ::SendMessageW(wnd, WM_PRINT, reinterpret_cast<WPARAM>(canvas.Dc),
                           PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        }
    } else {
        const int left = clientOnly ? origin.x : wr.left;
        const int top = clientOnly ? origin.y : wr.top;
        ::BitBlt(canvas.Dc, 0, 0, w, h, canvas.Screen, left, top, SRCCOPY);
    }
    ::GdiFlush();
    cap.Width = w;
    cap.Height = h;
    cap.Pixels.assign(canvas.Bits, canvas.Bits + static_cast<std::size_t>(w) * h);
    return cap;
}

unsigned GdiObjectUsage() {
    if (DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return n;
    // Wine: a handle whose high word is 0 names the table entry of its low
    // word whatever the entry's generation, so the live objects can be
    // counted entry by entry.
    unsigned live = 0;
    for (std::uintptr_t index = 1; index < 0x10000; ++index)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
    if (live != 0) return live;
    // Otherwise the highest handle index that a batch of new objects
    // receives stands in: freed entries are handed out again, leaked ones
    // push it up (it also follows a passing peak of objects in use).
    HGDIOBJ probe[16];
    unsigned high = 0;
    for (HGDIOBJ& h : probe) {
        h = ::CreateSolidBrush(0);
        high = std::max(high, static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(h) & 0xFFFF));
    }
    for (HGDIOBJ h : probe) ::DeleteObject(h);
    return high;
}

namespace {
BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned*>(count);
    return TRUE;
}
BOOL CALLBACK CountTopLevel(HWND wnd, LPARAM count) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid == ::GetCurrentProcessId()) {
        ++*reinterpret_cast<unsigned*>(count);
        ::EnumChildWindows(wnd, CountChild, count);
    }
    return TRUE;
}
}  // namespace

unsigned WindowCount() {
    unsigned count = 0;
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

unsigned UserObjectUsage() {
    if (const DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return n;
    HMENU batch[16];
    unsigned highest = 0;
    for (HMENU& m : batch) {
        m = ::CreatePopupMenu();
        highest = std::max(highest, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m) & 0xFFFF));
    }
    for (HMENU m : batch) ::DestroyMenu(m);
    return highest;
}

ObjectCounts CountObjects() {
    ObjectCounts c;
    c.Gdi = GdiObjectUsage();
    c.User = UserObjectUsage();
    c.Windows = WindowCount();
    return c;
}

void ExpectObjectCountsFlat(const ObjectCounts& before, const std::function<void()>& again, const char* what) {
    const unsigned gdiAfter = GdiObjectUsage();
    if (!again) {
        EXPECT_LE(gdiAfter, before.Gdi + 2) << "GDI objects grow with every " << what;
    } else if (gdiAfter > before.Gdi + 2) {
        again();
        EXPECT_LE(GdiObjectUsage(), gdiAfter + 2) << "GDI objects grow with every " << what;
    }
    EXPECT_LE(UserObjectUsage(), before.User + 8) << "USER objects grow with every " << what;
    EXPECT_EQ(WindowCount(), before.Windows) << "windows are left by " << what;
}

int ColourDistance(COLORREF a, COLORREF b) {
    const int dr = std::abs(int(GetRValue(a)) - int(GetRValue(b)));
    const int dg = std::abs(int(GetGValue(a)) - int(GetGValue(b)));
    const int db = std::abs(int(GetBValue(a)) - int(GetBValue(b)));
    return std::max(dr, std::max(dg, db));
}

int DifferingPixels(const Capture& a, const Capture& b, int tolerance) {
    if (a.Width != b.Width || a.Height != b.Height) return std::max(a.Width * a.Height, b.Width * b.Height);
    int n = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            if (ColourDistance(a.Pixel(x, y), b.Pixel(x, y)) > tolerance) ++n;
    return n;
}

std::wstring BesideProgram(const wchar_t* name) { return ModuleFolder() + name; }

}  // namespace harness
