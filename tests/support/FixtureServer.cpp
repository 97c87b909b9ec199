#include "FixtureServer.h"

#include "LiteratureSite.h"
#include "LoginSite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMimeDatabase>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

constexpr qint64 kHighWater = 256 * 1024; // bytes queued in the socket before waiting
constexpr qint64 kStep = 64 * 1024; // body bytes produced per step
constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasHeader(const FixtureServer::HeaderList &headers, const QByteArray &name)
{
    return std::any_of(headers.cbegin(), headers.cend(),
        [&name](const auto &h) { return sameName(h.first, name); });
}

} // namespace

// ---------------------------------------------------------------------------
// Request and Response

QByteArray FixtureServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (sameName(key, name))
            return value;
    }
    return {};
}

bool FixtureServer::Request::hasHeader(const QByteArray &name) const
{
    return ::hasHeader(headers, name);
}

FixtureServer::Response FixtureServer::Response::ok(
    const QByteArray &body, const QByteArray &contentType)
{
    Response response;
    response.body = body;
    if (!contentType.isEmpty())
        response.headers.append(qMakePair(QByteArray("Content-Type"), contentType));
    return response;
}

FixtureServer::Response FixtureServer::Response::status(
    int code, const QByteArray &reason, const QByteArray &body)
{
    Response response;
    response.statusLine = "HTTP/1.1 " + QByteArray::number(code) + ' ' + reason;
    response.body = body;
    if (!body.isEmpty())
        response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    return response;
}

FixtureServer::Response FixtureServer::Response::redirect(const QByteArray &location, int code)
{
    static const QHash<int, QByteArray> reasons = { { 301, "Moved Permanently" }, { 302, "Found" },
        { 303, "See Other" }, { 307, "Temporary Redirect" }, { 308, "Permanent Redirect" } };
    Response response = status(code, reasons.value(code, "Redirect"), "moved");
    response.headers.append(qMakePair(QByteArray("Location"), location));
    return response;
}

FixtureServer::Response FixtureServer::Response::pattern(qint64 size, const QByteArray &contentType)
{
    Response response = ok({}, contentType);
    response.generatedSize = size;
    response.generator = [](qint64 offset, qint64 length) {
        return FixtureServer::patternBytes(offset, length);
    };
    return response;
}

FixtureServer::Response &FixtureServer::Response::withHeader(
    const QByteArray &name, const QByteArray &value)
{
    headers.append(qMakePair(name, value));
    return *this;
}

FixtureServer::Response &FixtureServer::Response::withCookie(const QByteArray &setCookieValue)
{
    return withHeader("Set-Cookie", setCookieValue);
}

FixtureServer::Response &FixtureServer::Response::withMode(BodyMode bodyMode)
{
    mode = bodyMode;
    return *this;
}

QByteArray FixtureServer::Response::bodyBytes(qint64 offset, qint64 length) const
{
    if (generator)
        return generator(offset, length);
    return body.mid(offset, length);
}

QByteArray FixtureServer::patternBytes(qint64 offset, qint64 length)
{
    static const QByteArray head = "%PDF-1.4\n";
    QByteArray bytes(qsizetype(qMax<qint64>(length, 0)), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qint64 at = offset + i;
        bytes[i] = at < head.size() ? head.at(qsizetype(at)) : char((at * 7 + at / 251) % 256);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// One client connection: reads requests one after the other and writes the
// scripted answer as fast as the socket drains.

class FixtureServer::Connection : public QObject
{
public:
    Connection(FixtureServer *server, QTcpSocket *socket, int id)
        : QObject(server), m_server(server), m_socket(socket), m_id(id)
    {
        socket->setParent(this);
        // Small pieces (trickles, single bytes) go out at once, not after an ACK.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_waiting = false;
            pump();
        });
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { pump(); });
        connect(socket, &QTcpSocket::disconnected, this, &Connection::closed);
    }

    void abort()
    {
        m_timer.stop();
        m_socket->abort();
        closed();
    }

