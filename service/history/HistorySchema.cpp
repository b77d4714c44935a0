#include "service/history/HistorySchema.h"

#include "service/history/ImageCodec.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>
#include <limits>
#include <map>

namespace fx {

namespace {

using Status = HistoryResult::Status;

const char* const kSnapshotTable =
    "CREATE TABLE snapshots (id BIGINT PRIMARY KEY, processor TEXT NOT NULL, "
    "time_ms BIGINT NOT NULL, source TEXT NOT NULL, changes TEXT NOT NULL, "
    "kind INTEGER NOT NULL, data BLOB NOT NULL, fingerprint BIGINT NOT NULL)";
const char* const kSnapshotIndexes[] = {
    "CREATE INDEX snapshots_by_processor ON snapshots (processor, id)",
    "CREATE INDEX snapshots_by_time ON snapshots (processor, time_ms)",
    "CREATE INDEX snapshots_by_any_time ON snapshots (time_ms)",
};
const char* const kApprovalTable =
    "CREATE TABLE approvals (id BIGINT PRIMARY KEY, processor TEXT NOT NULL, "
    "image BLOB NOT NULL, snapshot_id BIGINT, set_ms BIGINT NOT NULL, cleared_ms BIGINT)";
const char* const kApprovalIndex =
    "CREATE INDEX approvals_by_processor ON approvals (processor, id)";

HistoryResult Unavailable(const std::string& why) {
    return HistoryResult::Fail(Status::Unavailable, why);
}

QByteArray ToBlob(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return QByteArray(""); // an unchanged image, not NULL
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

bool ExecAll(HistoryConnection& connection, const std::vector<const char*>& statements,
             std::string* why) {
    for (const char* sql : statements)
        if (!connection.Exec(connection.Sql(sql), why)) return false;
    return true;
}

bool SetVersion(HistoryConnection& connection, int version, std::string* why) {
    QSqlQuery* query = nullptr;
    if (!connection.Prepare(query, "UPDATE schema_version SET version = ?", why)) return false;
    query->addBindValue(version);
    if (query->exec()) return true;
    *why = HistoryConnection::ErrorText(*query);
    return false;
}

// Runs step in a transaction: all of it or nothing.
HistoryResult InTransaction(HistoryConnection& connection,
                            const std::function<HistoryResult()>& step) {
    QSqlDatabase& db = connection.Database();
    if (!db.transaction()) return Unavailable(connection.ErrorText());
    HistoryResult result = step();
    if (result.ok() && !db.commit()) result = Unavailable(connection.ErrorText());
    if (!result.ok()) db.rollback();
    return result;
}

} // namespace

HistoryReply<int> HistorySchema::VersionOf(HistoryConnection& connection) {
    HistoryReply<int> reply;
    const QStringList tables = connection.Database().tables();
    if (!tables.contains("schema_version")) {
        if (tables.contains("snapshots") || tables.contains("approvals"))
            reply.result = HistoryResult::Fail(Status::Failed,
                                               "history database: tables without a schema version");
        return reply;
    }
    QSqlQuery query(connection.Database());
    if (!query.exec("SELECT version FROM schema_version")) {
        reply.result = Unavailable(HistoryConnection::ErrorText(query));
        return reply;
    }
    if (!query.next()) {
        reply.result =
            HistoryResult::Fail(Status::Failed, "history database: the schema version is missing");
        return reply;
    }
    reply.value = query.value(0).toInt();
    return reply;
}

HistoryResult HistorySchema::Migrate(HistoryConnection& connection, int fullImageInterval) {
    HistoryReply<int> version = VersionOf(connection);
    if (!version.ok()) return version.result;
    if (version.value > kVersion)
        return HistoryResult::Fail(Status::Failed,
                                   "history database: version " + std::to_string(version.value) +
                                       " is newer than this program's " + std::to_string(kVersion));
    if (version.value == 0) return InTransaction(connection, [&] { return Create(connection); });
    if (version.value == 1)
        return InTransaction(connection,
                             [&] { return FromVersion1(connection, fullImageInterval); });
    return HistoryResult::Ok();
}

HistoryResult HistorySchema::Create(HistoryConnection& connection) {
    std::vector<const char*> statements{"CREATE TABLE schema_version (version INTEGER NOT NULL)",
                                        kSnapshotTable, kApprovalTable, kApprovalIndex};
    for (const char* index : kSnapshotIndexes) statements.push_back(index);
    std::string why;
    if (!ExecAll(connection, statements, &why)) return Unavailable(why);
    QSqlQuery* insert = nullptr;
    if (!connection.Prepare(insert, "INSERT INTO schema_version (version) VALUES (?)", &why))
        return Unavailable(why);
    insert->addBindValue(kVersion);
    if (!insert->exec()) return Unavailable(HistoryConnection::ErrorText(*insert));
    return HistoryResult::Ok();
}

// Version 1 held snapshots (id, processor, time_ms, source, changes, image)
// with every image whole, and approved (processor, image, snapshot_id,
// set_ms) with one row per processor.
HistoryResult HistorySchema::FromVersion1(HistoryConnection& connection, int fullImageInterval) {
    std::string why;
    // The new table gets its own name until the old one is gone (an index
    // named after a renamed table keeps its name, and would clash).
    QString newTable = connection.Sql(kSnapshotTable);
    newTable.replace("CREATE TABLE snapshots ", "CREATE TABLE snapshots_v2 ");
    if (!connection.Exec(newTable, &why) ||
        !ExecAll(connection, {kApprovalTable, kApprovalIndex}, &why))
        return Unavailable(why);

    QSqlQuery *page = nullptr, *insert = nullptr;
    if (!connection.Prepare(page,
                            "SELECT id, processor, time_ms, source, changes, image FROM snapshots "
                            "WHERE id > ? ORDER BY id LIMIT 200",
                            &why) ||
        !connection.Prepare(insert,
                            "INSERT INTO snapshots_v2 (id, processor, time_ms, source, changes, "
                            "kind, data, fingerprint) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                            &why))
        return Unavailable(why);
    struct End {
        HistoryImage image;
        int deltas = 0;
    };
    std::map<QString, End> ends;
    // Page by page: a connection runs one query at a time.
    qlonglong after = std::numeric_limits<qlonglong>::min();
    for (;;) {
        page->bindValue(0, after);
        if (!page->exec()) return Unavailable(HistoryConnection::ErrorText(*page));
        std::vector<std::array<QVariant, 6>> rows;
        while (page->next())
            rows.push_back({page->value(0), page->value(1), page->value(2), page->value(3),
                            page->value(4), page->value(5)});
        if (rows.empty()) break;
        for (const auto& row : rows) {
            after = row[0].toLongLong();
            const QString processor = row[1].toString();
            const QByteArray blob = row[5].toByteArray();
            const HistoryImage image(blob.begin(), blob.end());
            const auto end = ends.find(processor);
            const ImageCodec::Stored stored =
                ImageCodec::Encode(end == ends.end() ? nullptr : &end->second.image, image,
                                   end == ends.end() ? 0 : end->second.deltas, fullImageInterval);
            for (int column = 0; column < 5; ++column) insert->bindValue(column, row[column]);
            insert->bindValue(5, static_cast<int>(stored.kind));
            insert->bindValue(6, ToBlob(stored.data));
            insert->bindValue(7, QVariant::fromValue<qlonglong>(ImageCodec::Fingerprint(image)));
            if (!insert->exec()) return Unavailable(HistoryConnection::ErrorText(*insert));
            const int deltas = stored.kind == ImageCodec::kWhole ? 0 : ends[processor].deltas + 1;
            ends[processor] = {image, deltas};
        }
    }

    // The one approved preset of each processor becomes its first approval.
    std::vector<const char*> statements = {
        "INSERT INTO approvals (id, processor, image, snapshot_id, set_ms) "
        "SELECT ROW_NUMBER() OVER (ORDER BY processor), processor, image, snapshot_id, "
        "set_ms FROM approved",
        "DROP TABLE approved", "DROP TABLE snapshots",
        "ALTER TABLE snapshots_v2 RENAME TO snapshots"};
    for (const char* index : kSnapshotIndexes) statements.push_back(index);
    if (!ExecAll(connection, statements, &why)) return Unavailable(why);
    if (!SetVersion(connection, kVersion, &why)) return Unavailable(why);
    return HistoryResult::Ok();
}

} // namespace fx
