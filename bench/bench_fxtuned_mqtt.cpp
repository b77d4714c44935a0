// fxtuned with 64 simulated processors (one fxtune-sim --count 64) and a
// real mosquitto, all on 127.0.0.1: the broker is started here on a free
// port once every processor is connected, so the daemon's next connection
// attempt finds it. Goals:
//  - discovery: from the daemon's connection (its "online" on the
//    availability topic) until every processor's discovery configurations
//    are on the broker (<= 1 s, and every one of them there); the same after
//    Home Assistant's birth message is reported beside it;
//  - a confirmed mic level change reaches the retained state topic
//    fxtune/NAME/mic/level within 50 ms p99, counted from the PUT's answer
//    and, separately, from the publication of a command on its /set topic;
//  - the broker down costs the API nothing measurable: GET and confirmed PUT
//    p99 with the broker up and after it was killed, at the same rate
//    (goal: no more than 1 ms worse);
//  - after the broker comes back, the daemon reconnects and brings every
//    retained mic level up to date (none stale).
// Changes run at 50/s spread over the processors for 10 s per phase. Counters: discovery_ms,
// put_state_p99_ms, command_state_p99_ms, get_up_p99_ms, get_down_p99_ms, put_up_p99_ms,
// put_down_p99_ms; one line per goal on stdout.
#include "DaemonBenchSupport.h"

#include <benchmark/benchmark.h>
#include <mqtt/async_client.h>

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <set>
#include <sys/socket.h>

namespace {

using namespace bench;

constexpr int kProcessors = 64;
constexpr double kRate = 50;    // requests or commands per second
constexpr double kSeconds = 10; // of each measured phase
constexpr int kConnections = 2; // HTTP connections to the daemon, a thread each
constexpr double kDiscoveryGoalMs = 1000;
constexpr double kStateGoalMs = 50;
constexpr double kBrokerDownAllowanceMs = 1;
constexpr auto kStageLimit = std::chrono::seconds(90);

// Stops everything when a stage takes far longer than it should, so a
// stalled daemon is a line on stdout instead of a benchmark that never ends.
class Watchdog {
public:
    Watchdog() : m_thread([this] { Watch(); }) {}
    ~Watchdog() {
        m_done = true;
        m_thread.join();
    }
    void Stage(const char* name) {
        std::lock_guard lock(m_mutex);
        m_stage = name;
        m_deadline = Clock::now() + kStageLimit;
    }
    // Killed when a stage stalls; a new pid under a name replaces the old.
    void Guard(const std::string& name, pid_t pid) {
        std::lock_guard lock(m_mutex);
        m_pids[name] = pid;
    }
    void Forget(const std::string& name) {
        std::lock_guard lock(m_mutex);
        m_pids.erase(name);
    }

private:
    void Watch() {
        while (!m_done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::lock_guard lock(m_mutex);
            if (Clock::now() < m_deadline) continue;
            std::printf("STALLED: \"%s\" took more than %lld s; stopping\n", m_stage.c_str(),
                        static_cast<long long>(kStageLimit.count()));
            std::fflush(stdout);
            for (const auto& [name, pid] : m_pids) kill(pid, SIGKILL);
            std::_Exit(2);
        }
    }

