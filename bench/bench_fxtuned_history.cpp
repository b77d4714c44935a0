// fxtuned's history under load: 64 simulated processors (one fxtune-sim
// --count 64 beside it), the daemon keeping its history in a SQLite file of
// the benchmark's own, everything on 127.0.0.1.
//
// For N minutes (10; FX_HISTORY_BENCH_MINUTES or --minutes=N to shorten)
// every processor's mic level is changed once a second, the changes spread
// evenly (64 PUTs/s). Then, for N/2 minutes, each change is
// followed by a snapshot request, so that the history writes 64 snapshots/s.
// Goals: the history threads' processor time ("fx-history-db", the store's
// writer, and "fx-history", the daemon's settle thread, read from
// /proc/PID/task) < 5 % of one core in either phase; the newest 100
// snapshots of a processor listed (GET .../history?limit=100) p99 <= 20 ms;
// the drift of all 64 processors <= 50 ms, both as the API gives it (GET
// .../drift of each) and as the store computes it (HistoryStore::Drift of
// each, in this process on the daemon's database once it stopped). The
// database's growth per snapshot is reported (no goal).
// Counters: history_cpu_percent, burst_cpu_percent, bytes_per_snapshot,
// list_p99_ms, drift_api_p99_ms, drift_store_p99_ms; one line per goal on
// stdout.
#include "DaemonBenchSupport.h"

#include "modefile/ModeFile.h"
#include "service/history/HistoryStore.h"

#include <benchmark/benchmark.h>
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
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace bench;

constexpr int kProcessors = 64;
constexpr int kConnections = 2;        // to the daemon, each on a thread of its own
constexpr int kListCalls = 50;         // of GET .../history?limit=100
constexpr int kListed = 100;           // snapshots each of those lists
constexpr int kDriftRounds = 50;       // of the drift of all 64 through the API
constexpr int kStoreDriftRounds = 200; // of the store's drift of all 64 (each well under 1 ms)
constexpr double kDefaultMinutes = 10;
constexpr const char* kWriterThread = "fx-history-db";
constexpr const char* kSettleThread = "fx-history";

double g_minutes = kDefaultMinutes;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// `workers` threads share `rate` requests per second for `seconds`: worker w
// sends request k * workers + w when it is due. The failed requests.
int AtConstantRate(int workers, double rate, double seconds,
                   const std::function<std::function<bool(int)>(int worker)>& makeSender) {
    const int total = static_cast<int>(rate * seconds);
    std::vector<int> failures(static_cast<size_t>(workers), 0);
    std::vector<std::function<bool(int)>> senders(static_cast<size_t>(workers));
    for (int w = 0; w < workers; ++w) senders[static_cast<size_t>(w)] = makeSender(w);
    const auto start = Clock::now() + std::chrono::milliseconds(50);
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&, w] {
            for (int index = w; index < total; index += workers) {
                std::this_thread::sleep_until(start +
                                              std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(index / rate)));
                if (!senders[static_cast<size_t>(w)](index)) ++failures[static_cast<size_t>(w)];
            }
        });
    for (auto& thread : threads) thread.join();
    int failed = 0;
    for (int count : failures) failed += count;
    return failed;
}

std::string ProcessorPath(int processor, const std::string& rest = {}) {
    return "/api/v1/processors/" + Name(processor) + rest;
}

// One value of the daemon's /metrics.
double Metric(HttpClient& client, const std::string& name) {
    const std::string text = client.Expect(http::verb::get, "/metrics");
    const size_t at = text.find("\n" + name + " ");
    if (at == std::string::npos) throw std::runtime_error("/metrics has no " + name);
    return std::atof(text.c_str() + at + name.size() + 2);
}

// Waits until the history queue is empty; the snapshots written so far.
double WaitWritten(HttpClient& client) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Metric(client, "fxtuned_history_queued") > 0) {
        if (Clock::now() > deadline) throw std::runtime_error("the history did not catch up");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Metric(client, "fxtuned_history_written_total");
}

