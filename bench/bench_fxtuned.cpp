// fxtuned with 64 simulated processors (one fxtune-sim --count 64 beside it),
// everything on 127.0.0.1. At 500 requests/s offered at a constant rate over
// a few keep-alive connections, spread over the 64 processors: GET of one
// processor (goal p99 <= 2 ms) and a confirmed level change by PUT (goal p99
// <= the processor's own reply time + 2 ms, that reply time measured the same
// way straight against simulated processors of the same kind); how long after
// the PUT's answer its event reaches a WebSocket subscriber (goal p99 <=
// 10 ms); and the idle daemon's processor time (goal < 1 % of one core).
// Latencies run from the moment a request was due, so a late start counts.
// Counters: get_p99_ms, put_p99_ms, reply_p99_ms, event_p99_ms,
// idle_cpu_percent; one line per goal on stdout.
#include "DaemonBenchSupport.h"

#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyWatch.h"
#include "state/ParamImage.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <benchmark/benchmark.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace bench;
namespace websocket = boost::beast::websocket;

constexpr int kProcessors = 64;
constexpr int kReferenceProcessors = 8;
constexpr double kRate = 500;   // requests per second offered
constexpr double kSeconds = 10; // of each measured phase
constexpr int kConnections = 4; // to the daemon, each on a thread of its own
constexpr int kMicBlock = 1;    // the mic level, as PUT levels/mic sets it
constexpr int kMicParameter = 14;
constexpr double kIdleSeconds = 10;

// The event stream, read on a thread of its own: when each (processor, mic
// value) first arrived.
class EventSubscriber {
public:
    explicit EventSubscriber(int port) : m_socket(m_context) {
        m_socket.next_layer().connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
        m_socket.next_layer().set_option(tcp::no_delay(true));
        m_socket.handshake("127.0.0.1", "/api/v1/events");
        beast::flat_buffer buffer;
        m_socket.read(buffer);
        if (json::parse(beast::buffers_to_string(buffer.data()))["type"] != "ready")
            throw std::runtime_error("the event stream did not begin with ready");
        m_thread = std::thread([this] { Read(); });
    }
    ~EventSubscriber() {
        ::shutdown(m_socket.next_layer().native_handle(), SHUT_RDWR);
        m_thread.join();
    }
    std::map<std::pair<std::string, int>, Clock::time_point> Arrivals() {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }

private:
    void Read() {
        beast::flat_buffer buffer;
        beast::error_code error;
        for (;;) {
            m_socket.read(buffer, error);
            if (error) return;
            const auto arrived = Clock::now();
            const json event = json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
            buffer.consume(buffer.size());
            if (!event.is_object() || !event.contains("state")) continue;
            const std::string processor = event.value("processor", "");
            const int mic = event["state"]["levels"]["mic"]["value"].get<int>();
            std::lock_guard lock(m_mutex);
            m_arrivals.emplace(std::make_pair(processor, mic), arrived);
        }
    }

    net::io_context m_context;
    websocket::stream<tcp::socket> m_socket;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::pair<std::string, int>, Clock::time_point> m_arrivals;
};

// The processor's own reply time: confirmed mic level changes straight to
// simulated processors of the same kind, at the same rate over as many
// threads, each thread with its own processor objects.
Phase ReplyTimeOfProcessors() {
    Program sims(FXTUNE_SIM_PATH, {"--count", std::to_string(kReferenceProcessors), "--port", "0"},
                 kReferenceProcessors);
    std::vector<std::unique_ptr<fx::Processor>> processors;
    for (int i = 0; i < kReferenceProcessors; ++i) {
        processors.push_back(std::make_unique<fx::Processor>());
        fx::ProcessorScope scope(*processors.back());
        g_bNetMode() = true;
        if (NetConnect("127.0.0.1", sims.Port(i)) != 1) throw std::runtime_error("cannot connect");
        StartDelayedRead();
        JoinSyncJobs();
        if (!LastReadResult().Completed()) throw std::runtime_error("the read failed");
    }
    constexpr int perWorker = kReferenceProcessors / kConnections;
    const Phase phase = AtConstantRate(kConnections, kRate, kSeconds, [&](int worker) {
        return [&processors, worker](int index) {
            const int which = worker * perWorker + (index / kConnections) % perWorker;
            fx::ProcessorScope scope(*processors[static_cast<size_t>(which)]);
            const int value = (index / kConnections / perWorker) % 2 == 0 ? 40 : 41;
            return static_cast<bool>(fx::SendConfirmed(
                1, [value] { SetDspParam(kMicBlock, kMicParameter, value); }, kReplyWaitMs));
        };
    });
    for (auto& processor : processors) {
        fx::ProcessorScope scope(*processor);
        NetDisconnect(true);
    }
    return phase;
}

