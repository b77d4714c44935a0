// fxtuned's configuration file, command line and token file: what is taken
// and what is refused with a reason.
#include "DaemonRig.h"

#include "service/DaemonConfig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>

namespace {

std::string WriteFile(const std::string& name, const std::string& text, mode_t mode = 0600) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
}

bool Parse(std::vector<std::string> args, fx::DaemonConfig& config, std::string& error) {
    args.insert(args.begin(), "fxtuned");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    bool help = false;
    return fx::ParseDaemonArguments(static_cast<int>(argv.size()), argv.data(), config, help,
                                    error);
}

TEST(DaemonConfigTest, TheFileAndTheCommandLineTogether) {
    const std::string file = WriteFile("fxtuned.conf", R"(# a venue
[http]
listen = 127.0.0.1:9000
forward-base = 30400

[processor room1]
address = 127.0.0.1:30303

[processor hall]
usb = 1-4.2

[daemon]
usb = yes

[mqtt]
broker = 127.0.0.1:1883
)");
    fx::DaemonConfig config;
    std::string error;
    ASSERT_TRUE(
        Parse({"--config", file, "--processor", "room2=127.0.0.1", "--listen", "127.0.0.1:0"},
              config, error))
        << error;
    ASSERT_EQ(2u, config.processors.size());
    EXPECT_EQ("room1", config.processors[0].name);
    EXPECT_EQ(30303, config.processors[0].port);
    EXPECT_EQ("room2", config.processors[1].name);
    EXPECT_EQ(30303, config.processors[1].port) << "the default port";
    EXPECT_EQ(0, config.listenPort) << "the command line goes over the file";
    EXPECT_EQ(30400, config.forwardBase);
    EXPECT_TRUE(config.usb);
    EXPECT_EQ("hall", config.usbNames["1-4.2"]);
    EXPECT_EQ("127.0.0.1:1883", config.mqtt["broker"]);
}

TEST(DaemonConfigTest, BadSettingsAreRefusedWithTheirReason) {
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    };
    const Case cases[] = {
        {{"--processor", "room 1=127.0.0.1"}, "bad processor name"},
        {{"--processor", std::string(33, 'a') + "=127.0.0.1"}, "bad processor name"},
        {{"--processor", "a=127.0.0.1", "--processor", "a=127.0.0.2"}, "named twice"},
        {{"--processor", "a=localhost"}, "bad address"},
        {{"--processor", "a=127.0.0.1:70000"}, "bad address"},
        {{"--processor", "a"}, "NAME=HOST"},
        {{"--listen", "127.0.0.1"}, "--listen"},
        {{"--forward-base", "0"}, "--forward-base"},
        {{"--bogus"}, "unknown option"},
        {{"--config", WriteFile("bad.conf", "[http]\nport = 1\n")}, "unknown setting port"},
        {{"--config", WriteFile("bad2.conf", "listen = 1\n")}, "within a [section]"},
    };
    for (const Case& c : cases) {
        fx::DaemonConfig config;
        std::string error;
        EXPECT_FALSE(Parse(c.args, config, error)) << c.args[0];
        EXPECT_NE(std::string::npos, error.find(c.reason)) << error;
    }
}

TEST(DaemonConfigTest, ATokenFileMustBeTheOwnersAlone) {
    fx::AccessTokens tokens;
    std::string error;
    EXPECT_FALSE(tokens.Load(WriteFile("open-tokens", "write secret-token-1\n", 0644), error));
    EXPECT_NE(std::string::npos, error.find("owner only")) << error;
    EXPECT_FALSE(tokens.Load(WriteFile("short-tokens", "write short\n"), error));
    EXPECT_FALSE(tokens.Load(WriteFile("bad-tokens", "admin secret-token-1\n"), error));
    ASSERT_TRUE(
        tokens.Load(WriteFile("tokens", "# desk\nread reader-token\nwrite writer-token\n"), error))
        << error;
    using Access = fx::AccessTokens::Access;
    EXPECT_EQ(Access::Write, tokens.Check("Bearer writer-token"));
    EXPECT_EQ(Access::Read, tokens.Check("Bearer reader-token"));
    EXPECT_EQ(Access::None, tokens.Check("Bearer writer-toke"));
    EXPECT_EQ(Access::None, tokens.Check(""));
}

TEST(DaemonConfigTest, TokensGuardEveryRequestAndTheEventStream) {
    fx::AccessTokens tokens;
    tokens.Add(fx::AccessTokens::Access::Read, "reader-token");
    tokens.Add(fx::AccessTokens::Access::Write, "writer-token");
    DaemonRig rig({SimAckStyle::Echo}, tokens);
    ASSERT_TRUE(rig.AllConnected());
    const std::string change = R"({"value":30})";
    const std::string target = "/api/v1/processors/p0/levels/mic";
    struct Case {
        const char* authorization;
        const char* method;
        int status;
    };
    const Case cases[] = {
        {"", "GET", 401},
        {"Bearer nobody-at-all", "GET", 401},
        {"Bearer reader-token", "GET", 200},
        {"Bearer reader-token", "PUT", 403},
        {"Bearer writer-token", "PUT", 200},
    };
    for (const Case& c : cases) {
        const size_t before = rig.sims[0]->processor.CommandCount();
        const bool put = std::string(c.method) == "PUT";
        const HttpAnswer answer = rig.Call(c.method, put ? target : "/api/v1/processors",
                                           put ? change : "", {{"Authorization", c.authorization}});
        EXPECT_EQ(c.status, answer.status) << c.authorization << " " << c.method;
        if (c.status != 200) {
            EXPECT_EQ(before, rig.sims[0]->processor.CommandCount()) << "nothing sent";
        }
    }
    EXPECT_EQ(200, rig.Call("GET", "/").status) << "the page itself asks for a token";

    EventClient refused(rig.Port());
    refused.Send(R"({"token":"nobody-at-all"})");
    EXPECT_EQ("", refused.Next(3000)) << "closed without a message";
    EventClient byMessage(rig.Port());
    byMessage.Send(R"({"token":"reader-token"})");
    EXPECT_NE(std::string::npos, byMessage.Next(3000).find(R"("access":"read")"));
    EventClient byHeader(rig.Port(), "Bearer writer-token");
    EXPECT_NE(std::string::npos, byHeader.Next(3000).find(R"("access":"write")"));
}

} // namespace
