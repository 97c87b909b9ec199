#include "CliDownload.h"

#include "CliCookies.h"
#include "ConsoleDialogs.h"
#include "ReportFormat.h"
#include "StandardStreams.h"
#include "common/ControlCharacters.h"
#include "common/Doi.h"
#include "common/DownloadPart.h"
#include "common/FileNameHelpers.h"
#include "common/TextMode.h"
#include "download/DownloadCitations.h"
#include "download/DownloadScheduler.h"
#include "download/DownloadSession.h"
#include "download/InputLines.h"
#include "download/MultiConnectionTransfer.h"
#include "download/SingleConnectionTransfer.h"
#include "platform/AppPaths.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/SoundPlayer.h"
#include "platform/TerminationSignals.h"
#include "search/SiteOrigin.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

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
      "                              [--report FILE|-] [--format tsv|ris|bibtex|csv]\n"
      "                              [--input FILE|-] [--site URL]\n"
      "                              [--cookies FILE | --no-cookies] [URL ...]\n";

namespace {

const char *const kDownloadHelp
    = "\n"
      "Downloads every address into a folder and writes one report line per\n"
      "address. An address may be followed by a tab and a title for the file name,\n"
      "and that by a tab and the http(s) page it was found on (its Referer).\n"
      "An address may also be a DOI (10.1007/..., doi:10.1007/..., or\n"
      "https://doi.org/10.1007/...): it is fetched as the PDF of that DOI on the\n"
      "literature site, named after the DOI unless a title follows.\n"
      "\n"
      "  --method 1|2          1: one file at a time over one connection;\n"
      "                        2: several connections\n"
      "  --connections N       connections for method 2, 1 to 6\n"
      "  --interval S          seconds between two files, 0 to 600\n"
      "  --policy P            when the file exists: skip, overwrite or rename\n"
      "  --max-size MB         largest file method 1 fetches\n"
      "  --proxy HOST:PORT     HTTP proxy for method 1\n"
      "  --to DIR              folder to save into (created when missing)\n"
      "  --referer URL         Referer sent with every request\n"
      "  --report FILE|-       where the report goes; - is standard output\n"
      "  --format F            the report: tsv (one line per row, the default),\n"
      "                        ris, bibtex or csv (citations of the rows)\n"
      "  --input FILE|-        read addresses from a file or standard input\n"
      "  --site URL            the literature site DOIs are fetched from (by\n"
      "                        default the stored home page)\n"
      "  --cookies FILE        send the cookies of a Netscape cookie file (at most\n"
      "                        64 MiB, lines of at most 64 KiB)\n"
      "  --no-cookies          send no cookies (by default the login cookies of\n"
      "                        the program's browser are sent)\n"
      "  -h, --help            show this text\n"
      "\n"
      "Exit status: 0 every row completed, 1 a row failed or the report could not\n"
      "be written, 2 bad usage, 130/143 stopped by SIGINT/SIGTERM.\n";

// Largest --max-size whose byte count still fits a 64-bit size.
constexpr double kMaxSizeLimitMB = 8796093022207.0;

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
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) // a byte order mark some editors write
        text.remove(0, 1);
    lines->append(text.split(QLatin1Char('\n')));
    return true;
}

// HOST:PORT with a usable proxy address and port (isUsableProxy).
bool splitProxy(const QString &proxy, QString *host, QString *port)
{
    const qsizetype colon = proxy.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    *host = proxy.left(colon);
    *port = proxy.mid(colon + 1);
    return isUsableProxy(*host, *port);
}

// The error of a --to folder that can never be used, or empty: the path, or
// the nearest part of it that exists, must be a folder.
QString folderProblem(const QString &folder)
{
    QString path = folder;
    while (!path.isEmpty()) {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink()) {
            if (info.isDir())
                return {};
            return path == folder
                ? QStringLiteral("--to names a file, not a folder: %1").arg(folder)
                : QStringLiteral("--to: %1 is not a folder").arg(path);
        }
        const QString parent = info.absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return {};
}

// The error of a --report target whose folder is missing, or empty.
QString reportTargetProblem(const QString &target)
{
    const QFileInfo info(target);
    if (info.isDir())
        return QStringLiteral("--report names a folder: %1").arg(target);
    if (!QFileInfo(info.absolutePath()).isDir())
        return QStringLiteral("--report: no folder %1").arg(info.absolutePath());
    return {};
}

// Why a row failed: the transfer's reason, else the status texts of its
// columns.
QString failureText(const DownloadItem &item)
{
    if (!item.FailureReason.isEmpty())
        return item.FailureReason;
    for (const QString &text : { item.Percent, item.Size }) {
        bool number = false;
        text.toLongLong(&number);
        if (!text.isEmpty() && !number && !text.endsWith(QLatin1Char('%')))
            return text;
    }
    return StatusText::DownloadFailed;
}

