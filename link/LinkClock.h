#pragma once

#include "link/AutoResetEvent.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The link's time: the watchdog's tick and gap, the writer's steps, the
// reply waits and the short pauses. Tests may install a faster clock; every
// link duration then shrinks by the same factor, so the link behaves the
// same, only sooner.
class ILinkClock {
public:
    virtual ~ILinkClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
    // Waits up to ms of link time for the event; true when it was set.
    virtual bool WaitEvent(AutoResetEvent& event, int ms) = 0;
    // Waits up to ms of link time on cond, whose mutex the caller holds in
    // lock, until done holds; returns done().
    virtual bool WaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock,
                               int ms, const std::function<bool()>& done) = 0;
    // How many real milliseconds ms of link time last (the event loop's timers).
    virtual int ToRealMs(int ms) const { return ms; }
};

// Real time.
class SteadyLinkClock : public ILinkClock {
public:
    int64_t NowMs() override;
    void SleepMs(int ms) override;
    bool WaitEvent(AutoResetEvent& event, int ms) override;
    bool WaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int ms,
                       const std::function<bool()>& done) override;
};

// Link time running `factor` times faster than real time.
class ScaledLinkClock : public ILinkClock {
public:
    explicit ScaledLinkClock(int factor);
    int64_t NowMs() override;
    void SleepMs(int ms) override;
    bool WaitEvent(AutoResetEvent& event, int ms) override;
    bool WaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int ms,
                       const std::function<bool()>& done) override;
    int ToRealMs(int ms) const override { return RealMs(ms); }

private:
    int RealMs(int ms) const;
    int m_factor;
    int64_t m_startRealMs;
};

// nullptr restores real time. Every use holds the clock it started with, so a
// link thread still running after its test has moved on keeps its clock alive.
void SetLinkClock(std::shared_ptr<ILinkClock> clock);
std::shared_ptr<ILinkClock> LinkClock();
int64_t LinkNowMs();
void LinkSleepMs(int ms);
bool LinkWaitEvent(AutoResetEvent& event, int ms);
bool LinkWaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int ms,
                       const std::function<bool()>& done);
int LinkRealMs(int ms);
