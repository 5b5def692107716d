// The adapter base: the three ways of attaching to a window, the release on
// every path, the base message handling and the adapter factory.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <cstdint>
#include <vector>

#include "FrameworkEnvironment.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "WorkBitmaps.h"
#include "Forms.h"
#include "GuiHarness.h"
#include "StdCtrls.h"
#include "WindowAttach.h"
#include "acSBUtils.h"
#include "acSBUtilsBaseWnd.h"
#include "acUtilsWin.h"
#include "sVclUtils.h"
#include "sCommonDataWin.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"

using kestrune_test::EnsureFramework;

namespace {

// An adapter that records what reaches it and can act inside a message.
class TRecordingAdapter : public TacMainWnd {
public:
    KES_CLASS_NAME(TRecordingAdapter)
    using TacMainWnd::TacMainWnd;

    std::vector<UINT> Seen;
    WPARAM PaintWParam = 0;
    int Restored = 0;
    int Saved = 0;
    // Called (once) when the given message arrives, before it is passed on.
    UINT ActOn = 0;
    void (*Action)(TRecordingAdapter* Self) = nullptr;
    static inline int Alive = 0;

    void AfterConstruction() override {
        ++Alive;
        TacMainWnd::AfterConstruction();
    }
    ~TRecordingAdapter() override { --Alive; }
    void SaveStdParams() override { ++Saved; }
    void RestoreStdParams() override { ++Restored; }
    void acWndProc(TMessage& Message) override {
        Seen.push_back(Message.Msg);
        if (Message.Msg == WM_PAINT) PaintWParam = Message.WParam;
        if (ActOn != 0 && Message.Msg == ActOn && Action) {
            const auto action = Action;
            Action = nullptr;
            action(this);
        }
        TacMainWnd::acWndProc(Message);
    }
    bool Saw(UINT Msg) const {
        for (UINT m : Seen)
            if (m == Msg) return true;
        return false;
    }
};

constexpr UINT kProbe = WM_APP + 7;

// A later subclasser of a plain window: counts the probe message and passes
// everything on.
WNDPROC gLaterPrevious = nullptr;
int gLaterProbes = 0;
LRESULT CALLBACK LaterSubclasser(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kProbe) ++gLaterProbes;
    return ::CallWindowProcW(gLaterPrevious, wnd, msg, wParam, lParam);
}

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureFramework();
        acSBUtilsInitialization();
        parent = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        edit = NewEdit();
    }
    void TearDown() override {
        if (edit && ::IsWindow(edit)) ::DestroyWindow(edit);
        if (parent) ::DestroyWindow(parent);
        acSBUtilsFinalization();
    }
    HWND NewEdit() {
        return ::CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 5, 5, 120, 60, parent,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    static WNDPROC ProcOf(HWND wnd) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)); }

    HWND parent = nullptr;
    HWND edit = nullptr;
};

TEST_F(AdapterTest, PlainEditIsAttachedAndGivenBack) {
    const WNDPROC original = ProcOf(edit);
    auto* adapter = New<TRecordingAdapter>(edit, nullptr, nullptr, u"EDIT", false);
    EXPECT_EQ(AdapterOfWindow(edit), adapter);
    EXPECT_NE(ProcOf(edit), original);
    EXPECT_EQ(adapter->OldProc, original);
    EXPECT_EQ(adapter->Caption, u"text");
    EXPECT_EQ(adapter->Saved, 1);
    EXPECT_TRUE(adapter->OwnSkinData);
    EXPECT_EQ(adapter->SkinData->SkinSection(), u"EDIT");

    ::SendMessageW(edit, kProbe, 0, 0);
    EXPECT_TRUE(adapter->Saw(kProbe));
    // The window still does its own work through the adapter.
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"other"));
    EXPECT_EQ(adapter->Caption, u"other");

    TacMainWnd* variable = adapter;
    ReleaseMainWnd(edit, true, false, variable);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(ProcOf(edit), original);
    EXPECT_EQ(::GetPropW(edit, acAdapterPropName), nullptr);
    EXPECT_EQ(TRecordingAdapter::Alive, 0);
}

