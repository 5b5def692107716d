// The HTTP client against the loopback test server: what it sends, what it
// hands back, its hooks, its failures and its abort; then the header helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "HttpTestServer.h"
#include "WinApi.h"
#include "httpsend.h"

#include <wininet.h>

namespace {

std::string Bytes(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.GetSize()));
}

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Get(i));
    return lines;
}

// Every byte value, repeated up to Size bytes.
std::string Pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 7 + i / 256);
    return s;
}

class HttpSendTest : public ::testing::Test {
protected:
    struct Notice {
        THookSocketReason Reason;
        String Value;
        int HeaderCount;       // Headers()->Count() when the notice came
        Int64 DownloadSize;    // DownloadSize() when the notice came
    };

    void SetUp() override {
        http.Sock()->OnStatus = THookSocketStatus::Of<&HttpSendTest::Status>(this);
        http.Sock()->OnReadFilter = THookReadFilter::Of<&HttpSendTest::Filter>(this);
        firstRead = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override { ::CloseHandle(firstRead); }

    void Status(TObject* sender, THookSocketReason reason, const String& value) {
        EXPECT_EQ(sender, http.Sock());
        notices.push_back({reason, value, http.Headers()->Count(), http.DownloadSize()});
        if (reason == HR_ReadCount) ::SetEvent(firstRead);
    }
    void Filter(TObject* sender, std::string& value) {
        EXPECT_EQ(sender, http.Sock());
        filtered += value;
        if (upperCaseFilter)
            for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }

    std::vector<Notice> Of(THookSocketReason reason) const {
        std::vector<Notice> out;
        for (const Notice& n : notices)
            if (n.Reason == reason) out.push_back(n);
        return out;
    }
    Int64 ReadSum() const {
        Int64 sum = 0;
        for (const Notice& n : Of(HR_ReadCount)) sum += StrToInt(n.Value);
        return sum;
    }

    harness::HttpTestServer server;
    THTTPSend http;
    std::vector<Notice> notices;
    std::string filtered;
    bool upperCaseFilter = false;
    HANDLE firstRead = nullptr;
};

TEST_F(HttpSendTest, GetHandsBackStatusHeadersInOrderAndBody) {
    harness::HttpResponse page;
    page.Body = "<html><body>Hello</body></html>";
    page.Headers = {{"X-First", "one"}, {"X-Second", "two"}};
    server.Route("/page", page);
    http.UserAgent = u"KestruneTest/2.5 (probe)";

    ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/page?q=1#frag")));
    EXPECT_EQ(http.ResultCode(), 200);
    EXPECT_EQ(http.ResultString(), u"OK");
    EXPECT_EQ(Bytes(*http.Document()), page.Body);
    EXPECT_EQ(http.Document()->GetPosition(), 0);

    const std::vector<String> headers = Lines(*http.Headers());
    ASSERT_GE(headers.size(), 3u);
    EXPECT_EQ(headers.front(), u"HTTP/1.1 200 OK");
    EXPECT_FALSE(headers.back().empty());
    const auto at = [&](const String& line) { return std::find(headers.begin(), headers.end(), line) - headers.begin(); };
    EXPECT_LT(at(u"Content-Type: text/html"), at(u"X-First: one"));
    EXPECT_LT(at(u"X-First: one"), at(u"X-Second: two"));
    EXPECT_LT(at(u"X-Second: two"), static_cast<std::ptrdiff_t>(headers.size()));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Method, "GET");
    EXPECT_EQ(requests[0].Path, "/page?q=1");
    EXPECT_EQ(requests[0].Header("User-Agent"), "KestruneTest/2.5 (probe)");
    EXPECT_FALSE(requests[0].HasHeader("Range"));
    EXPECT_TRUE(requests[0].Body.empty());
    EXPECT_TRUE(Of(HR_Error).empty());
}

