#include "acDwm.h"

namespace {

class TRealDwmSystem final : public TacDwmSystem {
public:
    DWORD MajorVersion() override {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        return ::GetVersionExW(&info) ? info.dwMajorVersion : 0;
    }
    HMODULE Load() override { return ::LoadLibraryW(L"DWMAPI.DLL"); }
    void Free(HMODULE Library) override { ::FreeLibrary(Library); }
    FARPROC EntryPoint(HMODULE Library, const char* Name) override { return ::GetProcAddress(Library, Name); }
};

TRealDwmSystem gRealSystem;
TacDwmSystem* gSystem = &gRealSystem;

// The unit's state: the library (tried once) and each entry point (looked
// up once).
struct TDwmState {
    HMODULE Library = nullptr;
    bool LibraryTried = false;
    TDwmIsCompositionEnabled IsCompositionEnabled = nullptr;
    bool IsCompositionEnabledLooked = false;
    TDwmSetWindowAttribute SetWindowAttribute = nullptr;
    bool SetWindowAttributeLooked = false;
    TDwmEnableBlurBehindWindow EnableBlurBehindWindow = nullptr;
    bool EnableBlurBehindWindowLooked = false;
};
TDwmState gDwm;

template <class F>
F Lookup(const char* Name) {
    if (!gDwm.Library) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(gSystem->EntryPoint(gDwm.Library, Name)));
}

void LookUpBlurBehind() {
    if (gDwm.EnableBlurBehindWindowLooked || !gDwm.Library) return;
    gDwm.EnableBlurBehindWindowLooked = true;
    gDwm.EnableBlurBehindWindow = Lookup<TDwmEnableBlurBehindWindow>("DwmEnableBlurBehindWindow");
}

}  // namespace

TacDwmSystem* SetDwmSystem(TacDwmSystem* System) {
    acDwmFinalization();
    TacDwmSystem* previous = gSystem == &gRealSystem ? nullptr : gSystem;
    gSystem = System ? System : &gRealSystem;
    return previous;
}

HMODULE LoadDwmLibrary() {
    if (!gDwm.LibraryTried) {
        gDwm.LibraryTried = true;
        // Before Windows 6 there is no desktop window manager to ask.
        if (gSystem->MajorVersion() >= 6) gDwm.Library = gSystem->Load();
    }
    return gDwm.Library;
}

bool IsAeroEnabled() {
    if (gSystem->MajorVersion() < 6 || !LoadDwmLibrary()) return false;
    if (!gDwm.IsCompositionEnabledLooked) {
        gDwm.IsCompositionEnabledLooked = true;
        gDwm.IsCompositionEnabled = Lookup<TDwmIsCompositionEnabled>("DwmIsCompositionEnabled");
    }
    if (!gDwm.IsCompositionEnabled) return false;
    BOOL enabled = FALSE;
    return gDwm.IsCompositionEnabled(&enabled) == S_OK && enabled != FALSE;
}

HRESULT DwmSetAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size) {
    if (!LoadDwmLibrary()) return E_NOTIMPL;
    if (!gDwm.SetWindowAttributeLooked) {
        gDwm.SetWindowAttributeLooked = true;
        gDwm.SetWindowAttribute = Lookup<TDwmSetWindowAttribute>("DwmSetWindowAttribute");
        LookUpBlurBehind();
    }
    if (!gDwm.SetWindowAttribute) return E_NOTIMPL;
    return gDwm.SetWindowAttribute(Wnd, Attribute, Value, Size);
}

void SetDwmTransitionsDisabled(HWND Wnd, bool Flag) {
    if (!IsAeroEnabled()) return;
    const BOOL value = Flag ? TRUE : FALSE;
    DwmSetAttribute(Wnd, DWMWA_TRANSITIONS_FORCEDISABLED_, &value, sizeof(value));
}

void EnableBlurBehind(HWND Wnd, bool Enable, HRGN Region) {
    if (!gDwm.Library) return;
    LookUpBlurBehind();
    if (!gDwm.EnableBlurBehindWindow) return;
    TacDwmBlurBehind blur{};
    blur.dwFlags = Region ? DWM_BB_ENABLE_ | DWM_BB_BLURREGION_ : DWM_BB_ENABLE_;
    blur.fEnable = Enable ? TRUE : FALSE;
    blur.hRgnBlur = Region;
    blur.fTransitionOnMaximized = FALSE;
    gDwm.EnableBlurBehindWindow(Wnd, &blur);
}

void acDwmFinalization() {
    if (gDwm.Library) gSystem->Free(gDwm.Library);
    gDwm = TDwmState();
}
