#include "Controls.h"

#include <algorithm>
#include <map>

#include "Menus.h"
#include "WindowAttach.h"

const wchar_t* const kControlProp = L"KestruneControl";
void (*ControlDestroyedHook)(TControl* control) = nullptr;
TCursor ScreenCursorOverride = crDefault;

namespace {

// The control whose window is being created on this thread: the first
// message of the new window binds the two.
thread_local TWinControl* gCreationControl = nullptr;
// The control whose window is being made, for the whole of CreateWindowEx:
// owner-drawn controls ask their parent for their item size (WM_MEASUREITEM)
// before the parent can find them by their id.
thread_local TWinControl* gControlInCreation = nullptr;

// Registered window classes and the procedure of the system class each one
// extends.
std::map<String, WNDPROC>& RegisteredClasses() {
    static std::map<String, WNDPROC> classes;
    return classes;
}

}  // namespace

HCURSOR CursorHandle(TCursor cursor) {
    const wchar_t* id = nullptr;
    switch (cursor) {
    case crArrow: id = MAKEINTRESOURCEW(32512); break;
    case crCross: id = MAKEINTRESOURCEW(32515); break;
    case crIBeam: id = MAKEINTRESOURCEW(32513); break;
    case crSizeNESW: id = MAKEINTRESOURCEW(32643); break;
    case crSizeNS: id = MAKEINTRESOURCEW(32645); break;
    case crSizeNWSE: id = MAKEINTRESOURCEW(32642); break;
    case crSizeWE: id = MAKEINTRESOURCEW(32644); break;
    case crUpArrow: id = MAKEINTRESOURCEW(32516); break;
    case crHourGlass: id = MAKEINTRESOURCEW(32514); break;
    case crNo: id = MAKEINTRESOURCEW(32648); break;
    case crAppStart: id = MAKEINTRESOURCEW(32650); break;
    case crHandPoint: id = MAKEINTRESOURCEW(32649); break;
    case crSizeAll: id = MAKEINTRESOURCEW(32646); break;
    default: return nullptr;
    }
    return ::LoadCursorW(nullptr, id);
}

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardStateToShiftState() {
    TShiftState s = 0;
    if (::GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (::GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
    if (::GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
    if (::GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
    if (::GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
    return s;
}

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    WindowProc = TWndMethod::Of<&TControl::WndProc>(this);
    FFont = new TFont();
    FFont->OnChange = TNotifyEvent::Of<&TControl::FontChanged>(this);
}

TControl::~TControl() {
    if (ControlDestroyedHook) ControlDestroyedHook(this);
    if (FParent) FParent->RemoveControl(this);
    delete FFont;
}

void TControl::BeforeDestruction() {
    TComponent::BeforeDestruction();
    if (FParent) FParent->RemoveControl(this);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m;
    m.Msg = Msg;
    m.WParam = WParam;
    m.LParam = LParam;
    m.Result = 0;
    if (WindowProc) WindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message) {
    // A control that takes no double clicks sees a quick second press as a
    // press: an owner-drawn button, for one, would otherwise report it as a
    // double click and never as a click.
    if (!(FControlStyle & csDoubleClicks)) {
        switch (Message.Msg) {
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: Message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN; break;
        default: break;
        }
    }
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
        if (FControlStyle & csClickEvents) FControlState |= csClicked;
        break;
    case WM_LBUTTONUP:
        if (FControlStyle & csCaptureMouse) SetMouseCapture(false);
        break;
    default:
        break;
    }
    Dispatch(Message);
}

// TControl::MouseWheelHandler lives with the forms (Forms.cpp).

void TControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_MOUSEWHEEL: {
        const TPoint pos{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        if (DoMouseWheel(KeysToShiftState(GET_KEYSTATE_WPARAM(Message.WParam)),
                         GET_WHEEL_DELTA_WPARAM(Message.WParam), pos))
            Message.Result = 1;
        else
            Message.Result = FParent != nullptr ? FParent->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam) : 0;
        return;
    }
    case WM_LBUTTONDOWN:
        DoMouseDown(Message, TMouseButton::mbLeft, 0);
        return;
    case WM_RBUTTONDOWN:
        DoMouseDown(Message, TMouseButton::mbRight, 0);
        return;
    case WM_MBUTTONDOWN:
        DoMouseDown(Message, TMouseButton::mbMiddle, 0);
        return;
    case WM_LBUTTONDBLCLK:
        if (FControlStyle & csDoubleClicks) DblClick();
        DoMouseDown(Message, TMouseButton::mbLeft, ssDouble);
        return;
    case WM_LBUTTONUP: {
        const bool clicked = (FControlState & csClicked) != 0;
        FControlState &= ~csClicked;
        DoMouseUp(Message, TMouseButton::mbLeft);
        if (clicked) {
            const POINT p = {GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            const RECT r = ClientRect();
            if (::PtInRect(&r, p)) Click();
        }
        return;
    }
    case WM_RBUTTONUP:
        DoMouseUp(Message, TMouseButton::mbRight);
        return;
    case WM_CONTEXTMENU:
        if (!ShowPopupMenu(Message)) DefaultHandler(Message);
        return;
    case WM_MBUTTONUP:
        DoMouseUp(Message, TMouseButton::mbMiddle);
        return;
    case WM_MOUSEMOVE:
        MouseMove(KeysToShiftState(Message.WParam), GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        DefaultHandler(Message);
        return;
    case CM_MOUSEENTER: return CMMouseEnter(Message);
    case CM_MOUSELEAVE: return CMMouseLeave(Message);
    case CM_PARENTFONTCHANGED:
        if (FParentFont && FParent) {
            FFont->Assign(FParent->Font());
            FParentFont = true;
        }
        return;
    case CM_PARENTCOLORCHANGED:
        if (FParentColor && FParent) {
            SetColor(FParent->Color());
            FParentColor = true;
        }
        return;
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
        Invalidate();
        return;
    case CM_FONTCHANGED:
        Invalidate();
        return;
    default:
        DefaultHandler(Message);
    }
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (FPopupMenu == Value) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

bool TControl::ShowPopupMenu(TMessage& Message) {
    if (!FPopupMenu) return false;
    POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    if (p.x == -1 && p.y == -1) p = ClientToScreen(POINT{FWidth / 2, FHeight / 2});
    FPopupMenu->Popup(p.x, p.y);
    Message.Result = 1;
    return true;
}

void TControl::CMMouseEnter(TMessage& Message) { MouseEnterOrLeave(Message, true); }

void TControl::CMMouseLeave(TMessage& Message) { MouseEnterOrLeave(Message, false); }

void TControl::MouseEnterOrLeave(TMessage& Message, bool entered) {
    // The notice is this control's own (LParam 0 or this control), or one a
    // child passed up; either way it goes on to the parent.
    if (!Message.LParam || Message.LParam == reinterpret_cast<LPARAM>(this)) FMouseInControl = entered;
    if (FParent) FParent->Perform(Message.Msg, 0, Message.LParam ? Message.LParam : reinterpret_cast<LPARAM>(this));
}

void TControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETTEXT: {
        const auto n = static_cast<std::size_t>(Message.WParam);
        auto* buffer = reinterpret_cast<wchar_t*>(Message.LParam);
        if (!buffer || n == 0) {
            Message.Result = 0;
            return;
        }
        const std::size_t count = std::min(n - 1, FText.size());
        std::copy_n(reinterpret_cast<const wchar_t*>(FText.data()), count, buffer);
        buffer[count] = 0;
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(FText.size());
        return;
    case WM_SETTEXT:
        FText = FromW(reinterpret_cast<const wchar_t*>(Message.LParam));
        Message.Result = 1;
        return;
    default:
        break;
    }
}

void TControl::DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Shift) {
    MouseDown(Button, KeysToShiftState(Message.WParam) | Shift, GET_X_LPARAM(Message.LParam),
              GET_Y_LPARAM(Message.LParam));
    DefaultHandler(Message);
}

void TControl::DoMouseUp(TMessage& Message, TMouseButton Button) {
    MouseUp(Button, KeysToShiftState(Message.WParam), GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
    DefaultHandler(Message);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState, int, TPoint) { return false; }

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (FParent == AParent) return;
    if (AParent == this) throw EComponentError(u"A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    FAnchorBaseWidth = -1;
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    Invalidate();
    const bool resized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    Invalidate();
    RequestAlign();
    if (resized && !HasState(csLoading)) Resize();
}

RECT TControl::ClientRect() { return RECT{0, 0, FWidth, FHeight}; }

void TControl::SetClientSize(int w, int h) {
    const RECT c = ClientRect();
    SetBounds(FLeft, FTop, FWidth + (w - c.right), FHeight + (h - c.bottom));
}

POINT TControl::ClientOrigin() {
    POINT p = {FLeft, FTop};
    if (FParent) {
        const POINT o = FParent->ClientOrigin();
        p.x += o.x;
        p.y += o.y;
    }
    return p;
}

POINT TControl::ClientToScreen(POINT p) {
    const POINT o = ClientOrigin();
    return POINT{p.x + o.x, p.y + o.y};
}

POINT TControl::ScreenToClient(POINT p) {
    const POINT o = ClientOrigin();
    return POINT{p.x - o.x, p.y - o.y};
}

void TControl::SetAlign(TAlign value) {
    if (FAlign == value) return;
    FAlign = value;
    RequestAlign();
}

void TControl::RequestAlign() {
    if (FParent && !FParent->HasState(csDestroying)) FParent->Realign();
}

void TControl::SetVisible(bool value) {
    if (FVisible == value) return;
    VisibleChanging();
    Invalidate();
    FVisible = value;
    Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
    RequestAlign();
}

void TControl::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetParentFont(bool value) {
    if (FParentFont == value) return;
    FParentFont = value;
    if (value && FParent) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetColor(TColor value) {
    if (FColor != value) {
        FColor = value;
        Perform(CM_COLORCHANGED, 0, 0);
    }
    FParentColor = false;
}

void TControl::SetParentColor(bool value) {
    if (FParentColor == value) return;
    FParentColor = value;
    if (value && FParent) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChanged(TObject*) {
    FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

String TControl::GetText() const { return FText; }

void TControl::SetText(const String& value) {
    if (value == GetText()) return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::Invalidate() { Perform(CM_INVALIDATE, 0, 0); }

void TControl::Repaint() {
    if (!FVisible || !FParent || !FParent->HandleAllocated()) return;
    RECT r = BoundsRect();
    ::InvalidateRect(FParent->Handle(), &r, TRUE);
    ::UpdateWindow(FParent->Handle());
}

void TControl::Update() {
    if (FParent) FParent->Update();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
        list.erase(it);
        list.push_back(this);
    }
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        ::SetWindowPos(w->FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
        list.erase(it);
        list.insert(list.begin(), this);
    }
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        ::SetWindowPos(w->FHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

bool TControl::MouseCapture() const {
    const HWND capture = ::GetCapture();
    if (!capture) return false;
    if (auto* w = dynamic_cast<const TWinControl*>(this)) return w->FHandle == capture;
    return FParent && FParent->FHandle == capture && FMouseInControl;
}

void TControl::SetMouseCapture(bool value) {
    auto* w = dynamic_cast<TWinControl*>(this);
    HWND wnd = w ? (w->HandleAllocated() ? w->FHandle : nullptr) : (FParent && FParent->HandleAllocated() ? FParent->FHandle : nullptr);
    if (!wnd) return;
    if (value)
        ::SetCapture(wnd);
    else if (::GetCapture() == wnd)
        ::ReleaseCapture();
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
    FColor = clBtnFace;
}

TWinControl::~TWinControl() {
    if (FHandle) DestroyHandle();
    // Children that are not owned by anyone else lose their parent.
    while (!FControls.empty()) RemoveControl(FControls.back());
    if (FBrush) ::DeleteObject(FBrush);
}

void TWinControl::BeforeDestruction() {
    TControl::BeforeDestruction();
    if (FHandle) DestroyHandle();
    while (!FControls.empty()) RemoveControl(FControls.back());
}

TWinControl* TWinControl::FindControl(HWND wnd) {
    if (!wnd) return nullptr;
    return static_cast<TWinControl*>(::GetPropW(wnd, kControlProp));
}

void TWinControl::InsertControl(TControl* AControl) {
    if (!AControl || AControl->FParent == this) return;
    FControls.push_back(AControl);
    AControl->FParent = this;
    if (AControl->FParentFont) {
        AControl->FFont->Assign(FFont);
        AControl->FParentFont = true;
    }
    if (AControl->FParentColor) {
        AControl->FColor = FColor;
        AControl->FParentColor = true;
    }
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (w->HandleAllocated() && HandleAllocated())
            ::SetParent(w->FHandle, FHandle);
        w->UpdateControlState();
    } else {
        AControl->Invalidate();
    }
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
    Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end()) return;
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (w->HandleAllocated()) w->DestroyHandle();
        w->FShowing = false;
    } else {
        AControl->Invalidate();
    }
    it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it != FControls.end()) FControls.erase(it);
    AControl->FParent = nullptr;
    if (!HasState(csDestroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
    for (const TControl* c = AControl; c; c = c->FParent)
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(POINT pos, bool allowDisabled, bool allowWinControls) {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        const bool windowed = dynamic_cast<TWinControl*>(c) != nullptr;
        if (windowed && !allowWinControls) continue;
        if (!c->FVisible || (!c->FEnabled && !allowDisabled)) continue;
        const RECT r = c->BoundsRect();
        if (::PtInRect(&r, pos)) return c;
    }
    return nullptr;
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle) return;
    if (FParent) FParent->HandleNeeded();
    CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams();
    Params.Caption = FText;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle & csAcceptsControls) Params.Style |= WS_CLIPCHILDREN;
    if (!FEnabled) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    if (FParent) Params.WndParent = FParent->Handle();
    Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    Params.WindowClass.lpfnWndProc = ::DefWindowProcW;
    Params.WindowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    Params.WindowClass.hbrBackground = nullptr;
    Params.WindowClass.hInstance = ::GetModuleHandleW(nullptr);
    Params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName) {
    WNDCLASSW wc = {};
    HINSTANCE instance = nullptr;
    if (!::GetClassInfoW(nullptr, ControlClassName, &wc)) {
        instance = ::GetModuleHandleW(nullptr);
        if (!::GetClassInfoW(instance, ControlClassName, &wc))
            throw EOutOfResources(u"Window class " + FromW(ControlClassName) + u" is not available");
    }
    const UINT keep = Params.WindowClass.style & CS_DBLCLKS;
    Params.WindowClass = wc;
    Params.WindowClass.style = (wc.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS)) | keep;
    Params.WindowClass.hInstance = ::GetModuleHandleW(nullptr);
    Params.SubClassOf = FromW(ControlClassName);
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    gCreationControl = this;
    TWinControl* const outer = gControlInCreation;
    gControlInCreation = this;
    HWND wnd = ::CreateWindowExW(Params.ExStyle, WStr(Params.WinClassName), WStr(Params.Caption), Params.Style, Params.X,
                                 Params.Y, Params.Width, Params.Height, Params.WndParent, nullptr,
                                 ::GetModuleHandleW(nullptr), Params.Param);
    gCreationControl = nullptr;
    gControlInCreation = outer;
    if (!wnd) throw EOutOfResources(u"Error creating window (" + ClassName() + u")");
    FHandle = wnd;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    auto& classes = RegisteredClasses();
    auto found = classes.find(params.WinClassName);
    if (found == classes.end()) {
        WNDCLASSW wc = params.WindowClass;
        FDefWndProc = wc.lpfnWndProc ? wc.lpfnWndProc : ::DefWindowProcW;
        wc.lpfnWndProc = InitWndProc;
        wc.lpszClassName = WStr(params.WinClassName);
        wc.hInstance = ::GetModuleHandleW(nullptr);
        if (!::RegisterClassW(&wc)) throw EOutOfResources(u"Cannot register window class " + params.WinClassName);
        classes[params.WinClassName] = FDefWndProc;
    } else {
        FDefWndProc = found->second;
    }
    FCreatedStyle = params.Style;
    CreateWindowHandle(params);
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    SetControlState(csCreating, true);
    try {
        CreateWnd();
    } catch (...) {
        SetControlState(csCreating, false);
        throw;
    }
    SetControlState(csCreating, false);
    if ((FCreatedStyle & WS_CHILD) && ReadBoundsFromWindow() && !HasState(csLoading)) Resize();
    SetWindowFont();
    InitializeWnd();
    // Children that should show get their windows now, in creation order.
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FVisible) w->HandleNeeded();
    }
    Realign();
}

void TWinControl::DestroyWnd() {
    if (FHandle) ::DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    SetControlState(csDestroyingHandle, true);
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    if (FHandle) {
        // Keep the text of controls whose window holds it.
        FText = GetText();
        DestroyWnd();
    }
    FHandle = nullptr;
    FShowing = false;
    SetControlState(csDestroyingHandle, false);
}

void TWinControl::SetCtl3D(bool value) {
    if (FCtl3D == value) return;
    FCtl3D = value;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    const bool showing = FShowing;
    DestroyHandle();
    HandleNeeded();
    if (showing) UpdateShowing();
}

LRESULT CALLBACK TWinControl::InitWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = gCreationControl;
    gCreationControl = nullptr;
    if (!control) {
        // A window of one of our classes made by someone else: plain handling.
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    }
    control->FHandle = wnd;
    ::SetPropW(wnd, kControlProp, control);
    try {
        AttachWindow(wnd, control, TWndMethod::Of<&TWinControl::MainWndMethod>(control), control->FDefWndProc);
    } catch (...) {
        ::RemovePropW(wnd, kControlProp);
        HandleFrameworkException();
        return ::DefWindowProcW(wnd, msg, wParam, lParam);
    }
    return AttachedWndProc(wnd, msg, wParam, lParam);
}

