#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the history of the processors' memories holds and how its calls end.
namespace fx {

// A whole parameter image as a mode file carries it (kModeFileSize bytes:
// the identity record, then the processor's memory).
using HistoryImage = std::vector<uint8_t>;

// Who or what made the memory the snapshot records.
enum class SnapshotSource {
    Api,
    WebPage,
    HomeAssistant,
    Forwarded,
    Processor,
    Reset,
    Daemon,
    Request
};
const char* SnapshotSourceId(SnapshotSource source); // "api", "web", "home-assistant", ...
std::optional<SnapshotSource> SnapshotSourceFromId(const std::string& id);

// One snapshot without its image: changes are the parameters that differ
// from the snapshot of the same processor before it, in English words.
struct SnapshotInfo {
    int64_t id = 0;
    std::string processor;
    int64_t timeMs = 0; // UTC
    SnapshotSource source = SnapshotSource::Daemon;
    std::vector<std::string> changes;
};

// The image a processor's installer approved.
struct ApprovedPreset {
    std::string processor;
    HistoryImage image;
    std::optional<int64_t> fromSnapshotId; // empty when it came from a file
    int64_t setMs = 0;
};

// How the history thins out with age: everything younger than keepAllMs is
// kept, older snapshots one per period per processor (the last of each), and
// snapshots an approved preset came from for ever.
struct RetentionPolicy {
    int64_t keepAllMs = 30LL * 24 * 3600 * 1000;
    int64_t periodMs = 24LL * 3600 * 1000;
};

struct HistoryOptions {
    size_t queueLimit = 1000;       // snapshots waiting for the database; the oldest go first
    int fullImageInterval = 50;     // a whole image at least every this many snapshots
    int retryMinMs = 100;           // first wait before trying a failed database again
    int retryMaxMs = 2000;          // longest wait between tries
    int sqliteBusyTimeoutMs = 200;  // how long a write waits for a lock held by another
    std::function<int64_t()> nowMs; // UTC milliseconds of approvals; the system clock when empty
};

// How a call went. Nothing leaves the history as an exception.
struct HistoryResult {
    enum class Status {
        Ok,
        BadValue,    // refused before the database was asked (the message says why)
        NotFound,    // no such snapshot or no approved preset
        Unavailable, // the database cannot be reached now; snapshots wait
        Failed,      // the database refused or holds damaged data
    };
    Status status = Status::Ok;
    std::string message; // empty when Ok

    bool ok() const { return status == Status::Ok; }
    static HistoryResult Ok() { return {}; }
    static HistoryResult Fail(Status status, std::string message) {
        return {status, std::move(message)};
    }
};

// A result with what the call gives back.
template <class T> struct HistoryReply {
    HistoryResult result;
    T value{};

    bool ok() const { return result.ok(); }
};

// The database's health as /metrics and the API show it.
struct HistoryHealth {
    bool ok = false;
    std::string error;    // why not, empty when ok
    size_t queued = 0;    // snapshots waiting to be written
    uint64_t dropped = 0; // snapshots dropped because the queue was full
    uint64_t written = 0; // snapshots written since open
};

} // namespace fx
