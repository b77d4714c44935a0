#include "service/history/HistoryConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <atomic>

namespace fx {

namespace {

// Every connection has a name of its own in Qt's registry of connections.
QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("fxhistory-%1").arg(++counter);
}

std::string DriverText(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return "history database: " +
           (text.isEmpty() ? std::string("unknown error") : text.toStdString());
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

std::optional<HistoryConnection::Target> HistoryConnection::ParseUrl(const std::string& url,
                                                                     std::string* why) {
    Target target;
    if (url.empty()) {
        *why = "history database: no file or URL given";
        return std::nullopt;
    }
    if (!StartsWith(url, "postgresql://") && !StartsWith(url, "postgres://")) {
        if (url.find("://") != std::string::npos) {
            *why = "history database: unknown kind of URL " + url;
            return std::nullopt;
        }
        target.path = url;
        return target;
    }
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    const QString database = parsed.path().mid(1);
    if (!parsed.isValid() || parsed.host().isEmpty() || database.isEmpty() ||
        database.contains('/')) {
        *why = "history database: expected postgresql://user@host:port/database, not " + url;
        return std::nullopt;
    }
    target.postgres = true;
    target.host = parsed.host().toStdString();
    target.port = parsed.port(5432);
    target.user = parsed.userName().toStdString();
    target.password = parsed.password().toStdString();
    target.database = database.toStdString();
    return target;
}

HistoryConnection::HistoryConnection(Target target, const HistoryOptions& options)
    : m_target(std::move(target)), m_options(options), m_name(NewConnectionName()) {}

HistoryConnection::~HistoryConnection() {
    Close();
}

HistoryResult HistoryConnection::Open(bool check) {
    Close();
    m_db = QSqlDatabase::addDatabase(m_target.postgres ? "QPSQL" : "QSQLITE", m_name);
    if (!m_db.isValid()) {
        const std::string driver = m_target.postgres ? "QPSQL" : "QSQLITE";
        Close();
        return HistoryResult::Fail(HistoryResult::Status::Failed,
                                   "history database: the Qt SQL driver " + driver +
                                       " is not installed");
    }
    if (!m_target.postgres) return OpenSqlite(check);
    m_db.setHostName(QString::fromStdString(m_target.host));
    m_db.setPort(m_target.port);
    m_db.setUserName(QString::fromStdString(m_target.user));
    m_db.setPassword(QString::fromStdString(m_target.password));
    m_db.setDatabaseName(QString::fromStdString(m_target.database));
    m_db.setConnectOptions("connect_timeout=3");
    if (!m_db.open()) {
        const std::string why = DriverText(m_db.lastError());
        Close();
        return HistoryResult::Fail(HistoryResult::Status::Unavailable, why);
    }
    m_open = true;
    return HistoryResult::Ok();
}

HistoryResult HistoryConnection::OpenSqlite(bool check) {
    m_db.setDatabaseName(QString::fromStdString(m_target.path));
    m_db.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_options.sqliteBusyTimeoutMs));
    if (!m_db.open()) {
        const std::string why = DriverText(m_db.lastError());
        Close();
        return HistoryResult::Fail(HistoryResult::Status::Unavailable, why);
    }
    m_open = true;
    std::string why;
    if (check) {
        QSqlQuery query(m_db);
        if (!query.exec("PRAGMA integrity_check") || !query.next()) {
            why = ErrorText(query);
            // SQLITE_CORRUPT and SQLITE_NOTADB: the file is no sound database.
            const QString code = query.lastError().nativeErrorCode();
            const bool damaged = code == "11" || code == "26";
            query = QSqlQuery();
            Close();
            return HistoryResult::Fail(
                damaged ? HistoryResult::Status::Failed : HistoryResult::Status::Unavailable, why);
        }
        const QString verdict = query.value(0).toString();
        query = QSqlQuery();
        if (verdict != "ok") {
            Close();
            return HistoryResult::Fail(HistoryResult::Status::Failed,
                                       "history database: " + m_target.path + " is damaged (" +
                                           verdict.toStdString() + ")");
        }
    }
    // A process killed in the middle of a write loses nothing written before
    // it; a power cut may lose the last moments but never the file.
    if (!Exec("PRAGMA journal_mode=WAL", &why) || !Exec("PRAGMA synchronous=NORMAL", &why)) {
        Close();
        return HistoryResult::Fail(HistoryResult::Status::Unavailable, why);
    }
    return HistoryResult::Ok();
}

void HistoryConnection::Close() {
    m_prepared.clear();
    if (m_db.isValid() && m_db.isOpen()) m_db.close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_name)) QSqlDatabase::removeDatabase(m_name);
    m_open = false;
}

QString HistoryConnection::Sql(const char* sql) const {
    QString text = QString::fromUtf8(sql);
    if (m_target.postgres) text.replace("BLOB", "BYTEA");
    return text;
}

bool HistoryConnection::Exec(const QString& sql, std::string* why) {
    QSqlQuery query(m_db);
    if (query.exec(sql)) return true;
    *why = ErrorText(query);
    return false;
}

bool HistoryConnection::Prepare(QSqlQuery*& query, const char* sql, std::string* why) {
    std::unique_ptr<QSqlQuery>& cached = m_prepared[sql];
    if (!cached) {
        auto prepared = std::make_unique<QSqlQuery>(m_db);
        if (!prepared->prepare(Sql(sql))) {
            *why = ErrorText(*prepared);
            m_prepared.erase(sql);
            return false;
        }
        cached = std::move(prepared);
    }
    cached->finish();
    query = cached.get();
    return true;
}

void HistoryConnection::FinishAll() {
    for (auto& [sql, query] : m_prepared) query->finish();
}

std::string HistoryConnection::ErrorText(const QSqlQuery& query) {
    return DriverText(query.lastError());
}

std::string HistoryConnection::ErrorText() const {
    return DriverText(m_db.lastError());
}

} // namespace fx
