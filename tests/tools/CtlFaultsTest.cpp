// fxtunectl's commands run in this process against the simulated processor,
// over the network and on the virtual USB device, with link time running
// fast: a read under faults either saves exactly the processor's memory or
// fails without a file, an unanswered identity is a time-out, and a change
// the processor does not confirm is one too.
#include "AckStyleNames.h"
#include "tools/fxtunectl/CtlCommands.h"

#include "link/HidDevice.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFastClock =
    5; // link time runs 5 times faster: margins that hold on a loaded machine
constexpr int kHeaderSize = 60;
constexpr int kFileSize = kHeaderSize + kImageSize;
// The read's commands: identity (4), mode, 60 chunks, settings, remote keys.
constexpr int kReadCommands = 4 + 1 + kImageChunkCount + 2;
// Chunk k's reply is the processor's reply number 6 + k.
constexpr int kFirstChunkReply = 6;

enum class Transport { Network, Usb };

std::string TransportName(Transport transport) {
    return transport == Transport::Network ? "Network" : "Usb";
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// An image unlike the default one in every chunk.
SimProcessor::Image Pattern() {
    SimProcessor::Image image{};
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

std::vector<uint8_t> EditorImage() {
    return {g_ParamImage(), g_ParamImage() + kImageSize};
}

class CtlInProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLinkClock(std::make_shared<ScaledLinkClock>(kFastClock));
        ResetIdentityToDefaults();
        BuildDefaultImage();
        g_bQueuedSend() = true;
        g_bJobIdle() = true;
        g_bParamsChanged() = false;
    }

    void TearDown() override {
        JoinSyncJobs();
        if (server) server->Stop();
        server.reset();
        SetHidBackend(nullptr);
        usb.reset();
        SetLinkClock(nullptr);
        g_bNetMode() = false;
        g_bQueuedSend() = true;
        g_bJobIdle() = true;
        g_bReadThreadEnd() = false;
        g_hReplyEvent().Set();
        for (const std::string& path : paths) std::remove(path.c_str());
        if (!paths.empty()) rmdir(paths.front().substr(0, paths.front().rfind('/')).c_str());
    }

    void Plug(Transport transport) {
        options = {};
        if (transport == Transport::Network) {
            server = std::make_unique<SimTcpServer>(sim);
            server->SetHeartbeatPeriod(1000 / kFastClock);
            ASSERT_TRUE(server->Start(0));
            options.host = "127.0.0.1";
            options.port = server->Port();
        } else {
            usb = std::make_unique<VirtualHidBackend>(sim);
            SetHidBackend(usb.get());
            options.usb = true;
        }
    }

    CtlResult Run(const std::string& command, std::vector<std::string> arguments = {}) {
        options.command = command;
        options.arguments = std::move(arguments);
        return RunCtlCommand(options);
    }

    // A file under its plain name (a mode file's name may ask for a store).
    std::string TempFile(const std::string& name) {
        const std::string folder = ::testing::TempDir() + "ctl_" + std::to_string(getpid());
        mkdir(folder.c_str(), 0700);
        paths.push_back(folder + "/" + name);
        std::remove(paths.back().c_str());
        return paths.back();
    }

    SimProcessor sim;
    std::unique_ptr<SimTcpServer> server;
    std::unique_ptr<VirtualHidBackend> usb;
    CtlOptions options;
    std::vector<std::string> paths;
};

// ------------------------------------------------------------ read under faults

enum class Fault { LostReply, BadChecksum, DamagedFrameGlued, HeartbeatGlued, LateReply };

struct ReadFaultCase {
    Transport transport;
    Fault fault;
    int chunk;
};

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::LostReply:
        return "LostReply";
    case Fault::BadChecksum:
        return "BadChecksum";
    case Fault::DamagedFrameGlued:
        return "DamagedFrameGlued";
    case Fault::HeartbeatGlued:
        return "HeartbeatGlued";
    case Fault::LateReply:
        return "LateReply";
    }
    return "";
}

