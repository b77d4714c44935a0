// Several processors in one process: each one's replies, waits and results
// stay its own while the others lose, damage, delay or refuse theirs, or go
// away in the middle of a read.
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyWatch.h"
#include "link/StateThread.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/ParamImage.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// One processor and the simulated one it talks to.
struct Rig {
    SimProcessor sim;
    std::unique_ptr<SimTcpServer> server;
    fx::Processor processor;
};

struct ProcessorCase {
    const char* name;
    SimFaults faults;
    bool powerCycled;    // the processor goes away while the read runs
    uint8_t refusedCode; // commands with this code are refused
};

SimFaults Lost() {
    SimFaults faults;
    faults.dropReplyNumber = 12;
    return faults;
}
SimFaults Damaged() {
    SimFaults faults;
    faults.damagedReplyNumber = 20;
    faults.corruptChecksumNumber = 30;
    return faults;
}
SimFaults Slow() {
    SimFaults faults;
    faults.replyLatencyMs = 3;
    faults.slowReplyNumber = 40;
    faults.slowReplyMs = 300;
    return faults;
}
SimFaults Split() {
    SimFaults faults;
    faults.pieceSize = 7;
    faults.pieceGapMs = 1;
    return faults;
}

const std::vector<ProcessorCase> kCases = {
    {"clean", {}, false, 0},
    {"lost", Lost(), false, 0},
    {"damaged", Damaged(), false, 0},
    {"slow", Slow(), false, 0},
    {"split", Split(), false, 0},
    {"power-cycled", {}, true, 0},
    {"refusing", {}, false, CMD_DSP_WRITE},
};

SimProcessor::Image Pattern(size_t index) {
    SimProcessor::Image image = SimProcessor::DefaultImage();
    // The panel area only: the DSP record chain stays intact.
    for (int i = 0; i < 1000; ++i) image[i] = static_cast<uint8_t>(i * 3 + 11 * index + 1);
    return image;
}

std::vector<uint8_t> StoreImage(fx::Processor& processor) {
    fx::ProcessorScope scope(processor);
    return {g_ParamImage(), g_ParamImage() + kImageSize};
}

TEST(ProcessorsTest, EachReadWaitAndResultStaysWithItsOwnProcessor) {
    std::vector<std::unique_ptr<Rig>> rigs;
    for (size_t i = 0; i < kCases.size(); ++i) {
        auto rig = std::make_unique<Rig>();
        rig->sim.SetMemory(Pattern(i));
        rig->sim.SetFaults(kCases[i].faults);
        if (kCases[i].refusedCode != 0) {
            SimFaults faults = kCases[i].faults;
            faults.refusedCode = kCases[i].refusedCode;
            rig->sim.SetFaults(faults);
        }
        rig->server = std::make_unique<SimTcpServer>(rig->sim);
        ASSERT_TRUE(rig->server->Start(0));
        fx::ProcessorScope scope(rig->processor);
        g_bNetMode() = true;
        ASSERT_EQ(1, NetConnect("127.0.0.1", rig->server->Port())) << kCases[i].name;
        rigs.push_back(std::move(rig));
    }

    const std::vector<uint8_t> before = StoreImage(rigs.front()->processor);
    // Every read at once.
    for (auto& rig : rigs) {
        fx::ProcessorScope scope(rig->processor);
        StartDelayedRead();
    }
    for (size_t i = 0; i < rigs.size(); ++i) {
        if (!kCases[i].powerCycled) continue;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (rigs[i]->sim.ReceivedCommands().size() < 20 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        rigs[i]->server->Stop();
    }
    for (auto& rig : rigs) {
        fx::ProcessorScope scope(rig->processor);
        JoinSyncJobs();
    }

    for (size_t i = 0; i < rigs.size(); ++i) {
        const ProcessorCase& c = kCases[i];
        fx::Processor& processor = rigs[i]->processor;
        const SyncResult read = [&] {
            fx::ProcessorScope scope(processor);
            return LastReadResult();
        }();
        if (c.powerCycled) {
            EXPECT_EQ(SyncOutcome::LinkLost, read.outcome) << c.name;
            EXPECT_EQ(before, StoreImage(processor)) << c.name << ": the image is left alone";
            continue;
        }
        EXPECT_EQ(SyncOutcome::Completed, read.outcome) << c.name << ": " << read.missing;
        const auto own = Pattern(i);
        EXPECT_EQ(std::vector<uint8_t>(own.begin(), own.end()), StoreImage(processor))
            << c.name << ": its own processor's memory, whole";
    }

    // One confirmed change on each processor at once: each waiter hears its
    // own processor's answer.
    std::vector<fx::Confirmation> outcomes(rigs.size());
    std::vector<std::thread> waiters;
    for (size_t i = 0; i < rigs.size(); ++i) {
        if (kCases[i].powerCycled) continue;
        waiters.emplace_back([&, i] {
            fx::ProcessorScope scope(rigs[i]->processor);
            const uint8_t write[] = {CMD_DSP_WRITE, 0, 2, 3, 1, 0, 0, 0, static_cast<uint8_t>(i)};
            outcomes[i] = fx::SendAndConfirm(write, sizeof write, kReplyWaitMs);
        });
    }
    for (std::thread& waiter : waiters) waiter.join();
    for (size_t i = 0; i < rigs.size(); ++i) {
        if (kCases[i].powerCycled) continue;
        const auto expected = kCases[i].refusedCode != 0 ? fx::Confirmation::Outcome::Refused
                                                         : fx::Confirmation::Outcome::Confirmed;
        EXPECT_EQ(expected, outcomes[i].outcome) << kCases[i].name;
    }

    for (auto& rig : rigs) {
        fx::ProcessorScope scope(rig->processor);
        NetDisconnect(true);
    }
}

} // namespace

