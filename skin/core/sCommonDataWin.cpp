#include "sCommonDataWin.h"

#include <cmath>

#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "TypInfo.h"
#include "acMaskPaintWin.h"
#include "acUtils.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

TacGlowHooks acGlowHooks;

void DropGlow(Integer& GlowID) {
    if (GlowID >= 0 && acGlowHooks.HideGlow) acGlowHooks.HideGlow(GlowID);
    GlowID = -1;
}

namespace {

TacFormProvider* ProviderOf(TObject* Owner) { return dynamic_cast<TacFormProvider*>(Owner); }

bool IsDestroying(const TObject* Object) {
    const auto* c = dynamic_cast<const TComponent*>(Object);
    return c && c->HasState(csDestroying);
}

bool IsLoading(const TControl* Control) { return Control->HasState(csLoading); }

bool IsDesigning(const TObject* Object) {
    const auto* c = dynamic_cast<const TComponent*>(Object);
    return c && c->HasState(csDesigning);
}

bool IsReading(const TControl* Control) {
    return Control->HasState(csReading) || (Control->ControlState() & csReadingState) != 0;
}

TWinControl* AsWindowed(TControl* Control) { return dynamic_cast<TWinControl*>(Control); }

const TsGeneralData* SectionOf(const TsSkinManager* Manager, Integer SkinIndex) {
    if (!Manager || !Manager->IsValidSkinIndex(SkinIndex)) return nullptr;
    return &Manager->gd()[static_cast<std::size_t>(SkinIndex)];
}

const TsMaskData* MaskOf(const TsSkinManager* Manager, Integer MaskIndex) {
    if (!Manager || MaskIndex < 0 || static_cast<std::size_t>(MaskIndex) >= Manager->ma().size()) return nullptr;
    return &Manager->ma()[static_cast<std::size_t>(MaskIndex)];
}

bool ManagerHasSections(const TsSkinManager* Manager) { return Manager && !Manager->gd().empty(); }

TColor GlobalColor() { return DefaultManager ? DefaultManager->GetGlobalColor() : ::ColorToRGB(clBtnFace); }

// A skin command with a flag: by SendMessage to a windowed control with a
// window, by Perform to any other control.
LRESULT SendCommandWithFlag(TControl* Control, Word Command, Word Flag, LPARAM LParam = 0) {
    if (auto* w = AsWindowed(Control)) {
        if (IsDestroying(w) || !w->HandleAllocated()) return 0;
        return SendSkinCommand(w->Handle(), Command, LParam, Flag);
    }
    return PerformSkinCommand(Control, Command, LParam, Flag);
}

// The owner object of a provider-less, control-less owner has no commands
// sent to it; an owner control gets them by Perform, a provider's form by
// SendMessage.
void SendToOwner(TsCommonData& SkinData, Word Command) {
    if (SkinData.FOwnerControl) {
        SkinData.FOwnerControl->Perform(SkinCommandMessage, MakeSkinWParam(Command), 0);
    } else if (TacFormProvider* p = ProviderOf(SkinData.FOwnerObject); p && p->Form && p->Form->HandleAllocated()) {
        ::SendMessageW(p->Form->Handle(), SkinCommandMessage, MakeSkinWParam(Command), 0);
    }
}

// Whether the program draws with visual styles (IsAppThemed of uxtheme,
// looked up once; False without it).
bool AppThemed() {
    using TIsAppThemed = BOOL(WINAPI*)();
    static const TIsAppThemed isAppThemed = [] {
        const HMODULE lib = ::LoadLibraryW(L"UXTHEME");
        return lib ? reinterpret_cast<TIsAppThemed>(reinterpret_cast<void*>(::GetProcAddress(lib, "IsAppThemed")))
                   : nullptr;
    }();
    return isAppThemed && isAppThemed();
}

// The colour under an owner that lets its parent show through: the parent
// control's colour, else the parent window's; a parent that answers "no
// colour" gives its own colour. Fallback without either parent.
TColor ParentBgColor(TControl* Owner, HWND Handle, TColor Fallback) {
    if (Owner && Owner->Parent()) {
        const TColor c = GetControlBgColor(Owner->Parent());
        return c == kNoColor ? ::ColorToRGB(Owner->Parent()->Color()) : c;
    }
    if (Handle) {
        if (const HWND parent = ::GetParent(Handle)) {
            const TColor c = GetWindowBgColor(parent);
            if (c != kNoColor) return c;
            TWinControl* control = TWinControl::FindControl(parent);
            return ::ColorToRGB(control ? control->Color() : clBtnFace);
        }
    }
    return ::ColorToRGB(Fallback);
}

// T percent of the parent's colour P over the section's colour C, channel by
// channel (both RGB); the top byte of C is kept.
TColor MixTransparent(TColor C, TColor P, Integer T) {
    const auto c = static_cast<Cardinal>(C);
    const auto p = static_cast<Cardinal>(P);
    Cardinal result = c & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const double mixed = ((c >> shift) & 0xFF) * (100.0 - T) / 100.0 + ((p >> shift) & 0xFF) * T / 100.0;
        result |= static_cast<Cardinal>(LimitToByte(static_cast<Integer>(std::nearbyint(mixed)))) << shift;
    }
    return static_cast<TColor>(result);
}

void FillDC(HDC DC, const TRect& R, TColor Color) {
    if (!DC) return;
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Color)));
    const RECT r{R.Left, R.Top, R.Right, R.Bottom};
    ::FillRect(DC, &r, brush);
    ::DeleteObject(brush);
}

