#include "acSBUtils.h"
#include "acSBUtilsCombo.h"

#include <algorithm>
#include <map>

#include "Forms.h"
#include "TypInfo.h"
#include "WindowAttach.h"
#include "acMaskPaintWin.h"
#include "acSBUtilsBaseWnd.h"
#include "acSBUtilsEdit.h"
#include "acSBUtilsMenu.h"
#include "acSBUtilsStatic.h"
#include "acUtilsWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"

bool DialogModeFlag = false;
bool RemovingAllAdapters = false;

TacGetScrollBarInfo acGetScrollBarInfo = nullptr;
TacInitializeFlatSB acInitializeFlatSB = nullptr;
TacUninitializeFlatSB acUninitializeFlatSB = nullptr;

namespace {

// The link an adapter puts into a WindowProc it takes over (ways 2 and 3).
// While the adapter is attached the link hands every message to it. When the
// adapter let go while someone else's procedure lay over the link, the link
// stays in that chain as an orphan and passes every message on to the
// procedure the adapter took over; once the chain above it has gone and the
// link is the target's WindowProc again, it puts that procedure back and
// ends. An orphan is never freed otherwise: the chain may call it as long as
// the control lives.
struct TacProcLink {
    TacMainWnd* Adapter = nullptr;
    TControl* Target = nullptr;
    TWndMethod Previous;

    void WndProc(TMessage& Message);
    TWndMethod Method() { return TWndMethod::Of<&TacProcLink::WndProc>(this); }
};

std::vector<TacProcLink*>& OrphanLinks() {
    static std::vector<TacProcLink*> links;
    return links;
}

void TacProcLink::WndProc(TMessage& Message) {
    if (TacMainWnd* adapter = Adapter) {
        adapter->MainWndMethod(Message);
        return;
    }
    const TWndMethod previous = Previous;
    if (Target->WindowProc == Method()) {
        Target->WindowProc = previous;
        auto& orphans = OrphanLinks();
        orphans.erase(std::remove(orphans.begin(), orphans.end(), this), orphans.end());
        delete this;
    }
    if (previous) previous(Message);
}

std::map<String, TacAdapterCreator>& AdapterClasses() {
    static std::map<String, TacAdapterCreator> classes;
    return classes;
}

// The control kind of the edits that keep the theme off under composition.
constexpr Integer kEditKind = 10;

int gStartCount = 0;
HMODULE gUser32 = nullptr;
HMODULE gComCtl32 = nullptr;

// The theme is switched off unless the skin data belongs to a provider that
// leaves the frame to the system, or the adapter keeps the system look
// (popup menus, standard dialog frames).
bool SwitchesThemeOff(const TacMainWnd& Adapter, TsCommonData* SkinData, const String& SkinSection) {
    if (acSetWindowTheme == nullptr) return false;
    if (SkinData != nullptr) {
        if (auto* provider = dynamic_cast<TacFormProvider*>(SkinData->OwnerObject());
            provider && !provider->FDrawNonClientArea)
            return false;
    }
    return Adapter.ClassName() != u"TacMnuWnd" && SkinSection != u"DIALOG";
}

}  // namespace

TacMainWnd* AdapterOfWindow(HWND Wnd) {
    return Wnd ? static_cast<TacMainWnd*>(::GetPropW(Wnd, acAdapterPropName)) : nullptr;
}

// ---- creation -----------------------------------------------------------------------

TacMainWnd::TacMainWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                       bool Repaint)
    : FRepaint(Repaint), FSkinSection(SkinSection) {
    CtrlHandle = AHandle;
    OldWndProc = nullptr;
    OldProc = nullptr;
    NewWndProcInstance = nullptr;
    SkinManager = ASkinManager;
    Destroyed = false;
    if (ASkinData != nullptr) {
        SkinData = ASkinData;
        if (SkinManager == nullptr) SkinManager = ASkinData->GetSkinManager();
    } else {
        OwnSkinData = true;
        SkinData = new TsCommonData(nullptr, true);
        if (ASkinManager != nullptr) SkinData->SetSkinManager(ASkinManager);
    }
    SkinData->SetCustomFont(SkinData->CustomFont());
    if (SkinData->SkinSection().empty()) SkinData->SetSkinSection(SkinSection);
}

