#pragma once

#include <QMainWindow>
#include <QTimer>

namespace fx {
class ParamStore;
}

class CHalvoxDoc;
class CHalvoxView;
class CRibbonBar;
class CRibbonStatusBar;
class QMenu;

// The main window: the ribbon above, the status bar below and the view in
// between. Closing runs the view's closing sequence.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 1040;
    static constexpr int kMinHeight = 700;
    static constexpr int kIdleUpdateMs = 200;

    explicit CMainFrame(fx::ParamStore& store);
    ~CMainFrame() override;

    CHalvoxView* View() const { return m_view; }
    CRibbonBar* Ribbon() const { return m_ribbon; }
    CRibbonStatusBar* StatusBar() const { return m_statusBar; }
    CHalvoxDoc* Document() const { return m_doc; }

    // Adds the Demo menu beside the category tabs.
    void AddDemoMenu(QMenu* menu);
    // Brings the window to the front, restoring it when minimised.
    void RaiseAndRestore();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RefreshRecentFiles();
    // The open mode file's name and a mark when the parameters differ from
    // it (without a file: from what the processor last read).
    void UpdateTitle();

    CHalvoxDoc* m_doc = nullptr;
    CRibbonBar* m_ribbon = nullptr;
    CRibbonStatusBar* m_statusBar = nullptr;
    CHalvoxView* m_view = nullptr;
    QTimer m_idleTimer;
};
