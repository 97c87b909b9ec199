#include "FakeDialogs.h"
#include "TestEnvironment.h"
#include "common/AppValues.h"
#include "common/SettingsStore.h"
#include "download/OptionsForm.h"

#include <QSettings>
#include <QTest>

// Confirming the options dialog: what is stored, what is warned about.
class TestOptionsForm : public QObject
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
    void storesEveryValueInTheSharedValues();
    void proxyCheckedFirst_data();
    void proxyCheckedFirst();
    void noMethodChosenKeepsTheMethod();
    void sizeText_data();
    void sizeText();
    void openingShowsTheSharedValues();
};

void TestOptionsForm::storesEveryValueInTheSharedValues()
{
    AppValues values;
    FakeDialogs dialogs;
    OptionsForm form;
    form.method = 1;
    form.proxyEnabled = true;
    form.proxyAddress = QStringLiteral("  127.0.0.1 ");
    form.proxyPort = QStringLiteral(" 3128 ");
    form.askSaveFolderOnExtract = false;
    form.maxFileSizeText = QStringLiteral("2.5");
    confirmOptions(form, values, dialogs);

    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(values.DownloadMethod, 1);
    QCOMPARE(values.ProxyAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(values.ProxyPort, QStringLiteral("3128"));
    QCOMPARE(values.MaxFileSizeMB, 2.5);
    QVERIFY(!values.AskSaveFolderOnExtract);
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("1"));
    QCOMPARE(ReadSetting(Settings::ProxyEnabled), QStringLiteral("1"));
    QCOMPARE(ReadSetting(Settings::ProxyAddress), QStringLiteral("127.0.0.1"));
    QCOMPARE(ReadSetting(Settings::ProxyPort), QStringLiteral("3128"));
    QCOMPARE(ReadSetting(Settings::AskSaveFolderOnExtract), QStringLiteral("0"));
    QCOMPARE(ReadSetting(Settings::MaxFileSizeMB), QStringLiteral("2.5"));

    // What the dialog stored is what the next program run reads.
    AppValues next;
    loadStoredOptionValues(next);
    QCOMPARE(next.DownloadMethod, 1);
    QVERIFY(next.ProxyEnabled);
    QCOMPARE(next.MaxFileSizeMB, 2.5);
    QVERIFY(!next.AskSaveFolderOnExtract);
}

void TestOptionsForm::proxyCheckedFirst_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("refused");

    QTest::newRow("port 80a") << true << QStringLiteral("proxy.example.org")
                              << QStringLiteral("80a") << true;
    QTest::newRow("empty address")
        << true << QStringLiteral("   ") << QStringLiteral("3128") << true;
    QTest::newRow("empty port") << true << QStringLiteral("proxy.example.org") << QString() << true;
    QTest::newRow("port 0") << true << QStringLiteral("proxy.example.org") << QStringLiteral("0")
                            << true;
    QTest::newRow("port 65536") << true << QStringLiteral("proxy.example.org")
                                << QStringLiteral("65536") << true;
    QTest::newRow("port with a sign")
        << true << QStringLiteral("proxy.example.org") << QStringLiteral("+80") << true;
    QTest::newRow("space inside the address")
        << true << QStringLiteral("proxy example.org") << QStringLiteral("80") << true;
    QTest::newRow("well formed, spaces around")
        << true << QStringLiteral(" proxy.example.org ") << QStringLiteral(" 65535 ") << false;
    QTest::newRow("proxy off, port 80a") << false << QString() << QStringLiteral("80a") << false;
}

void TestOptionsForm::proxyCheckedFirst()
{
    QFETCH(bool, enabled);
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(bool, refused);

    AppValues values;
    FakeDialogs dialogs;
    OptionsForm form = OptionsForm::fromValues(values);
    form.method = 1;
    form.proxyEnabled = enabled;
    form.proxyAddress = address;
    form.proxyPort = port;
    form.askSaveFolderOnExtract = false;
    form.maxFileSizeText = QStringLiteral("3");
    QCOMPARE(confirmOptions(form, values, dialogs), !refused);

    QCOMPARE(dialogs.messages.size(), refused ? 1 : 0);
    if (refused) {
        QCOMPARE(dialogs.messages.first().text, QStringLiteral("代理服务器网址或者端口格式不对！"));
        QCOMPARE(dialogs.messages.first().style, UserDialogs::Style::Error);
        // Nothing at all is stored or taken over.
        QCOMPARE(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
                     QStringLiteral("Quillmoor"))
                     .allKeys(),
            QStringList());
        QCOMPARE(values.DownloadMethod, AppValues().DownloadMethod);
        QCOMPARE(values.ProxyEnabled, false);
        QVERIFY(values.AskSaveFolderOnExtract);
        QCOMPARE(values.MaxFileSizeMB, kDefaultMaxFileSizeMB);
        return;
    }
    QCOMPARE(ReadSetting(Settings::ProxyPort), port.trimmed());
    QCOMPARE(values.ProxyPort, port.trimmed());
    QCOMPARE(values.DownloadMethod, 1);
    QCOMPARE(ReadSetting(Settings::AskSaveFolderOnExtract), QStringLiteral("0"));
    QCOMPARE(values.MaxFileSizeMB, 3.0);
}

void TestOptionsForm::noMethodChosenKeepsTheMethod()
{
    AppValues values;
    values.DownloadMethod = 1;
    FakeDialogs dialogs;
    OptionsForm form = OptionsForm::fromValues(values);
    form.method = 0;
    confirmOptions(form, values, dialogs);
    QCOMPARE(values.DownloadMethod, 1);
    QCOMPARE(ReadSetting(Settings::DownloadMethod), QStringLiteral("1"));
}

void TestOptionsForm::sizeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected"); // -1: not a number, the old 10 stays

    QTest::newRow("whole") << QStringLiteral("25") << 25.0;
    QTest::newRow("fraction, spaces") << QStringLiteral(" 0.5 ") << 0.5;
    QTest::newRow("zero") << QStringLiteral("0") << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << -1.0;
    QTest::newRow("empty") << QString() << -1.0;
    QTest::newRow("negative") << QStringLiteral("-5") << -1.0;
    QTest::newRow("exponent") << QStringLiteral("1e9") << -1.0;
    QTest::newRow("two points") << QStringLiteral("1.2.3") << -1.0;
}

void TestOptionsForm::sizeText()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    AppValues values;
    FakeDialogs dialogs;
    OptionsForm form = OptionsForm::fromValues(values);
    form.maxFileSizeText = text;
    confirmOptions(form, values, dialogs);

    if (expected >= 0) {
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(values.MaxFileSizeMB, expected);
        QCOMPARE(ReadSetting(Settings::MaxFileSizeMB).toDouble(), expected);
    } else {
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.first().text,
            QStringLiteral("下载文件大小不是数字，仍使用原来的值：10MB。"));
        QCOMPARE(values.MaxFileSizeMB, 10.0);
        QCOMPARE(ReadSetting(Settings::MaxFileSizeMB), QStringLiteral("10"));
    }
}

void TestOptionsForm::openingShowsTheSharedValues()
{
    AppValues values;
    values.DownloadMethod = 7; // neither option is turned on
    values.MaxFileSizeMB = 12.5;
    const OptionsForm form = OptionsForm::fromValues(values);
    QCOMPARE(form.method, 0);
    QCOMPARE(form.maxFileSizeText, QStringLiteral("12.5"));
}

QTEST_GUILESS_MAIN(TestOptionsForm)
#include "tst_optionsform.moc"
