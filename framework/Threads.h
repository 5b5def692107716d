// Worker threads and calls carried out on the main thread.
#pragma once

#include <atomic>
#include <exception>

#include "Classes.h"
#include "WinApi.h"

using TThreadMethod = TDelegate<void()>;

// Scheduling priorities of a thread, lowest first.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A thread object: Execute runs on its own thread. Threads are created
// suspended or running; OnTerminate runs on the main thread when Execute has
// returned. Synchronize runs a method on the main thread and waits for it;
// the main thread serves such calls from its message loop and while it waits
// for a thread (WaitFor), so the two never wait on each other.
class TThread : public TObject {
public:
    KES_CLASS_NAME(TThread)
    explicit TThread(bool CreateSuspended);
    // Terminates and waits for a thread that still runs.
    ~TThread() override;

    void Resume();
    void Start() { Resume(); }
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    bool Suspended() const { return FSuspended; }
    // Waits until Execute has returned and OnTerminate has run; returns the
    // thread's return value.
    int WaitFor();
    // Like WaitFor with a time limit; false when the thread still runs.
    bool WaitFor(DWORD timeoutMs);

    HANDLE Handle() const { return FHandle; }
    DWORD ThreadID() const { return FThreadID; }
    bool FreeOnTerminate = false;
    int ReturnValue = 0;
    TNotifyEvent OnTerminate;
    // The exception that ended Execute, if any.
    std::exception_ptr FatalException() const { return FFatalException; }

    // Runs Method on the main thread (at once when called there).
    static void Synchronize(TThread* Thread, TThreadMethod Method);

protected:
    virtual void Execute() = 0;
    void Synchronize(TThreadMethod Method) { Synchronize(this, Method); }
    virtual void DoTerminate();

private:
    static unsigned __stdcall ThreadProc(void* parameter);
    void CallOnTerminate();

    HANDLE FHandle = nullptr;
    DWORD FThreadID = 0;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FSuspended = false;
    std::exception_ptr FFatalException;
};

// Runs the calls that worker threads have queued for the main thread. Returns
// true when any ran. Called by the message loop.
bool CheckSynchronize();
// Waits up to timeoutMs for the handle while serving main-thread calls and
// sent messages; true when the handle was signalled.
bool WaitServingMainThread(HANDLE handle, DWORD timeoutMs);

// The main thread's id (the thread that started the threads unit).
extern DWORD MainThreadID;
// Called (from a worker) when a call has been queued; the forms unit makes it
// wake the message loop.
extern void (*WakeMainThread)();

void ThreadsInitialization();
void ThreadsFinalization();
