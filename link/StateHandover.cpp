#include "link/StateHandover.h"

namespace fx {

IStateThread* StateHandover::Thread() const {
    std::lock_guard lock(m_mutex);
    return m_thread;
}

void StateHandover::SetThread(IStateThread* thread) {
    std::lock_guard lock(m_mutex);
    m_thread = thread;
}

void StateHandover::Push(Item item) {
    std::lock_guard lock(m_mutex);
    m_items.push_back(std::move(item));
}

bool StateHandover::Pop(Item& item) {
    std::lock_guard lock(m_mutex);
    if (m_items.empty()) return false;
    item = std::move(m_items.front());
    m_items.pop_front();
    return true;
}

} // namespace fx
