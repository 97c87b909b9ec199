#include "CliHarvest.h"

#include "CliDownload.h"
#include "CommandUsage.h"
#include "ConsoleDialogs.h"
#include "HeadlessEngine.h"
#include "download/DownloadList.h"
#include "platform/Clock.h"
#include "platform/CookieJar.h"
#include "platform/webengine/ProfileCookies.h"
#include "platform/webengine/WebEngineBrowser.h"
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
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace {

struct HarvestOptions
{
    bool all = false;
    QString maxPage; // empty: no page limit
    double pauseSeconds = Harvester::DefaultPauseSeconds;
    QString report;
    bool download = false;
    bool originalNames = false;
    QStringList downloadArguments;
    QString url;
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "quillmoor-cli harvest: %s\n", message.toLocal8Bit().constData());
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
            bool ok = false;
            const double seconds = value(&text) ? text.toDouble(&ok) : 0.0;
            if (!ok || seconds < 0 || seconds > 60)
                return usageError(QStringLiteral("--pause must be 0 to 60 seconds"));
            options->pauseSeconds = seconds;
        } else if (arg == QStringLiteral("--report")) {
            if (!value(&options->report))
                return usageError(QStringLiteral("--report needs a file or -"));
        } else if (arg == QStringLiteral("--download")) {
            options->download = true;
        } else if (arg == QStringLiteral("--original-names") && options->download) {
            options->originalNames = true;
        } else if (options->download) {
            options->downloadArguments << arg;
        } else {
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }
    return 0;
}

// Backslash, tab, CR and LF inside a field.
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
        else
            out += c;
    }
    return out;
}

QString listReport(const AnalysisList &list)
{
    QString out;
    for (int row = 0; row < list.size(); ++row) {
        const AnalysisItem &item = list.at(row);
        const QStringList fields { item.Title, item.Type, item.Status, item.Folder, item.Link,
            item.SourcePage };
        QStringList escaped;
        for (const QString &field : fields)
            escaped << escapeField(field);
        out += escaped.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

bool writeReport(const QString &target, const QByteArray &bytes)
{
    if (target.isEmpty() || target == QStringLiteral("-")) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    const QFileInfo info(target);
    if (info.exists() && !info.isFile()) {
        QFile out(target);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) >= 0;
    }
    QSaveFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) >= 0 && out.commit();
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

// Waits in the event loop until `done` is called.
void waitFor(const std::function<void(std::function<void()>)> &start)
{
    QEventLoop loop;
    bool finished = false;
    start([&] {
        finished = true;
        loop.quit();
    });
    if (!finished)
        loop.exec();
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

    ConsoleDialogs dialogs;
    SaveFolderValues folders; // entries take no folder; the download decides it
    folders.UseOriginalFileName = options.originalNames;
    folders.AskOnExtract = true; // no save-folder dialog at the hand-off
    // Pages and downloads use the program's login cookies.
    ShareProfileCookies(*CookieJar::shared());
    WebEngineBrowser browser;
    AnalysisList list;
    Harvester harvester(browser, list, folders, dialogs, SteadyClock::instance());
    harvester.setPauseSeconds(options.pauseSeconds);

    bool loaded = false;
    waitFor([&](std::function<void()> done) {
        QObject::connect(
            &browser, &WebEngineBrowser::loadFinished, &browser,
            [&loaded, done](bool ok) {
                loaded = ok;
                done();
            },
            Qt::SingleShotConnection);
        browser.navigate(options.url);
    });
    if (!loaded) {
        std::fprintf(stderr, "quillmoor-cli harvest: cannot load %s\n",
            options.url.toLocal8Bit().constData());
        return 1;
    }

    const bool tty = ::isatty(fileno(stderr));
    QObject::connect(&harvester, &Harvester::progressChanged, &harvester, [&](int pages) {
        if (tty)
            std::fprintf(stderr, "\r\033[K第 %d 页，已有 %d 条", pages, int(list.size()));
    });
    if (!options.all) {
        waitFor([&](std::function<void()> done) {
            QObject::connect(&harvester, &Harvester::thisPageAdded, &harvester, done);
            harvester.addThisPage();
        });
    } else {
        harvester.setPageLimitEnabled(!options.maxPage.isEmpty());
        waitFor([&](std::function<void()> done) {
            QObject::connect(&harvester, &Harvester::runEnded, &harvester, done);
            harvester.addAllClicked(
                options.maxPage.isEmpty() ? QStringLiteral("10") : options.maxPage);
        });
    }
    if (tty)
        std::fprintf(stderr, "\r\033[K%d 条\n", int(list.size()));

    if (!options.download || list.isEmpty()) {
        if (!writeReport(options.report, listReport(list).toUtf8())) {
            std::fprintf(stderr, "quillmoor-cli harvest: cannot write the report to %s\n",
                options.report.toLocal8Bit().constData());
            return 1;
        }
        return 0;
    }

    // "分析全部": every row to the download list, then the download command
    // over those rows with the download options.
    ListTarget target;
    AnalysisRun run(list, folders, dialogs, target);
    for (int row = 0; row < list.size(); ++row) {
        list.setStatus(row, AnalysisStatus::Analysing);
        run.HandOffItem(row);
    }
    QTemporaryFile input;
    if (!input.open())
        return usageError(QStringLiteral("cannot write a temporary file"));
    QString lines;
    const DownloadList &rows = target.downloadList();
    for (int row = 0; row < rows.size(); ++row) {
        const DownloadItem &item = rows.at(row);
        // A tab would end the name early in the input lines.
        QString name = item.Name;
        name.replace(QLatin1Char('\t'), QLatin1Char(' '));
        lines += item.Key + QLatin1Char('\t') + name + QLatin1Char('\t') + item.Referer
            + QLatin1Char('\n');
    }
    input.write(lines.toUtf8());
    input.flush();
    QStringList downloadArgs { QCoreApplication::arguments().value(0) };
    downloadArgs << options.downloadArguments << QStringLiteral("--input") << input.fileName();
    if (!options.report.isEmpty())
        downloadArgs << QStringLiteral("--report") << options.report;
    return runDownloadCommand(downloadArgs);
}
