#include "sButton.h"

#include <algorithm>

#include <uxtheme.h>
#include <vssym32.h>

#include "ComCtrls.h"
#include "ImgList.h"
#include "Menus.h"
#include "acAlphaImageList.h"
#include "acGlow.h"
#include "acMaskPaintWin.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

// Set around one immediate redraw after a release so that the pressed look
// is seen even though the system button is no longer pushed.
bool acPressedRedraw = false;
// Keeps one button's focus handling from re-entering while the default
// processing runs with redrawing switched off.
bool acFocusGuard = false;

const TsGeneralData* SectionOf(const TsCommonData& sd) {
    TsSkinManager* m = sd.SkinManager();
    if (!m || !m->IsValidSkinIndex(sd.SkinIndex)) return nullptr;
    return &m->gd()[static_cast<std::size_t>(sd.SkinIndex)];
}

const TsMaskData* BorderOf(const TsCommonData& sd) {
    TsSkinManager* m = sd.SkinManager();
    if (!m || !m->IsValidImgIndex(sd.BorderIndex)) return nullptr;
    return &m->ma()[static_cast<std::size_t>(sd.BorderIndex)];
}

void SetRedraw(HWND Wnd, bool On) { ::SendMessageW(Wnd, WM_SETREDRAW, On ? TRUE : FALSE, 0); }

}  // namespace

TsButton::TsButton(TComponent* AOwner) : TButton(AOwner) {
    FControlStyle &= ~(csOpaque | csDoubleClicks);
    FCommonData = New<TsCtrlSkinData>(this, true);
    FCommonData->COC = COC_TsButton;
    SetWordWrap(true);
}

TsButton::~TsButton() {
    DeleteRegion();
    FCommonData->Free();
}

