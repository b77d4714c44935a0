// The broker going away, the daemon dying, refused credentials and settings
// that cannot work: never a crash or a hang, always a clear status.
#include "MqttBridgeFixture.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

class MqttFaultTest : public MqttBridgeFixture {};

TEST_F(MqttFaultTest, TheLastWillMarksTheDaemonUnavailableWhenItDies) {
    auto probe = Probe("will", {"fxtune/availability"});
    const std::string port = std::to_string(m_broker.Port());
    char* argv[] = {const_cast<char*>(FX_MQTT_BRIDGE_CHILD_PATH), const_cast<char*>(port.c_str()),
                    nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ), 0);
    const bool online = probe->WaitFor("fxtune/availability", "online").has_value();
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(online);
    EXPECT_TRUE(probe->WaitFor("fxtune/availability", "offline"));
}

TEST_F(MqttFaultTest, StoppingTheBridgeMarksTheDaemonUnavailable) {
    fx::MqttBridge& bridge = StartBridge();
    auto probe = Probe("stop", {"fxtune/availability"});
    ASSERT_TRUE(probe->WaitFor("fxtune/availability", "online"));
    bridge.Stop();
    EXPECT_TRUE(probe->WaitFor("fxtune/availability", "offline"));
    EXPECT_FALSE(bridge.Status().connected);
}

TEST_F(MqttFaultTest, ARestartedBrokerGetsEverythingAgainAndCommandsStillWork) {
    fx::MqttBridge& bridge = StartBridge();
    {
        auto probe = Probe("before", {"fxtune/#"});
        ASSERT_TRUE(probe->WaitFor("fxtune/processors", "2"));
    }
    m_broker.Stop();
    ASSERT_TRUE(Eventually([&] { return !bridge.Status().connected; }));
    EXPECT_FALSE(bridge.Status().lastError.empty());

    // The venue's thread goes on while the broker is away.
    m_venue.Change("room1", [](fx::ProcessorState& state) { state.levels[0].value = 77; });
    m_venue.Flush();

    ASSERT_TRUE(m_broker.Start()) << m_broker.Error();
    auto probe = Probe("after", {"homeassistant/#", "fxtune/#"});
    EXPECT_TRUE(probe->WaitFor("fxtune/availability", "online"));
    EXPECT_TRUE(probe->WaitForAny(Config("number", "room1", "mic_level")));
    EXPECT_TRUE(probe->WaitFor(State("room1", "mic/level"), "77"));

    // Subscribed again: a command goes through.
    probe->Publish(State("room1", "mic/level") + "/set", "33");
    EXPECT_TRUE(probe->WaitFor(State("room1", "mic/level"), "33"));
    EXPECT_EQ(m_venue.Calls(),
              std::vector<std::string>{"SetLevel room1 mic value=33 by home-assistant"});

    const fx::MqttStatus status = bridge.Status();
    EXPECT_TRUE(status.connected);
    EXPECT_TRUE(status.lastError.empty());
    EXPECT_GE(status.connects, 2u);
    EXPECT_GE(status.connectionsLost, 1u);
    EXPECT_TRUE(Logged("connection lost"));
}

TEST_F(MqttFaultTest, ABrokerThatIsNotThereYetHoldsNobodyAndIsJoinedWhenItComes) {
    m_broker.Stop();
    fx::MqttBridge& bridge = StartBridge();
    ASSERT_TRUE(Eventually([&] { return bridge.Status().connectFailures >= 2; }));
    EXPECT_FALSE(bridge.Status().connected);
    EXPECT_NE(bridge.Status().lastError.find("cannot connect to tcp://127.0.0.1:"),
              std::string::npos)
        << bridge.Status().lastError;

    // The venue's thread goes on: its events are taken and dropped.
    m_venue.Change("room2", [](fx::ProcessorState& state) { state.pitch = 4; });
    m_venue.Flush();

    ASSERT_TRUE(m_broker.Start()) << m_broker.Error();
    auto probe = Probe("late-broker", {"fxtune/#"});
    EXPECT_TRUE(probe->WaitFor("fxtune/availability", "online"));
    EXPECT_TRUE(probe->WaitFor(State("room2", "pitch"), "4"));
    EXPECT_TRUE(bridge.Status().connected);
}

