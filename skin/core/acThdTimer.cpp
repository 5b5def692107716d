#include "acThdTimer.h"

#include "Forms.h"

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner) : TComponent(AOwner) {
    if (Application && Application->Terminated()) return;
    FTimerThread = New<TTimer>(this);
    FTimerThread->SetInterval(FInterval);
    FTimerThread->OnTimer = TNotifyEvent::Of<&TacThreadedTimer::InnerTick>(this);
    Rearm();
}

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner, bool ChangeEvent) : TacThreadedTimer(AOwner) {
    SetEnabled(false);
    FOwner = AOwner;
    // The handler is a virtual call made at tick time, when the object is
    // complete.
    if (ChangeEvent) SetOnTimer(TNotifyEvent::Of<&TacThreadedTimer::ChangeEventTick>(this));
}

TacThreadedTimer::~TacThreadedTimer() {
    // Normally the inner timer went with the owned components already.
    if (FTimerThread) {
        FTimerThread->SetEnabled(false);
        FTimerThread->Free();
        FTimerThread = nullptr;
    }
}

bool TacThreadedTimer::CanFreeNow() {
    if (!Executing) {
        // The inner timer is owned and goes with the components; it must not
        // call back while this object ends.
        if (FTimerThread) {
            FTimerThread->OnTimer = nullptr;
            FTimerThread->SetEnabled(false);
            FTimerThread->Free();
            FTimerThread = nullptr;
        }
        return true;
    }
    FFreePending = true;
    FEnabled = false;
    Rearm();
    Destroying();
    return false;
}

void TacThreadedTimer::Rearm() {
    if (!FTimerThread) return;
    FTimerThread->SetEnabled(false);
    if (FInterval != 0 && FEnabled && FOnTimer && !FFreePending) FTimerThread->SetEnabled(true);
}

void TacThreadedTimer::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Rearm();
}

void TacThreadedTimer::SetInterval(Cardinal Value) {
    if (FInterval == Value) return;
    FInterval = Value;
    if (FTimerThread) FTimerThread->SetInterval(Value);
    Rearm();
}

void TacThreadedTimer::SetOnTimer(const TNotifyEvent& Value) {
    if (FOnTimer == Value) return;
    FOnTimer = Value;
    Rearm();
}

void TacThreadedTimer::SetThreadPriority(TThreadPriority Value) {
    if (FThreadPriority == Value) return;
    FThreadPriority = Value;
    Rearm();
}

void TacThreadedTimer::Timer() {
    if (FOnTimer) FOnTimer(this);
}

void TacThreadedTimer::InnerTick(TObject*) {
    if (!FTimerThread || !FTimerThread->Enabled() || Executing) return;
    Executing = true;
    struct EndOfTick {
        TacThreadedTimer* Self;
        ~EndOfTick() {
            Self->Executing = false;
            // Freed by its own handler: end now that the handler is done.
            if (Self->FFreePending) Self->Free();
        }
    } end{this};
    Timer();
}