void TacMainWnd::AfterConstruction() {
    // The class name is the derived class's only now.
    FThemeOff = ThemeOffAtCreation(OwnSkinData ? nullptr : SkinData, FSkinSection);
    if (FThemeOff) acSetWindowTheme(CtrlHandle, L" ", L" ");
    DlgMode = DialogModeFlag;
    SaveStdParams();
    ParamsChanged = false;
    Caption = GetWndText(CtrlHandle);
    HookWindow(FRepaint);
    if (TControl* control = OwnerControl()) {
        OldCtrlStyle = control->ControlStyle();
        control->SetControlStyle(OldCtrlStyle | csOpaque);
    }
}

void TacMainWnd::HookWindow(bool /*Repaint*/) { HookAdapterWnd(this, CtrlHandle); }

bool TacMainWnd::ThemeOffAtCreation(TsCommonData* ASkinData, const String& SkinSection) const {
    return SwitchesThemeOff(*this, ASkinData, SkinSection);
}

TControl* TacMainWnd::OwnerControl() const { return SkinData ? SkinData->OwnerControl() : nullptr; }

TacFormProvider* TacMainWnd::OwnerProvider() const {
    return SkinData ? dynamic_cast<TacFormProvider*>(SkinData->OwnerObject()) : nullptr;
}

void HookAdapterWnd(TacMainWnd* Adapter, HWND Handle) {
    if (Adapter == nullptr) return;
    Adapter->DontRepaint = false;
    Adapter->CtrlHandle = Handle;
    ::SetPropW(Handle, acAdapterPropName, Adapter);
    TControl* target = nullptr;
    if (TacFormProvider* provider = Adapter->OwnerProvider())
        target = provider->Form;
    else
        target = Adapter->OwnerControl();
    if (target == nullptr) {
        // A plain window: attached to the window itself.
        Adapter->OldProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Handle, GWLP_WNDPROC));
        AttachWindow(Handle, Adapter, TWndMethod::Of<&TacMainWnd::MainWndMethod>(Adapter));
        Adapter->NewWndProcInstance = reinterpret_cast<void*>(&AttachedWndProc);
        return;
    }
    auto* link = new TacProcLink();
    link->Adapter = Adapter;
    link->Target = target;
    link->Previous = target->WindowProc;
    Adapter->OldWndProc = target->WindowProc;
    target->WindowProc = link->Method();
    Adapter->FProcLink = link;
}

void TacMainWnd::UnhookWindow() {
    if (auto* link = static_cast<TacProcLink*>(FProcLink)) {
        FProcLink = nullptr;
        if (link->Target->WindowProc == link->Method()) {
            link->Target->WindowProc = link->Previous;
            delete link;
        } else {
            // Someone else's procedure lies over ours: stay in the chain and
            // pass everything on.
            link->Adapter = nullptr;
            OrphanLinks().push_back(link);
        }
    } else if (NewWndProcInstance != nullptr) {
        // The attachment gives the previous procedure back only while the
        // window still runs it; otherwise its place passes messages on.
        DetachWindow(CtrlHandle, this);
        NewWndProcInstance = nullptr;
        OldProc = nullptr;
    }
    if (CtrlHandle && AdapterOfWindow(CtrlHandle) == this) ::RemovePropW(CtrlHandle, acAdapterPropName);
}

