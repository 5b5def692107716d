// The framework's window plumbing: message routing, reflection, layout,
// threads, timers, exceptions and unit start-up.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ExtCtrls.h"
#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "Threads.h"
#include "Units.h"

namespace {

// A windowed control over the system BUTTON class that records what reaches it.
class TSpyButton : public TWinControl {
public:
    KES_CLASS_NAME(TSpyButton)
    explicit TSpyButton(TComponent* owner) : TWinControl(owner) { SetControlStyle(csSetCaption | csDoubleClicks); }
    std::vector<UINT> Seen;
    int Clicks = 0;

protected:
    void CreateParams(TCreateParams& Params) override {
        TWinControl::CreateParams(Params);
        CreateSubClass(Params, L"BUTTON");
        Params.Style |= BS_PUSHBUTTON;
    }
    void Dispatch(TMessage& Message) override {
        Seen.push_back(Message.Msg);
        if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == BN_CLICKED) {
            ++Clicks;
            return;
        }
        TWinControl::Dispatch(Message);
    }
};

class TTestForm : public TForm {
public:
    KES_CLASS_NAME(TTestForm)
    using TForm::TForm;
    TSpyButton* Button = nullptr;
    TWinControl* Top1 = nullptr;
    TWinControl* Bottom1 = nullptr;
    TWinControl* Bottom2 = nullptr;
    TWinControl* Client = nullptr;
    int Created = 0;
    bool LoadingSeenInCreate = true;

protected:
    void CreateComponents() override {
        SetClientSize(300, 200);
        OnCreate = TNotifyEvent::Of<&TTestForm::FormCreate>(this);
        auto make = [this](TAlign align, int top, int height) {
            auto* c = New<TWinControl>(this);
            c->SetParent(this);
            c->SetBounds(0, top, 50, height);
            c->SetAlign(align);
            return c;
        };
        Top1 = make(TAlign::alTop, 0, 30);
        // Two bottom-aligned controls: the one placed lower stays at the bottom.
        Bottom2 = make(TAlign::alBottom, 150, 10);
        Bottom1 = make(TAlign::alBottom, 180, 16);
        Client = make(TAlign::alClient, 40, 10);
        Button = New<TSpyButton>(this);
        Button->SetParent(Client);
        Button->SetBounds(5, 5, 80, 24);
        Button->SetCaption(u"Press");
    }

private:
    void FormCreate(TObject*) {
        ++Created;
        LoadingSeenInCreate = HasState(csLoading);
    }
};

}  // namespace

TEST(Framework, FormIsBuiltLoadedAndCreatedOnce) {
    auto* form = New<TTestForm>(Application);
    EXPECT_EQ(form->Created, 1);
    EXPECT_FALSE(form->LoadingSeenInCreate);
    EXPECT_FALSE(form->Button->HandleAllocated());
    // Perform works without a window.
    EXPECT_EQ(form->Button->Perform(WM_GETTEXTLENGTH), 5);
    form->Free();
}

TEST(Framework, WindowsUseFrameworkClassNamesAndTheSharedProcedure) {
    auto* form = New<TTestForm>(Application);
    form->Show();
    harness::PumpUntilIdle(20, 2000);
    wchar_t name[64];
    ::GetClassNameW(form->Handle(), name, 64);
    EXPECT_STREQ(name, L"TTestForm");
    ::GetClassNameW(form->Button->Handle(), name, 64);
    EXPECT_STREQ(name, L"TSpyButton");
    EXPECT_EQ(TWinControl::FindControl(form->Button->Handle()), form->Button);
    EXPECT_EQ(form->Button->GetText(), u"Press");
    // The system button procedure still draws and answers.
    EXPECT_EQ(::SendMessageW(form->Button->Handle(), WM_GETTEXTLENGTH, 0, 0), 5);
    form->Free();
}

TEST(Framework, ParentReflectsNotificationsToTheChild) {
    auto* form = New<TTestForm>(Application);
    form->Show();
    harness::PumpUntilIdle(20, 2000);
    ::SendMessageW(form->Button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form->Button->Clicks, 1);
    form->Free();
}

