#include "link/LinkTask.h"

#include "link/Link.h"
#include "link/LinkLoop.h"

#include <asio/post.hpp>

namespace fx {
namespace {

// The start of a task's chain: runs at once, frees itself at its end.
struct RootTask {
    struct promise_type {
        RootTask get_return_object() { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() noexcept { std::terminate(); }
    };
};

RootTask RunRoot(Task<void> task, std::function<void()> done) {
    co_await task;
    done();
}

} // namespace

void StartTask(Link& link, Task<void> task, std::function<void()> done) {
    asio::post(DefaultLinkLoop().Context(),
               [&link, task = std::move(task), done = std::move(done)]() mutable {
                   LinkScope scope(link);
                   RunRoot(std::move(task), std::move(done));
               });
}

namespace task_detail {

void Ending::Done() {
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
}

void Ending::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_done; });
}

} // namespace task_detail

} // namespace fx
