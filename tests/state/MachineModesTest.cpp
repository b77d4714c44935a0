#include "SimNetFixture.h"

#include "modefile/ModeFile.h"
#include "state/DeviceIdentity.h"
#include "state/MachineModes.h"

#include <cstring>

namespace {

std::vector<uint8_t> ImageBytes() {
    return {g_ParamImage(), g_ParamImage() + kImageSize};
}
std::vector<uint8_t> Bytes(const SimProcessor::Image& image) {
    return {image.begin(), image.end()};
}

// Against the simulated processor: the mode commands and the reads they cause.
class MachineModesSimTest : public SimNetFixture {
protected:
    void SetUp() override {
        SimNetFixture::SetUp();
        ReadAll();
        sim.ClearCommandLog();
    }

    // Loads or resets and waits for the read the processor's reply starts.
    void SwitchAndWait(void (*action)(int), int mode) {
        const size_t before = view.JobEnds().size();
        action(mode);
        ASSERT_TRUE(view.WaitForJobEnds(before + 1));
        JoinSyncJobs();
    }

    RecordingJobUi ui{1, true};
};

TEST_F(MachineModesSimTest, LoadSwitchesAndEndsWithAFullRead) {
    const auto stored = Pattern(21);
    sim.SetMemory(stored);
    g_CurrentMode() = 2;
    StoreCurrentMode(); // the processor's mode 3 now holds the pattern
    ASSERT_TRUE(sim.WaitForCommand(4, 3000));
    sim.SetMemory(Pattern(99));
    BuildDefaultImage();
    g_CurrentMode() = 0;
    sim.ClearCommandLog();

    SwitchAndWait(LoadMachineMode, 2);

    EXPECT_TRUE(ui.questions.empty()) << "no unsaved changes, no question";
    EXPECT_EQ((SimRecord{5, 2}), sim.ReceivedCommands().front());
    EXPECT_EQ(Bytes(stored), ImageBytes());
    EXPECT_EQ(2, g_CurrentMode());
    EXPECT_TRUE(ui.syncDialogs.empty()) << "the window's command shows the dialog";
    EXPECT_TRUE(g_bJobIdle());
    EXPECT_EQ(60u, CountOf(48));
}

TEST_F(MachineModesSimTest, FactoryResetSendsSixAndEndsWithAFullRead) {
    std::memset(g_ParamImage(), 0x5A, kImageSize);
    SwitchAndWait(ResetMachineMode, 0);

    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ((SimRecord{6, 0}), sim.ReceivedCommands().front());
    EXPECT_EQ(Bytes(SimProcessor::DefaultImage()), ImageBytes());
    EXPECT_EQ(60u, CountOf(48));
}

TEST_F(MachineModesSimTest, StoreSendsFourAndClearsTheChangeFlag) {
    g_bParamsChanged() = true;
    sim.SetMemory(Pattern(8));
    ASSERT_TRUE(StoreMachineMode(2));
    ASSERT_TRUE(sim.WaitForCommand(4, 3000));

    EXPECT_EQ((SimRecord{4, 2}), sim.ReceivedCommands().front());
    EXPECT_FALSE(g_bParamsChanged()) << "closing after a store asks nothing";
    EXPECT_EQ(2, g_CurrentMode());
    EXPECT_EQ(Bytes(Pattern(8)), Bytes(sim.ModeImage(2)));
    EXPECT_TRUE(ui.questions.empty()) << "the window's command asks";
    EXPECT_TRUE(ui.infos.empty());
}

TEST_F(MachineModesSimTest, ModeFileNamedM3IsWrittenThenStoredIntoTheThirdMode) {
    std::vector<uint8_t> file(kModeFileSize, 0);
    file[0] = 19;
    auto image = PossibleImage(Pattern(44)); // a file with impossible values is refused
    std::copy(image.begin(), image.end(), file.begin() + 60);
    file[60 + 1849] = 7; // brought into ARN63's range: 0
    const std::string path = ::testing::TempDir() + "m3 live.mode";
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);

    const size_t before = view.JobEnds().size();
    ASSERT_TRUE(WriteModeFileToProcessor(path));
    EXPECT_EQ(std::vector<std::string>{""}, ui.syncDialogs);
    ASSERT_TRUE(view.WaitForJobEnds(before + 1));
    JoinSyncJobs();
    // What the view does on the write's end.
    ASSERT_EQ(2, g_PendingStoreMode().load());
    ASSERT_TRUE(IsCompatible());
    StoreWrittenModeFile(g_PendingStoreMode().exchange(-1));
    ASSERT_TRUE(sim.WaitForCommand(4, 3000));
    std::remove(path.c_str());

    auto expected = image;
    expected[1849] = 0;
    EXPECT_EQ(Bytes(expected), Bytes(sim.Memory()));
    EXPECT_EQ(Bytes(expected), Bytes(sim.ModeImage(2)));
    const auto commands = sim.ReceivedCommands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ((SimRecord{3, 2}), commands[commands.size() - 2]);
    EXPECT_EQ((SimRecord{4, 2}), commands.back());
}

// Without a processor: the bytes each command sends.
class MachineModesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        g_bConnected() = true;
    }
    void TearDown() override { ResetDeviceState(); }

    std::vector<std::vector<uint8_t>> Sent() {
        std::vector<std::vector<uint8_t>> sent;
        for (auto record : transport.Records()) {
            while (record.size() > 1 && record.back() == 0) record.pop_back();
            sent.push_back(record);
        }
        return sent;
    }

    RecordingTransport transport;
    RecordingSettings settings;
};

TEST_F(MachineModesTest, NothingWithoutALink) {
    RecordingJobUi ui{1, true};
    g_bConnected() = false;
    LoadMachineMode(1);
    EXPECT_FALSE(StoreMachineMode(1));
    ResetMachineMode(1);
    StoreWrittenModeFile(1);
    StoreCurrentMode();
    EXPECT_FALSE(ResetProcessor());
    EXPECT_TRUE(transport.Records().empty());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(g_bJobIdle());
}

TEST_F(MachineModesTest, CommandsAskAndShowNothing) {
    // The user's answers belong to the window's commands (pages/CModeCommands).
    RecordingJobUi ui{1, false};
    g_bParamsChanged() = true;
    LoadMachineMode(1);
    EXPECT_FALSE(g_bJobIdle()) << "a load clears it until its read ends";
    EXPECT_TRUE(StoreMachineMode(3));
    EXPECT_FALSE(g_bParamsChanged());
    ResetMachineMode(0);
    EXPECT_TRUE(ResetProcessor());
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{5, 1}, {4, 3}, {6}, {104, 0xAA}}), Sent());
    EXPECT_EQ(1, settings.resets);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.infos.empty());
    EXPECT_TRUE(ui.syncDialogs.empty());
}

TEST_F(MachineModesTest, ModeNumbersAreClamped) {
    RecordingJobUi ui{1, true};
    ResetMachineMode(9);
    ResetMachineMode(-3);
    StoreWrittenModeFile(7);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{6, 3}, {6}, {3, 3}, {4, 3}}), Sent())
        << "6, 0 ends at the zero byte";
    EXPECT_EQ(3, g_CurrentMode());
}

TEST_F(MachineModesTest, StoreOfAWrittenFileAnnouncesThenStores) {
    StoreWrittenModeFile(1);
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{3, 1}, {4, 1}}), Sent());
    EXPECT_EQ(1, g_CurrentMode());
}

} // namespace
