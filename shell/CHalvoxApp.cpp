#include "shell/CHalvoxApp.h"

#include "controls/Localisation.h"
#include "link/UsbLink.h"
#include "shell/CAppSettings.h"
#include "shell/CDemoMode.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CJobUiQt.h"
#include "shell/CMainFrame.h"
#include "shell/CNetConnectDlg.h"
#include "shell/CSingleInstance.h"
#include "shell/CSynDlg.h"
#include "state/JobUi.h"
#include "state/ParamStore.h"
#include "state/SyncJobs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {
// After the start-up timer (250 ms) has tried USB.
constexpr int kCommandLineConnectDelayMs = 400;
} // namespace

CHalvoxApp::Options CHalvoxApp::ParseCommandLine(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--demo")) {
            options.demo = true;
            if (i + 1 < arguments.size() && arguments[i + 1] == QLatin1String("net")) {
                options.demoNetwork = true;
                ++i;
            }
        } else if (argument == QLatin1String("--connect")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--connect needs ADDRESS[:PORT]");
                return options;
            }
            const QStringList parts = arguments[++i].split(QLatin1Char(':'));
            options.connectAddress = CNetConnectDlg::NormaliseAddress(parts.value(0));
            bool ok = true;
            options.connectPort = parts.size() > 1 ? parts[1].toInt(&ok) : 0;
            if (options.connectAddress.isEmpty() || !ok || parts.size() > 2 ||
                options.connectPort < 0 || options.connectPort > 65535) {
                options.error = QStringLiteral("bad address for --connect: %1").arg(arguments[i]);
                return options;
            }
        } else if (argument == QLatin1String("--instance") && i + 1 < arguments.size()) {
            options.instanceName = arguments[++i];
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            options.error = QStringLiteral("unknown option %1").arg(argument);
            return options;
        } else {
            options.documentPath = argument;
        }
    }
    return options;
}

QString CHalvoxApp::HelpText() {
    return QStringLiteral(
        "Usage: fxtune [options] [FILE.mode]\n"
        "  --demo              plug the simulated processor in as a virtual USB device\n"
        "  --demo net          serve the simulated processor on a free loopback port and connect\n"
        "  --connect ADDR[:PORT]  connect to a networked processor at start\n"
        "  --instance NAME     single-instance name (several editors side by side, tests)\n"
        "  FILE.mode           write this mode file to the processor (needs an open link)\n");
}

const char* CHalvoxApp::SecondStartNotice(CSingleInstance::Result result) {
    switch (result) {
    case CSingleInstance::Result::OtherRaised:
        return "an editor is already running; its window was brought to the front";
    case CSingleInstance::Result::OtherNoWindow:
        return "an editor is already running but has no window yet";
    case CSingleInstance::Result::Failed:
        return "the single-instance name could not be taken";
    case CSingleInstance::Result::First:
        break;
    }
    return "";
}

CHalvoxApp::CHalvoxApp() = default;

CHalvoxApp::~CHalvoxApp() {
    ExitInstance();
}

bool CHalvoxApp::InitInstance(const Options& options) {
    const QString name =
        options.instanceName.isEmpty() ? CSingleInstance::DefaultName() : options.instanceName;
    m_instance = std::make_unique<CSingleInstance>(name);
    const CSingleInstance::Result check = m_instance->Check();
    // A start that ends says why on standard error, where its caller looks.
    if (check != CSingleInstance::Result::First)
        std::fprintf(stderr, "fxtune: %s\n", SecondStartNotice(check));
    switch (check) {
    case CSingleInstance::Result::First:
        break;
    case CSingleInstance::Result::OtherRaised:
        return false;
    case CSingleInstance::Result::OtherNoWindow:
        QMessageBox::warning(nullptr, QString::fromUtf8("效果器调音软件v1.2"),
                             QString::fromUtf8("已有一个实例在运行，但找不到它的主窗口！"));
        return false;
    case CSingleInstance::Result::Failed:
        QMessageBox::warning(nullptr, QString::fromUtf8("效果器调音软件v1.2"),
                             QString::fromUtf8("创建信标对象失败，程序退出！"));
        return false;
    }
    m_instance->SetRaiseHandler([this] {
        if (!m_frame) return false;
        m_frame->RaiseAndRestore();
        return true;
    });

    m_jobUi = std::make_unique<CJobUiQt>();
    SetJobUi(m_jobUi.get());
    SetJobSettings(m_jobUi.get());

    if (options.demo) {
        m_demo = std::make_unique<CDemoMode>(options.demoNetwork ? CDemoMode::Transport::Network
                                                                 : CDemoMode::Transport::Usb);
        if (!m_demo->Prepare()) {
            QMessageBox::warning(nullptr, QStringLiteral("Demo"),
                                 QStringLiteral("The simulated processor could not be started."));
            return false;
        }
    }

    qApp->installEventFilter(this);
    m_frame = new CMainFrame(fx::Store());
    m_frame->setAttribute(Qt::WA_DeleteOnClose, false);
    if (m_demo) m_demo->Attach(m_frame);
    if (!options.connectAddress.isEmpty()) ConnectFromCommandLine(options);
    if (!options.documentPath.isEmpty())
        m_frame->Document()->OpenDocumentFile(options.documentPath);

    m_frame->setWindowTitle(QString::fromUtf8("效果器调音软件v1.2"));
    if (options.showWindow) m_frame->show();
    return true;
}

void CHalvoxApp::ConnectFromCommandLine(const Options& options) {
    const QString address = options.connectAddress;
    const int port = options.connectPort > 0 ? options.connectPort : CAppSettings::IpPort();
    CMainFrame* frame = m_frame;
    QTimer::singleShot(kCommandLineConnectDelayMs, frame, [frame, address, port] {
        const int result = CNetConnectDlg::ConnectTo(address, port);
        if (result == 1) {
            frame->View()->OnLinkOpened();
            return;
        }
        QMessageBox::warning(frame, QString::fromUtf8("效果器调音软件v1.2"),
                             CNetConnectDlg::FailureText(result));
    });
}

void CHalvoxApp::ExitInstance() {
    if (m_frame) {
        // The closing sequence has let the processor go; make sure the link
        // is closed even when the frame was never closed, and that no job
        // thread still talks to the view when it goes.
        m_frame->View()->CloseLink();
        JoinSyncJobs();
        delete m_frame;
        m_frame = nullptr;
    }
    qApp->removeEventFilter(this);
    JoinSyncJobs();
    UnregisterDeviceArrival();
    m_demo.reset();
    if (m_jobUi) {
        SetJobUi(nullptr);
        SetJobSettings(nullptr);
        m_jobUi.reset();
    }
    m_instance.reset();
}

bool CHalvoxApp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyRelease || !m_frame)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F7 || key->isAutoRepeat() || CSynDlg::IsShown() || m_inF7)
        return QObject::eventFilter(watched, event);
    m_inF7 = true;
    m_frame->View()->OpenMachineSettings();
    m_inF7 = false;
    return true;
}
