#include "sVclUtils.h"

#include <algorithm>
#include <vector>

#include "ComCtrls.h"
#include "acUtils.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"

// ---------------------------------------------------------------------------
// Colours

TColor GetControlBgColor(TControl* Control) {
    if (!Control) return kNoColor;
    if (SendSkinCommandToControl(Control, AC_CTRLHANDLED, 0) != 1) return ::ColorToRGB(Control->Color());
    return ::ColorToRGB(static_cast<TColor>(SendSkinCommandToControl(Control, AC_GETCONTROLCOLOR, kNoColor)));
}

TColor GetWindowBgColor(HWND Wnd) {
    if (!Wnd) return kNoColor;
    // A window that does not know the message would answer 0 (black): one
    // that is not skinned has the button face under it.
    if (!SkinCommandAnswered(Wnd, AC_CTRLHANDLED)) return ::ColorToRGB(clBtnFace);
    return ::ColorToRGB(static_cast<TColor>(SendSkinCommand(Wnd, AC_GETCONTROLCOLOR, kNoColor)));
}

// ---------------------------------------------------------------------------
// The image or colour under a child

namespace {

TColor DefaultGlobalColor() { return DefaultManager ? DefaultManager->GetGlobalColor() : clBtnFace; }

void FillRectWith(HDC DC, const RECT& R, TColor Color) {
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Color)));
    ::FillRect(DC, &R, brush);
    ::DeleteObject(brush);
}

// Paints the parent itself under the child: the parent's background and
// client area go to Info.DC, moved so that the child's top-left corner is the
// DC's origin, clipped to Info.R.
template <class Send>
void PaintParentUnder(TBackgroundInfo& Info, Send send) {
    if (!Info.DC) return;
    const int saved = ::SaveDC(Info.DC);
    POINT org;
    ::GetViewportOrgEx(Info.DC, &org);
    ::SetViewportOrgEx(Info.DC, org.x - Info.Offset.X, org.y - Info.Offset.Y, nullptr);
    TRect r = Info.R;
    r.Offset(Info.Offset.X, Info.Offset.Y);
    ::IntersectClipRect(Info.DC, r.Left, r.Top, r.Right, r.Bottom);
    send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(Info.DC), 0);
    send(WM_PAINT, reinterpret_cast<WPARAM>(Info.DC), 0);
    ::RestoreDC(Info.DC, saved);
}

}  // namespace

bool QueryWindowBackground(TBackgroundInfo& Info, HWND Wnd, bool PleaseDraw) {
    const bool wanted = Info.PleaseDraw;
    Info.BgType = 0;
    Info.PleaseDraw = PleaseDraw;
    if (Wnd) SendSkinCommand(Wnd, AC_GETBG, reinterpret_cast<LPARAM>(&Info));
    if (Info.BgType != 0) return true;
    if (wanted && Wnd) {
        PaintParentUnder(Info, [Wnd](UINT msg, WPARAM w, LPARAM l) { ::SendMessageW(Wnd, msg, w, l); });
    } else {
        Info.Color = DefaultGlobalColor();
        Info.BgType = btFill;
    }
    return false;
}

bool QueryControlBackground(TBackgroundInfo& Info, TWinControl* Control, bool PleaseDraw) {
    const bool wanted = Info.PleaseDraw;
    Info.BgType = 0;
    Info.PleaseDraw = PleaseDraw;
    if (!Control) {
        Info.Color = DefaultGlobalColor();
        Info.BgType = btFill;
        return false;
    }
    if (Control->HandleAllocated())
        SendSkinCommand(Control->Handle(), AC_GETBG, reinterpret_cast<LPARAM>(&Info));
    else
        PerformSkinCommand(Control, AC_GETBG, reinterpret_cast<LPARAM>(&Info));
    if (Info.BgType != 0) return true;
    if (wanted) {
        PaintParentUnder(Info, [Control](UINT msg, WPARAM w, LPARAM l) { Control->Perform(msg, w, l); });
        return false;
    }
    Info.BgType = btFill;
    // A control that answers 0 (or no colour) does not answer: its own colour.
    const auto answer = static_cast<TColor>(SendSkinCommandToControl(Control, AC_GETCONTROLCOLOR, 0));
    Info.Color = answer == 0 || answer == kNoColor ? ::ColorToRGB(Control->Color()) : answer;
    if (PleaseDraw && Info.Bmp && Info.DC)
        FillRectWith(Info.DC, RECT{Info.R.Left, Info.R.Top, Info.R.Right, Info.R.Bottom}, Info.Color);
    return false;
}

