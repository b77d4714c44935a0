// fxtuned's history through its API: the snapshot rules, approved presets
// and drift, restore, on a SQLite file of the test's own.
#include "DaemonRig.h"

#include "state/ParamImage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using nlohmann::json;

json Body(const HttpAnswer& answer) {
    return json::parse(answer.body, nullptr, false);
}

class DaemonHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.AllConnected()); }
    void TearDown() override { std::remove(path.c_str()); }

    // The snapshots of p0, oldest first, once there are at least count.
    json Snapshots(size_t count) {
        json snapshots;
        for (int i = 0; i < 200; ++i) {
            rig.historyStore.Flush(std::chrono::seconds(5));
            snapshots = Body(rig.Call("GET", "/api/v1/processors/p0/history"))["snapshots"];
            if (snapshots.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return snapshots;
    }

    json Drift() { return Body(rig.Call("GET", "/api/v1/processors/p0/drift")); }

    // Waits until the drift the processor's state carries says drifted.
    bool WaitDrift(bool drifted) {
        for (int i = 0; i < 200; ++i) {
            if (Drift()["drifted"] == drifted) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Of this test and process alone: ctest runs the tests of a suite side by side.
    std::string path = ::testing::TempDir() + "daemon-history-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                       std::to_string(getpid()) + ".db";
    DaemonRig rig{{SimAckStyle::Generic}, {}, (std::remove(path.c_str()), path)};
};

TEST_F(DaemonHistoryTest, SnapshotsComeAtLinkUpOnceChangesSettleAndBeforeAModeLoad) {
    json snapshots = Snapshots(1);
    ASSERT_FALSE(snapshots.empty());
    EXPECT_EQ("daemon", snapshots[0]["source"]) << "the memory read at link-up";

    // Two changes from the web page settle into one snapshot that names both.
    size_t before = snapshots.size();
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/levels/mic", R"({"value":61})",
                            {{"X-Fxtune-Origin", "web"}})
                       .status);
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/levels/echo", R"({"value":20})",
                            {{"X-Fxtune-Origin", "web"}})
                       .status);
    snapshots = Snapshots(before + 1);
    ASSERT_GT(snapshots.size(), before);
    const json web = snapshots.back();
    EXPECT_EQ("web", web["source"]);
    const std::string changes = web["changes"].dump();
    EXPECT_NE(std::string::npos, changes.find("Mic Vol")) << changes;
    EXPECT_NE(std::string::npos, changes.find("Echo Vol")) << changes;

    // A mode load replaces the memory: what it was is kept first.
    before = snapshots.size();
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/levels/mic", R"({"value":33})").status);
    ASSERT_EQ(200, rig.Call("POST", "/api/v1/processors/p0/mode", R"({"load":3})").status);
    snapshots = Snapshots(before + 2);
    ASSERT_GE(snapshots.size(), before + 1);
    const json kept = snapshots[before];
    EXPECT_EQ("api", kept["source"]) << "the memory before the load, made by the API";
    const int64_t id = kept["id"];
    const HttpAnswer preset =
        rig.Call("GET", "/api/v1/processors/p0/history/" + std::to_string(id) + "/preset");
    ASSERT_EQ(200, preset.status);
    EXPECT_EQ(33, PercentFromStored(ReadBigEndian32(reinterpret_cast<const uint8_t*>(
                      preset.body.data() + 60 + DspRecordValueOffset(1, 14)))));

    const HttpAnswer one = rig.Call("GET", "/api/v1/processors/p0/history/" +
                                               std::to_string(web["id"].get<int64_t>()));
    ASSERT_EQ(200, one.status);
    EXPECT_EQ("web", Body(one)["source"]);
    EXPECT_EQ(404, rig.Call("GET", "/api/v1/processors/p0/history/999999").status);
    EXPECT_EQ(400, rig.Call("GET", "/api/v1/processors/p0/history?since=yesterday").status);
}

