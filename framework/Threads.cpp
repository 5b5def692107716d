#include "Threads.h"

#include <process.h>

#include <deque>

DWORD MainThreadID = 0;
void (*WakeMainThread)() = nullptr;

namespace {

struct SyncRequest {
    TThreadMethod Method;
    HANDLE Done = nullptr;
    std::exception_ptr Error;
};

CRITICAL_SECTION gSyncLock;
bool gSyncLockReady = false;
std::deque<SyncRequest*> gSyncQueue;
HANDLE gSyncEvent = nullptr;   // set while calls are queued

void EnsureSyncState() {
    if (!gSyncLockReady) {
        ::InitializeCriticalSection(&gSyncLock);
        gSyncLockReady = true;
    }
    if (!gSyncEvent) gSyncEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

}  // namespace

void ThreadsInitialization() {
    MainThreadID = ::GetCurrentThreadId();
    EnsureSyncState();
}

void ThreadsFinalization() {
    if (gSyncEvent) {
        ::CloseHandle(gSyncEvent);
        gSyncEvent = nullptr;
    }
    if (gSyncLockReady) {
        ::DeleteCriticalSection(&gSyncLock);
        gSyncLockReady = false;
    }
}

bool CheckSynchronize() {
    if (::GetCurrentThreadId() != MainThreadID || !gSyncLockReady) return false;
    bool ran = false;
    for (;;) {
        SyncRequest* request = nullptr;
        ::EnterCriticalSection(&gSyncLock);
        if (!gSyncQueue.empty()) {
            request = gSyncQueue.front();
            gSyncQueue.pop_front();
        }
        if (gSyncQueue.empty()) ::ResetEvent(gSyncEvent);
        ::LeaveCriticalSection(&gSyncLock);
        if (!request) break;
        try {
            request->Method();
        } catch (...) {
            request->Error = std::current_exception();
        }
        ran = true;
        ::SetEvent(request->Done);
    }
    return ran;
}

bool WaitServingMainThread(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    const bool mainThread = ::GetCurrentThreadId() == MainThreadID;
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD left = timeoutMs == INFINITE ? INFINITE : (elapsed >= timeoutMs ? 0 : timeoutMs - elapsed);
        if (!mainThread) return ::WaitForSingleObject(handle, left) == WAIT_OBJECT_0;
        HANDLE handles[2] = {handle, gSyncEvent};
        const DWORD count = gSyncEvent ? 2 : 1;
        const DWORD r = ::MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r == WAIT_OBJECT_0 + 1 && count == 2) {
            CheckSynchronize();
        } else if (r == WAIT_OBJECT_0 + count) {
            // Messages sent from other threads are delivered by a peek.
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (r == WAIT_TIMEOUT) {
            return false;
        } else if (r == WAIT_FAILED) {
            return false;
        }
    }
}

TThread::TThread(bool CreateSuspended) : FSuspended(true) {
    EnsureSyncState();
    unsigned id = 0;
    FHandle = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id));
    if (!FHandle) throw EOutOfResources(u"Thread creation error: " + IntToStr(static_cast<Int64>(::GetLastError())));
    FThreadID = id;
    if (!CreateSuspended) Resume();
}

TThread::~TThread() {
    if (FHandle) {
        // A thread freeing itself at its end has nothing to wait for.
        if (::GetCurrentThreadId() != FThreadID) {
            if (!FFinished) Terminate();
            if (FSuspended) Resume();
            WaitFor();
        }
        ::CloseHandle(FHandle);
        FHandle = nullptr;
    }
}

void TThread::Resume() {
    if (!FSuspended) return;
    FSuspended = false;
    ::ResumeThread(FHandle);
}

int TThread::WaitFor() {
    WaitServingMainThread(FHandle, INFINITE);
    return ReturnValue;
}

bool TThread::WaitFor(DWORD timeoutMs) { return WaitServingMainThread(FHandle, timeoutMs); }

void TThread::Synchronize(TThread*, TThreadMethod Method) {
    if (!Method) return;
    if (::GetCurrentThreadId() == MainThreadID || MainThreadID == 0) {
        Method();
        return;
    }
    SyncRequest request;
    request.Method = Method;
    request.Done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!request.Done) throw EOutOfResources(u"Cannot create a synchronisation event");
    ::EnterCriticalSection(&gSyncLock);
    gSyncQueue.push_back(&request);
    ::SetEvent(gSyncEvent);
    ::LeaveCriticalSection(&gSyncLock);
    if (WakeMainThread) WakeMainThread();
    ::WaitForSingleObject(request.Done, INFINITE);
    ::CloseHandle(request.Done);
    if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize(TThreadMethod::Of<&TThread::CallOnTerminate>(this));
}

void TThread::CallOnTerminate() {
    if (OnTerminate) OnTerminate(this);
}

unsigned __stdcall TThread::ThreadProc(void* parameter) {
    auto* thread = static_cast<TThread*>(parameter);
    try {
        if (!thread->FTerminated) thread->Execute();
    } catch (...) {
        thread->FFatalException = std::current_exception();
    }
    const bool freeOnTerminate = thread->FreeOnTerminate;
    const unsigned result = static_cast<unsigned>(thread->ReturnValue);
    thread->FFinished = true;
    try {
        thread->DoTerminate();
    } catch (...) {
    }
    if (freeOnTerminate) delete thread;
    return result;
}
