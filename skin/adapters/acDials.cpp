#include "acDials.h"

#include <algorithm>
#include <cstdint>

#include "Controls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "WindowAttach.h"
#include "acDialogWnd.h"
#include "acDwm.h"
#include "acMessageBox.h"
#include "acSBUtils.h"
#include "sButton.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

std::vector<TacProvider*>* gHookProviders = nullptr;
std::vector<TacMainWnd*>* gHookedMenuWindows = nullptr;

// A window that answers "are you skinned?" is never skinned again.
bool AlreadySkinned(HWND Wnd) { return SendSkinCommand(Wnd, AC_CTRLHANDLED) == 1; }

bool HasProviderFor(HWND Wnd) {
    if (!gHookProviders) return false;
    for (TacProvider* p : *gHookProviders)
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

int VisibleProviderWindows() {
    int n = 0;
    for (TacProvider* p : HookProviders())
        if (p && p->CtrlHandle && ::IsWindowVisible(p->CtrlHandle)) ++n;
    return n;
}

BOOL CALLBACK FindToolBar(HWND Wnd, LPARAM Found) {
    if (LowerCase(GetWndClassName(Wnd)) == u"toolbarwindow32") {
        *reinterpret_cast<bool*>(Found) = true;
        return FALSE;
    }
    return TRUE;
}

bool HasToolBarDescendant(HWND Wnd) {
    bool found = false;
    ::EnumChildWindows(Wnd, &FindToolBar, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Whether one of the provider's adapters is inside one of its calls (its
// window's message is being handled further up the stack).
bool ProviderBusy(const TacProvider* Provider) {
    const std::vector<const void*>& active = ActiveDispatches();
    auto busy = [&](const TacMainWnd* a) {
        return a && std::find(active.begin(), active.end(), static_cast<const void*>(a)) != active.end();
    };
    if (busy(Provider->ListSW)) return true;
    if (Provider->acSkinnedCtrls)
        for (const TacMainWnd* a : *Provider->acSkinnedCtrls)
            if (busy(a)) return true;
    return false;
}

// ---- the deferred release ---------------------------------------------------------
//
// A dialog provider whose dialog is gone is freed from a message posted to
// this hidden window; while one of its adapters is on the stack a short
// timer asks again.

constexpr UINT kReleaseMessage = WM_USER + 0x2A1;
constexpr UINT_PTR kReleaseTimer = 1;
constexpr UINT kReleaseRetryMs = 100;

struct TacReleaseWindow {
    HWND Wnd = nullptr;
    bool Posted = false;
    bool Retrying = false;

    void WndProc(TMessage& Message);
};
TacReleaseWindow gRelease;

// Frees what can be freed; answers whether some provider had to wait.
bool FreeReadyProviders() {
    if (!gHookProviders) return false;
    bool waiting = false;
    for (std::size_t i = 0; i < gHookProviders->size(); ++i) {
        TacProvider* p = (*gHookProviders)[i];
        // The dialog adapter is marked destroyed when its window's last
        // message (WM_NCDESTROY) came: the handle's value may name another
        // window by now.
        if (!p || !p->ListSW || !p->ListSW->Destroyed) continue;
        if (ProviderBusy(p)) {
            waiting = true;
            continue;
        }
        (*gHookProviders)[i] = nullptr;
        p->Free();
    }
    return waiting;
}

void TacReleaseWindow::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case kReleaseMessage:
    case WM_TIMER: {
        if (Message.Msg == kReleaseMessage) Posted = false;
        const bool waiting = FreeReadyProviders();
        if (waiting && !Retrying) {
            Retrying = ::SetTimer(Wnd, kReleaseTimer, kReleaseRetryMs, nullptr) != 0;
        } else if (!waiting && Retrying) {
            ::KillTimer(Wnd, kReleaseTimer);
            Retrying = false;
        }
        Message.Result = 0;
        return;
    }
    default: Message.Result = ::DefWindowProcW(Wnd, Message.Msg, Message.WParam, Message.LParam); return;
    }
}

void PostRelease() {
    if (gRelease.Posted) return;
    if (!gRelease.Wnd) {
        try {
            gRelease.Wnd = AllocateHWnd(TWndMethod::Of<&TacReleaseWindow::WndProc>(&gRelease));
        } catch (...) {
            return;   // freed at the next destruction or at the end
        }
    }
    gRelease.Posted = ::PostMessageW(gRelease.Wnd, kReleaseMessage, 0, 0) != 0;
}

// Sets a flag for the life of the object.
class TFlagScope {
public:
    TFlagScope(bool& Flag, bool Value) : FFlag(Flag), FOld(Flag) { FFlag = Value; }
    ~TFlagScope() { FFlag = FOld; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
    bool FOld;
};

}  // namespace

std::vector<TacProvider*>& HookProviders() {
    if (!gHookProviders) gHookProviders = new std::vector<TacProvider*>();
    return *gHookProviders;
}

std::vector<TacMainWnd*>& HookedMenuWindows() {
    if (!gHookedMenuWindows) gHookedMenuWindows = new std::vector<TacMainWnd*>();
    return *gHookedMenuWindows;
}

String GetWndClassName(HWND Handle) {
    wchar_t buffer[129] = {};
    const int n = Handle ? ::GetClassNameW(Handle, buffer, 129) : 0;
    return FromW(buffer, static_cast<std::size_t>(std::max(0, n)));
}

void SendToChildWindows(HWND Handle, TMessage& Message) {
    for (HWND child = ::GetWindow(Handle, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        Message.Result = ::SendMessageW(child, Message.Msg, Message.WParam, Message.LParam);
}

// ---- the class table ------------------------------------------------------------------

TacChildAdapter ChildAdapterOf(StringView LowerClass, DWORD Style, DWORD ExStyle) {
    auto make = [](const char16_t* Class, const char16_t* Section) {
        TacChildAdapter a;
        a.ClassName = Class;
        a.Section = Section;
        return a;
    };
    const StringView cls = LowerClass;
    if (cls == u"static") {
        switch (Style & 0x1F) {
        case 0x03:   // SS_ICON
        case 0x0E:   // SS_BITMAP
        case 0x0F:   // SS_ENHMETAFILE: a picture like the two above
            return (ExStyle & WS_EX_STATICEDGE) ? make(u"TacEdgeWnd", u"EDIT") : make(u"TacIconWnd", u"CHECKBOX");
        case 0x05:   // SS_GRAYRECT
        case 0x06:   // SS_WHITERECT
        case 0x0B:   // SS_SIMPLE
        case 0x0D:   // SS_OWNERDRAW
            return {};
        default: return make(u"TacStaticWnd", u"CHECKBOX");
        }
    }
    if (cls == u"button") {
        switch (Style & 0xF) {
        case 0x7: return make(u"TacGroupBoxWnd", u"GROUPBOX");   // BS_GROUPBOX
        case 0x2:   // BS_CHECKBOX
        case 0x3:   // BS_AUTOCHECKBOX
        case 0x4:   // BS_RADIOBUTTON
        case 0x5:   // BS_3STATE
        case 0x6:   // BS_AUTO3STATE
        case 0x9:   // BS_AUTORADIOBUTTON
            return make(u"TacCheckBoxWnd", u"CHECKBOX");
        default: return make(u"TacBtnWnd", u"BUTTON");   // push buttons, owner-drawn, split, command links
        }
    }
    if (cls == u"#32770" || cls == u"shbrowseforfolder") return make(u"TacTransPanelWnd", u"CHECKBOX");
    if (cls == u"tpanel") return make(u"TacPanelWnd", u"CHECKBOX");
    if (cls == u"tsilentpaintpanel") return make(u"TacPanelWnd", u"GROUPBOX");
    if (cls == u"edit" || cls == u"combobox") {
        TacChildAdapter a = cls == u"edit" ? make(u"TacEditWnd", u"EDIT") : make(u"TacComboBoxWnd", u"COMBOBOX");
        a.RepaintWithDialogCache = true;
        a.ClearsPaintForbidden = true;
        return a;
    }
    if (cls == u"combolbox" || cls == u"comboboxex32" || cls == u"listbox") {
        TacChildAdapter a = cls == u"combolbox"      ? make(u"TacEditWnd", u"COMBOBOX")
                            : cls == u"comboboxex32" ? make(u"TacComboBoxWnd", u"COMBOBOX")
                                                     : make(u"TacEditWnd", u"EDIT");
        a.ClearsPaintForbidden = true;
        return a;
    }
    if (cls == u"scrollbar") return (Style & 0x10) ? make(u"TacSizerWnd", u"CHECKBOX") : TacChildAdapter{};
    if (cls == u"systabcontrol32")
        return (Style & 0x2000) == 0 ? make(u"TacTabControlWnd", u"PAGECONTROL") : TacChildAdapter{};
    if (cls == u"syslistview32") return make(u"TacListViewWnd", u"EDIT");
    if (cls == u"msctls_updown32") return make(u"TacSpinWnd", u"SPEEDBUTTON_SMALL");
    if (cls == u"msctls_trackbar32") return make(u"TacTrackWnd", u"TRACKBAR");
    if (cls == u"link window" || cls == u"syslink") return make(u"TacLinkWnd", u"CHECKBOX");
    if (cls == u"toolbarwindow32")
        return (Style & 0x200) ? make(u"TacToolBarWnd", u"BAR") : make(u"TacToolBarWnd", u"CHECKBOX");
    if (cls == u"systreeview32") return make(u"TacTreeViewWnd", u"EDIT");
    return {};
}

// ---- the provider ---------------------------------------------------------------------

TacProvider::TacProvider(TComponent* AOwner) : TComponent(AOwner) { BiDiLeft = false; }

TacProvider::~TacProvider() {
    if (gHookProviders)
        std::replace(gHookProviders->begin(), gHookProviders->end(), this, static_cast<TacProvider*>(nullptr));
    if (acSkinnedCtrls) {
        std::vector<TacMainWnd*>* list = acSkinnedCtrls;
        acSkinnedCtrls = nullptr;
        for (TacMainWnd* a : *list)
            if (a) a->Free();
        delete list;
    }
    if (ListSW) {
        ListSW->Provider = nullptr;
        TacDialogWnd* adapter = ListSW;
        ListSW = nullptr;
        adapter->Free();
    }
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

bool TacProvider::InitSkin(HWND aHandle) {
    CtrlHandle = aHandle;
    if (!acSkinnedCtrls) acSkinnedCtrls = new std::vector<TacMainWnd*>();
    if (ListSW || !DefaultManager || !DefaultManager->Active()) return true;
    BiDiLeft = (::GetWindowLongW(aHandle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
    AttachDialogAdapter(aHandle, ListSW);
    if (ListSW) {
        ListSW->Provider = this;
        // A position asked for by the message box being shown: only both
        // coordinates together make one. Moved now and again once the
        // dialog has placed itself.
        if (MessageBoxX != -1 && MessageBoxY != -1) {
            ListSW->RequestedPos = TPoint{MessageBoxX, MessageBoxY};
            ::SetWindowPos(aHandle, nullptr, MessageBoxX, MessageBoxY, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
        }
    }
    if (!InitHwndControls(aHandle)) {
        if (gHookProviders)
            std::replace(gHookProviders->begin(), gHookProviders->end(), this, static_cast<TacProvider*>(nullptr));
        return false;
    }
    if (ListSW) {
        ListSW->InitParams();
        SendSkinCommand(aHandle, AC_SETNEWSKIN, reinterpret_cast<LPARAM>(DefaultManager));
    }
    return true;
}

bool TacProvider::InitHwndControls(HWND hWnd) {
    for (HWND child = ::GetTopWindow(hWnd); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!InitHwndControls(child)) return false;
        if ((::GetWindowLongW(child, GWL_STYLE) & WS_CHILD) && !AddControl(child)) return false;
    }
    return true;
}

bool TacProvider::AddControl(HWND aHwnd) {
    if (!aHwnd) return false;
    if (AlreadySkinned(aHwnd)) return true;
    TFlagScope dialogMode(DialogModeFlag, true);
    const String cls = LowerCase(GetWndClassName(aHwnd));
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(aHwnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongW(aHwnd, GWL_EXSTYLE));
    const TacChildAdapter choice = ChildAdapterOf(cls, style, exStyle);
    if (!choice.ClassName) return true;
    if (cls == u"edit" && !::IsWindowVisible(aHwnd)) return true;

    bool repaint = true;
    if (choice.ClearsPaintForbidden && ListSW) ListSW->FWMPaintForbidden = false;
    if (choice.RepaintWithDialogCache) {
        const TBitmap* cache = ListSW && ListSW->SkinData ? ListSW->SkinData->FCacheBmp : nullptr;
        repaint = cache && cache->Width() > 0 && cache->Height() > 0;
    }
    TsSkinManager* manager = ListSW && ListSW->SkinManager ? ListSW->SkinManager : DefaultManager;
    TacMainWnd* adapter = CreateAdapter(choice.ClassName, aHwnd, nullptr, manager, choice.Section, repaint);
    if (adapter) {
        if (!acSkinnedCtrls) acSkinnedCtrls = new std::vector<TacMainWnd*>();
        acSkinnedCtrls->push_back(adapter);
        GetWindowPosInParent(aHwnd, adapter->ParentWnd, adapter->WndRect, adapter->WndPos, adapter->WndSize,
                             adapter->ParentRect);
        // A silently painted panel shows no text of its own over the skin.
        if (cls == u"tsilentpaintpanel") {
            ::SetWindowTextW(aHwnd, L"");
            if (adapter->SkinData) adapter->SkinData->BGChanged = true;
        }
    }

    // A framework panel: its labels take the skin's font colour over a
    // transparent background, its window controls are adapted too, and it
    // takes the skin's colour.
    if (cls == u"tpanel" && manager) {
        if (auto* panel = dynamic_cast<TCustomPanel*>(TWinControl::FindControl(aHwnd))) {
            for (int i = 0; i < panel->ControlCount(); ++i) {
                TControl* c = panel->Controls(i);
                if (auto* label = dynamic_cast<TCustomLabel*>(c)) {
                    label->Font()->SetColor(manager->GetGlobalFontColor());
                    label->SetTransparent(true);
                } else if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated()) {
                    AddControl(w->Handle());
                }
            }
            panel->SetColor(manager->GetGlobalColor());
        }
    }
    return true;
}

bool TacProvider::PrintHwndControls(HWND hWnd, HDC DC) {
    for (HWND child = ::GetTopWindow(hWnd); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int saved = ::SaveDC(DC);
        HWND parent = nullptr;
        TRect wr, pr;
        TPoint pos{0, 0};
        TSize size{0, 0};
        GetWindowPosInParent(child, parent, wr, pos, size, pr);
        ::OffsetViewportOrgEx(DC, pos.X, pos.Y, nullptr);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_CHILD) && (style & WS_VISIBLE)) {
            SendSkinCommand(child, AC_PRINTING, reinterpret_cast<LPARAM>(DC));
            ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(DC),
                           PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
            SendSkinCommand(child, AC_PRINTING, 0);
        }
        PrintHwndControls(child, DC);
        ::RestoreDC(DC, saved);
    }
    return false;
}

// ---- unit routines --------------------------------------------------------------------

void AttachDialogAdapter(HWND Handle, TacDialogWnd*& Adapter) {
    if (DefaultManager && DefaultManager->Active()) {
        if (acInitializeFlatSB) acInitializeFlatSB(Handle);
        if (Adapter && Adapter->Destroyed) {
            TacDialogWnd* old = Adapter;
            Adapter = nullptr;
            old->Free();
        }
        if (!Adapter) Adapter = New<TacDialogWnd>(Handle, nullptr, DefaultManager, u"DIALOG", false);
        return;
    }
    if (Adapter) {
        TacDialogWnd* old = Adapter;
        Adapter = nullptr;
        old->Free();
    }
    if (acUninitializeFlatSB) acUninitializeFlatSB(Handle);
}

void FreeDestroyedProviders() {
    if (FreeReadyProviders()) PostRelease();
}

void ScheduleProviderRelease() { PostRelease(); }

void ClearMenuWindows() {
    if (!gHookedMenuWindows) return;
    std::vector<TacMainWnd*> adapters;
    adapters.swap(*gHookedMenuWindows);
    for (TacMainWnd* a : adapters)
        if (a) a->Free();
}

bool SkinNewWindow(HWND Handle, const CREATESTRUCTW* CreateStruct) {
    TsSkinManager* manager = DefaultManager;
    if (!manager || !Application || Application->HasState(csDestroying) || !Handle || AlreadySkinned(Handle))
        return false;
    String className;
    if (CreateStruct && reinterpret_cast<std::uintptr_t>(CreateStruct->lpszClass) > 0xFFFF)
        className = FromW(CreateStruct->lpszClass);
    else
        className = GetWndClassName(Handle);
    const LONG_PTR style = ::GetWindowLongPtrW(Handle, GWL_STYLE);
    if ((style & WS_POPUP) && !(style & WS_BORDER)) return false;
    if (HasProviderFor(Handle)) return false;

    TCustomForm* form = FormOfWindow(Handle);
    if (!form || form->HasState(csLoading)) {
        // A standard dialog of the system.
        if (className != u"#32770" || (style & WS_CHILD)) return false;
        if (!manager->SkinningRules().Contains(srStdDialogs)) return false;
        if (VisibleProviderWindows() >= MaxSkinnedDialogs && !HasToolBarDescendant(Handle)) return false;
        auto* provider = new TacProvider(nullptr);
        HookProviders().push_back(provider);
        if (!provider->InitSkin(Handle)) provider->Free();
        return true;
    }
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

void SkinShownForms() {
    if (!Screen) return;
    // The handles first: skinning a form may add forms of the engine's own.
    std::vector<HWND> shown;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (!f->HasState(csDestroying) && f->HandleAllocated() && ::IsWindowVisible(f->Handle()))
            shown.push_back(f->Handle());
    }
    for (HWND wnd : shown) {
        if (!::IsWindow(wnd)) continue;
        try {
            SkinNewWindow(wnd, nullptr);
        } catch (...) {
            // One form that cannot be skinned stays plain; the others and
            // the skin go on.
            if (Application) Application->HandleException(nullptr);
        }
    }
}

namespace {

void HookCreated(HWND Wnd, const CREATESTRUCTW* cs) {
    if (!Wnd || !cs) return;
    const auto cls = reinterpret_cast<std::uintptr_t>(cs->lpszClass);
    if (cls == 0x8002) {
        SkinNewWindow(Wnd, nullptr);
    } else if (cls == 0x8000) {
        TsSkinManager* manager = DefaultManager;
        if (manager && manager->SkinnedPopups() && !AlreadySkinned(Wnd)) {
            if (TacMainWnd* a = CreateAdapter(u"TacMnuWnd", Wnd, nullptr, manager, u"MAINMENU", false))
                HookedMenuWindows().push_back(a);
        }
    } else if (cls > 0xFFFE) {
        if (GetWndClassName(Wnd) == u"TPUtilWindow") return;
        if (cs->dwExStyle == 0 || cs->style == 0) return;
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        if (main && !main->HandleAllocated()) return;
        if (main && main->Handle() == Wnd) return;
        if (!cs->hwndParent) SkinNewWindow(Wnd, nullptr);
    }
}

}  // namespace

LRESULT CALLBACK CBTHookProc(int Code, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = ::CallNextHookEx(TsSkinManager::HookHandle(), Code, wParam, lParam);
    if (!Application || Application->HasState(csDestroying)) return result;
    try {
        switch (Code) {
        case HCBT_DESTROYWND: FreeDestroyedProviders(); break;
        case HCBT_ACTIVATE: SkinNewWindow(reinterpret_cast<HWND>(wParam), nullptr); break;
        case HCBT_CREATEWND: {
            const auto* data = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
            HookCreated(reinterpret_cast<HWND>(wParam), data ? data->lpcs : nullptr);
            break;
        }
        default: break;
        }
    } catch (...) {
        // Nothing escapes into the system's window creation; the window
        // stays plain.
        if (Application) Application->HandleException(nullptr);
    }
    return result;
}

void acDialsFinalization() {
    ClearMenuWindows();
    delete gHookedMenuWindows;
    gHookedMenuWindows = nullptr;
    if (std::vector<TacProvider*>* list = gHookProviders) {
        // The list goes first: providers freed now find no slot to clear.
        gHookProviders = nullptr;
        for (TacProvider* p : *list)
            if (p) p->Free();
        delete list;
    }
    if (gRelease.Wnd) {
        if (gRelease.Retrying) ::KillTimer(gRelease.Wnd, kReleaseTimer);
        DeallocateHWnd(gRelease.Wnd);
    }
    gRelease = TacReleaseWindow{};
}
