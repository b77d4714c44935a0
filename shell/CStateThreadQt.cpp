#include "shell/CStateThreadQt.h"

#include <QThread>

CStateThreadQt::CStateThreadQt(QObject* parent) : QObject(parent) {
    fx::SetStateThread(this);
}

CStateThreadQt::~CStateThreadQt() {
    // What is still handed over runs now, on this thread.
    fx::SetStateThread(nullptr);
}

bool CStateThreadQt::IsCurrent() const {
    return QThread::currentThread() == thread();
}

void CStateThreadQt::Wake() {
    // One wake waits at a time; it runs everything handed over until then.
    if (m_wakePending.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_wakePending = false;
            fx::RunHandedOver();
        },
        Qt::QueuedConnection);
}
