// The private vendor service of a test and its admin calls: see VendorServer.h.
#include "tests/vendor/testkit/VendorServer.h"
#include "tests/support/TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>
#include <httplib.h>

namespace zumo::test {

namespace {

constexpr int StartDeadlineMs = 15000;

QString programPath(const char* variable, const char* builtIn)
{
    QString path = qEnvironmentVariable(variable);
    return path.isEmpty() ? QString::fromUtf8(builtIn) : path;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

const TestCa& testCa(QString* error)
{
    static QTemporaryDir dir;
    static TestCa ca;
    static QString failure;
    static bool made = [] {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(programPath("ZUMO_MAKE_TEST_CA", ZUMO_MAKE_TEST_CA), {dir.path()});
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            failure = QStringLiteral("make-test-ca failed: ") + QString::fromUtf8(process.readAll());
            return false;
        }
        ca.dir = dir.path();
        return true;
    }();
    if (!made && error)
        *error = failure;
    return ca;
}

VendorServer::VendorServer()
{
    QDir().mkpath(dataDir() + QStringLiteral("/releases"));
}

VendorServer::~VendorServer()
{
    stop();
}

bool VendorServer::writeDataFile(const QString& name, const QByteArray& bytes)
{
    return writeFile(dataDir() + QLatin1Char('/') + name, bytes);
}

bool VendorServer::writeReleaseFile(const QString& name, const QByteArray& bytes)
{
    return writeFile(dataDir() + QStringLiteral("/releases/") + name, bytes);
}

bool VendorServer::start(const QStringList& extraArguments)
{
    const TestCa& ca = testCa(&m_error);
    if (ca.dir.isEmpty())
        return false;
    QString portFile = m_dir.path() + QStringLiteral("/port");
    QFile::remove(portFile);
    QString tokenFile = m_dir.path() + QStringLiteral("/admin-token");
    m_token = QUuid::createUuid().toString(QUuid::Id128).toStdString();
    if (!writeFile(tokenFile, QByteArray::fromStdString(m_token))) {
        m_error = QStringLiteral("cannot write ") + tokenFile;
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZUMO_VENDOR_POSTGRES"), m_postgres);
    m_process.setProcessEnvironment(environment);
    // Output to a file: a test runner waits on every process that holds its pipes.
    m_process.setStandardOutputFile(m_dir.path() + QStringLiteral("/vendor.log"), QIODevice::Append);
    m_process.setStandardErrorFile(m_dir.path() + QStringLiteral("/vendor.log"), QIODevice::Append);
    m_process.start(programPath("ZUMO_VENDOR_BIN", ZUMO_VENDOR_BIN),
                    QStringList{"--cert", ca.certPath(), "--key", ca.keyPath(), "--data", dataDir(), "--port", "0",
                                "--port-file", portFile, "--admin", "--admin-token-file", tokenFile} +
                        extraArguments);
    QDeadlineTimer deadline(StartDeadlineMs);
    while (!QFile::exists(portFile)) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("zumo-vendor did not start: ") + readTrimmed(m_dir.path() + "/vendor.log");
            stop();
            return false;
        }
        m_process.waitForFinished(10); // returns after 10 ms while it runs: the port file is polled
    }
    m_port = readTrimmed(portFile).toInt();
    return m_port > 0;
}

void VendorServer::stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QString VendorServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString VendorServer::caPath() const
{
    return testCa().caPath();
}

QStringList VendorServer::environment() const
{
    return {QStringLiteral("ZUMO_VENDOR_HOST=") + host(), QStringLiteral("ZUMO_VENDOR_CA=") + caPath()};
}

QString VendorServer::url(const QString& path) const
{
    return QStringLiteral("https://") + host() + path;
}

std::optional<QByteArray> VendorServer::admin(const char* method, const QString& pathAndQuery)
{
    httplib::SSLClient client("127.0.0.1", m_port);
    client.set_ca_cert_path(caPath().toStdString().c_str());
    client.enable_server_certificate_verification(true);
    std::string target = pathAndQuery.toStdString();
    httplib::Headers headers{{"Authorization", "Bearer " + m_token}};
    httplib::Result result = std::string(method) == "GET"    ? client.Get(target.c_str(), headers)
                             : std::string(method) == "POST" ? client.Post(target.c_str(), headers, "", "text/plain")
                                                             : client.Delete(target.c_str(), headers);
    if (!result) {
        m_error = QStringLiteral("admin request failed: ") + QString::fromStdString(httplib::to_string(result.error()));
        return std::nullopt;
    }
    if (result->status != 200) {
        m_error = QString::fromStdString(result->body);
        return std::nullopt;
    }
    return QByteArray::fromStdString(result->body);
}

bool VendorServer::setSwitch(const QString& path, const QString& rule)
{
    QString query = QStringLiteral("/admin/switch?path=") + QString::fromLatin1(QUrl::toPercentEncoding(path));
    return admin("POST", rule.isEmpty() ? query : query + QLatin1Char('&') + rule).has_value();
}

bool VendorServer::clearSwitches()
{
    return admin("DELETE", QStringLiteral("/admin/switch")).has_value();
}

std::optional<QJsonArray> VendorServer::events(const QString& filter)
{
    QJsonArray all;
    for (qint64 after = 0;;) {
        auto body = admin("GET", QStringLiteral("/admin/events?after=%1&").arg(after) + filter);
        if (!body)
            return std::nullopt;
        const QJsonArray page = QJsonDocument::fromJson(*body).array();
        if (page.isEmpty())
            return all;
        for (const QJsonValue& row : page)
            all.append(row);
        after = page.last().toObject().value("id").toInteger();
    }
}

std::optional<qint64> VendorServer::eventCount()
{
    auto body = admin("GET", QStringLiteral("/admin/events/count"));
    return body ? std::optional(QJsonDocument::fromJson(*body).object().value("count").toInteger()) : std::nullopt;
}

std::optional<QJsonArray> VendorServer::requests(const QString& path)
{
    auto body = admin("GET", QStringLiteral("/admin/requests?path=") + QString::fromLatin1(QUrl::toPercentEncoding(path)));
    return body ? std::optional(QJsonDocument::fromJson(*body).array()) : std::nullopt;
}

} // namespace zumo::test
