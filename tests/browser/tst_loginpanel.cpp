#include "BrowserTestMain.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeShell.h"
#include "FixtureServer.h"
#include "LoginSite.h"
#include "RecordingSoundPlayer.h"
#include "TestFiles.h"
#include "app/ui/AppWindows.h"
#include "common/AppValues.h"
#include "download/DownloadList.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/SiteLogin.h"
#include "download/ui/fFileDownload.h"
#include "platform/AppPaths.h"
#include "platform/CookieJar.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineView>

// The login panel of the download window on the real browser engine against
// the fixture site's members' area: a login made in the panel holds for the
// downloads over libcurl.
class tst_LoginPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void panelControls();
    void testLoginThenDownload();
    void autoLoginDuringAList();
    void loginGoesOnlyWhereAgreed();

private:
    template<typename T> T *child(const char *name)
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void openPanel(Clock &clock);
    void fillIn();
    // Lets the engine work; moves the fake clock only while no page loads,
    // so the waits of the login never time out on a slow machine.
    bool waitForLogin(int timeoutMs = 30000);
    QString folder() const { return m_dir->path() + QStringLiteral("/dl/"); }
    QString pdfUrl(const QString &name) const
    {
        return m_server.urlText(QStringLiteral("/members/pdf/") + name + QStringLiteral(".pdf"));
    }

    FixtureServer m_server;
    FixtureServer m_otherSite; // on 127.0.0.2: another host
    CookieJar m_jar;
    FakeClock m_clock;
    FakeDialogs m_dialogs;
    FakeShell m_shell;
    RecordingSoundPlayer m_player;
    AppValues m_values;
    std::optional<QTemporaryDir> m_dir;
    std::optional<FixedAppPaths> m_paths;
    std::optional<AppWindows> m_windows;
    fFileDownload *m_window = nullptr;
};

void tst_LoginPanel::initTestCase()
{
    QVERIFY(m_server.listen());
    LoginSite::install(m_server);
    QVERIFY(m_otherSite.listen(0, QStringLiteral("127.0.0.2")));
    LoginSite::install(m_otherSite);
    ShareProfileCookies(m_jar);
}

void tst_LoginPanel::init()
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillmoor"),
        QStringLiteral("Quillmoor"))
        .clear();
    ProgramProfile::profile()->cookieStore()->deleteAllCookies();
    QTRY_VERIFY(m_jar.cookies().isEmpty());
    m_dialogs = FakeDialogs();
    m_values = AppValues();
    m_dir.emplace();
    QDir(m_dir->path()).mkpath(QStringLiteral("program"));
    m_paths.emplace(m_dir->path() + QStringLiteral("/program"));
}

void tst_LoginPanel::cleanup()
{
    m_window = nullptr;
    m_windows.reset();
}

void tst_LoginPanel::openPanel(Clock &clock)
{
    m_windows.emplace(
        AppServices { m_values, clock, *m_paths, m_player, m_dialogs, m_shell, &m_jar });
    m_window = m_windows->showDownloadWindow();
    QVERIFY(!m_window->loginPanelHost()->isVisible());
    child<QPushButton>("Command1")->click();
    QVERIFY(m_window->loginPanelHost()->isVisible());
    QVERIFY(m_window->loginBrowser()->isSilent());
}

void tst_LoginPanel::fillIn()
{
    child<QLineEdit>("Text1")->setText(m_server.urlText(QStringLiteral("/members/login")));
    child<QLineEdit>("Text2")->setText(LoginSite::Account);
    child<QLineEdit>("Text3")->setText(LoginSite::Password);
}

bool tst_LoginPanel::waitForLogin(int timeoutMs)
{
    SiteLogin *login = m_window->siteLogin();
    QElapsedTimer elapsed;
    elapsed.start();
    // Time moves on only while the login waits for nothing but time, and
    // the browser has been idle for a while: a snapshot of the page or a
    // submitted form's page can take seconds on a busy machine, and the
    // login's own waits for them must not run out before they come.
    QElapsedTimer idle;
    idle.start();
    while (login->isRunning() && elapsed.elapsed() < timeoutMs) {
        QTest::qWait(20);
        if (login->waitsOnBrowser() || login->LoginPageLoading()
            || m_window->loginBrowser()->isBusy())
            idle.restart();
        else if (idle.elapsed() >= 150)
            m_clock.advance(1);
    }
    return !login->isRunning();
}

