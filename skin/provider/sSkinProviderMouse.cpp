// The skinned frame under the mouse: caption buttons press on the button
// down and act on the release only over the button that was pressed (the
// form holds the mouse capture meanwhile, so the release comes back to it
// wherever it happens), the caption moves the form and double-clicks
// maximize and restore, the icon and a right click drop the system menu, the
// outline drag of ResizeMode rmBorder, and the window commands of the form.
// Win32, main thread only.
#include <algorithm>

#include "sSkinProvider.h"

#include "acDwm.h"
#include "sMessages.h"
#include "sSkinMenus.h"
#include "sStyleSimplyWin.h"

#include <windowsx.h>

namespace {

// How long a press on the title icon waits for a second click (which closes
// the form) before the system menu drops.
constexpr DWORD kIconClickWaitMs = 200;

// The outline drag of ResizeMode rmBorder: one at a time in the process.
struct TacFrameDrag {
    TsSkinProvider* Owner = nullptr;
    bool Sizing = false;
    HDC DC = nullptr;
    int SavedDC = 0;
    TRect Rect{0, 0, 0, 0};
    TPoint Offset{0, 0};   // the mouse in the form when moving
    Integer MinWidth = 0;
    Integer MinHeight = 0;
};

TacFrameDrag gDrag;

// The outline as a closed polyline, drawn inverted on the desktop (a second
// drawing erases it).
void DrawOutline(HDC DC, const TRect& R) {
    if (!DC) return;
    const POINT points[5] = {{R.Left, R.Top}, {R.Right - 1, R.Top}, {R.Right - 1, R.Bottom - 1},
                             {R.Left, R.Bottom - 1}, {R.Left, R.Top}};
    ::Polyline(DC, points, 5);
}

TPoint ScreenPointOf(LPARAM LParam) { return TPoint(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)); }

bool IsCaptionButtonCode(Integer Code) {
    return Code == HTCAPTIONBTN_MIN || Code == HTCAPTIONBTN_MAX || Code == HTCAPTIONBTN_CLOSE ||
           Code == HTCAPTIONBTN_HELP || Code == HTCHILDCLOSE || Code == HTCHILDMAX || Code == HTCHILDMIN;
}

}  // namespace

bool TsSkinProvider::FrameDragging() { return gDrag.Owner != nullptr; }

TsSkinProvider* TsSkinProvider::FrameDragOwner() { return gDrag.Owner; }

// ---- system menu ---------------------------------------------------------------------------------

void TsSkinProvider::DropSysMenu(Integer X, Integer Y) {
    if (!SystemMenu) PrepareForm();
    HWND wnd = FormWnd(Form);
    if (!SystemMenu || !wnd) return;
    const TLiveness alive = Liveness();
    TsSkinManager* m = Manager();
    if (m && m->SkinnedPopups()) {
        // The skinned menu. Extra commands that the application put into the
        // window's menu since the items were made are taken in as well.
        const bool full = SystemMenu->ExtItemsCount > 0 || TsSystemMenu::WindowExtraCount(wnd) > 0;
        SystemMenu->UpdateItems(full);
        const bool chooser = FMakeSkinMenu && SystemMenu->Items()->Count() > 0;
        if (chooser) {
            SystemMenu->RemoveSkinItems();
            SystemMenu->MakeSkinItems();
        }
        if (TsSkinableMenus* menus = m->SkinableMenus()) menus->HookPopupMenu(SystemMenu, true);
        SystemMenu->SetWindowHandle(wnd);
        SystemMenu->Popup(X, Y);
        if (!alive.Alive()) return;
        if (SystemMenu) SystemMenu->SetWindowHandle(nullptr);
        return;
    }
    // The system's own menu with the commands greyed by the rules. The
    // form's style stays as it is while the items change: enabling menu
    // items repaints nothing.
    HMENU menu = TsSystemMenu::WindowMenu(wnd);
    if (!menu) return;
    const bool iconic = IsIconic(), zoomed = IsZoomed();
    EnableSysMenuItem(SC_RESTORE, SystemMenu->VisibleRestore() && SystemMenu->EnabledRestore());
    EnableSysMenuItem(SC_MOVE, SystemMenu->EnabledMove() && !iconic);
    EnableSysMenuItem(SC_SIZE, SystemMenu->VisibleSize() && SystemMenu->EnabledSize() && !iconic && !zoomed);
    EnableSysMenuItem(SC_MINIMIZE, SystemMenu->VisibleMin() && SystemMenu->EnabledMin());
    EnableSysMenuItem(SC_MAXIMIZE, SystemMenu->VisibleMax() && SystemMenu->EnabledMax());
    EnableSysMenuItem(SC_CLOSE, SystemMenu->VisibleClose());
    const UINT command =
        static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, wnd, nullptr));
    if (alive.Alive() && command != 0 && ::IsWindow(wnd)) ::PostMessageW(wnd, WM_SYSCOMMAND, command, 0);
}