TEST(Framework, AlignStacksTopBottomAndClient) {
    auto* form = New<TTestForm>(Application);
    form->Show();
    harness::PumpUntilIdle(20, 2000);
    ASSERT_EQ(form->ClientWidth(), 300);
    ASSERT_EQ(form->ClientHeight(), 200);
    struct Row {
        TWinControl* Control;
        RECT Expected;
    };
    const Row rows[] = {
        {form->Top1, {0, 0, 300, 30}},
        {form->Bottom1, {0, 184, 300, 200}},
        {form->Bottom2, {0, 174, 300, 184}},
        {form->Client, {0, 30, 300, 174}},
    };
    for (const Row& row : rows) {
        const RECT r = row.Control->BoundsRect();
        EXPECT_EQ(r.left, row.Expected.left);
        EXPECT_EQ(r.top, row.Expected.top);
        EXPECT_EQ(r.right, row.Expected.right);
        EXPECT_EQ(r.bottom, row.Expected.bottom);
    }
    // A resize lays them out again.
    form->SetClientSize(400, 300);
    harness::PumpUntilIdle(20, 2000);
    EXPECT_EQ(form->Bottom1->Top(), 284);
    EXPECT_EQ(form->Client->Width(), 400);
    EXPECT_EQ(form->Client->Height(), 300 - 30 - 26);
    form->Free();
}

TEST(Framework, GdiAndUserObjectsStayFlatOverFormCycles) {
    auto cycle = [] {
        auto* form = New<TTestForm>(Application);
        form->Show();
        harness::PumpUntilIdle(5, 500);
        form->Free();
        harness::PumpUntilIdle(5, 500);
    };
    cycle();
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int i = 0; i < 10; ++i) cycle();
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
}

namespace {

class TThrowingControl : public TWinControl {
public:
    KES_CLASS_NAME(TThrowingControl)
    using TWinControl::TWinControl;

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_USER + 7) throw Exception(u"bad thing");
        TWinControl::Dispatch(Message);
    }
};

struct ExceptionCatcher : TObject {
    String Last;
    int Count = 0;
    void Handle(TObject*, const std::exception& e) {
        ++Count;
        if (auto* ex = dynamic_cast<const Exception*>(&e)) Last = ex->Message();
    }
};

}  // namespace

TEST(Framework, ExceptionsInWindowProceduresReachTheApplication) {
    ExceptionCatcher catcher;
    Application->OnException = TExceptionEvent::Of<&ExceptionCatcher::Handle>(&catcher);
    auto* form = New<TForm>(Application);
    auto* control = New<TThrowingControl>(form);
    control->SetParent(form);
    form->Show();
    ::SendMessageW(control->Handle(), WM_USER + 7, 0, 0);
    Application->OnException = nullptr;
    EXPECT_EQ(catcher.Count, 1);
    EXPECT_EQ(catcher.Last, u"bad thing");
    form->Free();
}

namespace {

// A worker that asks the main thread to do things while the main thread waits.
class TCountingThread : public TThread {
public:
    explicit TCountingThread(int calls) : TThread(true), FCalls(calls) {}
    int MainThreadRuns = 0;
    DWORD Ran = 0;

protected:
    void Execute() override {
        for (int i = 0; i < FCalls && !Terminated(); ++i) Synchronize(TThreadMethod::Of<&TCountingThread::OnMain>(this));
    }

private:
    void OnMain() {
        ++MainThreadRuns;
        Ran = ::GetCurrentThreadId();
    }
    int FCalls;
};

struct TerminateWatcher : TObject {
    DWORD Thread = 0;
    int Calls = 0;
    void Done(TObject*) {
        ++Calls;
        Thread = ::GetCurrentThreadId();
    }
};

}  // namespace