    std::mutex m_mutex;
    std::string m_stage = "start";
    Clock::time_point m_deadline = Clock::now() + kStageLimit;
    std::map<std::string, pid_t> m_pids;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A mosquitto of our own on a free loopback port, anonymous, without
// persistence: each start begins with no retained messages.
class Broker {
public:
    explicit Broker(const std::string& folder) : m_folder(folder), m_port(FreeLoopbackPort()) {
        std::ofstream config(m_folder + "/mosquitto.conf");
        config << "listener " << m_port << " 127.0.0.1\n"
               << "allow_anonymous true\n"
               << "persistence false\n"
               << "user root\n" // stays who started it, to write its log; no effect unless root
               // A discovery round is over 2000 messages at once; the default
               // queue (1000 per client) would drop some on their way to us.
               << "max_queued_messages 100000\n"
               << "log_dest file " << m_folder << "/mosquitto.log\n";
        if (!config || m_port == 0) throw std::runtime_error("cannot write the broker's config");
    }
    void Start() {
        m_program = std::make_unique<Program>(
            MOSQUITTO_PATH, std::vector<std::string>{"-c", m_folder + "/mosquitto.conf"}, 0,
            m_folder + "/mosquitto.err");
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!Accepts(m_port)) {
            if (Clock::now() > deadline || !m_program->Running())
                throw std::runtime_error("mosquitto did not start; see " + m_folder);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // As a crash would: no goodbye to anyone.
    void Kill() {
        kill(m_program->Pid(), SIGKILL);
        m_program.reset();
    }
    int Port() const { return m_port; }
    pid_t Pid() const { return m_program ? m_program->Pid() : -1; }

private:
    std::string m_folder;
    int m_port;
    std::unique_ptr<Program> m_program;
};

struct Message {
    std::string topic;
    std::string payload;
    bool retained = false; // sent from the broker's store, not as it was published
    Clock::time_point at;
};

// Our own clients on the broker, as Home Assistant's would be: one records
// every message it receives, with the time it came; the other publishes
// commands. (A Paho client that receives QoS 1 messages sends its own QoS 1
// publications tens of milliseconds late, so one client for both would time
// itself.)
class BrokerWatch {
public:
    BrokerWatch(int port, const std::vector<std::string>& filters)
        : m_client(Client(port, "fxtune-bench-watch")),
          m_publisher(Client(port, "fxtune-bench-commands")) {
        m_client->set_message_callback([this](mqtt::const_message_ptr message) {
            const auto at = Clock::now();
            std::lock_guard lock(m_mutex);
            m_messages.push_back(
                {message->get_topic(), message->to_string(), message->is_retained(), at});
        });
        try {
            Connect(*m_client);
            Connect(*m_publisher);
            for (const std::string& filter : filters)
                if (!m_client->subscribe(filter, 1)->wait_for(std::chrono::seconds(5)))
                    throw std::runtime_error("the bench cannot subscribe to " + filter);
        } catch (const mqtt::exception& error) {
            throw std::runtime_error(std::string("the bench's MQTT client: ") + error.what());
        }
    }
    ~BrokerWatch() {
        for (auto* client : {m_publisher.get(), m_client.get()}) try {
                if (client->is_connected()) client->disconnect()->wait_for(std::chrono::seconds(2));
            } catch (const mqtt::exception&) {
            }
        m_client.reset(); // its threads call the handler until it is gone
    }
    BrokerWatch(const BrokerWatch&) = delete;
    BrokerWatch& operator=(const BrokerWatch&) = delete;

    void Publish(const std::string& topic, const std::string& payload) {
        m_publisher->publish(topic, payload.data(), payload.size(), 1, false);
    }
    std::vector<Message> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    size_t CountWithPrefix(const std::string& prefix) {
        std::lock_guard lock(m_mutex);
        return static_cast<size_t>(
            std::count_if(m_messages.begin(), m_messages.end(), [&](const Message& message) {
                return message.topic.rfind(prefix, 0) == 0;
            }));
    }
    std::optional<Message> WaitFor(const std::string& topic, const std::string& payload,
                                   std::chrono::seconds limit) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            {
                std::lock_guard lock(m_mutex);
                for (const Message& message : m_messages)
                    if (message.topic == topic && message.payload == payload) return message;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return std::nullopt;
    }
    // Waits until no message with this prefix came for `quiet`.
    void WaitQuiet(const std::string& prefix, std::chrono::milliseconds quiet) {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        size_t seen = CountWithPrefix(prefix);
        auto changed = Clock::now();
        while (Clock::now() < deadline && Clock::now() - changed < quiet) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const size_t now = CountWithPrefix(prefix);
            if (now != seen) seen = now, changed = Clock::now();
        }
    }

private:
    static std::unique_ptr<mqtt::async_client> Client(int port, const std::string& id) {
        return std::make_unique<mqtt::async_client>("tcp://127.0.0.1:" + std::to_string(port), id,
                                                    nullptr);
    }
    static void Connect(mqtt::async_client& client) {
        mqtt::connect_options options;
        options.set_clean_session(true);
        options.set_connect_timeout(5);
        if (!client.connect(options)->wait_for(std::chrono::seconds(5)))
            throw std::runtime_error("the bench cannot connect to its broker");
    }

