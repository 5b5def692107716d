#include "acThdTimer.h"

#include "Forms.h"
#include "WindowAttach.h"

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
    if (!IsDispatching(this)) {
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
    // Freed from inside its own tick: stop now, end when the tick returns.
    FEnabled = false;
    Rearm();
    Destroying();
    return !DeferFreeWhileDispatching(this, Liveness());
}

void TacThreadedTimer::Rearm() {
    if (!FTimerThread) return;
    FTimerThread->SetEnabled(false);
    if (FInterval != 0 && FEnabled && FOnTimer && !HasState(csDestroying)) FTimerThread->SetEnabled(true);
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
    // The tick is a dispatch of this timer: freed by its own handler, it
    // ends when the handler is done.
    const TLiveness alive = Liveness();
    struct EndOfTick {
        TacThreadedTimer* Self;
        const TLiveness& Alive;
        ~EndOfTick() {
            if (Alive.Alive()) Self->Executing = false;
        }
    } end{this, alive};
    TDispatchScope scope(this);
    Timer();
}
