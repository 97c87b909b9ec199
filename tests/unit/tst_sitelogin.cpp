#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "download/SiteLogin.h"

#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

#include <memory>

namespace {

const QString LoginUrl = QStringLiteral("http://site.test/login");
const QString MissingUrl = QStringLiteral("http://site.test/missing");
const QString NoAddress = QStringLiteral("必须先设置登录网址！");
const QString NoAccount = QStringLiteral("帐号登录,必须先设置登录帐号和登录密码！");
// Spaces and a tab around it belong to the password.
const QString Password = QStringLiteral("  s3cret pass\t ");
const QString GetRefused
    = QStringLiteral("登录表单会把密码写在网址里（GET 方式），为保护密码没有提交。");
const QString Fields = QStringLiteral("<input name='username'><input name='password'>");

QString page(const QString &body)
{
    return QStringLiteral("<html><head><title>Log in</title></head><body>%1</body></html>")
        .arg(body);
}

} // namespace

class tst_SiteLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void loginForms_data();
    void loginForms();
    void missingData_data();
    void missingData();
    void overlappingRunReturnsAtOnce();
    void pageThatNeverLoads();
    void whereTheLoginGoes_data();
    void whereTheLoginGoes();
    void autoLoginCheckedByUser_data();
    void autoLoginCheckedByUser();
    void browseWaitsForThePage();
    void hidingKeepsARefreshedPage();
    void showPanelOpensTheSelectedRow();
    void titlesReachTheStatusBar();

private:
    // Lets events run, moving the clock `step` seconds each round, until the
    // run has finished; answers its outcome.
    SiteLogin::Outcome finishRun(double step = 1.0);

    std::unique_ptr<FakeBrowser> m_browser;
    std::unique_ptr<SiteLogin> m_login;
    FakeDialogs m_dialogs;
    FakeClock m_clock;
};

void tst_SiteLogin::init()
{
    m_dialogs = FakeDialogs();
    m_clock.set(1000.0);
    m_browser = std::make_unique<FakeBrowser>();
    // Every address but the missing one answers a plain page.
    m_browser->setPageSource([](const QString &url) -> std::optional<QString> {
        if (url.startsWith(MissingUrl))
            return std::nullopt;
        return page(QStringLiteral("<p>%1</p>").arg(url.toHtmlEscaped()));
    });
    m_login = std::make_unique<SiteLogin>(*m_browser, m_clock, m_dialogs);
    m_login->setPollIntervalMs(1);
    m_login->Timer2().setInterval(1);
    SiteLoginOptions &options = m_login->options();
    options.address = QStringLiteral("  ") + LoginUrl + QStringLiteral(" ");
    options.account = QStringLiteral(" reader ");
    options.password = Password;
}

void tst_SiteLogin::cleanup()
{
    m_login.reset();
    m_browser.reset();
}

SiteLogin::Outcome tst_SiteLogin::finishRun(double step)
{
    QSignalSpy finished(m_login.get(), &SiteLogin::finished);
    for (int round = 0; round < 200 && finished.isEmpty(); ++round) {
        QTest::qWait(2);
        if (finished.isEmpty())
            m_clock.advance(step);
    }
    if (finished.isEmpty())
        return {};
    return finished.first().first().value<SiteLogin::Outcome>();
}

void tst_SiteLogin::loginForms_data()
{
    QTest::addColumn<bool>("ipLogin");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("filled");
    QTest::addColumn<bool>("submitted");

    const QString fields = QStringLiteral(
        "<input name='UserName' type='text'><input name='PassWord' type='password'>");
    QTest::newRow("names and type in any case")
        << false
        << QStringLiteral(
               "<form method='post' action='/session'>%1<input type='SUBMIT' value='Go'></form>")
               .arg(fields)
        << 2 << true;
    QTest::newRow("other field names")
        << false
        << QStringLiteral("<form method='POST' action='/session'><input name='userid'>"
                          "<input name='passwd'><input name='remember' type='checkbox'>"
                          "<input type='submit'></form>")
        << 2 << true;
    QTest::newRow("only a user field")
        << false
        << QStringLiteral("<form method='post' action='/session'><input name='user'>"
                          "<input type='submit'></form>")
        << 1 << false;
    QTest::newRow("submit before the fields")
        << false
        << QStringLiteral("<form method='post' action='/session'><input type='submit'>%1</form>")
               .arg(fields)
        << 2 << false;
    QTest::newRow("page without a form") << false << QStringLiteral("<p>Welcome</p>") << 0 << false;
    QTest::newRow("ip login button")
        << true
        << QStringLiteral("<form action='/ip'><input id='submitip' type='submit'></form>%1")
               .arg(fields)
        << 0 << true;
    QTest::newRow("ip login without its button")
        << true << QStringLiteral("<form action='/ip'><input type='submit'></form>") << 0 << false;
}

