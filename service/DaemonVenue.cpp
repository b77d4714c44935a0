#include "service/DaemonVenue.h"

#include "link/LinkState.h"
#include "link/ReplyWatch.h"
#include "link/StateThread.h"
#include "link/UsbLink.h"
#include "modefile/ModeFile.h"
#include "state/ChannelLinks.h"
#include "state/DeviceIdentity.h"
#include "state/EqFilterText.h"
#include "state/EqMath.h"
#include "state/MachineModes.h"
#include "state/MusicSources.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/SyncJobs.h"
#include "state/ValueRanges.h"

#include <asio/post.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <future>

namespace fx {

namespace {

using Status = ChangeResult::Status;

// How often every processor is looked at for a lost link or its own changes.
constexpr int kPollMs = 100;
// As long as the editor's synchronisation dialog waits for a job.
constexpr int kJobTimeoutMs = 30000;
constexpr int kNoiseGateBlock = 4;
constexpr int kNoiseGateParameter = 22;
constexpr int kPitchBlock = 4;
constexpr int kPitchParameter = 21;

ChangeResult BadValue(std::string message) {
    return ChangeResult::Fail(Status::BadValue, std::move(message));
}

ChangeResult ResultOf(const std::string& what, const Confirmation& confirmation) {
    using Outcome = Confirmation::Outcome;
    switch (confirmation.outcome) {
    case Outcome::Confirmed:
        return ChangeResult::Ok();
    case Outcome::Refused:
        return ChangeResult::Fail(Status::NotConfirmed, "the processor refused " + what + ": " +
                                                            confirmation.ErrorWords());
    case Outcome::NoAnswer:
        return ChangeResult::Fail(Status::NotConfirmed,
                                  "time-out: the processor did not confirm " + what);
    case Outcome::LinkGone:
        break;
    }
    return ChangeResult::Fail(Status::NotConnected,
                              "the link to the processor was lost before it confirmed " + what);
}

ChangeResult Confirmed(const std::string& what, int commands, const std::function<void()>& send) {
    return ResultOf(what, SendConfirmed(commands, send, kReplyWaitMs));
}

std::string RangeText(const char* field, int low, int high, int value) {
    return std::string(field) + " is " + std::to_string(low) + ".." + std::to_string(high) +
           ", not " + std::to_string(value);
}

bool EditableDsp(int block, int parameter) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    return entry && entry->kind != DspValueKind::None && entry->imageOffset >= 0 &&
           (entry->intVar() || entry->floatVar());
}

} // namespace

DaemonVenue::DaemonVenue(int workerThreads) : m_pool(std::max(1, workerThreads)) {}

DaemonVenue::~DaemonVenue() {
    Stop();
    m_pool.join();
}

void DaemonVenue::Add(const ProcessorConfig& config) {
    AddHost(std::make_unique<ProcessorHost>(
        config.name, config.host, config.port, m_pool,
        [this, name = config.name](VenueEvent event) { Emit(std::move(event), Find(name)); }));
}

void DaemonVenue::AddUsb(const std::string& name, const std::string& path) {
    AddHost(std::make_unique<ProcessorHost>(
        name, std::string(), 0, m_pool,
        [this, name](VenueEvent event) { Emit(std::move(event), Find(name)); }, path));
}

void DaemonVenue::RunWork(std::function<void()> work) {
    asio::post(m_pool, std::move(work));
}

void DaemonVenue::SetDriftSource(ProcessorHost::DriftSource source) {
    std::lock_guard lock(m_hostsMutex);
    m_drift = std::move(source);
    for (const auto& host : m_hosts) host->SetDriftSource(m_drift);
}

void DaemonVenue::AddHost(std::unique_ptr<ProcessorHost> host) {
    ProcessorHost* added = host.get();
    bool started = false;
    {
        std::lock_guard lock(m_hostsMutex);
        added->SetDriftSource(m_drift);
        if (m_byName.count(added->Name())) return;
        m_byName[added->Name()] = added;
        m_hosts.push_back(std::move(host));
        started = m_started;
    }
    if (!started) return;
    added->Start();
    VenueEvent event;
    event.kind = VenueEvent::Kind::Added;
    event.origin = ChangeOrigin::Daemon;
    event.processor = added->Name();
    event.state = added->State();
    Emit(std::move(event), added);
}

