#include "SimNetFixture.h"

#include "link/ReplyWatch.h"
#include "remote/core/RemoteFile.h"
#include "remote/core/RemoteKeys.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace fx;

namespace {

using Block = std::array<uint8_t, kRemoteKeyBlockSize>;

Block KeyPattern(uint8_t seed) {
    Block block{};
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(seed + 3 * i);
    return block;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A folder of its own for each test.
class RemoteFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/fxremoteXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        dir = folder;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string At(const std::string& name) const { return dir + "/" + name; }
    // Files in the folder (a failed save must leave no temporary file).
    int FileCount() const {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
        return count;
    }
    std::string dir;
};

} // namespace

TEST(RemoteFileNames, ExtensionBecomesRemo) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/u/keys.txt", "/home/u/keys.remo"}, {"/home/u/keys.remo", "/home/u/keys.remo"},
        {"/home/u/keys", "/home/u/keys.remo"},     {"/home/u.v/keys", "/home/u.v/keys.remo"},
        {"/home/u/keys.", "/home/u/keys.remo"},    {"a.b.c", "a.b.remo"},
    };
    for (const auto& [chosen, written] : cases) EXPECT_EQ(written, WithRemoteExtension(chosen));
}

TEST(RemoteKeyNames, NumbersAndNames) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"5", 5},       {"17", 17},   {"0", 0},           {"18", 0}, {"05", 5},     {"power", 1},
        {"M4-Down", 5}, {"mute", 10}, {"music-down", 17}, {"", 0},   {"volume", 0}, {"-1", 0},
    };
    for (const auto& [text, key] : cases) EXPECT_EQ(key, RemoteKeyFromText(text)) << text;
    EXPECT_EQ("m4-down", RemoteKeyName(5));
    EXPECT_TRUE(RemoteKeyName(18).empty());
}

TEST_F(RemoteFileTest, SaveWritesExactlyTheBlock) {
    const Block block = KeyPattern(7);
    ASSERT_TRUE(SaveRemoteFile(At("k.remo"), block.data()).ok());
    EXPECT_EQ(std::string(block.begin(), block.end()), Slurp(At("k.remo")));
    EXPECT_EQ(1, FileCount());
    // Saving again replaces the file whole.
    const Block other = KeyPattern(40);
    ASSERT_TRUE(SaveRemoteFile(At("k.remo"), other.data()).ok());
    EXPECT_EQ(std::string(other.begin(), other.end()), Slurp(At("k.remo")));
}

TEST_F(RemoteFileTest, LoadTakesAShortFileAndRefusesWrongSizes) {
    struct Case {
        const char* name;
        std::string content;
        RemoteFileStatus status;
        size_t changed; // leading bytes of the block that the file replaces
    };
    const std::vector<Case> cases = {
        {"whole block", std::string(18, '\x5A'), RemoteFileStatus::Ok, 18},
        {"ten bytes", std::string(10, '\x5A'), RemoteFileStatus::Ok, 10},
        {"one byte too long", std::string(19, '\x5A'), RemoteFileStatus::WrongSize, 0},
        {"much too long", std::string(3410, '\x5A'), RemoteFileStatus::WrongSize, 0},
        {"empty", std::string(), RemoteFileStatus::WrongSize, 0},
    };
    for (const Case& c : cases) {
        WriteFile(At("in.remo"), c.content);
        Block block = KeyPattern(1);
        EXPECT_EQ(c.status, LoadRemoteFile(At("in.remo"), block.data()).status) << c.name;
        for (size_t i = 0; i < block.size(); ++i)
            EXPECT_EQ(i < c.changed ? 0x5A : KeyPattern(1)[i], block[i]) << c.name << " byte " << i;
    }
}

TEST_F(RemoteFileTest, LoadRefusesWhatIsNoRegularFileWithoutBlocking) {
    ASSERT_EQ(0, mkfifo(At("fifo.remo").c_str(), 0600)); // nobody writes: a plain open would hang
    mkdir(At("folder.remo").c_str(), 0700);
    for (const char* name : {"fifo.remo", "folder.remo", "missing.remo"}) {
        Block block = KeyPattern(2);
        const RemoteFileResult result = LoadRemoteFile(At(name), block.data());
        EXPECT_EQ(RemoteFileStatus::CannotOpen, result.status) << name;
        EXPECT_FALSE(result.message.empty()) << name;
        EXPECT_EQ(KeyPattern(2), block) << name;
    }
}

