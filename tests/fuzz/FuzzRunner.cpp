// quillmoor-fuzz: feeds seeded random and mutated inputs to the functions
// that read outside input and checks the properties of their results.
//
//   quillmoor-fuzz [--inputs N] [--seed S] [--target TEXT] [--hang-ms MS]
//                  [--artifacts DIR] [--list] [--replay FILE]
//
// Each target gets N inputs (fewer for the slow ones, see FuzzTarget), after
// its seeds. A failed property, a hang or a crash saves the input under
// DIR/fuzz-<target>-<n>.bin; --replay runs one saved input again. The exit
// status is 0 when every target held, 1 otherwise, 2 for bad usage.

#include "FuzzTarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h> // POSIX: the crash handler writes with open() and write()
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace {

// ---- what the crash handler and the watchdog need to save the input ----
std::mutex g_currentLock;
QByteArray g_current;
char g_crashPath[4096] = {};
std::atomic<qint64> g_startedMs { -1 };
QString g_targetName;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void saveInput(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

#ifdef QUILLMOOR_SANITIZE
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));
#endif

void writeCurrentInputRaw()
{
    // Async-signal-safe: plain open/write on a path prepared in advance.
    const int fd = ::open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n
            = ::write(fd, g_current.constData(), size_t(g_current.size()));
        ::close(fd);
    }
    const char message[] = "quillmoor-fuzz: crash; input saved to ";
    [[maybe_unused]] ssize_t n = ::write(2, message, sizeof message - 1);
    n = ::write(2, g_crashPath, std::strlen(g_crashPath));
    n = ::write(2, "\n", 1);
}

#ifndef QUILLMOOR_SANITIZE
void onCrash(int number)
{
    writeCurrentInputRaw();
    std::signal(number, SIG_DFL);
    std::raise(number);
}
#endif

// ---- mutations ----
const QList<QByteArray> kCommonTokens = { "/", "\\", ".", "..", "../", ":", "*", "?", "\"", "<",
    ">", "|", QByteArray(1, '\0'), "\r\n", "\n", "\t", "\x1b", "\x7f", "\xc2\x85", "\xc2\xa0",
    "\xe3\x80\x80", "\xef\xbc\x8f", "\xef\xbc\x8e", "\xef\xbc\xbb", "\xef\xbc\xbd", "\xef\xbc\x9a",
    "\xed\xa0\x80", "\xf0\x9f\x98\x80", "\xe4\xb8\xad", "\xff\xfe", "[", "]", "[0001]", "[-1]",
    "[2.5]", "%", "%2F", "=", ";", "'", " ", "1e9", "99999999999999999999", "-1", "0" };

class Mutator
{
public:
    Mutator(quint64 seed, const QList<QByteArray> &tokens)
        : m_rng(seed), m_tokens(kCommonTokens + tokens)
    { }

    quint64 next(quint64 bound) { return bound == 0 ? 0 : m_rng() % bound; }

    QByteArray mutate(QByteArray data, const QList<QByteArray> &corpus)
    {
        const int steps = 1 + int(next(4));
        for (int s = 0; s < steps; ++s) {
            const qsizetype size = data.size();
            switch (next(11)) {
            case 0: // flip a bit
                if (size > 0)
                    data[qsizetype(next(size))] ^= char(1 << next(8));
                break;
            case 1: // a random byte
                if (size > 0)
                    data[qsizetype(next(size))] = char(next(256));
                break;
            case 2: // insert a token
            case 3:
                data.insert(
                    qsizetype(next(size + 1)), m_tokens.at(qsizetype(next(m_tokens.size()))));
                break;
            case 4: { // insert random bytes
                QByteArray bytes(qsizetype(1 + next(8)), '\0');
                for (char &c : bytes)
                    c = char(next(256));
                data.insert(qsizetype(next(size + 1)), bytes);
                break;
            }
            case 5: // delete a range
                if (size > 0) {
                    const qsizetype at = qsizetype(next(size));
                    data.remove(at, qsizetype(1 + next(quint64(qMin<qsizetype>(size - at, 16)))));
                }
                break;
            case 6: // repeat a piece, sometimes many times (length limits)
                if (size > 0) {
                    const qsizetype at = qsizetype(next(size));
                    const QByteArray piece = data.mid(at, qsizetype(1 + next(8)));
                    const int times = next(8) == 0 ? int(50 + next(300)) : int(1 + next(4));
                    data.insert(at, piece.repeated(times));
                }
                break;
            case 7: // splice with another input
                if (!corpus.isEmpty()) {
                    const QByteArray &other = corpus.at(qsizetype(next(corpus.size())));
                    data = data.left(qsizetype(next(size + 1)))
                        + other.mid(qsizetype(next(other.size() + 1)));
                }
                break;
            case 8: // cut
                data.truncate(qsizetype(next(size + 1)));
                break;
            case 9: // swap two bytes
                if (size > 1)
                    std::swap(data[qsizetype(next(size))], data[qsizetype(next(size))]);
                break;
            default: // an ASCII letter or digit, common in real names
                data.insert(qsizetype(next(size + 1)),
                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[next(62)]);
                break;
            }
        }
        if (data.size() > kMaxLength)
            data.truncate(kMaxLength);
        return data;
    }

private:
    static constexpr qsizetype kMaxLength = 8192;
    std::mt19937_64 m_rng;
    QList<QByteArray> m_tokens;
};

