// Kestrune end to end: the real program in its own process, driven with real
// mouse and keyboard input against a loopback HTTP server, and read back
// through its windows the way a user sees them.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "GuiHarness.h"
#include "HttpTestServer.h"
#include "KestruneProgram.h"
#include "ProcessDriver.h"
#include "TestPages.h"

namespace {

using harness::PumpUntil;
using harness::AtLeft;
using harness::TextOf;
using harness::WithCaption;

// Generous limits for a slow machine; every wait ends as soon as its
// condition holds.
constexpr int kStartMs = 60000;   // the first program started in a fresh Wine prefix is slow
constexpr int kStepMs = 10000;
constexpr int kFetchMs = 30000;
constexpr int kExitMs = 10000;

const std::wstring kTitle = L"Kestrune v0.1";
const char kUserAgent[] = "Mozilla/4.0 (compatible; Kestrune)";
const wchar_t kScreenshot[] = L"kestrune-e2e-failure.bmp";

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The lines of a memo's text, without the empty line after a final line break.
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find(L"\r\n", pos);
        lines.push_back(text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos));
        if (end == std::wstring::npos) break;
        pos = end + 2;
    }
    return lines;
}


// The two ways the conversion box shows each byte of a Windows-1251 page
// made by harness::Windows1251Page, line breaks left out: read as
// Windows-1251 (box checked) and decoded as UTF-8 (unchecked: ASCII stays,
// every other byte is U+FFFD).
struct PageRenderings {
    std::wstring Checked, Unchecked;
};
PageRenderings RenderingsOf(const std::string& page) {
    PageRenderings r;
    for (const char byte : page) {
        if (byte == '\r' || byte == '\n') continue;
        wchar_t letter = 0;
        ::MultiByteToWideChar(1251, 0, &byte, 1, &letter, 1);
        r.Checked += letter;
        r.Unchecked += static_cast<unsigned char>(byte) < 0x80 ? static_cast<wchar_t>(byte) : L'\xFFFD';
    }
    return r;
}

std::wstring WithoutLineBreaks(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text)
        if (c != L'\r' && c != L'\n') out += c;
    return out;
}

// Whether the text, line breaks left out, is the page from its start with
// each character in one of the two renderings (a piece missing or shown
// twice puts what follows out of step); covered is how much of it the text
// holds, and where it first went wrong, for the message.
bool FollowsThePage(const std::wstring& text, const PageRenderings& page, std::size_t& covered, std::string& why) {
    const std::wstring shown = WithoutLineBreaks(text);
    covered = shown.size();
    if (shown.size() > page.Checked.size()) {
        why = std::to_string(shown.size()) + " characters, more than the page has";
        return false;
    }
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != page.Checked[i] && shown[i] != page.Unchecked[i]) {
            why = "out of step with the page at character " + std::to_string(i) + " of " + std::to_string(shown.size());
            return false;
        }
    return true;
}

// The controls of Kestrune's window that the test uses.
struct MainWindowParts {
    HWND AddressBox = nullptr;
    HWND AddressEdit = nullptr;   // the edit field inside the address box
    HWND HiddenAddress = nullptr; // the invisible edit that "Go!" fetches
    HWND Go = nullptr;
    HWND Stop = nullptr;
    HWND StatusBar = nullptr;
    HWND TextView = nullptr;
    HWND LogPane = nullptr;
    HWND HeaderPane = nullptr;
};

class KestruneEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(harness::StartKestrune(FProgram, harness::BuiltKestrune(), kStartMs, FForm));
    }

    void TearDown() override {
        if (HasFailure()) SaveScreenshot();
        FProgram.Kill();
    }

    void FindParts() {
        MainWindowParts& p = FParts;
        p.AddressBox = harness::AddressBoxOf(FForm);
        ASSERT_NE(p.AddressBox, nullptr) << "no TsComboBox at left 8";
        p.AddressEdit = ::FindWindowExW(p.AddressBox, nullptr, L"Edit", nullptr);
        ASSERT_NE(p.AddressEdit, nullptr) << "the address box has no edit field to type into";
        const auto edits = harness::FindDescendants(FForm, L"TEdit");
        p.HiddenAddress = edits.empty() ? nullptr : edits.front();
        const auto buttons = harness::FindDescendants(FForm, L"TsButton");
        p.Go = WithCaption(buttons, L"Go!");
        p.Stop = WithCaption(buttons, L"Stop");
        ASSERT_NE(p.Go, nullptr) << "no TsButton \"Go!\"";
        ASSERT_NE(p.Stop, nullptr) << "no TsButton \"Stop\"";
        const auto bars = harness::FindDescendants(FForm, L"TStatusBar");
        ASSERT_EQ(bars.size(), 1u) << "TStatusBar windows";
        p.StatusBar = bars.front();
        const auto views = harness::FindDescendants(FForm, L"TsRichEdit");
        ASSERT_EQ(views.size(), 1u) << "TsRichEdit windows";
        p.TextView = views.front();
        const auto memos = harness::FindDescendants(FForm, L"TsMemo");
        p.LogPane = AtLeft(memos, 8);
        p.HeaderPane = AtLeft(memos, 343);
        ASSERT_NE(p.LogPane, nullptr) << "no TsMemo at left 8";
        ASSERT_NE(p.HeaderPane, nullptr) << "no TsMemo at left 343";
    }

    std::wstring StatusText() const {
        std::wstring text;
        if (!harness::ReadStatusBarText(FProgram.Handle(), FParts.StatusBar, text)) return L"<status bar not readable>";
        return text;
    }

    // What the window shows, for failure messages.
    std::wstring Describe() const {
        std::wstring s;
        s += L"\n  caption:        \"" + TextOf(FForm) + L"\"";
        s += L"\n  status bar:     \"" + StatusText() + L"\"";
        s += L"\n  address box:    \"" + TextOf(FParts.AddressBox) + L"\"";
        s += L"\n  hidden address: " +
             (FParts.HiddenAddress ? L"\"" + TextOf(FParts.HiddenAddress) + L"\"" : std::wstring(L"(no window)"));
        s += L"\n  log pane:       \"" + TextOf(FParts.LogPane) + L"\"";
        s += L"\n  header pane:    \"" + TextOf(FParts.HeaderPane) + L"\"";
        s += L"\n  text view:      \"" + TextOf(FParts.TextView) + L"\"";
        s += L"\n  requests served: " + std::to_wstring(FServer.Requests().size());
        return s;
    }

    void SaveScreenshot() {
        if (FScreenshotSaved || !FForm || !::IsWindow(FForm)) return;
        FScreenshotSaved = true;
        const harness::Capture shot = harness::CaptureWindow(FForm, harness::CaptureSource::Screen);
        if (shot.SaveBmp(kScreenshot))
            std::cerr << "screenshot of the window saved as kestrune-e2e-failure.bmp in the working folder\n";
    }

    // Clicks the centre of a control with the real mouse, once the control
    // is what lies there.
    void Click(HWND control, const char* what) {
        const POINT centre = harness::CentreOf(control);
        const bool reachable = PumpUntil([&] { return ::WindowFromPoint(centre) == control; }, kStepMs);
        ASSERT_TRUE(reachable) << "a click at the centre of " << what << " would go to a "
                               << harness::ClassNameOf(::WindowFromPoint(centre)) << " window"
                               << (::IsWindowVisible(control) ? "" : "; the control is not visible");
        ASSERT_TRUE(harness::ClickAt(centre)) << "the mouse click on " << what << " could not be sent";
    }

    // Types the address into the address box with the real mouse and keyboard.
    // Under Xvfb without a window manager a window that has just appeared can
    // lose the foreground to the X focus again: the click is repeated (at
    // most three times) until it gives the address box the focus.
    void TypeAddress(const std::wstring& address) {
        const DWORD uiThread = ::GetWindowThreadProcessId(FForm, nullptr);
        bool focused = false;
        for (int attempt = 0; attempt < 3 && !focused; ++attempt) {
            ::SetForegroundWindow(FForm);
            ASSERT_NO_FATAL_FAILURE(Click(FParts.AddressEdit, "the address box"));
            focused = PumpUntil(
                [&] {
                    GUITHREADINFO info = {};
                    info.cbSize = sizeof(info);
                    return ::GetForegroundWindow() == FForm && ::GetGUIThreadInfo(uiThread, &info) &&
                           info.hwndFocus == FParts.AddressEdit;
                },
                kStepMs);
        }
        ASSERT_TRUE(focused) << "a click on the address box did not give it the keyboard focus";
        ASSERT_TRUE(harness::TypeUnicode(address));
        const bool typed = PumpUntil([&] { return TextOf(FParts.AddressBox) == address; }, kStepMs);
        ASSERT_TRUE(typed) << "after typing " << address << Describe();
    }

    // Types the address, clicks "Go!" and waits until the status bar shows
    // the result code.
    void FetchAndWait(const std::wstring& address, int timeoutMs = kFetchMs) {
        ASSERT_NO_FATAL_FAILURE(TypeAddress(address));
        ASSERT_NO_FATAL_FAILURE(Click(FParts.Go, "Go!"));
        const bool resultShown = PumpUntil([&] { return Contains(StatusText(), L"Resultcode:"); }, timeoutMs);
        ASSERT_TRUE(resultShown) << "no result code in the status bar" << Describe();
    }

    harness::HttpTestServer FServer;
    harness::ChildProcess FProgram;
    HWND FForm = nullptr;
    MainWindowParts FParts;
    bool FScreenshotSaved = false;
};

