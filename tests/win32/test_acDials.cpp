// The window-creation hook: forms of the application without a skin
// provider get one at their activation; standard dialogs and message boxes
// get the dialog provider from their creation on, with an adapter per child
// window chosen by its class; popup menus get the menu window adapter while
// the manager skins popups. Closing a dialog leaves nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "DialogProbe.h"
#include "DialogTemplate.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TempFolder.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "MenuDriver.h"
#include "acDialogWnd.h"
#include "acDials.h"
#include "acMessageBox.h"
#include "acSBUtils.h"
#include "sButton.h"
#include "sMessages.h"
#include "sSkinProvider.h"
#include "sStyleSimplyWin.h"

namespace {

class CreationHook : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        sButtonInitialization();
        skingen::WriteTestSkin(folder.Path() / "Test");
        manager = kestrune_test::NewTestSkinManager(folder.Path());
        ASSERT_TRUE(manager->SkinData()->Active);
        ASSERT_TRUE(manager->IsDefault());
        ASSERT_TRUE(TsSkinManager::HookInstalled());
    }
    void TearDown() override {
        manager->Free();
        harness::PumpUntilIdle(5, 500);
        sButtonFinalization();
    }
    TForm* ShownForm(std::intptr_t tag = 0) {
        auto* form = New<TForm>(Application);
        form->Tag = tag;
        form->SetBounds(60, 60, 240, 160);
        form->Show();
        ::SetActiveWindow(form->Handle());
        harness::PumpUntilIdle(10, 500);
        return form;
    }
    static std::size_t Slots() {
        const auto& list = HookProviders();
        return static_cast<std::size_t>(std::count_if(list.begin(), list.end(), [](TacProvider* p) { return p; }));
    }

    harness::TempFolder folder{"kestrune-hook-"};
    TsSkinManager* manager = nullptr;
};

TEST_F(CreationHook, AnActivatedFormGetsOneRunTimeProvider) {
    const std::size_t before = Slots();
    TForm* form = ShownForm();
    auto* provider = dynamic_cast<TsSkinProvider*>(GetFormProvider(form));
    ASSERT_NE(provider, nullptr) << "the activated form has no provider";
    EXPECT_EQ(provider->Form, form);
    EXPECT_EQ(provider->Owner(), form);
    EXPECT_EQ(SendSkinCommand(form->Handle(), AC_CTRLHANDLED), 1);
    EXPECT_EQ(Slots(), before + 1);

    // Activated again: still the one provider.
    TForm* other = ShownForm();
    ::SetActiveWindow(form->Handle());
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(GetFormProvider(form), provider);
    EXPECT_EQ(Slots(), before + 2);

    // The form takes its provider and the hook's slot with it.
    other->Free();
    form->Free();
    harness::PumpUntilIdle(5, 200);
    EXPECT_EQ(Slots(), before);
}

// Forms on the screen while no skin was chosen (no hook yet) get their
// provider with the first skin, without being activated again; a hidden
// form and the engine's own windows are left to their activation.
TEST_F(CreationHook, FormsOnTheScreenGetTheirProviderWithTheFirstSkin) {
    manager->SetActive(false);
    ASSERT_FALSE(TsSkinManager::HookInstalled());
    TForm* shown = ShownForm();
    TForm* engine = ShownForm(-98);
    auto* hidden = New<TForm>(Application);
    hidden->HandleNeeded();
    ASSERT_EQ(GetFormProvider(shown), nullptr);

    manager->SetActive(true);
    ASSERT_TRUE(TsSkinManager::HookInstalled());
    auto* provider = dynamic_cast<TsSkinProvider*>(GetFormProvider(shown));
    ASSERT_NE(provider, nullptr) << "the form on the screen waits for its activation";
    EXPECT_EQ(provider->Form, shown);
    EXPECT_EQ(SendSkinCommand(shown->Handle(), AC_CTRLHANDLED), 1);
    EXPECT_EQ(GetFormProvider(engine), nullptr);
    EXPECT_EQ(GetFormProvider(hidden), nullptr);

    hidden->Free();
    engine->Free();
    shown->Free();
    harness::PumpUntilIdle(5, 200);
}

// A form of a class the hook never skins.
class TfcPopup : public TForm {
public:
    KES_CLASS_NAME(TfcPopup)
    using TForm::TForm;
};

