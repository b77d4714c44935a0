// A link that goes away wakes everything waiting on it at once: a sender
// pacing on the reply event and a job waiting for replies, however the link
// went.

#include "LinkTestSupport.h"
#include "SimLinkSupport.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyLedger.h"
#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

using Clock = std::chrono::steady_clock;

// Link time ten times faster, except that every wait for a reply lasts a
// minute of real time unless something wakes it.
class StretchedWaitClock : public ScaledLinkClock {
public:
    static constexpr int kWaitMs = 60000;
    StretchedWaitClock() : ScaledLinkClock(10) {}
    bool WaitEvent(AutoResetEvent& event, int ms) override {
        if (&event != &g_hReplyEvent()) return ScaledLinkClock::WaitEvent(event, ms);
        return event.Wait(kWaitMs);
    }
    bool WaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int,
                       const std::function<bool()>& done) override {
        return cond.wait_for(lock, std::chrono::milliseconds(kWaitMs), done);
    }
    // The outbox's reply wait on the event loop.
    int ToRealMs(int ms) const override {
        return ms == kReplyWaitMs ? kWaitMs : ScaledLinkClock::ToRealMs(ms);
    }
};

enum class Transport { Network, Usb };
enum class Ending { Closed, ProcessorGone, Watchdog };

struct CloseCase {
    const char* name;
    Transport transport;
    Ending ending;
};

class LinkCloseTest : public ::testing::TestWithParam<CloseCase> {
protected:
    void SetUp() override {
        SetLinkClock(std::make_shared<StretchedWaitClock>());
        sim.SetSilent(true); // nothing is ever answered
        g_bQueuedSend() = false;
        if (GetParam().transport == Transport::Network) {
            g_bNetMode() = true;
            server.SetHeartbeatPeriod(0);
            ASSERT_TRUE(server.Start(0));
            ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
        } else {
            g_bNetMode() = false;
            SetHidBackend(&usb);
            ASSERT_EQ(1, OpenDeviceLink());
        }
    }

    void TearDown() override {
        if (g_bNetMode()) NetDisconnect(false);
        CloseUsbLink();
        server.Stop();
        SetHidBackend(nullptr);
    }

    void EndTheLink() {
        switch (GetParam().ending) {
        case Ending::Closed:
            if (GetParam().transport == Transport::Network)
                NetDisconnect(false);
            else
                CloseUsbLink();
            break;
        case Ending::ProcessorGone:
            if (GetParam().transport == Transport::Network)
                server.Stop();
            else
                usb.Unplug();
            break;
        case Ending::Watchdog:
            break; // the silence does it
        }
    }

    linktest::LinkGlobalsGuard guard; // the flags, the clock and the view go back
    SimProcessor sim;
    SimTcpServer server{sim};
    VirtualHidBackend usb{sim};
};

TEST_P(LinkCloseTest, WakesEveryWaiterAtOnce) {
    SendShortCmd({CMD_GET_MODE}); // its reply never comes
    ASSERT_TRUE(sim.WaitForCommandCount(1, 5000));

    auto sender = std::async(std::launch::async, [] {
        SendShortCmd({CMD_GET_STATUS}); // waits for the reply to the first
        return Clock::now();
    });
    auto job = std::async(std::launch::async, [] {
        Replies().WaitUntil([](const ReplyTally&) { return false; }, kReplyWaitMs);
        return Clock::now();
    });
    // Both are waiting now (or will find the link gone when they start).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto ending = Clock::now();
    EndTheLink();

    // Unwoken, either would wait a minute.
    const auto bound = std::chrono::seconds(3);
    ASSERT_EQ(std::future_status::ready, sender.wait_for(bound)) << "the sender still waits";
    ASSERT_EQ(std::future_status::ready, job.wait_for(bound)) << "the job still waits";
    using std::chrono::milliseconds;
    const auto senderMs = std::chrono::duration_cast<milliseconds>(sender.get() - ending).count();
    const auto jobMs = std::chrono::duration_cast<milliseconds>(job.get() - ending).count();
    if (GetParam().ending != Ending::Watchdog) {
        // Generous: the close itself is immediate.
        EXPECT_LT(senderMs, 1000);
        EXPECT_LT(jobMs, 1000);
    }
    EXPECT_FALSE(LinkUsable());
    EXPECT_EQ(1u, sim.CommandCount()) << "the woken sender sends nothing on a dead link";
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LinkCloseTest,
    ::testing::Values(CloseCase{"NetworkClosed", Transport::Network, Ending::Closed},
                      CloseCase{"NetworkProcessorGone", Transport::Network, Ending::ProcessorGone},
                      CloseCase{"NetworkWatchdog", Transport::Network, Ending::Watchdog},
                      CloseCase{"UsbClosed", Transport::Usb, Ending::Closed},
                      CloseCase{"UsbUnplugged", Transport::Usb, Ending::ProcessorGone}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

} // namespace
