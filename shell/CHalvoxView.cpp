#include "shell/CHalvoxView.h"

#include "controls/Localisation.h"
#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/SendWorker.h"
#include "link/StateThread.h"
#include "link/UsbLink.h"
#include "pages/CDialogMusicInput.h"
#include "pages/CHalvoxPage.h"
#include "pages/CModeCommands.h"
#include "pages/CRoomCorrection.h"
#include "pages/CSetDlg.h"
#include "pages/CloudnessDlg.h"
#include "pages/PageRegistry.h"
#include "remote/CRemoteDlg.h"
#include "shell/CAboutDlg.h"
#include "shell/CAppSettings.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CInfoDlg.h"
#include "shell/CMasterControls.h"
#include "shell/CNetConnectDlg.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonIcons.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CStateThreadQt.h"
#include "shell/CSynDlg.h"
#include "shell/CViewNotifierQt.h"
#include "shell/RibbonIds.h"
#include "state/DeviceIdentity.h"
#include "state/DeviceMirrors.h"
#include "state/MachineModes.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"
#include "state/PresetDiff.h"
#include "state/StatusPoll.h"
#include "state/SyncJobs.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kArrivalBalloonMs = 4000;
constexpr int kBalloonMs = 5000;
constexpr int kHostBusyNoticeMs = 3000;
const char* const kAppName = "效果器调音软件v1.2";
} // namespace

