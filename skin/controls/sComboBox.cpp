#include "sComboBox.h"

#include <algorithm>

#include "acGlow.h"
#include "acMaskPaintWin.h"
#include "acSBUtilsCombo.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

// The control kind of combo boxes.
constexpr Integer kComboKind = 3;
// Skin command 14 asks a combo box whether its list is open.
constexpr Word kListOpenQuery = 14;
// The framework's key notices dropped for a read-only box's inner windows.
constexpr UINT kKeyNotices[] = {0xBD00, 0xBD02, 0xBD04, 0xBD06};
constexpr UINT kItemTextFlags = DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | DT_NOPREFIX;

// Keys that open the list or change the selection.
bool SelectingKey(WPARAM Key) {
    return (Key >= 32 && Key <= 40) || Key == 57 || (Key >= 65 && Key <= 90) || Key == VK_F4;
}

TCacheInfo CacheOf(TBitmap* Bmp) {
    TCacheInfo ci;
    ci.Bmp = Bmp;
    ci.X = 0;
    ci.Y = 0;
    ci.Ready = true;
    return ci;
}

const TsMaskData* ComboGlyph(TsSkinManager* Manager) {
    if (Manager == nullptr || !Manager->Active()) return nullptr;
    const Integer i = Manager->ConstData().ComboGlyph;
    if (i < 0 || static_cast<std::size_t>(i) >= Manager->ma().size()) return nullptr;
    return &Manager->ma()[static_cast<std::size_t>(i)];
}

// Gives a list window back its standard frame: a border, no sizing frame;
// its scroll bar style stays as it is.
void RestoreListFrame(HWND List) {
    if (List == nullptr || !::IsWindow(List)) return;
    const LONG style = ::GetWindowLongW(List, GWL_STYLE);
    ::SetWindowLongW(List, GWL_STYLE, (style & ~WS_THICKFRAME) | WS_BORDER);
}

}  // namespace

TsCustomComboBox::TsCustomComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetDropDownCount(16);
    FCommonData = New<TsCtrlSkinData>(this, true);
    FCommonData->COC = kComboKind;
    FDisabledKind = TsDisabledKind{dkBlended};
    FBoundLabel = New<TsBoundLabel>(this, FCommonData);
    FDropDown = false;
    FReadOnly = false;
    FShowButton = true;
}

TsCustomComboBox::~TsCustomComboBox() {
    ReleaseList();
    FBoundLabel->Free();
    FBoundLabel = nullptr;
    FCommonData->Free();
    FCommonData = nullptr;
}

void TsCustomComboBox::AfterConstruction() {
    TCustomComboBox::AfterConstruction();
    if (FCommonData->SkinSection().empty()) FCommonData->SetSkinSection(u"COMBOBOX");
}

void TsCustomComboBox::Loaded() {
    TCustomComboBox::Loaded();
    FCommonData->Loaded();
}

void TsCustomComboBox::CreateWnd() {
    TCustomComboBox::CreateWnd();
    if (!HasState(csLoading)) FCommonData->Loaded();
    FLastItemHeight = ItemHeight();
}

void TsCustomComboBox::DestroyWnd() {
    ReleaseList();
    FDropDown = false;
    TCustomComboBox::DestroyWnd();
}

void TsCustomComboBox::CreateParams(TCreateParams& Params) {
    TCustomComboBox::CreateParams(Params);
    // The box draws its items (and the closed box's text) itself; the list
    // keeps the item texts (CBS_HASSTRINGS).
    if (FStyle == csDropDown || FStyle == csDropDownList) Params.Style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
}

bool TsCustomComboBox::OwnManager(LPARAM LParam) const {
    return reinterpret_cast<TsSkinManager*>(LParam) == FCommonData->SkinManager();
}

// ---------------------------------------------------------------------------
// Properties

void TsCustomComboBox::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    FCommonData->Invalidate();
}

void TsCustomComboBox::SetDisabledKind(TsDisabledKind Value) {
    if (FDisabledKind == Value) return;
    FDisabledKind = Value;
    FCommonData->Invalidate();
}

void TsCustomComboBox::SetShowButton(bool Value) {
    if (FShowButton == Value) return;
    FShowButton = Value;
    FCommonData->Invalidate();
}

