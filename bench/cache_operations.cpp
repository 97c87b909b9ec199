// Times the cache window's work on a large cache: 3,000 entries in the
// program's cache and as many files in another profile's cache unless given.
// Listing my cache, deleting all of it, listing all caches, deleting all of
// them, and writing every body out for the copy tool (a tenth of the bodies
// compressed). Prints wall and CPU time of each and the longest time the
// event loop waited for its next turn: what a user feels as a frozen window.
// Goal: no wait over 100 ms during the delete and copy-out runs; the listings
// run at once and are shown for what they cost.
#include "DiskCacheWriter.h"
#include "cachetools/BrowserCacheTool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

const QString kSub = QStringLiteral(".cache/Quillmoor/QtWebEngine/Quillmoor/Cache/Cache_Data");

void fillCaches(const QString &root, int entries)
{
    const QString mine = root + QStringLiteral("/me/") + kSub;
    const QString theirs = root + QStringLiteral("/you/") + kSub;
    const QByteArray body(20 * 1024, 'b');
    const QByteArray zipped = DiskCacheWriter::gzip(body);
    for (int i = 0; i < entries; ++i) {
        const QString url
            = QStringLiteral("https://link.example.org/content/pdf/10.1007/%1.pdf").arg(i);
        SyntheticCacheEntry entry
            = DiskCacheWriter::entryFor(url, i % 10 == 0 ? zipped : body, "application/pdf");
        if (i % 10 == 0)
            entry.headerLines.append("Content-Encoding: gzip");
        DiskCacheWriter::write(mine, entry);
        QFile other(theirs + QStringLiteral("/f%1/%2_0").arg(i % 16).arg(i));
        QDir().mkpath(QFileInfo(other).path());
        if (other.open(QIODevice::WriteOnly))
            other.write(body);
    }
}

struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
    double longestWaitMs = 0;
};

// Runs `start` and the event loop until `done` fires, measuring the gaps
// between the loop's turns.
Timing measure(const std::function<void()> &start, QObject *sender, const char *done)
{
    QEventLoop loop;
    QElapsedTimer wall;
    QElapsedTimer sinceTurn;
    Timing timing;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, &loop, [&] {
        timing.longestWaitMs = qMax(timing.longestWaitMs, double(sinceTurn.nsecsElapsed()) / 1e6);
        sinceTurn.start();
    });
    if (done)
        QObject::connect(sender, done, &loop, SLOT(quit()));
    const std::clock_t cpuStart = std::clock();
    wall.start();
    sinceTurn.start();
    turns.start();
    start();
    if (done)
        loop.exec();
    timing.longestWaitMs = qMax(timing.longestWaitMs, double(sinceTurn.nsecsElapsed()) / 1e6);
    timing.wallMs = double(wall.nsecsElapsed()) / 1e6;
    timing.cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    return timing;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 3000;
    if (entries <= 0) {
        std::fprintf(stderr, "usage: %s [entries]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/home");
    const BrowserCacheLocations locations { root + QStringLiteral("/me/") + kSub,
        root + QStringLiteral("/me") };

    std::printf("%d entries in my cache, %d files in another profile's\n", entries, entries);
    std::printf("%-26s %10s %10s %14s\n", "operation", "wall ms", "cpu ms", "longest wait ms");
    bool withinGoal = true;
    const auto report = [&](const char *name, const Timing &t, bool judged) {
        if (judged)
            withinGoal = withinGoal && t.longestWaitMs <= 100.0;
        std::printf("%-26s %10.1f %10.1f %14.1f%s\n", name, t.wallMs, t.cpuMs, t.longestWaitMs,
            judged ? "" : "  (at once)");
    };

    fillCaches(root, entries);
    BrowserCacheTool tool(locations);
    report("list my cache", measure([&] { tool.listMyCache(); }, nullptr, nullptr), false);
    QList<int> rows(tool.fileList()->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    report("copy out every body",
        measure([&] { tool.copyOut(rows, dir.path() + QStringLiteral("/out")); }, &tool,
            SIGNAL(copyOutFinished(QStringList, QStringList))),
        true);
    report("delete all of my cache",
        measure([&] { tool.deleteAll(); }, &tool, SIGNAL(deleteFinished())), true);
    report("list all caches", measure([&] { tool.listAllCaches(); }, nullptr, nullptr), false);
    report("delete all caches", measure([&] { tool.deleteAll(); }, &tool, SIGNAL(deleteFinished())),
        true);

    std::printf("%s no wait over 100 ms while deleting or copying out %d entries\n",
        withinGoal ? "PASS" : "MISS", entries);
    return withinGoal ? 0 : 1;
}
