#include "shell/CMainFrame.h"

#include "shell/CAppSettings.h"
#include "shell/CHalvoxDoc.h"
#include "shell/CHalvoxView.h"
#include "shell/CRibbonBar.h"
#include "shell/CRibbonIcons.h"
#include "shell/CRibbonStatusBar.h"

#include <QCloseEvent>

CMainFrame::CMainFrame() {
    setWindowTitle(QString::fromUtf8("效果器调音软件v1.2"));
    setWindowIcon(CRibbonIcons::Application());
    setMinimumSize(kMinWidth, kMinHeight);
    resize(1280, 800);
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
    m_view = new CHalvoxView(m_ribbon, m_statusBar, m_doc, this);
    setCentralWidget(m_view);

    connect(m_doc, &CHalvoxDoc::recentFilesChanged, this, &CMainFrame::RefreshRecentFiles);
    connect(m_ribbon, &CRibbonBar::recentFileChosen, m_doc, &CHalvoxDoc::OpenRecentFile);
    RefreshRecentFiles();

    m_view->Create();
    connect(&m_idleTimer, &QTimer::timeout, m_view, &CHalvoxView::UpdateStatusBar);
    m_idleTimer.start(kIdleUpdateMs);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::AddDemoMenu(QMenu* menu) {
    m_ribbon->AddDemoMenu(menu);
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

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_view->QueryClose()) {
        event->ignore();
        return;
    }
    m_idleTimer.stop();
    event->accept();
}