TEST(Framework, SynchronizeIsServedWhileTheMainThreadWaits) {
    TerminateWatcher watcher;
    auto* thread = new TCountingThread(25);
    thread->OnTerminate = TNotifyEvent::Of<&TerminateWatcher::Done>(&watcher);
    thread->Resume();
    thread->WaitFor();
    EXPECT_EQ(thread->MainThreadRuns, 25);
    EXPECT_EQ(thread->Ran, ::GetCurrentThreadId());
    EXPECT_EQ(watcher.Calls, 1);
    EXPECT_EQ(watcher.Thread, ::GetCurrentThreadId());
    delete thread;
}

TEST(Framework, SynchronizeIsServedByTheMessageLoop) {
    auto* thread = new TCountingThread(5);
    thread->Resume();
    EXPECT_TRUE(harness::PumpUntil([&] {
        Application->ProcessMessages();
        return thread->Finished();
    }));
    EXPECT_EQ(thread->MainThreadRuns, 5);
    delete thread;
}

namespace {

struct TimerProbe : TObject {
    TTimer* Timer = nullptr;
    int Ticks = 0;
    void Tick(TObject*) {
        if (++Ticks == 3) {
            Timer->Free();   // ends after this handler returns
            Timer = nullptr;
        }
    }
};

}  // namespace

TEST(Framework, TimerTicksAndMayFreeItselfInsideItsTick) {
    TimerProbe probe;
    probe.Timer = New<TTimer>(nullptr);
    probe.Timer->SetInterval(10);
    probe.Timer->OnTimer = TNotifyEvent::Of<&TimerProbe::Tick>(&probe);
    EXPECT_TRUE(harness::PumpUntil([&] { return probe.Ticks >= 3; }, 3000));
    harness::PumpUntilIdle(50, 500);
    EXPECT_EQ(probe.Ticks, 3);
    EXPECT_EQ(probe.Timer, nullptr);
}

namespace {
std::vector<std::string> gUnitLog;
void StartA() { gUnitLog.push_back("start A"); }
void StopA() { gUnitLog.push_back("stop A"); }
void StartB() { gUnitLog.push_back("start B"); }
void StopB() { gUnitLog.push_back("stop B"); }
void StartFails() { throw Exception(u"no"); }
}  // namespace

TEST(Framework, UnitsStopInReverseOrderAlsoWhenAStartFails) {
    gUnitLog.clear();
    EXPECT_THROW(InitializeUnits({{"A", StartA, StopA}, {"B", StartB, StopB}, {"C", StartFails, nullptr}}), Exception);
    EXPECT_EQ(gUnitLog, (std::vector<std::string>{"start A", "start B", "stop B", "stop A"}));
    EXPECT_TRUE(StartedUnits().empty());

    gUnitLog.clear();
    InitializeUnits({{"A", StartA, StopA}, {"B", StartB, StopB}});
    EXPECT_EQ(StartedUnits().size(), 2u);
    FinalizeUnits();
    FinalizeUnits();   // a second shut-down does nothing
    EXPECT_EQ(gUnitLog, (std::vector<std::string>{"start A", "start B", "stop B", "stop A"}));
}

namespace {
const auto* const gFrameworkEnvironment =
    ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());
}  // namespace

TEST(Framework, FocusChangesAreAnnouncedAndRemembered) {
    struct Listener : TWinControl {
        using TWinControl::TWinControl;
        int Notices = 0;
        LPARAM Last = 0;
        void Dispatch(TMessage& Message) override {
            if (Message.Msg == CM_FOCUSCHANGED) {
                ++Notices;
                Last = Message.LParam;
            }
            TWinControl::Dispatch(Message);
        }
    };
    auto* form = New<TTestForm>(Application);
    auto* listener = New<Listener>(form);
    listener->SetParent(form->Client);
    form->Show();
    harness::PumpUntilIdle(20, 1000);
    const int before = listener->Notices;
    ::SetFocus(form->Button->Handle());
    EXPECT_EQ(listener->Notices, before + 1);
    EXPECT_EQ(listener->Last, reinterpret_cast<LPARAM>(form->Button));
    EXPECT_EQ(form->ActiveControl(), form->Button);
    // A freed control is forgotten (the focus may move on to its parent).
    TWinControl* button = form->Button;
    button->Free();
    EXPECT_NE(form->ActiveControl(), button);
    form->Free();
}

