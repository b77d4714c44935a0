#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "link/HidDevice.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyDispatcher.h"
#include "link/UsbLink.h"
#include "pages/CHalvoxPage.h"
#include "shell/CAppSettings.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CJobUiQt.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CSynDlg.h"
#include "state/DeviceMirrors.h"
#include "state/JobUi.h"
#include "state/MachineModes.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"
#include "state/StatusPoll.h"
#include "state/SyncJobs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstring>

namespace {
// The application and a private settings folder for the whole test run.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "gui_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        QStandardPaths::setTestModeEnabled(true);
        m_settings = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings->path());
    }
    void TearDown() override {
        m_settings.reset();
        m_app.reset();
    }

private:
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<QTemporaryDir> m_settings;
};

[[maybe_unused]] ::testing::Environment* const g_guiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

bool IsDspWrite(const SimRecord& record, int block, int parameter) {
    return record.size() >= 9 && record[0] == 9 && record[2] == block && record[3] == parameter;
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

ModalWatch WatchModalWidget(const std::function<bool(QWidget*)>& handler, int timeoutMs) {
    auto timer = std::make_unique<QTimer>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, [raw, clock, handler, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool handled = modal && handler(modal);
        if (handled || clock->elapsed() > timeoutMs) raw->stop();
    });
    raw->start(20);
    return timer;
}

void GuiFixture::SetUp() {
    JoinSyncJobs();
    QSettings(QSettings::NativeFormat, QSettings::UserScope, CAppSettings::kKey,
              QStringLiteral("Settings"))
        .clear();
    g_Language = 0;
    g_bConnected() = false;
    g_bNetMode() = false;
    g_bJobIdle() = true;
    g_bQueuedSend() = true;
    g_bParamsChanged() = false;
    // The view's twice-a-second status poll would land among the commands a
    // test counts whenever the test runs slowly; the tests of the poll switch
    // it on.
    g_bStatusPoll = false;
    g_CurrentMode() = 0;
    g_PendingStoreMode() = -1;
    std::memset(g_MachineSettingsDevice(), 0, sizeof g_MachineSettingsDevice());
    g_MachineSettingsDevice()[5] = 99;
    g_MachineSettingsDevice()[6] = 99;
    ResetErrorBoxGuard();
    m_ui = std::make_unique<CJobUiQt>();
    SetJobUi(m_ui.get());
    SetJobSettings(m_ui.get());
    m_sim = std::make_unique<SimProcessor>();
}

void GuiFixture::StartEditor(bool plugged) {
    m_usb = std::make_unique<VirtualHidBackend>(*m_sim);
    if (!plugged) m_usb->Unplug();
    SetHidBackend(m_usb.get());
    m_frame = new CMainFrame(fx::Store());
    m_frame->show();
}

bool GuiFixture::WaitForRead(int timeoutMs) {
    return WaitUntil(
        [this] {
            return g_bConnected() && g_bJobIdle() && !CSynDlg::IsShown() && !View()->IsFreshLink();
        },
        timeoutMs);
}

CHalvoxView* GuiFixture::View() const {
    return m_frame->View();
}

CRibbonBar* GuiFixture::Ribbon() const {
    return m_frame->Ribbon();
}

void GuiFixture::CloseStrayWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != m_frame && widget->isVisible()) widget->close();
    Pump(20);
}

void GuiFixture::TearDown() {
    if (m_frame) {
        g_bParamsChanged() = false;
        View()->CloseLink();
        NetDisconnect(false);
        JoinSyncJobs();
        CloseStrayWindows();
        delete m_frame;
        m_frame = nullptr;
    }
    JoinSyncJobs();
    Pump(20);
    SetHidBackend(nullptr);
    m_usb.reset();
    m_sim.reset();
    SetJobUi(nullptr);
    SetJobSettings(nullptr);
    m_ui.reset();
    g_Language = 0;
}

void GuiFixture::StartOnPage(int pageId, const std::function<void(SimProcessor::Image&)>& prepare) {
    PrepareMemory(prepare);
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    View()->ShowPage(pageId, 0);
    ASSERT_NE(nullptr, View()->CurrentPage());
    ASSERT_EQ(pageId, View()->CurrentPage()->PageId());
    m_sim->ClearCommandLog();
}

void GuiFixture::SwitchLanguageForScreenshot(int language) {
    if (g_Language != language) View()->ToggleLanguage();
    // The connect notice speaks the language it was shown in; a picture of
    // the other language would mix both.
    m_frame->StatusBar()->ShowNotice(QString(), 0);
}

void GuiFixture::ForEachScreenshotLayout(const std::function<void(const QString&)>& shoot) {
    const QSize sizes[] = {{1040, 700}, {1600, 1000}};
    for (const QSize& size : sizes) {
        m_frame->resize(size);
        Pump(100);
        for (int language : {0, 1}) {
            SwitchLanguageForScreenshot(language);
            Pump(150);
            shoot(QStringLiteral("-%1-%2x%3")
                      .arg(language == 1 ? "en" : "zh")
                      .arg(size.width())
                      .arg(size.height()));
        }
    }
}

void GuiFixture::PrepareMemory(const std::function<void(SimProcessor::Image&)>& prepare) {
    if (!prepare) return;
    SimProcessor::Image memory = m_sim->Memory();
    prepare(memory);
    m_sim->SetMemory(memory);
}

void GuiFixture::AllSent() {
    fx::WaitAllWritten();
}

std::vector<SimRecord> GuiFixture::Commands(size_t count) const {
    AllSent();
    EXPECT_TRUE(m_sim->WaitForCommandCount(count, 5000));
    Pump(30);
    return m_sim->ReceivedCommands();
}

std::vector<std::vector<uint8_t>> GuiFixture::DspWrites(int block, int parameter) const {
    AllSent();
    std::vector<std::vector<uint8_t>> values;
    for (const SimRecord& record : m_sim->ReceivedCommands())
        if (IsDspWrite(record, block, parameter))
            values.emplace_back(record.begin() + 5, record.end());
    return values;
}

uint32_t GuiFixture::LastDspValue(int block, int parameter) const {
    const auto writes = DspWrites(block, parameter);
    if (writes.empty() || writes.back().size() < 4) return 0xFFFFFFFFu;
    const auto& v = writes.back();
    return (uint32_t(v[0]) << 24) | (uint32_t(v[1]) << 16) | (uint32_t(v[2]) << 8) | v[3];
}
