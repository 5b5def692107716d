#include "sCheckBox.h"

#include <algorithm>

#include "acAlphaImageList.h"
#include "acMaskPaintWin.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

constexpr Integer kPlainMark = 16;

// Frame width of a strip w wide and h high: square frames side by side when
// w is a whole multiple of h, else the whole width.
Integer StripFrameWidth(Integer w, Integer h) {
    if (w <= 0 || h <= 0) return kPlainMark;
    if (w % h != 0) return w;
    return w / (w / h);
}

Integer StripFrameCount(Integer w, Integer h) {
    if (w <= 0 || h <= 0 || w % h != 0) return 1;
    return std::max(1, w / h);
}

// The size of one frame of a skin glyph mask. Frame counts and row counts
// come from the skin file and are guarded: a mask saying 0 frames counts as
// one frame.
TSize MaskGlyphSize(const TsMaskData& m) {
    if (m.Bmp) {
        const Integer w = m.Bmp->Width(), h = m.Bmp->Height();
        return TSize{w / 3, h / 2};
    }
    const Integer rows = std::max(1, m.MaskType + 1);
    const Integer frames = std::max<Integer>(1, m.ImageCount);
    return TSize{m.R.Width() / frames, m.R.Height() / rows};
}

}  // namespace

TsCheckBox::TsCheckBox(TComponent* AOwner) : TCheckBox(AOwner) {
    FCommonData = New<TsCtrlSkinData>(this, false);
    FCommonData->COC = COC_TsCheckBox;
    FGlyphChecked = New<TBitmap>();
    FGlyphUnChecked = New<TBitmap>();
    FAutoSize = true;
}

TsCheckBox::~TsCheckBox() {
    StopFading(FadeTimer, FCommonData);
    FCommonData->Free();
    FGlyphChecked->Free();
    FGlyphUnChecked->Free();
}

void TsCheckBox::AfterConstruction() {
    TCheckBox::AfterConstruction();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsCheckBox::BeforeDestruction() {
    // The fade timer belongs to this control: it must stop before the
    // control's components go.
    StopFading(FadeTimer, FCommonData);
    TCheckBox::BeforeDestruction();
}

void TsCheckBox::Loaded() {
    TCheckBox::Loaded();
    FCommonData->Loaded();
    AdjustSize();
}

void TsCheckBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCheckBox::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FImages) {
        FImages = nullptr;
        if (!HasState(csDestroying)) {
            if (FAutoSize) AdjustSize();
            Invalidate();
        }
    }
}

bool TsCheckBox::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

// ---------------------------------------------------------------------------
// Properties

void TsCheckBox::ApplyChecked(TCheckBoxState value) {
    if (HasState(csLoading)) {
        // A stored state is kept as it is read; the look follows at the first paint.
        TCheckBox::ApplyChecked(value);
        return;
    }
    if (value != State()) FCommonData->BGChanged = true;
    TCheckBox::ApplyChecked(value);
    if (FCommonData->BGChanged) Repaint();
}

void TsCheckBox::Toggle() {
    if (IsReadOnly()) return;
    TCheckBox::Toggle();
}

void TsCheckBox::SetDisabledKind(TsDisabledKind Value) {
    if (FDisabledKind == Value) return;
    FDisabledKind = Value;
    FCommonData->Invalidate();
}

void TsCheckBox::SetGlyphChecked(TBitmap* Value) {
    FGlyphChecked->Assign(Value);
    if (FAutoSize) AdjustSize();
    Invalidate();
}

void TsCheckBox::SetGlyphUnChecked(TBitmap* Value) {
    FGlyphUnChecked->Assign(Value);
    if (FAutoSize) AdjustSize();
    Invalidate();
}

void TsCheckBox::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) FImages->FreeNotification(this);
    if (FAutoSize) AdjustSize();
    Invalidate();
}

void TsCheckBox::SetImgChecked(Integer Value) {
    if (FImgChecked == Value) return;
    FImgChecked = Value;
    if (FAutoSize) AdjustSize();
    if (Checked()) Invalidate();
}

