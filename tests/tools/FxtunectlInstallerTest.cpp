// The installer's verbs of fxtunectl against simulator processes on
// 127.0.0.1: presets compared in words, measured filters in and out of an
// EQ set, and one command on several processors at once.
#include "ChildProcess.h"

#include "controls/EqModel.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kHeader = 60;

std::string FixturePath(const std::string& name) {
    return std::string(FX_TEST_DATA_DIR) + "/" + name;
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The last "command: 09 00 BB PP 05 ..." for block and parameter in a
// simulator's log, as the five floats it carried.
std::vector<float> LastCoefficients(const std::string& log, int block, int parameter) {
    char head[40];
    std::snprintf(head, sizeof head, "command: 09 00 %02X %02X 05", block, parameter);
    const size_t at = log.rfind(head);
    if (at == std::string::npos) return {};
    std::istringstream bytes(log.substr(at + std::string(head).size(), 3 * 20));
    std::vector<float> values;
    for (int value = 0; value < 5; ++value) {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned byte = 0;
            bytes >> std::hex >> byte;
            bits = (bits << 8) | byte;
        }
        values.push_back(FloatFromBits(bits));
    }
    return values;
}

class FxtunectlInstallerTest : public ::testing::Test {
protected:
    child::Simulator& StartSimulator(std::vector<std::string> args = {}) {
        sims.push_back(std::make_unique<child::Simulator>(std::move(args)));
        EXPECT_GT(sims.back()->Port(), 0);
        return *sims.back();
    }
    static std::vector<std::string> HostOf(const child::Simulator& sim) {
        return {"--host", "127.0.0.1", "--port", sim.PortText()};
    }
    child::Result Ctl(const child::Simulator& sim, std::vector<std::string> args) {
        const std::vector<std::string> host = HostOf(sim);
        args.insert(args.begin(), host.begin(), host.end());
        return child::Run(FXTUNECTL_PATH, args);
    }
    std::string Path(const std::string& name) {
        paths.push_back(child::TempPath(name));
        return paths.back();
    }
    std::string WriteText(const std::string& name, const std::string& text) {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // The processor's whole mode file, read with fxtunectl.
    std::string ReadBack(const child::Simulator& sim) {
        const std::string path = Path("back" + sim.PortText() + ".mode");
        const child::Result read = Ctl(sim, {"read", path});
        EXPECT_EQ(0, read.status) << read.err;
        return child::Slurp(path);
    }
    void TearDown() override {
        sims.clear();
        for (const std::string& path : paths) std::remove(path.c_str());
        rmdir(child::TempPath("").c_str());
    }

    std::vector<std::unique_ptr<child::Simulator>> sims;
    std::vector<std::string> paths;
};

// ---------------------------------------------------------------- diff

TEST_F(FxtunectlInstallerTest, DiffOfTwoFilesNamesTheThreeChangesInBothLanguages) {
    child::Simulator& sim = StartSimulator();
    const std::string original = ReadBack(sim);
    ASSERT_EQ(3410u, original.size());
    std::string changed = original;
    uint8_t* image = reinterpret_cast<uint8_t*>(changed.data()) + kHeader;
    WriteBigEndian32(image + DspRecordValueOffset(7, 15), MsToSamples(5.0));
    WriteBigEndian32(image + DspRecordValueOffset(13, 10), FloatBits(-20.0f));
    EncodeEqBandRecord({3.0, 160, 1.414, EQ_PEQ}, image + EqBandOffset(0, 4));
    const std::string a = WriteText("a.mode", original);
    const std::string b = WriteText("b.mode", changed);

    const child::Result english = child::Run(FXTUNECTL_PATH, {"diff", a, b});
    EXPECT_EQ(1, english.status) << english.err;
    EXPECT_EQ("Mic A EQ band 5: PEQ 160 Hz +0.0 dB Q 1.414 → PEQ 160 Hz +3.0 dB Q 1.414\n"
              "CH 3 delay: 1.33 ms → 5.0 ms\n"
              "Recording compressor threshold: 0 dB → -20 dB\n",
              english.out);
    EXPECT_EQ("", english.err);
    const child::Result chinese = child::Run(FXTUNECTL_PATH, {"--lang", "zh", "diff", a, b});
    EXPECT_EQ(1, chinese.status);
    EXPECT_EQ("话筒A均衡频段5: 参量 160 Hz +0.0 dB Q 1.414 → 参量 160 Hz +3.0 dB Q 1.414\n"
              "通道3延时: 1.33 ms → 5.0 ms\n"
              "录音压限阈值: 0 dB → -20 dB\n",
              chinese.out);

    const child::Result json = child::Run(FXTUNECTL_PATH, {"--json", "diff", a, b});
    EXPECT_EQ(1, json.status);
    EXPECT_NE(std::string::npos,
              json.out.find("{\"name\":\"CH 3 delay\",\"offset\":" +
                            std::to_string(DspRecordValueOffset(7, 15)) +
                            ",\"a\":{\"text\":\"1.33 ms\",\"value\":1.33333333,\"unit\":\"ms\"},"
                            "\"b\":{\"text\":\"5.0 ms\",\"value\":5,\"unit\":\"ms\"}}"))
        << json.out;

    const child::Result same = child::Run(FXTUNECTL_PATH, {"diff", a, a});
    EXPECT_EQ(0, same.status);
    EXPECT_EQ("", same.out);
}

TEST_F(FxtunectlInstallerTest, DiffAgainstTheProcessorAndRefusedFiles) {
    child::Simulator& sim = StartSimulator();
    const std::string file = Path("live.mode");
    ASSERT_EQ(0, Ctl(sim, {"read", file}).status);
    EXPECT_EQ(0, Ctl(sim, {"diff", file}).status);
    ASSERT_EQ(0, Ctl(sim, {"set", "7", "15", "5"}).status);
    const child::Result changed = Ctl(sim, {"diff", file});
    EXPECT_EQ(1, changed.status) << changed.err;
    EXPECT_EQ("CH 3 delay: 1.33 ms → 5.0 ms\n", changed.out);

    const std::string shortFile = WriteText("short.mode", std::string(100, '\x13'));
    const size_t commandsBefore = LinesOf(sim.CommandLog()).size();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"diff", shortFile}, {"diff", file, "/nonexistent/x.mode"}}) {
        const child::Result refused =
            args.size() == 2 ? Ctl(sim, args) : child::Run(FXTUNECTL_PATH, args);
        EXPECT_EQ(5, refused.status) << refused.err;
        EXPECT_EQ(1, CountOf(refused.err, "\n")) << refused.err;
    }
    EXPECT_EQ(commandsBefore, LinesOf(sim.CommandLog()).size()) << "refused before connecting";
}

