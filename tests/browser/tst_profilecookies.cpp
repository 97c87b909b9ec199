#include "FakeDialogs.h"
#include "FixtureServer.h"
#include "LoginSite.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "download/SiteLogin.h"
#include "platform/BrowserSandbox.h"
#include "platform/Clock.h"
#include "platform/CookieFiles.h"
#include "platform/CookieJar.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// A login made in one run of the program holds for the next run and for the
// command line, which only reads the profile. The engine cannot start twice
// in one process, so each run is a child process of this test, with its data
// and settings folders in a temporary home:
//
//   tst_profilecookies --run-login URL [--ip]   logs in with SiteLogin
//   tst_profilecookies --run-cookies URL        prints the Cookie header the
//                                               program sends to URL
namespace {

const char kRunLogin[] = "--run-login";
const char kRunCookies[] = "--run-cookies";

int runLogin(const QString &url, bool ipLogin)
{
    CookieJar jar;
    ShareProfileCookies(jar);
    WebEngineBrowser browser;
    browser.setSilent(true);
    FakeDialogs dialogs;
    SiteLogin login(browser, SteadyClock::instance(), dialogs);
    login.options().address = url;
    login.options().ipLogin = ipLogin;
    login.options().account = LoginSite::Account;
    login.options().password = LoginSite::Password;
    int code = 1;
    QObject::connect(&login, &SiteLogin::finished, &login, [&](const SiteLogin::Outcome &o) {
        std::printf("filled %d submitted %d page %s\n", o.fieldsFilled, int(o.submitted),
            qPrintable(o.finalUrl));
        std::printf("jar %s\n", jar.cookieHeaderFor(QUrl(url)).constData());
        code = o.submitted ? 0 : 1;
        QCoreApplication::quit();
    });
    login.run(false);
    QCoreApplication::exec();
    return code;
}

int runCookies(const QString &url)
{
    CookieJar jar;
    const CookieFileResult read = ShareProfileCookies(jar);
    if (!read.error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(read.error));
    std::printf("%s\n", jar.cookieHeaderFor(QUrl(url)).constData());
    return read.error.isEmpty() ? 0 : 1;
}

} // namespace

class tst_ProfileCookies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void loginHoldsForTheNextRun_data();
    void loginHoldsForTheNextRun();
    void commandLineLoginNeedsItsData_data();
    void commandLineLoginNeedsItsData();
    void commandLineLoginWaitsForTheProgram();
    void commandLineLoginStaysOnItsHost_data();
    void commandLineLoginStaysOnItsHost();

private:
    // Runs a program (this one by default) with its home in `home`; answers
    // its standard output.
    QByteArray runChild(const QString &home, const QStringList &arguments, int *exitCode,
        const QString &program = QCoreApplication::applicationFilePath(),
        const QByteArray &input = {});

    // The files under `home` that hold `secret`; answers how many were read.
    static int searchHome(const QString &home, const QByteArray &secret, QStringList *holding);

    FixtureServer m_server;
    FixtureServer m_otherSite; // on 127.0.0.2: another host
};

void tst_ProfileCookies::initTestCase()
{
    QVERIFY(m_server.listen());
    LoginSite::install(m_server);
    QVERIFY(m_otherSite.listen(0, QStringLiteral("127.0.0.2")));
    LoginSite::install(m_otherSite);
}

int tst_ProfileCookies::searchHome(
    const QString &home, const QByteArray &secret, QStringList *holding)
{
    QDirIterator files(home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int searched = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue; // sockets, pipes
        ++searched;
        if (file.readAll().contains(secret))
            *holding << file.fileName();
    }
    return searched;
}

QByteArray tst_ProfileCookies::runChild(const QString &home, const QStringList &arguments,
    int *exitCode, const QString &program, const QByteArray &input)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QSignalSpy finished(&child, &QProcess::finished);
    child.start(program, arguments);
    if (!child.waitForStarted()) {
        *exitCode = -1;
        return {};
    }
    child.write(input);
    child.closeWriteChannel();
    // The server in this process answers the child: keep the event loop going.
    if (!finished.wait(60000)) {
        child.kill();
        child.waitForFinished();
        *exitCode = -1;
        return {};
    }
    *exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return child.readAllStandardOutput();
}

void tst_ProfileCookies::loginHoldsForTheNextRun_data()
{
    QTest::addColumn<bool>("commandLine");
    QTest::addColumn<bool>("ipLogin");
    QTest::addColumn<QString>("loginPath");
    QTest::newRow("program, account") << false << false << QStringLiteral("/members/login");
    QTest::newRow("program, ip") << false << true << QStringLiteral("/members/ip");
    QTest::newRow("command line, account") << true << false << QStringLiteral("/members/login");
    QTest::newRow("command line, ip") << true << true << QStringLiteral("/members/ip");
}