void TsCheckBox::SetImgUnchecked(Integer Value) {
    if (FImgUnchecked == Value) return;
    FImgUnchecked = Value;
    if (FAutoSize) AdjustSize();
    if (!Checked()) Invalidate();
}

void TsCheckBox::SetMargin(Integer Value) {
    if (FMargin == Value) return;
    FMargin = Value;
    if (FAutoSize) AdjustSize();
    Invalidate();
}

void TsCheckBox::SetTextIndent(Integer Value) {
    if (FTextIndent == Value) return;
    FTextIndent = Value;
    if (FAutoSize) AdjustSize();
    Invalidate();
}

void TsCheckBox::SetShowFocus(bool Value) {
    if (FShowFocus == Value) return;
    FShowFocus = Value;
    Invalidate();
}

TAlignment TsCheckBox::GetControlsAlignment() const {
    // The framework reads left to right only: the alignment stands as set.
    return FAlignment;
}

// ---------------------------------------------------------------------------
// Geometry of the mark

bool TsCheckBox::ImageListMode() const { return FImages && FImgChecked >= 0 && FImgUnchecked >= 0; }

TBitmap* TsCheckBox::CurrentGlyph() const { return Checked() ? FGlyphChecked : FGlyphUnChecked; }

Integer TsCheckBox::SkinMaskIndex(TCheckBoxState S) const {
    TsSkinManager* manager = FCommonData->SkinManager();
    if (!manager) return -1;
    const TConstantSkinData& c = manager->ConstData();
    Integer index = -1;
    switch (S) {
    case cbUnchecked: index = c.CheckBoxUnChecked; break;
    case cbChecked: index = c.CheckBoxChecked; break;
    case cbGrayed: index = c.CheckBoxGrayed; break;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= manager->ma().size()) return -1;
    return index;
}

Integer TsCheckBox::CheckHeight() {
    if (ImageListMode()) return FImages->Height();
    if (!CurrentGlyph()->Empty()) return CurrentGlyph()->Height();
    if (FCommonData->Skinned()) {
        const Integer i = SkinMaskIndex(State());
        if (i >= 0) return MaskGlyphSize(FCommonData->SkinManager()->ma()[static_cast<std::size_t>(i)]).cy;
    }
    return kPlainMark;
}

Integer TsCheckBox::CheckWidth() {
    if (ImageListMode()) return StripFrameWidth(FImages->Width(), FImages->Height());
    if (!CurrentGlyph()->Empty()) return StripFrameWidth(CurrentGlyph()->Width(), CurrentGlyph()->Height());
    if (FCommonData->Skinned()) {
        const Integer i = SkinMaskIndex(State());
        if (i >= 0) return MaskGlyphSize(FCommonData->SkinManager()->ma()[static_cast<std::size_t>(i)]).cx;
    }
    return kPlainMark;
}

TRect TsCheckBox::CheckRect() {
    Integer w, h;
    if (!ImageListMode() && FGlyphChecked->Empty()) {
        const Integer i = FCommonData->Skinned() ? SkinMaskIndex(cbChecked) : -1;
        if (i < 0) return TRect(0, 0, kPlainMark, kPlainMark);
        const TSize s = MaskGlyphSize(FCommonData->SkinManager()->ma()[static_cast<std::size_t>(i)]);
        w = s.cx;
        h = s.cy;
    } else {
        w = CheckWidth();
        h = CheckHeight();
    }
    const Integer left = GetControlsAlignment() == taRightJustify ? FMargin : Width() - w - FMargin;
    const Integer top = (Height() - h) / 2;
    return TRect(left, top, left + w, top + h);
}

Integer TsCheckBox::MarkFrame(Integer FrameCount) const {
    Integer frame = 0;
    if (FPressed)
        frame = 2;
    else if (FCommonData->ControlIsActive() && !IsReadOnly())
        frame = 1;
    if (FrameCount > 0) frame = std::min(frame, FrameCount - 1);
    return std::max(frame, 0);
}

