// Attaching objects to windows: framework controls and plain system windows,
// detaching under a later subclasser and inside a window's own message,
// destroying attached windows, deferred freeing, the exception barrier of
// nested dispatches, printing a form with its frame, and the named message
// handlers of windowed controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "WindowAttach.h"

namespace {

const auto* const gAttachEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr UINT kPing = WM_USER + 41;
constexpr UINT kThrow = WM_USER + 42;
constexpr UINT kNested = WM_USER + 43;

bool Contains(const std::vector<UINT>& seen, UINT msg) { return std::find(seen.begin(), seen.end(), msg) != seen.end(); }

String TextOf(HWND wnd) {
    wchar_t buffer[256] = {};
    const int n = ::GetWindowTextW(wnd, buffer, 256);
    return FromW(buffer, static_cast<std::size_t>(std::max(n, 0)));
}

// A foreign subclasser: puts its procedure over the window's with
// SetWindowLongPtr, as code outside the framework does.
struct ForeignSubclass {
    static inline std::vector<UINT> Seen;
    static inline WNDPROC Previous = nullptr;
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        Seen.push_back(msg);
        return ::CallWindowProcW(Previous, wnd, msg, wParam, lParam);
    }
    static void Install(HWND wnd) {
        Seen.clear();
        Previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    static void Remove(HWND wnd) { ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Previous)); }
};

WNDPROC ProcOf(HWND wnd) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)); }

// ---------------------------------------------------------------------------
// WindowProc of a framework control

// An object that takes over a control's WindowProc and gives it back.
struct AttachTestWindowProcSpy {
    TWinControl* Control = nullptr;
    TWndMethod Saved;
    std::vector<UINT> Seen;
    void Install(TWinControl* control) {
        Control = control;
        Saved = control->WindowProc;
        control->WindowProc = TWndMethod::Of<&AttachTestWindowProcSpy::WndProc>(this);
    }
    void Restore() { Control->WindowProc = Saved; }
    void WndProc(TMessage& Message) {
        Seen.push_back(Message.Msg);
        Saved(Message);
    }
};

TEST(Attach, ReplacedWindowProcSeesTheWindowsMessagesAndRestoringItKeepsALaterSubclasser) {
    auto* form = New<TForm>(Application);
    auto* control = New<TWinControl>(form);
    control->SetParent(form);
    control->SetBounds(0, 0, 50, 20);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    HWND wnd = control->Handle();

    AttachTestWindowProcSpy spy;
    spy.Install(control);
    ForeignSubclass::Install(wnd);
    ::SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"one"));
    control->Perform(kPing);
    EXPECT_TRUE(Contains(spy.Seen, WM_SETTEXT));
    EXPECT_TRUE(Contains(spy.Seen, kPing));
    EXPECT_TRUE(Contains(ForeignSubclass::Seen, WM_SETTEXT));

    spy.Restore();
    EXPECT_TRUE(control->WindowProc == TWndMethod::Of<&TControl::WndProc>(control));
    spy.Seen.clear();
    ForeignSubclass::Seen.clear();
    ::SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"two"));
    EXPECT_TRUE(spy.Seen.empty());
    EXPECT_TRUE(Contains(ForeignSubclass::Seen, WM_SETTEXT));
    EXPECT_EQ(control->GetText(), u"two");
    EXPECT_EQ(ProcOf(wnd), &ForeignSubclass::Proc);
    // The window dies with the subclasser still on top.
    form->Free();
    EXPECT_FALSE(::IsWindow(wnd));
}

// ---------------------------------------------------------------------------
// A plain EDIT made with CreateWindowEx

