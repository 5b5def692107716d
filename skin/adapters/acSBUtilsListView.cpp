#include "acSBUtilsListView.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "TypInfo.h"
#include "WindowAttach.h"
#include "acMaskPaintWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"

namespace {

constexpr Integer kListKind = 10;
constexpr UINT kHeaderTextLength = 258;
// List-view messages after which the bars are read again.
constexpr UINT kLvInsertItemA = 0x1007;
constexpr UINT kLvSetItemTextA = 0x1016;

bool IsHeaderWindow(HWND Wnd) {
    wchar_t name[32]{};
    return Wnd && ::GetClassNameW(Wnd, name, 32) > 0 && ::lstrcmpiW(name, WC_HEADERW) == 0;
}

const TsGeneralData* ValidSection(TsCommonData* Data) {
    if (Data == nullptr) return nullptr;
    TsSkinManager* m = Data->SkinManager();
    if (m == nullptr || !m->IsValidSkinIndex(Data->SkinIndex)) return nullptr;
    return &m->gd()[static_cast<std::size_t>(Data->SkinIndex)];
}

}  // namespace

TacListViewWnd::TacListViewWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const String& SkinSection, bool Repaint)
    : TacEditWnd(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) {
    if (ASkinData != nullptr) SkinData->COC = kListKind;
    HoverColIndex = -1;
    FPressedColumn = -1;
}

void TacListViewWnd::AfterConstruction() {
    TacEditWnd::AfterConstruction();
    if (HWND header = ::FindWindowExW(CtrlHandle, nullptr, WC_HEADERW, nullptr)) HookHeader(header);
}

// ---- the header -------------------------------------------------------------------------

void TacListViewWnd::HookHeader(HWND Header) {
    if (Header == nullptr || Destroyed) return;
    FhWndHeader = Header;
    FhDefHeaderProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Header, GWLP_WNDPROC));
    AttachWindow(Header, this, TWndMethod::Of<&TacListViewWnd::HeaderWndProc>(this));
    FhHeaderProc = reinterpret_cast<void*>(&AttachedWndProc);
    ::InvalidateRect(Header, nullptr, TRUE);
}

void TacListViewWnd::UnhookHeader() {
    if (FhWndHeader != nullptr && FhHeaderProc != nullptr) {
        // The header's procedure goes back only while ours is still its.
        DetachWindow(FhWndHeader, this);
        if (::IsWindow(FhWndHeader)) ::InvalidateRect(FhWndHeader, nullptr, TRUE);
    }
    FhHeaderProc = nullptr;
    FhDefHeaderProc = nullptr;
    FhWndHeader = nullptr;
}

