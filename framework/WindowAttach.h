// Attaching objects to windows. Every window an object handles, whether the
// framework made it or it existed before (a system dialog, a plain EDIT),
// runs through one shared window procedure while an object is attached to
// it. That procedure builds the TMessage, counts the dispatch depth, passes
// the message to the attached object's method and catches whatever escapes
// it into the application's exception handler.
//
// The window's previous procedure is kept per window. Detaching gives it back
// only while the window still runs the shared procedure; when someone
// subclassed the window since, the window stays chained and every message is
// passed on unchanged until WM_NCDESTROY, so the later subclasser keeps
// working. An object that is attached last sees the messages first; a method
// hands a message on with CallPreviousWndProc.
//
// WM_NCDESTROY is the last message an attached object sees; the attachment
// ends with it. Records are freed only once no dispatch of their window is on
// the stack, so an object may detach, or destroy its window, inside one of
// the window's own messages.
#pragma once

#include <vector>

#include "Messages.h"
#include "System.h"

// Attaches Object (the object Method calls; it identifies the attachment) to
// Wnd. Previous is the procedure messages are passed on to at the bottom of
// the chain; nullptr takes the window's current procedure. Previous is used
// only by the first attachment of a window.
void AttachWindow(HWND Wnd, const void* Object, TWndMethod Method, WNDPROC Previous = nullptr);
// Ends Object's attachment to Wnd: it sees no further message. Answers true
// when the window got its previous procedure back, false when a later
// subclasser (or another attached object) keeps the chain in place, or when
// Object was not attached.
bool DetachWindow(HWND Wnd, const void* Object);
// Ends every attachment of the window (before it is destroyed by its owner).
void DetachAllFromWindow(HWND Wnd);
bool IsWindowAttached(HWND Wnd, const void* Object);
// Passes the message on to what lies below Object in Wnd's chain (the next
// attached object, else the window's previous procedure). Answers false,
// leaving the message alone, when Object is not attached to Wnd.
bool CallPreviousWndProc(HWND Wnd, const void* Object, TMessage& Message);
// The shared window procedure of attached windows.
LRESULT CALLBACK AttachedWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The objects whose dispatch is on this thread's stack, innermost last (an
// object appears once for each nested dispatch).
const std::vector<const void*>& ActiveDispatches();
// A dispatch of Object is on this thread's stack.
bool IsDispatching(const void* Object);

// Counts a dispatch of Object for its lifetime. The shared procedure counts
// the dispatches of attached windows; an object entered another way (a
// WindowProc it took over, a tick it forwards) counts its own. Objects whose
// end waits for their dispatches are freed as the last one returns.
class TDispatchScope {
public:
    explicit TDispatchScope(const void* Object);
    ~TDispatchScope();
    TDispatchScope(const TDispatchScope&) = delete;
    TDispatchScope& operator=(const TDispatchScope&) = delete;
};

// The one rule for objects that end themselves (a timer inside its own tick,
// an adapter inside its own window procedure): their CanFreeNow asks this.
// While a dispatch of Object is on the stack, Object is queued (once) and
// freed as soon as the last of them has returned, never from inside a
// nested message loop one of its handlers started; the answer is then true
// and the caller does not free it. Alive is Object's liveness, so that an
// object deleted meanwhile by other means is skipped.
bool DeferFreeWhileDispatching(TObject* Object, const TLiveness& Alive);
// Called on this thread each time an attached dispatch returns (the forms
// unit frees released objects that have become free).
extern void (*DispatchReturnedHook)();