bool TsCheckBox::CalcAutoSize(int& NewWidth, int& NewHeight) {
    if (FCommonData->Skinned()) {
        if (HasState(csLoading) || !FAutoSize) return false;
        TSize extent{0, 0};
        const String caption = Caption();
        if (!caption.empty()) GetFontTextExtent(Font()->Handle(), caption, extent);
        const TRect r = CheckRect();
        NewWidth = r.Width() + 2 * FMargin + (caption.empty() ? 0 : extent.cx + FTextIndent + 8);
        NewHeight = std::max<Integer>(r.Height(), (caption.empty() ? 0 : extent.cy) + 2 * FMargin) + 2;
        return true;
    }
    if (FAutoSize) {
        TSize extent{0, 0};
        if (!Caption().empty()) GetFontTextExtent(Font()->Handle(), Caption(), extent);
        NewWidth = extent.cx + 20;
        NewHeight = std::max<Integer>(extent.cy + 4, 20);
        return true;
    }
    return TCheckBox::CalcAutoSize(NewWidth, NewHeight);
}

// ---------------------------------------------------------------------------
// Painting

void TsCheckBox::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    cache->Canvas()->SetFont(Font());
    if (cache->Width() <= 0 || cache->Height() <= 0) {
        sd.BGChanged = false;
        return;
    }
    const bool hot = sd.ControlIsActive() && !IsReadOnly();
    PaintControlSectionOnParent(FCommonData, this, hot ? 1 : 0, cache, TPoint(0, 0), TRect(0, 0, Width(), Height()),
                                true);
    DrawCaption(cache);
    DrawMark(cache);
    if (!Enabled()) {
        ApplyDisabledKind(cache, FDisabledKind, this, TPoint(0, 0), ParentCacheUnder(this));
    }
    sd.BGChanged = false;
}

void TsCheckBox::DrawCaption(TBitmap* Cache) {
    const String caption = Caption();
    if (caption.empty()) return;
    TCanvas* canvas = Cache->Canvas();
    const HDC dc = canvas->Handle();
    const Integer markWidth = CheckWidth();
    const Integer a = Width() - markWidth - FTextIndent - 2 * FMargin - 2;
    const Cardinal lineFlag = FWordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    TRect measured(0, 0, std::max<Integer>(a, 0), 0);
    DrawTextRect(dc, caption, measured, lineFlag | DT_CALCRECT);
    const Integer tw = measured.Width(), th = measured.Height();
    TRect r;
    r.Top = std::max<Integer>((Height() - th) / 2, FMargin);
    r.Bottom = r.Top + th;
    Cardinal flags = lineFlag;
    if (FAlignment == taRightJustify) {
        r.Left = Width() - a - FMargin + 2;
        r.Right = r.Left + tw;
    } else {
        r.Left = FMargin;
        r.Right = a + FMargin;
    }
    if (FWordWrap)
        r = TRect(r.Left - 1, r.Top - 1, r.Right - 1, r.Bottom - 1);
    else
        r = TRect(r.Left, r.Top - 1, r.Right, r.Bottom - 1);
    const bool hot = FCommonData->ControlIsActive() && !IsReadOnly();
    DrawSkinnedText(canvas, caption, true, hot, FCommonData, flags, r);
    if (FShowFocus && HandleAllocated() && ::GetFocus() == FHandle) {
        TRect f = r;
        if (!FWordWrap) f.Bottom -= 1;
        f.Top += 1;
        f = TRect(f.Left - 1, f.Top - 1, f.Right + 1, f.Bottom + 1);
        DrawDottedFrame(canvas, f, acBtnFaceColor, clBlack);
    }
}