void TsSkinProvider::DropSysMenuBelowIcon(Integer Up) {
    HWND wnd = FormWnd(Form);
    if (!wnd) return;
    RECT wr{};
    ::GetWindowRect(wnd, &wr);
    const Integer x = wr.left + SysBorderWidth(wnd, BorderForm, false);
    const Integer y = wr.top + BorderHeight(true) + TitleIconRect().Height() + SysBorderHeight(wnd, BorderForm, false);
    DropSysMenu(x, y - Up);
}

// ---- outline drag ----------------------------------------------------------------------------------

void TsSkinProvider::BeginFrameDrag(bool Sizing, TPoint ScreenPoint) {
    HWND wnd = FormWnd(Form);
    if (!wnd || !Form->Enabled() || gDrag.Owner) return;
    gDrag = TacFrameDrag{};
    gDrag.Owner = this;
    gDrag.Sizing = Sizing;
    gDrag.DC = ::GetWindowDC(::GetDesktopWindow());
    gDrag.SavedDC = gDrag.DC ? ::SaveDC(gDrag.DC) : 0;
    if (gDrag.DC) {
        ::SetROP2(gDrag.DC, R2_NOT);
        ::SelectObject(gDrag.DC, ::GetStockObject(NULL_BRUSH));
    }
    RECT wr{};
    ::GetWindowRect(wnd, &wr);
    gDrag.Rect = TRect(wr.left, wr.top, wr.right, wr.bottom);
    if (Sizing) {
        gDrag.MinWidth = ::GetSystemMetrics(SM_CXMINTRACK);
        gDrag.MinHeight = ::GetSystemMetrics(SM_CYMINTRACK);
    } else {
        gDrag.Offset = TPoint(ScreenPoint.X - wr.left, ScreenPoint.Y - wr.top);
    }
    DrawOutline(gDrag.DC, gDrag.Rect);
}

void TsSkinProvider::DrawDragFrame(TPoint ScreenPoint) {
    if (gDrag.Owner != this) return;
    DrawOutline(gDrag.DC, gDrag.Rect);
    if (gDrag.Sizing) {
        gDrag.Rect.Right = std::max(ScreenPoint.X, gDrag.Rect.Left + gDrag.MinWidth);
        gDrag.Rect.Bottom = std::max(ScreenPoint.Y, gDrag.Rect.Top + gDrag.MinHeight);
    } else {
        const Integer w = gDrag.Rect.Width(), h = gDrag.Rect.Height();
        gDrag.Rect = Bounds(ScreenPoint.X - gDrag.Offset.X, ScreenPoint.Y - gDrag.Offset.Y, w, h);
    }
    DrawOutline(gDrag.DC, gDrag.Rect);
}

void TsSkinProvider::EndFrameDrag(TPoint ScreenPoint) {
    if (gDrag.Owner != this) return;
    DrawDragFrame(ScreenPoint);
    const TRect rect = gDrag.Rect;
    // The outline goes as a cancelled one does, then the form takes its place.
    CancelFrameDrag();
    if (HWND wnd = FormWnd(Form)) ::MoveWindow(wnd, rect.Left, rect.Top, rect.Width(), rect.Height(), TRUE);
}

void TsSkinProvider::CancelFrameDrag() {
    if (gDrag.Owner != this) return;
    const TacFrameDrag drag = gDrag;
    // Cleared first: giving the capture back below ends nothing twice.
    gDrag = TacFrameDrag{};
    DrawOutline(drag.DC, drag.Rect);
    if (drag.DC) {
        ::RestoreDC(drag.DC, drag.SavedDC);
        ::ReleaseDC(::GetDesktopWindow(), drag.DC);
    }
    HWND wnd = FormWnd(Form);
    if (wnd && ::GetCapture() == wnd) ::ReleaseCapture();
}

// ---- button down -------------------------------------------------------------------------------------

