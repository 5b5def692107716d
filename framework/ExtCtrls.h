// Timers, panels and images.
#pragma once

#include "Controls.h"

// A window timer: OnTimer runs on the main thread every Interval
// milliseconds while Enabled. Freeing the timer inside its own OnTimer is
// allowed; it ends once the handler has returned.
class TTimer : public TComponent {
public:
    KES_CLASS_NAME(TTimer)
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal value);
    TNotifyEvent OnTimer;

protected:
    bool CanFreeNow() override;

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    HWND FWindow = nullptr;
    bool FEnabled = true;
    Cardinal FInterval = 1000;
    bool FInTick = false;
    bool FFreePending = false;
};
