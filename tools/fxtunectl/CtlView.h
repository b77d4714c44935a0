#pragma once

#include "link/LinkClock.h"
#include "link/ViewNotifier.h"
#include "state/JobUi.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// The command line's stand-in for the editor's view and dialogs: it counts
// the messages the link and the jobs post, answers the questions with Yes
// (the command given is the user's answer), keeps the notices for stdout and
// the last message box for the error line.
class CtlView : public IViewNotifier, public IJobUi {
public:
    CtlView();
    ~CtlView() override;

    struct Counts {
        int readEnded = 0;     // 1002 with wParam 0
        int writeEnded = 0;    // 1002 with wParam 1
        bool timedOut = false; // 1003
        bool hostBusy = false; // 1007
    };
    Counts Snapshot();
    // The last message box's text on one line (empty when none), then forgotten.
    std::string TakeLastMessage();
    // The information notices shown so far, then forgotten. They are printed
    // once the command succeeded, so a notice never claims what failed.
    std::vector<std::string> TakeNotices();
    // The processor's error report (reply 10) as the editor's box shows it
    // (empty when none came), then forgotten.
    std::string TakeErrorBox();
    // Waits up to timeoutMs of link time until the counts satisfy done (or a
    // time-out / busy message came); false on time-out.
    template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs);

    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;

    int LanguageIndex() override { return 1; }
    void ShowSyncDialog(const std::string&) override {}
    void ShowInfo(const std::string& text, int milliseconds) override;
    int AskThreeWay(const std::string&, const std::string&, const std::string&, void*) override {
        return 0;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Counts m_counts;
    std::string m_lastMessage;
    std::vector<std::string> m_notices;
    std::string m_errorBox;
};

template <typename Predicate> bool CtlView::WaitFor(Predicate done, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return LinkWaitCondition(m_changed, lock, timeoutMs, [&] {
        return done(m_counts) || m_counts.timedOut || m_counts.hostBusy;
    });
}