private:
    void closed()
    {
        if (m_closed)
            return;
        m_closed = true;
        m_timer.stop();
        m_server->connectionClosed(this);
        deleteLater();
    }

    void onReadyRead()
    {
        m_in += m_socket->readAll();
        if (!m_busy)
            parseNext();
    }

    void parseNext()
    {
        if (m_closed || m_busy)
            return;
        const qsizetype end = m_in.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_in.size() > kMaxHeaderBytes)
                abort();
            return;
        }
        Request request;
        request.connection = m_id;
        const QList<QByteArray> lines = m_in.first(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        request.version = requestLine.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            request.headerLines.append(line);
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append(
                    qMakePair(line.first(colon).trimmed(), line.mid(colon + 1).trimmed()));
        }
        const qint64 bodyLength = request.header("Content-Length").toLongLong();
        if (m_in.size() < end + 4 + bodyLength) {
            if (!m_continued && sameName(request.header("Expect"), "100-continue")) {
                m_continued = true;
                m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        m_continued = false;
        request.body = m_in.mid(end + 4, bodyLength);
        m_in.remove(0, end + 4 + bodyLength);

        // A proxy may pass the absolute form: keep path and query only.
        if (request.target.startsWith("http://") || request.target.startsWith("https://")) {
            const qsizetype slash = request.target.indexOf('/', request.target.indexOf("//") + 2);
            request.target = slash < 0 ? QByteArray("/") : request.target.mid(slash);
        }
        const qsizetype question = request.target.indexOf('?');
        request.path = question < 0 ? request.target : request.target.first(question);
        request.query = question < 0 ? QByteArray() : request.target.mid(question + 1);

        m_server->logRequest(request);
        if (m_closed)
            return;
        begin(m_server->respond(request), request);
    }

    void begin(const Response &response, const Request &request)
    {
        m_busy = true;
        m_response = response;
        m_sent = 0;
        m_headWritten = false;
        m_pauseDone = false;
        m_bodyDone = false;
        m_sendBody = !sameName(request.method, "HEAD");
        const qint64 size = response.bodySize();
        const bool wrongLength = response.mode == BodyMode::ContentLength
            && response.announcedLength >= 0 && response.announcedLength != size;
        const bool wantsClose = sameName(request.header("Connection"), "close")
            || (request.version == "HTTP/1.0"
                && !sameName(request.header("Connection"), "keep-alive"));
        m_closeAfter = !m_server->m_keepAlive || wantsClose || response.closeAfter || wrongLength
            || response.mode == BodyMode::CloseDelimited;

        QByteArray head = response.statusLine + "\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        if (response.mode == BodyMode::ContentLength
            && !hasHeader(response.headers, "Content-Length"))
            head += "Content-Length: "
                + QByteArray::number(
                    response.announcedLength >= 0 ? response.announcedLength : size)
                + "\r\n";
        if (response.mode == BodyMode::Chunked)
            head += "Transfer-Encoding: chunked\r\n";
        if (m_closeAfter && !hasHeader(response.headers, "Connection"))
            head += "Connection: close\r\n";
        head += "\r\n";
        m_headBytes = head;

        if (response.delayBeforeHeadersMs > 0) {
            m_waiting = true;
            m_timer.start(response.delayBeforeHeadersMs);
        } else {
            pump();
        }
    }

    void pump()
    {
        if (m_closed || !m_busy || m_waiting || m_stalled)
            return;
        if (!m_headWritten) {
            m_socket->write(m_headBytes);
            m_headWritten = true;
            if (m_response.stallAfterHeaders) {
                m_stalled = true;
                return;
            }
        }
        const bool hasBody = m_sendBody && m_response.mode != BodyMode::None;
        const qint64 size = hasBody ? m_response.bodySize() : 0;
        while (!m_bodyDone && m_socket->bytesToWrite() < kHighWater) {
            if (m_response.stallAfterBytes >= 0 && m_sent >= m_response.stallAfterBytes) {
                m_stalled = true;
                return;
            }
            if (m_response.pauseAfterBytes >= 0 && !m_pauseDone
                && m_sent >= m_response.pauseAfterBytes) {
                m_pauseDone = true;
                m_waiting = true;
                m_timer.start(m_response.pauseMs);
                return;
            }
            qint64 step = qMin(kStep, size - m_sent);
            if (m_response.mode == BodyMode::Chunked)
                step = qMin<qint64>(step, qMax(1, m_response.chunkSize));
            if (m_response.stallAfterBytes >= 0)
                step = qMin(step, m_response.stallAfterBytes - m_sent);
            if (m_response.pauseAfterBytes >= 0 && !m_pauseDone)
                step = qMin(step, m_response.pauseAfterBytes - m_sent);
            if (m_response.trickleBytes > 0)
                step = qMin<qint64>(step, m_response.trickleBytes);
            if (step > 0) {
                const QByteArray data = m_response.bodyBytes(m_sent, step);
                if (m_response.mode == BodyMode::Chunked)
                    m_socket->write(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
                else
                    m_socket->write(data);
                m_sent += step;
            }
            if (m_sent >= size) {
                if (m_response.mode == BodyMode::Chunked && hasBody)
                    m_socket->write("0\r\n\r\n");
                m_bodyDone = true;
                break;
            }
            if (m_response.trickleBytes > 0) {
                m_waiting = true;
                m_timer.start(m_response.trickleIntervalMs);
                return;
            }
        }
        if (!m_bodyDone)
            return;
        m_busy = false;
        if (m_closeAfter) {
            m_socket->disconnectFromHost(); // after the queued bytes are out
            return;
        }
        parseNext();
    }

    FixtureServer *m_server;
    QTcpSocket *m_socket;
    int m_id;
    QTimer m_timer;
    QByteArray m_in;
    bool m_closed = false;
    bool m_busy = false;
    bool m_continued = false;

    Response m_response;
    QByteArray m_headBytes;
    bool m_sendBody = true; // false for HEAD requests: headers only
    bool m_headWritten = false;
    bool m_waiting = false;
    bool m_stalled = false;
    bool m_pauseDone = false;
    bool m_bodyDone = false;
    bool m_closeAfter = false;
    qint64 m_sent = 0;
};