void TsSkinProvider::HandleNCLButtonDown(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    const auto hit = static_cast<Integer>(Message.WParam);
    const TLiveness alive = Liveness();
    if (!FDrawNonClientArea || !wnd) {
        if (hit == HTSYSMENU && wnd) {
            SetHotHT(0, true);
            acBtnPressed = false;
            DropSysMenuBelowIcon();
            return;
        }
        PassOn(Message);
        return;
    }
    TsSkinManager* m = Manager();
    if (hit == HTSYSMENU) {
        Message.Result = 0;
        PassOn(Message);
        if (!alive.Alive() || Message.Result != 0) return;
        SetHotHT(0, true);
        if (m && !m->SkinnedPopups()) {
            // A second click may follow and close the form (or anything the
            // queue holds may free it): the menu drops only for a form that
            // is still there, shown and not updating.
            const DWORD start = ::GetTickCount();
            while (::GetTickCount() - start < kIconClickWaitMs) {
                if (Application) Application->ProcessMessages();
                if (!alive.Alive()) return;
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
            if (!alive.Alive() || !Form || Form->HasState(csDestroying) || !::IsWindow(wnd) || !::IsWindowVisible(wnd) ||
                FCommonData->FUpdating)
                return;
        }
        DropSysMenuBelowIcon();
        return;
    }
    if (hit == HTMENU) {
        PassOn(Message);
        return;
    }
    if (IsCaptionButtonCode(hit)) {
        // The buttons of a maximized MDI child come with the MDI support.
        if (hit == HTCHILDCLOSE || hit == HTCHILDMAX || hit == HTCHILDMIN) return;
        SetPressedHT(hit);
        if (acBtnPressed && CurrentHT == hit) {
            // The release comes back here wherever it happens.
            PressedHT = hit;
            ::SetCapture(wnd);
        }
        Message.Result = 0;
        return;
    }
    if (hit >= HTUDBTN && FTitleButtons && hit - HTUDBTN < FTitleButtons->Count()) {
        TsTitleButton* b = FTitleButtons->Items(hit - HTUDBTN);
        SetPressedHT(hit);
        PressedHT = hit;
        ::SetCapture(wnd);
        if (b->OnMouseDown) {
            const TPoint p = FormPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
            b->OnMouseDown(b, TMouseButton::mbLeft, KeyboardStateToShiftState(), p.X, p.Y);
        }
        Message.Result = 0;
        return;
    }
    if (IsIconic()) {
        ::SendMessageW(wnd, WM_SYSCOMMAND, 0xF012, 0);
        return;
    }
    SetHotHT(0, true);
    if (IsZoomed()) {
        // A maximized form stays where it is.
        const TPoint p = FormPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        if (p.Y < SysBorderHeight(wnd, BorderForm, false) + CaptionHeight(true)) {
            if (!Form->Active()) Form->SetFocus();
            Message.Result = 0;
            return;
        }
    }
    BOOL fullDrag = FALSE;
    ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
    if (fullDrag) {
        if (FResizeMode == rmBorder && Form->Enabled() && hit != HTMENU) {
            const bool sizing = hit >= HTLEFT && hit <= HTBOTTOMRIGHT;
            ::SendMessageW(wnd, WM_SYSCOMMAND, sizing ? SC_SIZE : SC_MOVE, Message.LParam);
            return;
        }
        TacBlendOnMoving* blend = m && m->AnimEffects() ? m->AnimEffects()->BlendOnMoving() : nullptr;
        if (hit == HTCAPTION && !IsMDIChild() && blend && blend->Active() && blend->BlendValue() != 255 &&
            FAllowBlendOnMoving) {
            FormActive = true;
            Form->SetFocus();
            if (!alive.Alive()) return;
            StartBlendOnMoving();
            return;
        }
    }
    PassOn(Message);
}

// ---- button up ---------------------------------------------------------------------------------------

void TsSkinProvider::ReleasePressedButton() {
    const Integer pressed = PressedHT;
    PressedHT = 0;
    acBtnPressed = false;
    if (pressed != 0) SetHotHT(0, true);
}

void TsSkinProvider::HandleButtonUp(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!FDrawNonClientArea || !wnd) {
        PassOn(Message);
        return;
    }
    const bool client = Message.Msg == WM_LBUTTONUP;
    TPoint screen;
    Integer code;
    if (client) {
        POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        ::ClientToScreen(wnd, &p);
        screen = TPoint(p.x, p.y);
        if (PressedHT == 0 || ::GetCapture() != wnd) {
            // An ordinary click in the client area (or the end of an outline drag).
            if (FResizeMode == rmBorder && gDrag.Owner == this) {
                EndFrameDrag(screen);
                return;
            }
            PassOn(Message);
            return;
        }
        // wParam holds the MK_ key flags and the point is in client
        // coordinates: the button under the pointer comes from the hit test.
        const TMessage hitTest{WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), 0};
        code = HitTest(hitTest);
    } else {
        screen = ScreenPointOf(Message.LParam);
        code = static_cast<Integer>(Message.WParam);
    }

    const Integer pressed = PressedHT;
    const bool held = acBtnPressed && pressed != 0;
    // Every release ends the press; the capture goes with it (its loss
    // finds nothing left to clear).
    PressedHT = 0;
    acBtnPressed = false;
    if (pressed != 0 && ::GetCapture() == wnd) ::ReleaseCapture();

    const TPoint p = FormPoint(screen.X, screen.Y);
    const TsCaptionButton* btn = ButtonOf(code);
    const bool acts = held && code == pressed && btn && btn->Rect.Contains(p);
    const TLiveness alive = Liveness();
    // What is not the frame's own goes the usual way; the release of a
    // captured press is the frame's.
    auto passOn = [&] {
        if (!client) PassOn(Message);
    };
    Message.Result = 0;

    switch (code) {
    case HTCAPTIONBTN_MIN:
        SetHotHT(0, true);
        if (!acts) {
            passOn();
            return;
        }
        if (IsIconic()) {
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        } else if (IsMainForm(Form)) {
            SkipAnimation = true;
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            if (alive.Alive()) SkipAnimation = false;
        } else {
            FormState |= FS_ANIMMINIMIZING;
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            if (alive.Alive()) FormState &= ~FS_ANIMMINIMIZING;
        }
        if (!alive.Alive()) return;
        FCommonData->BGChanged = true;
        RegionChanged = true;
        return;
    case HTCAPTIONBTN_MAX:
        if (SystemMenu && !SystemMenu->EnabledMax() && !(IsZoomed() && SystemMenu->EnabledRestore())) {
            SetHotHT(0, true);
            return;
        }
        SetHotHT(0, true);
        if (!acts) {
            passOn();
            return;
        }
        if (IsZoomed()) {
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
            if (!alive.Alive()) return;
            RefreshFrame();
        } else {
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            if (!alive.Alive()) return;
        }
        if (SystemMenu) SystemMenu->UpdateItems();
        return;
    case HTCAPTIONBTN_CLOSE:
        if (!acts) {
            SetHotHT(0, true);
            passOn();
            return;
        }
        ButtonClose.State = 0;
        ::SendMessageW(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (!alive.Alive() || !Form || Form->HasState(csDestroying)) return;
        StopButtonFades();
        if (::IsWindow(wnd) && ::IsWindowVisible(wnd)) {
            FCommonData->BGChanged = true;
            SetHotHT(0, true);
        }
        return;
    case HTCAPTIONBTN_HELP:
        if (!acts) {
            SetHotHT(0, true);
            passOn();
            return;
        }
        ::SendMessageW(wnd, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        if (!alive.Alive()) return;
        SetHotHT(0, true);
        if (SystemMenu) SystemMenu->UpdateItems();
        RefreshFrame();
        return;
    default: break;
    }
    if (code >= HTUDBTN && FTitleButtons && code - HTUDBTN < FTitleButtons->Count()) {
        if (acts) {
            TsTitleButton* b = FTitleButtons->Items(code - HTUDBTN);
            if (b->OnMouseUp) b->OnMouseUp(b, TMouseButton::mbLeft, KeyboardStateToShiftState(), p.X, p.Y);
            if (!alive.Alive()) return;
        }
        SetHotHT(0, true);
        return;
    }
    if (pressed != 0) {
        // Released away from the pressed button: nothing happens.
        SetHotHT(0, true);
        return;
    }
    if (FResizeMode == rmBorder && Form->Enabled() && !IsZoomed() && gDrag.Owner == this) {
        EndFrameDrag(screen);
        return;
    }
    passOn();
}

void TsSkinProvider::HandleNCLButtonDblClk(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (gDrag.Owner == this) EndFrameDrag(ScreenPointOf(Message.LParam));
    if (!wnd) {
        PassOn(Message);
        return;
    }
    const TLiveness alive = Liveness();
    switch (static_cast<Integer>(Message.WParam)) {
    case HTCAPTION: {
        const bool offers = SystemMenu && (SystemMenu->EnabledMax() || SystemMenu->EnabledRestore());
        if (offers || (IsIconic() && !HaveBorder())) {
            ::SendMessageW(wnd, WM_SYSCOMMAND, IsZoomed() || IsIconic() ? SC_RESTORE : SC_MAXIMIZE, 0);
            if (alive.Alive() && SystemMenu) SystemMenu->UpdateItems();
        } else if (IsIconic()) {
            ::SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        }
        Message.Result = 0;
        return;
    }
    case HTSYSMENU: {
        TsSkinManager* m = Manager();
        if (m && !m->SkinnedPopups()) FCommonData->FUpdating = true;
        Form->Close();
        return;
    }
    default: PassOn(Message); return;
    }
}

// ---- window commands ---------------------------------------------------------------------------------

void TsSkinProvider::HandleSysCommand(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!wnd) {
        PassOn(Message);
        return;
    }
    // The low four bits carry how the command was given (HTCAPTION for a
    // double click on the caption, ...): commands are compared without them,
    // except the move by the caption, which is the command with HTCAPTION.
    const auto raw = static_cast<UINT>(Message.WParam & 0xFFFF);
    const UINT command = raw & 0xFFF0;
    const TLiveness alive = Liveness();
    TsSkinManager* m = Manager();

    if (raw == 0xF012) ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (command == SC_MAXIMIZE && !Form->Parent() && FormTimer) {
        TacSysAnimationOff off;
        StartRestoreAnimation();
        if (!alive.Alive()) return;
        PassOn(Message);
        return;
    }
    if (command == SC_RESTORE) {
        if ((FormState & FS_ANIMCLOSING) != 0) {
            FormState &= ~FS_ANIMCLOSING;
            TacSysAnimationOff off;
            PassOn(Message);
            return;
        }
        if (!IsMainForm(Form)) {
            TacSysAnimationOff off;
            PassOn(Message);
            return;
        }
        if (::IsIconic(wnd) && !Form->Parent()) {
            if (FormTimer && Application) {
                ::SendMessageW(Application->Handle(), Message.Msg, Message.WParam, Message.LParam);
                return;
            }
            if (!BorderForm && IsAeroEnabled()) {
                PassOn(Message);
                if (!alive.Alive()) return;
                ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
                ::InvalidateRect(wnd, nullptr, TRUE);
                return;
            }
        }
    }
    if (FResizeMode == rmBorder && Form->Enabled() && !FrameDragging() && (command == SC_MOVE || command == SC_SIZE)) {
        ::SetCapture(wnd);
        POINT cursor{};
        ::GetCursorPos(&cursor);
        BeginFrameDrag(command == SC_SIZE, TPoint(cursor.x, cursor.y));
        return;
    }

    if (command == SC_RESTORE && BorderForm) UpdateBorderForm(false);
    PassOn(Message);
    if (!alive.Alive() || !Form || Form->HasState(csDestroying) || !::IsWindow(wnd)) return;
    switch (command) {
    case SC_MINIMIZE:
        if (FCommonData->FCacheBmp) FCommonData->FCacheBmp->SetSize(0, 0);
        if (m && m->AnimEffects() && m->AnimEffects()->Minimizing()->Active()) fAnimating = false;
        break;
    case SC_MAXIMIZE:
    case SC_RESTORE:
        if (SystemMenu && SystemMenu->VisibleMax()) CurrentHT = HTCAPTIONBTN_MAX;
        SetHotHT(0, true);
        if (command == SC_RESTORE) {
            FCommonData->BGChanged = true;
            RegionChanged = true;
            if (HaveBorder()) {
                if (m && m->ExtendedBorders() && FAllowExtBorders && FDrawNonClientArea && !Form->Parent())
                    UpdateBorderForm(true);
                ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
            } else {
                ::SetWindowRgn(wnd, nullptr, TRUE);
            }
        }
        break;
    case SC_KEYMENU:
        if (Message.LParam == VK_SPACE && HaveSysMenu && HaveBorder()) DropSysMenuBelowIcon(IsIconic() ? 16 : 0);
        break;
    default: break;
    }
}
