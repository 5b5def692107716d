#include "WindowAttach.h"

#include <algorithm>

#include "Controls.h"

void (*DispatchReturnedHook)() = nullptr;

namespace {

const wchar_t kAttachProp[] = L"KestruneAttachment";

struct Attachment {
    const void* Object = nullptr;
    TWndMethod Method;
    bool Detached = false;
};

// The attachments of one window, the latest last.
struct WindowRecord {
    HWND Wnd = nullptr;
    WNDPROC Previous = nullptr;
    std::vector<Attachment> Chain;
    int Depth = 0;
    // The window no longer reaches this record (given back or destroyed);
    // it is freed once Depth is 0.
    bool Released = false;
};

thread_local std::vector<const void*> gActive;

// Objects that end once no dispatch of theirs is on the stack.
struct PendingFree {
    TObject* Object;
    TLiveness Alive;
};
thread_local std::vector<PendingFree> gPendingFree;
thread_local bool gFreeingPending = false;

// Frees the queued objects whose dispatches have all returned.
void FreePendingObjects() {
    if (gFreeingPending || gPendingFree.empty()) return;
    gFreeingPending = true;
    struct Done {
        ~Done() { gFreeingPending = false; }
    } done;
    for (std::size_t i = 0; i < gPendingFree.size();) {
        const PendingFree p = gPendingFree[i];
        if (p.Alive.Alive() && IsDispatching(p.Object)) {
            ++i;
            continue;
        }
        gPendingFree.erase(gPendingFree.begin() + static_cast<std::ptrdiff_t>(i));
        if (p.Alive.Alive()) p.Object->Free();
        // Freeing may have queued or freed others: start over.
        i = 0;
    }
}

WindowRecord* RecordOf(HWND wnd) {
    return wnd ? static_cast<WindowRecord*>(::GetPropW(wnd, kAttachProp)) : nullptr;
}

// The record of a window that the window still reaches.
WindowRecord* LiveRecordOf(HWND wnd) {
    WindowRecord* rec = RecordOf(wnd);
    return rec && !rec->Released ? rec : nullptr;
}

void FreeRecord(WindowRecord* rec) {
    if (RecordOf(rec->Wnd) == rec) ::RemovePropW(rec->Wnd, kAttachProp);
    delete rec;
}

bool RunsSharedProcedure(HWND wnd) {
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)) == &AttachedWndProc;
}

// Index of Object's attachment in the chain (detached ones included while
// Detached is allowed), or -1.
int IndexOf(const WindowRecord& rec, const void* object, bool includeDetached) {
    for (int i = static_cast<int>(rec.Chain.size()) - 1; i >= 0; --i) {
        const Attachment& a = rec.Chain[static_cast<std::size_t>(i)];
        if (a.Object == object && (includeDetached || !a.Detached)) return i;
    }
    return -1;
}

// Runs the message through the chain from index down.
void DispatchFrom(WindowRecord& rec, int index, TMessage& m) {
    for (int i = index; i >= 0; --i) {
        // A copy: the chain may grow inside the call.
        const Attachment a = rec.Chain[static_cast<std::size_t>(i)];
        if (a.Detached || !a.Method) continue;
        TDispatchScope scope(a.Object);
        a.Method(m);
        return;
    }
    m.Result = ::CallWindowProcW(rec.Previous ? rec.Previous : ::DefWindowProcW, rec.Wnd, m.Msg, m.WParam, m.LParam);
}

// Gives the window its previous procedure back when nobody is attached any
// more and the window runs ours (again: a later subclasser may have left).
bool GiveBack(WindowRecord* rec) {
    for (const Attachment& a : rec->Chain)
        if (!a.Detached) return false;
    if (!RunsSharedProcedure(rec->Wnd)) return false;
    ::SetWindowLongPtrW(rec->Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(rec->Previous));
    rec->Released = true;
    return true;
}

// Frees a released record once no dispatch of its window is on the stack.
void FreeIfDone(WindowRecord* rec) {
    if (rec->Released && rec->Depth == 0) FreeRecord(rec);
}

}  // namespace