namespace {

// Sixteen processors read, then write their own memories while live edits
// stream to each: every write reaches its own processor only.
TEST(ProcessorsTest, SixteenReadWriteAndEditAtOnce) {
    constexpr int kCount = 16;
    const SimAckStyle styles[] = {SimAckStyle::Echo, SimAckStyle::Generic, SimAckStyle::Dsp};
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int i = 0; i < kCount; ++i) {
        auto rig = std::make_unique<Rig>();
        rig->sim.SetAckStyle(styles[i % 3]);
        rig->server = std::make_unique<SimTcpServer>(rig->sim);
        ASSERT_TRUE(rig->server->Start(0));
        fx::ProcessorScope scope(rig->processor);
        g_bNetMode() = true;
        ASSERT_EQ(1, NetConnect("127.0.0.1", rig->server->Port()));
        StartDelayedRead();
        rigs.push_back(std::move(rig));
    }
    for (auto& rig : rigs) {
        fx::ProcessorScope scope(rig->processor);
        JoinSyncJobs();
        ASSERT_TRUE(LastReadResult().Completed()) << LastReadResult().missing;
    }

    for (size_t i = 0; i < rigs.size(); ++i) {
        fx::ProcessorScope scope(rigs[i]->processor);
        const SimProcessor::Image own = Pattern(100 + i);
        fx::ChangeState([&] { std::copy(own.begin(), own.end(), g_ParamImage()); });
        StartWriteAll();
    }
    std::vector<std::thread> edits;
    for (auto& rig : rigs)
        edits.emplace_back([&processor = rig->processor] {
            fx::ProcessorScope scope(processor);
            for (uint32_t value = 0; value < 20; ++value) {
                SendDspWrite(2, 3, &value, 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    for (std::thread& edit : edits) edit.join();

    for (size_t i = 0; i < rigs.size(); ++i) {
        fx::ProcessorScope scope(rigs[i]->processor);
        JoinSyncJobs();
        EXPECT_TRUE(LastWriteResult().Completed()) << i << ": " << LastWriteResult().missing;
        const SimProcessor::Image own = Pattern(100 + i);
        const SimProcessor::Image written = rigs[i]->sim.Memory();
        EXPECT_TRUE(std::equal(own.begin(), own.begin() + 1000, written.begin()))
            << i << ": its own memory, written whole";
        NetDisconnect(true);
    }
}

} // namespace
