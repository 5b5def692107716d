#include "Forms.h"

#include "Menus.h"
#include "Threads.h"
#include "WindowAttach.h"

#include <algorithm>

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

void HandleFrameworkException() {
    if (Application) {
        Application->HandleException(nullptr);
        return;
    }
    // Nobody to tell: the exception ends here rather than crossing into the system.
}

TCustomForm* GetParentForm(TControl* control, bool TopForm) {
    if (!TopForm) {
        for (; control; control = control->Parent())
            if (auto* form = dynamic_cast<TCustomForm*>(control)) return form;
        return nullptr;
    }
    while (control && control->Parent()) control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

void TControl::MouseWheelHandler(TMessage& Message) {
    TCustomForm* form = GetParentForm(this);
    if (form != nullptr && form != this && form->ActiveControl() != nullptr)
        form->MouseWheelHandler(Message);
    else
        Message.Result = Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
}

void TCustomForm::MouseWheelHandler(TMessage& Message) {
    if (FActiveControl != nullptr)
        Message.Result = FActiveControl->Perform(CM_MOUSEWHEEL, Message.WParam, Message.LParam);
    else
        TControl::MouseWheelHandler(Message);
}

void TCustomFrame::AfterConstruction() {
    TScrollingWinControl::AfterConstruction();
    SetComponentState(csLoading, true);
    try {
        CreateComponents();
    } catch (...) {
        SetComponentState(csLoading, false);
        throw;
    }
    // A frame made while its owner is being built is loaded with the owner.
    if (!Owner() || !Owner()->HasState(csLoading)) LoadedAll();
}

// ---------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    FVisible = false;
    FControlStyle |= csAcceptsControls;
    FColor = clBtnFace;
    FParentFont = false;
    FParentColor = false;
    FLeft = 200;
    FTop = 150;
    FWidth = 320;
    FHeight = 240;
    FCanvas = new TCanvas();
    FIcon = New<TIcon>();
    FIcon->OnChange = TNotifyEvent::Of<&TCustomForm::IconChanged>(this);
    if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    if (Screen) Screen->RemoveForm(this);
    delete FCanvas;
    // The window must not keep a handle that is about to be destroyed.
    FIcon->OnChange = nullptr;
    if (FHandle) {
        ::SendMessageW(FHandle, WM_SETICON, ICON_BIG, 0);
        ::SendMessageW(FHandle, WM_SETICON, ICON_SMALL, 0);
    }
    FIcon->Free();
}

void TCustomForm::AfterConstruction() {
    SetComponentState(csLoading, true);
    try {
        CreateComponents();
    } catch (...) {
        SetComponentState(csLoading, false);
        throw;
    }
    LoadedAll();
    DoCreate();
}

void TCustomForm::BeforeDestruction() {
    if (OnDestroy && !HasState(csDestroying)) {
        try {
            OnDestroy(this);
        } catch (...) {
            HandleFrameworkException();
        }
    }
    if (Screen) Screen->RemoveForm(this);
    if (Application) Application->ControlDestroyed(this);
    TWinControl::BeforeDestruction();
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
    if (Operation == TOperation::opRemove && AComponent == FMenu) FMenu = nullptr;
}

void TCustomForm::SetMenu(TMainMenu* value) {
    if (FMenu == value) return;
    if (FMenu) {
        DetachMenu();
        FMenu->RemoveFreeNotification(this);
    }
    FMenu = value;
    if (FMenu) {
        FMenu->FreeNotification(this);
        AttachMenu();
    }
}

void TCustomForm::AttachMenu() {
    if (!FMenu || !FHandle) return;
    FMenu->SetWindowHandle(FHandle);
    // A dialog-style form shows no menu line; an auto-merging menu is shown
    // by the form it merges into.
    if (BorderStyle == TFormBorderStyle::bsDialog || FMenu->AutoMerge()) return;
    ::SetMenu(FHandle, FMenu->Items()->Count() > 0 ? FMenu->Handle() : nullptr);
}

void TCustomForm::DetachMenu() {
    if (!FMenu) return;
    // The system destroys the menu of a window that goes: take ours off
    // first, the menu object owns its handle.
    if (FHandle && FMenu->HandleAllocated() && ::GetMenu(FHandle) == FMenu->Handle()) ::SetMenu(FHandle, nullptr);
    if (FMenu->WindowHandle() == FHandle) FMenu->SetWindowHandle(nullptr);
}