void Measure(benchmark::State& state) {
    const Phase reply = ReplyTimeOfProcessors();

    Program sims(FXTUNE_SIM_PATH, {"--count", std::to_string(kProcessors), "--port", "0"},
                 kProcessors);
    std::vector<std::string> arguments = {"--listen", "127.0.0.1:0"};
    for (int i = 0; i < kProcessors; ++i) {
        arguments.push_back("--processor");
        arguments.push_back(Name(i) + "=127.0.0.1:" + std::to_string(sims.Port(i)));
    }
    Program daemon(FXTUNED_PATH, arguments, 1);
    WaitAllConnected(daemon.Port());

    Phase get, put;
    std::vector<std::pair<std::pair<std::string, int>, Clock::time_point>> answered;
    std::map<std::pair<std::string, int>, Clock::time_point> arrivals;
    std::mutex answeredMutex;
    for (auto _ : state) {
        const auto started = Clock::now();
        get = AtConstantRate(kConnections, kRate, kSeconds, [&](int) {
            return [client = std::make_shared<HttpClient>(daemon.Port())](int index) {
                std::string body;
                return client->Send(http::verb::get,
                                    "/api/v1/processors/" + Name(index % kProcessors), "",
                                    body) == 200;
            };
        });
        EventSubscriber events(daemon.Port());
        put = AtConstantRate(kConnections, kRate, kSeconds, [&](int) {
            return [&, client = std::make_shared<HttpClient>(daemon.Port())](int index) {
                const std::string name = Name(index % kProcessors);
                // Each PUT to a processor sets another value than its last, so
                // each makes an event, named by (processor, value): fewer
                // than 99 go to one processor.
                const int value = (index / kProcessors) % 99;
                std::string body;
                const bool ok =
                    client->Send(http::verb::put, "/api/v1/processors/" + name + "/levels/mic",
                                 "{\"value\":" + std::to_string(value) + "}", body) == 200;
                const auto at = Clock::now();
                std::lock_guard lock(answeredMutex);
                answered.push_back({{name, value}, at});
                return ok;
            };
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        arrivals = events.Arrivals();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }

    std::vector<double> eventLagMs;
    int missing = 0;
    for (const auto& [key, at] : answered) {
        const auto found = arrivals.find(key);
        if (found == arrivals.end()) {
            ++missing;
            continue;
        }
        eventLagMs.push_back(
            std::max(0.0, std::chrono::duration<double, std::milli>(found->second - at).count()));
    }

    // Idle: connected, nobody asking.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpuBefore = CpuSecondsOf(daemon.Pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    const double idlePercent = 100.0 * (CpuSecondsOf(daemon.Pid()) - cpuBefore) / kIdleSeconds;

    const double replyP99 = Percentile(reply.latenciesMs, 0.99);
    const std::string rate = std::to_string(static_cast<int>(kRate)) + "/s";
    auto how = [&](const Phase& phase, int connections) {
        return rate + " over " + std::to_string(connections) + ", p50 " +
               std::to_string(Percentile(phase.latenciesMs, 0.5)).substr(0, 5) + " ms, " +
               std::to_string(phase.latenciesMs.size()) + " sent, " +
               std::to_string(phase.failures) + " failed";
    };
    std::printf("processor reply p99 %.3f ms (%s, straight to %d simulated processors)\n", replyP99,
                how(reply, kConnections).c_str(), kReferenceProcessors);
    Goal("GET one processor p99", Percentile(get.latenciesMs, 0.99), "ms", 2.0,
         how(get, kConnections));
    Goal("confirmed PUT levels/mic p99", Percentile(put.latenciesMs, 0.99), "ms", replyP99 + 2.0,
         how(put, kConnections) + ", goal = reply p99 + 2 ms");
    Goal("event after the PUT's answer p99", Percentile(eventLagMs, 0.99), "ms", 10.0,
         "p50 " + std::to_string(Percentile(eventLagMs, 0.5)).substr(0, 5) + " ms, p90 " +
             std::to_string(Percentile(eventLagMs, 0.9)).substr(0, 5) + " ms, " +
             std::to_string(eventLagMs.size()) + " events, " + std::to_string(missing) +
             " PUTs without one");
    Goal("idle daemon CPU", idlePercent, "%", 1.0,
         "of one core over " + std::to_string(static_cast<int>(kIdleSeconds)) + " s");

    state.counters["reply_p99_ms"] = replyP99;
    state.counters["get_p99_ms"] = Percentile(get.latenciesMs, 0.99);
    state.counters["put_p99_ms"] = Percentile(put.latenciesMs, 0.99);
    state.counters["event_p99_ms"] = Percentile(eventLagMs, 0.99);
    state.counters["idle_cpu_percent"] = idlePercent;
    state.counters["failed"] = get.failures + put.failures + reply.failures + missing;
}
// A failure still stops the programs started (their destructors run).
void BM_DaemonWithSixtyFourProcessors(benchmark::State& state) {
    try {
        Measure(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_DaemonWithSixtyFourProcessors)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