TEST_F(KestruneEndToEnd, GoFetchesTheTypedAddressFollowsTheRedirectAndShowsThePage) {
    // The first response redirects with a relative location; the page sends
    // its second half after a pause, so the fetch can be seen in progress.
    harness::HttpResponse hop;
    hop.Code = 302;
    hop.Reason = "Found";
    hop.Headers = {{"Location", "/page"}, {"X-Kestrune-Probe", "first-hop-3c1d"}};
    hop.Body = "redirect body 9a41";
    FServer.Route("/start", hop);
    harness::HttpResponse page;
    page.Headers = {{"X-Kestrune-Probe", "final-page-8e2b"}};
    page.Body = "<html><body>\r\n<p>Kestrune test page 5d7e: Gr\xC3\xBC\xC3\x9F" "e</p>\r\n</body></html>\r\n";
    page.ChunkSize = page.Body.size() / 2 + 1;
    page.ChunkDelayMs = 2000;
    FServer.Route("/page", page);
    const std::wstring address = Widen(FServer.Url("/start"));
    const std::wstring redirected = Widen(FServer.Url("/page"));

    EXPECT_EQ(TextOf(FForm), kTitle) << "caption before the first Go!";
    ASSERT_NO_FATAL_FAILURE(FindParts());

    ASSERT_NO_FATAL_FAILURE(TypeAddress(address));

    // Press "Go!" and look while the page is still arriving.
    ASSERT_TRUE(::IsWindowEnabled(FParts.Go)) << "Go! is disabled before any fetch";
    ASSERT_NO_FATAL_FAILURE(Click(FParts.Go, "Go!"));
    const bool pageRequested = PumpUntil([&] { return FServer.Requests().size() >= 2; }, kFetchMs);
    ASSERT_TRUE(pageRequested) << "the redirect was not followed" << Describe();
    EXPECT_FALSE(::IsWindowEnabled(FParts.Go)) << "Go! is enabled while a fetch runs";
    EXPECT_TRUE(::IsWindowEnabled(FParts.Stop)) << "Stop is disabled while a fetch runs";

    // The result.
    const bool resultShown = PumpUntil([&] { return Contains(StatusText(), L"Resultcode:"); }, kFetchMs);
    ASSERT_TRUE(resultShown) << "no result code in the status bar" << Describe();
    const bool idleAgain =
        PumpUntil([&] { return ::IsWindowEnabled(FParts.Go) && !::IsWindowEnabled(FParts.Stop); }, kStepMs);
    EXPECT_TRUE(idleAgain) << "after the fetch: Go! " << (::IsWindowEnabled(FParts.Go) ? "enabled" : "disabled")
                           << ", Stop " << (::IsWindowEnabled(FParts.Stop) ? "enabled" : "disabled");

    const std::wstring status = StatusText();
    EXPECT_TRUE(EndsWith(status, L" Resultcode: 200")) << "status bar: " << status;
    EXPECT_EQ(TextOf(FForm), address + L" - " + kTitle);

    // Only the first response's headers, status line included.
    const std::wstring headers = TextOf(FParts.HeaderPane);
    EXPECT_TRUE(Contains(headers, L"HTTP/1.1 302 Found")) << headers;
    EXPECT_TRUE(Contains(headers, L"X-Kestrune-Probe: first-hop-3c1d")) << headers;
    EXPECT_FALSE(Contains(headers, L"final-page-8e2b")) << headers;
    EXPECT_EQ(::SendMessageW(FParts.HeaderPane, EM_GETFIRSTVISIBLELINE, 0, 0), 0)
        << "the header pane does not show its first line";

    EXPECT_EQ(Lines(TextOf(FParts.LogPane)), std::vector<std::wstring>{L"Redirected to: " + redirected});

    // The finished page replaces what was shown while it arrived: the body
    // decoded as UTF-8, no header lines, nothing of the redirect's body.
    const std::wstring text = TextOf(FParts.TextView);
    EXPECT_TRUE(Contains(text, L"Kestrune test page 5d7e: Gr\u00FC\u00DFe")) << text;
    EXPECT_FALSE(Contains(text, L"HTTP/1.1")) << text;
    EXPECT_FALSE(Contains(text, L"redirect body 9a41")) << text;

    const auto requests = FServer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Method + " " + requests[0].Path, "GET /start");
    EXPECT_EQ(requests[1].Method + " " + requests[1].Path, "GET /page");
    for (const auto& request : requests) EXPECT_EQ(request.Header("User-Agent"), kUserAgent) << request.Path;

    // Closing the window ends the program normally.
    if (HasFailure()) SaveScreenshot();
    ASSERT_TRUE(::PostMessageW(FForm, WM_CLOSE, 0, 0));
    DWORD exitCode = 0;
    ASSERT_TRUE(FProgram.WaitForExit(kExitMs, exitCode)) << "Kestrune still runs " << kExitMs << " ms after WM_CLOSE";
    EXPECT_EQ(exitCode, 0u);
}

