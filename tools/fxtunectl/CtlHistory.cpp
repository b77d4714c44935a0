#include "CtlHistory.h"

#include "CtlOptions.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using nlohmann::json;

struct DaemonOptions {
    std::string address;
    int port = 0;
    std::string token;
    bool json = false;
    std::vector<std::string> words; // history VERB ARGS...
};

struct Answer {
    int status = 0; // 0: the daemon could not be reached
    std::string body;
    std::string error; // why it could not
};

struct Failure {
    int status;
    std::string message;
};

Answer Call(const DaemonOptions& options, const std::string& method, const std::string& target,
            const std::string& body = {}, const std::string& contentType = "application/json") {
    Answer answer;
    net::io_context context;
    beast::tcp_stream stream(context);
    beast::error_code error;
    stream.expires_after(std::chrono::seconds(60));
    stream.connect(
        {net::ip::make_address(options.address, error), static_cast<unsigned short>(options.port)},
        error);
    if (error) {
        answer.error = error.message();
        return answer;
    }
    http::request<http::string_body> request(http::string_to_verb(method), target, 11);
    request.set(http::field::host, options.address);
    request.set(http::field::content_type, contentType);
    if (!options.token.empty()) request.set(http::field::authorization, "Bearer " + options.token);
    request.body() = body;
    request.prepare_payload();
    http::write(stream, request, error);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(64 * 1024 * 1024);
    if (!error) http::read(stream, buffer, parser, error);
    if (error) {
        answer.error = error.message();
        return answer;
    }
    answer.status = static_cast<int>(parser.get().result_int());
    answer.body = parser.get().body();
    return answer;
}

// The exit status and line for an answer that is not 200.
Failure FailureOf(const DaemonOptions& options, const Answer& answer) {
    if (answer.status == 0)
        return {kExitNoProcessor, "no daemon at " + options.address + ":" +
                                      std::to_string(options.port) + " (" + answer.error + ")"};
    const json body = json::parse(answer.body, nullptr, false);
    std::string message = body.is_object() && body.contains("error") && body["error"].is_string()
                              ? body["error"].get<std::string>()
                              : "the daemon answered " + std::to_string(answer.status);
    switch (answer.status) {
    case 400:
        return {kExitUsage, message};
    case 503:
        return {kExitNoProcessor, message};
    case 504:
        return {kExitTimeout, message};
    default:
        return {kExitFailed, message};
    }
}

int Fail(const Failure& failure) {
    std::fprintf(stderr, "fxtunectl: %s\n", failure.message.c_str());
    return failure.status;
}

int Usage(const std::string& message) {
    return Fail({kExitUsage, message});
}

bool ParseAddress(const std::string& text, DaemonOptions& options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    in_addr address{};
    if (inet_pton(AF_INET, text.substr(0, colon).c_str(), &address) != 1) return false;
    const std::string port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    options.address = text.substr(0, colon);
    options.port = std::stoi(port);
    return options.port > 0 && options.port < 65536;
}

// The token file as the daemon reads it: the write token, else the read one.
bool ReadToken(const std::string& path, std::string& token, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || (info.st_mode & 077) != 0) {
        error = "the token file " + path + " is missing or readable by others (chmod 600)";
        return false;
    }
    std::ifstream file(path);
    std::string kind, text;
    while (file >> kind >> text) {
        if (kind == "write") return token = text, true;
        if (kind == "read" && token.empty()) token = text;
    }
    if (token.empty()) error = "no token in " + path;
    return !token.empty();
}

std::string Processors(const std::string& name) {
    return "/api/v1/processors/" + name;
}

bool WholeId(const std::string& text) {
    return !text.empty() && text.size() < 19 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

int PrintSnapshots(const DaemonOptions& options, const json& body) {
    if (options.json) {
        std::printf("%s\n", body.dump(1, ' ', false, json::error_handler_t::replace).c_str());
        return kExitOk;
    }
    for (const json& snapshot : body["snapshots"])
        std::printf("%6lld  %s  %-14s %zu change%s\n", snapshot["id"].get<long long>(),
                    snapshot["time"].get<std::string>().c_str(),
                    snapshot["source"].get<std::string>().c_str(), snapshot["changes"].size(),
                    snapshot["changes"].size() == 1 ? "" : "s");
    return kExitOk;
}

int PrintSnapshot(const DaemonOptions& options, const json& body) {
    if (options.json) {
        std::printf("%s\n", body.dump(1, ' ', false, json::error_handler_t::replace).c_str());
        return kExitOk;
    }
    std::printf("snapshot %lld of %s, %s, by %s\n", body["id"].get<long long>(),
                body["processor"].get<std::string>().c_str(),
                body["time"].get<std::string>().c_str(), body["source"].get<std::string>().c_str());
    for (const json& change : body["changes"])
        std::printf("  %s\n", change.get<std::string>().c_str());
    return kExitOk;
}

int PrintDrift(const DaemonOptions& options, const json& body) {
    if (options.json) {
        std::printf("%s\n", body.dump(1, ' ', false, json::error_handler_t::replace).c_str());
        return kExitOk;
    }
    if (!body["approved"].get<bool>()) {
        std::printf("no approved preset\n");
        return kExitOk;
    }
    if (body["parameters"].empty()) std::printf("as approved\n");
    for (const json& parameter : body["parameters"])
        std::printf("%s\n", parameter.get<std::string>().c_str());
    return kExitOk;
}

// A mode file read before anything is sent; false with the status.
bool ReadModeFileBytes(const std::string& path, std::string& bytes, Failure& failure) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        failure = {kExitBadFile, "cannot read " + path};
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), {});
    if (bytes.size() != 3410) {
        failure = {kExitBadFile, path + ": not a mode file (" + std::to_string(bytes.size()) +
                                     " bytes, 3410 expected)"};
        return false;
    }
    return true;
}