void TsCheckBox::DrawFrameStrip(TBitmap* Cache, TBitmap* Strip, Integer FrameCount) {
    if (Strip->Empty() || Strip->Width() <= 0 || Strip->Height() <= 0) return;
    if (Strip->PixelFormat() != pf32bit) {
        Strip->SetPixelFormat(pf32bit);
        FillAlphaRect(Strip, TRect(0, 0, Strip->Width(), Strip->Height()), 255);
    }
    const Integer count = std::max<Integer>(FrameCount, 1);
    const Integer w = Strip->Width() / count;
    const Integer frame = MarkFrame(count);
    const TRect r = CheckRect();
    TCacheInfo ci;
    ci.Bmp = Cache;
    ci.X = 0;
    ci.Y = 0;
    ci.Ready = true;
    CopyThroughMask(TRect(r.Left, r.Top, r.Left + w, r.Top + Strip->Height()),
                    TRect(frame * w, 0, (frame + 1) * w, Strip->Height()), Cache, Strip, ci, false);
}

void TsCheckBox::DrawMark(TBitmap* Cache) {
    if (Cache->Width() < 1) return;
    if (ImageListMode()) {
        const Integer index = Checked() ? FImgChecked : FImgUnchecked;
        if (index < 0) return;
        const Integer w = FImages->Width(), h = FImages->Height();
        if (h <= 0 || w / h < 2 || w % h != 0) {
            const TRect r = CheckRect();
            FImages->Draw(Cache->Canvas(), r.Left, r.Top, index, true);
            return;
        }
        TBitmap* strip = New<TBitmap>();
        bool got;
        if (auto* alpha = dynamic_cast<TsAlphaImageList*>(FImages))
            got = alpha->GetBitmap32(index, strip);
        else if ((got = FImages->GetBitmap(index, strip)))
            // A plain list gives its image over the list's background colour,
            // with no alpha of its own: the whole image is opaque.
            FillAlphaRect(strip, TRect(0, 0, strip->Width(), strip->Height()), 255);
        if (got) DrawFrameStrip(Cache, strip, w / h);
        strip->Free();
        return;
    }
    if (TBitmap* glyph = CurrentGlyph(); !glyph->Empty()) {
        // A copy: the user's bitmap keeps its format.
        TBitmap* strip = New<TBitmap>();
        strip->Assign(glyph);
        DrawFrameStrip(Cache, strip, StripFrameCount(glyph->Width(), glyph->Height()));
        strip->Free();
        return;
    }
    const Integer i = SkinMaskIndex(State());
    if (i < 0 || SkinMaskIndex(cbChecked) < 0) return;
    const TsMaskData& mask = FCommonData->SkinManager()->ma()[static_cast<std::size_t>(i)];
    const TRect r = CheckRect();
    TCacheInfo ci;
    ci.Bmp = Cache;
    ci.X = 0;
    ci.Y = 0;
    ci.Ready = true;
    DrawGlyphMask(Cache, TPoint(r.Left, r.Top), MarkFrame(0), ci, mask, 1);
}

