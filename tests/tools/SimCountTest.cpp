// fxtune-sim --count: several simulated processors in one process, each on
// its own port with its own memory, each reached by fxtunectl on its own.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

// The simulator process with its "listening on" lines read.
class SimulatorProcess {
public:
    SimulatorProcess(std::vector<std::string> args, int count) {
        static int made = 0; // each its own files: several may run at once
        m_out = child::TempPath("count" + std::to_string(++made) + ".out");
        m_err = m_out + ".err";
        m_pid = child::Spawn(FXTUNE_SIM_PATH, args, m_out, m_err);
        const std::regex line("listening on 127\\.0\\.0\\.1:([0-9]+)\n");
        for (int i = 0; i < 500 && m_pid > 0 && static_cast<int>(m_ports.size()) < count; ++i) {
            usleep(10000);
            m_ports.clear();
            const std::string text = child::Slurp(m_out);
            for (std::sregex_iterator at(text.begin(), text.end(), line), end; at != end; ++at)
                m_ports.push_back(std::stoi((*at)[1]));
        }
    }
    ~SimulatorProcess() { EXPECT_EQ(0, Stop()); }

    // Stops it with SIGTERM; its exit status.
    int Stop() {
        if (m_pid <= 0) return 0;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        std::remove(m_out.c_str());
        std::remove(m_err.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::vector<int>& Ports() const { return m_ports; }
    std::string CommandLog() const { return child::Slurp(m_err); }

private:
    pid_t m_pid = -1;
    std::string m_out, m_err;
    std::vector<int> m_ports;
};

child::Result Ctl(int port, std::vector<std::string> args) {
    args.insert(args.begin(), {"--host", "127.0.0.1", "--port", std::to_string(port)});
    return child::Run(FXTUNECTL_PATH, args);
}

TEST(SimCount, ServesEachProcessorOnItsOwnPortWithItsOwnMemory) {
    SimulatorProcess sim({"--count", "3", "--port", "0", "--verbose", "--module", "ARN52"}, 3);
    const std::vector<int> ports = sim.Ports();
    ASSERT_EQ(3u, ports.size());
    EXPECT_NE(ports[0], ports[1]);
    EXPECT_NE(ports[1], ports[2]);

    const child::Result set = Ctl(ports[1], {"set", "1", "14", "60"});
    ASSERT_EQ(0, set.status) << set.err;
    for (int i = 0; i < 3; ++i) {
        const child::Result get = Ctl(ports[static_cast<size_t>(i)], {"get", "1", "14"});
        ASSERT_EQ(0, get.status) << get.err;
        EXPECT_EQ(i == 1, get.out == "60\n") << "processor " << i << ": " << get.out;
    }
    // With several processors each command's line names its port.
    const std::string log = sim.CommandLog();
    const std::string written = " command: 09 00 01 0E 01 3F 19 99 9C";
    EXPECT_NE(std::string::npos, log.find(std::to_string(ports[1]) + written)) << log;
    EXPECT_EQ(log.find(written), log.rfind(written)) << "sent to one processor only";

    // Every option applies to each; one fxtunectl reaches all of them.
    std::vector<std::string> hosts;
    for (int port : ports)
        hosts.insert(hosts.end(), {"--host", "127.0.0.1", "--port", std::to_string(port)});
    hosts.push_back("info");
    const child::Result info = child::Run(FXTUNECTL_PATH, hosts);
    EXPECT_EQ(0, info.status) << info.err;
    for (int port : ports)
        EXPECT_NE(std::string::npos, info.out.find("127.0.0.1:" + std::to_string(port) + ": "))
            << info.out;
    size_t named = 0;
    for (size_t at = info.out.find("ARN52"); at != std::string::npos;
         at = info.out.find("ARN52", at + 1))
        ++named;
    EXPECT_EQ(3u, named) << info.out;
}

TEST(SimCount, RefusesAPortRangePastTheLastPort) {
    const child::Result result =
        child::Run(FXTUNE_SIM_PATH, {"--count", "2", "--port", "65535"}, 5000);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out) << "nothing listens";
}

// The commands one processor of a verbose fleet logged, without their port.
std::vector<std::string> CommandsOf(const std::string& log, int port) {
    std::vector<std::string> commands;
    const std::string prefix = std::to_string(port) + " command:";
    size_t start = 0;
    for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = log.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0) commands.push_back(line.substr(prefix.size()));
    }
    return commands;
}

// One fxtunectl writing to eight processors at once sends each of them the
// same bytes as eight runs of its own.
TEST(SimCount, EightHostsWriteTheSameBytesAsEightSingleRuns) {
    constexpr int kCount = 8;
    SimulatorProcess source({"--port", "0"}, 1);
    SimulatorProcess together({"--count", "8", "--port", "0", "--verbose"}, kCount);
    SimulatorProcess apart({"--count", "8", "--port", "0", "--verbose"}, kCount);
    ASSERT_EQ(1u, source.Ports().size());
    ASSERT_EQ(static_cast<size_t>(kCount), together.Ports().size());
    ASSERT_EQ(static_cast<size_t>(kCount), apart.Ports().size());
    const std::string file = child::TempPath("eight.mode");
    ASSERT_EQ(0, Ctl(source.Ports()[0], {"read", file}).status);

    std::vector<std::string> args;
    for (int port : together.Ports())
        args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(port)});
    args.insert(args.end(), {"write", file});
    const child::Result all = child::Run(FXTUNECTL_PATH, args);
    ASSERT_EQ(0, all.status) << all.err;
    for (int port : apart.Ports()) ASSERT_EQ(0, Ctl(port, {"write", file}).status);
    std::remove(file.c_str());

    // Each run ends with its let-go; the simulators may log it a moment later.
    const auto letGos = [&](const SimulatorProcess& sims) {
        const std::string log = sims.CommandLog();
        size_t count = 0;
        for (size_t at = log.find(" command: 8A"); at != std::string::npos;
             at = log.find(" command: 8A", at + 1))
            ++count;
        return count;
    };
    for (int look = 0; look < 200 && (letGos(together) < kCount || letGos(apart) < kCount); ++look)
        usleep(10000);
    const std::string togetherLog = together.CommandLog();
    const std::string apartLog = apart.CommandLog();
    for (size_t i = 0; i < static_cast<size_t>(kCount); ++i) {
        const std::vector<std::string> sent = CommandsOf(togetherLog, together.Ports()[i]);
        EXPECT_GT(sent.size(), 60u) << i << ": the read and the whole image";
        EXPECT_EQ(CommandsOf(apartLog, apart.Ports()[i]), sent) << i;
    }
}

} // namespace