void tst_ProfileCookies::loginHoldsForTheNextRun()
{
    QFETCH(bool, commandLine);
    QFETCH(bool, ipLogin);
    QFETCH(QString, loginPath);
    const QString cli = QStringLiteral(QUILLMOOR_CLI_PATH);

    QTemporaryDir home;
    const QString pdf = m_server.urlText(QStringLiteral("/members/pdf/a.pdf"));
    const QByteArray session
        = QByteArray(LoginSite::CookieName) + '=' + QByteArray(LoginSite::CookieValue);

    // No cookie before the login.
    int code = 0;
    QCOMPARE(runChild(home.path(), { QString::fromLatin1(kRunCookies), pdf }, &code).trimmed(),
        QByteArray());
    QCOMPARE(code, 0);

    const QByteArray welcome = m_server.urlText(QStringLiteral("/members/welcome")).toUtf8();
    if (commandLine) {
        // The password comes on standard input, never on the command line.
        QStringList login { QStringLiteral("login"), m_server.urlText(loginPath) };
        login.insert(1, ipLogin ? QStringLiteral("--ip") : QStringLiteral("--user"));
        if (!ipLogin)
            login.insert(2, LoginSite::Account);
        const QByteArray said
            = runChild(home.path(), login, &code, cli, LoginSite::Password.toUtf8() + "\n");
        QVERIFY2(code == 0, said.constData());
        QVERIFY2(said.contains(ipLogin ? "submitip clicked: yes" : "form submitted: yes"),
            said.constData());
        QVERIFY2(said.contains(QByteArray("page reached: " + welcome)), said.constData());
    } else {
        QStringList login { QString::fromLatin1(kRunLogin), m_server.urlText(loginPath) };
        if (ipLogin)
            login << QStringLiteral("--ip");
        const QByteArray said = runChild(home.path(), login, &code);
        QVERIFY2(code == 0, said.constData());
        QVERIFY2(said.contains(QByteArray("submitted 1 page " + welcome)), said.constData());
        // The session cookie reached the transfers' jar while the program ran...
        QVERIFY2(said.contains(QByteArray("jar " + session)), said.constData());
    }

    // ...and a new run sends it, though it has no expiry.
    const QByteArray header
        = runChild(home.path(), { QString::fromLatin1(kRunCookies), pdf }, &code).trimmed();
    QCOMPARE(code, 0);
    QCOMPARE(header, session);

    // The command line reads it from the profile: the PDF comes, and without
    // cookies the login page.
    const QString to = home.filePath(QStringLiteral("dl"));
    for (const bool cookies : { true, false }) {
        QStringList download { QStringLiteral("download"), QStringLiteral("--method"),
            QStringLiteral("1"), QStringLiteral("--to"), to, pdf };
        if (!cookies)
            download.insert(1, QStringLiteral("--no-cookies"));
        const QByteArray report = runChild(home.path(), download, &code, cli);
        QVERIFY2(code == 0, report.constData());
    }
    QCOMPARE(readFile(to + QStringLiteral("/a.pdf")),
        LoginSite::pdf(QStringLiteral("/members/pdf/a.pdf")));
    QVERIFY(QFileInfo::exists(to + QStringLiteral("/a.htm")));

    // The password is nowhere under the settings and data folders.
    QStringList holding;
    QVERIFY(searchHome(home.path(), LoginSite::Password.toUtf8(), &holding) > 0);
    QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u' ')));
}

void tst_ProfileCookies::commandLineLoginNeedsItsData_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("message");

    const QString url = QStringLiteral("http://127.0.0.1:9/members/login");
    const QString user = QStringLiteral("--user");
    QTest::newRow("no address") << QStringList { user, QStringLiteral("a") } << QByteArray("pw\n")
                                << QStringLiteral("必须先设置登录网址！");
    QTest::newRow("blank address") << QStringList { QStringLiteral("--ip"), QStringLiteral("  ") }
                                   << QByteArray() << QStringLiteral("必须先设置登录网址！");
    QTest::newRow("no account") << QStringList { url } << QByteArray("pw\n")
                                << QStringLiteral("帐号登录,必须先设置登录帐号和登录密码！");
    QTest::newRow("no password") << QStringList { user, QStringLiteral("a"),
        url } << QByteArray("\n") << QStringLiteral("帐号登录,必须先设置登录帐号和登录密码！");
    QTest::newRow("account and ip")
        << QStringList { QStringLiteral("--ip"), user, QStringLiteral("a"), url } << QByteArray()
        << QStringLiteral("--user does not go with --ip");
}

