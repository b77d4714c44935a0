#include "link/WakeList.h"

#include <algorithm>

namespace fx {

uint64_t WakeList::Generation() {
    std::lock_guard lock(m_mutex);
    return m_generation;
}

bool WakeList::AddUnlessWokenSince(const Wake& wake, uint64_t generation) {
    std::lock_guard lock(m_mutex);
    if (m_generation != generation) return false;
    m_wakes.push_back(wake);
    return true;
}

void WakeList::Remove(const Wake& wake) {
    std::lock_guard lock(m_mutex);
    m_wakes.erase(std::remove(m_wakes.begin(), m_wakes.end(), wake), m_wakes.end());
}

void WakeList::WakeAll() {
    std::vector<Wake> wakes;
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        wakes.swap(m_wakes);
    }
    for (const Wake& wake : wakes) (*wake)();
}

} // namespace fx
