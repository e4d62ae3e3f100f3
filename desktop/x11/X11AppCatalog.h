// The installed applications of an X11 session: the .desktop entries of the XDG data
// directories, under the same ids the workspace gives running applications.
#pragma once

#include <QStringList>
#include <memory>
#include <optional>

class QFileSystemWatcher;

#include "platform/AppCatalog.h"
#include "desktop/x11/DesktopEntries.h"

namespace zumo::x11 {

class X11AppCatalog final : public AppCatalog {
  public:
    // Scans dataDirs (the XDG data directories by default) on first use and keeps the result
    // until an applications folder changes (with a Qt event loop running) or rescan(), so an
    // application installed or removed while Zumo runs is offered, or not, at the next use.
    explicit X11AppCatalog(QStringList dataDirs = DesktopIndex::xdgDataDirs());
    ~X11AppCatalog() override;

    std::vector<InstalledApp> installedApps() const override;
    std::optional<InstalledApp> find(const QString& id) const override;
    void rescan();

  private:
    const DesktopIndex& index() const;
    void watchFolders() const;

    QStringList m_dataDirs;
    mutable std::optional<DesktopIndex> m_index;
    mutable std::unique_ptr<QFileSystemWatcher> m_watcher;
};

} // namespace zumo::x11