void tst_ProfileCookies::commandLineLoginNeedsItsData()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, message);

    QTemporaryDir home;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    cli.setProcessEnvironment(env);
    cli.start(
        QStringLiteral(QUILLMOOR_CLI_PATH), QStringList { QStringLiteral("login") } + arguments);
    cli.write(input);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 2);
    QVERIFY2(
        QString::fromLocal8Bit(cli.readAllStandardError()).contains(message), qPrintable(message));
    // Nothing was started: no profile folder.
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("data/Quillmoor"))));
}

void tst_ProfileCookies::commandLineLoginWaitsForTheProgram()
{
    // This process stands for the desktop program holding the profile.
    m_server.clearLog();
    // Kept until the process ends, which lets go of the claim last.
    static QTemporaryDir home;
    ProgramProfile::setStorage(
        home.filePath(QStringLiteral("data/Quillmoor/Quillmoor/QtWebEngine/Quillmoor")),
        home.filePath(QStringLiteral("cache")));
    QVERIFY(ProgramProfile::claimStorage());

    int code = 0;
    const QByteArray said = runChild(home.path(),
        { QStringLiteral("login"), QStringLiteral("--ip"),
            m_server.urlText(QStringLiteral("/members/ip")) },
        &code, QStringLiteral(QUILLMOOR_CLI_PATH));
    QCOMPARE(code, 1);
    QVERIFY(m_server.requestCount("/members/ip") == 0);
    QVERIFY(said.isEmpty());
}

void tst_ProfileCookies::commandLineLoginStaysOnItsHost_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard error
    QTest::addColumn<bool>("sentToOtherSite");
    QTest::addColumn<QString>("reached"); // the printed page

    const QString otherLogin = m_otherSite.urlText(QStringLiteral("/members/login"));
    const QString redirect = m_server.urlText(QStringLiteral("/members/go?to="))
        + QString::fromLatin1(QUrl::toPercentEncoding(otherLogin));
    QTest::newRow("redirected to another host")
        << redirect << QStringList() << 1
        << QStringLiteral("the login form is on another host (127.0.0.2)") << false << otherLogin;
    QTest::newRow("redirected to a host allowed")
        << redirect
        << QStringList { QStringLiteral("--allow-host"), QStringLiteral("example.org"),
               QStringLiteral("--allow-host"), QStringLiteral("127.0.0.2") }
        << 0 << QString() << true << m_otherSite.urlText(QStringLiteral("/members/session"));
    // Nothing is sent, and the address printed drops its query.
    QTest::newRow("form sent with GET")
        << m_server.urlText(QStringLiteral("/members/get-login?from=mail")) << QStringList() << 1
        << QStringLiteral("(method GET)") << false
        << m_server.urlText(QStringLiteral("/members/get-login"));
}

void tst_ProfileCookies::commandLineLoginStaysOnItsHost()
{
    QFETCH(QString, address);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(bool, sentToOtherSite);
    QFETCH(QString, reached);

    // Spaces and a tab around it belong to the password; only the line end
    // of standard input goes.
    const QString password = QStringLiteral("  Spaced-Pass 4821\t");
    QTemporaryDir home;
    m_server.clearLog();
    m_otherSite.clearLog();
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    cli.setProcessEnvironment(env);
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(QStringLiteral(QUILLMOOR_CLI_PATH),
        QStringList { QStringLiteral("login"), QStringLiteral("--user"), LoginSite::Account }
            + options + QStringList { address });
    cli.write(password.toUtf8() + "\r\n");
    cli.closeWriteChannel();
    QVERIFY(finished.wait(60000));
    const QByteArray out = cli.readAllStandardOutput();
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(err));
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY2(out.contains(QByteArray("page reached: " + reached.toUtf8() + '\n')), out.constData());

    QCOMPARE(m_server.requestCount("/members/session"), 0);
    QCOMPARE(m_otherSite.requestCount("/members/session"), sentToOtherSite ? 1 : 0);
    for (const FixtureServer::Request &request : m_otherSite.requests()) {
        if (request.path == "/members/session") {
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(LoginSite::formValue(request, QStringLiteral("password")), password);
        }
    }
    // Not on the screen, not in the profile, the browser's cache or history.
    QVERIFY(!out.contains(password.trimmed().toUtf8()));
    QStringList holding;
    QVERIFY(searchHome(home.path(), password.trimmed().toUtf8(), &holding) > 0);
    QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u' ')));
}

int main(int argc, char *argv[])
{
    PrepareBrowserEngine();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1).startsWith(QLatin1String("--run-"))) {
        // A run of the program: its own folders, as the program finds them.
        QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
        QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));
        if (args.at(1) == QLatin1String(kRunLogin))
            return runLogin(args.at(2), args.contains(QStringLiteral("--ip")));
        return runCookies(args.at(2));
    }
    useTestLocations();
    tst_ProfileCookies test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_profilecookies.moc"
