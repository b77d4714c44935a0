#include "StateTestSupport.h"
#include "Unprivileged.h"

#include "modefile/ModeFile.h"
#include "state/DeviceIdentity.h"
#include "state/ImageValueCheck.h"
#include "state/MachineModes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kInputSource = 1849;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ImageBytes() {
    return {g_ParamImage(), g_ParamImage() + kImageSize};
}

class ModeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDeviceState();
        folder = fs::temp_directory_path() /
                 ("modefile_test_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        SetTestIdentity("ARN63", 19);
    }
    void TearDown() override {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
        ResetDeviceState();
    }

    // A valid file whose image differs from the default image in every byte
    // that can change and still hold a value some page could give.
    std::vector<uint8_t> ValidFile(uint8_t inputSource = 1) {
        std::vector<uint8_t> file(kModeFileSize, 0);
        file[0] = 19;
        std::memcpy(file.data() + 4, "ARN70", 5);
        const std::vector<uint8_t>& image = VariedImage();
        std::copy(image.begin(), image.end(), file.begin() + 60);
        file[60 + kInputSource] = inputSource;
        return file;
    }
    // The default image with the lowest bit of every byte flipped where the
    // image stays possible (fx::FirstImpossibleValue) and the record heads stay.
    static const std::vector<uint8_t>& VariedImage() {
        static const std::vector<uint8_t> varied = [] {
            const auto defaults = DefaultImageBytes();
            std::vector<uint8_t> image(defaults.begin(), defaults.end());
            for (int i = 0; i < kImageSize; ++i) {
                image[i] ^= 0x01;
                PutDefaultRecordHeads(image.data());
                if (!fx::FirstImpossibleValue(image.data()).empty()) image[i] ^= 0x01;
            }
            return image;
        }();
        return varied;
    }

    fs::path folder;
    RecordingJobUi ui{1, true};
};

TEST_F(ModeFileTest, SavedFileLayout) {
    g_Identity().commandSetVersion = 0x01020313; // shows the byte order
    std::strcpy(g_Identity().firstVersion, "2019-06-18");
    std::strcpy(g_Identity().secondVersion, "2019-07-02");
    for (int i = 0; i < kImageSize; ++i) g_ParamImage()[i] = static_cast<uint8_t>(i * 13);
    for (int i = 0; i < kPanelSize; ++i) g_PanelImage()[i] = static_cast<uint8_t>(255 - i);
    const fs::path path = folder / "preset.mode";

    ASSERT_TRUE(SaveModeFile(path.string()));

    const auto file = ReadFile(path);
    ASSERT_EQ(3410u, file.size());
    EXPECT_EQ((std::vector<uint8_t>{0x13, 0x03, 0x02, 0x01}),
              std::vector<uint8_t>(file.begin(), file.begin() + 4));
    EXPECT_EQ(0, std::memcmp(file.data() + 4, "ARN63\0\0\0", 8));
    EXPECT_TRUE(std::all_of(file.begin() + 9, file.begin() + 36, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(0, std::memcmp(file.data() + 36, "2019-06-18", 11));
    EXPECT_EQ(0, std::memcmp(file.data() + 47, "2019-07-02", 11));
    EXPECT_EQ(0, file[58]);
    EXPECT_EQ(0, file[59]);
    for (int i = 0; i < kImageSize; ++i) {
        const uint8_t expected =
            i < kPanelSize ? static_cast<uint8_t>(255 - i) : static_cast<uint8_t>(i * 13);
        ASSERT_EQ(expected, file[60 + i]) << "image byte " << i;
    }
    EXPECT_EQ(0, std::memcmp(g_ParamImage(), g_PanelImage(), kPanelSize))
        << "panel copied into image";
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(folder), fs::directory_iterator{}))
        << "no temporary file left behind";
}

