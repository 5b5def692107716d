#include "sRichEdit.h"

#include "acPixels.h"
#include "acSBUtils.h"
#include "acSBUtilsEdit.h"
#include "acEditPane.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

using namespace acEditPane;

TsRichEdit::TsRichEdit(TComponent* AOwner) : TacEditPane<TRichEdit>(AOwner) { MakeSkinParts(COC_TsRichEdit); }

TsRichEdit::~TsRichEdit() { FreeSkinParts(); }

void TsRichEdit::AfterConstruction() {
    TRichEdit::AfterConstruction();
    FCommonData->SetDefaultSection();
    if (!HasState(csLoading)) FCommonData->Loaded();
}

void TsRichEdit::Loaded() {
    TRichEdit::Loaded();
    FCommonData->Loaded();
}

// Runs for every window the control makes (before its text goes in), so a
// window made anew keeps the raised limit.
void TsRichEdit::SetTextLimit(int value) {
    if (value > 0) {
        TRichEdit::SetTextLimit(value);
        return;
    }
    if (HandleAllocated()) ::SendMessageW(Handle(), EM_EXLIMITTEXT, 0, TextLimit);
}

// The window made anew without the skin shows the plain font colour.
void TsRichEdit::SkinRemoved() {
    if (!FCommonData->CustomFont()) SetDefaultTextColor(Font()->Color());
}

void TsRichEdit::PrintSkinned(HDC DC) {
    auto* adapter = dynamic_cast<TacEditWnd*>(ListSW);
    const HWND wnd = Handle();
    RECT clientRect{};
    ::GetClientRect(wnd, &clientRect);
    // Where the client lies in the window: the adapter's frame (and bars)
    // around it.
    TRect client = adapter ? adapter->ClientRect() : TRect(0, 0, clientRect.right, clientRect.bottom);
    const int saved = ::SaveDC(DC);
    ::IntersectClipRect(DC, client.Left, client.Top, client.Left + clientRect.right, client.Top + clientRect.bottom);
    POINT old{};
    ::OffsetViewportOrgEx(DC, client.Left, client.Top, &old);
    // The control's colour first: a rich edit may leave a DC of someone
    // else's unerased.
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color())));
    ::FillRect(DC, &clientRect, brush);
    ::DeleteObject(brush);
    ::SendMessageW(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);

    // The text as the control lays it out for a page of the client's size.
    bool drawn = false;
    const LRESULT length = ::SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0);
    if (length > 0) {
        const int ppiX = ::GetDeviceCaps(DC, LOGPIXELSX), ppiY = ::GetDeviceCaps(DC, LOGPIXELSY);
        FORMATRANGE range{};
        range.hdc = DC;
        range.hdcTarget = DC;
        range.rc = RECT{0, 0, ::MulDiv(clientRect.right - 2, 1440, ppiX > 0 ? ppiX : 96),
                        ::MulDiv(clientRect.bottom - 2, 1440, ppiY > 0 ? ppiY : 96)};
        range.rcPage = range.rc;
        range.chrg.cpMin = 0;
        range.chrg.cpMax = -1;
        const int inner = ::SaveDC(DC);
        ::OffsetViewportOrgEx(DC, 1, 1, nullptr);
        drawn = ::SendMessageW(wnd, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)) > 0;
        ::RestoreDC(DC, inner);
        ::SendMessageW(wnd, EM_FORMATRANGE, 0, 0);
        // Where the control cannot render a range (some rich edit versions
        // leave EM_FORMATRANGE unimplemented), the client's image on the
        // screen is the best picture of the text there is.
        if (!drawn && ::IsWindowVisible(wnd)) {
            const HDC screen = ::GetDC(wnd);
            if (screen) {
                ::BitBlt(DC, 0, 0, clientRect.right, clientRect.bottom, screen, 0, 0, SRCCOPY);
                ::ReleaseDC(wnd, screen);
            }
        }
    }
    ::RestoreDC(DC, saved);
    FCommonData->SetUpdating(false);
    if (adapter) adapter->PrintFrame(DC);
}

void TsRichEdit::WndProc(TMessage& Message) {
    if (!MayActOnSkinCommand(Message)) return;   // an address this thread did not send
    if (Message.Msg == SkinCommandMessage) {
        if (AnswerPaneCommand(Message)) return;
        switch (SkinCommandOf(Message.WParam)) {
        case AC_REFRESH:
            if (OwnManager(FCommonData, Message.LParam) && Visible()) {
                HandleCommonMessage(Message, FCommonData);
                TsSkinManager* m = FCommonData->SkinManager();
                if (FCommonData->Skinned() && !FCommonData->CustomFont() && m &&
                    m->IsValidSkinIndex(FCommonData->SkinIndex)) {
                    const TColor c = m->gd()[static_cast<std::size_t>(FCommonData->SkinIndex)].FontColor.Color;
                    if (Font()->Color() != c) Font()->SetColor(c);
                    SetDefaultTextColor(c);
                }
                AttachAdapter(FCommonData, ListSW);
                if (HandleAllocated()) ::SendMessageW(Handle(), WM_NCPAINT, 0, 0);
            }
            return;
        case AC_GETDISKIND:
            if (Message.LParam) *reinterpret_cast<TsDisabledKind*>(Message.LParam) = FDisabledKind;
            return;
        default: break;
        }
    }
    if (!ControlIsReady(this) || !FCommonData->Skinned()) {
        if (Message.Msg != SkinCommandMessage || !HandleCommonMessage(Message, FCommonData)) TRichEdit::WndProc(Message);
        BoundLabelMessage(FBoundLabel, Message, FDisabledKind);
        return;
    }
    if (Message.Msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == AC_ENDPARENTUPDATE &&
        FCommonData->FUpdating) {
        FCommonData->SetUpdating(false);
        if (HandleAllocated()) ::SendMessageW(Handle(), WM_NCPAINT, 0, 0);
        return;
    }
    if (Message.Msg == WM_PRINT && Message.WParam != 0 && ListSW) {
        PrintSkinned(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 2;
        return;
    }
    if (HandleCommonMessage(Message, FCommonData)) return;
    TRichEdit::WndProc(Message);
    switch (Message.Msg) {
    case WM_SIZE:
    case EM_STREAMIN:
        if (HandleAllocated()) ::SendMessageW(Handle(), WM_NCPAINT, 0, 0);
        break;
    case CM_ENABLEDCHANGED:
        if (!FCommonData->CustomColor()) {
            TsSkinManager* m = FCommonData->SkinManager();
            if (m && m->IsValidSkinIndex(FCommonData->SkinIndex)) {
                const TsGeneralData& s = m->gd()[static_cast<std::size_t>(FCommonData->SkinIndex)];
                SetColor(s.Color);
                const TColor font = Enabled() ? s.FontColor.Color : MixColorsHalf(s.FontColor.Color, s.Color);
                Font()->SetColor(font);
                SetDefaultTextColor(font);
            }
        }
        Invalidate();
        break;
    case CM_SHOWINGCHANGED:
        if (Showing()) AttachAdapter(FCommonData, ListSW);
        break;
    default: break;
    }
    BoundLabelMessage(FBoundLabel, Message, FDisabledKind);
}