// ---------------------------------------------------------------- filters

// The measurement export of the fixture: ten PK filters, a preamp line and
// two OFF filters (bands 3 and 8), into Mic A's fifteen bands.
TEST_F(FxtunectlInstallerTest, ImportOfAMeasurementExportSetsBandsAndCoefficients) {
    child::Simulator& sim = StartSimulator();
    const child::Result imported = Ctl(sim, {"eq-import", "0", FixturePath("room-filters.txt")});
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_EQ("Preamp -6.5 dB on line 2 ignored: the EQ has no preamp; lower a level if the "
              "filters need headroom\n"
              "Mic A EQ: 10 filters, 2 bands off, 3 bands flat\n",
              imported.out);
    EXPECT_EQ("", imported.err) << "a comment is no skipped header";

    const std::vector<EqBandRecord> expected = {
        {-7.2, 33, 4.2, 1},   {-4.0, 48, 6.0, 1},  {0, 61, 1.0, EQ_OFF},  {-9.5, 75, 5.1, 1},
        {3.0, 118, 2.5, 1},   {-5.3, 164, 8.0, 1}, {-2.0, 250, 1.414, 1}, {1.0, 390, 3.0, EQ_OFF},
        {-3.5, 1220, 0.9, 1}, {2.5, 3350, 1.2, 1}, {-1.5, 8000, 2.0, 1},  {-4.0, 15500, 0.707, 1},
        {0, 6300, 1.41, 1},   {0, 10000, 1.41, 1}, {0, 16000, 1.41, 1}};
    const std::string memory = ReadBack(sim);
    const std::string log = sim.CommandLog();
    for (int band = 0; band < 15; ++band) {
        const EqBandRecord& want = expected[band];
        uint8_t record[kEqBandRecordSize];
        EncodeEqBandRecord(want, record);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(record), kEqBandRecordSize),
                  memory.substr(kHeader + EqBandOffset(0, band), kEqBandRecordSize))
            << "band record " << band + 1;
        const BiquadCoefficients c =
            ComputeBiquad(want.type, want.frequency, want.gain, want.q, 0.0, 48000.0);
        const std::vector<float> sent = {float(-c.a1), float(-c.a2), float(c.b0), float(c.b1),
                                         float(c.b2)};
        EXPECT_EQ(sent, LastCoefficients(log, 1, 18 + band)) << "coefficients of band " << band + 1;
    }
    // Nothing but Mic A changed.
    const std::string defaults = ReadBack(StartSimulator());
    EXPECT_EQ(defaults.substr(kHeader + 105), memory.substr(kHeader + 105));

    const child::Result exported = Ctl(sim, {"eq-export", "0"});
    ASSERT_EQ(0, exported.status) << exported.err;
    const std::vector<std::string> lines = LinesOf(exported.out);
    ASSERT_EQ(15u, lines.size());
    EXPECT_EQ("Filter 1: ON PK Fc 33 Hz Gain -7.2 dB Q 4.20", lines[0]);
    EXPECT_EQ("Filter 15: ON PK Fc 16000 Hz Gain 0.0 dB Q 1.41", lines[14]);
}

