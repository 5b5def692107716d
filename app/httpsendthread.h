// The page viewer's worker: one thread per request, an HTTP client that
// follows redirects and shows the page while it arrives, and the message
// objects the worker posts to the main window.
#pragma once

#include "PageText.h"
#include "Threads.h"
#include "WinApi.h"
#include "httpsend.h"
#include "jsURLParser.h"

// The worker's message to the main window, posted with WM_USER + 1; the
// receiver owns it and frees it.
class TThreadMessage : public TObject {
public:
    KES_CLASS_NAME(TThreadMessage)
    TThreadMessage(Byte AKind, const String& AText, Integer AValue) : Kind(AKind), Text(AText), Value(AValue) {}
    Byte Kind;       // 2 progress, 4 done, 5 redirect, 6 socket error
    String Text;
    Integer Value;
};

constexpr UINT WM_THREADMESSAGE = WM_USER + 1;
constexpr Byte tmProgress = 2;
constexpr Byte tmDone = 4;
constexpr Byte tmRedirect = 5;
constexpr Byte tmSocketError = 6;

// What the worker does to the main window. Everything here runs on the main
// thread, while the worker waits; the worker itself only posts to the
// message window it was given when it was made.
class IPageView {
public:
    virtual ~IPageView() = default;
    virtual bool ConversionChecked() const = 0;
    virtual void ShowHeaderLines(const TStrings& Lines) = 0;
    virtual void AppendTextLine(const String& Line) = 0;
    virtual void ClearText() = 0;
    // The window that receives the posted messages; asked once, when a
    // worker is made.
    virtual HWND MessageWindow() const = 0;
};

// The page view the workers report to (the main window sets it at start-up).
extern IPageView* PageView;
// The user agent of every request; set at start-up.
extern String UserAgentText;
// The received page, one character per byte through the ANSI code page,
// which the main window renders again when the conversion box changes. Kept
// on the main thread only: each received piece is added as the text view
// shows it, a redirect empties it with the text view, and the done message
// replaces it.
extern String RawPageText;


using TRedirNotifyEvent = TDelegate<void(TObject* Sender, const String& URL)>;

class TConvenientHTTPSend : public THTTPSend {
public:
    KES_CLASS_NAME(TConvenientHTTPSend)
    TConvenientHTTPSend();

    // Makes the request and follows up to RedirectMax redirects (301, 302,
    // 303 and 411 with a "location" header; relative locations are resolved
    // against the previous address). True when the final request succeeded.
    bool RequestFollowingRedirects(const String& Method, const String& URL);

    Integer RedirectMax = 10;
    TRedirNotifyEvent OnRedirect;
    THookSocketStatus OnStatus;
    // Body bytes received in the current response.
    Integer BodyCount() const { return FBodyCount; }

private:
    void SockStatus(TObject* Sender, THookSocketReason Reason, const String& Value);
    void SockReadFilter(TObject* Sender, std::string& Value);
    void ShowHeaders();
    static String BaseOf(const String& URL);

    Integer FBodyCount = 0;
    Integer FHeaderLength = 0;
};

class THTTPSendThread : public TThread {
public:
    KES_CLASS_NAME(THTTPSendThread)
    explicit THTTPSendThread(bool CreateSuspended);
    ~THTTPSendThread() override;

    // Stops the request: later posts are dropped and the transfer fails.
    void Abort();
    // Abort, then releases the HTTP object once the worker has ended (at
    // once when it has; otherwise the worker releases it as it ends).
    void AbortAndFreeSender();

    String URL;
    TConvenientHTTPSend* HTTP() const { return FHTTP; }

protected:
    void Execute() override;
    // Releases the HTTP object when that was asked for while the worker ran.
    void DoTerminate() override;

private:
    void PostToForm(Byte Kind, const String& Text, Integer Value);
    void HTTPRedirect(TObject* Sender, const String& URL);
    void HTTPStatus(TObject* Sender, THookSocketReason Reason, const String& Value);
    void ClearTextOnMainThread();

    TConvenientHTTPSend* FHTTP = nullptr;
    HWND FTargetWindow = nullptr;
    std::atomic<int> FReleaseState{0};
};
