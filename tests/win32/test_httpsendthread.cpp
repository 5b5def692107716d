// The page viewer's worker against the loopback test server: what reaches
// the page view (and on which thread), the posted messages, redirects, the
// text conversion, failures, stopping a request and releasing its HTTP
// object, and waiting for the worker from the main thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "HttpTestServer.h"
#include "Threads.h"
#include "httpsendthread.h"

#include <wininet.h>

namespace {

const auto* const gFrameworkEnvironment =
    ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr UINT kMarker = WM_USER + 2;   // posted by a test right after it stopped a worker
const String kAgent = u"Kestrune-Test/1.0 (worker)";

String Wide(const std::string& ascii) { return AsciiToString(ascii); }

// The text of a string list holding the lines of Text (each followed by CR LF).
String ListText(StringView text) {
    TStringList list;
    list.SetText(text);
    return list.Text();
}

// A page view that records what the worker does to it. The posted messages
// arrive at a hidden window and are delivered by Drain (or by any message
// pump); the effects are recorded with the thread they ran on, and the text
// view is kept as its lines.
class FakePageView : public IPageView {
public:
    struct Posted {
        Byte Kind;
        String Text;
        Integer Value;
        WPARAM Sender;
        bool AfterMarker;   // delivered after the test's marker
    };
    enum EffectKind { Headers, Append, Clear };
    struct Effect {
        EffectKind Kind;
        std::vector<String> Lines;   // the header lines, or the appended line
        bool OnMainThread;
        String Raw;                  // the raw page text when the effect ran
    };

    FakePageView() : FWnd(AllocateHWnd(TWndMethod::Of<&FakePageView::WndProc>(this))) {}
    ~FakePageView() override {
        Drain();
        DeallocateHWnd(FWnd);
    }

    bool ConversionChecked() const override { return Checked; }
    void ShowHeaderLines(const TStrings& lines) override {
        Effect e{Headers, {}, OnMain()};
        for (int i = 0; i < lines.Count(); ++i) e.Lines.push_back(lines.Get(i));
        Effects.push_back(e);
    }
    void AppendTextLine(const String& line) override {
        Effects.push_back({Append, {line}, OnMain(), RawPageText});
        TextView.push_back(line);
        if (OnAppend) OnAppend(line);
    }
    void ClearText() override {
        Effects.push_back({Clear, {}, OnMain(), RawPageText});
        TextView.clear();
    }
    HWND MessageWindow() const override { return FWnd; }