CHalvoxView::CHalvoxView(CRibbonBar* ribbon, CRibbonStatusBar* statusBar, CHalvoxDoc* doc,
                         fx::ParamStore& store, QWidget* parent)
    : QWidget(parent), m_ribbon(ribbon), m_statusBar(statusBar), m_doc(doc), m_store(store),
      m_sender(std::make_unique<fx::SendWorker>()),
      m_modeCommands(std::make_unique<CModeCommands>(*m_sender, store, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_master = std::make_unique<CMasterControls>(
        *m_ribbon, [this] { StartTimer(m_pitchTimer, TIMER_PITCH, kPitchPeriodMs); });
    m_notifier = std::make_unique<CViewNotifierQt>(this);
    m_history = new CEditHistory(this);
    // Undo and redo change the image behind the pages' backs.
    connect(m_history, &CEditHistory::imageRestored, this, &CHalvoxView::RefreshPages);
    connect(m_history, &CEditHistory::changed, this, [this] { ShowChangedCount(); });
    QUndoStack* stack = &m_history->Stack();
    connect(stack, &QUndoStack::indexChanged, this, &CHalvoxView::UpdateEditMenu);
    connect(stack, &QUndoStack::undoTextChanged, this, &CHalvoxView::UpdateEditMenu);
    connect(stack, &QUndoStack::redoTextChanged, this, &CHalvoxView::UpdateEditMenu);
    UpdateEditMenu();

    m_openLinkTimer.setSingleShot(true);
    connect(&m_openLinkTimer, &QTimer::timeout, this, &CHalvoxView::OnOpenLinkTimer);
    connect(&m_statusTimer, &QTimer::timeout, this, &CHalvoxView::OnStatusTimer);
    connect(&m_pitchTimer, &QTimer::timeout, this, [this] { m_master->RefreshPitchDisplay(); });
    m_balloonTimer.setSingleShot(true);
    connect(&m_balloonTimer, &QTimer::timeout, this, &CHalvoxView::RemoveTrayIcon);

    connect(m_ribbon, &CRibbonBar::command, this, &CHalvoxView::OnCommand);
    connect(m_ribbon, &CRibbonBar::categoryChanged, this, &CHalvoxView::OnCategoryChanged);
    connect(m_statusBar, &CRibbonStatusBar::command, this, &CHalvoxView::OnCommand);
}

CHalvoxView::~CHalvoxView() {
    if (GetViewNotifier() == m_notifier.get()) SetViewNotifier(nullptr);
    m_notifier->Detach();
    m_stateThread.reset();
    SetHidNoticeListener(nullptr);
    RemoveTrayIcon();
}

void CHalvoxView::Create() {
    ResetIdentityToDefaults();
    BuildDefaultImage();
    g_Language = CAppSettings::Language() == 1 ? 1 : 0;
    CAppSettings::LoadChannelLinkFlags();

    // This thread owns the device state: the link's threads hand their
    // changes and messages over to it.
    if (!m_stateThread) m_stateThread = std::make_unique<CStateThreadQt>();
    SetViewNotifier(m_notifier.get());
    // Notices may come from the udev thread or the virtual device's caller:
    // they are always handled later, on this thread.
    QPointer<CHalvoxView> self(this);
    SetHidNoticeListener([self](HidNotice notice, const std::string& path) {
        fx::HandToStateThread([self, notice, path] {
            if (self) self->OnHidNotice(notice, QString::fromStdString(path));
        });
    });
    RegisterDeviceArrival();

    m_processorImage = fx::EditedImage();
    ShowPage(PAGE_MUSIC, 0);
    ApplyLanguage();
    m_master->RefreshRibbon();
    StartTimer(m_openLinkTimer, TIMER_OPEN_LINK, kOpenLinkDelayMs);
}

void CHalvoxView::StartTimer(QTimer& timer, int id, int milliseconds) {
    m_startedTimers.insert(id);
    timer.start(milliseconds);
}

bool CHalvoxView::IsTimerActive(int id) const {
    switch (id) {
    case TIMER_OPEN_LINK:
        return m_openLinkTimer.isActive();
    case TIMER_STATUS:
        return m_statusTimer.isActive();
    case TIMER_PITCH:
        return m_pitchTimer.isActive();
    case TIMER_BALLOON:
        return m_balloonTimer.isActive();
    default:
        return false;
    }
}

// ------------------------------------------------------------------ pages

void CHalvoxView::ShowPage(int pageId, int subPage) {
    if (!fx::IsPageId(pageId)) return;
    if (m_page && m_page->PageId() == pageId) {
        if (pageId == PAGE_MUSIC) {
            m_lastMusicSubPage = subPage;
            m_page->SelectSubPage(subPage);
            m_page->Reload();
            return;
        }
        if (pageId == PAGE_OUTPUT) {
            m_lastOutputChannel = subPage;
            if (m_page->SubPage() != subPage) m_page->SelectSubPage(subPage);
            return;
        }
        if (pageId == PAGE_EFFECTS) m_page->SelectSubPage(subPage);
        return;
    }
    if (m_page) {
        // The output page may have changed its channel itself.
        if (m_page->PageId() == PAGE_OUTPUT) m_lastOutputChannel = m_page->SubPage();
        layout()->removeWidget(m_page);
        delete m_page;
        m_page = nullptr;
    }
    if (pageId == PAGE_MUSIC) m_lastMusicSubPage = subPage;
    if (pageId == PAGE_OUTPUT) m_lastOutputChannel = subPage;
    m_page = fx::CreatePage(pageId, subPage, this, m_store);
    layout()->addWidget(m_page);
    m_page->show();
    PutStatusBarLastInTabOrder();
    UpdateStatusBar();
}

// Tab goes from the ribbon through the page to the status bar's EQ controls
// (a new page's controls join the end of the window's chain).
void CHalvoxView::PutStatusBarLastInTabOrder() {
    QWidget* frame = window();
    QWidget* bypass = m_statusBar->BypassBox();
    QWidget* reset = m_statusBar->ResetButton();
    QWidget* last = frame;
    for (QWidget* w = frame->nextInFocusChain(); w && w != frame; w = w->nextInFocusChain())
        if (w != bypass && w != reset) last = w;
    if (last == frame) return;
    QWidget::setTabOrder(last, bypass);
    QWidget::setTabOrder(bypass, reset);
}

void CHalvoxView::OnCategoryChanged(int category) {
    const QString name = m_ribbon->CategoryName(category);
    if (name == QString::fromUtf8("输入控制") || name == QStringLiteral("Input"))
        ShowPage(PAGE_MUSIC, 0);
    else if (name == QString::fromUtf8("输出调节") || name == QStringLiteral("Output"))
        ShowPage(PAGE_OUTPUT, m_lastOutputChannel);
}

void CHalvoxView::RefreshPages() {
    m_master->RefreshRibbon();
    if (m_page) m_page->Reload();
    if (m_machineDialog) m_machineDialog->Reload();
    if (m_musicInputDialog) m_musicInputDialog->Reload();
    if (m_featuresDialog) m_featuresDialog->Reload();
}

// ------------------------------------------------------------------ language

void CHalvoxView::ApplyLanguage() {
    LoadCurrentLanguageFile();
    m_master->RelabelRibbon();
    m_statusBar->Relabel();
    m_history->Relabel();
    ShowChangedCount();
    UpdateStatusBar();
    if (m_machineDialog) m_machineDialog->Relabel();
    if (m_musicInputDialog) m_musicInputDialog->Relabel();
    if (m_remoteDialog) m_remoteDialog->Relabel();
    if (m_featuresDialog) m_featuresDialog->Relabel();
    if (m_netDialog) m_netDialog->Relabel();
    if (m_page) m_page->Relabel();
    emit languageApplied();
}

void CHalvoxView::ShowChangedCount() {
    m_statusBar->SetChangedCount(m_history->ChangedSinceRead(),
                                 m_history->ChangedSinceReadLines(g_Language));
}

void CHalvoxView::ToggleLanguage() {
    g_Language = 1 - g_Language;
    CAppSettings::SetLanguage(g_Language);
    ApplyLanguage();
}

// ------------------------------------------------------------------ link

void CHalvoxView::OnOpenLinkTimer() {
    m_openLinkTimer.stop();
    if (OpenDeviceLink() == 1) OnLinkOpened(kBalloonMs);
}

void CHalvoxView::OnLinkOpened(int balloonMs) {
    m_freshLink = true;
    // Edits made while no processor was connected are kept aside from the
    // read; once it has ended the user chooses between them and the processor.
    m_offlineImage.clear();
    if (std::vector<uint8_t> image = fx::EditedImage(); image != m_processorImage)
        m_offlineImage = std::move(image);
    // The new processor may be another model, with other sources.
    if (m_musicInputDialog) delete m_musicInputDialog.data();
    ShowBalloon(Tr("设备已连接，同步中……", "Device connected!"), Tr("信息", "Information"),
                balloonMs);
    StartDelayedRead();
    CSynDlg::ShowSyncDialog(QString());
    StartTimer(m_statusTimer, TIMER_STATUS, kStatusPeriodMs);
    StartTimer(m_pitchTimer, TIMER_PITCH, kPitchPeriodMs);
}

void CHalvoxView::OnStatusTimer() {
    if (!m_store.Link().jobIdle || !m_store.Link().connected || !g_bStatusPoll) return;
    // One request at a time: behind a processor slower than the poll, the
    // requests would pile up in the outbox ahead of every change.
    if (!fx::Outbox().Written(m_lastStatusPoll)) return;
    SendShortCmd({CMD_GET_STATUS});
    m_lastStatusPoll = fx::Outbox().Mark();
}

void CHalvoxView::OnHidNotice(HidNotice notice, const QString& path) {
    if (notice == HidNotice::Arrival) {
        if (m_store.Link().connected) return;
        m_store.Link().netMode = false;
        if (OpenDeviceLink() != 1) return;
        DestroyToolDialogs();
        OnLinkOpened(kArrivalBalloonMs);
        return;
    }
    if (m_store.Link().connected && m_store.Link().netMode)
        return; // the network link does not care
    DebugLog("removed!\n");
    const QString linked = QString::fromStdString(UsbDevicePath());
    if (linked.isEmpty() || linked.compare(path, Qt::CaseInsensitive) != 0) return;
    CloseUsbLink();
    m_statusTimer.stop();
    m_pitchTimer.stop();
    CSynDlg::CloseSyncDialog();
    ShowBalloon(Tr("设备已断开!", "Device Disconnected!"), Tr("信息", "Information"), kBalloonMs);
}

void CHalvoxView::OnViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_REMOTE_KEY_DATA:
        if (m_remoteDialog) m_remoteDialog->OnRemoteKeyData(static_cast<int>(wParam));
        emit remoteKeyData(static_cast<int>(wParam));
        break;
    case WM_JOB_ENDED:
        OnJobEnded(wParam, lParam);
        break;
    case WM_NET_TIMEOUT:
        OnNetTimeout();
        break;
    case WM_HOST_BUSY:
        OnHostBusy();
        break;
    default:
        break;
    }
}