void TWinControl::MainWndMethod(TMessage& Message) {
    if (Message.Msg != WM_NCDESTROY) {
        WindowProc(Message);
        return;
    }
    // The window's last message: the control forgets it however the handler ends.
    struct Forget {
        TWinControl* Control;
        HWND Wnd;
        ~Forget() {
            ::RemovePropW(Wnd, kControlProp);
            if (Control->FHandle == Wnd) {
                Control->FHandle = nullptr;
                Control->FShowing = false;
            }
        }
    } forget{this, FHandle};
    WindowProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
    if (!FHandle) {
        TControl::DefaultHandler(Message);
        return;
    }
    if (CallPreviousWndProc(FHandle, this, Message)) return;
    Message.Result = ::CallWindowProcW(FDefWndProc ? FDefWndProc : ::DefWindowProcW, FHandle, Message.Msg,
                                       Message.WParam, Message.LParam);
}

void TWinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETFOCUS:
        if (!HasState(csDestroying)) Perform(CM_ENTER, 0, 0);
        break;
    case WM_KILLFOCUS:
        if (!HasState(csDestroying)) Perform(CM_EXIT, 0, 0);
        break;
    default:
        break;
    }
    TControl::WndProc(Message);
}

namespace {

bool IsReflected(UINT msg) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

// The window a notification concerns.
HWND NotificationSource(const TMessage& m) {
    switch (m.Msg) {
    case WM_NOTIFY:
        return m.LParam ? reinterpret_cast<const NMHDR*>(m.LParam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
        return m.LParam ? reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        // The item's control id identifies the child.
        return nullptr;
    case WM_DELETEITEM:
        return m.LParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(m.LParam)->hwndItem : nullptr;
    case WM_COMPAREITEM:
        return m.LParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(m.LParam)->hwndItem : nullptr;
    default:
        return reinterpret_cast<HWND>(m.LParam);
    }
}

}  // namespace

bool TWinControl::DoControlMsg(HWND ControlHandle, TMessage& Message) {
    TWinControl* child = FindControl(ControlHandle);
    if (!child || child == this) return false;
    Message.Result = child->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
    return true;
}

void TWinControl::Dispatch(TMessage& Message) {
    if (IsReflected(Message.Msg)) return ReflectNotification(Message);
    switch (Message.Msg) {
    case WM_PAINT: return WMPaint(Message);
    case WM_PRINT: return WMPrint(Message);
    case WM_PRINTCLIENT: return WMPrintClient(Message);
    case WM_ERASEBKGND: return WMEraseBkgnd(Message);
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC: return CNCtlColor(Message);
    case WM_WINDOWPOSCHANGED: return WMWindowPosChanged(Message);
    case WM_SETFOCUS: return WMSetFocus(Message);
    case WM_KILLFOCUS: return WMKillFocus(Message);
    case CM_ENTER: return CMEnter(Message);
    case CM_EXIT: return CMExit(Message);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return WMKeyDown(Message);
    case WM_KEYUP:
    case WM_SYSKEYUP: return WMKeyUp(Message);
    case WM_CHAR: return WMChar(Message);
    case WM_SETCURSOR: return WMSetCursor(Message);
    case CM_INVALIDATE: return CMInvalidate(Message);
    case CM_SHOWINGCHANGED: return CMShowingChanged(Message);
    case CM_VISIBLECHANGED: return CMVisibleChanged(Message);
    case CM_ENABLEDCHANGED: return CMEnabledChanged(Message);
    case CM_FONTCHANGED: return CMFontChanged(Message);
    case CM_COLORCHANGED: return CMColorChanged(Message);
    case CM_TEXTCHANGED: return CMTextChanged(Message);
    case CM_FOCUSCHANGED: return CMFocusChanged(Message);
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT: return WMTextMessage(Message);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: return WMMouse(Message);
    case WM_MOUSEWHEEL:
        Message.Result = 0;
        MouseWheelHandler(Message);
        if (Message.Result == 0) DefaultHandler(Message);
        return;
    default: return TControl::Dispatch(Message);
    }
}

void TWinControl::ReflectNotification(TMessage& Message) {
    HWND source = NotificationSource(Message);
    if (Message.Msg == WM_MEASUREITEM && FHandle && Message.LParam) {
        const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(Message.LParam);
        if (mis->CtlType != ODT_MENU) {
            TWinControl* creating = gControlInCreation;
            if (creating && creating != this && creating->FParent == this) {
                Message.Result = creating->Perform(CN_MEASUREITEM, Message.WParam, Message.LParam);
                return;
            }
            source = ::GetDlgItem(FHandle, static_cast<int>(mis->CtlID));
        }
    }
    if (source && DoControlMsg(source, Message)) return;
    DefaultHandler(Message);
}

void TWinControl::WMPaint(TMessage& Message) {
    if (!DoubleBuffered || Message.WParam || !FHandle) return PaintHandler(Message);
    PAINTSTRUCT ps = {};
    const HDC dc = ::BeginPaint(FHandle, &ps);
    RECT client;
    ::GetClientRect(FHandle, &client);
    const HDC mem = ::CreateCompatibleDC(dc);
    const HBITMAP bmp = mem ? ::CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom)) : nullptr;
    if (!bmp) {
        // No memory for the buffer: paint straight onto the screen.
        if (mem) ::DeleteDC(mem);
        TMessage direct = Message;
        direct.WParam = reinterpret_cast<WPARAM>(dc);
        PaintHandler(direct);
        ::EndPaint(FHandle, &ps);
        Message.Result = 0;
        return;
    }
    const HGDIOBJ old = ::SelectObject(mem, bmp);
    ::IntersectClipRect(mem, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
    // The background goes into the buffer too (a copy: the DC in both parameters).
    TMessage erase;
    erase.Msg = WM_ERASEBKGND;
    erase.WParam = reinterpret_cast<WPARAM>(mem);
    erase.LParam = reinterpret_cast<LPARAM>(mem);
    WindowProc(erase);
    TMessage paint = Message;
    paint.WParam = reinterpret_cast<WPARAM>(mem);
    PaintHandler(paint);
    ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top, mem,
             ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::EndPaint(FHandle, &ps);
    Message.Result = 0;
}