    // Delivers what has been posted to the window so far.
    void Drain() {
        MSG msg;
        while (::PeekMessageW(&msg, FWnd, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    void PostMarker() { ::PostMessageW(FWnd, kMarker, 0, 0); }
    void Reset() {
        Drain();
        Messages.clear();
        Effects.clear();
        TextView.clear();
        Checked = false;
        OnAppend = nullptr;
        FMarkerSeen = false;
    }

    std::vector<Posted> OfKind(Byte kind) const {
        std::vector<Posted> out;
        for (const Posted& p : Messages)
            if (p.Kind == kind) out.push_back(p);
        return out;
    }
    std::vector<String> Appended() const {
        std::vector<String> out;
        for (const Effect& e : Effects)
            if (e.Kind == Append) out.push_back(e.Lines[0]);
        return out;
    }
    int Count(EffectKind kind) const {
        int n = 0;
        for (const Effect& e : Effects) n += e.Kind == kind;
        return n;
    }
    bool AllOnMainThread() const {
        for (const Effect& e : Effects)
            if (!e.OnMainThread) return false;
        return true;
    }
    std::vector<String> HeaderLines() const {
        for (const Effect& e : Effects)
            if (e.Kind == Headers) return e.Lines;
        return {};
    }
    int AfterMarker() const {
        int n = 0;
        for (const Posted& p : Messages) n += p.AfterMarker;
        return n;
    }

    std::vector<Posted> Messages;
    std::vector<Effect> Effects;
    std::vector<String> TextView;
    std::atomic<bool> Checked{false};
    std::function<void(const String&)> OnAppend;   // runs inside AppendTextLine

private:
    static bool OnMain() { return ::GetCurrentThreadId() == MainThreadID; }

    void WndProc(TMessage& m) {
        if (m.Msg == WM_THREADMESSAGE) {
            std::unique_ptr<TThreadMessage> message(reinterpret_cast<TThreadMessage*>(m.LParam));
            Messages.push_back({message->Kind, message->Text, message->Value, m.WParam, FMarkerSeen});
        } else if (m.Msg == kMarker) {
            FMarkerSeen = true;
        } else {
            m.Result = ::DefWindowProcW(FWnd, m.Msg, m.WParam, m.LParam);
        }
    }

    HWND FWnd;
    bool FMarkerSeen = false;
};

class HttpSendThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        PageView = &view;
        UserAgentText = kAgent;
        RawPageText.clear();
    }
    void TearDown() override { PageView = nullptr; }

    std::unique_ptr<THTTPSendThread> Start(const String& url) {
        auto thread = std::make_unique<THTTPSendThread>(true);
        thread->URL = url;
        thread->Resume();
        return thread;
    }
    // Runs a request to its end (the wait serves the worker's effects) and
    // delivers what it posted.
    std::unique_ptr<THTTPSendThread> Fetch(const String& url) {
        auto thread = Start(url);
        EXPECT_TRUE(thread->WaitFor(15000)) << "the worker did not end";
        view.Drain();
        return thread;
    }
    std::unique_ptr<THTTPSendThread> Fetch(const std::string& path) { return Fetch(server.WUrl(path)); }

    // The paths requested since the given number of requests.
    std::vector<std::string> PathsSince(std::size_t first) const {
        std::vector<std::string> paths;
        const auto requests = server.Requests();
        for (std::size_t i = first; i < requests.size(); ++i) paths.push_back(requests[i].Path);
        return paths;
    }

    harness::HttpTestServer server;
    FakePageView view;
};

harness::HttpResponse Page(const std::string& body, const std::string& type = "text/html") {
    harness::HttpResponse r;
    r.ContentType = type;
    r.Body = body;
    return r;
}

harness::HttpResponse Redirect(int code, const std::string& location, const std::string& body = "moved away") {
    harness::HttpResponse r;
    r.Code = code;
    r.Reason = "Redirect";
    r.Body = body;
    if (!location.empty()) r.Headers = {{"Location", location}};
    return r;
}

// ---------------------------------------------------------------------------
// A page

// The body arrives in pieces: the headers are shown once, every piece is
// appended in order on the main thread, each progress message carries the
// body count so far and the announced size, and the done message carries the
// page's lines and the result code.
TEST_F(HttpSendThreadTest, PageArrivesInPiecesOnTheMainThreadAndEndsWithItsText) {
    std::string body;
    for (int i = 0; i < 24; ++i) body += "line " + std::to_string(i) + " of the page" + (i % 2 ? "\r\n" : "\n");
    body += "last line without a break";

    for (const bool withLength : {true, false}) {
        SCOPED_TRACE(withLength ? "with Content-Length" : "without Content-Length");
        harness::HttpResponse r = Page(body);
        r.SendContentLength = withLength;
        r.ChunkSize = 200;
        r.ChunkDelayMs = 60;
        server.Route("/page", r);
        view.Reset();
        const auto thread = Fetch("/page");

        ASSERT_EQ(view.Count(FakePageView::Headers), 1);
        const std::vector<String> headers = view.HeaderLines();
        ASSERT_FALSE(headers.empty());
        EXPECT_EQ(headers.front(), u"HTTP/1.1 200 OK");
        EXPECT_NE(std::find(headers.begin(), headers.end(), u"Content-Type: text/html"), headers.end())
            << "the header pane gets the lines as they came";
        EXPECT_EQ(view.Count(FakePageView::Clear), 0);
        EXPECT_TRUE(view.AllOnMainThread());

        const std::vector<String> pieces = view.Appended();
        EXPECT_GT(pieces.size(), 1u);
        String joined;
        for (const String& p : pieces) joined += p;
        EXPECT_EQ(joined, Wide(body));

        // Progress, in order: the body count after each piece, then done.
        ASSERT_EQ(view.Messages.size(), pieces.size() + 1);
        std::size_t count = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            count += pieces[i].size();
            EXPECT_EQ(view.Messages[i].Kind, tmProgress);
            EXPECT_EQ(view.Messages[i].Text, IntToStr(static_cast<Int64>(count)));
            EXPECT_EQ(view.Messages[i].Value, withLength ? static_cast<Integer>(body.size()) : 0);
        }
        const auto& done = view.Messages.back();
        EXPECT_EQ(done.Kind, tmDone);
        EXPECT_EQ(done.Value, 200);
        EXPECT_EQ(done.Text, ListText(Wide(body)));
        for (const auto& m : view.Messages) EXPECT_EQ(m.Sender, reinterpret_cast<WPARAM>(thread.get()));

        EXPECT_EQ(RawPageText, Wide(body));
        const auto requests = server.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().Header("User-Agent"), StringToUtf8(kAgent));
    }
}