void tst_SiteLogin::loginForms()
{
    QFETCH(bool, ipLogin);
    QFETCH(QString, body);
    QFETCH(int, filled);
    QFETCH(bool, submitted);

    m_browser->setPage(LoginUrl, page(body));
    m_login->options().ipLogin = ipLogin;
    QSignalSpy enabled(m_login.get(), &SiteLogin::testLoginEnabledChanged);

    m_login->run(true);
    QVERIFY(!m_login->testLoginEnabled());
    const SiteLogin::Outcome outcome = finishRun();

    QVERIFY(outcome.started);
    QVERIFY(outcome.pageLoaded);
    QCOMPARE(outcome.fieldsFilled, filled);
    QCOMPARE(outcome.submitted, submitted);
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(enabled.count(), 2);
    QVERIFY(m_login->testLoginEnabled());

    // The trimmed address was opened; a submit sent the trimmed account and
    // the password as typed.
    QCOMPARE(m_browser->navigations().first(), LoginUrl);
    QCOMPARE(m_browser->navigations().size(), submitted ? 2 : 1);
    if (submitted && !ipLogin) {
        const QUrlQuery sent(QUrl(m_browser->navigations().last()));
        QStringList values;
        for (const auto &[name, value] : sent.queryItems(QUrl::FullyDecoded))
            values << value;
        QVERIFY2(values.contains(QStringLiteral("reader")), qPrintable(sent.toString()));
        QVERIFY2(values.contains(Password), qPrintable(sent.toString()));
        QCOMPARE(outcome.finalUrl, m_browser->navigations().last());
    }
    if (!submitted && filled > 0) {
        // Filled all the same, as the page shows them.
        const auto live = m_browser->livePage();
        const QList<Element> inputs = live->elementsByTagName(QStringLiteral("INPUT"));
        QStringList values;
        for (const Element input : inputs)
            values << live->value(input);
        QVERIFY2(values.contains(QStringLiteral("reader")), qPrintable(values.join(u',')));
    }
}

void tst_SiteLogin::missingData_data()
{
    QTest::addColumn<bool>("ipLogin");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");

    QTest::newRow("no address") << false << QStringLiteral("   ") << QStringLiteral("reader")
                                << QStringLiteral("pw") << NoAddress;
    QTest::newRow("ip login, no address")
        << true << QString() << QString() << QString() << NoAddress;
    QTest::newRow("no account") << false << LoginUrl << QStringLiteral("  ") << QStringLiteral("pw")
                                << NoAccount;
    QTest::newRow("no password") << false << LoginUrl << QStringLiteral("reader") << QString()
                                 << NoAccount;
}

void tst_SiteLogin::missingData()
{
    QFETCH(bool, ipLogin);
    QFETCH(QString, address);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, message);

    for (const bool showMessages : { true, false }) {
        m_dialogs.messages.clear();
        SiteLoginOptions &options = m_login->options();
        options = SiteLoginOptions { address, account, password, ipLogin, true, false, {} };
        QSignalSpy autoLogin(m_login.get(), &SiteLogin::autoLoginChanged);
        QSignalSpy finished(m_login.get(), &SiteLogin::finished);

        m_login->run(showMessages);
        QTest::qWait(5);

        // A silent call also switches the automatic login off.
        QCOMPARE(autoLogin.count(), 1);
        QCOMPARE(autoLogin.first().first().toBool(), false);
        QVERIFY(!options.autoLogin);
        QCOMPARE(m_dialogs.messages.size(), showMessages ? 1 : 0);
        if (showMessages) {
            QCOMPARE(m_dialogs.messages.first().text, message);
            QCOMPARE(m_dialogs.messages.first().style, UserDialogs::Style::Error);
        }
        QVERIFY(finished.isEmpty());
        QVERIFY(m_browser->navigations().isEmpty());
        QVERIFY(m_login->testLoginEnabled());
    }
}

