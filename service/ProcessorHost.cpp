#include "service/ProcessorHost.h"

#include "link/LinkClock.h"
#include "link/NetLink.h"
#include "link/TextFormat.h"
#include "link/UsbLink.h"
#include "link/UsbLinkPart.h"
#include "modefile/ModeFile.h"
#include "state/DeviceIdentity.h"
#include "state/MusicSources.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"
#include "state/SyncJobs.h"

#include <asio/post.hpp>

#include <cmath>
#include <cstring>

namespace fx {

namespace {

int Whole(double value) {
    return static_cast<int>(std::lround(value));
}

std::string Text(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

bool SameControls(const ProcessorState& a, const ProcessorState& b) {
    for (int i = 0; i < kMasterLevelCount; ++i)
        if (a.levels[i].value != b.levels[i].value || a.levels[i].muted != b.levels[i].muted)
            return false;
    return a.pitch == b.pitch && a.noiseGate == b.noiseGate && a.source == b.source &&
           a.mode == b.mode && a.model == b.model && a.driftKnown == b.driftKnown &&
           a.drift == b.drift;
}

} // namespace

ProcessorHost::ProcessorHost(std::string name, std::string host, int port, asio::thread_pool& pool,
                             EventSink events, std::string usbPath)
    : m_name(std::move(name)), m_host(std::move(host)), m_port(port), m_usbPath(std::move(usbPath)),
      m_events(std::move(events)), m_strand(asio::make_strand(pool)), m_retryTimer(m_strand) {
    m_processor.Link().SetViewNotifier(this);
    m_processor.JobUiSlot() = this;
    m_state.name = m_name;
    m_state.address = Address();
    m_state.offlineReason = "connecting";
}

ProcessorHost::~ProcessorHost() {
    Stop();
}

std::string ProcessorHost::Address() const {
    if (!m_usbPath.empty()) return "usb:" + m_usbPath;
    return m_host + ":" + std::to_string(m_port);
}

void ProcessorHost::CloseLink(bool letGo) {
    ProcessorScope scope(m_processor);
    if (m_usbPath.empty())
        NetDisconnect(letGo);
    else if (letGo)
        DisconnectUsb();
    else
        CloseUsbLink();
    JoinSyncJobs();
}

void ProcessorHost::Start() {
    asio::post(m_strand, [this] { Connect(); });
}

void ProcessorHost::Stop() {
    if (m_stopping.exchange(true)) return;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
    asio::post(m_strand, [&] {
        m_retryTimer.cancel();
        if (m_phase != Phase::Idle) CloseLink(m_phase == Phase::Up);
        m_phase = Phase::Stopped;
        std::lock_guard lock(doneMutex);
        done = true;
        doneChanged.notify_all();
    });
    std::unique_lock lock(doneMutex);
    doneChanged.wait(lock, [&] { return done; });
    m_processor.Link().SetViewNotifier(nullptr);
    m_processor.JobUiSlot() = nullptr;
}

ProcessorState ProcessorHost::State() const {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

std::vector<uint8_t> ProcessorHost::ModeFile() const {
    std::lock_guard lock(m_stateMutex);
    return m_modeFile;
}

void ProcessorHost::Connect() {
    if (m_stopping) return;
    ProcessorScope scope(m_processor);
    m_phase = Phase::Connecting;
    if (!m_usbPath.empty()) {
        m_processor.Store().Link().netMode = false;
        m_processor.Link().Usb().wantedPath = m_usbPath;
        if (OpenDeviceLink() != 1) {
            ++m_linkFaults;
            ScheduleReconnect("no processor on USB at " + m_usbPath);
            return;
        }
        m_phase = Phase::Reading;
        StartDelayedRead();
        return;
    }
    m_processor.Store().Link().netMode = true;
    const int result = NetConnect(m_host, m_port);
    if (result != 1) {
        ++m_linkFaults;
        const char* reason = result > 0 ? std::strerror(result) : "no socket";
        ScheduleReconnect(FormatText("no processor at %s (%s)", Address().c_str(), reason));
        return;
    }
    m_phase = Phase::Reading;
    StartDelayedRead();
}

void ProcessorHost::OnJobEnded(bool write) {
    if (write || m_stopping) return;
    ProcessorScope scope(m_processor);
    if (m_phase == Phase::Up) {
        // A read the processor asked for (a mode loaded on its panel) or one
        // a change that went unconfirmed started: show what it holds now.
        Publish(VenueEvent::Kind::Changed, ChangeOrigin::Processor);
        return;
    }
    if (m_phase != Phase::Reading) return;
    const SyncResult read = LastReadResult();
    if (read.outcome == SyncOutcome::Completed && IsCompatible()) {
        m_phase = Phase::Up;
        m_retryMs = kFirstRetryMs;
        {
            std::lock_guard lock(m_stateMutex);
            m_state.connected = true;
            m_state.offlineReason.clear();
        }
        Publish(VenueEvent::Kind::LinkUp, ChangeOrigin::Daemon);
        return;
    }
    std::string reason = "the whole read failed";
    if (read.outcome == SyncOutcome::Incompatible || read.outcome == SyncOutcome::Completed)
        reason = "unsupported processor " + ModuleNameText();
    else if (read.outcome == SyncOutcome::NoAnswer)
        reason = "the processor did not answer the read (" + read.missing + ")";
    else if (read.outcome == SyncOutcome::LinkLost)
        reason = "the link was lost during the read";
    OnLinkLost(reason);
}

void ProcessorHost::OnLinkLost(const std::string& reason) {
    if (m_phase == Phase::Stopped || m_phase == Phase::Idle) return;
    ++m_linkFaults;
    const bool wasUp = m_phase == Phase::Up;
    CloseLink(false);
    ScheduleReconnect(reason);
    if (wasUp) Publish(VenueEvent::Kind::LinkDown, ChangeOrigin::Daemon);
}

void ProcessorHost::SetOffline(const std::string& reason) {
    std::lock_guard lock(m_stateMutex);
    m_state.connected = false;
    m_state.offlineReason = reason;
}

void ProcessorHost::ScheduleReconnect(const std::string& reason) {
    m_phase = Phase::Idle;
    SetOffline(reason);
    if (m_stopping) return;
    m_retryTimer.expires_after(std::chrono::milliseconds(m_retryMs));
    m_retryMs = std::min(m_retryMs * 2, kLastRetryMs);
    m_retryTimer.async_wait([this](const asio::error_code& error) {
        if (!error) Connect();
    });
}

void ProcessorHost::Poll() {
    if (m_phase != Phase::Up || m_stopping) return;
    if (!m_processor.Link().Usable()) {
        asio::post(m_strand, [this] {
            if (m_phase == Phase::Up && !m_processor.Link().Usable())
                OnLinkLost("the link to the processor was lost");
        });
        return;
    }
    if (StoreMoved())
        asio::post(m_strand, [this] {
            if (m_phase == Phase::Up) Publish(VenueEvent::Kind::Changed, ChangeOrigin::Processor);
        });
}

bool ProcessorHost::StoreMoved() {
    ProcessorScope scope(m_processor);
    std::lock_guard lock(m_processor.Link().Handover().Lock());
    const ParamStore& store = m_processor.Store();
    const int pitch = store.Values().musicPitch;
    const int mode = store.CurrentMode();
    const size_t size = sizeof store.Image() + sizeof store.Panel() + 2 * sizeof(int);
    if (m_lastLook.size() != size) m_lastLook.assign(size, 0);
    uint8_t* look = m_lastLook.data();
    bool moved = std::memcmp(look, store.Image(), sizeof store.Image()) != 0;
    look += sizeof store.Image();
    moved = moved || std::memcmp(look, store.Panel(), sizeof store.Panel()) != 0;
    look += sizeof store.Panel();
    moved = moved || std::memcmp(look, &pitch, sizeof pitch) != 0 ||
            std::memcmp(look + sizeof pitch, &mode, sizeof mode) != 0;
    if (!moved) return false;
    look = m_lastLook.data();
    std::memcpy(look, store.Image(), sizeof store.Image());
    std::memcpy(look + sizeof store.Image(), store.Panel(), sizeof store.Panel());
    std::memcpy(look + sizeof store.Image() + sizeof store.Panel(), &pitch, sizeof pitch);
    std::memcpy(look + sizeof store.Image() + sizeof store.Panel() + sizeof pitch, &mode,
                sizeof mode);
    return true;
}

void ProcessorHost::Capture(ProcessorState& state, std::vector<uint8_t>& image) const {
    auto& processor = const_cast<fx::Processor&>(m_processor);
    ProcessorScope scope(processor);
    std::lock_guard lock(processor.Link().Handover().Lock());
    const ParamStore& store = processor.Store();
    for (const MasterLevelInfo& info : MasterLevels()) {
        LevelState& level = state.levels[static_cast<int>(info.level)];
        level.value = Whole(GetDspParam(info.block, info.levelParameter));
        level.muted = Whole(GetDspParam(info.block, info.switchParameter)) == 0;
    }
    state.pitch = store.Values().musicPitch;
    state.noiseGate = Whole(GetDspParam(4, 22));
    state.source = Whole(GetDspParam(kMusicSourceBlock, kMusicSourceParameter));
    const IdentityRecord& identity = store.Identity();
    state.model = Text(identity.moduleName, sizeof identity.moduleName);
    state.firstVersion = Text(identity.firstVersion, sizeof identity.firstVersion);
    state.secondVersion = Text(identity.secondVersion, sizeof identity.secondVersion);
    state.commandSetVersion = identity.commandSetVersion;
    state.mode = store.CurrentMode() + 1;
    state.sources.clear();
    for (const MusicSourceChoice& choice : MusicSourcesOf(MusicInputDialogFor(identity.moduleName)))
        state.sources.push_back({choice.source, choice.name});
    image = ModeFileBytes();
}

void ProcessorHost::Publish(VenueEvent::Kind kind, ChangeOrigin origin, int mode) {
    ProcessorState now = State();
    std::vector<uint8_t> file;
    if (now.connected) Capture(now, file);
    if (m_drift && !file.empty()) {
        const auto drift = m_drift(m_name, file);
        now.driftKnown = drift.has_value();
        now.drift = drift.value_or(std::vector<std::string>{});
    }
    VenueEvent event;
    event.kind = kind;
    event.origin = origin;
    event.processor = m_name;
    event.mode = mode;
    if (!file.empty() && m_publishedImage.size() == file.size()) {
        for (const ParamDifference& difference :
             DiffImages(m_publishedImage.data() + kModeFileHeaderSize,
                        file.data() + kModeFileHeaderSize, kLanguageEnglish))
            event.changes.push_back(DifferenceLine(difference, kLanguageEnglish));
    }
    bool controlsChanged = false;
    {
        std::lock_guard lock(m_stateMutex);
        controlsChanged = !SameControls(m_state, now);
        m_state = now;
        if (!file.empty()) m_modeFile = file;
    }
    if (!file.empty()) m_publishedImage = std::move(file);
    if (kind == VenueEvent::Kind::Changed && event.changes.empty() && !controlsChanged) return;
    event.state = std::move(now);
    if (m_events) m_events(std::move(event));
}

void ProcessorHost::Submit(std::function<ChangeResult()> work, ChangeOrigin origin,
                           IVenue::Done done, VenueEvent::Kind kind, int mode) {
    asio::post(m_strand, [this, work = std::move(work), origin, done = std::move(done), kind,
                          mode] {
        if (m_phase != Phase::Up) {
            done(ChangeResult::Fail(ChangeResult::Status::NotConnected,
                                    "processor " + m_name + " is not connected (" +
                                        State().offlineReason + ")"));
            return;
        }
        ChangeResult result;
        {
            ProcessorScope scope(m_processor);
            result = work();
            // What the processor did not confirm may not be what the daemon
            // now holds: read it back whole, and show it once that arrived.
            if (result.status == ChangeResult::Status::NotConfirmed && m_processor.Link().Usable())
                StartDelayedRead();
        }
        Publish(result.ok() ? kind : VenueEvent::Kind::Changed, origin, mode);
        done(std::move(result));
    });
}

void ProcessorHost::Inspect(std::function<void(bool connected)> work) {
    asio::post(m_strand, [this, work = std::move(work)] {
        ProcessorScope scope(m_processor);
        std::lock_guard lock(m_processor.Link().Handover().Lock());
        work(m_phase == Phase::Up);
    });
}

void ProcessorHost::NoteChange(ChangeOrigin origin) {
    asio::post(m_strand, [this, origin] {
        if (m_phase == Phase::Up) Publish(VenueEvent::Kind::Changed, origin);
    });
}

int ProcessorHost::ReadsEnded() const {
    std::lock_guard lock(m_jobMutex);
    return m_readsEnded;
}

bool ProcessorHost::WaitForReadAfter(int readsBefore, int timeoutMs) {
    std::unique_lock lock(m_jobMutex);
    return LinkWaitCondition(
               m_jobEnded, lock, timeoutMs,
               [&] { return m_readsEnded > readsBefore || !m_processor.Link().Usable(); }) &&
           m_readsEnded > readsBefore;
}

void ProcessorHost::PostViewMessage(int message, intptr_t wParam, intptr_t) {
    if (message == WM_JOB_ENDED) {
        if (wParam == 0) {
            std::lock_guard lock(m_jobMutex);
            ++m_readsEnded;
        }
        m_jobEnded.notify_all();
        asio::post(m_strand, [this, write = wParam != 0] { OnJobEnded(write); });
    } else if (message == WM_NET_TIMEOUT) {
        asio::post(m_strand, [this] { OnLinkLost("the processor stopped answering"); });
    } else if (message == WM_HOST_BUSY) {
        asio::post(m_strand, [this] { OnLinkLost("the processor is connected to another host"); });
    }
}

void ProcessorHost::SendViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    PostViewMessage(message, wParam, lParam);
}

void ProcessorHost::ShowErrorBox(const std::string&, const std::string&) {}

} // namespace fx
