#include "HttpTestServer.h"

#include "WinApi.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace harness {

namespace {

// Keeps Winsock started while an object that needs it exists.
class WinsockUse {
public:
    WinsockUse() {
        WSADATA data;
        FOk = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse() {
        if (FOk) ::WSACleanup();
    }
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    bool Ok() const { return FOk; }

private:
    bool FOk = false;
};

SOCKET ListenOnLoopback(std::uint16_t& port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof(addr);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    port = ::ntohs(addr.sin_port);
    return s;
}

// Waits until the socket can be read, up to ms milliseconds.
bool Readable(SOCKET s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {ms / 1000, (ms % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &tv) == 1;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Parses the request line and header lines of Head (without the blank line).
HttpRequestRecord ParseHead(const std::string& head) {
    HttpRequestRecord r;
    std::size_t pos = 0;
    bool first = true;
    while (pos <= head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(pos, end - pos);
        pos = end + 2;
        if (first) {
            first = false;
            const auto a = line.find(' ');
            const auto b = a == std::string::npos ? a : line.find(' ', a + 1);
            r.Method = line.substr(0, a);
            if (a != std::string::npos) r.Path = line.substr(a + 1, b == std::string::npos ? b : b - a - 1);
            if (b != std::string::npos) r.Version = line.substr(b + 1);
        } else if (const auto colon = line.find(':'); colon != std::string::npos) {
            r.Headers.emplace_back(TrimBlanks(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1)));
        }
    }
    return r;
}

}  // namespace

std::string HttpRequestRecord::Header(const std::string& name) const {
    const std::string key = Lower(name);
    for (const auto& [n, v] : Headers)
        if (Lower(n) == key) return v;
    return {};
}

bool HttpRequestRecord::HasHeader(const std::string& name) const {
    const std::string key = Lower(name);
    return std::any_of(Headers.begin(), Headers.end(), [&](const auto& h) { return Lower(h.first) == key; });
}

HttpTestServer::HttpTestServer() : FListener(INVALID_SOCKET) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("HttpTestServer: WSAStartup failed");
    SOCKET s = ListenOnLoopback(FPort);
    if (s == INVALID_SOCKET || ::listen(s, 8) != 0) {
        if (s != INVALID_SOCKET) ::closesocket(s);
        ::WSACleanup();
        throw std::runtime_error("HttpTestServer: cannot listen on 127.0.0.1");
    }
    FListener = s;
    FStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    FThread = std::thread([this] {
        try {
            Run();
        } catch (...) {
            // A test server that fails just stops answering; the test sees that.
        }
    });
}

HttpTestServer::~HttpTestServer() {
    FStopping = true;
    ::SetEvent(FStopEvent);
    if (FThread.joinable()) FThread.join();
    ::closesocket(FListener);
    ::CloseHandle(FStopEvent);
    ::WSACleanup();
}

std::string HttpTestServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::u16string HttpTestServer::WUrl(const std::string& path) const {
    const std::string url = Url(path);
    return std::u16string(url.begin(), url.end());
}

void HttpTestServer::Route(const std::string& path, HttpResponse response) {
    std::lock_guard<std::mutex> guard(FLock);
    for (auto& route : FRoutes)
        if (route.first == path) {
            route.second = std::move(response);
            return;
        }
    FRoutes.emplace_back(path, std::move(response));
}

std::vector<HttpRequestRecord> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FRequests;
}

std::uint16_t HttpTestServer::UnusedPort() {
    WinsockUse winsock;
    if (!winsock.Ok()) return 0;
    std::uint16_t port = 0;
    SOCKET s = ListenOnLoopback(port);
    if (s == INVALID_SOCKET) return 0;
    ::closesocket(s);
    return port;
}

bool HttpTestServer::Pause(int ms) {
    return ::WaitForSingleObject(FStopEvent, static_cast<DWORD>(ms)) == WAIT_TIMEOUT;
}

void HttpTestServer::Run() {
    while (!FStopping) {
        if (!Readable(FListener, 50)) continue;
        SOCKET client = ::accept(FListener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        Serve(client);
        ::shutdown(client, SD_SEND);
        ::closesocket(client);
    }
}

bool HttpTestServer::SendAll(std::uintptr_t client, const char* data, std::size_t size) {
    while (size > 0 && !FStopping) {
        const int n = ::send(client, data, static_cast<int>(std::min<std::size_t>(size, 65536)), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return size == 0;
}

void HttpTestServer::Serve(std::uintptr_t client) {
    // The head, up to the blank line, then as many body bytes as announced.
    constexpr std::size_t kMaxRequest = 1 << 20;
    std::string data;
    std::size_t headEnd = std::string::npos;
    char buffer[4096];
    const DWORD start = ::GetTickCount();
    auto receive = [&]() {
        while (!FStopping && ::GetTickCount() - start < 5000) {
            if (!Readable(client, 50)) continue;
            const int n = ::recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0) return false;
            data.append(buffer, static_cast<std::size_t>(n));
            return data.size() <= kMaxRequest;
        }
        return false;
    };
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
        if (!receive()) return;
    HttpRequestRecord request = ParseHead(data.substr(0, headEnd));
    const std::size_t bodyLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    if (bodyLength > kMaxRequest) return;
    while (data.size() < headEnd + 4 + bodyLength)
        if (!receive()) return;
    request.Body = data.substr(headEnd + 4, bodyLength);

    HttpResponse response;
    response.Code = 404;
    response.Reason = "Not Found";
    response.Body = "no route";
    {
        std::lock_guard<std::mutex> guard(FLock);
        FRequests.push_back(request);
        const std::string path = request.Path.substr(0, request.Path.find('?'));
        for (const auto& route : FRoutes)
            if (route.first == path) response = route.second;
    }

    std::string head = "HTTP/1.1 " + std::to_string(response.Code) + " " + response.Reason + "\r\n";
    if (!response.ContentType.empty()) head += "Content-Type: " + response.ContentType + "\r\n";
    if (response.SendContentLength) head += "Content-Length: " + std::to_string(response.Body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : response.Headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (!SendAll(client, head.data(), head.size())) return;

    const std::size_t piece = response.ChunkSize ? response.ChunkSize : std::max<std::size_t>(response.Body.size(), 1);
    for (std::size_t at = 0; at < response.Body.size(); at += piece) {
        if (at > 0 && response.ChunkDelayMs > 0 && !Pause(response.ChunkDelayMs)) return;
        if (!SendAll(client, response.Body.data() + at, std::min(piece, response.Body.size() - at))) return;
    }
}

}  // namespace harness
