#include "sStyleSimplyWin.h"

#include <algorithm>
#include <shellapi.h>

#include "acUtilsWin.h"
#include "sSkinManager.h"

TacHookAdapterList* HookAdapters = nullptr;
bool acSkinChangeAnimating = false;
HICON acAppIconLarge = nullptr;
HICON acAppIconSmall = nullptr;

namespace {

std::vector<TCustomForm*> gSkinnedForms;

bool AppMinimized() {
    return Application && Application->HandleAllocated() && ::IsIconic(Application->Handle());
}

bool FormMinimized(TCustomForm* Form) { return Form->WindowState() == TWindowState::wsMinimized; }

// The provider of a listed form when it belongs to Manager.
TacFormProvider* OwnProvider(TCustomForm* Form, TsSkinManager* Manager) {
    if (!Form || Form->HasState(csDestroying)) return nullptr;
    TacFormProvider* p = GetFormProvider(Form);
    return p && ProviderManager(p) == Manager ? p : nullptr;
}

void SendToForm(TCustomForm* Form, TMessage& Message) {
    if (Form->HandleAllocated())
        Message.Result = ::SendMessageW(Form->Handle(), Message.Msg, Message.WParam, Message.LParam);
    PassMessageToChildControls(Form, Message);
}

void SetAnimationSwitch(TsSkinManager* Manager) {
    if (Manager && Manager->IsDefault() && Manager->AnimEffects()->SkinChanging()->Active()) acAnimationSwitch = true;
}

}  // namespace

TacFormProvider* GetFormProvider(TCustomForm* Form) {
    return reinterpret_cast<TacFormProvider*>(SendSkinCommandToControl(Form, AC_GETPROVIDER, 0));
}

TsSkinManager* ProviderManager(const TacFormProvider* Provider) {
    if (!Provider) return nullptr;
    return Provider->SkinManager ? Provider->SkinManager : DefaultManager;
}

void AddSkinnedForm(TCustomForm* Form) {
    if (!Form || std::find(gSkinnedForms.begin(), gSkinnedForms.end(), Form) != gSkinnedForms.end()) return;
    gSkinnedForms.push_back(Form);
}

void RemoveSkinnedForm(TCustomForm* Form) {
    std::erase(gSkinnedForms, Form);
}

const std::vector<TCustomForm*>& SkinnedForms() { return gSkinnedForms; }

TMessage MakeSkinCommand(Word Command, TsSkinManager* Manager) {
    TMessage m;
    m.Msg = SkinCommandMessage;
    m.WParam = MakeSkinWParam(Command);
    m.LParam = reinterpret_cast<LPARAM>(Manager);
    return m;
}

void BroadcastToAppForms(TMessage& Message) {
    if (Application) {
        for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
            if (i >= Application->ComponentCount()) continue;   // the list shrank under us
            auto* form = dynamic_cast<TCustomForm*>(Application->Components(i));
            if (!form || form->HasState(csDestroying) || form->HasState(csLoading)) continue;
            if (form->HandleAllocated() && SkinCommandAnswered(form->Handle(), AC_CTRLHANDLED)) continue;
            SendToForm(form, Message);
        }
    }
    BroadcastToSkinnedForms(Message);
}

void BroadcastToSkinnedForms(TMessage& Message) {
    // A copy: a receiver may add or remove forms.
    const std::vector<TCustomForm*> forms = gSkinnedForms;
    for (TCustomForm* form : forms) {
        if (std::find(gSkinnedForms.begin(), gSkinnedForms.end(), form) == gSkinnedForms.end()) continue;
        if (form->HasState(csDestroying)) continue;
        SendToForm(form, Message);
    }
    if (HookAdapters) {
        const TacHookAdapterList adapters = *HookAdapters;
        for (TacHookAdapter* a : adapters) {
            if (!HookAdapters || std::find(HookAdapters->begin(), HookAdapters->end(), a) == HookAdapters->end())
                continue;
            const HWND wnd = a->Wnd();
            if (wnd && ::IsWindowVisible(wnd))
                Message.Result = ::SendMessageW(wnd, Message.Msg, Message.WParam, Message.LParam);
        }
    }
}

void InvalidateSkinnedFormsCache(TsSkinManager* Manager) {
    if (AppMinimized() || !Manager) return;
    if (Manager->HasState(csDesigning) || Manager->HasState(csLoading) || Manager->HasState(csReading)) return;
    SetAnimationSwitch(Manager);
    acSkinChangeAnimating = true;
    for (TCustomForm* form : std::vector<TCustomForm*>(gSkinnedForms)) {
        if (FormMinimized(form) || form->Parent() || !form->Visible()) continue;
        TacFormProvider* p = OwnProvider(form, Manager);
        if (!p) continue;
        if (p->HasBorderForm()) {
            p->FormState |= FS_ANIMSHOWING;
            p->MakeCoverBmp();
        }
        p->FInAnimation = true;
    }
}