TEST_F(CreationHook, EngineWindowsAndFormsOutsideTheRulesStayPlain) {
    struct Case {
        const char* Name;
        std::intptr_t Tag;
        bool FormsRule;
    };
    for (const Case& c : {Case{"engine tag -98", -98, true}, Case{"tag -1 (all the bits of -98)", -1, true},
                          Case{"forms left alone by the rules", 0, false}}) {
        SCOPED_TRACE(c.Name);
        TacSkinningRules rules{srStdDialogs, srThirdParty};
        if (c.FormsRule) rules.Include(srStdForms);
        manager->SetSkinningRules(rules);
        TForm* form = ShownForm(c.Tag);
        EXPECT_EQ(GetFormProvider(form), nullptr);
        form->Free();
    }
    manager->SetSkinningRules({srStdForms, srStdDialogs, srThirdParty});

    auto* excluded = New<TfcPopup>(Application);
    excluded->SetBounds(60, 60, 240, 160);
    excluded->Show();
    ::SetActiveWindow(excluded->Handle());
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(GetFormProvider(excluded), nullptr) << "a form of an excluded class was skinned";
    excluded->Free();
}

}  // namespace

// ---- standard dialogs ------------------------------------------------------------------


namespace {

// The adapter classes that other units bring: each stands in as a plain
// adapter while its class is not registered, and wraps the real one when it
// is; every adapter made through the factory under these names is recorded.
struct AdapterSpies {
    static constexpr const char16_t* Names[] = {u"TacStaticWnd",   u"TacIconWnd",     u"TacEdgeWnd",
                                                u"TacBtnWnd",      u"TacCheckBoxWnd", u"TacGroupBoxWnd",
                                                u"TacSizerWnd",    u"TacMnuWnd",      u"TacToolBarWnd",
                                                u"TacTransPanelWnd", u"TacPanelWnd"};
    static constexpr std::size_t Count = std::size(Names);
    static inline TacAdapterCreator Real[Count] = {};
    static inline std::vector<std::pair<String, String>> Made;   // class, section