// The text view draws the page on the screen: after a fetch, the screen
// inside the view holds the view's own background and, on it, the glyphs
// of the page (their pixels differ from the background).
TEST_F(KestruneEndToEnd, TheTextViewDrawsTheFetchedPageOnTheScreen) {
    harness::HttpResponse page;
    page.ContentType = "text/plain";
    for (int i = 0; i < 20; ++i) page.Body += "WWWW MMMM #### Kestrune text view line " + std::to_string(i) + "\r\n";
    FServer.Route("/text", page);
    ASSERT_NO_FATAL_FAILURE(FindParts());
    ASSERT_NO_FATAL_FAILURE(FetchAndWait(Widen(FServer.Url("/text"))));
    ASSERT_TRUE(Contains(TextOf(FParts.TextView), L"Kestrune text view line 19")) << Describe();

    const COLORREF background = ::GetSysColor(COLOR_WINDOW);
    harness::Capture shot;
    int backgroundPixels = 0, otherPixels = 0;
    PumpUntil(
        [&] {
            shot = harness::CaptureWindow(FParts.TextView, harness::CaptureSource::Screen, true);
            backgroundPixels = shot.Count(background, 8);
            otherPixels = shot.Width * shot.Height - shot.Count(background, 48);
            return !shot.Empty() && otherPixels >= 500;
        },
        kStepMs);
    shot.SaveBmp((std::wstring(harness::ModuleFolder()) + L"\\kestrune-text-view.bmp").c_str());
    ASSERT_FALSE(shot.Empty());
    const int all = shot.Width * shot.Height;
    EXPECT_GT(backgroundPixels, all / 2) << "the view's background does not show in the view";
    EXPECT_GE(otherPixels, 500) << "no glyphs on the screen in the text view (" << all << " pixels, "
                                << backgroundPixels << " of the background colour)" << Describe();
}

// "Go!" fetches again when clicked right after a fetch ends, with no other
// control touched in between: the second click comes soon after the first at
// the same place, so the system reports it as a double click.
TEST_F(KestruneEndToEnd, GoClickedAgainAfterAFetchFetchesAgain) {
    harness::HttpResponse page;
    page.Body = "<html><body>again</body></html>";
    FServer.Route("/again", page);
    ASSERT_NO_FATAL_FAILURE(FindParts());
    ASSERT_NO_FATAL_FAILURE(FetchAndWait(Widen(FServer.Url("/again"))));
    for (int round = 2; round <= 3; ++round) {
        SCOPED_TRACE("fetch " + std::to_string(round));
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(FParts.Go) != FALSE; }, kFetchMs)) << Describe();
        const std::size_t served = FServer.Requests().size();
        ASSERT_NO_FATAL_FAILURE(Click(FParts.Go, "Go!"));
        EXPECT_TRUE(PumpUntil([&] { return FServer.Requests().size() > served; }, kFetchMs))
            << "the click on Go! started no fetch" << Describe();
    }
}


