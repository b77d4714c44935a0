#pragma once

#include "service/ForwardingPort.h"
#include "service/ProcessorHost.h"
#include "service/Venue.h"

#include <asio/steady_timer.hpp>
#include <asio/thread_pool.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fx {

// The daemon's processors: one host each, served by one worker pool whose
// size does not grow with the venue, and the events of all of them.
class DaemonVenue final : public IVenue {
public:
    struct ProcessorConfig {
        std::string name;
        std::string host;
        int port = 0;
    };
    // Called with each processor's mode file once its memory changed as the
    // events say (the history takes it); on the processor's strand.
    using Observer = std::function<void(const VenueEvent&, const std::vector<uint8_t>& modeFile)>;

    explicit DaemonVenue(int workerThreads = 8);
    ~DaemonVenue() override;

    // Before Start, or while running (an Added event then tells).
    void Add(const ProcessorConfig& config);
    // A processor on USB at an interface path.
    void AddUsb(const std::string& name, const std::string& path);
    // Takes every processor plugged in on USB, now and whenever one is
    // plugged in (looked for every scanMs): named by namesByPath (its
    // interface or USB port path) or else by its USB port path.
    void WatchUsb(std::map<std::string, std::string> namesByPath, int scanMs = 2000);
    void Start();
    void Stop();

    // In the order they were configured (the forwarding ports count so).
    std::vector<ProcessorHost*> Hosts();
    ProcessorHost* Find(const std::string& name);

    std::vector<ProcessorState> States() override;
    std::optional<ProcessorState> State(const std::string& name) override;
    void SetLevel(const std::string& name, MasterLevel level, std::optional<int> value,
                  std::optional<bool> muted, ChangeOrigin origin, Done done) override;
    void SetPitch(const std::string& name, int pitch, ChangeOrigin origin, Done done) override;
    void SetNoiseGate(const std::string& name, int gate, ChangeOrigin origin, Done done) override;
    void SetSource(const std::string& name, int source, ChangeOrigin origin, Done done) override;
    void LoadMode(const std::string& name, int mode, ChangeOrigin origin, Done done) override;
    void StoreMode(const std::string& name, int mode, ChangeOrigin origin, Done done) override;
    int Subscribe(Listener listener) override;
    void Unsubscribe(int id) override;

    // The API's further changes, checked as fxtunectl checks them.
    void SetDsp(const std::string& name, int block, int parameter, double value,
                ChangeOrigin origin, Done done);
    void SetEq(const std::string& name, int set, int band, int type, double frequency, double gain,
               double q, ChangeOrigin origin, Done done);
    // Writes a checked mode file whole, then shows the processor's memory.
    void WritePreset(const std::string& name, std::vector<uint8_t> modeFile, ChangeOrigin origin,
                     Done done);

    // Serves the k-th processor (in the order they were added, from 0) also
    // on 127.0.0.1:base+k as a networked processor (base 0: a free port
    // each); false with the reason when a port cannot be had. Its clients'
    // changes show as events made through the forwarding port.
    bool StartForwarding(int base, std::string& error);
    // The forwarding port of the k-th processor, 0 when none.
    int ForwardingPortOf(size_t index) const;

    // Runs read-only work on the named processor's strand with it bound;
    // false (work not run) for an unknown name.
    bool Inspect(const std::string& name, std::function<void(bool connected)> work);

    // Processors configured and connected, link faults by processor, for /metrics.
    std::string MetricsText();

    // Before Start: the observer of every event, the hook that runs on the
    // processor's strand before a preset write or mode load replaces its
    // memory (with the memory as it is), and the drift of each processor.
    void SetObserver(Observer observer) { m_observer = std::move(observer); }
    using BeforeRewrite =
        std::function<void(const std::string& name, const std::vector<uint8_t>& modeFile)>;
    void SetBeforeRewrite(BeforeRewrite hook) { m_beforeRewrite = std::move(hook); }
    // The drift source reaches the processors added before it as well.
    void SetDriftSource(ProcessorHost::DriftSource source);
    // Runs work that may wait (the history's database) on the worker pool.
    void RunWork(std::function<void()> work);

private:
    void Emit(VenueEvent event, ProcessorHost* host);
    void AddHost(std::unique_ptr<ProcessorHost> host);
    void ScanUsb();
    void PollHosts();
    // Runs change on the named host, or answers 404 / 400 at once.
    void Change(const std::string& name, ChangeOrigin origin, Done done,
                std::function<ChangeResult()> change);
    void Answer(Done done, ChangeResult result);

    asio::thread_pool m_pool;
    mutable std::mutex m_hostsMutex; // hosts come while running (USB)
    std::vector<std::unique_ptr<ProcessorHost>> m_hosts;
    std::map<std::string, ProcessorHost*> m_byName;
    std::map<std::string, std::string> m_usbNames;
    std::unique_ptr<asio::steady_timer> m_usbTimer;
    std::unique_ptr<asio::steady_timer> m_pollTimer;
    bool m_polling = false; // on the poll timer's strand
    std::vector<std::unique_ptr<ForwardingPort>> m_forwarding;
    int m_usbScanMs = 0;

    std::mutex m_listenerMutex;
    std::map<int, Listener> m_listeners;
    int m_nextListener = 1;
    Observer m_observer;
    BeforeRewrite m_beforeRewrite;
    ProcessorHost::DriftSource m_drift;
    bool m_started = false;
};

// The name of a processor on USB by its port path ("usb-1-4_2"), from the
// interface's sysfs entry; the interface path's own name when there is none.
std::string UsbProcessorName(const std::string& interfacePath);

} // namespace fx
