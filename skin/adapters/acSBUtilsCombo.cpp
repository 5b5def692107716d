#include "acSBUtilsCombo.h"

#include <algorithm>

#include "Forms.h"
#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

constexpr UINT kListTrackStart = 0x1AE;
constexpr UINT kListTrackEnd = 0x1AF;

bool SimpleStyle(HWND Wnd) { return (::GetWindowLongW(Wnd, GWL_STYLE) & 3) == CBS_SIMPLE; }

TsSkinManager* ManagerOf(TsCommonData* Data) { return Data ? Data->SkinManager() : nullptr; }

const TsMaskData* ComboGlyphOf(TsSkinManager* Manager) {
    if (Manager == nullptr || !Manager->Active()) return nullptr;
    const Integer i = Manager->ConstData().ComboGlyph;
    if (i < 0 || static_cast<std::size_t>(i) >= Manager->ma().size()) return nullptr;
    return &Manager->ma()[static_cast<std::size_t>(i)];
}

TRect WindowSize(HWND Wnd) {
    RECT r{};
    ::GetWindowRect(Wnd, &r);
    return TRect(0, 0, r.right - r.left, r.bottom - r.top);
}

}  // namespace

Integer ComboGlyphWidth(const TsMaskData& Mask) {
    // A mask whose frame count the skin left at 0 (or negative) has no frames.
    if (Mask.ImageCount <= 0) return 0;
    return MaskFrameWidth(Mask);
}

// ---- TacComboBoxWnd ---------------------------------------------------------------------

TacComboBoxWnd::TacComboBoxWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const String& SkinSection, bool Repaint)
    : TacEditWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {
    LBoxOpening = false;
    LBSkinData = new TsCommonData(nullptr, false);
}

TacComboBoxWnd::~TacComboBoxWnd() {
    // The list's adapter goes first: it may still be painting with what the
    // combo box holds.
    ReleaseList();
    delete LBSkinData;
    LBSkinData = nullptr;
    if (FListBrush) ::DeleteObject(FListBrush);
    FListBrush = nullptr;
}

void TacComboBoxWnd::ReleaseList() {
    if (ListSW != nullptr) {
        TacMainWnd* list = ListSW;
        ListSW = nullptr;
        ReleaseScrollWnd(FListHandle, true, false, list);
    }
    FListHandle = nullptr;
}