void CHalvoxView::OnJobEnded(intptr_t job, intptr_t outcome) {
    CSynDlg::CloseSyncDialog();
    // A refused write was not taken either (the error box names the code).
    if (outcome == static_cast<intptr_t>(SyncOutcome::NoAnswer) ||
        outcome == static_cast<intptr_t>(SyncOutcome::Refused)) {
        ReportUnansweredJob(job);
        return;
    }
    if (outcome == static_cast<intptr_t>(SyncOutcome::LinkLost)) {
        // The removal or time-out notice tells why; nothing is refreshed or stored.
        g_PendingStoreMode() = -1;
        if (!m_store.Link().connected) {
            m_statusTimer.stop();
            m_pitchTimer.stop();
        }
        return;
    }
    if (IsCompatible()) {
        // A confirmed write: the processor holds the editor's parameters.
        if (job == 1) m_history->ProcessorHoldsEditorImage();
        const int pending = g_PendingStoreMode().exchange(-1);
        if (pending >= 0 && pending < kMachineModeCount) m_modeCommands->StoreWrittenFile(pending);
        RefreshPages();
        m_freshLink = false;
        if (job == 0 && !m_offlineImage.empty()) AskAboutOfflineEdits();
        return;
    }
    if (!m_store.Link().connected) {
        // The processor went away before it told its identity: there is
        // nothing to reject, and a mismatch box would blame the wrong thing.
        m_statusTimer.stop();
        m_pitchTimer.stop();
        return;
    }
    ReportMismatch();
}

