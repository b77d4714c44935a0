#include "service/history/SnapshotArchive.h"

#include "service/history/ImageChanges.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace fx {

namespace {

using Status = HistoryResult::Status;

constexpr int kRechainPage = 500;

// An unchanged image is an empty delta, which must not be stored as NULL.
QByteArray ToBlob(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return QByteArray("");
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

std::vector<uint8_t> FromBlob(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

QString JoinLines(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines) list.append(QString::fromStdString(line));
    return list.isEmpty() ? QStringLiteral("") : list.join('\n'); // never NULL
}

std::vector<std::string> SplitLines(const QString& text) {
    std::vector<std::string> lines;
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
}

HistoryResult NotFound(int64_t id) {
    return HistoryResult::Fail(Status::NotFound, "no snapshot " + std::to_string(id));
}

// A snapshot's columns but its image, from "id, processor, time_ms, source, changes".
SnapshotInfo InfoFromRow(const QSqlQuery& query) {
    SnapshotInfo info;
    info.id = query.value(0).toLongLong();
    info.processor = query.value(1).toString().toStdString();
    info.timeMs = query.value(2).toLongLong();
    info.source = SnapshotSourceFromId(query.value(3).toString().toStdString())
                      .value_or(SnapshotSource::Daemon);
    info.changes = SplitLines(query.value(4).toString());
    return info;
}

} // namespace

SnapshotArchive::SnapshotArchive(HistoryConnection& connection, int fullImageInterval)
    : m_connection(connection), m_interval(std::max(1, fullImageInterval)) {}

void SnapshotArchive::Forget() {
    m_ends.clear();
    m_nextId = 0;
}

HistoryResult SnapshotArchive::Fail(const std::string& why) const {
    return HistoryResult::Fail(Status::Unavailable, why);
}

HistoryResult SnapshotArchive::Write(const std::vector<PendingSnapshot>& batch) {
    QSqlDatabase& db = m_connection.Database();
    if (!db.transaction()) return Fail(m_connection.ErrorText());
    std::map<std::string, ChainEnd> ends = m_ends;
    HistoryResult result = m_nextId == 0 ? LoadNextId() : HistoryResult::Ok();
    for (size_t i = 0; result.ok() && i < batch.size(); ++i) result = WriteOne(batch[i], ends);
    if (result.ok() && !db.commit()) result = Fail(m_connection.ErrorText());
    if (!result.ok()) {
        db.rollback();
        Forget();
        return result;
    }
    m_ends = std::move(ends);
    return result;
}

HistoryResult SnapshotArchive::LoadNextId() {
    QSqlQuery query(m_connection.Database());
    if (!query.exec("SELECT MAX(id) FROM snapshots") || !query.next())
        return Fail(HistoryConnection::ErrorText(query));
    m_nextId = query.value(0).toLongLong() + 1;
    return HistoryResult::Ok();
}

HistoryResult SnapshotArchive::WriteOne(const PendingSnapshot& snapshot,
                                        std::map<std::string, ChainEnd>& ends) {
    if (!ends.count(snapshot.processor)) {
        const HistoryResult loaded = LoadChainEnd(snapshot.processor, ends);
        if (!loaded.ok()) return loaded;
    }
    const auto end = ends.find(snapshot.processor);
    const HistoryImage* previous = end == ends.end() ? nullptr : &end->second.lastImage;
    const int deltas = end == ends.end() ? 0 : end->second.deltasSinceWhole;
    const std::vector<std::string> changes =
        previous ? ImageChanges(*previous, snapshot.image) : std::vector<std::string>{};
    const ImageCodec::Stored stored =
        ImageCodec::Encode(previous, snapshot.image, deltas, m_interval);

    QSqlQuery* insert = nullptr;
    std::string why;
    if (!m_connection.Prepare(insert,
                              "INSERT INTO snapshots (id, processor, time_ms, source, changes, "
                              "kind, data, fingerprint) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                              &why))
        return Fail(why);
    const int64_t id = m_nextId;
    insert->addBindValue(QVariant::fromValue<qlonglong>(id));
    insert->addBindValue(QString::fromStdString(snapshot.processor));
    insert->addBindValue(QVariant::fromValue<qlonglong>(snapshot.timeMs));
    insert->addBindValue(QString::fromLatin1(SnapshotSourceId(snapshot.source)));
    insert->addBindValue(JoinLines(changes));
    insert->addBindValue(static_cast<int>(stored.kind));
    insert->addBindValue(ToBlob(stored.data));
    insert->addBindValue(QVariant::fromValue<qlonglong>(ImageCodec::Fingerprint(snapshot.image)));
    if (!insert->exec()) return Fail(HistoryConnection::ErrorText(*insert));
    ++m_nextId;
    ends[snapshot.processor] = {id, snapshot.image,
                                stored.kind == ImageCodec::kWhole ? 0 : deltas + 1};
    return HistoryResult::Ok();
}

HistoryResult SnapshotArchive::LoadChainEnd(const std::string& processor,
                                            std::map<std::string, ChainEnd>& ends) {
    QSqlQuery* query = nullptr;
    std::string why;
    if (!m_connection.Prepare(query, "SELECT MAX(id) FROM snapshots WHERE processor = ?", &why))
        return Fail(why);
    query->addBindValue(QString::fromStdString(processor));
    if (!query->exec() || !query->next()) return Fail(HistoryConnection::ErrorText(*query));
    if (query->value(0).isNull()) return HistoryResult::Ok(); // its first snapshot
    const int64_t lastId = query->value(0).toLongLong();
    // A chain that does not read back whole is left behind: the next
    // snapshot starts a new one with its whole image.
    HistoryReply<std::vector<StoredRow>> chain = ChainUpTo(processor, lastId);
    if (chain.result.status == Status::Failed) return HistoryResult::Ok();
    if (!chain.ok()) return chain.result;
    HistoryReply<HistoryImage> image = Rebuild(chain.value);
    if (image.result.status == Status::Failed) return HistoryResult::Ok();
    if (!image.ok()) return image.result;
    ends[processor] = {lastId, std::move(image.value), static_cast<int>(chain.value.size()) - 1};
    return HistoryResult::Ok();
}

HistoryReply<std::vector<SnapshotArchive::StoredRow>>
SnapshotArchive::ChainUpTo(const std::string& processor, int64_t id) {
    HistoryReply<std::vector<StoredRow>> reply;
    QSqlQuery* query = nullptr;
    std::string why;
    if (!m_connection.Prepare(query,
                              "SELECT id, kind, data, fingerprint FROM snapshots "
                              "WHERE processor = ? AND id <= ? AND id >= "
                              "(SELECT MAX(id) FROM snapshots "
                              " WHERE processor = ? AND kind = 0 AND id <= ?) ORDER BY id",
                              &why)) {
        reply.result = Fail(why);
        return reply;
    }
    const QString name = QString::fromStdString(processor);
    query->addBindValue(name);
    query->addBindValue(QVariant::fromValue<qlonglong>(id));
    query->addBindValue(name);
    query->addBindValue(QVariant::fromValue<qlonglong>(id));
    if (!query->exec()) {
        reply.result = Fail(HistoryConnection::ErrorText(*query));
        return reply;
    }
    while (query->next())
        reply.value.push_back({query->value(0).toLongLong(),
                               static_cast<ImageCodec::Kind>(query->value(1).toInt()),
                               FromBlob(query->value(2)), query->value(3).toLongLong()});
    if (reply.value.empty() || reply.value.back().id != id)
        reply.result =
            HistoryResult::Fail(Status::Failed, "history database: snapshot " + std::to_string(id) +
                                                    " has no whole image before it");
    return reply;
}

HistoryReply<HistoryImage> SnapshotArchive::DecodeRow(const HistoryImage* previous,
                                                      const StoredRow& row) {
    HistoryReply<HistoryImage> reply;
    std::optional<HistoryImage> image = ImageCodec::Decode(previous, row.kind, row.data);
    if (!image || ImageCodec::Fingerprint(*image) != row.fingerprint) {
        reply.result = HistoryResult::Fail(Status::Failed, "history database: snapshot " +
                                                               std::to_string(row.id) +
                                                               " does not read back whole");
        return reply;
    }
    reply.value = std::move(*image);
    return reply;
}

HistoryReply<HistoryImage> SnapshotArchive::Rebuild(const std::vector<StoredRow>& rows) {
    HistoryReply<HistoryImage> reply;
    for (const StoredRow& row : rows) {
        HistoryReply<HistoryImage> image =
            DecodeRow(reply.value.empty() ? nullptr : &reply.value, row);
        if (!image.ok()) return image;
        reply.value = std::move(image.value);
    }
    return reply;
}

HistoryReply<std::vector<SnapshotInfo>> SnapshotArchive::List(const std::string& processor,
                                                              int64_t sinceMs, int limit) {
    HistoryReply<std::vector<SnapshotInfo>> reply;
    QSqlQuery* query = nullptr;
    std::string why;
    const bool all = processor.empty();
    const char* sql = all ? "SELECT id, processor, time_ms, source, changes FROM snapshots "
                            "WHERE time_ms >= ? ORDER BY time_ms DESC, id DESC LIMIT ?"
                          : "SELECT id, processor, time_ms, source, changes FROM snapshots "
                            "WHERE processor = ? AND time_ms >= ? "
                            "ORDER BY time_ms DESC, id DESC LIMIT ?";
    if (!m_connection.Prepare(query, sql, &why)) {
        reply.result = Fail(why);
        return reply;
    }
    if (!all) query->addBindValue(QString::fromStdString(processor));
    query->addBindValue(QVariant::fromValue<qlonglong>(sinceMs));
    query->addBindValue(std::max(0, limit));
    if (!query->exec()) {
        reply.result = Fail(HistoryConnection::ErrorText(*query));
        return reply;
    }
    while (query->next()) reply.value.push_back(InfoFromRow(*query));
    std::reverse(reply.value.begin(), reply.value.end());
    return reply;
}

HistoryReply<SnapshotInfo> SnapshotArchive::Get(int64_t id) {
    HistoryReply<SnapshotInfo> reply;
    QSqlQuery* query = nullptr;
    std::string why;
    if (!m_connection.Prepare(query,
                              "SELECT id, processor, time_ms, source, changes FROM snapshots "
                              "WHERE id = ?",
                              &why)) {
        reply.result = Fail(why);
        return reply;
    }
    query->addBindValue(QVariant::fromValue<qlonglong>(id));
    if (!query->exec()) {
        reply.result = Fail(HistoryConnection::ErrorText(*query));
        return reply;
    }
    if (!query->next()) {
        reply.result = NotFound(id);
        return reply;
    }
    reply.value = InfoFromRow(*query);
    return reply;
}

HistoryReply<HistoryImage> SnapshotArchive::ImageOf(int64_t id) {
    HistoryReply<SnapshotInfo> info = Get(id);
    if (!info.ok()) return {info.result, {}};
    HistoryReply<std::vector<StoredRow>> chain = ChainUpTo(info.value.processor, id);
    if (!chain.ok()) return {chain.result, {}};
    return Rebuild(chain.value);
}

HistoryReply<std::set<int64_t>> SnapshotArchive::DroppedBy(const std::string& processor,
                                                           int64_t cutoffMs, int64_t periodMs,
                                                           const std::set<int64_t>& keep) {
    HistoryReply<std::set<int64_t>> reply;
    QSqlQuery* query = nullptr;
    std::string why;
    if (!m_connection.Prepare(query,
                              "SELECT id, time_ms, (SELECT MAX(id) FROM snapshots WHERE "
                              "processor = ?) FROM snapshots WHERE processor = ? AND time_ms < ? "
                              "ORDER BY time_ms, id",
                              &why)) {
        reply.result = Fail(why);
        return reply;
    }
    const QString name = QString::fromStdString(processor);
    query->addBindValue(name);
    query->addBindValue(name);
    query->addBindValue(QVariant::fromValue<qlonglong>(cutoffMs));
    if (!query->exec()) {
        reply.result = Fail(HistoryConnection::ErrorText(*query));
        return reply;
    }
    // The last of each period stays; so does the newest of all, which the
    // next snapshot is written against.
    std::optional<int64_t> held;
    int64_t heldPeriod = 0;
    while (query->next()) {
        const int64_t id = query->value(0).toLongLong();
        const int64_t time = query->value(1).toLongLong();
        const int64_t newest = query->value(2).toLongLong();
        const int64_t period = time >= 0 ? time / periodMs : (time - periodMs + 1) / periodMs;
        if (held && period == heldPeriod && !keep.count(*held) && *held != newest)
            reply.value.insert(*held);
        held = id;
        heldPeriod = period;
    }
    return reply;
}

HistoryResult SnapshotArchive::Rechain(const std::string& processor,
                                       const std::set<int64_t>& dropped) {
    const QString name = QString::fromStdString(processor);
    QSqlQuery *startQuery = nullptr, *page = nullptr, *remove = nullptr, *update = nullptr;
    std::string why;
    if (!m_connection.Prepare(startQuery,
                              "SELECT MAX(id) FROM snapshots WHERE processor = ? AND kind = 0 "
                              "AND id <= ?",
                              &why) ||
        !m_connection.Prepare(page,
                              "SELECT id, kind, data, fingerprint FROM snapshots WHERE "
                              "processor = ? AND id > ? ORDER BY id LIMIT ?",
                              &why) ||
        !m_connection.Prepare(remove, "DELETE FROM snapshots WHERE id = ?", &why) ||
        !m_connection.Prepare(update, "UPDATE snapshots SET kind = ?, data = ? WHERE id = ?", &why))
        return Fail(why);
    startQuery->addBindValue(name);
    startQuery->addBindValue(QVariant::fromValue<qlonglong>(*dropped.begin()));
    if (!startQuery->exec() || !startQuery->next())
        return Fail(HistoryConnection::ErrorText(*startQuery));
    if (startQuery->value(0).isNull())
        return HistoryResult::Fail(Status::Failed, "history database: " + processor +
                                                       "'s snapshots have no "
                                                       "whole image to start from");
    const int64_t lastDropped = *dropped.rbegin();
    int64_t after = startQuery->value(0).toLongLong() - 1;

    // Walks the chain as stored (original) while writing it anew (kept): a
    // kept snapshot after a deleted one, or one that would make the run of
    // deltas too long, is encoded again against the kept one before it.
    std::optional<HistoryImage> original, kept;
    int deltas = 0;
    bool baseGone = false;
    for (;;) {
        page->bindValue(0, name);
        page->bindValue(1, QVariant::fromValue<qlonglong>(after));
        page->bindValue(2, kRechainPage);
        if (!page->exec()) return Fail(HistoryConnection::ErrorText(*page));
        std::vector<StoredRow> rows;
        while (page->next())
            rows.push_back({page->value(0).toLongLong(),
                            static_cast<ImageCodec::Kind>(page->value(1).toInt()),
                            FromBlob(page->value(2)), page->value(3).toLongLong()});
        if (rows.empty()) return HistoryResult::Ok();
        for (const StoredRow& row : rows) {
            after = row.id;
            HistoryReply<HistoryImage> image = DecodeRow(original ? &*original : nullptr, row);
            if (!image.ok()) return image.result;
            original = image.value;
            if (dropped.count(row.id)) {
                remove->bindValue(0, QVariant::fromValue<qlonglong>(row.id));
                if (!remove->exec()) return Fail(HistoryConnection::ErrorText(*remove));
                baseGone = true;
                continue;
            }
            ImageCodec::Kind kind = row.kind;
            const bool rewrite =
                baseGone || (kind == ImageCodec::kDelta && deltas + 1 >= m_interval);
            if (rewrite) {
                const ImageCodec::Stored stored =
                    ImageCodec::Encode(kept ? &*kept : nullptr, image.value, deltas, m_interval);
                kind = stored.kind;
                update->bindValue(0, static_cast<int>(stored.kind));
                update->bindValue(1, ToBlob(stored.data));
                update->bindValue(2, QVariant::fromValue<qlonglong>(row.id));
                if (!update->exec()) return Fail(HistoryConnection::ErrorText(*update));
            }
            deltas = kind == ImageCodec::kWhole ? 0 : deltas + 1;
            kept = std::move(image.value);
            baseGone = false;
            // Past the last deletion, a whole image left as it was starts a
            // chain nothing above touched.
            if (row.id > lastDropped && !rewrite && kind == ImageCodec::kWhole)
                return HistoryResult::Ok();
        }
    }
}

HistoryReply<int64_t> SnapshotArchive::ApplyRetention(int64_t nowMs, const RetentionPolicy& policy,
                                                      const std::set<int64_t>& keep) {
    HistoryReply<int64_t> reply;
    if (policy.keepAllMs < 0 || policy.periodMs <= 0) {
        reply.result = HistoryResult::Fail(Status::BadValue,
                                           "retention: keep-all time must be 0 or more and the "
                                           "period more than 0");
        return reply;
    }
    const int64_t cutoff = nowMs - policy.keepAllMs;
    QSqlQuery* processors = nullptr;
    std::string why;
    if (!m_connection.Prepare(processors,
                              "SELECT DISTINCT processor FROM snapshots WHERE time_ms < ?", &why)) {
        reply.result = Fail(why);
        return reply;
    }
    processors->addBindValue(QVariant::fromValue<qlonglong>(cutoff));
    if (!processors->exec()) {
        reply.result = Fail(HistoryConnection::ErrorText(*processors));
        return reply;
    }
    std::vector<std::string> names;
    while (processors->next()) names.push_back(processors->value(0).toString().toStdString());

    QSqlDatabase& db = m_connection.Database();
    if (!db.transaction()) {
        reply.result = Fail(m_connection.ErrorText());
        return reply;
    }
    Forget();
    for (const std::string& name : names) {
        HistoryReply<std::set<int64_t>> dropped = DroppedBy(name, cutoff, policy.periodMs, keep);
        HistoryResult result = dropped.result;
        if (result.ok() && !dropped.value.empty()) result = Rechain(name, dropped.value);
        if (!result.ok()) {
            db.rollback();
            reply.result = result;
            return reply;
        }
        reply.value += static_cast<int64_t>(dropped.value.size());
    }
    if (!db.commit()) {
        reply.result = Fail(m_connection.ErrorText());
        db.rollback();
    }
    return reply;
}

} // namespace fx