TEST_F(AdapterTest, LaterSubclasserStaysAndStillWorks) {
    const WNDPROC original = ProcOf(edit);
    TacMainWnd* adapter = New<TRecordingAdapter>(edit, nullptr, nullptr, u"EDIT", false);
    gLaterProbes = 0;
    gLaterPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclasser)));

    ReleaseMainWnd(edit, true, false, adapter);
    // The later subclasser is not cut off, and the adapter's place passes
    // everything on (the adapter itself is gone).
    EXPECT_EQ(ProcOf(edit), &LaterSubclasser);
    EXPECT_EQ(::GetPropW(edit, acAdapterPropName), nullptr);
    ::SendMessageW(edit, kProbe, 0, 0);
    EXPECT_EQ(gLaterProbes, 1);
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still edits"));
    wchar_t text[32] = {};
    ::GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"still edits");

    // The subclasser leaves: the original procedure comes back in the end.
    ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLaterPrevious));
    ::SendMessageW(edit, kProbe, 0, 0);
    EXPECT_EQ(ProcOf(edit), original);
    EXPECT_EQ(TRecordingAdapter::Alive, 0);
}

TEST_F(AdapterTest, DestroyingTheWindowWhileAdaptedDetaches) {
    auto* adapter = New<TRecordingAdapter>(edit, nullptr, nullptr, u"EDIT", false);
    EXPECT_TRUE(::DestroyWindow(edit));
    edit = nullptr;
    EXPECT_TRUE(adapter->Saw(WM_DESTROY));
    EXPECT_TRUE(adapter->Destroyed);
    EXPECT_EQ(adapter->Restored, 1);
    adapter->Free();
    EXPECT_EQ(TRecordingAdapter::Alive, 0);
}

// ---- the three ways of attaching, and release on every path -------------------

// A provider stand-in: the form skinner's part that the adapters look at.
class TFakeProvider : public TComponent, public TacFormProvider {
public:
    KES_CLASS_NAME(TFakeProvider)
    using TComponent::TComponent;
};

// A later WindowProc subclasser of a framework control.
struct TLaterLink {
    TWndMethod Previous;
    int Probes = 0;
    void WndProc(TMessage& Message) {
        if (Message.Msg == kProbe) ++Probes;
        Previous(Message);
    }
};

enum class TWay { Handle, ClassName, Control, Provider };
enum class TRelease { ReleaseAndFree, ReleaseThenFree, FreeOnly, InsideOwnMessage, WindowDestroyed, LaterSubclasser };

const char* WayName(TWay w) {
    switch (w) {
    case TWay::Handle: return "Handle";
    case TWay::ClassName: return "ClassName";
    case TWay::Control: return "Control";
    default: return "Provider";
    }
}
const char* ReleaseName(TRelease r) {
    switch (r) {
    case TRelease::ReleaseAndFree: return "ReleaseAndFree";
    case TRelease::ReleaseThenFree: return "ReleaseThenFree";
    case TRelease::FreeOnly: return "FreeOnly";
    case TRelease::InsideOwnMessage: return "InsideOwnMessage";
    case TRelease::WindowDestroyed: return "WindowDestroyed";
    default: return "LaterSubclasser";
    }
}

class AttachWays : public ::testing::TestWithParam<std::tuple<TWay, TRelease>> {
protected:
    void SetUp() override {
        EnsureFramework();
        acSBUtilsInitialization();
        RegisterAdapterClass<TRecordingAdapter>(u"TRecordingAdapter");
        form = New<TForm>(Application);
        form->SetBounds(10, 10, 300, 200);
        control = New<TEdit>(form);
        control->SetParent(form);
        control->SetBounds(5, 5, 120, 24);
        form->HandleNeeded();
        plain = ::CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE, 5, 40, 120, 24, form->Handle(),
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(plain, nullptr);
        provider = New<TFakeProvider>(nullptr);
        provider->Form = form;
        provider->FDrawNonClientArea = true;
    }
    void TearDown() override {
        if (plain && ::IsWindow(plain)) ::DestroyWindow(plain);
        if (form) form->Free();
        provider->Free();
        if (data) data->Free();
        acSBUtilsFinalization();
        EXPECT_EQ(TRecordingAdapter::Alive, 0);
    }