TEST_F(ModeFileTest, SaveThenLoadRestoresTheImage) {
    std::copy(VariedImage().begin(), VariedImage().end(), g_ParamImage());
    g_ParamImage()[kInputSource] = 3;
    RefreshFromImage();
    const auto saved = ImageBytes();
    const fs::path path = folder / "round.mode";
    ASSERT_TRUE(SaveModeFile(path.string()));
    BuildDefaultImage();
    ASSERT_TRUE(LoadModeFile(path.string()));
    EXPECT_EQ(saved, ImageBytes());
    EXPECT_EQ(0, std::memcmp(g_PanelImage(), g_ParamImage(), kPanelSize)) << "refreshed";
}

TEST_F(ModeFileTest, RefusedFilesLeaveTheImageUntouched) {
    auto version17 = ValidFile();
    version17[0] = 17;
    auto version19BigEndian = ValidFile();
    version19BigEndian[0] = 0;
    version19BigEndian[3] = 19;
    const auto valid = ValidFile();
    const std::vector<uint8_t> hundredBytes(valid.begin(), valid.begin() + 100);
    const std::vector<uint8_t> oneShort(valid.begin(), valid.end() - 1);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"version 17", version17},
        {"big-endian 19", version19BigEndian},
        {"100 bytes", hundredBytes},
        {"3409 bytes", oneShort},
        {"empty", {}},
    };
    const auto before = ImageBytes();
    for (const auto& [name, bytes] : cases) {
        const fs::path path = folder / "bad.mode";
        WriteFile(path, bytes);
        EXPECT_FALSE(LoadModeFile(path.string())) << name;
        EXPECT_EQ(before, ImageBytes()) << name;
    }
    EXPECT_FALSE(LoadModeFile((folder / "missing.mode").string()));
    EXPECT_FALSE(LoadModeFile(folder.string())) << "a folder is no file";
    EXPECT_EQ(before, ImageBytes());
}

TEST_F(ModeFileTest, LoadAcceptsAnyModelAndClampsTheInputSourceToTheLoadingModel) {
    struct Case {
        const char* model;
        uint8_t in, out;
    };
    const Case cases[] = {
        {"ARN63", 7, 0}, {"ARN52", 7, 11}, {"BRK63", 7, 3}, {"XYZ", 7, 7}, {"ARN41", 8, 8},
    };
    for (const Case& c : cases) {
        SetTestIdentity(c.model, 19);
        const auto file = ValidFile(c.in);
        const fs::path path = folder / "clamp.mode";
        WriteFile(path, file);
        ASSERT_TRUE(LoadModeFile(path.string())) << c.model;
        EXPECT_EQ(c.out, g_ParamImage()[kInputSource]) << c.model;
        EXPECT_EQ(0, std::memcmp(g_ParamImage(), file.data() + 60, kInputSource));
        EXPECT_STREQ(c.model, g_Identity().moduleName) << "the file's identity is not taken over";
    }
}

TEST_F(ModeFileTest, PendingStoreModeFromTheFileName) {
    const std::pair<const char*, int> cases[] = {
        {"m3 live.mode", 2}, {"/some/folder/m1.mode", 0}, {"m4", 3},       {"m2.backup.mode", 1},
        {"M3.mode", -1},     {"live m3.mode", -1},        {"m5.mode", -1}, {"m0.mode", -1},
        {"m.mode", -1},      {"/m3folder/live.mode", -1}, {"", -1},        {".mode", -1},
    };
    for (const auto& [name, mode] : cases)
        EXPECT_EQ(mode, PendingStoreModeFromFileName(name)) << name;
}

// The save that fails half way (the file system refuses more bytes) must not
// cost the preset that was there.
TEST_F(ModeFileTest, FailedSaveKeepsTheExistingFile) {
    const fs::path path = folder / "keep.mode";
    const std::vector<uint8_t> existing(kModeFileSize, 0xAB);
    WriteFile(path, existing);

    rlimit saved{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const bool ok = SaveModeFile(path.string());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(existing, ReadFile(path));
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ("Can't write to file", ui.messages[0].caption);
    EXPECT_EQ(MessageIcon::Warning, ui.lastIcon);
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(folder), fs::directory_iterator{}))
        << "the temporary file is removed";
}