void CHalvoxView::AskAboutOfflineEdits() {
    if (m_offlineQuestion) return;
    auto* box = new QMessageBox(
        QMessageBox::Question, Tr("离线修改", "Edited offline"),
        Tr("未连接设备时修改过参数。\n要保留从设备读出的参数（放弃这些修改），"
           "还是把编辑器中的参数写入设备？",
           "Parameters were changed while no processor was connected.\nKeep the values read "
           "from the processor (dropping those changes), or write the editor's values to it?"),
        QMessageBox::NoButton, window());
    QPushButton* keep = box->addButton(Tr("保留设备的参数", "Keep the processor's values"),
                                       QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("keepProcessorValues"));
    QPushButton* write = box->addButton(Tr("写入编辑器的参数", "Write the editor's values"),
                                        QMessageBox::AcceptRole);
    write->setObjectName(QStringLiteral("writeEditorValues"));
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::buttonClicked, this, [this, write](QAbstractButton* clicked) {
        if (clicked == write) WriteOfflineEdits();
        m_offlineImage.clear();
    });
    m_offlineQuestion = box;
    box->open();
}

// The edits made offline go back into the editor and, with the whole-image
// write, to the processor.
void CHalvoxView::WriteOfflineEdits() {
    if (m_offlineImage.size() != size_t(kImageSize)) return;
    {
        // A change of the image like any other: under the state lock.
        fx::StateGuard lock(fx::StateLock());
        std::copy(m_offlineImage.begin(), m_offlineImage.end(), m_store.Image());
        RefreshFromImage();
    }
    RefreshPages();
    if (!m_store.Link().connected) return; // kept in the editor; the next link asks again
    StartWriteAll();
    CSynDlg::ShowSyncDialog(QString());
}

void CHalvoxView::ReportMismatch() {
    const QByteArray name = QByteArray::fromStdString(ModuleNameText());
    const char* format = IsKnownModel() ? "E:%s_%02x 通信版本不匹配!" : "E:%s_%02x 机器型号不匹配!";
    const QString text = QString::asprintf(
        format, name.constData(), static_cast<unsigned>(m_store.Identity().commandSetVersion));
    CloseLink();
    m_statusTimer.stop();
    m_pitchTimer.stop();
    if (!m_mismatchGuard) return;
    m_mismatchGuard = false;
    // Shown without blocking: a further job end meanwhile finds the guard clear.
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8("错误"), text,
                                QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this] { m_mismatchGuard = true; });
    m_mismatchBox = box;
    box->open();
}