TEST_F(MqttFaultTest, SettingsThatCannotWorkAreRefusedAtStart) {
    struct Row {
        const char* what;
        std::function<void(fx::MqttSettings&)> edit;
        const char* error;
    };
    const std::vector<Row> rows = {
        {"no host", [](fx::MqttSettings& s) { s.host.clear(); }, "no MQTT broker given"},
        {"CA file missing", [](fx::MqttSettings& s) { s.tlsCaFile = "/nonexistent/ca.pem"; },
         "CA file /nonexistent/ca.pem cannot be read"},
        {"not loopback in a test run", [](fx::MqttSettings& s) { s.host = "192.0.2.1"; },
         "may use 127.0.0.1 only"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fx::MqttSettings settings = Settings();
        row.edit(settings);
        fx::MqttBridge bridge(m_venue, settings);
        EXPECT_FALSE(bridge.Start());
        EXPECT_NE(bridge.Status().lastError.find(row.error), std::string::npos)
            << bridge.Status().lastError;
    }
}

class MqttAccountTest : public ::testing::Test {};

TEST_F(MqttAccountTest, AWrongPasswordIsAClearStatusNotACrash) {
    MosquittoBroker broker("ha", "s3cret");
    ASSERT_TRUE(broker.Start()) << broker.Error();
    FakeVenue venue;
    venue.Add(FakeVenue::SampleProcessor("room1"));
    venue.Flush();

    struct Row {
        const char* user;
        const char* password;
        bool connects;
    };
    const std::vector<Row> rows = {
        {"ha", "s3cret", true},
        {"ha", "wrong", false},
        {"", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.user) + "/" + row.password);
        std::vector<std::string> log;
        std::mutex logMutex;
        fx::MqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = broker.Port();
        settings.user = row.user;
        settings.password = row.password;
        settings.reconnectFirst = std::chrono::milliseconds(50);
        settings.reconnectLongest = std::chrono::milliseconds(200);
        settings.log = [&](const std::string& line) {
            std::lock_guard lock(logMutex);
            log.push_back(line);
        };
        fx::MqttBridge bridge(venue, settings);
        ASSERT_TRUE(bridge.Start());
        ASSERT_TRUE(Eventually([&] {
            const fx::MqttStatus status = bridge.Status();
            return status.connected || status.connectFailures >= 1;
        }));
        const fx::MqttStatus status = bridge.Status();
        EXPECT_EQ(status.connected, row.connects);
        if (row.connects) continue;
        EXPECT_NE(status.lastError.find("user name or password"), std::string::npos)
            << status.lastError;
        std::lock_guard lock(logMutex);
        ASSERT_FALSE(log.empty());
        EXPECT_NE(log.front().find("user name or password"), std::string::npos) << log.front();
    }
}

} // namespace

namespace {

// A certificate authority of the test's own, a broker certificate it signed
// for 127.0.0.1, and another authority that signed nothing of the broker's.
class TlsFiles {
public:
    TlsFiles() {
        char folder[] = "/tmp/fxtune-mqtt-tls-XXXXXX";
        if (!::mkdtemp(folder)) return;
        m_folder = folder;
        const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
        const std::string script =
            "cd " + m_folder + " && exec >openssl.log 2>&1 && " + "openssl req -x509 " + key +
            "-keyout ca.key -out ca.pem -days 2 -subj /CN=fxtune-ca && " + "openssl req " + key +
            "-keyout server.key -out server.csr -subj /CN=127.0.0.1 && " +
            "echo subjectAltName=IP:127.0.0.1 >ext.cnf && " +
            "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial " +
            "-out server.pem -days 2 -extfile ext.cnf && " + "openssl req -x509 " + key +
            "-keyout other.key -out other.pem -days 2 -subj /CN=other";
        m_ok = std::system(script.c_str()) == 0;
    }
    ~TlsFiles() {
        std::error_code ignored;
        if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
    }
    bool Ok() const { return m_ok; }
    std::string File(const std::string& name) const { return m_folder + "/" + name; }

private:
    std::string m_folder;
    bool m_ok = false;
};

TEST(MqttTlsTest, TheBrokerIsTrustedOnlyThroughTheCaGiven) {
    TlsFiles files;
    ASSERT_TRUE(files.Ok()) << "see " << files.File("openssl.log");
    MosquittoBroker broker;
    broker.ServeTls(files.File("server.pem"), files.File("server.key"));
    ASSERT_TRUE(broker.Start()) << broker.Error();
    FakeVenue venue;
    venue.Add(FakeVenue::SampleProcessor("room1"));
    venue.Flush();

    struct Row {
        const char* ca;
        bool connects;
    };
    for (const Row& row : {Row{"ca.pem", true}, Row{"other.pem", false}}) {
        SCOPED_TRACE(row.ca);
        fx::MqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = broker.Port();
        settings.tlsCaFile = files.File(row.ca);
        settings.reconnectFirst = std::chrono::milliseconds(50);
        settings.log = [](const std::string&) {};
        fx::MqttBridge bridge(venue, settings);
        ASSERT_TRUE(bridge.Start());
        ASSERT_TRUE(Eventually([&] {
            const fx::MqttStatus status = bridge.Status();
            return status.connected || status.connectFailures >= 1;
        }));
        const fx::MqttStatus status = bridge.Status();
        EXPECT_EQ(status.connected, row.connects) << status.lastError;
        if (!row.connects) {
            EXPECT_NE(status.lastError.find("TLS"), std::string::npos) << status.lastError;
        }
    }
}

} // namespace
