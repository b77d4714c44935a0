#include "service/VenueHistory.h"

#include "service/DaemonVenue.h"

#include <chrono>
#include <pthread.h>

namespace fx {

namespace {

constexpr int kSettleCheckMs = 100;
constexpr int64_t kRetentionEveryMs = 3600LL * 1000;

} // namespace

int64_t UtcNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

SnapshotSource SnapshotSourceOf(ChangeOrigin origin) {
    switch (origin) {
    case ChangeOrigin::Api:
        return SnapshotSource::Api;
    case ChangeOrigin::WebPage:
        return SnapshotSource::WebPage;
    case ChangeOrigin::HomeAssistant:
        return SnapshotSource::HomeAssistant;
    case ChangeOrigin::Forwarded:
        return SnapshotSource::Forwarded;
    case ChangeOrigin::Processor:
        return SnapshotSource::Processor;
    case ChangeOrigin::Reset:
        return SnapshotSource::Reset;
    case ChangeOrigin::Daemon:
        return SnapshotSource::Daemon;
    }
    return SnapshotSource::Daemon;
}

VenueHistory::VenueHistory(DaemonVenue& venue, HistoryStore& store, int settleMs,
                           RetentionPolicy retention)
    : m_venue(venue), m_store(store), m_settleMs(settleMs), m_retention(retention),
      m_thread([this] { Run(); }) {}

VenueHistory::~VenueHistory() {
    Stop();
}

void VenueHistory::Attach() {
    m_venue.SetObserver([this](const VenueEvent& event, const std::vector<uint8_t>& modeFile) {
        OnEvent(event, modeFile);
    });
    m_venue.SetBeforeRewrite(
        [this](const std::string& processor, const std::vector<uint8_t>& modeFile) {
            BeforeRewrite(processor, modeFile);
        });
    m_venue.SetDriftSource(
        [this](const std::string& processor,
               const std::vector<uint8_t>& modeFile) -> std::optional<std::vector<std::string>> {
            auto drift = m_store.Drift(processor, modeFile);
            if (!drift.ok()) return std::nullopt;
            return std::move(drift.value);
        });
}

void VenueHistory::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) return;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // What was still settling is the memory as it was left.
    for (auto& [processor, pending] : m_pending)
        Add(processor, pending.source, std::move(pending.image));
    m_pending.clear();
}

void VenueHistory::Add(const std::string& processor, SnapshotSource source,
                       std::vector<uint8_t> image) {
    if (image.empty()) return;
    m_store.AddSnapshot(processor, UtcNowMs(), source, std::move(image));
}

void VenueHistory::OnEvent(const VenueEvent& event, const std::vector<uint8_t>& modeFile) {
    using Kind = VenueEvent::Kind;
    if (modeFile.empty()) return;
    if (event.kind == Kind::LinkUp) {
        {
            std::lock_guard lock(m_mutex);
            m_pending.erase(event.processor);
        }
        Add(event.processor, SnapshotSource::Daemon, modeFile);
        return;
    }
    const bool memoryChanged =
        !event.changes.empty() || event.kind == Kind::ModeLoaded || event.kind == Kind::ModeStored;
    if (!memoryChanged) return;
    std::lock_guard lock(m_mutex);
    Pending& pending = m_pending[event.processor];
    pending.changedMs = UtcNowMs();
    pending.source = SnapshotSourceOf(event.origin);
    pending.image = modeFile;
}

void VenueHistory::BeforeRewrite(const std::string& processor,
                                 const std::vector<uint8_t>& modeFile) {
    SnapshotSource source = SnapshotSource::Daemon;
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_pending.find(processor); found != m_pending.end()) {
            source = found->second.source;
            m_pending.erase(found);
        }
    }
    Add(processor, source, modeFile);
}

HistoryResult VenueHistory::SnapshotNow(const std::string& processor, SnapshotSource source) {
    ProcessorHost* host = m_venue.Find(processor);
    if (!host)
        return HistoryResult::Fail(HistoryResult::Status::NotFound, "no processor " + processor);
    std::vector<uint8_t> image = host->ModeFile();
    if (image.empty())
        return HistoryResult::Fail(HistoryResult::Status::Unavailable,
                                   "processor " + processor + " was never read");
    {
        std::lock_guard lock(m_mutex);
        m_pending.erase(processor);
    }
    return m_store.AddSnapshot(processor, UtcNowMs(), source, std::move(image));
}

void VenueHistory::ApprovalChanged(const std::string& processor) {
    if (ProcessorHost* host = m_venue.Find(processor)) host->NoteChange(ChangeOrigin::Daemon);
}

void VenueHistory::Run() {
    // Named so that the processor time of the history can be told apart.
    pthread_setname_np(pthread_self(), "fx-history");
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        m_wake.wait_for(lock, std::chrono::milliseconds(kSettleCheckMs));
        const int64_t now = UtcNowMs();
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (now - it->second.changedMs < m_settleMs) {
                ++it;
                continue;
            }
            Pending settled = std::move(it->second);
            const std::string processor = it->first;
            it = m_pending.erase(it);
            lock.unlock();
            Add(processor, settled.source, std::move(settled.image));
            lock.lock();
        }
        // Thinning out the old snapshots, at start and every hour after.
        if (now >= m_nextRetentionMs) {
            m_nextRetentionMs = now + kRetentionEveryMs;
            lock.unlock();
            m_store.ApplyRetention(now, m_retention);
            lock.lock();
        }
    }
}

} // namespace fx