// The processor left requests of a job unanswered. A read kept the image
// as it was, so the pages do not show the processor: the link is let go. A
// write that was not confirmed is not stored into a machine mode.
void CHalvoxView::ReportUnansweredJob(intptr_t job) {
    const bool read = job == 0;
    g_PendingStoreMode() = -1;
    if (read) {
        CloseLink();
        m_statusTimer.stop();
        m_pitchTimer.stop();
    }
    if (m_jobFailureBox) return;
    auto* box = new QMessageBox(
        QMessageBox::Critical, QString::fromUtf8("错误"),
        read ? Tr("设备没有应答，未能读取全部参数，连接已断开!",
                  "The device did not answer: its parameters could not all be read. "
                  "Disconnected!")
             : Tr("设备没有确认写入的参数!", "The device did not confirm the parameters written!"),
        QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_jobFailureBox = box;
    box->open();
}

void CHalvoxView::OnNetTimeout() {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kAppName),
                                Tr("主机超时，网络断开!", "Host timeout,Disconnected!"),
                                QMessageBox::Ok, window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CHalvoxView::OnHostBusy() {
    CSynDlg::CloseSyncDialog();
    CInfoDlg::ShowInfo(Tr("主机已连接其他设备，请先断开!", "Host is connected!"),
                       kHostBusyNoticeMs);
}

void CHalvoxView::CloseLink() {
    if (m_store.Link().netMode)
        NetDisconnect(true);
    else
        DisconnectUsb();
}

void CHalvoxView::DestroyToolDialogs() {
    if (m_featuresDialog) delete m_featuresDialog.data();
    if (m_musicInputDialog) delete m_musicInputDialog.data();
    if (m_machineDialog) delete m_machineDialog.data();
    if (m_remoteDialog) delete m_remoteDialog.data();
    if (m_netDialog) delete m_netDialog.data();
}

// ------------------------------------------------------------------ balloon

void CHalvoxView::ShowBalloon(const QString& text, const QString& title, int milliseconds) {
    m_lastBalloon = text;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(CRibbonIcons::Information(), this);
            connect(m_tray, &QSystemTrayIcon::activated, this, &CHalvoxView::RemoveTrayIcon);
            connect(m_tray, &QSystemTrayIcon::messageClicked, this, &CHalvoxView::RemoveTrayIcon);
        }
        m_tray->show();
        m_tray->showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
    } else {
        m_statusBar->ShowNotice(title + QStringLiteral(": ") + text, milliseconds);
    }
    StartTimer(m_balloonTimer, TIMER_BALLOON, milliseconds);
}

void CHalvoxView::RemoveTrayIcon() {
    if (m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
        m_tray = nullptr;
    }
}

// ------------------------------------------------------------------ commands

void CHalvoxView::OnCommand(int id) {
    if (m_master->HandleCommand(id)) return;
    if (id >= ID_MODE_LOAD_FIRST && id < ID_MODE_STORE_FIRST + kMachineModeCount) {
        m_modeCommands->Handle(id);
        UpdateStatusBar();
        return;
    }
    switch (id) {
    case ID_FILE_LOAD_IN:
    case ID_FILE_LOAD_OUT:
    case ID_FILE_OPEN:
        m_doc->OnFileOpen();
        break;
    case ID_FILE_SAVE_IN:
    case ID_FILE_SAVE_OUT:
    case ID_FILE_SAVE:
        m_doc->OnFileSave();
        break;
    case ID_FILE_COMPARE:
        m_doc->OnFileCompare();
        break;
    case ID_EDIT_UNDO:
        m_history->Undo();
        break;
    case ID_EDIT_REDO:
        m_history->Redo();
        break;
    case ID_NET_CONNECT:
        OpenNetConnect();
        break;
    case ID_MACHINE_SETTINGS:
        OpenMachineSettings();
        break;
    case ID_FEATURES:
        OpenFeatures();
        break;
    case ID_INPUT_SOURCE:
        OpenMusicInput();
        break;
    case ID_MACHINE_RESET:
        // The reset links the channel pairs again; the page shows it.
        if (m_modeCommands->ResetProcessor() && m_page) m_page->Reload();
        break;
    case ID_REMOTE_LEARN:
        OpenRemoteLearning();
        break;
    case ID_LANGUAGE:
        ToggleLanguage();
        break;
    case ID_APP_ABOUT:
        ShowAbout();
        break;
    case ID_APP_EXIT:
        window()->close();
        break;
    case ID_EQ_BYPASS:
        if (m_page && m_page->HasEqualiser()) m_page->ToggleEqBypass();
        UpdateStatusBar();
        break;
    case ID_EQ_RESET:
        OnEqReset();
        break;
    case ID_ROOM_LOAD:
    case ID_ROOM_FIT:
    case ID_ROOM_EXPORT:
        OnRoomCorrection(id);
        break;
    default:
        break; // labels, mode buttons, panes: drawn enabled, nothing to do
    }
}

