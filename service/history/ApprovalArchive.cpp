#include "service/history/ApprovalArchive.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QVariant>

namespace fx {

namespace {

using Status = HistoryResult::Status;

HistoryResult Unavailable(const std::string& why) {
    return HistoryResult::Fail(Status::Unavailable, why);
}

} // namespace

ApprovalArchive::ApprovalArchive(HistoryConnection& connection) : m_connection(connection) {}

HistoryReply<std::map<std::string, ApprovedPreset>> ApprovalArchive::Current() {
    HistoryReply<std::map<std::string, ApprovedPreset>> reply;
    QSqlQuery query(m_connection.Database());
    if (!query.exec("SELECT processor, image, snapshot_id, set_ms FROM approvals a "
                    "WHERE cleared_ms IS NULL AND id = "
                    "(SELECT MAX(id) FROM approvals b WHERE b.processor = a.processor)")) {
        reply.result = Unavailable(HistoryConnection::ErrorText(query));
        return reply;
    }
    while (query.next()) {
        ApprovedPreset preset;
        preset.processor = query.value(0).toString().toStdString();
        const QByteArray image = query.value(1).toByteArray();
        preset.image.assign(image.begin(), image.end());
        if (!query.value(2).isNull()) preset.fromSnapshotId = query.value(2).toLongLong();
        preset.setMs = query.value(3).toLongLong();
        reply.value[preset.processor] = std::move(preset);
    }
    return reply;
}

HistoryResult ApprovalArchive::Add(const ApprovedPreset& preset) {
    QSqlQuery* insert = nullptr;
    std::string why;
    if (!m_connection.Prepare(insert,
                              "INSERT INTO approvals (id, processor, image, snapshot_id, set_ms) "
                              "SELECT COALESCE(MAX(id), 0) + 1, ?, ?, ?, ? FROM approvals",
                              &why))
        return Unavailable(why);
    insert->addBindValue(QString::fromStdString(preset.processor));
    insert->addBindValue(QByteArray(reinterpret_cast<const char*>(preset.image.data()),
                                    static_cast<qsizetype>(preset.image.size())));
    insert->addBindValue(preset.fromSnapshotId
                             ? QVariant::fromValue<qlonglong>(*preset.fromSnapshotId)
                             : QVariant(QMetaType::fromType<qlonglong>()));
    insert->addBindValue(QVariant::fromValue<qlonglong>(preset.setMs));
    if (!insert->exec()) return Unavailable(HistoryConnection::ErrorText(*insert));
    return HistoryResult::Ok();
}

HistoryResult ApprovalArchive::Clear(const std::string& processor, int64_t clearedMs) {
    QSqlQuery* update = nullptr;
    std::string why;
    if (!m_connection.Prepare(update,
                              "UPDATE approvals SET cleared_ms = ? WHERE cleared_ms IS NULL AND "
                              "id = (SELECT MAX(id) FROM approvals WHERE processor = ?)",
                              &why))
        return Unavailable(why);
    update->addBindValue(QVariant::fromValue<qlonglong>(clearedMs));
    update->addBindValue(QString::fromStdString(processor));
    if (!update->exec()) return Unavailable(HistoryConnection::ErrorText(*update));
    if (update->numRowsAffected() < 1)
        return HistoryResult::Fail(Status::NotFound, processor + " has no approved preset");
    return HistoryResult::Ok();
}

HistoryReply<std::set<int64_t>> ApprovalArchive::SourceSnapshots() {
    HistoryReply<std::set<int64_t>> reply;
    QSqlQuery query(m_connection.Database());
    if (!query.exec("SELECT DISTINCT snapshot_id FROM approvals WHERE snapshot_id IS NOT NULL")) {
        reply.result = Unavailable(HistoryConnection::ErrorText(query));
        return reply;
    }
    while (query.next()) reply.value.insert(query.value(0).toLongLong());
    return reply;
}

} // namespace fx
