#pragma once

#include "StateTestSupport.h"

#include "link/NetLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

// A simulated processor on 127.0.0.1 and the editor's network link to it.
class SimNetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        server = std::make_unique<SimTcpServer>(sim);
        ASSERT_TRUE(server->Start(0));
        g_bNetMode() = true;
        ASSERT_EQ(1, NetConnect("127.0.0.1", server->Port()));
        ASSERT_TRUE(server->WaitForClient(true, 5000));
    }

    void TearDown() override {
        NetDisconnect(true);
        JoinSyncJobs();
        server.reset();
        g_bNetMode() = false;
    }

    // Runs the delayed read and waits for its end.
    void ReadAll() {
        const size_t before = view.JobEnds().size();
        StartDelayedRead();
        ASSERT_TRUE(view.WaitForJobEnds(before + 1));
        JoinSyncJobs();
    }

    void WriteAll() {
        const size_t before = view.JobEnds().size();
        StartWriteAll();
        ASSERT_TRUE(view.WaitForJobEnds(before + 1));
        JoinSyncJobs();
    }

    std::vector<uint8_t> Codes() {
        std::vector<uint8_t> codes;
        for (const SimRecord& record : sim.ReceivedCommands()) codes.push_back(record[0]);
        return codes;
    }

    size_t CountOf(uint8_t code) {
        const auto codes = Codes();
        return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
    }

    // An image unlike the default one.
    static SimProcessor::Image Pattern(uint8_t seed) {
        SimProcessor::Image image{};
        for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 7 + seed);
        return image;
    }

    SimProcessor sim;
    std::unique_ptr<SimTcpServer> server;
    RecordingView view;
};
