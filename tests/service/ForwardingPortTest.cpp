// The daemon's forwarding port: a processor the daemon holds, served on a
// loopback port to fxtunectl and to clients that speak the wire themselves,
// while the daemon keeps its own link, its own commands and its store in step.
#include "AckStyleNames.h"
#include "tools/fxtunectl/CtlCommands.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyWatch.h"
#include "modefile/ModeFile.h"
#include "service/ForwardingPort.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

// A failure guard only: every wait below ends on what it waits for.
constexpr int kGuardSeconds = 20;

using Record = std::vector<uint8_t>;

// A client that speaks the network wire itself, as the editor's link does:
// frames its commands, echoes the heartbeat, and reads one reply record at
// a time.
class WireClient {
public:
    explicit WireClient(int port) {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval guard{kGuardSeconds, 0};
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected =
            ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~WireClient() { Close(); }
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;

    bool Connected() const { return m_connected; }
    void Close() {
        if (m_socket >= 0) ::close(m_socket);
        m_socket = -1;
    }

    bool Send(const Record& command) {
        Record payload{kNetTagCommand};
        payload.insert(payload.end(), command.begin(), command.end());
        uint8_t frame[300];
        const int size = BuildNetFrame(payload.data(), static_cast<int>(payload.size()), frame);
        return ::send(m_socket, frame, static_cast<size_t>(size), MSG_NOSIGNAL) == size;
    }

    // The next reply record (prefix, code, ...); nothing once the port closed
    // the connection.
    std::optional<Record> Next() {
        for (;;) {
            if (m_buffer.size() >= 4 && std::memcmp(m_buffer.data(), "$HB$", 4) == 0) {
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + 4);
                ::send(m_socket, "$HB$", 4, MSG_NOSIGNAL);
                continue;
            }
            if (m_buffer.size() >= 2 && m_buffer[0] == kNetFrameStart &&
                m_buffer.size() >= m_buffer[1] + 2u) {
                const int length = m_buffer[1];
                Record record(m_buffer.begin() + 2, m_buffer.begin() + 1 + length);
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + 2 + length);
                return record;
            }
            if (!m_buffer.empty() && m_buffer[0] != kNetFrameStart && m_buffer[0] != '$')
                return Record{}; // no frame: fails whoever expected one
            uint8_t bytes[512];
            const ssize_t received = ::recv(m_socket, bytes, sizeof bytes, 0);
            if (received <= 0) return std::nullopt;
            m_buffer.insert(m_buffer.end(), bytes, bytes + received);
        }
    }

    // Whether the port closed the connection (heartbeats and replies aside).
    bool ClosedByPort() {
        for (;;) {
            const std::optional<Record> record = Next();
            if (!record) return true;
            if (record->empty()) return false;
        }
    }

private:
    int m_socket = -1;
    bool m_connected = false;
    Record m_buffer;
};

uint8_t Code(const std::optional<Record>& reply) {
    return reply && reply->size() > 1 ? (*reply)[1] : 0;
}

// The acknowledgement of a DSP write in each style.
bool AcknowledgesDspWrite(SimAckStyle style, const std::optional<Record>& reply) {
    if (style == SimAckStyle::Generic)
        return Code(reply) == 20 && reply->size() > 2 && (*reply)[2] == CMD_DSP_WRITE;
    return Code(reply) == CMD_DSP_WRITE;
}

int ValueOffset(int block, int parameter) {
    return SimProcessor::FindDspValueOffset(SimProcessor::DefaultImage(), block, parameter);
}