// Checksums and heartbeats exist on the network only.
std::vector<ReadFaultCase> ReadFaultCases() {
    std::vector<ReadFaultCase> cases;
    for (Transport transport : {Transport::Network, Transport::Usb})
        for (Fault fault : {Fault::LostReply, Fault::BadChecksum, Fault::DamagedFrameGlued,
                            Fault::HeartbeatGlued, Fault::LateReply})
            for (int chunk : {0, 30, kImageChunkCount - 1}) {
                const bool networkOnly =
                    fault == Fault::BadChecksum || fault == Fault::HeartbeatGlued;
                if (transport == Transport::Usb && networkOnly) continue;
                cases.push_back({transport, fault, chunk});
            }
    return cases;
}

SimFaults FaultOnReply(Fault fault, int reply) {
    SimFaults faults;
    switch (fault) {
    case Fault::LostReply:
        faults.dropReplyNumber = reply;
        break;
    case Fault::BadChecksum:
        faults.corruptChecksumNumber = reply;
        break;
    case Fault::DamagedFrameGlued:
        faults.damagedReplyNumber = reply;
        break;
    case Fault::HeartbeatGlued:
        faults.heartbeatAfterReplyNumber = reply;
        break;
    case Fault::LateReply:
        faults.slowReplyNumber = reply;
        faults.slowReplyMs = (kReplyWaitMs + 100) / kFastClock;
        break;
    }
    return faults;
}

class ReadFaultTest : public CtlInProcessTest,
                      public ::testing::WithParamInterface<ReadFaultCase> {};

TEST_P(ReadFaultTest, SavesExactlyTheProcessorsMemoryOrNothing) {
    const ReadFaultCase& c = GetParam();
    const SimProcessor::Image memory = Pattern();
    sim.SetMemory(memory);
    sim.SetFaults(FaultOnReply(c.fault, kFirstChunkReply + c.chunk));
    Plug(c.transport);
    const std::vector<uint8_t> editorBefore = EditorImage();
    const std::string file = TempFile("read.mode");

    const CtlResult result = Run("read", {file});

    const std::vector<uint8_t> expected(memory.begin(), memory.end());
    if (result.ok()) {
        const std::vector<uint8_t> bytes = FileBytes(file);
        ASSERT_EQ(static_cast<size_t>(kFileSize), bytes.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + kHeaderSize))
            << "exit 0 with a file unlike the processor's memory";
        EXPECT_EQ(expected, EditorImage()) << "the editor's image is the processor's";
    } else {
        EXPECT_NE(kExitOk, result.status);
        EXPECT_FALSE(FileExists(file)) << "a failed read leaves no file";
        EXPECT_EQ(editorBefore, EditorImage()) << "nor a mixture in the editor's image";
    }
    // One fault on one reply is recovered from by asking again.
    EXPECT_TRUE(result.ok()) << result.message;
    const int address = ImageChunkAddress(c.chunk);
    const std::vector<uint8_t> request = {CMD_READ_IMAGE, static_cast<uint8_t>(address >> 8),
                                          static_cast<uint8_t>(address & 0xFF),
                                          static_cast<uint8_t>(ImageChunkLength(c.chunk))};
    if (c.fault == Fault::LostReply || c.fault == Fault::BadChecksum) {
        EXPECT_EQ(2u, sim.CountCommands(request)) << "the lost chunk is asked for again";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadFaultTest, ::testing::ValuesIn(ReadFaultCases()),
                         [](const ::testing::TestParamInfo<ReadFaultCase>& info) {
                             return TransportName(info.param.transport) +
                                    FaultName(info.param.fault) + "Chunk" +
                                    std::to_string(info.param.chunk);
                         });

// ------------------------------------------------------------ identity

class IdentityTimeoutTest : public CtlInProcessTest,
                            public ::testing::WithParamInterface<Transport> {};

