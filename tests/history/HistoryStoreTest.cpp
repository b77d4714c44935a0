// The history on SQLite and on a PostgreSQL server of the test's own: what
// is written reads back byte for byte, chains stay short, drift follows the
// approved preset, old databases are migrated, retention thins the history
// out, and snapshots wait while the database cannot be reached.
#include "service/history/HistoryStore.h"
#include "history/HistoryDatabases.h"
#include "history/HistoryTestImages.h"
#include "service/history/ImageChanges.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

using fx::HistoryImage;
using fx::HistoryResult;
using fx::HistoryStore;
using fx::SnapshotSource;
using history_test::Backend;
using history_test::FactoryImage;
using history_test::HistoryBackendTest;
using Status = HistoryResult::Status;

constexpr auto kFlushTimeout = std::chrono::seconds(3);
constexpr int64_t kDayMs = 24LL * 3600 * 1000;
constexpr int64_t kHourMs = 3600LL * 1000;

fx::HistoryOptions QuickOptions(int fullImageInterval = 50) {
    fx::HistoryOptions options;
    options.fullImageInterval = fullImageInterval;
    options.retryMinMs = 20;
    options.retryMaxMs = 100;
    options.sqliteBusyTimeoutMs = 50;
    return options;
}

// The factory image with one channel's delay set, which the comparison
// names in one line.
HistoryImage WithDelay(double ms) {
    HistoryImage image = FactoryImage();
    WriteBigEndian32(image.data() + kModeFileHeaderSize + DspRecordValueOffset(7, 15),
                     MsToSamples(ms));
    return image;
}

// Every snapshot of processor, oldest first.
std::vector<fx::SnapshotInfo> All(HistoryStore& store, const std::string& processor) {
    auto listed = store.List(processor, 0, 10000);
    EXPECT_TRUE(listed.ok()) << listed.result.message;
    return listed.value;
}

// The kinds of a processor's stored snapshots in order (0 whole, 1 delta).
std::vector<int> Kinds(history_test::RawDatabase& raw, const std::string& processor) {
    QSqlQuery query(raw.db());
    query.exec(QString("SELECT kind FROM snapshots WHERE processor = '%1' ORDER BY id")
                   .arg(QString::fromStdString(processor)));
    std::vector<int> kinds;
    while (query.next()) kinds.push_back(query.value(0).toInt());
    return kinds;
}

