// The editor's USB link against the simulated processor as a virtual HID device.

#include "SimLinkSupport.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/HidDevice.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/VirtualHidBackend.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

SimProcessor::Image Pattern(uint8_t seed) {
    SimProcessor::Image image{};
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 11 + seed);
    return image;
}

// Closes the link on the removal of the opened device, as the main view does.
void FollowRemovals() {
    SetHidNoticeListener([](HidNotice notice, const std::string& path) {
        if (notice == HidNotice::Removal && path == UsbDevicePath()) CloseUsbLink();
    });
}

class SimUsbLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildDefaultImage();
        g_bNetMode() = false;
        g_bJobIdle() = true;
        g_bParamsChanged() = false;
        SetHidBackend(&backend);
    }

    void TearDown() override {
        CloseUsbLink();
        JoinSyncJobs();
        SetHidNoticeListener(nullptr);
        SetHidBackend(nullptr);
        SetLinkClock(nullptr);
        SetDebugLogSink(nullptr);
        g_bJobIdle() = true;
        g_bReadThreadEnd() = false;
        g_bParamsChanged() = false;
        g_hReplyEvent().Set();
    }

    void Open() { ASSERT_EQ(1, OpenDeviceLink()); }

    SimRecordingView view;
    SimProcessor sim;
    VirtualHidBackend backend{sim};
};

TEST_F(SimUsbLinkTest, FindsTheProcessorBehindAForeignDevice) {
    backend.SetForeignDeviceCount(2);
    Open();
    EXPECT_EQ((std::vector<std::string>{VirtualHidBackend::ForeignPath(0),
                                        VirtualHidBackend::ForeignPath(1),
                                        VirtualHidBackend::kProcessorPath}),
              backend.OpenedPaths());
    EXPECT_EQ(VirtualHidBackend::kProcessorPath, UsbDevicePath());
    EXPECT_EQ(0, OpenDeviceLink()) << "already open";
}

TEST_F(SimUsbLinkTest, LooksAtTheFirstThirtyTwoInterfacesOnly) {
    backend.SetForeignDeviceCount(kMaxHidInterfaces);
    EXPECT_EQ(0, OpenDeviceLink());
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ(static_cast<size_t>(kMaxHidInterfaces), backend.OpenedPaths().size());
}

TEST_F(SimUsbLinkTest, ADamagedReportComesRightBeforeTheGoodOne) {
    SimFaults faults;
    faults.damagedReplyNumber = 1;
    sim.SetFaults(faults);
    const std::unique_ptr<IHidDevice> device = backend.Open(VirtualHidBackend::kProcessorPath);
    ASSERT_TRUE(device);
    const uint8_t request[kUsbReportSize] = {kUsbReportId, CMD_GET_MODE};
    ASSERT_EQ(kUsbReportSize, device->Write(request, kUsbReportSize));
    uint8_t report[kUsbReportSize] = {};
    ASSERT_EQ(kUsbReportSize, device->Read(report, kUsbReportSize, 5000));
    EXPECT_EQ(0, report[1]) << "its reply code lost";
    ASSERT_EQ(kUsbReportSize, device->Read(report, kUsbReportSize, 5000));
    EXPECT_EQ(CMD_GET_MODE, report[1]);
}

TEST_F(SimUsbLinkTest, LiveWritesChangeTheProcessorsMemoryAtTheirOffsets) {
    Open();
    const int micLevel = FindDspParam(1, 14)->imageOffset;
    SetDspParam(1, 14, 60); // the outbox writes it on its own thread
    EXPECT_TRUE(
        SimWaitUntil([&] { return Slice(sim.Memory(), micLevel, 4) == Big(PercentToStored(60)); }));
    EXPECT_TRUE(SimWaitUntil([] { return g_bParamsChanged().load(); }));

    const uint32_t coefficients[5] = {1, 2, 3, 4, 5};
    WriteDspParam(1, 44, coefficients, 5);
    const int eq = FindDspParam(1, 44)->imageOffset;
    EXPECT_TRUE(SimWaitUntil([&] {
        return Slice(sim.Memory(), eq, 20) ==
               std::vector<uint8_t>(g_ParamImage() + eq, g_ParamImage() + eq + 20);
    }));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 5}), Slice(sim.Memory(), eq + 16, 4));
}

TEST_F(SimUsbLinkTest, ALostReplyDelaysTheNextWriteInsteadOfDroppingIt) {
    SetLinkClock(std::make_shared<ScaledLinkClock>(4));
    Open();
    std::vector<int64_t> arrivals;
    std::mutex arrivalMutex;
    sim.SetCommandObserver([&](const uint8_t*, int) {
        std::lock_guard lock(arrivalMutex);
        arrivals.push_back(LinkNowMs());
    });
    sim.DropNextReply();
    SendShortCmd({CMD_GET_MODE});
    SendShortCmd({CMD_GET_CMD_VERSION});
    ASSERT_TRUE(sim.WaitForCommandCount(2, 10000));
    sim.SetCommandObserver(nullptr);
    const int64_t gap = arrivals[1] - arrivals[0];
    EXPECT_GE(gap, 1900);
    EXPECT_LT(gap, 4000);
}

