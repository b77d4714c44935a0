#include "CtlSession.h"

#include "CtlConfirm.h"
#include "CtlOutput.h"

#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/TextFormat.h"
#include "link/UsbLink.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/SyncJobs.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// As long as the editor's synchronisation dialog waits before giving up.
constexpr int kJobTimeoutMs = 30000;

const char* g_progressLabel = "";

void PrintProgress(int chunksDone, int chunkCount) {
    std::fprintf(CtlStderr(), "\r%s %d/%d", g_progressLabel, chunksDone, chunkCount);
    if (chunksDone == chunkCount) std::fputc('\n', CtlStderr());
    std::fflush(CtlStderr());
}

} // namespace

CtlSession::CtlSession(const CtlOptions& options, fx::ParamStore& store)
    : m_options(options), m_store(store),
      m_progress(isatty(STDERR_FILENO) == 1 &&
                 (options.command == "read" || options.command == "write")) {}

CtlSession::~CtlSession() {
    Disconnect();
}

CtlResult CtlSession::Connect() {
    if (m_options.usb) {
        m_store.Link().netMode = false;
        if (OpenDeviceLink() != 1)
            return CtlResult::Fail(kExitNoProcessor, "no processor found on USB");
    } else {
        in_addr address{};
        if (inet_pton(AF_INET, m_options.host.c_str(), &address) != 1)
            return CtlResult::Fail(kExitUsage,
                                   "bad address " + m_options.host + " (dotted IPv4 expected)");
        m_store.Link().netMode = true;
        const int result = NetConnect(m_options.host, m_options.port);
        if (result != 1) {
            const char* reason = result > 0 ? std::strerror(result) : "no socket";
            return CtlResult::Fail(kExitNoProcessor,
                                   fx::FormatText("no processor at %s:%d (%s)",
                                                  m_options.host.c_str(), m_options.port, reason));
        }
    }
    m_connected = true;
    return CtlResult::Ok();
}

void CtlSession::Disconnect() {
    if (m_connected) {
        // A processor that let a job run out of time is left without the
        // let-go, as the editor does: it would only wait for it.
        if (m_options.usb && m_letGo)
            DisconnectUsb();
        else if (m_options.usb)
            CloseUsbLink();
        else
            NetDisconnect(m_letGo);
        m_connected = false;
    }
    // With the link closed every job still running ends at its next check.
    JoinSyncJobs();
    SetSyncProgressCallback(nullptr);
}

CtlResult CtlSession::LinkFailure(const char* what) {
    const CtlView::Counts counts = m_view.Snapshot();
    if (counts.hostBusy)
        return CtlResult::Fail(kExitNoProcessor, "the processor is connected to another host");
    if (counts.timedOut)
        return CtlResult::Fail(kExitTimeout,
                               fx::FormatText("time-out: the processor stopped answering "
                                              "during the %s",
                                              what));
    return CtlResult::Fail(
        kExitTimeout, fx::FormatText("the link to the processor was lost during the %s", what));
}

CtlResult CtlSession::WaitForJob(bool write, int previousCount, const char* what) {
    auto ended = [write, previousCount](const CtlView::Counts& counts) {
        return (write ? counts.writeEnded : counts.readEnded) > previousCount;
    };
    const bool finished = m_view.WaitFor(ended, kJobTimeoutMs);
    // Direct sends from here on: a queued frame could still be waiting when
    // the link is closed.
    m_store.Link().queuedSend = false;
    if (m_progress && !(finished && ended(m_view.Snapshot()))) std::fputc('\n', CtlStderr());
    if (!finished) {
        m_letGo = false;
        return CtlResult::Fail(kExitTimeout, fx::FormatText("time-out during the %s", what));
    }
    if (!ended(m_view.Snapshot())) return LinkFailure(what);
    return CtlResult::Ok();
}

CtlResult CtlSession::JobFailure(const SyncResult& result, const char* what) {
    if (m_progress) std::fputc('\n', CtlStderr());
    if (result.outcome == SyncOutcome::NoAnswer)
        return CtlResult::Fail(kExitTimeout,
                               fx::FormatText("time-out: the processor did not answer the %s (%s)",
                                              what, result.missing.c_str()));
    return LinkFailure(what);
}

CtlResult CtlSession::ReadOutcome(bool requireCompatible, const char* what) {
    const SyncResult result = LastReadResult();
    switch (result.outcome) {
    case SyncOutcome::Completed:
    case SyncOutcome::Incompatible:
        // The whole identity came: an unsupported processor is reported
        // (an error unless the caller only wants to show it).
        return requireCompatible ? CheckCompatible() : CtlResult::Ok();
    case SyncOutcome::NoAnswer:
    case SyncOutcome::LinkLost:
    case SyncOutcome::Refused:
        break;
    }
    return JobFailure(result, what);
}

CtlResult CtlSession::CheckCompatible() const {
    const std::string name = ModuleNameText();
    if (name.empty())
        return CtlResult::Fail(kExitTimeout, "time-out: the processor did not answer");
    if (!IsKnownModel())
        return CtlResult::Fail(
            kExitRefused,
            fx::FormatText("unsupported processor model \"%s\" (command-set version %d)",
                           name.c_str(), m_store.Identity().commandSetVersion));
    if (m_store.Identity().commandSetVersion != kSupportedCommandSetVersion)
        return CtlResult::Fail(
            kExitRefused, fx::FormatText("unsupported command-set version %d of %s (%d needed)",
                                         m_store.Identity().commandSetVersion, name.c_str(),
                                         kSupportedCommandSetVersion));
    return CtlResult::Ok();
}

CtlResult CtlSession::ReadAll(bool requireCompatible) {
    // An empty name afterwards means the processor never answered.
    m_store.Identity().moduleName[0] = '\0';
    m_store.Identity().commandSetVersion = 0;
    g_progressLabel = "reading";
    SetSyncProgressCallback(m_progress ? PrintProgress : nullptr);
    const int previous = m_view.Snapshot().readEnded;
    StartDelayedRead();
    CtlResult result = WaitForJob(false, previous, "read");
    return result.ok() ? ReadOutcome(requireCompatible, "read") : result;
}

CtlResult CtlSession::WriteAll() {
    g_progressLabel = "writing";
    SetSyncProgressCallback(m_progress ? PrintProgress : nullptr);
    const int previous = m_view.Snapshot().writeEnded;
    StartWriteAll();
    CtlResult result = WaitForJob(true, previous, "write");
    if (!result.ok()) return result;
    const SyncResult written = LastWriteResult();
    if (written.Completed()) return CtlResult::Ok();
    if (written.outcome == SyncOutcome::Refused)
        return CtlResult::Fail(kExitFailed,
                               "the processor refused the whole-image write: " + written.missing);
    if (written.outcome == SyncOutcome::NoAnswer)
        return CtlResult::Fail(kExitTimeout,
                               "time-out: the processor did not confirm the whole-image write (" +
                                   written.missing + ")");
    return LinkFailure("write");
}

CtlResult CtlSession::SwitchMode(const std::string& what,
                                 const std::function<fx::Confirmation(int)>& switchMode) {
    SetSyncProgressCallback(nullptr);
    const int readsBefore = m_view.Snapshot().readEnded;
    const fx::Confirmation switched = switchMode(kJobTimeoutMs);
    const CtlResult result = switched ? WaitForJob(false, readsBefore, "mode switch")
                                      : ConfirmationResult(what, switched);
    // A refused or unanswered switch leaves no job running, and one that ran
    // out of time has had its time: the processor is let go either way.
    m_letGo = true;
    return result.ok() ? ReadOutcome(true, "read after the mode switch") : result;
}
