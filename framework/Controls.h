// Controls: the base of everything that shows on the screen. TControl is
// the windowless base (painted by its parent), TWinControl owns a window.
// Every window the framework makes is attached to its control (WindowAttach)
// and so runs through the one shared window procedure, which calls the
// control's WindowProc.
#pragma once

#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "Messages.h"

class TWinControl;
class TPopupMenu;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Mouse cursors: 0 the class's default, negative numbers the standard shapes.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
// The system cursor of a standard shape (nullptr for crDefault and crNone).
HCURSOR CursorHandle(TCursor cursor);

using TShiftState = Cardinal;
constexpr TShiftState ssShift = 1u << 0;
constexpr TShiftState ssAlt = 1u << 1;
constexpr TShiftState ssCtrl = 1u << 2;
constexpr TShiftState ssLeft = 1u << 3;
constexpr TShiftState ssRight = 1u << 4;
constexpr TShiftState ssMiddle = 1u << 5;
constexpr TShiftState ssDouble = 1u << 6;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TKeyEvent = TDelegate<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = TDelegate<void(TObject* Sender, Char& Key)>;
using TMouseEvent = TDelegate<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TDelegate<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Control state bits.
using TControlState = Cardinal;
constexpr TControlState csLButtonDown = 1u << 0;
constexpr TControlState csClicked = 1u << 1;
constexpr TControlState csFocusing = 1u << 2;
constexpr TControlState csCreating = 1u << 3;
constexpr TControlState csAlignmentNeeded = 1u << 4;
constexpr TControlState csCustomPaint = 1u << 5;
constexpr TControlState csDestroyingHandle = 1u << 6;
constexpr TControlState csReadingState = 1u << 7;
// The control paints a copy of itself (into a bitmap by PaintTo or for its
// parent's image), not onto the screen.
constexpr TControlState csPaintCopy = 1u << 8;

// Control style bits.
using TControlStyle = Cardinal;
constexpr TControlStyle csAcceptsControls = 1u << 0;
constexpr TControlStyle csCaptureMouse = 1u << 1;
constexpr TControlStyle csClickEvents = 1u << 2;
constexpr TControlStyle csOpaque = 1u << 3;
constexpr TControlStyle csSetCaption = 1u << 4;
constexpr TControlStyle csDoubleClicks = 1u << 5;
constexpr TControlStyle csParentBackground = 1u << 6;
constexpr TControlStyle csNoDesignVisible = 1u << 7;

// Which edges of its parent a control keeps its distance to when the parent
// is resized (akLeft and akTop: it stays where it is; akLeft and akRight: it
// stretches; akRight alone: it moves; neither: it keeps its centre).
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

// Whether a press starts dragging the control by itself (dmAutomatic) or
// only when the program asks (dmManual).
enum TDragMode { dmManual, dmAutomatic };

TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyboardStateToShiftState();

class TControl : public TComponent {
public:
    KES_CLASS_NAME(TControl)
    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    void BeforeDestruction() override;

