// A private zumo-vendor for a test: a test CA, a temporary data folder, a free loopback port,
// and the admin API wrapped in plain calls. Every network test of the project can use it.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace zumo::test {

// The test CA of this test program, made once on first use: ca.pem, server.pem, server.key.
// Empty when it could not be made (error() says why).
struct TestCa {
    QString dir;
    QString caPath() const { return dir + QStringLiteral("/ca.pem"); }
    QString certPath() const { return dir + QStringLiteral("/server.pem"); }
    QString keyPath() const { return dir + QStringLiteral("/server.key"); }
};
const TestCa& testCa(QString* error = nullptr);

// A fresh, empty database on the private PostgreSQL of the ctest fixture "postgres" (or, run
// outside ctest, on a cluster this program starts and stops): its connection string, or why
// PostgreSQL cannot run here (a test skips), or why the database could not be made (a test fails).
struct PostgresDatabase {
    QString conninfo;
    QString unavailable;
    QString error;
};
PostgresDatabase freshPostgresDatabase();

// Declares `db`, a fresh database; skips the test when PostgreSQL cannot run here.
#define ZUMO_REQUIRE_POSTGRES(db)                                                                     \
    ::zumo::test::PostgresDatabase db = ::zumo::test::freshPostgresDatabase();                        \
    if (!db.unavailable.isEmpty())                                                                    \
        GTEST_SKIP() << db.unavailable.toStdString();                                                 \
    ASSERT_TRUE(db.error.isEmpty()) << db.error.toStdString()

class VendorServer {
public:
    VendorServer();
    ~VendorServer(); // stops the service

    // Before start(): files of the data folder (zumo-config.json, latest.json) and release
    // files (releases/<name>). They may be rewritten while it runs; the service reads them anew.
    bool writeDataFile(const QString& name, const QByteArray& bytes);
    bool writeReleaseFile(const QString& name, const QByteArray& bytes);

    // Before start(): events go to PostgreSQL (the connection string travels in the environment).
    void usePostgres(const QString& conninfo) { m_postgres = conninfo; }
    // Starts zumo-vendor with --admin (and a token of its own) on a free port; extra arguments
    // such as {"--switch", "/api/t?status=500"}. False with error().
    bool start(const QStringList& extraArguments = {});
    void stop();
    QString error() const { return m_error; }

    int port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    QString host() const;               // "127.0.0.1:<port>", the value of ZUMO_VENDOR_HOST
    QString caPath() const;             // the value of ZUMO_VENDOR_CA
    QStringList environment() const;    // both, as "NAME=value", for a child process
    QString dataDir() const { return m_dir.path() + QStringLiteral("/data"); }
    QString url(const QString& path) const; // "https://127.0.0.1:<port>" + path
    std::string adminToken() const { return m_token; }

    // The admin API. setSwitch takes the switch parameters, e.g. "status=500&delay=100".
    bool setSwitch(const QString& path, const QString& rule);
    bool clearSwitches();
    // Stored events, oldest first, as {id, receivedMs, event, install, body}, every page of
    // them; filter e.g. "event=launch". None when the service could not be asked.
    std::optional<QJsonArray> events(const QString& filter = {});
    std::optional<qint64> eventCount();
    // Recent requests as {receivedMs, method, path, query, headers, bodyBytes}; path narrows.
    std::optional<QJsonArray> requests(const QString& path = {});

private:
    std::optional<QByteArray> admin(const char* method, const QString& pathAndQuery);

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_postgres;
    std::string m_token;
    int m_port = 0;
    QString m_error;
};

} // namespace zumo::test
