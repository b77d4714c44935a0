// fxtuned's request mapping: any method, path, headers and body reach the
// router, which answers each request exactly once, with a known status and a
// JSON body, and sends nothing to a processor (the processors here are never
// linked, so a request that passed its checks ends as 503).
#include "service/AccessTokens.h"
#include "service/ApiRouter.h"
#include "service/DaemonMetrics.h"
#include "service/DaemonVenue.h"
#include "service/WebAssets.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <future>
#include <string>

namespace {

struct Daemon {
    Daemon() : router(venue, tokens, metrics) {
        venue.Add({"room1", "127.0.0.1", 30303});
        venue.Add({"room-2", "127.0.0.1", 30304});
        tokens.Add(fx::AccessTokens::Access::Read, "reader-token");
        tokens.Add(fx::AccessTokens::Access::Write, "writer-token");
        router.SetAssets(fx::FindWebAsset);
    }
    fx::DaemonVenue venue{2};
    fx::AccessTokens tokens;
    fx::DaemonMetrics metrics;
    fx::ApiRouter router;
};

// Splits the input at newlines: method, target, authorization, content type,
// then the body.
std::string Take(const std::string& text, size_t& at) {
    const size_t end = text.find('\n', at);
    std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Daemon daemon;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    fx::ApiRequest request;
    request.method = Take(text, at);
    request.target = Take(text, at);
    request.authorization = Take(text, at);
    request.contentType = Take(text, at);
    request.body = text.substr(at);
    request.client = "127.0.0.1";
    if (request.target.empty() || request.target[0] != '/') request.target = "/" + request.target;

    std::promise<fx::ApiResponse> answered;
    int replies = 0;
    daemon.router.Handle(request, [&](fx::ApiResponse response) {
        if (++replies == 1) answered.set_value(std::move(response));
    });
    const fx::ApiResponse response = answered.get_future().get();
    switch (response.status) {
    case 200:
    case 400:
    case 401:
    case 403:
    case 404:
    case 405:
    case 503:
        break;
    default:
        std::abort();
    }
    if (response.contentType == "application/json" &&
        nlohmann::json::parse(response.body, nullptr, false).is_discarded())
        std::abort();
    if (replies != 1) std::abort();
    return 0;
}
