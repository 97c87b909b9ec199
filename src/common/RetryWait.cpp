#include "RetryWait.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

const QString kMonths = QStringLiteral("Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec");

int monthNumber(const QString &name)
{
    const QStringList months = kMonths.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < months.size(); ++i) {
        if (months.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    }
    return 0;
}

QDateTime utcDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const QDate date(year, month, day);
    // A leap second (60) is read as the second before it.
    const QTime time(hour, minute, std::min(second, 59));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, QTimeZone::utc());
}

QString secondsText(double seconds)
{
    return QString::number(std::ceil(seconds), 'f', 0);
}

} // namespace

QDateTime ParseHttpDate(const QByteArray &text, const QDateTime &reference)
{
    const QString value = QString::fromLatin1(text).trimmed();
    const auto options = QRegularExpression::CaseInsensitiveOption;
    // Sun, 06 Nov 1994 08:49:37 GMT
    static const QRegularExpression fixdate(
        QStringLiteral("^(?:Mon|Tue|Wed|Thu|Fri|Sat|Sun), ([0-9]{2}) (") + kMonths
            + QStringLiteral(") ([0-9]{4}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) GMT$"),
        options);
    // Sunday, 06-Nov-94 08:49:37 GMT
    static const QRegularExpression rfc850(
        QStringLiteral("^(?:Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
                       "([0-9]{2})-(")
            + kMonths + QStringLiteral(")-([0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) GMT$"),
        options);
    // Sun Nov  6 08:49:37 1994
    static const QRegularExpression asctime(QStringLiteral("^(?:Mon|Tue|Wed|Thu|Fri|Sat|Sun) (")
            + kMonths
            + QStringLiteral(") ( [0-9]|[0-9]{2}) ([0-9]{2}):([0-9]{2}):([0-9]{2}) ([0-9]{4})$"),
        options);

    if (const QRegularExpressionMatch m = fixdate.match(value); m.hasMatch()) {
        return utcDateTime(m.captured(3).toInt(), monthNumber(m.captured(2)), m.captured(1).toInt(),
            m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    }
    if (const QRegularExpressionMatch m = rfc850.match(value); m.hasMatch()) {
        // The most recent year with these last two digits that is not more
        // than 50 years after the reference.
        const int referenceYear
            = reference.isValid() ? reference.toUTC().date().year() : QDate::currentDate().year();
        int year = referenceYear - referenceYear % 100 + m.captured(3).toInt();
        if (year > referenceYear + 50)
            year -= 100;
        return utcDateTime(year, monthNumber(m.captured(2)), m.captured(1).toInt(),
            m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    }
    if (const QRegularExpressionMatch m = asctime.match(value); m.hasMatch()) {
        return utcDateTime(m.captured(6).toInt(), monthNumber(m.captured(1)),
            m.captured(2).trimmed().toInt(), m.captured(3).toInt(), m.captured(4).toInt(),
            m.captured(5).toInt());
    }
    return {};
}

std::optional<double> RetryAfterDelaySeconds(
    const QByteArray &retryAfter, const QByteArray &dateHeader, const QDateTime &wallNowUtc)
{
    const QByteArray value = retryAfter.trimmed();
    if (value.isEmpty())
        return std::nullopt;
    bool digitsOnly = true;
    double seconds = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            digitsOnly = false;
            break;
        }
        // Counted as a double: a number too long for an integer is still a
        // (very long) delay, never a wrapped-around short one.
        seconds = seconds * 10 + (c - '0');
    }
    if (digitsOnly)
        return seconds;

    const QDateTime target = ParseHttpDate(value, wallNowUtc);
    if (!target.isValid())
        return std::nullopt;
    QDateTime base = ParseHttpDate(dateHeader, wallNowUtc);
    if (!base.isValid())
        base = wallNowUtc;
    if (!base.isValid())
        return std::nullopt;
    return std::max(0.0, double(base.msecsTo(target)) / 1000.0);
}

bool IsRetryableStatus(int httpStatus)
{
    return httpStatus == 429 || httpStatus == 503;
}

RetryDecision DecideRetry(int httpStatus, int triesSoFar, std::optional<double> retryAfterSeconds,
    const QDateTime &wallNowUtc)
{
    RetryDecision decision;
    if (!IsRetryableStatus(httpStatus)) {
        decision.reason = RetryText::httpStatus(httpStatus);
        return decision;
    }
    const int tries = std::max(triesSoFar, 1);
    if (tries >= RetryRules::kMaxTries) {
        decision.reason = RetryText::gaveUp(httpStatus, tries);
        return decision;
    }
    const double delay = retryAfterSeconds ? std::max(0.0, *retryAfterSeconds)
                                           : RetryRules::kWaitsWithoutHeader[tries - 1];
    if (delay > RetryRules::kLongestWaitSeconds) {
        // Far-off times are not named: they would only overflow the date.
        constexpr double kNamedUpTo = 1e9;
        const QDateTime comeBack = wallNowUtc.isValid() && delay < kNamedUpTo
            ? wallNowUtc.addMSecs(qint64(std::ceil(delay) * 1000))
            : QDateTime();
        decision.reason = RetryText::waitTooLong(httpStatus, delay, comeBack);
        return decision;
    }
    decision.kind = RetryDecision::Retry;
    decision.delaySeconds = delay;
    decision.reason = RetryText::retrying(httpStatus, delay);
    return decision;
}

namespace RetryText {

namespace {
QString statusWords(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("请求有误");
    case 401:
        return QStringLiteral("需要登录");
    case 403:
        return QStringLiteral("没有访问权限");
    case 404:
        return QStringLiteral("找不到该地址");
    case 410:
        return QStringLiteral("该地址已不存在");
    case 429:
        return QStringLiteral("请求过于频繁");
    case 500:
        return QStringLiteral("服务器内部错误");
    case 502:
        return QStringLiteral("网关错误");
    case 503:
        return QStringLiteral("服务器繁忙");
    case 504:
        return QStringLiteral("网关超时");
    default:
        break;
    }
    if (status >= 400 && status < 500)
        return QStringLiteral("请求被拒绝");
    if (status >= 500 && status < 600)
        return QStringLiteral("服务器出错");
    return QStringLiteral("服务器的回答无法使用");
}

QString detail(int status)
{
    return QStringLiteral("（HTTP %1）").arg(status);
}
} // namespace

QString httpStatus(int httpStatus)
{
    return statusWords(httpStatus) + detail(httpStatus);
}

QString retrying(int httpStatus, double delaySeconds)
{
    return statusWords(httpStatus) + QStringLiteral("，%1 秒后重试").arg(secondsText(delaySeconds))
        + detail(httpStatus);
}

QString gaveUp(int httpStatus, int tries)
{
    return statusWords(httpStatus) + QStringLiteral("，已试 %1 次").arg(tries) + detail(httpStatus);
}

QString waitTooLong(int httpStatus, double delaySeconds, const QDateTime &comeBackUtc)
{
    QString text = QStringLiteral("服务器要求 %1 秒后再试").arg(secondsText(delaySeconds));
    if (comeBackUtc.isValid()) {
        text += QStringLiteral("，即 %1 之后")
                    .arg(comeBackUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    return text + detail(httpStatus);
}

} // namespace RetryText
