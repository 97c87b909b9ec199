#include "FakeClock.h"
#include "common/RetryWait.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {
QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}
} // namespace

class TestRetryWait : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void retryAfterDelay_data();
    void retryAfterDelay();
    void httpDateForms_data();
    void httpDateForms();
    void decideRetry_data();
    void decideRetry();
    void tooLongWaitNamesTheTimeToComeBack();
    void fakeWallClockMovesWithTheClock();
};

void TestRetryWait::retryAfterDelay_data()
{
    QTest::addColumn<QByteArray>("retryAfter");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<double>("delay"); // -1: no delay

    QTest::newRow("seconds") << QByteArray("120") << QByteArray() << 120.0;
    QTest::newRow("seconds with spaces") << QByteArray(" 7\t") << QByteArray() << 7.0;
    QTest::newRow("zero") << QByteArray("0") << QByteArray() << 0.0;
    QTest::newRow("too long for an integer")
        << QByteArray("99999999999999999999999") << QByteArray() << 1e23;
    QTest::newRow("date against the Date header")
        << QByteArray("Fri, 01 Mar 2024 12:10:00 GMT")
        << QByteArray("Fri, 01 Mar 2024 12:00:30 GMT") << 570.0;
    QTest::newRow("date without a Date header: the wall clock")
        << QByteArray("Fri, 01 Mar 2024 12:04:00 GMT") << QByteArray() << 240.0;
    QTest::newRow("unreadable Date header: the wall clock")
        << QByteArray("Fri, 01 Mar 2024 12:04:00 GMT") << QByteArray("yesterday") << 240.0;
    QTest::newRow("date in the past")
        << QByteArray("Fri, 01 Mar 2024 11:00:00 GMT") << QByteArray() << 0.0;
    QTest::newRow("RFC 850 date") << QByteArray("Friday, 01-Mar-24 12:00:45 GMT") << QByteArray()
                                  << 45.0;
    QTest::newRow("asctime date") << QByteArray("Fri Mar  1 12:01:00 2024") << QByteArray() << 60.0;
    QTest::newRow("negative") << QByteArray("-5") << QByteArray() << -1.0;
    QTest::newRow("fraction") << QByteArray("1.5") << QByteArray() << -1.0;
    QTest::newRow("garbage") << QByteArray("soon") << QByteArray() << -1.0;
    QTest::newRow("empty") << QByteArray() << QByteArray() << -1.0;
    QTest::newRow("date without zone")
        << QByteArray("Fri, 01 Mar 2024 12:10:00") << QByteArray() << -1.0;
    QTest::newRow("impossible date")
        << QByteArray("Fri, 31 Feb 2024 12:10:00 GMT") << QByteArray() << -1.0;
}

void TestRetryWait::retryAfterDelay()
{
    QFETCH(QByteArray, retryAfter);
    QFETCH(QByteArray, date);
    QFETCH(double, delay);
    FakeClock clock;
    QCOMPARE(clock.wallClockUtc(), utc(2024, 3, 1, 12, 0, 0));
    const std::optional<double> got
        = RetryAfterDelaySeconds(retryAfter, date, clock.wallClockUtc());
    QCOMPARE(got.has_value(), delay >= 0);
    if (got)
        QCOMPARE(*got, delay);
}

void TestRetryWait::httpDateForms_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("reference");
    QTest::addColumn<QDateTime>("time");

    const QDateTime y2024 = utc(2024, 3, 1, 12, 0, 0);
    QTest::newRow("IMF-fixdate") << QByteArray("Sun, 06 Nov 1994 08:49:37 GMT") << y2024
                                 << utc(1994, 11, 6, 8, 49, 37);
    QTest::newRow("RFC 850") << QByteArray("Sunday, 06-Nov-94 08:49:37 GMT") << y2024
                             << utc(1994, 11, 6, 8, 49, 37);
    QTest::newRow("RFC 850, year in the near future")
        << QByteArray("Monday, 06-Nov-62 08:49:37 GMT") << y2024 << utc(2062, 11, 6, 8, 49, 37);
    QTest::newRow("RFC 850, more than 50 years ahead is the past")
        << QByteArray("Monday, 06-Nov-75 08:49:37 GMT") << y2024 << utc(1975, 11, 6, 8, 49, 37);
    QTest::newRow("asctime") << QByteArray("Sun Nov  6 08:49:37 1994") << y2024
                             << utc(1994, 11, 6, 8, 49, 37);
    QTest::newRow("asctime, two-digit day")
        << QByteArray("Wed Nov 16 08:49:37 1994") << y2024 << utc(1994, 11, 16, 8, 49, 37);
    QTest::newRow("any case") << QByteArray("sun, 06 NOV 1994 08:49:37 gmt") << y2024
                              << utc(1994, 11, 6, 8, 49, 37);
    QTest::newRow("leap second") << QByteArray("Sat, 31 Dec 2016 23:59:60 GMT") << y2024
                                 << utc(2016, 12, 31, 23, 59, 59);
    QTest::newRow("other zone") << QByteArray("Sun, 06 Nov 1994 08:49:37 +0800") << y2024
                                << QDateTime();
    QTest::newRow("one-digit day in IMF")
        << QByteArray("Sun, 6 Nov 1994 08:49:37 GMT") << y2024 << QDateTime();
    QTest::newRow("hour 24") << QByteArray("Sun, 06 Nov 1994 24:00:00 GMT") << y2024 << QDateTime();
}

