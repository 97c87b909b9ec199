#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };
volatile sig_atomic_t g_caught = 0;
struct sigaction g_previous[3];
constexpr int kSignals[3] = { SIGINT, SIGTERM, SIGPIPE };

void onSignal(int number)
{
    // Only async-signal-safe calls here.
    const int savedErrno = errno;
    if (g_caught == 0)
        g_caught = number;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(g_pipe[0] < 0);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    // A full pipe must never block the handler; one pending byte is enough.
    ::fcntl(g_pipe[1], F_SETFL, ::fcntl(g_pipe[1], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
    g_caught = 0;
    for (int i = 0; i < 3; ++i) {
        struct sigaction action = {};
        action.sa_handler = kSignals[i] == SIGPIPE ? SIG_IGN : onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (g_pipe[0] < 0)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int TerminationSignals::caught() const
{
    return int(g_caught);
}

int TerminationSignals::exitStatus() const
{
    return g_caught == 0 ? 0 : 128 + int(g_caught);
}

void TerminationSignals::onReadable()
{
    unsigned char byte = 0;
    if (::read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT received(int(byte));
}

#else

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) { }

TerminationSignals::~TerminationSignals() = default;

int TerminationSignals::caught() const
{
    return 0;
}

int TerminationSignals::exitStatus() const
{
    return 0;
}

void TerminationSignals::onReadable() { }

#endif

#include "moc_TerminationSignals.cpp"