TRect TacComboBoxWnd::ButtonRect() {
    const TRect size = WindowSize(CtrlHandle);
    const Integer w = (::GetWindowLongW(CtrlHandle, GWL_STYLE) & 2) != 0 ? ::GetSystemMetrics(SM_CXVSCROLL) : 0;
    const Integer left =
        (::GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0 ? 2 : size.Width() - w - 2;
    return TRect(left, 2, left + w, size.Height() - 2);
}

Integer TacComboBoxWnd::ButtonHeight() {
    const TsMaskData* glyph = ComboGlyphOf(ManagerOf(SkinData));
    if (glyph == nullptr) return 16;
    return glyph->R.Height() / (std::max<Integer>(glyph->MaskType, 0) + 1);
}

void TacComboBoxWnd::PaintButton(HDC DC) {
    if (DC == nullptr || SkinData == nullptr || SkinData->FCacheBmp == nullptr) return;
    TsSkinManager* manager = ManagerOf(SkinData);
    if (manager == nullptr || !manager->Active()) return;
    TBitmap* cache = SkinData->FCacheBmp;
    if (cache->Width() <= 0 || cache->Height() <= 0) return;
    Integer state = 0;
    if (FListHandle && ::IsWindowVisible(FListHandle))
        state = 2;
    else if (SkinData->ControlIsActive() || (DefaultManager && DefaultManager->ActiveControl() == CtrlHandle))
        state = 1;
    const TRect r = ButtonRect();
    if (r.Width() <= 0 || r.Height() <= 0) return;
    TBitmap* temp = CreateBitmapLike(cache);
    ::BitBlt(temp->Canvas()->Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0,
             SRCCOPY);
    const TConstantSkinData& c = manager->ConstData();
    if (c.ComboBtnIndex >= 0) {
        TCacheInfo ci;
        ci.Bmp = temp;
        ci.X = 0;
        ci.Y = 0;
        ci.Ready = true;
        PaintSection(c.ComboBtnIndex, u"COMBOBTN", ci, c.ComboBtnBGHot, c.ComboBtnBG, manager, temp, TPoint(0, 0), r,
                     state);
    }
    if (const TsMaskData* glyph = ComboGlyphOf(manager)) {
        const Integer gw = ComboGlyphWidth(*glyph);
        if (gw > 0) {
            const Integer x = r.Left + (r.Width() - gw) / 2;
            const Integer y = (WindowSize(CtrlHandle).Height() - ButtonHeight()) / 2;
            TCacheInfo ci;
            ci.Bmp = temp;
            ci.X = 0;
            ci.Y = 0;
            ci.Ready = true;
            DrawGlyphMask(temp, TPoint(x, y), state, ci, *glyph, 1);
        }
    }
    ::BitBlt(DC, r.Left, r.Top, r.Width(), r.Height(), temp->Canvas()->Handle(), r.Left, r.Top, SRCCOPY);
    temp->Free();
}

void TacComboBoxWnd::RepaintButton() {
    const HDC dc = ::GetWindowDC(CtrlHandle);
    if (dc == nullptr) return;
    PaintButton(dc);
    ::ReleaseDC(CtrlHandle, dc);
}

void TacComboBoxWnd::PaintText() {
    TBitmap* cache = SkinData ? SkinData->FCacheBmp : nullptr;
    if (cache == nullptr || cache->Width() <= 0) return;
    TCanvas* canvas = cache->Canvas();
    if (TControl* owner = OwnerControl()) canvas->SetFont(owner->Font());
    const TRect size = WindowSize(CtrlHandle);
    const TRect b = ButtonRect();
    TRect r = (::GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0
                  ? TRect(b.Right, 3, size.Width() - 3, size.Height() - 3)
                  : TRect(3, 3, b.Left, size.Height() - 3);
    if (r.Width() <= 0 || r.Height() <= 0) return;
    String text;
    const LRESULT sel = ::SendMessageW(CtrlHandle, CB_GETCURSEL, 0, 0);
    if (sel >= 0) {
        const LRESULT len = ::SendMessageW(CtrlHandle, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0);
        if (len > 0) {
            std::wstring buffer(static_cast<std::size_t>(len) + 1, L'\0');
            const LRESULT got = ::SendMessageW(CtrlHandle, CB_GETLBTEXT, static_cast<WPARAM>(sel),
                                               reinterpret_cast<LPARAM>(buffer.data()));
            if (got > 0) text = FromW(buffer.data(), static_cast<std::size_t>(std::min(got, len)));
        }
    } else {
        text = GetWndText(CtrlHandle);
    }
    const HDC dc = canvas->Handle();
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
    ::SetBkMode(dc, TRANSPARENT);
    const bool dropList = (::GetWindowLongW(CtrlHandle, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
    if (dropList && ::GetFocus() == CtrlHandle) {
        FillSolidRect(dc, r, ColorToRGB(clHighlight));
        ::SetTextColor(dc, ColorToRGB(clHighlightText));
        ::TextOutW(dc, r.Left + 1, r.Top + 1, WStr(text), static_cast<int>(text.size()));
        RECT fr{r.Left, r.Top, r.Right, r.Bottom};
        ::DrawFocusRect(dc, &fr);
    } else {
        ::TextOutW(dc, r.Left, r.Top, WStr(text), static_cast<int>(text.size()));
    }
    ::RestoreDC(dc, saved);
}

void TacComboBoxWnd::PrepareSimple() {
    SkinData->InitCacheBmp();
    TBitmap* cache = SkinData->FCacheBmp;
    const Integer w = WindowSize(CtrlHandle).Width();
    const Integer h = static_cast<Integer>(::SendMessageW(CtrlHandle, CB_GETITEMHEIGHT, 0, 0)) + 8;
    if (w <= 0 || h <= 0) return;
    cache->SetSize(w, h);
    if (!DlgMode || !PaintBorderedFace(cache, w, h)) {
        TCacheInfo ci;
        GetParentCacheHwnd(CtrlHandle, ci);
        GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        PaintControlSection(SkinData, ci, SkinData->ControlIsActive() ? 1 : 0, cache, WndPos, TRect(0, 0, w, h),
                            true);
    }
    SkinData->BGChanged = false;
}

void TacComboBoxWnd::Invalidate() {
    if (OwnerControl() == nullptr) return;
    ::InvalidateRect(CtrlHandle, nullptr, TRUE);
    ::UpdateWindow(CtrlHandle);
}

void TacComboBoxWnd::AttachList(TMessage& Message) {
    if (LBoxOpening) return;
    LBoxOpening = true;
    try {
        TacEditWnd::acWndProc(Message);
        if (!Destroyed && FListHandle == nullptr && Message.LParam != 0) {
            FListHandle = reinterpret_cast<HWND>(Message.LParam);
            if (ListSW == nullptr) {
                const bool oldFlag = DialogModeFlag;
                if (OwnerControl() == nullptr) DialogModeFlag = DlgMode;
                ListSW = CreateComboListWnd(FListHandle, nullptr, ManagerOf(SkinData), u"EDIT",
                                            ::SendMessageW(CtrlHandle, CB_GETCOUNT, 0, 0) > 0,
                                            SimpleStyle(CtrlHandle));
                DialogModeFlag = oldFlag;
            }
        }
        if (!Destroyed && FListHandle != nullptr && !DlgMode) {
            Integer index = -1;
            SendSkinCommand(FListHandle, AC_GETSKININDEX, reinterpret_cast<LPARAM>(&index));
            TsSkinManager* manager = ManagerOf(SkinData);
            if (index >= 0 && manager && manager->IsValidSkinIndex(index)) {
                const TsGenState& props = StateProps(manager->gd()[static_cast<std::size_t>(index)], 0);
                const HDC dc = reinterpret_cast<HDC>(Message.WParam);
                if (props.FontColor.Color >= 0) ::SetTextColor(dc, ColorToRGB(props.FontColor.Color));
                ::SetBkColor(dc, ColorToRGB(props.Color));
                // One brush, kept until the colour changes or the adapter goes.
                if (FListBrush == nullptr || FListBrushColor != props.Color) {
                    if (FListBrush) ::DeleteObject(FListBrush);
                    FListBrush = ::CreateSolidBrush(ColorToRGB(props.Color));
                    FListBrushColor = props.Color;
                }
                Message.Result = reinterpret_cast<LRESULT>(FListBrush);
            }
        }
    } catch (...) {
        LBoxOpening = false;
        throw;
    }
    LBoxOpening = false;
}

void TacComboBoxWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacEditWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    if (msg == SkinCommandMessage) {
        const Word command = SkinCommandOf(Message.WParam);
        const bool own = Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager());
        if (command == AC_REMOVESKIN && own) {
            const HWND list = FListHandle;
            TacEditWnd::acWndProc(Message);
            if (list != nullptr && ::IsWindow(list)) {
                // The list's own frame comes back: a border, never a sizing frame.
                const LONG style = ::GetWindowLongW(list, GWL_STYLE);
                ::SetWindowLongW(list, GWL_STYLE, (style & ~WS_THICKFRAME) | WS_BORDER);
            }
            ReleaseList();
            return;
        }
        if (command == AC_MOUSEENTER || command == AC_MOUSELEAVE) {
            TacEditWnd::acWndProc(Message);
            if (!Destroyed) RepaintButton();
            return;
        }
        TacEditWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONUP:
        TacEditWnd::acWndProc(Message);
        if (!Destroyed) RepaintButton();
        return;
    case WM_PAINT: {
        if (!ParamsChanged) SetSkinParams();
        if (Destroyed) return;
        GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        CallPrevWndProc(Message);
        if (Destroyed) return;
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        const bool own = dc == nullptr;
        if (own) dc = ::GetWindowDC(CtrlHandle);
        if (dc == nullptr) return;
        if (SimpleStyle(CtrlHandle)) {
            PrepareSimple();
            TBitmap* cache = SkinData->FCacheBmp;
            if (cache && cache->Width() > 0)
                CopyBorderStrips(dc, TRect(0, 0, cache->Width(), cache->Height()), cache->Canvas()->Handle(),
                                 TPoint(0, 0), 3);
        } else {
            SkinData->BGChanged = true;
            SendSkinCommand(CtrlHandle, AC_PREPARECACHE);
            TBitmap* cache = SkinData->FCacheBmp;
            if (!Destroyed && cache && cache->Width() > 0) {
                CopyBorderStrips(dc, TRect(0, 0, cache->Width(), cache->Height()), cache->Canvas()->Handle(),
                                 TPoint(0, 0), 3);
                PaintButton(dc);
            }
        }
        if (own) ::ReleaseDC(CtrlHandle, dc);
        return;
    }
    case WM_ERASEBKGND: Message.Result = 1; return;
    case WM_DRAWITEM:
        CallPrevWndProc(Message);
        Invalidate();
        return;
    case WM_NCCALCSIZE:
        TacEditWnd::acWndProc(Message);
        cxLeftEdge = 3;
        return;
    case WM_COMMAND:
        if ((::GetWindowLongW(CtrlHandle, GWL_STYLE) & 1) == 0 && HIWORD(Message.WParam) == CBN_CLOSEUP) {
            SkinData->BGChanged = true;
            RepaintButton();
        }
        break;
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == CBN_CLOSEUP) {
            SkinData->BGChanged = true;
            RepaintButton();
        }
        break;
    case WM_CTLCOLORLISTBOX: AttachList(Message); return;
    case WM_PRINT: {
        GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        SkinData->SetUpdating(true);
        if (!ParamsChanged) SetSkinParams();
        if (Destroyed) return;
        SkinData->SetUpdating(false);
        SkinData->BGChanged = true;
        if (SimpleStyle(CtrlHandle))
            PrepareSimple();
        else
            SendSkinCommand(CtrlHandle, AC_PREPARECACHE);
        if (Destroyed) return;
        SkinData->BGChanged = true;
        PaintWndCache(SkinData, CtrlHandle, DlgMode);
        PaintText();
        RepaintWndBorderCorners(SkinData, 0, this);
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        TBitmap* cache = SkinData->FCacheBmp;
        if (dc && cache && cache->Width() > 0) {
            ::BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, SRCCOPY);
            PaintButton(dc);
        }
        return;
    }
    case CM_MOUSEENTER:
        if (!SkinData->FMouseAbove) {
            SkinData->FMouseAbove = true;
            SkinData->BGChanged = true;
            TacEditWnd::acWndProc(Message);
            Invalidate();
        }
        return;
    case CM_MOUSELEAVE: {
        POINT p{};
        ::GetCursorPos(&p);
        RECT wr{};
        ::GetWindowRect(CtrlHandle, &wr);
        // The cursor may be over the embedded edit field: still ours.
        if (SkinData->FMouseAbove && !::PtInRect(&wr, p)) {
            SkinData->FMouseAbove = false;
            SkinData->BGChanged = true;
            TacEditWnd::acWndProc(Message);
            Invalidate();
        }
        return;
    }
    default: break;
    }
    TacEditWnd::acWndProc(Message);
}

