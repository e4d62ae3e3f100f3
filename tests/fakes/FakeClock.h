// A clock that stands still until a test moves it.
#pragma once

#include <QDateTime>
#include <atomic>

#include "platform/Clock.h"

namespace zumo {

class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 5), QTime(12, 0), Qt::UTC))
        : m_ms(start.toMSecsSinceEpoch()) {}
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(m_ms.load(), Qt::UTC); }
    void set(const QDateTime& moment) { m_ms = moment.toMSecsSinceEpoch(); }
    void advance(double seconds) { m_ms += qint64(seconds * 1000.0); }

private:
    std::atomic<qint64> m_ms;
};

} // namespace zumo
