#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// Runs programs for the end-to-end tests: one to completion with its output
// captured, or one in the background (the simulator) until stopped.
namespace child {

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file in this process's own temporary folder, under its plain name.
inline std::string TempPath(const std::string& name) {
    const std::string folder = ::testing::TempDir() + "fxtool_" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    return folder + "/" + name;
}

// Starts program with args, stdout and stderr going to the given files.
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::string& outPath, const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Result {
    int status = -1; // exit status, -1 when it did not exit normally
    std::string out, err;
};

// Runs program to its end; with limitMs of 0 or more one still running after
// that long is killed (status -1), so a test of something that must not hang
// cannot hang itself.
inline Result Run(const std::string& program, const std::vector<std::string>& args,
                  int limitMs = -1) {
    const std::string outPath = TempPath("run.out"), errPath = TempPath("run.err");
    Result result;
    const pid_t pid = Spawn(program, args, outPath, errPath);
    if (pid < 0) return result;
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, limitMs < 0 ? 0 : WNOHANG) == 0; waited += 5) {
        if (waited >= limitMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(5000);
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

// The simulator on a free loopback port; its port comes from its first line.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "0", "--verbose"});
        m_out = TempPath("sim" + std::to_string(++Counter()) + ".out");
        m_err = m_out + ".err";
        m_pid = Spawn(FXTUNE_SIM_PATH, args, m_out, m_err);
        for (int i = 0; i < 500 && m_pid > 0 && m_port == 0; ++i) {
            const std::string text = Slurp(m_out);
            const size_t colon = text.find(':');
            const size_t newline = text.find('\n');
            if (colon != std::string::npos && newline != std::string::npos && colon < newline)
                m_port = std::stoi(text.substr(colon + 1, newline - colon - 1));
            else
                usleep(10000);
        }
    }
    ~Simulator() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        std::remove(m_out.c_str());
        std::remove(m_err.c_str());
    }
    int Port() const { return m_port; }
    std::string PortText() const { return std::to_string(m_port); }
    // The commands it received, one "command: XX XX" line each.
    std::string CommandLog() const { return Slurp(m_err); }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_out, m_err;
};

// fxtunectl against a simulator of its own on 127.0.0.1.
class CtlAgainstSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<Simulator>(std::vector<std::string>{});
        ASSERT_GT(sim->Port(), 0);
    }
    Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", sim->PortText()});
        return child::Run(FXTUNECTL_PATH, args);
    }
    std::unique_ptr<Simulator> sim;
};

// A command line fxtunectl refuses (status 2): its arguments and its one
// error line without the "fxtunectl: " in front.
struct RefusedLine {
    std::vector<std::string> args;
    std::string message;
};

// The refusal as the command line promises it: status 2, one line on
// stderr, and nothing sent to the processor (whose log is given).
inline void ExpectRefusedWithNothingSent(const Result& result, const RefusedLine& line,
                                         const std::string& processorLog) {
    EXPECT_EQ(2, result.status) << result.err;
    EXPECT_EQ(std::string("fxtunectl: ") + line.message + "\n", result.err);
    EXPECT_EQ("", processorLog) << "refused before anything was sent";
}

} // namespace child
