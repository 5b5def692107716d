// The adapter base: the three ways of attaching to a window, the release on
// every path, the base message handling and the adapter factory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameworkEnvironment.h"
#include "Forms.h"
#include "GuiHarness.h"
#include "StdCtrls.h"
#include "WindowAttach.h"
#include "acSBUtils.h"
#include "sCommonDataWin.h"
#include "sMessages.h"

using kestrune_test::EnsureFramework;

namespace {

// An adapter that records what reaches it and can act inside a message.
class TRecordingAdapter : public TacMainWnd {
public:
    KES_CLASS_NAME(TRecordingAdapter)
    using TacMainWnd::TacMainWnd;

    std::vector<UINT> Seen;
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

}  // namespace
