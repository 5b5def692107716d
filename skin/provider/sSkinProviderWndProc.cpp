// The window procedure of a skinned form: the skin commands first (some are
// answered whatever the skin state), then either the unskinned path (a new
// skin prepares the form, everything else goes to the form's own procedure)
// or the skinned one, which paints and hit-tests the frame, keeps the cache,
// the region and the caption buttons in step with what the window does and
// swallows what the system would otherwise draw over the skinned frame. The
// frame's mouse buttons and the system commands are in
// sSkinProviderMouse.cpp. Win32, main thread only.
#include <algorithm>

#include "sSkinProvider.h"

#include "StdCtrls.h"
#include "WindowAttach.h"
#include "acDwm.h"
#include "acFormAnimTimers.h"
#include "acGlow.h"
#include "acLayered.h"
#include "sCommonDataWin.h"
#include "sFade.h"
#include "sMessages.h"
#include "sSectionPaint.h"
#include "sSkinMenus.h"
#include "sStyleSimply.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

#include <windowsx.h>

namespace {

const TsGeneralData* SectionAt(TsSkinManager* m, Integer Index) {
    return m && m->IsValidSkinIndex(Index) ? &m->gd()[static_cast<std::size_t>(Index)] : nullptr;
}

HDC BitmapDC(TBitmap* Bmp) { return Bmp->Canvas()->Handle(); }

const TsMaskData* MaskAt(TsSkinManager* m, Integer Index) {
    return m && m->IsValidImgIndex(Index) ? &m->ma()[static_cast<std::size_t>(Index)] : nullptr;
}

// Switches a window's drawing off for its lifetime (through the window's own
// procedure, so that the provider's lock count follows) and back on on every
// way out: WM_SETREDRAW stays balanced.
class RedrawOff {
public:
    RedrawOff(HWND Wnd, bool Active) : FWnd(Active ? Wnd : nullptr) {
        if (FWnd) ::SendMessageW(FWnd, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawOff() { Resume(); }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;
    bool Active() const { return FWnd != nullptr; }
    void Resume() {
        if (FWnd && ::IsWindow(FWnd)) ::SendMessageW(FWnd, WM_SETREDRAW, TRUE, 0);
        FWnd = nullptr;
    }

private:
    HWND FWnd;
};

// The caption cover form over the title for its lifetime.
// A provider freed meanwhile (its form went inside the covered message) is
// left alone.
class CaptionCover {
public:
    CaptionCover(TsSkinProvider* Provider, bool Active) : FProvider(Active ? Provider : nullptr) {
        if (FProvider) {
            FAlive = FProvider->Liveness();
            FProvider->ShowCaptionCover(false);
        }
    }
    ~CaptionCover() { Remove(); }
    CaptionCover(const CaptionCover&) = delete;
    CaptionCover& operator=(const CaptionCover&) = delete;
    void Remove() {
        if (FProvider && FAlive.Alive()) FProvider->HideCaptionCover();
        FProvider = nullptr;
    }

private:
    TsSkinProvider* FProvider;
    TLiveness FAlive;
};

// A skin sent by the editor is being applied (WM_COPYDATA re-entry guard).
bool gApplyingEditorSkin = false;

// The longest the provider waits, when the session ends, for running
// animations to finish.
constexpr DWORD kEndSessionWaitMs = 2000;

}  // namespace

void TsSkinProvider::StopButtonFades() {
    for (TsCaptionButton* b : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) FreeBtnAnimation(*b);
    if (FTitleButtons)
        for (Integer i = 0; i < FTitleButtons->Count(); ++i) FreeBtnAnimation(FTitleButtons->Items(i)->BtnData);
}

void TsSkinProvider::UpdateExBordersPos(bool Redraw, Byte Blend) {
    // The border window follows the form once it exists; until then no form
    // has one and there is nothing to move.
    (void)Redraw;
    (void)Blend;
}

// ---- skin commands -----------------------------------------------------------------------------

void TsSkinProvider::SkinCommandStage1(TMessage& Message, bool& Done) {
    Done = true;
    const Word command = SkinCommandOf(Message.WParam);
    TsSkinManager* m = Manager();
    switch (command) {
    case AC_SETNEWSKIN:
        if (Form && !Form->HasState(csDestroying) && OwnManager(Message.LParam) && !SystemMenu) PrepareForm();
        break;
    case AC_REMOVESKIN:
        if (OwnManager(Message.LParam)) {
            if (HWND wnd = FormWnd(Form)) SetDwmTransitionsDisabled(wnd, false);
            HandleSkinCommand(Message, FCommonData);
            FLinesCount = FTitleSkinIndex = FCaptionSkinIndex = -1;
            PassMessageToChildControls(Form, Message);
            DoneCtrlAdapter();
            if (!Form || Form->HasState(csDestroying)) return;
            HWND wnd = FormWnd(Form);
            if (m) {
                InitMenuItems(false);
                UpdateSysMenuStyle(false);
                if (HaveBorder() && !InMenu && wnd) ::SetWindowRgn(wnd, nullptr, TRUE);
                UpdateMenu();
                UpdateBorderForm(false);
            }
            // Labels drawn over the skinned background go back to the
            // system's colours and paint their own background again.
            for (Integer i = 0; i < Form->ControlCount(); ++i)
                if (auto* label = dynamic_cast<TLabel*>(Form->Controls(i))) {
                    label->Font()->SetColor(clWindowText);
                    if (!label->Transparent()) label->SetControlStyle(label->ControlStyle() | csOpaque);
                }
            if (FUseGlobalColor && !FCommonData->CustomColor()) Form->SetColor(clBtnFace);
            if (FCommonData->FCacheBmp) FCommonData->FCacheBmp->SetSize(0, 0);
            ArOR.clear();
            if (wnd)
                ::RedrawWindow(wnd, nullptr, nullptr,
                               RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        } else {
            PassMessageToChildControls(Form, Message);
        }
        return;
    case AC_CTRLHANDLED: Message.Result = 1; return;
    case AC_ENDUPDATE:
        if (FCommonData->CtrlSkinState & ACS_MENUCHANGED) {
            FCommonData->CtrlSkinState &= static_cast<Word>(~ACS_MENUCHANGED);
            if (Form) Form->Perform(CM_MENUCHANGED, 0, 0);
        }
        break;
    case AC_GETBG:
        if (auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam); info) {
            info->Offset = TPoint(0, 0);
            if (FCommonData->BGChanged && (!FCommonData->Updating() || FInAnimation) && FCommonData->NeedsParentBG())
                PaintNonClientCache();
            if (info->PleaseDraw) info->Offset = TPoint(info->Offset.X + OffsetX(), info->Offset.Y + OffsetY());
            Integer state = FormActive ? 1 : 0;
            if (const TsGeneralData* s = SectionAt(m, FCommonData->SkinIndex)) state = std::min(state, s->States - 1);
            FCommonData->GetBGInfo(*info, std::max(state, 0), FormWnd(Form));
            if (info->BgType == btCache && !info->PleaseDraw && !info->Bmp) {
                PaintNonClientCache();
                info->Bmp = FCommonData->FCacheBmp;
            }
            info->Offset = TPoint(info->Offset.X + OffsetX(), info->Offset.Y + OffsetY());
            Message.Result = 1;
        }
        return;
    case AC_CTRLSKINSTATE: Message.Result = FCommonData->CtrlSkinState; return;
    case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return;
    case 61: Message.Result = MAKELONG(OffsetX(), OffsetY()); return;
    default: break;
    }
    Done = false;
}

void TsSkinProvider::SkinCommandUnskinned(TMessage& Message) {
    const Word command = SkinCommandOf(Message.WParam);
    TsSkinManager* m = Manager();
    if (command == AC_SETNEWSKIN && OwnManager(Message.LParam) && Form && !Form->HasState(csDestroying)) {
        KillAnimations();
        ClearMenuInfos();
        FCommonData->UpdateIndexes();
        FTitleSkinIndex = -1;
        TitleSkinIndex();
        if (m) {
            FCaptionSkinIndex = m->GetSkinIndex(u"CAPTION");
            if (const TsSkinData* d = m->SkinData()) {
                const Integer ex = d->ExMaxHeight != 0 ? d->ExMaxHeight : d->ExTitleHeight;
                FSysExHeight = BorderForm && IsZoomed() && ex < SysCaptionHeight(Form) + 4;
            }
            UpdateSysMenuStyle(true);
            InitButtons();
            if (!m->HasState(csLoading)) {
                if (FMenuOwnerDraw && MenuPresent()) MenusInitialized = true;
                InitMenuItems(true);
                if (!MenusInitialized) MenusInitialized = UpdateMenu();
            }
            FCommonData->BGChanged = true;
            FLinesCount = -1;
            ApplyGlobalColor();
            if (HWND wnd = FormWnd(Form); wnd && FDrawNonClientArea) SetDwmTransitionsDisabled(wnd, true);
        }
        InitCtrlAdapter();
        return;
    }
    if (command == AC_GETPROVIDER) {
        Message.Result = reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(this));
        return;
    }
    PassOn(Message);
}

void TsSkinProvider::SkinCommandSkinned(TMessage& Message) {
    const Word command = SkinCommandOf(Message.WParam);
    TsSkinManager* m = Manager();
    HWND wnd = FormWnd(Form);
    switch (command) {
    case AC_SETNEWSKIN:
        if (OwnManager(Message.LParam)) {
            ClearMenuInfos();
            HandleSkinCommand(Message, FCommonData);
            FTitleSkinIndex = -1;
            TitleSkinIndex();
            FCaptionSkinIndex = m ? m->GetSkinIndex(u"CAPTION") : -1;
            if (m) {
                InitButtons();
                UpdateSysMenuStyle(FDrawNonClientArea);
                FCommonData->BGChanged = true;
                FLinesCount = -1;
                FreeGlows();
                RefreshFrame();
            }
        }
        return;
    case AC_REFRESH:
        if (OwnManager(Message.LParam)) {
            HandleSkinCommand(Message, FCommonData);
            InitCtrlAdapter();
            if (FDrawNonClientArea) UpdateScrollAdapter();
            // A form placed in another control paints over its parent's image.
            if (Form->Parent()) FCommonData->CtrlSkinState &= static_cast<Word>(~ACS_PLAINBG);
            FLinesCount = -1;
            if (m && !m->HasState(csLoading)) {
                UpdateMenu();
                InitMenuItems(Skinned());
            }
            if (HaveBorder()) RgnChanged = true;
            if (wnd && ::IsWindowVisible(wnd)) {
                FCommonData->BGChanged = true;
                if (m) UpdateBorderForm(m->ExtendedBorders());
                if (!acAnimationSwitch && !FInAnimation)
                    ::RedrawWindow(wnd, nullptr, nullptr,
                                   RDW_FRAME | RDW_UPDATENOW | RDW_NOCHILDREN | RDW_ERASE | RDW_INVALIDATE);
            }
            ApplyGlobalColor();
            FCommonData->FUpdating = false;
            if (SystemMenu) SystemMenu->UpdateGlyphs();
            AdapterWndProc(Message);
            UpdateExBordersPos(true, 255);
        }
        return;
    case AC_GETPROVIDER: Message.Result = reinterpret_cast<LRESULT>(static_cast<TacFormProvider*>(this)); return;
    case AC_ENDPARENTUPDATE:
        if (FCommonData->FUpdating) {
            FCommonData->FUpdating = false;
            if (wnd) ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        }
        return;
    case AC_SETUPDATING:
        FCommonData->FUpdating = (Message.WParam & 0xFFFF) == 1;
        if (FCommonData->FUpdating) FCommonData->BGChanged = true;
        return;
    case AC_SETBGCHANGED: FCommonData->BGChanged = true; return;
    case AC_URGENTPAINT:
        HandleCommonMessage(Message, FCommonData);
        if (FCommonData->UrgentPainting) PaintNonClientCache();
        return;
    case AC_ISBGCHANGED:
        Message.Result = !FInAnimation && FCommonData->NeedsParentBG() && FCommonData->FUpdating ? 1 : 0;
        return;
    case AC_MUSTBEREPAINTED: {
        const TsGeneralData* s = SectionAt(m, FCommonData->SkinIndex);
        Message.Result = s && s->GradientPercent + s->ImagePercent > 0 ? 1 : 0;
        Message.LParam = Message.Result;
        return;
    }
    case AC_GETCONTROLCOLOR: Message.Result = static_cast<LRESULT>(FCommonData->GetBGColor(0, wnd)); return;
    case AC_CONTROLLOADED:
        if (Form && !Form->HasState(csLoading)) InitCtrlAdapter();
        return;
    case AC_MOUSELEAVE:
        // A caption button held with the capture stays pressed until the
        // button is released.
        if (PressedHT != 0 && wnd && ::GetCapture() == wnd) return;
        SetHotHT(0, true);
        acBtnPressed = false;
        return;
    case AC_BEFORESCROLL:
        if (wnd && FCommonData->RepaintIfMoved()) ::SendMessageW(wnd, WM_SETREDRAW, FALSE, 0);
        return;
    case AC_AFTERSCROLL:
        if (wnd && FCommonData->RepaintIfMoved()) {
            ::SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
            ::RedrawWindow(wnd, nullptr, nullptr,
                           RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
        }
        return;
    default: return;
    }
}

void TsSkinProvider::SkinCommand(TMessage& Message) {
    bool done = false;
    SkinCommandStage1(Message, done);
    if (done) return;
    if (!Form || Form->HasState(csDestroying) || !Skinned())
        SkinCommandUnskinned(Message);
    else
        SkinCommandSkinned(Message);
}

// ---- frame painting and activation ---------------------------------------------------------------

void TsSkinProvider::HandleNCActivate(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!wnd || Form->HasState(csDestroying) || !FDrawNonClientArea) {
        PassOn(Message);
        return;
    }
    if (!SystemMenu) PrepareForm();
    FormState |= FS_ACTIVATE;
    const bool active = Message.WParam != 0;
    const bool changed = FormActive != active;
    if ((FormState & FS_BLENDMOVING) == 0) FormActive = active;
    if (FormActive || ShowAction != TShowAction::saMaximize) {
        if (ShowAction == TShowAction::saMaximize) {
            FCommonData->FUpdating = BorderForm == nullptr;
        } else {
            FCommonData->BGChanged = true;
            FCommonData->FUpdating = false;
        }
    } else {
        ShowAction = TShowAction::saIgnore;
    }
    const bool visible = Form->Showing() && ::IsWindowVisible(wnd);
    if (visible && changed) FCommonData->BGChanged = true;

    const bool composition = IsAeroEnabled();
    bool stopRedraw = false, cover = false;
    if (visible) {
        if (composition) {
            TCustomForm* main = Application ? Application->MainForm() : nullptr;
            const bool mainMinimized = main && main != Form && main->HandleAllocated() && ::IsIconic(main->Handle());
            stopRedraw = BorderForm == nullptr && !mainMinimized;
        } else if (FInAnimation || RTInit) {
            stopRedraw = true;
        } else {
            cover = (BorderForm == nullptr || MenuPresent()) && !Form->OnPaint;
        }
    }
    {
        RedrawOff redraw(wnd, stopRedraw);
        CaptionCover captionCover(this, cover);
        const TLiveness alive = Liveness();
        PassOn(Message);
        if (!alive.Alive()) return;
        redraw.Resume();
        if (stopRedraw && composition)
            ::RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_INVALIDATE);
        else if (stopRedraw && RTInit)
            ::RedrawWindow(wnd, nullptr, nullptr, RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
        // The frame is painted while the cover still hides whatever the
        // system drew, then the cover goes.
        if (cover && !FormTimer) RefreshFrame();
    }
    if ((::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0 && !FormTimer) RefreshFrame();
    if ((Form->ControlState() & csCreating) == 0) {
        if (HaveBorder() && (FormState & FS_BLENDMOVING) == 0) FormActive = active;
        FLinesCount = -1;
    }
    FormState &= ~FS_ACTIVATE;
    if (!FormTimer) {
        if (::IsWindowVisible(wnd)) RefreshFrame();
        UpdateExBordersPos(true, 255);
    }
    TsSkinManager* m = Manager();
    if (m && !m->HasState(csDesigning)) InitMenuItems(true);
    if (!MenusInitialized) MenusInitialized = UpdateMenu();
    if (!Adapter && Skinned()) InitCtrlAdapter();
}

void TsSkinProvider::HandleNCPaintMessage(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!SystemMenu) PrepareForm();
    if (FDrawNonClientArea && ((FCommonData->CtrlSkinState & (ACS_LOCKED | ACS_MENUCHANGED)) != 0 ||
                               (FormState & FS_ANIMCLOSING) != 0))
        return;
    if (Form->Parent()) {
        FCommonData->FUpdating = FCommonData->GetUpdating();
        if (FCommonData->FUpdating) return;
    }
    if (!FDrawNonClientArea) {
        PassOn(Message);
        return;
    }
    if (IsIconic()) FCommonData->BGChanged = true;
    if (FInAnimation || !Form->Showing() || HasState(csLoading) || Form->HasState(csLoading) ||
        (Form->ControlState() & csDestroyingHandle) != 0 || !SystemMenu || !wnd) {
        Message.Result = 0;
        return;
    }
    if (!Adapter) InitCtrlAdapter();
    TsSkinManager* m = Manager();
    if (!FCommonData->FCacheBmp && m) UpdateBorderForm(m->ExtendedBorders());
    HandleNCPaint();
    Message.Result = 0;
}

void TsSkinProvider::HandlePrint(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    Message.Result = 0;
    if (!wnd || HasState(csLoading) || Form->HasState(csLoading | csDestroying) ||
        (Form->ControlState() & csCreating) != 0)
        return;
    SetDwmTransitionsDisabled(wnd, true);
    if (!MenusInitialized) MenusInitialized = UpdateMenu();
    auto dc = reinterpret_cast<HDC>(Message.WParam);
    if (!dc) return;
    FCommonData->PrintDC = dc;
    FCommonData->FUpdating = false;
    if (FDrawNonClientArea) {
        if (HasThickFrame(wnd) && !HaveBorder()) {
            // A borderless sizable form: only the frame strips of the cache.
            if (FCommonData->BGChanged) PaintNonClientCache();
            if (TBitmap* cache = FCommonData->FCacheBmp; cache && !cache->Empty()) {
                const Integer w = BorderWidth(true) + 3, cw = cache->Width(), ch = cache->Height();
                const HDC src = BitmapDC(cache);
                ::BitBlt(dc, 0, 0, cw, w, src, 0, 0, SRCCOPY);
                ::BitBlt(dc, 0, ch - w, cw, w, src, 0, ch - w, SRCCOPY);
                ::BitBlt(dc, 0, w, w, ch - 2 * w, src, 0, w, SRCCOPY);
                ::BitBlt(dc, cw - w, w, w, ch - 2 * w, src, cw - w, w, SRCCOPY);
            }
        } else {
            CopyNonClientToDC(dc);
        }
    }
    const int saved = ::SaveDC(dc);
    POINT origin{};
    ::GetViewportOrgEx(dc, &origin);
    ::SetViewportOrgEx(dc, origin.x + OffsetX(), origin.y + OffsetY(), nullptr);
    ::IntersectClipRect(dc, 0, 0, HwndClientWidth(wnd), HwndClientHeight(wnd));
    if ((FCommonData->CtrlSkinState & ACS_PLAINBG) != 0) {
        ExcludeGraphicChildren(dc, Form, 0, 0);
        PaintFormBackground(dc, true);
        // The windowed children paint themselves into the picture too.
        for (int i = 0; i < Form->ControlCount(); ++i) {
            auto* child = dynamic_cast<TWinControl*>(Form->Controls(i));
            if (child && child->Visible() && child->HandleAllocated())
                child->PaintTo(dc, child->Left(), child->Top(), true);
        }
    } else {
        PaintFormBackground(dc, false);
    }
    ::RestoreDC(dc, saved);
    FCommonData->PrintDC = nullptr;
    if (Form->OnPaint) {
        // The form draws over the picture with its canvas bound to the DC.
        TCanvas* canvas = Form->Canvas();
        canvas->Lock();
        const HDC old = canvas->Handle();
        const int s2 = ::SaveDC(dc);
        ::SetViewportOrgEx(dc, origin.x + OffsetX(), origin.y + OffsetY(), nullptr);
        canvas->SetHandle(dc);
        Form->OnPaint(Form);
        canvas->SetHandle(old);
        ::RestoreDC(dc, s2);
        canvas->Unlock();
    }
}

void TsSkinProvider::HandleEraseBkgndMessage(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!Form->Showing() || !wnd) {
        PassOn(Message);
        return;
    }
    Message.Result = 1;
    if ((FCommonData->CtrlSkinState & ACS_LOCKED) != 0 || FCommonData->FUpdating) return;
    auto dc = reinterpret_cast<HDC>(Message.WParam);
    if ((Form->ControlState() & csPaintCopy) != 0 || Message.WParam == static_cast<WPARAM>(Message.LParam)) {
        if (dc && !FCommonData->BGChanged) {
            const Integer w = HwndClientWidth(wnd), h = HwndClientHeight(wnd);
            if (FCommonData->NeedsParentBG() && FCommonData->FCacheBmp)
                ::BitBlt(dc, 0, 0, w, h, BitmapDC(FCommonData->FCacheBmp), OffsetX(), OffsetY(), SRCCOPY);
            else
                FillSolidRect(dc, TRect(0, 0, w, h), FCommonData->GetBGColor(0, wnd));
        }
        return;
    }
    if (FCommonData->NeedsParentBG() && !IsMDIForm()) {
        if (dc && FCommonData->FCacheBmp && !FCommonData->BGChanged) {
            const Integer w = HwndClientWidth(wnd), h = HwndClientHeight(wnd);
            CopyCacheExcludingControls(Form, FCommonData, Bounds(OffsetX(), OffsetY(), w, h), TRect(0, 0, w, h), dc);
        }
        RefreshChildControls(Form);
        return;
    }
    HandleEraseBkgnd(dc);
}

