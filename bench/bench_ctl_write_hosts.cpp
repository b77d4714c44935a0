// fxtunectl write of one mode file to eight simulated processors at once,
// against the same write to one of them: the runs go in parallel, so eight
// should take little longer than one. Each iteration times both; "ratio" is
// the eight-processor time over the one-processor time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kProcessors = 8;

// fxtune-sim on a free loopback port, stopped when it goes out of scope.
class Simulator {
public:
    Simulator() {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* argv[] = {const_cast<char*>(FXTUNE_SIM_PATH), const_cast<char*>("--port"),
                        const_cast<char*>("0"), nullptr};
        const int failed = posix_spawn(&m_pid, FXTUNE_SIM_PATH, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (failed != 0) throw std::runtime_error("cannot start fxtune-sim");
        // "listening on 127.0.0.1:PORT"
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        m_out = out[0];
        m_port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
        if (m_port <= 0) throw std::runtime_error("fxtune-sim gave no port: " + line);
    }
    ~Simulator() {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        close(m_out);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    int Port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_port = 0;
};

std::string HostArguments(const Simulator& sim) {
    return " --host 127.0.0.1 --port " + std::to_string(sim.Port());
}

// Runs fxtunectl with the arguments; its duration in seconds.
double TimedRun(const std::string& arguments) {
    const std::string command = std::string(FXTUNECTL_PATH) + arguments + " >/dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (status != 0) throw std::runtime_error("failed: " + command);
    return elapsed.count();
}

void BM_WriteToEightProcessorsVersusOne(benchmark::State& state) {
    std::vector<std::unique_ptr<Simulator>> sims;
    for (int i = 0; i < kProcessors; ++i) sims.push_back(std::make_unique<Simulator>());
    const std::string file = "/tmp/fxtune-bench-hosts-" + std::to_string(getpid()) + ".mode";
    TimedRun(HostArguments(*sims[0]) + " read " + file);
    std::string all;
    for (const auto& sim : sims) all += HostArguments(*sim);

    double one = 0, eight = 0;
    for (auto _ : state) {
        one += TimedRun(HostArguments(*sims[1]) + " write " + file);
        const double seconds = TimedRun(all + " write " + file);
        eight += seconds;
        state.SetIterationTime(seconds);
    }
    std::remove(file.c_str());
    const double iterations = static_cast<double>(state.iterations());
    state.counters["one_ms"] = 1000.0 * one / iterations;
    state.counters["eight_ms"] = 1000.0 * eight / iterations;
    state.counters["ratio"] = eight / one;
}
BENCHMARK(BM_WriteToEightProcessorsVersusOne)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace

BENCHMARK_MAIN();