// The done message: the body's lines (a byte-order mark chooses the
// encoding, otherwise one character per byte) for text/html and text/plain,
// "Binary Data" for anything else, and the result code of any response that
// arrived. The raw page text is the body, one character per byte.
TEST_F(HttpSendThreadTest, DoneMessageCarriesTextOrBinaryDataAndTheResultCode) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    struct Case {
        const char* Name;
        int Code;
        std::string Type;
        std::string Body;
        String Text;
    };
    const Case cases[] = {
        {"plain", 200, "text/plain", "one\ntwo\r\nthree", u"one\r\ntwo\r\nthree\r\n"},
        {"type in capitals", 200, "Text/HTML; charset=utf-8", "<b>x</b>", u"<b>x</b>\r\n"},
        {"not found page", 404, "text/html", "missing", u"missing\r\n"},
        {"server error page", 500, "text/html", "oops", u"oops\r\n"},
        {"empty page", 200, "text/html", "", u""},
        {"UTF-8 with a byte-order mark", 200, "text/html", "\xEF\xBB\xBF\xD0\x96 ok", u"\u0416 ok\r\n"},
        {"octet stream", 200, "application/octet-stream", allBytes, u"Binary Data"},
        {"picture", 200, "image/png", "\x89PNG\r\n\x1A\n", u"Binary Data"},
        {"xhtml", 200, "application/xhtml+xml", "<html/>", u"Binary Data"},
        {"no content type", 200, "", "text?", u"Binary Data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        harness::HttpResponse r = Page(c.Body, c.Type);
        r.Code = c.Code;
        server.Route("/doc", r);
        view.Reset();
        const auto thread = Fetch("/doc");

        const auto done = view.OfKind(tmDone);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].Text, c.Text);
        EXPECT_EQ(done[0].Value, c.Code);
        EXPECT_EQ(RawPageText, AnsiToString(c.Body));
        EXPECT_EQ(RawPageText.size(), c.Body.size());
        EXPECT_TRUE(view.OfKind(tmSocketError).empty());
    }
}

// ---------------------------------------------------------------------------
// Redirects

// Ten redirects are followed; an eleventh redirect response fails the
// request before its location is asked for. Each redirect is announced with
// its absolute address and clears the text view, and only the first
// response's headers are shown.
TEST_F(HttpSendThreadTest, RedirectChainsOfTenSucceedAndOfElevenFail) {
    for (const int redirects : {10, 11}) {
        SCOPED_TRACE(redirects);
        const std::string prefix = "/chain" + std::to_string(redirects) + "-";
        const auto path = [&](int i) { return prefix + std::to_string(i); };
        for (int i = 0; i < redirects; ++i)
            server.Route(path(i), Redirect(302, path(i + 1), "hop " + std::to_string(i)));
        server.Route(path(redirects), Page("the end"));
        view.Reset();
        const std::size_t before = server.Requests().size();
        const auto thread = Fetch(path(0));

        std::vector<String> expectedRedirects;
        std::vector<std::string> expectedPaths = {path(0)};
        for (int i = 1; i <= 10; ++i) {
            expectedRedirects.push_back(server.WUrl(path(i)));
            expectedPaths.push_back(path(i));
        }
        std::vector<String> announced;
        for (const auto& m : view.OfKind(tmRedirect)) {
            announced.push_back(m.Text);
            EXPECT_EQ(m.Value, 0);
        }
        EXPECT_EQ(announced, expectedRedirects);
        EXPECT_EQ(PathsSince(before), expectedPaths) << "the eleventh location is never requested";
        for (const auto& r : server.Requests()) EXPECT_EQ(r.Header("User-Agent"), StringToUtf8(kAgent));

        EXPECT_EQ(view.Count(FakePageView::Clear), 10);
        ASSERT_EQ(view.Count(FakePageView::Headers), 1);
        const std::vector<String> headers = view.HeaderLines();
        ASSERT_FALSE(headers.empty());
        EXPECT_EQ(headers.front(), u"HTTP/1.1 302 Redirect");
        EXPECT_NE(std::find(headers.begin(), headers.end(), Wide("Location: " + path(1))), headers.end());
        EXPECT_TRUE(view.AllOnMainThread());
        EXPECT_TRUE(view.OfKind(tmSocketError).empty());

        const auto done = view.OfKind(tmDone);
        if (redirects == 10) {
            ASSERT_EQ(done.size(), 1u);
            EXPECT_EQ(done[0].Text, u"the end\r\n");
            EXPECT_EQ(done[0].Value, 200);
            EXPECT_EQ(view.TextView, std::vector<String>{u"the end"}) << "the redirects' bodies were cleared";
            EXPECT_EQ(RawPageText, u"the end");
        } else {
            EXPECT_TRUE(done.empty());
        }
    }
}

