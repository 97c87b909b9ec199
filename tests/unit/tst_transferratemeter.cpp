#include "FakeClock.h"
#include "download/DownloadList.h"
#include "download/TransferRateMeter.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The total speed and the time left, on a clock the test moves.
class TestTransferRateMeter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void speedAndTimeLeftOfTwoRows();
    void speedIsTheRecentAverage();
    void timeLeftNeedsEverySize();
    void rowsJoiningAndLeaving();
    void speedTexts_data();
    void speedTexts();
    void timeLeftTexts_data();
    void timeLeftTexts();

private:
    // Row `row` is being downloaded with these column texts.
    void show(int row, const QString &received, const QString &size = u"1000000"_s);

    std::optional<DownloadList> m_list;
    FakeClock m_clock;
};

void TestTransferRateMeter::init()
{
    m_list.emplace();
    for (int n = 0; n < 3; ++n)
        m_list->addItem(u"http://a.test/%1.pdf"_s.arg(n), u"n"_s, u"pdf"_s, u"/d/"_s, {});
}

void TestTransferRateMeter::show(int row, const QString &received, const QString &size)
{
    m_list->update(row, [&](DownloadItem &item) {
        item.StatusCode = Status::Downloading;
        item.Received = received;
        item.Size = size;
    });
}

void TestTransferRateMeter::speedAndTimeLeftOfTwoRows()
{
    TransferRateMeter meter(*m_list, m_clock);
    show(0, u"0"_s);
    show(1, u"500000"_s);
    meter.sample();
    QCOMPARE(meter.bytesPerSecond(), 0.0);
    QCOMPARE(meter.timeLeftText(), QString());

    m_clock.advance(0.5);
    show(0, u"100000"_s);
    show(1, u"600000"_s);
    meter.sample();
    // 200000 bytes in half a second; 1300000 bytes still to come.
    QCOMPARE(meter.bytesPerSecond(), 400000.0);
    QCOMPARE(meter.speedText(), u"390.6 KB/s"_s);
    QCOMPARE(meter.secondsLeft().value_or(-1), 3.25);
    QCOMPARE(meter.timeLeftText(), u"剩余 4 秒"_s);

    // A waiting row is no transfer.
    m_list->update(2, [](DownloadItem &item) { item.Size = u"99999999"_s; });
    meter.sample();
    QCOMPARE(meter.secondsLeft().value_or(-1), 3.25);
}

void TestTransferRateMeter::speedIsTheRecentAverage()
{
    TransferRateMeter meter(*m_list, m_clock);
    qint64 received = 0;
    show(0, u"0"_s, u"100000000"_s);
    meter.sample();
    // Ten seconds at 1000 B/s, then two seconds at 9000 B/s: the average is
    // over the last four seconds only.
    for (int step = 1; step <= 24; ++step) {
        m_clock.advance(0.5);
        received += step <= 20 ? 500 : 4500;
        show(0, QString::number(received), u"100000000"_s);
        meter.sample();
    }
    QCOMPARE(meter.bytesPerSecond(), (2 * 1000 + 2 * 9000) / 4.0);

    // Nothing arrives: the speed falls to nothing and no time is given.
    for (int step = 0; step < 10; ++step) {
        m_clock.advance(0.5);
        meter.sample();
    }
    QCOMPARE(meter.bytesPerSecond(), 0.0);
    QVERIFY(!meter.secondsLeft());
    QCOMPARE(meter.speedText(), u"0 B/s"_s);

    meter.reset();
    QCOMPARE(meter.bytesPerSecond(), 0.0);
}

void TestTransferRateMeter::timeLeftNeedsEverySize()
{
    TransferRateMeter meter(*m_list, m_clock);
    show(0, u"0"_s);
    show(1, u"0"_s, QString()); // no size announced
    meter.sample();
    m_clock.advance(1);
    show(0, u"1000"_s);
    show(1, u"1000"_s, QString());
    meter.sample();
    QCOMPARE(meter.bytesPerSecond(), 2000.0);
    QVERIFY(!meter.secondsLeft());
    QCOMPARE(meter.timeLeftText(), QString());

    // Once the size is known the time is.
    show(1, u"1000"_s, u"3000"_s);
    meter.sample();
    QVERIFY(meter.secondsLeft().has_value());
}

void TestTransferRateMeter::rowsJoiningAndLeaving()
{
    TransferRateMeter meter(*m_list, m_clock);
    show(0, u"0"_s);
    meter.sample();
    m_clock.advance(1);
    show(0, u"1000"_s);
    // Row 1 resumes a part of 700000 bytes: those did not just arrive.
    show(1, u"700000"_s);
    meter.sample();
    QCOMPARE(meter.bytesPerSecond(), 1000.0);

    m_clock.advance(1);
    show(1, u"701000"_s);
    // Row 0 is done: it no longer counts, and its bytes are not taken back.
    m_list->update(0, [](DownloadItem &item) { item.StatusCode = Status::Completed; });
    meter.sample();
    QCOMPARE(meter.bytesPerSecond(), 1000.0);
    // A status text in the received column is no number.
    show(1, StatusText::NotPresent);
    m_clock.advance(1);
    meter.sample();
    QCOMPARE(meter.bytesPerSecond(), 2000.0 / 3);
    QVERIFY(!meter.secondsLeft());
}

void TestTransferRateMeter::speedTexts_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("bytes") << 512.0 << u"512 B/s"_s;
    QTest::newRow("kilobytes") << 1536.0 << u"1.5 KB/s"_s;
    QTest::newRow("megabytes") << 1.2 * 1024 * 1024 << u"1.2 MB/s"_s;
    QTest::newRow("gigabytes") << 3.0 * 1024 * 1024 * 1024 << u"3.0 GB/s"_s;
}

void TestTransferRateMeter::speedTexts()
{
    QFETCH(double, rate);
    QTEST(TransferRateMeter::speedText(rate), "text");
}

void TestTransferRateMeter::timeLeftTexts_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("part of a second rounds up") << 0.2 << u"剩余 1 秒"_s;
    QTest::newRow("seconds") << 59.0 << u"剩余 59 秒"_s;
    QTest::newRow("minutes") << 200.0 << u"剩余 3 分 20 秒"_s;
    QTest::newRow("hours") << 7300.0 << u"剩余 2 小时 1 分"_s;
    QTest::newRow("days") << 200000.0 << u"剩余 2 天 7 小时"_s;
    QTest::newRow("absurd") << 1e300 << u"剩余 11574 天 1 小时"_s;
}

void TestTransferRateMeter::timeLeftTexts()
{
    QFETCH(double, seconds);
    QTEST(TransferRateMeter::timeLeftText(seconds), "text");
}

QTEST_GUILESS_MAIN(TestTransferRateMeter)
#include "tst_transferratemeter.moc"