    std::unique_ptr<mqtt::async_client> m_client;
    std::unique_ptr<mqtt::async_client> m_publisher;
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};

std::string MicStateTopic(const std::string& processor) {
    return "fxtune/" + processor + "/mic/level";
}

// How long after `from` the discovery configurations of every processor
// were on the broker: each configuration topic counts from the first arrival
// of its last payload (a processor's configurations change once its identity
// is read), so a round that publishes some of them twice counts its end.
struct Discovery {
    double ms = 0;
    size_t configsPerProcessor = 0;
    int processorsComplete = 0;
    std::string short_; // the processors with fewer, and how many they had
};

Discovery DiscoveryAfter(const std::vector<Message>& messages, Clock::time_point from) {
    std::set<std::string> nodes;
    for (int i = 0; i < kProcessors; ++i) nodes.insert("fxtune_" + Name(i));
    std::map<std::string, std::vector<const Message*>> byTopic;
    for (const Message& message : messages) {
        if (message.at < from || message.retained) continue;
        if (message.topic.rfind("homeassistant/", 0) != 0 || message.topic.size() < 7 ||
            message.topic.compare(message.topic.size() - 7, 7, "/config") != 0)
            continue;
        byTopic[message.topic].push_back(&message);
    }
    std::map<std::string, size_t> configsOfNode;
    Clock::time_point end = from;
    for (const auto& [topic, arrivals] : byTopic) {
        // homeassistant/COMPONENT/NODE/KEY/config
        const size_t second = topic.find('/', topic.find('/') + 1);
        const std::string node = topic.substr(second + 1, topic.find('/', second + 1) - second - 1);
        const std::string& last = arrivals.back()->payload;
        if (!nodes.count(node) || last.empty()) continue;
        ++configsOfNode[node];
        for (const Message* arrival : arrivals)
            if (arrival->payload == last) {
                end = std::max(end, arrival->at);
                break;
            }
    }
    Discovery discovery;
    for (const auto& [node, count] : configsOfNode)
        discovery.configsPerProcessor = std::max(discovery.configsPerProcessor, count);
    for (const auto& [node, count] : configsOfNode)
        if (count == discovery.configsPerProcessor)
            ++discovery.processorsComplete;
        else
            discovery.short_ += " " + node + ":" + std::to_string(count);
    if (configsOfNode.size() < nodes.size())
        discovery.short_ +=
            " " + std::to_string(nodes.size() - configsOfNode.size()) + " with none";
    discovery.ms = MsBetween(from, end);
    return discovery;
}

std::string DiscoveryText(const Discovery& discovery) {
    return std::to_string(discovery.processorsComplete) + "/" + std::to_string(kProcessors) +
           " processors with all " + std::to_string(discovery.configsPerProcessor) +
           " configurations" + (discovery.short_.empty() ? "" : ";" + discovery.short_);
}

// A change sent, and when: `sent` as it left, `answered` when the daemon
// confirmed it (the same for an MQTT command, which has no answer).
struct Change {
    std::string topic;
    std::string value;
    Clock::time_point sent;
    Clock::time_point answered;
};

// From each change's answer until its value was on its state topic (the
// first such message after it was sent); those that never came are failures.
Phase StateLags(const std::vector<Change>& changes, const std::vector<Message>& messages) {
    std::map<std::string, std::vector<const Message*>> byTopic;
    for (const Message& message : messages) byTopic[message.topic].push_back(&message);
    Phase lags;
    for (const Change& change : changes) {
        const Message* found = nullptr;
        for (const Message* message : byTopic[change.topic])
            if (message->at >= change.sent && message->payload == change.value) {
                found = message;
                break;
            }
        if (found)
            lags.latenciesMs.push_back(std::max(0.0, MsBetween(change.answered, found->at)));
        else
            ++lags.failures;
    }
    return lags;
}

// The last value each processor's mic level was set to, by the changes'
// order of sending.
std::map<std::string, std::string> LastValues(std::vector<Change> changes) {
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.sent < b.sent; });
    std::map<std::string, std::string> last;
    for (const Change& change : changes) last[change.topic] = change.value;
    return last;
}

