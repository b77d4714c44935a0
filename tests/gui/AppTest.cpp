#include "tests/gui/GuiTestSupport.h"

#include "link/HidDevice.h"
#include "link/LinkState.h"
#include "shell/CAboutDlg.h"
#include "shell/CDemoMode.h"
#include "shell/CHalvoxApp.h"
#include "shell/CHalvoxView.h"
#include "shell/CSynDlg.h"
#include "shell/RibbonIds.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/StatusPoll.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUuid>

TEST(AppOptionsTest, CommandLine) {
    struct Case {
        QStringList arguments;
        bool demo, demoNetwork;
        QString address;
        int port;
        QString document;
        bool error;
    };
    const std::vector<Case> cases = {
        {{"fxtune"}, false, false, "", 0, "", false},
        {{"fxtune", "--demo"}, true, false, "", 0, "", false},
        {{"fxtune", "--demo", "net"}, true, true, "", 0, "", false},
        {{"fxtune", "--connect", "127.0.0.1:4000"}, false, false, "127.0.0.1", 4000, "", false},
        {{"fxtune", "--connect", "127.000.0.01"}, false, false, "127.0.0.1", 0, "", false},
        {{"fxtune", "--connect", "300.0.0.1"}, false, false, "", 0, "", true},
        {{"fxtune", "--connect", "127.0.0.1:x"}, false, false, "", 0, "", true},
        {{"fxtune", "--connect"}, false, false, "", 0, "", true},
        {{"fxtune", "m3 party.mode"}, false, false, "", 0, "m3 party.mode", false},
        {{"fxtune", "--bogus"}, false, false, "", 0, "", true},
    };
    for (const Case& c : cases) {
        const auto options = CHalvoxApp::ParseCommandLine(c.arguments);
        const QString label = c.arguments.join(' ');
        EXPECT_EQ(c.error, !options.error.isEmpty()) << label.toStdString();
        if (c.error) continue;
        EXPECT_EQ(c.demo, options.demo) << label.toStdString();
        EXPECT_EQ(c.demoNetwork, options.demoNetwork) << label.toStdString();
        EXPECT_EQ(c.address, options.connectAddress) << label.toStdString();
        EXPECT_EQ(c.port, options.connectPort) << label.toStdString();
        EXPECT_EQ(c.document, options.documentPath) << label.toStdString();
    }
}

namespace {
// The application object as fxtune runs it, without showing its window.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "ARN63 V1.0", "Settings").clear();
        g_bConnected() = false;
        g_bNetMode() = false;
        // No real HID device is ever looked at; the demo installs its own.
        m_noProcessor.Unplug();
        SetHidBackend(&m_noProcessor);
    }
    void TearDown() override {
        if (m_app) {
            g_bParamsChanged() = false;
            m_app->ExitInstance();
        }
        m_app.reset();
        Pump(20);
        SetHidBackend(nullptr);
    }
    CHalvoxApp& Start(QStringList arguments) {
        arguments.prepend("fxtune");
        arguments
            << "--instance"
            << QStringLiteral("fxtune-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
        CHalvoxApp::Options options = CHalvoxApp::ParseCommandLine(arguments);
        options.showWindow = false;
        m_app = std::make_unique<CHalvoxApp>();
        EXPECT_TRUE(m_app->InitInstance(options));
        return *m_app;
    }
    bool WaitForRead() {
        return WaitUntil([this] {
            return g_bConnected() && g_bJobIdle() && !CSynDlg::IsShown() &&
                   !m_app->Frame()->View()->IsFreshLink();
        });
    }
    SimProcessor m_sim;
    VirtualHidBackend m_noProcessor{m_sim};
    std::unique_ptr<CHalvoxApp> m_app;
};
} // namespace

TEST_F(AppTest, UsbDemoReadsAndFollowsUnplugAndReplug) {
    CHalvoxApp& app = Start({"--demo"});
    ASSERT_TRUE(WaitForRead());
    EXPECT_FALSE(g_bNetMode());
    // The Demo menu offers only the move that changes something.
    const auto offered = [&] {
        std::vector<bool> enabled;
        for (QAction* action : app.Demo()->Menu()->actions())
            enabled.push_back(action->isEnabled());
        return enabled;
    };
    EXPECT_EQ((std::vector<bool>{true, false}), offered()); // unplug, plug in
    app.Demo()->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    EXPECT_EQ((std::vector<bool>{false, true}), offered());
    app.Demo()->Plug();
    EXPECT_TRUE(WaitForRead());
    EXPECT_EQ((std::vector<bool>{true, false}), offered());
}

TEST_F(AppTest, DemoMenuFollowsTheLanguage) {
    CHalvoxApp& app = Start({"--demo"});
    const auto demoButton = [&] {
        for (QToolButton* candidate : app.Frame()->findChildren<QToolButton*>())
            if (candidate->defaultAction() && candidate->defaultAction()->menu()) return candidate;
        return static_cast<QToolButton*>(nullptr);
    };
    ASSERT_NE(nullptr, demoButton());
    const QString before = demoButton()->text();
    app.Frame()->View()->OnCommand(ID_LANGUAGE);
    const QString after = demoButton()->text();
    EXPECT_NE(before, after);
    EXPECT_TRUE(after == QStringLiteral("Demo") || after == QString::fromUtf8("演示"))
        << after.toStdString();
    app.Frame()->View()->OnCommand(ID_LANGUAGE);
    EXPECT_EQ(before, demoButton()->text());
}

