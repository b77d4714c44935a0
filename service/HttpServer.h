#pragma once

#include <memory>
#include <string>

namespace fx {

class ApiRouter;
class DaemonMetrics;
class IVenue;

// The daemon's HTTP and WebSocket server (Boost.Beast on its own io_context):
// requests go to the router, GET /api/v1/events becomes a WebSocket that
// carries every event of the venue. Bodies over 64 KiB are refused (413)
// before they are read.
class HttpServer {
public:
    static constexpr size_t kBodyLimit = 64 * 1024;

    HttpServer(ApiRouter& router, IVenue& venue, DaemonMetrics& metrics);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds address:port (0: a free port) and serves on threads threads.
    bool Start(const std::string& address, int port, int threads, std::string& error);
    int Port() const;
    // Allows cross-origin requests from this origin (none by default).
    void SetCorsOrigin(std::string origin);
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace fx
