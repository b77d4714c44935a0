// fxtuned's API over simulated processors: every endpoint's main path in
// each acknowledgement style, the refusals that must send nothing, the event
// stream, and one processor's failure beside the others' answers.
#include "AckStyleNames.h"
#include "DaemonRig.h"

#include "modefile/ModeFile.h"
#include "state/ParamImage.h"
#include "tools/fxtunectl/CtlCommands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <future>

namespace {

using nlohmann::json;

const std::vector<SimAckStyle> kStyles = {SimAckStyle::Generic, SimAckStyle::Echo,
                                          SimAckStyle::Dsp};

// The value of a DSP record as the simulator holds it (its last byte).
int SimByte(SimProcessor& sim, int block, int parameter) {
    return sim.Memory()[DspRecordValueOffset(block, parameter) + 3];
}

json Body(const HttpAnswer& answer) {
    return json::parse(answer.body, nullptr, false);
}

class DaemonApiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.AllConnected()); }
    DaemonRig rig{kStyles};
};

TEST_F(DaemonApiTest, EveryChangeIsAnsweredOnceTheProcessorConfirmedItInEachStyle) {
    struct Case {
        const char* method;
        const char* path;
        const char* body;
        int block, parameter, simByte; // what the processor then holds (-1: not checked)
    };
    const Case cases[] = {
        {"POST", "mode", R"({"load":2})", -1, -1, -1},
        {"PUT", "levels/mic", R"({"value":61})", 1, 14, -1},
        {"PUT", "levels/echo", R"({"muted":true})", 2, 29, 0},
        {"PUT", "levels/music", R"({"value":20,"muted":false})", 4, 12, -1},
        {"PUT", "pitch", R"({"value":-3})", 4, 21, 2},
        {"PUT", "noise-gate", R"({"value":40})", 4, 22, -1},
        {"PUT", "source", R"({"value":"HDMI2"})", 4, 23, 1},
        {"PUT", "source", R"({"value":5})", 4, 23, 5},
        {"PUT", "dsp/2/9", R"({"value":30})", 2, 9, -1},
        {"PUT", "eq/0/1", R"({"type":"PEQ","frequency":1000,"gain":3,"q":1.5})", -1, -1, -1},
        {"POST", "mode", R"({"store":3})", -1, -1, -1},
    };
    for (size_t p = 0; p < kStyles.size(); ++p) {
        for (const Case& c : cases) {
            const std::string target = "/api/v1/processors/" + DaemonRig::Name(p) + "/" + c.path;
            const size_t before = rig.sims[p]->processor.CommandCount();
            const HttpAnswer answer = rig.Call(c.method, target, c.body);
            const std::string label = std::string(AckStyleName(kStyles[p])) + " " + c.method + " " +
                                      c.path + " " + c.body;
            ASSERT_EQ(200, answer.status) << label << ": " << answer.body;
            EXPECT_GT(rig.sims[p]->processor.CommandCount(), before) << label;
            EXPECT_EQ(DaemonRig::Name(p), Body(answer)["name"]) << label;
            if (c.simByte >= 0) {
                EXPECT_EQ(c.simByte, SimByte(rig.sims[p]->processor, c.block, c.parameter))
                    << label;
            }
        }
        EXPECT_EQ(2, rig.sims[p]->processor.CurrentMode()) << "M2 recalled, then stored into M3";
    }
    const json state = Body(rig.Call("GET", "/api/v1/processors/p0"));
    EXPECT_EQ(61, state["levels"]["mic"]["value"]);
    EXPECT_EQ(true, state["levels"]["echo"]["muted"]);
    EXPECT_EQ(-3, state["pitch"]);
    EXPECT_EQ(40, state["noiseGate"]);
    EXPECT_EQ(5, state["source"]["index"]);
    EXPECT_EQ(3, state["mode"]);
}

TEST_F(DaemonApiTest, ReadsShowWhatTheProcessorHolds) {
    const HttpAnswer list = rig.Call("GET", "/api/v1/processors");
    ASSERT_EQ(200, list.status);
    ASSERT_EQ(3u, Body(list)["processors"].size());
    EXPECT_EQ("p0", Body(list)["processors"][0]["name"]);
    EXPECT_EQ("ARN63", Body(list)["processors"][0]["model"]);

    const HttpAnswer value = rig.Call("GET", "/api/v1/processors/p1/dsp/1/14");
    ASSERT_EQ(200, value.status);
    EXPECT_EQ(50, Body(value)["value"]);

    const HttpAnswer image = rig.Call("GET", "/api/v1/processors/p1/image");
    ASSERT_EQ(200, image.status);
    EXPECT_TRUE(Body(image).contains("identity")) << image.body.substr(0, 200);

    // The mode file read back is the simulator's memory; written to another
    // processor, that one holds it.
    const HttpAnswer preset = rig.Call("GET", "/api/v1/processors/p1/preset");
    ASSERT_EQ(200, preset.status);
    ASSERT_EQ(static_cast<size_t>(kModeFileSize), preset.body.size());
    const auto memory = rig.sims[1]->processor.Memory();
    EXPECT_TRUE(
        std::equal(memory.begin(), memory.end(),
                   reinterpret_cast<const uint8_t*>(preset.body.data()) + kModeFileHeaderSize));
    std::string file = preset.body;
    file[kModeFileHeaderSize + DspRecordValueOffset(1, 14) + 3] = 77;
    const HttpAnswer written = rig.Call("PUT", "/api/v1/processors/p2/preset", file,
                                        {{"Content-Type", "application/octet-stream"}});
    ASSERT_EQ(200, written.status) << written.body;
    EXPECT_EQ(77, SimByte(rig.sims[2]->processor, 1, 14));

    EXPECT_EQ(200, rig.Call("GET", "/api/v1/openapi.json").status);
    EXPECT_NE(std::string::npos,
              rig.Call("GET", "/metrics").body.find("fxtuned_processors_connected 3"));
}