// 301, 302, 303 and 411 are followed; other codes, 307 among them, are the
// final response. The body count starts again with each response.
TEST_F(HttpSendThreadTest, RedirectCodesFollowedAndNot) {
    server.Route("/target", Page("target"));
    for (const int code : {301, 302, 303, 411, 300, 304, 307, 308}) {
        SCOPED_TRACE(code);
        const bool followed = code != 300 && code != 304 && code != 307 && code != 308;
        const std::string from = "/from" + std::to_string(code);
        server.Route(from, Redirect(code, "/target", code == 304 ? "" : "moved to the target"));
        view.Reset();
        const std::size_t before = server.Requests().size();
        const auto thread = Fetch(from);

        const auto done = view.OfKind(tmDone);
        ASSERT_EQ(done.size(), 1u);
        const auto redirects = view.OfKind(tmRedirect);
        const auto progress = view.OfKind(tmProgress);
        if (followed) {
            EXPECT_EQ(PathsSince(before), (std::vector<std::string>{from, "/target"}));
            ASSERT_EQ(redirects.size(), 1u);
            EXPECT_EQ(redirects[0].Text, server.WUrl("/target"));
            EXPECT_EQ(done[0].Text, u"target\r\n");
            EXPECT_EQ(done[0].Value, 200);
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back().Text, u"6");
            EXPECT_EQ(view.Count(FakePageView::Clear), 1);
        } else {
            EXPECT_EQ(PathsSince(before), std::vector<std::string>{from});
            EXPECT_TRUE(redirects.empty());
            EXPECT_EQ(done[0].Value, code);
            EXPECT_EQ(done[0].Text, code == 304 ? String() : String(u"moved to the target\r\n"));
            EXPECT_EQ(view.Count(FakePageView::Clear), 0);
        }
    }
}

// Relative locations resolve against the base of the address before them; a
// location with "://" is taken as it is.
TEST_F(HttpSendThreadTest, RelativeLocationsResolveAgainstThePreviousAddress) {
    const std::string absolute = server.Url("/abs/page?x=1");
    server.Route("/a/b/start", Redirect(302, "next"));
    server.Route("/a/b/next", Redirect(301, "../up"));
    server.Route("/a/up", Redirect(303, "/root"));
    server.Route("/root", Redirect(302, "./sub/leaf?q=2"));
    server.Route("/sub/leaf", Redirect(302, absolute));
    server.Route("/abs/page", Page("arrived"));
    const auto thread = Fetch("/a/b/start");

    std::vector<String> announced;
    for (const auto& m : view.OfKind(tmRedirect)) announced.push_back(m.Text);
    EXPECT_EQ(announced, (std::vector<String>{server.WUrl("/a/b/next"), server.WUrl("/a/up"), server.WUrl("/root"),
                                              server.WUrl("/sub/leaf?q=2"), Wide(absolute)}));
    EXPECT_EQ(PathsSince(0), (std::vector<std::string>{"/a/b/start", "/a/b/next", "/a/up", "/root", "/sub/leaf?q=2",
                                                       "/abs/page?x=1"}));
    const auto done = view.OfKind(tmDone);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].Text, u"arrived\r\n");
}

