#pragma once

#include "platform/Clock.h"

// A clock the test moves by hand.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(double start = 1000.0) : m_now(start) { }
    double nowSeconds() const override { return m_now; }
    void advance(double seconds) { m_now += seconds; }
    void set(double seconds) { m_now = seconds; }

private:
    double m_now;
};