// A room-measurement export with its whole header into CH1: bands 1, 2, 4, 5
// and 7 are set, 3 and 6 (OFF lines) are left off, as are the slots past them.
TEST_F(FxtunectlInstallerTest, ImportOfAnExportWithItsHeaderLeavesTheOffBandsOff) {
    child::Simulator& sim = StartSimulator();
    const child::Result imported =
        Ctl(sim, {"eq-import", "7", FixturePath("measurement-export.txt")});
    ASSERT_EQ(0, imported.status) << imported.err;
    EXPECT_EQ(FixturePath("measurement-export.txt") + ": 6 lines that are no filter skipped\n",
              imported.err);
    EXPECT_TRUE(imported.out.find("Preamp -5.5 dB on line 11 ignored") != std::string::npos)
        << imported.out;
    EXPECT_TRUE(imported.out.find("CH 1 EQ: 5 filters, 5 bands off, 0 bands flat\n") !=
                std::string::npos)
        << imported.out;

    const std::string memory = ReadBack(sim);
    auto band = [&](int number) {
        return DecodeEqBandRecord(reinterpret_cast<const uint8_t*>(memory.data()) + kHeader +
                                  EqBandOffset(7, number - 1));
    };
    const struct {
        int number;
        EqBandRecord record;
    } applied[] = {{1, {-6.0, 45, 5.0, EQ_PEQ}},
                   {2, {3.0, 80, 0.707, EQ_LS}},
                   {4, {-2.5, 1250, 4.323, EQ_PEQ}},
                   {5, {-1.5, 8000, 0.71, EQ_HS}},
                   {7, {-15.0, 120, 12.0, EQ_PEQ}}};
    for (const auto& a : applied) {
        const EqBandRecord got = band(a.number);
        EXPECT_EQ(a.record.type, got.type) << "band " << a.number;
        EXPECT_DOUBLE_EQ(a.record.frequency, got.frequency) << "band " << a.number;
        EXPECT_NEAR(a.record.gain, got.gain, 1e-6) << "band " << a.number;
        EXPECT_NEAR(a.record.q, got.q, 1e-6) << "band " << a.number;
    }
    for (int off : {3, 6, 8, 9, 10}) EXPECT_EQ(EQ_OFF, band(off).type) << "band " << off;

    // Exported and imported again, the bands come back byte for byte.
    const child::Result exported = Ctl(sim, {"eq-export", "7"});
    ASSERT_EQ(0, exported.status) << exported.err;
    const std::string path = child::TempPath("ch1-export.txt");
    std::ofstream(path) << exported.out;
    ASSERT_EQ(0, Ctl(sim, {"eq-import", "7", path}).status);
    std::remove(path.c_str());
    const std::string reimported = ReadBack(sim);
    EXPECT_EQ(memory.substr(kHeader + EqBandOffset(7, 0), 10 * kEqBandRecordSize),
              reimported.substr(kHeader + EqBandOffset(7, 0), 10 * kEqBandRecordSize));
}