void TWinControl::WMPrintClient(TMessage& Message) {
    if (Message.LParam & PRF_CLIENT)
        PaintHandler(Message);
    else
        TControl::Dispatch(Message);
}

void TWinControl::WMEraseBkgnd(TMessage& Message) {
    // A buffered window erases into its buffer while it paints.
    if ((FControlStyle & csOpaque) || (DoubleBuffered && Message.WParam && Message.WParam != static_cast<WPARAM>(Message.LParam))) {
        Message.Result = 1;
        return;
    }
    if (!Message.WParam) return TControl::Dispatch(Message);
    UpdateBrush();
    RECT r;
    ::GetClientRect(FHandle, &r);
    ::FillRect(reinterpret_cast<HDC>(Message.WParam), &r, FBrush);
    Message.Result = 1;
}

void TWinControl::CNCtlColor(TMessage& Message) {
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    UpdateBrush();
    ::SetTextColor(dc, ColorToRGB(FFont->Color()));
    ::SetBkColor(dc, ColorToRGB(FColor));
    Message.Result = reinterpret_cast<LRESULT>(FBrush);
}

void TWinControl::WMWindowPosChanged(TMessage& Message) {
    DefaultHandler(Message);
    const auto* wp = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    if (!wp || !FHandle || ((wp->flags & SWP_NOSIZE) && (wp->flags & SWP_NOMOVE)) || ::IsIconic(FHandle)) return;
    const bool resized = ReadBoundsFromWindow();
    if (resized && !HasState(csLoading)) Resize();
    if (resized) Realign();
}