bool TsCustomComboBox::Focused() {
    if (!HandleAllocated()) return FCommonData->FFocused;
    const HWND focus = ::GetFocus();
    return (focus != nullptr && (focus == FEditHandle || focus == FListHandle)) || FCommonData->FFocused;
}

void TsCustomComboBox::Invalidate() {
    if (HandleAllocated() && Focused()) FCommonData->FFocused = true;
    TCustomComboBox::Invalidate();
}

TRect TsCustomComboBox::ButtonRect() {
    const Integer w = FStyle == csSimple || !FShowButton ? 0 : ::GetSystemMetrics(SM_CXVSCROLL) + 1;
    // The framework reads left to right: the button is at the right.
    const Integer left = Width() - w - 2;
    return TRect(left, 2, left + w, Height() - 2);
}

Integer TsCustomComboBox::ButtonHeight() {
    if (FCommonData->Skinned())
        if (const TsMaskData* glyph = ComboGlyph(FCommonData->SkinManager())) return MaskFrameHeight(*glyph);
    return 16;
}

// ---------------------------------------------------------------------------
// Painting

void TsCustomComboBox::PaintButton() {
    TBitmap* cache = FCommonData->FCacheBmp;
    TsSkinManager* manager = FCommonData->SkinManager();
    if (cache == nullptr || manager == nullptr || !manager->Active()) return;
    const Integer state = FDropDown ? 2 : FCommonData->ControlIsActive() ? 1 : 0;
    const TRect r = ButtonRect();
    if (r.Width() <= 0 || r.Height() <= 0) return;
    const TConstantSkinData& c = manager->ConstData();
    if (c.ComboBtnIndex >= 0)
        PaintSection(c.ComboBtnIndex, u"COMBOBTN", CacheOf(cache), c.ComboBtnBGHot, c.ComboBtnBG, manager, cache,
                     TPoint(0, 0), r, state);
    if (const TsMaskData* glyph = ComboGlyph(manager)) {
        const Integer gw = ComboGlyphWidth(*glyph);
        if (gw <= 0) return;
        DrawGlyphMask(cache, TPoint(r.Left + (r.Width() - gw) / 2, (Height() - ButtonHeight()) / 2), state,
                      CacheOf(cache), *glyph, 1);
    }
}

void TsCustomComboBox::PrepareCache() {
    TsCommonData& sd = *FCommonData;
    sd.InitCacheBmp();
    TBitmap* cache = sd.FCacheBmp;
    if (FStyle == csSimple) cache->SetSize(Width(), ItemHeight() + 8);
    if (cache->Width() <= 0 || cache->Height() <= 0) {
        sd.BGChanged = false;
        return;
    }
    const Integer state = sd.ControlIsActive() ? 1 : 0;
    PaintControlSectionOnParent(FCommonData, this, state, cache, TPoint(0, 0),
                                TRect(0, 0, cache->Width(), cache->Height()), true);
    if (FStyle != csSimple) {
        const TRect b = ButtonRect();
        const TRect text(3, 3, b.Left - 1, cache->Height() - 3);
        UINT itemState = ODS_COMBOBOXEDIT;
        if (FStyle != csDropDown && Focused()) itemState |= ODS_FOCUS | ODS_SELECTED;
        TCanvas* canvas = cache->Canvas();
        canvas->Lock();
        PaintItem(ItemIndex(), text, itemState, canvas);
        canvas->Unlock();
        if (FShowButton) PaintButton();
    }
    if (!Enabled() && !UserDrawsItems()) {
        ApplyDisabledKind(cache, FDisabledKind, this, TPoint(0, 0), ParentCacheUnder(this));
    }
    sd.BGChanged = false;
}

String TsCustomComboBox::ItemText(Integer Index) {
    if (Index < 0 || Index >= FItems->Count()) return String();
    return FItems->Get(Index);
}

void TsCustomComboBox::PaintItem(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas) {
    if (Canvas == nullptr || Rect.Width() <= 0 || Rect.Height() <= 0) return;
    if (FCommonData->Skinned())
        PaintItemSkinned(Index, Rect, State, Canvas);
    else
        PaintItemPlain(Index, Rect, State, Canvas);
}

