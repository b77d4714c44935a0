#include "SimNetFixture.h"

#include "state/MachineSettings.h"

#include <array>
#include <cstring>
#include <functional>

using namespace fx;

namespace {

using Record = std::array<uint8_t, kMachineSettingsSize>;

Record Make(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    Record record{};
    for (const auto& [index, value] : bytes) record[static_cast<size_t>(index)] = value;
    return record;
}

struct RuleCase {
    const char* name;
    Record before;
    std::function<void(uint8_t*)> edit;
    Record after;
};

} // namespace

// Each edit of the dialog as a rule on the record: the bytes it leaves.
TEST(MachineSettingsRules, EditsLeaveTheExpectedBytes) {
    const auto mic = VolumeInput::Microphone;
    const auto music = VolumeInput::Music;
    const std::vector<RuleCase> cases = {
        {"max below the power-on volume lowers it", Make({{3, 35}, {5, 40}}),
         [&](uint8_t* r) { EXPECT_TRUE(SetMaxVolume(r, mic, 30)); }, Make({{3, 30}, {5, 30}})},
        {"max above the power-on volume keeps it", Make({{4, 35}, {6, 40}}),
         [&](uint8_t* r) { EXPECT_FALSE(SetMaxVolume(r, music, 50)); }, Make({{4, 35}, {6, 50}})},
        {"an unused power-on volume stays unused", Make({{3, 0}, {5, 40}}),
         [&](uint8_t* r) { EXPECT_FALSE(SetMaxVolume(r, mic, 10)); }, Make({{5, 10}})},
        {"power-on volume kept within its maximum", Make({{6, 20}}),
         [&](uint8_t* r) { SetStartVolume(r, music, 45); }, Make({{4, 20}, {6, 20}})},
        {"enabling takes the master volume, within the maximum", Make({{5, 30}}),
         [&](uint8_t* r) { EnableStartVolume(r, mic, true, 50); }, Make({{3, 30}, {5, 30}})},
        {"enabling at master volume 0 still means used", Make({{6, 99}}),
         [&](uint8_t* r) { EnableStartVolume(r, music, true, 0); }, Make({{4, 1}, {6, 99}})},
        {"disabling stores 0", Make({{4, 44}, {6, 99}}),
         [&](uint8_t* r) { EnableStartVolume(r, music, false, 60); }, Make({{6, 99}})},
        {"save mode by mode sets bytes 0..2", Make({}),
         [](uint8_t* r) { SetSaveMode(r, SaveMode::ByMode); }, Make({{0, 1}, {1, 1}, {2, 1}})},
        {"routing both with HDMI muted", Make({}),
         [](uint8_t* r) {
             SetRouting(r, SurroundRouting::Both);
             SetHdmiMuted(r, true);
         },
         Make({{12, 0x21}})},
        {"unmuting clears the whole low nibble, keeps the routing", Make({{12, 0x1F}}),
         [](uint8_t* r) { SetHdmiMuted(r, false); }, Make({{12, 0x10}})},
        {"routing keeps the HDMI bits", Make({{12, 0x05}}),
         [](uint8_t* r) { SetRouting(r, SurroundRouting::SblSbr); }, Make({{12, 0x15}})},
        {"volume lock on and off", Make({{8, 0x10}}),
         [](uint8_t* r) {
             SetVolumeLock(r, true);
             EXPECT_EQ(0x93, r[8]);
             SetVolumeLock(r, false);
         },
         Make({{8, 0x10}})},
        {"mode lock and panel lock", Make({{8, 0x83}}),
         [](uint8_t* r) {
             SetModeLock(r, true);
             SetPanelLock(r, true);
         },
         Make({{7, 1}, {8, 0x93}})},
        {"power-on mode kept within Auto..M4", Make({}), [](uint8_t* r) { SetPowerOnMode(r, 9); },
         Make({{11, 4}})},
    };
    for (const RuleCase& c : cases) {
        Record record = c.before;
        c.edit(record.data());
        EXPECT_EQ(c.after, record) << c.name;
    }
}

TEST(MachineSettingsRules, ReadingTheRecord) {
    EXPECT_EQ(SurroundRouting::Both, Routing(Make({{12, 0x21}}).data()));
    EXPECT_EQ(SurroundRouting::SlSr, Routing(Make({{12, 0x01}}).data()));
    EXPECT_FALSE(Routing(Make({{12, 0x30}}).data())) << "0x30 is no routing the editor knows";
    EXPECT_TRUE(HdmiMuted(Make({{12, 0x02}}).data())) << "any low bit counts as muted";
    EXPECT_EQ(SaveMode::ByMode, GetSaveMode(Make({{0, 1}}).data()));
    EXPECT_FALSE(ModelHasHdmiOutput("ARN41"));
    EXPECT_FALSE(ModelHasHdmiOutput("ARN52"));
    EXPECT_TRUE(ModelHasHdmiOutput("ARN63"));
}

TEST(MachineSettingsRules, StartUpCopiesAndCancelAndApply) {
    ResetMachineSettingsMirrors();
    EXPECT_EQ(Make({{5, 99}, {6, 99}}), std::to_array(g_MachineSettingsDevice()));
    EXPECT_EQ(Make({}), std::to_array(g_MachineSettingsWork()));

    RevertMachineSettingsEdit();
    SetSaveMode(g_MachineSettingsWork(), SaveMode::ByMode);
    RevertMachineSettingsEdit(); // Cancel
    EXPECT_EQ(Make({{5, 99}, {6, 99}}), std::to_array(g_MachineSettingsWork()));
    SetSaveMode(g_MachineSettingsWork(), SaveMode::ByMode);
    CommitMachineSettingsEdit(); // Apply
    EXPECT_EQ(1, g_MachineSettingsDevice()[2]);
}

using MachineSettingsSimTest = SimNetFixture;

// Command 145 carries the record; the processor's answer confirms it, and
// the next read brings it back into both copies.
TEST_F(MachineSettingsSimTest, SendIsConfirmedAndReadBack) {
    const Record record =
        Make({{0, 1}, {1, 1}, {2, 1}, {3, 25}, {5, 30}, {6, 80}, {11, 3}, {12, 0x21}});
    EXPECT_TRUE(SendMachineSettings(record.data(), kReplyWaitMs));
    EXPECT_EQ(record, sim.MachineSettings());
    const SimRecord sent = sim.ReceivedCommands().back();
    ASSERT_EQ(15u, sent.size());
    EXPECT_EQ(145, sent[0]);

    ResetMachineSettingsMirrors();
    ReadAll();
    EXPECT_EQ(record, std::to_array(g_MachineSettingsDevice()));
    EXPECT_EQ(record, std::to_array(g_MachineSettingsWork()));
}

TEST_F(MachineSettingsSimTest, LostAnswerIsReportedNotConfirmed) {
    sim.DropNextReply();
    const Record record = Make({{5, 50}, {6, 50}});
    EXPECT_FALSE(SendMachineSettings(record.data(), 300));
    EXPECT_EQ(record, sim.MachineSettings()) << "the processor took it; only the answer was lost";
}
