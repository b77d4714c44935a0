// fxtunectl refuses bad input before anything reaches the processor: files
// that are no mode files, save targets it must not replace.
#include "ChildProcess.h"
#include "Unprivileged.h"

#include "sim/SimProcessor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr int kFileSize = 3410;
constexpr int kHeader = 60;
// Every refusal answers well within a second; a case still running after
// the limit is killed so the test cannot hang.
constexpr auto kNoHang = std::chrono::seconds(1);
constexpr int kKillAfterMs = 10000;
constexpr const char* kSetpriv = "/usr/bin/setpriv";

std::string ValidModeFile() {
    std::string bytes(kHeader, '\0');
    bytes[0] = 19;
    std::memcpy(bytes.data() + 4, "ARN63", 5);
    const auto& image = SimProcessor::DefaultImage();
    bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
    return bytes;
}

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class FxtunectlInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<child::Simulator>(std::vector<std::string>{});
        ASSERT_GT(sim->Port(), 0);
        // Reachable by the unprivileged user some cases run as.
        folder = fs::temp_directory_path() /
                 ("fxtunectl_input_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::all);
    }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.symlink_status().type() == fs::file_type::directory)
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }

    struct Timed {
        child::Result result;
        bool quick = false;
    };
    // fxtunectl against the simulator; as "nobody" when unprivileged (the
    // superuser is not bound by the permissions under test).
    Timed Ctl(std::vector<std::string> args, bool unprivileged = false) {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", sim->PortText()});
        std::string program = FXTUNECTL_PATH;
        if (unprivileged && unprivileged::IsRoot()) {
            unprivileged::GiveAway(folder);
            args.insert(args.begin(),
                        {"--reuid=65534", "--regid=65534", "--clear-groups", program});
            program = kSetpriv;
        }
        const auto start = std::chrono::steady_clock::now();
        Timed timed{child::Run(program, args, kKillAfterMs)};
        timed.quick = std::chrono::steady_clock::now() - start < kNoHang;
        return timed;
    }
    bool CanDropPrivileges() const {
        return !unprivileged::IsRoot() || access(kSetpriv, X_OK) == 0;
    }

    std::unique_ptr<child::Simulator> sim;
    fs::path folder;
};

struct FileCase {
    const char* name;
    std::function<fs::path(const fs::path&)> make;
    std::string message; // "@" stands for the path
    bool unprivileged = false;
};

std::string WithPath(std::string text, const fs::path& path) {
    const size_t at = text.find('@');
    return at == std::string::npos ? text : text.replace(at, 1, path.string());
}

std::function<fs::path(const fs::path&)> FileOf(const std::string& bytes) {
    return [bytes](const fs::path& f) {
        Put(f / "m2 preset.mode", bytes);
        return f / "m2 preset.mode";
    };
}

// Anything but a mode file: exit 5, one line naming the reason, nothing sent.
TEST_F(FxtunectlInputTest, WriteRefusesAnythingButAModeFile) {
    const std::string valid = ValidModeFile();
    std::string version17 = valid;
    version17[0] = 17;
    std::string randomAfterHeader = valid.substr(0, kHeader);
    std::mt19937 random(7);
    while (randomAfterHeader.size() < static_cast<size_t>(kFileSize))
        randomAfterHeader.push_back(static_cast<char>(random()));
    const std::string notMode = "@: not a mode file (";
    const FileCase cases[] = {
        {"empty", FileOf(""), notMode + "0 bytes, 3410 expected)"},
        {"3409 bytes", FileOf(valid.substr(0, kFileSize - 1)),
         notMode + "3409 bytes, 3410 expected)"},
        {"3411 bytes", FileOf(valid + '\0'), notMode + "3411 bytes, 3410 expected)"},
        {"5000 bytes", FileOf(valid + std::string(1590, 'x')),
         notMode + "5000 bytes, 3410 expected)"},
        {"version 17", FileOf(version17), "@: mode file version 17 not supported (19 needed)"},
        {"0xFF over bytes 100..119", FileOf([&] {
             std::string b = valid;
             std::fill(b.begin() + kHeader + 100, b.begin() + kHeader + 120, '\xFF');
             return b;
         }()),
         "@: value out of range: Mic A EQ band 15 type 255 (0..21)"},
        {"random after a version-19 header", FileOf(randomAfterHeader),
         notMode + "its DSP records break off at image offset 1254)"},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "m1.mode");
             return f / "m1.mode";
         },
         notMode + "a folder, not a regular file)"},
        {"FIFO without a writer",
         [](const fs::path& f) {
             mkfifo((f / "m1 fifo.mode").c_str(), 0644);
             return f / "m1 fifo.mode";
         },
         notMode + "a FIFO, not a regular file)"},
        {"missing", [](const fs::path& f) { return f / "m1 missing.mode"; },
         "cannot open @: No such file or directory"},
        {"unreadable",
         [&](const fs::path& f) {
             Put(f / "m1 secret.mode", valid);
             fs::permissions(f / "m1 secret.mode", fs::perms::owner_write);
             return f / "m1 secret.mode";
         },
         "cannot open @: Permission denied", true},
    };
    for (const FileCase& c : cases) {
        if (c.unprivileged && !CanDropPrivileges()) {
            std::printf("skipped \"%s\": cannot run as an unprivileged user here\n", c.name);
            continue;
        }
        const fs::path path = c.make(folder);
        const Timed run = Ctl({"write", path.string()}, c.unprivileged);
        EXPECT_EQ(5, run.result.status) << c.name;
        EXPECT_EQ("fxtunectl: " + WithPath(c.message, path) + "\n", run.result.err) << c.name;
        EXPECT_TRUE(run.quick) << c.name;
        EXPECT_EQ("", sim->CommandLog()) << c.name << ": nothing may be sent";
    }
    EXPECT_TRUE(fs::is_fifo(folder / "m1 fifo.mode"));
}

