#include "Unprivileged.h"

#include "modefile/SafeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Guards against a case that blocks: each answers well within a second.
constexpr auto kNoHang = std::chrono::seconds(1);

Bytes Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void MakeSocket(const fs::path& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
    close(fd);
}

// Names of what a folder holds, to show no temporary file was left behind.
std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("safefile_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.symlink_status().type() == fs::file_type::directory)
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
    }
    fs::path folder;
};

TEST_F(SafeFileTest, ReadTakesRegularFilesUpToTheirLimitAndRefusesTheRest) {
    constexpr size_t kLimit = 100;
    const Bytes exact(kLimit, 0x5A);
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        bool ok;
        const char* messagePart;
    };
    const Case cases[] = {
        {"exact size",
         [&](const fs::path& f) {
             Put(f / "a", exact);
             return f / "a";
         },
         true, ""},
        {"empty",
         [](const fs::path& f) {
             Put(f / "e", {});
             return f / "e";
         },
         true, ""},
        {"link to a file",
         [&](const fs::path& f) {
             Put(f / "t", exact);
             fs::create_symlink("t", f / "l");
             return f / "l";
         },
         true, ""},
        {"one byte over",
         [](const fs::path& f) {
             Put(f / "b", Bytes(kLimit + 1, 1));
             return f / "b";
         },
         false, ": 101 bytes, more than 100"},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "d");
             return f / "d";
         },
         false, ": a folder, not a regular file"},
        {"FIFO without a writer",
         [](const fs::path& f) {
             mkfifo((f / "p").c_str(), 0644);
             return f / "p";
         },
         false, ": a FIFO, not a regular file"},
        {"device", [](const fs::path&) { return fs::path("/dev/zero"); }, false,
         ": a device, not a regular file"},
        {"socket",
         [](const fs::path& f) {
             MakeSocket(f / "s");
             return f / "s";
         },
         false, ": a socket, not a regular file"},
        {"missing", [](const fs::path& f) { return f / "nothing"; }, false, "cannot open "},
    };
    for (const Case& c : cases) {
        const fs::path path = c.make(folder);
        const auto start = Clock::now();
        const fx::FileReadResult result = fx::ReadRegularFile(path.string(), kLimit);
        EXPECT_LT(Clock::now() - start, kNoHang) << c.name;
        EXPECT_EQ(c.ok, result.ok) << c.name << ": " << result.message;
        if (c.ok) {
            EXPECT_EQ(Slurp(path), result.bytes) << c.name;
            EXPECT_EQ("", result.message) << c.name;
        } else {
            EXPECT_TRUE(result.bytes.empty()) << c.name;
            EXPECT_TRUE(Contains(result.message, path.string() + c.messagePart) ||
                        Contains(result.message, c.messagePart + path.string()))
                << c.name << ": " << result.message;
        }
    }
    EXPECT_EQ(ENOENT, fx::ReadRegularFile((folder / "nothing").string(), kLimit).errorCode);
}

TEST_F(SafeFileTest, ReadOfAnUnreadableFileNamesTheSystemsReason) {
    const fs::path path = folder / "secret";
    Put(path, {1, 2, 3});
    fs::permissions(path, fs::perms::owner_write);
    const auto message = unprivileged::RunIf(true, folder, [&] {
        const fx::FileReadResult result = fx::ReadRegularFile(path.string(), 10);
        return std::to_string(result.ok) + " " + std::to_string(result.errorCode) + " " +
               result.message;
    });
    if (!message) GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ("0 13 cannot open " + path.string() + ": Permission denied", *message);
}

TEST_F(SafeFileTest, WriteCreatesOrReplacesAndKeepsThePermissions) {
    const fs::path fresh = folder / "fresh.bin";
    ASSERT_TRUE(fx::WriteFileAtomically(fresh.string(), Bytes{1, 2, 3}).ok);
    EXPECT_EQ((Bytes{1, 2, 3}), Slurp(fresh));

    const fs::path kept = folder / "kept.bin";
    Put(kept, Bytes(50, 9));
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fx::FileWriteResult result = fx::WriteFileAtomically(kept.string(), Bytes{7, 7});
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ("", result.message);
    EXPECT_EQ((Bytes{7, 7}), Slurp(kept));
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
              fs::status(kept).permissions());
    EXPECT_EQ((std::vector<std::string>{"fresh.bin", "kept.bin"}), Listing(folder));
}

// A link stays a link; what it points at is replaced in its own folder.
TEST_F(SafeFileTest, WriteFollowsSymbolicLinks) {
    const fs::path store = folder / "store";
    const fs::path links = folder / "links";
    fs::create_directories(store);
    fs::create_directories(links);
    Put(store / "real.mode", Bytes(10, 1));
    fs::create_symlink("../store/real.mode", links / "relative.mode");
    fs::create_symlink(links / "relative.mode", links / "chained.mode");
    fs::create_symlink("../store/later.mode", links / "dangling.mode");

    ASSERT_TRUE(fx::WriteFileAtomically((links / "chained.mode").string(), Bytes{4, 5}).ok);
    EXPECT_TRUE(fs::is_symlink(links / "chained.mode"));
    EXPECT_TRUE(fs::is_symlink(links / "relative.mode"));
    EXPECT_EQ((Bytes{4, 5}), Slurp(store / "real.mode"));

    ASSERT_TRUE(fx::WriteFileAtomically((links / "dangling.mode").string(), Bytes{6}).ok);
    EXPECT_TRUE(fs::is_symlink(links / "dangling.mode"));
    EXPECT_EQ((Bytes{6}), Slurp(store / "later.mode"));

    EXPECT_EQ((std::vector<std::string>{"later.mode", "real.mode"}), Listing(store));
    EXPECT_EQ((std::vector<std::string>{"chained.mode", "dangling.mode", "relative.mode"}),
              Listing(links));
}