// ---- network isolation ----
// The transfer targets answer requests with arbitrary bytes, redirects
// included. In a network namespace of its own, with only the loopback
// interface up, nothing the fuzzer makes up can reach another host.
bool isolateNetwork()
{
#ifdef Q_OS_LINUX
    // Without root, a user namespace of its own gives the right to make one.
    if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request = {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
#else
    return false;
#endif
}

// FNV-1a of the name: unlike qHash, the same in every process, so a seed
// replays the same inputs.
quint64 stableHash(const QString &name)
{
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : name.toUtf8()) {
        hash ^= uchar(byte);
        hash *= 1099511628211ULL;
    }
    return hash;
}

struct Totals
{
    qint64 inputs = 0;
    int failures = 0;
    qint64 slowestMs = 0;
};

bool runOne(
    const FuzzTarget &target, const QByteArray &input, const QString &artifacts, Totals &totals)
{
    {
        std::lock_guard lock(g_currentLock);
        g_current = input;
    }
    const qint64 started = nowMs();
    g_startedMs = started;
    QString failure;
    try {
        target.run(FuzzInput(input));
    } catch (const FuzzFailure &f) {
        failure = f.what;
    }
    g_startedMs = -1;
    totals.slowestMs = qMax(totals.slowestMs, nowMs() - started);
    ++totals.inputs;
    if (failure.isEmpty())
        return true;
    ++totals.failures;
    const QString path = QDir(artifacts).filePath(
        QStringLiteral("fuzz-%1-%2.bin").arg(target.name).arg(totals.failures));
    saveInput(path, input);
    if (totals.failures <= 5)
        std::fprintf(stderr, "quillmoor-fuzz: %s: %s (input saved to %s)\n",
            qPrintable(target.name), qPrintable(failure), qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before any thread exists, so every thread lives in the namespace.
    const bool isolated = isolateNetwork();
#ifdef Q_OS_LINUX
    // The file targets create and remove files for every input: in memory
    // they measure the functions, not the disk.
    if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
#endif
    QCoreApplication app(argc, argv);

    qint64 inputs = 10000;
    quint64 seed = 1;
    QString filter;
    qint64 hangMs = 10000;
    QString artifacts = QDir::currentPath();
    QString replay;
    bool list = false;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QStringLiteral("--inputs") && hasValue)
            inputs = args.at(++i).toLongLong(&ok);
        else if (a == QStringLiteral("--seed") && hasValue)
            seed = args.at(++i).toULongLong(&ok);
        else if (a == QStringLiteral("--target") && hasValue)
            filter = args.at(++i);
        else if (a == QStringLiteral("--hang-ms") && hasValue)
            hangMs = args.at(++i).toLongLong(&ok);
        else if (a == QStringLiteral("--artifacts") && hasValue)
            artifacts = args.at(++i);
        else if (a == QStringLiteral("--replay") && hasValue)
            replay = args.at(++i);
        else if (a == QStringLiteral("--list"))
            list = true;
        else
            ok = false;
        if (!ok || inputs < 0 || hangMs <= 0) {
            std::fprintf(stderr,
                "usage: quillmoor-fuzz [--inputs N] [--seed S] [--target TEXT] [--hang-ms MS]\n"
                "                      [--artifacts DIR] [--list] [--replay FILE]\n");
            return 2;
        }
    }

    QList<FuzzTarget> targets;
    for (const FuzzTarget &t : std::as_const(fuzzTargets())) {
        if (filter.isEmpty() || t.name.contains(filter, Qt::CaseInsensitive))
            targets.append(t);
    }
    if (list) {
        for (const FuzzTarget &t : std::as_const(targets))
            std::printf("%s\n", qPrintable(t.name));
        return 0;
    }
    if (targets.isEmpty()) {
        std::fprintf(stderr, "quillmoor-fuzz: no target matches '%s'\n", qPrintable(filter));
        return 2;
    }
    QDir().mkpath(artifacts);

