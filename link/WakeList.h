#pragma once

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

    void Add(const Wake& wake);
    void Remove(const Wake& wake);
    void WakeAll();

private:
    std::mutex m_mutex;
    std::vector<Wake> m_wakes;
};

} // namespace fx
