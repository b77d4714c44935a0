#include "shell/CJobUiQt.h"

#include "controls/Localisation.h"
#include "shell/CAppSettings.h"
#include "shell/CDlgMsgBox.h"
#include "shell/CInfoDlg.h"
#include "shell/CSynDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <functional>

namespace {
// Runs fn on the user-interface thread and returns when it has run.
void OnGuiThread(const std::function<void()>& fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

QWidget* ActiveParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("CMainFrame")) return widget;
    return nullptr;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}
} // namespace

int CJobUiQt::LanguageIndex() {
    return g_Language == 1 ? 1 : 0;
}

void CJobUiQt::ShowSyncDialog(const std::string& text) {
    OnGuiThread([&] { CSynDlg::ShowSyncDialog(QString::fromStdString(text)); });
}

void CJobUiQt::ShowInfo(const std::string& text, int milliseconds) {
    OnGuiThread([&] { CInfoDlg::ShowInfo(QString::fromStdString(text), milliseconds); });
}

int CJobUiQt::AskThreeWay(const std::string& text, const std::string& firstButton,
                          const std::string& secondButton, void* parent) {
    int answer = 0;
    OnGuiThread([&] {
        QWidget* owner = parent ? static_cast<QWidget*>(parent) : ActiveParent();
        answer = CDlgMsgBox::AskThreeWay(QString::fromStdString(text),
                                         QString::fromStdString(firstButton),
                                         QString::fromStdString(secondButton), owner);
    });
    return answer;
}

bool CJobUiQt::AskYesNo(const std::string& text, const std::string& caption) {
    bool yes = false;
    OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                        ActiveParent());
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

void CJobUiQt::ShowMessageBox(const std::string& text, const std::string& caption,
                              MessageIcon icon) {
    OnGuiThread([&] {
        QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok, ActiveParent());
        box.exec();
    });
}

void CJobUiQt::ResetChannelLinkFlags() {
    OnGuiThread([] { CAppSettings::ResetChannelLinkFlags(); });
}

void CJobUiQt::SaveChannelLinkFlags() {
    OnGuiThread([] { CAppSettings::SaveChannelLinkFlags(); });
}