    TWay Way() const { return std::get<0>(GetParam()); }
    HWND Window() {
        switch (Way()) {
        case TWay::Handle:
        case TWay::ClassName: return plain;
        case TWay::Control: return control->Handle();
        default: return form->Handle();
        }
    }
    TControl* Target() {
        return Way() == TWay::Control ? static_cast<TControl*>(control) : Way() == TWay::Provider ? form : nullptr;
    }
    TRecordingAdapter* Attach() {
        TacMainWnd* adapter = nullptr;
        switch (Way()) {
        case TWay::Handle: adapter = New<TRecordingAdapter>(plain, nullptr, nullptr, u"EDIT", false); break;
        case TWay::ClassName:
            adapter = CreateAdapter(u"TRecordingAdapter", plain, nullptr, nullptr, u"EDIT", false);
            break;
        case TWay::Control:
            data = new TsCommonData(control, true);
            adapter = New<TRecordingAdapter>(control->Handle(), data, nullptr, u"EDIT", false);
            break;
        case TWay::Provider:
            data = new TsCommonData(provider, true);
            adapter = New<TRecordingAdapter>(form->Handle(), data, nullptr, u"FORM", false);
            break;
        }
        return dynamic_cast<TRecordingAdapter*>(adapter);
    }
    // The window still does its own work.
    void ExpectWindowWorks() {
        ::SendMessageW(Window(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"works"));
        wchar_t text[16] = {};
        ::GetWindowTextW(Window(), text, 16);
        EXPECT_STREQ(text, L"works");
    }

    TForm* form = nullptr;
    TEdit* control = nullptr;
    HWND plain = nullptr;
    TFakeProvider* provider = nullptr;
    TsCommonData* data = nullptr;
};

TEST_P(AttachWays, AttachAndRelease) {
    const TRelease release = std::get<1>(GetParam());
    const HWND wnd = Window();
    TControl* target = Target();
    const WNDPROC originalProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC));
    const TWndMethod originalMethod = target ? target->WindowProc : TWndMethod();

    TRecordingAdapter* adapter = Attach();
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(AdapterOfWindow(wnd), adapter);
    EXPECT_EQ(adapter->CtrlHandle, wnd);
    if (target) {
        EXPECT_TRUE(adapter->OldWndProc == originalMethod);
        EXPECT_EQ(adapter->OldProc, nullptr);
        // Messages sent without the window reach the adapter too.
        target->Perform(kProbe);
        EXPECT_TRUE(adapter->Saw(kProbe));
        adapter->Seen.clear();
    } else {
        EXPECT_EQ(adapter->OldProc, originalProc);
    }
    ::SendMessageW(wnd, kProbe, 0, 0);
    EXPECT_TRUE(adapter->Saw(kProbe));
    ExpectWindowWorks();

    TLaterLink later;
    gLaterProbes = 0;
    TacMainWnd* variable = adapter;
    switch (release) {
    case TRelease::ReleaseAndFree: ReleaseMainWnd(wnd, true, false, variable); break;
    case TRelease::ReleaseThenFree:
        ReleaseMainWnd(wnd, false, false, variable);
        EXPECT_TRUE(adapter->Destroyed);
        EXPECT_EQ(adapter->Restored, 1);
        // A second release does nothing more.
        ReleaseMainWnd(wnd, false, false, variable);
        EXPECT_EQ(adapter->Restored, 1);
        variable->Free();
        variable = nullptr;
        break;
    case TRelease::FreeOnly:
        adapter->Free();
        variable = nullptr;
        break;
    case TRelease::InsideOwnMessage:
        adapter->ActOn = kProbe;
        adapter->Action = [](TRecordingAdapter* self) {
            TacMainWnd* v = self;
            ReleaseMainWnd(self->CtrlHandle, true, false, v);
            EXPECT_EQ(v, nullptr);
            // Still alive until its message returns.
            EXPECT_EQ(TRecordingAdapter::Alive, 1);
        };
        ::SendMessageW(wnd, kProbe, 0, 0);
        variable = nullptr;
        break;
    case TRelease::WindowDestroyed:
        if (Way() == TWay::Control) {
            control->Free();
            control = nullptr;
        } else if (Way() == TWay::Provider) {
            form->Free();
            form = nullptr;
            control = nullptr;
        } else {
            ::DestroyWindow(plain);
            plain = nullptr;
        }
        EXPECT_TRUE(adapter->Saw(WM_DESTROY));
        EXPECT_TRUE(adapter->Destroyed);
        adapter->Free();
        EXPECT_EQ(TRecordingAdapter::Alive, 0);
        return;
    case TRelease::LaterSubclasser:
        if (target) {
            later.Previous = target->WindowProc;
            target->WindowProc = TWndMethod::Of<&TLaterLink::WndProc>(&later);
        } else {
            gLaterPrevious = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclasser)));
        }
        ReleaseMainWnd(wnd, true, false, variable);
        // The later subclasser stays in place and still sees its messages.
        if (target) {
            EXPECT_TRUE(target->WindowProc == TWndMethod::Of<&TLaterLink::WndProc>(&later));
        } else {
            EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)), &LaterSubclasser);
        }
        ::SendMessageW(wnd, kProbe, 0, 0);
        EXPECT_EQ(target ? later.Probes : gLaterProbes, 1);
        ExpectWindowWorks();
        // The subclasser leaves; the next message finds the chain empty and
        // the original procedure comes back.
        if (target)
            target->WindowProc = later.Previous;
        else
            ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gLaterPrevious));
        ::SendMessageW(wnd, kProbe, 0, 0);
        break;
    }
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(TRecordingAdapter::Alive, 0);
    EXPECT_EQ(::GetPropW(wnd, acAdapterPropName), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)), originalProc);
    if (target) {
        EXPECT_TRUE(target->WindowProc == originalMethod);
    }
    ExpectWindowWorks();
}