Record DspWrite(int block, int parameter, uint32_t value) {
    return {CMD_DSP_WRITE,
            0,
            static_cast<uint8_t>(block),
            static_cast<uint8_t>(parameter),
            1,
            static_cast<uint8_t>(value >> 24),
            static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value)};
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A memory unlike the default one in its panel area (the DSP records intact).
SimProcessor::Image Pattern() {
    SimProcessor::Image image = SimProcessor::DefaultImage();
    for (int i = 0; i < 1000; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

// The daemon's side: a simulated processor, the daemon's processor linked to
// it and read whole, and its forwarding port.
class ForwardingPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        // fxtunectl's run in this process uses the default processor.
        ResetIdentityToDefaults();
        BuildDefaultImage();
        g_bQueuedSend() = true;
        g_bJobIdle() = true;

        sim.SetMemory(Pattern());
        ASSERT_TRUE(server.Start(0));
        {
            fx::ProcessorScope scope(daemon);
            g_bNetMode() = true;
            ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
            StartDelayedRead();
            JoinSyncJobs();
            ASSERT_TRUE(LastReadResult().Completed()) << LastReadResult().missing;
        }
        port.onClientChange = [this] { ++clientChanges; };
        std::string error;
        ASSERT_TRUE(port.Start("127.0.0.1", 0, error)) << error;
        ASSERT_GT(port.Port(), 0);
    }

    void TearDown() override {
        port.Stop();
        {
            fx::ProcessorScope scope(daemon);
            NetDisconnect(true);
            JoinSyncJobs();
            g_bNetMode() = false;
        }
        JoinSyncJobs();
        server.Stop();
        g_bNetMode() = false;
        for (const std::string& path : paths) std::remove(path.c_str());
        rmdir(Folder().c_str());
    }

    CtlResult Ctl(const std::string& command, std::vector<std::string> arguments,
                  int targetPort = 0) {
        CtlOptions options;
        options.host = "127.0.0.1";
        options.port = targetPort != 0 ? targetPort : port.Port();
        options.command = command;
        options.arguments = std::move(arguments);
        return RunCtlCommand(options);
    }

    // A file under its plain name (a mode file's name may ask for a store).
    std::string TempPath(const std::string& name) {
        mkdir(Folder().c_str(), 0700);
        paths.push_back(Folder() + "/" + name);
        std::remove(paths.back().c_str());
        return paths.back();
    }
    static std::string Folder() {
        return ::testing::TempDir() + "forward_" + std::to_string(getpid());
    }

    // The daemon's store: its image and one DSP parameter's editor value.
    std::vector<uint8_t> DaemonImage() {
        fx::ProcessorScope scope(daemon);
        return {g_ParamImage(), g_ParamImage() + kImageSize};
    }
    double DaemonValue(int block, int parameter) {
        fx::ProcessorScope scope(daemon);
        return GetDspParam(block, parameter);
    }
    std::vector<uint8_t> SimImage() const {
        const SimProcessor::Image image = sim.Memory();
        return {image.begin(), image.end()};
    }
    // A DSP write of the value the processor holds: the daemon's own change
    // that changes nothing its store would have to follow.
    Record RewriteOfHeldValue(int block, int parameter) const {
        const SimProcessor::Image image = sim.Memory();
        const int offset = SimProcessor::FindDspValueOffset(image, block, parameter);
        Record write = DspWrite(block, parameter, 0);
        if (offset > 0) std::copy_n(image.begin() + offset, 4, write.begin() + 5);
        return write;
    }

    // Every reply the port handled before this returns has been handled:
    // a round trip of a client of its own goes behind them.
    void RoundTrip() {
        WireClient probe(port.Port());
        ASSERT_TRUE(probe.Send({CMD_GET_VERSION1}));
        ASSERT_EQ(REPLY_VERSION1, Code(probe.Next()));
    }

    SimProcessor sim;
    SimTcpServer server{sim};
    fx::Processor daemon;
    fx::ForwardingPort port{daemon, "room1"};
    std::atomic<int> clientChanges{0};
    std::vector<std::string> paths;
};

// ------------------------------------------------------- fxtunectl unchanged

class ForwardedSetTest : public ForwardingPortTest,
                         public ::testing::WithParamInterface<SimAckStyle> {};

