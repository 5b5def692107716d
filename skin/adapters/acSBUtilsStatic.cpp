#include "acSBUtilsStatic.h"

#include <algorithm>
#include <memory>

#include "acGlow.h"
#include "acMaskPaintWin.h"
#include "acSBUtilsScroll.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

const TsGeneralData* SectionOfData(const TsCommonData* Data) {
    if (Data == nullptr) return nullptr;
    TsSkinManager* manager = Data->SkinManager();
    if (manager == nullptr || !manager->IsValidSkinIndex(Data->SkinIndex)) return nullptr;
    return &manager->gd()[static_cast<std::size_t>(Data->SkinIndex)];
}

// The cache canvas draws with the system's message font for the time of the
// scope; its own font comes back afterwards (the message font is deleted
// with it).
class TMessageFontScope {
public:
    explicit TMessageFontScope(TCanvas* Canvas) : FCanvas(Canvas), FSaved(New<TFont>()) {
        FSaved->Assign(Canvas->Font());
        if (HFONT font = CreateSystemFont(5)) FCanvas->Font()->SetHandle(font);
    }
    ~TMessageFontScope() {
        FCanvas->Font()->Assign(FSaved);
        FSaved->Free();
    }
    TMessageFontScope(const TMessageFontScope&) = delete;
    TMessageFontScope& operator=(const TMessageFontScope&) = delete;

private:
    TCanvas* FCanvas;
    TFont* FSaved;
};

Cardinal StyleOf(HWND Wnd) { return static_cast<Cardinal>(::GetWindowLongPtrW(Wnd, GWL_STYLE)); }
Cardinal ExStyleOf(HWND Wnd) { return static_cast<Cardinal>(::GetWindowLongPtrW(Wnd, GWL_EXSTYLE)); }

bool CursorInWindow(HWND Wnd) {
    POINT p{};
    RECT r{};
    return ::GetCursorPos(&p) && ::GetWindowRect(Wnd, &r) && ::PtInRect(&r, p);
}

// Turns the window's drawing off for the time of the scope (so that the
// window's own handler paints nothing) and on again afterwards.
class TRedrawOff {
public:
    explicit TRedrawOff(HWND Wnd) : FWnd(Wnd) { ::SendMessageW(FWnd, WM_SETREDRAW, FALSE, 0); }
    ~TRedrawOff() {
        if (::IsWindow(FWnd)) ::SendMessageW(FWnd, WM_SETREDRAW, TRUE, 0);
    }
    TRedrawOff(const TRedrawOff&) = delete;
    TRedrawOff& operator=(const TRedrawOff&) = delete;

private:
    HWND FWnd;
};

constexpr UINT kFullRedraw = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;

}  // namespace

// ---- pure helpers -------------------------------------------------------------------

bool IsDefaultButtonStyle(Cardinal Style) {
    switch (Style & 0xF) {
    case BS_DEFPUSHBUTTON:
    case BS_DEFSPLITBUTTON:
    case BS_DEFCOMMANDLINK: return true;
    default: return false;
    }
}

Cardinal ButtonCaptionFlags(Cardinal Style, Cardinal ExStyle) {
    Cardinal flags = DT_CENTER | DT_EXPANDTABS;
    if ((Style & BS_MULTILINE) != 0) flags |= DT_WORDBREAK;
    if ((ExStyle & WS_EX_RTLREADING) != 0) flags |= DT_RTLREADING;
    return flags;
}

Cardinal StaticTextFlags(Cardinal Style, Cardinal ExStyle) {
    Cardinal flags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP;
    if ((Style & SS_NOPREFIX) != 0) flags |= DT_NOPREFIX;
    if ((ExStyle & WS_EX_RIGHT) != 0) flags |= DT_RIGHT;
    return flags;
}

TRect CenteredCaptionRect(Integer W, Integer H, TSize Text, bool Down) {
    const Integer left = (W - Text.cx) / 2;
    const Integer top = (H - Text.cy) / 2;
    TRect r(left, top, W - left + 1, H - top);
    if (Down) r.Offset(1, 1);
    return r;
}