void TsButton::AfterConstruction() {
    TButton::AfterConstruction();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsButton::BeforeDestruction() {
    StopFading(FadeTimer, FCommonData);
    TButton::BeforeDestruction();
}

void TsButton::Loaded() {
    TButton::Loaded();
    if (FCommonData->FCacheBmp) FCommonData->FCacheBmp->Canvas()->SetFont(Font());
    FCommonData->Loaded();
}

void TsButton::CreateParams(TCreateParams& Params) {
    TButton::CreateParams(Params);
    // Every skinned button is owner-drawn: the skin or StdDrawItem paints it.
    Params.Style = (Params.Style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW;
}

bool TsButton::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

// ---------------------------------------------------------------------------
// Properties

void TsButton::SetShowFocus(bool Value) {
    if (FShowFocus == Value) return;
    FShowFocus = Value;
    FCommonData->Invalidate();
}

void TsButton::SetReflected(bool Value) {
    if (FReflected == Value) return;
    FReflected = Value;
    FCommonData->Invalidate();
}

void TsButton::SetStyle(TButtonStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    FCommonData->Invalidate();
}

void TsButton::SetContentMargin(Integer Value) {
    if (FContentMargin == Value) return;
    FContentMargin = Value;
    FCommonData->Invalidate();
}

void TsButton::SetDisabledKind(TsDisabledKind Value) {
    if (FDisabledKind == Value) return;
    FDisabledKind = Value;
    if (!HasState(csLoading)) FCommonData->Invalidate();
}

void TsButton::SetDown(bool Value) {
    if (FDown == Value) return;
    FDown = Value;
    RegionChanged = true;
    if (!HasState(csLoading)) FCommonData->Invalidate();
}

void TsButton::SetFocusedState(bool Active) {
    FActive = Active;
    if (IsFocused != Active) IsFocused = Active;
    FCommonData->Invalidate();
}

// ---------------------------------------------------------------------------
// Layout

Integer TsButton::CurrentState() {
    const bool pushed =
        HandleAllocated() && (::SendMessageW(Handle(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    if ((pushed || acPressedRedraw) && (FCommonData->FMouseAbove || (ControlState() & csLButtonDown) == 0)) return 2;
    if (FDown || DroppedDown) return 2;
    const bool defStyle =
        HandleAllocated() && (::GetWindowLongPtrW(Handle(), GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON;
    if (IsFocused || defStyle || FCommonData->ControlIsActive() || (HasState(csDesigning) && Default())) return 1;
    return 0;
}

bool TsButton::HasImage() const {
    return Images() && ImageIndex() >= 0 && ImageIndex() < Images()->Count();
}

TSize TsButton::ImageSize(bool WithMargins) const {
    TSize s{32, 32};
    if (HasImage()) s = TSize{Images()->Width(), Images()->Height()};
    if (WithMargins) {
        s.cx += ImageMargins().Left + ImageMargins().Right;
        s.cy += ImageMargins().Top + ImageMargins().Bottom;
    }
    return s;
}

TSize TsButton::CaptionSize() {
    const String text = Caption();
    if (text.empty()) return TSize{0, 0};
    TCanvas* canvas = FCommonData->FCacheBmp->Canvas();
    canvas->SetFont(Font());
    const Integer width = FStyle == bsPushButton
                              ? Width()
                              : Width() - 2 * FContentMargin - ImageSize(true).cx - 6;
    if (FStyle == bsCommandLink) {
        canvas->Font()->SetStyle(canvas->Font()->Style() + TFontStyles{fsBold});
        canvas->Font()->SetSize(canvas->Font()->Size() + 2);
    }
    TRect r(0, 0, width, 0);
    DrawTextRect(canvas->Handle(), text, r, WordWrap() ? 0x451u : 0x461u);
    if (FStyle == bsCommandLink) canvas->SetFont(Font());
    return TSize{r.Width(), r.Height()};
}

void TsButton::CaptionRect(TRect& R) {
    const Integer W = FStyle == bsSplitButton ? Width() - 16 : Width();
    const Integer CM = FContentMargin;
    const TSize t = CaptionSize();
    const TImageMargins& M = ImageMargins();
    const Integer iw = Images() ? Images()->Width() : 0;
    const Integer ih = Images() ? Images()->Height() : 0;
    const bool image = HasImage();
    if (FStyle == bsCommandLink) {
        R = TRect(ImageSize(true).cx + CM + 6, CM, W - CM, CM + t.cy);
    } else if (image && ImageAlignment() == iaLeft) {
        R.Left = M.Left + CM + iw + M.Right;
        R.Right = W - CM;
        R.Top = (Height() - t.cy) / 2;
        R.Bottom = Height() - R.Top;
    } else if (image && ImageAlignment() == iaRight) {
        R.Left = CM;
        R.Right = W - (M.Right + CM + iw + M.Left);
        R.Top = (Height() - t.cy) / 2;
        R.Bottom = Height() - R.Top;
    } else if (image && ImageAlignment() == iaTop) {
        const Integer t0 = M.Top + 2 * CM + ih;
        const Integer b0 = Height() - CM;
        R.Top = t0 + (b0 - t0 - t.cy) / 2;
        R.Bottom = R.Top + t.cy;
        R.Left = CM;
        R.Right = W - CM;
    } else if (image && ImageAlignment() == iaBottom) {
        const Integer b0 = Height() - (M.Bottom + CM + ih + M.Top);
        R.Top = (b0 - M.Top - t.cy) / 2 + M.Top;
        R.Bottom = R.Top + t.cy;
        R.Left = CM;
        R.Right = W - CM;
    } else {
        R.Left = (W - t.cx) / 2 - 1;
        R.Right = R.Left + t.cx + 2;
        R.Top = (Height() - t.cy) / 2;
        R.Bottom = Height() - R.Top;
    }
    if (CurrentState() == 2) R.Offset(1, 1);
}

TRect TsButton::GlyphRect() {
    if (!HasImage()) return TRect(0, 0, 0, 0);
    const Integer W = FStyle == bsSplitButton ? Width() - 16 : Width();
    const Integer CM = FContentMargin;
    const TImageMargins& M = ImageMargins();
    const Integer iw = Images()->Width();
    const Integer ih = Images()->Height();
    Integer left = 0, top = 0;
    if (FStyle == bsCommandLink) {
        left = M.Left + CM;
        top = CM;
    } else {
        switch (ImageAlignment()) {
        case iaLeft:
            left = M.Left + CM;
            top = (Height() - ih) / 2;
            break;
        case iaRight:
            left = W - M.Right - CM - iw;
            top = (Height() - ih) / 2;
            break;
        case iaTop:
            top = M.Top + CM;
            left = (W - iw) / 2;
            break;
        case iaBottom:
            top = Height() - M.Bottom - CM - ih;
            left = (W - iw) / 2;
            break;
        case iaCenter:
            left = (W - iw) / 2;
            top = (Height() - ih) / 2;
            break;
        }
    }
    TRect r(left, top, left + iw, top + ih);
    if (CurrentState() == 2) r.Offset(1, 1);
    return r;
}

Integer TsButton::GlyphIndex() {
    Integer look;
    if (!Enabled())
        look = 4;
    else if (CurrentState() == 2)
        look = 2;
    else if (Focused())
        look = 3;
    else
        look = CurrentState();
    Integer index = ImageIndex();
    switch (look) {
    case 1: index = HotImageIndex(); break;
    case 2: index = PressedImageIndex(); break;
    case 3: index = SelectedImageIndex(); break;
    case 4: index = DisabledImageIndex(); break;
    default: return ImageIndex();
    }
    const Integer count = Images() ? Images()->Count() : 0;
    return index >= 0 && index < count ? index : ImageIndex();
}

// ---------------------------------------------------------------------------
// Painting

void TsButton::DrawGlyph() {
    if (!HasImage()) return;
    const TRect r = GlyphRect();
    const Integer index = GlyphIndex();
    if (dynamic_cast<TsAlphaImageList*>(Images())) {
        TSize size{0, 0};
        DrawListGlyph(Images(), FCommonData->FCacheBmp, r.Left, r.Top, size, FReflected, 1, 0, clNone, 0, index);
    } else {
        Images()->Draw(FCommonData->FCacheBmp->Canvas(), r.Left, r.Top, index, true);
    }
}

void TsButton::DrawCaption(TCanvas* Canvas) {
    TCanvas* canvas = Canvas ? Canvas : FCommonData->FCacheBmp->Canvas();
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    TRect r;
    CaptionRect(r);
    Cardinal flags;
    if (FStyle == bsCommandLink) {
        flags = 0x50;
        canvas->Font()->SetStyle(canvas->Font()->Style() + TFontStyles{fsBold});
        canvas->Font()->SetSize(canvas->Font()->Size() + 2);
    } else {
        flags = WordWrap() ? 0x55 : 0x45;
    }
    const String text = Caption();
    const bool hot = CurrentState() > 0;
    const bool normalLook = Enabled() || FCommonData->Skinned();
    DrawSkinnedText(canvas, text, normalLook, hot, FCommonData, flags, r);
    if (FStyle == bsCommandLink) {
        canvas->SetFont(Font());
        if (!CommandLinkHint().empty()) {
            TRect hint(r.Left, r.Bottom + 6, r.Right, Height() - FContentMargin);
            DrawSkinnedText(canvas, CommandLinkHint(), normalLook, hot, FCommonData, flags, hint);
        }
    }
    const TsGeneralData* section = SectionOf(*FCommonData);
    if (Focused() && Enabled() && !text.empty() && FShowFocus && FCommonData->Skinned() && section &&
        section->ShowFocus) {
        TRect f = r;
        f.Left -= FFocusMargin;
        f.Top -= FFocusMargin;
        f.Right += FFocusMargin;
        f.Bottom += FFocusMargin;
        DrawDottedFrame(canvas, f, clBtnFace, clBlack);
    }
}

void TsButton::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    TCacheInfo ci;
    sd.GetParentCache(ci);
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    ++FCacheBuilds;
    if (cache->Width() <= 0 || cache->Height() <= 0) {
        sd.BGChanged = false;
        return;
    }
    cache->Canvas()->SetFont(Font());
    const TsGeneralData* section = SectionOf(sd);
    const Integer states = section ? std::max(section->States, 1) : 1;
    const Integer s = std::min(CurrentState(), states - 1);
    const TPoint offset(Left(), Top());
    PaintControlSectionBg(FCommonData, ci, s, cache, offset, TRect(0, 0, Width(), Height()));

    if (const TsMaskData* mask = BorderOf(sd)) {
        const bool skipNormal = s == 0 && (mask->DrawMode & 2) != 0;
        if (RegionChanged && mask->CornerType == 2 && !acAnimationSwitch && !FadeTimer) {
            // A new window region: the mask's transparent corner pixels are
            // cut out of a rectangle the size of the control.
            DeleteRegion();
            FRegion = ::CreateRectRgn(0, 0, Width(), Height());
            if (!skipNormal) DrawBorderMask(cache, FRegion, true, s, *mask);
        } else if (!skipNormal) {
            TCacheInfo shifted = ci;
            shifted.X += Left();
            shifted.Y += Top();
            DrawSkinRect(cache, TRect(0, 0, Width(), Height()), true, s, *mask, shifted);
        }
    }
    if (sd.HUEOffset() != 0) ShiftBitmapHue(cache, sd.HUEOffset());
    if (sd.Saturation() != 0) ChangeBitmapSaturation(cache, sd.Saturation());

    DrawGlyph();
    DrawCaption(nullptr);

    if (FStyle == bsSplitButton && section) {
        const TColor color = s == 0 ? section->FontColor.Color : section->HotFontColor.Color;
        TCanvas* c = cache->Canvas();
        c->Pen()->SetColor(color);
        c->Pen()->SetWidth(1);
        c->MoveTo(Width() - 15, 4);
        c->LineTo(Width() - 15, Height() - 4);
        DrawSmallArrow(c, color, TRect(Width() - 16, 0, Width(), Height()), 8);
    }
    if (!Enabled()) ApplyDisabledKind(cache, FDisabledKind, this, offset, ci);
    sd.BGChanged = false;
}

void TsButton::DeleteRegion() {
    if (FRegion) ::DeleteObject(FRegion);
    FRegion = nullptr;
}

void TsButton::RemoveRegion() {
    if (HandleAllocated()) ::SetWindowRgn(Handle(), nullptr, FALSE);
    DeleteRegion();
    FFirstRegion = true;
}

void TsButton::OurPaint(HDC DC) {
    TsCommonData& sd = *FCommonData;
    if (acAnimationSwitch && DC != sd.PrintDC) return;
    if (!HandleAllocated()) return;
    HDC dc = DC;
    PAINTSTRUCT ps{};
    const bool bracket = !acAnimationSwitch;
    HDC painted = nullptr;
    if (bracket) painted = ::BeginPaint(Handle(), &ps);
    bool own = false;
    if (!dc) {
        dc = painted ? painted : ::GetDC(Handle());
        own = !painted;
    }
    sd.FUpdating = sd.GetUpdating();
    if (dc && !sd.FUpdating && !(FadeTimer && FadeTimer->Enabled())) {
        sd.CheckHalfVisible();
        const bool redrawOnApply = FFirstRegion || acSkinLoading;
        DeleteRegion();
        const TsMaskData* mask = BorderOf(sd);
        if (!RegionChanged || !mask || mask->CornerType != 2 || HasState(csDesigning)) {
            if (sd.BGChanged) PrepareCache();
        } else {
            PrepareCache();
            const Integer states = SectionOf(sd) ? std::max(SectionOf(sd)->States, 1) : 1;
            RepaintBorderCorners(FCommonData, std::min(CurrentState(), states - 1));
            const HDC src = sd.FCacheBmp->Canvas()->Handle();
            const Integer w = Width(), h = Height();
            const Integer WL = mask->WL, WT = mask->WT, WR = mask->WR, WB = mask->WB;
            ::BitBlt(dc, 0, 0, WL, WT, src, 0, 0, SRCCOPY);
            ::BitBlt(dc, 0, h - WB, w, WB, src, 0, h - WB, SRCCOPY);
            ::BitBlt(dc, w - WR, h - WB, WR, WB, src, w - WR, h - WB, SRCCOPY);
            ::BitBlt(dc, w - WR, 0, WR, WT, src, w - WR, 0, SRCCOPY);
            if (FRegion && dc != sd.PrintDC && (ControlState() & csAlignmentNeeded) == 0) {
                // The window owns the region from here on. The position
                // notices the system sends while it takes it change nothing
                // of the button's image.
                FApplyingRegion = true;
                ::SetWindowRgn(Handle(), FRegion, redrawOnApply ? TRUE : FALSE);
                FApplyingRegion = false;
                FRegion = nullptr;
                FFirstRegion = false;
                RegionChanged = false;
                const TRect bounds(Left(), Top(), Left() + w, Top() + h);
                TCacheInfo ci;
                sd.GetParentCache(ci);
                if ((w < LastRect.Width() || h < LastRect.Height()) && !ci.Ready && Parent() &&
                    Parent()->HandleAllocated()) {
                    // The old corners of a shrunk button lie outside the new
                    // region: the parent draws them again.
                    const TRect& o = LastRect;
                    const RECT areas[3] = {{o.Right - WR, o.Top, o.Right, o.Top + WT},
                                           {o.Right - WR, o.Bottom - WB, o.Right, o.Bottom},
                                           {o.Left, o.Bottom - WB, o.Left + WL, o.Bottom}};
                    for (const RECT& a : areas) ::InvalidateRect(Parent()->Handle(), &a, TRUE);
                }
                LastRect = bounds;
            }
            // A region that was not applied is not kept for later.
            DeleteRegion();
        }
        if (sd.FCacheBmp && sd.FCacheBmp->Width() > 0) {
            const int saved = ::SaveDC(dc);
            ::BitBlt(dc, 0, 0, Width(), Height(), sd.FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
            ::RestoreDC(dc, saved);
        }
    }
    if (own && dc) ::ReleaseDC(Handle(), dc);
    if (bracket) ::EndPaint(Handle(), &ps);
}

// ---------------------------------------------------------------------------
// The plain look

void TsButton::DrawBtnGlyph(TCanvas* Canvas) {
    const Integer index = GlyphIndex();
    if (!Images() || index < 0 || index >= Images()->Count()) return;
    const TRect r = GlyphRect();
    if (dynamic_cast<TsAlphaImageList*>(Images())) {
        TSize size{0, 0};
        DrawListGlyphOnDC(Images(), Canvas->Handle(), r.Left, r.Top, size, FReflected, 1, 0, clNone,
                          !Enabled() && FDisabledKind.Contains(dkBlended) ? 50 : 0, index);
        return;
    }
    TBitmap* bmp = New<TBitmap>();
    bmp->SetPixelFormat(pf32bit);
    bmp->SetSize(Images()->Width(), Images()->Height());
    const TColor bk = Images()->BkColor() == clNone ? static_cast<TColor>(0xFF00FF) : Images()->BkColor();
    bmp->Canvas()->Brush()->SetColor(bk);
    bmp->Canvas()->FillRect(TRect(0, 0, bmp->Width(), bmp->Height()));
    Images()->Draw(bmp->Canvas(), 0, 0, index, Enabled());
    ::TransparentBlt(Canvas->Handle(), r.Left, r.Top, bmp->Width(), bmp->Height(), bmp->Canvas()->Handle(), 0, 0,
                     bmp->Width(), bmp->Height(), 0xFF00FF);
    bmp->Free();
}

void TsButton::StdDrawItem(const DRAWITEMSTRUCT& DI) {
    TCanvas canvas;
    canvas.SetHandle(DI.hDC);
    const int saved = ::SaveDC(DI.hDC);
    const bool pressed = (DI.itemState & ODS_SELECTED) != 0;
    const bool focusMarked = (DI.itemState & ODS_FOCUS) != 0;
    TRect r(0, 0, Width(), Height());
    const Integer focusCut = FStyle == bsSplitButton ? 14 : 0;
    HTHEME theme = ::IsAppThemed() ? ::OpenThemeData(Handle(), L"BUTTON") : nullptr;
    if (theme) {
        int state = PBS_NORMAL;
        if (!Enabled())
            state = PBS_DISABLED;
        else if (pressed)
            state = PBS_PRESSED;
        else if (FCommonData->FMouseAbove)
            state = PBS_HOT;
        else if (IsFocused || focusMarked)
            state = PBS_DEFAULTED;
        RECT all{0, 0, Width(), Height()};
        ::DrawThemeParentBackground(Handle(), DI.hDC, &all);
        ::DrawThemeBackground(theme, DI.hDC, BP_PUSHBUTTON, state, &all, nullptr);
        RECT content = all;
        ::GetThemeBackgroundContentRect(theme, DI.hDC, BP_PUSHBUTTON, state, &all, &content);
        if (IsFocused && focusMarked) {
            content.right -= focusCut;
            ::DrawFocusRect(DI.hDC, &content);
        }
        ::CloseThemeData(theme);
    } else {
        if (IsFocused || focusMarked) {
            canvas.Brush()->SetStyle(bsClear);
            canvas.Pen()->SetColor(clWindowFrame);
            canvas.Pen()->SetWidth(1);
            canvas.Rectangle(r);
            r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
        }
        if (pressed) {
            canvas.Pen()->SetColor(clBtnShadow);
            canvas.Brush()->SetStyle(bsSolid);
            canvas.Brush()->SetColor(clBtnFace);
            canvas.Rectangle(r);
        } else {
            RECT fr{r.Left, r.Top, r.Right, r.Bottom};
            UINT state = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
            if (DI.itemState & ODS_DISABLED) state |= DFCS_INACTIVE;
            ::DrawFrameControl(DI.hDC, &fr, DFC_BUTTON, state);
        }
        if (IsFocused && focusMarked) {
            RECT f{4, 4, Width() - 4 - focusCut, Height() - 4};
            ::DrawFocusRect(DI.hDC, &f);
        }
    }
    ::RestoreDC(DI.hDC, saved);
    DrawCaption(&canvas);
    DrawBtnGlyph(&canvas);
    if (FStyle == bsSplitButton) {
        canvas.Pen()->SetColor(clWindowFrame);
        canvas.MoveTo(Width() - 15, 4);
        canvas.LineTo(Width() - 15, Height() - 4);
        DrawSmallArrow(&canvas, Font()->Color(), TRect(Width() - 16, 0, Width(), Height()), 8);
    }
    canvas.SetHandle(nullptr);
}

// ---------------------------------------------------------------------------
// Mouse

namespace {

// The application's ShowHint while a press switched it off.
bool gHintSwitchedOff = false;
bool gSavedShowHint = true;

void SaveShowHint() {
    if (gHintSwitchedOff || !Application) return;
    gSavedShowHint = Application->ShowHint;
    Application->ShowHint = false;
    gHintSwitchedOff = true;
}

void RestoreShowHint() {
    if (!gHintSwitchedOff) return;
    gHintSwitchedOff = false;
    if (Application) Application->ShowHint = gSavedShowHint;
}

}  // namespace

void TsButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FStyle == bsSplitButton && DropDownMenu() && X >= Width() - 16 && X < Width() && Y >= 0 && Y < Height()) {
        // The drop-down part: the menu opens below the button and the button
        // shows itself pressed until it closes. No click follows.
        DroppedDown = true;
        FCommonData->Invalidate();
        const POINT at = ClientToScreen(POINT{0, Height()});
        // The chosen item runs before Popup returns and may free the button
        // (with its form).
        const TLiveness alive = Liveness();
        DropDownMenu()->Popup(at.x, at.y);
        if (!alive.Alive()) return;
        DroppedDown = false;
        // The press that opened the menu is over: a release that still finds
        // the button holding the mouse must not click it.
        SetControlState(csLButtonDown, false);
        if (HandleAllocated() && ::GetCapture() == Handle()) ::ReleaseCapture();
        FCommonData->Invalidate();
        return;
    }
    TsCommonData& sd = *FCommonData;
    if (sd.Skinned() && Enabled() && !HasState(csDesigning)) {
        sd.SetUpdating(false);
        // No hint shows up over the press while it is painted.
        if (Button == TMouseButton::mbLeft) SaveShowHint();
        FMouseClicked = true;
        if (Button == TMouseButton::mbLeft && !FDown) {
            RegionChanged = true;
            sd.FUpdating = sd.GetUpdating();
            sd.BGChanged = false;
            DoChangePaint(FadeTimer, FCommonData, true, AnimEventEnabled(aeMouseDown, FAnimatEvents), fdUp);
        }
        RestoreShowHint();
    }
    TButton::MouseDown(Button, Shift, X, Y);
}

void TsButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (HasState(csDestroying)) return;
    TsCommonData& sd = *FCommonData;
    if (sd.Skinned() && Enabled() && !HasState(csDesigning)) {
        if (Button == TMouseButton::mbLeft) RestoreShowHint();
        if (!FMouseClicked) return;
        FMouseClicked = false;
        if (Button == TMouseButton::mbLeft && Enabled()) {
            if (FadeTimer && FadeTimer->FadeLevel < FadeTimer->Iterations) {
                StopFading(FadeTimer, FCommonData);
                sd.BGChanged = true;
                acPressedRedraw = true;
                if (HandleAllocated())
                    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                acPressedRedraw = false;
                ::Sleep(30);
            }
            sd.SetUpdating(false);
            RegionChanged = true;
            sd.BGChanged = false;
            DoChangePaint(FadeTimer, FCommonData, true, AnimEventEnabled(aeMouseUp, FAnimatEvents), fdDown);
        }
    }
    TButton::MouseUp(Button, Shift, X, Y);
}

// ---------------------------------------------------------------------------
// Messages

void TsButton::FocusMessage(TMessage& Message, bool Setting) {
    TsCommonData& sd = *FCommonData;
    if (Setting) {
        if (Enabled() && !HasState(csDestroying) && !acFocusGuard) {
            SetRedraw(Handle(), false);
            acFocusGuard = true;
            TButton::WndProc(Message);
            SetRedraw(Handle(), true);
            acFocusGuard = false;
            if (FadeTimer)
                FadeTimer->Change();
            else
                sd.Invalidate();
        } else {
            TButton::WndProc(Message);
        }
        return;
    }
    if (Enabled() && !HasState(csDestroying)) {
        if (FadeTimer) StopFading(FadeTimer, FCommonData);
        SetRedraw(Handle(), false);
        TButton::WndProc(Message);
        SetRedraw(Handle(), true);
        if (sd.Skinned()) {
            sd.FFocused = false;
            RegionChanged = true;
            sd.Invalidate();
            DropGlow(sd.GlowID);
        }
    } else {
        TButton::WndProc(Message);
    }
}

bool TsButton::SkinnedMessage(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    const bool designing = HasState(csDesigning);
    const bool destroying = HasState(csDestroying);
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_ENDPARENTUPDATE:
            if (sd.FUpdating) {
                sd.SetUpdating(false);
                Repaint();
            }
            return true;
        case AC_URGENTPAINT:
            if (sd.UrgentPainting) PrepareCache();
            HandleCommonMessage(Message, FCommonData);
            return true;
        default: return false;
        }
    }
    switch (Message.Msg) {
    case WM_MOVE:
        if (const TsGeneralData* s = SectionOf(sd);
            s && (s->Transparency > 0 || (s->HotTransparency > 0 && sd.ControlIsActive()))) {
            sd.BGChanged = true;
            Repaint();
        }
        return false;
    case WM_SIZE:
        RegionChanged = true;
        ClearGlows(false);
        return false;
    case WM_SETFOCUS:
    case CM_ENTER:
        if (designing || !Visible()) return false;
        FocusMessage(Message, true);
        return true;
    case WM_KILLFOCUS:
    case CM_EXIT:
        if (designing || !Visible()) return false;
        FocusMessage(Message, false);
        return true;
    case WM_ENABLE: return true;
    case WM_PAINT:
        if (!designing && !Visible()) return false;
        if (Parent()) {
            OurPaint(reinterpret_cast<HDC>(Message.WParam));
            if (designing) return false;
        }
        Message.Result = 0;
        return true;
    case WM_ERASEBKGND:
        if (Visible() || designing) {
            if (Message.WParam && sd.FCacheBmp && !sd.BGChanged && !(FadeTimer && FadeTimer->Enabled())) {
                const TRect all(0, 0, Width(), Height());
                CopyCacheExcludingControls(this, FCommonData, all, all, reinterpret_cast<HDC>(Message.WParam));
            }
            Message.Result = 0;
            return true;
        }
        return false;
    case WM_WINDOWPOSCHANGING:
        if (!FApplyingRegion) RegionChanged = true;
        return false;
    case WM_WINDOWPOSCHANGED:
        if (!FApplyingRegion) {
            RegionChanged = true;
            sd.BGChanged = true;
        }
        return false;
    case WM_UPDATEUISTATE:
        if (Visible() || designing) {
            Message.Result = 1;
            return true;
        }
        return false;
    case WM_PRINT:
        RegionChanged = true;
        sd.FUpdating = false;
        OurPaint(reinterpret_cast<HDC>(Message.WParam));
        return true;
    case CM_DIALOGCHAR:
        if (Enabled() && Focused() && Message.WParam == VK_SPACE) {
            StopFading(FadeTimer, FCommonData);
            RegionChanged = true;
            sd.BGChanged = true;
            DropGlow(sd.GlowID);
            Repaint();
        }
        return false;
    case CM_FOCUSCHANGED:
        if (Visible() && !acFocusGuard) {
            SetRedraw(Handle(), false);
            TButton::WndProc(Message);
            SetRedraw(Handle(), true);
        }
        return false;
    case CM_TEXTCHANGED:
        // A new caption is a new image.
        if (!destroying) sd.Invalidate();
        return true;
    case CM_MOUSEENTER:
        if (Enabled() && !designing && !sd.FMouseAbove) {
            if (OnMouseEnter) OnMouseEnter(this);
            sd.FMouseAbove = true;
            sd.BGChanged = false;
            DoChangePaint(FadeTimer, FCommonData, false, AnimEventEnabled(aeMouseEnter, FAnimatEvents), fdUp);
        }
        return false;
    case CM_MOUSELEAVE:
        if (Enabled() && !designing) {
            if (OnMouseLeave) OnMouseLeave(this);
            sd.FMouseAbove = false;
            sd.BGChanged = false;
            DoChangePaint(FadeTimer, FCommonData, false, AnimEventEnabled(aeMouseLeave, FAnimatEvents), fdDown);
        }
        return false;
    case CM_UIACTIVATE: sd.SetUpdating(false); return false;
    case CN_DRAWITEM:
        // The skinned button paints itself on WM_PAINT only.
        Message.WParam = 0;
        Message.LParam = 0;
        Message.Result = 1;
        return true;
    default: return false;
    }
}

void TsButton::CommonTail(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    if (HandleCommonMessage(Message, FCommonData)) return;
    // A handler of the message (a click, a menu item of the split part) may
    // free the button.
    const TLiveness alive = Liveness();
    TButton::WndProc(Message);
    if (!alive.Alive() || HasState(csDestroying)) return;
    const bool shown = Visible() || HasState(csDesigning);
    switch (Message.Msg) {
    case WM_SETFONT:
        if (shown) {
            sd.SetUpdating(false);
            sd.Invalidate();
        }
        break;
    case CM_CANCELMODE: DropGlow(sd.GlowID); break;
    case CM_VISIBLECHANGED:
        sd.BGChanged = true;
        sd.SetUpdating(false);
        if (shown) Repaint();
        break;
    case CM_ENABLEDCHANGED:
        if (shown) {
            if (!Enabled()) StopFading(FadeTimer, FCommonData);
            sd.SetUpdating(false);
            // The disabled look is a new image, not only a new paint.
            sd.Invalidate();
        }
        break;
    default: break;
    }
}

void TsButton::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == WM_KILLFOCUS && HasState(csDestroying)) return;
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (OwnManager(Message.LParam)) {
                RegionChanged = true;
                StopFading(FadeTimer, FCommonData);
                HandleCommonMessage(Message, FCommonData);
            }
            return;
        case AC_REMOVESKIN:
            if (OwnManager(Message.LParam) && !HasState(csDestroying)) {
                StopFading(FadeTimer, FCommonData);
                HandleCommonMessage(Message, FCommonData);
                RemoveRegion();
                Repaint();
            }
            return;
        case AC_REFRESH:
            if (OwnManager(Message.LParam)) {
                StopFading(FadeTimer, FCommonData);
                RemoveRegion();
                HandleCommonMessage(Message, FCommonData);
                RegionChanged = true;
                if (!sd.PrintDC) Repaint();
            }
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_STOPFADING: StopFading(FadeTimer, FCommonData); return;
        case AC_PREPARECACHE: PrepareCache(); break;
        case AC_UPDATING: DeleteRegion(); break;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return;
        default: break;
        }
    }
    if (!ControlIsReady(this) || !sd.Skinned(true)) {
        if ((Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) && !HasState(csDestroying)) {
            const bool enter = Message.Msg == CM_MOUSEENTER;
            sd.FMouseAbove = enter;
            if (HandleAllocated()) Repaint();
            if (Enabled() && !HasState(csDesigning)) {
                if (enter && OnMouseEnter) OnMouseEnter(this);
                if (!enter && OnMouseLeave) OnMouseLeave(this);
            }
        }
        if (Message.Msg == CN_DRAWITEM && Message.LParam) {
            StdDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam));
            Message.Result = 1;
            return;
        }
        if (Message.Msg == CN_MEASUREITEM && Message.LParam) {
            auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
            mi->itemWidth = static_cast<UINT>(Width());
            mi->itemHeight = static_cast<UINT>(Height());
            Message.Result = 1;
            return;
        }
        TButton::WndProc(Message);
        return;
    }
    if (Message.Msg == CN_MEASUREITEM && Message.LParam) {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
        mi->itemWidth = static_cast<UINT>(Width());
        mi->itemHeight = static_cast<UINT>(Height());
        Message.Result = 1;
        return;
    }
    if (Message.Msg == WM_KEYUP && Message.WParam == VK_SPACE) {
        TButton::WndProc(Message);
        RegionChanged = true;
        sd.BGChanged = true;
        Repaint();
        return;
    }
    if (SkinnedMessage(Message)) return;
    CommonTail(Message);
}