struct AttachTestEditSpy {
    HWND Wnd = nullptr;
    std::vector<UINT> Seen;
    bool DetachOnPing = false;
    bool DestroyOnPing = false;
    bool DetachResult = false;
    bool PassedOnAfterDetach = false;
    void WndProc(TMessage& Message) {
        Seen.push_back(Message.Msg);
        if (Message.Msg == kPing && DetachOnPing) {
            DetachResult = DetachWindow(Wnd, this);
            // The message in hand can still be passed on.
            PassedOnAfterDetach = CallPreviousWndProc(Wnd, this, Message);
            return;
        }
        if (Message.Msg == kPing && DestroyOnPing) {
            ::DestroyWindow(Wnd);
            return;
        }
        CallPreviousWndProc(Wnd, this, Message);
    }
    TWndMethod Method() { return TWndMethod::Of<&AttachTestEditSpy::WndProc>(this); }
};

class AttachEdit : public ::testing::Test {
protected:
    void SetUp() override {
        Edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(Edit, nullptr);
        Original = ProcOf(Edit);
        Spy.Wnd = Edit;
        AttachWindow(Edit, &Spy, Spy.Method());
    }
    void TearDown() override {
        if (::IsWindow(Edit)) ::DestroyWindow(Edit);
    }
    void SetText(const wchar_t* text) { ::SendMessageW(Edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }
    HWND Edit = nullptr;
    WNDPROC Original = nullptr;
    AttachTestEditSpy Spy;
};

TEST_F(AttachEdit, AttachedObjectSeesTheMessagesAndDetachingGivesTheProcedureBack) {
    EXPECT_EQ(ProcOf(Edit), &AttachedWndProc);
    EXPECT_TRUE(IsWindowAttached(Edit, &Spy));
    SetText(L"typed");
    EXPECT_TRUE(Contains(Spy.Seen, WM_SETTEXT));
    // The edit's own procedure still keeps the text.
    EXPECT_EQ(TextOf(Edit), u"typed");

    EXPECT_TRUE(DetachWindow(Edit, &Spy));
    EXPECT_EQ(ProcOf(Edit), Original);
    EXPECT_FALSE(IsWindowAttached(Edit, &Spy));
    Spy.Seen.clear();
    SetText(L"again");
    EXPECT_TRUE(Spy.Seen.empty());
    EXPECT_EQ(TextOf(Edit), u"again");
    EXPECT_FALSE(DetachWindow(Edit, &Spy));
}

TEST_F(AttachEdit, DetachingUnderALaterSubclasserLeavesItWorking) {
    ForeignSubclass::Install(Edit);
    EXPECT_FALSE(DetachWindow(Edit, &Spy));
    // The subclasser stays on top and the window still reaches its own procedure.
    EXPECT_EQ(ProcOf(Edit), &ForeignSubclass::Proc);
    Spy.Seen.clear();
    SetText(L"still");
    EXPECT_TRUE(Contains(ForeignSubclass::Seen, WM_SETTEXT));
    EXPECT_TRUE(Spy.Seen.empty());
    EXPECT_EQ(TextOf(Edit), u"still");
    // A new attachment over the chained one works as before.
    AttachTestEditSpy second;
    second.Wnd = Edit;
    AttachWindow(Edit, &second, second.Method());
    SetText(L"second");
    EXPECT_TRUE(Contains(second.Seen, WM_SETTEXT));
    EXPECT_EQ(TextOf(Edit), u"second");
    DetachWindow(Edit, &second);
    // The subclasser leaves too: the chain it falls back to forwards the next
    // message and then gives the window its own procedure back.
    ForeignSubclass::Remove(Edit);
    SetText(L"alone");
    EXPECT_EQ(TextOf(Edit), u"alone");
    EXPECT_EQ(ProcOf(Edit), Original);
    ::DestroyWindow(Edit);
    EXPECT_FALSE(::IsWindow(Edit));
}

TEST_F(AttachEdit, DetachingInsideOneOfTheWindowsOwnMessages) {
    Spy.DetachOnPing = true;
    ::SendMessageW(Edit, kPing, 0, 0);
    EXPECT_TRUE(Spy.DetachResult);
    EXPECT_TRUE(Spy.PassedOnAfterDetach);
    EXPECT_EQ(ProcOf(Edit), Original);
    Spy.Seen.clear();
    SetText(L"after");
    EXPECT_TRUE(Spy.Seen.empty());
    EXPECT_EQ(TextOf(Edit), u"after");
}

TEST_F(AttachEdit, DestroyingTheWindowWhileAttachedEndsTheAttachmentWithWmNcDestroy) {
    struct Case {
        const char* Name;
        bool InsideOwnMessage;
    };
    for (const Case& c : {Case{"from outside", false}, Case{"inside its own message", true}}) {
        SCOPED_TRACE(c.Name);
        if (!::IsWindow(Edit)) SetUp();
        Spy.Seen.clear();
        if (c.InsideOwnMessage) {
            Spy.DestroyOnPing = true;
            ::SendMessageW(Edit, kPing, 0, 0);
            Spy.DestroyOnPing = false;
        } else {
            ::DestroyWindow(Edit);
        }
        EXPECT_FALSE(::IsWindow(Edit));
        ASSERT_FALSE(Spy.Seen.empty());
        EXPECT_EQ(Spy.Seen.back(), static_cast<UINT>(WM_NCDESTROY));
        EXPECT_TRUE(Contains(Spy.Seen, WM_DESTROY));
        EXPECT_FALSE(IsWindowAttached(Edit, &Spy));
        EXPECT_FALSE(DetachWindow(Edit, &Spy));
    }
}

// ---------------------------------------------------------------------------
// Deferred freeing and exceptions in nested dispatches

class TAttachTestReleasingForm : public TForm {
public:
    KES_CLASS_NAME(TAttachTestReleasingForm)
    using TForm::TForm;
    static inline int Destroyed = 0;
    static inline bool FreedInsideHandler = false;
    ~TAttachTestReleasingForm() override { ++Destroyed; }

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == kPing) {
            const int before = Destroyed;
            Release();
            // The handler pumps messages: the form must outlive it.
            ::PostMessageW(Handle(), WM_NULL, 0, 0);
            Application->ProcessMessages();
            harness::PumpUntilIdle(5, 200);
            FreedInsideHandler = Destroyed != before;
            return;
        }
        TForm::Dispatch(Message);
    }
};