void DaemonVenue::Start() {
    {
        std::lock_guard lock(m_hostsMutex);
        m_started = true;
    }
    for (ProcessorHost* host : Hosts()) host->Start();
    m_pollTimer = std::make_unique<asio::steady_timer>(asio::make_strand(m_pool));
    asio::post(m_pollTimer->get_executor(), [this] {
        m_polling = true;
        PollHosts();
    });
}

void DaemonVenue::PollHosts() {
    if (!m_polling) return;
    for (ProcessorHost* host : Hosts()) host->Poll();
    m_pollTimer->expires_after(std::chrono::milliseconds(kPollMs));
    m_pollTimer->async_wait([this](const asio::error_code& error) {
        if (!error) PollHosts();
    });
}

void DaemonVenue::Stop() {
    {
        std::lock_guard lock(m_hostsMutex);
        if (!m_started) return;
        m_started = false;
    }
    if (m_pollTimer) {
        std::promise<void> cancelled;
        asio::post(m_pollTimer->get_executor(), [&] {
            m_polling = false;
            m_pollTimer->cancel();
            cancelled.set_value();
        });
        cancelled.get_future().wait();
    }
    if (m_usbTimer) {
        std::promise<void> cancelled;
        asio::post(m_usbTimer->get_executor(), [&] {
            m_usbScanMs = 0;
            m_usbTimer->cancel();
            cancelled.set_value();
        });
        cancelled.get_future().wait();
    }
    for (auto& port : m_forwarding) port->Stop();
    m_forwarding.clear();
    for (ProcessorHost* host : Hosts()) host->Stop();
}

bool DaemonVenue::StartForwarding(int base, std::string& error) {
    const std::vector<ProcessorHost*> hosts = Hosts();
    for (size_t k = 0; k < hosts.size(); ++k) {
        ProcessorHost* host = hosts[k];
        auto port = std::make_unique<ForwardingPort>(host->Object(), host->Name());
        port->onClientChange = [host] { host->NoteChange(ChangeOrigin::Forwarded); };
        const int number = base ? base + static_cast<int>(k) : 0;
        if (!port->Start("127.0.0.1", number, error)) {
            error = "forwarding port for " + host->Name() + ": " + error;
            return false;
        }
        m_forwarding.push_back(std::move(port));
    }
    return true;
}

int DaemonVenue::ForwardingPortOf(size_t index) const {
    return index < m_forwarding.size() ? m_forwarding[index]->Port() : 0;
}

void DaemonVenue::WatchUsb(std::map<std::string, std::string> namesByPath, int scanMs) {
    m_usbNames = std::move(namesByPath);
    m_usbScanMs = scanMs;
    m_usbTimer = std::make_unique<asio::steady_timer>(asio::make_strand(m_pool));
    asio::post(m_usbTimer->get_executor(), [this] { ScanUsb(); });
}

void DaemonVenue::ScanUsb() {
    if (m_usbScanMs <= 0) return;
    for (const std::string& path : FindProcessorInterfaces()) {
        bool held = false;
        for (ProcessorHost* host : Hosts()) held = held || host->Address() == "usb:" + path;
        if (held) continue;
        std::string name = UsbProcessorName(path);
        const std::string port = name.substr(4);
        if (const auto named = m_usbNames.find(path); named != m_usbNames.end())
            name = named->second;
        else if (const auto byPort = m_usbNames.find(port); byPort != m_usbNames.end())
            name = byPort->second;
        AddUsb(name, path);
    }
    m_usbTimer->expires_after(std::chrono::milliseconds(m_usbScanMs));
    m_usbTimer->async_wait([this](const asio::error_code& error) {
        if (!error) ScanUsb();
    });
}

