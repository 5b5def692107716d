// Times, under Wine on a display:
// - skin switches in the main window (in this process) between two of our
//   skins with a long page in the text view (10 MiB by default) against the
//   same switches with an empty view, with the program's font and after the
//   font was changed the way the font dialog's choice is applied; the goal is
//   at most 1.5 times the empty view's time, the window answering WM_NULL
//   (asked over and over from another thread) within 250 ms throughout;
// - the window made wider and back with a 1 MiB page, skinned against the
//   plain look (goal: no slower);
// - Kestrune fetching a long text page from a loopback server, from the
//   click on "Go!" until the finished page is shown, against the floor: the
//   same text view (TsRichEdit with the program's font and size) loading the
//   same text in one piece in this process. While the program fetches, its
//   window is asked WM_NULL over and over and the longest wait for an answer
//   is kept.
// Prints the figures beside their goals; fails only when the fetched page
// does not arrive whole or the text view's window is made anew.
//
//   bench_textview.exe [--size BYTES] [--switch-size BYTES] [--resize-size BYTES]
//                      [--only fetch|switch|resize]
//   (sizes: the fetched page 10 MiB, the switch's page 10 MiB and the
//   resize's page 1 MiB by default)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "HttpTestServer.h"
#include "ProcessDriver.h"
#include "Unit1.h"
#include "sRichEdit.h"

