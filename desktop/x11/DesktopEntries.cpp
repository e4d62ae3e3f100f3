// Reading and indexing .desktop entries of the XDG data directories.
#include "desktop/x11/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace zumo::x11 {

namespace {

// Desktop files may be large only by mistake; a cap keeps a stray huge file from costing much.
constexpr qint64 MaxDesktopFileBytes = 256 * 1024;

QString lower(const QString& text)
{
    return text.toCaseFolded();
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(const QByteArray& text, const QString& id)
{
    DesktopEntry entry;
    entry.id = id;
    bool inGroup = false, sawGroup = false;
    QString type;
    for (const QByteArray& rawLine : text.split('\n')) {
        QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            sawGroup |= inGroup;
            continue;
        }
        qsizetype equals = line.indexOf('=');
        if (!inGroup || equals < 0)
            continue;
        QByteArray key = line.left(equals).trimmed();
        QString value = QString::fromUtf8(line.mid(equals + 1).trimmed());
        if (key == "Name" && entry.name.isEmpty())
            entry.name = value;
        else if (key == "StartupWMClass")
            entry.startupWmClass = value;
        else if (key == "Type")
            type = value;
        else if (key == "Icon")
            entry.icon = value;
        else if ((key == "NoDisplay" || key == "Hidden") && value == QLatin1String("true"))
            entry.noDisplay = true;
    }
    if (!sawGroup || entry.name.isEmpty() || (!type.isEmpty() && type != QLatin1String("Application")))
        return std::nullopt;
    return entry;
}

void DesktopIndex::add(const DesktopEntry& entry)
{
    QString id = lower(entry.id);
    if (id.isEmpty() || m_byId.contains(id))
        return;
    std::size_t index = m_entries.size();
    m_entries.push_back(entry);
    m_byId.insert(id, index);
    // Reverse-DNS ids ("org.gnome.Calculator") should still match the class "calculator".
    QString last = id.section(QLatin1Char('.'), -1);
    if (last != id && !m_byId.contains(last))
        m_byId.insert(last, index);
    QString wmClass = lower(entry.startupWmClass);
    if (!wmClass.isEmpty() && !m_byWmClass.contains(wmClass))
        m_byWmClass.insert(wmClass, index);
}

DesktopIndex DesktopIndex::scan(const QStringList& dataDirs)
{
    DesktopIndex index;
    for (const QString& dataDir : dataDirs) {
        QDir applications(dataDir + QStringLiteral("/applications"));
        if (!applications.exists())
            continue;
        QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QString path = it.next();
            QFile file(path);
            if (file.size() > MaxDesktopFileBytes || !file.open(QIODevice::ReadOnly))
                continue;
            QString relative = applications.relativeFilePath(path);
            relative.chop(int(sizeof(".desktop") - 1));
            relative.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (auto entry = parseDesktopEntry(file.readAll(), relative))
                index.add(*entry);
        }
    }
    return index;
}

QStringList DesktopIndex::xdgDataDirs()
{
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    dirs << home;
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : system.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << dir;
    return dirs;
}

std::optional<DesktopEntry> DesktopIndex::lookup(const QString& className, const QString& instance) const
{
    const QString keys[] = {lower(className), lower(instance)};
    for (const QHash<QString, std::size_t>* table : {&m_byWmClass, &m_byId})
        for (const QString& key : keys) {
            if (key.isEmpty())
                continue;
            auto it = table->constFind(key);
            if (it != table->constEnd())
                return m_entries[*it];
        }
    return std::nullopt;
}

} // namespace zumo::x11
