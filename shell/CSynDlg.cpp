#include "shell/CSynDlg.h"

#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "link/NetLink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
QPointer<CSynDlg>& Instance() {
    static QPointer<CSynDlg> instance;
    return instance;
}

int& TimeoutMs() {
    static int timeout = CSynDlg::kTimeoutMs;
    return timeout;
}

QWidget* MainWindowOrNull() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("CMainFrame")) return widget;
    return nullptr;
}
} // namespace

CSynDlg::CSynDlg(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setWindowTitle(Tr("同步过程", "Synchronize"));
    ApplyPaleBackground(this);
    setMinimumWidth(380);

    m_text = new QLabel(this);
    SetCtrlId(m_text, kTextId);
    m_text->setWordWrap(true);
    m_progress = new QProgressBar(this);
    SetCtrlId(m_progress, kProgressId);
    m_progress->setRange(0, 0); // endless: the style animates it
    m_progress->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);

    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &CSynDlg::OnTimeout);
}

void CSynDlg::ShowSyncDialog(const QString& text) {
    QPointer<CSynDlg>& instance = Instance();
    if (IsShown()) {
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = new CSynDlg(MainWindowOrNull());
    instance->m_text->setText(
        text.isEmpty() ? Tr("当前正在与机器同步数据,请稍候......", "Please wait a moment……")
                       : text);
    instance->m_timeout.start(TimeoutMs());
    instance->show();
}

void CSynDlg::CloseSyncDialog() {
    if (CSynDlg* dialog = Current()) {
        dialog->m_timeout.stop();
        dialog->close();
    }
}

bool CSynDlg::IsShown() {
    return Current() != nullptr;
}

// A closed dialog waits for its deletion; it no longer counts as shown.
CSynDlg* CSynDlg::Current() {
    CSynDlg* dialog = Instance().data();
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

QString CSynDlg::Text() const {
    return m_text->text();
}

void CSynDlg::SetTimeoutForTesting(int milliseconds) {
    TimeoutMs() = milliseconds;
}

void CSynDlg::showEvent(QShowEvent* event) {
    if (!m_waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_waitCursor = true;
    }
    QDialog::showEvent(event);
}

void CSynDlg::hideEvent(QHideEvent* event) {
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
    QDialog::hideEvent(event);
}

void CSynDlg::closeEvent(QCloseEvent* event) {
    // Only the job's end or the time-out close the dialog, never the user.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CSynDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return; // Escape must not end the wait
    QDialog::keyPressEvent(event);
}

void CSynDlg::OnTimeout() {
    m_timeout.stop();
    QWidget* owner = parentWidget();
    close();
    // The job may still finish in the background; its end still refreshes
    // the pages. On the network the silent host is let go without 138.
    if (g_bNetMode()) NetDisconnect(false);
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8("错误"),
                                QString::fromUtf8("发生错误，与设备数据同步超时……"),
                                QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("syncTimeoutBox"));
    box->open();
}