TFormFrameStyles FormFrameStyles(TFormBorderStyle BorderStyle, TBorderIcons BorderIcons) {
    TFormFrameStyles r;
    TBorderIcons icons = BorderIcons;
    switch (BorderStyle) {
    case TFormBorderStyle::bsNone:
        r.Style = WS_POPUP;
        icons = {};
        break;
    case TFormBorderStyle::bsSingle:
        r.Style = WS_CAPTION;
        break;
    case TFormBorderStyle::bsSizeable:
        r.Style = WS_CAPTION | WS_THICKFRAME;
        break;
    case TFormBorderStyle::bsDialog:
        r.Style = WS_POPUP | WS_CAPTION;
        r.ExStyle = WS_EX_DLGMODALFRAME;
        icons = icons * TBorderIcons{biSystemMenu, biHelp};
        break;
    case TFormBorderStyle::bsToolWindow:
        r.Style = WS_CAPTION;
        r.ExStyle = WS_EX_TOOLWINDOW;
        icons = icons * TBorderIcons{biSystemMenu};
        break;
    case TFormBorderStyle::bsSizeToolWin:
        r.Style = WS_CAPTION | WS_THICKFRAME;
        r.ExStyle = WS_EX_TOOLWINDOW;
        icons = icons * TBorderIcons{biSystemMenu};
        break;
    }
    if (icons.Contains(biSystemMenu)) r.Style |= WS_SYSMENU;
    if (icons.Contains(biMinimize)) r.Style |= WS_MINIMIZEBOX;
    if (icons.Contains(biMaximize)) r.Style |= WS_MAXIMIZEBOX;
    // The system shows the help button only beside the close button and
    // only when there is neither a minimize nor a maximize button.
    if (icons.Contains(biSystemMenu) && icons.Contains(biHelp) && !icons.Contains(biMinimize) && !icons.Contains(biMaximize))
        r.ExStyle |= WS_EX_CONTEXTHELP;
    return r;
}

void TCustomForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    const TFormFrameStyles frame = FormFrameStyles(BorderStyle, BorderIcons);
    Params.Style |= frame.Style;
    Params.ExStyle |= frame.ExStyle | ExtraExStyle;
    if (!FEnabled) Params.Style |= WS_DISABLED;
    if (FFormStyle == TFormStyle::fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
    Params.WndParent = FOwnerWindow ? FOwnerWindow : Application ? Application->Handle() : nullptr;
    Params.WindowClass.hbrBackground = nullptr;
    Params.WindowClass.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!Params.WindowClass.hIcon) Params.WindowClass.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    if (FPendingClientWidth >= 0 || FPendingClientHeight >= 0) {
        RECT r = {0, 0, FPendingClientWidth >= 0 ? FPendingClientWidth : 0,
                  FPendingClientHeight >= 0 ? FPendingClientHeight : 0};
        ::AdjustWindowRectEx(&r, Params.Style, FALSE, Params.ExStyle);
        ::InflateRect(&r, FBorderWidth, FBorderWidth);
        if (FPendingClientWidth >= 0) Params.Width = FWidth = r.right - r.left;
        if (FPendingClientHeight >= 0) Params.Height = FHeight = r.bottom - r.top;
    }
    if (Position == TPosition::poScreenCenter) {
        Params.X = FLeft = (::GetSystemMetrics(SM_CXSCREEN) - Params.Width) / 2;
        Params.Y = FTop = (::GetSystemMetrics(SM_CYSCREEN) - Params.Height) / 2;
    }
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    FLayeredByAlphaBlend = false;
    if (FAlphaBlend) ApplyLayeredAttributes();
    if (!FIcon->Empty()) ApplyIcon();
    AttachMenu();
    ApplyPendingClientSize();
}

void TCustomForm::IconChanged(TObject*) { ApplyIcon(); }

void TCustomForm::ApplyIcon() {
    if (!FHandle) return;
    // An empty icon hands the window back to its class's icon.
    const auto icon = reinterpret_cast<LPARAM>(FIcon->Handle());
    ::SendMessageW(FHandle, WM_SETICON, ICON_BIG, icon);
    ::SendMessageW(FHandle, WM_SETICON, ICON_SMALL, icon);
}

