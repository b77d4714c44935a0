#pragma once

#include "service/history/HistoryConnection.h"
#include "service/history/HistoryTypes.h"
#include "service/history/ImageCodec.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// The snapshots in the database: written in batches as chains of a whole
// image and deltas (service/history/ImageCodec), read back whole, thinned
// out with age. Runs on the store's thread with its connection.
namespace fx {

struct PendingSnapshot {
    std::string processor;
    int64_t timeMs = 0;
    SnapshotSource source = SnapshotSource::Daemon;
    HistoryImage image;
};

class SnapshotArchive {
public:
    SnapshotArchive(HistoryConnection& connection, int fullImageInterval);

    // Writes the batch in one transaction: all or nothing.
    HistoryResult Write(const std::vector<PendingSnapshot>& batch);
    // The newest limit snapshots at or after sinceMs, oldest first; every
    // processor's for an empty name.
    HistoryReply<std::vector<SnapshotInfo>> List(const std::string& processor, int64_t sinceMs,
                                                 int limit);
    HistoryReply<SnapshotInfo> Get(int64_t id);
    HistoryReply<HistoryImage> ImageOf(int64_t id);
    // Deletes what the policy lets go (never an id in keep) and re-encodes
    // what followed it; the number of snapshots deleted.
    HistoryReply<int64_t> ApplyRetention(int64_t nowMs, const RetentionPolicy& policy,
                                         const std::set<int64_t>& keep);
    // Forgets what it knows of the chains' ends (after a failed write or a
    // new connection): they are read again from the database.
    void Forget();

private:
    // The end of a processor's chain, as the next snapshot continues it.
    struct ChainEnd {
        int64_t lastId = 0;
        HistoryImage lastImage;
        int deltasSinceWhole = 0;
    };
    struct StoredRow {
        int64_t id = 0;
        ImageCodec::Kind kind = ImageCodec::kWhole;
        ImageCodec::Bytes data;
        int64_t fingerprint = 0;
    };

    HistoryResult WriteOne(const PendingSnapshot& snapshot, std::map<std::string, ChainEnd>& ends);
    HistoryResult LoadChainEnd(const std::string& processor, std::map<std::string, ChainEnd>& ends);
    HistoryResult LoadNextId();
    // The rows of processor's chain from the last whole image up to id.
    HistoryReply<std::vector<StoredRow>> ChainUpTo(const std::string& processor, int64_t id);
    static HistoryReply<HistoryImage> DecodeRow(const HistoryImage* previous, const StoredRow& row);
    HistoryReply<HistoryImage> Rebuild(const std::vector<StoredRow>& rows);
    HistoryReply<std::set<int64_t>> DroppedBy(const std::string& processor, int64_t cutoffMs,
                                              int64_t periodMs, const std::set<int64_t>& keep);
    HistoryResult Rechain(const std::string& processor, const std::set<int64_t>& dropped);
    HistoryResult Fail(const std::string& why) const;

    HistoryConnection& m_connection;
    int m_interval;
    std::map<std::string, ChainEnd> m_ends;
    int64_t m_nextId = 0; // 0 while unknown
};

} // namespace fx
