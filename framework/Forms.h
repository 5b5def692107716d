// The application object, the screen and forms.
#pragma once

#include <exception>
#include <memory>
#include <vector>

#include "Controls.h"
#include "StdCtrls.h"

class TCustomForm;
class TMainMenu;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TDelegate<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TDelegate<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = TDelegate<void(TObject* Sender, const std::exception& E)>;
using TIdleEvent = TDelegate<void(TObject* Sender, bool& Done)>;
// A hook on the application window: true when it handled the message (its
// Result is then the answer).
using TWindowHook = TDelegate<bool(TMessage& Message)>;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;

// One display monitor. What it answers is read from the system at each call,
// so a changed work area shows at once.
class TMonitor {
public:
    explicit TMonitor(HMONITOR handle) : FHandle(handle) {}
    HMONITOR Handle() const { return FHandle; }
    // The monitor's rectangle, and the part of it that the taskbar and
    // docked tool bars leave free, in screen coordinates.
    TRect BoundsRect() const;
    TRect WorkareaRect() const;
    bool Primary() const;
    int Left() const { return BoundsRect().Left; }
    int Top() const { return BoundsRect().Top; }
    int Width() const { return BoundsRect().Width(); }
    int Height() const { return BoundsRect().Height(); }

private:
    HMONITOR FHandle;
};

// The window styles of a form's border style and border icons: the style
// bits and extended style bits that the two decide (the rest of a window's
// styles is left as it is when they change on a live window).
struct TFormFrameStyles {
    DWORD Style = 0;
    DWORD ExStyle = 0;
    static constexpr DWORD StyleMask =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    // (The system adds WS_EX_WINDOWEDGE itself to every window with a caption.)
    static constexpr DWORD ExStyleMask = WS_EX_TOOLWINDOW | WS_EX_CONTEXTHELP | WS_EX_DLGMODALFRAME;
};
TFormFrameStyles FormFrameStyles(TFormBorderStyle BorderStyle, TBorderIcons BorderIcons);

// A form: a top-level window that holds controls. Forms are built in code by
// overriding CreateComponents (run with csLoading set, followed by Loaded on
// every component), after which OnCreate fires.
class TCustomForm : public TWinControl {
public:
    KES_CLASS_NAME(TCustomForm)
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    void Show();
    // Shows the form without activating it: the active window stays as it is.
    void ShowNoActivate();
    void Hide() { SetVisible(false); }
    void Close();
    // Ends the form after the current message has been handled.
    void Release();
    bool CloseQuery();

    bool Showing() const override { return FShowing; }
    void SetClientSize(int w, int h) override;
    RECT ClientRect() override;
    void SetClientWidth(int w);
    void SetClientHeight(int h);