    template <std::size_t I>
    static TacMainWnd* Make(HWND h, TsCommonData* d, TsSkinManager* m, const String& s, bool r) {
        Made.emplace_back(Names[I], s);
        return Real[I] ? Real[I](h, d, m, s, r) : New<TacMainWnd>(h, d, m, s, r);
    }
    template <std::size_t... I>
    static void Install(std::index_sequence<I...>) {
        ((Real[I] = FindAdapterClass(Names[I]), RegisterAdapterClass(Names[I], &Make<I>)), ...);
    }
    AdapterSpies() {
        Made.clear();
        Install(std::make_index_sequence<Count>());
    }
    ~AdapterSpies() {
        for (std::size_t i = 0; i < Count; ++i) RegisterAdapterClass(Names[i], Real[i]);
    }
};

std::size_t LiveProviders() {
    const auto& list = HookProviders();
    return static_cast<std::size_t>(std::count_if(list.begin(), list.end(), [](TacProvider* p) { return p; }));
}

TacProvider* ProviderOf(HWND wnd) {
    for (TacProvider* p : HookProviders())
        if (p && p->CtrlHandle == wnd) return p;
    return nullptr;
}

String SectionOf(HWND wnd) {
    auto* object = reinterpret_cast<TObject*>(SendSkinCommand(wnd, AC_GETSKINSTATE));
    auto* data = dynamic_cast<TsCommonData*>(object);
    return data ? data->SkinSection() : String(u"(none)");
}

class DialogHook : public CreationHook {
protected:
    void SetUp() override {
        CreationHook::SetUp();
        acSBUtilsInitialization();
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        spies = std::make_unique<AdapterSpies>();
    }
    void TearDown() override {
        spies.reset();
        CreationHook::TearDown();
    }
    std::unique_ptr<AdapterSpies> spies;
};

// ---- the class table --------------------------------------------------------------------

TEST(DialogChildTable, TypeCodesAreComparedAsCodes) {
    struct Case {
        const char16_t* Class;
        DWORD Style, ExStyle;
        const char16_t* Adapter;   // nullptr: none
        const char16_t* Section;
    } cases[] = {
        {u"static", SS_LEFT, 0, u"TacStaticWnd", u"CHECKBOX"},
        {u"static", SS_CENTER | SS_NOTIFY, 0, u"TacStaticWnd", u"CHECKBOX"},
        {u"static", SS_ICON, 0, u"TacIconWnd", u"CHECKBOX"},
        {u"static", SS_BITMAP, 0, u"TacIconWnd", u"CHECKBOX"},
        {u"static", SS_ENHMETAFILE, 0, u"TacIconWnd", u"CHECKBOX"},
        {u"static", SS_ICON, WS_EX_STATICEDGE, u"TacEdgeWnd", u"EDIT"},
        {u"static", SS_SIMPLE, 0, nullptr, nullptr},            // no picture for its low bits
        {u"static", SS_OWNERDRAW, 0, nullptr, nullptr},
        {u"static", SS_GRAYRECT, 0, nullptr, nullptr},
        {u"static", SS_WHITERECT, 0, nullptr, nullptr},
        {u"static", SS_BLACKFRAME, 0, u"TacStaticWnd", u"CHECKBOX"},   // not a picture either
        {u"static", SS_ETCHEDHORZ, 0, u"TacStaticWnd", u"CHECKBOX"},
        {u"button", BS_PUSHBUTTON, 0, u"TacBtnWnd", u"BUTTON"},
        {u"button", BS_DEFPUSHBUTTON, 0, u"TacBtnWnd", u"BUTTON"},
        {u"button", BS_OWNERDRAW, 0, u"TacBtnWnd", u"BUTTON"},   // not a check box
        {u"button", BS_PUSHBOX, 0, u"TacBtnWnd", u"BUTTON"},
        {u"button", BS_SPLITBUTTON, 0, u"TacBtnWnd", u"BUTTON"},
        {u"button", BS_DEFCOMMANDLINK, 0, u"TacBtnWnd", u"BUTTON"},   // not a group box
        {u"button", BS_CHECKBOX, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_AUTOCHECKBOX | BS_PUSHLIKE, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_RADIOBUTTON, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_AUTORADIOBUTTON, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_3STATE, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_AUTO3STATE, 0, u"TacCheckBoxWnd", u"CHECKBOX"},
        {u"button", BS_GROUPBOX, 0, u"TacGroupBoxWnd", u"GROUPBOX"},
        {u"edit", ES_AUTOHSCROLL, 0, u"TacEditWnd", u"EDIT"},
        {u"listbox", 0, 0, u"TacEditWnd", u"EDIT"},
        {u"combobox", CBS_DROPDOWN, 0, u"TacComboBoxWnd", u"COMBOBOX"},
        {u"combolbox", 0, 0, u"TacEditWnd", u"COMBOBOX"},
        {u"scrollbar", SBS_SIZEGRIP, 0, u"TacSizerWnd", u"CHECKBOX"},
        {u"scrollbar", SBS_VERT, 0, nullptr, nullptr},
        {u"systabcontrol32", 0, 0, u"TacTabControlWnd", u"PAGECONTROL"},
        {u"systabcontrol32", 0x2000, 0, nullptr, nullptr},
        {u"toolbarwindow32", 0x200, 0, u"TacToolBarWnd", u"BAR"},
        {u"toolbarwindow32", 0, 0, u"TacToolBarWnd", u"CHECKBOX"},
        {u"msctls_updown32", 0, 0, u"TacSpinWnd", u"SPEEDBUTTON_SMALL"},
        {u"#32770", WS_CHILD, 0, u"TacTransPanelWnd", u"CHECKBOX"},
        {u"syslink", 0, 0, u"TacLinkWnd", u"CHECKBOX"},
        {u"directuihwnd", 0, 0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << StringToUtf8(c.Class) << " style 0x" << std::hex << c.Style);
        const TacChildAdapter a = ChildAdapterOf(c.Class, c.Style, c.ExStyle);
        EXPECT_EQ(a.ClassName ? String(a.ClassName) : String(u"none"), c.Adapter ? String(c.Adapter) : String(u"none"));
        if (c.Adapter) {
            EXPECT_EQ(String(a.Section), String(c.Section));
        }
    }
}

// ---- the dialogs of the system ---------------------------------------------------------

// Watches the hook from above it: records the dialogs that had their
// provider as soon as the hook had seen their creation (atom 0x8002).
struct CreationWatch {
    static inline HHOOK Hook = nullptr;
    static inline std::set<HWND> Caught;
    CreationWatch() {
        Caught.clear();
        Hook = ::SetWindowsHookExW(WH_CBT, &Proc, nullptr, ::GetCurrentThreadId());
    }
    ~CreationWatch() { ::UnhookWindowsHookEx(Hook); }
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        const LRESULT r = ::CallNextHookEx(Hook, code, wParam, lParam);
        if (code == HCBT_CREATEWND) {
            const auto* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
            if (reinterpret_cast<std::uintptr_t>(cs->lpszClass) == 0x8002 && ProviderOf(reinterpret_cast<HWND>(wParam)))
                Caught.insert(reinterpret_cast<HWND>(wParam));
        }
        return r;
    }
};

// What the probe saw of a dialog: its answer to AC_CTRLHANDLED, the classes
// of the children whose adapters were checked, and what was wrong with them.
struct DialogLook {
    LRESULT Answer7 = 0;
    std::set<String> Checked;
    std::vector<std::string> Failures;

