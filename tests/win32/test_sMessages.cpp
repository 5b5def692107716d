// Skin commands whose lParam is an address: acted on only while this thread
// sends them. Posted ones (from here or from another process) and sends from
// another thread or process leave the record alone and are passed on to no
// one, whatever address they carry, and the program stays responsive; the
// engine's own queries work also while it handles a message from elsewhere;
// the message unit's filter takes posted ones out of every message loop.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkinForm.h"
#include "acProgressBar.h"
#include "acSBUtils.h"
#include "acSBUtilsScroll.h"
#include "sButton.h"
#include "sCommonDataWin.h"
#include "sMessages.h"
#include "sPanel.h"
#include "sRichEdit.h"
#include "sScrollBox.h"
#include "sSkinProvider.h"
#include "sVclUtils.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

// The records a refused command must leave as they are, one per command
// that carries an address.
struct Records {
    TBackgroundInfo Info;                      // 34
    Integer Index = 0x5A5A;                    // 26
    TsDisabledKind Kind{dkGrayed};             // 35
    TacSectionRecord Section{0, u"FONTY"};     // 15 (read, not written)
    Records() {
        Info.Color = 0x123456;
        Info.Offset = TPoint(-7, -7);
        Info.R = TRect(0, 0, 10, 10);
        Info.BgType = 0xEE;
    }
    LPARAM For(Word Command) {
        switch (Command) {
        case AC_GETBG: return reinterpret_cast<LPARAM>(&Info);
        case AC_GETSKININDEX: return reinterpret_cast<LPARAM>(&Index);
        case AC_GETDISKIND: return reinterpret_cast<LPARAM>(&Kind);
        default: return reinterpret_cast<LPARAM>(&Section);
        }
    }
    bool Untouched() const {
        return Info.Bmp == nullptr && Info.Color == 0x123456 && Info.Offset.X == -7 && Info.Offset.Y == -7 &&
               Info.R.Right == 10 && Info.BgType == 0xEE && !Info.PleaseDraw && Info.DC == nullptr &&
               Index == 0x5A5A && Kind == TsDisabledKind{dkGrayed};
    }
};

enum class Way { PostedHere, SentByThread, PostedByProcess, SentByProcess };
const char* NameOf(Way W) {
    switch (W) {
    case Way::PostedHere: return "posted by this thread";
    case Way::SentByThread: return "sent by another thread";
    case Way::PostedByProcess: return "posted by another process";
    default: return "sent by another process";
    }
}

// Runs the probe program against Wnd and dispatches this thread's messages
// until it has ended; its exit code (see the probe), or -1 when it did not
// start or end.
int RunProbe(HWND Wnd, bool Post, Word Command, LPARAM LParam) {
    wchar_t args[128];
    std::swprintf(args, 128, L"%llx %ls %u %llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(Wnd)),
                  Post ? L"post" : L"send", static_cast<unsigned>(Command),
                  static_cast<unsigned long long>(static_cast<ULONG_PTR>(LParam)));
    harness::ChildProcess probe;
    if (!probe.Start(harness::ModuleFolder() + L"kes_skin_command_probe.exe", args)) return -1;
    if (!harness::PumpUntil([&] { return !probe.Running(); }, 20000)) return -1;
    DWORD code = 0;
    return probe.WaitForExit(0, code) ? static_cast<int>(code) : -1;
}

// Delivers the command the given way and lets this thread dispatch what
// arrived.
void Deliver(HWND Wnd, Word Command, LPARAM LParam, Way W) {
    const WPARAM wParam = MakeSkinWParam(Command);
    switch (W) {
    case Way::PostedHere: ASSERT_TRUE(::PostMessageW(Wnd, SkinCommandMessage, wParam, LParam)); break;
    case Way::SentByThread: {
        std::atomic<bool> done{false};
        LRESULT answer = -5;
        std::thread sender([&] {
            answer = ::SendMessageW(Wnd, SkinCommandMessage, wParam, LParam);
            done = true;
        });
        harness::PumpUntil([&] { return done.load(); }, 10000);
        sender.join();
        EXPECT_EQ(answer, 0);
        break;
    }
    case Way::PostedByProcess: EXPECT_EQ(RunProbe(Wnd, true, Command, LParam), 0); break;
    case Way::SentByProcess: EXPECT_EQ(RunProbe(Wnd, false, Command, LParam), 0) << "refused: answered 0"; break;
    }
    harness::PumpUntilIdle(20, 2000);
}

