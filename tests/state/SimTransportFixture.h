#pragma once

#include "StateTestSupport.h"

#include "link/LinkClock.h"
#include "link/NetLink.h"
#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

enum class Transport { Network, Usb };

inline std::string TransportName(Transport transport) {
    return transport == Transport::Network ? "Network" : "Usb";
}

// The device state against the simulated processor, over the network or on
// the virtual USB device, with link time running kFastClock times faster.
class SimTransportFixture : public ::testing::Test {
protected:
    static constexpr int kFastClock = 10;

    void SetUp() override {
        SetLinkClock(std::make_shared<ScaledLinkClock>(kFastClock));
        ResetDeviceState();
    }

    void TearDown() override {
        if (server) NetDisconnect(true);
        if (usb) DisconnectUsb();
        JoinSyncJobs();
        server.reset();
        SetHidBackend(nullptr);
        usb.reset();
        SetLinkClock(nullptr);
        ResetDeviceState();
    }

    void Open(Transport transport) {
        if (transport == Transport::Network) {
            server = std::make_unique<SimTcpServer>(sim);
            // The heartbeat keeps pace with the link's watchdog.
            server->SetHeartbeatPeriod(1000 / kFastClock);
            ASSERT_TRUE(server->Start(0));
            g_bNetMode() = true;
            ASSERT_EQ(1, NetConnect("127.0.0.1", server->Port()));
            ASSERT_TRUE(server->WaitForClient(true, 5000));
        } else {
            usb = std::make_unique<VirtualHidBackend>(sim);
            SetHidBackend(usb.get());
            ASSERT_EQ(1, OpenDeviceLink());
        }
        ASSERT_TRUE(g_bConnected());
    }

    // Runs a job and waits for its end.
    void RunJob(void (*start)()) {
        const size_t before = view.JobEnds().size();
        start();
        ASSERT_TRUE(view.WaitForJobEnds(before + 1));
        JoinSyncJobs();
    }
    void ReadAll() { RunJob(StartDelayedRead); }
    void WriteAll() { RunJob(StartWriteAll); }

    // Polls until the condition holds (false after timeoutMs of real time).
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // A fault on the Nth reply from now.
    int ReplyFromNow(int n) const { return sim.ReplyCount() + n; }

    SimProcessor sim;
    std::unique_ptr<SimTcpServer> server;
    std::unique_ptr<VirtualHidBackend> usb;
    RecordingView view;
};
