// The application object, the screen and forms.
#pragma once

#include <exception>
#include <vector>

#include "Controls.h"
#include "StdCtrls.h"

class TCustomForm;

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

    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
    TPosition Position = TPosition::poDesigned;
    // fsStayOnTop keeps the form's window above every window that is not topmost.
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle value);
    bool KeyPreview = false;
    TWindowState WindowState() const;
    void SetWindowState(TWindowState value);

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

private:
    void UpdateFormShowing();
    void ApplyPendingClientSize();

    TWinControl* FActiveControl = nullptr;
    bool FActive = false;
    int FPendingClientWidth = -1;
    int FPendingClientHeight = -1;
    TWindowState FWindowState = TWindowState::wsNormal;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    bool FShowNoActivate = false;

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

private:
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    std::vector<TCustomForm*> FForms;
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
    TExceptionEvent OnException;
    TIdleEvent OnIdle;

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
