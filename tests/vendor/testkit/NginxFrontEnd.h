// nginx on loopback in front of private zumo-vendor processes, with the configuration the
// project ships (dist/nginx), as production runs it. Uses the test CA of VendorServer.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zumo::test {

class NginxFrontEnd {
public:
    ~NginxFrontEnd(); // stops nginx

    // Listens on a free loopback port, passing to the services on upstreamPorts and serving
    // releasesDir as /dl/zumo/ itself. False with error().
    bool start(const QList<int>& upstreamPorts, const QString& releasesDir);
    int port() const { return m_port; }
    QString error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

} // namespace zumo::test