void tst_SiteLogin::overlappingRunReturnsAtOnce()
{
    m_browser->setPage(LoginUrl,
        page(QStringLiteral("<form method='post' action='/session'><input name='user'>"
                            "<input name='pass'><input type='submit'></form>")));
    m_login->run(false);
    m_login->run(true); // "测试登录" is disabled: this one returns
    QVERIFY(m_dialogs.messages.isEmpty());
    const SiteLogin::Outcome outcome = finishRun();
    QVERIFY(outcome.submitted);
    QCOMPARE(m_browser->navigations().size(), 2);

    // Once enabled again, the next call runs.
    m_login->run(false);
    QVERIFY(finishRun().submitted);
    QCOMPARE(m_browser->navigations().size(), 4);
}

void tst_SiteLogin::pageThatNeverLoads()
{
    m_browser->setAutoFinish(false);
    m_login->run(true);
    QVERIFY(!m_login->browseEnabled());

    // Nothing happens before the 10 s page wait is over...
    QTest::qWait(5);
    m_clock.advance(9.5);
    QTest::qWait(5);
    QVERIFY(!m_login->browseEnabled());

    // ...then the page is given up without a message, and after the final
    // 5 s "测试登录" is enabled again.
    QSignalSpy finished(m_login.get(), &SiteLogin::finished);
    m_clock.advance(0.5);
    QTRY_VERIFY(m_login->browseEnabled());
    m_clock.advance(4.5);
    QTest::qWait(5);
    QVERIFY(finished.isEmpty());
    QVERIFY(!m_login->testLoginEnabled());
    m_clock.advance(0.5);
    QTRY_COMPARE(finished.count(), 1);
    const auto outcome = finished.first().first().value<SiteLogin::Outcome>();
    QVERIFY(!outcome.pageLoaded);
    QVERIFY(!outcome.submitted);
    QVERIFY(m_login->testLoginEnabled());
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(m_browser->snapshotsTaken(), 0);
}

void tst_SiteLogin::whereTheLoginGoes_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("pageUrl"); // where the login address ends after redirects
    QTest::addColumn<bool>("showMessages");
    QTest::addColumn<QStringList>("answers"); // "yes" or "no" for each question
    QTest::addColumn<QStringList>("allowed");
    QTest::addColumn<QString>("sentTo"); // empty: nothing filled in, nothing sent
    QTest::addColumn<QString>("shown"); // message box (with messages) or status text

    const QString post = QStringLiteral("<form method='post' action='%1'>") + Fields
        + QStringLiteral("<input type='submit'></form>");
    const QString elsewhere = post.arg(QStringLiteral("http://sso.test/session"));
    const QString silentStop
        = QStringLiteral("登录表单在另一个网站（sso.test）上，自动登录没有发送帐号和密码。");
    const QString question = SiteLogin::otherHostQuestion(QStringLiteral("sso.test"));
    const QStringList none;

    QTest::newRow("form sent to another host, silent")
        << elsewhere << LoginUrl << false << none << none << QString() << silentStop;
    QTest::newRow("form sent to another host, asked, No")
        << elsewhere << LoginUrl << true << QStringList { QStringLiteral("no") } << none
        << QString() << question;
    QTest::newRow("form sent to another host, asked, Yes")
        << elsewhere << LoginUrl << true << QStringList { QStringLiteral("yes") } << none
        << QStringLiteral("http://sso.test/session") << question;
    QTest::newRow("host agreed to beforehand")
        << elsewhere << LoginUrl << false << none << QStringList { QStringLiteral("SSO.test.") }
        << QStringLiteral("http://sso.test/session") << QString();
    QTest::newRow("page redirected to another host")
        << post.arg(QStringLiteral("/session")) << QStringLiteral("http://sso.test/login") << false
        << none << none << QString() << silentStop;
    QTest::newRow("page on another host, a field without a button")
        << QStringLiteral("<form method='post'><input name='user'></form>")
        << QStringLiteral("http://sso.test/login") << false << none << none << QString()
        << silentStop;
    QTest::newRow("the button's formaction names another host")
        << QStringLiteral("<form method='post' action='/session'>") + Fields
            + QStringLiteral("<input type='submit' formaction='http://sso.test/x'></form>")
        << LoginUrl << false << none << none << QString() << silentStop;
    QTest::newRow("same host, other port and scheme")
        << post.arg(QStringLiteral("https://site.test:8443/session")) << LoginUrl << true << none
        << none << QStringLiteral("https://site.test:8443/session") << QString();
    QTest::newRow("same host in capitals")
        << post.arg(QStringLiteral("http://SITE.TEST/session")) << LoginUrl << false << none << none
        << QStringLiteral("http://site.test/session") << QString();

    const QString get = QStringLiteral("<form %1 action='/session'>") + Fields
        + QStringLiteral("<input type='submit' %2></form>");
    QTest::newRow("GET form, with messages") << get.arg(QString(), QString()) << LoginUrl << true
                                             << none << none << QString() << GetRefused;
    QTest::newRow("GET form, silent")
        << get.arg(QStringLiteral("method='GET'"), QString()) << LoginUrl << false << none << none
        << QString() << GetRefused;
    QTest::newRow("GET by the button's formmethod")
        << get.arg(QStringLiteral("method='post'"), QStringLiteral("formmethod='get'")) << LoginUrl
        << false << none << none << QString() << GetRefused;
    QTest::newRow("POST by the button's formmethod")
        << get.arg(QStringLiteral("method='get'"), QStringLiteral("formmethod='post'")) << LoginUrl
        << false << none << none << QStringLiteral("http://site.test/session") << QString();
    QTest::newRow("GET form on another host: no question")
        << get.arg(QString(), QString()) << QStringLiteral("http://sso.test/login") << true
        << QStringList { QStringLiteral("yes") } << none << QString() << GetRefused;
}

