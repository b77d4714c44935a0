#pragma once

#include "service/AccessTokens.h"
#include "service/DaemonMetrics.h"
#include "service/Venue.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fx {

class DaemonVenue;
class VenueHistory;

// One HTTP request as the router needs it, whatever library took it in.
struct ApiRequest {
    std::string method;
    std::string target; // path and query
    std::string body;
    std::string authorization;
    std::string origin; // X-Fxtune-Origin: "web" for the web page
    std::string contentType;
    std::string client; // the peer's address, for the log
};

struct ApiResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Maps requests to the venue: checks the token, the path and the body
// before anything is sent (a refusal sends nothing), then answers once the
// processor confirmed or did not. reply runs exactly once, on any thread.
class ApiRouter {
public:
    using Reply = std::function<void(ApiResponse)>;
    // Serves a file of the web page: its bytes and type, false when none.
    using Assets =
        std::function<bool(const std::string& path, std::string& body, std::string& contentType)>;

    ApiRouter(DaemonVenue& venue, const AccessTokens& tokens, DaemonMetrics& metrics);

    void SetAssets(Assets assets) { m_assets = std::move(assets); }
    // The history behind .../history, .../approved and .../drift (none: 404).
    void SetHistory(VenueHistory* history) { m_history = history; }
    // Where a change is logged (time, client, token kind, request, status).
    void SetLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }

    void Handle(const ApiRequest& request, Reply reply);
    // The access a WebSocket client's token gives.
    AccessTokens::Access AccessOf(const std::string& authorization) const {
        return m_tokens.Check(authorization);
    }

private:
    struct Context;
    void Route(Context& context, const std::vector<std::string>& path);
    void RouteProcessor(Context& context, const std::string& name,
                        const std::vector<std::string>& rest);
    void Change(Context& context, const std::string& name,
                const std::function<void(IVenue::Done)>& start);
    void RouteHistory(Context& context, const std::string& name,
                      const std::vector<std::string>& rest);

    DaemonVenue& m_venue;
    const AccessTokens& m_tokens;
    DaemonMetrics& m_metrics;
    Assets m_assets;
    VenueHistory* m_history = nullptr;
    std::function<void(const std::string&)> m_log;
};

// The JSON error body: {"error": message, "field": field}.
ApiResponse ErrorResponse(int status, const std::string& message, const std::string& field = {});
int HttpStatusOf(ChangeResult::Status status);

} // namespace fx
