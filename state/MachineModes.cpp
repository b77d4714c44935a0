#include "state/MachineModes.h"

#include "link/CommandFrames.h"
#include "link/DeviceMirrors.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "state/JobUi.h"

#include <algorithm>
#include <cstdio>
#include <string>

std::atomic<int> g_PendingStoreMode{-1};

namespace {

constexpr int kBeforeModeSwitchMs = 50;
constexpr int kAfterStoreMs = 500;
constexpr int kAnnounceToStoreMs = 20;
constexpr int kSavingNoticeMs = 2500;
constexpr int kRestartNoticeMs = 10000;
constexpr uint8_t kResetProcessorKey = 0xAA;

const char* const kChineseDigits[kMachineModeCount] = {"一", "二", "三", "四"};
const char* const kDigits[kMachineModeCount] = {"1", "2", "3", "4"};

void SleepMs(int ms) {
    LinkSleepMs(ms);
}

const char* ModeNumberText(int mode) {
    return PickText(kChineseDigits[mode], kDigits[mode]);
}

const char* InformationCaption() {
    return PickText("信息", "Information");
}

std::string LoadQuestion(int mode) {
    return std::string(PickText("参数已更改，确定要直接载入模式",
                                "Setting changed ! Are you sure load mode")) +
           ModeNumberText(mode) + "?";
}

std::string StoreQuestion(int mode) {
    return std::string(PickText("确定要保存至机器模式", "Save to machine mode ")) +
           ModeNumberText(mode) + "?";
}

std::string SavingNotice(int mode) {
    char text[96];
    std::snprintf(text, sizeof text, PickText("正在储存模式%s,请稍等", "Saving Mode %s ……"),
                  ModeNumberText(mode));
    return text;
}

void SendModeCommand(uint8_t code, int mode) {
    SendShortCmd({code, static_cast<uint8_t>(mode)});
}

// Load and factory reset: the processor answers 5 or 6 when it has switched,
// and that reply starts the read job the dialog waits for.
void SwitchModeAndWaitForRead(uint8_t code, int mode) {
    ClearStatusBlock();
    g_bJobIdle = false;
    SleepMs(kBeforeModeSwitchMs);
    g_CurrentMode = mode;
    SendModeCommand(code, mode);
    ShowSyncDialog("");
}

void StoreInto(int mode) {
    g_bParamsChanged = false;
    g_CurrentMode = mode;
    SendModeCommand(CMD_STORE_MODE, mode);
}

} // namespace

int ClampMode(int mode) {
    return std::clamp(mode, 0, kMachineModeCount - 1);
}

void LoadMachineMode(int mode) {
    if (!g_bConnected) return;
    mode = ClampMode(mode);
    if (g_bParamsChanged && !JobUi().AskYesNo(LoadQuestion(mode), InformationCaption())) return;
    SwitchModeAndWaitForRead(CMD_LOAD_MODE, mode);
}

bool StoreMachineMode(int mode) {
    if (!g_bConnected) return false;
    mode = ClampMode(mode);
    if (!JobUi().AskYesNo(StoreQuestion(mode), InformationCaption())) return false;
    StoreInto(mode);
    SleepMs(kAfterStoreMs);
    ShowInfo(SavingNotice(mode), kSavingNoticeMs);
    return true;
}

void StoreCurrentMode() {
    if (!g_bConnected) return;
    StoreInto(ClampMode(g_CurrentMode));
}

void ResetMachineMode(int mode) {
    if (!g_bConnected) return;
    SwitchModeAndWaitForRead(CMD_RESET_MODE, ClampMode(mode));
}

void StoreWrittenModeFile(int mode) {
    if (!g_bConnected) return;
    mode = ClampMode(mode);
    g_CurrentMode = mode;
    SendModeCommand(CMD_ANNOUNCE_STORE, mode);
    SleepMs(kAnnounceToStoreMs);
    SendModeCommand(CMD_STORE_MODE, mode);
}

bool ResetProcessor() {
    if (!g_bConnected) return false;
    const char* question = PickText("您确定要将机器复位吗? \n机器复位后请手动重启机器.",
                                    "Are you sure reset machine? ");
    if (!JobUi().AskYesNo(question, "提示")) return false;
    SendShortCmd({CMD_RESET_PROCESSOR, kResetProcessorKey});
    JobSettings().ResetChannelLinkFlags();
    ShowInfo(PickText("请手动重启……", "Please restart……"), kRestartNoticeMs);
    return true;
}

bool HandleMachineModeCommand(int commandId) {
    auto inRange = [commandId](int first) {
        return commandId >= first && commandId < first + kMachineModeCount;
    };
    if (inRange(ID_LOAD_MODE_FIRST))
        LoadMachineMode(commandId - ID_LOAD_MODE_FIRST);
    else if (inRange(ID_STORE_MODE_FIRST))
        StoreMachineMode(commandId - ID_STORE_MODE_FIRST);
    else if (inRange(ID_RESET_MODE_FIRST))
        ResetMachineMode(commandId - ID_RESET_MODE_FIRST);
    else if (commandId == ID_RESET_PROCESSOR)
        ResetProcessor();
    else
        return false;
    return true;
}