void RedrawWndFrame(HWND Handle, bool Full) {
    if (Full)
        ::SetWindowPos(Handle, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    else
        ::SendMessageW(Handle, WM_NCPAINT, 1, 0);
}

void ReleaseMainWnd(HWND Handle, bool FreeIt, bool Redraw, TacMainWnd*& Adapter) {
    if (Adapter == nullptr) return;
    if (!Adapter->Destroyed) {
        Adapter->UnhookWindow();
        Adapter->RestoreStdParams();
        Adapter->GiveThemeBack();
        if (Handle && ::IsWindowVisible(Handle)) RedrawWndFrame(Handle, Redraw);
        Adapter->Destroyed = true;
    }
    if (FreeIt) {
        Adapter->OldProc = nullptr;
        Adapter->OldWndProc = nullptr;
        TacMainWnd* adapter = Adapter;
        Adapter = nullptr;
        adapter->Free();
    }
}

void TacMainWnd::BeforeDestruction() {
    // Here, not in the destructor, so that the derived class's
    // RestoreStdParams runs.
    if (!Destroyed) {
        const bool managed = SkinData != nullptr && SkinManager != nullptr;
        if (managed) {
            TControl* control = OwnerControl();
            if (control != nullptr && OldCtrlStyle != 0) control->SetControlStyle(OldCtrlStyle);
        }
        // The procedure always goes back: an adapter left in a window's chain
        // would be called after it is gone. The look is given back unless the
        // form skinner is dropping all its adapters while the skin stays.
        UnhookWindow();
        if (managed && (!RemovingAllAdapters || SkinManager->SkinRemoving)) {
            RestoreStdParams();
            GiveThemeBack();
        }
        Destroyed = true;
    }
    TObject::BeforeDestruction();
}

void TacMainWnd::GiveThemeBack() {
    if (!FThemeOff) return;
    FThemeOff = false;
    const bool keepOff =
        SkinData != nullptr && SkinData->COC == kEditKind && AeroEnabledQuery && AeroEnabledQuery();
    if (!keepOff && acSetWindowTheme != nullptr && ::IsWindow(CtrlHandle))
        acSetWindowTheme(CtrlHandle, nullptr, nullptr);
}

TacMainWnd::~TacMainWnd() {
    if (!Destroyed) UnhookWindow();
    Destroyed = true;
    if (OwnSkinData && SkinData != nullptr) SkinData->Free();
    SkinData = nullptr;
    SkinManager = nullptr;
}

bool TacMainWnd::CanFreeNow() { return !DeferFreeWhileDispatching(this, Liveness()); }

// ---- messages -----------------------------------------------------------------------

void TacMainWnd::MainWndMethod(TMessage& Message) {
    TDispatchScope scope(this);
    // An address that this thread did not send reaches neither the adapter
    // nor the window's own procedure, skin or no skin.
    if (!MayActOnSkinCommand(Message)) return;
    acWndProc(Message);
}

void TacMainWnd::CallPrevWndProc(TMessage& Message) {
    if (OldWndProc) {
        OldWndProc(Message);
        return;
    }
    if (CtrlHandle && CallPreviousWndProc(CtrlHandle, this, Message)) return;
    if (OldProc) {
        Message.Result = ::CallWindowProcW(OldProc, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    Message.Result = 0;
}

LRESULT TacMainWnd::CallPrevWndProc(HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam) {
    TMessage m;
    m.Msg = Msg;
    m.WParam = WParam;
    m.LParam = LParam;
    m.Result = 0;
    if (OldWndProc) {
        OldWndProc(m);
    } else if (!(Handle && CallPreviousWndProc(Handle, this, m))) {
        m.Result = OldProc ? ::CallWindowProcW(OldProc, Handle, Msg, WParam, LParam) : 0;
    }
    LParam = m.LParam;
    return m.Result;
}

void TacMainWnd::SaveStdParams() {}
void TacMainWnd::RestoreStdParams() {}
void TacMainWnd::SetSkinParams() { ParamsChanged = true; }

bool TacMainWnd::EndParentUpdate() {
    if (!SkinData->FUpdating) return false;
    SkinData->SetUpdating(false);
    SkinData->SetUpdating(SkinData->GetUpdating());
    if (!SkinData->FUpdating)
        ::RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    return true;
}

void TacMainWnd::acWndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: {
        if (SkinData != nullptr && SkinData->GlowID >= 0) DropGlow(SkinData->GlowID);
        const bool hasPrevious = OldWndProc || OldProc || NewWndProcInstance || FProcLink;
        if (hasPrevious) {
            CallPrevWndProc(Message);
            if (Message.Result == 0) {
                try {
                    TacMainWnd* self = this;
                    ReleaseMainWnd(CtrlHandle, false, false, self);
                } catch (...) {
                    // The window goes on being destroyed.
                }
            }
        } else {
            // Nothing to pass the message to: the system's default handling
            // (sending it to the window again would come back here).
            Message.Result = ::DefWindowProcW(CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
        }
        return;
    }
    case WM_UPDATEUISTATE: return;
    case WM_CONTEXTMENU:
        // The owner control's menu is hooked before the window opens it.
        if (TControl* owner = OwnerControl(); owner && owner->PopupMenu()) {
            TsSkinManager* m = SkinData != nullptr ? SkinData->SkinManager() : SkinManager;
            if (m && m->SkinableMenus()) m->SkinableMenus()->HookPopupMenu(owner->PopupMenu(), m->Active());
        }
        break;
    case WM_SIZE:
        if (SkinData != nullptr) SkinData->BGChanged = true;
        break;
    case WM_SETTEXT:
        CallPrevWndProc(Message);
        Caption = GetWndText(CtrlHandle);
        return;
    case WM_MOUSEMOVE:
        if (DefaultManager != nullptr && !DefaultManager->HasState(csDesigning) && ::IsWindowEnabled(CtrlHandle) &&
            DefaultManager->ActiveControl() != CtrlHandle)
            DefaultManager->SetActiveControl(CtrlHandle);
        break;
    case WM_PRINT: Message.Result = ::SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam); return;
    default: break;
    }

    if (SkinData == nullptr || SkinManager == nullptr || !SkinManager->Active()) {
        CallPrevWndProc(Message);
        return;
    }
    if (Message.Msg == SkinCommandMessage) {
        const Word command = SkinCommandOf(Message.WParam);
        const bool ownManager = Message.LParam == reinterpret_cast<LPARAM>(SkinData->SkinManager());
        switch (command) {
        case AC_SETNEWSKIN:
            if (ownManager) {
                SkinData->UpdateIndexes();
                SkinData->BGChanged = true;
                SendCommandTo(dynamic_cast<TWinControl*>(OwnerControl()), CtrlHandle, Message);
            }
            break;
        case AC_REMOVESKIN:
            if (ownManager) RestoreStdParams();
            break;
        case AC_REFRESH:
            if (!ownManager) break;
            SkinData->UpdateIndexes();
            SkinData->BGChanged = true;
            SkinData->SetUpdating(false);
            if (::IsWindowVisible(CtrlHandle)) ::SendMessageW(CtrlHandle, WM_PAINT, 0, 0);
            return;
        case AC_ENDPARENTUPDATE:
            if (!EndParentUpdate()) break;
            return;
        case AC_CTRLHANDLED: Message.Result = 1; return;
        case AC_ISBGCHANGED: Message.Result = SkinData->FUpdating ? 1 : 0; return;
        case AC_SETSECTION:
            if (Message.LParam != 0) {
                const auto* record = reinterpret_cast<const TacSectionRecord*>(Message.LParam);
                SkinData->SetSkinSection(record->SectionName ? String(record->SectionName) : String());
            }
            break;
        case AC_MUSTBEREPAINTED:
            if (OwnerControl() != nullptr && HandleSkinCommand(Message, SkinData)) return;
            break;
        case AC_GETCONTROLCOLOR:
            CallPrevWndProc(Message);
            if (Message.Result == 0)
                Message.Result = static_cast<LRESULT>(static_cast<Cardinal>(SkinData->GetBGColor(0, CtrlHandle)));
            return;
        case AC_PREPARECACHE: PaintWndCache(SkinData, CtrlHandle, false); break;
        case AC_GETBG:
            if (Message.LParam != 0)
                SkinData->GetBGInfo(*reinterpret_cast<TBackgroundInfo*>(Message.LParam), 0, CtrlHandle);
            return;
        case AC_GETSKINSTATE:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(SkinData));
            return;
        case AC_PRINTING:
            if (Message.LParam != 0)
                SkinData->CtrlSkinState |= ACS_PRINTING;
            else
                SkinData->CtrlSkinState &= static_cast<Word>(~ACS_PRINTING);
            SkinData->PrintDC = reinterpret_cast<HDC>(Message.LParam);
            break;
        case AC_GETAPPLICATION:
            Message.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(Application));
            return;
        default: break;
        }
    }
    CallPrevWndProc(Message);
}

