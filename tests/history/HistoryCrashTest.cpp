// A writer killed at any moment leaves a SQLite history that passes its
// integrity check and whose every snapshot reads back whole; the next
// writer goes on from where the killed one stopped.
#include "history/HistoryDatabases.h"
#include "history/HistoryTestImages.h"
#include "service/history/HistoryStore.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts the burst writer on path; its pid once it said it is ready, -1 when
// it did not within a few seconds.
pid_t StartBurst(const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(HISTORY_BURST_PATH, HISTORY_BURST_PATH, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char text[6] = {};
    const bool said =
        poll(&ready, 1, 10000) == 1 && read(fds[0], text, 5) == 5 && std::string(text) == "ready";
    close(fds[0]);
    if (said) return pid;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST(HistoryCrashTest, AWriterKilledAtAnyMomentLeavesEveryWrittenSnapshotWhole) {
    constexpr int kKills = 100;
    history_test::TempFolder folder;
    const std::string path = folder.path() + "/burst.db";
    std::mt19937 random(11);
    int64_t checked = 0; // snapshots 0..checked-1 read back whole already
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t pid = StartBurst(path);
        ASSERT_GT(pid, 0) << "history_burst did not start (kill " << kill << ")";
        usleep(static_cast<useconds_t>(random() % 8000));
        ::kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "history_burst ended on its own";

        fx::HistoryStore store;
        const fx::HistoryResult opened = store.Open(path); // runs the integrity check
        ASSERT_TRUE(opened.ok()) << "after kill " << kill << ": " << opened.message;
        auto listed = store.List("burst", checked, 10000);
        ASSERT_TRUE(listed.ok()) << listed.result.message;
        // What is there is the run of snapshots from 0 on, each whole.
        for (const fx::SnapshotInfo& snapshot : listed.value) {
            ASSERT_EQ(snapshot.timeMs, checked) << "after kill " << kill;
            auto image = store.ImageOf(snapshot.id);
            ASSERT_TRUE(image.ok()) << "after kill " << kill << ": " << image.result.message;
            ASSERT_EQ(image.value, history_test::NumberedImage(snapshot.timeMs))
                << "snapshot " << snapshot.timeMs << " after kill " << kill;
            ++checked;
        }
    }
    EXPECT_GE(checked, kKills) << "each run writes one snapshot before it may be killed";
}

} // namespace
