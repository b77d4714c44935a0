#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fx {

// What /metrics reports, kept as the requests go (Prometheus text format).
class DaemonMetrics {
public:
    void CountRequest(int status);
    // From the request to the processor's confirmation (or its refusal).
    void ObserveConfirmation(double seconds);
    void CountRefusedEvent(); // a slow event client's message dropped

    // Gauges and counters the daemon's parts own, read at scrape time.
    using Gauges = std::function<std::string()>;
    void AddSource(Gauges source);

    std::string Text();

private:
    static constexpr std::array<double, 10> kBuckets{0.005, 0.01, 0.025, 0.05, 0.1,
                                                     0.25,  0.5,  1.0,   2.5,  5.0};
    std::mutex m_mutex;
    std::map<int, uint64_t> m_requests;
    std::array<uint64_t, kBuckets.size() + 1> m_latencyBuckets{};
    double m_latencySum = 0;
    uint64_t m_latencyCount = 0;
    uint64_t m_droppedEvents = 0;
    std::vector<Gauges> m_sources;
};

} // namespace fx
