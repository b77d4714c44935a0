#include "link/LinkAwait.h"

#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkLoop.h"
#include "link/LinkState.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <memory>

namespace fx {
namespace {

// A waiter looks again at least this often (link time).
constexpr int kWaitSliceMs = 1000;

// Resumes the task on the loop with its link bound, once, whoever asks first.
std::function<void()> Resumer(std::coroutine_handle<> task) {
    Link& link = CurrentLink();
    auto resumed = std::make_shared<std::atomic<bool>>(false);
    return [&link, task, resumed] {
        if (resumed->exchange(true)) return;
        asio::post(DefaultLinkLoop().Context(), [&link, task] {
            LinkScope scope(link);
            task.resume();
        });
    };
}

void ResumeAfter(int realMs, std::function<void()> resume) {
    auto timer = std::make_shared<asio::steady_timer>(DefaultLinkLoop().Context(),
                                                      std::chrono::milliseconds(realMs));
    timer->async_wait([timer, resume = std::move(resume)](const asio::error_code&) { resume(); });
}

struct SleepAwaiter {
    int realMs;
    bool await_ready() const noexcept { return realMs <= 0; }
    void await_suspend(std::coroutine_handle<> task) { ResumeAfter(realMs, Resumer(task)); }
    void await_resume() const noexcept {}
};

// Resumes on the list's next wake, or after realMs.
struct WakeAwaiter {
    WakeList& list;
    const std::function<bool()>& done;
    int realMs;
    WakeList::Wake wake;

    bool await_ready() const { return done(); }
    void await_suspend(std::coroutine_handle<> task) {
        std::function<void()> resume = Resumer(task);
        wake = std::make_shared<std::function<void()>>(resume);
        list.Add(wake);
        ResumeAfter(realMs, resume);
        // A change between the look and the registration is not missed.
        if (done()) resume();
    }
    void await_resume() { list.Remove(wake); }
};

} // namespace

Task<void> AsyncSleepMs(int ms) {
    co_await SleepAwaiter{LinkRealMs(ms)};
}

Task<bool> AsyncWaitUntil(WakeList& list, std::function<bool()> done, int ms) {
    const int64_t deadline = LinkNowMs() + ms;
    for (;;) {
        if (done()) co_return true;
        const int64_t left = deadline - LinkNowMs();
        if (left <= 0) co_return false;
        const int slice = static_cast<int>(std::min<int64_t>(left, kWaitSliceMs));
        co_await WakeAwaiter{list, done, std::max(1, LinkRealMs(slice)), {}};
    }
}

Task<bool> AsyncWaitAllWritten() {
    Link& link = CurrentLink();
    LinkOutbox& outbox = link.Outbox();
    const uint64_t mark = outbox.Mark();
    // Every record ahead leaves within one reply wait; a stop ends the wait at once.
    co_await AsyncWaitUntil(
        outbox.Wakes(), [&] { return outbox.Written(mark) || !link.Usable(); }, INT_MAX / 2);
    co_return outbox.Written(mark) && link.Usable();
}

} // namespace fx
