// The desktop window manager, reached at run time: DWMAPI.DLL is loaded the
// first time an operation needs it (never below Windows 6, which has none),
// each entry point is looked up on its first use and kept, and the library
// is freed when the form skinner's unit ends (acDwmFinalization). Every
// operation goes through one small system facade that tests replace with a
// fake (SetDwmSystem). Missing pieces make the operations answer False,
// E_NOTIMPL or do nothing. Main thread only.
#pragma once

#include "Types.h"
#include "WinApi.h"

// What the DWM helpers ask of the system.
class TacDwmSystem {
public:
    virtual ~TacDwmSystem() = default;
    // The major version of Windows (6 is Vista, the first with the DWM).
    virtual DWORD MajorVersion() = 0;
    // DWMAPI.DLL, or nullptr when it cannot be loaded.
    virtual HMODULE Load() = 0;
    virtual void Free(HMODULE Library) = 0;
    // An entry point of the library by name; nullptr when missing.
    virtual FARPROC EntryPoint(HMODULE Library, const char* Name) = 0;
};

// Puts a facade in place of the current one (nullptr: the real system's)
// and answers the one it replaces (nullptr when that was the real one).
// The library of the replaced facade is freed and every entry point
// forgotten first, so the next operation starts afresh with the new one.
// The caller keeps the facade alive while it is in use.
TacDwmSystem* SetDwmSystem(TacDwmSystem* System);

// The entry points, as the system declares them.
using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL* Enabled);
using TDwmSetWindowAttribute = HRESULT(WINAPI*)(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size);
struct TacDwmBlurBehind {
    DWORD dwFlags;
    BOOL fEnable;
    HRGN hRgnBlur;
    BOOL fTransitionOnMaximized;
};
using TDwmEnableBlurBehindWindow = HRESULT(WINAPI*)(HWND Wnd, const TacDwmBlurBehind* BlurBehind);

constexpr DWORD DWMWA_TRANSITIONS_FORCEDISABLED_ = 3;
constexpr DWORD DWM_BB_ENABLE_ = 1;
constexpr DWORD DWM_BB_BLURREGION_ = 2;

// Loads the library on the first call (once: a failed load is not tried
// again until the unit ends) and answers its handle, nullptr without one.
HMODULE LoadDwmLibrary();
// Desktop composition is on: Windows 6 or later and DwmIsCompositionEnabled
// answers S_OK with a non-zero flag.
bool IsAeroEnabled();
// DwmSetWindowAttribute's answer; E_NOTIMPL without the library or the
// entry point. Its first look-up also looks up DwmEnableBlurBehindWindow.
HRESULT DwmSetAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size);
// Under composition: the window's animated transitions off (Flag) or on.
void SetDwmTransitionsDisabled(HWND Wnd, bool Flag);
// Once the library is loaded: blur behind the window on or off, limited to
// Region when one is given.
void EnableBlurBehind(HWND Wnd, bool Enable, HRGN Region = nullptr);

// Frees the library and forgets every entry point.
void acDwmFinalization();
