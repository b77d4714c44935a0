#pragma once

#include "link/HidDevice.h"
#include "pages/CDialogMusicInput.h"
#include "pages/CSetDlg.h"
#include "pages/CloudnessDlg.h"
#include "pages/IPageHost.h"
#include "remote/CRemoteDlg.h"
#include "shell/CNetConnectDlg.h"

#include <QMessageBox>

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

namespace fx {
class ParamStore;
class SendWorker;
} // namespace fx

class CEditHistory;
class CHalvoxDoc;
class CModeCommands;
class CHalvoxPage;
class CMasterControls;
class CRibbonBar;
class CRibbonStatusBar;
class CStateThreadQt;
class CViewNotifierQt;
class QSystemTrayIcon;

// The hub of the editor window: hosts one page at a time, opens the link at
// start-up and follows it (arrival, removal, the jobs' end, network
// time-out), polls the processor's status, and runs the ribbon's commands.
class CHalvoxView : public QWidget, public fx::IPageHost {
    Q_OBJECT
public:
    enum TimerId { TIMER_OPEN_LINK = 1, TIMER_STATUS = 3, TIMER_PITCH = 4, TIMER_BALLOON = 990 };
    // The link opens at the first turn of the event loop once the window is
    // up: nothing on the processor's side waits for the window, so the read
    // starts at once (it was 250 ms, a quarter of a second of nothing).
    static constexpr int kOpenLinkDelayMs = 0;
    static constexpr int kStatusPeriodMs = 500;
    static constexpr int kPitchPeriodMs = 2000;

    CHalvoxView(CRibbonBar* ribbon, CRibbonStatusBar* statusBar, CHalvoxDoc* doc,
                fx::ParamStore& store, QWidget* parent);
    ~CHalvoxView() override;

    // The window creation: identity defaults, default image, stored language
    // and channel link flags, the music page, the language, timer 1.
    void Create();

    void ShowPage(int pageId, int subPage) override;
    void OnLinkOpened(int balloonMs = 5000);
    void ShowBalloon(const QString& text, const QString& title, int milliseconds);
    void RefreshPages();
    void ApplyLanguage();
    void ToggleLanguage();

    void OnCommand(int id);
    void OnCategoryChanged(int category);
    void OnViewMessage(int message, intptr_t wParam, intptr_t lParam);
    void OnHidNotice(HidNotice notice, const QString& path);

    // The closing sequence: the save question when parameters changed, then
    // the link is let go. False when the user cancelled.
    bool QueryClose();
    void CloseLink();

    // The idle update of the status bar.
    void UpdateStatusBar();
    // The status bar's count of parameters changed since the read, with
    // their list in the current language.
    void ShowChangedCount();
    // The Edit menu's entries from the undo stack.
    void UpdateEditMenu();

    CHalvoxPage* CurrentPage() const { return m_page; }
    CMasterControls& MasterControls() const { return *m_master; }
    bool IsTimerActive(int id) const;
    bool TimerEverStarted(int id) const { return m_startedTimers.contains(id); }
    bool IsFreshLink() const { return m_freshLink; }
    CNetConnectDlg* NetConnectDialog() const { return m_netDialog.data(); }
    QMessageBox* MismatchBox() const { return m_mismatchBox.data(); }
    // The box of a job the processor left unanswered (null when none is open).
    QMessageBox* JobFailureBox() const { return m_jobFailureBox.data(); }
    QString LastBalloonText() const { return m_lastBalloon; }
    // After a read that followed edits made while no processor was connected:
    // keep the processor's values or write the editor's (null when not asked).
    QMessageBox* OfflineQuestion() const { return m_offlineQuestion.data(); }
    int LastOutputChannel() const { return m_lastOutputChannel; }
    int LastMusicSubPage() const override { return m_lastMusicSubPage; }
    // F7: the machine settings dialog, created on first use.
    void OpenMachineSettings();
    CSetDlg* MachineSettingsDialog() const { return m_machineDialog.data(); }
    // The ribbon's input source button: the music input dialog of the
    // connected model's variant (a dialog of another variant is replaced).
    void OpenMusicInput();
    CDialogMusicInput* MusicInputDialog() const { return m_musicInputDialog.data(); }
    // The ribbon's features button.
    void OpenFeatures();
    CloudnessDlg* FeaturesDialog() const { return m_featuresDialog.data(); }
    // The ribbon's remote control button: the learning dialog, while a link is open.
    void OpenRemoteLearning();
    CRemoteDlg* RemoteDialog() const { return m_remoteDialog.data(); }
    // The undo stack of the user's edits and the comparison with the processor.
    CEditHistory& History() const { return *m_history; }
    // Sends that wait for the processor's answer run here, off this thread.
    fx::SendWorker& Sender() const { return *m_sender; }
    // The machine mode commands of the ribbon and the machine settings dialog.
    CModeCommands& ModeCommands() const { return *m_modeCommands; }

signals:
    // Message 1001: a learned remote key, for the remote-learning dialog.
    void remoteKeyData(int value);
    // The language was switched and the view's own windows relabelled.
    void languageApplied();

private:
    void StartTimer(QTimer& timer, int id, int milliseconds);
    void OnOpenLinkTimer();
    void OnStatusTimer();
    void OnJobEnded(intptr_t job, intptr_t outcome);
    void ReportMismatch();
    void ReportUnansweredJob(intptr_t job);
    void OnHostBusy();
    void OnNetTimeout();
    void DestroyToolDialogs();
    void RemoveTrayIcon();
    void OpenNetConnect();
    void ShowAbout();
    void OnEqReset();
    void OnRoomCorrection(int id);
    void PutStatusBarLastInTabOrder();
    void AskAboutOfflineEdits();
    void WriteOfflineEdits();

    CRibbonBar* m_ribbon;
    CRibbonStatusBar* m_statusBar;
    CHalvoxDoc* m_doc;
    fx::ParamStore& m_store;
    std::unique_ptr<CMasterControls> m_master;
    CEditHistory* m_history = nullptr;
    std::unique_ptr<CViewNotifierQt> m_notifier;
    std::unique_ptr<CStateThreadQt> m_stateThread;
    uint64_t m_lastStatusPoll = 0; // the outbox's mark of the last status request
    CHalvoxPage* m_page = nullptr;
    QTimer m_openLinkTimer, m_statusTimer, m_pitchTimer, m_balloonTimer;
    QSet<int> m_startedTimers;
    bool m_freshLink = true;
    bool m_mismatchGuard = true;
    int m_lastMusicSubPage = 0;
    int m_lastOutputChannel = 0;
    QSystemTrayIcon* m_tray = nullptr;
    QString m_lastBalloon;
    QPointer<QMessageBox> m_mismatchBox;
    QPointer<QMessageBox> m_jobFailureBox;
    QPointer<QMessageBox> m_offlineQuestion;
    // The parameters last known to be on a processor (the default image
    // before any), and what was edited while none was connected.
    std::vector<uint8_t> m_processorImage;
    std::vector<uint8_t> m_offlineImage;
    QPointer<CNetConnectDlg> m_netDialog;
    QPointer<CloudnessDlg> m_featuresDialog;
    QPointer<CDialogMusicInput> m_musicInputDialog;
    QPointer<CSetDlg> m_machineDialog;
    QPointer<CRemoteDlg> m_remoteDialog;
    std::unique_ptr<fx::SendWorker> m_sender;
    std::unique_ptr<CModeCommands> m_modeCommands;
};