// A redirect without a usable location, or more redirects than RedirectMax,
// fails the request: no done message, and the redirects followed so far stay
// announced. A negative RedirectMax takes a redirect response as the final one.
TEST_F(HttpSendThreadTest, RedirectsThatFailAndRedirectMax) {
    server.Route("/no-location", Redirect(302, ""));
    harness::HttpResponse blank = Redirect(301, "");
    blank.Headers = {{"Location", "   "}};
    server.Route("/blank-location", blank);
    server.Route("/one", Redirect(302, "/two"));
    server.Route("/two", Redirect(302, "/page"));
    server.Route("/page", Page("page"));
    struct Case {
        const char* Path;
        Integer RedirectMax;
        std::vector<std::string> Requested;
        std::size_t Announced;
        Integer DoneCode;   // 0: no done message
    };
    const Case cases[] = {
        {"/no-location", 10, {"/no-location"}, 0, 0},
        {"/blank-location", 10, {"/blank-location"}, 0, 0},
        {"/one", 0, {"/one"}, 0, 0},
        {"/one", 1, {"/one", "/two"}, 1, 0},
        {"/one", 2, {"/one", "/two", "/page"}, 2, 200},
        {"/one", -1, {"/one"}, 0, 302},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Path) + " RedirectMax " + std::to_string(c.RedirectMax));
        view.Reset();
        const std::size_t before = server.Requests().size();
        auto thread = std::make_unique<THTTPSendThread>(true);
        EXPECT_EQ(thread->HTTP()->RedirectMax, 10);
        thread->HTTP()->RedirectMax = c.RedirectMax;
        thread->URL = server.WUrl(c.Path);
        thread->Resume();
        ASSERT_TRUE(thread->WaitFor(15000));
        view.Drain();

        EXPECT_EQ(PathsSince(before), c.Requested);
        EXPECT_EQ(view.OfKind(tmRedirect).size(), c.Announced);
        const auto done = view.OfKind(tmDone);
        if (c.DoneCode) {
            ASSERT_EQ(done.size(), 1u);
            EXPECT_EQ(done[0].Value, c.DoneCode);
        } else {
            EXPECT_TRUE(done.empty());
        }
        EXPECT_TRUE(view.OfKind(tmSocketError).empty());
    }
}