// The conversion box clicked with the mouse, three times, while a long
// Windows-1251 page arrives slowly: each click shows what has arrived in the
// new conversion and later pieces follow on, so the text view, read after
// later pieces came, holds the page from its start with no piece missing or
// twice; the finished page is shown whole as Windows-1251, the box's choice
// at the end, and the program lives on.
TEST_F(KestruneEndToEnd, ClickingTheConversionBoxDuringALongFetchKeepsThePageWhole) {
    const std::string body = harness::Windows1251Page(3u << 20);
    const PageRenderings page = RenderingsOf(body);
    harness::HttpResponse slow;
    slow.ContentType = "text/plain";
    slow.Body = body;
    slow.ChunkSize = 64 * 1024;
    slow.ChunkDelayMs = 150;
    FServer.Route("/long", slow);
    ASSERT_NO_FATAL_FAILURE(FindParts());
    const auto boxes = harness::FindDescendants(FForm, L"TsCheckBox");
    ASSERT_EQ(boxes.size(), 1u) << "TsCheckBox windows";
    const HWND box = boxes.front();
    // The box's state, or -1 when the program does not answer.
    const auto boxState = [&] {
        DWORD_PTR state = 0;
        return ::SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_NORMAL, kStepMs, &state) ? static_cast<int>(state) : -1;
    };
    ASSERT_EQ(boxState(), BST_UNCHECKED);
    // The text view's window may be made anew when a click replaces a long text.
    const auto textView = [&] {
        const auto views = harness::FindDescendants(FForm, L"TsRichEdit");
        return views.size() == 1 ? views.front() : nullptr;
    };
    const auto shownLength = [&] {
        DWORD_PTR length = 0;
        const HWND view = textView();
        if (!view || !::SendMessageTimeoutW(view, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kStepMs, &length)) return 0u;
        return static_cast<unsigned>(length);
    };
    const auto running = [&] { return !Contains(StatusText(), L"Resultcode:"); };

    ASSERT_NO_FATAL_FAILURE(TypeAddress(Widen(FServer.Url("/long"))));
    ASSERT_NO_FATAL_FAILURE(Click(FParts.Go, "Go!"));
    std::size_t before = 0;
    const unsigned thresholds[] = {150u << 10, 800u << 10, 1500u << 10};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("click " + std::to_string(i + 1));
        ASSERT_TRUE(PumpUntil([&] { return shownLength() >= thresholds[i]; }, 120000)) << Describe();
        ASSERT_TRUE(running()) << "the page has arrived before the click" << Describe();
        ASSERT_NO_FATAL_FAILURE(Click(box, "the conversion box"));
        const int wanted = i % 2 == 0 ? BST_CHECKED : BST_UNCHECKED;
        ASSERT_TRUE(PumpUntil([&] { return boxState() == wanted; }, kFetchMs))
            << "the click did not reach the box";
        // Two more progress notes shown: the click has been handled and at
        // least one later piece has been added.
        for (int note = 0; note < 2 && running(); ++note) {
            const std::wstring status = StatusText();
            PumpUntil([&] { return StatusText() != status; }, kFetchMs);
        }
        const std::wstring text = TextOf(textView(), kFetchMs);
        std::size_t covered = 0;
        std::string why;
        EXPECT_TRUE(FollowsThePage(text, page, covered, why)) << why;
        EXPECT_GE(covered, before) << "the text view lost what it held before the click";
        before = covered;
    }

    ASSERT_TRUE(PumpUntil([&] { return !running(); }, 120000)) << "no result code in the status bar" << Describe();
    EXPECT_TRUE(EndsWith(StatusText(), L" Resultcode: 200")) << StatusText();
    EXPECT_EQ(::WaitForSingleObject(FProgram.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "Kestrune has ended";
    EXPECT_EQ(boxState(), BST_CHECKED);
    const std::wstring shown = WithoutLineBreaks(TextOf(textView(), kFetchMs));
    std::size_t same = 0;
    while (same < shown.size() && same < page.Checked.size() && shown[same] == page.Checked[same]) ++same;
    EXPECT_TRUE(shown == page.Checked) << "the text view holds " << shown.size() << " characters of the page's "
                                       << page.Checked.size() << " as Windows-1251; the first difference at " << same;
}

}  // namespace