void tst_SiteLogin::whereTheLoginGoes()
{
    QFETCH(QString, form);
    QFETCH(QString, pageUrl);
    QFETCH(bool, showMessages);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, allowed);
    QFETCH(QString, sentTo);
    QFETCH(QString, shown);

    if (pageUrl != LoginUrl)
        m_browser->setRedirect(LoginUrl, pageUrl);
    m_browser->setPage(pageUrl, page(form));
    for (const QString &answer : std::as_const(answers)) {
        m_dialogs.answers.enqueue(
            answer == QLatin1String("yes") ? UserDialogs::Answer::Yes : UserDialogs::Answer::No);
    }
    m_login->options().allowedHosts = allowed;
    QSignalSpy status(m_login.get(), &SiteLogin::statusTitle);

    QVERIFY(m_login->run(showMessages));
    const SiteLogin::Outcome outcome = finishRun();
    QVERIFY(outcome.started);

    QStringList shownTexts;
    for (const FakeDialogs::Shown &message : std::as_const(m_dialogs.messages))
        shownTexts << message.text;
    for (const QList<QVariant> &text : std::as_const(status)) {
        if (text.first().toString() != QLatin1String("Log in"))
            shownTexts << text.first().toString();
    }
    QCOMPARE(shownTexts, shown.isEmpty() ? QStringList() : QStringList { shown });
    if (!showMessages)
        QVERIFY(m_dialogs.messages.isEmpty());

    QCOMPARE(outcome.submitted, !sentTo.isEmpty());
    if (!sentTo.isEmpty()) {
        const QUrl sent(m_browser->navigations().last());
        QCOMPARE(sent.adjusted(QUrl::RemoveQuery).toString(), sentTo);
        const QUrlQuery values(sent);
        QCOMPARE(values.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded), Password);
        QCOMPARE(outcome.refusal, SiteLogin::Outcome::Refusal::None);
        return;
    }
    // Not a letter went into the page: its scripts could send it anywhere.
    QCOMPARE(m_browser->navigations(), QStringList { LoginUrl });
    QCOMPARE(outcome.fieldsFilled, 0);
    const auto live = m_browser->livePage();
    QVERIFY(live);
    for (const Element input : live->elementsByTagName(QStringLiteral("INPUT")))
        QCOMPARE(live->value(input), QString());
    QCOMPARE(outcome.refusal,
        shown == GetRefused ? SiteLogin::Outcome::Refusal::PasswordInAddress
                            : SiteLogin::Outcome::Refusal::OtherHost);
    if (outcome.refusal == SiteLogin::Outcome::Refusal::OtherHost)
        QCOMPARE(outcome.otherHost, QStringLiteral("sso.test"));
}

void tst_SiteLogin::autoLoginCheckedByUser_data()
{
    QTest::addColumn<bool>("ipLogin");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty address")
        << false << QStringLiteral(" ") << QStringLiteral("pw") << NoAddress;
    QTest::newRow("account login, no password") << false << LoginUrl << QString() << NoAccount;
    QTest::newRow("account login, complete")
        << false << LoginUrl << QStringLiteral("pw") << QString();
    QTest::newRow("a password of spaces is a password")
        << false << LoginUrl << QStringLiteral("   ") << QString();
    QTest::newRow("ip login needs no account") << true << LoginUrl << QString() << QString();
}

