// Frees a form when a message posted to a window of its own arrives, so that
// a test can have the form go in the middle of a wait or a modal loop (a
// menu's) that the form itself started.
#pragma once

#include "Forms.h"

namespace harness {

class FormFreer {
public:
    explicit FormFreer(TForm* form) : Form(form), FWnd(AllocateHWnd(TWndMethod::Of<&FormFreer::WndProc>(this))) {}
    ~FormFreer() { DeallocateHWnd(FWnd); }
    FormFreer(const FormFreer&) = delete;
    FormFreer& operator=(const FormFreer&) = delete;

    // Posts the message that frees the form once it is dispatched.
    void PostFree() const { ::PostMessageW(FWnd, kFreeMessage, 0, 0); }

    // The form; nullptr once it has been freed.
    TForm* Form;

private:
    static constexpr UINT kFreeMessage = WM_USER + 1;
    void WndProc(TMessage& m) {
        if (m.Msg == kFreeMessage) {
            Form->Free();
            Form = nullptr;
            return;
        }
        m.Result = ::DefWindowProcW(FWnd, m.Msg, m.WParam, m.LParam);
    }
    HWND FWnd;
};

}  // namespace harness
