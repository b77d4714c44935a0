#include "service/HttpServer.h"

#include "service/ApiRouter.h"
#include "service/DaemonMetrics.h"
#include "service/ProcessorJson.h"
#include "service/Venue.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace fx {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Access = AccessTokens::Access;

namespace {

constexpr size_t kHeaderLimit = 16 * 1024;
constexpr size_t kMaxQueuedEvents = 1000;
constexpr auto kIdleTimeout = std::chrono::seconds(60);
constexpr auto kTokenTimeout = std::chrono::seconds(10);

class EventSocket;

// The WebSocket clients of the event stream: each event is made JSON once
// and queued to every client.
class EventHub {
public:
    EventHub(IVenue& venue, DaemonMetrics& metrics) : m_venue(venue), m_metrics(metrics) {
        m_subscription = m_venue.Subscribe([this](const VenueEvent& event) { Publish(event); });
    }
    ~EventHub() { m_venue.Unsubscribe(m_subscription); }
    void Join(const std::shared_ptr<EventSocket>& socket);
    void Publish(const VenueEvent& event);
    DaemonMetrics& Metrics() { return m_metrics; }

private:
    IVenue& m_venue;
    DaemonMetrics& m_metrics;
    int m_subscription = 0;
    std::mutex m_mutex;
    std::vector<std::weak_ptr<EventSocket>> m_sockets;
};

class EventSocket : public std::enable_shared_from_this<EventSocket> {
public:
    EventSocket(tcp::socket&& socket, EventHub& hub, ApiRouter& router)
        : m_ws(std::move(socket)), m_hub(hub), m_router(router), m_tokenTimer(m_ws.get_executor()) {
    }

    void Run(http::request<http::string_body> request) {
        m_access = m_router.AccessOf(std::string(request[http::field::authorization]));
        beast::get_lowest_layer(m_ws).expires_never();
        m_ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        m_ws.read_message_max(4096);
        m_ws.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (!error) self->OnAccepted();
        });
    }

    // From any thread.
    void Send(std::shared_ptr<const std::string> message) {
        net::post(m_ws.get_executor(), [self = shared_from_this(), message] {
            if (!self->m_ready || self->m_closed) return;
            if (self->m_outbox.size() >= kMaxQueuedEvents) {
                self->m_hub.Metrics().CountRefusedEvent();
                return;
            }
            self->m_outbox.push_back(message);
            if (self->m_outbox.size() == 1) self->WriteNext();
        });
    }

private:
    void OnAccepted() {
        if (m_access != Access::None) return Ready();
        // The token comes as the first message: {"token":"..."}.
        m_tokenTimer.expires_after(kTokenTimeout);
        m_tokenTimer.async_wait([self = shared_from_this()](beast::error_code error) {
            if (!error && !self->m_ready) self->Close(websocket::close_code::policy_error);
        });
        Read();
    }

    void Ready() {
        m_ready = true;
        m_tokenTimer.cancel();
        m_hub.Join(shared_from_this());
        m_outbox.push_front(std::make_shared<const std::string>(
            nlohmann::json{{"type", "ready"}, {"access", AccessName(m_access)}}.dump()));
        if (m_outbox.size() == 1) WriteNext();
        Read();
    }

    void Read() {
        m_ws.async_read(m_buffer, [self = shared_from_this()](beast::error_code error, size_t) {
            if (error) {
                self->m_closed = true;
                return;
            }
            self->OnMessage(beast::buffers_to_string(self->m_buffer.data()));
            self->m_buffer.consume(self->m_buffer.size());
            if (!self->m_closed) self->Read();
        });
    }

    void OnMessage(const std::string& text) {
        if (m_ready) return; // clients only listen
        const auto message = nlohmann::json::parse(text, nullptr, false);
        if (message.is_object() && message.contains("token") && message["token"].is_string())
            m_access = m_router.AccessOf(message["token"].get<std::string>());
        if (m_access == Access::None) return Close(websocket::close_code::policy_error);
        Ready();
    }

    void WriteNext() {
        m_ws.text(true);
        m_ws.async_write(net::buffer(*m_outbox.front()),
                         [self = shared_from_this()](beast::error_code error, size_t) {
                             if (error) {
                                 self->m_closed = true;
                                 self->m_outbox.clear();
                                 return;
                             }
                             self->m_outbox.pop_front();
                             if (!self->m_outbox.empty()) self->WriteNext();
                         });
    }

    void Close(websocket::close_code code) {
        m_closed = true;
        m_ws.async_close(code, [self = shared_from_this()](beast::error_code) {});
    }

    websocket::stream<beast::tcp_stream> m_ws;
    EventHub& m_hub;
    ApiRouter& m_router;
    net::steady_timer m_tokenTimer;
    beast::flat_buffer m_buffer;
    std::deque<std::shared_ptr<const std::string>> m_outbox;
    Access m_access = Access::None;
    bool m_ready = false;
    bool m_closed = false;
};

void EventHub::Join(const std::shared_ptr<EventSocket>& socket) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_sockets, [](const auto& weak) { return weak.expired(); });
    m_sockets.push_back(socket);
}

