// fxtune-sim: simulated processors on loopback TCP ports.

#include "sim/SimFleet.h"
#include "sim/SimOptions.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Prints every command a processor receives; with several processors the
// line names the processor's port.
void PrintCommand(int port, const uint8_t* record, int count) {
    static std::mutex printMutex;
    const int length = SimProcessor::CommandLength(record, count);
    std::lock_guard lock(printMutex);
    if (port > 0) std::fprintf(stderr, "%d ", port);
    std::fputs("command:", stderr);
    for (int i = 0; i < length; ++i) std::fprintf(stderr, " %02X", record[i]);
    std::fputc('\n', stderr);
}

// Blocks the stop signals in every thread; main waits for them with sigwait.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::fprintf(stderr, "fxtune-sim: %s\nTry 'fxtune-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(SimOptions::HelpText().c_str(), stdout);
        return 0;
    }

    const sigset_t stopSignals = BlockStopSignals();

    SimFleet fleet(options);
    if (options.verbose) {
        for (int i = 0; i < fleet.Count(); ++i) {
            SimTcpServer* named = fleet.Count() > 1 ? &fleet.Server(i) : nullptr;
            fleet.Processor(i).SetCommandObserver([named](const uint8_t* record, int count) {
                PrintCommand(named != nullptr ? named->Port() : 0, record, count);
            });
        }
    }
    if (!fleet.Start()) {
        std::fprintf(stderr, "fxtune-sim: cannot listen on 127.0.0.1:%d: %s\n", fleet.FailedPort(),
                     std::strerror(fleet.LastError()));
        return 1;
    }
    for (int i = 0; i < fleet.Count(); ++i)
        std::printf("listening on 127.0.0.1:%d\n", fleet.Server(i).Port());
    if (options.refuseConnections) std::printf("refusing connections\n");
    if (options.busy) std::printf("answering every editor \"ISCONNECTED\"\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    fleet.Stop();
    return 0;
}