    void operator()(HWND Dialog) {
        Answer7 = SendSkinCommand(Dialog, AC_CTRLHANDLED);
        ::EnumChildWindows(Dialog, &CheckChild, reinterpret_cast<LPARAM>(this));
    }
    static BOOL CALLBACK CheckChild(HWND wnd, LPARAM data) {
        DialogLook& look = *reinterpret_cast<DialogLook*>(data);
        const String cls = LowerCase(GetWndClassName(wnd));
        if (cls != u"edit" && cls != u"listbox" && cls != u"static" && cls != u"button") return TRUE;
        const DWORD style = static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE));
        const TacChildAdapter a = ChildAdapterOf(cls, style, static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE)));
        if (!a.ClassName || (cls == u"edit" && !::IsWindowVisible(wnd))) return TRUE;
        const bool adapted = SendSkinCommand(wnd, AC_CTRLHANDLED) == 1;
        const String section = SectionOf(wnd);
        if (!adapted || section != a.Section)
            look.Failures.push_back(StringToUtf8(cls) + " style " + std::to_string(style) + ": adapted " +
                                    std::to_string(adapted) + ", section " + StringToUtf8(section));
        look.Checked.insert(cls);
        return TRUE;
    }
};

// Looks at the first visible dialog of this thread once it has been up a
// few ticks, then cancels it.
class LookingProbe {
public:
    DialogLook Look;
    harness::DialogProbe Probe{60, 4, [this](HWND Dialog) { Look(Dialog); }};
};

// The options of an open or save dialog of Owner: the file name in File (a
// buffer of MAX_PATH characters) and the flags.
OPENFILENAMEW FileDialogOptions(HWND Owner, wchar_t* File, DWORD Flags) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Owner;
    ofn.lpstrFile = File;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = Flags;
    return ofn;
}

TEST_F(DialogHook, StandardDialogsAreSkinnedFromTheirCreationAndLeaveNothingWhenClosed) {
    TForm* owner = ShownForm();
    const std::size_t before = LiveProviders();
    std::set<String> checked;
    struct Run {
        const char* Name;
        void (*Show)(HWND owner);
    } runs[] = {
        {"open",
         [](HWND o) {
             wchar_t file[MAX_PATH] = L"";
             OPENFILENAMEW ofn = FileDialogOptions(o, file, OFN_EXPLORER | OFN_HIDEREADONLY);
             ofn.lpstrFilter = L"Text\0*.txt\0All\0*.*\0";
             ::GetOpenFileNameW(&ofn);
         }},
        {"save",
         [](HWND o) {
             wchar_t file[MAX_PATH] = L"page.txt";
             OPENFILENAMEW ofn = FileDialogOptions(o, file, OFN_EXPLORER | OFN_OVERWRITEPROMPT);
             ::GetSaveFileNameW(&ofn);
         }},
        {"font",
         [](HWND o) {
             LOGFONTW lf{};
             CHOOSEFONTW cf{};
             cf.lStructSize = sizeof(cf);
             cf.hwndOwner = o;
             cf.lpLogFont = &lf;
             cf.Flags = CF_SCREENFONTS | CF_EFFECTS;
             ::ChooseFontW(&cf);
         }},
        {"find",
         [](HWND o) {
             static wchar_t what[80] = L"needle";
             static FINDREPLACEW fr{};
             fr = FINDREPLACEW{};
             fr.lStructSize = sizeof(fr);
             fr.hwndOwner = o;
             fr.lpstrFindWhat = what;
             fr.wFindWhatLen = 80;
             fr.Flags = FR_DOWN;
             const HWND dlg = ::FindTextW(&fr);
             harness::PumpUntil([&] { return !::IsWindow(dlg); }, 8000);
         }},
        {"message box",
         [](HWND) { ShowMessageDlg(u"Keep the page?", mtConfirmation, {mbOK, mbCancel}, 0); }},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.Name);
        CreationWatch watch;
        LookingProbe probe;
        run.Show(owner->Handle());
        harness::PumpUntilIdle(20, 1000);
        const HWND dialog = probe.Probe.Dialog();
        ASSERT_NE(dialog, nullptr) << "no dialog came up";
        EXPECT_TRUE(CreationWatch::Caught.count(dialog)) << "not skinned at its creation";
        EXPECT_EQ(probe.Look.Answer7, 1);
        EXPECT_TRUE(probe.Look.Failures.empty()) << probe.Look.Failures.front();
        checked.insert(probe.Look.Checked.begin(), probe.Look.Checked.end());
        EXPECT_FALSE(::IsWindow(dialog));
        EXPECT_EQ(ProviderOf(dialog), nullptr);
        EXPECT_EQ(LiveProviders(), before);
    }
    EXPECT_EQ(checked, (std::set<String>{u"button", u"edit", u"listbox", u"static"}));
    owner->Free();
}