    // Messages: WindowProc is called for every message (by default WndProc);
    // Perform sends a message through it without needing a window.
    TWndMethod WindowProc;
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    virtual void WndProc(TMessage& Message);
    // Runs the control's handler for the message (derived classes override
    // and call the base for what they do not handle); unhandled messages end
    // in DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    virtual RECT ClientRect();
    int ClientWidth() { return ClientRect().right; }
    int ClientHeight() { return ClientRect().bottom; }
    virtual void SetClientSize(int w, int h);
    POINT ClientToScreen(POINT p);
    POINT ScreenToClient(POINT p);
    // Offset of the client area's origin from the control's top-left corner.
    virtual POINT ClientOrigin();

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value);
    // Applies to controls without an Align.
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors value) {
        FAnchors = value;
        FAnchorBaseWidth = -1;
    }

    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    // Visible here and in every parent up to a visible form.
    virtual bool Showing() const;

    TFont* Font() const { return FFont; }
    void SetFont(TFont* value) { FFont->Assign(value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);

    String Caption() const { return GetText(); }
    void SetCaption(const String& value) { SetText(value); }
    virtual String GetText() const;
    virtual void SetText(const String& value);

    TCursor Cursor = crDefault;
    String Hint;
    // Controls that handle presses themselves do so only in dmManual; in
    // dmAutomatic a press is left to the standard handling.
    TDragMode DragMode = dmManual;

    // The DrawText flags for the control's reading order: the framework
    // reads left to right, so the flags stay as they are.
    Cardinal DrawTextBiDiModeFlags(Cardinal Flags) const { return Flags; }

    virtual void Invalidate();
    virtual void Repaint();
    virtual void Update();
    void BringToFront();
    void SendToBack();

    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState s, bool on) { on ? FControlState |= s : FControlState &= ~s; }
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle s) { FControlStyle = s; }
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    // The menu a right click (WM_CONTEXTMENU) opens over the control; nullptr:
    // none, the parent's menu is asked for instead. Cleared when the menu goes.
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    virtual void Click();

    // The wheel turned (CM_MOUSEWHEEL reached the control): true when the
    // control handled it; otherwise the notice goes on to the parent. The
    // default handles nothing.
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    // Where a wheel message (WM_MOUSEWHEEL) of the control goes: as
    // CM_MOUSEWHEEL (wParam and lParam as in WM_MOUSEWHEEL) to its form's
    // active control, or to the control itself when the form has none; from
    // there the notice rises through the parents, the form itself last (where
    // a form skinner may hand it on), until one handles it. Message.Result is
    // 1 when one did.
    virtual void MouseWheelHandler(TMessage& Message);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void Resize();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void DblClick();
    virtual void FontChanged(TObject* Sender);
    void Changed() { Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this)); }
    // Asks the parent to lay out its aligned children again.
    void RequestAlign();
    virtual void VisibleChanging() {}

    // CM_MOUSEENTER and CM_MOUSELEAVE: the control's own notice sets
    // MouseInControl; every notice goes on to the parent with the control it
    // concerns in LParam.
    virtual void CMMouseEnter(TMessage& Message);
    virtual void CMMouseLeave(TMessage& Message);

    void DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Shift);
    void DoMouseUp(TMessage& Message, TMouseButton Button);

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = TAlign::alNone;
    TAnchors FAnchors{akLeft, akTop};
    // The bounds the anchors start from and the parent's client size they
    // belong to (-1: not taken yet), and the bounds the anchors last gave:
    // bounds that differ from those were set by someone else and become the
    // new start.
    RECT FAnchorBase{0, 0, 0, 0};
    int FAnchorBaseWidth = -1, FAnchorBaseHeight = -1;
    RECT FAnchorPlaced{0, 0, 0, 0};
    bool FVisible = true;
    bool FEnabled = true;
    bool FParentFont = true;
    bool FParentColor = true;
    TFont* FFont = nullptr;
    TColor FColor = clWindow;
    String FText;
    TControlState FControlState = 0;
    TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    bool FMouseInControl = false;

private:
    void MouseEnterOrLeave(TMessage& Message, bool entered);
    // WM_CONTEXTMENU: opens PopupMenu at the message's point (the control's
    // middle for the keyboard's request); false without a menu.
    bool ShowPopupMenu(TMessage& Message);

    TPopupMenu* FPopupMenu = nullptr;

    friend class TWinControl;
};

// Parameters of a window about to be created.
struct TCreateParams {
    String Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    WNDCLASSW WindowClass = {};
    String WinClassName;
    String SubClassOf;   // system class whose procedure the window keeps (BUTTON, EDIT, ...)
};