INSTANTIATE_TEST_SUITE_P(
    AllWays, AttachWays,
    ::testing::Combine(::testing::Values(TWay::Handle, TWay::ClassName, TWay::Control, TWay::Provider),
                       ::testing::Values(TRelease::ReleaseAndFree, TRelease::ReleaseThenFree, TRelease::FreeOnly,
                                         TRelease::InsideOwnMessage, TRelease::WindowDestroyed,
                                         TRelease::LaterSubclasser)),
    [](const ::testing::TestParamInfo<std::tuple<TWay, TRelease>>& info) {
        return std::string(WayName(std::get<0>(info.param))) + "_" + ReleaseName(std::get<1>(info.param));
    });

// ---- message handling with a skin --------------------------------------------------

// Counts what reaches the window's own procedure (installed before the adapter).
WNDPROC gBelowPrevious = nullptr;
std::vector<UINT> gBelowSeen;
LRESULT CALLBACK BelowAdapter(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    gBelowSeen.push_back(msg);
    return ::CallWindowProcW(gBelowPrevious, wnd, msg, wParam, lParam);
}
int CountBelow(UINT msg) {
    int n = 0;
    for (UINT m : gBelowSeen) n += m == msg ? 1 : 0;
    return n;
}

class SkinnedAdapterTest : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        acSBUtilsInitialization();
        WriteSkin();
        LoadAndShow();
        edit = ::CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 20, 120, 40,
                                 form->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
        gBelowSeen.clear();
        gBelowPrevious = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BelowAdapter)));
    }
    void TearDown() override {
        if (adapter) adapter->Free();
        adapter = nullptr;
        if (::IsWindow(edit)) ::DestroyWindow(edit);
        kestrune_test::TestSkinForm::TearDown();
        acSBUtilsFinalization();
    }
    TRecordingAdapter* Adapt(const char16_t* Section = u"EDIT") {
        adapter = New<TRecordingAdapter>(edit, nullptr, manager, Section, false);
        return adapter;
    }
    LRESULT Command(Word command, LPARAM lParam = 0) {
        return SendSkinCommand(edit, command, lParam);
    }

    HWND edit = nullptr;
    TRecordingAdapter* adapter = nullptr;
};

