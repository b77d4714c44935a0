#include "service/ApiRouter.h"

#include "service/DaemonVenue.h"
#include "service/OpenApi.h"
#include "service/ProcessorJson.h"
#include "service/VenueHistory.h"

#include "modefile/ModeFile.h"
#include "state/DeviceIdentity.h"
#include "state/MusicSources.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/Processor.h"
#include "state/ValueRanges.h"
#include "tools/fxtunectl/ImageJson.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <set>

namespace fx {

using nlohmann::json;
using Status = ChangeResult::Status;
using Access = AccessTokens::Access;

struct ApiRouter::Context {
    ApiRequest request;
    Reply reply;
    Access access = Access::None;
    json body;
    ChangeOrigin origin = ChangeOrigin::Api;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

namespace {

std::vector<std::string> SplitPath(const std::string& target) {
    const std::string path = target.substr(0, target.find('?'));
    std::vector<std::string> parts;
    size_t start = 1;
    while (start <= path.size()) {
        const size_t end = path.find('/', start);
        const std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) parts.push_back(part);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

ApiResponse JsonResponse(const json& body, int status = 200) {
    ApiResponse response;
    response.status = status;
    // Names and texts can come from the request or the processor: bytes that
    // are not UTF-8 are replaced, never thrown over.
    response.body = body.dump(-1, ' ', false, json::error_handler_t::replace);
    return response;
}

bool IsChange(const std::string& method) {
    return method == "PUT" || method == "POST" || method == "DELETE";
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// A whole number within the path ("/dsp/1/14"), -1 otherwise.
int PathNumber(const std::string& text, int high) {
    if (text.empty() || text.size() > 4) return -1;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value <= high ? value : -1;
}

// The body's fields, refusing any other.
std::string UnknownField(const json& body, std::initializer_list<const char*> known) {
    for (const auto& [key, value] : body.items()) {
        bool found = false;
        for (const char* name : known) found = found || key == name;
        if (!found) return key;
    }
    return {};
}

bool WholeNumber(const json& value, int& out) {
    if (value.is_number_integer()) {
        const auto number = value.get<long long>();
        if (number < -1000000 || number > 1000000) return false;
        out = static_cast<int>(number);
        return true;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::floor(number) != number || std::fabs(number) > 1e6) return false;
        out = static_cast<int>(number);
        return true;
    }
    return false;
}

} // namespace

ApiResponse ErrorResponse(int status, const std::string& message, const std::string& field) {
    json body = {{"error", message}};
    if (!field.empty()) body["field"] = field;
    return JsonResponse(body, status);
}

int HttpStatusOf(ChangeResult::Status status) {
    switch (status) {
    case Status::Ok:
        return 200;
    case Status::BadValue:
        return 400;
    case Status::NotFound:
        return 404;
    case Status::NotConnected:
        return 503;
    case Status::NotConfirmed:
        return 504;
    }
    return 500;
}

ApiRouter::ApiRouter(DaemonVenue& venue, const AccessTokens& tokens, DaemonMetrics& metrics)
    : m_venue(venue), m_tokens(tokens), m_metrics(metrics) {}

void ApiRouter::Handle(const ApiRequest& request, Reply reply) {
    auto context = std::make_shared<Context>();
    context->request = request;
    context->access = m_tokens.Check(request.authorization);
    if (request.origin == "web") context->origin = ChangeOrigin::WebPage;
    // What the change log needs, by value: the answer may come after the
    // request's context is gone.
    const bool change = IsChange(request.method);
    const std::string logLine = request.client + " " + AccessName(context->access) + " " +
                                request.method + " " + request.target;
    context->reply = [this, change, logLine, reply = std::move(reply)](ApiResponse response) {
        m_metrics.CountRequest(response.status);
        if (change && m_log)
            m_log(UtcNow() + " " + logLine + " -> " + std::to_string(response.status));
        reply(std::move(response));
    };
    Route(*context, SplitPath(request.target));
}

void ApiRouter::Route(Context& context, const std::vector<std::string>& path) {
    const std::string& method = context.request.method;
    // The web page's own files need no token: it asks for one itself.
    if (method == "GET" && m_assets &&
        (path.empty() || (path.size() == 2 && path[0] == "p") ||
         (path.size() >= 2 && path[0] == "web"))) {
        ApiResponse response;
        std::string file = "index.html";
        if (!path.empty() && path[0] == "web") {
            file.clear();
            for (size_t i = 1; i < path.size(); ++i) {
                if (path[i] == "..") return context.reply(ErrorResponse(404, "no such file"));
                file += (i > 1 ? "/" : "") + path[i];
            }
        }
        if (!m_assets(file, response.body, response.contentType))
            return context.reply(ErrorResponse(404, "no such file"));
        response.headers.push_back({"Cache-Control", "no-cache"});
        return context.reply(std::move(response));
    }
    const bool api = path.size() >= 2 && path[0] == "api" && path[1] == "v1";
    const bool metrics = path.size() == 1 && path[0] == "metrics";
    if (!api && !metrics) return context.reply(ErrorResponse(404, "no such resource"));
    if (m_tokens.Required() && context.access == Access::None)
        return context.reply(
            ErrorResponse(401, "a token is needed (Authorization: Bearer TOKEN)", "authorization"));
    if (IsChange(method) && context.access != Access::Write)
        return context.reply(
            ErrorResponse(403, "a write token is needed for a change", "authorization"));
    if (metrics) {
        if (method != "GET") return context.reply(ErrorResponse(405, "GET only"));
        ApiResponse response;
        response.contentType = "text/plain; version=0.0.4";
        response.body = m_metrics.Text();
        return context.reply(std::move(response));
    }
    if (IsChange(method)) {
        const std::string& body = context.request.body;
        const bool binary = context.request.contentType == "application/octet-stream";
        if (!binary) {
            context.body = json::parse(body.empty() ? std::string("{}") : body, nullptr, false);
            if (context.body.is_discarded())
                return context.reply(ErrorResponse(400, "the body is not JSON", "body"));
            if (!context.body.is_object())
                return context.reply(ErrorResponse(400, "the body is a JSON object", "body"));
        }
    }
    const std::vector<std::string> rest(path.begin() + 2, path.end());
    if (rest.size() == 1 && rest[0] == "openapi.json" && method == "GET") {
        ApiResponse response;
        response.body = OpenApiDocument();
        return context.reply(std::move(response));
    }
    if (rest.size() == 1 && rest[0] == "session" && method == "GET")
        return context.reply(JsonResponse(
            {{"tokensRequired", m_tokens.Required()}, {"access", AccessName(context.access)}}));
    if (rest.size() == 1 && rest[0] == "processors" && method == "GET") {
        json list = json::array();
        for (const ProcessorState& state : m_venue.States()) list.push_back(ProcessorJson(state));
        return context.reply(JsonResponse({{"processors", list}}));
    }
    if (rest.size() >= 2 && rest[0] == "processors")
        return RouteProcessor(context, rest[1],
                              std::vector<std::string>(rest.begin() + 2, rest.end()));
    context.reply(ErrorResponse(404, "no such resource"));
}

void ApiRouter::Change(Context& context, const std::string& name,
                       const std::function<void(IVenue::Done)>& start) {
    Reply reply = context.reply;
    const auto started = context.started;
    start([this, reply, name, started](ChangeResult result) {
        if (result.status == Status::Ok || result.status == Status::NotConfirmed)
            m_metrics.ObserveConfirmation(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        if (!result.ok()) return reply(ErrorResponse(HttpStatusOf(result.status), result.message));
        const auto state = m_venue.State(name);
        reply(JsonResponse(state ? ProcessorJson(*state) : json::object()));
    });
}

void ApiRouter::RouteProcessor(Context& context, const std::string& name,
                               const std::vector<std::string>& rest) {
    const std::string& method = context.request.method;
    const std::optional<ProcessorState> state = m_venue.State(name);
    if (!state) return context.reply(ErrorResponse(404, "no processor " + name));
    const json& body = context.body;
    const ChangeOrigin origin = context.origin;
    auto refuse = [&](const std::string& message, const std::string& field) {
        context.reply(ErrorResponse(400, message, field));
    };
    // {"value": N} with N whole, the only field.
    auto valueField = [&](int& value, const char* what) {
        if (const std::string unknown = UnknownField(body, {"value"}); !unknown.empty()) {
            refuse("unknown field " + unknown, unknown);
            return false;
        }
        if (!body.contains("value") || !WholeNumber(body["value"], value)) {
            refuse(std::string("value is a whole number (") + what + ")", "value");
            return false;
        }
        return true;
    };

    if (rest.empty()) {
        if (method != "GET") return context.reply(ErrorResponse(405, "GET only"));
        return context.reply(JsonResponse(ProcessorJson(*state)));
    }
    const std::string& what = rest[0];
    if (what == "levels" && rest.size() == 2 && method == "PUT") {
        const MasterLevelInfo* level = FindMasterLevel(rest[1]);
        if (!level)
            return context.reply(
                ErrorResponse(404, "no level " + rest[1] + " (mic, effect, reverb, echo, music)"));
        if (const std::string unknown = UnknownField(body, {"value", "muted"}); !unknown.empty())
            return refuse("unknown field " + unknown, unknown);
        std::optional<int> value;
        std::optional<bool> muted;
        if (body.contains("value")) {
            int number = 0;
            if (!WholeNumber(body["value"], number))
                return refuse("value is a whole number 0..99", "value");
            value = number;
        }
        if (body.contains("muted")) {
            if (!body["muted"].is_boolean()) return refuse("muted is true or false", "muted");
            muted = body["muted"].get<bool>();
        }
        if (!value && !muted) return refuse("give value (0..99) and/or muted", "value");
        return Change(context, name, [&](IVenue::Done done) {
            m_venue.SetLevel(name, level->level, value, muted, origin, std::move(done));
        });
    }
    if ((what == "pitch" || what == "noise-gate") && rest.size() == 1 && method == "PUT") {
        int value = 0;
        const bool pitch = what == "pitch";
        if (!valueField(value, pitch ? "-5..5" : "0..100")) return;
        return Change(context, name, [&](IVenue::Done done) {
            if (pitch)
                m_venue.SetPitch(name, value, origin, std::move(done));
            else
                m_venue.SetNoiseGate(name, value, origin, std::move(done));
        });
    }
    if (what == "source" && rest.size() == 1 && method == "PUT") {
        if (const std::string unknown = UnknownField(body, {"value"}); !unknown.empty())
            return refuse("unknown field " + unknown, unknown);
        int source = -1;
        if (body.contains("value") && body["value"].is_string()) {
            const MusicSourceChoice* choice = FindMusicSourceByName(
                MusicInputDialogFor(state->model.c_str()), body["value"].get<std::string>());
            if (!choice)
                return refuse("no source " + body["value"].get<std::string>() + " on " +
                                  state->model,
                              "value");
            source = choice->source;
        } else if (!body.contains("value") || !WholeNumber(body["value"], source)) {
            return refuse("value is a source index 0..13 or its name", "value");
        }
        return Change(context, name, [&](IVenue::Done done) {
            m_venue.SetSource(name, source, origin, std::move(done));
        });
    }
    if (what == "mode" && rest.size() == 1 && method == "POST") {
        if (const std::string unknown = UnknownField(body, {"load", "store"}); !unknown.empty())
            return refuse("unknown field " + unknown, unknown);
        const bool load = body.contains("load");
        if (load == body.contains("store")) return refuse("give load or store (1..4)", "load");
        const char* field = load ? "load" : "store";
        int mode = 0;
        if (!WholeNumber(body[field], mode))
            return refuse(std::string(field) + " is a machine mode 1..4", field);
        return Change(context, name, [&](IVenue::Done done) {
            if (load)
                m_venue.LoadMode(name, mode, origin, std::move(done));
            else
                m_venue.StoreMode(name, mode, origin, std::move(done));
        });
    }
    if (what == "dsp" && rest.size() == 3 && (method == "GET" || method == "PUT")) {
        const int block = PathNumber(rest[1], 255);
        const int parameter = PathNumber(rest[2], 255);
        const DspParamEntry* entry =
            block < 0 || parameter < 0 ? nullptr : FindDspParam(block, parameter);
        if (!entry || entry->kind == DspValueKind::None || entry->imageOffset < 0 ||
            (!entry->intVar() && !entry->floatVar()))
            return context.reply(
                ErrorResponse(404, "no editable DSP parameter " + rest[1] + " " + rest[2]));
        if (method == "PUT") {
            if (const std::string unknown = UnknownField(body, {"value"}); !unknown.empty())
                return refuse("unknown field " + unknown, unknown);
            if (!body.contains("value") || !body["value"].is_number())
                return refuse("value is a number", "value");
            const double value = body["value"].get<double>();
            return Change(context, name, [&](IVenue::Done done) {
                m_venue.SetDsp(name, block, parameter, value, origin, std::move(done));
            });
        }
        Reply reply = context.reply;
        m_venue.Inspect(name, [reply, block, parameter, name](bool connected) {
            if (!connected)
                return reply(ErrorResponse(503, "processor " + name + " is not connected"));
            const std::string text = DspValueText(block, parameter, GetDspParam(block, parameter));
            reply(JsonResponse({{"block", block},
                                {"parameter", parameter},
                                {"value", std::strtod(text.c_str(), nullptr)},
                                {"text", text}}));
        });
        return;
    }
    if (what == "eq" && rest.size() == 3 && method == "PUT") {
        const int set = PathNumber(rest[1], 99);
        const int band = PathNumber(rest[2], 99);
        if (set < 0 || band < 0)
            return context.reply(ErrorResponse(404, "no EQ band " + rest[1] + "/" + rest[2]));
        if (const std::string unknown = UnknownField(body, {"type", "frequency", "gain", "q"});
            !unknown.empty())
            return refuse("unknown field " + unknown, unknown);
        int type = -1;
        if (body.contains("type") && body["type"].is_string())
            type = EqTypeFromText(body["type"].get<std::string>());
        else if (body.contains("type"))
            WholeNumber(body["type"], type);
        if (type < 0 || type > 5) return refuse("type is 0..5 or OFF, PEQ, LP, HP, LS, HS", "type");
        for (const char* field : {"frequency", "gain", "q"})
            if (!body.contains(field) || !body[field].is_number())
                return refuse(std::string(field) + " is a number", field);
        const double frequency = body["frequency"].get<double>();
        const double gain = body["gain"].get<double>();
        const double q = body["q"].get<double>();
        return Change(context, name, [&](IVenue::Done done) {
            m_venue.SetEq(name, set, band, type, frequency, gain, q, origin, std::move(done));
        });
    }
    if ((what == "image" || what == "preset") && rest.size() == 1 && method == "GET") {
        Reply reply = context.reply;
        const bool image = what == "image";
        m_venue.Inspect(name, [reply, image, name](bool connected) {
            if (!connected)
                return reply(ErrorResponse(503, "processor " + name + " is not connected"));
            ApiResponse response;
            if (image) {
                response.body = ImageToJson(CurrentProcessor().Store(), kLanguageEnglish);
            } else {
                const std::vector<uint8_t> file = ModeFileBytes();
                response.body.assign(file.begin(), file.end());
                response.contentType = "application/octet-stream";
                response.headers.push_back(
                    {"Content-Disposition", "attachment; filename=\"" + name + ".mode\""});
            }
            reply(std::move(response));
        });
        return;
    }
    if (what == "preset" && rest.size() == 1 && method == "PUT") {
        std::vector<uint8_t> file(context.request.body.begin(), context.request.body.end());
        if (file.size() != static_cast<size_t>(kModeFileSize))
            return refuse("the body is a mode file of " + std::to_string(kModeFileSize) +
                              " bytes (application/octet-stream), not " +
                              std::to_string(file.size()),
                          "body");
        return Change(context, name, [&](IVenue::Done done) {
            m_venue.WritePreset(name, std::move(file), origin, std::move(done));
        });
    }
    if (what == "history" || what == "approved" || what == "drift")
        return RouteHistory(context, name, rest);
    context.reply(ErrorResponse(404, "no such resource for processor " + name));
}

} // namespace fx

namespace fx {

namespace {

int HistoryStatus(HistoryResult::Status status) {
    switch (status) {
    case HistoryResult::Status::Ok:
        return 200;
    case HistoryResult::Status::BadValue:
        return 400;
    case HistoryResult::Status::NotFound:
        return 404;
    case HistoryResult::Status::Unavailable:
        return 503;
    case HistoryResult::Status::Failed:
        break;
    }
    return 500;
}

ApiResponse HistoryError(const HistoryResult& result) {
    return ErrorResponse(HistoryStatus(result.status), "history: " + result.message);
}

std::string IsoTime(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(ms % 1000));
    return std::string(text) + millis;
}

json SnapshotJson(const SnapshotInfo& info) {
    return {{"id", info.id},
            {"processor", info.processor},
            {"timeMs", info.timeMs},
            {"time", IsoTime(info.timeMs)},
            {"source", SnapshotSourceId(info.source)},
            {"changes", info.changes}};
}

// A query parameter's value, empty when absent.
std::string QueryValue(const std::string& target, const std::string& key) {
    const size_t question = target.find('?');
    if (question == std::string::npos) return {};
    const std::string query = target.substr(question + 1);
    size_t start = 0;
    while (start <= query.size()) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        if (pair.compare(0, key.size() + 1, key + "=") == 0) return pair.substr(key.size() + 1);
        start = end + 1;
    }
    return {};
}

// Milliseconds since the epoch, or a UTC time "2026-12-11T10:00:00Z".
bool ParseSince(const std::string& text, int64_t& ms) {
    if (text.empty()) return ms = 0, true;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (end && *end == '\0' && number >= 0) return ms = number, true;
    std::tm utc{};
    const char* rest = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &utc);
    if (!rest || (*rest != '\0' && std::string(rest) != "Z")) return false;
    ms = static_cast<int64_t>(timegm(&utc)) * 1000;
    return true;
}

} // namespace

void ApiRouter::RouteHistory(Context& context, const std::string& name,
                             const std::vector<std::string>& rest) {
    if (!m_history) return context.reply(ErrorResponse(404, "this daemon keeps no history"));
    const std::string& method = context.request.method;
    const std::string& what = rest[0];
    Reply reply = context.reply;
    VenueHistory* history = m_history;
    const ChangeOrigin origin = context.origin;
    HistoryStore& store = history->Store();

    if (what == "drift" && rest.size() == 1 && method == "GET") {
        const auto state = m_venue.State(name);
        return reply(JsonResponse({{"approved", state->driftKnown},
                                   {"drifted", !state->drift.empty()},
                                   {"count", state->drift.size()},
                                   {"parameters", state->drift}}));
    }
    if (what == "history" && rest.size() == 1 && method == "GET") {
        int64_t since = 0;
        if (!ParseSince(QueryValue(context.request.target, "since"), since))
            return reply(
                ErrorResponse(400, "since is milliseconds or YYYY-MM-DDTHH:MM:SSZ", "since"));
        int limit = 100;
        const std::string limitText = QueryValue(context.request.target, "limit");
        if (!limitText.empty() && (limit = PathNumber(limitText, 10000)) < 1)
            return reply(ErrorResponse(400, "limit is 1..10000", "limit"));
        return m_venue.RunWork([&store, reply, name, since, limit] {
            auto listed = store.List(name, since, limit);
            if (!listed.ok()) return reply(HistoryError(listed.result));
            json snapshots = json::array();
            for (const SnapshotInfo& info : listed.value) snapshots.push_back(SnapshotJson(info));
            reply(JsonResponse({{"processor", name}, {"snapshots", snapshots}}));
        });
    }
    if (what == "history" && rest.size() == 1 && method == "POST") {
        const HistoryResult queued = history->SnapshotNow(name, SnapshotSource::Request);
        if (!queued.ok()) return reply(HistoryError(queued));
        return reply(JsonResponse({{"queued", true}}));
    }
    if (what == "history" && rest.size() >= 2) {
        char* end = nullptr;
        const long long id = std::strtoll(rest[1].c_str(), &end, 10);
        if (!end || *end != '\0' || id <= 0)
            return reply(ErrorResponse(404, "no snapshot " + rest[1]));
        const std::string action = rest.size() == 3 ? rest[2] : "";
        if (rest.size() > 3 || (rest.size() == 3 && action != "preset" && action != "restore") ||
            (action == "restore") != (method == "POST") || (method != "GET" && method != "POST"))
            return reply(ErrorResponse(404, "no such resource"));
        return m_venue.RunWork([this, &store, reply, name, id, action, origin, history] {
            const auto info = store.Get(id);
            if (!info.ok()) return reply(HistoryError(info.result));
            if (info.value.processor != name)
                return reply(ErrorResponse(404, "snapshot " + std::to_string(id) +
                                                    " is not processor " + name + "'s"));
            if (action.empty()) return reply(JsonResponse(SnapshotJson(info.value)));
            auto image = store.ImageOf(id);
            if (!image.ok()) return reply(HistoryError(image.result));
            if (action == "preset") {
                ApiResponse response;
                response.contentType = "application/octet-stream";
                response.body.assign(image.value.begin(), image.value.end());
                return reply(std::move(response));
            }
            m_venue.WritePreset(
                name, std::move(image.value), origin,
                [this, reply, name, origin, history](ChangeResult result) {
                    if (!result.ok())
                        return reply(ErrorResponse(HttpStatusOf(result.status), result.message));
                    history->SnapshotNow(name, SnapshotSourceOf(origin));
                    const auto state = m_venue.State(name);
                    reply(JsonResponse(ProcessorJson(*state)));
                });
        });
    }
    if (what == "approved" && rest.size() == 1 && method == "GET") {
        return m_venue.RunWork([&store, reply, name] {
            const auto approved = store.Approved(name);
            if (!approved.ok()) return reply(HistoryError(approved.result));
            json body = {{"processor", name},
                         {"setMs", approved.value.setMs},
                         {"set", IsoTime(approved.value.setMs)},
                         {"fromSnapshot", nullptr}};
            if (approved.value.fromSnapshotId)
                body["fromSnapshot"] = *approved.value.fromSnapshotId;
            reply(JsonResponse(body));
        });
    }
    if (what == "approved" && rest.size() == 1 && method == "PUT") {
        std::optional<int64_t> snapshot;
        HistoryImage image;
        if (context.request.contentType == "application/octet-stream") {
            image.assign(context.request.body.begin(), context.request.body.end());
            const ModeFileCheck file = CheckModeFileBytes(image, "the approved preset");
            if (!file.ok) return reply(ErrorResponse(400, file.message, "body"));
        } else {
            const json& body = context.body;
            if (const std::string unknown = UnknownField(body, {"snapshot"}); !unknown.empty())
                return reply(ErrorResponse(400, "unknown field " + unknown, unknown));
            if (!body.contains("snapshot") || !body["snapshot"].is_number_integer())
                return reply(ErrorResponse(
                    400, "give {\"snapshot\":ID} or a mode file (application/octet-stream)",
                    "snapshot"));
            snapshot = body["snapshot"].get<int64_t>();
        }
        return m_venue.RunWork([&store, reply, name, snapshot, image, history] {
            if (snapshot) {
                const auto info = store.Get(*snapshot);
                if (!info.ok()) return reply(HistoryError(info.result));
                if (info.value.processor != name)
                    return reply(ErrorResponse(404, "snapshot " + std::to_string(*snapshot) +
                                                        " is not processor " + name + "'s"));
            }
            const HistoryResult set = store.SetApproved(name, image, snapshot);
            if (!set.ok()) return reply(HistoryError(set));
            history->ApprovalChanged(name);
            reply(JsonResponse({{"processor", name}, {"approved", true}}));
        });
    }
    if (what == "approved" && rest.size() == 1 && method == "DELETE") {
        return m_venue.RunWork([&store, reply, name, history] {
            const HistoryResult cleared = store.ClearApproved(name);
            if (!cleared.ok()) return reply(HistoryError(cleared));
            history->ApprovalChanged(name);
            reply(JsonResponse({{"processor", name}, {"approved", false}}));
        });
    }
    if (what == "approved" && rest.size() == 2 && rest[1] == "restore" && method == "POST") {
        return m_venue.RunWork([this, &store, reply, name, origin, history] {
            auto approved = store.Approved(name);
            if (!approved.ok()) return reply(HistoryError(approved.result));
            m_venue.WritePreset(
                name, std::move(approved.value.image), origin,
                [this, reply, name, origin, history](ChangeResult result) {
                    if (!result.ok())
                        return reply(ErrorResponse(HttpStatusOf(result.status), result.message));
                    history->SnapshotNow(name, SnapshotSourceOf(origin));
                    const auto state = m_venue.State(name);
                    reply(JsonResponse(ProcessorJson(*state)));
                });
        });
    }
    reply(ErrorResponse(404, "no such resource for processor " + name));
}

} // namespace fx