TEST_F(SimUsbLinkTest, UnpluggingDuringWritesMakesEveryLaterWriteFailAtOnce) {
    Open();
    std::atomic<bool> unplugged{false};
    std::atomic<int> sentAfterUnplug{0};
    std::thread job([&] {
        for (int i = 0; sentAfterUnplug < 20 && i < 100000; ++i) {
            const bool after = unplugged;
            SendShortCmd({CMD_READ_IMAGE, 0, static_cast<uint8_t>(i % 56), 56});
            fx::WaitAllWritten();
            if (after) ++sentAfterUnplug;
        }
    });
    ASSERT_TRUE(sim.WaitForCommandCount(20, 10000));
    const size_t beforeUnplug = sim.CommandCount();
    unplugged = true;
    backend.Unplug();
    job.join();
    // At most the one record the writer had taken when the device went.
    EXPECT_LE(sim.CommandCount(), beforeUnplug + 1);

    // Once the reader has left, writes are refused at once, without waiting for a reply.
    ASSERT_TRUE(SimWaitUntil([] { return g_bReadThreadEnd().load(); }));
    EXPECT_FALSE(g_bJobIdle());
    std::vector<std::string> lines;
    std::mutex linesMutex;
    SetDebugLogSink([&](const std::string& line) {
        std::lock_guard lock(linesMutex);
        lines.push_back(line);
    });
    for (int i = 0; i < 10; ++i) SendShortCmd({CMD_GET_MODE});
    EXPECT_TRUE(SimWaitUntil([&] {
        std::lock_guard lock(linesMutex);
        return std::count(lines.begin(), lines.end(),
                          "g_bReadThreadEnd() == TRUE ,WriteUsbData return \n") == 10;
    }));
    SetDebugLogSink(nullptr);
    EXPECT_EQ(0, std::count(lines.begin(), lines.end(), "WaitForSingleObject Time Out \r\n "));
}

TEST_F(SimUsbLinkTest, RemovalOfAnotherDeviceLeavesTheLinkOpen) {
    FollowRemovals();
    backend.SetForeignDeviceCount(1);
    Open();
    backend.SetForeignDeviceCount(0); // its removal notice
    EXPECT_TRUE(g_bConnected());
    g_CurrentMode() = 0;
    SendShortCmd({CMD_STORE_MODE, 3});
    SendShortCmd({CMD_GET_MODE});
    EXPECT_TRUE(SimWaitUntil([] { return g_CurrentMode() == 3; }));

    backend.Unplug(); // the processor's own removal closes the link
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ("", UsbDevicePath());
}

TEST_F(SimUsbLinkTest, PluggingInAgainOpensAFreshLink) {
    FollowRemovals();
    Open();
    backend.Unplug();
    EXPECT_EQ(0, OpenDeviceLink()) << "nothing to open";
    backend.Plug();
    Open();
    SetDspParam(4, 12, 20);
    EXPECT_TRUE(SimWaitUntil([&] {
        return Slice(sim.Memory(), FindDspParam(4, 12)->imageOffset, 4) == Big(PercentToStored(20));
    }));
}

TEST_F(SimUsbLinkTest, LearnedKeyReachesTheViewAndTheKeyBlock) {
    Open();
    sim.SetCodeSetByte(0x33);
    SendShortCmd({CMD_LEARN_KEY, 5});
    ASSERT_TRUE(SimWaitUntil([&] { return sim.LearningKey() == 5; }));
    ASSERT_TRUE(sim.PressRemoteKey(0x0A));
    ASSERT_TRUE(view.WaitFor(WM_REMOTE_KEY_DATA));
    EXPECT_EQ(0x0A, view.Messages()[0].wParam);
    EXPECT_EQ(0x0A, g_RemoteKeyBlock()[5]);
    EXPECT_EQ(0x33, g_RemoteKeyBlock()[0]);
}

// Loading a mode: the processor switches its memory and answers 5, which
// makes the editor read everything back.
TEST_F(SimUsbLinkTest, LoadingAModeReadsTheModeBackIntoTheEditor) {
    Open();
    sim.SetMemory(Pattern(7));
    SendShortCmd({CMD_STORE_MODE, 2});
    ASSERT_TRUE(fx::WaitAllWritten()); // the sender does not wait; the store must land first
    sim.SetMemory(SimProcessor::DefaultImage());
    SendShortCmd({CMD_LOAD_MODE, 2});
    ASSERT_TRUE(view.WaitFor(WM_JOB_ENDED, 20000));
    JoinSyncJobs();
    EXPECT_EQ(Pattern(7), sim.Memory());
    EXPECT_EQ(0, std::memcmp(Pattern(7).data(), g_ParamImage(), kImageSize));
    EXPECT_EQ(2, g_CurrentMode().load());
}

} // namespace
