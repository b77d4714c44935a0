#pragma once

#include "SoakGauge.h"
#include "SoakHidBackend.h"
#include "SoakRun.h"
#include "sim/SimEventLoop.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fx {

// The soak of several processors at once in this process: each one a
// processor object of the editor's core driven by a run of its own, on a
// thread of its own, against a simulated processor of its own; all the
// simulated processors served by one event loop. Memory and threads are
// measured for the whole process while every run stands at a quiet point.
class SoakFleet {
public:
    SoakFleet(int processors, int minutes, uint64_t seed, const std::filesystem::path& folder);

    // Runs every processor to the end; true when none broke an invariant and
    // memory and threads stayed flat.
    bool Run();
    // One line: what was done, summed over the processors (with each one's
    // share of the faults and checks when there are several), memory,
    // threads and the verdict.
    std::string Summary() const;
    // The first broken invariant, naming its processor when there are several.
    const std::string& FirstViolation() const { return m_violation; }
    // The actions before it on that processor (or on the first one).
    std::string RecentActions() const;

private:
    void CheckGrowth();
    const SoakRun* FirstFailed() const;

    const int m_minutes;
    const uint64_t m_seed;
    std::atomic<bool> m_failed{false};
    SimEventLoop m_loop; // outlives the runs' simulated processors
    SoakHidBackend m_usb;
    SoakGauge m_gauge;
    std::vector<std::unique_ptr<SoakRun>> m_runs;
    std::string m_violation;
};

} // namespace fx