void EmptyCache(TsCommonData& SkinData) {
    if (SkinData.FCacheBmp) SkinData.FCacheBmp->SetSize(0, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// TsCommonData

TsCommonData::TsCommonData(TObject* AOwner, bool CreateCacheBmp)
    : FOwnerControl(dynamic_cast<TControl*>(AOwner)), FOwnerObject(AOwner) {
    if (CreateCacheBmp) {
        FCacheBmp = CreateWorkBitmap(0, 0);
        FCacheBmp->Canvas()->OnChange = TNotifyEvent();
    }
}

TsCommonData::~TsCommonData() {
    SkinIndex = BorderIndex = Texture = HotTexture = -1;
    FOwnerControl = nullptr;
    FOwnerObject = nullptr;
    FSkinManager = nullptr;
    if (FCacheBmp) {
        FCacheBmp->Free();
        FCacheBmp = nullptr;
    }
    DropGlow(GlowID);
}

TsSkinManager* TsCommonData::SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager; }

void TsCommonData::Loaded() {
    SetDefaultSection();
    if (!Skinned() || !FOwnerControl || !FOwnerControl->Parent() || IsLoading(FOwnerControl)) return;
    if (AsWindowed(FOwnerControl)) NotifyParentForm(FOwnerControl);
    ApplySkinColors(false);
}

void TsCommonData::UpdateIndexes() {
    auto* component = dynamic_cast<TComponent*>(FOwnerObject);
    if (component && component->HasState(csDesigning) && GetOwnerFrame(component) != nullptr) {
        SkinIndex = -1;
    } else {
        BGChanged = true;
        TsSkinManager* m = SkinManager();
        SkinIndex = m && m->Active() ? m->GetSkinIndex(FSkinSection) : -1;
        UpdateBGType();
        CtrlSkinState = 0;
        if (const TsGeneralData* s = SectionOf(m, SkinIndex)) {
            BorderIndex = s->BorderIndex;
            Texture = m->GetTextureIndex(SkinIndex, FSkinSection, u"PATTERN");
            HotTexture = m->GetTextureIndex(SkinIndex, FSkinSection, u"HOTPATTERN");
            UpdateCtrlState(false);
            return;
        }
    }
    Texture = -1;
    HotTexture = -1;
}

void TsCommonData::UpdateBGType() {
    BGType = 0;
    const TsGeneralData* s = SectionOf(SkinManager(), SkinIndex);
    if (!s) return;
    if (s->ImagePercent != 0) BGType |= 4;
    if (s->GradientPercent != 0 && !s->GradientArray.empty()) {
        switch (s->GradientArray.front().Mode) {
        case 0: BGType |= 2; break;
        case 1: BGType |= 1; break;
        case 2: BGType |= 3; break;
        default: break;
        }
    }
}

void TsCommonData::SetDefaultSection() {
    if (!FSkinSection.empty()) {
        UpdateIndexes();
        return;
    }
    SetSkinSection(DefaultSectionOfKind(COC, FOwnerObject ? FOwnerObject->ClassName() : String()));
}

void TsCommonData::UpdateCtrlState(bool AllChildren) {
    CtrlSkinState &= static_cast<Word>(~ACS_PLAINBG);
    if (FOwnerControl) {
        if ((dynamic_cast<TFrame*>(FOwnerControl) || dynamic_cast<TPanel*>(FOwnerControl) ||
             dynamic_cast<TScrollingWinControl*>(FOwnerControl)) &&
            !HasComplexBG())
            CtrlSkinState |= ACS_PLAINBG;
        if (auto* w = AsWindowed(FOwnerControl); w && AllChildren)
            for (int i = 0; i < w->ControlCount(); ++i) SendSkinCommandToControl(w->Controls(i), AC_CTRLSKINSTATE, 1);
    } else if (ProviderOf(FOwnerObject) && !HasComplexBG()) {
        CtrlSkinState |= ACS_PLAINBG;
    }
}

bool TsCommonData::Skinned(bool CheckSkinActive) const {
    if (FSkinSection.empty()) return false;
    TsSkinManager* m = SkinManager();
    if (!m || m->HasState(csDestroying) || !m->IsValidSkinIndex(SkinIndex)) return false;
    if (IsDestroying(FOwnerObject)) return false;
    return !CheckSkinActive || m->SkinData()->Active;
}

bool TsCommonData::GetUpdating() const {
    TsSkinManager* m = SkinManager();
    if (!m || m->HasState(csDesigning)) return false;
    if (!NeedsParentBG()) return FUpdating;
    if (FOwnerControl) {
        if (IsDestroying(FOwnerControl)) return FUpdating;
        if (FUpdating) return true;
        TWinControl* parent = FOwnerControl->Parent();
        return parent && SendSkinCommandToControl(parent, AC_ISBGCHANGED, 0) == 1;
    }
    if (TacFormProvider* p = ProviderOf(FOwnerObject)) {
        TWinControl* parent = p->Form ? p->Form->Parent() : nullptr;
        return parent && SendSkinCommandToControl(parent, AC_ISBGCHANGED, 0) == 1;
    }
    return FUpdating;
}

void TsCommonData::Invalidate() {
    if (FOwnerControl) {
        if (FOwnerControl->HasState(csLoading | csDestroying)) return;
        BGChanged = true;
        if (!ControlIsReady(FOwnerControl)) return;
        if (auto* w = AsWindowed(FOwnerControl)) {
            if (w->HandleAllocated())
                ::RedrawWindow(w->Handle(), nullptr, nullptr,
                               RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
        } else {
            FOwnerControl->Repaint();
        }
    } else if (TacFormProvider* p = ProviderOf(FOwnerObject)) {
        BGChanged = true;
        if (p->Form && p->Form->HandleAllocated())
            ::RedrawWindow(p->Form->Handle(), nullptr, nullptr,
                           RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
    }
}

void TsCommonData::BeginUpdate() {
    ++FUpdateCount;
    FUpdating = true;
    CtrlSkinState |= ACS_LOCKED;
    SendToOwner(*this, AC_BEGINUPDATE);
}

void TsCommonData::EndUpdate(bool Repaint) {
    --FUpdateCount;
    FUpdating = false;
    CtrlSkinState &= static_cast<Word>(~ACS_LOCKED);
    if (FUpdateCount > 0) return;
    SendToOwner(*this, AC_ENDUPDATE);
    if (Repaint) Invalidate();
}

bool TsCommonData::RepaintIfMoved() const {
    if (UrgentPainting || !Skinned()) return true;
    if (!FOwnerControl || !FOwnerControl->Enabled()) return true;
    if (SectionOf(SkinManager(), SkinIndex)->Transparency <= 0) return false;
    TWinControl* parent = FOwnerControl->Parent();
    if (!parent || !parent->HandleAllocated()) return false;
    return SendSkinCommand(parent->Handle(), AC_MUSTBEREPAINTED, 0) != 0;
}

void TsCommonData::CheckHalfVisible() {
    TControl* owner = FOwnerControl;
    if (owner == nullptr) return;
    TWinControl* parent = owner->Parent();
    const bool parentHalf = parent != nullptr && SendSkinCommandToControl(parent, AC_GETHALFVISIBLE) == 1;
    BGChanged = BGChanged || HalfVisible || parentHalf;
    if (parent == nullptr) {
        HalfVisible = false;
        return;
    }
    const RECT client = parent->ClientRect();
    HalfVisible = owner->Left() < client.left || owner->Top() < client.top ||
                  owner->Left() + owner->Width() > client.right || owner->Top() + owner->Height() > client.bottom;
}

void TsCommonData::InitCacheBmp() {
    if (!FCacheBmp) {
        FCacheBmp = CreateWorkBitmap(0, 0);
        FCacheBmp->Canvas()->OnChange = TNotifyEvent();
    }
    FCacheBmp->SetPixelFormat(pf32bit);
    if (FOwnerControl) FCacheBmp->SetSize(std::max(0, FOwnerControl->Width()), std::max(0, FOwnerControl->Height()));
}

Integer TsCommonData::MaxBorderWidth() const {
    const TsMaskData* mask = MaskOf(SkinManager(), BorderIndex);
    if (!mask || (mask->DrawMode & 2) != 0) return 0;
    return std::max({Integer(mask->WL), Integer(mask->WT), Integer(mask->WR), Integer(mask->WB)});
}

void TsCommonData::ApplySkinColors(bool Repaint) {
    if (!Skinned() || !IsEditKind(COC) || !FOwnerControl) return;
    if (auto* w = AsWindowed(FOwnerControl); w && !w->HandleAllocated()) return;
    const TsGeneralData& s = *SectionOf(SkinManager(), SkinIndex);
    auto tinted = [this](TColor c) { return SaturateColor(RotateColorHue(FHUEOffset, c), FSaturation); };
    if (!FCustomColor) {
        const TColor c = tinted(s.Color);
        if (FOwnerControl->Color() != c) FOwnerControl->SetColor(c);
    }
    if (!FCustomFont) {
        const TColor c = tinted(s.FontColor.Color);
        if (FOwnerControl->Font()->Color() != c) FOwnerControl->Font()->SetColor(c);
    }
    if (Repaint) Invalidate();
}

bool TsCommonData::NeedsParentBG() const { return (CtrlSkinState & ACS_PLAINBG) == 0 || ControlIsActive(); }

bool TsCommonData::ControlIsActive() const {
    if (!FOwnerControl || IsDestroying(FOwnerControl) || !FOwnerControl->Enabled() || IsDesigning(FOwnerControl))
        return false;
    if (FFocused) return true;
    if (auto* w = AsWindowed(FOwnerControl); w && w->HandleAllocated() && ::GetFocus() == w->Handle())
        return !dynamic_cast<TCustomPanel*>(w);
    return FMouseAbove && !IsNoHotKind(COC);
}

bool TsCommonData::HasComplexBG() const {
    TsSkinManager* m = SkinManager();
    const TsGeneralData* s = SectionOf(m, SkinIndex);
    if (!s) return false;
    if (const TsMaskData* mask = MaskOf(m, BorderIndex)) {
        if ((mask->DrawMode & 4) != 0 || mask->WL + mask->WR > 20 || mask->WT + mask->WB > 20) return true;
    }
    if (s->Transparency == 100) {
        if (const TsMaskData* texture = MaskOf(m, s->TextureNormal); texture && texture->DrawMode == 10) return true;
        if (!FOwnerControl || !FOwnerControl->Parent()) return true;
        return (SendSkinCommandToControl(FOwnerControl->Parent(), AC_CTRLSKINSTATE, 0) & ACS_PLAINBG) == 0;
    }
    if (s->Transparency != 0) return true;
    return s->ImagePercent != 0 || s->GradientPercent != 0;
}

TColor TsCommonData::GetBGColor(Integer State, HWND Handle) const {
    if (!Skinned() || FCustomColor) {
        if (FOwnerControl) return ::ColorToRGB(FOwnerControl->Color());
        if (TacFormProvider* p = ProviderOf(FOwnerObject); p && p->Form) return ::ColorToRGB(p->Form->Color());
        return ::ColorToRGB(clBtnFace);
    }
    const TsGenState& props = StateProps(*SectionOf(SkinManager(), SkinIndex), State);
    const Integer T = props.Transparency;
    if (T == 0) return props.Color;
    const TColor parent = ParentBgColor(FOwnerControl, FOwnerControl ? nullptr : Handle, clBtnFace);
    if (T == 100) return parent;
    return MixTransparent(::ColorToRGB(props.Color), parent, T);
}

void TsCommonData::GetBGInfo(TBackgroundInfo& Info, Integer State, HWND Handle) {
    TacFormProvider* provider = ProviderOf(FOwnerObject);
    if (!Skinned() || FCustomColor) {
        Info.BgType = btFill;
        if (FOwnerControl)
            Info.Color = ::ColorToRGB(FOwnerControl->Color());
        else if (provider && provider->Form)
            Info.Color = ::ColorToRGB(provider->Form->Color());
        else
            Info.Color = ::ColorToRGB(clBtnFace);
        return;
    }
    const TsGeneralData& s = *SectionOf(SkinManager(), SkinIndex);
    const Integer T = State ? s.HotTransparency : s.Transparency;
    const Integer G = State ? s.HotGradientPercent : s.GradientPercent;
    const Integer I = State ? s.HotImagePercent : s.ImagePercent;

    if (T == 0 && G <= 0 && I < 1) {
        Info.BgType = btFill;
        Info.Bmp = FCacheBmp;
        Info.Color = GetBGColor(State, nullptr);
        if (Info.PleaseDraw) FillDC(Info.DC, Info.R, Info.Color);
        return;
    }
    if (T == 100 && ((CtrlSkinState & ACS_PLAINBG) != 0 || !FCacheBmp || BGChanged)) {
        // Transparent and without an image of its own: the question goes on
        // to the parent, seen from there the asker lies further in by this
        // owner's own position.
        TWinControl* parent = nullptr;
        TPoint own{0, 0};
        if (FOwnerControl) {
            parent = FOwnerControl->Parent();
            own = TPoint{FOwnerControl->Left(), FOwnerControl->Top()};
        } else if (provider && provider->Form) {
            parent = provider->Form->Parent();
            own = TPoint{provider->Form->Left(), provider->Form->Top()};
        }
        if (parent) {
            if (Info.PleaseDraw) {
                const TPoint asked = Info.Offset;
                Info.Offset = TPoint{asked.X + own.X, asked.Y + own.Y};
                QueryControlBackground(Info, parent, true);
                Info.Offset = asked;
            } else {
                QueryControlBackground(Info, parent, false);
            }
        } else if (!Handle) {
            Info.BgType = btFill;
            Info.Color = GlobalColor();
            return;
        } else {
            const HWND parentWnd = ::GetParent(Handle);
            QueryWindowBackground(Info, parentWnd, false);
            RECT r{};
            ::GetWindowRect(Handle, &r);
            POINT p{r.left, r.top};
            if (parentWnd) ::ScreenToClient(parentWnd, &p);
            own = TPoint{p.x, p.y};
        }
        if (Info.BgType == btCache) Info.Offset = TPoint{Info.Offset.X + own.X, Info.Offset.Y + own.Y};
        return;
    }
    if (T == 0) Info.Color = GlobalColor();
    if (!FCacheBmp) {
        Info.Color = kNoColor;
        Info.BgType = btFill;
        return;
    }
    Info.BgType = btCache;
    if (Info.PleaseDraw) {
        if (Info.DC)
            ::BitBlt(Info.DC, Info.R.Left, Info.R.Top, Info.R.Width(), Info.R.Height(), FCacheBmp->Canvas()->Handle(),
                     Info.Offset.X + Info.R.Left, Info.Offset.Y + Info.R.Top, SRCCOPY);
    } else {
        Info.Bmp = FCacheBmp;
        Info.Offset = TPoint{0, 0};
    }
}

void TsCommonData::GetParentCache(TCacheInfo& CI) const {
    if (Skinned()) {
        TBackgroundInfo info;
        if (FOwnerControl && FOwnerControl->Parent()) {
            QueryControlBackground(info, FOwnerControl->Parent(), false);
            BackgroundToCacheInfo(info, CI);
            return;
        }
        if (auto* w = AsWindowed(FOwnerControl); w && w->HandleAllocated() && ::GetParent(w->Handle())) {
            QueryWindowBackground(info, ::GetParent(w->Handle()), false);
            BackgroundToCacheInfo(info, CI);
            return;
        }
    }
    CI.X = 0;
    CI.Y = 0;
    CI.FillColor = GetBGColor(0, nullptr);
    CI.Ready = false;
}

void TsCommonData::UpdateGlow(bool HideOnly, HWND Handle) {
    TsSkinManager* m = SkinManager();
    const TsGeneralData* s = SectionOf(m, SkinIndex);
    if (!m || !m->Effects()->AllowGlowing() || !s || s->GlowCount < 1) return;
    TRect rect{0, 0, 0, 0};
    TRect visible{0, 0, 0, 0};
    HWND parentWnd = nullptr;
    if (FOwnerControl) {
        if (!FMouseAbove || (FOwnerControl->ControlState() & csLButtonDown) != 0 || HideOnly) {
            DropGlow(GlowID);
            return;
        }
        if (TCustomForm* form = GetParentForm(FOwnerControl, false)) {
            TWinControl* host = form->Parent() ? form->Parent() : form;
            if (host->HandleAllocated()) parentWnd = host->Handle();
        }
        RECT r{};
        if (auto* w = AsWindowed(FOwnerControl)) {
            if (!w->HandleAllocated()) return;
            ::GetWindowRect(w->Handle(), &r);
            const HDC dc = ::GetWindowDC(w->Handle());
            RECT clip{};
            ::GetClipBox(dc, &clip);
            ::ReleaseDC(w->Handle(), dc);
            visible = TRect{clip.left, clip.top, clip.right, clip.bottom};
        } else {
            TWinControl* parent = FOwnerControl->Parent();
            if (!parent || !parent->HandleAllocated()) return;
            const POINT p = FOwnerControl->ClientToScreen(POINT{0, 0});
            r = RECT{p.x, p.y, p.x + FOwnerControl->Width(), p.y + FOwnerControl->Height()};
            const HDC dc = ::GetDC(parent->Handle());
            RECT clip{};
            ::GetClipBox(dc, &clip);
            ::ReleaseDC(parent->Handle(), dc);
            const RECT bounds = FOwnerControl->BoundsRect();
            RECT inside{};
            ::IntersectRect(&inside, &clip, &bounds);
            ::OffsetRect(&inside, -bounds.left, -bounds.top);
            visible = TRect{inside.left, inside.top, inside.right, inside.bottom};
        }
        rect = TRect{r.left, r.top, r.right, r.bottom};
    } else {
        if (!Handle) return;
        if (HideOnly) {
            DropGlow(GlowID);
            return;
        }
        RECT r{};
        ::GetWindowRect(Handle, &r);
        const HDC dc = ::GetWindowDC(Handle);
        RECT clip{};
        ::GetClipBox(dc, &clip);
        ::ReleaseDC(Handle, dc);
        rect = TRect{r.left, r.top, r.right, r.bottom};
        visible = TRect{clip.left, clip.top, clip.right, clip.bottom};
        parentWnd = GetTopParentWindow(Handle);
    }
    // One glow per owner: a glow shown before (a second mouse-enter, say)
    // goes before the new one is made.
    DropGlow(GlowID);
    if (acGlowHooks.ShowGlow)
        GlowID = acGlowHooks.ShowGlow(rect, visible, FSkinSection, m, parentWnd, 255, s->GlowMargin, u"GLOW");
}

void TsCommonData::SetSkinSection(const String& Value) {
    if (Value == FSkinSection) return;
    FSkinSection = Value.empty() ? String(u"UNKNOWN") : UpperCase(Value);
    TsSkinManager* m = SkinManager();
    if (!ManagerHasSections(m))
        SkinIndex = -1;
    else
        UpdateIndexes();
    if (FOwnerControl && !FOwnerControl->HasState(csLoading | csDestroying) && !IsReading(FOwnerControl) &&
        FOwnerControl->Parent()) {
        if (!GetUpdating()) {
            const Word command = ManagerHasSections(m) && m->IsValidSkinIndex(SkinIndex) ? AC_REFRESH : AC_REMOVESKIN;
            FOwnerControl->Perform(SkinCommandMessage, MakeSkinWParam(command), reinterpret_cast<LPARAM>(m));
        }
        DropGlow(GlowID);
        return;
    }
    if (ProviderOf(FOwnerObject)) BGChanged = true;
}

void TsCommonData::SetSkinManager(TsSkinManager* Value) {
    if (Value == DefaultManager) Value = nullptr;
    if (Value == FSkinManager) return;
    FSkinManager = Value;
    if (FOwnerControl && FOwnerControl->HasState(csLoading)) return;
    TsSkinManager* m = SkinManager();
    if (ManagerHasSections(m))
        UpdateIndexes();
    else
        SkinIndex = -1;
    const Word command = ManagerHasSections(m) && m->IsValidSkinIndex(SkinIndex) ? AC_REFRESH : AC_REMOVESKIN;
    TMessage message{SkinCommandMessage, MakeSkinWParam(command), reinterpret_cast<LPARAM>(m), 0};
    if (TacFormProvider* p = ProviderOf(FOwnerObject)) {
        p->DsgnWndProc(message);
    } else if (FOwnerControl && FOwnerControl->Parent() && !IsDestroying(FOwnerControl)) {
        FOwnerControl->Perform(message.Msg, message.WParam, message.LParam);
    }
}

void TsCommonData::SetCustomColor(bool Value) {
    if (FCustomColor == Value) return;
    FCustomColor = Value;
    if (!FOwnerControl || !FOwnerControl->HasState(csLoading)) ApplySkinColors(true);
}

void TsCommonData::SetCustomFont(bool Value) {
    if (FCustomFont == Value) return;
    FCustomFont = Value;
    if (!FOwnerControl || !FOwnerControl->HasState(csLoading)) ApplySkinColors(true);
}

void TsCommonData::SetHUEOffset(Integer Value) {
    if (FHUEOffset == Value) return;
    FHUEOffset = Value;
    Loaded();
    Invalidate();
}

void TsCommonData::SetSaturation(Integer Value) {
    if (FSaturation == Value) return;
    FSaturation = Value;
    Loaded();
    Invalidate();
}

// ---------------------------------------------------------------------------
// The command table

namespace {

bool IsOwnManager(const TsCommonData& SkinData, LPARAM LParam) {
    return reinterpret_cast<TsSkinManager*>(LParam) == SkinData.SkinManager();
}

// Command 21: the owner's background colour as its children see it.
bool AnswerControlColor(TMessage& Message, TsCommonData& SkinData) {
    TControl* owner = SkinData.FOwnerControl;
    if (!owner) return false;
    if (!SkinData.Skinned()) {
        Message.Result = static_cast<LRESULT>(::ColorToRGB(owner->Color()));
        return true;
    }
    const TsGenState& props = StateProps(*SectionOf(SkinData.SkinManager(), SkinData.SkinIndex), 0);
    const Integer T = props.Transparency;
    TColor color;
    if (T == 0) {
        color = props.Color;
    } else {
        const TColor parent = ParentBgColor(owner, nullptr, owner->Color());
        color = T == 100 ? parent : MixTransparent(::ColorToRGB(props.Color), parent, T);
    }
    Message.Result = static_cast<LRESULT>(static_cast<Cardinal>(color));
    return true;
}

void ResetSkin(TsCommonData& SkinData, TsSkinManager* Manager) {
    if (Manager && Manager->HasState(csDestroying)) SkinData.FSkinManager = nullptr;
    SkinData.BorderIndex = SkinData.SkinIndex = SkinData.Texture = SkinData.HotTexture = -1;
    SkinData.FUpdating = true;
    EmptyCache(SkinData);
    TControl* owner = SkinData.FOwnerControl;
    if (auto* edit = dynamic_cast<TCustomEdit*>(owner)) {
        if (!SkinData.FCustomColor) edit->SetColor(clWindow);
        if (!SkinData.FCustomFont) edit->Font()->SetColor(clWindowText);
        if (edit->HandleAllocated()) ::RedrawWindow(edit->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    } else if (auto* w = AsWindowed(owner)) {
        for (int i = 0; i < w->ControlCount(); ++i)
            if (auto* label = dynamic_cast<TLabel*>(w->Controls(i))) label->Font()->SetColor(clWindowText);
    }
}

}  // namespace

bool HandleSkinCommand(TMessage& Message, TsCommonData* SkinData) {
    if (!SkinData || Message.Msg != SkinCommandMessage) return false;
    TsCommonData& sd = *SkinData;
    const Word command = SkinCommandOf(Message.WParam);
    const Word flag = static_cast<Word>(Message.WParam & 0xFFFF);
    // An address that this thread did not send is refused, and not passed on.
    if (!MayActOnSkinCommand(Message)) return true;
    switch (command) {
    case AC_SETNEWSKIN:
        if (IsOwnManager(sd, Message.LParam)) {
            sd.UpdateIndexes();
            sd.UpdateCtrlState(false);
            acSkinAnnouncing = false;
        }
        return false;
    case AC_REMOVESKIN:
        if (IsOwnManager(sd, Message.LParam)) ResetSkin(sd, reinterpret_cast<TsSkinManager*>(Message.LParam));
        return false;
    case AC_REFRESH:
        if (IsOwnManager(sd, Message.LParam)) {
            sd.BGChanged = true;
            sd.FUpdating = false;
            sd.ApplySkinColors(true);
            sd.UpdateCtrlState(false);
        }
        return false;
    case AC_CTRLHANDLED: Message.Result = 1; return true;
    case AC_SETUPDATING: sd.FUpdating = flag == 1; return true;
    case AC_URGENTPAINT: sd.UrgentPainting = flag == 1; return true;
    case AC_ISBGCHANGED: Message.Result = sd.BGChanged || sd.FUpdating ? 1 : 0; return true;
    case AC_GETHALFVISIBLE: Message.Result = sd.HalfVisible ? 1 : 0; return true;
    case AC_SETSECTION:
        if (const auto* record = reinterpret_cast<const TacSectionRecord*>(Message.LParam))
            sd.SetSkinSection(record->SectionName ? String(record->SectionName) : String());
        return true;
    case AC_SETBGCHANGED: sd.BGChanged = true; return true;
    case AC_SETHALFVISIBLE: sd.HalfVisible = true; return true;
    case AC_MUSTBEREPAINTED: {
        const TsGeneralData* s = SectionOf(sd.SkinManager(), sd.SkinIndex);
        if (sd.SkinIndex < 0 || !s) return false;
        if (s->Transparency == 100 && sd.FOwnerControl && sd.FOwnerControl->Parent())
            Message.Result = SendSkinCommandToControl(sd.FOwnerControl->Parent(), AC_MUSTBEREPAINTED, 0) != 0 ? 1 : 0;
        else
            Message.Result = s->GradientPercent + s->ImagePercent > 0 || sd.RepaintIfMoved() ? 1 : 0;
        return true;
    }
    case AC_SETCHANGEDIFNECESSARY: {
        const bool moved = sd.RepaintIfMoved();
        sd.BGChanged = sd.BGChanged || moved;
        if (auto* w = AsWindowed(sd.FOwnerControl)) {
            if (flag == 1 && w->HandleAllocated())
                ::RedrawWindow(w->Handle(), nullptr, nullptr,
                               RDW_ALLCHILDREN | RDW_NOERASE | RDW_NOINTERNALPAINT | RDW_INVALIDATE);
            if (moved)
                for (int i = 0; i < w->ControlCount(); ++i) {
                    TControl* child = w->Controls(i);
                    if (!IsDestroying(child)) SendCommandWithFlag(child, AC_SETCHANGEDIFNECESSARY, 0);
                }
        }
        return false;
    }
    case AC_GETCONTROLCOLOR: return AnswerControlColor(Message, sd);
    case AC_GETSKININDEX:
        if (auto* index = reinterpret_cast<Integer*>(Message.LParam)) {
            *index = sd.SkinIndex;
            Message.Result = 1;
            return true;
        }
        return false;
    case AC_CLEARCACHE:
        if (sd.FCacheBmp) {
            if (auto* w = AsWindowed(sd.FOwnerControl))
                for (int i = 0; i < w->ControlCount(); ++i)
                    if (auto* child = AsWindowed(w->Controls(i)); child && child->HandleAllocated())
                        SendSkinCommand(child->Handle(), AC_CLEARCACHE, 0);
            EmptyCache(sd);
            sd.BGChanged = true;
            sd.FUpdating = true;
        }
        return false;
    case AC_GETBG:
        if (auto* info = reinterpret_cast<TBackgroundInfo*>(Message.LParam)) {
            sd.GetBGInfo(*info, 0, nullptr);
            Message.Result = 1;
            return true;
        }
        return false;
    case AC_CTRLSKINSTATE:
        if (Message.LParam == 1) {
            sd.UpdateCtrlState(true);
            Message.Result = 1;
        } else {
            Message.Result = sd.CtrlSkinState;
        }
        return true;
    case AC_GETSKINSTATE: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(SkinData)); return true;
    case AC_PRINTING:
        if (Message.LParam)
            sd.CtrlSkinState |= ACS_PRINTING;
        else
            sd.CtrlSkinState &= static_cast<Word>(~ACS_PRINTING);
        sd.PrintDC = reinterpret_cast<HDC>(Message.LParam);
        Message.Result = 1;
        return true;
    case AC_GETAPPLICATION: Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)); return false;
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// The shared first steps of skinned window procedures

bool HandleCommonMessage(TMessage& Message, TsCommonData* SkinData) {
    if (!SkinData) return false;
    TsCommonData& sd = *SkinData;
    if (Message.Msg == SkinCommandMessage) return HandleSkinCommand(Message, SkinData);
    TControl* owner = sd.FOwnerControl;
    TWinControl* windowed = AsWindowed(owner);
    const TsGeneralData* section = SectionOf(sd.SkinManager(), sd.SkinIndex);
    switch (Message.Msg) {
    case WM_MOVE:
        if (owner && sd.RepaintIfMoved()) {
            sd.BGChanged = true;
            owner->Perform(SkinCommandMessage, MakeSkinWParam(AC_SETCHANGEDIFNECESSARY, 1), 0);
            DropGlow(sd.GlowID);
        }
        break;
    case WM_SIZE:
        if (sd.Skinned()) {
            sd.BGChanged = true;
            if (windowed && section && section->GradientPercent > 0)
                for (int i = 0; i < windowed->ControlCount(); ++i) {
                    TControl* child = windowed->Controls(i);
                    if (IsDestroying(child)) continue;
                    const TAnchors anchors = child->Anchors();
                    if (anchors.Contains(akRight) || anchors.Contains(akBottom)) continue;
                    SendCommandWithFlag(child, AC_SETCHANGEDIFNECESSARY, 1);
                }
            DropGlow(sd.GlowID);
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (windowed && windowed->CanFocus() && windowed->TabStop()) {
            const bool focus = Message.Msg == WM_SETFOCUS;
            sd.BGChanged = true;
            sd.FFocused = focus;
            const bool redraw = focus ? sd.Skinned() && IsEditKind(sd.COC) && section && section->States > 1
                                      : IsEditKind(sd.COC) && windowed->Visible();
            if (redraw && windowed->HandleAllocated())
                ::RedrawWindow(windowed->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        break;
    case CM_ENABLEDCHANGED:
    case WM_FONTCHANGE:
        sd.FMouseAbove = false;
        sd.FFocused = false;
        if (owner && !owner->Enabled() && sd.GlowID >= 0) DropGlow(sd.GlowID);
        break;
    case WM_CONTEXTMENU:
        // Hooked before the owner opens it, so it opens skinned.
        if (owner && owner->PopupMenu())
            if (TsSkinManager* m = sd.SkinManager(); m && m->SkinableMenus())
                m->SkinableMenus()->HookPopupMenu(owner->PopupMenu(), m->Active());
        break;
    case WM_UPDATEUISTATE:
        if (sd.Skinned()) return true;
        if (windowed && windowed->HandleAllocated() && AppThemed()) RestoreWindowTheme(windowed->Handle());
        break;
    case WM_PARENTNOTIFY:
        if ((Message.WParam & 0xFFFF) == WM_CREATE && windowed) NotifyParentForm(windowed);
        break;
    case CM_VISIBLECHANGED:
        if (owner && !IsDestroying(owner) && sd.FCacheBmp) {
            if (Message.WParam != 0) {
                sd.FUpdating = false;
            } else {
                EmptyCache(sd);
                if (windowed)
                    for (int i = 0; i < windowed->ControlCount(); ++i) {
                        TControl* child = windowed->Controls(i);
                        if (auto* w = AsWindowed(child); w && w->HandleAllocated())
                            SendSkinCommand(w->Handle(), AC_CLEARCACHE, 0);
                        else if (!AsWindowed(child))
                            child->Perform(SkinCommandMessage, MakeSkinWParam(AC_CLEARCACHE), 0);
                    }
            }
            sd.BGChanged = true;
        }
        break;
    case CM_SHOWINGCHANGED:
        if (owner && owner->Visible()) sd.Loaded();
        break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        // Only the owner's own notice (children pass theirs up with themselves in LParam).
        if (Message.LParam != 0 && Message.LParam != reinterpret_cast<LPARAM>(owner)) break;
        if (IsDesigning(sd.FOwnerObject) || !sd.Skinned()) break;
        const bool hotKind = !IsNoHotKind(sd.COC);
        const bool editMany = IsEditKind(sd.COC) && section && section->States > 1;
        if (Message.Msg == CM_MOUSEENTER) {
            if (windowed && windowed->HandleAllocated() && DefaultManager) {
                if (hotKind) sd.FMouseAbove = true;
                DefaultManager->SetActiveControl(windowed->Handle());
                if (ShowsCommonGlow(sd.COC)) sd.UpdateGlow(false, nullptr);
                if (editMany) {
                    sd.BGChanged = true;
                    ::SendMessageW(windowed->Handle(), WM_NCPAINT, 0, 0);
                }
            } else if (hotKind) {
                sd.FMouseAbove = true;
            }
        } else {
            if (hotKind) sd.FMouseAbove = false;
            if (ShowsCommonGlow(sd.COC) && acGlowHooks.ClearGlows) acGlowHooks.ClearGlows(false);
            if (IsEditKind(sd.COC) && owner && owner->Visible()) {
                sd.BGChanged = true;
                if (windowed && windowed->HandleAllocated()) ::SendMessageW(windowed->Handle(), WM_NCPAINT, 0, 0);
            }
        }
        break;
    }
    default: break;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Parent images and sections

void GetParentCacheHwnd(HWND Handle, TCacheInfo& CI) {
    const HWND parent = Handle ? ::GetParent(Handle) : nullptr;
    if (!parent) {
        CI = TCacheInfo{};
        return;
    }
    TBackgroundInfo info;
    QueryWindowBackground(info, parent, false);
    BackgroundToCacheInfo(info, CI);
}

Integer GetParentSkinIndex(TControl* Control, Integer Default, TsSkinManager* Manager, Integer State) {
    if (!Control || !Control->Parent()) return Default;
    TWinControl* parent = Control->Parent();
    // The section of the parent decides: a mostly transparent one lets the
    // next parent up decide, one that gives its own font is used.
    auto decide = [&](Integer index, Integer state) -> Integer {
        const TsGeneralData* s = SectionOf(Manager, index);
        if (!s) return Default;
        const Integer k = std::max<Integer>(0, std::min<Integer>(state > 0 ? 1 : 0, s->States - 1));
        if (s->Props.at(static_cast<std::size_t>(k)).Transparency > 50 && parent->Parent())
            return GetParentSkinIndex(parent, Default, Manager, 0);
        return s->GiveOwnFont ? index : Default;
    };
    if (const TPropInfo* info = GetPropInfo(parent, u"SkinData"); info && info->Kind == TTypeKind::tkClass && info->GetObj) {
        if (auto* sd = dynamic_cast<TsCommonData*>(info->GetObj(parent)); sd && sd->SkinIndex >= 0)
            return decide(sd->SkinIndex, State);
    }
    if (!parent->HandleAllocated()) return Default;
    Integer index = -1;
    SendSkinCommand(parent->Handle(), AC_GETSKININDEX, reinterpret_cast<LPARAM>(&index));
    return decide(index, State);
}

// ---------------------------------------------------------------------------
// Copies of the cache that leave children out

namespace {

void CopyCacheTo(TsCommonData* SkinData, const TRect& Src, const TRect& Dst, HDC DC) {
    ::BitBlt(DC, Dst.Left, Dst.Top, Dst.Width(), Dst.Height(), SkinData->FCacheBmp->Canvas()->Handle(), Src.Left,
             Src.Top, SRCCOPY);
}

bool IsGroupBoxWindow(HWND Wnd) {
    wchar_t name[16] = {};
    if (::GetClassNameW(Wnd, name, 16) == 0 || ::lstrcmpiW(name, L"Button") != 0) return false;
    return (static_cast<DWORD>(::GetWindowLongPtrW(Wnd, GWL_STYLE)) & BS_TYPEMASK) == BS_GROUPBOX;
}

}  // namespace

void CopyCacheExcludingControls(TWinControl* Control, TsCommonData* SkinData, const TRect& Src, const TRect& Dst,
                                HDC DC, bool UpdateCorners, Integer OffsetX, Integer OffsetY) {
    if (!SkinData || !SkinData->FCacheBmp || !DC) return;
    if (UpdateCorners) RepaintBorderCorners(SkinData, SkinData->ControlIsActive() ? 1 : 0);
    const int saved = ::SaveDC(DC);
    ::IntersectClipRect(DC, Dst.Left, Dst.Top, Dst.Right, Dst.Bottom);
    if (Control)
        for (int i = 0; i < Control->ControlCount(); ++i) {
            TControl* child = Control->Controls(i);
            if (!child->Visible()) continue;
            const RECT b = child->BoundsRect();
            if (!(b.left < Dst.Right && b.top < Dst.Bottom && b.right > Dst.Left && b.bottom > Dst.Top)) continue;
            if (!IsDesigning(child) && (child->ControlStyle() & csOpaque) == 0 && AsWindowed(child)) continue;
            ::ExcludeClipRect(DC, b.left + OffsetX, b.top + OffsetY, b.right + OffsetX, b.bottom + OffsetY);
        }
    CopyCacheTo(SkinData, Src, Dst, DC);
    ::RestoreDC(DC, saved);
}

void CopyCacheExcludingWindows(HWND Wnd, TsCommonData* SkinData, const TRect& Src, const TRect& Dst, HDC DC,
                               bool UpdateCorners, Integer OffsetX, Integer OffsetY) {
    if (!SkinData || !SkinData->FCacheBmp || !DC) return;
    if (UpdateCorners) RepaintBorderCorners(SkinData, SkinData->ControlIsActive() ? 1 : 0);
    const int saved = ::SaveDC(DC);
    ::IntersectClipRect(DC, Dst.Left, Dst.Top, Dst.Right, Dst.Bottom);
    RECT own{};
    if (Wnd) ::GetWindowRect(Wnd, &own);
    for (HWND child = Wnd ? ::GetTopWindow(Wnd) : nullptr; child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) == 0) continue;
        RECT r{};
        ::GetWindowRect(child, &r);
        ::OffsetRect(&r, -own.left - OffsetX, -own.top - OffsetY);
        if (IsGroupBoxWindow(child) && (::GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) {
            // A group box shows what lies under it: only its frame is left out.
            if (!DefaultManager) continue;
            const Integer index = DefaultManager->GetSkinIndex(u"GROUPBOX");
            const TsMaskData* mask =
                MaskOf(DefaultManager, DefaultManager->GetMaskIndex(index, u"GROUPBOX", u"BORDERSMASK"));
            const auto caption = static_cast<LONG>(SendSkinCommand(child, AC_GETSERVICEINT, 0));
            const LONG wl = mask ? mask->WL : 0, wr = mask ? mask->WR : 0, wb = mask ? mask->WB : 0;
            ::ExcludeClipRect(DC, r.left, r.top, r.right, r.top + caption);
            ::ExcludeClipRect(DC, r.left, r.top, r.left + wl, r.bottom);
            ::ExcludeClipRect(DC, r.right - wr, r.top, r.right, r.bottom);
            ::ExcludeClipRect(DC, r.left, r.bottom - wb, r.right, r.bottom);
            continue;
        }
        ::ExcludeClipRect(DC, r.left, r.top, r.right, r.bottom);
    }
    CopyCacheTo(SkinData, Src, Dst, DC);
    ::RestoreDC(DC, saved);
}
