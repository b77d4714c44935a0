#pragma once

// What the daemon's benchmarks share: programs started on free loopback
// ports, a keep-alive HTTP client, requests at a constant rate and one line
// per goal on stdout. Everything talks to 127.0.0.1 only.

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

// A program on free loopback ports, stopped (SIGTERM) when it goes; the
// ports are those of its first `lines` "listening on 127.0.0.1:PORT" lines.
// Its standard error goes to `errorFile` (kept for a look after a failure),
// else nowhere.
class Program {
public:
    Program(const char* path, std::vector<std::string> arguments, int lines,
            const std::string& errorFile = "/dev/null") {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        arguments.insert(arguments.begin(), path);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int failed = posix_spawn(&m_pid, path, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (failed != 0) throw std::runtime_error(std::string("cannot start ") + path);
        std::string line;
        char c = 0;
        while (static_cast<int>(m_ports.size()) < lines && read(out[0], &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line.rfind("listening on ", 0) == 0)
                m_ports.push_back(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
            line.clear();
        }
        m_out = out[0];
        if (static_cast<int>(m_ports.size()) != lines)
            throw std::runtime_error(std::string(path) + " did not start listening");
    }
    ~Program() {
        if (!m_ended) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    int Port(int index = 0) const { return m_ports[static_cast<size_t>(index)]; }
    pid_t Pid() const { return m_pid; }
    // Whether it still runs; a program that ended is reaped here (and its
    // id, free again, is signalled no more).
    bool Running() {
        int status = 0;
        if (!m_ended && waitpid(m_pid, &status, WNOHANG) == m_pid) m_ended = true;
        return !m_ended;
    }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_out = -1;
    std::vector<int> m_ports;
};

// One keep-alive HTTP connection to the daemon.
class HttpClient {
public:
    explicit HttpClient(int port) : m_stream(m_context) {
        m_stream.connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
        m_stream.socket().set_option(tcp::no_delay(true));
    }
    // The status; the body in `body`.
    int Send(http::verb method, const std::string& target, const std::string& payload,
             std::string& body) {
        http::request<http::string_body> request(method, target, 11);
        request.set(http::field::host, "127.0.0.1");
        if (!payload.empty()) {
            request.set(http::field::content_type, "application/json");
            request.body() = payload;
        }
        request.prepare_payload();
        http::write(m_stream, request);
        http::response<http::string_body> response;
        http::read(m_stream, m_buffer, response);
        body = std::move(response.body());
        return static_cast<int>(response.result_int());
    }

    // The body of a request that must answer 200.
    std::string Expect(http::verb method, const std::string& target,
                       const std::string& payload = {}) {
        std::string body;
        const int status = Send(method, target, payload, body);
        if (status != 200)
            throw std::runtime_error(std::string(http::to_string(method)) + " " + target + ": " +
                                     std::to_string(status) + " " + body);
        return body;
    }

private:
    net::io_context m_context;
    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
};

inline double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

inline double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Phase {
    std::vector<double> latenciesMs;
    int failures = 0;
};

// `workers` threads share `rate` requests per second for `seconds`: worker w
// sends request k * workers + w when it is due. Each worker first makes its
// sender (on its own thread); the sender returns false for a failed request.
// Latencies run from the moment a request was due, so a late start counts.
inline Phase AtConstantRate(int workers, double rate, double seconds,
                            const std::function<std::function<bool(int)>(int worker)>& makeSender) {
    const int total = static_cast<int>(rate * seconds);
    std::vector<Phase> parts(static_cast<size_t>(workers));
    std::vector<std::function<bool(int)>> senders(static_cast<size_t>(workers));
    for (int w = 0; w < workers; ++w) senders[static_cast<size_t>(w)] = makeSender(w);
    const auto start = Clock::now() + std::chrono::milliseconds(50);
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&, w] {
            Phase& part = parts[static_cast<size_t>(w)];
            for (int index = w; index < total; index += workers) {
                const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(index / rate));
                std::this_thread::sleep_until(due);
                if (!senders[static_cast<size_t>(w)](index)) ++part.failures;
                part.latenciesMs.push_back(MsBetween(due, Clock::now()));
            }
        });
    for (auto& thread : threads) thread.join();
    Phase all;
    for (const Phase& part : parts) {
        all.latenciesMs.insert(all.latenciesMs.end(), part.latenciesMs.begin(),
                               part.latenciesMs.end());
        all.failures += part.failures;
    }
    return all;
}

// The daemon's name of simulated processor `processor`: p00, p01, ...
inline std::string Name(int processor) {
    char name[16];
    std::snprintf(name, sizeof name, "p%02d", processor);
    return name;
}

// The daemon's arguments for `count` processors, one on each port of `sims`.
inline std::vector<std::string> ProcessorArguments(const Program& sims, int count) {
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back("--processor");
        arguments.push_back(Name(i) + "=127.0.0.1:" + std::to_string(sims.Port(i)));
    }
    return arguments;
}

// Waits (up to 60 s) until the daemon says every processor is connected.
inline void WaitAllConnected(HttpClient& client) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
        std::string body;
        std::string offline = "no answer";
        if (client.Send(http::verb::get, "/api/v1/processors", "", body) == 200) {
            offline.clear();
            for (const json& processor : json::parse(body)["processors"])
                if (!processor["connected"].get<bool>())
                    offline += " " + processor["name"].get<std::string>() + " (" +
                               processor["offlineReason"].get<std::string>() + ")";
            if (offline.empty()) return;
        }
        if (Clock::now() > deadline)
            throw std::runtime_error("the processors did not connect:" + offline);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

inline void WaitAllConnected(int port) {
    HttpClient client(port);
    WaitAllConnected(client);
}

// Field `number` (14 utime, 15 stime, 24 rss, ...) of /proc/PID/stat.
inline unsigned long long ProcStatField(pid_t pid, int number) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (text.empty()) return 0;
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    // After the name the state is field 3.
    for (int at = 3; at <= number && fields >> field; ++at)
        if (at == number) return std::stoull(field);
    return 0;
}

inline double CpuSecondsOf(pid_t pid) {
    return static_cast<double>(ProcStatField(pid, 14) + ProcStatField(pid, 15)) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline double ResidentMegabytesOf(pid_t pid) {
    return static_cast<double>(ProcStatField(pid, 24)) *
           static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One goal's line; a figure that is not `valid` (measured on incomplete
// results) does not meet its goal whatever it is.
inline void Goal(const char* what, double value, const char* unit, double goal,
                 const std::string& how, bool valid = true) {
    std::printf("%-44s %8.3f %-3s goal <= %.3f %s (%s): %s\n", what, value, unit, goal, unit,
                how.c_str(), valid && value <= goal ? "met" : "NOT MET");
    std::fflush(stdout);
}

// "p50 1.234 ms, p90 ..." of a list of latencies.
inline std::string Spread(const std::vector<double>& latenciesMs) {
    char text[96];
    std::snprintf(text, sizeof text, "p50 %.3f ms, p90 %.3f ms, max %.3f ms",
                  Percentile(latenciesMs, 0.5), Percentile(latenciesMs, 0.9),
                  latenciesMs.empty() ? 0.0
                                      : *std::max_element(latenciesMs.begin(), latenciesMs.end()));
    return text;
}

} // namespace bench