// ---------------------------------------------------------------------------
// Anchors, copies, the nearest form and frames

TEST(Framework, AnchoredChildrenKeepTheirDistancesWhenTheParentResizes) {
    auto* form = New<TTestForm>(Application);
    struct Row {
        TAnchors Anchors;
        RECT Grown;   // after the client area grew by 10 x 10 in 1-pixel steps
        TWinControl* Control = nullptr;
    };
    Row rows[] = {
        {TAnchors{akLeft, akTop}, {100, 80, 140, 100}},
        {TAnchors{akRight, akTop}, {110, 80, 150, 100}},
        {TAnchors{akLeft, akTop, akRight}, {100, 80, 150, 100}},
        {TAnchors{akLeft, akBottom}, {100, 90, 140, 110}},
        {TAnchors{akLeft, akTop, akBottom}, {100, 80, 140, 110}},
        {TAnchors{}, {105, 85, 145, 105}},
    };
    for (Row& row : rows) {
        row.Control = New<TWinControl>(form);
        row.Control->SetParent(form);
        row.Control->SetBounds(100, 80, 40, 20);
        row.Control->SetAnchors(row.Anchors);
    }
    form->Show();
    harness::PumpUntilIdle(20, 2000);
    ASSERT_EQ(form->ClientWidth(), 300);
    auto expectBounds = [&](bool grown) {
        for (const Row& row : rows) {
            const RECT want = grown ? row.Grown : RECT{100, 80, 140, 100};
            const RECT r = row.Control->BoundsRect();
            EXPECT_TRUE(EqualRect(&r, &want)) << "anchors " << row.Anchors.Bits() << (grown ? " grown" : " back")
                                               << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
    };
    for (int step = 1; step <= 10; ++step) form->SetClientSize(300 + step, 200 + step);
    harness::PumpUntilIdle(20, 2000);
    expectBounds(true);
    for (int step = 9; step >= 0; --step) form->SetClientSize(300 + step, 200 + step);
    harness::PumpUntilIdle(20, 2000);
    expectBounds(false);
    // Shrunk until the stretching children have no size left, and back.
    form->SetClientSize(240, 140);
    harness::PumpUntilIdle(20, 2000);
    EXPECT_EQ(rows[2].Control->Width(), 0);
    EXPECT_EQ(rows[4].Control->Height(), 0);
    form->SetClientSize(300, 200);
    harness::PumpUntilIdle(20, 2000);
    expectBounds(false);
    // A child moved from outside keeps its distances from where it was put.
    rows[1].Control->SetLeft(50);
    form->SetClientSize(310, 200);
    harness::PumpUntilIdle(20, 2000);
    EXPECT_EQ(rows[1].Control->Left(), 60);
    form->Free();
}

TEST(Framework, PaintToPaintsACopyWithTheBackgroundAskedAsOne) {
    struct Recorder : TWinControl {
        using TWinControl::TWinControl;
        std::vector<std::pair<WPARAM, LPARAM>> Erases;
        bool CopyWhileErasing = false;
        void Dispatch(TMessage& Message) override {
            if (Message.Msg == WM_ERASEBKGND) {
                Erases.emplace_back(Message.WParam, Message.LParam);
                CopyWhileErasing = (ControlState() & csPaintCopy) != 0;
            }
            TWinControl::Dispatch(Message);
        }
    };
    auto* form = New<TTestForm>(Application);
    auto* recorder = New<Recorder>(form);
    recorder->SetParent(form);
    recorder->SetBounds(0, 0, 30, 30);
    form->Show();
    harness::PumpUntilIdle(20, 2000);
    recorder->Erases.clear();
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 40, 40);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    recorder->PaintTo(dc, 5, 5);
    ASSERT_EQ(recorder->Erases.size(), 1u);
    EXPECT_EQ(recorder->Erases[0].first, reinterpret_cast<WPARAM>(dc));
    EXPECT_EQ(static_cast<WPARAM>(recorder->Erases[0].second), recorder->Erases[0].first);
    EXPECT_TRUE(recorder->CopyWhileErasing);
    EXPECT_EQ(recorder->ControlState() & csPaintCopy, 0u);
    // A copy already in progress stays one.
    recorder->SetControlState(csPaintCopy, true);
    recorder->PaintTo(dc, 0, 0);
    EXPECT_NE(recorder->ControlState() & csPaintCopy, 0u);
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
    form->Free();
}