void TsCustomComboBox::PaintItemSkinned(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas) {
    TsSkinManager* manager = FCommonData->SkinManager();
    const bool closedBox = (State & ODS_COMBOBOXEDIT) != 0;
    const bool selected = (State & ODS_SELECTED) != 0;
    const Integer w = Rect.Width(), h = Rect.Height();
    TBitmap* bmp = CreateWorkBitmap(w, h);
    TCanvas* bc = bmp->Canvas();
    bc->SetFont(Font());
    const HDC dc = bc->Handle();
    TBitmap* cache = FCommonData->FCacheBmp;
    const auto copyCache = [&] {
        if (cache && cache->Width() > 0)
            ::BitBlt(dc, 0, 0, w, h, cache->Canvas()->Handle(), Rect.Left, Rect.Top, SRCCOPY);
    };
    // The background.
    if (closedBox)
        copyCache();
    else
        FillSolidRect(dc, TRect(0, 0, w, h), ColorToRGB(Color()));
    const Integer selIndex = manager->GetSkinIndex(u"SELECTION");
    const bool hasSelection = manager->IsValidSkinIndex(selIndex);
    if (selected) {
        if (hasSelection)
            PaintSection(selIndex, u"SELECTION", CacheOf(bmp), -1, -1, manager, bmp, TPoint(0, 0),
                         TRect(0, 0, w, h), 0);
        else
            FillSolidRect(dc, TRect(0, 0, w, h), ColorToRGB(manager->GetHighLightColor(Focused())));
    } else if (!closedBox) {
        FillSolidRect(dc, TRect(0, 0, w, h), ColorToRGB(manager->GetActiveEditColor()));
    }
    if (UserDrawsItems()) {
        // The user's painter draws on the work bitmap through the canvas.
        TCanvas* own = FCanvas;
        const HDC old = own->HandleAllocated() ? own->Handle() : nullptr;
        own->Lock();
        own->SetHandle(dc);
        const int saved = ::SaveDC(dc);
        ::SetViewportOrgEx(dc, -Rect.Left, -Rect.Top, nullptr);
        try {
            OnDrawItem(this, Index, Rect, State);
        } catch (...) {
            ::RestoreDC(dc, saved);
            own->SetHandle(old);
            own->Unlock();
            bmp->Free();
            throw;
        }
        ::RestoreDC(dc, saved);
        own->SetHandle(old);
        own->Unlock();
    } else {
        TRect tr(0, 0, w, h);
        Cardinal flags = kItemTextFlags;
        if (FAlignment == taRightJustify) flags |= DT_RIGHT;
        String text;
        TColor color;
        if (closedBox && FStyle == csDropDown) {
            text = Text();
            color = Font()->Color();
        } else {
            text = ItemText(Index);
            tr = TRect(tr.Left + 2, tr.Top, tr.Right - 2, tr.Bottom);
            if (selected && hasSelection)
                color = StateProps(manager->gd()[static_cast<std::size_t>(selIndex)], 0).FontColor.Color;
            else if (selected)
                color = manager->GetHighLightFontColor(Focused());
            else if (!closedBox)
                color = manager->GetActiveEditFontColor();
            else
                color = Font()->Color();
        }
        if (!text.empty()) {
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ColorToRGB(color));
            DrawTextRect(dc, text, tr, flags);
        }
        if ((State & ODS_FOCUS) != 0 && !hasSelection) {
            RECT fr{0, 0, w, h};
            ::SetTextColor(dc, 0);
            ::SetBkColor(dc, 0xFFFFFF);
            ::DrawFocusRect(dc, &fr);
        }
    }
    // Text drawing through GDI leaves the alpha channel at 0: the item is opaque.
    ::BitBlt(Canvas->Handle(), Rect.Left, Rect.Top, w, h, dc, 0, 0, SRCCOPY);
    bmp->Free();
}

