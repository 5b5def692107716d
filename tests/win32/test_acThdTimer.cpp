// The animation timer component: ticks on the main thread, what stops and
// restarts them, the guard against a tick inside a busy handler, owned timers
// with their TimeHandler, and freeing the timer (or its owner) from inside
// its own tick, with no threads, handles or window objects left behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <functional>

#include "FrameworkEnvironment.h"
#include "Forms.h"
#include "GuiHarness.h"
#include "acThdTimer.h"

namespace {

struct TickProbe : TObject {
    int Ticks = 0;
    DWORD Thread = 0;
    std::function<void(TObject*)> Then;
    void Tick(TObject* Sender) {
        ++Ticks;
        Thread = ::GetCurrentThreadId();
        if (Then) Then(Sender);
    }
    TNotifyEvent Event() { return TNotifyEvent::Of<&TickProbe::Tick>(this); }
};

// Ticks counted over a quiet while.
int TicksDuring(TickProbe& probe, int ms) {
    const int before = probe.Ticks;
    harness::PumpUntilIdle(ms, ms * 3);
    return probe.Ticks - before;
}

// A descendant that says when it ends and counts its TimeHandler calls.
class TProbeTimer : public TacThreadedTimer {
public:
    KES_CLASS_NAME(TProbeTimer)
    TProbeTimer(TComponent* AOwner, bool ChangeEvent, bool* Ended) : TacThreadedTimer(AOwner, ChangeEvent), FEnded(Ended) {}
    ~TProbeTimer() override {
        if (FEnded) *FEnded = true;
    }
    void TimeHandler() override {
        ++Handled;
        if (FreeInHandler) Free();
    }
    int Handled = 0;
    bool FreeInHandler = false;

private:
    bool* FEnded;
};

int ThreadsOfProcess() {
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 te{};
    te.dwSize = sizeof(te);
    int n = 0;
    for (BOOL ok = ::Thread32First(snap, &te); ok; ok = ::Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snap);
    return n;
}

class ThreadedTimerTest : public ::testing::Test {
protected:
    void SetUp() override { kestrune_test::EnsureFramework(); }
};

}  // namespace

TEST_F(ThreadedTimerTest, TicksComeOnTheMainThreadOnceArmed) {
    TickProbe probe;
    auto* t = New<TacThreadedTimer>(nullptr);
    EXPECT_TRUE(t->Enabled());
    EXPECT_EQ(t->Interval(), 1000u);
    EXPECT_EQ(t->ThreadPriority(), tpNormal);
    t->SetInterval(10);
    EXPECT_EQ(TicksDuring(probe, 60), 0);   // no OnTimer yet: not armed
    t->SetOnTimer(probe.Event());
    ASSERT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 3; }, 3000));
    EXPECT_EQ(probe.Thread, ::GetCurrentThreadId());
    t->Free();
}

TEST_F(ThreadedTimerTest, EachSettingStopsAndRestartsTheTicks) {
    TickProbe probe;
    auto* t = New<TacThreadedTimer>(nullptr);
    t->SetInterval(10);
    t->SetOnTimer(probe.Event());
    ASSERT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 1; }, 3000));

    t->SetInterval(0);
    EXPECT_EQ(TicksDuring(probe, 60), 0);
    t->SetInterval(10);
    EXPECT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 3; }, 3000));

    t->SetEnabled(false);
    EXPECT_EQ(TicksDuring(probe, 60), 0);
    t->SetEnabled(true);
    const int before = probe.Ticks;
    EXPECT_TRUE(harness::PumpUntil([&] { return probe.Ticks > before; }, 3000));

    t->SetOnTimer(nullptr);
    EXPECT_EQ(TicksDuring(probe, 60), 0);
    t->SetOnTimer(probe.Event());
    // The priority is only kept: the timer goes on with its settings.
    t->SetThreadPriority(tpHighest);
    EXPECT_EQ(t->ThreadPriority(), tpHighest);
    const int again = probe.Ticks;
    EXPECT_TRUE(harness::PumpUntil([&] { return probe.Ticks > again; }, 3000));
    t->Free();
}

TEST_F(ThreadedTimerTest, ATickWhileTheHandlerPumpsMessagesIsIgnored) {
    TickProbe probe;
    auto* t = New<TacThreadedTimer>(nullptr);
    int nested = 0;
    probe.Then = [&](TObject* Sender) {
        auto* self = static_cast<TacThreadedTimer*>(Sender);
        EXPECT_TRUE(self->IsExecuting());
        if (probe.Ticks != 1) return;
        const int at = probe.Ticks;
        harness::PumpUntilIdle(80, 200);   // several intervals pass in here
        nested = probe.Ticks - at;
    };
    t->SetInterval(10);
    t->SetOnTimer(probe.Event());
    ASSERT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 2; }, 3000));
    EXPECT_EQ(nested, 0);
    EXPECT_FALSE(t->IsExecuting());
    t->Free();
}

