#include "CtlMultiHost.h"

#include "CtlCommands.h"
#include "CtlOutput.h"
#include "CtlWarnings.h"
#include "ImageJson.h"

#include "state/ParamImage.h"
#include "state/Processor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// One processor's run: its thread, its two pipes and what came out of them.
struct HostRun {
    CtlHost host;
    std::string label; // "ADDRESS:PORT"
    std::thread thread;
    int fds[2] = {-1, -1};  // stdout, stderr of the child
    std::string pending[2]; // a line not yet complete
    std::vector<std::string> lines[2];
    int status = kExitFailed;
};

// One processor's options: its address, and what every run shares.
CtlOptions HostOptions(const CtlOptions& options, const CtlHost& host) {
    CtlOptions one = options;
    one.host = host.address;
    one.port = host.port;
    one.hosts = {host};
    // The runs of other commands print prose; the summary lists its lines.
    one.json = options.json && CommandPrintsJson(options.command);
    return one;
}

// Starts the run on a thread of its own with a processor object of its own;
// what it prints goes into the run's pipes, read as a child's were.
bool Start(HostRun& run, const CtlOptions& options) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    FILE* outStream = fdopen(out[1], "w");
    FILE* errStream = fdopen(err[1], "w");
    if (!outStream || !errStream) {
        if (outStream)
            std::fclose(outStream);
        else
            close(out[1]);
        if (errStream)
            std::fclose(errStream);
        else
            close(err[1]);
        close(out[0]);
        close(err[0]);
        return false;
    }
    run.fds[0] = out[0];
    run.fds[1] = err[0];
    run.thread = std::thread([&run, one = HostOptions(options, run.host), outStream, errStream] {
        {
            fx::Processor processor;
            fx::ProcessorScope scope(processor);
            CtlOutputScope output(outStream, errStream);
            BuildDefaultImage();
            const CtlResult result = RunCtlCommand(one);
            // A diff that found differences fails without a message.
            if (!result.message.empty())
                std::fprintf(errStream, "fxtunectl: %s\n", result.message.c_str());
            run.status = result.status;
        }
        std::fclose(outStream);
        std::fclose(errStream);
    });
    return true;
}

// A complete line of a run: printed at once with its address, or kept for
// the JSON summary.
void TakeLine(HostRun& run, int stream, const std::string& line, bool json) {
    if (json) {
        run.lines[stream].push_back(line);
        return;
    }
    FILE* out = stream == 0 ? stdout : stderr;
    std::fprintf(out, "%s: %s\n", run.label.c_str(), line.c_str());
    std::fflush(out);
}

// Reads what is there; false at the end of the stream.
bool Drain(HostRun& run, int stream, bool json) {
    char buffer[4096];
    const ssize_t count = read(run.fds[stream], buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) return true;
    if (count <= 0) {
        if (!run.pending[stream].empty()) TakeLine(run, stream, run.pending[stream], json);
        run.pending[stream].clear();
        close(run.fds[stream]);
        run.fds[stream] = -1;
        return false;
    }
    std::string& pending = run.pending[stream];
    pending.append(buffer, static_cast<size_t>(count));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        TakeLine(run, stream, pending.substr(0, end), json);
        pending.erase(0, end + 1);
    }
    return true;
}

void Collect(std::vector<HostRun>& runs, bool json) {
    for (;;) {
        std::vector<pollfd> polled;
        std::vector<std::pair<HostRun*, int>> owners;
        for (HostRun& run : runs) {
            for (int stream = 0; stream < 2; ++stream) {
                if (run.fds[stream] < 0) continue;
                polled.push_back({run.fds[stream], POLLIN, 0});
                owners.emplace_back(&run, stream);
            }
        }
        if (polled.empty()) return;
        if (poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) return;
        for (size_t i = 0; i < polled.size(); ++i) {
            if (polled[i].revents != 0) Drain(*owners[i].first, owners[i].second, json);
        }
    }
}

void Wait(HostRun& run) {
    if (run.thread.joinable()) run.thread.join();
}

std::string LinesJson(const std::vector<std::string>& lines) {
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "," : "") + JsonString(lines[i]);
    return out + "]";
}

// Error lines without the program's name.
std::string ErrorText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        const std::string prefix = "fxtunectl: ";
        const std::string bare = line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
        text += (text.empty() ? "" : " ") + bare;
    }
    return text;
}

void PrintSummary(const CtlOptions& options, const std::vector<HostRun>& runs, int worst) {
    std::string out = "{\"status\":" + std::to_string(worst) + ",\"hosts\":[";
    for (size_t i = 0; i < runs.size(); ++i) {
        const HostRun& run = runs[i];
        out += (i ? ",\n " : "\n ") + std::string("{\"address\":") + JsonString(run.host.address) +
               ",\"port\":" + std::to_string(run.host.port) +
               ",\"status\":" + std::to_string(run.status);
        std::string output;
        for (const std::string& line : run.lines[0]) output += line + "\n";
        const bool hasResult = CommandPrintsJson(options.command) && !run.lines[0].empty();
        if (hasResult)
            out += ",\"result\":" + output.substr(0, output.size() - 1);
        else
            out += ",\"output\":" + LinesJson(run.lines[0]);
        if (!run.lines[1].empty()) out += ",\"error\":" + JsonString(ErrorText(run.lines[1]));
        out += "}";
    }
    std::printf("%s]}\n", out.c_str());
}

} // namespace

int RunOnEveryHost(const CtlOptions& options) {
    // Each run warns with its address, as a run of its own would.
    SetCtlWarnings(true);
    std::vector<HostRun> runs(options.hosts.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        runs[i].host = options.hosts[i];
        runs[i].label = runs[i].host.address + ":" + std::to_string(runs[i].host.port);
    }
    for (HostRun& run : runs) {
        if (!Start(run, options)) {
            const std::string line =
                "fxtunectl: cannot start a run for " + run.label + ": " + std::strerror(errno);
            TakeLine(run, 1, line, options.json);
        }
    }
    Collect(runs, options.json);
    int worst = kExitOk;
    for (HostRun& run : runs) {
        Wait(run);
        worst = std::max(worst, run.status);
    }
    if (options.json) PrintSummary(options, runs, worst);
    return worst;
}
