#include "BrowserProgram.h"

#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef Q_OS_UNIX
#include <climits>
#include <unistd.h>
#else
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#endif

#ifdef Q_OS_UNIX
namespace {

// The browser program's path: beside this program's file, as the kernel
// knows it, else beside the path it was started by; a bare name is looked up
// on PATH.
std::string browserProgramPath(const char *argv0)
{
    std::string self;
#ifdef Q_OS_LINUX
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        self.assign(buffer, std::size_t(n));
#endif
    if (self.empty() && argv0)
        self = argv0;
    const std::size_t slash = self.rfind('/');
    if (slash == std::string::npos)
        return kBrowserProgramName;
    return self.substr(0, slash + 1) + kBrowserProgramName;
}

} // namespace

int runBrowserProgram(int argc, char *argv[])
{
    const std::string path = browserProgramPath(argc > 0 ? argv[0] : nullptr);
    // The arguments go over as they are, the program name included, so its
    // messages and usage still speak of quillmoor-cli.
    std::vector<char *> args(argv, argv + argc);
    args.push_back(nullptr);
    if (path.find('/') == std::string::npos)
        ::execvp(path.c_str(), args.data());
    else
        ::execv(path.c_str(), args.data());
    std::fprintf(
        stderr, "quillmoor-cli: cannot start %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
}

#else

int runBrowserProgram(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QString::fromLatin1(kBrowserProgramName));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(path, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "quillmoor-cli: cannot run %s: %s\n", qPrintable(path),
            qPrintable(process.errorString()));
        return 1;
    }
    return process.exitCode();
}

#endif
