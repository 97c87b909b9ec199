#include "CliLogin.h"

#include "CommandUsage.h"
#include "ConsoleDialogs.h"
#include "HeadlessEngine.h"
#include "download/SiteLogin.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineBrowser.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QUrl>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

const char *const kLoginHelp
    = "\n"
      "Opens the login page in the program's browser and logs in there, as the\n"
      "download window's \"测试登录\" does; the login then holds for the desktop\n"
      "program and for \"download\". An account login fills the page's user and\n"
      "password fields and submits the form; the password is read from the first\n"
      "line of standard input, as typed (only the line end is removed). An IP login\n"
      "clicks the page's \"submitip\" button.\n"
      "\n"
      "The account and password go only to the host of URL. When the page with the\n"
      "form (after redirects) or the address the form is sent to is on another host,\n"
      "nothing is filled in unless --allow-host names that host. A form that would\n"
      "send the password in its address (method GET) is not submitted.\n"
      "\n"
      "  --user NAME           account for an account login\n"
      "  --allow-host HOST     also send the account and password to HOST (a single\n"
      "                        sign-on page); may be given more than once\n"
      "  --ip                  IP login instead of an account login\n"
      "  -h, --help            show this text\n"
      "\n"
      "Exit status: 0 a form was submitted or the IP button clicked, 1 not (the form\n"
      "is on another host, it would send the password with GET, or the program's\n"
      "browser is in use by the desktop program), 2 bad usage or missing login data.\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "quillmoor-cli login: %s\n", message.toLocal8Bit().constData());
    std::fputs(kLoginUsage, stderr);
    return 2;
}

// The first line of standard input without its line end, and nothing else
// removed: spaces may belong to a password. On a terminal the typed
// characters are not echoed.
QString readPassword()
{
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved {};
    if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        std::fputs("密码：", stderr);
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QFile in;
    QByteArray line;
    if (in.open(stdin, QIODevice::ReadOnly))
        line = in.readLine(4096);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    const QString password = QString::fromUtf8(line);
    line.fill(' ');
    return password;
}

} // namespace

int runLoginCommand(int argc, char *argv[])
{
    PrepareHeadlessBrowserEngine();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption ipOpt(QStringLiteral("ip"));
    const QCommandLineOption userOpt(QStringLiteral("user"), {}, QStringLiteral("NAME"));
    const QCommandLineOption allowOpt(QStringLiteral("allow-host"), {}, QStringLiteral("HOST"));
    const QCommandLineOption helpOpt(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    parser.addOptions({ ipOpt, userOpt, allowOpt, helpOpt });
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeAt(1); // "login"
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOpt)) {
        std::fputs(kLoginUsage, stdout);
        std::fputs(kLoginHelp, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (parser.positionalArguments().size() > 1)
        return usageError(QStringLiteral("give one address"));
    const bool ipLogin = parser.isSet(ipOpt);
    if (ipLogin && parser.isSet(userOpt))
        return usageError(QStringLiteral("--user does not go with --ip"));

    SiteLoginOptions values;
    values.address = parser.positionalArguments().value(0);
    values.ipLogin = ipLogin;
    values.account = parser.value(userOpt);
    for (const QString &host : parser.values(allowOpt)) {
        if (SiteLogin::hostOf(host).isEmpty())
            return usageError(QStringLiteral("--allow-host needs a host name"));
        values.allowedHosts.append(host);
    }
    // Nothing is read or started for a login that cannot run.
    // The password is asked for only when the rest is there.
    if (!ipLogin)
        values.password = QStringLiteral("?");
    QString missing = SiteLogin::missingDataMessage(values);
    if (missing.isEmpty() && !ipLogin) {
        values.password = readPassword();
        missing = SiteLogin::missingDataMessage(values);
    }
    if (!missing.isEmpty())
        return usageError(missing);

    if (!ProgramProfile::claimStorage(5000)) {
        std::fprintf(stderr,
            "quillmoor-cli login: the program's browser profile is in use by another Quillmoor "
            "process; log in there or close it first\n");
        return 1;
    }
    ShareProfileCookies(*CookieJar::shared());
    ConsoleDialogs dialogs;
    WebEngineBrowser browser;
    browser.setSilent(true);
    SiteLogin login(browser, SteadyClock::instance(), dialogs);
    login.options() = values;
    values.password.fill(QLatin1Char(' '));

    SiteLogin::Outcome outcome;
    QEventLoop loop;
    QObject::connect(&login, &SiteLogin::finished, &loop, [&](const SiteLogin::Outcome &result) {
        outcome = result;
        loop.quit();
    });
    if (login.run(false))
        loop.exec();
    login.options().password.fill(QLatin1Char(' '));

    std::printf("page loaded: %s\n", outcome.pageLoaded ? "yes" : "no");
    if (!ipLogin)
        std::printf("fields filled: %d\n", outcome.fieldsFilled);
    std::printf("%s: %s\n", ipLogin ? "submitip clicked" : "form submitted",
        outcome.submitted ? "yes" : "no");
    // An address's query may hold what a page put there; it is not shown.
    const QString reached
        = QUrl(outcome.finalUrl)
              .toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    std::printf("page reached: %s\n", reached.toLocal8Bit().constData());
    std::fflush(stdout);
    switch (outcome.refusal) {
    case SiteLogin::Outcome::Refusal::OtherHost: {
        const QByteArray host = outcome.otherHost.toLocal8Bit();
        std::fprintf(stderr,
            "quillmoor-cli login: the login form is on another host (%s), or is sent there; "
            "nothing was filled in. Give --allow-host %s to send the account and password "
            "there.\n",
            host.constData(), host.constData());
        break;
    }
    case SiteLogin::Outcome::Refusal::PasswordInAddress:
        std::fprintf(stderr,
            "quillmoor-cli login: the login form would send the password in its address "
            "(method GET), where the browser keeps it in its history and cache; it was not "
            "submitted.\n");
        break;
    case SiteLogin::Outcome::Refusal::None:
        break;
    }
    return outcome.submitted ? 0 : 1;
}
