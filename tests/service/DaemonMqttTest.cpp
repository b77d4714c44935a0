// Home Assistant through a real broker to the daemon's own venue and its
// simulated processors, in each acknowledgement style: a command reaches the
// processor's memory and the retained state follows, and a change made
// through the API shows on the state topic too.
#include "AckStyleNames.h"
#include "DaemonRig.h"
#include "MosquittoBroker.h"
#include "MqttProbe.h"

#include "service/mqtt/MqttBridge.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <future>

namespace {

const std::vector<SimAckStyle> kStyles = {SimAckStyle::Generic, SimAckStyle::Echo,
                                          SimAckStyle::Dsp};

std::string State(const std::string& processor, const std::string& path) {
    return "fxtune/" + processor + "/" + path;
}

// The first value of a DSP record as the simulator holds it, big-endian.
uint32_t SimRecordValue(SimProcessor& sim, int block, int parameter) {
    const auto memory = sim.Memory();
    const size_t offset = static_cast<size_t>(DspRecordValueOffset(block, parameter));
    return uint32_t(memory[offset]) << 24 | uint32_t(memory[offset + 1]) << 16 |
           uint32_t(memory[offset + 2]) << 8 | uint32_t(memory[offset + 3]);
}

int SimLevel(SimProcessor& sim, fx::MasterLevel level) {
    const fx::MasterLevelInfo& info = fx::MasterLevels()[static_cast<size_t>(level)];
    return PercentFromStored(SimRecordValue(sim, info.block, info.levelParameter));
}

int SimSwitch(SimProcessor& sim, fx::MasterLevel level) {
    const fx::MasterLevelInfo& info = fx::MasterLevels()[static_cast<size_t>(level)];
    return static_cast<int>(SimRecordValue(sim, info.block, info.switchParameter) & 0xFF);
}

class DaemonMqttTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MosquittoBroker::Available()) GTEST_SKIP() << "mosquitto is not installed";
        ASSERT_TRUE(m_broker.Start()) << m_broker.Error();
        m_rig = std::make_unique<DaemonRig>(kStyles);
        ASSERT_TRUE(m_rig->AllConnected());
        fx::MqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = m_broker.Port();
        settings.clientId = "fxtune-service-test";
        settings.reconnectFirst = std::chrono::milliseconds(50);
        m_bridge = std::make_unique<fx::MqttBridge>(m_rig->venue, settings);
        ASSERT_TRUE(m_bridge->Start()) << m_bridge->Status().lastError;
    }

    fx::ChangeResult SetLevelThroughTheApi(const std::string& name, fx::MasterLevel level,
                                           int value) {
        auto answered = std::make_shared<std::promise<fx::ChangeResult>>();
        std::future<fx::ChangeResult> answer = answered->get_future();
        m_rig->venue.SetLevel(name, level, value, std::nullopt, fx::ChangeOrigin::Api,
                              [answered](fx::ChangeResult result) { answered->set_value(result); });
        if (answer.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
            return fx::ChangeResult::Fail(fx::ChangeResult::Status::NotConfirmed, "no answer");
        return answer.get();
    }

    MosquittoBroker m_broker;
    std::unique_ptr<DaemonRig> m_rig;
    std::unique_ptr<fx::MqttBridge> m_bridge; // stopped before the venue goes
};

TEST_F(DaemonMqttTest, CommandsReachTheProcessorAndEveryChangeShowsRetained) {
    MqttProbe probe(m_broker.Port(), "service-probe");
    ASSERT_TRUE(probe.Connect());
    ASSERT_TRUE(probe.Subscribe("fxtune/#"));

    for (size_t p = 0; p < kStyles.size(); ++p) {
        const std::string name = DaemonRig::Name(p);
        SCOPED_TRACE(AckStyleName(kStyles[p]));
        SimProcessor& sim = m_rig->sims[p]->processor;
        ASSERT_TRUE(probe.WaitFor(State(name, "mic/level"), "50"));
        ASSERT_TRUE(probe.WaitFor(State(name, "echo/mute"), "OFF"));

        probe.Publish(State(name, "mic/level/set"), "37");
        probe.Publish(State(name, "echo/mute/set"), "ON");
        EXPECT_TRUE(probe.WaitFor(State(name, "mic/level"), "37"));
        EXPECT_TRUE(probe.WaitFor(State(name, "echo/mute"), "ON"));
        EXPECT_EQ(37, SimLevel(sim, fx::MasterLevel::Mic));
        EXPECT_EQ(0, SimSwitch(sim, fx::MasterLevel::Echo));

        const fx::ChangeResult result = SetLevelThroughTheApi(name, fx::MasterLevel::Music, 12);
        ASSERT_TRUE(result.ok()) << result.message;
        EXPECT_EQ(12, SimLevel(sim, fx::MasterLevel::Music));
        EXPECT_TRUE(probe.WaitFor(State(name, "music/level"), "12"));
    }
    EXPECT_EQ(0u, m_bridge->Status().commandsFailed);

    // What a client connecting now is told: the retained states as they are.
    MqttProbe late(m_broker.Port(), "service-late-probe");
    ASSERT_TRUE(late.Connect());
    ASSERT_TRUE(late.Subscribe("fxtune/#"));
    ASSERT_TRUE(late.Sync());
    for (size_t p = 0; p < kStyles.size(); ++p) {
        const std::string name = DaemonRig::Name(p);
        for (const auto& [path, payload] : std::vector<std::pair<std::string, std::string>>{
                 {"mic/level", "37"}, {"echo/mute", "ON"}, {"music/level", "12"}}) {
            const auto message = late.Latest(State(name, path));
            ASSERT_TRUE(message) << name << " " << path;
            EXPECT_EQ(payload, message->payload) << name << " " << path;
            EXPECT_TRUE(message->retained) << name << " " << path;
        }
    }
}

} // namespace
