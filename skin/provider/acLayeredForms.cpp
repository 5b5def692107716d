#include "acLayeredForms.h"

#include <memory>

#include "acLayered.h"
#include "sGraphUtils.h"
#include "sVclUtils.h"

bool SetLayeredBitmap(HWND Wnd, TBitmap* Bitmap, Byte Alpha, const TPoint* Position) {
    if (!Wnd || !::IsWindow(Wnd)) return false;
    std::unique_ptr<TBitmap> own;
    if (!Bitmap) {
        RECT r{};
        ::GetWindowRect(Wnd, &r);
        // A work bitmap starts all zero: fully transparent.
        own.reset(CreateWorkBitmap(std::max<LONG>(1, r.right - r.left), std::max<LONG>(1, r.bottom - r.top)));
        Bitmap = own.get();
    } else if (Bitmap->Empty()) {
        return false;
    } else if (Bitmap->PixelFormat() != pf32bit) {
        // Per-pixel alpha needs 32 bits: an opaque copy stands in.
        own.reset(CreateWorkBitmap(Bitmap->Width(), Bitmap->Height()));
        ::BitBlt(own->Canvas()->Handle(), 0, 0, Bitmap->Width(), Bitmap->Height(), Bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
        FillAlphaRect(own.get(), TRect(0, 0, Bitmap->Width(), Bitmap->Height()), 255);
        Bitmap = own.get();
    }
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(Wnd, GWL_EXSTYLE));
    if (!(exStyle & WS_EX_LAYERED)) ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(exStyle | WS_EX_LAYERED));
    const HDC screen = ::GetDC(nullptr);
    const POINT pos = Position ? POINT{Position->X, Position->Y} : POINT{};
    const SIZE size{Bitmap->Width(), Bitmap->Height()};
    const POINT src{0, 0};
    const BLENDFUNCTION blend = acAlphaBlend(Alpha);
    const bool done = acUpdateLayered(Wnd, screen, Position ? &pos : nullptr, &size, Bitmap->Canvas()->Handle(), &src,
                                      kNoLayeredKey, &blend, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
    return done;
}

bool MakeWindowTransparent(HWND Wnd, bool Allow) {
    if (!Wnd) return false;
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(Wnd, GWL_EXSTYLE));
    if (Allow && LayeredWindowsAvailable() && acSetLayeredWindowAttributes) {
        if (exStyle & WS_EX_LAYERED) return false;
        ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(exStyle | WS_EX_LAYERED));
        acSetLayeredWindowAttributes(Wnd, kNoLayeredKey, 1, LWA_ALPHA);
        return true;
    }
    const auto style = static_cast<DWORD>(::GetWindowLongW(Wnd, GWL_STYLE));
    ::SetWindowLongW(Wnd, GWL_STYLE, static_cast<LONG>(style & ~WS_VISIBLE));
    ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(exStyle & ~WS_EX_LAYERED));
    return false;
}

TForm* MakeCoverForm(HWND Wnd) {
    RECT r{};
    if (!Wnd || !::IsWindow(Wnd) || !::GetWindowRect(Wnd, &r) || r.right <= r.left || r.bottom <= r.top) return nullptr;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    auto* cover = New<TForm>(nullptr);
    try {
        cover->Tag = -98;   // the engine never skins its own windows
        cover->BorderStyle = TFormBorderStyle::bsNone;
        cover->ExtraExStyle |= WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
        cover->SetFormStyle(TFormStyle::fsStayOnTop);
        cover->SetBounds(r.left, r.top, w, h);
        cover->HandleNeeded();
        // The snapshot: what the window shows now, frame included, opaque.
        std::unique_ptr<TBitmap> snapshot(CreateWorkBitmap(w, h));
        if (const HDC dc = ::GetWindowDC(Wnd)) {
            ::BitBlt(snapshot->Canvas()->Handle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
            ::ReleaseDC(Wnd, dc);
        }
        FillAlphaRect(snapshot.get(), TRect(0, 0, w, h), 255);
        const HWND wnd = cover->Handle();
        SetLayeredBitmap(wnd, snapshot.get(), 255, nullptr);
        ::SetWindowPos(wnd, HWND_TOPMOST, r.left, r.top, 0, 0,
                       SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
        cover->ShowNoActivate();
    } catch (...) {
        cover->Free();
        throw;
    }
    return cover;
}

HWND FindTrayWindow() { return ::FindWindowW(L"Shell_TrayWnd", nullptr); }