// The raw page text goes with the text view, both on the main thread: when
// a piece is shown the raw text already holds it, and a redirect empties both
// at once, so a redirect to nowhere leaves nothing of the redirect's body to
// render again.
TEST_F(HttpSendThreadTest, TheRawPageTextHoldsWhatTheTextViewShows) {
    std::string body;
    for (int i = 0; i < 40; ++i) body += "piece of the page " + std::to_string(i) + "\r\n";
    harness::HttpResponse page = Page(body);
    page.ChunkSize = 150;
    page.ChunkDelayMs = 30;
    server.Route("/page", page);
    server.Route("/hop", Redirect(302, "/page", "moved away"));
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(harness::HttpTestServer::UnusedPort()) + "/gone";
    server.Route("/hop-to-nowhere", Redirect(302, nowhere, "moved away"));
    struct Case {
        const char* Path;
        String Raw;   // after the request
    };
    const Case cases[] = {{"/hop", Wide(body)}, {"/hop-to-nowhere", u""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        view.Reset();
        RawPageText = u"left from before";
        const auto thread = Fetch(c.Path);

        ASSERT_EQ(view.Count(FakePageView::Clear), 1);
        ASSERT_GE(view.Count(FakePageView::Append), 1);
        String shown;
        for (const auto& e : view.Effects) {
            if (e.Kind == FakePageView::Headers) continue;
            if (e.Kind == FakePageView::Clear)
                shown.clear();
            else
                shown += e.Lines[0];
            EXPECT_EQ(e.Raw, shown) << (e.Kind == FakePageView::Clear ? "at the redirect" : "at a piece");
            if (e.Raw != shown) break;
        }
        EXPECT_EQ(RawPageText, c.Raw);
    }
}

// ---------------------------------------------------------------------------
// Conversion

// The same text as a Windows-1251 page with the box checked and as a UTF-8
// page with it unchecked shows the same in the chunks, and renders the same
// from the raw page text and from the done message.
TEST_F(HttpSendThreadTest, Windows1251AndUtf8PagesRenderAlikeWithTheBoxSetAccordingly) {
    const String text = u"Привет, мир! Ёжик\nВторая строка: «кавычки» №5";
    struct Case {
        const char* Name;
        std::string Bytes;
        bool Checked;
    };
    const Case cases[] = {
        {"windows-1251, box checked", StringToCodePage(text, 1251), true},
        {"utf-8, box unchecked", StringToUtf8(text), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        server.Route("/ru", Page(c.Bytes, "text/html"));
        view.Reset();
        view.Checked = c.Checked;
        const auto thread = Fetch("/ru");

        String shown;
        for (const String& piece : view.Appended()) shown += piece;
        EXPECT_EQ(shown, text);
        EXPECT_EQ(RenderPageText(RawPageText, c.Checked), text);
        EXPECT_NE(RenderPageText(RawPageText, !c.Checked), text);
        const auto done = view.OfKind(tmDone);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(RenderPageText(done[0].Text, c.Checked), ListText(text));
    }
}

// The box is read for every piece: checking it during the transfer changes
// how the later pieces are shown.
TEST_F(HttpSendThreadTest, TheBoxIsReadForEveryPiece) {
    const std::string first = StringToCodePage(u"Первая\n", 1251);
    const std::string second = StringToCodePage(u"Вторая", 1251);
    harness::HttpResponse r = Page(first + second);
    r.ChunkSize = first.size();
    r.ChunkDelayMs = 300;
    server.Route("/ru", r);
    view.OnAppend = [&](const String&) { view.Checked = true; };
    const auto thread = Fetch("/ru");

    EXPECT_EQ(view.Appended(), (std::vector<String>{RenderPageText(AnsiToString(first), false), u"Вторая"}));
    EXPECT_NE(view.Appended()[0], u"Первая\n");
}

// ---------------------------------------------------------------------------
// Failures

// A refused connection: one socket-error message with WinINet's text and
// code, nothing else posted; the header pane is emptied.
TEST_F(HttpSendThreadTest, RefusedConnectionPostsOneSocketError) {
    const auto thread =
        Fetch(u"http://127.0.0.1:" + IntToStr(harness::HttpTestServer::UnusedPort()) + u"/nothing-listens");

    ASSERT_EQ(view.Messages.size(), 1u);
    const auto& error = view.Messages[0];
    EXPECT_EQ(error.Kind, tmSocketError);
    EXPECT_EQ(error.Value, static_cast<Integer>(ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_FALSE(Trim(error.Text).empty());
    EXPECT_EQ(error.Text, thread->HTTP()->Sock()->LastErrorDesc());

    ASSERT_EQ(view.Effects.size(), 1u);
    EXPECT_EQ(view.Effects[0].Kind, FakePageView::Headers);
    EXPECT_TRUE(view.Effects[0].Lines.empty());
    EXPECT_TRUE(view.Effects[0].OnMainThread);
}

// The worker's status handler, driven through the HTTP object's hook: read
// counts become progress, errors (except code 104) socket errors split at the
// first comma; after Abort nothing is posted at all.
TEST_F(HttpSendThreadTest, StatusNoticesBecomeMessagesUntilAborted) {
    struct Case {
        THookSocketReason Reason;
        String Value;
        bool Posts;
        Byte Kind;
        String Text;
        Integer Code;
    };
    const Case cases[] = {
        {HR_ReadCount, u"1234", true, tmProgress, u"1234", 0},
        {HR_Error, u"12029,Cannot connect", true, tmSocketError, u"Cannot connect", 12029},
        {HR_Error, u"12002,timed out, twice", true, tmSocketError, u"timed out, twice", 12002},
        {HR_Error, u"no code here", true, tmSocketError, u"no code here", 0},
        {HR_Error, u",only text", true, tmSocketError, u"only text", 0},
        {HR_Error, u"104,Connection reset by peer", false, 0, u"", 0},
        {HR_Error, u"104", false, 0, u"", 0},
    };
    THTTPSendThread thread(true);   // never resumed: the hook is driven from here
    for (const bool aborted : {false, true}) {
        if (aborted) thread.Abort();
        for (const Case& c : cases) {
            SCOPED_TRACE(StringToUtf8(c.Value) + (aborted ? " (aborted)" : ""));
            view.Messages.clear();
            thread.HTTP()->OnStatus(thread.HTTP()->Sock(), c.Reason, c.Value);
            view.Drain();
            if (!c.Posts || aborted) {
                EXPECT_TRUE(view.Messages.empty());
                continue;
            }
            ASSERT_EQ(view.Messages.size(), 1u);
            EXPECT_EQ(view.Messages[0].Kind, c.Kind);
            EXPECT_EQ(view.Messages[0].Text, c.Text);
            EXPECT_EQ(view.Messages[0].Value, c.Code);
            EXPECT_EQ(view.Messages[0].Sender, reinterpret_cast<WPARAM>(&thread));
        }
    }
}

// The client's read counts become body counts; a header text, when there is
// one, is taken off once.
TEST(ConvenientHTTPSend, ReadCountsBecomeBodyCounts) {
    struct Recorder {
        std::vector<std::pair<THookSocketReason, String>> Seen;
        TObject* Sender = nullptr;
        void Status(TObject* sender, THookSocketReason reason, const String& value) {
            Sender = sender;
            Seen.emplace_back(reason, value);
        }
    } recorder;
    TConvenientHTTPSend http;
    http.OnStatus = THookSocketStatus::Of<&Recorder::Status>(&recorder);
    const auto notice = [&](THookSocketReason reason, const String& value) {
        http.Sock()->OnStatus(http.Sock(), reason, value);
        return recorder.Seen.back().second;
    };

    EXPECT_EQ(notice(HR_ReadCount, u"100"), u"100");
    EXPECT_EQ(notice(HR_ReadCount, u"50"), u"150");
    EXPECT_EQ(notice(HR_ReadCount, u"junk"), u"150");
    http.Headers()->Add(u"HTTP/1.1 200 OK");   // with CR LF: 17 characters
    http.Headers()->Add(u"A: b");              // 6
    EXPECT_EQ(notice(HR_ReadCount, u"30"), u"157");
    EXPECT_EQ(notice(HR_ReadCount, u"30"), u"187");
    EXPECT_EQ(notice(HR_Error, u"5,boom"), u"5,boom");
    EXPECT_EQ(recorder.Sender, http.Sock());
    EXPECT_EQ(http.BodyCount(), 187);
}

TEST_F(HttpSendThreadTest, EmptyAddressEndsWithoutAnyMessage) {
    bool terminated = false;
    struct OnEnd {
        bool* Flag;
        void Run(TObject*) { *Flag = true; }
    } onEnd{&terminated};
    auto thread = std::make_unique<THTTPSendThread>(true);
    thread->OnTerminate = TNotifyEvent::Of<&OnEnd::Run>(&onEnd);
    thread->Resume();
    ASSERT_TRUE(thread->WaitFor(5000));
    view.Drain();
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_TRUE(view.Effects.empty());
    EXPECT_TRUE(server.Requests().empty());
}

// ---------------------------------------------------------------------------
// Stopping

harness::HttpResponse SlowPage() {
    harness::HttpResponse r = Page(std::string(20 * 64, 'x'));
    r.ChunkSize = 64;
    r.ChunkDelayMs = 3000;   // the worker waits for the next piece when stopped
    return r;
}

// Stop while the body arrives: the worker ends soon, and nothing is posted
// after the Abort call (the test's marker goes out right after it).
TEST_F(HttpSendThreadTest, AbortEndsASlowBodySoonAndPostsNothingMore) {
    server.Route("/slow", SlowPage());
    const auto thread = Start(server.WUrl("/slow"));
    ASSERT_TRUE(harness::PumpUntil([&] { return !view.OfKind(tmProgress).empty() && !view.TextView.empty(); }, 10000));

    thread->Abort();
    view.PostMarker();
    const auto aborted = std::chrono::steady_clock::now();
    ASSERT_TRUE(thread->WaitFor(5000));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - aborted).count();
    view.Drain();

    EXPECT_LT(ms, 1000);
    EXPECT_EQ(view.AfterMarker(), 0);
    EXPECT_TRUE(view.OfKind(tmDone).empty());
    EXPECT_TRUE(view.OfKind(tmSocketError).empty()) << "the cancellation is not reported";
    EXPECT_EQ(view.TextView.size(), 1u);
}

// Stop while the worker waits for the main thread to show a piece: the call
// returns at once, the HTTP object stays while the worker still uses it, and
// it is released once the worker has ended.
TEST_F(HttpSendThreadTest, AbortAndFreeSenderWhileRunningReleasesWhenTheWorkerEnds) {
    server.Route("/slow", SlowPage());
    std::unique_ptr<THTTPSendThread> thread;
    bool heldAfterCall = false;
    view.OnAppend = [&](const String&) {
        if (!thread || heldAfterCall) return;
        thread->AbortAndFreeSender();
        heldAfterCall = thread->HTTP() != nullptr;
        view.PostMarker();
    };
    thread = Start(server.WUrl("/slow"));
    ASSERT_TRUE(thread->WaitFor(5000)) << "the worker did not end after the stop";
    view.Drain();

    EXPECT_TRUE(heldAfterCall);
    EXPECT_EQ(thread->HTTP(), nullptr);
    EXPECT_EQ(view.AfterMarker(), 0);
    EXPECT_TRUE(view.OfKind(tmDone).empty());
}

TEST_F(HttpSendThreadTest, AbortAndFreeSenderAfterTheEndReleasesAtOnce) {
    server.Route("/page", Page("page"));
    const auto thread = Fetch("/page");
    ASSERT_NE(thread->HTTP(), nullptr);
    thread->AbortAndFreeSender();
    EXPECT_EQ(thread->HTTP(), nullptr);
    thread->AbortAndFreeSender();   // a second call has nothing left to do
    EXPECT_EQ(thread->HTTP(), nullptr);
}

// A worker stopped before its request began still releases its HTTP object
// when it ends.
TEST_F(HttpSendThreadTest, AWorkerStoppedBeforeItsRequestStillReleasesTheSender) {
    server.Route("/page", Page("page"));
    for (const bool freeFirst : {false, true}) {
        SCOPED_TRACE(freeFirst ? "released while suspended" : "aborted while suspended, released after the end");
        auto thread = std::make_unique<THTTPSendThread>(true);
        thread->URL = server.WUrl("/page");
        if (freeFirst)
            thread->AbortAndFreeSender();
        else
            thread->Abort();
        thread->Resume();
        ASSERT_TRUE(thread->WaitFor(5000));
        if (!freeFirst) thread->AbortAndFreeSender();
        EXPECT_EQ(thread->HTTP(), nullptr);
    }
    view.Drain();
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_TRUE(server.Requests().empty());
}

// ---------------------------------------------------------------------------
// Waiting for the worker

// A main thread that waits for the worker without pumping messages still
// carries out every effect (headers, pieces, clearing on a redirect) and the
// termination handler, so the two never wait on each other. Nothing posted is
// delivered during the wait.
TEST_F(HttpSendThreadTest, WaitingForTheWorkerServesItsEffects) {
    harness::HttpResponse page = Page(std::string(600, 'p'));
    page.ChunkSize = 200;
    page.ChunkDelayMs = 40;
    server.Route("/hop", Redirect(302, "/page"));
    server.Route("/page", page);

    using Wait = bool (*)(THTTPSendThread&);
    const std::pair<const char*, Wait> waits[] = {
        {"WaitFor", [](THTTPSendThread& t) { return t.WaitFor(15000); }},
        {"WaitServingMainThread", [](THTTPSendThread& t) { return WaitServingMainThread(t.Handle(), 15000); }},
    };
    for (const auto& [name, wait] : waits) {
        SCOPED_TRACE(name);
        view.Reset();
        struct OnEnd {
            int Calls = 0;
            bool OnMain = false;
            void Run(TObject*) {
                ++Calls;
                OnMain = ::GetCurrentThreadId() == MainThreadID;
            }
        } onEnd;
        auto thread = std::make_unique<THTTPSendThread>(true);
        thread->URL = server.WUrl("/hop");
        thread->OnTerminate = TNotifyEvent::Of<&OnEnd::Run>(&onEnd);
        thread->Resume();
        ASSERT_TRUE(wait(*thread));

        EXPECT_TRUE(view.Messages.empty());
        EXPECT_EQ(onEnd.Calls, 1);
        EXPECT_TRUE(onEnd.OnMain);
        EXPECT_EQ(view.Count(FakePageView::Headers), 1);
        EXPECT_EQ(view.Count(FakePageView::Clear), 1);
        EXPECT_TRUE(view.AllOnMainThread());
        String shown;
        for (const String& line : view.TextView) shown += line;
        EXPECT_EQ(shown, String(600, u'p'));
        view.Drain();
        EXPECT_EQ(view.OfKind(tmDone).size(), 1u);
    }
}

}  // namespace