LRESULT CALLBACK AttachedWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* rec = RecordOf(wnd);
    if (!rec) return ::DefWindowProcW(wnd, msg, wParam, lParam);
    TMessage m;
    m.Msg = msg;
    m.WParam = wParam;
    m.LParam = lParam;
    m.Result = 0;
    ++rec->Depth;
    try {
        DispatchFrom(*rec, static_cast<int>(rec->Chain.size()) - 1, m);
    } catch (...) {
        HandleFrameworkException();
    }
    --rec->Depth;
    if (msg == WM_NCDESTROY)
        rec->Released = true;
    else if (!rec->Released)
        GiveBack(rec);
    FreeIfDone(rec);
    if (DispatchReturnedHook) DispatchReturnedHook();
    return m.Result;
}

void AttachWindow(HWND Wnd, const void* Object, TWndMethod Method, WNDPROC Previous) {
    if (!Wnd || !::IsWindow(Wnd)) throw EOutOfResources(u"Cannot attach to a window that does not exist");
    WindowRecord* rec = LiveRecordOf(Wnd);
    if (!rec) {
        rec = new WindowRecord();
        rec->Wnd = Wnd;
        const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Wnd, GWLP_WNDPROC));
        rec->Previous = Previous ? Previous : current;
        if (!::SetPropW(Wnd, kAttachProp, rec)) {
            delete rec;
            throw EOutOfResources(u"Cannot attach to the window");
        }
        ::SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AttachedWndProc));
    }
    rec->Chain.push_back(Attachment{Object, Method, false});
}

bool DetachWindow(HWND Wnd, const void* Object) {
    WindowRecord* rec = LiveRecordOf(Wnd);
    if (!rec) return false;
    const int index = IndexOf(*rec, Object, false);
    if (index < 0) return false;
    rec->Chain[static_cast<std::size_t>(index)].Detached = true;
    const bool givenBack = GiveBack(rec);
    FreeIfDone(rec);
    return givenBack;
}

void DetachAllFromWindow(HWND Wnd) {
    WindowRecord* rec = LiveRecordOf(Wnd);
    if (!rec) return;
    for (Attachment& a : rec->Chain) a.Detached = true;
    GiveBack(rec);
    FreeIfDone(rec);
}

bool IsWindowAttached(HWND Wnd, const void* Object) {
    const WindowRecord* rec = LiveRecordOf(Wnd);
    return rec && IndexOf(*rec, Object, false) >= 0;
}

bool CallPreviousWndProc(HWND Wnd, const void* Object, TMessage& Message) {
    WindowRecord* rec = RecordOf(Wnd);
    if (!rec) return false;
    // A detached object may still finish the message it was handling.
    const int index = IndexOf(*rec, Object, true);
    if (index < 0) return false;
    ++rec->Depth;
    struct Unwind {
        WindowRecord* Rec;
        ~Unwind() {
            --Rec->Depth;
            FreeIfDone(Rec);
        }
    } unwind{rec};
    DispatchFrom(*rec, index - 1, Message);
    return true;
}

const std::vector<const void*>& ActiveDispatches() { return gActive; }

bool IsDispatching(const void* Object) {
    return Object && std::find(gActive.begin(), gActive.end(), Object) != gActive.end();
}

TDispatchScope::TDispatchScope(const void* Object) { gActive.push_back(Object); }

TDispatchScope::~TDispatchScope() {
    gActive.pop_back();
    if (gPendingFree.empty()) return;
    try {
        FreePendingObjects();
    } catch (...) {
        HandleFrameworkException();
    }
}

bool DeferFreeWhileDispatching(TObject* Object, const TLiveness& Alive) {
    if (!IsDispatching(Object)) return false;
    for (const PendingFree& p : gPendingFree)
        if (p.Object == Object && p.Alive.Alive()) return true;
    gPendingFree.push_back(PendingFree{Object, Alive});
    return true;
}
