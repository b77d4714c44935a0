#include "ChildProcess.h"

#include "sim/SimProcessor.h"
#include "state/DspParamTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

constexpr int kFileSize = 3410;
constexpr int kHeader = 60;

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && CountOf(text, "\n") == 1;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// fxtunectl against a simulator process on 127.0.0.1.
class FxtunectlTest : public ::testing::Test {
protected:
    void StartSimulator(std::vector<std::string> args = {}) {
        sim = std::make_unique<child::Simulator>(std::move(args));
        ASSERT_GT(sim->Port(), 0);
    }
    child::Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", sim->PortText()});
        return child::Run(FXTUNECTL_PATH, args);
    }
    std::string Path(const std::string& name) {
        paths.push_back(child::TempPath(name));
        return paths.back();
    }
    void TearDown() override {
        for (const std::string& path : paths) std::remove(path.c_str());
        rmdir(child::TempPath("").c_str()); // when nothing else is left in it
    }

    std::unique_ptr<child::Simulator> sim;
    std::vector<std::string> paths;
};

TEST_F(FxtunectlTest, InfoShowsIdentityCompatibilityAndMode) {
    StartSimulator({"--module", "CRL63MK", "--version1", "v-one", "--version2", "v-two"});
    const auto result = Ctl({"info"});
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("module: CRL63MK\ncommand-set version: 19\nMCU version: v-one\nDSP version: v-two\n"
              "compatible: yes\ncurrent mode: M1\n",
              result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(1, CountOf(sim->CommandLog(), "command: 8A")) << "lets go of the processor";
}

TEST_F(FxtunectlTest, ReadSavesTheProcessorsImage) {
    StartSimulator();
    const std::string file = Path("read.mode");
    const auto result = Ctl({"read", file});
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.err) << "no progress without a terminal";
    const std::string bytes = child::Slurp(file);
    ASSERT_EQ(static_cast<size_t>(kFileSize), bytes.size());
    EXPECT_EQ(std::string("\x13\0\0\0ARN63\0", 10), bytes.substr(0, 10));
    const auto& image = SimProcessor::DefaultImage();
    EXPECT_EQ(0, std::memcmp(image.data(), bytes.data() + kHeader, image.size()));
    EXPECT_EQ(60, CountOf(sim->CommandLog(), "command: 30 "));
}

TEST_F(FxtunectlTest, WriteSendsTheFileAndStoresIntoTheModeItsNameAsks) {
    StartSimulator();
    const std::string original = Path("original.mode");
    ASSERT_EQ(0, Ctl({"read", original}).status);
    std::string bytes = child::Slurp(original);
    // Values a page could give (a file with others is refused): CH 1's
    // levels, source, delay and the unnamed values of its distance filter.
    const auto put = [&](int block, int parameter, int value, uint32_t stored) {
        const int offset = kHeader + DspRecordValueOffset(block, parameter) + 4 * value;
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(stored >> (24 - 8 * i));
    };
    for (int parameter = 17; parameter <= 20; ++parameter)
        put(5, parameter, 0, PercentToStored(10 * parameter - 150));
    put(5, 13, 0, 3);
    put(5, 15, 0, MsToSamples(12.5));
    for (int value = 1; value < 6; ++value) put(5, 26, value, FloatBits(0.1f * value));
    const std::string named = Path("m2 edited.mode");
    WriteBytes(named, bytes);

    const auto written = Ctl({"write", named});
    ASSERT_EQ(0, written.status) << written.err;
    EXPECT_EQ("stored into M2\n", written.out);
    const std::string log = sim->CommandLog();
    EXPECT_EQ(60, CountOf(log, "command: 31 "));
    EXPECT_EQ(1, CountOf(log, "command: 32\n"));
    EXPECT_NE(std::string::npos, log.find("command: 03 01\ncommand: 04 01\n"));

    // The processor now holds the file, and so does its mode 2.
    ASSERT_EQ(0, Ctl({"mode", "load", "1"}).status);
    ASSERT_EQ(0, Ctl({"mode", "load", "2"}).status);
    const std::string back = Path("back.mode");
    ASSERT_EQ(0, Ctl({"read", back}).status);
    EXPECT_TRUE(bytes.substr(kHeader) == child::Slurp(back).substr(kHeader));
}

