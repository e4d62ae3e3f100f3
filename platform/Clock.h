// The wall clock behind every "now" in the program, so tests can set the time.
#pragma once

#include <QDateTime>

namespace zumo {

class Clock {
public:
    virtual ~Clock() = default;
    // The current moment, in UTC. Safe to call from any thread.
    virtual QDateTime now() const = 0;
    // Seconds since 1970-01-01 UTC, with millisecond precision.
    double nowSeconds() const { return double(now().toMSecsSinceEpoch()) / 1000.0; }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

} // namespace zumo