TEST_F(SkinnedAdapterTest, AnswersTheSkinCommandsForTheWindow) {
    Adapt();
    ASSERT_TRUE(adapter->SkinData->Skinned());
    struct Case {
        Word Command;
        LRESULT Expected;
    };
    const Case cases[] = {
        {AC_CTRLHANDLED, 1},
        {AC_ISBGCHANGED, 0},
        {AC_GETSKINSTATE, reinterpret_cast<LRESULT>(static_cast<TObject*>(adapter->SkinData))},
        {AC_GETAPPLICATION, reinterpret_cast<LRESULT>(static_cast<TObject*>(Application))},
        {AC_GETCONTROLCOLOR,
         static_cast<LRESULT>(static_cast<Cardinal>(adapter->SkinData->GetBGColor(0, edit)))},
    };
    for (const Case& c : cases) EXPECT_EQ(Command(c.Command), c.Expected) << "command " << c.Command;
    // Answered by the adapter: the window's own procedure never saw them.
    EXPECT_EQ(CountBelow(SkinCommandMessage), 1);   // only the colour query is asked below first

    // Command 34 fills the record with the section's look.
    TBackgroundInfo info;
    info.R = TRect(0, 0, 10, 10);
    Command(AC_GETBG, reinterpret_cast<LPARAM>(&info));
    EXPECT_NE(info.BgType, 0);

    // Command 15 sets the section.
    TacSectionRecord record;
    record.SectionName = u"PANEL";
    Command(AC_SETSECTION, reinterpret_cast<LPARAM>(&record));
    EXPECT_EQ(adapter->SkinData->SkinSection(), u"PANEL");

    // Without an active manager the window answers for itself.
    manager->SetActive(false);
    EXPECT_EQ(Command(AC_CTRLHANDLED), 0);
}

TEST_F(SkinnedAdapterTest, RepaintCommandActsOnlyForItsOwnManager) {
    Adapt();
    gBelowSeen.clear();
    Command(AC_REFRESH, reinterpret_cast<LPARAM>(manager) + 8);   // another manager
    EXPECT_FALSE(adapter->Saw(WM_PAINT));
    EXPECT_EQ(CountBelow(SkinCommandMessage), 1);   // passed on

    gBelowSeen.clear();
    adapter->SkinData->BGChanged = false;
    Command(AC_REFRESH, reinterpret_cast<LPARAM>(manager));
    EXPECT_TRUE(adapter->Saw(WM_PAINT));
    EXPECT_TRUE(adapter->SkinData->BGChanged);
    EXPECT_EQ(CountBelow(SkinCommandMessage), 0);   // not passed on
}

TEST_F(SkinnedAdapterTest, UpdateUiStateNeverReachesTheWindow) {
    Adapt();
    ::SendMessageW(edit, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_TRUE(adapter->Saw(WM_UPDATEUISTATE));
    EXPECT_EQ(CountBelow(WM_UPDATEUISTATE), 0);
}

TEST_F(SkinnedAdapterTest, PrintPaintsThroughThePaintPath) {
    Adapt();
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageW(edit, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EXPECT_TRUE(adapter->Saw(WM_PAINT));
    EXPECT_EQ(adapter->PaintWParam, reinterpret_cast<WPARAM>(dc));
    EXPECT_EQ(CountBelow(WM_PRINT), 0);
    ::DeleteDC(dc);
}

TEST_F(SkinnedAdapterTest, CacheIsPaintedFromTheSection) {
    Adapt(u"PANEL");
    Command(AC_PREPARECACHE);
    TBitmap* cache = adapter->SkinData->FCacheBmp;
    ASSERT_NE(cache, nullptr);
    RECT wr{};
    ::GetWindowRect(edit, &wr);
    ASSERT_EQ(cache->Width(), wr.right - wr.left);
    ASSERT_EQ(cache->Height(), wr.bottom - wr.top);
    EXPECT_EQ(kestrune_test::Px(cache, cache->Width() / 2, cache->Height() / 2) & 0xFFFFFF,
              skingen::TestSectionColour("PANEL", 0));
    EXPECT_FALSE(adapter->SkinData->BGChanged);
}

TEST_F(SkinnedAdapterTest, BorderCornersTakeWhatLiesBeneath) {
    Adapt(u"EDIT");
    TsCommonData* data = adapter->SkinData;
    ASSERT_GE(data->BorderIndex, 0);
    TBitmap* cache = data->FCacheBmp;
    const std::uint32_t painted = 0xFF123456;
    auto fill = [&] {
        cache->SetSize(40, 30);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) kestrune_test::Px(cache, x, y) = painted;
    };
    // In dialog mode the corners stay as painted.
    fill();
    adapter->DlgMode = true;
    RepaintWndBorderCorners(data, 0, adapter);
    EXPECT_EQ(kestrune_test::Px(cache, 0, 0), painted);
    // Otherwise the key-coloured corner pixels of the mask take the parent's
    // background; the rest stays.
    adapter->DlgMode = false;
    RepaintWndBorderCorners(data, 0, adapter);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{39, 0}, std::pair{0, 29}, std::pair{39, 29}})
        EXPECT_NE(kestrune_test::Px(cache, x, y), painted) << x << "," << y;
    EXPECT_EQ(kestrune_test::Px(cache, 20, 15), painted);
    EXPECT_EQ(kestrune_test::Px(cache, skingen::TestKeyCorner, skingen::TestKeyCorner), painted);
}