void tst_SiteLogin::autoLoginCheckedByUser()
{
    QFETCH(bool, ipLogin);
    QFETCH(QString, address);
    QFETCH(QString, password);
    QFETCH(QString, message);

    SiteLoginOptions &options = m_login->options();
    options.ipLogin = ipLogin;
    options.address = address;
    options.password = password;

    const bool checked = m_login->setAutoLoginByUser(true);
    QCOMPARE(checked, message.isEmpty());
    QCOMPARE(options.autoLogin, checked);
    if (message.isEmpty()) {
        QVERIFY(m_dialogs.messages.isEmpty());
    } else {
        QCOMPARE(m_dialogs.messages.size(), 1);
        QCOMPARE(m_dialogs.messages.first().text, message);
    }
    // Unchecking needs no test.
    m_dialogs.messages.clear();
    QVERIFY(!m_login->setAutoLoginByUser(false));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_browser->navigations().isEmpty());
}

void tst_SiteLogin::browseWaitsForThePage()
{
    m_browser->setAutoFinish(false);
    QSignalSpy done(m_login.get(), &SiteLogin::browseFinished);
    m_login->browse();
    QCOMPARE(m_browser->navigations(), QStringList { LoginUrl });
    QVERIFY(m_login->LoginPageLoading());
    QVERIFY(!m_login->browseEnabled());

    m_clock.advance(3);
    m_browser->finishLoad();
    QTRY_COMPARE(done.count(), 1);
    QVERIFY(m_login->browseEnabled());
    QVERIFY(!m_login->LoginPageLoading());

    // An empty address does nothing.
    m_login->options().address = QStringLiteral("  ");
    m_login->browse();
    QCOMPARE(m_browser->navigations().size(), 1);
}

void tst_SiteLogin::hidingKeepsARefreshedPage()
{
    m_login->browse();
    QTRY_VERIFY(!m_login->LoginPageLoading());

    // Without the refresh, hiding the panel drops the page.
    m_login->hidePanel();
    QCOMPARE(m_browser->navigations().last(), QStringLiteral("about:blank"));
    QVERIFY(!m_login->refreshActive());

    m_login->browse();
    QTRY_VERIFY(!m_login->LoginPageLoading());
    m_login->setAutoRefresh(true);
    QVERIFY(m_login->refreshActive());
    m_login->hidePanel();
    QCOMPARE(m_browser->navigations(),
        (QStringList { LoginUrl, QStringLiteral("about:blank"), LoginUrl }));

    // Timer2 reloads the page once a minute on the clock.
    m_clock.advance(59);
    QTest::qWait(10);
    QCOMPARE(m_browser->navigations().size(), 3);
    m_clock.advance(1);
    QTRY_COMPARE(m_browser->navigations().size(), 4);
    QCOMPARE(m_browser->navigations().last(), LoginUrl);
    QTest::qWait(10);
    QCOMPARE(m_browser->navigations().size(), 4);
    m_clock.advance(60);
    QTRY_COMPARE(m_browser->navigations().size(), 5);

    m_login->setAutoRefresh(false);
    m_clock.advance(120);
    QTest::qWait(10);
    QCOMPARE(m_browser->navigations().size(), 5);

    // Closing the window stops the refresh for good.
    m_login->setAutoRefresh(true);
    m_login->shutDown();
    QVERIFY(!m_login->refreshActive());
}

void tst_SiteLogin::showPanelOpensTheSelectedRow()
{
    const QString key = QStringLiteral("http://site.test/a.pdf|http://mirror.test/a.pdf");
    m_login->showPanel(QString());
    QVERIFY(m_browser->navigations().isEmpty());
    m_login->showPanel(key);
    QCOMPARE(m_browser->navigations(), QStringList { QStringLiteral("http://site.test/a.pdf") });

    // With an automatic option on the panel keeps its page.
    m_login->options().autoRefresh = true;
    m_login->showPanel(key);
    m_login->options().autoRefresh = false;
    m_login->options().autoLogin = true;
    m_login->showPanel(key);
    QCOMPARE(m_browser->navigations().size(), 1);
}

void tst_SiteLogin::titlesReachTheStatusBar()
{
    QSignalSpy titles(m_login.get(), &SiteLogin::statusTitle);
    m_browser->setPage(QStringLiteral("about:blank"),
        QStringLiteral("<html><head><title> About:Blank </title></head></html>"));
    m_login->hidePanel();
    m_login->browse();
    QTRY_VERIFY(!m_login->LoginPageLoading());
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.first().first().toString(), QStringLiteral("Log in"));
}

QTEST_GUILESS_MAIN(tst_SiteLogin)
#include "tst_sitelogin.moc"
