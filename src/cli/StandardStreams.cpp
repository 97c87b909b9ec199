#include "StandardStreams.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
bool g_stdoutClosed = false;
}

void guardStandardStreams()
{
#ifdef Q_OS_UNIX
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd)
            ::close(opened);
        if (fd == 1)
            g_stdoutClosed = true;
    }
#endif
}

bool standardOutputWasClosed()
{
    return g_stdoutClosed;
}