TEST_P(ForwardedSetTest, SetReachesTheProcessorAndTheDaemonsStore) {
    sim.SetAckStyle(GetParam());
    const int offset = ValueOffset(1, 14);
    ASSERT_GT(offset, 0);
    ASSERT_NE(60, DaemonValue(1, 14));

    const CtlResult result = Ctl("set", {"1", "14", "60"});
    ASSERT_EQ(kExitOk, result.status) << result.message;

    // Confirmed to fxtunectl only once the daemon's store has it.
    EXPECT_EQ(60, DaemonValue(1, 14));
    const std::vector<uint8_t> simImage = SimImage();
    const std::vector<uint8_t> daemonImage = DaemonImage();
    EXPECT_EQ(Record(simImage.begin() + offset, simImage.begin() + offset + 4),
              Record(daemonImage.begin() + offset, daemonImage.begin() + offset + 4));
    EXPECT_EQ(simImage, daemonImage) << "the store keeps in step with the processor";
    EXPECT_GE(clientChanges.load(), 1);
    // The client's let-go released the port, not the processor.
    EXPECT_FALSE(sim.LetGoReceived());
    fx::ProcessorScope scope(daemon);
    EXPECT_TRUE(fx::SendAndConfirm(DspWrite(1, 14, 0).data(), 9, kReplyWaitMs));
}

INSTANTIATE_TEST_SUITE_P(AckStyles, ForwardedSetTest,
                         ::testing::Values(SimAckStyle::Echo, SimAckStyle::Generic,
                                           SimAckStyle::Dsp),
                         [](const auto& info) { return AckStyleName(info.param); });

// Other changes a client makes: an EQ band (DSP write and panel write), the
// surround room (panel write), the machine settings.
struct ChangeVerb {
    const char* name;
    std::vector<std::string> args;
};

const ChangeVerb kChangeVerbs[] = {
    {"Eq", {"eq", "6", "1", "1", "1000", "3.5", "1.2"}},
    {"SurroundRoom", {"surround", "room", "6", "5"}},
    {"MachineSet", {"machine", "set", "hdmi-mute=on"}},
};

class ForwardedChangeTest
    : public ForwardingPortTest,
      public ::testing::WithParamInterface<std::tuple<ChangeVerb, SimAckStyle>> {};

