// An in-memory dialog template for tests: a dialog of the system's dialog
// class ("#32770") with child windows of any class, made modeless with
// CreateDialogIndirectParamW.
#pragma once

#include <vector>

#include "WinApi.h"

namespace harness {

class DialogTemplate {
public:
    DialogTemplate(DWORD style, const wchar_t* title, short cx = 200, short cy = 120) {
        Dword(style);
        Dword(0);
        FCountIndex = FWords.size();
        FWords.push_back(0);
        for (short v : {short(10), short(10), cx, cy}) FWords.push_back(static_cast<WORD>(v));
        FWords.push_back(0);   // no menu
        FWords.push_back(0);   // the system's dialog class
        Str(title);
    }
    // A child (WS_CHILD and WS_VISIBLE are added) at x, y in dialog units.
    DialogTemplate& Item(const wchar_t* cls, DWORD style, WORD id, short x, short y, short cx, short cy,
                         const wchar_t* text = L"") {
        if (FWords.size() % 2) FWords.push_back(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (short v : {x, y, cx, cy}) FWords.push_back(static_cast<WORD>(v));
        FWords.push_back(id);
        Str(cls);
        Str(text);
        FWords.push_back(0);   // no creation data
        ++FWords[FCountIndex];
        return *this;
    }
    HWND Create(HWND owner = nullptr) const {
        return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEW>(FWords.data()), owner, &Proc, 0);
    }

private:
    static INT_PTR CALLBACK Proc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
    void Dword(DWORD v) {
        FWords.push_back(LOWORD(v));
        FWords.push_back(HIWORD(v));
    }
    void Str(const wchar_t* s) {
        while (*s) FWords.push_back(static_cast<WORD>(*s++));
        FWords.push_back(0);
    }
    std::vector<WORD> FWords;
    std::size_t FCountIndex = 0;
};

}  // namespace harness
