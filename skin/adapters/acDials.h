// The window-creation hook: windows the program did not build through
// skinned classes are skinned when they are created or activated. A form of
// the application without a skin provider gets one made at run time, owned
// by the form through a TacProvider; a standard dialog ("#32770": the open,
// save, font and find dialogs, message boxes) gets a TacProvider that puts
// the dialog adapter on it and an adapter, chosen by window class, on each
// of its children; a popup menu ("#32768") gets the menu window adapter.
//
// Adapters are made by class name through the adapter factory (acSBUtils);
// a class not registered there means no adapter. Win32, main thread only.
#pragma once

#include <vector>

#include "Classes.h"
#include "Messages.h"
#include "WinApi.h"

class TCustomForm;
class TsSkinProvider;
class TacDialogWnd;
class TacMainWnd;

class TacProvider : public TComponent {
public:
    KES_CLASS_NAME(TacProvider)
    explicit TacProvider(TComponent* AOwner);
    // A form provider only clears its slot (the run-time skin provider
    // belongs to the form); a dialog provider frees its adapters.
    ~TacProvider() override;

    // Gives the form a skin provider made at run time and repaints it.
    void InitForm(TCustomForm* Form);
    // Skins the dialog aHandle: the dialog adapter, the requested position of
    // a message box, the children's adapters. False when the children could
    // not all be adapted (the slot in HookProviders is cleared then).
    bool InitSkin(HWND aHandle);
    // Adapts every descendant of hWnd that has no adapter yet, deepest
    // first, in z-order.
    bool InitHwndControls(HWND hWnd);
    // The adapter of one child window by its class; false only for no window.
    bool AddControl(HWND aHwnd);
    // Paints every child window of hWnd into DC at its place (for the form
    // animations). Answers false.
    bool PrintHwndControls(HWND hWnd, HDC DC);

    TCustomForm* FForm = nullptr;
    bool BiDiLeft = false;
    HWND CtrlHandle = nullptr;
    TsSkinProvider* sp = nullptr;           // owned by the form
    TacDialogWnd* ListSW = nullptr;         // the dialog adapter (owned)
    std::vector<TacMainWnd*>* acSkinnedCtrls = nullptr;   // the children's adapters (owned)
};

// The adapter a dialog's child window gets by its class (in lower case) and
// styles: the adapter class's name for the factory (nullptr: none) and its
// section. The type codes of statics (style AND 0x1F) and buttons (style AND
// 0xF) are compared as codes, not as bits: an owner-drawn button is no check
// box, a simple static is no picture.
struct TacChildAdapter {
    const char16_t* ClassName = nullptr;
    const char16_t* Section = nullptr;
    // Made with Repaint only when the dialog adapter has a cached image.
    bool RepaintWithDialogCache = false;
    // The dialog adapter must let WM_PAINT through before this one is made.
    bool ClearsPaintForbidden = false;
};
TacChildAdapter ChildAdapterOf(StringView LowerClass, DWORD Style, DWORD ExStyle);

// The hook procedure (WH_CBT) the default manager installs.
LRESULT CALLBACK CBTHookProc(int Code, WPARAM wParam, LPARAM lParam);

// Decides whether the window gets skinned and skins it; true when a
// provider was made for it. CreateStruct may be null.
bool SkinNewWindow(HWND Handle, const CREATESTRUCTW* CreateStruct);

// Gives every visible form of the application the step its activation
// would give it under the hook (SkinNewWindow), so that forms shown before
// the hook came with the first skin follow the skin at once.
void SkinShownForms();

// Every provider SkinNewWindow made; a released one leaves an empty slot.
std::vector<TacProvider*>& HookProviders();
// The popup-menu window adapters the hook made.
std::vector<TacMainWnd*>& HookedMenuWindows();

// While this many windows of the hook's providers are visible, a further
// dialog is skinned only when it holds a tool bar.
constexpr int MaxSkinnedDialogs = 2;

// Puts the dialog adapter on Handle (a detached one is made anew), or, with
// no active default manager, frees it.
void AttachDialogAdapter(HWND Handle, TacDialogWnd*& Adapter);
// Frees the providers whose dialog has gone. One whose dialog still exists
// or one of whose adapters is inside a call is freed later, from a posted
// message.
void FreeDestroyedProviders();
// The dialog adapter has let go of its dialog: makes sure its provider is
// freed soon (from a posted message) even when no further window is
// destroyed.
void ScheduleProviderRelease();
// Frees the popup-menu window adapters (also when a skin is removed).
void ClearMenuWindows();
// Sends Message to every direct child window of Handle, in z-order.
void SendToChildWindows(HWND Handle, TMessage& Message);
// The window's class name (up to 128 characters).
String GetWndClassName(HWND Handle);

// The unit's end: frees what the hook made.
void acDialsFinalization();