TEST_F(FxtunectlInstallerTest, RefusedFilterFilesSendNothing) {
    struct Case {
        const char* name;
        std::vector<std::string> args; // FILE stands for the text below
        std::string text;
        int status;
        const char* err;
    };
    const std::string sixFilters = "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\n"
                                   "Filter 2: ON PK Fc 200 Hz Gain 1 dB Q 1\n"
                                   "Filter 3: ON PK Fc 300 Hz Gain 1 dB Q 1\n"
                                   "Filter 4: ON PK Fc 400 Hz Gain 1 dB Q 1\n"
                                   "# the fifth is off\n"
                                   "Filter 5: OFF PK Fc 500 Hz Gain 1 dB Q 1\n"
                                   "Filter 6: ON PK Fc 600 Hz Gain 1 dB Q 1\n"
                                   "Filter 7: ON PK Fc 700 Hz Gain 1 dB Q 1\n";
    const Case cases[] = {
        {"MoreFiltersThanBands",
         {"eq-import", "15", "FILE"},
         sixFilters,
         2,
         "line 7: Filter 6 is past the 5 bands of the EQ set"},
        {"NoEquivalentType",
         {"eq-import", "3", "FILE"},
         "\nFilter 1: ON BP Fc 100 Hz Q 1\n",
         2,
         "line 2: type BP has no equivalent on the processor"},
        {"GainOutsideTheLimits",
         {"eq-import", "7", "FILE"},
         "Filter 1: ON LS Fc 60 Hz Gain 18 dB",
         2,
         "line 1: Gain 18 dB is outside -15..+15 dB"},
        {"QOutsideTheLimits",
         {"eq-import", "7", "FILE"},
         "Filter 1: ON HSC Fc 6000 Hz Gain 1 dB Q 2.5",
         2,
         "line 1: Q 2.5 is outside 0.1..2 for HSC"},
        {"NoFilterLine",
         {"eq-import", "7", "FILE"},
         "Equaliser: Generic\nPreamp: -3 dB\n",
         5,
         "no filter line in it"},
        {"SetOutOfRange", {"eq-import", "16", "FILE"}, "", 2, "SET is 0..15"},
        {"MissingFile", {"eq-import", "0", "/nonexistent/filters.txt"}, "", 5, "filters.txt"},
        {"ExportSetOutOfRange", {"eq-export", "x"}, "", 2, "SET is 0..15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        child::Simulator& sim = StartSimulator();
        std::vector<std::string> args = c.args;
        for (std::string& arg : args)
            if (arg == "FILE") arg = WriteText(std::string(c.name) + ".txt", c.text);
        const child::Result result = Ctl(sim, args);
        EXPECT_EQ(c.status, result.status) << result.err;
        EXPECT_EQ(1, CountOf(result.err, "\n")) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(c.err)) << result.err;
        EXPECT_EQ("", sim.CommandLog()) << "nothing sent";
    }
}

// ---------------------------------------------------------------- several processors

TEST_F(FxtunectlInstallerTest, WriteToTwoProcessorsLeavesBothHoldingTheFile) {
    child::Simulator& first = StartSimulator();
    child::Simulator& second = StartSimulator();
    std::string bytes = ReadBack(first);
    uint8_t* image = reinterpret_cast<uint8_t*>(bytes.data()) + kHeader;
    WriteBigEndian32(image + DspRecordValueOffset(7, 15), MsToSamples(5.0));
    EncodeEqBandRecord({-3.0, 1250, 2.5, EQ_PEQ}, image + EqBandOffset(7, 3));
    const std::string file = WriteText("m3 hall.mode", bytes);

    std::vector<std::string> args = HostOf(first);
    const std::vector<std::string> other = HostOf(second);
    args.insert(args.end(), other.begin(), other.end());
    args.insert(args.end(), {"write", file});
    const child::Result result = child::Run(FXTUNECTL_PATH, args);
    EXPECT_EQ(0, result.status) << result.err;
    std::vector<std::string> lines = LinesOf(result.out);
    std::vector<std::string> expected = {"127.0.0.1:" + first.PortText() + ": stored into M3",
                                         "127.0.0.1:" + second.PortText() + ": stored into M3"};
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, lines) << "the two runs' lines, in the order they came";
    for (child::Simulator* sim : {&first, &second}) {
        EXPECT_TRUE(bytes.substr(kHeader) == ReadBack(*sim).substr(kHeader))
            << "processor at " << sim->PortText();
    }
}

