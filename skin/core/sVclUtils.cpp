#include "sVclUtils.h"

#include "acUtils.h"
#include "sSkinManager.h"

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
        Control->Perform(SkinCommandMessage, MakeSkinWParam(AC_GETBG), reinterpret_cast<LPARAM>(&Info));
    if (Info.BgType != 0) return true;
    if (wanted) {
        PaintParentUnder(Info, [Control](UINT msg, WPARAM w, LPARAM l) { Control->Perform(msg, w, l); });
        return false;
    }
    Info.BgType = btFill;
    // A control that answers 0 (or no colour) does not answer: its own colour.
    const auto answer = static_cast<TColor>(SendSkinCommandToControl(Control, AC_GETCONTROLCOLOR, 0));
    Info.Color = answer == 0 || answer == kNoColor ? ::ColorToRGB(Control->Color()) : answer;
    if (PleaseDraw && Info.Bmp && Info.DC) {
        const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Info.Color)));
        const RECT r{Info.R.Left, Info.R.Top, Info.R.Right, Info.R.Bottom};
        ::FillRect(Info.DC, &r, brush);
        ::DeleteObject(brush);
    }
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