TEST_F(DaemonApiTest, ARefusedRequestSendsNothing) {
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        int status;
        const char* field; // named in the answer ("" none)
    };
    std::string goodPreset = rig.Call("GET", "/api/v1/processors/p0/preset").body;
    std::string wrongVersion = goodPreset;
    wrongVersion[0] = 18;
    const Case cases[] = {
        {"PUT", "levels/mic", "{not json", 400, "body"},
        {"PUT", "levels/mic", "[1,2]", 400, "body"},
        {"PUT", "levels/mic", R"({"value":"loud"})", 400, "value"},
        {"PUT", "levels/mic", R"({"value":100})", 400, ""},
        {"PUT", "levels/mic", R"({"value":-1})", 400, ""},
        {"PUT", "levels/mic", R"({"value":2.5})", 400, "value"},
        {"PUT", "levels/mic", R"({"muted":"yes"})", 400, "muted"},
        {"PUT", "levels/mic", R"({})", 400, "value"},
        {"PUT", "levels/mic", R"({"value":5,"volume":3})", 400, "volume"},
        {"PUT", "levels/bass", R"({"value":5})", 404, ""},
        {"PUT", "pitch", R"({"value":6})", 400, ""},
        {"PUT", "noise-gate", R"({"value":101})", 400, ""},
        {"PUT", "source", R"({"value":14})", 400, ""},
        {"PUT", "source", R"({"value":4})", 400, ""}, // not offered by this model
        {"PUT", "source", R"({"value":"Radio"})", 400, "value"},
        {"POST", "mode", R"({"load":5})", 400, ""},
        {"POST", "mode", R"({"load":1,"store":2})", 400, "load"},
        {"PUT", "dsp/1/200", R"({"value":1})", 404, ""},
        {"PUT", "dsp/1/14", R"({"value":1000})", 400, ""},
        {"PUT", "eq/0/99", R"({"type":1,"frequency":100,"gain":0,"q":1})", 404, ""},
        {"PUT", "eq/0/1", R"({"type":1,"frequency":5,"gain":0,"q":1})", 400, ""},
        {"PUT", "preset", goodPreset.substr(0, 100), 400, "body"},
        {"PUT", "preset", wrongVersion, 400, ""},
        {"PUT", "levels/mic", std::string(70 * 1024, ' '), 413, "body"},
        {"GET", "nothing", "", 404, ""},
    };
    for (const Case& c : cases) {
        const size_t before = rig.sims[0]->processor.CommandCount();
        const bool binary = c.path == "preset";
        const HttpAnswer answer = rig.Call(
            c.method, "/api/v1/processors/p0/" + c.path, c.body,
            binary
                ? std::map<std::string, std::string>{{"Content-Type", "application/octet-stream"}}
                : std::map<std::string, std::string>{});
        const std::string label = std::string(c.method) + " " + c.path + " " + c.body.substr(0, 40);
        EXPECT_EQ(c.status, answer.status) << label << ": " << answer.body;
        if (answer.status != 413) {
            EXPECT_TRUE(Body(answer).contains("error")) << label;
            if (*c.field) {
                EXPECT_EQ(c.field, Body(answer).value("field", "")) << label;
            }
        }
        EXPECT_EQ(before, rig.sims[0]->processor.CommandCount()) << label << ": nothing sent";
    }
    EXPECT_EQ(404, rig.Call("PUT", "/api/v1/processors/nobody/pitch", R"({"value":1})").status);

    // A name that is not UTF-8 is answered like any unknown one (its bytes
    // replaced in the message), not thrown over.
    fx::ApiRequest request;
    request.method = "GET";
    request.target = "/api/v1/processors/r\xff\xfe~";
    std::promise<fx::ApiResponse> answered;
    rig.router.Handle(request, [&](fx::ApiResponse response) { answered.set_value(response); });
    const fx::ApiResponse answer = answered.get_future().get();
    EXPECT_EQ(404, answer.status);
    EXPECT_FALSE(json::parse(answer.body, nullptr, false).is_discarded()) << answer.body;
}

