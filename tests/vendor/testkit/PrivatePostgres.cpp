// Fresh databases on a private PostgreSQL cluster for tests: see VendorServer.h.
#include "tests/vendor/testkit/VendorServer.h"
#include "tests/support/TestFiles.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <libpq-fe.h>

namespace zumo::test {

namespace {

// Run outside ctest (no fixture), the program starts a cluster of its own and stops it at exit.
struct OwnCluster {
    QTemporaryDir dir;
    bool started = false;
    ~OwnCluster()
    {
        if (started)
            QProcess::execute(QString::fromUtf8(ZUMO_POSTGRES_SESSION), {"stop", dir.path()});
    }
};

QString sessionDir()
{
    QString dir = qEnvironmentVariable("ZUMO_TEST_POSTGRES");
    if (!dir.isEmpty())
        return dir;
    static OwnCluster own;
    if (!own.started) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QString::fromUtf8(ZUMO_POSTGRES_SESSION), {"start", own.dir.path()});
        process.waitForFinished(120000);
        own.started = true;
    }
    return own.dir.path();
}

} // namespace

PostgresDatabase freshPostgresDatabase()
{
    PostgresDatabase db;
    QString dir = sessionDir();
    QString conninfo = readTrimmed(dir + QStringLiteral("/conninfo"));
    if (conninfo.isEmpty()) {
        db.unavailable = readTrimmed(dir + QStringLiteral("/unavailable"));
        if (db.unavailable.isEmpty())
            db.unavailable = QStringLiteral("the private PostgreSQL did not start (see tests/vendor/postgres-session)");
        return db;
    }
    static QAtomicInt counter;
    QString name = QStringLiteral("t%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
    PGconn* conn = PQconnectdb(conninfo.toUtf8().constData());
    PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).toUtf8().constData());
    if (PQresultStatus(result) == PGRES_COMMAND_OK)
        db.conninfo = conninfo + QStringLiteral(" dbname=") + name; // libpq takes a repeated keyword's last value
    else
        db.error = QStringLiteral("cannot create a database: ") + QString::fromUtf8(PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return db;
}

} // namespace zumo::test
