#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// Monotonic time in seconds. Every timeout of the program reads one of these,
// so tests can move time forward instead of sleeping.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual double nowSeconds() const = 0;
    // The wall-clock time, in UTC: only for comparing with dates a server
    // sends (Retry-After); waits are measured with nowSeconds().
    virtual QDateTime wallClockUtc() const = 0;
};

// The real clock: steady, no jump at midnight or when the wall clock is set.
class SteadyClock final : public Clock
{
public:
    SteadyClock() { m_timer.start(); }
    double nowSeconds() const override { return double(m_timer.nsecsElapsed()) / 1e9; }
    QDateTime wallClockUtc() const override { return QDateTime::currentDateTimeUtc(); }

    // One shared instance for code that is not handed a clock explicitly.
    static SteadyClock &instance()
    {
        static SteadyClock clock;
        return clock;
    }

private:
    QElapsedTimer m_timer;
};