TEST_P(ForwardedChangeTest, ChangeReachesTheDaemonsStore) {
    const auto& [verb, style] = GetParam();
    sim.SetAckStyle(style);
    const std::vector<uint8_t> before = SimImage();
    const auto settingsBefore = sim.MachineSettings();

    std::vector<std::string> args(verb.args.begin() + 1, verb.args.end());
    const CtlResult result = Ctl(verb.args.front(), args);
    ASSERT_EQ(kExitOk, result.status) << result.message;

    ASSERT_TRUE(before != SimImage() || settingsBefore != sim.MachineSettings());
    EXPECT_EQ(SimImage(), DaemonImage());
    fx::ProcessorScope scope(daemon);
    EXPECT_EQ(0, std::memcmp(g_PanelImage(), sim.Memory().data(), kPanelSize))
        << "the panel copy too";
    EXPECT_EQ(0, std::memcmp(g_MachineSettingsDevice(), sim.MachineSettings().data(),
                             kMachineSettingsSize));
    EXPECT_GE(clientChanges.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Verbs, ForwardedChangeTest,
                         ::testing::Combine(::testing::ValuesIn(kChangeVerbs),
                                            ::testing::Values(SimAckStyle::Echo,
                                                              SimAckStyle::Generic,
                                                              SimAckStyle::Dsp)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    AckStyleName(std::get<1>(info.param));
                         });

TEST_F(ForwardingPortTest, ReadThroughThePortGivesTheBytesOfADirectRead) {
    const std::string forwarded = TempPath("forwarded.mode");
    const CtlResult viaPort = Ctl("read", {forwarded});
    ASSERT_EQ(kExitOk, viaPort.status) << viaPort.message;
    EXPECT_EQ(0, clientChanges.load()) << "a read changes nothing";

    // The simulated processor serves one host: the daemon lets go first.
    port.Stop();
    {
        fx::ProcessorScope scope(daemon);
        NetDisconnect(true);
    }
    ASSERT_TRUE(server.WaitForClient(false, kGuardSeconds * 1000));
    const std::string direct = TempPath("direct.mode");
    const CtlResult directly = Ctl("read", {direct}, server.Port());
    ASSERT_EQ(kExitOk, directly.status) << directly.message;

    const std::vector<uint8_t> bytes = FileBytes(forwarded);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(FileBytes(direct), bytes);
}

TEST_F(ForwardingPortTest, WholeImageWriteAndModeCommandsReachTheStore) {
    // A file of the factory memory, unlike the processor's now.
    const std::string file = TempPath("m3 factory.mode");
    ASSERT_EQ(kExitOk, Ctl("read", {file}).status);
    std::vector<uint8_t> bytes = FileBytes(file);
    ASSERT_EQ(static_cast<size_t>(kModeFileHeaderSize + kImageSize), bytes.size());
    const SimProcessor::Image& factory = SimProcessor::DefaultImage();
    std::copy(factory.begin(), factory.end(), bytes.begin() + kModeFileHeaderSize);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    const CtlResult written = Ctl("write", {file});
    ASSERT_EQ(kExitOk, written.status) << written.message;
    EXPECT_EQ(std::vector<uint8_t>(factory.begin(), factory.end()), SimImage());
    EXPECT_EQ(SimImage(), DaemonImage()) << "the written memory is the store's";
    EXPECT_EQ(2, sim.CurrentMode());
    {
        fx::ProcessorScope scope(daemon);
        EXPECT_EQ(2, g_CurrentMode().load()) << "the mode stored into is the current one";
    }
    EXPECT_GE(clientChanges.load(), kImageChunkCount + 1);

    // A mode load replaces the memory: the daemon reads it again.
    SimProcessor::Image other = Pattern();
    other[5] ^= 0xFF;
    sim.SetMemory(other);
    ASSERT_EQ(kExitOk, Ctl("mode", {"store", "4"}).status);
    sim.SetMemory(SimProcessor::DefaultImage());
    ASSERT_EQ(kExitOk, Ctl("mode", {"load", "4"}).status);
    fx::ProcessorScope scope(daemon);
    JoinSyncJobs();
    EXPECT_TRUE(LastReadResult().Completed());
    EXPECT_EQ(std::vector<uint8_t>(other.begin(), other.end()), DaemonImage());
    EXPECT_EQ(3, g_CurrentMode().load());
}

// ------------------------------------------------------------- routing

// What one client does: writes its own parameter and reads its own chunk,
// again and again, each answer checked as its own.
struct ClientRun {
    int block;
    int parameter;
    int chunkAddress;
    int mismatches = 0;
    int answered = 0;
    bool lastIsOwn = false;
};

void RunClient(int port, SimAckStyle style, ClientRun& run, int rounds) {
    WireClient client(port);
    if (!client.Connected()) return;
    for (int i = 0; i < rounds; ++i) {
        client.Send(DspWrite(run.block, run.parameter, static_cast<uint32_t>(i)));
        if (AcknowledgesDspWrite(style, client.Next()))
            ++run.answered;
        else
            ++run.mismatches;
        client.Send({CMD_READ_IMAGE, static_cast<uint8_t>(run.chunkAddress >> 8),
                     static_cast<uint8_t>(run.chunkAddress & 0xFF), 40});
        const std::optional<Record> chunk = client.Next();
        if (Code(chunk) == REPLY_IMAGE_CHUNK && chunk->size() > 3 &&
            (*chunk)[2] * 256 + (*chunk)[3] == run.chunkAddress)
            ++run.answered;
        else
            ++run.mismatches;
    }
    // Nothing stray waits before the answer to a request only this client sends.
    client.Send({CMD_GET_VERSION1});
    run.lastIsOwn = Code(client.Next()) == REPLY_VERSION1;
}

class ForwardedRoutingTest : public ForwardingPortTest,
                             public ::testing::WithParamInterface<SimAckStyle> {};

TEST_P(ForwardedRoutingTest, TwoClientsAndTheDaemonEachHearTheirOwnAnswers) {
    const SimAckStyle style = GetParam();
    sim.SetAckStyle(style);
    constexpr int kRounds = 25;
    ClientRun first{1, 14, 112};
    ClientRun second{1, 15, 2016};
    ASSERT_GT(ValueOffset(first.block, first.parameter), 0);
    ASSERT_GT(ValueOffset(second.block, second.parameter), 0);
    std::atomic<int> daemonConfirmed{0};
    ASSERT_GT(ValueOffset(1, 16), 0);
    const Record ownWrite = RewriteOfHeldValue(1, 16);

    std::thread a([&] { RunClient(port.Port(), style, first, kRounds); });
    std::thread b([&] { RunClient(port.Port(), style, second, kRounds); });
    // The daemon's own confirmed changes and requests, in the same outbox.
    std::thread own([&] {
        fx::ProcessorScope scope(daemon);
        for (int i = 0; i < kRounds; ++i) {
            const uint8_t status[] = {CMD_GET_STATUS};
            if (fx::SendAndConfirm(ownWrite.data(), static_cast<int>(ownWrite.size()),
                                   kReplyWaitMs) &&
                fx::SendAndConfirm(status, 1, kReplyWaitMs))
                ++daemonConfirmed;
        }
    });
    a.join();
    b.join();
    own.join();

    for (const ClientRun* run : {&first, &second}) {
        EXPECT_EQ(0, run->mismatches) << "block " << run->block << " parameter " << run->parameter;
        EXPECT_EQ(2 * kRounds, run->answered);
        EXPECT_TRUE(run->lastIsOwn);
    }
    EXPECT_EQ(kRounds, daemonConfirmed.load());
    RoundTrip();
    EXPECT_EQ(SimImage(), DaemonImage()) << "every client's write reached the store";
    EXPECT_EQ(2 * kRounds, clientChanges.load());
}

INSTANTIATE_TEST_SUITE_P(AckStyles, ForwardedRoutingTest,
                         ::testing::Values(SimAckStyle::Echo, SimAckStyle::Generic,
                                           SimAckStyle::Dsp),
                         [](const auto& info) { return AckStyleName(info.param); });

TEST_F(ForwardingPortTest, TheProcessorsOwnNewsReachesEveryClientAndLateAnswersNobody) {
    WireClient first(port.Port());
    WireClient second(port.Port());
    ASSERT_TRUE(first.Connected() && second.Connected());
    // Both are served before the news comes.
    for (WireClient* client : {&first, &second}) {
        ASSERT_TRUE(client->Send({CMD_GET_MODE}));
        ASSERT_EQ(REPLY_CURRENT_MODE, Code(client->Next()));
    }

    // A generic answer to nothing (a late one), then a mode loaded at the
    // processor's panel, then a key it learned by itself.
    ASSERT_TRUE(server.SendReply({kSimReplyPrefix, REPLY_ACK20, CMD_DSP_WRITE, 0, 0}));
    ASSERT_TRUE(server.SendReply({kSimReplyPrefix, REPLY_MODE_LOADED, 2, 0, 0}));
    ASSERT_TRUE(server.SendReply({kSimReplyPrefix, REPLY_LEARNED_KEY, 0x20, 3, 0x43}));

    for (WireClient* client : {&first, &second}) {
        EXPECT_EQ(REPLY_MODE_LOADED, Code(client->Next()));
        EXPECT_EQ(REPLY_LEARNED_KEY, Code(client->Next()));
    }
    fx::ProcessorScope scope(daemon);
    JoinSyncJobs(); // the read the mode load started
    EXPECT_TRUE(LastReadResult().Completed());
}

// ------------------------------------------------------------- going away

struct VanishCase {
    const char* name;
    bool replyLost; // else late
};

class ClientVanishTest : public ForwardingPortTest,
                         public ::testing::WithParamInterface<VanishCase> {};

TEST_P(ClientVanishTest, AClientGoneMidCommandLeavesTheDaemonsLinkWorking) {
    SimFaults faults;
    if (GetParam().replyLost) {
        sim.LoseRepliesTo({CMD_DSP_WRITE, 0, 1, 14}, 1);
    } else {
        faults.slowCode = CMD_DSP_WRITE;
        faults.slowReplyMs = 300;
        sim.SetFaults(faults);
    }
    {
        WireClient leaving(port.Port());
        ASSERT_TRUE(leaving.Send(DspWrite(1, 14, 0x3F19999C)));
        ASSERT_TRUE(sim.WaitForCommand(CMD_DSP_WRITE, kGuardSeconds * 1000));
    } // gone before its answer
    sim.SetFaults({});

    {
        fx::ProcessorScope scope(daemon);
        EXPECT_TRUE(fx::SendAndConfirm(RewriteOfHeldValue(1, 15).data(), 9, kReplyWaitMs));
        EXPECT_TRUE(LinkUsable());
    }
    WireClient staying(port.Port());
    ASSERT_TRUE(staying.Send({CMD_GET_VERSION1}));
    EXPECT_EQ(REPLY_VERSION1, Code(staying.Next()));
    EXPECT_EQ(1, port.ClientCount());
    if (!GetParam().replyLost) {
        // The processor took the change, so the store did too.
        EXPECT_EQ(SimImage(), DaemonImage());
        EXPECT_EQ(60, DaemonValue(1, 14));
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, ClientVanishTest,
                         ::testing::Values(VanishCase{"Late", false}, VanishCase{"Lost", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ForwardingPortTest, ClientsOfAProcessorNotLinkedAreTurnedAway) {
    WireClient connected(port.Port());
    ASSERT_TRUE(connected.Send({CMD_GET_MODE}));
    ASSERT_EQ(REPLY_CURRENT_MODE, Code(connected.Next()));

    server.DropClient(); // the daemon's link goes
    EXPECT_TRUE(connected.ClosedByPort());
    EXPECT_FALSE(WireClient(port.Port()).Connected()) << "refused while the link is down";
    EXPECT_EQ(0, port.ClientCount());

    fx::Processor unlinked;
    fx::ForwardingPort idle(unlinked, "room2");
    std::string error;
    ASSERT_TRUE(idle.Start("127.0.0.1", 0, error)) << error;
    EXPECT_FALSE(WireClient(idle.Port()).Connected());
    const CtlResult refused = Ctl("get", {"1", "14"}, idle.Port());
    EXPECT_EQ(kExitNoProcessor, refused.status) << refused.message;

    // Linked again: the port serves again once it noticed.
    {
        fx::ProcessorScope scope(daemon);
        ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardSeconds);
    while (!WireClient(port.Port()).Connected() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const CtlResult served = Ctl("get", {"1", "14"});
    EXPECT_EQ(kExitOk, served.status) << served.message;
}

TEST(ForwardingPortStartTest, ListensOnLoopbackOnly) {
    fx::Processor processor;
    fx::ForwardingPort port(processor, "room1");
    std::string error;
    EXPECT_FALSE(port.Start("0.0.0.0", 0, error));
    EXPECT_NE(std::string::npos, error.find("loopback")) << error;
    EXPECT_FALSE(port.Start("127.0.0.1", 70000, error));
    EXPECT_TRUE(port.Start("127.0.0.1", 0, error)) << error;
    EXPECT_FALSE(port.Start("127.0.0.1", 0, error)) << "already listening";
}

} // namespace