// A processor busy with another host, and one that refuses the connection.
TEST_F(FxtunectlInstallerTest, ARefusingProcessorGivesItsStatusAndTheOtherIsStillWritten) {
    struct Case {
        const char* refusal;
        const char* error;
    };
    for (const Case& c : {Case{"--refuse", "the processor is connected to another host"},
                          Case{"--refuse-connect", "no processor at 127.0.0.1:"}}) {
        SCOPED_TRACE(c.refusal);
        child::Simulator& good = StartSimulator();
        child::Simulator& refusing = StartSimulator({c.refusal});
        std::string bytes = ReadBack(good);
        WriteBigEndian32(reinterpret_cast<uint8_t*>(bytes.data()) + kHeader +
                             DspRecordValueOffset(12, 17),
                         PercentToStored(35));
        const std::string file = WriteText("venue.mode", bytes);

        std::vector<std::string> args = HostOf(refusing);
        const std::vector<std::string> other = HostOf(good);
        args.insert(args.end(), other.begin(), other.end());
        args.insert(args.end(), {"write", file});
        const child::Result result = child::Run(FXTUNECTL_PATH, args);
        EXPECT_EQ(3, result.status);
        EXPECT_EQ("127.0.0.1:" + refusing.PortText() + ": fxtunectl: " + c.error,
                  result.err.substr(0, result.err.find(c.error) + std::strlen(c.error)));
        EXPECT_EQ(1, CountOf(result.err, "\n")) << result.err;
        EXPECT_TRUE(bytes.substr(kHeader) == ReadBack(good).substr(kHeader));

        // The same as JSON for scripts: one object, each processor's status and error.
        args.insert(args.begin(), "--json");
        const child::Result json = child::Run(FXTUNECTL_PATH, args);
        EXPECT_EQ(3, json.status);
        EXPECT_EQ(0u, json.out.find("{\"status\":3,\"hosts\":[")) << json.out;
        EXPECT_NE(std::string::npos,
                  json.out.find("{\"address\":\"127.0.0.1\",\"port\":" + refusing.PortText() +
                                ",\"status\":3,\"output\":[],\"error\":\"" + c.error))
            << json.out;
        EXPECT_NE(std::string::npos,
                  json.out.find("{\"address\":\"127.0.0.1\",\"port\":" + good.PortText() +
                                ",\"status\":0,\"output\":[]}"))
            << json.out;
    }
}

// A file saved from several processors would hold only the last one's:
// refused before either is contacted, as read and remote save are.
TEST_F(FxtunectlInstallerTest, SavingOneFileFromSeveralProcessorsIsRefusedWithNothingSent) {
    child::Simulator& first = StartSimulator();
    child::Simulator& second = StartSimulator();
    const child::RefusedLine cases[] = {
        {{"auto-eq", "7", FixturePath("room-filters.txt"), "--export", Path("predicted.txt")},
         "auto-eq --export saves one processor's file: give one --host"},
        {{"read", Path("both.mode")}, "read saves one processor's file: give one --host"},
        {{"remote", "save", Path("both.remo")},
         "remote saves one processor's file: give one --host"},
    };
    for (const child::RefusedLine& c : cases) {
        std::vector<std::string> args = HostOf(first);
        const std::vector<std::string> other = HostOf(second);
        args.insert(args.end(), other.begin(), other.end());
        args.insert(args.end(), c.args.begin(), c.args.end());
        const child::Result result = child::Run(FXTUNECTL_PATH, args);
        EXPECT_EQ(2, result.status) << c.message;
        EXPECT_EQ("fxtunectl: " + c.message + " (fxtunectl --help shows the usage)\n", result.err);
        EXPECT_EQ("", first.CommandLog()) << c.message;
        EXPECT_EQ("", second.CommandLog()) << c.message;
    }
    EXPECT_FALSE(std::ifstream(Path("predicted.txt")).good()) << "no file written";
}

