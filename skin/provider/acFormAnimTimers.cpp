#include "acFormAnimTimers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "acDwm.h"
#include "acLayered.h"
#include "acLayeredForms.h"
#include "acMaskPaintWin.h"
#include "acSkinImages.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

namespace {

constexpr UINT kOverlayPosFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr DWORD kOverlayExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;
constexpr DWORD kOverlayCreateExStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT;
constexpr UINT kReorderFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT kStepPosFlags = kReorderFlags | SWP_SHOWWINDOW;

Integer NearestInt(double Value) { return static_cast<Integer>(std::nearbyint(Value)); }

Byte ClampAlpha(Integer Value) { return static_cast<Byte>(std::clamp<Integer>(Value, 0, 255)); }

HWND WndOf(TCustomForm* Form) { return Form && Form->HandleAllocated() ? Form->Handle() : nullptr; }

void ClearBitmap(TBitmap* Bmp) {
    const TacBits32 bits = Bits32Of(Bmp);
    if (!bits.Valid()) return;
    for (int y = 0; y < bits.Height; ++y) std::memset(bits.Row(y), 0, static_cast<std::size_t>(bits.Width) * 4);
}

// Copies the top-left W x H of Src at (SrcX, SrcY) into Dst at (0, 0).
void CopyImageInto(TBitmap* Dst, const TacImage32& Src, Integer SrcX, Integer SrcY) {
    const TacBits32 dst = Bits32Of(Dst);
    if (!dst.Valid()) return;
    for (int y = 0; y < dst.Height; ++y) {
        const Integer sy = SrcY + y;
        if (sy < 0 || sy >= Src.Height()) break;
        const std::uint32_t* s = Src.Row(sy);
        std::uint32_t* d = dst.Row(y);
        for (int x = 0; x < dst.Width; ++x) {
            const Integer sx = SrcX + x;
            if (sx < 0 || sx >= Src.Width()) break;
            d[x] = s[sx];
        }
    }
}

// A user title button's glyph centred on Img: a 32-bit glyph through its
// alpha, any other with its bottom-left pixel's colour as the transparent one.
void DrawTitleGlyph(TBitmap* Img, TBitmap* Glyph, bool Pressed) {
    if (!Glyph || Glyph->Empty()) return;
    const Integer gw = Glyph->Width();
    const Integer gh = Glyph->Height();
    std::unique_ptr<TBitmap> copy(CreateWorkBitmap(gw, gh));
    ::BitBlt(copy->Canvas()->Handle(), 0, 0, gw, gh, Glyph->Canvas()->Handle(), 0, 0, SRCCOPY);
    ::GdiFlush();
    const bool alpha = Glyph->PixelFormat() == pf32bit;
    const TacBits32 src = Bits32Of(copy.get());
    const TacBits32 dst = Bits32Of(Img);
    if (!src.Valid() || !dst.Valid()) return;
    const std::uint32_t key = src.At(0, gh - 1) & 0xFFFFFF;
    const Integer x0 = (dst.Width - gw) / 2 + (Pressed ? 1 : 0);
    const Integer y0 = (dst.Height - gh) / 2 + (Pressed ? 1 : 0);
    for (int y = 0; y < gh; ++y) {
        for (int x = 0; x < gw; ++x) {
            if (!dst.Contains(x0 + x, y0 + y)) continue;
            const std::uint32_t s = src.At(x, y);
            std::uint32_t& d = dst.At(x0 + x, y0 + y);
            if (!alpha) {
                if ((s & 0xFFFFFF) != key) d = s | 0xFF000000u;
                continue;
            }
            const std::uint32_t a = s >> 24;
            std::uint32_t out = 0;
            for (int c = 0; c < 32; c += 8) {
                const std::uint32_t sc = (s >> c) & 0xFF;
                const std::uint32_t dc = (d >> c) & 0xFF;
                out |= (((sc * a + dc * (255 - a)) / 255) & 0xFF) << c;
            }
            d = out;
        }
    }
}

}  // namespace

// ---- caption-button fade ------------------------------------------------------

