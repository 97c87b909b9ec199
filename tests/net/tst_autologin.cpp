#include "DownloadTestRig.h"
#include "FakeBrowser.h"
#include "LoginSite.h"
#include "download/DownloadList.h"
#include "download/SiteLogin.h"

#include <QSignalSpy>
#include <QTest>

// A download that comes back as a web page starts a silent login when
// "自动登录" is checked; the session cookie then makes the same address give
// the file.
class tst_AutoLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void webPageStartsALogin_data();
    void webPageStartsALogin();
};

void tst_AutoLogin::webPageStartsALogin_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<bool>("withSession");
    QTest::addColumn<bool>("loginRuns");

    for (const int method : { 1, 2 }) {
        const QByteArray m = "method " + QByteArray::number(method);
        QTest::newRow(QByteArray(m + ", page, auto-login").constData())
            << method << true << false << true;
        QTest::newRow(QByteArray(m + ", page, no auto-login").constData())
            << method << false << false << false;
        QTest::newRow(QByteArray(m + ", logged in, auto-login").constData())
            << method << true << true << false;
    }
}

void tst_AutoLogin::webPageStartsALogin()
{
    QFETCH(int, method);
    QFETCH(bool, autoLogin);
    QFETCH(bool, withSession);
    QFETCH(bool, loginRuns);

    DownloadTestRig rig;
    LoginSite::install(rig.server);
    FakeBrowser browser;
    SiteLogin login(browser, rig.clock, rig.dialogs);
    login.setPollIntervalMs(1);
    login.options().address = rig.server.urlText(QStringLiteral("/members/login"));
    login.options().account = LoginSite::Account;
    login.options().password = LoginSite::Password;
    login.attach(rig.session);
    QCOMPARE(login.setAutoLoginByUser(autoLogin), autoLogin);
    QCOMPARE(rig.options().autoLogin, autoLogin);
    if (withSession) {
        QNetworkCookie cookie(LoginSite::CookieName, LoginSite::CookieValue);
        cookie.setDomain(QStringLiteral("127.0.0.1"));
        cookie.setPath(QStringLiteral("/"));
        rig.jar.insertCookie(cookie);
    }

    rig.options().method = method;
    const int row = rig.addRow(
        QStringLiteral("/members/pdf/a.pdf"), QStringLiteral("a"), QStringLiteral("pdf"));
    rig.scheduler().state().LastTransferEnd = rig.clock.nowSeconds() - 10;
    switchOnQuietly(rig.scheduler());
    rig.scheduler().schedulingPass();
    QVERIFY(rig.waitUntil([&] { return rig.list().at(row).StatusCode >= Status::Completed; }));
    rig.settle();
    rig.scheduler().stop();

    const DownloadItem &item = rig.list().at(row);
    // Without the session cookie the site answers its login page.
    QCOMPARE(item.Type, withSession ? QStringLiteral("pdf") : QStringLiteral("htm"));
    QCOMPARE(login.isRunning(), loginRuns);
    QCOMPARE(
        browser.navigations(), loginRuns ? QStringList { login.options().address } : QStringList());
    QVERIFY(rig.dialogs.messages.isEmpty());
}

QTEST_GUILESS_MAIN(tst_AutoLogin)
#include "tst_autologin.moc"
