#include "state/MachineModes.h"

#include "link/CommandFrames.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"
#include "state/DeviceMirrors.h"
#include "state/JobUi.h"
#include "state/Processor.h"

#include <algorithm>
#include <vector>

std::atomic<int>& g_PendingStoreMode() {
    return fx::CurrentProcessor().PendingStoreMode();
}

namespace {

constexpr int kBeforeModeSwitchMs = 50;
constexpr int kAnnounceToStoreMs = 20;
constexpr uint8_t kResetProcessorKey = 0xAA;

void SendModeCommand(uint8_t code, int mode) {
    SendShortCmd({code, static_cast<uint8_t>(mode)});
}

// Load and factory reset: the processor answers 5 or 6 when it has switched,
// and that reply starts the read job.
void SwitchMode(uint8_t code, int mode) {
    ClearStatusBlock();
    g_bJobIdle() = false;
    LinkSleepMs(kBeforeModeSwitchMs);
    g_CurrentMode() = mode;
    SendModeCommand(code, mode);
}

// The switch's own answer (link/LinkOutbox.h): reply 5 or 6 once the processor
// switched, or an error report naming the command.
fx::Confirmation SwitchModeAnswered(uint8_t code, int mode, int timeoutMs) {
    using Outcome = fx::Confirmation::Outcome;
    if (!g_bConnected() || !LinkUsable()) return {Outcome::LinkGone};
    const int previousMode = g_CurrentMode();
    std::vector<uint64_t> tickets;
    {
        fx::ConfirmScope confirming(tickets);
        SwitchMode(code, mode);
    }
    const fx::CommandAnswer answer = tickets.empty()
                                         ? fx::CommandAnswer{fx::CommandAnswer::Outcome::LinkGone}
                                         : fx::Outbox().WaitAnswer(tickets.front(), timeoutMs);
    switch (answer.outcome) {
    case fx::CommandAnswer::Outcome::Answered:
        return {Outcome::Confirmed};
    case fx::CommandAnswer::Outcome::Refused:
        // Nothing switched and no read follows: the status poll may go on.
        g_CurrentMode() = previousMode;
        g_bJobIdle() = true;
        return {Outcome::Refused, answer.error};
    case fx::CommandAnswer::Outcome::NoAnswer:
        return {Outcome::NoAnswer};
    default:
        return {Outcome::LinkGone};
    }
}

void StoreInto(int mode) {
    g_bParamsChanged() = false;
    g_CurrentMode() = mode;
    SendModeCommand(CMD_STORE_MODE, mode);
}

} // namespace

int ClampMode(int mode) {
    return std::clamp(mode, 0, kMachineModeCount - 1);
}

void LoadMachineMode(int mode) {
    if (!g_bConnected()) return;
    SwitchMode(CMD_LOAD_MODE, ClampMode(mode));
}

bool StoreMachineMode(int mode) {
    if (!g_bConnected()) return false;
    StoreInto(ClampMode(mode));
    return true;
}

void StoreCurrentMode() {
    if (!g_bConnected()) return;
    StoreInto(ClampMode(g_CurrentMode()));
}

void ResetMachineMode(int mode) {
    if (!g_bConnected()) return;
    SwitchMode(CMD_RESET_MODE, ClampMode(mode));
}

fx::Confirmation LoadMachineModeAnswered(int mode, int timeoutMs) {
    return SwitchModeAnswered(CMD_LOAD_MODE, ClampMode(mode), timeoutMs);
}

fx::Confirmation ResetMachineModeAnswered(int mode, int timeoutMs) {
    return SwitchModeAnswered(CMD_RESET_MODE, ClampMode(mode), timeoutMs);
}

void StoreWrittenModeFile(int mode) {
    if (!g_bConnected()) return;
    mode = ClampMode(mode);
    g_CurrentMode() = mode;
    SendModeCommand(CMD_ANNOUNCE_STORE, mode);
    fx::WaitAllWritten();
    LinkSleepMs(kAnnounceToStoreMs);
    SendModeCommand(CMD_STORE_MODE, mode);
}

bool ResetProcessor() {
    if (!g_bConnected()) return false;
    SendShortCmd({CMD_RESET_PROCESSOR, kResetProcessorKey});
    JobSettings().ResetChannelLinkFlags();
    return true;
}