TEST(Framework, ParentFormIsTheNearestOrTheTopForm) {
    auto* outer = New<TTestForm>(Application);
    auto* inner = New<TForm>(outer);
    inner->SetParent(outer->Client);
    auto* deep = New<TWinControl>(inner);
    deep->SetParent(inner);
    auto* loose = New<TWinControl>(outer);
    EXPECT_EQ(GetParentForm(deep), outer);
    EXPECT_EQ(GetParentForm(deep, false), inner);
    EXPECT_EQ(GetParentForm(inner, false), inner);
    EXPECT_EQ(GetParentForm(outer->Button, false), outer);
    EXPECT_EQ(GetParentForm(loose), nullptr);
    EXPECT_EQ(GetParentForm(loose, false), nullptr);
    EXPECT_EQ(GetParentForm(nullptr, false), nullptr);
    outer->Free();
}

namespace {

class TCountingFrame : public TFrame {
public:
    KES_CLASS_NAME(TCountingFrame)
    using TFrame::TFrame;
    bool LoadingInCreate = false;
    int LoadedCalls = 0;
    TWinControl* Inner = nullptr;

protected:
    void CreateComponents() override {
        LoadingInCreate = HasState(csLoading);
        Inner = New<TWinControl>(this);
        Inner->SetParent(this);
    }
    void Loaded() override {
        ++LoadedCalls;
        TFrame::Loaded();
    }
};

class TFrameForm : public TForm {
public:
    KES_CLASS_NAME(TFrameForm)
    using TForm::TForm;
    TCountingFrame* Frame = nullptr;
    bool FrameLoadingAfterItsConstruction = false;

protected:
    void CreateComponents() override {
        Frame = New<TCountingFrame>(this);
        Frame->SetParent(this);
        FrameLoadingAfterItsConstruction = Frame->HasState(csLoading);
    }
};

}  // namespace

TEST(Framework, FramesAreBuiltWhileLoadingAndLoadedOnce) {
    auto* alone = New<TCountingFrame>(Application);
    EXPECT_TRUE(alone->LoadingInCreate);
    EXPECT_EQ(alone->LoadedCalls, 1);
    EXPECT_FALSE(alone->HasState(csLoading));
    alone->Free();

    // On a form being built, the frame is loaded with the form.
    auto* form = New<TFrameForm>(Application);
    EXPECT_TRUE(form->Frame->LoadingInCreate);
    EXPECT_TRUE(form->FrameLoadingAfterItsConstruction);
    EXPECT_EQ(form->Frame->LoadedCalls, 1);
    EXPECT_FALSE(form->Frame->HasState(csLoading));
    form->Free();
}

// ---------------------------------------------------------------------------
// Form facilities: frame styles, inner border, translucency, owner, monitor,
// painting through OnPaint.

