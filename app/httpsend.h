// The program's HTTP client: one request at a time over WinINet, a status
// hook and a read filter on its connection object, and the small header
// helpers the page viewer's worker uses.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "Classes.h"
#include "Strings.h"

// What a status notice is about.
enum THookSocketReason : Byte {
    HR_ReadCount,   // Value: the number of body bytes just received, decimal
    HR_Error,       // Value: "<code>,<text>" (WinINet's error code and message)
};

using THookSocketStatus = TDelegate<void(TObject* Sender, THookSocketReason Reason, const String& Value)>;
// Sees every received buffer before it is stored; may change it.
using THookReadFilter = TDelegate<void(TObject* Sender, std::string& Value)>;

// The connection side of a THTTPSend: its hooks, its stop flag and its last
// error. The hooks run on the thread that makes the request; Sender is this
// object.
class THTTPSocket : public TObject {
public:
    KES_CLASS_NAME(THTTPSocket)

    THookSocketStatus OnStatus;
    THookReadFilter OnReadFilter;
    // Set by THTTPSend::Abort. While it is set every request fails at once
    // (with ERROR_INTERNET_OPERATION_CANCELLED); it stays set until the
    // caller clears it. Setting it directly, rather than through Abort, is
    // noticed only when the transfer next hands over data.
    std::atomic<bool> StopFlag{false};

    // The error of the last failed request (0 and "" after a success).
    Integer LastError() const { return FLastError; }
    const String& LastErrorDesc() const { return FLastErrorDesc; }

private:
    friend class THTTPSend;
    void DoStatus(THookSocketReason reason, const String& value);

    Integer FLastError = 0;
    String FLastErrorDesc;
};

// An HTTP client over WinINet. A request connects directly (no proxy),
// follows no redirect, uses no cache, no cookies and no authentication
// dialogs, and shows no user interface.
//
// HTTPMethod sends the Document's bytes as the request body when there are
// any (with the header Content-Type: MimeType) and the header
// Range: bytes=RangeStart-RangeEnd when a range is set; it then replaces the
// Document with the response body and the Headers with the response's header
// lines. Clear() empties both between requests.
//
// During the transfer the status hook sees HR_ReadCount for the body bytes
// only (WinINet does not hand out the header bytes), DownloadSize and
// ResultCode are already known, and Headers is still empty: it is filled once
// the body is complete (or the transfer has failed).
//
// The WinINet calls of a request run on a helper thread of their own, which
// hands the response to the calling thread piece by piece; the hooks run on
// the calling thread. That is what lets Abort end a request at once: a
// blocking WinINet call cannot be relied on to return when its handle is
// closed from elsewhere (under Wine it waits for the next data), so an
// aborted request leaves its helper behind to finish on its own.
class THTTPSend : public TObject {
public:
    KES_CLASS_NAME(THTTPSend)
    THTTPSend();
    ~THTTPSend() override;   // not while a request of it runs on another thread


    // Makes one request. True when a response arrived in full; false when
    // the request failed or was aborted: ResultCode is then 500, ResultString
    // empty, and the error went to the status hook as HR_Error. The Document
    // is left at position 0.
    bool HTTPMethod(const String& Method, const String& URL);
    // Empties Document and Headers, sets MimeType back to "text/html" and
    // resets the range.
    void Clear();
    // Makes the request in progress fail at once; callable from any thread.
    // Sets Sock()->StopFlag, so later requests fail as well until it is
    // cleared.
    void Abort();

    TStringList* Headers() const { return FHeaders.get(); }   // status line first
    TMemoryStream* Document() const { return FDocument.get(); }
    Integer ResultCode() const { return FResultCode; }
    const String& ResultString() const { return FResultString; }
    // The response's Content-Length; 0 when it has none.
    Int64 DownloadSize() const { return FDownloadSize; }
    THTTPSocket* Sock() const { return FSock.get(); }

    String UserAgent = u"Mozilla/4.0 (compatible; Kestrune)";
    String MimeType = u"text/html";   // Content-Type of a request body
    Int64 RangeStart = 0;             // a range is sent when either is above 0;
    Int64 RangeEnd = 0;               // RangeEnd 0 means "to the end"

private:
    struct TTransfer;
    unsigned long Run(const std::shared_ptr<TTransfer>& transfer, String& rawHeaders);

    std::unique_ptr<TStringList> FHeaders;
    std::unique_ptr<TMemoryStream> FDocument;
    std::unique_ptr<THTTPSocket> FSock;
    Integer FResultCode = 0;
    String FResultString;
    Int64 FDownloadSize = 0;

    // The transfer in progress, for Abort.
    std::mutex FTransferLock;
    std::shared_ptr<TTransfer> FTransfer;
};

// Turns "Name: value" lines into "Name=value" entries (both parts trimmed);
// lines without a colon stay as they are.
void HeadersToList(TStrings& list);

// The text before the first Delimiter, or all of Value when there is none
// (an empty Delimiter never occurs).
String SeparateLeft(const String& value, const String& delimiter);
// The text after the first Delimiter, or all of Value when there is none.
String SeparateRight(const String& value, const String& delimiter);