TacSBAnimation::TacSBAnimation(TComponent* AOwner) : TTimer(AOwner) {
    OnTimer = TNotifyEvent::Of<&TacSBAnimation::OnAnimTimer>(this);
}

TacSBAnimation::~TacSBAnimation() {
    SetEnabled(false);
    FreeOverlay();
    if (PBtnData && PBtnData->Timer == this) PBtnData->Timer = nullptr;
}

void TacSBAnimation::FreeOverlay() {
    if (AForm) {
        TForm* form = AForm;
        AForm = nullptr;
        form->Free();
    }
    FreeAndNil(ABmp);
}

TsSkinManager* TacSBAnimation::Manager() const {
    TsSkinManager* m = SkinData ? SkinData->SkinManager() : nullptr;
    if (!m) m = DefaultManager;
    return m && m->Active() ? m : nullptr;
}

Integer TacSBAnimation::Step() const {
    if (MaxIterations == 0) return 255;
    return std::max(255 / MaxIterations, 0);
}

void TacSBAnimation::StartAnimation(Integer NewState, bool ToUp) {
    if (NewState == CurrentState) return;
    CurrentState = NewState;
    if (NewState != 0) {
        if (NewState == 2) FreeOverlay();
        CurrentLevel = 1;
        Up = ToUp;
        UpdateForm(ClampAlpha(Step()));
        CurrentLevel = 2;
    } else {
        Up = false;
        --CurrentLevel;
        UpdateForm(ClampAlpha(Step()));
    }
    SetEnabled(MaxIterations > 1);
}

void TacSBAnimation::OnAnimTimer(TObject*) {
    if (!Enabled() || !PBtnData) return;
    if (Up) {
        if (CurrentLevel < MaxIterations) {
            UpdateForm(ClampAlpha(Step() * CurrentLevel));
            ++CurrentLevel;
        } else {
            CheckMouseLeave();
            if (HasState(csDestroying)) return;
            // A fade-out started by the mouse leaving has its own count now.
            if (Up && MaxIterations != -1) {
                MaxIterations = -1;
                UpdateForm(255);
            }
        }
    } else if (CurrentLevel > 0) {
        UpdateForm(ClampAlpha(Step() * CurrentLevel));
        --CurrentLevel;
    } else {
        CurrentState = -1;
        SetEnabled(false);
        FreeOverlay();
    }
}

void TacSBAnimation::CheckMouseLeave() {
    if (!PBtnData || !FormHandle) return;
    POINT p{};
    RECT wr{};
    if (!::GetCursorPos(&p) || !::GetWindowRect(FormHandle, &wr)) return;
    const RECT b{PBtnData->Rect.Left, PBtnData->Rect.Top, PBtnData->Rect.Right, PBtnData->Rect.Bottom};
    const POINT local{p.x - wr.left, p.y - wr.top};
    if (::PtInRect(&b, local)) return;
    SetEnabled(false);
    ::SendMessageW(FormHandle, WM_MOUSELEAVE, 0, 0);
}

Integer TacSBAnimation::Offset() const {
    TsSkinManager* m = Manager();
    if (!m || !PBtnData || CurrentState != 1 || !m->AllowGlowing() || !m->SkinData()) return 0;
    switch (PBtnData->HitCode) {
    case HTCAPTIONBTN_MIN: return m->SkinData()->BIMinGlowMargin;
    case HTCAPTIONBTN_MAX: return m->SkinData()->BIMaxGlowMargin;
    case HTCAPTIONBTN_CLOSE: return m->SkinData()->BICloseGlowMargin;
    default: return 0;
    }
}

Integer TacSBAnimation::GlowMaskIndex(Integer ImageIndex) const {
    TsSkinManager* m = Manager();
    if (!m || ImageIndex < 0 || static_cast<std::size_t>(ImageIndex) >= m->ma().size()) return -1;
    const String name = m->ma()[static_cast<std::size_t>(ImageIndex)].PropertyName + u"GLOW" + u"0";
    return m->GetMaskIndex(u"GLOBALINFO", name);
}

