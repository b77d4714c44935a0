#include "link/LinkClock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {
int64_t RealNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::mutex g_clockMutex;
std::shared_ptr<ILinkClock> g_installedClock;
// Whether a clock is installed: the real time needs neither the lock nor a
// hold on the clock, which every reply would otherwise take several times.
std::atomic<bool> g_clockInstalled{false};
} // namespace

int64_t SteadyLinkClock::NowMs() {
    return RealNowMs();
}

void SteadyLinkClock::SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool SteadyLinkClock::WaitEvent(AutoResetEvent& event, int ms) {
    return event.Wait(ms);
}

bool SteadyLinkClock::WaitCondition(std::condition_variable& cond,
                                    std::unique_lock<std::mutex>& lock, int ms,
                                    const std::function<bool()>& done) {
    return cond.wait_for(lock, std::chrono::milliseconds(ms), done);
}

ScaledLinkClock::ScaledLinkClock(int factor)
    : m_factor(factor > 0 ? factor : 1), m_startRealMs(RealNowMs()) {}

int64_t ScaledLinkClock::NowMs() {
    return m_startRealMs + (RealNowMs() - m_startRealMs) * m_factor;
}

int ScaledLinkClock::RealMs(int ms) const {
    return ms > 0 ? (ms + m_factor - 1) / m_factor : 0;
}

void ScaledLinkClock::SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(RealMs(ms)));
}

bool ScaledLinkClock::WaitEvent(AutoResetEvent& event, int ms) {
    return event.Wait(RealMs(ms));
}

bool ScaledLinkClock::WaitCondition(std::condition_variable& cond,
                                    std::unique_lock<std::mutex>& lock, int ms,
                                    const std::function<bool()>& done) {
    return cond.wait_for(lock, std::chrono::milliseconds(RealMs(ms)), done);
}

void SetLinkClock(std::shared_ptr<ILinkClock> clock) {
    std::lock_guard lock(g_clockMutex);
    g_installedClock = std::move(clock);
    g_clockInstalled = g_installedClock != nullptr;
}

std::shared_ptr<ILinkClock> LinkClock() {
    static const std::shared_ptr<ILinkClock> steady = std::make_shared<SteadyLinkClock>();
    std::lock_guard lock(g_clockMutex);
    return g_installedClock ? g_installedClock : steady;
}

int64_t LinkNowMs() {
    if (!g_clockInstalled) return RealNowMs();
    return LinkClock()->NowMs();
}
void LinkSleepMs(int ms) {
    LinkClock()->SleepMs(ms);
}
bool LinkWaitEvent(AutoResetEvent& event, int ms) {
    return LinkClock()->WaitEvent(event, ms);
}
bool LinkWaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int ms,
                       const std::function<bool()>& done) {
    return LinkClock()->WaitCondition(cond, lock, ms, done);
}
int LinkRealMs(int ms) {
    if (!g_clockInstalled) return ms;
    return LinkClock()->ToRealMs(ms);
}