class TWinControl : public TControl {
public:
    KES_CLASS_NAME(TWinControl)
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    void BeforeDestruction() override;

    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    // The window's original class procedure (the superclassed system class's,
    // or DefWindowProc).
    WNDPROC DefWndProc() const { return FDefWndProc; }
    // The control of a window made by the framework, or nullptr.
    static TWinControl* FindControl(HWND wnd);

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<std::size_t>(index)); }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* AControl) const;
    TControl* ControlAtPos(POINT pos, bool allowDisabled, bool allowWinControls = false);

    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    RECT ClientRect() override;
    POINT ClientOrigin() override;
    bool Showing() const override { return FShowing; }
    void Repaint() override;
    void Update() override;
    String GetText() const override;
    void SetText(const String& value) override;

    virtual bool Focused();
    virtual bool CanFocus();
    virtual void SetFocus();
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);
    // Paints through a memory bitmap (background and all) and puts the
    // result on the screen in one copy, so that nothing flickers.
    bool DoubleBuffered = false;
    // The window's Windows style and extended style bits after creation.
    void RecreateWnd();
    // Whether the control shows a three-dimensional (sunken) edge where it
    // has one; a change is told to the control by CM_CTL3DCHANGED.
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);

    // Lays out the aligned children inside Rect (the client area by default).
    void Realign();
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // Paints the control into dc with its top-left corner at (x, y): the
    // client area, or with Frame the whole window, frame included (through
    // WM_PRINT with PRF_NONCLIENT, so that PaintNonClient draws the frame).
    // csPaintCopy is set for the call, and the background is asked for as a
    // copy: WM_ERASEBKGND with the DC in both wParam and lParam.
    void PaintTo(HDC dc, int x, int y, bool Frame = false);
    // Creates the window when the control should show, and shows or hides it.
    void UpdateShowing();

protected:
    void Loaded() override;
    virtual void CreateParams(TCreateParams& Params);
    void CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void CreateHandle();
    virtual void DestroyWnd();
    virtual void DestroyHandle();
    // Runs once the window exists (fonts, texts and states applied).
    virtual void InitializeWnd() {}
    virtual void AlignControls(TControl* AControl, RECT& Rect);
    virtual void PaintWindow(HDC DC);
    // Paints the non-client area (the frame) into DC, whose origin is the
    // window's top-left corner; called for WM_PRINT with PRF_NONCLIENT. The
    // default lets the window's own procedure draw it.
    virtual void PaintNonClient(HDC DC);
    // WM_PRINT: the frame through PaintNonClient, then the client area
    // through WM_PRINTCLIENT at its place in the window.
    virtual void WMPrint(TMessage& Message);
    void PaintHandler(TMessage& Message);
    void PaintControls(HDC DC, TControl* First);

    // The handlers Dispatch calls, one per message (derived controls
    // override the one they change and call the base for the rest).
    virtual void ReflectNotification(TMessage& Message);   // notifications reflected to the child they concern
    virtual void WMPaint(TMessage& Message);
    virtual void WMPrintClient(TMessage& Message);
    virtual void WMEraseBkgnd(TMessage& Message);
    virtual void CNCtlColor(TMessage& Message);
    virtual void WMWindowPosChanged(TMessage& Message);
    virtual void WMSetFocus(TMessage& Message);
    virtual void WMKillFocus(TMessage& Message);
    virtual void CMEnter(TMessage& Message);
    virtual void CMExit(TMessage& Message);
    virtual void WMKeyDown(TMessage& Message);   // and WM_SYSKEYDOWN
    virtual void WMKeyUp(TMessage& Message);     // and WM_SYSKEYUP
    virtual void WMChar(TMessage& Message);
    virtual void WMSetCursor(TMessage& Message);
    virtual void CMInvalidate(TMessage& Message);
    virtual void CMShowingChanged(TMessage& Message);
    virtual void CMVisibleChanged(TMessage& Message);
    virtual void CMEnabledChanged(TMessage& Message);
    virtual void CMFontChanged(TMessage& Message);
    virtual void CMColorChanged(TMessage& Message);
    virtual void CMTextChanged(TMessage& Message);
    virtual void CMFocusChanged(TMessage& Message);
    virtual void WMTextMessage(TMessage& Message);   // WM_GETTEXT, WM_GETTEXTLENGTH, WM_SETTEXT
    virtual void WMMouse(TMessage& Message);         // button and move messages: windowless children get theirs
    // The window owns the bounds while it exists: reads them back from it
    // (in the parent's client coordinates, screen coordinates for a
    // top-level window). Answers whether the size changed.
    bool ReadBoundsFromWindow();
    virtual void ChildShowingChanged() {}
    void UpdateControlState();
    virtual bool DoKeyDown(TMessage& Message);
    virtual bool DoKeyUp(TMessage& Message);
    virtual bool DoKeyPress(TMessage& Message);
    virtual void KeyDown(Word& Key, TShiftState Shift);
    virtual void KeyUp(Word& Key, TShiftState Shift);
    virtual void KeyPress(Char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // Reflects a notification from a child window to that child's control.
    bool DoControlMsg(HWND ControlHandle, TMessage& Message);
    void FontChanged(TObject* Sender) override;
    // Gives the window the control's font (WM_SETFONT).
    virtual void SetWindowFont();

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc = nullptr;
    std::vector<TControl*> FControls;
    bool FShowing = false;
    bool FTabStop = false;
    int FAlignLevel = 0;
    HBRUSH FBrush = nullptr;
    DWORD FCreatedStyle = 0;
    bool FCtl3D = true;

private:
    static LRESULT CALLBACK InitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The control's method on its attached window: calls WindowProc.
    void MainWndMethod(TMessage& Message);
    void DoAlign(TAlign AAlign, RECT& Rect);
    // Moves and sizes the anchored children without an Align by the change
    // of the client size since their bounds were last set from outside.
    void DoAnchors(const RECT& Client);
    void UpdateBrush();

    int FAnchorClientWidth = -1;   // client size at the last layout; -1 before the first
    int FAnchorClientHeight = -1;

    friend class TControl;
};

