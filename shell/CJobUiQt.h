#pragma once

#include "state/JobUi.h"

// The windows behind the device state's questions and notices. Calls from
// other threads are carried into the user-interface thread (and wait there
// for the answer).
class CJobUiQt : public IJobUi, public IJobSettings {
public:
    int LanguageIndex() override;
    void ShowSyncDialog(const std::string& text) override;
    void ShowInfo(const std::string& text, int milliseconds) override;
    int AskThreeWay(const std::string& text, const std::string& firstButton,
                    const std::string& secondButton, void* parent) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override;

    void ResetChannelLinkFlags() override;
    void SaveChannelLinkFlags() override;
};