// Any status that arrives is a response: returned as it is, redirects not
// followed, with its own headers and body.
TEST_F(HttpSendTest, EveryStatusIsReturnedAsItArrives) {
    struct Case {
        int Code;
        const char* Reason;
        const char* Location;   // nullptr: no Location header
    };
    const Case cases[] = {
        {301, "Moved Permanently", "/target"}, {302, "Found", "http://127.0.0.1:1/elsewhere"},
        {303, "See Other", "/target"},         {307, "Temporary Redirect", "/target"},
        {302, "Found", nullptr},               {404, "Not Found", nullptr},
        {500, "Internal Server Error", nullptr},
    };
    harness::HttpResponse target;
    target.Body = "target page";
    server.Route("/target", target);

    std::size_t expectedRequests = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Code);
        harness::HttpResponse r;
        r.Code = c.Code;
        r.Reason = c.Reason;
        r.Body = "body of " + std::to_string(c.Code);
        if (c.Location) r.Headers = {{"Location", c.Location}};
        server.Route("/start", r);
        http.Clear();

        ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/start")));
        EXPECT_EQ(http.ResultCode(), c.Code);
        EXPECT_EQ(Bytes(*http.Document()), r.Body);
        const std::vector<String> headers = Lines(*http.Headers());
        ASSERT_FALSE(headers.empty());
        EXPECT_EQ(headers.front(), AsciiToString("HTTP/1.1 " + std::to_string(c.Code) + " " + c.Reason));
        const auto location = std::find_if(headers.begin(), headers.end(),
                                           [](const String& h) { return h.rfind(u"Location:", 0) == 0; });
        if (c.Location)
            EXPECT_TRUE(location != headers.end() && *location == AsciiToString(std::string("Location: ") + c.Location));
        else
            EXPECT_TRUE(location == headers.end());
        EXPECT_EQ(server.Requests().size(), ++expectedRequests) << "a redirect was followed";
    }
}

// The body arrives in many pieces: the counts are body bytes only and add up
// to the body, the filter sees every byte in order, and while the body
// arrives the size is known and the header list is still empty.
TEST_F(HttpSendTest, ReadCountsAndFilterCoverTheWholeBody) {
    harness::HttpResponse big;
    big.ContentType = "application/octet-stream";
    big.Body = Pattern(300000);
    big.ChunkSize = 20000;
    big.ChunkDelayMs = 5;
    server.Route("/big", big);

    ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/big")));
    const auto reads = Of(HR_ReadCount);
    EXPECT_GT(reads.size(), 1u);
    EXPECT_EQ(ReadSum(), static_cast<Int64>(big.Body.size()));
    EXPECT_TRUE(filtered == big.Body);
    EXPECT_TRUE(Bytes(*http.Document()) == big.Body);
    for (const Notice& n : reads) {
        EXPECT_EQ(n.HeaderCount, 0);
        EXPECT_EQ(n.DownloadSize, static_cast<Int64>(big.Body.size()));
    }
    EXPECT_GT(http.Headers()->Count(), 0);
}

TEST_F(HttpSendTest, FilterChangesWhatIsStored) {
    harness::HttpResponse page;
    page.Body = "mixed Case text";
    server.Route("/p", page);
    upperCaseFilter = true;

    ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/p")));
    EXPECT_EQ(filtered, "mixed Case text");
    EXPECT_EQ(Bytes(*http.Document()), "MIXED CASE TEXT");
    EXPECT_EQ(ReadSum(), 15);
}

TEST_F(HttpSendTest, DownloadSizeComesFromContentLength) {
    for (const bool withLength : {true, false}) {
        SCOPED_TRACE(withLength);
        harness::HttpResponse r;
        r.Body = Pattern(5000);
        r.SendContentLength = withLength;
        r.ChunkSize = 1000;
        r.ChunkDelayMs = 2;
        server.Route("/d", r);
        notices.clear();

        ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/d")));
        EXPECT_EQ(http.DownloadSize(), withLength ? 5000 : 0);
        EXPECT_TRUE(Bytes(*http.Document()) == r.Body);
        EXPECT_EQ(ReadSum(), 5000);
    }
}

