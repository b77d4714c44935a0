#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace fx {

class IStateThread;

// One store's state thread and what was handed over to it: each link has
// one (link/StateThread.h says how it is used).
class StateHandover {
public:
    struct Item {
        std::function<void()> work;
        bool changesState; // runs under the state lock
    };

    IStateThread* Thread() const;
    void SetThread(IStateThread* thread);
    void Push(Item item);
    // The oldest item, false when none waits.
    bool Pop(Item& item);
    std::recursive_mutex& Lock() { return m_stateLock; }

private:
    mutable std::mutex m_mutex; // also orders what was written before a hand-over
    IStateThread* m_thread = nullptr;
    std::deque<Item> m_items;
    std::recursive_mutex m_stateLock;
};

} // namespace fx