void TsSkinProvider::HandlePaintMessage(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if ((Form->ControlState() & csPaintCopy) != 0 || !wnd) return;
    UpdateExBordersPos(false, 255);
    if (FCommonData->NeedsParentBG()) {
        if (Form->Showing()) HandlePaint(Message);
        Message.Result = 0;
    } else if (Form->Showing()) {
        if (FCommonData->BGChanged && !Form->HasState(csDestroying)) ::InvalidateRect(wnd, nullptr, TRUE);
        PAINTSTRUCT ps{};
        ::BeginPaint(wnd, &ps);
        ::EndPaint(wnd, &ps);
        Message.Result = 0;
    } else {
        PassOn(Message);
        return;
    }
    // The form's own drawing goes over the skinned background.
    if (!FInAnimation && Form->OnPaint) {
        TCanvas* canvas = Form->Canvas();
        canvas->Lock();
        const HDC old = canvas->Handle();
        HDC dc = ::GetDC(wnd);
        canvas->SetHandle(dc);
        Form->OnPaint(Form);
        canvas->SetHandle(old);
        ::ReleaseDC(wnd, dc);
        canvas->Unlock();
    }
}

// ---- size, position and text ------------------------------------------------------------------

void TsSkinProvider::HandleSize(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (FCommonData->FUpdating || !wnd) {
        FCommonData->BGChanged = true;
        PassOn(Message);
        return;
    }
    TsSkinManager* m = Manager();
    const TRect last = LastClientRect;
    const Integer cw = LOWORD(Message.LParam), ch = HIWORD(Message.LParam);
    const bool grew = cw > last.Width() || ch > last.Height();
    const bool shrank = cw < last.Width() || ch < last.Height();
    const bool needsBG = FCommonData->NeedsParentBG();
    auto invalidate = [wnd](Integer L, Integer T, Integer W, Integer H, bool Erase) {
        RECT r{L, T, L + W, T + H};
        ::InvalidateRect(wnd, &r, Erase ? TRUE : FALSE);
    };
    // The size grip moves with the corner: where it was and where it goes
    // are painted again.
    if (IsGripVisible() && m) {
        if (const TsMaskData* grip = MaskAt(m, m->GetMaskIndex(u"GLOBALINFO", u"GRIPIMAGE"))) {
            const Integer w = MaskFrameWidth(*grip), h = MaskFrameHeight(*grip);
            if (grew && !last.IsEmpty() && !needsBG) invalidate(last.Right - w, last.Bottom - h, w, h, false);
            if (shrank) invalidate(cw - w, ch - h, w, h, !needsBG);
        }
    }
    if ((shrank || last.IsEmpty()) && m) {
        for (const char16_t* name : {u"IMGTOPRIGHT", u"IMGBTMRIGHT"})
            if (const TsMaskData* img =
                    MaskAt(m, m->GetMaskIndex(FCommonData->SkinIndex, FCommonData->SkinSection(), name)))
                invalidate(last.Right - MaskFrameWidth(*img), last.Bottom - MaskFrameHeight(*img),
                           MaskFrameWidth(*img), MaskFrameHeight(*img), true);
    }
    FreeGlows();
    FLinesCount = -1;
    // The form's resize handlers may free it.
    const TLiveness alive = Liveness();
    if (!Form->Parent()) {
        // Children sized with the form wait for the form's painting.
        const bool was = FCommonData->FUpdating;
        FCommonData->FUpdating = true;
        PassOn(Message);
        if (!alive.Alive()) return;
        FCommonData->FUpdating = was;
    } else {
        PassOn(Message);
        if (!alive.Alive()) return;
    }
    if (!acAnimationSwitch && !FInAnimation) {
        if (Form->Showing()) {
            if (CacheSizeChanged() && !(IsIconic() && IsAeroEnabled())) {
                RgnChanged = true;
                FCommonData->BGChanged = true;
                if (FDrawNonClientArea) {
                    if (BorderForm) {
                        UpdateExBordersPos(true, 255);
                        SetFormRgn(false);
                    } else {
                        RefreshFrame();
                    }
                    const TsGeneralData* s = SectionAt(m, FCommonData->SkinIndex);
                    if (s && s->GradientPercent > 0 && (cw != last.Width() || ch != last.Height())) {
                        TMessage changed{SkinCommandMessage, MakeSkinWParam(AC_SETCHANGEDIFNECESSARY, 1), 0, 0};
                        PassMessageToChildControls(Form, changed);
                    }
                    ::RedrawWindow(wnd, nullptr, nullptr, RDW_NOFRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
                    RefreshChildControls(Form);
                } else if (needsBG && FCommonData->FCacheBmp &&
                           (FCommonData->FCacheBmp->Width() > Form->Width() ||
                            FCommonData->FCacheBmp->Height() > Form->Height())) {
                    ::InvalidateRect(wnd, nullptr, FALSE);
                }
            }
        } else {
            FCommonData->BGChanged = true;
        }
    }
    LastClientRect = TRect(0, 0, HwndClientWidth(wnd), HwndClientHeight(wnd));
}

void TsSkinProvider::HandleSetText(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!wnd || !Form->Showing() || (Form->ControlState() & csCreating) != 0 || !FDrawNonClientArea) {
        PassOn(Message);
        return;
    }
    FreeGlows();
    const TLiveness alive = Liveness();
    if (IsAeroEnabled()) {
        {
            RedrawOff redraw(wnd, BorderForm == nullptr);
            PassOn(Message);
        }
        if (!alive.Alive()) return;
        if (BorderForm == nullptr) {
            FCommonData->BGChanged = true;
            ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        }
        RefreshFrame();
    } else {
        FCommonData->BGChanged = true;
        {
            // The system writes its own caption: the cover hides it until the
            // skinned title with the new text is on the window.
            CaptionCover cover(this, true);
            PassOn(Message);
            if (!alive.Alive()) return;
            if (LockCount == 0) RefreshFrame();
        }
        if (Form->AlphaBlend()) ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
    }
    UpdateExBordersPos(true, 255);
}