void tst_LoginPanel::panelControls()
{
    openPanel(m_clock);
    const QList<QPair<const char *, QString>> captions = {
        { "Option4", QStringLiteral("帐号登录：") },
        { "Option5", QStringLiteral("IP登录") },
        { "Command2", QStringLiteral("浏览") },
        { "Command5", QStringLiteral("测试登录") },
        { "Check2", QStringLiteral("自动登录") },
        { "Check1", QStringLiteral("自动刷新(每分钟)") },
        { "Command3", QStringLiteral("关闭(隐藏)") },
        { "Command1", QStringLiteral("网页登录") },
        { "Label11", QStringLiteral("自动登录条件：") },
    };
    // Squeezed to its narrowest beside the list, the panel cuts no caption.
    auto *splitter = child<QSplitter>("MainSplitter");
    splitter->setSizes({ splitter->width(), 0 });
    for (const auto &[name, caption] : captions) {
        auto *widget = child<QWidget>(name);
        QCOMPARE(widget->property("text").toString(), caption);
        QVERIFY2(widget->isVisible(), name);
        QTRY_VERIFY2(widget->width() >= widget->sizeHint().width(), name);
    }
    QVERIFY(child<QRadioButton>("Option4")->isChecked());
    QCOMPARE(child<QLineEdit>("Text3")->echoMode(), QLineEdit::Password);
    auto *combo3 = child<QComboBox>("Combo3");
    QCOMPARE(combo3->count(), 1);
    QCOMPARE(combo3->currentText(), QStringLiteral("下载到网页文件(htm/html/asp)文件"));
    QVERIFY(child<QWidget>("PicWebBK")->findChild<QWebEngineView *>(QStringLiteral("Web1")));

    // "自动登录" without an address is refused with its message.
    auto *check2 = child<QCheckBox>("Check2");
    check2->click();
    QVERIFY(!check2->isChecked());
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("必须先设置登录网址！"));
    QVERIFY(!m_window->session().options().autoLogin);
    fillIn();
    check2->click();
    QVERIFY(check2->isChecked());
    QVERIFY(m_window->session().options().autoLogin);

    // "浏览" shows the login page; its title goes to the third panel.
    child<QPushButton>("Command2")->click();
    QTRY_COMPARE(m_window->panel(3)->text(), QStringLiteral("Members log in"));
    QTRY_VERIFY(child<QPushButton>("Command2")->isEnabled());

    // "关闭(隐藏)" hides the panel and drops the page unless it is refreshed.
    child<QPushButton>("Command3")->click();
    QVERIFY(!m_window->loginPanelHost()->isVisible());
    QTRY_COMPARE(m_window->loginBrowser()->url(), QStringLiteral("about:blank"));
}