void TacListViewWnd::RepaintHeader() {
    if (FhWndHeader != nullptr && FhHeaderProc != nullptr)
        ::RedrawWindow(FhWndHeader, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

TRect TacListViewWnd::GetHeaderColumnRect(Integer Index) {
    if (FhWndHeader == nullptr) return TRect();
    Integer item = Index;
    if ((::GetWindowLongW(FhWndHeader, GWL_STYLE) & HDS_DRAGDROP) != 0) {
        const int count = static_cast<int>(::SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
        if (Index < 0 || Index >= count) return TRect();
        std::vector<int> order(static_cast<std::size_t>(count));
        if (::SendMessageW(FhWndHeader, HDM_GETORDERARRAY, static_cast<WPARAM>(count),
                           reinterpret_cast<LPARAM>(order.data())))
            item = order[static_cast<std::size_t>(Index)];
    }
    RECT r{};
    if (!::SendMessageW(FhWndHeader, HDM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r)))
        return TRect();
    return TRect(r.left, r.top, r.right, r.bottom);
}

Integer TacListViewWnd::ColumnAt(POINT P) {
    const int count = static_cast<int>(::SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const TRect r = GetHeaderColumnRect(i);
        if (P.x >= r.Left && P.x < r.Right && P.y >= r.Top && P.y < r.Bottom) return i;
    }
    return acHeaderEmptyArea;
}

void TacListViewWnd::PaintHeader(HDC DC) {
    if (FhWndHeader == nullptr) return;
    PAINTSTRUCT ps{};
    HDC dc = DC;
    POINT origin{0, 0};
    if (dc == nullptr) {
        dc = ::BeginPaint(FhWndHeader, &ps);
    } else {
        // Printed with the list: the header's place in the list's client area.
        ::MapWindowPoints(FhWndHeader, CtrlHandle, &origin, 1);
    }
    if (dc != nullptr) {
        RECT client{};
        ::GetClientRect(FhWndHeader, &client);
        const int count = static_cast<int>(::SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
        Integer right = 0;
        for (int i = 0; i < count; ++i) {
            TRect r = GetHeaderColumnRect(i);
            if (r.IsEmpty()) continue;
            ListLineHeight = r.Height();
            right = std::max(right, r.Right);
            ColumnSkinPaint(TRect(r.Left + origin.x, r.Top + origin.y, r.Right + origin.x, r.Bottom + origin.y), i, dc);
        }
        if (right < client.right)
            ColumnSkinPaint(TRect(right + origin.x, origin.y, client.right + origin.x, client.bottom + origin.y),
                            acHeaderEmptyArea, dc);
    }
    if (DC == nullptr) ::EndPaint(FhWndHeader, &ps);
}

void TacListViewWnd::ColumnSkinPaint(const TRect& ControlRect, Integer cIndex, HDC DC) {
    const Integer w = ControlRect.Width(), h = ControlRect.Height();
    TsSkinManager* manager = SkinData ? SkinData->SkinManager() : nullptr;
    if (w <= 0 || h <= 0 || manager == nullptr || FhWndHeader == nullptr) return;
    Integer state = 0;
    if (cIndex >= 0) {
        if (cIndex == FPressedColumn)
            state = 2;
        else if (FPressedColumn < 0 && cIndex == HoverColIndex)
            state = 1;
    }
    TControl* owner = OwnerControl();
    const TColor under = ColorToRGB(owner ? owner->Color() : clWindow);
    std::unique_ptr<TBitmap> bmp(CreateWorkBitmap(w, h));
    const Integer index = PaintSectionByName(bmp.get(), u"COLHEADER", u"BUTTON", nullptr, under, TPoint{0, 0}, manager,
                                             state);
    if (cIndex >= 0 && manager->IsValidSkinIndex(index)) {
        Integer item = cIndex;
        if ((::GetWindowLongW(FhWndHeader, GWL_STYLE) & HDS_DRAGDROP) != 0)
            item = static_cast<Integer>(::SendMessageW(FhWndHeader, HDM_ORDERTOINDEX, static_cast<WPARAM>(cIndex), 0));
        wchar_t text[kHeaderTextLength]{};
        HDITEMW hi{};
        hi.mask = HDI_TEXT | HDI_FORMAT | HDI_IMAGE;
        hi.pszText = text;
        hi.cchTextMax = kHeaderTextLength;
        if (::SendMessageW(FhWndHeader, HDM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&hi))) {
            const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(index)];
            const HDC bdc = bmp->Canvas()->Handle();
            HFONT font = reinterpret_cast<HFONT>(::SendMessageW(CtrlHandle, WM_GETFONT, 0, 0));
            const HGDIOBJ oldFont = font ? ::SelectObject(bdc, font) : nullptr;
            ::SetBkMode(bdc, TRANSPARENT);
            ::SetTextColor(bdc, static_cast<COLORREF>(ColorToRGB(StateProps(section, state).FontColor.Color)));
            RECT tr{4, 1, w - 4, h - 1};
            if (state == 2) ::OffsetRect(&tr, 1, 1);
            UINT flags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
            switch (hi.fmt & HDF_JUSTIFYMASK) {
            case HDF_RIGHT: flags |= DT_RIGHT; break;
            case HDF_CENTER: flags |= DT_CENTER; break;
            default: flags |= DT_LEFT; break;
            }
            ::DrawTextW(bdc, text, -1, &tr, flags);
            // The sort glyph, 6 pixels after the text.
            const bool down = (hi.fmt & HDF_SORTDOWN) != 0, up = (hi.fmt & HDF_SORTUP) != 0;
            if (down || up) {
                const Integer mi = manager->GetMaskIndex(down ? u"SCROLLBTNBOTTOM" : u"SCROLLBTNTOP", u"GLYPHMASK");
                if (mi >= 0 && static_cast<std::size_t>(mi) < manager->ma().size()) {
                    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(mi)];
                    SIZE ts{};
                    ::GetTextExtentPoint32W(bdc, text, ::lstrlenW(text), &ts);
                    const Integer room = tr.right - tr.left, shown = std::min<Integer>(ts.cx, room);
                    Integer start = tr.left;
                    if (flags & DT_RIGHT)
                        start = tr.right - shown;
                    else if (flags & DT_CENTER)
                        start = tr.left + (room - shown) / 2;
                    const Integer gh = MaskFrameHeight(mask);
                    TCacheInfo ci;
                    ci.FillColor = under;
                    DrawGlyphMask(bmp.get(), TPoint{start + shown + 6, (h - gh) / 2}, state, ci, mask, 1);
                }
            }
            if (oldFont) ::SelectObject(bdc, oldFont);
        }
    }
    const bool own = DC == nullptr;
    HDC dc = own ? ::GetDC(FhWndHeader) : DC;
    if (dc == nullptr) return;
    ::BitBlt(dc, ControlRect.Left, ControlRect.Top, w, h, bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (own) ::ReleaseDC(FhWndHeader, dc);
}

void TacListViewWnd::HeaderWndProc(TMessage& Message) {
    const HWND header = FhWndHeader;
    if (header == nullptr) return;
    if (Message.Msg == WM_NCDESTROY) {
        CallPreviousWndProc(header, this, Message);
        FhWndHeader = nullptr;
        FhHeaderProc = nullptr;
        FhDefHeaderProc = nullptr;
        return;
    }
    if (Destroyed || ViewStyle() != acLvReport) {
        CallPreviousWndProc(header, this, Message);
        return;
    }
    switch (Message.Msg) {
    case WM_PAINT:
        PaintHeader(nullptr);
        Message.Result = 0;
        return;
    case WM_ERASEBKGND: Message.Result = 1; return;
    case WM_WINDOWPOSCHANGING:
        CallPreviousWndProc(header, this, Message);
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        return;
    case WM_NCHITTEST: {
        CallPreviousWndProc(header, this, Message);
        POINT p{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
        ::ScreenToClient(header, &p);
        const Integer column = ColumnAt(p);
        if (column != HoverColIndex) {
            HoverColIndex = column;
            ::InvalidateRect(header, nullptr, FALSE);
        }
        return;
    }
    case WM_LBUTTONUP:
        FPressedColumn = -1;
        CallPreviousWndProc(header, this, Message);
        if (FhWndHeader) ::InvalidateRect(header, nullptr, FALSE);
        return;
    case WM_LBUTTONDOWN: {
        CallPreviousWndProc(header, this, Message);
        if (FhWndHeader == nullptr) return;
        HDHITTESTINFO hit{};
        hit.pt = POINT{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
        ::SendMessageW(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        // A press on a divider sizes the column: no column is pressed.
        FPressedColumn = (hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) != 0 ? -1 : ColumnAt(hit.pt);
        if (FPressedColumn == acHeaderEmptyArea) FPressedColumn = -1;
        FFlag = true;
        ::InvalidateRect(header, nullptr, FALSE);
        return;
    }
    default: break;
    }
    CallPreviousWndProc(header, this, Message);
}

// ---- the list ---------------------------------------------------------------------------

Integer TacListViewWnd::ViewStyle() {
    if (TControl* owner = OwnerControl(); owner && GetPropInfo(owner, u"ViewStyle") != nullptr)
        return static_cast<Integer>(GetOrdProp(owner, u"ViewStyle"));
    switch (::SendMessageW(CtrlHandle, LVM_GETVIEW, 0, 0)) {
    case LV_VIEW_ICON: return acLvIcon;
    case LV_VIEW_DETAILS: return acLvReport;
    case LV_VIEW_SMALLICON: return acLvSmallIcon;
    default: return acLvList;
    }
}

Integer TacListViewWnd::AllColWidth() {
    const HWND header = FhWndHeader ? FhWndHeader : ::FindWindowExW(CtrlHandle, nullptr, WC_HEADERW, nullptr);
    const int count = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    Integer sum = 0;
    for (int i = 0; i < count; ++i) {
        const Integer w = static_cast<Integer>(::SendMessageW(CtrlHandle, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
        if (w > 999999 || w < -999999) break;
        sum += w;
    }
    return sum;
}

void TacListViewWnd::SaveStdParams() {
    TacEditWnd::SaveStdParams();
    FStdBkColor = static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0));
    FStdTextColor = static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0));
    FStdTextBkColor = static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0));
    FStdSaved = true;
}