    // The frame. Writing the fields before the window exists is enough; on a
    // live window the setters change its styles and redraw the frame.
    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
    TBorderIcons BorderIcons{biSystemMenu, biMinimize, biMaximize};
    void SetBorderStyle(TFormBorderStyle value);
    void SetBorderIcons(TBorderIcons value);
    // An inner border of this many pixels, in the form's colour, between the
    // frame and the client area (the client area is that much smaller).
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    // Extended styles added to the window when it is created (helper windows
    // such as covers that must never take the activation).
    DWORD ExtraExStyle = 0;
    // The window that owns the form's window (the application window when
    // none is set); set on a live window, the owner changes at once.
    HWND OwnerWindow() const { return FOwnerWindow; }
    void SetOwnerWindow(HWND value);
    // Translucency of the whole window: a layered window of constant alpha.
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool value);
    Byte AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(Byte value);
    // The monitor that holds the largest part of the form.
    TMonitor* Monitor();
    // The form paints itself through OnPaint on Canvas, whose DC is the
    // paint DC during WM_PAINT. A caller may bind the canvas to another DC
    // (SetHandle, with the canvas locked) to run OnPaint into it, and must
    // put the previous handle back afterwards.
    TCanvas* Canvas() const { return FCanvas; }
    TNotifyEvent OnPaint;
    // The form's own icon (empty: the window class's icon). The window gets
    // it as its big and small icon when it is created and on every change.
    TIcon* Icon() const { return FIcon; }
    void SetIcon(TIcon* value) { FIcon->Assign(value); }
    TPosition Position = TPosition::poDesigned;
    // fsStayOnTop keeps the form's window above every window that is not topmost.
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle value);
    bool KeyPreview = false;
    TWindowState WindowState() const;
    void SetWindowState(TWindowState value);

    // The form's main menu (nullptr: none); cleared when the menu is freed.
    // The menu line shows it while the form has a window (not for bsDialog
    // forms nor auto-merging menus).
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* value);

    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* control);
    bool Active() const { return FActive; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void Dispatch(TMessage& Message) override;
    // The active control gets the wheel first (see TControl).
    void MouseWheelHandler(TMessage& Message) override;

protected:
    // The form's designer output: creates and sets up its components.
    virtual void CreateComponents() {}
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoCreate();
    virtual void DoClose(TCloseAction& Action);
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyUp(Word& Key, TShiftState Shift) override;
    // Lays the form out again and tells OnResize on every size change.
    virtual void WMSize(TMessage& Message);
    // Runs OnPaint with the canvas on the paint DC.
    virtual void Paint();
    void PaintWindow(HDC DC) override;

private:
    void UpdateFormShowing();
    void ApplyPendingClientSize();
    void ApplyFrameStyles();
    void ApplyLayeredAttributes();
    void WMNCCalcSize(TMessage& Message);
    void WMNCPaint(TMessage& Message);
    void IconChanged(TObject* Sender);
    void ApplyIcon();
    // Puts the main menu on the window (and takes it off before the window
    // goes, so that the system does not destroy the menu's handle).
    void AttachMenu();
    void DetachMenu();

    TWinControl* FActiveControl = nullptr;
    TMainMenu* FMenu = nullptr;
    bool FActive = false;
    int FPendingClientWidth = -1;
    int FPendingClientHeight = -1;
    TWindowState FWindowState = TWindowState::wsNormal;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    bool FShowNoActivate = false;
    int FBorderWidth = 0;
    HWND FOwnerWindow = nullptr;
    bool FAlphaBlend = false;
    Byte FAlphaBlendValue = 255;
    bool FLayeredByAlphaBlend = false;
    TCanvas* FCanvas = nullptr;
    TIcon* FIcon = nullptr;

    friend class TApplication;
};

class TForm : public TCustomForm {
public:
    KES_CLASS_NAME(TForm)
    using TCustomForm::TCustomForm;
};

class TScreen : public TComponent {
public:
    KES_CLASS_NAME(TScreen)
    explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}

    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int index) const { return FForms.at(static_cast<std::size_t>(index)); }
    TCustomForm* ActiveForm() const;

    // While not crDefault, every window of the program shows this cursor.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);

    int Width() const { return ::GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return ::GetSystemMetrics(SM_CYSCREEN); }

    // The monitor objects (the screen keeps them): of a window or a point,
    // the nearest one when it lies on none.
    TMonitor* MonitorFromWindow(HWND wnd);
    TMonitor* MonitorFromPoint(TPoint p);
    TMonitor* MonitorFromRect(const TRect& r);

private:
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    TMonitor* MonitorOf(HMONITOR handle);
    std::vector<TCustomForm*> FForms;
    std::vector<std::unique_ptr<TMonitor>> FMonitors;
    TCursor FCursor = crDefault;
    friend class TCustomForm;
};

