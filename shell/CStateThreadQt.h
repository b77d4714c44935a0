#pragma once

#include "link/StateThread.h"

#include <QObject>

#include <atomic>

// Makes the window's thread the thread that owns the device state: what the
// link's reader and the jobs hand over (link/StateThread.h) runs here, in
// order, between the window's other events. Installed while it lives.
class CStateThreadQt : public QObject, public fx::IStateThread {
    Q_OBJECT
public:
    explicit CStateThreadQt(QObject* parent = nullptr);
    ~CStateThreadQt() override;

    bool IsCurrent() const override;
    void Wake() override;

signals:
    // Emitted by Wake from any thread; queued to this object's thread.
    void wakeRequested();

private:
    void OnWake();

    std::atomic<bool> m_wakePending{false};
};
