#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

// The synchronisation dialog (resource 347) shown while a whole-image job
// runs: an endless progress bar, a wait pointer and a 30 s time-out. The view
// closes it when the job has ended.
class CSynDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 347;
    static constexpr int kProgressId = 1217;
    static constexpr int kTextId = 1218;
    static constexpr int kTimeoutMs = 30000;

    // Shows the dialog (application-modal); when one is shown it is only
    // brought to view. An empty text shows the default text.
    static void ShowSyncDialog(const QString& text);
    // Stops the time-out and closes the dialog when it is shown.
    static void CloseSyncDialog();
    static bool IsShown();
    static CSynDlg* Current();

    QString Text() const;
    // Lets tests shorten the time-out of dialogs shown from now on.
    static void SetTimeoutForTesting(int milliseconds);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    explicit CSynDlg(QWidget* parent);
    void OnTimeout();

    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer m_timeout;
    bool m_waitCursor = false;
};
