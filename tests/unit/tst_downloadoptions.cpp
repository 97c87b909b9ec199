#include "TestEnvironment.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "download/DownloadOptions.h"

#include <QSettings>
#include <QTest>

#include <limits>

// The options the download window takes from the settings store when it opens.
class TestDownloadOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestLocations(); }
    void init()
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
            QStringLiteral("Quillmoor"))
            .clear();
    }
    void firstRunDefaults();
    void storedValues_data();
    void storedValues();
    void policyCaptions_data();
    void policyCaptions();
    void sizeLimitInBytes_data();
    void sizeLimitInBytes();
};

void TestDownloadOptions::firstRunDefaults()
{
    DownloadOptions options;
    options.connections = 6;
    loadStoredDownloadOptions(options);
    QCOMPARE(options.method, 2);
    QCOMPARE(options.connections, 3); // the third entry, "3"
    QCOMPARE(options.policy, DuplicatePolicy::Rename);
    QVERIFY(!options.proxyEnabled);
    QCOMPARE(options.maxFileSizeMB, 10.0);
}

void TestDownloadOptions::storedValues_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("maxSize");
    QTest::addColumn<int>("expectedMethod");
    QTest::addColumn<int>("expectedConnections");
    QTest::addColumn<double>("expectedMax");

    QTest::newRow("method 2, sixth entry")
        << QStringLiteral("2") << QStringLiteral("5") << QStringLiteral("2.5") << 2 << 6 << 2.5;
    QTest::newRow("method 1 shows one connection")
        << QStringLiteral("1") << QStringLiteral("5") << QStringLiteral("10") << 1 << 1 << 10.0;
    QTest::newRow("position out of range")
        << QStringLiteral("2") << QStringLiteral("9") << QStringLiteral("10") << 2 << 3 << 10.0;
    QTest::newRow("not numbers") << QStringLiteral("x") << QStringLiteral("y")
                                 << QStringLiteral("z") << 2 << 3 << 10.0;
    QTest::newRow("size nan") << QStringLiteral("2") << QStringLiteral("2") << QStringLiteral("nan")
                              << 2 << 3 << 10.0;
    QTest::newRow("size negative")
        << QStringLiteral("2") << QStringLiteral("2") << QStringLiteral("-1") << 2 << 3 << 10.0;
}

void TestDownloadOptions::storedValues()
{
    QFETCH(QString, method);
    QFETCH(QString, position);
    QFETCH(QString, maxSize);
    WriteSetting(Settings::DownloadMethod, method);
    WriteSetting(Settings::ConnectionCountIndex, position);
    WriteSetting(Settings::MaxFileSizeMB, maxSize);
    WriteSetting(Settings::ProxyEnabled, QStringLiteral("1"));
    WriteSetting(Settings::ProxyAddress, QStringLiteral("  proxy.example  "));
    WriteSetting(Settings::ProxyPort, QStringLiteral(" 3128 "));
    DownloadOptions options;
    loadStoredDownloadOptions(options);
    QTEST(options.method, "expectedMethod");
    QTEST(options.connections, "expectedConnections");
    QTEST(options.maxFileSizeMB, "expectedMax");
    QVERIFY(options.proxyEnabled);
    QCOMPARE(options.proxyAddress, QStringLiteral("proxy.example"));
    QCOMPARE(options.proxyPort, QStringLiteral("3128"));
}

void TestDownloadOptions::policyCaptions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("policy");
    QTest::newRow("跳过") << QStringLiteral("跳过") << int(DuplicatePolicy::Skip);
    QTest::newRow("覆盖") << QStringLiteral("覆盖") << int(DuplicatePolicy::Overwrite);
    QTest::newRow("重命名") << QStringLiteral("重命名") << int(DuplicatePolicy::Rename);
    QTest::newRow("unknown") << QStringLiteral("keep") << int(DuplicatePolicy::Rename);
}

void TestDownloadOptions::policyCaptions()
{
    QFETCH(QString, caption);
    QFETCH(int, policy);
    WriteSetting(Settings::DuplicateFilePolicy, caption);
    DownloadOptions options;
    loadStoredDownloadOptions(options);
    QCOMPARE(int(options.policy), policy);
    if (caption != QStringLiteral("keep"))
        QCOMPARE(duplicatePolicyCaption(options.policy), caption);
}

void TestDownloadOptions::sizeLimitInBytes_data()
{
    QTest::addColumn<double>("megabytes");
    QTest::addColumn<qint64>("bytes");

    const qint64 largest = std::numeric_limits<qint64>::max();
    const qint64 fallback = 10 * 1048576;
    QTest::newRow("10 MB") << 10.0 << fallback;
    QTest::newRow("fraction is floored") << 0.0000015 << qint64(1);
    QTest::newRow("zero") << 0.0 << qint64(0);
    // 2^43 - 1 MB is the largest whole-MB limit whose bytes fit a qint64.
    QTest::newRow("largest that fits") << 8796093022207.0 << largest - 1048575;
    QTest::newRow("2^63 bytes") << 8796093022208.0 << largest;
    QTest::newRow("1e300") << 1e300 << largest;
    QTest::newRow("inf") << std::numeric_limits<double>::infinity() << largest;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << fallback;
    QTest::newRow("negative") << -1.0 << fallback;
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << fallback;
}

// The limit in whole bytes saturates instead of overflowing.
void TestDownloadOptions::sizeLimitInBytes()
{
    QFETCH(double, megabytes);
    QTEST(maxFileSizeBytes(megabytes), "bytes");
}

QTEST_GUILESS_MAIN(TestDownloadOptions)
#include "tst_downloadoptions.moc"