// ---------------------------------------------------------------------------

FixtureServer::FixtureServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FixtureServer::onNewConnection);
}

FixtureServer::~FixtureServer()
{
    stop();
}

bool FixtureServer::listen(quint16 port, const QString &address)
{
    return m_server->listen(QHostAddress(address), port);
}

void FixtureServer::stop()
{
    m_server->close();
    const QList<Connection *> connections = m_connections;
    for (Connection *connection : connections)
        connection->abort();
}

quint16 FixtureServer::port() const
{
    return m_server->serverPort();
}

QUrl FixtureServer::url(const QString &pathAndQuery) const
{
    return QUrl(urlText(pathAndQuery));
}

QString FixtureServer::urlText(const QString &pathAndQuery) const
{
    const QString host = m_server->isListening() ? m_server->serverAddress().toString()
                                                 : QStringLiteral("127.0.0.1");
    return QStringLiteral("http://") + host + QLatin1Char(':') + QString::number(port())
        + pathAndQuery;
}

void FixtureServer::route(const QByteArray &path, const Response &response)
{
    m_routes.insert(path, [response](const Request &) { return response; });
}

void FixtureServer::route(const QByteArray &path, Handler handler)
{
    m_routes.insert(path, std::move(handler));
}

void FixtureServer::routePrefix(const QByteArray &prefix, Handler handler)
{
    m_prefixRoutes.append({ prefix, std::move(handler) });
    std::stable_sort(m_prefixRoutes.begin(), m_prefixRoutes.end(),
        [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
}

void FixtureServer::setFallback(Handler handler)
{
    m_fallback = std::move(handler);
}

int FixtureServer::requestCount(const QByteArray &path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
        [&path](const Request &r) { return r.path == path; }));
}

void FixtureServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_total;
        ++m_open;
        m_maxOpen = qMax(m_maxOpen, m_open);
        m_connections.append(new Connection(this, socket, m_total));
    }
}

void FixtureServer::connectionClosed(Connection *connection)
{
    if (m_connections.removeOne(connection))
        --m_open;
}

void FixtureServer::logRequest(const Request &request)
{
    m_requests.append(request);
    Q_EMIT requestReceived(request);
}

FixtureServer::Response FixtureServer::respond(const Request &request) const
{
    if (request.target != request.path) {
        const auto exact = m_routes.constFind(request.target);
        if (exact != m_routes.cend())
            return (*exact)(request);
    }
    const auto plain = m_routes.constFind(request.path);
    if (plain != m_routes.cend())
        return (*plain)(request);
    for (const auto &[prefix, handler] : m_prefixRoutes) {
        if (request.path.startsWith(prefix))
            return handler(request);
    }
    if (m_fallback)
        return m_fallback(request);
    return Response::status(404, "Not Found", "<html><body>not found</body></html>");
}

