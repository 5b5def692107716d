#include "httpsend.h"

#include "WinApi.h"

#include <wininet.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kReadBufferSize = 64 * 1024;

// WinINet's message for its own codes, the system's for the others.
String ErrorText(DWORD code) {
    HMODULE module = nullptr;
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST) module = ::GetModuleHandleW(L"wininet.dll");
    const DWORD source = module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source, module,
                                     code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    String text = n && buffer ? TrimRight(FromW(buffer, n)) : String();
    if (buffer) ::LocalFree(buffer);
    if (text.empty()) text = (module ? u"Internet error " : u"System error ") + IntToStr(code);
    return text;
}

// A header of the response as text; false when it is missing.
bool QueryText(HINTERNET request, DWORD info, String& out) {
    DWORD size = 0;
    if (::HttpQueryInfoW(request, info, nullptr, &size, nullptr)) {
        out.clear();
        return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, info, buffer.data(), &size, nullptr)) return false;
    out = FromW(buffer.data(), std::min<std::size_t>(size / sizeof(wchar_t), buffer.size()));
    return true;
}

// A Content-Length value; 0 when it is not a plain non-negative number that
// fits in 63 bits.
Int64 ParseLength(StringView text) {
    const String t = Trim(text);
    if (t.empty()) return 0;
    Int64 value = 0;
    for (Char c : t) {
        if (c < u'0' || c > u'9') return 0;
        if (value > (INT64_MAX - (c - u'0')) / 10) return 0;
        value = value * 10 + (c - u'0');
    }
    return value;
}

String RangeHeader(Int64 start, Int64 end) {
    if (start <= 0 && end <= 0) return {};
    return u"Range: bytes=" + IntToStr(std::max<Int64>(start, 0)) + u"-" + (end > 0 ? IntToStr(end) : String()) +
           u"\r\n";
}

}  // namespace

// One request, shared by the calling thread and the helper thread that makes
// the WinINet calls. Everything but the request's own inputs is guarded by
// Lock. The helper never touches the THTTPSend, which may be gone by the
// time an abandoned helper ends.
struct THTTPSend::TTransfer {
    // What to send.
    String Method, Url, UserAgent, ExtraHeaders;
    std::string Body;

    std::mutex Lock;
    std::condition_variable Changed;
    bool Stop = false;   // the caller has given up: fail and close everything

    // What the helper hands over.
    bool HeadReady = false;
    Integer Code = 0;
    String StatusText;
    Int64 Length = 0;
    String RawHeaders;
    std::deque<std::string> Chunks;
    bool Done = false;
    DWORD Error = 0;

    HINTERNET Session = nullptr, Connection = nullptr, Request = nullptr;

    // Called by the caller (or by Abort): wakes the caller, makes the helper
    // fail at its next step and closes the handles, which ends a blocked
    // WinINet call where WinINet allows it (Windows does; Wine waits for the
    // next data). The handles are closed outside the lock so that nobody
    // waits on a close.
    void Cancel() {
        HINTERNET handles[3];
        {
            std::lock_guard<std::mutex> guard(Lock);
            Stop = true;
            handles[0] = std::exchange(Request, nullptr);
            handles[1] = std::exchange(Connection, nullptr);
            handles[2] = std::exchange(Session, nullptr);
        }
        Changed.notify_all();
        for (HINTERNET handle : handles)
            if (handle) ::InternetCloseHandle(handle);
    }

    void CloseHandles() {   // Lock held
        for (HINTERNET* slot : {&Request, &Connection, &Session}) {
            if (*slot) ::InternetCloseHandle(*slot);
            *slot = nullptr;
        }
    }

    // Stores a fresh handle where Cancel can close it; false (and the handle
    // closed) when the caller has given up already.
    bool Keep(HINTERNET& slot, HINTERNET handle) {
        std::lock_guard<std::mutex> guard(Lock);
        if (Stop) {
            ::InternetCloseHandle(handle);
            return false;
        }
        slot = handle;
        return true;
    }

    bool Stopped() {
        std::lock_guard<std::mutex> guard(Lock);
        return Stop;
    }

    // The error of the WinINet call that just failed.
    DWORD Failure() {
        const DWORD error = ::GetLastError();
        if (Stopped()) return ERROR_INTERNET_OPERATION_CANCELLED;
        return error ? error : ERROR_INTERNET_INTERNAL_ERROR;
    }

    void Finish(DWORD error) {
        {
            std::lock_guard<std::mutex> guard(Lock);
            CloseHandles();
            Done = true;
            Error = error;
        }
        Changed.notify_all();
    }

    // The helper thread's whole work.
    static void Execute(const std::shared_ptr<TTransfer>& self) {
        DWORD error = ERROR_INTERNET_INTERNAL_ERROR;
        try {
            error = self->Perform();
        } catch (...) {
            // Out of memory for a piece of the body: the request fails.
        }
        self->Finish(error);
    }

