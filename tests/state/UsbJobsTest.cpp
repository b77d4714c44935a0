#include "StateTestSupport.h"

#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidBackend.h"
#include "state/DeviceIdentity.h"
#include "state/MachineModes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The whole-image jobs over the USB path, against the virtual HID device.
class UsbJobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        SetHidBackend(&backend);
        ASSERT_EQ(1, OpenDeviceLink());
        ASSERT_TRUE(g_bConnected());
    }
    void TearDown() override {
        DisconnectUsb();
        JoinSyncJobs();
        SetHidBackend(nullptr);
    }

    void RunJob(void (*start)()) {
        const size_t before = view.JobEnds().size();
        start();
        ASSERT_TRUE(view.WaitForJobEnds(before + 1));
        JoinSyncJobs();
    }

    static SimProcessor::Image Pattern(uint8_t seed) {
        SimProcessor::Image image{};
        for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 3 + seed);
        return image;
    }

    SimProcessor sim;
    VirtualHidBackend backend{sim};
    RecordingView view;
};

TEST_F(UsbJobsTest, ReadThenWriteRoundTrip) {
    const auto onDevice = Pattern(1);
    sim.SetMemory(onDevice);
    sim.SetIdentity({"ARN41", 19, "v1", "v2"});

    RunJob(StartDelayedRead);
    EXPECT_EQ(0, std::memcmp(onDevice.data(), g_ParamImage(), kImageSize));
    EXPECT_STREQ("ARN41", g_Identity().moduleName);
    EXPECT_TRUE(IsCompatible());

    const auto edited = Pattern(77);
    std::memcpy(g_ParamImage(), edited.data(), kImageSize);
    g_bParamsChanged() = true;
    RunJob(StartWriteAll);
    ASSERT_TRUE(sim.WaitForCommand(50, 3000));
    EXPECT_EQ(edited, sim.Memory());
    EXPECT_FALSE(g_bParamsChanged());
    EXPECT_EQ((std::vector<int>{0, 1}), view.JobEnds());
}

TEST_F(UsbJobsTest, FactoryResetEndsWithAFullRead) {
    RecordingJobUi ui{1, true};
    RunJob(StartDelayedRead);
    sim.SetMemory(Pattern(9));
    std::memset(g_ParamImage(), 0, kImageSize);
    const size_t before = view.JobEnds().size();
    ResetMachineMode(1);
    ASSERT_TRUE(view.WaitForJobEnds(before + 1));
    JoinSyncJobs();
    EXPECT_EQ(0, std::memcmp(SimProcessor::DefaultImage().data(), g_ParamImage(), kImageSize));
    EXPECT_EQ(1, g_CurrentMode());
}

} // namespace
