#pragma once

#include "service/Venue.h"
#include "service/history/HistoryStore.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fx {

class DaemonVenue;

// Keeps the history of every processor of the venue: a snapshot of its
// whole memory when its link comes up (after the read), once its changes
// have settled (no change for settleMs), before a preset write or a mode
// load replaces it, and on request; and each processor's drift from its
// approved preset, which every publication of its state carries.
class VenueHistory {
public:
    static constexpr int kSettleMs = 5000;

    VenueHistory(DaemonVenue& venue, HistoryStore& store, int settleMs = kSettleMs,
                 RetentionPolicy retention = {});
    ~VenueHistory(); // stops
    VenueHistory(const VenueHistory&) = delete;
    VenueHistory& operator=(const VenueHistory&) = delete;

    // Installs the venue's hooks; before the venue starts.
    void Attach();
    // Writes the snapshots still settling and stops the thread.
    void Stop();

    HistoryStore& Store() { return m_store; }
    // Queues a snapshot of the processor's memory as it is now.
    HistoryResult SnapshotNow(const std::string& processor, SnapshotSource source);
    // The approved preset changed: the processor's drift is published again.
    void ApprovalChanged(const std::string& processor);

private:
    struct Pending {
        int64_t changedMs = 0;
        SnapshotSource source = SnapshotSource::Processor;
        std::vector<uint8_t> image;
    };

    void OnEvent(const VenueEvent& event, const std::vector<uint8_t>& modeFile);
    void BeforeRewrite(const std::string& processor, const std::vector<uint8_t>& modeFile);
    void Add(const std::string& processor, SnapshotSource source, std::vector<uint8_t> image);
    void Run();

    DaemonVenue& m_venue;
    HistoryStore& m_store;
    const int m_settleMs;
    const RetentionPolicy m_retention;
    int64_t m_nextRetentionMs = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::string, Pending> m_pending;
    bool m_stopping = false;
    std::thread m_thread;
};

SnapshotSource SnapshotSourceOf(ChangeOrigin origin);
int64_t UtcNowMs();

} // namespace fx
