// Installed applications from the .desktop entries.
#include "desktop/x11/X11AppCatalog.h"

namespace zumo::x11 {

namespace {

InstalledApp toInstalledApp(const DesktopEntry& entry)
{
    return InstalledApp{entry.id, entry.name, entry.icon};
}

} // namespace

X11AppCatalog::X11AppCatalog(QStringList dataDirs) : m_dataDirs(std::move(dataDirs)) {}

const DesktopIndex& X11AppCatalog::index() const
{
    if (!m_index)
        m_index = DesktopIndex::scan(m_dataDirs);
    return *m_index;
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
