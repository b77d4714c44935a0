// fxtune-sim: the simulated processor on a loopback TCP port.

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

void PrintCommand(const uint8_t* record, int count) {
    static std::mutex printMutex;
    const int length = SimProcessor::CommandLength(record, count);
    std::lock_guard lock(printMutex);
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

    SimProcessor processor;
    processor.SetIdentity(options.identity);
    processor.SetFaults(options.faults);
    if (!options.memoryTexts.empty())
        processor.SetMemory(options.MemoryWithTexts(processor.Memory()));
    processor.SetStreamFormat(options.streamFormat);
    processor.SetAckStyle(options.ackStyle);
    processor.SetAutoKeyPress(options.learnDelayMs, options.learnCode);
    if (options.verbose) processor.SetCommandObserver(PrintCommand);

    SimTcpServer server(processor);
    server.SetHeartbeatPeriod(options.heartbeatMs);
    server.SetRefuseConnections(options.refuseConnections);
    server.SetBusy(options.busy);
    if (!server.Start(options.port)) {
        std::fprintf(stderr, "fxtune-sim: cannot listen on 127.0.0.1:%d: %s\n", options.port,
                     std::strerror(server.LastError()));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", server.Port());
    if (options.refuseConnections) std::printf("refusing connections\n");
    if (options.busy) std::printf("answering every editor \"ISCONNECTED\"\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
