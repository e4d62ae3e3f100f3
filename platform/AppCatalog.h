// The applications installed on this system, as the switcher knows them: the id it matches a
// running application by, a name and an icon, for choosing an application that is not running.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace zumo {

struct InstalledApp {
    QString id;   // the bundle id a RunningApp of this application carries
    QString name; // for people; never empty
    QString icon; // an icon theme name or an absolute file path; empty when none
    bool operator==(const InstalledApp&) const = default;
};

class AppCatalog {
  public:
    virtual ~AppCatalog() = default;
    // Applications meant to be offered to the user (not those marked hidden from menus), in
    // no particular order. Empty when nothing can be read. Main thread.
    virtual std::vector<InstalledApp> installedApps() const = 0;
    // The application with this id, including those hidden from menus; nothing when unknown.
    virtual std::optional<InstalledApp> find(const QString& id) const = 0;
};

} // namespace zumo