TEST(AttachRelease, ReleasedFormThatPumpsMessagesIsFreedOnlyAfterItsHandlerReturns) {
    TAttachTestReleasingForm::Destroyed = 0;
    TAttachTestReleasingForm::FreedInsideHandler = false;
    auto* form = New<TAttachTestReleasingForm>(Application);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    ::SendMessageW(form->Handle(), kPing, 0, 0);
    EXPECT_FALSE(TAttachTestReleasingForm::FreedInsideHandler);
    EXPECT_EQ(TAttachTestReleasingForm::Destroyed, 0);
    EXPECT_TRUE(harness::PumpUntil([] { return TAttachTestReleasingForm::Destroyed == 1; }, 2000));
}

class TAttachTestNestingControl : public TWinControl {
public:
    KES_CLASS_NAME(TAttachTestNestingControl)
    using TWinControl::TWinControl;
    bool ContinuedAfterNested = false;
    int Pings = 0;

protected:
    void Dispatch(TMessage& Message) override {
        switch (Message.Msg) {
        case kNested:
            ::SendMessageW(Handle(), kThrow, 0, 0);
            ContinuedAfterNested = true;
            return;
        case kThrow:
            throw Exception(u"thrown at depth two");
        case kPing:
            ++Pings;
            return;
        default:
            TWinControl::Dispatch(Message);
        }
    }
};

struct AttachTestExceptionCatcher {
    std::vector<String> Messages;
    void Handle(TObject*, const std::exception& e) {
        if (auto* ex = dynamic_cast<const Exception*>(&e)) Messages.push_back(ex->Message());
    }
};