TEST_F(SkinnedAdapterTest, WithoutAPreviousHandlerDestroyIsNotSentBack) {
    Adapt();
    TacMainWnd* variable = adapter;
    ReleaseMainWnd(edit, false, false, variable);
    ASSERT_TRUE(adapter->Destroyed);
    gBelowSeen.clear();
    // Nothing left to pass WM_DESTROY to: the default handling answers, and
    // the window does not get the message again.
    TMessage m;
    m.Msg = WM_DESTROY;
    adapter->acWndProc(m);
    EXPECT_EQ(CountBelow(WM_DESTROY), 0);
    EXPECT_TRUE(::IsWindow(edit));
}

TEST_F(SkinnedAdapterTest, RepeatedAttachAndReleaseLeaveCountsFlat) {
    TEdit* control = New<TEdit>(form);
    control->SetParent(form);
    control->SetBounds(10, 80, 120, 24);
    auto* data = new TsCommonData(control, true);
    auto cycle = [&] {
        TacMainWnd* plain = New<TacMainWnd>(edit, nullptr, manager, u"EDIT", true);
        TacMainWnd* framework = New<TacMainWnd>(control->Handle(), data, nullptr, u"EDIT", true);
        ::SendMessageW(edit, SkinCommandMessage, MakeSkinWParam(AC_PREPARECACHE), 0);
        ::SendMessageW(control->Handle(), SkinCommandMessage, MakeSkinWParam(AC_PREPARECACHE), 0);
        ReleaseMainWnd(edit, true, true, plain);
        ReleaseMainWnd(control->Handle(), true, true, framework);
    };
    for (int i = 0; i < 5; ++i) cycle();
    harness::PumpUntilIdle(10, 500);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int i = 0; i < 200; ++i) cycle();
    harness::PumpUntilIdle(10, 500);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_EQ(AdapterOfWindow(edit), nullptr);
    data->Free();
}

// ---- helpers ----------------------------------------------------------------------

TEST(AdapterHelpers, SystemFontsByKind) {
    EnsureFramework();
    for (Integer kind = 0; kind <= 6; ++kind) {
        HFONT font = CreateSystemFont(kind);
        EXPECT_EQ(font != nullptr, kind >= 1 && kind <= 5) << "kind " << kind;
        if (font) ::DeleteObject(font);
    }
}

TEST(AdapterHelpers, WindowPositionInParent) {
    EnsureFramework();
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 80, 300, 200, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    HWND child = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 7, 9, 50, 20, parent, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    HWND gotParent = nullptr;
    TRect wr, pr;
    TPoint pos;
    TSize size;
    GetWindowPosInParent(child, gotParent, wr, pos, size, pr);
    EXPECT_EQ(gotParent, parent);
    EXPECT_EQ(pos.X, 7);
    EXPECT_EQ(pos.Y, 9);
    EXPECT_EQ(size.cx, 50);
    EXPECT_EQ(size.cy, 20);
    EXPECT_EQ(pr.Left, 100);
    EXPECT_EQ(wr.Width(), 50);
    ::DestroyWindow(parent);
}