void TsSkinProvider::HandleWindowPosChanging(TMessage& Message) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
    HWND wnd = FormWnd(Form);
    if (!pos || !wnd || RgnChanging || HasState(csLoading) || Form->HasState(csLoading)) {
        PassOn(Message);
        return;
    }
    if (!IsZoomed() && (pos->flags & SWP_NOMOVE) == 0 && (pos->x != 0 || pos->y != 0)) {
        RECT wr{};
        ::GetWindowRect(wnd, &wr);
        const Integer width = (pos->flags & SWP_NOSIZE) == 0 ? pos->cx : wr.right - wr.left;
        const Integer height = (pos->flags & SWP_NOSIZE) == 0 ? pos->cy : wr.bottom - wr.top;
        if (FScreenSnap && Form->Showing()) {
            const TRect work = GetFormWorkArea(Form);
            TsSkinManager* m = Manager();
            const Integer shadow = m && m->SkinData() ? m->SkinData()->ExShadowOffs : 0;
            const Integer o = BorderForm ? ExtBorderDiff(BorderForm) + shadow : 0;
            const Integer t = BorderForm ? ExtTitleDiff(BorderForm) + shadow : 0;
            Integer x = pos->x, y = pos->y;
            // The right and bottom edges first, so that the left and top win.
            SnapCoordinate(x, work.Right, FSnapBuffer, width + o);
            SnapCoordinate(y, work.Bottom, FSnapBuffer, height + o);
            SnapCoordinate(x, work.Left, FSnapBuffer, -o);
            SnapCoordinate(y, work.Top, FSnapBuffer, -t);
            pos->x = x;
            pos->y = y;
        }
        if ((FormState & (FS_FULLHEIGHT | FS_FULLWIDTH)) != 0) {
            // A form stretched to the work area by its border window takes
            // its own size back on both axes when it is moved; a coordinate
            // the move leaves alone goes back to where it was.
            if ((FormState & FS_FULLHEIGHT) != 0) {
                if (pos->y == wr.top) pos->y = NormalBounds.Top;
                pos->cy = NormalBounds.Bottom;   // the saved height
            } else {
                pos->cy = height;
            }
            if ((FormState & FS_FULLWIDTH) != 0) {
                if (pos->x == wr.left) pos->x = NormalBounds.Left;
                pos->cx = NormalBounds.Right;    // the saved width
            } else {
                pos->cx = width;
            }
            pos->flags &= ~static_cast<UINT>(SWP_NOSIZE);
            FormState &= ~(FS_FULLHEIGHT | FS_FULLWIDTH);
        }
        PassOn(Message);
        Message.Result = 0;
        return;
    }
    if (BorderForm && (pos->flags & SWP_NOCOPYBITS) != 0 && (pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) == 0 &&
        pos->cx != 0 && pos->cy != 0 && (pos->cx < LastClientRect.Right || pos->cy < LastClientRect.Bottom)) {
        FormState |= FS_SIZING;
        UpdateExBordersPos(false, 255);
        FormState &= ~FS_SIZING;
    }
    PassOn(Message);
}

