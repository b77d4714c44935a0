#include "FakeVenue.h"

using fx::ChangeOrigin;
using fx::ChangeResult;
using fx::ProcessorState;
using fx::VenueEvent;

FakeVenue::FakeVenue() : m_thread([this] { Run(); }) {}

FakeVenue::~FakeVenue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

ProcessorState FakeVenue::SampleProcessor(const std::string& name) {
    ProcessorState state;
    state.name = name;
    state.address = "127.0.0.1:30303";
    state.connected = true;
    state.mode = 1;
    state.model = "KX-TEST";
    state.firstVersion = "2016-10-03";
    state.secondVersion = "2016-11-30";
    state.commandSetVersion = 19;
    state.levels = {{{50, false}, {40, false}, {30, false}, {20, false}, {60, false}}};
    state.pitch = 0;
    state.noiseGate = 10;
    state.sources = {{0, "Optical"}, {1, "Coaxial"}, {2, "HDMI"}};
    state.source = 2;
    return state;
}

void FakeVenue::Post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

void FakeVenue::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty()) return;
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        m_idle.notify_all();
    }
}

void FakeVenue::Flush() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

void FakeVenue::Emit(const VenueEvent& event) {
    std::map<int, Listener> listeners;
    {
        std::lock_guard lock(m_mutex);
        listeners = m_listeners;
    }
    for (const auto& [id, listener] : listeners) listener(event);
}

void FakeVenue::Add(const ProcessorState& state) {
    Post([this, state] {
        {
            std::lock_guard lock(m_mutex);
            m_processors[state.name] = state;
        }
        Emit({VenueEvent::Kind::Added, ChangeOrigin::Daemon, state.name, {}, 0, state});
    });
}

void FakeVenue::Remove(const std::string& name) {
    Post([this, name] {
        ProcessorState last;
        {
            std::lock_guard lock(m_mutex);
            last = m_processors[name];
            m_processors.erase(name);
        }
        Emit({VenueEvent::Kind::Removed, ChangeOrigin::Daemon, name, {}, 0, last});
    });
}

void FakeVenue::Change(const std::string& name, const std::function<void(ProcessorState&)>& edit,
                       VenueEvent::Kind kind, ChangeOrigin origin) {
    Post([this, name, edit, kind, origin] {
        ProcessorState after;
        {
            std::lock_guard lock(m_mutex);
            edit(m_processors[name]);
            after = m_processors[name];
        }
        Emit({kind, origin, name, {"changed"}, after.mode, after});
    });
}

void FakeVenue::ConfirmChanges(bool confirm) {
    std::lock_guard lock(m_mutex);
    m_confirm = confirm;
}

std::vector<std::string> FakeVenue::Calls() {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void FakeVenue::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::vector<ProcessorState> FakeVenue::States() {
    std::lock_guard lock(m_mutex);
    std::vector<ProcessorState> states;
    for (const auto& [name, state] : m_processors) states.push_back(state);
    return states;
}

std::optional<ProcessorState> FakeVenue::State(const std::string& name) {
    std::lock_guard lock(m_mutex);
    const auto found = m_processors.find(name);
    if (found == m_processors.end()) return std::nullopt;
    return found->second;
}

void FakeVenue::Apply(const std::string& call, const std::string& name, ChangeOrigin origin,
                      std::function<void(ProcessorState&)> edit, Done done, VenueEvent::Kind kind,
                      int mode) {
    bool confirm = false;
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call + " by " + fx::OriginId(origin));
        confirm = m_confirm;
    }
    Post([this, name, origin, edit = std::move(edit), done = std::move(done), kind, mode, confirm] {
        if (!confirm) {
            done(ChangeResult::Fail(ChangeResult::Status::NotConfirmed,
                                    "not confirmed: no answer within 2000 ms"));
            return;
        }
        ProcessorState after;
        {
            std::lock_guard lock(m_mutex);
            edit(m_processors[name]);
            after = m_processors[name];
        }
        Emit({kind, origin, name, {"changed"}, mode, after});
        done(ChangeResult::Ok());
    });
}

void FakeVenue::SetLevel(const std::string& name, fx::MasterLevel level, std::optional<int> value,
                         std::optional<bool> muted, ChangeOrigin origin, Done done) {
    const size_t index = static_cast<size_t>(level);
    std::string call = "SetLevel " + name + " " + fx::MasterLevels()[index].id;
    if (value) call += " value=" + std::to_string(*value);
    if (muted) call += std::string(" muted=") + (*muted ? "true" : "false");
    Apply(
        call, name, origin,
        [index, value, muted](ProcessorState& state) {
            if (value) state.levels[index].value = *value;
            if (muted) state.levels[index].muted = *muted;
        },
        std::move(done));
}

void FakeVenue::SetPitch(const std::string& name, int pitch, ChangeOrigin origin, Done done) {
    Apply(
        "SetPitch " + name + " " + std::to_string(pitch), name, origin,
        [pitch](ProcessorState& state) { state.pitch = pitch; }, std::move(done));
}

void FakeVenue::SetNoiseGate(const std::string& name, int gate, ChangeOrigin origin, Done done) {
    Apply(
        "SetNoiseGate " + name + " " + std::to_string(gate), name, origin,
        [gate](ProcessorState& state) { state.noiseGate = gate; }, std::move(done));
}

void FakeVenue::SetSource(const std::string& name, int source, ChangeOrigin origin, Done done) {
    Apply(
        "SetSource " + name + " " + std::to_string(source), name, origin,
        [source](ProcessorState& state) { state.source = source; }, std::move(done));
}

void FakeVenue::LoadMode(const std::string& name, int mode, ChangeOrigin origin, Done done) {
    Apply(
        "LoadMode " + name + " " + std::to_string(mode), name, origin,
        [mode](ProcessorState& state) { state.mode = mode; }, std::move(done),
        VenueEvent::Kind::ModeLoaded, mode);
}

void FakeVenue::StoreMode(const std::string& name, int mode, ChangeOrigin origin, Done done) {
    Apply(
        "StoreMode " + name + " " + std::to_string(mode), name, origin, [](ProcessorState&) {},
        std::move(done), VenueEvent::Kind::ModeStored, mode);
}

int FakeVenue::Subscribe(Listener listener) {
    std::lock_guard lock(m_mutex);
    m_listeners[m_nextListener] = std::move(listener);
    return m_nextListener++;
}

void FakeVenue::Unsubscribe(int id) {
    std::lock_guard lock(m_mutex);
    m_listeners.erase(id);
}