// Where a message box came up when it asked for (x, y).
RECT BoxShownAt(int x, int y) {
    LookingProbe probe;
    ShowMessageDlgPos(u"Where", u"Placed", mtInformation, {mbOK, mbCancel}, x, y, 0);
    harness::PumpUntilIdle(20, 500);
    return probe.Probe.Rect();
}

TEST_F(DialogHook, AMessageBoxAppearsWhereItAskedOnlyWithBothCoordinates) {
    const RECT asked = BoxShownAt(100, 120);
    EXPECT_EQ(asked.left, 100);
    EXPECT_EQ(asked.top, 120);
    const RECT free = BoxShownAt(-1, -1);
    ASSERT_FALSE(free.left == 100 && free.top == 120) << "the system put the box at the asked place anyway";
    // One coordinate alone is no position: the box stays where the system puts it.
    for (const auto& [x, y] : {std::pair{100, -1}, std::pair{-1, 120}}) {
        const RECT half = BoxShownAt(x, y);
        EXPECT_EQ(half.left, free.left) << x << ", " << y;
        EXPECT_EQ(half.top, free.top) << x << ", " << y;
    }
    EXPECT_EQ(LiveProviders(), 0u);
}

// ---- the gates ---------------------------------------------------------------------------

TEST_F(DialogHook, WindowsThatStayPlain) {
    const std::size_t before = LiveProviders();
    // The application's own window.
    EXPECT_FALSE(SkinNewWindow(Application->Handle(), nullptr));
    // A dialog without a border, as pop-up.
    HWND borderless = harness::DialogTemplate(WS_POPUP | WS_VISIBLE, L"bare").Create();
    ASSERT_NE(borderless, nullptr);
    ::SetActiveWindow(borderless);
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(ProviderOf(borderless), nullptr);
    EXPECT_NE(SendSkinCommand(borderless, AC_CTRLHANDLED), 1);
    ::DestroyWindow(borderless);
    // Standard dialogs left alone by the rules.
    manager->SetSkinningRules({srStdForms, srThirdParty});
    HWND ruled = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, L"ruled").Create();
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(ProviderOf(ruled), nullptr);
    ::DestroyWindow(ruled);
    manager->SetSkinningRules({srStdForms, srStdDialogs, srThirdParty});
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(LiveProviders(), before);
}

TEST_F(DialogHook, AThirdVisibleDialogIsSkinnedOnlyWithAToolBar) {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    HWND first = harness::DialogTemplate(style, L"first").Create();
    HWND second = harness::DialogTemplate(style, L"second").Create();
    harness::PumpUntilIdle(10, 300);
    ASSERT_NE(ProviderOf(first), nullptr);
    ASSERT_NE(ProviderOf(second), nullptr);

    HWND third = harness::DialogTemplate(style, L"third").Item(L"Button", BS_PUSHBUTTON, 1, 5, 5, 40, 14, L"OK").Create();
    HWND withBar =
        harness::DialogTemplate(style, L"tools").Item(L"ToolbarWindow32", 0, 2, 0, 0, 100, 20).Create();
    for (HWND w : {third, withBar}) {
        ::SetActiveWindow(w);
        harness::PumpUntilIdle(10, 300);
    }
    EXPECT_EQ(ProviderOf(third), nullptr);
    EXPECT_NE(ProviderOf(withBar), nullptr) << "the dialog with a tool bar was left plain";

    // With fewer skinned dialogs up the limit no longer holds.
    ::DestroyWindow(second);
    ::DestroyWindow(withBar);
    ::SetActiveWindow(third);
    harness::PumpUntilIdle(10, 300);
    EXPECT_NE(ProviderOf(third), nullptr);
    for (HWND w : {first, third}) ::DestroyWindow(w);
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(LiveProviders(), 0u);
}

// ---- the provider's end ----------------------------------------------------------------

