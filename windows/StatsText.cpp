// Formats the statistics for the window and the clipboard.
#include "windows/StatsText.h"

namespace zumo {

QString formatMoment(const QDateTime& moment, const QTimeZone& zone, const QLocale& locale)
{
    return locale.toString(moment.toTimeZone(zone), QStringLiteral("d MMM yyyy, HH:mm:ss"));
}

QString periodText(const QString& start, const QString& elapsed)
{
    return QStringLiteral("This period began %1\nRunning for %2").arg(start, elapsed);
}

QString allTimeText(const QString& start, const QString& elapsed)
{
    return QStringLiteral("Counting all-time since %1\nThat is %2 ago").arg(start, elapsed);
}

QString statsCopyText(const QString& appName, const QString& now, const QString& periodStart,
                      const QString& allStart, const std::vector<StatsRow>& rows)
{
    QString text = QStringLiteral("%1 statistics, copied %2\n").arg(appName, now);
    text += QStringLiteral("This period since %1 · all-time since %2\n").arg(periodStart, allStart);
    text += QStringLiteral("Metric: today / this period / all time\n");
    for (const StatsRow& row : rows)
        text += QStringLiteral("%1: %2 / %3 / %4\n")
                    .arg(row.title)
                    .arg(row.today)
                    .arg(row.period)
                    .arg(row.allTime);
    return text;
}

} // namespace zumo