void BackgroundToCacheInfo(const TBackgroundInfo& Info, TCacheInfo& CI) {
    if (Info.BgType == btCache) {
        MakeCacheInfo(Info.Bmp, Info.Offset.X, Info.Offset.Y, CI);
        return;
    }
    CI.Bmp = nullptr;
    CI.X = Info.Offset.X;
    CI.Y = Info.Offset.Y;
    CI.FillColor = ::ColorToRGB(Info.Color);
    CI.Ready = false;
}

TCacheInfo ParentCacheUnder(TControl* Control) {
    TCacheInfo ci;
    if (Control->Parent()) {
        TBackgroundInfo info;
        info.R = TRect(0, 0, Control->Width(), Control->Height());
        QueryControlBackground(info, Control->Parent(), false);
        BackgroundToCacheInfo(info, ci);
        if (ci.Ready) {
            ci.X += Control->Left();
            ci.Y += Control->Top();
        }
    }
    return ci;
}

// ---------------------------------------------------------------------------
// Notices

LRESULT SendSkinCommandNoParam(TControl* Control, Word Command) { return SendSkinCommandToControl(Control, Command, 0); }

void NotifyParentForm(TControl* Control) {
    if (!Control || Control->HasState(csDesigning) || Control->HasState(csLoading)) return;
    TCustomForm* form = GetParentForm(Control, true);
    if (form && form->HandleAllocated())
        ::SendMessageW(form->Handle(), SkinCommandMessage, MakeSkinWParam(AC_CONTROLLOADED),
                       reinterpret_cast<LPARAM>(Control));
}

void RefreshChildControls(TWinControl* Control) {
    if (!Control || acAnimationSwitch) return;
    for (int i = 0; i < Control->ControlCount(); ++i) {
        TControl* child = Control->Controls(i);
        if (dynamic_cast<TGraphicControl*>(child) || child->HasState(csDestroying)) continue;
        // A windowed child with a window gets it by SendMessage, any other by
        // Perform; one being destroyed or without a window gets nothing.
        SendSkinCommandToControl(child, AC_ENDPARENTUPDATE, 0);
    }
}

void RefreshChildWindows(HWND Wnd) {
    if (!Wnd) return;
    for (HWND child = ::GetTopWindow(Wnd); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::GetWindowLongW(child, GWL_STYLE) & WS_CHILD) SendSkinCommand(child, AC_ENDPARENTUPDATE, 0);
}

namespace {

struct TChildWindowMessage {
    HWND Parent;
    const TMessage* Message;
};

BOOL CALLBACK SendToDirectChild(HWND Wnd, LPARAM Data) {
    const auto* m = reinterpret_cast<const TChildWindowMessage*>(Data);
    if (::GetParent(Wnd) == m->Parent) ::SendMessageW(Wnd, m->Message->Msg, m->Message->WParam, m->Message->LParam);
    return TRUE;
}

}  // namespace

void PassMessageToChildWindows(HWND Wnd, const TMessage& Message) {
    if (!Wnd) return;
    TChildWindowMessage data{Wnd, &Message};
    ::EnumChildWindows(Wnd, SendToDirectChild, reinterpret_cast<LPARAM>(&data));
}

void PassToDesignProvider(TCustomForm* Form, TMessage& Message) {
    if (!Form) return;
    for (int i = 0; i < Form->ComponentCount(); ++i) {
        TComponent* c = Form->Components(i);
        auto* provider = dynamic_cast<TacFormProvider*>(c);
        if (!provider || c->HasState(csDestroying) || provider->ProviderDestroying()) continue;
        provider->DsgnWndProc(Message);
        return;
    }
}

// ---------------------------------------------------------------------------
// Graphic children

namespace {

bool gPaintingControls = false;

// Clears a flag when the scope ends, whichever way it ends.
struct TFlagReset {
    bool& Flag;
    ~TFlagReset() { Flag = false; }
};

bool QualifiesForCopy(TControl* Child, HDC DC, TPoint Offset) {
    if (!dynamic_cast<TGraphicControl*>(Child)) return false;
    if (!Child->Visible() && !Child->HasState(csDesigning)) return false;
    if (Child->Width() < 1 || Child->Height() < 1) return false;
    if ((Child->ControlStyle() & csNoDesignVisible) || Child->HasState(csDestroying)) return false;
    // The tool bar draws its buttons itself; only separators and dividers
    // are left to the copy.
    if (const auto* tool = dynamic_cast<const TToolButton*>(Child)) {
        const TToolButtonStyle style = tool->Style();
        if (style == tbsButton || style == tbsCheck || style == tbsDropDown) return false;
    }
    RECT r = Child->BoundsRect();
    ::OffsetRect(&r, Offset.X, Offset.Y);
    return ::RectVisible(DC, &r) != FALSE;
}

// Whether the whole of R shows through the clip of DC.
bool WhollyVisible(HDC DC, RECT R) {
    RECT clip;
    if (::GetClipBox(DC, &clip) == ERROR) return false;
    RECT both;
    return ::IntersectRect(&both, &clip, &R) && ::EqualRect(&both, &R);
}

}  // namespace