// An adapter that destroys its dialog while it handles a message, and then
// has another window destroyed (which runs the hook's release) before the
// message returns.
class DestroyingAdapter : public TacMainWnd {
public:
    using TacMainWnd::TacMainWnd;
    static constexpr UINT kGo = WM_APP + 7;
    static inline HWND Dialog = nullptr;
    static inline bool ProviderKeptDuringCall = false;
    static inline bool DialogGoneDuringCall = false;
    static TacMainWnd* Make(HWND h, TsCommonData* d, TsSkinManager* m, const String& s, bool r) {
        return New<DestroyingAdapter>(h, d, m, s, r);
    }
    void acWndProc(TMessage& Message) override {
        if (Message.Msg != kGo) {
            TacMainWnd::acWndProc(Message);
            return;
        }
        TacProvider* provider = ProviderOf(Dialog);
        ::DestroyWindow(Dialog);
        HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ::DestroyWindow(other);
        DialogGoneDuringCall = !::IsWindow(Dialog);
        ProviderKeptDuringCall = provider && std::count(HookProviders().begin(), HookProviders().end(), provider) == 1;
        // The adapter's own fields are still there to use.
        Message.Result = Destroyed ? 1 : 0;
    }
};

TEST_F(DialogHook, AProviderOutlivesACallOfOneOfItsAdapters) {
    const TacAdapterCreator saved = FindAdapterClass(u"TacBtnWnd");
    RegisterAdapterClass(u"TacBtnWnd", &DestroyingAdapter::Make);
    HWND dialog = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE, L"goes")
                      .Item(L"Button", BS_PUSHBUTTON, 1, 5, 5, 40, 14, L"Go")
                      .Create();
    harness::PumpUntilIdle(10, 300);
    HWND button = ::GetDlgItem(dialog, 1);
    ASSERT_EQ(SendSkinCommand(button, AC_CTRLHANDLED), 1) << "the button has no adapter";
    DestroyingAdapter::Dialog = dialog;
    EXPECT_EQ(::SendMessageW(button, DestroyingAdapter::kGo, 0, 0), 1);
    EXPECT_TRUE(DestroyingAdapter::DialogGoneDuringCall);
    EXPECT_TRUE(DestroyingAdapter::ProviderKeptDuringCall) << "the provider was freed under its adapter";
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(LiveProviders(), 0u) << "the provider was not freed after the call";
    RegisterAdapterClass(u"TacBtnWnd", saved);
}

// The provider knows its dialog went by the dialog's last message, not by its
// handle's value: a new window that has the old value (as the system may give
// it) keeps no provider waiting.
TEST_F(DialogHook, AProviderIsFreedWhenItsDialogsHandleValueNamesANewWindow) {
    HWND dialog = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE, L"goes").Create();
    harness::PumpUntilIdle(10, 300);
    TacProvider* provider = ProviderOf(dialog);
    ASSERT_NE(provider, nullptr);
    ASSERT_NE(provider->ListSW, nullptr);
    HWND later = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(dialog);
    ASSERT_EQ(std::count(HookProviders().begin(), HookProviders().end(), provider), 1);
    EXPECT_TRUE(provider->ListSW->Destroyed);
    provider->CtrlHandle = later;   // the old value now names a living window
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(LiveProviders(), 0u) << "the provider still waits for a window that is not its dialog";
    ::DestroyWindow(later);
}

// A silently painted panel of a dialog is adapted as a group box and shows
// no text of its own.
TEST_F(DialogHook, ASilentlyPaintedPanelLosesItsTextAndIsRepainted) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TSilentPaintPanel";
    ::RegisterClassW(&wc);
    HWND dialog = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE, L"panel")
                      .Item(L"TSilentPaintPanel", 0, 7, 5, 5, 80, 40, L"own text")
                      .Create();
    harness::PumpUntilIdle(10, 300);
    HWND panel = ::GetDlgItem(dialog, 7);
    ASSERT_NE(panel, nullptr);
    EXPECT_NE(std::find(AdapterSpies::Made.begin(), AdapterSpies::Made.end(),
                        std::pair<String, String>(u"TacPanelWnd", u"GROUPBOX")),
              AdapterSpies::Made.end());
    EXPECT_EQ(::GetWindowTextLengthW(panel), 0) << "the panel kept its text";
    ::DestroyWindow(dialog);
    harness::PumpUntilIdle(10, 500);
    ::UnregisterClassW(L"TSilentPaintPanel", ::GetModuleHandleW(nullptr));
}

// ---- popup menus -------------------------------------------------------------------------