// ---------------------------------------------------------------------------
// The site of the standalone fixture program.

void FixtureServer::serveSite(const QString &rootDir)
{
    const QString root = QDir(rootDir).canonicalPath();
    auto sizeOf = [](const Request &r, const QByteArray &prefix) {
        return qMax<qint64>(0, r.path.mid(prefix.size()).toLongLong());
    };

    routePrefix("/html/", [](const Request &r) {
        const QByteArray name = r.path.mid(6).toPercentEncoding("/.");
        const QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>"
            + name + "</title></head>\n<body><p>This page answered instead of the file.</p>\n"
            + "<a href=\"/" + name + "\">" + name + "</a></body></html>\n";
        return Response::ok(page, "text/html; charset=utf-8");
    });
    routePrefix("/chunked/", [sizeOf](const Request &r) {
        return Response::pattern(sizeOf(r, "/chunked/"), "application/pdf")
            .withMode(BodyMode::Chunked);
    });
    routePrefix("/close/", [sizeOf](const Request &r) {
        return Response::pattern(sizeOf(r, "/close/"), "application/pdf")
            .withMode(BodyMode::CloseDelimited);
    });
    routePrefix("/nosize/", [sizeOf](const Request &r) {
        return Response::pattern(sizeOf(r, "/nosize/"), {}).withMode(BodyMode::CloseDelimited);
    });
    routePrefix("/slow/", [sizeOf](const Request &r) {
        Response response = Response::pattern(sizeOf(r, "/slow/"), "application/pdf");
        response.trickleBytes = 1024;
        response.trickleIntervalMs = 100;
        return response;
    });
    routePrefix("/status/", [](const Request &r) {
        const int code = r.path.mid(8).toInt();
        return Response::status(code, code == 200 ? "OK" : "Status",
            "<html><body>status " + QByteArray::number(code) + "</body></html>");
    });
    // 503 with "Retry-After: 0" for the first <times> requests of the path,
    // then a PDF of <bytes>.
    auto busyAnswers = std::make_shared<QHash<QByteArray, int>>();
    routePrefix("/busy/", [busyAnswers](const Request &r) {
        const QList<QByteArray> parts = r.path.mid(6).split('/');
        const int times = parts.value(0).toInt();
        if (++(*busyAnswers)[r.path] <= times)
            return Response::status(503, "Service Unavailable", "<html><body>busy</body></html>")
                .withHeader("Retry-After", "0");
        return Response::pattern(qMax<qint64>(0, parts.value(1).toLongLong()), "application/pdf");
    });
    // 429 asking to come back after <seconds>.
    routePrefix("/later/", [](const Request &r) {
        return Response::status(429, "Too Many Requests", "<html><body>later</body></html>")
            .withHeader("Retry-After", r.path.mid(7));
    });
    LiteratureSite::install(*this);
    LoginSite::install(*this);
    routePrefix("/redirect/", [](const Request &r) {
        QByteArray target = r.target.mid(9); // keeps the leading '/' and the query
        return Response::redirect(target.isEmpty() ? QByteArray("/") : target);
    });
    setFallback([root](const Request &r) {
        const QString relative = QUrl::fromPercentEncoding(r.path);
        const QFileInfo info(root + QLatin1Char('/') + relative);
        const QString canonical = info.canonicalFilePath();
        // Nothing outside the root, whatever "../" the path holds.
        if (root.isEmpty() || canonical.isEmpty() || !info.isFile()
            || !canonical.startsWith(root + QLatin1Char('/')))
            return Response::status(404, "Not Found", "<html><body>not found</body></html>");
        auto file = std::make_shared<QFile>(canonical);
        if (!file->open(QIODevice::ReadOnly))
            return Response::status(403, "Forbidden", "<html><body>forbidden</body></html>");
        Response response = Response::ok({},
            QMimeDatabase()
                .mimeTypeForFile(canonical, QMimeDatabase::MatchExtension)
                .name()
                .toLatin1());
        response.generatedSize = file->size();
        response.generator = [file](qint64 offset, qint64 length) {
            file->seek(offset);
            return file->read(length);
        };
        return response;
    });
}

#include "moc_FixtureServer.cpp"
