// Times "download --cookies FILE" up to the first request: reading a Netscape
// cookie file of N cookies into the command's jar (the same code the command
// runs) and building one Cookie header from it, for growing N. Prints wall
// and CPU time per size and PASS or MISS against the goal: the time grows
// linearly, k times the cookies take at most 1.5 x k times the CPU time.
// (CPU time, because other programs on the machine disturb it less.)
#include "cli/CliCookies.h"
#include "platform/CookieFiles.h"
#include "platform/CookieJar.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// N session cookies on 500 hosts below one domain, a few with a longer path.
bool writeCookieFile(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("# Netscape HTTP Cookie File\n");
    for (int i = 0; i < count; ++i) {
        const QByteArray host = "host" + QByteArray::number(i % 500) + ".example.org";
        const QByteArray domain
            = i % 3 == 0 ? QByteArray("." + host + "\tTRUE") : QByteArray(host + "\tFALSE");
        const QByteArray path = i % 10 == 0 ? "\t/docs\t" : "\t/\t";
        file.write(domain + path + "FALSE\t0\tname" + QByteArray::number(i) + "\tvalue-"
            + QByteArray::number(i * 7919) + "\n");
    }
    return file.error() == QFileDevice::NoError;
}

double cpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Timing
{
    double loadMs = 0;
    double loadCpuMs = 0;
    double readCpuMs = 0; // of which reading the file
    double headerMs = 0;
    qsizetype cookies = 0;
};

// Best of `repetitions`, so a busy moment of the machine counts less.
Timing measure(const QString &path, int repetitions)
{
    Timing best { 1e300, 1e300, 1e300, 1e300, 0 };
    for (int r = 0; r < repetitions; ++r) {
        QCommandLineParser parser;
        const CookieOptions options;
        options.addTo(parser);
        parser.parse({ QStringLiteral("bench"), QStringLiteral("--cookies"), path });
        CookieJar jar;
        QString error;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        CookieJar *used = options.select(parser, jar, &error);
        const double load = timer.nsecsElapsed() / 1e6;
        const double loadCpu = cpuMs() - cpuStart;
        if (!used) {
            std::fprintf(stderr, "cannot load: %s\n", qPrintable(error));
            return {};
        }
        timer.restart();
        const QByteArray header
            = used->cookieHeaderFor(QUrl(QStringLiteral("https://host7.example.org/docs/a.pdf")));
        const double headerMs = timer.nsecsElapsed() / 1e6;
        best.loadMs = std::min(best.loadMs, load);
        best.loadCpuMs = std::min(best.loadCpuMs, loadCpu);
        const double readStart = cpuMs();
        const CookieFileResult read = ReadNetscapeCookieFile(path);
        best.readCpuMs = std::min(best.readCpuMs, cpuMs() - readStart);
        best.headerMs = std::min(best.headerMs, headerMs);
        best.cookies = used->cookies().size();
        if (header.isEmpty())
            std::fprintf(stderr, "no cookie for the test address\n");
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> sizes { 10000, 50000, 200000 };
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i) {
            const int n = QByteArray(argv[i]).toInt();
            if (n <= 0) {
                std::fprintf(stderr, "usage: %s [cookies ...]\n", argv[0]);
                return 2;
            }
            sizes << n;
        }
        std::sort(sizes.begin(), sizes.end());
    }

    QTemporaryDir dir;
    std::printf("%10s %12s %12s %12s %12s %10s\n", "cookies", "load ms", "load cpu ms",
        "of it read", "header ms", "kept");
    QList<Timing> timings;
    for (const int n : std::as_const(sizes)) {
        const QString path = dir.filePath(QStringLiteral("cookies-%1.txt").arg(n));
        if (!writeCookieFile(path, n)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 2;
        }
        const Timing t = measure(path, 5);
        timings << t;
        std::printf("%10d %12.1f %12.1f %12.1f %12.2f %10lld\n", n, t.loadMs, t.loadCpuMs,
            t.readCpuMs, t.headerMs, static_cast<long long>(t.cookies));
    }
    if (sizes.size() < 2)
        return 0;
    const double k = double(sizes.last()) / sizes.first();
    const double growth = timings.last().loadCpuMs / std::max(timings.first().loadCpuMs, 0.001);
    const bool pass = growth <= 1.5 * k;
    std::printf(
        "%d -> %d cookies: %.1fx the cookies, %.1fx the CPU time (goal at most %.1fx): %s\n",
        sizes.first(), sizes.last(), k, growth, 1.5 * k, pass ? "PASS" : "MISS");
    return pass ? 0 : 1;
}
