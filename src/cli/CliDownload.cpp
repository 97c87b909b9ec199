#include "CliDownload.h"

#include "ConsoleDialogs.h"
#include "common/FileNameHelpers.h"
#include "common/TextMode.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/MultiConnectionTransfer.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/AppPaths.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/SoundPlayer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define QM_ISATTY _isatty
#define QM_FILENO _fileno
#else
#include <unistd.h>
#define QM_ISATTY isatty
#define QM_FILENO fileno
#endif

const char *const kDownloadUsage
    = "usage: quillmoor-cli download [--method 1|2] [--connections N] [--interval S]\n"
      "                              [--policy skip|overwrite|rename] [--max-size MB]\n"
      "                              [--proxy HOST:PORT] [--to DIR] [--referer URL]\n"
      "                              [--report FILE|-] [--input FILE|-] [URL ...]\n"
      "       input lines: URL, or URL TAB name, or URL TAB name TAB referring page\n";

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "quillmoor-cli download: %s\n", message.toLocal8Bit().constData());
    return 2;
}

bool readLines(const QString &source, QStringList *lines, QString *error)
{
    QFile file;
    if (source == QStringLiteral("-")) {
        if (!file.open(stdin, QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read standard input");
            return false;
        }
    } else {
        file.setFileName(source);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(source, file.errorString());
            return false;
        }
    }
    const QString text = QString::fromUtf8(file.readAll());
    for (const QString &line : text.split(QLatin1Char('\n')))
        lines->append(line);
    return true;
}

QString reportText(const DownloadList &list)
{
    QString out;
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        const QStringList fields { item.Name, item.Type, item.Size, item.Received, item.Percent,
            item.Folder, QString::number(item.StatusCode) };
        out += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

} // namespace

int runDownloadCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption methodOpt(QStringLiteral("method"), {}, QStringLiteral("1|2"));
    const QCommandLineOption connectionsOpt(QStringLiteral("connections"), {}, QStringLiteral("N"));
    const QCommandLineOption intervalOpt(QStringLiteral("interval"), {}, QStringLiteral("S"));
    const QCommandLineOption policyOpt(QStringLiteral("policy"), {}, QStringLiteral("policy"));
    const QCommandLineOption maxSizeOpt(QStringLiteral("max-size"), {}, QStringLiteral("MB"));
    const QCommandLineOption proxyOpt(QStringLiteral("proxy"), {}, QStringLiteral("HOST:PORT"));
    const QCommandLineOption toOpt(QStringLiteral("to"), {}, QStringLiteral("DIR"));
    const QCommandLineOption refererOpt(QStringLiteral("referer"), {}, QStringLiteral("URL"));
    const QCommandLineOption reportOpt(QStringLiteral("report"), {}, QStringLiteral("FILE"));
    const QCommandLineOption inputOpt(QStringLiteral("input"), {}, QStringLiteral("FILE"));
    parser.addOptions({ methodOpt, connectionsOpt, intervalOpt, policyOpt, maxSizeOpt, proxyOpt,
        toOpt, refererOpt, reportOpt, inputOpt });
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    // Defaults are the stored settings; options override them for this run
    // only and are never written back.
    DownloadOptions options;
    loadStoredDownloadOptions(options);
    bool ok = false;

    if (parser.isSet(methodOpt)) {
        const QString m = parser.value(methodOpt);
        if (m != QStringLiteral("1") && m != QStringLiteral("2"))
            return usageError(QStringLiteral("--method must be 1 or 2"));
        if (m.toInt() == 2 && options.method == 1)
            options.connections = storedConnectionCount();
        options.method = m.toInt();
    }
    if (parser.isSet(connectionsOpt)) {
        const int n = parser.value(connectionsOpt).toInt(&ok);
        if (!ok || n < 1 || n > 6)
            return usageError(QStringLiteral("--connections must be 1 to 6"));
        options.connections = n;
    }
    if (parser.isSet(intervalOpt)) {
        const int s = parser.value(intervalOpt).toInt(&ok);
        if (!ok || s < 0 || s > 600)
            return usageError(QStringLiteral("--interval must be 0 to 600 seconds"));
        options.intervalSeconds = s;
    }
    if (parser.isSet(policyOpt)) {
        const QString p = parser.value(policyOpt);
        if (p == QStringLiteral("skip"))
            options.policy = DuplicatePolicy::Skip;
        else if (p == QStringLiteral("overwrite"))
            options.policy = DuplicatePolicy::Overwrite;
        else if (p == QStringLiteral("rename"))
            options.policy = DuplicatePolicy::Rename;
        else
            return usageError(QStringLiteral("--policy must be skip, overwrite or rename"));
    }
    if (parser.isSet(maxSizeOpt)) {
        const double mb = parser.value(maxSizeOpt).toDouble(&ok);
        if (!ok || mb < 0)
            return usageError(QStringLiteral("--max-size must be a number of megabytes"));
        options.maxFileSizeMB = mb;
    }
    if (parser.isSet(proxyOpt)) {
        const QString proxy = parser.value(proxyOpt);
        const int colon = proxy.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == proxy.size() - 1)
            return usageError(QStringLiteral("--proxy must be HOST:PORT"));
        options.proxyEnabled = true;
        options.proxyAddress = proxy.left(colon);
        options.proxyPort = proxy.mid(colon + 1);
    }

    QString folder = parser.isSet(toOpt) ? parser.value(toOpt) : QDir::currentPath();
    folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    QStringList lines = parser.positionalArguments();
    if (parser.isSet(inputOpt)) {
        QString error;
        if (!readLines(parser.value(inputOpt), &lines, &error))
            return usageError(error);
    }

    SteadyClock &clock = SteadyClock::instance();
    ConsoleDialogs dialogs;
    SystemAppPaths paths;
    SilentSoundPlayer player;
    DownloadSession session(clock, dialogs, paths, player, CookieJar::shared());
    session.options() = options;
    DownloadList &list = session.list();

    const QString referer = parser.value(refererOpt);
    for (const QString &raw : std::as_const(lines)) {
        QString line = raw;
        line.remove(QLatin1Char('\r'));
        if (TrimSpaces(line).isEmpty())
            continue;
        const int tab = line.indexOf(QLatin1Char('\t'));
        const QString key = TrimSpaces(tab < 0 ? line : line.left(tab));
        QString title = tab < 0 ? QString() : TrimSpaces(line.mid(tab + 1));
        // A third field is the row's own referring page.
        QString rowReferer = referer;
        if (const int second = title.indexOf(QLatin1Char('\t')); second >= 0) {
            rowReferer = TrimSpaces(title.mid(second + 1));
            title = TrimSpaces(title.left(second));
        }
        const QString url = DownloadList::选择url(key);
        const QString type = UrlFileNameAndExtension(url);
        QString name = CleanFileName(title.isEmpty() ? FileNameFromPath(url, true) : title);
        if (name.isEmpty())
            name = QStringLiteral("download");
        list.addItem(key, name, type, folder, rowReferer);
    }
    if (list.size() == 0)
        return usageError(QStringLiteral("no addresses given"));

    const bool tty = QM_ISATTY(QM_FILENO(stderr));
    QString current;
    QObject::connect(
        &session, &DownloadSession::panelText, &session, [&](int panel, const QString &text) {
            if (panel == 2)
                current = text;
            if (tty && panel == 4)
                std::fprintf(stderr, "\r\033[K%s  %s", text.toLocal8Bit().constData(),
                    current.toLocal8Bit().constData());
        });
    DownloadScheduler &scheduler = session.scheduler();
    QObject::connect(
        &scheduler, &DownloadScheduler::listFinished, &session, [] { QCoreApplication::exit(0); });
    // The watch pass notices the end within a second; a run that is done
    // need not wait for it.
    const auto quitWhenDone = [&session, &list] {
        QTimer::singleShot(0, &session, [&session, &list] {
            if (list.检测是否下载列表完毕() && !session.single().isRunning()
                && session.multi().instanceCount() == 0)
                QCoreApplication::exit(0);
        });
    };
    QObject::connect(
        &session.single(), &SingleConnectionTransfer::transferEnded, &session, quitWhenDone);
    QObject::connect(
        &session.multi(), &MultiConnectionTransfer::connectionEnded, &session, quitWhenDone);
    scheduler.open();
    // The interval counts from the opening; the first file need not wait.
    session.state().LastTransferEnd = clock.nowSeconds() - options.intervalSeconds - 1;
    scheduler.start();
    scheduler.schedulingPass();
    QCoreApplication::exec();
    if (tty)
        std::fputs("\n", stderr);

    const QString report = reportText(list);
    const QString reportTarget = parser.value(reportOpt);
    if (reportTarget.isEmpty() || reportTarget == QStringLiteral("-")) {
        // Without --report the report goes to standard output as well.
        const QByteArray bytes = report.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    } else {
        // A regular file is replaced whole; a device or pipe is written to.
        const QFileInfo info(reportTarget);
        bool written = false;
        if (info.exists() && !info.isFile()) {
            QFile out(reportTarget);
            written = out.open(QIODevice::WriteOnly) && out.write(report.toUtf8()) >= 0;
        } else {
            QSaveFile out(reportTarget);
            written
                = out.open(QIODevice::WriteOnly) && out.write(report.toUtf8()) >= 0 && out.commit();
        }
        if (!written)
            std::fprintf(stderr, "quillmoor-cli download: cannot write the report to %s\n",
                reportTarget.toLocal8Bit().constData());
    }

    for (int row = 0; row < list.size(); ++row) {
        if (list.at(row).StatusCode != Status::Completed)
            return 1;
    }
    return 0;
}