void TsCheckBox::PaintTo(HDC DC) {
    TsCommonData& sd = *FCommonData;
    sd.FUpdating = sd.GetUpdating();
    if (sd.FUpdating) return;
    if (!FadeTimer || !FadeTimer->Enabled()) {
        PrepareCache();
        RepaintBorderCorners(FCommonData, 0);
    }
    if (!sd.FCacheBmp || sd.FCacheBmp->Width() <= 0 || sd.FCacheBmp->Height() <= 0) return;
    ::BitBlt(DC, 0, 0, Width(), Height(), sd.FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Messages

void TsCheckBox::StopFadeAfterRelease() {
    if (FadeTimer && FadeTimer->BmpFrom && FadeTimer->BmpFrom->Width() != Width()) {
        StopFading(FadeTimer, FCommonData);
        Repaint();
    }
}

// The messages of a ready, skinned box; True when the message is done.
bool TsCheckBox::SkinnedMessage(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    const bool runTime = !HasState(csDesigning);
    switch (Message.Msg) {
    case WM_ENABLE:
    case WM_NCPAINT: Message.Result = 0; return true;
    case WM_PAINT:
    case WM_PRINT: {
        if (Message.Msg == WM_PRINT) sd.FUpdating = false;
        // A normal paint carries no DC: the window's own update DC is used then.
        PAINTSTRUCT ps{};
        const bool own = Message.Msg == WM_PAINT && (Message.WParam == 0 || (sd.CtrlSkinState & ACS_PRINTING) == 0);
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        HDC painted = own ? ::BeginPaint(FHandle, &ps) : nullptr;
        if (!dc) dc = painted;
        if (dc) {
            const int saved = ::SaveDC(dc);
            PaintTo(dc);
            ::RestoreDC(dc, saved);
        }
        if (own) ::EndPaint(FHandle, &ps);
        // The system button must not paint over the skinned image in a print.
        if (Message.Msg == WM_PRINT) return true;
        if (!runTime) return false;
        Message.Result = 0;
        return true;
    }
    case WM_ERASEBKGND: Message.Result = 1; return true;
    case BM_SETCHECK:
        if (FadeTimer && FadeTimer->FadeLevel < FadeTimer->Iterations) StopFading(FadeTimer, FCommonData);
        Message.Result = 0;
        return true;
    case WM_KEYDOWN:
        if (Message.WParam == VK_SPACE && runTime && Enabled()) {
            if (IsReadOnly()) return true;
            FPressed = true;
            if (!Focused()) {
                FClicksDisabled = true;
                if (CanFocus()) SetFocus();
                FClicksDisabled = false;
            }
            Repaint();
            if (OnKeyDown) {
                Word key = static_cast<Word>(Message.WParam);
                OnKeyDown(this, key, KeyboardStateToShiftState());
            }
            return true;
        }
        return false;
    case WM_KEYUP:
        if (Message.WParam == VK_SPACE && runTime && Enabled()) {
            if (IsReadOnly()) return true;
            if (FPressed) {
                FPressed = false;
                Toggle();
            }
            if (OnKeyUp) {
                Word key = static_cast<Word>(Message.WParam);
                OnKeyUp(this, key, KeyboardStateToShiftState());
            }
            StopFadeAfterRelease();
            return true;
        }
        return false;
    case WM_UPDATEUISTATE:
        if (runTime && acSetWindowTheme) SetWindowThemeOff(FHandle);
        Message.Result = 0;
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (runTime && Enabled() && DragMode == dmManual) {
            if (IsReadOnly()) return true;
            FPressed = true;
            DoChangePaint(FadeTimer, FCommonData, true, AnimEventEnabled(aeMouseDown, AnimatEvents), fdUp);
            if (!Focused()) {
                FClicksDisabled = true;
                if (CanFocus()) SetFocus();
                FClicksDisabled = false;
            }
            const int x = static_cast<short>(LOWORD(Message.LParam)), y = static_cast<short>(HIWORD(Message.LParam));
            if (Message.Msg == WM_LBUTTONDBLCLK) {
                if (OnDblClick) OnDblClick(this);
            } else if (OnMouseDown) {
                OnMouseDown(this, TMouseButton::mbLeft, KeysToShiftState(Message.WParam), x, y);
            }
            Message.Result = 0;
            return true;
        }
        return false;
    case WM_LBUTTONUP:
        if (runTime && Enabled()) {
            if (IsReadOnly()) return true;
            if (FPressed) {
                FPressed = false;
                Toggle();
            }
            if (OnMouseUp) {
                const int x = static_cast<short>(LOWORD(Message.LParam)),
                          y = static_cast<short>(HIWORD(Message.LParam));
                OnMouseUp(this, TMouseButton::mbLeft, KeysToShiftState(Message.WParam), x, y);
            }
            StopFadeAfterRelease();
            Message.Result = 0;
            return true;
        }
        return false;
    case CM_ENABLEDCHANGED:
        TCheckBox::WndProc(Message);
        Repaint();
        return true;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
        TCheckBox::WndProc(Message);
        if (FAutoSize) AdjustSize();
        Repaint();
        return true;
    case CM_CHANGED:
        if (!runTime)
            Invalidate();
        else
            DoChangePaint(FadeTimer, FCommonData, true, AnimEventEnabled(aeMouseUp, AnimatEvents), fdDown);
        return false;
    default: break;
    }
    if (Message.Msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == AC_ENDPARENTUPDATE) {
        if (sd.FUpdating || sd.HalfVisible) {
            sd.SetUpdating(false);
            if (runTime) Repaint();
        }
        return true;
    }
    return false;
}

void TsCheckBox::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    const bool runTime = !HasState(csDesigning);
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (OwnManager(Message.LParam)) {
                StopFading(FadeTimer, FCommonData);
                HandleCommonMessage(Message, FCommonData);
            }
            return;
        case AC_REMOVESKIN:
            if (OwnManager(Message.LParam)) {
                StopFading(FadeTimer, FCommonData);
                HandleCommonMessage(Message, FCommonData);
                FPressed = false;
                // The window drew nothing itself while skinned: give it the state back.
                if (HandleAllocated()) {
                    ::SendMessageW(FHandle, BM_SETCHECK, static_cast<WPARAM>(State()), 0);
                    if (runTime) RestoreWindowTheme(FHandle);
                }
                Repaint();
            }
            return;
        case AC_REFRESH:
            if (OwnManager(Message.LParam)) {
                StopFading(FadeTimer, FCommonData);
                HandleCommonMessage(Message, FCommonData);
                AdjustSize();
                Repaint();
            }
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_STOPFADING: StopFading(FadeTimer, FCommonData); return;
        case AC_PREPARECACHE: PrepareCache(); break;
        case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return;
        default: break;
        }
    }

    if (sd.Skinned(true) && runTime) {
        switch (Message.Msg) {
        case WM_SETFOCUS:
        case CM_ENTER:
            if (Enabled()) {
                TCheckBox::WndProc(Message);
                sd.BGChanged = true;
                if (FadeTimer)
                    FadeTimer->Change();
                else
                    Repaint();
            }
            return;
        case WM_KILLFOCUS:
        case CM_EXIT:
            if (Enabled()) {
                if (FadeTimer) StopFading(FadeTimer, FCommonData);
                if (HandleAllocated()) ::SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
                TCheckBox::WndProc(Message);
                if (HandleAllocated()) ::SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
                sd.FFocused = false;
                sd.FMouseAbove = false;
                FPressed = false;
                Invalidate();
                return;
            }
            break;
        case CM_MOUSEENTER:
            if (Enabled() && (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this)) &&
                !sd.FMouseAbove) {
                sd.FMouseAbove = true;
                DoChangePaint(FadeTimer, FCommonData, false, AnimEventEnabled(aeMouseEnter, AnimatEvents), fdUp);
            }
            break;
        case CM_MOUSELEAVE:
            if (Enabled() && (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this))) {
                sd.FMouseAbove = false;
                FPressed = false;
                DoChangePaint(FadeTimer, FCommonData, false, AnimEventEnabled(aeMouseLeave, AnimatEvents), fdDown);
            }
            break;
        default: break;
        }
    }

    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
        if (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this)) {
            const TNotifyEvent& event = Message.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave;
            if (event) event(this);
        }
    }

    if (ControlIsReady(this)) {
        if (HandleCommonMessage(Message, FCommonData)) return;
        if (sd.Skinned()) {
            if (SkinnedMessage(Message)) return;
        } else {
            switch (Message.Msg) {
            case BM_SETCHECK:
            case BM_SETSTATE:
                if (IsReadOnly() && FPressed && !HasState(csLoading)) return;
                break;
            case WM_LBUTTONDBLCLK:
                if (IsReadOnly()) return;
                break;
            case WM_KEYDOWN:
            case WM_LBUTTONDOWN: FPressed = true; break;
            case WM_KEYUP:
            case WM_LBUTTONUP: FPressed = false; break;
            case CM_FONTCHANGED:
            case CM_TEXTCHANGED:
                TCheckBox::WndProc(Message);
                if (FAutoSize) AdjustSize();
                return;
            default: break;
            }
        }
    }
    TCheckBox::WndProc(Message);
}