// ---- the factory --------------------------------------------------------------------

void RegisterAdapterClass(const String& ClassName, TacAdapterCreator Creator) {
    if (Creator == nullptr)
        AdapterClasses().erase(ClassName);
    else
        AdapterClasses()[ClassName] = Creator;
}

TacAdapterCreator FindAdapterClass(const String& ClassName) {
    const auto it = AdapterClasses().find(ClassName);
    return it == AdapterClasses().end() ? nullptr : it->second;
}

TacMainWnd* CreateAdapter(const String& ClassName, HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                          const String& SkinSection, bool Repaint) {
    const TacAdapterCreator creator = FindAdapterClass(ClassName);
    return creator ? creator(AHandle, ASkinData, ASkinManager, SkinSection, Repaint) : nullptr;
}

// ---- attach routines and helpers --------------------------------------------------

namespace {

HWND OwnerWindow(TsCommonData* SkinData) {
    auto* control = dynamic_cast<TWinControl*>(SkinData->OwnerControl());
    return control && control->HandleAllocated() ? control->Handle() : nullptr;
}

void FreeAdapter(TacMainWnd*& Adapter) {
    if (Adapter == nullptr) return;
    TacMainWnd* adapter = Adapter;
    Adapter = nullptr;
    adapter->Free();
}

void AttachAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter, const char16_t* ClassName, bool FlatBars) {
    if (SkinData == nullptr) return;
    const HWND wnd = OwnerWindow(SkinData);
    if (SkinData->Skinned()) {
        if (wnd == nullptr) return;
        if (FlatBars && acInitializeFlatSB) acInitializeFlatSB(wnd);
        if (Adapter != nullptr && Adapter->Destroyed) FreeAdapter(Adapter);
        if (Adapter == nullptr)
            Adapter = CreateAdapter(ClassName, wnd, SkinData, SkinData->SkinManager(), SkinData->SkinSection(), true);
    } else {
        FreeAdapter(Adapter);
        if (FlatBars && wnd && acUninitializeFlatSB) acUninitializeFlatSB(wnd);
    }
}

}  // namespace

void AttachScrollAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter) {
    if (SkinData == nullptr) return;
    if (TControl* control = SkinData->OwnerControl();
        control && (control->HasState(csLoading) || control->HasState(csDestroying) || control->HasState(csDesigning)))
        return;
    AttachAdapter(SkinData, Adapter, u"TacScrollWnd", true);
}

void AttachEditAdapter(TsCommonData* SkinData, TacMainWnd*& Adapter) {
    AttachAdapter(SkinData, Adapter, u"TacEditWnd", false);
}

void SendCommandTo(TWinControl* Control, HWND Handle, TMessage& Message) {
    if (Control != nullptr)
        PassMessageToChildControls(Control, Message);
    else if (Handle != nullptr)
        PassMessageToChildWindows(Handle, Message);
}

void NotifyTopLevelWindow(HWND Handle) {
    HWND top = Handle;
    for (HWND parent = top ? ::GetParent(top) : nullptr; parent != nullptr; parent = ::GetParent(parent)) top = parent;
    if (top != nullptr) SendSkinCommand(top, AC_CONTROLLOADED, 0);
}

bool HasStateImages(TsCommonData* SkinData) {
    if (SkinData == nullptr) return false;
    TsSkinManager* manager = SkinData->SkinManager();
    if (manager == nullptr || !manager->IsValidSkinIndex(SkinData->SkinIndex)) return false;
    if (SkinData->BorderIndex < 0 || SkinData->BorderIndex >= static_cast<Integer>(manager->ma().size())) return false;
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(SkinData->BorderIndex)];
    return mask.ImageCount > 1 || manager->gd()[static_cast<std::size_t>(SkinData->SkinIndex)].States > 1;
}

void SetOrdPropIfExists(TObject* Control, const String& Name, Integer Value) {
    if (Control == nullptr || GetPropInfo(Control, Name) == nullptr) return;
    try {
        SetOrdProp(Control, Name, Value);
    } catch (const EPropertyError&) {
        // Not an ordinal property, or read-only: nothing to set.
    }
}