// The longest run of deltas after a whole image; -1 when the chain does not
// start with one.
int LongestDeltaRun(const std::vector<int>& kinds) {
    if (kinds.empty() || kinds.front() != 0) return -1;
    int longest = 0, run = 0;
    for (int kind : kinds) {
        run = kind == 0 ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

TEST_P(HistoryBackendTest, ALongRandomHistoryReadsBackByteExactFromShortChains) {
    constexpr int kInterval = 50;
    constexpr int kSnapshots = 1500;
    const std::vector<std::string> processors{"room1", "room2", "bar"};
    fx::HistoryOptions options = QuickOptions(kInterval);
    options.queueLimit = kSnapshots; // added faster than any database takes them
    HistoryStore store(options);
    ASSERT_TRUE(store.Open(Url()).ok());

    std::mt19937 random(42);
    std::map<std::string, HistoryImage> current;
    std::map<std::string, std::vector<HistoryImage>> written;
    std::map<std::string, std::vector<size_t>> rewrites; // where nearly all bytes changed
    for (const std::string& name : processors) current[name] = FactoryImage();
    for (int n = 0; n < kSnapshots; ++n) {
        const std::string& name = processors[random() % processors.size()];
        HistoryImage& image = current[name];
        const unsigned roll = random() % 100;
        if (roll == 0) {
            for (uint8_t& byte : image) byte = static_cast<uint8_t>(random());
            rewrites[name].push_back(written[name].size());
        } else if (roll > 5) { // else unchanged: a snapshot asked for by a request
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < edits; ++i)
                image[random() % image.size()] = static_cast<uint8_t>(random());
        }
        ASSERT_TRUE(store.AddSnapshot(name, 1000 + n, SnapshotSource::Api, image).ok());
        written[name].push_back(image);
    }
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;

    auto raw = Raw();
    ASSERT_TRUE(raw->open());
    for (const std::string& name : processors) {
        const std::vector<fx::SnapshotInfo> snapshots = All(store, name);
        ASSERT_EQ(snapshots.size(), written[name].size()) << name;
        for (size_t i = 0; i < snapshots.size(); ++i) {
            auto image = store.ImageOf(snapshots[i].id);
            ASSERT_TRUE(image.ok()) << image.result.message;
            ASSERT_EQ(image.value, written[name][i]) << name << " snapshot " << i;
        }
        const std::vector<int> kinds = Kinds(*raw, name);
        EXPECT_GE(LongestDeltaRun(kinds), 1) << name;
        EXPECT_LE(LongestDeltaRun(kinds), kInterval - 1) << name;
        for (size_t at : rewrites[name]) EXPECT_EQ(kinds[at], 0) << name << " rewritten at " << at;
    }
    // A snapshot of a few changed bytes costs about as much as its words.
    const qlonglong stored = raw->Number("SELECT SUM(LENGTH(data)) FROM snapshots");
    EXPECT_LT(stored, kSnapshots * kModeFileSize / 25)
        << "bytes of images stored for " << kSnapshots;
    EXPECT_EQ(store.Health().written, static_cast<uint64_t>(kSnapshots));
    EXPECT_EQ(store.Health().dropped, 0u);
    EXPECT_TRUE(store.Health().ok);
}

TEST_P(HistoryBackendTest, ChangesAreInWordsAgainstTheSameProcessorsSnapshotBefore) {
    HistoryStore store(QuickOptions());
    ASSERT_TRUE(store.Open(Url()).ok());
    ASSERT_TRUE(store.AddSnapshot("room1", 100, SnapshotSource::Processor, WithDelay(1.0)).ok());
    HistoryImage other = WithDelay(9.0);
    other[kModeFileHeaderSize + 10] ^= 0x5A;
    ASSERT_TRUE(store.AddSnapshot("room2", 150, SnapshotSource::Api, other).ok());
    ASSERT_TRUE(
        store.AddSnapshot("room1", 200, SnapshotSource::HomeAssistant, WithDelay(5.0)).ok());
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;

    const auto room1 = All(store, "room1");
    ASSERT_EQ(room1.size(), 2u);
    EXPECT_TRUE(room1[0].changes.empty()) << "the first snapshot has nothing before it";
    auto second = store.Get(room1[1].id);
    ASSERT_TRUE(second.ok()) << second.result.message;
    ASSERT_EQ(second.value.changes.size(), 1u);
    EXPECT_NE(second.value.changes[0].find("1.0 ms"), std::string::npos) << second.value.changes[0];
    EXPECT_NE(second.value.changes[0].find("5.0 ms"), std::string::npos) << second.value.changes[0];
    EXPECT_EQ(second.value.source, SnapshotSource::HomeAssistant);
    EXPECT_EQ(second.value.timeMs, 200);
    EXPECT_EQ(second.value.processor, "room1");

    EXPECT_EQ(store.List("", 0, 10).value.size(), 3u);
    EXPECT_EQ(store.List("room1", 150, 10).value.size(), 1u);
    const auto newest = store.List("", 0, 2).value;
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(newest[0].timeMs, 150);
    EXPECT_EQ(newest[1].timeMs, 200);

    EXPECT_EQ(store.Get(99999).result.status, Status::NotFound);
    EXPECT_EQ(store.ImageOf(99999).result.status, Status::NotFound);
    EXPECT_EQ(store.List("room 1", 0, 10).result.status, Status::BadValue);
    EXPECT_EQ(store.List("room1", 0, 0).result.status, Status::BadValue);
    EXPECT_EQ(store.AddSnapshot("room1", 300, SnapshotSource::Api, HistoryImage(3350)).status,
              Status::BadValue);
    EXPECT_EQ(store.AddSnapshot("", 300, SnapshotSource::Api, FactoryImage()).status,
              Status::BadValue);
}

TEST_P(HistoryBackendTest, DriftIsRaisedAndClearedAndEveryApprovalIsKept) {
    const HistoryImage approved = WithDelay(1.0);
    const HistoryImage changed = WithDelay(5.0);
    {
        HistoryStore store(QuickOptions());
        ASSERT_TRUE(store.Open(Url()).ok());
        EXPECT_EQ(store.Drift("room1", changed).result.status, Status::NotFound);
        ASSERT_TRUE(store.SetApproved("room1", approved).ok());
        auto preset = store.Approved("room1");
        ASSERT_TRUE(preset.ok());
        EXPECT_EQ(preset.value.image, approved);
        EXPECT_FALSE(preset.value.fromSnapshotId.has_value());
        EXPECT_TRUE(store.Drift("room1", approved).value.empty());
        EXPECT_EQ(store.Drift("room1", changed).value.size(), 1u);
        EXPECT_EQ(store.Drift("room2", changed).result.status, Status::NotFound);
    }
    HistoryStore store(QuickOptions());
    ASSERT_TRUE(store.Open(Url()).ok());
    EXPECT_EQ(store.Drift("room1", changed).value, fx::ImageChanges(approved, changed))
        << "the approved preset outlives the store";
    ASSERT_TRUE(store.SetApproved("room1", changed).ok());
    EXPECT_TRUE(store.Drift("room1", changed).value.empty()) << "approving clears the drift";
    EXPECT_EQ(store.Drift("room1", approved).value.size(), 1u);
    ASSERT_TRUE(store.ClearApproved("room1").ok());
    EXPECT_EQ(store.Drift("room1", approved).result.status, Status::NotFound);
    EXPECT_EQ(store.Approved("room1").result.status, Status::NotFound);
    EXPECT_EQ(store.ClearApproved("room1").status, Status::NotFound);
    EXPECT_EQ(store.SetApproved("room1", HistoryImage(10)).status, Status::BadValue);
    EXPECT_EQ(Raw()->Number("SELECT COUNT(*) FROM approvals"), 2);
}

TEST_P(HistoryBackendTest, ApprovingASnapshotTakesItsImage) {
    HistoryStore store(QuickOptions());
    ASSERT_TRUE(store.Open(Url()).ok());
    ASSERT_TRUE(store.AddSnapshot("room1", 1, SnapshotSource::Api, WithDelay(1.0)).ok());
    ASSERT_TRUE(store.AddSnapshot("room1", 2, SnapshotSource::Api, WithDelay(2.0)).ok());
    ASSERT_TRUE(store.AddSnapshot("room2", 3, SnapshotSource::Api, WithDelay(3.0)).ok());
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    const int64_t second = All(store, "room1")[1].id;
    const int64_t room2s = All(store, "room2")[0].id;

    ASSERT_TRUE(store.SetApproved("room1", {}, second).ok());
    auto preset = store.Approved("room1");
    ASSERT_TRUE(preset.ok());
    EXPECT_EQ(preset.value.image, WithDelay(2.0));
    EXPECT_EQ(preset.value.fromSnapshotId, second);
    EXPECT_TRUE(store.Drift("room1", WithDelay(2.0)).value.empty());

    EXPECT_EQ(store.SetApproved("room1", {}, room2s).status, Status::BadValue);
    EXPECT_EQ(store.SetApproved("room1", {}, 99999).status, Status::NotFound);
    EXPECT_EQ(store.SetApproved("room1", WithDelay(1.0), second).status, Status::BadValue);
    EXPECT_EQ(store.Approved("room1").value.image, WithDelay(2.0)) << "refusals change nothing";
}

TEST_P(HistoryBackendTest, AVersion1DatabaseIsMigratedAtOpen) {
    const std::vector<std::pair<std::string, HistoryImage>> rows{
        {"room1", WithDelay(1.0)}, {"room1", WithDelay(2.0)}, {"room2", WithDelay(7.0)},
        {"room1", WithDelay(3.0)}, {"room2", FactoryImage()},
    };
    {
        auto raw = Raw();
        ASSERT_TRUE(raw->open());
        for (const QString& sql :
             {QString("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
              QString("INSERT INTO schema_version (version) VALUES (1)"),
              "CREATE TABLE snapshots (id BIGINT PRIMARY KEY, processor TEXT NOT NULL, "
              "time_ms BIGINT NOT NULL, source TEXT NOT NULL, changes TEXT NOT NULL, image " +
                  BlobType() + " NOT NULL)",
              "CREATE TABLE approved (processor TEXT PRIMARY KEY, image " + BlobType() +
                  " NOT NULL, snapshot_id BIGINT, set_ms BIGINT NOT NULL)"})
            ASSERT_EQ(raw->Exec(sql), "") << sql.toStdString();
        QSqlQuery insert(raw->db());
        insert.prepare("INSERT INTO snapshots VALUES (?, ?, ?, 'api', ?, ?)");
        for (size_t i = 0; i < rows.size(); ++i) {
            insert.bindValue(0, qlonglong(i + 1));
            insert.bindValue(1, QString::fromStdString(rows[i].first));
            insert.bindValue(2, qlonglong(1000 * (i + 1)));
            insert.bindValue(3, QString("line %1").arg(i + 1));
            insert.bindValue(4, QByteArray(reinterpret_cast<const char*>(rows[i].second.data()),
                                           static_cast<int>(rows[i].second.size())));
            ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
        }
        insert.prepare("INSERT INTO approved VALUES ('room1', ?, 2, 5000)");
        insert.bindValue(0, QByteArray(reinterpret_cast<const char*>(rows[1].second.data()),
                                       static_cast<int>(rows[1].second.size())));
        ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
    }

    HistoryStore store(QuickOptions());
    const HistoryResult opened = store.Open(Url());
    ASSERT_TRUE(opened.ok()) << opened.message;
    EXPECT_EQ(Raw()->Number("SELECT version FROM schema_version"), 2);
    for (size_t i = 0; i < rows.size(); ++i) {
        auto image = store.ImageOf(static_cast<int64_t>(i + 1));
        ASSERT_TRUE(image.ok()) << image.result.message;
        EXPECT_EQ(image.value, rows[i].second) << "snapshot " << i + 1;
        EXPECT_EQ(store.Get(static_cast<int64_t>(i + 1)).value.changes,
                  std::vector<std::string>{"line " + std::to_string(i + 1)});
    }
    auto preset = store.Approved("room1");
    ASSERT_TRUE(preset.ok()) << preset.result.message;
    EXPECT_EQ(preset.value.image, rows[1].second);
    EXPECT_EQ(preset.value.fromSnapshotId, 2);
    EXPECT_EQ(preset.value.setMs, 5000);

    // Writing goes on after the migrated chain.
    ASSERT_TRUE(store.AddSnapshot("room1", 9000, SnapshotSource::Api, WithDelay(4.0)).ok());
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    const auto room1 = All(store, "room1");
    ASSERT_EQ(room1.size(), 4u);
    EXPECT_EQ(room1.back().id, 6);
    EXPECT_EQ(room1.back().changes, fx::ImageChanges(WithDelay(3.0), WithDelay(4.0)));
    EXPECT_EQ(store.ImageOf(6).value, WithDelay(4.0));
    store.Close();

    // A database a later program wrote is left alone.
    ASSERT_EQ(Raw()->Exec("UPDATE schema_version SET version = 3"), "");
    const HistoryResult refused = store.Open(Url());
    EXPECT_EQ(refused.status, Status::Failed);
    EXPECT_NE(refused.message.find("newer"), std::string::npos) << refused.message;
    EXPECT_FALSE(store.IsOpen());
}

TEST_P(HistoryBackendTest, RetentionKeepsAMonthWholeThenTheLastOfEachDayAndWhatWasApproved) {
    constexpr int kInterval = 4; // short chains, so deletions cut through them
    constexpr int kDays = 45;
    const int hours[] = {1, 5, 9, 13, 17};
    const std::vector<std::string> processors{"room1", "room2"};
    HistoryStore store(QuickOptions(kInterval));
    ASSERT_TRUE(store.Open(Url()).ok());
    std::mt19937 random(3);
    std::map<std::string, HistoryImage> current;
    std::map<int64_t, HistoryImage> expected; // by time, unique across processors
    for (const std::string& name : processors) current[name] = FactoryImage();
    for (int day = 0; day < kDays; ++day)
        for (int hour : hours)
            for (size_t p = 0; p < processors.size(); ++p) {
                HistoryImage& image = current[processors[p]];
                image[kModeFileHeaderSize + random() % kPanelSize] = static_cast<uint8_t>(random());
                const int64_t time = day * kDayMs + hour * kHourMs + static_cast<int64_t>(p);
                ASSERT_TRUE(
                    store.AddSnapshot(processors[p], time, SnapshotSource::Api, image).ok());
                expected[time] = image;
            }
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    // An approval from a snapshot that would otherwise go.
    const int64_t approvedTime = 10 * kDayMs + 5 * kHourMs;
    const auto approvedId = store.List("room1", approvedTime, 10000).value.front().id;
    ASSERT_TRUE(store.SetApproved("room1", {}, approvedId).ok());

    const int64_t now = kDays * kDayMs;
    const int64_t cutoff = now - 30 * kDayMs;
    auto deleted = store.ApplyRetention(now);
    ASSERT_TRUE(deleted.ok()) << deleted.result.message;
    const int oldDays = static_cast<int>(cutoff / kDayMs);
    EXPECT_EQ(deleted.value, static_cast<int64_t>(oldDays * 4 * processors.size() - 1));

    auto raw = Raw();
    for (const std::string& name : processors) {
        std::map<int64_t, int> perOldDay;
        int recent = 0;
        for (const fx::SnapshotInfo& snapshot : All(store, name)) {
            auto image = store.ImageOf(snapshot.id);
            ASSERT_TRUE(image.ok()) << image.result.message;
            ASSERT_EQ(image.value, expected[snapshot.timeMs]) << name << " at " << snapshot.timeMs;
            if (snapshot.timeMs >= cutoff) {
                ++recent;
            } else if (snapshot.id != approvedId) {
                ++perOldDay[snapshot.timeMs / kDayMs];
                EXPECT_EQ(snapshot.timeMs % kDayMs / kHourMs, 17) << "the last of its day";
            }
        }
        EXPECT_EQ(recent, (kDays - oldDays) * 5) << name;
        EXPECT_EQ(perOldDay.size(), static_cast<size_t>(oldDays)) << name;
        for (const auto& [day, count] : perOldDay) EXPECT_EQ(count, 1) << name << " day " << day;
        const int longest = LongestDeltaRun(Kinds(*raw, name));
        EXPECT_GE(longest, 0) << name << " starts with a whole image";
        EXPECT_LE(longest, kInterval - 1) << name;
    }
    EXPECT_EQ(store.ImageOf(approvedId).value, store.Approved("room1").value.image);
    EXPECT_EQ(store.ApplyRetention(now).value, 0) << "a second run finds nothing more";

    current["room1"][kModeFileHeaderSize] ^= 1;
    ASSERT_TRUE(store.AddSnapshot("room1", now, SnapshotSource::Api, current["room1"]).ok());
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    EXPECT_EQ(store.ImageOf(All(store, "room1").back().id).value, current["room1"]);
}

TEST_P(HistoryBackendTest, SnapshotsWaitWhileTheDatabaseIsUnreachableAndNoneIsLost) {
    fx::HistoryOptions options = QuickOptions();
    options.queueLimit = 30;
    HistoryStore store(options);
    ASSERT_TRUE(store.Open(Url()).ok());
    for (int n = 0; n < 5; ++n)
        ASSERT_TRUE(
            store.AddSnapshot("room1", n, SnapshotSource::Api, history_test::NumberedImage(n))
                .ok());
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;

    // Gone (the server stopped) or locked (another writer holds the file).
    auto locker = Raw();
    if (postgres()) {
        ASSERT_TRUE(cluster_->Stop());
        const auto listed = store.List("room1", 0, 10);
        EXPECT_EQ(listed.result.status, Status::Unavailable) << listed.result.message;
        EXPECT_FALSE(store.Health().ok);
        EXPECT_FALSE(store.Health().error.empty());
    } else {
        ASSERT_EQ(locker->Exec("BEGIN EXCLUSIVE"), "");
    }
    const int added = postgres() ? 40 : 25; // a locked file is told of no drops
    for (int n = 5; n < 5 + added; ++n)
        ASSERT_TRUE(
            store.AddSnapshot("room1", n, SnapshotSource::Api, history_test::NumberedImage(n))
                .ok());
    if (postgres()) {
        EXPECT_EQ(store.Health().queued, 30u);
        EXPECT_EQ(store.Health().dropped, 10u);
        std::string why;
        ASSERT_TRUE(cluster_->Start(&why)) << why;
    } else {
        ASSERT_EQ(locker->Exec("COMMIT"), "");
    }
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    EXPECT_TRUE(store.Health().ok) << store.Health().error;

    // The first five, then the newest that the queue held.
    const auto snapshots = All(store, "room1");
    const int64_t firstKept = postgres() ? 15 : 5;
    ASSERT_EQ(snapshots.size(), static_cast<size_t>(5 + 5 + added - firstKept));
    for (size_t i = 0; i < snapshots.size(); ++i) {
        const int64_t n = i < 5 ? static_cast<int64_t>(i) : firstKept + static_cast<int64_t>(i) - 5;
        EXPECT_EQ(snapshots[i].timeMs, n);
        EXPECT_EQ(store.ImageOf(snapshots[i].id).value, history_test::NumberedImage(n)) << n;
    }
    if (!postgres()) return;

    // A server that is down when the store opens: the store waits for it.
    store.Close();
    ASSERT_TRUE(cluster_->Stop());
    EXPECT_EQ(store.Open(Url()).status, Status::Unavailable);
    ASSERT_TRUE(store.IsOpen());
    ASSERT_TRUE(store.AddSnapshot("room1", 100, SnapshotSource::Daemon, FactoryImage()).ok());
    std::string why;
    ASSERT_TRUE(cluster_->Start(&why)) << why;
    ASSERT_TRUE(store.Flush(kFlushTimeout)) << store.Health().error;
    EXPECT_EQ(All(store, "room1").back().timeMs, 100);
}

TEST(HistoryStoreTest, OpeningRefusesBadUrlsAndDamagedFiles) {
    HistoryStore store;
    EXPECT_EQ(store.Open("").status, Status::BadValue);
    EXPECT_EQ(store.Open("mysql://u@127.0.0.1:1/x").status, Status::BadValue);
    EXPECT_EQ(store.Open("postgresql://127.0.0.1:5432/").status, Status::BadValue);
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.List("room1", 0, 1).result.status, Status::Failed);

    history_test::TempFolder folder;
    const std::string path = folder.path() + "/damaged.db";
    {
        HistoryStore first;
        ASSERT_TRUE(first.Open(path).ok());
        ASSERT_TRUE(first.AddSnapshot("room1", 1, SnapshotSource::Api, FactoryImage()).ok());
    }
    // Garbage over the pages after the header.
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 4096, SEEK_SET);
    std::vector<char> garbage(8192, '\x5A');
    std::fwrite(garbage.data(), 1, garbage.size(), file);
    std::fclose(file);
    const HistoryResult damaged = store.Open(path);
    EXPECT_EQ(damaged.status, Status::Failed) << "a damaged file is not written to";
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(damaged.message.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryBackendTest,
                         testing::Values(Backend::Sqlite, Backend::Postgres),
                         history_test::BackendName);

} // namespace
