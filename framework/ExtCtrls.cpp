#include "ExtCtrls.h"
#include "WindowAttach.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindow = AllocateHWnd(TWndMethod::Of<&TTimer::WndProc>(this));
    UpdateTimer();
}

TTimer::~TTimer() {
    FEnabled = false;
    if (FWindow) {
        ::KillTimer(FWindow, 1);
        DeallocateHWnd(FWindow);
        FWindow = nullptr;
    }
}

bool TTimer::CanFreeNow() {
    if (!IsDispatching(this)) return true;
    // Freed from inside its own tick: stop now, end when the tick returns.
    FEnabled = false;
    if (FWindow) ::KillTimer(FWindow, 1);
    Destroying();
    return !DeferFreeWhileDispatching(this, Liveness());
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

void TTimer::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(Cardinal value) {
    if (FInterval == value) return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindow) return;
    ::KillTimer(FWindow, 1);
    if (FEnabled && FInterval != 0 && !HasState(csDestroying)) ::SetTimer(FWindow, 1, FInterval, nullptr);
}

void TTimer::WndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) {
        Message.Result = ::DefWindowProcW(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    if (FInTick || !FEnabled || !OnTimer) return;
    FInTick = true;
    try {
        Timer();
    } catch (...) {
        FInTick = false;
        HandleFrameworkException();
    }
    FInTick = false;
}

// ---------------------------------------------------------------------------
// TCustomPanel

TRect PanelInnerRect(const TRect& client, TBevelCut outer, TBevelCut inner, int bevelWidth, int borderWidth) {
    int inset = std::max(borderWidth, 0);
    if (outer != bvNone) inset += std::max(bevelWidth, 0);
    if (inner != bvNone) inset += std::max(bevelWidth, 0);
    TRect r = client;
    r.Left += inset;
    r.Top += inset;
    r.Right = std::max(r.Left, r.Right - inset);
    r.Bottom = std::max(r.Top, r.Bottom - inset);
    return r;
}

namespace {

void FillSolid(HDC dc, const RECT& r, TColor color) {
    HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(color)));
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
}

// Draws width rings along the inside of r, top and left in one colour,
// bottom and right in the other, and leaves r inside them.
void Frame3D(HDC dc, RECT& r, TColor topLeft, TColor bottomRight, int width) {
    for (int i = 0; i < width && r.right - r.left > 0 && r.bottom - r.top > 0; ++i) {
        FillSolid(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
        FillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
        FillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        FillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
        ::InflateRect(&r, -1, -1);
    }
}

void BevelColors(TBevelCut cut, TColor face, TColor& topLeft, TColor& bottomRight) {
    switch (cut) {
    case bvLowered:
        topLeft = clBtnShadow;
        bottomRight = clBtnHighlight;
        break;
    case bvRaised:
        topLeft = clBtnHighlight;
        bottomRight = clBtnShadow;
        break;
    default:
        topLeft = bottomRight = face;
        break;
    }
}

}  // namespace

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    FWidth = 185;
    FHeight = 41;
    FColor = clBtnFace;
    FParentColor = false;
    // The panel paints all of itself.
    FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks;
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

TRect TCustomPanel::InnerRect() { return PanelInnerRect(ClientRect(), FBevelOuter, FBevelInner, FBevelWidth, FBorderWidth); }

void TCustomPanel::AlignControls(TControl* AControl, RECT& Rect) {
    const TRect inner = PanelInnerRect(Rect, FBevelOuter, FBevelInner, FBevelWidth, FBorderWidth);
    RECT r = {inner.Left, inner.Top, inner.Right, inner.Bottom};
    TCustomControl::AlignControls(AControl, r);
    Rect = r;
}

void TCustomPanel::Paint() {
    HDC dc = FCanvas->Handle();
    RECT r = ClientRect();
    TColor topLeft, bottomRight;
    if (FBevelOuter != bvNone) {
        BevelColors(FBevelOuter, FColor, topLeft, bottomRight);
        Frame3D(dc, r, topLeft, bottomRight, FBevelWidth);
    }
    Frame3D(dc, r, FColor, FColor, FBorderWidth);
    if (FBevelInner != bvNone) {
        BevelColors(FBevelInner, FColor, topLeft, bottomRight);
        Frame3D(dc, r, topLeft, bottomRight, FBevelWidth);
    }
    FillSolid(dc, r, FColor);
    const String text = Caption();
    if (text.empty() || !FShowCaption) return;
    UINT flags = DT_SINGLELINE | DT_EXPANDTABS;
    flags |= FVerticalAlignment == taAlignTop ? DT_TOP : FVerticalAlignment == taAlignBottom ? DT_BOTTOM : DT_VCENTER;
    flags |= FAlignment == taLeftJustify ? DT_LEFT : FAlignment == taRightJustify ? DT_RIGHT : DT_CENTER;
    HGDIOBJ oldFont = ::SelectObject(dc, FFont->Handle());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(FEnabled ? FFont->Color() : clGrayText)));
    ::DrawTextW(dc, WStr(text), static_cast<int>(text.size()), &r, flags);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
}

