// Kestrune's entry point. For now the program shows its empty main window
// and ends cleanly when it is closed.
#include "WinApi.h"

namespace {

const wchar_t kWindowClass[] = L"TForm1";
const wchar_t kCaption[] = L"Kestrune v0.1";

LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = ::GetSysColorBrush(COLOR_3DLIGHT);
    wc.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&wc)) return 1;

    // The client area is 790 x 560 pixels.
    RECT r = {0, 0, 790, 560};
    const DWORD style = WS_OVERLAPPEDWINDOW;
    ::AdjustWindowRectEx(&r, style, FALSE, 0);
    HWND wnd = ::CreateWindowExW(0, kWindowClass, kCaption, style, 240, 162, r.right - r.left, r.bottom - r.top,
                                 nullptr, nullptr, instance, nullptr);
    if (!wnd) return 1;
    ::ShowWindow(wnd, showCommand);
    ::UpdateWindow(wnd);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::UnregisterClassW(kWindowClass, instance);
    return static_cast<int>(msg.wParam);
}
