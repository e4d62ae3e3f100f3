// Gathers, names and orders the rows of the Hidden Apps window.
#include "windows/HiddenAppRows.h"

#include <QCollator>
#include <algorithm>

namespace zumo {

namespace {

std::optional<HiddenAppRow> resolve(const QString& id, const std::vector<RunningApp>& running,
                                    const AppCatalog& catalog)
{
    for (const RunningApp& app : running)
        if (app.bundleId == id && !app.terminated)
            return HiddenAppRow{id, app.name.isEmpty() ? id : app.name, app.icon, {}, false};
    if (std::optional<InstalledApp> installed = catalog.find(id))
        return HiddenAppRow{id, installed->name, {}, installed->icon, false};
    return std::nullopt;
}

} // namespace

std::vector<HiddenAppRow> hiddenAppRows(const std::vector<RunningApp>& running, const QString& ownId,
                                        const AppRules& rules, const AppCatalog& catalog)
{
    QStringList ids;
    for (const RunningApp& app : running)
        if (app.regular && !app.terminated && !app.bundleId.isEmpty() && app.bundleId != ownId &&
            !ids.contains(app.bundleId))
            ids << app.bundleId;
    for (const QString& id : rules.keys())
        if (!ids.contains(id))
            ids << id;

    std::vector<HiddenAppRow> rows;
    for (const QString& id : ids)
        if (std::optional<HiddenAppRow> row = resolve(id, running, catalog)) {
            row->ruled = rules.contains(id);
            rows.push_back(std::move(*row));
        }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(rows.begin(), rows.end(), [&collator](const HiddenAppRow& a, const HiddenAppRow& b) {
        if (a.ruled != b.ruled)
            return a.ruled;
        return collator.compare(a.name, b.name) < 0;
    });
    return rows;
}

AppRules withMode(AppRules rules, const QString& id, const QString& mode, const QString& defaultMode)
{
    if (mode == defaultMode)
        rules.remove(id);
    else
        rules.insert(id, mode);
    return rules;
}

} // namespace zumo
