#pragma once

#include <condition_variable>
#include <coroutine>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace fx {

class Link;

// A step of a job that waits for the processor without holding a thread:
// a lazy coroutine that runs when awaited (or started with StartTask) and
// resumes its awaiter when it ends. Its waits (link/LinkAwait.h) resume it on
// the event loop with its link bound to the thread, so the code between two
// waits works with its own processor as a job on a thread of its own did.
template <typename T> class Task;

namespace task_detail {

template <typename Promise> struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> done) noexcept {
        std::coroutine_handle<> next = done.promise().continuation;
        return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
};

struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr error;
    std::suspend_always initial_suspend() noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }
};

} // namespace task_detail

template <typename T> class Task {
public:
    struct promise_type : task_detail::PromiseBase {
        std::optional<T> value;
        Task get_return_object() {
            return Task(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        task_detail::FinalAwaiter<promise_type> final_suspend() noexcept { return {}; }
        void return_value(T result) { value = std::move(result); }
    };

    Task(Task&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Task& operator=(Task&&) = delete;
    ~Task() {
        if (m_handle) m_handle.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        m_handle.promise().continuation = awaiting;
        return m_handle;
    }
    T await_resume() {
        if (m_handle.promise().error) std::rethrow_exception(m_handle.promise().error);
        return std::move(*m_handle.promise().value);
    }

private:
    explicit Task(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
    std::coroutine_handle<promise_type> m_handle;
};

template <> class Task<void> {
public:
    struct promise_type : task_detail::PromiseBase {
        Task get_return_object() {
            return Task(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        task_detail::FinalAwaiter<promise_type> final_suspend() noexcept { return {}; }
        void return_void() {}
    };

    Task(Task&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Task& operator=(Task&&) = delete;
    ~Task() {
        if (m_handle) m_handle.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        m_handle.promise().continuation = awaiting;
        return m_handle;
    }
    void await_resume() {
        if (m_handle.promise().error) std::rethrow_exception(m_handle.promise().error);
    }

private:
    explicit Task(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
    std::coroutine_handle<promise_type> m_handle;
};

// Runs the task on the event loop with the link bound, then done (on the
// loop, the link still bound). Returns at once.
void StartTask(Link& link, Task<void> task, std::function<void()> done);

namespace task_detail {

// Blocks the calling thread until done is called.
class Ending {
public:
    void Done();
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
};

template <typename T> Task<void> Keep(Task<T> task, std::optional<T>& out) {
    out = co_await std::move(task);
}

} // namespace task_detail

// Runs the task on the event loop and waits for its end: for a thread that
// is no loop thread (the command line's, a test's).
template <typename T> T RunTask(Link& link, Task<T> task) {
    std::optional<T> result;
    task_detail::Ending ending;
    StartTask(link, task_detail::Keep(std::move(task), result), [&ending] { ending.Done(); });
    ending.Wait();
    return std::move(*result);
}

} // namespace fx
