// Looks at the first visible dialog ("#32770") of this thread from a timer
// of the message loop while the dialog runs its own modal loop: once it has
// been up for settleTicks ticks its rectangle is taken, look sees it and the
// dialog is cancelled. After 100 ticks a dialog still there is closed; after
// 120 the probe stops. One probe at a time.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "WinApi.h"

namespace harness {

class DialogProbe {
public:
    DialogProbe(UINT periodMs, int settleTicks, std::function<void(HWND dialog)> look = {})
        : FSettleTicks(settleTicks), FLook(std::move(look)) {
        Current() = this;
        FTimer = ::SetTimer(nullptr, 0, periodMs, &DialogProbe::Tick);
    }
    ~DialogProbe() {
        if (FTimer) ::KillTimer(nullptr, FTimer);
        Current() = nullptr;
    }
    DialogProbe(const DialogProbe&) = delete;
    DialogProbe& operator=(const DialogProbe&) = delete;

    // The dialog found (nullptr: none came up) and its screen rectangle when
    // it was looked at.
    HWND Dialog() const { return FDialog; }
    const RECT& Rect() const { return FRect; }

private:
    static DialogProbe*& Current() {
        static DialogProbe* current = nullptr;
        return current;
    }
    static BOOL CALLBACK Find(HWND wnd, LPARAM data) {
        wchar_t cls[64] = {};
        ::GetClassNameW(wnd, cls, 64);
        if (std::wstring_view(cls) == L"#32770" && ::IsWindowVisible(wnd)) {
            reinterpret_cast<DialogProbe*>(data)->FDialog = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogProbe* p = Current();
        if (!p) return;
        ++p->FTicks;
        if (!p->FDialog) ::EnumThreadWindows(::GetCurrentThreadId(), &Find, reinterpret_cast<LPARAM>(p));
        if (p->FDialog && ++p->FSeen == p->FSettleTicks) {
            ::GetWindowRect(p->FDialog, &p->FRect);
            if (p->FLook) p->FLook(p->FDialog);
            ::PostMessageW(p->FDialog, WM_COMMAND, IDCANCEL, 0);
        }
        if (p->FTicks > 100 && p->FDialog) ::PostMessageW(p->FDialog, WM_CLOSE, 0, 0);
        if (p->FTicks > 120) {
            ::KillTimer(nullptr, p->FTimer);
            p->FTimer = 0;
        }
    }

    int FSettleTicks;
    std::function<void(HWND)> FLook;
    UINT_PTR FTimer = 0;
    HWND FDialog = nullptr;
    int FSeen = 0;
    int FTicks = 0;
    RECT FRect{};
};

}  // namespace harness