std::string UsbProcessorName(const std::string& interfacePath) {
    // /sys/class/hidraw/hidrawN/device leads to .../1-4.2/1-4.2:1.0/0003:2010:1031.0005:
    // the USB port path is the folder above the interface (the one with a colon).
    const std::string node = interfacePath.substr(interfacePath.rfind('/') + 1);
    std::string port;
    char resolved[PATH_MAX];
    if (realpath(("/sys/class/hidraw/" + node + "/device").c_str(), resolved)) {
        std::string path = resolved;
        std::vector<std::string> parts;
        for (size_t start = 1, end; start < path.size(); start = end + 1) {
            end = path.find('/', start);
            if (end == std::string::npos) end = path.size();
            parts.push_back(path.substr(start, end - start));
        }
        for (size_t i = 1; i < parts.size(); ++i)
            if (parts[i].find(':') != std::string::npos &&
                parts[i].find('-') != std::string::npos) {
                port = parts[i - 1];
                break;
            }
    }
    if (port.empty()) port = node;
    std::string name = "usb-";
    for (const char c : port)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    return name.substr(0, 32);
}

std::vector<ProcessorHost*> DaemonVenue::Hosts() {
    std::lock_guard lock(m_hostsMutex);
    std::vector<ProcessorHost*> hosts;
    for (auto& host : m_hosts) hosts.push_back(host.get());
    return hosts;
}

ProcessorHost* DaemonVenue::Find(const std::string& name) {
    std::lock_guard lock(m_hostsMutex);
    const auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : found->second;
}

std::vector<ProcessorState> DaemonVenue::States() {
    std::vector<ProcessorHost*> hosts;
    {
        std::lock_guard lock(m_hostsMutex);
        for (const auto& [name, host] : m_byName) hosts.push_back(host);
    }
    std::vector<ProcessorState> states;
    for (ProcessorHost* host : hosts) states.push_back(host->State());
    return states;
}

std::optional<ProcessorState> DaemonVenue::State(const std::string& name) {
    ProcessorHost* host = Find(name);
    if (!host) return std::nullopt;
    return host->State();
}

void DaemonVenue::Answer(Done done, ChangeResult result) {
    asio::post(m_pool, [done = std::move(done), result = std::move(result)]() mutable {
        done(std::move(result));
    });
}

void DaemonVenue::Change(const std::string& name, ChangeOrigin origin, Done done,
                         std::function<ChangeResult()> change) {
    ProcessorHost* host = Find(name);
    if (!host) return Answer(std::move(done), {Status::NotFound, "no processor " + name});
    host->Submit(std::move(change), origin, std::move(done));
}

void DaemonVenue::SetLevel(const std::string& name, MasterLevel level, std::optional<int> value,
                           std::optional<bool> muted, ChangeOrigin origin, Done done) {
    const MasterLevelInfo& info = MasterLevels()[static_cast<int>(level)];
    if (!value && !muted) return Answer(std::move(done), BadValue("give value and/or muted"));
    if (value && (*value < 0 || *value > kMasterLevelMax))
        return Answer(std::move(done), BadValue(RangeText("value", 0, kMasterLevelMax, *value)));
    Change(name, origin, std::move(done), [info, value, muted] {
        const int commands = (value ? 1 : 0) + (muted ? 1 : 0);
        return Confirmed(std::string("the ") + info.id + " level", commands, [&] {
            if (value) SetDspParam(info.block, info.levelParameter, *value);
            if (muted) SetDspParam(info.block, info.switchParameter, *muted ? 0 : 100);
        });
    });
}

void DaemonVenue::SetPitch(const std::string& name, int pitch, ChangeOrigin origin, Done done) {
    if (pitch < kPitchMin || pitch > kPitchMax)
        return Answer(std::move(done), BadValue(RangeText("value", kPitchMin, kPitchMax, pitch)));
    Change(name, origin, std::move(done), [pitch] {
        ChangeResult result = Confirmed("the pitch", 1, [pitch] {
            if (const DspParamEntry* entry = FindDspParam(kPitchBlock, kPitchParameter);
                entry && entry->intVar())
                *entry->intVar() = pitch;
            // Sent raw: 00 00 00 (pitch + 5).
            const auto raw = static_cast<uint32_t>(pitch - kPitchMin);
            WriteDspParam(kPitchBlock, kPitchParameter, &raw, 1);
        });
        // The processor keeps the pitch in its record; the daemon's copy of
        // its memory (the presets it hands out, the history) does too.
        if (result.ok()) {
            StateGuard lock(StateLock());
            Store().Image()[DspRecordValueOffset(kPitchBlock, kPitchParameter) + 3] =
                static_cast<uint8_t>(pitch - kPitchMin);
        }
        return result;
    });
}