bool TWinControl::ReadBoundsFromWindow() {
    RECT r;
    ::GetWindowRect(FHandle, &r);
    if (HWND parent = ::GetParent(FHandle); parent && (::GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const bool resized = (r.right - r.left) != FWidth || (r.bottom - r.top) != FHeight;
    FLeft = r.left;
    FTop = r.top;
    FWidth = r.right - r.left;
    FHeight = r.bottom - r.top;
    return resized;
}

void TWinControl::WMSetFocus(TMessage& Message) {
    DefaultHandler(Message);
    // The top of the parent chain (the form) tells everyone which control has the focus.
    TWinControl* top = this;
    while (top->FParent) top = top->FParent;
    if (!HasState(csDestroying)) top->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
}

void TWinControl::WMKillFocus(TMessage& Message) {
    DefaultHandler(Message);
    // The focus goes to a window that tells the form nothing itself: nowhere
    // (this control was disabled or hidden while it had the focus) or an
    // inner window of a control, such as the edit field of a combo box. The
    // form then hears of the framework control that holds the focus now, or
    // of itself, so that no control keeps showing a focus it lost.
    const HWND next = reinterpret_cast<HWND>(Message.WParam);
    if (HasState(csDestroying) || (next && FindControl(next))) return;
    TWinControl* top = this;
    while (top->FParent) top = top->FParent;
    if (top->HasState(csDestroying) || !top->HandleAllocated()) return;
    TWinControl* holder = top;
    for (HWND w = next; w; w = ::GetParent(w)) {
        if (w == top->FHandle) break;
        if (TWinControl* c = FindControl(w)) {
            holder = c;
            break;
        }
    }
    if (next && holder == top && !::IsChild(top->FHandle, next)) return;   // another window altogether
    top->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(holder));
}

void TWinControl::CMEnter(TMessage&) { DoEnter(); }

void TWinControl::CMExit(TMessage&) { DoExit(); }

void TWinControl::WMKeyDown(TMessage& Message) {
    if (!DoKeyDown(Message)) TControl::Dispatch(Message);
}

void TWinControl::WMKeyUp(TMessage& Message) {
    if (!DoKeyUp(Message)) TControl::Dispatch(Message);
}

void TWinControl::WMChar(TMessage& Message) {
    if (!DoKeyPress(Message)) TControl::Dispatch(Message);
}

void TWinControl::WMSetCursor(TMessage& Message) {
    if (ScreenCursorOverride != crDefault) {
        ::SetCursor(CursorHandle(ScreenCursorOverride));
        Message.Result = 1;
        return;
    }
    if (reinterpret_cast<HWND>(Message.WParam) == FHandle && LOWORD(Message.LParam) == HTCLIENT) {
        TCursor cursor = Cursor;
        POINT p;
        ::GetCursorPos(&p);
        ::ScreenToClient(FHandle, &p);
        if (TControl* c = ControlAtPos(p, false)) cursor = c->Cursor;
        if (HCURSOR h = CursorHandle(cursor)) {
            ::SetCursor(h);
            Message.Result = 1;
            return;
        }
    }
    TControl::Dispatch(Message);
}

void TWinControl::CMInvalidate(TMessage&) {
    if (FHandle) ::InvalidateRect(FHandle, nullptr, !(FControlStyle & csOpaque));
}

void TWinControl::CMShowingChanged(TMessage&) {
    if (FHandle)
        ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (FShowing ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::CMVisibleChanged(TMessage&) { UpdateControlState(); }

void TWinControl::CMEnabledChanged(TMessage&) {
    if (FHandle) ::EnableWindow(FHandle, FEnabled);
}

void TWinControl::CMFontChanged(TMessage&) {
    SetWindowFont();
    for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (FHandle) ::InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::CMColorChanged(TMessage&) {
    if (FBrush) {
        ::DeleteObject(FBrush);
        FBrush = nullptr;
    }
    for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (FHandle) ::InvalidateRect(FHandle, nullptr, TRUE);
}

// A window repaints its own text.
void TWinControl::CMTextChanged(TMessage&) {}

void TWinControl::CMFocusChanged(TMessage& Message) {
    for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::WMTextMessage(TMessage& Message) {
    if (FHandle)
        DefaultHandler(Message);
    else
        TControl::DefaultHandler(Message);
}

void TWinControl::WMMouse(TMessage& Message) {
    // Mouse input over a windowless child goes to that child.
    const POINT p = {GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    TControl* target = nullptr;
    if (::GetCapture() == FHandle) {
        for (TControl* c : FControls)
            if (!dynamic_cast<TWinControl*>(c) && (c->FControlState & csLButtonDown)) target = c;
    }
    if (!target && Message.Msg != WM_MOUSEMOVE) target = ControlAtPos(p, false);
    if (!target || dynamic_cast<TWinControl*>(target)) return TControl::Dispatch(Message);
    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) target->FControlState |= csLButtonDown;
    if (Message.Msg == WM_LBUTTONUP) target->FControlState &= ~csLButtonDown;
    TMessage child = Message;
    child.LParam = MAKELPARAM(p.x - target->FLeft, p.y - target->FTop);
    target->WindowProc(child);
    Message.Result = child.Result;
}

void TWinControl::UpdateBrush() {
    if (!FBrush) FBrush = ::CreateSolidBrush(ColorToRGB(FColor));
}

void TWinControl::PaintWindow(HDC DC) {
    TMessage m;
    m.Msg = WM_PAINT;
    m.WParam = reinterpret_cast<WPARAM>(DC);
    DefaultHandler(m);
}

void TWinControl::PaintHandler(TMessage& Message) {
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    PAINTSTRUCT ps = {};
    const bool own = dc == nullptr;
    if (own) dc = ::BeginPaint(FHandle, &ps);
    const int saved = ::SaveDC(dc);
    // Opaque windowless children paint over their area themselves.
    for (TControl* c : FControls) {
        if (!dynamic_cast<TWinControl*>(c) && c->FVisible && (c->FControlStyle & csOpaque))
            ::ExcludeClipRect(dc, c->FLeft, c->FTop, c->FLeft + c->FWidth, c->FTop + c->FHeight);
    }
    if (Message.Msg == WM_PRINTCLIENT && (Message.LParam & PRF_ERASEBKGND)) {
        // A printed background is a copy: the DC goes in both parameters.
        TMessage erase;
        erase.Msg = WM_ERASEBKGND;
        erase.WParam = reinterpret_cast<WPARAM>(dc);
        erase.LParam = reinterpret_cast<LPARAM>(dc);
        WindowProc(erase);
    }
    PaintWindow(dc);
    ::RestoreDC(dc, saved);
    PaintControls(dc, nullptr);
    if (own) ::EndPaint(FHandle, &ps);
    Message.Result = 0;
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
    bool started = First == nullptr;
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (!started) {
            started = c == First;
            if (!started) continue;
        }
        if (dynamic_cast<TWinControl*>(c)) continue;
        if (!c->FVisible || c->FWidth <= 0 || c->FHeight <= 0) continue;
        RECT clip;
        if (::GetClipBox(DC, &clip) == ERROR) continue;
        const RECT bounds = c->BoundsRect();
        RECT overlap;
        if (!::IntersectRect(&overlap, &clip, &bounds)) continue;
        const int saved = ::SaveDC(DC);
        POINT org;
        ::GetWindowOrgEx(DC, &org);
        ::SetWindowOrgEx(DC, org.x - c->FLeft, org.y - c->FTop, nullptr);
        ::IntersectClipRect(DC, 0, 0, c->FWidth, c->FHeight);
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
        ::RestoreDC(DC, saved);
    }
}

void TWinControl::PaintTo(HDC dc, int x, int y, bool Frame) {
    const bool copying = (FControlState & csPaintCopy) != 0;
    SetControlState(csPaintCopy, true);
    struct Restore {
        TWinControl* self;
        bool copying;
        ~Restore() { self->SetControlState(csPaintCopy, copying); }
    } restore{this, copying};
    const int saved = ::SaveDC(dc);
    ::SetViewportOrgEx(dc, x, y, nullptr);
    TMessage m;
    m.WParam = reinterpret_cast<WPARAM>(dc);
    if (Frame && FHandle) {
        m.Msg = WM_PRINT;
        m.LParam = PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND;
    } else {
        m.Msg = WM_PRINTCLIENT;
        m.LParam = PRF_CLIENT | PRF_ERASEBKGND;
    }
    WindowProc(m);
    ::RestoreDC(dc, saved);
}

void TWinControl::PaintNonClient(HDC DC) {
    TMessage m;
    m.Msg = WM_PRINT;
    m.WParam = reinterpret_cast<WPARAM>(DC);
    m.LParam = PRF_NONCLIENT;
    DefaultHandler(m);
}

void TWinControl::WMPrint(TMessage& Message) {
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const auto flags = static_cast<DWORD>(Message.LParam);
    Message.Result = 0;
    if (!dc || !FHandle) return;
    if ((flags & PRF_CHECKVISIBLE) && !::IsWindowVisible(FHandle)) return;
    if (flags & PRF_NONCLIENT) {
        const int saved = ::SaveDC(dc);
        PaintNonClient(dc);
        ::RestoreDC(dc, saved);
    }
    if (!(flags & PRF_CLIENT)) return;
    const int saved = ::SaveDC(dc);
    // With the frame the DC stands for the whole window and the client area
    // goes to its place in it; alone it is painted at the DC's origin.
    if (flags & PRF_NONCLIENT) {
        RECT window, client;
        ::GetWindowRect(FHandle, &window);
        ::GetClientRect(FHandle, &client);
        POINT origin = {0, 0};
        ::ClientToScreen(FHandle, &origin);
        ::OffsetViewportOrgEx(dc, origin.x - window.left, origin.y - window.top, nullptr);
        ::IntersectClipRect(dc, 0, 0, client.right, client.bottom);
    }
    TMessage m;
    m.Msg = WM_PRINTCLIENT;
    m.WParam = Message.WParam;
    m.LParam = static_cast<LPARAM>(flags & (PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN | PRF_OWNED));
    WindowProc(m);
    ::RestoreDC(dc, saved);
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (AWidth < 0) AWidth = 0;
    if (AHeight < 0) AHeight = 0;
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    // A window reports the new bounds back through WM_WINDOWPOSCHANGED;
    // whatever it did not report is taken over here.
    if (FHandle && !(::GetWindowLongW(FHandle, GWL_STYLE) & WS_MINIMIZE))
        ::SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (FLeft != ALeft || FTop != ATop || FWidth != AWidth || FHeight != AHeight) {
        const bool resized = AWidth != FWidth || AHeight != FHeight;
        FLeft = ALeft;
        FTop = ATop;
        FWidth = AWidth;
        FHeight = AHeight;
        if (resized) {
            Realign();
            if (!HasState(csLoading)) Resize();
        }
    }
    RequestAlign();
}

RECT TWinControl::ClientRect() {
    RECT r = {0, 0, FWidth, FHeight};
    if (FHandle) ::GetClientRect(FHandle, &r);
    return r;
}

POINT TWinControl::ClientOrigin() {
    if (FHandle) {
        POINT p = {0, 0};
        ::ClientToScreen(FHandle, &p);
        return p;
    }
    return TControl::ClientOrigin();
}

void TWinControl::Repaint() {
    if (FHandle) {
        ::InvalidateRect(FHandle, nullptr, TRUE);
        ::UpdateWindow(FHandle);
    }
}

void TWinControl::Update() {
    if (FHandle) ::UpdateWindow(FHandle);
}

String TWinControl::GetText() const {
    if (!FHandle) return FText;
    const int n = ::GetWindowTextLengthW(FHandle);
    if (n <= 0) return String();
    std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(FHandle, buffer.data(), n + 1);
    return FromW(buffer.c_str(), static_cast<std::size_t>(std::max(got, 0)));
}

void TWinControl::SetText(const String& value) {
    if (value == GetText()) return;
    FText = value;
    if (FHandle) ::SetWindowTextW(FHandle, WStr(value));
    Perform(CM_TEXTCHANGED, 0, 0);
}

bool TWinControl::Focused() { return FHandle && ::GetFocus() == FHandle; }

bool TWinControl::CanFocus() {
    for (TControl* c = this; c; c = c->FParent)
        if (!c->FVisible || !c->FEnabled) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EComponentError(u"Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

void TWinControl::SetTabStop(bool value) {
    if (FTabStop == value) return;
    FTabStop = value;
    if (FHandle) {
        LONG style = ::GetWindowLongW(FHandle, GWL_STYLE);
        style = value ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
        ::SetWindowLongW(FHandle, GWL_STYLE, style);
    }
}

void TWinControl::SetWindowFont() {
    if (FHandle) ::SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont->Handle()), 0);
}

void TWinControl::FontChanged(TObject* Sender) { TControl::FontChanged(Sender); }

void TWinControl::UpdateShowing() {
    const bool show = FVisible && (FParent ? FParent->FShowing : false);
    if (show && !FHandle) CreateHandle();
    if (!FHandle) {
        FShowing = false;
        return;
    }
    const bool changed = FShowing != show;
    // Children see their parent's new state, so those that should show get
    // their windows before this one appears.
    FShowing = show;
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->UpdateShowing();
    if (changed) {
        Perform(CM_SHOWINGCHANGED, 0, 0);
        if (FParent) FParent->ChildShowingChanged();
    }
}

void TWinControl::UpdateControlState() {
    // Only a control whose parent chain is showing can show.
    for (TWinControl* p = FParent; p; p = p->FParent)
        if (!p->FShowing) return;
    UpdateShowing();
}

void TWinControl::Loaded() {
    TControl::Loaded();
    Realign();
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0) --FAlignLevel;
    if (FAlignLevel == 0) Realign();
}

void TWinControl::Realign() {
    // Controls keep their designed places until their parent has a window:
    // the first layout then starts from the designed order.
    if (FAlignLevel > 0 || HasState(csDestroying) || HasState(csLoading) || !FHandle) return;
    RECT r = ClientRect();
    ++FAlignLevel;
    try {
        AlignControls(nullptr, r);
    } catch (...) {
        --FAlignLevel;
        throw;
    }
    --FAlignLevel;
}

void TWinControl::DoAnchors(const RECT& Client) {
    const int w = Client.right - Client.left, h = Client.bottom - Client.top;
    const int oldW = FAnchorClientWidth < 0 ? w : FAnchorClientWidth;
    const int oldH = FAnchorClientHeight < 0 ? h : FAnchorClientHeight;
    FAnchorClientWidth = w;
    FAnchorClientHeight = h;
    if (w == oldW && h == oldH) return;
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (c->FAlign != TAlign::alNone) continue;
        const RECT now = c->BoundsRect();
        if (c->FAnchorBaseWidth < 0 || !::EqualRect(&now, &c->FAnchorPlaced)) {
            c->FAnchorBase = now;
            c->FAnchorBaseWidth = oldW;
            c->FAnchorBaseHeight = oldH;
        }
        // Each edge keeps its distance to the anchored sides of the client
        // area; a child anchored to neither side of an axis keeps its place
        // relative to the middle, measured the same way every time.
        const RECT& base = c->FAnchorBase;
        const int dx = w - c->FAnchorBaseWidth, dy = h - c->FAnchorBaseHeight;
        const TAnchors a = c->FAnchors;
        int left = base.left, top = base.top;
        int width = base.right - base.left, height = base.bottom - base.top;
        if (a.Contains(akRight)) {
            if (a.Contains(akLeft)) width += dx; else left += dx;
        } else if (!a.Contains(akLeft)) {
            left += w / 2 - c->FAnchorBaseWidth / 2;
        }
        if (a.Contains(akBottom)) {
            if (a.Contains(akTop)) height += dy; else top += dy;
        } else if (!a.Contains(akTop)) {
            top += h / 2 - c->FAnchorBaseHeight / 2;
        }
        c->SetBounds(left, top, std::max(0, width), std::max(0, height));
        c->FAnchorPlaced = c->BoundsRect();
    }
}

void TWinControl::AlignControls(TControl*, RECT& Rect) {
    DoAnchors(Rect);
    DoAlign(TAlign::alTop, Rect);
    DoAlign(TAlign::alBottom, Rect);
    DoAlign(TAlign::alLeft, Rect);
    DoAlign(TAlign::alRight, Rect);
    DoAlign(TAlign::alClient, Rect);
}

void TWinControl::DoAlign(TAlign AAlign, RECT& Rect) {
    std::vector<TControl*> list;
    for (TControl* c : FControls)
        if (c->FAlign == AAlign && c->FVisible) list.push_back(c);
    // Earlier positions come first; ties keep the order of insertion.
    std::stable_sort(list.begin(), list.end(), [AAlign](const TControl* a, const TControl* b) {
        switch (AAlign) {
        case TAlign::alTop: return a->FTop < b->FTop;
        case TAlign::alBottom: return a->FTop + a->FHeight > b->FTop + b->FHeight;
        case TAlign::alLeft: return a->FLeft < b->FLeft;
        case TAlign::alRight: return a->FLeft + a->FWidth > b->FLeft + b->FWidth;
        default: return false;
        }
    });
    for (TControl* c : list) {
        const int w = Rect.right - Rect.left, h = Rect.bottom - Rect.top;
        switch (AAlign) {
        case TAlign::alTop:
            c->SetBounds(Rect.left, Rect.top, w, c->FHeight);
            Rect.top += c->FHeight;
            break;
        case TAlign::alBottom:
            c->SetBounds(Rect.left, Rect.bottom - c->FHeight, w, c->FHeight);
            Rect.bottom -= c->FHeight;
            break;
        case TAlign::alLeft:
            c->SetBounds(Rect.left, Rect.top, c->FWidth, h);
            Rect.left += c->FWidth;
            break;
        case TAlign::alRight:
            c->SetBounds(Rect.right - c->FWidth, Rect.top, c->FWidth, h);
            Rect.right -= c->FWidth;
            break;
        case TAlign::alClient:
            c->SetBounds(Rect.left, Rect.top, std::max(w, 0), std::max(h, 0));
            break;
        default:
            break;
        }
    }
}

namespace {
// Runs a key handler on the message's key; a handler that sets the key to 0 has used it up.
template <class K, class Handler>
bool RunKeyHandler(TMessage& Message, Handler handler) {
    K key = static_cast<K>(Message.WParam);
    handler(key);
    if (key == 0) return true;
    Message.WParam = key;
    return false;
}
}  // namespace

bool TWinControl::DoKeyDown(TMessage& Message) {
    return RunKeyHandler<Word>(Message, [this](Word& key) { KeyDown(key, KeyboardStateToShiftState()); });
}

bool TWinControl::DoKeyUp(TMessage& Message) {
    return RunKeyHandler<Word>(Message, [this](Word& key) { KeyUp(key, KeyboardStateToShiftState()); });
}

bool TWinControl::DoKeyPress(TMessage& Message) {
    return RunKeyHandler<Char>(Message, [this](Char& key) { KeyPress(key); });
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(Char& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------------------

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TWinControl* AControl) {
    if (FControl == AControl) return;
    FreeHandle();
    FControl = AControl;
}

void TControlCanvas::FreeHandle() {
    if (!FDeviceContext) return;
    if (HandleAllocated() && Handle() == FDeviceContext) SetHandle(nullptr);
    ::ReleaseDC(FWindow, FDeviceContext);
    FDeviceContext = nullptr;
    FWindow = nullptr;
}

void TControlCanvas::CreateHandle() {
    if (!FControl || !FControl->HandleAllocated()) return;
    FreeHandle();
    FWindow = FControl->Handle();
    FDeviceContext = ::GetDCEx(FWindow, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    if (FDeviceContext) SetHandle(FDeviceContext);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) { FCanvas = new TCanvas(); }

TCustomControl::~TCustomControl() { delete FCanvas; }

void TCustomControl::PaintWindow(HDC DC) {
    FCanvas->SetHandle(DC);
    try {
        Paint();
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        throw;
    }
    FCanvas->SetHandle(nullptr);
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) { FCanvas = new TCanvas(); }

TGraphicControl::~TGraphicControl() { delete FCanvas; }

void TGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_PAINT && Message.WParam) {
        FCanvas->SetHandle(reinterpret_cast<HDC>(Message.WParam));
        try {
            Paint();
        } catch (...) {
            FCanvas->SetHandle(nullptr);
            throw;
        }
        FCanvas->SetHandle(nullptr);
        return;
    }
    if (Message.Msg == CM_INVALIDATE) {
        if (FParent && FParent->HandleAllocated() && FVisible) {
            RECT r = BoundsRect();
            ::InvalidateRect(FParent->Handle(), &r, !(FControlStyle & csOpaque));
        }
        return;
    }
    TControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// Hidden utility windows

HWND AllocateHWnd(TWndMethod Method) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TPUtilWindow";
        registered = ::RegisterClassW(&wc) != 0;
    }
    HWND wnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"TPUtilWindow", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!wnd) throw EOutOfResources(u"Cannot create a utility window");
    try {
        AttachWindow(wnd, Method.Object(), Method);
    } catch (...) {
        ::DestroyWindow(wnd);
        throw;
    }
    return wnd;
}

void DeallocateHWnd(HWND wnd) {
    if (!wnd) return;
    // The owner is on its way out: the window's last messages do not reach it.
    DetachAllFromWindow(wnd);
    ::DestroyWindow(wnd);
}