// What lies below an adapter: counts the skin commands that reach the
// window's own procedure.
std::map<HWND, WNDPROC> gOwnProcs;
int gBelow = 0;
LRESULT CALLBACK CountBelow(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == SkinCommandMessage) ++gBelow;
    return ::CallWindowProcW(gOwnProcs[Wnd], Wnd, Msg, WParam, LParam);
}

struct Receiver {
    std::string Name;
    HWND Wnd;
    std::vector<Word> Commands;   // the pointer commands it answers
    bool Adapter;                 // a window procedure of its own lies below
};

class PointerCommands : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 520, 360));
        acSBUtilsInitialization();
        gBelow = 0;
        gOwnProcs.clear();
    }
    void TearDown() override {
        for (TacMainWnd*& a : adapters) {
            if (dynamic_cast<TacScrollWnd*>(a))
                ReleaseScrollWnd(a->CtrlHandle, true, false, a);
            else
                ReleaseMainWnd(a->CtrlHandle, true, false, a);
        }
        adapters.clear();
        plain.reset();
        acSBUtilsFinalization();
        TestSkinForm::TearDown();
    }
    template <class T>
    T* Put(int X, int Y, int W, int H) {
        auto* c = New<T>(form);
        c->SetBounds(X, Y, W, H);
        c->SetParent(form);
        return c;
    }
    // A plain EDIT with the counter below it, adapted by Make.
    HWND AdaptedEdit(const std::function<TacMainWnd*(HWND)>& Make) {
        if (!plain) {
            plain = std::make_unique<harness::TestWindow>(360, 220, RGB(0x30, 0x60, 0x90));
            plain->Show();
        }
        const int y = 10 + 50 * static_cast<int>(adapters.size());
        HWND edit = ::CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE, 10, y,
                                      200, 40, plain->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        gOwnProcs[edit] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountBelow)));
        adapters.push_back(Make(edit));
        return edit;
    }
    // Every receiver that answers a command with an address.
    std::vector<Receiver> Receivers() {
        auto* panel = Put<TsPanel>(10, 10, 120, 60);
        auto* button = Put<TsButton>(140, 10, 80, 30);
        auto* box = Put<TsScrollBox>(230, 10, 120, 60);
        auto* bar = Put<TsProgressBar>(10, 80, 200, 20);
        auto* rich = Put<TsRichEdit>(10, 110, 200, 60);
        auto* provider = New<TsSkinProvider>(form);
        (void)provider;
        harness::PumpUntilIdle(20, 1000);
        const HWND mainEdit = AdaptedEdit([&](HWND e) { return New<TacMainWnd>(e, nullptr, manager, u"EDIT", true); });
        const HWND editEdit = AdaptedEdit(
            [&](HWND e) { return CreateAdapter(u"TacEditWnd", e, nullptr, manager, u"EDIT", true); });
        const HWND scrollEdit =
            AdaptedEdit([&](HWND e) { return New<TacScrollWnd>(e, nullptr, manager, u"EDIT", true); });
        harness::PumpUntilIdle(20, 1000);
        return {
            {"panel", panel->Handle(), {AC_SETSECTION, AC_GETSKININDEX, AC_GETBG}, false},
            {"button", button->Handle(), {AC_SETSECTION, AC_GETSKININDEX, AC_GETBG}, false},
            {"scroll box", box->Handle(), {AC_SETSECTION, AC_GETSKININDEX, AC_GETBG}, false},
            {"progress bar", bar->Handle(), {AC_GETBG}, false},
            {"rich edit", rich->Handle(), {AC_GETDISKIND, AC_GETSKININDEX}, false},
            {"skinned form", form->Handle(), {AC_GETBG}, false},
            {"adapter base", mainEdit, {AC_SETSECTION, AC_GETBG}, true},
            {"edit adapter", editEdit, {AC_GETSKININDEX, AC_GETBG}, true},
            {"scrolling adapter", scrollEdit, {AC_GETBG}, true},
        };
    }
    static TsCommonData* SkinStateOf(HWND Wnd) {
        return reinterpret_cast<TsCommonData*>(SendSkinCommand(Wnd, AC_GETSKINSTATE));
    }
    // The receiver is alive and answers: it says it is skinned, and the same
    // command sent by this thread through the engine's sender is acted on.
    static void ExpectAnswering(const Receiver& R, Word Command) {
        EXPECT_EQ(SendSkinCommand(R.Wnd, AC_CTRLHANDLED), 1);
        Records own;
        switch (Command) {
        case AC_GETBG:
            own.Info.BgType = 0;   // as the engine's askers leave it
            SendSkinCommand(R.Wnd, Command, own.For(Command));
            EXPECT_NE(own.Info.BgType, 0) << "this thread's own query is answered";
            break;
        case AC_GETSKININDEX:
            EXPECT_EQ(SendSkinCommand(R.Wnd, Command, own.For(Command)), 1);
            EXPECT_NE(own.Index, 0x5A5A) << "this thread's own query is answered";
            break;
        case AC_GETDISKIND:
            SendSkinCommand(R.Wnd, Command, own.For(Command));
            EXPECT_EQ(own.Kind, TsDisabledKind{dkBlended}) << "this thread's own query is answered";
            break;
        default: break;
        }
    }

    std::unique_ptr<harness::TestWindow> plain;
    std::vector<TacMainWnd*> adapters;
};