TEST_P(IdentityTimeoutTest, AnUnansweredVersionIsATimeOutNotAVersion) {
    Plug(GetParam());
    sim.LoseRepliesTo({CMD_GET_CMD_VERSION});
    ::testing::internal::CaptureStdout();
    const CtlResult info = Run("info");
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(kExitTimeout, info.status) << info.message;
    EXPECT_NE(std::string::npos, info.message.find("command-set version")) << info.message;
    EXPECT_EQ("", printed) << "no version is shown that never came";
    EXPECT_EQ(0u, sim.CountCommands({CMD_READ_IMAGE}));

    const std::string file = TempFile("never.mode");
    EXPECT_EQ(kExitTimeout, Run("read", {file}).status);
    EXPECT_FALSE(FileExists(file));
}

INSTANTIATE_TEST_SUITE_P(Transports, IdentityTimeoutTest,
                         ::testing::Values(Transport::Network, Transport::Usb),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return TransportName(info.param);
                         });

// ------------------------------------------------------------ job limit

// A processor that answers every command just within the reply wait makes the
// read outlast the job limit: the command gives up with a time-out, writes no
// file and closes the link without the let-go it would only wait for.
TEST_F(CtlInProcessTest, AReadOutlastingTheJobLimitIsATimeOutWithoutLetGo) {
    constexpr int kFasterClock = 50;
    SetLinkClock(std::make_shared<ScaledLinkClock>(kFasterClock));
    SimFaults slow;
    slow.replyLatencyMs = (kReplyWaitMs - 100) / kFasterClock;
    sim.SetFaults(slow);
    Plug(Transport::Usb);
    const std::string file = TempFile("slow.mode");

    const CtlResult result = Run("read", {file});

    EXPECT_EQ(kExitTimeout, result.status);
    EXPECT_EQ("time-out during the read", result.message);
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(sim.LetGoReceived());
    EXPECT_EQ(std::vector<uint8_t>(SimProcessor::DefaultImage().begin(),
                                   SimProcessor::DefaultImage().end()),
              EditorImage());
}

// ------------------------------------------------------------ confirmed changes

struct ChangeCase {
    const char* name;
    std::vector<std::string> command; // FILE: a mode file named m2 read before
    int commandsBeforeTheChange;      // after the command's own read
    const char* unconfirmed;
};

class ConfirmedChangeTest
    : public CtlInProcessTest,
      public ::testing::WithParamInterface<std::tuple<Transport, ChangeCase>> {};

// A change is confirmed by the processor's reply; a processor that falls
// silent right after the read makes it a time-out naming the change.
TEST_P(ConfirmedChangeTest, ExitsSixNamingWhatWasNotConfirmed) {
    const auto& [transport, change] = GetParam();
    Plug(transport);
    std::vector<std::string> arguments(change.command.begin() + 1, change.command.end());
    for (std::string& argument : arguments) {
        if (argument != "FILE") continue;
        argument = TempFile("m2 change.mode");
        ASSERT_TRUE(Run("read", {argument}).ok());
    }
    const size_t letGos = sim.CountCommands({CMD_LET_GO});
    ASSERT_TRUE(Run(change.command[0], arguments).ok()) << "confirmed while the processor answers";
    // The run's last command, the let-go, is in the count before it is taken.
    for (int look = 0; sim.CountCommands({CMD_LET_GO}) == letGos && look < 500; ++look)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    SimFaults silent;
    silent.silentAfterCommands =
        static_cast<int>(sim.CommandCount()) + kReadCommands + change.commandsBeforeTheChange;
    sim.SetFaults(silent);
    const CtlResult result = Run(change.command[0], arguments);
    EXPECT_EQ(kExitTimeout, result.status) << result.message;
    // A silent network processor may have been dropped by the watchdog first.
    const std::string timedOut = std::string("time-out: the processor did not confirm ");
    const std::string linkLost = "the link to the processor was lost before it confirmed ";
    EXPECT_TRUE(result.message == timedOut + change.unconfirmed ||
                result.message == linkLost + change.unconfirmed)
        << result.message;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ConfirmedChangeTest,
    ::testing::Combine(
        ::testing::Values(Transport::Network, Transport::Usb),
        ::testing::Values(
            ChangeCase{"Set", {"set", "1", "14", "60"}, 0, "set 1 14 60"},
            ChangeCase{
                "Eq", {"eq", "6", "1", "1", "1000", "3.5", "1.2"}, 0, "eq 6 1 1 1000 3.5 1.2"},
            ChangeCase{"ModeStore", {"mode", "store", "4"}, 0, "the store into M4"},
            ChangeCase{
                "Compressor", {"comp", "2", "-20", "4", "10", "200"}, 0, "comp 2 -20 4 10 200"},
            ChangeCase{"Crossover", {"xover", "Bessel 18dB", "120"}, 0, "xover Bessel 18dB 120"},
            ChangeCase{
                "WriteAndStore", {"write", "FILE"}, kImageChunkCount + 1, "the store into M2"},
            // Bands 1 and 2 (coefficients and record each) are confirmed, band 3 is not.
            ChangeCase{"EqImport",
                       {"eq-import", "0", FX_TEST_DATA_DIR "/room-filters.txt"},
                       4,
                       "band 3 of eq-import 0 " FX_TEST_DATA_DIR "/room-filters.txt"},
            // Answered up to the mode's weights, not the split filters.
            ChangeCase{"Delay", {"delay", "3", "12.5", "high"}, 3, "delay 3 12.5 high"},
            ChangeCase{
                "SurroundListener", {"surround", "listener", "1", "1"}, 0, "surround listener 1 1"},
            // Answered up to the fifth output's level, not the layout.
            ChangeCase{"SurroundReset", {"surround", "reset"}, 9, "surround reset"})),
    [](const ::testing::TestParamInfo<std::tuple<Transport, ChangeCase>>& info) {
        return TransportName(std::get<0>(info.param)) + std::get<1>(info.param).name;
    });