std::vector<TCustomForm*> UpdateSkinnedFormRegions(TsSkinManager* Manager) {
    std::vector<TCustomForm*> frozen;
    if (AppMinimized()) return frozen;
    SetAnimationSwitch(Manager);
    for (TCustomForm* form : std::vector<TCustomForm*>(gSkinnedForms)) {
        if (FormMinimized(form) || form->Parent() || !form->HandleAllocated() || !::IsWindowVisible(form->Handle()))
            continue;
        TacFormProvider* p = OwnProvider(form, Manager);
        if (!p) continue;
        p->FInAnimation = true;
        p->FormState |= FS_CHANGING;
        if (p->HasBorderForm() && p->HasCoverBmp()) p->UpdateBorderFromCover(p->AlphaBlend ? p->AlphaBlendValue : 255);
        ::SendMessageW(form->Handle(), WM_SETREDRAW, FALSE, 0);
        frozen.push_back(form);
    }
    return frozen;
}

void RefreshSkinnedForms(TsSkinManager* Manager, bool Animate) {
    if (AppMinimized()) return;
    if (Manager && Manager->IsDefault()) acAnimationSwitch = false;
    acSkinChangeAnimating = false;
    const std::vector<TCustomForm*> forms = gSkinnedForms;
    for (TCustomForm* form : forms) {
        TacFormProvider* p = OwnProvider(form, Manager);
        if (p && (p->FormState & FS_CHANGING) && form->HandleAllocated())
            ::SendMessageW(form->Handle(), WM_SETREDRAW, TRUE, 0);
    }
    for (TCustomForm* form : forms) {
        TacFormProvider* p = OwnProvider(form, Manager);
        if (!p || !(p->FormState & FS_CHANGING)) continue;
        if (!FormMinimized(form)) {
            if (Animate) {
                TacFormAnimation* anim = Manager->AnimEffects()->SkinChanging();
                if (anim->Active()) {
                    if (p->FDrawNonClientArea)
                        p->AnimShow(anim->Time(), p->AlphaBlend ? p->AlphaBlendValue : 255, static_cast<Integer>(anim->Mode()));
                    else
                        p->AnimShow(0, 255, 0);
                }
                p->FormState &= ~FS_ANIMSHOWING;
                p->FInAnimation = false;
                if (p->FDrawNonClientArea) {
                    p->RepaintFrame();
                    if (form->HandleAllocated())
                        ::RedrawWindow(form->Handle(), nullptr, nullptr,
                                       RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                } else if (form->HandleAllocated()) {
                    ::RedrawWindow(form->Handle(), nullptr, nullptr,
                                   RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
                }
            } else {
                p->FormState &= ~FS_ANIMSHOWING;
                if (form->HandleAllocated()) ::SendMessageW(form->Handle(), WM_SETREDRAW, TRUE, 0);
            }
        }
        p->FormState &= ~FS_CHANGING;
    }
}

namespace {

// Thaws the listed forms of Manager (only those in Only when it is given).
void ThawForms(TsSkinManager* Manager, const std::vector<TCustomForm*>* Only) {
    if (Manager && Manager->IsDefault()) acAnimationSwitch = false;
    acSkinChangeAnimating = false;
    for (TCustomForm* form : std::vector<TCustomForm*>(gSkinnedForms)) {
        if (Only && std::find(Only->begin(), Only->end(), form) == Only->end()) continue;
        TacFormProvider* p = OwnProvider(form, Manager);
        if (!p) continue;
        const bool frozen = (p->FormState & FS_CHANGING) != 0;
        p->FormState &= ~(FS_CHANGING | FS_ANIMSHOWING);
        p->FInAnimation = false;
        if (frozen && form->HandleAllocated()) {
            ::SendMessageW(form->Handle(), WM_SETREDRAW, TRUE, 0);
            ::RedrawWindow(form->Handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    }
}

}  // namespace

void ThawSkinnedForms(TsSkinManager* Manager) { ThawForms(Manager, nullptr); }

TacFormsFreeze::TacFormsFreeze(TsSkinManager* Manager, bool Active) : FManager(Manager), FPending(Active) {
    if (FPending) FFrozen = UpdateSkinnedFormRegions(FManager);
}

TacFormsFreeze::~TacFormsFreeze() {
    if (FPending) ThawForms(FManager, &FFrozen);
}

void TacFormsFreeze::Refresh(bool Animate) {
    if (!FPending) return;
    RefreshSkinnedForms(FManager, Animate);
    FPending = false;
}

TacSysAnimationOff::TacSysAnimationOff(bool (*Get)(), void (*Set)(bool))
    : FSet(Set ? Set : SetSysAnimation), FWasOn((Get ? Get : SysAnimationEnabled)()) {
    if (FWasOn) FSet(false);
}

TacSysAnimationOff::~TacSysAnimationOff() {
    if (FWasOn) FSet(true);
}

void sStyleSimplyWinInitialization() {
    wchar_t path[MAX_PATH] = {};
    if (!::GetModuleFileNameW(nullptr, path, MAX_PATH)) return;
    SHFILEINFOW info = {};
    if (::SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_ICON)) acAppIconLarge = info.hIcon;
    info = {};
    if (::SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON)) acAppIconSmall = info.hIcon;
}

void sStyleSimplyWinFinalization() {
    if (acAppIconLarge) ::DestroyIcon(acAppIconLarge);
    if (acAppIconSmall) ::DestroyIcon(acAppIconSmall);
    acAppIconLarge = acAppIconSmall = nullptr;
    gSkinnedForms.clear();
}
