// Window adapters: objects that take over a window that already exists (a
// plain control of a dialog, a framework control that is not a skinned
// control, or a form driven by a skin provider), see every message of it
// before the window's own handler, paint it from the skin and answer the
// skin command message on its behalf. TacMainWnd is the base of them all.
//
// An adapter attaches in one of three ways, tried in this order:
//  1. a plain window: the adapter is attached to the window itself through
//     the framework's attachment mechanism (AttachWindow);
//  2. a window of a form with a skin provider: the form's WindowProc is taken
//     over;
//  3. a framework control: the control's WindowProc is taken over.
// The window carries the property "ACSBSC" (the adapter) while attached.
// Every release path follows one rule: the old procedure goes back only while
// the adapter's own is still the window's; when something was put over it
// since, the adapter's place in the chain stays and passes every message on
// unchanged, so the later subclasser keeps working.
//
// Adapters are made with New<T>(...) (or through the factory below), which
// runs AfterConstruction: the standard look is saved and the window hooked
// there, where the virtual operations of the derived class are in force.
// An adapter freed inside one of its own messages is deleted when that
// message returns. Win32, main thread only.
#pragma once

#include <vector>

#include "Controls.h"
#include "Messages.h"
#include "Types.h"
#include "sCommonDataWin.h"

class TsSkinManager;
class TacMainWnd;
class TacFormProvider;

// The window property that names the adapter of an attached window.
constexpr wchar_t acAdapterPropName[] = L"ACSBSC";

// Set by the dialog provider while it adapts the children of a standard
// dialog; adapters made meanwhile are in dialog mode.
extern bool DialogModeFlag;
// Set by the form skinner's control adapter while it removes all its
// adapters at once: adapters freed then leave their windows hooked unless
// the manager is removing its skin.
extern bool RemovingAllAdapters;

// Optional system entry points, looked up by the unit's start-up; nullptr
// when the system lacks them (or before start-up).
using TacGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
using TacInitializeFlatSB = BOOL(WINAPI*)(HWND);
using TacUninitializeFlatSB = HRESULT(WINAPI*)(HWND);
extern TacGetScrollBarInfo acGetScrollBarInfo;
extern TacInitializeFlatSB acInitializeFlatSB;
extern TacUninitializeFlatSB acUninitializeFlatSB;
// SetWindowTheme is the window-utility unit's acSetWindowTheme (sVclUtils).

// The adapter of a window (its "ACSBSC" property), or nullptr.
TacMainWnd* AdapterOfWindow(HWND Wnd);

class TacMainWnd : public TLivingObject {
public:
    KES_CLASS_NAME(TacMainWnd)
    // Steps that need no virtual call: the handle, the theme switch, the skin
    // data (borrowed when given, else owned) and its section. Repaint is
    // handed to HookWindow.
    TacMainWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
               bool Repaint = true);
    // Gives the window back (unless already detached): the procedure always,
    // the standard look and the theme unless RemovingAllAdapters is set while
    // the manager keeps its skin.
    void BeforeDestruction() override;
    // Frees owned skin data (borrowed skin data is only forgotten).
    ~TacMainWnd() override;
    // Dialog mode, SaveStdParams, the caption, the hooking (HookWindow) and
    // the owner control's opaque style.
    void AfterConstruction() override;

    // Fields, in declaration order.
    bool DlgMode = false;
    String Caption;
    TRect WndRect{0, 0, 0, 0};
    TSize WndSize{0, 0};
    TPoint WndPos{0, 0};
    TRect ParentRect{0, 0, 0, 0};
    HWND ParentWnd = nullptr;
    TControlStyle OldCtrlStyle = 0;
    TWndMethod OldWndProc;              // ways 2 and 3: the WindowProc taken over
    WNDPROC OldProc = nullptr;          // way 1: the window's procedure before attaching
    HWND CtrlHandle = nullptr;
    TsSkinManager* SkinManager = nullptr;
    TsCommonData* SkinData = nullptr;
    bool DontRepaint = false;
    bool ParamsChanged = false;
    TColor StdColor = 0;
    TColor StdFontColor = 0;
    bool Destroyed = false;
    bool OwnSkinData = false;
    // Way 1: the window procedure the adapter put in (the attachment's
    // shared procedure); nullptr when not attached that way.
    void* NewWndProcInstance = nullptr;
    Integer Tag = 0;

    // Virtual operations, in slot order after the constructor.
    // Records the window's standard look before skinning (empty here).
    virtual void SaveStdParams();
    // Gives the window its standard look back (empty here).
    virtual void RestoreStdParams();
    // Applies the skin's colours and styles; here it only sets ParamsChanged.
    virtual void SetSkinParams();
    // The adapter's message handler.
    virtual void acWndProc(TMessage& Message);

    // Passes a message to what the adapter took over: the saved WindowProc,
    // else the window's chain below the adapter; 0 when there is neither.
    LRESULT CallPrevWndProc(HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam);
    // The same with a whole message (its LParam and Result are updated).
    void CallPrevWndProc(TMessage& Message);

    // The skin data's owner control (nullptr for a bare window).
    TControl* OwnerControl() const;
    // The provider whose form the adapter took over (way 2), else nullptr.
    TacFormProvider* OwnerProvider() const;

    // Gives the window back by the one rule (see the top of this file): the
    // procedure goes back only while the adapter's own is still the window's,
    // else the adapter's place keeps passing messages on; "ACSBSC" is
    // removed. Afterwards the adapter sees no further message. Every release
    // path (ReleaseMainWnd, the scrolling release, Destroy) calls it.
    void UnhookWindow();
    // Switches the system theme back on when creation switched it off (an
    // edit keeps it off while desktop composition is on). Every release path
    // calls it, so a detached window has its theme back.
    void GiveThemeBack();

    // The entry of every message into the adapter: counts the dispatch so
    // that an adapter freed inside its own message is deleted only when the
    // message returns.
    void MainWndMethod(TMessage& Message);

