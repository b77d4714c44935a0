#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace fx {

// The tasks waiting on the event loop for something to change (a reply
// noted, a record written, the link gone): each change calls every wake
// once, outside the list's lock.
class WakeList {
public:
    using Wake = std::shared_ptr<std::function<void()>>;

    // How many times the list has woken its waiters.
    uint64_t Generation();
    // Adds the wake unless the list woke its waiters since generation was
    // taken; false then (the change that woke them may be the one awaited).
    bool AddUnlessWokenSince(const Wake& wake, uint64_t generation);
    void Remove(const Wake& wake);
    void WakeAll();

private:
    std::mutex m_mutex;
    uint64_t m_generation = 0;
    std::vector<Wake> m_wakes;
};

} // namespace fx
