#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the daemon's front ends (the HTTP API, the web page through it, MQTT,
// the history) see of the venue's processors, and the changes they may ask
// for. The daemon's processors implement it; tests use a fake.
namespace fx {

// The five master levels, in the order every front end lists them.
enum class MasterLevel { Mic, Effect, Reverb, Echo, Music };
constexpr int kMasterLevelCount = 5;

// One master level: its id in the API and MQTT ("mic"), its names, and the
// DSP parameters of its level (0..99) and of its on-switch (0 = muted).
struct MasterLevelInfo {
    MasterLevel level;
    const char* id;
    const char* englishName;
    const char* chineseName;
    int block;
    int levelParameter;
    int switchParameter;
};
const std::array<MasterLevelInfo, kMasterLevelCount>& MasterLevels();
const MasterLevelInfo* FindMasterLevel(std::string_view id);

constexpr int kMasterLevelMax = 99;
constexpr int kPitchMin = -5;
constexpr int kPitchMax = 5;
constexpr int kNoiseGateMax = 100;
constexpr int kMachineModeCount = 4;

struct LevelState {
    int value = 0;
    bool muted = false;
};

// A music source the processor's model offers: its index 0..13 and name.
struct SourceOption {
    int index = 0;
    std::string name;
};

// One processor as a client sees it.
struct ProcessorState {
    std::string name;          // the venue's name for it ([A-Za-z0-9_-]{1,32})
    std::string address;       // "127.0.0.1:30303" or "usb:1-4.2"
    bool connected = false;    // linked and read whole
    std::string offlineReason; // why not, empty when connected
    int mode = 0;              // current machine mode 1..4, 0 while unknown
    std::string model;         // as the processor names itself
    std::string firstVersion;  // its two version texts
    std::string secondVersion;
    int commandSetVersion = 0;
    std::array<LevelState, kMasterLevelCount> levels{};
    int pitch = 0;                     // -5..5
    int noiseGate = 0;                 // 0..100
    int source = 0;                    // index of the selected music source
    std::vector<SourceOption> sources; // those this model offers
};

// How a change went. Each maps to one HTTP status.
struct ChangeResult {
    enum class Status {
        Ok,           // the processor confirmed it (200)
        BadValue,     // refused before sending: field and range named (400)
        NotFound,     // no such processor, level or parameter (404)
        NotConnected, // the processor is off line (503)
        NotConfirmed, // sent, but not confirmed: time-out, refusal, link lost (504)
    };
    Status status = Status::Ok;
    std::string message; // empty when Ok

    bool ok() const { return status == Status::Ok; }
    static ChangeResult Ok() { return {}; }
    static ChangeResult Fail(Status status, std::string message) {
        return {status, std::move(message)};
    }
};

// Who made a change, for the events and the history.
enum class ChangeOrigin { Api, WebPage, HomeAssistant, Forwarded, Processor, Reset, Daemon };
const char* OriginId(ChangeOrigin origin); // "api", "web", "home-assistant", ...

// Something that happened to one processor; state is the processor after it.
struct VenueEvent {
    enum class Kind { Changed, LinkUp, LinkDown, ModeLoaded, ModeStored, Added, Removed };
    Kind kind = Kind::Changed;
    ChangeOrigin origin = ChangeOrigin::Processor;
    std::string processor;
    std::vector<std::string> changes; // the changed parameters in words ("Mic Vol: 50 -> 60")
    int mode = 0;                     // of ModeLoaded / ModeStored
    ProcessorState state;
};
const char* EventKindId(VenueEvent::Kind kind); // "changed", "link-up", ...

// The venue. Every change is checked first (nothing is sent when it is
// refused), then sent and waited for under the one confirmation rule; done
// runs exactly once, on a thread of the venue's, never inside the call.
class IVenue {
public:
    using Done = std::function<void(ChangeResult)>;
    using Listener = std::function<void(const VenueEvent&)>;

    virtual ~IVenue() = default;

    // Every processor, by name.
    virtual std::vector<ProcessorState> States() = 0;
    virtual std::optional<ProcessorState> State(const std::string& name) = 0;

    // value and/or muted; at least one is given.
    virtual void SetLevel(const std::string& name, MasterLevel level, std::optional<int> value,
                          std::optional<bool> muted, ChangeOrigin origin, Done done) = 0;
    virtual void SetPitch(const std::string& name, int pitch, ChangeOrigin origin, Done done) = 0;
    virtual void SetNoiseGate(const std::string& name, int gate, ChangeOrigin origin,
                              Done done) = 0;
    // source: an index 0..13 the model offers.
    virtual void SetSource(const std::string& name, int source, ChangeOrigin origin, Done done) = 0;
    // mode 1..4.
    virtual void LoadMode(const std::string& name, int mode, ChangeOrigin origin, Done done) = 0;
    virtual void StoreMode(const std::string& name, int mode, ChangeOrigin origin, Done done) = 0;

    // Every event of every processor, in order per processor, on a thread of
    // the venue's; a listener never blocks. Returns an id for Unsubscribe.
    virtual int Subscribe(Listener listener) = 0;
    virtual void Unsubscribe(int id) = 0;
};

} // namespace fx
