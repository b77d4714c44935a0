#pragma once

#include <QStatusBar>
#include <QStringList>
#include <QTimer>

class QLabel;

class CStatusBarPane;
class QCheckBox;
class QFrame;
class QPushButton;

// The status bar: the link-state pane (120), the mode pane (121) and, at the
// right end, the EQ bypass box (1121) and the EQ reset button (1122).
class CRibbonStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CRibbonStatusBar(QWidget* parent);

    CStatusBarPane* LinkPane() const { return m_linkPane; }
    CStatusBarPane* ModePane() const { return m_modePane; }
    CStatusBarPane* ChangedPane() const { return m_changedPane; }
    QCheckBox* BypassBox() const { return m_bypass; }
    QPushButton* ResetButton() const { return m_reset; }
    // Shown while no processor is connected: edits stay in the editor.
    QLabel* OfflineNotice() const { return m_offline; }

    // The idle update: link state and mode from the link flags, EQ controls
    // from the current page.
    void UpdatePanes();
    void SetEqControls(bool enabled, bool bypassed);
    // "6 parameters changed since read": parameters that differ from the
    // processor's image as last read or written (the pane shows while there
    // are any); its tooltip lists them.
    void SetChangedCount(int count, const QStringList& lines = {});
    // A notice beside the panes for the given time (where the platform has
    // no notification area for balloons).
    void ShowNotice(const QString& text, int milliseconds);
    QString NoticeText() const;
    void Relabel();

signals:
    void command(int id);

private:
    CStatusBarPane* m_linkPane = nullptr;
    CStatusBarPane* m_modePane = nullptr;
    CStatusBarPane* m_changedPane = nullptr;
    QFrame* m_changedSeparator = nullptr;
    int m_changedCount = 0;
    QStringList m_changedLines;

    QString ChangedToolTip() const;
    QCheckBox* m_bypass = nullptr;
    QPushButton* m_reset = nullptr;
    QLabel* m_offline = nullptr;
    QLabel* m_notice = nullptr;
    QTimer m_noticeTimer;
};
