#include "download/TransferRateMeter.h"

#include "download/DownloadList.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace {

// The row's number in a column, or -1 when it holds none (a status text).
qint64 numberIn(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

} // namespace

TransferRateMeter::TransferRateMeter(const DownloadList &list, const Clock &clock)
    : m_list(list), m_clock(clock)
{ }

void TransferRateMeter::sample()
{
    const double now = m_clock.nowSeconds();
    QHash<quint64, qint64> received;
    qint64 remaining = 0;
    bool known = true;
    for (int row = 0; row < m_list.size(); ++row) {
        const DownloadItem &item = m_list.at(row);
        if (item.StatusCode != Status::Downloading)
            continue;
        const qint64 bytes = numberIn(item.Received);
        const qint64 size = numberIn(item.Size);
        if (size < 0 || bytes < 0 || bytes > size)
            known = false;
        else
            remaining += size - bytes;
        if (bytes < 0)
            continue;
        received.insert(item.Id, bytes);
        // A row first seen now counts from here: what it showed before may be
        // a resumed part, not bytes that just arrived.
        const qint64 before = m_received.value(item.Id, -1);
        if (before >= 0 && bytes > before)
            m_total += bytes - before;
    }
    m_received = std::move(received);
    m_remaining = remaining;
    m_remainingKnown = known && !m_received.isEmpty();

    m_points.append({ now, m_total });
    while (m_points.size() > 2 && m_points.at(1).time <= now - kWindowSeconds)
        m_points.removeFirst();
}

void TransferRateMeter::reset()
{
    m_received.clear();
    m_points.clear();
    m_total = 0;
    m_remaining = 0;
    m_remainingKnown = false;
}

double TransferRateMeter::bytesPerSecond() const
{
    if (m_points.size() < 2)
        return 0;
    const Point &first = m_points.first();
    const Point &last = m_points.last();
    const double seconds = last.time - first.time;
    return seconds > 0 ? double(last.total - first.total) / seconds : 0;
}

std::optional<double> TransferRateMeter::secondsLeft() const
{
    const double rate = bytesPerSecond();
    if (!m_remainingKnown || rate <= 0)
        return std::nullopt;
    return double(m_remaining) / rate;
}

QString TransferRateMeter::timeLeftText() const
{
    const std::optional<double> seconds = secondsLeft();
    return seconds ? timeLeftText(*seconds) : QString();
}

QString TransferRateMeter::speedText(double bytesPerSecond)
{
    if (bytesPerSecond < 1024)
        return QString::number(qint64(std::max(0.0, bytesPerSecond))) + QStringLiteral(" B/s");
    const char *units[] = { "KB/s", "MB/s", "GB/s" };
    double value = bytesPerSecond / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 2) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value, 'f', 1) + u' ' + QLatin1String(units[unit]);
}

QString TransferRateMeter::timeLeftText(double seconds)
{
    // Capped far beyond any real wait, so the count never overflows.
    const qint64 total = qint64(std::ceil(std::clamp(seconds, 0.0, 1e9)));
    const qint64 days = total / 86400;
    const qint64 hours = total % 86400 / 3600;
    const qint64 minutes = total % 3600 / 60;
    const qint64 rest = total % 60;
    if (days > 0)
        return QStringLiteral("剩余 %1 天 %2 小时").arg(days).arg(hours);
    if (hours > 0)
        return QStringLiteral("剩余 %1 小时 %2 分").arg(hours).arg(minutes);
    if (minutes > 0)
        return QStringLiteral("剩余 %1 分 %2 秒").arg(minutes).arg(rest);
    return QStringLiteral("剩余 %1 秒").arg(rest);
}