// ------------------------------------------------------------ mode switch refused

struct ModeRefusalCase {
    const char* name;
    std::vector<std::string> command;
    uint8_t code;
    const char* message;
};

using ModeRefusalParam = std::tuple<Transport, SimAckStyle, ModeRefusalCase>;

class ModeRefusalTest : public CtlInProcessTest,
                        public ::testing::WithParamInterface<ModeRefusalParam> {};

// A processor that refuses a mode load or factory reset with an error report
// is answered at once: exit 1 naming the error, no read waited for, and the
// processor is let go.
TEST_P(ModeRefusalTest, ExitsOneAtOnceAndLetsGo) {
    const auto& [transport, ack, c] = GetParam();
    sim.SetAckStyle(ack);
    Plug(transport);
    SimFaults refuse;
    refuse.refusedCode = c.code;
    sim.SetFaults(refuse);
    const int64_t start = LinkNowMs();

    const CtlResult result = Run(c.command[0], {c.command.begin() + 1, c.command.end()});

    EXPECT_EQ(kExitFailed, result.status) << result.message;
    EXPECT_EQ(c.message, result.message);
    EXPECT_LT(LinkNowMs() - start, kReplyWaitMs) << "no wait for a read that cannot come";
    // The simulator reads the let-go on its own thread, after the command ended.
    EXPECT_TRUE(sim.WaitForCommand(CMD_LET_GO, 2000));
    EXPECT_EQ(1u, sim.CountCommands({CMD_READ_IMAGE, 0, 0})) << "only the command's own read";
    EXPECT_EQ(0, sim.CurrentMode());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ModeRefusalTest,
    ::testing::Combine(
        ::testing::Values(Transport::Network, Transport::Usb),
        ::testing::Values(SimAckStyle::Echo, SimAckStyle::Generic, SimAckStyle::Dsp),
        ::testing::Values(ModeRefusalCase{"Load",
                                          {"mode", "load", "2"},
                                          CMD_LOAD_MODE,
                                          "the processor refused the load of M2: error code 0x01 "
                                          "(command 0x05, 0x01)"},
                          ModeRefusalCase{"Reset",
                                          {"mode", "reset", "3"},
                                          CMD_RESET_MODE,
                                          "the processor refused the factory reset of M3: error "
                                          "code 0x01 (command 0x06, 0x02)"})),
    [](const ::testing::TestParamInfo<ModeRefusalParam>& info) {
        return TransportName(std::get<0>(info.param)) + AckStyleName(std::get<1>(info.param)) +
               std::get<2>(info.param).name;
    });

} // namespace