TEST(AdapterHelpers, UnitStartsAndEndsOnce) {
    EnsureFramework();
    acSBUtilsInitialization();
    acSBUtilsInitialization();
    EXPECT_NE(acGetScrollBarInfo, nullptr);
    EXPECT_NE(FindAdapterClass(u"TacMainWnd"), nullptr);
    EXPECT_EQ(FindAdapterClass(u"TacNoSuchWnd"), nullptr);
    EXPECT_EQ(CreateAdapter(u"TacNoSuchWnd", nullptr, nullptr, nullptr, u"", false), nullptr);
    acSBUtilsFinalization();
    EXPECT_EQ(acGetScrollBarInfo, nullptr);
    EXPECT_EQ(FindAdapterClass(u"TacMainWnd"), nullptr);
    acSBUtilsFinalization();
}

// ---- the base of the scrolling client adapters ----------------------------------------

class TRecordingBaseWnd : public TacBaseWnd {
public:
    KES_CLASS_NAME(TRecordingBaseWnd)
    using TacBaseWnd::TacBaseWnd;
    std::vector<UINT> Seen;
    void acWndProc(TMessage& Message) override {
        Seen.push_back(Message.Msg);
        TacBaseWnd::acWndProc(Message);
    }
    int Count(UINT Msg) const {
        int n = 0;
        for (UINT m : Seen) n += m == Msg ? 1 : 0;
        return n;
    }
};

TEST_F(SkinnedAdapterTest, ClientBaseRepaintsFrameAndKeepsCacheFresh) {
    ::DestroyWindow(edit);
    edit = ::CreateWindowExW(0, L"EDIT", L"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE, 10, 20, 120, 40,
                             form->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    gBelowSeen.clear();
    gBelowPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BelowAdapter)));
    auto* base = New<TRecordingBaseWnd>(edit, nullptr, manager, u"EDIT", true);
    TacMainWnd* variable = base;
    harness::PumpUntilIdle(10, 500);

    // The scrolled windows' private message is swallowed.
    ::SendMessageW(edit, acBaseWndSwallowedMessage, 0, 0);
    EXPECT_EQ(CountBelow(acBaseWndSwallowedMessage), 0);

    // A refresh by its own manager ends with the frame repainted; another
    // manager's does not.
    base->Seen.clear();
    ::SendMessageW(edit, SkinCommandMessage, MakeSkinWParam(AC_REFRESH), reinterpret_cast<LPARAM>(manager) + 8);
    EXPECT_EQ(base->Count(WM_NCPAINT), 0);
    ::SendMessageW(edit, SkinCommandMessage, MakeSkinWParam(AC_REFRESH), reinterpret_cast<LPARAM>(manager));
    EXPECT_GE(base->Count(WM_NCPAINT), 1);

    // Enabling changes repaint the frame too.
    base->Seen.clear();
    ::EnableWindow(edit, FALSE);
    EXPECT_GE(base->Count(WM_NCPAINT), 1);
    ::EnableWindow(edit, TRUE);

    // Sizing marks the cache stale, so that command 23 renders it at the
    // new size.
    base->SkinData->BGChanged = false;
    ::SetWindowPos(edit, nullptr, 0, 0, 140, 60, SWP_NOMOVE | SWP_NOZORDER);
    ::SendMessageW(edit, SkinCommandMessage, MakeSkinWParam(AC_PREPARECACHE), 0);
    EXPECT_FALSE(base->SkinData->BGChanged);
    EXPECT_EQ(base->SkinData->FCacheBmp->Width(), 140);

    ReleaseScrollWnd(edit, true, false, variable);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(AdapterOfWindow(edit), nullptr);
    // Given back: the message reaches the window again.
    ::SendMessageW(edit, acBaseWndSwallowedMessage, 0, 0);
    EXPECT_EQ(CountBelow(acBaseWndSwallowedMessage), 1);
}

