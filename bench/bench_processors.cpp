// Many processors in one process: 64 simulated processors (one fxtune-sim
// --count 64 beside this program) read whole at once by 64 processor objects
// here, against one read alone; the threads and memory of this process while
// they read; and the processor time it spends while they sit connected with
// only their heartbeats. Counters: one_ms, all_ms, ratio (all over one),
// all_cpu_ms and sim_cpu_ms (processor time of the 64 reads here and in the
// simulator), threads (peak while reading), rss_mb, idle_cpu_percent (of one core).
#include "link/NetLink.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kProcessors = 64;

// fxtune-sim --count N on free loopback ports, stopped when it goes.
class Simulators {
public:
    explicit Simulators(int count) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string countText = std::to_string(count);
        char* argv[] = {const_cast<char*>(FXTUNE_SIM_PATH),
                        const_cast<char*>("--count"),
                        const_cast<char*>(countText.c_str()),
                        const_cast<char*>("--port"),
                        const_cast<char*>("0"),
                        nullptr};
        const int failed = posix_spawn(&m_pid, FXTUNE_SIM_PATH, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (failed != 0) throw std::runtime_error("cannot start fxtune-sim");
        // One "listening on 127.0.0.1:PORT" line per processor.
        std::string line;
        char c = 0;
        while (static_cast<int>(m_ports.size()) < count && read(out[0], &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            m_ports.push_back(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
            line.clear();
        }
        m_out = out[0];
        if (static_cast<int>(m_ports.size()) != count)
            throw std::runtime_error("fxtune-sim gave too few ports");
    }
    ~Simulators() {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        close(m_out);
    }
    Simulators(const Simulators&) = delete;
    Simulators& operator=(const Simulators&) = delete;
    int Port(int index) const { return m_ports[static_cast<size_t>(index)]; }
    // The simulator's processor time so far, in seconds.
    double CpuSeconds() const {
        const std::string path = "/proc/" + std::to_string(m_pid) + "/stat";
        unsigned long user = 0, system = 0;
        if (FILE* stat = std::fopen(path.c_str(), "r")) {
            // Fields 14 and 15 follow the command name, which ends with ')'.
            char line[1024] = {};
            if (std::fgets(line, sizeof line, stat))
                if (const char* end = std::strrchr(line, ')'))
                    if (std::sscanf(end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                                    &user, &system) != 2)
                        user = system = 0;
            std::fclose(stat);
        }
        return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::vector<int> m_ports;
};

int ThreadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            if (entry->d_name[0] != '.') ++count;
        closedir(tasks);
    }
    return count;
}

double ResidentMb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

using Clock = std::chrono::steady_clock;

void Connect(fx::Processor& processor, int port) {
    fx::ProcessorScope scope(processor);
    g_bNetMode() = true;
    if (NetConnect("127.0.0.1", port) != 1) throw std::runtime_error("cannot connect");
}

// Reads every processor at once; the wall time in ms, and the peak thread count.
double ReadAll(std::vector<std::unique_ptr<fx::Processor>>& processors, size_t count,
               int& peakThreads) {
    const auto start = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        fx::ProcessorScope scope(*processors[i]);
        StartDelayedRead();
    }
    for (size_t i = 0; i < count; ++i) {
        fx::ProcessorScope scope(*processors[i]);
        peakThreads = std::max(peakThreads, ThreadCount());
        JoinSyncJobs();
        if (!LastReadResult().Completed()) throw std::runtime_error("a read failed");
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_SixtyFourProcessorsReadAtOnce(benchmark::State& state) {
    Simulators sims(kProcessors);
    std::vector<std::unique_ptr<fx::Processor>> processors;
    for (int i = 0; i < kProcessors; ++i) {
        processors.push_back(std::make_unique<fx::Processor>());
        Connect(*processors.back(), sims.Port(i));
    }
    int peakThreads = ThreadCount();
    double one = 0, all = 0, allCpu = 0, allSimCpu = 0;
    for (auto _ : state) {
        one += ReadAll(processors, 1, peakThreads);
        const double cpuBefore = CpuSeconds(), simCpuBefore = sims.CpuSeconds();
        const double ms = ReadAll(processors, processors.size(), peakThreads);
        allCpu += CpuSeconds() - cpuBefore;
        allSimCpu += sims.CpuSeconds() - simCpuBefore;
        all += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["one_ms"] = one / iterations;
    state.counters["all_ms"] = all / iterations;
    state.counters["ratio"] = all / one;
    // Processor time of the 64 reads at once: this process's, the simulator's.
    state.counters["all_cpu_ms"] = 1000.0 * allCpu / iterations;
    state.counters["sim_cpu_ms"] = 1000.0 * allSimCpu / iterations;
    state.counters["threads"] = peakThreads;
    state.counters["rss_mb"] = ResidentMb();

    // Connected, heartbeats only (after the reads' last waits have run out).
    std::this_thread::sleep_for(std::chrono::seconds(2));
    constexpr double kIdleSeconds = 5;
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    state.counters["idle_cpu_percent"] = 100.0 * (CpuSeconds() - cpuBefore) / kIdleSeconds;

    for (auto& processor : processors) {
        fx::ProcessorScope scope(*processor);
        NetDisconnect(true);
    }
}
BENCHMARK(BM_SixtyFourProcessorsReadAtOnce)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

BENCHMARK_MAIN();