namespace {

double Seconds() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A page of short HTML lines, as a text page of that size looks.
std::string MakePage(std::size_t size) {
    std::string page;
    page.reserve(size + 128);
    char line[128];
    for (int i = 0; page.size() < size; ++i) {
        std::snprintf(line, sizeof line, "<p>Line %07d of the long page: the quick brown fox jumps over the lazy dog.</p>\r\n", i);
        page += line;
    }
    return page;
}

// The floor: the program's text view loading the text in one piece.
double LoadInOnePiece(const String& text) {
    kestrune_test::EnsureFramework();
    TForm* form = New<TForm>(Application);
    form->SetBounds(0, 0, 800, 400);
    auto* view = New<TsRichEdit>(form);
    view->SetParent(form);
    view->SetBounds(8, 6, 771, 324);
    view->Font()->SetName(u"MS Sans Serif");
    view->Font()->SetHeight(-11);
    view->Font()->SetCharset(RUSSIAN_CHARSET);
    form->Show();
    harness::PumpUntilIdle(50, 5000);
    const double start = Seconds();
    view->SetText(text);
    ::UpdateWindow(view->Handle());
    const double seconds = Seconds() - start;
    const bool whole = view->Text().size() == text.size();
    FreeAndNil(form);
    harness::PumpUntilIdle(20, 2000);
    if (!whole) std::printf("warning: the floor's text view does not hold the whole text\n");
    return seconds;
}


bool Fail(const char* what) {
    std::printf("FAILED: %s\n", what);
    return false;
}

struct FetchFigures {
    double Seconds = 0;
    double LongestWait = 0;   // for an answer to WM_NULL
    double LongestWaitAt = 0; // seconds after the click
    std::wstring StatusThen;  // the status bar's text after the longest wait
    int Asked = 0;
};

bool FetchInProgram(const std::wstring& address, std::size_t expectedLength, FetchFigures& figures) {
    harness::ChildProcess program;
    if (!program.Start(harness::ModuleFolder() + L"..\\app\\Kestrune.exe")) return Fail("Kestrune.exe does not start");
    HWND form = program.WaitForWindow(L"TForm1", 60000);
    if (!form) return Fail("no Kestrune window");
    HWND addressBox = harness::AtLeft(harness::FindDescendants(form, L"TsComboBox"), 8);
    HWND addressEdit = addressBox ? ::FindWindowExW(addressBox, nullptr, L"Edit", nullptr) : nullptr;
    HWND go = harness::WithCaption(harness::FindDescendants(form, L"TsButton"), L"Go!");
    const auto bars = harness::FindDescendants(form, L"TStatusBar");
    const auto views = harness::FindDescendants(form, L"TsRichEdit");
    if (!addressEdit || !go || bars.size() != 1 || views.size() != 1) return Fail("the window's controls are not there");
    HWND view = views.front();

    ::SetForegroundWindow(form);
    harness::PumpUntil([&] { return ::WindowFromPoint(harness::CentreOf(addressEdit)) == addressEdit; }, 10000);
    if (!harness::ClickAt(harness::CentreOf(addressEdit))) return Fail("no click on the address box");
    harness::PumpUntil([&] { return ::GetForegroundWindow() == form; }, 10000);
    harness::PumpUntilIdle(100, 2000);
    if (!harness::TypeUnicode(address)) return Fail("the address cannot be typed");
    if (!harness::PumpUntil([&] { return harness::TextOf(addressBox) == address; }, 10000))
        return Fail("the address box does not hold the address");

    if (!harness::ClickAt(harness::CentreOf(go))) return Fail("no click on Go!");
    const double start = Seconds();
    std::wstring status;
    for (;;) {
        const double asked = Seconds();
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
        const double wait = Seconds() - asked;
        ++figures.Asked;
        const bool read = harness::ReadStatusBarText(program.Handle(), bars.front(), status);
        if (wait > figures.LongestWait) {
            figures.LongestWait = wait;
            figures.LongestWaitAt = asked - start;
            figures.StatusThen = status;
        }
        if (read && status.find(L"Resultcode:") != std::wstring::npos) break;
        if (Seconds() - start > 1200) return Fail("no result after 1200 s");
        ::Sleep(20);
    }
    figures.Seconds = Seconds() - start;

    bool ok = true;
    const auto after = harness::FindDescendants(form, L"TsRichEdit");
    if (after.size() != 1 || after.front() != view) ok = Fail("the text view's window was made anew");
    const auto length = static_cast<std::size_t>(::SendMessageW(view, WM_GETTEXTLENGTH, 0, 0));
    if (length != expectedLength) {
        std::printf("text view holds %zu characters, the page has %zu\n", length, expectedLength);
        ok = Fail("the page did not arrive whole");
    }
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    DWORD code = 0;
    program.WaitForExit(20000, code);
    return ok;
}

// ---- skin switch and resize with a long page shown -------------------------

// Asks a window WM_NULL over and over from its own thread and keeps the
// longest wait for an answer.
class Poller {
public:
    explicit Poller(HWND wnd) : FWnd(wnd) {
        FStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        FThread = ::CreateThread(nullptr, 0, &Poller::Run, this, 0, nullptr);
    }
    ~Poller() { Stop(); }
    void Stop() {
        if (!FThread) return;
        ::SetEvent(FStop);
        // The window's thread answers the last ask while it pumps.
        while (::MsgWaitForMultipleObjects(1, &FThread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        ::CloseHandle(FThread);
        ::CloseHandle(FStop);
        FThread = nullptr;
    }
    double LongestWait() const { return FLongest; }
    int Asked() const { return FAsked; }

private:
    static DWORD WINAPI Run(void* self) {
        auto* p = static_cast<Poller*>(self);
        while (::WaitForSingleObject(p->FStop, 20) == WAIT_TIMEOUT) {
            const double asked = Seconds();
            DWORD_PTR result = 0;
            ::SendMessageTimeoutW(p->FWnd, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
            p->FLongest = std::max(p->FLongest, Seconds() - asked);
            ++p->FAsked;
        }
        return 0;
    }
    HWND FWnd;
    HANDLE FStop = nullptr, FThread = nullptr;
    double FLongest = 0;
    int FAsked = 0;
};

// Pumps until nothing has come for quietMs; the seconds from start to the
// last message handled.
double PumpUntilSettled(double start, int quietMs = 250, int timeoutMs = 1200000) {
    double last = Seconds();
    const double begin = last;
    for (;;) {
        MSG msg;
        bool any = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const double now = Seconds();
        if (any) last = now;
        if ((now - last) * 1000 >= quietMs || (now - begin) * 1000 >= timeoutMs) return last - start;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

struct Timing {
    double Seconds = 0;
    double LongestWait = 0;
};

// Runs step with the window polled; the time until everything it caused has
// settled (painting included).
template <class Step>
Timing Timed(HWND wnd, Step step) {
    PumpUntilSettled(Seconds());
    Poller poller(wnd);
    const double start = Seconds();
    step();
    Timing t;
    t.Seconds = PumpUntilSettled(start);
    poller.Stop();
    t.LongestWait = poller.LongestWait();
    return t;
}

// The program's main window in this process with text in its text view.
struct MainWindow {
    explicit MainWindow(const String& text, bool fontChanged) {
        kestrune_test::EnsureFramework();
        Form = New<TForm1>(Application);
        Form->SetBounds(20, 20, Form->Width(), Form->Height());
        Form->Show();
        // No caret blinks: the focus stays on a plain button.
        Form->Button3->SetFocus();
        const std::wstring skins = harness::ModuleFolder() + L"..\\app\\Skins";
        Form->sSkinManager1->SetSkinDirectory(String(skins.begin(), skins.end()));
        PumpUntilSettled(Seconds());
        Form->sRichEdit1->SetText(text);
        PumpUntilSettled(Seconds());
        if (fontChanged) {
            // As the font dialog's choice is applied.
            TFont* chosen = New<TFont>();
            chosen->SetName(u"Tahoma");
            chosen->SetSize(10);
            Form->sRichEdit1->SelectAll();
            Form->sRichEdit1->Font()->Assign(chosen);
            chosen->Free();
            PumpUntilSettled(Seconds());
        }
    }
    ~MainWindow() {
        FreeAndNil(Form);
        harness::PumpUntilIdle(20, 2000);
    }
    void Skin(const char16_t* name) { Form->sSkinManager1->SetSkinName(name); }
    TForm1* Form = nullptr;
};

// Two switches between our skins, the first one chosen beforehand.
Timing SkinSwitch(const String& text, bool fontChanged) {
    MainWindow w(text, fontChanged);
    w.Skin(u"Daylight");
    PumpUntilSettled(Seconds());
    Timing worst;
    for (const char16_t* skin : {u"Basalt", u"Lagoon"}) {
        const Timing t = Timed(w.Form->Handle(), [&] { w.Skin(skin); });
        worst.Seconds = std::max(worst.Seconds, t.Seconds);
        worst.LongestWait = std::max(worst.LongestWait, t.LongestWait);
    }
    return worst;
}

// The window made wider and back, in the plain look or with a skin.
Timing Resize(const String& text, const char16_t* skin) {
    MainWindow w(text, false);
    if (skin) {
        w.Skin(skin);
        PumpUntilSettled(Seconds());
    }
    Timing sum;
    const int width = w.Form->Width();
    for (const int to : {width + 160, width}) {
        const Timing t = Timed(w.Form->Handle(), [&] { w.Form->SetWidth(to); });
        sum.Seconds += t.Seconds;
        sum.LongestWait = std::max(sum.LongestWait, t.LongestWait);
    }
    return sum;
}

void PrintSkinSwitches(std::size_t size) {
    const std::string body = size ? MakePage(size) : std::string();
    const String text(body.begin(), body.end());
    const String empty;
    for (const bool font : {false, true}) {
        const Timing none = SkinSwitch(empty, font);
        const Timing page = SkinSwitch(text, font);
        const double ratio = none.Seconds > 0 ? page.Seconds / none.Seconds : 0;
        std::printf("skin switch%s: %.3f s with the %zu-byte page, %.3f s with an empty view: %.2f x (goal: at most 1.5)\n",
                    font ? " after a font change" : "", page.Seconds, body.size(), none.Seconds, ratio);
        std::printf("  longest wait for an answer to WM_NULL %.0f ms (goal: at most 250 ms)\n",
                    std::max(none.LongestWait, page.LongestWait) * 1000);
        std::fflush(stdout);
    }
}

void PrintResize(std::size_t size) {
    const std::string body = MakePage(size);
    const String text(body.begin(), body.end());
    const Timing plain = Resize(text, nullptr);
    const Timing skinned = Resize(text, u"Daylight");
    std::printf("resize with the %zu-byte page: %.3f s skinned, %.3f s plain: %.2f x (goal: at most 1.0)\n",
                body.size(), skinned.Seconds, plain.Seconds, plain.Seconds > 0 ? skinned.Seconds / plain.Seconds : 0);
    std::printf("  longest wait for an answer to WM_NULL %.0f ms skinned, %.0f ms plain\n", skinned.LongestWait * 1000,
                plain.LongestWait * 1000);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t size = 10u * 1024 * 1024, switchSize = 10u * 1024 * 1024, resizeSize = 1024u * 1024;
    std::string only;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0) size = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--switch-size") == 0) switchSize = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--resize-size") == 0) resizeSize = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
    }
    if (only.empty() || only == "switch") PrintSkinSwitches(switchSize);
    if (only.empty() || only == "resize") PrintResize(resizeSize);
    if (!only.empty() && only != "fetch") return 0;

    const std::string body = MakePage(size);
    const String text(body.begin(), body.end());
    std::printf("page: %zu bytes of text in lines of %zu\n", body.size(), body.find('\n') + 1);
    std::fflush(stdout);

    const double floor = LoadInOnePiece(text);
    std::printf("floor: the text view loads the page in one piece in %.2f s\n", floor);
    std::fflush(stdout);

    harness::HttpTestServer server;
    harness::HttpResponse page;
    page.ContentType = "text/plain";
    page.Body = body;
    server.Route("/long", page);
    const std::string url = server.Url("/long");
    FetchFigures figures;
    const bool ok = FetchInProgram(std::wstring(url.begin(), url.end()), text.size(), figures);
    std::printf("fetch: Kestrune shows the fetched page %.2f s after the click on Go!\n", figures.Seconds);
    std::printf("ratio: %.2f x the floor (goal: at most 1.5)\n", floor > 0 ? figures.Seconds / floor : 0.0);
    std::printf("responsiveness: longest wait for an answer to WM_NULL %.0f ms over %d asks (goal: at most 250 ms)\n",
                figures.LongestWait * 1000, figures.Asked);
    std::printf("  asked %.2f s after the click; the status bar then read \"%ls\"\n", figures.LongestWaitAt,
                figures.StatusThen.c_str());
    std::printf("%s\n", ok ? "page whole, text view window kept" : "FAILED");
    return ok ? 0 : 1;
}
