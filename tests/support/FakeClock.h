#pragma once

#include "platform/Clock.h"

#include <QTimeZone>

// A clock the test moves by hand. Its wall clock starts at a fixed date and
// moves with advance().
class FakeClock final : public Clock
{
public:
    explicit FakeClock(double start = 1000.0) : m_now(start) { }
    double nowSeconds() const override { return m_now; }
    QDateTime wallClockUtc() const override { return m_wall; }
    void advance(double seconds)
    {
        m_now += seconds;
        m_wall = m_wall.addMSecs(qint64(seconds * 1000.0));
    }
    // Sets the monotonic time only.
    void set(double seconds) { m_now = seconds; }
    void setWallClockUtc(const QDateTime &wall) { m_wall = wall.toUTC(); }

private:
    double m_now;
    QDateTime m_wall { QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc() };
};
