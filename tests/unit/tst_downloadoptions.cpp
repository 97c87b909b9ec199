#include "TestEnvironment.h"
#include "common/SettingsStore.h"
#include "download/DownloadOptions.h"

#include <QSettings>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestDownloadOptions)
#include "tst_downloadoptions.moc"