void EventHub::Publish(const VenueEvent& event) {
    // The processor's own texts (its model name) may not be UTF-8.
    const auto message = std::make_shared<const std::string>(
        EventJson(event).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    std::lock_guard lock(m_mutex);
    for (const auto& weak : m_sockets)
        if (const auto socket = weak.lock()) socket->Send(message);
}

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket&& socket, ApiRouter& router, EventHub& hub,
                const std::string& corsOrigin)
        : m_stream(std::move(socket)), m_router(router), m_hub(hub), m_corsOrigin(corsOrigin) {}

    void Read() {
        m_parser.emplace();
        m_parser->body_limit(HttpServer::kBodyLimit);
        m_parser->header_limit(kHeaderLimit);
        m_stream.expires_after(kIdleTimeout);
        http::async_read(
            m_stream, m_buffer, *m_parser,
            [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

private:
    void OnRead(beast::error_code error) {
        if (error == http::error::body_limit) {
            m_keepAlive = false;
            return Write(ErrorResponse(413, "the body is over 64 KiB", "body"), 11);
        }
        if (error == http::error::header_limit) {
            m_keepAlive = false;
            return Write(ErrorResponse(431, "the request's header is too large"), 11);
        }
        if (error) return Close();
        http::request<http::string_body> request = m_parser->release();
        if (websocket::is_upgrade(request)) {
            if (request.target() != "/api/v1/events") {
                m_keepAlive = false;
                return Write(ErrorResponse(404, "no WebSocket here"), request.version());
            }
            auto socket = std::make_shared<EventSocket>(m_stream.release_socket(), m_hub, m_router);
            socket->Run(std::move(request));
            return;
        }
        m_keepAlive = request.keep_alive();
        const unsigned version = request.version();
        if (!m_corsOrigin.empty() && request.method() == http::verb::options)
            return Write(ApiResponse{204, "text/plain", "", {}}, version);
        ApiRequest api;
        api.method = std::string(request.method_string());
        api.target = std::string(request.target());
        api.authorization = std::string(request[http::field::authorization]);
        api.origin = std::string(request["X-Fxtune-Origin"]);
        api.contentType = std::string(request[http::field::content_type]);
        api.body = std::move(request.body());
        beast::error_code ignored;
        const auto peer = m_stream.socket().remote_endpoint(ignored);
        api.client = ignored ? "?" : peer.address().to_string();
        m_router.Handle(api, [self = shared_from_this(), version](ApiResponse response) {
            net::post(self->m_stream.get_executor(),
                      [self, version, response = std::move(response)]() mutable {
                          self->Write(std::move(response), version);
                      });
        });
    }

    void Write(ApiResponse answer, unsigned version) {
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(answer.status), version);
        response->set(http::field::server, "fxtuned");
        response->set(http::field::content_type, answer.contentType);
        response->set("X-Content-Type-Options", "nosniff");
        if (!m_corsOrigin.empty()) {
            response->set(http::field::access_control_allow_origin, m_corsOrigin);
            response->set(http::field::access_control_allow_headers,
                          "Authorization, Content-Type, X-Fxtune-Origin");
            response->set(http::field::access_control_allow_methods, "GET, PUT, POST, DELETE");
        }
        for (const auto& [name, value] : answer.headers) response->set(name, value);
        response->body() = std::move(answer.body);
        response->keep_alive(m_keepAlive);
        response->prepare_payload();
        http::async_write(m_stream, *response,
                          [self = shared_from_this(), response](beast::error_code error, size_t) {
                              if (error || !self->m_keepAlive) return self->Close();
                              self->Read();
                          });
    }

    void Close() {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }

    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    ApiRouter& m_router;
    EventHub& m_hub;
    const std::string& m_corsOrigin;
    bool m_keepAlive = true;
};

} // namespace

struct HttpServer::Impl {
    Impl(ApiRouter& router, IVenue& venue, DaemonMetrics& metrics)
        : router(router), hub(venue, metrics), acceptor(context), retry(context) {}

    void Accept() {
        acceptor.async_accept(net::make_strand(context), [this](beast::error_code error,
                                                                tcp::socket socket) {
            if (error == net::error::operation_aborted) return;
            if (!error)
                std::make_shared<HttpSession>(std::move(socket), router, hub, corsOrigin)->Read();
            Accept();
        });
    }

    ApiRouter& router;
    net::io_context context;
    EventHub hub;
    tcp::acceptor acceptor;
    net::steady_timer retry;
    std::vector<std::thread> threads;
    std::string corsOrigin;
    int port = 0;
};

HttpServer::HttpServer(ApiRouter& router, IVenue& venue, DaemonMetrics& metrics)
    : m_impl(std::make_unique<Impl>(router, venue, metrics)) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(const std::string& address, int port, int threads, std::string& error) {
    beast::error_code code;
    const auto ip = net::ip::make_address(address, code);
    if (code) {
        error = "bad listen address " + address;
        return false;
    }
    const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    auto& acceptor = m_impl->acceptor;
    acceptor.open(endpoint.protocol(), code);
    if (!code) acceptor.set_option(net::socket_base::reuse_address(true), code);
    if (!code) acceptor.bind(endpoint, code);
    if (!code) acceptor.listen(net::socket_base::max_listen_connections, code);
    if (code) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + " (" + code.message() +
                ")";
        return false;
    }
    m_impl->port = acceptor.local_endpoint().port();
    m_impl->Accept();
    for (int i = 0; i < std::max(1, threads); ++i)
        m_impl->threads.emplace_back([this] { m_impl->context.run(); });
    return true;
}

int HttpServer::Port() const {
    return m_impl->port;
}

void HttpServer::SetCorsOrigin(std::string origin) {
    m_impl->corsOrigin = std::move(origin);
}

void HttpServer::Stop() {
    if (m_impl->threads.empty()) return;
    m_impl->context.stop();
    for (auto& thread : m_impl->threads) thread.join();
    m_impl->threads.clear();
}

} // namespace fx