// ---- TacStaticWnd -------------------------------------------------------------------

bool TacStaticWnd::BaseOnly() const {
    return (StyleOf(CtrlHandle) & WS_TABSTOP) != 0 || (ExStyleOf(CtrlHandle) & WS_EX_STATICEDGE) != 0;
}

void TacStaticWnd::acWndProc(TMessage& Message) {
    // Without an active skin the window paints itself.
    if (BaseOnly() || SkinData == nullptr || !SkinData->Skinned(true)) {
        TacMainWnd::acWndProc(Message);
        return;
    }
    const bool visible = ::IsWindowVisible(CtrlHandle) != FALSE;
    switch (Message.Msg) {
    case WM_MOVE:
    case WM_ENABLE:
        if (!visible) break;
        SkinData->BGChanged = true;
        CallPrevWndProc(Message);
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, kFullRedraw);
        return;
    case WM_SETTEXT:
        if (!visible) break;
        {
            TRedrawOff off(CtrlHandle);
            CallPrevWndProc(Message);
            Caption = GetWndText(CtrlHandle);
            SkinData->BGChanged = true;
        }
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, kFullRedraw);
        return;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        ::BeginPaint(CtrlHandle, &ps);
        if (visible) {
            TMessage paint = Message;
            AC_WMPaint(paint);
        }
        ::EndPaint(CtrlHandle, &ps);
        Message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
        if (!visible) break;
        Message.Result = 1;
        return;
    case WM_NCPAINT: Message.Result = 0; return;
    case WM_PRINT: AC_WMPaint(Message); return;
    default: break;
    }
    TacMainWnd::acWndProc(Message);
}

void TacStaticWnd::AC_WMPaint(TMessage& Message) {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const bool ownDC = dc == nullptr;
    if (ownDC) dc = ::GetWindowDC(CtrlHandle);
    if (dc == nullptr) return;
    SkinData->BGChanged = true;
    SkinData->InitCacheBmp();
    SkinData->FCacheBmp->SetSize(std::max(0, WndSize.cx), std::max(0, WndSize.cy));
    PaintWndCache(SkinData, CtrlHandle, false);
    // A busy parent leaves the cache stale: nothing is shown until it is ready.
    if (!SkinData->BGChanged && PaintText())
        ::BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (ownDC) ::ReleaseDC(CtrlHandle, dc);
}

bool TacStaticWnd::PaintText() {
    if (Caption.empty()) return true;
    TCanvas* canvas = SkinData->FCacheBmp->Canvas();
    TMessageFontScope font(canvas);
    canvas->Brush()->SetStyle(bsClear);
    const TRect r(0, 0, WndSize.cx, WndSize.cy);
    DrawSkinnedText(canvas, Caption, ::IsWindowEnabled(CtrlHandle) != FALSE, false, SkinData,
                    StaticTextFlags(StyleOf(CtrlHandle), ExStyleOf(CtrlHandle)), r);
    return true;
}

// ---- TacBtnWnd ----------------------------------------------------------------------

TacBtnWnd::TacBtnWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                     bool Repaint)
    : TacMainWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {
    if (SkinSection.empty()) SkinData->SetSkinSection(u"BUTTON");
}

Cardinal TacBtnWnd::CtrlStyle() const { return StyleOf(CtrlHandle); }

bool TacBtnWnd::MultiLine() const { return (CtrlStyle() & BS_MULTILINE) != 0; }

