#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>

class QTcpServer;

// An HTTP/1.1 server on 127.0.0.1 inside the test process. Each path answers
// with a scripted response: any status line and headers, a body sent with
// Content-Length, chunked, close-delimited or not at all, a wrong
// Content-Length, pauses, stalls, trickling, redirects and cookies. Every
// request is logged, and open connections are counted. Event-driven: no
// threads, no sleeps.
class FixtureServer : public QObject
{
    Q_OBJECT
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    struct Request
    {
        QByteArray method;
        QByteArray target; // path with query, as sent (origin form)
        QByteArray path;
        QByteArray query; // without '?'
        QByteArray version;
        HeaderList headers;
        QList<QByteArray> headerLines; // as sent, without CR LF
        QByteArray body;
        int connection = 0; // which connection carried it, from 1

        // First value of a header (case-insensitive), empty when absent.
        QByteArray header(const QByteArray &name) const;
        bool hasHeader(const QByteArray &name) const;
    };

    enum class BodyMode {
        ContentLength, // Content-Length announced (see announcedLength)
        Chunked, // Transfer-Encoding: chunked, chunks of chunkSize
        CloseDelimited, // no length; the connection closes after the body
        None // no body and no length header (204, 304)
    };

    struct Response
    {
        QByteArray statusLine = "HTTP/1.1 200 OK";
        HeaderList headers;
        QByteArray body;
        // Instead of `body`: produces the bytes at [offset, offset + length)
        // while the socket drains, so huge bodies never sit in memory.
        std::function<QByteArray(qint64 offset, qint64 length)> generator;
        qint64 generatedSize = 0;

        BodyMode mode = BodyMode::ContentLength;
        int chunkSize = 4096;
        // Content-Length to announce when it must differ from the real size;
        // the connection is closed after such a response.
        qint64 announcedLength = -1;
        int delayBeforeHeadersMs = 0;
        // Pause once, after this many body bytes.
        qint64 pauseAfterBytes = -1;
        int pauseMs = 0;
        // Keep the socket open and silent until the server stops.
        bool stallAfterHeaders = false;
        qint64 stallAfterBytes = -1;
        // Send at most trickleBytes, then wait trickleIntervalMs, and so on.
        int trickleBytes = 0;
        int trickleIntervalMs = 0;
        bool closeAfter = false;

        static Response ok(
            const QByteArray &body, const QByteArray &contentType = "application/octet-stream");
        static Response status(int code, const QByteArray &reason, const QByteArray &body = {});
        static Response redirect(const QByteArray &location, int code = 302);
        // A body of `size` bytes made by patternBytes().
        static Response pattern(
            qint64 size, const QByteArray &contentType = "application/octet-stream");

        Response &withHeader(const QByteArray &name, const QByteArray &value);
        Response &withCookie(const QByteArray &setCookieValue);
        Response &withMode(BodyMode bodyMode);
        qint64 bodySize() const { return generator ? generatedSize : body.size(); }
        QByteArray bodyBytes(qint64 offset, qint64 length) const;
    };

    using Handler = std::function<Response(const Request &)>;

    explicit FixtureServer(QObject *parent = nullptr);
    ~FixtureServer() override;

    // Listens on 127.0.0.1, or on another loopback address (127.0.0.2 stands
    // for a second site); port 0 picks a free one.
    bool listen(quint16 port = 0, const QString &address = QStringLiteral("127.0.0.1"));
    // Closes the listener and every connection (which ends any stall).
    void stop();
    quint16 port() const;
    QUrl url(const QString &pathAndQuery) const;
    QString urlText(const QString &pathAndQuery) const;

    // A path without '?' answers for any query; a path with '?' answers only
    // for exactly that query and wins over the plain path.
    void route(const QByteArray &path, const Response &response);
    void route(const QByteArray &path, Handler handler);
    // Every path starting with `prefix` (longest prefix wins).
    void routePrefix(const QByteArray &prefix, Handler handler);
    // Paths with no route: 404 unless set.
    void setFallback(Handler handler);
    // Serves the files under `rootDir` and the scripted paths of the site
    // program (see fixture_site_main.cpp).
    void serveSite(const QString &rootDir);

    // Keep connections open between requests (the default) or close each.
    void setKeepAlive(bool keepAlive) { m_keepAlive = keepAlive; }
    bool keepAlive() const { return m_keepAlive; }

    QList<Request> requests() const { return m_requests; }
    Request lastRequest() const { return m_requests.value(m_requests.size() - 1); }
    int requestCount(const QByteArray &path) const;
    void clearLog() { m_requests.clear(); }

    int openConnections() const { return m_open; }
    int maxOpenConnections() const { return m_maxOpen; }
    int totalConnections() const { return m_total; }

    // The bytes of pattern bodies: "%PDF-1.4\n", then bytes that depend on
    // their offset, so a lost, doubled or moved piece shows.
    static QByteArray patternBytes(qint64 offset, qint64 length);

Q_SIGNALS:
    void requestReceived(const FixtureServer::Request &request);

private:
    class Connection;
    friend class Connection;

    void onNewConnection();
    Response respond(const Request &request) const;
    void logRequest(const Request &request);
    void connectionClosed(Connection *connection);

    QTcpServer *m_server = nullptr;
    QList<Connection *> m_connections;
    QHash<QByteArray, Handler> m_routes;
    QList<QPair<QByteArray, Handler>> m_prefixRoutes;
    Handler m_fallback;
    QList<Request> m_requests;
    bool m_keepAlive = true;
    int m_open = 0;
    int m_maxOpen = 0;
    int m_total = 0;
};
