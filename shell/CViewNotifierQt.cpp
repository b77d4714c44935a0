#include "shell/CViewNotifierQt.h"

#include "link/StateThread.h"
#include "shell/CHalvoxView.h"

#include <QMessageBox>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {
// The end of a sent message, waited for by the thread that sent it.
class Handled {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cond.notify_all();
    }
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_cond.wait(lock, [this] { return m_done; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_done = false;
};
} // namespace

CViewNotifierQt::CViewNotifierQt(CHalvoxView* view) : m_view(view) {}

void CViewNotifierQt::Detach() {
    *m_attached = false;
}

void CViewNotifierQt::PostViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    fx::HandToStateThread([view, attached = m_attached, message, wParam, lParam] {
        if (view && *attached) view->OnViewMessage(message, wParam, lParam);
    });
}

void CViewNotifierQt::SendViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    if (QThread::currentThread() == view->thread()) {
        view->OnViewMessage(message, wParam, lParam);
        return;
    }
    // Behind the changes handed over before it, like a posted message; the
    // sender waits until the view has handled it.
    auto handled = std::make_shared<Handled>();
    fx::HandToStateThread([view, attached = m_attached, message, wParam, lParam, handled] {
        if (view && *attached) view->OnViewMessage(message, wParam, lParam);
        handled->Set();
    });
    handled->Wait();
}

void CViewNotifierQt::ShowErrorBox(const std::string& text, const std::string& caption) {
    QPointer<CHalvoxView> view = m_view;
    if (!view) return;
    // Shown without blocking anyone: the receiving thread handed it over and went on.
    fx::HandToStateThread([view, attached = m_attached, text, caption] {
        if (!view || !*attached) return;
        auto* box = new QMessageBox(QMessageBox::Critical, QString::fromStdString(caption),
                                    QString::fromStdString(text), QMessageBox::Ok, view->window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("parameterErrorBox"));
        box->open();
    });
}