#ifdef QUILLMOOR_SANITIZE
    __sanitizer_set_death_callback(writeCurrentInputRaw);
#else
    for (const int number : { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT })
        std::signal(number, onCrash);
#endif

    // A hang ends the run with the input saved: nothing can interrupt the
    // function under test from outside.
    std::atomic<bool> done { false };
    std::thread watchdog([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const qint64 started = g_startedMs;
            if (started >= 0 && nowMs() - started > hangMs) {
                std::lock_guard lock(g_currentLock);
                const QString path = QDir(artifacts).filePath(
                    QStringLiteral("fuzz-%1-hang.bin").arg(g_targetName));
                saveInput(path, g_current);
                std::fprintf(stderr,
                    "quillmoor-fuzz: %s: hang (no result after %lld ms), input saved to %s\n",
                    qPrintable(g_targetName), static_cast<long long>(hangMs), qPrintable(path));
                std::fflush(stderr);
                std::_Exit(1);
            }
        }
    });

    std::printf("seed %llu, %lld inputs per target\n", static_cast<unsigned long long>(seed),
        static_cast<long long>(inputs));
    int failedTargets = 0;
    qint64 allInputs = 0;
    QElapsedTimer allTime;
    allTime.start();
    for (const FuzzTarget &target : std::as_const(targets)) {
        g_targetName = target.name;
        const QByteArray crashPath
            = QDir(artifacts)
                  .filePath(QStringLiteral("fuzz-%1-crash.bin").arg(target.name))
                  .toLocal8Bit();
        std::strncpy(g_crashPath, crashPath.constData(), sizeof g_crashPath - 1);
        if (target.network && !isolated) {
            std::printf(
                "%-28s skipped: no network namespace of its own\n", qPrintable(target.name));
            continue;
        }
        if (target.setUp)
            target.setUp();
        Totals totals;
        QElapsedTimer time;
        time.start();
        if (!replay.isEmpty()) {
            QFile file(replay);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "quillmoor-fuzz: cannot read %s\n", qPrintable(replay));
                return 2;
            }
            runOne(target, file.readAll(), artifacts, totals);
        } else {
            QList<QByteArray> corpus
                = target.seeds.isEmpty() ? QList<QByteArray> { QByteArray() } : target.seeds;
            for (const QByteArray &s : std::as_const(corpus))
                runOne(target, s, artifacts, totals);
            Mutator mutator(seed ^ stableHash(target.name), target.tokens);
            const qint64 count = qMax<qint64>(1, inputs * target.perMille / 1000);
            for (qint64 i = 0; i < count; ++i) {
                const QByteArray &base = corpus.at(qsizetype(mutator.next(quint64(corpus.size()))));
                const QByteArray input = mutator.mutate(base, corpus);
                runOne(target, input, artifacts, totals);
                // Keep a varied pool to start from, without coverage data.
                if (corpus.size() < 512 && mutator.next(32) == 0)
                    corpus.append(input);
            }
        }
        if (target.tearDown)
            target.tearDown();
        allInputs += totals.inputs;
        if (totals.failures > 0)
            ++failedTargets;
        std::printf("%-28s %10lld inputs %8.1f s  slowest %5lld ms  %s\n", qPrintable(target.name),
            static_cast<long long>(totals.inputs), double(time.elapsed()) / 1000.0,
            static_cast<long long>(totals.slowestMs),
            totals.failures == 0 ? "ok"
                                 : qPrintable(QStringLiteral("%1 FAILED").arg(totals.failures)));
        std::fflush(stdout);
    }
    done = true;
    watchdog.join();
    std::printf("%lld inputs in %.1f s, %d of %lld targets failed\n",
        static_cast<long long>(allInputs), double(allTime.elapsed()) / 1000.0, failedTargets,
        static_cast<long long>(targets.size()));
    return failedTargets == 0 ? 0 : 1;
}