// A save that fails part-way (here: the file size limit hit after 10 bytes)
// leaves the old file as it was and no temporary file behind.
TEST_F(RemoteFileTest, FailedSaveKeepsTheOldFileWhole) {
    const Block old = KeyPattern(3);
    ASSERT_TRUE(SaveRemoteFile(At("keep.remo"), old.data()).ok());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        const Block fresh = KeyPattern(90);
        const RemoteFileResult result = SaveRemoteFile(At("keep.remo"), fresh.data());
        _exit(result.status == RemoteFileStatus::CannotWrite && result.errorCode == EFBIG ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save reported its failure";
    EXPECT_EQ(std::string(old.begin(), old.end()), Slurp(At("keep.remo")));
    EXPECT_EQ(1, FileCount());
}

TEST_F(RemoteFileTest, SaveFollowsALinkAndRefusesAFolder) {
    const Block block = KeyPattern(4);
    ASSERT_TRUE(SaveRemoteFile(At("real.remo"), KeyPattern(0).data()).ok());
    ASSERT_EQ(0, symlink(At("real.remo").c_str(), At("link.remo").c_str()));
    ASSERT_TRUE(SaveRemoteFile(At("link.remo"), block.data()).ok());
    struct stat info {};
    ASSERT_EQ(0, lstat(At("link.remo").c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    EXPECT_EQ(std::string(block.begin(), block.end()), Slurp(At("real.remo")));

    mkdir(At("folder.remo").c_str(), 0700);
    const RemoteFileResult folder = SaveRemoteFile(At("folder.remo"), block.data());
    EXPECT_EQ(RemoteFileStatus::CannotWrite, folder.status);
    EXPECT_EQ(EISDIR, folder.errorCode);
    EXPECT_EQ(RemoteFileStatus::CannotWrite,
              SaveRemoteFile(At("no/such/folder.remo"), block.data()).status);
    EXPECT_EQ("Errcode=21,Can't write to file:\n" + At("folder.remo") +
                  "\nProbaby it is write protected.",
              folder.message);
}

// Against the simulated processor.
class RemoteKeysSimTest : public SimNetFixture {
protected:
    void SetUp() override {
        SimNetFixture::SetUp();
        ReadAll();
        sim.ClearCommandLog();
    }
};

TEST_F(RemoteKeysSimTest, LearnedKeyLandsInTheBlock) {
    sim.SetCodeSetByte(0x31);
    const uint64_t before = ReplyCount(96);
    StartKeyLearning(5);
    ASSERT_TRUE(sim.WaitForCommand(96, 3000));
    EXPECT_EQ(5, sim.LearningKey());
    ASSERT_TRUE(sim.PressRemoteKey(0x0A));
    ASSERT_TRUE(WaitForReplyAfter(96, before, 3000));
    EXPECT_EQ(0x0A, g_RemoteKeyBlock()[5]);
    EXPECT_EQ(0x31, g_RemoteKeyBlock()[0]);
    EXPECT_EQ((SimRecord{96, 5}), sim.ReceivedCommands().front());
}

TEST_F(RemoteKeysSimTest, AbandonSendsNinetySevenAndLeavesTheBlock) {
    const Block before = std::to_array(g_RemoteKeyBlock());
    StartKeyLearning(3);
    ASSERT_TRUE(sim.WaitForCommand(96, 3000));
    g_hReplyEvent().Reset(); // as if the learn command were still waiting for its reply
    AbandonKeyLearning();
    ASSERT_TRUE(sim.WaitForCommand(97, 3000));
    EXPECT_EQ(-1, sim.LearningKey());
    EXPECT_FALSE(sim.PressRemoteKey(0x55)) << "nothing is being learned any more";
    EXPECT_EQ(before, std::to_array(g_RemoteKeyBlock()));
}

TEST_F(RemoteKeysSimTest, BlockIsSentWholeAndConfirmed) {
    const Block block = KeyPattern(0x60);
    std::memcpy(g_RemoteKeyBlock(), block.data(), block.size());
    EXPECT_TRUE(SendRemoteKeyBlock(kReplyWaitMs));
    EXPECT_EQ(block, sim.RemoteKeys());
    ASSERT_EQ(19u, sim.ReceivedCommands().back().size());

    sim.DropNextReply();
    EXPECT_FALSE(SendRemoteKeyBlock(300));
}