TEST_F(DaemonHistoryTest, DriftIsRaisedClearedAndRestored) {
    EXPECT_EQ(false, Drift()["approved"]);
    const json first = Snapshots(1);
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/approved",
                            json{{"snapshot", first[0]["id"]}}.dump())
                       .status);
    ASSERT_TRUE(WaitDrift(false));
    EXPECT_EQ(true, Drift()["approved"]);

    // A guest finds the echo: the processor has drifted, in words.
    EventClient events(rig.Port());
    ASSERT_EQ("ready", Body(HttpAnswer{200, events.Next(5000), {}})["type"]);
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/levels/echo", R"({"value":5})").status);
    ASSERT_TRUE(WaitDrift(true));
    EXPECT_EQ(1, Drift()["count"]);
    EXPECT_NE(std::string::npos, Drift()["parameters"][0].get<std::string>().find("Echo Vol"));
    const json event = json::parse(events.Next(5000), nullptr, false);
    EXPECT_EQ(1, event["state"]["drift"]["count"]) << event.dump();

    // Restoring writes the approved preset back and is a snapshot itself.
    const size_t before = Snapshots(1).size();
    ASSERT_EQ(200, rig.Call("POST", "/api/v1/processors/p0/approved/restore").status);
    ASSERT_TRUE(WaitDrift(false));
    EXPECT_EQ(80, Body(rig.Call("GET", "/api/v1/processors/p0"))["levels"]["echo"]["value"]);
    EXPECT_GT(Snapshots(before + 1).size(), before);

    // An uploaded mode file is approved as well; clearing it ends the drift.
    std::string file = rig.Call("GET", "/api/v1/processors/p0/preset").body;
    file[60 + DspRecordValueOffset(1, 14) + 3] ^= 1;
    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/approved", file,
                            {{"Content-Type", "application/octet-stream"}})
                       .status);
    ASSERT_TRUE(WaitDrift(true));
    EXPECT_EQ(400, rig.Call("PUT", "/api/v1/processors/p0/approved", file.substr(0, 50),
                            {{"Content-Type", "application/octet-stream"}})
                       .status);
    ASSERT_EQ(200, rig.Call("DELETE", "/api/v1/processors/p0/approved").status);
    ASSERT_TRUE(WaitDrift(false));
    EXPECT_EQ(false, Drift()["approved"]);
}

// fxtunectl's exit status and output for a command line (after the program).
std::pair<int, std::string> Ctl(const std::string& arguments) {
    const std::string command = std::string(FXTUNECTL_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST_F(DaemonHistoryTest, FxtunectlHistoryUsesTheApi) {
    const std::string daemon = "--daemon 127.0.0.1:" + std::to_string(rig.Port()) + " ";
    const int64_t id = Snapshots(1)[0]["id"];
    const std::string file =
        ::testing::TempDir() + "history-preset-" + std::to_string(getpid()) + ".mode";
    struct Case {
        std::string arguments;
        int status;
        const char* output; // a part of what it prints
    };
    const Case cases[] = {
        {"history list p0", 0, "daemon"},
        {"--json history list p0 --limit 5", 0, "\"snapshots\""},
        {"history show p0 " + std::to_string(id), 0, "snapshot"},
        {"history preset p0 " + std::to_string(id) + " " + file, 0, ""},
        {"history approve p0 " + std::to_string(id), 0, ""},
        {"history drift p0", 0, "as approved"},
        {"history approved p0", 0, "snapshot"},
        {"history approve p0 " + file, 0, ""},
        {"history unapprove p0", 0, ""},
        {"history drift p0", 0, "no approved preset"},
        {"history list nobody", 1, "no processor"},
        {"history fly p0", 2, "unknown history verb"},
        {"history list p0 --since yesterday", 2, "since"},
        {"history approve p0 /nonexistent.mode", 5, "cannot read"},
    };
    for (const Case& c : cases) {
        const auto [status, output] = Ctl(daemon + c.arguments);
        EXPECT_EQ(c.status, status) << c.arguments << ": " << output;
        EXPECT_NE(std::string::npos, output.find(c.output)) << c.arguments << ": " << output;
    }
    std::ifstream saved(file, std::ios::binary | std::ios::ate);
    EXPECT_EQ(3410, static_cast<int>(saved.tellg()));
    std::remove(file.c_str());
    EXPECT_EQ(3, Ctl("--daemon 127.0.0.1:1 history list p0").first) << "no daemon there";
}

} // namespace
