#include "acDials.h"

#include <algorithm>
#include <cstdint>

#include "Forms.h"
#include "SysUtils.h"
#include "acDwm.h"
#include "sButton.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

std::vector<TacProvider*>* gHookProviders = nullptr;

// A window that answers "are you skinned?" is never skinned again.
bool AlreadySkinned(HWND Wnd) { return SendSkinCommand(Wnd, AC_CTRLHANDLED) == 1; }

bool HasProviderFor(HWND Wnd) {
    for (TacProvider* p : HookProviders())
        if (p && p->CtrlHandle == Wnd) return true;
    return false;
}

// The form whose window this is, newest first.
TCustomForm* FormOfWindow(HWND Wnd) {
    if (!Screen) return nullptr;
    for (int i = Screen->FormCount() - 1; i >= 0; --i) {
        TCustomForm* f = Screen->Forms(i);
        if (!f->HasState(csDestroying) && f->HandleAllocated() && f->Handle() == Wnd) return f;
    }
    return nullptr;
}

bool NeverSkinned(TCustomForm* Form) {
    // The engine's own windows carry the tag -98.
    constexpr std::uint32_t kEngineTag = 0xFFFFFF9E;
    if ((static_cast<std::uint32_t>(Form->Tag) & kEngineTag) == kEngineTag) return true;
    TStringList* excluded = HookExcludedClasses();
    const String name = Form->ClassName();
    for (int i = 0; excluded && i < excluded->Count(); ++i)
        if (excluded->Get(i) == name) return true;
    return false;
}

}  // namespace

std::vector<TacProvider*>& HookProviders() {
    if (!gHookProviders) gHookProviders = new std::vector<TacProvider*>();
    return *gHookProviders;
}

TacProvider::TacProvider(TComponent* AOwner) : TComponent(AOwner) {}

TacProvider::~TacProvider() {
    // The run-time skin provider belongs to the form; only the slot goes.
    if (gHookProviders)
        std::replace(gHookProviders->begin(), gHookProviders->end(), this, static_cast<TacProvider*>(nullptr));
}

void TacProvider::InitForm(TCustomForm* Form) {
    sp = TsSkinProvider::CreateRT(Form, true);
    sp->SetUseGlobalColor(false);
    sp->Form = Form;
    if (IsAeroEnabled()) {
        if (!sp->Adapter) sp->Loaded();
        ::RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ::SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
    } else if (!::IsDebuggerPresent()) {
        ::UpdateWindow(Form->Handle());
        ::RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    }
    sp->SetMakeSkinMenu(false);
}

bool SkinNewWindow(HWND Handle, const CREATESTRUCTW* /*CreateStruct: the class of a dialog*/) {
    TsSkinManager* manager = DefaultManager;
    if (!manager || !Application || Application->HasState(csDestroying) || !Handle || AlreadySkinned(Handle))
        return false;
    const LONG_PTR style = ::GetWindowLongPtrW(Handle, GWL_STYLE);
    if ((style & WS_POPUP) && !(style & WS_BORDER)) return false;
    if (HasProviderFor(Handle)) return false;

    TCustomForm* form = FormOfWindow(Handle);
    // Windows that are no form of the application (standard dialogs) are
    // left to dialog skinning.
    if (!form || form->HasState(csLoading)) return false;
    if (NeverSkinned(form)) return false;
    const TacSkinningRule rule = form->ClassName() == u"TMessageForm" ? srStdDialogs : srStdForms;
    if (!manager->SkinningRules().Contains(rule)) return false;
    auto* provider = new TacProvider(form);
    provider->FForm = form;
    provider->CtrlHandle = Handle;
    HookProviders().push_back(provider);
    provider->InitForm(form);
    return true;
}

LRESULT CALLBACK CBTHookProc(int Code, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = ::CallNextHookEx(TsSkinManager::HookHandle(), Code, wParam, lParam);
    if (!Application || Application->HasState(csDestroying)) return result;
    switch (Code) {
    case HCBT_ACTIVATE: SkinNewWindow(reinterpret_cast<HWND>(wParam), nullptr); break;
    default: break;
    }
    return result;
}

void acDialsFinalization() {
    std::vector<TacProvider*>* list = gHookProviders;
    gHookProviders = nullptr;
    if (!list) return;
    for (TacProvider* p : *list) delete p;
    delete list;
}
