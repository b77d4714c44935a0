#include "service/history/HistoryStore.h"

#include "service/history/HistoryWorker.h"
#include "service/history/ImageChanges.h"

#include "modefile/ModeFile.h"

#include <chrono>

namespace fx {

namespace {

using Status = HistoryResult::Status;

constexpr size_t kNameMax = 32;
constexpr int kListMax = 10000;

HistoryResult BadValue(std::string why) {
    return HistoryResult::Fail(Status::BadValue, std::move(why));
}

HistoryResult NotOpen() {
    return HistoryResult::Fail(Status::Failed, "history is not open");
}

// The venue's names: 1 to 32 letters, digits, '-' and '_'.
HistoryResult CheckName(const std::string& processor) {
    bool ok = !processor.empty() && processor.size() <= kNameMax;
    for (char c : processor)
        ok = ok && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_');
    if (ok) return HistoryResult::Ok();
    return BadValue("processor: a name of 1 to 32 letters, digits, '-' or '_'");
}

HistoryResult CheckImage(const HistoryImage& image) {
    if (IsModeFileImage(image)) return HistoryResult::Ok();
    return BadValue("image: " + std::to_string(image.size()) + " bytes, a mode file's are " +
                    std::to_string(kModeFileSize));
}

} // namespace

HistoryStore::HistoryStore(HistoryOptions options) : m_options(std::move(options)) {}

HistoryStore::~HistoryStore() {
    Close();
}

HistoryResult HistoryStore::Open(const std::string& url) {
    Close();
    std::string why;
    std::optional<HistoryConnection::Target> target = HistoryConnection::ParseUrl(url, &why);
    if (!target) return BadValue(why);
    auto worker = std::make_unique<HistoryWorker>(std::move(*target), m_options);
    const HistoryResult result = worker->Start();
    if (result.status != Status::Failed) m_worker = std::move(worker);
    return result;
}

void HistoryStore::Close() {
    if (m_worker) m_worker->Stop();
    m_worker.reset();
}

bool HistoryStore::IsOpen() const {
    return m_worker != nullptr;
}

int64_t HistoryStore::NowMs() const {
    if (m_options.nowMs) return m_options.nowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

HistoryResult HistoryStore::AddSnapshot(const std::string& processor, int64_t timeMs,
                                        SnapshotSource source, HistoryImage image) {
    HistoryResult check = CheckName(processor);
    if (check.ok()) check = CheckImage(image);
    if (!check.ok()) return check;
    if (!m_worker) return NotOpen();
    m_worker->Enqueue({processor, timeMs, source, std::move(image)});
    return HistoryResult::Ok();
}

bool HistoryStore::Flush(std::chrono::milliseconds timeout) {
    return m_worker && m_worker->WaitWritten(timeout);
}

HistoryReply<std::vector<SnapshotInfo>> HistoryStore::List(const std::string& processor,
                                                           int64_t sinceMs, int limit) {
    if (!processor.empty()) {
        HistoryResult check = CheckName(processor);
        if (!check.ok()) return {check, {}};
    }
    if (limit < 1 || limit > kListMax)
        return {BadValue("limit: 1 to " + std::to_string(kListMax)), {}};
    if (!m_worker) return {NotOpen(), {}};
    return m_worker->Call<std::vector<SnapshotInfo>>([&](HistoryArchives& archives) {
        return archives.snapshots.List(processor, sinceMs, limit);
    });
}

HistoryReply<SnapshotInfo> HistoryStore::Get(int64_t id) {
    if (!m_worker) return {NotOpen(), {}};
    return m_worker->Call<SnapshotInfo>(
        [&](HistoryArchives& archives) { return archives.snapshots.Get(id); });
}

HistoryReply<HistoryImage> HistoryStore::ImageOf(int64_t id) {
    if (!m_worker) return {NotOpen(), {}};
    return m_worker->Call<HistoryImage>(
        [&](HistoryArchives& archives) { return archives.snapshots.ImageOf(id); });
}

HistoryResult HistoryStore::SetApproved(const std::string& processor, const HistoryImage& image,
                                        std::optional<int64_t> fromSnapshotId) {
    HistoryResult check = CheckName(processor);
    if (check.ok() && (!fromSnapshotId || !image.empty())) check = CheckImage(image);
    if (!check.ok()) return check;
    if (!m_worker) return NotOpen();
    ApprovedPreset preset{processor, image, fromSnapshotId, NowMs()};
    return m_worker
        ->Call<bool>([&](HistoryArchives& archives) -> HistoryReply<bool> {
            if (fromSnapshotId) {
                HistoryReply<SnapshotInfo> info = archives.snapshots.Get(*fromSnapshotId);
                if (!info.ok()) return {info.result, false};
                if (info.value.processor != processor)
                    return {BadValue("snapshot " + std::to_string(*fromSnapshotId) + " is " +
                                     info.value.processor + "'s, not " + processor + "'s"),
                            false};
                HistoryReply<HistoryImage> snapshot = archives.snapshots.ImageOf(*fromSnapshotId);
                if (!snapshot.ok()) return {snapshot.result, false};
                if (!image.empty() && image != snapshot.value)
                    return {BadValue("image: not the image of snapshot " +
                                     std::to_string(*fromSnapshotId)),
                            false};
                preset.image = std::move(snapshot.value);
            }
            const HistoryResult added = archives.approvals.Add(preset);
            if (added.ok()) m_worker->RememberApproved(processor, preset);
            return {added, added.ok()};
        })
        .result;
}

HistoryReply<ApprovedPreset> HistoryStore::Approved(const std::string& processor) {
    HistoryResult check = CheckName(processor);
    if (!check.ok()) return {check, {}};
    if (!m_worker) return {NotOpen(), {}};
    bool known = false;
    std::optional<ApprovedPreset> preset = m_worker->Approved(processor, &known);
    if (!known) {
        const HistoryHealth health = m_worker->Health();
        return {HistoryResult::Fail(Status::Unavailable, health.error), {}};
    }
    if (!preset)
        return {HistoryResult::Fail(Status::NotFound, processor + " has no approved preset"), {}};
    return {HistoryResult::Ok(), std::move(*preset)};
}

HistoryResult HistoryStore::ClearApproved(const std::string& processor) {
    HistoryResult check = CheckName(processor);
    if (!check.ok()) return check;
    if (!m_worker) return NotOpen();
    const int64_t now = NowMs();
    return m_worker
        ->Call<bool>([&](HistoryArchives& archives) -> HistoryReply<bool> {
            const HistoryResult cleared = archives.approvals.Clear(processor, now);
            if (cleared.ok()) m_worker->RememberApproved(processor, std::nullopt);
            return {cleared, cleared.ok()};
        })
        .result;
}

HistoryReply<std::vector<std::string>> HistoryStore::Drift(const std::string& processor,
                                                           const HistoryImage& image) {
    HistoryReply<ApprovedPreset> approved = Approved(processor);
    if (!approved.ok()) return {approved.result, {}};
    HistoryResult check = CheckImage(image);
    if (!check.ok()) return {check, {}};
    return {HistoryResult::Ok(), ImageChanges(approved.value.image, image)};
}

HistoryReply<int64_t> HistoryStore::ApplyRetention(int64_t nowMs, const RetentionPolicy& policy) {
    if (!m_worker) return {NotOpen(), {}};
    return m_worker->Call<int64_t>([&](HistoryArchives& archives) -> HistoryReply<int64_t> {
        HistoryReply<std::set<int64_t>> keep = archives.approvals.SourceSnapshots();
        if (!keep.ok()) return {keep.result, 0};
        return archives.snapshots.ApplyRetention(nowMs, policy, keep.value);
    });
}

HistoryHealth HistoryStore::Health() const {
    if (!m_worker) {
        HistoryHealth health;
        health.error = "history is not open";
        return health;
    }
    return m_worker->Health();
}

} // namespace fx