TColor GetColorPropIfExists(TObject* Control, const String& Name) {
    if (Control == nullptr || GetPropInfo(Control, Name) == nullptr) return 0;
    try {
        return ColorToRGB(static_cast<TColor>(GetOrdProp(Control, Name)));
    } catch (const EPropertyError&) {
        return 0;
    }
}

void GetWindowPosInParent(HWND Handle, HWND& ParentWnd, TRect& WndRect, TPoint& WndPos, TSize& WndSize,
                          TRect& ParentRect) {
    RECT r{};
    ::GetWindowRect(Handle, &r);
    WndRect = TRect(r.left, r.top, r.right, r.bottom);
    WndSize = TSize{r.right - r.left, r.bottom - r.top};
    ParentWnd = ::GetParent(Handle);
    POINT p{r.left, r.top};
    RECT pr{};
    if (ParentWnd != nullptr) {
        ::GetWindowRect(ParentWnd, &pr);
        ::ScreenToClient(ParentWnd, &p);
    }
    ParentRect = TRect(pr.left, pr.top, pr.right, pr.bottom);
    WndPos = TPoint{p.x, p.y};
}

HFONT CreateSystemFont(Integer Kind) {
    if (Kind < 1 || Kind > 5) return nullptr;
    // The structure as older systems know it (no iPaddedBorderWidth): 504
    // bytes, which every version answers.
    NONCLIENTMETRICSW ncm{};
    static_assert(sizeof(NONCLIENTMETRICSW) >= 504, "non-client metrics");
    ncm.cbSize = 504;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 504, &ncm, 0)) return nullptr;
    const LOGFONTW* font = nullptr;
    switch (Kind) {
    case 1: font = &ncm.lfCaptionFont; break;
    case 2: font = &ncm.lfSmCaptionFont; break;
    case 3: font = &ncm.lfMenuFont; break;
    case 4: font = &ncm.lfStatusFont; break;
    default: font = &ncm.lfMessageFont; break;
    }
    return ::CreateFontIndirectW(font);
}

String GetWndText(HWND Handle) {
    if (Handle == nullptr) return String();
    const int length = ::GetWindowTextLengthW(Handle);
    if (length <= 0) return String();
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(Handle, buffer.data(), length + 1);
    buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return String(buffer.begin(), buffer.end());
}

// ---- the cached image ---------------------------------------------------------------

bool PaintBorderedFace(TBitmap* Cache, Integer W, Integer H) {
    const TColor border = DefaultManager && DefaultManager->SkinData() ? DefaultManager->SkinData()->BorderColor
                                                                         : kNoColor;
    if (border == kNoColor) return false;
    TCanvas* canvas = Cache->Canvas();
    canvas->Brush()->SetColor(ColorToRGB(clWindow));
    canvas->FillRect(TRect(0, 0, W, H));
    canvas->Brush()->SetColor(ColorToRGB(border));
    canvas->FrameRect(TRect(0, 0, W, H));
    return true;
}

void PaintWndCache(TsCommonData* SkinData, HWND Handle, bool Bordered) {
    if (SkinData == nullptr || !SkinData->BGChanged || Handle == nullptr) return;
    SkinData->InitCacheBmp();
    RECT wr{};
    ::GetWindowRect(Handle, &wr);
    const int w = std::max(0L, wr.right - wr.left);
    const int h = std::max(0L, wr.bottom - wr.top);
    const HWND parent = ::GetParent(Handle);
    POINT pos{wr.left, wr.top};
    const bool posKnown = parent == nullptr || ::ScreenToClient(parent, &pos);
    TCacheInfo ci;
    if (parent != nullptr) {
        TBackgroundInfo info;
        info.R = TRect(pos.x, pos.y, pos.x + w, pos.y + h);
        QueryWindowBackground(info, parent, false);
        if (info.BgType == 3) {
            // The parent is busy: paint later.
            SkinData->SetUpdating(true);
            return;
        }
        BackgroundToCacheInfo(info, ci);
    }
    TBitmap* cache = SkinData->FCacheBmp;
    cache->SetSize(w, h);
    TsSkinManager* manager = SkinData->SkinManager();
    if (!Bordered || !PaintBorderedFace(cache, w, h)) {
        if (!posKnown) return;
        if (manager != nullptr && manager->IsValidSkinIndex(SkinData->SkinIndex)) {
            const bool hot = (SkinData->FFocused || SkinData->FMouseAbove) && HasStateImages(SkinData);
            PaintControlSection(SkinData, ci, hot ? 1 : 0, cache, TPoint{pos.x, pos.y}, TRect(0, 0, w, h), true);
        }
    }
    if (TControl* control = SkinData->OwnerControl(); control && !control->Enabled()) {
        TsDisabledKind kind;
        kind.Include(dkBlended);
        SendSkinCommand(Handle, AC_GETDISKIND, reinterpret_cast<LPARAM>(&kind));
        ApplyDisabledKind(cache, kind, control, TPoint{pos.x, pos.y}, ci);
    }
    cache->Modified = true;
    SkinData->BGChanged = false;
}

