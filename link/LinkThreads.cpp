#include "link/LinkThreads.h"

#include <algorithm>
#include <chrono>

LinkThreads::~LinkThreads() {
    JoinEnded();
    // A thread still blocked at the end of the run cannot be waited for.
    for (Entry& entry : m_threads) entry.thread.detach();
}

void LinkThreads::Start(std::function<void()> body) {
    auto ended = std::make_shared<bool>(false);
    std::thread thread([this, body = std::move(body), ended] {
        body();
        {
            std::lock_guard lock(m_mutex);
            *ended = true;
        }
        m_cond.notify_all();
    });
    std::lock_guard lock(m_mutex);
    m_threads.push_back({std::move(thread), ended});
}

bool LinkThreads::WaitAllEnded(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return std::all_of(m_threads.begin(), m_threads.end(),
                           [](const Entry& e) { return *e.ended; });
    });
}

void LinkThreads::JoinEnded() {
    std::vector<Entry> ended;
    {
        std::lock_guard lock(m_mutex);
        auto split = std::partition(m_threads.begin(), m_threads.end(),
                                    [](const Entry& e) { return !*e.ended; });
        std::move(split, m_threads.end(), std::back_inserter(ended));
        m_threads.erase(split, m_threads.end());
    }
    for (Entry& entry : ended) entry.thread.join();
}
