#include "DialogAnswer.h"

#include <string_view>
#include <utility>

namespace harness {

namespace {

BOOL CALLBACK CancelDialog(HWND wnd, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(wnd, name, 16);
    if (std::wstring_view(name) == L"#32770") ::PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

DialogAnswer::DialogAnswer(Action action) : FAction(std::move(action)) {
    TCommonDialog::ShownHook = TDialogShownEvent::Of<&DialogAnswer::OnShown>(this);
    FWatchdog = ::SetTimer(nullptr, 0, 20000, &DialogAnswer::Watchdog);
}

DialogAnswer::~DialogAnswer() {
    TCommonDialog::ShownHook = nullptr;
    ::KillTimer(nullptr, FWatchdog);
}

void DialogAnswer::OnShown(TCommonDialog* dialog, HWND wnd) {
    ++Shown;
    Dialog = dialog;
    Wnd = wnd;
    if (FAction) FAction(dialog, wnd);
}

void CALLBACK DialogAnswer::Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &CancelDialog, 0);
}

void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void ChooseFile(HWND dialog, const wchar_t* name) {
    constexpr int kFileNameEdit = 0x0480;    // edt1
    constexpr int kFileNameCombo = 0x047C;   // cmb13
    ::SendMessageW(dialog, CDM_SETCONTROLTEXT, kFileNameEdit, reinterpret_cast<LPARAM>(name));
    ::SendMessageW(dialog, CDM_SETCONTROLTEXT, kFileNameCombo, reinterpret_cast<LPARAM>(name));
    ::SetDlgItemTextW(dialog, kFileNameEdit, name);
    Press(dialog, IDOK);
}

}  // namespace harness
