// Installed applications a test lists.
#pragma once

#include "platform/AppCatalog.h"

namespace zumo {

class FakeAppCatalog final : public AppCatalog {
  public:
    std::vector<InstalledApp> apps;
    std::vector<InstalledApp> installedApps() const override { return apps; }
    std::optional<InstalledApp> find(const QString& id) const override
    {
        for (const InstalledApp& app : apps)
            if (app.id == id)
                return app;
        return std::nullopt;
    }
};

} // namespace zumo