// Saving the processor's image: a target that may not be replaced is refused
// with one sentence naming the cause and exit 1 before anything is sent. A
// write-protected file is refused for the superuser too.
TEST_F(FxtunectlInputTest, ReadRefusesSaveTargetsItMustNotReplace) {
    const std::string old(kFileSize, 'o');
    auto locked = [&](const std::string& name) {
        return [&, name](const fs::path& f) {
            Put(f / name, old);
            fs::permissions(f / name,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            return f / name;
        };
    };
    const FileCase cases[] = {
        {"0444 file", locked("locked.mode"), "can't write to @: it is write-protected", true},
        {"0444 file, as whoever runs the test", locked("mine.mode"),
         "can't write to @: it is write-protected"},
        {"read-only folder",
         [&](const fs::path& f) {
             fs::create_directory(f / "ro");
             Put(f / "ro" / "in.mode", old);
             fs::permissions(f / "ro", fs::perms::owner_read | fs::perms::owner_exec);
             return f / "ro" / "in.mode";
         },
         "can't write to @: the folder " + (folder / "ro").string() + " is write-protected", true},
        {"FIFO",
         [](const fs::path& f) {
             mkfifo((f / "pipe.mode").c_str(), 0644);
             return f / "pipe.mode";
         },
         "can't write to @: it is a FIFO, not a regular file"},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "dir.mode");
             return f / "dir.mode";
         },
         "can't write to @: it is a folder, not a regular file"},
        {"missing folder", [](const fs::path& f) { return f / "no" / "such.mode"; },
         "can't write to @: the folder " + (folder / "no").string() + " does not exist"},
    };
    for (const FileCase& c : cases) {
        if (c.unprivileged && !CanDropPrivileges()) {
            std::printf("skipped \"%s\": cannot run as an unprivileged user here\n", c.name);
            continue;
        }
        const fs::path path = c.make(folder);
        const Timed run = Ctl({"read", path.string()}, c.unprivileged);
        EXPECT_EQ(1, run.result.status) << c.name;
        EXPECT_EQ("fxtunectl: " + WithPath(c.message, path) + "\n", run.result.err) << c.name;
        EXPECT_TRUE(run.quick) << c.name;
        EXPECT_EQ("", sim->CommandLog()) << c.name << ": nothing may be sent";
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(old, child::Slurp(path)) << c.name;
        }
    }
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.mode"));
    EXPECT_TRUE(fs::is_empty(folder / "dir.mode"));
    EXPECT_FALSE(fs::exists(folder / "no"));
}