void TsCustomComboBox::PaintItemPlain(Integer Index, const TRect& Rect, UINT State, TCanvas* Canvas) {
    Canvas->SetFont(Font());
    const bool selected = (State & ODS_SELECTED) != 0;
    Canvas->Brush()->SetColor(selected ? clHighlight : Color());
    Canvas->Font()->SetColor(selected ? clHighlightText : Font()->Color());
    Canvas->FillRect(Rect);
    if (OwnerDrawStyle() && OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
    } else {
        const String text = (State & ODS_COMBOBOXEDIT) && FStyle == csDropDown ? Text() : ItemText(Index);
        if (!text.empty()) {
            const HDC dc = Canvas->Handle();
            ::SetBkMode(dc, TRANSPARENT);
            TRect tr(Rect.Left + 2, Rect.Top, Rect.Right, Rect.Bottom);
            DrawTextRect(dc, text, tr, kItemTextFlags);
        }
    }
    if (State & ODS_FOCUS) {
        RECT fr{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
        ::DrawFocusRect(Canvas->Handle(), &fr);
    }
}

void TsCustomComboBox::DrawItem(int Index, const TRect& Rect, UINT State) {
    PaintItem(Index, Rect, State & 0xFFFF, FCanvas);
}

void TsCustomComboBox::MeasureItem(int Index, int& Height) {
    if (OwnerDrawStyle()) {
        TCustomComboBox::MeasureItem(Index, Height);
        return;
    }
    TEXTMETRICW tm{};
    const HDC dc = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, Font()->Handle());
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    Height = tm.tmHeight + 2;
}

void TsCustomComboBox::PaintCombo(HDC DC) {
    if (!HandleAllocated() || !Showing()) return;
    TsCommonData& sd = *FCommonData;
    const bool own = DC == nullptr;
    if (own) DC = ::GetDC(FHandle);
    if (DC == nullptr) return;
    sd.FUpdating = sd.GetUpdating();
    if (!(acAnimationSwitch && DC != sd.PrintDC) && !sd.FUpdating) {
        const bool parentHalf =
            Parent() && Parent()->HandleAllocated() &&
            ::SendMessageW(Parent()->Handle(), SkinCommandMessage, MakeSkinWParam(AC_GETHALFVISIBLE), 0) == 1;
        sd.BGChanged = sd.BGChanged || sd.HalfVisible || parentHalf || UserDrawsItems();
        if (Parent() && Parent()->HandleAllocated()) {
            RECT client{};
            ::GetClientRect(Parent()->Handle(), &client);
            sd.HalfVisible = Left() < client.left || Top() < client.top || Left() + Width() > client.right ||
                             Top() + Height() > client.bottom;
        } else {
            sd.HalfVisible = false;
        }
        if (sd.BGChanged) PrepareCache();
        RepaintBorderCorners(FCommonData, 0);
        TBitmap* cache = sd.FCacheBmp;
        if (cache && cache->Width() > 0 && cache->Height() > 0) {
            const HDC src = cache->Canvas()->Handle();
            const TRect whole(0, 0, cache->Width(), cache->Height());
            if (FStyle == csDropDown && Focused()) {
                // The edit field paints itself.
                CopyBorderStrips(DC, whole, src, TPoint(0, 0), 3);
                const TRect b = ButtonRect();
                if (b.Width() > 0) ::BitBlt(DC, b.Left, b.Top, b.Width(), b.Height(), src, b.Left, b.Top, SRCCOPY);
            } else if (FStyle == csDropDown) {
                ::BitBlt(DC, 0, 0, whole.Width(), whole.Height(), src, 0, 0, SRCCOPY);
                // The box's own DC may leave the edit field out.
                PaintEditFromCache(nullptr);
            } else if (FStyle == csSimple) {
                CopyBorderStrips(DC, whole, src, TPoint(0, 0), 3);
            } else {
                ::BitBlt(DC, 0, 0, whole.Width(), whole.Height(), src, 0, 0, SRCCOPY);
            }
        }
    }
    if (own) ::ReleaseDC(FHandle, DC);
}

void TsCustomComboBox::PaintEditFromCache(HDC DC) {
    TBitmap* cache = FCommonData->FCacheBmp;
    if (FEditHandle == nullptr || cache == nullptr || cache->Width() <= 0) return;
    const bool own = DC == nullptr;
    if (own) DC = ::GetDC(FEditHandle);
    if (DC == nullptr) return;
    POINT at{0, 0};
    ::MapWindowPoints(FEditHandle, FHandle, &at, 1);
    RECT r{};
    ::GetClientRect(FEditHandle, &r);
    ::BitBlt(DC, 0, 0, r.right, r.bottom, cache->Canvas()->Handle(), at.x, at.y, SRCCOPY);
    if (own) ::ReleaseDC(FEditHandle, DC);
}

// ---------------------------------------------------------------------------
// The list window

void TsCustomComboBox::AdaptList(HWND List) {
    if (lboxhandle != nullptr || List == nullptr || HasState(csLoading)) return;
    lboxhandle = List;
    ListSW = CreateComboListWnd(List, nullptr, FCommonData->SkinManager(), u"EDIT", true, FStyle == csSimple);
}

