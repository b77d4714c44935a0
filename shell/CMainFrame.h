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
    // Small enough that the window with its frame (borders, title bar) fits
    // a 1040 x 700 screen; every page fits in it.
    static constexpr int kMinWidth = 1024;
    static constexpr int kMinHeight = 660;
    // What a window manager's frame takes at most, as the first size allows for it.
    static constexpr QSize kFrameAllowance{16, 40};
    static constexpr QSize kPreferredSize{1280, 800};
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
    // The size a first start opens at on a screen with this much room: the
    // preferred size, or less with the frame inside the room, never below
    // the minimum.
    static QSize FirstSize(const QSize& available);

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
