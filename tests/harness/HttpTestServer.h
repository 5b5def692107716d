// A small HTTP server for tests of the program's HTTP client. It listens on
// 127.0.0.1 at a port the system picks, serves one connection at a time on
// its own thread, answers each request with the scripted response of its
// path (404 for unknown paths), closes the connection after every response,
// and records what it received. Stopped and joined by its destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace harness {

using HttpHeaderList = std::vector<std::pair<std::string, std::string>>;

// One scripted answer. The status line is "HTTP/1.1 <Code> <Reason>"; then
// come Content-Type (unless empty), Content-Length (unless switched off: the
// body then ends when the connection closes), "Connection: close" and the
// extra headers in their order; then the body.
struct HttpResponse {
    int Code = 200;
    std::string Reason = "OK";
    std::string ContentType = "text/html";
    HttpHeaderList Headers;   // e.g. {"Location", "/next"}
    std::string Body;
    bool SendContentLength = true;
    // A slow body: sent in pieces of ChunkSize bytes (0: all at once) with a
    // pause of ChunkDelayMs before every piece but the first.
    std::size_t ChunkSize = 0;
    int ChunkDelayMs = 0;
};

struct HttpRequestRecord {
    std::string Method;
    std::string Path;      // as sent, with the query
    std::string Version;   // "HTTP/1.1"
    HttpHeaderList Headers;
    std::string Body;
    // The value of the first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

class HttpTestServer {
public:
    HttpTestServer();   // throws std::runtime_error when it cannot listen
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    std::uint16_t Port() const { return FPort; }
    // "http://127.0.0.1:<port>" followed by Path (which starts with "/").
    std::string Url(const std::string& path) const;
    std::u16string WUrl(const std::string& path) const;

    // Sets the answer for a path (matched against the request path without
    // its query).
    void Route(const std::string& path, HttpResponse response);
    // The requests received so far, oldest first.
    std::vector<HttpRequestRecord> Requests() const;

    // A port on 127.0.0.1 where nothing listens (bound once, then released).
    static std::uint16_t UnusedPort();

private:
    void Run();
    void Serve(std::uintptr_t client);
    bool SendAll(std::uintptr_t client, const char* data, std::size_t size);
    bool Pause(int ms);   // false when the server is stopping

    std::uintptr_t FListener;
    std::uint16_t FPort = 0;
    std::atomic<bool> FStopping{false};
    void* FStopEvent = nullptr;
    mutable std::mutex FLock;
    std::vector<std::pair<std::string, HttpResponse>> FRoutes;
    std::vector<HttpRequestRecord> FRequests;
    std::thread FThread;
};

}  // namespace harness