bool TacSBAnimation::GlowApplies() const {
    TsSkinManager* m = Manager();
    if (!m || !PBtnData || CurrentState != 1 || !m->AllowGlowing()) return false;
    const Cardinal hit = PBtnData->HitCode;
    return hit == HTCAPTIONBTN_MIN || hit == HTCAPTIONBTN_MAX || hit == HTCAPTIONBTN_CLOSE;
}

TRect TacSBAnimation::GetFormBounds() const {
    if (!PBtnData || !FormHandle) return TRect(0, 0, 0, 0);
    RECT wr{};
    ::GetWindowRect(FormHandle, &wr);
    const TRect& btn = PBtnData->Rect;
    TRect r(wr.left + btn.Left, wr.top + btn.Top, wr.left + btn.Left, wr.top + btn.Top);
    const Integer offset = Offset();
    const Integer glow = offset != 0 ? GlowMaskIndex(PBtnData->ImageIndex) : -1;
    if (glow >= 0) {
        const TsMaskData& mask = Manager()->ma()[static_cast<std::size_t>(glow)];
        r.Left -= offset;
        r.Top -= offset;
        r.Right = r.Left + std::max(MaskFrameWidth(mask), 0);
        r.Bottom = r.Top + std::max(MaskFrameHeight(mask), 0);
    } else {
        r.Right = r.Left + std::max(btn.Width(), 0);
        r.Bottom = r.Top + std::max(btn.Height(), 0);
    }
    return r;
}

void TacSBAnimation::MakeForm() {
    if (AForm) return;
    AForm = New<TForm>(nullptr);
    AForm->Tag = -98;   // the engine never skins its own windows
    AForm->BorderStyle = TFormBorderStyle::bsNone;
    AForm->ExtraExStyle |= kOverlayCreateExStyle;
    AForm->HandleNeeded();
}

void TacSBAnimation::MakeImg() {
    if (!PBtnData) return;
    if (CurrentState == 0 && ABmp) return;
    TsSkinManager* m = Manager();
    const TRect bounds = GetFormBounds();
    const Integer w = std::max(bounds.Width(), 1);
    const Integer h = std::max(bounds.Height(), 1);
    Integer image = PBtnData->ImageIndex;
    auto* provider = dynamic_cast<TsSkinProvider*>(Owner());
    if (m && provider && PBtnData->HitCode == HTCAPTIONBTN_MIN && FormHandle && ::IsIconic(FormHandle))
        image = m->GetMaskIndex(u"GLOBALINFO", u"BICONNORM");
    const bool validImage = m && image >= 0 && static_cast<std::size_t>(image) < m->ma().size();
    Integer glow = GlowApplies() && validImage ? GlowMaskIndex(image) : -1;
    if (!ABmp) ABmp = CreateWorkBitmap(w, h);
    else if (ABmp->Width() != w || ABmp->Height() != h) ABmp->SetSize(w, h);
    ClearBitmap(ABmp);
    if (glow >= 0) {
        const TsMaskData& mask = m->ma()[static_cast<std::size_t>(glow)];
        if (mask.Bmp) CopyImageInto(ABmp, *mask.Bmp, 0, 0);
        else if (m->MasterBitmap()) CopyImageInto(ABmp, *m->MasterBitmap(), mask.R.Left, mask.R.Top);
    } else {
        const TsMaskData* mask = validImage ? &m->ma()[static_cast<std::size_t>(image)] : nullptr;
        if (mask) {
            TCacheInfo ci;
            ci.Bmp = ABmp;
            ci.X = 0;
            ci.Y = 0;
            ci.Ready = true;
            DrawGlyphMask(ABmp, TPoint(0, 0), PBtnData->State, ci, *mask, 1);
        }
        if (!BorderForm && (!mask || mask->MaskType == 0)) {
            ::GdiFlush();
            const TacBits32 bits = Bits32Of(ABmp);
            if (bits.Valid())
                for (int y = 0; y < bits.Height; ++y)
                    for (int x = 0; x < bits.Width; ++x)
                        if (bits.At(x, y) == 0x00FF00FFu) bits.At(x, y) = 0xFFFF00FFu;
        }
    }
    if (provider && PBtnData->HitCode >= static_cast<Cardinal>(HTUDBTN) && provider->TitleButtons()) {
        const Integer index = static_cast<Integer>(PBtnData->HitCode) - HTUDBTN;
        if (index < provider->TitleButtons()->Count())
            DrawTitleGlyph(ABmp, provider->TitleButtons()->Items(index)->Glyph(), PBtnData->State == 2);
    }
}