void TCustomForm::ApplyFrameStyles() {
    if (!FHandle) return;
    const TFormFrameStyles frame = FormFrameStyles(BorderStyle, BorderIcons);
    const auto style = static_cast<DWORD>(::GetWindowLongW(FHandle, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(FHandle, GWL_EXSTYLE));
    ::SetWindowLongW(FHandle, GWL_STYLE, static_cast<LONG>((style & ~TFormFrameStyles::StyleMask) | frame.Style));
    ::SetWindowLongW(FHandle, GWL_EXSTYLE,
                     static_cast<LONG>((exStyle & ~TFormFrameStyles::ExStyleMask) | frame.ExStyle | ExtraExStyle));
    ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (value == BorderStyle) return;
    BorderStyle = value;
    ApplyFrameStyles();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
    if (value == BorderIcons) return;
    BorderIcons = value;
    ApplyFrameStyles();
}

void TCustomForm::SetBorderWidth(int value) {
    value = std::max(0, value);
    if (value == FBorderWidth) return;
    FBorderWidth = value;
    if (FHandle)
        ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    else
        Realign();
}

void TCustomForm::SetOwnerWindow(HWND value) {
    if (value == FOwnerWindow) return;
    FOwnerWindow = value;
    if (FHandle) {
        const HWND owner = value ? value : Application ? Application->Handle() : nullptr;
        ::SetWindowLongPtrW(FHandle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    }
}

void TCustomForm::SetAlphaBlend(bool value) {
    if (value == FAlphaBlend) return;
    FAlphaBlend = value;
    ApplyLayeredAttributes();
}

void TCustomForm::SetAlphaBlendValue(Byte value) {
    if (value == FAlphaBlendValue) return;
    FAlphaBlendValue = value;
    if (FAlphaBlend) ApplyLayeredAttributes();
}

void TCustomForm::ApplyLayeredAttributes() {
    if (!FHandle) return;
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(FHandle, GWL_EXSTYLE));
    if (FAlphaBlend) {
        if (!(exStyle & WS_EX_LAYERED)) {
            ::SetWindowLongW(FHandle, GWL_EXSTYLE, static_cast<LONG>(exStyle | WS_EX_LAYERED));
            FLayeredByAlphaBlend = true;
        }
        ::SetLayeredWindowAttributes(FHandle, 0, FAlphaBlendValue, LWA_ALPHA);
    } else if (FLayeredByAlphaBlend || (exStyle & WS_EX_LAYERED)) {
        // Without the style the window is opaque again and paints as usual.
        ::SetWindowLongW(FHandle, GWL_EXSTYLE, static_cast<LONG>(exStyle & ~WS_EX_LAYERED));
        FLayeredByAlphaBlend = false;
        ::RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

TMonitor* TCustomForm::Monitor() {
    if (!Screen) return nullptr;
    if (FHandle) return Screen->MonitorFromWindow(FHandle);
    return Screen->MonitorFromRect(TRect(BoundsRect()));
}

void TCustomForm::Paint() {
    if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC DC) {
    FCanvas->Lock();
    const HDC previous = FCanvas->HandleAllocated() ? FCanvas->Handle() : nullptr;
    FCanvas->SetHandle(DC);
    try {
        Paint();
    } catch (...) {
        FCanvas->SetHandle(previous);
        FCanvas->Unlock();
        throw;
    }
    FCanvas->SetHandle(previous);
    FCanvas->Unlock();
}

void TCustomForm::WMNCCalcSize(TMessage& Message) {
    DefaultHandler(Message);
    if (FBorderWidth <= 0 || !Message.LParam) return;
    // The first rectangle is the client area either way (the whole
    // NCCALCSIZE_PARAMS when wParam is set, a single RECT otherwise).
    auto* r = reinterpret_cast<RECT*>(Message.LParam);
    const LONG w = std::min<LONG>(FBorderWidth, std::max<LONG>(0, (r->right - r->left) / 2));
    const LONG h = std::min<LONG>(FBorderWidth, std::max<LONG>(0, (r->bottom - r->top) / 2));
    ::InflateRect(r, -w, -h);
}

void TCustomForm::WMNCPaint(TMessage& Message) {
    DefaultHandler(Message);
    if (FBorderWidth <= 0 || !FHandle || ::IsIconic(FHandle)) return;
    // The inner border: the band of BorderWidth round the client area.
    RECT window, client;
    ::GetWindowRect(FHandle, &window);
    ::GetClientRect(FHandle, &client);
    POINT origin{0, 0};
    ::ClientToScreen(FHandle, &origin);
    ::OffsetRect(&client, origin.x - window.left, origin.y - window.top);
    RECT band = client;
    ::InflateRect(&band, FBorderWidth, FBorderWidth);
    const HDC dc = ::GetWindowDC(FHandle);
    if (!dc) return;
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    const HBRUSH brush = ::CreateSolidBrush(ColorToRGB(FColor));
    ::FillRect(dc, &band, brush);
    ::DeleteObject(brush);
    ::ReleaseDC(FHandle, dc);
}

void TCustomForm::ApplyPendingClientSize() {
    if (!FHandle) return;
    RECT c;
    ::GetClientRect(FHandle, &c);
    const int w = FPendingClientWidth >= 0 ? FPendingClientWidth : c.right;
    const int h = FPendingClientHeight >= 0 ? FPendingClientHeight : c.bottom;
    FPendingClientWidth = FPendingClientHeight = -1;
    if (w != c.right || h != c.bottom) {
        RECT wr;
        ::GetWindowRect(FHandle, &wr);
        ::SetWindowPos(FHandle, nullptr, 0, 0, (wr.right - wr.left) + (w - c.right), (wr.bottom - wr.top) + (h - c.bottom),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

RECT TCustomForm::ClientRect() {
    if (FHandle) return TWinControl::ClientRect();
    if (FPendingClientWidth >= 0 && FPendingClientHeight >= 0) return RECT{0, 0, FPendingClientWidth, FPendingClientHeight};
    // Without a window the client area is the outer size less the frame of
    // the style and the inner border.
    TCreateParams params;
    CreateParams(params);
    RECT frame = {0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    ::InflateRect(&frame, FBorderWidth, FBorderWidth);
    return RECT{0, 0, std::max<LONG>(0, FWidth - (frame.right - frame.left)), std::max<LONG>(0, FHeight - (frame.bottom - frame.top))};
}

void TCustomForm::SetClientSize(int w, int h) {
    FPendingClientWidth = w;
    FPendingClientHeight = h;
    if (FHandle) {
        ApplyPendingClientSize();
        return;
    }
    // Without a window the outer size follows from the style's frame.
    TCreateParams params;
    CreateParams(params);
    Realign();
}

void TCustomForm::SetClientWidth(int w) { SetClientSize(w, FPendingClientHeight >= 0 ? FPendingClientHeight : ClientHeight()); }

void TCustomForm::SetClientHeight(int h) { SetClientSize(FPendingClientWidth >= 0 ? FPendingClientWidth : ClientWidth(), h); }

void TCustomForm::Show() {
    SetVisible(true);
    if (FHandle) {
        ::SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ::SetForegroundWindow(FHandle);
    }
}

void TCustomForm::ShowNoActivate() {
    FShowNoActivate = true;
    try {
        SetVisible(true);
    } catch (...) {
        FShowNoActivate = false;
        throw;
    }
    FShowNoActivate = false;
}

void TCustomForm::SetFormStyle(TFormStyle value) {
    if (value == FFormStyle) return;
    FFormStyle = value;
    if (FHandle)
        ::SetWindowPos(FHandle, value == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::UpdateFormShowing() {
    const bool show = FVisible;
    if (show) HandleNeeded();
    if (show == FShowing) return;
    FShowing = show;
    // Children create their windows before the form appears, so it shows complete.
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->UpdateShowing();
    if (show) {
        if (OnShow) OnShow(this);
        int cmd = FShowNoActivate ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL;
        if (FWindowState == TWindowState::wsMaximized) cmd = SW_SHOWMAXIMIZED;
        if (FWindowState == TWindowState::wsMinimized) cmd = SW_SHOWMINIMIZED;
        ::ShowWindow(FHandle, cmd);
        Realign();
        if (!FShowNoActivate && FActiveControl && FActiveControl->CanFocus()) ::SetFocus(FActiveControl->Handle());
    } else {
        if (OnHide) OnHide(this);
        if (FHandle) ::ShowWindow(FHandle, SW_HIDE);
    }
}

TWindowState TCustomForm::WindowState() const {
    // A hidden window keeps the state it is to show in.
    if (FHandle && ::IsWindowVisible(FHandle)) {
        if (::IsIconic(FHandle)) return TWindowState::wsMinimized;
        if (::IsZoomed(FHandle)) return TWindowState::wsMaximized;
        return TWindowState::wsNormal;
    }
    return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState value) {
    FWindowState = value;
    if (FHandle && FShowing) {
        ::ShowWindow(FHandle, value == TWindowState::wsMaximized   ? SW_MAXIMIZE
                              : value == TWindowState::wsMinimized ? SW_MINIMIZE
                                                                   : SW_RESTORE);
    }
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (FActiveControl == control) return;
    if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
    FActiveControl = control;
    if (control) {
        control->FreeNotification(this);
        if (FShowing && control->CanFocus()) ::SetFocus(control->Handle());
    }
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close() {
    // A handler may free the form.
    const TLiveness alive = Liveness();
    if (!CloseQuery() || !alive.Alive()) return;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    if (!alive.Alive() || action == TCloseAction::caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::Release() {
    if (Application) Application->ReleaseLater(this);
}

void TCustomForm::KeyDown(Word& Key, TShiftState Shift) { TWinControl::KeyDown(Key, Shift); }

void TCustomForm::KeyUp(Word& Key, TShiftState Shift) { TWinControl::KeyUp(Key, Shift); }

void TCustomForm::WMSize(TMessage& Message) {
    DefaultHandler(Message);
    // The state follows the window, also when the user or the system changes it.
    if (Message.WParam == SIZE_MINIMIZED)
        FWindowState = TWindowState::wsMinimized;
    else if (Message.WParam == SIZE_MAXIMIZED)
        FWindowState = TWindowState::wsMaximized;
    else if (Message.WParam == SIZE_RESTORED)
        FWindowState = TWindowState::wsNormal;
    if (Message.WParam == SIZE_MINIMIZED) return;
    ReadBoundsFromWindow();
    Realign();
    Resize();
}

void TCustomForm::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        // A command of the menu line (no control, notification code 0).
        if (Message.LParam == 0 && HIWORD(Message.WParam) == 0 && FMenu &&
            FMenu->DispatchCommand(LOWORD(Message.WParam)))
            return;
        break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
    case WM_MENUCHAR:
        if (TMenu::DispatchMenuMessage(Message)) return;
        break;
    case WM_DESTROY:
        DetachMenu();
        break;
    case CM_VISIBLECHANGED:
        UpdateFormShowing();
        return;
    case WM_CLOSE:
        Close();
        return;
    case WM_SYSCOMMAND:
        if ((Message.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
            Application->Minimize();
            return;
        }
        break;
    case WM_ACTIVATE: {
        const bool active = LOWORD(Message.WParam) != WA_INACTIVE;
        DefaultHandler(Message);
        FActive = active;
        if (active) {
            if (FActiveControl && FActiveControl->CanFocus() && FActiveControl->HandleAllocated())
                ::SetFocus(FActiveControl->Handle());
            if (OnActivate) OnActivate(this);
        } else if (OnDeactivate) {
            OnDeactivate(this);
        }
        return;
    }
    case CM_FOCUSCHANGED:
        if (auto* control = reinterpret_cast<TWinControl*>(Message.LParam); control && control != this) {
            if (FActiveControl != control) {
                if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
                FActiveControl = control;
                control->FreeNotification(this);
            }
        }
        break;
    case WM_SIZE: return WMSize(Message);
    case WM_NCCALCSIZE: return WMNCCalcSize(Message);
    case WM_NCPAINT: return WMNCPaint(Message);
    case CM_SHOWINGCHANGED:
        return;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TScreen

TCustomForm* TScreen::ActiveForm() const {
    HWND active = ::GetActiveWindow();
    for (TCustomForm* f : FForms)
        if (f->HandleAllocated() && f->Handle() == active) return f;
    return nullptr;
}

void TScreen::SetCursor(TCursor value) {
    FCursor = value;
    ScreenCursorOverride = value;
    if (value == crDefault) {
        // Let the window under the mouse choose again.
        POINT p;
        ::GetCursorPos(&p);
        ::SetCursorPos(p.x, p.y);
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    } else if (HCURSOR h = CursorHandle(value)) {
        ::SetCursor(h);
    }
}

TMonitor* TScreen::MonitorOf(HMONITOR handle) {
    if (!handle) return nullptr;
    for (const auto& m : FMonitors)
        if (m->Handle() == handle) return m.get();
    FMonitors.push_back(std::make_unique<TMonitor>(handle));
    return FMonitors.back().get();
}

TMonitor* TScreen::MonitorFromWindow(HWND wnd) { return MonitorOf(::MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST)); }

TMonitor* TScreen::MonitorFromPoint(TPoint p) {
    return MonitorOf(::MonitorFromPoint(POINT{p.X, p.Y}, MONITOR_DEFAULTTONEAREST));
}

TMonitor* TScreen::MonitorFromRect(const TRect& r) {
    const RECT rect{r.Left, r.Top, r.Right, r.Bottom};
    return MonitorOf(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
}

namespace {
MONITORINFO MonitorInfo(HMONITOR handle) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(handle, &info)) {
        // A monitor that went away: the primary screen stands in.
        info.rcMonitor = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        info.rcWork = info.rcMonitor;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
        info.dwFlags = MONITORINFOF_PRIMARY;
    }
    return info;
}
}  // namespace

TRect TMonitor::BoundsRect() const { return TRect(MonitorInfo(FHandle).rcMonitor); }

TRect TMonitor::WorkareaRect() const { return TRect(MonitorInfo(FHandle).rcWork); }

bool TMonitor::Primary() const { return (MonitorInfo(FHandle).dwFlags & MONITORINFOF_PRIMARY) != 0; }

void TScreen::AddForm(TCustomForm* form) {
    if (std::find(FForms.begin(), FForms.end(), form) == FForms.end()) FForms.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
}

// ---------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
    WindowProc = TWndMethod::Of<&TApplication::WndProc>(this);
}

TApplication::~TApplication() {
    FreeReleased();
    if (FHandle) {
        ::DestroyWindow(FHandle);
        FHandle = nullptr;
    }
    for (THookLink* link : FHookLinks) delete link;
}

void TApplication::Initialize() { Handle(); }

void TApplication::HookMainWindow(TWindowHook Hook) {
    if (!Hook) return;
    for (const THookLink* link : FHookLinks)
        if (!link->Removed && link->Hook == Hook) return;
    auto* link = new THookLink{Hook, WindowProc, false};
    FHookLinks.push_back(link);
    WindowProc = TWndMethod::Of<&THookLink::WndProc>(link);
}

void TApplication::UnhookMainWindow(TWindowHook Hook) {
    for (THookLink* link : FHookLinks) {
        if (link->Removed || !(link->Hook == Hook)) continue;
        link->Removed = true;
        // Given back only while it is still on top of the chain.
        if (WindowProc == TWndMethod::Of<&THookLink::WndProc>(link)) WindowProc = link->Previous;
        return;
    }
}

namespace {

// The visible, enabled form highest in the z-order.
TCustomForm* TopForm() {
    if (!Screen) return nullptr;
    for (HWND wnd = ::GetTopWindow(nullptr); wnd; wnd = ::GetWindow(wnd, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(wnd) || !::IsWindowEnabled(wnd)) continue;
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TCustomForm* form = Screen->Forms(i);
            if (form->HandleAllocated() && form->Handle() == wnd) return form;
        }
    }
    return nullptr;
}

}  // namespace

void TApplication::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NULL:
        CheckSynchronize();
        return;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
    case WM_MENUCHAR:
        // The items of popup menus shown with this window as owner.
        if (TMenu::DispatchMenuMessage(Message)) return;
        break;
    case CM_RELEASE:
        FReleasePosted = false;
        FreeReleased();
        return;
    case WM_SYSCOMMAND:
        if ((Message.WParam & 0xFFF0) == SC_RESTORE) {
            Restore();
            return;
        }
        break;
    case WM_CLOSE:
        if (FMainForm) {
            FMainForm->Close();
            return;
        }
        break;
    case WM_SETFOCUS:
        // Nothing is typed into this window. It is activated when a box or
        // dialog that it owns closes; the form on top then takes over, once
        // the activation has ended.
        ::PostMessageW(FHandle, CM_ENTER, 0, 0);
        break;
    case CM_ENTER:
        if (FHandle && ::GetFocus() == FHandle && !::IsIconic(FHandle))
            if (TCustomForm* form = TopForm()) ::SetActiveWindow(form->Handle());
        return;
    case WM_SETCURSOR:
        if (Screen && Screen->Cursor() != crDefault) {
            ::SetCursor(CursorHandle(Screen->Cursor()));
            Message.Result = TRUE;
            return;
        }
        break;
    default:
        break;
    }
    if (!FHandle || !CallPreviousWndProc(FHandle, this, Message))
        Message.Result = ::DefWindowProcW(FHandle, Message.Msg, Message.WParam, Message.LParam);
}

HWND TApplication::Handle() {
    if (FHandle) return FHandle;
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
        if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = L"TApplication";
        registered = ::RegisterClassW(&wc) != 0;
    }
    // A window without size in the middle of the screen: it stands for the
    // program on the taskbar and owns the forms.
    HWND wnd = ::CreateWindowExW(0, L"TApplication", WStr(Title),
                                 WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                                 ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!wnd) return nullptr;
    AttachWindow(wnd, this, TWndMethod::Of<&TApplication::MainWndMethod>(this));
    FHandle = wnd;
    return FHandle;
}

void TApplication::Run() {
    FRunning = true;
    if (FMainForm) {
        FMainForm->Show();
        if (FHandle) ::ShowWindow(FHandle, SW_SHOWNOACTIVATE);
    }
    try {
        while (!FTerminated) HandleMessage();
    } catch (...) {
        FRunning = false;
        throw;
    }
    FRunning = false;
}

void TApplication::Terminate() {
    if (!FTerminated) ::PostQuitMessage(0);
    FTerminated = true;
}

void TApplication::Minimize() {
    if (FHandle) ::ShowWindow(FHandle, SW_MINIMIZE);
    if (FMainForm && FMainForm->HandleAllocated()) ::ShowWindow(FMainForm->Handle(), SW_HIDE);
}

void TApplication::Restore() {
    if (FHandle) ::ShowWindow(FHandle, SW_RESTORE);
    if (FMainForm && FMainForm->HandleAllocated() && FMainForm->Visible()) {
        ::ShowWindow(FMainForm->Handle(), SW_SHOW);
        ::SetForegroundWindow(FMainForm->Handle());
    }
}

namespace {
std::vector<HWND>& ModelessDialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

bool BroadcastDialogKey(TWinControl* parent, WPARAM key, LPARAM data) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible()) continue;
        if (c->Perform(CM_DIALOGKEY, key, data)) return true;
        if (auto* w = dynamic_cast<TWinControl*>(c); w && BroadcastDialogKey(w, key, data)) return true;
    }
    return false;
}

// Enter and Esc that the focused control does not take itself go to the
// controls of its form as CM_DIALOGKEY, where a default or cancel button
// answers them.
bool IsDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    TWinControl* control = nullptr;
    for (HWND wnd = msg.hwnd; wnd && !control; wnd = ::GetParent(wnd)) control = TWinControl::FindControl(wnd);
    if (!control) return false;
    if (::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, 0) & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    TCustomForm* form = GetParentForm(control);
    return form && BroadcastDialogKey(form, msg.wParam, msg.lParam);
}
}  // namespace

void RegisterModelessDialog(HWND dialog) {
    auto& list = ModelessDialogs();
    if (dialog && std::find(list.begin(), list.end(), dialog) == list.end()) list.push_back(dialog);
}

void UnregisterModelessDialog(HWND dialog) {
    auto& list = ModelessDialogs();
    list.erase(std::remove(list.begin(), list.end(), dialog), list.end());
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    for (HWND dialog : std::vector<HWND>(ModelessDialogs())) {
        if (::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg)) return true;
    }
    if (IsDialogKey(msg)) return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    FreeReleased();
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg)) {
        Idle();
        if (!FTerminated) ::WaitMessage();
    }
}

