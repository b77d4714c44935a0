// Each processor's states: retained, in the payloads Home Assistant reads,
// and following every change the venue reports, whoever made it.
#include "MqttBridgeFixture.h"

namespace {

using fx::ProcessorState;
using Kind = fx::VenueEvent::Kind;

class MqttStateTest : public MqttBridgeFixture {};

TEST_F(MqttStateTest, StatesAreRetainedInHomeAssistantsPayloads) {
    StartBridge();
    auto early = Probe("early", {"fxtune/#"});
    ASSERT_TRUE(early->WaitFor("fxtune/processors", "2"));
    auto probe = Probe("states", {"fxtune/#"});
    ASSERT_TRUE(probe->Sync());

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"availability", "online"},
        {"mic/level", "50"},
        {"mic/mute", "OFF"},
        {"effect/level", "40"},
        {"reverb/level", "30"},
        {"echo/level", "20"},
        {"music/level", "60"},
        {"music/mute", "OFF"},
        {"pitch", "0"},
        {"noise-gate", "10"},
        {"source", "HDMI"},
        {"mode", "M1"},
        {"link", "ON"},
        {"drift", "None"}, // no approved preset
        {"drift/attributes", R"({"parameters":[]})"},
    };
    for (const auto& [path, payload] : expected) {
        const auto message = probe->Latest(State("room2", path));
        ASSERT_TRUE(message) << path;
        EXPECT_EQ(message->payload, payload) << path;
        EXPECT_TRUE(message->retained) << path;
    }
}

TEST_F(MqttStateTest, StatesFollowEveryChangeWhoeverMadeIt) {
    StartBridge();
    auto probe = Probe("follow", {"fxtune/#"});
    ASSERT_TRUE(probe->WaitFor(State("room1", "mic/level"), "50"));

    struct Row {
        const char* what;
        std::function<void(ProcessorState&)> edit;
        Kind kind;
        fx::ChangeOrigin origin;
        std::vector<std::pair<std::string, std::string>> states; // path, payload
    };
    const std::vector<Row> rows = {
        {"level by the API",
         [](ProcessorState& s) { s.levels[0].value = 61; },
         Kind::Changed,
         fx::ChangeOrigin::Api,
         {{"mic/level", "61"}}},
        {"mute on the processor",
         [](ProcessorState& s) { s.levels[4].muted = true; },
         Kind::Changed,
         fx::ChangeOrigin::Processor,
         {{"music/mute", "ON"}}},
        {"pitch by the web page",
         [](ProcessorState& s) { s.pitch = -2; },
         Kind::Changed,
         fx::ChangeOrigin::WebPage,
         {{"pitch", "-2"}}},
        {"gate forwarded",
         [](ProcessorState& s) { s.noiseGate = 77; },
         Kind::Changed,
         fx::ChangeOrigin::Forwarded,
         {{"noise-gate", "77"}}},
        {"source",
         [](ProcessorState& s) { s.source = 0; },
         Kind::Changed,
         fx::ChangeOrigin::Processor,
         {{"source", "Optical"}}},
        {"mode loaded",
         [](ProcessorState& s) { s.mode = 3; },
         Kind::ModeLoaded,
         fx::ChangeOrigin::Api,
         {{"mode", "M3"}}},
        {"link down",
         [](ProcessorState& s) {
             s.connected = false;
             s.mode = 0;
         },
         Kind::LinkDown,
         fx::ChangeOrigin::Daemon,
         {{"availability", "offline"}, {"link", "OFF"}, {"mode", "None"}}},
        {"link up",
         [](ProcessorState& s) {
             s.connected = true;
             s.mode = 2;
         },
         Kind::LinkUp,
         fx::ChangeOrigin::Daemon,
         {{"availability", "online"}, {"link", "ON"}, {"mode", "M2"}}},
        {"drift from the approved preset",
         [](ProcessorState& s) {
             s.driftKnown = true;
             s.drift = {"Mic Vol: 50 -> 61", "Pitch: 0 -> -2"};
         },
         Kind::Changed,
         fx::ChangeOrigin::Daemon,
         {{"drift", "2"},
          {"drift/attributes", R"({"parameters":["Mic Vol: 50 -> 61","Pitch: 0 -> -2"]})"}}},
        {"as many parameters drifted, but others",
         [](ProcessorState& s) {
             s.drift = {"Mic Vol: 50 -> 61", "Noise Gate: 10 -> 77"};
         },
         Kind::Changed,
         fx::ChangeOrigin::Processor,
         {{"drift/attributes", R"({"parameters":["Mic Vol: 50 -> 61","Noise Gate: 10 -> 77"]})"}}},
        {"back to the approved preset",
         [](ProcessorState& s) { s.drift.clear(); },
         Kind::ModeLoaded,
         fx::ChangeOrigin::Api,
         {{"drift", "0"}, {"drift/attributes", R"({"parameters":[]})"}}},
        {"no approved preset any more",
         [](ProcessorState& s) { s.driftKnown = false; },
         Kind::Changed,
         fx::ChangeOrigin::Daemon,
         {{"drift", "None"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        probe->Clear();
        m_venue.Change("room1", row.edit, row.kind, row.origin);
        for (const auto& [path, payload] : row.states)
            EXPECT_TRUE(probe->WaitFor(State("room1", path), payload)) << path << " " << payload;
    }
    // The other processor kept its own.
    EXPECT_EQ(probe->Latest(State("room2", "mic/level")), std::nullopt);
}

// However far a processor drifted, and whatever its words hold, its attributes
// are valid JSON listing a bounded number of parameters and saying how many
// more differ; the state counts them all.
TEST(MqttDriftTest, TheAttributesAreBoundedValidJson) {
    ProcessorState processor = FakeVenue::SampleProcessor("room1");
    processor.driftKnown = true;
    for (int i = 0; i < 250; ++i) processor.drift.push_back("EQ " + std::to_string(i));
    const fx::MqttMessages messages(fx::MqttTopics("fxtune", "homeassistant"), "1.2");

    const auto drift = messages.EntityState(processor, "drift");
    ASSERT_EQ(drift.size(), 2u);
    EXPECT_EQ(drift[0].topic, "fxtune/room1/drift");
    EXPECT_EQ(drift[0].payload, "250");
    EXPECT_EQ(drift[1].topic, "fxtune/room1/drift/attributes");
    const nlohmann::json attributes = nlohmann::json::parse(drift[1].payload);
    ASSERT_EQ(attributes["parameters"].size(), fx::kMqttDriftListed);
    EXPECT_EQ(attributes["parameters"][0], "EQ 0");
    EXPECT_EQ(attributes["parameters"][fx::kMqttDriftListed - 1],
              "EQ " + std::to_string(fx::kMqttDriftListed - 1));
    EXPECT_EQ(attributes["unlisted"], 250 - fx::kMqttDriftListed);

    // Words that are not UTF-8 still make an attributes payload.
    processor.drift = {"Name: \xC4\xE3 -> Tom"};
    const auto odd = messages.EntityState(processor, "drift");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(nlohmann::json::parse(odd[1].payload)["parameters"].size(), 1u);
}

} // namespace