// Gets of one processor each, spread over all of them.
Phase Gets(int port) {
    return AtConstantRate(kConnections, kRate, kSeconds, [port](int) {
        return [client = std::make_shared<HttpClient>(port)](int index) {
            std::string body;
            return client->Send(http::verb::get, "/api/v1/processors/" + Name(index % kProcessors),
                                "", body) == 200;
        };
    });
}

// Confirmed mic level changes by PUT, spread over the processors: a
// processor's n-th change sets base + n, so each is a change and names its
// state message. Those answered 200 are added to `changes`.
Phase Puts(int port, int base, std::vector<Change>& changes) {
    std::mutex mutex;
    Phase phase = AtConstantRate(kConnections, kRate, kSeconds, [&](int) {
        return [&, client = std::make_shared<HttpClient>(port)](int index) {
            const std::string name = Name(index % kProcessors);
            const std::string value = std::to_string(base + index / kProcessors);
            const auto sent = Clock::now();
            std::string body;
            const bool ok =
                client->Send(http::verb::put, "/api/v1/processors/" + name + "/levels/mic",
                             "{\"value\":" + value + "}", body) == 200;
            const auto answered = Clock::now();
            std::lock_guard lock(mutex);
            if (ok) changes.push_back({MicStateTopic(name), value, sent, answered});
            return ok;
        };
    });
    return phase;
}

// The same changes as commands on the mic level's /set topic.
void Commands(BrokerWatch& watch, int base, std::vector<Change>& changes) {
    std::mutex mutex;
    AtConstantRate(1, kRate, kSeconds, [&](int) {
        return [&](int index) {
            const std::string name = Name(index % kProcessors);
            const std::string value = std::to_string(base + index / kProcessors);
            const auto sent = Clock::now();
            watch.Publish(MicStateTopic(name) + "/set", value);
            std::lock_guard lock(mutex);
            changes.push_back({MicStateTopic(name), value, sent, sent});
            return true;
        };
    });
}

// The daemon's fxtuned_mqtt_* figures from /metrics, on one line.
std::string MqttMetrics(int port) {
    HttpClient client(port);
    std::string body;
    if (client.Send(http::verb::get, "/metrics", "", body) != 200) return "no /metrics";
    std::istringstream lines(body);
    std::string line, figures;
    while (std::getline(lines, line))
        if (line.rfind("fxtuned_mqtt_", 0) == 0)
            figures += (figures.empty() ? "" : ", ") + line.substr(13);
    return figures;
}

// The figure of one fxtuned_mqtt_ counter (its name without the prefix).
long MqttCounter(int port, const std::string& name) {
    const std::string figures = MqttMetrics(port);
    const size_t at = figures.find(name + " ");
    return at == std::string::npos ? -1 : std::atol(figures.c_str() + at + name.size() + 1);
}