void TApplication::Idle() {
    CheckSynchronize();
    DoMouseIdle();
    FreeReleased();
    bool done = true;
    if (OnIdle) {
        try {
            OnIdle(this, done);
        } catch (...) {
            HandleException(this);
        }
    }
}

namespace {

// The idle check below runs only when a message has come. While the pointer
// is over a window of this thread, the system is asked to post one
// (WM_MOUSELEAVE, or WM_NCMOUSELEAVE for the non-client area) when the
// pointer leaves that part of the window: then a pointer that leaves for the
// desktop or another program is noticed too. The system tracks one window
// per thread and ends the tracking with its message.
void TrackMouseLeave(HWND wnd, POINT p) {
    if (!wnd || ::GetWindowThreadProcessId(wnd, nullptr) != ::GetCurrentThreadId()) return;
    TRACKMOUSEEVENT now{};
    now.cbSize = sizeof(now);
    now.dwFlags = TME_QUERY;
    if (::TrackMouseEvent(&now) && now.hwndTrack == wnd && (now.dwFlags & TME_LEAVE) != 0) return;
    // The part of the window as the system sees it, by the window's own hit test.
    const LRESULT hit = ::SendMessageW(wnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE | (hit == HTCLIENT ? 0 : TME_NONCLIENT);
    track.hwndTrack = wnd;
    track.dwHoverTime = HOVER_DEFAULT;
    ::TrackMouseEvent(&track);
}

}  // namespace

void TApplication::DoMouseIdle() {
    POINT p;
    if (!::GetCursorPos(&p)) return;
    TControl* target = nullptr;
    HWND wnd = ::WindowFromPoint(p);
    TrackMouseLeave(wnd, p);
    TWinControl* win = nullptr;
    while (wnd && !(win = TWinControl::FindControl(wnd))) wnd = ::GetParent(wnd);
    if (win) {
        target = win;
        POINT local = p;
        if (win->HandleAllocated()) ::ScreenToClient(win->Handle(), &local);
        if (TControl* c = win->ControlAtPos(local, false)) target = c;
    }
    if (target == FMouseControl) return;
    TControl* old = FMouseControl;
    FMouseControl = target;
    if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
    if (target && FMouseControl == target) target->Perform(CM_MOUSEENTER, 0, 0);
}

void TApplication::ControlDestroyed(TControl* control) {
    if (FMouseControl == control) FMouseControl = nullptr;
    if (control == FMainForm) FMainForm = nullptr;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) return;
    if (AComponent == FMainForm) FMainForm = nullptr;
    if (AComponent == FMouseControl) FMouseControl = nullptr;
    // A released component freed meanwhile by other means.
    FReleased.erase(std::remove(FReleased.begin(), FReleased.end(), AComponent), FReleased.end());
}