TEST_F(AppTest, NetworkDemoConnectsOverLoopback) {
    CHalvoxApp& app = Start({"--demo", "net"});
    ASSERT_TRUE(WaitForRead());
    EXPECT_TRUE(g_bNetMode());
    EXPECT_GT(app.Demo()->Port(), 0);
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "ARN63 V1.0", "Settings");
    EXPECT_EQ(QStringLiteral("127.0.0.1"), store.value("IPAddr").toString());
    EXPECT_EQ(215, store.value("ApplicationLook").toInt());
}

TEST_F(AppTest, ApplicationLookIsForcedTo215) {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "ARN63 V1.0", "Settings")
        .setValue("ApplicationLook", 216);
    CHalvoxApp& app = Start({});
    EXPECT_EQ(215,
              QSettings(QSettings::NativeFormat, QSettings::UserScope, "ARN63 V1.0", "Settings")
                  .value("ApplicationLook")
                  .toInt());
    EXPECT_EQ(QString::fromUtf8("效果器调音软件v1.2"), app.Frame()->windowTitle());
    // With a frame around it, the smallest window fits a 1040 x 700 screen.
    const QSize smallest = app.Frame()->minimumSize();
    EXPECT_LE(smallest.width() + CMainFrame::kFrameAllowance.width(), 1040);
    EXPECT_LE(smallest.height() + CMainFrame::kFrameAllowance.height(), 700);
    EXPECT_EQ(1, app.Frame()->property("ARN63 V1.0").toInt());
}

TEST_F(AppTest, F7OpensMachineSettingsUnlessTheSyncDialogIsShown) {
    CHalvoxApp& app = Start({});
    auto machineDialogs = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->windowTitle() == QString::fromUtf8("机器设置"))
                ++count;
        return count;
    };
    CSynDlg::ShowSyncDialog(QString());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_F7, Qt::NoModifier);
    QApplication::sendEvent(app.Frame(), &release);
    EXPECT_EQ(0, machineDialogs());
    CSynDlg::CloseSyncDialog();
    Pump(20);
    QApplication::sendEvent(app.Frame(), &release);
    EXPECT_EQ(1, machineDialogs());
    QApplication::sendEvent(app.Frame(), &release); // one instance
    EXPECT_EQ(1, machineDialogs());
}

TEST(AboutBoxTest, CtrlShiftF11RevealsModuleLineAndPeakBox) {
    g_bStatusPoll = true;
    CAboutDlg about(nullptr);
    about.show();
    QKeyEvent plain(QEvent::KeyRelease, Qt::Key_F11, Qt::NoModifier);
    QApplication::sendEvent(&about, &plain);
    EXPECT_TRUE(about.ModuleLine()->isHidden());
    QKeyEvent combo(QEvent::KeyRelease, Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(&about, &combo);
    EXPECT_FALSE(about.ModuleLine()->isHidden());
    EXPECT_FALSE(about.PeakBox()->isHidden());
    EXPECT_TRUE(about.PeakBox()->isChecked());
    about.PeakBox()->click();
    EXPECT_FALSE(g_bStatusPoll);
    g_bStatusPoll = true;
}

TEST_F(AppTest, ConnectOptionConnectsAtStart) {
    SimProcessor netSim;
    SimTcpServer server(netSim);
    ASSERT_TRUE(server.Start(0));
    Start({"--connect", QStringLiteral("127.0.0.1:%1").arg(server.Port())});
    ASSERT_TRUE(WaitForRead());
    EXPECT_TRUE(g_bNetMode());
    EXPECT_TRUE(server.IsClientConnected());
}

TEST_F(AppTest, MissingDocumentIsReportedAndOneWithoutLinkIgnored) {
    QString reported;
    const ModalWatch watch = WatchModal<QMessageBox>([&](QMessageBox* box) {
        reported = box->windowTitle() + "|" + box->text();
        box->close();
    });
    Start({"/nonexistent/m1.mode"});
    EXPECT_EQ(QString::fromUtf8("文件打开错误|文件不存在！"), reported);

    QTemporaryDir folder;
    QFile file(folder.filePath("m2.mode"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(3410, 0));
    file.close();
    m_app->ExitInstance();
    reported.clear();
    const ModalWatch second = WatchModal<QMessageBox>([&](QMessageBox* box) {
        reported = box->text();
        box->close();
    });
    Start({file.fileName()}); // no link yet: ignored
    Pump(100);
    EXPECT_TRUE(reported.isEmpty());
}

// The first start opens the window at 1280 x 800 where the screen has room
// for it and its frame, and smaller on a smaller screen, never below the
// minimum.
TEST(MainFrameSizeTest, TheFirstSizeFitsTheAvailableScreen) {
    const struct {
        QSize available, first;
    } cases[] = {
        {{1920, 1080}, {1280, 800}}, {{1296, 840}, {1280, 800}}, {{1280, 800}, {1264, 760}},
        {{1040, 700}, {1024, 660}},  {{800, 600}, {1024, 660}},
    };
    for (const auto& c : cases) {
        const QSize first = CMainFrame::FirstSize(c.available);
        EXPECT_EQ(c.first, first) << c.available.width() << "x" << c.available.height();
    }
}
