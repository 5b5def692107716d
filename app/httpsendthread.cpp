#include "httpsendthread.h"

#include "Strings.h"

IPageView* PageView = nullptr;
String UserAgentText;
String RawPageText;

// ---------------------------------------------------------------------------
// TConvenientHTTPSend

TConvenientHTTPSend::TConvenientHTTPSend() {
    Sock()->OnStatus = THookSocketStatus::Of<&TConvenientHTTPSend::SockStatus>(this);
    Sock()->OnReadFilter = THookReadFilter::Of<&TConvenientHTTPSend::SockReadFilter>(this);
}

String TConvenientHTTPSend::BaseOf(const String& URL) {
    TjsURLParser parser;
    parser.SetURL(URL);
    return parser.GetBaseURL();
}

void TConvenientHTTPSend::ShowHeaders() {
    if (PageView) PageView->ShowHeaderLines(*Headers());
}

bool TConvenientHTTPSend::RequestFollowingRedirects(const String& Method, const String& URL) {
    FHeaderLength = 0;
    FBodyCount = 0;
    String base = BaseOf(URL);
    UserAgent = UserAgentText;
    bool ok = HTTPMethod(Method, URL);
    // Only the first response's headers are shown.
    TThread::Synchronize(nullptr, TThreadMethod::Of<&TConvenientHTTPSend::ShowHeaders>(this));
    if (!ok) return false;
    int followed = 0;
    for (;;) {
        if (RedirectMax < 0) break;
        const Integer code = ResultCode();
        if (code != 301 && code != 302 && code != 303 && code != 411) break;
        if (followed >= RedirectMax) {
            ok = false;
            break;
        }
        TStringList headers;
        headers.Assign(Headers());
        HeadersToList(headers);
        String location = Trim(headers.Values(u"location"));
        if (location.empty()) {
            ok = false;
            break;
        }
        TjsURLParser parser;
        parser.SetURL(location);
        if (parser.IsRelative) location = parser.ResolveRelative(base);
        if (OnRedirect) OnRedirect(this, location);
        Clear();
        FHeaderLength = 0;
        FBodyCount = 0;
        ++followed;
        ok = HTTPMethod(Method, location);
        base = BaseOf(location);
        if (!ok) break;
    }
    return ok;
}

void TConvenientHTTPSend::SockStatus(TObject* Sender, THookSocketReason Reason, const String& Value) {
    String passed = Value;
    if (Reason == HR_ReadCount) {
        FBodyCount += StrToIntDef(Value, 0);
        // The client counts body bytes only; header bytes, when a transport
        // reports them, are taken off the count once.
        if (Headers()->Count() == 0) {
            FHeaderLength = 0;
        } else if (FHeaderLength == 0) {
            FHeaderLength = static_cast<Integer>(Headers()->Text().size());
            FBodyCount -= FHeaderLength;
        }
        passed = IntToStr(FBodyCount);
    }
    if (OnStatus) OnStatus(Sender, Reason, passed);
}

namespace {
// A received piece, made ready by the worker and taken in by the main thread
// while the worker waits: the raw page text grows by it before the text view
// shows it, so the two never disagree when the conversion box re-renders.
// The conversion box is read here too, on the main thread, so the worker
// never reaches into the window, which may be going away while it runs.
struct AppendChunk {
    String Raw;
    void Run() {
        RawPageText += Raw;
        if (PageView) PageView->AppendTextLine(RenderPageText(Raw, PageView->ConversionChecked()));
    }
};
}  // namespace

void TConvenientHTTPSend::SockReadFilter(TObject*, std::string& Value) {
    AppendChunk chunk;
    chunk.Raw = AnsiToString(Value);
    TThread::Synchronize(nullptr, TThreadMethod::Of<&AppendChunk::Run>(&chunk));
}

// ---------------------------------------------------------------------------
// THTTPSendThread

namespace {
// The HTTP object's release: requested by the main thread, or done by the
// worker as it ends.
constexpr int kRunning = 0;
constexpr int kFreeRequested = 1;
constexpr int kWorkerDone = 2;
}  // namespace