TEST_F(ThreadedTimerTest, AHandlerThatRaisesDoesNotBlockLaterTicks) {
    TickProbe probe;
    int reported = 0;
    struct Reporter : TObject {
        int* Count;
        void Report(TObject*, const std::exception&) { ++*Count; }
    } reporter;
    reporter.Count = &reported;
    const TExceptionEvent saved = Application->OnException;
    Application->OnException = TExceptionEvent::Of<&Reporter::Report>(&reporter);
    probe.Then = [&](TObject*) {
        if (probe.Ticks == 1) throw Exception(u"tick failed");
    };
    auto* t = New<TacThreadedTimer>(nullptr);
    t->SetInterval(10);
    t->SetOnTimer(probe.Event());
    EXPECT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 3; }, 3000));
    EXPECT_EQ(reported, 1);
    t->Free();
    Application->OnException = saved;
}

TEST_F(ThreadedTimerTest, OwnedTimersStartStillAndCallTheirHandler) {
    auto* owner = New<TComponent>(nullptr);
    bool ended = false;
    auto* t = New<TProbeTimer>(owner, true, &ended);
    EXPECT_FALSE(t->Enabled());
    EXPECT_EQ(t->TimerOwner(), owner);
    EXPECT_TRUE(static_cast<bool>(t->OnTimer()));
    t->SetInterval(10);
    harness::PumpUntilIdle(40, 200);
    EXPECT_EQ(t->Handled, 0);
    t->SetEnabled(true);
    EXPECT_TRUE(harness::PumpUntil([&] { return t->Handled >= 2; }, 3000));
    owner->Free();   // takes the timer along
    EXPECT_TRUE(ended);

    // Without ChangeEvent nothing is bound.
    auto* plain = New<TProbeTimer>(nullptr, false, nullptr);
    EXPECT_FALSE(static_cast<bool>(plain->OnTimer()));
    plain->Free();
}

TEST_F(ThreadedTimerTest, FreedInsideItsOwnTickItEndsAfterTheTick) {
    bool ended = false;
    auto* t = New<TProbeTimer>(nullptr, true, &ended);
    t->FreeInHandler = true;
    t->SetInterval(10);
    t->SetEnabled(true);
    ASSERT_TRUE(harness::PumpUntil([&] { return ended; }, 3000));
    harness::PumpUntilIdle(40, 300);   // no tick reaches the freed timer
}

TEST_F(ThreadedTimerTest, AnOwnerFreedInsideTheTickTakesTheTimerAfterIt) {
    auto* owner = New<TComponent>(nullptr);
    bool ended = false;
    auto* t = New<TacThreadedTimer>(owner);
    TickProbe probe;
    bool endedDuringTick = true;
    probe.Then = [&](TObject* Sender) {
        if (probe.Ticks != 1) return;
        owner->Free();
        // The timer is stopped at once but still there until the tick returns.
        auto* self = static_cast<TacThreadedTimer*>(Sender);
        EXPECT_FALSE(self->Enabled());
        EXPECT_TRUE(self->HasState(csDestroying));
        endedDuringTick = ended;
    };
    struct Watch : TComponent {
        bool* Flag;
        Watch(TComponent* o, bool* f) : TComponent(nullptr), Flag(f) { FreeNotification(o); }
        void Notification(TComponent*, TOperation op) override {
            if (op == TOperation::opRemove) *Flag = true;
        }
    };
    auto* watch = New<Watch>(t, &ended);
    t->SetInterval(10);
    t->SetOnTimer(probe.Event());
    ASSERT_TRUE(harness::PumpUntil([&] { return ended; }, 3000));
    EXPECT_FALSE(endedDuringTick);
    EXPECT_EQ(TicksDuring(probe, 50), 0);
    EXPECT_EQ(probe.Ticks, 1);
    watch->Free();
}

TEST_F(ThreadedTimerTest, RepeatedUseLeavesNoThreadsHandlesOrWindows) {
    auto cycle = [] {
        TickProbe probe;
        auto* t = New<TacThreadedTimer>(nullptr);
        t->SetInterval(1);
        t->SetOnTimer(probe.Event());
        harness::PumpUntil([&] { return probe.Ticks >= 1; }, 1000);
        t->Free();
    };
    cycle();   // anything made once for all timers is made here
    harness::PumpUntilIdle(20, 300);
    DWORD handles0 = 0, handles1 = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles0);
    const unsigned gdi0 = harness::GdiObjectUsage();
    const unsigned windows0 = harness::WindowCount();   // each inner timer has a window
    const int threads0 = ThreadsOfProcess();
    for (int i = 0; i < 50; ++i) cycle();
    harness::PumpUntilIdle(20, 300);
    ::GetProcessHandleCount(::GetCurrentProcess(), &handles1);
    EXPECT_LE(handles1, handles0 + 2);
    EXPECT_LE(harness::GdiObjectUsage(), gdi0 + 2);
    EXPECT_EQ(harness::WindowCount(), windows0);
    EXPECT_EQ(ThreadsOfProcess(), threads0);
}