void TsSkinProvider::HandleWindowPosChanged(TMessage& Message) {
    TsSkinManager* m = Manager();
    if (m && LayeredWindowsAvailable() && FDrawNonClientArea && m->SkinData()) {
        const TsSkinData* d = m->SkinData();
        const Integer ex = d->ExMaxHeight != 0 ? d->ExMaxHeight : d->ExTitleHeight;
        FSysExHeight = BorderForm && IsZoomed() && ex < SysCaptionHeight(Form) + 4;
    }
    const TLiveness alive = Liveness();
    PassOn(Message);
    if (!alive.Alive()) return;
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    HWND wnd = FormWnd(Form);
    if (!pos || !wnd) return;
    if (!FInAnimation && BorderForm && ::IsWindowVisible(wnd) && !IsIconic() &&
        (pos->flags & (SWP_NOREDRAW | SWP_FRAMECHANGED)) == 0 && (FormState & FS_BLENDMOVING) == 0)
        UpdateExBordersPos(false, 255);
    // A new size needs a new cache and region before the next painting.
    if ((pos->flags & SWP_NOSIZE) == 0 && FDrawNonClientArea && Form->Showing() && CacheSizeChanged()) {
        RgnChanged = true;
        FCommonData->BGChanged = true;
    }
}

void TsSkinProvider::HandleShowingChanged(TMessage& Message) {
    HWND wnd = FormWnd(Form);
    if (!FDrawNonClientArea) {
        const bool composition = IsAeroEnabled();
        if (composition && wnd) ::SendMessageW(wnd, WM_SETREDRAW, TRUE, 0);
        PassOn(Message);
        FCommonData->FUpdating = false;
        if (composition && wnd)
            ::RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_INVALIDATE);
        return;
    }
    TsSkinManager* m = Manager();
    if (Form->Showing()) {
        FormState &= ~FS_ANIMCLOSING;
        if (dynamic_cast<TacMinTimer*>(FormTimer)) FreeAndNil(FormTimer);
        if (PreviewMode && wnd) {
            TCustomForm* main = Application ? Application->MainForm() : nullptr;
            if (!main || main == Form) LinkToSkinEditor(wnd);
        }
        InitMenuItems(true);
        InitCtrlAdapter();
        // The form appears at once: the show animation of the engine is not
        // part of it.
        FCommonData->FUpdating = false;
        if (m) UpdateBorderForm(m->ExtendedBorders());
        const TLiveness alive = Liveness();
        PassOn(Message);
        if (!alive.Alive()) return;
        UpdateScrollAdapter();
        if (wnd) ::RedrawWindow(wnd, nullptr, nullptr, RDW_ALLCHILDREN | RDW_INVALIDATE);
        return;
    }
    UpdateBorderForm(false);
    PassOn(Message);
}

