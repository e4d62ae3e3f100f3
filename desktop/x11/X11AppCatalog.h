// The installed applications of an X11 session: the .desktop entries of the XDG data
// directories, under the same ids the workspace gives running applications.
#pragma once

#include <QStringList>
#include <optional>

#include "platform/AppCatalog.h"
#include "desktop/x11/DesktopEntries.h"

namespace zumo::x11 {

class X11AppCatalog final : public AppCatalog {
  public:
    // Scans dataDirs (the XDG data directories by default) on first use and keeps the result;
    // applications installed later are seen after rescan().
    explicit X11AppCatalog(QStringList dataDirs = DesktopIndex::xdgDataDirs());

    std::vector<InstalledApp> installedApps() const override;
    std::optional<InstalledApp> find(const QString& id) const override;
    void rescan();

  private:
    const DesktopIndex& index() const;

    QStringList m_dataDirs;
    mutable std::optional<DesktopIndex> m_index;
};

} // namespace zumo::x11
