#include "HeadlessEngine.h"

#include "platform/BrowserSandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QString>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

void PrepareHeadlessBrowserEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareBrowserEngine();
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

#ifdef Q_OS_LINUX
namespace {

// Every process below this one, parents before their children.
QList<pid_t> descendantProcesses()
{
    QHash<pid_t, QList<pid_t>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and brackets.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (close < 0 || fields.size() < 2)
            continue;
        children[pid_t(fields.at(1).toInt())].append(pid);
    }
    QList<pid_t> found;
    QList<pid_t> queue { ::getpid() };
    while (!queue.isEmpty()) {
        for (const pid_t child : children.value(queue.takeFirst())) {
            found.append(child);
            queue.append(child);
        }
    }
    return found;
}

bool alive(pid_t pid)
{
    // A child of this process that has ended is reaped here; one further
    // down that has ended waits as a zombie for a parent that may never
    // reap it.
    if (::waitpid(pid, nullptr, WNOHANG) == pid)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) != "Z";
}

} // namespace
#endif

void EndEngineProcesses()
{
#ifdef Q_OS_LINUX
    const QList<pid_t> processes = descendantProcesses();
    for (const pid_t pid : processes)
        ::kill(pid, SIGTERM);
    QElapsedTimer waited;
    waited.start();
    QList<pid_t> left = processes;
    while (!left.isEmpty()) {
        left.erase(std::remove_if(left.begin(), left.end(), [](pid_t pid) { return !alive(pid); }),
            left.end());
        if (left.isEmpty())
            break;
        if (waited.hasExpired(3000)) {
            for (const pid_t pid : std::as_const(left)) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
            break;
        }
        QThread::msleep(20); // a short nap, not a spin: nothing else runs now
    }
#endif
}
