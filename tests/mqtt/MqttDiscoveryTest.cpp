// Home Assistant's discovery: one device per processor and one for the
// daemon, each entity's configuration retained, published again when Home
// Assistant comes online, and removed with its processor.
#include "MqttBridgeFixture.h"

#include <set>

namespace {

using nlohmann::json;

struct EntityRow {
    const char* component;
    const char* key;
    const char* path;
    bool commands;
    bool followsLink; // unavailable while the processor is off line
    bool attributes;  // its JSON attributes on PATH/attributes
    json fields;      // the component's own fields, as they must be
};

const json kSlider99 = {{"min", 0}, {"max", 99}, {"step", 1}, {"mode", "slider"}};
const json kOnOff = {{"payload_on", "ON"}, {"payload_off", "OFF"}};

const std::vector<EntityRow> kEntities = {
    {"number", "mic_level", "mic/level", true, true, false, kSlider99},
    {"switch", "mic_mute", "mic/mute", true, true, false, kOnOff},
    {"number", "effect_level", "effect/level", true, true, false, kSlider99},
    {"switch", "effect_mute", "effect/mute", true, true, false, kOnOff},
    {"number", "reverb_level", "reverb/level", true, true, false, kSlider99},
    {"switch", "reverb_mute", "reverb/mute", true, true, false, kOnOff},
    {"number", "echo_level", "echo/level", true, true, false, kSlider99},
    {"switch", "echo_mute", "echo/mute", true, true, false, kOnOff},
    {"number", "music_level", "music/level", true, true, false, kSlider99},
    {"switch", "music_mute", "music/mute", true, true, false, kOnOff},
    {"number", "pitch", "pitch", true, true, false, {{"min", -5}, {"max", 5}, {"step", 1}}},
    {"number",
     "noise_gate",
     "noise-gate",
     true,
     true,
     false,
     {{"min", 0}, {"max", 100}, {"step", 1}}},
    {"select",
     "source",
     "source",
     true,
     true,
     false,
     {{"options", {"Optical", "Coaxial", "HDMI"}}}},
    {"select", "mode", "mode", true, true, false, {{"options", {"M1", "M2", "M3", "M4"}}}},
    {"sensor", "current_mode", "mode", false, true, false, json::object()},
    {"binary_sensor",
     "link",
     "link",
     false,
     false,
     false,
     {{"device_class", "connectivity"}, {"payload_on", "ON"}, {"payload_off", "OFF"}}},
    {"sensor",
     "drift",
     "drift",
     false,
     true,
     true,
     {{"unit_of_measurement", "parameters"},
      {"state_class", "measurement"},
      {"entity_category", "diagnostic"},
      {"icon", "mdi:tune-variant"}}},
};

json Availability(const std::string& topic) {
    return {
        {"topic", topic}, {"payload_available", "online"}, {"payload_not_available", "offline"}};
}

class MqttDiscoveryTest : public MqttBridgeFixture {
protected:
    // Waits until the bridge published the configurations and states of
    // both processors (the last one each sends), then subscribes a new probe
    // that gets everything retained.
    std::unique_ptr<MqttProbe> LateProbe(const std::string& id) {
        auto early = Probe(id + "-early", {"fxtune/#"});
        EXPECT_TRUE(early->WaitFor("fxtune/processors", "2"));
        auto late = Probe(id, {"homeassistant/#", "fxtune/#"});
        EXPECT_TRUE(late->Sync());
        return late;
    }
};

TEST_F(MqttDiscoveryTest, EachProcessorIsADeviceWithTheseEntitiesRetained) {
    StartBridge();
    auto probe = LateProbe("discovery");

    std::set<std::string> uniqueIds;
    for (const std::string name : {"room1", "room2"}) {
        for (const EntityRow& row : kEntities) {
            SCOPED_TRACE(name + " " + row.key);
            const auto message = probe->Latest(Config(row.component, name, row.key));
            ASSERT_TRUE(message);
            EXPECT_TRUE(message->retained);
            const json config = json::parse(message->payload);
            EXPECT_EQ(config["unique_id"], "fxtune_" + name + "_" + row.key);
            EXPECT_TRUE(uniqueIds.insert(config["unique_id"]).second);
            EXPECT_FALSE(config.value("name", "").empty());
            EXPECT_EQ(config["state_topic"], State(name, row.path));
            if (row.commands)
                EXPECT_EQ(config["command_topic"], State(name, row.path) + "/set");
            else
                EXPECT_FALSE(config.contains("command_topic"));
            if (row.attributes)
                EXPECT_EQ(config["json_attributes_topic"], State(name, row.path) + "/attributes");
            else
                EXPECT_FALSE(config.contains("json_attributes_topic"));
            json availability = json::array({Availability("fxtune/availability")});
            if (row.followsLink) availability.push_back(Availability(State(name, "availability")));
            EXPECT_EQ(config["availability"], availability);
            EXPECT_EQ(config["availability_mode"], "all");
            for (const auto& [field, value] : row.fields.items())
                EXPECT_EQ(config[field], value) << field;

            const json& device = config["device"];
            EXPECT_EQ(device["identifiers"], json::array({"fxtune_" + name}));
            EXPECT_EQ(device["name"], name);
            EXPECT_EQ(device["model"], "KX-TEST");
            EXPECT_EQ(device["via_device"], "fxtune");
            const std::string versions = device["sw_version"];
            EXPECT_NE(versions.find("2016-10-03"), std::string::npos) << versions;
            EXPECT_NE(versions.find("2016-11-30"), std::string::npos) << versions;
        }
    }
    // Nothing else of the processors is configured.
    int configs = 0;
    for (const auto& message : probe->All())
        configs += message.topic.find("/fxtune_room") != std::string::npos;
    EXPECT_EQ(configs, 2 * static_cast<int>(kEntities.size()));

    const auto daemon = probe->Latest("homeassistant/sensor/fxtune/processors/config");
    ASSERT_TRUE(daemon);
    EXPECT_TRUE(daemon->retained);
    const json config = json::parse(daemon->payload);
    EXPECT_EQ(config["device"]["identifiers"], json::array({"fxtune"}));
    EXPECT_EQ(config["state_topic"], "fxtune/processors");
    EXPECT_EQ(config["availability"], json::array({Availability("fxtune/availability")}));
    const auto online = probe->Latest("fxtune/availability");
    ASSERT_TRUE(online);
    EXPECT_EQ(online->payload, "online");
    EXPECT_TRUE(online->retained);
}

TEST_F(MqttDiscoveryTest, HomeAssistantComingOnlineGetsTheDiscoveryAndStatesAgain) {
    fx::MqttBridge& bridge = StartBridge();
    auto probe = Probe("birth", {"homeassistant/#", "fxtune/#"});
    ASSERT_TRUE(probe->WaitFor("fxtune/processors", "2"));
    const uint64_t rounds = bridge.Status().discoveryRounds;

    probe->Clear();
    probe->Publish("homeassistant/status", "online");
    EXPECT_TRUE(probe->WaitForAny(Config("number", "room1", "mic_level")));
    EXPECT_TRUE(probe->WaitForAny(Config("binary_sensor", "room2", "link")));
    EXPECT_TRUE(probe->WaitForAny("homeassistant/sensor/fxtune/processors/config"));
    EXPECT_TRUE(probe->WaitFor(State("room1", "mic/level"), "50"));
    EXPECT_TRUE(probe->WaitFor(State("room2", "availability"), "online"));
    EXPECT_EQ(bridge.Status().discoveryRounds, rounds + 1);
    EXPECT_TRUE(Logged("Home Assistant is online"));
}

TEST_F(MqttDiscoveryTest, ARemovedProcessorLeavesNoRetainedConfigurationOrState) {
    StartBridge();
    auto probe = Probe("removal", {"homeassistant/#", "fxtune/#"});
    ASSERT_TRUE(probe->WaitFor("fxtune/processors", "2"));

    m_venue.Remove("room2");
    for (const EntityRow& row : kEntities)
        EXPECT_TRUE(probe->WaitFor(Config(row.component, "room2", row.key), "")) << row.key;
    EXPECT_TRUE(probe->WaitFor("fxtune/processors", "1"));

    auto late = Probe("after-removal", {"homeassistant/#", "fxtune/#"});
    ASSERT_TRUE(late->Sync());
    EXPECT_TRUE(late->Latest(Config("number", "room1", "mic_level")));
    for (const auto& message : late->All()) {
        EXPECT_EQ(message.topic.find("fxtune_room2"), std::string::npos) << message.topic;
        EXPECT_EQ(message.topic.find("fxtune/room2/"), std::string::npos) << message.topic;
    }

    // Coming back makes it a device again.
    m_venue.Add(FakeVenue::SampleProcessor("room2"));
    EXPECT_TRUE(late->WaitForAny(Config("number", "room2", "mic_level")));
    EXPECT_TRUE(late->WaitFor("fxtune/processors", "2"));
}

TEST_F(MqttDiscoveryTest, ANewIdentityOrSourceListIsConfiguredAgain) {
    StartBridge();
    auto probe = Probe("identity", {"homeassistant/#"});
    ASSERT_TRUE(probe->WaitForAny(Config("select", "room1", "source")));

    m_venue.Change(
        "room1",
        [](fx::ProcessorState& state) {
            state.model = "KX-OTHER";
            state.sources = {{0, "Optical"}, {5, "USB"}};
            state.source = 5;
        },
        fx::VenueEvent::Kind::LinkUp);
    const auto source = probe->WaitForMessage([](const MqttProbe::Received& message) {
        return message.topic == Config("select", "room1", "source") &&
               message.payload.find("KX-OTHER") != std::string::npos;
    });
    ASSERT_TRUE(source);
    EXPECT_EQ(json::parse(source->payload)["options"], json::array({"Optical", "USB"}));
}

} // namespace