// ---- TacComboListWnd --------------------------------------------------------------------

TacComboListWnd::TacComboListWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                 const String& SkinSection, bool Repaint, bool Simply)
    : TacEditWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint), SimplyBox(Simply) {
    // Skin data made here (none given) is the base's own and freed by it once.
    Showed = false;
    DBScroll = false;
    RECT r{};
    ::GetWindowRect(AHandle, &r);
    WndRect = TRect(r.left, r.top, r.right, r.bottom);
    WndSize = TSize{r.right - r.left, r.bottom - r.top};
}

TacComboListWnd* CreateComboListWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                    const String& SkinSection, bool Repaint, bool Simply) {
    if (AHandle == nullptr || !::IsWindow(AHandle)) return nullptr;
    // Adapted already (a simple combo's list is a child window that the
    // dialog's own adaptation may have reached first).
    if (AdapterOfWindow(AHandle) != nullptr || SkinCommandAnswered(AHandle, AC_CTRLHANDLED)) return nullptr;
    auto* list = New<TacComboListWnd>(AHandle, ASkinData, ASkinManager, SkinSection, Repaint, Simply);
    if (!Simply) {
        ::SetWindowPos(AHandle, nullptr, 0, 0, list->WndSize.cx + 1, list->WndSize.cy, acComboListFrameFlags);
    }
    return list;
}