void RepaintWndBorderCorners(TsCommonData* SkinData, Integer State, TacMainWnd* Adapter) {
    if (SkinData == nullptr || Adapter == nullptr || Adapter->DlgMode) return;
    TsSkinManager* manager = SkinData->SkinManager();
    if (manager == nullptr || SkinData->FCacheBmp == nullptr) return;
    if (SkinData->BorderIndex < 0 || SkinData->BorderIndex >= static_cast<Integer>(manager->ma().size())) return;
    TBitmap* cache = SkinData->FCacheBmp;
    if (cache->Width() < 2 || cache->Height() < 2) return;
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(SkinData->BorderIndex)];
    if (MaskFrameWidth(mask) == 0 || MaskFrameHeight(mask) == 0) return;
    TCacheInfo ci;
    GetParentCacheHwnd(Adapter->CtrlHandle, ci);
    if (ci.Ready) {
        // The parent's image holds the window at its place in the parent.
        RECT wr{};
        ::GetWindowRect(Adapter->CtrlHandle, &wr);
        POINT pos{wr.left, wr.top};
        if (::ScreenToClient(::GetParent(Adapter->CtrlHandle), &pos)) {
            ci.X += pos.x;
            ci.Y += pos.y;
        }
    }
    TacBits32 parentBits;
    RepaintCornerKeys(Bits32Of(cache), MaskSourceOf(mask, acMaskImage(mask, manager)), State,
                      acParentOf(ci, parentBits));
    cache->Modified = true;
}

// ---- unit start and end -----------------------------------------------------------

void acSBUtilsInitialization() {
    if (gStartCount++ > 0) return;
    gUser32 = ::LoadLibraryW(L"user32.dll");
    if (gUser32)
        acGetScrollBarInfo = reinterpret_cast<TacGetScrollBarInfo>(
            reinterpret_cast<void*>(::GetProcAddress(gUser32, "GetScrollBarInfo")));
    gComCtl32 = ::LoadLibraryW(L"comctl32.dll");
    if (gComCtl32) {
        acUninitializeFlatSB = reinterpret_cast<TacUninitializeFlatSB>(
            reinterpret_cast<void*>(::GetProcAddress(gComCtl32, "UninitializeFlatSB")));
        acInitializeFlatSB = reinterpret_cast<TacInitializeFlatSB>(
            reinterpret_cast<void*>(::GetProcAddress(gComCtl32, "InitializeFlatSB")));
    }
    RegisterAdapterClass<TacMainWnd>(u"TacMainWnd");
    acScrollWndInitialization();
    RegisterAdapterClass<TacBaseWnd>(u"TacBaseWnd");
    acEditWndInitialization();
    acComboWndInitialization();
    acStaticWndInitialization();
    acMenuWndInitialization();
}

void acSBUtilsFinalization() {
    if (gStartCount == 0) return;
    gStartCount = 0;
    acGetScrollBarInfo = nullptr;
    acInitializeFlatSB = nullptr;
    acUninitializeFlatSB = nullptr;
    for (HMODULE* module : {&gUser32, &gComCtl32}) {
        if (*module) ::FreeLibrary(*module);
        *module = nullptr;
    }
    AdapterClasses().clear();
}