void TacSBAnimation::UpdateForm(Byte Blend2) {
    if (!PBtnData || !FormHandle || !::IsWindow(FormHandle)) return;
    MakeImg();
    MakeForm();
    if (!ABmp || !AForm || ABmp->Empty()) return;
    TRect b = GetFormBounds();
    if (b.Width() != ABmp->Width()) {
        const Integer cx = b.Left + b.Width() / 2;
        b.Left = cx - ABmp->Width() / 2;
        b.Right = b.Left + ABmp->Width();
    }
    if (b.Height() != ABmp->Height()) {
        const Integer cy = b.Top + b.Height() / 2;
        b.Top = cy - ABmp->Height() / 2;
        b.Bottom = b.Top + ABmp->Height();
    }
    const HWND overlay = AForm->Handle();
    // Just above the frame window.
    UINT flags = kOverlayPosFlags;
    HWND after = nullptr;
    if ((::GetWindowLongW(FormHandle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
        after = HWND_TOPMOST;
    } else {
        after = ::GetWindow(FormHandle, GW_HWNDPREV);
        if (after == overlay) flags |= SWP_NOZORDER;
        if (!after) after = HWND_TOP;
    }
    ::SetWindowPos(overlay, after, b.Left, b.Top, ABmp->Width(), ABmp->Height(), flags);
    const auto ex = static_cast<DWORD>(::GetWindowLongW(overlay, GWL_EXSTYLE));
    if ((ex & kOverlayExStyle) != kOverlayExStyle)
        ::SetWindowLongW(overlay, GWL_EXSTYLE, static_cast<LONG>(ex | kOverlayExStyle));
    const POINT pos{b.Left, b.Top};
    const BLENDFUNCTION blend = acAlphaBlend(Blend2);
    acUpdateLayeredBitmap(overlay, ABmp, &pos, blend);
    if (!::IsWindowVisible(overlay)) ::ShowWindow(overlay, SW_SHOWNOACTIVATE);
}

// ---- blend on moving ---------------------------------------------------------------

Byte MoveBlendStep(Byte Target, Integer Time) {
    const Integer range = 255 - Target;
    if (Time < 13) return static_cast<Byte>(range);
    const Integer step = NearestInt(range / (Time / 12.0));
    // A long time must still reach the target, one unit per step at least.
    return static_cast<Byte>(std::clamp<Integer>(step, range > 0 ? 1 : 0, 255));
}

TacMoveTimer::TacMoveTimer(TComponent* AOwner) : TacThreadedTimer(AOwner, true) { SetInterval(12); }

void TacMoveTimer::TimeHandler() {
    if (!Enabled() || !FormHandle || !::IsWindow(FormHandle)) return;
    // The form itself fades (no border window exists to take its picture).
    const auto ex = static_cast<DWORD>(::GetWindowLongW(FormHandle, GWL_EXSTYLE));
    if (!(ex & WS_EX_LAYERED)) ::SetWindowLongW(FormHandle, GWL_EXSTYLE, static_cast<LONG>(ex | WS_EX_LAYERED));
    if (acSetLayeredWindowAttributes) acSetLayeredWindowAttributes(FormHandle, 0, CurrentBlendValue, LWA_ALPHA);
    if (BlendValue < CurrentBlendValue)
        CurrentBlendValue = static_cast<Byte>(std::max<Integer>(Integer(CurrentBlendValue) - BlendStep, 0));
}

// ---- minimize and restore ----------------------------------------------------------

TRect TaskbarEdgeTarget(const TRect& Tray, Integer XFrom, Integer YFrom, Cardinal& Position) {
    if (Tray.Top != 0 && Tray.Left >= -4 && Tray.Left <= 0)
        Position = tbpBottom;
    else if (Tray.Top != 0 || Tray.Left != 0)
        Position = tbpRight;
    else if (Tray.Width() <= Tray.Height())
        Position = tbpLeft;
    else
        Position = tbpTop;
    switch (Position) {
    case tbpLeft: return TRect(Tray.Right, YFrom, Tray.Right, YFrom);
    case tbpRight: return TRect(Tray.Left, YFrom, Tray.Left, YFrom);
    case tbpTop: return TRect(XFrom, Tray.Bottom, XFrom, Tray.Bottom);
    default: return TRect(XFrom, Tray.Top, XFrom, Tray.Top);
    }
}

namespace {

// Where the fields of a tool-bar button record lie in the shell's process.
struct TacButtonLayout {
    std::size_t Size;
    std::size_t State;
    std::size_t Style;
    std::size_t Data;
    std::size_t DataSize;
};

// The layout of the shell's TBBUTTON, or false when it cannot be read: the
// process's own layout for a shell of the same word size, the 32-bit layout
// for a 32-bit shell seen from a 64-bit process.
bool ShellButtonLayout(HANDLE Process, TacButtonLayout& Layout) {
    BOOL selfWow = FALSE;
    BOOL shellWow = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &selfWow);
    if (!::IsWow64Process(Process, &shellWow)) return false;
    if (selfWow == shellWow) {
        Layout = TacButtonLayout{sizeof(TBBUTTON), offsetof(TBBUTTON, fsState), offsetof(TBBUTTON, fsStyle),
                                 offsetof(TBBUTTON, dwData), sizeof(void*)};
        return true;
    }
    if (sizeof(void*) == 8 && shellWow) {
        Layout = TacButtonLayout{24, 8, 9, 12, 4};
        return true;
    }
    return false;   // a 64-bit shell seen from a 32-bit process
}

bool ReadRemote(HANDLE Process, const void* Address, void* Buffer, std::size_t Size) {
    SIZE_T read = 0;
    return ::ReadProcessMemory(Process, Address, Buffer, Size, &read) && read == Size;
}

}  // namespace

TRect FindTaskbarButtonRect() {
    const TRect none(0, 0, 0, 0);
    HWND tray = ::FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr);
    HWND rebar = tray ? ::FindWindowExW(tray, nullptr, L"ReBarWindow32", nullptr) : nullptr;
    HWND task = rebar ? ::FindWindowExW(rebar, nullptr, L"MSTaskSwWClass", nullptr) : nullptr;
    HWND bar = task ? ::FindWindowExW(task, nullptr, L"ToolbarWindow32", nullptr) : nullptr;
    if (!bar) return none;
    const auto count = static_cast<Integer>(::SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
    if (count <= 0) return none;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(bar, &pid);
    const HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (!process) return none;
    TRect result = none;
    TacButtonLayout layout{};
    void* remote = nullptr;
    if (ShellButtonLayout(process, layout))
        remote = ::VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    if (remote) {
        HWND appWnd = Application ? Application->Handle() : nullptr;
        const auto wanted = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(appWnd));
        for (Integer i = 0; i < count; ++i) {
            unsigned char button[32] = {};
            if (!::SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote))) continue;
            if (!ReadRemote(process, remote, button, layout.Size)) continue;
            const Byte state = button[layout.State];
            const Byte style = button[layout.Style];
            if ((style & 0x0D) != 0 || (state & TBSTATE_HIDDEN) != 0) continue;
            std::uint64_t data = 0;
            std::memcpy(&data, button + layout.Data, layout.DataSize);
            std::uint32_t handle = 0;
            if (!data || !ReadRemote(process, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(data)), &handle, 4))
                continue;
            if (handle != wanted || !appWnd) continue;
            RECT r{};
            if (::SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote)) &&
                ReadRemote(process, remote, &r, sizeof(r))) {
                ::MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&r), 2);
                result = TRect(r.left, r.top, r.right, r.bottom);
            }
            break;
        }
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    return result;
}