TEST(AdapterFactory, CreatesTheRegisteredClasses) {
    EnsureFramework();
    acSBUtilsInitialization();
    HWND wnd = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 60, 30, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    for (const char16_t* name : {u"TacMainWnd", u"TacScrollWnd", u"TacBaseWnd"}) {
        TacMainWnd* adapter = CreateAdapter(name, wnd, nullptr, nullptr, u"EDIT", false);
        ASSERT_NE(adapter, nullptr) << StringToUtf8(name);
        EXPECT_EQ(adapter->ClassName(), String(name));
        EXPECT_EQ(AdapterOfWindow(wnd), adapter);
        if (dynamic_cast<TacScrollWnd*>(adapter))
            ReleaseScrollWnd(wnd, true, false, adapter);
        else
            ReleaseMainWnd(wnd, true, false, adapter);
        EXPECT_EQ(AdapterOfWindow(wnd), nullptr);
    }
    ::DestroyWindow(wnd);
    acSBUtilsFinalization();
}

// ---- the system theme ------------------------------------------------------------------

std::vector<std::wstring> gThemeCalls;
HRESULT WINAPI RecordTheme(HWND, LPCWSTR app, LPCWSTR) {
    gThemeCalls.push_back(app ? std::wstring(L"off:") + app : std::wstring(L"restore"));
    return S_OK;
}
bool gAero = false;
bool AeroQuery() { return gAero; }

TEST(AdapterTheme, SwitchedOffUnlessKeptAndGivenBackOnReleaseOrDestroy) {
    EnsureFramework();
    acSBUtilsInitialization();
    const auto savedTheme = acSetWindowTheme;
    const auto savedAero = AeroEnabledQuery;
    acSetWindowTheme = &RecordTheme;
    AeroEnabledQuery = &AeroQuery;
    HWND wnd = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 60, 30, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    auto* provider = New<TFakeProvider>(nullptr);
    auto* themeManager = New<TsSkinManager>(nullptr);   // no skin: only its presence counts here
    struct Case {
        const char* Name;
        const char16_t* Section;
        bool ProviderData;       // the skin data belongs to a provider
        bool DrawsNonClient;     // that provider draws the frame
        Integer Kind;
        bool Aero;
        std::vector<std::wstring> Expected;
        bool Released = false;   // released (detached) before it is freed
    };
    const Case cases[] = {
        {"plain", u"EDIT", false, false, 0, false, {L"off: ", L"restore"}},
        {"dialog frame keeps the theme", u"DIALOG", false, false, 0, false, {}},
        {"provider leaving the frame to the system", u"FORM", true, false, 0, false, {}},
        {"provider drawing the frame", u"FORM", true, true, 0, false, {L"off: ", L"restore"}},
        {"edit kind under composition keeps it off", u"EDIT", false, false, 10, true, {L"off: "}},
        {"edit kind without composition", u"EDIT", false, false, 10, false, {L"off: ", L"restore"}},
        // A detached window has its theme back at once, and only once.
        {"plain, released first", u"EDIT", false, false, 0, false, {L"off: ", L"restore"}, true},
        {"edit kind under composition, released first", u"EDIT", false, false, 10, true, {L"off: "}, true},
    };
    for (const Case& c : cases) {
        gThemeCalls.clear();
        gAero = c.Aero;
        provider->FDrawNonClientArea = c.DrawsNonClient;
        TsCommonData* data = c.ProviderData ? new TsCommonData(provider, true) : new TsCommonData(nullptr, true);
        data->COC = c.Kind;
        // A provider's form is needed only to attach: a bare window stands in
        // for the plain cases, the provider's form for the others.
        TForm* form = nullptr;
        HWND target = wnd;
        if (c.ProviderData) {
            form = New<TForm>(Application);
            provider->Form = form;
            target = form->Handle();
        }
        TacMainWnd* adapter = New<TacMainWnd>(target, data, themeManager, c.Section, false);
        if (c.Released) {
            ReleaseMainWnd(target, false, false, adapter);
            EXPECT_EQ(gThemeCalls, c.Expected) << c.Name << " (at release)";
        }
        adapter->Free();
        EXPECT_EQ(gThemeCalls, c.Expected) << c.Name;
        if (form) form->Free();
        data->Free();
    }
    provider->Free();
    themeManager->Free();
    ::DestroyWindow(wnd);
    acSetWindowTheme = savedTheme;
    AeroEnabledQuery = savedAero;
    acSBUtilsFinalization();
}

}  // namespace