// Requests that get no response: false, result code 500, and one HR_Error
// notice with WinINet's code and text.
TEST_F(HttpSendTest, FailedRequestsReportWinInetErrors) {
    struct Case {
        String Url;
        Integer Code;
    };
    const String refused = u"http://127.0.0.1:" + IntToStr(harness::HttpTestServer::UnusedPort()) + u"/x";
    const Case cases[] = {
        {refused, ERROR_INTERNET_CANNOT_CONNECT},
        {u"ftp://127.0.0.1/x", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {u"", ERROR_INTERNET_INVALID_URL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Url));
        notices.clear();
        EXPECT_FALSE(http.HTTPMethod(u"GET", c.Url));
        EXPECT_EQ(http.ResultCode(), 500);
        EXPECT_EQ(http.Document()->GetSize(), 0);
        EXPECT_TRUE(Of(HR_ReadCount).empty());
        const auto errors = Of(HR_Error);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(SeparateLeft(errors[0].Value, u","), IntToStr(c.Code));
        const String text = SeparateRight(errors[0].Value, u",");
        EXPECT_FALSE(Trim(text).empty());
        EXPECT_EQ(text.find(u"Internet error"), String::npos) << "not WinINet's own message";
        EXPECT_EQ(http.Sock()->LastError(), c.Code);
        EXPECT_EQ(http.Sock()->LastErrorDesc(), text);
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpSendTest, AbortFromAnotherThreadEndsASlowBodyAtOnce) {
    harness::HttpResponse slow;
    slow.Body = Pattern(100 * 1024);
    slow.ChunkSize = 1024;
    slow.ChunkDelayMs = 5000;   // far longer than the abort may take
    server.Route("/slow", slow);

    bool result = true;
    std::chrono::steady_clock::time_point ended;
    std::thread worker([&] {
        result = http.HTTPMethod(u"GET", server.WUrl("/slow"));
        ended = std::chrono::steady_clock::now();
    });
    const bool reading = ::WaitForSingleObject(firstRead, 10000) == WAIT_OBJECT_0;
    const auto aborted = std::chrono::steady_clock::now();
    http.Abort();
    worker.join();
    ASSERT_TRUE(reading) << "the body never started";

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(ended - aborted).count();
    EXPECT_LT(ms, 500);
    EXPECT_FALSE(result);
    EXPECT_EQ(http.ResultCode(), 500);
    EXPECT_LT(ReadSum(), static_cast<Int64>(slow.Body.size()));
    const auto errors = Of(HR_Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(SeparateLeft(errors[0].Value, u","), IntToStr(ERROR_INTERNET_OPERATION_CANCELLED));
}

// An abort that comes before the request starts still counts: the request
// fails without reaching the server, until the stop flag is cleared.
TEST_F(HttpSendTest, AbortBeforeTheRequestStopsItUntilCleared) {
    server.Route("/p", harness::HttpResponse{});
    http.Abort();
    EXPECT_FALSE(http.HTTPMethod(u"GET", server.WUrl("/p")));
    EXPECT_EQ(http.ResultCode(), 500);
    EXPECT_TRUE(server.Requests().empty());

    http.Sock()->StopFlag = false;
    EXPECT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/p")));
    EXPECT_EQ(server.Requests().size(), 1u);
}

// The Document is the request body and the range goes out as a header, until
// Clear empties the one and resets the other.
TEST_F(HttpSendTest, ClearEmptiesResponseAndRequestState) {
    harness::HttpResponse r;
    r.Body = "answer";
    server.Route("/form", r);
    const std::string sent = "a=1&b=2";
    http.Document()->WriteBuffer(sent.data(), static_cast<Integer>(sent.size()));
    http.MimeType = u"application/x-www-form-urlencoded";
    http.RangeStart = 2;
    http.RangeEnd = 9;

    ASSERT_TRUE(http.HTTPMethod(u"POST", server.WUrl("/form")));
    EXPECT_EQ(Bytes(*http.Document()), "answer");
    http.Clear();
    EXPECT_EQ(http.Document()->GetSize(), 0);
    EXPECT_EQ(http.Headers()->Count(), 0);
    EXPECT_EQ(http.MimeType, u"text/html");
    EXPECT_EQ(http.RangeStart, 0);
    EXPECT_EQ(http.RangeEnd, 0);
    ASSERT_TRUE(http.HTTPMethod(u"GET", server.WUrl("/form")));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Method, "POST");
    EXPECT_EQ(requests[0].Body, sent);
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].Header("Range"), "bytes=2-9");
    EXPECT_TRUE(requests[1].Body.empty());
    EXPECT_FALSE(requests[1].HasHeader("Range"));
}

TEST(HttpHelpers, HeadersToListMakesNameValueEntries) {
    TStringList list;
    for (const char16_t* line : {u"HTTP/1.1 302 Found", u"Content-Type: text/html; charset=utf-8",
                                 u"Location:  http://host:81/a?b=c ", u"X-Empty:", u"no colon here"})
        list.Add(line);
    HeadersToList(list);
    const std::vector<String> expected = {u"HTTP/1.1 302 Found", u"Content-Type=text/html; charset=utf-8",
                                          u"Location=http://host:81/a?b=c", u"X-Empty=", u"no colon here"};
    EXPECT_EQ(Lines(list), expected);
    EXPECT_EQ(list.Values(u"location"), u"http://host:81/a?b=c");
}

TEST(HttpHelpers, SeparateSplitsAtTheFirstDelimiter) {
    struct Case {
        String Value, Delimiter, Left, Right;
    };
    const Case cases[] = {
        {u"12029,Cannot connect", u",", u"12029", u"Cannot connect"},
        {u"a,b,c", u",", u"a", u"b,c"},
        {u"no delimiter", u",", u"no delimiter", u"no delimiter"},
        {u",x", u",", u"", u"x"},
        {u"x,", u",", u"x", u""},
        {u"", u",", u"", u""},
        {u"key: value: more", u": ", u"key", u"value: more"},
        {u"abc", u"", u"abc", u"abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Value + u" | " + c.Delimiter));
        EXPECT_EQ(SeparateLeft(c.Value, c.Delimiter), c.Left);
        EXPECT_EQ(SeparateRight(c.Value, c.Delimiter), c.Right);
    }
}

}  // namespace
