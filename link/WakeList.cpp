#include "link/WakeList.h"

#include <algorithm>

namespace fx {

void WakeList::Add(const Wake& wake) {
    std::lock_guard lock(m_mutex);
    m_wakes.push_back(wake);
}

void WakeList::Remove(const Wake& wake) {
    std::lock_guard lock(m_mutex);
    m_wakes.erase(std::remove(m_wakes.begin(), m_wakes.end(), wake), m_wakes.end());
}

void WakeList::WakeAll() {
    std::vector<Wake> wakes;
    {
        std::lock_guard lock(m_mutex);
        wakes.swap(m_wakes);
    }
    for (const Wake& wake : wakes) (*wake)();
}

} // namespace fx