TacMinTimer::TacMinTimer(TComponent* AOwner) : TacThreadedTimer(AOwner, true) {
    SavedImage = CreateWorkBitmap(0, 0);
    InitData();
}

namespace {

// A form timer ends: the provider forgets it, and a form left half way
// through a blend or a minimize gets its own look back.
void FormTimerEnds(TacThreadedTimer* Timer, TsSkinProvider* Provider, HWND Wnd) {
    if (!Provider) return;
    if (Provider->FormTimer == Timer) Provider->FormTimer = nullptr;
    constexpr Cardinal phases = FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_ANIMRESTORING;
    if (!(Provider->FormState & phases)) return;
    Provider->FormState &= ~phases;
    Provider->fAnimating = false;
    if (!Wnd || !::IsWindow(Wnd)) return;
    const auto ex = static_cast<DWORD>(::GetWindowLongW(Wnd, GWL_EXSTYLE));
    TCustomForm* form = Provider->Form;
    if (form && form->AlphaBlend() && acSetLayeredWindowAttributes) {
        if (!(ex & WS_EX_LAYERED)) ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(ex | WS_EX_LAYERED));
        acSetLayeredWindowAttributes(Wnd, 0, form->AlphaBlendValue(), LWA_ALPHA);
    } else if (ex & WS_EX_LAYERED) {
        ::SetWindowLongW(Wnd, GWL_EXSTYLE, static_cast<LONG>(ex & ~WS_EX_LAYERED));
    }
}

}  // namespace