void TsCustomComboBox::ReleaseList() {
    if (lboxhandle == nullptr) return;
    RestoreListFrame(lboxhandle);
    if (ListSW != nullptr) ReleaseScrollWnd(lboxhandle, true, false, ListSW);
    ListSW = nullptr;
    lboxhandle = nullptr;
}

// ---------------------------------------------------------------------------
// Messages

bool TsCustomComboBox::ReadOnlyDrops(const TMessage& Message) const {
    if (!FReadOnly) return false;
    switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
    case CN_SYSCHAR: return SelectingKey(Message.WParam);
    case WM_CHAR: return true;
    case WM_COMMAND:
    case CN_COMMAND: return HIWORD(Message.WParam) == CBN_DROPDOWN;
    default: return false;
    }
}

void TsCustomComboBox::InnerWndProc(TMessage& Message, HWND Wnd) {
    const UINT msg = Message.Msg;
    if (FReadOnly) {
        const bool keys = (msg >= WM_KEYDOWN && msg <= WM_CHAR) || msg == WM_SYSKEYUP;
        const bool edits = msg == WM_CUT || msg == WM_PASTE || msg == WM_CLEAR || msg == WM_UNDO;
        const bool notices = std::find(std::begin(kKeyNotices), std::end(kKeyNotices), msg) != std::end(kKeyNotices);
        if (keys || edits || notices) {
            Message.Result = 0;
            return;
        }
    }
    if (FCommonData && FCommonData->Skinned() && !HasState(csDestroying) &&
        (msg == WM_PAINT || msg == WM_ERASEBKGND || msg == WM_NCPAINT)) {
        const bool drawsItself = FStyle == csSimple || (Focused() && Enabled() && !FReadOnly);
        if (!drawsItself) {
            if (msg == WM_PAINT) {
                // The closed box's cache shows the text: the window gets the
                // part of the cache it covers (the box's own paint may be
                // clipped to leave it out).
                PAINTSTRUCT ps{};
                const HDC dc = ::BeginPaint(Wnd, &ps);
                if (Wnd == FEditHandle && !FCommonData->BGChanged) PaintEditFromCache(dc);
                ::EndPaint(Wnd, &ps);
                Message.Result = 0;
            } else {
                Message.Result = 1;
            }
            return;
        }
    }
    TCustomComboBox::InnerWndProc(Message, Wnd);
}

bool TsCustomComboBox::SkinnedMessage(TMessage& Message) {
    TsCommonData& sd = *FCommonData;
    switch (Message.Msg) {
    case WM_SETFOCUS:
    case CM_ENTER:
        if (CanFocus()) {
            sd.FFocused = true;
            sd.FMouseAbove = false;
            sd.BGChanged = true;
            TCustomComboBox::WndProc(Message);
            Repaint();
            return true;
        }
        return false;
    case WM_KILLFOCUS:
    case CM_EXIT:
        FDropDown = false;
        // A box that loses the focus keeps no list open.
        if (HandleAllocated() && DroppedDown()) SetDroppedDown(false);
        sd.FFocused = false;
        sd.FMouseAbove = false;
        sd.BGChanged = true;
        TCustomComboBox::WndProc(Message);
        Repaint();
        return true;
    case WM_PAINT: {
        // While an animation paints, the window stays invalid: it is painted
        // once the animation is over.
        if (acAnimationSwitch) {
            Message.Result = 0;
            return true;
        }
        PAINTSTRUCT ps{};
        const HDC painted = ::BeginPaint(FHandle, &ps);
        PaintCombo(Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : painted);
        ::EndPaint(FHandle, &ps);
        Message.Result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        // The cached image covers the whole box.
        Message.Result = 1;
        return true;
    case WM_SETFONT:
    case CM_VISIBLECHANGED:
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_MOUSEWHEEL: sd.BGChanged = true; return false;
    case WM_NCPAINT:
        if (acAnimationSwitch) PaintCombo(nullptr);
        Message.Result = 0;
        return true;
    case WM_COMMAND:
        if (FReadOnly) return true;
        FDropDown = false;
        sd.BGChanged = true;
        PaintCombo(nullptr);
        return false;
    case WM_CTLCOLORLISTBOX: AdaptList(reinterpret_cast<HWND>(Message.LParam)); return false;
    case WM_PRINT: {
        sd.FUpdating = false;
        const HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (dc == nullptr) return true;
        const HDC oldPrint = sd.PrintDC;
        sd.PrintDC = dc;
        PaintCombo(dc);
        TBitmap* cache = sd.FCacheBmp;
        if (FStyle == csDropDown && Focused() && cache && cache->Width() > 0)
            ::BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, SRCCOPY);
        sd.PrintDC = oldPrint;
        return true;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        if (HasState(csDesigning)) return false;
        if (FDropDown) {
            TCustomComboBox::WndProc(Message);
            return true;
        }
        const bool enter = Message.Msg == CM_MOUSEENTER;
        if (!enter) {
            POINT p{};
            ::GetCursorPos(&p);
            RECT wr{};
            ::GetWindowRect(FHandle, &wr);
            // Moving onto the edit field is not leaving the box.
            if (::PtInRect(&wr, p)) return true;
        } else if (sd.FMouseAbove) {
            return true;
        } else if (TsSkinManager* m = sd.SkinManager()) {
            m->SetActiveControl(FHandle);
        }
        sd.FMouseAbove = enter;
        sd.BGChanged = true;
        Repaint();
        TCustomComboBox::WndProc(Message);
        if (enter)
            sd.UpdateGlow(false, FHandle);
        else
            ClearGlows(false);
        return true;
    }
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == CBN_DROPDOWN) {
            FDropDown = true;
        } else if (HIWORD(Message.WParam) == CBN_CLOSEUP) {
            FDropDown = false;
            sd.BGChanged = true;
            PaintCombo(nullptr);
        }
        return false;
    default: return false;
    }
}

