// The engine's timer component for animations (form show and hide, the form
// skinner's move and minimize animations, dialog animations). It runs no
// thread of its own: it drives a framework window timer on the main thread,
// keeps a tick from running while the previous one is still busy (a handler
// that pumps messages), and gives descendants a virtual TimeHandler.
#pragma once

#include "ExtCtrls.h"
#include "Threads.h"

class TacThreadedTimer : public TComponent {
public:
    KES_CLASS_NAME(TacThreadedTimer)
    // Ready to run (Enabled, Interval 1000) once OnTimer is set; made while
    // the application terminates it has no inner timer and never ticks.
    explicit TacThreadedTimer(TComponent* AOwner);
    // The owned form: starts disabled and works for AOwner; with ChangeEvent
    // every tick calls TimeHandler. Users set Interval, then Enabled.
    TacThreadedTimer(TComponent* AOwner, bool ChangeEvent);
    ~TacThreadedTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal Value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(const TNotifyEvent& Value);
    // Only kept: the ticks come from the main thread's window timer.
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority Value);

    // The object an owned timer works for.
    TObject* TimerOwner() const { return FOwner; }
    // The handler of the current tick is running.
    bool IsExecuting() const { return Executing; }

    // The work of an owned timer made with ChangeEvent; nothing here.
    virtual void TimeHandler() {}

protected:
    // The timer event of one tick: raises OnTimer with this component.
    virtual void Timer();
    // Freed inside its own tick: stops at once, ends when the tick returns.
    bool CanFreeNow() override;

    bool FEnabled = true;
    Cardinal FInterval = 1000;
    TNotifyEvent FOnTimer;
    TTimer* FTimerThread = nullptr;
    TThreadPriority FThreadPriority = tpNormal;
    bool Executing = false;
    TObject* FOwner = nullptr;
    bool InHandler = false;

private:
    void Rearm();
    void InnerTick(TObject* Sender);
    void ChangeEventTick(TObject*) { TimeHandler(); }
};
