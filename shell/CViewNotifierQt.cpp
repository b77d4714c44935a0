#include "shell/CViewNotifierQt.h"

#include "shell/CHalvoxView.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

CViewNotifierQt::CViewNotifierQt(CHalvoxView* view) : m_view(view) {}

void CViewNotifierQt::PostViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    QMetaObject::invokeMethod(
        view.data(),
        [view, message, wParam, lParam] {
            if (view) view->OnViewMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

void CViewNotifierQt::SendViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    if (QThread::currentThread() == view->thread()) {
        view->OnViewMessage(message, wParam, lParam);
        return;
    }
    QMetaObject::invokeMethod(
        view.data(),
        [view, message, wParam, lParam] {
            if (view) view->OnViewMessage(message, wParam, lParam);
        },
        Qt::BlockingQueuedConnection);
}

void CViewNotifierQt::ShowErrorBox(const std::string& text, const std::string& caption) {
    auto show = [text, caption] {
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok);
        box.exec();
    };
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    if (QThread::currentThread() == view->thread())
        show();
    else
        QMetaObject::invokeMethod(view.data(), show, Qt::BlockingQueuedConnection);
}
