#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>

// fxtunectl's machine and remote verbs end to end against fxtune-sim.
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class MachineRemoteCtlTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> simArgs = {}) {
        m_sim = std::make_unique<child::Simulator>(std::move(simArgs));
        ASSERT_GT(m_sim->Port(), 0);
    }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", m_sim->PortText()});
        return args;
    }
    child::Result Ctl(const std::vector<std::string>& args) const {
        return child::Run(FXTUNECTL_PATH, Args(args));
    }
    std::string File(const std::string& name, const std::string& bytes) {
        m_files.push_back(child::TempPath(name));
        std::ofstream(m_files.back(), std::ios::binary | std::ios::trunc) << bytes;
        return m_files.back();
    }
    void TearDown() override {
        for (const std::string& path : m_files) std::remove(path.c_str());
    }
    std::string Log() const { return m_sim->CommandLog(); }

    std::unique_ptr<child::Simulator> m_sim;
    std::vector<std::string> m_files;
};

} // namespace

TEST_F(MachineRemoteCtlTest, MachineSetChangesNamedFieldsAndMachineShowsThem) {
    Start();
    const auto fresh = Ctl({"machine"});
    ASSERT_EQ(0, fresh.status) << fresh.err;
    EXPECT_TRUE(Has(fresh.out, "mic-start: 0 (not used)\n")) << fresh.out;
    EXPECT_TRUE(Has(fresh.out, "mic-max: 99\nmusic-max: 99\n")) << fresh.out;
    EXPECT_TRUE(Has(fresh.out, "routing: sl\n")) << fresh.out;

    const auto set = Ctl({"machine", "set", "mic-max=30", "mic-start=25", "routing=both",
                          "hdmi-mute=on", "save-mode=mode", "power-on-mode=m3"});
    ASSERT_EQ(0, set.status) << set.err;
    EXPECT_TRUE(Has(Log(), "command: 91 01 01 01 19 00 1E 63 00 00 00 00 03 21 00\n")) << Log();

    // A lower maximum brings the power-on volume down with it, as in the dialog.
    ASSERT_EQ(0, Ctl({"machine", "set", "mic-max=20", "music-start=0"}).status);
    const auto shown = Ctl({"machine"});
    ASSERT_EQ(0, shown.status) << shown.err;
    EXPECT_EQ("save-mode: mode\nmic-start: 20\nmusic-start: 0 (not used)\nmic-max: 20\n"
              "music-max: 99\npower-on-mode: m3\nhdmi-mute: on\nrouting: both\n"
              "panel-lock: off\nvolume-lock: off\nmode-lock: off\n"
              "record: 01 01 01 14 00 14 63 00 00 00 00 03 21 00\n",
              shown.out);
}

TEST_F(MachineRemoteCtlTest, UnconfirmedSettingsExitSix) {
    Start({"--ignore-code", "145"});
    const auto result = Ctl({"machine", "set", "hdmi-mute=on"});
    EXPECT_EQ(6, result.status);
    EXPECT_EQ("fxtunectl: time-out: the processor did not confirm the machine settings\n",
              result.err);
}

// Refused before anything is sent: exit 2 for names and values, 5 for files
// read, 1 for a file that cannot be saved.
TEST_F(MachineRemoteCtlTest, BadInputIsRefusedWithNothingSent) {
    Start();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* errPart;
    };
    const std::string longFile = File("long.remo", std::string(25, '\x11'));
    const std::string emptyFile = File("empty.remo", "");
    const std::vector<Case> cases = {
        {{"machine", "set", "volume=3"}, 2, "unknown machine setting: volume"},
        {{"machine", "set", "mic-max=0"}, 2, "bad value for mic-max: \"0\" (1..99)"},
        {{"machine", "set", "music-start=100"}, 2, "bad value for music-start"},
        {{"machine", "set", "routing=left"}, 2, "(sl, sbl or both)"},
        {{"machine", "set", "hdmi-mute"}, 2, "hdmi-mute needs =VALUE"},
        {{"machine", "set", "power-on-mode=m5"}, 2, "auto or m1..m4"},
        {{"machine", "set", "mic-max=30", "mic-start=40"}, 2, "mic-start 40 is above mic-max 30"},
        {{"machine", "set"}, 2, "at least one NAME=VALUE"},
        {{"machine", "show"}, 2, "machine takes no argument"},
        {{"remote", "load", longFile}, 5, "not a remote file (longer than 18 bytes)"},
        {{"remote", "load", emptyFile}, 5, "not a remote file (empty)"},
        {{"remote", "load", "/nonexistent/k.remo"}, 5, "cannot open"},
        {{"remote", "learn", "18"}, 2, "KEY is 1..17"},
        {{"remote", "learn", "volume"}, 2, "KEY is 1..17"},
        {{"remote", "copy", "x"}, 2, "remote takes save"},
        {{"remote", "save", "/nonexistent/k.remo"}, 1, "can't write to /nonexistent/k.remo"},
        {{"remote", "save", "/tmp"}, 1, "not a regular file"},
    };
    for (const Case& c : cases) {
        const auto result = Ctl(c.args);
        EXPECT_EQ(c.status, result.status) << c.args[1] << " " << result.err;
        EXPECT_TRUE(Has(result.err, c.errPart)) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
    EXPECT_EQ("", Log()) << "nothing was sent";
}

TEST_F(MachineRemoteCtlTest, SaveLearnAndLoadRemoteFiles) {
    Start({"--learn-delay-ms", "200", "--learn-code", "10"});
    const auto learn = Ctl({"remote", "learn", "m4-down"});
    ASSERT_EQ(0, learn.status) << learn.err;
    EXPECT_EQ("0A\n", learn.out);
    EXPECT_TRUE(Has(learn.err, "press the \"m4-down\" key (key 5) on the remote: 30 s"))
        << learn.err;
    EXPECT_TRUE(Has(Log(), "command: 60 05\n"));

    const std::string saved = child::TempPath("keys.remo");
    m_files.push_back(saved);
    ASSERT_EQ(0, Ctl({"remote", "save", saved}).status);
    const std::string bytes = child::Slurp(saved);
    ASSERT_EQ(18u, bytes.size());
    EXPECT_EQ(0x0A, bytes[5]) << "the learned code was stored in the processor";

    // A 10-byte file changes the first ten codes; all 18 bytes go out.
    const std::string ten = File("ten.remo", std::string(10, '\x77'));
    ASSERT_EQ(0, Ctl({"remote", "load", ten}).status);
    const std::string log = Log();
    const size_t at = log.rfind("command: 63 ");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ("command: 63 77 77 77 77 77 77 77 77 77 77 0A 0B 0C 0D 0E 0F 00 00",
              log.substr(at, log.find('\n', at) - at));
}

TEST_F(MachineRemoteCtlTest, CtrlCAbandonsLearningWithNinetySeven) {
    Start({"--learn-delay-ms", "-1"});
    const std::string out = child::TempPath("learn.out"), err = child::TempPath("learn.err");
    m_files.insert(m_files.end(), {out, err});
    const pid_t pid = child::Spawn(FXTUNECTL_PATH, Args({"remote", "learn", "1"}), out, err);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 1000 && !Has(Log(), "command: 60 01\n"); ++i) usleep(10000);
    ASSERT_TRUE(Has(Log(), "command: 60 01\n"));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(6, WEXITSTATUS(status));
    EXPECT_TRUE(Has(child::Slurp(err), "fxtunectl: interrupted: learning abandoned\n"));
    EXPECT_TRUE(Has(Log(), "command: 61\n"));
    EXPECT_FALSE(Has(Log(), "command: 63")) << "nothing learned, nothing stored";
}
