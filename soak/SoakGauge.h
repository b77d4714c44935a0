#pragma once

#include "ProcessGauge.h"

#include <barrier>

namespace fx {

// The process's memory and threads, measured while every processor's run
// stands still at a quiet point with its jobs joined: once when all of them
// have passed the start of their measuring, once at their end.
class SoakGauge {
public:
    explicit SoakGauge(int runs);
    SoakGauge(const SoakGauge&) = delete;
    SoakGauge& operator=(const SoakGauge&) = delete;

    // Waits until every run still going has arrived too, and the process was
    // measured: a run's first arrival is the start, its second the end.
    void Arrive();
    // A run that arrives no more (it failed, or another one did): the others
    // stop waiting for it. Once per run, after at most one Arrive().
    void Leave();

    // Read once every run has ended.
    const ProcessGauge& First() const { return m_first; }
    const ProcessGauge& Last() const { return m_last; }

private:
    struct Measure {
        SoakGauge* gauge;
        void operator()() noexcept;
    };

    int m_measured = 0;
    ProcessGauge m_first, m_last;
    std::barrier<Measure> m_barrier;
};

} // namespace fx
