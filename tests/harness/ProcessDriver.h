// Drives another program the way a user does: starts it as its own process,
// finds its windows, reads them across the process boundary and sends real
// mouse and keyboard input through SendInput.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "WinApi.h"

namespace harness {

// The folder of the running test program, with its trailing backslash.
std::wstring ModuleFolder();

// A program started by a test. The destructor ends it if it still runs, so
// no process outlives the test that started it.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program with its own folder as working directory and the
    // arguments after its name on the command line. False when it cannot be
    // started (GetLastError tells why).
    bool Start(const std::wstring& exePath, const std::wstring& arguments = {});
    bool Started() const { return FInfo.hProcess != nullptr; }
    bool Running() const;
    HANDLE Handle() const { return FInfo.hProcess; }
    DWORD Id() const { return FInfo.dwProcessId; }

    // Waits until the program has ended; true, with its exit code, when it
    // ended within timeoutMs.
    bool WaitForExit(int timeoutMs, DWORD& exitCode) const;
    // Ends the program at once (when it still runs) and waits for it.
    void Kill();

    // Waits for a visible top-level window of this program with the given
    // class; nullptr when none shows within timeoutMs or the program ends.
    HWND WaitForWindow(const wchar_t* className, int timeoutMs) const;

private:
    PROCESS_INFORMATION FInfo = {};
};

std::wstring ClassNameOf(HWND wnd);
// A visible top-level window of the class in the process; nullptr when it
// has none.
HWND VisibleTopWindowOf(DWORD processId, const wchar_t* className);
// The window's text by WM_GETTEXT (which the system carries across
// processes); "" when the window does not answer within timeoutMs.
std::wstring TextOf(HWND wnd, int timeoutMs = 5000);
// All descendants of root (children, their children, ...) of the class.
std::vector<HWND> FindDescendants(HWND root, const wchar_t* className);
// The window's rectangle in the client coordinates of its parent.
RECT BoundsInParent(HWND wnd);
// The centre of the window's rectangle, in screen coordinates.
POINT CentreOf(HWND wnd);
// The first of the windows whose left edge lies at left in its parent, and
// the first whose text is caption; nullptr when none is.
HWND AtLeft(const std::vector<HWND>& windows, int left);
HWND WithCaption(const std::vector<HWND>& windows, const std::wstring& caption);

// The simple-mode text of a status bar in another process. WM_GETTEXT does
// not return it and SB_GETTEXTW writes through a pointer that the system
// does not carry across processes, so the text is fetched into a buffer
// allocated in that process and read back from there. False when the bar
// does not answer or the other process's memory cannot be used.
bool ReadStatusBarText(HANDLE process, HWND statusBar, std::wstring& text);

// Real input. Moves the pointer to the screen point, waits until it is
// there, then presses and releases the left button: the click goes to the
// window under the pointer, as a user's would. False when the input could
// not be sent or the pointer did not arrive within timeoutMs.
bool ClickAt(POINT screenPoint, int timeoutMs = 5000);
// Moves the pointer to the screen point and waits until it is there.
bool MoveMouseTo(POINT screenPoint, int timeoutMs = 5000);
// Presses (down) or releases the left button where the pointer is.
bool LeftButton(bool down);
// Types the text as key presses of its characters (KEYEVENTF_UNICODE); they
// go to the window that has the keyboard focus.
bool TypeUnicode(const std::wstring& text);

// Input events to send together: a mouse event of the given flags (where
// the pointer is) and a key going down or up.
INPUT MouseInput(DWORD flags);
INPUT KeyInput(WORD vk, bool up);
// Sends the events in order; false when not all of them went.
bool SendInputs(std::initializer_list<INPUT> inputs);
// Presses and releases the key, then sleeps pauseMs so that the window
// with the focus sees it before the next input (no dispatching: call it on
// an input thread, or where another process takes the keys).
bool TapKey(WORD vk, int pauseMs);

// Runs input on a second thread while this thread dispatches (and runs any
// modal loop the input starts, a menu's for one); then lets the queue
// settle.
void RunInputThread(const std::function<void()>& input);

}  // namespace harness