void PaintControlsTo(HDC DC, TWinControl* Control, TPoint Offset, bool CheckVisible) {
    if (gPaintingControls || !DC || !Control) return;
    gPaintingControls = true;
    TFlagReset reset{gPaintingControls};

    if (!(Control->Visible() || Control->HasState(csDesigning) || !CheckVisible) || Control->ControlCount() == 0)
        return;
    RECT clip;
    const int clipKind = ::GetClipBox(DC, &clip);
    if (clipKind == NULLREGION || clipKind == ERROR || ::IsRectEmpty(&clip)) {
        SendSkinCommandToControl(Control, AC_SETHALFVISIBLE, 0);
        return;
    }

    TBackgroundInfo bg;
    bg.R = TRect(0, 0, Control->Width(), Control->Height());
    QueryControlBackground(bg, Control, false);

    std::vector<TControl*> painted;
    HDC mem = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ oldBmp = nullptr;
    for (int i = 0; i < Control->ControlCount(); ++i) {
        TControl* child = Control->Controls(i);
        if (!QualifiesForCopy(child, DC, Offset)) continue;
        if (!mem) {
            mem = ::CreateCompatibleDC(DC);
            bmp = ::CreateCompatibleBitmap(DC, std::max(1, Control->Width()), std::max(1, Control->Height()));
            if (!mem || !bmp) break;
            oldBmp = ::SelectObject(mem, bmp);
        }
        const RECT bounds = child->BoundsRect();
        // The background under the child.
        if (child->ControlStyle() & csOpaque) {
            FillRectWith(mem, bounds, GetControlBgColor(child));
        } else if (bg.BgType == btCache && bg.Bmp) {
            ::BitBlt(mem, bounds.left, bounds.top, child->Width(), child->Height(), bg.Bmp->Canvas()->Handle(),
                     bounds.left + bg.Offset.X, bounds.top + bg.Offset.Y, SRCCOPY);
        } else {
            FillRectWith(mem, bounds, bg.Color);
        }
        // The child itself.
        RECT inDC = bounds;
        ::OffsetRect(&inDC, Offset.X, Offset.Y);
        if (!WhollyVisible(DC, inDC)) SendSkinCommandToControl(child, AC_SETHALFVISIBLE, 0);
        const int saved = ::SaveDC(mem);
        ::SetWindowOrgEx(mem, -child->Left(), -child->Top(), nullptr);
        ::IntersectClipRect(mem, 0, 0, child->Width(), child->Height());
        const bool copying = (Control->ControlState() & csPaintCopy) != 0;
        const bool wasCopying = (child->ControlState() & csPaintCopy) != 0;
        if (copying) child->SetControlState(csPaintCopy, true);
        try {
            child->Perform(WM_PAINT, reinterpret_cast<WPARAM>(mem), 0);
        } catch (...) {
            // A child that fails to paint leaves its background; the others still paint.
        }
        if (copying) child->SetControlState(csPaintCopy, wasCopying);
        ::RestoreDC(mem, saved);
        painted.push_back(child);
    }
    if (mem && bmp) {
        for (TControl* child : painted) {
            if (::GetPixel(mem, child->Left(), child->Top()) == static_cast<COLORREF>(kNoColor)) continue;
            ::BitBlt(DC, child->Left() + Offset.X, child->Top() + Offset.Y, child->Width(), child->Height(), mem,
                     child->Left(), child->Top(), SRCCOPY);
        }
    }
    if (mem) {
        if (oldBmp) ::SelectObject(mem, oldBmp);
        ::DeleteDC(mem);
    }
    if (bmp) ::DeleteObject(bmp);
}

// ---------------------------------------------------------------------------
// Window and control helpers

TPoint GetCursorPosition() {
    POINT p{0, 0};
    ::GetCursorPos(&p);
    return p;
}

bool ControlIsReady(TControl* Control) {
    if (!Control) return false;
    if (auto* win = dynamic_cast<TWinControl*>(Control); win && !win->HandleAllocated()) return false;
    if (Control->ControlState() & (csReadingState | csCreating)) return false;
    if (Control->HasState(csLoading) || Control->HasState(csDestroying)) return false;
    return Control->Parent() != nullptr;
}

TCustomForm* GetOwnerForm(TComponent* Component) {
    for (TComponent* c = Component ? Component->Owner() : nullptr; c; c = c->Owner())
        if (auto* form = dynamic_cast<TCustomForm*>(c)) return form;
    return nullptr;
}

TCustomFrame* GetOwnerFrame(TComponent* Component) {
    for (TComponent* c = Component ? Component->Owner() : nullptr; c; c = c->Owner())
        if (auto* frame = dynamic_cast<TCustomFrame*>(c)) return frame;
    return nullptr;
}