// ---- other messages ------------------------------------------------------------------------------

void TsSkinProvider::HandleNCHitTest(TMessage& Message) {
    if (!(FDrawNonClientArea && CaptionHeight(true) != 0)) {
        PassOn(Message);
        return;
    }
    const Integer code = HitTest(Message);
    // The system answers the codes it knows as well as the skinned frame:
    // the edges and the top corners; the bottom corners (and the grip) are
    // the frame's own.
    if (code == HTNOWHERE || code == HTCLIENT || code == HTCAPTION || code == HTMENU ||
        (code >= HTLEFT && code <= HTBOTTOM)) {
        PassOn(Message);
        return;
    }
    Message.Result = code;
}

void TsSkinProvider::HandleQueryEndSession(TMessage& Message) {
    acSessionEnding = true;
    if (Application && !Application->Terminated()) {
        // Running animations get their last steps, but the session does
        // not wait for them longer than a moment.
        // The form may go while the queue is served.
        const TLiveness alive = Liveness();
        const DWORD start = ::GetTickCount();
        while (LivingFadeTimers() > 0 && ::GetTickCount() - start < kEndSessionWaitMs) {
            Application->ProcessMessages();
            if (!alive.Alive()) return;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    PassOn(Message);
}

void TsSkinProvider::HandleClose(TMessage& Message) {
    // The hide animation takes its picture of the form here once the
    // engine's form animations exist; until then closing is the form's own.
    PassOn(Message);
}

void TsSkinProvider::HandleNCRButtonUp(TMessage& Message) {
    if (!HaveBorder()) {
        PassOn(Message);
        return;
    }
    const Integer code = HitTest(Message);
    if (code == HTCAPTION || code == HTSYSMENU) {
        SetHotHT(0, true);
        DropSysMenu(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
    }
    Message.Result = 0;
}

// ---- the window procedure -------------------------------------------------------------------------

void TsSkinProvider::NewWndProc(TMessage& Message) {
    // Counted on the dispatch stack, not in the provider: a handler may free
    // the form, and the provider with it.
    const TLiveness alive = Liveness();
    TDispatchScope dispatch(this);

    if (Message.Msg == SkinCommandMessage) {
        // An address that this thread did not send goes nowhere, the form included.
        if (MayActOnSkinCommand(Message)) SkinCommand(Message);
        return;
    }
    if (!Form) return;
    // An outline drag lives only while the form holds the mouse, skinned or
    // not: anyone else taking the capture, or a cancel, ends it in place.
    if (FrameDragOwner() == this &&
        ((Message.Msg == WM_CAPTURECHANGED && reinterpret_cast<HWND>(Message.LParam) != FormWnd(Form)) ||
         Message.Msg == WM_CANCELMODE))
        CancelFrameDrag();
    switch (Message.Msg) {
    case acEditorMessage:
        if (Message.WParam == acEditorClosePreview) {
            // Only the form announced to the editor may be closed by it.
            if (PreviewHandle && FormWnd(Form) == PreviewHandle) Form->Close();
            return;
        }
        if (Message.WParam == 4) {
            Message.Result = 1;
            return;
        }
        PassOn(Message);
        return;
    case WM_COPYDATA: {
        // The form answers first; a skin from the editor is taken only by
        // the window announced to it, and not while one is being applied.
        const TLiveness alive = Liveness();
        PassOn(Message);
        if (!alive.Alive() || Message.Result != 0 || !Message.LParam || !PreviewHandle || !Form ||
            FormWnd(Form) != PreviewHandle || gApplyingEditorSkin)
            return;
        if (TsSkinManager* m = Manager()) {
            gApplyingEditorSkin = true;
            struct Leave {
                ~Leave() { gApplyingEditorSkin = false; }
            } leave;
            m->WMCopyData(Message);
        }
        return;
    }
    case CM_RECREATEWND:
        PassOn(Message);
        if (alive.Alive() && Form->HandleAllocated()) LinkToSkinEditor(Form->Handle());
        return;
    default: break;
    }

    if (RTInit && (Message.Msg == WM_NCHITTEST || Message.Msg == WM_NCPAINT || Message.Msg == CM_VISIBLECHANGED)) {
        RTInit = false;
        LoadInit();
    }

    if (Form->HasState(csDestroying) || !Skinned()) {
        if (Message.Msg == CM_MOUSEWHEEL) {
            HandleMouseWheel(Message);
            return;
        }
        if (Message.Msg == CM_SHOWINGCHANGED) {
            PassOn(Message);
            if (alive.Alive() && Form->Showing() && Form->HandleAllocated()) LinkToSkinEditor(Form->Handle());
            return;
        }
        PassOn(Message);
        return;
    }

    HWND wnd = FormWnd(Form);
    TsSkinManager* m = Manager();
    switch (Message.Msg) {
    case WM_CREATE:
        PassOn(Message);
        if (alive.Alive()) PrepareForm();
        return;
    case WM_NCCREATE:
        PassOn(Message);
        if (alive.Alive()) PrepareForm();
        return;
    case WM_MOVE:
        // Only the buttons' fades: a blend on moving runs through the move.
        StopButtonFades();
        ClearGlows(false);
        PassOn(Message);
        return;
    case WM_SIZE: HandleSize(Message); return;
    case WM_ACTIVATE:
        PassOn(Message);
        if (!alive.Alive() || !Form->Showing()) return;
        if (FDrawNonClientArea) UpdateScrollAdapter();
        if ((Form->ControlState() & csCreating) == 0) {
            FLinesCount = -1;
            if (LOWORD(Message.WParam) != WA_INACTIVE) {
                if (m && !m->HasState(csDesigning)) InitMenuItems(true);
                if (SystemMenu) SystemMenu->UpdateItems();
                if (Form->BorderStyle == TFormBorderStyle::bsNone) RefreshChildControls(Form);
            }
        }
        return;
    case WM_SETREDRAW:
        if (Message.WParam == 1)
            LockCount = std::max(0, LockCount - 1);
        else
            ++LockCount;
        PassOn(Message);
        return;
    case WM_SETTEXT: HandleSetText(Message); return;
    case WM_PAINT: HandlePaintMessage(Message); return;
    case WM_CLOSE: HandleClose(Message); return;
    case WM_QUERYENDSESSION: HandleQueryEndSession(Message); return;
    case WM_ERASEBKGND: HandleEraseBkgndMessage(Message); return;
    case WM_SYSCOLORCHANGE:
        PassOn(Message);
        if (alive.Alive()) UpdateMenu();
        return;
    case WM_SHOWWINDOW:
        if (Message.WParam != 0) {
            FormState &= FS_ANIMRESTORING;
            if (IsAeroEnabled() && !acAnimationSwitch && wnd &&
                (::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) == 0)
                ::RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_INVALIDATE);
        }
        if (Message.LParam == SW_PARENTCLOSING && ShowAction != TShowAction::saIgnore)
            ShowAction = IsIconic()   ? TShowAction::saMinimize
                         : IsZoomed() ? TShowAction::saMaximize
                                      : TShowAction::saRestore;
        PassOn(Message);
        if (alive.Alive() && Message.WParam != 0 && Form->Parent()) {
            FCommonData->CtrlSkinState &= static_cast<Word>(~ACS_PLAINBG);
            FCommonData->BGChanged = true;
        }
        return;
    case WM_SETTINGCHANGE:
        FCommonData->BGChanged = true;
        if (Message.WParam == SPI_SETWORKAREA)
            if (auto* timer = dynamic_cast<TacMinTimer*>(FormTimer); timer && timer->Enabled()) {
                // The taskbar moved: the minimize animation aims at its new place.
                timer->UpdateDstRect();
                timer->CurLeft = timer->RectTo.Left;
                timer->CurTop = timer->RectTo.Top;
                timer->CurRight = timer->RectTo.Right;
                timer->CurBottom = timer->RectTo.Bottom;
            }
        PassOn(Message);
        return;
    case WM_ACTIVATEAPP:
        PassOn(Message);
        if (alive.Alive() && (FormState & FS_ANIMMINIMIZING) == 0) UpdateExBordersPos(false, 255);
        return;
    case WM_CHILDACTIVATE:
        PassOn(Message);
        if (alive.Alive()) {
            UpdateMenu();
            UpdateSysMenuStyle(true);
        }
        return;
    case WM_GETMINMAXINFO: HandleGetMinMaxInfo(Message); return;
    case WM_MEASUREITEM:
        // An item of the menu line gets the skinned handlers before the
        // form measures it.
        if (HasSkinnableMainMenu() && Manager() && Message.LParam) {
            const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(Message.LParam);
            if (mis->CtlType == ODT_MENU && mis->itemID <= 0xFFFF)
                if (TMenuItem* item = Form->Menu()->FindItem(static_cast<Word>(mis->itemID)))
                    Manager()->SkinableMenus()->InitItem(item, true);
        }
        PassOn(Message);
        return;
    case WM_WINDOWPOSCHANGING: HandleWindowPosChanging(Message); return;
    case WM_WINDOWPOSCHANGED: HandleWindowPosChanged(Message); return;
    case WM_NOTIFY:
        PassOn(Message);
        if (alive.Alive() && Message.LParam && reinterpret_cast<const NMHDR*>(Message.LParam)->code == TCN_SELCHANGE)
            InitCtrlAdapter();
        return;
    case WM_STYLECHANGED:
        PassOn(Message);
        if (alive.Alive() && static_cast<int>(Message.WParam) == GWL_EXSTYLE &&
            (FormState & (FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_ANIMRESTORING)) == 0 && BorderForm) {
            const auto* ss = reinterpret_cast<const STYLESTRUCT*>(Message.LParam);
            if (ss && ((ss->styleOld ^ ss->styleNew) & WS_EX_LAYERED) != 0) UpdateExBordersPos(true, 255);
        }
        return;
    case WM_SETICON:
        if (HasState(csLoading) || Message.LParam == 0 || acAnimationSwitch || FInAnimation || !Form->Showing()) {
            PassOn(Message);
            return;
        }
        {
            RedrawOff redraw(wnd, !IsAeroEnabled());
            PassOn(Message);
        }
        if (alive.Alive()) RefreshFrame();
        return;
    case WM_CONTEXTMENU:
        // The form's menu is hooked before the form opens it.
        if (Form->PopupMenu() && m && m->SkinableMenus())
            m->SkinableMenus()->HookPopupMenu(Form->PopupMenu(), m->SkinnedPopups());
        PassOn(Message);
        return;
    case WM_NCHITTEST: HandleNCHitTest(Message); return;
    case WM_NCPAINT: HandleNCPaintMessage(Message); return;
    case WM_NCACTIVATE: HandleNCActivate(Message); return;
    case WM_NCMOUSEMOVE:
        if (m) m->SetActiveControl(wnd);
        if (FDrawNonClientArea) {
            HandleNCMouseMove(Message);
            return;
        }
        break;
    case WM_NCLBUTTONDOWN: HandleNCLButtonDown(Message); return;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP: HandleButtonUp(Message); return;
    case WM_NCLBUTTONDBLCLK: HandleNCLButtonDblClk(Message); return;
    case WM_NCRBUTTONDOWN:
        if (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCRBUTTONUP: HandleNCRButtonUp(Message); return;
    case WM_SYSCOMMAND: HandleSysCommand(Message); return;
    case WM_INITMENUPOPUP:
        if (Manager() && Manager()->SkinnedPopups()) HandleInitMenuPopup(Message);
        return;
    case WM_ENTERIDLE:
    case 0xB04C:
    case 0xBC4D: Message.Result = 0; return;
    case WM_MOUSEMOVE:
        PassOn(Message);
        if (!alive.Alive()) return;
        // A button held pressed keeps the form hot until it is released.
        if (DefaultManager && !DefaultManager->HasState(csDesigning) && PressedHT == 0)
            DefaultManager->SetActiveControl(nullptr);
        if (FResizeMode == rmBorder && Form->Enabled() && FrameDragging()) {
            POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
            ::ClientToScreen(wnd, &p);
            DrawDragFrame(TPoint(p.x, p.y));
        }
        return;
    case WM_CAPTURECHANGED:
        // Whoever took the capture, a pressed caption button is let go.
        if (PressedHT != 0) ReleasePressedButton();
        PassOn(Message);
        return;
    case WM_PARENTNOTIFY:
        PassOn(Message);
        if (alive.Alive() && !HasState(csDesigning) &&
            (LOWORD(Message.WParam) == WM_CREATE || LOWORD(Message.WParam) == WM_DESTROY)) {
            if (LOWORD(Message.WParam) == WM_CREATE) InitCtrlAdapter();
            TMessage state{SkinCommandMessage, MakeSkinWParam(AC_CTRLSKINSTATE), 1, 0};
            PassMessageToChildControls(Form, state);
            if (FDrawNonClientArea) UpdateScrollAdapter();
        }
        return;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        if (Message.Msg == WM_EXITMENULOOP) InMenu = false;
        PassOn(Message);
        return;
    case WM_SIZING:
        PassOn(Message);
        if (alive.Alive()) UpdateExBordersPos(false, 255);
        return;
    case WM_EXITSIZEMOVE:
        PassOn(Message);
        if (alive.Alive() && BorderForm && HookAdapters)
            for (TacHookAdapter* a : *HookAdapters)
                if (a && a->Wnd()) SendSkinCommand(a->Wnd(), AC_PREPARING, 0);
        return;
    case WM_MOUSELEAVE:
    case CM_MOUSELEAVE: {
        // A leave that the pointer did not make (a window shown over the
        // hot button, such as its glow, took the notice) keeps the button
        // hot; so does a press that holds the capture.
        POINT cursor{};
        const bool stillOver = CurrentHT > 0 && ::GetCursorPos(&cursor) &&
                               HitTest(TMessage{WM_NCHITTEST, 0, MAKELPARAM(cursor.x, cursor.y), 0}) == CurrentHT;
        if (!stillOver && (PressedHT == 0 || ::GetCapture() != wnd)) {
            SetHotHT(0, true);
            acBtnPressed = false;
        }
        PassOn(Message);
        return;
    }
    case 0x313: {
        // The taskbar asks for the window menu.
        POINT p{};
        ::GetCursorPos(&p);
        DropSysMenu(p.x, p.y);
        return;
    }
    case WM_PRINT: HandlePrint(Message); return;
    case WM_PRINTCLIENT: return;
    case CM_VISIBLECHANGED:
        PassOn(Message);
        if (!alive.Alive()) return;
        if (Message.WParam == 0) {
            if (FCommonData->FCacheBmp) FCommonData->FCacheBmp->SetSize(0, 0);
            StopButtonFades();
        } else if (Form->Parent()) {
            RefreshChildControls(Form);
        }
        return;
    case CM_ENABLEDCHANGED:
        PassOn(Message);
        if (alive.Alive() && FDrawNonClientArea) {
            FCommonData->BGChanged = true;
            if (wnd) ::SendMessageW(wnd, WM_NCPAINT, 1, 0);
        }
        return;
    case CM_MOUSEENTER:
        PassOn(Message);
        if (alive.Alive() && m) m->SetActiveControl(wnd);
        return;
    case CM_MENUCHANGED:
        if ((Form->ControlState() & csCreating) == 0 && Form->Visible() && !InAnimationNow() &&
            (FCommonData->CtrlSkinState & ACS_LOCKED) == 0) {
            FLinesCount = -1;
            MenuChanged = true;
            FCommonData->BGChanged = true;
        }
        PassOn(Message);
        return;
    case CM_SHOWINGCHANGED: HandleShowingChanged(Message); return;
    case CM_CONTROLLISTCHANGE:
        PassOn(Message);
        if (alive.Alive() && Message.WParam) {
            auto* control = reinterpret_cast<TControl*>(Message.WParam);
            if (auto* win = dynamic_cast<TWinControl*>(control)) {
                InitCtrlAdapter();
                TMessage state{SkinCommandMessage, MakeSkinWParam(AC_CTRLSKINSTATE), 1, 0};
                PassMessageToChildControls(win, state);
            }
            control->Perform(SkinCommandMessage, MakeSkinWParam(AC_CTRLSKINSTATE), 1);
        }
        return;
    case 0xB03A:
        PassOn(Message);
        if (alive.Alive() && wnd) SendSkinCommand(wnd, AC_REFRESH, reinterpret_cast<LPARAM>(m));
        return;
    case CM_MOUSEWHEEL: HandleMouseWheel(Message); return;
    default: break;
    }
    PassOn(Message);
}