TEST_F(DaemonApiTest, EventsCarryEveryChangeWithItsOrigin) {
    EventClient events(rig.Port());
    ASSERT_TRUE(events.Connected());
    EXPECT_EQ("ready", json::parse(events.Next(5000))["type"]);

    ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p1/levels/reverb", R"({"value":33})",
                            {{"X-Fxtune-Origin", "web"}})
                       .status);
    const json changed = json::parse(events.Next(5000));
    EXPECT_EQ("changed", changed["type"]);
    EXPECT_EQ("p1", changed["processor"]);
    EXPECT_EQ("web", changed["origin"]);
    EXPECT_EQ(33, changed["state"]["levels"]["reverb"]["value"]);
    ASSERT_FALSE(changed["changes"].empty());
    EXPECT_NE(std::string::npos, changed["changes"][0].get<std::string>().find("Reverb Vol"));

    // The processor's own change (its panel) comes too: a mode loaded there
    // makes it send its memory, which the daemon reads.
    ASSERT_EQ(200, rig.Call("POST", "/api/v1/processors/p2/mode", R"({"load":4})").status);
    bool loaded = false;
    for (int i = 0; i < 5 && !loaded; ++i) {
        const json event = json::parse(events.Next(5000), nullptr, false);
        loaded = event.is_object() && event["type"] == "mode-loaded" && event["mode"] == 4;
    }
    EXPECT_TRUE(loaded);
}

TEST_F(DaemonApiTest, AChangeThroughTheForwardingPortReachesTheEventStream) {
    std::string error;
    ASSERT_TRUE(rig.venue.StartForwarding(0, error)) << error;
    EventClient events(rig.Port());
    ASSERT_EQ("ready", json::parse(events.Next(5000))["type"]);

    // fxtunectl, unchanged, on p1's forwarding port.
    CtlOptions options;
    options.host = "127.0.0.1";
    options.port = rig.venue.ForwardingPortOf(1);
    options.command = "set";
    options.arguments = {"1", "14", "70"};
    CtlResult result = RunCtlCommand(options);
    for (int i = 0; i < 50 && result.status == kExitNoProcessor; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        result = RunCtlCommand(options);
    }
    ASSERT_TRUE(result.ok()) << result.message;

    bool seen = false;
    for (int i = 0; i < 10 && !seen; ++i) {
        const json event = json::parse(events.Next(5000), nullptr, false);
        seen = event.is_object() && event["type"] == "changed" && event["processor"] == "p1" &&
               event["origin"] == "forwarded" && event["state"]["levels"]["mic"]["value"] == 70;
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(70, Body(rig.Call("GET", "/api/v1/processors/p1"))["levels"]["mic"]["value"]);
}

TEST_F(DaemonApiTest, AProcessorGoneMidRequestFailsAloneWhileTheOthersAnswer) {
    // p1 stops answering: its change waits for its time-out (504) while the
    // others' changes are answered at once.
    rig.sims[1]->processor.SetSilent(true);
    const size_t sent = rig.sims[1]->processor.CommandCount();
    auto stuck = std::async(std::launch::async, [&] {
        return rig.Call("PUT", "/api/v1/processors/p1/levels/mic", R"({"value":10})");
    });
    ASSERT_TRUE(rig.sims[1]->processor.WaitForCommandCount(sent + 1, 5000));
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/levels/mic",
                                R"({"value":)" + std::to_string(20 + i) + "}")
                           .status);
        if (stuck.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            const HttpAnswer early = stuck.get();
            FAIL() << "p1 answered before p0's changes: " << early.status << " " << early.body;
        }
    }
    const HttpAnswer timedOut = stuck.get();
    EXPECT_EQ(504, timedOut.status) << timedOut.body;

    // p2 is power-cycled in the middle of a change: 503, then it comes back.
    rig.sims[2]->processor.SetSilent(true);
    const size_t sentToP2 = rig.sims[2]->processor.CommandCount();
    auto cut = std::async(std::launch::async, [&] {
        return rig.Call("PUT", "/api/v1/processors/p2/pitch", R"({"value":2})");
    });
    ASSERT_TRUE(rig.sims[2]->processor.WaitForCommandCount(sentToP2 + 1, 5000));
    rig.sims[2]->server->DropClient();
    EXPECT_EQ(503, cut.get().status);
    ASSERT_TRUE(rig.WaitConnected("p2", false));
    EXPECT_EQ(503, rig.Call("PUT", "/api/v1/processors/p2/pitch", R"({"value":2})").status);
    EXPECT_EQ(200, rig.Call("PUT", "/api/v1/processors/p0/pitch", R"({"value":2})").status);
    rig.sims[2]->processor.SetSilent(false);
    rig.sims[1]->processor.SetSilent(false);
    ASSERT_TRUE(rig.AllConnected());
    EXPECT_EQ(200, rig.Call("PUT", "/api/v1/processors/p2/pitch", R"({"value":2})").status);
    const HttpAnswer offline = rig.Call("GET", "/metrics");
    EXPECT_NE(std::string::npos, offline.body.find("fxtuned_link_faults_total{processor=\"p2\"}"));
}

} // namespace