bool TacBtnWnd::Down() const { return (::SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

void TacBtnWnd::Repaint() { ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

Integer TacBtnWnd::CurrentState() {
    if (Down()) {
        ClearGlows(false);
        return 2;
    }
    if (!::IsWindowEnabled(CtrlHandle)) return 0;
    if (::GetFocus() == CtrlHandle || (DefaultManager != nullptr && DefaultManager->ActiveControl() == CtrlHandle))
        return 1;
    // The default button shows the hot look while nothing else has it. The
    // framework's buttons and plain windows alike carry a type code.
    return IsDefaultButtonStyle(CtrlStyle()) ? 1 : 0;
}

TSize TacBtnWnd::GlyphSize() { return TSize{0, 0}; }

void TacBtnWnd::DrawGlyph() {}

Integer TacBtnWnd::MaxCaptionWidth() {
    if (Caption.empty()) return 0;
    const Integer glyph = GlyphSize().cx;
    if (glyph == 0) return WndSize.cx - 2;
    return std::max(0, WndSize.cx - glyph);
}

TSize TacBtnWnd::TextRectSize() {
    const Integer width = MaxCaptionWidth();
    if (Caption.empty() || SkinData->FCacheBmp == nullptr) return TSize{0, 0};
    TRect r(0, 0, width, 0);
    const Cardinal flags = DT_CALCRECT | DT_NOPREFIX | ButtonCaptionFlags(CtrlStyle(), 0);
    DrawTextRect(SkinData->FCacheBmp->Canvas()->Handle(), Caption, r, flags);
    return TSize{r.Width(), r.Height()};
}

TRect TacBtnWnd::CaptionRect() {
    return CenteredCaptionRect(WndSize.cx, WndSize.cy, TextRectSize(), Down());
}

void TacBtnWnd::DoDrawText(TRect& Rect, Integer Flags) {
    DrawSkinnedText(SkinData->FCacheBmp->Canvas(), Caption, ::IsWindowEnabled(CtrlHandle) != FALSE,
                    CurrentState() != 0, SkinData, static_cast<Cardinal>(Flags), Rect);
}

void TacBtnWnd::DrawCaption() {
    TCanvas* canvas = SkinData->FCacheBmp->Canvas();
    std::unique_ptr<TMessageFontScope> systemFont;
    if (TControl* owner = OwnerControl())
        canvas->SetFont(owner->Font());
    else
        systemFont = std::make_unique<TMessageFontScope>(canvas);
    canvas->Brush()->SetStyle(bsClear);
    TRect r = CaptionRect();
    DoDrawText(r, static_cast<Integer>(ButtonCaptionFlags(CtrlStyle(), ExStyleOf(CtrlHandle))));
    const bool focused = (::SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0;
    if (focused && ::IsWindowEnabled(CtrlHandle) && !Caption.empty()) {
        const TsGeneralData* section = SectionOfData(SkinData);
        if (section != nullptr && section->ShowFocus) {
            TRect f = r;
            f.Left -= 1;
            f.Top -= 1;
            f.Right += 1;
            f.Bottom += 1;
            DrawDottedFrame(canvas, f, clBtnFace, clBlack);
        }
    }
}

void TacBtnWnd::PrepareCache() {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    TCacheInfo ci;
    GetParentCacheHwnd(CtrlHandle, ci);
    SkinData->InitCacheBmp();
    TBitmap* cache = SkinData->FCacheBmp;
    const Integer w = std::max(0, WndSize.cx), h = std::max(0, WndSize.cy);
    cache->SetSize(w, h);
    if (w == 0 || h == 0) {
        SkinData->BGChanged = false;
        return;
    }
    PaintControlSection(SkinData, ci, CurrentState(), cache, WndPos, TRect(0, 0, w, h), true);
    DrawCaption();
    DrawGlyph();
    if (!::IsWindowEnabled(CtrlHandle)) {
        // 40 % of what lies under the button shows through.
        if (ci.Ready && ci.Bmp != nullptr) {
            const Integer x = ci.X + WndPos.X, y = ci.Y + WndPos.Y;
            BlendTransBitmap(cache, 0, 0, ci.Bmp, TRect(x, y, x + w - 1, y + h - 1), 0.6,
                             static_cast<TColor>(0xFF00FF));
        } else {
            const TColor under = ci.FillColor != kNoColor ? ci.FillColor : SkinData->GetBGColor(0, ParentWnd);
            TintBitmap(cache, ColorToRGB(under), 0.6);
        }
    }
    cache->Modified = true;
    SkinData->BGChanged = false;
}

void TacBtnWnd::AC_WMPaint(TMessage& Message) {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    if (ScrollRepaintLocked && dc == nullptr && SkinData->PrintDC == nullptr) return;
    if (!ScrollRepaintLocked) SkinData->SetUpdating(SkinData->GetUpdating());
    if (SkinData->FUpdating) return;
    SkinData->BGChanged = true;
    PrepareCache();
    const bool ownDC = dc == nullptr;
    if (ownDC) dc = ::GetDC(CtrlHandle);
    if (dc == nullptr) return;
    ::BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (ownDC) ::ReleaseDC(CtrlHandle, dc);
}

void TacBtnWnd::acWndProc(TMessage& Message) {
    // Without an active skin the window paints itself.
    if (SkinData == nullptr || !SkinData->Skinned(true)) {
        TacMainWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    const bool visible = ::IsWindowVisible(CtrlHandle) != FALSE;
    if (msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_ENDPARENTUPDATE:
            EndParentUpdate();
            return;
        case AC_MOUSEENTER:
            if (!SkinData->FMouseAbove && DefaultManager != nullptr &&
                DefaultManager->ActiveControl() == CtrlHandle && CursorInWindow(CtrlHandle)) {
                SkinData->FMouseAbove = true;
                SkinData->BGChanged = true;
                SkinData->SetUpdating(false);
                Repaint();
                SkinData->UpdateGlow(false, CtrlHandle);
            }
            break;
        case AC_MOUSELEAVE:
            if (SkinData->FMouseAbove) {
                ClearGlows(false);
                SkinData->FMouseAbove = false;
                SkinData->SetUpdating(false);
                SkinData->BGChanged = true;
                Repaint();
            }
            break;
        default: break;
        }
        TacMainWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case WM_MOVE: {
        const TsGeneralData* section = SectionOfData(SkinData);
        const bool active = DefaultManager != nullptr && DefaultManager->ActiveControl() == CtrlHandle;
        if (section != nullptr && (section->Transparency > 0 || (section->HotTransparency > 0 && active))) {
            SkinData->BGChanged = true;
            Repaint();
        }
        break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (!::IsWindowEnabled(CtrlHandle)) break;
        {
            TRedrawOff off(CtrlHandle);
            TacMainWnd::acWndProc(Message);
        }
        if (Destroyed) return;
        SkinData->FFocused = msg == WM_SETFOCUS;
        SkinData->BGChanged = true;
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        return;
    case WM_ENABLE:
    case WM_SETTEXT:
        if (!visible) break;
        {
            TRedrawOff off(CtrlHandle);
            TacMainWnd::acWndProc(Message);
        }
        if (Destroyed) return;
        SkinData->BGChanged = true;
        Repaint();
        return;
    case BM_SETSTATE:
        if (!visible) break;
        {
            TRedrawOff off(CtrlHandle);
            CallPrevWndProc(Message);
        }
        SkinData->BGChanged = true;
        Repaint();
        return;
    case WM_PAINT:
        if (visible || (SkinData->CtrlSkinState & ACS_PRINTING) != 0) {
            if (!ParamsChanged) SetSkinParams();
            PAINTSTRUCT ps{};
            ::BeginPaint(CtrlHandle, &ps);
            AC_WMPaint(Message);
            ::EndPaint(CtrlHandle, &ps);
            Message.Result = 0;
            return;
        }
        break;
    case WM_PRINT: AC_WMPaint(Message); return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
    case WM_UPDATEUISTATE: Message.Result = 1; return;
    case WM_MOUSEHOVER: SendSkinCommand(CtrlHandle, AC_MOUSEENTER); break;
    case WM_MOUSELEAVE:
        if (DefaultManager != nullptr && DefaultManager->ActiveControl() == CtrlHandle)
            DefaultManager->SetActiveControl(nullptr);
        break;
    default: break;
    }
    TacMainWnd::acWndProc(Message);
    if (msg == WM_MOUSEMOVE && !Destroyed && DefaultManager != nullptr && !DefaultManager->HasState(csDesigning) &&
        ::IsWindowEnabled(CtrlHandle)) {
        if (CursorInWindow(CtrlHandle)) {
            if (DefaultManager->ActiveControl() != CtrlHandle) DefaultManager->SetActiveControl(CtrlHandle);
        } else if (DefaultManager->ActiveControl() == CtrlHandle) {
            DefaultManager->SetActiveControl(nullptr);
        }
    }
}

// ---- TacSizerWnd --------------------------------------------------------------------

void TacSizerWnd::AC_WMPaint(const TMessage& Message) {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    // A DC in wParam (WM_PRINT sent on as WM_PAINT) is painted into as it is.
    PAINTSTRUCT ps{};
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const bool bracket = dc == nullptr;
    if (bracket) dc = ::BeginPaint(CtrlHandle, &ps);
    TsSkinManager* manager = SkinData != nullptr ? SkinData->SkinManager() : nullptr;
    const Integer grip = manager != nullptr ? manager->ConstData().GripRightBottom : -1;
    const bool valid = grip >= 0 && static_cast<std::size_t>(grip) < manager->ma().size();
    const Integer w = WndSize.cx, h = WndSize.cy;
    if (dc != nullptr && valid && w > 0 && h > 0) {
        const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(grip)];
        std::unique_ptr<TBitmap, void (*)(TBitmap*)> bmp(CreateWorkBitmap(w, h), [](TBitmap* b) { b->Free(); });
        TBackgroundInfo info;
        info.R = TRect(0, 0, w, h);
        info.Offset = WndPos;
        info.DC = bmp->Canvas()->Handle();
        info.PleaseDraw = true;
        QueryWindowBackground(info, ParentWnd, true);
        // A colour answer that was not drawn is filled here.
        if (info.BgType == btFill) FillRect32(bmp.get(), TRect(0, 0, w, h), ColorToRGB(info.Color));
        TCacheInfo ci;
        ci.FillColor = info.BgType == btFill ? ColorToRGB(info.Color) : kNoColor;
        const TPoint at{std::max(0, w - MaskFrameWidth(mask)), std::max(0, h - MaskFrameHeight(mask))};
        DrawGlyphMask(bmp.get(), at, 0, ci, mask, 1);
        ::BitBlt(dc, 0, 0, w, h, bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    // Validated in every case: a window left invalid would be sent WM_PAINT
    // again and again.
    if (bracket) ::EndPaint(CtrlHandle, &ps);
}

void TacSizerWnd::acWndProc(TMessage& Message) {
    // Without an active skin the window paints itself.
    if (SkinData == nullptr || !SkinData->Skinned(true)) {
        TacMainWnd::acWndProc(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_PAINT:
        AC_WMPaint(Message);
        Message.Result = 0;
        return;
    case WM_ERASEBKGND:
    case WM_NCPAINT: Message.Result = 0; return;
    default: break;
    }
    TacMainWnd::acWndProc(Message);
    if (Message.Msg == WM_NCHITTEST && !Destroyed) {
        if (DefaultManager != nullptr && ::IsWindowEnabled(CtrlHandle)) DefaultManager->SetActiveControl(nullptr);
        Message.Result = HTBOTTOMRIGHT;
    }
}

// ---- registration -------------------------------------------------------------------

void acStaticWndInitialization() {
    RegisterAdapterClass<TacStaticWnd>(u"TacStaticWnd");
    RegisterAdapterClass<TacBtnWnd>(u"TacBtnWnd");
    RegisterAdapterClass<TacSizerWnd>(u"TacSizerWnd");
}