namespace {

struct FrameStyleCase {
    TFormBorderStyle Border;
    TBorderIcons Icons;
    DWORD Style;     // the bits of TFormFrameStyles::StyleMask that are set
    DWORD ExStyle;   // the bits of TFormFrameStyles::ExStyleMask that are set
};

constexpr DWORD kAllBoxes = WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

const FrameStyleCase kFrameStyleCases[] = {
    {TFormBorderStyle::bsSizeable, {biSystemMenu, biMinimize, biMaximize}, WS_CAPTION | WS_THICKFRAME | kAllBoxes, 0},
    {TFormBorderStyle::bsSizeable, {biSystemMenu, biMinimize}, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX, 0},
    {TFormBorderStyle::bsSizeable, {}, WS_CAPTION | WS_THICKFRAME, 0},
    // Help shows only where there is no minimize or maximize button.
    {TFormBorderStyle::bsSizeable, {biSystemMenu, biMaximize, biHelp}, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX, 0},
    {TFormBorderStyle::bsSingle, {biSystemMenu, biHelp}, WS_CAPTION | WS_SYSMENU, WS_EX_CONTEXTHELP},
    {TFormBorderStyle::bsSingle, {biSystemMenu, biMinimize, biMaximize}, WS_CAPTION | kAllBoxes, 0},
    {TFormBorderStyle::bsDialog, {biSystemMenu, biMinimize, biMaximize, biHelp}, WS_POPUP | WS_CAPTION | WS_SYSMENU,
     WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP},
    {TFormBorderStyle::bsDialog, {biMinimize}, WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME},
    {TFormBorderStyle::bsToolWindow, {biSystemMenu, biMinimize, biMaximize, biHelp}, WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW},
    {TFormBorderStyle::bsSizeToolWin, {biSystemMenu, biMaximize}, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU, WS_EX_TOOLWINDOW},
    {TFormBorderStyle::bsNone, {biSystemMenu, biMinimize, biMaximize, biHelp}, WS_POPUP, 0},
};

DWORD StyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_STYLE)); }
DWORD ExStyleOf(HWND wnd) { return static_cast<DWORD>(::GetWindowLongW(wnd, GWL_EXSTYLE)); }

}  // namespace

TEST(FormFacilities, BorderStyleAndIconsGiveTheWindowStylesAtCreationAndOnALiveWindow) {
    for (const FrameStyleCase& c : kFrameStyleCases) {
        SCOPED_TRACE(::testing::Message() << "border style " << static_cast<int>(c.Border) << ", icons " << c.Icons.Bits());
        auto* made = New<TForm>(Application);
        made->BorderStyle = c.Border;
        made->BorderIcons = c.Icons;
        made->HandleNeeded();
        EXPECT_EQ(StyleOf(made->Handle()) & TFormFrameStyles::StyleMask, c.Style);
        EXPECT_EQ(ExStyleOf(made->Handle()) & TFormFrameStyles::ExStyleMask, c.ExStyle);
        made->Free();

        // The same change on a shown window: its styles follow, the rest stays.
        auto* live = New<TForm>(Application);
        live->ShowNoActivate();
        live->SetBorderStyle(c.Border);
        live->SetBorderIcons(c.Icons);
        const HWND wnd = live->Handle();
        EXPECT_EQ(StyleOf(wnd) & TFormFrameStyles::StyleMask, c.Style);
        EXPECT_EQ(ExStyleOf(wnd) & TFormFrameStyles::ExStyleMask, c.ExStyle);
        EXPECT_TRUE(StyleOf(wnd) & WS_VISIBLE);
        EXPECT_TRUE(StyleOf(wnd) & WS_CLIPCHILDREN);
        // The frame was recomputed: the client area is what the new style leaves.
        RECT window, client, frame{0, 0, 0, 0};
        ::GetWindowRect(wnd, &window);
        ::GetClientRect(wnd, &client);
        ::AdjustWindowRectEx(&frame, StyleOf(wnd), FALSE, ExStyleOf(wnd));
        EXPECT_EQ(client.right, (window.right - window.left) - (frame.right - frame.left));
        live->Free();
    }
}

