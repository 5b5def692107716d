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
// Called on this thread each time an attached dispatch returns (the forms
// unit frees released objects that have become free).
extern void (*DispatchReturnedHook)();
