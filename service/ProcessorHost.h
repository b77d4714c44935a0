#pragma once

#include "link/ViewNotifier.h"
#include "service/Venue.h"
#include "state/JobUi.h"
#include "state/Processor.h"

#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/thread_pool.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fx {

// One processor of the venue: its object, its link kept up (connect, whole
// read, reconnect with a growing back-off), the state its clients see, and
// the changes they ask for. Everything that talks to the processor runs one
// step at a time on the host's strand of the venue's worker pool, with the
// processor bound, so a slow or silent processor holds up only its own work.
class ProcessorHost final : private IViewNotifier, private IJobUi {
public:
    using EventSink = std::function<void(VenueEvent)>;
    // Back-off of the reconnection attempts.
    static constexpr int kFirstRetryMs = 250;
    static constexpr int kLastRetryMs = 5000;

    // A processor on the network (host dotted IPv4), or on USB at usbPath
    // (host empty).
    ProcessorHost(std::string name, std::string host, int port, asio::thread_pool& pool,
                  EventSink events, std::string usbPath = {});
    ~ProcessorHost() override;
    ProcessorHost(const ProcessorHost&) = delete;
    ProcessorHost& operator=(const ProcessorHost&) = delete;

    const std::string& Name() const { return m_name; }
    std::string Address() const;
    fx::Processor& Object() { return m_processor; }

    // Starts connecting; Stop closes the link and waits for the strand's work.
    void Start();
    void Stop();

    ProcessorState State() const;
    // A copy of the mode file the processor's memory makes now (3410 bytes),
    // empty while it was never read.
    std::vector<uint8_t> ModeFile() const;

    // Runs work on the strand with the processor bound, unless the processor
    // is off line (503 at once); then publishes what changed as made by
    // origin and calls done with the work's result.
    void Submit(std::function<ChangeResult()> work, ChangeOrigin origin, IVenue::Done done,
                VenueEvent::Kind kind = VenueEvent::Kind::Changed, int mode = 0);
    // Notices a lost link and the processor's own changes (its panel, its
    // remote: replies nobody waited for). The venue calls it for every
    // processor from one timer, so an idle venue wakes a few times a
    // second, not a few times per processor.
    void Poll();

    // Runs a read-only step on the strand with the processor bound.
    void Inspect(std::function<void(bool connected)> work);
    // Publishes what changed since the last event, as made by origin (the
    // forwarding port's clients, the processor's own panel or remote).
    void NoteChange(ChangeOrigin origin);

    // A mode load or reset sent through this host: waits for the whole read
    // that follows it (up to timeoutMs of link time). On the strand only.
    bool WaitForReadAfter(int readsBefore, int timeoutMs);
    int ReadsEnded() const;

    // How the memory differs from the approved preset (nullopt: none
    // approved), asked at every publication; set before Start.
    using DriftSource = std::function<std::optional<std::vector<std::string>>(
        const std::string& name, const std::vector<uint8_t>& modeFile)>;
    void SetDriftSource(DriftSource source) { m_drift = std::move(source); }

    // Link faults since start (lost links, time-outs, failed connects).
    uint64_t LinkFaults() const { return m_linkFaults.load(); }

private:
    enum class Phase { Idle, Connecting, Reading, Up, Stopped };

    void Connect();
    // Closes the link; with letGo the processor is told it is let go.
    void CloseLink(bool letGo);
    void OnJobEnded(bool write);
    void OnLinkLost(const std::string& reason);
    void ScheduleReconnect(const std::string& reason);
    // Whether the store's memory, mode or pitch changed since the last
    // look: a cheap comparison, so the idle poll costs little.
    bool StoreMoved();
    void Publish(VenueEvent::Kind kind, ChangeOrigin origin, int mode = 0);
    // The state and image as they are now (strand, processor bound).
    void Capture(ProcessorState& state, std::vector<uint8_t>& image) const;
    void SetOffline(const std::string& reason);

    // IViewNotifier: from the link's and the jobs' threads.
    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;
    // IJobUi: the daemon answers every question as the command given
    // (Yes), shows nothing, speaks English.
    int LanguageIndex() override { return 1; }
    void ShowSyncDialog(const std::string&) override {}
    void ShowInfo(const std::string&, int) override {}
    int AskThreeWay(const std::string&, const std::string&, const std::string&, void*) override {
        return 0;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessageBox(const std::string&, const std::string&, MessageIcon) override {}

    const std::string m_name;
    const std::string m_host;
    const int m_port;
    const std::string m_usbPath;
    EventSink m_events;
    DriftSource m_drift;
    fx::Processor m_processor;
    asio::strand<asio::thread_pool::executor_type> m_strand;
    asio::steady_timer m_retryTimer;

    // Strand only.
    std::atomic<Phase> m_phase{Phase::Idle};
    int m_retryMs = kFirstRetryMs;
    std::vector<uint8_t> m_publishedImage;
    std::vector<uint8_t> m_lastLook;

    mutable std::mutex m_stateMutex; // guards m_state and m_modeFile
    ProcessorState m_state;
    std::vector<uint8_t> m_modeFile;

    mutable std::mutex m_jobMutex;
    std::condition_variable m_jobEnded;
    int m_readsEnded = 0;

    std::atomic<uint64_t> m_linkFaults{0};
    std::atomic<bool> m_stopping{false};
};

} // namespace fx
