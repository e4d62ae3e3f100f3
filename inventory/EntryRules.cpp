// Pure decisions of the entry list, apart from the platform reads around them.
#include "inventory/EntryRules.h"

#include <cmath>
#include <limits>

namespace zumo {

bool isSwitchable(const RunningApp& app, const QString& ownBundleId, const QMap<QString, QString>& modes)
{
    if (!app.regular || app.terminated)
        return false;
    if (app.bundleId == ownBundleId)
        return false;
    return modes.value(app.bundleId) != QLatin1String("hide");
}

std::optional<std::uint32_t> windowNumber(const std::optional<std::int64_t>& value)
{
    if (!value || *value < 0 || *value > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
        return std::nullopt;
    return std::uint32_t(*value);
}

bool framesMatch(const QRectF& a, const QRectF& b)
{
    return std::abs(a.x() - b.x()) < 3.0 && std::abs(a.y() - b.y()) < 3.0 &&
           std::abs(a.width() - b.width()) < 3.0 && std::abs(a.height() - b.height()) < 3.0;
}

std::unordered_map<Pid, std::vector<WindowRecord>> recordsByOwner(const std::vector<WindowRecord>& list)
{
    std::unordered_map<Pid, std::vector<WindowRecord>> byOwner;
    for (const WindowRecord& record : list) {
        if (!record.ownerPid || !record.layer || *record.layer != 0)
            continue;
        if (*record.ownerPid < std::numeric_limits<Pid>::min() ||
            *record.ownerPid > std::numeric_limits<Pid>::max())
            continue;
        byOwner[Pid(*record.ownerPid)].push_back(record);
    }
    return byOwner;
}

std::optional<std::uint32_t> takeWindowNumber(const std::vector<WindowRecord>& records, const QRectF& frame,
                                              TakenNumbers& taken)
{
    for (const WindowRecord& record : records) {
        std::optional<std::uint32_t> number = windowNumber(record.number);
        if (!number || taken.count(*number) || !record.bounds)
            continue;
        if (!framesMatch(*record.bounds, frame))
            continue;
        taken.insert(*number);
        return number;
    }
    return std::nullopt;
}

bool isOtherSpaceWindow(const WindowRecord& record, const TakenNumbers& taken)
{
    std::optional<std::uint32_t> number = windowNumber(record.number);
    if (!number || taken.count(*number))
        return false;
    if (record.onscreen.value_or(false))
        return false;
    if (record.alpha && !(*record.alpha > 0))
        return false;
    return record.bounds && record.bounds->width() > 120 && record.bounds->height() > 80;
}

Entry makeEntry(const RunningApp& app, const QString& title, const QImage& icon)
{
    Entry entry;
    entry.id = newEntryId();
    entry.app = app;
    entry.title = title;
    entry.icon = icon;
    return entry;
}

Entry appRow(const RunningApp& app, const QImage& icon, const std::vector<Entry>& rows)
{
    Entry entry = makeEntry(app, app.name, icon);
    if (rows.empty())
        return entry;
    entry.window = rows.front().window;
    entry.minimized = rows.front().minimized;
    return entry;
}

} // namespace zumo