// The processor time (s) of the process's threads of those names.
double ThreadCpuSeconds(pid_t pid, const std::vector<std::string>& names) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = opendir(tasks.c_str());
    if (!folder) throw std::runtime_error("cannot read " + tasks);
    unsigned long long ticks = 0;
    int found = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream file(tasks + "/" + entry->d_name + "/stat");
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        const size_t open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string name = text.substr(open + 1, close - open - 1);
        if (std::find(names.begin(), names.end(), name) == names.end()) continue;
        ++found;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        // After the name: state is field 3, utime 14 and stime 15.
        for (int number = 3; number <= 15 && fields >> field; ++number)
            if (number == 14 || number == 15) ticks += std::stoull(field);
    }
    closedir(folder);
    if (found != static_cast<int>(names.size()))
        throw std::runtime_error("the daemon has " + std::to_string(found) +
                                 " of its named history threads");
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ProcessCpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number)
        if (number == 14 || number == 15) ticks += std::stoull(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The database with its write-ahead log.
double DatabaseBytes(const std::string& path) {
    double bytes = 0;
    for (const char* suffix : {"", "-wal"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path + suffix, error);
        if (!error) bytes += static_cast<double>(size);
    }
    return bytes;
}

void Info(const char* what, double value, const char* unit, const std::string& how) {
    std::printf("%-44s %8.1f %-3s (%s)\n", what, value, unit, how.c_str());
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Each PUT to a processor sets another value than its last: index / 64 is
// the round, and rounds follow each other.
std::string MicBody(int index) {
    return "{\"value\":" + std::to_string((index / kProcessors) % 99) + "}";
}

// What a phase of load cost the history.
struct Load {
    double seconds = 0;
    double historyCpu = 0; // s, the named threads
    double daemonCpu = 0;  // s, the whole process
    int failed = 0;
    std::string firstFailure; // its answer
};

Load RunLoad(pid_t daemon, int port, double seconds, bool snapshotEachChange) {
    Load load;
    load.seconds = seconds;
    const std::vector<std::string> threads = {kWriterThread, kSettleThread};
    const double historyBefore = ThreadCpuSeconds(daemon, threads);
    const double daemonBefore = ProcessCpuSeconds(daemon);
    std::mutex failureMutex;
    load.failed = AtConstantRate(kConnections, kProcessors, seconds, [&](int) {
        return [&, client = std::make_shared<HttpClient>(port)](int index) {
            const int processor = index % kProcessors;
            auto send = [&](http::verb method, const std::string& target,
                            const std::string& payload) {
                std::string body;
                const int status = client->Send(method, target, payload, body);
                if (status == 200) return true;
                std::lock_guard lock(failureMutex);
                if (load.firstFailure.empty())
                    load.firstFailure = std::to_string(status) + " " + body;
                return false;
            };
            bool ok =
                send(http::verb::put, ProcessorPath(processor, "/levels/mic"), MicBody(index));
            if (snapshotEachChange)
                ok = send(http::verb::post, ProcessorPath(processor, "/history"), {}) && ok;
            return ok;
        };
    });
    load.historyCpu = ThreadCpuSeconds(daemon, threads) - historyBefore;
    load.daemonCpu = ProcessCpuSeconds(daemon) - daemonBefore;
    return load;
}

std::vector<json> Snapshots(HttpClient& client, int processor, int limit) {
    const json body = json::parse(client.Expect(
        http::verb::get, ProcessorPath(processor, "/history?limit=" + std::to_string(limit))));
    return body["snapshots"].get<std::vector<json>>();
}

// Snapshot requests with a change before each until processor has at least
// count snapshots.
void TopUp(HttpClient& client, int processor, int count) {
    for (int round = 0; static_cast<int>(Snapshots(client, processor, count).size()) < count;
         ++round) {
        client.Expect(http::verb::put, ProcessorPath(processor, "/levels/mic"),
                      "{\"value\":" + std::to_string(round % 99) + "}");
        client.Expect(http::verb::post, ProcessorPath(processor, "/history"));
        WaitWritten(client);
    }
}

// The newest snapshot of each processor, once a snapshot of its memory as it
// is now was asked for and written.
std::vector<int64_t> SnapshotAll(HttpClient& client) {
    for (int i = 0; i < kProcessors; ++i)
        client.Expect(http::verb::post, ProcessorPath(i, "/history"));
    WaitWritten(client);
    std::vector<int64_t> newest;
    for (int i = 0; i < kProcessors; ++i)
        newest.push_back(Snapshots(client, i, 1).at(0)["id"].get<int64_t>());
    return newest;
}

struct Figures {
    Load changes, burst;
    double bytesPerSnapshot = 0;
    std::string growthHow;
    double closedBytes = 0;   // the database once the daemon closed it
    double snapshotsHeld = 0; // in it
    std::vector<double> listMs;
    std::vector<double> driftApiMs;
    std::vector<double> driftStoreMs;
    int drifted = 0; // processors whose drift the store found
};

void MeasureDaemon(const std::string& database, Figures& figures) {
    Program sims(FXTUNE_SIM_PATH, {"--count", std::to_string(kProcessors), "--port", "0"},
                 kProcessors);
    std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--history", database};
    for (int i = 0; i < kProcessors; ++i) {
        arguments.push_back("--processor");
        arguments.push_back(Name(i) + "=127.0.0.1:" + std::to_string(sims.Port(i)));
    }
    auto daemon = std::make_unique<Program>(FXTUNED_PATH, arguments, 1);
    // A connection idle for a minute is closed by the daemon: one for each
    // quiet stretch.
    auto client = std::make_unique<HttpClient>(daemon->Port());
    WaitAllConnected(*client);
    WaitWritten(*client); // the snapshots of the link-up

    figures.changes = RunLoad(daemon->Pid(), daemon->Port(), g_minutes * 60, false);
    client = std::make_unique<HttpClient>(daemon->Port());

    const double writtenBefore = WaitWritten(*client);
    const double bytesBefore = DatabaseBytes(database);
    figures.burst = RunLoad(daemon->Pid(), daemon->Port(), g_minutes / 2 * 60, true);
    client = std::make_unique<HttpClient>(daemon->Port());
    const double written = WaitWritten(*client) - writtenBefore;
    figures.bytesPerSnapshot = (DatabaseBytes(database) - bytesBefore) / std::max(1.0, written);
    figures.growthHow = Fixed(written, 0) +
                        " snapshots of one change each, database and WAL, a whole image is " +
                        std::to_string(kModeFileSize) + " bytes";

    // The newest 100 snapshots of one processor, the daemon quiet.
    TopUp(*client, 0, kListed);
    for (int call = 0; call < kListCalls; ++call) {
        const auto start = Clock::now();
        const size_t listed = Snapshots(*client, 0, kListed).size();
        figures.listMs.push_back(MsSince(start));
        if (listed != kListed) throw std::runtime_error("the listing lost snapshots");
    }

    // Every processor's memory approved as it is, then changed.
    const std::vector<int64_t> approved = SnapshotAll(*client);
    for (int i = 0; i < kProcessors; ++i)
        client->Expect(http::verb::put, ProcessorPath(i, "/approved"),
                       "{\"snapshot\":" + std::to_string(approved[static_cast<size_t>(i)]) + "}");
    for (int i = 0; i < kProcessors; ++i) {
        const json state = json::parse(client->Expect(http::verb::get, ProcessorPath(i)));
        const int mic = state["levels"]["mic"]["value"].get<int>();
        client->Expect(http::verb::put, ProcessorPath(i, "/levels/mic"),
                       "{\"value\":" + std::to_string((mic + 50) % 99) + "}");
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (int i = 0; i < kProcessors;) {
        if (json::parse(client->Expect(http::verb::get, ProcessorPath(i, "/drift")))["drifted"]
                .get<bool>())
            ++i;
        else if (Clock::now() > deadline)
            throw std::runtime_error(Name(i) + " did not drift from its approved preset");
    }
    for (int round = 0; round < kDriftRounds; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < kProcessors; ++i)
            client->Expect(http::verb::get, ProcessorPath(i, "/drift"));
        figures.driftApiMs.push_back(MsSince(start));
    }
    SnapshotAll(*client); // the changed memories, for the store's own drift
    daemon.reset();       // SIGTERM: the daemon writes what it holds and closes
}

// The store's own drift of every processor's newest snapshot from its
// approved preset, on the database the daemon left.
void MeasureStoreDrift(const std::string& database, Figures& figures) {
    fx::HistoryStore store;
    const fx::HistoryResult opened = store.Open(database);
    if (!opened.ok()) throw std::runtime_error("history: " + opened.message);
    figures.closedBytes = DatabaseBytes(database);
    std::vector<fx::HistoryImage> images;
    for (int i = 0; i < kProcessors; ++i) {
        auto all = store.List(Name(i), 0, 10000);
        if (!all.ok()) throw std::runtime_error("history: " + all.result.message);
        figures.snapshotsHeld += static_cast<double>(all.value.size());
        auto newest = store.List(Name(i), 0, 1);
        if (!newest.ok() || newest.value.empty())
            throw std::runtime_error("no snapshot of " + Name(i));
        auto image = store.ImageOf(newest.value.back().id);
        if (!image.ok()) throw std::runtime_error("history: " + image.result.message);
        images.push_back(std::move(image.value));
    }
    for (int round = 0; round < kStoreDriftRounds; ++round) {
        int drifted = 0;
        const auto start = Clock::now();
        for (int i = 0; i < kProcessors; ++i) {
            const auto drift = store.Drift(Name(i), images[static_cast<size_t>(i)]);
            if (drift.ok() && !drift.value.empty()) ++drifted;
        }
        figures.driftStoreMs.push_back(MsSince(start));
        figures.drifted = drifted;
    }
}

std::string CpuHow(const Load& load, const std::string& what) {
    return what + ", " + Fixed(load.seconds, 0) + " s, whole daemon " +
           Fixed(100.0 * load.daemonCpu / load.seconds) + " %, " + std::to_string(load.failed) +
           " failed" + (load.failed ? ", first: " + load.firstFailure : std::string());
}

std::string SpreadHow(const std::vector<double>& ms, const std::string& what) {
    return what + ", p50 " + Fixed(Percentile(ms, 0.5), 2) + " ms over " +
           std::to_string(ms.size());
}

void Measure(benchmark::State& state) {
    char pattern[] = "/tmp/fxhistory-bench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    const std::string folder = pattern;
    const std::string database = folder + "/history.db";
    Figures figures;
    try {
        for (auto _ : state) {
            const auto started = Clock::now();
            MeasureDaemon(database, figures);
            MeasureStoreDrift(database, figures);
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
        }
    } catch (...) {
        std::filesystem::remove_all(folder);
        throw;
    }
    std::filesystem::remove_all(folder);

    const double changesCpu = 100.0 * figures.changes.historyCpu / figures.changes.seconds;
    const double burstCpu = 100.0 * figures.burst.historyCpu / figures.burst.seconds;
    Goal("history threads CPU, 64 changes/s", changesCpu, "%", 5.0,
         CpuHow(figures.changes, "each processor changed once a second"));
    Goal("history threads CPU, 64 snapshots/s", burstCpu, "%", 5.0,
         CpuHow(figures.burst, "a snapshot request after each change"));
    Info("database growth per snapshot", figures.bytesPerSnapshot, "B", figures.growthHow);
    Info("database per snapshot after close", figures.closedBytes / figures.snapshotsHeld, "B",
         Fixed(figures.closedBytes / 1e6, 2) + " MB for " + Fixed(figures.snapshotsHeld, 0) +
             " snapshots, the link-up's whole images included");
    Goal("list newest 100 snapshots p99", Percentile(figures.listMs, 0.99), "ms", 20.0,
         SpreadHow(figures.listMs, "GET .../history?limit=100, daemon quiet"));
    Goal("drift of 64 processors via API p99", Percentile(figures.driftApiMs, 0.99), "ms", 50.0,
         SpreadHow(figures.driftApiMs, "GET .../drift of each in turn"));
    Goal("drift of 64 processors in the store p99", Percentile(figures.driftStoreMs, 0.99), "ms",
         50.0,
         SpreadHow(figures.driftStoreMs,
                   "HistoryStore::Drift of each, " + std::to_string(figures.drifted) + " drifted"));

    state.counters["history_cpu_percent"] = changesCpu;
    state.counters["burst_cpu_percent"] = burstCpu;
    state.counters["bytes_per_snapshot"] = figures.bytesPerSnapshot;
    state.counters["list_p99_ms"] = Percentile(figures.listMs, 0.99);
    state.counters["drift_api_p99_ms"] = Percentile(figures.driftApiMs, 0.99);
    state.counters["drift_store_p99_ms"] = Percentile(figures.driftStoreMs, 0.99);
    state.counters["failed"] =
        figures.changes.failed + figures.burst.failed + (kProcessors - figures.drifted);
}
// A failure still stops the programs started (their destructors run).
void BM_DaemonHistoryWithSixtyFourProcessors(benchmark::State& state) {
    try {
        Measure(state);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_DaemonHistoryWithSixtyFourProcessors)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The load's length: --minutes=N, else FX_HISTORY_BENCH_MINUTES, else 10.
double MinutesOf(int& argc, char** argv) {
    double minutes = kDefaultMinutes;
    if (const char* given = std::getenv("FX_HISTORY_BENCH_MINUTES")) minutes = std::atof(given);
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--minutes=", 10) == 0)
            minutes = std::atof(argv[i] + 10);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return minutes > 0 ? minutes : kDefaultMinutes;
}

} // namespace

int main(int argc, char** argv) {
    g_minutes = MinutesOf(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