TEST(AttachRelease, ExceptionAtDispatchDepthTwoReachesTheApplicationAndTheLoopGoesOn) {
    AttachTestExceptionCatcher catcher;
    Application->OnException = TExceptionEvent::Of<&AttachTestExceptionCatcher::Handle>(&catcher);
    auto* form = New<TForm>(Application);
    auto* control = New<TAttachTestNestingControl>(form);
    control->SetParent(form);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    ::PostMessageW(control->Handle(), kNested, 0, 0);
    ::PostMessageW(control->Handle(), kPing, 0, 0);
    Application->ProcessMessages();
    Application->OnException = nullptr;
    EXPECT_EQ(catcher.Messages, std::vector<String>{u"thrown at depth two"});
    EXPECT_TRUE(control->ContinuedAfterNested);
    EXPECT_EQ(control->Pings, 1);
    form->Free();
}

// ---------------------------------------------------------------------------
// The application window's hooks are WindowProc chaining

struct AttachTestAppHook {
    int Calls = 0;
    bool Handles = false;
    bool Hook(TMessage& Message) {
        if (Message.Msg != kPing) return false;
        ++Calls;
        Message.Result = 7;
        return Handles;
    }
    TWindowHook Delegate() { return TWindowHook::Of<&AttachTestAppHook::Hook>(this); }
};

TEST(AttachApplication, HooksChainInTheApplicationsWindowProcAndAnUnhookedOneUnderAnotherPassesOn) {
    const TWndMethod original = Application->WindowProc;
    HWND app = Application->Handle();
    AttachTestAppHook first, second;
    second.Handles = true;
    Application->HookMainWindow(first.Delegate());
    Application->HookMainWindow(first.Delegate());   // twice adds nothing
    Application->HookMainWindow(second.Delegate());
    EXPECT_EQ(::SendMessageW(app, kPing, 0, 0), 7);
    EXPECT_EQ(second.Calls, 1);
    EXPECT_EQ(first.Calls, 0);   // the later hook answered first

    // Unhooked under the second hook: stays in the chain, passing on.
    Application->UnhookMainWindow(first.Delegate());
    second.Handles = false;
    ::SendMessageW(app, kPing, 0, 0);
    EXPECT_EQ(second.Calls, 2);
    EXPECT_EQ(first.Calls, 0);
    Application->UnhookMainWindow(second.Delegate());
    EXPECT_FALSE(Application->WindowProc == original);   // the passing link stays
    ::SendMessageW(app, kPing, 0, 0);
    EXPECT_EQ(second.Calls, 2);
    EXPECT_EQ(first.Calls, 0);
    // The application's own handling is still reached.
    EXPECT_EQ(::SendMessageW(app, WM_NULL, 0, 0), 0);
}

// ---------------------------------------------------------------------------
// Printing with the frame

class TAttachTestFramedForm : public TForm {
public:
    KES_CLASS_NAME(TAttachTestFramedForm)
    using TForm::TForm;
    int FramePaints = 0;

protected:
    // The frame in pure red over the whole window; the client area paints over it.
    void PaintNonClient(HDC DC) override {
        ++FramePaints;
        RECT r = {0, 0, Width(), Height()};
        HBRUSH brush = ::CreateSolidBrush(RGB(255, 0, 0));
        ::FillRect(DC, &r, brush);
        ::DeleteObject(brush);
    }
};