// Waits until another of the daemon's connection attempts has failed, and at
// least three so far, so its next one is at least 2 s away: a broker started
// now has our subscription before the daemon comes.
void WaitForFailedAttempt(int port) {
    const long failures = MqttCounter(port, "connect_failures_total");
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
        const long now = MqttCounter(port, "connect_failures_total");
        if (now > failures && now >= 3) return;
        if (Clock::now() > deadline)
            throw std::runtime_error("fxtuned did not try to connect for 60 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string HowOf(const Phase& phase) {
    return std::to_string(static_cast<int>(kRate)) + "/s, " + Spread(phase.latenciesMs) + ", " +
           std::to_string(phase.latenciesMs.size()) + " sent, " + std::to_string(phase.failures) +
           " failed";
}

std::string LagsHow(const Phase& lags) {
    return Spread(lags.latenciesMs) + ", " + std::to_string(lags.latenciesMs.size()) +
           " changes, " + std::to_string(lags.failures) + " without their state";
}

void Measure(benchmark::State& state, const std::string& folder) {
    Watchdog watchdog;
    watchdog.Stage("starting the processors and the daemon");
    Program sims(FXTUNE_SIM_PATH, {"--count", std::to_string(kProcessors), "--port", "0"},
                 kProcessors);
    watchdog.Guard("fxtune-sim", sims.Pid());
    Broker broker(folder);
    std::vector<std::string> arguments = {"--listen",
                                          "127.0.0.1:0",
                                          "--mqtt",
                                          "127.0.0.1:" + std::to_string(broker.Port()),
                                          "--state-directory",
                                          folder + "/state"};
    for (const std::string& argument : ProcessorArguments(sims, kProcessors))
        arguments.push_back(argument);
    const std::string daemonLog = folder + "/fxtuned.err";
    Program daemon(FXTUNED_PATH, arguments, 1, daemonLog);
    watchdog.Guard("fxtuned", daemon.Pid());
    WaitAllConnected(daemon.Port());
    auto checkAlive = [&](const char* during) {
        if (!daemon.Running())
            throw std::runtime_error(std::string("fxtuned ended during ") + during + "; see " +
                                     daemonLog);
    };

    Discovery onConnection, onBirth;
    Phase getUp, putUp, getDown, putDown, putLags, commandLags, commandEchoes;
    std::vector<Change> putChanges, commandChanges, downChanges;
    double reconnectSeconds = -1;
    int statesCurrent = 0;
    std::string staleStates;
    std::vector<double> rssMb;
    std::string metricsWhileDown;
    for (auto _ : state) {
        const auto started = Clock::now();
        watchdog.Stage("discovery on connection");
        WaitForFailedAttempt(daemon.Port());
        broker.Start();
        watchdog.Guard("mosquitto", broker.Pid());
        auto watch = std::make_unique<BrokerWatch>(
            broker.Port(), std::vector<std::string>{"homeassistant/#", "fxtune/#"});
        const auto online =
            watch->WaitFor("fxtune/availability", "online", std::chrono::seconds(45));
        if (!online) throw std::runtime_error("fxtuned did not connect to the broker");
        if (online->retained)
            throw std::runtime_error("fxtuned connected before the bench subscribed; run again");
        watch->WaitQuiet("homeassistant/", std::chrono::seconds(1));
        onConnection = DiscoveryAfter(watch->Messages(), online->at);
        checkAlive("discovery");
        rssMb.push_back(ResidentMegabytesOf(daemon.Pid()));

        watchdog.Stage("discovery on Home Assistant's birth");
        const auto birth = Clock::now();
        watch->Publish("homeassistant/status", "online");
        watch->WaitQuiet("homeassistant/", std::chrono::seconds(1));
        onBirth = DiscoveryAfter(watch->Messages(), birth);

        watchdog.Stage("GET and PUT with the broker up");
        getUp = Gets(daemon.Port());
        putUp = Puts(daemon.Port(), 10, putChanges);
        watchdog.Stage("commands with the broker up");
        Commands(*watch, 30, commandChanges);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::vector<Message> upMessages = watch->Messages();
        putLags = StateLags(putChanges, upMessages);
        commandLags = StateLags(commandChanges, upMessages);
        std::vector<Change> echoes = commandChanges;
        for (Change& echo : echoes) echo.topic += "/set";
        commandEchoes = StateLags(echoes, upMessages);
        checkAlive("the changes with the broker up");
        rssMb.push_back(ResidentMegabytesOf(daemon.Pid()));

        watchdog.Stage("GET and PUT with the broker down");
        watch.reset();
        watchdog.Forget("mosquitto");
        broker.Kill();
        getDown = Gets(daemon.Port());
        putDown = Puts(daemon.Port(), 50, downChanges);
        metricsWhileDown = MqttMetrics(daemon.Port());
        checkAlive("the changes with the broker down");
        rssMb.push_back(ResidentMegabytesOf(daemon.Pid()));

        watchdog.Stage("reconnection");
        const auto restarted = Clock::now();
        broker.Start();
        watchdog.Guard("mosquitto", broker.Pid());
        watch = std::make_unique<BrokerWatch>(
            broker.Port(), std::vector<std::string>{"fxtune/availability", "fxtune/+/mic/level"});
        const auto back = watch->WaitFor("fxtune/availability", "online", std::chrono::seconds(45));
        if (back) reconnectSeconds = MsBetween(restarted, back->at) / 1000;
        watch->WaitQuiet("fxtune/", std::chrono::seconds(1));
        std::map<std::string, std::string> latest;
        for (const Message& message : watch->Messages()) latest[message.topic] = message.payload;
        for (const auto& [topic, value] : LastValues(downChanges))
            if (latest[topic] == value)
                ++statesCurrent;
            else if (staleStates.size() < 200)
                staleStates += " " + topic + " " + latest[topic] + " not " + value;
        checkAlive("the reconnection");
        rssMb.push_back(ResidentMegabytesOf(daemon.Pid()));
        watch.reset();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
    watchdog.Stage("the report");

    Goal("discovery of 64 processors on connection", onConnection.ms, "ms", kDiscoveryGoalMs,
         DiscoveryText(onConnection) + ", from its online message",
         onConnection.processorsComplete == kProcessors);
    std::printf("discovery again on Home Assistant's birth: %.3f ms (%s)\n", onBirth.ms,
                DiscoveryText(onBirth).c_str());
    Goal("state topic after a confirmed PUT p99", Percentile(putLags.latenciesMs, 0.99), "ms",
         kStateGoalMs, "from the PUT's 200, " + LagsHow(putLags));
    Goal("state topic after an MQTT command p99", Percentile(commandLags.latenciesMs, 0.99), "ms",
         kStateGoalMs, "from its publication, " + LagsHow(commandLags));
    std::printf("a command back at the bench's own subscription p99: %.3f ms (%s)\n",
                Percentile(commandEchoes.latenciesMs, 0.99), LagsHow(commandEchoes).c_str());
    const double getUpP99 = Percentile(getUp.latenciesMs, 0.99);
    const double getDownP99 = Percentile(getDown.latenciesMs, 0.99);
    const double putUpP99 = Percentile(putUp.latenciesMs, 0.99);
    const double putDownP99 = Percentile(putDown.latenciesMs, 0.99);
    std::printf("GET one processor p99: broker up %.3f ms (%s); down %.3f ms (%s)\n", getUpP99,
                HowOf(getUp).c_str(), getDownP99, HowOf(getDown).c_str());
    std::printf("confirmed PUT levels/mic p99: broker up %.3f ms (%s); down %.3f ms (%s)\n",
                putUpP99, HowOf(putUp).c_str(), putDownP99, HowOf(putDown).c_str());
    Goal("GET p99, broker down minus up", getDownP99 - getUpP99, "ms", kBrokerDownAllowanceMs,
         "broker killed");
    Goal("confirmed PUT p99, broker down minus up", putDownP99 - putUpP99, "ms",
         kBrokerDownAllowanceMs, "broker killed");
    std::printf("while the broker was down: %s\n", metricsWhileDown.c_str());
    Goal("mic levels stale after the broker came back", kProcessors - statesCurrent, "", 0,
         "of " + std::to_string(kProcessors) +
             " set while it was down; fxtuned online again after " +
             std::to_string(reconnectSeconds).substr(0, 4) + " s");
    std::printf("fxtuned resident %.1f / %.1f / %.1f / %.1f MB (after discovery, broker up, "
                "down, back)\n",
                rssMb[0], rssMb[1], rssMb[2], rssMb[3]);
    if (!staleStates.empty())
        std::printf("stale after the broker came back:%s\n", staleStates.c_str());
    std::fflush(stdout);

    state.counters["discovery_ms"] = onConnection.ms;
    state.counters["put_state_p99_ms"] = Percentile(putLags.latenciesMs, 0.99);
    state.counters["command_state_p99_ms"] = Percentile(commandLags.latenciesMs, 0.99);
    state.counters["get_up_p99_ms"] = getUpP99;
    state.counters["get_down_p99_ms"] = getDownP99;
    state.counters["put_up_p99_ms"] = putUpP99;
    state.counters["put_down_p99_ms"] = putDownP99;
    state.counters["failed"] = getUp.failures + putUp.failures + getDown.failures +
                               putDown.failures + putLags.failures + commandLags.failures;
}

// A failure still stops the programs started (their destructors run) and
// keeps the logs; a run that went through leaves nothing behind.
void BM_DaemonMqttWithSixtyFourProcessors(benchmark::State& state) {
    char folder[] = "/tmp/fxtune-bench-mqtt-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("cannot make a folder");
        return;
    }
    try {
        Measure(state, folder);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    } catch (const std::exception& error) {
        state.SkipWithError((std::string(error.what()) + " (logs in " + folder + ")").c_str());
    }
}
BENCHMARK(BM_DaemonMqttWithSixtyFourProcessors)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