TEST_F(FxtunectlInputTest, ReadThroughASymbolicLinkReplacesItsTarget) {
    fs::create_directory(folder / "presets");
    Put(folder / "presets" / "live.mode", "old");
    fs::create_symlink("presets/live.mode", folder / "current.mode");
    const Timed run = Ctl({"read", (folder / "current.mode").string()});
    ASSERT_EQ(0, run.result.status) << run.result.err;
    EXPECT_TRUE(fs::is_symlink(folder / "current.mode"));
    EXPECT_EQ(ValidModeFile().substr(kHeader),
              child::Slurp(folder / "presets" / "live.mode").substr(kHeader));
    EXPECT_EQ(1,
              std::distance(fs::directory_iterator(folder / "presets"), fs::directory_iterator{}));
}

// Values no page could give are refused with the range they break: exit 2,
// one line, and not a frame reaches the processor.
TEST_F(FxtunectlInputTest, SetAndEqRefuseValuesOutsideTheirPagesRanges) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"set", "1", "14", "100000"},
         "VALUE of block 1 parameter 14 is a whole number 0..99, not 100000"},
        {{"set", "1", "14", "1e300"},
         "VALUE of block 1 parameter 14 is a whole number 0..99, not 1e+300"},
        {{"set", "1", "14", "-1"}, "VALUE of block 1 parameter 14 is a whole number 0..99, not -1"},
        {{"set", "1", "14", "60.5"},
         "VALUE of block 1 parameter 14 is a whole number 0..99, not 60.5"},
        {{"set", "1", "15", "50"}, "VALUE of block 1 parameter 15 is 0 or 100, not 50"},
        {{"set", "1", "33", "2"}, "VALUE of block 1 parameter 33 is a whole number 0..1, not 2"},
        {{"set", "2", "11", "100"}, "VALUE of block 2 parameter 11 is 160..260 ms, not 100"},
        {{"set", "4", "40", "301"},
         "VALUE of block 4 parameter 40 is a whole number 0..300, not 301"},
        {{"set", "9", "21", "500"},
         "VALUE of block 9 parameter 21 is a whole number 0..100, not 500"},
        {{"set", "10", "21", "501"},
         "VALUE of block 10 parameter 21 is a whole number 0..500, not 501"},
        {{"set", "14", "0", "1e300"}, "VALUE of block 14 parameter 0 is 70..450 Hz, not 1e+300"},
        {{"set", "1", "14", "nan"}, "VALUE is a number: nan"},
        {{"eq", "6", "1", "1", "1000", "1e300", "1"}, "GAIN of type 1 is -15..15 dB, not 1e+300"},
        {{"eq", "6", "1", "1", "1000", "3", "1e-300"}, "Q of type 1 is 0.1..30, not 1e-300"},
        {{"eq", "6", "1", "1", "1000", "3", "31"}, "Q of type 1 is 0.1..30, not 31"},
        {{"eq", "6", "1", "1", "19", "3", "1"}, "FREQ of type 1 is 20..20000 Hz, not 19"},
        {{"eq", "6", "1", "1", "20001", "3", "1"}, "FREQ of type 1 is 20..20000 Hz, not 20001"},
        {{"eq", "6", "1", "2", "1000", "3", "0.707"}, "GAIN of type 2 is 0 dB, not 3"},
        {{"eq", "6", "1", "4", "1000", "3", "2.5"}, "Q of type 4 is 0.1..2, not 2.5"},
    };
    for (const Case& c : cases) {
        const Timed run = Ctl(c.args);
        const std::string name = c.args[0] + " " + c.args[1] + " " + c.args[2] + " " + c.args[3];
        EXPECT_EQ(2, run.result.status) << name;
        EXPECT_EQ("fxtunectl: " + c.message + "\n", run.result.err) << name;
    }
    EXPECT_EQ("", sim->CommandLog()) << "nothing may be sent";
}

// The widest ends the pages allow are taken and sent as given.
TEST_F(FxtunectlInputTest, SetAndEqTakeTheEndsOfTheirRanges) {
    ASSERT_EQ(0, Ctl({"set", "10", "21", "500"}).result.status);
    ASSERT_EQ(0, Ctl({"eq", "6", "1", "1", "20000", "-15", "30"}).result.status);
    const std::string log = sim->CommandLog();
    EXPECT_NE(std::string::npos, log.find("command: 09 00 0A 15 01 40 A0 00 00")) << "5.0";
    // Band record: gain word 0 (-15 dB), 20000 Hz, Q word 30000, PEQ.
    EXPECT_NE(std::string::npos, log.find("00 00 4E 20 75 30 01")) << log;
}

} // namespace
