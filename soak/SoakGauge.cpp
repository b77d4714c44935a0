#include "SoakGauge.h"

namespace fx {

SoakGauge::SoakGauge(int runs) : m_barrier(runs, Measure{this}) {}

void SoakGauge::Arrive() {
    m_barrier.arrive_and_wait();
}

void SoakGauge::Leave() {
    m_barrier.arrive_and_drop();
}

// Runs on the last thread to arrive while the others still wait.
void SoakGauge::Measure::operator()() noexcept {
    (gauge->m_measured++ == 0 ? gauge->m_first : gauge->m_last) = ProcessGauge::Now();
}

} // namespace fx