void TestRetryWait::httpDateForms()
{
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, reference);
    QFETCH(QDateTime, time);
    QCOMPARE(ParseHttpDate(text, reference), time);
}

void TestRetryWait::decideRetry_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("tries");
    QTest::addColumn<double>("retryAfter"); // -1: no usable header
    QTest::addColumn<bool>("retry");
    QTest::addColumn<double>("delay");
    QTest::addColumn<QString>("reason");

    QTest::newRow("503 first answer, no header")
        << 503 << 1 << -1.0 << true << 5.0 << u"服务器繁忙，5 秒后重试（HTTP 503）"_s;
    QTest::newRow("503 second answer, no header")
        << 503 << 2 << -1.0 << true << 20.0 << u"服务器繁忙，20 秒后重试（HTTP 503）"_s;
    QTest::newRow("503 third answer fails")
        << 503 << 3 << -1.0 << false << 0.0 << u"服务器繁忙，已试 3 次（HTTP 503）"_s;
    QTest::newRow("429 third answer with header fails")
        << 429 << 3 << 10.0 << false << 0.0 << u"请求过于频繁，已试 3 次（HTTP 429）"_s;
    QTest::newRow("429 with seconds")
        << 429 << 1 << 42.0 << true << 42.0 << u"请求过于频繁，42 秒后重试（HTTP 429）"_s;
    QTest::newRow("429 with header on the second answer")
        << 429 << 2 << 7.0 << true << 7.0 << u"请求过于频繁，7 秒后重试（HTTP 429）"_s;
    QTest::newRow("header asking for no wait")
        << 503 << 1 << 0.0 << true << 0.0 << u"服务器繁忙，0 秒后重试（HTTP 503）"_s;
    QTest::newRow("fractional delay rounds up in the text")
        << 503 << 1 << 2.2 << true << 2.2 << u"服务器繁忙，3 秒后重试（HTTP 503）"_s;
    QTest::newRow("exactly 300 s is waited")
        << 429 << 1 << 300.0 << true << 300.0 << u"请求过于频繁，300 秒后重试（HTTP 429）"_s;
    QTest::newRow("301 s is not") << 429 << 1 << 301.0 << false << 0.0
                                  << u"服务器要求 301 秒后再试（HTTP 429）"_s;
    QTest::newRow("600 s on 503") << 503 << 2 << 600.0 << false << 0.0
                                  << u"服务器要求 600 秒后再试（HTTP 503）"_s;
    QTest::newRow("404 fails at once")
        << 404 << 1 << -1.0 << false << 0.0 << u"找不到该地址（HTTP 404）"_s;
    QTest::newRow("500 fails at once, header or not")
        << 500 << 1 << 5.0 << false << 0.0 << u"服务器内部错误（HTTP 500）"_s;
    QTest::newRow("other 4xx") << 418 << 1 << -1.0 << false << 0.0 << u"请求被拒绝（HTTP 418）"_s;
    QTest::newRow("other 5xx") << 599 << 1 << -1.0 << false << 0.0 << u"服务器出错（HTTP 599）"_s;
}

void TestRetryWait::decideRetry()
{
    QFETCH(int, status);
    QFETCH(int, tries);
    QFETCH(double, retryAfter);
    QFETCH(bool, retry);
    QFETCH(double, delay);
    QFETCH(QString, reason);
    const std::optional<double> header
        = retryAfter >= 0 ? std::optional<double>(retryAfter) : std::nullopt;
    const RetryDecision decision = DecideRetry(status, tries, header);
    QCOMPARE(decision.kind == RetryDecision::Retry, retry);
    if (retry)
        QCOMPARE(decision.delaySeconds, delay);
    QCOMPARE(decision.reason, reason);
}

void TestRetryWait::tooLongWaitNamesTheTimeToComeBack()
{
    FakeClock clock;
    const std::optional<double> delay = RetryAfterDelaySeconds(
        "Fri, 01 Mar 2024 13:00:00 GMT", "Fri, 01 Mar 2024 12:00:00 GMT", clock.wallClockUtc());
    QCOMPARE(delay.value_or(-1), 3600.0);
    const RetryDecision decision = DecideRetry(429, 1, delay, clock.wallClockUtc());
    QCOMPARE(decision.kind, RetryDecision::Fail);
    const QString local
        = utc(2024, 3, 1, 13, 0, 0).toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    QCOMPARE(decision.reason, u"服务器要求 3600 秒后再试，即 %1 之后（HTTP 429）"_s.arg(local));

    // A wait too long for any calendar still fails, without a time.
    QCOMPARE(DecideRetry(503, 1, 1e10, clock.wallClockUtc()).reason,
        u"服务器要求 10000000000 秒后再试（HTTP 503）"_s);
}

void TestRetryWait::fakeWallClockMovesWithTheClock()
{
    FakeClock clock;
    const QDateTime start = clock.wallClockUtc();
    clock.advance(20.5);
    QCOMPARE(clock.nowSeconds(), 1020.5);
    QCOMPARE(start.msecsTo(clock.wallClockUtc()), qint64(20500));
    // A Retry-After date read later asks for less.
    QCOMPARE(RetryAfterDelaySeconds("Fri, 01 Mar 2024 12:01:00 GMT", {}, clock.wallClockUtc())
                 .value_or(-1),
        39.5);
    clock.setWallClockUtc(utc(2030, 1, 1, 0, 0, 0));
    QCOMPARE(clock.wallClockUtc(), utc(2030, 1, 1, 0, 0, 0));
}

QTEST_GUILESS_MAIN(TestRetryWait)
#include "tst_retrywait.moc"