class TApplication : public TComponent {
public:
    KES_CLASS_NAME(TApplication)
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    void Initialize();
    // Creates a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& reference) {
        reference = New<T>(this);
        if (!FMainForm) FMainForm = reference;
    }
    // Shows the main form and runs the message loop until Terminate.
    void Run();
    // Dispatches everything queued, then returns.
    void ProcessMessages();
    // Dispatches one message, or waits for one after the idle work.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    void Minimize();
    void Restore();

    // Call from inside a catch block: hands the exception to OnException or
    // shows it in a message box.
    void HandleException(TObject* Sender);
    void ShowException(const std::exception& E);

    HWND Handle();
    TCustomForm* MainForm() const { return FMainForm; }
    String Title = u"Kestrune";
    // Whether the controls' hints may show (controls switch it off while
    // they animate a press).
    bool ShowHint = true;
    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    // Told when a form of the program comes back from being minimized.
    TNotifyEvent OnRestore;

    // Frees the component once no dispatch of it (or of what it owns) is on
    // the stack any more: never inside a message loop that one of its
    // handlers runs.
    void ReleaseLater(TComponent* component);
    // Posts CM_RELEASE when a released component has become free (called
    // each time an attached window's dispatch returns).
    void ReleasedMayBeFree();
    // The application window's messages go to WindowProc (by default
    // WndProc); a hook chains itself in there like any WindowProc subclasser.
    TWndMethod WindowProc;
    // Hooks see every message of the application window first, the latest
    // first. Hooking twice adds nothing; unhooking takes the hook out of the
    // chain (when another hook went on top since, the hook stays in the chain
    // and only passes messages on).
    void HookMainWindow(TWindowHook Hook);
    void UnhookMainWindow(TWindowHook Hook);
    bool HandleAllocated() const { return FHandle != nullptr; }
    // The control under the mouse, as last told by CM_MOUSEENTER.
    TControl* MouseControl() const { return FMouseControl; }
    void ControlDestroyed(TControl* control);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool ProcessMessage(MSG& msg);
    void Idle();
    void DoMouseIdle();
    void FreeReleased();
    void WndProc(TMessage& Message);
    void MainWndMethod(TMessage& Message) { WindowProc(Message); }

    // One hook in the application window's WindowProc chain.
    struct THookLink {
        TWindowHook Hook;
        TWndMethod Previous;
        bool Removed = false;
        void WndProc(TMessage& Message) {
            if (!Removed && Hook(Message)) return;
            if (Previous) Previous(Message);
        }
    };

    HWND FHandle = nullptr;
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    bool FRunning = false;
    TControl* FMouseControl = nullptr;
    std::vector<TComponent*> FReleased;
    bool FReleasePosted = false;
    // Links stay alive until the application ends: a link that was taken out
    // while under another hook is still called.
    std::vector<THookLink*> FHookLinks;
};

extern TApplication* Application;
extern TScreen* Screen;

// Start-up and shut-down of the forms unit (creates and frees Application
// and Screen; shut-down frees every form with its controls).
void FormsInitialization();
void FormsFinalization();

// Modeless dialogs (a find dialog, say) get their keyboard handling from the
// message loop while registered.
void RegisterModelessDialog(HWND dialog);
void UnregisterModelessDialog(HWND dialog);

// The form a control belongs to: with TopForm the top of its parent chain
// (nullptr when that is not a form), else the nearest form in the chain
// (the control itself when it is one).
TCustomForm* GetParentForm(TControl* control, bool TopForm = true);

// A hint: a borderless topmost tool window in the info colours that shows
// one text (wrapped at the width it was measured for) and never takes the
// activation. Its window is owned by the application window.
class THintWindow : public TCustomControl {
public:
    KES_CLASS_NAME(THintWindow)
    explicit THintWindow(TComponent* AOwner);
    // The window rectangle (at 0, 0) that shows AHint with lines at most
    // MaxWidth pixels wide.
    virtual TRect CalcHintRect(int MaxWidth, const String& AHint);
    // Gives the window the text and the screen rectangle, puts it above
    // every window and shows it without activating it.
    virtual void ActivateHint(const TRect& Rect, const String& AHint);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void Dispatch(TMessage& Message) override;
};

// A frame: a scrolling container built like a form (its components made by
// CreateComponents with csLoading set, then Loaded), placed on a form or
// another container as a child.
class TCustomFrame : public TScrollingWinControl {
public:
    KES_CLASS_NAME(TCustomFrame)
    using TScrollingWinControl::TScrollingWinControl;
    void AfterConstruction() override;

protected:
    virtual void CreateComponents() {}
};

class TFrame : public TCustomFrame {
public:
    KES_CLASS_NAME(TFrame)
    using TCustomFrame::TCustomFrame;
};
