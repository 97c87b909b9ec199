#include "CurlDriver.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <mutex>
#include <utility>

struct CurlDriver::Socket
{
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;
    bool wantRead = false;
    bool wantWrite = false;
};

namespace {

// Notifiers are dropped with deleteLater: the one going away may be the one
// whose activation is on the stack right now.
void dropNotifier(QSocketNotifier *&notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

// Keeps count of libcurl calls on the stack.
class LibcurlScope
{
public:
    explicit LibcurlScope(int &depth) : m_depth(depth) { ++m_depth; }
    ~LibcurlScope() { --m_depth; }
    LibcurlScope(const LibcurlScope &) = delete;
    LibcurlScope &operator=(const LibcurlScope &) = delete;

private:
    int &m_depth;
};

} // namespace

CurlDriver &CurlDriver::instance()
{
    thread_local QPointer<CurlDriver> driver;
    if (!driver) {
        driver = new CurlDriver;
        QCoreApplication *app = QCoreApplication::instance();
        if (app && app->thread() == QThread::currentThread()) {
            // Goes away with the application, while the event loop's parts still exist.
            driver->setParent(app);
        } else {
            CurlDriver *own = driver;
            connect(QThread::currentThread(), &QThread::finished, own, [own] { delete own; });
        }
    }
    return *driver;
}

CurlDriver::CurlDriver()
{
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &CurlDriver::onTimeout);

    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlDriver::socketCallback);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlDriver::timerCallback);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
}

CurlDriver::~CurlDriver()
{
    m_timer->stop();
    {
        LibcurlScope scope(m_libcurlDepth);
        for (auto it = m_owners.cbegin(); it != m_owners.cend(); ++it)
            curl_multi_remove_handle(m_multi, it.key());
    }
    m_owners.clear();
    for (const Pending &pending : std::as_const(m_pending)) {
        if (!pending.owner) {
            curl_easy_cleanup(pending.easy);
            if (pending.afterCleanup)
                pending.afterCleanup();
        }
    }
    m_pending.clear();
    for (Socket *socket : std::as_const(m_sockets)) {
        delete socket->read;
        delete socket->write;
        delete socket;
    }
    m_sockets.clear();
    curl_multi_cleanup(m_multi);
}

void CurlDriver::start(CURL *easy, Transfer *owner)
{
    if (!easy || !owner)
        return;
    if (insideLibcurl()) {
        m_pending.append({ easy, owner, {} });
        schedulePending();
        return;
    }
    addNow(easy, owner);
}

void CurlDriver::discard(CURL *easy, std::function<void()> afterCleanup)
{
    if (!easy)
        return;
    // A start still waiting in the queue is simply dropped.
    m_pending.removeIf([easy](const Pending &p) { return p.easy == easy && p.owner; });
    // From now on the owner hears nothing of this handle.
    const bool running = m_owners.contains(easy);
    if (running)
        m_owners[easy] = nullptr;
    if (insideLibcurl()) {
        m_pending.append({ easy, nullptr, std::move(afterCleanup) });
        schedulePending();
        return;
    }
    discardNow(easy, afterCleanup);
}

void CurlDriver::addNow(CURL *easy, Transfer *owner)
{
    m_owners.insert(easy, owner);
    LibcurlScope scope(m_libcurlDepth);
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK) {
        // Already added or broken: report it as a failed transfer later, from
        // the event loop, like any other end.
        m_owners.remove(easy);
        QPointer<CurlDriver> self(this);
        QTimer::singleShot(0, this, [self, easy, owner] {
            if (self)
                owner->transferDone(easy, CURLE_FAILED_INIT);
        });
    }
}

void CurlDriver::discardNow(CURL *easy, const std::function<void()> &afterCleanup)
{
    {
        LibcurlScope scope(m_libcurlDepth);
        if (m_owners.contains(easy)) {
            m_owners.remove(easy);
            curl_multi_remove_handle(m_multi, easy);
        }
        curl_easy_cleanup(easy);
    }
    if (afterCleanup)
        afterCleanup();
}

void CurlDriver::schedulePending()
{
    if (m_pendingScheduled)
        return;
    m_pendingScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pendingScheduled = false;
        if (!insideLibcurl())
            runPending();
        else
            schedulePending();
    });
}

