// nginx in front of private services: see NginxFrontEnd.h.
#include "tests/vendor/testkit/NginxFrontEnd.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <pwd.h>
#include <unistd.h>

#include "tests/support/TestFiles.h"
#include "tests/vendor/testkit/VendorServer.h"

namespace zumo::test {

namespace {

constexpr const char* Nginx = "/usr/sbin/nginx";

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

} // namespace

NginxFrontEnd::~NginxFrontEnd()
{
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

bool NginxFrontEnd::start(const QList<int>& upstreamPorts, const QString& releasesDir)
{
    const TestCa& ca = testCa(&m_error);
    if (ca.dir.isEmpty())
        return false;
    if (!QFile::exists(QString::fromLatin1(Nginx))) {
        m_error = QStringLiteral("nginx is not installed (scripts/lib.sh installs it)");
        return false;
    }
    m_port = freePort();
    QStringList upstreams;
    for (int port : upstreamPorts)
        upstreams << QStringLiteral("127.0.0.1:%1").arg(port);
    const QString run = m_dir.path() + QStringLiteral("/run"), conf = m_dir.path() + QStringLiteral("/nginx.conf");
    passwd* self = getpwuid(getuid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, QString>>{
             {"LISTEN", QStringLiteral("127.0.0.1:%1").arg(m_port)}, {"UPSTREAMS", upstreams.join(u' ')},
             {"CERT", ca.certPath()}, {"KEY", ca.keyPath()}, {"UPSTREAM_CA", ca.caPath()}, {"RELEASES", releasesDir},
             {"RUN", run}, {"WORKERS", "1"}, {"USER", self ? QString::fromLocal8Bit(self->pw_name) : "nobody"}})
        environment.insert(QStringLiteral("ZUMO_NGINX_") + QLatin1String(name), value);
    QProcess render;
    render.setProcessEnvironment(environment);
    render.setProcessChannelMode(QProcess::MergedChannels);
    render.start(QStringLiteral(ZUMO_NGINX_RENDER), {conf});
    if (!render.waitForFinished(30000) || render.exitCode() != 0) {
        m_error = QStringLiteral("render-conf failed: ") + QString::fromUtf8(render.readAll());
        return false;
    }
    // In the foreground, so that it ends with this process; its log goes to a file.
    m_process.setStandardOutputFile(run + QStringLiteral("/output.log"));
    m_process.setStandardErrorFile(run + QStringLiteral("/output.log"));
    m_process.start(QString::fromLatin1(Nginx),
                    {"-c", conf, "-p", run, "-e", run + QStringLiteral("/error.log"), "-g", "daemon off;"});
    QDeadlineTimer deadline(15000);
    for (;;) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(1000))
            return true;
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("nginx did not start: ") + QString::fromUtf8(readAll(run + QStringLiteral("/output.log")) +
                                                                                readAll(run + QStringLiteral("/error.log")));
            return false;
        }
        m_process.waitForFinished(20); // returns after 20 ms while it runs: the port is polled
    }
}

} // namespace zumo::test
