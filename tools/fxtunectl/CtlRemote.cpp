#include "CtlRemote.h"

#include "CtlCommands.h"
#include "CtlConfirm.h"
#include "CtlSession.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/ReplyWatch.h"
#include "modefile/SafeFile.h"
#include "remote/core/RemoteFile.h"
#include "remote/core/RemoteKeys.h"
#include "state/DeviceMirrors.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace fx;

namespace {

constexpr int kCountdownStepMs = 250;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

// Ctrl+C ends the wait for a key (and is handled like a time-out) while it
// lives; the previous handling comes back after.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_previous, nullptr); }

private:
    struct sigaction m_previous {};
};

CtlResult Usage(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

CtlResult FileFailure(const std::string& path, const RemoteFileResult& result) {
    if (result.status == RemoteFileStatus::WrongSize) {
        const std::string size =
            result.bytes == 0 ? "empty"
                              : "longer than " + std::to_string(kRemoteKeyBlockSize) + " bytes";
        return CtlResult::Fail(kExitBadFile, path + ": not a remote file (" + size + ")");
    }
    return CtlResult::Fail(kExitBadFile, result.message);
}

CtlResult SendKeyCodes() {
    return ConfirmationResult("the remote key codes", SendRemoteKeyBlock(kReplyWaitMs));
}

CtlResult Save(fx::ParamStore& store, const std::string& path) {
    const RemoteFileResult result = SaveRemoteFile(path, store.RemoteKeyBlock());
    if (result.ok()) return CtlResult::Ok();
    std::string text = result.message;
    for (char& c : text)
        if (c == '\n') c = ' ';
    return CtlResult::Fail(kExitFailed, std::string(kCantWriteCaption) + ": " + text);
}

CtlResult Load(fx::ParamStore& store, const std::string& path) {
    const RemoteFileResult result = LoadRemoteFile(path, store.RemoteKeyBlock());
    if (!result.ok()) return FileFailure(path, result);
    return SendKeyCodes();
}

void ShowCountdown(int key, int secondsLeft) {
    const bool terminal = isatty(STDERR_FILENO) == 1;
    std::fprintf(stderr, "%spress the \"%s\" key (key %d) on the remote: %2d s%s",
                 terminal ? "\r" : "", std::string(RemoteKeyName(key)).c_str(), key, secondsLeft,
                 terminal ? "" : "\n");
    std::fflush(stderr);
}

// Waits for reply 96 with a countdown on stderr; false after the time-out or
// on Ctrl+C.
bool WaitForKey(int key, uint64_t repliesBefore) {
    const auto start = std::chrono::steady_clock::now();
    int shown = -1;
    for (;;) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        if (elapsed >= kLearnTimeoutMs || g_interrupted || !LinkUsable()) break;
        const int left = static_cast<int>((kLearnTimeoutMs - elapsed + 999) / 1000);
        if (left != shown) ShowCountdown(key, shown = left);
        if (WaitForReplyAfter(CMD_LEARN_KEY, repliesBefore, kCountdownStepMs)) {
            if (isatty(STDERR_FILENO) == 1) std::fputc('\n', stderr);
            return true;
        }
    }
    if (isatty(STDERR_FILENO) == 1) std::fputc('\n', stderr);
    return false;
}

CtlResult Learn(fx::ParamStore& store, int key) {
    InterruptGuard guard;
    const uint64_t before = ReplyCount(CMD_LEARN_KEY);
    StartKeyLearning(key);
    if (!WaitForKey(key, before)) {
        const bool interrupted = g_interrupted;
        if (store.Link().connected) AbandonKeyLearning();
        if (!store.Link().connected)
            return CtlResult::Fail(kExitTimeout, "the link to the processor was lost");
        return CtlResult::Fail(kExitTimeout, interrupted
                                                 ? "interrupted: learning abandoned"
                                                 : "no key within 30 s: learning abandoned");
    }
    std::printf("%02X\n", store.RemoteKeyBlock()[key]);
    std::fflush(stdout);
    // The processor keeps what it is given: the learned code goes back with
    // the whole block, as Apply does in the editor.
    return SendKeyCodes();
}

} // namespace

CtlResult CheckRemoteArguments(const CtlOptions& options) {
    const auto& args = options.arguments;
    if (args.size() != 2 || (args[0] != "save" && args[0] != "load" && args[0] != "learn"))
        return Usage("remote takes save FILE.remo, load FILE.remo or learn KEY");
    if (args[0] == "learn" && RemoteKeyFromText(args[1]) == 0)
        return Usage("KEY is 1..17 or a key name: \"" + args[1] + "\"");
    if (args[0] == "save") {
        const fx::FileWriteResult target = fx::CheckWriteTarget(args[1]);
        if (!target.ok) return CtlResult::Fail(kExitFailed, CantWriteLine(target));
    }
    if (args[0] == "load") {
        uint8_t probe[kRemoteKeyBlockSize] = {};
        const RemoteFileResult result = LoadRemoteFile(args[1], probe);
        if (!result.ok()) return FileFailure(args[1], result);
    }
    return CtlResult::Ok();
}

CtlResult RunRemoteCommand(CtlSession& session, const CtlOptions& options) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    const std::string& verb = options.arguments[0];
    const std::string& argument = options.arguments[1];
    if (verb == "save") return Save(session.Store(), argument);
    if (verb == "load") return Load(session.Store(), argument);
    return Learn(session.Store(), RemoteKeyFromText(argument));
}