// Every receiver of an address, every way an address can come from
// elsewhere: the record stays as it was, the section too, nothing reaches
// the window's own procedure below an adapter, and the receiver still
// answers this thread.
TEST_F(PointerCommands, AddressesFromElsewhereAreRefusedByEveryReceiver) {
    const std::vector<Receiver> receivers = Receivers();
    for (const Receiver& r : receivers) {
        ASSERT_EQ(SendSkinCommand(r.Wnd, AC_CTRLHANDLED), 1) << r.Name;
        TsCommonData* sd = SkinStateOf(r.Wnd);
        const String section = sd ? sd->SkinSection() : String();
        for (Word command : r.Commands)
            for (Way way : {Way::PostedHere, Way::SentByThread, Way::PostedByProcess, Way::SentByProcess}) {
                SCOPED_TRACE(r.Name + ", command " + std::to_string(command) + ", " + NameOf(way));
                Records records;
                gBelow = 0;
                Deliver(r.Wnd, command, records.For(command), way);
                EXPECT_TRUE(records.Untouched());
                if (sd) {
                    EXPECT_EQ(sd->SkinSection(), section);
                }
                if (r.Adapter) {
                    EXPECT_EQ(gBelow, 0) << "passed on to the window's own procedure";
                }
                ExpectAnswering(r, command);
            }
    }

    // Without an active manager the adapters pass most messages to the
    // window; an address from elsewhere still goes nowhere.
    manager->SetActive(false);
    harness::PumpUntilIdle(20, 1000);
    for (const Receiver& r : receivers) {
        if (!r.Adapter) continue;
        for (Way way : {Way::PostedHere, Way::SentByThread}) {
            SCOPED_TRACE(r.Name + ", no skin, " + NameOf(way));
            Records records;
            gBelow = 0;
            Deliver(r.Wnd, AC_GETBG, records.For(AC_GETBG), way);
            EXPECT_TRUE(records.Untouched());
            EXPECT_EQ(gBelow, 0) << "passed on to the window's own procedure";
        }
    }
}

// Addresses that point nowhere, from another process and posted here: the
// program neither crashes nor hangs, and every receiver answers afterwards.
TEST_F(PointerCommands, AddressesThatPointNowhereLeaveTheProgramRunning) {
    const std::vector<Receiver> receivers = Receivers();
    for (const Receiver& r : receivers)
        for (Word command : r.Commands)
            for (Way way : {Way::PostedHere, Way::PostedByProcess, Way::SentByProcess}) {
                SCOPED_TRACE(r.Name + ", command " + std::to_string(command) + ", " + NameOf(way));
                Deliver(r.Wnd, command, 0x10, way);
                ExpectAnswering(r, command);
            }
}

