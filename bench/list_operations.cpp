// Times every download-list operation on a long list (100,000 rows unless
// given), each on a fresh copy of the same list, through the same commands
// the window calls. Prints one line per operation and PASS or MISS against
// the goal of one second each.
#include "download/DownloadList.h"
#include "download/DownloadListCommands.h"
#include "platform/Shell.h"
#include "platform/UserDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

// Answers every question with Yes, the given file name or number, and
// shows nothing.
class AnsweringDialogs final : public UserDialogs
{
public:
    QString fileName;
    QString number;
    Answer message(const QString &, Style, const QString &) override { return Answer::Yes; }
    QString openFileName(const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return fileName;
    }
    QString inputText(const QString &, const QString &, const QString &, bool *ok) override
    {
        *ok = true;
        return number;
    }
};

class QuietShell final : public Shell
{
public:
    bool openDocument(const QString &) override { return true; }
    bool showFileInFolder(const QString &) override { return true; }
    bool openFolder(const QString &) override { return true; }
    bool openUrl(const QString &) override { return true; }
    void openTextViewer(const QString &) override { }
    void copyToClipboard(const QString &) override { }
};

// A list like one after a long run: a mix of waiting, completed, failed and
// web-page rows with sizes, status texts and two alternative addresses. One
// row in ten has its file on disk.
void fillList(DownloadList &list, int rows, const QString &folder)
{
    static const QString sizeTexts[] = { QStringLiteral("未知"), QStringLiteral("下载失败"),
        QStringLiteral("下载取消"), QString() };
    for (int i = 0; i < rows; ++i) {
        const QString n = QString::number(i);
        const QString type = i % 7 == 0 ? QStringLiteral("htm") : QStringLiteral("pdf");
        list.addItem(QStringLiteral("http://link.example.org/content/pdf/10.1007/") + n
                + QStringLiteral(".pdf|http://mirror.example.org/") + n + QStringLiteral(".pdf"),
            QStringLiteral("Article title number ") + n, type, folder,
            QStringLiteral("http://link.example.org/search?page=") + QString::number(i / 20));
        list.update(i, [&](DownloadItem &item) {
            const int kind = i % 4;
            item.StatusCode = kind == 0 ? Status::Waiting
                : kind == 3             ? Status::Failed
                                        : Status::Completed;
            if (kind == 0)
                return;
            const int bytes = int((quint64(i) * 2654435761u) % 5000000u);
            item.Size = kind == 3 ? sizeTexts[i % 4] : QString::number(bytes);
            item.Received = QString::number(kind == 3 ? bytes / 2 : bytes);
            item.Percent = kind == 3 ? QStringLiteral("37%") : QStringLiteral("100%");
        });
    }
}

// Every tenth row has its file; files an earlier operation deleted come back.
void placeFiles(const DownloadList &list)
{
    for (int i = 0; i < list.size(); i += 10) {
        QFile file(list.at(i).savedFilePath());
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.write("x");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    if (rows <= 0) {
        std::fprintf(stderr, "usage: %s [rows]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/files/");
    QDir().mkpath(folder);

    DownloadList original;
    fillList(original, rows, folder);
    QList<int> everyOtherRow;
    for (int i = 0; i < rows; i += 2)
        everyOtherRow.append(i);

    AnsweringDialogs dialogs;
    dialogs.fileName = dir.path() + QStringLiteral("/names.txt");
    dialogs.number = QStringLiteral("2500000");
    QuietShell shell;
    const auto idle = [] {
        return false;
    };

    using Command = std::function<void(DownloadListCommands &)>;
    const QList<std::pair<const char *, Command>> operations {
        { "sort by name",
            [](auto &c) {
                c.sortByColumn(DownloadList::NameColumn);
            } },
        { "sort by type",
            [](auto &c) {
                c.sortByColumn(DownloadList::TypeColumn);
            } },
        { "sort by size",
            [](auto &c) {
                c.sortByColumn(DownloadList::SizeColumn);
            } },
        { "sort by received",
            [](auto &c) {
                c.sortByColumn(DownloadList::ReceivedColumn);
            } },
        { "sort by percent",
            [](auto &c) {
                c.sortByColumn(DownloadList::PercentColumn);
            } },
        { "sort by folder",
            [](auto &c) {
                c.sortByColumn(DownloadList::FolderColumn);
            } },
        { "sort by B",
            [](auto &c) {
                c.sortByColumn(DownloadList::BColumn);
            } },
        { "shuffle",
            [](auto &c) {
                c.shuffle();
            } },
        { "requeue selected",
            [&](auto &c) {
                c.requeueSelected(everyOtherRow);
            } },
        { "requeue failed",
            [](auto &c) {
                c.requeueFailed();
            } },
        { "requeue web pages",
            [](auto &c) {
                c.requeueWebPages();
            } },
        { "requeue failed and web pages",
            [](auto &c) {
                c.requeueFailedAndWebPages();
            } },
        { "requeue smaller than",
            [](auto &c) {
                c.requeueSmallerThan();
            } },
        { "clear selected",
            [&](auto &c) {
                c.clearSelected(everyOtherRow);
            } },
        { "clear failed",
            [](auto &c) {
                c.clearFailed();
            } },
        { "clear completed",
            [](auto &c) {
                c.clearCompleted();
            } },
        { "clear all",
            [](auto &c) {
                c.clearAll();
            } },
        { "delete files of web pages",
            [](auto &c) {
                c.deleteWebPageFiles();
            } },
        { "delete files of failed rows",
            [](auto &c) {
                c.deleteFailedFiles();
            } },
        { "cancel selected",
            [&](auto &c) {
                c.cancelSelected(everyOtherRow);
            } },
        { "check files",
            [](auto &c) {
                c.checkFiles();
            } },
        { "export all names",
            [](auto &c) {
                c.exportAllNames();
            } },
        { "export unfinished names",
            [](auto &c) {
                c.exportUnfinishedNames();
            } },
        { "URL replace",
            [](auto &c) {
                c.replaceUrls(QStringLiteral("HTTP://"), QStringLiteral("https://"));
            } },
        { "URL replace, every key clashes",
            [](auto &c) {
                c.replaceUrls(
                    QStringLiteral("link.example.org"), QStringLiteral("mirror.example.org"));
            } },
    };

    // Wall time decides; CPU time (user + system of the process) shows how
    // much of it was other programs' load.
    std::printf("%d rows\n%-34s %10s %10s\n", rows, "operation", "wall ms", "cpu ms");
    bool allWithinGoal = true;
    for (const auto &[name, command] : operations) {
        // A fresh copy of the list, with its files, for every operation.
        DownloadList list;
        for (int i = 0; i < original.size(); ++i) {
            const DownloadItem &item = original.at(i);
            list.addItem(item.Key, item.Name, item.Type, item.Folder, item.Referer);
            list.update(i, [&](DownloadItem &copy) { copy = item; });
        }
        placeFiles(original);
        DownloadListCommands commands(
            list, dialogs, shell, DownloadListCommands::BusyTests { idle, idle, idle });
        QElapsedTimer timer;
        const std::clock_t cpuStart = std::clock();
        timer.start();
        command(commands);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
        allWithinGoal = allWithinGoal && ms < 1000.0;
        std::printf("%-34s %10.1f %10.1f\n", name, ms, cpuMs);
    }
    std::printf(
        "%s every operation within 1 s on %d rows\n", allWithinGoal ? "PASS" : "MISS", rows);
    return allWithinGoal ? 0 : 1;
}