void TacListViewWnd::RestoreStdParams() {
    if (CtrlHandle && ::IsWindow(CtrlHandle)) {
        // The colours the list had before skinning.
        if (FStdSaved) {
            ::SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(FStdBkColor));
            ::SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(FStdTextBkColor));
            ::SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(FStdTextColor));
        } else {
            ::SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(clWindowText)));
        }
    }
    UnhookHeader();
    TacEditWnd::RestoreStdParams();
}

void TacListViewWnd::SetSkinParams() {
    TacEditWnd::SetSkinParams();
    if (Destroyed) return;
    COLORREF back, text;
    if (DlgMode) {
        back = static_cast<COLORREF>(ColorToRGB(clWindow));
        text = static_cast<COLORREF>(ColorToRGB(clWindowText));
    } else if (const TsGeneralData* section = ValidSection(SkinData)) {
        back = static_cast<COLORREF>(ColorToRGB(StateProps(*section, 0).Color));
        text = static_cast<COLORREF>(ColorToRGB(StateProps(*section, 0).FontColor.Color));
    } else {
        return;
    }
    if (static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0)) != back)
        ::SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(back));
    if (static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0)) != back)
        ::SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(back));
    if (static_cast<COLORREF>(::SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0)) != text)
        ::SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
}

void TacListViewWnd::ThumbTrack(TMessage& Message, bool Vertical) {
    // The position comes in lParam (the adapter answers skin command 51),
    // or, from elsewhere, in the high word of wParam.
    const Integer pos = Message.LParam != 0 ? static_cast<Integer>(Message.LParam) : HIWORD(Message.WParam);
    const TacScrollTrackingState& s = ScrollTrackingState;
    const bool dragging = s.Wnd == CtrlHandle && fThumbTracking;
    const Integer last = dragging ? s.LastPos : ::GetScrollPos(CtrlHandle, Vertical ? SB_VERT : SB_HORZ);
    Message.Result = 0;
    if (pos == last) return;
    Integer step = pos - last;
    const Integer style = ViewStyle();
    RECT item{};
    item.left = LVIR_BOUNDS;
    const bool haveItem = ::SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)) != 0;
    // In the list style the horizontal bar counts columns of items, and so
    // does the list's scrolling; elsewhere the view scrolls by pixels, and
    // the vertical bar of the report view counts lines.
    if (Vertical && style == acLvReport && haveItem) step *= item.bottom - item.top;
    ::SendMessageW(CtrlHandle, LVM_SCROLL, Vertical ? 0 : static_cast<WPARAM>(step),
                   Vertical ? static_cast<LPARAM>(step) : 0);
}

