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
      "line of standard input. An IP login clicks the page's \"submitip\" button.\n"
      "\n"
      "  --user NAME           account for an account login\n"
      "  --ip                  IP login instead of an account login\n"
      "  -h, --help            show this text\n"
      "\n"
      "Exit status: 0 a form was submitted or the IP button clicked, 1 not (or the\n"
      "program's browser is in use by the desktop program), 2 bad usage or missing\n"
      "login data.\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "quillmoor-cli login: %s\n", message.toLocal8Bit().constData());
    std::fputs(kLoginUsage, stderr);
    return 2;
}

// The first line of standard input, without its line end. On a terminal the
// typed characters are not echoed.
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
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
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
    const QCommandLineOption helpOpt(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    parser.addOptions({ ipOpt, userOpt, helpOpt });
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
    std::printf("page reached: %s\n", outcome.finalUrl.toLocal8Bit().constData());
    std::fflush(stdout);
    return outcome.submitted ? 0 : 1;
}
