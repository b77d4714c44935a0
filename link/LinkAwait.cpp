#include "link/LinkAwait.h"

#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkLoop.h"
#include "link/LinkState.h"

#include <asio/defer.hpp>
#include <asio/steady_timer.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <memory>

namespace fx {
namespace {

// Resumes the task on the loop with its link bound, once, whoever asks first.
// Asked on a loop thread, the task goes on as that thread's next work (a
// continuation of the handler that woke it) rather than waking the other.
std::function<void()> Resumer(std::coroutine_handle<> task) {
    Link& link = CurrentLink();
    auto resumed = std::make_shared<std::atomic<bool>>(false);
    return [&link, task, resumed] {
        if (resumed->exchange(true)) return;
        asio::defer(DefaultLinkLoop().Context(), [&link, task] {
            LinkScope scope(link);
            task.resume();
        });
    };
}

std::shared_ptr<asio::steady_timer> TimerIn(int realMs) {
    return std::make_shared<asio::steady_timer>(DefaultLinkLoop().Context(),
                                                std::chrono::milliseconds(realMs));
}

// Resumes when the timer runs out; a stopped timer resumes nothing.
void ResumeWhenDue(const std::shared_ptr<asio::steady_timer>& timer, std::function<void()> resume) {
    timer->async_wait([timer, resume = std::move(resume)](const asio::error_code& error) {
        if (!error) resume();
    });
}

struct SleepAwaiter {
    int realMs;
    bool await_ready() const noexcept { return realMs <= 0; }
    void await_suspend(std::coroutine_handle<> task) {
        ResumeWhenDue(TimerIn(realMs), Resumer(task));
    }
    void await_resume() const noexcept {}
};

// Resumes on the list's next wake, or after realMs (0: on a wake only). Once
// the task may be resumed (by a wake or the timer, on another thread),
// await_suspend touches nothing of the awaiter: it lives in the task's frame.
// A task woken before its time stops its timer, so no wait leaves a timer
// behind on the loop.
struct WakeAwaiter {
    WakeList& list;
    const std::function<bool()>& done;
    int realMs;
    uint64_t generation = 0;
    WakeList::Wake wake;
    std::shared_ptr<asio::steady_timer> timer;

    // When set, how long the timer runs, asked after the look at done (a
    // change after that look wakes the list, so none is missed). A pointer:
    // GCC 12 destroys a std::function copied into a co_await operand twice.
    const std::function<int()>* timerMs = nullptr;

    bool await_ready() {
        generation = list.Generation();
        if (done()) return true;
        if (timerMs) realMs = (*timerMs)();
        return false;
    }
    void await_suspend(std::coroutine_handle<> task) {
        std::function<void()> resume = Resumer(task);
        wake = std::make_shared<std::function<void()>>(resume);
        if (realMs > 0) timer = TimerIn(realMs);
        WakeList& waitedOn = list;
        const WakeList::Wake added = wake;
        const uint64_t seen = generation;
        if (realMs > 0) ResumeWhenDue(std::shared_ptr(timer), resume);
        // A change since the look above may be the awaited one: look again.
        if (!waitedOn.AddUnlessWokenSince(added, seen)) resume();
    }
    void await_resume() {
        if (!wake) return; // ready at once: never suspended
        list.Remove(wake);
        if (timer) timer->cancel();
    }
};

} // namespace

Task<void> AsyncSleepMs(int ms) {
    co_await SleepAwaiter{LinkRealMs(ms)};
}

Task<bool> AsyncWaitUntil(WakeList& list, std::function<bool()> done, int ms, int sliceMs) {
    const int64_t deadline = LinkNowMs() + ms;
    for (;;) {
        if (done()) co_return true;
        const int64_t left = deadline - LinkNowMs();
        if (left <= 0) co_return false;
        const int slice = static_cast<int>(std::min<int64_t>(left, sliceMs));
        co_await WakeAwaiter{list, done, std::max(1, LinkRealMs(slice)), 0, {}, {}, nullptr};
    }
}

Task<bool> AsyncWaitAllWritten() {
    Link& link = CurrentLink();
    LinkOutbox& outbox = link.Outbox();
    const uint64_t mark = outbox.Mark();
    // Every record ahead leaves within one reply wait, and the outbox wakes
    // its list with every write; a stop, or the link going, wakes it too. So
    // the wait needs no timer of its own.
    const std::function<bool()> done = [&] { return outbox.Written(mark) || !link.Usable(); };
    while (!done()) co_await WakeAwaiter{outbox.Wakes(), done, 0, 0, {}, {}, nullptr};
    co_return outbox.Written(mark) && link.Usable();
}

} // namespace fx

namespace fx {

Task<CommandAnswer> AsyncWaitAnswer(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp) {
    LinkOutbox& outbox = CurrentLink().Outbox();
    CommandAnswer answer;
    const std::function<bool()> done = [&] {
        // Settled once: a settled ticket is forgotten by the outbox.
        if (answer.outcome != CommandAnswer::Outcome::Pending) return true;
        answer = outbox.PollAnswer(ticket, timeoutMs, keepWhenGivenUp);
        return answer.outcome != CommandAnswer::Outcome::Pending;
    };
    // Its write, its answer, a stop and the link going wake the list; only its
    // own time-out, from its write on, needs a timer.
    const std::function<int()> untilTimeOut = [&] {
        const int64_t writtenMs = outbox.WrittenAtMs(ticket);
        if (writtenMs < 0) return 0;
        const int64_t left =
            std::clamp<int64_t>(writtenMs + timeoutMs - LinkNowMs(), 1, INT_MAX / 2);
        return std::max(1, LinkRealMs(static_cast<int>(left)));
    };
    while (!done()) co_await WakeAwaiter{outbox.Wakes(), done, 0, 0, {}, {}, &untilTimeOut};
    co_return answer;
}

} // namespace fx
