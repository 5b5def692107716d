#include "acGlow.h"

#include <algorithm>

#include "acLayered.h"
#include "acMaskPaintWin.h"
#include "sCommonDataWin.h"
#include "sConstWin.h"
#include "sGraphUtils.h"
#include "sVclUtils.h"

BLENDFUNCTION acGlowBlend{};

namespace {

// The glow window: a borderless, layered, click-through tool window that
// never takes the activation, owned by the window it glows over so that it
// stays above it.
class TacGlowForm : public TForm {
public:
    TacGlowForm(TComponent* AOwner, HWND OwnerWnd) : TForm(AOwner), FOwnerWnd(OwnerWnd) {
        BorderStyle = TFormBorderStyle::bsNone;
    }

protected:
    void CreateParams(TCreateParams& Params) override {
        TForm::CreateParams(Params);
        Params.ExStyle |= WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
        if (FOwnerWnd && ::IsWindow(FOwnerWnd)) Params.WndParent = FOwnerWnd;
    }

private:
    HWND FOwnerWnd;
};

// Identifiers: the slot in the list in the low bits, above it a generation
// counted over every glow ever shown, so that the identifier of a hidden or
// cleared glow never names a later one in the same slot.
constexpr int kSlotBits = 12;
constexpr Integer kSlotMask = (1 << kSlotBits) - 1;
constexpr Integer kMaxGeneration = (1 << (31 - kSlotBits)) - 1;

struct TGlowSlot {
    TacGlowEffect* Effect = nullptr;
    Integer ID = -1;
};

std::vector<TGlowSlot> gGlows;
Integer gGeneration = 0;

Integer NextID(std::size_t Slot) {
    gGeneration = gGeneration >= kMaxGeneration ? 1 : gGeneration + 1;
    return (gGeneration << kSlotBits) | static_cast<Integer>(Slot);
}

TGlowSlot* SlotOf(Integer ID) {
    if (ID < 0) return nullptr;
    const auto slot = static_cast<std::size_t>(ID & kSlotMask);
    if (slot >= gGlows.size() || gGlows[slot].ID != ID || !gGlows[slot].Effect) return nullptr;
    return &gGlows[slot];
}

// Where a new top-level window goes to lie just above Wnd: behind the window
// right above it, or on top when none is (or only topmost ones are, which
// would make the glow topmost as well).
HWND InsertAfterFor(HWND Wnd) {
    if (!Wnd || !::IsWindow(Wnd)) return HWND_TOP;
    const HWND above = ::GetWindow(Wnd, GW_HWNDPREV);
    if (!above) return HWND_TOP;
    const bool wndTop = (::GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const bool aboveTop = (::GetWindowLongW(above, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (aboveTop && !wndTop) return HWND_TOP;
    return above;
}

}  // namespace

// ---------------------------------------------------------------------------
// TacGlowEffect

TacGlowEffect::~TacGlowEffect() {
    FreeWindow(false);
    delete AlphaBmp;
}

void TacGlowEffect::FreeWindow(bool AtOnce) {
    if (!Wnd) return;
    TForm* wnd = Wnd;
    Wnd = nullptr;
    wnd->WindowProc = OldWndProc;
    // Off the screen at once, whenever the object itself goes.
    if (wnd->HandleAllocated()) ::ShowWindow(wnd->Handle(), SW_HIDE);
    if (AtOnce || !Application || Application->Terminated())
        wnd->Free();
    else
        wnd->Release();
}

void TacGlowEffect::CreateAlphaBmp(Integer Width, Integer Height) {
    delete AlphaBmp;
    AlphaBmp = CreateWorkBitmap(Width, Height);
    const TacBits32 bits = Bits32Of(AlphaBmp);
    for (int y = 0; y < bits.Height; ++y) std::fill(bits.Row(y), bits.Row(y) + bits.Width, 0u);
    if (SkinManager && SkinManager->IsValidImgIndex(MaskIndex))
        DrawSkinRect(AlphaBmp, TRect{0, 0, Width, Height}, false, 0,
                     SkinManager->ma()[static_cast<std::size_t>(MaskIndex)], EmptyCI);
    // Key words copied from the mask's sides are clear pixels: a layered
    // window would show their colour.
    for (int y = 0; y < bits.Height; ++y)
        std::replace(bits.Row(y), bits.Row(y) + bits.Width, kKeyPixel, 0u);
}

bool TacGlowEffect::Show(const TRect& R, const TRect& RealRect, HWND WndHandle, Integer /*Alpha*/) {
    if (Wnd) return true;
    if (!SkinManager || !SkinManager->IsValidImgIndex(MaskIndex)) return false;
    const Integer ml = SkinManager->MaskWidthLeft(MaskIndex);
    const Integer mt = SkinManager->MaskWidthTop(MaskIndex);
    const Integer mr = SkinManager->MaskWidthRight(MaskIndex);
    const Integer mb = SkinManager->MaskWidthBottom(MaskIndex);
    Integer w = R.Width() + ml + mr - 2 * Margin;
    Integer h = R.Height() + mt + mb - 2 * Margin;
    // Nothing of the control is visible: no glow either.
    if (w <= 0 || h <= 0 || RealRect.Width() <= 0 || RealRect.Height() <= 0) return false;
    CreateAlphaBmp(w, h);

    // A partly hidden control: the image is cut to the visible part.
    Integer cl = 0, ct = 0;
    if (RealRect.Width() != R.Width() || RealRect.Height() != R.Height()) {
        cl = RealRect.Left != 0 ? ml + RealRect.Left - Margin : 0;
        ct = RealRect.Top != 0 ? mt + RealRect.Top - Margin : 0;
        const Integer cr = RealRect.Right == R.Width() ? 0
                           : cl != 0               ? w - cl - RealRect.Width()
                                                   : R.Width() + mr - RealRect.Width() - Margin;
        const Integer cb = RealRect.Bottom == R.Height() ? 0
                           : ct != 0                 ? h - ct - RealRect.Height()
                                                     : R.Height() + mb - RealRect.Height() - Margin;
        w -= cl + cr;
        h -= ct + cb;
        if (w <= 0 || h <= 0 || cl < 0 || ct < 0 || cl + w > AlphaBmp->Width() || ct + h > AlphaBmp->Height()) {
            delete AlphaBmp;
            AlphaBmp = nullptr;
            return false;
        }
        if (cl != 0 || ct != 0 || w != AlphaBmp->Width() || h != AlphaBmp->Height()) {
            TBitmap* part = CreateWorkBitmap(w, h);
            const TacBits32 src = Bits32Of(AlphaBmp);
            const TacBits32 dst = Bits32Of(part);
            for (int y = 0; y < h; ++y) std::copy(src.Row(ct + y) + cl, src.Row(ct + y) + cl + w, dst.Row(y));
            delete AlphaBmp;
            AlphaBmp = part;
        }
    }

    // The glow is a top-level window: it goes by the top-level window of
    // WndHandle (WndHandle itself unless it is a child window).
    const HWND owner = WndHandle && ::IsWindow(WndHandle) ? ::GetAncestor(WndHandle, GA_ROOT) : nullptr;
    const bool topmost = owner && (::GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    // Taken before the glow window exists: a new window starts on top.
    const HWND insertAfter = topmost ? HWND_TOPMOST : InsertAfterFor(owner);
    const POINT pos{R.Left + cl + Margin - ml, R.Top + ct + Margin - mt};

    Wnd = New<TacGlowForm>(nullptr, owner);
    Wnd->Tag = -98;   // no part of the engine skins it
    OldWndProc = Wnd->WindowProc;
    Wnd->WindowProc = TWndMethod::Of<&TacGlowEffect::NewWndProc>(this);
    Wnd->SetControlStyle(Wnd->ControlStyle() & ~csCaptureMouse);
    if (topmost) Wnd->SetFormStyle(TFormStyle::fsStayOnTop);
    Wnd->SetBounds(pos.x, pos.y, w, h);
    Wnd->HandleNeeded();
    const HWND wnd = Wnd->Handle();
    ::SetWindowPos(wnd, insertAfter, pos.x, pos.y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    acGlowBlend.SourceConstantAlpha = 255;
    POINT at = pos;
    acUpdateLayeredBitmap(wnd, AlphaBmp, &at, acGlowBlend);
    Wnd->ShowNoActivate();
    delete AlphaBmp;
    AlphaBmp = nullptr;
    return true;
}

void TacGlowEffect::NewWndProc(TMessage& Message) {
    if (Message.Msg == WM_NCHITTEST) {
        Message.Result = HTTRANSPARENT;
        return;
    }
    if (OldWndProc) OldWndProc(Message);
}

// ---------------------------------------------------------------------------
// The glow list

Integer ShowGlow(const TRect& R, const TRect& RealRect, const String& SkinSection, TsSkinManager* Manager,
                 HWND WndHandle, Integer Alpha, Integer Margin, const String& Name) {
    if (!LayeredWindowsAvailable()) return -1;
    TsSkinManager* manager = Manager ? Manager : DefaultManager;
    if (!manager) return -1;
    const Integer mask = manager->GetMaskIndex(SkinSection, Name + u"0");
    if (!manager->IsValidImgIndex(mask)) return -1;
    if (gGlows.size() > static_cast<std::size_t>(kSlotMask)) return -1;
    auto* effect = new TacGlowEffect;
    effect->SkinManager = manager;
    effect->MaskIndex = mask;
    effect->Margin = Margin;
    const std::size_t slot = gGlows.size();
    const Integer id = NextID(slot);
    gGlows.push_back(TGlowSlot{effect, id});
    bool shown = false;
    try {
        shown = effect->Show(R, RealRect, WndHandle, Alpha);
    } catch (...) {
        HideGlow(id);
        throw;
    }
    if (!shown) {
        HideGlow(id);
        return -1;
    }
    return id;
}

void HideGlow(Integer ID) {
    TGlowSlot* slot = SlotOf(ID);
    if (!slot) return;
    TacGlowEffect* effect = slot->Effect;
    *slot = TGlowSlot{};
    // Empty slots at the end are dropped; the identifiers keep their slots.
    while (!gGlows.empty() && !gGlows.back().Effect) gGlows.pop_back();
    delete effect;
}

void ClearGlows(bool RestoreWindows) {
    std::vector<TGlowSlot> glows;
    glows.swap(gGlows);
    for (TGlowSlot& g : glows) {
        if (!g.Effect) continue;
        if (RestoreWindows) g.Effect->FreeWindow(true);
        delete g.Effect;
    }
}

Integer GlowCount() {
    return static_cast<Integer>(std::count_if(gGlows.begin(), gGlows.end(), [](const TGlowSlot& g) { return g.Effect; }));
}

HWND GlowWindow(Integer ID) {
    const TGlowSlot* slot = SlotOf(ID);
    return slot && slot->Effect->Wnd && slot->Effect->Wnd->HandleAllocated() ? slot->Effect->Wnd->Handle() : nullptr;
}

// ---------------------------------------------------------------------------
// Unit start-up and shut-down

void acGlowInitialization() {
    acGlowBlend = acAlphaBlend(255);
    acGlowHooks.ShowGlow = [](const TRect& R, const TRect& Visible, const String& Section, TsSkinManager* Manager,
                              HWND Parent, Byte Alpha, Integer Margin, const String& MaskName) -> Integer {
        return ShowGlow(R, Visible, Section, Manager, Parent, Alpha, Margin, MaskName);
    };
    acGlowHooks.HideGlow = [](Integer ID) { HideGlow(ID); };
    acGlowHooks.ClearGlows = [](bool RestoreWindows) { ClearGlows(RestoreWindows); };
}

void acGlowFinalization() {
    ClearGlows(false);
    acGlowHooks = TacGlowHooks{};
}
