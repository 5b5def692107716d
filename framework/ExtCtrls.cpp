#include "ExtCtrls.h"

// ---------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = AllocateHWnd(TWndMethod::Of<&TTimer::WndProc>(this));
    UpdateTimer();
}

TTimer::~TTimer() {
    FEnabled = false;
    if (FWindow) {
        ::KillTimer(FWindow, 1);
        DeallocateHWnd(FWindow);
        FWindow = nullptr;
    }
}

bool TTimer::CanFreeNow() {
    if (!FInTick) return true;
    FFreePending = true;
    if (FWindow) ::KillTimer(FWindow, 1);
    return false;
}

void TTimer::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(Cardinal value) {
    if (FInterval == value) return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindow) return;
    ::KillTimer(FWindow, 1);
    if (FEnabled && FInterval != 0 && !FFreePending) ::SetTimer(FWindow, 1, FInterval, nullptr);
}

void TTimer::WndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) {
        Message.Result = ::DefWindowProcW(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    if (FInTick || !FEnabled || !OnTimer) return;
    FInTick = true;
    try {
        OnTimer(this);
    } catch (...) {
        FInTick = false;
        HandleFrameworkException();
    }
    FInTick = false;
    if (FFreePending) {
        FFreePending = false;
        Free();
    }
}
