#pragma once

#include "service/history/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

// The databases the history tests run against: a SQLite file in a folder of
// the test's own, or a PostgreSQL cluster the test starts itself (initdb and
// pg_ctl as the postgres user when run as root), listening on 127.0.0.1 on a
// free port with its sockets in the test's folder, and gone when it ends.
namespace history_test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fxhistory-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

class PostgresCluster {
public:
    static constexpr const char* kBinaries = "/usr/lib/postgresql/15/bin";

    static bool Installed() {
        const std::filesystem::path bin(kBinaries);
        return std::filesystem::exists(bin / "initdb") && std::filesystem::exists(bin / "pg_ctl");
    }

    explicit PostgresCluster(const std::string& folder) : folder_(folder + "/pg") {}
    ~PostgresCluster() {
        if (initialised_) Run("pg_ctl -D " + Data() + " -m immediate -w stop");
    }

    // Makes the cluster (the first time) and starts it; why says what failed.
    bool Start(std::string* why) {
        if (!initialised_) {
            std::filesystem::create_directories(folder_);
            if (geteuid() == 0) {
                // The server's user passes through the test's folder to its own.
                using std::filesystem::perms;
                std::filesystem::permissions(std::filesystem::path(folder_).parent_path(),
                                             perms::owner_all | perms::group_exec |
                                                 perms::others_exec);
                const passwd* user = getpwnam("postgres");
                if (!user || chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) {
                    *why = "no postgres user to run the server as";
                    return false;
                }
            }
            port_ = FreeLoopbackPort();
            if (!Run("initdb -D " + Data() + " -A trust -U postgres --no-sync -E UTF8")) {
                *why = "initdb failed, see " + folder_ + "/commands.log";
                return false;
            }
            initialised_ = true;
        }
        const std::string options = "-p " + std::to_string(port_) + " -k " + folder_ +
                                    " -c listen_addresses=127.0.0.1 -c fsync=off"
                                    " -c synchronous_commit=off -c full_page_writes=off";
        if (!Run("pg_ctl -D " + Data() + " -o '" + options + "' -l " + folder_ +
                 "/server.log -w -t 30 start")) {
            *why = "pg_ctl start failed, see " + folder_ + "/server.log";
            return false;
        }
        return true;
    }

    // Stops the server, closing every connection to it.
    bool Stop() { return Run("pg_ctl -D " + Data() + " -m fast -w stop"); }

    int port() const { return port_; }
    std::string Url() const {
        return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/postgres";
    }

private:
    std::string Data() const { return folder_ + "/data"; }

    bool Run(const std::string& command) const {
        const std::string prefix = geteuid() == 0 ? "runuser -u postgres -- " : "";
        const std::string line = prefix + kBinaries + std::string("/") + command + " >>" + folder_ +
                                 "/commands.log 2>&1";
        return std::system(line.c_str()) == 0;
    }

    std::string folder_;
    int port_ = 0;
    bool initialised_ = false;
};

// A connection of the test's own to the history's database, to look at its
// rows and to make what an older program would have left there.
class RawDatabase {
public:
    RawDatabase(bool postgres, const std::string& fileOrUnused, int port) {
        static std::atomic<int> counter{0};
        name_ = QStringLiteral("raw-%1").arg(++counter);
        db_ = QSqlDatabase::addDatabase(postgres ? "QPSQL" : "QSQLITE", name_);
        if (postgres) {
            db_.setHostName("127.0.0.1");
            db_.setPort(port);
            db_.setUserName("postgres");
            db_.setDatabaseName("postgres");
        } else {
            db_.setDatabaseName(QString::fromStdString(fileOrUnused));
            db_.setConnectOptions("QSQLITE_BUSY_TIMEOUT=5000");
        }
        open_ = db_.open();
    }
    ~RawDatabase() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    bool open() const { return open_; }
    QSqlDatabase& db() { return db_; }

    // Runs sql; the driver's error text, empty when it went well.
    std::string Exec(const QString& sql) {
        QSqlQuery query(db_);
        return query.exec(sql) ? std::string() : query.lastError().text().toStdString();
    }
    qlonglong Number(const QString& sql) {
        QSqlQuery query(db_);
        if (!query.exec(sql) || !query.next()) return -1;
        return query.value(0).toLongLong();
    }

private:
    QString name_;
    QSqlDatabase db_;
    bool open_ = false;
};

enum class Backend { Sqlite, Postgres };

inline std::string BackendName(const testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

// A test run once on each database.
class HistoryBackendTest : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        if (!postgres()) return;
        if (!PostgresCluster::Installed())
            GTEST_SKIP() << "PostgreSQL server not installed (no initdb and pg_ctl in "
                         << PostgresCluster::kBinaries << "): the PostgreSQL cases are skipped";
        cluster_.emplace(folder_.path());
        std::string why;
        ASSERT_TRUE(cluster_->Start(&why)) << why;
    }

    bool postgres() const { return GetParam() == Backend::Postgres; }
    std::string Path() const { return folder_.path() + "/history.db"; }
    std::string Url() const { return postgres() ? cluster_->Url() : Path(); }
    std::unique_ptr<RawDatabase> Raw() const {
        return std::make_unique<RawDatabase>(postgres(), Path(), postgres() ? cluster_->port() : 0);
    }
    // BLOB as this database spells it, for tables a test makes by hand.
    QString BlobType() const { return postgres() ? "BYTEA" : "BLOB"; }

    TempFolder folder_;
    std::optional<PostgresCluster> cluster_;
};

} // namespace history_test