int RunHistory(const DaemonOptions& options) {
    const auto& w = options.words;
    if (w.size() < 3 || w[0] != "history")
        return Usage("history takes VERB NAME ... (list, show, preset, snapshot, restore, approve, "
                     "approved, unapprove, restore-approved, drift)");
    const std::string& verb = w[1];
    const std::string base = Processors(w[2]);
    auto need = [&](size_t count) { return w.size() == count; };
    Answer answer;
    if (verb == "list") {
        std::string query = "?limit=100";
        for (size_t i = 3; i + 1 < w.size(); i += 2) {
            if (w[i] == "--since")
                query += "&since=" + w[i + 1];
            else if (w[i] == "--limit")
                query += "&limit=" + w[i + 1];
            else
                return Usage("history list NAME [--since TIME] [--limit N]");
        }
        if (w.size() % 2 == 0) return Usage("history list NAME [--since TIME] [--limit N]");
        answer = Call(options, "GET", base + "/history" + query);
        if (answer.status != 200) return Fail(FailureOf(options, answer));
        return PrintSnapshots(options, json::parse(answer.body));
    }
    if (verb == "show" || verb == "restore" || verb == "preset") {
        if (!need(verb == "preset" ? 5 : 4) || !WholeId(w[3]))
            return Usage("history " + verb + " NAME ID" + (verb == "preset" ? " FILE.mode" : ""));
        const std::string target = base + "/history/" + w[3];
        if (verb == "show") {
            answer = Call(options, "GET", target);
            if (answer.status != 200) return Fail(FailureOf(options, answer));
            return PrintSnapshot(options, json::parse(answer.body));
        }
        if (verb == "restore") {
            answer = Call(options, "POST", target + "/restore");
            if (answer.status != 200) return Fail(FailureOf(options, answer));
            std::printf("%s: snapshot %s written back\n", w[2].c_str(), w[3].c_str());
            return kExitOk;
        }
        answer = Call(options, "GET", target + "/preset");
        if (answer.status != 200) return Fail(FailureOf(options, answer));
        std::ofstream file(w[4], std::ios::binary | std::ios::trunc);
        if (!file.write(answer.body.data(), static_cast<std::streamsize>(answer.body.size())))
            return Fail({kExitFailed, "cannot write " + w[4]});
        return kExitOk;
    }
    if (verb == "snapshot" || verb == "approved" || verb == "unapprove" || verb == "drift" ||
        verb == "restore-approved") {
        if (!need(3)) return Usage("history " + verb + " NAME");
        if (verb == "snapshot")
            answer = Call(options, "POST", base + "/history");
        else if (verb == "approved")
            answer = Call(options, "GET", base + "/approved");
        else if (verb == "unapprove")
            answer = Call(options, "DELETE", base + "/approved");
        else if (verb == "drift")
            answer = Call(options, "GET", base + "/drift");
        else
            answer = Call(options, "POST", base + "/approved/restore");
        if (answer.status != 200) return Fail(FailureOf(options, answer));
        if (verb == "drift") return PrintDrift(options, json::parse(answer.body));
        if (verb == "approved") {
            const json body = json::parse(answer.body);
            if (options.json)
                std::printf("%s\n",
                            body.dump(1, ' ', false, json::error_handler_t::replace).c_str());
            else if (body["fromSnapshot"].is_null())
                std::printf("approved %s, from a file\n", body["set"].get<std::string>().c_str());
            else
                std::printf("approved %s, snapshot %lld\n", body["set"].get<std::string>().c_str(),
                            body["fromSnapshot"].get<long long>());
        }
        return kExitOk;
    }
    if (verb == "approve") {
        if (!need(4)) return Usage("history approve NAME ID|FILE.mode");
        if (WholeId(w[3])) {
            answer = Call(options, "PUT", base + "/approved",
                          json{{"snapshot", std::stoll(w[3])}}.dump());
        } else {
            std::string bytes;
            Failure failure{};
            if (!ReadModeFileBytes(w[3], bytes, failure)) return Fail(failure);
            answer = Call(options, "PUT", base + "/approved", bytes, "application/octet-stream");
        }
        if (answer.status != 200) return Fail(FailureOf(options, answer));
        return kExitOk;
    }
    return Usage("unknown history verb " + verb);
}

} // namespace

bool IsDaemonCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--daemon" || arg.rfind("--daemon=", 0) == 0) return true;
    return false;
}

int RunDaemonCommandLine(const std::vector<std::string>& args) {
    DaemonOptions options;
    std::string tokenFile;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        if (const size_t equals = arg.find('=');
            arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if ((arg == "--daemon" || arg == "--token-file") && i + 1 < args.size()) {
            value = args[++i];
        }
        if (arg == "--daemon") {
            if (!ParseAddress(value, options))
                return Usage("--daemon is ADDRESS:PORT (dotted IPv4), not " + value);
        } else if (arg == "--token-file") {
            tokenFile = value;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg.rfind("--", 0) == 0 && options.words.empty()) {
            return Usage("with --daemon only --token-file and --json go before history, not " +
                         arg);
        } else {
            options.words.push_back(args[i]);
        }
    }
    if (!tokenFile.empty()) {
        std::string error;
        if (!ReadToken(tokenFile, options.token, error)) return Fail({kExitBadFile, error});
    }
    return RunHistory(options);
}