void TApplication::ReleaseLater(TComponent* component) {
    if (!component) return;
    if (std::find(FReleased.begin(), FReleased.end(), component) == FReleased.end()) {
        FReleased.push_back(component);
        if (component != this) component->FreeNotification(this);
    }
    if (FHandle && !FReleasePosted) FReleasePosted = ::PostMessageW(FHandle, CM_RELEASE, 0, 0) != FALSE;
}

namespace {

// A dispatch of the component, or of anything it owns or holds as a child
// control, is on the stack.
bool DispatchOnStack(TComponent* component, const std::vector<const void*>& active) {
    if (std::find(active.begin(), active.end(), dynamic_cast<const void*>(component)) != active.end()) return true;
    for (int i = 0; i < component->ComponentCount(); ++i)
        if (DispatchOnStack(component->Components(i), active)) return true;
    if (auto* control = dynamic_cast<TWinControl*>(component)) {
        for (int i = 0; i < control->ControlCount(); ++i)
            if (DispatchOnStack(control->Controls(i), active)) return true;
    }
    return false;
}

}  // namespace

void TApplication::FreeReleased() {
    // Only what no dispatch on the stack belongs to: a handler that released
    // its form and then runs a message loop keeps the form until it returns.
    for (std::size_t i = 0; i < FReleased.size();) {
        TComponent* c = FReleased[i];
        if (DispatchOnStack(c, ActiveDispatches())) {
            ++i;
            continue;
        }
        FReleased.erase(FReleased.begin() + static_cast<std::ptrdiff_t>(i));
        try {
            c->Free();
        } catch (...) {
            HandleException(this);
        }
        // Freeing may have released or freed others: start over.
        i = 0;
    }
}