TEST_F(DialogHook, PopupMenusGetTheMenuAdapterWhileSkinnedPopupsAreOnUntilTheSkinGoes) {
    ClearMenuWindows();
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, 1, L"One");
    ::AppendMenuW(menu, MF_STRING, 2, L"Two");
    // Pops the menu up; answers whether the open menu's window had one of
    // the hook's adapters.
    auto pop = [&] {
        harness::MenuDriver driver;
        bool adapted = false;
        driver.OnOpen = [&](HWND menuWindow) {
            for (TacMainWnd* a : HookedMenuWindows()) adapted = adapted || (a && a->CtrlHandle == menuWindow);
        };
        ::TrackPopupMenu(menu, TPM_RETURNCMD, 50, 50, 0, Application->Handle(), nullptr);
        harness::PumpUntilIdle(10, 300);
        EXPECT_EQ(driver.Opened, 1);
        return adapted;
    };
    manager->SetSkinnedPopups(false);
    EXPECT_FALSE(pop());
    EXPECT_TRUE(HookedMenuWindows().empty());
    manager->SetSkinnedPopups(true);
    AdapterSpies::Made.clear();
    EXPECT_TRUE(pop());
    ASSERT_EQ(AdapterSpies::Made.size(), 1u);
    EXPECT_EQ(AdapterSpies::Made.back(), (std::pair<String, String>{u"TacMnuWnd", u"MAINMENU"}));
    // The skin's removal leaves no menu adapter behind.
    ASSERT_TRUE(pop());
    manager->SetActive(false);
    EXPECT_TRUE(HookedMenuWindows().empty()) << "the skin's removal left the menu adapters";
    ::DestroyMenu(menu);
}

// ---- counts ----------------------------------------------------------------------------

TEST_F(DialogHook, OpeningAndClosingADialogKeepsTheCountsFlat) {
    const harness::DialogTemplate t = [] {
        harness::DialogTemplate d(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, L"cycle", 220, 140);
        d.Item(L"Edit", ES_AUTOHSCROLL | WS_BORDER, 1, 5, 5, 100, 12)
            .Item(L"ListBox", LBS_NOTIFY | WS_VSCROLL | WS_BORDER, 2, 5, 20, 100, 40)
            .Item(L"Static", SS_LEFT, 3, 110, 5, 60, 10, L"Label")
            .Item(L"Button", BS_AUTOCHECKBOX, 4, 110, 20, 60, 10, L"Check")
            .Item(L"Button", BS_GROUPBOX, 5, 110, 35, 80, 40, L"Group")
            .Item(L"ComboBox", CBS_DROPDOWN | WS_VSCROLL, 6, 5, 65, 100, 60)
            .Item(L"Button", BS_DEFPUSHBUTTON, IDOK, 110, 80, 40, 14, L"OK");
        return d;
    }();
    auto cycle = [&] {
        HWND d = t.Create(Application->Handle());
        harness::PumpUntilIdle(2, 200);
        ::DestroyWindow(d);
        harness::PumpUntilIdle(2, 200);
    };
    for (int i = 0; i < 10; ++i) cycle();
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    const std::size_t made = AdapterSpies::Made.size();
    for (int i = 0; i < 200; ++i) cycle();
    EXPECT_GT(AdapterSpies::Made.size(), made + 200) << "the dialogs were not adapted";
    EXPECT_EQ(harness::GdiObjectUsage(), gdi);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_EQ(LiveProviders(), 0u);
}

}  // namespace

namespace {

TEST_F(DialogHook, TheUnitsEndGivesTheDialogsBack) {
    HWND dialog = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE, L"last")
                      .Item(L"Edit", ES_AUTOHSCROLL | WS_BORDER, 1, 5, 5, 100, 12)
                      .Create();
    harness::PumpUntilIdle(10, 300);
    ASSERT_NE(ProviderOf(dialog), nullptr);
    HWND edit = ::GetDlgItem(dialog, 1);
    ASSERT_EQ(SendSkinCommand(edit, AC_CTRLHANDLED), 1);
    acDialsFinalization();
    EXPECT_EQ(LiveProviders(), 0u);
    EXPECT_NE(SendSkinCommand(dialog, AC_CTRLHANDLED), 1);
    EXPECT_NE(SendSkinCommand(edit, AC_CTRLHANDLED), 1);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still works"));
    ::DestroyWindow(dialog);
    harness::PumpUntilIdle(10, 300);
}

}  // namespace

