#include "link/StateThread.h"

#include <atomic>
#include <deque>

namespace fx {
namespace {

std::atomic<IStateThread*> g_stateThread{nullptr};

// What was handed over and has not run yet. Its mutex also orders what a
// thread wrote before handing over before what the state thread reads.
struct HandedOver {
    std::function<void()> work;
    bool changesState; // runs under the state lock
};
std::mutex g_queueMutex;
std::deque<HandedOver> g_handedOver;

void RunLocked(const std::function<void()>& work) {
    StateGuard lock(StateLock());
    work();
}

void Queue(HandedOver item, IStateThread& thread) {
    {
        std::lock_guard lock(g_queueMutex);
        g_handedOver.push_back(std::move(item));
    }
    thread.Wake();
}

} // namespace

std::recursive_mutex& StateLock() {
    static std::recursive_mutex* const lock = new std::recursive_mutex;
    return *lock;
}

void SetStateThread(IStateThread* thread) {
    g_stateThread = thread;
    if (!thread) RunHandedOver();
}

void RunHandedOver() {
    // One at a time: work handed over while one runs keeps its place behind it.
    for (;;) {
        HandedOver item;
        {
            std::lock_guard lock(g_queueMutex);
            if (g_handedOver.empty()) return;
            item = std::move(g_handedOver.front());
            g_handedOver.pop_front();
        }
        if (item.changesState)
            RunLocked(item.work);
        else
            item.work();
    }
}

void ChangeState(std::function<void()> change) {
    IStateThread* thread = g_stateThread;
    if (thread && !thread->IsCurrent()) {
        Queue({std::move(change), true}, *thread);
        return;
    }
    if (thread) RunHandedOver();
    RunLocked(change);
}

void HandToStateThread(std::function<void()> work) {
    if (IStateThread* thread = g_stateThread) {
        Queue({std::move(work), false}, *thread);
        return;
    }
    work();
}

} // namespace fx
