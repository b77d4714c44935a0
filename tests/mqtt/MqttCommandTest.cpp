// Home Assistant's commands: each good one is one change through the venue,
// made by Home Assistant; a refused or unconfirmed one changes nothing,
// publishes the true state again and is logged with the reason.
#include "MqttBridgeFixture.h"

namespace {

class MqttCommandTest : public MqttBridgeFixture {};

TEST_F(MqttCommandTest, EachCommandIsOneChangeOrTheTrueStateAgain) {
    fx::MqttBridge& bridge = StartBridge();
    auto probe = Probe("commands", {"fxtune/#"});
    ASSERT_TRUE(probe->WaitFor(State("room1", "mic/level"), "50"));

    struct Row {
        const char* path;
        const char* payload;
        bool confirm;
        const char* state; // the state published after it
        std::vector<std::string> calls;
        const char* logged; // nullptr: nothing to log
    };
    // Rows run in order on room1 and the states carry over.
    const std::vector<Row> rows = {
        {"mic/level", "60", true, "60", {"SetLevel room1 mic value=60 by home-assistant"}, nullptr},
        {"mic/level",
         "61.0",
         true,
         "61",
         {"SetLevel room1 mic value=61 by home-assistant"},
         nullptr},
        {"mic/level", "100", true, "61", {}, "out of range 0..99"},
        {"mic/level", "-1", true, "61", {}, "out of range 0..99"},
        {"mic/level", "loud", true, "61", {}, "\"loud\" is not a number"},
        {"mic/level", "", true, "61", {}, "\"\" is not a number"},
        {"mic/level", "12.5", true, "61", {}, "not a whole number"},
        {"mic/mute",
         "ON",
         true,
         "ON",
         {"SetLevel room1 mic muted=true by home-assistant"},
         nullptr},
        {"mic/mute", "on", true, "ON", {}, "\"on\" is neither ON nor OFF"},
        {"music/mute",
         "ON",
         true,
         "ON",
         {"SetLevel room1 music muted=true by home-assistant"},
         nullptr},
        {"pitch", "-5", true, "-5", {"SetPitch room1 -5 by home-assistant"}, nullptr},
        {"pitch", "6", true, "-5", {}, "out of range -5..5"},
        {"noise-gate", "100", true, "100", {"SetNoiseGate room1 100 by home-assistant"}, nullptr},
        {"noise-gate", "101", true, "100", {}, "out of range 0..100"},
        {"source", "Optical", true, "Optical", {"SetSource room1 0 by home-assistant"}, nullptr},
        {"source", "Tape", true, "Optical", {}, "\"Tape\" is not a music source"},
        {"mode", "M3", true, "M3", {"LoadMode room1 3 by home-assistant"}, nullptr},
        {"mode", "M5", true, "M3", {}, "\"M5\" is not a mode"},
        {"mic/level",
         "70",
         false,
         "61",
         {"SetLevel room1 mic value=70 by home-assistant"},
         "mic level 70 from Home Assistant failed: not confirmed"},
        {"mode",
         "M2",
         false,
         "M3",
         {"LoadMode room1 2 by home-assistant"},
         "load mode 2 from Home Assistant failed: not confirmed"},
        {"link", "OFF", true, "ON", {}, "no entity \"link\" takes commands"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " <- \"" + row.payload + "\"");
        m_venue.ClearCalls();
        m_venue.ConfirmChanges(row.confirm);
        probe->Clear();
        probe->Publish(State("room1", row.path) + "/set", row.payload);
        EXPECT_TRUE(probe->WaitFor(State("room1", row.path), row.state));
        EXPECT_EQ(m_venue.Calls(), row.calls);
        if (row.logged) {
            EXPECT_TRUE(Logged(row.logged));
        }
    }
    const fx::MqttStatus status = bridge.Status();
    EXPECT_EQ(status.commandsReceived, rows.size());
    EXPECT_EQ(status.commandsRefused, 11u);
    EXPECT_EQ(status.commandsFailed, 2u);
}

TEST_F(MqttCommandTest, ACommandForAProcessorTheVenueDoesNotHoldIsRefused) {
    fx::MqttBridge& bridge = StartBridge();
    auto probe = Probe("unknown", {"fxtune/#"});
    ASSERT_TRUE(probe->WaitFor("fxtune/processors", "2"));
    probe->Publish(State("room9", "mic/level") + "/set", "50");
    EXPECT_TRUE(Eventually([&] { return bridge.Status().commandsRefused == 1; }));
    EXPECT_TRUE(Logged("no processor \"room9\""));
    EXPECT_TRUE(m_venue.Calls().empty());
}

} // namespace
