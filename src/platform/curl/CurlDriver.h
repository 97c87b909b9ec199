#pragma once

#include <QHash>
#include <QList>
#include <QObject>

#include <curl/curl.h>

#include <functional>

class QSocketNotifier;
class QTimer;

// Runs libcurl transfers on the Qt event loop of one thread: one multi handle,
// a socket notifier per socket that libcurl watches and one single-shot timer
// for libcurl's timeouts. Nothing polls: a waiting program sleeps in the event
// loop.
//
// libcurl forbids calling it from inside its own callbacks. Adding and
// discarding handles may be asked for at any time (from a write callback, from
// a slot connected to a signal emitted there); while libcurl is on the stack
// such requests are queued and carried out as soon as it has returned.
class CurlDriver : public QObject
{
    Q_OBJECT
public:
    // Told when a transfer of the driver has ended. The handle has already
    // left the multi handle and may be set up and started again.
    class Transfer
    {
    public:
        virtual ~Transfer() = default;
        virtual void transferDone(CURL *easy, CURLcode result) = 0;
    };

    // The driver of the calling thread, created on first use.
    static CurlDriver &instance();

    ~CurlDriver() override;

    // Starts the transfer of a prepared easy handle; `owner` hears of its end.
    // The caller keeps owning the handle.
    void start(CURL *easy, Transfer *owner);
    // Stops the handle's transfer (if any) and frees it with curl_easy_cleanup;
    // then `afterCleanup` runs (for data the handle's callbacks point at).
    // No transferDone() follows for it.
    void discard(CURL *easy, std::function<void()> afterCleanup = {});

    // True while libcurl is on the call stack of this thread.
    bool insideLibcurl() const { return m_libcurlDepth > 0; }
    int runningTransfers() const { return int(m_owners.size()); }
    int watchedSockets() const { return int(m_sockets.size()); }
    // How often the event loop woke the driver (socket or timer); lets tests
    // show that a waiting transfer does not poll.
    quint64 wakeups() const { return m_wakeups; }

private:
    struct Socket;
    struct Pending
    {
        CURL *easy = nullptr;
        Transfer *owner = nullptr; // null: discard
        std::function<void()> afterCleanup;
    };

    CurlDriver();

    static int socketCallback(CURL *easy, curl_socket_t fd, int what, void *userp, void *socketp);
    static int timerCallback(CURLM *multi, long timeoutMs, void *userp);

    void watchSocket(curl_socket_t fd, int what, Socket *socket);
    void onSocketActivity(curl_socket_t fd, int eventMask);
    void onTimeout();
    void park();
    void unpark();
    void socketAction(curl_socket_t fd, int eventMask);
    void readFinished();
    void runPending();
    void schedulePending();
    void addNow(CURL *easy, Transfer *owner);
    void discardNow(CURL *easy, const std::function<void()> &afterCleanup);

    CURLM *m_multi = nullptr;
    QTimer *m_timer = nullptr;
    QHash<CURL *, Transfer *> m_owners;
    QHash<curl_socket_t, Socket *> m_sockets;
    QList<Pending> m_pending;
    bool m_pendingScheduled = false;
    int m_libcurlDepth = 0;
    bool m_parked = false; // notifiers rest while libcurl is on the stack
    bool m_timeoutParked = false; // a timeout came due meanwhile
    quint64 m_wakeups = 0;
};
