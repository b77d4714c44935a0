#include "shell/CStateThreadQt.h"

#include <QThread>

CStateThreadQt::CStateThreadQt(QObject* parent) : QObject(parent) {
    connect(this, &CStateThreadQt::wakeRequested, this, &CStateThreadQt::OnWake,
            Qt::QueuedConnection);
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
    // A queued signal carries no data of ours across the threads: what was
    // handed over travels in the state thread's own locked queue.
    if (m_wakePending.exchange(true)) return;
    emit wakeRequested();
}

void CStateThreadQt::OnWake() {
    m_wakePending = false;
    fx::RunHandedOver();
}
