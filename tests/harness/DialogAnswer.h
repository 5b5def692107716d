// Answers the framework's common dialogs in tests, through the dialogs'
// shown hook: a test says what a user would do once a dialog is up.
#pragma once

#include <functional>

#include "Dialogs.h"
#include "WinApi.h"

namespace harness {

// Answers the dialogs that show while it lives. A watchdog cancels a dialog
// nobody answers, so that a test fails instead of hanging.
class DialogAnswer {
public:
    using Action = std::function<void(TCommonDialog*, HWND)>;
    explicit DialogAnswer(Action action);
    ~DialogAnswer();
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;
    void SetAction(Action action) { FAction = std::move(action); }

    int Shown = 0;
    HWND Wnd = nullptr;
    TCommonDialog* Dialog = nullptr;

private:
    void OnShown(TCommonDialog* dialog, HWND wnd);
    static void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD);
    Action FAction;
    UINT_PTR FWatchdog = 0;
};

// Presses a dialog's button as a click would.
void Press(HWND dialog, int id);
// Types a file name into an open or save dialog of either kind and confirms.
void ChooseFile(HWND dialog, const wchar_t* name);

}  // namespace harness