namespace {

// Records where the dialog's children are printed.
class PrintSpy : public TacMainWnd {
public:
    using TacMainWnd::TacMainWnd;
    struct Print {
        HWND Wnd;
        POINT Origin;
        bool Flagged;   // the skin state knew of the printing DC
    };
    static inline std::vector<Print> Prints;
    static TacMainWnd* Make(HWND h, TsCommonData* d, TsSkinManager* m, const String& s, bool r) {
        return New<PrintSpy>(h, d, m, s, r);
    }
    void acWndProc(TMessage& Message) override {
        if (Message.Msg == WM_PRINT) {
            POINT origin{};
            ::GetViewportOrgEx(reinterpret_cast<HDC>(Message.WParam), &origin);
            Prints.push_back({CtrlHandle, origin, SkinData->PrintDC == reinterpret_cast<HDC>(Message.WParam)});
        }
        TacMainWnd::acWndProc(Message);
    }
};

TEST_F(DialogHook, PrintingTheChildrenPutsEachAtItsPlace) {
    const TacAdapterCreator saved = FindAdapterClass(u"TacBtnWnd");
    RegisterAdapterClass(u"TacBtnWnd", &PrintSpy::Make);
    PrintSpy::Prints.clear();
    HWND dialog = harness::DialogTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE, L"print", 200, 120)
                      .Item(L"Button", BS_PUSHBUTTON, 1, 10, 10, 40, 14, L"One")
                      .Item(L"Button", BS_PUSHBUTTON, 2, 60, 10, 40, 14, L"Two")
                      .Create();
    harness::PumpUntilIdle(10, 300);
    HWND one = ::GetDlgItem(dialog, 1), two = ::GetDlgItem(dialog, 2);
    // A pane inside the dialog holds a third button.
    HWND pane = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 60, 120, 40, dialog, nullptr, nullptr,
                                  nullptr);
    HWND inner = ::CreateWindowExW(0, L"BUTTON", L"In", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 7, 5, 50, 20, pane,
                                   nullptr, nullptr, nullptr);
    ::ShowWindow(two, SW_HIDE);
    TacProvider* provider = ProviderOf(dialog);
    ASSERT_NE(provider, nullptr);
    SendSkinCommand(dialog, AC_UPDATECHILDREN);
    ASSERT_EQ(SendSkinCommand(inner, AC_CTRLHANDLED), 1);

    HDC dc = ::CreateCompatibleDC(nullptr);
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 400, 300);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    PrintSpy::Prints.clear();
    EXPECT_FALSE(provider->PrintHwndControls(dialog, dc));
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);

    auto placeOf = [&](HWND w) {
        RECT r;
        ::GetWindowRect(w, &r);
        POINT p{r.left, r.top};
        ::ScreenToClient(dialog, &p);
        return p;
    };
    std::map<HWND, PrintSpy::Print> printed;
    for (const auto& p : PrintSpy::Prints) printed[p.Wnd] = p;
    EXPECT_EQ(printed.count(two), 0u) << "a hidden child was printed";
    for (HWND w : {one, inner}) {
        ASSERT_EQ(printed.count(w), 1u);
        EXPECT_EQ(printed[w].Origin.x, placeOf(w).x);
        EXPECT_EQ(printed[w].Origin.y, placeOf(w).y);
        EXPECT_TRUE(printed[w].Flagged);
        auto* data = dynamic_cast<TsCommonData*>(reinterpret_cast<TObject*>(SendSkinCommand(w, AC_GETSKINSTATE)));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->PrintDC, nullptr) << "the printing state stayed on";
    }
    ::DestroyWindow(dialog);
    harness::PumpUntilIdle(10, 300);
    RegisterAdapterClass(u"TacBtnWnd", saved);
}

}  // namespace

namespace {

TEST_F(DialogHook, TheDialogAdapterTakesItsBorderStyleFromTheStyles) {
    struct Case {
        const char* Name;
        DWORD Style;
        TacBorderStyle Expected;
    } cases[] = {
        {"pop-up with a border only", WS_POPUP | WS_BORDER, acbsNone},
        {"pop-up with a caption", WS_POPUP | WS_CAPTION, acbsSizeable},
        {"sizing frame", WS_POPUP | WS_CAPTION | WS_THICKFRAME, acbsSizeable},
        {"modal frame", WS_POPUP | WS_CAPTION | DS_MODALFRAME, acbsDialog},
        {"overlapped", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, acbsSizeable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND dialog = harness::DialogTemplate(c.Style | WS_VISIBLE, L"styled").Create();
        harness::PumpUntilIdle(5, 200);
        TacProvider* provider = ProviderOf(dialog);
        ASSERT_NE(provider, nullptr);
        ASSERT_NE(provider->ListSW, nullptr);
        EXPECT_EQ(provider->ListSW->BorderStyle, c.Expected);
        EXPECT_EQ(provider->ListSW->Provider, provider);
        // Layered windows are the frame painter's business: the style goes.
        ::SetWindowLongW(dialog, GWL_EXSTYLE, ::GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_LAYERED);
        provider->ListSW->InitParams();
        EXPECT_EQ(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
        ::DestroyWindow(dialog);
        harness::PumpUntilIdle(5, 200);
    }
    EXPECT_EQ(LiveProviders(), 0u);
}

}  // namespace