void DaemonVenue::SetNoiseGate(const std::string& name, int gate, ChangeOrigin origin, Done done) {
    if (gate < 0 || gate > kNoiseGateMax)
        return Answer(std::move(done), BadValue(RangeText("value", 0, kNoiseGateMax, gate)));
    Change(name, origin, std::move(done), [gate] {
        return Confirmed("the noise gate", 1,
                         [gate] { SetDspParam(kNoiseGateBlock, kNoiseGateParameter, gate); });
    });
}

void DaemonVenue::SetSource(const std::string& name, int source, ChangeOrigin origin, Done done) {
    if (source < 0 || source >= kMusicSourceCount)
        return Answer(std::move(done),
                      BadValue(RangeText("value", 0, kMusicSourceCount - 1, source)));
    Change(name, origin, std::move(done), [source] {
        // Which sources the processor offers is known from its identity.
        const MusicSourceChoice* choice = FindMusicSource(MusicInputDialogFor(), source);
        if (!choice) return BadValue(ModuleNameText() + " has no source " + std::to_string(source));
        return Confirmed("the music source", 1, [choice] {
            SetDspParam(kMusicSourceBlock, kMusicSourceParameter, choice->source);
        });
    });
}

void DaemonVenue::LoadMode(const std::string& name, int mode, ChangeOrigin origin, Done done) {
    if (mode < 1 || mode > kMachineModeCount)
        return Answer(std::move(done), BadValue(RangeText("load", 1, kMachineModeCount, mode)));
    ProcessorHost* host = Find(name);
    if (!host) return Answer(std::move(done), {Status::NotFound, "no processor " + name});
    host->Submit(
        [this, host, mode] {
            if (m_beforeRewrite) m_beforeRewrite(host->Name(), host->ModeFile());
            const int readsBefore = host->ReadsEnded();
            const std::string what = "the load of M" + std::to_string(mode);
            ChangeResult result = ResultOf(what, LoadMachineModeAnswered(mode - 1, kJobTimeoutMs));
            if (!result.ok()) return result;
            // The processor sends the mode's memory back: the read it starts.
            if (!host->WaitForReadAfter(readsBefore, kJobTimeoutMs) ||
                !LastReadResult().Completed())
                return ChangeResult::Fail(Status::NotConfirmed,
                                          "the read after " + what + " did not complete");
            return ChangeResult::Ok();
        },
        origin, std::move(done), VenueEvent::Kind::ModeLoaded, mode);
}

void DaemonVenue::StoreMode(const std::string& name, int mode, ChangeOrigin origin, Done done) {
    if (mode < 1 || mode > kMachineModeCount)
        return Answer(std::move(done), BadValue(RangeText("store", 1, kMachineModeCount, mode)));
    ProcessorHost* host = Find(name);
    if (!host) return Answer(std::move(done), {Status::NotFound, "no processor " + name});
    host->Submit(
        [mode] {
            return Confirmed("the store into M" + std::to_string(mode), 1,
                             [mode] { StoreMachineMode(mode - 1); });
        },
        origin, std::move(done), VenueEvent::Kind::ModeStored, mode);
}

void DaemonVenue::SetDsp(const std::string& name, int block, int parameter, double value,
                         ChangeOrigin origin, Done done) {
    if (!EditableDsp(block, parameter))
        return Answer(std::move(done),
                      {Status::NotFound, "no editable DSP parameter " + std::to_string(block) +
                                             " " + std::to_string(parameter)});
    const std::string refusal = CheckDspParamValue(block, parameter, value);
    if (!refusal.empty()) return Answer(std::move(done), BadValue(refusal));
    Change(name, origin, std::move(done), [block, parameter, value] {
        const int commands = static_cast<int>(BlocksLinkedWith(block, parameter).size());
        return Confirmed("the change of DSP parameter " + std::to_string(block) + " " +
                             std::to_string(parameter),
                         commands, [&] { SetLinkedDspParam(block, parameter, value); });
    });
}