void CurlDriver::runPending()
{
    while (!m_pending.isEmpty() && !insideLibcurl()) {
        Pending next = m_pending.takeFirst();
        if (next.owner)
            addNow(next.easy, next.owner);
        else
            discardNow(next.easy, next.afterCleanup);
    }
}

int CurlDriver::socketCallback(CURL *, curl_socket_t fd, int what, void *userp, void *)
{
    auto *self = static_cast<CurlDriver *>(userp);
    self->watchSocket(fd, what, self->m_sockets.value(fd));
    return 0;
}

int CurlDriver::timerCallback(CURLM *, long timeoutMs, void *userp)
{
    auto *self = static_cast<CurlDriver *>(userp);
    if (timeoutMs < 0)
        self->m_timer->stop();
    else
        self->m_timer->start(int(qMin<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlDriver::watchSocket(curl_socket_t fd, int what, Socket *socket)
{
    if (what == CURL_POLL_REMOVE) {
        if (socket) {
            dropNotifier(socket->read);
            dropNotifier(socket->write);
            m_sockets.remove(fd);
            delete socket;
        }
        return;
    }
    if (!socket) {
        socket = new Socket;
        m_sockets.insert(fd, socket);
    }
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    socket->wantRead = wantRead;
    socket->wantWrite = wantWrite;
    auto setUp = [this, fd](QSocketNotifier *&notifier, bool wanted, QSocketNotifier::Type type) {
        if (!wanted) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = new QSocketNotifier(qintptr(fd), type, this);
            const int mask = type == QSocketNotifier::Read ? CURL_CSELECT_IN : CURL_CSELECT_OUT;
            connect(notifier, &QSocketNotifier::activated, this,
                [this, fd, mask] { onSocketActivity(fd, mask); });
        }
        notifier->setEnabled(!m_parked);
    };
    setUp(socket->read, wantRead, QSocketNotifier::Read);
    setUp(socket->write, wantWrite, QSocketNotifier::Write);
}

void CurlDriver::onSocketActivity(curl_socket_t fd, int eventMask)
{
    // A nested event loop started from a callback (a modal dialog, say) must
    // not re-enter libcurl. The level-triggered notifiers would fire again
    // at once and spin, so they rest until libcurl has returned.
    ++m_wakeups;
    if (insideLibcurl()) {
        park();
        return;
    }
    socketAction(fd, eventMask);
}

void CurlDriver::onTimeout()
{
    ++m_wakeups;
    if (insideLibcurl()) {
        park();
        m_timeoutParked = true;
        return;
    }
    socketAction(CURL_SOCKET_TIMEOUT, 0);
}

void CurlDriver::park()
{
    if (m_parked)
        return;
    m_parked = true;
    for (Socket *socket : std::as_const(m_sockets)) {
        if (socket->read)
            socket->read->setEnabled(false);
        if (socket->write)
            socket->write->setEnabled(false);
    }
}

void CurlDriver::unpark()
{
    if (!m_parked || insideLibcurl())
        return;
    m_parked = false;
    for (Socket *socket : std::as_const(m_sockets)) {
        if (socket->read)
            socket->read->setEnabled(socket->wantRead);
        if (socket->write)
            socket->write->setEnabled(socket->wantWrite);
    }
    if (std::exchange(m_timeoutParked, false))
        m_timer->start(0);
}

void CurlDriver::socketAction(curl_socket_t fd, int eventMask)
{
    QPointer<CurlDriver> self(this);
    {
        LibcurlScope scope(m_libcurlDepth);
        int running = 0;
        curl_multi_socket_action(m_multi, fd, eventMask, &running);
    }
    unpark();
    runPending();
    readFinished();
    if (self)
        runPending();
}

void CurlDriver::readFinished()
{
    // One message at a time: an owner told of its end may discard or start
    // other handles, which changes the queue.
    QPointer<CurlDriver> self(this);
    while (self && !insideLibcurl()) {
        CURL *easy = nullptr;
        CURLcode result = CURLE_OK;
        {
            LibcurlScope scope(m_libcurlDepth);
            int left = 0;
            CURLMsg *message = curl_multi_info_read(m_multi, &left);
            if (!message)
                return;
            if (message->msg != CURLMSG_DONE)
                continue;
            easy = message->easy_handle;
            result = message->data.result;
            curl_multi_remove_handle(m_multi, easy);
        }
        Transfer *owner = m_owners.take(easy);
        if (owner)
            owner->transferDone(easy, result);
    }
}

#include "moc_CurlDriver.cpp"
