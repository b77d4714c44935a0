#pragma once

#include "service/Venue.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A venue of processors held in memory. Changes and their done callbacks run
// on a thread of its own, as the daemon's do; each change is recorded as a
// line ("SetLevel room1 mic value=60 by home-assistant"). It confirms every
// change, or none while told not to.
class FakeVenue : public fx::IVenue {
public:
    FakeVenue();
    ~FakeVenue() override;

    // A connected processor of a known model with three music sources.
    static fx::ProcessorState SampleProcessor(const std::string& name);

    void Add(const fx::ProcessorState& state);
    void Remove(const std::string& name);
    // Edits a processor as if it changed by itself (or by another client)
    // and tells the listeners.
    void Change(const std::string& name, const std::function<void(fx::ProcessorState&)>& edit,
                fx::VenueEvent::Kind kind = fx::VenueEvent::Kind::Changed,
                fx::ChangeOrigin origin = fx::ChangeOrigin::Processor);
    void ConfirmChanges(bool confirm);
    // Waits until everything asked of the venue's thread so far is done.
    void Flush();

    std::vector<std::string> Calls();
    void ClearCalls();

    std::vector<fx::ProcessorState> States() override;
    std::optional<fx::ProcessorState> State(const std::string& name) override;
    void SetLevel(const std::string& name, fx::MasterLevel level, std::optional<int> value,
                  std::optional<bool> muted, fx::ChangeOrigin origin, Done done) override;
    void SetPitch(const std::string& name, int pitch, fx::ChangeOrigin origin, Done done) override;
    void SetNoiseGate(const std::string& name, int gate, fx::ChangeOrigin origin,
                      Done done) override;
    void SetSource(const std::string& name, int source, fx::ChangeOrigin origin,
                   Done done) override;
    void LoadMode(const std::string& name, int mode, fx::ChangeOrigin origin, Done done) override;
    void StoreMode(const std::string& name, int mode, fx::ChangeOrigin origin, Done done) override;
    int Subscribe(Listener listener) override;
    void Unsubscribe(int id) override;

private:
    void Post(std::function<void()> task);
    void Run();
    // Records the call, then on the venue's thread applies the edit (when
    // confirming), tells the listeners and answers done.
    void Apply(const std::string& call, const std::string& name, fx::ChangeOrigin origin,
               std::function<void(fx::ProcessorState&)> edit, Done done,
               fx::VenueEvent::Kind kind = fx::VenueEvent::Kind::Changed, int mode = 0);
    void Emit(const fx::VenueEvent& event);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_stopping = false;
    std::map<std::string, fx::ProcessorState> m_processors;
    std::map<int, Listener> m_listeners;
    int m_nextListener = 1;
    bool m_confirm = true;
    std::vector<std::string> m_calls;
    std::thread m_thread;
};