TEST(FormFacilities, BorderWidthIsTakenOffTheClientAreaAndAlignsChildrenInside) {
    auto* form = New<TForm>(Application);
    form->SetClientSize(200, 100);
    auto* child = New<TWinControl>(form);
    child->SetParent(form);
    child->SetAlign(TAlign::alClient);
    form->ShowNoActivate();
    harness::PumpUntilIdle(5, 500);
    const int outerWidth = form->Width();
    const int outerHeight = form->Height();

    // Set on the live window: the window keeps its size, the client area gives way.
    form->SetBorderWidth(6);
    EXPECT_EQ(form->Width(), outerWidth);
    EXPECT_EQ(form->Height(), outerHeight);
    EXPECT_EQ(form->ClientWidth(), 188);
    EXPECT_EQ(form->ClientHeight(), 88);
    EXPECT_EQ(child->Width(), 188);
    EXPECT_EQ(child->Height(), 88);
    // The client area starts inside the border.
    POINT origin{0, 0};
    ::ClientToScreen(form->Handle(), &origin);
    RECT window;
    ::GetWindowRect(form->Handle(), &window);
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, StyleOf(form->Handle()), FALSE, ExStyleOf(form->Handle()));
    EXPECT_EQ(origin.x - window.left, -frame.left + 6);

    // A client size asked for with a border is the size of the area inside it.
    form->SetClientSize(150, 70);
    EXPECT_EQ(form->ClientWidth(), 150);
    EXPECT_EQ(form->Width(), 150 + 12 + (frame.right - frame.left));
    form->SetBorderWidth(0);
    EXPECT_EQ(form->ClientWidth(), 162);
    form->Free();

    // Without a window the client area is worked out with the border too.
    auto* unmade = New<TForm>(Application);
    unmade->BorderStyle = TFormBorderStyle::bsNone;
    unmade->SetBounds(0, 0, 100, 60);
    unmade->SetBorderWidth(4);
    EXPECT_EQ(unmade->ClientWidth(), 92);
    EXPECT_EQ(unmade->ClientHeight(), 52);
    unmade->HandleNeeded();
    EXPECT_EQ(unmade->ClientWidth(), 92);
    unmade->Free();
}

