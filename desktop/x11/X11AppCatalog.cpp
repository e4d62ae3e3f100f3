// Installed applications from the .desktop entries.
#include "desktop/x11/X11AppCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileSystemWatcher>

namespace zumo::x11 {

namespace {

InstalledApp toInstalledApp(const DesktopEntry& entry)
{
    return InstalledApp{entry.id, entry.name, entry.icon};
}

} // namespace

X11AppCatalog::X11AppCatalog(QStringList dataDirs) : m_dataDirs(std::move(dataDirs)) {}

X11AppCatalog::~X11AppCatalog() = default;

const DesktopIndex& X11AppCatalog::index() const
{
    if (!m_index) {
        m_index = DesktopIndex::scan(m_dataDirs);
        watchFolders();
    }
    return *m_index;
}

// Every folder the scan reads, and a data folder without "applications" yet (a first install
// creates it). A change drops the index; the next use scans again and watches what is there then.
void X11AppCatalog::watchFolders() const
{
    if (!QCoreApplication::instance())
        return;
    if (!m_watcher) {
        m_watcher = std::make_unique<QFileSystemWatcher>();
        QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, m_watcher.get(),
                         [this] { m_index.reset(); });
    }
    QStringList folders;
    for (const QString& dataDir : m_dataDirs) {
        const QString applications = dataDir + QStringLiteral("/applications");
        if (!QFileInfo(applications).isDir()) {
            if (QFileInfo(dataDir).isDir())
                folders << dataDir;
            continue;
        }
        folders << applications;
        QDirIterator it(applications, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            folders << it.next();
    }
    const QStringList watched = m_watcher->directories();
    for (const QString& folder : folders)
        if (!watched.contains(folder))
            m_watcher->addPath(folder);
}

void X11AppCatalog::rescan()
{
    m_index.reset();
}

std::vector<InstalledApp> X11AppCatalog::installedApps() const
{
    std::vector<InstalledApp> apps;
    for (const DesktopEntry& entry : index().entries())
        if (!entry.noDisplay)
            apps.push_back(toInstalledApp(entry));
    return apps;
}

std::optional<InstalledApp> X11AppCatalog::find(const QString& id) const
{
    // Ids are matched exactly: the workspace hands out the entry's id as it is.
    for (const DesktopEntry& entry : index().entries())
        if (entry.id == id)
            return toInstalledApp(entry);
    return std::nullopt;
}

} // namespace zumo::x11
