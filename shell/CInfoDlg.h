#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

// The self-closing information window (resource 344): modeless, one at a
// time. A second ShowInfo while it is shown replaces the text and restarts
// the time.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 344;
    static constexpr int kTextId = 1223;
    static constexpr int kCloseId = 2;
    static constexpr int kTimerId = 900;

    static void ShowInfo(const QString& text, int milliseconds);
    // The window currently shown, nullptr when none.
    static CInfoDlg* Current();

    QString Text() const;

private:
    explicit CInfoDlg(QWidget* parent);
    void SetText(const QString& text, int milliseconds);

    QLabel* m_text = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_timer;
};