THTTPSendThread::THTTPSendThread(bool CreateSuspended) : TThread(true) {
    FHTTP = New<TConvenientHTTPSend>();
    FHTTP->OnRedirect = TRedirNotifyEvent::Of<&THTTPSendThread::HTTPRedirect>(this);
    FHTTP->OnStatus = THookSocketStatus::Of<&THTTPSendThread::HTTPStatus>(this);
    RawPageText.clear();
    FTargetWindow = PageView ? PageView->MessageWindow() : nullptr;
    if (!CreateSuspended) Resume();
}

THTTPSendThread::~THTTPSendThread() {
    // The HTTP object may be released only after the worker has ended, and
    // the worker may be releasing it itself in DoTerminate, after Finished()
    // is already set: wait for the thread's very end.
    if (::GetCurrentThreadId() != ThreadID()) {
        if (!Finished()) Abort();
        if (Suspended()) Resume();
        WaitFor();
    }
    delete FHTTP;
    FHTTP = nullptr;
}

void THTTPSendThread::Abort() {
    Terminate();
    // Once its release has been asked for, the HTTP object belongs to the
    // ending worker, which may be freeing it right now.
    if (FReleaseState.load() != kFreeRequested && FHTTP) FHTTP->Abort();
}

void THTTPSendThread::AbortAndFreeSender() {
    Abort();
    int expected = kRunning;
    if (FReleaseState.compare_exchange_strong(expected, kFreeRequested)) return;   // the worker frees it
    if (expected == kWorkerDone) {
        delete FHTTP;
        FHTTP = nullptr;
    }
}

void THTTPSendThread::Execute() {
    if (!URL.empty()) {
        bool ok = false;
        try {
            ok = FHTTP->RequestFollowingRedirects(u"GET", URL);
        } catch (...) {
            ok = false;
        }
        if (ok) {
            TStringList headers;
            headers.Assign(FHTTP->Headers());
            HeadersToList(headers);
            const String ct = LowerCase(Trim(headers.Values(u"Content-Type")));
            if (ct.find(u"text/html") != String::npos || ct.find(u"text/plain") != String::npos) {
                TStringList body;
                FHTTP->Document()->SetPosition(0);
                body.LoadFromStream(*FHTTP->Document());
                PostToForm(tmDone, body.Text(), FHTTP->ResultCode());
            } else {
                PostToForm(tmDone, u"Binary Data", FHTTP->ResultCode());
            }
        }
    }
}

void THTTPSendThread::DoTerminate() {
    // Runs as the worker ends, also when it was stopped before Execute began.
    int expected = kRunning;
    if (!FReleaseState.compare_exchange_strong(expected, kWorkerDone)) {
        // The main thread asked for the release while the worker ran.
        delete FHTTP;
        FHTTP = nullptr;
    }
    TThread::DoTerminate();
}

void THTTPSendThread::PostToForm(Byte Kind, const String& Text, Integer Value) {
    if (Terminated()) return;
    HWND target = FTargetWindow;
    if (!target) return;
    auto* message = new TThreadMessage(Kind, Text, Value);
    if (!::PostMessageW(target, WM_THREADMESSAGE, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(message)))
        delete message;
}

void THTTPSendThread::ClearTextOnMainThread() {
    RawPageText.clear();
    if (PageView) PageView->ClearText();
}

void THTTPSendThread::HTTPRedirect(TObject*, const String& NewURL) {
    if (Terminated()) return;
    PostToForm(tmRedirect, NewURL, 0);
    Synchronize(TThreadMethod::Of<&THTTPSendThread::ClearTextOnMainThread>(this));
}

void THTTPSendThread::HTTPStatus(TObject*, THookSocketReason Reason, const String& Value) {
    if (Terminated()) return;
    switch (Reason) {
    case HR_ReadCount:
        PostToForm(tmProgress, Value, static_cast<Integer>(FHTTP->DownloadSize()));
        break;
    case HR_Error: {
        const String codeText = SeparateLeft(Value, u",");
        const Integer code = StrToIntDef(codeText, 0);
        const String text = SeparateRight(Value, u",");
        if (code != 104) PostToForm(tmSocketError, text, code);
        break;
    }
    default:
        break;
    }
}
