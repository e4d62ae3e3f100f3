#include "update/MacUpdateTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QXmlStreamReader>

#include "platform/ProcessRunner.h"
#include "update/PinnedKey.h"

namespace zumo {
namespace Updater {
namespace {

const QString Hdiutil = QStringLiteral("/usr/bin/hdiutil");
const QString Codesign = QStringLiteral("/usr/bin/codesign");

// Reads the <key>/<value> pairs directly inside the top-level <dict>.
QMap<QString, QString> readDictionary(QXmlStreamReader& xml)
{
    QMap<QString, QString> values;
    QString key;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("key")) {
            key = xml.readElementText();
        } else if (xml.name() == QLatin1String("string")) {
            values.insert(key, xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    return values;
}

} // namespace

QString diskImageRequirement()
{
    return QStringLiteral("anchor apple generic and certificate leaf[subject.OU] = \"") + makerIdentifier() + '"';
}

QString appRequirement()
{
    return QStringLiteral("anchor apple generic and identifier \"com.zumo.app\" and certificate leaf[subject.OU] = \"") +
           makerIdentifier() + '"';
}

QByteArray macInstallScript()
{
    return QByteArray(InstallScriptHead) +
           "if [ -d \"$DEST\" ]; then mv \"$DEST\" \"$BAK\" || { /usr/bin/open \"$DEST\"; exit 1; }; fi\n"
           "if /usr/bin/ditto \"$NEW\" \"$DEST\"; then\n"
           "  /usr/bin/xattr -dr com.apple.quarantine \"$DEST\" 2>/dev/null\n"
           "  rm -rf \"$BAK\"\n"
           "else\n"
           "  rm -rf \"$DEST\"\n"
           "  [ -d \"$BAK\" ] && mv \"$BAK\" \"$DEST\"\n"
           "fi\n"
           "rm -rf \"$WORK\"\n"
           "/usr/bin/open \"$DEST\"";
}

QString macInstallDestination(const QString& bundlePath, const QString& home,
                              const std::function<bool(const QString&)>& isWritable)
{
    const QString parent = QFileInfo(bundlePath).path();
    if (bundlePath.endsWith(QLatin1String(".app")) && !bundlePath.contains(QLatin1String("/AppTranslocation/")) &&
        !bundlePath.startsWith(QLatin1String("/Volumes/")) && isWritable(parent))
        return bundlePath;
    if (isWritable(QStringLiteral("/Applications")))
        return QStringLiteral("/Applications/Zumo.app");
    return home + QStringLiteral("/Applications/Zumo.app");
}

std::optional<QMap<QString, QString>> readPlistStrings(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist") || !xml.readNextStartElement() ||
        xml.name() != QLatin1String("dict"))
        return std::nullopt;
    QMap<QString, QString> values = readDictionary(xml);
    if (xml.hasError())
        return std::nullopt;
    return values;
}

} // namespace Updater

MacUpdateTools::MacUpdateTools(ProcessRunner& runner, QString runningBundle, QString home)
    : m_runner(runner), m_runningBundle(std::move(runningBundle)), m_home(std::move(home))
{
}

bool MacUpdateTools::isTrustedDiskImage(const QString& image)
{
    return m_runner.run(Updater::Codesign,
                        {QStringLiteral("--verify"), QStringLiteral("-R=") + Updater::diskImageRequirement(), image}) == 0;
}

bool MacUpdateTools::attach(const QString& image, const QString& mountPoint)
{
    return m_runner.run(Updater::Hdiutil, {QStringLiteral("attach"), QStringLiteral("-nobrowse"),
                                           QStringLiteral("-readonly"), QStringLiteral("-noverify"),
                                           QStringLiteral("-noautoopen"), QStringLiteral("-mountpoint"), mountPoint,
                                           image}) == 0;
}

int MacUpdateTools::copyBundle(const QString& from, const QString& to)
{
    return m_runner.run(QStringLiteral("/usr/bin/ditto"), {from, to});
}

void MacUpdateTools::detach(const QString& mountPoint)
{
    m_runner.run(Updater::Hdiutil, {QStringLiteral("detach"), mountPoint, QStringLiteral("-force")});
}

std::optional<BundleFacts> MacUpdateTools::readBundleFacts(const QString& bundle)
{
    const auto values = Updater::readPlistStrings(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!values)
        return std::nullopt;
    BundleFacts facts;
    if (values->contains(QStringLiteral("CFBundleIdentifier")))
        facts.identifier = values->value(QStringLiteral("CFBundleIdentifier"));
    if (values->contains(QStringLiteral("CFBundleShortVersionString")))
        facts.version = values->value(QStringLiteral("CFBundleShortVersionString"));
    return facts;
}

bool MacUpdateTools::isTrustedApp(const QString& bundle)
{
    const int signature =
        m_runner.run(Updater::Codesign, {QStringLiteral("--verify"), QStringLiteral("--deep"), QStringLiteral("--strict"),
                                         QStringLiteral("-R=") + Updater::appRequirement(), bundle});
    if (signature != 0)
        return false;
    return m_runner.run(QStringLiteral("/usr/sbin/spctl"), {QStringLiteral("--assess"), QStringLiteral("--type"),
                                                            QStringLiteral("execute"), bundle}) == 0;
}

InstallTarget MacUpdateTools::installDestination()
{
    const QString dest = Updater::macInstallDestination(m_runningBundle, m_home, [](const QString& dir) {
        return QFileInfo(dir).isDir() && QFileInfo(dir).isWritable();
    });
    return {dest, false};
}

} // namespace zumo