TEST(FormFacilities, AlphaBlendMakesTheLiveWindowTranslucentAndBack) {
    auto alphaOf = [](HWND wnd) {
        BYTE alpha = 0;
        DWORD flags = 0;
        COLORREF key = 0;
        if (!::GetLayeredWindowAttributes(wnd, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
        return static_cast<int>(alpha);
    };
    auto* form = New<TForm>(Application);
    form->ShowNoActivate();
    const HWND wnd = form->Handle();
    form->SetAlphaBlendValue(90);   // not blended yet: only remembered
    EXPECT_FALSE(ExStyleOf(wnd) & WS_EX_LAYERED);
    form->SetAlphaBlend(true);
    EXPECT_TRUE(ExStyleOf(wnd) & WS_EX_LAYERED);
    EXPECT_EQ(alphaOf(wnd), 90);
    form->SetAlphaBlendValue(200);
    EXPECT_EQ(alphaOf(wnd), 200);
    form->SetAlphaBlend(false);
    EXPECT_FALSE(ExStyleOf(wnd) & WS_EX_LAYERED);
    form->Free();

    // Set before the window exists: the window starts translucent.
    auto* early = New<TForm>(Application);
    early->SetAlphaBlend(true);
    early->SetAlphaBlendValue(128);
    early->HandleNeeded();
    EXPECT_EQ(alphaOf(early->Handle()), 128);
    early->Free();
}

TEST(FormFacilities, HelperFormsTakeAnOwnerAndExtendedStylesBeforeCreation) {
    auto* owner = New<TForm>(Application);
    owner->HandleNeeded();
    auto* helper = New<TForm>(nullptr);
    helper->BorderStyle = TFormBorderStyle::bsNone;
    helper->ExtraExStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
    helper->SetOwnerWindow(owner->Handle());
    helper->HandleNeeded();
    EXPECT_EQ(ExStyleOf(helper->Handle()) & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW), DWORD(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW));
    EXPECT_EQ(::GetWindow(helper->Handle(), GW_OWNER), owner->Handle());
    // The extra styles survive a change of the frame.
    helper->SetBorderStyle(TFormBorderStyle::bsToolWindow);
    EXPECT_TRUE(ExStyleOf(helper->Handle()) & WS_EX_NOACTIVATE);
    // Taking the owner away gives the window back to the application.
    helper->SetOwnerWindow(nullptr);
    EXPECT_EQ(::GetWindow(helper->Handle(), GW_OWNER), Application->Handle());
    helper->Free();
    owner->Free();
}

TEST(FormFacilities, MonitorIsTheScreenWithItsWorkArea) {
    auto* form = New<TForm>(Application);
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    // Before and after the window exists.
    for (int pass = 0; pass < 2; ++pass) {
        TMonitor* monitor = form->Monitor();
        ASSERT_NE(monitor, nullptr);
        EXPECT_EQ(monitor->WorkareaRect(), TRect(work));
        EXPECT_EQ(monitor->BoundsRect(), TRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
        EXPECT_TRUE(monitor->Primary());
        form->HandleNeeded();
    }
    // One object per monitor.
    EXPECT_EQ(form->Monitor(), Screen->MonitorFromPoint(TPoint(1, 1)));
    form->Free();
}

TEST(FormFacilities, WindowStateFollowsTheWindow) {
    auto* form = New<TForm>(Application);
    form->ShowNoActivate();
    harness::PumpUntilIdle(5, 500);
    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    EXPECT_EQ(form->WindowState(), TWindowState::wsMaximized);
    // Hidden, the form keeps the state it shows in again.
    form->Hide();
    EXPECT_EQ(form->WindowState(), TWindowState::wsMaximized);
    form->ShowNoActivate();
    EXPECT_TRUE(::IsZoomed(form->Handle()));
    ::ShowWindow(form->Handle(), SW_RESTORE);
    EXPECT_EQ(form->WindowState(), TWindowState::wsNormal);
    form->Free();
}

namespace {

struct PaintProbe : TObject {
    int Calls = 0;
    HDC SeenDC = nullptr;
    void Paint(TObject* Sender) {
        auto* form = static_cast<TCustomForm*>(Sender);
        ++Calls;
        SeenDC = form->Canvas()->Handle();
        form->Canvas()->Brush()->SetColor(clBlue);
        form->Canvas()->FillRect(TRect(2, 2, 12, 12));
    }
};

}  // namespace

TEST(FormFacilities, OnPaintRunsOnTheCanvasBoundToTheWindowOrAForeignDC) {
    PaintProbe probe;
    auto* form = New<TForm>(Application);
    form->SetClientSize(40, 30);
    form->SetColor(clWhite);
    form->OnPaint = TNotifyEvent::Of<&PaintProbe::Paint>(&probe);
    form->ShowNoActivate();
    harness::PumpUntilIdle(5, 500);

    TBitmap target(20, 20);
    const HDC dc = target.Canvas()->Handle();
    // A caller runs OnPaint into its own DC and puts the canvas back.
    TCanvas* canvas = form->Canvas();
    canvas->Lock();
    canvas->SetHandle(dc);
    form->OnPaint(form);
    canvas->SetHandle(nullptr);
    canvas->Unlock();
    EXPECT_EQ(probe.SeenDC, dc);
    EXPECT_EQ(target.Canvas()->Pixels(5, 5), clBlue);
    EXPECT_FALSE(canvas->HandleAllocated());

    // The form's own painting (here a printed copy) binds the canvas for the call only.
    probe.Calls = 0;
    TBitmap copy(40, 30);
    form->PaintTo(copy.Canvas()->Handle(), 0, 0);
    EXPECT_EQ(probe.Calls, 1);
    EXPECT_EQ(copy.Canvas()->Pixels(5, 5), clBlue);
    EXPECT_EQ(copy.Canvas()->Pixels(30, 20), clWhite);
    EXPECT_FALSE(canvas->HandleAllocated());
    EXPECT_EQ(canvas->LockCount(), 0);
    form->Free();
}