void printFailedRows(const DownloadList &list)
{
    for (int row = 0; row < list.size(); ++row) {
        const DownloadItem &item = list.at(row);
        if (item.StatusCode != Status::Failed)
            continue;
        const QString line = QStringLiteral("quillmoor-cli download: failed: %1: %2\n")
                                 .arg(WithoutCredentials(DownloadList::选择url(item.Key)),
                                     RemoveLineBreaks(failureText(item)));
        std::fputs(line.toLocal8Bit().constData(), stderr);
    }
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

// Writes the report; false with *error set when it could not be written
// whole.
bool writeReport(const QString &target, const QByteArray &bytes, QString *error)
{
    if (target.isEmpty() || target == QStringLiteral("-")) {
        errno = 0;
        const bool written = !standardOutputWasClosed()
            && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout)
                == size_t(bytes.size())
            && std::fflush(stdout) == 0;
        if (!written) {
            const int code = standardOutputWasClosed() ? EBADF : errno;
            *error
                = QStringLiteral("standard output: ") + QString::fromLocal8Bit(std::strerror(code));
        }
        return written;
    }
    // A regular file is replaced whole; a device or pipe is written to.
    const QFileInfo info(target);
    if (info.exists() && !info.isFile()) {
        QFile out(target);
        if (out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            && out.write(bytes) == bytes.size() && out.flush())
            return true;
        *error = target + QStringLiteral(": ") + out.errorString();
        return false;
    }
    QSaveFile out(target);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    *error = target + QStringLiteral(": ") + out.errorString();
    return false;
}

} // namespace

bool writeDownloadReport(const QString &target, const DownloadList &list, QString *error)
{
    return writeReport(target, reportText(list).toUtf8(), error);
}