// --json dump: the dump's object, for one processor as for each of several.
TEST_F(FxtunectlInstallerTest, JsonDumpIsOneObjectPerProcessor) {
    child::Simulator& first = StartSimulator();
    child::Simulator& second = StartSimulator();
    const child::Result one = Ctl(first, {"--json", "dump"});
    ASSERT_EQ(0, one.status) << one.err;
    EXPECT_EQ(0u, one.out.find("{\n \"identity\":{\"module\":\"ARN63\"")) << one.out.substr(0, 80);
    EXPECT_EQ(one.out, Ctl(first, {"dump"}).out) << "the same object with or without --json";

    std::vector<std::string> args = {"--json"};
    for (child::Simulator* sim : {&first, &second}) {
        const std::vector<std::string> host = HostOf(*sim);
        args.insert(args.end(), host.begin(), host.end());
    }
    args.push_back("dump");
    const child::Result both = child::Run(FXTUNECTL_PATH, args);
    ASSERT_EQ(0, both.status) << both.err;
    EXPECT_EQ(0u, both.out.find("{\"status\":0,\"hosts\":[")) << both.out.substr(0, 80);
    EXPECT_EQ(2, CountOf(both.out, "\"status\":0,\"result\":{\n \"identity\":"));
    EXPECT_EQ(0, CountOf(both.out, "\"output\"")) << "no dump as lines of text";
    EXPECT_EQ(2, CountOf(both.out, "\"eq\":[")) << "each dump whole";
}

TEST_F(FxtunectlInstallerTest, InfoAndGetAsJson) {
    child::Simulator& first = StartSimulator();
    child::Simulator& second = StartSimulator({"--module", "XYZ9"});
    const child::Result get = Ctl(first, {"--json", "get", "1", "14"});
    EXPECT_EQ(0, get.status) << get.err;
    EXPECT_EQ("{\"block\":1,\"parameter\":14,\"name\":\"Mic Vol\",\"value\":50,\"text\":\"50 %\","
              "\"unit\":\"%\"}\n",
              get.out);

    std::vector<std::string> args = {"--json"};
    for (child::Simulator* sim : {&first, &second}) {
        const std::vector<std::string> host = HostOf(*sim);
        args.insert(args.end(), host.begin(), host.end());
    }
    args.push_back("info");
    const child::Result info = child::Run(FXTUNECTL_PATH, args);
    EXPECT_EQ(4, info.status) << "the unsupported model's status";
    EXPECT_NE(std::string::npos,
              info.out.find("\"status\":0,\"result\":{\"module\":\"ARN63\",\"commandSetVersion\":19"
                            ",\"mcuVersion\":"))
        << info.out;
    EXPECT_NE(std::string::npos, info.out.find("\"status\":4,\"result\":{\"module\":\"XYZ9\""))
        << info.out;
    EXPECT_NE(std::string::npos, info.out.find("\"compatible\":false,\"currentMode\":null}"))
        << info.out;
}

TEST(FxtunectlInstallerCommandLine, RefusedBeforeAnyProcessorIsContacted) {
    struct Case {
        std::vector<std::string> args;
        const char* err;
    };
    const Case cases[] = {
        {{"--host", "127.0.0.1", "--port", "1", "--port", "2", "info"}, "--port given twice"},
        {{"--host", "127.0.0.1", "--host", "127.0.0.1", "info"}, "127.0.0.1:30303 given twice"},
        {{"--host", "127.0.0.1", "diff", "a.mode", "b.mode"}, "needs no --host or --usb"},
        {{"--host", "127.0.0.1", "--json", "write", "a.mode"}, "--json goes with"},
        {{"--lang", "fr", "diff", "a.mode", "b.mode"}, "--lang is zh or en"},
        {{"--host", "127.0.0.1", "--port", "1", "--host", "127.0.0.2", "read", "a.mode"},
         "read saves one processor's file"},
        {{"--host", "127.0.0.1", "--port", "1", "--host", "127.0.0.2", "remote", "save", "a.remo"},
         "remote saves one processor's file"},
        {{"--host", "127.0.0.1", "--port", "1", "--host", "127.0.0.2", "eq-import", "0",
          "/nonexistent/filters.txt"},
         "fxtunectl: "},
        {{"--host", "127.0.0.1", "--port", "1", "--host", "127.0.0.2", "get", "1", "x"},
         "BLOCK and PARAM"},
    };
    for (const Case& c : cases) {
        const child::Result result = child::Run(FXTUNECTL_PATH, c.args);
        EXPECT_NE(0, result.status) << c.err;
        EXPECT_EQ(1, CountOf(result.err, "\n")) << result.err;
        EXPECT_EQ(0u, result.err.find("fxtunectl: ")) << result.err << " (once, unprefixed)";
        EXPECT_NE(std::string::npos, result.err.find(c.err)) << result.err;
    }
}

} // namespace