// ---------------------------------------------------------------------------
// Classes the window-creation hook leaves alone

namespace {

TStringList* gHookExcluded = nullptr;
int gButtonUnitStarts = 0;

}  // namespace

TStringList* HookExcludedClasses() { return gHookExcluded; }

void sButtonInitialization() {
    if (gButtonUnitStarts++ > 0) return;
    auto* list = new TStringList();
    list->SetSorted(true);
    list->Add(u"TApplication");
    list->Add(u"TfcPopup");
    gHookExcluded = list;
}

void sButtonFinalization() {
    if (gButtonUnitStarts == 0 || --gButtonUnitStarts > 0) return;
    TStringList* list = gHookExcluded;
    gHookExcluded = nullptr;
    delete list;
}

// ---------------------------------------------------------------------------
// Tool bar button images

namespace {

Integer ToolButtonLook(UINT State) {
    if (State == 0 || State == CDIS_DISABLED) return 0;
    if (State & (CDIS_SELECTED | CDIS_CHECKED)) return 2;
    return 1;
}

}  // namespace

void DrawToolButtonImage(TToolBar* ToolBar, TToolButton* Button, UINT State, TBitmap* Bmp) {
    if (!ToolBar || !Button || !Bmp || Bmp->Empty() || !ToolBar->Images()) return;
    const Integer look = ToolButtonLook(State);
    const Integer index = Button->ImageIndex();
    if (index < 0) return;
    TCustomImageList* list = ToolBar->Images();
    TCustomImageList* hot = ToolBar->HotImages();
    if (look != 0 && hot && index < hot->Count()) list = hot;
    if (index >= list->Count()) return;
    const Integer iw = list->Width(), ih = list->Height();
    if (iw <= 0 || ih <= 0) return;

    Integer x, y;
    if (ToolBar->List()) {
        x = 5;
        y = (Button->Height() - ih) / 2;
    } else {
        x = (Button->Width() - iw) / 2 - (Button->Style() == tbsDropDown ? 8 : 0) + 1;
        // Captions below the image take the height of a line and 3 pixels.
        TSize text{0, 0};
        if (ToolBar->ShowCaptions()) {
            GetFontTextExtent(ToolBar->Font()->Handle(), u"A", text);
            text.cy += 3;
        }
        y = (Button->Height() - ih - text.cy) / 2;
    }
    if (look == 2) ++x, ++y;

    if (dynamic_cast<TsAlphaImageList*>(list)) {
        const Integer state = (State & CDIS_HOT) ? 1 : ((State & CDIS_CHECKED) ? 2 : 0);
        TSize size{0, 0};
        DrawListGlyph(list, Bmp, x, y, size, false, 1, state, clNone, 0, index);
        return;
    }
    // Other lists draw over the key colour (or the list's own background),
    // and all but the key is copied in, opaque.
    const TColor bk = ToolBar->Images()->BkColor();
    const TColor fill = bk == clNone ? static_cast<TColor>(0xFF00FF) : ColorToRGB(bk);
    TBitmap* temp = CreateWorkBitmap(iw, ih);
    FillPixels32(Bits32Of(temp), TRect(0, 0, iw, ih), SwapRedBlue(static_cast<std::uint32_t>(fill)) & 0xFFFFFFu);
    list->Draw(temp->Canvas(), 0, 0, index, true);
    DrawAlphaBitmapAt(Bmp, temp, x, y, 0xFF00FF);
    temp->Free();
}