    DWORD Perform();
    DWORD ReadBody(HINTERNET request);
};

DWORD THTTPSend::TTransfer::Perform() {
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    // Non-zero lengths without buffers: the parts point into Url.
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (Url.empty()) return ERROR_INTERNET_INVALID_URL;
    if (!::InternetCrackUrlW(WStr(Url), static_cast<DWORD>(Url.size()), 0, &parts)) return Failure();
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    const String host = FromW(parts.lpszHostName, parts.dwHostNameLength);
    if (host.empty()) return ERROR_INTERNET_INVALID_URL;
    String path = FromW(parts.lpszUrlPath, parts.dwUrlPathLength) + FromW(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    path = path.substr(0, path.find(u'#'));   // the fragment stays with the client
    if (path.empty() || path[0] != u'/') path.insert(0, u"/");

    HINTERNET session = ::InternetOpenW(WStr(UserAgent), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return Failure();
    if (!Keep(Session, session)) return ERROR_INTERNET_OPERATION_CANCELLED;

    HINTERNET connection =
        ::InternetConnectW(session, WStr(host), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return Failure();
    if (!Keep(Connection, connection)) return ERROR_INTERNET_OPERATION_CANCELLED;

    DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    HINTERNET request = ::HttpOpenRequestW(connection, WStr(Method), WStr(path), nullptr, nullptr, nullptr, flags, 0);
    if (!request) return Failure();
    if (!Keep(Request, request)) return ERROR_INTERNET_OPERATION_CANCELLED;

    if (!::HttpSendRequestW(request, ExtraHeaders.empty() ? nullptr : WStr(ExtraHeaders),
                            static_cast<DWORD>(ExtraHeaders.size()), Body.empty() ? nullptr : Body.data(),
                            static_cast<DWORD>(Body.size())))
        return Failure();

    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
        return Failure();
    String statusText, length, rawHeaders;
    QueryText(request, HTTP_QUERY_STATUS_TEXT, statusText);
    QueryText(request, HTTP_QUERY_CONTENT_LENGTH, length);
    QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF, rawHeaders);
    {
        std::lock_guard<std::mutex> guard(Lock);
        HeadReady = true;
        Code = static_cast<Integer>(code);
        StatusText = std::move(statusText);
        Length = ParseLength(length);
        RawHeaders = std::move(rawHeaders);
    }
    Changed.notify_all();
    return ReadBody(request);
}

DWORD THTTPSend::TTransfer::ReadBody(HINTERNET request) {
    std::vector<char> buffer;
    for (;;) {
        if (Stopped()) return ERROR_INTERNET_OPERATION_CANCELLED;
        // Waits for the next data, so that each piece is handed over as it
        // comes rather than once a whole buffer has been collected.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) return Failure();
        if (available == 0) break;
        buffer.resize(std::min(available, kReadBufferSize));
        DWORD got = 0;
        if (Stopped()) return ERROR_INTERNET_OPERATION_CANCELLED;
        if (!::InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) return Failure();
        if (got == 0) break;
        {
            std::lock_guard<std::mutex> guard(Lock);
            Chunks.emplace_back(buffer.data(), got);
        }
        Changed.notify_all();
    }
    // A closed handle may also look like the end of the data.
    return Stopped() ? ERROR_INTERNET_OPERATION_CANCELLED : 0;
}

// ---------------------------------------------------------------------------

void THTTPSocket::DoStatus(THookSocketReason reason, const String& value) {
    if (OnStatus) OnStatus(this, reason, value);
}

THTTPSend::THTTPSend()
    : FHeaders(std::make_unique<TStringList>()),
      FDocument(std::make_unique<TMemoryStream>()),
      FSock(std::make_unique<THTTPSocket>()) {}

THTTPSend::~THTTPSend() = default;

void THTTPSend::Clear() {
    FDocument->Clear();
    FHeaders->Clear();
    MimeType = u"text/html";
    RangeStart = 0;
    RangeEnd = 0;
}

void THTTPSend::Abort() {
    FSock->StopFlag = true;
    std::shared_ptr<TTransfer> transfer;
    {
        std::lock_guard<std::mutex> guard(FTransferLock);
        transfer = FTransfer;
    }
    if (transfer) transfer->Cancel();
}

bool THTTPSend::HTTPMethod(const String& Method, const String& URL) {
    auto transfer = std::make_shared<TTransfer>();
    transfer->Method = Method;
    transfer->Url = URL;
    transfer->UserAgent = UserAgent;
    transfer->ExtraHeaders = RangeHeader(RangeStart, RangeEnd);
    if (FDocument->GetSize() > 0) {
        transfer->Body.assign(reinterpret_cast<const char*>(FDocument->Memory()),
                              static_cast<std::size_t>(FDocument->GetSize()));
        transfer->ExtraHeaders += u"Content-Type: " + MimeType + u"\r\n";
    }
    FDocument->Clear();
    FHeaders->Clear();
    FResultCode = 0;
    FResultString.clear();
    FDownloadSize = 0;
    FSock->FLastError = 0;
    FSock->FLastErrorDesc.clear();

    String raw;
    const DWORD error = Run(transfer, raw);
    FDocument->SetPosition(0);
    // The response's lines, status line first, without the blank line(s)
    // WinINet ends them with.
    for (std::size_t pos = 0; pos < raw.size();) {
        std::size_t end = raw.find(u"\r\n", pos);
        if (end == String::npos) end = raw.size();
        if (end > pos) FHeaders->Add(raw.substr(pos, end - pos));
        pos = end + 2;
    }
    if (error == 0) return true;

    FResultCode = 500;
    FResultString.clear();
    FSock->FLastError = static_cast<Integer>(error);
    FSock->FLastErrorDesc = ErrorText(error);
    FSock->DoStatus(HR_Error, IntToStr(error) + u"," + FSock->FLastErrorDesc);
    return false;
}

// Starts the helper and passes on what it hands over, on this thread, until
// it is done or the request is aborted. Returns 0 or the error code, and the
// response's raw header text when it came.
unsigned long THTTPSend::Run(const std::shared_ptr<TTransfer>& transfer, String& rawHeaders) {
    if (FSock->StopFlag) return ERROR_INTERNET_OPERATION_CANCELLED;

    // On every way out (an exception from a hook included): the transfer is
    // no longer Abort's to cancel, a helper still at work is told to stop and
    // left to end on its own, and a finished one is joined.
    struct Guard {
        THTTPSend& Owner;
        const std::shared_ptr<TTransfer>& Transfer;
        std::thread Helper;
        ~Guard() {
            {
                std::lock_guard<std::mutex> guard(Owner.FTransferLock);
                Owner.FTransfer.reset();
            }
            if (!Helper.joinable()) return;
            Transfer->Cancel();
            bool done;
            {
                std::lock_guard<std::mutex> guard(Transfer->Lock);
                done = Transfer->Done;
            }
            if (done)
                Helper.join();
            else
                Helper.detach();
        }
    } guard{*this, transfer, {}};
    {
        std::lock_guard<std::mutex> lock(FTransferLock);
        FTransfer = transfer;
    }
    try {
        guard.Helper = std::thread(&TTransfer::Execute, transfer);
    } catch (const std::system_error&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }

    TTransfer& t = *transfer;
    bool headSeen = false;
    std::unique_lock<std::mutex> lock(t.Lock);
    for (;;) {
        t.Changed.wait(lock, [&] {
            return FSock->StopFlag || t.Stop || (t.HeadReady && !headSeen) || !t.Chunks.empty() || t.Done;
        });
        if (FSock->StopFlag || t.Stop) {
            rawHeaders = t.RawHeaders;
            return ERROR_INTERNET_OPERATION_CANCELLED;
        }
        if (t.HeadReady && !headSeen) {
            headSeen = true;
            FResultCode = t.Code;
            FResultString = t.StatusText;
            FDownloadSize = t.Length;
        } else if (!t.Chunks.empty()) {
            // Pieces that came in while the last one was being handed over
            // go on together, up to a read buffer's worth: one buffer for
            // the reader however small the network's pieces are.
            std::string chunk = std::move(t.Chunks.front());
            t.Chunks.pop_front();
            while (!t.Chunks.empty() && chunk.size() + t.Chunks.front().size() <= kReadBufferSize) {
                chunk += t.Chunks.front();
                t.Chunks.pop_front();
            }
            lock.unlock();
            FSock->DoStatus(HR_ReadCount, IntToStr(static_cast<Int64>(chunk.size())));
            if (FSock->OnReadFilter) FSock->OnReadFilter(FSock.get(), chunk);
            FDocument->WriteBuffer(chunk.data(), static_cast<Integer>(chunk.size()));
            lock.lock();
        } else {
            rawHeaders = t.RawHeaders;
            return t.Error;
        }
    }
}

// ---------------------------------------------------------------------------

void HeadersToList(TStrings& list) {
    for (int i = 0; i < list.Count(); ++i) {
        const String line = list.Get(i);
        const std::size_t colon = line.find(u':');
        if (colon == String::npos) continue;
        list.Put(i, Trim(StringView(line).substr(0, colon)) + u"=" + Trim(StringView(line).substr(colon + 1)));
    }
}

String SeparateLeft(const String& value, const String& delimiter) {
    const std::size_t at = delimiter.empty() ? String::npos : value.find(delimiter);
    return at == String::npos ? value : value.substr(0, at);
}

String SeparateRight(const String& value, const String& delimiter) {
    const std::size_t at = delimiter.empty() ? String::npos : value.find(delimiter);
    return at == String::npos ? value : value.substr(at + delimiter.size());
}
