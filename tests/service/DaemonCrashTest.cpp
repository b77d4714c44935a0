// fxtuned killed (SIGKILL) in the middle of a burst of snapshots and changes,
// a hundred times over one SQLite history: each time the database passes its
// integrity check, every snapshot in it reads back whole, and every snapshot
// an earlier run left is still there.
#include "HttpTestClient.h"

#include "modefile/ModeFile.h"
#include "service/history/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kKills = 100;
constexpr int kProcessors = 2;
constexpr int kBurstLimit = 400;  // requests, should the kill never come
constexpr int kLatestKillMs = 80; // into the burst
constexpr int kStartLimitMs = 20000;

// A program started with its stdout on a pipe; the ports of its first
// `lines` "listening on 127.0.0.1:PORT" lines, none when it did not say them
// within the limit. Killed (SIGKILL) when it goes, unless it ended before.
class Child {
public:
    Child(const char* path, std::vector<std::string> arguments, int lines) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        arguments.insert(arguments.begin(), path);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, path, &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_out = out[0];
        std::string line;
        char c = 0;
        pollfd readable{m_out, POLLIN, 0};
        while (m_pid > 0 && static_cast<int>(m_ports.size()) < lines &&
               poll(&readable, 1, kStartLimitMs) == 1 && read(m_out, &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line.rfind("listening on ", 0) == 0)
                m_ports.push_back(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
            line.clear();
        }
    }
    ~Child() {
        Kill();
        if (m_out >= 0) close(m_out);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Listening(int lines) const { return static_cast<int>(m_ports.size()) == lines; }
    int Port(int index = 0) const { return m_ports[static_cast<size_t>(index)]; }
    // SIGKILL and reaped; true when it was still running (not ended by itself).
    bool Kill() {
        if (m_pid <= 0) return false;
        const bool running = waitpid(m_pid, nullptr, WNOHANG) == 0;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return running;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::vector<int> m_ports;
};

std::string Name(int processor) {
    return "p" + std::to_string(processor);
}

bool AllConnected(int port) {
    for (int tries = 0; tries < 4000; ++tries) {
        const HttpAnswer answer = HttpCall(port, "GET", "/api/v1/processors");
        if (answer.status == 200 && answer.body.find("\"connected\":false") == std::string::npos &&
            answer.body.find("\"connected\":true") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Snapshot requests and changes, one after the other, to every processor,
// until the daemon stops answering.
int Burst(int port, int run) {
    int answered = 0;
    for (int sent = 0; sent < kBurstLimit; ++sent) {
        const std::string processor = "/api/v1/processors/" + Name(sent % kProcessors);
        const HttpAnswer answer =
            sent % 4 < 2 ? HttpCall(port, "POST", processor + "/history")
                         : HttpCall(port, "PUT", processor + "/levels/mic",
                                    "{\"value\":" + std::to_string((run + sent) % 99) + "}");
        if (answer.status == 0) break;
        ++answered;
    }
    return answered;
}

// SQLite's own check of the whole file, outside the history's code.
std::string IntegrityCheck(const std::string& path) {
    const QString connection = QStringLiteral("daemon-crash-check");
    std::string verdict;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        database.setDatabaseName(QString::fromStdString(path));
        if (!database.open()) {
            verdict = "cannot open";
        } else {
            QSqlQuery query(database);
            verdict = query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next()
                          ? query.value(0).toString().toStdString()
                          : "the check did not run";
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return verdict;
}

TEST(DaemonCrashTest, KilledInABurstOfSnapshotsLeavesAWholeHistoryEachTime) {
    const std::string folder = ::testing::TempDir() + "daemon-crash-" + std::to_string(getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/history.db";

    Child sims(FXTUNE_SIM_PATH, {"--count", std::to_string(kProcessors), "--port", "0"},
               kProcessors);
    ASSERT_TRUE(sims.Listening(kProcessors)) << "fxtune-sim did not start";
    std::vector<std::string> arguments = {"--listen", "127.0.0.1:0", "--history", path};
    for (int i = 0; i < kProcessors; ++i) {
        arguments.push_back("--processor");
        arguments.push_back(Name(i) + "=127.0.0.1:" + std::to_string(sims.Port(i)));
    }

    std::mt19937 random(7);
    std::set<int64_t> kept; // every snapshot seen whole after a kill
    int answered = 0;
    for (int run = 0; run < kKills; ++run) {
        Child daemon(FXTUNED_PATH, arguments, 1);
        ASSERT_TRUE(daemon.Listening(1)) << "fxtuned did not start after kill " << run;
        ASSERT_TRUE(AllConnected(daemon.Port())) << "run " << run;

        const auto killAfter = std::chrono::microseconds(random() % (kLatestKillMs * 1000));
        std::atomic<bool> killed{false};
        std::thread killer([&] {
            std::this_thread::sleep_for(killAfter);
            killed = daemon.Kill();
        });
        answered += Burst(daemon.Port(), run);
        killer.join();
        ASSERT_TRUE(killed) << "fxtuned ended by itself in run " << run;

        ASSERT_EQ("ok", IntegrityCheck(path)) << "after kill " << run;
        fx::HistoryStore store;
        const fx::HistoryResult opened = store.Open(path);
        ASSERT_TRUE(opened.ok()) << "after kill " << run << ": " << opened.message;
        std::set<int64_t> present;
        for (int i = 0; i < kProcessors; ++i) {
            auto listed = store.List(Name(i), 0, 10000);
            ASSERT_TRUE(listed.ok()) << listed.result.message;
            ASSERT_LT(listed.value.size(), 10000u) << "the listing holds every snapshot";
            for (const fx::SnapshotInfo& snapshot : listed.value) present.insert(snapshot.id);
        }
        for (const int64_t id : kept)
            ASSERT_TRUE(present.count(id)) << "snapshot " << id << " lost by kill " << run;
        for (const int64_t id : present) {
            if (kept.count(id)) continue;
            auto image = store.ImageOf(id);
            ASSERT_TRUE(image.ok())
                << "snapshot " << id << " after kill " << run << ": " << image.result.message;
            ASSERT_EQ(static_cast<size_t>(kModeFileSize), image.value.size());
            kept.insert(id);
        }
    }
    // Each run is one link-up snapshot per processor at least, written at
    // once, but a kill may come before it: most runs leave some.
    EXPECT_GT(kept.size(), static_cast<size_t>(kKills)) << answered << " requests answered";
    std::printf("%zu snapshots after %d kills, %d requests answered\n", kept.size(), kKills,
                answered);
    std::filesystem::remove_all(folder);
}

} // namespace
