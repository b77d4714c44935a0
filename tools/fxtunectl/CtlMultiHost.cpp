#include "CtlMultiHost.h"

#include "ImageJson.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// One processor's run: its child, its two pipes and what came out of them.
struct HostRun {
    CtlHost host;
    std::string label; // "ADDRESS:PORT"
    pid_t pid = -1;
    int fds[2] = {-1, -1};  // stdout, stderr of the child
    std::string pending[2]; // a line not yet complete
    std::vector<std::string> lines[2];
    int status = kExitFailed;
};

std::vector<std::string> ChildArguments(const CtlOptions& options, const CtlHost& host) {
    std::vector<std::string> args = {"fxtunectl", "--host", host.address, "--port",
                                     std::to_string(host.port)};
    // The runs of other commands print prose; the summary lists its lines.
    if (options.json && CommandPrintsJson(options.command)) args.push_back("--json");
    if (options.language == 0) args.insert(args.end(), {"--lang", "zh"});
    if (!options.linkText.empty()) args.insert(args.end(), {"--link", options.linkText});
    args.push_back(options.command);
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    return args;
}

std::string OwnPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<size_t>(length));
}

bool Start(HostRun& run, const std::string& program, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int failed =
        posix_spawn(&run.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (failed != 0) {
        close(out[0]);
        close(err[0]);
        run.pid = -1;
        errno = failed; // posix_spawn returns its error instead of setting errno
        return false;
    }
    run.fds[0] = out[0];
    run.fds[1] = err[0];
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
    int status = 0;
    while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : kExitFailed;
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
    const std::string program = OwnPath();
    std::vector<HostRun> runs;
    for (const CtlHost& host : options.hosts) {
        HostRun run;
        run.host = host;
        run.label = host.address + ":" + std::to_string(host.port);
        runs.push_back(run);
    }
    for (HostRun& run : runs) {
        if (program.empty() || !Start(run, program, ChildArguments(options, run.host))) {
            const std::string line =
                "fxtunectl: cannot start a run for " + run.label + ": " + std::strerror(errno);
            TakeLine(run, 1, line, options.json);
        }
    }
    Collect(runs, options.json);
    int worst = kExitOk;
    for (HostRun& run : runs) {
        if (run.pid > 0) Wait(run);
        worst = std::max(worst, run.status);
    }
    if (options.json) PrintSummary(options, runs, worst);
    return worst;
}