void TApplication::ReleasedMayBeFree() {
    if (FReleased.empty() || FReleasePosted || !FHandle) return;
    const auto& active = ActiveDispatches();
    for (TComponent* c : FReleased) {
        if (!DispatchOnStack(c, active)) {
            FReleasePosted = ::PostMessageW(FHandle, CM_RELEASE, 0, 0) != FALSE;
            return;
        }
    }
}

void TApplication::ShowException(const std::exception& E) {
    String text;
    if (const auto* e = dynamic_cast<const Exception*>(&E))
        text = e->Message();
    else
        text = Utf8ToString(E.what());
    while (!text.empty() && text.back() == u'.') text.pop_back();
    text += u".";
    ::MessageBoxW(FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : nullptr, WStr(text), WStr(Title),
                  MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(TObject* Sender) {
    std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        if (OnException) {
            try {
                OnException(Sender ? Sender : this, e);
            } catch (...) {
            }
        } else {
            ShowException(e);
        }
    } catch (...) {
        const Exception unknown(u"Unknown exception");
        if (OnException)
            OnException(Sender ? Sender : this, unknown);
        else
            ShowException(unknown);
    }
}

// ---------------------------------------------------------------------------

namespace {
void ForgetControl(TControl* control) {
    if (Application) Application->ControlDestroyed(control);
}
void ReportGraphicsException(TObject* Sender) {
    if (Application) Application->HandleException(Sender);
}
void WakeMessageLoop() {
    if (Application) ::PostMessageW(Application->Handle(), WM_NULL, 0, 0);
}
void DispatchReturned() {
    if (Application) Application->ReleasedMayBeFree();
}
}  // namespace

void FormsInitialization() {
    ::InitCommonControls();
    ControlDestroyedHook = ForgetControl;
    WakeMainThread = WakeMessageLoop;
    GraphicsHandleException = TNotifyEvent::OfFunction(ReportGraphicsException);
    DispatchReturnedHook = DispatchReturned;
    Application = new TApplication(nullptr);
    Screen = new TScreen(nullptr);
}

void FormsFinalization() {
    // The application owns the forms: freeing it frees every form and control.
    TApplication* app = Application;
    if (app) app->Free();
    Application = nullptr;
    TScreen* screen = Screen;
    Screen = nullptr;
    if (screen) screen->Free();
    ControlDestroyedHook = nullptr;
    DispatchReturnedHook = nullptr;
    WakeMainThread = nullptr;
    GraphicsHandleException = nullptr;
}

// ---------------------------------------------------------------------------
// THintWindow

namespace {

// The text flags of a hint: wrapped lines, '&' shown as it stands.
constexpr UINT kHintTextFlags = DT_WORDBREAK | DT_NOPREFIX;
// Room around the text inside the window (the border included).
constexpr int kHintMarginX = 3;
constexpr int kHintMarginY = 1;

}  // namespace

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    FVisible = false;
    FParentColor = false;
    FParentFont = false;
    SetColor(clInfoBk);
    FFont->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WndParent = Application ? Application->Handle() : nullptr;
    Params.WindowClass.style |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const String& AHint) {
    RECT r = {0, 0, std::max(1, MaxWidth), 0};
    const HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, FFont->Handle());
    ::DrawTextW(dc, WStr(AHint), -1, &r, kHintTextFlags | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return TRect(0, 0, r.right + 2 * kHintMarginX, r.bottom + 2 * kHintMarginY);
}

void THintWindow::ActivateHint(const TRect& Rect, const String& AHint) {
    SetText(AHint);
    SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
    const HWND wnd = Handle();
    ::SetWindowPos(wnd, HWND_TOPMOST, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
                   SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
    ::InvalidateRect(wnd, nullptr, TRUE);
}

void THintWindow::Paint() {
    RECT r;
    ::GetClientRect(Handle(), &r);
    ::InflateRect(&r, 1 - kHintMarginX, 1 - kHintMarginY);
    const HDC dc = FCanvas->Handle();
    const HGDIOBJ old = ::SelectObject(dc, FFont->Handle());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(FFont->Color())));
    ::DrawTextW(dc, WStr(Caption()), -1, &r, kHintTextFlags);
    ::SelectObject(dc, old);
}

void THintWindow::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    case WM_NCHITTEST:
        // The mouse goes through to the window below.
        Message.Result = HTTRANSPARENT;
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}
