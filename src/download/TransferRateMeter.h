#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class Clock;
class DownloadList;

// The total speed of the rows being downloaded and the time they still need,
// from the bytes their rows show received at each sample. The speed is the
// average over the last few seconds, so one slow or quick moment does not
// make it jump.
class TransferRateMeter
{
public:
    // Samples further back than this are forgotten.
    static constexpr double kWindowSeconds = 4.0;

    TransferRateMeter(const DownloadList &list, const Clock &clock);

    // Reads the rows being downloaded at the clock's time.
    void sample();
    // Forgets every sample: the next one starts afresh.
    void reset();

    // Bytes per second over the remembered samples; 0 until two samples lie
    // apart in time.
    double bytesPerSecond() const;
    // Seconds until the rows being downloaded are done at the current speed;
    // nullopt when a row's size is not known, no row is being downloaded or
    // nothing arrives.
    std::optional<double> secondsLeft() const;

    // "1.2 MB/s" for the current speed.
    QString speedText() const { return speedText(bytesPerSecond()); }
    // "剩余 3 分 20 秒", or empty when the time left is not known.
    QString timeLeftText() const;

    static QString speedText(double bytesPerSecond);
    static QString timeLeftText(double seconds);

private:
    struct Point
    {
        double time;
        qint64 total;
    };

    const DownloadList &m_list;
    const Clock &m_clock;
    // Bytes received by each row (by Id) at the last sample.
    QHash<quint64, qint64> m_received;
    QList<Point> m_points;
    // Bytes counted since the last reset.
    qint64 m_total = 0;
    qint64 m_remaining = 0;
    bool m_remainingKnown = false;
};
