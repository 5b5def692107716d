// Times Kestrune fetching a long text page from a loopback server, from the
// click on "Go!" until the finished page is shown, against the floor: the
// same text view (TsRichEdit with the program's font and size) loading the
// same text in one piece in this process. While the program fetches, its
// window is asked WM_NULL over and over and the longest wait for an answer
// is kept. Prints the figures; fails only when the page does not arrive
// whole or the text view's window is made anew. Runs under Wine on a display.
//
//   bench_textview.exe [--size BYTES]     (10 MiB by default)
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

}  // namespace

int main(int argc, char** argv) {
    std::size_t size = 10u * 1024 * 1024;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--size") == 0) size = std::strtoul(argv[i + 1], nullptr, 10);

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