void TsCustomComboBox::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    TsCommonData& sd = *FCommonData;
    if (Message.Msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_SETNEWSKIN:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                if (ListSW != nullptr) {
                    TMessage copy = Message;
                    ListSW->MainWndMethod(copy);
                }
            }
            return;
        case AC_REMOVESKIN:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                if (!sd.CustomColor()) SetColor(clWindow);
                if (!sd.CustomFont()) Font()->SetColor(clWindowText);
                ReleaseList();
                Repaint();
            }
            return;
        case AC_REFRESH:
            if (OwnManager(Message.LParam)) {
                HandleCommonMessage(Message, FCommonData);
                Repaint();
            }
            return;
        case AC_ENDPARENTUPDATE:
            // Also when the box was never painted whole (HalfVisible is set
            // until its first paint).
            if (sd.FUpdating || sd.HalfVisible) {
                sd.SetUpdating(false);
                Repaint();
            }
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_MOUSELEAVE: Perform(CM_MOUSELEAVE, 0, 0); break;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return;
        default: break;
        }
    }

    if (FReadOnly && (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK)) {
        // A read-only box only takes the focus; a double click still counts.
        if (CanFocus() && !Focused()) SetFocus();
        if (Message.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
        Message.Result = 0;
        return;
    }
    if (ReadOnlyDrops(Message)) {
        Message.Result = 0;
        return;
    }

    const UINT msg = Message.Msg;
    bool done = false;
    if (ControlIsReady(this) && sd.Skinned()) {
        done = SkinnedMessage(Message);
        if (!done) {
            if (!HandleCommonMessage(Message, FCommonData)) TCustomComboBox::WndProc(Message);
            switch (msg) {
            case WM_SETFONT:
            case CM_ENABLEDCHANGED: Repaint(); break;
            case CB_SETCURSEL:
            case CM_TEXTCHANGED:
            case CM_CHANGED:
                sd.BGChanged = true;
                Repaint();
                break;
            case CM_FONTCHANGED:
                if (HandleAllocated()) {
                    Integer h = 0;
                    MeasureItem(0, h);
                    if (h > 0 && h != FLastItemHeight && !OwnerDrawStyle()) {
                        FLastItemHeight = h;
                        if (Visible()) SetItemHeight(h);
                        Invalidate();
                    }
                }
                break;
            default:
                if (msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == kListOpenQuery)
                    Message.Result = FDropDown ? 1 : 0;
                break;
            }
        }
    } else {
        TCustomComboBox::WndProc(Message);
    }
    if (FBoundLabel != nullptr && !HasState(csDestroying)) BoundLabelMessage(FBoundLabel, Message, FDisabledKind);
}