// Runs SaveModeFile as a user without write permission (the superuser's
// writes are not bound by permissions). Returns whether the save succeeded
// and the message box text ("" when none).
std::pair<bool, std::string> SaveWithoutWritePermission(const std::string& path,
                                                        RecordingJobUi& ui) {
    const auto outcome = unprivileged::Run([&] {
        const bool ok = SaveModeFile(path);
        return std::string(ok ? "1" : "0") + (ui.messages.empty() ? "" : ui.messages.back().text);
    });
    if (!outcome || outcome->empty()) return {true, "could not run as an unprivileged user"};
    return {outcome->front() == '1', outcome->substr(1)};
}

TEST_F(ModeFileTest, SaveIntoReadOnlyFolderFailsWithTheMessage) {
    const fs::path path = folder / "keep.mode";
    const std::vector<uint8_t> existing(kModeFileSize, 0xCD);
    WriteFile(path, existing);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    const auto [ok, message] = SaveWithoutWritePermission(path.string(), ui);

    EXPECT_FALSE(ok);
    EXPECT_EQ(existing, ReadFile(path));
    EXPECT_EQ("Errcode=13,Can't write to file:\n" + path.string() +
                  "\nProbaby it is write protected.",
              message);
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

TEST_F(ModeFileTest, SaveIntoAMissingFolderFailsWithTheMessage) {
    const fs::path path = folder / "no" / "such.mode";
    EXPECT_FALSE(SaveModeFile(path.string()));
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_NE(std::string::npos, ui.messages[0].text.find(path.string()));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ModeFileTest, UserInterfaceFlowsNeedALink) {
    const fs::path path = folder / "m2 x.mode";
    WriteFile(path, ValidFile());
    EXPECT_FALSE(SaveParametersToModeFile(path.string()));
    EXPECT_FALSE(WriteModeFileToProcessor(path.string()));
    ASSERT_EQ(2u, ui.infos.size());
    EXPECT_EQ("Please connect device!", ui.infos[0].text);
    EXPECT_EQ(1100, ui.infos[0].milliseconds);
    EXPECT_EQ(ValidFile(), ReadFile(path)) << "nothing written";
}

TEST_F(ModeFileTest, RefusedFileShowsTheVersionMessage) {
    RecordingTransport transport;
    g_bConnected() = true;
    const fs::path path = folder / "m2 old.mode";
    auto file = ValidFile();
    file[0] = 17;
    WriteFile(path, file);
    EXPECT_FALSE(WriteModeFileToProcessor(path.string()));
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ("Mode file version not support!", ui.messages[0].text);
    EXPECT_EQ("Info", ui.messages[0].caption);
    EXPECT_TRUE(transport.Records().empty());
    g_bConnected() = false;
}

// Guards against a case that blocks: each answers well within a second.
constexpr auto kNoHang = std::chrono::seconds(1);

// Writing a file to the processor refuses everything but a mode file: the
// box names the reason, the image stays as it was and nothing is sent.
TEST_F(ModeFileTest, WriteToProcessorRefusesAnythingButAModeFile) {
    const auto valid = ValidFile();
    std::vector<uint8_t> randomAfterHeader(valid.begin(), valid.begin() + 60);
    std::mt19937 random(11);
    while (randomAfterHeader.size() < static_cast<size_t>(kModeFileSize))
        randomAfterHeader.push_back(static_cast<uint8_t>(random()));
    auto lastHeadMoved = valid;
    const int lastHead = DspRecordDefaults().back().valueOffset - 3;
    lastHeadMoved[60 + lastHead + 2] = 2; // the last record's count
    auto version17 = valid;
    version17[0] = 17;
    auto longer = valid;
    longer.resize(5000, 0x5A);
    const std::string notMode = ": not a mode file (";

    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        std::string reason; // after the path, or the whole text
        bool unprivileged = false;
    };
    auto file = [](std::vector<uint8_t> bytes) {
        return [bytes](const fs::path& f) {
            WriteFile(f / "m1 bad.mode", bytes);
            return f / "m1 bad.mode";
        };
    };
    const Case cases[] = {
        {"empty", file({}), notMode + "0 bytes, 3410 expected)"},
        {"3409 bytes", file({valid.begin(), valid.end() - 1}),
         notMode + "3409 bytes, 3410 expected)"},
        {"3411 bytes", file([&] {
             auto b = valid;
             b.push_back(0);
             return b;
         }()),
         notMode + "3411 bytes, 3410 expected)"},
        {"5000 bytes", file(longer), notMode + "5000 bytes, 3410 expected)"},
        {"version 17", file(version17), "Mode file version not support!"},
        {"random after a version-19 header", file(randomAfterHeader),
         notMode + "its DSP records break off at image offset 1254)"},
        {"0xFF over bytes 100..119", file([&] {
             auto b = valid;
             std::fill(b.begin() + 60 + 100, b.begin() + 60 + 120, 0xFF);
             return b;
         }()),
         ": value out of range: Mic A EQ band 15 type 255 (0..21)"},
        {"last record head changed", file(lastHeadMoved),
         notMode + "its DSP records break off at image offset " + std::to_string(lastHead) + ")"},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "sub.mode");
             return f / "sub.mode";
         },
         notMode + "a folder, not a regular file)"},
        {"FIFO without a writer",
         [](const fs::path& f) {
             mkfifo((f / "pipe.mode").c_str(), 0644);
             return f / "pipe.mode";
         },
         notMode + "a FIFO, not a regular file)"},
        {"missing", [](const fs::path& f) { return f / "missing.mode"; },
         "cannot open : No such file or directory"},
        {"unreadable",
         [&](const fs::path& f) {
             WriteFile(f / "secret.mode", valid);
             fs::permissions(f / "secret.mode", fs::perms::owner_write);
             return f / "secret.mode";
         },
         "cannot open : Permission denied", true},
    };
    RecordingTransport transport;
    g_bConnected() = true;
    const auto before = ImageBytes();
    for (const Case& c : cases) {
        const fs::path path = c.make(folder);
        std::string expected = c.reason;
        if (expected.rfind("cannot open : ", 0) == 0)
            expected = "Can't load the mode file:\ncannot open " + path.string() +
                       expected.substr(std::string("cannot open ").size());
        else if (expected.front() == ':')
            expected = "Can't load the mode file:\n" + path.string() + expected;
        // What the user sees, whether the image changed, how many records went out.
        auto attempt = [&] {
            ui.messages.clear();
            const auto start = std::chrono::steady_clock::now();
            const bool ok = WriteModeFileToProcessor(path.string());
            const bool quick = std::chrono::steady_clock::now() - start < kNoHang;
            return std::string(ok ? "accepted" : "refused") + (quick ? "" : " slowly") + "|" +
                   (ui.messages.empty() ? "" : ui.messages.back().text) + "|" +
                   (ImageBytes() == before ? "image kept" : "image changed") + "|" +
                   std::to_string(transport.Records().size());
        };
        const auto outcome = unprivileged::RunIf(c.unprivileged, folder, attempt);
        if (!outcome) {
            std::printf("skipped \"%s\": cannot run as an unprivileged user here\n", c.name);
            continue;
        }
        EXPECT_EQ("refused|" + expected + "|image kept|0", *outcome) << c.name;
        EXPECT_EQ(-1, g_PendingStoreMode().load()) << c.name;
    }
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.mode"));
    g_bConnected() = false;
}

