#pragma once

#include <map>
#include <memory>
#include <string>

// A plain HTTP and WebSocket client for the daemon's tests (loopback only).
struct HttpAnswer {
    int status = 0; // 0: no answer
    std::string body;
    std::map<std::string, std::string> headers;
};

HttpAnswer HttpCall(int port, const std::string& method, const std::string& target,
                    const std::string& body = {},
                    const std::map<std::string, std::string>& headers = {});

// A WebSocket client of /api/v1/events.
class EventClient {
public:
    // Connects and upgrades, with the Authorization header when token is given.
    explicit EventClient(int port, const std::string& authorization = {});
    ~EventClient();
    bool Connected() const;
    void Send(const std::string& text);
    // The next message, empty on time-out (ms of real time) or close.
    std::string Next(int timeoutMs);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