protected:
    // Step 7 of creation: hooks the window. Here HookAdapterWnd; the
    // scrolling adapters hook through their own initialisation.
    virtual void HookWindow(bool Repaint);
    // Whether creation switches the system theme off (given back on
    // destruction). SkinData is nullptr for owned skin data.
    virtual bool ThemeOffAtCreation(TsCommonData* SkinData, const String& SkinSection) const;
    bool CanFreeNow() override;
    // Skin command AC_ENDPARENTUPDATE: a window waiting for its parent reads
    // its wait again from the parent chain and, when the wait is over, is
    // redrawn with its children and frame. False when it was not waiting.
    bool EndParentUpdate();

private:
    friend void HookAdapterWnd(TacMainWnd* Adapter, HWND Handle);
    bool FRepaint = true;
    String FSkinSection;
    // The system theme was switched off at creation (given back on Destroy).
    bool FThemeOff = false;
    // Ways 2 and 3: the link put into the WindowProc (see the source).
    void* FProcLink = nullptr;
};

// Hooks Adapter to Handle in the first way that fits (see the top).
void HookAdapterWnd(TacMainWnd* Adapter, HWND Handle);
// Detaches a non-scrolling adapter (nothing for nullptr); with FreeIt the
// adapter is freed and the variable set to nullptr.
void ReleaseMainWnd(HWND Handle, bool FreeIt, bool Redraw, TacMainWnd*& Adapter);

// Makes the window's frame be laid out and painted again: Full by
// SWP_FRAMECHANGED, else WM_NCPAINT with wParam 1.
void RedrawWndFrame(HWND Handle, bool Full);

// The adapter factory: the class to create is chosen at run time by the
// adapter class's name ("TacEditWnd", ...). A creator makes and completes an
// adapter (New<T>).
using TacAdapterCreator = TacMainWnd* (*)(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                          const String& SkinSection, bool Repaint);
template <class T>
TacMainWnd* CreateAdapterOf(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                            const String& SkinSection, bool Repaint) {
    return New<T>(AHandle, ASkinData, ASkinManager, SkinSection, Repaint);
}
// Registers (or replaces) the creator of an adapter class.
void RegisterAdapterClass(const String& ClassName, TacAdapterCreator Creator);
template <class T>
void RegisterAdapterClass(const String& ClassName) {
    RegisterAdapterClass(ClassName, &CreateAdapterOf<T>);
}
// The creator of a registered class, or nullptr.
TacAdapterCreator FindAdapterClass(const String& ClassName);
// Creates an adapter of a registered class; nullptr when the class is unknown.
TacMainWnd* CreateAdapter(const String& ClassName, HWND AHandle, TsCommonData* ASkinData,
                          TsSkinManager* ASkinManager, const String& SkinSection, bool Repaint);

// Attaches the edit adapter to a skinned memo or rich edit (or frees it when
// the skin data is not skinned); an adapter found detached is recreated.
// Creates the class registered as "TacEditWnd".
void AttachEditAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter);
// The same for scrolling windows ("TacScrollWnd"), with the flat scroll bars
// of the system switched on or off; nothing while the owner control is
// loading, being destroyed or designed.
void AttachScrollAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter);

// Passes Message to the child controls of Control, or without a control to
// the direct child windows of Handle.
void SendCommandTo(TWinControl* Control, HWND Handle, TMessage& Message);
// Sends skin command 25 (lParam 0) to the top window above Handle.
void NotifyTopLevelWindow(HWND Handle);
// The skin data has a manager, a section and a border mask, and the mask has
// more than one image or the section more than one state.
bool HasStateImages(TsCommonData* SkinData);
// Sets a published ordinal property, or reads a published colour property
// (as RGB; 0 when missing), by name when the control has it.
void SetOrdPropIfExists(TObject* Control, const String& Name, Integer Value);
TColor GetColorPropIfExists(TObject* Control, const String& Name);
// The window's rectangle and the parent's (screen coordinates), the parent,
// the window's top-left in the parent's client coordinates and its size.
void GetWindowPosInParent(HWND Handle, HWND& ParentWnd, TRect& WndRect, TPoint& WndPos, TSize& WndSize,
                          TRect& ParentRect);
// One of the system's non-client fonts: 1 caption, 2 small caption, 3 menu,
// 4 status, 5 message; nullptr for another kind or a failing query. The
// caller owns the font.
HFONT CreateSystemFont(Integer Kind);
// The window's text.
String GetWndText(HWND Handle);
// Builds the adapter's cached image when it is stale: the section over the
// parent's background (or, Bordered, a window-coloured fill with a
// one-pixel border) and the disabled look.
void PaintWndCache(TsCommonData* SkinData, HWND Handle, bool Bordered);
// The bordered look of a window in dialog mode: the whole of Cache (W x H)
// filled in the window colour inside a one-pixel frame of the default
// manager's border colour. False, Cache untouched, when there is no such
// colour.
bool PaintBorderedFace(TBitmap* Cache, Integer W, Integer H);
// After a border mask was painted into the cache: fills the corners whose
// mask pixels are the key colour with what lies beneath.
void RepaintWndBorderCorners(TsCommonData* SkinData, Integer State, TacMainWnd* Adapter);

// The unit's start-up (once however often it is entered; looks up the
// optional entry points and registers the adapter classes) and shut-down.
void acSBUtilsInitialization();
void acSBUtilsFinalization();