int runDownloadCommand(
    const QStringList &arguments, const QList<DownloadItem> &handedOff, DownloadCommandMode mode)
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
    const QCommandLineOption formatOpt(QStringLiteral("format"), {}, QStringLiteral("F"));
    const QCommandLineOption siteOpt(QStringLiteral("site"), {}, QStringLiteral("URL"));
    const QCommandLineOption helpOpt(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    parser.addOptions({ methodOpt, connectionsOpt, intervalOpt, policyOpt, maxSizeOpt, proxyOpt,
        toOpt, refererOpt, reportOpt, inputOpt, formatOpt, siteOpt, helpOpt });
    const CookieOptions cookieOptions;
    cookieOptions.addTo(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOpt)) {
        std::fputs(kDownloadUsage, stdout);
        std::fputs(kDownloadHelp, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

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
        // nan and inf read as numbers too; neither is a size.
        if (!ok || !std::isfinite(mb) || mb < 0 || mb > kMaxSizeLimitMB)
            return usageError(QStringLiteral("--max-size must be a number of megabytes, 0 to %1")
                                  .arg(QString::number(kMaxSizeLimitMB, 'f', 0)));
        options.maxFileSizeMB = mb;
    }
    if (parser.isSet(proxyOpt)) {
        QString host;
        QString port;
        if (!splitProxy(parser.value(proxyOpt), &host, &port))
            return usageError(
                QStringLiteral("--proxy must be HOST:PORT with a port of 1 to 65535"));
        options.proxyEnabled = true;
        options.proxyAddress = host;
        options.proxyPort = port;
    }
    const QString referer = parser.value(refererOpt);
    if (HasControlCharacter(referer))
        return usageError(QStringLiteral("--referer must not hold control characters"));

    QString folder = parser.isSet(toOpt) ? parser.value(toOpt) : QDir::currentPath();
    if (folder.isEmpty())
        return usageError(QStringLiteral("--to needs a folder"));
    folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    if (const QString problem = folderProblem(folder); !problem.isEmpty())
        return usageError(problem);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    ReportFormat format = ReportFormat::Tsv;
    if (parser.isSet(formatOpt)) {
        const std::optional<ReportFormat> named = ReportFormatFromName(parser.value(formatOpt));
        if (!named)
            return usageError(kReportFormatError);
        format = *named;
    }
    // DOI lines become PDF addresses on this site.
    QUrl site;
    if (parser.isSet(siteOpt)) {
        site = SiteOriginOf(parser.value(siteOpt));
        if (site.isEmpty())
            return usageError(QStringLiteral("--site must be an http or https address"));
    } else {
        site = StoredSiteOrigin();
    }

    const QString reportTarget = parser.value(reportOpt);
    if (!reportTarget.isEmpty() && reportTarget != QStringLiteral("-")) {
        if (const QString problem = reportTargetProblem(reportTarget); !problem.isEmpty())
            return usageError(problem);
    }

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
    CookieJar ownJar;
    QString cookieProblem;
    CookieJar *jar = cookieOptions.select(parser, ownJar, &cookieProblem);
    if (!jar)
        return usageError(cookieProblem);
    if (mode == DownloadCommandMode::CheckOptions)
        return 0;
    DownloadSession session(clock, dialogs, paths, player, jar);
    session.options() = options;
    // Parts of cut downloads that nobody continued within a week go.
    RemoveStaleParts(folder, clock);
    DownloadList &list = session.list();

    QHash<QString, DownloadItem> handedOffRows;
    for (const DownloadItem &item : handedOff)
        handedOffRows.insert(item.Key, item);
    QSet<QString> dois;
    for (const QString &raw : std::as_const(lines)) {
        const std::optional<InputLine> line = ParseInputLine(raw);
        if (!line)
            continue;
        DownloadItem row = DownloadItemForInputLine(*line, folder, referer, site);
        if (const auto known = handedOffRows.constFind(row.Key); known != handedOffRows.cend()) {
            if (!known->Doi.isEmpty())
                row.Doi = known->Doi;
            row.Kind = known->Kind;
        }
        // A paper is fetched once, however its DOI is written.
        if (!row.Doi.isEmpty() && dois.contains(DoiKey(row.Doi)))
            continue;
        if (!list.addItem(row.Key, row.Name, row.Type, row.Folder, row.Referer))
            continue;
        if (!row.Doi.isEmpty())
            dois.insert(DoiKey(row.Doi));
        list.update(list.size() - 1, [&row](DownloadItem &added) {
            added.Doi = row.Doi;
            added.Kind = row.Kind;
        });
    }
    if (list.size() == 0)
        return usageError(QStringLiteral("no addresses given"));
    if (parser.isSet(proxyOpt) && options.method == 2)
        std::fputs("quillmoor-cli download: note: the proxy serves method 1 only; "
                   "method 2 connects directly\n",
            stderr);

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
    // A busy server is asked again later; the run goes on meanwhile and ends
    // only once the waiting rows are done.
    QObject::connect(&session, &DownloadSession::retryNotice, &session,
        [tty](const QString &address, const QString &text) {
            const QString line = QStringLiteral("quillmoor-cli download: %1: %2\n")
                                     .arg(address, RemoveLineBreaks(text));
            std::fprintf(stderr, "%s%s", tty ? "\r\033[K" : "", line.toLocal8Bit().constData());
        });
    DownloadScheduler &scheduler = session.scheduler();
    QObject::connect(
        &scheduler, &DownloadScheduler::listFinished, &session, [] { QCoreApplication::exit(0); });
    // The watch pass notices the end within a second; a run that is done
    // need not wait for it.
    // One look queued at a time, however many transfers end meanwhile.
    bool endCheckQueued = false;
    const auto quitWhenDone = [&session, &list, &endCheckQueued] {
        if (std::exchange(endCheckQueued, true))
            return;
        QTimer::singleShot(0, &session, [&session, &list, &endCheckQueued] {
            endCheckQueued = false;
            if (list.检测是否下载列表完毕() && !session.single().isRunning()
                && session.multi().instanceCount() == 0)
                QCoreApplication::exit(0);
        });
    };
    QObject::connect(
        &session.single(), &SingleConnectionTransfer::transferEnded, &session, quitWhenDone);
    QObject::connect(
        &session.multi(), &MultiConnectionTransfer::connectionEnded, &session, quitWhenDone);

    // SIGINT and SIGTERM stop as "停止下载" does; the report of what was done
    // is still written.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &session, [&](int number) {
        if (scheduler.isRunning() || scheduler.downloadsActive()) {
            const QString reason = QStringLiteral("stopped by signal %1").arg(number);
            QList<int> running;
            for (int row = 0; row < list.size(); ++row) {
                if (list.at(row).StatusCode == Status::Downloading)
                    running.append(row);
            }
            scheduler.stop();
            for (const int row : std::as_const(running)) {
                list.update(row, [&](DownloadItem &item) {
                    if (item.StatusCode == Status::Failed && item.FailureReason.isEmpty())
                        item.FailureReason = reason;
                });
            }
        }
        QCoreApplication::exit(termination.exitStatus());
    });

    scheduler.open();
    // The interval counts from the opening; the first file need not wait.
    session.state().LastTransferEnd = clock.nowSeconds() - options.intervalSeconds - 1;
    scheduler.start();
    scheduler.schedulingPass();
    QCoreApplication::exec();
    // Transfers closed by a stop finish their clean-up before the report.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (tty)
        std::fputs("\n", stderr);

    printFailedRows(list);
    QString error;
    const QByteArray report = format == ReportFormat::Tsv
        ? reportText(list).toUtf8()
        : CitationBytes(CitationRowsOf(list), CitationFormatOf(format));
    const bool reportWritten = writeReport(reportTarget, report, &error);
    if (!reportWritten)
        std::fprintf(stderr, "quillmoor-cli download: cannot write the report: %s\n",
            error.toLocal8Bit().constData());

    if (termination.caught() != 0)
        return termination.exitStatus();
    if (!reportWritten)
        return 1;
    for (int row = 0; row < list.size(); ++row) {
        if (list.at(row).StatusCode != Status::Completed)
            return 1;
    }
    return 0;
}