void DaemonVenue::SetEq(const std::string& name, int set, int band, int type, double frequency,
                        double gain, double q, ChangeOrigin origin, Done done) {
    if (set < 0 || set >= kEqSetCount)
        return Answer(std::move(done), {Status::NotFound, "no EQ set " + std::to_string(set)});
    const int bands = FilterBandCount(set);
    if (band < 1 || band > bands)
        return Answer(std::move(done),
                      {Status::NotFound, "BAND of " + EqSetName(set, kLanguageEnglish) + " (set " +
                                             std::to_string(set) + ") is 1.." +
                                             std::to_string(bands) + ", not " +
                                             std::to_string(band)});
    const std::string refusal = CheckEqBandValues(type, frequency, gain, q);
    if (!refusal.empty()) return Answer(std::move(done), BadValue(refusal));
    Change(name, origin, std::move(done), [=] {
        const int commands = 2 * static_cast<int>(EqSetsLinkedWith(set).size());
        return Confirmed("the EQ band", commands,
                         [&] { SetLinkedEqBand(set, band - 1, type, frequency, gain, q); });
    });
}

void DaemonVenue::WritePreset(const std::string& name, std::vector<uint8_t> modeFile,
                              ChangeOrigin origin, Done done) {
    ModeFileCheck file = CheckModeFileBytes(std::move(modeFile), "the preset");
    if (!file.ok) return Answer(std::move(done), BadValue(file.message));
    ProcessorHost* host = Find(name);
    Change(name, origin, std::move(done), [this, host, file = std::move(file)] {
        if (m_beforeRewrite && host) m_beforeRewrite(host->Name(), host->ModeFile());
        ApplyModeFile(file);
        SynchronizeWriteThreadProc();
        const SyncResult written = LastWriteResult();
        if (written.Completed()) return ChangeResult::Ok();
        if (written.outcome == SyncOutcome::LinkLost)
            return ChangeResult::Fail(Status::NotConnected,
                                      "the link to the processor was lost during the write");
        return ChangeResult::Fail(Status::NotConfirmed,
                                  "the processor did not confirm the whole-image write (" +
                                      written.missing + ")");
    });
}

bool DaemonVenue::Inspect(const std::string& name, std::function<void(bool connected)> work) {
    ProcessorHost* host = Find(name);
    if (!host) return false;
    host->Inspect(std::move(work));
    return true;
}

std::string DaemonVenue::MetricsText() {
    int connected = 0;
    std::string faults = "# HELP fxtuned_link_faults_total Links lost, timed out or refused.\n"
                         "# TYPE fxtuned_link_faults_total counter\n";
    const std::vector<ProcessorHost*> hosts = Hosts();
    for (ProcessorHost* host : hosts) {
        if (host->State().connected) ++connected;
        faults += "fxtuned_link_faults_total{processor=\"" + host->Name() + "\"} " +
                  std::to_string(host->LinkFaults()) + "\n";
    }
    return "# HELP fxtuned_processors Processors configured.\n"
           "# TYPE fxtuned_processors gauge\n"
           "fxtuned_processors " +
           std::to_string(hosts.size()) +
           "\n# HELP fxtuned_processors_connected Processors linked and read whole.\n"
           "# TYPE fxtuned_processors_connected gauge\n"
           "fxtuned_processors_connected " +
           std::to_string(connected) + "\n" + faults;
}

int DaemonVenue::Subscribe(Listener listener) {
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nextListener++;
    m_listeners[id] = std::move(listener);
    return id;
}

void DaemonVenue::Unsubscribe(int id) {
    std::lock_guard lock(m_listenerMutex);
    m_listeners.erase(id);
}

void DaemonVenue::Emit(VenueEvent event, ProcessorHost* host) {
    if (m_observer && host) m_observer(event, host->ModeFile());
    std::lock_guard lock(m_listenerMutex);
    for (auto& [id, listener] : m_listeners) listener(event);
}

} // namespace fx
