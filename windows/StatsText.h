// The texts of the Statistics window and of "Copy Stats", from values.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <cstdint>
#include <vector>

namespace zumo {

struct StatsRow {
    QString title;
    std::int64_t today = 0;
    std::int64_t period = 0;
    std::int64_t allTime = 0;
};

// "d MMM yyyy, HH:mm:ss" in the zone, month names in the locale's language.
QString formatMoment(const QDateTime& moment, const QTimeZone& zone, const QLocale& locale = QLocale());
// "This period began <start>\nRunning for <elapsed>".
QString periodText(const QString& start, const QString& elapsed);
// "Counting all-time since <start>\nThat is <elapsed> ago".
QString allTimeText(const QString& start, const QString& elapsed);
// Three heading lines and one line per row, each ended by a line feed:
// "<app> statistics, copied <now>", "This period since <p> · all-time since <a>",
// "Metric: today / this period / all time", "<title>: <today> / <period> / <all time>".
QString statsCopyText(const QString& appName, const QString& now, const QString& periodStart,
                      const QString& allStart, const std::vector<StatsRow>& rows);

} // namespace zumo