// Every refused target is left exactly as it was, with nothing beside it; a
// write-protected file even when the superuser saves.
TEST_F(SafeFileTest, WriteRefusesTargetsThatAreNoRegularFiles) {
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make;
        int errorCode;
        const char* reason;
        std::string cause;
    };
    const Case cases[] = {
        {"FIFO",
         [](const fs::path& f) {
             mkfifo((f / "p").c_str(), 0644);
             return f / "p";
         },
         EINVAL, "a FIFO, not a regular file", "it is a FIFO, not a regular file"},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "d");
             return f / "d";
         },
         EISDIR, "a folder, not a regular file", "it is a folder, not a regular file"},
        {"link to a FIFO",
         [](const fs::path& f) {
             mkfifo((f / "p2").c_str(), 0644);
             fs::create_symlink("p2", f / "l");
             return f / "l";
         },
         EINVAL, "a FIFO, not a regular file", "it is a FIFO, not a regular file"},
        {"link loop",
         [](const fs::path& f) {
             fs::create_symlink("y", f / "x");
             fs::create_symlink("x", f / "y");
             return f / "x";
         },
         ELOOP, "Too many levels of symbolic links", "its symbolic links lead round in a circle"},
        {"missing folder", [](const fs::path& f) { return f / "no" / "such.mode"; }, ENOENT,
         "No such file or directory", "the folder " + (folder / "no").string() + " does not exist"},
        {"empty path", [](const fs::path&) { return fs::path(); }, ENOENT,
         "No such file or directory", "no file name was given"},
        {"write-protected file, for whoever runs the test",
         [](const fs::path& f) {
             Put(f / "ro.mode", Bytes(3, 7));
             fs::permissions(f / "ro.mode", fs::perms::owner_read | fs::perms::group_read |
                                                fs::perms::others_read);
             return f / "ro.mode";
         },
         EACCES, "Permission denied", "it is write-protected"},
    };
    for (const Case& c : cases) {
        const fs::path path = c.make(folder);
        const auto before = Listing(folder);
        const auto start = Clock::now();
        const fx::FileWriteResult result = fx::WriteFileAtomically(path.string(), Bytes{1});
        EXPECT_LT(Clock::now() - start, kNoHang) << c.name;
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(c.errorCode, result.errorCode) << c.name;
        EXPECT_EQ(c.reason, result.reason) << c.name;
        EXPECT_EQ(c.cause, result.cause) << c.name;
        EXPECT_EQ(path.string(), result.path) << c.name;
        EXPECT_EQ(fx::CantWriteText(c.errorCode, path.string()), result.message) << c.name;
        EXPECT_EQ(before, Listing(folder)) << c.name;
    }
    EXPECT_TRUE(fs::is_fifo(folder / "p"));
    EXPECT_TRUE(fs::is_directory(folder / "d"));
    EXPECT_EQ(Bytes(3, 7), Slurp(folder / "ro.mode")) << "the superuser too leaves it";
    EXPECT_EQ("Errcode=13,Can't write to file:\n/x/y.mode\nProbaby it is write protected.",
              fx::CantWriteText(13, "/x/y.mode"));
}

// A user who owns the folder could rename over a file he may not write; the
// file's own write protection is honoured all the same.
TEST_F(SafeFileTest, WriteRefusesWhatTheUserMayNotWrite) {
    const fs::path protectedFile = folder / "open" / "protected.mode";
    const fs::path inLockedFolder = folder / "locked" / "writable.mode";
    fs::create_directories(protectedFile.parent_path());
    fs::create_directories(inLockedFolder.parent_path());
    Put(protectedFile, Bytes(20, 0x44));
    Put(inLockedFolder, Bytes(20, 0x55));
    fs::permissions(protectedFile,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(inLockedFolder, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(inLockedFolder.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);

    for (const fs::path& path : {protectedFile, inLockedFolder}) {
        const auto outcome = unprivileged::RunIf(true, folder, [&] {
            const fx::FileWriteResult result = fx::WriteFileAtomically(path.string(), Bytes{1});
            return std::to_string(result.ok) + "|" + result.message + "|" + result.reason + "|" +
                   result.cause;
        });
        if (!outcome) GTEST_SKIP() << "cannot run as an unprivileged user here";
        EXPECT_EQ("0|" + fx::CantWriteText(EACCES, path.string()) + "|Permission denied|" +
                      (path == protectedFile
                           ? std::string("it is write-protected")
                           : "the folder " + path.parent_path().string() + " is write-protected"),
                  *outcome);
        EXPECT_EQ(Bytes(20, path == protectedFile ? 0x44 : 0x55), Slurp(path));
        EXPECT_EQ(std::vector<std::string>{path.filename().string()}, Listing(path.parent_path()));
    }
}

} // namespace
