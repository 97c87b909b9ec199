#include "CliHarvest.h"

#include "CliDownload.h"
#include "CommandUsage.h"
#include "ConsoleDialogs.h"
#include "HeadlessEngine.h"
#include "ReportFormat.h"
#include "StandardStreams.h"
#include "common/FileNameHelpers.h"
#include "download/DownloadList.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/TerminationSignals.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/ProgramProfile.h"
#include "platform/webengine/WebEngineBrowser.h"
#include "search/AnalysisCitations.h"
#include "search/AnalysisList.h"
#include "search/AnalysisRun.h"
#include "search/DownloadTarget.h"
#include "search/Harvester.h"
#include "search/NextPageLink.h"
#include "search/SaveFolderSource.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

struct HarvestOptions
{
    bool all = false;
    QString maxPage; // empty: no page limit
    double pauseSeconds = Harvester::DefaultPauseSeconds;
    QString report;
    QString format; // as given; empty: tsv
    bool download = false;
    bool originalNames = false;
    QStringList downloadArguments;
    QString url;
};

void printLine(const QString &text)
{
    std::fprintf(stderr, "quillmoor-cli harvest: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString &message)
{
    printLine(message);
    std::fputs(kHarvestUsage, stderr);
    return 2;
}

// Harvest options are taken wherever they stand; after --download every other
// option belongs to the download. The last argument is the address.
int parse(const QStringList &args, HarvestOptions *options)
{
    if (args.size() < 3)
        return usageError(QStringLiteral("no address given"));
    options->url = args.last();
    if (options->url.startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("the address must come last"));
    for (int i = 2; i < args.size() - 1; ++i) {
        const QString &arg = args.at(i);
        auto value = [&](QString *out) {
            if (i + 2 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        if (arg == QStringLiteral("--all")) {
            options->all = true;
        } else if (arg == QStringLiteral("--max-page")) {
            if (!value(&options->maxPage))
                return usageError(QStringLiteral("--max-page needs a number"));
            if (!parseNumericText(options->maxPage))
                return usageError(QStringLiteral("最大页码数必须是数字！"));
        } else if (arg == QStringLiteral("--pause")) {
            QString text;
            // A finite number: "nan" and "inf" are none.
            const std::optional<double> seconds
                = value(&text) ? parseNumericText(text) : std::nullopt;
            if (!seconds || *seconds < 0 || *seconds > 60)
                return usageError(QStringLiteral("--pause must be 0 to 60 seconds"));
            options->pauseSeconds = *seconds;
        } else if (arg == QStringLiteral("--report")) {
            if (!value(&options->report))
                return usageError(QStringLiteral("--report needs a file or -"));
        } else if (arg == QStringLiteral("--format") && !options->download) {
            if (!value(&options->format) || !ReportFormatFromName(options->format))
                return usageError(kReportFormatError);
        } else if (arg == QStringLiteral("--download")) {
            options->download = true;
        } else if (arg == QStringLiteral("--original-names") && options->download) {
            options->originalNames = true;
        } else if (options->download && arg == QStringLiteral("--input")) {
            return usageError(QStringLiteral("--input does not go with harvest: the rows are the "
                                             "entries taken"));
        } else if (options->download) {
            options->downloadArguments << arg;
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    if (!options->maxPage.isEmpty() && !options->all)
        return usageError(QStringLiteral("--max-page goes with --all"));
    return 0;
}

// Backslash, tab, CR and LF inside a field as \\, \t, \r, \n; every other
// control character as \xHH, so nothing in a field can steer a terminal.
QString escapeField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString reportLine(const AnalysisItem &item)
{
    // Addresses never show a user name or password.
    const QStringList fields { item.Title, item.Type, item.Status, item.Folder,
        WithoutCredentials(item.Link), WithoutCredentials(item.SourcePage) };
    QStringList escaped;
    for (const QString &field : fields)
        escaped << escapeField(field);
    return escaped.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

// The analysis list's report, written row by row as the entries are taken:
// a run that is killed keeps what it took.
class StreamedReport
{
public:
    // Opens the target (standard output for "-" or empty); false with
    // *error when it cannot be written.
    bool open(const QString &target, QString *error)
    {
        if (target.isEmpty() || target == QStringLiteral("-")) {
            if (standardOutputWasClosed()) {
                *error
                    = QStringLiteral("standard output: ") + QString::fromLocal8Bit(strerror(EBADF));
                return false;
            }
            m_name = QStringLiteral("standard output");
            return true;
        }
        m_name = target;
        m_file = std::make_unique<QFile>(target);
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            *error = target + QStringLiteral(": ") + m_file->errorString();
            return false;
        }
        return true;
    }

    // Writes the rows not written yet; false once a write failed.
    bool writeNewRows(const AnalysisList &list)
    {
        QByteArray bytes;
        for (; m_written < list.size(); ++m_written)
            bytes += reportLine(list.at(m_written)).toUtf8();
        return write(bytes);
    }

    // Writes the bytes after what was written; false once a write failed.
    bool write(const QByteArray &bytes)
    {
        if (!m_error.isEmpty())
            return false;
        if (bytes.isEmpty())
            return true;
        if (m_file) {
            if (m_file->write(bytes) != bytes.size())
                m_error = m_name + QStringLiteral(": ") + m_file->errorString();
        } else {
            errno = 0;
            if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout)
                    != size_t(bytes.size())
                || std::fflush(stdout) != 0)
                m_error = m_name + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        }
        return m_error.isEmpty();
    }

    QString error() const { return m_error; }

private:
    QString m_name;
    std::unique_ptr<QFile> m_file;
    int m_written = 0;
    QString m_error;
};

// The list report in the chosen format: tab-separated lines are streamed as
// the entries are taken; a citation file is written at the end, whole.
bool writeListReport(StreamedReport &report, const AnalysisList &list, const QString &formatName)
{
    const ReportFormat format = ReportFormatFromName(formatName).value_or(ReportFormat::Tsv);
    if (format == ReportFormat::Tsv)
        return report.writeNewRows(list);
    return report.write(CitationBytes(CitationRowsOf(list), CitationFormatOf(format)));
}

// The rows handed off go into a list of their own; the download command
// takes them from there.
class ListTarget final : public DownloadTarget
{
public:
    DownloadList &downloadList() override { return m_list; }
    void 显示下载窗口(bool) override { }

private:
    DownloadList m_list;
};

// The exit status of a run's end: 0 it got to its end, 1 it failed.
int exitStatusOf(HarvestEnd reason)
{
    return HarvestEndIsFailure(reason) ? 1 : 0;
}

} // namespace

int runHarvestCommand(int argc, char *argv[])
{
    PrepareHeadlessBrowserEngine();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmoor"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmoor"));

    HarvestOptions options;
    if (const int status = parse(QCoreApplication::arguments(), &options); status != 0)
        return status;

    // Everything that can be checked is checked before the crawl.
    StreamedReport report;
    if (options.download) {
        QStringList check { QCoreApplication::arguments().value(0) };
        check << options.downloadArguments;
        if (!options.report.isEmpty())
            check << QStringLiteral("--report") << options.report;
        if (const int status = runDownloadCommand(check, {}, DownloadCommandMode::CheckOptions))
            return status;
    } else {
        if (!options.report.isEmpty() && options.report != QStringLiteral("-")) {
            const QFileInfo info(options.report);
            if (info.isDir())
                return usageError(
                    QStringLiteral("--report names a folder: %1").arg(options.report));
            if (!QFileInfo(info.absolutePath()).isDir())
                return usageError(
                    QStringLiteral("--report: no folder %1").arg(info.absolutePath()));
        }
    }

    // One engine per profile folder: wait for another harvest or the desktop
    // program as "login" does.
    if (!ProgramProfile::claimStorage(5000)) {
        printLine(QStringLiteral("the program's browser profile is in use by another Quillmoor "
                                 "process; wait for it or close it first"));
        return 1;
    }
    // Opened (and so emptied) only now that the run is sure to start.
    if (!options.download) {
        QString error;
        if (!report.open(options.report, &error)) {
            printLine(QStringLiteral("cannot write the report: ") + error);
            return options.report.isEmpty() || options.report == QStringLiteral("-") ? 1 : 2;
        }
    }

    ConsoleDialogs dialogs;
    SaveFolderValues folders; // entries take no folder; the download decides it
    folders.UseOriginalFileName = options.originalNames;
    folders.AskOnExtract = true; // no save-folder dialog at the hand-off
    // Pages and downloads use the program's login cookies.
    ShareProfileCookies(*CookieJar::shared());
    auto browser = std::make_unique<WebEngineBrowser>();
    AnalysisList list;
    auto harvester
        = std::make_unique<Harvester>(*browser, list, folders, dialogs, SteadyClock::instance());
    harvester->setPauseSeconds(options.pauseSeconds);
    if (!options.maxPage.isEmpty()) {
        harvester->setPageLimitEnabled(true);
        harvester->setPageLimit(wholeNumberPart(*parseNumericText(options.maxPage)));
    }

    const bool tty = ::isatty(fileno(stderr));
    const bool streamed
        = ReportFormatFromName(options.format).value_or(ReportFormat::Tsv) == ReportFormat::Tsv;
    bool reportFailed = false;
    QObject::connect(harvester.get(), &Harvester::progressChanged, harvester.get(),
        [&](int pages, int entries, int emptyPages) {
            if (tty && pages > 0)
                std::fprintf(stderr, "\r\033[K%s",
                    HarvestProgressText(pages, entries, emptyPages).toLocal8Bit().constData());
            if (!options.download && streamed && !report.writeNewRows(list) && !reportFailed) {
                reportFailed = true;
                harvester->requestStop();
            }
        });
    QObject::connect(
        harvester.get(), &Harvester::retryWaiting, harvester.get(), [&](const QString &text) {
            if (tty)
                std::fprintf(stderr, "\r\033[K%s", escapeField(text).toLocal8Bit().constData());
        });

    // SIGINT and SIGTERM stop as "停止加入全部" does.
    int signalStatus = 0;
    HarvestEnd reason = HarvestEnd::Stopped;
    {
        TerminationSignals termination;
        QEventLoop loop;
        QObject::connect(&termination, &TerminationSignals::received, &loop, [&] {
            signalStatus = termination.exitStatus();
            harvester->requestStop();
        });
        QObject::connect(harvester.get(), &Harvester::runEnded, &loop, [&](HarvestEnd end) {
            reason = end;
            loop.quit();
        });
        harvester->startRun(
            options.url, options.all ? Harvester::Scope::AllPages : Harvester::Scope::ThisPage);
        if (harvester->isRunning())
            loop.exec();
        if (signalStatus == 0)
            signalStatus = termination.exitStatus();
    }
    if (tty)
        std::fputs("\r\033[K", stderr);

    const QString summary
        = escapeField(harvester->endMessage()) + QStringLiteral("。") + harvester->progressText();
    if (reason == HarvestEnd::PageRepeated)
        printLine(QStringLiteral("warning: ") + summary);
    else
        printLine(summary);

    // The browser and its processes go before anything else is done.
    harvester.reset();
    browser.reset();

    int status = signalStatus != 0 ? signalStatus : exitStatusOf(reason);
    if (!options.download) {
        if (reportFailed || !writeListReport(report, list, options.format)) {
            printLine(QStringLiteral("cannot write the report: ") + report.error());
            return signalStatus != 0 ? signalStatus : 1;
        }
        return status;
    }
    if (list.isEmpty()) {
        QString error;
        if (!writeDownloadReport(options.report, DownloadList(), &error)) {
            printLine(QStringLiteral("cannot write the report: ") + error);
            return signalStatus != 0 ? signalStatus : 1;
        }
        return status;
    }

    // "分析全部": every row to the download list, then the download command
    // over those rows with the download options.
    ListTarget target;
    AnalysisRun run(list, folders, dialogs, target);
    for (int row = 0; row < list.size(); ++row) {
        list.setStatus(row, AnalysisStatus::Analysing);
        run.HandOffItem(row);
    }
    // Stopped by a signal: nothing is downloaded; the report lists the rows
    // taken, waiting.
    if (signalStatus != 0) {
        QString error;
        if (!writeDownloadReport(options.report, target.downloadList(), &error))
            printLine(QStringLiteral("cannot write the report: ") + error);
        return signalStatus;
    }
    QTemporaryFile input;
    if (!input.open()) {
        printLine(QStringLiteral("cannot write a temporary file: ") + input.errorString());
        return 1;
    }
    QString lines;
    const DownloadList &rows = target.downloadList();
    for (int row = 0; row < rows.size(); ++row) {
        const DownloadItem &item = rows.at(row);
        // A tab would end the name early in the input lines; a name left
        // empty (a title such as "..") is the address's, or the page's
        // address would be read as the name and the Referer lost.
        QString name = item.Name;
        name.replace(QLatin1Char('\t'), QLatin1Char(' '));
        if (name.trimmed().isEmpty())
            name = CleanFileName(FileNameFromPath(DownloadList::选择url(item.Key), true));
        if (name.trimmed().isEmpty())
            name = QStringLiteral("download");
        lines += item.Key + QLatin1Char('\t') + name + QLatin1Char('\t') + item.Referer
            + QLatin1Char('\n');
    }
    if (input.write(lines.toUtf8()) < 0 || !input.flush()) {
        printLine(QStringLiteral("cannot write a temporary file: ") + input.errorString());
        return 1;
    }
    QStringList downloadArgs { QCoreApplication::arguments().value(0) };
    downloadArgs << options.downloadArguments << QStringLiteral("--input") << input.fileName();
    if (!options.report.isEmpty())
        downloadArgs << QStringLiteral("--report") << options.report;
    if (!options.format.isEmpty())
        downloadArgs << QStringLiteral("--format") << options.format;
    // The rows keep their DOI and kind in the download report.
    QList<DownloadItem> handedOff;
    for (int row = 0; row < rows.size(); ++row)
        handedOff.append(rows.at(row));
    const int downloaded = runDownloadCommand(downloadArgs, handedOff);
    return downloaded != 0 ? downloaded : status;
}