// The engine's own queries go on working while this thread handles a
// message that another thread sent (a window moved or printed from
// elsewhere repaints inside that message).
std::function<void()> gOnProbe;
LRESULT CALLBACK RunOnProbe(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_APP + 3 && gOnProbe) {
        gOnProbe();
        return 1;
    }
    return ::DefWindowProcW(Wnd, Msg, WParam, LParam);
}

TEST_F(PointerCommands, OwnQueriesAreAnsweredInsideAMessageFromAnotherThread) {
    auto* panel = Put<TsPanel>(10, 10, 120, 60);
    harness::PumpUntilIdle(20, 1000);
    harness::TestWindow target(100, 100, RGB(0, 0, 0), &RunOnProbe);
    bool answered = false;
    TBackgroundInfo info;
    Integer index = -1;
    gOnProbe = [&] {
        answered = QueryWindowBackground(info, panel->Handle(), false);
        SendSkinCommand(panel->Handle(), AC_GETSKININDEX, reinterpret_cast<LPARAM>(&index));
    };
    std::atomic<bool> done{false};
    std::thread sender([&] {
        ::SendMessageW(target.Handle(), WM_APP + 3, 0, 0);
        done = true;
    });
    harness::PumpUntil([&] { return done.load(); }, 10000);
    sender.join();
    gOnProbe = nullptr;
    EXPECT_TRUE(answered) << "the panel answered the background query";
    EXPECT_EQ(info.BgType, btFill);
    EXPECT_EQ(index, panel->SkinData()->SkinIndex);
}

// The message unit's filter: a posted command with an address reaches no
// window of this thread, in the program's loop or in a modal one; posted
// commands without one arrive as before. Taken away again, the posted
// command arrives.
std::vector<Word> gArrived;
LRESULT CALLBACK LogCommands(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == SkinCommandMessage) {
        gArrived.push_back(SkinCommandOf(WParam));
        return 0;
    }
    return ::DefWindowProcW(Wnd, Msg, WParam, LParam);
}
const wchar_t* const kBoxTitle = L"skin command loop";
void CALLBACK CloseTheBox(HWND, UINT, UINT_PTR Id, DWORD) {
    if (HWND box = ::FindWindowW(nullptr, kBoxTitle)) {
        ::KillTimer(nullptr, Id);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

TEST(PostedSkinCommands, OnlyThoseWithoutAnAddressReachAWindowInAnyLoop) {
    sMessagesInitialization();
    harness::TestWindow logger(50, 50, RGB(0, 0, 0), &LogCommands);
    Integer dummy = 0;
    auto postAll = [&] {
        for (Word c = 1; c <= 60; ++c)
            ::PostMessageW(logger.Handle(), SkinCommandMessage, MakeSkinWParam(c), reinterpret_cast<LPARAM>(&dummy));
    };
    std::vector<Word> expected;
    for (Word c = 1; c <= 60; ++c)
        if (c != AC_SETSECTION && c != AC_UPDATING && c != AC_GETSKININDEX && c != AC_GETBG && c != AC_GETDISKIND)
            expected.push_back(c);

    gArrived.clear();
    postAll();
    harness::PumpUntilIdle(20, 2000);
    EXPECT_EQ(gArrived, expected) << "the program's loop";

    // A system modal loop dispatches them: the box is closed once they are through.
    gArrived.clear();
    postAll();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &CloseTheBox);
    ::MessageBoxW(nullptr, L"", kBoxTitle, MB_OK);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(gArrived, expected) << "a modal loop";

    sMessagesFinalization();
    gArrived.clear();
    ::PostMessageW(logger.Handle(), SkinCommandMessage, MakeSkinWParam(AC_GETBG), reinterpret_cast<LPARAM>(&dummy));
    harness::PumpUntilIdle(20, 2000);
    EXPECT_EQ(gArrived, std::vector<Word>{AC_GETBG});
    EXPECT_EQ(dummy, 0);
}

}  // namespace
