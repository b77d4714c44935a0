#include "CtlRemote.h"

#include "CtlCommands.h"
#include "CtlConfirm.h"
#include "CtlOutput.h"
#include "CtlSession.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/ReplyWatch.h"
#include "modefile/SafeFile.h"
#include "remote/core/RemoteFile.h"
#include "remote/core/RemoteKeys.h"
#include "state/DeviceMirrors.h"
#include "state/ParamStore.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace fx;

namespace {

constexpr int kCountdownStepMs = 250;
constexpr const char* kClearUnknown = "--clear-unknown";

// The verb's words without --clear-unknown, and whether it was given.
struct RemoteArguments {
    std::vector<std::string> words;
    bool clearUnknown = false;
};

RemoteArguments SplitArguments(const std::vector<std::string>& arguments) {
    RemoteArguments split;
    for (const std::string& argument : arguments) {
        if (argument == kClearUnknown)
            split.clearUnknown = true;
        else
            split.words.push_back(argument);
    }
    return split;
}

// Bits first..first+count-1 of the block's bytes.
uint32_t ByteBits(int first, int count) {
    return count <= 0 ? 0 : ((1u << count) - 1) << first;
}

std::string KeysText(const std::vector<int>& keys) {
    return (keys.size() == 1 ? "key " : "keys ") + RemoteKeyListText(keys);
}

// What the command brings into the block itself: the learned key (and the
// code set that comes with it), or the bytes of the file.
uint32_t BroughtBytes(const std::vector<std::string>& words) {
    if (words[0] == "learn")
        return ByteBits(kRemoteCodeSetByte, 1) | ByteBits(RemoteKeyFromText(words[1]), 1);
    if (words[0] != "load") return 0;
    uint8_t probe[kRemoteKeyBlockSize] = {};
    return ByteBits(0, LoadRemoteFile(words[1], probe).bytes);
}

// A write of the whole block that would clear codes nobody knows is refused
// unless --clear-unknown says so.
CtlResult CheckClearing(const RemoteArguments& remote, uint32_t known) {
    const std::vector<int> unknown = UnknownRemoteKeys(known | BroughtBytes(remote.words));
    if (unknown.empty() || remote.clearUnknown) return CtlResult::Ok();
    return CtlResult::Fail(kExitUsage, "remote " + remote.words[0] + " " + remote.words[1] +
                                           " would clear " + KeysText(unknown) +
                                           ", whose codes the processor does not report: give " +
                                           kClearUnknown + " to clear them");
}

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

// Writes the whole block; the keys it clears (codes not known) are named.
CtlResult SendKeyCodes(fx::ParamStore& store) {
    const uint32_t known = store.RemoteKeysKnown();
    const CtlResult result = ConfirmationResult(
        "the remote key codes",
        WriteRemoteKeys(store, std::to_array(store.RemoteKeyBlock()), known, kReplyWaitMs));
    const std::vector<int> cleared = UnknownRemoteKeys(known);
    if (result.ok() && !cleared.empty())
        std::fprintf(CtlStderr(), "cleared %s: their codes were not known\n",
                     KeysText(cleared).c_str());
    return result;
}

// The file holds what is known; the keys it cannot hold are named.
CtlResult Save(fx::ParamStore& store, const std::string& path) {
    const std::vector<int> unknown = UnknownRemoteKeys(store.RemoteKeysKnown());
    auto block = std::to_array(store.RemoteKeyBlock());
    for (int byte : unknown) block[static_cast<size_t>(byte)] = 0;
    const RemoteFileResult result = SaveRemoteFile(path, block.data());
    if (result.ok()) {
        if (!unknown.empty())
            std::fprintf(CtlStderr(),
                         "%s does not hold %s: the processor does not report their codes "
                         "(saved as 00)\n",
                         path.c_str(), KeysText(unknown).c_str());
        return CtlResult::Ok();
    }
    std::string text = result.message;
    for (char& c : text)
        if (c == '\n') c = ' ';
    return CtlResult::Fail(kExitFailed, std::string(kCantWriteCaption) + ": " + text);
}

CtlResult Load(fx::ParamStore& store, const std::string& path) {
    auto block = std::to_array(store.RemoteKeyBlock());
    const RemoteFileResult result = LoadRemoteFile(path, block.data());
    if (!result.ok()) return FileFailure(path, result);
    store.SetRemoteKeyBytes(0, block.data(), result.bytes);
    return SendKeyCodes(store);
}

void ShowCountdown(int key, int secondsLeft) {
    const bool terminal = isatty(STDERR_FILENO) == 1;
    std::fprintf(CtlStderr(), "%spress the \"%s\" key (key %d) on the remote: %2d s%s",
                 terminal ? "\r" : "", std::string(RemoteKeyName(key)).c_str(), key, secondsLeft,
                 terminal ? "" : "\n");
    std::fflush(CtlStderr());
}

// Waits for reply 96 with a countdown on CtlStderr(); false after the time-out or
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
            if (isatty(STDERR_FILENO) == 1) std::fputc('\n', CtlStderr());
            return true;
        }
    }
    if (isatty(STDERR_FILENO) == 1) std::fputc('\n', CtlStderr());
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
    std::fprintf(CtlStdout(), "%02X\n", store.RemoteKeyBlock()[key]);
    std::fflush(CtlStdout());
    // The processor keeps what it is given: the learned code goes back with
    // the whole block, as Apply does in the editor.
    return SendKeyCodes(store);
}

} // namespace

CtlResult CheckRemoteArguments(const CtlOptions& options) {
    const RemoteArguments remote = SplitArguments(options.arguments);
    const auto& args = remote.words;
    if (args.size() != 2 || (args[0] != "save" && args[0] != "load" && args[0] != "learn"))
        return Usage("remote takes save FILE.remo, load FILE.remo or learn KEY");
    if (remote.clearUnknown && args[0] == "save")
        return Usage(std::string(kClearUnknown) + " goes with remote load or remote learn");
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
    // The read will tell the bytes the processor reports, no more.
    if (args[0] != "save") return CheckClearing(remote, ByteBits(0, fx::kReportedRemoteKeyBytes));
    return CtlResult::Ok();
}

CtlResult RunRemoteCommand(CtlSession& session, const CtlOptions& options) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    const RemoteArguments remote = SplitArguments(options.arguments);
    const std::string& verb = remote.words[0];
    const std::string& argument = remote.words[1];
    if (verb != "save") {
        // As the processor answered: nothing is learned or sent when it
        // reported less than it should.
        result = CheckClearing(remote, session.Store().RemoteKeysKnown());
        if (!result.ok()) return result;
    }
    if (verb == "save") return Save(session.Store(), argument);
    if (verb == "load") return Load(session.Store(), argument);
    return Learn(session.Store(), RemoteKeyFromText(argument));
}