void TacListViewWnd::acWndProc(TMessage& Message) {
    if (Destroyed || SkinData == nullptr || !SkinData->Skinned()) {
        TacEditWnd::acWndProc(Message);
        return;
    }
    const UINT msg = Message.Msg;
    if (msg == SkinCommandMessage) {
        switch (SkinCommandOf(Message.WParam)) {
        case AC_REFRESH:
            if (Message.LParam != reinterpret_cast<LPARAM>(SkinData->SkinManager())) break;
            TacEditWnd::acWndProc(Message);
            if (!Destroyed) RepaintHeader();
            return;
        case AC_BEFORESCROLL:
            // The position of a thumb drag comes in lParam (see ThumbTrack).
            Message.Result = 1;
            return;
        default: break;
        }
        TacEditWnd::acWndProc(Message);
        return;
    }
    switch (msg) {
    case WM_PAINT:
        if (!ParamsChanged) SetSkinParams();
        if (Destroyed) return;
        break;
    case WM_NCHITTEST:
        if (HoverColIndex != -1 || FPressedColumn != -1) {
            HoverColIndex = -1;
            FPressedColumn = -1;
            RepaintHeader();
        }
        break;
    case WM_NCPAINT: Message.Result = 0; break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (LOWORD(Message.WParam) == SB_THUMBTRACK) {
            ThumbTrack(Message, msg == WM_VSCROLL);
            return;
        }
        // lParam of a scroll message names a scroll-bar control: a position
        // left there would be taken for one.
        Message.LParam = 0;
        break;
    default: break;
    }

    TacEditWnd::acWndProc(Message);
    if (Destroyed) return;

    switch (msg) {
    case WM_STYLECHANGED:
    case kLvInsertItemA:
    case kLvSetItemTextA:
        if (!SkinData->FUpdating) RefreshScrollBars(this, true);
        break;
    case WM_LBUTTONUP:
        if (::GetCapture() == CtrlHandle) ::ReleaseCapture();
        break;
    case WM_PARENTNOTIFY:
        if (LOWORD(Message.WParam) == WM_CREATE) {
            const HWND child = reinterpret_cast<HWND>(Message.LParam);
            if (IsHeaderWindow(child)) {
                if (FhWndHeader != nullptr) UnhookHeader();
                HookHeader(child);
            }
        }
        break;
    case WM_PRINT:
        if (ViewStyle() == acLvReport && FhWndHeader != nullptr && Message.WParam != 0 && Message.Result != 2) {
            const HDC dc = reinterpret_cast<HDC>(Message.WParam);
            const TRect client = PrintClipRect();
            const int saved = ::SaveDC(dc);
            ::IntersectClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
            ::OffsetViewportOrgEx(dc, client.Left, client.Top, nullptr);
            PaintHeader(dc);
            ::RestoreDC(dc, saved);
        }
        break;
    default: break;
    }
}
