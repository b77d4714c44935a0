#include "shell/CMainFrame.h"

#include "shell/CAppSettings.h"
#include "shell/CEditHistory.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonIcons.h"
#include "shell/CRibbonStatusBar.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {
const char* const kAppTitle = "效果器调音软件v1.2";
}

CMainFrame::CMainFrame(fx::ParamStore& store) {
    setWindowTitle(QString::fromUtf8(kAppTitle));
    setWindowIcon(CRibbonIcons::Application());
    setMinimumSize(kMinWidth, kMinHeight);
    const QScreen* screen = QGuiApplication::primaryScreen();
    resize(screen ? FirstSize(screen->availableGeometry().size()) : kPreferredSize);
    // The running editor is found by this property (single instance).
    setProperty(CAppSettings::kKey, 1);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    CAppSettings::ForceApplicationLook();

    m_doc = new CHalvoxDoc(this);
    m_doc->SetDialogParent(this);
    m_ribbon = new CRibbonBar(this);
    setMenuWidget(m_ribbon);
    m_statusBar = new CRibbonStatusBar(this);
    setStatusBar(m_statusBar);
    m_view = new CHalvoxView(m_ribbon, m_statusBar, m_doc, store, this);
    setCentralWidget(m_view);

    connect(m_doc, &CHalvoxDoc::recentFilesChanged, this, &CMainFrame::RefreshRecentFiles);
    connect(m_ribbon, &CRibbonBar::recentFileChosen, m_doc, &CHalvoxDoc::OpenRecentFile);
    RefreshRecentFiles();

    connect(m_doc, &CHalvoxDoc::fileInUse, this,
            [this](const QString& path) { m_view->History().SetOpenFile(path); });
    connect(&m_view->History(), &CEditHistory::changed, this, &CMainFrame::UpdateTitle);
    m_view->Create();
    connect(&m_idleTimer, &QTimer::timeout, m_view, &CHalvoxView::UpdateStatusBar);
    m_idleTimer.start(kIdleUpdateMs);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::AddDemoMenu(QMenu* menu) {
    m_ribbon->AddDemoMenu(menu);
}

QSize CMainFrame::FirstSize(const QSize& available) {
    const QSize room = available - kFrameAllowance;
    return QSize(std::clamp(room.width(), kMinWidth, kPreferredSize.width()),
                 std::clamp(room.height(), kMinHeight, kPreferredSize.height()));
}

void CMainFrame::RaiseAndRestore() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CMainFrame::RefreshRecentFiles() {
    m_ribbon->SetRecentFiles(CAppSettings::RecentFiles());
}

void CMainFrame::UpdateTitle() {
    const CEditHistory& history = m_view->History();
    const QString app = QString::fromUtf8(kAppTitle);
    const QString mark = QStringLiteral("*");
    if (history.OpenFile().isEmpty()) {
        setWindowTitle(history.ChangedSinceRead() > 0 ? app + QLatin1Char(' ') + mark : app);
        return;
    }
    const QString file = QFileInfo(history.OpenFile()).fileName();
    setWindowTitle((history.DiffersFromFile() ? file + mark : file) + QStringLiteral(" - ") + app);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_view->QueryClose()) {
        event->ignore();
        return;
    }
    m_idleTimer.stop();
    event->accept();
}
