#include "pages/CModeCommands.h"

#include "link/LinkState.h"
#include "link/SendWorker.h"
#include "state/JobUi.h"
#include "state/MachineModes.h"
#include "state/ParamStore.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

const char* const kChineseDigits[kMachineModeCount] = {"一", "二", "三", "四"};
const char* const kDigits[kMachineModeCount] = {"1", "2", "3", "4"};

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

bool InRange(int commandId, int first) {
    return commandId >= first && commandId < first + kMachineModeCount;
}

} // namespace

CModeCommands::CModeCommands(fx::SendWorker& sender, fx::ParamStore& store, QObject* context)
    : m_sender(sender), m_store(store), m_context(context) {}

bool CModeCommands::Handle(int commandId) {
    if (InRange(commandId, kLoadFirst))
        Load(commandId - kLoadFirst);
    else if (InRange(commandId, kStoreFirst))
        Store(commandId - kStoreFirst);
    else if (InRange(commandId, kResetFirst))
        ResetMode(commandId - kResetFirst);
    else if (commandId == kResetProcessor)
        ResetProcessor();
    else
        return false;
    return true;
}

void CModeCommands::Load(int mode) {
    if (!m_store.Link().connected) return;
    mode = ClampMode(mode);
    if (m_store.Link().paramsChanged && !JobUi().AskYesNo(LoadQuestion(mode), InformationCaption()))
        return;
    m_sender.Post([mode] { LoadMachineMode(mode); });
    ShowSyncDialog("");
}

bool CModeCommands::Store(int mode) {
    if (!m_store.Link().connected) return false;
    mode = ClampMode(mode);
    if (!JobUi().AskYesNo(StoreQuestion(mode), InformationCaption())) return false;
    m_sender.Post([mode] { StoreMachineMode(mode); });
    // The text in the language of the moment it was asked for.
    QTimer::singleShot(kAfterStoreMs, m_context,
                       [notice = SavingNotice(mode)] { ShowInfo(notice, kSavingNoticeMs); });
    return true;
}

void CModeCommands::ResetMode(int mode) {
    if (!m_store.Link().connected) return;
    mode = ClampMode(mode);
    m_sender.Post([mode] { ResetMachineMode(mode); });
    ShowSyncDialog("");
}

bool CModeCommands::ResetProcessor() {
    if (!m_store.Link().connected) return false;
    const char* question = PickText("您确定要将机器复位吗? \n机器复位后请手动重启机器.",
                                    "Are you sure reset machine? ");
    if (!JobUi().AskYesNo(question, "提示")) return false;
    // It waits for nothing, and the channel link flags it resets are the
    // window's: the page reloaded next shows them linked again.
    ::ResetProcessor();
    ShowInfo(PickText("请手动重启……", "Please restart……"), kRestartNoticeMs);
    return true;
}

void CModeCommands::StoreWrittenFile(int mode) {
    m_sender.Post([mode] { StoreWrittenModeFile(mode); });
}