// Either timer may go with its owner's components, before the owner's own
// clean-up runs.
TacMoveTimer::~TacMoveTimer() { FormTimerEnds(this, SP, FormHandle); }

TacMinTimer::~TacMinTimer() {
    FormTimerEnds(this, sp, FormHandle);
    SetEnabled(false);
    if (AlphaFormWasCreated && AnimForm) AnimForm->Free();
    AnimForm = nullptr;
    FreeAndNil(SavedImage);
    FreeAndNil(AlphaBmp);
}

void TacMinTimer::InitData() {
    SetInterval(15);
    sp = dynamic_cast<TsSkinProvider*>(TimerOwner());
    TsSkinManager* manager = DefaultManager;
    if (sp) {
        BorderForm = sp->BorderForm;
        if (sp->Form) AlphaFrom = sp->Form->AlphaBlend() ? sp->Form->AlphaBlendValue() : 255;
        if (TsSkinManager* m = ProviderManager(sp)) manager = m;
    }
    const Integer time = manager ? manager->AnimEffects()->Minimizing()->Time() : 0;
    StepCount = std::max<Integer>(time / static_cast<Integer>(Interval()), 1);
    AlphaOrigin = AlphaFrom;
    if (!FormHandle) {
        FormHandle = sp ? WndOf(sp->Form) : nullptr;
        CurrentAlpha = AlphaFrom;
    }
    if (CurrentAlpha == 0 && Minimized) {
        CurLeft = RectTo.Left;
        CurTop = RectTo.Top;
        CurRight = RectTo.Right;
        CurBottom = RectTo.Bottom;
    }
    if (CurrentAlpha >= AlphaFrom) {
        RECT wr{};
        if (FormHandle) ::GetWindowRect(FormHandle, &wr);
        RectFrom = TRect(wr.left, wr.top, wr.right, wr.bottom);
        XFrom = RectFrom.Left + RectFrom.Width() / 2;
        YFrom = RectFrom.Top + RectFrom.Height() / 2;
        UpdateDstRect();
        CurLeft = RectFrom.Left;
        CurTop = RectFrom.Top;
        CurRight = RectFrom.Right;
        CurBottom = RectFrom.Bottom;
    }
    BlendStep = static_cast<double>(Integer(AlphaFrom) - Integer(AlphaTo)) / std::max<Integer>(1, StepCount - 1);
    const Integer w = std::max(RectFrom.Width(), 0);
    const Integer h = std::max(RectFrom.Height(), 0);
    if (!AlphaBmp) AlphaBmp = CreateWorkBitmap(w, h);
    else AlphaBmp->SetSize(w, h);
    if (BorderForm) return;   // the border window is to carry the animation (not made yet)
    if (AnimForm && AlphaFormWasCreated) {
        AnimForm->Free();
        AnimForm = nullptr;
    }
    AlphaFormWasCreated = false;
    AnimForm = FormHandle ? MakeCoverForm(FormHandle) : nullptr;
    if (AnimForm) {
        AlphaFormWasCreated = true;
        ::SetWindowRgn(AnimForm->Handle(), nullptr, FALSE);
    }
}