void tst_LoginPanel::testLoginThenDownload()
{
    openPanel(m_clock);
    DownloadList &rows = m_window->list();
    DownloadSession &session = m_window->session();
    QVERIFY(rows.addItem(
        pdfUrl(QStringLiteral("a")), QStringLiteral("a"), QStringLiteral("pdf"), folder(), {}));
    session.scheduler().state().LastTransferEnd = m_clock.nowSeconds() - 10;
    session.options().method = 1;

    // Without a login the site answers a page where the file should be.
    session.scheduler().start();
    session.scheduler().schedulingPass();
    QTRY_VERIFY_WITH_TIMEOUT(rows.at(0).StatusCode >= Status::Completed, 20000);
    session.scheduler().stop();
    QCOMPARE(rows.at(0).Type, QStringLiteral("htm"));

    fillIn();
    auto *command5 = child<QPushButton>("Command5");
    SiteLogin::Outcome outcome;
    connect(m_window->siteLogin(), &SiteLogin::finished, this,
        [&outcome](const SiteLogin::Outcome &ended) { outcome = ended; });
    command5->click();
    QVERIFY(!command5->isEnabled());
    QVERIFY(waitForLogin());
    QVERIFY(command5->isEnabled());
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY2(outcome.pageLoaded && outcome.fieldsFilled == 2 && outcome.submitted,
        qPrintable(QStringLiteral("page loaded %1, %2 fields filled, submitted %3, ended on %4")
                       .arg(outcome.pageLoaded)
                       .arg(outcome.fieldsFilled)
                       .arg(outcome.submitted)
                       .arg(outcome.finalUrl)));
    // The page the form leads to may still be on its way on a busy machine.
    QTRY_COMPARE_WITH_TIMEOUT(m_window->loginBrowser()->url(),
        m_server.urlText(QStringLiteral("/members/welcome")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->panel(3)->text(), QStringLiteral("Welcome"), 10000);

    // The browser's session cookie now goes with the download.
    QVERIFY(rows.addItem(
        pdfUrl(QStringLiteral("b")), QStringLiteral("b"), QStringLiteral("pdf"), folder(), {}));
    m_clock.advance(10);
    session.scheduler().start();
    session.scheduler().schedulingPass();
    QTRY_VERIFY_WITH_TIMEOUT(rows.at(1).StatusCode >= Status::Completed, 20000);
    session.scheduler().stop();
    QCOMPARE(rows.at(1).StatusCode, Status::Completed);
    QCOMPARE(readFile(folder() + QStringLiteral("b.pdf")),
        LoginSite::pdf(QStringLiteral("/members/pdf/b.pdf")));
    QVERIFY(LoginSite::hasSession(m_server.lastRequest().header("Cookie")));
}

void tst_LoginPanel::autoLoginDuringAList()
{
    // The scheduler's own timers drive this run.
    openPanel(SteadyClock::instance());
    fillIn();
    auto *check2 = child<QCheckBox>("Check2");
    check2->click();
    QVERIFY(check2->isChecked());
    // Re-download the rows that came back as pages.
    child<QComboBox>("Combo4")->setCurrentIndex(1);
    child<QCheckBox>("Check3")->setChecked(true);

    DownloadList &rows = m_window->list();
    const QStringList names { QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e") };
    for (const QString &name : names)
        QVERIFY(rows.addItem(pdfUrl(name), name, QStringLiteral("pdf"), folder(), {}));
    m_window->session().scheduler().start();

    const auto allSaved = [&] {
        for (int row = 0; row < rows.size(); ++row) {
            if (rows.at(row).StatusCode != Status::Completed
                || rows.at(row).Type != QStringLiteral("pdf"))
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allSaved(), 60000);
    for (int row = 0; row < rows.size(); ++row) {
        QCOMPARE(rows.at(row).StatusCode, Status::Completed);
        QCOMPARE(readFile(folder() + names.at(row) + QStringLiteral(".pdf")),
            LoginSite::pdf(
                QStringLiteral("/members/pdf/") + names.at(row) + QStringLiteral(".pdf")));
    }
    QVERIFY(m_server.requestCount("/members/session") >= 1);
    m_window->session().scheduler().stop();
}

void tst_LoginPanel::loginGoesOnlyWhereAgreed()
{
    openPanel(m_clock);
    fillIn();
    // The site's form posts to another host, as a single sign-on page does.
    const QString otherSession = m_otherSite.urlText(QStringLiteral("/members/session"));
    child<QLineEdit>("Text1")->setText(m_server.urlText(QStringLiteral("/members/login?action="))
        + QString::fromLatin1(QUrl::toPercentEncoding(otherSession)));
    // Typed with spaces and a tab around it: sent just so.
    const QString password = QStringLiteral("  sp ace\t");
    child<QLineEdit>("Text3")->setText(password);
    const QString question
        = QStringLiteral("登录表单在另一个网站（127.0.0.2）上，要把帐号和密码发送到那里吗？");

    auto *command5 = child<QPushButton>("Command5");
    m_dialogs.answers.enqueue(UserDialogs::Answer::No);
    command5->click();
    QVERIFY(waitForLogin());
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.at(0).text, question);
    QCOMPARE(m_dialogs.messages.at(0).style, UserDialogs::Style::QuestionYesNo);
    QCOMPARE(m_otherSite.requestCount("/members/session"), 0);

    m_dialogs.answers.enqueue(UserDialogs::Answer::Yes);
    command5->click();
    QVERIFY(waitForLogin());
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_otherSite.requestCount("/members/session"), 1);
    FixtureServer::Request sent;
    for (const FixtureServer::Request &request : m_otherSite.requests()) {
        if (request.path == "/members/session")
            sent = request;
    }
    QCOMPARE(sent.method, QByteArray("POST"));
    QCOMPARE(LoginSite::formValue(sent, QStringLiteral("username")), LoginSite::Account);
    QCOMPARE(LoginSite::formValue(sent, QStringLiteral("password")), password);

    // A silent login cannot ask; a form sent with GET is never submitted.
    // Either way the status bar says why.
    child<QLineEdit>("Text1")->setText(m_server.urlText(QStringLiteral("/members/get-login")));
    m_server.clearLog();
    QVERIFY(m_window->siteLogin()->run(false));
    QVERIFY(waitForLogin());
    QCOMPARE(m_window->panel(3)->text(),
        QStringLiteral("登录表单会把密码写在网址里（GET 方式），为保护密码没有提交。"));
    QCOMPARE(m_server.requestCount("/members/session"), 0);
    QCOMPARE(m_dialogs.messages.size(), 2);
}

QUILLMOOR_BROWSER_TEST_MAIN(tst_LoginPanel)
#include "tst_loginpanel.moc"