// A windowed control that paints itself on its Canvas.
class TCustomControl : public TWinControl {
public:
    KES_CLASS_NAME(TCustomControl)
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    TCanvas* Canvas() const { return FCanvas; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;
    TCanvas* FCanvas = nullptr;
};

// A canvas that draws on a control's window: without a DC of its own it
// takes the window's DC when first used, and gives it back by FreeHandle or
// when the canvas goes.
class TControlCanvas : public TCanvas {
public:
    KES_CLASS_NAME(TControlCanvas)
    explicit TControlCanvas(TWinControl* AControl = nullptr) : FControl(AControl) {}
    ~TControlCanvas() override;
    TWinControl* Control() const { return FControl; }
    void SetControl(TWinControl* AControl);
    // Releases the window DC the canvas took (a DC given by SetHandle stays).
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TWinControl* FControl = nullptr;
    HWND FWindow = nullptr;
    HDC FDeviceContext = nullptr;
};

// A windowless control painted by its parent.
class TGraphicControl : public TControl {
public:
    KES_CLASS_NAME(TGraphicControl)
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return FCanvas; }

protected:
    virtual void Paint() {}
    void Dispatch(TMessage& Message) override;
    TCanvas* FCanvas = nullptr;
};

// A hidden window whose messages go to Method (for timers and other
// windowless components). DeallocateHWnd destroys it.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND wnd);

// Told when a control is destroyed (the application forgets it).
extern void (*ControlDestroyedHook)(TControl* control);
// While not crDefault, every framework window shows this cursor (set by the screen).
extern TCursor ScreenCursorOverride;

// The application's shared exception handler for window procedures, timers
// and thread entries (set up by the forms unit).
void HandleFrameworkException();

// The system draws the new (Windows 95 and later) control look: sunken
// client edges stand for Ctl3D borders.
inline bool NewStyleControls = true;

// The window property that marks a window made by the framework.
extern const wchar_t* const kControlProp;