TRect TacMinTimer::GetRectTo() {
    HWND tray = FindTrayWindow();
    if (!tray) return TRect(0, 0, 0, 0);
    if (!IsAeroEnabled()) {
        const TRect button = FindTaskbarButtonRect();
        if (!button.IsEmpty()) return button;
    }
    RECT t{};
    ::GetWindowRect(tray, &t);
    return TaskbarEdgeTarget(TRect(t.left, t.top, t.right, t.bottom), XFrom, YFrom, TBPosition);
}

void TacMinTimer::UpdateDstRect() {
    RectTo = GetRectTo();
    XTo = RectTo.Left + RectTo.Width() / 2;
    YTo = RectTo.Top + RectTo.Height() / 2;
    DeltaX = static_cast<double>(XTo - XFrom) / StepCount;
    DeltaY = static_cast<double>(YTo - YFrom) / StepCount;
    DeltaW = static_cast<double>(RectFrom.Width() - RectTo.Width()) / (2.0 * StepCount);
    DeltaH = static_cast<double>(RectFrom.Height() - RectTo.Height()) / (2.0 * StepCount);
    AlphaTo = 0;
}

void TacMinTimer::DrawStep() {
    if (!AnimForm || !AlphaBmp || AlphaBmp->Empty()) return;
    const double w = std::max(CurRight - CurLeft, 0.0);
    const double h = std::max(CurBottom - CurTop, 0.0);
    const Integer iw = NearestInt(w);
    const Integer ih = NearestInt(h);
    const Integer aw = AlphaBmp->Width();
    const Integer ah = AlphaBmp->Height();
    if (SavedImage && !SavedImage->Empty() && iw > 0 && ih > 0) {
        const HDC dc = AlphaBmp->Canvas()->Handle();
        const int oldMode = ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, (aw - iw) / 2, (ah - ih) / 2, iw, ih, SavedImage->Canvas()->Handle(), 0, 0,
                     SavedImage->Width(), SavedImage->Height(), SRCCOPY);
        ::SetStretchBltMode(dc, oldMode);
        ::GdiFlush();
        // The frame is opaque whatever the stretch did to the alpha bytes.
        FillAlphaRect(AlphaBmp, TRect((aw - iw) / 2, (ah - ih) / 2, (aw - iw) / 2 + iw, (ah - ih) / 2 + ih), 255);
    }
    const TPoint pos(NearestInt(w / 2 + CurLeft) - aw / 2, NearestInt(h / 2 + CurTop) - ah / 2);
    const HWND anim = AnimForm->Handle();
    SetLayeredBitmap(anim, AlphaBmp, CurrentAlpha, &pos);
    HWND tray = FindTrayWindow();
    ::SetWindowPos(anim, tray ? tray : HWND_TOPMOST, 0, 0, 0, 0, kStepPosFlags);
}