Cardinal GetTextAlignFlags(TControl* Control, TAlignment Alignment) {
    Cardinal flags = DT_LEFT;
    if (Alignment == taRightJustify) flags = DT_RIGHT;
    else if (Alignment == taCenter) flags = DT_CENTER;
    flags |= DT_VCENTER | DT_EXPANDTABS;
    return Control ? Control->DrawTextBiDiModeFlags(flags) : flags;
}

void GetClientRectInWindow(HWND Wnd, TRect& R) {
    RECT client{0, 0, 0, 0}, window{0, 0, 0, 0};
    POINT origin{0, 0};
    ::GetClientRect(Wnd, &client);
    ::ClientToScreen(Wnd, &origin);
    ::GetWindowRect(Wnd, &window);
    R = client;
    R.Offset(origin.x - window.left, origin.y - window.top);
}

Integer SumAlignedChildSizes(TWinControl* Control, TAlign Align, bool WithGraphic) {
    const bool vertical = Align == TAlign::alTop || Align == TAlign::alBottom;
    if (!Control || !(vertical || Align == TAlign::alLeft || Align == TAlign::alRight)) return 0;
    Integer sum = 0;
    for (int i = 0; i < Control->ControlCount(); ++i) {
        TControl* c = Control->Controls(i);
        if (!c->Visible() || c->Align() != Align) continue;
        if (!WithGraphic && !dynamic_cast<TWinControl*>(c)) continue;
        sum += vertical ? c->Height() : c->Width();
    }
    return sum;
}

HWND GetTopParentWindow(HWND Wnd) {
    while (Wnd) {
        const HWND parent = ::GetParent(Wnd);
        if (!parent) break;
        Wnd = parent;
    }
    return Wnd;
}

// ---------------------------------------------------------------------------
// Start-ups

TUpdateLayeredWindow acUpdateLayeredWindow = nullptr;
TSetLayeredWindowAttributes acSetLayeredWindowAttributes = nullptr;
Integer CheckBoxWidth = 0;
Integer CheckBoxHeight = 0;
TSetWindowTheme acSetWindowTheme = nullptr;

namespace {

HMODULE gUser32 = nullptr;
HMODULE gUxTheme = nullptr;
bool gLayeredLookedUp = false;

template <class F>
F EntryPoint(HMODULE Module, const char* Name) {
    return Module ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(Module, Name))) : nullptr;
}

}  // namespace

void InitLayeredWindowEntryPoints() {
    gLayeredLookedUp = true;
    if (!acUpdateLayeredWindow) {
        if (!gUser32) gUser32 = ::LoadLibraryW(L"user32.dll");
        acUpdateLayeredWindow = EntryPoint<TUpdateLayeredWindow>(gUser32, "UpdateLayeredWindow");
        acSetLayeredWindowAttributes = EntryPoint<TSetLayeredWindowAttributes>(gUser32, "SetLayeredWindowAttributes");
    }
    // The system's check-box bitmap holds four glyphs across and three down.
    if (HBITMAP checks = ::LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759))) {
        BITMAP info{};
        if (::GetObjectW(checks, sizeof(info), &info)) {
            CheckBoxWidth = info.bmWidth / 4;
            CheckBoxHeight = info.bmHeight / 3;
        }
        ::DeleteObject(checks);
    }
}

bool LayeredWindowsAvailable() {
    if (!gLayeredLookedUp) InitLayeredWindowEntryPoints();
    return acUpdateLayeredWindow != nullptr;
}

void InitWindowThemeEntryPoint() {
    if (!gUxTheme) gUxTheme = ::LoadLibraryW(L"UXTHEME");
    acSetWindowTheme = EntryPoint<TSetWindowTheme>(gUxTheme, "SetWindowTheme");
}

void SetWindowThemeOff(HWND Wnd) {
    if (acSetWindowTheme && Wnd) acSetWindowTheme(Wnd, L"", L"");
}

void RestoreWindowTheme(HWND Wnd) {
    if (acSetWindowTheme && Wnd) acSetWindowTheme(Wnd, nullptr, nullptr);
}

void sVclUtilsInitialization() {
    InitLayeredWindowEntryPoints();
    InitWindowThemeEntryPoint();
}

void sVclUtilsFinalization() {
    acUpdateLayeredWindow = nullptr;
    acSetLayeredWindowAttributes = nullptr;
    acSetWindowTheme = nullptr;
    gLayeredLookedUp = false;
    if (gUser32) ::FreeLibrary(gUser32);
    if (gUxTheme) ::FreeLibrary(gUxTheme);
    gUser32 = nullptr;
    gUxTheme = nullptr;
}
