#include "HttpTestClient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

HttpAnswer HttpCall(int port, const std::string& method, const std::string& target,
                    const std::string& body, const std::map<std::string, std::string>& headers) {
    HttpAnswer answer;
    net::io_context context;
    beast::tcp_stream stream(context);
    beast::error_code error;
    stream.expires_after(std::chrono::seconds(40));
    stream.connect(
        tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)),
        error);
    if (error) return answer;
    http::request<http::string_body> request(http::string_to_verb(method), target, 11);
    request.set(http::field::host, "127.0.0.1");
    for (const auto& [name, value] : headers) request.set(name, value);
    request.body() = body;
    request.prepare_payload();
    http::write(stream, request, error);
    if (error) return answer;
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(16 * 1024 * 1024);
    http::read(stream, buffer, parser, error);
    if (error) return answer;
    const auto& response = parser.get();
    answer.status = static_cast<int>(response.result_int());
    answer.body = response.body();
    for (const auto& field : response)
        answer.headers[std::string(field.name_string())] = std::string(field.value());
    return answer;
}

struct EventClient::Impl {
    net::io_context context;
    websocket::stream<beast::tcp_stream> ws{context};
    beast::flat_buffer buffer;
    bool connected = false;
};

EventClient::EventClient(int port, const std::string& authorization)
    : m_impl(std::make_unique<Impl>()) {
    beast::error_code error;
    beast::get_lowest_layer(m_impl->ws)
        .connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)),
            error);
    if (error) return;
    m_impl->ws.set_option(websocket::stream_base::decorator([authorization](auto& request) {
        if (!authorization.empty()) request.set(http::field::authorization, authorization);
    }));
    m_impl->ws.handshake("127.0.0.1", "/api/v1/events", error);
    m_impl->connected = !error;
}

EventClient::~EventClient() {
    beast::error_code ignored;
    beast::get_lowest_layer(m_impl->ws).socket().close(ignored);
}

bool EventClient::Connected() const {
    return m_impl->connected;
}

void EventClient::Send(const std::string& text) {
    beast::error_code ignored;
    m_impl->ws.write(net::buffer(text), ignored);
}

std::string EventClient::Next(int timeoutMs) {
    if (!m_impl->connected) return {};
    std::string message;
    bool done = false;
    m_impl->ws.async_read(m_impl->buffer, [&](beast::error_code error, size_t) {
        done = true;
        if (error) {
            m_impl->connected = false;
            return;
        }
        message = beast::buffers_to_string(m_impl->buffer.data());
        m_impl->buffer.consume(m_impl->buffer.size());
    });
    m_impl->context.restart();
    m_impl->context.run_for(std::chrono::milliseconds(timeoutMs));
    if (!done) {
        // Give up this read: close the socket so the pending handler ends.
        beast::get_lowest_layer(m_impl->ws).socket().cancel();
        m_impl->context.restart();
        m_impl->context.run();
        m_impl->connected = false;
    }
    return message;
}