void TacComboListWnd::PrepareListCache() {
    GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
    if (SimplyBox) {
        SendSkinCommand(CtrlHandle, AC_PREPARECACHE);
        return;
    }
    SkinData->UpdateIndexes();
    SetSkinParams();
    if (Destroyed) return;
    SkinData->InitCacheBmp();
    TBitmap* cache = SkinData->FCacheBmp;
    const TRect size = WindowSize(CtrlHandle);
    if (size.Width() <= 0 || size.Height() <= 0) return;
    cache->SetSize(size.Width(), size.Height());
    TCanvas* canvas = cache->Canvas();
    canvas->Brush()->SetColor(ColorToRGB(Color));
    canvas->FillRect(size);
    canvas->Brush()->SetColor(ColorToRGB(FrameColor));
    canvas->FrameRect(size);
    SkinData->BGChanged = false;
}

void TacComboListWnd::PaintSimpleStrip() {
    // The strip between the list's bottom and the bottom of the combo box
    // shows the background of the combo box's parent.
    const HWND combo = ::GetParent(CtrlHandle);
    const HWND parent = combo ? ::GetParent(combo) : nullptr;
    if (parent == nullptr) return;
    RECT lr{}, cr{};
    ::GetWindowRect(CtrlHandle, &lr);
    ::GetWindowRect(combo, &cr);
    if (cr.bottom <= lr.bottom) return;
    POINT org{lr.left, lr.bottom};
    ::ScreenToClient(parent, &org);
    const TRect strip(org.x, org.y, org.x + (lr.right - lr.left), org.y + (cr.bottom - lr.bottom));
    TBackgroundInfo info;
    info.R = strip;
    QueryWindowBackground(info, parent, false);
    const HDC dc = ::GetDC(parent);
    if (dc == nullptr) return;
    if (info.BgType == btCache && info.Bmp != nullptr)
        ::BitBlt(dc, strip.Left, strip.Top, strip.Width(), strip.Height(), info.Bmp->Canvas()->Handle(),
                 strip.Left + info.Offset.X, strip.Top + info.Offset.Y, SRCCOPY);
    else
        // A parent that answered without a colour (an image it does not
        // have, or busy) leaves the window colour, never black.
        FillSolidRect(dc, strip, info.BgType == btFill && info.Color != clNone ? info.Color : clWindow);
    ::ReleaseDC(parent, dc);
}

void TacComboListWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacEditWnd::acWndProc(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_ERASEBKGND: {
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (dc == nullptr) {
            CallPrevWndProc(Message);
            return;
        }
        RECT r{};
        ::GetClientRect(CtrlHandle, &r);
        FillSolidRect(dc, TRect(0, 0, r.right, r.bottom), ColorToRGB(Color));
        Message.Result = 1;
        return;
    }
    case WM_NCCALCSIZE: TacScrollWnd::acWndProc(Message); return;
    case WM_NCPAINT: {
        if (DontRepaint) return;
        PrepareListCache();
        if (Destroyed) return;
        if (!DlgMode) RepaintWndBorderCorners(SkinData, 0, this);
        const HDC dc = ::GetWindowDC(CtrlHandle);
        if (dc == nullptr) return;
        const int saved = ::SaveDC(dc);
        TBitmap* cache = SkinData->FCacheBmp;
        if (cache && cache->Width() > 0)
            CopyBorderStrips(dc, TRect(0, 0, cache->Width(), cache->Height()), cache->Canvas()->Handle(),
                             TPoint(0, 0), 2);
        ReadScrollInfos();
        PaintScrollBars(this, CtrlHandle, dc, -1);
        ::RestoreDC(dc, saved);
        ::ReleaseDC(CtrlHandle, dc);
        Message.Result = 0;
        if (SimplyBox) PaintSimpleStrip();
        return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (Message.WParam == HTHSCROLL || Message.WParam == HTVSCROLL) TacScrollWnd::acWndProc(Message);
        return;
    case WM_HSCROLL:
    case WM_VSCROLL: CallPrevWndProc(Message); return;
    case kListTrackStart:
        Showed = true;
        break;
    case kListTrackEnd:
        Showed = false;
        SkinData->BGChanged = true;
        break;
    case WM_LBUTTONUP: {
        GetWindowPosInParent(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        RECT wr{};
        ::GetWindowRect(CtrlHandle, &wr);
        RECT cr{};
        ::GetClientRect(CtrlHandle, &cr);
        POINT org{0, 0};
        ::ClientToScreen(CtrlHandle, &org);
        const POINT screen{static_cast<short>(LOWORD(Message.LParam)) + org.x,
                           static_cast<short>(HIWORD(Message.LParam)) + org.y};
        const LRESULT hit = ::SendMessageW(CtrlHandle, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (hit != HTNOWHERE && hit != HTCLIENT) {
            TacScrollWnd::acWndProc(Message);
            if (SimplyBox) ::ReleaseCapture();
            return;
        }
        const LPARAM received = Message.LParam;
        TacScrollWnd::acWndProc(Message);
        Message.LParam = received;
        CallPrevWndProc(Message);
        return;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: {
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (dc == nullptr || !::IsWindowVisible(CtrlHandle)) break;
        PrepareListCache();
        if (Destroyed) return;
        CallPrevWndProc(Message);
        if (Message.Msg == WM_PRINT && ::SendMessageW(CtrlHandle, LB_GETCOUNT, 0, 0) > 0) {
            TBitmap* cache = SkinData->FCacheBmp;
            if (ScrollTrackingState.Wnd != CtrlHandle && !Showed && cache && cache->Width() > 0)
                CopyBorderStrips(dc, TRect(0, 0, cache->Width(), cache->Height()), cache->Canvas()->Handle(),
                                 TPoint(0, 0), 3);
            ReadScrollInfos();
            PaintScrollBars(this, CtrlHandle, dc, -1);
        }
        return;
    }
    default: break;
    }
    const UINT msg = Message.Msg;
    TacEditWnd::acWndProc(Message);
    if (msg == WM_WINDOWPOSCHANGED && !Destroyed) RefreshScrollBars(this, true);
}

// ---- TacWWComboBoxWnd -------------------------------------------------------------------

TacWWComboBoxWnd::TacWWComboBoxWnd(TWinControl* aCtrl, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                   const String& SkinSection, bool Repaint)
    : TacComboBoxWnd(aCtrl->Handle(), ASkinData, ASkinManager, SkinSection, Repaint) {
    ListBox = nullptr;
    ListBoxSkinData = nullptr;
    FShowButton = true;
    if (auto* combo = dynamic_cast<TCustomComboBox*>(aCtrl))
        FShowButton = combo->Style() == csDropDown || combo->Style() == csDropDownList;
}

TacWWComboBoxWnd::~TacWWComboBoxWnd() {
    if (ListBoxSW != nullptr) ReleaseScrollWnd(ListBoxSW->CtrlHandle, true, false, ListBoxSW);
    delete ListBoxSkinData;
    ListBoxSkinData = nullptr;
}

TRect TacWWComboBoxWnd::ButtonRect() {
    const TRect size = WindowSize(CtrlHandle);
    const Integer w = FShowButton ? ::GetSystemMetrics(SM_CXVSCROLL) : 0;
    const Integer left =
        (::GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0 ? 2 : size.Width() - w - 2;
    return TRect(left, 2, left + w, size.Height() - 2);
}

void TacWWComboBoxWnd::acWndProc(TMessage& Message) {
    if (Message.Msg == WM_CTLCOLORLISTBOX) {
        CallPrevWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    const WPARAM wParam = Message.WParam;
    TacComboBoxWnd::acWndProc(Message);
    if (Destroyed || msg != WM_PARENTNOTIFY || LOWORD(wParam) != WM_CREATE) return;
    auto* control = dynamic_cast<TWinControl*>(OwnerControl());
    if (control == nullptr) return;
    for (int i = 0; i < control->ControlCount(); ++i) {
        auto* child = dynamic_cast<TWinControl*>(control->Controls(i));
        if (child == nullptr || child->ClassName().find(u"ListBox") == String::npos) continue;
        ListBox = child;
        if (ListBoxSkinData == nullptr) {
            ListBoxSkinData = new TsCommonData(child, true);
            ListBoxSkinData->SetSkinSection(u"EDIT");
            ListBoxSkinData->FOwnerControl = child;
        }
        if (ListBoxSW != nullptr && ListBoxSW->Destroyed) ReleaseScrollWnd(nullptr, true, false, ListBoxSW);
        AttachEditAdapter(ListBoxSkinData, ListBoxSW);
    }
}

// ---- the unit ---------------------------------------------------------------------------

namespace {

TacMainWnd* CreateListAdapter(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                              const String& SkinSection, bool Repaint) {
    return CreateComboListWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint, false);
}

}  // namespace

void acComboWndInitialization() {
    RegisterAdapterClass<TacComboBoxWnd>(u"TacComboBoxWnd");
    RegisterAdapterClass(u"TacComboListWnd", &CreateListAdapter);
}