void TacMinTimer::FinishRestore() {
    SetEnabled(false);
    const HWND anim = AnimForm->Handle();
    const TPoint from = RectFrom.TopLeft();
    SetLayeredBitmap(anim, SavedImage && !SavedImage->Empty() ? SavedImage : nullptr, AlphaOrigin, &from);
    if (FormHandle && ::IsWindow(FormHandle)) {
        {
            TacSysAnimationOff noAnimation;
            ::ShowWindow(FormHandle, ::IsZoomed(FormHandle) ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
        }
        ::SetWindowPos(anim, HWND_TOPMOST, 0, 0, 0, 0, kReorderFlags);
        TCustomForm* form = sp ? sp->Form : nullptr;
        if (form && form->AlphaBlend() && acSetLayeredWindowAttributes) {
            acSetLayeredWindowAttributes(FormHandle, 0, form->AlphaBlendValue(), LWA_ALPHA);
        } else {
            const auto ex = static_cast<DWORD>(::GetWindowLongW(FormHandle, GWL_EXSTYLE));
            ::SetWindowLongW(FormHandle, GWL_EXSTYLE, static_cast<LONG>(ex & ~WS_EX_LAYERED));
        }
    }
    if (sp) {
        sp->fAnimating = false;
        sp->FormState &= ~FS_ANIMRESTORING;
        if (sp->HasSkinnableMainMenu() && !BorderForm && IsAeroEnabled()) sp->SkinData()->BGChanged = true;
    }
    if (FormHandle) ::RedrawWindow(FormHandle, nullptr, nullptr, 0x583);
    Minimized = false;
    if (!BorderForm) {
        if (FormHandle) ::SetWindowPos(anim, FormHandle, 0, 0, 0, 0, kReorderFlags);
        if (AlphaFormWasCreated) AnimForm->Free();
        AnimForm = nullptr;
        AlphaFormWasCreated = false;
    }
    if (FormHandle && ::IsWindow(FormHandle)) ::SetFocus(FormHandle);
    if (Application && Application->OnRestore) Application->OnRestore(Application);
}

void TacMinTimer::FinishMinimize() {
    SetEnabled(false);
    if (sp) {
        sp->SetHotHT(0, false);
        sp->FormState &= ~FS_ANIMMINIMIZING;
    }
    if (FormHandle && ::IsWindow(FormHandle)) {
        const auto ex = static_cast<DWORD>(::GetWindowLongW(FormHandle, GWL_EXSTYLE));
        ::SetWindowLongW(FormHandle, GWL_EXSTYLE, static_cast<LONG>(ex & ~WS_EX_LAYERED));
    }
    if (!BorderForm) {
        ClearBitmap(AlphaBmp);
        SetLayeredBitmap(AnimForm->Handle(), AlphaBmp && !AlphaBmp->Empty() ? AlphaBmp : nullptr, 0, nullptr);
        ::ShowWindow(AnimForm->Handle(), SW_HIDE);
    }
    Minimized = true;
}

void TacMinTimer::TimeHandler() {
    if (InHandler) return;
    InHandler = true;
    struct Leave {
        bool& Flag;
        ~Leave() { Flag = false; }
    } leave{InHandler};
    if (sp) {
        if (Minimized && (sp->FormState & FS_ANIMMINIMIZING) != 0) Minimized = false;
        else if (!Minimized && (sp->FormState & FS_ANIMRESTORING) != 0) Minimized = true;
    }
    if (!AnimForm || !AnimForm->HandleAllocated()) {
        SetEnabled(false);
        return;
    }
    if (Minimized) {
        CurLeft -= DeltaX + DeltaW;
        CurRight += DeltaW - DeltaX;
        CurTop -= DeltaY + DeltaH;
        CurBottom += DeltaH - DeltaY;
        CurrentAlpha = ClampAlpha(NearestInt(CurrentAlpha + BlendStep));
        if (CurrentAlpha < AlphaFrom) {
            ::SetWindowRgn(AnimForm->Handle(), nullptr, FALSE);
            DrawStep();
        } else {
            FinishRestore();
        }
    } else {
        ClearBitmap(AlphaBmp);
        CurLeft += DeltaX + DeltaW;
        CurRight += DeltaX - DeltaW;
        CurTop += DeltaY + DeltaH;
        CurBottom += DeltaY - DeltaH;
        CurrentAlpha = ClampAlpha(NearestInt(CurrentAlpha - BlendStep));
        if (CurrentAlpha != 0) DrawStep();
        else FinishMinimize();
    }
}
