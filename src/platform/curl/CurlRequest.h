#pragma once

#include "CurlDriver.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

class CookieJar;
struct PartAnswer;

// One HTTP request over libcurl on the thread's CurlDriver. Set it up, call
// start(), and follow the signals; the body is handed out as it arrives and
// not kept.
//
// Redirects are followed here rather than inside libcurl (at most 10), so that
// every hop carries the cookies of the jar for its own address and the cookies
// set by a redirect response are stored before the next hop goes out. The
// headers reported are those of the final response.
//
// Every signal may be answered by cancel(), by a new start() or by deleting
// the request; nothing more is heard of the old transfer then.
class CurlRequest : public QObject, private CurlDriver::Transfer
{
    Q_OBJECT
public:
    enum class Stage {
        Idle,
        Resolving, // the request was handed to libcurl
        Connecting, // an address was found, a socket is connecting
        Connected, // connection ready (new or reused)
        Sending, // the request goes out
        Sent, // the first byte of a response arrived
        Receiving, // response headers are coming in
        HeadersReceived, // headers of the final response are complete
        Finished, // ended well (whatever the HTTP status)
        Failed // ended with a transport error
    };
    Q_ENUM(Stage)

    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    static constexpr int kMaxRedirects = 10;

    explicit CurlRequest(QObject *parent = nullptr);
    ~CurlRequest() override;

    // Request set-up; takes effect at the next start().
    void setUrl(const QString &url) { m_url = url; }
    QString url() const { return m_url; }
    // The method as sent (the caller upper-cases it); "HEAD" asks for no body.
    void setMethod(const QByteArray &method) { m_method = method; }
    void setBody(const QByteArray &body) { m_body = body; }
    // Whole request header lines ("Name: value"); they override the defaults.
    void setHeaderLines(const QList<QByteArray> &lines) { m_headerLines = lines; }
    // Header lines separated by CR LF (or LF), as one text.
    void setHeaderText(const QString &text);
    // "host:port" of an HTTP proxy; empty: direct, and no proxy from the
    // environment either.
    void setProxy(const QString &hostPort) { m_proxy = hostPort; }
    void setFollowRedirects(bool follow) { m_followRedirects = follow; }
    void setConnectTimeout(int seconds) { m_connectTimeout = seconds; }
    // The jar whose cookies go out and into which Set-Cookie goes; the shared
    // jar unless set; null: no cookies at all.
    void setCookieJar(CookieJar *jar);
    CookieJar *cookieJar() const;
    void setUserAgent(const QByteArray &userAgent) { m_userAgent = userAgent; }
    // Downloads ask for a fresh copy (Cache-Control and Pragma "no-cache",
    // the default); a request that sets only its caller's headers turns it off.
    void setNoCache(bool noCache) { m_noCache = noCache; }
    // Asks for a byte range ("N-": from byte N to the end); empty for the
    // whole body.
    void setRange(const QByteArray &range) { m_range = range; }

    // Starts the request; a request still running is cancelled first.
    void start();
    // Stops the request without a finished() signal; harmless when idle.
    void cancel();

    bool isRunning() const { return m_running; }
    Stage stage() const { return m_stage; }
    bool headersComplete() const { return m_headersComplete; }

    // The final response (after redirects).
    int responseCode() const { return m_code; }
    QByteArray statusLine() const { return m_statusLine; }
    // The status line's reason ("OK", "Not Found"); may be empty.
    QByteArray reasonPhrase() const;
    HeaderList headers() const { return m_headers; }
    // Status line first, then every header line, separated by CR LF, no
    // trailing blank line; empty while no final headers arrived.
    QByteArray headerText() const;
    // First value of a header, case-insensitive name; empty when absent.
    QByteArray header(const QByteArray &name) const;
    QList<QByteArray> headerValues(const QByteArray &name) const;
    // Content-Length of the final response, -1 when none was announced.
    qint64 contentLength() const { return m_contentLength; }
    qint64 bytesReceived() const { return m_bytesReceived; }
    // The server sent more body bytes than it announced (they were dropped).
    bool excessData() const { return m_excess; }
    QUrl effectiveUrl() const { return m_hopUrl; }
    int redirectCount() const { return m_redirects; }

    // CURLE_OK (0) unless the last request failed in transport.
    int error() const { return m_error; }
    QString errorString() const { return m_errorString; }

Q_SIGNALS:
    void stageChanged(CurlRequest::Stage stage);
    void headersReceived();
    void dataReceived(const QByteArray &data);
    // total is -1 when no size was announced.
    void progress(qint64 received, qint64 total);
    // curlCode is a CURLcode; 0 when the exchange completed.
    void finished(int curlCode, const QString &message);

private:
    struct Easy;

    static size_t headerCallback(char *data, size_t size, size_t count, void *userp);
    static size_t writeCallback(char *data, size_t size, size_t count, void *userp);
    static int socketOptionCallback(void *userp, curl_socket_t fd, curlsocktype purpose);
    static int prereqCallback(void *userp, char *, char *, int, int);
    static int debugCallback(CURL *, curl_infotype type, char *data, size_t size, void *userp);

    void transferDone(CURL *easy, CURLcode result) override;

    bool onHeaderLine(Easy *easy, QByteArray line);
    bool onBody(Easy *easy, const char *data, size_t size);
    // Emits stageChanged; false when the request was cancelled meanwhile.
    bool enterStage(Easy *easy, Stage stage);
    void startHop();
    void finish(CURLcode result);
    void releaseEasy();
    void resetHop();

    // Set-up.
    QString m_url;
    QByteArray m_method = QByteArrayLiteral("GET");
    QByteArray m_body;
    QList<QByteArray> m_headerLines;
    QString m_proxy;
    bool m_followRedirects = true;
    int m_connectTimeout = 30;
    QPointer<CookieJar> m_jar;
    QByteArray m_userAgent;
    bool m_noCache = true;
    QByteArray m_range;

    // The request under way.
    QPointer<CurlDriver> m_driver;
    Easy *m_easy = nullptr;
    bool m_running = false;
    Stage m_stage = Stage::Idle;
    QUrl m_hopUrl;
    QByteArray m_hopMethod;
    QByteArray m_hopBody;
    int m_redirects = 0;
    bool m_tooManyRedirects = false;

    // Response of the current hop.
    bool m_hopStarted = false;
    bool m_hopIsRedirect = false;
    int m_hopCode = 0;
    QList<QByteArray> m_hopLines;
    HeaderList m_hopHeaders;

    // Final response.
    bool m_headersComplete = false;
    int m_code = 0;
    QByteArray m_statusLine;
    QList<QByteArray> m_lines;
    HeaderList m_headers;
    qint64 m_contentLength = -1;
    qint64 m_bytesReceived = 0;
    bool m_excess = false;
    int m_error = 0;
    QString m_errorString;
};

// Why a response cannot be a download, before any byte of it is kept: an
// error status ("HTTP 404"), or two different announced sizes. Empty when
// nothing speaks against it.
QString ResponseRefusal(const CurlRequest &request);

// What a kept part needs to know of the final response.
PartAnswer PartAnswerOf(const CurlRequest &request);