TEST(AttachPrint, FormPrintedWithItsFramePaintsTheFrameThroughTheNonClientPainter) {
    auto* form = New<TAttachTestFramedForm>(Application);
    form->SetColor(static_cast<TColor>(RGB(0, 0, 255)));
    form->SetBounds(40, 40, 200, 150);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    RECT window, client;
    ::GetWindowRect(form->Handle(), &window);
    ::GetClientRect(form->Handle(), &client);
    POINT origin = {0, 0};
    ::ClientToScreen(form->Handle(), &origin);
    const int w = window.right - window.left, h = window.bottom - window.top;
    const POINT clientOffset = {origin.x - window.left, origin.y - window.top};
    ASSERT_GT(clientOffset.y, 0);   // a captioned form has a frame above its client area

    struct Way {
        const char* Name;
        void (*Print)(TAttachTestFramedForm* form, HDC dc);
    };
    const Way ways[] = {
        {"WM_PRINT", [](TAttachTestFramedForm* f, HDC dc) {
             ::SendMessageW(f->Handle(), WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
         }},
        {"PaintTo with the frame", [](TAttachTestFramedForm* f, HDC dc) { f->PaintTo(dc, 0, 0, true); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.Name);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = ::CreateCompatibleDC(nullptr);
        HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        const int before = form->FramePaints;
        way.Print(form, dc);
        ::GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] & 0xFFFFFFu; };
        EXPECT_EQ(form->FramePaints, before + 1);
        EXPECT_EQ(at(1, 1), 0xFF0000u);                                     // frame: red
        EXPECT_EQ(at(w / 2, clientOffset.y / 2), 0xFF0000u);               // caption band: red
        EXPECT_EQ(at(clientOffset.x + client.right / 2, clientOffset.y + client.bottom / 2), 0x0000FFu);   // client: blue
        EXPECT_EQ(at(clientOffset.x + 1, clientOffset.y + 1), 0x0000FFu);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    form->Free();
}

// ---------------------------------------------------------------------------
// Named message handlers and the bounds the window owns

class TAttachTestCursorControl : public TWinControl {
public:
    KES_CLASS_NAME(TAttachTestCursorControl)
    using TWinControl::TWinControl;
    int CursorQueries = 0;
    int MouseEnters = 0;

protected:
    // Only this handler changes; every other message keeps its handling.
    void WMSetCursor(TMessage& Message) override {
        ++CursorQueries;
        Message.Result = 1;
    }
    void CMMouseEnter(TMessage& Message) override {
        ++MouseEnters;
        TWinControl::CMMouseEnter(Message);
    }
};

TEST(AttachHandlers, OverridingOneHandlerChangesOnlyItsMessage) {
    auto* form = New<TForm>(Application);
    auto* control = New<TAttachTestCursorControl>(form);
    control->SetParent(form);
    control->SetBounds(5, 5, 60, 30);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    EXPECT_EQ(::SendMessageW(control->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(control->Handle()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              1);
    EXPECT_EQ(control->CursorQueries, 1);
    control->Perform(CM_MOUSEENTER);
    EXPECT_EQ(control->MouseEnters, 1);
    ::SendMessageW(control->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"text"));
    EXPECT_EQ(control->GetText(), u"text");
    form->Free();
}

TEST(AttachHandlers, BoundsFollowTheWindowWhenItIsMovedBehindTheFrameworksBack) {
    auto* form = New<TForm>(Application);
    form->SetBounds(30, 30, 300, 200);
    auto* control = New<TWinControl>(form);
    control->SetParent(form);
    control->SetBounds(5, 5, 60, 30);
    form->Show();
    harness::PumpUntilIdle(10, 1000);
    struct Case {
        const char* Name;
        TWinControl* Control;
        RECT Bounds;
    };
    const Case cases[] = {
        {"child", control, {11, 12, 11 + 70, 12 + 40}},
        {"form", form, {50, 60, 50 + 320, 60 + 220}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        int resizes = 0;
        struct Counter {
            int* Count;
            void Resized(TObject*) { ++*Count; }
        };
        Counter counter{&resizes};
        c.Control->OnResize = TNotifyEvent::Of<&Counter::Resized>(&counter);
        ::SetWindowPos(c.Control->Handle(), nullptr, c.Bounds.left, c.Bounds.top, c.Bounds.right - c.Bounds.left,
                       c.Bounds.bottom - c.Bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
        c.Control->OnResize = nullptr;
        EXPECT_EQ(c.Control->Left(), c.Bounds.left);
        EXPECT_EQ(c.Control->Top(), c.Bounds.top);
        EXPECT_EQ(c.Control->Width(), c.Bounds.right - c.Bounds.left);
        EXPECT_EQ(c.Control->Height(), c.Bounds.bottom - c.Bounds.top);
        EXPECT_GE(resizes, 1);
    }
    form->Free();
}

}  // namespace