void TCustomPanel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_TEXTCHANGED) {
        Invalidate();
        return;
    }
    TCustomControl::Dispatch(Message);
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
    if (FBevelOuter == value) return;
    FBevelOuter = value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
    if (FBevelInner == value) return;
    FBevelInner = value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int value) {
    value = std::max(value, 1);
    if (FBevelWidth == value) return;
    FBevelWidth = value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderWidth(int value) {
    value = std::max(value, 0);
    if (FBorderWidth == value) return;
    FBorderWidth = value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    Invalidate();
}

void TCustomPanel::SetVerticalAlignment(TVerticalAlignment value) {
    if (FVerticalAlignment == value) return;
    FVerticalAlignment = value;
    Invalidate();
}

void TCustomPanel::SetShowCaption(bool value) {
    if (FShowCaption == value) return;
    FShowCaption = value;
    Invalidate();
}

void TCustomPanel::SetParentBackground(bool value) {
    if (ParentBackground() == value) return;
    if (value)
        FControlStyle |= csParentBackground;
    else
        FControlStyle &= ~csParentBackground;
    Invalidate();
}

// ---------------------------------------------------------------------------
// TImage

TRect ImageDestRect(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight, bool stretch,
                    bool proportional, bool center) {
    int w = std::max(pictureWidth, 0);
    int h = std::max(pictureHeight, 0);
    clientWidth = std::max(clientWidth, 0);
    clientHeight = std::max(clientHeight, 0);
    if (stretch || (proportional && (w > clientWidth || h > clientHeight))) {
        if (proportional && w > 0 && h > 0) {
            // The larger of the two scales that still fit.
            const double scale = std::min(static_cast<double>(clientWidth) / w, static_cast<double>(clientHeight) / h);
            w = static_cast<int>(std::nearbyint(w * scale));
            h = static_cast<int>(std::nearbyint(h * scale));
        } else {
            w = clientWidth;
            h = clientHeight;
        }
    }
    int x = 0, y = 0;
    if (center) {
        x = (clientWidth - w) / 2;
        y = (clientHeight - h) / 2;
    }
    return Bounds(x, y, w, h);
}

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 105;
    FHeight = 105;
    FPicture = New<TPicture>();
    FPicture->OnChange = TNotifyEvent::Of<&TImage::PictureChanged>(this);
    FPicture->OnProgress = TProgressEvent::Of<&TImage::Progress>(this);
}

TImage::~TImage() {
    FPicture->OnChange = nullptr;
    FPicture->OnProgress = nullptr;
    FPicture->Free();
}

TRect TImage::DestRect() const {
    return ImageDestRect(FPicture->Width(), FPicture->Height(), FWidth, FHeight, FStretch, FProportional, FCenter);
}

void TImage::Paint() {
    TGraphic* graphic = FPicture->Graphic();
    if (!graphic || graphic->Empty()) return;
    FCanvas->StretchDraw(DestRect(), graphic);
}

void TImage::PictureChanged(TObject*) {
    if (HasState(csDestroying)) return;
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(FLeft, FTop, FPicture->Width(), FPicture->Height());
    bool opaque = false;
    if (TGraphic* graphic = FPicture->Graphic()) {
        // Setting it reports a change, which comes back here with nothing to do.
        if (graphic->Transparent() != FTransparent) graphic->SetTransparent(FTransparent);
        const TRect dest = DestRect();
        opaque = !graphic->Empty() && !graphic->Transparent() && dest.Left <= 0 && dest.Top <= 0 &&
                 dest.Right >= FWidth && dest.Bottom >= FHeight;
    }
    if (opaque)
        FControlStyle |= csOpaque;
    else
        FControlStyle &= ~csOpaque;
    Invalidate();
}

void TImage::Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                      const String& Msg) {
    if (FIncrementalDisplay && RedrawNow) Repaint();
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TImage::SetAutoSize(bool value) {
    if (FAutoSize == value) return;
    FAutoSize = value;
    if (value) PictureChanged(this);
}

void TImage::SetStretch(bool value) {
    if (FStretch == value) return;
    FStretch = value;
    PictureChanged(this);
}

void TImage::SetProportional(bool value) {
    if (FProportional == value) return;
    FProportional = value;
    PictureChanged(this);
}

void TImage::SetCenter(bool value) {
    if (FCenter == value) return;
    FCenter = value;
    PictureChanged(this);
}

void TImage::SetTransparent(bool value) {
    if (FTransparent == value) return;
    FTransparent = value;
    PictureChanged(this);
}
