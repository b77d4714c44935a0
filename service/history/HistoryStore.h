#pragma once

#include "service/history/HistoryTypes.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The history of every processor's memory and the presets its installer
// approved, in SQLite (a file path) or PostgreSQL
// ("postgresql://user@host:port/database"). Snapshots are queued and written
// on a thread of the store's own, so adding one never waits for the
// database; the other calls wait for their answer. Every call ends with a
// status and a message, never an exception.
namespace fx {

class HistoryWorker;

class HistoryStore {
public:
    explicit HistoryStore(HistoryOptions options = {});
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database, checks it (SQLite's integrity check), creates or
    // migrates its tables. Unavailable when it cannot be reached now: the
    // store is open all the same, queues snapshots and keeps trying. Failed
    // (damaged, or written by a later version) leaves it closed.
    HistoryResult Open(const std::string& url);
    // Writes what it still can and closes.
    void Close();
    bool IsOpen() const;

    // Queues a snapshot of a processor's whole memory (mode-file bytes) at
    // timeMs (UTC). Ok once queued; BadValue for a bad name or image size.
    HistoryResult AddSnapshot(const std::string& processor, int64_t timeMs, SnapshotSource source,
                              HistoryImage image);
    // Waits until every queued snapshot is written (tests, shutdown); false
    // when timeout passed first.
    bool Flush(std::chrono::milliseconds timeout);

    // The newest limit (1..10000) snapshots of processor (all processors'
    // for an empty name) at or after sinceMs, oldest first.
    HistoryReply<std::vector<SnapshotInfo>> List(const std::string& processor, int64_t sinceMs,
                                                 int limit);
    HistoryReply<SnapshotInfo> Get(int64_t id);
    HistoryReply<HistoryImage> ImageOf(int64_t id);

    // Approves image for processor, or with fromSnapshotId that snapshot's
    // image (image then empty or equal to it).
    HistoryResult SetApproved(const std::string& processor, const HistoryImage& image,
                              std::optional<int64_t> fromSnapshotId = std::nullopt);
    HistoryReply<ApprovedPreset> Approved(const std::string& processor);
    HistoryResult ClearApproved(const std::string& processor);
    // The parameters in which image differs from processor's approved
    // preset, in words; NotFound when it has none. Never waits for the
    // database.
    HistoryReply<std::vector<std::string>> Drift(const std::string& processor,
                                                 const HistoryImage& image);

    // Thins the history out as policy says; the number of snapshots deleted.
    HistoryReply<int64_t> ApplyRetention(int64_t nowMs, const RetentionPolicy& policy = {});

    HistoryHealth Health() const;

private:
    int64_t NowMs() const;

    HistoryOptions m_options;
    std::unique_ptr<HistoryWorker> m_worker;
};

} // namespace fx
