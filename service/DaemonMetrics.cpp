#include "service/DaemonMetrics.h"

#include <cstdio>

namespace fx {

void DaemonMetrics::CountRequest(int status) {
    std::lock_guard lock(m_mutex);
    ++m_requests[status];
}

void DaemonMetrics::ObserveConfirmation(double seconds) {
    std::lock_guard lock(m_mutex);
    size_t bucket = 0;
    while (bucket < kBuckets.size() && seconds > kBuckets[bucket]) ++bucket;
    ++m_latencyBuckets[bucket];
    m_latencySum += seconds;
    ++m_latencyCount;
}

void DaemonMetrics::CountRefusedEvent() {
    std::lock_guard lock(m_mutex);
    ++m_droppedEvents;
}

void DaemonMetrics::AddSource(Gauges source) {
    std::lock_guard lock(m_mutex);
    m_sources.push_back(std::move(source));
}

std::string DaemonMetrics::Text() {
    std::lock_guard lock(m_mutex);
    std::string text;
    char line[160];
    text += "# HELP fxtuned_http_requests_total HTTP requests answered, by status.\n"
            "# TYPE fxtuned_http_requests_total counter\n";
    for (const auto& [status, count] : m_requests) {
        std::snprintf(line, sizeof line, "fxtuned_http_requests_total{code=\"%d\"} %llu\n", status,
                      static_cast<unsigned long long>(count));
        text += line;
    }
    text += "# HELP fxtuned_confirmation_seconds Time from a change's request to the "
            "processor's answer.\n# TYPE fxtuned_confirmation_seconds histogram\n";
    uint64_t cumulative = 0;
    for (size_t i = 0; i <= kBuckets.size(); ++i) {
        cumulative += m_latencyBuckets[i];
        if (i < kBuckets.size())
            std::snprintf(line, sizeof line,
                          "fxtuned_confirmation_seconds_bucket{le=\"%g\"} %llu\n", kBuckets[i],
                          static_cast<unsigned long long>(cumulative));
        else
            std::snprintf(line, sizeof line,
                          "fxtuned_confirmation_seconds_bucket{le=\"+Inf\"} %llu\n",
                          static_cast<unsigned long long>(cumulative));
        text += line;
    }
    std::snprintf(
        line, sizeof line,
        "fxtuned_confirmation_seconds_sum %.6f\nfxtuned_confirmation_seconds_count %llu\n",
        m_latencySum, static_cast<unsigned long long>(m_latencyCount));
    text += line;
    text += "# HELP fxtuned_events_dropped_total Event messages dropped for a client that did "
            "not keep up.\n# TYPE fxtuned_events_dropped_total counter\n"
            "fxtuned_events_dropped_total " +
            std::to_string(m_droppedEvents) + "\n";
    for (const Gauges& source : m_sources) text += source();
    return text;
}

} // namespace fx