TEST_F(FxtunectlTest, WriteOfAFileWithoutModeNameStoresNothing) {
    StartSimulator();
    const std::string file = Path("live m3.mode");
    ASSERT_EQ(0, Ctl({"read", file}).status);
    const auto result = Ctl({"write", file});
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.out);
    EXPECT_EQ(0, CountOf(sim->CommandLog(), "command: 04 "));
}

TEST_F(FxtunectlTest, SetThenGet) {
    StartSimulator();
    const auto set = Ctl({"set", "1", "14", "60"});
    ASSERT_EQ(0, set.status) << set.err;
    EXPECT_NE(std::string::npos, sim->CommandLog().find("command: 09 00 01 0E 01 3F 19 99 9C"));
    const auto get = Ctl({"get", "1", "14"});
    ASSERT_EQ(0, get.status) << get.err;
    EXPECT_EQ("60\n", get.out);
}

TEST_F(FxtunectlTest, EqBandShowsInTheDump) {
    StartSimulator();
    const auto eq = Ctl({"eq", "6", "1", "1", "1000", "3.5", "1.2"});
    ASSERT_EQ(0, eq.status) << eq.err;
    const auto dump = Ctl({"dump"});
    ASSERT_EQ(0, dump.status) << dump.err;
    const std::string setHead = "{\"set\":6,\"bands\":[";
    const size_t set6 = dump.out.find(setHead);
    ASSERT_NE(std::string::npos, set6);
    EXPECT_EQ(
        set6 + setHead.size(),
        dump.out.find("{\"band\":1,\"type\":1,\"frequency\":1000,\"gain\":3.5,\"q\":1.2}", set6))
        << dump.out.substr(set6, 200);
}

TEST_F(FxtunectlTest, DumpListsEveryRecordAndSet) {
    StartSimulator();
    const auto dump = Ctl({"dump"});
    ASSERT_EQ(0, dump.status) << dump.err;
    EXPECT_EQ('{', dump.out.front());
    EXPECT_EQ("}\n", dump.out.substr(dump.out.size() - 2));
    EXPECT_EQ(232, CountOf(dump.out, "{\"block\":"));
    EXPECT_EQ(16, CountOf(dump.out, "{\"set\":"));
    EXPECT_NE(std::string::npos,
              dump.out.find("{\"block\":1,\"parameter\":14,\"name\":\"Mic Vol\",\"raw\":["
                            "\"3F000000\"],\"value\":50}"))
        << "the microphone level, 50 %, by the name diff prints";
    EXPECT_NE(std::string::npos,
              dump.out.find("{\"block\":13,\"parameter\":10,\"names\":[\"Recording compressor "
                            "threshold\",\"Recording compressor value x1\","))
        << "a record of several values names each";
    EXPECT_NE(std::string::npos, dump.out.find("\"module\":\"ARN63\""));
}

TEST_F(FxtunectlTest, ModeCommandsSendTheirCodes) {
    StartSimulator();
    const auto store = Ctl({"mode", "store", "4"});
    ASSERT_EQ(0, store.status) << store.err;
    EXPECT_EQ("stored into M4\n", store.out);
    ASSERT_EQ(0, Ctl({"mode", "load", "3"}).status);
    ASSERT_EQ(0, Ctl({"mode", "reset", "1"}).status);
    const std::string log = sim->CommandLog();
    EXPECT_EQ(1, CountOf(log, "command: 04 03\n"));
    EXPECT_EQ(1, CountOf(log, "command: 05 02\n"));
    EXPECT_EQ(1, CountOf(log, "command: 06 00\n"));
    // A load and a reset each end with a full read (after the initial one).
    EXPECT_EQ(5 * 60, CountOf(log, "command: 30 "));
}

struct ErrorCase {
    const char* name;
    std::vector<std::string> simArgs;
    std::vector<std::string> ctlArgs;
    int status;
    const char* errPart;
};

