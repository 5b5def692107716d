#include "sVclUtilsAnim.h"

#include <algorithm>

#include "sGraphUtils.h"
#include "sMessages.h"
#include "sSkinProvider.h"
#include "sVclUtils.h"

namespace {

// The offset of a window's client area from its window's top-left.
POINT ClientOffsetOf(HWND Wnd) {
    RECT wr{};
    POINT p{0, 0};
    ::GetWindowRect(Wnd, &wr);
    ::ClientToScreen(Wnd, &p);
    return POINT{p.x - wr.left, p.y - wr.top};
}

SIZE WindowSizeOf(TWinControl* Control) {
    if (Control->HandleAllocated()) {
        RECT r{};
        ::GetWindowRect(Control->Handle(), &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    return SIZE{Control->Width(), Control->Height()};
}

// The parent's background under a hidden Control, at the current origin.
void PaintParentBackground(HDC DC, TWinControl* Control) {
    const Integer w = Control->Width();
    const Integer h = Control->Height();
    if (w <= 0 || h <= 0) return;
    TBackgroundInfo info;
    info.R = TRect(Control->Left(), Control->Top(), Control->Left() + w, Control->Top() + h);
    info.DC = DC;
    QueryControlBackground(info, Control->Parent(), false);
    if (info.BgType == btCache && info.Bmp) {
        ::BitBlt(DC, 0, 0, w, h, info.Bmp->Canvas()->Handle(), Control->Left() + info.Offset.X,
                 Control->Top() + info.Offset.Y, SRCCOPY);
    } else {
        const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(info.Color)));
        const RECT r{0, 0, w, h};
        ::FillRect(DC, &r, brush);
        ::DeleteObject(brush);
    }
}

// Paints Control with its window's top-left at (WX, WY) of the current
// logical coordinates of DC, then its windowed children.
void PaintWindowTo(HDC DC, TWinControl* Control, Integer WX, Integer WY, TsSkinProvider* Provider) {
    const int saved = ::SaveDC(DC);
    POINT org{};
    ::GetViewportOrgEx(DC, &org);
    ::SetViewportOrgEx(DC, org.x + WX, org.y + WY, nullptr);
    org = POINT{org.x + WX, org.y + WY};
    const SIZE size = WindowSizeOf(Control);
    if (!Provider || !Provider->BorderForm) ::IntersectClipRect(DC, 0, 0, size.cx, size.cy);

    const LPARAM dcParam = reinterpret_cast<LPARAM>(DC);
    if (!Control->HandleAllocated()) {
        // No window (yet): it prints what it can through its WindowProc.
        Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_PRINTING), dcParam);
        Control->Perform(WM_PRINT, reinterpret_cast<WPARAM>(DC), 0);
        Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_PRINTING), 0);
        ::RestoreDC(DC, saved);
        return;
    }
    if (Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_CTRLHANDLED), 0) == 1) {
        Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_PRINTING), dcParam);
        Control->Perform(WM_PRINT, reinterpret_cast<WPARAM>(DC), 0);
        Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_PRINTING), 0);
    } else {
        // PaintTo places its origin absolutely.
        Control->PaintTo(DC, org.x, org.y, true);
    }

    // The children lie in the client area: the provider's offsets for a
    // skinned form, else the window's own.
    POINT client{0, 0};
    if (Provider && Provider->Form == Control)
        client = POINT{Provider->OffsetX(), Provider->OffsetY()};
    else
        client = ClientOffsetOf(Control->Handle());
    for (int i = 0; i < Control->ControlCount(); ++i) {
        auto* child = dynamic_cast<TWinControl*>(Control->Controls(i));
        if (!child || !child->Visible() || !child->HandleAllocated()) continue;
        PaintWindowTo(DC, child, client.x + child->Left(), client.y + child->Top(), nullptr);
    }
    ::RestoreDC(DC, saved);
}

}  // namespace

void PaintFormTo(TBitmap* Bmp, TWinControl* Control, Integer X, Integer Y, TsSkinProvider* Provider) {
    if (!Bmp || !Control || Bmp->Empty()) return;
    const HDC dc = Bmp->Canvas()->Handle();
    if (!Provider && Control->Parent() && !Control->Visible()) {
        const int saved = ::SaveDC(dc);
        POINT org{};
        ::GetViewportOrgEx(dc, &org);
        ::SetViewportOrgEx(dc, org.x + X, org.y + Y, nullptr);
        PaintParentBackground(dc, Control);
        ::RestoreDC(dc, saved);
        return;
    }
    // (X, Y) is the client origin; the painting starts at the window's top-left.
    POINT client{0, 0};
    if (Provider && Provider->Form == Control)
        client = POINT{Provider->OffsetX(), Provider->OffsetY()};
    else if (Control->HandleAllocated())
        client = ClientOffsetOf(Control->Handle());
    PaintWindowTo(dc, Control, X - client.x, Y - client.y, Provider);
    ::GdiFlush();
    if (Provider && Provider->BorderForm && Provider->Form == Control && Control->HandleAllocated()) {
        // With a border window the client area must be opaque for the layered output.
        const HWND wnd = Control->Handle();
        RECT cr{};
        ::GetClientRect(wnd, &cr);
        TRect area(X, Y, X + cr.right, Y + cr.bottom);
        area.Bottom = std::min<Integer>(area.Bottom, Bmp->Height());
        FillAlphaRect(Bmp, area, 255);
    }
}