// Saving with a link open stores the current mode first; a target that will
// be refused costs nothing: no command goes out and the target stays as it was.
TEST_F(ModeFileTest, SaveTargetsThatAreRefused) {
    const std::vector<uint8_t> old(kModeFileSize, 0x3C);
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        int errorCode;
        bool unprivileged = false;
    };
    const Case cases[] = {
        {"0444 file",
         [&](const fs::path& f) {
             WriteFile(f / "locked.mode", old);
             fs::permissions(f / "locked.mode", fs::perms::owner_read | fs::perms::group_read |
                                                    fs::perms::others_read);
             return f / "locked.mode";
         },
         EACCES, true},
        {"read-only folder",
         [&](const fs::path& f) {
             fs::create_directory(f / "ro");
             WriteFile(f / "ro" / "in.mode", old);
             fs::permissions(f / "ro", fs::perms::owner_read | fs::perms::owner_exec);
             return f / "ro" / "in.mode";
         },
         EACCES, true},
        {"FIFO",
         [](const fs::path& f) {
             mkfifo((f / "pipe.mode").c_str(), 0644);
             return f / "pipe.mode";
         },
         EINVAL},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "dir.mode");
             return f / "dir.mode";
         },
         EISDIR},
        {"missing folder", [](const fs::path& f) { return f / "no" / "such.mode"; }, ENOENT},
    };
    RecordingTransport transport;
    g_bConnected() = true;
    for (const Case& c : cases) {
        const fs::path path = c.make(folder);
        auto attempt = [&] {
            ui.messages.clear();
            const auto start = std::chrono::steady_clock::now();
            const bool ok = SaveParametersToModeFile(path.string());
            const bool quick = std::chrono::steady_clock::now() - start < kNoHang;
            return std::string(ok ? "saved" : "refused") + (quick ? "" : " slowly") + "|" +
                   (ui.messages.empty()
                        ? ""
                        : ui.messages.back().caption + "|" + ui.messages.back().text) +
                   "|" + std::to_string(transport.Records().size());
        };
        const auto outcome = unprivileged::RunIf(c.unprivileged, folder, attempt);
        if (!outcome) {
            std::printf("skipped \"%s\": cannot run as an unprivileged user here\n", c.name);
            continue;
        }
        EXPECT_EQ("refused|Can't write to file|" + fx::CantWriteText(c.errorCode, path.string()) +
                      "|0",
                  *outcome)
            << c.name;
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(old, ReadFile(path)) << c.name;
        }
    }
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.mode"));
    EXPECT_TRUE(fs::is_directory(folder / "dir.mode"));
    EXPECT_FALSE(fs::exists(folder / "no"));
    EXPECT_EQ((std::vector<std::string>{".", "dir.mode", "locked.mode", "pipe.mode", "ro"}), [&] {
        std::vector<std::string> names{"."};
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin() + 1, names.end());
        return names;
    }()) << "no temporary file left behind";
    g_bConnected() = false;
}

// A link is followed: its target is replaced in its own folder and the link stays.
TEST_F(ModeFileTest, SaveThroughASymbolicLinkReplacesItsTarget) {
    fs::create_directories(folder / "presets");
    WriteFile(folder / "presets" / "live.mode", std::vector<uint8_t>(kModeFileSize, 0x3C));
    fs::create_symlink("presets/live.mode", folder / "current.mode");
    RecordingTransport transport;
    g_bConnected() = true;
    ASSERT_TRUE(SaveParametersToModeFile((folder / "current.mode").string()));
    g_bConnected() = false;
    EXPECT_TRUE(fs::is_symlink(folder / "current.mode"));
    const auto saved = ReadFile(folder / "presets" / "live.mode");
    ASSERT_EQ(static_cast<size_t>(kModeFileSize), saved.size());
    EXPECT_EQ(0, std::memcmp(saved.data() + 60, g_ParamImage(), kImageSize));
    EXPECT_EQ(1u,
              std::distance(fs::directory_iterator(folder / "presets"), fs::directory_iterator{}));
    EXPECT_FALSE(transport.Records().empty()) << "the current mode was stored first";
}

} // namespace