class FxtunectlErrorTest : public FxtunectlTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(FxtunectlErrorTest, OneLineAndItsStatus) {
    const ErrorCase& c = GetParam();
    StartSimulator(c.simArgs);
    std::vector<std::string> args = c.ctlArgs;
    for (std::string& arg : args) {
        if (arg == "SHORT") {
            arg = Path("short.mode");
            WriteBytes(arg, std::string(100, '\x13'));
        } else if (arg == "V17") {
            arg = Path("v17.mode");
            std::string bytes(kFileSize, '\0');
            bytes[0] = 17;
            WriteBytes(arg, bytes);
        }
    }
    const auto result = Ctl(args);
    EXPECT_EQ(c.status, result.status) << result.err;
    EXPECT_TRUE(IsOneLine(result.err)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(c.errPart)) << result.err;
    if (c.status == 2 || c.status == 5) {
        EXPECT_EQ("", sim->CommandLog()) << "refused before anything was sent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FxtunectlErrorTest,
    ::testing::Values(
        ErrorCase{
            "UnknownModel", {"--module", "XYZ9"}, {"info"}, 4, "\"XYZ9\" (command-set version 19)"},
        ErrorCase{"Version18", {"--cmd-version", "18"}, {"dump"}, 4, "version 18 of ARN63"},
        ErrorCase{"ShortFile", {}, {"write", "SHORT"}, 5, "100 bytes"},
        ErrorCase{"Version17File", {}, {"write", "V17"}, 5, "version 17"},
        ErrorCase{"MissingFile", {}, {"write", "/nonexistent/x.mode"}, 5, "cannot open"},
        ErrorCase{"UnwritableFile",
                  {},
                  {"read", "/nonexistent/x.mode"},
                  1,
                  "can't write to /nonexistent/x.mode: the folder /nonexistent does not exist"},
        ErrorCase{"SilentProcessor", {"--silent-after", "3"}, {"info"}, 6, "time-out"},
        ErrorCase{"BusyProcessor", {"--refuse"}, {"info"}, 3, "connected to another host"},
        // Silent right after the read (67 commands): the change is not confirmed.
        ErrorCase{"UnconfirmedSet",
                  {"--silent-after", "67"},
                  {"set", "1", "14", "60"},
                  6,
                  "did not confirm set 1 14 60"},
        ErrorCase{"BadMode", {}, {"mode", "load", "5"}, 2, "M is 1..4"},
        ErrorCase{"BadParameter", {}, {"set", "1", "14", "loud"}, 2, "VALUE"},
        ErrorCase{"UnknownParameter", {}, {"get", "200", "1"}, 1, "no editable DSP parameter"},
        ErrorCase{"BadBand", {}, {"eq", "15", "6", "1", "1000", "0", "1"}, 2, "BAND"},
        ErrorCase{"UnknownCommand", {}, {"frob"}, 2, "unknown command"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// The processor serves one host; fxtunectl is turned away while another is connected.
TEST_F(FxtunectlTest, BusyProcessorIsReported) {
    StartSimulator();
    const int other = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(other, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(sim->Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, connect(other, reinterpret_cast<sockaddr*>(&address), sizeof address));
    // Once it answers a status request, the simulator serves this host.
    const uint8_t statusRequest[] = {0x55, 0x03, 0x81, 0x0E, 0x73};
    ASSERT_EQ(5, send(other, statusRequest, sizeof statusRequest, 0));
    timeval wait{5, 0};
    setsockopt(other, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char answer[64];
    ASSERT_GT(recv(other, answer, sizeof answer, 0), 0);

    const auto result = Ctl({"info"});
    close(other);
    EXPECT_EQ(3, result.status);
    EXPECT_EQ("fxtunectl: the processor is connected to another host\n", result.err);
}

TEST(FxtunectlCommandLine, NeedsAnAddressAndRefusesAnEmptyPort) {
    const child::Result noHost = child::Run(FXTUNECTL_PATH, {"info"});
    EXPECT_EQ(2, noHost.status);
    EXPECT_TRUE(IsOneLine(noHost.err)) << noHost.err;
    EXPECT_EQ(2, child::Run(FXTUNECTL_PATH, {"--host", "127.0.0.1", "--usb", "info"}).status);
    EXPECT_EQ(2, child::Run(FXTUNECTL_PATH, {"--host", "127.0.0.1", "--port", "0", "info"}).status);
    EXPECT_EQ(2, child::Run(FXTUNECTL_PATH, {"--host", "localhost", "info"}).status)
        << "dotted IPv4 only";
    const child::Result help = child::Run(FXTUNECTL_PATH, {"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("usage: fxtunectl"));
}

TEST(FxtunectlNoProcessor, NothingListening) {
    int port = 0;
    {
        child::Simulator sim({});
        port = sim.Port();
    } // stopped: the port is closed now
    ASSERT_GT(port, 0);
    const child::Result result =
        child::Run(FXTUNECTL_PATH, {"--host", "127.0.0.1", "--port", std::to_string(port), "info"});
    EXPECT_EQ(3, result.status);
    EXPECT_TRUE(IsOneLine(result.err)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("no processor at 127.0.0.1:"));
}

} // namespace