// The Edit menu's room correction acts on the EQ of the page shown.
void CHalvoxView::OnRoomCorrection(int id) {
    CRoomCorrection* room = m_page ? m_page->RoomCorrection() : nullptr;
    if (!room) {
        m_statusBar->ShowNotice(Tr("这一页没有均衡：房间校正用于话筒、音乐、效果、通道和录音页。",
                                   "This page has no EQ: room correction works on the microphone, "
                                   "music, effects, channel and recording pages."),
                                kBalloonMs);
        return;
    }
    if (id == ID_ROOM_LOAD)
        room->LoadMeasurement();
    else if (id == ID_ROOM_FIT)
        room->ChooseAndFit();
    else if (room->HasMeasurement())
        room->ExportPredicted();
    else
        m_statusBar->ShowNotice(Tr("请先载入测量。", "Load a measurement first."), kBalloonMs);
}

void CHalvoxView::OnEqReset() {
    if (!m_page || !m_page->HasEqualiser()) return;
    const auto answer =
        QMessageBox::question(window(), QString::fromUtf8("提示"),
                              Tr("您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) m_page->ResetShownEq();
}

namespace {
void ShowToolDialog(QWidget* dialog) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

void CHalvoxView::OpenNetConnect() {
    if (m_netDialog) {
        ShowToolDialog(m_netDialog);
        return;
    }
    m_netDialog = new CNetConnectDlg([this] { OnLinkOpened(kBalloonMs); }, window());
    m_netDialog->show();
}

void CHalvoxView::OpenMusicInput() {
    const int resource = MusicInputDialogFor();
    if (m_musicInputDialog && m_musicInputDialog->Resource() != resource)
        delete m_musicInputDialog.data();
    if (!m_musicInputDialog) m_musicInputDialog = new CDialogMusicInput(resource, window());
    ShowToolDialog(m_musicInputDialog);
}

void CHalvoxView::OpenFeatures() {
    if (!m_featuresDialog) m_featuresDialog = new CloudnessDlg(m_store, window());
    ShowToolDialog(m_featuresDialog);
}

void CHalvoxView::OpenMachineSettings() {
    if (!m_machineDialog) {
        m_machineDialog = new CSetDlg(*m_sender, m_store, window());
        // A power-on volume moves the live master volume: the ribbon shows it.
        connect(m_machineDialog, &CSetDlg::masterVolumeSent, this,
                [this] { m_master->RefreshRibbon(); });
    }
    ShowToolDialog(m_machineDialog);
}

void CHalvoxView::OpenRemoteLearning() {
    if (!m_store.Link().connected) return;
    if (!m_remoteDialog) m_remoteDialog = new CRemoteDlg(*m_sender, m_store, window());
    m_remoteDialog->Relabel();
    ShowToolDialog(m_remoteDialog);
}

void CHalvoxView::ShowAbout() {
    CAboutDlg about(window());
    about.exec();
}

// ------------------------------------------------------------------ status bar

void CHalvoxView::UpdateEditMenu() {
    const QUndoStack& stack = m_history->Stack();
    m_ribbon->SetUndoTexts(stack.undoText(), stack.canUndo(), stack.redoText(), stack.canRedo());
}

void CHalvoxView::UpdateStatusBar() {
    // While a processor is linked, read and idle, the editor holds what it holds.
    if (m_store.Link().connected && m_store.Link().jobIdle && !m_freshLink && !m_offlineQuestion)
        m_processorImage = fx::EditedImage();
    m_statusBar->UpdatePanes();
    const bool eq = m_page && m_page->HasEqualiser();
    m_statusBar->SetEqControls(eq, eq && m_page->EqBypassed());
}

// ------------------------------------------------------------------ closing

bool CHalvoxView::QueryClose() {
    if (m_store.Link().paramsChanged) {
        QMessageBox box(
            QMessageBox::Question, Tr("保存?", "Save?"),
            Tr("参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
               "parameter value is changed, do you want save it ?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window());
        box.setObjectName(QStringLiteral("saveQuestion"));
        const int answer = box.exec();
        if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape) return false;
        if (answer == QMessageBox::Yes) {
            m_doc->SaveOnClose();
            // Letting go empties the outbox; the store into the current mode
            // the user just asked for must reach the processor first.
            fx::WaitAllWritten();
        }
    }
    m_statusTimer.stop();
    m_pitchTimer.stop();
    CloseLink();
    return true;
}
